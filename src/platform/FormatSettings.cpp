#include "platform/FormatSettings.h"

#include <QLocale>

namespace {

// The first character of a format that is not a field letter or a quote is its separator.
QChar SeparatorOf(const QString &format, QChar fallback)
{
    for (QChar c : format) {
        if (!c.isLetter() && c != u'\'' && !c.isSpace())
            return c;
    }
    return fallback;
}

// Qt's short formats may use two-digit years ("yy"); entry and storage want four.
QString WithFourDigitYear(QString format)
{
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

} // namespace

FormatSettings FormatSettings::FromLocale(const QLocale &locale)
{
    FormatSettings s;
    s.ShortDateFormat = WithFourDigitYear(locale.dateFormat(QLocale::ShortFormat));
    s.DateSeparator = SeparatorOf(s.ShortDateFormat, u'/');
    s.LongTimeFormat = locale.timeFormat(QLocale::LongFormat);
    // Drop a trailing time-zone field: stored times must read back in any zone.
    s.LongTimeFormat.remove(QLatin1Char('t')).replace(QLatin1String("  "), QLatin1String(" "));
    s.LongTimeFormat = s.LongTimeFormat.trimmed();
    s.TimeSeparator = SeparatorOf(s.LongTimeFormat, u':');
    const QString decimal = locale.decimalPoint();
    s.DecimalSeparator = decimal.isEmpty() ? QChar(u'.') : decimal.front();
    return s;
}

FormatSettings &formatSettings()
{
    static FormatSettings settings = FormatSettings::FromLocale(QLocale());
    return settings;
}
