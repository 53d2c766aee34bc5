// The files the program keeps for the user hold the car's identification and
// immobiliser numbers: every one it makes is mode 0600, every folder 0700,
// whatever the umask, also the levels above its own folders that it makes.
#include "config/app_paths.h"
#include "config/user_data.h"
#include "link/debug_trace.h"
#include "link/flight_recorder.h"
#include "log/change_journal.h"
#include "log/measurement_log_file.h"
#include "reports/kept_scan.h"
#include "support/qt_printers.h"
#include "support/scoped_env.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// The mode in octal, as ls and chmod write it; "missing" when there is no file.
std::string modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return "missing";
    return QString::number(st.st_mode & 07777, 8).rightJustified(4, QLatin1Char('0')).toStdString();
}

void writeFile(const QString& path, const QByteArray& bytes, int mode) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
}

// The umask most systems give: files 0644 and folders 0755 unless asked.
class PrivateFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        oldMask = ::umask(022);
    }
    void TearDown() override { ::umask(oldMask); }

    QString home(const QString& path = {}) const {
        return QDir(root.filePath(QStringLiteral("home"))).filePath(path);
    }

    QTemporaryDir root;
    mode_t oldMask = 0;
    // No level of the data home exists yet: the program makes them all.
    ScopedEnv dataHome{"XDG_DATA_HOME", root.filePath(QStringLiteral("home/.local/share"))};
};

TEST_F(PrivateFiles, EveryFileAndFolderMadeForTheUserIsTheUsersAlone) {
    JournalEntry change;
    change.time = QDateTime::currentDateTime();
    change.address = 0x17;
    change.partNumber = QStringLiteral("1J0920826C");
    change.before = QStringLiteral("00033");
    change.requested = QStringLiteral("01234");
    QString error;
    ASSERT_TRUE(
        ChangeJournalFile(UserDataPath(QStringLiteral("changes.csv"))).append(change, &error))
        << error.toStdString();

    // Two searches in one second: the second report takes a name of its own.
    const QDateTime started = QDateTime::currentDateTime();
    const KeptScan first =
        SaveScanReport(QStringLiteral("VWZ7Z0W0123456"), QStringLiteral("Golf IV"), started);
    const KeptScan second =
        SaveScanReport(QStringLiteral("VWZ7Z0W0123456"), QStringLiteral("Golf IV"), started);
    ASSERT_TRUE(first.saved()) << first.failure.toStdString();
    ASSERT_TRUE(second.saved()) << second.failure.toStdString();
    EXPECT_NE(first.path, second.path);

    {
        FlightRecorder recorder;
        RecordingHeader header;
        header.program = QStringLiteral("Vandrix Version 1.41");
        header.units = {1};
        ASSERT_TRUE(recorder.begin(header));
        recorder.end(); // packs it: the packed copy is a file of its own
    }

    DebugTrace trace;
    ASSERT_TRUE(trace.Start(UserDataPath(QStringLiteral("debug.txt")), QStringLiteral("1.41")));
    trace.Close();

    QDir().mkpath(home(QStringLiteral("logs")));
    MeasurementLogFile log;
    log.bind(home(QStringLiteral("logs/drive.csv")));
    ASSERT_TRUE(log.open());
    log.writeLine(QStringLiteral("Engine speed;800"));
    log.close();

    // The installed program's first start copies the shipped configuration.
    writeFile(root.filePath(QStringLiteral("vandrix.ini")), "[Config]\n", 0444);
    const QString config = home(QStringLiteral(".config/vandrix/vandrix.ini"));
    EXPECT_EQ(AppPaths::Custom(AppPaths::Layout::Installed, config,
                               root.filePath(QStringLiteral("vandrix.ini")), {}, {})
                  .prepareConfigFile(),
              config);

    QStringList files;
    QDirIterator it(home(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (it.fileInfo().isDir()) {
            // logs/ is the user's own folder, made by this test.
            if (!path.endsWith(QStringLiteral("/logs"))) {
                EXPECT_EQ(modeOf(path), "0700") << path.toStdString();
            }
        } else {
            files << QDir(home()).relativeFilePath(path);
            EXPECT_EQ(modeOf(path), "0600") << path.toStdString();
        }
    }
    files.sort();
    // Every writer left its file where the test looks.
    const QStringList expected{".config/vandrix/vandrix.ini", ".local/share/vandrix/changes.csv",
                               ".local/share/vandrix/debug.txt", "logs/drive.csv"};
    for (const QString& file : expected)
        EXPECT_TRUE(files.contains(file)) << file.toStdString() << "\n"
                                          << files.join('\n').toStdString();
    EXPECT_EQ(files.filter(QStringLiteral(".local/share/vandrix/scans/")).size(), 2)
        << files.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(files.filter(QStringLiteral(".local/share/vandrix/recordings/")).size(), 1)
        << files.join(QLatin1Char('\n')).toStdString();
}

TEST_F(PrivateFiles, FilesThatExistKeepTheUsersChoiceButAnOldTraceIsClosed) {
    // A log the user made readable to others stays so; the trace is the
    // program's own and an earlier version left it 0644.
    ASSERT_TRUE(MakePrivateFolder(UserDataPath({})));
    const QString csv = home(QStringLiteral("shared.csv"));
    writeFile(csv, "Engine speed;800\r\n", 0644);
    const QString debug = UserDataPath(QStringLiteral("debug.txt"));
    writeFile(debug, "Vandrix 1.40\n", 0644);

    MeasurementLogFile log;
    log.bind(csv);
    ASSERT_TRUE(log.open());
    log.close();
    DebugTrace trace;
    ASSERT_TRUE(trace.Start(debug, QStringLiteral("1.41")));
    trace.Close();

    EXPECT_EQ(modeOf(csv), "0644");
    EXPECT_EQ(modeOf(debug), "0600");
}

TEST_F(PrivateFiles, FoldersThatExistKeepTheirMode) {
    QDir().mkpath(home(QStringLiteral("open")));
    ::chmod(QFile::encodeName(home(QStringLiteral("open"))).constData(), 0755);
    EXPECT_TRUE(MakePrivateFolder(home(QStringLiteral("open/a/b"))));
    EXPECT_EQ(modeOf(home(QStringLiteral("open"))), "0755");
    EXPECT_EQ(modeOf(home(QStringLiteral("open/a"))), "0700");
    EXPECT_EQ(modeOf(home(QStringLiteral("open/a/b"))), "0700");
    // A file in the way is no folder.
    writeFile(home(QStringLiteral("open/file")), "x", 0600);
    EXPECT_FALSE(MakePrivateFolder(home(QStringLiteral("open/file"))));
    EXPECT_FALSE(MakePrivateFolder(home(QStringLiteral("open/file/below"))));
}

} // namespace
