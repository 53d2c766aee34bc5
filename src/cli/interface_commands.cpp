// ports, check and voltages: the port list and the interface alone, never a
// control unit.
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/link_session.h"
#include "cli/output.h"
#include "cli/shapes.h"
#include "link/port_list.h"
#include "reports/interface_check_text.h"
#include "reports/link_texts.h"
#include "values/readiness_voltage.h"

#include <QJsonArray>
#include <optional>

namespace {
VoltageScale scaleOf(const CliContext& c) {
    VoltageScale scale;
    scale.u2Defined = c.values.U2Defined;
    scale.u2 = c.values.U2;
    scale.factors = c.values.TV;
    return scale;
}

QString outcomeWord(CheckOutcome outcome) {
    switch (outcome) {
    case CheckOutcome::Passed:
        return QStringLiteral("passed");
    case CheckOutcome::Failed:
        return QStringLiteral("failed");
    case CheckOutcome::NotRun:
        break;
    }
    return QStringLiteral("not run");
}

// What the check found, and why the link broke it off when it did.
struct CheckRun {
    InterfaceCheckResult result;
    QString breakReason;
    std::optional<CliFailure> failure;
};

// "step: what arrived" for each step that failed.
QString failedSteps(const CliContext& c, const CheckRun& run) {
    QStringList lines;
    for (const CheckRow& row : InterfaceCheckRows(run.result, scaleOf(c), c.lang, run.breakReason))
        if (row.outcome == CheckOutcome::Failed)
            lines << row.step + QStringLiteral(": ") + row.seen;
    return lines.join(QLatin1Char('\n'));
}

// The steps that ran are kept when the link breaks; the failure is the
// caller's to raise after it has shown them.
CheckRun runCheck(const CliContext& c, CliOutput& out) {
    CheckRun run;
    CliLink link(c, out, RecordingHeader::Kind::Check);
    try {
        link.run([&] { CheckInterface(link.openInterface(), run.result); });
    } catch (const CliFailure& failure) {
        run.failure = failure;
        run.breakReason = link.failureReason();
    }
    return run;
}
} // namespace

int RunPorts(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    QJsonArray ports;
    QList<QStringList> rows;
    // As the window lists them: USB adapters by their stable link.
    for (const PortEntry& entry : PortListEntries(c.values.Port, DemoEntryNames(c.lang))) {
        const bool demo = IsDemoInterfaceName(entry.path) || IsDemoKLineName(entry.path);
        const QString port = IsDemoInterfaceName(entry.path) ? QStringLiteral("demo")
                             : demo                          ? QStringLiteral("demo-kline")
                                                             : entry.path;
        const QString name = demo ? entry.path : PortAdapterText(entry, c.lang);
        ports.append(QJsonObject{{QStringLiteral("port"), port},
                                 {QStringLiteral("name"), name},
                                 {QStringLiteral("configured"), entry.path == c.values.Port}});
        rows << (name.isEmpty() ? QStringList{port} : QStringList{port, name});
    }
    doc.insert(QStringLiteral("ports"), ports);
    out.table(rows);
    return Exit::Done;
}

int RunCheck(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    doc.insert(QStringLiteral("port"), c.portName);
    out.status(c.text(CliText::InterfaceCheck) + QStringLiteral(": ") + c.portName);
    const CheckRun run = runCheck(c, out);
    const InterfaceCheckResult& result = run.result;
    // A port that never opened ran no step: nothing to show.
    if (run.failure && result.step(CheckStep::WakeUp).outcome == CheckOutcome::NotRun)
        throw *run.failure;
    const auto rows = InterfaceCheckRows(result, scaleOf(c), c.lang, run.breakReason);

    QJsonArray steps;
    const char* const names[] = {"wake-up", "reset", "chip", "voltages"};
    QList<QList<CliOutput::Cell>> table;
    for (size_t i = 0; i < rows.size(); ++i) {
        steps.append(QJsonObject{{QStringLiteral("step"), QLatin1String(names[i])},
                                 {QStringLiteral("outcome"), outcomeWord(rows[i].outcome)},
                                 {QStringLiteral("received"), result.steps[i].received},
                                 {QStringLiteral("text"), rows[i].seen}});
        const CliOutput::Colour colour =
            rows[i].outcome == CheckOutcome::Passed   ? CliOutput::Colour::Good
            : rows[i].outcome == CheckOutcome::Failed ? CliOutput::Colour::Bad
                                                      : CliOutput::Colour::None;
        table << QList<CliOutput::Cell>{{rows[i].step}, {rows[i].verdict, colour}, {rows[i].seen}};
    }
    QJsonArray inputs;
    for (int k = 0; k < result.Inputs; ++k) {
        const int raw = result.inputs[size_t(k)];
        const bool scaled = raw >= 0 && c.values.U2Defined && c.values.TV[size_t(k)] > 0;
        inputs.append(QJsonObject{
            {QStringLiteral("input"), k},
            {QStringLiteral("raw"), raw >= 0 ? QJsonValue(raw) : QJsonValue()},
            {QStringLiteral("voltage"),
             scaled ? ValueJson(InputName(k),
                                FormatInterfaceVoltage(raw, c.values.U2, c.values.TV[size_t(k)]))
                    : QJsonValue()}});
    }
    doc.insert(QStringLiteral("passed"), result.passed());
    doc.insert(QStringLiteral("steps"), steps);
    doc.insert(QStringLiteral("chip"), result.chipLine);
    doc.insert(QStringLiteral("chipVersion"), result.chipVersion);
    doc.insert(QStringLiteral("inputs"), inputs);
    out.table(table);
    if (run.failure)
        throw *run.failure;
    if (!result.passed())
        throw CliFailure{Exit::NoInterface, failedSteps(c, run)};
    return Exit::Done;
}

int RunVoltages(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    // The page offers only inputs with a factor, and none without U2.
    if (!c.values.U2Defined)
        throw CliFailure{Exit::Usage, c.text(120)};
    QList<int> inputs;
    for (int k = 0; k < InterfaceCheckResult::Inputs; ++k)
        if (c.values.TV[size_t(k)] > 0)
            inputs << k;
    if (inputs.isEmpty())
        throw CliFailure{Exit::Usage, c.text(CliText::NoInputFactor)};
    doc.insert(QStringLiteral("port"), c.portName);

    const CheckRun run = runCheck(c, out);
    if (run.failure)
        throw *run.failure;
    const InterfaceCheckResult& result = run.result;
    if (result.step(CheckStep::Chip).outcome != CheckOutcome::Passed)
        throw CliFailure{Exit::NoInterface, failedSteps(c, run)};
    if (result.chipVersion < result.FirstVersionWithInputs)
        throw CliFailure{Exit::NoInterface,
                         c.text(CliText::ChipWithoutInputs).arg(result.chipVersion)};

    QJsonArray values;
    QList<QStringList> rows;
    for (int k : inputs) {
        const int raw = result.inputs[size_t(k)];
        // A refused input shows an empty box, as on the page.
        const QString shown =
            raw >= 0 ? FormatInterfaceVoltage(raw, c.values.U2, c.values.TV[size_t(k)]) : QString();
        QJsonObject value = ValueJson(InputName(k), shown);
        value.insert(QStringLiteral("input"), k);
        values.append(value);
        rows << QStringList{InputName(k), shown};
    }
    doc.insert(QStringLiteral("inputs"), values);
    out.table(rows);
    return Exit::Done;
}
