// The interface check from the search page, and what a failed connection
// attempt says it saw, through the real window against the simulator process
// and a scripted interface.
#include "support/pty_pair.h"
#include "support/scripted_peer.h"
#include "support/sim_process.h"
#include "support/ui/recording_fixture.h"

#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

class InterfaceCheckTest : public RecordingTest {
protected:
    // The search page, where the check's button is.
    TForm1& openSearchPage(const QString& terminal, const QByteArray& extraIni = {}) {
        TForm1& w = makeWindow(terminal, extraIni);
        w.ComboBox2->setCurrentIndex(1);
        w.ComboBox2Change();
        w.show();
        return w;
    }
};

TEST_F(InterfaceCheckTest, ReportsEachStepWithWhatWasSeenAndNeverDialsAUnit) {
    const struct {
        const char* name;
        QStringList simOptions;
        QStringList lines; // the box's text; the last line as a pattern
        QStringList commands;
    } cases[] = {
        {"a good interface",
         {"--chip-version", "2.1"},
         {"Das Interface antwortet, wie es soll.", "", "Aufwecken: bestanden - OK\\r>",
          "Reset: bestanden - RESET\\rVandrix Pro v2.1\\r>",
          "Chip und Version: bestanden - Vandrix Pro v2.1",
          // U2=5.0, TV1=1: input 1 also in volts.
          R"(Eingangsspannungen: bestanden - ADC 0: 8\d\d, ADC 1: 5\d\d = 2[.,]\d\d V, ADC 2: 0, )"
          R"(ADC 3: 3\d\d, ADC 4: 1023, ADC 5: 128)"},
         {"", "ATZ", "ATA0", "ATA1", "ATA2", "ATA3", "ATA4", "ATA5"}},
        {"a chip without inputs",
         {"--chip-version", "1.9"},
         {"Das Interface antwortet, wie es soll.", "", "Aufwecken: bestanden - OK\\r>",
          "Reset: bestanden - RESET\\rVandrix Pro v1.9\\r>",
          "Chip und Version: bestanden - Vandrix Pro v1.9",
          R"(Eingangsspannungen: nicht ausgeführt - Der Chip \(Version 1\.9\) mißt keine )"
          R"(Spannungen; das können erst Chips ab Version 2\.0\.)"},
         {"", "ATZ"}},
        {"a silent interface",
         {"--fault", "silence#1"},
         {"Das Interface antwortet nicht, wie es soll.", "",
          "Aufwecken: fehlgeschlagen - nichts empfangen",
          "Reset: fehlgeschlagen - nichts empfangen", "Chip und Version: nicht ausgeführt",
          "Eingangsspannungen: nicht ausgeführt"},
         {"", "ATZ"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim(c.simOptions);
        ASSERT_TRUE(sim.started());
        TForm1& w = openSearchPage(sim.terminalPath(), "U2=5.0\r\nTV1=1\r\n");
        ASSERT_TRUE(w.InterfaceCheckButton->isVisible());
        prompts.expectMessage(QString(), "Interface-Prüfung");
        w.InterfaceCheckButton->click();
        prompts.verifyDone();
        ASSERT_FALSE(prompts.shown().empty());
        const QStringList lines = prompts.shown().back().text.split('\n');
        ASSERT_EQ(lines.size(), c.lines.size()) << prompts.shown().back().text.toStdString();
        EXPECT_EQ(lines.mid(0, lines.size() - 1), c.lines.mid(0, lines.size() - 1));
        EXPECT_TRUE(QRegularExpression(QRegularExpression::anchoredPattern(c.lines.last()))
                        .match(lines.last())
                        .hasMatch())
            << lines.last().toStdString();
        EXPECT_EQ(sim.commands(), c.commands);
        // The window is free again, and the check left a recording.
        EXPECT_TRUE(w.InterfaceCheckButton->isEnabled());
        EXPECT_TRUE(w.ComboBox2->isEnabled());
        EXPECT_FALSE(w.Session->portOpen());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        const Recording::File file = lastRecording();
        EXPECT_EQ(file.value("Kind"), "interface check");
        EXPECT_EQ(RecordedCommands(file), c.commands);
    }
}

TEST_F(InterfaceCheckTest, AFailedAttemptSaysWhatArrivedBelowItsMessage) {
    // The interface answers the first wake-up only.
    {
        SimProcess sim({"--fault", "silence#2"});
        ASSERT_TRUE(sim.started());
        makeWindow(sim.terminalPath());
        chooseUnit(1);
        prompts.expectMessage(QStringLiteral(
            "Kein Kontakt zum Diagnoseinterface herstellbar.\nStellen Sie sicher, daß Sie ein "
            "Interface mit Vandrix Pro Chip verwenden.\nLesen Sie das Handbuch.\nEmpfangen: nur "
            "OK\\r>, danach nichts mehr."));
        window->BitBtn3Click();
        prompts.verifyDone();
        expectIdleWindow();
    }
    // Another chip: its first reset answer as it arrived.
    PtyPair pty;
    ScriptedPeer peer(pty, [](const QByteArray& command) -> QByteArray {
        if (command.isEmpty())
            return "OK\r>";
        if (command == "ATZ")
            return "RESET\rOther Interface 3.0\xA7\r>";
        return "ERROR\r>";
    });
    makeWindow(pty.slavePath());
    chooseUnit(1);
    prompts.expectMessageContaining("Lesen Sie das Handbuch.\nEmpfangen: eine Antwort ohne den "
                                    "Namen des Chips: RESET\\rOther Interface 3.0\\xA7\\r>");
    window->BitBtn3Click();
    prompts.verifyDone();
    expectIdleWindow();
}

TEST_F(InterfaceCheckTest, ClosingTheWindowDuringACheckEndsItQuietly) {
    SimProcess sim({"--fault", "silence#1"});
    ASSERT_TRUE(sim.started());
    TForm1& w = openSearchPage(sim.terminalPath());
    QTimer::singleShot(200, &w, [&w] { w.close(); });
    QElapsedTimer took;
    took.start();
    w.InterfaceCheckButton->click();
    EXPECT_LT(took.elapsed(), 2000) << "the check waited for the silent interface";
    EXPECT_TRUE(prompts.shown().empty());
    EXPECT_FALSE(w.Session->portOpen());
    EXPECT_FALSE(w.state.SessionRunning);
}
