// The change journal in whole sessions: every coding write and adaptation
// save leaves its two lines in the user's data folder before and after the
// request, a journal that cannot be written stops the write, and the pages
// offer to put the earlier value back.
#include "support/sim_process.h"
#include "support/test_scenarios.h"
#include "support/ui/session_fixture.h"

#include "log/change_journal.h"

#include <QDir>
#include <QLineEdit>
#include <QRegularExpression>

namespace {

const QByteArray Scenario = TestScenario("change_journal.ini");

const QString Question = QString::fromUtf8(
    "Das Umprogrammieren des Steuergerätes kann Störungen verursachen.\r\n"
    "Notieren Sie sich vorher die bisherigen Einstellungen.\r\nWollen Sie fortfahren?");

} // namespace

class ChangeJournalTest : public SessionTest {
protected:
    ChangeJournalTest() {
        qputenv("XDG_DATA_HOME", dir.filePath("data-home").toUtf8());
        writeFile("scenario.ini", Scenario);
        sim = std::make_unique<SimProcess>(
            QStringList{"--scenario", dir.filePath(QStringLiteral("scenario.ini"))});
        EXPECT_TRUE(sim->started());
    }

    TForm1& openWindow() {
        TForm1& w = makeWindow(sim->terminalPath());
        chooseUnit(17);
        w.show();
        return w;
    }

    QString journalPath() const { return dir.filePath("data-home/vandrix/changes.csv"); }
    QList<JournalEntry> journal() const { return ChangeJournalFile(journalPath()).read(); }
    QStringList sent(const QString& pattern) const {
        return sim->commands().filter(QRegularExpression(pattern));
    }
    std::function<bool()> promptsDone() {
        return [this] { return prompts.pending() == 0; };
    }
    QByteArray journalText() const {
        QFile f(journalPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void setJournalText(const QByteArray& text) const {
        QFile f(journalPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    std::unique_ptr<SimProcess> sim;
};

TEST_F(ChangeJournalTest, CodingWriteIsJournalledAndCanBeUndone) {
    TForm1& w = openWindow();
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet4);
             EXPECT_TRUE(w.CodingLastChange->isHidden());
             EXPECT_TRUE(w.CodingUndoButton->isHidden());
             w.Edit7->setText("1263");
             prompts.expectQuestion(true, Question);
             prompts.expectMessage(w.Str(83));
             w.BitBtn7Click();
         }},
        {"written", promptsDone(),
         [&] {
             const QList<JournalEntry> lines = journal();
             ASSERT_EQ(lines.size(), 2);
             EXPECT_EQ(lines[0].stage, JournalEntry::Stage::Sent);
             EXPECT_EQ(lines[0].address, 17);
             EXPECT_EQ(lines[0].partNumber, "TK0 920 826 C");
             EXPECT_EQ(lines[0].workshopCode, "12345");
             EXPECT_TRUE(lines[0].isCoding());
             EXPECT_EQ(lines[0].before, "01262");
             EXPECT_EQ(lines[0].requested, "01263");
             EXPECT_EQ(lines[1].stage, JournalEntry::Stage::Accepted);
             EXPECT_EQ(lines[1].readBack, "01263");
             EXPECT_FALSE(lines[1].undo);
             EXPECT_EQ(w.CodingLastChange->text(), "Letzte Änderung: 01262 → 01263");
             EXPECT_TRUE(w.CodingUndoButton->isVisible());
             EXPECT_TRUE(w.CodingUndoButton->isEnabled());
             EXPECT_EQ(w.CodingUndoButton->text(), "&Zurück auf 01262");
             // The question names the unit and both values; No sends and
             // journals nothing.
             prompts.expectQuestion(false,
                                    "Steuergerät " + w.ComboBox2->currentText() +
                                        ", Teilenummer TK0 920 826 C\r\nCodierung jetzt: 01263\r\n"
                                        "Rückgängig schreibt: 01262\r\n\r\n" +
                                        Question);
             w.CodingUndoButton->click();
         }},
        {"undo declined", promptsDone(),
         [&] {
             EXPECT_EQ(journal().size(), 2);
             prompts.expectQuestion(true);
             prompts.expectMessage(w.Str(83));
             w.CodingUndoButton->click();
         }},
        {"undone", promptsDone(),
         [&] {
             EXPECT_EQ(w.Label100->text(), "01262");
             const QList<JournalEntry> lines = journal();
             ASSERT_EQ(lines.size(), 4);
             EXPECT_EQ(lines[3].before, "01263");
             EXPECT_EQ(lines[3].requested, "01262");
             EXPECT_TRUE(lines[3].undo);
             EXPECT_EQ(lines[3].stage, JournalEntry::Stage::Accepted);
             EXPECT_EQ(w.CodingLastChange->text(), "Letzte Änderung: 01263 → 01262");
             EXPECT_TRUE(w.CodingLastChange->toolTip().contains("(rückgängig gemacht)"));
         }},
    });
    // Coding 1262 = 04EE, workshop code 12345 = 3039.
    EXPECT_EQ(sent("^07"), QStringList({"0704EF3039", "0704EE3039"}));
    EXPECT_FALSE(w.CodingUndoButton->isEnabled());

    // The next session with this unit shows the last change at once.
    drive({{"connected", [] { return true; },
            [&] {
                EXPECT_TRUE(w.CodingUndoButton->isEnabled());
                EXPECT_EQ(w.CodingUndoButton->text(), "&Zurück auf 01263");
            }}});
    expectIdleWindow();
}

TEST_F(ChangeJournalTest, AJournalThatCannotBeWrittenStopsTheWrite) {
    // A file where the journal's folder belongs.
    QDir(dir.path()).mkpath("data-home");
    writeFile("data-home/vandrix", "in the way");
    TForm1& w = openWindow();
    drive({
        {"connected", [] { return true; },
         [&] {
             // The recordings cannot be written either: the status bar says so
             // while the session runs, a box once it has ended.
             EXPECT_TRUE(w.StatusBar1->toolTip().contains("nicht mehr aufgezeichnet"));
             w.PageControl1->setActivePage(w.TabSheet4);
             w.Edit7->setText("1300");
             prompts.expectQuestion(true);
             prompts.expectMessageContaining("Es wurde nichts an das Steuergerät gesendet.");
             w.BitBtn7Click();
         }},
        {"refused", promptsDone(),
         [&] {
             EXPECT_TRUE(w.BitBtn7->isEnabled());
             w.PageControl1->setActivePage(w.TabSheet8);
             w.Edit8->setText("2");
         }},
        {"channel 2 shown", [&] { return w.Label115->text() == "300"; },
         [&] {
             w.Edit9->setText("301");
             prompts.expectQuestion(true);
             prompts.expectMessageContaining("Änderungsprotokoll");
             w.BitBtn8Click();
         }},
        {"refused too", promptsDone(),
         [&] { prompts.expectMessageContaining("nicht mehr aufgezeichnet"); }},
    });
    EXPECT_TRUE(sent("^07").isEmpty());
    EXPECT_TRUE(sent("^10.{6}$").isEmpty());
    expectIdleWindow();
}

TEST_F(ChangeJournalTest, AdaptationSaveIsJournalledAndItsChannelUndone) {
    TForm1& w = openWindow();
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet8);
             w.Edit8->setText("2");
         }},
        {"channel 2 shown", [&] { return w.Label115->text() == "300"; },
         [&] {
             EXPECT_TRUE(w.AdaptationUndoButton->isHidden());
             w.Edit9->setText("500");
             prompts.expectQuestion(true, Question);
             prompts.expectMessage(w.Str(83));
             w.BitBtn8Click();
         }},
        {"saved", [&] { return prompts.pending() == 0 && w.Label115->text() == "500"; },
         [&] {
             EXPECT_EQ(w.AdaptationLastChange->text(), "Letzte Änderung Kanal 2: 300 → 500");
             // A refused save is journalled but changes nothing to undo.
             w.Edit8->setText("1");
         }},
        {"channel 1 shown", [&] { return w.Label115->text() == "7"; },
         [&] {
             w.Edit9->setText("11");
             prompts.expectQuestion(true);
             prompts.expectMessage(w.Str(82), QString(), PromptIcon::Error);
             w.BitBtn8Click();
         }},
        {"refused", promptsDone(),
         [&] {
             EXPECT_EQ(w.AdaptationLastChange->text(), "Letzte Änderung Kanal 2: 300 → 500");
             // The undo puts channel 2 back while the page shows channel 1:
             // it reads the channel and names it.
             prompts.expectQuestion(true,
                                    "Steuergerät " + w.ComboBox2->currentText() +
                                        ", Teilenummer TK0 920 826 C\r\nKanal 2 jetzt: 500\r\n"
                                        "Rückgängig schreibt in Kanal 2: 300\r\n\r\n" +
                                        Question);
             prompts.expectMessage(w.Str(83));
             w.AdaptationUndoButton->click();
         }},
        {"undone", promptsDone()},
    });
    // 500 = 01F4, 11 = 000B, 300 = 012C.
    EXPECT_EQ(sent("^10.{6}$"), QStringList({"100201F4", "1001000B", "1002012C"}));
    const QList<JournalEntry> lines = journal();
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines[1].channel, 2);
    EXPECT_EQ(lines[1].before, "300");
    EXPECT_EQ(lines[1].stage, JournalEntry::Stage::Accepted);
    EXPECT_EQ(lines[1].workshopCode, "12345");
    EXPECT_EQ(lines[3].stage, JournalEntry::Stage::Refused);
    EXPECT_EQ(lines[5].channel, 2);
    EXPECT_EQ(lines[5].before, "500");
    EXPECT_EQ(lines[5].requested, "300");
    EXPECT_TRUE(lines[5].undo);
    expectIdleWindow();
}

// The journal names the car: another car of the model (another immobiliser
// text), a unit recoded since, and a change whose result never reached the
// journal are not undone; the last is completed at the next connection.
TEST_F(ChangeJournalTest, UndoOnlyOntoTheSameCarStillHoldingTheValueLeft) {
    TForm1& w = openWindow();
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet4);
             w.Edit7->setText("1263");
             prompts.expectQuestion(true);
             prompts.expectMessage(w.Str(83));
             w.BitBtn7Click();
         }},
        {"written", promptsDone()},
    });
    const QByteArray written = journalText();
    ASSERT_TRUE(written.contains("IMMO-IDENTIFIKATION VWZ7Z0W0123456"));
    ASSERT_EQ(journal().size(), 2);
    EXPECT_EQ(journal()[1].codingAfter, "01263");

    // Another car of the same model.
    setJournalText(QByteArray(written).replace("VWZ7Z0W0123456", "VWZ7Z0W0999999"));
    drive(
        {{"connected", [] { return true; }, [&] { EXPECT_TRUE(w.CodingUndoButton->isHidden()); }}});

    // This car, but its coding is no longer what the change left.
    setJournalText(QByteArray(written).replace(";01263;", ";01300;"));
    drive({{"connected", [] { return true; },
            [&] {
                EXPECT_FALSE(w.CodingUndoButton->isHidden());
                EXPECT_FALSE(w.CodingUndoButton->isEnabled());
                EXPECT_TRUE(w.CodingUndoButton->toolTip().contains("jetzt 01263, nicht 01300"));
            }}});

    // Killed after "sent": no result line. The unit's coding is read back at
    // the next connection and completes the change.
    setJournalText(written.left(written.lastIndexOf('\n', written.size() - 2) + 1));
    ASSERT_EQ(journal().size(), 1);
    drive({{"connected", [] { return true; },
            [&] {
                EXPECT_EQ(w.CodingLastChange->text(),
                          "Ergebnis nachgetragen: 01262 → 01263 wurde übernommen (jetzt 01263)");
                EXPECT_TRUE(w.CodingUndoButton->isEnabled());
            }}});
    QList<JournalEntry> lines = journal();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1].stage, JournalEntry::Stage::Applied);
    EXPECT_EQ(lines[1].readBack, "01263");

    // A change that did not reach the unit: not applied, and the undo offers
    // nothing from two changes back.
    const QByteArray sentOnly = written.left(written.lastIndexOf('\n', written.size() - 2) + 1);
    setJournalText(QByteArray(sentOnly).replace(";01263;sent", ";01400;sent"));
    drive({{"connected", [] { return true; },
            [&] {
                EXPECT_EQ(
                    w.CodingLastChange->text(),
                    "Ergebnis nachgetragen: 01262 → 01400 wurde nicht übernommen (jetzt 01263)");
                EXPECT_TRUE(w.CodingUndoButton->isHidden());
            }}});
    lines = journal();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1].stage, JournalEntry::Stage::NotApplied);
    EXPECT_EQ(sent("^07").size(), 1);
    expectIdleWindow();
}

// The journal is written in the window's language, and a last line that a
// crash cut short is named with its file and line where the change is shown;
// the whole lines before it still offer their undo.
TEST_F(ChangeJournalTest, AJournalLineCutShortIsShownWithItsFileAndLine) {
    TForm1& w = openWindow();
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet4);
             w.Edit7->setText("1263");
             prompts.expectQuestion(true);
             prompts.expectMessage(w.Str(83));
             w.BitBtn7Click();
         }},
        {"written", promptsDone()},
    });
    const QByteArray written = journalText();
    EXPECT_TRUE(written.startsWith("Zeit;Adresse;Teilenummer;")) << written.left(40).constData();
    const QByteArray firstEntry = written.split('\n')[1];
    setJournalText(written + firstEntry.left(30));
    drive({{"connected", [] { return true; },
            [&] {
                const QString notice =
                    "Änderungsprotokoll " + QDir::toNativeSeparators(journalPath()) +
                    ": die letzte Zeile (4) ist abgeschnitten und wurde übergangen.";
                EXPECT_EQ(w.CodingLastChange->text(), notice);
                EXPECT_TRUE(w.CodingLastChange->toolTip().contains(notice));
                EXPECT_TRUE(w.CodingUndoButton->isEnabled());
                EXPECT_EQ(w.CodingUndoButton->text(), "&Zurück auf 01262");
            }}});
    expectIdleWindow();
}
