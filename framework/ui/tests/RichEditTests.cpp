// The rich edit, the up-down, the pop-up menu and the colour dialog, driven
// through Qt as a user drives them.
#include "ComCtrls.h"
#include "Dialogs.h"
#include "Menus.h"
#include "UiTestEnv.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QColorDialog>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

struct RichEditTest : ::testing::Test {
    RichEditTest() {
        Form->SetBounds(0, 0, 400, 300);
        Edit->SetParent(Form.get());
        Edit->SetBounds(10, 10, 300, 200);
        Form->Show();
        QApplication::setActiveWindow(Form->GetHandle());
        Edit->SetFocus();
    }
    ~RichEditTest() override { Form->Hide(); }
    QTextEdit* Editor() const { return static_cast<QTextEdit*>(Edit->GetWidget()); }
    void Type(const char* Text) { TypeKeys(Editor(), Text); }
    // Where the caret stands before character Pos, in the viewport.
    QPoint At(int Pos) const {
        QTextCursor c(Edit->Document());
        c.setPosition(Pos);
        return Editor()->cursorRect(c).topLeft();
    }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TRichEdit* Edit = new TRichEdit(Form.get());
};

// Byte streams for EM_STREAMIN and EM_STREAMOUT.
struct TByteSource {
    std::string Data;
    size_t At = 0;
    LONG MaxChunk = 1 << 30;
    int Calls = 0;
    DWORD FailAtCall = 0; // the call (1-based) that answers with an error
};

DWORD ReadSource(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) {
    auto* s = reinterpret_cast<TByteSource*>(Cookie);
    if (++s->Calls == static_cast<int>(s->FailAtCall)) return 7;
    size_t n = std::min<size_t>(
        {static_cast<size_t>(Count), static_cast<size_t>(s->MaxChunk), s->Data.size() - s->At});
    std::copy_n(s->Data.data() + s->At, n, Buffer);
    s->At += n;
    *Done = static_cast<LONG>(n);
    return 0;
}

DWORD WriteSink(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) {
    auto* s = reinterpret_cast<TByteSource*>(Cookie);
    if (++s->Calls == static_cast<int>(s->FailAtCall)) return 9;
    LONG n = std::min(Count, s->MaxChunk);
    s->Data.append(reinterpret_cast<const char*>(Buffer), static_cast<size_t>(n));
    *Done = n;
    return 0;
}

LRESULT StreamIn(TCustomRichEdit* E, WPARAM Format, TByteSource& Source, EDITSTREAM& Es) {
    Es.dwCookie = reinterpret_cast<DWORD_PTR>(&Source);
    Es.pfnCallback = ReadSource;
    return E->Perform(EM_STREAMIN, Format, reinterpret_cast<LPARAM>(&Es));
}

std::string StreamOut(TCustomRichEdit* E, WPARAM Format, LONG MaxChunk = 1 << 30) {
    TByteSource sink;
    sink.MaxChunk = MaxChunk;
    EDITSTREAM es;
    es.dwCookie = reinterpret_cast<DWORD_PTR>(&sink);
    es.pfnCallback = WriteSink;
    LRESULT n = E->Perform(EM_STREAMOUT, Format, reinterpret_cast<LPARAM>(&es));
    EXPECT_EQ(es.dwError, 0u);
    EXPECT_EQ(static_cast<size_t>(n), sink.Data.size());
    return sink.Data;
}

} // namespace

// ---- Text, lines, selection -------------------------------------------------

TEST_F(RichEditTest, TypingChangesTextLinesAndSelection) {
    int changes = 0, selections = 0;
    Edit->OnChange = [&](TObject*) { ++changes; };
    Edit->OnSelectionChange = [&](TObject*) { ++selections; };
    Type("ab");
    QTest::keyClick(Editor(), Qt::Key_Return);
    Type("cä");
    EXPECT_EQ(Edit->GetText(), "ab\r\ncä");
    EXPECT_EQ(Edit->GetLines()->GetCount(), 2);
    EXPECT_EQ(Edit->GetLines()->Get(1), "cä");
    EXPECT_EQ(changes, 5);
    EXPECT_GE(selections, 5);
    EXPECT_TRUE(Edit->GetModified());
    EXPECT_EQ(Edit->GetSelStart(), 5); // the paragraph break counts one

    selections = 0;
    Edit->SetSelStart(1);
    Edit->SetSelLength(3);
    EXPECT_EQ(Edit->GetSelText(), "b\r\nc");
    EXPECT_EQ(selections, 2);
    QTest::keyClick(Editor(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Edit->GetSelLength(), 4);
    EXPECT_EQ(selections, 3);
}

// MaxLength counts whole characters (code points: a paragraph break is one).
// A typed one that does not fit is refused; an input method's commit is cut
// to what still fits of the text around the selection.
TEST_F(RichEditTest, MaxLengthCountsCodePointsAndCutsACommitToWhatFits) {
    using enum TTextWay;
    const TLimitCase cases[] = {
        {Typed, 5, "abc😀", "xy", "abc😀x"}, // the emoji is two UTF-16 units, one character
        {Typed, 3, "", "😀😀😀😀", "😀😀😀"},
        {Typed, 5, "a😀\r\nb", "xy", "a😀\r\nbx"},
        {Composed, 5, "abc", "xyz", "abcxy"},
        {Composed, 5, "abc", "😀é😀", "abc😀é"},
        {Composed, 2, "|abc", "😀😀😀", "😀😀"}, // the commit replaces the selection
        {Composed, 3, "abc", "x", "abc"},
    };
    for (const TLimitCase& c : cases) {
        SCOPED_TRACE(c.Input);
        Edit->SetMaxLength(0);
        Edit->SetText(c.BeforeText());
        Edit->SetMaxLength(c.MaxLength);
        if (c.SelectsAll())
            Edit->SelectAll();
        else
            Edit->SetSelStart(Edit->GetTextLength());
        EnterText(Edit, c.By, c.Input);
        EXPECT_EQ(Edit->GetText(), c.After);
    }
}

TEST_F(RichEditTest, LinesInsertDeleteAndText) {
    TStrings* lines = Edit->GetLines();
    EXPECT_EQ(lines->GetCount(), 0);
    lines->Add("one");
    lines->Add("three");
    lines->Insert(1, "two");
    EXPECT_EQ(Edit->GetText(), "one\r\ntwo\r\nthree");
    lines->Delete(2);
    lines->Delete(0);
    EXPECT_EQ(Edit->GetText(), "two");
    Edit->SetText("a\r\nb\r\n");
    EXPECT_EQ(lines->GetCount(), 2); // a closing line break opens no line
    lines->Add("c");
    EXPECT_EQ(lines->GetText(), "a\r\nb\r\nc\r\n");
    EXPECT_THROW(lines->Get(3), EStringListError);
    lines->Clear();
    EXPECT_EQ(Edit->GetTextLength(), 0);
}

TEST_F(RichEditTest, FindTextWithinTheRange) {
    Edit->SetText("Alpha beta alphabet\r\nBeta");
    struct Case {
        const char* What;
        int Start, Length;
        TSearchTypes Options;
        int Found;
    };
    const Case cases[] = {
        {"beta", 0, 100, {}, 6},
        {"beta", 7, 100, {}, 20},
        {"beta", 7, 12, {}, -1},
        {"Beta", 0, 100, {stMatchCase}, 20},
        {"alpha", 1, 100, {stWholeWord}, -1},
        {"alpha", 1, 100, {}, 11},
        {"", 0, 100, {}, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Edit->FindText(c.What, c.Start, c.Length, c.Options), c.Found) << c.What << " " << c.Start;
}

TEST_F(RichEditTest, UndoClearAndTheUndoBuffer) {
    Type("abc");
    EXPECT_NE(Edit->Perform(EM_CANUNDO), 0);
    Edit->Perform(EM_UNDO);
    EXPECT_EQ(Edit->GetText(), "");
    Type("hello");
    Edit->SetSelStart(1);
    Edit->SetSelLength(3);
    Edit->Perform(WM_CLEAR);
    EXPECT_EQ(Edit->GetText(), "ho");
    Edit->Perform(EM_EMPTYUNDOBUFFER);
    EXPECT_EQ(Edit->Perform(EM_CANUNDO), 0);
    Edit->Perform(EM_UNDO);
    EXPECT_EQ(Edit->GetText(), "ho");
    Edit->SetReadOnly(true);
    Type("x");
    Edit->Perform(WM_CLEAR);
    EXPECT_EQ(Edit->GetText(), "ho");
}

// ---- Formats ------------------------------------------------------------------

TEST_F(RichEditTest, SelectionAttributesOnTheSelectionAndAtTheInsertionPoint) {
    Type("plain");
    TTextAttributes* sel = Edit->GetSelAttributes();
    sel->SetStyle(TFontStyles{fsBold});
    sel->SetSize(20);
    sel->SetColor(clRed);
    sel->SetName("Liberation Serif");
    Type("BOLD");
    Edit->SetSelStart(0);
    Edit->SetSelLength(5);
    EXPECT_TRUE(sel->GetStyle().Empty());
    EXPECT_NE(sel->GetSize(), 20);
    EXPECT_EQ(sel->GetColor(), clWindowText);
    Edit->SetSelStart(5);
    Edit->SetSelLength(4);
    EXPECT_EQ(sel->GetStyle(), TFontStyles{fsBold});
    EXPECT_EQ(sel->GetSize(), 20);
    EXPECT_EQ(sel->GetColor(), clRed);
    EXPECT_EQ(sel->GetName(), "Liberation Serif");

    // Changing one style keeps the others; the selection keeps its text.
    Edit->SetSelStart(0);
    Edit->SetSelLength(2);
    sel->SetStyle(sel->GetStyle() << fsItalic << fsUnderline);
    EXPECT_EQ(sel->GetStyle(), (TFontStyles{fsItalic, fsUnderline}));
    EXPECT_EQ(Edit->GetText(), "plainBOLD");
}

TEST_F(RichEditTest, DefaultAttributesFollowTheFontAndAssignToTheSelection) {
    Form->GetFont()->SetName("Liberation Sans");
    Edit->SetParentFont(false);
    Edit->GetFont()->SetSize(10);
    TTextAttributes* def = Edit->GetDefAttributes();
    EXPECT_EQ(def->GetSize(), 10);
    EXPECT_EQ(def->GetName(), Edit->GetFont()->GetName());
    def->SetSize(14);
    EXPECT_EQ(def->GetSize(), 14);
    Type("x");
    Edit->SelectAll();
    EXPECT_EQ(Edit->GetSelAttributes()->GetSize(), 14); // text without a size of its own
    Edit->GetSelAttributes()->SetSize(30);
    Edit->GetSelAttributes()->Assign(def);
    EXPECT_EQ(Edit->GetSelAttributes()->GetSize(), 14);
}

TEST_F(RichEditTest, IndentsAndTabStopsMoveTheTextOnScreen) {
    Edit->SetText(
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor incididunt ut "
        "labore et dolore magna aliqua.\r\nA\tB\tC");
    TParaAttributes* para = Edit->GetParagraph();
    Edit->SetSelStart(0);
    QTextBlock first = Edit->Document()->begin();
    ASSERT_GT(first.layout()->lineCount(), 1);
    auto secondLine = [&] { return first.position() + first.layout()->lineAt(1).textStart(); };
    int left0 = At(0).x();
    ASSERT_EQ(At(secondLine()).x(), left0);

    para->SetFirstIndent(30); // the whole paragraph moves by 40 pixels
    EXPECT_EQ(para->GetFirstIndent(), 30);
    EXPECT_EQ(At(0).x(), left0 + 40);
    EXPECT_EQ(At(secondLine()).x(), left0 + 40);
    para->SetLeftIndent(15); // the following lines move by 20 more
    EXPECT_EQ(para->GetLeftIndent(), 15);
    EXPECT_EQ(para->GetFirstIndent(), 30);
    EXPECT_EQ(At(0).x(), left0 + 40);
    EXPECT_EQ(At(secondLine()).x(), left0 + 60);
    para->SetRightIndent(12);
    EXPECT_EQ(para->GetRightIndent(), 12);

    // Tab stops of the second paragraph, in points from the left edge.
    int second = first.next().position();
    Edit->SetSelStart(second);
    para->SetTab(0, 60);  // 80 pixels
    para->SetTab(1, 150); // 200 pixels
    EXPECT_EQ(para->GetTabCount(), 2);
    EXPECT_EQ(para->GetTab(1), 150);
    EXPECT_EQ(At(second + 2).x(), left0 + 80);  // B
    EXPECT_EQ(At(second + 4).x(), left0 + 200); // C
    para->SetFirstIndent(15);                   // the stops stay where they are
    EXPECT_EQ(At(second).x(), left0 + 20);
    EXPECT_EQ(At(second + 2).x(), left0 + 80);
    EXPECT_EQ(para->GetTab(0), 60);

    // Points are kept as twips: reading drops the remainder only.
    para->SetLeftIndent(-7);
    EXPECT_EQ(para->GetLeftIndent(), -7);
    EXPECT_THROW(para->GetTab(MaxTabStops), ERangeError);
}

TEST_F(RichEditTest, ParagraphFormatCoversEveryParagraphOfTheSelection) {
    Edit->SetText("one\r\ntwo\r\nthree");
    Edit->SetSelStart(2);
    Edit->SetSelLength(4); // "e", break, "tw"
    TParaAttributes* para = Edit->GetParagraph();
    para->SetAlignment(taCenter);
    para->SetNumbering(nsBullet);
    para->SetFirstIndent(10);
    for (int start : {0, 4}) {
        Edit->SetSelStart(start);
        EXPECT_EQ(para->GetAlignment(), taCenter);
        EXPECT_EQ(para->GetNumbering(), nsBullet);
        EXPECT_EQ(para->GetFirstIndent(), 10);
    }
    // All stops at once take the place of those a paragraph had.
    Edit->SetSelStart(0);
    para->SetTab(5, 99);
    Edit->SetSelStart(2);
    Edit->SetSelLength(4);
    para->SetTabs({20, 40, 60});
    EXPECT_THROW(para->SetTabs(std::vector<int>(MaxTabStops + 1, 10)), ERangeError);
    for (int start : {0, 4}) {
        Edit->SetSelStart(start);
        EXPECT_EQ(para->GetTabCount(), 3);
        EXPECT_EQ(para->GetTab(2), 60);
    }
    Edit->SetSelStart(8);
    EXPECT_EQ(para->GetTabCount(), 0);
    EXPECT_EQ(para->GetAlignment(), taLeftJustify);
    EXPECT_EQ(para->GetNumbering(), nsNone);
    Edit->SetAlignment(taRightJustify); // paragraphs without their own
    EXPECT_EQ(para->GetAlignment(), taRightJustify);
    Edit->SetSelStart(0);
    para->SetNumbering(nsNone);
    EXPECT_EQ(para->GetNumbering(), nsNone);
}

// ---- Streaming ------------------------------------------------------------------

TEST_F(RichEditTest, StreamingPlainTextInChunks) {
    TByteSource src{"Zeile 1\r\nZeile 2 ä"};
    src.MaxChunk = 3;
    EDITSTREAM es;
    Type("old");
    EXPECT_EQ(StreamIn(Edit, SF_TEXT, src, es), static_cast<LRESULT>(src.Data.size()));
    EXPECT_EQ(es.dwError, 0u);
    EXPECT_EQ(Edit->GetText(), "Zeile 1\r\nZeile 2 ä");
    EXPECT_FALSE(Edit->GetModified());
    EXPECT_EQ(Edit->Perform(EM_CANUNDO), 0);
    EXPECT_EQ(StreamOut(Edit, SF_TEXT, 5), "Zeile 1\r\nZeile 2 ä");
}

TEST_F(RichEditTest, StreamingRtfKeepsTextAndFormats) {
    TByteSource src{R"({\rtf1\ansi{\fonttbl{\f0 Liberation Sans;}}{\colortbl;\red0\green128\blue0;})"
                    R"(\pard\qc\li400\fi-200\tx640 \f0\fs28 Gr\'fc\'dfe {\b fett}{\i\cf1 gr\u252?n}\par)"
                    R"(\pard{\*\pn\pnlvlblt}\ul Punkt\tab eins\line zwei\par})"};
    EDITSTREAM es;
    StreamIn(Edit, SF_RTF, src, es);
    EXPECT_EQ(Edit->GetText(), "Grüße fettgrün\r\nPunkt\teins\nzwei");
    Edit->SetSelStart(7);
    Edit->SetSelLength(4);
    EXPECT_EQ(Edit->GetSelAttributes()->GetStyle(), TFontStyles{fsBold});
    EXPECT_EQ(Edit->GetSelAttributes()->GetSize(), 14);
    EXPECT_EQ(Edit->GetSelAttributes()->GetName(), "Liberation Sans");
    EXPECT_EQ(Edit->GetParagraph()->GetAlignment(), taCenter);
    EXPECT_EQ(Edit->GetParagraph()->GetFirstIndent(), 10); // \li400\fi-200: the first line at 200 twips
    EXPECT_EQ(Edit->GetParagraph()->GetLeftIndent(), 10);
    EXPECT_EQ(Edit->GetParagraph()->GetTab(0), 32);
    Edit->SetSelStart(12);
    Edit->SetSelLength(3);
    EXPECT_EQ(Edit->GetSelAttributes()->GetColor(), static_cast<TColor>(0x008000));
    Edit->SetSelStart(17);
    EXPECT_EQ(Edit->GetParagraph()->GetNumbering(), nsBullet);

    // Out and in again: the same document.
    TRtfDocument before = Edit->GetRichText();
    std::string rtf = StreamOut(Edit, SF_RTF, 100);
    TByteSource again{rtf};
    StreamIn(Edit, SF_RTF, again, es);
    EXPECT_TRUE(SameDocument(Edit->GetRichText(), before)) << rtf;
    EXPECT_TRUE(SameDocument(ReadRtf(rtf), before));
}

TEST_F(RichEditTest, RichTextRoundTripThroughTheEditor) {
    TRtfDocument d = ReadRtf(
        R"({\rtf1{\fonttbl{\f0 Liberation Serif;}{\f1 Liberation Mono;}}{\colortbl;\red200\green10\blue10;})"
        R"(\pard\f0\fs24 a {\b\i\ul\strike b}{\f1\fs17\cf1  c}\par)"
        R"(\pard\qr\ri300\tx100\tx2000 \f0 right\par)"
        R"(\pard\fs40\par)"
        R"(\pard\qj\li-100\fi300 \f1 justified\par})");
    Edit->SetRichText(d);
    EXPECT_TRUE(SameDocument(Edit->GetRichText(), d));
    EXPECT_EQ(Edit->GetLines()->GetCount(), 4);
}

TEST_F(RichEditTest, StreamErrorsEndTheTransfer) {
    Edit->SetText("kept");
    TByteSource src{"abcdef"};
    src.MaxChunk = 2;
    src.FailAtCall = 2;
    EDITSTREAM es;
    EXPECT_EQ(StreamIn(Edit, SF_TEXT, src, es), 2);
    EXPECT_EQ(es.dwError, 7u);
    EXPECT_EQ(Edit->GetText(), "kept"); // a failed transfer loses nothing

    Edit->SetText("0123456789");
    TByteSource sink;
    sink.MaxChunk = 4;
    sink.FailAtCall = 2;
    EDITSTREAM out;
    out.dwCookie = reinterpret_cast<DWORD_PTR>(&sink);
    out.pfnCallback = WriteSink;
    EXPECT_EQ(Edit->Perform(EM_STREAMOUT, SF_TEXT, reinterpret_cast<LPARAM>(&out)), 4);
    EXPECT_EQ(out.dwError, 9u);
    EXPECT_EQ(sink.Data, "0123");

    // RTF asked for, plain text given: the text as it stands.
    TByteSource plain{"no {rtf} here"};
    EDITSTREAM es2;
    StreamIn(Edit, SF_RTF, plain, es2);
    EXPECT_EQ(Edit->GetText(), "no {rtf} here");
}

// ---- Window messages --------------------------------------------------------

TEST_F(RichEditTest, EditRectMovesTheText) {
    Edit->SetText("x");
    QPoint before = Editor()->viewport()->mapTo(Editor(), At(0));
    QRect r(QPoint(20, 15), QPoint(Edit->GetClientWidth() - 11, Edit->GetClientHeight() - 6));
    Edit->Perform(EM_SETRECT, 0, reinterpret_cast<LPARAM>(&r));
    QPoint after = Editor()->viewport()->mapTo(Editor(), At(0));
    EXPECT_EQ(after - before, QPoint(20, 15));
    QRect back;
    Edit->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&back));
    EXPECT_EQ(back, r);
}

TEST_F(RichEditTest, ScrollBarsRedrawAndKeys) {
    Edit->SetHideScrollBars(false);
    Edit->SetScrollBars(ssVertical);
    QScrollBar* bar = Editor()->verticalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(bar->isEnabled()); // nothing to scroll
    EnableScrollBar(Edit->GetHandle(), SB_VERT, ESB_DISABLE_BOTH);
    std::string many;
    for (int i = 0; i < 60; ++i)
        many += "line\r\n";
    Edit->SetText(many);
    QApplication::processEvents();
    EXPECT_TRUE(bar->isEnabled()); // back with a range to scroll
    EnableScrollBar(Edit->GetHandle(), SB_VERT, ESB_DISABLE_BOTH);
    EXPECT_FALSE(bar->isEnabled());

    Edit->Perform(WM_SETREDRAW, 0);
    EXPECT_FALSE(Editor()->viewport()->updatesEnabled());
    Edit->Perform(WM_SETREDRAW, 1);
    EXPECT_TRUE(Editor()->viewport()->updatesEnabled());

    // Tab moves the focus unless WantTabs; the key events reach the handlers.
    std::vector<Word> downs;
    std::vector<TKeyChar> presses;
    Edit->OnKeyDown = [&](TObject*, Word& Key, TShiftState) { downs.push_back(Key); };
    Edit->OnKeyPress = [&](TObject*, TKeyChar& Key) {
        presses.push_back(Key);
        if (Key == 'q') Key = 0;
    };
    Edit->SetText("");
    Type("aq");
    QTest::keyClick(Editor(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(Edit->GetText().substr(0, 1), "a");
    EXPECT_EQ(presses, (std::vector<TKeyChar>{'a', 'q', 10}));
    EXPECT_EQ(downs.back(), VK_RETURN);
    Edit->SetWantTabs(true);
    Edit->SetText("");
    QTest::keyClick(Editor(), Qt::Key_Tab);
    EXPECT_EQ(Edit->GetText(), "\t");
}

TEST_F(RichEditTest, ClipboardMessages) {
    Type("copy me");
    Edit->SelectAll();
    Edit->Perform(WM_COPY);
    Edit->SetSelStart(Edit->GetTextLength());
    QTest::keyClick(Editor(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Edit->GetText(), "copy mecopy me");
    Edit->SetSelStart(0);
    Edit->SetSelLength(5);
    Edit->CutToClipboard();
    EXPECT_EQ(Edit->GetText(), "mecopy me");
    Edit->SetReadOnly(true);
    Edit->PasteFromClipboard();
    EXPECT_EQ(Edit->GetText(), "mecopy me");
}

// ---- Context menu ---------------------------------------------------------------

TEST_F(RichEditTest, ContextMenuOpensItsPopupMenu) {
    auto* menu = new TPopupMenu(Form.get());
    auto* first = new TMenuItem(Form.get());
    first->SetCaption("&Erster");
    auto* line = new TMenuItem(Form.get());
    line->SetCaption("-");
    auto* second = new TMenuItem(Form.get());
    second->SetCaption("&Zweiter");
    menu->GetItems()->Add(first);
    menu->GetItems()->Add(line);
    menu->GetItems()->Add(second);
    std::vector<std::string> clicked;
    first->OnClick = [&](TObject*) { clicked.push_back("first"); };
    second->OnClick = [&](TObject*) { clicked.push_back("second"); };
    menu->OnPopup = [&](TObject*) { second->SetEnabled(!Edit->GetText().empty()); };

    // Without a menu of its own nothing opens.
    QPoint inside = Editor()->viewport()->rect().center();
    QContextMenuEvent none(QContextMenuEvent::Mouse, inside, Editor()->viewport()->mapToGlobal(inside));
    QApplication::sendEvent(Editor()->viewport(), &none);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    Edit->SetPopupMenu(menu);
    QContextMenuEvent ev(QContextMenuEvent::Mouse, inside, Editor()->viewport()->mapToGlobal(inside));
    QApplication::sendEvent(Editor()->viewport(), &ev);
    QMenu* shown = menu->GetMenuWidget();
    ASSERT_TRUE(shown);
    EXPECT_EQ(menu->GetPopupComponent(), Edit);
    QList<QAction*> actions = shown->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), "&Erster");
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_FALSE(actions[2]->isEnabled()); // OnPopup saw an empty text
    QTest::keyClick(shown, Qt::Key_E);     // the accelerator
    EXPECT_EQ(clicked, std::vector<std::string>{"first"});
    EXPECT_EQ(menu->GetMenuWidget(), nullptr);

    delete menu; // the control forgets it
    EXPECT_EQ(Edit->GetPopupMenu(), nullptr);
}

TEST(PopupMenu, AnItemMayFreeTheMenuWhileItRuns) {
    TForm form(nullptr);
    auto* menu = new TPopupMenu(&form);
    auto* item = new TMenuItem(&form);
    item->SetCaption("Weg");
    menu->GetItems()->Add(item);
    item->OnClick = [&](TObject*) { delete menu; };
    menu->Popup(10, 10);
    QMenu* shown = menu->GetMenuWidget();
    ASSERT_TRUE(shown);
    shown->actions()[0]->trigger();
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form.GetComponentCount(), 0); // the item went with the menu
}

// ---- Up-down ----------------------------------------------------------------------

TEST(UpDown, ArrowsStepWithinTheRangeAndAskFirst) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 200, 100);
    auto* ud = new TUpDown(&form);
    ud->SetParent(&form);
    ud->SetBounds(10, 10, 12, 20);
    ud->SetMin(1);
    ud->SetMax(3);
    ud->SetPosition(2);
    form.Show();
    std::vector<std::string> log;
    bool allow = true;
    ud->OnChanging = [&](TObject*, bool& Allow) {
        log.push_back("changing " + std::to_string(ud->GetPosition()));
        Allow = allow;
    };
    ud->OnClick = [&](TObject*, TUDBtnType B) { log.push_back(B == btNext ? "up" : "down"); };
    auto* up = ud->GetHandle()->findChild<QToolButton*>("up");
    auto* down = ud->GetHandle()->findChild<QToolButton*>("down");
    ASSERT_TRUE(up && down);
    QTest::mouseClick(up, Qt::LeftButton);
    QTest::mouseClick(up, Qt::LeftButton); // at Max: nothing to change
    EXPECT_EQ(ud->GetPosition(), 3);
    allow = false;
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_EQ(ud->GetPosition(), 3);
    ud->SetPosition(1); // by code: asked as well
    EXPECT_EQ(ud->GetPosition(), 3);
    EXPECT_EQ(log, (std::vector<std::string>{"changing 2", "up", "changing 3", "changing 3"}));
    allow = true;
    ud->SetWrap(true);
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(ud->GetPosition(), 1);
    ud->SetPosition(50); // clamped
    EXPECT_EQ(ud->GetPosition(), 3);
    form.Hide();
}

// ---- Colour dialog ---------------------------------------------------------------

TEST(ColorDialog, ExecuteShowsThePresetAndReturnsTheChoice) {
    TColorDialog dialog(nullptr);
    dialog.SetColor(clRed);
    QColor seen;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(d);
        seen = d->currentColor();
        d->setCurrentColor(QColor(0, 0, 200));
        d->accept();
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(seen, QColor(255, 0, 0));
    EXPECT_EQ(dialog.GetColor(), static_cast<TColor>(0xC80000));

    QTimer::singleShot(0, [] { qobject_cast<QColorDialog*>(QApplication::activeModalWidget())->reject(); });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.GetColor(), static_cast<TColor>(0xC80000));
}
