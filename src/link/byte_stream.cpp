#include "link/byte_stream.h"

#include "config/clock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
QString systemReason(int err) {
    return err > 0 ? QString::fromLocal8Bit(strerror(err)) : QString();
}

QString messageFor(int code, int winCode, const QString& detail) {
    QString msg = ESerialPort::codeText(code);
    if (winCode >= 0)
        msg += QStringLiteral(" (Error: %1)").arg(winCode);
    if (!detail.isEmpty())
        msg += QStringLiteral(": ") + detail;
    return msg;
}
} // namespace

ESerialPort::ESerialPort(int code, int winCode, const QString& detail)
    : std::runtime_error(messageFor(code, winCode, detail).toStdString()), Code(code),
      WinCode(winCode), Reason(detail.isEmpty() ? systemReason(winCode) : detail) {}

QString ESerialPort::codeText(int code) {
    switch (code) {
    case SE_OpenFailed:
        return QStringLiteral("Unable to open com port");
    case SE_WriteFailed:
        return QStringLiteral("WriteFile function failed");
    case SE_ReadFailed:
        return QStringLiteral("ReadFile function failed");
    case SE_PurgeFailed:
        return QStringLiteral("PurgeComm function failed");
    case SE_SetStateFailed:
        return QStringLiteral("SetCommState function failed");
    case SE_TimeoutsFailed:
        return QStringLiteral("SetCommTimeouts failed");
    case SE_SetupComFailed:
        return QStringLiteral("SetupComm function failed");
    case SE_ClearComFailed:
        return QStringLiteral("ClearCommError function failed");
    case SE_PortNotOpen:
        return QStringLiteral("Port Not Open");
    default:
        return QStringLiteral("Serial port error %1").arg(code);
    }
}

ESerialPort ESerialPort::hungUp(int code) {
    return ESerialPort(code, EIO, QStringLiteral("the device hung up"));
}

template <typename F> auto ByteStream::observed(F&& operation) -> decltype(operation()) {
    try {
        return operation();
    } catch (const ESerialPort& e) {
        if (m_observer)
            m_observer->streamFailed(QString::fromLocal8Bit(e.what()), Clock::nowMs());
        throw;
    }
}

void ByteStream::noteEvent(const QByteArray& what) {
    if (m_observer)
        m_observer->streamNote(what, Clock::nowMs());
}

void ByteStream::Open() {
    if (Connected())
        return;
    observed([this] { openDevice(); });
    if (m_observer)
        m_observer->streamOpened(name(), Clock::nowMs());
}

void ByteStream::Close() {
    if (!Connected())
        return;
    observed([this] { closeDevice(); });
    if (m_observer)
        m_observer->streamClosed(Clock::nowMs());
}

QByteArray ByteStream::read(qsizetype maxBytes, int timeoutMs) {
    if (!Connected())
        throw ESerialPort(SE_PortNotOpen, -1);
    if (maxBytes <= 0)
        return {};
    QByteArray bytes = observed([&] { return readDevice(maxBytes, timeoutMs); });
    if (m_observer && !bytes.isEmpty())
        m_observer->bytesReceived(bytes, Clock::nowMs());
    return bytes;
}

qsizetype ByteStream::write(const QByteArray& bytes) {
    if (!Connected())
        throw ESerialPort(SE_PortNotOpen, -1);
    if (bytes.isEmpty())
        return 0;
    const qsizetype done = observed([&] { return writeDevice(bytes); });
    if (m_observer && done > 0)
        m_observer->bytesSent(bytes.left(done), Clock::nowMs());
    return done;
}

bool ByteStream::WaitReadable(int ms) {
    if (!Connected())
        throw ESerialPort(SE_PortNotOpen, -1);
    return observed([&] { return waitDevice(ms); });
}

bool ByteStream::WaitReadable(int ms, const std::function<void(int)>& idle,
                              bool idleRunsEventLoop) {
    if (!Connected())
        throw ESerialPort(SE_PortNotOpen, -1);
    return observed([&] { return waitWhileIdle(ms, idle, idleRunsEventLoop); });
}

bool ByteStream::waitWhileIdle(int ms, const std::function<void(int)>& idle, bool) {
    const int64_t deadline = Clock::nowMs() + ms;
    for (;;) {
        const int64_t left = deadline - Clock::nowMs();
        if (waitDevice(int(std::clamp<int64_t>(left, 0, IdleSliceMs))))
            return true;
        if (Clock::nowMs() >= deadline)
            return false;
        if (idle)
            idle(0);
    }
}

void ByteStream::CheckHangUp() {
    if (!Connected())
        throw ESerialPort(SE_PortNotOpen, -1);
    observed([this] { checkDevice(); });
}

void ByteStream::ClearBuffer(bool input, bool output) {
    if (!Connected())
        throw ESerialPort(SE_PortNotOpen, -1);
    observed([&] { discardDevice(input, output); });
}

int ByteStream::readWaitMs() const {
    if (m_timeouts.ReadTotalMultiplier == 0 && m_timeouts.ReadTotalConstant == 0)
        return 0;
    if (m_timeouts.ReadTotalMultiplier == -1)
        return m_timeouts.ReadTotalConstant;
    return m_timeouts.ReadTotalMultiplier + m_timeouts.ReadTotalConstant;
}

int ByteStream::ReadStr(QString& str, int count) {
    str.clear();
    const QByteArray bytes = read(count, readWaitMs());
    str.reserve(bytes.size());
    for (const char b : bytes)
        str += QChar(static_cast<unsigned char>(b));
    return int(bytes.size());
}

int ByteStream::WriteStr(const QString& str) {
    QByteArray bytes(str.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < str.size(); ++i)
        bytes[i] = char(str[i].unicode() & 0xFF);
    return int(write(bytes));
}
