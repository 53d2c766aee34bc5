// Every control unit search keeps its report in the user's data folder: a
// search against the simulator leaves on disk what the window shows.
#include "support/sim_process.h"
#include "support/test_scenarios.h"
#include "support/ui/session_fixture.h"

#include "reports/scan_diff.h"

#include <QComboBox>
#include <QDirIterator>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>

namespace {

const QByteArray Scenario = TestScenario("kept_scans.ini");

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A kept report without its mark lines: the text the search page showed.
QString withoutMarks(const QString& kept) {
    QStringList lines = kept.split('\n');
    lines.removeIf([](const QString& line) { return line.startsWith("## "); });
    return lines.join('\n');
}

} // namespace

class ScansKeptTest : public SessionTest {
protected:
    ScansKeptTest() {
        qputenv("XDG_DATA_HOME", dir.filePath("data-home").toUtf8());
        writeFile("scenario.ini", Scenario);
        writeFile("autoscan.ini", "[Carlist]\r\ncar1=Testwagen 1.6/16V,1,17\r\n");
        sim = std::make_unique<SimProcess>(
            QStringList{"--scenario", dir.filePath(QStringLiteral("scenario.ini"))});
        EXPECT_TRUE(sim->started());
    }

    QStringList scans() const { return QDir(scansFolder).entryList(QDir::Files, QDir::Name); }

    QString scansFolder = dir.filePath("data-home/vandrix/scans");
    std::unique_ptr<SimProcess> sim;
};

TEST_F(ScansKeptTest, EverySearchLeavesItsReportOnDisk) {
    TForm1& w = makeWindow(sim->terminalPath());
    w.ComboBox2->setCurrentIndex(1);
    w.ComboBox2Change();
    w.show();
    w.ComboBox3->setCurrentIndex(1); // the car ticks 1 and 17
    w.ComboBox3Change();
    w.BitBtn3->click();

    ASSERT_EQ(scans().size(), 1);
    const QString first = scans()[0];
    EXPECT_TRUE(
        QRegularExpression("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d_Testwagen_1.6_16V\\.txt$")
            .match(first)
            .hasMatch())
        << first.toStdString();
    const QString firstPath = scansFolder + '/' + first;
    EXPECT_EQ(withoutMarks(QString::fromUtf8(contents(firstPath))), w.Memo2->toPlainText() + '\n');
    EXPECT_EQ(w.ScanSavedLabel->toolTip(), "Bericht gespeichert: " + firstPath);
    EXPECT_TRUE(w.ScanSavedLabel->text().endsWith(first)) << w.ScanSavedLabel->text().toStdString();
    EXPECT_TRUE(w.ScanSavedLabel->isVisible());
    const ScanReport report = ParseScanReport(QString::fromUtf8(contents(firstPath)));
    EXPECT_TRUE(report.complete);
    ASSERT_EQ(report.units.size(), 2);
    EXPECT_EQ(report.units[1].faults.size(), 2);
    EXPECT_EQ(report.units[0].faultRead, ScanFaultRead::Empty);
    EXPECT_EQ(report.units[1].faultRead, ScanFaultRead::Found);
    EXPECT_FALSE(report.cutShort);

    // Without a car the name is the date and time alone; a second search in
    // the same second keeps both.
    w.ComboBox3->setCurrentIndex(0);
    w.BitBtn3->click();
    w.BitBtn3->click();
    const QStringList all = scans();
    ASSERT_EQ(all.size(), 3);
    const QRegularExpression named(
        "^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d(_Testwagen_1\\.6_16V)?(-\\d)?\\.txt$");
    for (const QString& name : all)
        EXPECT_TRUE(named.match(name).hasMatch()) << name.toStdString();
    EXPECT_EQ(all.filter("Testwagen").size(), 1);
    // The same car twice: no difference.
    const QString other = all[0] == first ? all[1] : all[0];
    EXPECT_TRUE(DiffScanReports(QString::fromUtf8(contents(firstPath)),
                                QString::fromUtf8(contents(scansFolder + '/' + other)))
                    .isEmpty());

    // A folder that cannot be made is said where the path would be; no box.
    QDir(scansFolder).removeRecursively();
    writeFile("data-home/vandrix/scans", "in the way");
    w.BitBtn3->click();
    EXPECT_TRUE(w.ScanSavedLabel->toolTip().startsWith("Bericht nicht gespeichert: "));
    EXPECT_EQ(prompts.shown().size(), 0u);
    expectIdleWindow();
}

TEST_F(ScansKeptTest, KeptScansMarkARefusedReadAndASearchCutShort) {
    const auto search = [&](const SimProcess& car, std::initializer_list<int> addresses) {
        const QStringList before = scans();
        TForm1& w = makeWindow(car.terminalPath());
        w.ComboBox2->setCurrentIndex(1);
        w.ComboBox2Change();
        for (int i = 0; i < w.CheckListBox1->count(); ++i)
            for (int a : addresses)
                if (w.CheckListBox1->item(i)->text().left(3).toInt() == a)
                    w.CheckListBox1->item(i)->setCheckState(Qt::Checked);
        w.show();
        w.BitBtn3->click();
        QStringList added = scans();
        added.removeIf([&](const QString& name) { return before.contains(name); });
        EXPECT_EQ(added.size(), 1);
        return added.isEmpty() ? QString()
                               : QString::fromUtf8(contents(scansFolder + '/' + added[0]));
    };

    // Unit 3 refuses its fault read: the page shows no faults, the file says why.
    const QString whole = search(*sim, {1, 3, 17});
    EXPECT_EQ(withoutMarks(whole), window->Memo2->toPlainText() + '\n');
    const ScanReport first = ParseScanReport(whole);
    EXPECT_TRUE(first.complete);
    EXPECT_FALSE(first.cutShort);
    ASSERT_EQ(first.units.size(), 3);
    EXPECT_EQ(first.units[1].faultRead, ScanFaultRead::Refused);
    EXPECT_TRUE(first.units[1].faults.isEmpty());
    EXPECT_EQ(first.units[2].faultRead, ScanFaultRead::Found);

    // A failure in the first fault read cuts the search short.
    SimProcess failing(
        {"--scenario", dir.filePath(QStringLiteral("scenario.ini")), "--fault", "dataerror@02"});
    ASSERT_TRUE(failing.started());
    prompts.expectMessage(QString(), "Vandrix", PromptIcon::Error);
    const ScanReport cut = ParseScanReport(search(failing, {1, 3, 17}));
    prompts.verifyDone();
    EXPECT_FALSE(cut.complete);
    EXPECT_TRUE(cut.cutShort);
    ASSERT_EQ(cut.units.size(), 1);
    EXPECT_EQ(cut.units[0].faultRead, ScanFaultRead::Unreadable);

    // The unread memory makes no fault "gone".
    const ScanDifference diff = DiffScanReports(first, cut);
    EXPECT_TRUE(diff.goneFaults.isEmpty());
    EXPECT_EQ(diff.notCompared.size(), 1);
}
