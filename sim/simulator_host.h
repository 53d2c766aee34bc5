#pragma once
// Runs the simulated interface behind a pseudo-terminal, on a background
// thread of the calling process. The program opens slavePath() with its
// ordinary serial port and cannot tell it from a real adapter.
//
//     SimulatorHost sim;
//     QString error;
//     if (!sim.start(SimulatorHost::defaultScenarioPath(), &error))
//         ...show error...
//     port.SetPort(sim.slavePath());
//     ...
//     sim.stop(); // or let the destructor do it
//
// The terminal side stays usable while the program closes and reopens it
// (each connection attempt does). The "unplug" fault closes the master side:
// the program then sees a hang-up, exactly as when a USB adapter is pulled;
// linkDropped() tells the owner, and slavePath() is then stale.
#include "sim/sim_scenario.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

struct SimOptions {
    QString scenarioPath;     // INI scenario; see data/scenarios/demo_car.ini
    QString transcriptPath;   // empty: no transcript
    bool pace = false;        // 19200-baud pacing on top of the scenario's setting
    int klineMs = -1;         // K-line delay per request; -1 keeps the scenario's
    QString chipVersion;      // empty keeps the scenario's
    QStringList faults;       // faults, each "kind#N" or "kind@COMMAND[#K]"
    bool keepCommands = true; // for commands(); a bounded number of them
    // A recording to serve instead of the scenario; pace then keeps its timing.
    QString replayPath;
};

class SimulatorHost {
public:
    SimulatorHost();
    ~SimulatorHost();
    SimulatorHost(const SimulatorHost&) = delete;
    SimulatorHost& operator=(const SimulatorHost&) = delete;

    // Loads the scenario, opens the pseudo-terminal and starts serving. False
    // with a readable reason when the scenario or the pty cannot be had. A
    // recording given as the scenario is replayed.
    bool start(const QString& scenarioPath, QString* error = nullptr);
    bool start(const SimOptions& options, QString* error = nullptr);
    // start(scenarioPath) answers at the pace of the real 19200-baud wire (a
    // recording: at its recorded pace), as the demo a user chooses should;
    // tests keep the unpaced default.
    void setPaced(bool paced) { m_paced = paced; }
    // Stops serving and closes the pty; safe to call twice.
    void stop();

    bool isRunning() const { return m_thread.joinable(); }
    // The device path the program opens (e.g. /dev/pts/7); empty when stopped.
    QString slavePath() const { return m_slavePath; }
    bool linkDropped() const { return m_dropped.load(); }
    // Every command received so far, in order, without its CR (a lone CR is
    // an empty text); what a test asserts the program sent. Only the latest
    // MaxCommandsKept are kept, and none without SimOptions::keepCommands.
    QStringList commands() const;
    static constexpr int MaxCommandsKept = 1000;

    // scenarios/demo_car.ini among the running program's data (beside it, or
    // the user's and the installed data folder), else in $VANDRIX_DATA;
    // empty when neither has it.
    static QString defaultScenarioPath();

private:
    void serve();

    std::unique_ptr<class SimPeer> m_engine;
    std::thread m_thread;
    int m_master = -1;
    int m_slaveKeep = -1;
    int m_stopFd = -1;
    std::FILE* m_transcript = nullptr;
    QString m_slavePath;
    std::atomic<bool> m_dropped{false};
    bool m_paced = false;
    mutable std::mutex m_commandsLock;
    QStringList m_commands;
};
