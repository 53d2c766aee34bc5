// A strict timing monitor: the unit simulator records every tester timing
// outside its window. The whole dialogue runs at 0, 1 and 16 ms of converter
// latency, where a fixed delay before the keyword's complement would miss.
#include "virtual_car.h"

using namespace kline_test;

class KLineTiming : public testing::TestWithParam<int> {};

TEST_P(KLineTiming, EveryWindowIsMetAtThisLatency) {
    VirtualCar car("", msec(GetParam()));
    for (const int address : {1, 2, 0x17}) {
        const auto e = car.connect(address);
        ASSERT_TRUE(e && e->kind == CoreEvent::Identified)
            << address << " " << (e ? busFaultName(e->fault) : "none");
        for (const Request& r : {req(RequestKind::Group, 1), req(RequestKind::RawGroup),
                                 req(RequestKind::ReadFaults), req(RequestKind::Group, 2)})
            EXPECT_NE(car.ask(r).outcome, Outcome::Failed) << address;
        car.idle(msec(2500)); // keep-alive and tester present
        EXPECT_EQ(car.ask(req(RequestKind::Group, 1)).outcome, Outcome::Ok) << address;
        car.core.disconnect(car.line.now());
        ASSERT_TRUE(car.until({CoreEvent::Ended}).has_value());
    }
    for (const std::string& v : car.unit.violations())
        ADD_FAILURE() << v;
}

INSTANTIATE_TEST_SUITE_P(ConverterLatency, KLineTiming, testing::Values(0, 1, 16));

TEST(KLineTiming, TheMonitorCatchesALateKeywordComplement) {
    Timing t;
    t.complementKw2 = msec(60); // outside 25..50
    VirtualCar car("", 0, t);
    car.connect(1);
    ASSERT_FALSE(car.unit.violations().empty());
    EXPECT_NE(car.unit.violations().front().find("keyword"), std::string::npos);
}

TEST(KLineTiming, TheMonitorCatchesAShortP3) {
    Timing t;
    t.p3Min = msec(10);
    t.blockGap = msec(10);
    VirtualCar car("", 0, t);
    ASSERT_EQ(car.connect(2)->kind, CoreEvent::Identified);
    ASSERT_FALSE(car.unit.violations().empty());
    EXPECT_NE(car.unit.violations().front().find("P3"), std::string::npos);
}
