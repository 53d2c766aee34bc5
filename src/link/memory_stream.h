#pragma once
// A byte stream in memory, for tests and fuzz targets: input is scripted
// (now or at a later Clock time), writes are recorded, a responder can answer
// each write, and a hang-up or a refused open comes on demand. It never
// sleeps: with its own clock installed, a wait for silence moves that clock
// to the end of the wait (or to the next scripted arrival) at once.
#include "link/byte_stream.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>

class MemoryByteStream : public ByteStream {
public:
    // Reads wait 1000 ms for their first byte, as on a connection.
    MemoryByteStream();
    ~MemoryByteStream() override;

    // Makes Clock follow this stream's virtual time (starting at startMs)
    // until the stream is destroyed; without it, silent waits end at once.
    void useVirtualClock(int64_t startMs = 0);
    int64_t nowMs() const { return m_nowMs; }

    // Bytes that become readable now, or once Clock reaches atMs.
    void feed(const QByteArray& bytes);
    void feedAt(int64_t atMs, const QByteArray& bytes);
    // Called with every write; what it returns becomes readable at once.
    void setResponder(std::function<QByteArray(const QByteArray& written)> responder) {
        m_responder = std::move(responder);
    }

    // Everything written since the last take.
    const QByteArray& written() const { return m_written; }
    QByteArray takeWritten();

    // The device goes away: buffered bytes can still be read, then reads fail.
    void hangUp() { m_hungUp = true; }
    // The next opens fail with this system error number (0: they succeed).
    void failOpen(int err) { m_openError = err; }
    // A write sends at most this many bytes (-1: all), like a write timeout.
    void limitWrites(qsizetype maxBytes) { m_writeLimit = maxBytes; }

    QString name() const override { return QStringLiteral("memory"); }
    bool Connected() const override { return m_open; }
    // Bytes fed and not yet read, arrivals still due included.
    qsizetype pending() const;

protected:
    void openDevice() override;
    void closeDevice() override;
    QByteArray readDevice(qsizetype maxBytes, int timeoutMs) override;
    qsizetype writeDevice(const QByteArray& bytes) override;
    bool waitDevice(int ms) override;
    void checkDevice() override;
    void discardDevice(bool input, bool output) override;

private:
    struct Arrival {
        int64_t atMs;
        QByteArray bytes;
    };
    int64_t now() const;
    // Moves arrivals that are due into the input.
    void deliver();

    bool m_open = false;
    bool m_hungUp = false;
    int m_openError = 0;
    qsizetype m_writeLimit = -1;
    bool m_virtualClock = false;
    int64_t m_nowMs = 0;
    QByteArray m_input;
    std::deque<Arrival> m_arrivals; // in time order
    QByteArray m_written;
    std::function<QByteArray(const QByteArray&)> m_responder;
};
