// Controls over Qt widgets.
//
// A TControl keeps its whole state in its own fields; its Qt widget (its
// window) mirrors that state and is created on demand: a windowed control
// (TWinControl) gets its window when HandleNeeded is first called (by
// showing its form, by SetFocus, by asking for Handle) or when it is placed
// in a parent whose window exists; DestroyWnd saves nothing because nothing
// lives only in the window, so RecreateWnd can rebuild it at any time.
//
// Qt events reaching a control's window become TMessages that run through
// WindowProc -> WndProc -> Dispatch (the class's message map) ->
// DefaultHandler, where Qt's own processing of the event happens. A class
// that handles a message and does not pass it on keeps Qt from seeing it.
//
// Every call from Qt into control code runs under a guard: an exception
// goes to Application->HandleException and never into Qt.
#pragma once

#include "Graphics.h"
#include "Messages.h"

#include <QPaintEvent>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QPainter;
class TWinControl;
class TCustomForm;
class TPopupMenu;

// ---------------------------------------------------------------------------
// Types

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
KV_ENUM_TYPEINFO(TAlign, "alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient")

enum TAnchorKind { akLeft, akTop, akRight, akBottom };
KV_ENUM_TYPEINFO(TAnchorKind, "akLeft", "akTop", "akRight", "akBottom")
using TAnchors = TSet<TAnchorKind, Byte>;

enum TShiftStateElem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
KV_ENUM_TYPEINFO(TShiftStateElem, "ssShift", "ssAlt", "ssCtrl", "ssLeft", "ssRight", "ssMiddle", "ssDouble")
using TShiftState = TSet<TShiftStateElem, Word>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
KV_ENUM_TYPEINFO(TMouseButton, "mbLeft", "mbRight", "mbMiddle")

KV_ENUM_TYPEINFO(TAlignment, "taLeftJustify", "taRightJustify", "taCenter")

// Border styles of forms; controls with a border take bsNone or bsSingle.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
KV_ENUM_TYPEINFO(TFormBorderStyle, "bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow",
                 "bsSizeToolWin")
using TBorderStyle = TFormBorderStyle;

enum TDragMode { dmManual, dmAutomatic };
KV_ENUM_TYPEINFO(TDragMode, "dmManual", "dmAutomatic")

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHandPoint = -21;
const TIdentMap& CursorIdents();

// The character of a key press: a Unicode code point; control keys keep
// their codes (8 Backspace, 9 Tab, 10 line feed, 13 Return, 22 Ctrl+V,
// 24 Ctrl+X, 27 Escape). 0 means "no key".
using TKeyChar = char32_t;
AnsiString KeyCharToStr(TKeyChar Key); // UTF-8

using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, TKeyChar& Key)>;
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

// Dragging one control onto another.
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
KV_ENUM_TYPEINFO(TDragState, "dsDragEnter", "dsDragLeave", "dsDragMove")
// What a drag carries when OnStartDrag gives something other than the source
// control; whoever made it frees it (in OnEndDrag, say).
class TDragObject : public TObject {};
using TStartDragEvent = std::function<void(TObject* Sender, TDragObject*& DragObject)>;
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;

TShiftState KeyDataToShiftState(LPARAM KeyData);

enum TControlStyleElem {
    csAcceptsControls,
    csCaptureMouse,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable,
    csNoStdEvents
};
using TControlStyle = TSet<TControlStyleElem, Word>;

enum TControlStateElem {
    csLButtonDown,
    csClicked,
    csPalette,
    csReadingState,
    csAlignmentNeeded,
    csFocusing,
    csCreating
};
using TControlState = TSet<TControlStateElem, Word>;

// Window creation parameters. The styles use the platform's bit values so
// controls can add or remove them as they are used to.
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_DISABLED = 0x08000000;
constexpr std::uint32_t WS_BORDER = 0x00800000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t WS_SYSMENU = 0x00080000;
constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
constexpr std::uint32_t WS_TABSTOP = 0x00010000;
constexpr std::uint32_t WS_VSCROLL = 0x00200000;
constexpr std::uint32_t WS_HSCROLL = 0x00100000;
constexpr std::uint32_t ES_MULTILINE = 0x0004;
constexpr std::uint32_t ES_PASSWORD = 0x0020;
constexpr std::uint32_t ES_READONLY = 0x0800;
constexpr std::uint32_t WS_EX_TOPMOST = 0x0008;
constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x0080;
constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x0200;
constexpr std::uint32_t WS_EX_CONTEXTHELP = 0x0400;

struct TCreateParams {
    AnsiString Caption;
    std::uint32_t Style = 0;
    std::uint32_t ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    QWidget* WndParent = nullptr; // null for top-level windows
};

// Size limits of a control (0 = none).
class TSizeConstraints : public TPersistent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TSizeConstraints>& P);
    int GetMinWidth() const { return FMinWidth; }
    int GetMinHeight() const { return FMinHeight; }
    int GetMaxWidth() const { return FMaxWidth; }
    int GetMaxHeight() const { return FMaxHeight; }
    void SetMinWidth(int v);
    void SetMinHeight(int v);
    void SetMaxWidth(int v);
    void SetMaxHeight(int v);
    void Assign(const TPersistent* Source) override;
    TNotifyEvent OnChange;

private:
    void Changed();
    int FMinWidth = 0, FMinHeight = 0, FMaxWidth = 0, FMaxHeight = 0;
};

// ---------------------------------------------------------------------------
// Guards

// Runs Code; an exception goes to Application->HandleException(Sender)
// (or to stderr when there is no application).
void GuardedCall(TObject* Sender, const std::function<void()>& Code);

// ---------------------------------------------------------------------------
// TControl

// The base of all controls: bounds, alignment, visibility, text, font,
// hint and the message machinery. A TControl that is not a TWinControl (a
// graphic control) gets its widget together with its parent's window.
class TControl : public TComponent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TControl>& P);

    explicit TControl(TComponent* AOwner);
    ~TControl() override;
    // A control whose caption equals its name takes the new name as caption
    // (not while a form is being read).
    void SetName(const AnsiString& NewName) override;

    // Messages
    LRESULT Perform(Cardinal Msg, WPARAM WParam = 0, LPARAM LParam = 0);
    virtual void Dispatch(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);
    // Replaceable entry of all messages; calls WndProc by default.
    std::function<void(TMessage&)> WindowProc;

    // Tree and bounds
    TWinControl* GetParent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    int GetLeft() const { return FLeft; }
    int GetTop() const { return FTop; }
    int GetWidth() const { return FWidth; }
    int GetHeight() const { return FHeight; }
    void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
    void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
    void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
    void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    QRect GetBoundsRect() const { return QRect(FLeft, FTop, FWidth, FHeight); }
    virtual int GetClientWidth() const { return FWidth; }
    virtual int GetClientHeight() const { return FHeight; }
    void SetClientWidth(int Value);
    void SetClientHeight(int Value);
    virtual QRect GetClientRect() const { return QRect(0, 0, GetClientWidth(), GetClientHeight()); }
    QPoint ClientToScreen(QPoint P) const;
    QPoint ScreenToClient(QPoint P) const;
    TAlign GetAlign() const { return FAlign; }
    void SetAlign(TAlign Value);
    TAnchors GetAnchors() const { return FAnchors; }
    void SetAnchors(TAnchors Value);
    TSizeConstraints* GetConstraints() const { return FConstraints.get(); }

    // State
    bool GetVisible() const { return FVisible; }
    virtual void SetVisible(bool Value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible here and in every parent up to a shown form.
    bool Showing() const;
    virtual bool GetEnabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value);
    const AnsiString& GetCaption() const { return FText; }
    void SetCaption(const AnsiString& Value) { SetText(Value); }
    virtual AnsiString GetText() const { return FText; }
    virtual void SetText(const AnsiString& Value);
    const AnsiString& GetHint() const { return FHint; }
    void SetHint(const AnsiString& Value);
    bool GetShowHint() const { return FShowHint; }
    void SetShowHint(bool Value);
    bool GetParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool Value);
    TFont* GetFont() const { return FFont.get(); }
    void SetFont(TFont* Value) { FFont->Assign(Value); }
    bool GetParentFont() const { return FParentFont; }
    void SetParentFont(bool Value);
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value);
    bool GetParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);
    TCursor GetCursor() const { return FCursor; }
    void SetCursor(TCursor Value);
    int GetHelpContext() const { return FHelpContext; }
    void SetHelpContext(int Value) { FHelpContext = Value; }
    // Dragging onto other controls, over Qt's drag and drop within the
    // application. With DragMode dmAutomatic a left press starts a drag at
    // once, and the control sees no press; BeginDrag starts one by code, at
    // once or when the mouse has moved Threshold pixels (-1: 5) with the
    // button down. The source hears OnStartDrag first; each control under
    // the mouse is asked with OnDragOver (entering, moving, leaving) whether
    // it takes the drag, which only a control with an OnDragOver does; the
    // release over one that took it gives that one OnDragDrop, and the source
    // hears OnEndDrag with it, or with none (refused, Escape). X and Y are the
    // target's client coordinates. While the mouse is over a control that
    // takes the drag the cursor is the source's DragCursor (crDrag when
    // OnStartDrag gave a drag object), elsewhere crNoDrop.
    TDragMode GetDragMode() const { return FDragMode; }
    virtual void SetDragMode(TDragMode Value) { FDragMode = Value; }
    TCursor GetDragCursor() const { return FDragCursor; }
    void SetDragCursor(TCursor Value) { FDragCursor = Value; }
    void BeginDrag(bool Immediate, int Threshold = -1);
    bool Dragging() const; // a drag of this control has begun and not ended
    virtual void DragDrop(TObject* Source, int X, int Y);
    TControlStyle ControlStyle;
    TControlState ControlState;

    // The context menu: opens at the control's context-menu request (right
    // button, menu key) while its AutoPopup is on.
    TPopupMenu* GetPopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* Value);

    virtual void Click();
    virtual void DblClick();
    virtual void Invalidate();
    virtual void Repaint();
    void Refresh() { Repaint(); }
    void Update();
    void BringToFront();
    void SendToBack();

    // The Qt widget, or null while there is none.
    QWidget* GetWidget() const { return FWidget; }
    // Creates or destroys the widget (for windowed controls: the handle).
    virtual void CreateControlWidget();
    virtual void DestroyControlWidget();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnResize;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TStartDragEvent OnStartDrag;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;

    // Called by the widget bridge; not for general use.
    bool HandleWidgetEvent(QWidget* Widget, QEvent* Event, const std::function<bool(QEvent*)>& Default);
    void WidgetPaint(QWidget* Widget);
    // Expires when the control is freed: code that runs handlers checks it
    // before it touches the control again.
    std::weak_ptr<int> Life() const { return FLife; }

protected:
    friend class TWinControl;
    friend struct TControlDragging;

    // A left press on a control whose DragMode is dmAutomatic starts a drag
    // and goes no further; every other message goes to Dispatch.
    virtual void WndProc(TMessage& Message);
    virtual void DoStartDrag(TDragObject*& DragObject);
    // Accept starts false; an OnDragOver handler is asked with it true.
    virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
    virtual void DoEndDrag(TObject* Target, int X, int Y);
    virtual void CreateParams(TCreateParams& Params);
    // Makes the widget for Params. The widget must come from NewWidget<W>
    // so that its events reach the control.
    virtual QWidget* CreateWidget(const TCreateParams& Params);
    // Pushes the control's state into a new widget; overrides call the base first.
    virtual void InitWidget();
    // Paints over what the widget painted itself.
    virtual void Paint(QPainter& Painter);
    virtual void Resize();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    void Loaded() override;
    virtual void TextChanged();
    virtual void FontChanged();
    // A top-level window was moved or resized from outside (window manager).
    virtual void WindowMovedOrResized();
    // Whether a hint shows for this control (ShowHint, following the parent's
    // while ParentShowHint is on).
    bool EffectiveShowHint() const;

    // Default message handlers, reached through Dispatch.
    void WMSize(TMessage& Message);
    void WMMove(TMessage& Message);
    void WMMouse(TMessage& Message);
    void CMEnabledChanged(TMessage& Message);
    void CMVisibleChanged(TMessage& Message);
    void CMTextChanged(TMessage& Message);
    void CMFontChanged(TMessage& Message);
    void CMParentFontChanged(TMessage& Message);
    void CMColorChanged(TMessage& Message);
    void CMParentColorChanged(TMessage& Message);
    void CMParentShowHintChanged(TMessage& Message);
    void WMContextMenu(TMessage& Message);
    void Notification(TComponent* AComponent, TOperation Operation) override;

    // Moves the widget to the control's bounds.
    virtual void UpdateWidgetBounds();
    void ApplyFont();
    void ApplyColor();
    // Where the client area starts inside the widget, for widgets that draw
    // a frame of their own: mouse positions and coordinate conversions
    // count from there.
    virtual QPoint ClientOffset() const { return QPoint(); }
    // Sets the bounds without recording new anchor distances (alignment).
    void SetBoundsByLayout(int ALeft, int ATop, int AWidth, int AHeight);
    void UpdateAnchorRules();
    void RequestAlign();

    QWidget* FWidget = nullptr;
    AnsiString FText;
    TColor FColor = clBtnFace;

private:
    void FontObjectChanged();

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = alNone;
    TAnchors FAnchors{akLeft, akTop};
    QRect FAnchorBase;                            // bounds when last placed by hand
    int FAnchorParentW = -1, FAnchorParentH = -1; // the parent's client size then
    bool FVisible = true;
    bool FEnabled = true;
    AnsiString FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    bool FParentColor = false;
    TCursor FCursor = crDefault;
    int FHelpContext = 0;
    TDragMode FDragMode = dmManual;
    TCursor FDragCursor = crDrag;
    std::unique_ptr<TSizeConstraints> FConstraints;
    TPopupMenu* FPopupMenu = nullptr;
    bool FInLayout = false;
    std::shared_ptr<int> FLife = std::make_shared<int>(0);
};

// ---------------------------------------------------------------------------
// TWinControl

// A control with a window of its own: children, keyboard focus, tab order.
class TWinControl : public TControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TWinControl>& P);

    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    // Children in z order (last on top).
    int GetControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* GetControl(int Index) const;
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    bool ContainsControl(const TControl* AControl) const;

    // The window
    QWidget* GetHandle();
    bool HandleAllocated() const { return FWidget != nullptr; }
    void HandleNeeded();
    void RecreateWnd();
    void CreateControlWidget() override { HandleNeeded(); }
    void DestroyControlWidget() override { DestroyHandle(); }
    // The window's style bits (WS_...) as CreateParams made them when the
    // window was created (the window is made when needed). A changed style
    // takes effect with FrameChanged, as SWP_FRAMECHANGED does on the platform.
    std::uint32_t GetWindowStyle();
    void SetWindowStyle(std::uint32_t Style);
    std::uint32_t GetWindowExStyle();
    virtual void FrameChanged();

    // Focus and tab order. SetFocus on a control of an inactive form also
    // activates the form, its window in front.
    virtual void SetFocus();
    bool Focused() const;
    virtual bool CanFocus() const;
    int GetTabOrder() const;
    void SetTabOrder(int Value);
    bool GetTabStop() const { return FTabStop; }
    void SetTabStop(bool Value);
    // The three-dimensional look; a change sends CM_CTL3DCHANGED to the
    // control and CM_PARENTCTL3DCHANGED to its children.
    bool GetCtl3D() const { return FCtl3D; }
    void SetCtl3D(bool Value);
    bool GetParentCtl3D() const { return FParentCtl3D; }
    void SetParentCtl3D(bool Value);
    // Tab-order list of the windowed children.
    std::vector<TWinControl*> GetTabOrderList() const { return FTabList; }

    // The window a control without a parent control lives in (null: none).
    // On the desktop (GetDesktopWindow) it becomes a window of its own that
    // stays on top, never takes the activation or the keyboard focus, and
    // shows with its handle.
    QWidget* GetParentWindow() const { return FParentWindow; }
    void SetParentWindow(QWidget* Value);
    void SetVisible(bool Value) override;

    void Realign() { AlignControls(); }
    void DisableAlign() { ++FAlignLevel; }
    void EnableAlign();

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

protected:
    void Dispatch(TMessage& Message) override;
    void CreateHandle();
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& Params);
    virtual void DestroyWnd();
    virtual void DestroyWindowHandle();
    void DestroyHandle();
    void CreateParams(TCreateParams& Params) override;
    void InitWidget() override;
    void Loaded() override;

    // Positions aligned and anchored children.
    virtual void AlignControls();
    // The part of the client area that aligned children share.
    virtual QRect AdjustClientRect() const { return GetClientRect(); }
    // Where the client area starts in the window: inside a border drawn
    // there. Children are placed relative to it.
    virtual QPoint ClientOrigin() const { return QPoint(); }
    // Moves the children's windows after the client origin moved.
    void ClientOriginChanged();

    virtual void KeyDown(Word& Key, TShiftState Shift);
    virtual void KeyUp(Word& Key, TShiftState Shift);
    virtual void KeyPress(TKeyChar& Key);
    virtual void DoEnter();
    virtual void DoExit();

    void WMKeyDown(TMessage& Message);
    void WMKeyUp(TMessage& Message);
    void WMChar(TMessage& Message);
    void WMGetDlgCode(TMessage& Message);
    void CMEnter(TMessage& Message);
    void CMExit(TMessage& Message);
    void CMParentCtl3DChanged(TMessage& Message);
    // Forwards framework notifications about the parent to every child.
    void NotifyControls(Cardinal Msg);

    void UpdateTabOrder();
    void UpdateFocusPolicy();
    void UpdateWidgetBounds() override;

    std::uint32_t FWindowStyle = 0, FWindowExStyle = 0; // of the window that exists

private:
    friend class TControl;

    std::vector<TControl*> FControls;
    std::vector<TWinControl*> FTabList;
    int FTabOrderWanted = -1; // read from form text, applied in Loaded
    bool FTabStop = false;
    bool FCtl3D = true;
    bool FParentCtl3D = true;
    bool FClickFocus = false; // the widget takes the focus when clicked
    QWidget* FParentWindow = nullptr;
    bool FRefocusing = false; // a new window takes the focus the old one had
    int FAlignLevel = 0;
    bool FAligning = false;
};

// A control painted by its parent in the original sense: no focus, no
// window handle of its own in the framework's terms (its Qt widget follows
// the parent's window).
class TGraphicControl : public TControl {
public:
    KV_METACLASS_DECL
    using TControl::TControl;
};

// The form a control sits on, or null.
TCustomForm* GetParentForm(const TControl* Control);

// ---------------------------------------------------------------------------
// Window functions: the desktop, the mouse capture, the focus, posted messages

// The parent window of windows that belong to no form; never shown itself.
QWidget* GetDesktopWindow();
// The window that gets all mouse input, also from outside its bounds (with
// the positions in its own client coordinates), until the capture is
// released or another window takes it. Returns the window that had it.
QWidget* SetCapture(QWidget* Wnd);
void ReleaseCapture();
QWidget* GetCapture(); // null when no window has the capture
// Gives the keyboard focus to the window, activating the window that holds
// it, or takes the focus from every window (null). The form's active control stays what it was, so taking the focus
// away and giving it back is neither an exit nor an entry.
void SetFocus(QWidget* Wnd);
// Sends the message to the window's control once the events being handled
// are done; nothing happens when the window is gone by then.
void PostMessage(QWidget* Wnd, Cardinal Msg, WPARAM WParam = 0, LPARAM LParam = 0);
// Whether the left mouse button is down and was pressed over the control
// (as when a click is what brings the focus to it).
bool LeftButtonDownOn(const TControl* Control);

// ---------------------------------------------------------------------------
// Widget bridge

// What every widget made for a control offers the framework.
class IControlWidget {
public:
    virtual ~IControlWidget() = default;
    virtual TControl* Control() const = 0;
    virtual void Detach() = 0;
    // Qt's own handling of an event, bypassing the control.
    virtual bool BaseEvent(QEvent* Event) = 0;
};

// A Qt widget class whose events go to its control first.
template <class W> class TControlWidget : public W, public IControlWidget {
public:
    template <class... A>
    explicit TControlWidget(TControl* Control, A&&... Args)
        : W(std::forward<A>(Args)...), FControl(Control) {}
    TControl* Control() const override { return FControl; }
    void Detach() override { FControl = nullptr; }
    bool BaseEvent(QEvent* Event) override { return W::event(Event); }

protected:
    bool event(QEvent* Event) override {
        if (!FControl) return W::event(Event);
        return FControl->HandleWidgetEvent(this, Event, [this](QEvent* e) { return W::event(e); });
    }
    void paintEvent(QPaintEvent* Event) override {
        W::paintEvent(Event);
        if (FControl) FControl->WidgetPaint(this);
    }

private:
    TControl* FControl;
};

// The control behind a widget, or null.
TControl* FindControl(QWidget* Widget);

// ---------------------------------------------------------------------------
// Controls that paint themselves

// The canvas of a control: it draws on the control's surface, an image of
// the client area that the control's window shows. Outside painting,
// drawing goes onto the surface at once and the window shows it with its
// next update (OnDrawn asks for that); whatever repaints the control later
// paints over it, as on the platform.
class TControlCanvas : public TCanvas {
public:
    explicit TControlCanvas(TControl* Control);
    ~TControlCanvas() override;
    TControl* GetControl() const { return FControl; }
    TRect GetClipRect() const override;

    bool HasSurface() const { return !FSurface.isNull(); }
    const QImage& GetSurface() const { return FSurface; }
    // Runs Paint with the canvas drawing on the surface inside Region (the
    // whole client area when the surface is made anew for a new size).
    void PaintSurface(QRegion Region, const std::function<void()>& Paint);
    // Shows the surface through a painter of the control's window.
    void ShowSurface(QPainter& Painter, QPoint Offset) const;

    std::function<void()> OnDrawn; // drawn outside painting

protected:
    QPainter* BeginDraw() override;
    void EndDraw() override;

private:
    bool SizeSurface(); // true when the surface was made anew
    TControl* FControl;
    QImage FSurface;
    QPainter* FPaintPainter = nullptr;
    QRect FPaintClip;
    std::unique_ptr<QPainter> FOwnPainter;
    int FDrawDepth = 0;
};

// A windowed control that paints its client area itself on its Canvas in
// Paint, after the framework has filled what needs repainting with Color.
// The canvas takes the control's Font whenever that changes. A plain border
// (WS_BORDER) or a sunken client edge (WS_EX_CLIENTEDGE) in its window style
// is drawn around the client area.
class TCustomControl : public TWinControl {
public:
    KV_METACLASS_DECL
    explicit TCustomControl(TComponent* AOwner);
    ~TCustomControl() override;

    TCanvas* GetCanvas() const { return FCanvas.get(); }
    void Invalidate() override;
    void Repaint() override;
    // Repaints a part of the client area with the next update.
    void InvalidateRect(const TRect& Rect);

    int GetClientWidth() const override;
    int GetClientHeight() const override;

protected:
    QPoint ClientOffset() const override { return QPoint(BorderPixels(), BorderPixels()); }
    QPoint ClientOrigin() const override { return ClientOffset(); }
    using TControl::Paint;
    virtual void Paint();
    void Paint(QPainter& Painter) override;
    QWidget* CreateWidget(const TCreateParams& Params) override;
    void CreateWnd() override;
    void Dispatch(TMessage& Message) override;

private:
    int BorderPixels() const; // of the border the window style asks for
    std::unique_ptr<TControlCanvas> FCanvas;
    QRegion FDirty;
    bool FAllDirty = true;
};

// The platform offers controls with a sunken client edge.
constexpr bool NewStyleControls = true;
// The window style of a control's BorderStyle: bsSingle gives a plain
// border, or instead a sunken client edge when Ctl3D is on.
void AddBorderStyle(TCreateParams& Params, TBorderStyle Style, bool Ctl3D);

// ---------------------------------------------------------------------------
// The caret

// The application has one caret: a block the framework draws, blinking,
// over the client area of the control that created it. As on the platform
// it starts hidden; HideCaret and ShowCaret nest (it shows once every
// HideCaret, and the creation, is matched by a ShowCaret), and moving it
// restarts the blink. Freeing the control destroys its caret.
bool CreateCaret(TWinControl* Control, int Width, int Height);
bool DestroyCaret();
bool SetCaretPos(int X, int Y);
bool GetCaretPos(QPoint& Pos);
bool ShowCaret(TWinControl* Control);
bool HideCaret(TWinControl* Control);
// The control that holds the caret (null when there is none), and whether
// the caret is shown (in either phase of its blink).
TWinControl* GetCaretOwner();
bool IsCaretShown();

// System metrics the controls size things by.
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
int GetSystemMetrics(int Index);

// ---------------------------------------------------------------------------
// Scroll bars of a window

constexpr unsigned SB_HORZ = 0;
constexpr unsigned SB_VERT = 1;
constexpr unsigned SB_BOTH = 3;
constexpr unsigned ESB_ENABLE_BOTH = 0;
constexpr unsigned ESB_DISABLE_BOTH = 3;

// Enables or disables the arrows of a window's scroll bars (both arrows go
// together here). A scroll bar disabled this way comes back when its range
// next changes. False when the window has no such scroll bars.
bool EnableScrollBar(QWidget* Handle, unsigned Bar, unsigned Arrows);
