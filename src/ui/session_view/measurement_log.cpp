// The CSV measurement log of the Group and raw data pages: the file choice,
// the header that starts each recording and the rows the pages write.
// Owns: the log state of SessionState (MeasurementLog, LogFileChosen,
// LoggingActive, LogToggled, LogStartTick), SaveDialog1's file name, CheckBox7,
// the window title while a log file is chosen, and the group inputs, which
// stay fixed while recording.
#include "config/app_locale.h"
#include "config/clock.h"
#include "config/strings.h"
#include "log/log_format.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"
#include "ui/web_page.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <algorithm>

namespace {

// The spin buttons go too: they would change a group behind a disabled field.
void SetGroupInputsEnabled(TForm1& w, bool enabled) {
    for (size_t k = 0; k < 4; ++k) {
        w.GroupEdits[k]->setEnabled(enabled);
        w.GroupUpDowns[k]->setEnabled(enabled);
        w.GroupEnableBoxes[k]->setEnabled(enabled);
    }
}

// A file that refuses writes would otherwise leave the user recording into
// nothing; they hear of it once per recording. Recording stops there (the
// pass's end closes the file) and the session goes on. The state changes
// before the box, so nothing is written or reported while it is open.
void ReportLogFailure(TForm1& w) {
    const QString reason = w.state.MeasurementLog.takeFailure();
    if (reason.isEmpty())
        return;
    w.CheckBox7->setChecked(false);
    w.state.LoggingActive = false;
    w.prompts.message(w.Str(301),
                      MeasurementLogFile::FailureMessage(w.state.LanguageOffset,
                                                         w.state.MeasurementLog.fileName(), reason),
                      PromptIcon::Error);
}

QString DateTimeLine(const QDateTime& now) {
    const QLocale locale = AppLocale::locale();
    return LogFormat::PairLine(locale.toString(now.date(), AppLocale::shortDateFormat()),
                               locale.toString(now.time(), AppLocale::longTimeFormat()));
}

QList<LogFormat::GroupSlot> TickedSlots(const TForm1& w) {
    QList<LogFormat::GroupSlot> ticked;
    for (size_t k = 0; k < 4; ++k) {
        if (!w.GroupEnableBoxes[k]->isChecked())
            continue;
        LogFormat::GroupSlot slot;
        slot.groupText = w.GroupEdits[k]->text();
        for (size_t f = 0; f < 4; ++f) {
            slot.names[f] = w.GroupNameLabels[k][f]->text();
            slot.valueTexts[f] = w.GroupValueBoxes[k][f]->text();
        }
        ticked << slot;
    }
    return ticked;
}

} // namespace

void TForm1::CloseMeasurementLog() {
    state.MeasurementLog.close();
    state.LoggingActive = false;
    CheckBox7->setChecked(false);
    CheckBox7->setEnabled(false);
    SaveDialog1.fileName.clear();
}

void TForm1::GetLogFileName() {
    QString chosen;
    for (;;) {
        chosen = prompts.saveFile(SaveDialog1);
        if (chosen.isEmpty())
            return;
        // A file in a folder that is not there could never be written; the
        // dialog asks again rather than fail at the first row.
        const QString folder = QFileInfo(chosen).absolutePath();
        if (QFileInfo(folder).isDir())
            break;
        prompts.message(Str(301), Str(TeamText::LogFolderMissing).arg(folder), PromptIcon::Warning);
    }
    SaveDialog1.fileName = chosen;
    state.MeasurementLog.close();
    state.LogFileChosen = false;
    state.MeasurementLog.bind(chosen);
    CheckBox7->setEnabled(true);
    CheckBox7->setChecked(false);
    state.LogFileChosen = true;
    setWindowTitle(QStringLiteral("Vandrix  |  ") + LoadStr(0) + QStringLiteral(" [") + chosen +
                   QLatin1Char(']'));
}

void TForm1::WriteLogHeader() {
    if (!CheckBox7->isChecked()) {
        state.MeasurementLog.close();
        SetGroupInputsEnabled(*this, true);
        return;
    }
    state.LogStartTick = Clock::nowMs();
    // Only a test can tick the box before a file is chosen; rows then go nowhere.
    if (!state.MeasurementLog.isBound())
        return;
    if (!state.MeasurementLog.open()) {
        // A recording that cannot start shows as off, not as running.
        ReportLogFailure(*this);
        return;
    }
    MeasurementLogFile& log = state.MeasurementLog;
    // The header stops at its first failed line; the rows still follow.
    bool ok = log.writeLine(LogFormat::PairLine(QStringLiteral("Vandrix ") + LoadStr(0),
                                                WebLinks::InfoPage)) &&
              log.writeLine(DateTimeLine(QDateTime::currentDateTime())) &&
              log.writeLine(LogFormat::PairLine(Label95->text(), Label97->text())) &&
              log.writeLine(LogFormat::PairLine(Label1->text(), Label6->text())) &&
              log.writeLine(QString());
    const int page = PageControl1->tabIndex();
    if (page == 1) {
        SetGroupInputsEnabled(*this, false);
        const QList<LogFormat::GroupSlot> ticked = TickedSlots(*this);
        ok = ok && log.writeLine(LogFormat::WithoutAccelerator(Str(10))) &&
             log.writeCells(LogFormat::GroupTitleCells(Str(76), ticked)) && log.endLine() &&
             log.writeCells(LogFormat::GroupColumnCells(Str(75), ticked)) && log.endLine();
    } else if (page == 2) {
        SetGroupInputsEnabled(*this, false);
        QStringList byteNames;
        for (QGroupBox* box : RawGroupBoxes)
            byteNames << box->title();
        ok = ok && log.writeLine(LogFormat::WithoutAccelerator(Str(29))) &&
             log.writeCells(LogFormat::RawColumnCells(Str(75), byteNames)) && log.endLine();
    }
    ReportLogFailure(*this);
}

void TForm1::FollowLogToggle(bool toggleSeen) {
    if (toggleSeen) {
        state.LogToggled = false;
        WriteLogHeader();
        state.LoggingActive = true;
    }
    if (!CheckBox7->isChecked()) {
        state.LoggingActive = false;
        WriteLogHeader();
    }
}

void TForm1::WriteGroupLogCells(size_t slot) {
    const int64_t began = state.SlotElapsed[slot];
    if (began < 0)
        return;
    // The last slot reads its milliseconds after its request, its time before.
    const int64_t ms = slot == 3 ? Clock::nowMs() - state.LogStartTick : began;
    std::array<QString, 4> values;
    for (size_t f = 0; f < 4; ++f)
        values[f] = GroupValueBoxes[slot][f]->text();
    // Written whole when the pass ends: a kill leaves no part of a row.
    state.MeasurementLog.addRowCells(
        LogFormat::GroupSlotCells(ms, began, values, AppLocale::decimalSeparator()));
}

void TForm1::EndGroupLogRow() {
    if (!state.LoggingActive)
        return;
    const bool anyPolled = std::any_of(state.SlotElapsed.begin(), state.SlotElapsed.end(),
                                       [](int64_t elapsed) { return elapsed >= 0; });
    if (!anyPolled)
        return;
    state.MeasurementLog.endLine();
    ReportLogFailure(*this);
}

void TForm1::WriteRawLogRow() {
    const int64_t ms = Clock::nowMs() - state.LogStartTick;
    QStringList shown;
    for (TLabel* box : RawValueBoxes)
        shown << box->text();
    state.MeasurementLog.addRowCells(
        LogFormat::RawRowCells(ms, shown, AppLocale::decimalSeparator()));
    state.MeasurementLog.endLine();
    ReportLogFailure(*this);
}
