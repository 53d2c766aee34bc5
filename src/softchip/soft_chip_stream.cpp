#include "softchip/soft_chip_stream.h"

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

} // namespace

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
    m_runner = std::make_unique<LineRunner>(*m_port, m_chip->core(), m_echoMode);
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
    {
        std::lock_guard lock(m_mutex);
        notes.swap(m_notes);
    }
    if (m_noteSink)
        for (const auto& [name, value] : notes)
            m_noteSink(name, value);
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
