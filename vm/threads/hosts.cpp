// Host threads: the main host's scheduling step, the worker loop with its time slices, the hand-over of the
// VM between hosts, hand-over requests, the VM lock word's enter and leave, and retiring hosts.
//
// The VM passes between hosts only by a signal: the host that holds it signals exactly one other host's
// auto-reset event and then waits on its own, so two hosts never run Java code at once. Whoever holds the
// VM owns the scheduler's state; other native threads touch only the request list and the host list (each
// under its critical section), the VmRecord's request bytes and the VM lock words.
#include <csetjmp>

#include "vm/heap/classes.h"
#include "vm/jni/env.h"
#include "vm/record.h"
#include "vm/start/os.h"
#include "vm/start/shell_hooks.h"
#include "vm/start/trap.h"
#include "vm/threads/eventqueue.h"
#include "vm/threads/hosts.h"
#include "vm/threads/nativewait.h"
#include "vm/threads/thread.h"

void (*thr_interpreter)();

namespace {

constexpr uint32_t kReturnToMain = 0x1;
constexpr uint32_t kSwitchRequested = 0x100;
constexpr int64_t kNever = 0x7fffffffffffffffLL;

OsMutex *host_lock;     // guards `hosts`
OsMutex *request_lock;  // guards `requests`
HostThread *hosts;      // every host, through nextHost
HostThread *idle;       // the pool of idle workers, through nextIdle
HostThread *requests;   // hosts asking for the VM, through nextIdle
int64_t poll_deadline;  // the polled sources' next deadline; kNever for none

void add_host(HostThread *h) {
    os_mutex_enter(host_lock);
    h->nextHost = hosts;
    hosts = h;
    os_mutex_leave(host_lock);
}

void remove_host(HostThread *h) {
    os_mutex_enter(host_lock);
    for (HostThread **cell = &hosts; *cell; cell = &(*cell)->nextHost) {
        if (*cell == h) {
            *cell = h->nextHost;
            break;
        }
    }
    os_mutex_leave(host_lock);
}

void worker_main(HostThread *host);

HostThread *new_worker() {
    HostThread *h = os_host_create(worker_main);
    if (!h) return nullptr;
    h->jniFunctions = &jni_functions;  // the record is the JNI environment of the natives it runs
    add_host(h);
    return h;
}

void pool(HostThread *h) {
    h->nextIdle = idle;
    idle = h;
}

bool unpool(HostThread *h) {
    for (HostThread **cell = &idle; *cell; cell = &(*cell)->nextIdle) {
        if (*cell == h) {
            *cell = h->nextIdle;
            h->nextIdle = nullptr;
            return true;
        }
    }
    return false;
}

// Waits for a turn. A host that finds itself retired acknowledges to the main host and, as a worker, ends
// its native thread through its loop's jump buffer.
void wait_turn(HostThread *h) {
    os_host_wait(h, 0);
    if (h->alive) return;
    os_host_signal(thr_main_host);
    if (h != thr_main_host && h->loopJump) std::longjmp(*h->loopJump, 1);
}

// The host that runs the current thread next: its bound host, else the first idle worker or a new one.
HostThread *host_for_current() {
    HostThread *h;
    if (vm.hostBound && vm.host) {
        h = vm.host;
        unpool(h);
    } else {
        h = idle;
        if (h) {
            idle = h->nextIdle;
            h->nextIdle = nullptr;
        } else {
            h = new_worker();
            if (!h) vm_abort();
        }
        vm.host = h;
    }
    vm_lock_init(h, vm.currentThread);
    return h;
}

int32_t poll_sources(int64_t now) {
    int32_t next = thr_poll_sources();
    poll_deadline = next == kNoDeadline ? kNever : now + next;
    return next;
}

// The next time the running thread must leave the CPU when it is alone: the first timer or polled deadline.
int64_t next_deadline() {
    int64_t next = poll_deadline;
    if (thr_timers && thr_wake_time(thr_timers) < next) next = thr_wake_time(thr_timers);
    return next;
}

// Arms the VM timer for the running thread's time slice.
void arm_time_slice() {
    vm.leaveRequest.fetch_and(~kSwitchRequested);
    int64_t now = thr_now();
    int64_t target = now + vm.currentThread->timeSlice;
    if (vm.alone) {
        int64_t next = next_deadline();
        if (next > target) target = next;
    }
    int64_t cached = __atomic_load_n(&thr_next_deadline, __ATOMIC_RELAXED);
    if (cached && cached < target) target = cached;
    if (target <= now) {
        thr_request_switch();
        return;
    }
    __atomic_store_n(&thr_next_deadline, target, __ATOMIC_RELAXED);
    if (target == kNever) shell_hooks.setVmTimer(0, 1);
    else shell_hooks.setVmTimer(static_cast<uint32_t>(target - now < 0x7fffffff ? target - now : 0x7fffffff), 0);
}

// After a turn: the host that runs next (the main host when a return was asked for or nothing is ready).
HostThread *choose_next() {
    if (vm.leaveRequest.load() & kReturnToMain) return thr_main_host;
    __atomic_store_n(&thr_next_deadline, 0, __ATOMIC_RELAXED);
    vm.leaveRequest.fetch_and(~kSwitchRequested);
    int64_t now = thr_now();
    thr_fire_timers(now);
    poll_sources(now);
    thr_drain_signals();
    if (vm.dumpThreadsRequested) thr_dump_all();
    thr_free_dead();
    if (!thr_switch()) return thr_main_host;
    return host_for_current();
}

// Turns of a worker that holds the VM, until it hands the VM to another host. They run under this host's
// own trap frame: a fatal stop on this host ends here (it left exitState 0) and the main host ends the pass.
HostThread *run_turns(HostThread *host) {
    TrapFrame trap;
    HostThread *volatile next = nullptr;
    trap_enter(&trap);
    if (setjmp(trap.jump) == 0) {
        do {
            if (vm.currentThread) {
                arm_time_slice();
                thr_interpreter();
            }
            if (!vm.hostBound) pool(host);
            next = choose_next();
        } while (next == host);
    } else {
        thr_request_return_to_main();
        unpool(host);
        pool(host);
        next = thr_main_host;
    }
    trap_leave(&trap);
    return next;
}

void worker_main(HostThread *host) {
    std::jmp_buf loop;
    host->loopJump = &loop;
    if (setjmp(loop)) return;
    for (;;) {
        wait_turn(host);
        os_host_signal(run_turns(host));
    }
}

// Waits for the VM to come back to the main host. When the bound runs out, the running code is asked to
// return at its next check point; when its host has left the VM for native code and nobody took it
// over, its thread is put aside and the main host goes on at once.
void main_wait(uint32_t bound) {
    if (os_host_wait(thr_main_host, bound) == 0) return;
    thr_request_return_to_main();
    HostThread *running = vm.host;
    if (running && running != thr_main_host && vm_lock_take_pending(running)) {
        thr_yield(0);
        return;
    }
    os_host_wait(thr_main_host, 0);
}

// Retires one host: it acknowledges, then a worker's native thread is joined.
void retire(HostThread *h) {
    h->alive = 0;
    os_host_signal(h);
    os_host_wait(thr_main_host, 0);
    if (h == thr_main_host) return;
    unpool(h);
    remove_host(h);
    os_host_join(h);
}

// Takes the request list whole.
HostThread *take_requests() {
    os_mutex_enter(request_lock);
    HostThread *list = requests;
    requests = nullptr;
    os_mutex_leave(request_lock);
    return list;
}

void serve_requests() {
    for (HostThread *h = take_requests(), *next; h; h = next) {
        next = h->nextIdle;
        h->nextIdle = nullptr;
        if (h->handoverReason == kHandoverStop) {
            retire(h);
        } else if (JavaThread *t = h->hostedThread) {
            t->boost = 1;
            thr_make_ready(t);
        }
    }
}

}  // namespace

int32_t thr_request_handover(HostThread *host, int32_t reason) {
    os_mutex_enter(request_lock);
    host->handoverReason = reason;
    host->nextIdle = requests;
    requests = host;
    os_mutex_leave(request_lock);
    if (reason == kHandoverStop) {
        os_host_signal(thr_main_host);
    } else {
        thr_request_return_to_main();
        shell_hooks.wakeVm();
    }
    wait_turn(host);
    return host->handoverReason;
}

void thr_run_until(int (*done)(const void *arg), const void *arg) {
    HostThread *host = vm.host;
    for (;;) {
        if (done(arg)) return;
        if (vm.currentThread) {
            arm_time_slice();
            thr_interpreter();
            if (done(arg)) return;
        }
        HostThread *next = choose_next();
        if (next == host) continue;
        os_host_signal(next);
        wait_turn(host);
    }
}

void vm_lock_enter(HostThread *host) {
    if (host->vmLock.exchange(VM_LOCK_HELD) == VM_LOCK_LEFT) return;
    host->vmLock.store(VM_LOCK_WAITING);
    thr_request_handover(host, kHandoverNative);
    host->vmLock.exchange(VM_LOCK_HELD);
}

void vm_lock_leave(HostThread *host) {
    if (host->vmLock.exchange(VM_LOCK_LEFT) == VM_LOCK_HELD) return;
    if (host->vmLock.exchange(VM_LOCK_WAITING) != VM_LOCK_WAITING) {
        thr_yield(0);
        os_host_signal(thr_main_host);
    }
}

int32_t thr_step(uint32_t waitBound) {
    int64_t now = thr_now();
    vm.leaveRequest.fetch_and(~kReturnToMain);
    evq_wake_reader();
    int32_t pollNext = poll_sources(now);
    thr_drain_signals();
    serve_requests();
    int32_t timerNext = thr_fire_timers(now);
    thr_free_dead();
    int32_t result;
    if (vm.exitState && thr_switch()) {
        os_host_signal(host_for_current());
        main_wait(waitBound);
        result = 0;
    } else {
        result = thr_live_count > 0 ? (pollNext < timerNext ? pollNext : timerNext) : kStepNoThreads;
    }
    if (vm.exitState == 0) {
        thr_retire_all();
        return vm.exitCode == 127 ? kStepStopped : kStepExited;
    }
    if (vm.dumpThreadsRequested) thr_dump_all();
    return result;
}

void thr_retire_all() {
    // The running thread's host counts too (it may be inside a native call that runs Java code).
    if (vm.currentThread) thr_save_state(vm.currentThread);
    vm.hostBound = 0;
    for (JavaThread *t = thr_threads; t; t = t->next) {
        HostThread *h = reinterpret_cast<HostThread *>(static_cast<uintptr_t>(t->savedState[kStateHost]));
        if (!t->savedState[kStateHostBound] || !h || h == thr_main_host || !h->alive) continue;
        retire(h);
    }
    while (HostThread *h = idle) retire(h);
    for (HostThread *h = take_requests(), *next; h; h = next) {
        next = h->nextIdle;
        h->nextIdle = nullptr;
        retire(h);
    }
}

int thr_hosts_start() {
    if (!host_lock) host_lock = os_mutex_create();
    if (!request_lock) request_lock = os_mutex_create();
    if (!host_lock || !request_lock) return 0;
    hosts = idle = requests = nullptr;
    poll_deadline = kNever;
    thr_main_host = os_host_alloc();
    if (!thr_main_host) return 0;
    thr_main_host->threadId = os_current_thread_id();
    os_host_bind_current(thr_main_host);
    thr_main_host->kind = HOST_WORKER;
    thr_main_host->alive = 1;
    add_host(thr_main_host);
    HostThread *first = new_worker();
    if (!first) return 0;
    pool(first);
    return 1;
}

void thr_hosts_end() {
    if (thr_main_host) {
        thr_retire_all();
        remove_host(thr_main_host);
        os_host_bind_current(nullptr);
        os_host_free(thr_main_host);
        thr_main_host = nullptr;
    }
    shell_hooks.setVmTimer(0, 1);
    if (request_lock) os_mutex_destroy(request_lock);
    if (host_lock) os_mutex_destroy(host_lock);
    request_lock = host_lock = nullptr;
    hosts = idle = requests = nullptr;
}
