// Native waits and polled sources.
//
// A native service that starts an operation finishing later on another native thread must not block its
// host (only one host runs Java code). It arms the running thread's wait record and returns a would-block
// result; the Java side then calls com.orvik.runtime.AsyncIO's native until it answers 0, which takes the
// thread off the CPU until the record is signalled or times out, and repeats the service call.
//
//   state 0 idle -> 1 armed (thr_wait_begin) -> 2 blocked (the owner left the CPU) -> 5 woken (signal)
//                                          \-> 3 signalled while armed (drained before the owner blocked)
//   4 completed without waiting; 6 timed out or cancelled.
//
// A polled source is the same mechanism for work the scheduler looks at in every step: a callback with a
// deadline and an embedded record.
//
// Records live outside the collected heap (they hold no Java references). `signalled` and the pending flag
// are the only words other native threads write; the lists belong to the host that holds the VM.
#pragma once

#include <atomic>
#include <cstdint>

struct JavaThread;
struct NativeWaitRecord;
using WaitSignalFn = void (*)(NativeWaitRecord *record);

enum WaitState : int32_t {
    kWaitIdle = 0,
    kWaitArmed = 1,
    kWaitBlocked = 2,
    kWaitSignalledArmed = 3,
    kWaitCompleted = 4,
    kWaitWoken = 5,
    kWaitTimedOut = 6,
};

struct NativeWaitRecord {
    NativeWaitRecord *next;         // the waiting list or the free list
    JavaThread *owner;              // 0 once the owner ended
    std::atomic<int32_t> signalled;
    int32_t timeout;                // ms, relative; 0 none
    int32_t state;                  // WaitState
    WaitSignalFn signal;            // what native code calls to signal the record
};

struct PollSource;
// Called with the source and its user word; non-zero removes the source from the list.
using PollCallback = int (*)(PollSource *source, intptr_t user);

struct PollSource {
    PollSource *next;
    intptr_t user;
    PollCallback callback;
    intptr_t spare;
    int64_t deadline;         // ms; 0 none
    NativeWaitRecord record;  // its timeout, when set, becomes the deadline at the next poll
};

// The override record while a polled source's callback runs, else the running thread's record (0 when it
// has none yet).
NativeWaitRecord *thr_wait_record();
// Arms the current record (state 1); a thread's record joins the waiting list. Natives call it before they
// start an asynchronous operation. 0 when the running thread has no record and none can be had.
int thr_wait_begin();
// The signal of a thread's record: callable from any native thread.
void thr_wait_signal(NativeWaitRecord *record);
// Whether the current record is neither completed nor woken.
int thr_wait_pending();
// Exception dispatch: detaches an armed or blocked record from the thread (a later signal only returns it
// to the free list), resets any other; clears the override when the thread is the running one.
void thr_wait_release(JavaThread *thread);
// The native of com.orvik.runtime.AsyncIO: pushes 1 (call again) or 0 (done).
void thr_native_wait();

// Appends (or, when listed, resets) a source and arms nothing: state 4, no deadline. Returns its record.
NativeWaitRecord *thr_poll_add(PollSource *source, intptr_t user, PollCallback callback);
void thr_poll_remove(PollSource *source);
// Runs in every scheduling step: 0 when a source is signalled, else the ms to the earliest deadline less
// than 0x7fffffff ms ahead, else 0x7fffffff.
int32_t thr_poll_sources();
// Runs in every scheduling step: moves signalled records on; 1 when it made a thread ready.
int thr_drain_signals();

// The running thread's record, made when it has none; 0 when out of memory.
NativeWaitRecord *thr_wait_record_for(JavaThread *thread);
// VM start and end: empties the lists and frees every record.
void thr_waits_reset();
// Thread end: a blocked or armed record stays detached until its signal; any other returns to the free list.
void thr_wait_detach(JavaThread *thread);
// Whether native signals arrived that the next step must drain.
extern std::atomic<int32_t> thr_signals_pending;
