// The commands that change a unit, against vandrix-sim in its own process:
// coding, adaptation, login, output tests, their confirmation, the change
// journal they leave and its undo, and the exit statuses of a refusal and of
// a write whose outcome is unknown.
#include "cli/cli_texts.h"
#include "cli_runner.h"
#include "config/strings.h"
#include "log/change_journal.h"
#include "support/pty_pair.h"
#include "support/qt_printers.h"
#include "support/scoped_env.h"
#include "support/sim_process.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The instrument cluster "023 [17]" takes codings up to 20000, channel 1
// values 0..10; the engine refuses output tests; the airbag unit has some.
const char Car[] = R"([Interface]
Version=2.1

[Kombi]
Address=23
Protocol=KW1281
Baud=9600
Ident1=TK0920826C
Ident2=Testkombi
Ident3=V57
Ident4=IMMO-IDENTIFIKATION VWZ7Z0W0123456
Coding=1262
WorkshopCode=12345
CodingMax=20000
K1=7
K1Range=0..10
K2=300
K2Range=0..65535
LoginCode=4711
OutputTests=01039, 00771

[Engine]
Address=1
Protocol=KW1281
Baud=9600
Ident1=TM0906034
Ident2=Testmotor
Coding=1
WorkshopCode=12345
Refuse=03

[Airbag]
Address=21
Protocol=KW1281
Baud=9600
Ident1=TA0909605
Ident2=Testairbag
Coding=12
WorkshopCode=12345
OutputTests=00532
)";

class CliWriteTest : public ::testing::Test {
protected:
    // A car of the test's own; edit changes its scenario text (another car).
    std::unique_ptr<SimProcess> startSim(const QByteArray& scenario = Car,
                                         const QStringList& options = {}) {
        const QString path = dir.filePath(QStringLiteral("car%1.ini").arg(++cars));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(scenario);
        f.close();
        auto sim = std::make_unique<SimProcess>(QStringList{"--scenario", path} + options);
        EXPECT_TRUE(sim->started());
        return sim;
    }
    QString ini() {
        const QString path = dir.filePath(QStringLiteral("vandrix.ini"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Config]\r\nSprache=de\r\n");
        return path;
    }
    CliRun run(const SimProcess& sim, QStringList args) {
        args << "--port" << sim.terminalPath() << "--ini" << ini();
        return RunCli(args);
    }
    QList<JournalEntry> journal() const {
        return ChangeJournalFile(dataHome + "/vandrix/changes.csv").read();
    }
    static QStringList sent(const SimProcess& sim, const QString& pattern) {
        return sim.commands().filter(QRegularExpression(pattern));
    }

    QTemporaryDir dir;
    int cars = 0;
    QString dataHome = dir.filePath("data-home");
    ScopedEnv dataHomeSet{"XDG_DATA_HOME", dataHome};
};

} // namespace

// A value out of its range, a missing argument, the airbag unit and a write
// without --yes from a script end before the port is even opened.
TEST_F(CliWriteTest, WritesRefusedBeforeAnythingIsSent) {
    auto sim = startSim();
    const QList<QStringList> cases = {
        {"coding", "17", "--set", "70000", "--workshop", "12345", "--yes"},
        {"coding", "17", "--set", "-1", "--workshop", "12345", "--yes"},
        {"coding", "17", "--set", "1263", "--workshop", "1x", "--yes"},
        {"coding", "17", "--set", "1263", "--yes"},
        {"coding", "17", "--set", "1263", "--workshop", "12345"},
        {"adaptation", "17", "100"},
        {"adaptation", "17", "1", "--save", "65536", "--yes"},
        {"adaptation", "17", "1", "--save", "9"},
        {"login", "17", "70000", "--yes"},
        {"login", "17", "4711"},
        {"output-tests", "15", "--yes"},
        {"output-tests", "17"},
        {"undo", "17"},
    };
    for (const QStringList& args : cases) {
        const CliRun r = run(*sim, args + QStringList{"--json"});
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_FALSE(r.json()["error"].toString().isEmpty()) << args.join(' ').toStdString();
    }
    EXPECT_TRUE(sim->commands().isEmpty()) << sim->commands().join(' ').toStdString();
    EXPECT_TRUE(journal().isEmpty());
}

TEST_F(CliWriteTest, EachWriteSendsItsRequestAndSaysWhatTheUnitHoldsNow) {
    auto sim = startSim();
    const struct {
        QStringList args;
        QString request; // the write as the unit receives it
        QString key;
        QJsonValue value;
    } cases[] = {
        {{"coding", "17"}, {}, "coding", "01262"},
        {{"coding", "17", "--set", "1263", "--workshop", "12345", "--yes"},
         "0704EF3039",
         "codingAfter",
         "01263"},
        {{"adaptation", "17", "1"}, {}, "value", "7"},
        {{"adaptation", "17", "1", "--save", "9", "--yes"}, "10010009", "valueAfter", "9"},
        {{"login", "17", "4711", "--yes"}, "1112673039", "loggedIn", true},
        {{"output-tests", "15", "--airbag", "--yes"}, "03", "finished", true},
        {{"output-tests", "17", "--yes"}, "03", "finished", true},
    };
    for (const auto& c : cases) {
        const qsizetype before = sim->commands().size();
        const CliRun r = run(*sim, c.args + QStringList{"--json"});
        const std::string what = c.args.join(' ').toStdString();
        ASSERT_EQ(r.exitCode, 0) << what << ": " << r.err.toStdString();
        const QJsonObject doc = r.json();
        EXPECT_EQ(doc[c.key], c.value) << what;
        // The unit's identification is shown with every command of a unit.
        EXPECT_TRUE(doc["identification"]["partNumber"].toString().startsWith("T")) << what;
        const QStringList now = sim->commands().mid(before);
        if (!c.request.isEmpty()) {
            EXPECT_TRUE(now.contains(c.request)) << what;
        }
        EXPECT_EQ(now.last(), "ATH") << what;
    }
    const CliRun tests = run(*sim, {"output-tests", "17", "--yes", "--json"});
    QList<int> codes;
    for (const QJsonValue& step : tests.json()["steps"].toArray())
        codes << step["code"].toInt();
    EXPECT_EQ(codes, QList<int>({1039, 771}));
    // In text, the identification comes before the outcome.
    const CliRun text = run(*sim, {"coding", "17", "--set", "1264", "--workshop", "12345", "-y"});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_LT(text.out.indexOf("Testkombi"), text.out.indexOf(LoadStr(83)));
    EXPECT_GE(text.out.indexOf("Testkombi"), 0);
}

TEST_F(CliWriteTest, ARefusalOfTheUnitIsExitSix) {
    auto sim = startSim();
    const struct {
        QStringList args;
        int message; // the window's text of the refusal; 0: the command line's own
    } cases[] = {
        {{"coding", "17", "--set", "30000", "--workshop", "12345", "--yes"}, 82},
        {{"adaptation", "17", "1", "--save", "11", "--yes"}, 82},
        {{"adaptation", "17", "3"}, 0},
        {{"output-tests", "1", "--yes"}, 0},
        {{"login", "17", "1111", "--yes"}, 103},
    };
    for (const auto& c : cases) {
        const CliRun r = run(*sim, c.args + QStringList{"--json"});
        const std::string what = c.args.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, 6) << what << ": " << r.err.toStdString();
        if (c.message) {
            EXPECT_EQ(r.json()["error"].toString(), LoadStr(c.message)) << what;
        }
        EXPECT_EQ(sim->commands().last(), "ATH") << what;
    }
    // The refused coding and save are journalled as refused.
    const QList<JournalEntry> lines = journal();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[1].stage, JournalEntry::Stage::Refused);
    EXPECT_EQ(lines[3].stage, JournalEntry::Stage::Refused);
    EXPECT_EQ(lines[3].channel, 1);
}

// A coding written and undone, an adaptation saved and undone; never onto
// another car of the same part number.
TEST_F(CliWriteTest, TheJournalOfACliWriteAndItsUndoOnlyOntoThatCar) {
    auto sim = startSim();
    ASSERT_EQ(run(*sim, {"coding", "17", "--set", "1263", "--workshop", "12345", "--yes"}).exitCode,
              0);
    const CliRun listed = run(*sim, {"journal", "17", "--json"});
    ASSERT_EQ(listed.exitCode, 0);
    const QJsonArray entries = listed.json()["entries"].toArray();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]["stage"], "sent");
    EXPECT_EQ(entries[1]["stage"], "accepted");
    EXPECT_EQ(entries[1]["before"], "01262");
    EXPECT_EQ(entries[1]["readBack"], "01263");
    EXPECT_TRUE(entries[1]["channel"].isNull());
    const CliRun text = run(*sim, {"journal"});
    EXPECT_EQ(text.lines().size(), 3); // heading and two lines
    EXPECT_TRUE(text.out.contains("01263")) << text.out.toStdString();
    EXPECT_TRUE(run(*sim, {"journal", "1", "--json"}).json()["entries"].toArray().isEmpty());

    // Another car of the model: same part number, another immobiliser line.
    auto other = startSim(QByteArray(Car).replace("VWZ7Z0W0123456", "VWZ7Z0W0999999"));
    const CliRun refused = run(*other, {"undo", "17", "--yes", "--json"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.json()["error"].toString(), LoadStr(WriteText::NothingToUndo));
    EXPECT_TRUE(sent(*other, "^07").isEmpty());

    // This car: the coding goes back, signed with the workshop code it holds.
    const CliRun undone = run(*sim, {"undo", "17", "--yes", "--json"});
    ASSERT_EQ(undone.exitCode, 0) << undone.err.toStdString();
    EXPECT_EQ(undone.json()["value"], "01262");
    EXPECT_EQ(sent(*sim, "^07"), QStringList({"0704EF3039", "0704EE3039"}));
    // An undo is a change like any other: undone, 01263 is back.
    const CliRun again = run(*sim, {"undo", "17", "--yes"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(sent(*sim, "^07").size(), 3);

    // The adaptation: saved, then the channel's earlier value back.
    ASSERT_EQ(run(*sim, {"adaptation", "17", "2", "--save", "400", "--yes"}).exitCode, 0);
    const CliRun back = run(*sim, {"undo", "17", "--yes", "--json"});
    ASSERT_EQ(back.exitCode, 0) << back.err.toStdString();
    EXPECT_EQ(back.json()["value"], "300");
    EXPECT_TRUE(sim->commands().contains("1002012C"));
    EXPECT_TRUE(journal().last().undo);

    // The value moved since (saved in the window, say): no undo.
    ASSERT_EQ(run(*sim, {"adaptation", "17", "2", "--save", "500", "--yes"}).exitCode, 0);
    QFile f(dataHome + "/vandrix/changes.csv");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    f.close();
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray(written).replace(";500;", ";501;"));
    f.close();
    const qsizetype before = sim->commands().size();
    EXPECT_EQ(run(*sim, {"undo", "17", "--yes"}).exitCode, 1);
    EXPECT_EQ(sent(*sim, "^1002....$").size(), 3);
    EXPECT_EQ(sim->commands().mid(before).filter(QRegularExpression("^07|^1002....$")).size(), 0);
}

// The link dropped after the coding went out: exit 7, the journal keeps the
// change open, and the next connection reads the value back to complete it.
TEST_F(CliWriteTest, AWriteWhoseAnswerNeverCameHasAnUnknownOutcome) {
    auto broken = startSim(Car, {"--fault", "unplug@0704EF3039"});
    const CliRun r =
        run(*broken, {"coding", "17", "--set", "1263", "--workshop", "12345", "--yes", "--json"});
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_TRUE(r.err.startsWith(LoadStr(OutcomeText::ExitOutcomeUnknown))) << r.err.toStdString();
    EXPECT_TRUE(r.json()["written"].isNull());
    ASSERT_EQ(journal().size(), 1);
    EXPECT_EQ(journal()[0].stage, JournalEntry::Stage::Sent);

    auto sim = startSim(); // the unit still holds 01262
    ASSERT_EQ(run(*sim, {"coding", "17"}).exitCode, 0);
    ASSERT_EQ(journal().size(), 2);
    EXPECT_EQ(journal()[1].stage, JournalEntry::Stage::NotApplied);
    EXPECT_EQ(journal()[1].readBack, "01262");
}

// On a terminal the write is asked for after the identification; no is a
// usage end and sends nothing.
TEST_F(CliWriteTest, OnATerminalAWriteIsAskedForAndNoSendsNothing) {
    auto sim = startSim();
    for (const QStringList& args :
         {QStringList{"coding", "17", "--set", "1263", "--workshop", "12345"},
          QStringList{"output-tests", "17"}}) {
        PtyPair terminal;
        QProcess p;
        p.setStandardInputFile(terminal.slavePath());
        StartCli(p, args + QStringList{"--port", sim->terminalPath(), "--ini", ini()});
        terminal.write("n\n");
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 1);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(out.contains("Testkombi")) << out.toStdString() << err.toStdString();
        EXPECT_TRUE(err.contains(LoadStr(WriteText::NotChanged))) << err.toStdString();
    }
    EXPECT_TRUE(sent(*sim, "^07|^03$").isEmpty());
    EXPECT_EQ(sim->commands().last(), "ATH");
    EXPECT_TRUE(journal().isEmpty());
}
