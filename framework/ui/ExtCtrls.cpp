#include "ExtCtrls.h"

#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <qdrawutil.h>

// ---- TCustomPanel ---------------------------------------------------------

KV_ABSTRACT_METACLASS(TCustomPanel, &TWinControl::ClassInfo())
KV_PUBLISHED_METACLASS(TPanel, &TCustomPanel::ClassInfo())

void TPanel::Publish(TPublisher<TPanel>& P) {
    P.Prop("Alignment", &TCustomPanel::GetAlignment, &TCustomPanel::SetAlignment).Default(taCenter);
    P.Prop("BevelInner", &TCustomPanel::GetBevelInner, &TCustomPanel::SetBevelInner).Default(bvNone);
    P.Prop("BevelOuter", &TCustomPanel::GetBevelOuter, &TCustomPanel::SetBevelOuter).Default(bvRaised);
    P.Prop("BevelWidth", &TCustomPanel::GetBevelWidth, &TCustomPanel::SetBevelWidth).Default(1);
    P.Prop("BorderStyle", &TCustomPanel::GetBorderStyle, &TCustomPanel::SetBorderStyle).Default(bsNone);
    P.Prop("BorderWidth", &TCustomPanel::GetBorderWidth, &TCustomPanel::SetBorderWidth).Default(0);
    P.Prop("Caption", &TControl::GetText, &TControl::SetText);
}

TCustomPanel::TCustomPanel(TComponent* AOwner) : TWinControl(AOwner) {
    ControlStyle << csAcceptsControls << csOpaque;
    SetBounds(0, 0, 185, 41);
}

void TCustomPanel::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    Invalidate();
}
void TCustomPanel::SetBevelInner(TBevelCut Value) {
    if (Value == FBevelInner) return;
    FBevelInner = Value;
    Changed();
}
void TCustomPanel::SetBevelOuter(TBevelCut Value) {
    if (Value == FBevelOuter) return;
    FBevelOuter = Value;
    Changed();
}
void TCustomPanel::SetBevelWidth(int Value) {
    if (Value == FBevelWidth) return;
    if (Value < 1) throw ERangeError("BevelWidth must be at least 1");
    FBevelWidth = Value;
    Changed();
}
void TCustomPanel::SetBorderWidth(int Value) {
    if (Value == FBorderWidth) return;
    if (Value < 0) throw ERangeError("BorderWidth must not be negative");
    FBorderWidth = Value;
    Changed();
}
void TCustomPanel::SetBorderStyle(TBorderStyle Value) {
    if (Value != bsNone && Value != bsSingle) return;
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    Changed();
}

void TCustomPanel::Changed() {
    ClientOriginChanged();
    Invalidate();
}

void TCustomPanel::Dispatch(TMessage& Message) {
    TWinControl::Dispatch(Message);
    if (Message.Msg == CM_CTL3DCHANGED && FBorderStyle == bsSingle) Changed();
}

int TCustomPanel::BorderPixels() const {
    if (FBorderStyle != bsSingle) return 0;
    return GetCtl3D() ? 2 : 1;
}

int TCustomPanel::GetClientWidth() const {
    return std::max(0, GetWidth() - 2 * BorderPixels());
}

int TCustomPanel::GetClientHeight() const {
    return std::max(0, GetHeight() - 2 * BorderPixels());
}

QPoint TCustomPanel::ClientOrigin() const {
    return QPoint(BorderPixels(), BorderPixels());
}

QRect TCustomPanel::AdjustClientRect() const {
    int inset = FBorderWidth;
    if (FBevelOuter != bvNone) inset += FBevelWidth;
    if (FBevelInner != bvNone) inset += FBevelWidth;
    QRect r = GetClientRect();
    return r.adjusted(inset, inset, -inset, -inset);
}

void TCustomPanel::Paint(QPainter& Painter) {
    QWidget* w = GetWidget();
    QRect r(0, 0, GetWidth(), GetHeight());
    const QPalette& pal = w->palette();
    QColor fill = ColorToQColor(GetColor());
    if (fill.isValid()) Painter.fillRect(r, fill);
    auto bevel = [&](TBevelCut cut) {
        if (cut == bvLowered || cut == bvRaised)
            qDrawShadePanel(&Painter, r, pal, cut == bvLowered, FBevelWidth);
        if (cut != bvNone) r.adjust(FBevelWidth, FBevelWidth, -FBevelWidth, -FBevelWidth);
    };
    if (FBorderStyle == bsSingle && GetCtl3D()) {
        qDrawWinPanel(&Painter, r, pal, true);
        r.adjust(2, 2, -2, -2);
    } else if (FBorderStyle == bsSingle) {
        Painter.setPen(pal.color(QPalette::WindowText));
        Painter.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    bevel(FBevelOuter);
    r.adjust(FBorderWidth, FBorderWidth, -FBorderWidth, -FBorderWidth);
    bevel(FBevelInner);
    if (!FText.empty()) {
        Qt::Alignment a = Qt::AlignVCenter | (FAlignment == taLeftJustify    ? Qt::AlignLeft
                                              : FAlignment == taRightJustify ? Qt::AlignRight
                                                                             : Qt::AlignHCenter);
        Painter.setPen(pal.color(QPalette::WindowText));
        Painter.drawText(r, static_cast<int>(a), QString::fromStdString(FText));
    }
}

// ---- TTimer ---------------------------------------------------------------

KV_PUBLISHED_METACLASS(TTimer, nullptr)

void TTimer::Publish(TPublisher<TTimer>& P) {
    P.Prop("Enabled", &TTimer::GetEnabled, &TTimer::SetEnabled).Default(true);
    P.Prop("Interval", &TTimer::GetInterval, &TTimer::SetInterval).Default(1000);
    P.Prop("OnTimer", &TTimer::GetOnTimer, &TTimer::SetOnTimer);
}

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {}

TTimer::~TTimer() = default;

void TTimer::SetEnabled(bool Value) {
    if (Value == FEnabled) return;
    FEnabled = Value;
    UpdateTimer();
}

void TTimer::SetInterval(int Value) {
    if (Value == FInterval) return;
    FInterval = Value;
    UpdateTimer();
}

void TTimer::SetOnTimer(const TNotifyEvent& Value) {
    FOnTimer = Value;
    UpdateTimer();
}

bool TTimer::IsRunning() const {
    return FTimer && FTimer->isActive();
}

void TTimer::UpdateTimer() {
    if (FTimer) FTimer->stop();
    if (!FEnabled || FInterval <= 0 || !FOnTimer) return;
    if (!FTimer) {
        FTimer = std::make_unique<QTimer>();
        QObject::connect(FTimer.get(), &QTimer::timeout, FTimer.get(),
                         [this] { GuardedCall(this, [this] { Timer(); }); });
    }
    FTimer->start(FInterval);
}

void TTimer::Timer() {
    if (FOnTimer) FOnTimer(this);
}
