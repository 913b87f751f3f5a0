#pragma once

#include <QDate>
#include <QString>
#include <QTime>

#include <cstdint>

// Sets the computer's local clock. Each call reports whether the system accepted it and, if not, why.
class IClockSetter
{
public:
    struct TResult
    {
        bool Ok = false;
        QString Error; // a sentence for the user when Ok is false
    };

    virtual ~IClockSetter() = default;
    virtual TResult SetTimeOfDay(const QTime &time) = 0; // keeps the date
    virtual TResult SetDate(const QDate &date) = 0;      // keeps the time of day
};

// Steps the system clock to an instant (microseconds since 1970-01-01 UTC) without asking any service. Needs the right
// to change the clock; the result says why it failed otherwise.
IClockSetter::TResult SetRealtimeClock(std::int64_t usecSinceEpoch);
