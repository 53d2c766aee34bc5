#pragma once
// The control units of a scenario behind a pseudo-terminal as a plain K-line
// cable shows them: every byte the program writes comes back as its echo,
// and the units answer byte by byte (KLineUnit). The program opens
// slavePath() with its K-line driver.
//
// A pseudo-terminal carries no breaks, so the address must come as a byte
// written at 5 baud; the host reads the rate the program set from its side
// of the terminal, and bytes sent at one rate and read at another come out
// as a UART would decode them.
#include "sim/kline_unit.h"

#include <QString>
#include <atomic>
#include <memory>
#include <thread>

class PlainCableHost {
public:
    PlainCableHost();
    ~PlainCableHost();
    PlainCableHost(const PlainCableHost&) = delete;
    PlainCableHost& operator=(const PlainCableHost&) = delete;

    // Loads the scenario, opens the pseudo-terminal and starts serving on a
    // thread of its own. lineFaults as KLineUnitOptions::parse takes them.
    bool start(const QString& scenarioPath, const QString& lineFaults, QString* error = nullptr);
    void stop();
    bool isRunning() const { return m_thread.joinable(); }
    QString slavePath() const { return m_slavePath; }
    // Timing violations the units saw (strict mode), once stopped.
    std::vector<std::string> violations() const { return m_violations; }

private:
    void serve();

    std::unique_ptr<KLineUnit> m_unit;
    std::thread m_thread;
    int m_master = -1;
    int m_slaveKeep = -1;
    int m_stopFd = -1;
    QString m_slavePath;
    std::vector<std::string> m_violations;
};
