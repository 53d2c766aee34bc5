// TForm1::ConnectInterface, ResetConnectionView and the window events that
// start and end a session (Connect, Disconnect, close).
// Owns: BitBtn2/BitBtn3 swapping, status panels 0 to 4, the window caption.
#include "config/strings.h"
#include "link/interface_connection.h"
#include "reports/link_texts.h"
#include "session/diagnostic_session.h"
#include "softchip/cable_port.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
// The session's events as the window shows them: status panels, the colour
// of panel 0, and the boxes of a failed attempt.
class WindowSessionView : public SessionObserver {
public:
    explicit WindowSessionView(TForm1& form) : f(form) {}

    void attemptStarted(int fixedBaud) override {
        f.StatusBar1->setPanelText(0, f.Str(22));
        f.state.ConnectionState = ConnectionState::Connecting;
        f.StatusBar1->update();
        f.StatusBar1->setPanelText(
            1, fixedBaud ? QString::number(fixedBaud) + QStringLiteral(" Baud") : QString());
        f.state.FixedBaudMarked = fixedBaud ? 1 : 0;
        f.StatusBar1->update();
        f.StatusBar1->repaint();
    }
    void portOpened(const QString& portName) override { f.RememberPort(portName); }
    void portOpenFailed(const QString& portName, const PortOpenError& error) override {
        f.ShowPortOpenFailure(portName, error);
    }
    void chipIdentified(const QString& line) override { f.StatusBar1->setPanelText(2, line); }
    void connected(int speedCode, ProtocolKind protocol) override {
        f.StatusBar1->setPanelText(1, KLineSpeedText(speedCode) + QStringLiteral(" Baud"));
        f.StatusBar1->setPanelText(0, f.Str(23));
        f.state.ConnectionState = ConnectionState::Connected;
        f.StatusBar1->update();
        f.state.ProtocolKind = protocol;
        f.StatusBar1->setPanelText(3, f.Str(24) + ProtocolName(protocol));
    }
    void attemptFailed(AttemptEnd end, const AttemptSeen& seen) override {
        f.state.LastAttemptSeen = seen;
        const int id = end == AttemptEnd::NoInterface ? 306 : end == AttemptEnd::NoChip ? 305 : 0;
        if (id) {
            const QString detail = AttemptSeenText(seen, f.AttemptAddress, f.state.LanguageOffset);
            f.prompts.message(f.Str(301), detail.isEmpty() ? f.Str(id) : f.Str(id) + '\n' + detail,
                              PromptIcon::Error);
        }
        f.StatusBar1->setPanelText(0, f.Str(6));
        f.state.ConnectionState = ConnectionState::NotConnected;
        f.StatusBar1->update();
        for (int panel = 1; panel <= 3; ++panel)
            f.StatusBar1->setPanelText(panel, QString());
    }

private:
    TForm1& f;
};
} // namespace

std::unique_ptr<SessionObserver> TForm1::MakeSessionView() {
    return std::make_unique<WindowSessionView>(*this);
}

CommandChannel& TForm1::Channel() {
    return Session->channel();
}

void TForm1::PrepareSession() {
    Session->setSettings(state);
    PortFactory factory(DemoInterface(), DemoInterfaceNames());
    addPlainCableKind(factory, &Trace);
    const PortFactory::KindMaker demoKLine = m_options.demoKLine;
    factory.addKind(PortKind::DemoKLine, IsDemoKLineName,
                    [demoKLine](const QString& name, PortOpenError& error) {
                        if (demoKLine)
                            return demoKLine(name, error);
                        error.kind = PortOpenFailure::DemoUnavailable;
                        return std::unique_ptr<ByteStream>();
                    });
    Session->setPortFactory(std::move(factory));
    Session->setInterfaceKind(m_interfaceKind);
    Session->setTrace(&Trace);
    Session->setRecorder(&Recorder);
}

void TForm1::ShowPortOpenFailure(const QString& portName, const PortOpenError& error) {
    // The check holds the hourglass until its box; the box is the answer.
    if (m_checkRunning)
        QApplication::restoreOverrideCursor();
    prompts.message(Str(301), PortOpenMessage(portName, error, state.LanguageOffset),
                    PromptIcon::Error);
}

bool TForm1::ConnectInterface(int address, AttemptEnd* end) {
    PrepareSession();
    AttemptAddress = address;
    const bool connected = Session->connect(CurrentPort(), address);
    const InterfaceInfo& info = Session->info();
    if (info.End == AttemptEnd::PortNotOpened)
        ResetConnectionView();
    if (info.End != AttemptEnd::PortNotOpened) {
        state.ChipVersion = info.ChipVersion;
        state.ProtocolKind = info.Protocol;
    }
    if (end)
        *end = info.End;
    return connected;
}

void TForm1::ReportFailedAttempt(AttemptEnd end, int address) {
    const auto showBreak = [this](const std::exception_ptr& error) {
        if (!error)
            return;
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            ShowLinkFailure(e);
        } catch (...) {
        }
    };
    switch (end) {
    case AttemptEnd::UnitSilent:
        // No box: a unit that is not fitted is an everyday answer. The
        // status bar says what the interface answered instead.
        StatusBar1->setPanelText(
            0, AttemptSeenText(state.LastAttemptSeen, address, state.LanguageOffset));
        break;
    case AttemptEnd::AdapterLost:
        showBreak(Session->info().Error);
        prompts.message(Str(301), Str(TeamText::AdapterLost).arg(CurrentPort()), PromptIcon::Error);
        if (Session->info().Error)
            KeepLinkFailureInToolTip();
        break;
    case AttemptEnd::Failed:
        // The set-up broke off (silence, no prompt, an endless line): the
        // communication error, with its reason in the status bar.
        if (Session->info().Error) {
            showBreak(Session->info().Error);
            prompts.message(Str(301), Str(304), PromptIcon::Error);
            KeepLinkFailureInToolTip();
        }
        break;
    default:
        // Told already (port, 305, 306), asked for (Disconnect), or nothing
        // the user can act on.
        break;
    }
}

void TForm1::ResetConnectionView() {
    StatusBar1->setPanelText(0, Str(6));
    state.ConnectionState = ConnectionState::NotConnected;
    for (int panel = 1; panel <= 4; ++panel)
        StatusBar1->setPanelText(panel, QString());
    StatusBar1->update();
    BitBtn3->setVisible(true);
    BitBtn2->setVisible(false);
    BitBtn1->setEnabled(true);
    ComboBox1->setEnabled(true);
    ComboBox2->setEnabled(true);
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    BitBtn4->setEnabled(false);
    for (const auto& slot : GroupValueBoxes)
        for (TLabel* box : slot)
            box->setColor(QColor(192, 220, 192));
    ComboBox3->setEnabled(true);
    CheckListBox1->setEnabled(true);
    CheckBox6->setEnabled(true);
    InterfaceCheckButton->setEnabled(true);
    BitBtn6->setEnabled(true);
    BitBtn7->setEnabled(false);
    CodingUndoButton->setEnabled(false);
    AdaptationUndoButton->setEnabled(false);
    CheckBox7->setEnabled(false);
    BitBtn5->setEnabled(false);
    // Their requests only a running session carries out.
    for (QPushButton* b : {BitBtn8, BitBtn13, BitBtn15})
        b->setEnabled(false);
    state.SessionRunning = false;
}

void TForm1::ShowConnecting() {
    StatusBar1->setPanelText(0, Str(7));
    state.ConnectionState = ConnectionState::Connecting;
    for (int panel = 1; panel <= 4; ++panel)
        StatusBar1->setPanelText(panel, QString());
    StatusBar1->update();
}

void TForm1::BitBtn3Click() {
    if (ComboBox2->currentIndex() <= 1)
        SearchECUs();
    else
        ConnectOneECU();
}

void TForm1::BitBtn2Click() {
    state.StopRequested = true;
    BitBtn6->setEnabled(true);
    if (Trace.IsOn() && !Memo1->toPlainText().isEmpty()) {
        const QStringList notes = Memo1->toPlainText().split('\n');
        for (const QString& line : notes)
            Trace.Note(line);
    }
    CloseMeasurementLog();
    setWindowTitle(QStringLiteral("Vandrix  |  ") + LoadStr(0));
}

void TForm1::FormClose() {
    // A session running underneath unwinds quietly: no "ATH" on a closed
    // port, no error box for a window that is gone.
    state.Closing = true;
    state.StopRequested = true;
    Session->setClosing();
    if (!BitBtn2->isHidden() || m_checkRunning) {
        try {
            if (ByteStream* port = Session->port())
                port->Close();
        } catch (const std::exception&) {
        }
    }
    Trace.FormClose();
    Trace.Close();
}
