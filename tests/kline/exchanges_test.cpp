// The protocol core against the demo car's units on the virtual K-line:
// connection, identification and every request of the catalogue, and the
// bytes of published exchanges.
#include "virtual_car.h"

using namespace kline_test;

namespace {

std::vector<uint8_t> without(const std::vector<uint8_t>& bytes, size_t counterAt) {
    std::vector<uint8_t> b = bytes;
    b.erase(b.begin() + ptrdiff_t(counterAt));
    return b;
}

} // namespace

struct ConnectCase {
    int address;
    Protocol protocol;
    int rate;
    std::vector<std::string> lines;
    int coding;
    int64_t device;
    int importer;
};

class KLineConnect : public testing::TestWithParam<ConnectCase> {};

TEST_P(KLineConnect, WakesTheUnitAndReadsItsIdentification) {
    const ConnectCase& c = GetParam();
    VirtualCar car;
    const Micros t0 = car.line.now();
    const auto e = car.connect(c.address);
    ASSERT_TRUE(e && e->kind == CoreEvent::Identified) << (e ? busFaultName(e->fault) : "none");
    EXPECT_EQ(e->protocol, c.protocol);
    EXPECT_EQ(e->rate, c.rate);
    EXPECT_EQ(e->identification.lines, c.lines);
    EXPECT_EQ(e->identification.coding, c.coding);
    EXPECT_EQ(e->identification.workshopCode, 12345);
    EXPECT_EQ(e->identification.deviceNumber, c.device);
    EXPECT_EQ(e->identification.importer, c.importer);
    // The address alone is 2 s of line time after 300 ms of quiet.
    EXPECT_GE(car.line.now() - t0, msec(2300));
    EXPECT_TRUE(car.unit.violations().empty()) << car.unit.violations().front();
}

INSTANTIATE_TEST_SUITE_P(
    DemoCar, KLineConnect,
    testing::Values(
        ConnectCase{
            1, Protocol::KW1281, 9600, {"036906034AM", "1,4l R4/4V MOT", "3152"}, 31, -1, -1},
        ConnectCase{2, Protocol::KW2000, 10400, {"09G927750FA", "AQ 250 6F", "0542"}, 21, -1, -1},
        // A fourth line comes only on request ("more" flag).
        ConnectCase{0x17,
                    Protocol::KW1281,
                    9600,
                    {"1J0920826C", "KOMBI+WEGFAHRSP VDO", "V57", "VWZ7Z0W0123456"},
                    1262,
                    -1,
                    -1},
        ConnectCase{
            21, Protocol::KW1281, 9600, {"1C0909605F", "04 AIRBAG VW8", "0003"}, 12882, -1, -1}));

TEST(KLineExchanges, NoUnitAtTheAddressFailsAfterThreeInits) {
    VirtualCar car;
    const Micros t0 = car.line.now();
    const auto e = car.connect(0x33);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->kind, CoreEvent::ConnectFailed);
    EXPECT_EQ(e->fault, BusFault::NoSync);
    // Each retry is announced, so the program above never waits in silence.
    EXPECT_EQ(car.count(CoreEvent::Retrying), 2u);
    EXPECT_LT(car.line.now() - t0, msec(3 * 2700));
}

struct RequestCase {
    const char* name;
    int address;
    Request request;
    Outcome outcome;
    std::function<void(const Reply&)> check;
};

class KLineRequests : public testing::TestWithParam<RequestCase> {};

TEST_P(KLineRequests, AnswerAsTheScenarioSays) {
    const RequestCase& c = GetParam();
    VirtualCar car;
    const auto e = car.connect(c.address);
    ASSERT_TRUE(e && e->kind == CoreEvent::Identified);
    const Reply r = car.ask(c.request);
    EXPECT_EQ(r.outcome, c.outcome) << busFaultName(r.fault);
    if (c.check)
        c.check(r);
    // The session goes on after every answer but a refused login.
    if (c.request.kind != RequestKind::Login) {
        const Reply again = car.ask(req(RequestKind::Group, 1));
        EXPECT_EQ(again.outcome, Outcome::Ok);
    }
    EXPECT_TRUE(car.unit.violations().empty()) << car.unit.violations().front();
}

std::string caseName(const testing::TestParamInfo<RequestCase>& i) {
    return i.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    DemoCar, KLineRequests,
    testing::Values(
        RequestCase{"Kw1281Group", 1, req(RequestKind::Group, 3), Outcome::Ok,
                    [](const Reply& r) {
                        ASSERT_EQ(r.bytes.size(), 12u);
                        EXPECT_EQ(r.bytes[3], 25); // G3 field 2: type 25, a 40..160, b 2
                        EXPECT_EQ(r.bytes[5], 2);
                    }},
        RequestCase{"Kw1281GroupMissing", 1, req(RequestKind::Group, 77), Outcome::Refused, {}},
        RequestCase{"Kw1281BasicFallsBackToGroup", 3, req(RequestKind::BasicGroup, 2), Outcome::Ok,
                    [](const Reply& r) { EXPECT_EQ(r.bytes.size(), 6u); }},
        RequestCase{"Kw1281Raw", 1, req(RequestKind::RawGroup), Outcome::Ok,
                    [](const Reply& r) {
                        ASSERT_EQ(r.bytes.size(), 10u);
                        EXPECT_EQ(r.bytes[4], 0x41);
                    }},
        RequestCase{"Kw1281RawBasic", 3, req(RequestKind::RawBasicGroup), Outcome::Ok,
                    [](const Reply& r) { EXPECT_EQ(r.bytes[5], 140); }},
        RequestCase{"Kw1281SingleTwoBytes", 1, req(RequestKind::SingleValue, 2), Outcome::Ok,
                    [](const Reply& r) {
                        EXPECT_GE(r.value, 800);
                        EXPECT_LE(r.value, 900);
                    }},
        RequestCase{
            "Kw1281SingleMissing", 1, req(RequestKind::SingleValue, 9), Outcome::Refused, {}},
        RequestCase{"Kw1281NoFault", 1, req(RequestKind::ReadFaults), Outcome::Ok,
                    [](const Reply& r) {
                        ASSERT_EQ(r.faults.size(), 1u);
                        EXPECT_EQ(r.faults[0].code, 0xFFFF);
                        EXPECT_EQ(r.faults[0].status, 0x88);
                    }},
        RequestCase{"Kw1281TwoFaults", 3, req(RequestKind::ReadFaults), Outcome::Ok,
                    [](const Reply& r) {
                        ASSERT_EQ(r.faults.size(), 2u);
                        EXPECT_EQ(r.faults[0].code, 283);
                        EXPECT_EQ(r.faults[1].status, 36);
                    }},
        RequestCase{"Kw1281Clear", 3, req(RequestKind::ClearFaults), Outcome::Ok, {}},
        RequestCase{"Kw1281ReadinessUnknown", 1, req(RequestKind::Readiness), Outcome::Refused, {}},
        RequestCase{"Kw1281AdaptationRead", 0x17, req(RequestKind::AdaptationRead, 9), Outcome::Ok,
                    [](const Reply& r) {
                        EXPECT_EQ(r.value, 12388);
                        EXPECT_EQ(r.bytes.size(), 6u);
                    }},
        RequestCase{"Kw1281AdaptationSave", 0x17, req(RequestKind::AdaptationSave, 30, 130),
                    Outcome::Ok, [](const Reply& r) { EXPECT_EQ(r.value, 130); }},
        RequestCase{"Kw1281AdaptationOutOfRange",
                    0x17,
                    req(RequestKind::AdaptationSave, 30, 200),
                    Outcome::Refused,
                    {}},
        RequestCase{"Kw1281Coding", 1, req(RequestKind::Coding, 0, 1234, 186), Outcome::Ok,
                    [](const Reply& r) {
                        EXPECT_EQ(r.identification.coding, 1234);
                        EXPECT_EQ(r.identification.workshopCode, 186);
                        EXPECT_EQ(r.identification.lines.size(), 3u);
                    }},
        RequestCase{
            "Kw1281CodingTooHigh", 1, req(RequestKind::Coding, 0, 40000, 1), Outcome::Rejected, {}},
        RequestCase{"Kw1281Login", 0x17, req(RequestKind::Login, 0, 12345, 1), Outcome::Ok, {}},
        RequestCase{
            "Kw1281WrongLogin", 0x17, req(RequestKind::Login, 0, 1, 1), Outcome::Refused, {}},
        RequestCase{"Kw1281OutputTest", 0x17, req(RequestKind::OutputTestStep), Outcome::Ok,
                    [](const Reply& r) { EXPECT_EQ(r.value, 1039); }},
        RequestCase{
            "Kw1281OutputTestRefused", 21, req(RequestKind::OutputTestStep), Outcome::Refused, {}},
        RequestCase{"Kw2000Group", 2, req(RequestKind::Group, 1), Outcome::Ok,
                    [](const Reply& r) {
                        ASSERT_EQ(r.bytes.size(), 12u);
                        EXPECT_EQ(r.bytes[6], 17);
                        EXPECT_EQ(r.bytes[7], 80);
                    }},
        RequestCase{"Kw2000GroupMissing", 2, req(RequestKind::Group, 9), Outcome::Refused, {}},
        RequestCase{"Kw2000NoFaults", 2, req(RequestKind::ReadFaults), Outcome::Ok,
                    [](const Reply& r) { EXPECT_TRUE(r.faults.empty()); }},
        RequestCase{"Kw2000Clear", 2, req(RequestKind::ClearFaults), Outcome::Ok, {}},
        RequestCase{"Kw2000Coding", 2, req(RequestKind::Coding, 0, 22, 54321), Outcome::Ok,
                    [](const Reply& r) {
                        EXPECT_EQ(r.identification.coding, 22);
                        EXPECT_EQ(r.identification.workshopCode, 54321);
                    }},
        RequestCase{
            "Kw2000LoginRefused", 2, req(RequestKind::Login, 0, 1, 1), Outcome::Refused, {}}),
    caseName);

TEST(KLineExchanges, OutputTestsStepToTheirEndAndStartAgain) {
    VirtualCar car;
    ASSERT_EQ(car.connect(0x17)->kind, CoreEvent::Identified);
    std::vector<int> seen;
    for (int i = 0; i < 6; ++i) {
        const Reply r = car.ask(req(RequestKind::OutputTestStep));
        seen.push_back(r.outcome == Outcome::End ? -1 : r.value);
    }
    EXPECT_EQ(seen, (std::vector<int>{1039, 771, 1044, 799, -1, 1039}));
}

TEST(KLineExchanges, ClearedFaultsReadAsNone) {
    VirtualCar car;
    ASSERT_EQ(car.connect(3)->kind, CoreEvent::Identified);
    EXPECT_EQ(car.ask(req(RequestKind::ClearFaults)).outcome, Outcome::Ok);
    const Reply r = car.ask(req(RequestKind::ReadFaults));
    ASSERT_EQ(r.faults.size(), 1u);
    EXPECT_EQ(r.faults[0].code, 0xFFFF);
}

// Published blocks: the tester's bytes without the counter (it depends on
// the session), and codings decoded from real identification blocks.
TEST(KLineExchanges, TesterBlocksMatchPublishedCaptures) {
    VirtualCar car;
    ASSERT_EQ(car.connect(0x17)->kind, CoreEvent::Identified);
    struct {
        Request request;
        std::vector<uint8_t> bytes; // as captured, counter included
    } cases[] = {
        {req(RequestKind::Group, 1), {0x04, 0x40, 0x29, 0x01, 0x03}},
        {req(RequestKind::OutputTestStep), {0x04, 0xC4, 0x04, 0x00, 0x03}},
        {req(RequestKind::Login, 0, 0x2CC7, 186),
         {0x08, 0x78, 0x2B, 0x2C, 0xC7, 0x00, 0x00, 0xBA, 0x03}},
    };
    for (const auto& c : cases) {
        const size_t mark = car.testerActions.size();
        car.ask(c.request);
        const std::vector<uint8_t> sent = car.testerBytes(mark);
        // The tester's block is the run of bytes that are not complements.
        ASSERT_GE(sent.size(), c.bytes.size());
        std::vector<uint8_t> block;
        // Requests are the first bytes written; complements follow later.
        for (size_t i = 0; i < c.bytes.size(); ++i)
            block.push_back(sent[i]);
        EXPECT_EQ(without(block, 1), without(c.bytes, 1));
    }
}

TEST(KLineExchanges, CodingBlocksDecodeAsCaptured) {
    Identification a;
    decodeKw1281Identification({{0x00, 0x07, 0xEE, 0x09, 0x15}}, &a);
    EXPECT_EQ(a.coding, 1015);
    EXPECT_EQ(a.workshopCode, 2325);
    Identification b;
    decodeKw1281Identification({{0x00, 0x00, 0x04, 0x03, 0xC5}}, &b);
    EXPECT_EQ(b.coding, 2);
    EXPECT_EQ(b.workshopCode, 965);
    // The coding write of a capture: 07 A0 10 09 A4 00 BA 03 is coding 1234, WSC 186.
    VirtualCar car;
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    const size_t mark = car.testerActions.size();
    car.ask(req(RequestKind::Coding, 0, 1234, 186));
    const auto sent = car.testerBytes(mark);
    ASSERT_GE(sent.size(), 8u);
    EXPECT_EQ(without(std::vector<uint8_t>(sent.begin(), sent.begin() + 8), 1),
              (std::vector<uint8_t>{0x07, 0x10, 0x09, 0xA4, 0x00, 0xBA, 0x03}));
}

TEST(KLineExchanges, Kw2000FramesAndKeywords) {
    // StartCommunication to unit 01 from the tester, sum checked.
    EXPECT_EQ(kw2000Frame(0x01, 0xF1, {0x81}),
              (std::vector<uint8_t>{0x81, 0x01, 0xF1, 0x81, 0xF4}));
    // A long frame carries its length in a byte of its own.
    const auto f = kw2000Frame(0x10, 0xF1, std::vector<uint8_t>(70, 0x11));
    EXPECT_EQ(f[0], 0x80);
    EXPECT_EQ(f[3], 70);
    EXPECT_EQ(f.size(), 4u + 70 + 1);
    // Address bytes: odd parity in bit 7 (0x17 goes as 0 1110100 1 1).
    EXPECT_EQ(addressByte(0x17), 0x97);
    EXPECT_EQ(addressByte(0x01), 0x01);
    EXPECT_EQ(addressByte(0x01, true), 0x81);
}

TEST(KLineExchanges, Kw2000IdentificationRoundTrips) {
    Identification in;
    in.lines = {"09G927750FA", "AQ 250 6F", "0542"};
    in.coding = 21;
    in.workshopCode = 99999;
    in.importer = 444;
    in.deviceNumber = 4711;
    Identification out;
    decodeKw2000Identification(encodeKw2000Identification(in), &out);
    EXPECT_EQ(out.lines, in.lines);
    EXPECT_EQ(out.coding, 21);
    EXPECT_EQ(out.workshopCode, 99999);
    EXPECT_EQ(out.importer, 444);
    EXPECT_EQ(out.deviceNumber, 4711);
}

TEST(KLineExchanges, KeepsTheLinkAliveWhileIdleAndEndsIt) {
    VirtualCar car;
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    const int blocks = car.unit.blocksSent();
    car.idle(msec(5000)); // the unit drops a link after 1.1 s of silence
    EXPECT_GE(car.unit.blocksSent() - blocks, 10);
    EXPECT_EQ(car.ask(req(RequestKind::Group, 1)).outcome, Outcome::Ok);
    car.core.disconnect(car.line.now());
    ASSERT_TRUE(car.until({CoreEvent::Ended}).has_value());
    car.idle(msec(100));
    EXPECT_EQ(car.unit.connectedAddress(), 0);
    EXPECT_TRUE(car.unit.violations().empty()) << car.unit.violations().front();
}

TEST(KLineExchanges, Kw2000KeepsItsSessionWithTesterPresent) {
    VirtualCar car;
    ASSERT_EQ(car.connect(2)->kind, CoreEvent::Identified);
    car.idle(msec(12000)); // the unit ends a session after 5 s of silence
    EXPECT_EQ(car.ask(req(RequestKind::Group, 3)).outcome, Outcome::Ok);
    EXPECT_TRUE(car.unit.violations().empty()) << car.unit.violations().front();
}

TEST(KLineExchanges, TheAddressByteAt5BaudWorksLikeBreakEdges) {
    VirtualCar car;
    ConnectParams p;
    p.method = FiveBaudMethod::UartByte;
    const auto e = car.connect(0x17, p);
    ASSERT_TRUE(e && e->kind == CoreEvent::Identified) << (e ? busFaultName(e->fault) : "none");
    bool wroteAt5 = false;
    for (const auto& a : car.testerActions)
        wroteAt5 = wroteAt5 || (a.kind == LineAction::SetRate && a.rate == 5);
    EXPECT_TRUE(wroteAt5);
}

TEST(KLineExchanges, Kw2000FastInit) {
    VirtualCar car("fast-init");
    ConnectParams p;
    p.fastInit = true;
    const Micros t0 = car.line.now();
    const auto e = car.connect(2, p);
    ASSERT_TRUE(e && e->kind == CoreEvent::Identified) << (e ? busFaultName(e->fault) : "none");
    EXPECT_EQ(e->protocol, Protocol::KW2000);
    // No 2 s address: the whole connection takes well under a second.
    EXPECT_LT(car.line.now() - t0, msec(1000));
    EXPECT_EQ(car.ask(req(RequestKind::Group, 1)).outcome, Outcome::Ok);
}

TEST(KLineExchanges, RemembersTheRateThatWorked) {
    VirtualCar car;
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    car.core.disconnect(car.line.now());
    car.until({CoreEvent::Ended});
    EXPECT_EQ(car.core.knownRate(1), 9600);
    const size_t mark = car.testerActions.size();
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    // Straight at 9600: no rate change after the address.
    int rates = 0;
    for (size_t i = mark; i < car.testerActions.size(); ++i)
        rates += car.testerActions[i].kind == LineAction::SetRate;
    EXPECT_EQ(rates, 1);
}
