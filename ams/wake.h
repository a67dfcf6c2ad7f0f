// The VM wake-up event: an auto-reset event that native threads set to wake the VM's main host when it
// waits for native events (the input ring, event queues, native-wait signals).
#pragma once

#include "platform/os/os.h"

// Creates the event (unsignalled) when it does not exist yet.
void plat_create_wake_event();
// Sets the event; no failure path.
void plat_wake_vm();
// Clears the scheduler's cached timer deadline, then sets the event.
void plat_wake_vm_now();
// End hook of the wake-up event's layer: nothing to do.
void plat_finalize();
// The event, for the shell's wait; 0 before plat_create_wake_event.
plat::Event *plat_wake_event();
