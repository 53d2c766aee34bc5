#include "sim/kline_host.h"

#include "kline/line_runner.h"
#include "kline/termios_kline.h"
#include "kline/uart_model.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

using namespace kline;

namespace {

// The units' side of the cable: the pty master.
class PtyUnitPort : public KLinePort {
public:
    PtyUnitPort(int master, int stopFd) : m_master(master), m_stopFd(stopFd) {}

    Micros now() const override { return TermiosKLine::monotonicNow(); }
    PortResult setRate(int baud, int* actual) override {
        m_rate = baud;
        *actual = baud;
        return {};
    }
    PortResult setBreak(bool) override { return {}; }
    PortResult write(const uint8_t* bytes, size_t count) override {
        std::vector<uint8_t> out(bytes, bytes + count);
        const int program = programRate();
        if (program != m_rate) {
            std::vector<uint8_t> garbled;
            for (const RxByte& b : resample(out, m_rate, program))
                garbled.push_back(b.value);
            out = garbled;
        }
        send(out);
        return {};
    }
    PortResult flushInput() override {
        pull();
        while (!m_pending.empty() && m_pending.front().at <= now())
            m_pending.pop_front();
        return {};
    }
    long receive(RxByte* out, size_t max) override {
        pull();
        size_t n = 0;
        const Micros t = now();
        while (n < max && !m_pending.empty() && m_pending.front().at <= t) {
            out[n++] = m_pending.front();
            m_pending.pop_front();
        }
        return long(n);
    }
    PortResult setModemLines(bool, bool) override { return {}; }
    PortResult setLowLatency(bool) override { return {}; }
    bool waitUntil(Micros deadline) override {
        if (!m_pending.empty() && m_pending.front().at < deadline)
            deadline = m_pending.front().at;
        const Micros left = std::max<Micros>(0, deadline - now());
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        const timespec ts{time_t(left / 1'000'000), long(left % 1'000'000) * 1000};
        const int r = ::ppoll(fds, 2, &ts, nullptr);
        if (r < 0 && errno != EINTR)
            return false;
        if (r > 0 && fds[1].revents)
            return false;
        if (r > 0 && (fds[0].revents & POLLHUP) && !(fds[0].revents & POLLIN))
            ::poll(nullptr, 0, 10); // nobody on the terminal side just now
        return true;
    }

private:
    int programRate() const {
        int r = 0;
        return termios2GetRate(m_master, &r) == 0 && r > 0 ? r : m_rate;
    }
    void send(const std::vector<uint8_t>& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += size_t(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p{m_master, POLLOUT, 0};
                if (::poll(&p, 1, 100) <= 0)
                    return; // nobody reads: the bytes are lost, as on a wire
            } else if (!(n < 0 && errno == EINTR)) {
                return;
            }
        }
    }
    // What the program wrote: echoed at once, heard by the units when its
    // last bit is on the wire.
    void pull() {
        uint8_t buf[256];
        for (;;) {
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                return;
            std::vector<uint8_t> bytes(buf, buf + n);
            send(bytes);
            const int program = programRate();
            const Micros t = now();
            std::vector<RxByte> heard;
            if (program == m_rate) {
                for (const uint8_t b : bytes)
                    heard.push_back({b, false, 0});
            } else {
                heard = resample(bytes, program, m_rate);
            }
            Micros at = t;
            for (RxByte& b : heard) {
                at += byteTime(program) * 19 / 20;
                b.at = at;
                at += byteTime(program) / 20;
                m_pending.push_back(b);
            }
        }
    }

    int m_master;
    int m_stopFd;
    int m_rate = 10400;
    std::deque<RxByte> m_pending;
};

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

PlainCableHost::PlainCableHost() = default;

PlainCableHost::~PlainCableHost() {
    stop();
}

bool PlainCableHost::start(const QString& scenarioPath, const QString& lineFaults, QString* error) {
    stop();
    SimScenario scenario;
    if (!SimScenario::load(scenarioPath, &scenario, error))
        return false;
    KLineUnitOptions opt;
    std::string why;
    if (!KLineUnitOptions::parse(lineFaults.toStdString(), &opt, &why)) {
        if (error)
            *error = QString::fromStdString(why);
        return false;
    }
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slaveKeep, name, &raw, nullptr) != 0) {
        if (error)
            *error = QStringLiteral("cannot open a pseudo-terminal: %1")
                         .arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slaveKeep, F_SETFD, FD_CLOEXEC);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
    m_violations.clear();
    m_unit = std::make_unique<KLineUnit>(std::move(scenario), std::move(opt));
    m_thread = std::thread([this] { serve(); });
    return true;
}

void PlainCableHost::stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_unit)
        m_violations = m_unit->violations();
    m_unit.reset();
    closeFd(m_master);
    closeFd(m_slaveKeep);
    closeFd(m_stopFd);
    m_slavePath.clear();
}

void PlainCableHost::serve() {
    PtyUnitPort port(m_master, m_stopFd);
    // Nothing of the units' own comes back on a terminal.
    LineRunner runner(port, *m_unit, EchoFilter::Mode::Absent);
    m_unit->begin(port.now());
    runner.runUntil(INT64_MAX);
}
