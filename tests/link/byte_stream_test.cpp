// The byte stream's one choke point: an observer sees every byte the program
// exchanges with the interface, on the real port and on the in-memory stream
// that tests and fuzz targets use.
#include "link/command_channel.h"
#include "link/memory_stream.h"
#include "link/serial_port.h"
#include "pty_pair.h"

#include <QStringList>
#include <chrono>
#include <gtest/gtest.h>

namespace {
// Keeps the traffic as one line per event, in order.
struct Recorder : TrafficObserver {
    QStringList events;
    void bytesSent(const QByteArray& b, int64_t) override { events << "> " + QString::fromLatin1(b); }
    void bytesReceived(const QByteArray& b, int64_t) override { events << "< " + QString::fromLatin1(b); }
    void streamOpened(const QString& name, int64_t) override { events << "open " + name; }
    void streamClosed(int64_t) override { events << "close"; }
    void streamFailed(const QString& what, int64_t) override { events << "fail " + what; }
    QString received() const
    {
        QString all;
        for (const QString& e : events)
            if (e.startsWith("< "))
                all += e.mid(2);
        return all;
    }
};

long long wallMsSince(std::chrono::steady_clock::time_point t)
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now() - t).count();
}
} // namespace

TEST(ByteStream, ObserverSeesEveryByteOfTheTermiosPortAndItsHangUp)
{
    PtyPair pty;
    TSerialPort port;
    Recorder rec;
    port.setTrafficObserver(&rec);
    port.SetPort(pty.slavePath());
    port.SetReadTotalMultiplier(-1);
    port.SetReadTotalConstant(1000);
    port.Open();
    CommandChannel channel(port);

    pty.write("ELM\r41 0B\r>");
    EXPECT_TRUE(channel.SendCommand("ATI"));
    EXPECT_EQ(pty.read(), "ATI\r");
    EXPECT_EQ(channel.ReadReplyLine(false), "41 0B");
    EXPECT_EQ(channel.ReadReplyLine(false), ">");
    ASSERT_GE(rec.events.size(), 2);
    EXPECT_EQ(rec.events[0], "open " + pty.slavePath());
    EXPECT_EQ(rec.events[1], "> ATI\r");
    // Bytes read in one system call but handed out one by one still count once each.
    EXPECT_EQ(rec.received(), "ELM\r41 0B\r>");

    pty.closeMaster();
    EXPECT_THROW(port.CheckHangUp(), ESerialPort);
    EXPECT_TRUE(rec.events.last().startsWith("fail ")) << rec.events.last().toStdString();
    port.Close();
    EXPECT_EQ(rec.events.last(), "close");
}

TEST(ByteStream, MemoryStreamScriptsADialogueAndRecordsWrites)
{
    MemoryByteStream stream;
    Recorder rec;
    stream.setTrafficObserver(&rec);
    stream.setResponder([](const QByteArray& cmd) {
        return cmd == "ATZ\r" ? QByteArray("Vandrix Pro v2.1\r>") : QByteArray("?\r>");
    });
    stream.Open();
    CommandChannel channel(stream);

    EXPECT_TRUE(channel.SendCommand("ATZ"));
    EXPECT_EQ(channel.LastReply, "Vandrix Pro v2.1");
    EXPECT_EQ(channel.ReadReplyLine(false), ">");
    EXPECT_FALSE(channel.SendCommand("XX"));
    EXPECT_EQ(stream.takeWritten(), "ATZ\rXX\r");
    EXPECT_TRUE(stream.written().isEmpty());
    EXPECT_EQ(rec.received(), "Vandrix Pro v2.1\r>?\r>");

    // A write timeout that lets only part through is what the observer sees.
    stream.limitWrites(2);
    EXPECT_EQ(stream.WriteStr("ABCD"), 2);
    EXPECT_EQ(rec.events.last(), "> AB");
}

TEST(ByteStream, MemoryStreamSilenceCostsNoWallTime)
{
    MemoryByteStream stream;
    stream.useVirtualClock(1000);
    stream.Open();
    CommandChannel channel(stream);
    const auto wall = std::chrono::steady_clock::now();

    // Five seconds of silence on the virtual clock end in DATA ERROR.
    EXPECT_THROW(channel.ReadReply(true, false), EDataError);
    EXPECT_GE(stream.nowMs() - 1000, CommandChannel::SilenceLimitMs);

    // A reply scripted for later arrives when the virtual clock gets there.
    stream.feedAt(stream.nowMs() + 3000, "LATE\r");
    const int64_t asked = stream.nowMs();
    EXPECT_EQ(channel.ReadReply(true, false), "LATE");
    EXPECT_EQ(stream.nowMs() - asked, 3000);
    EXPECT_LT(wallMsSince(wall), 1000);
}

TEST(ByteStream, MemoryStreamFaultsOnDemand)
{
    MemoryByteStream stream;
    stream.failOpen(EACCES);
    try {
        stream.Open();
        FAIL() << "open succeeded";
    } catch (const ESerialPort& e) {
        EXPECT_EQ(e.Code, SE_OpenFailed);
        EXPECT_EQ(e.WinCode, EACCES);
    }
    EXPECT_FALSE(stream.Connected());
    QString s;
    EXPECT_THROW(stream.ReadStr(s, 1), ESerialPort);

    stream.failOpen(0);
    stream.Open();
    stream.feed("AB");
    stream.hangUp();
    // Like an unplugged adapter: the hang-up shows at once, buffered bytes
    // can still be read, then reads fail.
    EXPECT_THROW(stream.CheckHangUp(), ESerialPort);
    EXPECT_EQ(stream.read(5, 0), "AB");
    EXPECT_THROW(stream.read(1, 0), ESerialPort);
    EXPECT_THROW(stream.WriteStr("X"), ESerialPort);

    stream.Close();
    stream.Open();
    stream.feed("stale");
    stream.ClearBuffer(true, true);
    EXPECT_FALSE(stream.WaitReadable(0));
    EXPECT_EQ(stream.pending(), 0);
}
