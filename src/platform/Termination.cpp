#include "platform/Termination.h"

#include <QPointer>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array HandledSignals{SIGTERM, SIGINT, SIGHUP};

// The self-pipe is made once and kept for the life of the process: closing it could let a handler that is
// running on another thread write into whatever file reused the descriptor.
int g_pipe[2] = {-1, -1};
bool g_active = false;
std::array<struct sigaction, HandledSignals.size()> g_previous{};

// Runs in signal context: only async-signal-safe calls, and errno as it was found.
void OnSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds enough requests for the program to end; dropping this one is harmless.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

TTermination::TTermination(QObject *parent) : QObject(parent)
{
    if (g_active || (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0))
        return;

    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Restart interrupted system calls: the request is handled later, on the event loop, not where it landed.
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < HandledSignals.size(); ++i)
        ::sigaction(HandledSignals[i], &action, &g_previous[i]);

    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &TTermination::ReadPending);
    g_active = m_active = true;
}

TTermination::~TTermination()
{
    if (!m_active)
        return;
    for (size_t i = 0; i < HandledSignals.size(); ++i)
        ::sigaction(HandledSignals[i], &g_previous[i], nullptr);
    // Requests that arrived but were not delivered belong to this object; a later one must not see them.
    unsigned char buffer[64];
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
    g_active = false;
}

void TTermination::ReadPending()
{
    unsigned char buffer[64];
    ssize_t n;
    do
        n = ::read(g_pipe[0], buffer, sizeof buffer);
    while (n < 0 && errno == EINTR);
    // A receiver may destroy this object (the close sequence ends the program).
    const QPointer<TTermination> self(this);
    for (ssize_t i = 0; i < n && self; ++i)
        Q_EMIT Requested(int(buffer[i]));
}
