// A strict timing monitor: the unit simulator records every tester timing
// outside its window. The whole dialogue runs at 0, 1 and 16 ms of converter
// latency, where a fixed delay before the keyword's complement would miss.
#include "virtual_car.h"

#include <algorithm>
#include <functional>

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
    for (const std::string& v : car.violations())
        ADD_FAILURE() << v;
}

INSTANTIATE_TEST_SUITE_P(ConverterLatency, KLineTiming, testing::Values(0, 1, 16));

// Each window the monitor watches, broken on purpose: the monitor says so.
TEST(KLineTiming, TheMonitorCatchesEachWindowBroken) {
    const struct {
        const char* what;
        int address;
        std::function<void(Timing&)> change;
        const char* says;
    } cases[] = {
        {"late keyword complement", 1, [](Timing& t) { t.complementKw2 = msec(60); }, "keyword"},
        {"short P3", 2,
         [](Timing& t) {
             t.p3Min = msec(10);
             t.blockGap = msec(10);
         },
         "P3"},
        // The first address too: the core cannot know the line was quiet.
        {"no quiet line before the first address", 1,
         [](Timing& t) { t.idleBeforeInit = msec(100); }, "idle before the address"},
        {"short 5-baud bits", 1, [](Timing& t) { t.fiveBaudBit = msec(190); }, "5-baud bit"},
        {"complement too soon", 1, [](Timing& t) { t.interByte = 400; }, "R6 >= 1"},
    };
    for (const auto& c : cases) {
        Timing t;
        c.change(t);
        VirtualCar car("", 0, t);
        car.connect(c.address);
        car.ask(req(RequestKind::Group, 1));
        const std::vector<std::string> v = car.violations();
        ASSERT_FALSE(v.empty()) << c.what;
        EXPECT_TRUE(
            std::any_of(v.begin(), v.end(),
                        [&](const std::string& s) { return s.find(c.says) != std::string::npos; }))
            << c.what << ": " << v.front();
    }
}
