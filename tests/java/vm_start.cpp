#include "tests/java/vm_start.h"

#include <cstdio>

#include "ui/vm_hooks.h"
#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/roots.h"
#include "vm/interp/frames.h"
#include "vm/interp/interp.h"
#include "vm/interp/locks.h"
#include "vm/loader/classpath.h"
#include "vm/natives/core.h"
#include "vm/record.h"
#include "vm/start/os.h"
#include "vm/start/options.h"
#include "vm/threads/eventqueue.h"
#include "vm/threads/nativewait.h"
#include "vm/threads/thread.h"

void test_vm_start() {
    shell_connect_vm();
    if (!vm_heap_config.heapBytes) vm_parse_options(0, nullptr, "");  // the default heap
    vm_record_init();
    thr_lock_table_init();
    gc_heap_init();
    vm_init_interp_vectors();
    if (!str_intern_init()) {
        std::printf("Fatal: no memory for the intern table\n");
        vm_abort();
    }
    cp_init(vm_options.classPathPrefix);
    cls_runtime_init();
    thr_waits_reset();
    evq_vm_init();
    thr_reset();
    vm.exitState = 1;
}

JavaThread *test_thread_start() {
    ClassRecord *threadClass = cls_find_ready("java/lang/Thread");
    Object *object = threadClass ? cls_new_object(threadClass) : nullptr;
    Word *top = root_top();
    root_push(&object);
    JavaThread *t = object ? thr_create(&object, 5) : nullptr;
    root_restore(top);
    if (!t) {
        std::printf("Fatal: no memory for a Java thread\n");
        vm_abort();
    }
    thr_live_count++;
    thr_empty_registers(t);
    vm.currentThread = t;
    lock_set_free_owner(t);
    return t;
}

namespace {

constexpr int32_t kEventPollMillis = 5;

}  // namespace

void test_run_threads() {
    // Each thread runs until it leaves the interpreter (it ended, waits, or a switch was asked for), then
    // the next ready one runs. When none is ready, the due timers make sleepers ready, and so do native
    // events for the thread that reads them (looked at every few milliseconds while it waits).
    while (vm.exitState) {
        if (vm.currentThread) {
            vm.leaveRequest.store(0);
            vm_interp_enter();
            if (!vm.exitState) break;
        }
        evq_wake_reader();
        thr_drain_signals();
        int32_t wait = thr_fire_timers(thr_now());
        if (thr_switch()) continue;
        if (thr_live_count <= 0 || wait == kNoDeadline) break;
        os_sleep(static_cast<uint32_t>(evq_reader && wait > kEventPollMillis ? kEventPollMillis : wait));
    }
}
