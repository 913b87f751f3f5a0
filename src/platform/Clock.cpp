#include "platform/Clock.h"

#include <cmath>
#include <ctime>

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's civil-from-days inverse).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

constexpr std::int64_t EpochOffsetDays = -DaysFromCivil(1899, 12, 30); // 1970-01-01 as a TDateTime day

IClock *g_clock = nullptr;

} // namespace

TDateTime IClock::Time() const
{
    const TDateTime now = Now();
    return now - std::floor(now);
}

TDateTime TSystemClock::Now() const
{
    // Read ten times a second and on date keystrokes, so it avoids QDateTime's per-call zone lookup; the zone
    // rules are still re-read once a second, so a change of time zone shows at the next second.
    static thread_local timespec lastZoneCheck{};
    timespec monotonic{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &monotonic);
    if (monotonic.tv_sec != lastZoneCheck.tv_sec) {
        tzset();
        lastZoneCheck = monotonic;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    const std::int64_t days = DaysFromCivil(local.tm_year + 1900LL, unsigned(local.tm_mon + 1), unsigned(local.tm_mday)) +
                              EpochOffsetDays;
    const std::int64_t msecs =
        (std::int64_t(local.tm_hour) * 3600 + local.tm_min * 60 + std::min(local.tm_sec, 59)) * 1000 +
        now.tv_nsec / 1'000'000;
    return double(days) + double(msecs) / double(MsecsPerDay);
}

IClock &processClock()
{
    static TSystemClock system;
    return g_clock ? *g_clock : system;
}

void setProcessClock(IClock *clock)
{
    g_clock = clock;
}
