#pragma once
// vandrix-sim as a separate process, the way tests and benchmarks meet the
// interface: the program opens terminalPath() with its real serial port.
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class SimProcess {
public:
    // Extra options as vandrix-sim takes them ("--fault", "silence#5", ...).
    // A transcript is always written, to a file of the test's own.
    explicit SimProcess(const QStringList& options = {});
    ~SimProcess();

    bool started() const { return !m_terminal.isEmpty(); }
    QString terminalPath() const { return m_terminal; }
    // The commands received so far, in order (a lone CR is an empty entry).
    QStringList commands() const;
    // The transcript's lines as written: NUMBER, MILLISECONDS, TEXT and, from
    // a replay, a note, separated by tabs.
    QStringList transcript() const;
    void stop();

    static QString executable();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_terminal;
};
