#include "config/clock.h"

#include <chrono>

namespace {
std::function<int64_t()>& source() {
    static std::function<int64_t()> s;
    return s;
}
} // namespace

int64_t Clock::nowMs() {
    if (auto& s = source())
        return s();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t Clock::nowUs() {
    if (auto& s = source())
        return s() * 1000;
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void Clock::setSource(std::function<int64_t()> s) {
    source() = std::move(s);
}
