// A plain-cable session's recording: the text dialogue as ever and, beside
// it, every byte on the K-line with its time and direction and the edges of
// the 5-baud address; a replay still serves the text alone. Virtual time.
#include "virtual_soft_chip.h"

#include "link/flight_recorder.h"
#include "link/recording.h"
#include "sim/replay_engine.h"
#include "support/qt_printers.h"

using namespace softchip_test;

TEST(LineRecording, KeepsTheTextAndBesideItTheLineBytesAndBreakEdges) {
    QTemporaryDir dir;
    VirtualSoftChip chip(scenarioFrom(frozenDemoCarText()));
    FlightRecorder recorder({}, dir.path());
    recorder.attach(chip.stream);
    RecordingHeader header;
    header.port = QStringLiteral("/dev/ttyUSB0");
    ASSERT_TRUE(recorder.begin(header));
    EXPECT_EQ(chip("ATZ").value(1), "Vandrix Pro SW v1.0");
    EXPECT_TRUE(chip("ATD01").value(0).startsWith("CONNECT"));
    EXPECT_EQ(chip("ATH"), QStringList{">"});
    chip.stream.Close();
    recorder.end();

    const std::optional<Recording::File> file = Recording::read(recorder.path());
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->badLines.isEmpty()) << file->badLines.size();
    QList<QByteArray> edges;
    QByteArray sent, received;
    int64_t lastUs = 0;
    bool ordered = true;
    for (const Recording::Chunk& c : file->chunks) {
        if (!c.isKLine())
            continue;
        const int64_t us = c.ms * 1000 + c.micros;
        ordered = ordered && us >= lastUs;
        lastUs = us;
        if (c.direction == Recording::Direction::KLineEdge)
            edges << c.bytes;
        else if (c.direction == Recording::Direction::KLineSent)
            sent += c.bytes;
        else
            received += c.bytes;
    }
    EXPECT_TRUE(ordered);
    // The idle line, then address 01 at 5 baud: the start bit alone low,
    // then six zero bits and the parity bit in one low run.
    EXPECT_EQ(edges.mid(0, 5),
              (QList<QByteArray>{"release", "break 200", "release", "break 1400", "release"}));
    // The unit's sync and keywords, and the complement of the second one.
    EXPECT_TRUE(received.contains(QByteArray("\x55\x01\x8A", 3))) << received.toHex().constData();
    EXPECT_TRUE(sent.startsWith('\x75')) << sent.toHex().constData();
    // The echo of every byte sent is read back too.
    EXPECT_GE(received.count('\x75'), 1);

    // The text level is served as before.
    QStringList commands;
    for (const ReplayExchange& e : ReplayEngine::exchangesOf(*file))
        commands << QString::fromStdString(e.command);
    EXPECT_EQ(commands, (QStringList{"ATZ", "ATD01", "ATH"}));
}
