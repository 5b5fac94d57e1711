#pragma once

#include "Forms.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <string>
#include <vector>

// Collects what reaches Application->HandleException while it lives.
struct ExceptionCatcher {
    ExceptionCatcher();
    ~ExceptionCatcher();
    std::vector<std::string> Messages;
    std::vector<TObject*> Senders;
};

// Drags Urls (and Text, when given) onto the control's window as the desktop
// does: enter, then drop. Returns whether the window took the drop.
bool DropOnControl(TWinControl* Control, const QList<QUrl>& Urls, const QString& Text = QString());
