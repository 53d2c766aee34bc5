#include "kline/echo_filter.h"

#include <algorithm>

namespace kline {

void EchoFilter::expect(const std::vector<uint8_t>& bytes, Micros now, int rate) {
    // Once judged, a cable without echo stays so: a unit's byte that happens
    // to equal ours (a length 03 after our final 03) must not be eaten.
    if (m_mode == Mode::Absent)
        return;
    Micros t = std::max(now, m_txFree);
    const Micros slack = m_mode == Mode::Present ? m_slack : std::max(m_slack, JudgeSlack);
    for (const uint8_t b : bytes) {
        m_expected.push_back({b, t, t + byteTime(rate), t + byteTime(rate) + slack});
        t += byteTime(rate);
    }
    m_txFree = t;
}

EchoFilter::Verdict EchoFilter::take(const RxByte& byte, Micros takenAt) {
    const Micros at = takenAt >= 0 ? takenAt : byte.at;
    while (!m_late.empty() && at > m_late.front().sentEnd + LateHorizon)
        m_late.pop_front();
    if (!m_late.empty()) {
        // On the wire before that byte of ours began: held back, not its echo.
        if (byte.at + StampSlack < m_late.front().sentStart)
            return Verdict::Pass;
        if (byte.value == m_late.front().value && !byte.framingError) {
            // Late for the slack allowed, yet the converter's pace unless a
            // stall held it.
            learn(at - m_late.front().sentEnd, false);
            m_late.pop_front();
            return Verdict::Echo;
        }
        m_late.clear(); // lost on the way after all
    }
    if (m_expected.empty())
        return Verdict::Pass;
    const Expected e = m_expected.front();
    if (byte.at + StampSlack < e.sentStart)
        return Verdict::Pass;
    if (byte.value == e.value && !byte.framingError) {
        m_expected.pop_front();
        m_mode = Mode::Present;
        learn(at - e.sentEnd, true);
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

void EchoFilter::learn(Micros trip, bool inTime) {
    trip = std::max<Micros>(0, trip);
    if (inTime)
        m_longestRoundTrip = std::max(m_longestRoundTrip, trip);
    if (trip <= LatencyCap)
        m_latency = std::max(m_latency, trip);
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
    while (!m_expected.empty() && m_expected.front().deadline <= now) {
        m_late.push_back(m_expected.front());
        m_expected.pop_front();
    }
    return BusFault::MissingEcho;
}

void EchoFilter::clear() {
    if (m_mode == Mode::Present)
        m_late.insert(m_late.end(), m_expected.begin(), m_expected.end());
    m_expected.clear();
}

} // namespace kline
