// vandrix-cli against vandrix-sim, both as processes: what each command
// prints, its JSON document, its exit statuses, and a clean end on a signal.
#include "cli_runner.h"
#include "config/recorder_texts.h"
#include "config/strings.h"
#include "link/recording.h"
#include "support/big_scan_report.h"
#include "support/pty_pair.h"
#include "support/qt_printers.h"
#include "support/recording_commands.h"
#include "support/scoped_env.h"
#include "support/sim_process.h"
#include "support/test_scenarios.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class CliTest : public ::testing::Test {
protected:
    // A configuration of the test's own; extra adds keys to [Config].
    QString ini(const QByteArray& extra = {}) {
        const QString path = dir.filePath(QStringLiteral("vandrix.ini"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Config]\r\nSprache=de\r\n" + extra);
        return path;
    }
    // Runs a command against the simulator's terminal with the test's ini.
    CliRun run(const SimProcess& sim, QStringList args, const QByteArray& extraIni = {}) {
        args << "--port" << sim.terminalPath() << "--ini" << ini(extraIni);
        return RunCli(args);
    }
    static std::unique_ptr<SimProcess> startSim(const QStringList& options = {}) {
        auto sim = std::make_unique<SimProcess>(options);
        EXPECT_TRUE(sim->started());
        return sim;
    }

    // The files of a folder in the user's data folder, by name.
    QStringList userFiles(const QString& folder) const {
        QStringList files;
        for (const QString& name :
             QDir(dataHome + "/vandrix/" + folder).entryList(QDir::Files, QDir::Name))
            files << dataHome + "/vandrix/" + folder + "/" + name;
        return files;
    }
    static Recording::File readRecording(const QString& path) {
        QString error;
        const std::optional<Recording::File> file = Recording::read(path, &error);
        EXPECT_TRUE(file) << error.toStdString();
        EXPECT_TRUE(file && file->badLines.isEmpty());
        return file.value_or(Recording::File{});
    }

    QTemporaryDir dir;
    QString dataHome = dir.filePath("data-home");
    ScopedEnv dataHomeSet{"XDG_DATA_HOME", dataHome};
};

} // namespace

TEST_F(CliTest, HelpVersionAndUsageErrors) {
    struct Case {
        QStringList args;
        int exitCode;
        const char* expected; // in standard output for 0, standard error otherwise
    } cases[] = {
        {{"--help"}, 0, "Befehle:"},
        {{"--help", "--lang", "en"}, 0, "130  ended with Ctrl-C"},
        {{"--help", "--lang", "en"}, 0, "6    the control unit refused"},
        {{"--help", "--lang", "en"}, 0, "7    outcome unknown: the link dropped"},
        {{"faults", "--help", "--lang", "en"},
         0,
         "Usage: vandrix-cli faults ADDR [--clear [--yes]]"},
        {{"groups", "-h"}, 0, "--log FILE"},
        {{"--version"}, 0, "vandrix-cli Version 1.41"},
        {{}, 1, "Kein Befehl angegeben."},
        {{"frobnicate"}, 1, "Unbekannter Befehl: frobnicate"},
        {{"ident", "--frob"}, 1, "Unbekannte Option: --frob"},
        {{"ident"}, 1, "Es fehlt: ADDR"},
        {{"ident", "1", "2"}, 1, "Zu viele Argumente: 2"},
        {{"ident", "1", "--count", "3"}, 1, "Die Option --count gehört nicht zum Befehl ident."},
        {{"groups", "1"}, 1, "Es fehlt: G"},
        {{"groups", "1", "1", "2", "3", "4", "5"}, 1, "Höchstens vier Gruppen."},
        {{"groups", "1", "1", "--count", "2", "--seconds", "1"}, 1, "schließen einander aus"},
        {{"groups", "1", "1", "--count", "zwei"}, 1, "Keine gültige Zahl für --count: zwei"},
        {{"ident", "1", "--lang", "fr"}, 1, "Die Sprache ist de oder en, nicht: fr"},
        {{"diff", "--help", "--lang", "en"}, 0, "Exit status 0 also when they differ."},
        {{"diff", "a.txt"}, 1, "Es fehlt: NEW"},
        {{"diff", "a.txt", "b.txt", "c.txt"}, 1, "Zu viele Argumente: c.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun r = RunCli(c.args + QStringList{"--ini", ini()});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE((c.exitCode == 0 ? r.out : r.err).contains(QString::fromUtf8(c.expected)))
            << r.out.toStdString() << r.err.toStdString();
    }
    // The overview names every command and every exit status.
    const QString help = RunCli({"--help", "--ini", ini()}).out;
    for (const char* command :
         {"ports", "check", "ident", "faults", "groups", "readiness", "voltages", "scan", "diff"})
        EXPECT_TRUE(help.contains(QStringLiteral("\n  %1 ").arg(command))) << command;
    for (int code = 0; code <= 5; ++code)
        EXPECT_TRUE(help.contains(QStringLiteral("\n  %1 ").arg(code))) << code;
    EXPECT_TRUE(help.contains("141: der Leser der Ausgabe"));
    // A usage error points at the help of its command once the command is known.
    EXPECT_TRUE(RunCli({"ident", "--ini", ini()})
                    .err.endsWith("Hilfe zu diesem Befehl: vandrix-cli ident --help\n"));
    EXPECT_TRUE(RunCli({"frobnicate", "--ini", ini()})
                    .err.endsWith("Hilfe zu einem Befehl: vandrix-cli BEFEHL --help\n"));
}

TEST_F(CliTest, UnitAddressesAreHexadecimalOrTheListsNumberAfterAHash) {
    auto sim = startSim();
    // The demo car's instrument cluster: 17 as workshops write it, 23 in the list.
    for (const char* address : {"17", "017", "0x17", "#23", "#023"}) {
        const CliRun r = run(*sim, {"ident", address});
        EXPECT_EQ(r.exitCode, 0) << address << r.err.toStdString();
        EXPECT_EQ(r.lines().value(0), "Steuergerät:\t023 [17] - Kombiinstrument") << address;
    }
    // "#17" is the list's 017 [11], a unit the demo car does not have.
    const CliRun engine2 = run(*sim, {"ident", "#17"});
    EXPECT_EQ(engine2.exitCode, 4);
    EXPECT_TRUE(engine2.err.contains("017 [11] - Motor 2")) << engine2.err.toStdString();
    for (const char* address : {"10", "0x0A", "1g", "0017", "256", "#", "#1a", "#0x17", "+17"}) {
        const CliRun r = run(*sim, {"ident", address});
        EXPECT_EQ(r.exitCode, 1) << address;
        EXPECT_TRUE(r.err.contains("Keine Adresse eines Steuergeräts der Liste")) << address;
    }
    EXPECT_EQ(sim->commands().filter(QRegularExpression("^ATD")),
              QStringList({"ATD17", "ATD17", "ATD17", "ATD17", "ATD17", "ATD11"}));
}

TEST_F(CliTest, TheFirstStatusLineNamesTheUnitReached) {
    auto sim = startSim();
    PtyPair terminal; // standard error is the user's terminal
    QProcess p;
    p.setStandardErrorFile(terminal.slavePath());
    StartCli(p, {"readiness", "15", "--yes", "--port", sim->terminalPath(), "--ini", ini()});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    const QString err = QString::fromUtf8(terminal.read(2000)).remove('\r');
    EXPECT_EQ(err.split('\n').value(0), "021 [15] - Airbag") << err.toStdString();
}

TEST_F(CliTest, WithoutAPortTheCommandListsThePortsAndTouchesNothing) {
    const CliRun r = RunCli({"ident", "1", "--ini", ini()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith("Kein Port eingestellt (COM-Port in vandrix.ini)."));
    EXPECT_TRUE(r.err.contains("\n  demo\n"));
}

TEST_F(CliTest, APortThatCannotBeOpenedNamesTheRealReason) {
    const QString missing = dir.filePath("no-such-tty");
    const CliRun r = RunCli({"ident", "1", "--port", missing, "--ini", ini(), "--json"});
    EXPECT_EQ(r.exitCode, 2);
    const QStringList err = r.err.trimmed().split('\n');
    ASSERT_EQ(err.size(), 2);
    // The real reason first; the window keeps message 300 with it below.
    EXPECT_EQ(err[0], missing + ": Diesen Port gibt es nicht. Ist der Adapter eingesteckt?");
    EXPECT_FALSE(err[1].isEmpty());
    EXPECT_EQ(r.json()["exitCode"].toInt(), 2);
    EXPECT_EQ(r.json()["error"].toString(), r.err.trimmed());
}

TEST_F(CliTest, IdentInTextAndJson) {
    auto sim = startSim();
    const CliRun text = run(*sim, {"ident", "1"});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_EQ(text.lines(),
              QStringList({"Steuergerät:\t001 [01] - Motor (ECU)",
                           "VAG Geräte-Typnummer:\t036 906 034 AM",
                           "Bauteilbezeichnung:\t1,4l R4/4V MOT3152", "Zusatzinformationen:\t",
                           "Zusatzinformationen:\t", "VAG Werkstattcode:\t12345"}));
    EXPECT_EQ(text.err, "");

    const CliRun json = run(*sim, {"ident", "15", "--json", "--yes", "--lang", "en"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonObject doc = json.json();
    EXPECT_EQ(doc["command"].toString(), "ident");
    EXPECT_EQ(doc["exitCode"].toInt(), 0);
    EXPECT_EQ(doc["address"].toInt(), 21);
    EXPECT_EQ(doc["unit"].toString(), "021 [15] - Airbag");
    const QJsonObject id = doc["identification"].toObject();
    EXPECT_EQ(id["partNumber"].toString(), "1C0 909 605 F");
    EXPECT_EQ(id["component"].toString(), "04 AIRBAG VW80003");
    EXPECT_EQ(id["workshopCode"].toString(), "12345");
    EXPECT_EQ(id["coding"].toString(), "12882");
    // Data, not captions of the chosen language: the digits, leading zeros kept.
    EXPECT_EQ(id["device"].toString(), "0004711");
    EXPECT_EQ(id["importer"].toString(), "444");

    // Every session ends with "ATH"; the airbag unit is only reached with --yes.
    const CliRun airbag = run(*sim, {"ident", "15"});
    EXPECT_EQ(airbag.exitCode, 1);
    EXPECT_TRUE(airbag.err.contains("Das Airbag-Steuergerät braucht eine Bestätigung"));
    const QStringList commands = sim->commands();
    EXPECT_EQ(commands.filter(QRegularExpression("^ATD")), QStringList({"ATD01", "ATD15"}));
    EXPECT_EQ(commands.count("ATH"), 2);
    EXPECT_EQ(commands.last(), "ATH");
}

TEST_F(CliTest, FailuresOfTheLinkGiveTheirExitStatuses) {
    struct Case {
        const char* what;
        QStringList simOptions;
        QStringList args;
        int exitCode;
        QString message; // the start of standard error
    } cases[] = {
        {"a silent interface", {"--fault", "silence#1"}, {"ident", "1"}, 3, LoadStr(306)},
        {"a missing unit",
         {},
         {"ident", "5"},
         4,
         "Steuergerät 005 [05] - Start Authentifikation antwortet nicht."},
        {"an adapter pulled out while setting up",
         {"--fault", "unplug@ATZ"},
         {"ident", "1"},
         5,
         LoadStr(304)},
        {"an adapter pulled out", {"--fault", "unplug@02"}, {"faults", "1"}, 5, LoadStr(304)},
        {"DATA ERROR", {"--fault", "dataerror@15"}, {"readiness", "1"}, 5, LoadStr(304)},
        {"a broken reply", {"--fault", "garbage@15"}, {"readiness", "1"}, 5, LoadStr(304)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto sim = startSim(c.simOptions);
        const CliRun r = run(*sim, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith(c.message)) << r.err.toStdString();
        EXPECT_EQ(r.out, "");
        // A broken link gets no "ATH", as in the window.
        EXPECT_FALSE(sim->commands().contains("ATH"));
    }
}

TEST_F(CliTest, FaultsAndTheirClearingNeedAConfirmation) {
    auto sim = startSim();
    const CliRun faults = run(*sim, {"faults", "3"});
    ASSERT_EQ(faults.exitCode, 0) << faults.err.toStdString();
    EXPECT_EQ(faults.lines(), QStringList({"Nr.\tDTC\tFehlerbeschreibung\tStatus/Ursache",
                                           "1\t00283 35\tDrehzahlfühler vorn links\t" +
                                               faults.lines().value(1).section('\t', 3),
                                           "2\t00290 36\tDrehzahlfühler hinten links\t" +
                                               faults.lines().value(2).section('\t', 3)}));
    EXPECT_FALSE(faults.lines().value(1).section('\t', 3).isEmpty());

    // A pipe cannot answer: without --yes nothing is touched.
    const qsizetype before = sim->commands().size();
    const CliRun refused = run(*sim, {"faults", "3", "--clear"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("Fehlercodes löschen braucht eine Bestätigung"));
    EXPECT_EQ(sim->commands().size(), before);

    const CliRun cleared = run(*sim, {"faults", "3", "--clear", "--yes", "--json"});
    ASSERT_EQ(cleared.exitCode, 0) << cleared.err.toStdString();
    const QJsonObject doc = cleared.json();
    EXPECT_EQ(doc["faults"]["outcome"].toString(), "found");
    const QJsonObject first = doc["faults"]["faults"].toArray().at(0).toObject();
    EXPECT_EQ(first["code"].toInt(), 283);
    EXPECT_EQ(first["dtc"].toString(), "00283");
    EXPECT_EQ(first["status"].toInt(), 35);
    EXPECT_EQ(first["text"].toString(), "Drehzahlfühler vorn links");
    EXPECT_TRUE(doc["cleared"].toBool());
    EXPECT_EQ(doc["faultsAfterClear"]["outcome"].toString(), "empty");
    EXPECT_EQ(doc["faultsAfterClear"]["message"].toString(), "Keine Fehler gespeichert");
    const QStringList last = sim->commands().mid(before);
    EXPECT_EQ(last.mid(last.indexOf("02")), QStringList({"02", "05", "02", "ATH"}));

    const CliRun after = run(*sim, {"faults", "3", "--quiet"});
    EXPECT_EQ(after.lines(), QStringList({"Keine Fehler gespeichert"}));
}

TEST_F(CliTest, GroupsPrintOneRowPerPollInTheRegionalSettingsAndJsonWithAPoint) {
    auto sim = startSim();
    // Instruments, group 2: 123 880 km, 42 l, a resistance, a temperature,
    // named by the unit's label file.
    const CliRun text = run(*sim, {"groups", "17", "2", "--count", "3"});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    const QStringList rows = text.lines();
    ASSERT_EQ(rows.size(), 3);
    for (const QString& row : rows) {
        const QStringList cells = row.split('\t');
        ASSERT_EQ(cells.size(), 13) << row.toStdString();
        EXPECT_TRUE(QRegularExpression("^0:0:\\d+,\\d{3}$").match(cells[0]).hasMatch());
        EXPECT_EQ(cells.mid(1, 6),
                  QStringList({"Kilometerstand", "123.880", "km", "Tankinhalt", "42,00", "l"}));
        EXPECT_EQ(cells[12], "°C");
    }
    EXPECT_EQ(sim->commands().count("0802"), 3);

    const CliRun json = run(*sim, {"groups", "17", "2", "1", "--count", "2", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonArray polls = json.json()["polls"].toArray();
    ASSERT_EQ(polls.size(), 2);
    const QJsonArray groups = polls[1]["groups"].toArray();
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0]["group"].toInt(), 2);
    const QJsonArray fields = groups[0]["fields"].toArray();
    EXPECT_EQ(fields[0]["number"].toDouble(), 123880);
    EXPECT_EQ(fields[0]["text"].toString(), "123,880 km");
    EXPECT_EQ(fields[1]["number"].toDouble(), 42);
    EXPECT_EQ(fields[1]["unit"].toString(), "l");
    EXPECT_EQ(fields[1]["text"].toString(), "42.00 l");
    EXPECT_TRUE(
        QRegularExpression("^0:0:\\d+\\.\\d{3}$").match(polls[1]["time"].toString()).hasMatch());
}

TEST_F(CliTest, AClearDeclinedOnATerminalIsAUsageEndAndClearsNothing) {
    auto sim = startSim();
    PtyPair terminal; // the user's terminal as standard input
    QProcess p;
    p.setStandardInputFile(terminal.slavePath());
    StartCli(p, {"faults", "3", "--clear", "--port", sim->terminalPath(), "--ini", ini()});
    terminal.write("n\n");
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).contains("Nicht gelöscht."));
    EXPECT_FALSE(sim->commands().contains("05"));
    EXPECT_EQ(sim->commands().last(), "ATH");
}

TEST_F(CliTest, CtrlCDuringALoggedPollLeavesWholeRowsAndSaysATH) {
    auto sim = startSim();
    const QString csv = dir.filePath("fahrt.csv");
    QProcess p;
    StartCli(
        p, {"groups", "1", "1", "3", "--log", csv, "--port", sim->terminalPath(), "--ini", ini()});
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
    // The recording ends with the stop too, "ATH" and the port's close in it.
    ASSERT_EQ(userFiles("recordings").size(), 1);
    const Recording::File recording = readRecording(userFiles("recordings")[0]);
    EXPECT_EQ(RecordedCommands(recording), sim->commands());
    EXPECT_EQ(recording.chunks.last().bytes, "close");

    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(f.readAll());
    ASSERT_TRUE(log.endsWith("\r\n"));
    QStringList lines = log.split("\r\n");
    lines.removeLast();
    ASSERT_GE(lines.size(), 8 + 4);
    EXPECT_TRUE(lines[0].startsWith("Vandrix Version 1.41;"));
    EXPECT_EQ(lines[2], "Steuergerät:;001 [01] - Motor (ECU)");
    EXPECT_EQ(lines[3], "VAG Geräte-Typnummer:;036 906 034 AM");
    EXPECT_EQ(lines[5], "Meßwerte");
    EXPECT_EQ(lines[6], QString("Gruppe 1;").repeated(6) + QString("Gruppe 3;").repeated(6));
    EXPECT_TRUE(lines[7].startsWith("Zeit [ms];HH:MM:SS,ms;Motordrehzahl [upm];"));
    // Every row whole: twelve cells, each with its ";".
    for (const QString& row : lines.mid(8))
        EXPECT_EQ(row.count(';'), 12) << row.toStdString();
}

TEST_F(CliTest, ALogThatCannotBeWrittenCostsNoConnection) {
    auto sim = startSim();
    const QString csv = dir.filePath("no-such-folder/fahrt.csv");
    const CliRun r = run(*sim, {"groups", "1", "1", "--count", "1", "--log", csv});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(csv)) << r.err.toStdString();
    EXPECT_TRUE(sim->commands().isEmpty());
    EXPECT_TRUE(userFiles("recordings").isEmpty());
}

TEST_F(CliTest, SigtermEndsAnEndlessPollWithItsOwnStatus) {
    auto sim = startSim();
    QProcess p;
    StartCli(p, {"groups", "1", "1", "--port", sim->terminalPath(), "--ini", ini()});
    QByteArray out;
    for (int i = 0; i < 100 && !out.contains('\n'); ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    // A program that never started has no id: kill(0) would end the test's own group.
    ASSERT_GT(p.processId(), 0) << qPrintable(p.errorString());
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 143);
    EXPECT_EQ(sim->commands().last(), "ATH");
}

TEST_F(CliTest, ReadinessMarksEachTestAsThePageDoes) {
    auto sim = startSim();
    const CliRun text = run(*sim, {"readiness", "1", "--lang", "en"});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    const QStringList lines = text.lines();
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[0], "Readiness-Code\t01100101");
    EXPECT_EQ(lines[1], "Catalytic Converter\t✗\tDiagnosis not completed");
    EXPECT_EQ(lines[2], "Catalytic Converter Heating\t✓\tDiagnosis completed");

    const CliRun json = run(*sim, {"readiness", "1", "--json"});
    const QJsonObject doc = json.json();
    EXPECT_EQ(doc["code"].toString(), "01100101");
    EXPECT_FALSE(doc["items"][0]["completed"].toBool());
    EXPECT_TRUE(doc["items"][1]["completed"].toBool());
    EXPECT_EQ(doc["items"][0]["name"].toString(), "Katalysator");

    // A unit that refuses the readiness read says so as the page does.
    const CliRun refused = run(*sim, {"readiness", "2"});
    EXPECT_EQ(refused.exitCode, 0);
    EXPECT_EQ(refused.lines(), QStringList({"Readiness-Code nicht feststellbar!"}));
}

TEST_F(CliTest, VoltagesOfTheInputsWithAFactor) {
    auto sim = startSim();
    const CliRun r = run(*sim, {"voltages"}, "U2=5.0\r\nTV0=3\r\nTV1=1\r\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(QRegularExpression("^ADC 0\t1[23],\\d\\d V$").match(lines[0]).hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(QRegularExpression("^ADC 1\t2,\\d\\d V$").match(lines[1]).hasMatch())
        << lines[1].toStdString();
    EXPECT_TRUE(sim->commands().filter(QRegularExpression("^AT[DH]")).isEmpty());

    const CliRun json = run(*sim, {"voltages", "--json"}, "U2=5.0\r\nTV0=3\r\n");
    const QJsonObject input = json.json()["inputs"][0].toObject();
    EXPECT_EQ(input["unit"].toString(), "V");
    EXPECT_GT(input["number"].toDouble(), 12.0);
    EXPECT_LT(input["number"].toDouble(), 13.0);

    EXPECT_EQ(run(*sim, {"voltages"}, "U2=5.0\r\n").exitCode, 1);
    const CliRun noU2 = run(*sim, {"voltages"});
    EXPECT_EQ(noU2.exitCode, 1);
    EXPECT_TRUE(noU2.err.startsWith("U2 nicht definiert!"));
}

TEST_F(CliTest, CheckReportsEveryStepAndNeverDialsAUnit) {
    auto sim = startSim();
    const CliRun r = run(*sim, {"check", "--lang", "en"}, "U2=5.0\r\nTV0=3\r\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.lines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "Wake-up\tpassed\tOK\\r>");
    EXPECT_EQ(lines[1], "Reset\tpassed\tRESET\\rVandrix Pro v2.1\\r>");
    EXPECT_EQ(lines[2], "Chip and version\tpassed\tVandrix Pro v2.1");
    // Texts in English, numbers in the regional settings (German here).
    EXPECT_TRUE(QRegularExpression("^Input voltages\tpassed\tADC 0: \\d+ = 1[23],\\d\\d V, "
                                   "ADC 1: \\d+, ADC 2: 0, ADC 3: \\d+, ADC 4: 1023, ADC 5: 128$")
                    .match(lines[3])
                    .hasMatch())
        << lines[3].toStdString();
    EXPECT_EQ(sim->commands(),
              QStringList({"", "ATZ", "ATA0", "ATA1", "ATA2", "ATA3", "ATA4", "ATA5"}));

    auto old = startSim({"--chip-version", "1.5"});
    const CliRun json = run(*old, {"check", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    const QJsonObject doc = json.json();
    EXPECT_TRUE(doc["passed"].toBool());
    EXPECT_EQ(doc["chipVersion"].toDouble(), 1.5);
    EXPECT_EQ(doc["steps"][3]["outcome"].toString(), "not run");
    EXPECT_TRUE(doc["steps"][3]["text"].toString().contains("1.5"));

    auto silent = startSim({"--fault", "silence#1"});
    const CliRun dead = run(*silent, {"check"});
    EXPECT_EQ(dead.exitCode, 3);
    EXPECT_EQ(dead.lines().value(0), "Aufwecken\tfehlgeschlagen\tnichts empfangen");
    EXPECT_EQ(dead.lines().value(2), "Chip und Version\tnicht ausgeführt\t");
    // A failed check says why on standard error and in the document.
    EXPECT_TRUE(dead.err.startsWith("Aufwecken: nichts empfangen")) << dead.err.toStdString();
    const CliRun deadJson = run(*silent, {"check", "--json"});
    EXPECT_EQ(deadJson.exitCode, 3);
    EXPECT_EQ(deadJson.json()["error"].toString(), deadJson.err.trimmed());
    EXPECT_FALSE(deadJson.json()["passed"].toBool());
}

TEST_F(CliTest, ACheckTheLinkBrokeOffKeepsTheStepsThatRanAndNamesTheReason) {
    struct Case {
        const char* fault;
        QString reason; // the broken step's reason, on stderr too
    } cases[] = {
        {"unplug@ATZ", "Reading from the port failed: the device hung up"},
        {"endless@ATZ", LoadStr(LinkText::DataEndlessLine + EnglishStringOffset)},
        {"longline@ATZ", LoadStr(LinkText::DataEndlessLine + EnglishStringOffset)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        auto sim = startSim({"--fault", c.fault});
        const CliRun text = run(*sim, {"check", "--lang", "en"});
        EXPECT_EQ(text.exitCode, 5) << text.err.toStdString();
        const QStringList lines = text.lines();
        ASSERT_EQ(lines.size(), 4) << text.out.toStdString();
        EXPECT_EQ(lines[0], "Wake-up\tpassed\tOK\\r>");
        EXPECT_TRUE(lines[1].startsWith("Reset\tfailed\t")) << lines[1].toStdString();
        EXPECT_TRUE(lines[1].endsWith(c.reason)) << lines[1].toStdString();
        EXPECT_EQ(lines[2], "Chip and version\tnot run\t");
        EXPECT_TRUE(text.err.contains(c.reason)) << text.err.toStdString();
        // No system's function names on the command line.
        EXPECT_FALSE(text.err.contains("function")) << text.err.toStdString();

        // A pulled adapter is gone: a fresh one for the document.
        auto again = startSim({"--fault", c.fault});
        const CliRun json = run(*again, {"check", "--json", "--lang", "en"});
        EXPECT_EQ(json.exitCode, 5);
        const QJsonArray steps = json.json()["steps"].toArray();
        ASSERT_EQ(steps.size(), 4);
        EXPECT_EQ(steps[0]["outcome"].toString(), "passed");
        EXPECT_EQ(steps[1]["outcome"].toString(), "failed");
        EXPECT_TRUE(steps[1]["text"].toString().endsWith(c.reason));
        EXPECT_FALSE(json.json()["passed"].toBool());
        EXPECT_TRUE(json.json()["error"].toString().contains(c.reason));
    }
}

TEST_F(CliTest, AnAdapterPulledOutSaysWhatFailedWithoutFunctionNames) {
    struct Case {
        QStringList args;
    } cases[] = {{{"faults", "1"}}, {{"faults", "1", "--clear", "--yes"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        auto sim = startSim({"--fault", "unplug@02"});
        const CliRun r = run(*sim, c.args + QStringList{"--lang", "en"});
        EXPECT_EQ(r.exitCode, 5);
        EXPECT_EQ(r.err.trimmed(), LoadStr(304 + EnglishStringOffset) +
                                       "\nReading from the port failed: the device "
                                       "hung up")
            << r.err.toStdString();
    }
}

TEST_F(CliTest, ScanReportsTheUnitsOfACarInListOrder) {
    auto sim = startSim();
    const CliRun r = run(*sim, {"scan", "--car", "demo CAR", "5"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList heads = r.lines().filter(QRegularExpression("^========"));
    EXPECT_EQ(heads.size(), 6);
    EXPECT_TRUE(heads.value(3).startsWith("======== 005 [05] - Start Authentifikation "));
    EXPECT_TRUE(heads.value(5).startsWith("======== 023 [17] - Kombiinstrument "));
    EXPECT_EQ(r.lines().last(), "******** Vandrix Version 1.41 " + QString(43, '*'));
    const QStringList found = r.lines().filter("Steuergerät gefunden");
    EXPECT_EQ(found.size(), 5);
    EXPECT_EQ(r.lines().filter("Steuergerät nicht gefunden").size(), 1);
    // Never the airbag unit from a car's list.
    EXPECT_FALSE(sim->commands().contains("ATD15"));

    const CliRun unknown = run(*sim, {"scan", "--car", "Trabant"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains("\n  Golf IV 1.6\n"));
}

TEST_F(CliTest, PortsListTheWindowsEntriesWithTheDemoLast) {
    auto sim = startSim();
    const CliRun r = RunCli({"ports", "--ini", ini("COM-Port=" + sim->terminalPath().toUtf8())});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.lines().contains(sim->terminalPath()));
    EXPECT_EQ(
        r.lines().mid(r.lines().size() - 2),
        (QStringList{"demo\tDemo (simulierte Schnittstelle)", "demo-kline\tDemo (K-Leitung)"}));

    const QJsonArray ports = RunCli({"ports", "--json", "--lang", "en", "--ini",
                                     ini("COM-Port=" + sim->terminalPath().toUtf8())})
                                 .json()["ports"]
                                 .toArray();
    ASSERT_GE(ports.size(), 3);
    EXPECT_EQ(ports[ports.size() - 2]["name"].toString(), "Demo (simulated interface)");
    EXPECT_EQ(ports.last()["name"].toString(), "Demo (K-line cable)");
    bool configured = false;
    for (const QJsonValue& port : ports)
        configured |= port["port"].toString() == sim->terminalPath() && port["configured"].toBool();
    EXPECT_TRUE(configured);
}

TEST_F(CliTest, TheDemoPortRunsTheSimulatorInsideTheProgram) {
    const CliRun r = RunCli({"ident", "2", "--port", "demo", "--ini", ini()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines().value(1), "VAG Geräte-Typnummer:\t09G 927 750 FA");
}

TEST_F(CliTest, EachCommandIsOneRecordingOfTheBytesItExchanged) {
    auto sim = startSim();
    struct Case {
        QStringList args;
        const char* kind;
        const char* units;
        const char* fileEnd;
    } cases[] = {
        {{"faults", "3"}, "session", "003 [03]", "_003.vrec.gz"},
        // A search is one recording of all its units, the silent one too.
        {{"scan", "1", "5", "17"}, "search", "001 [01], 005 [05], 023 [17]", "_search.vrec.gz"},
        {{"check"}, "interface check", "", "_check.vrec.gz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const QStringList before = userFiles("recordings");
        const qsizetype sent = sim->commands().size();
        const CliRun r = run(*sim, c.args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.err, "");
        QStringList added = userFiles("recordings");
        for (const QString& old : before)
            added.removeOne(old);
        ASSERT_EQ(added.size(), 1);
        const QString path = added[0];
        EXPECT_TRUE(path.endsWith(c.fileEnd)) << path.toStdString();
        const Recording::File file = readRecording(path);
        EXPECT_EQ(file.value("Program"), "vandrix-cli Version 1.41");
        EXPECT_EQ(file.value("Kind"), c.kind);
        EXPECT_EQ(file.value("Unit"), c.units);
        EXPECT_EQ(file.value("Port"), sim->terminalPath());
        EXPECT_EQ(file.value("Chip"), "Vandrix Pro v2.1");
        EXPECT_EQ(RecordedCommands(file), sim->commands().mid(sent));
        ASSERT_FALSE(file.chunks.isEmpty());
        EXPECT_EQ(file.chunks.first().bytes, "open " + sim->terminalPath().toUtf8());
        EXPECT_EQ(file.chunks.last().bytes, "close");
    }
    // A command that fails is recorded as far as it went.
    const CliRun silent = run(*sim, {"ident", "5"});
    EXPECT_EQ(silent.exitCode, 4);
    ASSERT_EQ(userFiles("recordings").filter("_005.vrec").size(), 1);
    EXPECT_EQ(readRecording(userFiles("recordings").filter("_005.vrec")[0]).value("Unit"),
              "005 [05]");

    EXPECT_EQ(run(*sim, {"ident", "1"}, "Aufzeichnung=nein\r\n").exitCode, 0);
    EXPECT_EQ(userFiles("recordings").size(), 4);
}

// Recent recordings alone past the limit: nothing is removed, and the run
// says so on stderr, as the window does in a box.
TEST_F(CliTest, ProtectedRecordingsPastTheLimitAreKeptAndSaidSo) {
    auto sim = startSim();
    const QString folder = dataHome + "/vandrix/recordings";
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile big(folder + "/2026-01-01_00-00-00_001.vrec.gz");
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(2 * 1024 * 1024, 'x'));
    big.close();
    const CliRun r = run(*sim, {"ident", "1"}, "Aufzeichnung=1\r\n");
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(LoadStr(TeamText::RecordingsOverLimit).section('\n', 0, 0)))
        << r.err.toStdString();
    EXPECT_TRUE(big.exists());
}

TEST_F(CliTest, ARecordingThatCannotBeWrittenIsSaidOnceAndTheCommandGoesOn) {
    auto sim = startSim();
    // Permissions do not bind the administrator; /proc refuses everyone.
    QString home = QStringLiteral("/proc/self/no-data-home");
    if (geteuid() != 0) {
        home = dir.filePath("read-only");
        QDir().mkpath(home + "/vandrix/recordings");
        QFile::setPermissions(home + "/vandrix/recordings", QFile::ReadOwner | QFile::ExeOwner);
    }
    ScopedEnv readOnly("XDG_DATA_HOME", home);
    const CliRun r = run(*sim, {"scan", "1", "3"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines().filter("Steuergerät gefunden").size(), 2);
    const QString warning = LoadStr(TeamText::RecorderOff).section('\n', 0, 0);
    EXPECT_EQ(r.err.count(warning), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(home)) << r.err.toStdString();
}

TEST_F(CliTest, TheDemoPortServesTheRecordingTheConfigurationNames) {
    // A chip the demo car does not have, so the replay shows in the output.
    auto sim = startSim({"--chip-version", "1.5"});
    const CliRun original = run(*sim, {"check"});
    ASSERT_EQ(original.exitCode, 0) << original.err.toStdString();
    ASSERT_TRUE(original.out.contains("Vandrix Pro v1.5"));
    sim->stop();
    // A bare file name is one of the user's recordings.
    const QString name = QFileInfo(userFiles("recordings").value(0)).fileName();
    const CliRun replayed = RunCli(
        {"check", "--port", "demo", "--ini", ini("Demo-Aufzeichnung=" + name.toUtf8() + "\r\n")});
    ASSERT_EQ(replayed.exitCode, 0) << replayed.err.toStdString();
    EXPECT_EQ(replayed.out, original.out);
}

TEST_F(CliTest, AScanKeepsItsReportWhereTheWindowKeepsIt) {
    auto sim = startSim();
    const CliRun r = run(*sim, {"scan", "--car", "golf iv 1.6", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList scans = userFiles("scans");
    ASSERT_EQ(scans.size(), 1);
    // Named by the car as the list spells it.
    EXPECT_TRUE(
        QRegularExpression("/\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d_Golf_IV_1\\.6\\.txt$")
            .match(scans[0])
            .hasMatch())
        << scans[0].toStdString();
    EXPECT_EQ(r.json()["saved"].toString(), scans[0]);
    // The kept file is the report plus the marks of each fault read.
    const auto unmarked = [](const QString& kept) {
        QStringList lines = kept.split('\n');
        lines.removeIf([](const QString& l) { return l.startsWith("## "); });
        return lines.join('\n');
    };
    QFile f(scans[0]);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString keptText = QString::fromUtf8(f.readAll());
    EXPECT_EQ(unmarked(keptText), r.json()["report"].toString() + "\n");
    EXPECT_EQ(keptText.count("\n## faults: "), 4);          // the units found
    EXPECT_TRUE(keptText.contains("\n## faults: found\n")); // the ABS unit's two faults
    EXPECT_FALSE(r.json()["report"].toString().contains("## "));
    EXPECT_TRUE(r.json()["complete"].toBool());

    // The text printed is the report kept, so either can be compared later.
    const CliRun text = run(*sim, {"scan", "1", "3"});
    QStringList added = userFiles("scans");
    added.removeOne(scans[0]);
    ASSERT_EQ(added.size(), 1);
    QFile g(added[0]);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    EXPECT_EQ(unmarked(QString::fromUtf8(g.readAll())), text.out);
}

TEST_F(CliTest, DiffOfTwoReportsSaysEachFindingOnALine) {
    const QString before = QStringLiteral(VANDRIX_CLI_FIXTURES "/scan_before.txt");
    const QString after = QStringLiteral(VANDRIX_CLI_FIXTURES "/scan_after.txt");
    const QString gone = "003 [03] - ABS Bremsen: 00290 Drehzahlfühler hinten links, Status 36 ";
    struct Case {
        QString older, newer;
        QStringList args;
        QString line;
    } cases[] = {
        {before, after, {}, "Fehler nicht mehr gespeichert: " + gone},
        {after, before, {}, "Fehler neu: " + gone},
        {before, before, {}, "Kein Unterschied"},
        {before, after, {"--lang", "en"}, "fault gone: 003 [03] - ABS Bremsen: 00290 "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.older + " " + c.newer + " " + c.args.join(' ')).toStdString());
        const CliRun r = RunCli(QStringList{"diff", c.older, c.newer, "--ini", ini()} + c.args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        ASSERT_EQ(r.lines().size(), 1) << r.out.toStdString();
        EXPECT_TRUE(r.lines()[0].startsWith(c.line)) << r.out.toStdString();
        EXPECT_EQ(r.err, "");
    }

    const CliRun json = RunCli({"diff", before, after, "--json", "--ini", ini()});
    ASSERT_EQ(json.exitCode, 0);
    const QJsonObject doc = json.json();
    EXPECT_EQ(doc["command"].toString(), "diff");
    EXPECT_EQ(doc["older"].toString(), before);
    EXPECT_TRUE(doc["different"].toBool());
    const QJsonArray goneFaults = doc["goneFaults"].toArray();
    ASSERT_EQ(goneFaults.size(), 1);
    EXPECT_EQ(goneFaults[0]["address"].toInt(), 3);
    EXPECT_EQ(goneFaults[0]["unit"].toString(), "003 [03] - ABS Bremsen");
    const QJsonObject fault = goneFaults[0]["fault"].toObject();
    EXPECT_EQ(fault["code"].toInt(), 290);
    EXPECT_EQ(fault["dtc"].toString(), "00290");
    EXPECT_EQ(fault["status"].toInt(), 36);
    EXPECT_EQ(fault["text"].toString(), "Drehzahlfühler hinten links");
    for (const char* empty :
         {"appeared", "disappeared", "newFaults", "changedStatus", "onlyInOlder", "onlyInNewer"})
        EXPECT_TRUE(doc[empty].toArray().isEmpty()) << empty;
}

TEST_F(CliTest, DiffOfAFileThatCannotBeReadGivesTheSystemsReason) {
    const QString report = QStringLiteral(VANDRIX_CLI_FIXTURES "/scan_before.txt");
    QStringList unreadable{dir.filePath("no-such-scan.txt")};
    // Permissions do not bind the administrator.
    if (geteuid() != 0) {
        unreadable << dir.filePath("locked.txt");
        ASSERT_TRUE(QFile::copy(report, unreadable.last()));
        QFile::setPermissions(unreadable.last(), QFile::WriteOwner);
    }
    for (const QString& path : unreadable) {
        const CliRun r = RunCli({"diff", report, path, "--ini", ini()});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        const QString start = "Der Bericht läßt sich nicht lesen: " + path + ": ";
        EXPECT_TRUE(r.err.startsWith(start)) << r.err.toStdString();
        EXPECT_GT(r.err.trimmed().size(), start.size()) << "no reason given";
    }

    // Any file that is no search report would otherwise show no difference.
    QFile other(dir.filePath("notes.txt"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("Reifendruck 2,2 bar\n");
    other.close();
    const CliRun json = RunCli({"diff", other.fileName(), report, "--json", "--ini", ini()});
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(json.json()["error"].toString(), "Kein Suchbericht: " + other.fileName());
    // Nor a device that never ends: it is not read forever.
    const CliRun endless = RunCli({"diff", "/dev/zero", report, "--ini", ini()});
    EXPECT_EQ(endless.exitCode, 1);
    EXPECT_EQ(endless.err.trimmed(), "Kein Suchbericht: /dev/zero");
}

TEST_F(CliTest, DiffOfAReportOfAHundredThousandsOfFaultsFindsExactlyWhatChanged) {
    // About 9 MB each: far beyond a car, within what diff reads.
    const BigScanReports big = MakeBigScanReports(215000);
    ASSERT_GT(big.older.size(), 8 * 1024 * 1024);
    const QString older = dir.filePath("older.txt");
    const QString newer = dir.filePath("newer.txt");
    for (const auto& [path, bytes] : {std::pair{older, big.older}, std::pair{newer, big.newer}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    const CliRun r =
        RunCli({"diff", older, newer, "--ini", ini(), "--lang", "en"}, CliEnvironment(), 600000);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString unit = "017 [11] - Motor 2: ";
    EXPECT_EQ(r.lines(), (QStringList{
                             "fault new: " + unit + "22222 Fehler, status 35 Status",
                             "fault gone: " + unit + "11111 Fehler, status 35 Status",
                             "status changed: " + unit +
                                 "33333 Fehler, status 35 Status -> "
                                 "161 Status",
                         }));
}

TEST_F(CliTest, AFaultCodeTooLongForACodeIsAMalformedLineNeverFaultZero) {
    const auto report = [](const QByteArray& code) {
        return "======== 017 [11] - Motor 2 =====\n-> Steuergerät gefunden <-\n \n"
               "VAG Geräte-Typnummer:         1J0 920 826 C\n"
               "Bauteilbezeichnung:           KOMBI\n"
               "Zusatzinformationen:          \n"
               "VAG Werkstattcode:            04711\n"
               "Softwarecodierung:            01262\n"
               "-> 1 Fehlercode(s) <-\n-- 1 --\n " +
               code + "  Fehler\n 35     Status\n \n \n******** Vandrix Version 1.41 ***\n";
    };
    const struct {
        QByteArray olderCode, newerCode;
        QString expected;
    } cases[] = {
        // Read as 0 this compared equal to a fault 00000.
        {"99999999999999999999", "00000",
         "faults not compared: 017 [11] - Motor 2: older report unreadable, newer report read"},
        {"180100", "18010",
         "faults not compared: 017 [11] - Motor 2: older report unreadable, newer report read"},
        {"18010", "18010", "no difference"},
    };
    for (const auto& c : cases) {
        const QString older = dir.filePath("older.txt");
        const QString newer = dir.filePath("newer.txt");
        for (const auto& [path, code] :
             {std::pair{older, c.olderCode}, std::pair{newer, c.newerCode}}) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(report(code));
        }
        const CliRun r = RunCli({"diff", older, newer, "--ini", ini(), "--lang", "en"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out.trimmed(), c.expected) << c.olderCode.toStdString();
    }
}

// A unit whose identification carries a tab and an escape code.
const QByteArray ControlCharCar = TestScenario("control_characters.ini");

TEST_F(CliTest, ControlCharactersFromAUnitOrAFileAreShownEscaped) {
    const QString scenario = dir.filePath("controls.ini");
    QFile f(scenario);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(ControlCharCar);
    f.close();
    auto sim = startSim({"--scenario", scenario});
    const CliRun text = run(*sim, {"ident", "1", "--lang", "en"});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_FALSE(text.out.contains(QChar(0x1b))) << text.out.toStdString();
    // One tab between caption and value, the unit's own tab escaped.
    const QStringList component = text.lines().filter("Component ID:");
    ASSERT_EQ(component.size(), 1) << text.out.toStdString();
    EXPECT_EQ(component[0].count('\t'), 1) << component[0].toStdString();
    EXPECT_TRUE(component[0].endsWith("MOT\\tR4\\e[2J3152")) << component[0].toStdString();
    // JSON carries the bytes as they came.
    const QJsonObject doc = run(*sim, {"ident", "1", "--json"}).json();
    EXPECT_TRUE(doc["identification"].toObject()["component"].toString().contains(
        QString("MOT\tR4") + QChar(0x1b) + "[2J"));

    // A fault text of a saved report, compared by diff.
    const auto report = [](const QByteArray& status) {
        return "======== 017 [11] - Motor 2 =====\n-> Steuergerät gefunden <-\n \n"
               "VAG Geräte-Typnummer:         1J0 920 826 C\n"
               "Bauteilbezeichnung:           KOMBI\n"
               "Zusatzinformationen:          \n"
               "VAG Werkstattcode:            04711\n"
               "Softwarecodierung:            01262\n"
               "-- 1 --\n 18010  Batterie\t\x1b]0;owned\x07\r\n " +
               status + "     Status\n \n \n******** Vandrix Version 1.41 ***\n";
    };
    const QString older = dir.filePath("older.txt");
    const QString newer = dir.filePath("newer.txt");
    for (const auto& [path, status] :
         {std::pair{older, QByteArray("35")}, std::pair{newer, QByteArray("36")}}) {
        QFile r(path);
        ASSERT_TRUE(r.open(QIODevice::WriteOnly));
        r.write(report(status));
    }
    const CliRun diff = RunCli({"diff", older, newer, "--ini", ini(), "--lang", "en"});
    EXPECT_EQ(diff.exitCode, 0) << diff.err.toStdString();
    EXPECT_EQ(diff.out, "status changed: 017 [11] - Motor 2: 18010 Batterie\\t\\e]0;owned\\x07, "
                        "status 35 Status -> 36 Status\n");
}

TEST_F(CliTest, IdentShowsWhatItReadWhenTheFinalAthGoesUnanswered) {
    auto sim = startSim({"--fault", "silence@ATH"});
    const CliRun r = run(*sim, {"ident", "1", "--lang", "en"});
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_EQ(r.lines().value(1), "VAG Type Number:\t036 906 034 AM") << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("The final ATH went unanswered: ")) << r.err.toStdString();
    // The message's own line breaks are line breaks, never an escaped CR.
    EXPECT_FALSE(r.err.contains('\r') || r.err.contains("\\r")) << r.err.toStdString();
    EXPECT_EQ(sim->commands().last(), "ATH");

    // Silence lasts: the JSON run needs a simulator of its own.
    auto second = startSim({"--fault", "silence@ATH"});
    const QJsonObject doc = run(*second, {"ident", "1", "--json"}).json();
    EXPECT_EQ(doc["exitCode"].toInt(), 5);
    EXPECT_EQ(doc["identification"].toObject()["partNumber"].toString(), "036 906 034 AM");
}

TEST(CliBuild, LinksNoWidgetOrGuiLibrary) {
    QProcess ldd;
    // The machine's ldd knows no program of another processor; the emulated
    // loader lists the libraries as ldd does.
    if (UnderEmulation())
        ldd.start(Emulator(), {"-E", "LD_TRACE_LOADED_OBJECTS=1", CliExecutable()});
    else
        ldd.start("ldd", {CliExecutable()});
    ASSERT_TRUE(ldd.waitForFinished(10000));
    const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput());
    ASSERT_TRUE(libraries.contains("libQt6Core")) << libraries.toStdString();
    EXPECT_FALSE(libraries.contains("libQt6Gui")) << libraries.toStdString();
    EXPECT_FALSE(libraries.contains("libQt6Widgets")) << libraries.toStdString();
}

TEST(CliTexts, EveryTextOfTheFrontEndExistsInBothLanguages) {
    int count = 0;
    for (int id = 3000; id < 3300; ++id) {
        const QString de = LoadStr(id);
        const QString en = LoadStr(id + EnglishStringOffset);
        EXPECT_EQ(de.isEmpty(), en.isEmpty()) << id;
        EXPECT_EQ(de.count("%"), en.count("%")) << id;
        EXPECT_EQ(de, de.trimmed()) << id;
        count += de.isEmpty() ? 0 : 1;
    }
    EXPECT_GT(count, 0);
}

// A configuration that is no file is an error with its reason, never silent
// defaults or the whole memory; a timing outside the chip's byte is not sent.
TEST_F(CliTest, ConfigurationIsBoundedAndItsTimingsInRange) {
    const struct {
        QString ini;
        const char* expected;
    } refused[] = {
        {"/dev/zero", "/dev/zero ist größer als 64 kB und wird nicht gelesen"},
        {dir.path(), "ist ein Ordner, keine Datei"},
        {dir.filePath("none.ini"), "none.ini gibt es nicht"},
    };
    for (const auto& c : refused) {
        const CliRun r = RunCli({"ident", "1", "--port", "demo", "--ini", c.ini});
        EXPECT_EQ(r.exitCode, 1) << c.ini.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.expected))) << r.err.toStdString();
    }

    auto sim = startSim();
    const CliRun r = run(*sim, {"ident", "1"}, "IBT=256\r\nBDT=-7\r\n");
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(sim->commands().filter(QRegularExpression("^AT(IBT|BDT)")),
              QStringList({"ATIBT05", "ATBDT28"}));
}

namespace {
// Engine refuses its fault read, ABS refuses a clear; the instrument cluster
// answers everything.
const QByteArray RefusingCar = TestScenario("refusing_units.ini");
} // namespace

TEST_F(CliTest, ARefusedFaultReadOrClearIsNeverSuccess) {
    const QString scenario = dir.filePath("refusing.ini");
    QFile f(scenario);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(RefusingCar);
    f.close();
    auto sim = startSim({"--scenario", scenario});

    const CliRun text = run(*sim, {"faults", "1"});
    EXPECT_EQ(text.exitCode, 6);
    EXPECT_EQ(text.out, "") << "no \"no errors stored\"";
    EXPECT_EQ(text.err.trimmed(), LoadStr(OutcomeText::FaultMemoryRefused));
    EXPECT_EQ(sim->commands().last(), "ATH");

    // The same keys as a read that worked; nothing read is null.
    const QJsonObject refused = run(*sim, {"faults", "1", "--json", "--lang", "en"}).json();
    const QJsonObject found = run(*sim, {"faults", "3", "--json", "--lang", "en"}).json();
    EXPECT_EQ(refused.keys(), found.keys());
    EXPECT_EQ(refused["exitCode"].toInt(), 6);
    EXPECT_EQ(refused["faults"]["outcome"].toString(), "refused");
    EXPECT_TRUE(refused["faults"]["faults"].isNull());
    EXPECT_EQ(refused["error"].toString(), LoadStr(10000 + OutcomeText::FaultMemoryRefused));
    EXPECT_TRUE(found["error"].isNull());
    EXPECT_TRUE(found["cleared"].isNull());
    // The document names the run's recording.
    EXPECT_TRUE(userFiles("recordings").contains(found["recording"].toString()))
        << found["recording"].toString().toStdString();

    const CliRun clear = run(*sim, {"faults", "3", "--clear", "--yes", "--json"});
    EXPECT_EQ(clear.exitCode, 6);
    EXPECT_FALSE(clear.json()["cleared"].toBool());
    EXPECT_TRUE(clear.json()["cleared"].isBool());
    EXPECT_EQ(clear.err.trimmed(), LoadStr(OutcomeText::ClearRefused));
    EXPECT_EQ(sim->commands().mid(sim->commands().lastIndexOf("02")),
              QStringList({"02", "05", "ATH"}));
}

TEST_F(CliTest, AClearWhoseAnswerNeverCameHasAnUnknownOutcome) {
    auto sim = startSim({"--fault", "unplug@05"});
    const CliRun r = run(*sim, {"faults", "3", "--clear", "--yes", "--json"});
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_TRUE(r.err.startsWith(LoadStr(OutcomeText::ExitOutcomeUnknown))) << r.err.toStdString();
    EXPECT_TRUE(r.json()["cleared"].isNull());
}

TEST_F(CliTest, KeptScansMarkRefusedReadsAndDiffNeverCallsThemGone) {
    auto normal = startSim();
    ASSERT_EQ(run(*normal, {"scan", "1", "3"}).exitCode, 0);
    const QString older = userFiles("scans").value(0);

    const QString scenario = dir.filePath("refusing.ini");
    QFile f(scenario);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(RefusingCar).replace("Dtc=00283:35\nRefuse=05", "Refuse=02"));
    f.close();
    auto refusing = startSim({"--scenario", scenario});
    QThread::sleep(1); // a second file name
    const CliRun scan = run(*refusing, {"scan", "1", "3", "--json"});
    ASSERT_EQ(scan.exitCode, 0) << scan.err.toStdString();
    EXPECT_EQ(scan.json()["units"][1]["faults"]["outcome"].toString(), "refused");
    QStringList files = userFiles("scans");
    files.removeOne(older);
    ASSERT_EQ(files.size(), 1);
    const QString newer = files[0];
    QFile kept(newer);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kept.readAll().contains("\n## faults: refused\n \n \n"));

    // The ABS unit had two faults; its memory was not read now: not "gone".
    const CliRun diff = RunCli({"diff", older, newer, "--ini", ini(), "--lang", "en"});
    EXPECT_EQ(diff.exitCode, 0) << diff.err.toStdString();
    EXPECT_FALSE(diff.out.contains("fault gone")) << diff.out.toStdString();
    EXPECT_TRUE(diff.out.contains(
        "faults not compared: 003 [03] - ABS Bremsen: older report read, newer report refused"))
        << diff.out.toStdString();
}

TEST_F(CliTest, AScanCutShortSaysSoAndCannotBeCompared) {
    auto sim = startSim({"--fault", "unplug@02#2"});
    const CliRun r = run(*sim, {"scan", "1", "3", "9", "--json"});
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_TRUE(r.json()["cutShort"].toBool());
    EXPECT_FALSE(r.json()["complete"].toBool());
    const QStringList scans = userFiles("scans");
    ASSERT_EQ(scans.size(), 1);
    QFile f(scans[0]);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString kept = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(kept.contains("\n## faults: unreadable\n## search: cut short\n"))
        << kept.toStdString();
    EXPECT_FALSE(kept.contains("******** Vandrix"));
    const CliRun diff = RunCli({"diff", scans[0], scans[0], "--ini", ini()});
    EXPECT_EQ(diff.exitCode, 1);
    EXPECT_TRUE(diff.err.startsWith("Der Suchbericht ist unvollständig")) << diff.err.toStdString();
}

TEST_F(CliTest, GroupsAsOneJsonDocumentNeedABound) {
    auto sim = startSim();
    const CliRun r = run(*sim, {"groups", "1", "1", "--json"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("monitor")) << r.err.toStdString();
    EXPECT_FALSE(sim->commands().contains("ATZ"));
    // A refused group is not answered, with its reason.
    const CliRun bounded = run(*sim, {"groups", "1", "1", "250", "--count", "1", "--json"});
    ASSERT_EQ(bounded.exitCode, 0) << bounded.err.toStdString();
    const QJsonArray groups = bounded.json()["polls"][0]["groups"].toArray();
    EXPECT_TRUE(groups[0]["reason"].isNull());
    EXPECT_FALSE(groups[1]["answered"].toBool());
    EXPECT_EQ(groups[1]["reason"].toString(), "refused");
}
