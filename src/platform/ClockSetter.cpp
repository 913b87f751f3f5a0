#include "platform/ClockSetter.h"

#include <cerrno>
#include <ctime>
#include <system_error>

IClockSetter::TResult SetRealtimeClock(std::int64_t usecSinceEpoch)
{
    timespec value{};
    value.tv_sec = time_t(usecSinceEpoch / 1'000'000);
    value.tv_nsec = long(usecSinceEpoch % 1'000'000) * 1000;
    if (value.tv_nsec < 0) {
        value.tv_nsec += 1'000'000'000;
        --value.tv_sec;
    }
    if (clock_settime(CLOCK_REALTIME, &value) == 0)
        return {true, {}};
    const int error = errno;
    if (error == EPERM)
        return {false, QStringLiteral("You are not allowed to change the clock.")};
    return {false, QString::fromStdString(std::generic_category().message(error)) + u'.'};
}
