// ident, faults and readiness: one control unit, one reading each.
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/link_session.h"
#include "cli/output.h"
#include "cli/shapes.h"
#include "log/log_format.h"
#include "services/hex_number.h"
#include "services/requests.h"
#include "values/readiness_voltage.h"

#include <QJsonArray>

int RequireAddress(const CliContext& c, const QString& text) {
    const std::optional<int> address = ParseAddress(text, c.lang);
    if (!address)
        throw CliFailure{Exit::Usage, c.text(CliText::InvalidAddress).arg(text)};
    return *address;
}

void ConfirmAirbag(const CliContext& c, CliOutput& out, int address) {
    if (address != AirbagAddress || c.invocation.yes)
        return;
    const bool confirmed =
        out.stdinIsTerminal() &&
        out.confirm(c.text(58) + QLatin1Char('\n') + c.text(59), c.text(CliText::YesNo));
    Interrupt::throwIfNew();
    if (!confirmed)
        throw CliFailure{Exit::Usage, c.text(CliText::AirbagNeedsConfirmation)};
}

void DescribeUnit(const CliContext& c, CliOutput& out, int address, QJsonObject& doc) {
    doc.insert(QStringLiteral("port"), c.portName);
    doc.insert(QStringLiteral("address"), address);
    doc.insert(QStringLiteral("unit"), UnitEntry(address, c.lang));
    // Addresses are read as hexadecimal: the first line says which unit that was.
    out.status(UnitEntry(address, c.lang));
}

int RunIdent(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const int address = RequireAddress(c, c.invocation.arguments.value(0));
    DescribeUnit(c, out, address, doc);
    ConfirmAirbag(c, out, address);
    CliLink link(c, out, RecordingHeader::Kind::Session, {address});
    link.run([&] { link.connectUnit(address); });
    doc.insert(QStringLiteral("identification"), IdentificationJson(link.identification()));
    out.table(IdentificationRows(c, UnitEntry(address, c.lang), link.identification()));
    return Exit::Done;
}

namespace {
void printFaults(const CliContext& c, CliOutput& out, FaultReadOutcome outcome,
                 const FaultCodeList& faults, const FaultTexts& texts) {
    if (outcome != FaultReadOutcome::Found) {
        out.line(NoFaultMessage(c, outcome));
        return;
    }
    QList<QStringList> rows = FaultRows(c, faults, texts);
    if (out.quiet())
        rows.removeFirst();
    out.table(rows);
}
} // namespace

int RunFaults(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const int address = RequireAddress(c, c.invocation.arguments.value(0));
    const bool clear = c.invocation.clear;
    // Decided before the car is touched: nobody may be asked later.
    if (clear && !c.invocation.yes && !out.stdinIsTerminal())
        throw CliFailure{Exit::Usage, c.text(CliText::ClearNeedsConfirmation)};
    DescribeUnit(c, out, address, doc);
    ConfirmAirbag(c, out, address);
    const FaultTexts texts = FaultTexts::open(c.paths.dataDirs(), c.languageCode);

    // A confirmation that was not given ends as a usage error, on a terminal too.
    bool declined = false;
    bool clearSent = false;
    CliLink link(c, out, RecordingHeader::Kind::Session, {address});
    try {
        link.run([&] {
            CommandChannel& channel = link.connectUnit(address);
            FaultCodeList faults;
            FaultReadOutcome outcome = ReadFaultCodes(channel, faults);
            doc.insert(QStringLiteral("faults"), FaultsJson(c, outcome, faults, texts));
            // Nothing is known of the memory: no table, and nothing to clear
            // against what the user saw.
            if (outcome == FaultReadOutcome::Refused)
                throw CliFailure{Exit::Refused, NoFaultMessage(c, outcome)};
            printFaults(c, out, outcome, faults, texts);
            if (!clear)
                return;
            const bool confirmed =
                c.invocation.yes ||
                out.confirm(c.text(33) + QLatin1Char('\n') + c.text(34), c.text(CliText::YesNo));
            Interrupt::throwIfNew();
            doc.insert(QStringLiteral("cleared"), false);
            if (!confirmed) {
                out.line(c.text(CliText::NotCleared));
                declined = true;
                return;
            }
            clearSent = true;
            if (!ClearFaultCodes(channel))
                throw CliFailure{Exit::Refused, c.text(OutcomeText::ClearRefused)};
            clearSent = false;
            doc.insert(QStringLiteral("cleared"), true);
            outcome = ReadFaultCodes(channel, faults);
            doc.insert(QStringLiteral("faultsAfterClear"), FaultsJson(c, outcome, faults, texts));
            out.line(QString());
            out.line(c.text(CliText::AfterClearing));
            if (outcome == FaultReadOutcome::Refused)
                throw CliFailure{Exit::Refused, NoFaultMessage(c, outcome)};
            printFaults(c, out, outcome, faults, texts);
        });
    } catch (const CliFailure& failure) {
        // "05" went out and the link broke before its answer: whether the
        // memory was cleared is not known.
        if (clearSent && failure.exitCode == Exit::CommunicationError) {
            doc.insert(QStringLiteral("cleared"), QJsonValue());
            throw CliFailure{Exit::OutcomeUnknown, c.text(OutcomeText::ExitOutcomeUnknown) +
                                                       QLatin1Char('\n') + failure.message};
        }
        throw;
    }
    return declined ? Exit::Usage : Exit::Done;
}

int RunReadiness(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const int address = RequireAddress(c, c.invocation.arguments.value(0));
    DescribeUnit(c, out, address, doc);
    ConfirmAirbag(c, out, address);
    int byte = -1;
    CliLink link(c, out, RecordingHeader::Kind::Session, {address});
    link.run([&] {
        CommandChannel& channel = link.connectUnit(address);
        if (RequestReadiness(channel)) {
            // As the page: a reply that is no number is a broken reply.
            byte = HexToIntStrict(channel.LastReply) & 0xFF;
            channel.ReadReply(true, false);
        }
    });

    const QString caption = LogFormat::WithoutAccelerator(c.text(44));
    if (byte < 0) {
        doc.insert(QStringLiteral("code"), QJsonValue());
        doc.insert(QStringLiteral("message"), c.text(54));
        out.line(c.text(54));
        return Exit::Done;
    }
    QString digits;
    for (int n = 0; n < 8; ++n)
        digits += ReadinessBit(byte, n) ? u'1' : u'0';
    QJsonArray items;
    QList<QList<CliOutput::Cell>> rows;
    if (!out.quiet())
        rows << QList<CliOutput::Cell>{{caption}, {digits}};
    for (int bit = 0; bit < 8; ++bit) {
        // A set bit is a test the unit has not completed.
        const bool open = ReadinessBit(byte, 7 - bit);
        const QString item = c.text(45 + bit);
        items.append(QJsonObject{{QStringLiteral("bit"), bit},
                                 {QStringLiteral("name"), item},
                                 {QStringLiteral("completed"), !open}});
        rows << QList<CliOutput::Cell>{{item},
                                       {open ? QString(QChar(0x2717)) : QString(QChar(0x2713)),
                                        open ? CliOutput::Colour::Bad : CliOutput::Colour::Good},
                                       {c.text(open ? 55 : 56)}};
    }
    doc.insert(QStringLiteral("code"), digits);
    doc.insert(QStringLiteral("items"), items);
    out.table(rows);
    return Exit::Done;
}
