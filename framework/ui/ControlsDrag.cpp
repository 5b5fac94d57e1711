// Dragging one control onto another, over Qt's drag and drop within the
// application: the drag's start at a press or by BeginDrag, the questions to
// the controls under the mouse, the drop and the end at the source.
#include "Controls.h"

#include "UiPrivate.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>

#include <optional>
#include <vector>

// The drag under way; there is one at a time. Only its mime type marks
// Qt's drag as a control's: the controls are named here.
struct TControlDrag {
    TControl* Source = nullptr;
    std::weak_ptr<int> SourceLife;
    TDragObject* Object = nullptr; // from OnStartDrag; null: the source stands for itself
    bool Pending = true;           // waiting for the mouse to move Threshold pixels
    QPoint Start;                  // screen position of the press
    int Threshold = 5;
    TControl* Over = nullptr; // the control under the mouse that was entered
    std::weak_ptr<int> OverLife;
    QPoint OverPos;
    TControl* Target = nullptr; // the control that took the drop
    std::weak_ptr<int> TargetLife;
    QPoint TargetPos;

    TObject* What() const { return Object ? static_cast<TObject*>(Object) : Source; }
};

static const char* const ControlDragType = "application/x-kv-control-drag";

static std::optional<TControlDrag>& CurrentDrag() {
    static std::optional<TControlDrag> drag;
    return drag;
}

// Qt offers a drag only to widgets that take drops: while a control is
// dragged, every control's window does (a scroll area's viewport too).
class TDropsOpened {
public:
    TDropsOpened() {
        for (QWidget* w : QApplication::allWidgets()) {
            QWidget* owner = w;
            if (auto* area = qobject_cast<QAbstractScrollArea*>(w->parentWidget());
                area && area->viewport() == w)
                owner = area;
            if (!FindControl(owner) || w->acceptDrops()) continue;
            w->setAcceptDrops(true);
            FOpened.emplace_back(w);
        }
    }
    ~TDropsOpened() {
        for (const QPointer<QWidget>& w : FOpened)
            if (w) w->setAcceptDrops(false);
    }
    TDropsOpened(const TDropsOpened&) = delete;
    TDropsOpened& operator=(const TDropsOpened&) = delete;

private:
    std::vector<QPointer<QWidget>> FOpened;
};

// Runs Qt's drag for the pending drag and ends it: the drop goes to the
// control that took it, then the source hears the end.
void TControlDragging::Run() {
    TControlDrag& d = *CurrentDrag();
    d.Pending = false;
    if (QWidget* w = d.Source->GetWidget()) {
        TDropsOpened opened;
        auto* drag = new QDrag(w);
        auto* data = new QMimeData;
        data->setData(ControlDragType, QByteArray());
        drag->setMimeData(data);
        // The platform's cursors: a control that takes the drag answers with
        // a move, every other place with none. A drag object stands in for
        // the source with the plain drag cursor.
        drag->setDragCursor(DragCursorPixmap(d.Object ? crDrag : d.Source->GetDragCursor()), Qt::MoveAction);
        drag->setDragCursor(DragCursorPixmap(crNoDrop), Qt::IgnoreAction);
        drag->exec(Qt::MoveAction); // Qt's own loop, until the release or Escape
    }
    if (!CurrentDrag()) return;
    TControlDrag done = *CurrentDrag();
    CurrentDrag().reset();
    TControl* target = done.TargetLife.expired() ? nullptr : done.Target;
    if (target)
        GuardedCall(target, [&] { target->DragDrop(done.What(), done.TargetPos.x(), done.TargetPos.y()); });
    if (done.SourceLife.expired()) return;
    if (target && done.TargetLife.expired()) target = nullptr; // gone in its OnDragDrop
    QPoint at = target ? done.TargetPos : QPoint();
    GuardedCall(done.Source, [&] { done.Source->DoEndDrag(target, at.x(), at.y()); });
}

void TControl::BeginDrag(bool Immediate, int Threshold) {
    if (CurrentDrag()) return; // one drag at a time
    TControlDrag d;
    d.Source = this;
    d.SourceLife = Life();
    d.Start = LastMousePress();
    if (Threshold >= 0) d.Threshold = Threshold;
    CurrentDrag() = d;
    std::weak_ptr<int> life = Life();
    try {
        DoStartDrag(CurrentDrag()->Object);
    } catch (...) {
        CurrentDrag().reset();
        throw;
    }
    if (life.expired()) {
        CurrentDrag().reset();
        return;
    }
    if (Immediate) TControlDragging::Run();
}

void TControlDragging::Forget(const TControl* Control) {
    std::optional<TControlDrag>& d = CurrentDrag();
    if (d && d->Pending && d->Source == Control) d.reset(); // a running one checks the source's life
}

bool TControl::Dragging() const {
    return CurrentDrag() && CurrentDrag()->Source == this;
}

void TControl::DoStartDrag(TDragObject*& DragObject) {
    if (OnStartDrag) OnStartDrag(this, DragObject);
}

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    Accept = false;
    if (!OnDragOver) return;
    Accept = true;
    OnDragOver(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, int X, int Y) {
    if (OnDragDrop) OnDragDrop(this, Source, X, Y);
}

void TControl::DoEndDrag(TObject* Target, int X, int Y) {
    if (OnEndDrag) OnEndDrag(this, Target, X, Y);
}

bool TControlDragging::HandlePendingMouse(TControl* Control, QEvent* Event) {
    std::optional<TControlDrag>& d = CurrentDrag();
    if (!d || !d->Pending || d->Source != Control) return false;
    auto* me = static_cast<QMouseEvent*>(Event);
    if (Event->type() == QEvent::MouseMove) {
        if (!(me->buttons() & Qt::LeftButton)) return false;
        if ((me->globalPosition().toPoint() - d->Start).manhattanLength() >= d->Threshold) Run();
        return true;
    }
    if (Event->type() == QEvent::MouseButtonRelease && me->button() == Qt::LeftButton) {
        // Released before the drag began: it ends on no control.
        d.reset();
        Control->DoEndDrag(nullptr, 0, 0);
        return true;
    }
    return false;
}

bool TControlDragging::Ask(TControl* Control, QPoint Pos, TDragState State) {
    TControlDrag& d = *CurrentDrag();
    bool accept = false;
    Control->DragOver(d.What(), Pos.x(), Pos.y(), State, accept);
    return accept;
}

bool TControlDragging::HandleDragEvent(TControl* Control, QWidget*, QEvent* Event) {
    std::optional<TControlDrag>& d = CurrentDrag();
    if (!d || d->Pending) return false;
    if (Event->type() == QEvent::DragLeave) {
        if (d->Over != Control) return false;
        d->Over = nullptr;
        if (!d->OverLife.expired()) Ask(Control, d->OverPos, dsDragLeave);
        return true;
    }
    auto* de = static_cast<QDropEvent*>(Event);
    if (!de->mimeData() || !de->mimeData()->hasFormat(ControlDragType)) return false;
    QPoint pos = de->position().toPoint() - Control->ClientOffset();
    std::weak_ptr<int> life = Control->Life();
    switch (Event->type()) {
    case QEvent::DragEnter:
        d->Over = Control;
        d->OverLife = life;
        d->OverPos = pos;
        Ask(Control, pos, dsDragEnter);
        de->accept(); // Qt asks again at once with a move, whose answer counts
        break;
    case QEvent::DragMove: {
        d->OverPos = pos;
        bool accept = Ask(Control, pos, dsDragMove);
        if (!d || life.expired()) return true;
        de->setDropAction(Qt::MoveAction);
        de->setAccepted(accept);
        break;
    }
    case QEvent::Drop: {
        // As on the platform, the last question is the leave's, and it decides.
        d->Over = nullptr;
        bool accept = Ask(Control, pos, dsDragLeave);
        if (!d || life.expired()) return true;
        if (accept) {
            d->Target = Control;
            d->TargetLife = life;
            d->TargetPos = pos;
            de->setDropAction(Qt::MoveAction);
        }
        de->setAccepted(accept);
        break;
    }
    default:
        return false;
    }
    return true;
}
