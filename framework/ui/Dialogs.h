// Message boxes.
#pragma once

#include "Forms.h"

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp
};
using TMsgDlgButtons = TSet<TMsgDlgBtn, Word>;

// Shows Msg in a modal message box with the application's title and the
// given buttons; returns the modal result of the button chosen (mrOk,
// mrCancel, mrYes, ...), mrCancel when the box is closed otherwise.
int MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx);

// While a hook is set MessageDlg shows nothing and returns the hook's answer
// (for tests); an empty hook restores the message box.
using TMessageDlgHook =
    std::function<int(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons)>;
void SetMessageDlgHook(TMessageDlgHook Hook);

// The colour dialog: Execute shows it modally, preset to Color, and returns
// true when the user chose a colour with OK (then in Color).
class TColorDialog : public TComponent {
public:
    KV_METACLASS_DECL
    static void Publish(TPublisher<TColorDialog>& P);

    explicit TColorDialog(TComponent* AOwner) : TComponent(AOwner) {}
    TColor GetColor() const { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }
    virtual bool Execute();

private:
    TColor FColor = clBlack;
};
