// The date edit: one date as three sub-fields (day, month, year) that the
// control draws itself with the locale's date separator between them. The
// user moves between sub-fields with the cursor keys or the mouse, types
// digits (Enter or a click on the current sub-field starts typing over it),
// steps the date with Up, Down, "+" and "-" carrying into and borrowing from
// the next sub-field, takes today's part with the space bar and may open a
// calendar pop-up from a button at the right edge. Leaving it with texts
// that form no date can put the focus back and report it. Owns the button.
#pragma once

#include "Buttons.h"

class TDateEditKV : public TCustomControl {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TDateEditKV>& P);

    explicit TDateEditKV(TComponent* AOwner);
    ~TDateEditKV() override;

    // The date of the three texts (0 for an empty or non-numeric one);
    // EConvertError when they form none.
    TDateTime GetDate() const;
    // Writes all three texts; neither Modified nor OnChange follow.
    void SetDate(TDateTime Value);
    bool IsEmpty() const;
    bool IsValid() const;
    // Empties the three texts (no change event of its own).
    void Clear();
    // Calls OnChange; every change by the user ends here.
    virtual void DoChange();

    int GetMarginLeft() const { return FMarginLeft; }
    void SetMarginLeft(int Value);
    int GetMarginTop() const { return FMarginTop; }
    void SetMarginTop(int Value);
    bool GetHandleInvDate() const { return FHandleInvDate; }
    void SetHandleInvDate(bool Value) { FHandleInvDate = Value; }
    bool GetEnableLookup() const { return FEnableLookup; }
    void SetEnableLookup(bool Value);
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    // Only bsNone and bsSingle; other values are ignored.
    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle Value);
    // Set by every change the user makes, never cleared by the control.
    bool GetModified() const { return FModified; }
    void SetModified(bool Value) { FModified = Value; }

    int GetCurrentSubField() const { return FCurrentSubField; }
    bool GetSubEdit() const { return FSubEdit; }
    const AnsiString& GetSubFieldText(int Index) const { return FSubFields[Index]; }
    // The calendar button while EnableLookup is on, else null.
    TSpeedButton* GetLookupButton() const { return FLookupButton; }

    TNotifyEvent OnChange;

protected:
    virtual void DrawControl();
    void Paint() override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void KeyPress(TKeyChar& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void CreateParams(TCreateParams& Params) override;
    // Opens the calendar pop-up under the control.
    void ClickBtn(TObject* Sender);

    void DrawSubField(int Index);
    void DrawSeperator(int Index);
    void SetSubEdit(bool Value);
    void ReformatSubField();
    void ReformatField();
    void FillPrevEmptySubFields();
    void DeleteSubField(int Index);
    void IncrementDate();
    void DecrementDate();
    int GetCurrentYear() const;
    QPoint GetSubFieldPos(int Index) const;
    void ResizeButton();

    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_SIZE, WMSize)
    MESSAGE_HANDLER(WM_SETFOCUS, WMSetFocus)
    MESSAGE_HANDLER(WM_KILLFOCUS, WMKillFocus)
    MESSAGE_HANDLER(WM_GETDLGCODE, WMGetDlgCode)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, WMLButtonDown)
    MESSAGE_HANDLER(CM_CTL3DCHANGED, CMCtl3DChanged)
    MESSAGE_HANDLER(CM_EXIT, CMExit)
    MESSAGE_HANDLER(CM_WANTSPECIALKEY, CMWantSpecialKey)
    END_MESSAGE_MAP(TCustomControl)
    void WMSize(TMessage& Message);
    void WMSetFocus(TMessage& Message);
    void WMKillFocus(TMessage& Message);
    void WMGetDlgCode(TMessage& Message);
    void WMLButtonDown(TMessage& Message);
    void CMCtl3DChanged(TMessage& Message);
    void CMExit(TMessage& Message);
    void CMWantSpecialKey(TMessage& Message);

private:
    void MoveRight();
    void Changed(); // Modified and DoChange after a change by the user
    int SubFieldValue(int Index) const;
    void SetSubFieldValue(int Index, int Value);
    // The month of the month text, 0 when it names none (empty or "00").
    int MonthOfText() const;
    // The days of Month (1 .. 12) in the year of the year text, a common year when empty.
    int DaysOfMonthInText(int Month) const;

    int FMarginLeft = 0, FMarginTop = 0;
    int FCurrentSubField = 0;
    int FSubFieldWidths[3] = {2, 2, 4};
    int FSubFieldCount = 3;
    bool FSubEdit = false;
    bool FHandleInvDate = true;
    bool FEnableLookup = false;
    bool FReadOnly = false;
    bool FModified = false;
    TSpeedButton* FLookupButton = nullptr;
    TBorderStyle FBorderStyle = bsSingle;
    AnsiString FSubFields[3];
};

namespace Dateeditkv {

// Puts TDateEditKV on the palette page "KV".
void Register();

} // namespace Dateeditkv
