// Named line faults of the unit simulator, each with the outcome the core
// must reach: a retry that succeeds, or the failure the chip reports.
#include "virtual_car.h"

using namespace kline_test;

struct FaultCase {
    const char* name;
    const char* faults;
    int address;
    bool connects;         // the session comes up
    BusFault connectFault; // else why not
    Outcome groupOutcome;  // a group read after connecting
    size_t minRetries;     // inits announced as retried
    bool echo = true;      // the cable echoes
};

class KLineLineFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(KLineLineFaults, EndAsTheyMust) {
    const FaultCase& c = GetParam();
    VirtualCar car(c.faults, 0, {}, c.echo);
    const auto e = car.connect(c.address);
    ASSERT_TRUE(e.has_value());
    EXPECT_GE(car.count(CoreEvent::Retrying), c.minRetries);
    if (!c.connects) {
        EXPECT_EQ(e->kind, CoreEvent::ConnectFailed);
        EXPECT_EQ(e->fault, c.connectFault) << busFaultName(e->fault);
        return;
    }
    ASSERT_EQ(e->kind, CoreEvent::Identified) << busFaultName(e->fault);
    const Reply r = car.ask(req(RequestKind::Group, 1));
    EXPECT_EQ(r.outcome, c.groupOutcome) << busFaultName(r.fault);
    if (r.outcome == Outcome::Ok) { // a recovered fault leaves the session working
        EXPECT_EQ(car.ask(req(RequestKind::Group, 2)).outcome, Outcome::Ok);
    }
}

std::string faultName(const testing::TestParamInfo<FaultCase>& i) {
    return i.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Demo, KLineLineFaults,
    testing::Values(
        FaultCase{"NoSyncOnce", "no-sync#1", 1, true, BusFault::None, Outcome::Ok, 1},
        FaultCase{"NoSyncEver", "no-sync#9", 1, false, BusFault::NoSync, Outcome::Ok, 2},
        FaultCase{"UnitAt10400", "rate=10400", 1, true, BusFault::None, Outcome::Ok, 0},
        FaultCase{"UnitAt4800", "rate=4800", 1, true, BusFault::None, Outcome::Ok, 0},
        FaultCase{"UnitAt1200", "rate=1200", 0x17, true, BusFault::None, Outcome::Ok, 0},
        FaultCase{"RepeatedSync", "repeated-sync", 1, true, BusFault::None, Outcome::Ok, 0},
        FaultCase{"StrayBytes", "stray-bytes", 1, true, BusFault::None, Outcome::Ok, 0},
        FaultCase{"LateComplementInIdentification", "late-complement#3", 1, true, BusFault::None,
                  Outcome::Ok, 0},
        FaultCase{"WrongComplement", "wrong-complement#2", 1, true, BusFault::None, Outcome::Ok, 0},
        // The engine's identification takes twelve complements; from the group on
        // every one is late: three tries, then the exchange fails.
        FaultCase{"LateComplementsEveryTime", "late-complement#13+", 1, true, BusFault::None,
                  Outcome::Failed, 0},
        FaultCase{"LostByte", "lost-byte#2", 1, true, BusFault::None, Outcome::Ok, 0},
        FaultCase{"LostByteInAnswer", "lost-byte#6", 3, true, BusFault::None, Outcome::Ok, 0},
        FaultCase{"SilenceAfterIdentification", "silence-after#5", 1, true, BusFault::None,
                  Outcome::Failed, 0},
        FaultCase{"Kw2000Pending", "pending#3", 2, true, BusFault::None, Outcome::Ok, 0},
        FaultCase{"Kw2000BadChecksumOnce", "bad-checksum#3", 2, true, BusFault::None, Outcome::Ok,
                  0},
        FaultCase{"Kw2000BadChecksumTwice", "bad-checksum#3,bad-checksum#4", 2, true,
                  BusFault::None, Outcome::Failed, 0},
        FaultCase{"Kw2000SilenceAfter", "silence-after#2", 2, true, BusFault::None, Outcome::Failed,
                  0},
        FaultCase{"NoEchoCable", "", 1, true, BusFault::None, Outcome::Ok, 0, false},
        FaultCase{"NoEchoCableKw2000", "", 2, true, BusFault::None, Outcome::Ok, 0, false}),
    faultName);

TEST(KLineLineFaults, PendingAnswerWaitsItsThreeSeconds) {
    VirtualCar car("pending#3");
    ASSERT_EQ(car.connect(2)->kind, CoreEvent::Identified);
    const Micros t0 = car.line.now();
    EXPECT_EQ(car.ask(req(RequestKind::Group, 1)).outcome, Outcome::Ok);
    EXPECT_GE(car.line.now() - t0, msec(3000));
}

TEST(KLineLineFaults, AStalledTesterFindsTheUnitGone) {
    VirtualCar car;
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    car.line.run(car.line.now() + msec(1300)); // the tester misses its keep-alives
    const Reply r = car.ask(req(RequestKind::Group, 1));
    EXPECT_EQ(r.outcome, Outcome::Failed);
}

TEST(KLineLineFaults, AUnitThatIgnoresTheEndIsLeftToTimeOut) {
    VirtualCar car("ignore-end");
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    car.core.disconnect(car.line.now());
    ASSERT_TRUE(car.until({CoreEvent::Ended}).has_value());
    const Micros ended = car.line.now();
    const size_t mark = car.testerActions.size();
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    // The next address waits until the unit has let go of the old session.
    Micros firstEdge = -1;
    for (size_t i = mark; i < car.testerActions.size() && firstEdge < 0; ++i)
        if (car.testerActions[i].kind == LineAction::BreakOn)
            firstEdge = car.testerActions[i].at;
    EXPECT_GE(firstEdge - ended, msec(1000));
    EXPECT_TRUE(car.unit.violations().empty()) << car.unit.violations().front();
}

TEST(KLineLineFaults, EchoOfOwnAddressAfterTheFlushIsNotTakenForTheSync) {
    // A 16 ms latency timer hands the break echo over after the flush.
    VirtualCar car("", msec(16));
    const auto e = car.connect(1);
    ASSERT_TRUE(e && e->kind == CoreEvent::Identified);
    EXPECT_EQ(car.count(CoreEvent::Retrying), 0u);
}

// A converter that refuses one way of sending the address gets the other at
// once, and keeps it; one that refuses both fails at once with its own fault,
// not after three silent inits.
struct AddressCase {
    const char* name;
    bool refuseBreak;
    bool refuse5Baud;
    FiveBaudMethod asked;
    bool connects;
    FiveBaudMethod used;
};

class KLineAddressMethod : public testing::TestWithParam<AddressCase> {};

TEST_P(KLineAddressMethod, FallsBackOrSaysWhy) {
    const AddressCase& c = GetParam();
    VirtualCar car;
    car.converter.refuseBreak = c.refuseBreak;
    car.converter.refuse5Baud = c.refuse5Baud;
    ConnectParams p;
    p.method = c.asked;
    const Micros t0 = car.line.now();
    const auto e = car.connect(1, p);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(car.count(CoreEvent::Retrying), 0u);
    if (!c.connects) {
        EXPECT_EQ(e->kind, CoreEvent::ConnectFailed);
        EXPECT_EQ(e->fault, BusFault::CannotAddress) << busFaultName(e->fault);
        EXPECT_LT(car.line.now() - t0, msec(1000));
        return;
    }
    ASSERT_EQ(e->kind, CoreEvent::Identified) << busFaultName(e->fault);
    for (const CoreEvent& ev : car.events) {
        if (ev.kind == CoreEvent::Connected) {
            EXPECT_EQ(ev.method, c.used);
        }
    }
    // The next address goes the working way straight away.
    car.core.disconnect(car.line.now());
    ASSERT_TRUE(car.until({CoreEvent::Ended}).has_value());
    const size_t mark = car.testerActions.size();
    ASSERT_EQ(car.connect(3, p)->kind, CoreEvent::Identified);
    for (size_t i = mark; i < car.testerActions.size(); ++i) {
        const LineAction& a = car.testerActions[i];
        EXPECT_FALSE(c.used == FiveBaudMethod::UartByte && a.kind == LineAction::BreakOn);
        EXPECT_FALSE(c.used == FiveBaudMethod::BreakEdges && a.kind == LineAction::SetRate &&
                     a.rate == 5);
    }
    EXPECT_TRUE(car.violations().empty()) << car.violations().front();
}

INSTANTIATE_TEST_SUITE_P(
    Converters, KLineAddressMethod,
    testing::Values(AddressCase{"NoBreak", true, false, FiveBaudMethod::BreakEdges, true,
                                FiveBaudMethod::UartByte},
                    AddressCase{"No5Baud", false, true, FiveBaudMethod::UartByte, true,
                                FiveBaudMethod::BreakEdges},
                    AddressCase{"NeitherAskingBreaks", true, true, FiveBaudMethod::BreakEdges,
                                false, FiveBaudMethod::BreakEdges},
                    AddressCase{"NeitherAsking5Baud", true, true, FiveBaudMethod::UartByte, false,
                                FiveBaudMethod::UartByte}),
    [](const testing::TestParamInfo<AddressCase>& i) { return std::string(i.param.name); });

// A unit that will not clear its faults: refused, never "done", and the
// faults are still there (KW1281 answers 0A, KW2000 7F 14 31).
TEST(KLineLineFaults, ARefusedClearIsReportedAndTheFaultsStay) {
    for (const int address : {3, 2}) {
        VirtualCar car({}, 0, {}, true, [](SimScenario& s) {
            for (SimUnit& u : s.units) {
                u.refuse.push_back("05");
                if (u.dtcs.empty())
                    u.dtcs = {{283, 35}};
            }
        });
        ASSERT_EQ(car.connect(address)->kind, CoreEvent::Identified) << address;
        const Reply before = car.ask(req(RequestKind::ReadFaults));
        ASSERT_FALSE(before.faults.empty()) << address;
        EXPECT_EQ(car.ask(req(RequestKind::ClearFaults)).outcome, Outcome::Refused) << address;
        EXPECT_EQ(car.ask(req(RequestKind::ReadFaults)).faults.size(), before.faults.size())
            << address;
    }
}

// A NAK is a request to send again (up to five times); a unit that NAKs
// every time refuses.
TEST(KLineLineFaults, ANakedRequestGoesAgain) {
    const struct {
        const char* faults;
        int group;
        Outcome outcome;
        int sends;
    } cases[] = {
        {"nak#1", 1, Outcome::Ok, 2},
        {"nak#1,nak#2,nak#3", 1, Outcome::Ok, 4},
        {"", 99, Outcome::Refused, 6}, // no such group: 0A every time
    };
    for (const auto& c : cases) {
        VirtualCar car(c.faults);
        ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
        const size_t mark = car.testerActions.size();
        EXPECT_EQ(car.ask(req(RequestKind::Group, c.group)).outcome, c.outcome) << c.faults;
        const std::vector<uint8_t> sent = car.testerBytes(mark);
        int sends = 0;
        for (size_t i = 2; i < sent.size(); ++i)
            sends += sent[i] == 0x29 && sent[i - 2] == 0x04;
        EXPECT_EQ(sends, c.sends) << c.faults;
        EXPECT_EQ(car.ask(req(RequestKind::Group, 2)).outcome, Outcome::Ok) << c.faults;
    }
}

// The echo allowance follows the latency the core is set for: a converter
// slower than the default still connects and reads.
class KLineSlowConverter : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(KLineSlowConverter, WorksWhenTheCoreIsToldItsLatency) {
    const auto [latency, address] = GetParam();
    Timing t;
    t.latency = msec(latency);
    VirtualCar car("", msec(latency), t);
    const auto e = car.connect(address);
    ASSERT_TRUE(e && e->kind == CoreEvent::Identified) << (e ? busFaultName(e->fault) : "none");
    for (int i = 0; i < 4; ++i) {
        const Reply r = car.ask(req(RequestKind::Group, 1 + i % 2));
        EXPECT_EQ(r.outcome, Outcome::Ok) << busFaultName(r.fault);
    }
    for (const std::string& v : car.violations())
        ADD_FAILURE() << v;
}

INSTANTIATE_TEST_SUITE_P(Latency, KLineSlowConverter,
                         testing::Combine(testing::Values(22, 32), testing::Values(1, 2)));

// A stalled USB transfer hands our echo over 170 ms late, behind the unit's
// first try at its block: the late echo is ours, not a block length.
TEST(KLineLineFaults, ALateEchoIsNeverTakenForTheUnitsBlock) {
    VirtualCar car;
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    const size_t mark = car.testerActions.size();
    ASSERT_TRUE(car.core.request(req(RequestKind::Group, 1), car.line.now()));
    // The request block 04 cc 29 01 03: stall once its final 03 is out.
    size_t end = 0;
    car.tester.runUntil(car.line.now() + msec(2000), [&] {
        int writes = 0;
        for (size_t i = mark; i < car.testerActions.size(); ++i)
            if (car.testerActions[i].kind == LineAction::Write && ++writes == 5) {
                end = i + 1;
                return true;
            }
        return false;
    });
    ASSERT_GT(end, 0u);
    ASSERT_EQ(car.testerActions[end - 1].bytes, std::vector<uint8_t>{0x03});
    car.converter.stall(msec(170));
    const auto e = car.until({CoreEvent::Answered, CoreEvent::LinkLost});
    ASSERT_TRUE(e.has_value());
    const std::vector<uint8_t> after = car.testerBytes(end);
    ASSERT_FALSE(after.empty());
    EXPECT_NE(after.front(), 0xFC); // the complement of 03 taken as a length
    if (!car.core.connected()) {
        car.until({CoreEvent::LinkLost}, msec(1)); // what the failed answer left queued
        ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    }
    EXPECT_EQ(car.ask(req(RequestKind::Group, 2)).outcome, Outcome::Ok);
}

// A stall in the middle of an exchange: every request still ends within its
// deadline, and the two sides never trade blocks out of step; a lost link
// is reported so the session can be opened anew.
class KLineStall : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(KLineStall, EveryRequestEndsInTimeAndTheLinkComesBack) {
    const auto [after, stall] = GetParam();
    VirtualCar car;
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    const Micros limit = car.core.timing().requestLimit + msec(500);
    Outcome last = Outcome::Failed;
    for (int i = 0; i < 6; ++i) {
        if (!car.core.connected()) {
            const auto c = car.connect(1);
            ASSERT_TRUE(c && c->kind == CoreEvent::Identified)
                << i << " " << (c ? busFaultName(c->fault) : "none");
        }
        const Request r =
            i % 3 == 2 ? req(RequestKind::ReadFaults) : req(RequestKind::Group, 1 + i % 3);
        ASSERT_TRUE(car.core.request(r, car.line.now())) << i;
        if (i == 0) {
            car.tester.runUntil(car.line.now() + msec(after));
            car.converter.stall(msec(stall));
        }
        const auto e = car.until({CoreEvent::Answered, CoreEvent::LinkLost}, limit);
        ASSERT_TRUE(e.has_value()) << "request " << i << " without an answer";
        last = e->kind == CoreEvent::Answered ? e->reply.outcome : Outcome::Failed;
        if (last == Outcome::Failed) {
            EXPECT_FALSE(car.core.connected());
            if (e->kind == CoreEvent::Answered) { // the loss follows the failed answer
                EXPECT_TRUE(car.until({CoreEvent::LinkLost}, msec(1)).has_value());
            }
        }
    }
    EXPECT_EQ(last, Outcome::Ok);
}

INSTANTIATE_TEST_SUITE_P(Stalls, KLineStall,
                         testing::Combine(testing::Values(20, 60, 100),
                                          testing::Values(40, 100, 160)));

// A unit whose answer does not end is cut off at the block cap.
TEST(KLineLineFaults, AnEndlessAnswerIsCutOff) {
    VirtualCar car({}, 0, {}, true, [](SimScenario& s) {
        for (SimUnit& u : s.units)
            if (u.address == 1)
                u.dtcs.assign(200, SimDtc{1234, 35});
    });
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    const Micros t0 = car.line.now();
    const Reply r = car.ask(req(RequestKind::ReadFaults));
    EXPECT_EQ(r.outcome, Outcome::Failed);
    EXPECT_EQ(r.fault, BusFault::TooLong) << busFaultName(r.fault);
    EXPECT_LE(car.line.now() - t0, car.core.timing().requestLimit + msec(500));
}

// Noise on an idle line (one byte, with or without a framing error) is no
// part of the next answer, in either protocol.
class KLineNoise : public testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(KLineNoise, AByteWhileIdleCostsNothing) {
    const auto [address, framingError] = GetParam();
    VirtualCar car;
    ASSERT_EQ(car.connect(address)->kind, CoreEvent::Identified);
    car.idle(msec(100));
    car.converter.inject({uint8_t(framingError ? 0x00 : 0x55), framingError, car.line.now()});
    car.idle(msec(5));
    for (const int group : {1, 2}) {
        const Reply r = car.ask(req(RequestKind::Group, group));
        EXPECT_EQ(r.outcome, Outcome::Ok) << busFaultName(r.fault);
    }
    EXPECT_TRUE(car.core.connected());
}

INSTANTIATE_TEST_SUITE_P(Idle, KLineNoise,
                         testing::Combine(testing::Values(1, 2), testing::Bool()));

// Starts a request and holds the converter's input for hold once the
// tester has written `writes` bytes of the exchange; the answer, and how
// long the request took.
std::pair<std::optional<CoreEvent>, Micros> askWithStall(VirtualCar& car, const Request& r,
                                                         int writes, Micros hold) {
    const size_t mark = car.testerActions.size();
    const Micros t0 = car.line.now();
    EXPECT_TRUE(car.core.request(r, t0));
    car.tester.runUntil(t0 + msec(2000), [&] {
        int n = 0;
        for (size_t i = mark; i < car.testerActions.size(); ++i)
            n += car.testerActions[i].kind == LineAction::Write;
        return n >= writes;
    });
    car.converter.stall(hold);
    const auto e = car.until({CoreEvent::Answered, CoreEvent::LinkLost});
    return {e, car.line.now() - t0};
}

// The unit's answer held back by the converter (a USB transfer that
// stalls) for 40 to 160 ms, from one of its bytes on: a KW1281 block goes
// on, or the unit starts it again and the restart is told from the held
// byte, by the held byte's own stamp or, when the driver stamps its reads,
// by the protocol's times; a KW2000 answer is asked for again and the held
// one not taken for its echo or its answer. The link stays up either way.
class KLineHeldByte : public testing::TestWithParam<std::tuple<int, bool, int>> {};

TEST_P(KLineHeldByte, IsToleratedInsideAnAnswer) {
    const auto [hold, stampAtRead, address] = GetParam();
    VirtualCar car;
    car.converter.stampAtRead = stampAtRead;
    ASSERT_EQ(car.connect(address)->kind, CoreEvent::Identified);
    // KW1281: request 04 cc 29 01 03, then the complements of the answer's
    // length, counter and title: the next byte held is a value's. KW2000:
    // the request frame's six bytes: the answer is held from its start.
    const int writes = address == 1 ? 8 : 6;
    const auto [e, took] = askWithStall(car, req(RequestKind::Group, 1), writes, msec(hold));
    ASSERT_TRUE(e.has_value());
    ASSERT_EQ(e->kind, CoreEvent::Answered);
    EXPECT_EQ(e->reply.outcome, Outcome::Ok) << busFaultName(e->reply.fault);
    EXPECT_EQ(e->reply.bytes.size(), 12u);
    EXPECT_LT(took, msec(1000));
    for (const int group : {2, 3})
        EXPECT_EQ(car.ask(req(RequestKind::Group, group)).outcome, Outcome::Ok);
    EXPECT_EQ(car.count(CoreEvent::LinkLost), 0u);
}

INSTANTIATE_TEST_SUITE_P(Holds, KLineHeldByte,
                         testing::Combine(testing::Values(40, 60, 80, 100, 130, 160),
                                          testing::Bool(), testing::Values(1, 2)));

// A converter that holds our block's final 03 back until the unit has given
// the block up: the unit takes the 03 for the start of a block of its own
// and answers it with FC. That is no block of 252 bytes: ours goes again.
TEST(KLineLineFaults, AFinalByteTooLateGoesAgainNotAnswered) {
    VirtualCar car;
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    const size_t mark = car.testerActions.size();
    ASSERT_TRUE(car.core.request(req(RequestKind::Group, 1), car.line.now()));
    car.tester.runUntil(car.line.now() + msec(2000), [&] {
        return car.testerBytes(mark).size() >= 4; // 04 cc 29 01, not yet the 03
    });
    car.converter.delayNextWrite(msec(80));
    const auto e = car.until({CoreEvent::Answered, CoreEvent::LinkLost});
    ASSERT_TRUE(e && e->kind == CoreEvent::Answered);
    EXPECT_EQ(e->reply.outcome, Outcome::Ok) << busFaultName(e->reply.fault);
    const std::vector<uint8_t> sent = car.testerBytes(mark);
    int sends = 0;
    for (size_t i = 2; i < sent.size(); ++i)
        sends += sent[i] == 0x29 && sent[i - 2] == 0x04;
    EXPECT_EQ(sends, 2); // the request, and the request again
    EXPECT_EQ(car.ask(req(RequestKind::Group, 2)).outcome, Outcome::Ok);
    EXPECT_EQ(car.count(CoreEvent::LinkLost), 0u);
}

// A 50 ms stall anywhere in an exchange, in the request or in the answer,
// the bytes stamped when they came or when the stalled reader took them:
// it costs at most a block's restart (the unit's time-out, 165 ms, and the
// block again), never the link.
class KLineShortStall : public testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(KLineShortStall, CostsABlockAtMost) {
    const auto [writes, stampAtRead] = GetParam();
    VirtualCar car;
    car.converter.stampAtRead = stampAtRead;
    ASSERT_EQ(car.connect(1)->kind, CoreEvent::Identified);
    const Micros t0 = car.line.now();
    ASSERT_EQ(car.ask(req(RequestKind::Group, 1)).outcome, Outcome::Ok);
    const Micros usual = car.line.now() - t0;
    const auto [e, took] = askWithStall(car, req(RequestKind::Group, 1), writes, msec(50));
    ASSERT_TRUE(e.has_value());
    ASSERT_EQ(e->kind, CoreEvent::Answered);
    EXPECT_EQ(e->reply.outcome, Outcome::Ok) << busFaultName(e->reply.fault);
    EXPECT_LE(took, 2 * usual + 3 * car.core.timing().byteTimeout + msec(50)) << usual;
    EXPECT_EQ(car.ask(req(RequestKind::Group, 2)).outcome, Outcome::Ok);
    EXPECT_EQ(car.count(CoreEvent::LinkLost), 0u);
}

INSTANTIATE_TEST_SUITE_P(Everywhere, KLineShortStall,
                         testing::Combine(testing::Range(1, 21, 2), testing::Bool()));

// A converter slower than the core's latency setting: the echoes show it
// (or the driver states it, the only way on a cable without echo) and the
// waits widen; every window is still met.
struct SlowCase {
    const char* name;
    int latency;
    int address;
    bool echo;
    int stated; // the driver's latency timer, -1: none
};

class KLineLearnsLatency : public testing::TestWithParam<SlowCase> {};

TEST_P(KLineLearnsLatency, AndKeepsTheLink) {
    const SlowCase& c = GetParam();
    VirtualCar car("", msec(c.latency), {}, c.echo);
    car.converter.statedLatency = c.stated < 0 ? -1 : msec(c.stated);
    const auto e = car.connect(c.address);
    ASSERT_TRUE(e && e->kind == CoreEvent::Identified) << (e ? busFaultName(e->fault) : "none");
    for (int i = 0; i < 4; ++i) {
        const Reply r = car.ask(req(i == 3 ? RequestKind::ReadFaults : RequestKind::Group, 1 + i));
        EXPECT_EQ(r.outcome, Outcome::Ok) << i << " " << busFaultName(r.fault);
    }
    car.idle(msec(2500)); // keep-alive, tester present
    EXPECT_EQ(car.ask(req(RequestKind::Group, 1)).outcome, Outcome::Ok);
    EXPECT_GE(car.core.latency(), std::max(car.core.timing().latency, msec(c.latency) * 9 / 10));
    EXPECT_LE(car.core.latency(), EchoFilter::LatencyCap);
    for (const std::string& v : car.violations())
        ADD_FAILURE() << v;
}

INSTANTIATE_TEST_SUITE_P(
    Converters, KLineLearnsLatency,
    testing::Values(SlowCase{"Fast", 0, 1, true, -1}, SlowCase{"TimerDefault", 16, 1, true, -1},
                    SlowCase{"Slow", 32, 1, true, -1}, SlowCase{"SlowKw2000", 32, 2, true, -1},
                    SlowCase{"SlowStated", 32, 1, true, 32},
                    SlowCase{"SlowWithoutEcho", 32, 1, false, 32},
                    SlowCase{"SlowWithoutEchoKw2000", 32, 2, false, 32}),
    [](const testing::TestParamInfo<SlowCase>& i) { return std::string(i.param.name); });
