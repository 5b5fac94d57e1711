// Internals shared by the ui units; not part of the framework's interface.
#pragma once

#include "Controls.h"

#include <QEvent>
#include <QKeyEvent>

#include <functional>

// The Qt event behind a message, and how its default handling goes.
struct TMessageContext {
    enum TKind { ckPlain, ckKeyDown, ckChar } Kind = ckPlain;
    QEvent* Event = nullptr;
    std::function<bool(QEvent*)> Default;
    bool Done = false;       // DefaultHandler ran
    bool Result = false;     // what Qt's handling returned
    bool KeyHasChar = false; // ckKeyDown: a WM_CHAR follows, Qt sees the key with it
    bool SkipChar = false;   // ckKeyDown: no WM_CHAR (the key moved the focus)
    TKeyChar OriginalChar = 0;
};

// The widget that received the key event being delivered before Qt passed
// it on to parents, or null when unknown (no event being delivered through
// the framework's application object).
QObject* FirstKeyReceiver();

Word QtKeyToVirtualKey(int Key);
int VirtualKeyToQtKey(Word Key);
LPARAM KeyDataFromModifiers(Qt::KeyboardModifiers Modifiers);
TKeyChar CharOfKeyEvent(const QKeyEvent* Event);
TShiftState ShiftStateOfMouse(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Modifiers);

// The scroll code (SB_...) of a scroll bar action (QAbstractSlider::SliderAction),
// SB_THUMBTRACK for dragging the thumb; -1 for no action.
int ScrollCodeOfAction(int Action);

// Deletes a widget now, or once Qt is done with it when it is in use.
void DisposeWidget(QWidget* Widget);

// The screen position of the last mouse button press (the application's
// event filter notes it before Qt moves the focus for the press).
void NoteMousePress(QPoint GlobalPos);
// Frees the desktop's stand-in window (the application does, while Qt is there).
void FreeDesktopWindow();
// A drag over Widget, or the drop, when Widget is registered for dropped
// files (ShellAPI): accepted or refused, the drop delivered as WM_DROPFILES.
// False when Widget is no drop target and Qt handles the event.
bool HandleFileDrag(TControl* Control, QWidget* Widget, QEvent* Event);
