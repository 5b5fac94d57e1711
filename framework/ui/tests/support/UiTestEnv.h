#pragma once

#include "Forms.h"

#include <string>
#include <vector>

// Collects what reaches Application->HandleException while it lives.
struct ExceptionCatcher {
    ExceptionCatcher();
    ~ExceptionCatcher();
    std::vector<std::string> Messages;
    std::vector<TObject*> Senders;
};

// Types the UTF-8 text into the widget key by key, as a user does; letters
// outside ASCII come as key events with their text only.
void TypeKeys(QWidget* Widget, const char* Utf8);
