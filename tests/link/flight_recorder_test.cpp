// The flight recorder on the byte stream's observer hook: the recording's
// text form, what a recording holds, the size limit and write failures.
#include "config/clock.h"
#include "config/ini_file.h"
#include "link/command_channel.h"
#include "link/flight_recorder.h"
#include "link/memory_stream.h"
#include "link/port_factory.h"
#include "link/recording.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>

namespace {
RecordingHeader engineHeader() {
    RecordingHeader h;
    h.program = QStringLiteral("Vandrix Version 1.41");
    h.port = QStringLiteral("/dev/ttyUSB0");
    h.units = {1};
    h.interByteTime = 5;
    h.blockDelayTime = 40;
    h.kLineBaud = 9600;
    h.started = QDateTime(QDate(2026, 3, 1), QTime(9, 30, 5));
    return h;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A chip that answers the way the connection set-up reads it.
QByteArray chip(const QByteArray& written) {
    if (written == "ATZ\r")
        return "RESET\rVandrix Pro v2.1\r>";
    if (written == "\r")
        return "OK\r>";
    return {};
}
} // namespace

TEST(Recording, EscapesEveryByteThatIsNotPlainText) {
    const struct {
        QByteArray bytes;
        QByteArray text;
    } cases[] = {
        {"ATZ\r", "ATZ\\r"},
        {"a\nb", "a\\nb"},
        {"back\\slash", "back\\\\slash"},
        {QByteArray("\x00\x1B\x7F\x80\xFF", 5), "\\x00\\x1B\\x7F\\x80\\xFF"},
        {" lead and trail ", " lead and trail "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Recording::escape(c.bytes), c.text);
        EXPECT_EQ(Recording::unescape(c.text), c.bytes) << c.text.constData();
    }
    for (const char* bad : {"ends in \\", "\\q", "\\x4", "\\xG0"})
        EXPECT_FALSE(Recording::unescape(bad)) << bad;
    // Header values keep UTF-8 text readable.
    EXPECT_EQ(Recording::headerLine("Port", QStringLiteral("/dev/serial/by-id/Gerät\r")),
              QByteArray("# Port: /dev/serial/by-id/Gerät\\r"));
    EXPECT_FALSE(Recording::parseChunk("     12 ? text"));
    EXPECT_FALSE(Recording::parseChunk("12 >"));
    EXPECT_TRUE(Recording::parseChunk("12 > "));
}

TEST(FlightRecorder, RecordsEveryChunkLineByLineWithTheHeader) {
    QTemporaryDir dir;
    MemoryByteStream port;
    port.useVirtualClock(1000);
    port.setResponder(chip);
    CommandChannel channel(port);
    FlightRecorder recorder({}, dir.filePath("recordings"));
    recorder.attach(port);
    ASSERT_TRUE(recorder.begin(engineHeader()));
    EXPECT_EQ(QFileInfo(recorder.path()).fileName(), "2026-03-01_09-30-05_001.vrec");

    port.Open();
    channel.SendText("ATZ\r");
    while (channel.ReadReplyLine(false) != ">") {
    }
    // Flushed as it goes: what a killed program leaves is already there.
    EXPECT_TRUE(readAll(recorder.path()).endsWith("< >\n"));

    // A reply without line end, long and slow: split by size, then by pause.
    port.feed(QByteArray(300, 'X'));
    port.feedAt(port.nowMs() + 500, QByteArray("\xB5", 1));
    channel.SendText("0801\r");
    for (int i = 0; i < 301; ++i) {
        QString c;
        port.ReadStr(c, 1);
        port.WaitReadable(1000);
    }
    port.Close();
    recorder.end();

    const std::optional<Recording::File> file = Recording::read(recorder.path());
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->badLines.isEmpty());
    EXPECT_EQ(file->value("Program"), "Vandrix Version 1.41");
    EXPECT_EQ(file->value("Started"), "2026-03-01T09:30:05");
    EXPECT_EQ(file->value("Kind"), "session");
    EXPECT_EQ(file->value("Port"), "/dev/ttyUSB0");
    EXPECT_EQ(file->value("Unit"), "001 [01]");
    EXPECT_EQ(file->value("IBT"), "5");
    EXPECT_EQ(file->value("BDT"), "40");
    EXPECT_EQ(file->value("K-line speed"), "9600");
    EXPECT_EQ(file->value("System"), FlightRecorder::systemText());
    EXPECT_EQ(file->value("Chip"), "Vandrix Pro v2.1");
    EXPECT_FALSE(file->value("Ended").isEmpty());

    QStringList chunks;
    int64_t last = 0;
    for (const Recording::Chunk& c : file->chunks) {
        chunks << QString(QChar(char(c.direction))) + ' ' + QString::fromLatin1(c.bytes);
        EXPECT_GE(c.ms, last);
        last = c.ms;
    }
    const QStringList expected{"* open memory",
                               "> ATZ\r",
                               "< RESET\r",
                               "< Vandrix Pro v2.1\r",
                               "< >",
                               "> 0801\r",
                               "< " + QString(256, 'X'),
                               "< " + QString(44, 'X'),
                               "< " + QString(QChar(0xB5)),
                               "* close"};
    EXPECT_EQ(chunks, expected);
    EXPECT_EQ(file->chunks[8].ms, file->chunks[7].ms + 500);
    // Packed once finished, and read in that form.
    EXPECT_EQ(QFileInfo(recorder.path()).fileName(), "2026-03-01_09-30-05_001.vrec.gz");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("recordings/2026-03-01_09-30-05_001.vrec")));
    EXPECT_TRUE(Recording::looksLikeRecording(recorder.path()));
    EXPECT_TRUE(
        Recording::load(recorder.path(), Recording::MaxBytes)->contains("\n    500 < \\xB5\n"));
}

// Where the interface sent no "DATA ERROR" itself, the recording names what
// broke the dialogue off; the event is the last before the port closes.
TEST(FlightRecorder, ARecordingNamesWhyADialogueBrokeOff) {
    const struct {
        QByteArray reply;
        DataErrorReason reason;
        const char* event;
    } cases[] = {
        {"", DataErrorReason::Silence, "data error: silence"},
        {"01 02 03\r", DataErrorReason::NoPrompt, "data error: no prompt"},
        {QByteArray(600, '7'), DataErrorReason::EndlessLine, "data error: endless line"},
        {"DATA ERROR\r>", DataErrorReason::InterfaceSaid, "data error: interface sent DATA ERROR"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        QTemporaryDir dir;
        MemoryByteStream port;
        port.useVirtualClock(1000);
        SetConnectionTimeouts(port);
        CommandChannel channel(port);
        FlightRecorder recorder({}, dir.filePath("recordings"));
        recorder.attach(port);
        ASSERT_TRUE(recorder.begin(engineHeader()));
        port.Open();
        port.feed(c.reply);
        channel.SendText("0801\r");
        std::optional<DataErrorReason> raised;
        try {
            for (int i = 0; i < 3; ++i)
                channel.ReadReply(true, false);
        } catch (const EDataError& e) {
            raised = e.reason;
        }
        EXPECT_EQ(raised, c.reason);
        port.Close();
        recorder.end();

        const std::optional<Recording::File> file = Recording::read(recorder.path());
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->badLines.isEmpty());
        ASSERT_GE(file->chunks.size(), 3);
        const Recording::Chunk& event = file->chunks[file->chunks.size() - 2];
        EXPECT_EQ(event.direction, Recording::Direction::Event);
        EXPECT_EQ(event.bytes, c.event);
    }
}

TEST(FlightRecorder, TheFolderKeepsTheNewestUpToTheLimitAndNeverTheRunningOne) {
    QTemporaryDir dir;
    const QDateTime now = QDateTime::currentDateTime();
    // name, size, age in minutes
    const struct {
        const char* name;
        int size;
        int age;
    } files[] = {{"a.vrec", 400, 50},    {"b.vrec", 300, 40}, {"c.vrec", 300, 30},
                 {"d.vrec", 200, 20},    {"e.vrec", 50, 45},  {"running.vrec", 900, 60},
                 {"notes.txt", 5000, 90}};
    for (const auto& f : files) {
        QFile file(dir.filePath(f.name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(f.size, 'x'));
        file.flush(); // before the time is set, or writing sets it anew
        file.setFileTime(now.addSecs(-60 * f.age), QFileDevice::FileModificationTime);
    }
    // Nothing protected by count or age here.
    FlightRecorder::prune(dir.path(), 1500, dir.filePath("running.vrec"), {0, 0, now});
    QStringList left = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    // 900 running + d 200 + c 300 = 1400; b would pass 1500, and a is older.
    EXPECT_EQ(left, (QStringList{"c.vrec", "d.vrec", "notes.txt", "running.vrec"}));
}

TEST(FlightRecorder, AFolderThatCannotBeWrittenSwitchesRecordingOffAndSaysSoOnce) {
    QTemporaryDir dir;
    // Permissions do not bind the administrator; /proc refuses everyone.
    const QString folder = geteuid() == 0 ? QStringLiteral("/proc/self/vandrix/recordings")
                                          : dir.filePath("recordings");
    if (geteuid() != 0) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    }
    MemoryByteStream port;
    FlightRecorder recorder({}, folder);
    recorder.attach(port);
    EXPECT_FALSE(recorder.begin(engineHeader()));
    const std::optional<QString> failure = recorder.takeUnreportedFailure();
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->startsWith(folder)) << failure->toStdString();
    EXPECT_FALSE(recorder.takeUnreportedFailure());
    // The stream works on without it, and nothing is reported again.
    port.Open();
    EXPECT_EQ(port.write("ATZ\r"), 4);
    EXPECT_FALSE(recorder.begin(engineHeader()));
    EXPECT_FALSE(recorder.takeUnreportedFailure());
}

TEST(FlightRecorder, AFullDiskMidwaySwitchesRecordingOff) {
    QTemporaryDir dir;
    MemoryByteStream port;
    port.setResponder(chip);
    FlightRecorder recorder({}, dir.path());
    recorder.attach(port);
    ASSERT_TRUE(recorder.begin(engineHeader()));
    port.Open();
    // The file may grow a few bytes more, as on a disk that is almost full.
    const qint64 size = QFileInfo(recorder.path()).size();
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = rlim_t(size + 40);
    setrlimit(RLIMIT_FSIZE, &small);
    for (int i = 0; i < 10; ++i)
        port.write("ATZ\r");
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(recorder.takeUnreportedFailure());
    EXPECT_EQ(port.write("ATZ\r"), 4);
    EXPECT_FALSE(recorder.takeUnreportedFailure());
    const std::optional<Recording::File> file = Recording::read(recorder.path());
    ASSERT_TRUE(file);
    // Only the line the disk refused may be cut short.
    EXPECT_LE(file->badLines.size(), 1);
}

TEST(RecorderSettings, KeyAufzeichnungSwitchesOffOrSetsTheLimit) {
    const struct {
        QByteArray ini;
        bool enabled;
        qint64 limit;
    } cases[] = {
        {"[Config]\r\n", true, 50LL << 20},
        {"[Config]\r\nAufzeichnung=nein\r\n", false, 50LL << 20},
        {"[Config]\r\nAufzeichnung=200\r\n", true, 200LL << 20},
        {"[Config]\r\nAufzeichnung=ja\r\n", true, 50LL << 20},
        {"[Config]\r\nAufzeichnung=0\r\n", true, 50LL << 20},
    };
    for (const auto& c : cases) {
        const RecorderSettings s = RecorderSettings::fromConfig(IniFile::fromBytes(c.ini));
        EXPECT_EQ(s.enabled, c.enabled) << c.ini.constData();
        EXPECT_EQ(s.limitBytes, c.limit) << c.ini.constData();
    }
}

namespace {
void makeFile(const QString& path, qint64 size, const QDateTime& modified) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(size, 'x'));
    file.flush();
    file.setFileTime(modified, QFileDevice::FileModificationTime);
}

QStringList names(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// A recorder on a port whose every write is answered with `reply`.
struct Traffic {
    MemoryByteStream port;
    FlightRecorder recorder;
    Traffic(const QString& folder, RecorderSettings settings) : recorder(settings, folder) {
        port.setResponder([](const QByteArray&) { return QByteArray(60, 'R') + "\r>"; });
        recorder.attach(port);
    }
};
} // namespace

// The last 20 sessions and those of the last 7 days are never removed; when
// they alone pass the limit, nothing is removed and the user hears it once.
TEST(FlightRecorder, RecentSessionsAreProtectedFromTheLimit) {
    QTemporaryDir dir;
    const QDateTime now = QDateTime::currentDateTime();
    // 24 sessions of 100 bytes, one a day; session 0 in two parts, packed.
    for (int day = 0; day < 24; ++day) {
        const QString stem = dir.filePath(QStringLiteral("s%1").arg(day, 2, 10, QChar('0')));
        makeFile(stem + ".vrec.gz", 100, now.addDays(-day));
        if (day == 23)
            makeFile(stem + ".part2.vrec.gz", 100, now.addDays(-day));
    }
    // 2500 bytes in all; the limit leaves room for 2200: the oldest session
    // (both parts) and the next go, the 20 newest never.
    FlightRecorder::PruneResult r = FlightRecorder::prune(dir.path(), 2200, QString());
    EXPECT_FALSE(r.protectedOverLimit);
    EXPECT_EQ(r.removed, 3);
    QStringList left = names(dir.path());
    EXPECT_EQ(left.size(), 22);
    EXPECT_FALSE(left.contains("s23.vrec.gz"));
    EXPECT_FALSE(left.contains("s23.part2.vrec.gz"));
    EXPECT_FALSE(left.contains("s22.vrec.gz"));
    // The 20 newest alone pass a limit of 1500: nothing goes.
    r = FlightRecorder::prune(dir.path(), 1500, QString());
    EXPECT_TRUE(r.protectedOverLimit);
    EXPECT_EQ(r.removed, 0);
    EXPECT_EQ(names(dir.path()).size(), 22);
    // Young ones are protected beyond the 20: all 22 are younger than 30 days.
    r = FlightRecorder::prune(dir.path(), 2100, QString(), {20, 30, now});
    EXPECT_TRUE(r.protectedOverLimit);
    EXPECT_EQ(names(dir.path()).size(), 22);

    // The recorder says so once in a run, at its first part.
    RecorderSettings settings;
    settings.limitBytes = 1000;
    Traffic t(dir.path(), settings);
    ASSERT_TRUE(t.recorder.begin(engineHeader()));
    t.recorder.end();
    const std::optional<QString> notice = t.recorder.takeNotice();
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->startsWith(dir.path())) << notice->toStdString();
    ASSERT_TRUE(t.recorder.begin(engineHeader()));
    t.recorder.end();
    EXPECT_FALSE(t.recorder.takeNotice());
}

// A recording another instance is writing holds its lock: pruning leaves it.
TEST(FlightRecorder, PruningSkipsALockedRecording) {
    QTemporaryDir dir;
    const QDateTime old = QDateTime::currentDateTime().addDays(-30);
    for (int i = 0; i < 25; ++i)
        makeFile(dir.filePath(QStringLiteral("old%1.vrec").arg(i, 2, 10, QChar('0'))), 100,
                 old.addSecs(i));
    Traffic other(dir.path(), {});
    RecordingHeader h = engineHeader();
    ASSERT_TRUE(other.recorder.begin(h));
    const QString running = other.recorder.path();
    QFile::setPermissions(running, QFile::ReadOwner | QFile::WriteOwner);
    QFile(running).setFileTime(old.addSecs(-60), QFileDevice::FileModificationTime);
    // Protected by neither count nor age: only the lock keeps it.
    FlightRecorder::prune(dir.path(), QFileInfo(running).size(), QString(),
                          {0, 0, QDateTime::currentDateTime()});
    EXPECT_EQ(names(dir.path()), QStringList{QFileInfo(running).fileName()});
    other.recorder.end();
}

// Two runs within the same second, or beside a packed recording of that
// name, never share a file.
TEST(FlightRecorder, NamesAreTakenAtomically) {
    QTemporaryDir dir;
    Traffic a(dir.path(), {}), b(dir.path(), {}), c(dir.path(), {});
    ASSERT_TRUE(a.recorder.begin(engineHeader()));
    ASSERT_TRUE(b.recorder.begin(engineHeader()));
    EXPECT_EQ(QFileInfo(a.recorder.path()).fileName(), "2026-03-01_09-30-05_001.vrec");
    EXPECT_EQ(QFileInfo(b.recorder.path()).fileName(), "2026-03-01_09-30-05_001-2.vrec");
    a.recorder.end(); // now 2026-03-01_09-30-05_001.vrec.gz
    ASSERT_TRUE(c.recorder.begin(engineHeader()));
    EXPECT_EQ(QFileInfo(c.recorder.path()).fileName(), "2026-03-01_09-30-05_001-3.vrec");
    b.recorder.end();
    c.recorder.end();
    EXPECT_EQ(names(dir.path()).size(), 3);
}

// A long session goes on in parts, each packed and readable on its own; the
// limit is checked as each starts and removes only unprotected recordings.
TEST(FlightRecorder, ALongSessionContinuesInParts) {
    QTemporaryDir dir;
    const QDateTime old = QDateTime::currentDateTime().addDays(-30);
    for (int i = 0; i < 25; ++i)
        makeFile(dir.filePath(QStringLiteral("old%1.vrec.gz").arg(i, 2, 10, QChar('0'))), 1000,
                 old.addSecs(i));
    RecorderSettings settings;
    settings.partBytes = 4000;
    settings.limitBytes = 26000;
    Traffic t(dir.path(), settings);
    ASSERT_TRUE(t.recorder.begin(engineHeader()));
    t.port.Open();
    for (int i = 0; i < 150; ++i) {
        t.port.write("0801\r");
        QString reply;
        t.port.ReadStr(reply, 100);
    }
    t.recorder.end();
    QStringList parts = names(dir.path()).filter("2026-03-01");
    ASSERT_GE(parts.size(), 3) << parts.join(' ').toStdString();
    for (const QString& name : parts) {
        EXPECT_TRUE(name.endsWith(".vrec.gz")) << name.toStdString();
        const std::optional<Recording::File> f = Recording::read(dir.filePath(name));
        ASSERT_TRUE(f) << name.toStdString();
        EXPECT_TRUE(f->badLines.isEmpty());
        EXPECT_FALSE(f->chunks.isEmpty());
    }
    const std::optional<Recording::File> second =
        Recording::read(dir.filePath("2026-03-01_09-30-05_001.part2.vrec.gz"));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->value("Part"), "2");
    EXPECT_EQ(second->value("Continues"), "2026-03-01_09-30-05_001.vrec.gz");
    EXPECT_EQ(second->value("Unit"), "001 [01]");
    // The old sessions made room as parts were added; the 19 newest of them
    // are among the 20 newest sessions and stay.
    const qsizetype oldLeft = names(dir.path()).filter("old").size();
    EXPECT_LT(oldLeft, 25);
    EXPECT_GE(oldLeft, 19);
    EXPECT_TRUE(names(dir.path()).contains("old24.vrec.gz"));
    EXPECT_EQ(FlightRecorder::sessionOf("2026-03-01_09-30-05_001.part12.vrec.gz"),
              "2026-03-01_09-30-05_001");
}

// On a real full filesystem the recorder gives the system's reason.
TEST(FlightRecorder, AFullFilesystemGivesTheSystemsReason) {
    QTemporaryDir dir;
    const QByteArray at = QFile::encodeName(dir.path());
    if (::mount("tmpfs", at.constData(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here: " << strerror(errno);
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount(at.constData()); }
    } unmount{at};
    Traffic t(dir.path(), {});
    ASSERT_TRUE(t.recorder.begin(engineHeader()));
    t.port.Open();
    for (int i = 0; i < 1000 && t.recorder.isRecording(); ++i)
        t.port.write("0801\r");
    ASSERT_FALSE(t.recorder.isRecording());
    const std::optional<QString> failure = t.recorder.takeUnreportedFailure();
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->endsWith(QString::fromLocal8Bit(strerror(ENOSPC))))
        << failure->toStdString();
}

// A plain cable's K-line bytes and edges, to the microsecond, beside the text.
TEST(Recording, KLineBytesAndEdgesReadBackAsWritten) {
    QTemporaryDir dir;
    Traffic t(dir.path(), {});
    ASSERT_TRUE(t.recorder.begin(engineHeader()));
    const int64_t startUs = Clock::nowUs();
    t.recorder.kLineBreak(true, 25, startUs + 900000);
    t.recorder.kLineBreak(false, 0, startUs + 925000);
    t.recorder.kLineBytes(true, QByteArray("\x01\x0A", 2), startUs + 1812340);
    t.recorder.kLineBytes(false, QByteArray("\x01\xF5\x00", 3), startUs + 1813467);
    t.recorder.end();
    const QByteArray text = *Recording::load(t.recorder.path(), Recording::MaxBytes);
    EXPECT_TRUE(text.contains(" K> 01 0A\n")) << text.constData();
    EXPECT_TRUE(text.contains(" K< 01 F5 00\n"));
    EXPECT_TRUE(text.contains(" K! break 25\n"));
    EXPECT_TRUE(text.contains(" K! release\n"));
    const Recording::File file = Recording::parse(text);
    EXPECT_TRUE(file.badLines.isEmpty());
    QList<Recording::Chunk> kline;
    for (const Recording::Chunk& c : file.chunks)
        if (c.isKLine())
            kline << c;
    ASSERT_EQ(kline.size(), 4);
    EXPECT_EQ(kline[0].direction, Recording::Direction::KLineEdge);
    EXPECT_EQ(kline[0].bytes, "break 25");
    EXPECT_EQ(kline[2].direction, Recording::Direction::KLineSent);
    EXPECT_EQ(kline[3].direction, Recording::Direction::KLineReceived);
    EXPECT_EQ(kline[3].bytes, QByteArray("\x01\xF5\x00", 3));
    // The start is taken a little before startUs: the times are at least so.
    EXPECT_GE(kline[3].ms * 1000 + kline[3].micros, 1813467);
    EXPECT_EQ((kline[3].ms * 1000 + kline[3].micros) - (kline[2].ms * 1000 + kline[2].micros),
              1127);
    for (const Recording::Chunk& c : kline)
        EXPECT_EQ(Recording::parseChunk(Recording::chunkLine(c))->bytes, c.bytes);
    for (const char* bad :
         {"   12.34 K> 01", "   12.345 K> 0", "   12.345 K? 01", "  1.234 > x", "   12.345 K> 0G"})
        EXPECT_FALSE(Recording::parseChunk(bad)) << bad;
}
