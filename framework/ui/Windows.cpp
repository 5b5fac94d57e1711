#include "Windows.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

namespace {

// The nominal size the enumeration reports fonts in: 8 points.
constexpr int NominalPixels = 11;

int Report(const QString& Family, const QString& Style, FONTENUMPROC Proc, LPARAM Data) {
    QFont font = QFontDatabase::font(Family, Style, 8);
    font.setPixelSize(NominalPixels);
    QFontMetrics fm(font);
    LOGFONT lf;
    lf.lfHeight = -NominalPixels;
    lf.lfWeight = font.weight() >= QFont::Bold ? 700 : 400;
    lf.lfItalic = QFontDatabase::italic(Family, Style) ? 1 : 0;
    lf.lfPitchAndFamily = QFontDatabase::isFixedPitch(Family, Style) ? FIXED_PITCH : VARIABLE_PITCH;
    lf.lfFaceName = Family.toStdString();
    TEXTMETRIC tm;
    tm.tmHeight = fm.height();
    tm.tmAscent = fm.ascent();
    tm.tmDescent = fm.descent();
    tm.tmAveCharWidth = fm.averageCharWidth();
    tm.tmMaxCharWidth = fm.maxWidth();
    tm.tmWeight = lf.lfWeight;
    Cardinal type = QFontDatabase::isSmoothlyScalable(Family, Style) ? TRUETYPE_FONTTYPE : RASTER_FONTTYPE;
    return Proc(&lf, &tm, type, Data);
}

} // namespace

int EnumFontFamilies(const AnsiString& Family, FONTENUMPROC Proc, LPARAM Data) {
    int result = 0;
    if (Family.empty()) {
        for (const QString& family : QFontDatabase::families()) {
            if (QFontDatabase::isPrivateFamily(family)) continue;
            QStringList styles = QFontDatabase::styles(family);
            result = Report(family, styles.value(0), Proc, Data);
            if (result == 0) break;
        }
        return result;
    }
    QString family = QString::fromStdString(Family);
    for (const QString& style : QFontDatabase::styles(family)) {
        result = Report(family, style, Proc, Data);
        if (result == 0) break;
    }
    return result;
}
