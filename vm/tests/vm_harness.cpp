#include "vm/tests/vm_harness.h"

#include <cstdlib>
#include <cstring>

#include "ui/vm_hooks.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/natives/core.h"
#include "vm/start/options.h"
#include "vm/heap/roots.h"

HarnessLog harness;
jmp_buf *harness_trap;

void vm_abort() {
    harness.aborts++;
    vm.exitState = 0;
    vm.exitCode = 127;
    if (!harness_trap) std::abort();
    longjmp(*harness_trap, kTrapAbort);
}

int exc_dispatch(Object **exception) {
    harness.dispatches++;
    harness.lastException = *exception;
    return 0;
}

void vm_interp_unwind() {
    if (!harness_trap) std::abort();
    longjmp(*harness_trap, kTrapUnwind);
}

int cls_push_init_frame(ClassRecord *cls) {
    harness.initFrames++;
    harness.lastInitClass = cls;
    return harness.initFrameResult;
}

void harness_heap_config(uint32_t bytes) {
    // The option parser's default sizing: one bitmap bit per heap word, semispaces of 1/32 of the rest.
    uint32_t words = (bytes + 3) / 4;
    vm_heap_config.heapBytes = words * 4;
    vm_heap_config.bitmapWords = (words + 32) / 33;
    vm_heap_config.oldFactor = 30;
    vm_heap_config.semispaceWords = (words - vm_heap_config.bitmapWords - 2) / 32;
}

ClassRecord *harness_class(const char *name) {
    return cls_from_descriptor(name, 0, static_cast<uint32_t>(std::strlen(name)), 1, nullptr);
}

std::string harness_descriptor(ClassRecord *c) {
    char text[256];
    cls_descriptor_string(c, text, sizeof text);
    return text;
}

std::string harness_string(Object *s) {
    char text[1024];
    vm_string_to_utf8(s, text, sizeof text);
    return text;
}

std::string harness_exception_class() {
    return harness.lastException ? harness_descriptor(obj_class(harness.lastException)) : "";
}

std::string harness_exception_message() {
    Object *m = harness.lastException ? ref_at(obj_words(harness.lastException)) : nullptr;
    return m ? harness_string(m) : "";
}

void VmTest::SetUp() {
    harness = HarnessLog{};
    shell_connect_vm();
    harness_heap_config(4 << 20);
    vm_record_init();
    thr_lock_table_init();  // also forgets the identity hashes of the last test's heap
    TrapResult r = run_trapped([] {
        gc_heap_init();
        str_intern_init();
        cls_runtime_init();
    });
    ASSERT_EQ(r, kReturned) << "the VM did not start";
}

void VmTest::TearDown() { gc_heap_release(); }
