#include "terminationsignals.h"

#ifdef Q_OS_UNIX

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler may do next to nothing; it writes one byte into a socket pair whose
// other end the event loop watches (the self-pipe trick).
int g_wakeup[2] = {-1, -1};
constexpr int CaughtSignals[] = {SIGTERM, SIGINT};
struct sigaction g_previous[std::size(CaughtSignals)];

void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wakeup[0], &byte, 1);
    errno = savedErrno;
}

void restorePreviousHandlers()
{
    for (size_t i = 0; i < std::size(CaughtSignals); ++i) {
        ::sigaction(CaughtSignals[i], &g_previous[i], nullptr);
    }
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (g_wakeup[0] != -1 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_wakeup) != 0) {
        return;
    }
    for (int fd : g_wakeup) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    // A full socket must never block the handler.
    ::fcntl(g_wakeup[0], F_SETFL, ::fcntl(g_wakeup[0], F_GETFL) | O_NONBLOCK);

    m_notifier = new QSocketNotifier(g_wakeup[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] const ssize_t got = ::read(g_wakeup[1], &byte, 1);
        m_notifier->setEnabled(false);
        restorePreviousHandlers();
        emit received();
    });

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(CaughtSignals); ++i) {
        ::sigaction(CaughtSignals[i], &action, &g_previous[i]);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier) {
        return;
    }
    restorePreviousHandlers();
    delete m_notifier;
    for (int &fd : g_wakeup) {
        ::close(fd);
        fd = -1;
    }
}

#else

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{}

TerminationSignals::~TerminationSignals() = default;

#endif
