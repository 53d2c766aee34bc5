// diff: two saved search reports compared, one finding a line. Touches no
// port: the reports are files the window kept or scan printed.
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "reports/scan_diff.h"
#include "services/fault_codes.h"

#include <QFile>
#include <QJsonArray>

namespace {

// Far beyond a search of every unit; a larger file (or a device that never
// ends) is no report and must not be read whole.
constexpr qint64 MaxReportBytes = 16 * 1024 * 1024;

ScanReport readReport(const CliContext& c, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CliFailure{Exit::Usage,
                         c.text(CliText::ReportUnreadable).arg(path, file.errorString())};
    const QByteArray bytes = file.read(MaxReportBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw CliFailure{Exit::Usage,
                         c.text(CliText::ReportUnreadable).arg(path, file.errorString())};
    if (bytes.size() > MaxReportBytes)
        throw CliFailure{Exit::Usage, c.text(CliText::NotAScanReport).arg(path)};
    // A file of no unit at all would compare as "no difference".
    ScanReport report = ParseScanReport(QString::fromUtf8(bytes));
    if (report.units.isEmpty())
        throw CliFailure{Exit::Usage, c.text(CliText::NotAScanReport).arg(path)};
    // A search that stopped part way has not looked at every unit it meant to.
    if (!report.complete)
        throw CliFailure{Exit::Usage, c.text(OutcomeText::ScanReportIncomplete).arg(path)};
    return report;
}

QJsonObject unitJson(int address, const QString& entry) {
    return {{QStringLiteral("address"), address}, {QStringLiteral("unit"), entry}};
}

QJsonArray unitsJson(const QList<ScanUnit>& units, bool withPart) {
    QJsonArray list;
    for (const ScanUnit& u : units) {
        QJsonObject o = unitJson(u.address, u.entry);
        if (withPart)
            o.insert(QStringLiteral("partNumber"), u.partNumber);
        list.append(o);
    }
    return list;
}

QJsonObject identJson(const ScanUnit& u) {
    return {{QStringLiteral("partNumber"), u.partNumber},
            {QStringLiteral("component"), u.component},
            {QStringLiteral("coding"), u.coding},
            {QStringLiteral("workshopCode"), u.workshopCode}};
}

QString readWord(ScanFaultRead read) {
    return ScanMark::FaultRead(read).section(QLatin1Char(' '), -1);
}

// replaced and recoded: the identification before and after; notCompared:
// what each read came to.
QJsonArray unitChangesJson(const QList<ScanUnitChange>& changes, bool reads) {
    QJsonArray list;
    for (const ScanUnitChange& change : changes) {
        QJsonObject o = unitJson(change.after.address, change.after.entry);
        if (reads) {
            o.insert(QStringLiteral("olderRead"), readWord(change.before.faultRead));
            o.insert(QStringLiteral("newerRead"), readWord(change.after.faultRead));
        } else {
            o.insert(QStringLiteral("before"), identJson(change.before));
            o.insert(QStringLiteral("after"), identJson(change.after));
        }
        list.append(o);
    }
    return list;
}

// As a fault of the faults command, less its number in the table.
QJsonObject faultJson(const ScanFault& f) {
    return {{QStringLiteral("code"), f.code},
            {QStringLiteral("dtc"), FaultCodeDigits(f.code)},
            {QStringLiteral("status"), f.status},
            {QStringLiteral("text"), f.codeText},
            {QStringLiteral("statusText"), f.statusText}};
}

QJsonArray changesJson(const QList<ScanFaultChange>& changes, bool before, bool after) {
    QJsonArray list;
    for (const ScanFaultChange& change : changes) {
        QJsonObject o = unitJson(change.address, change.entry);
        if (before && after) {
            o.insert(QStringLiteral("before"), faultJson(change.before));
            o.insert(QStringLiteral("after"), faultJson(change.after));
        } else {
            o.insert(QStringLiteral("fault"), faultJson(before ? change.before : change.after));
        }
        list.append(o);
    }
    return list;
}

} // namespace

int RunDiff(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const QString olderPath = c.invocation.arguments.value(0);
    const QString newerPath = c.invocation.arguments.value(1);
    doc.insert(QStringLiteral("older"), olderPath);
    doc.insert(QStringLiteral("newer"), newerPath);
    const ScanDifference d = DiffScanReports(readReport(c, olderPath), readReport(c, newerPath));

    doc.insert(QStringLiteral("different"), !d.isEmpty());
    doc.insert(QStringLiteral("appeared"), unitsJson(d.appeared, true));
    doc.insert(QStringLiteral("disappeared"), unitsJson(d.disappeared, true));
    doc.insert(QStringLiteral("replaced"), unitChangesJson(d.replaced, false));
    doc.insert(QStringLiteral("recoded"), unitChangesJson(d.recoded, false));
    doc.insert(QStringLiteral("notCompared"), unitChangesJson(d.notCompared, true));
    doc.insert(QStringLiteral("newFaults"), changesJson(d.newFaults, false, true));
    doc.insert(QStringLiteral("goneFaults"), changesJson(d.goneFaults, true, false));
    doc.insert(QStringLiteral("changedStatus"), changesJson(d.changedStatus, true, true));
    doc.insert(QStringLiteral("onlyInOlder"), unitsJson(d.onlyInOlder, false));
    doc.insert(QStringLiteral("onlyInNewer"), unitsJson(d.onlyInNewer, false));
    for (const QString& line : ScanDifferenceLines(d, c.lang))
        out.line(line);
    return Exit::Done;
}
