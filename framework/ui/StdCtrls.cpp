// The unit's shared functions (accelerator characters), the push button, the
// check box and the labels. The edits, the list box and the combo box have
// files of their own (StdCtrlsEdit.cpp, StdCtrlsListBox.cpp, StdCtrlsComboBox.cpp).
#include "StdCtrls.h"

#include "Forms.h"
#include "UiPrivate.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>

#include <algorithm>

namespace {

// The forms' check boxes are 13 pixels high, the size of the check mark's
// box on the platform they were designed on; the style's own box is larger
// and would lose its lower edge. Check boxes draw theirs at most that size.
class TDesignedIndicatorStyle : public QProxyStyle {
public:
    static constexpr int DesignedIndicator = 13;
    int pixelMetric(PixelMetric Metric, const QStyleOption* Option, const QWidget* Widget) const override {
        int value = QProxyStyle::pixelMetric(Metric, Option, Widget);
        if (Metric == PM_IndicatorWidth || Metric == PM_IndicatorHeight)
            return std::min(value, DesignedIndicator);
        return value;
    }
};

// One for all check boxes, going with the Qt application that owns it.
QStyle* DesignedIndicatorStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new TDesignedIndicatorStyle;
        style->setParent(QApplication::instance());
    }
    return style;
}

Qt::Alignment QtAlignment(TAlignment a) {
    switch (a) {
    case taRightJustify:
        return Qt::AlignRight | Qt::AlignTop;
    case taCenter:
        return Qt::AlignHCenter | Qt::AlignTop;
    default:
        return Qt::AlignLeft | Qt::AlignTop;
    }
}

// The accelerator letter of a caption (upper-cased), or 0.
TKeyChar AccelChar(const AnsiString& Caption) {
    QString s = Q(Caption);
    for (int i = 0; i + 1 < s.size(); ++i) {
        if (s[i] != '&') continue;
        if (s[i + 1] == '&') {
            ++i;
            continue;
        }
        return s[i + 1].toUpper().unicode();
    }
    return 0;
}

} // namespace

AnsiString StripAccelChars(const AnsiString& Caption) {
    AnsiString out;
    for (size_t i = 0; i < Caption.size(); ++i) {
        if (Caption[i] == '&') {
            if (i + 1 < Caption.size() && Caption[i + 1] == '&') {
                out += '&';
                ++i;
            }
            continue;
        }
        out += Caption[i];
    }
    return out;
}

// ---- TButton --------------------------------------------------------------

KV_PUBLISHED_METACLASS(TButton, &TWinControl::ClassInfo())

void TButton::Publish(TPublisher<TButton>& P) {
    P.Prop("Cancel", &TButton::GetCancel, &TButton::SetCancel).Default(false);
    P.Prop("Caption", &TControl::GetText, &TControl::SetText);
    P.Prop("Default", &TButton::GetDefault, &TButton::SetDefault).Default(false);
    P.Prop("ModalResult", &TButton::GetModalResult, &TButton::SetModalResult)
        .Default(0)
        .Idents(&ModalResultIdents());
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
}

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    ControlStyle >> csClickEvents; // Qt reports clicks
    SetTabStop(true);
    SetBounds(0, 0, 75, 25);
}

QWidget* TButton::CreateWidget(const TCreateParams& Params) {
    return new TControlWidget<QPushButton>(this, Params.WndParent);
}

void TButton::InitWidget() {
    TWinControl::InitWidget();
    auto* b = static_cast<QPushButton*>(FWidget);
    b->setText(Q(FText));
    b->setDefault(FDefault);
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, b, [this] { GuardedCall(this, [this] { Click(); }); });
}

void TButton::TextChanged() {
    if (FWidget) static_cast<QPushButton*>(FWidget)->setText(Q(FText));
}

void TButton::SetDefault(bool Value) {
    FDefault = Value;
    if (FWidget) static_cast<QPushButton*>(FWidget)->setDefault(Value);
}

void TButton::Click() {
    if (FModalResult != mrNone)
        if (TCustomForm* f = GetParentForm(this)) f->SetModalResult(FModalResult);
    TWinControl::Click();
}

void TButton::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGKEY)
        CMDialogKey(Message);
    else
        TWinControl::Dispatch(Message);
}

void TButton::CMDialogKey(TMessage& Message) {
    Word key = static_cast<Word>(Message.WParam);
    if (!KeyDataToShiftState(Message.LParam).Empty() || !CanFocus()) return;
    bool active = false;
    if (key == VK_RETURN) {
        // The focused button answers Return; otherwise the default one does.
        auto* focused = dynamic_cast<TButton*>(FindControl(QApplication::focusWidget()));
        active = focused ? focused == this : FDefault;
    }
    if ((key == VK_RETURN && active) || (key == VK_ESCAPE && FCancel)) {
        Click();
        Message.Result = 1;
    }
}

// ---- TCheckBox ------------------------------------------------------------

KV_PUBLISHED_METACLASS(TCheckBox, &TWinControl::ClassInfo())

void TCheckBox::Publish(TPublisher<TCheckBox>& P) {
    P.Prop("AllowGrayed", &TCheckBox::GetAllowGrayed, &TCheckBox::SetAllowGrayed).Default(false);
    P.Prop("Caption", &TControl::GetText, &TControl::SetText);
    P.Prop("Checked", &TCheckBox::GetChecked, &TCheckBox::SetChecked).Default(false).Stored(false);
    P.Prop("State", &TCheckBox::GetState, &TCheckBox::SetState).Default(cbUnchecked);
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
}

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
    ControlStyle >> csClickEvents;
    SetTabStop(true);
    SetBounds(0, 0, 97, 17);
}

QWidget* TCheckBox::CreateWidget(const TCreateParams& Params) {
    auto* box = new TControlWidget<QCheckBox>(this, Params.WndParent);
    box->setStyle(DesignedIndicatorStyle());
    return box;
}

void TCheckBox::InitWidget() {
    TWinControl::InitWidget();
    auto* b = static_cast<QCheckBox*>(FWidget);
    b->setText(Q(FText));
    b->setTristate(FAllowGrayed);
    b->setCheckState(FState == cbChecked  ? Qt::Checked
                     : FState == cbGrayed ? Qt::PartiallyChecked
                                          : Qt::Unchecked);
    QObject::connect(b, &QCheckBox::clicked, b, [this, b] {
        GuardedCall(this, [&] {
            Qt::CheckState s = b->checkState();
            SetState(s == Qt::Checked ? cbChecked : s == Qt::PartiallyChecked ? cbGrayed : cbUnchecked);
        });
    });
}

void TCheckBox::TextChanged() {
    if (FWidget) static_cast<QCheckBox*>(FWidget)->setText(Q(FText));
}

void TCheckBox::SetState(TCheckBoxState Value) {
    if (Value == cbGrayed && !FAllowGrayed) Value = cbUnchecked;
    if (Value == FState) return;
    FState = Value;
    if (FWidget) {
        auto* b = static_cast<QCheckBox*>(FWidget);
        QSignalBlocker block(b);
        b->setCheckState(Value == cbChecked  ? Qt::Checked
                         : Value == cbGrayed ? Qt::PartiallyChecked
                                             : Qt::Unchecked);
    }
    if (!IsLoading()) Click();
}

void TCheckBox::SetAllowGrayed(bool Value) {
    FAllowGrayed = Value;
    if (FWidget) static_cast<QCheckBox*>(FWidget)->setTristate(Value);
    if (!Value && FState == cbGrayed) SetState(cbUnchecked);
}

// ---- Labels ---------------------------------------------------------------

namespace {

template <class C> void PublishLabel(TPublisher<C>& P) {
    P.Prop("Alignment", &C::GetAlignment, &C::SetAlignment).Default(taLeftJustify);
    P.Prop("AutoSize", &C::GetAutoSize, &C::SetAutoSize).Default(true);
    P.Prop("Caption", &TControl::GetText, &TControl::SetText);
    P.Prop("FocusControl", &C::GetFocusControl, &C::SetFocusControl);
    P.Prop("ShowAccelChar", &C::GetShowAccelChar, &C::SetShowAccelChar).Default(true);
}

// Shared work of TCustomLabel and TStaticText on their QLabel.
struct LabelImpl {
    static void Update(QWidget* W, const AnsiString& Text, const TLabelSupport& L) {
        if (!W) return;
        auto* label = static_cast<QLabel*>(W);
        label->setTextFormat(Qt::PlainText);
        label->setText(Q(L.ShowAccelChar ? StripAccelChars(Text) : Text));
        label->setAlignment(QtAlignment(L.Alignment));
        label->setWordWrap(L.WordWrap);
    }
    static QSize TextSize(const AnsiString& Text, const TLabelSupport& L, const TFont& Font) {
        QFontMetrics fm(Font.ToQFont());
        QString s = Q(L.ShowAccelChar ? StripAccelChars(Text) : Text);
        QRect r =
            fm.boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::AlignTop, s.isEmpty() ? " " : s);
        return QSize(s.isEmpty() ? 0 : r.width(), r.height());
    }
    // Alt plus the accelerator letter gives the focus to the focus control.
    static bool DialogChar(TControl* Self, const TMessage& M, const TLabelSupport& L) {
        if (!L.ShowAccelChar || !L.FocusControl || !Self->GetVisible() || !Self->GetEnabled()) return false;
        TKeyChar want = AccelChar(Self->GetText());
        if (!want || static_cast<TKeyChar>(M.WParam) != want) return false;
        if (!L.FocusControl->CanFocus()) return false;
        L.FocusControl->SetFocus();
        return true;
    }
};

} // namespace

KV_PUBLISHED_ABSTRACT_METACLASS(TCustomLabel, &TGraphicControl::ClassInfo())
KV_METACLASS(TLabel, &TCustomLabel::ClassInfo())

void TCustomLabel::Publish(TPublisher<TCustomLabel>& P) {
    PublishLabel(P);
    P.Prop("WordWrap", &TCustomLabel::GetWordWrap, &TCustomLabel::SetWordWrap).Default(false);
}

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
    SetBounds(0, 0, 65, 17);
}

QWidget* TCustomLabel::CreateWidget(const TCreateParams& Params) {
    auto* w = new TControlWidget<QLabel>(this, Params.WndParent);
    w->setFocusPolicy(Qt::NoFocus);
    return w;
}

void TCustomLabel::InitWidget() {
    TGraphicControl::InitWidget();
    UpdateLabel();
}

void TCustomLabel::UpdateLabel() {
    LabelImpl::Update(FWidget, FText, FLabel);
}

void TCustomLabel::TextChanged() {
    UpdateLabel();
    AdjustBounds();
}

void TCustomLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustBounds();
}

void TCustomLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TCustomLabel::AdjustBounds() {
    if (!FLabel.AutoSize || FLabel.WordWrap || IsLoading() || !QGuiApplication::instance()) return;
    QSize s = LabelImpl::TextSize(FText, FLabel, *GetFont());
    SetBounds(GetLeft(), GetTop(), s.width(), s.height());
}

void TCustomLabel::SetFocusControl(TWinControl* Value) {
    if (Value == FLabel.FocusControl) return;
    if (FLabel.FocusControl) FLabel.FocusControl->RemoveFreeNotification(this);
    FLabel.FocusControl = Value;
    if (Value) Value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
    TGraphicControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FLabel.FocusControl) FLabel.FocusControl = nullptr;
}

void TCustomLabel::SetShowAccelChar(bool Value) {
    FLabel.ShowAccelChar = Value;
    TextChanged();
}
void TCustomLabel::SetAutoSize(bool Value) {
    FLabel.AutoSize = Value;
    AdjustBounds();
}
void TCustomLabel::SetWordWrap(bool Value) {
    FLabel.WordWrap = Value;
    UpdateLabel();
}
void TCustomLabel::SetAlignment(TAlignment Value) {
    FLabel.Alignment = Value;
    UpdateLabel();
}

void TCustomLabel::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGCHAR) {
        if (LabelImpl::DialogChar(this, Message, FLabel)) Message.Result = 1;
        return;
    }
    TGraphicControl::Dispatch(Message);
}

KV_PUBLISHED_METACLASS(TStaticText, &TWinControl::ClassInfo())

void TStaticText::Publish(TPublisher<TStaticText>& P) {
    PublishLabel(P);
}

TStaticText::TStaticText(TComponent* AOwner) : TWinControl(AOwner) {
    SetBounds(0, 0, 65, 17);
}

QWidget* TStaticText::CreateWidget(const TCreateParams& Params) {
    auto* w = new TControlWidget<QLabel>(this, Params.WndParent);
    return w;
}

void TStaticText::InitWidget() {
    TWinControl::InitWidget();
    FWidget->setFocusPolicy(Qt::NoFocus);
    UpdateLabel();
}

void TStaticText::UpdateLabel() {
    LabelImpl::Update(FWidget, FText, FLabel);
}

void TStaticText::TextChanged() {
    UpdateLabel();
    AdjustBounds();
}

void TStaticText::FontChanged() {
    TWinControl::FontChanged();
    AdjustBounds();
}

void TStaticText::Loaded() {
    TWinControl::Loaded();
    AdjustBounds();
}

void TStaticText::AdjustBounds() {
    if (!FLabel.AutoSize || IsLoading() || !QGuiApplication::instance()) return;
    QSize s = LabelImpl::TextSize(FText, FLabel, *GetFont());
    SetBounds(GetLeft(), GetTop(), s.width(), s.height());
}

void TStaticText::SetFocusControl(TWinControl* Value) {
    if (Value == FLabel.FocusControl) return;
    if (FLabel.FocusControl) FLabel.FocusControl->RemoveFreeNotification(this);
    FLabel.FocusControl = Value;
    if (Value) Value->FreeNotification(this);
}

void TStaticText::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FLabel.FocusControl) FLabel.FocusControl = nullptr;
}

void TStaticText::SetShowAccelChar(bool Value) {
    FLabel.ShowAccelChar = Value;
    TextChanged();
}
void TStaticText::SetAutoSize(bool Value) {
    FLabel.AutoSize = Value;
    AdjustBounds();
}
void TStaticText::SetAlignment(TAlignment Value) {
    FLabel.Alignment = Value;
    UpdateLabel();
}

void TStaticText::Dispatch(TMessage& Message) {
    if (Message.Msg == CM_DIALOGCHAR) {
        if (LabelImpl::DialogChar(this, Message, FLabel)) Message.Result = 1;
        return;
    }
    TWinControl::Dispatch(Message);
}
