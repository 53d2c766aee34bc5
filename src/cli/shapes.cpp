#include "cli/shapes.h"

#include "cli/context.h"
#include "config/app_locale.h"
#include "log/log_format.h"
#include "reports/link_texts.h"
#include "reports/search_report.h"

#include <QRegularExpression>

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
    return {{c.text(1), unitEntry},         {c.text(16), OneLine(id.VAGTyp)},
            {c.text(17), OneLine(id.Part)}, {c.text(20), OneLine(id.Zusatz)},
            {c.text(20), OneLine(extra)},   {c.text(19), OneLine(id.WSC)}};
}

namespace {
// The digits of an optional line, leading zeros kept; null when the unit gave
// none. The record carries them behind a caption of the chosen language
// ("Tool: 0004711"), which is no data.
QJsonValue digitsJson(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("(\\d+)$"));
    const QRegularExpressionMatch m = digits.match(text.trimmed());
    return m.hasMatch() ? QJsonValue(m.captured(1)) : QJsonValue();
}
} // namespace

QJsonObject IdentificationJson(const TecuID& id) {
    return {{QStringLiteral("partNumber"), OneLine(id.VAGTyp)},
            {QStringLiteral("component"), OneLine(id.Part)},
            {QStringLiteral("extra"), OneLine(id.Zusatz)},
            {QStringLiteral("workshopCode"), digitsJson(id.WSC)},
            {QStringLiteral("coding"), digitsJson(id.Coding)},
            {QStringLiteral("device"), digitsJson(id.EXT)},
            {QStringLiteral("importer"), digitsJson(id.IMP)}};
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
    return c.text(FaultOutcomeMessageId(outcome));
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
    // A refused read lists nothing, but not an empty list: nothing was read.
    return {{QStringLiteral("outcome"), FaultOutcomeWord(outcome)},
            {QStringLiteral("faults"),
             outcome == FaultReadOutcome::Refused ? QJsonValue() : QJsonValue(list)},
            {QStringLiteral("message"), outcome == FaultReadOutcome::Found
                                            ? QJsonValue()
                                            : QJsonValue(NoFaultMessage(c, outcome))}};
}

QJsonObject CommandSkeleton(const QString& command) {
    static const QList<QPair<QString, QStringList>> keys = {
        {QStringLiteral("ports"), {QStringLiteral("ports")}},
        {QStringLiteral("check"),
         {QStringLiteral("port"), QStringLiteral("passed"), QStringLiteral("steps"),
          QStringLiteral("chip"), QStringLiteral("chipVersion"), QStringLiteral("inputs")}},
        {QStringLiteral("ident"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("identification")}},
        {QStringLiteral("faults"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("faults"), QStringLiteral("cleared"), QStringLiteral("faultsAfterClear")}},
        {QStringLiteral("groups"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("groups"), QStringLiteral("log"), QStringLiteral("polls")}},
        {QStringLiteral("readiness"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("code"), QStringLiteral("items"), QStringLiteral("message")}},
        {QStringLiteral("voltages"), {QStringLiteral("port"), QStringLiteral("inputs")}},
        {QStringLiteral("scan"),
         {QStringLiteral("port"), QStringLiteral("units"), QStringLiteral("report"),
          QStringLiteral("saved"), QStringLiteral("complete"), QStringLiteral("cutShort")}},
        {QStringLiteral("coding"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("identification"), QStringLiteral("coding"),
          QStringLiteral("workshopCode"), QStringLiteral("written"),
          QStringLiteral("codingAfter")}},
        {QStringLiteral("adaptation"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("identification"), QStringLiteral("channel"), QStringLiteral("value"),
          QStringLiteral("fields"), QStringLiteral("saved"), QStringLiteral("valueAfter")}},
        {QStringLiteral("login"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("identification"), QStringLiteral("loggedIn")}},
        {QStringLiteral("output-tests"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("identification"), QStringLiteral("steps"), QStringLiteral("finished")}},
        {QStringLiteral("journal"), {QStringLiteral("journal"), QStringLiteral("entries")}},
        {QStringLiteral("undo"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("identification"), QStringLiteral("change"), QStringLiteral("undone"),
          QStringLiteral("value")}},
        {QStringLiteral("diff"),
         {QStringLiteral("older"), QStringLiteral("newer"), QStringLiteral("different"),
          QStringLiteral("appeared"), QStringLiteral("disappeared"), QStringLiteral("replaced"),
          QStringLiteral("recoded"), QStringLiteral("notCompared"), QStringLiteral("newFaults"),
          QStringLiteral("goneFaults"), QStringLiteral("changedStatus"),
          QStringLiteral("onlyInOlder"), QStringLiteral("onlyInNewer")}},
        {QStringLiteral("raw"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("readings")}},
        {QStringLiteral("single"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("channel"), QStringLiteral("readings")}},
        {QStringLiteral("basic"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("group"), QStringLiteral("readings")}},
        {QStringLiteral("request"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("identification"), QStringLiteral("requests")}},
        // Its polls are the lines before the document.
        {QStringLiteral("monitor"),
         {QStringLiteral("port"), QStringLiteral("address"), QStringLiteral("unit"),
          QStringLiteral("groups"), QStringLiteral("log")}},
    };
    QJsonObject doc{{QStringLiteral("command"), command},
                    {QStringLiteral("exitCode"), QJsonValue()},
                    {QStringLiteral("error"), QJsonValue()},
                    {QStringLiteral("interrupted"), false},
                    {QStringLiteral("recording"), QJsonValue()}};
    for (const auto& [name, own] : keys)
        if (name == command)
            for (const QString& key : own)
                doc.insert(key, QJsonValue());
    return doc;
}
