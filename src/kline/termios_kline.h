#pragma once
// The line seam on a real serial device (a USB converter with a K-line
// transceiver, a native UART, or a pseudo-terminal in tests): any rate through
// termios2 and read back, breaks held and released at once (never the
// blocking tcsendbreak), the converter's low-latency mode where its driver
// has one, DTR and RTS as the cable needs. An operation the device lacks
// (ENOTTY, EINVAL) comes back as unsupported, never as a crash.
#include "kline/kline_port.h"

#include <string>
#include <utility>

namespace kline {

class TermiosKLine : public KLinePort {
public:
    TermiosKLine();
    ~TermiosKLine() override;
    TermiosKLine(const TermiosKLine&) = delete;
    TermiosKLine& operator=(const TermiosKLine&) = delete;

    // Opens the device exclusively in raw mode, 8N1 at rate, and sets the
    // cable up: DTR on (many transceivers take their supply from it), RTS off
    // (on some cables it pulls the line low), the converter's low latency,
    // and the arrival stamps to match. Errno on failure; what the converter
    // lacks is only noted in setup().
    PortResult open(const std::string& path, int rate = 10400);
    // Takes an open descriptor instead (tests); the port closes it.
    PortResult adopt(int fd, int rate = 10400);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // How much earlier than the read a byte is taken to have arrived: the
    // converter's latency, as far as it is known.
    void setArrivalSkew(Micros skew) { m_skew = skew; }
    Micros arrivalSkew() const { return m_skew; }
    // Where open() reads the converter's latency timer (tests: a fake /sys).
    void setSysRoot(std::string root) { m_sysRoot = std::move(root); }
    // The latency timer open() read, -1 when the driver has none.
    Micros receiveLatency() const override { return m_latency; }
    // What open() could set up on the converter.
    struct Setup {
        PortResult modemLines;
        PortResult lowLatency;
    };
    const Setup& setup() const { return m_setup; }
    // The rate the device reports now (0 when it cannot be read).
    int currentRate() const;

    Micros now() const override;
    PortResult setRate(int baud, int* actual) override;
    PortResult setBreak(bool on) override;
    PortResult write(const uint8_t* bytes, size_t count) override;
    PortResult flushInput() override;
    long receive(RxByte* out, size_t max) override;
    PortResult setModemLines(bool dtr, bool rts) override;
    PortResult setLowLatency(bool on) override;
    bool waitUntil(Micros deadline) override;
    void interrupt() override;

    static Micros monotonicNow();

private:
    int m_fd = -1;
    int m_wake = -1; // an eventfd that ends a wait
    int m_rate = 10400;
    Micros m_skew = 0;
    Micros m_latency = -1;
    std::string m_sysRoot = "/sys";
    Setup m_setup;
};

// The latency timer of the converter behind devicePath (symbolic links
// followed) in ms, as its driver shows it under sysRoot; -1 when the driver
// has none (only some USB converters keep received bytes back on a timer).
int latencyTimerMs(const std::string& devicePath, const std::string& sysRoot = "/sys");

// termios2 calls, in a file of their own: the kernel's struct cannot share a
// translation unit with the C library's <termios.h>. Return 0 or an errno.
int termios2SetRate(int fd, int baud);
int termios2GetRate(int fd, int* baud);

} // namespace kline
