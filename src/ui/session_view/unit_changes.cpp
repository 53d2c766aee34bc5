// The tabs that change or exercise the connected unit: the coding write of
// Softwarekonfig, the Kanalanpassung page and its save, the login and the
// output test.
// Owns: Edit6, Edit7, BitBtn7; Edit8, UpDown5, Edit9, BitBtn8, Label115,
// Label117, Label119, Memo4 and the adaptation field labels; Edit1, BitBtn13;
// BitBtn15, Label133; state AdaptationChannel, AdaptationSaved and
// OutputTestConfirmed. Every coding write and adaptation save goes through
// the change journal (session/unit_changes) first.
#include "config/journal_texts.h"
#include "log/change_journal.h"
#include "reports/link_texts.h"
#include "services/hex_number.h"
#include "services/identification.h"
#include "services/requests.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"
#include "ui/session_view/number_field.h"
#include "values/label_file.h"
#include "values/measured_value.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <optional>

namespace {

// Title of the plain information boxes, as the application calls itself.
const QString InfoCaption = QStringLiteral("Vandrix");

QString NotANumber(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

// The hourglass and a disabled button for the time a request runs; both come
// back also when the request ends the session with an error.
auto BusyWith(QPushButton* button) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    button->setEnabled(false);
    return qScopeGuard([button] {
        button->setEnabled(true);
        QApplication::restoreOverrideCursor();
    });
}

// Yes/No before anything is written to the unit; No is the default, so a
// hasty Enter changes nothing.
bool ConfirmReprogramming(TForm1& form) {
    QString text = form.Str(81);
    text.replace(QStringLiteral(". "), QStringLiteral(".\r\n"));
    return form.prompts.question(QString(), text, PromptIcon::Question, false);
}

} // namespace

void TForm1::WriteCodingRequest() {
    const auto busy = BusyWith(BitBtn7);
    int numbers[2] = {0, 0}; // workshop code, coding
    const QLineEdit* fields[2] = {Edit6, Edit7};
    for (int i = 0; i < 2; ++i) {
        const auto n = DecimalNumber(fields[i]->text());
        if (!n) {
            prompts.message(InfoCaption, NotANumber(fields[i]->text()) + '\r' + Str(80));
            return;
        }
        numbers[i] = *n;
    }
    const int workshopCode = numbers[0];
    const int coding = numbers[1];
    if (!InWordRange(workshopCode) || !InWordRange(coding)) {
        prompts.message(InfoCaption, Str(80));
        return;
    }
    if (!ConfirmReprogramming(*this))
        return;
    WriteCodingValues(coding, workshopCode, false);
}

void TForm1::WriteCodingValues(int coding, int workshopCode, bool undo) {
    UnitChanges::CodingResult written =
        Changes().writeCoding(Channel(), JournalUnit(), coding, workshopCode, undo);
    if (written.outcome == UnitChanges::Outcome::NotSent)
        return;
    // A refusal must not empty the session's record: the login still needs
    // the workshop code it holds.
    TecuID& answer = written.answer;
    IdentificationTexts(answer, state.LanguageOffset);
    // The unit's new identification first: the undo offered next compares
    // with its coding.
    if (answer.Erfolg)
        state.Identification = answer;
    ShowLastChanges();
    if (!answer.Erfolg) {
        prompts.message(QString(), Str(82), PromptIcon::Error);
        return;
    }
    const QString keptImporter = Label145->text();
    ShowIdentification();
    Label145->setText(keptImporter);
    prompts.message(InfoCaption, Str(83));
}

bool TForm1::PollAdaptationPage(CommandChannel& channel) {
    const int previous = state.AdaptationChannel;
    state.AdaptationChannel =
        ReadNumberField(Edit8, focusWidget() == Edit8, state.AdaptationChannel, 0, 99);
    const int number = state.AdaptationChannel;
    const bool changed = number != previous;
    // A new channel can take a while to answer; the field waits for it.
    // Disabling the focused spin button hands the focus on (into New Value);
    // it goes back where the user had it, unless the user moved it meanwhile.
    QWidget* const hadFocus = QApplication::focusWidget();
    QWidget* movedTo = nullptr;
    if (changed) {
        Edit8->setEnabled(false);
        UpDown5->setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        movedTo = QApplication::focusWidget();
    }
    const auto restore = qScopeGuard([this, changed, hadFocus, movedTo] {
        Edit8->setEnabled(true);
        UpDown5->setEnabled(true);
        if (changed) {
            QApplication::restoreOverrideCursor();
            if ((hadFocus == UpDown5 || hadFocus == Edit8) && movedTo != hadFocus &&
                QApplication::focusWidget() == movedTo)
                hadFocus->setFocus();
        }
    });

    auto showNoBlock = [this] {
        for (TLabel* n : AdaptationNameLabels)
            n->setText(QStringLiteral("-"));
        for (TLabel* v : AdaptationValueBoxes)
            v->setText(QStringLiteral("NA"));
    };

    const std::optional<QString> read = ReadAdaptationNow(channel, number, state.Buffer);
    if (!read) {
        Label117->show();
        Label119->hide();
        Label115->setText(QString());
        Edit9->setText(QString());
        BitBtn8->setEnabled(false);
        Memo4->clear();
        showNoBlock();
        return true;
    }

    const QString& current = *read;
    Label117->hide();
    Label115->setText(current);
    BitBtn8->setEnabled(true);

    if (changed || state.AdaptationSaved) {
        // After a save the page reloads once; later passes leave the user's
        // typing alone again.
        state.AdaptationSaved = false;
        Edit9->setText(current);
        Memo4->clear();
        if (state.LabelFileOpen()) {
            Label119->setText(LookupAdaptionTitle(state.LabelFile, number));
            Label119->show();
            Memo4->setPlainText(AdaptionHelpLines(state.LabelFile, number).join('\n'));
        } else {
            // Not the title an earlier unit's file gave this channel.
            Label119->setText(QString());
            Label119->hide();
        }
    }

    if (state.Buffer[1] != 0) {
        for (int f = 1; f <= 4; ++f) {
            const BlockBuffer::Field field = state.Buffer.field(f);
            AdaptationNameLabels[size_t(f - 1)]->setText(
                LookupAdaptionLabel(state.LabelFile, number, f, field.type));
            AdaptationValueBoxes[size_t(f - 1)]->setText(
                FormatMeasuredValue(field.type, field.a, field.b));
        }
    } else {
        showNoBlock();
    }
    // As fast as the link answers: no pause.
    return true;
}

void TForm1::SaveAdaptationRequest() {
    const auto busy = BusyWith(BitBtn8);
    const QString text = Edit9->text();
    const auto value = DecimalNumber(text);
    if (!value) {
        prompts.message(InfoCaption, NotANumber(text) + '\r' + Str(80));
        return;
    }
    if (!InWordRange(*value)) {
        prompts.message(InfoCaption, Str(80));
        return;
    }
    if (!ConfirmReprogramming(*this))
        return;
    SaveAdaptationValue(state.AdaptationChannel, *value, Label115->text(), false);
}

void TForm1::SaveAdaptationValue(int channel, int value, const QString& before, bool undo) {
    const UnitChanges::Outcome saved =
        Changes().saveAdaptation(Channel(), JournalUnit(), channel, value, before, undo);
    if (saved == UnitChanges::Outcome::NotSent)
        return;
    ShowLastChanges();
    // The unit reads nothing back here; its next page pass shows the value.
    if (saved == UnitChanges::Outcome::Accepted) {
        prompts.message(InfoCaption, Str(83));
        state.AdaptationSaved = true;
    } else {
        prompts.message(QString(), Str(82), PromptIcon::Error);
        state.AdaptationSaved = false;
    }
}

void TForm1::LoginRequest() {
    const auto busy = BusyWith(BitBtn13);
    int code = -1;
    const QString text = Edit1->text();
    if (const auto n = DecimalNumber(text))
        code = *n;
    else
        prompts.message(InfoCaption, NotANumber(text) + '\r' + Str(105));
    if (!InWordRange(code)) {
        prompts.message(InfoCaption, Str(105));
        return;
    }
    if (LogIn(Channel(), code, state.Identification.WSC)) {
        prompts.message(InfoCaption, Str(104));
    } else {
        // The unit has dropped the connection; the loop ends after this pass.
        state.StopRequested = true;
        CloseMeasurementLog();
        prompts.message(QString(), Str(103), PromptIcon::Error);
    }
}

void TForm1::OutputTestStep() {
    const auto busy = BusyWith(BitBtn15);
    // The warning is shown until the user confirms it once in this run.
    if (!state.OutputTestConfirmed && prompts.confirm(3) == 1)
        state.OutputTestConfirmed = true;
    if (!state.OutputTestConfirmed)
        return;

    const OutputTestResult step = StepOutputTests(Channel());
    switch (step.kind) {
    case OutputTestResult::Kind::NoAnswer:
        Label133->setText(QStringLiteral("NA"));
        break;
    case OutputTestResult::Kind::End:
        Label133->setText(Str(116));
        BitBtn15->setText(Str(113));
        break;
    case OutputTestResult::Kind::Component: {
        const QString decimal = QString::number(step.code);
        QString name;
        if (state.DtcTextFileOpen())
            name = state.DtcTextFile.readString(QStringLiteral("DTC"), decimal).trimmed();
        Label133->setText(name.isEmpty() ? decimal : name);
        BitBtn15->setText(Str(115));
        break;
    }
    case OutputTestResult::Kind::Unreadable:
        // An odd component line costs this step's display only.
        break;
    }
}

void TForm1::CarryOutUndoRequests() {
    // Putting an earlier value back is a change like any other: a question
    // first, the same journal lines around it. It is only ever offered onto
    // the change it undoes: this unit, still holding what the change left.
    using Verdict = UnitChanges::UndoPlan::Verdict;
    if (state.CodingUndoRequested) {
        state.CodingUndoRequested = false;
        const auto busy = BusyWith(CodingUndoButton);
        const UnitChanges::UndoPlan plan = Changes().planCodingUndo(JournalUnit());
        if (plan.verdict == Verdict::NotOffered)
            return ShowLastChanges();
        if (plan.verdict != Verdict::Ready)
            return;
        if (!prompts.question(QString(), UndoQuestion(plan.offer.change->sent, plan.now),
                              PromptIcon::Question, false))
            return;
        WriteCodingValues(plan.value, plan.workshopCode, true);
    }
    if (state.AdaptationUndoRequested) {
        state.AdaptationUndoRequested = false;
        const auto busy = BusyWith(AdaptationUndoButton);
        const UnitChanges::UndoPlan plan = Changes().planAdaptationUndo(
            JournalUnit(), [this](int channel) { return ShownAdaptationValue(channel); },
            [this](int channel) { return ReadAdaptationNow(Channel(), channel, state.Buffer); });
        if (plan.verdict == Verdict::NotOffered)
            return ShowLastChanges();
        if (plan.verdict == Verdict::NotANumber)
            return;
        if (plan.verdict == Verdict::ValueMoved) {
            prompts.message(QString(),
                            Str(TeamText::UndoValueMoved).arg(plan.now, plan.offer.change->after()),
                            PromptIcon::Error);
            return ShowLastChanges();
        }
        if (!prompts.question(QString(), UndoQuestion(plan.offer.change->sent, plan.now),
                              PromptIcon::Question, false))
            return;
        SaveAdaptationValue(plan.channel, plan.value, plan.now, true);
    }
}
