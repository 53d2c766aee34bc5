#include "support/sim_process.h"

#include "support/built_program.h"

#include <QFile>
#include <QThread>

QString SimProcess::executable() {
    return qEnvironmentVariable("VANDRIX_BIN") + QStringLiteral("/vandrix-sim");
}

SimProcess::SimProcess(const QStringList& options) {
    QStringList args{QStringLiteral("--transcript"),
                     m_dir.filePath(QStringLiteral("transcript.txt"))};
    const QString data = qEnvironmentVariable("VANDRIX_DATA");
    if (!data.isEmpty())
        args << QStringLiteral("--scenario") << data + QStringLiteral("/scenarios/demo_car.ini");
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    StartBuiltProgram(m_process, executable(), args + options);
    if (!m_process.waitForStarted(5000))
        return;
    for (int i = 0; i < 50 && !m_process.canReadLine(); ++i)
        m_process.waitForReadyRead(100);
    m_terminal = QString::fromLocal8Bit(m_process.readLine()).trimmed();
}

SimProcess::~SimProcess() {
    stop();
}

void SimProcess::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

QStringList SimProcess::transcript() const {
    QFile f(m_dir.filePath(QStringLiteral("transcript.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList SimProcess::commands() const {
    QFile f(m_dir.filePath(QStringLiteral("transcript.txt")));
    QStringList out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        // NUMBER <tab> MILLISECONDS <tab> TEXT
        const QList<QByteArray> fields = line.split('\t');
        out << (fields.size() >= 3 ? QString::fromLatin1(fields[2]) : QString());
    }
    return out;
}
