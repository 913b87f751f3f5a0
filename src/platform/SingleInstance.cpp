#include "platform/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString DefaultFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    const QString folder = QDir::tempPath() + QStringLiteral("/tocsinet-%1").arg(getuid());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return folder;
}

constexpr int MaxMessage = 32;

} // namespace

TSingleInstance::TSingleInstance(const QString &name, const QString &folder)
    : m_folder(folder.isEmpty() ? DefaultFolder() : folder), m_name(name)
{
}

TSingleInstance::~TSingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString TSingleInstance::LockPath() const
{
    return m_folder + u'/' + m_name + QStringLiteral(".lock");
}

QString TSingleInstance::SocketPath() const
{
    return m_folder + u'/' + m_name + QStringLiteral(".socket");
}

bool TSingleInstance::Acquire()
{
    if (m_lockFd >= 0)
        return true;
    const int fd = ::open(QFile::encodeName(LockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // no lock can be had at all: run rather than refuse to start
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    // Holding the lock makes any socket left behind by a crashed copy ours to replace.
    QLocalServer::removeServer(SocketPath());
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(SocketPath());
    connect(m_server.get(), &QLocalServer::newConnection, this, &TSingleInstance::ReadWakeUps);
    return true;
}

void TSingleInstance::ReadWakeUps()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > MaxMessage)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(MaxMessage).trimmed();
            socket->abort();
            bool ok = false;
            const int lParam = line.startsWith("WAKE ") ? line.mid(5).toInt(&ok) : 0;
            if (ok && OnWakeUp)
                OnWakeUp(lParam);
        });
    }
}

bool TSingleInstance::SendWakeUp(int lParam, int timeoutMs) const
{
    const QByteArray path = QFile::encodeName(SocketPath());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= int(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const QByteArray message = "WAKE " + QByteArray::number(lParam) + '\n';

    QElapsedTimer clock;
    clock.start();
    do {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
            const bool sent = ::send(fd, message.constData(), size_t(message.size()), MSG_NOSIGNAL) == message.size();
            ::close(fd);
            return sent;
        }
        ::close(fd);
        // The running copy holds the lock but may not listen yet.
        QThread::msleep(50);
    } while (clock.elapsed() < timeoutMs);
    return false;
}
