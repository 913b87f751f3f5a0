// A stand-in for the system's time service on a private bus: it records every SetTime call on standard output and
// answers it, or refuses it with the error given on the command line. It never touches the clock.
// Usage: fake_timedated BUS_ADDRESS [ERROR_NAME ERROR_MESSAGE]

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>

#include <cstdio>

class TFakeTimedated : public QObject, protected QDBusContext
{
    Q_OBJECT
public:
    TFakeTimedated(QString errorName, QString errorMessage)
        : m_errorName(std::move(errorName)), m_errorMessage(std::move(errorMessage))
    {
    }

public Q_SLOTS:
    void SetTime(qlonglong usecUtc, bool relative, bool interactive)
    {
        std::printf("SetTime %lld relative=%d interactive=%d header-interactive=%d\n", usecUtc, int(relative),
                    int(interactive), int(message().isInteractiveAuthorizationAllowed()));
        std::fflush(stdout);
        if (!m_errorName.isEmpty())
            sendErrorReply(m_errorName, m_errorMessage);
    }

private:
    QString m_errorName, m_errorMessage;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && args.size() != 4) {
        std::fprintf(stderr, "usage: fake_timedated BUS_ADDRESS [ERROR_NAME ERROR_MESSAGE]\n");
        return 2;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(args[1], QStringLiteral("bus"));
    TFakeTimedated service(args.value(2), args.value(3));
    const QString name = QStringLiteral("org.freedesktop.timedate1");
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/timedate1"), name, &service,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(name)) {
        std::fprintf(stderr, "fake_timedated: cannot serve on %s\n", qPrintable(args[1]));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "FakeTimedated.moc"
