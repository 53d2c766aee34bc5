// vandrix-sim as its own process, reached through the program's real serial
// port and command channel.
#include "link/command_channel.h"
#include "link/interface_connection.h"
#include "link/port_factory.h"
#include "link/serial_port.h"
#include "support/program_port.h"
#include "support/sim_process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList readUntilPrompt(CommandChannel& ch) {
    QStringList lines;
    for (QString l = ch.ReadReply(true, false); l != u">"; l = ch.ReadReply(true, false))
        lines << l;
    return lines;
}

} // namespace

TEST(VandrixSim, ServesTheProgramsDialogueAndRecordsIt) {
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyVANDRIX");
    const QString transcript = dir.filePath("transcript.txt");
    SimProcess sim({"--link", link, "--transcript", transcript});
    ASSERT_TRUE(sim.firstLine().startsWith("/dev/pts/")) << sim.firstLine().toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim.firstLine());

    {
        TSerialPort port;
        OpenLikeTheProgram(port, link);
        CommandChannel ch(port);

        ch.SendText("\r"); // wake-up
        EXPECT_EQ(ch.ReadReplyLine(false), "OK");
        EXPECT_EQ(ch.ReadReplyLine(false), ">");

        ch.SendText("ATZ\r");
        EXPECT_EQ(readUntilPrompt(ch), QStringList({"RESET", "Vandrix Pro v2.1"}));

        ch.SendText("ATD03\r");
        const QString connect = ch.ReadReplyLine(false);
        ASSERT_TRUE(connect.startsWith("CONNECT")) << connect.toStdString();
        EXPECT_EQ(connect.at(9), '4');
        EXPECT_EQ(connect.back(), '1');
        const QStringList ident = readUntilPrompt(ch);
        ASSERT_GE(ident.size(), 3);
        EXPECT_EQ(ident[0], "1J0907379P");

        ASSERT_TRUE(ch.SendCommand("0801"));
        QStringList group{ch.LastReply};
        group += readUntilPrompt(ch);
        ASSERT_EQ(group.size(), 4);
        for (const QString& l : group)
            EXPECT_TRUE(
                QRegularExpression("^[0-9A-F]{2} [0-9A-F]{2} [0-9A-F]{2}$").match(l).hasMatch())
                << l.toStdString();

        ASSERT_TRUE(ch.SendCommand("02"));
        QStringList faults{ch.LastReply};
        faults += readUntilPrompt(ch);
        EXPECT_EQ(faults, QStringList({"011B 23", "0122 24"}));

        EXPECT_FALSE(ch.SendCommand("ATH")); // the prompt alone
    }

    EXPECT_EQ(sim.terminate(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link is cleaned up";
    QFile t(transcript);
    ASSERT_TRUE(t.open(QIODevice::ReadOnly));
    QStringList sent;
    for (const QByteArray& line : t.readAll().split('\n')) {
        const QList<QByteArray> cols = line.split('\t');
        if (cols.size() == 3)
            sent << cols[0] + ":" + cols[2];
    }
    EXPECT_EQ(sent, QStringList({"1:", "2:ATZ", "3:ATD03", "4:0801", "5:02", "6:ATH"}));
}

TEST(VandrixSim, FaultsFromTheCommandLineReachTheProgram) {
    SimProcess sim({"--fault", "dataerror@02", "--fault", "unplug@0801"});
    ASSERT_TRUE(sim.firstLine().startsWith("/dev/pts/"));
    TSerialPort port;
    OpenLikeTheProgram(port, sim.firstLine());
    CommandChannel ch(port);

    ch.SendText("ATD01\r");
    EXPECT_TRUE(ch.ReadReplyLine(false).startsWith("CONNECT"));
    readUntilPrompt(ch);
    EXPECT_THROW(ch.SendCommand("02"), EDataError);
    EXPECT_EQ(ch.ReadReplyLine(false), ">");
    // Pulled adapter: the port reports it at once, not after 5 s of silence.
    EXPECT_THROW(ch.SendCommand("0801"), ESerialPort);
}

TEST(VandrixSim, HelpAndBadOptions) {
    SimProcess help({"--help"});
    const QByteArray text = help.firstLine().toLocal8Bit() + help.restOfOutput();
    EXPECT_EQ(help.terminate(), 0);
    for (const char* word :
         {"--scenario", "--link", "--transcript", "--pace", "--kline-ms", "--fault", "silence",
          "dataerror", "garbage", "longline", "noprompt", "unplug"})
        EXPECT_TRUE(text.contains(word)) << word;

    // Refused at once with the usage status, never served half-configured:
    // a line fault needs the plain cable it would act on.
    for (const QStringList& args :
         {QStringList{"--fault", "boom@1"}, QStringList{"--line-fault", "no-sync#2"},
          QStringList{"--plain-cable", "--line-fault", "bogus"}}) {
        SimProcess bad(args);
        EXPECT_EQ(bad.firstLine(), "") << args.join(' ').toStdString();
        EXPECT_EQ(bad.exitStatus(), 2) << args.join(' ').toStdString();
    }
}

namespace {
struct QuietView : ConnectionObserver {
    TSerialPort& port;
    QString device;
    QStringList panels{"", "", "", ""};
    int errors = 0;
    QuietView(TSerialPort& p, const QString& d) : port(p), device(d) {}
    void attemptStarted(int) override {}
    bool openPort() override { return OpenConnectionPort(port, device).ok(); }
    void chipIdentified(const QString& line) override { panels[2] = line; }
    void connected(int speedCode, ProtocolKind) override {
        panels[1] = KLineSpeedText(speedCode) + " Baud";
    }
    // The boxes the window shows: 305 and 306 only.
    void attemptFailed(AttemptEnd end, const AttemptSeen&) override {
        errors += end == AttemptEnd::NoInterface || end == AttemptEnd::NoChip;
    }
};
} // namespace

// The connection set-up reads a fixed number of lines per wake-up CR and
// per reset; the simulator's replies must line up with it exactly.
TEST(VandrixSim, TheRealConnectionSetUpAcceptsIt) {
    SimProcess sim;
    ASSERT_TRUE(sim.firstLine().startsWith("/dev/pts/"));
    TSerialPort port;
    CommandChannel ch(port);
    QuietView view(port, sim.firstLine());
    InterfaceInfo info;
    ASSERT_TRUE(ConnectInterface(2, ch, InterfaceSettings{}, info, view, nullptr));
    EXPECT_EQ(info.ChipVersion, 2.1);
    EXPECT_EQ(info.Protocol, ProtocolKind::KW2000);
    EXPECT_EQ(view.panels[1], "9600 Baud");
    EXPECT_EQ(view.panels[2], "Vandrix Pro v2.1");
    EXPECT_EQ(ch.ReadReply(true, false), "09G927750FA"); // the identification follows
    port.Close();

    EXPECT_FALSE(ConnectInterface(4, ch, InterfaceSettings{}, info, view, nullptr));
    EXPECT_EQ(view.errors, 0);
}
