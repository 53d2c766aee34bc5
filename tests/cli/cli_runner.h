#pragma once
// vandrix-cli as a process, the way a shell script runs it: standard input
// and output are pipes, the regional settings are German unless a test says
// otherwise.
#include "support/built_program.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;

    QStringList lines() const {
        QStringList l = out.split('\n');
        if (!l.isEmpty() && l.last().isEmpty())
            l.removeLast();
        return l;
    }
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

inline QString CliExecutable() {
    return qEnvironmentVariable("VANDRIX_BIN") + QStringLiteral("/vandrix-cli");
}

inline QProcessEnvironment CliEnvironment(const QString& locale = QStringLiteral("de_DE.UTF-8")) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LC_ALL"));
    env.remove(QStringLiteral("LC_NUMERIC"));
    env.insert(QStringLiteral("LANG"), locale);
    return env;
}

// Starts the program; the caller waits for it.
inline void StartCli(QProcess& p, const QStringList& args,
                     const QProcessEnvironment& env = CliEnvironment()) {
    p.setProcessEnvironment(env);
    StartBuiltProgram(p, CliExecutable(), args);
    p.waitForStarted(5000);
    p.closeWriteChannel();
}

inline CliRun RunCli(const QStringList& args, const QProcessEnvironment& env = CliEnvironment(),
                     int timeoutMs = 60000) {
    QProcess p;
    StartCli(p, args, env);
    CliRun run;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}
