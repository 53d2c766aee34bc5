// The in-process host that the program's demo interface uses.
#include "link/command_channel.h"
#include "link/serial_port.h"
#include "sim/simulator_host.h"
#include "support/program_port.h"

#include <QDir>
#include <chrono>
#include <gtest/gtest.h>

namespace {

QString demoCar() {
    return QDir(qEnvironmentVariable("VANDRIX_DATA")).filePath("scenarios/demo_car.ini");
}

} // namespace

TEST(SimulatorHost, SurvivesThePortBeingReopenedAndStopsCleanly) {
    SimulatorHost host;
    QString error;
    ASSERT_TRUE(host.start(demoCar(), &error)) << error.toStdString();
    const QString path = host.slavePath();
    for (int attempt = 0; attempt < 2; ++attempt) { // every connection reopens the port
        TSerialPort port;
        OpenLikeTheProgram(port, path);
        CommandChannel ch(port);
        ch.SendText("ATZ\r");
        EXPECT_EQ(ch.ReadReplyLine(false), "RESET");
        EXPECT_EQ(ch.ReadReplyLine(false), "Vandrix Pro v2.1");
    }
    EXPECT_EQ(host.commands(), QStringList({"ATZ", "ATZ"}));
    host.stop();
    EXPECT_FALSE(host.isRunning());
    EXPECT_TRUE(host.slavePath().isEmpty());
    host.stop(); // twice is harmless
}

TEST(SimulatorHost, OptionsReachTheEngine) {
    SimulatorHost host;
    SimOptions o;
    o.scenarioPath = demoCar();
    o.klineMs = 300;
    o.chipVersion = "1.9";
    o.faults = {"unplug@0801"};
    QString error;
    ASSERT_TRUE(host.start(o, &error)) << error.toStdString();
    TSerialPort port;
    OpenLikeTheProgram(port, host.slavePath());
    CommandChannel ch(port);

    ch.SendText("ATZ\r");
    ch.ReadReplyLine(false);
    EXPECT_EQ(ch.ReadReplyLine(false), "Vandrix Pro v1.9");
    while (ch.ReadReply(true, false) != u">") {
    }
    const auto t0 = std::chrono::steady_clock::now();
    ch.SendText("ATD01\r");
    EXPECT_TRUE(ch.ReadReplyLine(false).startsWith("CONNECT"));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));

    while (ch.ReadReply(true, false) != u">") {
    }
    EXPECT_FALSE(host.linkDropped());
    EXPECT_THROW(ch.SendCommand("0801"), ESerialPort); // pulled out
    EXPECT_TRUE(host.linkDropped());
}

TEST(SimulatorHost, RefusesWhatItCannotServe) {
    SimulatorHost host;
    QString error;
    EXPECT_FALSE(host.start(QStringLiteral("/nonexistent/car.ini"), &error));
    EXPECT_TRUE(error.contains("/nonexistent/car.ini"));
    SimOptions o;
    o.scenarioPath = demoCar();
    o.faults = {"boom@3"};
    EXPECT_FALSE(host.start(o, &error));
    EXPECT_TRUE(error.contains("boom@3"));
    EXPECT_FALSE(host.isRunning());
}

TEST(SimulatorHost, KeepsABoundedRecordOfCommandsAndNoneWhenAskedTo) {
    for (const bool keep : {true, false}) {
        SimulatorHost host;
        SimOptions o;
        o.scenarioPath = demoCar();
        o.keepCommands = keep;
        QString error;
        ASSERT_TRUE(host.start(o, &error)) << error.toStdString();
        TSerialPort port;
        OpenLikeTheProgram(port, host.slavePath());
        CommandChannel ch(port);
        // A steady poll far longer than the record.
        const int polls = SimulatorHost::MaxCommandsKept * 2 + 10;
        int answered = 0;
        for (int i = 0; i < polls; ++i)
            answered += ch.SendCommand(QStringLiteral("ATI")) && ch.ReadReplyLine(false) == u">";
        EXPECT_EQ(answered, polls);
        ch.SendText("ATH\r");
        EXPECT_EQ(ch.ReadReplyLine(false), ">");
        const QStringList kept = host.commands();
        if (!keep) {
            EXPECT_TRUE(kept.isEmpty());
            continue;
        }
        EXPECT_LE(kept.size(), SimulatorHost::MaxCommandsKept);
        EXPECT_GE(kept.size(), SimulatorHost::MaxCommandsKept / 2);
        EXPECT_EQ(kept.last(), "ATH");
        EXPECT_EQ(kept.count("ATI"), kept.size() - 1);
    }
}

// The demo a user chooses answers at the pace of the real wire: the reset
// answer's 24 characters take 0.52 ms each at 19200 baud (20 of them allow
// for where the simulator starts its clock).
TEST(SimulatorHost, APacedDemoAnswersNoFasterThanTheWire) {
    SimulatorHost host;
    host.setPaced(true);
    QString error;
    ASSERT_TRUE(host.start(demoCar(), &error)) << error.toStdString();
    TSerialPort port;
    OpenLikeTheProgram(port, host.slavePath());
    CommandChannel ch(port);
    const auto sent = std::chrono::steady_clock::now();
    ch.SendText("ATZ\r");
    EXPECT_EQ(ch.ReadReplyLine(false), "RESET");
    EXPECT_EQ(ch.ReadReplyLine(false), "Vandrix Pro v2.1");
    EXPECT_EQ(ch.ReadReplyLine(false), ">");
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::microseconds(20 * 520));
    host.stop();
}
