// What the demo tests share: one application object on the offscreen
// platform, and a folder that stands in for the program's own.
#pragma once

#include "Forms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A temporary folder in which the program file is said to live, so the
// settings file goes there; the real program folder is left alone.
class TProgramFolder {
public:
    TProgramFolder();
    ~TProgramFolder();
    const AnsiString& Path() const { return FPath; }
    AnsiString IniFile() const { return FPath + "/IbRowvaneDemo.ini"; }
    AnsiString IniText() const; // "" when there is no file
    void PutIni(const AnsiString& Text) const;

private:
    AnsiString FPath;
};

// Collects what reaches Application->HandleException while it lives.
struct TExceptionCatcher {
    TExceptionCatcher();
    ~TExceptionCatcher();
    std::vector<std::string> Messages;
};
