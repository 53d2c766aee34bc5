#pragma once
// The real port and command channel on a pseudo-terminal, opened the way the
// program opens them; the test plays the interface on the master side.
#include "config/clock.h"
#include "link/command_channel.h"
#include "link/serial_port.h"
#include "support/program_port.h"
#include "support/pty_pair.h"

#include <chrono>
#include <gtest/gtest.h>
#include <vector>

struct ChannelFixture : ::testing::Test {
    using SteadyClock = std::chrono::steady_clock;

    PtyPair pty;
    TSerialPort port;
    // When the channel let the window's messages through.
    std::vector<SteadyClock::time_point> pumps;
    CommandChannel channel{port, [this](int) { pumps.push_back(SteadyClock::now()); }};

    void SetUp() override { OpenLikeTheProgram(port, pty.slavePath()); }
    void TearDown() override { Clock::setSource(nullptr); }

    // The 5 s silence rules on a clock ten times faster than the wall.
    static void fastClock() { UseFastClock(10); }

    // Everything the interface sent was consumed, prompt included.
    bool replyConsumed() { return !port.WaitReadable(0); }
};
