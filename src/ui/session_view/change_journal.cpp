// The change journal around every coding write and adaptation save, and the
// undo it makes possible.
// Owns: CodingLastChange, CodingUndoButton, AdaptationLastChange,
// AdaptationUndoButton.
#include "log/change_journal.h"
#include "config/strings.h"
#include "config/user_data.h"
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

// "Letzte Änderung: 01262 → 1263" with the date and workshop code as a tip.
void ShowChange(const TForm1& w, TLabel* label, QPushButton* undo,
                const std::optional<JournalEntry>& last) {
    label->setVisible(last.has_value());
    undo->setVisible(last.has_value());
    if (!last) {
        label->clear();
        return;
    }
    const QString text =
        last->isCoding() ? w.Str(TeamText::LastCodingChange).arg(last->before, last->requested)
                         : w.Str(TeamText::LastAdaptationChange)
                               .arg(QString::number(last->channel), last->before, last->requested);
    label->setText(text);
    // When and by whom in the tip: the label has room for one line only.
    label->setToolTip(
        text + (last->undo ? QLatin1Char(' ') + w.Str(TeamText::ChangeUndone) : QString()) +
        QLatin1Char('\n') +
        w.Str(TeamText::ChangeDetails)
            .arg(QLocale().toString(last->time, QLocale::ShortFormat), last->workshopCode));
    undo->setText(w.Str(TeamText::UndoTo).arg(last->before));
    bool number = false;
    last->before.toInt(&number);
    undo->setEnabled(w.state.SessionRunning && number);
}

} // namespace

QString TForm1::ChangeJournalPath() const {
    return UserDataPath(QStringLiteral("changes.csv"));
}

bool TForm1::JournalChangeSent(JournalEntry& entry) {
    entry.time = QDateTime::currentDateTime();
    entry.address = UnitAddress(*this);
    entry.partNumber = state.Identification.VAGTyp;
    entry.stage = JournalEntry::Stage::Sent;
    QString reason;
    if (ChangeJournalFile(ChangeJournalPath()).append(entry, &reason))
        return true;
    prompts.message(Str(301), JournalFailure(*this, TeamText::JournalUnwritable, reason),
                    PromptIcon::Error);
    return false;
}

void TForm1::JournalChangeResult(JournalEntry entry, bool accepted, const QString& readBack) {
    entry.time = QDateTime::currentDateTime();
    entry.stage = accepted ? JournalEntry::Stage::Accepted : JournalEntry::Stage::Refused;
    entry.readBack = readBack;
    QString reason;
    if (!ChangeJournalFile(ChangeJournalPath()).append(entry, &reason))
        prompts.message(Str(301), JournalFailure(*this, TeamText::JournalResultUnwritten, reason),
                        PromptIcon::Error);
    ShowLastChanges();
}

std::optional<JournalEntry> TForm1::LastChange(bool adaptation) const {
    return ChangeJournal::LastAccepted(ChangeJournalFile(ChangeJournalPath()).read(),
                                       UnitAddress(*this), state.Identification.VAGTyp, adaptation);
}

void TForm1::ShowLastChanges() {
    const QList<JournalEntry> entries = ChangeJournalFile(ChangeJournalPath()).read();
    const int address = UnitAddress(*this);
    const QString part = state.Identification.VAGTyp;
    ShowChange(*this, CodingLastChange, CodingUndoButton,
               ChangeJournal::LastAccepted(entries, address, part, false));
    ShowChange(*this, AdaptationLastChange, AdaptationUndoButton,
               ChangeJournal::LastAccepted(entries, address, part, true));
}

void TForm1::CodingUndoClick() {
    state.CodingUndoRequested = true;
}
void TForm1::AdaptationUndoClick() {
    state.AdaptationUndoRequested = true;
}
