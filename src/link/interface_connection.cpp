#include "link/interface_connection.h"

#include "link/command_channel.h"
#include "link/debug_trace.h"
#include "link/port_factory.h"

#include <exception>

namespace {
const QString CR = QStringLiteral("\r");
const QString Prompt = QStringLiteral(">");

// Reads until the interface acknowledges (or connects). A silent interface
// ends the wait too: without that bound a dead chip would hold the window
// in this loop forever. An error word is followed by its prompt, which is
// read as well: left behind, it would be taken as the answer to the next
// command. The line that ended the wait is returned.
QString waitFor(CommandChannel& channel, bool orConnect) {
    for (;;) {
        const QString line = channel.ReadReplyLine(false);
        if (line.isEmpty() || line == Prompt ||
            (orConnect && line.startsWith(QLatin1String("CONNECT"))))
            return line;
        if (ChipErrorWords::isSetUpWord(line)) {
            for (QString rest = line; !rest.isEmpty() && rest != Prompt;)
                rest = channel.ReadReplyLine(false);
            return line;
        }
    }
}

// How long the rest of a reset answer may take to follow its third line.
constexpr int ResetGraceMs = 500;
// How long a lone CR waits for company before it counts as an echo: a chip
// sends its prompt right behind its line.
constexpr int EchoGraceMs = 200;
// The second wake-up, with DTR on: a cable powered from DTR echoes within
// milliseconds, so a second full silence would only keep the user waiting.
constexpr int DtrRetryMs = 1000;

struct PlainCableFound {};

// One reset: the answer's three lines (the second is the identification),
// fewer when the prompt comes early or when the interface falls silent for
// 5 s, which ends the attempt at once. Lines an interface sends beyond the
// three belong to the same answer and are read up to its prompt.
QStringList readResetAnswer(CommandChannel& channel) {
    QStringList lines;
    while (lines.size() < 3) {
        const QString line = channel.ReadReplyLine(false);
        if (line.isEmpty())
            return lines;
        lines << line;
        if (line == Prompt)
            return lines;
    }
    while (channel.WaitForInput(ResetGraceMs)) {
        const QString extra = channel.ReadReplyLine(false);
        if (extra.isEmpty() || extra == Prompt)
            break;
    }
    return lines;
}

// Whatever is still waiting belongs to an earlier command.
void sendSetupCommand(CommandChannel& channel, const QString& command) {
    channel.port().ClearBuffer(true, false);
    channel.SendText(command + CR);
}

// A negative setting goes out as its 32-bit pattern, as the debug trace
// writes it, never with a minus sign the chip cannot read.
QString hex2(int value) {
    return QString::number(static_cast<unsigned int>(value), 16).toUpper().rightJustified(2, '0');
}

struct AttemptFailed {
    AttemptEnd end;
    AttemptSeen seen;
};

// Lines as ReadReplyLine gave them, put back as they arrived: each ended by
// its CR except the prompt; empty lines (silence) left out.
QString LinesAsReceived(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        if (!line.isEmpty())
            text += (line == QLatin1String(">") || line == CR) ? line : line + CR;
    return text;
}

int digitAt(const QString& line, qsizetype index) {
    if (index < 0 || index >= line.size() || !line[index].isDigit() || line[index].unicode() > '9')
        throw std::runtime_error("connect reply without speed or protocol digit");
    return line[index].unicode() - '0';
}
} // namespace

int KLineSpeedCode(int baud) {
    switch (baud) {
    case 1200:
        return 1;
    case 2400:
        return 2;
    case 4800:
        return 3;
    case 9600:
        return 4;
    case 14400:
        return 5;
    default:
        return 0;
    }
}

QString KLineSpeedText(int code) {
    // Code 6 comes only from a software chip, which reports 10400 so; it
    // is never sent with ATN.
    static const char* const rates[] = {"", "1200", "2400", "4800", "9600", "14400", "10400"};
    return (code >= 1 && code <= 6) ? QString::fromLatin1(rates[code]) : QString();
}

QString ProtocolName(ProtocolKind protocol) {
    return protocol == ProtocolKind::KW2000 ? QStringLiteral("KW 2000") : QStringLiteral("KW 1281");
}

double ParseChipVersion(const QString& line) {
    const qsizetype at = line.indexOf(QLatin1String(" v"));
    const QString text = line.mid(at < 0 ? 1 : at + 2, 99);
    // Always "." as decimal separator, whatever the user's settings.
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? v : 0.0;
}

bool ConnectInterface(int address, CommandChannel& channel, const InterfaceSettings& settings,
                      InterfaceInfo& info, ConnectionObserver& observer, DebugTrace* trace,
                      const CableProbe& probe) {
    info.End = AttemptEnd::Failed;
    info.Error = nullptr;
    if (trace) {
        trace->Value(QStringLiteral("IBT"), settings.InterByteTime);
        trace->Value(QStringLiteral("BDT"), settings.BlockDelayTime);
        trace->Value(QStringLiteral("ECU Adresse"), address);
    }
    const int fixedCode = KLineSpeedCode(settings.KLineBaud);
    observer.attemptStarted(fixedCode ? settings.KLineBaud : 0);

    if (!observer.openPort()) {
        info.End = AttemptEnd::PortNotOpened;
        return false;
    }

    ByteStream& port = channel.port();
    try {
        SetConnectionTimeouts(port);
        port.ClearBuffer(true, true);

        // What arrived is kept, so a failure can say it.
        QStringList wakeUp;
        auto readWakeUp = [&] {
            const QString line = channel.ReadReplyLine(false);
            if (!line.isEmpty())
                wakeUp << line;
            return line;
        };
        channel.SendText(CR);
        const QString first = readWakeUp();
        // Anything right behind a lone CR is a chip's answer, left for the
        // steps below; nothing means the CR came back alone.
        const auto echoedAlone = [&](const QString& line) {
            return line == CR && !channel.WaitForInput(EchoGraceMs) &&
                   probe(QByteArray("\r"), QByteArray("\r"));
        };
        if (first.isEmpty() && probe) {
            // Only a cable powered from DTR can answer this: a chip that was
            // silent stays the silent interface it was.
            port.SetDTR(true);
            port.ClearBuffer(true, false);
            channel.SendText(CR);
            if (channel.WaitForInput(DtrRetryMs) && echoedAlone(readWakeUp()))
                throw PlainCableFound{};
            throw AttemptFailed{AttemptEnd::NoInterface, {AttemptSeen::What::Nothing, {}, true}};
        }
        if (first.isEmpty())
            throw AttemptFailed{AttemptEnd::NoInterface, {AttemptSeen::What::Nothing, {}}};
        if (probe && echoedAlone(first))
            throw PlainCableFound{};
        readWakeUp();
        channel.SendText(CR);
        readWakeUp();
        if (readWakeUp().isEmpty())
            throw AttemptFailed{AttemptEnd::NoInterface,
                                {AttemptSeen::What::WakeUpOnly, LinesAsReceived(wakeUp)}};

        QString identification;
        QString firstReset;
        bool found = false;
        for (int attempt = 0; attempt < 6 && !found; ++attempt) {
            sendSetupCommand(channel, QStringLiteral("ATZ"));
            const QStringList answer = readResetAnswer(channel);
            identification = answer.value(1);
            if (attempt == 0)
                firstReset = LinesAsReceived(answer);
            found = identification.contains(QLatin1String("Vandrix Pro"), Qt::CaseInsensitive);
        }
        if (!found)
            throw AttemptFailed{AttemptEnd::NoChip, {AttemptSeen::What::NoChipName, firstReset}};
        observer.chipIdentified(identification);
        info.ChipVersion = ParseChipVersion(identification);

        sendSetupCommand(channel, QStringLiteral("ATIBT") + hex2(settings.InterByteTime));
        waitFor(channel, false);
        sendSetupCommand(channel, QStringLiteral("ATBDT") + hex2(settings.BlockDelayTime));
        waitFor(channel, false);
        sendSetupCommand(channel, QStringLiteral("ATN") + QString::number(fixedCode));
        waitFor(channel, true);
        sendSetupCommand(channel, QStringLiteral("ATD") + hex2(address));
        const QString reply = waitFor(channel, true);
        if (!reply.startsWith(QLatin1String("CONNECT"))) {
            const bool word = ChipErrorWords::isSetUpWord(reply);
            throw AttemptFailed{
                AttemptEnd::UnitSilent,
                {word ? AttemptSeen::What::ErrorWord : AttemptSeen::What::UnitSilent,
                 word ? reply : QString()}};
        }

        const int speedCode = digitAt(reply, 9);
        const int protocol = digitAt(reply, reply.size() - 1);
        info.Protocol = protocol == 2 ? ProtocolKind::KW2000 : ProtocolKind::KW1281;
        observer.connected(speedCode, info.Protocol);
        info.End = AttemptEnd::Connected;
        return true;
    } catch (const AttemptFailed& failed) {
        info.End = failed.end;
        info.Seen = failed.seen;
        observer.attemptFailed(failed.end, failed.seen);
        try {
            port.Close();
        } catch (const std::exception&) {
        }
        return false;
    } catch (const PlainCableFound&) {
        info.End = AttemptEnd::PlainCable;
        if (trace)
            trace->Value(QStringLiteral("KLineCable"), 1);
        try {
            port.Close();
        } catch (const std::exception&) {
        }
        return false;
    } catch (const ECancelled&) {
        info.End = AttemptEnd::Cancelled;
        return false;
    } catch (const ESerialPort&) {
        info.End = AttemptEnd::AdapterLost;
        info.Error = std::current_exception();
        return false;
    } catch (const std::exception&) {
        // Left as it stands; the caller's reset restores the idle state.
        info.End = AttemptEnd::Failed;
        info.Error = std::current_exception();
        return false;
    }
}
