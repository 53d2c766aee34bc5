#include "link/flight_recorder.h"

#include "config/clock.h"
#include "config/ini_file.h"
#include "config/user_data.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <algorithm>

namespace {
QString unitText(int address) {
    return QStringLiteral("%1 [%2]")
        .arg(address, 3, 10, QLatin1Char('0'))
        .arg(QString::number(address, 16).toUpper(), 2, QLatin1Char('0'));
}

QString kindText(RecordingHeader::Kind kind) {
    switch (kind) {
    case RecordingHeader::Kind::Session:
        return QStringLiteral("session");
    case RecordingHeader::Kind::Search:
        return QStringLiteral("search");
    case RecordingHeader::Kind::Check:
        return QStringLiteral("interface check");
    }
    return QString();
}
} // namespace

QString RecordingsFolder() {
    // Recordings are the user's files wherever the program runs from.
    return UserDataPath(QStringLiteral("recordings"));
}

RecorderSettings RecorderSettings::fromConfig(const IniFile& config) {
    RecorderSettings s;
    const QString value =
        config.readString(QStringLiteral("Config"), QStringLiteral("Aufzeichnung")).trimmed();
    if (value.compare(QStringLiteral("nein"), Qt::CaseInsensitive) == 0) {
        s.enabled = false;
        return s;
    }
    bool ok = false;
    const qint64 megabytes = value.toLongLong(&ok);
    if (ok && megabytes > 0 && megabytes <= 1024 * 1024)
        s.limitBytes = megabytes * 1024 * 1024;
    return s;
}

QString DemoRecordingPath(const IniFile& config, const QString& folder) {
    const QString recording =
        config.readString(QStringLiteral("Config"), QStringLiteral("Demo-Aufzeichnung")).trimmed();
    // A bare file name is one of the user's recordings.
    return recording.isEmpty() ? QString() : QDir(folder).absoluteFilePath(recording);
}

FlightRecorder::FlightRecorder(RecorderSettings settings, QString folder)
    : m_settings(settings), m_folder(std::move(folder)) {}

FlightRecorder::~FlightRecorder() {
    end();
    detach();
}

void FlightRecorder::attach(ByteStream& stream) {
    detach();
    m_stream = &stream;
    stream.setTrafficObserver(this);
}

void FlightRecorder::detach() {
    if (m_stream && m_stream->trafficObserver() == this)
        m_stream->setTrafficObserver(nullptr);
    m_stream = nullptr;
}

QString FlightRecorder::fileName(const RecordingHeader& header) {
    QString what;
    switch (header.kind) {
    case RecordingHeader::Kind::Session:
        what = header.units.isEmpty()
                   ? QStringLiteral("unit")
                   : QStringLiteral("%1").arg(header.units.first(), 3, 10, QLatin1Char('0'));
        break;
    case RecordingHeader::Kind::Search:
        what = QStringLiteral("search");
        break;
    case RecordingHeader::Kind::Check:
        what = QStringLiteral("check");
        break;
    }
    return header.started.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss_")) + what +
           QLatin1String(Recording::Suffix);
}

QString FlightRecorder::systemText() {
    return QSysInfo::prettyProductName() + QStringLiteral("; ") + QSysInfo::kernelType() +
           QLatin1Char(' ') + QSysInfo::kernelVersion() + QStringLiteral("; ") +
           QSysInfo::currentCpuArchitecture();
}

bool FlightRecorder::begin(const RecordingHeader& header) {
    end();
    if (!m_settings.enabled || failed())
        return false;
    if (!QDir().mkpath(m_folder)) {
        fail(m_folder, QStringLiteral("the folder cannot be made"));
        return false;
    }
    // Two attempts within a second keep apart.
    const QString base = fileName(header);
    QString path = QDir(m_folder).filePath(base);
    for (int n = 2; QFileInfo::exists(path) && n < 100; ++n)
        path = QDir(m_folder).filePath(base.chopped(int(qstrlen(Recording::Suffix))) +
                                       QStringLiteral("-%1").arg(n) + Recording::Suffix);
    m_file.setFileName(path);
    // Unbuffered: every line goes to the system at once, in one write.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        fail(path, m_file.errorString());
        return false;
    }
    m_path = path;
    m_startMs = Clock::nowMs();
    m_received.clear();
    m_lineSoFar.clear();
    m_chipNoted = false;

    QStringList units;
    for (int address : header.units)
        units << unitText(address);
    writeLine(Recording::FirstLine);
    const QPair<QString, QString> lines[] = {
        {QStringLiteral("Program"), header.program},
        {QStringLiteral("Started"), header.started.toString(Qt::ISODate)},
        {QStringLiteral("Kind"), kindText(header.kind)},
        {QStringLiteral("Port"), header.port},
        {QStringLiteral("Unit"), units.join(QStringLiteral(", "))},
        {QStringLiteral("IBT"), QString::number(header.interByteTime)},
        {QStringLiteral("BDT"), QString::number(header.blockDelayTime)},
        {QStringLiteral("K-line speed"),
         header.kLineBaud ? QString::number(header.kLineBaud) : QStringLiteral("automatic")},
        {QStringLiteral("System"), systemText()},
    };
    for (const auto& [key, value] : lines)
        writeLine(Recording::headerLine(key, value));
    if (isRecording())
        prune(m_folder, m_settings.limitBytes, m_path);
    return isRecording();
}

void FlightRecorder::end() {
    if (!isRecording())
        return;
    flushReceived();
    writeLine(Recording::headerLine(QStringLiteral("Ended"),
                                    QDateTime::currentDateTime().toString(Qt::ISODate)));
    m_file.close();
    prune(m_folder, m_settings.limitBytes, m_path);
}

std::optional<QString> FlightRecorder::takeUnreportedFailure() {
    if (!failed() || m_failureReported)
        return std::nullopt;
    m_failureReported = true;
    return m_failure;
}

void FlightRecorder::prune(const QString& folder, qint64 limitBytes, const QString& keep) {
    QFileInfoList files = QDir(folder).entryInfoList(
        {QStringLiteral("*") + QLatin1String(Recording::Suffix)}, QDir::Files | QDir::NoSymLinks);
    std::sort(files.begin(), files.end(), [](const QFileInfo& a, const QFileInfo& b) {
        const QDateTime ta = a.lastModified(), tb = b.lastModified();
        return ta != tb ? ta > tb : a.fileName() > b.fileName();
    });
    const QString kept = QFileInfo(keep).absoluteFilePath();
    qint64 total = 0;
    for (const QFileInfo& f : files)
        if (f.absoluteFilePath() == kept)
            total += f.size();
    bool full = false; // from the first that does not fit, all older ones go
    for (const QFileInfo& f : files) {
        if (f.absoluteFilePath() == kept)
            continue;
        full = full || total + f.size() > limitBytes;
        if (full)
            QFile::remove(f.absoluteFilePath());
        else
            total += f.size();
    }
}

void FlightRecorder::writeLine(const QByteArray& line) {
    if (!m_file.isOpen())
        return;
    const QByteArray out = line + '\n';
    if (m_file.write(out) != out.size())
        fail(m_file.fileName(), m_file.errorString());
}

void FlightRecorder::fail(const QString& what, const QString& reason) {
    if (m_file.isOpen())
        m_file.close();
    m_received.clear();
    if (m_failure.isEmpty())
        m_failure = what + QStringLiteral(": ") + reason;
}

void FlightRecorder::writeChunk(Recording::Direction direction, const QByteArray& bytes,
                                int64_t timeMs) {
    writeLine(Recording::chunkLine({std::max<int64_t>(0, timeMs - m_startMs), direction, bytes}));
}

void FlightRecorder::flushReceived() {
    if (m_received.isEmpty())
        return;
    const QByteArray chunk = std::exchange(m_received, QByteArray());
    writeChunk(Recording::Direction::Received, chunk, m_receivedMs);
}

void FlightRecorder::noteChip(const QByteArray& line) {
    if (m_chipNoted || !line.contains("andrix") ||
        !QString::fromLatin1(line).contains(QLatin1String("Vandrix Pro"), Qt::CaseInsensitive))
        return;
    m_chipNoted = true;
    writeLine(Recording::headerLine(QStringLiteral("Chip"), QString::fromLatin1(line)));
}

void FlightRecorder::bytesSent(const QByteArray& bytes, int64_t timeMs) {
    if (!isRecording())
        return;
    flushReceived();
    writeChunk(Recording::Direction::Sent, bytes, timeMs);
}

void FlightRecorder::bytesReceived(const QByteArray& bytes, int64_t timeMs) {
    if (!isRecording())
        return;
    for (const char c : bytes) {
        if (!m_received.isEmpty() && timeMs - m_receivedMs > MaxChunkMs)
            flushReceived();
        if (m_received.isEmpty())
            m_receivedMs = timeMs;
        m_received += c;
        if (c == '\r' || c == '>' || m_received.size() >= MaxChunkBytes)
            flushReceived();
        if (c == '\r')
            noteChip(std::exchange(m_lineSoFar, QByteArray()));
        else if (c == '>')
            m_lineSoFar.clear();
        else if (m_lineSoFar.size() < MaxChunkBytes)
            m_lineSoFar += c;
    }
}

void FlightRecorder::streamOpened(const QString& name, int64_t timeMs) {
    if (!isRecording())
        return;
    flushReceived();
    writeChunk(Recording::Direction::Event, "open " + name.toUtf8(), timeMs);
}

void FlightRecorder::streamClosed(int64_t timeMs) {
    if (!isRecording())
        return;
    flushReceived();
    writeChunk(Recording::Direction::Event, "close", timeMs);
}

void FlightRecorder::streamFailed(const QString& what, int64_t timeMs) {
    if (!isRecording())
        return;
    flushReceived();
    writeChunk(Recording::Direction::Event, "failed: " + what.toUtf8(), timeMs);
}
