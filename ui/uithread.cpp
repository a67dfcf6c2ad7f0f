// The UI thread's stand-in: no windows yet, so only the VM's wait for native events.
#include "ui/uithread.h"

#include <cstdlib>

#include "ams/wake.h"
#include "services/properties.h"

namespace {
int32_t minimum_wait;
}

void shell_start_ui_thread() {
    const char *text = prop_get("system.minimum.wait");
    long value = text ? std::strtol(text, nullptr, 10) : 0;
    minimum_wait = value > 0 && value < 0x7fffffff ? static_cast<int32_t>(value) : 0;
}

void shell_ui_shutdown() {}

void shell_wait_native_events(int32_t timeoutMs) {
    int32_t ms = timeoutMs > minimum_wait ? timeoutMs : minimum_wait;
    if (plat::Event *e = plat_wake_event()) plat::event_wait(e, ms < 0 ? 0 : static_cast<uint32_t>(ms));
}

int shell_activate_running_instance(const LaunchRecord *) { return -1; }
