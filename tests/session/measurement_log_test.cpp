// The CSV measurement log in whole sessions: the real window against the
// simulator in its own process, recording into a real file, which is then
// read back the way a spreadsheet would see it.
#include "config/app_locale.h"
#include "link/recording.h"
#include "support/file_size_limit.h"
#include "support/sim_process.h"
#include "support/test_scenarios.h"
#include "support/ui/session_fixture.h"
#include "ui/dialog_prompts.h"
#include "ui/termination_signals.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <csignal>
#include <cstring>
#include <optional>
#include <vector>

namespace {

const QByteArray LogScenario = TestScenario("measurement_log.ini");

const char LogLabels[] = R"([Groups]
G1.1=Bordspannung
G1.2=Einspritzzeit
G1.3=Faktor
G1.4=Drehzahl
G3.1=Kuehlmittel
G3.2=Tempo
[Raw]
raw1=Kuehlmittel roh
raw2=Last roh
raw10=Reserve
)";

QString contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

int lineEnds(const QString& path) {
    return int(contents(path).count(QStringLiteral("\r\n")));
}

// "h:m:s<sep>mmm" back to milliseconds; -1 when it has another shape.
int64_t parseElapsed(const QString& text, QChar decimal) {
    static const QRegularExpression shape(QStringLiteral("^(\\d+):(\\d+):(\\d+)(.)(\\d{3})$"));
    const auto m = shape.match(text);
    if (!m.hasMatch() || m.captured(4) != decimal)
        return -1;
    return ((m.captured(1).toLongLong() * 60 + m.captured(2).toLongLong()) * 60 +
            m.captured(3).toLongLong()) *
               1000 +
           m.captured(5).toLongLong();
}

// The cells of a line; every cell, the last included, ends with ";".
QStringList cellsOf(const QString& line) {
    EXPECT_TRUE(line.endsWith(';')) << line.toStdString();
    QStringList cells = line.split(';');
    cells.removeLast();
    return cells;
}

const QString Stars(60, '*');

} // namespace

class MeasurementLogTest : public SessionTest {
protected:
    MeasurementLogTest() {
        useOwnLabelFile(QStringLiteral("PR0BE00815.ini"), LogLabels);
        scenario = QStringLiteral("probe.ini");
        writeFile(scenario, LogScenario);
        QDir(dir.path()).mkpath(QStringLiteral("logs"));
    }

    QString logPath(const char* name) const {
        return dir.filePath(QStringLiteral("logs/") + QString::fromLatin1(name));
    }

    bool groupInputsEnabled() const {
        const TForm1& w = *window;
        bool all = true, none = true;
        for (size_t k = 0; k < 4; ++k)
            for (QWidget* input :
                 {static_cast<QWidget*>(w.GroupEdits[k]), static_cast<QWidget*>(w.GroupUpDowns[k]),
                  static_cast<QWidget*>(w.GroupEnableBoxes[k])}) {
                all = all && input->isEnabled();
                none = none && !input->isEnabled();
            }
        EXPECT_TRUE(all || none) << "the group inputs disagree";
        return all;
    }
};

TEST_F(MeasurementLogTest, GroupRecordingWritesHeaderAndTwelveCellRowsInGermanSettings) {
    AppLocale::set(QLocale(QLocale::German, QLocale::Germany));
    const auto sim = startSim();
    TForm1& w = openWindow(*sim);
    const QString path = logPath("fahrt.csv");
    const QString plainTitle = w.windowTitle();
    bool disabledWhileRecording = false, enabledAfter = false;

    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.PageControl1Change();
             w.Edit4->setText("3");
             w.CheckBox1->setChecked(true);
             w.CheckBox3->setChecked(true);
             prompts.expectSaveFile(QString()); // the user cancels first
             w.BitBtn5->click();
         }},
        {"dialog cancelled", [&] { return prompts.pending() == 0; },
         [&] {
             EXPECT_FALSE(w.state.LogFileChosen);
             EXPECT_FALSE(w.CheckBox7->isEnabled());
             EXPECT_EQ(w.windowTitle(), plainTitle);
             // A folder that is not there is refused, and the dialog comes again.
             const QString missing = dir.filePath("no such folder");
             prompts.expectSaveFile(missing + "/log.csv");
             prompts.expectMessage("Der Ordner " + missing + " existiert nicht.");
             prompts.expectSaveFile(path);
             w.BitBtn5->click();
         }},
        {"file chosen", [&] { return w.state.LogFileChosen; },
         [&] {
             EXPECT_TRUE(w.CheckBox7->isEnabled());
             EXPECT_EQ(w.windowTitle(), "Vandrix  |  Version 1.41 [" + path + "]");
             EXPECT_FALSE(QFile::exists(path)) << "choosing must not create the file";
             w.CheckBox7->click();
         }},
        {"recording", [&] { return w.state.LoggingActive; },
         [&] { disabledWhileRecording = !groupInputsEnabled(); }},
        {"three rows", [&] { return lineEnds(path) >= 8 + 3; }, [&] { w.CheckBox7->click(); }},
        {"stopped", [&] { return !w.state.LoggingActive && !w.state.MeasurementLog.isOpen(); },
         [&] { enabledAfter = groupInputsEnabled(); }},
    });
    EXPECT_TRUE(disabledWhileRecording);
    EXPECT_TRUE(enabledAfter);
    // The session's end forgets the dialog's name but keeps the file bound.
    EXPECT_TRUE(w.SaveDialog1.fileName.isEmpty());
    EXPECT_TRUE(w.state.LogFileChosen);
    EXPECT_EQ(w.state.MeasurementLog.fileName(), path);
    EXPECT_EQ(w.windowTitle(), plainTitle);

    const QStringList lines = contents(path).split("\r\n");
    ASSERT_GE(lines.size(), 12);
    EXPECT_EQ(lines[0], "Vandrix Version 1.41;https://www.vandrix.example/");
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(lines[1].section(';', 0, 0), de.toString(QDate::currentDate(), "dd.MM.yyyy"));
    EXPECT_TRUE(
        QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(lines[1].section(';', 1)).hasMatch())
        << lines[1].toStdString();
    EXPECT_EQ(lines[2], "Steuergerät:;" + w.Label97->text());
    EXPECT_TRUE(lines[2].startsWith("Steuergerät:;001 "));
    EXPECT_EQ(lines[3], "VAG Geräte-Typnummer:;" + w.Label6->text());
    EXPECT_FALSE(w.Label6->text().isEmpty());
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "Meßwerte");
    EXPECT_EQ(cellsOf(lines[6]), QStringList(6, "Gruppe 1") + QStringList(6, "Gruppe 3"));
    EXPECT_EQ(cellsOf(lines[7]),
              QStringList({"Zeit [ms]", "HH:MM:SS,ms", "Bordspannung [V]", "Einspritzzeit [1,23ms]",
                           "Faktor []", "Drehzahl [upm]", //
                           "Zeit [ms]", "HH:MM:SS,ms", "Kuehlmittel [°C]", "Tempo [km/h]", "- []",
                           "- []"}));

    // Rows: whole ones only; the pass cut short by unticking leaves none of its cells.
    QStringList rows = lines.mid(8);
    EXPECT_TRUE(rows.last().isEmpty()) << "the file ends with a row's line end";
    rows.removeLast();
    int64_t previous = -1;
    for (const QString& row : rows) {
        SCOPED_TRACE(row.toStdString());
        const QStringList cells = cellsOf(row);
        ASSERT_EQ(cells.size(), 12);
        EXPECT_EQ(cells.mid(2, 4), QStringList({"13,50", "", "42,00", "1.250"}));
        EXPECT_EQ(cells.mid(8, 4), QStringList({"-10,0", "42,0", "NA", "NA"}));
        const int64_t slot1 = cells[0].toLongLong(), slot3 = cells[6].toLongLong();
        EXPECT_EQ(parseElapsed(cells[1], ','), slot1);
        EXPECT_EQ(parseElapsed(cells[7], ','), slot3);
        EXPECT_GE(slot3, slot1 + SessionState::PollInterval);
        EXPECT_GT(slot1, previous);
        previous = slot1;
    }
}

// SIGTERM in the middle of a logged session ends it as Disconnect does:
// "ATH" sent, the recording finished, the log's rows whole; then the window
// closes.
TEST_F(MeasurementLogTest, SigtermEndsTheSessionAsDisconnectDoesAndClosesTheWindow) {
    AppLocale::set(QLocale(QLocale::German, QLocale::Germany));
    const auto sim = startSim();
    TForm1& w = openWindow(*sim);
    TerminationSignals taken(w);
    const QString path = logPath("abbruch.csv");
    drive(
        {
            {"connected", [] { return true; },
             [&] {
                 w.PageControl1->setActivePage(w.TabSheet2);
                 w.PageControl1Change();
                 w.Edit4->setText("3");
                 w.CheckBox1->setChecked(true);
                 w.CheckBox3->setChecked(true);
                 prompts.expectSaveFile(path);
                 w.BitBtn5->click();
             }},
            {"file chosen", [&] { return w.state.LogFileChosen; }, [&] { w.CheckBox7->click(); }},
            {"rows", [&] { return lineEnds(path) >= 8 + 3; }, [&] { std::raise(SIGTERM); }},
        },
        End::ByItself);
    EXPECT_EQ(taken.received(), SIGTERM);
    QElapsedTimer closing;
    closing.start();
    while (w.isVisible() && closing.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(w.isVisible()) << "the window closes once the session ended";
    EXPECT_EQ(sim->commands().last(), "ATH");

    const QString text = contents(path);
    EXPECT_TRUE(text.endsWith("\r\n")) << "no part of a row";
    const QStringList rows = text.split("\r\n").mid(8, -1);
    for (const QString& row : rows.mid(0, rows.size() - 1))
        EXPECT_EQ(cellsOf(row).size(), 12) << row.toStdString();

    // The session's recording is finished: packed, its port's close in it.
    EXPECT_TRUE(w.Recorder.path().endsWith(".vrec.gz")) << w.Recorder.path().toStdString();
    const std::optional<Recording::File> recording = Recording::read(w.Recorder.path());
    ASSERT_TRUE(recording && !recording->chunks.isEmpty());
    EXPECT_EQ(recording->chunks.last().bytes, "close");
}

TEST_F(MeasurementLogTest, RawRecordingAppendsToAnExistingFileInEnglishSettings) {
    AppLocale::set(QLocale(QLocale::English, QLocale::UnitedStates));
    const auto sim = startSim();
    TForm1& w = openWindow(*sim);
    const QString path = logPath("roh.csv");
    writeFile(QStringLiteral("logs/roh.csv"), "vorher;\r\n");
    int afterFirst = 0;

    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet5);
             w.PageControl1Change();
             prompts.expectSaveFile(path);
             w.BitBtn5->click();
         }},
        {"file chosen", [&] { return w.state.LogFileChosen; }, [&] { w.CheckBox7->click(); }},
        {"two rows", [&] { return lineEnds(path) >= 1 + 3 + 7 + 2; },
         [&] { w.CheckBox7->click(); }},
        {"stopped", [&] { return !w.state.MeasurementLog.isOpen(); },
         [&] {
             afterFirst = lineEnds(path);
             w.CheckBox7->click(); // again, into the same file
         }},
        {"one row of the second recording",
         [&] { return lineEnds(path) >= afterFirst + 3 + 7 + 1; }, [&] { w.CheckBox7->click(); }},
        {"stopped again", [&] { return !w.state.MeasurementLog.isOpen(); }},
    });

    const QString text = contents(path);
    ASSERT_TRUE(text.startsWith("vorher;\r\n\r\n\r\n" + Stars + "\r\nVandrix Version 1.41;"))
        << text.left(200).toStdString();
    // On the raw data page every row is complete, the last one included.
    EXPECT_TRUE(text.endsWith("\r\n"));
    const QStringList recordings = text.split("\r\n\r\n\r\n" + Stars + "\r\n");
    ASSERT_EQ(recordings.size(), 3) << "the old content and two recordings";
    EXPECT_EQ(recordings[0], "vorher;");
    for (int r = 1; r <= 2; ++r) {
        SCOPED_TRACE(r);
        QStringList lines = recordings[r].split("\r\n");
        lines.removeLast(); // after the last line end
        ASSERT_GE(lines.size(), 8);
        EXPECT_EQ(lines[3], "VAG Geräte-Typnummer:;" + w.Label6->text());
        EXPECT_EQ(lines[4], "");
        EXPECT_EQ(lines[5], "Rohdaten");
        EXPECT_EQ(cellsOf(lines[6]),
                  QStringList({"Zeit [ms]", "HH:MM:SS,ms", "Kuehlmittel roh", "Last roh", "3", "4",
                               "5", "6", "7", "8", "9", "Reserve"}));
        for (const QString& row : lines.mid(7)) {
            const QStringList cells = cellsOf(row);
            ASSERT_EQ(cells.size(), 12) << row.toStdString();
            // English settings: a point before the milliseconds, under a ",ms" heading.
            EXPECT_EQ(parseElapsed(cells[1], '.'), cells[0].toLongLong()) << row.toStdString();
            EXPECT_EQ(cells.mid(2), QStringList({"007", "255", "065", "000", "001", "002", "003",
                                                 "004", "005", "200"}));
        }
    }
}

TEST_F(MeasurementLogTest, TheLastSlotTimesItsMillisecondsAfterItsRequest) {
    AppLocale::set(QLocale(QLocale::German, QLocale::Germany));
    // A slow K-line makes the request's time visible.
    QByteArray slow = LogScenario;
    slow.replace("Version=2.1\n", "Version=2.1\nKLineMs=60\n");
    scenario = QStringLiteral("slow.ini");
    writeFile(scenario, slow);
    const auto sim = startSim();
    TForm1& w = openWindow(*sim);
    const QString path = logPath("slot4.csv");
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.PageControl1Change();
             w.CheckBox1->setChecked(true);
             w.CheckBox4->setChecked(true);
             prompts.expectSaveFile(path);
             w.BitBtn5->click();
         }},
        {"file chosen", [&] { return w.state.LogFileChosen; }, [&] { w.CheckBox7->click(); }},
        {"two rows", [&] { return lineEnds(path) >= 8 + 2; }, [&] { w.CheckBox7->click(); }},
        {"stopped", [&] { return !w.state.MeasurementLog.isOpen(); }},
    });
    const QStringList rows = contents(path).split("\r\n").mid(8, 2);
    ASSERT_EQ(rows.size(), 2);
    for (const QString& row : rows) {
        SCOPED_TRACE(row.toStdString());
        const QStringList cells = cellsOf(row);
        ASSERT_EQ(cells.size(), 12);
        // Slot 1: both cells from the start of its turn; slot 4: the time
        // cell from before its request, the milliseconds from after it.
        EXPECT_EQ(parseElapsed(cells[1], ','), cells[0].toLongLong());
        EXPECT_GE(cells[6].toLongLong() - parseElapsed(cells[7], ','), 60);
    }
}

TEST_F(MeasurementLogTest, AFileThatCannotBeWrittenIsReportedAndRecordingShowsOff) {
    AppLocale::set(QLocale(QLocale::German, QLocale::Germany));
    const auto sim = startSim();
    TForm1& w = openWindow(*sim);
    // A folder where the file should be: it cannot be opened for writing.
    const QString path = logPath("ordner.csv");
    QDir().mkpath(path);
    int polls = 0;

    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.PageControl1Change();
             w.CheckBox1->setChecked(true);
             prompts.expectSaveFile(path);
             w.BitBtn5->click();
         }},
        {"file chosen", [&] { return w.state.LogFileChosen; },
         [&] {
             prompts.expectMessageContaining("Die Log-Datei konnte nicht geschrieben werden:\n" +
                                             path);
             w.CheckBox7->click();
         }},
        {"reported", [&] { return prompts.pending() == 0; },
         [&] { polls = int(sim->commands().count("0801")); }},
        {"the session goes on", [&] { return sim->commands().count("0801") >= polls + 3; }},
    });
    EXPECT_FALSE(w.CheckBox7->isChecked());
    EXPECT_FALSE(w.state.LoggingActive);
    EXPECT_TRUE(groupInputsEnabled());
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(sim->commands().last(), "ATH");
}

TEST_F(MeasurementLogTest, AFullDiskIsReportedWithItsReasonAndStopsOnlyTheRecording) {
    AppLocale::set(QLocale(QLocale::German, QLocale::Germany));
    SimProcess sim({QStringLiteral("--scenario"), dir.filePath(QStringLiteral("probe.ini"))});
    ASSERT_TRUE(sim.started());
    // The size limit holds for every file of the process; the recording
    // would reach it first.
    TForm1& w = openWindow(sim, 1, "Aufzeichnung=nein\r\n");
    const QString path = logPath("voll.csv");
    std::optional<FileSizeLimit> diskFull;
    int polls = 0;

    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.PageControl1Change();
             w.CheckBox1->setChecked(true);
             w.CheckBox3->setChecked(true);
             prompts.expectSaveFile(path);
             w.BitBtn5->click();
         }},
        {"file chosen", [&] { return w.state.LogFileChosen; }, [&] { w.CheckBox7->click(); }},
        {"recording", [&] { return w.state.LoggingActive && lineEnds(path) >= 8 + 1; },
         [&] {
             // Room for about two and a half rows more.
             diskFull.emplace(QFileInfo(path).size() + 150);
             prompts.expectMessageContaining("Die Log-Datei konnte nicht geschrieben werden:\n" +
                                             path + "\n" + QString::fromLocal8Bit(strerror(EFBIG)));
         }},
        {"reported", [&] { return prompts.pending() == 0; },
         [&] {
             EXPECT_FALSE(w.CheckBox7->isChecked());
             EXPECT_FALSE(w.state.LoggingActive);
             polls = int(sim.commands().count("0801"));
         }},
        {"the session goes on", [&] { return sim.commands().count("0801") >= polls + 6; }},
    });
    diskFull.reset();
    EXPECT_FALSE(w.state.MeasurementLog.isOpen());
    EXPECT_TRUE(groupInputsEnabled());
    EXPECT_EQ(sim.commands().last(), "ATH");

    // Whole rows, then the one the disk cut short, ending after a whole cell.
    const QStringList rows = contents(path).split("\r\n").mid(8);
    ASSERT_GE(rows.size(), 2);
    for (const QString& row : rows.mid(0, rows.size() - 1))
        EXPECT_EQ(cellsOf(row).size(), 12) << row.toStdString();
    if (!rows.last().isEmpty()) {
        EXPECT_LT(cellsOf(rows.last()).size(), 12);
    }
}

TEST_F(MeasurementLogTest, TheSaveDialogTakesAnExistingFileWithoutAskingToReplaceIt) {
    // The real dialog: choosing a file the log will append to asks nothing.
    const QString path = logPath("alt.csv");
    writeFile(QStringLiteral("logs/alt.csv"), "vorher;\r\n");
    makeWindow(QString());
    bool accepted = true;
    int ticks = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            accepted = false;
            box->reject();
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        // As a user types the name into the dialog's folder and presses Save.
        dialog->setDirectory(QFileInfo(path).path());
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(QFileInfo(path).fileName());
        // Queued: a box that Save opens must find this timer free to answer it.
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        if (++ticks > 25) {
            accepted = false;
            dialog->reject();
        }
    });
    user.start(20);
    DialogPrompts real;
    const QString chosen = real.saveFile(window->SaveDialog1);
    user.stop();
    EXPECT_TRUE(accepted);
    EXPECT_EQ(chosen, path);
    EXPECT_EQ(contents(path), "vorher;\r\n");
}
