#pragma once
// The cars tests play on vandrix-sim, one file each in tests/scenarios, so a
// car is written once and read the same way everywhere.
#include <QByteArray>
#include <QFile>
#include <QString>

inline QString TestScenarioPath(const char* name) {
    return QStringLiteral(VANDRIX_TEST_SCENARIOS "/") + QLatin1String(name);
}

// Empty when the file is missing: vandrix-sim then refuses the car at once.
inline QByteArray TestScenario(const char* name) {
    QFile f(TestScenarioPath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
