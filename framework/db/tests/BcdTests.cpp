// BCD records and their conversions to and from Currency.
#include "FMTBcd.h"

#include <gtest/gtest.h>

#include <limits>

TEST(Bcd, CurrencyToBcdAndBack) {
    struct Case {
        Int64 Raw;
        int Precision, Decimals;
        bool Ok;
        const char* Text;
        Int64 Back; // the Currency read back
    };
    constexpr Int64 Max = std::numeric_limits<Int64>::max(), Min = std::numeric_limits<Int64>::min();
    const Case cases[] = {
        {123400, 32, 2, true, "12.34", 123400},
        {123450, 32, 2, true, "12.35", 123500}, // half away from zero
        {-123450, 32, 2, true, "-12.35", -123500},
        {123449, 32, 2, true, "12.34", 123400},
        {5, 32, 4, true, "0.0005", 5},
        {5, 32, 3, true, "0.001", 10},
        {-4, 32, 3, true, "0.000", 0},      // rounds to zero: no sign
        {99999, 32, 0, true, "10", 100000}, // the carry adds a digit
        {10000, 8, 6, true, "1.000000", 10000},
        {123400, 4, 2, true, "12.34", 123400}, // exactly as many digits as allowed
        {123400, 3, 2, false, "", 0},
        {Max, 32, 4, true, "922337203685477.5807", Max},
        {Min, 32, 4, true, "-922337203685477.5808", Min},
        {0, 0, 0, false, "", 0},
        {0, 65, 0, false, "", 0},
        {0, 5, 6, false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.Raw) + " at " + std::to_string(c.Precision) + "," +
                     std::to_string(c.Decimals));
        TBcd bcd;
        bcd.Precision = 7; // left alone on failure
        ASSERT_EQ(CurrToBCD(Currency::FromRaw(c.Raw), bcd, c.Precision, c.Decimals), c.Ok);
        if (!c.Ok) {
            EXPECT_EQ(bcd.Precision, 7);
            continue;
        }
        EXPECT_EQ(bcd.Precision, c.Precision);
        EXPECT_EQ(bcd.SignSpecialPlaces & 0x3F, c.Decimals);
        EXPECT_EQ(BcdToStr(bcd), c.Text);
        Currency back;
        ASSERT_TRUE(BCDToCurr(bcd, back));
        EXPECT_EQ(back.Raw(), c.Back);
    }
}

TEST(Bcd, MalformedOrOversizedRecordsAreRefused) {
    auto digits = [](const char* text, int places) {
        TBcd bcd;
        int n = 0;
        for (const char* p = text; *p; ++p, ++n) {
            int d = *p - '0';
            bcd.Fraction[n / 2] |= static_cast<Byte>(n % 2 == 0 ? d << 4 : d);
        }
        bcd.Precision = static_cast<Byte>(n);
        bcd.SignSpecialPlaces = static_cast<Byte>(places);
        return bcd;
    };
    Currency value = Currency::FromRaw(42);
    TBcd tooBig = digits("99999999999999999999", 0); // 20 integer digits
    EXPECT_FALSE(BCDToCurr(tooBig, value));
    TBcd badPlaces = digits("12", 3);
    EXPECT_FALSE(BCDToCurr(badPlaces, value));
    TBcd badNibble = digits("12", 0);
    badNibble.Fraction[0] = 0x1A;
    EXPECT_FALSE(BCDToCurr(badNibble, value));
    TBcd special = digits("12", 0);
    special.SignSpecialPlaces |= 0x40;
    EXPECT_FALSE(BCDToCurr(special, value));
    EXPECT_EQ(BcdToStr(special), "");
    EXPECT_EQ(value.Raw(), 42); // untouched by every failure

    TBcd sixPlaces = digits("0123456", 6);
    ASSERT_TRUE(BCDToCurr(sixPlaces, value));
    EXPECT_EQ(value.Raw(), 1235); // 0.123456 rounds to 0.1235
}
