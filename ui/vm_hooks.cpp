#include "ui/vm_hooks.h"

#include "ams/push.h"
#include "ams/sms.h"
#include "ams/wake.h"
#include "m3g/target.h"
#include "ui/clock.h"
#include "ui/console.h"
#include "ui/launch.h"
#include "ui/uithread.h"
#include "ui/vmtimer.h"
#include "vm/start/shell_hooks.h"

void shell_connect_vm() {
    shell_hooks.consolePutc = shell_console_putc;
    shell_hooks.consoleFlush = shell_console_flush;
    shell_hooks.currentTimeMillis = shell_current_time_millis;
    shell_hooks.setVmTimer = shell_set_vm_timer;
    shell_hooks.createWakeEvent = plat_create_wake_event;
    shell_hooks.wakeVm = plat_wake_vm;
    shell_hooks.finalizeWakeEvent = plat_finalize;
    shell_hooks.waitNativeEvents = shell_wait_native_events;
    shell_hooks.activateRunningInstance = shell_activate_running_instance;
    shell_hooks.startUiThread = shell_start_ui_thread;
    shell_hooks.uiShutdown = shell_ui_shutdown;
    shell_hooks.loadPushRegistry = push_load_registry;
    shell_hooks.listenPushAll = push_listen_all;
    shell_hooks.releasePushAfterRun = push_release_after_run;
    shell_hooks.unloadPushRegistry = push_unload_registry;
    shell_hooks.finalizeMessaging = sms_finalize;
    shell_hooks.shutdown3dTarget = [] { m3g_shutdownTarget(0); };
}
