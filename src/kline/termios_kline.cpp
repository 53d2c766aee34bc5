#include "kline/termios_kline.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kline {

namespace {

bool lacking(int err) {
    return err == ENOTTY || err == EINVAL || err == EOPNOTSUPP;
}

PortResult fromErrno(int err) {
    return err == 0 ? PortResult{} : PortResult::failure(err, lacking(err));
}

} // namespace

TermiosKLine::TermiosKLine() : m_wake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TermiosKLine::~TermiosKLine() {
    close();
    if (m_wake >= 0)
        ::close(m_wake);
}

void TermiosKLine::interrupt() {
    const uint64_t one = 1;
    if (m_wake >= 0)
        (void)!::write(m_wake, &one, sizeof one);
}

Micros TermiosKLine::monotonicNow() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return Micros(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

Micros TermiosKLine::now() const {
    return monotonicNow();
}

PortResult TermiosKLine::open(const std::string& path, int rate) {
    close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return PortResult::failure(errno);
    if (ioctl(fd, TIOCEXCL) != 0 && !lacking(errno)) {
        const int err = errno;
        ::close(fd);
        return PortResult::failure(err);
    }
    const PortResult r = adopt(fd, rate);
    if (!r.ok)
        return r;
    m_setup.modemLines = setModemLines(true, false);
    m_setup.lowLatency = setLowLatency(true);
    // A byte waits in the converter up to its latency timer before a read
    // sees it. With the 1 ms timer half of that; a device without the
    // setting has no such timer (a native UART, a terminal); one that would
    // not take it keeps its 16 ms: stamp 4 ms early, so a complement timed
    // from the stamp still lands inside its 25..50 ms window.
    m_skew = m_setup.lowLatency.ok ? 500 : m_setup.lowLatency.unsupported ? 0 : msec(4);
    // Read after asking for the short timer: what it shows is what holds
    // (the echo measures it again, for drivers that show one thing and do
    // another).
    const int timer = latencyTimerMs(path, m_sysRoot);
    m_latency = timer >= 0 ? msec(timer) : -1;
    return r;
}

int latencyTimerMs(const std::string& devicePath, const std::string& sysRoot) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path device = fs::canonical(devicePath, ec);
    if (ec)
        device = devicePath;
    const std::string name = device.filename().string();
    if (name.empty())
        return -1;
    std::ifstream in(fs::path(sysRoot) / "class/tty" / name / "device/latency_timer");
    int ms = -1;
    if (!(in >> ms) || ms < 0 || ms > 255) // the chip keeps it in one byte
        return -1;
    return ms;
}

PortResult TermiosKLine::adopt(int fd, int rate) {
    close();
    m_fd = fd;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        const int err = errno;
        close();
        return PortResult::failure(err);
    }
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~tcflag_t(CRTSCTS | CSTOPB | PARENB);
    t.c_iflag &= ~tcflag_t(IXON | IXOFF | INPCK | PARMRK);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        const int err = errno;
        close();
        return PortResult::failure(err);
    }
    int actual = 0;
    return setRate(rate, &actual);
}

void TermiosKLine::close() {
    m_latency = -1;
    if (m_fd >= 0) {
        ioctl(m_fd, TIOCCBRK); // never leave the line held low
        ::close(m_fd);
    }
    m_fd = -1;
}

int TermiosKLine::currentRate() const {
    int baud = 0;
    return m_fd >= 0 && termios2GetRate(m_fd, &baud) == 0 ? baud : 0;
}

PortResult TermiosKLine::setRate(int baud, int* actual) {
    if (m_fd < 0)
        return PortResult::failure(EBADF);
    if (const int err = termios2SetRate(m_fd, baud))
        return fromErrno(err);
    // Drivers store the rate they could reach; that is the one in use.
    int back = 0;
    if (const int err = termios2GetRate(m_fd, &back))
        return fromErrno(err);
    m_rate = back > 0 ? back : baud;
    *actual = back;
    return {};
}

PortResult TermiosKLine::setBreak(bool on) {
    if (m_fd < 0)
        return PortResult::failure(EBADF);
    return fromErrno(ioctl(m_fd, on ? TIOCSBRK : TIOCCBRK) == 0 ? 0 : errno);
}

PortResult TermiosKLine::write(const uint8_t* bytes, size_t count) {
    if (m_fd < 0)
        return PortResult::failure(EBADF);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, bytes + done, count - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{m_fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) > 0)
                continue;
            return PortResult::failure(ETIMEDOUT);
        }
        return PortResult::failure(n < 0 ? errno : EIO);
    }
    return {};
}

PortResult TermiosKLine::flushInput() {
    if (m_fd < 0)
        return PortResult::failure(EBADF);
    return fromErrno(tcflush(m_fd, TCIFLUSH) == 0 ? 0 : errno);
}

long TermiosKLine::receive(RxByte* out, size_t max) {
    if (m_fd < 0)
        return -1;
    uint8_t buf[256];
    const size_t want = max < sizeof buf ? max : sizeof buf;
    ssize_t n;
    do {
        n = ::read(m_fd, buf, want);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return errno == EAGAIN ? 0 : -1;
    if (n == 0) {
        // Raw mode reads 0 both when nothing came and after a hang-up.
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) ? -1 : 0;
    }
    // A read returns what came in a burst; the later bytes came later.
    const Micros t = now() - m_skew;
    const Micros per = byteTime(m_rate > 0 ? m_rate : 10400);
    for (ssize_t i = 0; i < n; ++i)
        out[i] = {buf[i], false, t - (n - 1 - i) * per};
    return long(n);
}

PortResult TermiosKLine::setModemLines(bool dtr, bool rts) {
    if (m_fd < 0)
        return PortResult::failure(EBADF);
    int set = 0, clear = 0;
    (dtr ? set : clear) |= TIOCM_DTR;
    (rts ? set : clear) |= TIOCM_RTS;
    if (set && ioctl(m_fd, TIOCMBIS, &set) != 0)
        return fromErrno(errno);
    if (clear && ioctl(m_fd, TIOCMBIC, &clear) != 0)
        return fromErrno(errno);
    return {};
}

PortResult TermiosKLine::setLowLatency(bool on) {
    if (m_fd < 0)
        return PortResult::failure(EBADF);
    serial_struct s{};
    if (ioctl(m_fd, TIOCGSERIAL, &s) != 0)
        return fromErrno(errno);
    if (on)
        s.flags |= ASYNC_LOW_LATENCY;
    else
        s.flags &= ~ASYNC_LOW_LATENCY;
    // Allowed without privileges: the flag is among those a user may change.
    if (ioctl(m_fd, TIOCSSERIAL, &s) != 0)
        return fromErrno(errno);
    return {};
}

bool TermiosKLine::waitUntil(Micros deadline) {
    if (m_fd < 0)
        return false;
    for (;;) {
        const Micros left = deadline - now();
        if (left <= 0)
            return true;
        pollfd p[2] = {{m_fd, POLLIN, 0}, {m_wake, POLLIN, 0}};
        const timespec ts{time_t(left / 1'000'000), long(left % 1'000'000) * 1000};
        const int r = ::ppoll(p, m_wake >= 0 ? 2 : 1, &ts, nullptr);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return false;
        if (r > 0 && p[0].revents)
            return !(p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) || (p[0].revents & POLLIN);
        if (r > 0) {
            uint64_t n = 0;
            (void)!::read(m_wake, &n, sizeof n);
            return true;
        }
    }
}

} // namespace kline
