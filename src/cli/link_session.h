#pragma once
// The command line's side of a diagnostic session: the session's events
// become status lines, its outcomes exit statuses. The session itself (port,
// connect, identification, "ATH" or not, close) is the window's, unchanged.
#include "cli/context.h"
#include "link/flight_recorder.h"
#include "session/diagnostic_session.h"
#include "sim/simulator_host.h"

#include <functional>

class CliOutput;

class CliLink : private SessionObserver {
public:
    // The recording of run() is of kind with units in its header: the unit of
    // a session, the units of a search, none for the interface alone.
    CliLink(const CliContext& context, CliOutput& out, RecordingHeader::Kind kind,
            QList<int> units = {});
    ~CliLink() override;
    CliLink(const CliLink&) = delete;
    CliLink& operator=(const CliLink&) = delete;

    // Runs work in the session. The library's failures (silence, "DATA
    // ERROR", a pulled adapter, a broken reply) end the command with exit
    // status 5 and without "ATH", as the window ends its session; a stop
    // (Ctrl-C) lets the unit go as Disconnect does in the window. The port is
    // closed either way. The whole of it is one recording; one that cannot be
    // written is said once on standard error and the work goes on.
    void run(const std::function<void()>& work);

    // Opens the port for a dialogue with the interface alone (status 2 on failure).
    CommandChannel& openInterface();
    // Opens the port, sets the interface up, dials the unit and reads its
    // identification. Status 2, 3 or 4 when that fails.
    CommandChannel& connectUnit(int address);
    // "ATH" to the connected unit; the port stays open for the next one.
    void endUnit() { m_session.endUnit(); }

    const TecuID& identification() const { return m_identification; }
    ProtocolKind protocol() const { return m_session.info().Protocol; }
    // Why run() ended with a broken link; empty when it did not.
    const QString& failureReason() const { return m_failureReason; }

private:
    // SessionObserver: the status bar becomes status lines.
    void attemptStarted(int fixedBaud) override;
    void connected(int speedCode, ProtocolKind protocol) override;
    void attemptFailed(AttemptEnd end, const AttemptSeen& seen) override;
    void portOpenFailed(const QString& portName, const PortOpenError& error) override;

    DemoStarter demoInterface();
    void reportRecorderFailure();

    const CliContext& m_context;
    CliOutput& m_out;
    SimulatorHost m_demo;
    // Before the session: it lets go of the recorder when it goes.
    FlightRecorder m_recorder;
    DiagnosticSession m_session;
    RecordingHeader::Kind m_recordingKind;
    QList<int> m_recordedUnits;
    TecuID m_identification;
    QString m_openFailure;
    QString m_failureReason;
};
