// One control dragged onto another with the mouse, on an X server, where Qt's
// drag and drop within the application carries the drag: the source hears
// the start and the end, the controls under the mouse are asked, and the one
// that takes the drag gets the drop.
#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "UiPrivate.h"
#include "XTestSupport.h"

#include <QCursor>
#include <QDrag>
#include <QGuiApplication>
#include <QWindow>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* StateName(TDragState S) {
    return S == dsDragEnter ? "enter" : S == dsDragMove ? "move" : "leave";
}

struct XDrag : ::testing::Test {
    XDrag() {
        Form->SetBounds(100, 100, 400, 200);
        for (auto [panel, left] : {std::pair{Source, 10}, {Target, 150}, {Refuser, 280}}) {
            panel->SetParent(Form.get());
            panel->SetBounds(left, 10, 100, 100);
        }
        Source->SetName("Source");
        Target->SetName("Target");
        Refuser->SetName("Refuser");
        Source->SetDragMode(dmAutomatic);
        Source->OnStartDrag = [this](TObject* Sender, TDragObject*&) { Note(Sender, "start"); };
        Source->OnEndDrag = [this](TObject* Sender, TObject* To, int X, int Y) {
            Note(Sender, "end on " + Name(To) + " at " + std::to_string(X) + "," + std::to_string(Y));
        };
        Source->OnMouseDown = [this](TObject* Sender, TMouseButton, TShiftState, int, int) {
            Note(Sender, "press");
        };
        auto over = [this](bool Take) {
            return [this, Take](TObject* Sender, TObject* From, int, int, TDragState State, bool& Accept) {
                EXPECT_EQ(From, Source);
                EXPECT_TRUE(Accept); // asked with yes
                Accept = Take;
                // Moves come as often as the mouse moves: one is enough.
                if (State != dsDragMove || Seen.back() != Name(Sender) + " move")
                    Note(Sender, StateName(State));
            };
        };
        Target->OnDragOver = over(true);
        Refuser->OnDragOver = over(false);
        Target->OnDragDrop = [this](TObject* Sender, TObject* From, int X, int Y) {
            EXPECT_EQ(From, Source);
            Note(Sender, "drop at " + std::to_string(X) + "," + std::to_string(Y));
        };
        Form->Show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Form->GetWidget()));
    }
    ~XDrag() override { Form->Hide(); }
    static std::string Name(TObject* O) {
        auto* c = dynamic_cast<TComponent*>(O);
        return c ? c->GetName() : "none";
    }
    void Note(TObject* Sender, const std::string& What) { Seen.push_back(Name(Sender) + " " + What); }
    QWindow* Window() { return Form->GetWidget()->windowHandle(); }
    // From the middle of the source over to (X, Y) of To, in a few steps.
    void Drag(TControl* To, int X, int Y, bool Escape = false) {
        QPoint end = InWindow(To, QPoint(X, Y));
        EXPECT_TRUE(MouseDrag(
            Window(), InWindow(Source, QPoint(50, 50)),
            {InWindow(Source, QPoint(70, 50)), end - QPoint(10, 0), end - QPoint(5, 0), end}, Escape));
    }

    std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
    TPanel* Source = new TPanel(Form.get());
    TPanel* Target = new TPanel(Form.get());
    TPanel* Refuser = new TPanel(Form.get());
    std::vector<std::string> Seen;
};

TEST_F(XDrag, AControlThatTakesTheDragGetsTheDropAndTheSourceHearsTheEnd) {
    Drag(Target, 30, 40);
    EXPECT_EQ(Seen, (std::vector<std::string>{"Source start", "Target enter", "Target move", "Target leave",
                                              "Target drop at 30,40", "Source end on Target at 30,40"}));
    EXPECT_FALSE(Source->Dragging());
}

TEST_F(XDrag, ARefusedDragOrEscapeEndsOnNoControl) {
    Drag(Refuser, 30, 40);
    EXPECT_EQ(Seen, (std::vector<std::string>{"Source start", "Refuser enter", "Refuser move",
                                              "Refuser leave", "Source end on none at 0,0"}));
    Seen.clear();
    Drag(Target, 30, 40, true);
    EXPECT_EQ(Seen, (std::vector<std::string>{"Source start", "Target enter", "Target move", "Target leave",
                                              "Source end on none at 0,0"}));
}

// BeginDrag from OnMouseDown, as forms do with DragMode dmManual: the drag
// begins once the mouse has moved far enough with the button down.
TEST_F(XDrag, BeginDragWaitsForTheMouseToMove) {
    Source->SetDragMode(dmManual);
    Source->OnMouseDown = [this](TObject* Sender, TMouseButton, TShiftState, int, int) {
        Note(Sender, "press");
        Source->BeginDrag(false, 10);
    };
    Drag(Target, 30, 40);
    EXPECT_EQ(Seen, (std::vector<std::string>{"Source press", "Source start", "Target enter", "Target move",
                                              "Target leave", "Target drop at 30,40",
                                              "Source end on Target at 30,40"}));
    // Released before it moved far enough: the drag ends on no control.
    Seen.clear();
    EXPECT_TRUE(MouseDrag(Window(), InWindow(Source, QPoint(50, 50)), {InWindow(Source, QPoint(55, 52))}));
    EXPECT_EQ(Seen, (std::vector<std::string>{"Source press", "Source start", "Source end on none at 0,0"}));
    EXPECT_FALSE(Source->Dragging());
}

// The cursor says whether the control under the mouse takes the drag: the
// source's DragCursor where it does (the plain drag cursor for a drag object
// of OnStartDrag), the no-drop cursor elsewhere. Qt shows the cursor for the
// last answer, so each control sees the one of the place before it first.
TEST_F(XDrag, TheCursorIsTheDragCursorWhereTheDragIsTakenAndNoDropElsewhere) {
    const struct {
        TCursor DragCursor;
        bool Object;
        TCursor Taken;
    } cases[] = {{crDrag, false, crDrag}, {crHandPoint, false, crHandPoint}, {crHandPoint, true, crDrag}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.DragCursor) + (c.Object ? " with a drag object" : ""));
        Source->SetDragCursor(c.DragCursor);
        TDragObject object;
        Source->OnStartDrag = [&](TObject*, TDragObject*& Object) { Object = c.Object ? &object : nullptr; };
        QImage taken = DragCursorPixmap(c.Taken).toImage(), refused = DragCursorPixmap(crNoDrop).toImage();
        ASSERT_FALSE(taken == refused);
        std::vector<std::string> shown;
        auto over = [&](bool Take) {
            return [&, Take](TObject* Sender, TObject*, int, int, TDragState State, bool& Accept) {
                Accept = Take;
                if (State != dsDragMove) return;
                QDrag* drag = Source->GetWidget()->findChild<QDrag*>();
                ASSERT_NE(drag, nullptr);
                EXPECT_TRUE(drag->dragCursor(Qt::MoveAction).toImage() == taken);
                EXPECT_TRUE(drag->dragCursor(Qt::IgnoreAction).toImage() == refused);
                QCursor* cursor = QGuiApplication::overrideCursor();
                QImage now = cursor ? cursor->pixmap().toImage() : QImage();
                std::string seen = Name(Sender) + (now == taken     ? " taken"
                                                   : now == refused ? " refused"
                                                                    : " other");
                if (shown.empty() || shown.back() != seen) shown.push_back(seen);
            };
        };
        Target->OnDragOver = over(true);
        Refuser->OnDragOver = over(false);
        Target->OnDragDrop = nullptr;
        QPoint t = InWindow(Target, QPoint(30, 40)), r = InWindow(Refuser, QPoint(30, 40));
        EXPECT_TRUE(MouseDrag(Window(), InWindow(Source, QPoint(50, 50)),
                              {InWindow(Source, QPoint(70, 50)), t, t + QPoint(1, 0), t + QPoint(2, 0), r,
                               r + QPoint(1, 0), r + QPoint(2, 0), t, t + QPoint(1, 0), t + QPoint(2, 0)}));
        EXPECT_EQ(shown, (std::vector<std::string>{"Target refused", "Target taken", "Refuser taken",
                                                   "Refuser refused", "Target refused", "Target taken"}));
    }
}

} // namespace
