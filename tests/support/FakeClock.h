#pragma once

#include "platform/Clock.h"

// A clock that stands still until the test moves it.
class TFakeClock final : public IClock
{
public:
    explicit TFakeClock(TDateTime now = 0) : m_now(now) {}
    TDateTime Now() const override { return m_now; }
    void Set(TDateTime now) { m_now = now; }
    void AdvanceMs(double ms) { m_now += ms / double(MsecsPerDay); }

private:
    TDateTime m_now;
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
