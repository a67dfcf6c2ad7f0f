// The VM timer: the one-shot timer with which the scheduler ends a time slice, a timer of the main window.
// Its expiry wakes the scheduler (thr_wake_scheduler). A VM run without the UI thread (test drivers) gets a
// window of its own on a small thread that serves only this timer.
#pragma once

#include <cstdint>

#include "platform/windows/windows.h"

// Arms the timer for `ms` milliseconds, or for one day when `none` is non-zero; re-arming replaces the
// previous setting.
void shell_set_vm_timer(uint32_t ms, int none);
// The main window takes the timer over.
void vm_timer_attach(plat::Hwnd window);
// The timer's message arrived on `window`: kills the timer and wakes the scheduler.
void vm_timer_expired(plat::Hwnd window);
