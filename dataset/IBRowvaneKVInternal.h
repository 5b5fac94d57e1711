// Helpers shared by the implementation files of the IBRowvaneKV unit.
#pragma once

#include "IBRowvaneKV.h"

#include "DateUtils.h"

#include <memory>

namespace Ibrowvanekv {

// The framework's ERangeError of an insertion beyond the end, carrying the index.
[[noreturn]] void InsertRangeError(int Index);

// The dataset's error of Code, its text followed by what the dataset cannot
// do and what to write instead.
[[noreturn]] void Refuse(TIBRVError Code, std::initializer_list<TVarRec> Args, const AnsiString& Why);

// A parser for one operation, at the given dialect.
std::unique_ptr<TSQLSelectParserKV> NewParser(int Dialect);

// "_LOCATE" and the 1-based index: the name of a position parameter.
AnsiString LocateParamName(int Index);

// TIME and TIMESTAMP columns are held to 1/10000 s, as the engine keeps
// them: a TIME as its 32-bit count of these units since midnight, a
// TIMESTAMP as the double day number x TimeUnitsPerDay + that count (exact:
// below 2^53 for every day up to the year 9999). The fields see whole
// milliseconds, cut, never rounded into the next second or day.
constexpr Int64 TimeUnitsPerDay = 864000000;
constexpr int TimeUnitsPerMSec = 10;
// The day number of 17 November 1858, the client's day 0.
constexpr int ISCDateDelta = DateDelta - 15018;

inline double TimeStampToBuffer(const ISC_TIMESTAMP& Value) {
    return static_cast<double>((static_cast<Int64>(Value.timestamp_date) + ISCDateDelta) * TimeUnitsPerDay +
                               static_cast<Int64>(Value.timestamp_time));
}

inline ISC_TIMESTAMP BufferToTimeStamp(double Value) {
    auto units = static_cast<Int64>(Value);
    ISC_TIMESTAMP x;
    x.timestamp_date = static_cast<ISC_DATE>(units / TimeUnitsPerDay - ISCDateDelta);
    x.timestamp_time = static_cast<ISC_TIME>(units % TimeUnitsPerDay);
    return x;
}

} // namespace Ibrowvanekv
