#pragma once
// A K-line in memory for tests: one wire that a tester side and a unit side
// drive and both hear, their own bytes as echo. A byte takes ten bit times
// at its sender's rate; each side decodes the wire at its own rate through
// the UART model; received bytes can be handed over in batches, as a USB
// converter's latency timer does. Time is virtual: it jumps to the next
// event, so a 5-baud init costs 2.3 s of virtual time and no wall time.
//
//     VirtualKLine line;
//     line.attach(VirtualKLine::Unit, unitSim, EchoFilter::Mode::Present);
//     LineRunner tester(line.port(VirtualKLine::Tester), core);
//     tester.runUntil(line.now() + msec(5000), [&] { return core.connected(); });
//
// Either side may be attached (driven by the line itself) or driven from
// outside through its port, whose waitUntil() moves the line's time.
#include "kline/kline_port.h"
#include "kline/line_runner.h"
#include "kline/uart_model.h"

#include <array>
#include <deque>
#include <functional>
#include <memory>

namespace kline {

class VirtualKLine {
public:
    enum Side : uint8_t { Tester = 0, Unit = 1 };

    explicit VirtualKLine(Micros start = 0);
    ~VirtualKLine();
    VirtualKLine(const VirtualKLine&) = delete;
    VirtualKLine& operator=(const VirtualKLine&) = delete;

    KLinePort& port(Side side);
    Micros now() const { return m_now; }
    // Received bytes reach the side every batchUs (0: the moment they are
    // decoded). A flush drops only what has reached the host.
    void setLatency(Side side, Micros batchUs);
    // A cable that keeps a side's own bytes from its receiver (no echo).
    void setEcho(Side side, bool on) { m_sides[side].echo = on; }
    // The line drives endpoint itself from now on.
    LineRunner& attach(Side side, LineEndpoint& endpoint,
                       EchoFilter::Mode echo = EchoFilter::Mode::Present);
    // Moves time and drives the attached sides until done() or limit.
    bool run(Micros limit, const std::function<bool()>& done = {});

    // Every byte put on the wire, and every break edge (for timing checks).
    struct WireEvent {
        Side side;
        enum Kind : uint8_t { Byte, BreakOn, BreakOff } kind;
        uint8_t value;
        int rate;
        Micros start;
        Micros end;
    };
    std::function<void(const WireEvent&)> onWire;
    // Bytes each side has sent (for the bench's wire bound).
    uint64_t bytesSent(Side side) const { return m_sides[side].sentBytes; }

private:
    class Port;
    struct Pending {
        RxByte byte;
        Micros deliver;
    };
    struct SideState {
        Drive tx;
        Drive brk;
        int rate = 10400;
        Micros txFree = 0;
        Micros latency = 0;
        UartReceiver rx;
        std::deque<Pending> pending;
        std::unique_ptr<Port> port;
        std::unique_ptr<LineRunner> runner;
        uint64_t sentBytes = 0;
        bool echo = true;
    };

    // Decodes both sides up to now.
    void decode();
    Micros nextEvent() const;
    void advanceTo(Micros t);
    bool hasInput(Side side) const;
    Micros deliveryTime(const SideState& s, Micros decoded) const;

    Micros m_now;
    std::array<SideState, 2> m_sides;
    Wire m_wire;
    std::array<Wire, 2> m_others; // the wire as heard without one's own bytes
    const Wire& heard(Side side) const { return m_sides[side].echo ? m_wire : m_others[side]; }
    std::vector<RxByte> m_scratch;
};

} // namespace kline
