#pragma once
// vandrix-sim as a separate process, the way tests and benchmarks meet the
// interface: the program opens terminalPath() with its real serial port.
// Started without QProcess: its notices would wake a window's event loop when
// the simulator ends, which an adapter pulled out does not do.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <sys/types.h>

class SimProcess {
public:
    struct AtLink {};

    // Started at once with options as vandrix-sim takes them ("--fault",
    // "silence#5", ...). The demo car unless options name a scenario; a
    // transcript is always written, to a file of the simulator's own unless
    // options name one.
    explicit SimProcess(const QStringList& options = {});
    // Not started until start(); each start makes link point at its terminal,
    // so one window can reach every simulator started behind it.
    SimProcess(AtLink, const QString& link);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Stops a running one first; true once it serves a terminal.
    bool start(const QStringList& options = {});
    bool started() const { return !m_terminal.isEmpty(); }
    QString terminalPath() const { return m_terminal; }
    QString link() const { return m_link; }
    // The first line it printed: the terminal, or the first of its help.
    QString firstLine() const { return m_firstLine; }
    // What it prints after the first line, until it ends.
    QByteArray restOfOutput();

    // The commands received so far, in order (a lone CR is an empty entry).
    QStringList commands() const;
    // The transcript's lines as written: NUMBER, MILLISECONDS, TEXT and, from
    // a replay, a note, separated by tabs.
    QStringList transcript() const;

    // Its exit status after SIGTERM (a signal ends it with 0), -1 if it was
    // not running or did not exit.
    int terminate();
    void stop() { terminate(); }
    // The exit status once it ends by itself (a refused option gives 2).
    int exitStatus();
    // The adapter pulled out: the kernel closes the terminal at once.
    void kill();

    static QString executable();

private:
    void reap(int options);

    QTemporaryDir m_dir;
    QString m_link;
    QString m_transcriptPath;
    QString m_firstLine;
    QString m_terminal;
    pid_t m_pid = -1;
    int m_status = -1;
    int m_out = -1;
};
