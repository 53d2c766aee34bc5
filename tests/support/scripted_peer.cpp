#include "support/scripted_peer.h"

#include <poll.h>
#include <unistd.h>

ScriptedPeer::ScriptedPeer(PtyPair& pty, Responder responder)
    : m_pty(pty), m_responder(std::move(responder)), m_thread([this] { run(); }) {}

ScriptedPeer::~ScriptedPeer() {
    m_stop = true;
    m_thread.join();
}

QStringList ScriptedPeer::received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

void ScriptedPeer::run() {
    QByteArray pending;
    while (!m_stop) {
        const int fd = m_pty.masterFd();
        if (fd < 0)
            return;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
            continue;
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            return;
        pending.append(buf, n);
        qsizetype cr;
        while ((cr = pending.indexOf('\r')) >= 0) {
            const QByteArray command = pending.left(cr);
            pending.remove(0, cr + 1);
            {
                std::lock_guard lock(m_mutex);
                m_received << QString::fromLatin1(command);
            }
            const QByteArray reply = m_responder(command);
            if (!reply.isEmpty())
                m_pty.write(reply);
        }
    }
}
