#include "platform/TerminationSignals.h"

#include "core/GlobalLogger.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Platform {

namespace {

constexpr int HandledSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler may only write to a descriptor; the notifier reads it on the GUI thread.
int g_signalFds[2] = {-1, -1};

extern "C" void OnTerminationSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_signalFds[0], &number, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (g_signalFds[0] != -1 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalFds) != 0) {
        GlobalLogger::Instance()->message(QtWarningMsg,
                                          "Cannot watch for termination requests; they will end the program at once.");
        return;
    }
    ::fcntl(g_signalFds[0], F_SETFL, ::fcntl(g_signalFds[0], F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onSignal);

    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : HandledSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : HandledSignals)
        ::sigaction(signalNumber, &action, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    ::close(g_signalFds[0]);
    ::close(g_signalFds[1]);
    g_signalFds[0] = g_signalFds[1] = -1;
}

void TerminationSignals::onSignal()
{
    unsigned char number = 0;
    if (::read(g_signalFds[1], &number, 1) != 1)
        return;
    GlobalLogger::Instance()->message(QtInfoMsg, "Signal %d received; quitting.", int(number));
    emit terminationRequested(number);
}

} // namespace Platform
