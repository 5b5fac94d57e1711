// Puts a new control of class C on Parent, which owns it, at the bounds given.
#pragma once

#include "Controls.h"

template <class C> C* Place(TWinControl* Parent, int Left, int Top, int Width, int Height) {
    auto* c = new C(Parent);
    c->SetParent(Parent);
    c->SetBounds(Left, Top, Width, Height);
    return c;
}
