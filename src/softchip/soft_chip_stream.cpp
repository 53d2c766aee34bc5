#include "softchip/soft_chip_stream.h"

#include "config/clock.h"

#include <algorithm>
#include <cerrno>

using namespace kline;

namespace {

Micros earliest(Micros a, Micros b) {
    if (a < 0)
        return b;
    if (b < 0)
        return a;
    return std::min(a, b);
}

// Longest wait of the line thread when nothing is timed.
constexpr Micros kIdleWait = msec(1000);

// Bounds what waits for the program's next read; a recording loses the
// oldest line bytes rather than the memory.
constexpr size_t kMaxLineEvents = 100000;

} // namespace

// The port as the runner sees it, telling the stream what goes on the line.
class SoftChipStream::TappedPort : public KLinePort {
public:
    TappedPort(SoftChipStream& stream, KLinePort& port) : m_stream(stream), m_port(port) {}

    Micros now() const override { return m_port.now(); }
    PortResult setRate(int baud, int* actual) override { return m_port.setRate(baud, actual); }
    PortResult setBreak(bool on) override {
        const PortResult r = m_port.setBreak(on);
        if (r.ok)
            m_stream.addLineEvent(
                {on ? LineEvent::Kind::BreakOn : LineEvent::Kind::BreakOff, m_port.now(), {}, 0});
        return r;
    }
    PortResult write(const uint8_t* bytes, size_t count) override {
        const Micros at = m_port.now();
        const PortResult r = m_port.write(bytes, count);
        if (r.ok && count)
            m_stream.addLineEvent({LineEvent::Kind::Sent, at,
                                   std::string(reinterpret_cast<const char*>(bytes), count), 0});
        return r;
    }
    PortResult flushInput() override { return m_port.flushInput(); }
    long receive(RxByte* out, size_t max) override {
        const long n = m_port.receive(out, max);
        if (n > 0) {
            std::string bytes;
            for (long i = 0; i < n; ++i)
                bytes += char(out[i].value);
            m_stream.addLineEvent({LineEvent::Kind::Received, out[0].at, std::move(bytes), 0});
        }
        return n;
    }
    PortResult setModemLines(bool dtr, bool rts) override { return m_port.setModemLines(dtr, rts); }
    PortResult setLowLatency(bool on) override { return m_port.setLowLatency(on); }
    bool waitUntil(Micros deadline) override { return m_port.waitUntil(deadline); }
    void interrupt() override { m_port.interrupt(); }

private:
    SoftChipStream& m_stream;
    KLinePort& m_port;
};

void SoftChipStream::addLineEvent(LineEvent event) {
    std::lock_guard lock(m_mutex);
    if (event.kind == LineEvent::Kind::BreakOff && m_openBreak) {
        LineEvent& on = m_lineEvents[*m_openBreak];
        on.lengthMs = int((event.at - on.at + 500) / 1000);
        m_openBreak.reset();
    }
    if (m_lineEvents.size() >= kMaxLineEvents && !m_openBreak)
        m_lineEvents.erase(m_lineEvents.begin(), m_lineEvents.begin() + kMaxLineEvents / 2);
    if (event.kind == LineEvent::Kind::BreakOn)
        m_openBreak = m_lineEvents.size();
    m_lineEvents.push_back(std::move(event));
}

SoftChipStream::SoftChipStream(QString name, Opener opener, SoftChipOptions options,
                               EchoFilter::Mode echo)
    : m_name(std::move(name)), m_opener(std::move(opener)), m_options(options), m_echoMode(echo),
      m_threaded(true) {
    SetReadTotalMultiplier(-1);
    SetReadTotalConstant(1000);
}

SoftChipStream::SoftChipStream(QString name, KLinePort& port, SoftChipOptions options,
                               EchoFilter::Mode echo)
    : m_name(std::move(name)), m_options(options), m_echoMode(echo), m_port(&port),
      m_threaded(false) {
    SetReadTotalMultiplier(-1);
    SetReadTotalConstant(1000);
}

SoftChipStream::~SoftChipStream() {
    setTrafficObserver(nullptr); // may be gone before the stream
    if (m_open)
        closeDevice();
}

void SoftChipStream::openDevice() {
    if (m_threaded) {
        int err = 0;
        QString reason;
        std::unique_ptr<KLinePort> port = m_opener ? m_opener(&err, &reason) : nullptr;
        if (!port)
            throw ESerialPort(SE_OpenFailed, err > 0 ? err : -1, reason);
        m_ownedPort = std::move(port);
        m_port = m_ownedPort.get();
    }
    m_chip = std::make_unique<SoftChip>(m_options);
    m_lineEvents.clear();
    m_openBreak.reset();
    m_clockOffsetUs = Clock::nowUs() - m_port->now();
    m_tap = std::make_unique<TappedPort>(*this, *m_port);
    m_runner = std::make_unique<LineRunner>(*m_tap, m_chip->core(), m_echoMode);
    m_runner->onRateOff = [this](int asked, int taken) {
        std::lock_guard lock(m_mutex);
        m_notes.emplace_back(QStringLiteral("KLineRateAsked"), asked);
        m_notes.emplace_back(QStringLiteral("KLineRateTaken"), taken);
    };
    m_inbox.clear();
    m_outbox.clear();
    m_failed = false;
    m_stop = false;
    m_facts = {};
    m_notes.clear();
    m_notedLatency = -1;
    m_open = true;
    if (m_threaded)
        m_thread = std::thread([this] { serve(); });
}

void SoftChipStream::closeDevice() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_replied.notify_all();
    if (m_thread.joinable()) {
        m_port->interrupt();
        m_thread.join();
    }
    if (!m_threaded && m_chip && m_chip->core().active()) {
        // Let the unit time out on its own; nothing more goes on the wire.
        m_chip->core().disconnect(m_port->now());
    }
    m_runner.reset();
    m_chip.reset();
    m_tap.reset();
    passNotes(); // the last bytes on the line belong to the recording too
    if (m_threaded) {
        m_port = nullptr;
        m_ownedPort.reset(); // releases a held line
    }
    m_open = false;
}

void SoftChipStream::pump() {
    std::string in;
    {
        std::lock_guard lock(m_mutex);
        in.swap(m_inbox);
    }
    if (!in.empty())
        m_chip->receive(in, m_port->now());
    for (int round = 0; round < 10000 && !m_runner->portFailed(); ++round) {
        bool did = m_runner->step();
        did = m_chip->update(m_port->now()) || did;
        if (!did)
            break;
    }
    std::string out = m_chip->takeOutput();
    bool wake = !out.empty();
    {
        std::lock_guard lock(m_mutex);
        m_outbox += out;
        if (m_runner->portFailed() && !m_failed) {
            m_failed = true;
            wake = true;
        }
        m_facts.echo = m_runner->echo().mode() == EchoFilter::Mode::Present;
        m_facts.actualRate = m_runner->actualRate();
        m_facts.rateWarning = m_runner->rateWarning();
        m_facts.echoRoundTrip = m_runner->echo().longestRoundTrip();
        const KLineCore& core = m_chip->core();
        m_facts.latency = core.latency();
        if (core.latency() > core.timing().latency && core.latency() != m_notedLatency) {
            // A converter slower than the chip's setting: its waits widened.
            m_notedLatency = core.latency();
            m_notes.emplace_back(QStringLiteral("KLineLatency"), int(m_notedLatency / 1000));
        }
    }
    if (wake)
        m_replied.notify_all();
}

void SoftChipStream::serve() {
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
        }
        pump();
        const Micros now = m_port->now();
        Micros due = earliest(m_runner->deadline(), m_chip->deadline());
        if (due < 0 || due > now + kIdleWait)
            due = now + kIdleWait;
        {
            std::unique_lock lock(m_mutex);
            if (m_failed) {
                // The cable is gone: wait to be closed.
                m_replied.wait(lock, [this] { return m_stop; });
                return;
            }
            if (m_stop)
                return;
            if (!m_inbox.empty())
                continue;
        }
        if (!m_port->waitUntil(due)) {
            {
                std::lock_guard lock(m_mutex);
                m_failed = true;
            }
            m_replied.notify_all();
        }
    }
}

bool SoftChipStream::waitVirtual(int ms) {
    const Micros limit = m_port->now() + Micros(std::max(ms, 0)) * 1000;
    for (;;) {
        pump();
        if (!m_outbox.empty() || m_failed)
            return true;
        const Micros now = m_port->now();
        if (now >= limit)
            return false;
        Micros due = earliest(m_runner->deadline(), m_chip->deadline());
        if (due < 0 || due > limit)
            due = limit;
        if (!m_port->waitUntil(std::max(due, now + 1)))
            m_failed = true;
    }
}

void SoftChipStream::passNotes() {
    std::vector<std::pair<QString, int>> notes;
    std::vector<LineEvent> events;
    {
        std::lock_guard lock(m_mutex);
        notes.swap(m_notes);
        // A break still held stays, and what came after it.
        const size_t ready = m_openBreak.value_or(m_lineEvents.size());
        events.assign(std::make_move_iterator(m_lineEvents.begin()),
                      std::make_move_iterator(m_lineEvents.begin() + ptrdiff_t(ready)));
        m_lineEvents.erase(m_lineEvents.begin(), m_lineEvents.begin() + ptrdiff_t(ready));
        if (m_openBreak)
            m_openBreak = 0;
    }
    if (m_noteSink)
        for (const auto& [name, value] : notes)
            m_noteSink(name, value);
    TrafficObserver* observer = trafficObserver();
    if (!observer)
        return;
    for (const LineEvent& e : events) {
        const int64_t at = e.at + m_clockOffsetUs;
        switch (e.kind) {
        case LineEvent::Kind::Sent:
        case LineEvent::Kind::Received:
            observer->kLineBytes(e.kind == LineEvent::Kind::Sent,
                                 QByteArray(e.bytes.data(), qsizetype(e.bytes.size())), at);
            break;
        case LineEvent::Kind::BreakOn:
        case LineEvent::Kind::BreakOff:
            observer->kLineBreak(e.kind == LineEvent::Kind::BreakOn, e.lengthMs, at);
            break;
        }
    }
}

void SoftChipStream::raiseFailed(int code) const {
    throw ESerialPort::hungUp(code);
}

QByteArray SoftChipStream::readDevice(qsizetype maxBytes, int timeoutMs) {
    passNotes();
    if (!m_threaded) {
        if (m_outbox.empty())
            waitVirtual(timeoutMs);
        if (m_outbox.empty() && m_failed)
            raiseFailed(SE_ReadFailed);
        const qsizetype n = std::min<qsizetype>(maxBytes, qsizetype(m_outbox.size()));
        QByteArray out(m_outbox.data(), n);
        m_outbox.erase(0, size_t(n));
        return out;
    }
    std::unique_lock lock(m_mutex);
    if (m_outbox.empty() && timeoutMs > 0)
        m_replied.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return !m_outbox.empty() || m_failed; });
    if (m_outbox.empty() && m_failed)
        raiseFailed(SE_ReadFailed);
    const qsizetype n = std::min<qsizetype>(maxBytes, qsizetype(m_outbox.size()));
    QByteArray out(m_outbox.data(), n);
    m_outbox.erase(0, size_t(n));
    return out;
}

qsizetype SoftChipStream::writeDevice(const QByteArray& bytes) {
    {
        std::lock_guard lock(m_mutex);
        if (m_failed)
            raiseFailed(SE_WriteFailed);
        m_inbox.append(bytes.constData(), size_t(bytes.size()));
    }
    if (m_threaded)
        m_port->interrupt();
    else
        pump();
    return bytes.size();
}

bool SoftChipStream::waitDevice(int ms) {
    passNotes();
    if (!m_threaded) {
        if (m_outbox.empty())
            waitVirtual(ms);
        if (m_outbox.empty() && m_failed)
            raiseFailed(SE_ReadFailed);
        return !m_outbox.empty();
    }
    std::unique_lock lock(m_mutex);
    if (m_outbox.empty() && ms > 0)
        m_replied.wait_for(lock, std::chrono::milliseconds(ms),
                           [this] { return !m_outbox.empty() || m_failed; });
    if (m_outbox.empty() && m_failed)
        raiseFailed(SE_ReadFailed);
    return !m_outbox.empty();
}

void SoftChipStream::checkDevice() {
    std::lock_guard lock(m_mutex);
    if (m_failed)
        raiseFailed(SE_ReadFailed);
}

void SoftChipStream::discardDevice(bool input, bool /*output*/) {
    std::lock_guard lock(m_mutex);
    if (input)
        m_outbox.clear();
}

SoftChipStream::LineFacts SoftChipStream::lineFacts() const {
    std::lock_guard lock(m_mutex);
    return m_facts;
}
