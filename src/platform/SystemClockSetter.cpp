#include "platform/SystemClockSetter.h"

#include "platform/Clock.h"
#include "platform/DateTime.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDateTime>

#include <algorithm>

namespace {

const QString Service = QStringLiteral("org.freedesktop.timedate1");
const QString Path = QStringLiteral("/org/freedesktop/timedate1");

// Errors that mean nobody is there to set the clock, as opposed to a time service that refused.
bool NoTimeService(const QString &errorName)
{
    static const QString absent[] = {
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
        QStringLiteral("org.freedesktop.systemd1.NoSuchUnit"),
        QStringLiteral("org.freedesktop.systemd1.UnitMasked"),
    };
    return std::find(std::begin(absent), std::end(absent), errorName) != std::end(absent) ||
           errorName.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn."));
}

QString RefusalText(const QDBusMessage &reply)
{
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.timedate1.AutomaticTimeSyncEnabled"))
        return QStringLiteral("Automatic time synchronisation is switched on.");
    if (name == QLatin1String("org.freedesktop.DBus.Error.AccessDenied") ||
        name == QLatin1String("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired") ||
        name.startsWith(QLatin1String("org.freedesktop.PolicyKit1.Error.")))
        return QStringLiteral("You are not allowed to change the clock.");
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        return QStringLiteral("The time service did not answer.");
    const QString why = reply.errorMessage().isEmpty() ? name : reply.errorMessage();
    return QStringLiteral("The time service refused: %1").arg(why);
}

} // namespace

// The system bus is reached only when the clock is first set: connecting costs start-up time for a rarely used
// command.
TSystemClockSetter::TSystemClockSetter() : m_clock(processClock()), m_direct(SetRealtimeClock) {}

TSystemClockSetter::TSystemClockSetter(const QDBusConnection &bus, IClock &clock, TDirectSetter direct)
    : m_bus(bus), m_clock(clock), m_direct(std::move(direct))
{
}

IClockSetter::TResult TSystemClockSetter::SetTimeOfDay(const QTime &time)
{
    return SetLocal(QDateTime(ToQDateTime(m_clock.Now()).date(), time));
}

IClockSetter::TResult TSystemClockSetter::SetDate(const QDate &date)
{
    return SetLocal(QDateTime(date, ToQDateTime(m_clock.Now()).time()));
}

IClockSetter::TResult TSystemClockSetter::SetLocal(const QDateTime &local)
{
    if (!local.isValid())
        return {false, QStringLiteral("%1 is not a valid local time.").arg(local.toString(Qt::ISODateWithMs))};
    const std::int64_t usec = local.toMSecsSinceEpoch() * 1000;

    if (!m_bus)
        m_bus = QDBusConnection::systemBus();
    if (!m_bus->isConnected())
        return m_direct(usec);
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("SetTime"));
    // Absolute time, not relative; the last argument lets the service ask the user for a password.
    call << qlonglong(usec) << false << true;
    call.setInteractiveAuthorizationAllowed(true);
    const QDBusMessage reply = m_bus->call(call, QDBus::Block, CallTimeout);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return {true, {}};
    if (NoTimeService(reply.errorName()))
        return m_direct(usec);
    return {false, RefusalText(reply)};
}
