#include "FormatSettings.h"

#include <QLocale>

namespace {

// The first character of a format that is no field letter: the separator
// the locale writes between the fields.
AnsiString SeparatorOf(const QString& Format, const AnsiString& Fallback) {
    for (qsizetype i = 0; i < Format.size(); ++i) {
        QChar c = Format[i];
        if (c == QLatin1Char('\'')) break; // quoted text is no separator
        if (c.isLetter() || c.isSpace()) continue;
        return QString(c).toStdString();
    }
    return Fallback;
}

} // namespace

TFormatSettings GetLocaleFormatSettings(const AnsiString& LocaleName) {
    QLocale locale = LocaleName.empty() ? QLocale::system() : QLocale(QString::fromStdString(LocaleName));
    TFormatSettings s;
    s.DecimalSeparator = locale.decimalPoint().toStdString();
    s.ThousandSeparator = locale.groupSeparator().toStdString();
    s.DateSeparator = SeparatorOf(locale.dateFormat(QLocale::ShortFormat), "/");
    s.TimeSeparator = SeparatorOf(locale.timeFormat(QLocale::ShortFormat), ":");
    for (int d = 0; d < 7; ++d)
        s.ShortDayNames[d] = locale.standaloneDayName(d == 0 ? 7 : d, QLocale::ShortFormat).toStdString();
    for (int m = 0; m < 12; ++m)
        s.LongMonthNames[m] = locale.standaloneMonthName(m + 1, QLocale::LongFormat).toStdString();
    return s;
}

TFormatSettings& FormatSettings() {
    static TFormatSettings settings = GetLocaleFormatSettings();
    return settings;
}
