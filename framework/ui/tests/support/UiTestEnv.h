#pragma once

#include "Forms.h"
#include "StdCtrls.h"

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

// Types the UTF-8 text into the widget key by key, as a user does; letters
// outside ASCII come as key events with their text only, one per code point.
void TypeKeys(QWidget* Widget, const char* Utf8);

// The ways text comes into a control that takes it.
enum class TTextWay { Typed, Composed, CtrlV, ShiftInsert, MenuPaste, SelText };
// Puts the UTF-8 text into the focused control that way: typed key by key,
// committed by an input method at once, pasted from the clipboard by either
// key or by the Paste of the text's own context menu, or set as SelText by
// code (an edit only).
void EnterText(TWinControl* Control, TTextWay Way, const char* Utf8);

// A line of a table of MaxLength cases: Input entered By its way into a
// control that holds Before under MaxLength gives After. The caret stands at
// the end of Before, or all of it is selected where it starts with '|'.
struct TLimitCase {
    TTextWay By;
    int MaxLength;
    const char* Before;
    const char* Input;
    const char* After;
    bool SelectsAll() const { return Before[0] == '|'; }
    const char* BeforeText() const { return Before + (SelectsAll() ? 1 : 0); }
};
