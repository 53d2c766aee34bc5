#include "link/interface_check.h"

#include "config/recorder_texts.h"
#include "config/strings.h"
#include "link/command_channel.h"
#include "link/interface_connection.h"

namespace {
const QString CR = QStringLiteral("\r");
const QString Prompt = QStringLiteral(">");

// One answer up to its prompt; fewer lines when the interface falls silent
// for the channel's silence limit, at most maxLines.
QStringList readAnswer(CommandChannel& channel, int maxLines = 8) {
    QStringList lines;
    while (lines.size() < maxLines) {
        const QString line = channel.ReadReplyLine(false);
        if (line.isEmpty())
            break;
        lines << line;
        if (line == Prompt)
            break;
    }
    return lines;
}

bool endsWithPrompt(const QStringList& lines) {
    return !lines.isEmpty() && lines.last() == Prompt;
}

// A reading: one to four hexadecimal digits.
int reading(const QString& line) {
    if (line.isEmpty() || line.size() > 4)
        return -1;
    bool ok = false;
    const int value = line.toInt(&ok, 16);
    return ok && !line.startsWith(QLatin1Char('+')) && !line.startsWith(QLatin1Char('-')) ? value
                                                                                          : -1;
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
    ByteStream& port = channel.port();
    port.SetReadInterval(-1);
    port.SetReadTotalConstant(1000);
    port.SetReadTotalMultiplier(-1);
    port.ClearBuffer(true, true);

    CheckStepResult& wake = result.step(CheckStep::WakeUp);
    channel.SendText(CR);
    const QStringList wakeAnswer = readAnswer(channel);
    wake.received = LinesAsReceived(wakeAnswer);
    wake.outcome = wakeAnswer.isEmpty() ? CheckOutcome::Failed : CheckOutcome::Passed;
    if (wakeAnswer.isEmpty())
        return result;
    // Whatever follows a prompt-less wake-up answer belongs to it, not to the reset.
    port.ClearBuffer(true, false);

    CheckStepResult& reset = result.step(CheckStep::Reset);
    channel.SendText(QStringLiteral("ATZ") + CR);
    const QStringList resetAnswer = readAnswer(channel);
    reset.received = LinesAsReceived(resetAnswer);
    reset.outcome = endsWithPrompt(resetAnswer) ? CheckOutcome::Passed : CheckOutcome::Failed;
    if (resetAnswer.isEmpty())
        return result;

    CheckStepResult& chip = result.step(CheckStep::Chip);
    chip.received = reset.received;
    chip.outcome = CheckOutcome::Failed;
    for (const QString& line : resetAnswer)
        if (line.contains(QLatin1String("Vandrix Pro"), Qt::CaseInsensitive)) {
            chip.outcome = CheckOutcome::Passed;
            result.chipLine = line;
            result.chipVersion = ParseChipVersion(line);
            break;
        }
    if (chip.outcome != CheckOutcome::Passed ||
        result.chipVersion < InterfaceCheckResult::FirstVersionWithInputs)
        return result;

    CheckStepResult& voltages = result.step(CheckStep::Voltages);
    bool allAnswered = true;
    bool anyReading = false;
    for (int input = 0; input < InterfaceCheckResult::Inputs && allAnswered; ++input) {
        port.ClearBuffer(true, false);
        channel.SendText(QStringLiteral("ATA") + QString::number(input) + CR);
        const QStringList answer = readAnswer(channel);
        voltages.received += LinesAsReceived(answer);
        allAnswered = endsWithPrompt(answer);
        result.inputs[size_t(input)] = answer.size() == 2 ? reading(answer.first()) : -1;
        anyReading |= result.inputs[size_t(input)] >= 0;
    }
    voltages.outcome = allAnswered && anyReading ? CheckOutcome::Passed : CheckOutcome::Failed;
    return result;
}

QStringList InterfaceCheckLines(const InterfaceCheckResult& result, int languageOffset,
                                const std::array<QString, InterfaceCheckResult::Inputs>& volts) {
    auto str = [languageOffset](int id) { return LoadStr(id + languageOffset); };
    auto seenOrNothing = [&](const QString& received) {
        return received.isEmpty() ? str(TeamText::CheckNothing) : EscapedReceived(received);
    };
    QStringList lines;
    const int names[] = {TeamText::CheckWakeUp, TeamText::CheckReset, TeamText::CheckChip,
                         TeamText::CheckVoltages};
    for (int i = 0; i < 4; ++i) {
        const auto step = CheckStep(i);
        const CheckStepResult& s = result.step(step);
        const int verdict = s.outcome == CheckOutcome::Passed   ? TeamText::CheckPassed
                            : s.outcome == CheckOutcome::Failed ? TeamText::CheckFailed
                                                                : TeamText::CheckNotRun;
        QString seen;
        if (step == CheckStep::Chip && s.outcome == CheckOutcome::Passed) {
            seen = result.chipLine;
        } else if (step == CheckStep::Voltages && s.outcome != CheckOutcome::NotRun) {
            QStringList inputs;
            for (int n = 0; n < InterfaceCheckResult::Inputs; ++n) {
                const int raw = result.inputs[size_t(n)];
                QString text = QStringLiteral("ATA%1 ").arg(n);
                if (raw < 0)
                    text += str(TeamText::CheckRefused);
                else
                    text += volts[size_t(n)].isEmpty() ? QString::number(raw) : volts[size_t(n)];
                inputs << text;
            }
            seen = inputs.join(QStringLiteral(", "));
            if (s.outcome == CheckOutcome::Failed)
                seen += QStringLiteral("; ") + seenOrNothing(s.received);
        } else if (step == CheckStep::Voltages &&
                   result.step(CheckStep::Chip).outcome == CheckOutcome::Passed) {
            seen = str(TeamText::CheckNoInputs).arg(result.chipVersion);
        } else if (s.outcome != CheckOutcome::NotRun) {
            seen = seenOrNothing(s.received);
        }
        QString line = str(names[i]) + QStringLiteral(": ") + str(verdict);
        if (!seen.isEmpty())
            line += QStringLiteral(" - ") + seen;
        lines << line;
    }
    return lines;
}
