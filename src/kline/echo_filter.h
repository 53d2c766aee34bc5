#pragma once
// Between driver and endpoint: a plain cable returns every byte it sends.
// Each echo is consumed and compared; a changed one is a bus fault. A cable
// that does not echo is recognised on the first write and tolerated.
//
// On one wire our echo comes before anything the unit sends after it, so an
// echo that is late (reported missing, or outstanding at a flush) is still
// looked for: the first byte that matches it is taken as that echo, never
// as the unit's; a byte that does not match ends the looking.
#include "kline/kline_types.h"

#include <deque>

namespace kline {

class EchoFilter {
public:
    enum class Mode : uint8_t { Detect, Present, Absent };
    enum class Verdict : uint8_t { Echo, Pass, Mismatch };

    explicit EchoFilter(Mode mode = Mode::Detect) : m_mode(mode) {}
    Mode mode() const { return m_mode; }
    void setMode(Mode m) { m_mode = m; }
    // How long after its last bit an echo may still come (converter latency).
    void setSlack(Micros slack) { m_slack = slack; }

    // Bytes written at now at rate; they leave one after the other.
    void expect(const std::vector<uint8_t>& bytes, Micros now, int rate);
    // takenAt: when the byte reached us (its arrival when not given).
    Verdict take(const RxByte& byte, Micros takenAt = -1);
    // The oldest expected echo's deadline; -1 when none is outstanding.
    Micros deadline() const;
    // At the deadline: MissingEcho for an echoing cable; a cable still being
    // judged is taken to be one without echo.
    BusFault expire(Micros now);
    // A flush: outstanding echoes may still come after it (converter latency).
    void clear();
    // How long after its byte's end a late echo is still taken as one.
    static constexpr Micros LateHorizon = msec(1000);
    // From the end of a sent byte to its echo's arrival: the converter's
    // latency as the protocol feels it. The longest seen; -1 before any.
    Micros longestRoundTrip() const { return m_longestRoundTrip; }
    // The converter's latency as the echoes show it: the longest round trip
    // short of a stall (one beyond LatencyCap is a held transfer, not the
    // converter's pace); -1 before any.
    Micros latencyEstimate() const { return m_latency; }
    // Beyond this no complement reaches the unit inside its 50 ms window:
    // no converter slower than this can speak the protocol at all.
    static constexpr Micros LatencyCap = msec(50);
    // While a cable is being judged, how long the first echo may take: a
    // slow converter is not to be taken for one without echo.
    static constexpr Micros JudgeSlack = msec(60);
    // How far a driver may stamp a byte before it came (its latency guessed).
    static constexpr Micros StampSlack = msec(5);

private:
    void learn(Micros roundTrip, bool inTime);
    struct Expected {
        uint8_t value;
        Micros sentStart;
        Micros sentEnd;
        Micros deadline;
    };
    Mode m_mode;
    Micros m_slack = msec(20);
    Micros m_txFree = 0;
    Micros m_longestRoundTrip = -1;
    Micros m_latency = -1;
    std::deque<Expected> m_expected;
    std::deque<Expected> m_late; // overdue, older than every one expected
};

} // namespace kline
