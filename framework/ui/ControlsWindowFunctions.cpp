// The window functions of the unit: scroll bars, system metrics, the
// desktop window, the mouse capture, the focus and posted messages.
#include "Controls.h"

#include "Forms.h"
#include "UiPrivate.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

bool EnableScrollBar(QWidget* Handle, unsigned Bar, unsigned Arrows) {
    auto* area = dynamic_cast<QAbstractScrollArea*>(Handle);
    if (!area) return false;
    bool enable = Arrows != ESB_DISABLE_BOTH;
    if (Bar == SB_VERT || Bar == SB_BOTH) area->verticalScrollBar()->setEnabled(enable);
    if (Bar == SB_HORZ || Bar == SB_BOTH) area->horizontalScrollBar()->setEnabled(enable);
    return true;
}

int GetSystemMetrics(int Index) {
    switch (Index) {
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    default:
        return 0;
    }
}

static QPointer<QWidget>& DesktopWindow() {
    static QPointer<QWidget> desktop;
    return desktop;
}

// Where the last mouse button press was, on the screen.
static QPoint GLastPress;

QWidget* GetDesktopWindow() {
    QPointer<QWidget>& desktop = DesktopWindow();
    if (!desktop && QApplication::instance()) desktop = new QWidget;
    return desktop;
}

void FreeDesktopWindow() {
    delete DesktopWindow().data();
}

QWidget* SetCapture(QWidget* Wnd) {
    QWidget* old = QWidget::mouseGrabber();
    if (Wnd)
        Wnd->grabMouse();
    else if (old)
        old->releaseMouse();
    return old;
}

void ReleaseCapture() {
    if (QWidget* w = QWidget::mouseGrabber()) w->releaseMouse();
}

QWidget* GetCapture() {
    return QWidget::mouseGrabber();
}

void SetFocus(QWidget* Wnd) {
    TControl* control = Wnd ? FindControl(Wnd) : nullptr;
    TCustomForm* form = control ? GetParentForm(control) : nullptr;
    bool keep = !Wnd || (form && form->GetActiveControl() == control);
    bool saved = GKeepActiveControl;
    GKeepActiveControl = keep;
    try {
        if (Wnd) {
            Wnd->setFocus(Qt::OtherFocusReason);
            ActivateWindowOf(Wnd);
        } else if (QWidget* focused = QApplication::focusWidget())
            focused->clearFocus();
    } catch (...) {
        GKeepActiveControl = saved;
        throw;
    }
    GKeepActiveControl = saved;
}

void ActivateWindowOf(QWidget* Widget) {
    QWidget* window = Widget->window();
    if (window == QApplication::activeWindow() || !window->isVisible()) return;
    window->raise();
    window->activateWindow();
}

void PostMessage(QWidget* Wnd, Cardinal Msg, WPARAM WParam, LPARAM LParam) {
    QPointer<QWidget> target(Wnd);
    QTimer::singleShot(0, QApplication::instance(), [target, Msg, WParam, LParam] {
        TControl* control = target ? FindControl(target) : nullptr;
        if (control) GuardedCall(control, [&] { control->Perform(Msg, WParam, LParam); });
    });
}

void NoteMousePress(QPoint GlobalPos) {
    GLastPress = GlobalPos;
}

QPoint LastMousePress() {
    return GLastPress;
}

bool LeftButtonDownOn(const TControl* Control) {
    QWidget* w = Control->GetWidget();
    if (!w || !(QGuiApplication::mouseButtons() & Qt::LeftButton)) return false;
    return w->rect().contains(w->mapFromGlobal(GLastPress));
}
