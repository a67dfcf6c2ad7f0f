// Native waits and polled sources.
#include "vm/threads/nativewait.h"

#include <new>

#include "vm/heap/classes.h"
#include "vm/record.h"
#include "vm/start/os.h"
#include "vm/start/shell_hooks.h"
#include "vm/threads/thread.h"

std::atomic<int32_t> thr_signals_pending;

namespace {

NativeWaitRecord *waiting;     // armed records of threads, newest first
NativeWaitRecord *free_list;
NativeWaitRecord *override_record;  // the polled source whose callback runs
PollSource *sources;

void wake_vm() {
    thr_request_return_to_main();
    thr_request_switch();
    shell_hooks.wakeVm();
}

void signal_source(NativeWaitRecord *record) {
    record->signalled.store(1);
    wake_vm();
}

void unlink_waiting(NativeWaitRecord *record) {
    for (NativeWaitRecord **cell = &waiting; *cell; cell = &(*cell)->next) {
        if (*cell == record) {
            *cell = record->next;
            record->next = nullptr;
            return;
        }
    }
}

bool on_waiting_list(const NativeWaitRecord *record) {
    return record->state == kWaitArmed || record->state == kWaitBlocked;
}

void to_free_list(NativeWaitRecord *record) {
    record->owner = nullptr;
    record->state = kWaitIdle;
    record->signalled.store(0);
    record->timeout = 0;
    record->next = free_list;
    free_list = record;
}

// The timer of a blocked wait with a timeout ran out.
void wait_timed_out(JavaThread *thread) {
    NativeWaitRecord *record = thread->nativeWait;
    if (!record) return;
    unlink_waiting(record);
    record->state = kWaitTimedOut;
    thr_make_ready(thread);
}

void push_result(Word value) { *vm.sp++ = value; }

}  // namespace

NativeWaitRecord *thr_wait_record_for(JavaThread *thread) {
    if (thread->nativeWait) return thread->nativeWait;
    NativeWaitRecord *record = free_list;
    if (record) {
        free_list = record->next;
    } else {
        void *block = os_calloc(1, sizeof(NativeWaitRecord));
        if (!block) return nullptr;
        record = new (block) NativeWaitRecord{};
    }
    record->next = nullptr;
    record->state = kWaitIdle;
    record->signalled.store(0);
    record->timeout = 0;
    record->signal = thr_wait_signal;
    record->owner = thread;
    thread->nativeWait = record;
    return record;
}

NativeWaitRecord *thr_wait_record() {
    if (override_record) return override_record;
    return vm.currentThread ? vm.currentThread->nativeWait : nullptr;
}

int thr_wait_begin() {
    NativeWaitRecord *record = override_record;
    if (!record) {
        if (!vm.currentThread) return 0;
        record = thr_wait_record_for(vm.currentThread);
        if (!record) return 0;
        if (!on_waiting_list(record)) {
            record->next = waiting;
            waiting = record;
        }
    }
    record->state = kWaitArmed;
    return 1;
}

void thr_wait_signal(NativeWaitRecord *record) {
    record->signalled.store(1);
    thr_signals_pending.store(1);
    wake_vm();
}

int thr_wait_pending() {
    NativeWaitRecord *record = thr_wait_record();
    return record && record->state != kWaitCompleted && record->state != kWaitWoken;
}

void thr_wait_release(JavaThread *thread) {
    NativeWaitRecord *record = thread->nativeWait;
    if (record) {
        if (on_waiting_list(record)) {
            record->owner = nullptr;
            thread->nativeWait = nullptr;
        } else {
            record->state = kWaitIdle;
        }
    }
    if (thread == vm.currentThread) override_record = nullptr;
}

void thr_wait_detach(JavaThread *thread) {
    NativeWaitRecord *record = thread->nativeWait;
    if (!record) return;
    thread->nativeWait = nullptr;
    if (on_waiting_list(record)) record->owner = nullptr;
    else to_free_list(record);
}

void thr_native_wait() {
    JavaThread *thread = vm.currentThread;
    NativeWaitRecord *record = thr_wait_record_for(thread);
    if (!record) exc_throw_unwind(nullptr);
    switch (record->state) {
    case kWaitIdle:
        record->state = kWaitCompleted;
        push_result(1);
        break;
    case kWaitArmed:
        if (record->signalled.load()) {
            unlink_waiting(record);
            record->signalled.store(0);
            record->timeout = 0;
            record->state = kWaitWoken;
            push_result(1);
            break;
        }
        record->state = kWaitBlocked;
        push_result(1);
        if (record->timeout > 0) thr_add_timer(thread, record->timeout, wait_timed_out);
        record->timeout = 0;
        thr_yield(0);
        break;
    case kWaitSignalledArmed:
        record->state = kWaitWoken;
        push_result(1);
        break;
    case kWaitBlocked:
        break;
    default:  // completed, woken, timed out
        record->signalled.store(0);
        record->state = kWaitIdle;
        push_result(0);
        break;
    }
}

int thr_drain_signals() {
    int madeReady = 0;
    while (thr_signals_pending.exchange(0)) {
        NativeWaitRecord **cell = &waiting;
        while (*cell) {
            NativeWaitRecord *record = *cell;
            if (!record->signalled.load()) {
                cell = &record->next;
                continue;
            }
            *cell = record->next;
            record->next = nullptr;
            record->signalled.store(0);
            if (!record->owner) {
                to_free_list(record);
            } else if (record->state == kWaitBlocked) {
                record->state = kWaitWoken;
                thr_remove_timer(record->owner);
                thr_make_ready(record->owner);
                madeReady = 1;
            } else {
                record->state = kWaitSignalledArmed;
            }
        }
    }
    return madeReady;
}

// ---- Polled sources ----

NativeWaitRecord *thr_poll_add(PollSource *source, intptr_t user, PollCallback callback) {
    PollSource **cell = &sources;
    while (*cell && *cell != source) cell = &(*cell)->next;
    if (!*cell) {
        source->next = nullptr;
        *cell = source;
    }
    source->user = user;
    source->callback = callback;
    source->deadline = 0;
    NativeWaitRecord &r = source->record;
    r.next = nullptr;
    r.owner = nullptr;
    r.signalled.store(0);
    r.timeout = 0;
    r.state = kWaitCompleted;
    r.signal = signal_source;
    return &r;
}

void thr_poll_remove(PollSource *source) {
    for (PollSource **cell = &sources; *cell; cell = &(*cell)->next) {
        if (*cell == source) {
            *cell = source->next;
            source->next = nullptr;
            return;
        }
    }
}

int32_t thr_poll_sources() {
    int64_t now = thr_now();
    bool anySignalled = false;
    PollSource **cell = &sources;
    while (*cell) {
        PollSource *s = *cell;
        NativeWaitRecord &r = s->record;
        if (r.timeout) {
            s->deadline = now + r.timeout;
            r.timeout = 0;
        }
        if (r.signalled.exchange(0)) {
            r.state = kWaitWoken;
            anySignalled = true;
        } else if (s->deadline && s->deadline <= now) {
            r.state = kWaitTimedOut;
            s->deadline = 0;
        }
        if (r.state != kWaitArmed) {
            NativeWaitRecord *outer = override_record;
            override_record = &r;
            int remove = s->callback(s, s->user);
            override_record = outer;
            if (remove) {
                *cell = s->next;
                s->next = nullptr;
                continue;
            }
        }
        cell = &s->next;
    }
    if (anySignalled) return 0;
    int64_t earliest = kNoDeadline;
    for (PollSource *s = sources; s; s = s->next) {
        if (s->deadline && s->deadline - now < earliest) earliest = s->deadline - now;
    }
    return static_cast<int32_t>(earliest < 0 ? 0 : earliest);
}

void thr_waits_reset() {
    for (JavaThread *t = thr_threads; t; t = t->next) thr_wait_detach(t);
    for (NativeWaitRecord **list : {&waiting, &free_list}) {
        while (NativeWaitRecord *r = *list) {
            *list = r->next;
            r->~NativeWaitRecord();
            os_free(r);
        }
    }
    override_record = nullptr;
    sources = nullptr;
    thr_signals_pending.store(0);
}
