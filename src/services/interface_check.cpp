#include "services/interface_check.h"

#include "link/interface_connection.h"
#include "services/hex_number.h"

#include <QStringList>

namespace {
const QString CR = QStringLiteral("\r");
const QString Prompt = QStringLiteral(">");

// Lines up to the prompt, or up to silence. The guard ends an interface that
// chatters without ever sending its prompt.
QString readToPrompt(CommandChannel& channel, bool& promptSeen) {
    QString received;
    promptSeen = false;
    for (int lines = 0; lines < 20; ++lines) {
        const QString line = channel.ReadReplyLine(false);
        if (line.isEmpty())
            break;
        if (line == Prompt) {
            received += line;
            promptSeen = true;
            break;
        }
        received += line == CR ? line : line + CR;
    }
    return received;
}

// The first line with something on it, as received; blank lines before it
// tell the user nothing.
QString firstLine(const QString& received) {
    for (const QString& line : received.split(CR))
        if (!line.isEmpty())
            return line == Prompt ? line : line + CR;
    return received;
}

CheckOutcome outcomeOf(bool passed) {
    return passed ? CheckOutcome::Passed : CheckOutcome::Failed;
}
} // namespace

bool InterfaceCheckResult::passed() const {
    for (const CheckStepResult& s : steps)
        if (s.outcome == CheckOutcome::Failed)
            return false;
    return true;
}

InterfaceCheckResult CheckInterface(CommandChannel& channel) {
    InterfaceCheckResult result;
    CheckInterface(channel, result);
    return result;
}

namespace {
void runSteps(CommandChannel& channel, InterfaceCheckResult& result) {
    ByteStream& port = channel.port();
    // The connection set-up's timing, so both see the interface alike.
    port.SetReadInterval(-1);
    port.SetReadTotalConstant(1000);
    port.SetReadTotalMultiplier(-1);
    port.ClearBuffer(true, true);

    bool prompt = false;
    CheckStepResult& wake = result.step(CheckStep::WakeUp);
    channel.SendText(CR);
    wake.received = readToPrompt(channel, prompt);
    wake.outcome = outcomeOf(prompt);

    // A reset is worth trying even after a failed wake-up: it is what the
    // connection set-up relies on.
    CheckStepResult& reset = result.step(CheckStep::Reset);
    channel.SendText(QStringLiteral("ATZ") + CR);
    reset.received = readToPrompt(channel, prompt);
    reset.outcome = outcomeOf(prompt);
    if (reset.received.isEmpty())
        return;

    CheckStepResult& chip = result.step(CheckStep::Chip);
    for (const QString& line : reset.received.split(CR)) {
        if (line.contains(QLatin1String("Vandrix Pro"), Qt::CaseInsensitive)) {
            result.chipLine = line;
            result.chipVersion = ParseChipVersion(line);
            break;
        }
    }
    chip.outcome = outcomeOf(!result.chipLine.isEmpty());
    chip.received = result.chipLine.isEmpty() ? firstLine(reset.received) : result.chipLine + CR;
    if (result.chipLine.isEmpty() || result.chipVersion < result.FirstVersionWithInputs)
        return;

    // Read here rather than through the session's voltage request: a refusal
    // is part of what the check reports, and that request swallows it.
    CheckStepResult& inputs = result.step(CheckStep::Voltages);
    bool all = true;
    for (int k = 0; k < result.Inputs; ++k) {
        channel.SendText(QStringLiteral("ATA") + HexDigits(k, 1) + CR);
        const QString received = readToPrompt(channel, prompt);
        inputs.received += received;
        // A silent interface would only keep the next inputs waiting too.
        if (received.isEmpty()) {
            all = false;
            break;
        }
        const QString reading = received.section(CR, 0, 0);
        result.inputs[size_t(k)] = prompt && reading != Prompt ? HexToIntLenient(reading) : -1;
        all = all && result.inputs[size_t(k)] >= 0;
    }
    inputs.outcome = outcomeOf(all);
}
} // namespace

void CheckInterface(CommandChannel& channel, InterfaceCheckResult& result) {
    result = InterfaceCheckResult();
    try {
        runSteps(channel, result);
    } catch (...) {
        // The first step not yet decided is the one the error broke off.
        for (size_t i = 0; i < result.steps.size(); ++i) {
            if (result.steps[i].outcome == CheckOutcome::NotRun) {
                result.steps[i].outcome = CheckOutcome::Failed;
                result.brokenStep = int(i);
                break;
            }
        }
        throw;
    }
}

QString EscapedReceived(const QString& text) {
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\r')
            out += QStringLiteral("\\r");
        else if (u == u'\n')
            out += QStringLiteral("\\n");
        else if (u < 0x20 || u > 0x7E)
            out += QStringLiteral("\\x") + QString::number(u, 16).toUpper().rightJustified(2, u'0');
        else
            out += c;
    }
    return out;
}
