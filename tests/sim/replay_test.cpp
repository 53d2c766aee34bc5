// A recording served back as an interface: commands matched in order,
// unknown ones refused and noted, recorded timing and hang-ups kept.
#include "link/recording.h"
#include "sim/replay_engine.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// A session: wake-up, reset, connect, two polls with different values, a
// fault read, the end; then a second connect whose link hangs up.
const QByteArray Session = R"(# Vandrix recording
# Unit: 001 [01]
      0 * open /dev/ttyUSB0
      1 > \r
      3 < OK\r
      3 < >
     10 > ATZ\r
     40 < RESET\r
     41 < Vandrix Pro v2.1\r
# Chip: Vandrix Pro v2.1
     41 < >
     50 > ATD01\r
    350 < CONNECT B4 P1\r
    360 < 036906034AM\r
    360 < >
    400 > 0801\r
    430 < 01 19 A0\r
    431 < >
    500 > 0801\r
    530 < 01 19 B0\r
    531 < >
    600 > 02\r
    650 < FFFF 88\r
    650 < >
    700 > ATH\r
    701 < >
    710 * close
    800 * open /dev/ttyUSB0
    810 > ATD02\r
    900 < CONNECT B4 P2\r
    950 * failed: ReadFile function failed (Error: 5): the device hung up
)";

struct Served {
    ReplayEngine engine;
    std::vector<std::string> notes; // "N TEXT NOTE" for each command
    int64_t now = 0;

    explicit Served(bool pace)
        : engine(ReplayEngine::exchangesOf(Recording::parse(Session)), pace) {
        engine.setTranscriptSink([this](int n, int64_t, std::string_view cmd,
                                        std::string_view note) {
            notes.push_back(std::to_string(n) + ' ' + std::string(cmd) + ' ' + std::string(note));
        });
    }
    // Sends a command and takes everything due within waitUs.
    std::string ask(std::string_view command, int64_t waitUs = 0) {
        engine.receive(std::string(command) + '\r', now);
        now += waitUs;
        std::string out;
        engine.takeOutput(now, out);
        return out;
    }
};
} // namespace

TEST(Replay, AnswersEachCommandWithTheReplyRecordedForItInOrder) {
    Served s(false);
    EXPECT_EQ(s.ask(""), "OK\r>");
    EXPECT_EQ(s.ask("ATZ"), "RESET\rVandrix Pro v2.1\r>");
    EXPECT_EQ(s.ask("ATD01"), "CONNECT B4 P1\r036906034AM\r>");
    EXPECT_EQ(s.ask("0801"), "01 19 A0\r>");
    EXPECT_EQ(s.ask("0801"), "01 19 B0\r>");
    // Polled longer than the original: the latest earlier reply again.
    EXPECT_EQ(s.ask("0801"), "01 19 B0\r>");
    // Not held by the recording at all: refused, and the transcript says so.
    EXPECT_EQ(s.ask("0802"), "?\r>");
    EXPECT_EQ(s.engine.mismatches(), 1);
    // Skipping ahead is fine: the fault read comes next in the recording.
    EXPECT_EQ(s.ask("02"), "FFFF 88\r>");
    EXPECT_EQ(s.ask("ATH"), ">");
    const std::vector<std::string> notes{"1  ",
                                         "2 ATZ ",
                                         "3 ATD01 ",
                                         "4 0801 ",
                                         "5 0801 ",
                                         "6 0801 answered as earlier in the recording",
                                         "7 0802 not in the recording",
                                         "8 02 ",
                                         "9 ATH "};
    EXPECT_EQ(s.notes, notes);
    EXPECT_FALSE(s.engine.linkDropped());
}

TEST(Replay, PacingKeepsTheRecordedDelaysAndAHangUpEndsTheLink) {
    Served s(true);
    s.ask("");
    s.ask("ATZ", 100'000);
    EXPECT_EQ(s.ask("ATD01", 299'000), "");
    std::string out;
    s.now += 1'000;
    s.engine.takeOutput(s.now, out);
    EXPECT_EQ(out, "CONNECT B4 P1\r");
    EXPECT_EQ(s.engine.nextOutputUs(), s.now + 10'000);
    s.ask("ATH", 1'000'000);

    // The second connect of the recording ends in a hang-up after its reply.
    EXPECT_EQ(s.ask("ATD02", 100'000), "CONNECT B4 P2\r");
    EXPECT_TRUE(s.engine.linkDropped());
    EXPECT_EQ(s.engine.nextOutputUs(), -1);
}

TEST(Replay, BytesBeforeTheFirstCommandOrAfterAReopenAnswerNothing) {
    const auto exchanges = ReplayEngine::exchangesOf(Recording::parse(R"(# Vandrix recording
      0 * open /dev/pts/1
      0 < stale\r
      5 > A\r
      6 < one\r
      7 * close
      8 * open /dev/pts/1
      9 < late\r
     10 > B\rC\r
     12 < two\r
)"));
    ASSERT_EQ(exchanges.size(), 3u);
    EXPECT_EQ(exchanges[0].command, "A");
    ASSERT_EQ(exchanges[0].reply.size(), 1u);
    EXPECT_EQ(exchanges[0].reply[0].bytes, "one\r");
    EXPECT_EQ(exchanges[0].reply[0].afterUs, 1000);
    EXPECT_EQ(exchanges[1].command, "B");
    EXPECT_TRUE(exchanges[1].reply.empty());
    EXPECT_EQ(exchanges[2].command, "C");
    ASSERT_EQ(exchanges[2].reply.size(), 1u);
    EXPECT_EQ(exchanges[2].reply[0].bytes, "two\r");
}

namespace {
std::string served(ReplayEngine& engine, std::string_view command) {
    engine.receive(command, 0);
    std::string out;
    engine.takeOutput(0, out);
    return out;
}

void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

// Both forms are served; a plain cable's K-line lines lie below the text
// dialogue and are skipped.
TEST(Replay, ServesPackedRecordingsAndSkipsKLineLines) {
    QTemporaryDir dir;
    const QByteArray withKLine = QByteArray(Session).replace(
        "    400 > 0801\\r\n",
        "    400 > 0801\\r\n    401.250 K> 03 01 08 01 03\n    402.000 K! break 25\n"
        "    410.500 K< 03 01 E7 01\n");
    ASSERT_NE(withKLine, Session);
    write(dir.filePath("plain.vrec"), withKLine);
    QString error;
    ASSERT_TRUE(
        Recording::compress(dir.filePath("plain.vrec"), dir.filePath("packed.vrec.gz"), &error))
        << error.toStdString();
    for (const char* name : {"plain.vrec", "packed.vrec.gz"}) {
        const std::unique_ptr<ReplayEngine> engine =
            ReplayEngine::open(dir.filePath(name), false, &error);
        ASSERT_TRUE(engine) << name << ": " << error.toStdString();
        EXPECT_EQ(served(*engine, "0801\r"), "01 19 A0\r>") << name;
        EXPECT_EQ(engine->mismatches(), 0);
    }
    // The packed form is never overwritten.
    EXPECT_FALSE(
        Recording::compress(dir.filePath("plain.vrec"), dir.filePath("packed.vrec.gz"), &error));
}

// A file that starts like a recording but holds none is refused, as an empty
// or binary one is.
TEST(Replay, ABodyThatIsNoRecordingIsRefused) {
    QTemporaryDir dir;
    const struct {
        const char* what;
        QByteArray text;
    } cases[] = {
        {"header only", "# Vandrix recording\n# Unit: 001 [01]\n"},
        {"bad lines only", "# Vandrix recording\nhello\nworld\n12 ? x\n"},
        {"mostly bad lines", "# Vandrix recording\n 1 > ATZ\\r\nx\ny\nz\n"},
        {"no command", "# Vandrix recording\n 1 < RESET\\r\n"},
    };
    for (const auto& c : cases) {
        write(dir.filePath("r.vrec"), c.text);
        QString error;
        EXPECT_FALSE(ReplayEngine::open(dir.filePath("r.vrec"), false, &error)) << c.what;
        EXPECT_TRUE(error.contains("cannot replay")) << c.what;
    }
}
