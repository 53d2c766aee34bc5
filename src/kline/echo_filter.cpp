#include "kline/echo_filter.h"

#include <algorithm>

namespace kline {

void EchoFilter::expect(const std::vector<uint8_t>& bytes, Micros now, int rate) {
    // Once judged, a cable without echo stays so: a unit's byte that happens
    // to equal ours (a length 03 after our final 03) must not be eaten.
    if (m_mode == Mode::Absent)
        return;
    Micros t = std::max(now, m_txFree);
    for (const uint8_t b : bytes) {
        t += byteTime(rate);
        m_expected.push_back({b, t + m_slack});
    }
    m_txFree = t;
}

EchoFilter::Verdict EchoFilter::take(const RxByte& byte) {
    if (m_expected.empty())
        return Verdict::Pass;
    const Expected e = m_expected.front();
    if (byte.value == e.value && !byte.framingError) {
        m_expected.pop_front();
        m_mode = Mode::Present;
        return Verdict::Echo;
    }
    if (m_mode != Mode::Present) {
        // The first byte after our own is someone else's: no echo here.
        m_mode = Mode::Absent;
        m_expected.clear();
        return Verdict::Pass;
    }
    m_expected.pop_front();
    return Verdict::Mismatch;
}

Micros EchoFilter::deadline() const {
    return m_expected.empty() ? -1 : m_expected.front().deadline;
}

BusFault EchoFilter::expire(Micros now) {
    if (m_expected.empty() || now < m_expected.front().deadline)
        return BusFault::None;
    if (m_mode != Mode::Present) {
        m_mode = Mode::Absent;
        m_expected.clear();
        return BusFault::None;
    }
    while (!m_expected.empty() && m_expected.front().deadline <= now)
        m_expected.pop_front();
    return BusFault::MissingEcho;
}

} // namespace kline
