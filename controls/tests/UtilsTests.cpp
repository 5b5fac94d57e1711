#include "Utilskv.h"

#include "Classes.h"
#include "DateUtils.h"

#include <gtest/gtest.h>

TEST(DaysInMonth, GregorianLeapYears) {
    struct Case {
        int Year, Month, Days;
    };
    for (const Case& c : {Case{2000, 2, 29}, Case{1900, 2, 28}, Case{2004, 2, 29}, Case{2001, 2, 28},
                          Case{2001, 4, 30}, Case{2001, 1, 31}, Case{2001, 12, 31}, Case{1, 2, 28},
                          Case{2000, 0, 0}, Case{2000, 13, 0}, Case{2000, -1, 0}}) // no such month
        EXPECT_EQ(DaysInMonth(c.Year, c.Month), c.Days) << c.Year << "-" << c.Month;
}

TEST(DaysInMonth, OfADateTakesItsYearAndMonth) {
    EXPECT_EQ(DaysInMonthOf(EncodeDate(2024, 2, 10) + 0.75), 29);
    EXPECT_EQ(DaysInMonthOf(EncodeDate(1899, 12, 30)), 31); // day 0
    EXPECT_EQ(DaysInMonthOf(EncodeDate(1850, 9, 1)), 30);   // before day 0
}

TEST(FontFaces, EachInstalledFamilyOnceThroughTheCallback) {
    TStringList faces;
    faces.Add("dejavu sans"); // already held (IndexOf ignores case)
    EXPECT_EQ(EnumFontFamilies("", AddFontFaceCallback, reinterpret_cast<LPARAM>(&faces)), 1);
    EXPECT_EQ(faces.IndexOf("DejaVu Sans"), 0);
    EXPECT_GE(faces.IndexOf("Liberation Sans"), 1);
    for (int i = 0; i < faces.GetCount(); ++i)
        EXPECT_EQ(faces.IndexOf(faces.Get(i)), i) << faces.Get(i);
    // The styles of one family all name it: it is added once.
    TStringList one;
    EXPECT_EQ(EnumFontFamilies("DejaVu Sans", AddFontFaceCallback, reinterpret_cast<LPARAM>(&one)), 1);
    EXPECT_EQ(one.GetText(), "DejaVu Sans\r\n");
}

TEST(FontFaces, TheCallbackMayEndTheEnumeration) {
    std::vector<LOGFONT> seen;
    static std::vector<LOGFONT>* sink;
    sink = &seen;
    auto first = [](const LOGFONT* lf, const TEXTMETRIC* tm, Cardinal type, LPARAM) {
        EXPECT_GT(tm->tmHeight, 0);
        EXPECT_EQ(type, TRUETYPE_FONTTYPE);
        sink->push_back(*lf);
        return 0;
    };
    EXPECT_EQ(EnumFontFamilies("DejaVu Sans Mono", first, 0), 0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].lfFaceName, "DejaVu Sans Mono");
    EXPECT_EQ(seen[0].lfPitchAndFamily, FIXED_PITCH);
    EXPECT_EQ(EnumFontFamilies("No Such Family", first, 0), 0);
    EXPECT_EQ(seen.size(), 1u);
}
