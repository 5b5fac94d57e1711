#include "Dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

TMessageDlgHook& Hook() {
    static TMessageDlgHook hook;
    return hook;
}

struct TButtonMap {
    TMsgDlgBtn Button;
    QMessageBox::StandardButton Qt;
    int Result;
};
const TButtonMap ButtonMap[] = {
    {mbYes, QMessageBox::Yes, mrYes},
    {mbNo, QMessageBox::No, mrNo},
    {mbOK, QMessageBox::Ok, mrOk},
    {mbCancel, QMessageBox::Cancel, mrCancel},
    {mbAbort, QMessageBox::Abort, mrAbort},
    {mbRetry, QMessageBox::Retry, mrRetry},
    {mbIgnore, QMessageBox::Ignore, mrIgnore},
    {mbAll, QMessageBox::YesToAll, mrAll},
    {mbNoToAll, QMessageBox::NoToAll, mrNo},
    {mbYesToAll, QMessageBox::YesToAll, mrYes},
    {mbHelp, QMessageBox::Help, mrNone},
};

} // namespace

void SetMessageDlgHook(TMessageDlgHook NewHook) {
    Hook() = std::move(NewHook);
}

int MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
    (void)HelpCtx;
    if (Hook()) return Hook()(Msg, DlgType, Buttons);
    QMessageBox box(QApplication::activeWindow());
    QString title;
    switch (DlgType) {
    case mtWarning:
        box.setIcon(QMessageBox::Warning);
        title = "Warning";
        break;
    case mtError:
        box.setIcon(QMessageBox::Critical);
        title = "Error";
        break;
    case mtInformation:
        box.setIcon(QMessageBox::Information);
        title = "Information";
        break;
    case mtConfirmation:
        box.setIcon(QMessageBox::Question);
        title = "Confirm";
        break;
    default:
        break;
    }
    if (Application && !Application->GetTitle().empty())
        title = QString::fromStdString(Application->GetTitle());
    box.setWindowTitle(title);
    box.setText(QString::fromStdString(Msg));
    QMessageBox::StandardButtons buttons;
    for (const TButtonMap& m : ButtonMap)
        if (Buttons.Contains(m.Button)) buttons |= m.Qt;
    if (!buttons) buttons = QMessageBox::Ok;
    box.setStandardButtons(buttons);
    box.setEscapeButton(Buttons.Contains(mbCancel) ? QMessageBox::Cancel : QMessageBox::NoButton);
    box.exec();
    QMessageBox::StandardButton chosen = box.standardButton(box.clickedButton());
    for (const TButtonMap& m : ButtonMap)
        if (m.Qt == chosen && Buttons.Contains(m.Button)) return m.Result;
    return mrCancel;
}

// ---- TColorDialog ---------------------------------------------------------

KV_PUBLISHED_METACLASS(TColorDialog, nullptr)

void TColorDialog::Publish(TPublisher<TColorDialog>& P) {
    P.Prop("Color", &TColorDialog::GetColor, &TColorDialog::SetColor).Default(clBlack).Idents(&ColorIdents());
}

bool TColorDialog::Execute() {
    QColorDialog dialog(ColorToQColor(FColor), QApplication::activeWindow());
    // Qt's own dialog, so that it looks the same on every desktop.
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) return false;
    FColor = QColorToColor(dialog.selectedColor());
    return true;
}
