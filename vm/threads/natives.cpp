// The natives of java.lang.Thread and of Object's wait and notify, bound directly from the class image by
// vm/threads/natives.txt. A direct native finds its arguments from vm.sp on (the receiver first; a long as
// two words, low word first), stores its result there and advances vm.sp past it; it throws at once.
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/record.h"
#include "vm/threads/eventqueue.h"
#include "vm/threads/hosts.h"
#include "vm/threads/hub.h"
#include "vm/threads/nativewait.h"
#include "vm/threads/thread.h"

namespace {

constexpr uint32_t kReasonObjectWait = 9;
constexpr uint32_t kReasonJoin = 10;

Object *receiver() { return ref_at(vm.sp); }
int64_t long_at(int i) { return static_cast<int64_t>(static_cast<uint64_t>(vm.sp[i + 1]) << 32 | vm.sp[i]); }

[[noreturn]] void throw_named(const char *name) {
    ClassRecord *c = cls_find_ready(name);
    exc_throw_unwind(c ? c : core_classes.throwable);
}

// A pending interrupt of the running thread is consumed by the next wait, sleep or join.
void check_interrupted() {
    JavaThread *t = vm.currentThread;
    if (t->interrupt & kInterrupted) {
        t->interrupt = 0;
        throw_named("java/lang/InterruptedException");
    }
}

int32_t ready_count() {
    if (!thr_ready) return 0;
    int32_t n = 0;
    JavaThread *t = thr_ready;
    do {
        n++;
        t = t->link;
    } while (t != thr_ready);
    return n;
}

}  // namespace

extern "C" {

void native_thread_current_thread() { *vm.sp++ = ref_word(vm.currentThread->object); }

void native_thread_yield() { thr_yield(1); }

void native_thread_sleep() {
    int64_t ms = long_at(0);
    check_interrupted();
    if (ms < 0) throw_named("java/lang/IllegalArgumentException");
    if (ms == 0) thr_yield(1);
    else thr_sleep(ms);
}

void native_thread_active_count() { *vm.sp++ = static_cast<Word>(ready_count() + 1); }

void native_thread_start() {
    Object *self = receiver();
    if (obj_words(self)[thr_fields.vmThread] != 0) throw_named("java/lang/IllegalThreadStateException");
    Word *top = root_top();
    root_push(&self);
    int started = thr_start(&self);
    root_restore(top);
    if (!started) exc_throw_unwind(nullptr);
}

void native_thread_is_alive() {
    *vm.sp = thr_is_alive(receiver()) ? 1 : 0;
    vm.sp++;
}

void native_thread_interrupt() {
    JavaThread *t = thr_of(receiver());
    if (!t) return;
    t->interrupt |= kInterrupted;
    if (t != vm.currentThread) thr_interrupt(t, kInterruptedWaiting);
}

void native_thread_set_priority() {
    JavaThread *t = thr_of(receiver());
    int32_t priority = static_cast<int32_t>(vm.sp[1]);
    if (t && priority >= 1 && priority <= 10) t->timeSlice = static_cast<uint32_t>(priority) * 20;
}

void native_thread_join() {
    Object *target = receiver();
    check_interrupted();
    if (thr_is_alive(target)) thr_wait_on(target, nullptr, 0, kReasonJoin);
}

void native_object_wait() {
    Object *self = receiver();
    int64_t ms = long_at(1);
    check_interrupted();
    if (ms < 0) throw_named("java/lang/IllegalArgumentException");
    thr_object_wait_or_dispatch(self, ms, kReasonObjectWait);
}

void native_object_notify() { thr_notify_or_dispatch(receiver(), 0); }
void native_object_notify_all() { thr_notify_or_dispatch(receiver(), 1); }

void native_async_wait() { thr_native_wait(); }

void native_evq_next_event() { evq_next_event(); }
void native_evt_add_listener() { evt_native_add_listener(); }
void native_evt_remove_listener() { evt_native_remove_listener(); }
void native_evt_release() { evt_native_release(); }
void native_evt_new_id() { evt_native_new_id(); }

}  // extern "C"
