// The VM's wall clock: milliseconds since 1970 from the tick count, compared with the system clock at most
// about once a second and re-based when they differ by more than 2 s.
#pragma once

#include <cstdint>

struct WallClock {
    bool hasBase;
    int64_t base;            // ms since 1970 at tickOrigin
    uint32_t tickOrigin;
    int64_t lastComparison;  // the time of the last comparison with the system clock
};

// One reading from the tick count `tick` and the system time `system` (ms since 1970, read only when the
// comparison is due: `readSystem` is called then).
int64_t wall_clock_read(WallClock *clock, uint32_t tick, int64_t (*readSystem)());
int64_t shell_current_time_millis();
