#include "link/memory_stream.h"

#include "config/clock.h"

#include <algorithm>
#include <cerrno>
#include <utility>

MemoryByteStream::MemoryByteStream()
{
    SetReadTotalMultiplier(-1);
    SetReadTotalConstant(1000);
}

MemoryByteStream::~MemoryByteStream()
{
    if (m_virtualClock)
        Clock::setSource(nullptr);
}

void MemoryByteStream::useVirtualClock(int64_t startMs)
{
    m_virtualClock = true;
    m_nowMs = startMs;
    Clock::setSource([this] { return m_nowMs; });
}

int64_t MemoryByteStream::now() const { return m_virtualClock ? m_nowMs : Clock::nowMs(); }

void MemoryByteStream::feed(const QByteArray& bytes) { m_input += bytes; }

void MemoryByteStream::feedAt(int64_t atMs, const QByteArray& bytes)
{
    const auto later = std::upper_bound(m_arrivals.begin(), m_arrivals.end(), atMs,
                                        [](int64_t t, const Arrival& a) { return t < a.atMs; });
    m_arrivals.insert(later, Arrival{atMs, bytes});
}

QByteArray MemoryByteStream::takeWritten() { return std::exchange(m_written, {}); }

qsizetype MemoryByteStream::pending() const
{
    qsizetype n = m_input.size();
    for (const Arrival& a : m_arrivals)
        n += a.bytes.size();
    return n;
}

void MemoryByteStream::deliver()
{
    const int64_t t = now();
    while (!m_arrivals.empty() && m_arrivals.front().atMs <= t) {
        m_input += m_arrivals.front().bytes;
        m_arrivals.pop_front();
    }
}

void MemoryByteStream::openDevice()
{
    if (m_openError)
        throw ESerialPort(SE_OpenFailed, m_openError);
    m_open = true;
    m_hungUp = false;
}

void MemoryByteStream::closeDevice() { m_open = false; }

bool MemoryByteStream::waitDevice(int ms)
{
    deliver();
    if (!m_input.isEmpty())
        return true;
    if (m_hungUp)
        throw ESerialPort::hungUp();
    if (!m_virtualClock || ms <= 0)
        return false;
    const int64_t end = m_nowMs + ms;
    if (!m_arrivals.empty() && m_arrivals.front().atMs <= end) {
        m_nowMs = std::max(m_nowMs, m_arrivals.front().atMs);
        deliver();
        return true;
    }
    m_nowMs = end;
    return false;
}

QByteArray MemoryByteStream::readDevice(qsizetype maxBytes, int timeoutMs)
{
    if (!waitDevice(timeoutMs))
        return {};
    const QByteArray bytes = m_input.left(maxBytes);
    m_input.remove(0, bytes.size());
    return bytes;
}

qsizetype MemoryByteStream::writeDevice(const QByteArray& bytes)
{
    if (m_hungUp)
        throw ESerialPort::hungUp(SE_WriteFailed);
    const QByteArray sent = m_writeLimit < 0 ? bytes : bytes.left(m_writeLimit);
    m_written += sent;
    if (m_responder && !sent.isEmpty())
        m_input += m_responder(sent);
    return sent.size();
}

void MemoryByteStream::checkDevice()
{
    if (m_hungUp)
        throw ESerialPort::hungUp();
}

void MemoryByteStream::discardDevice(bool input, bool)
{
    if (input) {
        deliver();
        m_input.clear();
    }
}
