// The command channel against a scripted interface on a pseudo-terminal.
#include "config/clock.h"
#include "link/command_channel.h"
#include "link/memory_stream.h"
#include "link/port_factory.h"
#include "link/serial_port.h"
#include "support/channel_fixture.h"

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <thread>

namespace {
using SteadyClock = std::chrono::steady_clock;
long long msSince(SteadyClock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - t).count();
}

using Channel = ChannelFixture;
} // namespace

TEST_F(Channel, DataLineThenPromptWithoutCR) {
    pty.write("41 0B 11\r>");
    EXPECT_EQ(channel.ReadReplyLine(false), "41 0B 11");
    const auto t = SteadyClock::now();
    EXPECT_EQ(channel.ReadReplyLine(false), ">");
    EXPECT_LT(msSince(t), 100);
}

TEST_F(Channel, LoneCRIsASingleCRForEitherFlag) {
    pty.write("\r\r");
    EXPECT_EQ(channel.ReadReplyLine(false), "\r");
    EXPECT_EQ(channel.ReadReplyLine(true), "\r");
    pty.write("ABC\r");
    EXPECT_EQ(channel.ReadReplyLine(true), "ABC\r");
}

TEST_F(Channel, SilenceRules) {
    fastClock();
    pty.write("OK");
    EXPECT_EQ(channel.ReadReplyLine(false), "OK"); // cut off by the 5 s limit
    EXPECT_EQ(channel.ReadReplyLine(false), "");
    EXPECT_EQ(channel.ReadReplyLine(true), "\r");
    EXPECT_THROW(channel.ReadReply(true, false), EDataError);
    EXPECT_EQ(channel.ReadReply(true, true), "\r");
    EXPECT_EQ(channel.LastReply, "\r");
}

TEST(ChannelPump, SilentReadStillPumpsMessagesEvery50ms) {
    // On the stream's virtual clock: the gaps are the channel's own choice,
    // not the machine's load.
    MemoryByteStream stream;
    stream.useVirtualClock();
    stream.Open();
    stream.feedAt(600, "X\r");
    std::vector<int64_t> pumps;
    CommandChannel channel(stream, [&](int) { pumps.push_back(Clock::nowMs()); });
    EXPECT_EQ(channel.ReadReplyLine(false), "X");
    ASSERT_GE(pumps.size(), 600u / 50);
    int64_t prev = 0;
    for (const int64_t at : pumps) {
        EXPECT_LE(at - prev, 50);
        prev = at;
    }
}

TEST(ChannelPump, ASilentLineEndsWhenTheSilenceLimitIsReached) {
    // Not at the next whole read timeout after it: six silent reset answers
    // take 30 s, not 36.
    MemoryByteStream stream;
    stream.useVirtualClock(1000);
    stream.Open();
    SetConnectionTimeouts(stream);
    CommandChannel channel(stream);
    EXPECT_EQ(channel.ReadReplyLine(false), "");
    EXPECT_GT(Clock::nowMs() - 1000, 5000);
    EXPECT_LE(Clock::nowMs() - 1000, 5001);
}

TEST_F(Channel, SendCommandClassifiesTheFirstLine) {
    struct Case {
        const char* reply;
        bool result;
        const char* lastReply;
        const char* leftUnread;
    } cases[] = {
        {"ERROR\r>", false, ">", ""}, {"?\r>", false, ">", ""},
        {"NA\r>", false, ">", ""},    {"\r>", false, ">", ""},
        {">", false, ">", ""},        {"0A 1B 2C\r01 02 03\r>", true, "0A 1B 2C", "01 02 03"},
    };
    for (const Case& c : cases) {
        pty.write(c.reply);
        EXPECT_EQ(channel.SendCommand("05"), c.result) << c.reply;
        EXPECT_EQ(channel.LastReply, c.lastReply) << c.reply;
        EXPECT_EQ(pty.read(), "05\r");
        if (*c.leftUnread) {
            EXPECT_EQ(channel.ReadReplyLine(false), c.leftUnread);
            EXPECT_EQ(channel.ReadReplyLine(false), ">");
        }
    }
}

TEST_F(Channel, DataErrorRaisesAndLeavesThePromptUnread) {
    pty.write("DATA ERROR\r>");
    EXPECT_THROW(channel.SendCommand("0800"), EDataError);
    EXPECT_EQ(channel.ReadReplyLine(false), ">");
}

TEST_F(Channel, LineFeedsAreDroppedAndALineWithoutEndIsAnError) {
    pty.write("41 0B 11\r\n\n>");
    EXPECT_EQ(channel.ReadReplyLine(false), "41 0B 11");
    EXPECT_EQ(channel.ReadReplyLine(false), ">");

    pty.write(QByteArray(CommandChannel::MaxLineChars, 'X') + "\r");
    EXPECT_EQ(channel.ReadReplyLine(false).size(), CommandChannel::MaxLineChars);
    // One character more than any real reply line: it would flow forever.
    pty.write(QByteArray(CommandChannel::MaxLineChars + 1, 'X'));
    EXPECT_THROW(channel.ReadReplyLine(false), EDataError);
}

TEST_F(Channel, ACancelEndsEveryWaitAtOnce) {
    // The user presses Disconnect 200 ms into each wait.
    auto t0 = SteadyClock::now();
    channel.setCancelCheck([&t0] { return msSince(t0) > 200; });
    pty.write("41 0"); // a line that has begun and stalls
    EXPECT_THROW(channel.ReadReplyLine(false), ECancelled);
    EXPECT_LT(msSince(t0), 1000);
    t0 = SteadyClock::now();
    EXPECT_THROW(channel.Pause(5000), ECancelled);
    EXPECT_LT(msSince(t0), 1000);
    t0 = SteadyClock::now();
    EXPECT_THROW(channel.WaitForInput(5000), ECancelled);
    EXPECT_LT(msSince(t0), 1000);

    // Without the check the channel reads on; what the cut-short read took
    // is gone with it.
    channel.setCancelCheck({});
    pty.write("42\r");
    EXPECT_EQ(channel.ReadReplyLine(false), "42");
}

TEST_F(Channel, HangUpDuringAReadPassesThePortErrorThrough) {
    pty.write("41 0");
    channel.port().WaitReadable(1000);
    pty.closeMaster();
    try {
        channel.ReadReply(true, false);
        FAIL() << "a hung-up port read as data";
    } catch (const ESerialPort& e) {
        EXPECT_EQ(e.Code, SE_ReadFailed);
    }
}

TEST(ChannelPause, WaitsTheTimeWithoutBurningACoreAndKeepsEventsFlowing) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    TSerialPort port;
    CommandChannel channel(port, qtMessagePump);

    int fired = 0;
    QTimer::singleShot(0, [&] { ++fired; });
    channel.Pause(0);
    EXPECT_EQ(fired, 1);

    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++fired; });
    ticker.start(30);
    const auto t = SteadyClock::now();
    const std::clock_t cpu = std::clock();
    channel.Pause(300);
    const double cpuMs = 1000.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC;
    EXPECT_GE(msSince(t), 300);
    EXPECT_LT(msSince(t), 400);
    EXPECT_GE(fired, 5);
    EXPECT_LT(cpuMs, 60.0) << "Pause spins";
}
