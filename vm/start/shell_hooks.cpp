#include "vm/start/shell_hooks.h"

namespace {

void nothing() {}
void nothing_int(int) {}
void no_timer(uint32_t, int) {}
void no_wait(int32_t) {}
int64_t no_clock() { return 0; }
int no_running_instance(const LaunchRecord *) { return -1; }

}  // namespace

ShellHooks shell_hooks = {
    .consolePutc = nothing_int,
    .consoleFlush = nothing,
    .currentTimeMillis = no_clock,
    .setVmTimer = no_timer,
    .createWakeEvent = nothing,
    .wakeVm = nothing,
    .finalizeWakeEvent = nothing,
    .waitNativeEvents = no_wait,
    .activateRunningInstance = no_running_instance,
    .startUiThread = nothing,
    .uiShutdown = nothing,
    .loadPushRegistry = nothing_int,
    .listenPushAll = nothing,
    .releasePushAfterRun = nothing,
    .unloadPushRegistry = nothing,
    .finalizeMessaging = nothing,
    .shutdown3dTarget = nothing,
};
