// Whole sessions through the real window, port and channel against the
// simulator in its own process.
#include "support/pty_pair.h"
#include "support/scripted_peer.h"
#include "support/sim_process.h"
#include "support/ui/session_fixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>

namespace {
const QStringList SetupToEngine{"", "", "ATZ", "ATIBT05", "ATBDT28", "ATN0", "ATD01"};
}

TEST_F(SessionTest, ConnectShowsTheIdentificationAndDisconnectSendsATH) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    TForm1& w = makeWindow(sim.terminalPath());
    chooseUnit(1);

    QString panels[5];
    QStringList info;
    bool rawTab = false, voltageTab = false;
    runSession([&] {
        for (int p = 0; p < 5; ++p)
            panels[p] = w.StatusBar1->panelText(p);
        info = {w.Label97->text(), w.Label6->text(), w.Label7->text(), w.Label9->text()};
        rawTab = w.TabSheet5->pageEnabled();
        voltageTab = w.TabSheet10->pageEnabled();
    });

    EXPECT_EQ(panels[0], "Verbindung hergestellt");
    EXPECT_TRUE(panels[1].endsWith(" Baud"));
    EXPECT_EQ(panels[2], "Vandrix Pro v2.1");
    EXPECT_EQ(panels[3], "Protokoll: KW 1281");
    EXPECT_EQ(panels[4], "036906034AM.ini geöffnet");
    EXPECT_EQ(info[0], w.ComboBox2->currentText());
    EXPECT_EQ(info[1], "036 906 034 AM");
    EXPECT_FALSE(info[2].isEmpty());
    EXPECT_TRUE(rawTab);
    EXPECT_TRUE(voltageTab);
    EXPECT_EQ(sim.commands(), SetupToEngine + QStringList{"ATH"});
    expectIdleWindow();
    EXPECT_EQ(w.windowTitle(), "Vandrix  |  Version 1.41");

    // The port is free again: a second session works at once.
    runSession();
    EXPECT_EQ(sim.commands().count("ATH"), 2);
    expectIdleWindow();
}

TEST_F(SessionTest, TabsFollowProtocolAndChipVersion) {
    struct Case {
        int address;
        const char* chipVersion;
        const char* labelPanel;
        bool rawTab;
        bool voltageTab;
    } cases[] = {
        {2, "2.0", "09G927750FA.ini geöffnet", false, true},      // KW 2000 gearbox
        {3, "1.9", "1J0907379P.ini nicht gefunden", true, false}, // no label file
    };
    for (const Case& c : cases) {
        SimProcess sim({"--chip-version", c.chipVersion});
        ASSERT_TRUE(sim.started());
        TForm1& w = makeWindow(sim.terminalPath());
        chooseUnit(c.address);
        bool raw = !c.rawTab, voltage = !c.voltageTab;
        QString labelPanel, memo3;
        runSession([&] {
            raw = w.TabSheet5->pageEnabled();
            voltage = w.TabSheet10->pageEnabled();
            labelPanel = w.StatusBar1->panelText(4);
            memo3 = w.Memo3->toPlainText();
        });
        EXPECT_EQ(raw, c.rawTab) << c.address;
        EXPECT_EQ(voltage, c.voltageTab) << c.address;
        EXPECT_EQ(labelPanel, c.labelPanel);
        if (!c.rawTab) {
            EXPECT_TRUE(memo3.isEmpty());
        }
    }
}

TEST_F(SessionTest, FailedAttemptsEndAsTheUserExpects) {
    struct Case {
        const char* name;
        QStringList simOptions;
        int address;
        const char* message; // empty: no box
        const char* lastCommand;
        const char* panel0 = "Keine Verbindung";
    } cases[] = {
        {"unit absent", {}, 5, "", "ATD05", "Steuergerät 05 antwortet nicht (ERROR)"},
        {"unit answers DATA ERROR",
         {"--fault", "dataerror@ATD01"},
         1,
         "",
         "ATD01",
         "Steuergerät 01 antwortet nicht (DATA ERROR)"},
        {"unit silent",
         {"--fault", "silence@ATD01"},
         1,
         "",
         "ATD01",
         "Steuergerät 01 antwortet nicht"},
        {"adapter pulled out", {"--fault", "unplug@ATD01"}, 1, "ist abgebrochen", "ATD01"},
        {"interface silent", {"--fault", "silence#1"}, 1, "Kein Kontakt zum Diagnoseinterface", ""},
        {"identification never ends",
         {"--fault", "noprompt@ATD01"},
         1,
         "Kommunikationsfehler",
         "ATD01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim(c.simOptions);
        ASSERT_TRUE(sim.started());
        makeWindow(sim.terminalPath());
        chooseUnit(c.address);
        if (*c.message)
            prompts.expectMessageContaining(QString::fromUtf8(c.message));
        window->BitBtn3Click();
        prompts.verifyDone();
        EXPECT_EQ(sim.commands().last(), c.lastCommand);
        EXPECT_FALSE(sim.commands().contains("ATH"));
        expectIdleWindow(QString::fromUtf8(c.panel0));
    }
}

TEST_F(SessionTest, InterfacesThatAnswerInOtherFormsConnect) {
    struct Case {
        const char* name;
        QStringList simOptions;
    } cases[] = {
        {"reset answer with an extra line", {"--fault", "extraline@ATZ"}},
        {"timing refused", {"--fault", "error@ATIBT05"}},
        {"block delay refused", {"--fault", "error@ATBDT28"}},
        {"speed refused", {"--fault", "error@ATN0"}},
        {"lines end in CR LF", {"--fault", "crlf"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimProcess sim(c.simOptions);
        ASSERT_TRUE(sim.started());
        TForm1& w = makeWindow(sim.terminalPath());
        chooseUnit(1);
        QString part, value;
        drive({
            {"connected", [] { return true; },
             [&] {
                 part = w.Label6->text();
                 w.PageControl1->setActivePage(w.TabSheet2);
                 w.CheckBox1->setChecked(true);
             }},
            {"a group read", [&] { return !w.Label12->text().isEmpty(); },
             [&] { value = w.Label12->text(); }},
        });
        EXPECT_EQ(part, "036 906 034 AM");
        EXPECT_TRUE(value.endsWith(" upm")) << value.toStdString();
        EXPECT_EQ(sim.commands().last(), "ATH");
        expectIdleWindow();
    }
}

TEST_F(SessionTest, DisconnectCancelsAConnectionAttempt) {
    SimProcess sim({"--fault", "silence@ATZ"});
    ASSERT_TRUE(sim.started());
    TForm1& w = makeWindow(sim.terminalPath());
    chooseUnit(1);
    QElapsedTimer sincePress;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!sincePress.isValid() && sim.commands().contains("ATZ")) {
            ASSERT_TRUE(w.BitBtn2->isVisible() || !w.BitBtn2->isHidden());
            ASSERT_TRUE(w.BitBtn2->isEnabled());
            sincePress.start();
            w.BitBtn2Click();
        }
    });
    user.start(20);
    w.BitBtn3Click();
    user.stop();
    ASSERT_TRUE(sincePress.isValid());
    EXPECT_LT(sincePress.elapsed(), 2000) << "the attempt ran on to its silence limit";
    EXPECT_EQ(sim.commands().count("ATZ"), 1);
    EXPECT_TRUE(prompts.shown().empty());
    expectIdleWindow();
}

TEST_F(SessionTest, DisconnectEndsAWaitForAReply) {
    SimProcess sim({"--fault", "silence@0801"});
    ASSERT_TRUE(sim.started());
    TForm1& w = makeWindow(sim.terminalPath());
    chooseUnit(1);
    QElapsedTimer sincePress;
    drive({
        {"connected", [] { return true; },
         [&] {
             w.PageControl1->setActivePage(w.TabSheet2);
             w.CheckBox1->setChecked(true);
         }},
        {"group requested", [&] { return sim.commands().contains("0801"); },
         [&] { sincePress.start(); }},
    });
    EXPECT_LT(sincePress.elapsed(), 2000) << "Disconnect waited for the silence limit";
    EXPECT_TRUE(prompts.shown().empty()) << "no communication error for a wait the user ended";
    EXPECT_EQ(sim.commands().last(), "ATH");
    expectIdleWindow();
}

TEST_F(SessionTest, AReplyLineWithoutEndIsACommunicationError) {
    SimProcess sim({"--fault", "endless@0801"});
    ASSERT_TRUE(sim.started());
    TForm1& w = makeWindow(sim.terminalPath());
    chooseUnit(1);
    prompts.expectMessage(w.Str(304), w.Str(301), PromptIcon::Error);
    QElapsedTimer sinceRequest;
    drive(
        {
            {"connected", [] { return true; },
             [&] {
                 w.PageControl1->setActivePage(w.TabSheet2);
                 w.CheckBox1->setChecked(true);
             }},
            {"group requested", [&] { return sim.commands().contains("0801"); },
             [&] { sinceRequest.start(); }},
        },
        End::ByItself);
    prompts.verifyDone();
    // 512 characters at the line's pace, not the end of the stream.
    EXPECT_LT(sinceRequest.elapsed(), 3000);
    EXPECT_FALSE(sim.commands().contains("ATH"));
    expectIdleWindow();
}

TEST_F(SessionTest, AnInterfaceWithoutTheChipIsTriedSixTimes) {
    PtyPair pty;
    ScriptedPeer peer(pty, [](const QByteArray& command) -> QByteArray {
        if (command.isEmpty())
            return "OK\r>";
        if (command == "ATZ")
            return "RESET\rOther Interface 3.0\r>";
        return "ERROR\r>";
    });
    makeWindow(pty.slavePath());
    chooseUnit(1);
    prompts.expectMessageContaining("Kein Vandrix Pro gefunden.");
    window->BitBtn3Click();
    EXPECT_EQ(peer.received().count("ATZ"), 6);
    EXPECT_FALSE(peer.received().contains("ATD01"));
    expectIdleWindow();
}

TEST_F(SessionTest, UnpluggedAdapterEndsTheSessionAtOnceAndConnectWorksAgain) {
    auto sim = std::make_unique<SimProcess>();
    ASSERT_TRUE(sim->started());
    const QString link = dir.filePath("adapter");
    ASSERT_TRUE(QFile::link(sim->terminalPath(), link));
    makeWindow(link);
    chooseUnit(1);
    QElapsedTimer sinceUnplug;
    qint64 noticedAfter = -1;
    prompts.expectMessage("Kommunikationsfehler", "Fehler", PromptIcon::Error).during([&] {
        noticedAfter = sinceUnplug.elapsed();
    });
    runSession(
        [&] {
            sim->stop(); // the pty master closes: the device hangs up
            sinceUnplug.start();
        },
        false);
    EXPECT_GE(noticedAfter, 0);
    EXPECT_LT(noticedAfter, 2000) << "the hang-up was not noticed at once";
    prompts.verifyDone();
    expectIdleWindow();

    // The adapter is back under the same name.
    sim = std::make_unique<SimProcess>();
    ASSERT_TRUE(sim->started());
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(sim->terminalPath(), link));
    runSession();
    EXPECT_EQ(sim->commands(), SetupToEngine + QStringList{"ATH"});
}

TEST_F(SessionTest, AProgramErrorEndsTheSessionWithABoxNamingItAndATraceLine) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    prompts.expectMessage("Log-Datei wird geschrieben");
    TForm1& w = makeWindow(sim.terminalPath(), "Debug=ja\r\n");
    chooseUnit(1);
    // A fault inside a step of the loop, here behind the clear-faults question.
    prompts.expectConfirm(1, 2).during([] { throw std::out_of_range("BlockBuffer entry 0"); });
    prompts.expectMessage(
        "Interner Programmfehler: BlockBuffer entry 0\nDie Sitzung wurde beendet.", "Fehler",
        PromptIcon::Error);
    runSession([&] { w.BitBtn4Click(); }, false);
    prompts.verifyDone();
    EXPECT_EQ(sim.commands(), SetupToEngine); // ended at once, no "ATH"
    expectIdleWindow();

    w.Trace.Close();
    QFile trace(dir.filePath("debug.txt"));
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    EXPECT_TRUE(trace.readAll().contains("ProgramError;BlockBuffer entry 0\r\n"));
}

TEST_F(SessionTest, TheDemoInterfaceNeedsNoHardware) {
    TForm1& w = makeWindow(QString(), {});
    ASSERT_TRUE(IsDemoInterfaceName(w.ComboBox1->currentText()));
    chooseUnit(23);
    QString part;
    runSession([&] { part = w.Label6->text(); });
    EXPECT_EQ(part, "1J0 920 826 C");
    EXPECT_EQ(demo.commands().last(), "ATH");
    expectIdleWindow();
}

TEST_F(SessionTest, ClosingTheWindowDuringASessionEndsItQuietly) {
    SimProcess sim;
    ASSERT_TRUE(sim.started());
    TForm1& w = makeWindow(sim.terminalPath());
    chooseUnit(1);
    w.show();
    runSession([&] { w.close(); }, false);
    // No "ATH" on the way out and no box for a window that is gone.
    EXPECT_EQ(sim.commands(), SetupToEngine);
    EXPECT_TRUE(prompts.shown().empty());
    EXPECT_FALSE(w.SerialPort1.Connected());
    EXPECT_FALSE(w.state.SessionRunning);
}
