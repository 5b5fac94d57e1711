// Date and time functions over TDateTime (days since 1899-12-30 plus the
// time of day as the fraction) and the framework's time stamp form.
#pragma once

#include "SysUtils.h"

constexpr int MSecsPerDay = 86400000;
constexpr int DateDelta = 693594; // day number of 1899-12-30, TDateTime 0 (0001-01-01 is day 1)

// Day number counted with 1 January of the year 1 as day 1, and
// milliseconds since midnight.
struct TTimeStamp {
    int Time = 0;
    int Date = 0;
};

bool IsLeapYear(int Year);
int DaysInAMonth(int Year, int Month);

// Year 1 .. 9999; invalid values raise EConvertError.
TDateTime EncodeDate(int Year, int Month, int Day);
TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec);
bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Value);
bool TryEncodeTime(int Hour, int Min, int Sec, int MSec, TDateTime& Value);
void DecodeDate(TDateTime Value, int& Year, int& Month, int& Day);
void DecodeTime(TDateTime Value, int& Hour, int& Min, int& Sec, int& MSec);
int DayOfWeek(TDateTime Value); // 1 = Sunday .. 7 = Saturday

// Whole milliseconds, rounded, with the time of a negative value measured
// forward from its day's midnight as the framework does.
TTimeStamp DateTimeToTimeStamp(TDateTime Value);
TDateTime TimeStampToDateTime(const TTimeStamp& Value);
double TimeStampToMSecs(const TTimeStamp& Value);
TTimeStamp MSecsToTimeStamp(double MSecs);

TDateTime Now();
TDateTime Date();
TDateTime Time();

// Fixed ISO-like texts: "YYYY-MM-DD", "HH:MM:SS" and both joined by a blank
// (the time only when it is not midnight). Locale-dependent forms belong to the ui layer.
AnsiString DateToStr(TDateTime Value);
AnsiString TimeToStr(TDateTime Value);
AnsiString DateTimeToStr(TDateTime Value);
