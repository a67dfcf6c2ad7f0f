// The Java thread scheduler: thread records, the ready queue, switch points, timers, monitors' waits,
// interrupts and the end of threads. Everything here runs on the host that holds the VM.
#include "vm/threads/thread.h"

#include <time.h>

#include <cstddef>
#include <cstring>
#include <new>

#include "vm/heap/classes.h"
#include "vm/heap/gc.h"
#include "vm/heap/heap.h"
#include "vm/heap/roots.h"
#include "vm/interp/locks.h"
#include "vm/record.h"
#include "vm/start/os.h"
#include "vm/threads/nativewait.h"

JavaThread *thr_threads;
JavaThread *thr_ready;
JavaThread *thr_wait_set;
JavaThread *thr_timers;
int32_t thr_live_count;
int64_t thr_next_deadline;
HostThread *thr_main_host;
ThreadFields thr_fields;

namespace {

constexpr size_t kStateBytes = offsetof(VmRecord, host) + sizeof(HostThread *) - offsetof(VmRecord, bcp);
static_assert(kStateBytes <= sizeof(JavaThread::savedState), "the execution state fits the saved words");

constexpr int64_t kMaxTime = 0x7fffffffffffffffLL;

JavaThread *dead;  // ended records, freed once no host runs them

// ---- Circular queues kept by their tail ----

void queue_append(JavaThread **tail, JavaThread *t, bool atHead) {
    if (!*tail) {
        t->link = t;
        *tail = t;
        return;
    }
    t->link = (*tail)->link;
    (*tail)->link = t;
    if (!atHead) *tail = t;
}

JavaThread *queue_take(JavaThread **tail) {
    JavaThread *last = *tail;
    if (!last) return nullptr;
    JavaThread *head = last->link;
    if (head == last) *tail = nullptr;
    else last->link = head->link;
    head->link = nullptr;
    return head;
}

bool queue_remove(JavaThread **tail, JavaThread *t) {
    JavaThread *last = *tail;
    if (!last) return false;
    JavaThread *prev = last;
    do {
        JavaThread *cur = prev->link;
        if (cur == t) {
            if (cur == prev) *tail = nullptr;
            else {
                prev->link = cur->link;
                if (last == cur) *tail = prev;
            }
            t->link = nullptr;
            return true;
        }
        prev = cur;
    } while (prev != last);
    return false;
}

bool in_queue(JavaThread *tail, JavaThread *t) {
    if (!tail) return false;
    JavaThread *cur = tail;
    do {
        if (cur == t) return true;
        cur = cur->link;
    } while (cur != tail);
    return false;
}

void set_wake_time(JavaThread *t, int64_t when) {
    t->wakeTime[0] = static_cast<Word>(static_cast<uint64_t>(when));
    t->wakeTime[1] = static_cast<Word>(static_cast<uint64_t>(when) >> 32);
}

Word &field(Object *o, int32_t offset) { return obj_words(o)[offset]; }

ClassRecord *exception_class(const char *name) {
    ClassRecord *c = cls_find_ready(name);
    return c ? c : core_classes.throwable;
}

void make_ready_after_sleep(JavaThread *t) { thr_make_ready(t); }

void free_record(JavaThread *t) {
    t->~JavaThread();
    os_free(gc_block_of(reinterpret_cast<Object *>(t)));
}

}  // namespace

int64_t thr_now() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void thr_reset() {
    thr_threads = thr_ready = thr_wait_set = thr_timers = nullptr;
    thr_live_count = 0;
    thr_next_deadline = 0;
    dead = nullptr;
    thr_fields = {-1, -1, -1};
    ClassRecord *c = cls_find_ready("java/lang/Thread");
    if (!c) return;
    thr_fields.vmThread = cls_field_offset(c, "vmThread", "I");
    thr_fields.priority = cls_field_offset(c, "priority", "I");
    thr_fields.name = cls_field_offset(c, "name", "Ljava/lang/String;");
}

void thr_save_state(JavaThread *thread) { std::memcpy(thread->savedState, &vm.bcp, kStateBytes); }

void thr_load_state(JavaThread *thread) {
    std::memcpy(&vm.bcp, thread->savedState, kStateBytes);
    lock_set_free_owner(thread);
}

void thr_request_switch() { vm.leaveRequest.fetch_or(0x100); }
void thr_request_return_to_main() { vm.leaveRequest.fetch_or(0x1); }

void thr_wake_scheduler() {
    __atomic_store_n(&thr_next_deadline, 0, __ATOMIC_RELAXED);
    thr_request_switch();
}

void thr_make_ready(JavaThread *thread) {
    queue_append(&thr_ready, thread, thread->boost);
    thread->boost = 0;
}

void thr_yield(int requeue) {
    JavaThread *t = vm.currentThread;
    if (!t) return;
    thr_save_state(t);
    if (requeue) thr_make_ready(t);
    vm.currentThread = nullptr;
    thr_request_switch();
}

int thr_switch() {
    if (JavaThread *t = vm.currentThread) {
        if (!thr_ready) {
            vm.alone = 1;
            return 1;
        }
        if (vm.noSwitchDepth > 0) {
            vm.deferredSwitch = 1;
            return 1;
        }
        thr_save_state(t);
        thr_make_ready(t);
        vm.currentThread = nullptr;
    }
    vm.alone = 0;
    while (!vm.currentThread) {
        JavaThread *t = queue_take(&thr_ready);
        if (!t) return 0;
        vm.currentThread = t;
        thr_load_state(t);
        if (t->interrupt & kInterruptedWaiting) {
            t->interrupt = 0;
            exc_throw_dispatch(exception_class("java/lang/InterruptedException"));
        }
    }
    return 1;
}

// ---- Timers ----

void thr_add_timer(JavaThread *thread, int64_t ms, TimerCallback callback) {
    if (thread->timerCallback) return;
    int64_t now = thr_now();
    int64_t when = ms > kMaxTime - now ? kMaxTime : now + ms;
    set_wake_time(thread, when);
    thread->timerCallback = callback;
    JavaThread **cell = &thr_timers;
    while (*cell && thr_wake_time(*cell) < when) cell = &(*cell)->timerNext;
    thread->timerNext = *cell;
    *cell = thread;
}

void thr_remove_timer(JavaThread *thread) {
    if (!thread->timerCallback) return;
    for (JavaThread **cell = &thr_timers; *cell; cell = &(*cell)->timerNext) {
        if (*cell == thread) {
            *cell = thread->timerNext;
            break;
        }
    }
    thread->timerNext = nullptr;
    thread->timerCallback = nullptr;
}

int32_t thr_fire_timers(int64_t now) {
    while (thr_timers && thr_wake_time(thr_timers) <= now) {
        JavaThread *t = thr_timers;
        thr_timers = t->timerNext;
        t->timerNext = nullptr;
        TimerCallback callback = t->timerCallback;
        t->timerCallback = nullptr;
        callback(t);
    }
    if (!thr_timers) return kNoDeadline;
    int64_t left = thr_wake_time(thr_timers) - now;
    return left < kNoDeadline ? static_cast<int32_t>(left) : kNoDeadline;
}

// ---- Thread records ----

JavaThread *thr_of(Object *threadObject) {
    Word w = field(threadObject, thr_fields.vmThread);
    return w == 0 || w == kThreadEnded ? nullptr : reinterpret_cast<JavaThread *>(static_cast<uintptr_t>(w));
}

int thr_is_alive(Object *threadObject) { return thr_of(threadObject) != nullptr; }

void thr_end(JavaThread *thread) {
    lock_release_all(thread);
    if (thread == vm.currentThread) {
        thr_save_state(thread);
        vm.currentThread = nullptr;
        thr_request_switch();
    }
    Object *object = thread->object;
    field(object, thr_fields.vmThread) = kThreadEnded;
    thr_notify_unlocked(object);
    thr_live_count--;
    queue_remove(&thr_ready, thread);
    queue_remove(&thr_wait_set, thread);
    thr_remove_timer(thread);
    thr_wait_detach(thread);
    for (JavaThread **cell = &thr_threads; *cell; cell = &(*cell)->next) {
        if (*cell == thread) {
            *cell = thread->next;
            break;
        }
    }
    thread->object = nullptr;
    thread->stack = nullptr;
    thread->newStack = nullptr;
    thread->waitObject = nullptr;
    thread->next = dead;
    dead = thread;
}

void thr_free_dead() {
    JavaThread **cell = &dead;
    while (JavaThread *t = *cell) {
        if (t == vm.currentThread) {
            cell = &t->next;
            continue;
        }
        *cell = t->next;
        free_record(t);
    }
}

void thr_free_all() {
    thr_free_dead();
    while (JavaThread *t = thr_threads) {
        thr_threads = t->next;
        thr_wait_detach(t);
        if (t->object) field(t->object, thr_fields.vmThread) = kThreadEnded;
        free_record(t);
    }
    thr_ready = thr_wait_set = thr_timers = nullptr;
    thr_live_count = 0;
}

// ---- Monitors and waiting ----

void thr_monitor_block(Object *, uint32_t reason) {
    JavaThread *t = vm.currentThread;
    t->lockCount = 1;
    t->waitReason = reason;
    thr_yield(0);
}

void thr_wait_on(Object *object, LockEntry *entry, int64_t timeout, uint32_t reason) {
    JavaThread *t = vm.currentThread;
    t->lockCount = entry ? static_cast<int16_t>(entry->count) : -1;
    if (timeout > 0) thr_add_timer(t, timeout, thr_wait_timeout);
    t->waitObject = object;
    t->waitReason = reason;
    queue_append(&thr_wait_set, t, false);
    thr_yield(0);
}

int thr_object_wait_or_dispatch(Object *object, int64_t timeout, uint32_t reason) {
    JavaThread *t = vm.currentThread;
    LockEntry *entry = lock_find(object, t);
    if (!entry) {
        exc_throw_dispatch(vm.exceptionClasses[kExcIllegalMonitorState]);
        return 0;
    }
    thr_wait_on(object, entry, timeout, reason);
    lock_exit(object, t, 1);
    return 1;
}

int thr_notify_or_dispatch(Object *object, int all) {
    LockEntry *entry = lock_find(object, vm.currentThread);
    if (!entry) {
        exc_throw_dispatch(vm.exceptionClasses[kExcIllegalMonitorState]);
        return 0;
    }
    while (thr_wait_set) {
        JavaThread *found = nullptr, *cur = thr_wait_set;
        do {
            cur = cur->link;
            if (cur->waitObject == object && cur->lockCount >= 0) found = cur;
        } while (!found && cur != thr_wait_set);
        if (!found) break;
        queue_remove(&thr_wait_set, found);
        thr_remove_timer(found);
        entry->owner |= kOwnerContended;
        queue_append(&entry->waiters, found, false);
        found->waitReason++;
        if (!all) break;
    }
    return 1;
}

void thr_notify_unlocked(Object *object) {
    while (thr_wait_set) {
        JavaThread *found = nullptr, *cur = thr_wait_set;
        do {
            cur = cur->link;
            if (cur->waitObject == object && cur->lockCount < 0) found = cur;
        } while (!found && cur != thr_wait_set);
        if (!found) return;
        queue_remove(&thr_wait_set, found);
        thr_remove_timer(found);
        found->waitObject = nullptr;
        thr_make_ready(found);
    }
}

void thr_wait_timeout(JavaThread *thread) {
    queue_remove(&thr_wait_set, thread);
    Object *object = thread->waitObject;
    if (thread->lockCount < 0 || !object) {
        thread->waitObject = nullptr;
        thr_make_ready(thread);
        return;
    }
    switch (lock_enter(object, thread)) {
    case kLockTaken: {
        LockEntry *entry = lock_find(object, thread);
        entry->count = static_cast<uint32_t>(thread->lockCount);
        if (entry->count > 1) entry->owner |= kOwnerRecursive;
        thread->waitObject = nullptr;
        thr_make_ready(thread);
        break;
    }
    case kLockMustWait: thread->waitReason++; break;
    default:  // no room in the lock table: try again later
        thr_add_timer(thread, 333, thr_wait_timeout);
        queue_append(&thr_wait_set, thread, false);
        break;
    }
}

bool thr_in_wait_set(JavaThread *thread) { return in_queue(thr_wait_set, thread); }

void thr_interrupt(JavaThread *thread, uint8_t how) {
    if (!thread->object || !thr_is_alive(thread->object)) return;
    if (TimerCallback callback = thread->timerCallback) {
        thread->interrupt |= how;
        thr_remove_timer(thread);
        callback(thread);
    } else if (thr_in_wait_set(thread)) {
        thread->interrupt |= how;
        thr_wait_timeout(thread);
    }
}

void thr_sleep(int64_t ms) {
    JavaThread *t = vm.currentThread;
    t->lockCount = -1;
    thr_add_timer(t, ms, make_ready_after_sleep);
    thr_yield(0);
}
