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

// Delivers a drag of Urls (and Text, when given) to the control's window as
// Qt would: enter, then drop. Returns whether the window took the drag.
bool DropOn(TWinControl* Control, const QList<QUrl>& Urls, const QString& Text = QString());
