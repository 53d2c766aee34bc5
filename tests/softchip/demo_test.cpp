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
