// The user's number, date and time separators, from the locale.
#pragma once

#include "System.h"

// Each separator is one character, as UTF-8 text.
struct TFormatSettings {
    AnsiString DecimalSeparator;
    AnsiString ThousandSeparator;
    AnsiString DateSeparator;
    AnsiString TimeSeparator;
};

// The settings of a locale by name ("de_DE"); the empty name stands for the
// user's locale as the environment sets it (LC_ALL, LC_NUMERIC, LC_TIME, LANG).
TFormatSettings GetLocaleFormatSettings(const AnsiString& LocaleName = AnsiString());

// The settings the program works with: the user's, read at first use; the
// program may change them.
TFormatSettings& FormatSettings();
