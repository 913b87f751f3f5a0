#include "support/TestSupport.h"

#include "platform/Clock.h"
#include "platform/DateTime.h"
#include "platform/FormatSettings.h"

struct TDecodeCase
{
    const char *name;
    TDateTime value;
    TTimeOfDay expected;
    friend void PrintTo(const TDecodeCase &c, std::ostream *os) { *os << c.name; }
};

class DateTimeDecode : public testing::TestWithParam<TDecodeCase>
{
};

TEST_P(DateTimeDecode, SplitsTimeOfDayDroppingDays)
{
    EXPECT_EQ(DecodeTimeOfDay(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DateTimeDecode,
    testing::Values(TDecodeCase{"midnight", 0.0, {0, 0, 0}}, TDecodeCase{"noon_of_a_date", 46000.5, {12, 0, 0}},
                    TDecodeCase{"rounds_to_nearest_ms", EncodeTime(7, 5, 8, 999) + 0.6 / MsecsPerDay, {7, 5, 9}},
                    TDecodeCase{"last_ms_of_day", EncodeTime(23, 59, 59, 999), {23, 59, 59}},
                    TDecodeCase{"past_midnight_of_next_day", 1.0 + EncodeTime(0, 30, 0), {0, 30, 0}},
                    TDecodeCase{"negative_wraps_into_day", -EncodeTime(0, 0, 1), {23, 59, 59}},
                    TDecodeCase{"not_a_number", std::numeric_limits<double>::quiet_NaN(), {0, 0, 0}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(DateTimeText, UsesLocaleTimeSeparator)
{
    const FormatSettings saved = formatSettings();
    formatSettings().TimeSeparator = u'.';
    EXPECT_EQ(TimeText(EncodeTime(7, 5, 9)), u"07.05.09"_s);
    formatSettings() = saved;
    EXPECT_EQ(TimeText(EncodeTime(7, 5, 9)).size(), 8);
}

TEST(DateTimeConvert, RoundTripsThroughQDateTimeToTheMillisecond)
{
    const QDateTime when(QDate(2026, 12, 11), QTime(21, 7, 3, 127));
    EXPECT_EQ(ToQDateTime(ToDateTime(when)), when);
    EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(ToQTime(1.75), QTime(18, 0));
}

TEST(SystemClock, AgreesWithQtToTheMillisecond)
{
    const TDateTime before = ToDateTime(QDateTime::currentDateTime());
    const TDateTime now = TSystemClock().Now();
    const TDateTime after = ToDateTime(QDateTime::currentDateTime());
    EXPECT_LE(before, now + 1.0 / MsecsPerDay);
    EXPECT_LE(now, after + 1.0 / MsecsPerDay);
}
