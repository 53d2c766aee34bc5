#include "cli/link_session.h"

#include "cli/cli_texts.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "config/clock.h"
#include "config/recorder_texts.h"
#include "link/open_port.h"
#include "services/requests.h"

#include <QScopeGuard>
#include <exception>

namespace {
const QString CR = QStringLiteral("\r");

// Reads until a prompt arrived or nothing came for quietMs, at most totalMs.
void readUntilPrompt(ByteStream& port, int quietMs, int totalMs) {
    const int64_t deadline = Clock::nowMs() + totalMs;
    while (Clock::nowMs() < deadline) {
        if (!port.WaitReadable(quietMs))
            return;
        QString s;
        port.ReadStr(s, 512);
        if (s.contains(QLatin1Char('>')) && !port.WaitReadable(0))
            return;
    }
}
} // namespace

CliLink::CliLink(const CliContext& context, CliOutput& out, RecordingHeader::Kind kind,
                 QList<int> units)
    : m_context(context), m_out(out), m_channel(m_port, Interrupt::pump),
      m_recorder(RecorderSettings::fromConfig(context.config)), m_recordingKind(kind),
      m_recordedUnits(std::move(units)) {
    m_recorder.attach(m_port);
}

CliLink::~CliLink() {
    closePort();
}

QString CliLink::text(int id) const {
    return m_context.text(id);
}

void CliLink::setStatusPanel(int panel, const QString& text) {
    if (panel == 0 && !text.isEmpty())
        m_out.status(text);
}

bool CliLink::openPort() {
    const OpenPortResult r =
        OpenConnectionPort(m_port, m_context.portName, m_context.lang, nullptr, demoInterface());
    if (!r.ok)
        m_openFailure = r.message;
    return r.ok;
}

void CliLink::openOrFail() {
    m_openFailure.clear();
    if (!openPort())
        throw CliFailure{Exit::PortNotOpened, m_openFailure};
}

CommandChannel& CliLink::openInterface() {
    openOrFail();
    return m_channel;
}

CommandChannel& CliLink::connectUnit(int address) {
    m_openFailure.clear();
    m_connectionError = 0;
    m_unitEngaged = true;
    const InterfaceSettings settings{m_context.values.InterByteTime,
                                     m_context.values.BlockDelayTime, m_context.values.KLineBaud};
    if (!ConnectInterface(address, m_channel, settings, m_info, *this, nullptr)) {
        m_unitEngaged = false;
        if (!m_openFailure.isEmpty())
            throw CliFailure{Exit::PortNotOpened, m_openFailure};
        // 305 and 306 say the chip is missing or silent; any other box of the
        // set-up reports a failure during it.
        if (m_connectionError == 305 || m_connectionError == 306)
            throw CliFailure{Exit::NoInterface,
                             text(m_connectionError) + QLatin1Char('\n') + m_connectionDetail};
        if (m_connectionError) {
            closePort();
            throw CliFailure{Exit::CommunicationError, text(m_connectionError)};
        }
        // The set-up closes the port itself only when the unit did not answer.
        if (!m_port.Connected())
            throw CliFailure{
                Exit::UnitSilent,
                text(CliText::UnitDoesNotAnswer).arg(UnitEntry(address, m_context.lang))};
        closePort();
        throw CliFailure{Exit::CommunicationError, text(304)};
    }
    m_identification = TecuID{};
    ReadIdentification(m_channel, m_identification, m_context.lang);
    return m_channel;
}

void CliLink::endUnit() {
    if (!m_unitEngaged)
        return;
    m_unitEngaged = false;
    EndDiagnosis(m_channel);
}

void CliLink::finish() {
    endUnit();
    closePort();
}

DemoStarter CliLink::demoInterface() {
    const QString recording = DemoRecordingPath(m_context.config, m_recorder.folder());
    return MakeDemoStarter(m_demo,
                           recording.isEmpty() ? SimulatorHost::defaultScenarioPath() : recording);
}

void CliLink::reportRecorderFailure() {
    if (const std::optional<QString> failure = m_recorder.takeUnreportedFailure())
        m_out.error(text(TeamText::RecorderOff).arg(*failure));
}

void CliLink::run(const std::function<void()>& work) {
    RecordingHeader header;
    header.kind = m_recordingKind;
    header.program = QStringLiteral("vandrix-cli ") + LoadStr(0);
    header.port = m_context.portName;
    header.units = m_recordedUnits;
    header.interByteTime = m_context.values.InterByteTime;
    header.blockDelayTime = m_context.values.BlockDelayTime;
    header.kLineBaud = m_context.values.KLineBaud;
    m_recorder.begin(header);
    if (m_recorder.isRecording())
        m_out.noteRecording(m_recorder.path());
    reportRecorderFailure();
    // Ends after the port is closed, so the recording holds the close too.
    const auto endRecording = qScopeGuard([this] {
        const bool noted = m_recorder.isRecording();
        m_recorder.end();
        // Ending packs the file under its final name.
        if (noted)
            m_out.noteRecording(m_recorder.path());
        reportRecorderFailure();
    });
    try {
        work();
        finish();
    } catch (const Interrupted&) {
        hangUpAfterStop();
        closePort();
        throw;
    } catch (const CliFailure& failure) {
        // A failure of the command's own (not of the link) still ends the
        // unit's session properly.
        if (failure.exitCode != Exit::CommunicationError) {
            try {
                endUnit();
            } catch (const std::exception&) {
            }
        }
        closePort();
        throw;
    } catch (const std::exception& e) {
        // As the window's communication error: no "ATH" on a broken link.
        closePort();
        throw CliFailure{Exit::CommunicationError,
                         text(304) + QLatin1Char('\n') + QString::fromLocal8Bit(e.what())};
    }
}

void CliLink::hangUpAfterStop() {
    if (!m_unitEngaged || !m_port.Connected())
        return;
    m_unitEngaged = false;
    try {
        // The chip finishes the reply it is sending before it listens again.
        readUntilPrompt(m_port, 500, 1500);
        m_port.ClearBuffer(true, false);
        m_channel.SendText(QStringLiteral("ATH") + CR);
        readUntilPrompt(m_port, 1000, 1000);
    } catch (const std::exception&) {
    }
}

void CliLink::closePort() {
    try {
        if (m_port.Connected())
            m_port.ClearBuffer(true, true);
    } catch (const std::exception&) {
    }
    try {
        m_port.Close();
    } catch (const std::exception&) {
    }
}
