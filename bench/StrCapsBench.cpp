// Cost of one filter call on typical field contents: a keystroke must never wait on a filter.
#include "controls/StrCaps.h"
#include "platform/Clock.h"
#include "platform/Notice.h"

#include <benchmark/benchmark.h>

namespace {

class TSilentNotice final : public IUserNotice
{
public:
    void Beep() override {}
    void Message(QWidget *, const QString &, const QString &, Icon) override {}
    void Error(QWidget *, const QString &) override {}
};

class TFixedClock final : public IClock
{
public:
    TDateTime Now() const override { return 39'217.5; } // 15 May 2007, noon
};

const QString Name = QStringLiteral("vittorio emanuele iii della casa di roma"); // 40 characters

void FilterName(benchmark::State &state, CharFilterType kind)
{
    const TStringCaps caps;
    for (auto _ : state)
        benchmark::DoNotOptimize(caps.Filter(Name, kind));
}
BENCHMARK_CAPTURE(FilterName, first_cap, CharFilterType::chFirstCap);
BENCHMARK_CAPTURE(FilterName, first_cap_cong, CharFilterType::chFirstCapCong);
BENCHMARK_CAPTURE(FilterName, one_cap, CharFilterType::chOneCap);
BENCHMARK_CAPTURE(FilterName, all_caps, CharFilterType::chAllCaps);

// One key at the caret at the end of a date field. DateAge dtCurrent reads the clock for the century: the system
// clock, or a fixed one to show the filter's own share.
void DateKey(benchmark::State &state, const char *field, char key, bool systemClock)
{
    static TSilentNotice notice;
    static TFixedClock fixed;
    setUserNotice(&notice);
    setProcessClock(systemClock ? nullptr : &fixed);
    const TStringCaps caps;
    const QString start = QString::fromLatin1(field);
    for (auto _ : state) {
        QString text = start;
        int selStart = int(text.size()), selEnd = selStart;
        benchmark::DoNotOptimize(
            caps.CharDateProcess(QChar::fromLatin1(key), text, selStart, selEnd, DateAgeType::dtCurrent));
        benchmark::DoNotOptimize(text);
    }
    setUserNotice(nullptr);
    setProcessClock(nullptr);
}
BENCHMARK_CAPTURE(DateKey, month_completes_century, "12/0", '5', true);
BENCHMARK_CAPTURE(DateKey, month_completes_century_fixed_clock, "12/0", '5', false);
BENCHMARK_CAPTURE(DateKey, year_digit_passes, "12/05/200", '7', true);
BENCHMARK_CAPTURE(DateKey, fifth_year_digit_refused, "12/05/2007", '1', true);

// For comparison: one reading of the system's local clock.
void SystemClockNow(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(processClock().Now());
}
BENCHMARK(SystemClockNow);

} // namespace

BENCHMARK_MAIN();
