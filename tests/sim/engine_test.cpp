// The simulated chip's replies, byte for byte, against the forms the
// program's readers expect.
#include "config/ini_file.h"
#include "sim/sim_engine.h"

#include <gtest/gtest.h>

namespace {

const char kFixture[] = R"(
[Interface]
Version=2.1
A3=200
[Eng]
Address=1
Protocol=KW1281
Baud=9600
Ident1=036906034AM
Ident2=1,4l R4/4V MOT
Ident3=3152
Coding=31
WorkshopCode=12345
G1=1 200 40 | 5 10 120 | 6 100 135 | 7 50 100
G2=1 200 10~30@10
B3=16 1 2
Raw=0x12, 255, 0
V5=1000
V6=26
Readiness=0x81
K1=300
K1Range=0..1000
K1Block=6 100 135
K2=1000
[Box]
Address=17
Protocol=KW2000
Baud=14400
Ident1=1J0920826C
Ident2=KOMBI
Ident3=V57
DeviceNumber=1234
Importer=7
LoginCode=12345
OutputTests=1044, 0x10
Dtc=18007:35, 18:136
[Mute]
Address=21
Ident1=1C0909605F
DtcSupported=0
Refuse=15, 0802
RefuseWord=ERROR
)";

SimScenario fixture() {
    SimScenario s;
    QString error;
    EXPECT_TRUE(SimScenario::fromIni(IniFile::fromBytes(kFixture), &s, &error))
        << error.toStdString();
    return s;
}

std::string exchange(SimEngine& e, std::string_view cmd, int64_t nowUs = 0) {
    e.receive(std::string(cmd) + "\r", nowUs);
    return e.takeAllOutput();
}

struct Row {
    const char* command;
    const char* reply;
};

} // namespace

// One session as the program would run it, in order: state carries over
// from row to row (connection, coding, output test step, cleared faults).
TEST(SimEngine, RepliesInTheFormsTheReadersExpect) {
    const Row rows[] = {
        // Wake-up: two lines per lone CR, so the connection's line count works.
        {"", "OK\r>"},
        {"ATZ", "RESET\rVandrix Pro v2.1\r>"},
        {"ATIBT05", ">"},
        {"ATBDT28", ">"},
        {"ATN0", ">"},
        {"ATN9", "?\r>"},
        {"0801", "ERROR\r>"}, // no unit connected
        {"ATD05", "ERROR\r>"},
        // 10th character the speed code, last the protocol digit.
        {"ATD01", "CONNECT B4 P1\r036906034AM\r1,4l R4/4V MOT\r3152\rSWC 00031\rWSC 12345\r>"},
        {"0801", "01 C8 28\r05 0A 78\r06 64 87\r07 32 64\r>"},
        {"0402", "01 C8 0A\r>"}, // basic setting falls back to the group
        {"0403", "10 01 02\r>"},
        {"0804", "NA\r>"},
        {"0800", "12\rFF\r00\r>"},
        {"0400", "12\rFF\r00\r>"},
        {"0905", "03E8\r>"},
        {"0906", "1A\r>"},
        {"0907", "NA\r>"},
        {"02", "FFFF 88\r>"},
        {"15", "81\r>"},
        {"1001", "012C\r06 64 87\r>"},
        {"1002", "03E8\r>"}, // a channel without a measuring block
        {"1003", "NA\r>"},
        {"10010190", "0190\r>"},
        {"1001", "0190\r06 64 87\r>"},
        {"100103E9", "NA\r>"}, // outside the channel's range
        // Coding: the identification again with the new values, as the
        // request catalogue has it.
        {"07303911D7", "036906034AM\r1,4l R4/4V MOT\r3152\rSWC 12345\rWSC 04567\r>"},
        {"0780000000", "?\r>"}, // coding beyond what the unit takes
        {"11303911D7", "NA\r>"},    // no login on this unit
        {"03", "NA\r>"},
        {"05", ">"},
        {"15", "FF\r>"}, // clearing faults resets the readiness tests
        {"ATA3", "0C8\r>"},
        {"ATA2", "?\r>"},
        {"ATA6", "?\r>"},
        {"0G", "?\r>"},
        {"080", "?\r>"},
        {"ATQ", "?\r>"},
        {"ATN3", ">"},
        {"ATD11", "CONNECT B3 P2\r1J0920826C\rKOMBI\rV57\rEXT 0001234\rIMP 007\r>"},
        {"ATN0", ">"},
        {"ATD11", "CONNECT B5 P2\r1J0920826C\rKOMBI\rV57\rEXT 0001234\rIMP 007\r>"},
        {"02", "4657 23\r0012 88\r>"},
        {"05", ">"},
        {"02", "FFFF 88\r>"},
        {"03", "0414\r>"},
        {"03", "0010\r>"},
        {"03", "END\r>"},
        {"03", "0414\r>"},          // a new press after END starts again
        {"07303911D7", "?\r>"}, // no coding on this unit
        {"11303911D7", "OK\r>"},
        {"11303A11D7", "NA\r>"}, // wrong code: the unit hangs up
        {"0801", "ERROR\r>"},
        {"ATD15", "CONNECT B4 P1\r1C0909605F\r>"},
        {"02", "0A\r>"},
        {"15", "ERROR\r>"},
        {"0802", "ERROR\r>"},
        {"0801", "ERROR\r>"}, // refused words are the unit's own
        {"ATH", ">"},
        {"02", "ERROR\r>"},
        {"atz", "RESET\rVandrix Pro v2.1\r>"},
    };
    SimEngine e(fixture());
    for (const Row& r : rows)
        EXPECT_EQ(exchange(e, r.command), r.reply) << "command " << r.command;
    EXPECT_EQ(e.commandCount(), int(std::size(rows)));
}

TEST(SimEngine, ValuesMoveWithTheClock) {
    SimEngine e(fixture());
    exchange(e, "ATD01");
    EXPECT_EQ(exchange(e, "0802", 0), "01 C8 0A\r>");
    EXPECT_EQ(exchange(e, "0802", 5'000'000), "01 C8 1E\r>"); // half a period: the top
    EXPECT_EQ(exchange(e, "0802", 10'000'000), "01 C8 0A\r>");
}

TEST(SimEngine, CommandsArriveInPiecesAndLongOnesAreRefused) {
    SimEngine e(fixture());
    std::vector<std::string> seen;
    e.setTranscriptSink([&](int n, int64_t t, std::string_view cmd) {
        seen.push_back(std::to_string(n) + "@" + std::to_string(t) + ":" + std::string(cmd));
    });
    e.receive("AT", 10);
    EXPECT_EQ(e.takeAllOutput(), "");
    e.receive("d01\r\n\r", 20); // LF carries nothing; the lone CR is a command
    EXPECT_TRUE(e.takeAllOutput().starts_with("CONNECT B4 P1\r"));
    e.receive(std::string(300, '0') + "\r", 30);
    EXPECT_EQ(e.takeAllOutput(), "?\r>");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], "1@20:ATd01"); // as sent, case and all
    EXPECT_EQ(seen[1], "2@20:");
    EXPECT_EQ(seen[2], "3@30:" + std::string(SimEngine::MaxCommandChars, '0'));
}

TEST(SimEngine, PacingAndKLineDelayHoldRepliesBack) {
    SimEngine e(fixture());
    e.setPacing(true);
    e.setKLineDelayMs(100);
    std::string out;

    e.receive("ATZ\r", 0); // the chip answers itself: no K-line delay
    const size_t atz = std::string("RESET\rVandrix Pro v2.1\r>").size();
    e.takeOutput(519, out);
    EXPECT_EQ(out, "");
    EXPECT_EQ(e.nextOutputUs(), 520);
    e.takeOutput(10 * 520, out);
    EXPECT_EQ(out, "RESET\rVand");
    e.takeOutput(int64_t(atz) * 520, out);
    EXPECT_EQ(out.size(), atz);
    EXPECT_EQ(e.nextOutputUs(), -1);

    out.clear();
    const int64_t t0 = 1'000'000;
    e.receive("ATD01\r", t0); // goes over the K-line
    e.takeOutput(t0 + 100'000, out);
    EXPECT_EQ(out, "");
    EXPECT_EQ(e.nextOutputUs(), t0 + 100'520);
    e.takeOutput(t0 + 100'000 + 13 * 520, out);
    EXPECT_EQ(out, "CONNECT B4 P1");
}
