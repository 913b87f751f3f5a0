#include "platform/Clock.h"

#include <QDateTime>

#include <cmath>

TDateTime IClock::Time() const
{
    const TDateTime now = Now();
    return now - std::floor(now);
}

TDateTime TSystemClock::Now() const
{
    return ToDateTime(QDateTime::currentDateTime());
}

namespace {
IClock *g_clock = nullptr;
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
