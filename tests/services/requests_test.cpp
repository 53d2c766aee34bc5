// Requests and block readers against replies played on a pseudo-terminal.
#include "services/hex_number.h"
#include "services/requests.h"
#include "support/channel_fixture.h"

#include <QStringList>
#include <functional>
#include <vector>

namespace {

struct Requests : ChannelFixture {
    BlockBuffer buffer;
    QStringList notes;
    NoteSink note = [this](const QString& line) { notes << line; };

    // The first n entries, for comparing with a list.
    std::vector<int> entries(int n) const {
        std::vector<int> out;
        for (int e = 1; e <= n; ++e)
            out.push_back(buffer[e]);
        return out;
    }
    bool emptyFrom(int first) const {
        for (int e = first; e <= BlockBuffer::Last; ++e)
            if (buffer[e] != -1)
                return false;
        return true;
    }
};

QByteArray lines(int count, const char* format, int perLine) {
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        QStringList bytes;
        for (int j = 0; j < perLine; ++j)
            bytes << QString::asprintf(format, (i * perLine + j) % 256);
        out += bytes.join(' ').toLatin1() + '\r';
    }
    return out;
}

} // namespace

TEST(HexNumber, LenientStrictAndRequestDigits) {
    struct Case {
        QString text;
        int value; // -1: not a number
    };
    const Case cases[] = {
        {"1A", 26},       {"03E8", 1000},   {"ff", 255},       {"0", 0},
        {"", -1},         {"zz", -1},       {" 1", -1},        {"1 ", -1},
        {"-1", -1},       {"$1", -1},       {"\r", -1},        {"7FFFFFFF", 0x7FFFFFFF},
        {"FFFFFFFF", -1}, {"000000001", 1}, {"100000000", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(HexToIntLenient(c.text), c.value);
        if (c.value != -1 || c.text == "FFFFFFFF")
            EXPECT_EQ(HexToIntStrict(c.text), c.value);
        else
            EXPECT_THROW(HexToIntStrict(c.text), EConvertError);
    }
    try {
        HexToIntStrict("zz");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'$zz' is not a valid integer value");
    }

    EXPECT_EQ(HexDigits(10, 2), "0A");
    EXPECT_EQ(HexDigits(300, 4), "012C");
    EXPECT_EQ(HexDigits(3, 1), "3");
    EXPECT_EQ(HexDigits(0x12C, 2), "12C"); // more digits than the width
}

TEST(BlockBufferEntries, CountFromOneAndHoldFieldsAsTriplets) {
    BlockBuffer b;
    EXPECT_EQ(b[1], -1);
    EXPECT_EQ(b[100], -1);
    EXPECT_THROW(b[0], std::out_of_range);
    EXPECT_THROW(b[101], std::out_of_range);
    b[10] = 1;
    b[11] = 2;
    b[12] = 3;
    const auto f = b.field(4);
    EXPECT_EQ(f.type, 1);
    EXPECT_EQ(f.a, 2);
    EXPECT_EQ(f.b, 3);
    EXPECT_NO_THROW(b.field(33));
    EXPECT_THROW(b.field(34), std::out_of_range);
    b.Clear();
    EXPECT_EQ(b[10], -1);
}

// What each operation sends, with known request texts. The
// interface answers with the bare prompt: a refusal.
TEST_F(Requests, RequestTexts) {
    struct Case {
        std::function<bool()> call;
        QByteArray sent;
    };
    auto done = [](auto f) {
        return [f] {
            f();
            return false;
        };
    };
    const Case cases[] = {
        {[&] { return ReadGroup(channel, buffer, 1, note); }, "0801\r"},
        {[&] { return ReadGroup(channel, buffer, 10, note); }, "080A\r"},
        {[&] { return ReadBasicSetting(channel, buffer, 255); }, "04FF\r"},
        {[&] { return ReadRawGroup(channel, buffer); }, "0800\r"},
        {[&] { return ReadRawBasicSetting(channel, buffer); }, "0400\r"},
        {[&] { return ReadSingleValue(channel, 0); }, "0900\r"},
        {[&] { return RequestFaultCodes(channel); }, "02\r"},
        {done([&] { ClearFaultCodes(channel); }), "05\r"},
        {[&] { return RequestReadiness(channel); }, "15\r"},
        {[&] { return RequestAdaptation(channel, 99); }, "1063\r"},
        {[&] { return SaveAdaptation(channel, 1, 300); }, "1001012C\r"},
        {[&] { return WriteCoding(channel, 12345, 4567); }, "07303911D7\r"},
        {[&] { return WriteCoding(channel, 0, 0); }, "0700000000\r"},
        {[&] { return SendLogin(channel, 12345, 65535); }, "113039FFFF\r"},
        {[&] { return StepOutputTest(channel); }, "03\r"},
        {done([&] { EndDiagnosis(channel); }), "ATH\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sent.toStdString());
        pty.write(">");
        EXPECT_FALSE(c.call());
        EXPECT_EQ(pty.read(), c.sent);
        EXPECT_TRUE(replyConsumed());
    }
    EXPECT_TRUE(emptyFrom(1));
}

TEST_F(Requests, ReadGroupIsLenient) {
    struct Case {
        const char* reply;
        std::vector<int> entries; // from entry 1; all later ones are -1
        int notes;
    };
    const Case cases[] = {
        {"01 05 55\r0E 64 00\r>", {1, 5, 85, 14, 100, 0}, 0},
        {"12 34\r>", {18, 52, -1}, 0},
        {"01 02 03\r\r04 05 06\r>", {1, 2, 3, 4, 5, 6}, 1},
        {"zz 1A G1\r41,0B;11\r>", {-1, 26, -1, 65, 11, 17}, 0},
        {"01 02 03\r\r\r>", {1, 2, 3}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        notes.clear();
        buffer[50] = 7; // a stale entry from an earlier read
        pty.write(c.reply);
        EXPECT_TRUE(ReadGroup(channel, buffer, 1, note));
        const int n = int(c.entries.size());
        EXPECT_EQ(entries(n), c.entries);
        EXPECT_TRUE(emptyFrom(n + 1));
        EXPECT_EQ(notes, QStringList(c.notes, ExtraBytesNote));
        EXPECT_TRUE(replyConsumed());
        pty.read();
    }
}

TEST_F(Requests, RefusedBlockLeavesBufferEmpty) {
    for (const char* reply : {"NA\r>", "ERROR\r>", "?\r>", "\r>", ">"}) {
        SCOPED_TRACE(reply);
        buffer[1] = 5;
        pty.write(reply);
        EXPECT_FALSE(ReadGroup(channel, buffer, 1, note));
        EXPECT_TRUE(emptyFrom(1));
        EXPECT_EQ(channel.LastReply, ">");
        EXPECT_TRUE(replyConsumed());
        pty.read();
    }
}

TEST_F(Requests, LongRepliesFillTheBufferAndAreReadToThePrompt) {
    pty.write(lines(40, "%02X", 3) + ">");
    EXPECT_TRUE(ReadGroup(channel, buffer, 1, note));
    for (int e = 1; e <= 99; ++e)
        ASSERT_EQ(buffer[e], e - 1) << "entry " << e;
    EXPECT_EQ(buffer[100], -1);
    EXPECT_TRUE(replyConsumed());

    // Strict readers do not convert what they drop.
    pty.write(lines(33, "%02X", 3) + "zz zz zz\r>");
    EXPECT_TRUE(ReadBasicSetting(channel, buffer, 1));
    EXPECT_EQ(buffer[99], 98);
    EXPECT_TRUE(replyConsumed());

    pty.write(lines(120, "%X", 1) + ">");
    EXPECT_TRUE(ReadRawGroup(channel, buffer));
    for (int e = 1; e <= 100; ++e)
        ASSERT_EQ(buffer[e], e - 1) << "entry " << e;
    EXPECT_TRUE(replyConsumed());
}

TEST_F(Requests, ReadBasicSettingIsStrict) {
    pty.write("01 05 55\r0E 64 00\r>");
    EXPECT_TRUE(ReadBasicSetting(channel, buffer, 1));
    EXPECT_EQ(entries(6), (std::vector<int>{1, 5, 85, 14, 100, 0}));
    EXPECT_TRUE(emptyFrom(7));

    for (const char* reply : {"01 02 03\r\r04 05 06\r>", "12 34\r>", "01 02 03\r01 zz 03\r>"}) {
        SCOPED_TRACE(reply);
        pty.write(reply);
        EXPECT_THROW(ReadBasicSetting(channel, buffer, 1), EConvertError);
        while (!replyConsumed()) // what the failed read left behind
            channel.ReadReplyLine(false);
    }
}

TEST_F(Requests, ReadRawGroupTakesWholeLines) {
    pty.write("12\rFF\rzz\r>");
    EXPECT_TRUE(ReadRawGroup(channel, buffer));
    EXPECT_EQ(entries(3), (std::vector<int>{18, 255, -1}));
    EXPECT_TRUE(emptyFrom(4));
    EXPECT_EQ(pty.read(), "0800\r");
}

TEST_F(Requests, AdaptationReadAndSave) {
    // Value line, then the block; entries beyond it keep what they held.
    for (int e = 1; e <= 9; ++e)
        buffer[e] = 7;
    pty.write("03E8\r01 02 03\r04 05 06\r>");
    ASSERT_TRUE(RequestAdaptation(channel, 1));
    EXPECT_EQ(ReadAdaptationReply(channel, buffer), "1000");
    EXPECT_EQ(entries(9), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 7, 7}));
    EXPECT_TRUE(replyConsumed());

    // Only the value: the buffer is untouched (the page set entry 1 to 0).
    buffer[1] = 0;
    pty.write("012C\r>");
    ASSERT_TRUE(RequestAdaptation(channel, 2));
    EXPECT_EQ(ReadAdaptationReply(channel, buffer), "300");
    EXPECT_EQ(buffer[1], 0);
    EXPECT_TRUE(replyConsumed());
    EXPECT_EQ(pty.read(), "1001\r1002\r");

    pty.write("zz\r>");
    ASSERT_TRUE(RequestAdaptation(channel, 3));
    EXPECT_THROW(ReadAdaptationReply(channel, buffer), EConvertError);
    channel.ReadReply(true, false);

    pty.write("0001\r01 0x 03\r>");
    ASSERT_TRUE(RequestAdaptation(channel, 3));
    EXPECT_THROW(ReadAdaptationReply(channel, buffer), EConvertError);
    channel.ReadReply(true, false);
    pty.read();

    // An accepted save or login leaves no prompt behind for the next request.
    pty.write("012C\r>");
    EXPECT_TRUE(SaveAdaptation(channel, 1, 300));
    EXPECT_TRUE(replyConsumed());
    pty.write("OK\r>");
    EXPECT_TRUE(SendLogin(channel, 11463, 12345));
    EXPECT_TRUE(replyConsumed());
    pty.write("00\r>");
    ClearFaultCodes(channel);
    EXPECT_TRUE(replyConsumed());
    EXPECT_EQ(pty.read(), "1001012C\r112CC73039\r05\r");
}

TEST_F(Requests, AClearIsRefusedOnlyByAnErrorWord) {
    struct Case {
        const char* reply;
        bool accepted;
    } cases[] = {
        {">", true},         {"00\r>", true}, {"NA\r>", false},
        {"ERROR\r>", false}, {"?\r>", false}, {"\r>", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        pty.write(c.reply);
        EXPECT_EQ(ClearFaultCodes(channel), c.accepted);
        EXPECT_TRUE(replyConsumed());
        EXPECT_EQ(pty.read(), "05\r");
    }
}

TEST_F(Requests, SingleValuesLeaveThePromptToTheCaller) {
    struct Case {
        std::function<bool()> call;
        const char* reply;
        QString lastReply;
    };
    const Case cases[] = {
        {[&] { return RequestReadiness(channel); }, "81\r>", "81"},
        {[&] { return ReadSingleValue(channel, 12); }, "03E8\r>", "03E8"},
        {[&] { return StepOutputTest(channel); }, "END\r>", "END"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        pty.write(c.reply);
        EXPECT_TRUE(c.call());
        EXPECT_EQ(channel.LastReply, c.lastReply);
        EXPECT_EQ(channel.ReadReply(true, false), ">");
    }
}

TEST_F(Requests, InterfaceVoltageReadsItsOwnPrompt) {
    pty.write("0C8\r>");
    EXPECT_TRUE(ReadInterfaceVoltage(channel, 3));
    EXPECT_EQ(channel.LastReply, "0C8");
    EXPECT_TRUE(replyConsumed());
    EXPECT_EQ(pty.read(), "ATA3\r");

    // Refused: the prompt is gone with the error word and nothing more is
    // read, so the next input's reply, already waiting, is its own.
    for (const char* refusal : {"?\r>", ">"}) {
        SCOPED_TRACE(refusal);
        pty.write(QByteArray(refusal) + "200\r>");
        EXPECT_FALSE(ReadInterfaceVoltage(channel, 5));
        EXPECT_TRUE(ReadInterfaceVoltage(channel, 0));
        EXPECT_EQ(channel.LastReply, "200");
        EXPECT_TRUE(replyConsumed());
        EXPECT_EQ(pty.read(), "ATA5\rATA0\r");
    }

    // A reading without its prompt: the extra read sits out the silence.
    fastClock();
    pty.write("200\r");
    EXPECT_TRUE(ReadInterfaceVoltage(channel, 0));
    EXPECT_EQ(channel.LastReply, "200");
    EXPECT_EQ(pty.read(), "ATA0\r");
}

TEST_F(Requests, CommunicationErrorsLeaveAtOnceKeepingWhatWasStored) {
    pty.write("01 02 03\rDATA ERROR\r>");
    EXPECT_THROW(ReadGroup(channel, buffer, 1, note), EDataError);
    EXPECT_EQ(entries(4), (std::vector<int>{1, 2, 3, -1}));
    channel.ReadReply(true, false);

    fastClock();
    pty.write("0A\r0B\r"); // the prompt never comes
    EXPECT_THROW(ReadRawGroup(channel, buffer), EDataError);
    EXPECT_EQ(entries(3), (std::vector<int>{10, 11, -1}));

    Clock::setSource(nullptr);
    pty.write("01 02 03\r");
    pty.closeMaster(); // unplugged mid-reply
    EXPECT_THROW(ReadGroup(channel, buffer, 1, note), ESerialPort);
}
