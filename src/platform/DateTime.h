#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

// A date-time as a count of days since 30 December 1899; the fraction is the time of day.
using TDateTime = double;

inline constexpr std::int64_t MsecsPerDay = 86'400'000;

// Hours, minutes and seconds of a value's time of day; whole days are dropped.
struct TTimeOfDay
{
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    bool operator==(const TTimeOfDay &) const = default;
};

// Rounds to the nearest millisecond, keeps the remainder of the day (also for negative values) and splits it.
TTimeOfDay DecodeTimeOfDay(TDateTime value);

// "HH<sep>MM<sep>SS" with the locale's time separator from formatSettings().
QString TimeText(TDateTime value);
QString TimeText(const TTimeOfDay &time);

// A time of day with milliseconds as a fraction of a day (date part 0).
TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);
TDateTime EncodeDate(int year, int month, int day);

TDateTime ToDateTime(const QDateTime &value);  // local date and time; invalid gives 0
TDateTime ToDateTime(const QTime &value);      // time of day only
QDateTime ToQDateTime(TDateTime value);        // local; exact to the millisecond
QTime ToQTime(TDateTime value);                // the time of day, to the millisecond
