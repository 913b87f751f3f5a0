#pragma once

#include "platform/DateTime.h"

// The local wall clock. Every reading is a fresh one.
class IClock
{
public:
    virtual ~IClock() = default;
    virtual TDateTime Now() const = 0; // local date and time, to the millisecond

    // The local time of day only (date part 0), as the alarm engine compares it.
    TDateTime Time() const;
};

// The system's local clock.
class TSystemClock final : public IClock
{
public:
    TDateTime Now() const override;
};

// The clock that code without a TPlatform reads (the date filters' century). The system clock unless a test set one.
IClock &processClock();
void setProcessClock(IClock *clock); // nullptr restores the system clock
