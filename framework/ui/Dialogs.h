// Message boxes.
#pragma once

#include "Forms.h"

#include <memory>

class QMessageBox;

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
// The box MessageDlg shows, not yet shown. It is at least as wide as a
// title bar needs for its title and buttons, so the title shows whole.
std::unique_ptr<QMessageBox> CreateMessageDialog(const AnsiString& Msg, TMsgDlgType DlgType,
                                                 TMsgDlgButtons Buttons);
// The width a window needs for Title in its title bar: the title in a bold
// face of the application's font, with room for the window's icon and
// buttons.
int TitleBarWidth(const QString& Title);

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
