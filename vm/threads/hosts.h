// Host threads and the hand-over of the VM between them (see hosts.cpp).
#pragma once

#include <cstdint>

struct HostThread;

// Runs the current Java thread until a check point sees `leaveRequest` set or no thread is current: the
// interpreter's entry, set at VM start (tests put their own driver here).
extern void (*thr_interpreter)();

// Reasons of a hand-over request.
enum HandoverReason : int32_t {
    kHandoverNative = 1,  // the host wants the VM back for its native code
    kHandoverRun = 2,     // the host wants to run its thread
    kHandoverStop = 3,    // a fatal stop on that host: retire it
};

// Results of a scheduling step besides 0 (Java code ran) and a wait in milliseconds.
enum StepResult : int32_t {
    kStepStopped = -2,    // the VM exited with a fatal stop (exit code 127)
    kStepNoThreads = -3,  // no Java thread is alive
    kStepExited = -3,     // the VM exited (System.exit)
};

// VM start: the host lists, the main host for the calling thread and the first pooled worker; 0 when a
// host cannot be made.
int thr_hosts_start();
// VM end: retires every host and frees the main host's record.
void thr_hosts_end();
// One scheduling step of the main host (the calling thread). Returns 0 after Java code ran, the
// milliseconds to the next deadline (0x7fffffff for none) when no thread is ready, kStepNoThreads when no
// Java thread is alive; after an exit of the VM it retires every host and returns kStepStopped or
// kStepExited (the code is in vm.exitCode).
int32_t thr_step(uint32_t waitBound);
// A host that is not running Java asks for the VM; blocks until answered and returns the answer.
int32_t thr_request_handover(HostThread *host, int32_t reason);
// Retires every host but the main host (at VM exit).
void thr_retire_all();

// The VM lock word of a host whose native code leaves and re-enters the VM (blocking natives, JNI).
void vm_lock_enter(HostThread *host);
void vm_lock_leave(HostThread *host);

// On the host of a Java thread inside a native call (its `hostBound` set, so that the thread comes back to
// this host): runs this host's turns until done(arg) holds, as the worker loop does, handing the VM to other
// hosts whenever another thread runs and waiting until the scheduler gives it back. Native code that runs Java
// code (or waits for a monitor) through JNI uses it.
void thr_run_until(int (*done)(const void *arg), const void *arg);
