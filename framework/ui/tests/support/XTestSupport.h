// Helpers of the tests that run on an X server with a window manager.
#pragma once

#include "Controls.h"

#include <QPoint>

#include <functional>
#include <vector>

class QWindow;

// Waits until Condition holds: the window manager answers in its own time.
bool WaitFor(const std::function<bool()>& Condition);

// The point of Control's client area as a point of its form's window.
QPoint InWindow(const TControl* Control, QPoint Client);

// Drags with the mouse as a user does: a press at From (a point of Window),
// moves along Path, then the release at the last point, or Escape there.
// Returns once all of it has been played (true) or after 5 seconds (false).
bool MouseDrag(QWindow* Window, QPoint From, const std::vector<QPoint>& Path, bool Escape = false);
