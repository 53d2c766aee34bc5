#include "link/debug_trace.h"

#include "config/app_locale.h"
#include "config/ini_file.h"
#include "config/strings.h"
#include "config/user_data.h"

#include <QDir>
#include <QFileInfo>

DebugTrace::StartResult DebugTrace::StartFromConfig(const IniFile& config, const QString& folder,
                                                    const QString& versionText,
                                                    const QDateTime& now) {
    if (!config.isOpen())
        return StartResult::Off;
    // Exactly "ja": "Ja" or "JA" leave the trace off, as they always did.
    if (config.readString(QStringLiteral("Config"), QStringLiteral("Debug")).trimmed() !=
        QStringLiteral("ja"))
        return StartResult::Off;
    return Start(QDir(folder).filePath(FileName), versionText, now) ? StartResult::Started
                                                                    : StartResult::CreateFailed;
}

bool DebugTrace::Start(const QString& path, const QString& versionText, const QDateTime& now) {
    Close();
    m_writeFailed = false;
    m_failureReason.clear();
    m_file.setFileName(path);
    // The user's data folder of an installed program may not exist yet.
    MakePrivateFolder(QFileInfo(path).path());
    // Unbuffered, so a full disk shows at the line that hit it.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered,
                     PrivateFileMode)) {
        m_failureReason = m_file.errorString();
        return false;
    }
    // A trace left readable by an earlier version is the user's alone from now on.
    m_file.setPermissions(PrivateFileMode);
    if (!writeLine(QStringLiteral("Vandrix ") + versionText) || !writeLine(HeaderDateTime(now)) ||
        !writeLine(QString(40, QLatin1Char('-')))) {
        m_failureReason = m_file.errorString();
        m_file.close();
        return false;
    }
    m_on = true;
    return true;
}

void DebugTrace::Value(const QString& name, int value) {
    if (m_on && !writeLine(ValueLine(name, value)))
        switchOffAfterFailure();
}

void DebugTrace::Note(const QString& line) {
    if (m_on && !writeLine(line))
        switchOffAfterFailure();
}

void DebugTrace::FormClose() {
    Value(QStringLiteral("FormClose"), 0);
    Close();
}

void DebugTrace::Close() {
    m_on = false;
    if (m_file.isOpen())
        m_file.close();
}

QString DebugTrace::ValueLine(const QString& name, int value) {
    // Negative values show as their 32-bit pattern.
    const QString hex = QString::number(static_cast<unsigned int>(value), 16)
                            .toUpper()
                            .rightJustified(2, QLatin1Char('0'));
    return name + QLatin1Char(';') + QString::number(value) + QLatin1Char(';') + hex;
}

QString DebugTrace::HeaderDateTime(const QDateTime& now) {
    const QLocale locale = AppLocale::locale();
    return locale.toString(now.date(), AppLocale::shortDateFormat()) + QStringLiteral(" - ") +
           locale.toString(now.time(), AppLocale::longTimeFormat());
}

QString DebugTrace::WriteFailureMessage(int languageOffset, const QString& reason) {
    const QString text = LoadStr(TeamText::TraceWriteFailed + languageOffset);
    return reason.isEmpty() ? text : text + QLatin1Char('\n') + reason;
}

bool DebugTrace::writeLine(const QString& line) {
    const QByteArray bytes = line.toLocal8Bit() + "\r\n";
    return m_file.write(bytes) == bytes.size();
}

void DebugTrace::switchOffAfterFailure() {
    m_failureReason = m_file.errorString();
    m_writeFailed = true;
    Close();
    if (m_onWriteFailure)
        m_onWriteFailure(m_failureReason);
}
