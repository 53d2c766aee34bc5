#include "link/command_channel.h"

#include "config/clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>

namespace {
constexpr QChar CR(13);
constexpr QChar LF(10);

} // namespace

EDataError::EDataError(DataErrorReason why) : std::runtime_error("DATA ERROR"), reason(why) {}

QByteArray DataErrorEventText(DataErrorReason reason) {
    const char* word = "silence";
    switch (reason) {
    case DataErrorReason::InterfaceSaid:
        word = "interface sent DATA ERROR";
        break;
    case DataErrorReason::Silence:
        word = "silence";
        break;
    case DataErrorReason::NoPrompt:
        word = "no prompt";
        break;
    case DataErrorReason::EndlessLine:
        word = "endless line";
        break;
    }
    return QByteArray("data error: ") + word;
}

void CommandChannel::raiseDataError(DataErrorReason reason) {
    m_port->noteEvent(DataErrorEventText(reason));
    throw EDataError(reason);
}

const QStringList& ChipErrorWords::channel() {
    static const QStringList words{QStringLiteral("ERROR"),
                                   QStringLiteral("?"),
                                   QStringLiteral("NA"),
                                   QString(CR),
                                   QString(),
                                   QStringLiteral("DATA ERROR")};
    return words;
}

const QStringList& ChipErrorWords::setUp() {
    static const QStringList words{QStringLiteral("ERROR"), QStringLiteral("DATA ERROR")};
    return words;
}

bool ChipErrorWords::isChannelWord(const QString& line) {
    // QStringList::contains does not tell the null string from the empty one.
    return line.isEmpty() || channel().contains(line);
}

bool ChipErrorWords::isSetUpWord(const QString& line) {
    return !line.isEmpty() && setUp().contains(line);
}

void qtMessagePump(int maxWaitMs) {
    if (maxWaitMs <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    // The timer only wakes the event loop at the deadline; any other event
    // wakes it sooner, so the caller loops until its own deadline.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(maxWaitMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

namespace {
// Only Qt's own pump sleeps in the event loop, where a port's descriptor can
// wake it; any other pump is called between short looks.
bool runsEventLoop(const CommandChannel::MessagePump& pump) {
    const auto* function = pump.target<void (*)(int)>();
    return function && *function == &qtMessagePump;
}
} // namespace

CommandChannel::CommandChannel(ByteStream& port, MessagePump pump)
    : m_port(&port), m_pump(std::move(pump)), m_pumpRunsEventLoop(runsEventLoop(m_pump)) {}

void CommandChannel::setMessagePump(MessagePump pump) {
    m_pump = std::move(pump);
    m_pumpRunsEventLoop = runsEventLoop(m_pump);
}

void CommandChannel::SendText(const QString& text) {
    m_midReply = false;
    m_port->WriteStr(text);
}

bool CommandChannel::readChar(QChar& c, int ms) {
    if (!WaitForInput(ms))
        return false;
    QString s;
    if (m_port->ReadStr(s, 1) != 1)
        return false;
    c = s.at(0);
    return true;
}

bool CommandChannel::WaitForInput(int ms) {
    checkCancelled();
    // Between looks the window's messages run, and a Disconnect among them
    // ends the wait at once.
    const auto idle = [this](int maxWaitMs) {
        if (m_pump)
            m_pump(maxWaitMs);
        checkCancelled();
    };
    return m_port->WaitReadable(std::max(ms, 0), idle, m_pumpRunsEventLoop);
}

QString CommandChannel::ReadReplyLine(bool appendCR) {
    QString line;
    bool lastIsCR = false;
    uint32_t lastTime = Clock::GetTickCount();
    for (;;) {
        QChar c;
        // The port's read timeout, but no longer than the silence limit
        // still allows: a silent line ends after 5 s, not at the next whole
        // read timeout after them.
        const int64_t silentFor = int64_t(uint32_t(Clock::GetTickCount() - lastTime));
        const int portWait = m_port->readWaitMs();
        const int wait =
            portWait <= 0 ? portWait
                          : int(std::clamp<int64_t>(SilenceLimitMs + 1 - silentFor, 1, portWait));
        // A line feed after the CR (interfaces that end lines with CR LF)
        // carries nothing and must not start the next line.
        if (readChar(c, wait) && c != LF) {
            lastIsCR = c == CR;
            if (!lastIsCR) {
                line += c;
                lastTime = Clock::GetTickCount();
                if (line.size() > MaxLineChars)
                    raiseDataError(DataErrorReason::EndlessLine);
            }
        }
        processMessages();
        if (lastIsCR || line == QLatin1String(">") ||
            uint32_t(Clock::GetTickCount() - lastTime) > uint32_t(SilenceLimitMs))
            break;
    }
    if (line.isEmpty() && lastIsCR)
        return QString(CR);
    if (appendCR)
        line += CR;
    return line;
}

QString CommandChannel::ReadReply(bool raiseOnError, bool appendCR) {
    const uint32_t start = Clock::GetTickCount();
    QString line = ReadReplyLine(appendCR);
    while (line.isEmpty() && uint32_t(Clock::GetTickCount() - start) < uint32_t(SilenceLimitMs))
        line = ReadReplyLine(appendCR);
    if (raiseOnError && line.isEmpty())
        raiseDataError(silenceReason());
    if (raiseOnError && line == QLatin1String("DATA ERROR"))
        raiseDataError(DataErrorReason::InterfaceSaid);
    if (!line.isEmpty())
        m_midReply = line != QLatin1String(">");
    LastReply = line;
    return line;
}

bool CommandChannel::SendCommand(const QString& command) {
    SendText(command + CR);
    const QString line = ReadReply(true, false);
    if (ChipErrorWords::isChannelWord(line)) {
        ReadReply(true, false); // the prompt after the error word
        return false;
    }
    if (line == QLatin1String(">"))
        return false;
    LastReply = line;
    return true;
}

void CommandChannel::waitForMessages(int maxWaitMs) {
    if (m_pump)
        m_pump(maxWaitMs);
    else if (maxWaitMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(maxWaitMs));
}

void CommandChannel::Pause(int milliseconds) {
    const int64_t deadline = Clock::nowUs() + int64_t(milliseconds) * 1000;
    do {
        checkCancelled();
        // Round up: waking a little late is fine, ending early is not.
        const int left = int(std::max<int64_t>(0, (deadline - Clock::nowUs() + 999) / 1000));
        if (m_pump)
            m_pump(left);
        else if (left > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(left));
    } while (Clock::nowUs() < deadline);
}
