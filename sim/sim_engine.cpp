#include "sim/sim_engine.h"

#include <algorithm>

namespace {

// Not hexadecimal at any place a reader looks (first two, 4-5, 7-8, last two).
constexpr std::string_view kGarbage = "ZQ#\xB5\xFE?!~ x";

unsigned clampTo(int v, int hi) {
    return unsigned(std::clamp(v, 0, hi));
}

} // namespace

SimEngine::SimEngine(SimScenario scenario)
    : m_scenario(std::move(scenario)), m_pace(m_scenario.pace),
      m_klineUs(int64_t(m_scenario.klineMs) * 1000), m_replies(m_out) {
    m_unitIndex.assign(256, -1);
    for (size_t i = 0; i < m_scenario.units.size(); ++i) {
        const SimUnit& u = m_scenario.units[i];
        m_unitIndex[size_t(u.address)] = int(i);
        UnitState st;
        st.coding = u.coding;
        st.workshopCode = u.workshopCode;
        st.dtcs = u.dtcs;
        st.readiness = u.readiness;
        st.savedChannel.assign(u.channels.size(), -1);
        m_state.push_back(std::move(st));
    }
    for (const SimFault& f : m_scenario.faults)
        addFault(f);
    m_line.reserve(MaxCommandChars);
    m_cmd.reserve(MaxCommandChars);
    m_out.reserve(4096);
}

void SimEngine::receive(std::string_view bytes, int64_t nowUs) {
    m_nowUs = nowUs;
    for (const char c : bytes) {
        if (c == '\r') {
            handleCommand(nowUs);
            m_line.clear();
            m_lineOverflow = false;
        } else if (c == '\n') {
            // Terminals send CR LF; the LF carries nothing.
        } else if (m_line.size() < MaxCommandChars) {
            m_line += c;
        } else {
            m_lineOverflow = true;
        }
    }
}

void SimEngine::takeOutput(int64_t nowUs, std::string& out) {
    takeEndless(nowUs, out);
    while (m_segmentHead < m_segments.size()) {
        const Segment& s = m_segments[m_segmentHead];
        const int64_t start = m_pace ? std::max(s.notBeforeUs, m_lineFreeUs) : s.notBeforeUs;
        if (start > nowUs)
            break;
        size_t n = s.end - m_outHead;
        if (m_pace) {
            n = std::min<size_t>(n, size_t((nowUs - start) / CharUs));
            if (n == 0)
                break;
            m_lineFreeUs = start + int64_t(n) * CharUs;
        }
        out.append(m_out, m_outHead, n);
        m_outHead += n;
        if (m_outHead < s.end)
            break;
        ++m_segmentHead;
    }
    if (m_segmentHead == m_segments.size()) {
        m_segments.clear();
        m_segmentHead = 0;
        m_out.clear();
        m_outHead = 0;
    } else if (m_outHead > 65536 && m_outHead > m_out.size() / 2) {
        // A reader that never catches up must not make the queue grow forever.
        m_out.erase(0, m_outHead);
        m_segments.erase(m_segments.begin(), m_segments.begin() + ptrdiff_t(m_segmentHead));
        for (Segment& s : m_segments)
            s.end -= m_outHead;
        m_segmentHead = 0;
        m_outHead = 0;
    }
}

void SimEngine::takeEndless(int64_t nowUs, std::string& out) {
    static constexpr std::string_view kStream = "0123456789ABCDEF ";
    // At the line's own pace, never in one burst after the reader was away.
    if (!m_endless || m_endlessNextUs > nowUs)
        return;
    if (nowUs - m_endlessNextUs > 1000000)
        m_endlessNextUs = nowUs;
    for (int n = 0; n < 256 && m_endlessNextUs <= nowUs; ++n) {
        out += kStream[m_endlessChars++ % kStream.size()];
        m_endlessNextUs += CharUs;
    }
}

int64_t SimEngine::nextOutputUs() const {
    if (m_endless && m_segmentHead >= m_segments.size())
        return m_endlessNextUs;
    if (m_segmentHead >= m_segments.size())
        return -1;
    const Segment& s = m_segments[m_segmentHead];
    return m_pace ? std::max(s.notBeforeUs, m_lineFreeUs) + CharUs : s.notBeforeUs;
}

std::string SimEngine::takeAllOutput() {
    std::string out = m_out.substr(m_outHead);
    m_segments.clear();
    m_segmentHead = 0;
    m_out.clear();
    m_outHead = 0;
    return out;
}

void SimEngine::handleCommand(int64_t nowUs) {
    ++m_count;
    if (m_transcript)
        m_transcript(m_count, nowUs, m_line);
    m_cmd = m_line;
    for (char& c : m_cmd)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    if (m_dropped || m_silent)
        return;

    const bool isAT = m_cmd.starts_with("AT");
    const bool viaKLine = isAT ? m_cmd.starts_with("ATD") : m_unit != nullptr && !m_cmd.empty();
    const int64_t notBefore = nowUs + (viaKLine ? m_klineUs : 0);
    m_replyStart = m_out.size();
    m_endless = false; // spoken to, the device comes to its senses
    bool noPrompt = false;
    bool extraLine = false;
    if (applyFaults(notBefore, &noPrompt, &extraLine))
        return;
    dispatch();
    if (extraLine)
        line("OK");
    if (!noPrompt)
        m_replies.prompt();
    endReply(notBefore);
}

bool SimEngine::applyFaults(int64_t notBeforeUs, bool* noPrompt, bool* extraLine) {
    for (ArmedFault& af : m_faults) {
        if (af.fired)
            continue;
        const SimFault& f = af.fault;
        bool hit = f.atCount == m_count;
        if (!f.atText.empty() && m_cmd == f.atText)
            hit = ++af.seen == f.occurrence;
        if (!hit)
            continue;
        af.fired = true;
        switch (f.kind) {
        case SimFault::Silence:
            m_silent = true;
            return true;
        case SimFault::Unplug:
            m_dropped = true;
            return true;
        case SimFault::DataError:
            line("DATA ERROR");
            m_replies.prompt();
            endReply(notBeforeUs);
            return true;
        case SimFault::Garbage:
            line(kGarbage);
            m_replies.prompt();
            endReply(notBeforeUs);
            return true;
        case SimFault::LongLine:
            m_out.append(LongLineChars, 'X');
            endReply(notBeforeUs);
            return true;
        case SimFault::NoPrompt:
            *noPrompt = true;
            break;
        case SimFault::Error:
            line("ERROR");
            m_replies.prompt();
            endReply(notBeforeUs);
            return true;
        case SimFault::ExtraLine:
            *extraLine = true;
            break;
        case SimFault::Endless:
            m_endless = true;
            m_endlessNextUs = notBeforeUs;
            return true;
        case SimFault::CrLf:
            m_replies.setCrLf(true);
            break;
        }
    }
    return false;
}

void SimEngine::dispatch() {
    if (m_lineOverflow) {
        line("?");
        return;
    }
    const std::string_view c = m_cmd;
    if (c.empty()) {
        line("OK");
    } else if (c.starts_with("AT")) {
        atCommand(c.substr(2));
    } else if (!m_unit) {
        line("ERROR");
    } else {
        unitRequest(c);
    }
}

void SimEngine::atCommand(std::string_view cmd) {
    unsigned v = 0;
    if (cmd == "Z") {
        disconnect();
        m_baudCode = 0;
        m_replies.reset("Vandrix Pro v" + m_scenario.chipVersion);
    } else if (cmd == "I") {
        line("Vandrix Pro v" + m_scenario.chipVersion);
    } else if ((cmd.starts_with("IBT") || cmd.starts_with("BDT")) && cmd.size() <= 5 &&
               ChipReplies::hexValue(cmd.substr(3), &v)) {
        // The timing only matters on a real K-line.
    } else if (cmd.size() == 2 && cmd[0] == 'N' && cmd[1] >= '0' && cmd[1] <= '5') {
        m_baudCode = cmd[1] - '0';
    } else if (cmd.starts_with("D") && cmd.size() <= 3 &&
               ChipReplies::hexValue(cmd.substr(1), &v)) {
        connect(int(v));
    } else if (cmd.size() == 2 && cmd[0] == 'A' && cmd[1] >= '0' && cmd[1] <= '5' &&
               m_scenario.analogPresent[size_t(cmd[1] - '0')]) {
        const SimValue& a = m_scenario.analog[size_t(cmd[1] - '0')];
        hexLine(clampTo(a.at(m_nowUs / 1000, uint32_t(cmd[1])), 1023), 3);
    } else if (cmd == "H") {
        disconnect();
    } else {
        line("?");
    }
}

void SimEngine::connect(int address) {
    disconnect();
    const int index = m_unitIndex[size_t(address) & 0xFF];
    if (address > 0xFF || index < 0) {
        line("ERROR");
        return;
    }
    m_unit = &m_scenario.units[size_t(index)];
    m_unitState = &m_state[size_t(index)];
    m_unitState->outputStep = 0;
    m_replies.connectLine(m_baudCode ? m_baudCode : m_unit->baudCode, m_unit->protocol);
    identification();
}

void SimEngine::disconnect() {
    m_unit = nullptr;
    m_unitState = nullptr;
}

void SimEngine::identification() {
    const UnitState& st = *m_unitState;
    m_replies.identification(m_unit->ident, st.coding, st.workshopCode, m_unit->deviceNumber,
                             m_unit->importer);
}

void SimEngine::refuse() {
    line(m_unit->refuseWord);
}

void SimEngine::unitRequest(std::string_view cmd) {
    for (const std::string& p : m_unit->refuse)
        if (cmd.starts_with(p)) {
            refuse();
            return;
        }
    unsigned dummy = 0;
    if (cmd.size() % 2 != 0 || cmd.size() > 10 ||
        !ChipReplies::hexValue(cmd.substr(0, 2), &dummy) ||
        (cmd.size() > 2 && !ChipReplies::hexValue(cmd.substr(2), &dummy))) {
        line("?");
        return;
    }
    const std::string_view svc = cmd.substr(0, 2);
    const std::string_view rest = cmd.substr(2);
    unsigned arg = 0;
    ChipReplies::hexValue(rest, &arg);
    const int64_t t = m_nowUs / 1000;
    const uint32_t salt = uint32_t(m_unit->address) << 20;
    UnitState& st = *m_unitState;

    if ((svc == "08" || svc == "04") && rest.size() == 2) {
        const bool basic = svc == "04";
        if (arg == 0) {
            const auto& list = basic && !m_unit->rawBasic.empty() ? m_unit->rawBasic : m_unit->raw;
            if (list.empty())
                return refuse();
            for (size_t i = 0; i < list.size(); ++i)
                hexLine(clampTo(list[i].at(t, salt | uint32_t(i)), 255), 2);
            return;
        }
        const SimBlock& b = basic && !m_unit->basicGroups[arg].empty() ? m_unit->basicGroups[arg]
                                                                       : m_unit->groups[arg];
        if (b.empty())
            return refuse();
        return triplets(b, salt | (arg << 8));
    }
    if (svc == "09" && rest.size() == 2) {
        if (!m_unit->singlePresent[arg])
            return refuse();
        const unsigned v = clampTo(m_unit->singles[arg].at(t, salt | 0x80000 | arg), 65535);
        return hexLine(v, v > 255 ? 4 : 2);
    }
    if (svc == "02" && rest.empty()) {
        if (!m_unit->dtcSupported)
            return line("0A");
        if (st.dtcs.empty())
            return line("FFFF 88"); // the unit's own "no fault" entry
        for (const SimDtc& d : st.dtcs)
            m_replies.faultLine(unsigned(d.code), unsigned(d.status));
        return;
    }
    if (svc == "05" && rest.empty()) {
        st.dtcs.clear();
        // Clearing the fault memory also resets the readiness tests.
        if (st.readiness >= 0)
            st.readiness = 0xFF;
        return;
    }
    if (svc == "15" && rest.empty()) {
        if (st.readiness < 0)
            return refuse();
        return hexLine(unsigned(st.readiness), 2);
    }
    if (svc == "10" && (rest.size() == 2 || rest.size() == 6)) {
        const unsigned ch = arg >> (rest.size() == 6 ? 16 : 0);
        if (ch >= m_unit->channels.size() || !m_unit->channels[ch].present)
            return refuse();
        const SimChannel& c = m_unit->channels[ch];
        if (rest.size() == 6) {
            const int v = int(arg & 0xFFFF);
            if (v < c.min || v > c.max)
                return refuse();
            st.savedChannel[ch] = v;
            return hexLine(unsigned(v), 4);
        }
        const int current = st.savedChannel[ch] >= 0
                                ? st.savedChannel[ch]
                                : int(clampTo(c.value.at(t, salt | 0x40000 | ch), 65535));
        hexLine(unsigned(current), 4);
        return triplets(c.block, salt | 0x20000 | (ch << 8));
    }
    if (svc == "07" && rest.size() == 8) {
        const int coding = int(arg >> 16);
        // As the request catalogue has it: the identification with the new
        // values, or "?" when the unit refuses them; nothing in front.
        if (st.coding < 0 || coding > m_unit->codingMax)
            return line("?");
        st.coding = coding;
        st.workshopCode = int(arg & 0xFFFF);
        return identification();
    }
    if (svc == "11" && rest.size() == 8) {
        if (m_unit->loginCode < 0)
            return refuse();
        if (int(arg >> 16) == m_unit->loginCode)
            return line("OK");
        // A unit that is given a wrong login code ends the connection.
        refuse();
        return disconnect();
    }
    if (svc == "03" && rest.empty()) {
        const auto& steps = m_unit->outputTests;
        if (steps.empty())
            return refuse();
        if (st.outputStep < steps.size())
            return hexLine(unsigned(steps[st.outputStep++]), 4);
        st.outputStep = 0;
        return line("END");
    }
    refuse();
}

void SimEngine::line(std::string_view text) {
    m_replies.line(text);
}

void SimEngine::hexLine(unsigned value, int digits) {
    m_replies.hexLine(value, digits);
}

void SimEngine::triplets(const SimBlock& block, uint32_t salt) {
    const int64_t t = m_nowUs / 1000;
    for (size_t i = 0; i < block.size(); ++i) {
        const SimField& f = block[i];
        const uint32_t s = salt | (uint32_t(i) << 2);
        m_replies.triplet(clampTo(f.type.at(t, s), 255), clampTo(f.a.at(t, s | 1), 255),
                          clampTo(f.b.at(t, s | 2), 255));
    }
}

void SimEngine::endReply(int64_t notBeforeUs) {
    if (m_out.size() > m_replyStart)
        m_segments.push_back({m_out.size(), notBeforeUs});
}
