#pragma once
// The protocol core: KW1281 and KW2000 on the K-line as the tester speaks
// them, free of I/O. Bytes, bus faults and timer expiries come in through
// the LineEndpoint calls; commands (connect, a request, disconnect) through
// the calls below; line actions and events go out. No threads, no clock,
// no I/O: a LineRunner connects it to a cable, the tests to a virtual line,
// and it could run as firmware.
//
// One session at a time: connect() wakes the unit (5-baud address, or fast
// init for KW2000), the keywords tell the protocol, the identification is
// read; then requests are served one at a time, and between them the core
// keeps the link alive on its own.
#include "kline/kline_types.h"
#include "kline/line_endpoint.h"

#include <algorithm>
#include <array>
#include <optional>

namespace kline {

// Every wait of the protocols; defaults after the published windows.
struct Timing {
    Micros idleBeforeInit = msec(300);    // W5: a quiet line before the address
    Micros idleAfterKw1281 = msec(1100);  // a unit that ignored the end times out
    Micros syncWait = msec(300);          // W1: stop bit to sync at the latest
    Micros keywordWait = msec(50);        // W2, W3 relaxed: between sync and keywords
    Micros complementKw2 = msec(30);      // W4 25..50: from the second keyword's arrival
    Micros interByte = msec(5);           // R6 (KW1281 complements), P4 (KW2000)
    Micros blockGap = msec(40);           // before the tester's block or frame
    Micros byteTimeout = msec(55);        // R8
    Micros answerTimeout = msec(1100);    // KW1281: a unit block at the latest
    Micros keepAlive = msec(400);         // KW1281: idle before an ACK exchange
    Micros p1Max = msec(20);              // KW2000 unit inter-byte
    Micros p2Max = msec(50);              // KW2000 request to answer
    Micros p2Star = msec(5000);           // ... after "response pending"
    Micros p3Min = msec(55);              // answer to next request
    Micros testerPresent = msec(2000);    // KW2000 idle before tester present
    Micros kw2000AddressWait = msec(350); // complement of the address (W4 relaxed)
    Micros latency = msec(20);            // added to every receive wait: the converter
    Micros fiveBaudBit = msec(200);       // one bit of the address
    Micros requestLimit = msec(4500);     // a request's answer, all blocks, at the latest
    int initTries = 3;
    int blockTries = 3;
    int nakResends = 5; // a request the unit NAKs goes again
    int maxBlocks = 32; // blocks in one answer or identification
};

struct ConnectParams {
    int address = 1;
    int rate = 0; // 0: automatic (last good rate of the address, else 10400, then by the sync)
    FiveBaudMethod method = FiveBaudMethod::BreakEdges;
    bool fastInit = false;   // KW2000 fast init instead of the address
    bool evenParity = false; // some units want the address with even parity
};

struct CoreEvent {
    enum Kind : uint8_t {
        Retrying,      // an init failed and another follows (attempt, fault)
        Connected,     // keywords in: protocol and rate known
        Identified,    // identification read; requests may follow
        ConnectFailed, // no unit (fault)
        Answered,      // reply to the request
        LinkLost,      // the unit is gone (fault); the session is over
        Ended,         // the session ended on request
    };
    Kind kind = Connected;
    Protocol protocol = Protocol::None;
    int rate = 0;
    int attempt = 0;
    BusFault fault = BusFault::None;
    // Connected: how the address went out (the other method when the
    // converter refused the one asked for).
    FiveBaudMethod method = FiveBaudMethod::BreakEdges;
    Identification identification;
    Reply reply;
};

class KLineCore : public CoEndpoint {
public:
    explicit KLineCore(const Timing& timing = {});
    void setTiming(const Timing& timing) { m_t = timing; }
    const Timing& timing() const { return m_t; }

    // Starts a session (ending any other without a word to its unit).
    void connect(const ConnectParams& params, Micros now);
    // Queues one request; false when no session is ready for it.
    bool request(const Request& request, Micros now);
    // Ends the session (the end block or frame when connected).
    void disconnect(Micros now);

    bool takeEvent(CoreEvent* out);
    // A session is up and no request is being served.
    bool ready() const { return m_state == State::Ready && !m_pending; }
    bool connected() const { return m_state == State::Ready || m_state == State::Serving; }
    bool active() const { return running(); }
    Protocol protocol() const { return m_protocol; }
    int rate() const { return m_rate; }
    // The rate that last worked for an address; 0 when none did.
    int knownRate(int address) const { return m_rateOf[size_t(address) & 0x7F]; }

    void busFault(BusFault fault, Micros now) override;
    Micros echoAllowance() const override { return latency() + msec(5); }
    // A converter slower than the latency set widens every wait for the
    // unit's bytes, up to what the protocol's windows leave room for.
    void converterLatency(Micros latency) override;
    // The latency the waits allow for: the one set, or the converter's.
    Micros latency() const { return std::max(m_t.latency, m_converterLatency); }

protected:
    bool signalled() const override { return m_pending.has_value() || m_endRequested; }

private:
    enum class State : uint8_t { Idle, Connecting, Ready, Serving };
    struct Block {
        uint8_t counter = 0;
        uint8_t title = 0;
        std::vector<uint8_t> data;
    };
    struct Sync {
        bool ok = false;
        bool garbled = false; // three bytes, none a sync: another rate
        uint8_t first = 0;
        uint8_t kw1 = 0;
        uint8_t kw2 = 0;
        Micros kw2At = 0;
        BusFault fault = BusFault::None;
    };
    struct InitResult {
        bool ok = false;
        BusFault fault = BusFault::None;
        int nextRate = 0;
        FiveBaudMethod method = FiveBaudMethod::BreakEdges;
    };
    using Blocks = std::optional<std::vector<Block>>;
    using Bytes = std::optional<std::vector<uint8_t>>;

    // Coroutine arguments that own memory are passed as references to
    // named values of the caller (GCC 12 may destroy by-value ones twice).
    Task<void> session(ConnectParams p);
    Task<InitResult> fiveBaudInit(ConnectParams p, int rate);
    Task<Sync> readSync(Micros ignoreBefore, Micros deadline);
    Task<InitResult> fastInit(ConnectParams p);

    Task<bool> kw1281Identify(Identification* id);
    Task<BusFault> kwSendBlock(uint8_t title, const std::vector<uint8_t>& data);
    Task<std::optional<Block>> kwReceiveBlock(Micros deadline);
    Task<Blocks> kwTransact(uint8_t title, const std::vector<uint8_t>& data, bool multi,
                            bool resendOnNak = false);
    Task<Reply> kw1281Serve(Request r);

    Task<bool> kw2000Start(Identification* id);
    Task<void> kw2SendFrame(const std::vector<uint8_t>& data);
    Task<Bytes> kw2ReceiveFrame(Micros deadline);
    Task<Bytes> kw2Exchange(const std::vector<uint8_t>& data);
    Task<Reply> kw2000Serve(Request r);

    // The unit's next byte; an echo of ours overdue meanwhile is no reason
    // to stop waiting for it (a converter holding its transfers back).
    Task<Input> nextUnitByte(Micros deadline);
    void post(CoreEvent e) { m_events.push_back(std::move(e)); }
    Micros rxWait(Micros after) const;
    // A wait cut to the deadline of the request under way.
    Micros within(Micros t) const { return m_deadline < 0 ? t : std::min(t, m_deadline); }
    bool pastDeadline() const { return m_deadline >= 0 && now() >= m_deadline; }
    void setDeadline(bool on) {
        m_deadlineFrom = on ? now() : -1;
        m_deadline = on ? now() + m_t.requestLimit : -1;
    }

    Timing m_t;
    Micros m_converterLatency = 0;
    State m_state = State::Idle;
    Protocol m_protocol = Protocol::None;
    int m_rate = 10400;
    int m_address = 0;
    std::optional<Request> m_pending;
    bool m_endRequested = false;
    BusFault m_fault = BusFault::None;
    BusFault m_refusal = BusFault::None;    // the driver refused a break or a rate
    std::optional<FiveBaudMethod> m_method; // the one that works, once one was refused
    Micros m_deadline = -1;
    Micros m_deadlineFrom = -1;
    Identification m_ident;
    uint8_t m_counter = 0;
    bool m_counterKnown = false;
    Micros m_lastUnitByte = 0; // arrival of the unit's latest byte
    Micros m_frameSent = 0;    // KW2000: when our latest frame began
    Micros m_endSent = -1;     // KW1281: the end of our latest block's final 03
    uint8_t m_lastTitle = 0;   // ... and the block, to send it again
    std::vector<uint8_t> m_lastData;
    Micros m_lastActivity = -1; // end of the latest traffic of a session
    bool m_lastWasKw1281 = false;
    std::array<int, 128> m_rateOf{};
    std::deque<CoreEvent> m_events;
};

// KW1281 identification blocks (title F6) into the chip's lines and values.
void decodeKw1281Identification(const std::vector<std::vector<uint8_t>>& blocks,
                                Identification* id);
// KW2000 identification (the data of 5A 9B) into the chip's lines and values.
void decodeKw2000Identification(const std::vector<uint8_t>& data, Identification* id);
std::vector<uint8_t> encodeKw2000Identification(const Identification& id);
// A KW2000 frame with addresses: format, target, source, [length,] data, checksum.
std::vector<uint8_t> kw2000Frame(uint8_t target, uint8_t source, const std::vector<uint8_t>& data);
// The rate a garbled sync byte points to when heard at listenRate.
int rateFromSync(uint8_t value, int listenRate);
// The address byte as it goes on the line: seven bits and a parity bit.
uint8_t addressByte(int address, bool evenParity = false);

} // namespace kline
