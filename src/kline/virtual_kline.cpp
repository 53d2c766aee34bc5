#include "kline/virtual_kline.h"

#include <algorithm>

namespace kline {

class VirtualKLine::Port : public KLinePort {
public:
    Port(VirtualKLine& line, Side side) : m_line(line), m_side(side) {}
    Micros now() const override { return m_line.m_now; }
    PortResult setRate(int baud, int* actual) override {
        m_line.decode(); // what arrived so far, at the old rate
        s().rate = baud;
        *actual = baud;
        return {};
    }
    PortResult setBreak(bool on) override {
        s().brk.set(m_line.m_now, !on);
        if (m_line.onWire)
            m_line.onWire({m_side, on ? WireEvent::BreakOn : WireEvent::BreakOff, 0, 0,
                           m_line.m_now, m_line.m_now});
        return {};
    }
    PortResult write(const uint8_t* bytes, size_t count) override {
        SideState& st = s();
        Micros t = std::max(m_line.m_now, st.txFree);
        for (size_t i = 0; i < count; ++i) {
            const Micros end = st.tx.frames({bytes[i]}, st.rate, t);
            if (m_line.onWire)
                m_line.onWire({m_side, WireEvent::Byte, bytes[i], st.rate, t, end});
            t = end;
        }
        st.txFree = t;
        st.sentBytes += count;
        return {};
    }
    PortResult flushInput() override {
        m_line.decode();
        auto& p = s().pending;
        while (!p.empty() && p.front().deliver <= m_line.m_now)
            p.pop_front();
        return {};
    }
    long receive(RxByte* out, size_t max) override {
        m_line.decode();
        auto& p = s().pending;
        size_t n = 0;
        while (n < max && !p.empty() && p.front().deliver <= m_line.m_now) {
            out[n++] = p.front().byte;
            p.pop_front();
        }
        return long(n);
    }
    PortResult setModemLines(bool, bool) override { return {}; }
    PortResult setLowLatency(bool) override { return {}; }
    bool waitUntil(Micros deadline) override {
        // Stops early when this side has something to read.
        m_line.run(deadline, [this] { return m_line.hasInput(m_side); });
        return true;
    }

private:
    SideState& s() { return m_line.m_sides[m_side]; }
    VirtualKLine& m_line;
    Side m_side;
};

VirtualKLine::VirtualKLine(Micros start)
    : m_now(start), m_wire({&m_sides[0].tx, &m_sides[0].brk, &m_sides[1].tx, &m_sides[1].brk}),
      m_others{Wire({&m_sides[1].tx, &m_sides[1].brk}), Wire({&m_sides[0].tx, &m_sides[0].brk})} {
    for (int i = 0; i < 2; ++i) {
        m_sides[size_t(i)].port = std::make_unique<Port>(*this, Side(i));
        m_sides[size_t(i)].rx.skipTo(start - 1);
    }
}

VirtualKLine::~VirtualKLine() = default;

KLinePort& VirtualKLine::port(Side side) {
    return *m_sides[side].port;
}

void VirtualKLine::setLatency(Side side, Micros batchUs) {
    m_sides[side].latency = batchUs;
}

LineRunner& VirtualKLine::attach(Side side, LineEndpoint& endpoint, EchoFilter::Mode echo) {
    SideState& s = m_sides[side];
    s.runner = std::make_unique<LineRunner>(*s.port, endpoint, echo);
    return *s.runner;
}

Micros VirtualKLine::deliveryTime(const SideState& s, Micros decoded) const {
    if (s.latency <= 0)
        return decoded;
    return (decoded + s.latency - 1) / s.latency * s.latency;
}

void VirtualKLine::decode() {
    for (int i = 0; i < 2; ++i) {
        SideState& s = m_sides[size_t(i)];
        m_scratch.clear();
        s.rx.decode(heard(Side(i)), s.rate, m_now, m_scratch);
        for (const RxByte& b : m_scratch)
            s.pending.push_back({b, deliveryTime(s, b.at)});
    }
}

bool VirtualKLine::hasInput(Side side) const {
    const auto& p = m_sides[side].pending;
    return !p.empty() && p.front().deliver <= m_now;
}

Micros VirtualKLine::nextEvent() const {
    Micros best = -1;
    auto take = [&](Micros t) {
        if (t >= 0 && (best < 0 || t < best))
            best = t;
    };
    for (int i = 0; i < 2; ++i) {
        const SideState& s = m_sides[size_t(i)];
        if (s.runner)
            take(s.runner->deadline());
        if (!s.pending.empty())
            take(s.pending.front().deliver);
        const Micros c = s.rx.nextCompletion(heard(Side(i)), s.rate);
        if (c >= 0)
            take(deliveryTime(s, c));
    }
    return best;
}

void VirtualKLine::advanceTo(Micros t) {
    if (t > m_now)
        m_now = t;
    decode();
    const Micros keep = std::min(m_sides[0].rx.position(), m_sides[1].rx.position()) - msec(5000);
    if (keep > 0)
        for (SideState& s : m_sides) {
            s.tx.forgetBefore(keep);
            s.brk.forgetBefore(keep);
        }
}

bool VirtualKLine::run(Micros limit, const std::function<bool()>& done) {
    for (;;) {
        decode();
        for (int round = 0; round < 10000; ++round) {
            bool any = false;
            for (SideState& s : m_sides)
                if (s.runner)
                    any = s.runner->step() || any;
            if (!any)
                break;
        }
        if (done && done())
            return true;
        if (m_now >= limit)
            return false;
        Micros t = nextEvent();
        if (t < 0 || t > limit)
            t = limit;
        // Nothing may wait on a time that has passed.
        advanceTo(std::max(t, m_now + 1));
    }
}

} // namespace kline
