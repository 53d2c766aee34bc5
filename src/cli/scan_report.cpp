#include "cli/scan_report.h"

#include "config/strings.h"

#include <algorithm>

namespace {
QString padded(const QString& text, int width) {
    return text.leftJustified(width, u' ', false);
}

// One report line each; a CR inside an identification value would split it.
QString oneLine(QString line) {
    line.remove(QLatin1Char('\r'));
    line.remove(QLatin1Char('\n'));
    return line;
}
} // namespace

QStringList SearchReportUnitLines(const ScannedUnit& unit, const FaultTexts& texts, int lang) {
    const auto str = [lang](int id) { return LoadStr(id + lang); };
    QStringList lines;
    lines << QStringLiteral("======== ") + unit.entry + QLatin1Char(' ') +
                 QString(std::max(qsizetype(0), 65 - unit.entry.size()), u'=');
    if (unit.found) {
        const TecuID& id = unit.identification;
        lines << QStringLiteral("-> ") + str(69) + QStringLiteral(" <-") << QStringLiteral(" ");
        const std::pair<int, QString> identification[] = {
            {16, id.VAGTyp}, {17, id.Part}, {20, id.Zusatz}, {19, id.WSC}, {71, id.Coding}};
        for (const auto& [label, value] : identification)
            lines << padded(str(label), 30) + value;
        if (unit.outcome == FaultReadOutcome::Found) {
            lines << QStringLiteral("-> ") + QString::number(unit.faults.size()) +
                         QLatin1Char(' ') + str(100) + QStringLiteral(" <-");
            int n = 0;
            for (const FaultCode& fault : unit.faults) {
                lines << QStringLiteral("-- ") + QString::number(++n) + QStringLiteral(" --");
                lines << QLatin1Char(' ') + FaultCodeDigits(fault.code) + QStringLiteral("  ") +
                             texts.codeText(fault.code);
                lines << QLatin1Char(' ') + padded(QString::number(fault.status), 7) +
                             texts.statusText(fault.status);
            }
        }
    } else {
        lines << QStringLiteral("-> ") + str(70) + QStringLiteral(" <-");
    }
    lines << QStringLiteral(" ") << QStringLiteral(" ");
    for (QString& line : lines)
        line = oneLine(line);
    return lines;
}

QString SearchReportEndLine() {
    return QStringLiteral("******** Vandrix ") + LoadStr(0) + QLatin1Char(' ') + QString(43, u'*');
}
