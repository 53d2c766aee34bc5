// The protocol core against the demo car's units on the virtual K-line:
// connection, identification and every request, byte for byte where a
// published exchange exists.
#include "virtual_car.h"

using namespace kline_test;

TEST(KLineExchanges, EngineConnectsAtItsRateAndReadsGroupOne) {
    VirtualCar car;
    const auto e = car.connect(1);
    ASSERT_TRUE(e.has_value());
    ASSERT_EQ(e->kind, CoreEvent::Identified) << busFaultName(e->fault);
    EXPECT_EQ(e->protocol, Protocol::KW1281);
    EXPECT_EQ(e->rate, 9600);
    EXPECT_EQ(e->identification.lines,
              (std::vector<std::string>{"036906034AM", "1,4l R4/4V MOT", "3152"}));
    EXPECT_EQ(e->identification.coding, 31);
    EXPECT_EQ(e->identification.workshopCode, 12345);
    const Reply r = car.ask(req(RequestKind::Group, 1));
    EXPECT_EQ(r.outcome, Outcome::Ok) << busFaultName(r.fault);
    ASSERT_EQ(r.bytes.size(), 12u);
    EXPECT_EQ(r.bytes[0], 1);
    EXPECT_EQ(r.bytes[3], 5);
    EXPECT_TRUE(car.unit.violations().empty()) << car.unit.violations().front();
}
