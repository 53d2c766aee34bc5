#include "link/serial_port.h"

#include "config/clock.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {
QString systemReason(int err) {
    return err > 0 ? QString::fromLocal8Bit(strerror(err)) : QString();
}

speed_t speedFor(TBaudRate b) {
    switch (b) {
    case br110:
        return B110;
    case br300:
        return B300;
    case br600:
        return B600;
    case br1200:
        return B1200;
    case br2400:
        return B2400;
    case br4800:
        return B4800;
    case brCustom:
    case br9600:
        return B9600;
    case br19200:
        return B19200;
    case br38400:
        return B38400;
    case br57600:
        return B57600;
    case br115200:
        return B115200;
    default:
        return B0; // speeds termios has no constant for
    }
}

// A UUCP lock file held by a living process other than us means the device
// belongs to someone else, even if that program takes no other lock.
QString uucpLockHolder(const QString& device) {
    const QString base = QFileInfo(device).fileName();
    for (const char* dir : {"/run/lock", "/var/lock"}) {
        QFile f(QDir(QString::fromLatin1(dir)).filePath(QStringLiteral("LCK..") + base));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray raw = f.read(64);
        bool ok = false;
        long pid = raw.trimmed().toLong(&ok);
        if (!ok && raw.size() >= 4) { // binary form: a native int
            int bin = 0;
            memcpy(&bin, raw.constData(), sizeof bin);
            pid = bin;
            ok = true;
        }
        if (ok && pid > 0 && pid != getpid() && (kill(pid_t(pid), 0) == 0 || errno == EPERM))
            return QStringLiteral("locked by process %1 (%2)").arg(pid).arg(f.fileName());
    }
    return {};
}

// Modem-line calls fail on pseudo-terminals; that is no fault of the port.
bool ignorableModemError(int err) {
    return err == ENOTTY || err == EINVAL;
}
} // namespace

TCustomSerialPort::TCustomSerialPort() = default;

TCustomSerialPort::~TCustomSerialPort() {
    // Not through Close(): an observer may be gone by now.
    if (Connected())
        closeDevice();
}

void TCustomSerialPort::openDevice() {
    if (m_port.isEmpty())
        throw ESerialPort(SE_OpenFailed, ENOENT, QStringLiteral("no port name given"));
    const QString holder = uucpLockHolder(m_port);
    if (!holder.isEmpty())
        throw ESerialPort(SE_OpenFailed, EBUSY, holder);

    const QByteArray path = QFile::encodeName(m_port);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw ESerialPort(SE_OpenFailed, errno);
    auto fail = [fd](int code, int err, const QString& detail = QString()) {
        ::close(fd);
        return ESerialPort(code, err, detail);
    };
    struct stat st {};
    if (fstat(fd, &st) != 0)
        throw fail(SE_OpenFailed, errno);
    if (!S_ISCHR(st.st_mode) || !isatty(fd))
        throw fail(SE_OpenFailed, ENOTTY);
    // flock holds even against root, which TIOCEXCL does not.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        throw fail(SE_OpenFailed, err,
                   systemReason(err) + QStringLiteral(" (in use by another program)"));
    }
    if (ioctl(fd, TIOCEXCL) != 0 && !ignorableModemError(errno))
        throw fail(SE_OpenFailed, errno);

    m_fd = fd;
    m_rx.clear();
    m_rxPos = 0;
    try {
        applyLineSettings();
    } catch (...) {
        ::close(m_fd);
        m_fd = -1;
        throw;
    }
    tcflush(m_fd, TCIOFLUSH);
}

void TCustomSerialPort::applyLineSettings() {
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0)
        throw ESerialPort(SE_SetStateFailed, errno);
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ICRNL | INLCR | IGNCR);
    tio.c_oflag &= ~(OPOST | ONLCR | OCRNL);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = speedFor(m_baud);
    if (speed == B0)
        throw ESerialPort(SE_SetStateFailed, EINVAL, QStringLiteral("unsupported speed"));
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(m_fd, TCSANOW, &tio) != 0)
        throw ESerialPort(SE_SetStateFailed, errno);
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(m_fd, TIOCMBIC, &lines) != 0 && !ignorableModemError(errno))
        throw ESerialPort(SE_SetStateFailed, errno);
}

void TCustomSerialPort::SetDTR(bool on) {
    if (m_fd < 0)
        throw ESerialPort(SE_PortNotOpen, -1);
    int line = TIOCM_DTR;
    if (ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &line) != 0 && !ignorableModemError(errno))
        throw ESerialPort(SE_SetStateFailed, errno);
}

void TCustomSerialPort::closeDevice() {
    m_notifier.reset(); // before the descriptor goes
    // An unplugged adapter refuses the flush; the descriptor is released anyway.
    tcflush(m_fd, TCIOFLUSH);
    ::close(m_fd);
    m_fd = -1;
    m_rx.clear();
    m_rxPos = 0;
}

bool TCustomSerialPort::waitDevice(int ms) {
    if (m_rxPos < m_rx.size())
        return true;
    pollfd p{m_fd, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, ms < 0 ? 0 : ms);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        throw ESerialPort(SE_ReadFailed, errno);
    if (r == 0)
        return false;
    if (p.revents & POLLIN)
        return true;
    // Hang-up or error without data: the adapter is gone.
    throw ESerialPort::hungUp();
}

bool TCustomSerialPort::waitWhileIdle(int ms, const std::function<void(int)>& idle,
                                      bool idleRunsEventLoop) {
    if (!idle || !idleRunsEventLoop || !QAbstractEventDispatcher::instance())
        return ByteStream::waitWhileIdle(ms, idle, idleRunsEventLoop);
    if (waitDevice(0))
        return true;
    if (!m_notifier)
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    m_notifier->setEnabled(true);
    const auto disable = qScopeGuard([this] {
        if (m_notifier)
            m_notifier->setEnabled(false);
    });
    const int64_t deadline = Clock::nowMs() + ms;
    for (;;) {
        const int64_t left = deadline - Clock::nowMs();
        if (left <= 0)
            return waitDevice(0);
        idle(int(left));
        // idle may have closed the port (the window closing during a wait).
        if (!Connected())
            throw ESerialPort(SE_PortNotOpen, -1);
        if (waitDevice(0))
            return true;
    }
}

void TCustomSerialPort::checkDevice() {
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
        throw ESerialPort::hungUp();
}

QByteArray TCustomSerialPort::readDevice(qsizetype maxBytes, int timeoutMs) {
    if (m_rxPos >= m_rx.size()) {
        if (!waitDevice(timeoutMs))
            return {};
        char buf[512];
        ssize_t n;
        do {
            n = ::read(m_fd, buf, sizeof buf);
        } while (n < 0 && errno == EINTR);
        if (n == 0)
            throw ESerialPort::hungUp();
        if (n < 0) {
            if (errno == EAGAIN)
                return {};
            throw ESerialPort(SE_ReadFailed, errno);
        }
        m_rx = QByteArray(buf, n);
        m_rxPos = 0;
    }
    const qsizetype take = std::min<qsizetype>(maxBytes, m_rx.size() - m_rxPos);
    const QByteArray bytes = m_rx.mid(m_rxPos, take);
    m_rxPos += take;
    return bytes;
}

qsizetype TCustomSerialPort::writeDevice(const QByteArray& bytes) {
    const int64_t deadline = Clock::nowMs() +
                             int64_t(Timeouts().WriteTotalMultiplier) * bytes.size() +
                             Timeouts().WriteTotalConstant;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            throw ESerialPort(SE_WriteFailed, errno);
        const int64_t left = deadline - Clock::nowMs();
        if (left <= 0)
            break; // the write timeout ends the write with what was sent
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, int(std::min<int64_t>(left, 1000))) > 0 &&
            (p.revents & (POLLHUP | POLLERR)))
            throw ESerialPort::hungUp(SE_WriteFailed);
    }
    return done;
}

void TCustomSerialPort::discardDevice(bool input, bool output) {
    if (input) {
        m_rx.clear();
        m_rxPos = 0;
    }
    const int which = input && output ? TCIOFLUSH : input ? TCIFLUSH : output ? TCOFLUSH : -1;
    if (which >= 0 && tcflush(m_fd, which) != 0)
        throw ESerialPort(SE_PurgeFailed, errno);
}

void TCustomSerialPort::SetPort(const QString& port) {
    if (port == m_port)
        return;
    const bool wasOpen = Connected();
    Close();
    m_port = port;
    if (wasOpen)
        Open();
}

void TCustomSerialPort::SetBaudRate(TBaudRate baud) {
    if (baud == m_baud)
        return;
    m_baud = baud;
    if (Connected())
        applyLineSettings();
}
