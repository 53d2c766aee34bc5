#pragma once
// The simulated "Vandrix Pro" chip and the car behind it: bytes in, bytes out,
// on a clock the caller supplies (microseconds, any origin, never backwards).
//
// Every CR-terminated line received is one command (a lone CR too); commands
// are numbered from 1 in arrival order, which is what fault triggers and the
// transcript count. Replies are queued with the time they may leave, so a
// host can pace them at 19200 baud and delay requests that go over the K-line.
#include "sim/sim_scenario.h"
#include "softchip/chip_replies.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class SimEngine {
public:
    // Called for every command with its number, its arrival time and its text
    // (without the CR).
    using TranscriptSink = std::function<void(int number, int64_t timeUs, std::string_view)>;

    static constexpr int64_t CharUs = 520; // one character at 19200 baud, 8N1
    static constexpr size_t LongLineChars = 100000;
    static constexpr size_t MaxCommandChars = 256;

    explicit SimEngine(SimScenario scenario);

    void receive(std::string_view bytes, int64_t nowUs);
    // Appends every byte due by nowUs to out.
    void takeOutput(int64_t nowUs, std::string& out);
    // Time at which the next queued byte is due; -1 when nothing is queued.
    int64_t nextOutputUs() const;
    // Everything queued, whatever its time (for tests).
    std::string takeAllOutput();

    void setTranscriptSink(TranscriptSink sink) { m_transcript = std::move(sink); }
    void setPacing(bool on) { m_pace = on; }
    void setKLineDelayMs(int ms) { m_klineUs = int64_t(ms) * 1000; }
    void addFault(const SimFault& fault) { m_faults.push_back({fault, 0, false}); }

    // The "unplug" fault fired: the host must close the link.
    bool linkDropped() const { return m_dropped; }
    int commandCount() const { return m_count; }
    int connectedAddress() const { return m_unit ? m_unit->address : 0; }

private:
    struct UnitState {
        int coding = -1;
        int workshopCode = -1;
        std::vector<SimDtc> dtcs;
        int readiness = -1;
        std::vector<int> savedChannel; // -1: the scenario's value
        size_t outputStep = 0;
    };
    struct Segment {
        size_t end;
        int64_t notBeforeUs;
    };
    struct ArmedFault {
        SimFault fault;
        int seen;
        bool fired;
    };

    void handleCommand(int64_t nowUs);
    bool applyFaults(int64_t notBeforeUs, bool* noPrompt, bool* extraLine);
    void takeEndless(int64_t nowUs, std::string& out);
    void dispatch();
    void atCommand(std::string_view cmd);
    void unitRequest(std::string_view cmd);
    void connect(int address);
    void disconnect();
    void identification();
    void refuse();

    void line(std::string_view text);
    void hexLine(unsigned value, int digits);
    void triplets(const SimBlock& block, uint32_t salt);
    void endReply(int64_t notBeforeUs);

    SimScenario m_scenario;
    std::vector<UnitState> m_state; // parallel to m_scenario.units
    std::vector<int> m_unitIndex;   // address -> index into units, -1 absent
    const SimUnit* m_unit = nullptr;
    UnitState* m_unitState = nullptr;
    std::vector<ArmedFault> m_faults;

    std::string m_line; // command being received
    std::string m_cmd;  // the complete command, upper case
    bool m_lineOverflow = false;
    int m_count = 0;
    int64_t m_nowUs = 0;
    bool m_silent = false;
    bool m_dropped = false;
    bool m_pace = false;
    int64_t m_klineUs = 0;
    int m_baudCode = 0;
    bool m_endless = false; // a line without end is flowing
    int64_t m_endlessNextUs = 0;
    uint64_t m_endlessChars = 0;

    std::string m_out;
    ChipReplies m_replies; // writes into m_out
    size_t m_outHead = 0;
    size_t m_replyStart = 0;
    std::vector<Segment> m_segments;
    size_t m_segmentHead = 0;
    int64_t m_lineFreeUs = 0;

    TranscriptSink m_transcript;
};
