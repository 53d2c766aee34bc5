#include "cli/shapes.h"

#include "cli/context.h"
#include "config/app_locale.h"
#include "log/log_format.h"

namespace {
QString oneLine(QString text) {
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text;
}
} // namespace

ValueText SplitValue(const QString& shown) {
    if (!shown.contains(QLatin1Char(' ')))
        return {shown, QString()};
    return {LogFormat::ValuePart(shown).trimmed(), LogFormat::UnitPart(shown)};
}

QJsonObject ValueJson(const QString& name, const QString& shown) {
    const ValueText split = SplitValue(shown);
    QString digits = split.value;
    digits.remove(AppLocale::thousandsSeparator());
    digits.replace(AppLocale::decimalSeparator(), QLatin1Char('.'));
    bool ok = false;
    const double number = digits.toDouble(&ok);
    return {{QStringLiteral("name"), name},
            {QStringLiteral("number"), ok ? QJsonValue(number) : QJsonValue()},
            {QStringLiteral("unit"), split.unit},
            {QStringLiteral("text"), shown.trimmed()}};
}

QList<QStringList> IdentificationRows(const CliContext& c, const QString& unitEntry,
                                      const TecuID& id) {
    const QString extra = id.IMP.isEmpty() ? id.EXT : id.EXT + QStringLiteral(" - ") + id.IMP;
    return {{c.text(1), unitEntry},         {c.text(16), oneLine(id.VAGTyp)},
            {c.text(17), oneLine(id.Part)}, {c.text(20), oneLine(id.Zusatz)},
            {c.text(20), oneLine(extra)},   {c.text(19), oneLine(id.WSC)}};
}

QJsonObject IdentificationJson(const TecuID& id) {
    return {{QStringLiteral("partNumber"), oneLine(id.VAGTyp)},
            {QStringLiteral("component"), oneLine(id.Part)},
            {QStringLiteral("extra"), oneLine(id.Zusatz)},
            {QStringLiteral("workshopCode"), id.WSC},
            {QStringLiteral("coding"), id.Coding},
            {QStringLiteral("device"), id.EXT},
            {QStringLiteral("importer"), id.IMP}};
}

QList<QStringList> FaultRows(const CliContext& c, const FaultCodeList& faults,
                             const FaultTexts& texts) {
    QList<QStringList> rows{{c.text(41), c.text(37), c.text(38), c.text(39)}};
    int n = 0;
    for (const FaultCode& fault : faults)
        rows << QStringList{
            QString::number(++n),
            FaultCodeCell(fault).replace(QStringLiteral("\r\n"), QStringLiteral(" ")),
            texts.codeText(fault.code), texts.statusText(fault.status)};
    return rows;
}

QString NoFaultMessage(const CliContext& c, FaultReadOutcome outcome) {
    return c.text(outcome == FaultReadOutcome::Unsupported ? 68 : 40);
}

QJsonObject FaultsJson(const CliContext& c, FaultReadOutcome outcome, const FaultCodeList& faults,
                       const FaultTexts& texts) {
    QJsonArray list;
    int n = 0;
    for (const FaultCode& fault : faults)
        list.append(QJsonObject{{QStringLiteral("number"), ++n},
                                {QStringLiteral("code"), fault.code},
                                {QStringLiteral("dtc"), FaultCodeDigits(fault.code)},
                                {QStringLiteral("status"), fault.status},
                                {QStringLiteral("text"), texts.codeText(fault.code)},
                                {QStringLiteral("statusText"), texts.statusText(fault.status)}});
    QJsonObject doc{{QStringLiteral("outcome"),
                     outcome == FaultReadOutcome::Found   ? QStringLiteral("found")
                     : outcome == FaultReadOutcome::Empty ? QStringLiteral("empty")
                                                          : QStringLiteral("unsupported")},
                    {QStringLiteral("faults"), list}};
    if (outcome != FaultReadOutcome::Found)
        doc.insert(QStringLiteral("message"), NoFaultMessage(c, outcome));
    return doc;
}
