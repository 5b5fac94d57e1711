#include "DateEditKV.h"

#include "DateUtils.h"
#include "FormatSettings.h"
#include "Forms.h"
#include "SelectDateKV.h"
#include "Utilskv.h"

#include <memory>

KV_PUBLISHED_METACLASS(TDateEditKV, &TCustomControl::ClassInfo())

namespace {

// The calendar on the lookup button, in sixteen colours: a normal and a
// disabled image of 14 x 13 side by side on the transparent grey.
const char* const BtnCalendarXpm[] = {
    "28 13 5 1",
    ". c #C0C0C0",
    "k c #000000",
    "n c #000080",
    "w c #FFFFFF",
    "g c #808080",
    "...k......k......g......g...",
    ".kkkkkkkkkkkk..gggggggggggg.",
    ".knnnnnnnnnnk..ggggggggggggw",
    ".knnnnnnnnnnk..ggggggggggggw",
    ".kwwwwwwwwwwk..gwwwwwwwwwwgw",
    ".kwkkwkkwkkwk..gwgg.gg.gg.gw",
    ".kwwwwwwwwwwk..gw.ww.ww.wwgw",
    ".kwkkwkkwkkwk..gwgg.gg.gg.gw",
    ".kwwwwwwwwwwk..gw.ww.ww.wwgw",
    ".kwkkwkkwkkwk..gwgg.gg.gg.gw",
    ".kwwwwwwwwwwk..gw.ww.ww.wwgw",
    ".kkkkkkkkkkkk..ggggggggggggw",
    "................wwwwwwwwwwww",
};

QImage DrawBtnCalendar() {
    return QImage(BtnCalendarXpm);
}

} // namespace

KV_BITMAP_RESOURCE(BTNCALENDAR, DrawBtnCalendar)

namespace {

const char* const InvalidDateMessage = "Bitte geben Sie ein gültiges Datum ein";

AnsiString TwoDigits(int Value) {
    return Format("%.2d", {Value});
}

AnsiString FourDigits(int Value) {
    return Format("%.4d", {Value});
}

} // namespace

void TDateEditKV::Publish(TPublisher<TDateEditKV>& P) {
    P.Prop("MarginLeft", &TDateEditKV::GetMarginLeft, &TDateEditKV::SetMarginLeft).Default(0);
    P.Prop("MarginTop", &TDateEditKV::GetMarginTop, &TDateEditKV::SetMarginTop).Default(0);
    P.Prop("HandleInvDate", &TDateEditKV::GetHandleInvDate, &TDateEditKV::SetHandleInvDate).Default(true);
    P.Prop("EnableLookup", &TDateEditKV::GetEnableLookup, &TDateEditKV::SetEnableLookup).Default(false);
    P.Prop("ReadOnly", &TDateEditKV::GetReadOnly, &TDateEditKV::SetReadOnly).Default(false);
    P.Prop("BorderStyle", &TDateEditKV::GetBorderStyle, &TDateEditKV::SetBorderStyle).Default(bsSingle);
    P.Prop("OnChange", &TDateEditKV::OnChange, &TDateEditKV::OnChange);
    // The framework's, with this control's defaults.
    P.Prop("Color", &TControl::GetColor, &TControl::SetColor)
        .Default(clWindow)
        .Idents(&ColorIdents())
        .StoredIf([](const TDateEditKV& c) { return !c.GetParentColor(); });
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
}

TDateEditKV::TDateEditKV(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(GetLeft(), GetTop(), 68, 21);
    SetTabStop(true);
    SetParentColor(false);
    SetColor(clWindow);
}

TDateEditKV::~TDateEditKV() {
    SetSubEdit(false);
    delete FLookupButton;
}

// ---- The date -------------------------------------------------------------

int TDateEditKV::SubFieldValue(int Index) const {
    return StrToIntDef(FSubFields[Index], 0);
}

void TDateEditKV::SetSubFieldValue(int Index, int Value) {
    FSubFields[Index] = Index == 2 ? FourDigits(Value) : TwoDigits(Value);
}

TDateTime TDateEditKV::GetDate() const {
    return EncodeDate(SubFieldValue(2), SubFieldValue(1), SubFieldValue(0));
}

void TDateEditKV::SetDate(TDateTime Value) {
    int year, month, day;
    DecodeDate(Value, year, month, day);
    SetSubFieldValue(0, day);
    SetSubFieldValue(1, month);
    SetSubFieldValue(2, year);
    Invalidate();
}

bool TDateEditKV::IsEmpty() const {
    return FSubFields[0].empty() && FSubFields[1].empty() && FSubFields[2].empty();
}

bool TDateEditKV::IsValid() const {
    try {
        GetDate();
        return true;
    } catch (const EConvertError&) {
        return false;
    }
}

void TDateEditKV::Clear() {
    SetSubEdit(false);
    for (int i = 0; i < FSubFieldCount; ++i)
        DeleteSubField(i);
}

void TDateEditKV::DoChange() {
    if (OnChange) OnChange(this);
}

void TDateEditKV::Changed() {
    FModified = true;
    DoChange();
}

int TDateEditKV::GetCurrentYear() const {
    int year, month, day;
    DecodeDate(Date(), year, month, day);
    return year;
}

int TDateEditKV::MonthOfText() const {
    int month = SubFieldValue(1);
    return month >= 1 && month <= 12 ? month : 0;
}

int TDateEditKV::DaysOfMonthInText(int Month) const {
    return FSubFields[2].empty() ? DaysInMonth(1, Month) : DaysInMonth(SubFieldValue(2), Month);
}

// ---- Drawing --------------------------------------------------------------

QPoint TDateEditKV::GetSubFieldPos(int Index) const {
    int w = GetCanvas()->TextWidth("0");
    int border = FBorderStyle != bsNone ? 1 : 0;
    int x = FMarginLeft + border;
    if (Index >= 1) x += 2 * w + 6;
    if (Index >= 2) x += 2 * w + 6;
    return QPoint(x, FMarginTop + border);
}

void TDateEditKV::DrawSubField(int Index) {
    TCanvas* canvas = GetCanvas();
    int w = canvas->TextWidth("0"), h = canvas->TextHeight("0");
    if (Focused() && Index == FCurrentSubField && !FSubEdit) {
        canvas->GetBrush()->SetColor(clHighlight);
        canvas->GetFont()->SetColor(clHighlightText);
    } else {
        canvas->GetBrush()->SetColor(GetColor());
        canvas->GetFont()->SetColor(GetFont()->GetColor());
    }
    QPoint pos = GetSubFieldPos(Index);
    const AnsiString& text = FSubFields[Index];
    int x = pos.x();
    int blank = FSubFieldWidths[Index] - static_cast<int>(text.size());
    if (blank > 0) {
        // Texts stand at the right of their slot.
        canvas->FillRect(Bounds(x, pos.y(), blank * w, h));
        x += blank * w;
    }
    canvas->TextOut(x, pos.y(), text);
    canvas->FillRect(Bounds(canvas->GetPenPos().x(), pos.y(), 1, h));
}

void TDateEditKV::DrawSeperator(int Index) {
    TCanvas* canvas = GetCanvas();
    canvas->GetBrush()->SetColor(GetColor());
    canvas->GetFont()->SetColor(GetFont()->GetColor());
    QPoint pos = GetSubFieldPos(Index);
    canvas->TextOut(pos.x() + 2 * canvas->TextWidth("0") + 2, pos.y() - 1, FormatSettings().DateSeparator);
}

void TDateEditKV::DrawControl() {
    DrawSubField(0);
    DrawSeperator(0);
    DrawSubField(1);
    DrawSeperator(1);
    DrawSubField(2);
}

void TDateEditKV::Paint() {
    DrawControl();
}

// ---- Sub-fields -----------------------------------------------------------

void TDateEditKV::SetSubEdit(bool Value) {
    if (Value == FSubEdit) return;
    FSubEdit = Value;
    if (Value) {
        TCanvas* canvas = GetCanvas();
        QPoint pos = GetSubFieldPos(FCurrentSubField);
        CreateCaret(this, 2 * GetSystemMetrics(SM_CXBORDER), canvas->TextHeight("0"));
        SetCaretPos(pos.x() + canvas->TextWidth(AnsiString(FSubFieldWidths[FCurrentSubField], '0')), pos.y());
        ShowCaret(this);
    } else {
        HideCaret(this);
        DestroyCaret();
        ReformatSubField();
    }
    Invalidate();
}

void TDateEditKV::ReformatSubField() {
    AnsiString& text = FSubFields[FCurrentSubField];
    AnsiString old = text;
    int width = FSubFieldWidths[FCurrentSubField];
    if (FCurrentSubField == 2 && (text.size() == 1 || text.size() == 2)) {
        // A two-digit year: 51 to 99 are 1951 to 1999, 0 to 50 are 2000 to 2050.
        int n = StrToIntDef(text, 0);
        text = n > 50 ? "19" + IntToStr(n) : "20" + TwoDigits(n);
    } else if (!text.empty() && static_cast<int>(text.size()) < width) {
        text = AnsiString(static_cast<size_t>(width) - text.size(), '0') + text;
    }
    if (text != old) DrawSubField(FCurrentSubField);
}

void TDateEditKV::ReformatField() {
    if (!IsEmpty()) {
        try {
            SetDate(GetDate());
        } catch (EConvertError& e) {
            Invalidate();
            if (!FHandleInvDate) return; // the texts stay as typed
            e.SetMessage(InvalidDateMessage);
            SetFocus();
            throw;
        }
    }
    Invalidate();
}

void TDateEditKV::FillPrevEmptySubFields() {
    for (int i = 0; i < FCurrentSubField; ++i)
        if (FSubFields[i].empty()) {
            FSubFields[i] = "01";
            DrawSubField(i);
        }
}

void TDateEditKV::DeleteSubField(int Index) {
    FSubFields[Index].clear();
    DrawSubField(Index);
}

void TDateEditKV::IncrementDate() {
    FillPrevEmptySubFields();
    int i = FCurrentSubField;
    int v = i == 2 && FSubFields[2].empty() ? GetCurrentYear() : SubFieldValue(i);
    for (;;) {
        ++v;
        int maximum = i == 1 ? 12 : i == 2 ? 9999 : 31;
        if (i == 0 && MonthOfText() != 0) maximum = DaysOfMonthInText(MonthOfText());
        if (v <= maximum) {
            SetSubFieldValue(i, v);
            DrawSubField(i);
            return;
        }
        SetSubFieldValue(i, i == 2 ? 0 : 1);
        DrawSubField(i);
        if (i + 1 >= FSubFieldCount || FSubFields[i + 1].empty()) return;
        ++i; // carry
        v = SubFieldValue(i);
    }
}

void TDateEditKV::DecrementDate() {
    FillPrevEmptySubFields();
    int i = FCurrentSubField;
    int v = i == 2 && FSubFields[2].empty() ? GetCurrentYear() : SubFieldValue(i);
    for (;;) {
        --v;
        if (v >= (i == 2 ? 0 : 1)) {
            SetSubFieldValue(i, v);
            DrawSubField(i);
            return;
        }
        int wrap = i == 1 ? 12 : i == 2 ? 9999 : 31;
        if (i == 0 && MonthOfText() != 0)
            wrap = DaysOfMonthInText(MonthOfText() == 1 ? 12 : MonthOfText() - 1);
        SetSubFieldValue(i, wrap);
        DrawSubField(i);
        if (i + 1 >= FSubFieldCount || FSubFields[i + 1].empty()) return;
        ++i; // borrow
        v = SubFieldValue(i);
    }
}

// ---- Keys and mouse -------------------------------------------------------

void TDateEditKV::MoveRight() {
    Word key = VK_RIGHT;
    KeyDown(key, TShiftState{});
}

void TDateEditKV::KeyDown(Word& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    int old = FCurrentSubField;
    switch (Key) {
    case VK_RETURN:
        SetSubEdit(!FSubEdit);
        DrawSubField(FCurrentSubField);
        break;
    case VK_LEFT:
        SetSubEdit(false);
        if (FCurrentSubField > 0) --FCurrentSubField;
        DrawSubField(old);
        DrawSubField(FCurrentSubField);
        break;
    case VK_RIGHT:
        SetSubEdit(false);
        if (FCurrentSubField < FSubFieldCount - 1) ++FCurrentSubField;
        DrawSubField(old);
        DrawSubField(FCurrentSubField);
        break;
    case VK_UP:
        if (FReadOnly) break;
        IncrementDate();
        Changed();
        break;
    case VK_DOWN:
        if (FReadOnly) break;
        DecrementDate();
        Changed();
        break;
    case VK_DELETE:
        if (FReadOnly) break;
        if (Shift.Contains(ssCtrl)) {
            Clear();
            Changed();
        } else if (!FSubEdit) {
            DeleteSubField(FCurrentSubField);
            Changed();
        }
        break;
    default:
        break;
    }
}

void TDateEditKV::KeyPress(TKeyChar& Key) {
    TCustomControl::KeyPress(Key);
    AnsiString& text = FSubFields[FCurrentSubField];
    int length = static_cast<int>(text.size());
    int width = FSubFieldWidths[FCurrentSubField];
    if (Key == 0 || Key == 13) return;
    if (Key == ' ') {
        if (FSubEdit && length > 0) {
            MessageBeep(0);
            return;
        }
        if (FReadOnly) return;
        int today[3];
        DecodeDate(Date(), today[2], today[1], today[0]);
        for (int i = 0; i <= FCurrentSubField; ++i)
            if (i == FCurrentSubField || FSubFields[i].empty()) {
                SetSubFieldValue(i, today[i]);
                DrawSubField(i);
            }
        MoveRight();
        Changed();
    } else if (Key == 8) {
        if (FReadOnly) return;
        if (!FSubEdit) {
            DeleteSubField(FCurrentSubField);
        } else if (length == 1) {
            text.clear();
            SetSubEdit(false);
            DrawSubField(FCurrentSubField);
        } else {
            if (length > 0) text.pop_back();
            Invalidate();
        }
        Changed();
    } else if (Key == '+' || Key == '-') {
        if (FReadOnly) return;
        if (Key == '+')
            IncrementDate();
        else
            DecrementDate();
        Changed();
    } else if (Key >= '0' && Key <= '9') {
        char digit = static_cast<char>(Key);
        if (!FSubEdit || length == 0) {
            // The first digit of a sub-field.
            if (FReadOnly) return;
            FillPrevEmptySubFields();
            if ((FCurrentSubField == 0 && digit > '3') || (FCurrentSubField == 1 && digit > '1')) {
                text = AnsiString("0") + digit; // no second digit could follow
                MoveRight();
            } else {
                text = AnsiString(1, digit);
                SetSubEdit(true);
                Invalidate();
            }
            Changed();
            return;
        }
        // Further digits: 32 to 39 and 13 to 19 cannot be typed.
        bool refused = length >= width ||
                       (length == 1 && FCurrentSubField == 0 && text[0] > '2' && digit > '1') ||
                       (length == 1 && FCurrentSubField == 1 && text[0] > '0' && digit > '2');
        if (refused) {
            MessageBeep(0);
            return;
        }
        if (FReadOnly) return;
        FillPrevEmptySubFields();
        text += digit;
        if (static_cast<int>(text.size()) == width)
            MoveRight();
        else
            DrawSubField(FCurrentSubField);
        Changed();
    } else {
        MessageBeep(0);
    }
}

void TDateEditKV::WMLButtonDown(TMessage& Message) {
    int x = MouseX(Message);
    int clicked = x < GetSubFieldPos(1).x() - 2 ? 0 : x < GetSubFieldPos(2).x() - 2 ? 1 : 2;
    if (clicked == FCurrentSubField) {
        SetSubEdit(!FSubEdit);
    } else {
        SetSubEdit(false);
        FCurrentSubField = clicked;
    }
    Invalidate();
    TCustomControl::Dispatch(Message);
}

void TDateEditKV::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) SetFocus();
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TDateEditKV::WMSetFocus(TMessage& Message) {
    SetSubEdit(false);
    TCustomControl::Dispatch(Message);
    DrawSubField(FCurrentSubField);
}

void TDateEditKV::WMKillFocus(TMessage& Message) {
    SetSubEdit(false);
    TCustomControl::Dispatch(Message);
    DrawSubField(FCurrentSubField);
}

void TDateEditKV::WMGetDlgCode(TMessage& Message) {
    TCustomControl::Dispatch(Message);
    Message.Result |= DLGC_WANTCHARS;
}

void TDateEditKV::CMWantSpecialKey(TMessage& Message) {
    TCustomControl::Dispatch(Message);
    Word key = static_cast<Word>(Message.WParam);
    if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) Message.Result = 1;
}

void TDateEditKV::CMExit(TMessage& Message) {
    TCustomControl::Dispatch(Message);
    ReformatField();
    FCurrentSubField = 0;
}

// ---- Window, border and button --------------------------------------------

void TDateEditKV::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    AddBorderStyle(Params, FBorderStyle, GetCtl3D());
}

void TDateEditKV::SetBorderStyle(TBorderStyle Value) {
    if (Value != bsNone && Value != bsSingle) return;
    if (Value == FBorderStyle) return;
    FBorderStyle = Value;
    RecreateWnd();
}

void TDateEditKV::CMCtl3DChanged(TMessage& Message) {
    if (NewStyleControls && FBorderStyle == bsSingle) RecreateWnd();
    TCustomControl::Dispatch(Message);
}

void TDateEditKV::SetMarginLeft(int Value) {
    if (Value == FMarginLeft) return;
    FMarginLeft = Value;
    Invalidate();
}

void TDateEditKV::SetMarginTop(int Value) {
    if (Value == FMarginTop) return;
    FMarginTop = Value;
    Invalidate();
}

void TDateEditKV::SetEnableLookup(bool Value) {
    if (Value == FEnableLookup) return;
    FEnableLookup = Value;
    if (Value) {
        FLookupButton = new TSpeedButton(this);
        FLookupButton->SetParent(this);
        FLookupButton->SetTop(0);
        FLookupButton->SetEnabled(true);
        FLookupButton->SetNumGlyphs(2);
        FLookupButton->SetMargin(-1);
        FLookupButton->SetWidth(19);
        FLookupButton->SetHeight(GetClientHeight());
        FLookupButton->SetLayout(blGlyphLeft);
        FLookupButton->OnClick = [this](TObject* Sender) { ClickBtn(Sender); };
        FLookupButton->GetGlyph()->LoadFromResourceName("BTNCALENDAR");
        ResizeButton();
    } else {
        delete FLookupButton;
        FLookupButton = nullptr;
    }
}

void TDateEditKV::ResizeButton() {
    if (!FLookupButton) return;
    FLookupButton->SetBounds(GetClientWidth() - FLookupButton->GetWidth(), FLookupButton->GetTop(),
                             FLookupButton->GetWidth(), GetClientHeight());
}

void TDateEditKV::WMSize(TMessage& Message) {
    TCustomControl::Dispatch(Message);
    ResizeButton();
}

void TDateEditKV::ClickBtn(TObject*) {
    SetSubEdit(false); // a half-typed year is completed first: the pop-up shows what the user sees
    auto popup = std::make_unique<TSelectDateKV>(this);
    TDateTime date;
    try {
        date = GetDate();
    } catch (const EConvertError&) {
        date = Date();
    }
    popup->Cal1->SetCalendarDate(date);
    // Under the control, left edges lined up; at the screen's right edge the
    // right edges line up instead, and at its bottom the pop-up goes above.
    QPoint at = GetParent() ? GetParent()->ClientToScreen(QPoint(GetLeft(), GetTop() + GetHeight()))
                            : ClientToScreen(QPoint(0, GetHeight()));
    int x = at.x(), y = at.y();
    if (x + popup->GetWidth() > Screen->GetWidth()) x -= popup->GetWidth() - GetWidth();
    if (y + popup->GetHeight() > Screen->GetHeight()) y = at.y() - GetHeight() - popup->GetHeight();
    popup->SetBounds(x, y, popup->GetWidth(), popup->GetHeight());
    popup->Show();
    popup.release(); // the pop-up releases itself when it closes
}

namespace Dateeditkv {

void Register() {
    RegisterComponents("KV", {&TDateEditKV::ClassInfo()});
}

} // namespace Dateeditkv
