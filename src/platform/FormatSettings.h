#pragma once

#include <QChar>
#include <QString>

// The user's regional formats, read from the locale at start-up; tests assign their own.
struct FormatSettings
{
    QChar DateSeparator = u'/';
    QChar TimeSeparator = u':';
    QChar DecimalSeparator = u'.';
    QString ShortDateFormat = QStringLiteral("dd/MM/yyyy"); // QDate::toString pattern
    QString LongTimeFormat = QStringLiteral("HH:mm:ss");    // QTime::toString pattern

    bool operator==(const FormatSettings &) const = default;

    // The separators and formats of a locale (QLocale() for the user's).
    static FormatSettings FromLocale(const class QLocale &locale);
};

// The process-wide settings. Initialised from QLocale() on first use.
FormatSettings &formatSettings();
