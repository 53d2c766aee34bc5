// The fault code page in whole sessions against the simulator: the table with
// its texts, the units without faults, without a fault read or refusing it, the clear
// after the warning, and a fault line that is no number.
#include "support/sim_process.h"
#include "support/test_scenarios.h"
#include "support/ui/session_fixture.h"

#include <vector>

namespace {

const QByteArray Scenario = TestScenario("fault_codes.ini");

QStringList row(const TForm1& w, int r) {
    QStringList cells;
    for (int c = 0; c < 4; ++c)
        cells << w.StringGrid1->cell(c, r);
    return cells;
}

} // namespace

class FaultCodePageTest : public SessionTest {
protected:
    FaultCodePageTest() {
        scenario = QStringLiteral("scenario.ini");
        writeFile(scenario, Scenario);
        writeFile("dtc_list_de.ini", "[DTC]\r\n18007=Drosselklappe: Grundeinstellung\r\n"
                                     "257=Ansauglufttemperatur\r\n");
        writeFile("dtc_status_de.ini", "[Status]\r\n35=Unterbrechung\r\n161=Sporadisch\r\n");
    }

    static int count(const SimProcess& sim, const char* command) {
        return int(sim.commands().count(QString::fromLatin1(command)));
    }
};

TEST_F(FaultCodePageTest, TableListsEveryFaultWithItsTexts) {
    auto sim = startSim();
    TForm1& w = openWindow(*sim, 1);
    bool clearEnabled = false;
    drive({
        {"connected", [] { return true; },
         [&] {
             w.BitBtn4->setEnabled(false); // the page's poll enables it again
             w.PageControl1->setActivePage(w.TabSheet3);
         }},
        {"two reads", [&] { return count(*sim, "02") >= 2; },
         [&] { clearEnabled = w.BitBtn4->isEnabled(); }},
    });
    EXPECT_TRUE(clearEnabled);
    ASSERT_EQ(w.StringGrid1->rowCount(), 4);
    EXPECT_EQ(row(w, 1), QStringList({"1", "18007\r\n35", "Drosselklappe: Grundeinstellung",
                                      "Unterbrechung"}));
    EXPECT_EQ(row(w, 2), QStringList({"2", "00257\r\n161", "Ansauglufttemperatur", "Sporadisch"}));
    // Neither text file knows code 290 or status 99.
    EXPECT_EQ(row(w, 3), QStringList({"3", "00290\r\n99", "", ""}));
    EXPECT_EQ(w.state.FaultCodes, FaultCodeList({{18007, 35}, {257, 161}, {290, 99}}));
}

TEST_F(FaultCodePageTest, UnitsWithoutFaultsOrWithoutAFaultReadSayWhy) {
    auto sim = startSim();
    const struct {
        int address;
        const char* text;
    } cases[] = {
        {2, "Keine Fehler gespeichert"}, // the unit's own "no fault" line FFFF 88
        {3, "Funktion DTC Auslesen wird vom Steuergerät nicht unterstüzt."}, // "0A"
        // "NA": the memory may hold faults, so never "no errors stored".
        {4, "Der Fehlerspeicher ließ sich nicht lesen: das Steuergerät hat die Anfrage "
            "abgelehnt."},
    };
    for (const auto& c : cases) {
        TForm1& w = openWindow(*sim, c.address);
        const int before = count(*sim, "02");
        drive({
            {"connected", [] { return true; }, [&] { w.PageControl1->setActivePage(w.TabSheet3); }},
            {"two reads", [&] { return count(*sim, "02") >= before + 2; }},
        });
        EXPECT_EQ(w.StringGrid1->rowCount(), 2) << c.address;
        EXPECT_EQ(row(w, 1), QStringList({"", "", c.text, ""})) << c.address;
        EXPECT_TRUE(w.state.FaultCodes.isEmpty());
    }
}

TEST_F(FaultCodePageTest, ClearingNeedsTheTickedWarningAndLeavesNoStaleRows) {
    auto sim = startSim();
    TForm1& w = openWindow(*sim, 1);
    int shownBefore = 0;
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet3);
             prompts.expectConfirm(1, 2); // OK without the tick
             w.BitBtn4->click();
         }},
        {"warning declined", [&] { return prompts.pending() == 0; },
         [&] { shownBefore = count(*sim, "02"); }},
        {"another read", [&] { return count(*sim, "02") >= shownBefore + 2; },
         [&] {
             EXPECT_EQ(count(*sim, "05"), 0);
             EXPECT_EQ(w.StringGrid1->rowCount(), 4);
             prompts.expectConfirm(1, 1);
             w.BitBtn4->click();
         }},
        {"memory cleared and re-read",
         [&] { return w.StringGrid1->cell(2, 1) == "Keine Fehler gespeichert"; }},
    });
    EXPECT_EQ(count(*sim, "05"), 1);
    EXPECT_EQ(w.StringGrid1->rowCount(), 2);
    EXPECT_EQ(row(w, 1), QStringList({"", "", "Keine Fehler gespeichert", ""}));
}

TEST_F(FaultCodePageTest, AFaultLineThatIsNoNumberEndsTheSession) {
    auto sim = startSim({"--fault", "garbage@02#2"});
    TForm1& w = openWindow(*sim, 1);
    prompts.expectMessage("Kommunikationsfehler", "Fehler");
    runSession([&] { w.PageControl1->setActivePage(w.TabSheet3); }, false);
    prompts.verifyDone();
    expectIdleWindow();
    EXPECT_EQ(count(*sim, "02"), 2);
    EXPECT_EQ(count(*sim, "ATH"), 0);
}

TEST_F(FaultCodePageTest, WithoutTextFilesAFaultNeverKeepsAnEarlierMessage) {
    QFile::remove(dir.filePath("dtc_list_de.ini"));
    QFile::remove(dir.filePath("dtc_status_de.ini"));
    TForm1& w = makeWindow(QString());
    w.state.FaultCodes.clear();
    w.ShowFaultCodes(FaultReadOutcome::Unsupported);
    w.state.FaultCodes = {{283, 35}};
    w.ShowFaultCodes(FaultReadOutcome::Found);
    EXPECT_EQ(w.StringGrid1->rowCount(), 2);
    EXPECT_EQ(row(w, 1), QStringList({"1", "00283\r\n35", "", ""}));
}
