// The month calendar: a grid of seven columns by seven rows, the weekday
// names of the locale in row 0 and the days of the month of CalendarDate
// in rows 1 to 6, each week beginning on Monday. It marks the selected day
// (DaySelection) or else today, may draw each day in a smaller panel, keeps
// one borrowed object per day number and calls OnDrawCell after drawing a
// cell. It owns HeaderFont and the list of day objects, not the objects.
#pragma once

#include "Grids.h"

#include <memory>

class TCalendarKV : public TCustomGrid {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TCalendarKV>& P);

    explicit TCalendarKV(TComponent* AOwner);
    ~TCalendarKV() override;

    // Setting the date (also through Day, Month, Year, the month and year
    // steps and the form reader) turns UseCurrentDate off, so the form
    // text stores it as "CalendarDate" (whole days only).
    TDateTime GetCalendarDate() const { return FCalendarDate; }
    void SetCalendarDate(TDateTime Value);
    // 1 year, 2 month, 3 day; -1 for any other index.
    int GetCalendarDatePart(int Index) const;
    // EConvertError, and the date unchanged, for an impossible date.
    void SetCalendarDatePart(int Index, int Value);
    int GetDay() const { return GetCalendarDatePart(3); }
    void SetDay(int Value) { SetCalendarDatePart(3, Value); }
    int GetMonth() const { return GetCalendarDatePart(2); }
    void SetMonth(int Value) { SetCalendarDatePart(2, Value); }
    int GetYear() const { return GetCalendarDatePart(1); }
    void SetYear(int Value) { SetCalendarDatePart(1, Value); }
    // One month or year on or back; the day is kept where the new month has it.
    void NextMonth() { ChangeMonth(1); }
    void PrevMonth() { ChangeMonth(-1); }
    void NextYear() { ChangeYear(1); }
    void PrevYear() { ChangeYear(-1); }

    // Column of day 1 of the month (Monday 0 .. Sunday 6).
    int GetFirstCol() const { return GetFirstCol(FCalendarDate); }
    int GetFirstCol(TDateTime ADate) const;
    // The day a cell shows in the month of CalendarDate or of ADate; 0 for none.
    int GetDay(int ACol, int ARow) const { return GetDay(ACol, ARow, FCalendarDate); }
    int GetDay(int ACol, int ARow, TDateTime ADate) const;
    // The cell of the day of CalendarDate, of ADay in its month, or of ADate in its own month.
    void GetCellOfDay(int& ACol, int& ARow) const;
    void GetCellOfDay(int& ACol, int& ARow, int ADay) const;
    void GetCellOfDay(int& ACol, int& ARow, TDateTime ADate) const;

    // Objects by day number, kept when the month changes. Storing for a day
    // outside the month of CalendarDate raises EListError.
    TObject* GetObjectByDay(int ADay) const;
    void SetObjectByDay(int ADay, TObject* AObject);
    TObject* GetObjectByCell(int ACol, int ARow) const;
    void SetObjectByCell(int ACol, int ARow, TObject* AObject);
    // Slots up to the highest day ever stored.
    int GetObjectCount() const;

    // Frames the cell of ADay without selecting it.
    void FocusDay(int ADay);
    // Lays the cells out for a client area of AWidth x AHeight.
    void RecalcCellDims(int AWidth, int AHeight);

    TColor GetHeaderColor() const { return FHeaderColor; }
    void SetHeaderColor(TColor Value);
    // -1: as high as the day rows.
    int GetHeaderHeight() const { return FHeaderHeight; }
    void SetHeaderHeight(int Value);
    bool GetDaySelection() const { return FDaySelection; }
    void SetDaySelection(bool Value);
    // False while HeaderFont follows Font; changing HeaderFont sets it.
    bool GetDiffHeaderFont() const { return FDiffHeaderFont; }
    void SetDiffHeaderFont(bool Value);
    TFont* GetHeaderFont() const { return FHeaderFont.get(); }
    void SetHeaderFont(TFont* Value);
    // Switching on takes today's date; the date does not follow the clock afterwards.
    bool GetUseCurrentDate() const { return FUseCurrentDate; }
    void SetUseCurrentDate(bool Value);
    int GetDayPanelWidth() const { return FDayPanelWidth; }
    void SetDayPanelWidth(int Value);
    int GetDayPanelHeight() const { return FDayPanelHeight; }
    void SetDayPanelHeight(int Value);
    TColor GetDayPanelColor() const { return FDayPanelColor; }
    void SetDayPanelColor(TColor Value);

    TDrawCellEvent OnDrawCell;

protected:
    void Loaded() override;
    void DefineProperties(TFiler* Filer) override;
    bool SelectCell(int ACol, int ARow) override;
    void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;
    void ChangeMonth(int Delta);
    void ChangeYear(int Delta);
    void HeaderFontChanged(TObject* Sender);
    bool GetIsCalendarDateStored() const { return !FUseCurrentDate; }
    bool IsHeaderFontStored() const { return FDiffHeaderFont; }
    void WriteCalendarDate(TWriter& Writer);
    void ReadCalendarDate(TReader& Reader);

    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_SIZE, WMSize)
    MESSAGE_HANDLER(CM_FONTCHANGED, CMFontChanged)
    END_MESSAGE_MAP(TCustomGrid)
    void WMSize(TMessage& Message);
    void CMFontChanged(TMessage& Message);

private:
    void FollowFont();
    int FHeaderHeight = -1;
    std::unique_ptr<TFont> FHeaderFont;
    bool FDiffHeaderFont = false;
    TColor FHeaderColor = clBtnFace;
    bool FDaySelection = true;
    TDateTime FCalendarDate = 0;
    bool FUseCurrentDate = true;
    int FDayPanelWidth = 0, FDayPanelHeight = 0;
    TColor FDayPanelColor = clBtnFace;
    std::unique_ptr<TList<TObject>> FObjects; // index: day - 1
};

namespace Calendarkv {

// Puts TCalendarKV on the palette page "KV".
void Register();

} // namespace Calendarkv
