#pragma once
// The byte stream under the command channel: the port's operations (open,
// close, read, write, discard) for any transport. The termios port is one
// implementation, MemoryByteStream another. Every byte to or from the
// interface passes read() and write() here, the one place a TrafficObserver
// sees the traffic; nothing else logs bytes.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <stdexcept>

enum SerialErrorCode {
    SE_OpenFailed = 1,
    SE_WriteFailed = 2,
    SE_ReadFailed = 3,
    SE_PurgeFailed = 5,
    SE_SetStateFailed = 7,
    SE_TimeoutsFailed = 8,
    SE_SetupComFailed = 9,
    SE_ClearComFailed = 10,
    SE_PortNotOpen = 24,
};

// What every byte stream raises when the device fails.
class ESerialPort : public std::runtime_error {
public:
    // winCode is the system error number (errno), or -1 when there is none.
    ESerialPort(int code, int winCode, const QString& detail = QString());
    int Code;
    int WinCode;
    // The system's reason ("No such file or directory"), empty when none.
    QString Reason;
    static QString codeText(int code);
    // The failure of a device that has gone (an adapter pulled out).
    static ESerialPort hungUp(int code = SE_ReadFailed);
};

// Sees every byte that passes a stream, with the Clock time it passed.
class TrafficObserver {
public:
    virtual ~TrafficObserver() = default;
    virtual void bytesSent(const QByteArray& bytes, int64_t timeMs) = 0;
    virtual void bytesReceived(const QByteArray& bytes, int64_t timeMs) = 0;
    // The stream opened the named device, closed it, or failed (hang-up,
    // device error); a replay needs these to end where the original ended.
    virtual void streamOpened(const QString& /*name*/, int64_t /*timeMs*/) {}
    virtual void streamClosed(int64_t /*timeMs*/) {}
    virtual void streamFailed(const QString& /*what*/, int64_t /*timeMs*/) {}
    // What the dialogue above the stream made of the traffic, where the bytes
    // alone do not say it (why a reply was given up).
    virtual void streamNote(const QByteArray& /*what*/, int64_t /*timeMs*/) {}
    // Below the text, on a plain K-line cable: the line's own bytes (sent by
    // the cable, or read back, its echo included) and the edges of a break
    // (lengthMs the time it was held low), timeUs on Clock::nowUs().
    virtual void kLineBytes(bool /*sent*/, const QByteArray& /*bytes*/, int64_t /*timeUs*/) {}
    virtual void kLineBreak(bool /*low*/, int /*lengthMs*/, int64_t /*timeUs*/) {}
};

// The port's timeouts in ms. A read waits for its first byte: not at all
// when both totals are 0, ReadTotalConstant when the multiplier is -1, else
// multiplier + constant. A write of n bytes ends after WriteTotalMultiplier x n
// + WriteTotalConstant with what was sent.
struct TSerialTimeouts {
    int ReadInterval = -1;
    int ReadTotalMultiplier = 0;
    int ReadTotalConstant = 0;
    int WriteTotalMultiplier = 100;
    int WriteTotalConstant = 1000;
};

class ByteStream {
public:
    ByteStream() = default;
    virtual ~ByteStream() = default;
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;

    // Every operation raises ESerialPort when the device fails, with
    // SE_PortNotOpen when the stream is closed. Opening an open stream and
    // closing a closed one do nothing.
    void Open();
    void Close();
    virtual bool Connected() const = 0;
    // The device it opens, for messages and the observer.
    virtual QString name() const = 0;

    // Waits up to timeoutMs (0: not at all) for the first byte, then returns
    // at most maxBytes of what has arrived; empty when nothing came.
    QByteArray read(qsizetype maxBytes, int timeoutMs);
    // Returns how many bytes went out before the write timeout.
    qsizetype write(const QByteArray& bytes);
    // Whether a byte can be read within ms.
    bool WaitReadable(int ms);
    // The wait seam: whether a byte can be read within ms, calling idle while
    // nothing has come. idle(maxMs) lets the rest of the program run and may
    // sleep up to maxMs; with idleRunsEventLoop it sleeps in Qt's event loop,
    // which a stream that can wake that loop (a descriptor) uses to sleep the
    // whole wait there. Otherwise the stream looks in short slices.
    bool WaitReadable(int ms, const std::function<void(int)>& idle, bool idleRunsEventLoop);
    // The longest slice a wait spends without calling idle, where the stream
    // cannot wake the event loop itself.
    static constexpr int IdleSliceMs = 50;
    // Raises when the device has hung up, even while unread bytes are buffered.
    void CheckHangUp();
    void ClearBuffer(bool input, bool output);
    const TSerialTimeouts& Timeouts() const { return m_timeouts; }
    void SetReadInterval(int ms) { m_timeouts.ReadInterval = ms; }
    void SetReadTotalMultiplier(int ms) { m_timeouts.ReadTotalMultiplier = ms; }
    void SetReadTotalConstant(int ms) { m_timeouts.ReadTotalConstant = ms; }
    // How long one ReadStr waits for its first byte under the timeouts.
    int readWaitMs() const;

    // Characters as bytes: each byte becomes the character of the same code,
    // each character goes out as its low byte. Reads wait readWaitMs().
    int ReadStr(QString& str, int count);
    int WriteStr(const QString& str);

    // Passes a note of the dialogue to the observer, with the time.
    void noteEvent(const QByteArray& what);
    // The DTR line, where the stream has one (some plain cables take their
    // supply from it); others ignore it.
    virtual void SetDTR(bool /*on*/) {}

    // One observer at a time; nullptr detaches. Not owned.
    void setTrafficObserver(TrafficObserver* observer) { m_observer = observer; }
    TrafficObserver* trafficObserver() const { return m_observer; }

protected:
    // The transport's side: openDevice runs only while closed, the others
    // only while open; the operations above see to that.
    virtual void openDevice() = 0;
    virtual void closeDevice() = 0;
    virtual QByteArray readDevice(qsizetype maxBytes, int timeoutMs) = 0;
    virtual qsizetype writeDevice(const QByteArray& bytes) = 0;
    virtual bool waitDevice(int ms) = 0;
    // The wait seam's device side; by default slices of waitDevice with idle
    // between them.
    virtual bool waitWhileIdle(int ms, const std::function<void(int)>& idle,
                               bool idleRunsEventLoop);
    virtual void checkDevice() = 0;
    virtual void discardDevice(bool input, bool output) = 0;

private:
    // Runs a device operation; a failure is shown to the observer, then raised.
    template <typename F> auto observed(F&& operation) -> decltype(operation());

    TrafficObserver* m_observer = nullptr;
    TSerialTimeouts m_timeouts;
};
