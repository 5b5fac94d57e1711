// Focus and activation between windows under a real X server with a window
// manager: SetFocus on a control of an inactive form activates the form, and
// the date edit has the focus again when its calendar pop-up closes.
#include "DateEditKV.h"

#include "Place.h"
#include "SelectDateKV.h"
#include "StdCtrls.h"
#include "XTestSupport.h"

#include <QApplication>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

bool ActiveWithFocus(const TCustomForm* Form, const TWinControl* Control) {
    return QApplication::activeWindow() == Form->GetWidget() && Control->Focused();
}

TSelectDateKV* Popup() {
    for (int i = 0; i < Screen->GetFormCount(); ++i)
        if (auto* p = dynamic_cast<TSelectDateKV*>(Screen->GetForm(i)); p && p->GetVisible()) return p;
    return nullptr;
}

struct XFocus : ::testing::Test {
    XFocus() {
        Form->SetBounds(100, 100, 400, 300);
        E->SetParent(Form.get());
        E->SetBounds(10, 10, 100, 21);
        E->SetEnableLookup(true);
        Other->SetParent(Form.get());
        Other->SetBounds(10, 150, 100, 21);
        Form->Show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Form->GetWidget()));
    }
    ~XFocus() override { Form->Hide(); }
    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TDateEditKV* E = new TDateEditKV(Form.get());
    TEdit* Other = new TEdit(Form.get());
};

TEST_F(XFocus, SetFocusOnAControlOfAnInactiveFormActivatesTheForm) {
    TForm second(nullptr);
    second.SetBounds(300, 300, 200, 100);
    auto* edit = Place<TEdit>(&second, 10, 10, 100, 21);
    second.Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(second.GetWidget()));
    Other->SetFocus();
    EXPECT_TRUE(WaitFor([&] { return ActiveWithFocus(Form.get(), Other); }));
    // The window function does the same.
    SetFocus(edit->GetHandle());
    EXPECT_TRUE(WaitFor([&] { return ActiveWithFocus(&second, edit); }));
    second.Hide();
}

// Another window was active last before the pop-up: the window manager's own
// choice when the pop-up goes is that one, so the edit's form comes back
// only through the pop-up's SetFocus on the edit.
TEST_F(XFocus, TheDateEditHasTheFocusWhenItsPopupCloses) {
    TForm elsewhere(nullptr);
    elsewhere.SetBounds(550, 100, 200, 100);
    auto* there = Place<TEdit>(&elsewhere, 10, 10, 100, 21);
    elsewhere.Show();
    auto clickDay = [](TSelectDateKV* p) {
        int col, row;
        p->Cal1->GetCellOfDay(col, row, 20);
        TRect r = p->Cal1->CellRect(col, row);
        QTest::mouseClick(p->Cal1->GetWidget(), Qt::LeftButton, {},
                          QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
    };
    struct Case {
        const char* How;
        std::function<void(TSelectDateKV*)> Close;
    };
    const Case cases[] = {
        {"Enter", [](TSelectDateKV* p) { QTest::keyClick(p->Cal1->GetWidget(), Qt::Key_Return); }},
        {"a click on a day", clickDay},
        {"Escape", [](TSelectDateKV* p) { QTest::keyClick(p->Cal1->GetWidget(), Qt::Key_Escape); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.How);
        there->SetFocus();
        ASSERT_TRUE(WaitFor([&] { return ActiveWithFocus(&elsewhere, there); }));
        QTest::mouseClick(E->GetLookupButton()->GetWidget(), Qt::LeftButton);
        TSelectDateKV* p = Popup();
        ASSERT_NE(p, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(p->GetWidget()));
        ASSERT_TRUE(p->Cal1->Focused());
        c.Close(p);
        EXPECT_EQ(Popup(), nullptr);
        EXPECT_TRUE(WaitFor([&] { return ActiveWithFocus(Form.get(), E); }));
        QApplication::processEvents(); // the pop-up frees itself
    }
    elsewhere.Hide();
}

} // namespace
