#include "ui/termination_signals.h"

#include "ui/main_window.h"

#include <QPushButton>
#include <QSocketNotifier>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// [0] read by the event loop, [1] written by the handler.
int Pair[2] = {-1, -1};

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // Non-blocking: a flood of signals never stops the handler.
    [[maybe_unused]] const ssize_t n = ::write(Pair[1], &number, 1);
    errno = saved;
}
} // namespace

TerminationSignals::TerminationSignals(TForm1& window) : m_window(window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, Pair) != 0)
        return;
    m_notifier = new QSocketNotifier(Pair[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onSignal);
    m_waitForStop.setInterval(20);
    connect(&m_waitForStop, &QTimer::timeout, this, &TerminationSignals::closeOnceStopped);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &m_oldTerm);
    sigaction(SIGINT, &action, &m_oldInt);
}

TerminationSignals::~TerminationSignals() {
    if (!m_notifier)
        return;
    sigaction(SIGTERM, &m_oldTerm, nullptr);
    sigaction(SIGINT, &m_oldInt, nullptr);
    delete m_notifier;
    ::close(Pair[0]);
    ::close(Pair[1]);
    Pair[0] = Pair[1] = -1;
}

void TerminationSignals::onSignal() {
    unsigned char number = 0;
    bool again = m_signal != 0;
    while (::read(Pair[0], &number, 1) == 1)
        m_signal = number;
    // A second signal while the session winds down closes at once.
    if (again) {
        m_waitForStop.stop();
        m_window.close();
        return;
    }
    // As the Disconnect button: the session's loop ends after its pass.
    if (!m_window.BitBtn2->isHidden())
        m_window.BitBtn2Click();
    m_waitForStop.start();
    closeOnceStopped();
}

void TerminationSignals::closeOnceStopped() {
    if (m_window.state.SessionRunning || !m_window.BitBtn2->isHidden())
        return;
    m_waitForStop.stop();
    m_window.close();
}
