#include "session/diagnostic_session.h"

#include "config/clock.h"
#include "link/flight_recorder.h"
#include "services/hex_number.h"
#include "services/requests.h"

#include <exception>

namespace {
// The set-up's steps to the session's observer; the port is the session's.
class SetUpObserver : public ConnectionObserver {
public:
    SetUpObserver(DiagnosticSession& session, SessionObserver& observer, QString portName)
        : m_session(session), m_observer(observer), m_portName(std::move(portName)) {}
    void attemptStarted(int fixedBaud) override { m_observer.attemptStarted(fixedBaud); }
    bool openPort() override { return m_session.openPort(m_portName); }
    void chipIdentified(const QString& line) override { m_observer.chipIdentified(line); }
    void connected(int speedCode, ProtocolKind protocol) override {
        m_observer.connected(speedCode, protocol);
    }
    void attemptFailed(AttemptEnd end, const AttemptSeen& seen) override {
        m_observer.attemptFailed(end, seen);
    }

private:
    DiagnosticSession& m_session;
    SessionObserver& m_observer;
    QString m_portName;
};
} // namespace

DiagnosticSession::DiagnosticSession(SessionObserver& observer, CommandChannel::MessagePump pump)
    : m_observer(observer), m_pump(std::move(pump)) {}

DiagnosticSession::~DiagnosticSession() {
    if (m_recorder)
        m_recorder->detach();
}

bool DiagnosticSession::IsCommunicationError(const std::exception& error) {
    return dynamic_cast<const EDataError*>(&error) || dynamic_cast<const ESerialPort*>(&error) ||
           dynamic_cast<const EConvertError*>(&error);
}

bool DiagnosticSession::makePort(const QString& portName, PortOpenError& error) {
    closePort();
    if (m_recorder)
        m_recorder->detach();
    // The old stream goes first: a stream may own a clock the new one sets.
    m_port.reset();
    std::unique_ptr<ByteStream> fresh =
        opensAsCable(portName) ? m_factory.makeAs(PortKind::PlainCable, portName, error)
                               : m_factory.make(portName, error);
    if (!fresh) {
        m_channel.reset();
        return false;
    }
    m_portName = portName;
    m_unopened = true;
    if (m_channel)
        m_channel->setPort(*fresh);
    else
        m_channel = std::make_unique<CommandChannel>(*fresh, m_pump);
    m_port = std::move(fresh);
    // Before opening, so the recording holds the open.
    if (m_recorder)
        m_recorder->attach(*m_port);
    return true;
}

bool DiagnosticSession::opensAsCable(const QString& portName) const {
    if (!m_factory.hasKind(PortKind::PlainCable) ||
        m_factory.kindOf(portName) != PortKind::ChipInterface)
        return false;
    return m_interfaceKind == InterfaceKind::Cable ||
           (m_interfaceKind == InterfaceKind::Auto && portName == m_cableFound);
}

CommandChannel& DiagnosticSession::channel() {
    if (!m_channel) {
        // A dialogue before any port: a closed stream of the chosen kind,
        // so every operation raises SE_PortNotOpen as a closed port does.
        PortOpenError error;
        if (!makePort(m_portName, error))
            throw ESerialPort(SE_PortNotOpen, -1);
    }
    return *m_channel;
}

bool DiagnosticSession::portOpen() const {
    return m_port && m_port->Connected();
}

bool DiagnosticSession::openPort(const QString& portName) {
    if (portOpen() && portName == m_portName)
        return true;
    // Made afresh for every open (the demo may have started anew
    // elsewhere), unless it was made for this open and not yet opened.
    PortOpenError error;
    if ((m_unopened && m_port && portName == m_portName) || makePort(portName, error)) {
        m_unopened = false;
        error = OpenStream(*m_port, portName, m_trace);
    }
    if (!error.ok()) {
        m_observer.portOpenFailed(portName, error);
        return false;
    }
    m_observer.portOpened(portName);
    return true;
}

bool DiagnosticSession::connect(const QString& portName, int address) {
    m_unitConnected = false;
    m_identification = TecuID{};
    SetUpObserver setUp(*this, m_observer, portName);
    // The set-up talks through the channel that opening the port targets.
    PortOpenError error;
    if (!m_channel && !makePort(portName, error)) {
        // The attempt starts and ends as any failed open does.
        setUp.attemptStarted(KLineSpeedCode(m_settings.KLineBaud) ? m_settings.KLineBaud : 0);
        m_observer.portOpenFailed(portName, error);
        m_info.End = AttemptEnd::PortNotOpened;
        return false;
    }
    m_channel->setCancelCheck(m_stopCheck);
    // A closed port is asked afresh what it is: the cable may have been
    // swapped for a chip interface since.
    if (!portOpen())
        m_cableFound.clear();
    CableProbe probe;
    if (m_interfaceKind == InterfaceKind::Auto && !opensAsCable(portName) &&
        m_factory.hasKind(PortKind::PlainCable) &&
        m_factory.kindOf(portName) == PortKind::ChipInterface)
        probe = [](const QByteArray& sent, const QByteArray& received) {
            return judgeWakeUp(sent, received) == WakeUpAnswer::Echo;
        };
    m_unitConnected =
        ConnectInterface(address, *m_channel, m_settings, m_info, setUp, m_trace, probe);
    if (!m_unitConnected && m_info.End == AttemptEnd::PlainCable) {
        // The port closed; opened again, it is the software chip.
        m_cableFound = portName;
        m_unitConnected = ConnectInterface(address, *m_channel, m_settings, m_info, setUp, m_trace);
    }
    if (!m_unitConnected)
        m_channel->setCancelCheck({});
    return m_unitConnected;
}

const TecuID& DiagnosticSession::identify() {
    ReadIdentification(channel(), m_identification);
    m_observer.identified(m_identification);
    return m_identification;
}

SessionEnd DiagnosticSession::run(const std::function<void()>& work) {
    try {
        work();
        if (m_channel)
            m_channel->setCancelCheck({});
        if (!m_closing)
            endUnit();
        closePort();
        return m_closing ? SessionEnd::Closing : SessionEnd::Stopped;
    } catch (const ECancelled&) {
        m_channel->setCancelCheck({});
        if (!m_closing)
            endCutShort();
        closePort();
        return m_closing ? SessionEnd::Closing : SessionEnd::CutShort;
    } catch (const std::exception&) {
        // No "ATH" on a broken link, nor after a fault of the program.
        m_unitConnected = false;
        if (m_channel)
            m_channel->setCancelCheck({});
        closePort();
        throw;
    } catch (...) {
        // A front end's own stop (Ctrl-C): as Disconnect in a wait.
        if (m_channel)
            m_channel->setCancelCheck({});
        if (!m_closing)
            endCutShort();
        closePort();
        throw;
    }
}

void DiagnosticSession::endUnit() {
    if (!m_unitConnected || !m_channel)
        return;
    m_unitConnected = false;
    EndDiagnosis(*m_channel);
}

void DiagnosticSession::endCutShort() {
    if (!m_unitConnected || !m_channel)
        return;
    m_unitConnected = false;
    try {
        ByteStream& port = m_channel->port();
        port.ClearBuffer(true, false);
        m_channel->SendText(QStringLiteral("ATH\r"));
        const int64_t until = Clock::nowMs() + 500;
        for (int64_t left = 500; left > 0; left = until - Clock::nowMs()) {
            QString c;
            if (!m_channel->WaitForInput(int(left)) || (port.ReadStr(c, 1) == 1 && c == u">"))
                break;
        }
    } catch (...) {
        // Gone already, or stopped again: the port is closed next anyway.
    }
}

void DiagnosticSession::closePort() {
    m_unitConnected = false;
    if (!m_port)
        return;
    try {
        if (m_port->Connected())
            m_port->ClearBuffer(true, true);
    } catch (const std::exception&) {
    }
    try {
        m_port->Close();
    } catch (const std::exception&) {
    }
}
