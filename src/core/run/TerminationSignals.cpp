#include "core/run/TerminationSignals.h"

#include <QSocketNotifier>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace core {
namespace {

#ifdef Q_OS_UNIX
constexpr int Watched[] = {SIGTERM, SIGHUP, SIGINT};
// The handler may only do what is safe inside a signal handler: write the signal's number into a socket,
// which the event loop then reads.
int pipeEnds[2] = {-1, -1};
volatile std::sig_atomic_t seen = 0;

extern "C" void forwardSignal(int signalNumber) {
    const int saved = errno;
    seen = 1;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[0], &byte, 1);
    errno = saved;
}
#endif

} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
#ifdef Q_OS_UNIX
    seen = 0;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeEnds) != 0)
        return;
    ::fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPending);
    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : Watched)
        ::sigaction(signalNumber, &action, nullptr);
#endif
}

TerminationSignals::~TerminationSignals() {
#ifdef Q_OS_UNIX
    for (const int signalNumber : Watched)
        std::signal(signalNumber, SIG_DFL);
    delete m_notifier;
    for (int& end : pipeEnds) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
#endif
}

bool TerminationSignals::anyReceived() {
#ifdef Q_OS_UNIX
    return seen != 0;
#else
    return false;
#endif
}

void TerminationSignals::readPending() {
#ifdef Q_OS_UNIX
    char byte = 0;
    if (::read(pipeEnds[1], &byte, 1) == 1)
        emit received(int(byte));
#endif
}

} // namespace core
