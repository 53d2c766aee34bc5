#pragma once
// The line seam: what the protocol needs of a K-line cable. The termios
// driver (real converters, pseudo-terminals) and the virtual K-line (tests)
// implement it; the runner drives an endpoint through it.
#include "kline/kline_types.h"

#include <cstddef>

namespace kline {

struct PortResult {
    bool ok = true;
    // The converter lacks the operation (ENOTTY, EINVAL): not a failure of
    // the device, but the caller must do without it.
    bool unsupported = false;
    int error = 0; // errno when not ok
    static PortResult failure(int err, bool lacking = false) { return {false, lacking, err}; }
};

class KLinePort {
public:
    virtual ~KLinePort() = default;
    // The port's clock.
    virtual Micros now() const = 0;
    // Sets the UART rate both ways; *actual is what the device took.
    virtual PortResult setRate(int baud, int* actual) = 0;
    // Holds the line low (on) or releases it, at once.
    virtual PortResult setBreak(bool on) = 0;
    virtual PortResult write(const uint8_t* bytes, size_t count) = 0;
    // Drops what has been received and not yet taken.
    virtual PortResult flushInput() = 0;
    // Takes up to max received bytes, each with its (estimated) arrival;
    // -1 when the device failed.
    virtual long receive(RxByte* out, size_t max) = 0;
    virtual PortResult setModemLines(bool dtr, bool rts) = 0;
    // The converter's short receive latency where it has one.
    virtual PortResult setLowLatency(bool on) = 0;
    // How late received bytes reach us, as the converter's driver states it
    // (a latency timer); -1 when it does not say.
    virtual Micros receiveLatency() const { return -1; }
    // Waits until deadline (absolute, on now()'s clock) or until input is
    // there, whichever comes first. False when the device failed.
    virtual bool waitUntil(Micros deadline) = 0;
    // Ends a waitUntil under way in another thread at once; safe from any
    // thread. A port only ever waited on from one thread need not have it.
    virtual void interrupt() {}
};

} // namespace kline
