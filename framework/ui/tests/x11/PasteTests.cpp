// Pasting into the text controls on an X server, whose key scheme has paste
// keys beyond Ctrl+V and Shift+Insert, and where Qt pastes the primary
// selection with the middle button: nothing comes in past MaxLength, nor
// splits a character, on these ways either.
#include "Clipbrd.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "XTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// An edit, a memo and a combo box of each style with an edit part, each
// holding "abcd" with MaxLength 5 and the caret at the end.
struct XPaste : ::testing::Test {
    XPaste() {
        Form->SetBounds(100, 100, 400, 300);
        Simple->SetStyle(csSimple);
        int top = 10;
        for (TWinControl* c : Controls) {
            c->SetParent(Form.get());
            int height = c == Memo || c == Simple ? 60 : 21;
            c->SetBounds(10, top, 200, height);
            top += height + 10;
        }
        Form->Show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Form->GetWidget()));
    }
    ~XPaste() override { Form->Hide(); }
    static std::string Name(TWinControl* C) { return C->ClassName(); }
    // Makes C the focused control with "abcd", MaxLength 5, the caret at the end.
    void Prepare(TWinControl* C) {
        C->SetFocus(); // first: focusing an edit selects its text
        C->SetText("abcd");
        if (auto* e = dynamic_cast<TCustomEdit*>(C)) {
            e->SetMaxLength(5);
            e->SetSelStart(4);
        }
        if (auto* b = dynamic_cast<TCustomComboBox*>(C)) {
            b->SetMaxLength(5);
            b->SetSelStart(4);
        }
    }

    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TEdit* Edit = new TEdit(Form.get());
    TMemo* Memo = new TMemo(Form.get());
    TComboBox* DropDown = new TComboBox(Form.get());
    TComboBox* Simple = new TComboBox(Form.get());
    std::vector<TWinControl*> Controls{Edit, Memo, DropDown, Simple};
};

TEST_F(XPaste, EveryPasteKeyOfTheSchemeKeepsToMaxLength) {
    const struct {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
    } keys[] = {{Qt::Key_F18, Qt::NoModifier}, {Qt::Key_Insert, Qt::ControlModifier | Qt::ShiftModifier}};
    for (const auto& k : keys) {
        ASSERT_TRUE(QKeySequence::keyBindings(QKeySequence::Paste).contains(QKeySequence(k.Key | k.Modifiers)));
        for (TWinControl* c : Controls) {
            SCOPED_TRACE(Name(c) + (c == Simple ? " simple" : "") + " " +
                         QKeySequence(k.Key | k.Modifiers).toString().toStdString());
            Prepare(c);
            Clipboard().SetAsText("😀😀");
            QTest::keyClick(c->GetHandle(), k.Key, k.Modifiers);
            EXPECT_EQ(c->GetText(), "abcd😀");
        }
    }
}

TEST_F(XPaste, TheMiddleButtonPastesNoSelection) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    ASSERT_TRUE(clipboard->supportsSelection());
    for (TWinControl* c : Controls) {
        SCOPED_TRACE(Name(c) + (c == Simple ? " simple" : ""));
        Prepare(c);
        clipboard->setText(QString::fromUtf8("😀😀"), QClipboard::Selection);
        ASSERT_TRUE(WaitFor([&] { return clipboard->text(QClipboard::Selection).size() == 4; }));
        // Into the text: a combo box's edit part, or the memo's viewport.
        auto* line = c->GetHandle()->findChild<QLineEdit*>();
        QWidget* text = line ? line : c == Memo ? c->GetHandle()->childAt(5, 5) : c->GetHandle();
        ASSERT_TRUE(text);
        QTest::mouseClick(text, Qt::MiddleButton, {}, text->rect().center());
        QTest::qWait(50);
        EXPECT_EQ(c->GetText(), "abcd");
    }
}

} // namespace
