// The flight recorder through the real window, port and channel against the
// simulator in its own process: what a session's recording holds, its replay,
// a folder that cannot be written and a program that is killed.
#include "support/sim_process.h"
#include "support/ui/recording_fixture.h"

#include <QListWidget>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <unistd.h>

namespace {
// The ABS unit of the demo car: two stored faults and group 1 values that
// hold still, so a replay must show exactly what the original showed.
constexpr int Abs = 3;

// Points the user's data folder elsewhere while it lives.
struct DataHome {
    explicit DataHome(const QString& path) : old(qgetenv("XDG_DATA_HOME")) {
        qputenv("XDG_DATA_HOME", QFile::encodeName(path));
    }
    ~DataHome() { qputenv("XDG_DATA_HOME", old); }
    QByteArray old;
};
} // namespace

class RecorderTest : public RecordingTest {};

TEST_F(RecorderTest, ASessionIsRecordedAsTheInterfaceSawItAndTheTraceNamesTheFile) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    prompts.expectMessage(QStringLiteral("Log-Datei wird geschrieben")); // Debug=ja
    TForm1& w = makeWindow(sim.terminalPath(), "Debug=ja\r\n");
    chooseUnit(Abs);
    Shown shown;
    drive(showGroupAndFaults(1, shown));

    const Recording::File file = lastRecording();
    EXPECT_TRUE(file.badLines.isEmpty());
    EXPECT_EQ(RecordedCommands(file), sim.commands());
    EXPECT_TRUE(sim.commands().contains("0801"));
    EXPECT_EQ(file.value("Program"), "Vandrix Version 1.41");
    EXPECT_EQ(file.value("Kind"), "session");
    EXPECT_EQ(file.value("Port"), sim.terminalPath());
    EXPECT_EQ(file.value("Unit"), "003 [03]");
    EXPECT_EQ(file.value("IBT"), "5");
    EXPECT_EQ(file.value("BDT"), "40");
    EXPECT_EQ(file.value("K-line speed"), "automatic");
    EXPECT_EQ(file.value("Chip"), "Vandrix Pro v2.1");
    EXPECT_FALSE(file.value("System").isEmpty());
    ASSERT_GE(file.chunks.size(), 2);
    EXPECT_EQ(file.chunks.first().bytes, "open " + sim.terminalPath().toUtf8());
    EXPECT_EQ(file.chunks.last().bytes, "close");
    // The user's data folder, named by date, time and unit.
    EXPECT_EQ(QFileInfo(w.Recorder.path()).absolutePath(),
              QFileInfo(RecordingsFolder()).absoluteFilePath());
    EXPECT_TRUE(QFileInfo(w.Recorder.path()).fileName().endsWith("_003.vrec.gz"));

    w.Trace.Close();
    QFile trace(dir.filePath("debug.txt"));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    // The file as it was written; packed once the session ended.
    const QString written = w.Recorder.path().chopped(int(qstrlen(Recording::CompressedSuffix)));
    EXPECT_TRUE(trace.readAll().contains(("Recording " + written).toLocal8Bit()));
}

TEST_F(RecorderTest, KeyAufzeichnungNeinRecordsNothing) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    makeWindow(sim.terminalPath(), "Aufzeichnung=nein\r\n");
    chooseUnit(1);
    runSession();
    EXPECT_EQ(sim.commands().last(), "ATH");
    EXPECT_TRUE(window->Recorder.path().isEmpty());
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(RecorderTest, ASearchIsOneRecordingOfEveryUnitTried) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    TForm1& w = makeWindow(sim.terminalPath());
    w.ComboBox2->setCurrentIndex(1);
    w.ComboBox2Change();
    for (int i = 0; i < w.CheckListBox1->count(); ++i)
        if (QList<int>{1, 5}.contains(w.CheckListBox1->item(i)->text().left(3).toInt()))
            w.CheckListBox1->item(i)->setCheckState(Qt::Checked);
    bool checkHeld = false;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (w.state.SessionRunning)
            checkHeld = !w.InterfaceCheckButton->isEnabled();
    });
    during.start(1);
    w.BitBtn3Click();
    during.stop();

    EXPECT_TRUE(checkHeld) << "the check's button stays usable during a search";
    EXPECT_TRUE(w.InterfaceCheckButton->isEnabled());
    const Recording::File file = lastRecording();
    EXPECT_EQ(file.value("Kind"), "search");
    EXPECT_EQ(file.value("Unit"), "001 [01], 005 [05]");
    EXPECT_TRUE(QFileInfo(w.Recorder.path()).fileName().endsWith("_search.vrec.gz"));
    EXPECT_EQ(RecordedCommands(file), sim.commands());
    EXPECT_TRUE(sim.commands().contains("ATD01") && sim.commands().contains("ATD05"));
}

TEST_F(RecorderTest, AReplayShowsWhatTheOriginalSessionShowed) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    makeWindow(sim.terminalPath());
    chooseUnit(Abs);
    Shown original;
    drive(showGroupAndFaults(1, original));
    const QString recording = window->Recorder.path();
    sim.stop();
    ASSERT_EQ(original.faults.size(), 2);

    SimProcess replay({"--replay", recording});
    ASSERT_TRUE(replay.started());
    makeWindow(replay.terminalPath());
    chooseUnit(Abs);
    Shown replayed;
    drive(showGroupAndFaults(1, replayed));
    EXPECT_EQ(replayed.identification, original.identification);
    EXPECT_EQ(replayed.values, original.values);
    EXPECT_EQ(replayed.faults, original.faults);
    for (const QString& line : replay.transcript())
        EXPECT_FALSE(line.contains("not in the recording")) << line.toStdString();
    expectIdleWindow();

    // The demo entry serves a recording named in the configuration.
    makeWindow(QString(), "Demo-Aufzeichnung=" + recording.toUtf8() + "\r\n");
    ASSERT_TRUE(IsDemoInterfaceName(window->ComboBox1->currentText()));
    chooseUnit(Abs);
    Shown demo;
    drive(showGroupAndFaults(1, demo));
    EXPECT_EQ(demo.identification, original.identification);
    EXPECT_EQ(demo.faults, original.faults);
}

TEST_F(RecorderTest, AFolderThatCannotBeWrittenLeavesSessionsWorkingAndIsReportedOnce) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    // Permissions do not bind the administrator; /proc refuses everyone.
    QString home = QStringLiteral("/proc/self/no-data-home");
    if (geteuid() != 0) {
        home = dir.filePath("data");
        QDir().mkpath(home + "/vandrix/recordings");
        QFile::setPermissions(home + "/vandrix/recordings", QFile::ReadOwner | QFile::ExeOwner);
    }
    DataHome data(home);
    makeWindow(sim.terminalPath());
    chooseUnit(1);
    prompts.expectMessageContaining("in diesem Programmlauf nicht mehr aufgezeichnet");
    for (int session = 0; session < 2; ++session) {
        QString part;
        runSession([&] { part = window->Label6->text(); });
        EXPECT_EQ(part, "036 906 034 AM") << "session " << session;
    }
    prompts.verifyDone();
    EXPECT_EQ(sim.commands().count("ATH"), 2);
    expectIdleWindow();
}

// Not a test of its own: the program the next test kills.
TEST_F(RecorderTest, PollsUntilKilled) {
    const QString terminal = qEnvironmentVariable("VANDRIX_KILL_ME");
    if (terminal.isEmpty())
        GTEST_SKIP()
            << "runs only as the child of AKilledProgramLeavesARecordingWhoseLinesAllParse";
    makeWindow(terminal);
    chooseUnit(1);
    drive({{"connected", [] { return true; },
            [this] {
                std::printf("%s\n", qPrintable(window->Recorder.path()));
                std::fflush(stdout);
                window->PageControl1->setActivePage(window->TabSheet2);
                window->CheckBox1->setChecked(true);
            }},
           {"never", [] { return false; }}},
          End::Disconnect, 600000);
}

TEST_F(RecorderTest, AKilledProgramLeavesARecordingWhoseLinesAllParse) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VANDRIX_KILL_ME", sim.terminalPath());
    // Its temporary folders, which a killed program cannot remove, inside ours.
    QDir().mkpath(dir.filePath("child-tmp"));
    env.insert("TMPDIR", dir.filePath("child-tmp"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=RecorderTest.PollsUntilKilled"});
    // Its recording's path, among the test framework's lines.
    QString path;
    QElapsedTimer waited;
    waited.start();
    while (!path.endsWith(".vrec") && waited.elapsed() < 20000)
        if (child.canReadLine() || child.waitForReadyRead(100))
            path = QString::fromLocal8Bit(child.readLine()).trimmed();
    ASSERT_TRUE(path.endsWith(".vrec")) << path.toStdString();
    waited.restart();
    while (sim.commands().count("0801") < 30 && waited.elapsed() < 20000)
        QThread::msleep(50);
    ::kill(pid_t(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished(5000));

    QString error;
    const std::optional<Recording::File> file = Recording::read(path, &error);
    ASSERT_TRUE(file) << error.toStdString();
    EXPECT_TRUE(file->badLines.isEmpty());
    EXPECT_TRUE(file->value("Ended").isEmpty());
    EXPECT_EQ(file->value("Chip"), "Vandrix Pro v2.1");
    // Everything up to the last exchange: the commands the interface received,
    // but for the ones sent after the recording's last line was written.
    const QStringList recorded = RecordedCommands(*file);
    const QStringList received = sim.commands();
    ASSERT_GE(recorded.count("0801"), 30);
    EXPECT_EQ(recorded, received.mid(0, recorded.size()));
}
