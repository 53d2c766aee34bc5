#pragma once
// The line seam on a real serial device (a USB converter with a K-line
// transceiver, a native UART, or a pseudo-terminal in tests): any rate through
// termios2 and read back, breaks held and released at once (never the
// blocking tcsendbreak), the converter's low-latency mode where its driver
// has one, DTR and RTS as the cable needs. An operation the device lacks
// (ENOTTY, EINVAL) comes back as unsupported, never as a crash.
#include "kline/kline_port.h"

#include <string>

namespace kline {

class TermiosKLine : public KLinePort {
public:
    TermiosKLine() = default;
    ~TermiosKLine() override;
    TermiosKLine(const TermiosKLine&) = delete;
    TermiosKLine& operator=(const TermiosKLine&) = delete;

    // Opens the device exclusively in raw mode, 8N1 at rate. Errno on failure.
    PortResult open(const std::string& path, int rate = 10400);
    // Takes an open descriptor instead (tests); the port closes it.
    PortResult adopt(int fd, int rate = 10400);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // How much earlier than the read a byte is taken to have arrived: the
    // converter's latency, as far as it is known.
    void setArrivalSkew(Micros skew) { m_skew = skew; }
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

    static Micros monotonicNow();

private:
    int m_fd = -1;
    int m_rate = 10400;
    Micros m_skew = 0;
};

// termios2 calls, in a file of their own: the kernel's struct cannot share a
// translation unit with the C library's <termios.h>. Return 0 or an errno.
int termios2SetRate(int fd, int baud);
int termios2GetRate(int fd, int* baud);

} // namespace kline
