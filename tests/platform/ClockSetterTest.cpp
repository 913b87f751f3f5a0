#include "support/TestSupport.h"

#include "platform/SystemClockSetter.h"
#include "support/FakeClock.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <ctime>
#include <optional>

namespace {

std::int64_t UsecUtc(int y, int mo, int d, int h, int mi, int s, int ms)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC).toMSecsSinceEpoch() * 1000;
}

TDateTime Local(int y, int mo, int d, int h, int mi, int s, int ms)
{
    return ToDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms)));
}

// A private message bus (dbus-daemon) with, on request, the stand-in time service on it; local times in Central
// European time. The setter under test can only step the clock through the recorded stand-in for direct setting.
class SystemClockSetterTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (const char *tz = std::getenv("TZ"))
            m_oldTz = tz;
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();

        ASSERT_TRUE(m_dir.isValid());
        QFile config(m_dir.filePath(u"bus.conf"_s));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                         .arg(m_dir.filePath(u"bus"_s))
                         .toUtf8());
        config.close();
        m_daemon.start(u"dbus-daemon"_s, {u"--config-file="_s + config.fileName(), u"--nofork"_s, u"--nopidfile"_s,
                                          u"--print-address=1"_s});
        ASSERT_TRUE(m_daemon.waitForStarted(5000)) << "dbus-daemon is missing";
        ASSERT_TRUE(m_daemon.waitForReadyRead(5000));
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        m_bus.emplace(QDBusConnection::connectToBus(m_address, m_busName));
        ASSERT_TRUE(m_bus->isConnected()) << m_bus->lastError().message().toStdString();
    }

    void TearDown() override
    {
        m_bus.reset();
        QDBusConnection::disconnectFromBus(m_busName);
        for (QProcess *p : {&m_service, &m_daemon}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(3000)) {
                    p->kill();
                    p->waitForFinished(3000);
                }
            }
        }
        if (m_oldTz)
            qputenv("TZ", m_oldTz->c_str());
        else
            qunsetenv("TZ");
        tzset();
    }

    // errorName empty: every SetTime succeeds.
    void StartService(const QString &errorName = {}, const QString &errorMessage = {})
    {
        QStringList args{m_address};
        if (!errorName.isEmpty())
            args << errorName << errorMessage;
        m_service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_service.start(QStringLiteral(FAKE_TIMEDATED), args);
        ASSERT_TRUE(m_service.waitForStarted(5000));
        ASSERT_TRUE(m_service.waitForReadyRead(5000));
        ASSERT_EQ(m_service.readLine().trimmed(), "ready");
    }

    // The calls the service recorded so far.
    QStringList ServiceCalls()
    {
        m_service.waitForReadyRead(200);
        QStringList calls;
        while (m_service.canReadLine())
            calls << QString::fromUtf8(m_service.readLine()).trimmed();
        return calls;
    }

    TSystemClockSetter Setter()
    {
        return TSystemClockSetter(*m_bus, clock, [this](std::int64_t usec) {
            DirectCalls.push_back(usec);
            return DirectResult;
        });
    }

    TFakeClock clock{Local(2008, 3, 5, 10, 0, 0, 0)};
    std::vector<std::int64_t> DirectCalls;
    IClockSetter::TResult DirectResult{true, {}};

private:
    std::optional<std::string> m_oldTz;
    QTemporaryDir m_dir;
    QProcess m_daemon, m_service;
    QString m_address;
    const QString m_busName = u"tocsinet-test-bus"_s;
    std::optional<QDBusConnection> m_bus;
};

QString SetTimeCall(std::int64_t usec)
{
    return u"SetTime %1 relative=0 interactive=1 header-interactive=1"_s.arg(usec);
}

TEST_F(SystemClockSetterTest, SetsAbsoluteUtcTimesThroughTheTimeServiceWithAuthorisationAllowed)
{
    StartService();
    TSystemClockSetter setter = Setter();

    const IClockSetter::TResult time = setter.SetTimeOfDay(QTime(14, 5, 9, 120));
    EXPECT_TRUE(time.Ok) << time.Error.toStdString();
    clock.Set(Local(2008, 3, 5, 14, 5, 9, 500));
    const IClockSetter::TResult date = setter.SetDate(QDate(2008, 7, 1));
    EXPECT_TRUE(date.Ok) << date.Error.toStdString();

    EXPECT_EQ(ServiceCalls(), (QStringList{SetTimeCall(UsecUtc(2008, 3, 5, 13, 5, 9, 120)),
                                           SetTimeCall(UsecUtc(2008, 7, 1, 12, 5, 9, 500))}));
    EXPECT_TRUE(DirectCalls.empty());
}

struct TRefusalCase
{
    const char *name;
    QString errorName, errorMessage, shown;
    friend void PrintTo(const TRefusalCase &c, std::ostream *os) { *os << c.name; }
};

class SystemClockSetterRefusal : public SystemClockSetterTest, public testing::WithParamInterface<TRefusalCase>
{
};

TEST_P(SystemClockSetterRefusal, ReportsWhyAndNeverStepsTheClockItself)
{
    const TRefusalCase &c = GetParam();
    StartService(c.errorName, c.errorMessage);
    TSystemClockSetter setter = Setter();

    const IClockSetter::TResult result = setter.SetTimeOfDay(QTime(14, 5, 9, 120));
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Error, c.shown);
    EXPECT_EQ(ServiceCalls().size(), 1);
    EXPECT_TRUE(DirectCalls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, SystemClockSetterRefusal,
    testing::Values(TRefusalCase{"automatic_sync_on", u"org.freedesktop.timedate1.AutomaticTimeSyncEnabled"_s,
                                 u"Automatic time synchronization is enabled"_s,
                                 u"Automatic time synchronisation is switched on."_s},
                    TRefusalCase{"not_authorised", u"org.freedesktop.DBus.Error.AccessDenied"_s, u"Access denied"_s,
                                 u"You are not allowed to change the clock."_s},
                    TRefusalCase{"other", u"org.example.Broken"_s, u"Clock chip on fire"_s,
                                 u"The time service refused: Clock chip on fire"_s}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(SystemClockSetterTest, StepsTheClockDirectlyOnlyWhenNoTimeServiceIsThere)
{
    TSystemClockSetter setter = Setter();
    EXPECT_TRUE(setter.SetDate(QDate(2009, 1, 2)).Ok);
    EXPECT_EQ(DirectCalls, (std::vector<std::int64_t>{UsecUtc(2009, 1, 2, 9, 0, 0, 0)}));

    DirectResult = {false, u"You are not allowed to change the clock."_s};
    const IClockSetter::TResult refused = setter.SetTimeOfDay(QTime(1, 2, 3, 40));
    EXPECT_FALSE(refused.Ok);
    EXPECT_EQ(refused.Error, u"You are not allowed to change the clock."_s);
    EXPECT_EQ(DirectCalls.back(), UsecUtc(2008, 3, 5, 0, 2, 3, 40));
}

TEST_F(SystemClockSetterTest, StepsTheClockDirectlyWithoutABus)
{
    TSystemClockSetter setter(QDBusConnection(u"never-connected"_s), clock, [this](std::int64_t usec) {
        DirectCalls.push_back(usec);
        return IClockSetter::TResult{true, {}};
    });
    EXPECT_TRUE(setter.SetTimeOfDay(QTime(23, 0, 0, 0)).Ok);
    EXPECT_EQ(DirectCalls, (std::vector<std::int64_t>{UsecUtc(2008, 3, 5, 22, 0, 0, 0)}));
}

} // namespace
