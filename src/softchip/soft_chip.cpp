#include "softchip/soft_chip.h"

#include <algorithm>

using namespace kline;

namespace {

constexpr char kOverflow = '\x01';
// The chip's word for a request the unit refuses.
constexpr std::string_view kRefused = "NA";

// The rate of an ATN code. 14400 is beyond what a K-line unit speaks: on a
// plain cable it means automatic, as does 0.
int rateOfCode(int code) {
    static const int rates[] = {0, 1200, 2400, 4800, 9600, 0};
    return code >= 0 && code <= 5 ? rates[code] : 0;
}

} // namespace

SoftChip::SoftChip(const SoftChipOptions& options)
    : m_options(options), m_core(options.timing), m_replies(m_out) {
    m_line.reserve(MaxCommandChars);
}

void SoftChip::receive(std::string_view bytes, Micros now) {
    for (const char c : bytes) {
        if (c == '\r') {
            std::string cmd = m_overflow ? std::string(1, kOverflow) : m_line;
            for (char& ch : cmd)
                if (ch >= 'a' && ch <= 'z')
                    ch = char(ch - 'a' + 'A');
            m_commands.push_back(std::move(cmd));
            m_line.clear();
            m_overflow = false;
        } else if (c == '\n') {
            // Terminals send CR LF; the LF carries nothing.
        } else if (m_line.size() < MaxCommandChars) {
            m_line += c;
        } else {
            m_overflow = true;
        }
    }
    next(now);
}

void SoftChip::next(Micros now) {
    while (m_busy == Busy::None && !m_commands.empty()) {
        const std::string cmd = std::move(m_commands.front());
        m_commands.pop_front();
        handle(cmd, now);
    }
}

void SoftChip::done() {
    m_replies.prompt();
    m_busy = Busy::None;
}

void SoftChip::drop(Micros now) {
    if (m_core.active())
        m_core.disconnect(now);
    m_lost = false;
}

void SoftChip::handle(const std::string& cmd, Micros now) {
    m_lastChar = now;
    if (cmd.size() == 1 && cmd[0] == kOverflow) {
        m_replies.line("?");
    } else if (cmd.empty()) {
        m_replies.line("OK");
    } else if ((cmd == "ATZ" || cmd == "ATH" || cmd.starts_with("ATD")) && m_core.ready()) {
        // The unit hears the end of its session before anything else goes
        // on the line; the command runs once it has.
        m_commands.push_front(cmd);
        m_busy = Busy::Ending;
        m_core.disconnect(now);
        return;
    } else if (cmd.starts_with("AT")) {
        atCommand(std::string_view(cmd).substr(2), now);
        if (m_busy != Busy::None)
            return;
    } else if (!m_core.connected()) {
        m_replies.line(m_lost ? "DATA ERROR" : "ERROR");
    } else {
        unitRequest(cmd, now);
        if (m_busy != Busy::None)
            return;
    }
    done();
}

void SoftChip::atCommand(std::string_view cmd, Micros now) {
    unsigned v = 0;
    if (cmd == "Z") {
        drop(now);
        m_fixedRate = 0;
        m_core.setTiming(m_options.timing);
        m_replies.reset(NameLine);
    } else if (cmd == "I") {
        m_replies.line(NameLine);
    } else if ((cmd.starts_with("IBT") || cmd.starts_with("BDT")) && cmd.size() <= 5 &&
               ChipReplies::hexValue(cmd.substr(3), &v)) {
        // The chip's timing settings, kept inside the protocols' windows.
        Timing t = m_core.timing();
        if (cmd[0] == 'I')
            t.interByte = msec(std::clamp<int>(int(v), 1, 20));
        else
            t.blockGap = msec(std::clamp<int>(int(v), 1, 100));
        m_core.setTiming(t);
    } else if (cmd.size() == 2 && cmd[0] == 'N' && cmd[1] >= '0' && cmd[1] <= '5') {
        m_fixedRate = rateOfCode(cmd[1] - '0');
    } else if (cmd.starts_with("D") && cmd.size() <= 3 &&
               ChipReplies::hexValue(cmd.substr(1), &v)) {
        drop(now);
        if (v == 0 || v > 0x7F) {
            m_replies.line("ERROR");
            return;
        }
        ConnectParams p;
        p.address = int(v);
        p.rate = m_fixedRate;
        p.method = m_options.method;
        m_address = int(v);
        m_busy = Busy::Dialling;
        m_core.connect(p, now);
    } else if (cmd == "H") {
        drop(now);
    } else {
        // "ATA" too: a plain cable measures no voltages.
        m_replies.line("?");
    }
}

void SoftChip::unitRequest(std::string_view cmd, Micros now) {
    unsigned arg = 0;
    if (cmd.size() % 2 != 0 || cmd.size() > 10 || !ChipReplies::hexValue(cmd.substr(0, 2), &arg) ||
        (cmd.size() > 2 && !ChipReplies::hexValue(cmd.substr(2), &arg))) {
        m_replies.line("?");
        return;
    }
    const std::string_view svc = cmd.substr(0, 2);
    const std::string_view rest = cmd.substr(2);
    arg = 0;
    ChipReplies::hexValue(rest, &arg);
    Request r;
    if ((svc == "08" || svc == "04") && rest.size() == 2) {
        const bool basic = svc == "04";
        if (arg == 0)
            r.kind = basic ? RequestKind::RawBasicGroup : RequestKind::RawGroup;
        else
            r.kind = basic ? RequestKind::BasicGroup : RequestKind::Group;
        r.number = int(arg);
    } else if (svc == "09" && rest.size() == 2) {
        r.kind = RequestKind::SingleValue;
        r.number = int(arg);
    } else if (svc == "02" && rest.empty()) {
        r.kind = RequestKind::ReadFaults;
    } else if (svc == "05" && rest.empty()) {
        r.kind = RequestKind::ClearFaults;
    } else if (svc == "15" && rest.empty()) {
        r.kind = RequestKind::Readiness;
    } else if (svc == "10" && rest.size() == 2) {
        r.kind = RequestKind::AdaptationRead;
        r.number = int(arg);
    } else if (svc == "10" && rest.size() == 6) {
        r.kind = RequestKind::AdaptationSave;
        r.number = int(arg >> 16);
        r.value = int(arg & 0xFFFF);
    } else if ((svc == "07" || svc == "11") && rest.size() == 8) {
        r.kind = svc == "07" ? RequestKind::Coding : RequestKind::Login;
        r.value = int(arg >> 16);
        r.workshopCode = int(arg & 0xFFFF);
    } else if (svc == "03" && rest.empty()) {
        r.kind = RequestKind::OutputTestStep;
    } else {
        m_replies.line(kRefused);
        return;
    }
    if (!m_core.request(r, now)) {
        m_replies.line("DATA ERROR");
        return;
    }
    m_busy = Busy::Serving;
}

bool SoftChip::update(Micros now) {
    bool did = false;
    CoreEvent e;
    while (m_core.takeEvent(&e)) {
        did = true;
        switch (e.kind) {
        case CoreEvent::Retrying:
            if (m_busy == Busy::Dialling) {
                // The program's wait for the connect skips this line.
                m_replies.endLine();
                m_lastChar = now;
            }
            break;
        case CoreEvent::Connected:
            if (m_busy == Busy::Dialling) {
                m_replies.connectLine(ChipReplies::speedCode(e.rate),
                                      e.protocol == Protocol::KW2000 ? 2 : 1);
                m_busy = Busy::Identifying;
            }
            break;
        case CoreEvent::Identified:
            if (m_busy == Busy::Identifying) {
                const Identification& id = e.identification;
                m_replies.identification(id.lines, id.coding, id.workshopCode, id.deviceNumber,
                                         id.importer);
                done();
            }
            break;
        case CoreEvent::ConnectFailed:
            if (m_busy == Busy::Dialling) {
                m_replies.line("ERROR");
                done();
            }
            break;
        case CoreEvent::LinkLost:
            if (m_busy == Busy::Identifying) {
                m_replies.line("DATA ERROR");
                m_lost = true;
                done();
            } else if (m_busy == Busy::Ending) {
                m_busy = Busy::None;
            } else {
                // Between requests: the next one hears of it.
                m_lost = true;
            }
            break;
        case CoreEvent::Answered:
            if (m_busy == Busy::Serving) {
                reply(e.reply);
                done();
            }
            break;
        case CoreEvent::Ended:
            if (m_busy == Busy::Ending)
                m_busy = Busy::None;
            break;
        }
    }
    if (m_busy == Busy::Dialling && now >= m_lastChar + FillerAfter) {
        m_replies.endLine();
        m_lastChar = now;
        did = true;
    }
    if (m_busy == Busy::None && !m_commands.empty()) {
        next(now);
        did = true;
    }
    return did;
}

Micros SoftChip::deadline() const {
    return m_busy == Busy::Dialling ? m_lastChar + FillerAfter : -1;
}

std::string SoftChip::takeOutput() {
    std::string out;
    out.swap(m_out);
    return out;
}

void SoftChip::reply(const Reply& r) {
    switch (r.outcome) {
    case Outcome::Failed:
        m_lost = !m_core.connected();
        return m_replies.line("DATA ERROR");
    case Outcome::Refused:
        // A coding the unit will not take is answered as the chip does.
        return m_replies.line(r.kind == RequestKind::Coding ? "?" : kRefused);
    case Outcome::Unsupported:
        return m_replies.line("0A");
    case Outcome::Rejected:
        return m_replies.line("?");
    case Outcome::End:
        return m_replies.line("END");
    case Outcome::Ok:
        break;
    }
    auto triplets = [&] {
        for (size_t i = 0; i + 2 < r.bytes.size(); i += 3)
            m_replies.triplet(r.bytes[i], r.bytes[i + 1], r.bytes[i + 2]);
    };
    switch (r.kind) {
    case RequestKind::Group:
    case RequestKind::BasicGroup:
        return triplets();
    case RequestKind::RawGroup:
    case RequestKind::RawBasicGroup:
        for (const uint8_t b : r.bytes)
            m_replies.hexLine(b, 2);
        return;
    case RequestKind::SingleValue:
        return m_replies.hexLine(unsigned(r.value), r.value > 255 ? 4 : 2);
    case RequestKind::ReadFaults:
        // A unit with nothing stored (KW2000 sends no entry at all) gets the
        // chip's "no fault" line.
        if (r.faults.empty())
            m_replies.faultLine(0xFFFF, 0x88);
        for (const FaultEntry& f : r.faults)
            m_replies.faultLine(f.code, f.status);
        return;
    case RequestKind::ClearFaults:
        return;
    case RequestKind::Readiness:
        return m_replies.hexLine(unsigned(r.value), 2);
    case RequestKind::AdaptationRead:
        m_replies.hexLine(unsigned(r.value), 4);
        return triplets();
    case RequestKind::AdaptationSave:
        return m_replies.hexLine(unsigned(r.value), 4);
    case RequestKind::Coding: {
        const Identification& id = r.identification;
        return m_replies.identification(id.lines, id.coding, id.workshopCode, id.deviceNumber,
                                        id.importer);
    }
    case RequestKind::Login:
        return m_replies.line("OK");
    case RequestKind::OutputTestStep:
        return m_replies.hexLine(unsigned(r.value), 4);
    }
}
