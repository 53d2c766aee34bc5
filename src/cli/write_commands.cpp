// coding, adaptation, login, output-tests, journal and undo: the unit's
// changes on the session's own write flows and change journal, as the
// window makes them. A write is never casual: the unit's identification is
// shown first, a terminal is asked, a script says --yes.
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/link_session.h"
#include "cli/output.h"
#include "cli/shapes.h"
#include "config/journal_texts.h"
#include "services/fault_texts.h"
#include "session/unit_changes.h"
#include "values/label_file.h"
#include "values/measured_value.h"

#include <QDir>
#include <QJsonArray>

namespace {

// The journal's failures on standard error; a "sent" line that could not be
// written ends the command before anything is sent.
class JournalMessages : public ChangeJournalObserver {
public:
    JournalMessages(const CliContext& c, CliOutput& out, QString path)
        : m_c(c), m_out(out), m_path(std::move(path)) {}
    void journalSentUnwritten(const QString& reason) override {
        m_sentFailure = text(TeamText::JournalUnwritable, reason);
    }
    void journalResultUnwritten(const QString& reason) override {
        m_out.error(text(TeamText::JournalResultUnwritten, reason));
    }
    QString sentFailure() const { return m_sentFailure; }

private:
    QString text(int id, const QString& reason) const {
        return m_c.text(id) + QLatin1Char('\n') + QDir::toNativeSeparators(m_path) +
               QLatin1Char('\n') + reason;
    }
    const CliContext& m_c;
    CliOutput& m_out;
    QString m_path;
    QString m_sentFailure;
};

// The user's journal, a new one headed in the command's language.
UnitChanges JournalledChanges(const CliContext& c, JournalMessages& journal) {
    UnitChanges changes(UnitChanges::DefaultJournalPath(), &journal);
    changes.setJournalHeader(ChangeJournal::HeaderLine(c.lang));
    return changes;
}

// A number of the command line in its range, or a usage failure before
// anything is sent.
int NumberInRange(const CliContext& c, const QString& name, const QString& text, int most) {
    const std::optional<int> n = DecimalNumber(text);
    if (!n || *n < 0 || *n > most)
        throw CliFailure{Exit::Usage,
                         c.text(WriteText::OutOfRange).arg(name, QString::number(most), text)};
    return *n;
}

// Decided before the car is touched: nobody may be asked later.
void RequireConsentPossible(const CliContext& c, const CliOutput& out) {
    if (!c.invocation.yes && !out.stdinIsTerminal())
        throw CliFailure{Exit::Usage, c.text(WriteText::WriteNeedsConfirmation)};
}

// The unit's identification, shown before anything is written to it.
void ShowUnit(const CliContext& c, CliOutput& out, int address, const TecuID& id,
              QJsonObject& doc) {
    doc.insert(QStringLiteral("identification"), IdentificationJson(id));
    QList<QStringList> rows = IdentificationRows(c, UnitEntry(address, c.lang), id);
    rows << QStringList{c.text(71), id.Coding};
    out.table(rows);
}

// Asked on a terminal unless --yes; a no ends as a usage error, nothing sent.
void Confirm(const CliContext& c, CliOutput& out, const QString& question) {
    if (c.invocation.yes)
        return;
    QString q = question;
    q.replace(QStringLiteral(". "), QStringLiteral(".\n"));
    const bool confirmed = out.confirm(q, c.text(CliText::YesNo));
    Interrupt::throwIfNew();
    if (!confirmed)
        throw CliFailure{Exit::Usage, c.text(WriteText::NotChanged)};
}

// A link that broke after a write went out leaves its outcome unknown.
template <typename Work> void WriteStep(bool& sent, Work&& work) {
    sent = true;
    work();
    sent = false;
}
// outcome: the document's key that says whether the write took; null then.
void RunWrites(const CliContext& c, CliLink& link, bool& sent, QJsonObject& doc,
               const QString& outcome, const std::function<void()>& work) {
    try {
        link.run(work);
    } catch (const CliFailure& failure) {
        if (!sent || failure.exitCode != Exit::CommunicationError)
            throw;
        doc.insert(outcome, QJsonValue());
        throw CliFailure{Exit::OutcomeUnknown, c.text(OutcomeText::ExitOutcomeUnknown) +
                                                   QLatin1Char('\n') + failure.message};
    }
}

// The open changes of the unit completed as the window does at connection.
void ResolveOpen(const CliContext& c, CliOutput& out, UnitChanges& changes,
                 const ChangeJournal::UnitNow& unit, CommandChannel& channel) {
    BlockBuffer buffer;
    const auto read = [&](int ch) { return ReadAdaptationNow(channel, ch, buffer); };
    for (const UnitChanges::Resolution& r : changes.resolveOpenChanges(unit, read)) {
        if (!r.stage)
            out.error(c.text(TeamText::OpenChangeUnread).arg(r.open.before, r.open.requested));
        else
            out.status(c.text(*r.stage == JournalEntry::Stage::Applied
                                  ? TeamText::OpenChangeApplied
                                  : TeamText::OpenChangeNotApplied)
                           .arg(r.open.before, r.open.requested, r.now));
    }
}

// A unit that never says END is not followed for ever.
constexpr int MaxOutputTestSteps = 100;

QJsonValue Digits(const QString& value) {
    return value.isEmpty() ? QJsonValue() : QJsonValue(value);
}

} // namespace

int RunCoding(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const int address = RequireAddress(c, c.invocation.arguments.value(0));
    const bool write = !c.invocation.setCoding.isEmpty();
    int coding = 0;
    int workshopCode = 0;
    if (write) {
        if (c.invocation.workshop.isEmpty())
            throw CliFailure{Exit::Usage, c.text(WriteText::WorkshopMissing)};
        coding = NumberInRange(c, QStringLiteral("--set"), c.invocation.setCoding, 65535);
        workshopCode = NumberInRange(c, QStringLiteral("--workshop"), c.invocation.workshop, 65535);
        RequireConsentPossible(c, out);
    }
    DescribeUnit(c, out, address, doc);
    ConfirmAirbag(c, out, address);
    JournalMessages journal(c, out, UnitChanges::DefaultJournalPath());
    UnitChanges changes = JournalledChanges(c, journal);
    CliLink link(c, out, RecordingHeader::Kind::Session, {address});
    bool sent = false;
    RunWrites(c, link, sent, doc, QStringLiteral("written"), [&] {
        CommandChannel& channel = link.connectUnit(address);
        const TecuID& id = link.identification();
        const ChangeJournal::UnitNow unit = UnitNowOf(address, id);
        ResolveOpen(c, out, changes, unit, channel);
        ShowUnit(c, out, address, id, doc);
        doc.insert(QStringLiteral("coding"), Digits(id.Coding));
        doc.insert(QStringLiteral("workshopCode"), Digits(id.WSC));
        if (!write)
            return;
        doc.insert(QStringLiteral("written"), false);
        Confirm(c, out, c.text(81));
        UnitChanges::CodingResult result;
        WriteStep(sent, [&] {
            result = changes.writeCoding(channel, unit, coding, workshopCode, false);
        });
        if (result.outcome == UnitChanges::Outcome::NotSent)
            throw CliFailure{Exit::Usage, journal.sentFailure()};
        if (result.outcome == UnitChanges::Outcome::Refused)
            throw CliFailure{Exit::Refused, c.text(82)};
        doc.insert(QStringLiteral("written"), true);
        doc.insert(QStringLiteral("codingAfter"), Digits(result.answer.Coding));
        out.line(c.text(83));
        out.table(QList<QStringList>{{c.text(71), result.answer.Coding}});
    });
    return Exit::Done;
}

int RunAdaptation(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const int address = RequireAddress(c, c.invocation.arguments.value(0));
    const int number =
        NumberInRange(c, QStringLiteral("CHANNEL"), c.invocation.arguments.value(1), 99);
    const bool save = !c.invocation.saveValue.isEmpty();
    int value = 0;
    if (save) {
        value = NumberInRange(c, QStringLiteral("--save"), c.invocation.saveValue, 65535);
        RequireConsentPossible(c, out);
    }
    DescribeUnit(c, out, address, doc);
    doc.insert(QStringLiteral("channel"), number);
    ConfirmAirbag(c, out, address);
    JournalMessages journal(c, out, UnitChanges::DefaultJournalPath());
    UnitChanges changes = JournalledChanges(c, journal);
    CliLink link(c, out, RecordingHeader::Kind::Session, {address});
    bool sent = false;
    RunWrites(c, link, sent, doc, QStringLiteral("saved"), [&] {
        CommandChannel& channel = link.connectUnit(address);
        const TecuID& id = link.identification();
        const ChangeJournal::UnitNow unit = UnitNowOf(address, id);
        ResolveOpen(c, out, changes, unit, channel);
        ShowUnit(c, out, address, id, doc);
        const IniFile labels = OpenLabelFile(c.paths.dataDirs(), c.languageCode, id.VAGTyp);
        // As the page: the value, then the channel's block.
        const auto show = [&](const QString& key) {
            BlockBuffer buffer;
            const std::optional<QString> now = ReadAdaptationNow(channel, number, buffer);
            if (!now)
                throw CliFailure{Exit::Refused, c.text(WriteText::ChannelRefused).arg(number)};
            doc.insert(key, *now);
            QJsonArray fields;
            QList<QStringList> rows{{c.text(WriteText::ChannelValue).arg(number), *now}};
            for (int f = 1; buffer[1] != 0 && f <= 4; ++f) {
                const BlockBuffer::Field field = buffer.field(f);
                const QString name = LookupAdaptionLabel(labels, number, f, field.type);
                const QString shown = FormatMeasuredValue(field.type, field.a, field.b);
                fields.append(ValueJson(name, shown));
                rows << QStringList{name, shown};
            }
            doc.insert(QStringLiteral("fields"), fields);
            out.table(rows);
            return *now;
        };
        const QString before = show(QStringLiteral("value"));
        if (!save)
            return;
        doc.insert(QStringLiteral("saved"), false);
        Confirm(c, out, c.text(81));
        UnitChanges::Outcome saved = UnitChanges::Outcome::NotSent;
        WriteStep(sent, [&] {
            saved = changes.saveAdaptation(channel, unit, number, value, before, false);
        });
        if (saved == UnitChanges::Outcome::NotSent)
            throw CliFailure{Exit::Usage, journal.sentFailure()};
        if (saved == UnitChanges::Outcome::Refused)
            throw CliFailure{Exit::Refused, c.text(82)};
        doc.insert(QStringLiteral("saved"), true);
        out.line(c.text(83));
        // The page reloads the channel after a save; so does this.
        show(QStringLiteral("valueAfter"));
    });
    return Exit::Done;
}

int RunLogin(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const int address = RequireAddress(c, c.invocation.arguments.value(0));
    const std::optional<int> code = DecimalNumber(c.invocation.arguments.value(1));
    if (!code || !InWordRange(*code))
        throw CliFailure{Exit::Usage, c.text(105)};
    RequireConsentPossible(c, out);
    DescribeUnit(c, out, address, doc);
    ConfirmAirbag(c, out, address);
    CliLink link(c, out, RecordingHeader::Kind::Session, {address});
    bool sent = false;
    RunWrites(c, link, sent, doc, QStringLiteral("loggedIn"), [&] {
        CommandChannel& channel = link.connectUnit(address);
        ShowUnit(c, out, address, link.identification(), doc);
        doc.insert(QStringLiteral("loggedIn"), false);
        Confirm(c, out, c.text(WriteText::LoginQuestion));
        bool accepted = false;
        WriteStep(sent, [&] { accepted = LogIn(channel, *code, link.identification().WSC); });
        if (!accepted)
            throw CliFailure{Exit::Refused, c.text(103)};
        doc.insert(QStringLiteral("loggedIn"), true);
        out.line(c.text(104));
    });
    return Exit::Done;
}

int RunOutputTests(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const int address = RequireAddress(c, c.invocation.arguments.value(0));
    if (address == AirbagAddress && !c.invocation.airbag)
        throw CliFailure{Exit::Usage, c.text(WriteText::AirbagOutputTests)};
    RequireConsentPossible(c, out);
    DescribeUnit(c, out, address, doc);
    ConfirmAirbag(c, out, address);
    const FaultTexts texts = FaultTexts::open(c.paths.dataDirs(), c.languageCode);
    CliLink link(c, out, RecordingHeader::Kind::Session, {address});
    bool sent = false;
    QJsonArray steps;
    RunWrites(c, link, sent, doc, QStringLiteral("finished"), [&] {
        CommandChannel& channel = link.connectUnit(address);
        ShowUnit(c, out, address, link.identification(), doc);
        doc.insert(QStringLiteral("finished"), false);
        Confirm(c, out, c.text(111) + QLatin1Char('\n') + c.text(112));
        for (int n = 1; n <= MaxOutputTestSteps; ++n) {
            OutputTestResult step;
            WriteStep(sent, [&] { step = StepOutputTests(channel); });
            Interrupt::throwIfNew();
            if (step.kind == OutputTestResult::Kind::NoAnswer) {
                doc.insert(QStringLiteral("steps"), steps);
                throw CliFailure{Exit::Refused, c.text(WriteText::OutputTestRefused)};
            }
            if (step.kind == OutputTestResult::Kind::End) {
                doc.insert(QStringLiteral("finished"), true);
                out.line(c.text(116));
                break;
            }
            const bool known = step.kind == OutputTestResult::Kind::Component;
            const QString name = known ? texts.codeText(step.code) : QString();
            steps.append(
                QJsonObject{{QStringLiteral("step"), n},
                            {QStringLiteral("code"), known ? QJsonValue(step.code) : QJsonValue()},
                            {QStringLiteral("text"), name}});
            out.table(QList<QStringList>{{QString::number(n),
                                          known ? QString::number(step.code) : QStringLiteral("?"),
                                          name}});
        }
        doc.insert(QStringLiteral("steps"), steps);
    });
    return Exit::Done;
}

namespace {

QString StageWord(JournalEntry::Stage stage) {
    static const char* const words[] = {"sent", "accepted", "refused", "applied", "notApplied"};
    return QString::fromLatin1(words[int(stage)]);
}

QJsonObject EntryJson(const CliContext& c, const JournalEntry& e) {
    return {{QStringLiteral("time"), e.time.toString(Qt::ISODate)},
            {QStringLiteral("address"), e.address},
            {QStringLiteral("unit"), UnitEntry(e.address, c.lang)},
            {QStringLiteral("partNumber"), e.partNumber},
            {QStringLiteral("channel"), e.isCoding() ? QJsonValue() : QJsonValue(e.channel)},
            {QStringLiteral("before"), e.before},
            {QStringLiteral("requested"), e.requested},
            {QStringLiteral("stage"), StageWord(e.stage)},
            {QStringLiteral("readBack"), Digits(e.readBack)},
            {QStringLiteral("undo"), e.undo},
            {QStringLiteral("workshopCode"), e.workshopCode}};
}

} // namespace

int RunJournal(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    std::optional<int> address;
    if (!c.invocation.arguments.isEmpty())
        address = RequireAddress(c, c.invocation.arguments.value(0));
    const QString path = UnitChanges::DefaultJournalPath();
    doc.insert(QStringLiteral("journal"), path);
    QString error;
    const ChangeJournal::ReadResult read = ChangeJournalFile(path).readAll(&error);
    if (!error.isEmpty())
        throw CliFailure{
            Exit::Usage,
            c.text(WriteText::JournalUnreadable).arg(QDir::toNativeSeparators(path), error)};
    QJsonArray entries;
    QList<QStringList> rows;
    // The page captions without their colon, as column headings.
    const auto heading = [&](int id) {
        QString t = c.text(id);
        return t.endsWith(QLatin1Char(':')) ? t.chopped(1) : t;
    };
    if (!out.quiet())
        rows << QStringList{c.text(WriteText::JournalTime),
                            heading(1),
                            heading(16),
                            c.text(WriteText::JournalChange),
                            c.text(WriteText::JournalBefore),
                            c.text(WriteText::JournalSent),
                            c.text(WriteText::JournalStage),
                            heading(19)};
    for (const JournalEntry& e : read.entries) {
        if (address && e.address != *address)
            continue;
        entries.append(EntryJson(c, e));
        const QString what = e.isCoding() ? c.text(WriteText::JournalCoding)
                                          : c.text(WriteText::JournalChannel).arg(e.channel);
        QString stage = c.text(WriteText::JournalStageWords + int(e.stage));
        if (!e.readBack.isEmpty())
            stage += QLatin1Char(' ') + e.readBack;
        if (e.undo)
            stage += QLatin1Char(' ') + c.text(TeamText::ChangeUndone);
        rows << QStringList{QLocale().toString(e.time, QLocale::ShortFormat),
                            UnitEntry(e.address, c.lang),
                            e.partNumber,
                            what,
                            e.before,
                            e.requested,
                            stage,
                            e.workshopCode};
    }
    doc.insert(QStringLiteral("entries"), entries);
    if (entries.isEmpty())
        out.line(c.text(WriteText::JournalEmpty));
    else
        out.table(rows);
    return Exit::Done;
}

int RunUndo(const CliContext& c, CliOutput& out, QJsonObject& doc) {
    const int address = RequireAddress(c, c.invocation.arguments.value(0));
    RequireConsentPossible(c, out);
    DescribeUnit(c, out, address, doc);
    ConfirmAirbag(c, out, address);
    JournalMessages journal(c, out, UnitChanges::DefaultJournalPath());
    UnitChanges changes = JournalledChanges(c, journal);
    CliLink link(c, out, RecordingHeader::Kind::Session, {address});
    bool sent = false;
    RunWrites(c, link, sent, doc, QStringLiteral("undone"), [&] {
        CommandChannel& channel = link.connectUnit(address);
        const TecuID& id = link.identification();
        const ChangeJournal::UnitNow unit = UnitNowOf(address, id);
        ResolveOpen(c, out, changes, unit, channel);
        ShowUnit(c, out, address, id, doc);
        doc.insert(QStringLiteral("undone"), false);
        // The unit's newest change, its coding or one of its channels.
        BlockBuffer buffer;
        const auto none = [](int) { return std::optional<QString>(); };
        const auto read = [&](int ch) { return ReadAdaptationNow(channel, ch, buffer); };
        bool adaptation = false;
        const QList<JournalEntry> entries = changes.entries();
        for (auto e = entries.crbegin(); e != entries.crend(); ++e)
            if (ChangeJournal::SameUnit(*e, unit)) {
                adaptation = !e->isCoding();
                break;
            }
        const UnitChanges::UndoPlan plan = adaptation ? changes.planAdaptationUndo(unit, none, read)
                                                      : changes.planCodingUndo(unit);
        if (plan.offer.change)
            doc.insert(QStringLiteral("change"), EntryJson(c, plan.offer.change->sent));
        using Offer = ChangeJournal::UndoState::Offer;
        using Verdict = UnitChanges::UndoPlan::Verdict;
        if (plan.verdict != Verdict::Ready) {
            const Offer offer = plan.offer.offer;
            QString why = c.text(WriteText::NothingToUndo);
            if (plan.verdict == Verdict::ValueMoved ||
                (offer == Offer::Undo && plan.verdict == Verdict::NotOffered) ||
                offer == Offer::ValueMoved)
                why = c.text(TeamText::UndoValueMoved).arg(plan.now, plan.offer.change->after());
            else if (offer == Offer::ResultOpen)
                why = c.text(TeamText::UndoResultOpen);
            else if (offer == Offer::NotIdentified)
                why = c.text(TeamText::UndoNotIdentified);
            else if (plan.verdict == Verdict::NotANumber)
                why = c.text(WriteText::UndoNotANumber).arg(plan.offer.change->sent.before);
            throw CliFailure{Exit::Usage, why};
        }
        const JournalEntry& last = plan.offer.change->sent;
        const QString question =
            last.isCoding() ? c.text(TeamText::UndoCodingQuestion)
                                  .arg(UnitEntry(address, c.lang), id.VAGTyp, plan.now, last.before)
                            : c.text(TeamText::UndoAdaptationQuestion)
                                  .arg(UnitEntry(address, c.lang), id.VAGTyp,
                                       QString::number(last.channel), plan.now, last.before);
        out.line(question);
        Confirm(c, out, c.text(81));
        UnitChanges::Outcome outcome = UnitChanges::Outcome::NotSent;
        WriteStep(sent, [&] {
            outcome = last.isCoding() ? changes.undoCoding(channel, unit, plan).outcome
                                      : changes.undoAdaptation(channel, unit, plan);
        });
        if (outcome == UnitChanges::Outcome::NotSent)
            throw CliFailure{Exit::Usage, journal.sentFailure()};
        if (outcome == UnitChanges::Outcome::Refused)
            throw CliFailure{Exit::Refused, c.text(82)};
        doc.insert(QStringLiteral("undone"), true);
        doc.insert(QStringLiteral("value"), last.before);
        out.line(c.text(83));
    });
    return Exit::Done;
}
