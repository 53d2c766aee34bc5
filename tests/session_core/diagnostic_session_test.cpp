// DiagnosticSession against a scripted chip in memory: connect, identify, the
// one end policy ("ATH" or not) and the port kept between units.
#include "link/memory_stream.h"
#include "session/diagnostic_session.h"
#include "support/qt_printers.h"

#include <QMap>
#include <cerrno>
#include <gtest/gtest.h>

namespace {
// The session's events in order, by name.
struct Events : SessionObserver {
    QStringList seen;
    PortOpenError openError;
    void attemptStarted(int) override { seen << "started"; }
    void portOpened(const QString&) override { seen << "opened"; }
    void portOpenFailed(const QString&, const PortOpenError& e) override {
        seen << "open failed";
        openError = e;
    }
    void chipIdentified(const QString& line) override { seen << "chip " + line; }
    void connected(int, ProtocolKind p) override { seen << QString("connected %1").arg(int(p)); }
    void attemptFailed(AttemptEnd, const AttemptSeen&) override { seen << "failed"; }
    void identified(const TecuID& id) override { seen << "identified " + id.VAGTyp; }
};

// A chip that answers like the real one; a unit at 0x11 and 0x17.
QMap<QByteArray, QByteArray> chip() {
    const QByteArray ident = "036906034AM\rMotronic\r>";
    return {{"", "\r>"},
            {"ATZ", "\rVandrix Pro v2.1\r>"},
            {"ATIBT05", ">"},
            {"ATBDT28", ">"},
            {"ATN0", ">"},
            {"ATD11", "CONNECT B4 P2\r" + ident},
            {"ATD17", "CONNECT B4 P1\r" + ident},
            {"ATH", ">"},
            {"0801", "01 02 03\r>"}};
}

struct SessionCore : ::testing::Test {
    Events events;
    DiagnosticSession session{events};
    QList<MemoryByteStream*> made; // owned by the session
    QMap<QByteArray, QByteArray> replies = chip();
    QList<QByteArray> commands;
    int openErrno = 0;

    void SetUp() override {
        session.setPortFactory(PortFactory::custom([this](const QString&) {
            auto stream = std::make_unique<MemoryByteStream>();
            stream->useVirtualClock();
            stream->failOpen(openErrno);
            stream->setResponder([this](const QByteArray& written) {
                const QByteArray command = written.chopped(written.endsWith('\r') ? 1 : 0);
                commands << command;
                return replies.value(command, "ERROR\r>");
            });
            made << stream.get();
            return stream;
        }));
    }
};
} // namespace

TEST_F(SessionCore, ConnectsIdentifiesAndSaysATHAfterTheWork) {
    ASSERT_TRUE(session.connect("memory", 0x11));
    EXPECT_EQ(session.identify().VAGTyp, "036 906 034 AM");
    EXPECT_EQ(session.info().Protocol, ProtocolKind::KW2000);
    EXPECT_DOUBLE_EQ(session.info().ChipVersion, 2.1);
    bool polled = false;
    EXPECT_EQ(session.run([&] { polled = session.channel().SendCommand("0801"); }),
              SessionEnd::Stopped);
    EXPECT_TRUE(polled);
    EXPECT_EQ(commands.last(), "ATH");
    EXPECT_FALSE(session.portOpen());
    EXPECT_EQ(events.seen, (QStringList{"started", "opened", "chip Vandrix Pro v2.1", "connected 2",
                                        "identified 036 906 034 AM"}));
}

// Silence and the interface's failures end the session without "ATH"; a
// stop that cuts a wait short still lets the unit go.
TEST_F(SessionCore, TheEndPolicy) {
    struct Case {
        const char* name;
        QByteArray reply; // to "0801"
        bool stop;
        bool athSent;
        std::optional<DataErrorReason> reason; // of the error raised, if any
    } cases[] = {
        {"answered", "01 02 03\r>", false, true, std::nullopt},
        {"silence", "", false, false, DataErrorReason::Silence},
        {"no prompt", "01 02 03\r", false, false, DataErrorReason::NoPrompt},
        {"interface's DATA ERROR", "DATA ERROR\r>", false, false, DataErrorReason::InterfaceSaid},
        {"endless line", QByteArray(600, '7'), false, false, DataErrorReason::EndlessLine},
        {"stopped in a wait", "", true, true, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        replies["0801"] = c.reply;
        bool stop = false;
        session.setStopCheck([&stop] { return stop; });
        ASSERT_TRUE(session.connect("memory", 0x17));
        session.identify();
        commands.clear();
        std::optional<DataErrorReason> raised;
        bool otherError = false;
        try {
            session.run([&] {
                CommandChannel& channel = session.channel();
                stop = c.stop;
                channel.SendCommand("0801");
                if (!c.reply.endsWith('>') && !c.stop && c.reply.endsWith('\r'))
                    channel.ReadReply(true, false); // the prompt that never comes
            });
        } catch (const EDataError& e) {
            raised = e.reason;
        } catch (const std::exception&) {
            otherError = true;
        }
        if (c.reason) {
            EXPECT_EQ(raised, c.reason);
        }
        EXPECT_FALSE(otherError);
        EXPECT_EQ(commands.contains("ATH"), c.athSent);
        EXPECT_FALSE(session.portOpen());
        session.setStopCheck({});
    }
}

TEST_F(SessionCore, ASearchKeepsOnePortOpenBetweenUnits) {
    for (int address : {0x11, 0x17, 0x22}) {
        if (session.connect("memory", address)) {
            session.identify();
            session.endUnit();
        }
    }
    EXPECT_EQ(made.size(), 1);
    EXPECT_EQ(events.seen.count("opened"), 1);
    EXPECT_EQ(commands.count("ATH"), 2);
    EXPECT_EQ(session.info().End, AttemptEnd::UnitSilent); // 0x22 answers ERROR
    session.closePort();
}

TEST_F(SessionCore, APortThatDoesNotOpenSaysWhyAsAValue) {
    openErrno = ENOENT;
    EXPECT_FALSE(session.connect("memory", 0x11));
    EXPECT_EQ(session.info().End, AttemptEnd::PortNotOpened);
    EXPECT_EQ(events.openError.kind, PortOpenFailure::Missing);
    EXPECT_EQ(events.openError.errorNumber, ENOENT);
    EXPECT_TRUE(commands.isEmpty());
}
