#pragma once
// The port and the connected control unit of one command, opened, set up and
// ended as the window does it, with the window's outcomes turned into exit
// statuses. Its traffic is recorded as the window records its own.
#include "cli/context.h"
#include "link/command_channel.h"
#include "link/flight_recorder.h"
#include "link/interface_connection.h"
#include "link/open_port.h"
#include "link/serial_port.h"
#include "services/identification.h"
#include "sim/simulator_host.h"

#include <functional>

class CliOutput;

class CliLink : private ConnectionView {
public:
    // The recording of run() is of kind with units in its header: the unit of
    // a session, the units of a search, none for the interface alone.
    CliLink(const CliContext& context, CliOutput& out, RecordingHeader::Kind kind,
            QList<int> units = {});
    ~CliLink() override;
    CliLink(const CliLink&) = delete;
    CliLink& operator=(const CliLink&) = delete;

    // Runs work on this link. The library's failures (silence, "DATA ERROR",
    // a pulled adapter, a broken reply) end the command with exit status 5
    // and without "ATH", as the window ends its session; a stop (Ctrl-C)
    // says "ATH" to a connected unit first. The port is closed either way.
    // The whole of it is one recording; one that cannot be written is said
    // once on standard error and the work goes on.
    void run(const std::function<void()>& work);

    // Opens the port for a dialogue with the interface alone (status 2 on failure).
    CommandChannel& openInterface();
    // Opens the port, sets the interface up, dials the unit and reads its
    // identification. Status 2, 3 or 4 when that fails.
    CommandChannel& connectUnit(int address);
    // "ATH" to the connected unit; the port stays open for the next one.
    void endUnit();
    // The normal end: "ATH" to a connected unit, the port closed.
    void finish();

    const TecuID& identification() const { return m_identification; }

private:
    // ConnectionView: the status bar becomes status lines, boxes become
    // remembered outcomes.
    void setStatusPanel(int panel, const QString& text) override;
    void setConnectionState(int state) override { m_connectionState = state; }
    void setFixedBaudMarked(int) override {}
    bool openPort() override;
    void showConnectionError(int messageId, const QString& detail) override {
        m_connectionError = messageId;
        m_connectionDetail = detail;
    }
    void resetConnectionView() override {}
    QString text(int id) const override;

    void openOrFail();
    // After a stop: the reply under way is let through, then "ATH".
    void hangUpAfterStop();
    void closePort();
    DemoStarter demoInterface();
    void reportRecorderFailure();

    const CliContext& m_context;
    CliOutput& m_out;
    TSerialPort m_port;
    CommandChannel m_channel;
    SimulatorHost m_demo;
    // After the port: it lets go of the port before the port goes.
    FlightRecorder m_recorder;
    RecordingHeader::Kind m_recordingKind;
    QList<int> m_recordedUnits;
    InterfaceInfo m_info;
    TecuID m_identification;
    QString m_openFailure;
    int m_connectionError = 0;
    QString m_connectionDetail; // what arrived, the line below the message
    int m_connectionState = 0;
    bool m_unitEngaged = false; // a unit was dialled and not yet ended
};
