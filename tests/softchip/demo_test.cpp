// The plain-cable demo in real time: the software chip over the demo car's
// units on the paced virtual K-line, as the demo entry runs it.
#include "virtual_soft_chip.h"

#include "sim/kline_demo.h"
#include "support/qt_printers.h"

using namespace softchip_test;

TEST(KLineDemo, EveryKindOfPageAnswersInRealTime) {
    const QString car =
        QDir(qEnvironmentVariable("VANDRIX_DATA")).filePath("scenarios/demo_car.ini");
    auto stream = makeKLineDemoStream(QStringLiteral("demo-kline"), car);
    CommandChannel channel(*stream);
    stream->Open();
    EXPECT_EQ(ask(channel, "ATZ").value(1), "Vandrix Pro SW v1.0");
    const QStringList ident = ask(channel, "ATD17");
    EXPECT_EQ(ident.value(0), "CONNECT B4 P1");
    EXPECT_EQ(ident.value(4), "VWZ7Z0W0123456");
    EXPECT_EQ(ask(channel, "0801").size(), 5);
    EXPECT_EQ(ask(channel, "1130393039"), (QStringList{"OK", ">"}));
    EXPECT_EQ(ask(channel, "03"), (QStringList{"040F", ">"}));
    EXPECT_EQ(ask(channel, "ATH"), QStringList{">"});
    stream->Close();
}

TEST(KLineDemo, AScenarioThatCannotBeReadFailsTheOpen) {
    auto stream = makeKLineDemoStream(QStringLiteral("demo-kline"), "/nonexistent/car.ini");
    EXPECT_THROW(stream->Open(), ESerialPort);
    EXPECT_FALSE(stream->Connected());
}

// The demo keeps one car for the run: what one connection changed, the next
// finds; a second maker (another run) starts from the scenario again.
TEST(KLineDemo, OneCarForTheRunKeepsClearedFaultsAcrossConnections) {
    const QString car =
        QDir(qEnvironmentVariable("VANDRIX_DATA")).filePath("scenarios/demo_car.ini");
    const PortFactory::KindMaker maker = KLineDemoMaker(car);
    auto connectTo = [](const PortFactory::KindMaker& make, auto&& steps) {
        PortOpenError error;
        std::unique_ptr<ByteStream> stream = make(QStringLiteral("demo-kline"), error);
        CommandChannel channel(*stream);
        stream->Open();
        ask(channel, "ATZ");
        EXPECT_TRUE(ask(channel, "ATD03").value(0).startsWith("CONNECT"));
        steps(channel);
        ask(channel, "ATH");
        stream->Close();
    };
    QStringList storedFaults;
    connectTo(maker, [&](CommandChannel& channel) {
        storedFaults = ask(channel, "02");
        ASSERT_GT(storedFaults.size(), 2) << "the demo unit stores faults";
        EXPECT_EQ(ask(channel, "05"), QStringList{">"});
    });
    connectTo(maker, [&](CommandChannel& channel) {
        const QStringList after = ask(channel, "02");
        EXPECT_EQ(after.size(), 2) << after.join('|').toStdString();
    });
    connectTo(KLineDemoMaker(car),
              [&](CommandChannel& channel) { EXPECT_EQ(ask(channel, "02"), storedFaults); });
}
