// Bad cables and failing converters under the software chip: each ends with
// a clear outcome, and nothing holds the program longer than 5 s.
#include "virtual_soft_chip.h"

#include "kline/termios_kline.h"
#include "support/qt_printers.h"
#include "support/sim_process.h"

#include <chrono>
#include <deque>

using namespace softchip_test;

namespace {

// A cable between the virtual line and the chip that spoils what comes
// back: every sent byte returns inverted instead of as its echo, or the
// converter fails once a number of bytes have come in.
class BadCable : public KLinePort {
public:
    BadCable(KLinePort& inner, bool garbleEcho, int failAfter)
        : m_inner(inner), m_garble(garbleEcho), m_failAfter(failAfter) {}

    Micros now() const override { return m_inner.now(); }
    PortResult setRate(int baud, int* actual) override {
        m_rate = baud;
        const PortResult r = m_inner.setRate(baud, actual);
        *actual = int(baud * rateFactor);
        return r;
    }
    double rateFactor = 1.0; // the rate the converter takes, against the one asked
    PortResult setBreak(bool on) override { return m_inner.setBreak(on); }
    PortResult write(const uint8_t* bytes, size_t count) override {
        Micros t = now();
        for (size_t i = 0; i < count; ++i) {
            t += byteTime(m_rate);
            if (m_garble)
                m_noise.push_back({uint8_t(~bytes[i]), false, t});
        }
        return m_inner.write(bytes, count);
    }
    PortResult flushInput() override {
        m_noise.clear();
        return m_inner.flushInput();
    }
    long receive(RxByte* out, size_t max) override {
        if (m_failAfter >= 0 && m_received >= m_failAfter)
            return -1;
        RxByte in[64];
        const long n = m_inner.receive(in, std::min<size_t>(max, 64));
        size_t k = 0;
        for (long i = 0; i < n; ++i)
            out[k++] = in[i];
        while (k < max && !m_noise.empty() && m_noise.front().at <= now()) {
            out[k++] = m_noise.front();
            m_noise.pop_front();
        }
        m_received += int(k);
        return long(k);
    }
    PortResult setModemLines(bool dtr, bool rts) override {
        return m_inner.setModemLines(dtr, rts);
    }
    PortResult setLowLatency(bool on) override { return m_inner.setLowLatency(on); }
    bool waitUntil(Micros deadline) override {
        if (!m_noise.empty())
            deadline = std::min(deadline, m_noise.front().at);
        return m_inner.waitUntil(deadline);
    }

private:
    KLinePort& m_inner;
    bool m_garble;
    int m_failAfter;
    int m_rate = 10400;
    int m_received = 0;
    std::deque<RxByte> m_noise;
};

struct BadCableChip {
    VirtualKLine line{msec(1000)};
    KLineUnit unit;
    BadCable cable;
    SoftChipStream stream;
    CommandChannel channel{stream};
    BadCableChip(bool garble, int failAfter)
        : unit(scenarioFrom(demoCarText())),
          cable(line.port(VirtualKLine::Tester), garble, failAfter),
          stream(QStringLiteral("bad cable"), cable, SoftChipOptions{}, EchoFilter::Mode::Detect) {
        line.setEcho(VirtualKLine::Tester, !garble);
        line.attach(VirtualKLine::Unit, unit, EchoFilter::Mode::Present);
        unit.begin(line.now());
        Clock::setSource([this] { return line.now() / 1000; });
        stream.Open();
    }
    ~BadCableChip() {
        stream.Close();
        Clock::setSource(nullptr);
    }
};

} // namespace

// A converter running more than 2 % off the rate asked is noted for the
// debug trace, on the program's side of the stream.
TEST(SoftChipFaults, ARateFarOffIsNotedForTheTrace) {
    BadCableChip chip(false, -1);
    chip.cable.rateFactor = 0.97;
    std::vector<std::pair<QString, int>> notes;
    chip.stream.setNoteSink(
        [&](const QString& name, int value) { notes.emplace_back(name, value); });
    ask(chip.channel, "ATD01");
    ask(chip.channel, "0801");
    ASSERT_GE(notes.size(), 2u);
    EXPECT_EQ(notes[0], std::make_pair(QStringLiteral("KLineRateAsked"), 10400));
    EXPECT_EQ(notes[1], std::make_pair(QStringLiteral("KLineRateTaken"), 10088));
}

// A converter slower than the chip's latency setting (32 ms against 20):
// the echoes show it, the waits widen, the trace says so, the link holds.
TEST(SoftChipFaults, ASlowConverterWidensTheWaitsAndIsNoted) {
    BadCableChip chip(false, -1);
    chip.line.setLatency(VirtualKLine::Tester, msec(32));
    std::vector<std::pair<QString, int>> notes;
    chip.stream.setNoteSink(
        [&](const QString& name, int value) { notes.emplace_back(name, value); });
    EXPECT_TRUE(ask(chip.channel, "ATD01").filter(QStringLiteral("CONNECT")).size() == 1);
    for (const char* group : {"0801", "0802", "0803"})
        EXPECT_NE(ask(chip.channel, group).first(), QStringLiteral("DATA ERROR")) << group;
    const auto noted = std::find_if(notes.begin(), notes.end(), [](const auto& n) {
        return n.first == QLatin1String("KLineLatency");
    });
    ASSERT_NE(noted, notes.end());
    EXPECT_GE(noted->second, 20);
    EXPECT_LE(noted->second, 50);
    EXPECT_GE(chip.stream.lineFacts().latency, msec(28));
}

// A cable that returns garbage for what it sends: the keywords come in, the
// first byte sent back to the unit comes back wrong, and the dialogue ends
// with the chip's DATA ERROR in time; the next request hears it too.
TEST(SoftChipFaults, ACableThatEchoesGarbageEndsInDataError) {
    BadCableChip chip(true, -1);
    const int64_t start = Clock::nowMs();
    const QStringList lines = ask(chip.channel, "ATD01");
    EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{"DATA ERROR", ">"}))
        << lines.join('|').toStdString();
    EXPECT_FALSE(lines.contains(QString())) << "5 s of silence";
    EXPECT_LT(Clock::nowMs() - start, 15'000);
    EXPECT_EQ(ask(chip.channel, "0801"), (QStringList{"DATA ERROR", ">"}));
}

// The converter fails in the middle of a block: the program's read raises
// the port's failure at once, as a chip interface pulled out does.
TEST(SoftChipFaults, AConverterPulledMidBlockFailsTheNextRead) {
    BadCableChip chip(false, 80); // within the identification's blocks
    const int64_t start = Clock::nowMs();
    EXPECT_THROW(
        {
            ask(chip.channel, "ATD01");
            ask(chip.channel, "0801");
        },
        ESerialPort);
    EXPECT_LT(Clock::nowMs() - start, 5'000);
    EXPECT_THROW(chip.stream.CheckHangUp(), ESerialPort);
    chip.stream.Close();
    EXPECT_FALSE(chip.stream.Connected());
}

// A unit at another rate than the one set: its garbled sync points to its
// rate, and the CONNECT line says the rate in use, not the one asked for.
TEST(SoftChipFaults, AUnitAtAnotherRateIsFoundAtItsOwn) {
    for (const char* speed : {"ATN4", "ATN0"}) {
        VirtualSoftChip chip(scenarioFrom(demoCarText()), "rate=2400");
        chip(speed);
        const QStringList lines = chip("ATD01");
        EXPECT_EQ(lines.value(0), "CONNECT B2 P1") << speed;
        EXPECT_EQ(lines.value(1), "036906034AM") << speed;
        EXPECT_EQ(chip("0801").size(), 5) << speed;
    }
}

// Disconnect while an address goes out at 5 baud: closing the stream stops
// the line thread at once, in the middle of the address's 2 s.
TEST(SoftChipFaults, ClosingDuringTheFiveBaudAddressIsImmediate) {
    SimProcess sim({"--plain-cable"});
    ASSERT_TRUE(sim.started());
    const QString path = sim.terminalPath();
    SoftChipOptions o;
    o.method = FiveBaudMethod::UartByte;
    SoftChipStream stream(
        path,
        [path](int*, QString*) -> std::unique_ptr<KLinePort> {
            auto p = std::make_unique<TermiosKLine>();
            return p->open(path.toStdString()).ok ? std::move(p) : nullptr;
        },
        o);
    stream.Open();
    stream.WriteStr("ATD04\r");
    stream.WaitReadable(700); // the address is on the line
    const auto t0 = std::chrono::steady_clock::now();
    stream.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));
    // The cable is free again for the next session.
    stream.Open();
    EXPECT_EQ(stream.WriteStr("ATZ\r"), 4);
    QString s;
    EXPECT_TRUE(stream.WaitReadable(2000));
    stream.Close();
}
