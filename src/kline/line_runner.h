#pragma once
// Drives one endpoint through one port: hands it received bytes (less the
// echoes of its own writes), its timer expiries and the bus faults, and
// carries out its line actions. The same loop serves a real cable, the
// virtual K-line and a simulator on a pseudo-terminal.
#include "kline/echo_filter.h"
#include "kline/kline_port.h"
#include "kline/line_endpoint.h"

#include <functional>

namespace kline {

class LineRunner {
public:
    LineRunner(KLinePort& port, LineEndpoint& endpoint,
               EchoFilter::Mode echo = EchoFilter::Mode::Detect);

    // One round at the port's now: input, echo deadlines, timers, actions.
    // True when anything happened (a caller repeats until nothing does).
    bool step();
    // The earliest time step() has something to do; -1 when none.
    Micros deadline() const;
    // Steps and waits until done() holds or the port's clock reaches limit.
    // True when done() held; false at the limit or when the port failed.
    bool runUntil(Micros limit, const std::function<bool()>& done = {});

    EchoFilter& echo() { return m_echo; }
    // The rate the device took at the last SetRate; 0 before.
    int actualRate() const { return m_actualRate; }
    // A rate came out more than 2 % off what was asked.
    bool rateWarning() const { return m_rateWarning; }
    // Told each time a rate comes out more than 2 % off: asked, taken.
    std::function<void(int asked, int actual)> onRateOff;
    bool portFailed() const { return m_failed; }
    // Every action as carried out (tests, traces).
    std::function<void(const LineAction&)> onAction;

private:
    void execute(const LineAction& a);
    // Tells the endpoint the converter's latency when it is first known or
    // grows: the driver's word for it, or the echoes' round trip.
    void tellLatency();

    KLinePort& m_port;
    LineEndpoint& m_endpoint;
    EchoFilter m_echo;
    int m_rate = 10400;
    int m_actualRate = 0;
    bool m_rateWarning = false;
    bool m_failed = false;
    Micros m_toldLatency = -1;
    std::vector<RxByte> m_pass;
};

} // namespace kline
