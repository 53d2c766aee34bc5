// TForm1's flight recorder and interface check: a recording per session,
// search and check, the one report of a recording that cannot be written,
// the detail of a failed attempt in status panel 0, and the check's button
// on the search page with its result box.
// Owns: Recorder, InterfaceCheckButton.
#include "config/recorder_texts.h"
#include "config/strings.h"
#include "link/port_factory.h"
#include "reports/interface_check_text.h"
#include "reports/link_texts.h"
#include "services/interface_check.h"
#include "ui/fonts.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <algorithm>
#include <exception>

void TForm1::setUpRecorderAndCheck() {
    if (state.ConfigFileOpen())
        Recorder.setSettings(RecorderSettings::fromConfig(state.ConfigFile));

    // Below the report, right of "select all": room the search page leaves.
    InterfaceCheckButton = new QPushButton(TabSheet7);
    InterfaceCheckButton->setObjectName(QStringLiteral("InterfaceCheckButton"));
    InterfaceCheckButton->setGeometry(559, 396, 130, 23);
    InterfaceCheckButton->setFont(Fonts::msSansSerif());
    InterfaceCheckButton->setText(Str(TeamText::CheckButton));
    connect(InterfaceCheckButton, &QPushButton::clicked, this,
            [this] { Guarded([this] { InterfaceCheckClick(); }); });
}

QString TForm1::DemoRecording() const {
    return DemoRecordingPath(state.ConfigFile, Recorder.folder());
}

DemoStarter TForm1::DemoInterface() const {
    const QString recording = DemoRecording();
    if (recording.isEmpty() || !m_options.demoReplay)
        return m_options.demoInterface;
    return m_options.demoReplay(recording);
}

void TForm1::BeginRecording(RecordingHeader::Kind kind, const QList<int>& units) {
    RecordingHeader header;
    header.kind = kind;
    header.program = QStringLiteral("Vandrix ") + LoadStr(0);
    header.port = CurrentPort();
    header.units = units;
    header.interByteTime = state.InterByteTime;
    header.blockDelayTime = state.BlockDelayTime;
    header.kLineBaud = state.KLineBaud;
    if (Recorder.begin(header))
        Trace.Note(QStringLiteral("Recording ") + Recorder.path());
    ReportRecorderFailure();
}

void TForm1::ReportRecorderFailure() {
    if (state.Closing)
        return;
    // A box while the session polls would hold the link until the user
    // answers: the status bar says it now, the box comes once the session ends.
    if (state.SessionRunning && !m_checkRunning) {
        if (const std::optional<QString> failure = Recorder.pendingFailure())
            StatusBar1->setToolTip(Str(TeamText::RecorderOff).arg(*failure));
        return;
    }
    StatusBar1->setToolTip(QString());
    if (const std::optional<QString> failure = Recorder.takeUnreportedFailure())
        prompts.message(QString(), Str(TeamText::RecorderOff).arg(*failure), PromptIcon::Warning);
    if (const std::optional<QString> notice = Recorder.takeNotice())
        prompts.message(QString(), Str(TeamText::RecordingsOverLimit).arg(*notice),
                        PromptIcon::Information);
}

void TForm1::InterfaceCheckClick() {
    if (state.SessionRunning)
        return;
    state.SessionRunning = true;
    m_checkRunning = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Nothing else may open the port meanwhile.
    const std::initializer_list<QWidget*> held{
        BitBtn3, ComboBox1, ComboBox2, ComboBox3, CheckListBox1, CheckBox6, InterfaceCheckButton};
    QList<bool> wasEnabled;
    for (QWidget* w : held) {
        wasEnabled << w->isEnabled();
        w->setEnabled(false);
    }
    const auto restore = qScopeGuard([&] {
        Recorder.end();
        m_checkRunning = false;
        state.SessionRunning = false;
        if (state.Closing)
            return;
        qsizetype i = 0;
        for (QWidget* w : held)
            w->setEnabled(wasEnabled[i++]);
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    });
    BeginRecording(RecordingHeader::Kind::Check, {});
    RunInterfaceCheck();
    Recorder.end();
    ReportRecorderFailure();
}

void TForm1::RunInterfaceCheck() {
    PrepareSession();
    // A failure is shown by the session's view (ShowPortOpenFailure).
    if (!Session->openPort(CurrentPort()))
        return;
    InterfaceCheckResult result;
    QString failure;
    try {
        CheckInterface(Channel(), result);
    } catch (const std::exception& e) {
        failure = LinkFailureReason(e, state.LanguageOffset);
    }
    CloseSessionPort();
    if (state.Closing)
        return;
    QApplication::restoreOverrideCursor();
    if (!failure.isEmpty())
        StatusBar1->setPanelText(0, failure);

    VoltageScale scale;
    scale.u2Defined = state.U2 > 0;
    scale.u2 = state.U2;
    std::copy(state.TV.begin(), state.TV.end(), scale.factors.begin());
    // A broken link is the communication error; the steps that ran still show.
    QString text = (failure.isEmpty() ? Str(result.passed() ? TeamText::CheckSummaryPassed
                                                            : TeamText::CheckSummaryFailed)
                                      : Str(304)) +
                   '\n';
    for (const CheckRow& row : InterfaceCheckRows(result, scale, state.LanguageOffset, failure))
        text += QStringLiteral("\n%1: %2").arg(row.step, row.verdict) +
                (row.seen.isEmpty() ? QString() : QStringLiteral(" - ") + row.seen);
    prompts.message(failure.isEmpty() ? Str(TeamText::CheckTitle) : Str(301), text,
                    !failure.isEmpty() ? PromptIcon::Error
                    : result.passed()  ? PromptIcon::Information
                                       : PromptIcon::Warning);
}
