// What the demo tests share: a folder that stands in for the program's own.
// The application object on the offscreen platform and the catcher of
// handled exceptions come from the framework's window test support.
#pragma once

#include "Forms.h"
#include "UiTestEnv.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

// A temporary folder in which the program file is said to live, so the
// settings file goes there, with a user configuration folder of its own
// (XDG_CONFIG_HOME) inside it; the real program folder and the user's
// configuration are left alone.
class TProgramFolder {
public:
    TProgramFolder();
    ~TProgramFolder();
    const AnsiString& Path() const { return FPath; }
    AnsiString IniFile() const { return FPath + "/IbRowvaneDemo.ini"; }
    AnsiString ConfigFolder() const { return FPath + "/config"; }
    AnsiString UserIniFile() const { return ConfigFolder() + "/IbRowvaneDemo.ini"; }
    AnsiString IniText() const { return TextOf(IniFile()); }
    static AnsiString TextOf(const AnsiString& File); // "" when there is no file
    void PutIni(const AnsiString& Text) const;

private:
    AnsiString FPath;
    std::optional<std::string> FSavedConfigHome;
};
