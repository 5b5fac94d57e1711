// The message layer under every control: keys and their codes, the guard
// that keeps exceptions out of Qt's event loop, a control's messages and
// their default handling, and the translation of Qt's events into messages.
#include "Controls.h"

#include "Forms.h"
#include "Menus.h"
#include "UiPrivate.h"

#include <QAbstractSlider>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QMouseEvent>

#include <cstdio>
#include <map>

// ---- Keys -----------------------------------------------------------------

AnsiString KeyCharToStr(TKeyChar Key) {
    QString s = QString::fromUcs4(&Key, 1);
    return s.toStdString();
}

TShiftState KeyDataToShiftState(LPARAM KeyData) {
    TShiftState s;
    if (KeyData & KF_SHIFTDOWN) s << ssShift;
    if (KeyData & KF_CTRLDOWN) s << ssCtrl;
    if (KeyData & KF_ALTDOWN) s << ssAlt;
    return s;
}

LPARAM KeyDataFromModifiers(Qt::KeyboardModifiers Modifiers) {
    LPARAM d = 0;
    if (Modifiers & Qt::ShiftModifier) d |= KF_SHIFTDOWN;
    if (Modifiers & Qt::ControlModifier) d |= KF_CTRLDOWN;
    if (Modifiers & Qt::AltModifier) d |= KF_ALTDOWN;
    return d;
}

namespace {

struct KeyPair {
    int Qt;
    Word Vk;
};
const KeyPair KeyTable[] = {
    {Qt::Key_Backspace, VK_BACK},   {Qt::Key_Tab, VK_TAB},           {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},    {Qt::Key_Enter, VK_RETURN},      {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},  {Qt::Key_Alt, VK_MENU},          {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_Escape, VK_ESCAPE},     {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},     {Qt::Key_PageDown, VK_NEXT},     {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},        {Qt::Key_Left, VK_LEFT},         {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},      {Qt::Key_Down, VK_DOWN},         {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},    {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_ADD},
    {Qt::Key_Minus, VK_SUBTRACT},   {Qt::Key_Slash, VK_DIVIDE},
};

} // namespace

Word QtKeyToVirtualKey(int Key) {
    if ((Key >= Qt::Key_A && Key <= Qt::Key_Z) || (Key >= Qt::Key_0 && Key <= Qt::Key_9))
        return static_cast<Word>(Key);
    if (Key >= Qt::Key_F1 && Key <= Qt::Key_F12) return static_cast<Word>(VK_F1 + (Key - Qt::Key_F1));
    for (const KeyPair& p : KeyTable)
        if (p.Qt == Key) return p.Vk;
    return 0;
}

int VirtualKeyToQtKey(Word Key) {
    if ((Key >= 'A' && Key <= 'Z') || (Key >= '0' && Key <= '9')) return Key;
    if (Key >= VK_F1 && Key <= VK_F12) return Qt::Key_F1 + (Key - VK_F1);
    for (const KeyPair& p : KeyTable)
        if (p.Vk == Key) return p.Qt;
    return Qt::Key_unknown;
}

TKeyChar CharOfKeyEvent(const QKeyEvent* Event) {
    Qt::KeyboardModifiers mods = Event->modifiers();
    int key = Event->key();
    bool ctrl = mods & Qt::ControlModifier;
    bool alt = mods & Qt::AltModifier;
    if (alt && !ctrl) return 0; // Alt+key is a menu or accelerator key, no character
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return ctrl ? 10 : 13; // Ctrl+Return: a line feed
    case Qt::Key_Escape:
        return 27;
    default:
        break;
    }
    if (ctrl && !alt) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<TKeyChar>(key - Qt::Key_A + 1);
        return 0;
    }
    QString text = Event->text();
    if (text.isEmpty()) return 0;
    char32_t cp = text.toUcs4().value(0);
    if (cp < 32 || cp == 127) return 0;
    return cp;
}

TShiftState ShiftStateOfMouse(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Modifiers) {
    TShiftState s = KeyDataToShiftState(KeyDataFromModifiers(Modifiers));
    if (Buttons & Qt::LeftButton) s << ssLeft;
    if (Buttons & Qt::RightButton) s << ssRight;
    if (Buttons & Qt::MiddleButton) s << ssMiddle;
    return s;
}

// How deep each widget is inside events of its own right now.
static std::map<QWidget*, int>& DepthMap() {
    static std::map<QWidget*, int> depth;
    return depth;
}

int ScrollCodeOfAction(int Action) {
    switch (Action) {
    case QAbstractSlider::SliderSingleStepAdd:
        return SB_LINEDOWN;
    case QAbstractSlider::SliderSingleStepSub:
        return SB_LINEUP;
    case QAbstractSlider::SliderPageStepAdd:
        return SB_PAGEDOWN;
    case QAbstractSlider::SliderPageStepSub:
        return SB_PAGEUP;
    case QAbstractSlider::SliderToMinimum:
        return SB_TOP;
    case QAbstractSlider::SliderToMaximum:
        return SB_BOTTOM;
    case QAbstractSlider::SliderMove:
        return SB_THUMBTRACK;
    default:
        return -1;
    }
}

void DisposeWidget(QWidget* Widget) {
    if (!Widget) return;
    if (auto* cw = dynamic_cast<IControlWidget*>(Widget)) cw->Detach();
    auto& depths = DepthMap();
    auto it = depths.find(Widget);
    if (it != depths.end() && it->second > 0) {
        // Qt is inside an event of this widget: let it finish first.
        Widget->hide();
        Widget->setParent(nullptr);
        Widget->deleteLater();
        return;
    }
    delete Widget;
}

TControl* FindControl(QWidget* Widget) {
    auto* cw = dynamic_cast<IControlWidget*>(Widget);
    return cw ? cw->Control() : nullptr;
}

// ---- Guards ---------------------------------------------------------------

void GuardedCall(TObject* Sender, const std::function<void()>& Code) {
    try {
        Code();
    } catch (...) {
        if (Application) {
            Application->HandleException(Sender);
        } else {
            try {
                throw;
            } catch (const std::exception& e) {
                std::fprintf(stderr, "Unhandled exception: %s\n", e.what());
            } catch (...) {
                std::fprintf(stderr, "Unhandled exception\n");
            }
        }
    }
}

// ---- TControl messages -----------------------------------------------------

LRESULT TControl::Perform(Cardinal Msg, WPARAM WParam, LPARAM LParam) {
    TMessage m;
    m.Msg = Msg;
    m.WParam = WParam;
    m.LParam = LParam;
    WindowProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& Message) {
    if ((Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) && GetDragMode() == dmAutomatic) {
        BeginDrag(true);
        return;
    }
    Dispatch(Message);
}

void TControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SIZE:
        WMSize(Message);
        break;
    case WM_MOVE:
        WMMove(Message);
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        WMMouse(Message);
        break;
    case CM_ENABLEDCHANGED:
        CMEnabledChanged(Message);
        break;
    case CM_VISIBLECHANGED:
        CMVisibleChanged(Message);
        break;
    case CM_TEXTCHANGED:
        CMTextChanged(Message);
        break;
    case CM_FONTCHANGED:
        CMFontChanged(Message);
        break;
    case CM_PARENTFONTCHANGED:
        CMParentFontChanged(Message);
        break;
    case CM_COLORCHANGED:
        CMColorChanged(Message);
        break;
    case CM_PARENTCOLORCHANGED:
        CMParentColorChanged(Message);
        break;
    case CM_SHOWHINTCHANGED:
        CMParentShowHintChanged(Message);
        break;
    case WM_CONTEXTMENU:
        WMContextMenu(Message);
        break;
    default:
        DefaultHandler(Message);
        break;
    }
}

void TControl::DefaultHandler(TMessage& Message) {
    TMessageContext* ctx = Message.Context;
    if (!ctx || ctx->Done) return;
    ctx->Done = true;
    if (ctx->Kind == TMessageContext::ckKeyDown && ctx->KeyHasChar && !ctx->SkipChar) {
        ctx->Result = true; // Qt sees the key together with its WM_CHAR
        return;
    }
    if (ctx->Kind == TMessageContext::ckChar && static_cast<TKeyChar>(Message.WParam) != ctx->OriginalChar) {
        auto* original = static_cast<QKeyEvent*>(ctx->Event);
        TKeyChar c = static_cast<TKeyChar>(Message.WParam);
        int key = Qt::Key_unknown;
        switch (c) {
        case 8:
            key = Qt::Key_Backspace;
            break;
        case 9:
            key = Qt::Key_Tab;
            break;
        case 13:
            key = Qt::Key_Return;
            break;
        case 27:
            key = Qt::Key_Escape;
            break;
        default:
            break;
        }
        QKeyEvent replacement(QEvent::KeyPress, key, original->modifiers() & ~Qt::ControlModifier,
                              QString::fromUcs4(&c, 1));
        ctx->Result = ctx->Default(&replacement);
        return;
    }
    ctx->Result = ctx->Default(ctx->Event);
}

void TControl::WMSize(TMessage& Message) {
    DefaultHandler(Message);
}
void TControl::WMMove(TMessage& Message) {
    DefaultHandler(Message);
}

void TControl::WMMouse(TMessage& Message) {
    std::weak_ptr<int> life = Life();
    DefaultHandler(Message);
    if (life.expired()) return; // freed by what Qt did with the event (a click)
    TShiftState shift;
    if (Message.WParam & MK_SHIFT) shift << ssShift;
    if (Message.WParam & MK_CONTROL) shift << ssCtrl;
    if (Message.WParam & MK_LBUTTON) shift << ssLeft;
    if (Message.WParam & MK_RBUTTON) shift << ssRight;
    if (Message.WParam & MK_MBUTTON) shift << ssMiddle;
    if (QGuiApplication::keyboardModifiers() & Qt::AltModifier) shift << ssAlt;
    int x = MouseX(Message), y = MouseY(Message);
    switch (Message.Msg) {
    case WM_MOUSEMOVE:
        MouseMove(shift, x, y);
        break;
    case WM_LBUTTONDOWN:
        if (ControlStyle.Contains(csClickEvents)) ControlState << csClicked;
        MouseDown(mbLeft, shift, x, y);
        break;
    case WM_LBUTTONDBLCLK:
        if (ControlStyle.Contains(csDoubleClicks)) DblClick();
        MouseDown(mbLeft, shift << ssDouble, x, y);
        break;
    case WM_RBUTTONDOWN:
        MouseDown(mbRight, shift, x, y);
        break;
    case WM_MBUTTONDOWN:
        MouseDown(mbMiddle, shift, x, y);
        break;
    case WM_LBUTTONUP: {
        bool clicked = ControlState.Contains(csClicked);
        ControlState >> csClicked;
        if (clicked && GetClientRect().contains(x, y)) Click();
        // A click handler may have freed the control.
        if (!life.expired()) MouseUp(mbLeft, shift, x, y);
        break;
    }
    case WM_RBUTTONUP:
        MouseUp(mbRight, shift, x, y);
        break;
    case WM_MBUTTONUP:
        MouseUp(mbMiddle, shift, x, y);
        break;
    default:
        break;
    }
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}
void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}
void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}
void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}
void TControl::Resize() {
    if (OnResize && !IsLoading()) OnResize(this);
}

void TControl::CMEnabledChanged(TMessage& Message) {
    if (FWidget) FWidget->setEnabled(FEnabled);
    DefaultHandler(Message);
}
void TControl::CMVisibleChanged(TMessage& Message) {
    DefaultHandler(Message);
}
void TControl::CMTextChanged(TMessage& Message) {
    TextChanged();
    DefaultHandler(Message);
}
void TControl::TextChanged() {}
void TControl::CMFontChanged(TMessage& Message) {
    FontChanged();
    DefaultHandler(Message);
}
void TControl::FontChanged() {
    ApplyFont();
}
void TControl::CMParentFontChanged(TMessage& Message) {
    if (FParentFont && FParent) {
        FParentFont = false; // Assign below would clear it otherwise
        FFont->Assign(FParent->GetFont());
        FParentFont = true;
    }
    DefaultHandler(Message);
}
void TControl::CMColorChanged(TMessage& Message) {
    ApplyColor();
    DefaultHandler(Message);
}
void TControl::CMParentColorChanged(TMessage& Message) {
    if (FParentColor && FParent) {
        FColor = FParent->GetColor();
        Perform(CM_COLORCHANGED);
    }
    DefaultHandler(Message);
}
void TControl::CMParentShowHintChanged(TMessage& Message) {
    if (FParentShowHint && FParent) FShowHint = FParent->GetShowHint();
    DefaultHandler(Message);
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
    if (Value == FPopupMenu) return;
    if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = Value;
    if (Value) Value->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::WMContextMenu(TMessage& Message) {
    if (!FPopupMenu || !FPopupMenu->GetAutoPopup()) {
        DefaultHandler(Message);
        return;
    }
    FPopupMenu->SetPopupComponent(this);
    FPopupMenu->Popup(MouseX(Message), MouseY(Message));
    Message.Result = 1;
}

bool TControl::HandleWidgetEvent(QWidget* Widget, QEvent* Event,
                                 const std::function<bool(QEvent*)>& Default) {
    auto& depth = DepthMap()[Widget];
    ++depth;
    struct DepthGuard {
        QWidget* W;
        ~DepthGuard() {
            auto& m = DepthMap();
            auto it = m.find(W);
            if (it != m.end() && --it->second <= 0) m.erase(it);
        }
    } guard{Widget};

    TMessageContext ctx;
    ctx.Event = Event;
    ctx.Default = Default;
    TMessage m;
    m.Context = &ctx;
    bool translated = true;
    GuardedCall(this, [&] {
        switch (Event->type()) {
        case QEvent::KeyPress: {
            auto* ke = static_cast<QKeyEvent*>(Event);
            QObject* first = FirstKeyReceiver();
            // Qt offers a key nobody took to the parent widgets; only the
            // first receiver turns it into messages.
            if (first && first != Widget) {
                translated = false;
                return;
            }
            ctx.Kind = TMessageContext::ckKeyDown;
            TKeyChar ch = CharOfKeyEvent(ke);
            ctx.KeyHasChar = ch != 0;
            m.Msg = WM_KEYDOWN;
            m.WParam = QtKeyToVirtualKey(ke->key());
            m.LParam = KeyDataFromModifiers(ke->modifiers());
            if (m.WParam == 0 && !ctx.KeyHasChar) {
                translated = false;
                return;
            }
            std::weak_ptr<int> life = Life();
            // A character without a key code of its own (letters of other
            // alphabets) comes as WM_CHAR only.
            if (m.WParam != 0)
                WindowProc(m);
            else
                ctx.Done = true;
            if (life.expired()) return; // a handler freed the control
            if (!ctx.Done) {
                ke->accept();
                return; // handled: Qt does not see the key
            }
            if (!ctx.KeyHasChar || ctx.SkipChar) return; // Qt has seen the key already
            TMessageContext cc;
            cc.Kind = TMessageContext::ckChar;
            cc.Event = Event;
            cc.Default = Default;
            cc.OriginalChar = ch;
            TMessage cm;
            cm.Context = &cc;
            cm.Msg = WM_CHAR;
            cm.WParam = ch;
            cm.LParam = m.LParam;
            WindowProc(cm);
            if (life.expired()) return;
            if (!cc.Done) ke->accept();
            ctx.Result = cc.Done ? cc.Result : true;
            break;
        }
        case QEvent::KeyRelease: {
            auto* ke = static_cast<QKeyEvent*>(Event);
            QObject* first = FirstKeyReceiver();
            Word vk = QtKeyToVirtualKey(ke->key());
            if ((first && first != Widget) || vk == 0) {
                translated = false;
                return;
            }
            m.Msg = WM_KEYUP;
            m.WParam = vk;
            m.LParam = KeyDataFromModifiers(ke->modifiers());
            WindowProc(m);
            break;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut: {
            auto* fe = static_cast<QFocusEvent*>(Event);
            bool in = Event->type() == QEvent::FocusIn;
            m.Msg = in ? WM_SETFOCUS : WM_KILLFOCUS;
            std::weak_ptr<int> life = Life();
            WindowProc(m);
            // Switching windows keeps the active control of each form, and
            // so do SetFocus taking the focus away and giving it back and a
            // new window taking the focus the old one had. A control that
            // passed the focus on at once was not entered.
            auto* windowed = dynamic_cast<TWinControl*>(this);
            if (!life.expired() && fe->reason() != Qt::ActiveWindowFocusReason &&
                fe->reason() != Qt::PopupFocusReason && !GKeepActiveControl &&
                !(windowed && windowed->FRefocusing) && (!in || Widget->hasFocus())) {
                if (in)
                    if (TCustomForm* f = GetParentForm(this)) f->FocusChanged(this);
                Perform(in ? CM_ENTER : CM_EXIT);
            }
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            if (TControlDragging::HandlePendingMouse(this, Event)) {
                ctx.Done = ctx.Result = true;
                break;
            }
            auto* me = static_cast<QMouseEvent*>(Event);
            bool press = Event->type() == QEvent::MouseButtonPress;
            bool release = Event->type() == QEvent::MouseButtonRelease;
            Qt::MouseButton b = me->button();
            if (Event->type() == QEvent::MouseMove)
                m.Msg = WM_MOUSEMOVE;
            else if (Event->type() == QEvent::MouseButtonDblClick)
                m.Msg = b == Qt::LeftButton ? WM_LBUTTONDBLCLK
                                            : (b == Qt::RightButton ? WM_RBUTTONDOWN : WM_MBUTTONDOWN);
            else if (b == Qt::LeftButton)
                m.Msg = press ? WM_LBUTTONDOWN : WM_LBUTTONUP;
            else if (b == Qt::RightButton)
                m.Msg = press ? WM_RBUTTONDOWN : WM_RBUTTONUP;
            else if (b == Qt::MiddleButton)
                m.Msg = press ? WM_MBUTTONDOWN : WM_MBUTTONUP;
            else {
                translated = false;
                return;
            }
            (void)release;
            Qt::MouseButtons buttons = me->buttons();
            WPARAM keys = 0;
            if (buttons & Qt::LeftButton) keys |= MK_LBUTTON;
            if (buttons & Qt::RightButton) keys |= MK_RBUTTON;
            if (buttons & Qt::MiddleButton) keys |= MK_MBUTTON;
            if (me->modifiers() & Qt::ShiftModifier) keys |= MK_SHIFT;
            if (me->modifiers() & Qt::ControlModifier) keys |= MK_CONTROL;
            m.WParam = keys;
            QPoint pos = me->position().toPoint() - ClientOffset();
            m.LParam = MakeLParam(pos.x(), pos.y());
            WindowProc(m);
            break;
        }
        case QEvent::WindowActivate:
        case QEvent::WindowDeactivate:
            if (!Widget->isWindow()) {
                translated = false;
                return;
            }
            m.Msg = WM_ACTIVATE;
            m.WParam = Event->type() == QEvent::WindowActivate ? WA_ACTIVE : WA_INACTIVE;
            WindowProc(m);
            break;
        case QEvent::ContextMenu: {
            QPoint at = static_cast<QContextMenuEvent*>(Event)->globalPos();
            m.Msg = WM_CONTEXTMENU;
            m.LParam = MakeLParam(at.x(), at.y());
            WindowProc(m);
            break;
        }
        case QEvent::Enter:
        case QEvent::Leave:
            m.Msg = Event->type() == QEvent::Enter ? CM_MOUSEENTER : CM_MOUSELEAVE;
            WindowProc(m);
            break;
        case QEvent::ToolTip: {
            auto* he = static_cast<QHelpEvent*>(Event);
            ctx.Done = true;
            ctx.Result = true;
            if (Application) Application->ActivateHint(this, he->globalPos());
            break;
        }
        case QEvent::Paint:
            m.Msg = WM_PAINT;
            WindowProc(m);
            break;
        case QEvent::Close:
            m.Msg = WM_CLOSE;
            WindowProc(m);
            if (!ctx.Done) Event->ignore();
            ctx.Done = true;
            ctx.Result = true;
            break;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            translated = TControlDragging::HandleDragEvent(this, Widget, Event) ||
                         (Event->type() != QEvent::DragLeave && HandleFileDrag(this, Widget, Event));
            ctx.Done = ctx.Result = translated;
            break;
        case QEvent::Resize:
        case QEvent::Move:
            if (Widget->isWindow()) WindowMovedOrResized();
            translated = false;
            return;
        default:
            translated = false;
            return;
        }
    });
    if (!translated) return Default(Event);
    return ctx.Done ? ctx.Result : true;
}

void TControl::WindowMovedOrResized() {}
