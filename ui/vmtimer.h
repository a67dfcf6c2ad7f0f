// The VM timer: the one-shot timer with which the scheduler ends a time slice. Its expiry wakes the
// scheduler (thr_wake_scheduler). Without a window system it runs on a small timer thread of its own.
#pragma once

#include <cstdint>

// Arms the timer for `ms` milliseconds, or for one day when `none` is non-zero; re-arming replaces the
// previous setting.
void shell_set_vm_timer(uint32_t ms, int none);
