#include "cli/interrupt.h"

#include "config/clock.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {
volatile std::sig_atomic_t g_count = 0;
volatile std::sig_atomic_t g_signal = 0;
std::sig_atomic_t g_thrown = 0;

extern "C" void onSignal(int signal) {
    g_signal = signal;
    g_count = g_count + 1;
}
} // namespace

namespace Interrupt {

void install() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read from the terminal (the confirmation) must end.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void request(int signal) {
    onSignal(signal);
}

bool requested() {
    return g_count > 0;
}

void throwIfNew() {
    if (g_count != g_thrown) {
        g_thrown = g_count;
        throw Interrupted{int(g_signal)};
    }
}

void pump(int maxWaitMs) {
    throwIfNew();
    const int64_t deadline = Clock::nowMs() + maxWaitMs;
    for (int64_t left = maxWaitMs; left > 0; left = deadline - Clock::nowMs()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(left, 10)));
        throwIfNew();
    }
}

int exitCode(int signal) {
    return 128 + signal;
}

} // namespace Interrupt
