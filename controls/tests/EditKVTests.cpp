// The validating edit driven as a user drives it: keys, clipboard, drops.
#include "Clipbrd.h"
#include "EditKV.h"
#include "FormReader.h"
#include "FormatSettings.h"
#include "Graphics.h"
#include "Place.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QUrl>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

struct EditKV : ::testing::Test {
    EditKV() {
        Form->SetBounds(0, 0, 400, 300);
        E->SetParent(Form.get());
        E->SetBounds(10, 10, 200, 60);
        Other->SetParent(Form.get());
        Other->SetBounds(10, 150, 100, 21);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        SetBeepHook([this](unsigned Type) { Beeps.push_back(Type); });
    }
    ~EditKV() override {
        SetBeepHook(nullptr);
        Form->Hide();
    }
    QWidget* W() { return E->GetHandle(); }
    void Type(const char* Keys) {
        E->SetFocus();
        QTest::keyClicks(W(), Keys);
    }
    void Key(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) { QTest::keyClick(W(), K, M); }
    QRect FormatRect() {
        QRect r;
        E->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
        return r;
    }
    int X(int Pos) {
        return static_cast<std::int16_t>(
            LoWord(static_cast<std::uintptr_t>(E->Perform(EM_POSFROMCHAR, Pos))));
    }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TEditKV* E = new TEditKV(Form.get());
    TEdit* Other = new TEdit(Form.get());
    std::vector<unsigned> Beeps;
};

TEST_F(EditKV, DefaultsTakeEveryCharacterInAWrappingMultiLineEdit) {
    EXPECT_TRUE(E->GetMultiLine());
    EXPECT_TRUE(E->GetWordWrap());
    EXPECT_TRUE(E->GetWantReturns());
    EXPECT_FALSE(E->GetWantTabs());
    EXPECT_TRUE(E->GetAutoSelect());
    EXPECT_FALSE(E->GetResetSelection());
    EXPECT_FALSE(E->GetAcceptDropFiles());
    EXPECT_EQ(E->GetPasswordChar(), 0);
    EXPECT_EQ(E->GetDropFilesList(), nullptr);
    auto* w = qobject_cast<QPlainTextEdit*>(W());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    for (TKeyChar c : {TKeyChar('a'), TKeyChar('-'), TKeyChar(9), TKeyChar(10), TKeyChar(13), TKeyChar(0xE4)})
        EXPECT_TRUE(E->IsValidChar(c)) << static_cast<unsigned>(c);
    Type("a-1");
    Key(Qt::Key_Return);
    QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, QString::fromUtf8("ä"));
    QApplication::sendEvent(W(), &umlaut);
    EXPECT_EQ(E->GetText(), "a-1\r\nä");
    EXPECT_TRUE(Beeps.empty());
}

TEST_F(EditKV, CharacterClasses) {
    TFormatSettings saved = FormatSettings();
    FormatSettings() = {",", "\xE2\x80\xAF", ".", ":"}; // a thousands separator of three bytes
    struct Case {
        TValidDataSet Data;
        const char* Extra;
        const char* Accepted;
        const char* Refused;
    };
    const Case cases[] = {
        {{vdNumeric}, "", "0189", "a-+ ,.:"},
        {{vdAlpha}, "", "azAZ", "0ä-"},
        {{vdSign}, "", "-+", "0a"},
        {{vdDecSeparator}, "", ",", ".:0"},
        {{vdThsSeparator}, "", "\xE2\x80\xAF", ", "},
        {{vdDateSeparator, vdTimeSeparator}, "", ".:", ",0"},
        {{}, "xä", "xXäÄ", "yz0"}, // extra characters in either case
        {{vdNumeric}, "e", "12eE", "f"},
    };
    for (const Case& c : cases) {
        E->SetValidData(c.Data);
        E->SetValidDataString(c.Extra);
        for (uint ch : QString::fromUtf8(c.Accepted).toUcs4())
            EXPECT_TRUE(E->IsValidChar(ch)) << c.Extra << " " << ch;
        for (uint ch : QString::fromUtf8(c.Refused).toUcs4())
            EXPECT_FALSE(E->IsValidChar(ch)) << c.Extra << " " << ch;
        // Backspace, Ctrl+V and Ctrl+X always; Ctrl+C, Ctrl+Z and "no key" not.
        for (TKeyChar ch : {8, 22, 24})
            EXPECT_TRUE(E->IsValidChar(ch));
        for (TKeyChar ch : {0, 3, 26})
            EXPECT_FALSE(E->IsValidChar(ch));
    }
    EXPECT_TRUE(E->IsValidText(""));
    EXPECT_TRUE(E->IsValidText("1E\r\n2"));
    E->SetMultiLine(false);
    EXPECT_FALSE(E->IsValidText("1\r\n2"));
    FormatSettings() = saved;
}

TEST_F(EditKV, RefusedKeysBeepAndStayOut) {
    E->SetValidData({vdNumeric});
    Type("1a-2");
    EXPECT_EQ(E->GetText(), "12");
    EXPECT_EQ(Beeps, (std::vector<unsigned>{0, 0}));
    // Ctrl+C is no allowed character: it beeps and copies nothing.
    Clipboard().SetAsText("before");
    E->SelectAll();
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(Beeps.size(), 3u);
    EXPECT_EQ(Clipboard().GetAsText(), "before");
    // Backspace and Ctrl+X pass.
    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(E->GetText(), "");
    EXPECT_EQ(Clipboard().GetAsText(), "12");
    EXPECT_EQ(Beeps.size(), 3u);
    // A handler that drops a key leaves 0, which a filter refuses: a beep.
    E->OnKeyPress = [](TObject*, TKeyChar& K) { K = 0; };
    Type("5");
    EXPECT_EQ(Beeps.size(), 4u);
    // Text by code is not filtered.
    E->SetText("abc");
    EXPECT_EQ(E->GetText(), "abc");
}

TEST_F(EditKV, ComposedCharactersAreFilteredLikeTypedOnes) {
    E->SetValidData({vdNumeric});
    for (bool multi : {true, false}) {
        E->SetText("");
        E->SetPasswordChar(multi ? 0 : '*'); // both kinds of window
        E->SetFocus();
        QInputMethodEvent commit;
        commit.setCommitString(QString::fromUtf8("1é2"));
        QApplication::sendEvent(W(), &commit);
        EXPECT_EQ(E->GetText(), "12") << multi;
    }
    EXPECT_EQ(Beeps.size(), 2u);
}

TEST_F(EditKV, PasteTakesOnlyValidText) {
    E->SetValidData({vdNumeric});
    E->SetFocus();
    struct Case {
        bool MultiLine;
        const char* Clip;
        const char* After;
    };
    for (const Case& c : {Case{true, "12a3", ""}, Case{true, "123", "123"}, Case{true, "1\r\n2", "1\r\n2"},
                          Case{false, "45\r\n67", "45"}, Case{false, "4\t5", "4"}, Case{false, "x\r\n5", ""},
                          Case{false, "\r\n", ""}}) {
        E->SetMultiLine(c.MultiLine);
        E->SetText("");
        Clipboard().SetAsText(c.Clip);
        Key(Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(E->GetText(), c.After) << c.Clip;
    }
    EXPECT_TRUE(Beeps.empty()); // a refused paste is silent
    // A shortened paste can be undone like any other.
    E->SetMultiLine(false);
    E->SetText("9");
    E->SetSelStart(1);
    Clipboard().SetAsText("12\r\n3");
    Key(Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(E->GetText(), "912");
    EXPECT_EQ(E->Perform(EM_CANUNDO), 1);
    E->Perform(WM_UNDO);
    EXPECT_EQ(E->GetText(), "9");
    // Nothing to paste: nothing happens.
    QApplication::clipboard()->clear();
    E->Perform(WM_PASTE);
    EXPECT_EQ(E->GetText(), "9");
    EXPECT_TRUE(Beeps.empty());
}

TEST_F(EditKV, ReadOnlyTakesNoPaste) {
    E->SetReadOnly(true);
    for (bool multi : {true, false}) {
        E->SetMultiLine(multi);
        Clipboard().SetAsText("one\r\ntwo"); // shortened when single-line
        E->Perform(WM_PASTE);
        EXPECT_EQ(E->GetText(), "") << multi;
    }
}

TEST_F(EditKV, ReplaceTextAReplacesTheSelectionWithValidTextOnly) {
    E->SetText("abcd");
    E->SetSelStart(1);
    E->SetSelLength(2);
    E->SetValidData({vdAlpha});
    E->ReplaceTextA(true, "1");
    EXPECT_EQ(E->GetText(), "abcd");
    E->ReplaceTextA(false, "XY");
    EXPECT_EQ(E->GetText(), "aXYd");
    EXPECT_EQ(E->Perform(EM_CANUNDO), 0);
    E->ReplaceTextA(true, "z");
    EXPECT_EQ(E->GetText(), "aXYzd");
    EXPECT_EQ(E->Perform(EM_CANUNDO), 1);
}

TEST_F(EditKV, SingleLineRefusesReturnAndTab) {
    E->SetMultiLine(false);
    EXPECT_FALSE(E->GetWordWrap());
    EXPECT_FALSE(E->GetWantTabs());
    EXPECT_FALSE(E->GetWantReturns());
    Type("ab");
    Key(Qt::Key_Return);
    Key(Qt::Key_J, Qt::ControlModifier); // line feed
    EXPECT_EQ(E->GetText(), "ab");
    EXPECT_EQ(Beeps.size(), 1u); // the line feed; the Return was dropped by the memo first
    Key(Qt::Key_Tab);
    EXPECT_TRUE(Other->Focused());
    EXPECT_EQ(E->GetText(), "ab");
    // Still a multi-line window: single-line only restricts input.
    EXPECT_NE(qobject_cast<QPlainTextEdit*>(W()), nullptr);
}

TEST_F(EditKV, ModeCouplings) {
    E->SetTabPos("10");
    E->SetMultiLine(false);
    EXPECT_EQ(E->GetTabPos(), "");
    E->SetWordWrap(true);
    EXPECT_TRUE(E->GetMultiLine());
    E->SetMultiLine(false);
    E->SetWantTabs(true);
    EXPECT_TRUE(E->GetMultiLine());
    E->SetMultiLine(false);
    E->SetWantReturns(true);
    EXPECT_TRUE(E->GetMultiLine());

    // AutoSelect and ResetSelection: whichever is set last wins.
    struct Step {
        bool Reset; // which property
        bool Value;
        bool AutoAfter, ResetAfter;
    };
    for (const Step& s :
         {Step{true, true, false, true}, Step{false, true, true, false}, Step{false, false, false, false},
          Step{true, true, false, true}, Step{true, false, false, false}, Step{false, true, true, false}}) {
        if (s.Reset)
            E->SetResetSelection(s.Value);
        else
            E->SetAutoSelect(s.Value);
        EXPECT_EQ(E->GetAutoSelect(), s.AutoAfter);
        EXPECT_EQ(E->GetResetSelection(), s.ResetAfter);
    }
}

TEST_F(EditKV, PasswordModeHasASingleLineWindow) {
    E->SetText("secret");
    E->SetMarginTop(3);
    E->SetMarginBottom(4);
    E->SetMarginLeft(5);
    E->SetSelStart(2);
    E->SetSelLength(3);
    QWidget* before = W();
    E->SetPasswordChar('*');
    EXPECT_FALSE(E->GetMultiLine());
    EXPECT_EQ(E->GetMarginTop(), 0);
    EXPECT_EQ(E->GetMarginBottom(), 0);
    EXPECT_EQ(E->GetMarginLeft(), 5);
    auto* line = qobject_cast<QLineEdit*>(W());
    ASSERT_NE(line, nullptr);
    EXPECT_NE(W(), before);
    EXPECT_EQ(line->displayText(), "******");
    EXPECT_EQ(line->textMargins().left(), 5); // the margins of a single-line window
    EXPECT_EQ(E->GetSelStart(), 2);           // the new window keeps text and selection
    EXPECT_EQ(E->GetSelLength(), 3);
    Type("x");
    EXPECT_EQ(E->GetText(), "sext");
    E->SetMarginRight(7);
    EXPECT_EQ(line->textMargins(), QMargins(5, 0, 7, 0));

    E->SetMultiLine(true);
    EXPECT_EQ(E->GetPasswordChar(), 0);
    EXPECT_NE(qobject_cast<QPlainTextEdit*>(W()), nullptr);
    EXPECT_EQ(E->GetText(), "sext");
}

TEST_F(EditKV, EnteringSelectsAllAndLeavingResetsTheSelection) {
    E->SetText("some text");
    E->SetSelStart(2);
    Other->SetFocus();
    QTest::keyClick(Other->GetHandle(), Qt::Key_Tab); // into the edit by key
    ASSERT_TRUE(E->Focused());
    EXPECT_EQ(E->GetSelLength(), 9);
    // A click keeps the caret where the click put it.
    Other->SetFocus();
    auto* w = static_cast<QPlainTextEdit*>(W());
    QTest::mouseClick(w->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(2, 5));
    EXPECT_TRUE(E->Focused());
    EXPECT_EQ(E->GetSelLength(), 0);

    E->SetResetSelection(true);
    E->SelectAll();
    Other->SetFocus();
    EXPECT_EQ(E->GetSelStart(), 0);
    EXPECT_EQ(E->GetSelLength(), 0);
    E->SetFocus(); // AutoSelect is off now
    EXPECT_EQ(E->GetSelLength(), 0);
}

TEST_F(EditKV, MarginsPlaceTheFormattingRectangle) {
    E->SetText("Text");
    int cw = E->GetClientWidth(), ch = E->GetClientHeight();
    EXPECT_EQ(FormatRect(), QRect(0, 0, cw, ch)); // margins 0: the whole client area
    E->SetMarginLeft(12);
    E->SetMarginTop(6);
    E->SetMarginRight(20);
    E->SetMarginBottom(3);
    EXPECT_EQ(FormatRect(), QRect(QPoint(12, 6), QPoint(cw - 21, ch - 4)));
    EXPECT_EQ(X(0), 12);
    // A new size keeps the margins.
    E->SetWidth(300);
    EXPECT_EQ(FormatRect().right(), E->GetClientWidth() - 21);
    // So does a new window.
    E->SetMarginLeft(-1);
    EXPECT_EQ(FormatRect().right(), E->GetClientWidth() - 21);
    EXPECT_EQ(FormatRect().top(), 6);
}

// Everything of the client area outside the formatting rectangle is in the
// edit's colour: the margins set by hand, and the memo's own pixel left and
// right.
TEST_F(EditKV, TheMarginsAreInTheEditsColour) {
    auto* memo = Place<TMemo>(Form.get(), 220, 10, 150, 60);
    struct Case {
        const char* What;
        TCustomEdit* Edit;
        TColor Color;
        QMargins Margins; // left, top, right, bottom; none for the memo
    };
    const Case cases[] = {
        {"margins by hand", E, clYellow, QMargins(20, 10, 5, 4)},
        {"a memo", memo, clWindow, QMargins()},
        {"a coloured memo", memo, clAqua, QMargins()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        c.Edit->SetColor(c.Color);
        if (c.Edit == E) {
            E->SetMarginLeft(c.Margins.left());
            E->SetMarginTop(c.Margins.top());
            E->SetMarginRight(c.Margins.right());
            E->SetMarginBottom(c.Margins.bottom());
        }
        QRect format;
        c.Edit->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        auto* w = static_cast<QFrame*>(c.Edit->GetHandle());
        QPoint origin(w->frameWidth(), w->frameWidth()); // the client area lies inside the border
        QRect client(origin, QSize(c.Edit->GetClientWidth(), c.Edit->GetClientHeight()));
        ASSERT_NE(client.intersected(format.translated(origin)), client); // there is a strip
        QImage img = w->grab().toImage();
        QColor expected(ColorToQColor(c.Color).rgb());
        int wrong = 0;
        for (int y = client.top(); y <= client.bottom(); ++y)
            for (int x = client.left(); x <= client.right(); ++x)
                if (!format.translated(origin).contains(x, y) && img.pixelColor(x, y) != expected) {
                    if (wrong++ == 0)
                        ADD_FAILURE()
                            << "at " << x << "," << y << ": " << img.pixelColor(x, y).name().toStdString();
                }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(EditKV, TabPosSetsTheStops) {
    E->SetWantTabs(true);
    E->SetText("\tA\tB\tC");
    E->SetTabPos("");
    int every32 = X(1); // the default stops: every 32 dialog units
    ASSERT_GT(every32, 0);
    EXPECT_EQ(X(3), 2 * every32);
    struct Case {
        const char* TabPos;
        int A, B, C; // in dialog units
    };
    for (const Case& c : {Case{"20,40;60", 20, 40, 60}, Case{"20,,40", 20, 40, 64}, Case{"8", 8, 16, 24},
                          Case{"", 32, 64, 96}}) {
        E->SetTabPos(c.TabPos);
        EXPECT_EQ(X(1) * 32, every32 * c.A) << c.TabPos;
        EXPECT_EQ(X(3) * 32, every32 * c.B) << c.TabPos;
        EXPECT_EQ(X(5) * 32, every32 * c.C) << c.TabPos;
    }
    // Typed tabs land on the stops, and a new window keeps them.
    E->SetText("");
    E->SetTabPos("16");
    E->SetFocus();
    Key(Qt::Key_Tab);
    Type("x");
    E->SetBorderStyle(bsNone); // a new window
    EXPECT_EQ(X(1) * 2, every32);
}

TEST(TabStops, PartsReadAsAtolDoesAndKeptInRange) {
    struct Case {
        const char* Text;
        std::vector<int> Stops;
    };
    for (const Case& c :
         {Case{"20,40;60", {20, 40, 60}}, Case{"20,,40", {20, 0, 40}}, Case{" 7x,;", {7, 0, 0}},
          Case{"abc", {0}}, Case{"+12", {12}}, Case{"-5", {0}}, Case{"99999999999999999999", {MaxTabStop}},
          Case{"2147483648;4294967296", {MaxTabStop, MaxTabStop}}, Case{"40000", {MaxTabStop}}})
        EXPECT_EQ(ParseTabStops(c.Text), c.Stops) << c.Text;
}

// ---- Dropped files --------------------------------------------------------

TEST_F(EditKV, DroppedFilesFillTheListAndFireOnce) {
    int fired = 0;
    E->OnDropFiles = [&](TObject* Sender) {
        EXPECT_EQ(Sender, E);
        ++fired;
    };
    std::string deep = "/tmp/" + std::string(250, 'd') + "/" + std::string(40, 'f') + ".txt";
    QList<QUrl> three{QUrl::fromLocalFile("/tmp/one.txt"), QUrl::fromLocalFile("/tmp/zwei ä.txt"),
                      QUrl::fromLocalFile(QString::fromStdString(deep))};
    EXPECT_FALSE(DropOnControl(E, three)); // not accepting
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(E->GetDropFilesList(), nullptr);

    E->SetAcceptDropFiles(true);
    EXPECT_TRUE(DropOnControl(E, three));
    EXPECT_EQ(fired, 1);
    ASSERT_NE(E->GetDropFilesList(), nullptr);
    EXPECT_EQ(E->GetDropFilesList()->GetText(), "/tmp/one.txt\r\n/tmp/zwei ä.txt\r\n" + deep + "\r\n");
    EXPECT_EQ(E->GetText(), ""); // nothing typed in

    // The list holds the last drop; a new window is registered again.
    E->SetPasswordChar('*');
    EXPECT_TRUE(DropOnControl(E, {QUrl::fromLocalFile("/tmp/two.txt")}));
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(E->GetDropFilesList()->GetCount(), 1);

    E->SetAcceptDropFiles(false);
    EXPECT_FALSE(DropOnControl(E, three));
    EXPECT_EQ(fired, 2);
}

TEST_F(EditKV, ADropThatArrivesWhileNotAcceptingIsReleasedQuietly) {
    int fired = 0;
    E->OnDropFiles = [&](TObject*) { ++fired; };
    E->Perform(WM_DROPFILES, 0);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(E->GetDropFilesList(), nullptr);
}

// ---- Caret position --------------------------------------------------------

TEST_F(EditKV, CaretPositionInPixels) {
    E->SetMarginLeft(4);
    E->SetMarginTop(2);
    EXPECT_EQ(E->GetCaretPosPix(), QPoint(4, 2)); // empty: the rectangle's corner
    E->SetText("Wi");
    E->SetSelStart(1);
    QPoint atI = E->GetCaretPosPix();
    EXPECT_EQ(atI, QPoint(X(1), 2));
    // After the last character: its left edge plus its width in the edit's
    // font, measured on the form's canvas, which keeps its own font.
    Form->GetCanvas()->GetFont()->SetHeight(-30);
    E->SetSelStart(2);
    QFontMetrics fm(E->GetFont()->ToQFont());
    EXPECT_EQ(E->GetCaretPosPix(), QPoint(atI.x() + fm.horizontalAdvance("i"), 2));
    // A text that ends with a line break: the caret starts the next line.
    E->SetText("Wi\r\n");
    E->SetSelStart(4);
    EXPECT_EQ(E->GetCaretPosPix(), QPoint(4, 2 + fm.height()));
    EXPECT_EQ(Form->GetCanvas()->GetFont()->GetHeight(), -30);
    // Scrolled out of view.
    E->SetText(std::string(60, 'W') + "\r\n" + std::string(10, '\n'));
    E->SetWordWrap(false);
    E->SetSelStart(60);
    E->Perform(EM_SCROLLCARET);
    E->SetSelStart(0);
    EXPECT_EQ(E->GetCaretPosPix(), QPoint(-1, -1));
}

// ---- Form text and palette -------------------------------------------------

class TEditForm : public TForm {
public:
    KV_METACLASS_DECL
    using TForm::TForm;
};
KV_METACLASS(TEditForm, &TForm::ClassInfo())

TEST(EditKVFormText, StoresWhatDiffersAndReadsItBack) {
    Editkv::Register();
    TEditForm form(nullptr);
    auto* e = new TEditKV(&form);
    e->SetName("Edt");
    e->SetParent(&form);
    e->GetLines()->SetText("one\r\ntwo");
    e->SetValidData({vdNumeric, vdSign});
    e->SetValidDataString("x");
    e->SetMultiLine(false);
    e->SetMarginLeft(3);
    e->SetTabPos("");
    e->SetPasswordChar('*');
    AnsiString text = WriteComponentToText(&form, TEditForm::ClassInfo());
    for (const char* want :
         {"ValidData = [vdNumeric, vdSign]", "ValidDataString = 'x'", "MultiLine = False", "MarginLeft = 3",
          "PasswordChar = '*'", "WordWrap = False", "WantReturns = False", "'one'", "'two'"})
        EXPECT_NE(text.find(want), AnsiString::npos) << want << "\n" << text;
    for (const char* never : {"Text =", "MarginTop", "AutoSelect", "AcceptDropFiles", "WantTabs", "CharCase"})
        EXPECT_EQ(text.find(never), AnsiString::npos) << never << "\n" << text;

    TEditForm back(nullptr);
    ReadComponentFromText(text, &back, TEditForm::ClassInfo());
    auto* r = dynamic_cast<TEditKV*>(back.FindComponent("Edt"));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetText(), "one\r\ntwo");
    EXPECT_EQ(r->GetValidData(), (TValidDataSet{vdNumeric, vdSign}));
    EXPECT_FALSE(r->GetMultiLine());
    EXPECT_EQ(r->GetPasswordChar(), '*');
    EXPECT_EQ(r->GetMarginLeft(), 3);
    auto palette = GetPaletteClasses("KV");
    EXPECT_NE(std::find(palette.begin(), palette.end(), &TEditKV::ClassInfo()), palette.end());
}

} // namespace
