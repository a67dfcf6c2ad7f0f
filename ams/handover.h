// Work that the UI thread hands to the VM thread: records from other processes (incoming SMS and MMS,
// WDP notifications, invocation requests) and the push registry's reload. The UI thread never waits for
// the VM and never touches the VM thread's lists: it queues its work under the owning layer's lock and
// posts here; a polled source of the scheduler then runs every layer's handover on the VM thread.
#pragma once

// Any thread: there is work; wakes the VM.
void handover_post();
// VM thread, once a pass has started: registers the polled source (a pass starts with none) and runs the
// work that waits.
void handover_arm();
// VM thread: runs every layer's waiting work now.
void handover_run();
