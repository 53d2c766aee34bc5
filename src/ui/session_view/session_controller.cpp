// TForm1::ConnectOneECU: one whole diagnostic session with the unit chosen in
// ComboBox2, and the request flags its loop carries out.
// Owns: the page resets at session start, the Info page's identification
// display, the label file, tab enabling, the polling loop and its end.
#include "config/clock.h"
#include "link/byte_stream.h"
#include "link/interface_connection.h"
#include "reports/link_texts.h"
#include "services/hex_number.h"
#include "services/requests.h"
#include "session/diagnostic_session.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"
#include "values/label_file.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <exception>

namespace {
void clearLabels(std::initializer_list<TLabel*> labels, const QString& text = QString()) {
    for (TLabel* l : labels)
        l->setText(text);
}

// Nothing a button asked for before this session acts in it: an output test
// click after Disconnect must never drive the next unit's actuator, and the
// warning is the new unit's to confirm.
void ClearRequestFlags(SessionState& s) {
    s.ClearDtcRequested = false;
    s.PrintRequested = false;
    s.ChooseLogFileRequested = false;
    s.CodingRequested = false;
    s.AdaptationSaveRequested = false;
    s.LoginRequested = false;
    s.OutputTestRequested = false;
    s.CodingUndoRequested = false;
    s.AdaptationUndoRequested = false;
    s.LogToggled = false;
    s.OutputTestConfirmed = false;
}
} // namespace

void TForm1::ShowSessionError(const std::exception& error) {
    if (DiagnosticSession::IsCommunicationError(error)) {
        // The debug trace says what happened where the interface sent no
        // "DATA ERROR" itself; the window ends as for any broken link.
        if (const auto* dataError = dynamic_cast<const EDataError*>(&error))
            Trace.Note(QStringLiteral("DataError;") +
                       DataErrorReasonText(dataError->reason, state.LanguageOffset));
        ShowLinkFailure(error);
        prompts.message(Str(301), Str(304), PromptIcon::Error);
        KeepLinkFailureInToolTip();
        return;
    }
    const QString what = QString::fromLocal8Bit(error.what());
    Trace.Note(QStringLiteral("ProgramError;") + what);
    prompts.message(Str(301), Str(2304).arg(what), PromptIcon::Error);
}

void TForm1::ShowLinkFailure(const std::exception& error) {
    StatusBar1->setPanelText(0, LinkFailureReason(error, state.LanguageOffset));
}

void TForm1::KeepLinkFailureInToolTip() {
    // Once the box is read the bar is idle again, as it always was; the
    // reason stays a hover away.
    const QString reason = StatusBar1->panelText(0);
    StatusBar1->setPanelText(0, Str(6));
    StatusBar1->setPanelToolTip(0, reason);
}

void TForm1::ResetSessionPages() {
    // Group
    for (size_t slot = 0; slot < 4; ++slot) {
        for (TLabel* name : GroupNameLabels[slot])
            name->setText(QStringLiteral("-"));
        for (TLabel* value : GroupValueBoxes[slot])
            value->setText(QString());
        GroupEdits[slot]->setText(QStringLiteral("1"));
        GroupEnableBoxes[slot]->setChecked(false);
    }
    // Raw data
    for (TLabel* value : RawValueBoxes)
        value->setText(QString());
    // Fault codes
    StringGrid1->setRowCount(2);
    for (int col = 0; col < 4; ++col)
        StringGrid1->setCell(col, 1, QString());
    for (QPushButton* b : {BitBtn6, BitBtn8, BitBtn5, BitBtn4, BitBtn7})
        b->setEnabled(false);
    // Readiness
    Label89->hide();
    for (TLabel* mark : ReadinessMarks)
        mark->setText(QString());
    for (TLabel* digit : ReadinessDigits)
        digit->setText(QStringLiteral("-"));
    CloseMeasurementLog();
    Memo3->clear();
    Memo5->clear(); // a unit without label file must not show the last unit's login help
    Edit8->setText(QStringLiteral("0"));
    Edit9->clear();
    Edit1->clear();
    Edit11->setText(QStringLiteral("0"));
    Label38->setText(QString());
    Edit10->setText(QStringLiteral("1"));
    // Basic settings
    clearLabels({Label122, Label123, Label128, Label129}, QStringLiteral("-"));
    clearLabels({Label121, Label126, Label127, Label130});
    CheckBox8->setChecked(false);
    // Output test, adaptation, voltages
    BitBtn15->setText(Str(113));
    Label133->setText(QString());
    Label117->hide();
    for (TLabel* v : VoltageValueBoxes)
        v->setText(QString());
}

void TForm1::ShowIdentification() {
    const TecuID& id = state.Identification;
    Label97->setText(ComboBox2->currentText());
    Label6->setText(id.VAGTyp);
    Label7->setText(id.Part);
    Label8->setText(id.Zusatz);
    Label9->setText(id.WSC);
    Label99->setText(id.WSC);
    Edit6->setText(id.WSC);
    Label145->setText(id.IMP.isEmpty() ? id.EXT : id.EXT + QStringLiteral(" - ") + id.IMP);
    Label100->setText(id.Coding);
    Edit7->setText(id.Coding);
}

void TForm1::OpenSessionLabelFile() {
    const QString part = Label6->text();
    const QString fileName = LabelFileName(part) + QStringLiteral(".ini");
    // The previous unit's file is replaced, never reused.
    state.LabelFile = OpenLabelFile(state.Paths.dataDirs(), state.LanguageCode, part);
    StatusBar1->setPanelText(4, fileName + Str(state.LabelFileOpen() ? 26 : 27));
}

void TForm1::ShowConnectedView() {
    BitBtn2->setEnabled(true);
    for (TTabSheet* sheet : {TabSheet1, TabSheet2, TabSheet3, TabSheet4, TabSheet6, TabSheet8,
                             TabSheet9, TabSheet11, TabSheet12, TabSheet13})
        sheet->setEnabled(true);
    TabSheet5->setEnabled(state.ProtocolKind == ProtocolKind::KW1281);
    TabSheet10->setEnabled(state.ChipVersion >= 2.0);
    PageControl1->update();
    for (QPushButton* b : {BitBtn6, BitBtn11, BitBtn4, BitBtn7, BitBtn13, BitBtn15})
        b->setEnabled(true);
    for (size_t i = 0; i < RawGroupBoxes.size(); ++i)
        RawGroupBoxes[i]->setTitle(QString::number(i + 1));
    state.LogToggled = false;
    state.CodingRequested = false;
    state.LoginRequested = false;
    state.LoggingActive = false;
    Memo3->clear();
    Memo4->clear();
    ResolveOpenChanges();
    if (state.LabelFileOpen()) {
        Memo3->setPlainText(LabelHelpLines(state.LabelFile, QStringLiteral("Coding")).join('\n'));
        Memo5->setPlainText(LabelHelpLines(state.LabelFile, QStringLiteral("Login")).join('\n'));
    }
}

void TForm1::ConnectOneECU() {
    state.SessionRunning = true;
    state.StopRequested = false;
    ClearRequestFlags(state);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    BitBtn3->hide();
    BitBtn3->setDefault(false);
    BitBtn2->show();
    // Disconnect also cancels the attempt: an interface that wakes up but
    // never answers would otherwise hold the window for half a minute.
    BitBtn2->setEnabled(true);
    ComboBox1->setEnabled(false);
    ComboBox2->setEnabled(false);
    clearLabels({Label6, Label7, Label8, Label9, Label97, Label145});
    ShowConnecting();
    for (int i = 0; i < PageControl1->pageCount(); ++i)
        PageControl1->page(i)->setEnabled(false);
    PageControl1->setActivePage(TabSheet1);
    PageControl1->update();
    ResetSessionPages();
    state.ResetPageNumbers();

    // Every wait of the session ends when the user disconnects, not only the
    // gaps between requests: a device that never ends its reply must not
    // hold the session.
    Session->setStopCheck([this] { return state.StopRequested; });

    const int address = ComboBox2->currentText().left(3).toInt();
    BeginRecording(RecordingHeader::Kind::Session, {address});
    const auto endRecording = qScopeGuard([this] { Recorder.end(); });
    AttemptEnd end = AttemptEnd::Failed;
    if (!ConnectInterface(address, &end)) {
        CloseSessionPort();
        if (!state.Closing) {
            ResetConnectionView();
            ReportFailedAttempt(end, address);
        }
        state.SessionRunning = false;
        Recorder.end();
        ReportRecorderFailure();
        return;
    }
    try {
        Session->run([this] {
            state.Identification = Session->identify();
            IdentificationTexts(state.Identification, state.LanguageOffset);
            ShowIdentification();
            QApplication::restoreOverrideCursor();
            OpenSessionLabelFile();
            RestartLiveGraph();
            ShowConnectedView();
            while (!state.StopRequested)
                RunSessionPass();
        });
    } catch (const std::exception& error) {
        // The state changes before the box, so nothing reports twice.
        if (!state.Closing) {
            ResetConnectionView();
            ShowSessionError(error);
            return;
        }
    }
    if (!state.Closing)
        ResetConnectionView();
    state.SessionRunning = false;
    Recorder.end();
    ReportRecorderFailure();
}

void TForm1::CloseSessionPort() {
    Session->closePort();
}

void TForm1::RunSessionPass() {
    CommandChannel& channel = Channel();
    const bool sent = PollActivePage(channel);

    if (state.ClearDtcRequested) {
        state.ClearDtcRequested = false;
        if (prompts.confirm(1) == 1)
            ClearFaultCodes(channel);
    }
    if (state.PrintRequested) {
        state.PrintRequested = false;
        AudruckStarten();
    }
    if (state.ChooseLogFileRequested) {
        state.ChooseLogFileRequested = false;
        GetLogFileName();
    }
    if (state.CodingRequested) {
        state.CodingRequested = false;
        WriteCodingRequest();
    }
    if (state.AdaptationSaveRequested) {
        state.AdaptationSaveRequested = false;
        SaveAdaptationRequest();
    }
    if (state.LoginRequested) {
        state.LoginRequested = false;
        LoginRequest();
    }
    if (state.OutputTestRequested) {
        state.OutputTestRequested = false;
        OutputTestStep();
    }
    CarryOutUndoRequests();
    ReportRecorderFailure();

    // A pass that talked to nothing waits for the user instead of looping hot;
    // any click, key or repaint ends the wait.
    if (sent || state.StopRequested) {
        channel.processMessages();
    } else {
        channel.waitForMessages(IdlePassMs);
        // Nothing is read while idle, so an unplugged adapter shows here.
        if (!state.StopRequested)
            channel.port().CheckHangUp();
    }
}

bool TForm1::PollActivePage(CommandChannel& channel) {
    // Each row asks again which page is active: a page change during an
    // earlier row's wait lets a later row run in the same pass.
    bool sent = false;
    auto active = [this](TTabSheet* sheet) { return PageControl1->activePage() == sheet; };
    if (active(TabSheet2))
        sent |= PollGroupPage(channel);
    if (active(TabSheet5))
        sent |= PollRawPage(channel);
    if (active(TabSheet3))
        sent |= PollFaultCodePage(channel);
    if (active(TabSheet6))
        sent |= PollReadinessPage(channel);
    if (active(TabSheet4))
        BitBtn7->setEnabled(true);
    if (active(TabSheet8))
        sent |= PollAdaptationPage(channel);
    if (active(TabSheet11))
        sent |= PollSingleReadingPage(channel);
    if (active(TabSheet12))
        sent |= PollBasicSettingsPage(channel);
    if (active(TabSheet10))
        sent |= PollVoltagePage(channel);
    return sent;
}

// Request flags: the handlers only set them, the loop carries them out.
void TForm1::BitBtn4Click() {
    state.ClearDtcRequested = true;
}
void TForm1::BitBtn5Click() {
    state.ChooseLogFileRequested = true;
}
void TForm1::BitBtn7Click() {
    state.CodingRequested = true;
}
void TForm1::BitBtn8Click() {
    state.AdaptationSaveRequested = true;
}
void TForm1::BitBtn13Click() {
    state.LoginRequested = true;
}
void TForm1::BitBtn15Click() {
    state.OutputTestRequested = true;
}
void TForm1::CheckBox7Click() {
    state.LogToggled = true;
}
