// The user's number, date and time separators and the names of days and
// months, from the locale.
#pragma once

#include "System.h"

#include <array>

// Each separator is one character, as UTF-8 text.
struct TFormatSettings {
    AnsiString DecimalSeparator;
    AnsiString ThousandSeparator;
    AnsiString DateSeparator;
    AnsiString TimeSeparator;
    // As they stand alone (a calendar's header, a month's caption).
    std::array<AnsiString, 7> ShortDayNames{}; // Sunday first
    std::array<AnsiString, 12> LongMonthNames{};
};

// The settings of a locale by name ("de_DE"); the empty name stands for the
// user's locale as the environment sets it (LC_ALL, LC_NUMERIC, LC_TIME, LANG).
TFormatSettings GetLocaleFormatSettings(const AnsiString& LocaleName = AnsiString());

// The settings the program works with: the user's, read at first use; the
// program may change them.
TFormatSettings& FormatSettings();
