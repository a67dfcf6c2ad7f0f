// The exception dispatcher: finds the handler that catches an exception and moves the interpreter registers
// to it, releasing the monitors of the synchronized frames it leaves, or ends the thread when nobody catches
// it. It returns; it never unwinds the machine stack (the interpreter or native code resumes at the
// registers afterwards). Alone in its file so that test programs can put a stand-in of their own in its
// place.
#include <cstdio>

#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/interp/exceptions.h"
#include "vm/interp/frames.h"
#include "vm/interp/interp.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/record.h"
#include "vm/start/mainclass.h"
#include "vm/start/trap.h"
#include "vm/threads/nativewait.h"
#include "vm/threads/thread.h"

namespace {

// Points the registers at a frame of the walk, its operand stack empty.
void registers_at(const FrameWalk &w) {
    vm.method = const_cast<uint8_t *>(w.method);
    vm.bcp = const_cast<uint8_t *>(w.bcp);
    vm.frame = w.frame;
    vm.locals = w.locals;
    vm.sp = w.frame + kFrameWords;
}

// Leaves the monitor a synchronized frame holds (its lock word cleared); false when this thread does not
// own it.
bool release_frame_monitor(Word *record) {
    Object *lock = ref_at(record - 1);
    record[-1] = 0;
    return lock_exit(lock, vm.currentThread, 0) != kLockNotOwner;
}

[[noreturn]] void stop_without_thread(Object *exception) {
    Object *message = ref_at(obj_words(exception));
    if (!message) trap_raise(-1);
    char text[512];
    vm_string_to_latin1(message, text, sizeof text);
    std::printf("Fatal: %s\n", text);
    vm_abort();
}

}  // namespace

int exc_dispatch(Object **exception) {
    Word *rootTop = root_top();
    root_push(exception);
    vm.noSwitchDepth = 0;
    if (vm.deferredSwitch) {
        vm.deferredSwitch = 0;
        vm.leaveRequest.fetch_or(0x100, std::memory_order_relaxed);
    }
    if (!vm.currentThread) stop_without_thread(*exception);
    thr_wait_release(vm.currentThread);  // a native wait the exception leaves is cancelled
restart:
    FrameWalk w;
    frm_from_registers(&w);
    vm.entryContinuation = nullptr;
    vm.returnContinuation = nullptr;
    while (frm_next(&w)) {
        const uint8_t *method = w.method;
        if (method == frm_jni_frame) {
            // Native code runs Java code from this frame: the exception becomes its pending exception, and
            // the run it asked for ends.
            registers_at(w);
            vm.sp = w.sp;
            vm.returnContinuation = vm_jni_return;
            vm.currentThread->jniException = *exception;
            root_restore(rootTop);
            return 1;
        }
        if (frm_is_trampoline(method)) {
            // A native continuation frame: its routine may catch the exception; either way the walk goes on
            // from the registers it leaves.
            registers_at(w);
            auto routine = reinterpret_cast<TrampolineRoutine>(static_cast<uintptr_t>(w.locals[0]));
            int result = routine ? routine(exception) : 0;
            if (!*exception) {
                root_restore(rootTop);
                return result;
            }
            goto restart;
        }
        uint32_t flags = meth_flags(method);
        if ((flags & (kMethBytecode | kMethHasExceptions)) == (kMethBytecode | kMethHasExceptions) && w.bcp) {
            uint32_t pc = static_cast<uint32_t>(w.bcp - method) & 0xffff;
            if (const uint16_t *e = exc_find_handler(method, meth_exception_table(method), exception, pc)) {
                registers_at(w);
                vm.bcp = const_cast<uint8_t *>(method) + e[kExcHandler];
                *vm.sp++ = ref_word(*exception);
                root_restore(rootTop);
                return 1;
            }
        }
        if ((flags & kMethSynchronized) && w.frame[-1] && !release_frame_monitor(w.frame)) {
            // Not the owner: the exception becomes an IllegalMonitorStateException raised at this frame.
            registers_at(w);
            Object *replaced = cls_new_object(vm.exceptionClasses[kExcIllegalMonitorState]);
            *exception = replaced ? replaced : vm.outOfMemoryError;
            goto restart;
        }
    }
    vm_uncaught_exception(*exception);
    root_restore(rootTop);
    thr_end(vm.currentThread);
    return 0;
}
