#include "Frm_dbsettings.h"

#include "Unt_settings.h"

#include <exception>
#include <functional>

KV_PUBLISHED_METACLASS(TFrmDbSettings, &TForm::ClassInfo())

void TFrmDbSettings::Publish(TPublisher<TFrmDbSettings>& P) {
    P.Field("PnlMain", &TFrmDbSettings::PnlMain);
    P.Field("Lbl1", &TFrmDbSettings::Lbl1);
    P.Field("EdtServer", &TFrmDbSettings::EdtServer);
    P.Field("EdtDatabase", &TFrmDbSettings::EdtDatabase);
    P.Field("EdtUsername", &TFrmDbSettings::EdtUsername);
    P.Field("EdtPassword", &TFrmDbSettings::EdtPassword);
    P.Field("BtnCancel", &TFrmDbSettings::BtnCancel);
    P.Field("BtnOK", &TFrmDbSettings::BtnOK);
    P.Field("ChkRemember", &TFrmDbSettings::ChkRemember);
    P.Method("BtnOKClick", &TFrmDbSettings::BtnOKClick);
}

KV_FORM_RESOURCE(TFRMDBSETTINGS, R"(object FrmDbSettings: TFrmDbSettings
  Left = 299
  Top = 213
  BorderIcons = [biSystemMenu, biHelp]
  BorderStyle = bsDialog
  Caption = 'Database Settings'
  ClientHeight = 195
  ClientWidth = 281
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Position = poMainFormCenter
  PixelsPerInch = 96
  TextHeight = 13
  object PnlMain: TPanel
    Left = 0
    Top = 0
    Width = 281
    Height = 195
    Align = alClient
    BevelInner = bvLowered
    BevelOuter = bvNone
    TabOrder = 0
    object PnlFields: TPanel
      Left = 1
      Top = 1
      Width = 279
      Height = 152
      Align = alTop
      BevelOuter = bvNone
      TabOrder = 0
      object Lbl1: TLabel
        Left = 16
        Top = 20
        Width = 40
        Height = 13
        Caption = 'Server :'
      end
      object Lbl2: TLabel
        Left = 16
        Top = 44
        Width = 52
        Height = 13
        Caption = 'Database :'
      end
      object Lbl3: TLabel
        Left = 16
        Top = 68
        Width = 54
        Height = 13
        Caption = 'Username :'
      end
      object Lbl4: TLabel
        Left = 16
        Top = 92
        Width = 52
        Height = 13
        Caption = 'Password :'
      end
      object EdtServer: TEdit
        Left = 80
        Top = 16
        Width = 185
        Height = 21
        TabOrder = 0
      end
      object EdtDatabase: TEdit
        Left = 80
        Top = 40
        Width = 185
        Height = 21
        TabOrder = 1
      end
      object EdtUsername: TEdit
        Left = 80
        Top = 64
        Width = 185
        Height = 21
        TabOrder = 2
      end
      object EdtPassword: TEdit
        Left = 80
        Top = 88
        Width = 185
        Height = 21
        PasswordChar = '*'
        TabOrder = 3
      end
      object ChkRemember: TCheckBox
        Left = 80
        Top = 122
        Width = 121
        Height = 13
        Caption = 'Remember Settings'
        TabOrder = 4
      end
    end
    object PnlButtons: TPanel
      Left = 1
      Top = 153
      Width = 279
      Height = 41
      Align = alTop
      BevelOuter = bvNone
      TabOrder = 1
      object BtnOK: TButton
        Left = 58
        Top = 8
        Width = 75
        Height = 25
        Caption = 'OK'
        Default = True
        ModalResult = 1
        TabOrder = 0
        OnClick = BtnOKClick
      end
      object BtnCancel: TButton
        Left = 146
        Top = 8
        Width = 75
        Height = 25
        Cancel = True
        Caption = 'Cancel'
        ModalResult = 2
        TabOrder = 1
      end
    end
  end
end
)")

TFrmDbSettings::TFrmDbSettings(TComponent* AOwner) : TForm(AOwner) {
    InitForm(ClassInfo());
    LoadSettings();
}

void TFrmDbSettings::BtnOKClick(TObject*) {
    SaveSettings();
}

void TFrmDbSettings::LoadSettings() {
    if (!Settings) throw Exception("The settings dialog needs the settings object");
    ChkRemember->SetChecked(Settings->GetRemember());
    EdtServer->SetText(Settings->GetServer());
    EdtDatabase->SetText(Settings->GetDatabase());
    EdtUsername->SetText(Settings->GetUsername());
    EdtPassword->SetText(Settings->GetPassword());
}

void TFrmDbSettings::SaveSettings() {
    if (!Settings) throw Exception("The settings dialog needs the settings object");
    // The flag first: it decides whether the values go to the file. A file
    // that cannot be written stops none of the steps, so every value typed
    // serves this run; the first failure is shown afterwards.
    std::exception_ptr failure;
    auto step = [&failure](const std::function<void()>& Store) {
        try {
            Store();
        } catch (const EIniFileException&) {
            if (!failure) failure = std::current_exception();
        }
    };
    step([this] { Settings->SetRemember(ChkRemember->GetChecked()); });
    step([this] { Settings->SetServer(EdtServer->GetText()); });
    step([this] { Settings->SetDatabase(EdtDatabase->GetText()); });
    step([this] { Settings->SetUsername(EdtUsername->GetText()); });
    step([this] { Settings->SetPassword(EdtPassword->GetText()); });
    if (failure) std::rethrow_exception(failure);
}
