// The identification read against line sequences played on a pseudo-terminal.
#include "config/strings.h"
#include "reports/link_texts.h"
#include "services/identification.h"
#include "support/channel_fixture.h"

namespace {

struct Identification : ChannelFixture {
    TecuID read(const QByteArray& reply, int languageOffset = 0) {
        pty.write(reply);
        TecuID id;
        id.Coding = "stale"; // every field starts empty
        ReadIdentification(channel, id);
        IdentificationTexts(id, languageOffset);
        return id;
    }
};

// The record's fields as the user sees them, in TecuID's order.
struct Want {
    QString VAGTyp, Part, Zusatz, WSC, EXT, IMP, Coding;
    bool Erfolg = false;
};

void expectRecord(const TecuID& got, const Want& want) {
    EXPECT_EQ(got.VAGTyp, want.VAGTyp);
    EXPECT_EQ(got.Part, want.Part);
    EXPECT_EQ(got.Zusatz, want.Zusatz);
    EXPECT_EQ(got.WSC, want.WSC);
    EXPECT_EQ(got.EXT, want.EXT);
    EXPECT_EQ(got.IMP, want.IMP);
    EXPECT_EQ(got.Coding, want.Coding);
    EXPECT_EQ(got.Erfolg, want.Erfolg);
}

} // namespace

TEST_F(Identification, Cases) {
    struct Case {
        QByteArray reply;
        Want want;
    };
    const Case cases[] = {
        // The worked example.
        {"036906034AM\r1,4l R4/4V MOT\r3152\rSWC 00031\rWSC 12345\r>",
         {"036 906 034 AM", "1,4l R4/4V MOT3152\r", "", "12345", "", "", "00031", true}},
        // Line 2 is trimmed at both ends, line 3 kept as read; later lines
        // lose their right end only.
        {"036906034AM  \r  1,4l R4/4V MOT \t\r 3152  \r Zusatz 1  \rMORE\t\r>",
         {"036 906 034 AM  ", "1,4l R4/4V MOT 3152  \r", " Zusatz 1MORE", "", "", "", "", true}},
        // Tagged lines ahead of line 1 do not count; blanks may lead the digits.
        {"WSC 00042\rIMP 123\rEXT    1234\r8E0909518\rAIRBAG\r0001\rSWC 1234\r>",
         {"8E0 909 518", "AIRBAG0001\r", "", "00042", "Gerät: 0001234", "Importeur: 123", "01234",
          true}},
        // Not a number: a letter among the digits, a too-short line.
        {"SWC 0A1234\rWSC\rEXT 12x4567\rIMP -12\r>", {"", "", "", "", "", "", "", true}},
        // Bit 7 of every part number character is dropped (0xC1 -> A).
        {"036906034A\xC1\rX\rY\r>", {"036 906 034 AA", "XY\r", "", "", "", "", "", true}},
        // A lone CR the interface sends is line 1.
        {"\r036906034AM\rMOT\r>", {"", "036906034AMMOT\r", "", "", "", "", "", true}},
        {"036906034AM\r>", {"", "", "", "", "", "", "", true}},
        {"?\rDATA ERROR\r>", {}},
        {">", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        expectRecord(read(c.reply), c.want);
        EXPECT_EQ(channel.LastReply, ">\r");
        EXPECT_TRUE(replyConsumed());
    }
}

TEST_F(Identification, LabelledNumbersFollowTheLanguage) {
    const TecuID id = read("EXT    1234\rIMP 007\r>", EnglishStringOffset);
    EXPECT_EQ(id.EXT, "Tool: 0001234");
    EXPECT_EQ(id.IMP, "Importer: 007");
}

TEST_F(Identification, SilenceIsACommunicationError) {
    fastClock();
    pty.write("036906034AM\r");
    TecuID id;
    EXPECT_THROW(ReadIdentification(channel, id), EDataError);

    pty.write("036906034AM\rMOT");
    pty.closeMaster();
    EXPECT_THROW(ReadIdentification(channel, id), ESerialPort);
}
