// The memo and the edit messages, files dropped on a window, the locale's
// separators.
#include "Clipbrd.h"
#include "ComCtrls.h"
#include "FormatSettings.h"
#include "ShellAPI.h"
#include "StdCtrls.h"
#include "UiTestEnv.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QUrl>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

struct Memo : ::testing::Test {
    Memo() {
        Form->SetBounds(0, 0, 400, 300);
        M->SetParent(Form.get());
        M->SetBounds(10, 10, 200, 100);
        Other->SetParent(Form.get());
        Other->SetBounds(10, 150, 100, 21);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
    }
    ~Memo() override { Form->Hide(); }
    QPlainTextEdit* W() { return static_cast<QPlainTextEdit*>(M->GetHandle()); }
    LRESULT Send(Cardinal Msg, WPARAM WParam = 0, LPARAM LParam = 0) {
        return M->Perform(Msg, WParam, LParam);
    }
    QPoint PosFromChar(int Pos) {
        auto r = static_cast<std::uintptr_t>(Send(EM_POSFROMCHAR, static_cast<WPARAM>(Pos)));
        return QPoint(static_cast<std::int16_t>(LoWord(r)), static_cast<std::int16_t>(HiWord(r)));
    }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TMemo* M = new TMemo(Form.get());
    TEdit* Other = new TEdit(Form.get());
};

TEST_F(Memo, LinesAreTheTextsLines) {
    TStrings* lines = M->GetLines();
    lines->Add("one");
    lines->Add("two");
    EXPECT_EQ(M->GetText(), "one\r\ntwo");
    lines->Insert(0, "zero");
    lines->Insert(3, "three");
    lines->Put(1, "ONE");
    EXPECT_EQ(M->GetText(), "zero\r\nONE\r\ntwo\r\nthree");
    lines->Delete(3); // the last line takes the break before it along
    lines->Delete(0);
    EXPECT_EQ(M->GetText(), "ONE\r\ntwo");
    EXPECT_EQ(W()->toPlainText(), "ONE\ntwo");
    EXPECT_THROW(lines->Get(2), EStringListError);

    // A break that ends the text opens no line; a line added goes after it.
    struct Case {
        const char* Text;
        int Count;
        const char* AfterAdd;
    };
    for (const Case& c : {Case{"", 0, "x"}, Case{"a\r\n", 1, "a\r\nx"}, Case{"\r\n", 1, "\r\nx"},
                          Case{"a\nb\rc", 3, "a\r\nb\r\nc\r\nx"}}) {
        M->SetText(c.Text);
        EXPECT_EQ(lines->GetCount(), c.Count) << c.Text;
        lines->Add("x");
        EXPECT_EQ(M->GetText(), c.AfterAdd) << c.Text;
    }
}

// Every kind of line break is one break: CR LF in the control, LF in the
// window and on the clipboard; the rich edit's paragraphs alike.
TEST_F(Memo, EveryKindOfLineBreakIsOneBreak) {
    struct Case {
        const char* Text;
        const char* Lf;
    };
    const Case cases[] = {{"a\r\nb", "a\nb"},         {"a\rb", "a\nb"},     {"a\nb", "a\nb"},
                          {"a\r\r\nb", "a\n\nb"},     {"a\n\rb", "a\n\nb"}, {"\r", "\n"},
                          {"\r\n\r\n", "\n\n"},      {"a\r", "a\n"},      {"no break", "no break"}};
    TRichEdit rich(Form.get());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        QString lf = QString::fromUtf8(c.Lf);
        AnsiString crLf = lf.replace("\n", "\r\n").toStdString();
        M->SetText(c.Text);
        EXPECT_EQ(W()->toPlainText(), c.Lf);
        EXPECT_EQ(M->GetText(), crLf);
        Clipboard().SetAsText(c.Text);
        EXPECT_EQ(QApplication::clipboard()->text(), c.Lf);
        EXPECT_EQ(Clipboard().GetAsText(), crLf);
        QApplication::clipboard()->setText(c.Text); // as another program put it there
        EXPECT_EQ(Clipboard().GetAsText(), crLf);
        rich.SetText(c.Text);
        EXPECT_EQ(rich.GetText(), crLf);
    }
}

TEST_F(Memo, PositionsCountCharactersAndLineBreaksAsTwo) {
    M->SetText("aä\r\nb"); // a, ä, CR LF, b
    EXPECT_EQ(Send(WM_GETTEXTLENGTH), 5);
    M->SetSelStart(4);
    M->SetSelLength(1);
    EXPECT_EQ(M->GetSelText(), "b");
    EXPECT_EQ(W()->textCursor().selectionStart(), 3); // Qt counts the break once
    M->SetSelStart(1);
    M->SetSelLength(2);
    EXPECT_EQ(M->GetSelText(), "ä");
    EXPECT_EQ(Send(EM_LINEFROMCHAR, 4), 1);
    EXPECT_EQ(Send(EM_LINEFROMCHAR, static_cast<WPARAM>(-1)), 0); // the selection's line
    EXPECT_EQ(PosFromChar(0).y(), PosFromChar(1).y());
    EXPECT_GT(PosFromChar(1).x(), PosFromChar(0).x());
    EXPECT_GT(PosFromChar(4).y(), PosFromChar(0).y());
    EXPECT_EQ(PosFromChar(4).x(), PosFromChar(0).x());
    EXPECT_EQ(Send(EM_POSFROMCHAR, 5), -1); // nothing after the last character
}

TEST_F(Memo, ReplaceSelUndoModifyAndReadOnly) {
    M->SetText("hello");
    EXPECT_EQ(Send(EM_GETMODIFY), 0);
    M->SetSelStart(0);
    M->SetSelLength(4);
    int changes = 0;
    M->OnChange = [&](TObject*) { ++changes; };
    Send(EM_REPLACESEL, 1, reinterpret_cast<LPARAM>("J"));
    EXPECT_EQ(M->GetText(), "Jo");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Send(EM_GETMODIFY), 1);
    EXPECT_EQ(Send(EM_CANUNDO), 1);
    Send(EM_UNDO);
    EXPECT_EQ(M->GetText(), "hello");
    Send(EM_SETMODIFY, 0);
    EXPECT_FALSE(M->GetModified());

    M->SetSelStart(5);
    Send(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("!")); // cannot be undone
    EXPECT_EQ(Send(EM_CANUNDO), 0);
    Send(EM_REPLACESEL, 1, reinterpret_cast<LPARAM>("?"));
    EXPECT_EQ(Send(EM_CANUNDO), 1);
    Send(EM_EMPTYUNDOBUFFER);
    EXPECT_EQ(Send(EM_CANUNDO), 0);

    EXPECT_EQ(Send(EM_SETREADONLY, 1), 1);
    EXPECT_TRUE(M->GetReadOnly());
    EXPECT_TRUE(W()->isReadOnly());
    M->SetFocus();
    QTest::keyClicks(W(), "xy");
    EXPECT_EQ(M->GetText(), "hello!?");
    // Code still writes into a read-only edit; text set by code is unmodified.
    M->SetText("new");
    EXPECT_FALSE(M->GetModified());
}

TEST_F(Memo, ClipboardMessages) {
    M->SetText("cut me");
    M->SetSelStart(0);
    M->SetSelLength(4);
    Send(WM_CUT);
    EXPECT_EQ(Clipboard().GetAsText(), "cut ");
    EXPECT_EQ(M->GetText(), "me");
    M->SetSelStart(2);
    Clipboard().SetAsText(" and\r\nyou");
    Send(WM_PASTE);
    EXPECT_EQ(M->GetText(), "me and\r\nyou");
    M->SetSelStart(0);
    M->SetSelLength(2);
    Send(WM_CLEAR);
    Send(WM_COPY); // nothing selected: the clipboard stays
    EXPECT_EQ(M->GetText(), " and\r\nyou");
    EXPECT_EQ(Clipboard().GetAsText(), " and\r\nyou");
    M->SetReadOnly(true);
    Send(WM_PASTE);
    Send(WM_CUT);
    EXPECT_EQ(M->GetText(), " and\r\nyou");
}

// An edit that counts the clipboard messages reaching its message map.
class TCountingMemo : public TMemo {
public:
    using TMemo::TMemo;
    std::vector<Cardinal> Seen;

protected:
    void Dispatch(TMessage& Message) override {
        if (Message.Msg == WM_PASTE || Message.Msg == WM_CUT || Message.Msg == WM_COPY)
            Seen.push_back(Message.Msg);
        TMemo::Dispatch(Message);
    }
};

TEST_F(Memo, EveryClipboardKeyGoesThroughTheMessages) {
    auto* m = new TCountingMemo(Form.get());
    m->SetParent(Form.get());
    m->SetText("abc");
    m->SetFocus();
    m->SelectAll();
    QWidget* w = m->GetHandle();
    QTest::keyClick(w, Qt::Key_Insert, Qt::ControlModifier);
    QTest::keyClick(w, Qt::Key_Delete, Qt::ShiftModifier);
    QTest::keyClick(w, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(m->Seen, (std::vector<Cardinal>{WM_COPY, WM_CUT, WM_PASTE, WM_PASTE}));
    EXPECT_EQ(m->GetText(), "abcabc");
}

TEST_F(Memo, ReturnsAndTabsOnlyWhenWanted) {
    M->SetFocus();
    QTest::keyClicks(W(), "a");
    QTest::keyClick(W(), Qt::Key_Return);
    QTest::keyClicks(W(), "b");
    EXPECT_EQ(M->GetText(), "a\r\nb");
    EXPECT_EQ(M->GetLines()->GetCount(), 2);
    M->SetWantReturns(false);
    QTest::keyClick(W(), Qt::Key_Return);
    EXPECT_EQ(M->GetText(), "a\r\nb");

    QTest::keyClick(W(), Qt::Key_Tab); // not wanted: the focus moves on
    EXPECT_TRUE(Other->Focused());
    M->SetFocus();
    M->SetWantTabs(true);
    QTest::keyClick(W(), Qt::Key_Tab);
    EXPECT_TRUE(M->Focused());
    EXPECT_EQ(M->GetText(), "a\r\nb\t");
}

TEST_F(Memo, MaxLengthCountsLineBreaksAsTwo) {
    M->SetMaxLength(5);
    M->SetFocus();
    QTest::keyClicks(W(), "ab");
    QTest::keyClick(W(), Qt::Key_Return);
    QTest::keyClicks(W(), "cde");
    EXPECT_EQ(M->GetText(), "ab\r\nc");
    M->SelectAll();
    Clipboard().SetAsText("123456");
    Send(WM_PASTE);
    EXPECT_EQ(M->GetText(), "12345");
    M->SetText("longer than five"); // code is not limited
    EXPECT_EQ(M->GetText(), "longer than five");
}

// As in the single-line window, on every way in; a line break is two
// positions and goes in whole or not at all.
TEST_F(Memo, MaxLengthNeverSplitsACharacterOrALineBreak) {
    using enum TTextWay;
    const TLimitCase cases[] = { // the caret at the end of Before
        {Typed, 4, "ab", "😀\r", "ab😀"},
        {Typed, 5, "ab", "\rü", "ab\r\nü"},
        {Composed, 4, "ab", "😀ä😀", "ab😀ä"},
        {CtrlV, 4, "a\r\n", "😀😀", "a\r\n😀"},
        {CtrlV, 4, "ab", "x\r\ny", "abx"},
        {ShiftInsert, 6, "ab", "😀\r\n😀", "ab😀\r\n😀"},
        {MenuPaste, 5, "ab", "😀\r\n😀", "ab😀\r\n"},
        {SelText, 3, "", "ä😀ö\r\n", "ä😀ö"},
    };
    M->SetFocus();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Input);
        M->SetText(c.Before);
        M->SetMaxLength(c.MaxLength);
        M->SetSelStart(static_cast<int>(Send(WM_GETTEXTLENGTH)));
        EnterText(M, c.By, c.Input);
        EXPECT_EQ(M->GetText(), c.After);
        EXPECT_EQ(W()->toPlainText().replace('\n', "\r\n").toStdString(), c.After);
    }
}

TEST_F(Memo, NewWindowKeepsTextSelectionAndState) {
    M->SetText("line one\r\nline two");
    M->SetSelStart(5);
    M->SetSelLength(8);
    M->SetModified(true);
    M->SetReadOnly(true);
    QWidget* old = M->GetHandle();
    M->SetWordWrap(false); // a new window
    EXPECT_NE(M->GetHandle(), old);
    EXPECT_EQ(W()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(W()->toPlainText(), "line one\nline two");
    EXPECT_EQ(M->GetSelStart(), 5);
    EXPECT_EQ(M->GetSelText(), "one\r\nlin");
    EXPECT_TRUE(M->GetModified());
    EXPECT_TRUE(W()->isReadOnly());
}

TEST_F(Memo, FormattingRectangleHoldsTheText) {
    M->SetText(
        "XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX XXXXXXXXXXXXXXXXX XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX");
    int cw = M->GetClientWidth(), ch = M->GetClientHeight();
    EXPECT_EQ(cw, 200 - 4); // inside the sunken edge
    EXPECT_EQ(ch, 100 - 4);
    QRect want(QPoint(30, 20), QPoint(cw - 41, ch - 31));
    Send(EM_SETRECT, 0, reinterpret_cast<LPARAM>(&want));
    QRect got;
    Send(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&got));
    EXPECT_EQ(got, want);
    EXPECT_EQ(PosFromChar(0), want.topLeft());
    // Every dark pixel of the text lies inside the rectangle (client
    // coordinates start inside the 2-pixel edge).
    QImage shot = W()->grab().toImage();
    QRect inside = want.translated(2, 2);
    int dark = 0;
    for (int y = 2; y < shot.height() - 2; ++y)
        for (int x = 2; x < shot.width() - 2; ++x)
            if (qGray(shot.pixel(x, y)) < 128) {
                ++dark;
                EXPECT_TRUE(inside.contains(x, y)) << x << "," << y;
            }
    EXPECT_GT(dark, 100);
    // Left and right margins alone.
    Send(EM_SETMARGINS, EC_LEFTMARGIN, MakeLParam(7, 99));
    Send(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&got));
    EXPECT_EQ(got.left(), 7);
    EXPECT_EQ(got.right(), want.right());
}

TEST_F(Memo, TabCharactersLandOnTheStops) {
    M->SetText("\tA\tB\tC");
    QRect full(0, 0, M->GetClientWidth(), M->GetClientHeight());
    Send(EM_SETRECT, 0, reinterpret_cast<LPARAM>(&full));
    Send(EM_SETTABSTOPS, 0, 0);
    int every32 = PosFromChar(1).x(); // the default: every 32 dialog units
    EXPECT_GT(every32, 0);
    EXPECT_EQ(PosFromChar(3).x(), 2 * every32);
    const int stops[] = {16, 40, 64};
    EXPECT_EQ(Send(EM_SETTABSTOPS, 3, reinterpret_cast<LPARAM>(stops)), 1);
    EXPECT_EQ(PosFromChar(1).x() * 2, every32);
    EXPECT_EQ(PosFromChar(3).x() * 4, every32 * 5);
    EXPECT_EQ(PosFromChar(5).x(), every32 * 2);
    const int one[] = {8};
    Send(EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(one)); // one value: every 8
    EXPECT_EQ(PosFromChar(5).x() * 4, every32 * 3);
}

TEST_F(Memo, AlignmentAndScrollBars) {
    M->SetText("x");
    int left = PosFromChar(0).x();
    M->SetAlignment(taRightJustify);
    EXPECT_GT(PosFromChar(0).x(), 150);
    M->SetAlignment(taCenter);
    EXPECT_NEAR(PosFromChar(0).x(), (M->GetClientWidth() - left) / 2, 10);
    int width = M->GetClientWidth();
    M->SetScrollBars(ssVertical);
    EXPECT_EQ(W()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_LT(M->GetClientWidth(), width);
    EXPECT_EQ(M->GetClientHeight(), 100 - 4);
}

TEST_F(Memo, TypedCharactersAndTextByCode) {
    // Shift+Return gives a line break like Return.
    M->SetFocus();
    QTest::keyClicks(W(), "a");
    QTest::keyClick(W(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(W(), "b");
    EXPECT_EQ(M->GetText(), "a\r\nb");
    EXPECT_EQ(M->GetLines()->GetCount(), 2);
    EXPECT_EQ(Send(WM_GETTEXTLENGTH), 4);
}

// ---- Single-line windows --------------------------------------------------

TEST(Edit, PasswordCharacterIsShownAsGiven) {
    TForm form(nullptr);
    auto* e = new TEdit(&form);
    e->SetParent(&form);
    e->SetText("abc");
    e->SetPasswordChar('#');
    form.Show();
    auto* w = static_cast<QLineEdit*>(e->GetHandle());
    EXPECT_EQ(w->echoMode(), QLineEdit::Password);
    EXPECT_EQ(w->displayText(), "###");
    e->SetPasswordChar('*');
    EXPECT_EQ(w->displayText(), "***");
    e->SetPasswordChar(0);
    EXPECT_EQ(w->displayText(), "abc");
    // Margins and positions in the single-line window.
    e->Perform(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MakeLParam(6, 9));
    EXPECT_EQ(w->textMargins(), QMargins(6, 0, 9, 0));
    auto pos = [&](int i) {
        return static_cast<std::int16_t>(LoWord(static_cast<std::uintptr_t>(e->Perform(EM_POSFROMCHAR, i))));
    };
    EXPECT_LT(pos(0), pos(1));
    EXPECT_EQ(e->Perform(EM_POSFROMCHAR, 3), -1);
    EXPECT_EQ(e->Perform(EM_SETTABSTOPS, 0, 0), 0); // no tab stops in a single line
    form.Hide();
}

// ---- Dropped files --------------------------------------------------------

// A memo that records the files of each drop.
class TDropMemo : public TMemo {
public:
    using TMemo::TMemo;
    std::vector<std::vector<AnsiString>> Drops;
    bool Finish = true;

protected:
    void Dispatch(TMessage& Message) override {
        if (Message.Msg != WM_DROPFILES) return TMemo::Dispatch(Message);
        auto drop = reinterpret_cast<HDROP>(Message.WParam);
        std::vector<AnsiString> files;
        for (Cardinal i = 0; i < DragQueryFile(drop, 0xFFFFFFFFu, nullptr); ++i) {
            AnsiString f;
            Cardinal length = DragQueryFile(drop, i, &f);
            EXPECT_EQ(length, f.size());
            files.push_back(f);
        }
        EXPECT_EQ(DragQueryFile(drop, static_cast<Cardinal>(files.size()), nullptr), 0u);
        Drops.push_back(files);
        if (Finish) {
            DragFinish(drop);
            EXPECT_EQ(DragQueryFile(drop, 0xFFFFFFFFu, nullptr), 0u);
        }
    }
};

TEST_F(Memo, DroppedFilesReachARegisteredWindowWhole) {
    auto* m = new TDropMemo(Form.get());
    m->SetParent(Form.get());
    QList<QUrl> urls{QUrl::fromLocalFile("/tmp/a b.txt"), QUrl::fromLocalFile("/tmp/ä.txt")};
    EXPECT_FALSE(DropOnControl(m, urls)); // not registered
    DragAcceptFiles(m->GetHandle(), true);
    EXPECT_TRUE(DropOnControl(m, urls));
    std::string longPath = "/tmp/" + std::string(300, 'x') + "/file";
    m->Finish = false; // the framework releases it then
    EXPECT_TRUE(DropOnControl(m, {QUrl::fromLocalFile(QString::fromStdString(longPath))}));
    ASSERT_EQ(m->Drops.size(), 2u);
    EXPECT_EQ(m->Drops[0], (std::vector<AnsiString>{"/tmp/a b.txt", "/tmp/ä.txt"}));
    EXPECT_EQ(m->Drops[1], (std::vector<AnsiString>{longPath}));
    // Only local files: no text, no remote addresses, and nothing typed in.
    EXPECT_FALSE(DropOnControl(m, {}, "some text"));
    EXPECT_FALSE(DropOnControl(m, {QUrl("http://example.org/x")}));
    EXPECT_EQ(m->GetText(), "");
    // A new window starts unregistered; withdrawing works as well.
    m->RecreateWnd();
    EXPECT_FALSE(DropOnControl(m, urls));
    DragAcceptFiles(m->GetHandle(), true);
    DragAcceptFiles(m->GetHandle(), false);
    EXPECT_FALSE(DropOnControl(m, urls));
    EXPECT_EQ(m->Drops.size(), 2u);
}

// ---- Locale ----------------------------------------------------------------

TEST(Locale, SeparatorsOfALocale) {
    struct Case {
        const char* Locale;
        const char *Decimal, *Thousand, *Date, *Time;
    };
    for (const Case& c : {Case{"de_DE", ",", ".", ".", ":"}, Case{"en_US", ".", ",", "/", ":"},
                          Case{"nl_NL", ",", ".", "-", ":"}, Case{"fi_FI", ",", "\xC2\xA0", ".", "."},
                          Case{"fr_FR", ",", "\xE2\x80\xAF", "/", ":"}}) {
        TFormatSettings s = GetLocaleFormatSettings(c.Locale);
        EXPECT_EQ(s.DecimalSeparator, c.Decimal) << c.Locale;
        EXPECT_EQ(s.ThousandSeparator, c.Thousand) << c.Locale;
        EXPECT_EQ(s.DateSeparator, c.Date) << c.Locale;
        EXPECT_EQ(s.TimeSeparator, c.Time) << c.Locale;
    }
    // The program's settings start as the user's and may be changed.
    TFormatSettings saved = FormatSettings();
    EXPECT_EQ(saved.DecimalSeparator, GetLocaleFormatSettings().DecimalSeparator);
    FormatSettings().DecimalSeparator = "!";
    EXPECT_EQ(FormatSettings().DecimalSeparator, "!");
    FormatSettings() = saved;
}

} // namespace
