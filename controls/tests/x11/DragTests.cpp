// The calendar and the button edit in drags with the mouse, on an X server:
// a form read from its text binds the calendar's drag events, the button
// edit's DragMode makes its edit part drag by itself, and the calendar
// drags from its OnMouseDown.
#include "BtnEditKV.h"
#include "CalendarKV.h"
#include "DateUtils.h"
#include "EditKV.h"
#include "FormReader.h"
#include "Forms.h"
#include "XTestSupport.h"

#include <QWindow>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TDragForm : public TForm {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TDragForm>& P) {
        P.Field("Cal", &TDragForm::Cal);
        P.Field("Edt", &TDragForm::Edt);
        P.Method("CalDragOver", &TDragForm::CalDragOver);
        P.Method("CalDragDrop", &TDragForm::CalDragDrop);
        P.Method("CalMouseDown", &TDragForm::CalMouseDown);
        P.Method("CalStartDrag", &TDragForm::CalStartDrag);
        P.Method("CalEndDrag", &TDragForm::CalEndDrag);
    }
    explicit TDragForm(TComponent* Owner) : TForm(Owner) {}

    void CalDragOver(TObject*, TObject* Source, int, int, TDragState, bool& Accept) {
        Accept = Source == Edt->GetControl(1); // the edit part, which drags for the button edit
    }
    void CalDragDrop(TObject*, TObject* Source, int X, int Y) {
        Seen.push_back("dropped " + Name(Source) + " on day " + std::to_string(DayAt(X, Y)));
    }
    void CalMouseDown(TObject*, TMouseButton, TShiftState, int, int) { Cal->BeginDrag(false); }
    void CalStartDrag(TObject*, TDragObject*&) { Seen.push_back("calendar starts"); }
    void CalEndDrag(TObject*, TObject* Target, int, int) {
        Seen.push_back("calendar ends on " + Name(Target));
    }

    int DayAt(int X, int Y) const {
        for (int row = 1; row < 7; ++row)
            for (int col = 0; col < 7; ++col)
                if (Cal->CellRect(col, row).Contains(X, Y)) return Cal->GetDay(col, row);
        return 0;
    }
    static std::string Name(TObject* O) {
        auto* c = dynamic_cast<TComponent*>(O);
        if (!c) return "none";
        return c->GetName().empty() ? "the edit part of " + c->GetOwner()->GetName() : c->GetName();
    }

    TCalendarKV* Cal = nullptr;
    TBtnEditKV* Edt = nullptr;
    std::vector<std::string> Seen;
};

KV_PUBLISHED_METACLASS(TDragForm, &TForm::ClassInfo())

const char* const FormText = R"(object DragForm: TDragForm
  Left = 100
  Top = 100
  ClientWidth = 400
  ClientHeight = 200
  object Cal: TCalendarKV
    Left = 180
    Top = 10
    Width = 200
    Height = 150
    OnDragDrop = CalDragDrop
    OnDragOver = CalDragOver
    OnEndDrag = CalEndDrag
    OnMouseDown = CalMouseDown
    OnStartDrag = CalStartDrag
  end
  object Edt: TBtnEditKV
    Left = 10
    Top = 10
    Width = 120
    Height = 21
    DragMode = dmAutomatic
    Text = 'drag me'
  end
end
)";

TEST(XDragControls, TheButtonEditDragsOntoTheCalendarAndTheCalendarDragsFromItsPress) {
    Calendarkv::Register();
    Btneditkv::Register();
    TDragForm form(nullptr);
    ReadComponentFromText(FormText, &form, TDragForm::ClassInfo());
    form.Cal->SetCalendarDate(EncodeDate(2024, 3, 13));
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.GetWidget()));
    QWindow* window = form.GetWidget()->windowHandle();
    auto* edit = dynamic_cast<TEditKV*>(form.Edt->GetControl(1));
    ASSERT_NE(edit, nullptr);
    ASSERT_EQ(edit->GetDragMode(), dmAutomatic);

    int col, row;
    form.Cal->GetCellOfDay(col, row, 20);
    TRect cell = form.Cal->CellRect(col, row);
    QPoint day = InWindow(form.Cal, QPoint((cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2));
    EXPECT_TRUE(MouseDrag(window, InWindow(edit, QPoint(20, 8)),
                          {InWindow(edit, QPoint(60, 8)), day - QPoint(5, 0), day}));
    EXPECT_EQ(form.Seen, (std::vector<std::string>{"dropped the edit part of Edt on day 20"}));
    EXPECT_EQ(form.Edt->GetText(), "drag me"); // the press started the drag: no selection, no caret moved

    // The calendar refuses itself as a target, and nothing else takes it.
    form.Seen.clear();
    EXPECT_TRUE(MouseDrag(window, day, {day + QPoint(10, 0), InWindow(edit, QPoint(20, 8))}));
    EXPECT_EQ(form.Seen, (std::vector<std::string>{"calendar starts", "calendar ends on none"}));
    form.Hide();
}

} // namespace
