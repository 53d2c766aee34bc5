#include "session/unit_changes.h"

#include "config/user_data.h"
#include "services/hex_number.h"
#include "services/requests.h"

std::optional<int> DecimalNumber(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

ChangeJournal::UnitNow UnitNowOf(int address, const TecuID& id) {
    return {address,
            UnitIdentity::fromIdentification(id.VAGTyp, id.Part, id.Zusatz, id.EXT, id.IMP),
            id.Coding, id.WSC};
}

std::optional<QString> ReadAdaptationNow(CommandChannel& channel, int adaptationChannel,
                                         BlockBuffer& buffer) {
    if (!RequestAdaptation(channel, adaptationChannel))
        return std::nullopt;
    // A block shorter than four fields must not show what an earlier
    // request left in the buffer.
    buffer.Clear();
    buffer[1] = 0;
    return ReadAdaptationReply(channel, buffer);
}

OutputTestResult StepOutputTests(CommandChannel& channel) {
    OutputTestResult step;
    if (!StepOutputTest(channel))
        return step;
    if (channel.LastReply == QLatin1String("END")) {
        step.kind = OutputTestResult::Kind::End;
    } else {
        try {
            step.code = HexToIntStrict(channel.LastReply);
            step.kind = OutputTestResult::Kind::Component;
        } catch (const EConvertError&) {
            // An odd component line costs this step's display only.
            step.kind = OutputTestResult::Kind::Unreadable;
        }
    }
    channel.ReadReply(true, false); // the prompt
    return step;
}

bool LogIn(CommandChannel& channel, int code, const QString& unitWorkshopCode) {
    // Without a workshop code there is nothing to log in with: the
    // conversion error ends the session like a garbled reply.
    const auto workshopCode = DecimalNumber(unitWorkshopCode);
    if (!workshopCode)
        throw EConvertError::invalidInteger(unitWorkshopCode);
    return SendLogin(channel, code, *workshopCode);
}

QString UnitChanges::DefaultJournalPath() {
    return UserDataPath(QStringLiteral("changes.csv"));
}

bool UnitChanges::journalSent(JournalEntry& entry, const ChangeJournal::UnitNow& unit) {
    entry.time = QDateTime::currentDateTime();
    entry.address = unit.address;
    entry.setIdentity(unit.identity);
    entry.codingBefore = unit.coding;
    entry.workshopBefore = unit.workshopCode;
    entry.stage = JournalEntry::Stage::Sent;
    QString reason;
    if (ChangeJournalFile(m_path, m_header).append(entry, &reason))
        return true;
    if (m_observer)
        m_observer->journalSentUnwritten(reason);
    return false;
}

void UnitChanges::journalResult(JournalEntry entry, bool accepted, const QString& readBack,
                                const QString& codingAfter, const QString& workshopAfter) {
    entry.time = QDateTime::currentDateTime();
    entry.stage = accepted ? JournalEntry::Stage::Accepted : JournalEntry::Stage::Refused;
    entry.readBack = readBack;
    entry.codingAfter = accepted ? codingAfter : entry.codingBefore;
    entry.workshopAfter = accepted ? workshopAfter : entry.workshopBefore;
    QString reason;
    if (!ChangeJournalFile(m_path, m_header).append(entry, &reason))
        if (m_observer)
            m_observer->journalResultUnwritten(reason);
}

UnitChanges::CodingResult UnitChanges::writeCoding(CommandChannel& channel,
                                                   const ChangeJournal::UnitNow& unit, int coding,
                                                   int workshopCode, bool undo) {
    JournalEntry entry;
    entry.workshopCode = QString::number(workshopCode);
    entry.before = unit.coding;
    // In the five digits the identification shows, so before and after compare.
    entry.requested = QString::number(coding).rightJustified(5, u'0');
    entry.undo = undo;
    CodingResult result;
    if (!journalSent(entry, unit))
        return result;
    // The answer is the identification itself, and SendCommand has taken its
    // first line; a refusal came with its prompt, so nothing is left to read.
    if (WriteCoding(channel, coding, workshopCode))
        ReadIdentification(channel, result.answer, channel.LastReply);
    const bool accepted = result.answer.Erfolg;
    journalResult(entry, accepted, result.answer.Coding, result.answer.Coding, result.answer.WSC);
    result.outcome = accepted ? Outcome::Accepted : Outcome::Refused;
    return result;
}

UnitChanges::Outcome UnitChanges::saveAdaptation(CommandChannel& channel,
                                                 const ChangeJournal::UnitNow& unit,
                                                 int adaptationChannel, int value,
                                                 const QString& before, bool undo) {
    JournalEntry entry;
    entry.workshopCode = unit.workshopCode;
    entry.channel = adaptationChannel;
    entry.before = before;
    entry.requested = QString::number(value);
    entry.undo = undo;
    if (!journalSent(entry, unit))
        return Outcome::NotSent;
    // The unit reads nothing back here; its next read shows the value.
    const bool accepted = SaveAdaptation(channel, adaptationChannel, value);
    journalResult(entry, accepted, QString(), unit.coding, unit.workshopCode);
    return accepted ? Outcome::Accepted : Outcome::Refused;
}

ChangeJournal::UndoState UnitChanges::undoOffer(const ChangeJournal::UnitNow& unit, bool adaptation,
                                                const ShownValue& shown) const {
    return ChangeJournal::UndoFor(entries(), unit, adaptation, shown);
}

UnitChanges::UndoPlan UnitChanges::planCodingUndo(const ChangeJournal::UnitNow& unit) const {
    UndoPlan plan;
    plan.offer = undoOffer(unit, false, [](int) { return std::nullopt; });
    plan.now = unit.coding;
    if (plan.offer.offer != ChangeJournal::UndoState::Offer::Undo ||
        !ChangeJournal::IsUndoable(*plan.offer.change, unit, unit.coding))
        return plan;
    const JournalEntry& last = plan.offer.change->sent;
    const auto coding = DecimalNumber(last.before);
    if (!coding || !InWordRange(*coding)) {
        plan.verdict = UndoPlan::Verdict::NotANumber;
        return plan;
    }
    plan.value = *coding;
    plan.workshopCode =
        DecimalNumber(unit.workshopCode).value_or(DecimalNumber(last.workshopCode).value_or(0));
    plan.verdict = UndoPlan::Verdict::Ready;
    return plan;
}

UnitChanges::UndoPlan UnitChanges::planAdaptationUndo(const ChangeJournal::UnitNow& unit,
                                                      const ShownValue& shown,
                                                      const ReadValue& read) const {
    UndoPlan plan;
    plan.offer = undoOffer(unit, true, shown);
    if (plan.offer.offer != ChangeJournal::UndoState::Offer::Undo)
        return plan;
    const JournalEntry& last = plan.offer.change->sent;
    plan.channel = last.channel;
    const auto value = DecimalNumber(last.before);
    if (!value || !InWordRange(*value)) {
        plan.verdict = UndoPlan::Verdict::NotANumber;
        return plan;
    }
    plan.value = *value;
    // The channel's value now, as shown, otherwise read from the unit.
    std::optional<QString> now = shown(last.channel);
    if (!now)
        now = read(last.channel);
    plan.now = now.value_or(QString());
    plan.verdict = ChangeJournal::IsUndoable(*plan.offer.change, unit, plan.now)
                       ? UndoPlan::Verdict::Ready
                       : UndoPlan::Verdict::ValueMoved;
    return plan;
}

QList<UnitChanges::Resolution> UnitChanges::resolveOpenChanges(const ChangeJournal::UnitNow& unit,
                                                               const ReadValue& read) {
    const ChangeJournalFile journal(m_path, m_header);
    QList<Resolution> resolved;
    for (const JournalEntry& open : ChangeJournal::OpenChanges(journal.read(), unit)) {
        Resolution r{open, QString(), std::nullopt};
        r.now = open.isCoding() ? unit.coding : read(open.channel).value_or(QString());
        if (!r.now.isEmpty()) {
            const JournalEntry done =
                ChangeJournal::Completion(open, unit, r.now, QDateTime::currentDateTime());
            QString reason;
            if (journal.append(done, &reason))
                r.stage = done.stage;
            else if (m_observer)
                m_observer->journalResultUnwritten(reason);
        }
        resolved << r;
    }
    return resolved;
}
