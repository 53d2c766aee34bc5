#pragma once
// The software chip on the virtual K-line with the scenario's units behind
// it, and the simulated chip on a memory stream: both on virtual clocks, so
// a test of either costs no wall time. Clock follows the one in use.
#include "config/clock.h"
#include "kline/virtual_kline.h"
#include "link/command_channel.h"
#include "link/memory_stream.h"
#include "sim/kline_unit.h"
#include "sim/sim_engine.h"
#include "softchip/soft_chip_stream.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace softchip_test {

using namespace kline;

inline QString demoCarText() {
    QFile f(QDir(qEnvironmentVariable("VANDRIX_DATA")).filePath("scenarios/demo_car.ini"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return QString::fromUtf8(f.readAll());
}

// The demo car with every moving value held at its start, KW2000 units at
// 10400 baud as a K-line has them, and the device and importer numbers on
// the KW2000 unit: KW1281 has no place for them.
inline QString frozenDemoCarText() {
    QString t = demoCarText();
    t.remove(QRegularExpression(R"(\n(DeviceNumber|Importer)=\d+)"));
    t.replace(QRegularExpression(R"(\[Gearbox\]\n)"),
              QStringLiteral("[Gearbox]\nDeviceNumber=4711\nImporter=444\n"));
    t.replace(QRegularExpression(R"((\d+)\s*[~>%]\s*\d+(?:\.\d+)?(?:@[\d.]+)?)"),
              QStringLiteral("\\1"));
    t.replace(QRegularExpression(R"(Protocol=KW2000(\s*)Baud=\d+)"),
              QStringLiteral("Protocol=KW2000\\1Baud=10400"));
    return t;
}

inline SimScenario scenarioFrom(const QString& text) {
    QTemporaryDir dir;
    const QString path = dir.filePath("car.ini");
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
    f.close();
    SimScenario s;
    QString error;
    EXPECT_TRUE(SimScenario::load(path, &s, &error)) << error.toStdString();
    return s;
}

inline KLineUnitOptions lineOptions(const std::string& list) {
    KLineUnitOptions o;
    std::string error;
    EXPECT_TRUE(KLineUnitOptions::parse(list, &o, &error)) << error;
    return o;
}

// The lines the program reads for one command, up to its prompt; an empty
// line where 5 s passed in silence.
inline QStringList ask(CommandChannel& channel, const QString& command) {
    channel.SendText(command + QStringLiteral("\r"));
    QStringList lines;
    for (int i = 0; i < 200; ++i) {
        const QString line = channel.ReadReplyLine(false);
        lines << line;
        if (line == QLatin1String(">") || line.isEmpty())
            break;
    }
    return lines;
}

struct VirtualSoftChip {
    VirtualKLine line{msec(1000)};
    KLineUnit unit;
    SoftChipStream stream;
    CommandChannel channel{stream};

    explicit VirtualSoftChip(const SimScenario& car, const std::string& faults = {},
                             SoftChipOptions options = {})
        : unit(car, lineOptions(faults)),
          stream(QStringLiteral("virtual"), line.port(VirtualKLine::Tester), options) {
        line.attach(VirtualKLine::Unit, unit, EchoFilter::Mode::Present);
        unit.begin(line.now());
        Clock::setSource([this] { return line.now() / 1000; });
        stream.Open();
    }
    ~VirtualSoftChip() {
        stream.Close();
        Clock::setSource(nullptr);
    }
    QStringList operator()(const QString& command) { return ask(channel, command); }
};

struct SimulatedChip {
    SimEngine engine;
    MemoryByteStream stream;
    CommandChannel channel{stream};

    explicit SimulatedChip(const SimScenario& car) : engine(car) {
        stream.useVirtualClock(1000);
        stream.setResponder([this](const QByteArray& written) {
            engine.receive(written.toStdString(), Clock::nowUs());
            return QByteArray::fromStdString(engine.takeAllOutput());
        });
        stream.Open();
    }
    ~SimulatedChip() { Clock::setSource(nullptr); }
    QStringList operator()(const QString& command) { return ask(channel, command); }
};

} // namespace softchip_test
