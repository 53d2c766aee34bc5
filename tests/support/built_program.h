#pragma once
// Starting one of the programs this build made. A cross build runs its tests
// under an emulator, named by CMake in VANDRIX_EMULATOR; with no binfmt_misc
// on the machine a program of the other processor starts only through it.
#include <QProcess>
#include <QString>
#include <QStringList>

inline QString Emulator() {
    return qEnvironmentVariable("VANDRIX_EMULATOR");
}

inline bool UnderEmulation() {
    return !Emulator().isEmpty();
}

inline void StartBuiltProgram(QProcess& p, const QString& program, const QStringList& args) {
    if (UnderEmulation())
        p.start(Emulator(), QStringList{program} + args);
    else
        p.start(program, args);
}
