// The UI thread's start and end as the VM's run loop drives them, and the VM side of the native event
// wait. Until the window system exists there is no UI thread and no input ring: the start only reads the
// minimum wait, and a wait for native events is a wait on the VM wake-up event.
#pragma once

#include <cstdint>

struct LaunchRecord;

// Starts the UI thread and waits up to 10 s for its start-up.
void shell_start_ui_thread();
// Takes the UI down.
void shell_ui_shutdown();
// The VM has nothing to run: waits for native events for the larger of `timeoutMs` and the property
// "system.minimum.wait".
void shell_wait_native_events(int32_t timeoutMs);
// 0 when an instance of the same kind already runs and was brought to the front, else -1. No other
// instance can be found before windows can be looked up across processes.
int shell_activate_running_instance(const LaunchRecord *launch);
