// The change journal around every coding write and adaptation save, and the
// undo it makes possible. What is journalled and which change may be undone,
// and when, is decided in session/unit_changes; this file only asks it and
// shows the answer.
// Owns: CodingLastChange, CodingUndoButton, AdaptationLastChange,
// AdaptationUndoButton.
#include "log/change_journal.h"
#include "config/journal_texts.h"
#include "config/strings.h"
#include "config/user_data.h"
#include "services/requests.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>

namespace {

int UnitAddress(const TForm1& w) {
    return w.ComboBox2->currentText().left(3).toInt();
}

QString JournalFailure(const TForm1& w, int id, const QString& reason) {
    return w.Str(id) + QLatin1Char('\n') + QDir::toNativeSeparators(w.ChangeJournalPath()) +
           QLatin1Char('\n') + reason;
}

QString ChangeText(const TForm1& w, const JournalEntry& e, const QString& after) {
    return e.isCoding() ? w.Str(TeamText::LastCodingChange).arg(e.before, after)
                        : w.Str(TeamText::LastAdaptationChange)
                              .arg(QString::number(e.channel), e.before, after);
}

// "Letzte Änderung: 01262 → 1263" with the date and workshop code as a tip,
// and the undo offered only where the journal allows it.
void ShowChange(const TForm1& w, TLabel* label, QPushButton* undo,
                const ChangeJournal::UndoState& state, QString note, const QString& notice) {
    using Offer = ChangeJournal::UndoState::Offer;
    const bool shown = state.change.has_value();
    if (note.isEmpty())
        note = notice;
    label->setVisible(shown || !note.isEmpty());
    undo->setVisible(shown);
    if (!shown) {
        label->setText(note);
        label->setToolTip(notice);
        return;
    }
    const JournalEntry& last = state.change->sent;
    const QString text = ChangeText(w, last, state.change->after());
    QString why;
    if (state.offer == Offer::ValueMoved)
        why = w.Str(TeamText::UndoValueMoved)
                  .arg(last.isCoding() ? w.state.Identification.Coding : w.Label115->text(),
                       state.change->after());
    else if (state.offer == Offer::ResultOpen)
        why = w.Str(TeamText::UndoResultOpen);
    else if (state.offer == Offer::NotIdentified)
        why = w.Str(TeamText::UndoNotIdentified);
    label->setText(note.isEmpty() ? text : note);
    // When and by whom in the tip: the label has room for one line only.
    label->setToolTip(
        text + (last.undo ? QLatin1Char(' ') + w.Str(TeamText::ChangeUndone) : QString()) +
        QLatin1Char('\n') +
        w.Str(TeamText::ChangeDetails)
            .arg(QLocale().toString(last.time, QLocale::ShortFormat), last.workshopCode) +
        (why.isEmpty() ? QString() : QLatin1Char('\n') + why) +
        (notice.isEmpty() ? QString() : QLatin1Char('\n') + notice));
    undo->setText(w.Str(TeamText::UndoTo).arg(last.before));
    undo->setToolTip(why);
    bool number = false;
    last.before.toInt(&number);
    undo->setEnabled(w.state.SessionRunning && number && state.offer == Offer::Undo);
}

} // namespace

QString TForm1::ChangeJournalPath() const {
    return UserDataPath(QStringLiteral("changes.csv"));
}

namespace {
// The journal's failures as the window words them: a box each.
class JournalFailureBoxes : public ChangeJournalObserver {
public:
    explicit JournalFailureBoxes(TForm1& w) : m_w(w) {}
    void journalSentUnwritten(const QString& reason) override {
        m_w.prompts.message(m_w.Str(301), JournalFailure(m_w, TeamText::JournalUnwritable, reason),
                            PromptIcon::Error);
    }
    void journalResultUnwritten(const QString& reason) override {
        m_w.prompts.message(m_w.Str(301),
                            JournalFailure(m_w, TeamText::JournalResultUnwritten, reason),
                            PromptIcon::Error);
    }

private:
    TForm1& m_w;
};
} // namespace

UnitChanges TForm1::Changes() {
    if (!JournalFailureView)
        JournalFailureView = std::make_unique<JournalFailureBoxes>(*this);
    UnitChanges changes(ChangeJournalPath(), JournalFailureView.get());
    changes.setJournalHeader(ChangeJournal::HeaderLine(state.LanguageOffset));
    return changes;
}

ChangeJournal::UnitNow TForm1::JournalUnit() const {
    return UnitNowOf(UnitAddress(*this), state.Identification);
}

std::optional<QString> TForm1::ShownAdaptationValue(int channel) const {
    // An adaptation channel's value is known while the page shows it.
    if (channel == state.AdaptationChannel && !Label115->text().isEmpty())
        return Label115->text();
    return std::nullopt;
}

ChangeJournal::UndoState TForm1::UndoOffer(bool adaptation) const {
    return UnitChanges(ChangeJournalPath())
        .undoOffer(JournalUnit(), adaptation,
                   [this](int channel) { return ShownAdaptationValue(channel); });
}

QString TForm1::JournalNotice() const {
    const QString path = QDir::toNativeSeparators(ChangeJournalPath());
    QString error;
    const ChangeJournal::ReadResult read = ChangeJournalFile(ChangeJournalPath()).readAll(&error);
    if (!error.isEmpty())
        return Str(TeamText::JournalUnreadable).arg(path, error);
    if (read.cutLine > 0)
        return Str(TeamText::JournalCutLine).arg(path, QString::number(read.cutLine));
    return {};
}

void TForm1::ShowLastChanges(const QString& codingNote, const QString& adaptationNote,
                             std::optional<QString> journalNotice) {
    const QString notice = journalNotice ? *journalNotice : JournalNotice();
    ShowChange(*this, CodingLastChange, CodingUndoButton, UndoOffer(false), codingNote, notice);
    ShowChange(*this, AdaptationLastChange, AdaptationUndoButton, UndoOffer(true), adaptationNote,
               notice);
}

void TForm1::ResolveOpenChanges() {
    // A change whose result the journal could not record (the link dropped,
    // the program was killed) is completed from the value the unit holds now.
    // Before a completion is appended: that removes a cut last line.
    const QString notice = JournalNotice();
    QString notes[2]; // coding, adaptation
    const auto read = [this](int channel) {
        return ReadAdaptationNow(Channel(), channel, state.Buffer);
    };
    for (const UnitChanges::Resolution& r : Changes().resolveOpenChanges(JournalUnit(), read)) {
        QString& note = notes[r.open.isCoding() ? 0 : 1];
        if (!r.stage)
            note = Str(TeamText::OpenChangeUnread).arg(r.open.before, r.open.requested);
        else
            note = Str(*r.stage == JournalEntry::Stage::Applied ? TeamText::OpenChangeApplied
                                                                : TeamText::OpenChangeNotApplied)
                       .arg(r.open.before, r.open.requested, r.now);
    }
    ShowLastChanges(notes[0], notes[1], notice);
}

QString TForm1::UndoQuestion(const JournalEntry& change, const QString& now) const {
    QString question = Str(81);
    question.replace(QStringLiteral(". "), QStringLiteral(".\r\n"));
    const QString unit = ComboBox2->currentText();
    const QString part = state.Identification.VAGTyp;
    const QString names =
        change.isCoding()
            ? Str(TeamText::UndoCodingQuestion).arg(unit, part, now, change.before)
            : Str(TeamText::UndoAdaptationQuestion)
                  .arg(unit, part, QString::number(change.channel), now, change.before);
    return QString(names).replace(QLatin1Char('\n'), QStringLiteral("\r\n")) +
           QStringLiteral("\r\n\r\n") + question;
}

void TForm1::CodingUndoClick() {
    state.CodingUndoRequested = true;
}
void TForm1::AdaptationUndoClick() {
    state.AdaptationUndoRequested = true;
}
