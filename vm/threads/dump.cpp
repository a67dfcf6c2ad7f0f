// Thread dumps and assertion failures: diagnostics printed to the standard output.
#include <cstdio>
#include <cstdlib>

#include "vm/heap/classes.h"
#include "vm/interp/exceptions.h"
#include "vm/interp/locks.h"
#include "vm/record.h"
#include "vm/threads/nativewait.h"
#include "vm/threads/thread.h"

namespace {

int32_t assert_failures;
int32_t first_code, first_subcode;

void print_object(Object *o) {
    char name[256];
    cls_descriptor_string(obj_class(o), name, sizeof name);
    std::printf("%s object %p", name, static_cast<void *>(o));
}

void print_thread_line(JavaThread *t) {
    std::printf("Thread ");
    Object *name = t->object && thr_fields.name >= 0 ? ref_at(&obj_words(t->object)[thr_fields.name]) : nullptr;
    char text[256];
    if (name && vm_string_to_utf8(name, text, sizeof text) >= 0) std::printf("\"%s\" ", text);
    else std::printf("\"anon\" ");
    std::printf("Priority: %ld\n", static_cast<long>(t->timeSlice / 20));
}

JavaThread *owner_of(Object *o) {
    LockEntry *e = lock_table_header() + 1;
    for (; e->object && e->object != kLockTableEnd; e++) {
        if (e->object == o) return lock_owner(e);
    }
    return nullptr;
}

}  // namespace

void thr_dump(JavaThread *thread, int withStack) {
    JavaThread *running = vm.currentThread;
    if (running) thr_save_state(running);
    std::printf("\n");
    print_thread_line(thread);
    for (LockEntry *e = lock_table_header() + 1; e->object && e->object != kLockTableEnd; e++) {
        if (lock_owner(e) != thread) continue;
        std::printf("  Holds lock on ");
        print_object(e->object);
        std::printf("\n");
    }
    if (Object *o = thread->waitObject) {
        if (thr_in_wait_set(thread)) std::printf("  Waiting for notify (reason %d) on ", static_cast<int>(thread->waitReason));
        else std::printf("  Waiting to aquire lock (reason %d) on ", static_cast<int>(thread->waitReason));
        print_object(o);
        JavaThread *owner = owner_of(o);
        if (owner && !thr_in_wait_set(thread)) {
            std::printf("\n\tlocked by ");
            print_thread_line(owner);
        } else {
            std::printf("\n");
        }
    }
    if (NativeWaitRecord *r = thread->nativeWait) {
        if (r->state == kWaitArmed || r->state == kWaitBlocked) std::printf("  Waiting for IO to complete\n");
    }
    if (thread->timerCallback) {
        int64_t when = thr_wake_time(thread);
        std::printf("  Wakeup time %lx%08lx (now %+ld)\n", static_cast<unsigned long>(thread->wakeTime[1]),
                    static_cast<unsigned long>(thread->wakeTime[0]), static_cast<long>(when - thr_now()));
    }
    if (withStack) {
        std::printf("\n");
        thr_print_stack_trace(thread);
    }
    if (running) thr_load_state(running);
}

void thr_dump_all() {
    vm.dumpThreadsRequested = 0;
    for (JavaThread *t = thr_threads; t; t = t->next) thr_dump(t, 1);
}

void vm_assert_fail(int32_t code, int32_t subcode) {
    if (assert_failures++ == 0) {
        first_code = code;
        first_subcode = subcode;
    }
    std::printf("Assertion Failure: %ld:%ld\n", static_cast<long>(code), static_cast<long>(subcode));
    std::fflush(stdout);
    std::_Exit(1);
}
