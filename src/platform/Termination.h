#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

// Turns the requests to end the process (SIGTERM, SIGINT and SIGHUP) into a Qt signal delivered by the event loop
// of the thread that created the object, so that the program can end through its ordinary close sequence.
// While it exists, these signals no longer end the process by themselves; its destructor restores the handling
// that was in place before. Only one can be active at a time: a second one stays inactive.
class TTermination : public QObject
{
    Q_OBJECT
public:
    explicit TTermination(QObject *parent = nullptr);
    ~TTermination() override;

    // False when the handlers could not be installed (another TTermination is active, or the system refused).
    bool IsActive() const { return m_active; }

Q_SIGNALS:
    // Once per signal received, with its number, in the order they arrived.
    void Requested(int signalNumber);

private:
    void ReadPending();

    bool m_active = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
