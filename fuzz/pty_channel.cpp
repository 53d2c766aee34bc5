#include "pty_channel.h"

#include "config/clock.h"

#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
[[noreturn]] void harnessFailure(const char* what) {
    std::perror(what);
    std::abort();
}
} // namespace

PtyChannel::PtyChannel() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
        harnessFailure("openpty");
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_port.SetPort(QString::fromLocal8Bit(name));
    m_port.SetBaudRate(br19200);
    m_port.Open();
    m_port.SetReadTotalMultiplier(-1);
    m_port.SetReadTotalConstant(1000);
    // Time passes only when the port has nothing to hand out.
    Clock::setSource([this] {
        if (!m_port.WaitReadable(0))
            m_clockMs += 1000;
        return m_clockMs;
    });
}

PtyChannel::~PtyChannel() {
    Clock::setSource(nullptr);
    m_port.Close();
    ::close(m_master);
    ::close(m_slave);
}

QByteArray PtyChannel::sent() {
    QByteArray out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(m_master, buf, sizeof buf)) > 0)
        out.append(buf, n);
    return out;
}

void PtyChannel::feed(const QByteArray& input) {
    m_port.ClearBuffer(true, true);
    sent();
    const QByteArray bytes = input.left(MaxInput);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            harnessFailure("write to the pty");
        if (n > 0)
            done += n;
    }
    // The terminal hands written bytes to the reading side a moment later;
    // the clock must not see silence before they are all there.
    for (int waited = 0;; ++waited) {
        int queued = 0;
        if (ioctl(m_slave, FIONREAD, &queued) != 0)
            harnessFailure("FIONREAD");
        if (queued >= bytes.size())
            break;
        if (waited > 100000)
            harnessFailure("the pty never delivered the input");
        pollfd p{m_slave, POLLIN, 0};
        ::poll(&p, 1, 0);
        usleep(10);
    }
}
