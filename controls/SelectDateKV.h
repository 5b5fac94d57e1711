// The date-selection pop-up of the date edit: a form without caption,
// read from its form text "TSELECTDATEKV", with a month caption between
// two month-step buttons, a calendar, and the buttons "Heute" and
// "Abbruch". A day chosen with the mouse or Enter, or today, goes into the
// date edit unless it is read-only; Escape, "Abbruch" and a click outside
// close it without a change. It borrows the date edit, is owned by the
// application and frees itself once closed; when the date edit goes
// first, it closes.
#pragma once

#include "Buttons.h"
#include "CalendarKV.h"
#include "ExtCtrls.h"
#include "Forms.h"

class TDateEditKV;

class TSelectDateKV : public TForm {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TSelectDateKV>& P);

    explicit TSelectDateKV(TDateEditKV* DateEdit);
    ~TSelectDateKV() override;

    void FormShow(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void BtnPrevMonthClick(TObject* Sender);
    void BtnNextMonthClick(TObject* Sender);
    void BtnCancelClick(TObject* Sender);
    void BtnTodayClick(TObject* Sender);
    void Cal1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void Cal1KeyDown(TObject* Sender, Word& Key, TShiftState Shift);
    // The month caption: the month's name, two blanks and the year.
    void UpdateMonthCaption();

    TPanel* PnlMain = nullptr;
    TPanel* PnlHeader = nullptr;
    TPanel* PnlMonth = nullptr;
    TSpeedButton* BtnPrevMonth = nullptr;
    TSpeedButton* BtnNextMonth = nullptr;
    TPanel* PnlCalendar = nullptr;
    TCalendarKV* Cal1 = nullptr;
    TPanel* PnlButton = nullptr;
    TSpeedButton* BtnToday = nullptr;
    TSpeedButton* BtnCancel = nullptr;

protected:
    BEGIN_MESSAGE_MAP
    MESSAGE_HANDLER(WM_ACTIVATE, WMActivate)
    END_MESSAGE_MAP(TForm)
    void WMActivate(TMessage& Message);
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    // The calendar's date into the date edit (unless read-only), then close.
    void TakeDate();
    TDateEditKV* FDateEdit;
    bool FClosing = false;
};
