#pragma once
// The port and the connected control unit of one command, opened, set up and
// ended as the window does it, with the window's outcomes turned into exit
// statuses.
#include "cli/context.h"
#include "link/command_channel.h"
#include "link/interface_connection.h"
#include "link/serial_port.h"
#include "services/identification.h"
#include "sim/simulator_host.h"

#include <functional>

class CliOutput;

class CliLink : private ConnectionView {
public:
    CliLink(const CliContext& context, CliOutput& out);
    ~CliLink() override;
    CliLink(const CliLink&) = delete;
    CliLink& operator=(const CliLink&) = delete;

    // Runs work on this link. The library's failures (silence, "DATA ERROR",
    // a pulled adapter, a broken reply) end the command with exit status 5
    // and without "ATH", as the window ends its session; a stop (Ctrl-C)
    // says "ATH" to a connected unit first. The port is closed either way.
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
    void showConnectionError(int messageId) override { m_connectionError = messageId; }
    void resetConnectionView() override {}
    QString text(int id) const override;

    void openOrFail();
    // After a stop: the reply under way is let through, then "ATH".
    void hangUpAfterStop();
    void closePort();

    const CliContext& m_context;
    CliOutput& m_out;
    TSerialPort m_port;
    CommandChannel m_channel;
    SimulatorHost m_demo;
    InterfaceInfo m_info;
    TecuID m_identification;
    QString m_openFailure;
    int m_connectionError = 0;
    int m_connectionState = 0;
    bool m_unitEngaged = false; // a unit was dialled and not yet ended
};
