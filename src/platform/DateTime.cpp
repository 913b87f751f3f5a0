#include "platform/DateTime.h"

#include "platform/FormatSettings.h"

#include <cmath>

namespace {

const QDate Epoch(1899, 12, 30);

std::int64_t RoundedMsecs(TDateTime value)
{
    return std::llround(value * double(MsecsPerDay));
}

std::int64_t MsecsOfDay(TDateTime value)
{
    std::int64_t ms = RoundedMsecs(value) % MsecsPerDay;
    return ms < 0 ? ms + MsecsPerDay : ms;
}

} // namespace

TTimeOfDay DecodeTimeOfDay(TDateTime value)
{
    if (!std::isfinite(value))
        return {};
    const std::int64_t ms = MsecsOfDay(value);
    return {int(ms / 3'600'000), int(ms / 60'000 % 60), int(ms / 1'000 % 60)};
}

QString TimeText(const TTimeOfDay &time)
{
    const QChar sep = formatSettings().TimeSeparator;
    return QStringLiteral("%1%2%3%4%5")
        .arg(time.Hour, 2, 10, QChar(u'0'))
        .arg(sep)
        .arg(time.Minute, 2, 10, QChar(u'0'))
        .arg(sep)
        .arg(time.Second, 2, 10, QChar(u'0'));
}

QString TimeText(TDateTime value)
{
    return TimeText(DecodeTimeOfDay(value));
}

TDateTime EncodeTime(int hour, int minute, int second, int msec)
{
    return double((std::int64_t(hour) * 3600 + minute * 60 + second) * 1000 + msec) / double(MsecsPerDay);
}

TDateTime EncodeDate(int year, int month, int day)
{
    return double(Epoch.daysTo(QDate(year, month, day)));
}

TDateTime ToDateTime(const QDateTime &value)
{
    if (!value.isValid())
        return 0;
    return double(Epoch.daysTo(value.date())) + ToDateTime(value.time());
}

TDateTime ToDateTime(const QTime &value)
{
    return value.isValid() ? double(value.msecsSinceStartOfDay()) / double(MsecsPerDay) : 0.0;
}

QDateTime ToQDateTime(TDateTime value)
{
    if (!std::isfinite(value))
        return {};
    const std::int64_t total = RoundedMsecs(value);
    std::int64_t days = total / MsecsPerDay;
    std::int64_t ms = total % MsecsPerDay;
    if (ms < 0) {
        ms += MsecsPerDay;
        --days;
    }
    return QDateTime(Epoch.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

QTime ToQTime(TDateTime value)
{
    return std::isfinite(value) ? QTime::fromMSecsSinceStartOfDay(int(MsecsOfDay(value))) : QTime(0, 0);
}
