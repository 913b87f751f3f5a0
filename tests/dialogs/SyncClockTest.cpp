#include "support/TestSupport.h"

#include "dialogs/AlarmSettings.h"
#include "dialogs/SyncClock.h"
#include "platform/FormatSettings.h"
#include "platform/Platform.h"
#include "support/FakeClock.h"
#include "support/FakeClockSetter.h"
#include "support/FakeNotice.h"
#include "support/FakeSntp.h"
#include "support/RecordingSound.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

using Box = TFakeNotice::TBox;
using Icon = IUserNotice::Icon;

TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms)
{
    return ToDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms)));
}

class SyncClockTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_formats = formatSettings();
        formatSettings().DateSeparator = u'/';
        formatSettings().TimeSeparator = u':';
        settings.HostTimeServer = u"pool.example"_s;
        clock.Set(At(2008, 3, 5, 14, 0, 0, 456));
        dialog.show();
    }
    void TearDown() override { formatSettings() = m_formats; }

    QLineEdit *HostEdit() { return dialog.findChild<QLineEdit *>(u"HostEdit"_s); }
    QPushButton *Button(const QString &name) { return dialog.findChild<QPushButton *>(name); }

    // Types the host as the user would and presses "Sync internal clock".
    void Sync(const QString &host)
    {
        HostEdit()->clear();
        QTest::keyClicks(HostEdit(), host);
        QTest::mouseClick(Button(u"OkButton"_s), Qt::LeftButton);
    }

    TFakeClock clock;
    TRecordingSound sound;
    TFakeNotice notice;
    TFakeClockSetter setter;
    TFakeSntp sntp;
    TPlatform platform{clock, sound, notice, setter, sntp};
    TAlarmSettings settings;
    TSyncClockForm dialog{nullptr, settings, platform};

private:
    FormatSettings m_formats;
};

TEST_F(SyncClockTest, OpensOnTheStoredHostWithSyncFocused)
{
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_EQ(HostEdit()->text(), u"pool.example"_s);
    EXPECT_EQ(dialog.focusWidget(), Button(u"OkButton"_s));
}

TEST_F(SyncClockTest, EmptyHostAsksNothingAndReportsYear1899)
{
    Sync(u""_s);
    EXPECT_TRUE(sntp.Asked.isEmpty());
    EXPECT_EQ(settings.HostTimeServer, u"pool.example"_s);
    EXPECT_EQ(notice.Boxes, (std::vector<Box>{{u"Error"_s, u"1899 is not a valid year."_s, Icon::Critical}}));
    EXPECT_TRUE(setter.Calls.isEmpty());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(SyncClockTest, FailedQueryNamesHostAndPortAndLeavesClockAlone)
{
    sntp.Fails = true;
    Sync(u"nohost.invalid"_s);
    EXPECT_EQ(sntp.Asked, QStringList{u"nohost.invalid"_s});
    EXPECT_EQ(settings.HostTimeServer, u"nohost.invalid"_s);
    EXPECT_EQ(
        notice.Boxes,
        (std::vector<Box>{{u"Error"_s,
                           u"Time out in reading NTP server nohost.invalid\rInvalid host or port 123 unavailable."_s,
                           Icon::Critical}}));
    EXPECT_TRUE(setter.Calls.isEmpty());
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(SyncClockTest, CancelAfterFailedAttemptKeepsThatHost)
{
    sntp.Fails = true;
    Sync(u"a.example"_s);
    QTest::mouseClick(Button(u"CancelButton"_s), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(settings.HostTimeServer, u"a.example"_s);
    EXPECT_TRUE(setter.Calls.isEmpty());
}

struct TYearCase
{
    const char *name;
    TDateTime server;
    QString error; // empty: the clock is set
    friend void PrintTo(const TYearCase &c, std::ostream *os) { *os << c.name; }
};

class SyncClockYear : public SyncClockTest, public testing::WithParamInterface<TYearCase>
{
};

TEST_P(SyncClockYear, SetsTheClockOnlyFrom1951)
{
    const TYearCase &c = GetParam();
    sntp.Answer = c.server;
    Sync(u"pool.example"_s);
    if (c.error.isEmpty()) {
        EXPECT_EQ(setter.Calls.size(), 2);
        ASSERT_EQ(notice.Boxes.size(), 1u);
        EXPECT_EQ(notice.Boxes[0].Caption, u"Internal clock"_s);
        EXPECT_FALSE(dialog.isVisible());
    } else {
        EXPECT_EQ(notice.Boxes, (std::vector<Box>{{u"Error"_s, c.error, Icon::Critical}}));
        EXPECT_TRUE(setter.Calls.isEmpty());
        EXPECT_TRUE(dialog.isVisible());
    }
}

INSTANTIATE_TEST_SUITE_P(Years, SyncClockYear,
                         testing::Values(TYearCase{"no_answer", 0, u"1899 is not a valid year."_s},
                                         TYearCase{"last_moment_of_1950", At(1950, 12, 31, 23, 59, 59, 999),
                                                   u"1950 is not a valid year."_s},
                                         TYearCase{"first_moment_of_1951", At(1951, 1, 1, 0, 0, 0, 0), {}},
                                         TYearCase{"far_future", At(2999, 6, 1, 12, 0, 0, 0), {}}),
                         [](const auto &row) { return std::string(row.param.name); });

struct TReportCase
{
    const char *name;
    QChar dateSeparator, timeSeparator;
    QString report;
    friend void PrintTo(const TReportCase &c, std::ostream *os) { *os << c.name; }
};

class SyncClockReport : public SyncClockTest, public testing::WithParamInterface<TReportCase>
{
};

TEST_P(SyncClockReport, SetsTimeToTheHundredthThenDateAndReportsBothValues)
{
    const TReportCase &c = GetParam();
    formatSettings().DateSeparator = c.dateSeparator;
    formatSettings().TimeSeparator = c.timeSeparator;
    sntp.Answer = At(2008, 3, 6, 9, 5, 7, 127);
    Sync(u"ntp.example"_s);

    EXPECT_EQ(setter.Calls, (QStringList{u"time 09:05:07.120"_s, u"date 2008-03-06"_s}));
    EXPECT_EQ(notice.Boxes, (std::vector<Box>{{u"Internal clock"_s, c.report, Icon::Information}}));
    EXPECT_EQ(settings.HostTimeServer, u"ntp.example"_s);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

INSTANTIATE_TEST_SUITE_P(Locales, SyncClockReport,
                         testing::Values(TReportCase{"slash_colon", u'/', u':',
                                                     u"Old   clock date/time: 05/03/2008 - 14:00:00:450\r"
                                                     u"New clock date/time: 06/03/2008 - 09:05:07:120"_s},
                                         TReportCase{"dot_dot", u'.', u'.',
                                                     u"Old   clock date/time: 05.03.2008 - 14.00.00.450\r"
                                                     u"New clock date/time: 06.03.2008 - 09.05.07.120"_s}),
                         [](const auto &row) { return std::string(row.param.name); });

struct TRefusalCase
{
    const char *name;
    bool refuseTime; // otherwise the date is refused
    QStringList calls;
    QString text;
    friend void PrintTo(const TRefusalCase &c, std::ostream *os) { *os << c.name; }
};

class SyncClockRefusal : public SyncClockTest, public testing::WithParamInterface<TRefusalCase>
{
};

TEST_P(SyncClockRefusal, ReportsTheClockUnchangedAndStaysOpen)
{
    const TRefusalCase &c = GetParam();
    (c.refuseTime ? setter.TimeRefusal : setter.DateRefusal) = u"You are not allowed to change the clock."_s;
    sntp.Answer = At(2008, 3, 6, 9, 5, 7, 127);
    Sync(u"ntp.example"_s);

    EXPECT_EQ(setter.Calls, c.calls);
    EXPECT_EQ(notice.Boxes, (std::vector<Box>{{u"Error"_s, c.text, Icon::Critical}}));
    EXPECT_TRUE(dialog.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Setters, SyncClockRefusal,
    testing::Values(TRefusalCase{"time_refused",
                                 true,
                                 {u"time 09:05:07.120"_s},
                                 u"The clock was not changed.\rYou are not allowed to change the clock."_s},
                    TRefusalCase{"date_refused",
                                 false,
                                 {u"time 09:05:07.120"_s, u"date 2008-03-06"_s},
                                 u"The time of day was set, but the date was not changed.\r"
                                 u"You are not allowed to change the clock."_s}),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace
