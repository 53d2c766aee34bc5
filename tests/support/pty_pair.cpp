#include "support/pty_pair.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&m_master, &m_slaveKeep, name, &raw, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slaveKeep, F_SETFD, FD_CLOEXEC);
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair() {
    closeMaster();
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
}

void PtyPair::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            throw std::runtime_error("pty write failed");
        }
        done += n;
    }
}

QByteArray PtyPair::read(int timeoutMs, int quietMs) {
    QByteArray out;
    int wait = timeoutMs;
    for (;;) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, wait) <= 0 || !(p.revents & POLLIN))
            return out;
        char buf[4096];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            return out;
        out.append(buf, n);
        wait = quietMs;
    }
}

void PtyPair::closeMaster() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    // Without this the hang-up never reaches the program's side.
    if (m_slaveKeep >= 0) {
        ::close(m_slaveKeep);
        m_slaveKeep = -1;
    }
}
