#include "platform/milli_clock.h"

#include <atomic>
#include <chrono>

namespace {
std::atomic<MilliClockSource> gSource{nullptr};

uint32_t steadyMillis() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}
}  // namespace

uint32_t MilliClockNow() {
    MilliClockSource source = gSource.load();
    return source ? source() : steadyMillis();
}

void SetMilliClockSource(MilliClockSource source) { gSource.store(source); }
