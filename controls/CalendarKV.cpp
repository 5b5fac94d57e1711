#include "CalendarKV.h"

#include "DateUtils.h"
#include "FormatSettings.h"
#include "Utilskv.h"

#include <algorithm>

KV_PUBLISHED_METACLASS(TCalendarKV, &TCustomGrid::ClassInfo())

void TCalendarKV::Publish(TPublisher<TCalendarKV>& P) {
    // The framework's properties with the grid's defaults.
    P.Prop("BorderStyle", &TCustomGrid::GetBorderStyle, &TCustomGrid::SetBorderStyle).Default(bsSingle);
    P.Prop("Color", &TControl::GetColor, &TControl::SetColor)
        .Default(clWindow)
        .Idents(&ColorIdents())
        .StoredIf([](const TCalendarKV& c) { return !c.GetParentColor(); });
    P.Prop("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
    // Its own.
    P.Prop("OnDrawCell", &TCalendarKV::OnDrawCell, &TCalendarKV::OnDrawCell);
    P.Prop("HeaderColor", &TCalendarKV::GetHeaderColor, &TCalendarKV::SetHeaderColor)
        .Default(clBtnFace)
        .Idents(&ColorIdents());
    P.Prop("HeaderHeight", &TCalendarKV::GetHeaderHeight, &TCalendarKV::SetHeaderHeight).Default(-1);
    P.Prop("DaySelection", &TCalendarKV::GetDaySelection, &TCalendarKV::SetDaySelection).Default(true);
    P.Prop("DiffHeaderFont", &TCalendarKV::GetDiffHeaderFont, &TCalendarKV::SetDiffHeaderFont).Default(false);
    P.Prop("HeaderFont", &TCalendarKV::GetHeaderFont, &TCalendarKV::SetHeaderFont)
        .Stored(&TCalendarKV::IsHeaderFontStored);
    P.Prop("UseCurrentDate", &TCalendarKV::GetUseCurrentDate, &TCalendarKV::SetUseCurrentDate).Default(true);
    using TPart = int (TCalendarKV::*)() const;
    P.Prop("Day", static_cast<TPart>(&TCalendarKV::GetDay), &TCalendarKV::SetDay).Stored(false);
    P.Prop("Month", static_cast<TPart>(&TCalendarKV::GetMonth), &TCalendarKV::SetMonth).Stored(false);
    P.Prop("Year", static_cast<TPart>(&TCalendarKV::GetYear), &TCalendarKV::SetYear).Stored(false);
    P.Prop("DayPanelWidth", &TCalendarKV::GetDayPanelWidth, &TCalendarKV::SetDayPanelWidth).Default(0);
    P.Prop("DayPanelHeight", &TCalendarKV::GetDayPanelHeight, &TCalendarKV::SetDayPanelHeight).Default(0);
    P.Prop("DayPanelColor", &TCalendarKV::GetDayPanelColor, &TCalendarKV::SetDayPanelColor)
        .Default(clBtnFace)
        .Idents(&ColorIdents());
}

TCalendarKV::TCalendarKV(TComponent* AOwner) : TCustomGrid(AOwner), FHeaderFont(std::make_unique<TFont>()) {
    FHeaderFont->OnChange = [this](TObject* Sender) { HeaderFontChanged(Sender); };
    SetColCount(7);
    SetRowCount(7);
    SetFixedCols(0);
    SetFixedRows(1);
    SetScrollBars(ssNone);
    SetOptions(DefaultGridOptions - TGridOptions{goRangeSelect});
    SetDefaultDrawing(false);
    FSaveCellExtents = false;
    FCalendarDate = Date();
    int col, row;
    GetCellOfDay(col, row);
    MoveColRow(col, row, false, false);
}

TCalendarKV::~TCalendarKV() {
    FHeaderFont->OnChange = nullptr;
}

// ---- Dates ----------------------------------------------------------------

void TCalendarKV::SetCalendarDate(TDateTime Value) {
    if (Value == FCalendarDate) return;
    FUseCurrentDate = false;
    int oldYear, oldMonth, oldDay, year, month, day;
    DecodeDate(FCalendarDate, oldYear, oldMonth, oldDay);
    DecodeDate(Value, year, month, day);
    FCalendarDate = Value;
    if (year != oldYear || month != oldMonth) Invalidate();
    int col, row;
    GetCellOfDay(col, row);
    MoveColRow(col, row, false, false); // through SelectCell, which drops the time of day
}

int TCalendarKV::GetCalendarDatePart(int Index) const {
    int year, month, day;
    DecodeDate(FCalendarDate, year, month, day);
    switch (Index) {
    case 1:
        return year;
    case 2:
        return month;
    case 3:
        return day;
    default:
        return -1;
    }
}

void TCalendarKV::SetCalendarDatePart(int Index, int Value) {
    int year, month, day;
    DecodeDate(FCalendarDate, year, month, day);
    switch (Index) {
    case 1:
        year = Value;
        break;
    case 2:
        month = Value;
        break;
    case 3:
        day = Value;
        break;
    default:
        return;
    }
    SetCalendarDate(EncodeDate(year, month, day));
}

void TCalendarKV::SetUseCurrentDate(bool Value) {
    if (Value == FUseCurrentDate) return;
    if (Value) SetCalendarDate(Date());
    FUseCurrentDate = Value;
}

void TCalendarKV::ChangeMonth(int Delta) {
    int year, month, day;
    DecodeDate(FCalendarDate, year, month, day);
    if (Delta > 0) {
        if (++month > 12) {
            month = 1;
            ++year;
        }
    } else if (--month < 1) {
        month = 12;
        --year;
    }
    SetCalendarDate(EncodeDate(year, month, std::min(day, DaysInMonth(year, month))));
}

void TCalendarKV::ChangeYear(int Delta) {
    int year, month, day;
    DecodeDate(FCalendarDate, year, month, day);
    year += Delta > 0 ? 1 : -1;
    SetCalendarDate(EncodeDate(year, month, std::min(day, DaysInMonth(year, month))));
}

// ---- Day layout -----------------------------------------------------------

int TCalendarKV::GetFirstCol(TDateTime ADate) const {
    int year, month, day;
    DecodeDate(ADate, year, month, day);
    return (DayOfWeek(EncodeDate(year, month, 1)) + 5) % 7;
}

int TCalendarKV::GetDay(int ACol, int ARow, TDateTime ADate) const {
    int year, month, day;
    DecodeDate(ADate, year, month, day);
    int d = ACol + 7 * ARow - 6 - GetFirstCol(ADate);
    return d < 1 || d > DaysInMonth(year, month) ? 0 : d;
}

void TCalendarKV::GetCellOfDay(int& ACol, int& ARow) const {
    GetCellOfDay(ACol, ARow, GetCalendarDatePart(3));
}

void TCalendarKV::GetCellOfDay(int& ACol, int& ARow, int ADay) const {
    int first = GetFirstCol();
    ARow = (first + ADay - 1) / 7 + 1;
    ACol = (first + ADay - 1) % 7;
}

void TCalendarKV::GetCellOfDay(int& ACol, int& ARow, TDateTime ADate) const {
    int year, month, day;
    DecodeDate(ADate, year, month, day);
    int first = GetFirstCol(ADate);
    ARow = (first + day - 1) / 7 + 1;
    ACol = (first + day - 1) % 7;
}

bool TCalendarKV::SelectCell(int ACol, int ARow) {
    int d = GetDay(ACol, ARow);
    if (!FDaySelection || d == 0) return false;
    int year, month, day;
    DecodeDate(FCalendarDate, year, month, day);
    FCalendarDate = EncodeDate(year, month, d);
    return true;
}

void TCalendarKV::RecalcCellDims(int AWidth, int AHeight) {
    int lines = 7 * GetGridLineWidth();
    SetDefaultColWidth((AWidth - lines) / 7);
    if (FHeaderHeight == -1) {
        SetDefaultRowHeight((AHeight - lines) / 7);
    } else {
        SetDefaultRowHeight((AHeight - lines - GetRowHeights(0)) / 6);
        SetRowHeights(0, FHeaderHeight);
    }
}

// ---- Day objects ----------------------------------------------------------

TObject* TCalendarKV::GetObjectByDay(int ADay) const {
    if (!FObjects || ADay > FObjects->GetCount()) return nullptr;
    return FObjects->Get(ADay - 1);
}

void TCalendarKV::SetObjectByDay(int ADay, TObject* AObject) {
    if (ADay < 1 || ADay > DaysInMonthOf(FCalendarDate)) ListIndexError(ADay);
    if (!FObjects) FObjects = std::make_unique<TList<TObject>>(31);
    while (FObjects->GetCount() < ADay)
        FObjects->Add(nullptr);
    FObjects->Put(ADay - 1, AObject);
}

TObject* TCalendarKV::GetObjectByCell(int ACol, int ARow) const {
    int d = GetDay(ACol, ARow);
    return d == 0 ? nullptr : GetObjectByDay(d);
}

void TCalendarKV::SetObjectByCell(int ACol, int ARow, TObject* AObject) {
    int d = GetDay(ACol, ARow);
    if (d == 0) ListIndexError(0);
    SetObjectByDay(d, AObject);
}

int TCalendarKV::GetObjectCount() const {
    return FObjects ? FObjects->GetCount() : 0;
}

// ---- Drawing --------------------------------------------------------------

void TCalendarKV::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
    TCanvas* canvas = GetCanvas();
    TBrush* brush = canvas->GetBrush();
    auto centred = [canvas, brush](const TRect& Box, const AnsiString& Text) {
        int x = Box.Left + (Box.Width() - canvas->TextWidth(Text)) / 2;
        int y = Box.Top + (Box.Height() - canvas->TextHeight(Text)) / 2;
        brush->SetStyle(bsClear);
        canvas->TextRect(Box, x, y, Text);
        brush->SetStyle(bsSolid);
    };
    auto raised = [&](const TRect& Box) {
        TRect r = Box;
        DrawEdge(canvas, r, BDR_RAISEDINNER, BF_BOTTOMRIGHT);
        DrawEdge(canvas, r, BDR_RAISEDINNER, BF_TOPLEFT);
    };
    if (AState.Contains(gdFixed)) {
        brush->SetColor(FHeaderColor);
        canvas->FillRect(ARect);
        if (GetCtl3D()) raised(ARect);
        canvas->SetFont(FHeaderFont.get());
        centred(ARect, FormatSettings().ShortDayNames[(ACol + 1) % 7]);
    } else {
        int d = GetDay(ACol, ARow);
        bool panel = FDayPanelWidth != 0 && FDayPanelHeight != 0 && d != 0;
        TRect panelRect = Bounds(ARect.Left, ARect.Top, FDayPanelWidth, FDayPanelHeight);
        bool marked;
        if (FDaySelection) {
            marked = ACol == GetCol() && ARow == GetRow();
        } else {
            int year, month, day;
            DecodeDate(FCalendarDate, year, month, day);
            TDateTime shown;
            marked = d != 0 && TryEncodeDate(year, month, d, shown) && shown == Date();
        }
        if (panel) {
            brush->SetColor(GetColor());
            canvas->FillRect(ARect);
            brush->SetColor(marked ? clHighlight : FDayPanelColor);
            canvas->FillRect(panelRect);
            if (GetCtl3D()) raised(panelRect);
        } else {
            brush->SetColor(marked && FDaySelection ? clHighlight : GetColor());
            canvas->FillRect(ARect);
        }
        canvas->SetFont(GetFont());
        if (marked && FDaySelection && Focused()) {
            brush->SetColor(GetColor());
            canvas->DrawFocusRect(ARect);
        }
        if (marked) canvas->GetFont()->SetColor(FDaySelection || panel ? clHighlightText : clHighlight);
        if (d != 0) centred(panel ? panelRect : ARect, IntToStr(d));
    }
    if (OnDrawCell) {
        brush->SetColor(GetColor());
        canvas->GetFont()->SetColor(GetFont()->GetColor());
        OnDrawCell(this, ACol, ARow, ARect, AState);
    }
}

void TCalendarKV::FocusDay(int ADay) {
    if (ADay < 1) return;
    TCanvas* canvas = GetCanvas();
    canvas->SetFont(GetFont());
    canvas->GetBrush()->SetColor(GetColor());
    int col, row;
    GetCellOfDay(col, row, ADay);
    canvas->DrawFocusRect(CellRect(col, row));
}

// ---- Properties -----------------------------------------------------------

void TCalendarKV::SetHeaderColor(TColor Value) {
    if (Value == FHeaderColor) return;
    FHeaderColor = Value;
    InvalidateRow(0);
}

void TCalendarKV::SetHeaderHeight(int Value) {
    if (Value == FHeaderHeight) return;
    FHeaderHeight = Value;
    SetRowHeights(0, Value == -1 ? GetDefaultRowHeight() : Value);
    RecalcCellDims(GetClientWidth(), GetClientHeight());
    Invalidate();
}

void TCalendarKV::SetDaySelection(bool Value) {
    if (Value == FDaySelection) return;
    FDaySelection = Value;
    if (Value) {
        int col, row;
        GetCellOfDay(col, row);
        MoveColRow(col, row, false, false);
    }
    Invalidate();
}

void TCalendarKV::SetDiffHeaderFont(bool Value) {
    if (Value == FDiffHeaderFont) return;
    FDiffHeaderFont = Value;
    if (!Value) FollowFont();
    InvalidateRow(0);
}

void TCalendarKV::SetHeaderFont(TFont* Value) {
    FHeaderFont->Assign(Value);
    FDiffHeaderFont = true; // also when the font was the same already
    InvalidateRow(0);
}

void TCalendarKV::HeaderFontChanged(TObject*) {
    FDiffHeaderFont = true;
    InvalidateRow(0);
}

void TCalendarKV::FollowFont() {
    TNotifyEvent notify = std::move(FHeaderFont->OnChange);
    FHeaderFont->OnChange = nullptr;
    FHeaderFont->Assign(GetFont());
    FHeaderFont->OnChange = std::move(notify);
}

void TCalendarKV::SetDayPanelWidth(int Value) {
    if (Value == FDayPanelWidth) return;
    FDayPanelWidth = Value;
    Invalidate();
}

void TCalendarKV::SetDayPanelHeight(int Value) {
    if (Value == FDayPanelHeight) return;
    FDayPanelHeight = Value;
    Invalidate();
}

void TCalendarKV::SetDayPanelColor(TColor Value) {
    if (Value == FDayPanelColor) return;
    FDayPanelColor = Value;
    Invalidate();
}

// ---- Framework ------------------------------------------------------------

void TCalendarKV::Loaded() {
    TCustomGrid::Loaded();
    if (!FDiffHeaderFont) FollowFont();
}

void TCalendarKV::DefineProperties(TFiler* Filer) {
    TCustomGrid::DefineProperties(Filer);
    Filer->DefineProperty(
        "CalendarDate", [this](TReader& R) { ReadCalendarDate(R); },
        [this](TWriter& W) { WriteCalendarDate(W); }, GetIsCalendarDateStored());
}

void TCalendarKV::WriteCalendarDate(TWriter& Writer) {
    Writer.WriteInteger(static_cast<int>(FCalendarDate)); // the time of day is not kept
}

void TCalendarKV::ReadCalendarDate(TReader& Reader) {
    SetCalendarDate(Reader.ReadInteger());
}

void TCalendarKV::WMSize(TMessage& Message) {
    TCustomGrid::Dispatch(Message);
    RecalcCellDims(LoWord(static_cast<std::uintptr_t>(Message.LParam)),
                   HiWord(static_cast<std::uintptr_t>(Message.LParam)));
}

void TCalendarKV::CMFontChanged(TMessage& Message) {
    TCustomGrid::Dispatch(Message);
    if (!FDiffHeaderFont) {
        FollowFont();
        Invalidate();
    }
}

namespace Calendarkv {

void Register() {
    RegisterComponents("KV", {&TCalendarKV::ClassInfo()});
}

} // namespace Calendarkv
