#include "kline/line_endpoint.h"

namespace kline {

void CoEndpoint::received(const RxByte* bytes, size_t count, Micros now) {
    if (now > m_now)
        m_now = now;
    m_in.insert(m_in.end(), bytes, bytes + count);
    pump();
}

void CoEndpoint::busFault(BusFault fault, Micros now) {
    if (now > m_now)
        m_now = now;
    m_fault = fault;
    pump();
}

void CoEndpoint::timer(Micros now) {
    if (now > m_now)
        m_now = now;
    pump();
}

Micros CoEndpoint::deadline() const {
    if (!m_resume || m_wait == Wait::None)
        return -1;
    return m_waitDeadline;
}

bool CoEndpoint::takeAction(LineAction* out) {
    if (m_actions.empty())
        return false;
    *out = std::move(m_actions.front());
    m_actions.pop_front();
    return true;
}

void CoEndpoint::setRate(int baud) {
    m_rate = baud;
    LineAction a;
    a.kind = LineAction::SetRate;
    a.at = m_now;
    a.rate = baud;
    m_actions.push_back(std::move(a));
}

void CoEndpoint::setBreak(bool on) {
    LineAction a;
    a.kind = on ? LineAction::BreakOn : LineAction::BreakOff;
    a.at = m_now;
    m_actions.push_back(std::move(a));
}

void CoEndpoint::write(std::vector<uint8_t> bytes) {
    LineAction a;
    a.kind = LineAction::Write;
    a.at = m_now;
    a.bytes = std::move(bytes);
    m_actions.push_back(std::move(a));
}

void CoEndpoint::flushInput() {
    m_in.clear();
    m_fault = BusFault::None;
    LineAction a;
    a.kind = LineAction::FlushInput;
    a.at = m_now;
    m_actions.push_back(std::move(a));
}

void CoEndpoint::start(Task<void> root) {
    stop();
    m_root = std::move(root);
    m_root.start();
    pump();
}

void CoEndpoint::pump() {
    while (m_resume) {
        Input in;
        if (m_wait == Wait::Byte && m_fault != BusFault::None) {
            in.kind = Input::Fault;
            in.fault = m_fault;
            m_fault = BusFault::None;
        } else if (m_wait == Wait::Byte && !m_in.empty()) {
            in.kind = Input::Byte;
            in.byte = m_in.front();
            m_in.pop_front();
        } else if (m_wait == Wait::Signal && signalled()) {
            in.kind = Input::Byte;
        } else if (m_waitDeadline >= 0 && m_now >= m_waitDeadline) {
            in.kind = Input::Timeout;
        } else {
            return;
        }
        m_delivered = in;
        auto h = m_resume;
        m_resume = {};
        m_wait = Wait::None;
        h.resume();
    }
}

} // namespace kline
