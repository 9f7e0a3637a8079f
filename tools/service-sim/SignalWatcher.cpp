#include "SignalWatcher.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// [0] is written by the handler, [1] read on the main thread.
int g_signalPair[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPair[0], &number, sizeof number);
}

} // namespace

SignalWatcher::SignalWatcher(const QList<int> &signalNumbers, QObject *parent)
    : QObject(parent)
    , m_signalNumbers(signalNumbers)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPair) != 0) {
        qWarning("vqm-service-sim: no signal socket pair; SIGTERM ends the process abruptly");
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(g_signalPair[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : m_signalNumbers)
        ::sigaction(signalNumber, &action, nullptr);
}

SignalWatcher::~SignalWatcher()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : m_signalNumbers)
        ::sigaction(signalNumber, &action, nullptr);
    m_notifier.reset();
    for (int &end : g_signalPair) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
}

void SignalWatcher::readSignal()
{
    unsigned char number = 0;
    if (::read(g_signalPair[1], &number, sizeof number) == sizeof number)
        emit signalled(number);
}
