// Named fault modes do what they say, triggered by count or by command.
#include "config/ini_file.h"
#include "sim/sim_engine.h"

#include <gtest/gtest.h>

namespace {

SimEngine engineWith(const char* faults) {
    const QByteArray ini = QByteArray("[Interface]\nFaults=") + faults +
                           "\n[E]\nAddress=1\nIdent1=036906034AM\nReadiness=0x81\n";
    SimScenario s;
    QString error;
    EXPECT_TRUE(SimScenario::fromIni(IniFile::fromBytes(ini), &s, &error)) << error.toStdString();
    return SimEngine(std::move(s));
}

std::string exchange(SimEngine& e, std::string_view cmd) {
    e.receive(std::string(cmd) + "\r", 0);
    return e.takeAllOutput();
}

const std::string kConnect = "CONNECT B4 P1\r036906034AM\r>";

} // namespace

TEST(SimFaults, OneShotRepliesReplaceTheAnswer) {
    struct Case {
        const char* fault;
        std::string expected15; // the reply to the second "15"
    };
    const Case cases[] = {
        {"dataerror@15#2", "DATA ERROR\r>"},
        {"dataerror#4", "DATA ERROR\r>"}, // ATD01, 15, 15: the 4th command
        {"garbage@15#2", "ZQ#\xB5\xFE?!~ x\r>"},
        {"noprompt@15#2", "81\r"},
        {"longline@15#2", std::string(SimEngine::LongLineChars, 'X')},
        {"error@15#2", "ERROR\r>"},
        {"extraline@15#2", "81\rOK\r>"},
    };
    for (const Case& c : cases) {
        SimEngine e = engineWith(c.fault);
        EXPECT_EQ(exchange(e, ""), "OK\r>") << c.fault;
        EXPECT_EQ(exchange(e, "ATD01"), kConnect) << c.fault;
        EXPECT_EQ(exchange(e, "15"), "81\r>") << c.fault;
        EXPECT_EQ(exchange(e, "15"), c.expected15) << c.fault;
        EXPECT_EQ(exchange(e, "15"), "81\r>") << c.fault << ": only once";
    }
}

TEST(SimFaults, CrLfEndsEveryLineFromItsCommandOn) {
    SimEngine e = engineWith("crlf@ATD01");
    EXPECT_EQ(exchange(e, ""), "OK\r>");
    EXPECT_EQ(exchange(e, "ATD01"), "CONNECT B4 P1\r\n036906034AM\r\n>");
    EXPECT_EQ(exchange(e, "15"), "81\r\n>");
    EXPECT_EQ(exchange(e, "02"), "FFFF 88\r\n>");
}

TEST(SimFaults, AnEndlessLineFlowsAtTheLinesPaceUntilTheNextCommand) {
    SimEngine e = engineWith("endless@15");
    EXPECT_EQ(exchange(e, "ATD01"), kConnect);
    e.receive("15\r", 0);
    std::string out;
    e.takeOutput(0, out);
    e.takeOutput(100 * SimEngine::CharUs, out);
    EXPECT_EQ(out.size(), 101u);
    EXPECT_EQ(out.find_first_of("\r>"), std::string::npos);
    EXPECT_EQ(e.nextOutputUs(), 101 * SimEngine::CharUs);
    // Long after, the reader away: no burst of what it missed.
    out.clear();
    e.takeOutput(3600LL * 1000000, out);
    EXPECT_LE(out.size(), 256u);
    e.receive("15\r", 3600LL * 1000000);
    EXPECT_EQ(e.takeAllOutput(), "81\r>");
    out.clear();
    e.takeOutput(7200LL * 1000000, out);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(e.nextOutputUs(), -1);
}

TEST(SimFaults, SilenceAndUnplugLastForever) {
    SimEngine quiet = engineWith("silence#3");
    EXPECT_EQ(exchange(quiet, ""), "OK\r>");
    EXPECT_EQ(exchange(quiet, "ATD01"), kConnect);
    EXPECT_EQ(exchange(quiet, "15"), "");
    EXPECT_EQ(exchange(quiet, "ATZ"), "");
    EXPECT_EQ(quiet.commandCount(), 4); // still listening and counting
    EXPECT_FALSE(quiet.linkDropped());

    SimEngine pulled = engineWith("unplug@ATD01");
    EXPECT_EQ(exchange(pulled, "ATZ").substr(0, 6), "RESET\r");
    EXPECT_FALSE(pulled.linkDropped());
    EXPECT_EQ(exchange(pulled, "ATD01"), "");
    EXPECT_TRUE(pulled.linkDropped());
}

TEST(SimFaults, FaultSyntax) {
    std::vector<SimFault> faults;
    bool pace = false;
    int kline = 0;
    QString error;
    ASSERT_TRUE(SimFault::parseList(" pace, kline=250 ,silence#5,dataerror@0801#3,unplug@atd01,"
                                    "crlf,endless@02",
                                    &faults, &pace, &kline, &error))
        << error.toStdString();
    EXPECT_TRUE(pace);
    EXPECT_EQ(kline, 250);
    ASSERT_EQ(faults.size(), 5u);
    EXPECT_EQ(faults[3].kind, SimFault::CrLf); // bare: from the first command on
    EXPECT_EQ(faults[3].atCount, 1);
    EXPECT_EQ(faults[4].kind, SimFault::Endless);
    EXPECT_EQ(faults[0].kind, SimFault::Silence);
    EXPECT_EQ(faults[0].atCount, 5);
    EXPECT_EQ(faults[1].atText, "0801");
    EXPECT_EQ(faults[1].occurrence, 3);
    EXPECT_EQ(faults[2].atText, "ATD01");

    for (const char* bad :
         {"silence", "boom@1", "dataerror#0", "garbage@", "garbage#", "kline=x", "noprompt@15#0"}) {
        faults.clear();
        error.clear();
        EXPECT_FALSE(SimFault::parseList(bad, &faults, &pace, &kline, &error)) << bad;
        EXPECT_FALSE(error.isEmpty()) << bad;
    }
}
