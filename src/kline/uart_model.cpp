#include "kline/uart_model.h"

#include <algorithm>

namespace kline {

namespace {
Micros bitAt(int rate, int i) {
    return Micros((int64_t(i) * 1'000'000 + rate / 2) / rate);
}
} // namespace

void Drive::set(Micros t, bool high) {
    if (levelAt(t) == high && (m_edges.empty() || m_edges.back().first <= t))
        return;
    // A change in the past of scheduled frames cuts them off (a break).
    while (!m_edges.empty() && m_edges.back().first > t)
        m_edges.pop_back();
    if (!m_edges.empty() && m_edges.back().first == t)
        m_edges.back().second = high;
    else
        m_edges.emplace_back(t, high);
}

bool Drive::levelAt(Micros t) const {
    auto it = std::upper_bound(m_edges.begin(), m_edges.end(), t,
                               [](Micros v, const auto& e) { return v < e.first; });
    if (it == m_edges.begin())
        return true;
    return std::prev(it)->second;
}

Micros Drive::frames(const std::vector<uint8_t>& bytes, int rate, Micros start) {
    Micros t = start;
    bool level = levelAt(start);
    auto put = [&](Micros at, bool high) {
        if (high != level) {
            m_edges.emplace_back(at, high);
            level = high;
        }
    };
    for (const uint8_t b : bytes) {
        put(t, false); // start bit
        for (int i = 0; i < 8; ++i)
            put(t + bitAt(rate, i + 1), (b >> i) & 1);
        put(t + bitAt(rate, 9), true); // stop bit
        t += bitAt(rate, 10);
    }
    return t;
}

void Drive::forgetBefore(Micros t) {
    auto it = std::upper_bound(m_edges.begin(), m_edges.end(), t,
                               [](Micros v, const auto& e) { return v < e.first; });
    if (it - m_edges.begin() > 1)
        m_edges.erase(m_edges.begin(), std::prev(it));
}

bool Wire::levelAt(Micros t) const {
    for (const Drive* d : m_sources)
        if (!d->levelAt(t))
            return false;
    return true;
}

Micros Wire::nextFall(Micros after) const {
    Micros best = -1;
    for (const Drive* d : m_sources) {
        const auto& e = d->transitions();
        auto it = std::upper_bound(e.begin(), e.end(), after,
                                   [](Micros v, const auto& x) { return v < x.first; });
        for (; it != e.end(); ++it) {
            if (best >= 0 && it->first >= best)
                break;
            if (!it->second && levelAt(it->first - 1) && !levelAt(it->first)) {
                best = it->first;
                break;
            }
        }
    }
    return best;
}

void UartReceiver::decode(const Wire& wire, int rate, Micros now, std::vector<RxByte>& out) {
    if (rate <= 0)
        return;
    for (;;) {
        const Micros f = wire.nextFall(m_pos);
        if (f < 0 || f + bitAt(rate, 19) / 2 > now)
            return;
        if (wire.levelAt(f + bitAt(rate, 1) / 2)) { // a glitch, not a start bit
            m_pos = f;
            continue;
        }
        uint8_t v = 0;
        for (int k = 0; k < 8; ++k)
            if (wire.levelAt(f + bitAt(rate, 2 * k + 3) / 2))
                v |= uint8_t(1u << k);
        const Micros stop = f + bitAt(rate, 19) / 2;
        out.push_back({v, !wire.levelAt(stop), stop});
        m_pos = stop;
    }
}

Micros UartReceiver::nextCompletion(const Wire& wire, int rate) const {
    if (rate <= 0)
        return -1;
    const Micros f = wire.nextFall(m_pos);
    return f < 0 ? -1 : f + bitAt(rate, 19) / 2;
}

std::vector<RxByte> resample(const std::vector<uint8_t>& bytes, int sendRate, int recvRate) {
    Drive d;
    const Micros end = d.frames(bytes, sendRate, 1000);
    Wire w({&d});
    UartReceiver r;
    std::vector<RxByte> out;
    r.decode(w, recvRate, end + 10 * byteTime(recvRate), out);
    return out;
}

} // namespace kline
