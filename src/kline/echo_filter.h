#pragma once
// Between driver and endpoint: a plain cable returns every byte it sends.
// Each echo is consumed and compared; a changed one is a bus fault. A cable
// that does not echo is recognised on the first write and tolerated.
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
    Verdict take(const RxByte& byte);
    // The oldest expected echo's deadline; -1 when none is outstanding.
    Micros deadline() const;
    // At the deadline: MissingEcho for an echoing cable; a cable still being
    // judged is taken to be one without echo.
    BusFault expire(Micros now);
    // A flush: outstanding echoes will not be looked for.
    void clear() { m_expected.clear(); }

private:
    struct Expected {
        uint8_t value;
        Micros deadline;
    };
    Mode m_mode;
    Micros m_slack = msec(20);
    Micros m_txFree = 0;
    std::deque<Expected> m_expected;
};

} // namespace kline
