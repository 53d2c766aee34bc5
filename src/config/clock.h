#pragma once
// The one monotonic millisecond tick of the program. Tests may replace the
// source to make timeouts and log times predictable.
#include <cstdint>
#include <functional>

namespace Clock {
// Milliseconds from an arbitrary start; never goes backwards.
int64_t nowMs();
// Microseconds, for waits that must not end early by a truncated millisecond.
int64_t nowUs();
// The 32-bit tick of the reply timeouts; callers compare differences modulo 2^32.
inline uint32_t GetTickCount() {
    return static_cast<uint32_t>(nowMs());
}
// nullptr restores the steady clock.
void setSource(std::function<int64_t()> source);
} // namespace Clock
