#include "Utilskv.h"

#include "DateUtils.h"

#include <cassert>

int DaysInMonth(int Year, int Month) {
    static const int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    assert(Month >= 1 && Month <= 12);
    return Days[Month - 1] + (Month == 2 && IsLeapYear(Year) ? 1 : 0);
}

int DaysInMonthOf(TDateTime Value) {
    int year, month, day;
    DecodeDate(Value, year, month, day);
    return DaysInMonth(year, month);
}

DWORD RichEditStreamOutCallback(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) {
    *Done = 0;
    try {
        *Done = reinterpret_cast<TStream*>(Cookie)->Write(Buffer, Count);
    } catch (...) {
        return 1;
    }
    return 0;
}

DWORD RichEditStreamInCallback(DWORD_PTR Cookie, LPBYTE Buffer, LONG Count, LONG* Done) {
    *Done = 0;
    try {
        *Done = reinterpret_cast<TStream*>(Cookie)->Read(Buffer, Count);
    } catch (...) {
        return 1;
    }
    return 0;
}
