// Fonts: the forms' font family of the platform they were designed on is
// shown in an installed family with similar widths.
#include "Graphics.h"
#include "UiTestEnv.h"

#include <QFontInfo>

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

} // namespace
