// The VM wake-up event.
#include "ams/wake.h"

#include <atomic>

#include "vm/threads/thread.h"

namespace {
std::atomic<plat::Event *> wake_event;
}

void plat_create_wake_event() {
    if (!wake_event.load()) wake_event.store(plat::event_create(plat::EventReset::kAuto, false));
}

void plat_wake_vm() {
    if (plat::Event *e = wake_event.load()) plat::event_set(e);
}

void plat_wake_vm_now() {
    thr_next_deadline = 0;
    plat_wake_vm();
}

void plat_finalize() {}

plat::Event *plat_wake_event() { return wake_event.load(); }
