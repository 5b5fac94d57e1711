#include "Utilskv.h"

#include "DateUtils.h"

#include <gtest/gtest.h>

TEST(DaysInMonth, GregorianLeapYears) {
    struct Case {
        int Year, Month, Days;
    };
    for (const Case& c : {Case{2000, 2, 29}, Case{1900, 2, 28}, Case{2004, 2, 29}, Case{2001, 2, 28},
                          Case{2001, 4, 30}, Case{2001, 1, 31}, Case{2001, 12, 31}, Case{1, 2, 28}})
        EXPECT_EQ(DaysInMonth(c.Year, c.Month), c.Days) << c.Year << "-" << c.Month;
}

TEST(DaysInMonth, OfADateTakesItsYearAndMonth) {
    EXPECT_EQ(DaysInMonthOf(EncodeDate(2024, 2, 10) + 0.75), 29);
    EXPECT_EQ(DaysInMonthOf(EncodeDate(1899, 12, 30)), 31); // day 0
    EXPECT_EQ(DaysInMonthOf(EncodeDate(1850, 9, 1)), 30);   // before day 0
}
