#pragma once
// The real port and command channel on a pseudo-terminal; the test plays the
// interface by writing its reply into the master side before the call.
#include "config/clock.h"
#include "link/command_channel.h"
#include "link/serial_port.h"
#include "pty_pair.h"

#include <chrono>
#include <gtest/gtest.h>

struct ChannelFixture : ::testing::Test {
    PtyPair pty;
    TSerialPort port;
    CommandChannel channel{port};

    void SetUp() override {
        port.SetPort(pty.slavePath());
        port.SetBaudRate(br19200);
        port.Open();
        port.SetReadTotalMultiplier(-1);
        port.SetReadTotalConstant(1000);
    }
    void TearDown() override { Clock::setSource(nullptr); }

    // The 5 s silence rules on a clock ten times faster than the wall.
    static void fastClock() {
        Clock::setSource([] {
            using namespace std::chrono;
            return 10 * duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
        });
    }

    // Everything the interface sent was consumed, prompt included.
    bool replyConsumed() { return !port.WaitReadable(0); }
};
