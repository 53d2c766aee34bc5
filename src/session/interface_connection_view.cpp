// TForm1::ConnectInterface, ResetConnectionView and the window events that
// start and end a session (Connect, Disconnect, close).
// Owns: BitBtn2/BitBtn3 swapping, status panels 0 to 4, the window caption.
#include "config/strings.h"
#include "link/interface_connection.h"
#include "link/open_port.h"
#include "ui/form_widgets.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {
// The window as the connection set-up sees it.
class WindowConnectionView : public ConnectionView {
public:
    explicit WindowConnectionView(TForm1& form) : f(form) {}

    void setStatusPanel(int panel, const QString& text) override {
        f.StatusBar1->setPanelText(panel, text);
    }
    void setConnectionState(int s) override {
        f.state.ConnectionState = s;
        f.StatusBar1->update();
    }
    void setFixedBaudMarked(int marked) override {
        f.state.FixedBaudMarked = marked;
        f.StatusBar1->update();
    }
    void repaintStatus() override { f.StatusBar1->repaint(); }
    bool openPort() override {
        const QString port = f.CurrentPort();
        const OpenPortResult r = OpenConnectionPort(f.SerialPort1, port, f.state.LanguageOffset,
                                                    &f.Trace, f.DemoInterface());
        if (!r.ok)
            f.prompts.message(r.caption, r.message, PromptIcon::Error);
        else
            f.RememberPort(port);
        return r.ok;
    }
    void showConnectionError(int id, const QString& detail) override {
        f.prompts.message(f.Str(301), detail.isEmpty() ? f.Str(id) : f.Str(id) + '\n' + detail,
                          PromptIcon::Error);
    }
    void resetConnectionView() override { f.ResetConnectionView(); }
    QString text(int id) const override { return f.Str(id); }

private:
    TForm1& f;
};
} // namespace

CommandChannel& TForm1::Channel() {
    if (!state.Channel)
        state.Channel = std::make_unique<CommandChannel>(SerialPort1, qtMessagePump);
    return *state.Channel;
}

bool TForm1::ConnectInterface(int address, AttemptEnd* end) {
    WindowConnectionView view(*this);
    InterfaceInfo info;
    info.ChipVersion = state.ChipVersion;
    info.ProtocolKind = state.ProtocolKind;
    const InterfaceSettings settings{state.InterByteTime, state.BlockDelayTime, state.KLineBaud};
    const bool connected = ::ConnectInterface(address, Channel(), settings, info, view, &Trace);
    state.ChipVersion = info.ChipVersion;
    state.ProtocolKind = info.ProtocolKind;
    if (end)
        *end = info.End;
    state.LastAttemptSeen = info.Seen;
    return connected;
}

void TForm1::ReportFailedAttempt(AttemptEnd end, int address) {
    switch (end) {
    case AttemptEnd::UnitSilent:
        // No box: a unit that is not fitted is an everyday answer. The
        // status bar says what the interface answered instead.
        StatusBar1->setPanelText(
            0, AttemptSeenText(state.LastAttemptSeen, address, [this](int id) { return Str(id); }));
        break;
    case AttemptEnd::AdapterLost:
        prompts.message(Str(301), Str(TeamText::AdapterLost).arg(CurrentPort()), PromptIcon::Error);
        break;
    default:
        // Told already (port, 305, 306), asked for (Disconnect), or nothing
        // the user can act on.
        break;
    }
}

void TForm1::ResetConnectionView() {
    StatusBar1->setPanelText(0, Str(6));
    state.ConnectionState = 0;
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
    if (!BitBtn2->isHidden() || m_checkRunning) {
        try {
            SerialPort1.Close();
        } catch (const std::exception&) {
        }
    }
    Trace.FormClose();
    Trace.Close();
}
