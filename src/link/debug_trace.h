#pragma once
// DebugTrace: "debug.txt" beside the program (installed: in the user's data
// folder), switched on once at start-up when the configuration says Debug=ja,
// and on for the whole run unless the disk refuses a write. Lines end with
// CR LF, in the system's 8-bit encoding.
#include <QDateTime>
#include <QFile>
#include <QString>
#include <functional>

class IniFile;

class DebugTrace {
public:
    static inline const QString FileName = QStringLiteral("debug.txt");

    enum class StartResult {
        Off,          // no configuration file, or "Debug" is not exactly "ja"
        Started,      // the window tells the user with message id 96
        CreateFailed, // the window shows message id 95; the trace stays off
    };

    DebugTrace() = default;
    ~DebugTrace() { Close(); }
    DebugTrace(const DebugTrace&) = delete;
    DebugTrace& operator=(const DebugTrace&) = delete;

    // The start-up decision: reads "Debug" in section "Config" of an open
    // configuration file and, when it is "ja", starts the trace in folder
    // (beside the program, or the user's data folder when installed).
    StartResult StartFromConfig(const IniFile& config, const QString& folder,
                                const QString& versionText,
                                const QDateTime& now = QDateTime::currentDateTime());

    // Creates the file anew and writes the three header lines ("Vandrix " and
    // versionText, the date and time of now, 40 hyphens). False, with the
    // trace off, when the file cannot be created or written.
    bool Start(const QString& path, const QString& versionText,
               const QDateTime& now = QDateTime::currentDateTime());

    bool IsOn() const { return m_on; }
    QString path() const { return m_file.fileName(); }

    // DebugTraceValue: "name;decimal;HEX" while the trace is on.
    void Value(const QString& name, int value);
    // One line as it stands (the note lines of Memo1 at Disconnect).
    void Note(const QString& line);
    // Writes "FormClose;0;00" and closes the file (the main window closes).
    void FormClose();
    void Close();

    // Called once, with the system's reason, when a write fails after start-up.
    // The trace has switched itself off by then; later writes are dropped.
    void setWriteFailureHandler(std::function<void(const QString& reason)> handler) {
        m_onWriteFailure = std::move(handler);
    }
    bool WriteFailed() const { return m_writeFailed; }
    QString FailureReason() const { return m_failureReason; }

    static QString ValueLine(const QString& name, int value);
    static QString HeaderDateTime(const QDateTime& now);

private:
    bool writeLine(const QString& line);
    void switchOffAfterFailure();

    QFile m_file;
    bool m_on = false;
    bool m_writeFailed = false;
    QString m_failureReason;
    std::function<void(const QString&)> m_onWriteFailure;
};
