// The connection set-up against a scripted interface on a pseudo-terminal.
#include "config/clock.h"
#include "config/strings.h"
#include "link/command_channel.h"
#include "link/interface_connection.h"
#include "link/port_factory.h"
#include "link/serial_port.h"
#include "reports/link_texts.h"
#include "support/program_port.h"
#include "support/pty_pair.h"
#include "support/qt_printers.h"
#include "support/scripted_peer.h"

#include <QMap>
#include <chrono>
#include <gtest/gtest.h>

namespace {
// Keeps the set-up's events as the window shows them: the status panels by
// their string ids ("<22>"), the states, the boxes of 305 and 306.
struct RecordingView : ConnectionObserver {
    TCustomSerialPort* port = nullptr;
    QString device;
    QString panels[7];
    QList<int> states;
    QList<int> errors;
    QStringList details;
    int fixedBaud = -1;
    bool resetCalled = false;

    static QString id(int n) { return QStringLiteral("<%1>").arg(n); }
    void attemptStarted(int baud) override {
        panels[0] = id(22);
        states << 1;
        panels[1] = baud ? QString::number(baud) + " Baud" : QString();
        fixedBaud = baud ? 1 : 0;
    }
    bool openPort() override {
        const bool ok = OpenConnectionPort(*port, device).ok();
        resetCalled = !ok;
        return ok;
    }
    void chipIdentified(const QString& line) override { panels[2] = line; }
    void connected(int speedCode, ProtocolKind protocol) override {
        panels[1] = KLineSpeedText(speedCode) + " Baud";
        panels[0] = id(23);
        states << 2;
        panels[3] = id(24) + ProtocolName(protocol);
    }
    void attemptFailed(AttemptEnd end, const AttemptSeen& seen) override {
        if (end == AttemptEnd::NoInterface || end == AttemptEnd::NoChip) {
            errors << (end == AttemptEnd::NoChip ? 305 : 306);
            details << AttemptSeenText(seen, 17, 0);
        }
        panels[0] = id(6);
        states << 0;
        for (int panel = 1; panel <= 3; ++panel)
            panels[panel].clear();
    }
};

// The German text the table writes as "<id> arguments" (719 has two).
QString seenText(const QString& written) {
    const qsizetype close = written.indexOf('>');
    const int id = written.mid(1, close - 1).toInt();
    const QString rest = written.mid(close + 2);
    if (id == 719)
        return LoadStr(id).arg(rest.section(' ', 0, 0), rest.section(' ', 1));
    return rest.isEmpty() && written.size() == close + 1 ? LoadStr(id) : LoadStr(id).arg(rest);
}

// A chip that answers like the real one unless a test changes a reply.
QMap<QByteArray, QByteArray> goodChip() {
    return {{"", "\r>"},   {"ATZ", "\rVandrix Pro v2.1\r>"}, {"ATIBT05", ">"}, {"ATBDT28", ">"},
            {"ATN0", ">"}, {"ATD11", "CONNECT B4 P1\r"}};
}

struct Connection : ::testing::Test {
    PtyPair pty;
    TSerialPort port;
    CommandChannel channel{port};
    RecordingView view;
    InterfaceInfo info;
    InterfaceSettings settings;

    void SetUp() override {
        view.port = &port;
        view.device = pty.slavePath();
    }
    void TearDown() override { Clock::setSource(nullptr); }

    bool connect(QMap<QByteArray, QByteArray> chip, int address, QStringList* sent = nullptr) {
        ScriptedPeer peer(pty, [chip](const QByteArray& c) { return chip.value(c, "ERROR\r>"); });
        const bool ok = ConnectInterface(address, channel, settings, info, view, nullptr);
        if (sent)
            *sent = peer.received();
        return ok;
    }
    static void fastClock() { UseFastClock(20); }
};
} // namespace

TEST_F(Connection, SendsTheSetupSequenceAndFillsTheStatusBar) {
    QStringList sent;
    ASSERT_TRUE(connect(goodChip(), 17, &sent));
    EXPECT_EQ(sent, (QStringList{"", "", "ATZ", "ATIBT05", "ATBDT28", "ATN0", "ATD11"}));
    EXPECT_EQ(view.panels[0], "<23>");
    EXPECT_EQ(view.panels[1], "9600 Baud");
    EXPECT_EQ(view.panels[2], "Vandrix Pro v2.1");
    EXPECT_EQ(view.panels[3], "<24>KW 1281");
    EXPECT_EQ(view.states, (QList<int>{1, 2}));
    EXPECT_DOUBLE_EQ(info.ChipVersion, 2.1);
    EXPECT_EQ(info.Protocol, ProtocolKind::KW1281);
    EXPECT_EQ(view.fixedBaud, 0);
    EXPECT_TRUE(port.Connected());
}

TEST_F(Connection, ConnectReplyVariants) {
    struct Case {
        QByteArray connectLine;
        int kLineBaud;
        QByteArray atn;
        QString panel1;
        QString panel3;
        int protocol;
    } cases[] = {
        {"CONNECT B4 P2\r", 0, "ATN0", "9600 Baud", "<24>KW 2000", 2},
        {"CONNECT B0 P3\r", 0, "ATN0", " Baud", "<24>KW 1281", 1},
        {"CONNECT B5 P1\r", 14400, "ATN5", "14400 Baud", "<24>KW 1281", 1},
        {"CONNECT B1 P1\r", 10400, "ATN0", "1200 Baud", "<24>KW 1281", 1},
    };
    for (const Case& c : cases) {
        auto chip = goodChip();
        chip.remove("ATN0");
        chip.insert(c.atn, ">");
        chip.insert("ATD11", c.connectLine);
        settings.KLineBaud = c.kLineBaud;
        ASSERT_TRUE(connect(chip, 17)) << c.connectLine.constData();
        EXPECT_EQ(view.panels[1], c.panel1);
        EXPECT_EQ(view.panels[3], c.panel3);
        EXPECT_EQ(int(info.Protocol), c.protocol);
        EXPECT_EQ(view.fixedBaud, KLineSpeedCode(c.kLineBaud) ? 1 : 0);
        port.Close();
    }
}

TEST_F(Connection, FailuresCloseThePortAndTellTheUser) {
    fastClock();
    struct Case {
        const char* name;
        QByteArray command;
        QByteArray reply;
        int message;
        int atzCount;
        AttemptSeen::What seen;
        const char* detail; // what the user reads: the line below the message
        AttemptEnd end;
    } cases[] = {
        {"silent interface", "", "", 306, 0, AttemptSeen::What::Nothing, "<715>",
         AttemptEnd::NoInterface},
        {"silent reset", "ATZ", "", 305, 6, AttemptSeen::What::NoChipName, "<715>",
         AttemptEnd::NoChip},
        {"other chip", "ATZ", "\rOther Chip 1.0\xE9\r>", 305, 6, AttemptSeen::What::NoChipName,
         "<717> \\rOther Chip 1.0\\xE9\\r>", AttemptEnd::NoChip},
        {"unit absent", "ATD11", "ERROR\r>", 0, 1, AttemptSeen::What::ErrorWord, "<719> 11 ERROR",
         AttemptEnd::UnitSilent},
        {"unit silent", "ATD11", "", 0, 1, AttemptSeen::What::UnitSilent, "<718> 11",
         AttemptEnd::UnitSilent},
    };
    for (const Case& c : cases) {
        auto chip = goodChip();
        chip.insert(c.command, c.reply);
        view.errors.clear();
        view.details.clear();
        QStringList sent;
        EXPECT_FALSE(connect(chip, 17, &sent)) << c.name;
        EXPECT_EQ(view.errors, c.message ? QList<int>{c.message} : QList<int>{}) << c.name;
        EXPECT_EQ(info.Seen.what, c.seen) << c.name;
        const QString detail = AttemptSeenText(info.Seen, 17, 0);
        EXPECT_EQ(detail, seenText(QString::fromLatin1(c.detail))) << c.name;
        if (c.message) {
            EXPECT_EQ(view.details, QStringList{detail}) << c.name;
        }
        EXPECT_EQ(sent.count("ATZ"), c.atzCount) << c.name;
        EXPECT_EQ(view.panels[0], "<6>") << c.name;
        EXPECT_EQ(view.states.last(), 0) << c.name;
        EXPECT_FALSE(port.Connected()) << c.name;
        EXPECT_EQ(info.End, c.end) << c.name;
    }
}

TEST_F(Connection, ReplyFormsOfOtherInterfacesNeverLeaveAStalePrompt) {
    struct Case {
        const char* name;
        QByteArray command;
        QByteArray reply;
    } cases[] = {
        {"reset answer with one more line", "ATZ", "\rVandrix Pro v2.1\rOK\r>"},
        {"reset answer with two more lines", "ATZ", "RESET\rVandrix Pro v2.1\r\rOK\r>"},
        {"timing refused", "ATIBT05", "ERROR\r>"},
        {"block delay refused", "ATBDT28", "DATA ERROR\r>"},
        {"speed refused", "ATN0", "ERROR\r>"},
        {"CR LF line ends", "ATZ", "\r\nVandrix Pro v2.1\r\n>"},
    };
    for (const Case& c : cases) {
        auto chip = goodChip();
        chip.insert(c.command, c.reply);
        if (QByteArray(c.name).startsWith("CR LF")) {
            for (auto it = chip.begin(); it != chip.end(); ++it)
                it.value().replace("\r", "\r\n");
        }
        QStringList sent;
        EXPECT_TRUE(connect(chip, 17, &sent)) << c.name;
        EXPECT_EQ(sent.last(), "ATD11") << c.name;
        EXPECT_EQ(view.panels[2], "Vandrix Pro v2.1") << c.name;
        EXPECT_EQ(view.panels[3], "<24>KW 1281") << c.name;
        EXPECT_EQ(info.End, AttemptEnd::Connected) << c.name;
        port.Close();
    }
}

TEST_F(Connection, NegativeTimesGoOutAsTheirBitPattern) {
    settings.InterByteTime = -5;
    settings.BlockDelayTime = -1;
    auto chip = goodChip();
    chip.insert("ATIBTFFFFFFFB", ">");
    chip.insert("ATBDTFFFFFFFF", ">");
    QStringList sent;
    EXPECT_TRUE(connect(chip, 17, &sent));
    EXPECT_TRUE(sent.contains("ATIBTFFFFFFFB"));
    EXPECT_TRUE(sent.contains("ATBDTFFFFFFFF"));
}

TEST_F(Connection, AResetThatNeverComesTakesSixSilencesAtMost) {
    fastClock();
    auto chip = goodChip();
    chip.insert("ATZ", "");
    const int64_t start = Clock::nowMs();
    QStringList sent;
    EXPECT_FALSE(connect(chip, 17, &sent));
    EXPECT_EQ(sent.count("ATZ"), 6);
    EXPECT_EQ(view.errors, QList<int>{305});
    // Each attempt ends after its first 5 s without a character.
    EXPECT_LT(Clock::nowMs() - start, 6 * 5000 + 5000);
}

TEST_F(Connection, ACancelEndsTheAttemptAtItsNextWait) {
    auto chip = goodChip();
    chip.insert("ATZ", "");
    // The user presses Disconnect while the reset answer is awaited.
    const auto t0 = std::chrono::steady_clock::now();
    channel.setCancelCheck(
        [&] { return std::chrono::steady_clock::now() - t0 > std::chrono::milliseconds(300); });
    QStringList sent;
    EXPECT_FALSE(connect(chip, 17, &sent));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_EQ(info.End, AttemptEnd::Cancelled);
    EXPECT_EQ(sent.count("ATZ"), 1);
    EXPECT_TRUE(view.errors.isEmpty());
}

TEST_F(Connection, MalformedConnectLineEndsWithoutMessageAndLeavesCleanUpToTheCaller) {
    auto chip = goodChip();
    chip.insert("ATD11", "CONNECT\r");
    EXPECT_FALSE(connect(chip, 17));
    EXPECT_TRUE(view.errors.isEmpty());
    EXPECT_TRUE(port.Connected());
}

TEST(ChipVersion, ParsedAfterBlankV) {
    EXPECT_DOUBLE_EQ(ParseChipVersion("Vandrix Pro v1.2"), 1.2);
    EXPECT_DOUBLE_EQ(ParseChipVersion("vandrix pro v1.3"), 1.3);
    EXPECT_DOUBLE_EQ(ParseChipVersion("Vandrix Pro v2.0b"), 0.0);
    EXPECT_DOUBLE_EQ(ParseChipVersion("Vandrix Pro"), 0.0);
}

TEST_F(Connection, WithAProbeOnlyALoneEchoedWakeUpIsAPlainCable) {
    // The chip's own answer to the wake-up starts with a lone CR too.
    const CableProbe probe = [](const QByteArray& sent, const QByteArray& received) {
        return sent == received;
    };
    {
        ScriptedPeer peer(pty, [](const QByteArray& c) { return goodChip().value(c, "ERROR\r>"); });
        EXPECT_TRUE(ConnectInterface(17, channel, settings, info, view, nullptr, probe));
    }
    {
        ScriptedPeer cable(pty, [](const QByteArray& c) { return c + "\r"; });
        EXPECT_FALSE(ConnectInterface(17, channel, settings, info, view, nullptr, probe));
        EXPECT_EQ(cable.received(), QStringList{""});
    }
    EXPECT_EQ(info.End, AttemptEnd::PlainCable);
    // Not a failure the user is told of; the port is closed for the cable.
    EXPECT_TRUE(view.errors.isEmpty());
    EXPECT_EQ(view.states.count(0), 0);
    EXPECT_FALSE(port.Connected());
}
