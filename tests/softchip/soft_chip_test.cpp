// What the software chip says where a plain cable differs from the chip, and
// the 5 s rule while it dials, on the virtual K-line.
#include "virtual_soft_chip.h"

#include "link/interface_connection.h"
#include "services/interface_check.h"
#include "support/qt_printers.h"

using namespace softchip_test;

namespace {

// The Clock times at which reply bytes reached the program.
struct ArrivalTimes : TrafficObserver {
    std::vector<int64_t> times;
    void bytesSent(const QByteArray&, int64_t) override {}
    void bytesReceived(const QByteArray& bytes, int64_t t) override {
        times.insert(times.end(), size_t(bytes.size()), t);
    }
};

SimScenario demoCar() {
    return scenarioFrom(demoCarText());
}

} // namespace

TEST(SoftChip, ResetNamesAChipWithoutVoltageInputs) {
    VirtualSoftChip chip(demoCar());
    const QStringList reset = chip("ATZ");
    ASSERT_EQ(reset, (QStringList{"RESET", "Vandrix Pro SW v1.0", ">"}));
    // Below the first version with inputs: no voltage tab, no voltages command.
    EXPECT_LT(ParseChipVersion(reset[1]), InterfaceCheckResult::FirstVersionWithInputs);
    EXPECT_EQ(chip("ATI"), (QStringList{"Vandrix Pro SW v1.0", ">"}));
    for (const char* input : {"ATA0", "ATA5"})
        EXPECT_EQ(chip(input), (QStringList{"?", ">"})) << input;
    EXPECT_EQ(chip(""), (QStringList{"OK", ">"}));
    EXPECT_EQ(chip("0801"), (QStringList{"ERROR", ">"})) << "no unit connected";
    EXPECT_EQ(chip("ATX"), (QStringList{"?", ">"}));
}

// Speed codes: 10400 is 6 in the CONNECT line only; ATN never carries it;
// ATN5 (14400, beyond a K-line) means automatic on a plain cable.
TEST(SoftChip, SpeedCodesOfAPlainCable) {
    EXPECT_EQ(KLineSpeedCode(10400), 0);
    EXPECT_EQ(KLineSpeedText(6), "10400");
    EXPECT_EQ(KLineSpeedText(6) + " Baud", "10400 Baud");
    struct Case {
        const char* speed;
        const char* address;
        const char* connect;
    } cases[] = {
        {"ATN0", "ATD01", "CONNECT B4 P1"}, // found at 9600
        {"ATN5", "ATD01", "CONNECT B4 P1"}, // automatic as well
        {"ATN4", "ATD01", "CONNECT B4 P1"},
        {"ATN0", "ATD02", "CONNECT B6 P2"}, // KW2000 at 10400
    };
    for (const Case& c : cases) {
        VirtualSoftChip chip(demoCar());
        EXPECT_EQ(chip(c.speed), QStringList{">"});
        EXPECT_EQ(chip(c.address).value(0), c.connect) << c.speed << " " << c.address;
    }
    // A fixed rate the unit does not speak finds no unit.
    VirtualSoftChip chip(demoCar());
    chip("ATN3");
    EXPECT_EQ(chip("ATD01").filter(QStringLiteral("CONNECT")), QStringList{});
}

// While it dials, the program never waits 5 s for a character: an absent
// unit, a unit that needs retries, a unit at another rate.
TEST(SoftChip, DiallingNeverLeavesTheProgramSilentFor5s) {
    struct Case {
        const char* faults;
        const char* address;
        bool connects;
    } cases[] = {
        {"", "ATD04", false},
        {"no-sync#2", "ATD01", true},
        {"no-sync#9", "ATD01", false},
        {"rate=4800", "ATD01", true},
    };
    for (const Case& c : cases) {
        VirtualSoftChip chip(demoCar(), c.faults);
        ArrivalTimes seen;
        chip.stream.setTrafficObserver(&seen);
        const int64_t sent = Clock::nowMs();
        const QStringList lines = chip(c.address);
        EXPECT_EQ(!lines.filter(QStringLiteral("CONNECT")).isEmpty(), c.connects)
            << c.faults << " " << lines.join('|').toStdString();
        if (!c.connects) {
            EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{"ERROR", ">"})) << c.faults;
        }
        int64_t last = sent;
        int64_t longest = 0;
        for (const int64_t t : seen.times) {
            longest = std::max(longest, t - last);
            last = t;
        }
        EXPECT_LT(longest, 5000) << c.faults;
        chip.stream.setTrafficObserver(nullptr);
    }
}

// Between requests the software chip keeps the link alive itself: a unit
// left alone for a minute still answers.
TEST(SoftChip, TheLinkStaysUpBetweenRequests) {
    VirtualSoftChip chip(demoCar());
    ASSERT_TRUE(chip("ATD01").value(0).startsWith("CONNECT"));
    chip.stream.WaitReadable(60'000); // a minute of the program doing nothing
    EXPECT_EQ(chip("0801").size(), 5);
    EXPECT_EQ(chip.unit.connectedAddress(), 1);
    EXPECT_EQ(chip.unit.violations(), std::vector<std::string>{});
}

// What the interface check reports of the cable: its echo, the rate in use
// and the echo's round trip, which a converter's latency timer stretches.
TEST(SoftChip, TheLineFactsShowTheConvertersLatency) {
    for (const Micros latency : {Micros(0), msec(16)}) {
        VirtualSoftChip chip(demoCar());
        chip.line.setLatency(VirtualKLine::Tester, latency);
        ASSERT_TRUE(chip("ATD01").value(0).startsWith("CONNECT")) << latency;
        const SoftChipStream::LineFacts f = chip.stream.lineFacts();
        EXPECT_TRUE(f.echo);
        EXPECT_EQ(f.actualRate, 9600);
        EXPECT_GE(f.echoRoundTrip, latency / 2);
        EXPECT_LE(f.echoRoundTrip, latency + msec(2));
    }
}
