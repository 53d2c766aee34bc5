// request: unit requests typed by hand, their reply lines printed as they
// come. The session owns the link, so the interface's own commands are never
// passed on, and what is not a known request goes out only to an expert.
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/link_session.h"
#include "cli/output.h"
#include "cli/request_catalogue.h"
#include "cli/shapes.h"

#include <QJsonArray>

namespace {

// Lines kept per request for the JSON document: a real reply has a few
// dozen; a device that streams lines without a prompt must not fill memory.
constexpr qsizetype KeptLines = 1000;

struct Planned {
    QString text;
    RequestKind kind;
};

QList<Planned> plan(const CliContext& c) {
    QList<Planned> planned;
    for (const QString& argument : c.invocation.arguments.mid(1)) {
        const QString text = NormalisedRequest(argument);
        const RequestKind kind = ClassifyRequest(text);
        switch (kind) {
        case RequestKind::Interface:
            throw CliFailure{Exit::Usage, c.text(CliText::InterfaceCommandRefused).arg(argument)};
        case RequestKind::Unsendable:
            throw CliFailure{Exit::Usage, c.text(CliText::UnsendableRequest).arg(argument)};
        case RequestKind::OutOfRange:
        case RequestKind::Free:
            if (!c.invocation.expert)
                throw CliFailure{Exit::Usage,
                                 c.text(kind == RequestKind::OutOfRange ? CliText::RequestOutOfRange
                                                                        : CliText::NotInCatalogue)
                                     .arg(argument)};
            break;
        case RequestKind::Reads:
        case RequestKind::Writes:
            break;
        }
        planned << Planned{text, kind};
    }
    return planned;
}

bool writes(RequestKind kind) {
    // What the catalogue does not know may write.
    return kind != RequestKind::Reads;
}

} // namespace

int RunRequest(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const Invocation& inv = c.invocation;
    const int address = RequireAddress(c, inv.arguments.value(0));
    const QList<Planned> planned = plan(c);
    QStringList writing;
    for (const Planned& p : planned)
        if (writes(p.kind))
            writing << p.text;
    // Decided before the car is touched: nobody may be asked later.
    if (!writing.isEmpty() && !inv.yes && !out.stdinIsTerminal())
        throw CliFailure{Exit::Usage, c.text(CliText::WriteNeedsConfirmation)};
    DescribeUnit(c, out, address, doc);
    ConfirmAirbag(c, out, address);

    QJsonArray done;
    bool declined = false;
    bool writeUnanswered = false;
    CliLink link(c, out, RecordingHeader::Kind::Session, {address});
    const auto keep = [&] { doc.insert(QStringLiteral("requests"), done); };
    try {
        link.run([&] {
            CommandChannel& channel = link.connectUnit(address);
            doc.insert(QStringLiteral("identification"), IdentificationJson(link.identification()));
            if (!writing.isEmpty()) {
                // Whoever confirms sees which unit the writes go to.
                for (const QStringList& row :
                     IdentificationRows(c, UnitEntry(address, c.lang), link.identification()))
                    out.status(CliOutput::escaped(row.join(QLatin1Char(' '))));
                const bool confirmed =
                    inv.yes ||
                    out.confirm(c.text(CliText::ConfirmWrite).arg(writing.join(QLatin1Char(' '))),
                                c.text(CliText::YesNo));
                Interrupt::throwIfNew();
                if (!confirmed) {
                    out.line(c.text(CliText::NotSent));
                    declined = true;
                    return;
                }
            }
            for (const Planned& p : planned) {
                QJsonArray lines;
                writeUnanswered = writes(p.kind);
                channel.SendText(p.text + QLatin1Char('\r'));
                bool refused = false;
                for (bool first = true;; first = false) {
                    const QString line = channel.ReadReply(true, false);
                    if (line == u">")
                        break;
                    refused = refused || (first && ChipErrorWords::isChannelWord(line));
                    out.dataLine(line);
                    if (lines.size() < KeptLines)
                        lines.append(line);
                }
                writeUnanswered = false;
                done.append(QJsonObject{{QStringLiteral("request"), p.text},
                                        {QStringLiteral("writes"), writes(p.kind)},
                                        {QStringLiteral("refused"), refused},
                                        {QStringLiteral("lines"), lines}});
                // What follows may rest on this one (a login before a save).
                if (refused)
                    throw CliFailure{Exit::Refused, c.text(CliText::RequestRefused).arg(p.text)};
                Interrupt::throwIfNew();
            }
        });
    } catch (const CliFailure& failure) {
        keep();
        // A write went out and its answer never came: whether it took is not known.
        if (writeUnanswered && failure.exitCode == Exit::CommunicationError)
            throw CliFailure{Exit::OutcomeUnknown, c.text(OutcomeText::ExitOutcomeUnknown) +
                                                       QLatin1Char('\n') + failure.message};
        throw;
    } catch (...) {
        keep();
        throw;
    }
    keep();
    return declined ? Exit::Usage : Exit::Done;
}
