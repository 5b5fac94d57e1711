// The control: cursors and their images, size constraints, its properties
// and bounds, the widget behind it and its painting. The message layer, the
// windowed control, the painting classes and the window functions have files
// of their own (ControlsMessages.cpp, ControlsWinControl.cpp,
// ControlsPaint.cpp, ControlsWindowFunctions.cpp); the drag, ControlsDrag.cpp.
#include "Controls.h"

#include "Forms.h"
#include "Menus.h"
#include "UiPrivate.h"

#include <QPainter>

#include <algorithm>
#include <utility>
#include <vector>

// ---- Cursors --------------------------------------------------------------

const TIdentMap& CursorIdents() {
    static const TIdentMap map = {{crDefault, "crDefault"},     {crArrow, "crArrow"},
                                  {crCross, "crCross"},         {crIBeam, "crIBeam"},
                                  {crHourGlass, "crHourGlass"}, {crDrag, "crDrag"},
                                  {crNoDrop, "crNoDrop"},       {crHandPoint, "crHandPoint"}};
    return map;
}

static Qt::CursorShape CursorShape(TCursor c) {
    switch (c) {
    case crCross:
        return Qt::CrossCursor;
    case crIBeam:
        return Qt::IBeamCursor;
    case crHourGlass:
        return Qt::WaitCursor;
    case crDrag:
        return Qt::DragMoveCursor;
    case crNoDrop:
        return Qt::ForbiddenCursor;
    case crHandPoint:
        return Qt::PointingHandCursor;
    default:
        return Qt::ArrowCursor;
    }
}

// A cursor as the platform draws it, on a 32-pixel grid: white shapes
// outlined in black, black lines edged in white, black marks, and the ring
// of the no-drop sign; Hot is the hot spot.
struct TCursorImage {
    QPoint Hot;
    std::vector<QPolygon> Shapes;
    std::vector<QLine> Lines;
    std::vector<QPolygon> Marks;
    QRect Ring;
};

static TCursorImage CursorImage(TCursor Cursor) {
    const QPolygon arrow({{0, 0}, {0, 16}, {4, 12}, {7, 18}, {9, 17}, {6, 11}, {11, 11}});
    switch (Cursor) {
    case crDrag: // the arrow with a page
        return {{0, 0}, {arrow, QPolygon(QRect(7, 19, 10, 8))}, {}, {}, {}};
    case crNoDrop: // the arrow with the sign
        return {{0, 0}, {arrow}, {}, {}, QRect(10, 15, 12, 12)};
    case crCross:
        return {{15, 15}, {}, {{4, 15, 26, 15}, {15, 4, 15, 26}}, {}, {}};
    case crIBeam: {
        const std::vector<QLine> beam = {
            {15, 8, 15, 22}, {12, 7, 14, 7}, {16, 7, 18, 7}, {12, 23, 14, 23}, {16, 23, 18, 23}};
        return {{15, 15}, {}, beam, {}, {}};
    }
    case crHourGlass: {
        const QPolygon glass(
            {{10, 6}, {20, 6}, {20, 9}, {16, 15}, {20, 21}, {20, 24}, {10, 24}, {10, 21}, {14, 15}, {10, 9}});
        const std::vector<QLine> frame = {{8, 4, 22, 4}, {8, 5, 22, 5}, {8, 25, 22, 25}, {8, 26, 22, 26}};
        const std::vector<QPolygon> sand = {QPolygon({{12, 8}, {18, 8}, {15, 11}}),
                                            QPolygon({{15, 19}, {19, 23}, {11, 23}})};
        return {{15, 15}, {glass}, frame, sand, {}};
    }
    case crHandPoint: { // the index finger up
        const QPolygon hand({{4, 1},  {5, 0},  {6, 0},  {7, 1},  {7, 6},   {9, 6},   {10, 7},
                             {12, 7}, {13, 8}, {14, 8}, {15, 9}, {15, 14}, {13, 18}, {13, 21},
                             {5, 21}, {5, 18}, {1, 13}, {0, 11}, {1, 10},  {3, 10},  {4, 11}});
        return {{5, 0}, {hand}, {{8, 7, 8, 10}, {11, 8, 11, 10}}, {}, {}};
    }
    default:
        return {{0, 0}, {arrow}, {}, {}, {}};
    }
}

QPixmap DragCursorPixmap(TCursor Cursor) {
    TCursorImage c = CursorImage(Cursor);
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.translate(QPoint(32, 32) - c.Hot);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::SquareCap));
    for (const QLine& l : c.Lines)
        p.drawLine(l);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    for (const QPolygon& s : c.Shapes)
        p.drawPolygon(s);
    for (const QLine& l : c.Lines)
        p.drawLine(l);
    p.setBrush(Qt::black);
    for (const QPolygon& m : c.Marks)
        p.drawPolygon(m);
    if (!c.Ring.isNull()) {
        // White inside; the slash runs from top left to bottom right.
        QPointF centre = QRectF(c.Ring).center(), d(c.Ring.width() * 0.35, c.Ring.height() * 0.35);
        p.setRenderHint(QPainter::Antialiasing);
        for (auto [colour, width] : {std::pair{Qt::white, 5}, {Qt::black, 2}}) {
            p.setPen(QPen(colour, width));
            p.setBrush(colour == Qt::white ? QBrush(Qt::white) : QBrush());
            p.drawEllipse(c.Ring);
            p.drawLine(centre - d, centre + d);
        }
    }
    p.end();
    return QPixmap::fromImage(image);
}

// ---- TSizeConstraints -----------------------------------------------------

KV_PUBLISHED_ABSTRACT_METACLASS(TSizeConstraints, nullptr)

void TSizeConstraints::Publish(TPublisher<TSizeConstraints>& P) {
    P.Prop("MaxHeight", &TSizeConstraints::GetMaxHeight, &TSizeConstraints::SetMaxHeight);
    P.Prop("MaxWidth", &TSizeConstraints::GetMaxWidth, &TSizeConstraints::SetMaxWidth);
    P.Prop("MinHeight", &TSizeConstraints::GetMinHeight, &TSizeConstraints::SetMinHeight);
    P.Prop("MinWidth", &TSizeConstraints::GetMinWidth, &TSizeConstraints::SetMinWidth);
}

void TSizeConstraints::SetMinWidth(int v) {
    if (v == FMinWidth) return;
    FMinWidth = v;
    Changed();
}
void TSizeConstraints::SetMinHeight(int v) {
    if (v == FMinHeight) return;
    FMinHeight = v;
    Changed();
}
void TSizeConstraints::SetMaxWidth(int v) {
    if (v == FMaxWidth) return;
    FMaxWidth = v;
    Changed();
}
void TSizeConstraints::SetMaxHeight(int v) {
    if (v == FMaxHeight) return;
    FMaxHeight = v;
    Changed();
}
void TSizeConstraints::Assign(const TPersistent* Source) {
    if (auto* c = dynamic_cast<const TSizeConstraints*>(Source)) {
        FMinWidth = c->FMinWidth;
        FMinHeight = c->FMinHeight;
        FMaxWidth = c->FMaxWidth;
        FMaxHeight = c->FMaxHeight;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}
void TSizeConstraints::Changed() {
    if (OnChange) OnChange(this);
}

// ---- TControl -------------------------------------------------------------

KV_PUBLISHED_ABSTRACT_METACLASS(TControl, nullptr)

void TControl::Publish(TPublisher<TControl>& P) {
    P.Prop("Left", &TControl::GetLeft, &TControl::SetLeft).NoDefault();
    P.Prop("Top", &TControl::GetTop, &TControl::SetTop).NoDefault();
    P.Prop("Width", &TControl::GetWidth, &TControl::SetWidth).NoDefault();
    P.Prop("Height", &TControl::GetHeight, &TControl::SetHeight).NoDefault();
    P.Prop("Align", &TControl::GetAlign, &TControl::SetAlign).Default(alNone);
    P.Prop("Anchors", &TControl::GetAnchors, &TControl::SetAnchors).Default(TAnchors{akLeft, akTop});
    P.Prop("Constraints", &TControl::GetConstraints, nullptr);
    P.Prop("Cursor", &TControl::GetCursor, &TControl::SetCursor).Default(crDefault).Idents(&CursorIdents());
    P.Prop("DragCursor", &TControl::GetDragCursor, &TControl::SetDragCursor)
        .Default(crDrag)
        .Idents(&CursorIdents());
    P.Prop("DragMode", &TControl::GetDragMode, &TControl::SetDragMode).Default(dmManual);
    P.Prop("Enabled", &TControl::GetEnabled, &TControl::SetEnabled).Default(true);
    P.Prop("HelpContext", &TControl::GetHelpContext, &TControl::SetHelpContext).Default(0);
    P.Prop("ParentColor", &TControl::GetParentColor, &TControl::SetParentColor).Default(false);
    P.Prop("Color", &TControl::GetColor, &TControl::SetColor)
        .Default(clBtnFace)
        .Idents(&ColorIdents())
        .StoredIf([](const TControl& c) { return !c.GetParentColor(); });
    P.Prop("ParentFont", &TControl::GetParentFont, &TControl::SetParentFont).Default(true);
    P.Prop("Font", &TControl::GetFont, &TControl::SetFont).StoredIf([](const TControl& c) {
        return !c.GetParentFont();
    });
    P.Prop("Hint", &TControl::GetHint, &TControl::SetHint);
    P.Prop("PopupMenu", &TControl::GetPopupMenu, &TControl::SetPopupMenu);
    P.Prop("ParentShowHint", &TControl::GetParentShowHint, &TControl::SetParentShowHint).Default(true);
    P.Prop("ShowHint", &TControl::GetShowHint, &TControl::SetShowHint)
        .NoDefault()
        .StoredIf([](const TControl& c) { return !c.GetParentShowHint(); });
    P.Prop("Tag", &TComponent::GetTag, &TComponent::SetTag).Default(0);
    P.Prop("Visible", &TControl::GetVisible, &TControl::SetVisible).Default(true);
    P.Prop("OnClick", &TControl::OnClick, &TControl::OnClick);
    P.Prop("OnDblClick", &TControl::OnDblClick, &TControl::OnDblClick);
    P.Prop("OnDragDrop", &TControl::OnDragDrop, &TControl::OnDragDrop);
    P.Prop("OnDragOver", &TControl::OnDragOver, &TControl::OnDragOver);
    P.Prop("OnEndDrag", &TControl::OnEndDrag, &TControl::OnEndDrag);
    P.Prop("OnMouseDown", &TControl::OnMouseDown, &TControl::OnMouseDown);
    P.Prop("OnMouseMove", &TControl::OnMouseMove, &TControl::OnMouseMove);
    P.Prop("OnMouseUp", &TControl::OnMouseUp, &TControl::OnMouseUp);
    P.Prop("OnResize", &TControl::OnResize, &TControl::OnResize);
    P.Prop("OnStartDrag", &TControl::OnStartDrag, &TControl::OnStartDrag);
    // A nested object in form text is a child of the control around it.
    P.ParentHook(
        [](TComponent* Child, TComponent* Parent) {
            auto* control = dynamic_cast<TControl*>(Child);
            auto* parent = dynamic_cast<TWinControl*>(Parent);
            if (!parent)
                throw EComponentError("Control " + Child->GetName() + " cannot be placed in " +
                                      Parent->ClassName() + ", which is no windowed control");
            control->SetParent(parent);
        },
        [](const TComponent* Child) -> TComponent* {
            return static_cast<const TControl*>(Child)->GetParent();
        });
}

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner), ControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks},
      FFont(std::make_unique<TFont>()), FConstraints(std::make_unique<TSizeConstraints>()) {
    WindowProc = [this](TMessage& M) { WndProc(M); };
    FFont->OnChange = [this](TObject*) { FontObjectChanged(); };
    FConstraints->OnChange = [this](TObject*) { SetBounds(FLeft, FTop, FWidth, FHeight); };
}

TControl::~TControl() {
    Destroying();
    TControlDragging::Forget(this);
    if (FParent) FParent->RemoveControl(this);
    DisposeWidget(FWidget);
    FWidget = nullptr;
}

void TControl::SetName(const AnsiString& NewName) {
    auto* ownerControl = dynamic_cast<TControl*>(GetOwner());
    bool follow = ControlStyle.Contains(csSetCaption) && !IsLoading() && GetName() == FText &&
                  !(ownerControl && ownerControl->IsLoading());
    TComponent::SetName(NewName);
    if (follow) SetText(NewName);
}

void TControl::FontObjectChanged() {
    FParentFont = false;
    Perform(CM_FONTCHANGED);
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->NotifyControls(CM_PARENTFONTCHANGED);
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent) return;
    if (AParent == this) throw EInvalidOperation("A control cannot be its own parent");
    for (TWinControl* p = AParent; p; p = p->GetParent())
        if (p == this) throw EInvalidOperation("A control cannot be placed inside its own child");
    if (FParent) FParent->RemoveControl(this);
    if (AParent) AParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    if (FConstraints->GetMinWidth() > 0) AWidth = std::max(AWidth, FConstraints->GetMinWidth());
    if (FConstraints->GetMinHeight() > 0) AHeight = std::max(AHeight, FConstraints->GetMinHeight());
    if (FConstraints->GetMaxWidth() > 0) AWidth = std::min(AWidth, FConstraints->GetMaxWidth());
    if (FConstraints->GetMaxHeight() > 0) AHeight = std::min(AHeight, FConstraints->GetMaxHeight());
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    bool moved = ALeft != FLeft || ATop != FTop;
    bool sized = AWidth != FWidth || AHeight != FHeight;
    if (!moved && !sized) {
        if (!FInLayout) UpdateAnchorRules();
        return;
    }
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (!FInLayout) UpdateAnchorRules();
    UpdateWidgetBounds();
    if (FWidget && moved) Perform(WM_MOVE, 0, MakeLParam(FLeft, FTop));
    if (FWidget && sized) Perform(WM_SIZE, 0, MakeLParam(GetClientWidth(), GetClientHeight()));
    if (sized) {
        if (auto* w = dynamic_cast<TWinControl*>(this)) w->AlignControls();
        Resize();
    }
    if (FParent && FAlign != alNone && !FInLayout) FParent->AlignControls();
}

void TControl::SetBoundsByLayout(int ALeft, int ATop, int AWidth, int AHeight) {
    bool was = FInLayout;
    FInLayout = true;
    try {
        SetBounds(ALeft, ATop, AWidth, AHeight);
    } catch (...) {
        FInLayout = was;
        throw;
    }
    FInLayout = was;
}

void TControl::UpdateWidgetBounds() {
    if (!FWidget) return;
    QPoint origin = FParent ? FParent->ClientOrigin() : QPoint();
    FWidget->setGeometry(FLeft + origin.x(), FTop + origin.y(), FWidth, FHeight);
}

void TControl::UpdateAnchorRules() {
    if (!FParent) {
        FAnchorParentW = FAnchorParentH = -1;
        return;
    }
    FAnchorBase = QRect(FLeft, FTop, FWidth, FHeight);
    FAnchorParentW = FParent->GetClientWidth();
    FAnchorParentH = FParent->GetClientHeight();
}

void TControl::SetClientWidth(int Value) {
    SetWidth(Value + (FWidth - GetClientWidth()));
}
void TControl::SetClientHeight(int Value) {
    SetHeight(Value + (FHeight - GetClientHeight()));
}

QPoint TControl::ClientToScreen(QPoint P) const {
    if (FWidget) return FWidget->mapToGlobal(P + ClientOffset());
    if (FParent) return FParent->ClientToScreen(P + QPoint(FLeft, FTop));
    return P + QPoint(FLeft, FTop);
}

QPoint TControl::ScreenToClient(QPoint P) const {
    if (FWidget) return FWidget->mapFromGlobal(P) - ClientOffset();
    if (FParent) return FParent->ScreenToClient(P) - QPoint(FLeft, FTop);
    return P - QPoint(FLeft, FTop);
}

void TControl::SetAlign(TAlign Value) {
    if (Value == FAlign) return;
    FAlign = Value;
    if (Value == alNone) UpdateAnchorRules();
    RequestAlign();
}

void TControl::RequestAlign() {
    if (FParent) FParent->AlignControls();
}

void TControl::SetAnchors(TAnchors Value) {
    if (Value == FAnchors) return;
    FAnchors = Value;
    UpdateAnchorRules();
}

bool TControl::Showing() const {
    for (const TControl* c = this; c; c = c->FParent) {
        if (!c->FVisible) return false;
        if (!c->FParent) return c->FWidget && c->FWidget->isVisible();
    }
    return false;
}

void TControl::SetVisible(bool Value) {
    if (Value == FVisible) return;
    FVisible = Value;
    if (FWidget) FWidget->setVisible(Value);
    Perform(CM_VISIBLECHANGED, Value ? 1 : 0);
    if (FAlign != alNone) RequestAlign();
}

void TControl::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    Perform(CM_ENABLEDCHANGED);
}

void TControl::SetText(const AnsiString& Value) {
    if (Value == FText) return;
    FText = Value;
    Perform(CM_TEXTCHANGED);
}

void TControl::SetHint(const AnsiString& Value) {
    FHint = Value;
}

void TControl::SetShowHint(bool Value) {
    FParentShowHint = false;
    if (Value == FShowHint) return;
    FShowHint = Value;
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->NotifyControls(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool Value) {
    if (Value == FParentShowHint) return;
    FParentShowHint = Value;
    if (Value && FParent) {
        FShowHint = FParent->GetShowHint();
        if (auto* w = dynamic_cast<TWinControl*>(this)) w->NotifyControls(CM_SHOWHINTCHANGED);
    }
}

bool TControl::EffectiveShowHint() const {
    return FShowHint;
}

void TControl::SetParentFont(bool Value) {
    if (Value == FParentFont) return;
    FParentFont = Value;
    if (Value && FParent) Perform(CM_PARENTFONTCHANGED);
}

void TControl::SetColor(TColor Value) {
    FParentColor = false;
    if (Value == FColor) return;
    FColor = Value;
    Perform(CM_COLORCHANGED);
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->NotifyControls(CM_PARENTCOLORCHANGED);
}

void TControl::SetParentColor(bool Value) {
    if (Value == FParentColor) return;
    FParentColor = Value;
    if (Value && FParent) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::SetCursor(TCursor Value) {
    if (Value == FCursor) return;
    FCursor = Value;
    if (FWidget) FWidget->setCursor(CursorShape(Value));
}

void TControl::ApplyFont() {
    if (FWidget) FWidget->setFont(FFont->ToQFont());
}

void TControl::ApplyColor() {
    // Colours are left to the platform style unless set by hand.
    if (!FWidget || FParentColor || (FColor & clSystemColor)) return;
    QColor c = ColorToQColor(FColor);
    if (!c.isValid()) return;
    QPalette pal = FWidget->palette();
    pal.setColor(FWidget->backgroundRole(), c);
    FWidget->setPalette(pal);
}

void TControl::Invalidate() {
    if (FWidget) FWidget->update();
}
void TControl::Repaint() {
    if (FWidget) FWidget->repaint();
}
void TControl::Update() {
    if (FWidget) FWidget->update();
}

void TControl::BringToFront() {
    if (FParent) {
        auto& list = FParent->FControls;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        list.push_back(this);
    }
    if (FWidget) FWidget->raise();
}

void TControl::SendToBack() {
    if (FParent) {
        auto& list = FParent->FControls;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        list.insert(list.begin(), this);
    }
    if (FWidget) FWidget->lower();
}

void TControl::CreateParams(TCreateParams& Params) {
    Params.Caption = FText;
    Params.Style = WS_CHILD;
    if (FVisible) Params.Style |= WS_VISIBLE;
    if (!FEnabled) Params.Style |= WS_DISABLED;
    Params.X = FLeft;
    Params.Y = FTop;
    Params.Width = FWidth;
    Params.Height = FHeight;
    Params.WndParent = FParent ? FParent->FWidget : nullptr;
}

QWidget* TControl::CreateWidget(const TCreateParams& Params) {
    return new TControlWidget<QWidget>(this, Params.WndParent);
}

void TControl::CreateControlWidget() {
    if (FWidget || !FParent || !FParent->FWidget) return;
    TCreateParams p;
    CreateParams(p);
    FWidget = CreateWidget(p);
    InitWidget();
}

void TControl::DestroyControlWidget() {
    QWidget* w = FWidget;
    FWidget = nullptr;
    DisposeWidget(w);
}

void TControl::InitWidget() {
    UpdateWidgetBounds();
    FWidget->setEnabled(FEnabled);
    if (FCursor != crDefault) FWidget->setCursor(CursorShape(FCursor));
    ApplyFont();
    ApplyColor();
    if (FParent) FWidget->setVisible(FVisible);
}

void TControl::Paint(QPainter&) {}

void TControl::WidgetPaint(QWidget* Widget) {
    GuardedCall(this, [&] {
        QPainter painter(Widget);
        Paint(painter);
        PaintCaret(this, painter);
    });
}

void TControl::Loaded() {
    TComponent::Loaded();
    if (FAlign == alNone) UpdateAnchorRules();
}

KV_ABSTRACT_METACLASS(TGraphicControl, &TControl::ClassInfo())

TCustomForm* GetParentForm(const TControl* Control) {
    const TControl* c = Control;
    while (c && c->GetParent())
        c = c->GetParent();
    return const_cast<TCustomForm*>(dynamic_cast<const TCustomForm*>(c));
}
