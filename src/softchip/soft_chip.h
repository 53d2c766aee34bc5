#pragma once
// The chip's text dialogue answered by the program itself for a plain
// K-line cable: commands in, the chip's reply lines out, the protocol core
// doing on the wire what the chip would. Free of I/O and threads, like the
// core: a runner drives core() on a line, and update() turns what the core
// did into reply text (SoftChipStream puts both behind a ByteStream).
//
// It differs from a chip only where a cable must: no voltages ("ATA" is
// answered "?"), 10400 baud has the speed code 6 in the CONNECT line, and
// while a unit is being dialled a lone CR goes out before every retry and
// whenever 4 s passed without a character, so the program never waits 5 s.
#include "softchip/chip_replies.h"

#include "kline/kline_core.h"

#include <deque>
#include <string>
#include <string_view>

struct SoftChipOptions {
    kline::Timing timing;
    kline::FiveBaudMethod method = kline::FiveBaudMethod::BreakEdges;
};

class SoftChip {
public:
    // The chip name line of the reset answer. A version below 2.0 tells the
    // program there are no voltage inputs.
    static constexpr std::string_view NameLine = "Vandrix Pro SW v1.0";
    // Longest time without a character while a unit is dialled.
    static constexpr kline::Micros FillerAfter = kline::msec(4000);
    static constexpr size_t MaxCommandChars = 256;

    explicit SoftChip(const SoftChipOptions& options = {});

    // The endpoint a LineRunner drives.
    kline::KLineCore& core() { return m_core; }

    // Bytes from the program, at now.
    void receive(std::string_view bytes, kline::Micros now);
    // Turns the core's events into replies and starts queued commands.
    // True when anything happened.
    bool update(kline::Micros now);
    // When update() next has something timed to do; -1 when nothing.
    kline::Micros deadline() const;
    // The reply text written since the last take.
    std::string takeOutput();
    bool hasOutput() const { return !m_out.empty(); }
    // A command is being carried out on the line.
    bool busy() const { return m_busy != Busy::None; }
    // The address of the unit in session, 0 when none.
    int connectedAddress() const { return m_core.connected() ? m_address : 0; }

private:
    enum class Busy : uint8_t { None, Dialling, Identifying, Serving, Ending };

    void next(kline::Micros now);
    void handle(const std::string& cmd, kline::Micros now);
    void atCommand(std::string_view cmd, kline::Micros now);
    void unitRequest(std::string_view cmd, kline::Micros now);
    void reply(const kline::Reply& r);
    void done();
    void drop(kline::Micros now);

    SoftChipOptions m_options;
    kline::KLineCore m_core;
    std::string m_out;
    ChipReplies m_replies;
    std::string m_line;
    bool m_overflow = false;
    std::deque<std::string> m_commands; // complete, upper case; "\x01" an overflow
    Busy m_busy = Busy::None;
    int m_fixedRate = 0; // 0: automatic
    int m_address = 0;
    bool m_lost = false; // the link dropped under a session
    kline::Micros m_lastChar = 0;
};
