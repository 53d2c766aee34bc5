// The fault code read against replies played on a pseudo-terminal.
#include "config/strings.h"
#include "services/fault_codes.h"
#include "services/hex_number.h"
#include "support/channel_fixture.h"

struct FaultCodes : ChannelFixture {};

TEST_F(FaultCodes, FaultCodeReplies) {
    struct Case {
        const char* reply;
        FaultReadOutcome outcome;
        FaultCodeList list;
    };
    using enum FaultReadOutcome;
    const Case cases[] = {
        {"4657 23\r>", Found, {{18007, 35}}},
        // Only the first four and the last two characters count.
        {"465A-xx-A1\r0101A1\r>", Found, {{18010, 0xA1}, {257, 0xA1}}},
        {"4657 23\r0012 88\r0000 23\rFFFF 23\r465A 00\r>", Found, {{18007, 35}, {18010, 0}}},
        {"FFFF 88\r>", Empty, {}},
        // A refusal is no "no errors stored": nothing is known of the memory.
        {"NA\r>", Refused, {}},
        {"ERROR\r>", Refused, {}},
        {"?\r>", Refused, {}},
        {"\r>", Refused, {}},
        {">", Refused, {}},
        {"0A\r>", Unsupported, {}},
        {"0A\r0000 00\rzz\r>", Unsupported, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        pty.write(c.reply);
        FaultCodeList list{{1, 1}}; // an earlier read
        EXPECT_EQ(ReadFaultCodes(channel, list), c.outcome);
        EXPECT_EQ(list, c.list);
        EXPECT_TRUE(replyConsumed());
        EXPECT_EQ(pty.read(), "02\r");
    }
}

TEST_F(FaultCodes, FaultLineThatIsNotHexEndsTheRead) {
    for (const char* reply : {"4657 23\r46G7 23\r>", "4657 2Z\r>", "4657 23\r\r>"}) {
        SCOPED_TRACE(reply);
        pty.write(reply);
        FaultCodeList list;
        EXPECT_THROW(ReadFaultCodes(channel, list), EConvertError);
        while (!replyConsumed())
            channel.ReadReplyLine(false);
    }
    fastClock();
    pty.write("4657 23\r"); // no prompt
    FaultCodeList list;
    EXPECT_THROW(ReadFaultCodes(channel, list), EDataError);
}

TEST(FaultCodeText, EachOutcomeHasItsOwnMessageAndWord) {
    using enum FaultReadOutcome;
    EXPECT_EQ(FaultOutcomeMessageId(Empty), 40);
    EXPECT_EQ(FaultOutcomeMessageId(Found), 40);
    EXPECT_EQ(FaultOutcomeMessageId(Unsupported), 68);
    EXPECT_EQ(FaultOutcomeMessageId(Refused), OutcomeText::FaultMemoryRefused);
    EXPECT_EQ(FaultOutcomeWord(Refused), "refused");
    EXPECT_EQ(FaultOutcomeWord(Unsupported), "unsupported");
}

TEST(FaultCodeText, DigitsAndTableCell) {
    EXPECT_EQ(FaultCodeDigits(257), "00257");
    EXPECT_EQ(FaultCodeDigits(65534), "65534");
    EXPECT_EQ(FaultCodeCell({18007, 35}), "18007\r\n35");
    EXPECT_EQ(FaultCodeCell({1, 0}), "00001\r\n0");
}
