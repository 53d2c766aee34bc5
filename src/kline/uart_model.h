#pragma once
// What a UART makes of the level on one wire: frames found by their falling
// start edge, sampled in the middle of each bit at the receiver's own rate.
// A receiver at another rate than the sender gets the garbage a real one
// would; a long low gives one zero byte with a framing error.
#include "kline/kline_types.h"

#include <utility>
#include <vector>

namespace kline {

// Levels driven onto the wire by one source: transitions in time order,
// high before the first.
class Drive {
public:
    void set(Micros t, bool high);
    bool levelAt(Micros t) const;
    // Drives bytes at rate from start on; returns when the last stop bit ends.
    Micros frames(const std::vector<uint8_t>& bytes, int rate, Micros start);
    // Forgets transitions before t that no longer decide a level.
    void forgetBefore(Micros t);
    const std::vector<std::pair<Micros, bool>>& transitions() const { return m_edges; }

private:
    std::vector<std::pair<Micros, bool>> m_edges;
};

// The wire is low while any source drives it low.
class Wire {
public:
    explicit Wire(std::vector<const Drive*> sources) : m_sources(std::move(sources)) {}
    bool levelAt(Micros t) const;
    // The first time after t at which the wire goes from high to low; -1.
    Micros nextFall(Micros after) const;

private:
    std::vector<const Drive*> m_sources;
};

// One receiver's progress along a wire.
class UartReceiver {
public:
    // Decodes every frame whose stop bit is sampled by now.
    void decode(const Wire& wire, int rate, Micros now, std::vector<RxByte>& out);
    // When the frame now on the wire will be complete; -1 when none has begun.
    Micros nextCompletion(const Wire& wire, int rate) const;
    Micros position() const { return m_pos; }
    void skipTo(Micros t) {
        if (t > m_pos)
            m_pos = t;
    }

private:
    Micros m_pos = -1;
};

// Pure helper: bytes sent at sendRate as a receiver at recvRate decodes them.
std::vector<RxByte> resample(const std::vector<uint8_t>& bytes, int sendRate, int recvRate);

} // namespace kline
