#include "terminationsignals.h"

#ifdef Q_OS_UNIX

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A signal handler may do next to nothing; it writes one byte into a socket pair whose
// other end the event loop watches (the self-pipe trick).
int g_wakeup[2] = {-1, -1};
constexpr int CaughtSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction g_previous[std::size(CaughtSignals)];
// A signal the program was started with ignored (nohup, a background job) stays ignored.
bool g_caught[std::size(CaughtSignals)] = {};

// sigaction() may be called from a handler, so the first signal itself puts the earlier
// handlers back: a second one takes its usual course at once, however far the save has got.
void restorePreviousHandlers()
{
    for (size_t i = 0; i < std::size(CaughtSignals); ++i) {
        if (g_caught[i]) {
            ::sigaction(CaughtSignals[i], &g_previous[i], nullptr);
        }
    }
}

void onTerminationSignal(int)
{
    const int savedErrno = errno;
    restorePreviousHandlers();
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wakeup[0], &byte, 1);
    errno = savedErrno;
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
        emit received();
    });

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(CaughtSignals); ++i) {
        ::sigaction(CaughtSignals[i], nullptr, &g_previous[i]);
        g_caught[i] = g_previous[i].sa_handler != SIG_IGN;
        if (g_caught[i]) {
            ::sigaction(CaughtSignals[i], &action, nullptr);
        }
    }
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier) {
        return;
    }
    restorePreviousHandlers();
    std::fill(std::begin(g_caught), std::end(g_caught), false);
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
