#pragma once
// The real serial port and command channel on a pseudo-terminal, for targets
// that read what an interface sends. The input is put into the terminal as
// if the interface had sent it all at once; then the clock only moves while
// nothing is left to read, so the 5 s of silence after the input's end pass
// at once and a run takes microseconds, not seconds.
#include "link/command_channel.h"
#include "link/serial_port.h"

#include <QByteArray>
#include <cstdint>

class PtyChannel {
public:
    // What one input may hold: the terminal's read queue takes 4095 bytes.
    static constexpr qsizetype MaxInput = 4000;

    PtyChannel();
    ~PtyChannel();
    PtyChannel(const PtyChannel&) = delete;
    PtyChannel& operator=(const PtyChannel&) = delete;

    // Discards what an earlier input left unread and what the program sent,
    // then puts bytes (at most MaxInput) where the port will read them.
    void feed(const QByteArray& bytes);
    // What the program sent since the last feed.
    QByteArray sent();

    CommandChannel& channel() { return m_channel; }
    TSerialPort& port() { return m_port; }

private:
    int m_master = -1;
    int m_slave = -1;
    int64_t m_clockMs = 0;
    TSerialPort m_port;
    CommandChannel m_channel{m_port};
};
