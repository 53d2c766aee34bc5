#include "cli/link_session.h"

#include "cli/cli_texts.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "config/recorder_texts.h"
#include "config/strings.h"
#include "reports/link_texts.h"
#include "sim/kline_demo.h"
#include "softchip/cable_port.h"

#include <QScopeGuard>
#include <exception>

CliLink::CliLink(const CliContext& context, CliOutput& out, RecordingHeader::Kind kind,
                 QList<int> units)
    : m_context(context), m_out(out), m_recorder(RecorderSettings::fromConfig(context.config)),
      m_session(*this, Interrupt::pump), m_recordingKind(kind), m_recordedUnits(std::move(units)) {
    m_session.setSettings(m_context.values);
    PortFactory factory(demoInterface(), DemoInterfaceNames());
    addPlainCableKind(factory);
    factory.addKind(PortKind::DemoKLine, IsDemoKLineName,
                    KLineDemoMaker(SimulatorHost::defaultScenarioPath()));
    m_session.setPortFactory(std::move(factory));
    // The command line's word before the configuration's; an unknown word
    // in vandrix.ini is as good as none.
    const QString& given = context.invocation.interfaceKind;
    m_session.setInterfaceKind((given.isEmpty() ? interfaceKindFromIni(context.values.Interface)
                                                : interfaceKindFromOption(given))
                                   .value_or(InterfaceKind::Auto));
    m_session.setRecorder(&m_recorder);
}

CliLink::~CliLink() {
    m_session.closePort();
}

void CliLink::attemptStarted(int) {
    m_out.status(m_context.text(22));
}

void CliLink::connected(int, ProtocolKind) {
    m_out.status(m_context.text(23));
}

void CliLink::attemptFailed(AttemptEnd, const AttemptSeen&) {
    m_out.status(m_context.text(6));
}

void CliLink::portOpenFailed(const QString& portName, const PortOpenError& error) {
    m_openFailure = PortOpenHeadline(portName, error, m_context.lang);
}

CommandChannel& CliLink::openInterface() {
    m_openFailure.clear();
    if (!m_session.openPort(m_context.portName))
        throw CliFailure{Exit::PortNotOpened, m_openFailure};
    return m_session.channel();
}

CommandChannel& CliLink::connectUnit(int address) {
    m_openFailure.clear();
    if (!m_session.connect(m_context.portName, address)) {
        const InterfaceInfo& info = m_session.info();
        switch (info.End) {
        case AttemptEnd::PortNotOpened:
            throw CliFailure{Exit::PortNotOpened, m_openFailure};
        case AttemptEnd::NoInterface:
        case AttemptEnd::NoChip:
            throw CliFailure{Exit::NoInterface,
                             m_context.text(info.End == AttemptEnd::NoChip ? 305 : 306) +
                                 QLatin1Char('\n') +
                                 AttemptSeenText(info.Seen, address, m_context.lang)};
        case AttemptEnd::UnitSilent:
            throw CliFailure{
                Exit::UnitSilent,
                m_context.text(CliText::UnitDoesNotAnswer).arg(UnitEntry(address, m_context.lang))};
        default:
            m_session.closePort();
            throw CliFailure{Exit::CommunicationError, m_context.text(304)};
        }
    }
    m_identification = m_session.identify();
    IdentificationTexts(m_identification, m_context.lang);
    return m_session.channel();
}

DemoStarter CliLink::demoInterface() {
    // As the window's demo: at the pace of the real wire, so a loop over the
    // demo neither burns a core nor floods the recordings folder.
    m_demo.setPaced(true);
    const QString recording = DemoRecordingPath(m_context.config, m_recorder.folder());
    return MakeDemoStarter(m_demo,
                           recording.isEmpty() ? SimulatorHost::defaultScenarioPath() : recording);
}

void CliLink::reportRecorderFailure() {
    if (const std::optional<QString> failure = m_recorder.takeUnreportedFailure())
        m_out.error(m_context.text(TeamText::RecorderOff).arg(*failure));
    // The window says this in a box; a script reads it on stderr.
    if (const std::optional<QString> notice = m_recorder.takeNotice())
        m_out.error(m_context.text(TeamText::RecordingsOverLimit).arg(*notice));
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
    bool workDone = false;
    try {
        m_session.run([&] {
            work();
            workDone = true;
        });
    } catch (const std::exception& e) {
        // As the window's communication error: no "ATH" on a broken link.
        QString reason = LinkFailureReason(e, m_context.lang);
        m_failureReason = reason;
        // What the command read stands; only the hang-up failed.
        if (workDone)
            reason = m_context.text(CliText::FinalAthUnanswered).arg(reason);
        throw CliFailure{Exit::CommunicationError,
                         m_context.text(304) + QLatin1Char('\n') + reason};
    }
}
