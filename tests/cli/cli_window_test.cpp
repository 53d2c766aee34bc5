// The front end beside the real window, both against one simulated car with
// fixed values: the same identification, fault texts, values, readiness,
// search report and CSV log for the same unit, in either language.
#include "cli_runner.h"
#include "config/app_locale.h"
#include "support/sim_process.h"
#include "support/test_scenarios.h"
#include "support/ui/session_fixture.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

namespace {

const QByteArray Car = TestScenario("cli_and_window.ini");

// Clipboard lines with the window's CRs inside values dropped, as the front
// end prints them.
QStringList clipboardLines() {
    QStringList lines = QGuiApplication::clipboard()->text().split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        line.remove(QLatin1Char('\r'));
    return lines;
}

QStringList fileLines(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class CliWindowTest : public SessionTest {
protected:
    CliWindowTest() {
        writeFile(QStringLiteral("car.ini"), Car);
        const QString data = qEnvironmentVariable("VANDRIX_DATA");
        for (const char* name :
             {"dtc_list_de.ini", "dtc_list_en.ini", "dtc_status_de.ini", "dtc_status_en.ini"})
            QFile::link(data + '/' + name, dir.filePath(QString::fromLatin1(name)));
        AppLocale::set(QLocale(QLocale::German, QLocale::Germany));
        sim = std::make_unique<SimProcess>(
            QStringList{QStringLiteral("--scenario"), dir.filePath(QStringLiteral("car.ini"))});
        EXPECT_TRUE(sim->started());
    }
    ~CliWindowTest() override { AppLocale::set(QLocale::system()); }

    // The window in the given language, its port the simulator's; extraIni
    // adds keys to [Config].
    TForm1& openWindow(const char* language = "de", const QByteArray& extraIni = {}) {
        writeFile(QStringLiteral("vandrix.ini"),
                  "[Config]\r\nSplash=nein\r\nSprache=" + QByteArray(language) +
                      "\r\nCOM-Port=" + sim->terminalPath().toUtf8() + "\r\n" + extraIni);
        TForm1Options options;
        options.programDir = dir.path();
        options.portRoots.dev = dir.filePath(QStringLiteral("fake/dev"));
        options.portRoots.sys = dir.filePath(QStringLiteral("fake/sys"));
        window = std::make_unique<TForm1>(prompts, options);
        window->show();
        return *window;
    }

    // The front end with the window's configuration, after the window let go
    // of the port.
    CliRun cli(const QStringList& args) {
        return RunCli(args + QStringList{QStringLiteral("--ini"), dir.filePath("vandrix.ini")});
    }

    std::unique_ptr<SimProcess> sim;
};

TEST_F(CliWindowTest, IdentificationIsTheInfoPagesCopy) {
    for (const char* language : {"de", "en"}) {
        for (int address : {1, 23}) {
            SCOPED_TRACE(std::string(language) + " " + std::to_string(address));
            TForm1& w = openWindow(language);
            chooseUnit(address);
            QStringList copy;
            runSession([&] {
                w.BitBtn11Click();
                copy = clipboardLines();
            });
            ASSERT_EQ(copy.size(), 6);
            const CliRun r = cli({"ident", QString::number(address, 16)});
            ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
            EXPECT_EQ(r.lines(), copy);
        }
    }
}

TEST_F(CliWindowTest, FaultTableIsTheFaultPagesCopy) {
    for (const char* language : {"de", "en"}) {
        SCOPED_TRACE(language);
        TForm1& w = openWindow(language);
        chooseUnit(1);
        QStringList copy;
        drive({{"fault page", [] { return true; },
                [&] {
                    w.PageControl1->setActivePage(w.TabSheet3);
                    w.PageControl1Change();
                }},
               {"faults read", [&] { return w.StringGrid1->rowCount() == 3; },
                [&] {
                    w.BitBtn9Click();
                    copy = clipboardLines();
                }}});
        // The page's copy ends every cell with a tab.
        for (QString& line : copy)
            line.chop(1);
        ASSERT_EQ(copy.size(), 3);
        EXPECT_TRUE(copy[1].contains(language == std::string("de") ? "Versorgungsspannung"
                                                                   : "Supply Voltage"));
        const CliRun r = cli({"faults", "1"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.lines(), copy);
    }
}

TEST_F(CliWindowTest, GroupValuesAndTheirLogAreThePagesAndItsFile) {
    TForm1& w = openWindow();
    chooseUnit(1);
    const QString windowLog = dir.filePath("window.csv");
    const QString cliLog = dir.filePath("cli.csv");
    QStringList shown; // name, value per field, as the page shows them
    drive({
        {"group page", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.PageControl1Change();
             w.GroupEdits[1]->setText("3");
             w.GroupEnableBoxes[0]->setChecked(true);
             w.GroupEnableBoxes[1]->setChecked(true);
             prompts.expectSaveFile(windowLog);
             w.BitBtn5->click();
         }},
        {"file chosen", [&] { return w.state.LogFileChosen; }, [&] { w.CheckBox7->click(); }},
        {"three rows",
         [&] { return QFile::exists(windowLog) && fileLines(windowLog).size() >= 8 + 3; },
         [&] {
             w.CheckBox7->click();
             for (size_t k = 0; k < 2; ++k)
                 for (size_t f = 0; f < 4; ++f)
                     shown << w.GroupNameLabels[k][f]->text()
                           << w.GroupValueBoxes[k][f]->text().trimmed();
         }},
        {"stopped", [&] { return !w.state.MeasurementLog.isOpen(); }},
    });

    const CliRun r = cli({"groups", "1", "1", "3", "--count", "3", "--log", cliLog});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_EQ(r.lines().size(), 3);
    for (const QString& row : r.lines()) {
        const QStringList cells = row.split('\t').mid(1);
        ASSERT_EQ(cells.size(), 24);
        QStringList printed;
        for (qsizetype i = 0; i < cells.size(); i += 3)
            printed << cells[i]
                    << (cells[i + 2].isEmpty() ? cells[i + 1] : cells[i + 1] + ' ' + cells[i + 2]);
        EXPECT_EQ(printed, shown);
    }

    // The same file, but for the moment of recording and the time cells.
    const QStringList mine = fileLines(cliLog);
    const QStringList theirs = fileLines(windowLog);
    ASSERT_GE(theirs.size(), 11);
    ASSERT_EQ(mine.size(), 8 + 3);
    EXPECT_EQ(mine[0], theirs[0]);
    EXPECT_EQ(mine.mid(2, 6), theirs.mid(2, 6));
    const auto values = [](const QString& row) {
        QStringList cells = row.split(';');
        return cells.mid(2, 4) + cells.mid(8, 4);
    };
    for (int i = 8; i < 11; ++i)
        EXPECT_EQ(values(mine[i]), values(theirs[8])) << i;
}

TEST_F(CliWindowTest, ReadinessIsThePagesDigitsAndMarks) {
    TForm1& w = openWindow("en");
    chooseUnit(1);
    QString digits;
    QStringList marks;
    drive({{"readiness page", [] { return true; },
            [&] {
                w.PageControl1->setActivePage(w.TabSheet6);
                w.PageControl1Change();
            }},
           {"read", [&] { return w.ReadinessDigits[0]->text() != "-"; },
            [&] {
                for (TLabel* d : w.ReadinessDigits)
                    digits += d->text();
                for (size_t i = 0; i < 8; ++i)
                    marks << w.ReadinessTexts[i]->text() + '\t' + w.ReadinessMarks[i]->text();
            }}});
    const CliRun r = cli({"readiness", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_EQ(r.lines().size(), 9);
    EXPECT_EQ(r.lines()[0], "Readiness-Code\t" + digits);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(r.lines()[i + 1].section('\t', 0, 1), marks[i]);
}

TEST_F(CliWindowTest, VoltagesAreTheVoltagePagesValues) {
    TForm1& w = openWindow("de", "U2=5.0\r\nTV0=3\r\nTV1=0.5\r\n");
    chooseUnit(1);
    QStringList shown;
    drive({{"voltage page", [] { return true; },
            [&] {
                w.PageControl1->setActivePage(w.TabSheet10);
                w.PageControl1Change();
                w.VoltageCheckBoxes[0]->setChecked(true);
                w.VoltageCheckBoxes[1]->setChecked(true);
            }},
           {"read", [&] { return !w.VoltageValueBoxes[1]->text().isEmpty(); },
            [&] {
                for (size_t k = 0; k < 2; ++k)
                    shown << "ADC " + QString::number(k) + '\t' + w.VoltageValueBoxes[k]->text();
            }}});
    const CliRun r = cli({"voltages"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines(), shown);
    EXPECT_EQ(shown.value(0), "ADC 0\t12,60 V");
}

TEST_F(CliWindowTest, ScanPrintsTheSearchPagesReport) {
    for (const char* language : {"de", "en"}) {
        SCOPED_TRACE(language);
        TForm1& w = openWindow(language);
        w.ComboBox2->setCurrentIndex(1);
        w.ComboBox2Change();
        for (int i = 0; i < w.CheckListBox1->count(); ++i)
            if (QList<int>{1, 5, 23}.contains(w.CheckListBox1->item(i)->text().left(3).toInt()))
                w.CheckListBox1->item(i)->setCheckState(Qt::Checked);
        w.BitBtn3->click();
        const QStringList report = w.Memo2->toPlainText().split('\n');
        ASSERT_GT(report.size(), 20);

        const CliRun r = cli({"scan", "17", "1", "5"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.lines(), report);
        EXPECT_EQ(r.err, "") << "no progress lines into a pipe";
    }
}
