#include "kline/kline_core.h"

#include "kline/echo_filter.h"

#include <algorithm>
#include <bit>

namespace kline {

namespace {

constexpr uint8_t kAck = 0x09;
constexpr uint8_t kNak = 0x0A;
constexpr uint8_t kEnd = 0x06;
constexpr uint8_t kTester = 0xF1;
const std::vector<uint8_t> kNoData;

bool isKw1281(uint8_t kw1, uint8_t kw2) {
    return kw1 == 0x01 && kw2 == 0x8A;
}
bool isKw2000(uint8_t kw1, uint8_t kw2) {
    // KB1 carries the header formats the unit accepts; KB2 is always 8F.
    return (kw1 & 0x7F) == 0x6F && kw2 == 0x8F;
}

std::vector<uint8_t> threeByteWsc(int wsc) {
    return {uint8_t((wsc >> 16) & 0xFF), uint8_t((wsc >> 8) & 0xFF), uint8_t(wsc & 0xFF)};
}

std::string trimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0'))
        s.pop_back();
    return s;
}

} // namespace

uint8_t addressByte(int address, bool evenParity) {
    uint8_t a = uint8_t(address & 0x7F);
    const bool odd = std::popcount(unsigned(a)) % 2 == 1;
    if (odd == evenParity)
        a |= 0x80;
    return a;
}

int rateFromSync(uint8_t v, int listenRate) {
    // What a UART at 10400 or 9600 makes of 0x55 sent slower (own model,
    // matching field reports); anything else garbled is the neighbour rate.
    switch (v) {
    case 0x00:
    case 0x80:
        return 1200;
    case 0x78:
    case 0xF8:
        return 2400;
    case 0x66:
    case 0xC6:
    case 0xE6:
        return 4800;
    default:
        return listenRate == 10400 ? 9600 : 10400;
    }
}

std::vector<uint8_t> kw2000Frame(uint8_t target, uint8_t source, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> f;
    if (data.size() < 64) {
        f = {uint8_t(0x80 | data.size()), target, source};
    } else {
        f = {0x80, target, source, uint8_t(data.size())};
    }
    f.insert(f.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (const uint8_t b : f)
        sum = uint8_t(sum + b);
    f.push_back(sum);
    return f;
}

void decodeKw1281Identification(const std::vector<std::vector<uint8_t>>& blocks,
                                Identification* id) {
    // verify: which block becomes which line is taken from open tools (part
    // number, two component texts, further texts after "00"), not a capture.
    for (const auto& d : blocks) {
        if (d.size() == 5 && d[0] == 0x00) {
            // 00 CH CL WH WL: coding in the upper 15 bits, workshop code with
            // its 17th bit in CL bit 0.
            id->coding = ((d[1] << 8) | d[2]) >> 1;
            id->workshopCode = ((d[3] << 8) | d[4]) | ((d[2] & 1) << 16);
            continue;
        }
        std::string line(d.begin(), d.end());
        if (id->lines.empty() && !line.empty())
            line[0] = char(uint8_t(line[0]) & 0x7F); // "more identification" flag
        id->lines.push_back(std::move(line));
    }
}

// verify: field layout of 5A 9B after a converter's sources, not a K-line
// capture. 11 characters part number, blank, 4 characters, coding type,
// 00, coding (2 bytes), workshop code 17 bits | importer 10 bits | device
// number 21 bits (6 bytes), 19 characters component.
void decodeKw2000Identification(const std::vector<uint8_t>& d, Identification* id) {
    auto text = [&](size_t from, size_t n) {
        std::string s;
        for (size_t i = from; i < from + n && i < d.size(); ++i)
            s += char(d[i]);
        return trimRight(s);
    };
    id->lines = {text(0, 11), text(26, 19), text(12, 4)};
    while (!id->lines.empty() && id->lines.back().empty())
        id->lines.pop_back();
    if (d.size() < 26)
        return;
    if (d[16] != 0)
        id->coding = (d[18] << 8) | d[19];
    uint64_t n = 0;
    for (size_t i = 20; i < 26; ++i)
        n = (n << 8) | d[i];
    id->workshopCode = int(n >> 31);
    const int importer = int((n >> 21) & 0x3FF);
    const int64_t device = int64_t(n & 0x1FFFFF);
    id->importer = importer ? importer : -1;
    id->deviceNumber = device ? device : -1;
}

std::vector<uint8_t> encodeKw2000Identification(const Identification& id) {
    std::vector<uint8_t> d(45, ' ');
    auto put = [&](size_t from, size_t n, size_t line) {
        if (line < id.lines.size())
            for (size_t i = 0; i < n && i < id.lines[line].size(); ++i)
                d[from + i] = uint8_t(id.lines[line][i]);
    };
    put(0, 11, 0);
    put(12, 4, 2);
    put(26, 19, 1);
    d[16] = id.coding >= 0 ? 0x03 : 0x00;
    d[17] = 0x00;
    const int coding = std::max(id.coding, 0);
    d[18] = uint8_t(coding >> 8);
    d[19] = uint8_t(coding);
    const uint64_t n = (uint64_t(std::max(id.workshopCode, 0)) & 0x1FFFF) << 31 |
                       (uint64_t(std::max(id.importer, 0)) & 0x3FF) << 21 |
                       (uint64_t(std::max<int64_t>(id.deviceNumber, 0)) & 0x1FFFFF);
    for (int i = 0; i < 6; ++i)
        d[size_t(20 + i)] = uint8_t(n >> (8 * (5 - i)));
    return d;
}

KLineCore::KLineCore(const Timing& timing) : m_t(timing) {}

void KLineCore::busFault(BusFault fault, Micros now) {
    if (fault == BusFault::NoBreak || fault == BusFault::RateRefused) {
        // Kept past the flush after the address: the init looks for it.
        m_refusal = fault;
        timer(now);
        return;
    }
    CoEndpoint::busFault(fault, now);
}

void KLineCore::converterLatency(Micros l) {
    m_converterLatency = std::min(std::max(m_converterLatency, l), EchoFilter::LatencyCap);
}

Task<CoEndpoint::Input> KLineCore::nextUnitByte(Micros deadline) {
    for (;;) {
        const Input in = co_await nextByte(deadline);
        if (in.kind != Input::Fault || in.fault != BusFault::MissingEcho)
            co_return in;
    }
}

Micros KLineCore::rxWait(Micros after) const {
    return after + 2 * byteTime(m_rate) + m_t.byteTimeout + latency();
}

void KLineCore::connect(const ConnectParams& params, Micros now) {
    timer(now);
    if (running() && m_state != State::Idle) {
        // Leaving a session without its end: the unit times out.
        if (m_lastWasKw1281 || m_protocol == Protocol::KW1281)
            m_lastActivity = std::max(m_lastActivity, m_lastUnitByte);
    }
    setBreak(false);
    m_pending.reset();
    m_endRequested = false;
    m_state = State::Connecting;
    start(session(params));
}

bool KLineCore::request(const Request& r, Micros now) {
    timer(now);
    if (m_state != State::Ready || m_pending)
        return false;
    m_pending = r;
    pump();
    return true;
}

void KLineCore::disconnect(Micros now) {
    timer(now);
    if (!running())
        return;
    if (m_state == State::Ready) {
        m_endRequested = true;
        pump();
        return;
    }
    // In the middle of an init or an exchange: drop it; the unit times out.
    stop();
    setBreak(false);
    m_state = State::Idle;
    CoreEvent e;
    e.kind = CoreEvent::Ended;
    post(std::move(e));
}

bool KLineCore::takeEvent(CoreEvent* out) {
    if (m_events.empty())
        return false;
    *out = std::move(m_events.front());
    m_events.pop_front();
    return true;
}

Task<void> KLineCore::session(ConnectParams p) {
    m_address = p.address & 0x7F;
    m_protocol = Protocol::None;
    m_fault = BusFault::None;
    m_ident = {};
    int rate =
        p.rate > 0 ? p.rate : (m_rateOf[size_t(m_address)] ? m_rateOf[size_t(m_address)] : 10400);
    InitResult r;
    for (int attempt = 1; attempt <= m_t.initTries; ++attempt) {
        if (attempt > 1) {
            CoreEvent e;
            e.kind = CoreEvent::Retrying;
            e.attempt = attempt;
            e.fault = r.fault;
            post(std::move(e));
        }
        if (p.fastInit)
            r = co_await fastInit(p);
        else
            r = co_await fiveBaudInit(p, rate);
        if (r.ok || r.fault == BusFault::CannotAddress)
            break;
        if (r.nextRate && p.rate == 0)
            rate = r.nextRate;
    }
    if (!r.ok) {
        m_state = State::Idle;
        m_lastActivity = now();
        CoreEvent e;
        e.kind = CoreEvent::ConnectFailed;
        e.fault = r.fault;
        post(std::move(e));
        co_return;
    }
    m_rateOf[size_t(m_address)] = m_rate;
    m_lastWasKw1281 = m_protocol == Protocol::KW1281;
    {
        CoreEvent e;
        e.kind = CoreEvent::Connected;
        e.protocol = m_protocol;
        e.rate = m_rate;
        e.method = r.method;
        post(std::move(e));
    }
    Identification id;
    bool identified;
    setDeadline(true);
    if (m_protocol == Protocol::KW1281)
        identified = co_await kw1281Identify(&id);
    else
        identified = co_await kw2000Start(&id);
    setDeadline(false);
    auto lost = [this] {
        m_state = State::Idle;
        m_lastActivity = now();
        CoreEvent e;
        e.kind = CoreEvent::LinkLost;
        e.fault = m_fault;
        post(std::move(e));
    };
    if (!identified) {
        lost();
        co_return;
    }
    m_ident = id;
    {
        CoreEvent e;
        e.kind = CoreEvent::Identified;
        e.protocol = m_protocol;
        e.rate = m_rate;
        e.identification = id;
        post(std::move(e));
    }
    m_state = State::Ready;
    for (;;) {
        const Micros idle = m_protocol == Protocol::KW1281 ? m_t.keepAlive : m_t.testerPresent;
        const Input in = co_await waitSignal(std::max(now(), m_lastUnitByte) + idle);
        if (m_endRequested) {
            m_state = State::Serving;
            setDeadline(true);
            if (m_protocol == Protocol::KW1281) {
                co_await kwSendBlock(kEnd, kNoData);
            } else {
                const std::vector<uint8_t> args2{0x82};
                co_await kw2SendFrame(args2);
                co_await kw2ReceiveFrame(now() + m_t.p2Max + latency());
            }
            setDeadline(false);
            m_state = State::Idle;
            m_lastActivity = now();
            CoreEvent e;
            e.kind = CoreEvent::Ended;
            post(std::move(e));
            co_return;
        }
        if (!in.ok()) {
            // Nothing asked for a while: the unit must hear from us.
            bool alive;
            setDeadline(true);
            if (m_protocol == Protocol::KW1281) {
                const Blocks b = co_await kwTransact(kAck, kNoData, false);
                alive = b.has_value();
            } else {
                const std::vector<uint8_t> args4{0x3E};
                const Bytes b = co_await kw2Exchange(args4);
                alive = b.has_value();
            }
            setDeadline(false);
            if (!alive) {
                lost();
                co_return;
            }
            continue;
        }
        const Request req = *m_pending;
        m_state = State::Serving;
        Reply rep;
        setDeadline(true);
        if (m_protocol == Protocol::KW1281)
            rep = co_await kw1281Serve(req);
        else
            rep = co_await kw2000Serve(req);
        setDeadline(false);
        m_pending.reset();
        const bool failed = rep.outcome == Outcome::Failed;
        // A unit given a wrong login code ends the connection itself.
        const bool dropped = req.kind == RequestKind::Login && rep.outcome == Outcome::Refused;
        m_state = failed || dropped ? State::Idle : State::Ready;
        CoreEvent e;
        e.kind = CoreEvent::Answered;
        e.protocol = m_protocol;
        e.reply = std::move(rep);
        post(std::move(e));
        if (failed) {
            lost();
            co_return;
        }
        if (dropped) {
            m_lastActivity = now();
            CoreEvent end;
            end.kind = CoreEvent::Ended;
            post(std::move(end));
            co_return;
        }
    }
}

// ---------------------------------------------------------------- inits

Task<KLineCore::InitResult> KLineCore::fiveBaudInit(ConnectParams p, int rate) {
    InitResult result;
    setRate(rate);
    Micros quietFrom = m_lastActivity;
    if (m_lastWasKw1281 && m_lastActivity >= 0)
        quietFrom = std::max(quietFrom, m_lastUnitByte + m_t.idleAfterKw1281 - m_t.idleBeforeInit);
    // The line is held idle before every address, the first one too (the
    // core cannot know what went before it). A byte is stamped before its
    // stop bit ends: a millisecond to spare.
    Micros start = quietFrom < 0 ? now() + m_t.idleBeforeInit
                                 : std::max(now(), quietFrom + m_t.idleBeforeInit + msec(1));
    co_await sleepUntil(start);
    const uint8_t a = addressByte(p.address, p.evenParity);
    const Micros bit = m_t.fiveBaudBit;
    // A converter that refuses the way asked for gets the other one (the
    // line stayed idle meanwhile); the one that works is kept.
    FiveBaudMethod method = m_method.value_or(p.method);
    bool sent = false;
    for (int way = 0; way < 2 && !sent; ++way) {
        m_refusal = BusFault::None;
        if (method == FiveBaudMethod::BreakEdges) {
            // Start bit, seven address bits LSB first, parity, stop bit, each
            // edge on its absolute time so no delay adds up.
            bool high = true;
            for (int i = 0; i < 10 && m_refusal != BusFault::NoBreak; ++i) {
                const bool level = i == 0 ? false : i <= 8 ? ((a >> (i - 1)) & 1) != 0 : true;
                if (level != high) {
                    setBreak(!level);
                    high = level;
                }
                if (i == 0) {
                    co_await sleepUntil(now() + 1); // the driver's word on the break
                    if (m_refusal == BusFault::NoBreak)
                        break;
                }
                co_await sleepUntil(start + (i + 1) * bit);
            }
            sent = m_refusal != BusFault::NoBreak;
        } else {
            setRate(5);
            co_await sleepUntil(now() + 1); // the driver's word on the rate
            if (m_refusal != BusFault::RateRefused) {
                write(a);
                // The converter may start the byte a little late.
                co_await sleepUntil(start + 10 * bit + latency());
                sent = true;
            }
            setRate(rate);
        }
        if (!sent) {
            setBreak(false);
            method = method == FiveBaudMethod::BreakEdges ? FiveBaudMethod::UartByte
                                                          : FiveBaudMethod::BreakEdges;
            co_await sleepUntil(now() + 1);
            start = now();
        } else if (way > 0) {
            m_method = method;
        }
    }
    result.method = method;
    if (!sent) {
        result.fault = BusFault::CannotAddress;
        m_lastActivity = now();
        co_return result;
    }
    const Micros stopEnd = start + 10 * bit;
    flushInput();
    m_lastActivity = stopEnd;
    Sync s = co_await readSync(stopEnd + msec(20), stopEnd + m_t.syncWait + latency());
    if (s.garbled) {
        // The sync came at another rate. Let its keywords pass, listen at the
        // rate it points to: the unit repeats the sync when its keyword is
        // not answered.
        const int next = rateFromSync(s.first, rate);
        co_await sleepUntil(now() + 3 * byteTime(600));
        setRate(next);
        flushInput();
        s = co_await readSync(now(), now() + msec(450) + latency());
        if (!s.ok) {
            result.fault = BusFault::WrongRate;
            result.nextRate = next;
            m_lastActivity = now();
            co_return result;
        }
        rate = next;
    }
    if (!s.ok) {
        result.fault = s.fault;
        m_lastActivity = now();
        co_return result;
    }
    m_rate = rate;
    for (int repeats = 0; repeats < 3; ++repeats) {
        if (!isKw1281(s.kw1, s.kw2) && !isKw2000(s.kw1, s.kw2)) {
            result.fault = BusFault::BadKeywords;
            co_return result;
        }
        m_protocol = isKw1281(s.kw1, s.kw2) ? Protocol::KW1281 : Protocol::KW2000;
        // The complement is due 25..50 ms after the keyword reached the
        // line, however late the converter handed it over.
        co_await sleepUntil(std::max(now(), s.kw2At + m_t.complementKw2));
        write(uint8_t(~s.kw2));
        const Micros sent = now();
        if (m_protocol == Protocol::KW2000) {
            const Input in =
                co_await nextUnitByte(sent + byteTime(rate) + m_t.kw2000AddressWait + latency());
            // Units answer the complement of the address, most without parity.
            if (in.ok() && (in.value() == uint8_t(~(p.address & 0x7F)) ||
                            in.value() == uint8_t(~addressByte(p.address, p.evenParity)))) {
                m_lastUnitByte = in.byte.at;
                result.ok = true;
                co_return result;
            }
            if (in.ok() && in.value() == 0x55) {
                m_in.push_front(in.byte);
                s = co_await readSync(0, now() + m_t.keywordWait + latency());
                if (s.ok)
                    continue;
            }
            result.fault = in.ok() ? BusFault::BadKeywords : BusFault::NoSync;
            co_return result;
        }
        // KW1281: the unit's first block follows; a sync instead means our
        // complement came too late for it.
        const Input in = co_await nextUnitByte(sent + byteTime(rate) + msec(300) + latency());
        if (!in.ok()) {
            result.fault = BusFault::NoAnswer;
            co_return result;
        }
        if (in.value() == 0x55) {
            m_in.push_front(in.byte);
            s = co_await readSync(0, now() + m_t.keywordWait + latency());
            if (s.ok)
                continue;
            result.fault = BusFault::BadKeywords;
            co_return result;
        }
        m_in.push_front(in.byte);
        result.ok = true;
        co_return result;
    }
    result.fault = BusFault::BadKeywords;
    co_return result;
}

Task<KLineCore::Sync> KLineCore::readSync(Micros ignoreBefore, Micros deadline) {
    Sync s;
    std::optional<RxByte> held;
    for (;;) {
        RxByte b;
        if (held) {
            b = *held;
            held.reset();
        } else {
            const Input in = co_await nextByte(deadline);
            if (in.kind == Input::Timeout) {
                s.fault = BusFault::NoSync;
                co_return s;
            }
            if (!in.ok())
                continue;
            b = in.byte;
        }
        // Echoes of the address and bytes the converter held back.
        if (b.at < ignoreBefore)
            continue;
        const Micros follow = m_t.keywordWait + latency();
        if (b.value == 0x55 && !b.framingError) {
            const Input k1 = co_await nextByte(std::max(now(), b.at + follow));
            if (!k1.ok()) {
                s.fault = BusFault::BadKeywords;
                co_return s;
            }
            const Input k2 = co_await nextByte(std::max(now(), k1.byte.at + follow));
            if (!k2.ok()) {
                s.fault = BusFault::BadKeywords;
                co_return s;
            }
            s.ok = true;
            s.kw1 = k1.value();
            s.kw2 = k2.value();
            s.kw2At = k2.byte.at;
            co_return s;
        }
        // Not a sync: a stray byte, or the sync at another rate (then two
        // garbled keywords follow at once).
        const Input b2 = co_await nextByte(std::max(now(), b.at + follow));
        if (!b2.ok())
            continue;
        if (b2.value() == 0x55 && !b2.byte.framingError) {
            held = b2.byte;
            continue;
        }
        const Input b3 = co_await nextByte(std::max(now(), b2.byte.at + follow));
        if (!b3.ok())
            continue;
        if (b3.value() == 0x55 && !b3.byte.framingError) {
            held = b3.byte;
            continue;
        }
        s.garbled = true;
        s.first = b.value;
        s.fault = BusFault::WrongRate;
        co_return s;
    }
}

Task<KLineCore::InitResult> KLineCore::fastInit(ConnectParams p) {
    InitResult result;
    m_rate = 10400;
    setRate(10400);
    const Micros start = m_lastActivity < 0
                             ? now() + m_t.idleBeforeInit
                             : std::max(now(), m_lastActivity + m_t.idleBeforeInit + msec(1));
    co_await sleepUntil(start);
    setBreak(true);
    co_await sleepUntil(start + msec(25));
    setBreak(false);
    co_await sleepUntil(start + msec(50));
    flushInput();
    m_protocol = Protocol::KW2000;
    const std::vector<uint8_t> args5{0x81};
    const Bytes a = co_await kw2Exchange(args5);
    m_lastActivity = now();
    if (!a || a->size() < 3 || (*a)[0] != 0xC1 || !isKw2000((*a)[1], (*a)[2])) {
        result.fault = a ? BusFault::BadKeywords : m_fault;
        co_return result;
    }
    (void)p;
    result.ok = true;
    co_return result;
}

// ---------------------------------------------------------------- KW1281

Task<BusFault> KLineCore::kwSendBlock(uint8_t title, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> b;
    b.push_back(uint8_t(data.size() + 3));
    b.push_back(uint8_t(m_counter + 1));
    b.push_back(title);
    b.insert(b.end(), data.begin(), data.end());
    b.push_back(0x03);
    m_lastTitle = title;
    m_lastData = data;
    m_endSent = -1;
    BusFault fault = BusFault::None;
    for (int attempt = 0; attempt < m_t.blockTries; ++attempt) {
        if (pastDeadline()) {
            fault = BusFault::TooLong;
            break;
        }
        fault = BusFault::None;
        Micros t = std::max(now(), m_lastUnitByte + m_t.blockGap);
        Micros answered = -1; // the unit's latest complement
        for (size_t i = 0; i < b.size(); ++i) {
            co_await sleepUntil(t);
            if (answered >= 0 && now() > answered + m_t.byteTimeout - byteTime(m_rate)) {
                // The unit stopped waiting for this byte: sent now it would
                // be taken for the start of a block.
                fault = BusFault::MissingComplement;
                break;
            }
            if (i == 0)
                dropInput(); // noise or leftovers: no answer to this block
            write(b[i]);
            const Micros sentEnd = now() + byteTime(m_rate);
            if (i + 1 == b.size()) {
                m_endSent = sentEnd;
                break; // the final 03 is not answered
            }
            const Input in = co_await nextUnitByte(within(rxWait(now())));
            if (!in.ok()) {
                fault = in.kind == Input::Fault ? in.fault
                        : pastDeadline()        ? BusFault::TooLong
                                                : BusFault::MissingComplement;
                break;
            }
            if (in.byte.at > sentEnd + m_t.byteTimeout) {
                // Past its window: whatever the unit answered, it no longer
                // waits for our next byte in step.
                fault = BusFault::MissingComplement;
                break;
            }
            if (in.value() != uint8_t(~b[i])) {
                fault = BusFault::WrongComplement;
                break;
            }
            m_lastUnitByte = in.byte.at;
            answered = in.byte.at;
            t = std::max(now(), in.byte.at + m_t.interByte);
        }
        if (fault == BusFault::None) {
            m_counter = b[1];
            m_counterKnown = true;
            co_return fault;
        }
        // The unit must time out before the block starts again.
        co_await sleepUntil(now() + 2 * m_t.byteTimeout);
        flushInput();
    }
    m_fault = fault;
    co_return fault;
}

Task<std::optional<KLineCore::Block>> KLineCore::kwReceiveBlock(Micros deadline) {
    int restarts = 0;
    bool nakSent = false;
    int restartOf = -1;          // the length of a block broken off: only its restart may come
    Micros restartFrom = 0;      // ... and not before the unit has given the block up
    std::optional<RxByte> early; // came too late for its block: perhaps the restart
    bool endResent = false;
    for (;;) {
        RxByte head;
        if (early) {
            head = *early;
            early.reset();
        } else {
            const Input first = co_await nextByte(within(deadline));
            if (!first.ok()) {
                if (first.kind == Input::Fault && first.fault != BusFault::PortFailed)
                    continue; // the echo of a complement went wrong: the block goes on
                if (first.kind == Input::Fault)
                    m_fault = first.fault;
                else if (pastDeadline())
                    m_fault = BusFault::TooLong;
                else if (restartOf < 0)
                    m_fault = BusFault::NoAnswer;
                co_return std::nullopt;
            }
            head = first.byte;
        }
        if (restartOf < 0 && head.value == uint8_t(~0x03) && m_endSent >= 0 && !endResent) {
            // The complement of our block's final 03, not a block of 252
            // bytes: the unit gave our block up before its end and took the
            // 03 for a new one. It times out on that; ours goes again, with
            // its counter.
            endResent = true;
            co_await sleepUntil(now() + 2 * m_t.byteTimeout);
            flushInput();
            m_counter = uint8_t(m_counter - 1);
            const uint8_t title = m_lastTitle;
            const std::vector<uint8_t> data = m_lastData;
            if (co_await kwSendBlock(title, data) != BusFault::None)
                co_return std::nullopt;
            deadline = now() + m_t.answerTimeout + latency();
            continue;
        }
        if (restartOf >= 0 && (head.value != restartOf || head.at < restartFrom)) {
            // A byte of the broken block that a converter held back, or one
            // the unit sent before it gave up: not the restart. Unanswered,
            // it makes the unit time out and start the block again.
            deadline = std::max(deadline, head.at + 4 * m_t.byteTimeout + latency());
            continue;
        }
        std::vector<uint8_t> b{head.value};
        RxByte last = head;
        m_lastUnitByte = last.at;
        Micros answeredEnd = -1; // the end of our latest complement
        const size_t len = head.value;
        BusFault broken = len < 3 ? BusFault::BadFrame : BusFault::None;
        while (broken == BusFault::None && b.size() <= len) {
            co_await sleepUntil(std::max(now(), last.at + m_t.interByte));
            if (now() > last.at + m_t.byteTimeout) {
                // Handed over too late to answer: the unit has given it up.
                broken = BusFault::ByteTimeout;
                break;
            }
            write(uint8_t(~last.value));
            answeredEnd = now() + byteTime(m_rate);
            const Input n = co_await nextUnitByte(within(rxWait(now())));
            if (!n.ok()) {
                if (b.size() == len && n.kind == Input::Timeout) {
                    b.push_back(0x03); // a lost final 03 counts as received
                    break;
                }
                broken = n.kind == Input::Fault ? n.fault : BusFault::ByteTimeout;
                break;
            }
            if (n.byte.at > answeredEnd + m_t.byteTimeout) {
                // Later than any next byte of this block can come: the unit
                // gave the block up, and this may be its restart.
                early = n.byte;
                broken = BusFault::ByteTimeout;
                break;
            }
            b.push_back(n.value());
            last = n.byte;
            m_lastUnitByte = last.at;
        }
        if (broken != BusFault::None) {
            m_fault = pastDeadline() ? BusFault::TooLong : broken;
            if (++restarts > m_t.blockTries || len < 3 || pastDeadline())
                co_return std::nullopt;
            restartOf = int(len);
            // The unit times out on our missing complement (R8 after its
            // byte or ours), waits for us to time out too, and starts again.
            const Micros quiet = std::max(last.at, answeredEnd);
            restartFrom = quiet + m_t.byteTimeout - 2 * byteTime(m_rate);
            deadline =
                std::max(now() + 3 * m_t.byteTimeout, quiet + 4 * m_t.byteTimeout) + latency();
            continue;
        }
        const bool badEnd = b.back() != 0x03;
        const bool badCounter = m_counterKnown && b[1] != uint8_t(m_counter + 1);
        if ((badEnd || badCounter) && !nakSent) {
            nakSent = true;
            m_fault = badEnd ? BusFault::BadBlockEnd : BusFault::BadCounter;
            if (badCounter)
                m_counter = b[1]; // units differ in what they repeat with
            const std::vector<uint8_t> args6{b[1]};
            const BusFault f = co_await kwSendBlock(kNak, args6);
            if (f != BusFault::None)
                co_return std::nullopt;
            deadline = now() + m_t.answerTimeout + latency();
            continue;
        }
        if (badEnd) {
            m_fault = BusFault::BadBlockEnd;
            co_return std::nullopt;
        }
        m_counter = b[1];
        m_counterKnown = true;
        m_endSent = -1;
        Block blk;
        blk.counter = b[1];
        blk.title = b[2];
        blk.data.assign(b.begin() + 3, b.end() - 1);
        co_return blk;
    }
}

Task<KLineCore::Blocks> KLineCore::kwTransact(uint8_t title, const std::vector<uint8_t>& data,
                                              bool multi, bool resendOnNak) {
    std::vector<Block> blocks;
    int resends = 0;
    BusFault f = co_await kwSendBlock(title, data);
    if (f != BusFault::None)
        co_return std::nullopt;
    for (;;) {
        std::optional<Block> b = co_await kwReceiveBlock(now() + m_t.answerTimeout + latency());
        if (!b)
            co_return std::nullopt;
        const uint8_t t = b->title;
        if (t == kNak && blocks.empty() && resendOnNak && resends < m_t.nakResends) {
            // The unit may not have taken the block: it goes again. A unit
            // that refuses the request NAKs every time.
            ++resends;
            f = co_await kwSendBlock(title, data);
            if (f != BusFault::None)
                co_return std::nullopt;
            continue;
        }
        blocks.push_back(std::move(*b));
        if (!multi || t == kAck || t == kNak)
            co_return blocks;
        if (int(blocks.size()) >= m_t.maxBlocks) {
            m_fault = BusFault::TooLong;
            co_return std::nullopt;
        }
        f = co_await kwSendBlock(kAck, kNoData);
        if (f != BusFault::None)
            co_return std::nullopt;
    }
}

Task<bool> KLineCore::kw1281Identify(Identification* id) {
    std::vector<std::vector<uint8_t>> texts;
    m_counterKnown = false; // the unit's first block sets the count
    bool more = false;
    int blocks = 0;
    for (;;) {
        std::optional<Block> b = co_await kwReceiveBlock(now() + msec(500) + latency());
        if (!b)
            co_return false;
        if (b->title == kAck)
            break;
        if (++blocks > m_t.maxBlocks) {
            m_fault = BusFault::TooLong;
            co_return false;
        }
        if (b->title == 0xF6) {
            if (texts.empty() && !b->data.empty())
                more = (b->data[0] & 0x80) != 0;
            texts.push_back(b->data);
        }
        if (co_await kwSendBlock(kAck, kNoData) != BusFault::None)
            co_return false;
    }
    decodeKw1281Identification(texts, id);
    if (more) {
        // Further identification on request.
        const Blocks extra = co_await kwTransact(0x00, kNoData, true);
        if (!extra)
            co_return false;
        for (const Block& b : *extra)
            if (b.title == 0xF6 && !(b.data.size() == 5 && b.data[0] == 0))
                id->lines.emplace_back(b.data.begin(), b.data.end());
    }
    co_return true;
}

Task<Reply> KLineCore::kw1281Serve(Request r) {
    Reply rep;
    rep.kind = r.kind;
    auto fail = [&] {
        rep.outcome = Outcome::Failed;
        rep.fault = m_fault;
    };
    auto oneOf = [](const Blocks& b, uint8_t title) { return b && b->front().title == title; };
    switch (r.kind) {
    case RequestKind::Group:
    case RequestKind::BasicGroup: {
        if (r.number < 1 || r.number > 255) {
            rep.outcome = Outcome::Rejected;
            break;
        }
        const std::vector<uint8_t> args10{uint8_t(r.number)};
        const Blocks b =
            co_await kwTransact(r.kind == RequestKind::Group ? 0x29 : 0x28, args10, false, true);
        if (!b) {
            fail();
        } else if (oneOf(b, 0xE7)) {
            rep.bytes = b->front().data;
            rep.bytes.resize(rep.bytes.size() / 3 * 3);
        } else {
            // 0A refused, 09 empty; a header-and-body group (02/F4) has no
            // triplet form (verify what a chip makes of it).
            rep.outcome = Outcome::Refused;
        }
        break;
    }
    case RequestKind::RawGroup:
    case RequestKind::RawBasicGroup: {
        const Blocks b = co_await kwTransact(r.kind == RequestKind::RawGroup ? 0x12 : 0x11, kNoData,
                                             false, true);
        if (!b)
            fail();
        else if (oneOf(b, 0xF4))
            rep.bytes = b->front().data;
        else
            rep.outcome = Outcome::Refused;
        break;
    }
    case RequestKind::SingleValue: {
        // verify: single reading as title 08 with answer FB is taken from a
        // list of titles only.
        const std::vector<uint8_t> args12{uint8_t(r.number)};
        const Blocks b = co_await kwTransact(0x08, args12, false, true);
        if (!b) {
            fail();
        } else if (oneOf(b, 0xFB) && !b->front().data.empty()) {
            const auto& d = b->front().data;
            rep.value = d.size() >= 2 ? (d[0] << 8) | d[1] : d[0];
        } else {
            rep.outcome = Outcome::Refused;
        }
        break;
    }
    case RequestKind::ReadFaults: {
        const Blocks b = co_await kwTransact(0x07, kNoData, true, true);
        if (!b) {
            fail();
        } else if (oneOf(b, kNak)) {
            rep.outcome = Outcome::Unsupported;
        } else {
            for (const Block& blk : *b)
                if (blk.title == 0xFC)
                    for (size_t i = 0; i + 2 < blk.data.size(); i += 3)
                        rep.faults.push_back(
                            {uint16_t((blk.data[i] << 8) | blk.data[i + 1]), blk.data[i + 2]});
        }
        break;
    }
    case RequestKind::ClearFaults: {
        const Blocks b = co_await kwTransact(0x05, kNoData, true, true);
        if (!b)
            fail();
        else if (oneOf(b, kNak))
            rep.outcome = Outcome::Refused; // the faults stay stored
        break;
    }
    case RequestKind::Readiness:
        // verify: no KW1281 block title for the readiness byte is known; the
        // request is refused without asking the unit.
        rep.outcome = Outcome::Refused;
        break;
    case RequestKind::AdaptationRead: {
        // verify: the channel's measuring block is taken from the triplets
        // after channel and value in the same E6 block.
        const std::vector<uint8_t> args15{uint8_t(r.number)};
        const Blocks b = co_await kwTransact(0x21, args15, false, true);
        if (!b) {
            fail();
        } else if (oneOf(b, 0xE6) && b->front().data.size() >= 3) {
            const auto& d = b->front().data;
            rep.value = (d[1] << 8) | d[2];
            rep.bytes.assign(d.begin() + 3, d.end());
            rep.bytes.resize(rep.bytes.size() / 3 * 3);
        } else {
            rep.outcome = Outcome::Refused;
        }
        break;
    }
    case RequestKind::AdaptationSave: {
        const std::vector<uint8_t> v{uint8_t(r.number), uint8_t(r.value >> 8), uint8_t(r.value)};
        Blocks b = co_await kwTransact(0x22, v, false, true); // test the value first
        if (b && oneOf(b, 0xE6)) {
            std::vector<uint8_t> save = v;
            const auto wsc = threeByteWsc(std::max(m_ident.workshopCode, 0));
            save.insert(save.end(), wsc.begin(), wsc.end());
            b = co_await kwTransact(0x2A, save, false, true);
        }
        if (!b) {
            fail();
        } else if (oneOf(b, 0xE6) && b->front().data.size() >= 3) {
            rep.value = (b->front().data[1] << 8) | b->front().data[2];
        } else {
            rep.outcome = Outcome::Refused;
        }
        break;
    }
    case RequestKind::Coding: {
        if (r.value > 0x7FFF || r.workshopCode > 0x1FFFF) {
            rep.outcome = Outcome::Rejected; // more than the block can carry
            break;
        }
        const int c = r.value << 1;
        const std::vector<uint8_t> d{uint8_t(c >> 8),
                                     uint8_t((c & 0xFF) | ((r.workshopCode >> 16) & 1)),
                                     uint8_t(r.workshopCode >> 8), uint8_t(r.workshopCode)};
        const Blocks b = co_await kwTransact(0x10, d, true, true);
        if (!b) {
            fail();
        } else if (oneOf(b, 0xF6)) {
            std::vector<std::vector<uint8_t>> texts;
            for (const Block& blk : *b)
                if (blk.title == 0xF6)
                    texts.push_back(blk.data);
            decodeKw1281Identification(texts, &rep.identification);
            m_ident = rep.identification;
        } else {
            rep.outcome = Outcome::Rejected;
        }
        break;
    }
    case RequestKind::Login: {
        std::vector<uint8_t> d{uint8_t(r.value >> 8), uint8_t(r.value)};
        const auto wsc = threeByteWsc(r.workshopCode);
        d.insert(d.end(), wsc.begin(), wsc.end());
        const Blocks b = co_await kwTransact(0x2B, d, false);
        if (!b)
            fail();
        else if (!oneOf(b, kAck))
            rep.outcome = Outcome::Refused;
        break;
    }
    case RequestKind::OutputTestStep: {
        const std::vector<uint8_t> args16{0x00};
        const Blocks b = co_await kwTransact(0x04, args16, false, true);
        if (!b) {
            fail();
        } else if (oneOf(b, 0xF5) && b->front().data.size() >= 2) {
            rep.value = (b->front().data[0] << 8) | b->front().data[1];
        } else if (oneOf(b, kAck)) {
            rep.outcome = Outcome::End;
        } else {
            rep.outcome = Outcome::Refused;
        }
        break;
    }
    }
    co_return rep;
}

// ---------------------------------------------------------------- KW2000

Task<void> KLineCore::kw2SendFrame(const std::vector<uint8_t>& data) {
    const std::vector<uint8_t> f = kw2000Frame(uint8_t(m_address), kTester, data);
    // The unit's byte was stamped half a bit before its end.
    Micros t = std::max(now(), m_lastUnitByte + std::max(m_t.blockGap, m_t.p3Min) + msec(1));
    bool first = true;
    for (const uint8_t b : f) {
        co_await sleepUntil(t);
        if (first) {
            dropInput(); // noise while idle is no part of the answer
            m_frameSent = now();
        }
        first = false;
        write(b);
        t = now() + byteTime(m_rate) + m_t.interByte;
    }
}

Task<KLineCore::Bytes> KLineCore::kw2ReceiveFrame(Micros deadline) {
    std::vector<uint8_t> f;
    size_t need = 1;
    bool sized = false;
    while (f.size() < need) {
        const Input in = co_await nextUnitByte(within(deadline));
        if (!in.ok()) {
            if (in.kind == Input::Fault && in.fault == BusFault::WrongEcho)
                continue; // our own frame collided; the answer decides
            m_fault = in.kind == Input::Fault ? in.fault
                      : pastDeadline()        ? BusFault::TooLong
                      : f.empty()             ? BusFault::NoAnswer
                                              : BusFault::ByteTimeout;
            co_return std::nullopt;
        }
        if (in.byte.framingError)
            continue; // noise, not a byte of the unit's
        if (in.byte.at < m_frameSent)
            continue; // an answer to the frame before, held back by the converter
        f.push_back(in.value());
        m_lastUnitByte = in.byte.at;
        deadline = in.byte.at + byteTime(m_rate) + m_t.p1Max + latency();
        if (!sized) {
            const uint8_t fmt = f[0];
            const size_t header = (fmt & 0xC0) ? 3 : 1;
            if ((fmt & 0x3F) == 0) {
                if (f.size() < header + 1) {
                    need = header + 1;
                    continue;
                }
                need = header + 1 + f[header] + 1;
            } else {
                need = header + (fmt & 0x3F) + 1;
            }
            sized = true;
        }
    }
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < f.size(); ++i)
        sum = uint8_t(sum + f[i]);
    if (sum != f.back()) {
        m_fault = BusFault::BadChecksum;
        co_return std::nullopt;
    }
    const size_t header = (f[0] & 0xC0) ? 3 : 1;
    const size_t start = header + ((f[0] & 0x3F) == 0 ? 1 : 0);
    std::vector<uint8_t> data(f.begin() + ptrdiff_t(start), f.end() - 1);
    if (data.empty()) {
        m_fault = BusFault::BadFrame;
        co_return std::nullopt;
    }
    co_return data;
}

Task<KLineCore::Bytes> KLineCore::kw2Exchange(const std::vector<uint8_t>& data) {
    int checksumRetries = 1;
    int lostRetries = 2; // a converter that held the answer back may spoil one more
    int busyRetries = 3;
    for (;;) {
        if (pastDeadline()) {
            m_fault = BusFault::TooLong;
            co_return std::nullopt;
        }
        co_await kw2SendFrame(data);
        Micros deadline = now() + byteTime(m_rate) + m_t.p2Max + latency();
        bool again = false;
        for (;;) {
            Bytes a = co_await kw2ReceiveFrame(deadline);
            if (!a) {
                const bool lost = m_fault == BusFault::NoAnswer ||
                                  m_fault == BusFault::ByteTimeout || m_fault == BusFault::BadFrame;
                if ((m_fault == BusFault::BadChecksum && checksumRetries-- > 0) ||
                    (lost && lostRetries-- > 0)) {
                    // Wait for the rest of the bad frame to pass.
                    co_await sleepUntil(now() + m_t.p3Min);
                    dropInput();
                    again = true;
                    break;
                }
                co_return std::nullopt;
            }
            if (a->size() >= 3 && (*a)[0] == 0x7F && (*a)[1] == data[0]) {
                if ((*a)[2] == 0x78) { // response pending: the real answer follows
                    deadline = now() + m_t.p2Star + latency();
                    // The unit asked for the time; twice P2* at most all told.
                    if (m_deadline >= 0)
                        m_deadline = std::max(m_deadline,
                                              std::min(deadline, m_deadlineFrom + 2 * m_t.p2Star));
                    continue;
                }
                if ((*a)[2] == 0x21 && busyRetries-- > 0) {
                    again = true;
                    break;
                }
            }
            co_return a;
        }
        if (!again)
            co_return std::nullopt;
    }
}

Task<bool> KLineCore::kw2000Start(Identification* id) {
    // verify: the diagnostic session VW units expect on the K-line.
    const std::vector<uint8_t> args17{0x10, 0x89};
    const Bytes s = co_await kw2Exchange(args17);
    if (!s)
        co_return false;
    const std::vector<uint8_t> args18{0x1A, 0x9B};
    const Bytes a = co_await kw2Exchange(args18);
    if (!a)
        co_return false;
    if (a->size() > 2 && (*a)[0] == 0x5A)
        decodeKw2000Identification(std::vector<uint8_t>(a->begin() + 2, a->end()), id);
    co_return true;
}

Task<Reply> KLineCore::kw2000Serve(Request r) {
    Reply rep;
    rep.kind = r.kind;
    // A negative answer: 7F, the service, the reason.
    auto negative = [](const Bytes& a) { return a && !a->empty() && (*a)[0] == 0x7F; };
    auto positive = [](const Bytes& a, uint8_t sid, size_t minSize) {
        return a && a->size() >= minSize && (*a)[0] == uint8_t(sid | 0x40);
    };
    Bytes a;
    switch (r.kind) {
    case RequestKind::Group:
    case RequestKind::BasicGroup:
    case RequestKind::RawGroup:
    case RequestKind::RawBasicGroup: {
        // Measuring blocks by local identifier; basic settings as the routine
        // of the same number. verify: basic settings, the raw groups as block
        // 0, and groups from 128 on.
        const bool basic =
            r.kind == RequestKind::BasicGroup || r.kind == RequestKind::RawBasicGroup;
        const bool raw = r.kind == RequestKind::RawGroup || r.kind == RequestKind::RawBasicGroup;
        const uint8_t sid = basic ? 0x31 : 0x21;
        const uint8_t n = raw ? 0 : uint8_t(r.number);
        if (!raw && (r.number < 1 || r.number > 255)) {
            rep.outcome = Outcome::Rejected;
            break;
        }
        const std::vector<uint8_t> args19{sid, n};
        a = co_await kw2Exchange(args19);
        if (positive(a, sid, 2) && (*a)[1] == n) {
            rep.bytes.assign(a->begin() + 2, a->end());
            if (!raw)
                rep.bytes.resize(rep.bytes.size() / 3 * 3);
        } else if (a) {
            rep.outcome = Outcome::Refused;
        }
        break;
    }
    case RequestKind::SingleValue:
    case RequestKind::Readiness:
        // verify: no KW2000 service for these is known; refused unasked.
        rep.outcome = Outcome::Refused;
        co_return rep;
    case RequestKind::ReadFaults: {
        const std::vector<uint8_t> args20{0x18, 0x02, 0xFF, 0x00};
        a = co_await kw2Exchange(args20);
        if (positive(a, 0x18, 2)) {
            // Status bytes are passed as the unit sends them (KW2000 coding).
            for (size_t i = 2; i + 2 < a->size(); i += 3)
                rep.faults.push_back({uint16_t(((*a)[i] << 8) | (*a)[i + 1]), (*a)[i + 2]});
        } else if (negative(a)) {
            rep.outcome =
                a->size() >= 3 && (*a)[2] == 0x11 ? Outcome::Unsupported : Outcome::Refused;
        }
        break;
    }
    case RequestKind::ClearFaults: {
        const std::vector<uint8_t> args21{0x14, 0xFF, 0x00};
        a = co_await kw2Exchange(args21);
        if (negative(a))
            rep.outcome = Outcome::Refused; // the faults stay stored
        break;
    }
    case RequestKind::AdaptationRead: {
        // verify: adaptation by common identifier 00 cc.
        const std::vector<uint8_t> args22{0x22, 0x00, uint8_t(r.number)};
        a = co_await kw2Exchange(args22);
        if (positive(a, 0x22, 5)) {
            rep.value = ((*a)[3] << 8) | (*a)[4];
            rep.bytes.assign(a->begin() + 5, a->end());
            rep.bytes.resize(rep.bytes.size() / 3 * 3);
        } else if (a) {
            rep.outcome = Outcome::Refused;
        }
        break;
    }
    case RequestKind::AdaptationSave: {
        const std::vector<uint8_t> args23{0x2E, 0x00, uint8_t(r.number), uint8_t(r.value >> 8),
                                          uint8_t(r.value)};
        a = co_await kw2Exchange(args23);
        if (positive(a, 0x2E, 1))
            rep.value = r.value & 0xFFFF;
        else if (a)
            rep.outcome = Outcome::Refused;
        break;
    }
    case RequestKind::Coding: {
        // verify: coding by local identifier 9A, then the identification anew.
        const std::vector<uint8_t> args24{0x3B,
                                          0x9A,
                                          uint8_t(r.value >> 8),
                                          uint8_t(r.value),
                                          uint8_t(r.workshopCode >> 8),
                                          uint8_t(r.workshopCode)};
        a = co_await kw2Exchange(args24);
        if (positive(a, 0x3B, 1)) {
            const std::vector<uint8_t> args25{0x1A, 0x9B};
            a = co_await kw2Exchange(args25);
            if (positive(a, 0x1A, 2)) {
                decodeKw2000Identification(std::vector<uint8_t>(a->begin() + 2, a->end()),
                                           &rep.identification);
                m_ident = rep.identification;
            }
        } else if (a) {
            rep.outcome = Outcome::Rejected;
        }
        break;
    }
    case RequestKind::Login: {
        // verify: the login code and workshop code given as the key.
        const std::vector<uint8_t> args26{0x27,
                                          0x02,
                                          uint8_t(r.value >> 8),
                                          uint8_t(r.value),
                                          uint8_t(r.workshopCode >> 8),
                                          uint8_t(r.workshopCode)};
        a = co_await kw2Exchange(args26);
        if (a && !positive(a, 0x27, 1))
            rep.outcome = Outcome::Refused;
        break;
    }
    case RequestKind::OutputTestStep: {
        // verify: output tests as input/output control of local identifier 01.
        const std::vector<uint8_t> args27{0x30, 0x01};
        a = co_await kw2Exchange(args27);
        if (positive(a, 0x30, 2)) {
            if (a->size() >= 4)
                rep.value = ((*a)[2] << 8) | (*a)[3];
            else
                rep.outcome = Outcome::End;
        } else if (a) {
            rep.outcome = Outcome::Refused;
        }
        break;
    }
    }
    if (!a) {
        rep.outcome = Outcome::Failed;
        rep.fault = m_fault;
    }
    co_return rep;
}

const char* busFaultName(BusFault f) {
    switch (f) {
    case BusFault::None:
        return "none";
    case BusFault::WrongEcho:
        return "wrong-echo";
    case BusFault::MissingEcho:
        return "missing-echo";
    case BusFault::NoSync:
        return "no-sync";
    case BusFault::BadKeywords:
        return "bad-keywords";
    case BusFault::WrongRate:
        return "wrong-rate";
    case BusFault::MissingComplement:
        return "missing-complement";
    case BusFault::WrongComplement:
        return "wrong-complement";
    case BusFault::ByteTimeout:
        return "byte-timeout";
    case BusFault::BadBlockEnd:
        return "bad-block-end";
    case BusFault::BadCounter:
        return "bad-counter";
    case BusFault::BadChecksum:
        return "bad-checksum";
    case BusFault::BadFrame:
        return "bad-frame";
    case BusFault::NoAnswer:
        return "no-answer";
    case BusFault::NoBreak:
        return "no-break";
    case BusFault::PortFailed:
        return "port-failed";
    case BusFault::RateRefused:
        return "rate-refused";
    case BusFault::CannotAddress:
        return "cannot-address";
    case BusFault::TooLong:
        return "too-long";
    }
    return "?";
}

} // namespace kline
