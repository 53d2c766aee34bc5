// The flight recorder on the byte stream's observer hook: the recording's
// text form, what a recording holds, the size limit and write failures.
#include "config/ini_file.h"
#include "link/command_channel.h"
#include "link/flight_recorder.h"
#include "link/memory_stream.h"
#include "link/recording.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
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
    EXPECT_TRUE(readAll(recorder.path()).contains("\n    500 < \\xB5\n"));
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
    FlightRecorder::prune(dir.path(), 1500, dir.filePath("running.vrec"));
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
