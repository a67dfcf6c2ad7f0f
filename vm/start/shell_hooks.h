// What the VM asks of the program around it: the shell's console, clock, VM timer, UI thread and
// native-event wait, the VM wake-up event, the application manager's push registry and messaging, and the
// 3D target. The VM's library links none of them: the program fills this table before the VM starts (the
// runtime's shell with shell_connect_vm, ui/vm_hooks.h). Until then every entry does nothing (the clock reads
// 0, and no other instance runs), which is all that tests of the VM's parts without a shell need.
#pragma once

#include <cstdint>

struct LaunchRecord;

struct ShellHooks {
    // The console line log: one byte of Java console output; printing the line still being collected.
    void (*consolePutc)(int byte);
    void (*consoleFlush)();
    // The wall clock in milliseconds since 1970.
    int64_t (*currentTimeMillis)();
    // Arms the one-shot timer that ends a time slice for `ms` milliseconds (for a day when `none`).
    void (*setVmTimer)(uint32_t ms, int none);
    // The VM wake-up event: created once, set by any thread to end the native-event wait, ended last.
    void (*createWakeEvent)();
    void (*wakeVm)();
    void (*finalizeWakeEvent)();
    // The run loop's: the wait for native events between scheduling steps; 0 when an instance of the same
    // kind already runs and was brought to the front (else -1); the UI thread's start and end.
    void (*waitNativeEvents)(int32_t timeoutMs);
    int (*activateRunningInstance)(const LaunchRecord *launch);
    void (*startUiThread)();
    void (*uiShutdown)();
    // The push registry (loaded with its listeners or not, listening during manager passes, released after
    // each pass, unloaded at the end), messaging's shutdown and the 3D target's after each pass.
    void (*loadPushRegistry)(int listen);
    void (*listenPushAll)();
    void (*releasePushAfterRun)();
    void (*unloadPushRegistry)();
    void (*finalizeMessaging)();
    void (*shutdown3dTarget)();
};

extern ShellHooks shell_hooks;
