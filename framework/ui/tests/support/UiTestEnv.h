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
