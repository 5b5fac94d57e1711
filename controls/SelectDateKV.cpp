#include "SelectDateKV.h"

#include "DateEditKV.h"
#include "DateUtils.h"
#include "FormatSettings.h"

// Made for a date edit only, never by name.
KV_PUBLISHED_ABSTRACT_METACLASS(TSelectDateKV, &TForm::ClassInfo())

void TSelectDateKV::Publish(TPublisher<TSelectDateKV>& P) {
    P.Field("PnlMain", &TSelectDateKV::PnlMain);
    P.Field("PnlHeader", &TSelectDateKV::PnlHeader);
    P.Field("PnlMonth", &TSelectDateKV::PnlMonth);
    P.Field("BtnPrevMonth", &TSelectDateKV::BtnPrevMonth);
    P.Field("BtnNextMonth", &TSelectDateKV::BtnNextMonth);
    P.Field("PnlCalendar", &TSelectDateKV::PnlCalendar);
    P.Field("Cal1", &TSelectDateKV::Cal1);
    P.Field("PnlButton", &TSelectDateKV::PnlButton);
    P.Field("BtnToday", &TSelectDateKV::BtnToday);
    P.Field("BtnCancel", &TSelectDateKV::BtnCancel);
    P.Method("FormShow", &TSelectDateKV::FormShow);
    P.Method("FormClose", &TSelectDateKV::FormClose);
    P.Method("BtnPrevMonthClick", &TSelectDateKV::BtnPrevMonthClick);
    P.Method("BtnNextMonthClick", &TSelectDateKV::BtnNextMonthClick);
    P.Method("BtnCancelClick", &TSelectDateKV::BtnCancelClick);
    P.Method("BtnTodayClick", &TSelectDateKV::BtnTodayClick);
    P.Method("Cal1MouseUp", &TSelectDateKV::Cal1MouseUp);
    P.Method("Cal1KeyDown", &TSelectDateKV::Cal1KeyDown);
}

// The client area is laid out for the window with its caption; without it
// the calendar and the buttons below share the caption's room.
KV_FORM_RESOURCE(TSELECTDATEKV, R"(object SelectDateKV: TSelectDateKV
  Left = 0
  Top = 0
  BorderIcons = []
  BorderStyle = bsDialog
  ClientHeight = 184
  ClientWidth = 176
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OnClose = FormClose
  OnShow = FormShow
  PixelsPerInch = 96
  TextHeight = 13
  object PnlMain: TPanel
    Left = 0
    Top = 0
    Width = 176
    Height = 184
    Align = alClient
    BevelInner = bvLowered
    BevelOuter = bvNone
    TabOrder = 0
    object PnlHeader: TPanel
      Left = 1
      Top = 1
      Width = 174
      Height = 37
      Align = alTop
      BorderWidth = 7
      TabOrder = 0
      object PnlMonth: TPanel
        Left = 8
        Top = 8
        Width = 158
        Height = 21
        Align = alClient
        BevelOuter = bvNone
        BorderStyle = bsSingle
        Color = clWindow
        Font.Color = clWindowText
        Font.Height = -11
        Font.Name = 'MS Sans Serif'
        Font.Style = [fsBold]
        ParentFont = False
        TabOrder = 0
        object BtnPrevMonth: TSpeedButton
          Left = 0
          Top = 0
          Width = 16
          Height = 17
          Hint = 'Selektion ausw'#228'hlen'
          AllowAllUp = True
          Glyph.Data = {
            CE000000424DCE0000000000000076000000280000000B0000000B0000000100
            0400000000005800000000000000000000001000000000000000C0C0C0000000
            0000000000000000000000000000000000000000000000000000000000000000
            0000000000000000000000000000000000000000000000000000000000000000
            0000000000000000000000000010000000000000011000000000000011100000
            0000000111100000000000001110000000000000011000000000000000100000
            000000000000000000000000000000000000}
          Margin = 0
          ParentShowHint = False
          ShowHint = True
          Spacing = 0
          OnClick = BtnPrevMonthClick
        end
        object BtnNextMonth: TSpeedButton
          Left = 138
          Top = 0
          Width = 16
          Height = 17
          Hint = 'Selektion ausw'#228'hlen'
          AllowAllUp = True
          Glyph.Data = {
            CE000000424DCE0000000000000076000000280000000B0000000B0000000100
            0400000000005800000000000000000000001000000000000000C0C0C0000000
            0000000000000000000000000000000000000000000000000000000000000000
            0000000000000000000000000000000000000000000000000000000000000000
            0000000000000000000000001000000000000000110000000000000011100000
            0000000011110000000000001110000000000000110000000000000010000000
            000000000000000000000000000000000000}
          Margin = 0
          ParentShowHint = False
          ShowHint = True
          Spacing = 0
          OnClick = BtnNextMonthClick
        end
      end
    end
    object PnlCalendar: TPanel
      Left = 1
      Top = 38
      Width = 174
      Height = 139
      Align = alTop
      BorderWidth = 7
      TabOrder = 1
      object Cal1: TCalendarKV
        Left = 8
        Top = 8
        Width = 158
        Height = 123
        Align = alClient
        HeaderHeight = 16
        TabOrder = 0
        OnKeyDown = Cal1KeyDown
        OnMouseUp = Cal1MouseUp
      end
    end
    object PnlButton: TPanel
      Left = 1
      Top = 158
      Width = 174
      Height = 25
      Align = alBottom
      BorderWidth = 7
      TabOrder = 2
      object BtnToday: TSpeedButton
        Left = 18
        Top = 4
        Width = 66
        Height = 18
        Caption = '&Heute'
        Flat = True
        OnClick = BtnTodayClick
      end
      object BtnCancel: TSpeedButton
        Left = 89
        Top = 4
        Width = 66
        Height = 18
        Caption = '&Abbruch'
        Flat = True
        OnClick = BtnCancelClick
      end
    end
  end
end
)")

TSelectDateKV::TSelectDateKV(TDateEditKV* DateEdit) : TForm(Application), FDateEdit(DateEdit) {
    RegisterClass(&TCalendarKV::ClassInfo());
    InitForm(ClassInfo());
    if (FDateEdit) FDateEdit->FreeNotification(this);
    FClosing = false;
}

TSelectDateKV::~TSelectDateKV() = default;

void TSelectDateKV::FormShow(TObject*) {
    UpdateMonthCaption();
    std::uint32_t style = GetWindowStyle();
    if (style & WS_CAPTION) {
        SetWindowStyle(style & ~WS_CAPTION);
        FrameChanged();
    }
}

void TSelectDateKV::UpdateMonthCaption() {
    PnlMonth->SetCaption(FormatSettings().LongMonthNames[Cal1->GetMonth() - 1] + "  " +
                         IntToStr(Cal1->GetYear()));
}

void TSelectDateKV::BtnPrevMonthClick(TObject*) {
    Cal1->PrevMonth();
    UpdateMonthCaption();
}

void TSelectDateKV::BtnNextMonthClick(TObject*) {
    Cal1->NextMonth();
    UpdateMonthCaption();
}

void TSelectDateKV::TakeDate() {
    if (!FDateEdit || FDateEdit->GetReadOnly()) {
        Close();
        return;
    }
    FDateEdit->SetDate(Cal1->GetCalendarDate());
    Close();
    if (!FDateEdit) return; // went while closing
    FDateEdit->SetModified(true);
    FDateEdit->DoChange();
}

void TSelectDateKV::Cal1MouseUp(TObject*, TMouseButton, TShiftState, int, int) {
    TakeDate();
}

void TSelectDateKV::Cal1KeyDown(TObject*, Word& Key, TShiftState) {
    if (Key == VK_RETURN)
        TakeDate();
    else if (Key == VK_ESCAPE)
        Close();
}

void TSelectDateKV::BtnTodayClick(TObject*) {
    Cal1->SetCalendarDate(Date());
    UpdateMonthCaption();
    TakeDate();
}

void TSelectDateKV::BtnCancelClick(TObject*) {
    Close();
}

void TSelectDateKV::WMActivate(TMessage& Message) {
    TForm::Dispatch(Message);
    // A click elsewhere closes the pop-up.
    if (LoWord(Message.WParam) != WA_INACTIVE || FClosing) return;
    FClosing = true;
    try {
        Close();
    } catch (...) {
        FClosing = false;
        throw;
    }
    FClosing = false;
}

void TSelectDateKV::FormClose(TObject*, TCloseAction&) {
    if (FDateEdit && FDateEdit->CanFocus()) FDateEdit->SetFocus();
    Release();
}

void TSelectDateKV::Notification(TComponent* AComponent, TOperation Operation) {
    TForm::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FDateEdit) {
        // Its date edit is going: nothing left to write into.
        FDateEdit = nullptr;
        if (GetVisible()) Close();
    }
}
