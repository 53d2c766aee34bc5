#include "log/measurement_log_file.h"

#include "log/log_format.h"

#include "config/strings.h"
#include "config/user_data.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>

bool MeasurementLogFile::open() {
    close();
    m_failure.clear();
    m_failureTaken = false;
    m_failed = false;
    if (m_path.isEmpty()) {
        fail(QStringLiteral("No file name"));
        return false;
    }
    const bool existed = QFileInfo::exists(m_path);
    m_file.setFileName(m_path);
    // Append, also when the file seemed missing: another program may have
    // created it since, and its content must survive. Unbuffered: every
    // write reaches the system at once.
    // A new log is the user's alone; one that exists keeps its mode.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                     PrivateFileMode)) {
        fail(m_file.errorString());
        return false;
    }
    if (existed)
        return writeLine(QString()) && writeLine(QString()) &&
               writeLine(LogFormat::SeparatorLine());
    return true;
}

void MeasurementLogFile::close() {
    if (m_file.isOpen())
        m_file.close();
}

bool MeasurementLogFile::writeCell(const QString& text) {
    return write(LogFormat::Cells({text}).toLocal8Bit());
}

bool MeasurementLogFile::writeCells(const QStringList& cells) {
    for (const QString& cell : cells)
        if (!writeCell(cell))
            return false;
    return true;
}

bool MeasurementLogFile::writeLine(const QString& text) {
    return write(text.toLocal8Bit() + "\r\n");
}

bool MeasurementLogFile::write(const QByteArray& bytes) {
    if (!m_file.isOpen() || m_failed)
        return false;
    const qint64 before = m_file.size();
    qint64 done = 0;
    while (done < bytes.size()) {
        // A short write leaves the rest to offer again; the system then says
        // why it refuses ("No space left on device"), where the short count
        // alone told nothing.
        const qint64 n = m_file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const int reason = errno;
            fail(m_file.error() != QFileDevice::NoError ? m_file.errorString()
                                                        : QString::fromLocal8Bit(strerror(reason)));
            if (done > 0)
                m_file.resize(before);
            return false;
        }
        done += n;
    }
    return true;
}

void MeasurementLogFile::fail(const QString& reason) {
    m_failed = true;
    if (m_failure.isEmpty())
        m_failure = reason.isEmpty() ? QStringLiteral("Unknown error") : reason;
}

QString MeasurementLogFile::takeFailure() {
    if (m_failureTaken || m_failure.isEmpty())
        return QString();
    m_failureTaken = true;
    return m_failure;
}

QString MeasurementLogFile::FailureMessage(int languageOffset, const QString& path,
                                           const QString& reason) {
    QString message = LoadStr(TeamText::LogWriteFailed + languageOffset) + QLatin1Char('\n') + path;
    if (!reason.isEmpty())
        message += QLatin1Char('\n') + reason;
    return message;
}
