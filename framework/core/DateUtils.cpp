#include "DateUtils.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

bool IsLeapYear(int Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

int DaysInAMonth(int Year, int Month) {
    static const int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (Month < 1 || Month > 12) return 0;
    return Days[Month - 1] + (Month == 2 && IsLeapYear(Year) ? 1 : 0);
}

bool TryEncodeDate(int Year, int Month, int Day, TDateTime& Value) {
    if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > DaysInAMonth(Year, Month))
        return false;
    int days = Day;
    for (int m = 1; m < Month; ++m) days += DaysInAMonth(Year, m);
    int y = Year - 1;
    days += y * 365 + y / 4 - y / 100 + y / 400; // days is now the day number, 0001-01-01 = 1
    Value = static_cast<double>(days - DateDelta);
    return true;
}

TDateTime EncodeDate(int Year, int Month, int Day) {
    TDateTime v;
    if (!TryEncodeDate(Year, Month, Day, v)) throw EConvertError("Invalid argument to date encode");
    return v;
}

bool TryEncodeTime(int Hour, int Min, int Sec, int MSec, TDateTime& Value) {
    if (Hour < 0 || Hour > 23 || Min < 0 || Min > 59 || Sec < 0 || Sec > 59 || MSec < 0 || MSec > 999)
        return false;
    Value = static_cast<double>(((Hour * 60 + Min) * 60 + Sec) * 1000 + MSec) / MSecsPerDay;
    return true;
}

TDateTime EncodeTime(int Hour, int Min, int Sec, int MSec) {
    TDateTime v;
    if (!TryEncodeTime(Hour, Min, Sec, MSec, v)) throw EConvertError("Invalid argument to time encode");
    return v;
}

namespace {

// Civil date of a day number (0001-01-01 = 1).
void DayNumberToDate(int DayNumber, int& Year, int& Month, int& Day) {
    if (DayNumber <= 0) {
        Year = Month = Day = 0;
        return;
    }
    int t = DayNumber - 1;
    int y = 1;
    const int D400 = 146097, D100 = 36524, D4 = 1461, D1 = 365;
    y += (t / D400) * 400;
    t %= D400;
    int n100 = t / D100;
    if (n100 == 4) n100 = 3;
    y += n100 * 100;
    t -= n100 * D100;
    y += (t / D4) * 4;
    t %= D4;
    int n1 = t / D1;
    if (n1 == 4) n1 = 3;
    y += n1;
    t -= n1 * D1;
    int m = 1;
    while (t >= DaysInAMonth(y, m)) t -= DaysInAMonth(y, m++);
    Year = y;
    Month = m;
    Day = t + 1;
}

} // namespace

TTimeStamp DateTimeToTimeStamp(TDateTime Value) {
    double msecs = std::round(Value * MSecsPerDay);
    long long total = static_cast<long long>(msecs);
    long long days = total / MSecsPerDay;
    long long time = total % MSecsPerDay;
    if (time < 0) { // the time of a negative value counts back from its midnight
        time = -time;
    }
    TTimeStamp ts;
    ts.Time = static_cast<int>(time);
    ts.Date = static_cast<int>(days + DateDelta);
    return ts;
}

TDateTime TimeStampToDateTime(const TTimeStamp& Value) {
    double days = static_cast<double>(Value.Date) - DateDelta;
    double time = static_cast<double>(Value.Time) / MSecsPerDay;
    return days < 0 ? days - time : days + time;
}

double TimeStampToMSecs(const TTimeStamp& Value) {
    return static_cast<double>(static_cast<long long>(Value.Date) * MSecsPerDay + Value.Time);
}

TTimeStamp MSecsToTimeStamp(double MSecs) {
    long long total = static_cast<long long>(MSecs);
    TTimeStamp ts;
    ts.Date = static_cast<int>(total / MSecsPerDay);
    ts.Time = static_cast<int>(total % MSecsPerDay);
    return ts;
}

void DecodeDate(TDateTime Value, int& Year, int& Month, int& Day) {
    DayNumberToDate(DateTimeToTimeStamp(Value).Date, Year, Month, Day);
}

void DecodeTime(TDateTime Value, int& Hour, int& Min, int& Sec, int& MSec) {
    int t = DateTimeToTimeStamp(Value).Time;
    MSec = t % 1000;
    t /= 1000;
    Sec = t % 60;
    t /= 60;
    Min = t % 60;
    Hour = t / 60;
}

int DayOfWeek(TDateTime Value) { return DateTimeToTimeStamp(Value).Date % 7 + 1; }

TDateTime Now() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, local.tm_sec, ms);
}

TDateTime Date() { return std::floor(Now()); }
TDateTime Time() {
    TDateTime n = Now();
    return n - std::floor(n);
}

AnsiString DateToStr(TDateTime Value) {
    int y, m, d;
    DecodeDate(Value, y, m, d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

AnsiString TimeToStr(TDateTime Value) {
    int h, mi, s, ms;
    DecodeTime(Value, h, mi, s, ms);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, s);
    return buf;
}

AnsiString DateTimeToStr(TDateTime Value) {
    TTimeStamp ts = DateTimeToTimeStamp(Value);
    return ts.Time == 0 ? DateToStr(Value) : DateToStr(Value) + " " + TimeToStr(Value);
}
