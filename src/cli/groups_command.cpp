// groups and monitor: up to four measuring groups polled as the Group page
// polls its slots, one row (groups) or one JSON line (monitor) per poll, and
// the page's CSV log when asked for.
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/link_session.h"
#include "cli/output.h"
#include "cli/shapes.h"
#include "config/app_locale.h"
#include "config/clock.h"
#include "config/web_links.h"
#include "log/log_header.h"
#include "log/measurement_log_file.h"
#include "services/requests.h"
#include "values/label_file.h"
#include "values/measured_value.h"

#include <QDateTime>
#include <QJsonArray>
#include <algorithm>
#include <array>

namespace {

constexpr int PollInterval = 20; // ms after each group, as the page pauses
constexpr int FieldNumbers[] = {1, 2, 3, 4};

struct GroupReading {
    int group = 0;
    bool answered = false;
    QString reason;    // when not answered: "refused", or "unreadable" (no field could be read)
    int64_t began = 0; // ms since the start, when its request went out
    std::array<QString, 4> names;
    std::array<QString, 4> values; // as the value boxes show them
};

struct Poll {
    QList<GroupReading> groups;
    int64_t lastMs = 0; // the last slot times its milliseconds after its request
};

QList<int> groupNumbers(const CliContext& c) {
    QList<int> groups;
    for (const QString& text : c.invocation.arguments.mid(1)) {
        bool ok = false;
        const int g = text.toInt(&ok);
        if (!ok || g < 1 || g > 255)
            throw CliFailure{Exit::Usage, c.text(CliText::InvalidGroup).arg(text)};
        groups << g;
    }
    return groups;
}

Poll poll(CommandChannel& channel, const IniFile& labels, const QList<int>& groups, int64_t start) {
    Poll p;
    BlockBuffer buffer;
    for (qsizetype k = 0; k < groups.size(); ++k) {
        GroupReading r;
        r.group = groups[k];
        r.began = Clock::nowMs() - start;
        r.answered = ReadGroup(channel, buffer, r.group);
        if (!r.answered) {
            r.reason = QStringLiteral("refused");
        } else if (std::all_of(std::begin(FieldNumbers), std::end(FieldNumbers),
                               [&](int f) { return buffer.field(f).type < 0; })) {
            // A reply came, but not one field of it was a number.
            r.answered = false;
            r.reason = QStringLiteral("unreadable");
        }
        for (int f = 1; f <= 4; ++f) {
            const BlockBuffer::Field field = buffer.field(f);
            // A refusal shows as the page shows it: no names, "NA".
            r.names[size_t(f - 1)] =
                r.answered ? LookupGroupLabel(labels, r.group, f, field.type) : QStringLiteral("-");
            r.values[size_t(f - 1)] = r.answered ? FormatMeasuredValue(field.type, field.a, field.b)
                                                 : QStringLiteral("NA");
        }
        if (k == 3)
            p.lastMs = Clock::nowMs() - start;
        p.groups << r;
        channel.Pause(PollInterval);
    }
    return p;
}

QStringList rowCells(const Poll& p) {
    QStringList cells{
        LogFormat::ElapsedTime(p.groups.first().began, AppLocale::decimalSeparator())};
    for (const GroupReading& r : p.groups)
        for (size_t f = 0; f < 4; ++f) {
            const ValueText v = SplitValue(r.values[f]);
            cells << r.names[f] << v.value << v.unit;
        }
    return cells;
}

QJsonObject pollJson(const Poll& p) {
    QJsonArray groups;
    for (const GroupReading& r : p.groups) {
        QJsonArray fields;
        for (size_t f = 0; f < 4; ++f)
            fields.append(ValueJson(r.names[f], r.values[f]));
        groups.append(QJsonObject{
            {QStringLiteral("group"), r.group},
            {QStringLiteral("answered"), r.answered},
            {QStringLiteral("reason"), r.reason.isEmpty() ? QJsonValue() : QJsonValue(r.reason)},
            {QStringLiteral("fields"), fields}});
    }
    const int64_t ms = p.groups.first().began;
    return {{QStringLiteral("ms"), double(ms)},
            {QStringLiteral("time"), LogFormat::ElapsedTime(ms, QLatin1Char('.'))},
            {QStringLiteral("groups"), groups}};
}

// The row of the log: each slot's cells as the page writes them.
QString logRow(const Poll& p) {
    QStringList cells;
    for (qsizetype k = 0; k < p.groups.size(); ++k) {
        const GroupReading& r = p.groups[k];
        cells << LogFormat::GroupSlotCells(k == 3 ? p.lastMs : r.began, r.began, r.values,
                                           AppLocale::decimalSeparator());
    }
    return LogFormat::Cells(cells);
}

QStringList logHeader(const CliContext& c, int address, const TecuID& id, const Poll& first) {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = AppLocale::locale();
    LogFormat::HeaderInfo info;
    info.versionText = LoadStr(0);
    info.webAddress = WebLinks::InfoPage;
    info.dateText = locale.toString(now.date(), AppLocale::shortDateFormat());
    info.timeText = locale.toString(now.time(), AppLocale::longTimeFormat());
    info.unitCaption = c.text(1);
    info.unitText = UnitEntry(address, c.lang);
    info.partCaption = c.text(16);
    info.partNumber = id.VAGTyp;
    QList<LogFormat::GroupSlot> ticked;
    for (const GroupReading& r : first.groups)
        ticked << LogFormat::GroupSlot{QString::number(r.group), r.names, r.values};
    return LogFormat::GroupHeaderLines(info, c.text(10), c.text(76), c.text(75), ticked);
}

// Monitor streams its polls and keeps none of them: it runs for as long as
// the user lets it in the memory of one poll.
int pollGroups(const CliContext& c, CliOutput& out, QJsonObject& doc, bool monitor) {
    const Invocation& inv = c.invocation;
    const int address = RequireAddress(c, inv.arguments.value(0));
    const QList<int> groups = groupNumbers(c);
    // One document comes out only at the end: without a bound it would grow
    // in memory for ever.
    if (!monitor && inv.json && !inv.count && !inv.seconds)
        throw CliFailure{Exit::Usage, c.text(OutcomeText::GroupsJsonNeedsBound)};
    DescribeUnit(c, out, address, doc);
    ConfirmAirbag(c, out, address);
    QJsonArray groupList;
    for (int g : groups)
        groupList.append(g);
    doc.insert(QStringLiteral("groups"), groupList);

    // Opened before the car is touched, so a file that cannot be written
    // costs no connection.
    // A file that refuses a write is reported once and recording ends there,
    // as in the window; the polling goes on.
    MeasurementLogFile log;
    const auto reportLogFailure = [&] {
        const QString reason = log.takeFailure();
        if (reason.isEmpty())
            return;
        log.close();
        out.error(MeasurementLogFile::FailureMessage(c.lang, log.fileName(), reason));
    };
    if (!inv.logPath.isEmpty()) {
        log.bind(inv.logPath);
        if (!log.open())
            throw CliFailure{Exit::Usage, MeasurementLogFile::FailureMessage(c.lang, inv.logPath,
                                                                             log.takeFailure())};
        doc.insert(QStringLiteral("log"), inv.logPath);
    }

    QJsonArray polls;
    CliLink link(c, out, RecordingHeader::Kind::Session, {address});
    const auto keepPolls = [&] {
        if (!monitor)
            doc.insert(QStringLiteral("polls"), polls);
    };
    try {
        link.run([&] {
            CommandChannel& channel = link.connectUnit(address);
            const IniFile labels =
                OpenLabelFile(c.paths.dataDirs(), c.languageCode, link.identification().VAGTyp);
            int64_t start = Clock::nowMs();
            if (log.isOpen()) {
                // The header names the fields and units of a poll before it,
                // as the page's header waits for a whole pass.
                const Poll first = poll(channel, labels, groups, start);
                for (const QString& line : logHeader(c, address, link.identification(), first))
                    if (!log.writeLine(line))
                        break;
                reportLogFailure();
                start = Clock::nowMs();
            }
            for (int n = 0;; ++n) {
                if (inv.count && n >= *inv.count)
                    break;
                if (inv.seconds && Clock::nowMs() - start >= int64_t(*inv.seconds * 1000))
                    break;
                const Poll p = poll(channel, labels, groups, start);
                // A whole row at once: a stop can only fall between rows.
                if (log.isOpen()) {
                    log.writeLine(logRow(p));
                    reportLogFailure();
                }
                if (monitor) {
                    out.jsonLine(pollJson(p));
                } else {
                    // Tabs also on a terminal: aligned columns would shift as
                    // the values change their width.
                    QStringList cells = rowCells(p);
                    for (QString& cell : cells)
                        cell = CliOutput::escaped(cell);
                    out.line(cells.join(QLatin1Char('\t')));
                    if (out.json())
                        polls.append(pollJson(p));
                }
                Interrupt::throwIfNew();
            }
        });
    } catch (...) {
        log.close();
        keepPolls();
        throw;
    }
    log.close();
    keepPolls();
    return Exit::Done;
}

} // namespace

int RunGroups(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    return pollGroups(c, out, doc, false);
}

int RunMonitor(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    // The closing document, with --json, is one more line of the stream.
    out.setJsonLines(true);
    return pollGroups(c, out, doc, true);
}
