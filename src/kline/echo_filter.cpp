#include "kline/echo_filter.h"

#include <algorithm>

namespace kline {

void EchoFilter::expect(const std::vector<uint8_t>& bytes, Micros now, int rate) {
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
        // (An echo that shows up later still turns the judgement round.)
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
