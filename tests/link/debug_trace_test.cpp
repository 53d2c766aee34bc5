#include "link/debug_trace.h"

#include "config/app_locale.h"
#include "config/ini_file.h"
#include "config/strings.h"
#include "reports/link_texts.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/resource.h>

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const QDateTime Noon(QDate(2024, 3, 9), QTime(14, 5, 7), Qt::UTC);

class DebugTraceTest : public ::testing::Test {
protected:
    void SetUp() override { AppLocale::set(QLocale(QLocale::German, QLocale::Germany)); }
    void TearDown() override { AppLocale::set(QLocale::system()); }
    QString path() const { return m_dir.filePath("debug.txt"); }
    QTemporaryDir m_dir;
};
} // namespace

TEST_F(DebugTraceTest, ConnectionAndCloseWriteTheKnownLines) {
    DebugTrace trace;
    ASSERT_TRUE(trace.Start(path(), LoadStr(0), Noon));
    EXPECT_TRUE(trace.IsOn());
    trace.Value("IBT", 5);
    trace.Value("BDT", 40);
    trace.Value("ECU Adresse", 1);
    trace.Value("Open /dev/ttyUSB0", 0);
    trace.Note("~~~~~ 4 extra Bytes ~~~~~");
    trace.FormClose();
    EXPECT_FALSE(trace.IsOn());
    trace.Value("after close", 1);

    const QByteArray header = "Vandrix Version 1.41\r\n" +
                              DebugTrace::HeaderDateTime(Noon).toUtf8() + "\r\n" +
                              QByteArray(40, '-') + "\r\n";
    EXPECT_EQ(readAll(path()), header + "IBT;5;05\r\nBDT;40;28\r\nECU Adresse;1;01\r\n"
                                        "Open /dev/ttyUSB0;0;00\r\n~~~~~ 4 extra Bytes ~~~~~\r\n"
                                        "FormClose;0;00\r\n");
}

TEST_F(DebugTraceTest, ValueLineShowsDecimalAndUpperCaseHexOfAtLeastTwoDigits) {
    struct Case {
        int value;
        const char* line;
    } cases[] = {{0, "N;0;00"},      {10, "N;10;0A"},         {255, "N;255;FF"},
                 {256, "N;256;100"}, {65535, "N;65535;FFFF"}, {-1, "N;-1;FFFFFFFF"}};
    for (const Case& c : cases)
        EXPECT_EQ(DebugTrace::ValueLine("N", c.value), QString(c.line));
}

TEST_F(DebugTraceTest, HeaderUsesTheLocalesShortDateAndLongTime) {
    // German: day first with dots; English (US): month first with slashes.
    // The year has four digits, the time its seconds and no zone name.
    EXPECT_EQ(DebugTrace::HeaderDateTime(Noon), "09.03.2024 - 14:05:07");
    AppLocale::set(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(DebugTrace::HeaderDateTime(Noon).replace(QChar(0x202F), ' '),
              "3/9/2024 - 2:05:07 PM");
}

TEST_F(DebugTraceTest, StartsOnlyForExactlyJaInAnExistingConfiguration) {
    struct Case {
        const char* ini;
        DebugTrace::StartResult result;
    } cases[] = {
        {"[Config]\nDebug=ja\n", DebugTrace::StartResult::Started},
        {"[config]\ndebug=  ja  \n", DebugTrace::StartResult::Started},
        {"[Config]\nDebug=Ja\n", DebugTrace::StartResult::Off},
        {"[Config]\nDebug=nein\n", DebugTrace::StartResult::Off},
        {"[Config]\nSprache=de\n", DebugTrace::StartResult::Off},
        {"[Other]\nDebug=ja\n", DebugTrace::StartResult::Off},
    };
    for (const Case& c : cases) {
        QFile::remove(path());
        DebugTrace trace;
        const auto result =
            trace.StartFromConfig(IniFile::fromBytes(c.ini), m_dir.path(), LoadStr(0), Noon);
        EXPECT_EQ(result, c.result) << c.ini;
        EXPECT_EQ(trace.IsOn(), c.result == DebugTrace::StartResult::Started) << c.ini;
        EXPECT_EQ(QFile::exists(path()), c.result == DebugTrace::StartResult::Started) << c.ini;
    }
    DebugTrace trace;
    EXPECT_EQ(trace.StartFromConfig(IniFile(), m_dir.path(), LoadStr(0)),
              DebugTrace::StartResult::Off);
}

TEST_F(DebugTraceTest, EveryStartEmptiesTheOldFile) {
    QFile old(path());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'x'));
    old.close();
    DebugTrace trace;
    ASSERT_TRUE(trace.Start(path(), LoadStr(0), Noon));
    trace.Close();
    EXPECT_FALSE(readAll(path()).contains("xxxx"));
    EXPECT_TRUE(readAll(path()).startsWith("Vandrix Version 1.41\r\n"));
}

TEST_F(DebugTraceTest, CreationFailureLeavesTheTraceOff) {
    // Root ignores directory permissions, so use places no one can write to:
    // a folder that is a file, a name taken by a folder, and a full disk.
    QFile plain(m_dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    ASSERT_TRUE(QDir().mkpath(m_dir.filePath("taken/debug.txt")));
    const QString full = m_dir.filePath("full");
    QDir().mkpath(full);
    ASSERT_TRUE(QFile::link("/dev/full", full + "/debug.txt"));

    for (const QString& dir : {m_dir.filePath("plain"), m_dir.filePath("taken"), full}) {
        DebugTrace trace;
        EXPECT_EQ(
            trace.StartFromConfig(IniFile::fromBytes("[Config]\nDebug=ja\n"), dir, LoadStr(0)),
            DebugTrace::StartResult::CreateFailed)
            << dir.toStdString();
        EXPECT_FALSE(trace.IsOn());
        EXPECT_FALSE(trace.FailureReason().isEmpty());
        trace.Value("IBT", 5); // must not crash nor write
    }
}

TEST_F(DebugTraceTest, WriteFailureAfterStartSwitchesOffAndReportsOnce) {
    DebugTrace trace;
    int reports = 0;
    QString reason;
    trace.setWriteFailureHandler([&](const QString& r) {
        ++reports;
        reason = r;
    });
    ASSERT_TRUE(trace.Start(path(), LoadStr(0), Noon));
    trace.Value("IBT", 5);
    const QByteArray before = readAll(path());

    // A file size limit just above what is written makes the next line hit a
    // "full disk" for this process only.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(before.size());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    trace.Value("BDT", 40);
    trace.Value("ECU Adresse", 1);
    trace.FormClose();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(reports, 1);
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_TRUE(trace.WriteFailed());
    EXPECT_FALSE(trace.IsOn());
    trace.Value("later", 2);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(readAll(path()), before);

    const QString message = TraceWriteFailureMessage(reason, EnglishStringOffset);
    EXPECT_TRUE(message.endsWith("\n" + reason)) << message.toStdString();
    EXPECT_NE(TraceWriteFailureMessage(reason, 0), message);
}
