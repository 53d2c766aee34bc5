// vandrix-cli's page commands, raw request and monitor against vandrix-sim,
// both as processes.
#include "cli_runner.h"
#include "support/pty_pair.h"
#include "support/qt_printers.h"
#include "support/sim_process.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

class CliPagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim = std::make_unique<SimProcess>();
        ASSERT_TRUE(sim->started());
        QFile f(iniPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Config]\r\nSprache=de\r\n");
    }
    QStringList common() const { return {"--port", sim->terminalPath(), "--ini", iniPath}; }
    CliRun run(const QStringList& args) { return RunCli(args + common()); }

    QTemporaryDir dir;
    QString iniPath = dir.filePath("vandrix.ini");
    std::unique_ptr<SimProcess> sim;
};

TEST_F(CliPagesTest, EachPageReadsWithItsOwnRequest) {
    struct Case {
        QStringList args;
        const char* request;
        int cells;            // per row, the time included
        const char* expected; // a cell of the first row; a pattern
    } cases[] = {
        // The engine's raw bytes: the sixth is the battery voltage, 138..143.
        {{"raw", "1"}, "0800", 21, "^1[34]\\d$"},
        {{"single", "1", "3"}, "0903", 2, "^85$"},
        {{"single", "1", "7"}, "0907", 2, "^NA$"},
        {{"basic", "1", "1"}, "0401", 13, "^upm$"},
        {{"basic", "1", "0"}, "0400", 11, "^065$"},
        // The instruments have no raw data: every byte "NA".
        {{"raw", "17"}, "0800", 21, "^NA$"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const qsizetype before = sim->commands().size();
        const CliRun r = run(c.args + QStringList{"--count", "2"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        ASSERT_EQ(r.lines().size(), 2);
        const QStringList cells = r.lines()[0].split('\t');
        ASSERT_EQ(cells.size(), c.cells) << r.lines()[0].toStdString();
        EXPECT_TRUE(QRegularExpression("^0:0:\\d+,\\d{3}$").match(cells[0]).hasMatch());
        const QRegularExpression expected(c.expected);
        EXPECT_TRUE(std::any_of(cells.begin() + 1, cells.end(), [&](const QString& cell) {
            return expected.match(cell).hasMatch();
        })) << r.lines()[0].toStdString();
        const QStringList sent = sim->commands().mid(before);
        EXPECT_EQ(sent.count(c.request), 2);
        EXPECT_EQ(sent.last(), "ATH");
    }
}

// The window offers the raw data page on KW 1281 only; the gearbox speaks KW 2000.
TEST_F(CliPagesTest, RawDataOfAKw2000UnitAreNeverAsked) {
    const CliRun r = run({"raw", "2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("KW 1281")) << r.err.toStdString();
    EXPECT_TRUE(sim->commands().contains("ATD02"));
    EXPECT_FALSE(sim->commands().contains("0800"));
    EXPECT_EQ(sim->commands().last(), "ATH");
}

TEST_F(CliPagesTest, PagesInJsonCarryNumbersNamesAndRefusals) {
    const CliRun raw = run({"raw", "1", "--json"});
    ASSERT_EQ(raw.exitCode, 0) << raw.err.toStdString();
    const QJsonArray readings = raw.json()["readings"].toArray();
    ASSERT_EQ(readings.size(), 1);
    const QJsonArray bytes = readings[0]["bytes"].toArray();
    ASSERT_EQ(bytes.size(), 10);
    EXPECT_EQ(bytes[4]["value"].toInt(), 0x41);
    EXPECT_EQ(bytes[4]["text"].toString(), "065");
    EXPECT_FALSE(bytes[4]["name"].toString().isEmpty());

    const CliRun single = run({"single", "1", "9", "--json"});
    ASSERT_EQ(single.exitCode, 0) << single.err.toStdString();
    EXPECT_EQ(single.json()["channel"].toInt(), 9);
    const QJsonObject refused = single.json()["readings"].toArray()[0].toObject();
    EXPECT_FALSE(refused["answered"].toBool());
    EXPECT_TRUE(refused["value"].isNull());
    EXPECT_EQ(refused["reason"].toString(), "refused");

    const CliRun basic = run({"basic", "1", "2", "--json", "--lang", "en"});
    ASSERT_EQ(basic.exitCode, 0) << basic.err.toStdString();
    const QJsonArray fields = basic.json()["readings"].toArray()[0].toObject()["fields"].toArray();
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(fields[0]["unit"].toString(), "upm");
    EXPECT_GE(fields[0]["number"].toDouble(), 800);
}

// Refused before the car is touched: not even the interface is woken.
TEST_F(CliPagesTest, UsageErrorsSendNothing) {
    const QStringList cases[] = {
        {"single", "1", "256"},
        {"single", "1", "x"},
        {"basic", "1", "-1"},
        {"raw"},
        {"monitor", "1", "1", "2", "3", "4", "5"},
        {"monitor", "1", "0"},
        // The interface's commands, however written, with --expert too.
        {"request", "1", "ATZ"},
        {"request", "1", "0801", "atd01"},
        {"request", "1", "A T H", "--expert", "--yes"},
        // Outside the catalogue without --expert.
        {"request", "1", "0801", "4711"},
        {"request", "1", "hello"},
        {"request", "1", "10FF"}, // adaptation channels end at 99
        {"request", "1", "08\r01", "--expert", "--yes"},
        {"request", "1", ""},
        // A write without a terminal to ask on, and without --yes.
        {"request", "1", "0801", "05"},
        {"request", "1", "1001", "1001002A"},
        {"request", "1", "070001FFFF"},
        {"request", "1", "1100010000"},
        {"request", "1", "03"},
        {"request", "1", "4711", "--expert"},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun r = run(args);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_TRUE(sim->commands().isEmpty()) << sim->commands().join(' ').toStdString();
}

TEST_F(CliPagesTest, RequestsPrintTheirReplyLinesAndStopAtARefusal) {
    // Lower case and blanks as a person types them.
    const CliRun read = run({"request", "1", "08 01", "0902", "15"});
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    const QStringList lines = read.lines();
    ASSERT_EQ(lines.size(), 4 + 1 + 1) << read.out.toStdString();
    EXPECT_TRUE(QRegularExpression("^01 19 [0-9A-F]{2}$").match(lines[0]).hasMatch());
    EXPECT_EQ(lines[5], "65");
    QStringList sent = sim->commands();
    EXPECT_EQ(sent.mid(sent.indexOf("0801"), 4), QStringList({"0801", "0902", "15", "ATH"}));

    const CliRun json = run({"request", "3", "02", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonArray requests = json.json()["requests"].toArray();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0]["request"].toString(), "02");
    EXPECT_FALSE(requests[0]["writes"].toBool());
    EXPECT_EQ(requests[0]["lines"].toArray().size(), 2);
    EXPECT_EQ(json.json()["identification"].toObject()["partNumber"].toString(), "1J0 907 379 P");

    // A group the unit does not have: the refusal ends the list, status 6.
    const qsizetype before = sim->commands().size();
    const CliRun refused = run({"request", "1", "0863", "0801", "--json"});
    EXPECT_EQ(refused.exitCode, 6);
    EXPECT_TRUE(refused.json()["requests"].toArray()[0].toObject()["refused"].toBool());
    sent = sim->commands().mid(before);
    EXPECT_TRUE(sent.contains("0863"));
    EXPECT_FALSE(sent.contains("0801"));
    EXPECT_EQ(sent.last(), "ATH");
}

TEST_F(CliPagesTest, WritingRequestsGoOutWithYesAndFreeTextOnlyForAnExpert) {
    const CliRun clear = run({"request", "3", "05", "02", "--yes"});
    ASSERT_EQ(clear.exitCode, 0) << clear.err.toStdString();
    // The memory read after the clear holds the unit's "no fault" entry.
    EXPECT_EQ(clear.lines(), QStringList({"FFFF 88"}));

    const qsizetype before = sim->commands().size();
    const CliRun expert = run({"request", "1", "4711", "--expert", "--yes"});
    // The unit does not know it and says so.
    EXPECT_EQ(expert.exitCode, 6) << expert.err.toStdString();
    EXPECT_EQ(sim->commands().mid(before).count("4711"), 1);
}

TEST_F(CliPagesTest, AWriteIsAskedOnATerminalAndItsLostAnswerIsAnUnknownOutcome) {
    PtyPair terminal; // the user's terminal as standard input
    QProcess p;
    p.setStandardInputFile(terminal.slavePath());
    StartCli(p, QStringList{"request", "3", "02", "05"} + common());
    terminal.write("n\n");
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).contains("Nicht gesendet."));
    // Asked before the first request: nothing of the list went out.
    EXPECT_FALSE(sim->commands().contains("02"));
    EXPECT_FALSE(sim->commands().contains("05"));
    EXPECT_EQ(sim->commands().last(), "ATH");

    sim = std::make_unique<SimProcess>(QStringList{"--fault", "unplug@05"});
    ASSERT_TRUE(sim->started());
    const CliRun lost = run({"request", "3", "05", "--yes", "--json"});
    EXPECT_EQ(lost.exitCode, 7) << lost.err.toStdString();
    EXPECT_TRUE(lost.json()["requests"].toArray().isEmpty());
}

TEST_F(CliPagesTest, MonitorStreamsJsonLinesUntilCtrlCWithWholeRowsAndATH) {
    const QString csv = dir.filePath("fahrt.csv");
    QProcess p;
    StartCli(p, QStringList{"monitor", "1", "1", "3", "--log", csv, "--json"} + common());
    QByteArray out;
    for (int i = 0; i < 200 && out.count('\n') < 4; ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    ASSERT_GE(out.count('\n'), 4) << p.readAllStandardError().toStdString();
    ASSERT_GT(p.processId(), 0) << qPrintable(p.errorString());
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 130);
    EXPECT_EQ(sim->commands().last(), "ATH");

    out += p.readAllStandardOutput();
    QList<QByteArray> lines = out.split('\n');
    ASSERT_TRUE(lines.last().isEmpty());
    lines.removeLast();
    // Every poll a line of its own; the document last, on one line too.
    const QJsonObject end = QJsonDocument::fromJson(lines.takeLast()).object();
    EXPECT_EQ(end["command"].toString(), "monitor");
    EXPECT_TRUE(end["interrupted"].toBool());
    EXPECT_EQ(end["exitCode"].toInt(), 130);
    EXPECT_FALSE(end.contains("polls"));
    for (const QByteArray& line : lines) {
        const QJsonObject poll = QJsonDocument::fromJson(line).object();
        const QJsonArray groups = poll["groups"].toArray();
        ASSERT_EQ(groups.size(), 2) << line.toStdString();
        EXPECT_EQ(groups[1]["group"].toInt(), 3);
        EXPECT_EQ(groups[0].toObject()["fields"].toArray()[0].toObject()["unit"].toString(), "upm");
    }

    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(f.readAll());
    ASSERT_TRUE(log.endsWith("\r\n"));
    QStringList rows = log.split("\r\n");
    rows.removeLast();
    ASSERT_GE(rows.size(), 8 + 3);
    EXPECT_EQ(rows[5], "Meßwerte");
    EXPECT_EQ(rows[6], QString("Gruppe 1;").repeated(6) + QString("Gruppe 3;").repeated(6));
    for (const QString& row : rows.mid(8))
        EXPECT_EQ(row.count(';'), 12) << row.toStdString();
}

// The commands of --help, in its order: the indented words of "Commands:".
QStringList helpCommands() {
    const CliRun r = RunCli({"--help", "--lang", "en"});
    const QString section = r.out.section("Commands:\n", 1).section("\n\n", 0, 0);
    static const QRegularExpression command("^  ([a-z-]+)  ", QRegularExpression::MultilineOption);
    QStringList commands;
    for (auto it = command.globalMatch(section); it.hasNext();)
        commands << it.next().captured(1);
    return commands;
}

// The long options a command's help lists, common ones included.
QSet<QString> helpOptions(const QString& command) {
    const CliRun r = RunCli({command, "--help", "--lang", "en"});
    static const QRegularExpression option("^  (?:-[a-z], )?(--[a-z-]+)",
                                           QRegularExpression::MultilineOption);
    QSet<QString> options;
    for (auto it = option.globalMatch(r.out); it.hasNext();)
        options.insert(it.next().captured(1));
    return options;
}

QString completionFile(const char* name) {
    QFile f(QStringLiteral(VANDRIX_COMPLETION_DIR "/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// What bash offers for the last word typed; after a blank, for a new one.
QStringList bashOffers(const QString& typed) {
    QProcess bash;
    bash.start("bash", {"-c",
                        "source \"$1\"; COMP_WORDS=($2); [[ $2 == *' ' ]] && COMP_WORDS+=(''); "
                        "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _vandrix_cli; "
                        "printf '%s\\n' \"${COMPREPLY[@]}\"",
                        "bash", QStringLiteral(VANDRIX_COMPLETION_DIR "/vandrix-cli.bash"), typed});
    EXPECT_TRUE(bash.waitForFinished(10000));
    return QString::fromUtf8(bash.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

TEST(CliCompletion, BashOffersTheCommandsAndOptionsOfTheHelp) {
    const QStringList commands = helpCommands();
    ASSERT_GE(commands.size(), 14);
    EXPECT_EQ(bashOffers("vandrix-cli "), commands);
    // After an option's value the command is still found.
    EXPECT_EQ(bashOffers("vandrix-cli --port demo fa"), QStringList{"faults"});
    EXPECT_EQ(bashOffers("vandrix-cli --lang "), QStringList({"de", "en"}));
    for (const QString& command : commands) {
        SCOPED_TRACE(command.toStdString());
        const QStringList offered = bashOffers("vandrix-cli " + command + " 1 --");
        EXPECT_EQ(QSet<QString>(offered.begin(), offered.end()), helpOptions(command));
    }
}

TEST(CliCompletion, ZshNamesTheCommandsAndOptionsOfTheHelp) {
    const QString zsh = completionFile("_vandrix-cli");
    ASSERT_FALSE(zsh.isEmpty());
    const QStringList commands = helpCommands();
    static const QRegularExpression described("^  '([a-z-]+):",
                                              QRegularExpression::MultilineOption);
    QStringList listed;
    for (auto it = described.globalMatch(zsh); it.hasNext();)
        listed << it.next().captured(1);
    EXPECT_EQ(listed, commands);

    static const QRegularExpression longOption("--[a-z-]+");
    const auto optionsIn = [](const QString& text) {
        QSet<QString> found;
        for (auto it = longOption.globalMatch(text); it.hasNext();)
            found.insert(it.next().captured(0));
        return found;
    };
    const QSet<QString> common =
        optionsIn(zsh.section("local -a common=(", 1).section("\n)", 0, 0));
    for (const QString& command : commands) {
        SCOPED_TRACE(command.toStdString());
        const QRegularExpression own("^  " + command + " +'([^']*)'$",
                                     QRegularExpression::MultilineOption);
        const QRegularExpressionMatch m = own.match(zsh);
        ASSERT_TRUE(m.hasMatch());
        EXPECT_EQ(optionsIn(m.captured(1)) + common, helpOptions(command));
    }
}

} // namespace
