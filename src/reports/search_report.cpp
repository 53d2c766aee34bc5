#include "reports/search_report.h"

#include "config/strings.h"

#include <algorithm>

namespace {
QString padded(const QString& text, int width) {
    return text.leftJustified(width, u' ', false);
}
} // namespace

QString OneLine(QString text) {
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text;
}

SearchReportTexts SearchReportTexts::load(int languageOffset) {
    SearchReportTexts t;
    t.found = LoadStr(69 + languageOffset);
    t.notFound = LoadStr(70 + languageOffset);
    t.faultCodes = LoadStr(100 + languageOffset);
    t.typeNumber = LoadStr(16 + languageOffset);
    t.description = LoadStr(17 + languageOffset);
    t.extraInfo = LoadStr(20 + languageOffset);
    t.workshopCode = LoadStr(19 + languageOffset);
    t.coding = LoadStr(71 + languageOffset);
    t.versionText = LoadStr(0);
    return t;
}

namespace SearchReport {

QStringList UnitHeader(const QString& entry) {
    return {OneLine(QStringLiteral("======== ") + entry + QLatin1Char(' ') +
                    QString(std::max(qsizetype(0), 65 - entry.size()), u'='))};
}

QStringList Identification(const TecuID& id, const SearchReportTexts& texts) {
    QStringList lines{QStringLiteral("-> ") + texts.found + QStringLiteral(" <-"),
                      QStringLiteral(" ")};
    const std::pair<const QString&, const QString&> rows[] = {{texts.typeNumber, id.VAGTyp},
                                                              {texts.description, id.Part},
                                                              {texts.extraInfo, id.Zusatz},
                                                              {texts.workshopCode, id.WSC},
                                                              {texts.coding, id.Coding}};
    for (const auto& [caption, value] : rows)
        lines << OneLine(padded(caption, 30) + value);
    return lines;
}

QStringList Faults(const FaultCodeList& faults, const SearchReportTexts& texts) {
    if (faults.isEmpty())
        return {};
    QStringList lines{QStringLiteral("-> ") + QString::number(faults.size()) + QLatin1Char(' ') +
                      texts.faultCodes + QStringLiteral(" <-")};
    int n = 0;
    for (const FaultCode& fault : faults) {
        const QString codeText = texts.codeText ? texts.codeText(fault.code) : QString();
        const QString statusText = texts.statusText ? texts.statusText(fault.status) : QString();
        lines << QStringLiteral("-- ") + QString::number(++n) + QStringLiteral(" --");
        lines << OneLine(QLatin1Char(' ') + FaultCodeDigits(fault.code) + QStringLiteral("  ") +
                         codeText);
        lines << OneLine(QLatin1Char(' ') + padded(QString::number(fault.status), 7) + statusText);
    }
    return lines;
}

QStringList NotFound(const SearchReportTexts& texts) {
    return {QStringLiteral("-> ") + texts.notFound + QStringLiteral(" <-")};
}

QStringList UnitEnd() {
    return {QStringLiteral(" "), QStringLiteral(" ")};
}

QStringList Closing(const SearchReportTexts& texts) {
    return {QStringLiteral("******** Vandrix ") + texts.versionText + QLatin1Char(' ') +
            QString(43, u'*')};
}

QStringList Unit(const SearchReportUnit& unit, const SearchReportTexts& texts) {
    QStringList lines = UnitHeader(unit.entry);
    if (unit.found)
        lines << Identification(unit.identification, texts) << Faults(unit.faults, texts);
    else
        lines << NotFound(texts);
    return lines << UnitEnd();
}

QStringList Lines(const std::vector<SearchReportUnit>& units, const SearchReportTexts& texts) {
    QStringList lines;
    for (const SearchReportUnit& unit : units)
        lines << Unit(unit, texts);
    return lines << Closing(texts);
}

} // namespace SearchReport
