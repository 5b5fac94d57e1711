// The windowed control: its children, creating and destroying its window,
// the focus and tab order, aligning its children, and the key messages.
#include "Controls.h"

#include "Forms.h"
#include "UiPrivate.h"

#include <QApplication>
#include <QWindow>

#include <algorithm>
#include <vector>

KV_PUBLISHED_ABSTRACT_METACLASS(TWinControl, &TControl::ClassInfo())

void TWinControl::Publish(TPublisher<TWinControl>& P) {
    P.Prop("TabOrder", &TWinControl::GetTabOrder, &TWinControl::SetTabOrder)
        .NoDefault()
        .StoredIf([](const TWinControl& c) { return c.GetParent() != nullptr; });
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(false);
    P.Prop("ParentCtl3D", &TWinControl::GetParentCtl3D, &TWinControl::SetParentCtl3D).Default(true);
    P.Prop("Ctl3D", &TWinControl::GetCtl3D, &TWinControl::SetCtl3D)
        .Default(true)
        .StoredIf([](const TWinControl& c) { return !c.GetParentCtl3D(); });
    P.Prop("OnEnter", &TWinControl::OnEnter, &TWinControl::OnEnter);
    P.Prop("OnExit", &TWinControl::OnExit, &TWinControl::OnExit);
    P.Prop("OnKeyDown", &TWinControl::OnKeyDown, &TWinControl::OnKeyDown);
    P.Prop("OnKeyPress", &TWinControl::OnKeyPress, &TWinControl::OnKeyPress);
    P.Prop("OnKeyUp", &TWinControl::OnKeyUp, &TWinControl::OnKeyUp);
}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    Destroying();
    if (GetCaretOwner() == this) DestroyCaret();
    DestroyHandle();
    // A parent frees its children, whoever owns them.
    while (!FControls.empty()) {
        TControl* c = FControls.back();
        RemoveControl(c);
        delete c;
    }
}

TControl* TWinControl::GetControl(int Index) const {
    if (Index < 0 || Index >= GetControlCount()) ListIndexError(Index);
    return FControls[static_cast<size_t>(Index)];
}

bool TWinControl::ContainsControl(const TControl* AControl) const {
    for (const TControl* c = AControl; c; c = c->GetParent())
        if (c == this) return true;
    return false;
}

void TWinControl::InsertControl(TControl* AControl) {
    if (AControl->FParent) AControl->FParent->RemoveControl(AControl);
    FControls.push_back(AControl);
    AControl->FParent = this;
    if (auto* w = dynamic_cast<TWinControl*>(AControl)) FTabList.push_back(w);
    if (AControl->FParentFont) AControl->Perform(CM_PARENTFONTCHANGED);
    if (AControl->FParentColor) AControl->Perform(CM_PARENTCOLORCHANGED);
    if (AControl->FParentShowHint) AControl->Perform(CM_SHOWHINTCHANGED);
    if (auto* w = dynamic_cast<TWinControl*>(AControl); w && w->FParentCtl3D)
        w->Perform(CM_PARENTCTL3DCHANGED);
    AControl->UpdateAnchorRules();
    if (FWidget) {
        AControl->CreateControlWidget();
        UpdateTabOrder();
    }
    if (AControl->FAlign != alNone) AlignControls();
}

void TWinControl::RemoveControl(TControl* AControl) {
    auto it = std::find(FControls.begin(), FControls.end(), AControl);
    if (it == FControls.end()) return;
    AControl->DestroyControlWidget();
    FControls.erase(std::find(FControls.begin(), FControls.end(), AControl));
    FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), AControl), FTabList.end());
    AControl->FParent = nullptr;
    if (AControl->FAlign != alNone && !IsDestroying()) AlignControls();
}

void TWinControl::NotifyControls(Cardinal Msg) {
    for (TControl* c : std::vector<TControl*>(FControls))
        c->Perform(Msg);
}

std::uint32_t TWinControl::GetWindowStyle() {
    HandleNeeded();
    return FWindowStyle;
}

std::uint32_t TWinControl::GetWindowExStyle() {
    HandleNeeded();
    return FWindowExStyle;
}

void TWinControl::SetWindowStyle(std::uint32_t Style) {
    HandleNeeded();
    FWindowStyle = Style;
}

void TWinControl::FrameChanged() {
    ClientOriginChanged();
    Invalidate();
}

QWidget* TWinControl::GetHandle() {
    HandleNeeded();
    return FWidget;
}

void TWinControl::HandleNeeded() {
    if (FWidget) return;
    if (GetParent()) GetParent()->HandleNeeded();
    if (!FWidget) CreateHandle();
}

void TWinControl::CreateHandle() {
    if (FWidget) return;
    CreateWnd();
    for (TControl* c : std::vector<TControl*>(FControls))
        c->CreateControlWidget();
    UpdateTabOrder();
    // A new window learns the size of its client area, as the platform's windows do.
    Perform(WM_SIZE, 0, MakeLParam(GetClientWidth(), GetClientHeight()));
}

void TWinControl::CreateWnd() {
    TCreateParams p;
    CreateParams(p);
    if ((p.Style & WS_CHILD) && !p.WndParent)
        throw EInvalidOperation("Control '" + GetName() + "' has no parent window");
    CreateWindowHandle(p);
}

void TWinControl::CreateWindowHandle(const TCreateParams& Params) {
    FWindowStyle = Params.Style;
    FWindowExStyle = Params.ExStyle;
    if (Params.WndParent != GetDesktopWindow()) {
        FWidget = CreateWidget(Params);
        InitWidget();
        return;
    }
    TCreateParams p = Params;
    p.WndParent = nullptr;
    FWidget = CreateWidget(p);
    // A window of its own without frame that the window manager leaves
    // alone: it shows where it is put, above the others, and never becomes
    // the active window, so the focus stays where the user works.
    FWidget->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                            Qt::WindowDoesNotAcceptFocus);
    FWidget->setAttribute(Qt::WA_ShowWithoutActivating);
    InitWidget();
}

void TWinControl::DestroyHandle() {
    if (!FWidget) return;
    for (TControl* c : std::vector<TControl*>(FControls))
        c->DestroyControlWidget();
    DestroyWnd();
}

void TWinControl::DestroyWnd() {
    DestroyWindowHandle();
}

void TWinControl::DestroyWindowHandle() {
    QWidget* w = FWidget;
    FWidget = nullptr;
    DisposeWidget(w);
}

void TWinControl::RecreateWnd() {
    if (!FWidget) return;
    bool hadFocus = FWidget->hasFocus();
    DestroyHandle();
    CreateHandle();
    if (hadFocus && FWidget) {
        // The control keeps the focus it had: no exit and enter.
        FRefocusing = true;
        FWidget->setFocus(Qt::OtherFocusReason);
        FRefocusing = false;
    }
}

void TWinControl::CreateParams(TCreateParams& Params) {
    TControl::CreateParams(Params);
    if (FTabStop) Params.Style |= WS_TABSTOP;
    if (!GetParent() && FParentWindow) Params.WndParent = FParentWindow;
}

// A window on the desktop follows the active window as its transient
// parent, so that a modal form does not block it.
static void FollowActiveWindow(QWidget* Widget) {
    Widget->winId();
    QWindow* window = Widget->windowHandle();
    if (!window) return;
    QWidget* active = QApplication::activeWindow();
    QWindow* parent = active && active != Widget ? active->windowHandle() : QGuiApplication::focusWindow();
    if (parent != window) window->setTransientParent(parent);
}

void TWinControl::InitWidget() {
    TControl::InitWidget();
    // Without TabStop a control keeps what its kind of widget does by itself:
    // edits and buttons take the focus when clicked, panels never do.
    FClickFocus = FWidget->focusPolicy() != Qt::NoFocus;
    UpdateFocusPolicy();
    if (!GetParent() && FParentWindow) {
        if (GetVisible() && FParentWindow == GetDesktopWindow()) FollowActiveWindow(FWidget);
        FWidget->setVisible(GetVisible());
    }
}

void TWinControl::SetParentWindow(QWidget* Value) {
    if (Value == FParentWindow) return;
    FParentWindow = Value;
    if (!GetParent()) RecreateWnd();
}

void TWinControl::SetVisible(bool Value) {
    bool own = !GetParent() && FParentWindow;
    if (own && Value && !GetVisible() && FWidget && FParentWindow == GetDesktopWindow())
        FollowActiveWindow(FWidget);
    TControl::SetVisible(Value);
    if (own && Value && !FWidget) HandleNeeded();
}

void TWinControl::UpdateWidgetBounds() {
    TControl::UpdateWidgetBounds();
}

void TWinControl::Loaded() {
    TControl::Loaded();
    if (FTabOrderWanted >= 0) {
        int wanted = FTabOrderWanted;
        FTabOrderWanted = -1;
        SetTabOrder(wanted);
    }
}

bool TWinControl::Focused() const {
    return FWidget && FWidget->hasFocus();
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->GetParent())
        if (!c->GetVisible() || !c->GetEnabled()) return false;
    return true;
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    HandleNeeded();
    if (TCustomForm* f = GetParentForm(this)) f->FocusChanged(this);
    FWidget->setFocus(Qt::OtherFocusReason);
    ActivateWindowOf(FWidget); // a control of an inactive form activates the form
}

int TWinControl::GetTabOrder() const {
    if (!GetParent()) return -1;
    auto& list = GetParent()->FTabList;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int Value) {
    if (IsLoading()) {
        FTabOrderWanted = Value;
        return;
    }
    TWinControl* p = GetParent();
    if (!p) return;
    auto& list = p->FTabList;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    size_t at = Value < 0 ? list.size() : std::min(static_cast<size_t>(Value), list.size());
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), this);
    p->UpdateTabOrder();
}

void TWinControl::SetTabStop(bool Value) {
    if (Value == FTabStop) return;
    FTabStop = Value;
    UpdateFocusPolicy();
}

void TWinControl::UpdateFocusPolicy() {
    if (!FWidget) return;
    // A window on the desktop never takes the focus.
    if (!GetParent() && FParentWindow && FParentWindow == GetDesktopWindow())
        FWidget->setFocusPolicy(Qt::NoFocus);
    else
        FWidget->setFocusPolicy(FTabStop ? Qt::StrongFocus : FClickFocus ? Qt::ClickFocus : Qt::NoFocus);
}

void TWinControl::SetCtl3D(bool Value) {
    FParentCtl3D = false;
    if (Value == FCtl3D) return;
    FCtl3D = Value;
    Perform(CM_CTL3DCHANGED);
    NotifyControls(CM_PARENTCTL3DCHANGED);
}

void TWinControl::SetParentCtl3D(bool Value) {
    if (Value == FParentCtl3D) return;
    FParentCtl3D = Value;
    if (Value && GetParent()) Perform(CM_PARENTCTL3DCHANGED);
}

void TWinControl::UpdateTabOrder() {
    // Qt keeps one tab chain per window: walk the whole window in tab order.
    TWinControl* top = this;
    while (top->GetParent())
        top = top->GetParent();
    if (!top->FWidget) return;
    std::vector<QWidget*> chain;
    std::function<void(TWinControl*)> walk = [&](TWinControl* w) {
        for (TWinControl* c : w->FTabList) {
            if (c->FWidget && c->FWidget->focusPolicy() != Qt::NoFocus) chain.push_back(c->FWidget);
            walk(c);
        }
    };
    walk(top);
    for (size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TWinControl::ClientOriginChanged() {
    for (TControl* c : FControls)
        c->UpdateWidgetBounds();
    AlignControls();
}

void TWinControl::EnableAlign() {
    if (FAlignLevel > 0 && --FAlignLevel == 0) AlignControls();
}

void TWinControl::AlignControls() {
    if (FAlignLevel > 0 || FAligning) return;
    FAligning = true;
    try {
        QRect r = AdjustClientRect();
        int left = r.left(), top = r.top(), right = r.left() + r.width(), bottom = r.top() + r.height();
        auto take = [&](TAlign a) {
            std::vector<TControl*> list;
            for (TControl* c : FControls)
                if (c->FAlign == a && c->FVisible) list.push_back(c);
            std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
                switch (a) {
                case alTop:
                    return x->FTop < y->FTop;
                case alBottom:
                    return x->FTop + x->FHeight > y->FTop + y->FHeight;
                case alLeft:
                    return x->FLeft < y->FLeft;
                case alRight:
                    return x->FLeft + x->FWidth > y->FLeft + y->FWidth;
                default:
                    return false;
                }
            });
            return list;
        };
        for (TControl* c : take(alTop)) {
            c->SetBoundsByLayout(left, top, right - left, c->FHeight);
            top += c->FHeight;
        }
        for (TControl* c : take(alBottom)) {
            c->SetBoundsByLayout(left, bottom - c->FHeight, right - left, c->FHeight);
            bottom -= c->FHeight;
        }
        for (TControl* c : take(alLeft)) {
            c->SetBoundsByLayout(left, top, c->FWidth, std::max(0, bottom - top));
            left += c->FWidth;
        }
        for (TControl* c : take(alRight)) {
            c->SetBoundsByLayout(right - c->FWidth, top, c->FWidth, std::max(0, bottom - top));
            right -= c->FWidth;
        }
        for (TControl* c : take(alClient))
            c->SetBoundsByLayout(left, top, std::max(0, right - left), std::max(0, bottom - top));

        // Anchored controls keep their distances to the anchored sides.
        int pw = GetClientWidth(), ph = GetClientHeight();
        for (TControl* c : std::vector<TControl*>(FControls)) {
            if (c->FAlign != alNone || c->FAnchorParentW < 0) continue;
            QRect b = c->FAnchorBase;
            int dx = pw - c->FAnchorParentW, dy = ph - c->FAnchorParentH;
            int l = b.left(), t = b.top(), w = b.width(), h = b.height();
            bool aL = c->FAnchors.Contains(akLeft), aR = c->FAnchors.Contains(akRight);
            bool aT = c->FAnchors.Contains(akTop), aB = c->FAnchors.Contains(akBottom);
            if (aL && aR)
                w += dx;
            else if (aR)
                l += dx;
            else if (!aL)
                l += dx / 2;
            if (aT && aB)
                h += dy;
            else if (aB)
                t += dy;
            else if (!aT)
                t += dy / 2;
            c->SetBoundsByLayout(l, t, std::max(0, w), std::max(0, h));
        }
    } catch (...) {
        FAligning = false;
        throw;
    }
    FAligning = false;
}

void TWinControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_KEYDOWN:
        WMKeyDown(Message);
        break;
    case WM_KEYUP:
        WMKeyUp(Message);
        break;
    case WM_CHAR:
        WMChar(Message);
        break;
    case WM_GETDLGCODE:
        WMGetDlgCode(Message);
        break;
    case CM_ENTER:
        CMEnter(Message);
        break;
    case CM_EXIT:
        CMExit(Message);
        break;
    case CM_PARENTCTL3DCHANGED:
        CMParentCtl3DChanged(Message);
        break;
    default:
        TControl::Dispatch(Message);
        break;
    }
}

void TWinControl::CMParentCtl3DChanged(TMessage& Message) {
    if (FParentCtl3D && GetParent() && GetParent()->FCtl3D != FCtl3D) {
        FCtl3D = GetParent()->FCtl3D;
        Perform(CM_CTL3DCHANGED);
        NotifyControls(CM_PARENTCTL3DCHANGED);
    }
    DefaultHandler(Message);
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
}
void TWinControl::KeyUp(Word& Key, TShiftState Shift) {
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
}
void TWinControl::KeyPress(TKeyChar& Key) {
    if (OnKeyPress) OnKeyPress(this, Key);
}
void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

// The dialog code (DLGC_...) with which a control claims a dialog key for
// itself; 0 for a key that is no dialog key.
static LRESULT DialogKeyMask(Word Key) {
    switch (Key) {
    case VK_TAB:
        return DLGC_WANTTAB;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        return DLGC_WANTARROWS;
    case VK_RETURN:
    case VK_ESCAPE:
        return DLGC_WANTALLKEYS;
    default:
        return 0;
    }
}

void TWinControl::WMKeyDown(TMessage& Message) {
    Word key = static_cast<Word>(Message.WParam);
    TShiftState shift = KeyDataToShiftState(Message.LParam);
    std::weak_ptr<int> life = Life();
    // A dialog key that the control does not claim (CM_WANTSPECIALKEY,
    // WM_GETDLGCODE) goes to the form before the control sees it, as on the
    // platform: Tab moves the focus, Return and Escape reach the default and
    // cancel buttons. What the form leaves goes on to KeyDown.
    if (LRESULT mask = DialogKeyMask(key)) {
        bool wanted =
            Perform(CM_WANTSPECIALKEY, key, Message.LParam) != 0 || (Perform(WM_GETDLGCODE) & mask) != 0;
        if (life.expired()) return;
        if (!wanted) {
            if (key == VK_TAB && !shift.Contains(ssAlt) && !shift.Contains(ssCtrl)) {
                // The form's move to the next control is Qt's; the control sees no Tab.
                if (Message.Context) Message.Context->SkipChar = true;
                DefaultHandler(Message);
                return;
            }
            if (TCustomForm* f = GetParentForm(this))
                if (f->Perform(CM_DIALOGKEY, key, Message.LParam) != 0) {
                    Message.Result = 1;
                    return;
                }
            if (life.expired()) return;
        }
    }
    KeyDown(key, shift);
    if (life.expired()) return;
    if (key == 0) {
        Message.Result = 1; // eaten: neither Qt nor WM_CHAR see it
        return;
    }
    Message.WParam = key;
    // Alt plus a letter or digit: an accelerator of the form's labels.
    if (shift.Contains(ssAlt) && !shift.Contains(ssCtrl) &&
        ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')))
        if (TCustomForm* f = GetParentForm(this))
            if (f->Perform(CM_DIALOGCHAR, key, Message.LParam) != 0) {
                Message.Result = 1;
                return;
            }
    DefaultHandler(Message);
}

void TWinControl::WMKeyUp(TMessage& Message) {
    Word key = static_cast<Word>(Message.WParam);
    std::weak_ptr<int> life = Life();
    KeyUp(key, KeyDataToShiftState(Message.LParam));
    if (life.expired() || key == 0) return;
    DefaultHandler(Message);
}

void TWinControl::WMChar(TMessage& Message) {
    TKeyChar c = static_cast<TKeyChar>(Message.WParam);
    std::weak_ptr<int> life = Life();
    KeyPress(c);
    if (life.expired() || c == 0) return; // refused (or freed): Qt does not see it
    Message.WParam = c;
    DefaultHandler(Message);
}

void TWinControl::WMGetDlgCode(TMessage& Message) {
    Message.Result = 0;
}

void TWinControl::CMEnter(TMessage& Message) {
    std::weak_ptr<int> life = Life();
    DoEnter();
    if (!life.expired()) DefaultHandler(Message);
}

void TWinControl::CMExit(TMessage& Message) {
    std::weak_ptr<int> life = Life();
    DoExit();
    if (!life.expired()) DefaultHandler(Message);
}
