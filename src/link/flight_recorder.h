#pragma once
// The flight recorder: every byte to and from the interface during a
// connection attempt, a session, a control unit search or an interface check,
// one file each, in the user's recordings folder. It sees the traffic only as
// the byte stream's observer, so any front end records by making one,
// attaching it to its port and calling begin() and end() around its work.
//
// Lines are written one at a time, each in one write: a program that is
// killed leaves a file that reads up to its last exchange. A file that cannot
// be written switches recording off for the rest of the run; the front end
// asks takeUnreportedFailure() at a quiet moment and tells the user once.
//
// The file in progress is locked (flock), so that pruning in a second
// instance leaves it alone, and its name is taken with O_EXCL. A session
// continues in parts of PartBytes; each part is compressed once it is
// finished, and the folder limit is checked whenever a part starts.
#include "link/byte_stream.h"
#include "link/recording.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

class IniFile;

// The folder recordings go to: vandrix/recordings in the user's data folder.
QString RecordingsFolder();

struct RecorderSettings {
    static constexpr qint64 DefaultLimitBytes = 50LL * 1024 * 1024;

    static constexpr qint64 DefaultPartBytes = 10LL * 1024 * 1024;

    bool enabled = true;
    // The folder keeps the newest recordings up to this size in all.
    qint64 limitBytes = DefaultLimitBytes;
    // A recording continues in a new part after this many bytes.
    qint64 partBytes = DefaultPartBytes;

    // Key "Aufzeichnung" in section "Config": "nein" switches the recorder
    // off, a whole number sets the limit in megabytes; anything else, or no
    // key, keeps the defaults.
    static RecorderSettings fromConfig(const IniFile& config);
};

// The recording the demo entry serves instead of the simulated car: key
// "Demo-Aufzeichnung" in section "Config", a path or a file name in folder;
// empty when the key is not set.
QString DemoRecordingPath(const IniFile& config, const QString& folder);

// What a recording's header says besides the program and the system.
struct RecordingHeader {
    enum class Kind { Session, Search, Check };
    Kind kind = Kind::Session;
    QString program;  // "Vandrix Version 1.41"
    QString port;     // as the user chose it
    QList<int> units; // addresses: the unit, the units searched, none for a check
    int interByteTime = 5;
    int blockDelayTime = 40;
    int kLineBaud = 0; // 0 automatic
    QDateTime started = QDateTime::currentDateTime();
};

class FlightRecorder : public TrafficObserver {
public:
    explicit FlightRecorder(RecorderSettings settings = {}, QString folder = RecordingsFolder());
    ~FlightRecorder() override;
    FlightRecorder(const FlightRecorder&) = delete;
    FlightRecorder& operator=(const FlightRecorder&) = delete;

    void setSettings(const RecorderSettings& settings) { m_settings = settings; }
    const RecorderSettings& settings() const { return m_settings; }
    QString folder() const { return m_folder; }

    // Becomes the stream's observer until detach() or the recorder's end.
    void attach(ByteStream& stream);
    void detach();

    // Starts a new file (ending a running one); false when the recorder is
    // off or the file cannot be made. Removes old recordings beyond the limit.
    bool begin(const RecordingHeader& header);
    // Writes what is pending and closes the file.
    void end();
    bool isRecording() const { return m_file.isOpen(); }
    // The running recording, or the last one; empty before the first.
    QString path() const { return m_path; }

    // A write failed and recording is off for the run.
    bool failed() const { return !m_failure.isEmpty(); }
    // Once after a failure: the folder or file and the system's reason.
    std::optional<QString> takeUnreportedFailure();
    // The same without taking it: for a status line while a session runs.
    std::optional<QString> pendingFailure() const;
    // Once per run: the protected recordings alone pass the limit (the
    // folder, their size and the limit); nothing was removed.
    std::optional<QString> takeNotice();

    // The file name of a recording started at `started`, without folder.
    static QString fileName(const RecordingHeader& header);

    // Which recordings the limit never removes: those of the newest
    // sessions, those younger than maxAgeDays, and any a program is writing.
    struct Protection {
        int newestSessions = 20;
        int maxAgeDays = 7;
        QDateTime now = QDateTime::currentDateTime();
    };
    struct PruneResult {
        qint64 totalBytes = 0;     // the recordings in the folder, before
        qint64 protectedBytes = 0; // of them protected
        int removed = 0;           // files
        // The protected ones alone pass the limit: nothing was removed.
        bool protectedOverLimit = false;
    };
    // Removes the oldest unprotected sessions' recordings (every part) until
    // the rest fits in limitBytes; never keep (the running one), never a
    // locked file, never files of others.
    static PruneResult prune(const QString& folder, qint64 limitBytes, const QString& keep,
                             const Protection& protection);
    static PruneResult prune(const QString& folder, qint64 limitBytes, const QString& keep);
    // The session a recording file belongs to: its name without the part
    // number and the suffixes.
    static QString sessionOf(const QString& fileName);
    // "Debian GNU/Linux 12 (bookworm); Linux 6.1.0-18-amd64; x86_64".
    static QString systemText();

    // TrafficObserver
    void bytesSent(const QByteArray& bytes, int64_t timeMs) override;
    void bytesReceived(const QByteArray& bytes, int64_t timeMs) override;
    void streamOpened(const QString& name, int64_t timeMs) override;
    void streamClosed(int64_t timeMs) override;
    void streamFailed(const QString& what, int64_t timeMs) override;
    void streamNote(const QByteArray& what, int64_t timeMs) override;

    // The bytes on a plain cable's K-line, beside the text dialogue; timeUs
    // on the microsecond clock of Clock::nowUs().
    void kLineBytes(bool sent, const QByteArray& bytes, int64_t timeUs) override;
    // The line pulled low for a break (of lengthMs), or let go.
    void kLineBreak(bool low, int lengthMs, int64_t timeUs) override;

    // A received chunk ends at CR or the prompt, after this many bytes, or
    // when a byte comes this long after the chunk's first.
    static constexpr qsizetype MaxChunkBytes = 256;
    static constexpr int64_t MaxChunkMs = 50;

private:
    bool openPart();
    void finishPart();
    void pruneFolder();
    void writeChunk(Recording::Direction direction, const QByteArray& bytes, int64_t timeMs);
    void flushReceived();
    void writeLine(const QByteArray& line);
    void fail(const QString& what, const QString& reason);
    void noteChip(const QByteArray& completedLine);

    RecorderSettings m_settings;
    QString m_folder;
    ByteStream* m_stream = nullptr;
    QFile m_file;
    QString m_path;
    int64_t m_startMs = 0;
    QByteArray m_received; // received bytes not yet written
    int64_t m_receivedMs = 0;
    QByteArray m_lineSoFar; // of the received text, for the chip's name
    bool m_chipNoted = false;
    QString m_failure;
    bool m_failureReported = false;
    QString m_notice;
    bool m_noticeGiven = false;
    // The session's parts: the header to repeat, the name they share.
    RecordingHeader m_header;
    QString m_stem; // folder and name without suffix
    int m_part = 0;
    qint64 m_partBytes = 0;
    bool m_rotating = false;
};
