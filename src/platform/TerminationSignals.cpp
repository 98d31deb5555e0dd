#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vedomec {

namespace {

int pipeFds[2] = {-1, -1};
const int kSignals[] = {SIGTERM, SIGHUP};

extern "C" void onTerminationSignal(int signal)
{
    const int saved = errno;
    const char byte = char(signal);
    (void)!::write(pipeFds[1], &byte, 1);
    errno = saved;
}

} // namespace

void TerminationSignals::install(QObject* context, std::function<void()> onSignal)
{
    new TerminationSignals(context, std::move(onSignal));
}

TerminationSignals::TerminationSignals(QObject* context, std::function<void()> onSignal)
    : QObject(context), m_onSignal(std::move(onSignal))
{
    if (pipeFds[0] < 0 && ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep ending the program at once
    auto* notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(pipeFds[0], bytes, sizeof bytes) > 0) {
        }
        if (m_onSignal)
            m_onSignal();
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &sa, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    // Past the loop a signal ends the program as it always did.
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int s : kSignals)
        ::sigaction(s, &sa, nullptr);
}

} // namespace vedomec
