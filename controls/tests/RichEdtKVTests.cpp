// The rich-text editor with its tool bar, driven as a user drives it: keys,
// clicks on the tool bar and the size field's arrows, the context menu, the
// colour dialog; the veto question row by row.
#include "RichEdtKV.h"

#include "Clipbrd.h"
#include "FormReader.h"
#include "UiTestEnv.h"
#include "Utilskv.h"

#include <QApplication>
#include <QColorDialog>
#include <QInputMethodEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <set>

namespace {

// The control with its parts in reach.
class TProbe : public TRichEdtKV {
public:
    using TRichEdtKV::BtnBold, TRichEdtKV::BtnItalic, TRichEdtKV::BtnUnderline, TRichEdtKV::BtnColor;
    using TRichEdtKV::BtnCut, TRichEdtKV::BtnCopy, TRichEdtKV::BtnPaste;
    using TRichEdtKV::BtnIndent, TRichEdtKV::BtnOutdent, TRichEdtKV::BtnIndentF, TRichEdtKV::BtnOutdentF;
    using TRichEdtKV::BtnLeft, TRichEdtKV::BtnCenter, TRichEdtKV::BtnRight;
    using TRichEdtKV::EdtFontsize, TRichEdtKV::UdnFontsize, TRichEdtKV::EdtRich, TRichEdtKV::Tim1;
    using TRichEdtKV::PnlToolBar, TRichEdtKV::PnlEditor;
    using TRichEdtKV::PopDelete, TRichEdtKV::PopMark;
    using TRichEdtKV::PopMain, TRichEdtKV::PopUndo, TRichEdtKV::PopCut, TRichEdtKV::PopCopy,
        TRichEdtKV::PopPaste;
    using TRichEdtKV::TRichEdtKV;
};

struct RichEdt : ::testing::Test {
    RichEdt() {
        Clipboard().Clear();
        Form->SetBounds(0, 0, 500, 300);
        R->SetParent(Form.get());
        R->SetBounds(10, 10, 460, 250);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        R->EdtRich->SetFocus();
        R->OnAllowChangeQuery = [this](TObject* Sender, bool& Allow) {
            EXPECT_EQ(Sender, R);
            ++Questions;
            if (Veto) Allow = false;
        };
    }
    ~RichEdt() override { Form->Hide(); }

    QTextEdit* Editor() const { return static_cast<QTextEdit*>(R->EdtRich->GetWidget()); }
    void Key(int K, Qt::KeyboardModifiers M = Qt::NoModifier) {
        QTest::keyClick(Editor(), static_cast<Qt::Key>(K), M);
    }
    void Type(const char* Text) { TypeKeys(Editor(), Text); }
    void Click(TControl* C) { QTest::mouseClick(C->GetWidget(), Qt::LeftButton); }
    QToolButton* Arrow(const char* Which) {
        return R->UdnFontsize->GetHandle()->findChild<QToolButton*>(Which);
    }
    void Select(int Start, int Length) {
        R->EdtRich->SetSelStart(Start);
        R->EdtRich->SetSelLength(Length);
    }
    TTextAttributes* Sel() { return R->EdtRich->GetSelAttributes(); }
    TParaAttributes* Para() { return R->EdtRich->GetParagraph(); }
    // Types into the size field as the user does.
    void TypeSize(const char* Text) {
        R->EdtFontsize->SetFocus();
        R->EdtFontsize->SelectAll();
        QWidget* w = R->EdtFontsize->GetWidget();
        if (!*Text) QTest::keyClick(w, Qt::Key_Backspace);
        for (const char* p = Text; *p; ++p)
            QTest::keyClick(w, *p);
    }

    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TProbe* R = new TProbe(Form.get());
    bool Veto = false;
    int Questions = 0;
};

} // namespace

// ---- Construction -------------------------------------------------------------

TEST_F(RichEdt, PartsStandWhereTheyBelongWithGermanTexts) {
    EXPECT_EQ(R->PnlToolBar->GetHeight(), 38);
    EXPECT_EQ(R->PnlToolBar->GetAlign(), alTop);
    EXPECT_EQ(R->PnlEditor->GetBorderWidth(), 8);
    EXPECT_EQ(R->EdtRich->GetParent(), R->PnlEditor);
    EXPECT_EQ(R->EdtRich->GetScrollBars(), ssVertical);
    EXPECT_FALSE(R->EdtRich->GetHideScrollBars());
    struct Case {
        TSpeedButton* Button;
        int Left;
        const char* Hint;
        int Glyphs, W, H, Group;
        bool AllUp;
    };
    const Case cases[] = {
        {R->BtnCut, 9, "Ausschneiden", 2, 44, 20, 0, false},
        {R->BtnCopy, 32, "Kopieren", 1, 21, 20, 0, false},
        {R->BtnPaste, 55, "Einfügen", 2, 42, 20, 0, false},
        {R->BtnBold, 140, "Fett", 1, 20, 21, 1, true},
        {R->BtnItalic, 163, "Kursiv", 1, 20, 21, 2, true},
        {R->BtnUnderline, 186, "Unterstrichen", 1, 20, 21, 3, true},
        {R->BtnColor, 214, "Schriftfarbe", 1, 20, 21, 0, true},
        {R->BtnLeft, 242, "Ausrichtung links", 1, 20, 21, 4, false},
        {R->BtnCenter, 265, "Ausrichtung zentriert", 1, 20, 21, 4, false},
        {R->BtnRight, 288, "Ausrichtung rechts", 1, 20, 21, 4, false},
        {R->BtnIndent, 316, "Absatz einrücken - komplett", 2, 34, 17, 0, true},
        {R->BtnOutdent, 339, "Absatz ausrücken - komplett", 2, 34, 17, 0, true},
        {R->BtnIndentF, 362, "Absatz einrücken - Folgezeilen", 2, 34, 17, 0, true},
        {R->BtnOutdentF, 385, "Absatz ausrücken - Folgezeilen", 2, 34, 17, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Hint);
        EXPECT_EQ(c.Button->GetBoundsRect(), QRect(c.Left, 8, 22, 22));
        EXPECT_EQ(c.Button->GetHint(), c.Hint);
        EXPECT_EQ(c.Button->GetNumGlyphs(), c.Glyphs);
        EXPECT_EQ(c.Button->GetGlyph()->GetWidth(), c.W);
        EXPECT_EQ(c.Button->GetGlyph()->GetHeight(), c.H);
        EXPECT_EQ(c.Button->GetGroupIndex(), c.Group);
        EXPECT_EQ(c.Button->GetAllowAllUp(), c.AllUp);
        EXPECT_TRUE(c.Button->GetFlat());
        EXPECT_FALSE(c.Button->GlyphImage(0).isNull());
        std::set<QRgb> colours;
        const QImage& glyph = c.Button->GetGlyph()->GetImage();
        for (int y = 0; y < glyph.height(); ++y)
            for (int x = 0; x < glyph.width(); ++x)
                colours.insert(glyph.pixel(x, y));
        EXPECT_LE(colours.size(), 16u);
        if (c.Glyphs == 2) {
            EXPECT_NE(c.Button->GlyphImage(0), c.Button->GlyphImage(1));
        }
    }
    EXPECT_EQ(R->BtnOutdent->GetMargin(), 1);
    EXPECT_EQ(R->EdtFontsize->GetBoundsRect(), QRect(83, 9, 39, 21));
    EXPECT_EQ(R->UdnFontsize->GetBoundsRect(), QRect(122, 9, 12, 20));
    EXPECT_EQ(R->EdtFontsize->GetHint(), "Schriftgröße");
    EXPECT_EQ(R->UdnFontsize->GetMin(), 1);
    EXPECT_EQ(R->UdnFontsize->GetMax(), 100);
    EXPECT_EQ(R->Tim1->GetInterval(), 400);
    EXPECT_TRUE(R->Tim1->IsRunning());

    std::vector<std::string> captions;
    for (int i = 0; i < R->PopMain->GetItems()->GetCount(); ++i)
        captions.push_back(R->PopMain->GetItems()->GetItem(i)->GetCaption());
    EXPECT_EQ(captions, (std::vector<std::string>{"&Rückgängig", "-", "&Ausschneiden", "&Kopieren",
                                                  "&Einfügen", "&Löschen", "-", "Alles &markieren"}));
    EXPECT_EQ(R->EdtRich->GetPopupMenu(), R->PopMain);

    TRichEdtKV fresh(nullptr);
    EXPECT_EQ(fresh.GetWidth(), 435);
    EXPECT_EQ(fresh.GetHeight(), 130);
    EXPECT_EQ(fresh.TabPos, 32);
    EXPECT_EQ(fresh.GetMarginLeft(), -1);
    R->SetEditorColor(clYellow);
    EXPECT_EQ(R->EdtRich->GetColor(), clYellow);
    EXPECT_EQ(R->EdtFontsize->GetColor(), clYellow);

    Richedtkv::Register();
    std::vector<TComponentClass> kv = GetPaletteClasses("KV");
    EXPECT_NE(std::find(kv.begin(), kv.end(), &TRichEdtKV::ClassInfo()), kv.end());
}

// ---- The veto question ------------------------------------------------------------

namespace {

struct VetoCase {
    const char* Name;
    std::function<void(RichEdt&)> Act;
    std::function<bool(RichEdt&)> Changed;
};

// Text "Hello world", "world" selected, "clip" on the clipboard, one undo step.
void Prepare(RichEdt& T) {
    T.R->Clear();
    T.R->SetWantTabs(true);
    T.R->EdtRich->SetSelStart(0);
    T.Type("Hello world");
    T.Select(6, 5);
    Clipboard().SetAsText("clip");
}

const char* const Start = "Hello world";

std::vector<VetoCase> VetoCases() {
    auto textChanged = [](RichEdt& T) { return T.R->GetText() != Start; };
    return {
        {"typing", [](RichEdt& T) { T.Type("x"); }, textChanged},
        {"umlaut", [](RichEdt& T) { T.Type("ä"); }, textChanged},
        {"composed umlaut",
         [](RichEdt& T) {
             QInputMethodEvent commit;
             commit.setCommitString(QString::fromUtf8("ü"));
             QApplication::sendEvent(T.Editor(), &commit);
         },
         textChanged},
        {"Enter", [](RichEdt& T) { T.Key(Qt::Key_Return); }, textChanged},
        {"Ctrl+Enter", [](RichEdt& T) { T.Key(Qt::Key_Return, Qt::ControlModifier); }, textChanged},
        {"Tab", [](RichEdt& T) { T.Key(Qt::Key_Tab); }, textChanged},
        {"Delete", [](RichEdt& T) { T.Key(Qt::Key_Delete); }, textChanged},
        {"Backspace", [](RichEdt& T) { T.Key(Qt::Key_Backspace); }, textChanged},
        {"Ctrl+V", [](RichEdt& T) { T.Key(Qt::Key_V, Qt::ControlModifier); }, textChanged},
        {"Shift+Insert", [](RichEdt& T) { T.Key(Qt::Key_Insert, Qt::ShiftModifier); }, textChanged},
        {"Ctrl+X", [](RichEdt& T) { T.Key(Qt::Key_X, Qt::ControlModifier); }, textChanged},
        {"cut button", [](RichEdt& T) { T.Click(T.R->BtnCut); }, textChanged},
        {"paste button", [](RichEdt& T) { T.Click(T.R->BtnPaste); }, textChanged},
        {"menu undo", [](RichEdt& T) { T.R->PopUndo->Click(); }, textChanged},
        {"menu delete", [](RichEdt& T) { T.R->PopDelete->Click(); }, textChanged},
        {"menu cut", [](RichEdt& T) { T.R->PopCut->Click(); }, textChanged},
        {"menu paste", [](RichEdt& T) { T.R->PopPaste->Click(); }, textChanged},
        {"bold", [](RichEdt& T) { T.Click(T.R->BtnBold); },
         [](RichEdt& T) { return T.Sel()->GetStyle().Contains(fsBold) || T.R->BtnBold->GetDown(); }},
        {"italic", [](RichEdt& T) { T.Click(T.R->BtnItalic); },
         [](RichEdt& T) { return T.Sel()->GetStyle().Contains(fsItalic) || T.R->BtnItalic->GetDown(); }},
        {"underline", [](RichEdt& T) { T.Click(T.R->BtnUnderline); },
         [](RichEdt& T) {
             return T.Sel()->GetStyle().Contains(fsUnderline) || T.R->BtnUnderline->GetDown();
         }},
        {"centre", [](RichEdt& T) { T.Click(T.R->BtnCenter); },
         [](RichEdt& T) { return T.Para()->GetAlignment() == taCenter || !T.R->BtnLeft->GetDown(); }},
        {"right", [](RichEdt& T) { T.Click(T.R->BtnRight); },
         [](RichEdt& T) { return T.Para()->GetAlignment() == taRightJustify || !T.R->BtnLeft->GetDown(); }},
        {"indent", [](RichEdt& T) { T.Click(T.R->BtnIndent); },
         [](RichEdt& T) { return T.Para()->GetFirstIndent() != 0; }},
        {"indent following", [](RichEdt& T) { T.Click(T.R->BtnIndentF); },
         [](RichEdt& T) { return T.Para()->GetLeftIndent() != 0; }},
        {"outdent",
         [](RichEdt& T) {
             bool veto = T.Veto;
             T.Veto = false;
             T.Para()->SetFirstIndent(64);
             T.Veto = veto;
             T.Click(T.R->BtnOutdent);
         },
         [](RichEdt& T) { return T.Para()->GetFirstIndent() != 64; }},
        {"size field", [](RichEdt& T) { T.TypeSize("20"); },
         [](RichEdt& T) {
             return T.Sel()->GetSize() == 20 || T.R->EdtFontsize->GetText() != IntToStr(T.Sel()->GetSize());
         }},
        {"size arrow", [](RichEdt& T) { QTest::mouseClick(T.Arrow("up"), Qt::LeftButton); },
         [](RichEdt& T) { return T.R->UdnFontsize->GetPosition() != 8 || T.Sel()->GetSize() != 8; }},
        {"colour",
         [](RichEdt& T) {
             QTimer::singleShot(0, [] {
                 auto* d = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
                 d->setCurrentColor(Qt::red);
                 d->accept();
             });
             T.Click(T.R->BtnColor);
         },
         [](RichEdt& T) { return T.Sel()->GetColor() == clRed; }},
    };
}

} // namespace

TEST_F(RichEdt, AVetoStopsEveryChangeAndItsAbsenceLetsItThrough) {
    ASSERT_EQ(R->EdtRich->GetDefAttributes()->GetSize(), 8); // the arrow case counts on it
    for (bool veto : {true, false}) {
        for (const VetoCase& c : VetoCases()) {
            SCOPED_TRACE(std::string(c.Name) + (veto ? " vetoed" : " allowed"));
            Veto = false;
            Prepare(*this);
            R->PopMain->Popup(0, 0); // the menu enables its items as it opens
            R->PopMain->GetMenuWidget()->hide();
            Questions = 0;
            Veto = veto;
            c.Act(*this);
            EXPECT_GE(Questions, 1);
            EXPECT_EQ(c.Changed(*this), !veto);
        }
    }
}

TEST_F(RichEdt, CopyAndSelectAllNeverAsk) {
    Type("Hello world");
    Questions = 0;
    Veto = true;
    Select(0, 5);
    Click(R->BtnCopy);
    R->PopCopy->Click();
    EXPECT_EQ(Clipboard().GetAsText(), "Hello");
    R->PopMark->Click();
    EXPECT_EQ(R->EdtRich->GetSelLength(), 11);
    EXPECT_EQ(R->FindTextA("WORLD", 0, 11, {}), 6);
    EXPECT_TRUE(R->EditHasFocus());
    EXPECT_EQ(Questions, 0);
}

TEST_F(RichEdt, WithoutAHandlerEverythingGoesThrough) {
    R->OnAllowChangeQuery = nullptr;
    Type("abc");
    Select(0, 3);
    Click(R->BtnBold);
    Click(R->BtnIndent);
    EXPECT_EQ(R->GetText(), "abc");
    EXPECT_TRUE(Sel()->GetStyle().Contains(fsBold));
    EXPECT_EQ(Para()->GetFirstIndent(), 32);
}

// ---- Shortcuts, size field, indents ---------------------------------------------------

TEST_F(RichEdt, ShortcutsToggleStylesAtTheInsertionPoint) {
    Type("a");
    Key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(R->BtnBold->GetDown());
    Type("b");
    Key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_FALSE(R->BtnBold->GetDown());
    Key(Qt::Key_K, Qt::ControlModifier);
    Type("c");
    Key(Qt::Key_K, Qt::ControlModifier);
    Key(Qt::Key_U, Qt::ControlModifier);
    Type("d");
    EXPECT_EQ(R->GetText(), "abcd"); // the shortcuts insert nothing
    struct Case {
        int Pos;
        TFontStyles Style;
    };
    for (const Case& c : {Case{0, {}}, Case{1, {fsBold}}, Case{2, {fsItalic}}, Case{3, {fsUnderline}}}) {
        Select(c.Pos, 1);
        EXPECT_EQ(Sel()->GetStyle(), c.Style) << c.Pos;
    }

    R->SetReadOnly(true);
    R->EdtRich->SetSelStart(4);
    Key(Qt::Key_F, Qt::ControlModifier);
    Key(Qt::Key_K, Qt::ControlModifier);
    Key(Qt::Key_U, Qt::ControlModifier);
    EXPECT_FALSE(R->BtnBold->GetDown());
    EXPECT_FALSE(R->BtnItalic->GetDown());
    EXPECT_EQ(R->GetText(), "abcd");
}

TEST_F(RichEdt, TheSizeFieldCorrectsWhatIsTyped) {
    Type("text");
    Select(0, 4);
    struct Case {
        const char* Typed;
        int Size;
        const char* Shown;
    };
    const Case cases[] = {{"12", 12, "12"}, {"0", 1, "1"}, {"", 1, "1"}, {"250", 100, "100"}, {"7", 7, "7"}};
    for (const Case& c : cases) {
        TypeSize(c.Typed);
        EXPECT_EQ(Sel()->GetSize(), c.Size) << c.Typed;
        EXPECT_EQ(R->EdtFontsize->GetText(), c.Shown) << c.Typed;
        EXPECT_EQ(R->UdnFontsize->GetPosition(), c.Size) << c.Typed;
    }
    QTest::mouseClick(Arrow("up"), Qt::LeftButton);
    EXPECT_EQ(Sel()->GetSize(), 8);
    EXPECT_EQ(R->EdtFontsize->GetText(), "8");
    QTest::mouseClick(Arrow("down"), Qt::LeftButton);
    EXPECT_EQ(Sel()->GetSize(), 7);
    TypeSize("x"); // not a digit: the field refuses it
    EXPECT_EQ(R->EdtFontsize->GetText(), "7");
}

TEST_F(RichEdt, IndentAndOutdentStepByTabPos) {
    Type("paragraph");
    struct Case {
        TSpeedButton* TProbe::*Button;
        bool First;
        int Before, After;
    };
    const Case cases[] = {
        {&TProbe::BtnOutdent, true, 20, 0},   {&TProbe::BtnOutdent, true, 64, 32},
        {&TProbe::BtnIndent, true, 0, 32},    {&TProbe::BtnIndent, true, 40, 72},
        {&TProbe::BtnOutdentF, false, 20, 0}, {&TProbe::BtnOutdentF, false, 64, 32},
        {&TProbe::BtnIndentF, false, 0, 32},  {&TProbe::BtnOutdent, true, 32, 0},
    };
    for (const Case& c : cases) {
        if (c.First)
            Para()->SetFirstIndent(c.Before);
        else
            Para()->SetLeftIndent(c.Before);
        Click(R->*c.Button);
        EXPECT_EQ(c.First ? Para()->GetFirstIndent() : Para()->GetLeftIndent(), c.After) << c.Before;
    }
    R->TabPos = 10; // taken at once by the buttons
    Para()->SetFirstIndent(0);
    Click(R->BtnIndent);
    EXPECT_EQ(Para()->GetFirstIndent(), 10);
}

// ---- Mirroring and re-tabbing -------------------------------------------------------

TEST_F(RichEdt, TheToolBarMirrorsTheSelection) {
    R->EdtRich->SetRichText(
        ReadRtf(R"({\rtf1 \pard\qr\fs28\b\i bold italic\par\pard\qc\plain\fs20\ul under})"));
    R->EdtRich->SetSelStart(2);
    EXPECT_TRUE(R->BtnBold->GetDown());
    EXPECT_TRUE(R->BtnItalic->GetDown());
    EXPECT_FALSE(R->BtnUnderline->GetDown());
    EXPECT_TRUE(R->BtnRight->GetDown());
    EXPECT_EQ(R->EdtFontsize->GetText(), "14");
    EXPECT_FALSE(R->BtnCopy->GetEnabled());
    EXPECT_FALSE(R->BtnCut->GetEnabled());
    Select(13, 3);
    EXPECT_FALSE(R->BtnBold->GetDown());
    EXPECT_TRUE(R->BtnUnderline->GetDown());
    EXPECT_TRUE(R->BtnCenter->GetDown());
    EXPECT_FALSE(R->BtnRight->GetDown());
    EXPECT_EQ(R->EdtFontsize->GetText(), "10");
    EXPECT_TRUE(R->BtnCopy->GetEnabled());
    EXPECT_TRUE(R->BtnCut->GetEnabled());
}

TEST_F(RichEdt, ReTabbingPutsEveryParagraphOnTheGridQuietly) {
    R->EdtRich->SetRichText(
        ReadRtf(R"({\rtf1 \pard\tx500 one\tab 1\par\pard\tx700\tx900 two\tab 2\par\pard three\tab 3})"));
    R->SetModified(true);
    int changes = 0;
    R->SetOnChange([&](TObject*) { ++changes; });
    Select(7, 2); // into "two": its first stop is not at TabPos
    EXPECT_EQ(R->EdtRich->GetSelStart(), 7);
    EXPECT_EQ(R->EdtRich->GetSelLength(), 2);
    EXPECT_TRUE(R->GetModified());
    EXPECT_EQ(changes, 0);
    for (int start : {0, 7, 13}) {
        R->EdtRich->SetSelStart(start);
        EXPECT_EQ(Para()->GetTabCount(), 32);
        for (int i = 0; i < 32; ++i)
            ASSERT_EQ(Para()->GetTab(i), (i + 1) * 32) << start << " " << i;
    }
    EXPECT_EQ(R->EdtRich->Perform(EM_CANUNDO), 0); // nothing of the user's to undo

    // A TabPos changed at run time: the next selection change follows it.
    R->TabPos = 20;
    R->EdtRich->SetSelStart(1);
    EXPECT_EQ(Para()->GetTab(2), 60);
    R->EdtRich->SetSelStart(14);
    EXPECT_EQ(Para()->GetTab(2), 60);
    EXPECT_EQ(changes, 0);
}

TEST_F(RichEdt, ReTabbingRestoresTheEditorWhenItFails) {
    Type("abc");
    Select(1, 1);
    R->TabPos = 40;
    // The editor fails as it is frozen for the re-tabbing.
    auto original = R->EdtRich->WindowProc;
    R->EdtRich->WindowProc = [&](TMessage& M) {
        if (M.Msg == WM_SETREDRAW && M.WParam == 0) throw EInvalidOperation("frozen");
        original(M);
    };
    int changes = 0;
    R->SetOnChange([&](TObject*) { ++changes; });
    ExceptionCatcher caught;
    R->EdtRich->SetSelStart(2);
    ASSERT_EQ(caught.Messages, std::vector<std::string>{"frozen"});
    R->EdtRich->WindowProc = original;
    EXPECT_TRUE(Editor()->viewport()->updatesEnabled());
    EXPECT_EQ(R->EdtRich->GetSelStart(), 2);
    Type("x");
    EXPECT_EQ(changes, 1);                 // OnChange is back
    Select(0, 1);                          // and the selection change too:
    EXPECT_EQ(Para()->GetTab(0), 40);      // re-tabbed now
    EXPECT_TRUE(R->BtnCopy->GetEnabled()); // mirrored
}

// ---- Clipboard, timer, read-only ---------------------------------------------------------

TEST_F(RichEdt, ThePasteButtonFollowsTheClipboardAtEachTick) {
    R->Tim1OnTimer(R->Tim1);
    EXPECT_FALSE(R->BtnPaste->GetEnabled());
    Clipboard().SetAsText("x");
    EXPECT_FALSE(R->BtnPaste->GetEnabled()); // until the next tick
    R->Tim1OnTimer(R->Tim1);
    EXPECT_TRUE(R->BtnPaste->GetEnabled());
    Clipboard().Clear();
    R->Tim1OnTimer(R->Tim1);
    EXPECT_FALSE(R->BtnPaste->GetEnabled());
}

TEST_F(RichEdt, ReadOnlyDisablesWhatWouldChange) {
    Type("some text");
    Questions = 0;
    Clipboard().SetAsText("x");
    R->SetReadOnly(true);
    for (TSpeedButton* b :
         {R->BtnBold, R->BtnItalic, R->BtnUnderline, R->BtnColor, R->BtnLeft, R->BtnCenter, R->BtnRight,
          R->BtnIndent, R->BtnIndentF, R->BtnOutdent, R->BtnOutdentF, R->BtnCut, R->BtnPaste})
        EXPECT_FALSE(b->GetEnabled());
    EXPECT_TRUE(R->EdtFontsize->GetReadOnly());
    EXPECT_FALSE(R->UdnFontsize->GetEnabled());
    R->Tim1OnTimer(R->Tim1);
    Select(0, 4);
    EXPECT_FALSE(R->BtnPaste->GetEnabled());
    EXPECT_FALSE(R->BtnCut->GetEnabled());
    EXPECT_TRUE(R->BtnCopy->GetEnabled()); // copy follows the selection
    Type("x");
    EXPECT_EQ(R->GetText(), "some text");
    EXPECT_EQ(Questions, 0);

    R->SetReadOnly(false);
    EXPECT_TRUE(R->BtnBold->GetEnabled());
    EXPECT_TRUE(R->BtnCut->GetEnabled());
    EXPECT_TRUE(R->BtnPaste->GetEnabled());
}

// ---- Context menu -------------------------------------------------------------------------

TEST_F(RichEdt, TheContextMenuEnablesWhatFits) {
    auto open = [&] {
        QPoint at = Editor()->viewport()->rect().center();
        QContextMenuEvent ev(QContextMenuEvent::Mouse, at, Editor()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(Editor()->viewport(), &ev);
        QMenu* menu = R->PopMain->GetMenuWidget();
        EXPECT_TRUE(menu);
        std::map<std::string, bool> enabled;
        if (menu)
            for (QAction* a : menu->actions())
                if (!a->isSeparator()) enabled[a->text().toStdString()] = a->isEnabled();
        if (menu) menu->hide();
        return enabled;
    };
    auto empty = open();
    EXPECT_FALSE(empty["Alles &markieren"]);
    EXPECT_FALSE(empty["&Rückgängig"]);
    Type("words here");
    Select(0, 5);
    auto selected = open();
    EXPECT_TRUE(selected["&Ausschneiden"]);
    EXPECT_TRUE(selected["&Kopieren"]);
    EXPECT_TRUE(selected["&Löschen"]);
    EXPECT_FALSE(selected["&Einfügen"]);
    EXPECT_TRUE(selected["&Rückgängig"]);
    EXPECT_TRUE(selected["Alles &markieren"]);
    Clipboard().SetAsText("x");
    R->SetReadOnly(true);
    auto readOnly = open();
    EXPECT_FALSE(readOnly["&Ausschneiden"]);
    EXPECT_TRUE(readOnly["&Kopieren"]);
    EXPECT_FALSE(readOnly["&Einfügen"]);

    // Picking an item by its accelerator runs it.
    R->SetReadOnly(false);
    QPoint at = Editor()->viewport()->rect().center();
    QContextMenuEvent ev(QContextMenuEvent::Mouse, at, Editor()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(Editor()->viewport(), &ev);
    QTest::keyClick(R->PopMain->GetMenuWidget(), Qt::Key_L);
    EXPECT_EQ(R->GetText(), " here");
}

// ---- Clear, default format, loading ---------------------------------------------------------

TEST_F(RichEdt, ClearRestoresTheDefaultFormatQuietly) {
    int changes = 0;
    R->SetOnChange([&](TObject*) { ++changes; });
    Type("text");
    changes = 0;
    R->EdtRich->SelectAll();
    Sel()->SetSize(30);
    Para()->SetAlignment(taCenter);
    Para()->SetFirstIndent(64);
    Para()->SetLeftIndent(32);
    Para()->SetRightIndent(10);
    Para()->SetNumbering(nsBullet);
    R->EdtRich->GetDefAttributes()->SetSize(20);
    changes = 0;
    R->Clear();
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(R->GetModified());
    EXPECT_EQ(R->GetText(), "");
    EXPECT_EQ(R->EdtRich->GetDefAttributes()->GetSize(), 8);
    EXPECT_EQ(Sel()->GetSize(), 8);
    EXPECT_EQ(Para()->GetAlignment(), taLeftJustify);
    EXPECT_EQ(Para()->GetFirstIndent(), 0);
    EXPECT_EQ(Para()->GetLeftIndent(), 0);
    EXPECT_EQ(Para()->GetRightIndent(), 0);
    EXPECT_EQ(Para()->GetNumbering(), nsNone);
    EXPECT_EQ(R->EdtFontsize->GetText(), "8");
    Type("x");
    EXPECT_EQ(changes, 1); // OnChange is back
}

TEST_F(RichEdt, MarginsGiveTheEditRectangle) {
    QRect rect;
    R->EdtRich->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(rect, R->EdtRich->GetClientRect()); // -1 counts as 0
    R->SetMarginLeft(6);
    R->SetMarginBottom(4);
    R->EdtRich->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(rect, R->EdtRich->GetClientRect().adjusted(6, 0, 0, -4));
    int sent = 0;
    auto original = R->EdtRich->WindowProc;
    R->EdtRich->WindowProc = [&](TMessage& M) {
        if (M.Msg == EM_SETRECT) ++sent;
        original(M);
    };
    R->SetMarginLeft(6); // unchanged: nothing sent
    EXPECT_EQ(sent, 0);
    R->SetWidth(400); // a new size: a new rectangle
    EXPECT_GE(sent, 1);
    R->EdtRich->WindowProc = original;
    R->EdtRich->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    EXPECT_EQ(rect, R->EdtRich->GetClientRect().adjusted(6, 0, 0, -4));
}

TEST(RichEdtForm, AControlReadFromAFormStartsEmpty) {
    Richedtkv::Register();
    TForm form(nullptr);
    ReadComponentFromText("object F: TForm\n"
                          "  Width = 500\n"
                          "  Height = 300\n"
                          "  object Rich: TRichEdtKV\n"
                          "    Left = 4\n"
                          "    Top = 4\n"
                          "    TabPos = 20\n"
                          "    BevelOuter = bvLowered\n"
                          "    BorderWidth = 2\n"
                          "    Lines.Strings = (\n"
                          "      'stored line one'\n"
                          "      'stored line two')\n"
                          "  end\n"
                          "end",
                          &form, TForm::ClassInfo());
    auto* r = dynamic_cast<TRichEdtKV*>(form.FindComponent("Rich"));
    ASSERT_TRUE(r);
    // The editor inside it.
    TRichEdit* rich = nullptr;
    std::function<void(TWinControl*)> find = [&](TWinControl* w) {
        for (int i = 0; i < w->GetControlCount(); ++i) {
            if (auto* e = dynamic_cast<TRichEdit*>(w->GetControl(i))) rich = e;
            if (auto* c = dynamic_cast<TWinControl*>(w->GetControl(i))) find(c);
        }
    };
    find(r);
    ASSERT_TRUE(rich);
    EXPECT_EQ(r->TabPos, 20);
    EXPECT_EQ(r->GetBevelOuter(), bvLowered);
    EXPECT_EQ(r->GetBorderWidth(), 2);
    EXPECT_EQ(r->GetText(), "");
    EXPECT_EQ(r->GetLines()->GetCount(), 0);
    EXPECT_EQ(rich->Perform(EM_CANUNDO), 0);
    form.Show();
    QScrollBar* bar = static_cast<QTextEdit*>(rich->GetWidget())->verticalScrollBar();
    EXPECT_FALSE(bar->isEnabled());
    rich->SetSelStart(0);
    EXPECT_EQ(rich->GetParagraph()->GetTab(1), 40);
    form.Hide();
}

// ---- Streaming through the library's callbacks --------------------------------------------

namespace {

class TBrokenStream : public TMemoryStream {
public:
    int Write(const void*, int) override { throw EStreamError("disk full"); }
    int Read(void*, int) override { throw EStreamError("unreadable"); }
};

} // namespace

TEST_F(RichEdt, StreamsThroughTheLibraryCallbacks) {
    R->EdtRich->SetRichText(
        ReadRtf(R"({\rtf1{\fonttbl{\f0 Liberation Sans;}}\f0\fs24 Gr\'fc\'dfe {\b fett}})"));
    for (WPARAM format : {SF_RTF, SF_TEXT}) {
        TMemoryStream stream;
        EDITSTREAM out;
        out.dwCookie = reinterpret_cast<DWORD_PTR>(&stream);
        out.pfnCallback = RichEditStreamOutCallback;
        R->EdtRich->Perform(EM_STREAMOUT, format, reinterpret_cast<LPARAM>(&out));
        EXPECT_EQ(out.dwError, 0u);
        AnsiString bytes(stream.Memory(), static_cast<size_t>(stream.GetSize()));
        EXPECT_EQ(bytes.rfind("{\\rtf", 0) == 0, format == SF_RTF);

        TRtfDocument before = R->EdtRich->GetRichText();
        R->Clear();
        stream.SetPosition(0);
        EDITSTREAM in;
        in.dwCookie = reinterpret_cast<DWORD_PTR>(&stream);
        in.pfnCallback = RichEditStreamInCallback;
        R->EdtRich->Perform(EM_STREAMIN, format, reinterpret_cast<LPARAM>(&in));
        EXPECT_EQ(in.dwError, 0u);
        EXPECT_EQ(R->GetText(), "Grüße fett");
        if (format == SF_RTF) {
            EXPECT_TRUE(SameDocument(R->EdtRich->GetRichText(), before));
        }
    }

    TBrokenStream broken;
    EDITSTREAM out;
    out.dwCookie = reinterpret_cast<DWORD_PTR>(&broken);
    out.pfnCallback = RichEditStreamOutCallback;
    R->EdtRich->Perform(EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&out));
    EXPECT_EQ(out.dwError, 1u);
    EDITSTREAM in;
    in.dwCookie = reinterpret_cast<DWORD_PTR>(&broken);
    in.pfnCallback = RichEditStreamInCallback;
    R->SetText("kept");
    R->EdtRich->Perform(EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&in));
    EXPECT_EQ(in.dwError, 1u);
    EXPECT_EQ(R->GetText(), "kept");
}
