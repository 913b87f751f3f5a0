#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

// One running copy per user. The first process to take the lock is the running copy and listens for wake-ups;
// a later start finds the lock taken and sends its wake-up to the running copy instead of starting.
class TSingleInstance final : public QObject
{
    Q_OBJECT
public:
    // folder: where the lock and the socket live; empty = $XDG_RUNTIME_DIR, or a private folder in /tmp.
    explicit TSingleInstance(const QString &name, const QString &folder = {});
    ~TSingleInstance() override;

    // True when this process is now the running copy. The lock is held until the object is destroyed.
    bool Acquire();

    // From a later start: delivers lParam to the running copy. Retries while the running copy is still starting,
    // up to timeoutMs; false when nobody answered.
    bool SendWakeUp(int lParam, int timeoutMs = 3000) const;

    // Called on the running copy's thread for each wake-up received.
    std::function<void(int lParam)> OnWakeUp;

    QString LockPath() const;
    QString SocketPath() const;

private:
    void ReadWakeUps();

    QString m_folder;
    QString m_name;
    int m_lockFd = -1;
    std::unique_ptr<QLocalServer> m_server;
};
