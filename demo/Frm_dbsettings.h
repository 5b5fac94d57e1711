// The modal dialog that edits the connection settings held by the global
// Settings: it shows them when it is made and stores them when OK is clicked.
// Cancel, Escape and the close box leave them as they were.
#pragma once

#include "ExtCtrls.h"
#include "Forms.h"
#include "StdCtrls.h"

class TFrmDbSettings : public TForm {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TFrmDbSettings>& P);

    // Reads the form description "TFRMDBSETTINGS", then loads the settings.
    explicit TFrmDbSettings(TComponent* AOwner);

    void BtnOKClick(TObject* Sender);

    TPanel* PnlMain = nullptr;
    TLabel* Lbl1 = nullptr;
    TEdit* EdtServer = nullptr;
    TEdit* EdtDatabase = nullptr;
    TEdit* EdtUsername = nullptr;
    TEdit* EdtPassword = nullptr;
    TButton* BtnCancel = nullptr;
    TButton* BtnOK = nullptr;
    TCheckBox* ChkRemember = nullptr;

private:
    void LoadSettings();
    void SaveSettings();
};
