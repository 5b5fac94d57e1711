#include "Buttons.h"

#include <QIcon>
#include <QPixmap>
#include <QToolButton>

KV_PUBLISHED_METACLASS(TSpeedButton, &TGraphicControl::ClassInfo())

void TSpeedButton::Publish(TPublisher<TSpeedButton>& P) {
    P.Prop("AllowAllUp", &TSpeedButton::GetAllowAllUp, &TSpeedButton::SetAllowAllUp).Default(false);
    P.Prop("GroupIndex", &TSpeedButton::GetGroupIndex, &TSpeedButton::SetGroupIndex).Default(0);
    P.Prop("Down", &TSpeedButton::GetDown, &TSpeedButton::SetDown).Default(false);
    P.Prop("Caption", &TControl::GetText, &TControl::SetText);
    P.Prop("Flat", &TSpeedButton::GetFlat, &TSpeedButton::SetFlat).Default(false);
    P.Prop("Glyph", &TSpeedButton::GetGlyph, &TSpeedButton::SetGlyph);
    P.Prop("Layout", &TSpeedButton::GetLayout, &TSpeedButton::SetLayout).Default(blGlyphLeft);
    P.Prop("Margin", &TSpeedButton::GetMargin, &TSpeedButton::SetMargin).Default(-1);
    P.Prop("NumGlyphs", &TSpeedButton::GetNumGlyphs, &TSpeedButton::SetNumGlyphs).Default(1);
    P.Prop("Spacing", &TSpeedButton::GetSpacing, &TSpeedButton::SetSpacing).Default(4);
}

TSpeedButton::TSpeedButton(TComponent* AOwner)
    : TGraphicControl(AOwner), FGlyph(std::make_unique<TBitmap>()) {
    ControlStyle >> csClickEvents >> csSetCaption >> csDoubleClicks;
    FGlyph->OnChange = [this](TObject*) { UpdateButton(); };
    SetBounds(0, 0, 23, 22);
}

TSpeedButton::~TSpeedButton() {
    FGlyph->OnChange = nullptr;
}

QToolButton* TSpeedButton::Button() const {
    return static_cast<QToolButton*>(FWidget);
}

QWidget* TSpeedButton::CreateWidget(const TCreateParams& Params) {
    auto* b = new TControlWidget<QToolButton>(this, Params.WndParent);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

void TSpeedButton::InitWidget() {
    TGraphicControl::InitWidget();
    QToolButton* b = Button();
    QObject::connect(b, &QToolButton::clicked, b, [this] { GuardedCall(this, [this] { UserClick(); }); });
    UpdateButton();
}

void TSpeedButton::TextChanged() {
    UpdateButton();
}

void TSpeedButton::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_BUTTONPRESSED) {
        // Another button of our group went down (WParam: group, LParam: the button).
        auto* sender = reinterpret_cast<TSpeedButton*>(Message.LParam);
        if (sender != this && static_cast<int>(Message.WParam) == FGroupIndex && FGroupIndex != 0) {
            if (sender->FDown && FDown) {
                FDown = false;
                UpdateButton();
            }
            FAllowAllUp = sender->FAllowAllUp;
        }
        return;
    }
    // A release sent by code lets a button that the mouse holds down spring back.
    if (Message.Msg == WM_LBUTTONUP && !Message.Context && Button() && Button()->isDown() &&
        !Button()->isCheckable())
        Button()->setDown(false);
    TGraphicControl::Dispatch(Message);
}

void TSpeedButton::UpdateExclusive() {
    if (FGroupIndex == 0 || !GetParent()) return;
    TWinControl* p = GetParent();
    for (int i = 0; i < p->GetControlCount(); ++i)
        p->GetControl(i)->Perform(CM_BUTTONPRESSED, static_cast<WPARAM>(FGroupIndex),
                                  reinterpret_cast<LPARAM>(this));
}

void TSpeedButton::UserClick() {
    if (FGroupIndex != 0) {
        if (!FDown)
            SetDown(true);
        else if (FAllowAllUp)
            SetDown(false);
    }
    UpdateButton(); // Qt toggled its own check state; ours counts
    Click();
}

void TSpeedButton::SetDown(bool Value) {
    if (FGroupIndex == 0) Value = false;
    if (Value == FDown) return;
    if (FDown && !FAllowAllUp) return; // one of a group stays down
    FDown = Value;
    if (Value) UpdateExclusive();
    UpdateButton();
}

void TSpeedButton::SetAllowAllUp(bool Value) {
    if (Value == FAllowAllUp) return;
    FAllowAllUp = Value;
    UpdateExclusive();
}

void TSpeedButton::SetGroupIndex(int Value) {
    if (Value == FGroupIndex) return;
    FGroupIndex = Value;
    if (Value == 0) FDown = false;
    UpdateExclusive();
    UpdateButton();
}

void TSpeedButton::SetFlat(bool Value) {
    FFlat = Value;
    UpdateButton();
}

void TSpeedButton::SetNumGlyphs(int Value) {
    if (Value < 1) Value = 1;
    if (Value > 4) Value = 4;
    FNumGlyphs = Value;
    UpdateButton();
}

void TSpeedButton::SetLayout(TButtonLayout Value) {
    FLayout = Value;
    UpdateButton();
}

void TSpeedButton::SetMargin(int Value) {
    FMargin = Value;
    UpdateButton();
}

void TSpeedButton::SetSpacing(int Value) {
    FSpacing = Value;
    UpdateButton();
}

QImage TSpeedButton::GlyphImage(int Index) const {
    if (FGlyph->Empty() || Index < 0 || Index >= FNumGlyphs) return QImage();
    QImage all = FGlyph->GetMaskedImage();
    int w = all.width() / FNumGlyphs;
    return all.copy(Index * w, 0, w, all.height());
}

void TSpeedButton::UpdateButton() {
    QToolButton* b = Button();
    if (!b) return;
    b->setText(QString::fromStdString(FText));
    b->setAutoRaise(FFlat);
    b->setCheckable(FGroupIndex != 0);
    b->setChecked(FDown);
    QIcon icon;
    QImage up = GlyphImage(0);
    if (!up.isNull()) {
        icon.addPixmap(QPixmap::fromImage(up), QIcon::Normal);
        QImage disabled = GlyphImage(1);
        if (!disabled.isNull()) icon.addPixmap(QPixmap::fromImage(disabled), QIcon::Disabled);
        b->setIconSize(up.size());
    }
    b->setIcon(icon);
    bool text = !FText.empty(), glyph = !up.isNull();
    if (text && glyph)
        b->setToolButtonStyle(FLayout == blGlyphTop || FLayout == blGlyphBottom
                                  ? Qt::ToolButtonTextUnderIcon
                                  : Qt::ToolButtonTextBesideIcon);
    else
        b->setToolButtonStyle(glyph ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextOnly);
    // The glyph goes to the right of the caption by mirroring the layout.
    b->setLayoutDirection(FLayout == blGlyphRight ? Qt::RightToLeft : Qt::LeftToRight);
}
