#include "DateUtils.h"

#include <gtest/gtest.h>

namespace {

TEST(DateUtils, DayNumbersAndTimeStamps) {
    struct Case {
        int y, m, d;
        int dayNumber;
        double dateTime;
    } cases[] = {
        {1, 1, 1, 1, -693593},     {1, 1, 2, 2, -693592},  {1899, 12, 30, 693594, 0},
        {1900, 1, 1, 693596, 2},   {2000, 2, 29, 730179, 36585}, {9999, 12, 31, 3652059, 2958465},
    };
    for (const auto& c : cases) {
        TDateTime v = EncodeDate(c.y, c.m, c.d);
        EXPECT_EQ(v, c.dateTime) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(DateTimeToTimeStamp(v).Date, c.dayNumber);
        int y, m, d;
        DecodeDate(v, y, m, d);
        EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
        EXPECT_EQ(TimeStampToDateTime(DateTimeToTimeStamp(v)), v);
    }
    EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
}

TEST(DateUtils, TimesBeforeAndAfter1899KeepTheirTimeOfDay) {
    for (auto [y, m, d] : {std::tuple{1850, 6, 15}, std::tuple{2024, 3, 1}}) {
        TDateTime v = EncodeDate(y, m, d);
        v = v < 0 ? v - EncodeTime(12, 0, 0, 0) : v + EncodeTime(12, 0, 0, 0);
        TTimeStamp ts = DateTimeToTimeStamp(v);
        EXPECT_EQ(ts.Time, MSecsPerDay / 2);
        int h, mi, s, ms;
        DecodeTime(v, h, mi, s, ms);
        EXPECT_EQ(h, 12);
        EXPECT_EQ(TimeStampToDateTime(ts), v);
        EXPECT_EQ(MSecsToTimeStamp(TimeStampToMSecs(ts)).Date, ts.Date);
    }
    EXPECT_EQ(DateTimeToStr(EncodeDate(2026, 12, 10) + EncodeTime(9, 5, 7, 0)), "2026-12-10 09:05:07");
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 10)), 5); // a Thursday
}

} // namespace
