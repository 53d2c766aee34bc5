#include "sim/kline_unit.h"

#include "kline/kline_core.h"

#include <algorithm>
#include <bit>
#include <cstdio>

using namespace kline;

namespace {

// The unit's own timing: quick, well inside every window.
constexpr Micros kW1 = msec(100);     // stop bit to sync
constexpr Micros kW2 = msec(10);      // sync to first keyword
constexpr Micros kW3 = msec(5);       // between the keywords
constexpr Micros kRk = msec(231);     // repeat of the sync after no answer
constexpr Micros kR5 = msec(30);      // complement of KW2 to the first block
constexpr Micros kR7 = msec(1);       // a complement, or the next byte
constexpr Micros kR8 = msec(55);      // a byte not answered by then is lost
constexpr Micros kBlockGap = msec(2); // before the unit's block
constexpr Micros kRb = msec(1100);    // the link dies after this silence
constexpr Micros kP2 = msec(25);      // KW2000 request to answer
constexpr Micros kP3Max = msec(5000);
// A byte's start is estimated from its stamp, half a stop bit off.
constexpr Micros kStampSlack = 200;

uint8_t clampByte(int v) {
    return uint8_t(std::clamp(v, 0, 255));
}

Micros startOf(const RxByte& b, int rate) {
    return b.at - byteTime(rate) * 19 / 20;
}

} // namespace

bool KLineUnitOptions::parse(const std::string& list, KLineUnitOptions* out, std::string* error) {
    static const struct {
        const char* name;
        KLineFault::Kind kind;
    } kNames[] = {
        {"late-complement", KLineFault::LateComplement},
        {"wrong-complement", KLineFault::WrongComplement},
        {"lost-byte", KLineFault::LostByte},
        {"no-sync", KLineFault::NoSync},
        {"repeated-sync", KLineFault::RepeatedSync},
        {"stray-bytes", KLineFault::StrayBytes},
        {"silence-after", KLineFault::SilenceAfter},
        {"ignore-end", KLineFault::IgnoreEnd},
        {"pending", KLineFault::Pending},
        {"bad-checksum", KLineFault::BadChecksum},
        {"nak", KLineFault::Nak},
    };
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t comma = list.find(',', pos);
        if (comma == std::string::npos)
            comma = list.size();
        std::string item = list.substr(pos, comma - pos);
        pos = comma + 1;
        item.erase(0, item.find_first_not_of(" \t"));
        item.erase(item.find_last_not_of(" \t") + 1);
        if (item.empty())
            continue;
        if (item == "fast-init") {
            out->fastInit = true;
            continue;
        }
        if (item.rfind("rate=", 0) == 0) {
            const int r = std::atoi(item.c_str() + 5);
            if (r < 1200 || r > 20000) {
                *error = "rate=N needs a K-line rate (1200..20000)";
                return false;
            }
            out->rate = r;
            continue;
        }
        int count = 1;
        const size_t hash = item.find('#');
        bool onwards = false;
        if (hash != std::string::npos) {
            count = std::atoi(item.c_str() + hash + 1);
            onwards = item.back() == '+';
            item.resize(hash);
            if (count < 1) {
                *error = "a line fault's #N needs a number from 1";
                return false;
            }
        }
        bool found = false;
        for (const auto& n : kNames)
            if (item == n.name) {
                out->faults.push_back({n.kind, count, onwards});
                found = true;
            }
        if (!found) {
            *error = "unknown line fault \"" + item + "\"";
            return false;
        }
    }
    return true;
}

KLineUnit::KLineUnit(SimScenario scenario, KLineUnitOptions options, std::shared_ptr<Memory> memory)
    : m_scenario(std::move(scenario)), m_opt(std::move(options)),
      m_state(memory ? std::move(memory) : std::make_shared<Memory>()) {
    // A memory of another scenario's units would index past its end.
    if (m_state->size() == m_scenario.units.size())
        return;
    m_state->clear();
    for (const SimUnit& u : m_scenario.units) {
        UnitState st;
        st.coding = u.coding;
        st.workshopCode = u.workshopCode;
        st.dtcs = u.dtcs;
        st.savedChannel.assign(u.channels.size(), -1);
        m_state->push_back(std::move(st));
    }
}

void KLineUnit::begin(Micros now) {
    timer(now);
    // Nothing is known of the line before: it must be seen idle from here.
    m_lineBusyUntil = now;
    start(run());
}

int KLineUnit::rateOf(const SimUnit& u) const {
    if (m_opt.rate)
        return m_opt.rate;
    if (u.protocol == 2)
        return 10400;
    // Code 5 (14400) is beyond the K-line; such a unit speaks 10400.
    static const int rates[] = {10400, 1200, 2400, 4800, 9600, 10400, 10400};
    return rates[std::clamp(u.baudCode, 0, 6)];
}

bool KLineUnit::fault(KLineFault::Kind kind, int occurrence) const {
    for (const KLineFault& f : m_opt.faults)
        if (f.kind == kind && (f.count == occurrence || (f.onwards && occurrence >= f.count)))
            return true;
    return false;
}

void KLineUnit::violation(const char* what, Micros value) {
    if (!m_opt.strict)
        return;
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s: %.1f ms (at %.3f s)", what, double(value) / 1000.0,
                  double(now()) / 1e6);
    m_violations.emplace_back(buf);
}

Task<void> KLineUnit::run() {
    for (;;) {
        m_unit = nullptr;
        m_us = nullptr;
        if (m_opt.fastInit) {
            co_await listenFastInit();
            continue;
        }
        setRate(5);
        const Input in = co_await nextByte(-1);
        if (!in.ok())
            continue;
        const uint8_t v = in.value();
        // Seven address bits and an odd parity bit.
        if (in.byte.framingError || std::popcount(unsigned(v)) % 2 != 1)
            continue;
        const SimUnit* u = m_scenario.unit(v & 0x7F);
        if (!u)
            continue;
        ++m_inits;
        const Micros addressStart = in.byte.at - msec(1900);
        const Micros stopEnd = in.byte.at + msec(100);
        if (addressStart - m_lineBusyUntil < msec(300))
            violation("idle before the address", addressStart - m_lineBusyUntil);
        m_lineBusyUntil = stopEnd;
        bool mute = false;
        for (const KLineFault& f : m_opt.faults)
            mute = mute || (f.kind == KLineFault::NoSync && m_inits <= f.count);
        if (mute)
            continue;
        m_unit = u;
        m_us = &(*m_state)[size_t(u - m_scenario.units.data())];
        const int rate = rateOf(*u);
        setRate(rate);
        if (fault(KLineFault::StrayBytes, m_inits)) {
            co_await sleepUntil(stopEnd + msec(5));
            write(0x00);
            co_await sleepUntil(stopEnd + msec(40));
            write(0xFF);
        }
        const bool kw2000 = u->protocol == 2;
        const bool ok =
            co_await handshake(rate, kw2000 ? 0xEF : 0x01, kw2000 ? 0x8F : 0x8A, stopEnd);
        if (!ok)
            continue;
        if (kw2000)
            co_await kw2000Session();
        else
            co_await kw1281Session();
    }
}

Task<bool> KLineUnit::handshake(int rate, uint8_t kw1, uint8_t kw2, Micros stopEnd) {
    const Micros bt = byteTime(rate);
    Micros t = stopEnd + kW1;
    bool repeatOnce = fault(KLineFault::RepeatedSync, m_inits);
    for (int tries = 0; tries < 3; ++tries) {
        co_await sleepUntil(t);
        dropInput();
        write(0x55);
        co_await sleepUntil(now() + bt + kW2);
        write(kw1);
        co_await sleepUntil(now() + bt + kW3);
        write(kw2);
        const Micros kw2End = now() + bt;
        m_lastOwnEnd = kw2End;
        // Listen until the sync is due again: a late answer is a violation
        // and counts as none; silence (a tester at another rate) is not.
        Input in = co_await nextByte(kw2End + kRk);
        if (in.ok() && startOf(in.byte, rate) - kw2End > msec(50)) {
            violation("complement of the keyword later than 50 ms",
                      startOf(in.byte, rate) - kw2End);
            co_await sleepUntil(std::max(now(), kw2End + kRk));
            t = now();
            continue;
        }
        if (in.ok() && in.value() == uint8_t(~kw2)) {
            const Micros gap = startOf(in.byte, rate) - kw2End;
            if (gap < msec(25) || gap > msec(50))
                violation("complement of the keyword (25..50)", gap);
            if (repeatOnce) {
                repeatOnce = false;
                t = now() + kRk;
                continue;
            }
            m_lineBusyUntil = in.byte.at;
            if (kw2 == 0x8F) {
                // KW2000: the unit answers with the complement of its address.
                co_await sleepUntil(in.byte.at + msec(30));
                write(uint8_t(~m_unit->address));
                m_lastOwnEnd = now() + bt;
            }
            co_return true;
        }
        t = std::max(now(), kw2End + kRk);
    }
    co_return false;
}

// ---------------------------------------------------------------- KW1281

Task<bool> KLineUnit::sendBlock(const std::vector<uint8_t>& body) {
    ++m_blocks;
    const int blockNo = m_blocks;
    std::vector<uint8_t> b(body.size() + 3);
    b[0] = uint8_t(body.size() + 2);
    b[1] = ++m_counter;
    std::copy(body.begin(), body.end(), b.begin() + 2);
    b.back() = 0x03;
    const Micros bt = byteTime(lineRate());
    bool lose = fault(KLineFault::LostByte, blockNo);
    for (int attempt = 0; attempt < 3; ++attempt) {
        Micros t = std::max(now(), m_lineBusyUntil + kBlockGap);
        bool ok = true;
        for (size_t i = 0; i < b.size(); ++i) {
            co_await sleepUntil(t);
            if (lose && i == 2) {
                lose = false; // this byte never reaches the line
            } else {
                write(b[i]);
            }
            const Micros end = now() + bt;
            m_lastOwnEnd = end;
            if (i + 1 == b.size())
                break;
            const Input in = co_await nextByte(end + kR8);
            if (!in.ok() || in.value() != uint8_t(~b[i])) {
                ok = false;
                break;
            }
            const Micros gap = startOf(in.byte, lineRate()) - end;
            if (gap > msec(50))
                violation("tester's complement (R6 <= 50)", gap);
            if (gap < msec(1) - kStampSlack)
                violation("tester's complement (R6 >= 1)", gap);
            m_lineBusyUntil = in.byte.at;
            t = in.byte.at + kR7;
        }
        if (ok) {
            m_lineBusyUntil = m_lastOwnEnd;
            co_return true;
        }
        // The tester times out; then the block starts again.
        co_await sleepUntil(now() + 2 * kR8);
        dropInput();
    }
    co_return false;
}

Task<std::optional<std::vector<uint8_t>>> KLineUnit::receiveBlock(Micros deadline) {
    const Micros bt = byteTime(lineRate());
    for (int restarts = 0; restarts < 4; ++restarts) {
        const Input first = co_await nextByte(deadline);
        if (!first.ok())
            co_return std::nullopt;
        const Micros gap = startOf(first.byte, lineRate()) - m_lastOwnEnd;
        if (gap > msec(1000))
            violation("tester's block after the unit's (keep-alive < 1000)", gap);
        std::vector<uint8_t> b{first.value()};
        RxByte last = first.byte;
        bool broken = b[0] < 3;
        while (!broken && b.size() <= b[0]) {
            co_await sleepUntil(last.at + kR7);
            ++m_complements;
            Micros extra = 0;
            uint8_t c = uint8_t(~last.value);
            if (fault(KLineFault::LateComplement, m_complements))
                extra = msec(80);
            if (fault(KLineFault::WrongComplement, m_complements))
                c ^= 0x10;
            if (extra)
                co_await sleepUntil(now() + extra);
            write(c);
            const Micros end = now() + bt;
            m_lastOwnEnd = end;
            const Input n = co_await nextByte(end + kR8);
            if (!n.ok()) {
                broken = true;
                break;
            }
            const Micros g = startOf(n.byte, lineRate()) - end;
            if (g > msec(50))
                violation("tester's next byte (R6 <= 50)", g);
            if (g < msec(1) - kStampSlack)
                violation("tester's next byte (R6 >= 1)", g);
            b.push_back(n.value());
            last = n.byte;
        }
        if (broken) {
            // Wait for the block to start again.
            deadline = now() + 4 * kR8 + msec(40);
            dropInput();
            continue;
        }
        m_lineBusyUntil = last.at;
        m_counter = b[1];
        co_return b;
    }
    co_return std::nullopt;
}

Task<void> KLineUnit::kw1281Session() {
    m_counter = 0;
    std::deque<std::vector<uint8_t>> queue;
    const Identification id = identification();
    const std::vector<std::vector<uint8_t>> ident = kw1281Answer(Ask{RequestKind::Coding, -1}, {});
    queue.assign(ident.begin(), ident.end());
    m_lineBusyUntil = now() + kR5 - kBlockGap;
    std::vector<uint8_t> last;
    for (;;) {
        if (m_silent)
            co_return;
        std::vector<uint8_t> blk;
        if (queue.empty()) {
            blk = {0x09};
        } else {
            blk = queue.front();
            queue.pop_front();
        }
        last = blk;
        bool sent = co_await sendBlock(blk);
        if (!sent)
            co_return;
        for (const KLineFault& f : m_opt.faults)
            if (f.kind == KLineFault::SilenceAfter && m_blocks >= f.count)
                m_silent = true;
        if (m_silent)
            co_return;
        std::optional<std::vector<uint8_t>> r = co_await receiveBlock(m_lastOwnEnd + kRb);
        if (!r)
            co_return; // the tester is gone: back to listening
        const std::vector<uint8_t>& t = *r;
        const uint8_t title = t[2];
        auto at = [&](size_t i) { return i + 3 < t.size() ? int(t[i + 3]) : 0; };
        const size_t n = t.size() - 4;
        if (title != 0x09 && title != 0x0A && title != 0x06 &&
            fault(KLineFault::Nak, ++m_requests)) {
            queue.assign(1, std::vector<uint8_t>{0x0A});
            continue;
        }
        Ask ask;
        switch (title) {
        case 0x09:
            continue;
        case 0x0A:
            queue.push_front(last);
            continue;
        case 0x06:
            if (fault(KLineFault::IgnoreEnd, 1)) // stays in session, deaf, until it times out
                co_await sleepUntil(now() + kRb);
            co_return;
        case 0x00: {
            queue.clear();
            for (size_t i = 3; i < m_unit->ident.size(); ++i) {
                std::vector<uint8_t> b{0xF6};
                b.insert(b.end(), m_unit->ident[i].begin(), m_unit->ident[i].end());
                queue.push_back(b);
            }
            continue;
        }
        case 0x29:
        case 0x28:
            ask.kind = title == 0x29 ? RequestKind::Group : RequestKind::BasicGroup;
            ask.number = at(0);
            break;
        case 0x12:
            ask.kind = RequestKind::RawGroup;
            break;
        case 0x11:
            ask.kind = RequestKind::RawBasicGroup;
            break;
        case 0x08:
            ask.kind = RequestKind::SingleValue;
            ask.number = at(0);
            break;
        case 0x07:
            ask.kind = RequestKind::ReadFaults;
            break;
        case 0x05:
            ask.kind = RequestKind::ClearFaults;
            break;
        case 0x21:
            ask.kind = RequestKind::AdaptationRead;
            ask.number = at(0);
            break;
        case 0x22:
        case 0x2A:
            ask.kind = RequestKind::AdaptationSave;
            ask.number = at(0);
            ask.value = (at(1) << 8) | at(2);
            ask.testOnly = title == 0x22;
            break;
        case 0x10:
            ask.kind = RequestKind::Coding;
            ask.value = ((at(0) << 8) | at(1)) >> 1;
            ask.workshopCode = (at(2) << 8) | at(3) | ((at(1) & 1) << 16);
            break;
        case 0x2B:
            ask.kind = RequestKind::Login;
            ask.value = (at(0) << 8) | at(1);
            ask.workshopCode = (at(2) << 16) | (at(3) << 8) | at(4);
            break;
        case 0x04:
            ask.kind = RequestKind::OutputTestStep;
            break;
        default:
            queue.assign(1, std::vector<uint8_t>{0x0A});
            continue;
        }
        (void)n;
        (void)id;
        const Answer a = answer(ask);
        const auto blocks = kw1281Answer(ask, a);
        queue.assign(blocks.begin(), blocks.end());
        if (a.wrongLogin) {
            const bool sentNak = co_await sendBlock(queue.front());
            (void)sentNak;
            co_return; // a wrong login code ends the connection
        }
    }
}

std::vector<std::vector<uint8_t>> KLineUnit::kw1281Answer(const Ask& ask, const Answer& a) {
    std::vector<std::vector<uint8_t>> out;
    auto one = [&](std::vector<uint8_t> b) { out.push_back(std::move(b)); };
    if (ask.kind == RequestKind::Coding && ask.number == -1) {
        // The identification: part number (with the flag for more), two
        // texts, the coding block.
        const Identification id = identification();
        for (size_t i = 0; i < id.lines.size() && i < 3; ++i) {
            std::vector<uint8_t> b{0xF6};
            b.insert(b.end(), id.lines[i].begin(), id.lines[i].end());
            if (i == 0 && b.size() > 1 && m_unit->ident.size() > 3)
                b[1] |= 0x80;
            out.push_back(b);
        }
        if (m_us->coding >= 0) {
            const int c = m_us->coding << 1;
            const int w = std::max(m_us->workshopCode, 0);
            one({0xF6, 0x00, uint8_t(c >> 8), uint8_t((c & 0xFF) | ((w >> 16) & 1)),
                 uint8_t(w >> 8), uint8_t(w)});
        }
        return out;
    }
    if (a.refused || a.unsupported || a.rejected || a.wrongLogin) {
        one({0x0A});
        return out;
    }
    switch (ask.kind) {
    case RequestKind::Group:
    case RequestKind::BasicGroup: {
        std::vector<uint8_t> b{0xE7};
        b.insert(b.end(), a.bytes.begin(), a.bytes.end());
        one(b);
        break;
    }
    case RequestKind::RawGroup:
    case RequestKind::RawBasicGroup: {
        std::vector<uint8_t> b{0xF4};
        b.insert(b.end(), a.bytes.begin(), a.bytes.end());
        one(b);
        break;
    }
    case RequestKind::SingleValue:
        if (a.value > 255)
            one({0xFB, uint8_t(a.value >> 8), uint8_t(a.value)});
        else
            one({0xFB, uint8_t(a.value)});
        break;
    case RequestKind::ReadFaults: {
        std::vector<uint8_t> b{0xFC};
        if (a.dtcs.empty())
            b.insert(b.end(), {0xFF, 0xFF, 0x88});
        for (size_t i = 0; i < a.dtcs.size(); ++i) {
            if (i > 0 && i % 4 == 0) {
                one(b);
                b = {0xFC};
            }
            b.push_back(uint8_t(a.dtcs[i].code >> 8));
            b.push_back(uint8_t(a.dtcs[i].code));
            b.push_back(uint8_t(a.dtcs[i].status));
        }
        one(b);
        break;
    }
    case RequestKind::ClearFaults:
    case RequestKind::Login:
    case RequestKind::Readiness:
        break; // the unit's ACK
    case RequestKind::AdaptationRead:
    case RequestKind::AdaptationSave: {
        std::vector<uint8_t> b{0xE6, uint8_t(ask.number), uint8_t(a.value >> 8), uint8_t(a.value)};
        if (ask.kind == RequestKind::AdaptationRead)
            b.insert(b.end(), a.bytes.begin(), a.bytes.end());
        one(b);
        break;
    }
    case RequestKind::Coding: {
        Ask ident;
        ident.kind = RequestKind::Coding;
        ident.number = -1;
        return kw1281Answer(ident, {});
    }
    case RequestKind::OutputTestStep:
        if (!a.end)
            one({0xF5, uint8_t(a.value >> 8), uint8_t(a.value)});
        break; // the end: the unit's ACK
    }
    return out;
}

// ---------------------------------------------------------------- KW2000

Task<std::optional<std::vector<uint8_t>>> KLineUnit::receiveFrame(Micros deadline) {
    std::vector<uint8_t> f;
    size_t need = 1;
    Micros prevEnd = -1;
    while (f.size() < need) {
        const Input in = co_await nextByte(deadline);
        if (!in.ok())
            co_return std::nullopt;
        const Micros start = startOf(in.byte, lineRate());
        if (f.empty()) {
            const Micros p3 = start - m_lastOwnEnd;
            if (p3 < msec(55))
                violation("tester's request after the answer (P3 >= 55)", p3);
        } else {
            const Micros p4 = start - prevEnd;
            if (p4 < msec(5) - 500 || p4 > msec(20) + 500)
                violation("tester's inter-byte time (P4 5..20)", p4);
        }
        prevEnd = start + byteTime(lineRate());
        f.push_back(in.value());
        deadline = in.byte.at + msec(50);
        if (f.size() == 1) {
            const size_t header = (f[0] & 0xC0) ? 3 : 1;
            need = header + (f[0] & 0x3F) + 1 + ((f[0] & 0x3F) == 0 ? 1 : 0);
        } else if ((f[0] & 0x3F) == 0 && f.size() == ((f[0] & 0xC0) ? 4u : 2u)) {
            need = f.size() + f.back() + 1;
        }
    }
    m_lineBusyUntil = prevEnd;
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < f.size(); ++i)
        sum = uint8_t(sum + f[i]);
    if (sum != f.back())
        co_return std::vector<uint8_t>{};
    const size_t header = (f[0] & 0xC0) ? 3 : 1;
    if (header == 3 && f[1] != uint8_t(m_unit ? m_unit->address : f[1]))
        co_return std::vector<uint8_t>{}; // for another unit
    const size_t startData = header + ((f[0] & 0x3F) == 0 ? 1 : 0);
    co_return std::vector<uint8_t>(f.begin() + ptrdiff_t(startData), f.end() - 1);
}

Task<void> KLineUnit::sendFrame(const std::vector<uint8_t>& data, Micros at) {
    ++m_frames;
    std::vector<uint8_t> f = kw2000Frame(0xF1, uint8_t(m_unit->address), data);
    if (fault(KLineFault::BadChecksum, m_frames))
        f.back() = uint8_t(f.back() + 1);
    co_await sleepUntil(at);
    write(f);
    m_lastOwnEnd = now() + Micros(f.size()) * byteTime(lineRate());
    m_lineBusyUntil = m_lastOwnEnd;
}

Task<void> KLineUnit::kw2000Session() {
    for (;;) {
        std::optional<std::vector<uint8_t>> req = co_await receiveFrame(m_lastOwnEnd + kP3Max);
        if (!req)
            co_return; // the tester fell silent: the session is over
        if (req->empty() || m_silent)
            continue; // bad checksum or not for us: no answer
        const uint8_t sid = (*req)[0];
        if (sid == 0x82 && !fault(KLineFault::IgnoreEnd, 1)) {
            const std::vector<uint8_t> bye{0xC2};
            co_await sendFrame(bye, now() + kP2);
            co_return;
        }
        if (sid == 0x82)
            continue;
        Micros at = now() + kP2;
        if (fault(KLineFault::Pending, m_frames + 1)) {
            const std::vector<uint8_t> pending{0x7F, sid, 0x78};
            co_await sendFrame(pending, at);
            at = now() + msec(3000);
        }
        const std::vector<uint8_t> a = kw2000Answer(*req);
        co_await sendFrame(a, at);
        for (const KLineFault& f : m_opt.faults)
            if (f.kind == KLineFault::SilenceAfter && m_frames >= f.count)
                m_silent = true;
        if (a.size() == 3 && a[0] == 0x7F && a[1] == 0x27 && a[2] == 0x35)
            co_return; // a wrong login code ends the connection
    }
}

Task<void> KLineUnit::listenFastInit() {
    setRate(10400);
    for (;;) {
        // The wake-up pulse reads as a zero byte; then StartCommunication.
        const Input in = co_await nextByte(-1);
        if (!in.ok() || in.value() != 0x81)
            continue;
        std::vector<uint8_t> f{0x81};
        for (int i = 0; i < 4; ++i) {
            const Input n = co_await nextByte(in.byte.at + msec(100));
            if (!n.ok())
                break;
            f.push_back(n.value());
        }
        if (f.size() != 5 || f[3] != 0x81 || uint8_t(f[0] + f[1] + f[2] + f[3]) != f[4])
            continue;
        const SimUnit* u = m_scenario.unit(f[1] & 0x7F);
        if (!u || u->protocol != 2)
            continue;
        ++m_inits;
        m_unit = u;
        m_us = &(*m_state)[size_t(u - m_scenario.units.data())];
        m_lastOwnEnd = now() - msec(100);
        const std::vector<uint8_t> ok{0xC1, 0xEF, 0x8F};
        co_await sendFrame(ok, now() + kP2);
        co_await kw2000Session();
        co_return;
    }
}

std::vector<uint8_t> KLineUnit::kw2000Answer(const std::vector<uint8_t>& q) {
    const uint8_t sid = q[0];
    auto arg = [&](size_t i) { return i < q.size() ? int(q[i]) : 0; };
    auto neg = [&](uint8_t code) { return std::vector<uint8_t>{0x7F, sid, code}; };
    Ask ask;
    switch (sid) {
    case 0x10:
        return {0x50, uint8_t(arg(1))};
    case 0x3E:
        return {0x7E};
    case 0x1A: {
        if (arg(1) != 0x9B)
            return neg(0x12);
        std::vector<uint8_t> a{0x5A, 0x9B};
        const auto d = encodeKw2000Identification(identification());
        a.insert(a.end(), d.begin(), d.end());
        return a;
    }
    case 0x21:
    case 0x31:
        ask.number = arg(1);
        ask.kind = ask.number == 0
                       ? (sid == 0x21 ? RequestKind::RawGroup : RequestKind::RawBasicGroup)
                       : (sid == 0x21 ? RequestKind::Group : RequestKind::BasicGroup);
        break;
    case 0x18:
        ask.kind = RequestKind::ReadFaults;
        break;
    case 0x14:
        ask.kind = RequestKind::ClearFaults;
        break;
    case 0x22:
        ask.kind = RequestKind::AdaptationRead;
        ask.number = arg(2);
        break;
    case 0x2E:
        ask.kind = RequestKind::AdaptationSave;
        ask.number = arg(2);
        ask.value = (arg(3) << 8) | arg(4);
        break;
    case 0x3B:
        ask.kind = RequestKind::Coding;
        ask.value = (arg(2) << 8) | arg(3);
        ask.workshopCode = (arg(4) << 8) | arg(5);
        break;
    case 0x27:
        ask.kind = RequestKind::Login;
        ask.value = (arg(2) << 8) | arg(3);
        ask.workshopCode = (arg(4) << 8) | arg(5);
        break;
    case 0x30:
        ask.kind = RequestKind::OutputTestStep;
        break;
    default:
        return neg(0x11);
    }
    const Answer a = answer(ask);
    if (a.unsupported)
        return neg(0x11);
    if (a.wrongLogin)
        return neg(0x35);
    if (a.refused || a.rejected)
        return neg(0x31);
    std::vector<uint8_t> out{uint8_t(sid | 0x40)};
    switch (ask.kind) {
    case RequestKind::Group:
    case RequestKind::BasicGroup:
    case RequestKind::RawGroup:
    case RequestKind::RawBasicGroup:
        out.push_back(uint8_t(ask.number));
        out.insert(out.end(), a.bytes.begin(), a.bytes.end());
        break;
    case RequestKind::ReadFaults:
        out.push_back(uint8_t(a.dtcs.size()));
        for (const SimDtc& d : a.dtcs)
            out.insert(out.end(), {uint8_t(d.code >> 8), uint8_t(d.code), uint8_t(d.status)});
        break;
    case RequestKind::ClearFaults:
        out.insert(out.end(), {0xFF, 0x00});
        break;
    case RequestKind::AdaptationRead:
        out.insert(out.end(), {0x00, uint8_t(ask.number), uint8_t(a.value >> 8), uint8_t(a.value)});
        out.insert(out.end(), a.bytes.begin(), a.bytes.end());
        break;
    case RequestKind::AdaptationSave:
        out.insert(out.end(), {0x00, uint8_t(ask.number)});
        break;
    case RequestKind::Coding:
        out.push_back(0x9A);
        break;
    case RequestKind::Login:
        out.push_back(0x02);
        break;
    case RequestKind::OutputTestStep:
        out.push_back(0x01);
        if (!a.end)
            out.insert(out.end(), {uint8_t(a.value >> 8), uint8_t(a.value)});
        break;
    default:
        break;
    }
    return out;
}

// ---------------------------------------------------------------- answers

std::string KLineUnit::chipText(const Ask& a) const {
    char buf[16] = {};
    switch (a.kind) {
    case RequestKind::Group:
        std::snprintf(buf, sizeof buf, "08%02X", a.number);
        break;
    case RequestKind::BasicGroup:
        std::snprintf(buf, sizeof buf, "04%02X", a.number);
        break;
    case RequestKind::RawGroup:
        return "0800";
    case RequestKind::RawBasicGroup:
        return "0400";
    case RequestKind::SingleValue:
        std::snprintf(buf, sizeof buf, "09%02X", a.number);
        break;
    case RequestKind::ReadFaults:
        return "02";
    case RequestKind::ClearFaults:
        return "05";
    case RequestKind::Readiness:
        return "15";
    case RequestKind::AdaptationRead:
        std::snprintf(buf, sizeof buf, "10%02X", a.number);
        break;
    case RequestKind::AdaptationSave:
        std::snprintf(buf, sizeof buf, "10%02X%04X", a.number & 0xFF, a.value & 0xFFFF);
        break;
    case RequestKind::Coding:
        std::snprintf(buf, sizeof buf, "07%04X%04X", a.value & 0xFFFF, a.workshopCode & 0xFFFF);
        break;
    case RequestKind::Login:
        std::snprintf(buf, sizeof buf, "11%04X%04X", a.value & 0xFFFF, a.workshopCode & 0xFFFF);
        break;
    case RequestKind::OutputTestStep:
        return "03";
    }
    return buf;
}

void KLineUnit::triplets(const SimBlock& block, uint32_t salt, std::vector<uint8_t>& out) const {
    const int64_t t = nowMs();
    for (size_t i = 0; i < block.size(); ++i) {
        const SimField& f = block[i];
        const uint32_t s = salt | (uint32_t(i) << 2);
        out.push_back(clampByte(f.type.at(t, s)));
        out.push_back(clampByte(f.a.at(t, s | 1)));
        out.push_back(clampByte(f.b.at(t, s | 2)));
    }
}

Identification KLineUnit::identification() const {
    Identification id;
    for (size_t i = 0; i < m_unit->ident.size() && i < 3; ++i)
        id.lines.push_back(m_unit->ident[i]);
    id.coding = m_us->coding;
    id.workshopCode = m_us->workshopCode;
    id.deviceNumber = m_unit->deviceNumber;
    id.importer = m_unit->importer;
    return id;
}

KLineUnit::Answer KLineUnit::answer(const Ask& ask) {
    Answer a;
    const SimUnit& u = *m_unit;
    UnitState& st = *m_us;
    const std::string text = chipText(ask);
    for (const std::string& p : u.refuse)
        if (text.starts_with(p)) {
            a.refused = true;
            return a;
        }
    const int64_t t = nowMs();
    const uint32_t salt = uint32_t(u.address) << 20;
    const unsigned n = unsigned(ask.number) & 0xFF;
    switch (ask.kind) {
    case RequestKind::Group:
    case RequestKind::BasicGroup: {
        const bool basic = ask.kind == RequestKind::BasicGroup;
        const SimBlock& b = basic && !u.basicGroups[n].empty() ? u.basicGroups[n] : u.groups[n];
        if (n == 0 || b.empty())
            a.refused = true;
        else
            triplets(b, salt | (n << 8), a.bytes);
        break;
    }
    case RequestKind::RawGroup:
    case RequestKind::RawBasicGroup: {
        const bool basic = ask.kind == RequestKind::RawBasicGroup;
        const auto& list = basic && !u.rawBasic.empty() ? u.rawBasic : u.raw;
        if (list.empty())
            a.refused = true;
        for (size_t i = 0; i < list.size(); ++i)
            a.bytes.push_back(clampByte(list[i].at(t, salt | uint32_t(i))));
        break;
    }
    case RequestKind::SingleValue:
        if (!u.singlePresent[n])
            a.refused = true;
        else
            a.value = std::clamp(u.singles[n].at(t, salt | 0x80000 | n), 0, 65535);
        break;
    case RequestKind::ReadFaults:
        if (!u.dtcSupported)
            a.unsupported = true;
        a.dtcs = st.dtcs;
        break;
    case RequestKind::ClearFaults:
        st.dtcs.clear();
        break;
    case RequestKind::Readiness:
        a.refused = true;
        break;
    case RequestKind::AdaptationRead:
    case RequestKind::AdaptationSave: {
        if (n >= u.channels.size() || !u.channels[n].present) {
            a.refused = true;
            break;
        }
        const SimChannel& c = u.channels[n];
        if (ask.kind == RequestKind::AdaptationSave) {
            if (ask.value < c.min || ask.value > c.max) {
                a.refused = true;
                break;
            }
            if (!ask.testOnly)
                st.savedChannel[n] = ask.value;
            a.value = ask.value;
            break;
        }
        a.value = st.savedChannel[n] >= 0 ? st.savedChannel[n]
                                          : std::clamp(c.value.at(t, salt | 0x40000 | n), 0, 65535);
        triplets(c.block, salt | 0x20000 | (n << 8), a.bytes);
        break;
    }
    case RequestKind::Coding:
        if (st.coding < 0 || ask.value > u.codingMax) {
            a.rejected = true;
            break;
        }
        st.coding = ask.value;
        st.workshopCode = ask.workshopCode;
        break;
    case RequestKind::Login:
        if (u.loginCode < 0)
            a.refused = true;
        else if (ask.value != u.loginCode)
            a.wrongLogin = true;
        break;
    case RequestKind::OutputTestStep:
        if (u.outputTests.empty()) {
            a.refused = true;
        } else if (st.outputStep < u.outputTests.size()) {
            a.value = u.outputTests[st.outputStep++];
        } else {
            st.outputStep = 0;
            a.end = true;
        }
        break;
    }
    return a;
}
