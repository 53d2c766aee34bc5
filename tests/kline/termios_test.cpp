// The termios driver on pseudo-terminals: rates set and read back, what a
// terminal lacks answered as unsupported, echo handling with a peer that
// echoes, and a whole session against the plain-cable simulator (real time).
#include "kline/kline_core.h"
#include "kline/line_runner.h"
#include "kline/termios_kline.h"
#include "sim/kline_host.h"
#include "support/built_program.h"
#include "support/pty_pair.h"

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace kline;

namespace {
// Debian 12's qemu-user passes no TCGETS2/TCSETS2 through, and every test
// here sets rates with them: under the emulator they are skipped with the
// reason. Natively a refused termios2 call is a failure like any other.
class Termios2Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!UnderEmulation())
            return;
        PtyPair pty;
        int rate = 0;
        if (const int err = termios2GetRate(pty.masterFd(), &rate))
            GTEST_SKIP() << "skipped under emulation: the emulator refuses termios2 (TCGETS2: "
                         << std::strerror(err) << "); the native build tests the termios driver";
    }
};
using KLineTermios = Termios2Test;
using KLinePlainCable = Termios2Test;
} // namespace

TEST_F(KLineTermios, RatesAreSetAndReadBackOnBothSides) {
    PtyPair pty;
    TermiosKLine port;
    ASSERT_TRUE(port.open(pty.slavePath().toStdString()).ok);
    for (const int rate : {10400, 9600, 4800, 1200, 5}) {
        int actual = 0;
        ASSERT_TRUE(port.setRate(rate, &actual).ok) << rate;
        EXPECT_EQ(actual, rate);
        int master = 0;
        ASSERT_EQ(termios2GetRate(pty.masterFd(), &master), 0);
        EXPECT_EQ(master, rate); // what the plain-cable simulator reads
    }
}

TEST_F(KLineTermios, WhatATerminalLacksIsUnsupportedNotAFailure) {
    PtyPair pty;
    TermiosKLine port;
    ASSERT_TRUE(port.open(pty.slavePath().toStdString()).ok);
    // open() set the cable up as far as the device lets it: modem lines and
    // low latency tried, and, with no latency timer, stamps taken as read.
    for (const PortResult& tried : {port.setup().modemLines, port.setup().lowLatency,
                                    port.setModemLines(true, false), port.setLowLatency(true)}) {
        EXPECT_FALSE(tried.ok);
        EXPECT_TRUE(tried.unsupported);
    }
    EXPECT_EQ(port.arrivalSkew(), 0);
    // A terminal takes breaks and shows nothing of them.
    EXPECT_TRUE(port.setBreak(true).ok);
    EXPECT_TRUE(port.setBreak(false).ok);
    EXPECT_TRUE(port.flushInput().ok);
}

TEST_F(KLineTermios, OpeningNothingAndAPulledAdapter) {
    TermiosKLine port;
    EXPECT_FALSE(port.open("/dev/nonexistent-kline").ok);
    PtyPair pty;
    ASSERT_TRUE(port.open(pty.slavePath().toStdString()).ok);
    pty.closeMaster();
    RxByte b[4];
    EXPECT_FALSE(port.waitUntil(port.now() + msec(500)) && port.receive(b, 4) >= 0);
}

// The converter's latency timer, read where its driver keeps one (a fake
// /sys here), through a link to the device too; none where the driver has
// none or shows nonsense. The core hears of it before the first byte.
TEST_F(KLineTermios, TheLatencyTimerComesFromSysfsToTheCore) {
    namespace fs = std::filesystem;
    PtyPair pty;
    const std::string slave = pty.slavePath().toStdString();
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const fs::path root = fs::path(tmp.path().toStdString()) / "sys";
    const fs::path dir = root / "class/tty" / fs::path(slave).filename() / "device";
    const fs::path link = fs::path(tmp.path().toStdString()) / "kline-cable";
    fs::create_symlink(slave, link);
    const struct {
        const char* timer; // nullptr: the driver has none
        int ms;
    } cases[] = {{"32\n", 32}, {"16", 16},  {"1\n", 1},   {"", -1},
                 {"fast", -1}, {"300", -1}, {nullptr, -1}};
    for (const auto& c : cases) {
        fs::remove_all(root);
        if (c.timer) {
            fs::create_directories(dir);
            std::ofstream(dir / "latency_timer") << c.timer;
        }
        const std::string what = c.timer ? c.timer : "none";
        EXPECT_EQ(latencyTimerMs(slave, root.string()), c.ms) << what;
        EXPECT_EQ(latencyTimerMs(link.string(), root.string()), c.ms) << what;
        TermiosKLine port;
        port.setSysRoot(root.string());
        ASSERT_TRUE(port.open(link.string()).ok);
        EXPECT_EQ(port.receiveLatency(), c.ms < 0 ? -1 : msec(c.ms)) << what;
        KLineCore core;
        LineRunner runner(port, core);
        runner.step();
        EXPECT_EQ(core.latency(), std::max(core.timing().latency, msec(c.ms))) << what;
    }
}

namespace {

// Writes bytes, collects what comes back that is not its own.
class Collector : public CoEndpoint {
public:
    std::vector<uint8_t> got;
    void send(std::vector<uint8_t> b) { write(std::move(b)); }
    void received(const RxByte* bytes, size_t n, Micros now) override {
        for (size_t i = 0; i < n; ++i)
            got.push_back(bytes[i].value);
        CoEndpoint::received(bytes, n, now);
    }
};

} // namespace

TEST_F(KLineTermios, EchoesOfACableAreTakenOutAndTheAnswerPassed) {
    PtyPair pty;
    TermiosKLine port;
    ASSERT_TRUE(port.open(pty.slavePath().toStdString()).ok);
    // The peer echoes each byte as the cable does, then answers its complement.
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        while (!stop) {
            pollfd p{pty.masterFd(), POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            uint8_t b[64];
            const ssize_t n = ::read(pty.masterFd(), b, sizeof b);
            for (ssize_t i = 0; i < n; ++i) {
                const uint8_t out[2] = {b[i], uint8_t(~b[i])};
                [[maybe_unused]] const ssize_t w = ::write(pty.masterFd(), out, 2);
            }
        }
    });
    Collector c;
    LineRunner runner(port, c);
    c.send({0x12});
    runner.runUntil(port.now() + msec(2000), [&] { return !c.got.empty(); });
    stop = true;
    peer.join();
    EXPECT_EQ(c.got, (std::vector<uint8_t>{0xED}));
    EXPECT_EQ(runner.echo().mode(), EchoFilter::Mode::Present);
}

// The whole plain-cable path in real time: termios driver, core and the unit
// simulator behind a pseudo-terminal, the address written at 5 baud.
TEST_F(KLinePlainCable, ConnectsReadsAndEndsAgainstTheSimulator) {
    PlainCableHost host;
    QString error;
    const QString scenario =
        QDir(qEnvironmentVariable("VANDRIX_DATA")).filePath("scenarios/demo_car.ini");
    ASSERT_TRUE(host.start(scenario, "rate=10400", &error)) << error.toStdString();
    TermiosKLine port;
    ASSERT_TRUE(port.open(host.slavePath().toStdString()).ok);
    Timing t;
    t.latency = msec(30); // a loaded machine: wide margins
    KLineCore core(t);
    LineRunner runner(port, core);
    std::vector<CoreEvent> events;
    auto until = [&](CoreEvent::Kind kind, Micros limit) {
        events.clear();
        return runner.runUntil(port.now() + limit, [&] {
            CoreEvent e;
            while (core.takeEvent(&e))
                events.push_back(e);
            return !events.empty() &&
                   (events.back().kind == kind || events.back().kind == CoreEvent::ConnectFailed ||
                    events.back().kind == CoreEvent::LinkLost);
        });
    };
    ConnectParams p;
    p.address = 1;
    p.method = FiveBaudMethod::UartByte;
    core.connect(p, port.now());
    ASSERT_TRUE(until(CoreEvent::Identified, msec(15000)));
    ASSERT_EQ(events.back().kind, CoreEvent::Identified) << busFaultName(events.back().fault);
    EXPECT_EQ(events.back().identification.lines.front(), "036906034AM");
    EXPECT_EQ(runner.echo().mode(), EchoFilter::Mode::Present);
    Request r;
    r.kind = RequestKind::Group;
    r.number = 1;
    ASSERT_TRUE(core.request(r, port.now()));
    ASSERT_TRUE(until(CoreEvent::Answered, msec(5000)));
    EXPECT_EQ(events.back().reply.outcome, Outcome::Ok);
    EXPECT_EQ(events.back().reply.bytes.size(), 12u);
    r.kind = RequestKind::ReadFaults;
    ASSERT_TRUE(core.request(r, port.now()));
    ASSERT_TRUE(until(CoreEvent::Answered, msec(5000)));
    EXPECT_EQ(events.back().reply.outcome, Outcome::Ok) << busFaultName(events.back().reply.fault);
    EXPECT_EQ(events.back().reply.faults.size(), 1u);
    core.disconnect(port.now());
    EXPECT_TRUE(until(CoreEvent::Ended, msec(3000)));
}
