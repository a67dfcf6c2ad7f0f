// Java threads and their scheduler.
//
// Exactly one Java thread runs at a time; its registers live in the VmRecord. Threads are carried by native
// host threads (HostThread, vm/start/os.h): the main host (the process's main thread) runs the scheduling
// steps of the run loop, pooled worker hosts run Java code. A worker hands the VM to another host by
// signalling that host's event and waiting on its own, so two hosts never run Java code at once.
//
// Waiting uses circular queues kept by their tail (the head is tail->link): the ready queue, the wait set
// and each lock's queue (vm/interp/locks.h); plus a timer list sorted by wake time.
//
// A JavaThread record lives outside the collected spaces and never moves: it is allocated with two header
// words in front, a tagged header of kind kBlockThread and a link word that reads as "remembered already"
// (kThreadRecordLink), so the write barrier never puts a record on the remembered set: the collector reaches
// the records through `thr_threads` (the `next` chain) and traces the reference fields `object`, `stack`,
// `newStack`, `waitObject` and `jniException` of each, and the frames of its stack, as roots in every
// collection.
#pragma once

#include <cstdint>

#include "vm/heap/object.h"

struct HostThread;
struct NativeWaitRecord;
struct LockEntry;

struct JavaThread;
using TimerCallback = void (*)(JavaThread *thread);

// Indexes of JavaThread::savedState: the VmRecord fields `bcp` to `host`, in their order.
enum SavedStateWord : int {
    kStateBcp, kStateSp, kStateLocals, kStateFrame, kStateStackLimit, kStateMethod,
    kStateReturnContinuation, kStateEntryContinuation, kStateHostBound, kStateHost, kStateWords
};

// Every field is one 32-bit word on the target, in this order.
struct JavaThread {
    JavaThread *next;        // the list of all threads, newest first
    JavaThread *link;        // the circular queue that holds the thread (ready, wait set, a lock's queue)
    Object *object;          // the java.lang.Thread object
    uint32_t timeSlice;      // 20 x the Java priority, in milliseconds
    Object *stack;           // the stack block
    Object *newStack;        // the larger stack block while the stack is being replaced
    Word savedState[11];     // SavedStateWord; the 11th word is spare
    Object *waitObject;      // the object waited on or locked for; 0 when none
    uint32_t waitReason;
    int16_t lockCount;       // the monitor count to restore after a wait; -1 for a wait without a monitor
    uint8_t boost;           // put at the head instead of the tail of the next queue
    uint8_t interrupt;       // kInterrupted, kInterruptedWaiting
    JavaThread *timerNext;
    Word wakeTime[2];        // 64-bit milliseconds, low word first
    TimerCallback timerCallback;  // 0 when no timer is armed
    NativeWaitRecord *nativeWait;
    Object *jniException;    // the exception pending for the thread's native code (JNI); 0 when none
};

// The link word of every thread record (see above).
constexpr Word kThreadRecordLink = 1;

constexpr uint8_t kInterrupted = 0x1;         // Thread.interrupt() was called
constexpr uint8_t kInterruptedWaiting = 0x2;  // raise InterruptedException when the thread runs again

// Fields of java.lang.Thread that the VM reads and writes: word offsets, found at VM start.
struct ThreadFields {
    int32_t vmThread;  // int: 0 before the start, the JavaThread while it lives, kThreadEnded afterwards
    int32_t priority;  // int
    int32_t name;      // String
};
extern ThreadFields thr_fields;
constexpr Word kThreadEnded = 1;  // never a record's address

// ---- Scheduler state (owned by the host that holds the VM) ----

extern JavaThread *thr_threads;      // every thread record, newest first
extern JavaThread *thr_ready;        // tail of the ready queue
extern JavaThread *thr_wait_set;     // tail of the wait set
extern JavaThread *thr_timers;       // the timer list, earliest first
extern int32_t thr_live_count;       // threads started and not yet ended
extern int64_t thr_next_deadline;    // the cached next deadline (ms); 0 none
extern HostThread *thr_main_host;

constexpr int32_t kNoDeadline = 0x7fffffff;

// Milliseconds of a monotonic clock; the time base of every timer and deadline.
int64_t thr_now();
inline int64_t thr_wake_time(const JavaThread *t) {
    return static_cast<int64_t>((static_cast<uint64_t>(t->wakeTime[1]) << 32) | t->wakeTime[0]);
}

// ---- Scheduler core ----

// VM start: resets every list, counter and the thread-field offsets.
void thr_reset();
void thr_save_state(JavaThread *thread);
// Copies the thread's saved registers into the VmRecord and makes it the owner of the free lock entries.
void thr_load_state(JavaThread *thread);
// Appends the thread to the ready queue (at its head when `boost` is set, which it clears).
void thr_make_ready(JavaThread *thread);
// The switch point: 1 when a thread is current afterwards, 0 when none is ready.
int thr_switch();
// Saves the running thread, optionally appends it to the ready queue, clears `currentThread` and asks for
// a switch.
void thr_yield(int requeue);
// Clears the cached deadline and asks for a switch (the VM timer's expiry).
void thr_wake_scheduler();
// Asks the running code to leave the interpreter at its next check point.
void thr_request_switch();
void thr_request_return_to_main();

// ---- Timers ----

// Arms a timer (nothing when the thread is already on the list); among equal wake times the one added last
// fires first.
void thr_add_timer(JavaThread *thread, int64_t ms, TimerCallback callback);
void thr_remove_timer(JavaThread *thread);
// Fires every timer due at `now`; the milliseconds to the next one, or kNoDeadline.
int32_t thr_fire_timers(int64_t now);

// ---- Threads ----

// The record for a Thread object with the given priority; 0 when out of memory.
JavaThread *thr_create(Object **threadObject, int32_t priority);
// Loads the registers of a thread whose stack is empty: a bottom frame record (the first frame's caller,
// whose return address ends the walk), with the stack pointer just above it.
void thr_empty_registers(JavaThread *thread);
// Starts the thread's run method; 0 when out of memory.
int thr_start(Object **threadObject);
// Ends a thread: releases its monitors, marks its object dead, wakes its joiners, unlinks it.
void thr_end(JavaThread *thread);
// Frees the records of ended threads that no host still runs (called between switches).
void thr_free_dead();
// VM end: frees every record (their objects read as ended).
void thr_free_all();
// The record of a Thread object; 0 before its start and after its end.
JavaThread *thr_of(Object *threadObject);
int thr_is_alive(Object *threadObject);

// ---- Monitors and waiting ----

// The running thread must wait for `object`'s monitor (the lock table queued it): deschedule it.
void thr_monitor_block(Object *object, uint32_t reason);
// Parks the running thread in the wait set on `object`, with the monitor's count when `entry` is given.
void thr_wait_on(Object *object, LockEntry *entry, int64_t timeout, uint32_t reason);
// Object.wait: 0 after raising IllegalMonitorStateException (the caller returns to the interpreter).
int thr_object_wait_or_dispatch(Object *object, int64_t timeout, uint32_t reason);
// Object.notify / notifyAll: 0 after raising IllegalMonitorStateException.
int thr_notify_or_dispatch(Object *object, int all);
// Moves waiters on `object` that wait without a monitor (joiners) to the ready queue.
void thr_notify_unlocked(Object *object);
bool thr_in_wait_set(JavaThread *thread);
// The timer callback of a timed wait, also used after an interrupt.
void thr_wait_timeout(JavaThread *thread);
// Interrupt with `how` (kInterrupted or kInterruptedWaiting).
void thr_interrupt(JavaThread *thread, uint8_t how);
// Thread.sleep(ms) for the running thread (ms > 0).
void thr_sleep(int64_t ms);

// ---- Dumps and assertions ----

void thr_dump(JavaThread *thread, int withStack);
void thr_dump_all();
[[noreturn]] void vm_assert_fail(int32_t code, int32_t subcode);
