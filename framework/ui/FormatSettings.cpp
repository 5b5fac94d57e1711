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
    return s;
}

TFormatSettings& FormatSettings() {
    static TFormatSettings settings = GetLocaleFormatSettings();
    return settings;
}
