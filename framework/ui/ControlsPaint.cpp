// Painting: the control canvas, the custom control that paints itself, the
// border styles of created windows, and the caret.
#include "Controls.h"

#include "UiPrivate.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <algorithm>

// ---- TControlCanvas -------------------------------------------------------

TControlCanvas::TControlCanvas(TControl* Control) : FControl(Control) {}

TControlCanvas::~TControlCanvas() = default;

TRect TControlCanvas::GetClipRect() const {
    if (FPaintPainter) return TRect::FromQRect(FPaintClip);
    return TRect::FromQRect(FControl->GetClientRect());
}

bool TControlCanvas::SizeSurface() {
    QSize size(std::max(1, FControl->GetClientWidth()), std::max(1, FControl->GetClientHeight()));
    qreal ratio = FControl->GetWidget() ? FControl->GetWidget()->devicePixelRatioF() : 1.0;
    if (!FSurface.isNull() && FSurface.deviceIndependentSize().toSize() == size &&
        FSurface.devicePixelRatio() == ratio)
        return false;
    FSurface = QImage(size * ratio, QImage::Format_RGB32);
    FSurface.setDevicePixelRatio(ratio);
    QColor c = ColorToQColor(FControl->GetColor());
    FSurface.fill(c.isValid() ? c : QColor(Qt::white));
    return true;
}

void TControlCanvas::PaintSurface(QRegion Region, const std::function<void()>& Paint) {
    if (FOwnPainter) FOwnPainter->end(); // a drawing left open by an error
    FOwnPainter.reset();
    FDrawDepth = 0;
    if (SizeSurface()) Region = QRegion(FControl->GetClientRect());
    if (Region.isEmpty()) return;
    QPainter painter(&FSurface);
    painter.setClipRegion(Region);
    struct Reset {
        TControlCanvas* C;
        ~Reset() { C->FPaintPainter = nullptr; }
    } reset{this};
    FPaintPainter = &painter;
    FPaintClip = Region.boundingRect();
    Paint();
}

void TControlCanvas::ShowSurface(QPainter& Painter, QPoint Offset) const {
    if (!FSurface.isNull()) Painter.drawImage(Offset, FSurface);
}

QPainter* TControlCanvas::BeginDraw() {
    if (FPaintPainter) return FPaintPainter;
    if (FDrawDepth++ == 0) {
        SizeSurface();
        FOwnPainter = std::make_unique<QPainter>(&FSurface);
    }
    return FOwnPainter.get();
}

void TControlCanvas::EndDraw() {
    if (FPaintPainter || FDrawDepth == 0) return;
    if (--FDrawDepth > 0) return;
    FOwnPainter.reset();
    if (OnDrawn) OnDrawn();
}

// ---- TCustomControl -------------------------------------------------------

KV_ABSTRACT_METACLASS(TCustomControl, &TWinControl::ClassInfo())

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>(this)) {
    // What was drawn outside painting shows with the next update.
    FCanvas->OnDrawn = [this] {
        if (FWidget) FWidget->update();
    };
    FCanvas->SetFont(GetFont());
}

TCustomControl::~TCustomControl() {
    FCanvas->OnDrawn = nullptr;
}

int TCustomControl::BorderPixels() const {
    std::uint32_t style = FWindowStyle, exStyle = FWindowExStyle;
    if (!FWidget) {
        // No window yet: the one CreateParams would make now.
        TCreateParams p;
        const_cast<TCustomControl*>(this)->CreateParams(p);
        style = p.Style;
        exStyle = p.ExStyle;
    }
    if (exStyle & WS_EX_CLIENTEDGE) return 2;
    return (style & WS_BORDER) ? 1 : 0;
}

int TCustomControl::GetClientWidth() const {
    return std::max(0, GetWidth() - 2 * BorderPixels());
}

int TCustomControl::GetClientHeight() const {
    return std::max(0, GetHeight() - 2 * BorderPixels());
}

void TCustomControl::Invalidate() {
    FAllDirty = true;
    TWinControl::Invalidate();
}

void TCustomControl::Repaint() {
    FAllDirty = true;
    TWinControl::Repaint();
}

void TCustomControl::InvalidateRect(const TRect& Rect) {
    QRect r = Rect.ToQRect().intersected(GetClientRect());
    if (r.isEmpty()) return;
    FDirty += r;
    if (FWidget) FWidget->update(r.translated(ClientOffset()));
}

void TCustomControl::Paint() {}

void TCustomControl::Paint(QPainter& Painter) {
    QRect outer(0, 0, GetWidth(), GetHeight());
    if (BorderPixels() > 0) {
        TRect r = TRect::FromQRect(outer);
        if (FWindowExStyle & WS_EX_CLIENTEDGE)
            DrawEdge(Painter, r, EDGE_SUNKEN, BF_RECT);
        else
            Painter.fillRect(outer, QApplication::palette().color(QPalette::Shadow));
    }
    QRegion dirty = FAllDirty ? QRegion(GetClientRect()) : FDirty;
    FAllDirty = false;
    FDirty = QRegion();
    FCanvas->PaintSurface(dirty, [this] {
        FCanvas->GetBrush()->SetColor(GetColor());
        FCanvas->FillRect(FCanvas->GetClipRect());
        Paint();
    });
    FCanvas->ShowSurface(Painter, ClientOffset());
}

QWidget* TCustomControl::CreateWidget(const TCreateParams& Params) {
    QWidget* w = TWinControl::CreateWidget(Params);
    w->setAttribute(Qt::WA_OpaquePaintEvent); // the surface covers everything
    return w;
}

void TCustomControl::CreateWnd() {
    TWinControl::CreateWnd();
    FAllDirty = true;
}

void TCustomControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
    case CM_FONTCHANGED:
        FCanvas->SetFont(GetFont()); // the canvas draws in the control's font
        TWinControl::Dispatch(Message);
        Invalidate();
        break;
    case CM_COLORCHANGED:
    case CM_ENABLEDCHANGED:
        TWinControl::Dispatch(Message);
        Invalidate();
        break;
    default:
        TWinControl::Dispatch(Message);
        break;
    }
}

void AddBorderStyle(TCreateParams& Params, TBorderStyle Style, bool Ctl3D) {
    if (Style != bsSingle) return;
    if (NewStyleControls && Ctl3D)
        Params.ExStyle |= WS_EX_CLIENTEDGE;
    else
        Params.Style |= WS_BORDER;
}

// ---- The caret ------------------------------------------------------------

namespace {

struct TCaret {
    TWinControl* Owner = nullptr;
    QSize Size;
    QPoint Pos;
    int HideCount = 1; // created hidden
    bool BlinkOn = true;
    std::unique_ptr<QTimer> Timer;

    QRect WidgetRect() const {
        QWidget* w = Owner->GetWidget();
        return QRect(w->mapFromGlobal(Owner->ClientToScreen(Pos)), Size);
    }
    void Update() const {
        if (Owner && Owner->GetWidget()) Owner->GetWidget()->update(WidgetRect());
    }
    // Shows the block at once and starts the blink anew.
    void Restart() {
        BlinkOn = true;
        if (Timer) Timer->start();
        Update();
    }
};

TCaret& Caret() {
    static TCaret caret;
    return caret;
}

} // namespace

void PaintCaret(TControl* Control, QPainter& Painter) {
    const TCaret& c = Caret();
    if (c.Owner != Control || c.HideCount > 0 || !c.BlinkOn) return;
    Painter.fillRect(c.WidgetRect(), ColorToQColor(c.Owner->GetFont()->GetColor()));
}

bool CreateCaret(TWinControl* Control, int Width, int Height) {
    if (!Control) return false;
    DestroyCaret();
    TCaret& c = Caret();
    c.Owner = Control;
    c.Size = QSize(std::max(1, Width), std::max(1, Height));
    c.Pos = QPoint();
    c.HideCount = 1;
    c.BlinkOn = true;
    int flash = QApplication::cursorFlashTime();
    if (flash > 0) {
        c.Timer = std::make_unique<QTimer>();
        c.Timer->setInterval(flash / 2);
        QObject::connect(c.Timer.get(), &QTimer::timeout, [] {
            TCaret& t = Caret();
            t.BlinkOn = !t.BlinkOn;
            t.Update();
        });
        c.Timer->start();
    }
    return true;
}

bool DestroyCaret() {
    TCaret& c = Caret();
    if (!c.Owner) return false;
    c.Update();
    c.Timer.reset();
    c.Owner = nullptr;
    return true;
}

bool SetCaretPos(int X, int Y) {
    TCaret& c = Caret();
    if (!c.Owner) return false;
    c.Update();
    c.Pos = QPoint(X, Y);
    c.Restart();
    return true;
}

bool GetCaretPos(QPoint& Pos) {
    const TCaret& c = Caret();
    if (!c.Owner) return false;
    Pos = c.Pos;
    return true;
}

bool ShowCaret(TWinControl* Control) {
    TCaret& c = Caret();
    if (!c.Owner || (Control && Control != c.Owner)) return false;
    if (c.HideCount > 0 && --c.HideCount == 0) c.Restart();
    return true;
}

bool HideCaret(TWinControl* Control) {
    TCaret& c = Caret();
    if (!c.Owner || (Control && Control != c.Owner)) return false;
    if (c.HideCount++ == 0) c.Update();
    return true;
}

TWinControl* GetCaretOwner() {
    return Caret().Owner;
}

bool IsCaretShown() {
    const TCaret& c = Caret();
    return c.Owner && c.HideCount == 0;
}
