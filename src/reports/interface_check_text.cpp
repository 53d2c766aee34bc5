#include "reports/interface_check_text.h"

#include "config/strings.h"
#include "values/readiness_voltage.h"

#include <QStringList>

namespace {
// Team texts of the check (string table).
enum : int {
    StepWakeUp = 3110,
    StepReset = 3111,
    StepChip = 3112,
    StepVoltages = 3113,
    VerdictPassed = 3114,
    VerdictFailed = 3115,
    VerdictNotRun = 3116,
    NothingAtAll = 3117,
    NoChipName = 3118,
    NoInputs = 3119,
    Refused = 3120,
};

QString seenOrNothing(const QString& received, int lang) {
    return received.isEmpty() ? LoadStr(NothingAtAll + lang) : EscapedReceived(received);
}

QString inputsSeen(const InterfaceCheckResult& r, const VoltageScale& scale, int lang) {
    const QString received = r.step(CheckStep::Voltages).received;
    const QStringList replies = received.split(QLatin1Char('>'), Qt::SkipEmptyParts);
    QStringList parts;
    for (int k = 0; k < r.Inputs && k < replies.size(); ++k) {
        const int raw = r.inputs[size_t(k)];
        QString part = InputName(k) + QStringLiteral(": ");
        if (raw < 0)
            part += LoadStr(Refused + lang) + QStringLiteral(" (") +
                    EscapedReceived(replies[k] + QLatin1Char('>')) + QLatin1Char(')');
        else if (scale.u2Defined && scale.factors[size_t(k)] > 0)
            part += QString::number(raw) + QStringLiteral(" = ") +
                    FormatInterfaceVoltage(raw, scale.u2, scale.factors[size_t(k)]);
        else
            part += QString::number(raw);
        parts << part;
    }
    if (replies.size() < r.Inputs)
        parts << InputName(int(replies.size())) + QStringLiteral(": ") +
                     LoadStr(NothingAtAll + lang);
    return parts.join(QStringLiteral(", "));
}
} // namespace

QString InputName(int input) {
    return QStringLiteral("ADC ") + QString::number(input);
}

std::array<CheckRow, 4> InterfaceCheckRows(const InterfaceCheckResult& r, const VoltageScale& scale,
                                           int lang, const QString& breakReason) {
    std::array<CheckRow, 4> rows;
    const int names[] = {StepWakeUp, StepReset, StepChip, StepVoltages};
    for (size_t i = 0; i < rows.size(); ++i) {
        const CheckOutcome outcome = r.steps[i].outcome;
        rows[i].outcome = outcome;
        rows[i].step = LoadStr(names[i] + lang);
        rows[i].verdict = LoadStr((outcome == CheckOutcome::Passed   ? VerdictPassed
                                   : outcome == CheckOutcome::Failed ? VerdictFailed
                                                                     : VerdictNotRun) +
                                  lang);
    }
    rows[0].seen = seenOrNothing(r.step(CheckStep::WakeUp).received, lang);
    rows[1].seen = seenOrNothing(r.step(CheckStep::Reset).received, lang);

    const CheckStepResult& chip = r.step(CheckStep::Chip);
    if (chip.outcome == CheckOutcome::Passed)
        rows[2].seen = EscapedReceived(r.chipLine);
    else if (chip.outcome == CheckOutcome::Failed)
        rows[2].seen = LoadStr(NoChipName + lang).arg(EscapedReceived(chip.received));

    if (r.step(CheckStep::Voltages).outcome != CheckOutcome::NotRun)
        rows[3].seen = inputsSeen(r, scale, lang);
    else if (chip.outcome == CheckOutcome::Passed)
        rows[3].seen = LoadStr(NoInputs + lang).arg(r.chipVersion);
    if (r.brokenStep >= 0 && size_t(r.brokenStep) < rows.size()) {
        CheckRow& broken = rows[size_t(r.brokenStep)];
        const QString& received = r.steps[size_t(r.brokenStep)].received;
        broken.seen = received.isEmpty()
                          ? breakReason
                          : EscapedReceived(received) + QStringLiteral(" - ") + breakReason;
    }
    return rows;
}
