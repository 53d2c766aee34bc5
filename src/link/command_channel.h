#pragma once
// The line level of the dialogue with the interface: commands ended by CR,
// reply lines ended by CR, and the ">" prompt without CR.
#include "link/byte_stream.h"

#include <QString>
#include <functional>
#include <stdexcept>

// The interface was silent for 5 s or answered "DATA ERROR".
class EDataError : public std::runtime_error {
public:
    EDataError() : std::runtime_error("DATA ERROR") {}
};

class CommandChannel {
public:
    // Processes pending window messages; with maxWaitMs > 0 it may sleep that
    // long waiting for one (see qtMessagePump).
    using MessagePump = std::function<void(int maxWaitMs)>;

    explicit CommandChannel(ByteStream& port, MessagePump pump = {});

    void SendText(const QString& text);
    QString ReadReplyLine(bool appendCR);
    QString ReadReply(bool raiseOnError, bool appendCR);
    bool SendCommand(const QString& command);
    // Waits without burning a core; window messages keep flowing.
    void Pause(int milliseconds);

    QString LastReply;

    ByteStream& port() { return m_port; }
    void setMessagePump(MessagePump pump) { m_pump = std::move(pump); }
    void processMessages() { if (m_pump) m_pump(0); }
    // Sleeps until a window message arrives (at most maxWaitMs) and
    // processes what is pending.
    void waitForMessages(int maxWaitMs);

    static constexpr int SilenceLimitMs = 5000;
    // Longest time a wait leaves the window without processing its messages.
    static constexpr int PumpSliceMs = 50;

private:
    // Waits up to ms for one character, processing messages meanwhile.
    bool readChar(QChar& c, int ms);

    ByteStream& m_port;
    MessagePump m_pump;
};

// The program's pump: QCoreApplication's event processing, sleeping in the
// event loop (never spinning) up to maxWaitMs when nothing is pending.
void qtMessagePump(int maxWaitMs);
