// The plain cable in real time: vandrix-sim --plain-cable in its own process
// on a pseudo-terminal, the termios driver, the software chip on its line
// thread, the command channel and the program's connection set-up.
#include "kline/termios_kline.h"
#include "link/command_channel.h"
#include "link/interface_connection.h"
#include "softchip/soft_chip_stream.h"
#include "support/qt_printers.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>

namespace {

struct PlainView : ConnectionObserver {
    ByteStream* port = nullptr;
    QString panels[4];
    QList<AttemptEnd> errors;
    void attemptStarted(int) override {}
    bool openPort() override {
        port->Open();
        return true;
    }
    void chipIdentified(const QString& line) override { panels[2] = line; }
    void connected(int speedCode, ProtocolKind protocol) override {
        panels[1] = KLineSpeedText(speedCode) + QStringLiteral(" Baud");
        panels[3] = ProtocolName(protocol);
    }
    void attemptFailed(AttemptEnd end, const AttemptSeen&) override { errors << end; }
};

SoftChipStream::Opener cableAt(const QString& path) {
    return [path](int* err, QString*) -> std::unique_ptr<kline::KLinePort> {
        auto port = std::make_unique<kline::TermiosKLine>();
        const kline::PortResult r = port->open(path.toStdString());
        if (!r.ok) {
            *err = r.error;
            return nullptr;
        }
        return port;
    };
}

SoftChipOptions overAPseudoTerminal() {
    SoftChipOptions o;
    o.method = kline::FiveBaudMethod::UartByte; // a terminal carries no breaks
    o.timing.latency = kline::msec(30);         // a loaded machine: wide margins
    return o;
}

QStringList reply(CommandChannel& channel) {
    QStringList lines;
    for (QString l = channel.ReadReplyLine(false); !l.isEmpty(); l = channel.ReadReplyLine(false)) {
        lines << l;
        if (l == QLatin1String(">"))
            break;
    }
    return lines;
}

} // namespace

TEST(SoftChipProcess, ConnectsReadsAndEndsThroughTheProgramsSetup) {
    SimProcess sim({"--plain-cable", "--line-fault", "rate=10400"});
    ASSERT_TRUE(sim.started());
    SoftChipStream stream(sim.terminalPath(), cableAt(sim.terminalPath()), overAPseudoTerminal());
    CommandChannel channel(stream);
    PlainView view;
    view.port = &stream;
    InterfaceInfo info;
    ASSERT_TRUE(ConnectInterface(1, channel, InterfaceSettings{}, info, view, nullptr))
        << int(info.End);
    EXPECT_EQ(view.panels[1], "10400 Baud");
    EXPECT_EQ(view.panels[2], "Vandrix Pro SW v1.0");
    EXPECT_EQ(view.panels[3], "KW 1281");
    EXPECT_LT(info.ChipVersion, 2.0);
    const QStringList ident = reply(channel);
    EXPECT_EQ(ident.value(0), "036906034AM");
    EXPECT_EQ(ident.value(3), "SWC 00031");
    channel.SendText("0801\r");
    EXPECT_EQ(reply(channel).size(), 5);
    channel.SendText("02\r");
    EXPECT_EQ(reply(channel), (QStringList{"FFFF 88", ">"}));
    channel.SendText("ATH\r");
    EXPECT_EQ(reply(channel), QStringList{">"});
    stream.Close();
}

// The converter pulled out mid-session: the program's next read fails as
// with a chip interface pulled out, and closing takes no time.
TEST(SoftChipProcess, AConverterPulledOutIsAFailureOfTheStream) {
    auto sim =
        std::make_unique<SimProcess>(QStringList{"--plain-cable", "--line-fault", "rate=10400"});
    ASSERT_TRUE(sim->started());
    SoftChipStream stream(sim->terminalPath(), cableAt(sim->terminalPath()), overAPseudoTerminal());
    CommandChannel channel(stream);
    stream.Open();
    channel.SendText("ATZ\r");
    ASSERT_EQ(reply(channel).size(), 3);
    channel.SendText("ATD01\r");
    QStringList connect = reply(channel);
    connect.removeAll(QStringLiteral("\r")); // a retry on a loaded machine
    ASSERT_EQ(connect.value(0), "CONNECT B6 P1");
    sim.reset(); // the terminal's other side is gone
    EXPECT_THROW(
        {
            channel.SendText("0801\r");
            for (int i = 0; i < 10; ++i)
                channel.ReadReplyLine(false);
        },
        ESerialPort);
    stream.Close();
}

TEST(SoftChipProcess, ANameThatOpensNothingIsTheOpenFailure) {
    SoftChipStream stream("/nonexistent/ttyUSB9", cableAt("/nonexistent/ttyUSB9"));
    try {
        stream.Open();
        FAIL() << "opened";
    } catch (const ESerialPort& e) {
        EXPECT_EQ(e.Code, SE_OpenFailed);
        EXPECT_EQ(e.WinCode, ENOENT);
    }
    EXPECT_FALSE(stream.Connected());
}
