#pragma once

#include "platform/ClockSetter.h"

#include <QDBusConnection>

#include <cstdint>
#include <functional>
#include <optional>

class IClock;
class QDateTime;

// Sets the clock through the system's time service (org.freedesktop.timedate1 on the system bus), which asks the user
// for authorisation when needed. Only when no time service is there to answer is the clock stepped directly.
class TSystemClockSetter final : public IClockSetter
{
public:
    // Steps the clock to microseconds since 1970 UTC when no time service answers.
    using TDirectSetter = std::function<TResult(std::int64_t usecSinceEpoch)>;

    // The system bus (connected at the first call), the process clock and SetRealtimeClock.
    TSystemClockSetter();
    // clock gives the part of the date-time that each call keeps.
    TSystemClockSetter(const QDBusConnection &bus, IClock &clock, TDirectSetter direct);

    TResult SetTimeOfDay(const QTime &time) override;
    TResult SetDate(const QDate &date) override;

    // Milliseconds to wait for the time service, the user's answer to an authorisation dialog included.
    int CallTimeout = 120'000;

private:
    TResult SetLocal(const QDateTime &local);

    std::optional<QDBusConnection> m_bus; // the system bus, connected at the first call
    IClock &m_clock;
    TDirectSetter m_direct;
};
