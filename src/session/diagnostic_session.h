#pragma once
// One diagnostic session with one control unit, without widgets: the port
// (made by the port factory, kept open between the addresses of a search),
// the command channel, the connection set-up, the identification, the frame
// of the work on the unit and its one end policy ("ATH" or not), and the
// close. It reports what happens as values through a SessionObserver; the
// window and the command line are its two front ends.
#include "link/command_channel.h"
#include "link/interface_connection.h"
#include "link/port_factory.h"
#include "services/identification.h"
#include "softchip/cable_detection.h"

#include <QString>
#include <functional>
#include <memory>

class DebugTrace;
class FlightRecorder;

// How the work on a connected unit ended.
enum class SessionEnd {
    Stopped,  // the work returned (Disconnect, a refused login, done): "ATH" sent
    CutShort, // a stop cut a wait short: "ATH" sent, its answer given a moment only
    Closing,  // the program is closing: nothing more is sent
};

// What a session reports. The connection set-up's steps come first (see
// ConnectionObserver); openPort is the session's own.
class SessionObserver {
public:
    virtual ~SessionObserver() = default;
    virtual void attemptStarted(int /*fixedBaud*/) {}
    virtual void portOpened(const QString& /*portName*/) {}
    virtual void portOpenFailed(const QString& /*portName*/, const PortOpenError& /*error*/) {}
    virtual void chipIdentified(const QString& /*identificationLine*/) {}
    virtual void connected(int /*speedCode*/, ProtocolKind /*protocol*/) {}
    virtual void attemptFailed(AttemptEnd /*end*/, const AttemptSeen& /*seen*/) {}
    virtual void identified(const TecuID& /*identification*/) {}
};

class DiagnosticSession {
public:
    explicit DiagnosticSession(SessionObserver& observer, CommandChannel::MessagePump pump = {});
    ~DiagnosticSession();
    DiagnosticSession(const DiagnosticSession&) = delete;
    DiagnosticSession& operator=(const DiagnosticSession&) = delete;

    void setPortFactory(PortFactory factory) { m_factory = std::move(factory); }
    // What sits behind a port name: a chip interface, a plain K-line cable
    // (the factory's PlainCable kind), or either, told by the wake-up's echo.
    // Without that kind in the factory every port is a chip interface.
    void setInterfaceKind(InterfaceKind kind) { m_interfaceKind = kind; }
    void setSettings(const InterfaceSettings& settings) { m_settings = settings; }
    void setTrace(DebugTrace* trace) { m_trace = trace; }
    // Sees the traffic of every port the session opens. Not owned.
    void setRecorder(FlightRecorder* recorder) { m_recorder = recorder; }
    // Asked inside every wait of the dialogue; true ends the wait with
    // ECancelled (Disconnect during a wait).
    void setStopCheck(std::function<bool()> stopped) { m_stopCheck = std::move(stopped); }
    // The program is closing: nothing more is sent, the port is left to close.
    void setClosing() { m_closing = true; }

    // Opens portName, or keeps the port when it is open on that name already
    // (a search keeps its port between addresses).
    bool openPort(const QString& portName);
    // Opens the port and runs the connection set-up to address. info() says
    // how it ended.
    bool connect(const QString& portName, int address);
    const InterfaceInfo& info() const { return m_info; }
    // Reads the identification the unit sends after connecting.
    const TecuID& identify();
    const TecuID& identification() const { return m_identification; }

    // Runs work on the connected unit and ends the unit's session as the
    // work ended: returned, "ATH"; cut short by a stop (ECancelled, or any
    // exception that is no std::exception: a front end's own stop), the
    // answer under way is dropped, then "ATH"; any other error (silence,
    // "DATA ERROR", a failing port, an unreadable reply, a fault of the
    // program) ends it at once without "ATH". Never sends while closing.
    // Errors other than ECancelled are raised again after the port is closed;
    // the port is closed in every case.
    SessionEnd run(const std::function<void()>& work);
    // "ATH" to a connected unit; the port stays open for the next address.
    void endUnit();
    // Input and output discarded and the port closed, ignoring failures.
    void closePort();

    bool portOpen() const;
    bool unitConnected() const { return m_unitConnected; }
    // Only while a port is made: the dialogue on it.
    CommandChannel& channel();
    ByteStream* port() { return m_port.get(); }

    // Silence, "DATA ERROR", a failing port and a reply that cannot be read
    // are the interface's doing; anything else is a fault of the program.
    static bool IsCommunicationError(const std::exception& error);

private:
    // A stop cut a wait short: "ATH" still lets the unit go, its answer gets
    // a moment only.
    void endCutShort();
    // A fresh, closed stream of portName, the channel and the recorder on it.
    bool makePort(const QString& portName, PortOpenError& error);
    // Whether portName opens as a plain cable.
    bool opensAsCable(const QString& portName) const;

    SessionObserver& m_observer;
    CommandChannel::MessagePump m_pump;
    PortFactory m_factory;
    InterfaceSettings m_settings;
    InterfaceKind m_interfaceKind = InterfaceKind::Auto;
    QString m_cableFound; // the port whose wake-up came back as its echo
    DebugTrace* m_trace = nullptr;
    FlightRecorder* m_recorder = nullptr;
    std::function<bool()> m_stopCheck;
    bool m_closing = false;
    QString m_portName;
    std::unique_ptr<ByteStream> m_port;
    std::unique_ptr<CommandChannel> m_channel;
    InterfaceInfo m_info;
    TecuID m_identification;
    bool m_unitConnected = false;
    bool m_unopened = false; // m_port was made and has not been opened yet
};
