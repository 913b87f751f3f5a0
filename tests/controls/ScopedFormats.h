#pragma once

#include "platform/FormatSettings.h"

// Sets the process-wide regional formats for one test and puts the previous ones back after it.
class TScopedFormats
{
public:
    explicit TScopedFormats(const FormatSettings &formats) : m_saved(formatSettings()) { formatSettings() = formats; }
    ~TScopedFormats() { formatSettings() = m_saved; }
    TScopedFormats(const TScopedFormats &) = delete;
    TScopedFormats &operator=(const TScopedFormats &) = delete;

    // Day/month/year with slashes and a decimal comma, as an Italian desktop has them.
    static FormatSettings Italian()
    {
        FormatSettings formats;
        formats.DateSeparator = u'/';
        formats.TimeSeparator = u':';
        formats.DecimalSeparator = u',';
        formats.ShortDateFormat = QStringLiteral("dd/MM/yyyy");
        formats.LongTimeFormat = QStringLiteral("HH:mm:ss");
        return formats;
    }

private:
    FormatSettings m_saved;
};
