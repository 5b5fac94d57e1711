#include "Dialogs.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QColorDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

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

int TitleBarWidth(const QString& Title) {
    QFont font = QApplication::font();
    font.setBold(true);
    QFontMetrics metrics(font);
    // The window's icon and three buttons, each about two lines high, and the gaps.
    return metrics.horizontalAdvance(Title) + 8 * metrics.height() + 24;
}

std::unique_ptr<QMessageBox> CreateMessageDialog(const AnsiString& Msg, TMsgDlgType DlgType,
                                                 TMsgDlgButtons Buttons) {
    auto box = std::make_unique<QMessageBox>(QApplication::activeWindow());
    QString title;
    switch (DlgType) {
    case mtWarning:
        box->setIcon(QMessageBox::Warning);
        title = "Warning";
        break;
    case mtError:
        box->setIcon(QMessageBox::Critical);
        title = "Error";
        break;
    case mtInformation:
        box->setIcon(QMessageBox::Information);
        title = "Information";
        break;
    case mtConfirmation:
        box->setIcon(QMessageBox::Question);
        title = "Confirm";
        break;
    default:
        break;
    }
    if (Application && !Application->GetTitle().empty())
        title = QString::fromStdString(Application->GetTitle());
    box->setWindowTitle(title);
    box->setText(QString::fromStdString(Msg));
    QMessageBox::StandardButtons buttons;
    for (const TButtonMap& m : ButtonMap)
        if (Buttons.Contains(m.Button)) buttons |= m.Qt;
    if (!buttons) buttons = QMessageBox::Ok;
    box->setStandardButtons(buttons);
    box->setEscapeButton(Buttons.Contains(mbCancel) ? QMessageBox::Cancel : QMessageBox::NoButton);
    // The box sizes itself to its text and buttons when shown; a short
    // question would leave its title cut. A spacer across the box's grid
    // keeps it wide enough.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(TitleBarWidth(title), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

int MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx) {
    (void)HelpCtx;
    if (Hook()) return Hook()(Msg, DlgType, Buttons);
    std::unique_ptr<QMessageBox> box = CreateMessageDialog(Msg, DlgType, Buttons);
    box->exec();
    QMessageBox::StandardButton chosen = box->standardButton(box->clickedButton());
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
