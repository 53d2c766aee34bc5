#include "kline/line_runner.h"

#include <algorithm>
#include <cstdlib>

namespace kline {

LineRunner::LineRunner(KLinePort& port, LineEndpoint& endpoint, EchoFilter::Mode echo)
    : m_port(port), m_endpoint(endpoint), m_echo(echo) {}

void LineRunner::tellLatency() {
    const Micros l = std::max(m_port.receiveLatency(), m_echo.latencyEstimate());
    if (l > m_toldLatency) {
        m_toldLatency = l;
        m_endpoint.converterLatency(l);
    }
}

bool LineRunner::step() {
    bool did = false;
    const Micros now = m_port.now();
    tellLatency();
    RxByte buf[64];
    for (;;) {
        const long n = m_port.receive(buf, std::size(buf));
        if (n < 0) {
            if (!m_failed)
                m_endpoint.busFault(BusFault::PortFailed, now);
            m_failed = true;
            return true;
        }
        if (n == 0)
            break;
        m_pass.clear();
        for (long i = 0; i < n; ++i) {
            switch (m_echo.take(buf[i], now)) {
            case EchoFilter::Verdict::Echo:
                break;
            case EchoFilter::Verdict::Pass:
                m_pass.push_back(buf[i]);
                break;
            case EchoFilter::Verdict::Mismatch:
                if (!m_pass.empty())
                    m_endpoint.received(m_pass.data(), m_pass.size(), now);
                m_pass.clear();
                m_endpoint.busFault(BusFault::WrongEcho, now);
                break;
            }
        }
        // An echo of this batch may have shown the converter slower than
        // thought: the waits for the unit's bytes widen first.
        tellLatency();
        if (!m_pass.empty())
            m_endpoint.received(m_pass.data(), m_pass.size(), now);
        did = true;
    }
    const Micros echoDue = m_echo.deadline();
    if (echoDue >= 0 && now >= echoDue) {
        const BusFault f = m_echo.expire(now);
        if (f != BusFault::None)
            m_endpoint.busFault(f, now);
        did = true;
    }
    const Micros due = m_endpoint.deadline();
    if (due >= 0 && now >= due) {
        m_endpoint.timer(now);
        did = true;
    }
    LineAction a;
    while (m_endpoint.takeAction(&a)) {
        execute(a);
        did = true;
    }
    return did;
}

void LineRunner::execute(const LineAction& a) {
    if (onAction)
        onAction(a);
    const Micros now = m_port.now();
    PortResult r;
    switch (a.kind) {
    case LineAction::SetRate: {
        int actual = 0;
        r = m_port.setRate(a.rate, &actual);
        m_rate = a.rate;
        if (r.ok) {
            m_actualRate = actual;
            m_rateWarning = actual > 0 && std::abs(actual - a.rate) * 50 > a.rate;
            if (actual > 0)
                m_rate = actual;
            if (m_rateWarning && onRateOff)
                onRateOff(a.rate, actual);
        } else if (r.unsupported) {
            // The endpoint decides: another way to send the address, or a
            // clear fault instead of a silent line.
            m_endpoint.busFault(BusFault::RateRefused, now);
            return;
        }
        break;
    }
    case LineAction::BreakOn:
    case LineAction::BreakOff:
        r = m_port.setBreak(a.kind == LineAction::BreakOn);
        if (!r.ok && r.unsupported) {
            m_endpoint.busFault(BusFault::NoBreak, now);
            return;
        }
        break;
    case LineAction::Write:
        r = m_port.write(a.bytes.data(), a.bytes.size());
        m_echo.setSlack(m_endpoint.echoAllowance());
        if (r.ok)
            m_echo.expect(a.bytes, now, m_rate);
        break;
    case LineAction::FlushInput:
        r = m_port.flushInput();
        m_echo.clear();
        break;
    }
    if (!r.ok && !r.unsupported) {
        m_failed = true;
        m_endpoint.busFault(BusFault::PortFailed, now);
    }
}

Micros LineRunner::deadline() const {
    const Micros a = m_echo.deadline();
    const Micros b = m_endpoint.deadline();
    if (a < 0)
        return b;
    if (b < 0)
        return a;
    return std::min(a, b);
}

bool LineRunner::runUntil(Micros limit, const std::function<bool()>& done) {
    for (;;) {
        while (step()) {
        }
        if (done && done())
            return true;
        if (m_failed)
            return false;
        const Micros now = m_port.now();
        if (now >= limit)
            return false;
        Micros d = deadline();
        if (d < 0 || d > limit)
            d = limit;
        if (!m_port.waitUntil(std::max(d, now)))
            m_failed = true;
    }
}

} // namespace kline
