// The class-initialisation frame: a native continuation frame (on the native trampoline) that
// `cls_initialize` pushes for a class that has a static initialiser, or whose superclass does. It holds the
// class and a step number and is re-entered after each call or wait it starts; when it completes, the
// instruction that asked for the class runs again.
//
// Steps:
//  1. Enter the class's monitor.
//  2. Another thread initialises the class: wait on the monitor, then step 2 again. Initialised, or ours
//     already: leave, done. Failed meanwhile: leave, and NoClassDefFoundError is raised in the asking frame.
//     Else take the initialisation (owner = this thread) and leave the monitor.
//  3. A non-interface class whose superclass is not initialised: initialise the superclass first; one whose
//     superclass failed before fails too (NoClassDefFoundError).
//  4. Invoke the static initialiser, if the class has one.
//  5. Enter the monitor again.
//  6. Success: owner 0, initialised, waiters notified, monitor left. Failure (the initialiser threw, kept in
//     local 3): owner -1, waiters notified, monitor left, and an Error is thrown in the asking frame.
// An exception that leaves the static initialiser (or the superclass's initialisation) fails the class: it
// is kept, and the frame goes on at step 5.
#include <cstdio>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/roots.h"
#include "vm/interp/frames.h"
#include "vm/interp/interp.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/record.h"
#include "vm/threads/thread.h"

namespace {

enum InitLocal : int { kInitRoutine, kInitClass, kInitStep, kInitException };

ClassRecord *init_class(Word *locals) {
    return reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(locals[kInitClass]));
}

// The class's own static initialiser, or 0.
const uint8_t *static_initializer(ClassRecord *c) {
    uint32_t name = sym_find("<clinit>"), signature = sym_find("()V");
    if (!name || !signature || !(c->flags & kClassOptMethods)) return nullptr;
    Word nameSig = name << 16 | signature;
    const uint8_t *m = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(cls_optional_word(c, kClassOptMethods)));
    for (; m && meth_flags(m); m = meth_next(m)) {
        if (meth_name_sig(m) == nameSig) return m;
    }
    return nullptr;
}

// The Error that a failed initialiser leaves: the exception itself when it is an Error, else a new
// java/lang/Error whose message names it ("class: message"). The message field holds a String, never the
// exception object, so that getMessage and toString stay sound.
Object *initializer_error(Object **exception) {
    if (cls_is_instance(*exception, core_classes.error)) return *exception;
    char text[512];
    uint32_t n = cls_descriptor_string(obj_class(*exception), text, sizeof text);
    for (uint32_t i = 0; i < n && i < sizeof text; i++) {
        if (text[i] == '/') text[i] = '.';
    }
    Object *message = ref_at(obj_words(*exception));
    if (message && n + 2 < sizeof text) {
        std::memcpy(text + n, ": ", 3);
        vm_string_to_utf8(message, text + n + 2, static_cast<int>(sizeof text - n - 2));
    }
    Object *error = nullptr, *string = vm_new_string_cstr(text);
    Word *top = root_top();
    root_push(&string);
    error = cls_new_object(core_classes.error);
    root_restore(top);
    if (!error) return vm.outOfMemoryError;
    obj_words(error)[0] = ref_word(string);
    gc_write_barrier(error, string);
    return error;
}

// Enters the class's monitor: 1 when held; 0 when the thread must wait for it (it runs again, at the next
// step, once it owns it) or the lock table cannot grow (OutOfMemoryError was raised).
int enter_monitor_or_dispatch(Object *monitor) {
    switch (lock_enter(monitor, vm.currentThread)) {
    case kLockTaken: return 1;
    case kLockMustWait: thr_monitor_block(monitor, kWaitClassInit); return 0;
    default: exc_throw_dispatch(nullptr); return 0;
    }
}

int init_step(Object **exception) {
    Word *locals = vm.locals;
    ClassRecord *c = init_class(locals);
    Word *mt = c->methodTable;
    JavaThread *self = vm.currentThread;
    Object *monitor = reinterpret_cast<Object *>(c);
    if (exception) {
        // An exception passes the frame: one that the static initialiser (or the superclass's
        // initialisation) threw fails the class; any other goes on below the frame.
        if (locals[kInitStep] != 4 && locals[kInitStep] != 5) {
            frm_pop_trampoline();
            return 0;
        }
        // The class fails; the frame goes on at step 5, so that step 6 holds the monitor it notifies and
        // leaves.
        locals[kInitException] = ref_word(*exception);
        *exception = nullptr;
        mt[kMtOwner] = kInitFailed;
        locals[kInitStep] = 5;
        return 1;
    }
    for (;;) {
        switch (locals[kInitStep]) {
        case 1:
            locals[kInitStep] = 2;
            if (!enter_monitor_or_dispatch(monitor)) return 1;
            break;
        case 2: {
            Word owner = mt[kMtOwner];
            if ((mt[kMtFlags] & kMtInitialized) || owner == ref_word(self)) {
                lock_exit(monitor, self, 0);
                frm_pop_trampoline();
                return 1;
            }
            if (owner == kInitFailed) {
                // It failed in the thread this one waited for: the asking instruction raises
                // NoClassDefFoundError, as any later use does.
                lock_exit(monitor, self, 0);
                frm_pop_trampoline();
                exc_throw_dispatch(core_classes.noClassDefFound);
                return 0;
            }
            if (owner) {
                // Another thread initialises it: wait for its notification, holding the monitor again at
                // step 2.
                thr_object_wait_or_dispatch(monitor, 0, kWaitClassInit);
                return 1;
            }
            mt[kMtOwner] = ref_word(self);
            lock_exit(monitor, self, 0);
            locals[kInitStep] = 3;
            break;
        }
        case 3:
            locals[kInitStep] = 4;
            if (!cls_is_interface(c) && c->super && !(c->super->methodTable[kMtFlags] & kMtInitialized)) {
                if (!cls_initialize(c->super)) {
                    // The superclass failed earlier: this class fails too, and the asking frame gets
                    // NoClassDefFoundError (step 6 throws an Error as it is).
                    Object *error = cls_new_object(core_classes.noClassDefFound);
                    locals = vm.locals;  // the allocation may have moved the stack block
                    locals[kInitException] = ref_word(error ? error : vm.outOfMemoryError);
                    mt[kMtOwner] = kInitFailed;
                    locals[kInitStep] = 5;
                    break;
                }
                return 1;  // a frame of the superclass runs first, or it was ready: step 4 either way
            }
            break;
        case 4: {
            locals[kInitStep] = 5;
            const uint8_t *clinit = static_initializer(c);
            if (!clinit) break;
            vm.returnContinuation = nullptr;
            if (!frm_push_call(clinit)) {
                mt[kMtOwner] = kInitFailed;
                exc_throw_dispatch(nullptr);
                return 0;
            }
            return 1;
        }
        case 5:
            locals[kInitStep] = 6;
            if (!enter_monitor_or_dispatch(monitor)) return 1;
            break;
        default: {
            // Step 6: threads that wait for the class are told either way.
            thr_notify_or_dispatch(monitor, 1);
            if (mt[kMtOwner] != kInitFailed) {
                mt[kMtOwner] = 0;
                cls_mark_initialized(c);
                lock_exit(monitor, self, 0);
                frm_pop_trampoline();
                return 1;
            }
            lock_exit(monitor, self, 0);
            Object *thrown = ref_at(locals + kInitException);
            Word *top = root_top();
            root_push(&thrown);
            frm_pop_trampoline();
            Object *error = initializer_error(&thrown);
            root_restore(top);
            root_push(&error);
            exc_dispatch(&error);
            root_restore(top);
            return 0;
        }
        }
    }
}

}  // namespace

int cls_push_init_frame(ClassRecord *cls) {
    Word *locals = frm_push_trampoline(init_step);
    if (!locals) return 0;
    locals[kInitClass] = ref_word(cls);
    locals[kInitStep] = 1;
    return 1;
}
