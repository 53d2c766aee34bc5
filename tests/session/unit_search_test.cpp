// The control unit search against the simulator: the report of units found,
// missing and with faults, Disconnect between addresses, and a failure while
// a unit's faults are read.
#include "support/sim_process.h"
#include "support/test_scenarios.h"
#include "support/ui/session_fixture.h"

#include "reports/scan_diff.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScopeGuard>

namespace {

const QByteArray Scenario = TestScenario("unit_search.ini");

const QString Blank = QStringLiteral(" ");

QStringList reportOf(const TForm1& w) {
    return w.Memo2->toPlainText().split('\n');
}

QString head(const QString& entry) {
    return "======== " + entry + " " + QString(65 - entry.size(), '=');
}

// The identification block of a unit that answered, in German.
QStringList foundGerman(const QString& typ, const QString& part, const QString& wsc,
                        const QString& coding) {
    return {"-> Steuergerät gefunden <-",
            Blank,
            "VAG Geräte-Typnummer:         " + typ,
            "Bauteilbezeichnung:           " + part,
            "Zusatzinformationen:          ",
            "VAG Werkstattcode:            " + wsc,
            "Softwarecodierung:            " + coding};
}

const QString GermanEnd = "******** Vandrix Version 1.41 " + QString(43, '*');

} // namespace

class UnitSearchTest : public SessionTest {
protected:
    UnitSearchTest() {
        scenario = QStringLiteral("scenario.ini");
        writeFile(scenario, Scenario);
        writeFile("dtc_list_de.ini", "[DTC]\r\n18010=Batteriespannung\r\n257=Ansaugluft\r\n");
        writeFile("dtc_status_de.ini", "[Status]\r\n35=Unterbrechung\r\n161=Sporadisch\r\n");
        writeFile("dtc_status_en.ini", "[Status]\r\n35=Open circuit\r\n");
    }

    // The search entry chosen and the addresses ticked, as a user does.
    TForm1& openSearch(const QString& terminal, std::initializer_list<int> addresses,
                       const char* language = "de") {
        makeWindow(terminal, {}, language);
        TForm1& w = *window;
        w.ComboBox2->setCurrentIndex(1);
        w.ComboBox2Change();
        for (int i = 0; i < w.CheckListBox1->count(); ++i)
            for (int a : addresses)
                if (w.CheckListBox1->item(i)->text().left(3).toInt() == a)
                    w.CheckListBox1->item(i)->setCheckState(Qt::Checked);
        w.show();
        return w;
    }

    void expectSearchOver() {
        expectIdleWindow();
        EXPECT_TRUE(window->Memo2->isEnabled());
        EXPECT_TRUE(window->ComboBox3->isEnabled());
        EXPECT_TRUE(window->CheckListBox1->isEnabled());
        EXPECT_TRUE(window->CheckBox6->isEnabled());
        EXPECT_FALSE(window->BitBtn6->isEnabled());
    }
};

TEST_F(UnitSearchTest, ReportsEachTickedUnitWithItsIdentificationAndFaults) {
    auto sim = startSim();
    TForm1& w = openSearch(sim->terminalPath(), {17, 5, 1, 3});
    w.BitBtn3->click();

    QStringList expected;
    expected << head("001 [01] - Motor (ECU)")
             << foundGerman("036 906 034 AM", "1,4l R4/4V MOT3152", "12345", "00031") << Blank
             << Blank;
    // Neither "no faults" nor "no fault read" adds a line.
    expected << head("003 [03] - ABS Bremsen")
             << foundGerman("1J0 907 379 P", "ABS 20 IE0001", "12345", "03604") << Blank << Blank;
    expected << head("005 [05] - Start Authentifikation") << "-> Steuergerät nicht gefunden <-"
             << Blank << Blank;
    expected << head("017 [11] - Motor 2")
             << foundGerman("1J0 920 826 C", "KOMBI VDOV57", "04711", "01262")
             << "-> 2 Fehlercode(s) <-"
             << "-- 1 --"
             << " 18010  Batteriespannung"
             << " 35     Unterbrechung"
             << "-- 2 --"
             << " 00257  Ansaugluft"
             << " 161    Sporadisch" << Blank << Blank << GermanEnd;
    EXPECT_EQ(reportOf(w), expected);
    EXPECT_EQ(head("001 [01] - Motor (ECU)"),
              "======== 001 [01] - Motor (ECU) " + QString(43, '='));

    const QStringList commands = sim->commands();
    EXPECT_EQ(commands.filter(QRegularExpression("^ATD")),
              QStringList({"ATD01", "ATD03", "ATD05", "ATD11"}));
    EXPECT_EQ(commands.count("ATH"), 3);
    EXPECT_EQ(commands.count("02"), 3);
    expectSearchOver();
    EXPECT_EQ(w.Memo2->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    // The ticks stay for the next search.
    EXPECT_EQ(w.CheckListBox1->item(0)->checkState(), Qt::Checked);
}

TEST_F(UnitSearchTest, EnglishReportWithoutCodeTextsKeepsTheStatusTexts) {
    auto sim = startSim();
    TForm1& w = openSearch(sim->terminalPath(), {17}, "en");
    ASSERT_FALSE(w.state.DtcTextFileOpen());
    w.BitBtn3->click();
    const QStringList report = reportOf(w);
    ASSERT_EQ(report.size(), 18);
    EXPECT_EQ(report[1], "-> Control Module found <-");
    EXPECT_EQ(report.mid(8, 7),
              QStringList({"-> 2 Error Code(s) <-", "-- 1 --", " 18010  ", " 35     Open circuit",
                           "-- 2 --", " 00257  ", " 161    "}));
    EXPECT_EQ(report.last(), GermanEnd); // the version text has one language
}

TEST_F(UnitSearchTest, DisconnectFinishesTheCurrentAddressThenCloses) {
    // Slow units, so the third address is still being read when the user acts.
    auto sim = startSim({"--kline-ms", "60"});
    const QByteArray userData = qgetenv("XDG_DATA_HOME");
    const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", userData); });
    qputenv("XDG_DATA_HOME", dir.filePath("data-home").toUtf8());
    TForm1& w = openSearch(sim->terminalPath(), {1, 2, 3, 17, 5});
    bool pressed = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!pressed && w.Memo2->toPlainText().contains("003 [03]")) {
            pressed = true;
            EXPECT_FALSE(w.BitBtn2->isHidden());
            w.BitBtn2->click();
        }
    });
    user.start(5);
    w.BitBtn3->click();
    user.stop();
    ASSERT_TRUE(pressed);

    const QStringList report = reportOf(w);
    EXPECT_EQ(report.filter("======== ").size(), 3);
    EXPECT_EQ(report.filter("Steuergerät gefunden").size(), 3);
    EXPECT_EQ(report.mid(report.size() - 3), QStringList({Blank, Blank, GermanEnd}));
    EXPECT_EQ(sim->commands().filter(QRegularExpression("^ATD")),
              QStringList({"ATD01", "ATD02", "ATD03"}));
    expectSearchOver();
    // The kept file says the ticked units 17 and 5 were never searched.
    const QDir scans(dir.filePath("data-home/vandrix/scans"));
    const QStringList kept = scans.entryList(QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    QFile file(scans.filePath(kept[0]));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const ScanReport saved = ParseScanReport(QString::fromUtf8(file.readAll()));
    EXPECT_TRUE(saved.cutShort);
    EXPECT_EQ(saved.units.size(), 3);
}

TEST_F(UnitSearchTest, AFailureWhileReadingFaultsStopsTheReportAndFreesTheWindow) {
    auto sim = startSim({"--fault", "dataerror@02"});
    TForm1& w = openSearch(sim->terminalPath(), {1, 17});
    prompts.expectMessage(QString(), "Vandrix", PromptIcon::Error);
    w.BitBtn3->click();
    prompts.verifyDone();

    QStringList expected;
    expected << head("001 [01] - Motor (ECU)")
             << foundGerman("036 906 034 AM", "1,4l R4/4V MOT3152", "12345", "00031");
    EXPECT_EQ(reportOf(w), expected);
    EXPECT_EQ(sim->commands().filter(QRegularExpression("^ATD")), QStringList({"ATD01"}));
    expectSearchOver();
    // The "====" rules stay on one line each, as after a search that ends well.
    EXPECT_EQ(w.Memo2->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(w.Memo2->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(UnitSearchTest, APortThatCannotBeOpenedIsReportedOnce) {
    auto sim = startSim();
    TForm1& w = openSearch(sim->terminalPath(), {});
    sim->stop();          // the terminal is gone
    w.CheckBox6->click(); // all 94 units
    prompts.expectMessageContaining(QStringLiteral("blockiert"));
    w.BitBtn3->click();
    prompts.verifyDone();
    EXPECT_EQ(reportOf(w), QStringList({head(w.CheckListBox1->item(0)->text()), GermanEnd}));
    expectSearchOver();
}

TEST_F(UnitSearchTest, AnAdapterPulledOutStopsTheSearchWithOneMessage) {
    auto sim = startSim({"--fault", "unplug@ATD03"});
    TForm1& w = openSearch(sim->terminalPath(), {1, 3, 5});
    prompts.expectMessageContaining(QStringLiteral("ist abgebrochen"));
    w.BitBtn3->click();
    prompts.verifyDone();
    const QStringList report = reportOf(w);
    EXPECT_EQ(report.filter("======== ").size(), 2);
    EXPECT_EQ(report.filter("Steuergerät gefunden").size(), 1);
    EXPECT_EQ(report.last(), GermanEnd);
    EXPECT_EQ(sim->commands().filter(QRegularExpression("^ATD")), QStringList({"ATD01", "ATD03"}));
    expectSearchOver();
}

TEST_F(UnitSearchTest, NothingTickedWritesOnlyTheClosingLine) {
    TForm1& w = openSearch(QString(), {});
    w.Memo2->setPlainText("an earlier report");
    w.BitBtn3->click();
    EXPECT_EQ(reportOf(w), QStringList({GermanEnd}));
    expectSearchOver();
}
