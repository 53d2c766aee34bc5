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
    if (r.outcome == Outcome::Ok) // a recovered fault leaves the session working
        EXPECT_EQ(car.ask(req(RequestKind::Group, 2)).outcome, Outcome::Ok);
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
