#pragma once

#include "platform/Clock.h"

#include <cmath>
#include <cstdint>

// A clock that stands still until the test moves it.
class TFakeClock final : public IClock
{
public:
    explicit TFakeClock(TDateTime now = 0) { Set(now); }
    TDateTime Now() const override { return double(m_msecs) / double(MsecsPerDay); }
    void Set(TDateTime now) { m_msecs = std::llround(now * double(MsecsPerDay)); }
    void AdvanceMs(double ms) { m_msecs += std::llround(ms); }

private:
    std::int64_t m_msecs = 0; // whole milliseconds, so that long walks do not drift
};

// Installs a clock as the process-wide one for the life of a test.
class TScopedClock
{
public:
    explicit TScopedClock(IClock &clock) { setProcessClock(&clock); }
    ~TScopedClock() { setProcessClock(nullptr); }
    TScopedClock(const TScopedClock &) = delete;
    TScopedClock &operator=(const TScopedClock &) = delete;
};
