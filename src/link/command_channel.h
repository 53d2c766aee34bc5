#pragma once
// The line level of the dialogue with the interface: commands ended by CR,
// reply lines ended by CR, and the ">" prompt without CR.
#include "link/byte_stream.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>

// Why a dialogue broke off with "DATA ERROR".
enum class DataErrorReason {
    InterfaceSaid, // the interface sent "DATA ERROR" itself
    Silence,       // no reply line for 5 s
    NoPrompt,      // a reply began, but its ">" never came
    EndlessLine,   // a line longer than any the interface sends
};

// The reason as a recording's event names it: "data error: silence" and so
// on; the words stay English whatever the language, as every event's do.
QByteArray DataErrorEventText(DataErrorReason reason);

// The interface was silent for 5 s, answered "DATA ERROR" or sent what no
// interface sends; reason says which.
class EDataError : public std::runtime_error {
public:
    explicit EDataError(DataErrorReason why = DataErrorReason::Silence);
    DataErrorReason reason;
};

// The words the chip answers instead of data. The command channel takes a
// command as refused on any of its own words; the connection set-up waits
// end on the set-up's words.
struct ChipErrorWords {
    static const QStringList& channel(); // "ERROR", "?", "NA", a lone CR, "", "DATA ERROR"
    static const QStringList& setUp();   // "ERROR", "DATA ERROR"
    static bool isChannelWord(const QString& line);
    static bool isSetUpWord(const QString& line);
};

// The user asked to stop (Disconnect) while a wait was under way; the wait
// ends at once, whatever the interface is still sending.
class ECancelled : public std::runtime_error {
public:
    ECancelled() : std::runtime_error("cancelled") {}
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

    ByteStream& port() { return *m_port; }
    // Talks through another stream from now on (a port made afresh).
    void setPort(ByteStream& port) { m_port = &port; }
    void setMessagePump(MessagePump pump);
    // Asked inside every wait; when it returns true the wait throws
    // ECancelled. Empty: waits run to their end.
    void setCancelCheck(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }
    // Waits up to ms for a character to arrive, processing messages; true when
    // one is there to read.
    bool WaitForInput(int ms);
    void processMessages() {
        if (m_pump)
            m_pump(0);
    }
    // Sleeps until a window message arrives (at most maxWaitMs) and
    // processes what is pending.
    void waitForMessages(int maxWaitMs);

    // Why a 5 s silence just now broke a dialogue: the middle of a reply
    // (its prompt missing) or before any line of it.
    DataErrorReason silenceReason() const {
        return m_midReply ? DataErrorReason::NoPrompt : DataErrorReason::Silence;
    }
    // Raises EDataError after telling the port's observer (the recording)
    // which reason broke the dialogue.
    [[noreturn]] void raiseDataError(DataErrorReason reason);

    static constexpr int SilenceLimitMs = 5000;
    // Longer than any reply line of the interface: a device that never ends
    // its line is a communication error, not a line still arriving.
    static constexpr int MaxLineChars = 512;

private:
    // Waits up to ms for one character, processing messages meanwhile.
    bool readChar(QChar& c, int ms);
    void checkCancelled() const {
        if (m_cancelled && m_cancelled())
            throw ECancelled();
    }

    ByteStream* m_port;
    MessagePump m_pump;
    bool m_pumpRunsEventLoop = false;
    std::function<bool()> m_cancelled;
    bool m_midReply = false; // a line of a reply came, its prompt not yet
};

// The program's pump: QCoreApplication's event processing, sleeping in the
// event loop (never spinning) up to maxWaitMs when nothing is pending.
void qtMessagePump(int maxWaitMs);
