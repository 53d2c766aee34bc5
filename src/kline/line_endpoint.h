#pragma once
// One side of a K-line conversation, free of I/O: received bytes, bus faults
// and timer expiries in; line actions out. The protocol core (tester) and
// the unit simulator are both endpoints; a runner connects one to a port.
#include "kline/co_task.h"
#include "kline/kline_types.h"

#include <deque>

namespace kline {

class LineEndpoint {
public:
    virtual ~LineEndpoint() = default;
    // Bytes that are not echoes of our own, in arrival order; now >= their at.
    virtual void received(const RxByte* bytes, size_t count, Micros now) = 0;
    virtual void busFault(BusFault fault, Micros now) = 0;
    virtual void timer(Micros now) = 0;
    // When timer() is next due; -1 when nothing is timed.
    virtual Micros deadline() const = 0;
    virtual bool takeAction(LineAction* out) = 0;
    // How long after its last bit the echo of a sent byte may still come:
    // the receive latency this side allows for in its own waits.
    virtual Micros echoAllowance() const { return msec(20); }
    // How late the converter hands received bytes over, as its driver
    // states it or as the echo showed it; told again when it grows.
    virtual void converterLatency(Micros /*latency*/) {}
};

// The waits an endpoint written as coroutines needs: the next byte (or its
// deadline, or a bus fault), a time, or a signal of the derived class.
class CoEndpoint : public LineEndpoint {
public:
    void received(const RxByte* bytes, size_t count, Micros now) override;
    void busFault(BusFault fault, Micros now) override;
    void timer(Micros now) override;
    Micros deadline() const override;
    bool takeAction(LineAction* out) override;

    Micros now() const { return m_now; }
    // The rate this side last set.
    int lineRate() const { return m_rate; }

protected:
    struct Input {
        enum Kind : uint8_t { Byte, Timeout, Fault };
        Kind kind = Timeout;
        RxByte byte;
        BusFault fault = BusFault::None;
        bool ok() const { return kind == Byte; }
        uint8_t value() const { return byte.value; }
    };
    enum class Wait : uint8_t { None, Byte, Sleep, Signal };

    struct Awaiter {
        CoEndpoint* self;
        Wait wait;
        Micros deadline;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> h) noexcept {
            self->m_resume = h;
            self->m_wait = wait;
            self->m_waitDeadline = deadline;
        }
        Input await_resume() const noexcept { return self->m_delivered; }
    };
    // deadline -1: no limit.
    Awaiter nextByte(Micros deadline) { return {this, Wait::Byte, deadline}; }
    Awaiter sleepUntil(Micros t) { return {this, Wait::Sleep, t}; }
    // Resumes when signalled() holds or at the deadline (then Timeout).
    Awaiter waitSignal(Micros deadline) { return {this, Wait::Signal, deadline}; }
    virtual bool signalled() const { return false; }

    void setRate(int baud);
    void setBreak(bool on);
    void write(uint8_t byte) { write(std::vector<uint8_t>{byte}); }
    void write(std::vector<uint8_t> bytes);
    // Drops received bytes not yet taken, here and in the driver.
    void flushInput();
    // Drops only what is queued here.
    void dropInput() { m_in.clear(); }

    void start(Task<void> root);
    bool running() const { return m_root && !m_root.done(); }
    void stop() {
        m_root.reset();
        m_resume = {};
        m_wait = Wait::None;
    }
    // Resumes the coroutine for as long as its wait can be met.
    void pump();

    std::deque<RxByte> m_in;
    std::deque<LineAction> m_actions;

private:
    Task<void> m_root;
    std::coroutine_handle<> m_resume;
    Wait m_wait = Wait::None;
    Micros m_waitDeadline = -1;
    Input m_delivered;
    BusFault m_fault = BusFault::None;
    Micros m_now = 0;
    int m_rate = 10400;
};

} // namespace kline
