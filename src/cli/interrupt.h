#pragma once
// Ctrl-C and SIGTERM end a command cleanly: the signal only sets a mark, and
// the next wait of the dialogue (every wait passes the channel's message
// pump) throws Interrupted. The command then says "ATH" to a connected unit,
// closes the port and keeps every log row it wrote whole.
#include <csignal>

// Deliberately not a std::exception: the library's "catch anything" blocks
// (a failed connection attempt) must let it through.
struct Interrupted {
    int signal;
};

namespace Interrupt {
// SIGINT and SIGTERM marked, SIGPIPE ignored (a closed pipe is seen as a
// failed write instead).
void install();
// Marks a stop as a signal would, for a reason found by the program itself.
void request(int signal);
// A stop was asked for at some point.
bool requested();
// Throws Interrupted once for every stop asked for since the last throw.
void throwIfNew();
// The channel's message pump: no window to serve, so it only sleeps, and
// throws at a new stop.
void pump(int maxWaitMs);
// 130 for SIGINT, 143 for SIGTERM: 128 + the signal's number.
int exitCode(int signal);
} // namespace Interrupt
