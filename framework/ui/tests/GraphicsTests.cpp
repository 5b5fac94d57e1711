// Fonts: the forms' font family of the platform they were designed on is
// shown in an installed family with similar widths.
#include "Graphics.h"
#include "UiTestEnv.h"

#include <QFontInfo>
#include <QFontMetrics>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

TEST(Fonts, TheDesignedFamilyIsShownInAMetricCompatibleOne) {
    // scripts/setup installs the stand-ins.
    struct Case {
        const char* Name;
        const char* Shown;
    } cases[] = {
        {"MS Sans Serif", "Liberation Sans"},
        {"ms sans serif", "Liberation Sans"},
        {"Microsoft Sans Serif", "Liberation Sans"},
        {"MS Shell Dlg 2", "Liberation Sans"},
        {"Arial", "Arial"}, // fontconfig knows its own stand-ins
        {"DejaVu Sans", "DejaVu Sans"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScreenFontFamily(c.Name), c.Shown) << c.Name;

    TFont font; // the forms' font: MS Sans Serif, 11 pixels
    QFont shown = font.ToQFont();
    EXPECT_EQ(QFontInfo(shown).family(), "Liberation Sans");
    EXPECT_EQ(QFontInfo(shown).pixelSize(), 11);
    // The form keeps the name it was designed with.
    EXPECT_EQ(font.GetName(), "MS Sans Serif");
}

TEST(Fonts, LinesOfTheDesignedFamilyAreAsTallAsTheyWereDesigned) {
    struct Case {
        const char* Name;
        int Height, Line;
    } cases[] = {
        {"MS Sans Serif", -11, 13}, // the forms' rows, a pixel more than the stand-in's
        {"MS Sans Serif", -13, 16}, {"MS Sans Serif", 20, 20}, // a positive height is the line itself
        {"MS Sans Serif", 2, 0},                               // too short for the stand-in: its own line
        {"DejaVu Sans", -30, 0},                               // other families keep their own lines
    };
    for (const Case& c : cases) {
        TFont font;
        font.SetName(c.Name);
        font.SetHeight(c.Height);
        int own = QFontMetrics(font.ToQFont()).height();
        // Never shorter than the text shown needs.
        EXPECT_EQ(TextLineHeight(font), std::max(c.Line, own)) << c.Name << " " << c.Height;
    }
}

} // namespace
