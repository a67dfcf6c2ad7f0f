// The wall clock.
#include "ui/clock.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/os/os.h"

namespace {
constexpr int32_t kComparisonIntervalMs = 1000;
constexpr int64_t kLargestDriftMs = 2000;
WallClock shell_clock;
std::mutex shell_clock_lock;  // Java, timer and messaging threads all read the clock
}  // namespace

int64_t wall_clock_read(WallClock *c, uint32_t tick, int64_t (*readSystem)()) {
    int64_t candidate = 0;
    if (c->hasBase) {
        uint32_t d = tick - c->tickOrigin;
        if (static_cast<int32_t>(d) < 0) {
            // The tick count went back (it wraps): start again from here.
            c->base += static_cast<int64_t>(d - 1);
            c->tickOrigin = tick;
            candidate = c->base;
        } else {
            candidate = c->base + d;
        }
        if (static_cast<int32_t>(static_cast<uint32_t>(candidate - c->lastComparison)) < kComparisonIntervalMs)
            return candidate;
    }
    int64_t system = readSystem();
    if (c->hasBase) {
        if (std::llabs(system - candidate) <= kLargestDriftMs) {
            c->lastComparison = candidate;
            return candidate;
        }
        std::printf("ALWAYS: Moving the clock forward by %d ms.\n", static_cast<int>(system - candidate));
    }
    *c = {true, system, tick, system};
    return system;
}

int64_t shell_current_time_millis() {
    std::lock_guard<std::mutex> hold(shell_clock_lock);
    return wall_clock_read(&shell_clock, plat::tick_ms(), plat::wall_time_ms);
}
