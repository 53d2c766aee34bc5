#include "link/flight_recorder.h"

#include "config/clock.h"
#include "config/ini_file.h"
#include "config/user_data.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
QString unitText(int address) {
    return QStringLiteral("%1 [%2]")
        .arg(address, 3, 10, QLatin1Char('0'))
        .arg(QString::number(address, 16).toUpper(), 2, QLatin1Char('0'));
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(strerror(error));
}

bool isRecordingName(const QString& name) {
    return name.endsWith(QLatin1String(Recording::Suffix)) ||
           name.endsWith(QLatin1String(Recording::Suffix) + Recording::CompressedSuffix);
}

// Whether a program holds the file's lock: it is being written.
bool isLocked(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
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
    if (!MakePrivateFolder(m_folder)) {
        fail(m_folder, QStringLiteral("the folder cannot be made"));
        return false;
    }
    m_header = header;
    m_part = 1;
    m_stem.clear();
    m_startMs = Clock::nowMs();
    m_received.clear();
    m_lineSoFar.clear();
    m_chipNoted = false;
    if (!openPart())
        return false;
    pruneFolder();
    return isRecording();
}

bool FlightRecorder::openPart() {
    const QByteArray suffix = Recording::Suffix;
    QString path;
    int fd = -1;
    if (m_part == 1) {
        // Two runs within a second, or two instances, keep apart: the name
        // is taken by creating the file, never by looking first.
        const QString base =
            QDir(m_folder).filePath(fileName(m_header).chopped(int(suffix.size())));
        for (int n = 1; n < 1000 && fd < 0; ++n) {
            const QString stem = n == 1 ? base : base + QStringLiteral("-%1").arg(n);
            path = stem + QLatin1String(suffix);
            fd = ::open(QFile::encodeName(path).constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0 && errno != EEXIST) {
                fail(path, systemReason(errno));
                return false;
            }
            // A finished recording of that name is packed already.
            if (fd >= 0 && QFileInfo::exists(path + Recording::CompressedSuffix)) {
                ::close(fd);
                ::unlink(QFile::encodeName(path).constData());
                fd = -1;
            }
            if (fd >= 0)
                m_stem = stem;
        }
        if (fd < 0) {
            fail(path, systemReason(EEXIST));
            return false;
        }
    } else {
        path = m_stem + QStringLiteral(".part%1").arg(m_part) + QLatin1String(suffix);
        fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    0600);
        if (fd < 0) {
            fail(path, systemReason(errno));
            return false;
        }
    }
    // Held while the part is written: pruning elsewhere leaves it alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    if (!m_file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                     QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        fail(path, m_file.errorString());
        return false;
    }
    const QString previous = m_path;
    m_path = path;
    m_partBytes = 0;

    QStringList units;
    for (int address : m_header.units)
        units << unitText(address);
    writeLine(Recording::FirstLine);
    const QPair<QString, QString> lines[] = {
        {QStringLiteral("Program"), m_header.program},
        {QStringLiteral("Started"), m_header.started.toString(Qt::ISODate)},
        {QStringLiteral("Kind"), kindText(m_header.kind)},
        {QStringLiteral("Port"), m_header.port},
        {QStringLiteral("Unit"), units.join(QStringLiteral(", "))},
        {QStringLiteral("IBT"), QString::number(m_header.interByteTime)},
        {QStringLiteral("BDT"), QString::number(m_header.blockDelayTime)},
        {QStringLiteral("K-line speed"),
         m_header.kLineBaud ? QString::number(m_header.kLineBaud) : QStringLiteral("automatic")},
        {QStringLiteral("System"), systemText()},
    };
    for (const auto& [key, value] : lines)
        writeLine(Recording::headerLine(key, value));
    if (m_part > 1) {
        writeLine(Recording::headerLine(QStringLiteral("Part"), QString::number(m_part)));
        writeLine(
            Recording::headerLine(QStringLiteral("Continues"), QFileInfo(previous).fileName()));
    }
    return isRecording();
}

void FlightRecorder::finishPart() {
    if (!m_file.isOpen())
        return;
    // Packed while still locked; the plain file stays where packing fails.
    const QString packed = m_path + Recording::CompressedSuffix;
    QString why;
    if (Recording::compress(m_path, packed, &why)) {
        QFile::remove(m_path);
        m_path = packed;
    }
    m_file.close();
}

void FlightRecorder::pruneFolder() {
    const PruneResult result = prune(m_folder, m_settings.limitBytes, m_path);
    if (result.protectedOverLimit && !m_noticeGiven && m_notice.isEmpty())
        m_notice = QStringLiteral("%1: %2 MB, limit %3 MB")
                       .arg(m_folder)
                       .arg(double(result.protectedBytes) / (1024 * 1024), 0, 'f', 1)
                       .arg(double(m_settings.limitBytes) / (1024 * 1024), 0, 'f', 1);
}

void FlightRecorder::end() {
    if (!isRecording())
        return;
    flushReceived();
    writeLine(Recording::headerLine(QStringLiteral("Ended"),
                                    QDateTime::currentDateTime().toString(Qt::ISODate)));
    finishPart();
    pruneFolder();
}

std::optional<QString> FlightRecorder::takeUnreportedFailure() {
    if (!failed() || m_failureReported)
        return std::nullopt;
    m_failureReported = true;
    return m_failure;
}

std::optional<QString> FlightRecorder::pendingFailure() const {
    if (!failed() || m_failureReported)
        return std::nullopt;
    return m_failure;
}

std::optional<QString> FlightRecorder::takeNotice() {
    if (m_notice.isEmpty() || m_noticeGiven)
        return std::nullopt;
    m_noticeGiven = true;
    return m_notice;
}

QString FlightRecorder::sessionOf(const QString& fileName) {
    QString name = fileName;
    if (name.endsWith(QLatin1String(Recording::CompressedSuffix)))
        name.chop(int(qstrlen(Recording::CompressedSuffix)));
    if (name.endsWith(QLatin1String(Recording::Suffix)))
        name.chop(int(qstrlen(Recording::Suffix)));
    const qsizetype part = name.lastIndexOf(QLatin1String(".part"));
    if (part > 0) {
        bool number = false;
        name.mid(part + 5).toInt(&number);
        if (number)
            name.truncate(part);
    }
    return name;
}

FlightRecorder::PruneResult FlightRecorder::prune(const QString& folder, qint64 limitBytes,
                                                  const QString& keep) {
    return prune(folder, limitBytes, keep, Protection());
}

FlightRecorder::PruneResult FlightRecorder::prune(const QString& folder, qint64 limitBytes,
                                                  const QString& keep,
                                                  const Protection& protection) {
    struct Session {
        QFileInfoList files;
        QDateTime newest;
        qint64 bytes = 0;
        bool isProtected = false;
    };
    QHash<QString, Session> sessions;
    const QString kept = QFileInfo(keep).absoluteFilePath();
    PruneResult result;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::NoSymLinks)) {
        if (!isRecordingName(f.fileName()))
            continue;
        Session& s = sessions[sessionOf(f.fileName())];
        s.files << f;
        s.bytes += f.size();
        s.newest = std::max(s.newest, f.lastModified());
        if (f.absoluteFilePath() == kept)
            s.isProtected = true;
        result.totalBytes += f.size();
    }
    QList<Session*> order;
    for (Session& s : sessions)
        order << &s;
    std::sort(order.begin(), order.end(), [](const Session* a, const Session* b) {
        return a->newest != b->newest ? a->newest > b->newest
                                      : a->files.first().fileName() > b->files.first().fileName();
    });
    const QDateTime young = protection.now.addDays(-protection.maxAgeDays);
    for (qsizetype i = 0; i < order.size(); ++i) {
        Session& s = *order[i];
        s.isProtected = s.isProtected || i < protection.newestSessions || s.newest > young ||
                        std::any_of(s.files.begin(), s.files.end(), [](const QFileInfo& f) {
                            return isLocked(f.absoluteFilePath());
                        });
        if (s.isProtected)
            result.protectedBytes += s.bytes;
    }
    if (result.totalBytes <= limitBytes)
        return result;
    if (result.protectedBytes > limitBytes) {
        result.protectedOverLimit = true;
        return result;
    }
    qint64 total = result.totalBytes;
    for (auto it = order.rbegin(); it != order.rend() && total > limitBytes; ++it) {
        if ((*it)->isProtected)
            continue;
        for (const QFileInfo& f : (*it)->files)
            if (QFile::remove(f.absoluteFilePath())) {
                total -= f.size();
                ++result.removed;
            }
    }
    return result;
}

void FlightRecorder::writeLine(const QByteArray& line) {
    if (!m_file.isOpen())
        return;
    const QByteArray out = line + '\n';
    // One write; a short one is retried only to learn the system's reason.
    qsizetype done = 0;
    while (done < out.size()) {
        const ssize_t n =
            ::write(m_file.handle(), out.constData() + done, size_t(out.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fail(m_path, systemReason(n < 0 ? errno : ENOSPC));
            return;
        }
        done += n;
    }
    m_partBytes += out.size();
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
    Recording::Chunk chunk;
    chunk.ms = std::max<int64_t>(0, timeMs - m_startMs);
    chunk.direction = direction;
    chunk.bytes = bytes;
    writeLine(Recording::chunkLine(chunk));
    // A long session goes on in a new part, and the limit is checked anew.
    if (m_partBytes >= m_settings.partBytes && isRecording() && !m_rotating) {
        m_rotating = true;
        writeLine(Recording::headerLine(QStringLiteral("Continued"),
                                        QStringLiteral("in part %1").arg(m_part + 1)));
        finishPart();
        ++m_part;
        if (openPart())
            pruneFolder();
        m_rotating = false;
    }
}

void FlightRecorder::kLineBytes(bool sent, const QByteArray& bytes, int64_t timeUs) {
    if (!isRecording() || bytes.isEmpty())
        return;
    flushReceived();
    Recording::Chunk chunk;
    const int64_t us = std::max<int64_t>(0, timeUs - m_startMs * 1000);
    chunk.ms = us / 1000;
    chunk.micros = int(us % 1000);
    chunk.direction = sent ? Recording::Direction::KLineSent : Recording::Direction::KLineReceived;
    chunk.bytes = bytes;
    writeLine(Recording::chunkLine(chunk));
}

void FlightRecorder::kLineBreak(bool low, int lengthMs, int64_t timeUs) {
    if (!isRecording())
        return;
    flushReceived();
    Recording::Chunk chunk;
    const int64_t us = std::max<int64_t>(0, timeUs - m_startMs * 1000);
    chunk.ms = us / 1000;
    chunk.micros = int(us % 1000);
    chunk.direction = Recording::Direction::KLineEdge;
    chunk.bytes = low ? QByteArray(Recording::BreakWord) + ' ' + QByteArray::number(lengthMs)
                      : QByteArray(Recording::ReleaseWord);
    writeLine(Recording::chunkLine(chunk));
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

void FlightRecorder::streamNote(const QByteArray& what, int64_t timeMs) {
    if (!isRecording())
        return;
    flushReceived();
    writeChunk(Recording::Direction::Event, what, timeMs);
}

void FlightRecorder::streamFailed(const QString& what, int64_t timeMs) {
    if (!isRecording())
        return;
    flushReceived();
    writeChunk(Recording::Direction::Event, "failed: " + what.toUtf8(), timeMs);
}
