#include "CustomEditKV.h"

#include "Clipbrd.h"
#include "FormatSettings.h"
#include "Forms.h"
#include "ShellAPI.h"
#include "Utilskv.h"

#include <QApplication>
#include <QChar>

#include <cctype>
#include <climits>

KV_PUBLISHED_ABSTRACT_METACLASS(TCustomEditKV, &TMemo::ClassInfo())

void TCustomEditKV::Publish(TPublisher<TCustomEditKV>& P) {
    P.Prop("ValidData", &TCustomEditKV::GetValidData, &TCustomEditKV::SetValidData).Default(TValidDataSet{});
    P.Prop("ValidDataString", &TCustomEditKV::GetValidDataString, &TCustomEditKV::SetValidDataString);
    P.Prop("MultiLine", &TCustomEditKV::GetMultiLine, &TCustomEditKV::SetMultiLine).Default(true);
    P.Prop("ResetSelection", &TCustomEditKV::GetResetSelection, &TCustomEditKV::SetResetSelection)
        .Default(false);
    P.Prop("AcceptDropFiles", &TCustomEditKV::GetAcceptDropFiles, &TCustomEditKV::SetAcceptDropFiles)
        .Default(false);
    P.Prop("MarginLeft", &TCustomEditKV::GetMarginLeft, &TCustomEditKV::SetMarginLeft).Default(0);
    P.Prop("MarginRight", &TCustomEditKV::GetMarginRight, &TCustomEditKV::SetMarginRight).Default(0);
    P.Prop("MarginTop", &TCustomEditKV::GetMarginTop, &TCustomEditKV::SetMarginTop).Default(0);
    P.Prop("MarginBottom", &TCustomEditKV::GetMarginBottom, &TCustomEditKV::SetMarginBottom).Default(0);
    P.Prop("TabPos", &TCustomEditKV::GetTabPos, &TCustomEditKV::SetTabPos);
    P.Prop("AutoSelect", &TCustomEdit::GetAutoSelect, &TCustomEditKV::SetAutoSelect).Default(true);
    P.Prop("PasswordChar", &TCustomEdit::GetPasswordChar, &TCustomEditKV::SetPasswordChar).Default('\0');
    P.Prop("WordWrap", &TCustomMemo::GetWordWrap, &TCustomEditKV::SetWordWrap).Default(true);
    P.Prop("WantTabs", &TCustomMemo::GetWantTabs, &TCustomEditKV::SetWantTabs).Default(false);
    P.Prop("WantReturns", &TCustomMemo::GetWantReturns, &TCustomEditKV::SetWantReturns).Default(true);
    P.Prop("Text", &TControl::GetText, &TControl::SetText).Stored(false); // the lines are stored
    P.Prop("OnDropFiles", &TCustomEditKV::OnDropFiles, &TCustomEditKV::OnDropFiles);
    P.Prop("CharCase", &TCustomEdit::GetCharCase, &TCustomEdit::SetCharCase).Default(ecNormal);
}

TCustomEditKV::TCustomEditKV(TComponent* AOwner) : TMemo(AOwner) {
    FMultiLine = false; // so that the setter runs its coupling
    SetMultiLine(true);
    FResetSelection = true;
    SetResetSelection(false);
}

TCustomEditKV::~TCustomEditKV() = default;

// ---- Filtering ------------------------------------------------------------

namespace {

// Single characters compared as the platform's upper-casing of one
// character does: one character to one character.
char32_t UpperChar(char32_t C) {
    return QChar::toUpper(C);
}

bool IsSeparator(TKeyChar Key, const AnsiString& Separator) {
    return !Separator.empty() && KeyCharToStr(Key) == Separator;
}

} // namespace

bool TCustomEditKV::IsValidChar(TKeyChar Key) {
    if (Key == 8 || Key == 22 || Key == 24) return true;
    if (Key == 9 || Key == 10 || Key == 13) return FMultiLine;
    if (FValidData.Empty() && FValidDataString.empty()) return true;
    if (FValidData.Contains(vdNumeric) && Key >= '0' && Key <= '9') return true;
    if (FValidData.Contains(vdAlpha) && ((Key >= 'A' && Key <= 'Z') || (Key >= 'a' && Key <= 'z')))
        return true;
    char32_t upper = UpperChar(Key);
    for (uint c : QString::fromStdString(FValidDataString).toUcs4())
        if (UpperChar(c) == upper) return true;
    if (FValidData.Contains(vdSign) && (Key == '-' || Key == '+')) return true;
    const TFormatSettings& f = FormatSettings();
    if (FValidData.Contains(vdDecSeparator) && IsSeparator(Key, f.DecimalSeparator)) return true;
    if (FValidData.Contains(vdThsSeparator) && IsSeparator(Key, f.ThousandSeparator)) return true;
    if (FValidData.Contains(vdDateSeparator) && IsSeparator(Key, f.DateSeparator)) return true;
    if (FValidData.Contains(vdTimeSeparator) && IsSeparator(Key, f.TimeSeparator)) return true;
    return false;
}

bool TCustomEditKV::IsValidText(const AnsiString& Text) {
    for (uint c : QString::fromStdString(Text).toUcs4())
        if (!IsValidChar(c)) return false;
    return true;
}

void TCustomEditKV::ReplaceTextA(bool CanUndo, const AnsiString& Text) {
    if (!IsValidText(Text)) return;
    Perform(EM_REPLACESEL, CanUndo ? 1 : 0, reinterpret_cast<LPARAM>(Text.c_str()));
}

void TCustomEditKV::KeyDown(Word& Key, TShiftState Shift) {
    TMemo::KeyDown(Key, Shift);
}

void TCustomEditKV::KeyPress(TKeyChar& Key) {
    TMemo::KeyPress(Key);
    if (!IsValidChar(Key)) {
        MessageBeep(0);
        Key = 0;
    }
}

void TCustomEditKV::WMPaste(TMessage& Message) {
    // A read-only edit takes nothing, not even by the replacing route below.
    if (GetReadOnly()) return;
    if (!Clipboard().HasFormat(CF_TEXT)) return;
    AnsiString text = Clipboard().GetAsText();
    bool shortened = false;
    if (!FMultiLine) {
        size_t cut = text.find_first_of("\r\n\t");
        if (cut != AnsiString::npos) {
            text.erase(cut);
            shortened = true;
        }
    }
    AnsiString taken = PasteText(text);
    if (taken.size() != text.size()) {
        text = taken;
        shortened = true;
    }
    if (!IsValidText(text)) return;
    if (shortened)
        ReplaceTextA(true, text);
    else
        TMemo::Dispatch(Message);
}

// ---- Caret, margins and tab stops ------------------------------------------

QPoint TCustomEditKV::GetCaretPosPix() {
    QPoint p;
    GetCaretPixelPos(this, p);
    return p;
}

void TCustomEditKV::SetEditRect() {
    if (!GetParent() || !GetParent()->HandleAllocated()) return;
    if (GetPasswordChar()) {
        Perform(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MakeLParam(FMarginLeft, FMarginRight));
        return;
    }
    QRect r(QPoint(FMarginLeft, FMarginTop),
            QPoint(GetClientWidth() - FMarginRight - 1, GetClientHeight() - FMarginBottom - 1));
    Perform(EM_SETRECT, 0, reinterpret_cast<LPARAM>(&r));
}

std::vector<int> ParseTabStops(const AnsiString& TabText) {
    std::vector<int> stops;
    size_t i = 0;
    for (;;) {
        // As atol reads: blanks, a sign, digits; here saturated, not overflowed.
        while (i < TabText.size() && std::isspace(static_cast<unsigned char>(TabText[i])))
            ++i;
        bool negative = false;
        if (i < TabText.size() && (TabText[i] == '+' || TabText[i] == '-')) negative = TabText[i++] == '-';
        long long value = 0;
        for (; i < TabText.size() && TabText[i] >= '0' && TabText[i] <= '9'; ++i)
            value = std::min<long long>(value * 10 + (TabText[i] - '0'), INT_MAX);
        stops.push_back(negative ? 0 : std::min(static_cast<int>(value), MaxTabStop));
        // The rest of the part up to the next separator does not count.
        while (i < TabText.size() && TabText[i] != ',' && TabText[i] != ';')
            ++i;
        if (i == TabText.size()) break;
        ++i;
    }
    return stops;
}

void TCustomEditKV::SetTabStopMsg(const AnsiString& TabText) {
    if (!GetParent() || !GetParent()->HandleAllocated()) return;
    if (TabText.empty()) {
        Perform(EM_SETTABSTOPS, 0, 0);
        return;
    }
    std::vector<int> stops = ParseTabStops(TabText);
    Perform(EM_SETTABSTOPS, stops.size(), reinterpret_cast<LPARAM>(stops.data()));
}

void TCustomEditKV::SetTabPos(const AnsiString& Value) {
    if (Value == FTabPos) return;
    FTabPos = Value;
    SetTabStopMsg(Value);
    Invalidate();
}

void TCustomEditKV::SetMargin(int& Margin, int Value) {
    if (Value == Margin) return;
    Margin = Value;
    if (Value == -1)
        RecreateWnd(); // the new window applies the margins from scratch
    else
        SetEditRect();
}

void TCustomEditKV::SetMarginLeft(int Value) {
    SetMargin(FMarginLeft, Value);
}
void TCustomEditKV::SetMarginTop(int Value) {
    SetMargin(FMarginTop, Value);
}
void TCustomEditKV::SetMarginRight(int Value) {
    SetMargin(FMarginRight, Value);
}
void TCustomEditKV::SetMarginBottom(int Value) {
    SetMargin(FMarginBottom, Value);
}

void TCustomEditKV::WMSize(TMessage& Message) {
    TMemo::Dispatch(Message);
    if (FMarginLeft || FMarginTop || FMarginRight || FMarginBottom) SetEditRect();
}

// ---- Modes and their coupling ----------------------------------------------

void TCustomEditKV::SetMultiLine(bool Value) {
    if (Value == FMultiLine) return;
    FMultiLine = Value;
    if (Value) {
        SetPasswordChar(0);
    } else {
        SetWordWrap(false);
        SetWantTabs(false);
        SetWantReturns(false);
        SetTabPos(AnsiString());
    }
}

void TCustomEditKV::SetPasswordChar(char Value) {
    char old = GetPasswordChar();
    if (Value == old) return;
    TMemo::SetPasswordChar(Value);
    if (Value) {
        SetMultiLine(false);
        FMarginTop = 0;
        FMarginBottom = 0;
    }
    // Only a single-line window hides its text, only a multi-line one wraps.
    if ((Value == 0) != (old == 0)) RecreateWnd();
}

void TCustomEditKV::SetWordWrap(bool Value) {
    if (Value == GetWordWrap()) return;
    TMemo::SetWordWrap(Value);
    if (Value && !FMultiLine) SetMultiLine(true);
}

void TCustomEditKV::SetWantTabs(bool Value) {
    if (Value == GetWantTabs()) return;
    TMemo::SetWantTabs(Value);
    if (Value && !FMultiLine) SetMultiLine(true);
}

void TCustomEditKV::SetWantReturns(bool Value) {
    if (Value == GetWantReturns()) return;
    TMemo::SetWantReturns(Value);
    if (Value && !FMultiLine) SetMultiLine(true);
}

void TCustomEditKV::SetResetSelection(bool Value) {
    if (Value == FResetSelection) return;
    FResetSelection = Value;
    if (Value && GetAutoSelect()) SetAutoSelect(false);
}

void TCustomEditKV::SetAutoSelect(bool Value) {
    if (Value == GetAutoSelect()) return;
    TMemo::SetAutoSelect(Value);
    if (Value && FResetSelection) SetResetSelection(false);
}

void TCustomEditKV::CMEnter(TMessage& Message) {
    // A click into the control keeps the caret where the click put it.
    if (GetAutoSelect() && !(QApplication::mouseButtons() & Qt::LeftButton)) SelectAll();
    TMemo::Dispatch(Message);
}

void TCustomEditKV::CMExit(TMessage& Message) {
    if (FResetSelection) {
        SetSelStart(0);
        Perform(EM_SCROLLCARET);
    }
    TMemo::Dispatch(Message);
}

// ---- Window -----------------------------------------------------------------

void TCustomEditKV::CreateParams(TCreateParams& Params) {
    TMemo::CreateParams(Params);
    if (GetPasswordChar()) Params.Style &= ~ES_MULTILINE;
}

void TCustomEditKV::CreateWnd() {
    TMemo::CreateWnd();
    SetEditRect();
    SetTabStopMsg(FTabPos);
    if (FAcceptDropFiles) DragAcceptFiles(GetHandle(), true);
}

void TCustomEditKV::DestroyWnd() {
    if (FAcceptDropFiles && HandleAllocated()) DragAcceptFiles(GetHandle(), false);
    TMemo::DestroyWnd();
}

// ---- Dropped files ---------------------------------------------------------

void TCustomEditKV::SetAcceptDropFiles(bool Value) {
    if (Value == FAcceptDropFiles) return;
    FAcceptDropFiles = Value;
    if (HandleAllocated()) DragAcceptFiles(GetHandle(), Value);
}

void TCustomEditKV::WMDropFiles(TMessage& Message) {
    TMemo::Dispatch(Message);
    if (TakeDroppedFiles(reinterpret_cast<HDROP>(Message.WParam), FAcceptDropFiles, FDropFilesList) &&
        OnDropFiles)
        OnDropFiles(this);
}
