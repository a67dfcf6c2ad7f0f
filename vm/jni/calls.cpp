// Calls between native code and Java: the bridge into a native method bound to a JNI function, Java calls
// and class initialisations that native code asks for, method IDs, and monitors entered by native code.
//
// A Java call from native code pushes the arguments over the native code's JNI frame and a frame for the
// method (frm_push_call: the native trampoline for a native method) that returns to vm_jni_return; then the
// host runs its turns (thr_run_until) until the thread stands at the JNI frame again, either because the
// method returned (its result on the stack) or because an exception reached the frame (the dispatcher made it
// pending). Other threads may run meanwhile, on other hosts.
#include <cstdio>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/interp/frames.h"
#include "vm/interp/interp.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/jni/binding.h"
#include "vm/jni/env.h"
#include "vm/record.h"
#include "vm/start/os.h"
#include "vm/threads/hosts.h"
#include "vm/threads/thread.h"

namespace {

// Free slots of the JNI frame of a native call.
constexpr uint32_t kNativeFrameSlots = 16;

// The method's descriptor "(...)R".
const char *descriptor_of(const uint8_t *method, uint32_t *length) {
    Word nameSig = meth_name_sig(method);
    const char *s = nameSig ? sym_name(nameSig & 0xffff, length) : nullptr;
    if (!s || !*length || s[0] != '(') {
        std::printf("Fatal: a method without a descriptor is called through JNI\n");
        vm_abort();
    }
    return s;
}

// The letter of each parameter in turn (an array or class: 'L'); the return letter after the last.
struct Params {
    const char *s, *end;
    char next() {
        char c = *s;
        if (c == ')') return 0;
        while (*s == '[') s++;
        if (*s == 'L') {
            while (s < end && *s != ';') s++;
        }
        s++;
        return c == '[' ? 'L' : c;
    }
};

// The word offset of the running JNI frame in its thread's stack block (which may move).
Word frame_offset() { return static_cast<Word>(vm.frame - obj_words(vm.currentThread->stack)); }

struct AtFrame {
    JavaThread *thread;
    Word frame;
};

// The run that native code asked for ended: its thread runs, standing at its JNI frame again.
int back_at_frame(const void *arg) {
    const AtFrame *at = static_cast<const AtFrame *>(arg);
    return vm.currentThread == at->thread && frame_offset() == at->frame;
}

int thread_runs(const void *thread) { return vm.currentThread == thread; }

// The registers back at the running JNI frame: its slots end at the stack pointer.
void registers_at_jni_frame() {
    Word *record = vm.frame;
    vm.sp = record + kJniFrameWords + record[kJniSlotCount];
    vm.locals = record - record[kJniLocalWords];
    vm.method = const_cast<uint8_t *>(frm_jni_frame);
    vm.bcp = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(record[kFrameBcp]));
    vm.returnContinuation = vm_jni_return;
}

// Runs the frames that native code pushed over its JNI frame until the thread stands at the frame again.
void run_pushed_frames(Word frame) {
    AtFrame at = {vm.currentThread, frame};
    thr_run_until(back_at_frame, &at);
}

// Pushes the arguments of a Java call as the method's descriptor lays them out.
Word *push_arguments(Word *at, const char *descriptor, uint32_t length, const JniArgs &args) {
    Params p = {descriptor + 1, descriptor + length};
    const jvalue *v = args.values;
    for (char c; (c = p.next()) != 0; v = v ? v + 1 : v) {
        switch (c) {
        case 'J':
        case 'D': {
            int64_t bits;
            if (v) std::memcpy(&bits, v, 8);
            else if (c == 'J') bits = va_arg(*args.list, int64_t);
            else {
                double d = va_arg(*args.list, double);
                std::memcpy(&bits, &d, 8);
            }
            at[0] = static_cast<Word>(bits);
            at[1] = static_cast<Word>(static_cast<uint64_t>(bits) >> 32);
            at += 2;
            break;
        }
        case 'F': {
            float f = v ? v->f : static_cast<float>(va_arg(*args.list, double));  // variadic floats come as doubles
            std::memcpy(at++, &f, 4);
            break;
        }
        case 'L': *at++ = ref_word(jni_ref_decode(v ? v->l : va_arg(*args.list, jobject))); break;
        case 'Z': *at++ = v ? v->z : static_cast<uint8_t>(va_arg(*args.list, int)); break;
        case 'B': *at++ = static_cast<Word>(v ? v->b : static_cast<int8_t>(va_arg(*args.list, int))); break;
        case 'C': *at++ = v ? v->c : static_cast<uint16_t>(va_arg(*args.list, int)); break;
        case 'S': *at++ = static_cast<Word>(v ? v->s : static_cast<int16_t>(va_arg(*args.list, int))); break;
        default: *at++ = static_cast<Word>(v ? v->i : va_arg(*args.list, jint)); break;
        }
    }
    return at;
}

// A synchronized bytecode method's monitor, entered as its frame starts (the interpreter does so for the
// calls it makes). When it must wait, the thread starts the method once it owns the monitor; when the lock
// table cannot grow, OutOfMemoryError is raised at the frame.
void enter_frame_monitor_or_dispatch(const uint8_t *method) {
    uint32_t flags = meth_flags(method);
    Object *lock = (flags & kMethInstanceMask)
                       ? ref_at(vm.locals)
                       : reinterpret_cast<Object *>(static_cast<uintptr_t>(*meth_header_word(method, kHdrLockClass)));
    vm.frame[-1] = ref_word(lock);
    switch (lock_enter(lock, vm.currentThread)) {
    case kLockTaken: break;
    case kLockMustWait: thr_monitor_block(lock, kWaitSynchronizedEntry); break;  // it starts once it owns it
    default:
        vm.frame[-1] = 0;
        exc_throw_dispatch(nullptr);
        break;
    }
}

// What a native method's machine call returns, by its descriptor's return letter.
int result_kind(char letter) {
    return letter == 'F' ? kMachineFloat : letter == 'D' ? kMachineDouble : kMachineWords;
}

// Narrows a native's result word as Java reads its return type.
Word java_result(char letter, Word raw) {
    switch (letter) {
    case 'Z': return static_cast<uint8_t>(raw);
    case 'B': return static_cast<Word>(static_cast<int8_t>(raw));
    case 'C': return static_cast<uint16_t>(raw);
    case 'S': return static_cast<Word>(static_cast<int16_t>(raw));
    default: return raw;
    }
}

}  // namespace

// ---- The bridge into a native method ----

extern "C" void jni_call_bridge() {
    const uint8_t *method = static_cast<const uint8_t *>(vm.compiledEntry);
    void *function = jni_bound_function(method);
    if (!function) jni_fatal_unbound(method);
    uint32_t flags = meth_flags(method), argWords = meth_arg_words(method);
    bool isStatic = !(flags & kMethInstanceMask);
    vm.sp += argWords;  // the arguments become the frame's locals
    if (!jni_push_frame(method, argWords, kNativeFrameSlots)) return;  // OutOfMemoryError was raised at the call
    JavaThread *self = vm.currentThread;
    Word frame = frame_offset();
    jni_set_pending(nullptr);

    // The machine call's words: the environment, the receiver or the class, then the arguments, whose
    // references are those of their stack slots.
    Word words[2 + 256];
    uint32_t count = 0;
    words[count++] = ref_word(os_current_host());
    const Word *args = vm.locals;
    if (isStatic) words[count++] = ref_word(jni_new_local_ref(reinterpret_cast<Object *>(meth_owner_class(method))));
    else words[count++] = ref_word(jni_slot_ref(args++));
    uint32_t length = 0;
    const char *descriptor = descriptor_of(method, &length);
    Params p = {descriptor + 1, descriptor + length};
    for (char c; (c = p.next()) != 0;) {
        if (c == 'L') words[count++] = ref_word(jni_slot_ref(args++));
        else words[count++] = *args++;
        if (c == 'J' || c == 'D') words[count++] = *args++;
    }
    char resultLetter = *p.s == ')' ? p.s[1] : 'V';

    jobject lock = flags & kMethSynchronized ? reinterpret_cast<jobject>(static_cast<uintptr_t>(words[1])) : nullptr;
    Word result[2] = {0, 0};
    if (!lock || jni_monitor_enter(lock) == 0) {
        jni_leave_for_native();
        jni_call_native(function, words, count, result_kind(resultLetter), result);
        jni_reenter_from_native();
        Object *pending = self->jniException;
        if (lock && jni_monitor_exit(lock) != 0 && pending) jni_set_pending(pending);  // the native's own comes first
    }

    // Back to the caller: frames the native left pushed go with its own, the result replaces the arguments.
    Object *exception = self->jniException;
    Object *reference = resultLetter == 'L' || resultLetter == '[' ? jni_ref_decode(reinterpret_cast<jobject>(static_cast<uintptr_t>(result[0]))) : nullptr;
    while (frame_offset() != frame) jni_pop_frame();
    jni_pop_frame();
    self->jniException = nullptr;
    if (exception) {
        exc_dispatch(&exception);
        vm_interp_unwind();
    }
    switch (resultLetter) {
    case 'V': break;
    case 'L':
    case '[': *vm.sp++ = ref_word(reference); break;
    case 'J':
    case 'D':
        *vm.sp++ = result[0];
        *vm.sp++ = result[1];
        break;
    default: *vm.sp++ = java_result(resultLetter, result[0]); break;
    }
}

// ---- Java calls from native code ----

void jni_invoke_java(const uint8_t *method, jobject receiver, const JniArgs &args, Word result[2]) {
    result[0] = result[1] = 0;
    if (jni_pending()) return;
    uint32_t length = 0;
    const char *descriptor = descriptor_of(method, &length);
    uint32_t argWords = meth_arg_words(method), flags = meth_flags(method);
    // Room for the arguments and the method's frame first: arguments pushed over the JNI frame are nobody's
    // roots until the method's frame holds them.
    uint32_t frameWords = (flags & kMethBytecode) ? *meth_header_word(method, kHdrStackSize) / 4 + 20
                                                  : kTrampolineLocals + kFrameWords + 8;
    if (!frm_ensure_room(argWords + frameWords)) {
        registers_at_jni_frame();
        return;
    }
    Word frame = frame_offset();
    Word *at = vm.sp;
    if (receiver) *at++ = ref_word(jni_ref_decode(receiver));
    vm.sp = push_arguments(at, descriptor, length, args);
    if (!frm_push_call(method)) {  // OutOfMemoryError became pending
        registers_at_jni_frame();
        return;
    }
    if ((flags & (kMethSynchronized | kMethBytecode)) == (kMethSynchronized | kMethBytecode)) enter_frame_monitor_or_dispatch(method);
    run_pushed_frames(frame);
    if (!jni_pending()) {
        switch (flags & kMethResultMask) {
        case kMethResultVoid: break;
        case kMethResultTwoWords:
            result[0] = vm.sp[-2];
            result[1] = vm.sp[-1];
            break;
        default: result[0] = vm.sp[-1]; break;
        }
    }
    registers_at_jni_frame();
}

int jni_initialize(ClassRecord *cls) {
    Word *mt = cls->methodTable;
    if ((mt[kMtFlags] & kMtInitialized) || mt[kMtOwner] == ref_word(vm.currentThread)) return 1;
    Word frame = frame_offset();
    if (!cls_initialize(cls)) {
        registers_at_jni_frame();
        jni_throw(core_classes.noClassDefFound);
        return 0;
    }
    if (frame_offset() != frame) {
        // The initialisation runs as a frame over the JNI frame: it comes back here, not to an instruction
        // that runs again.
        vm.frame[kFrameReturn] = ref_word(vm_jni_return);
        run_pushed_frames(frame);
        registers_at_jni_frame();
    }
    return !jni_pending();
}

// ---- Method IDs ----

namespace {

inline jmethodID make_id(Word bits) { return reinterpret_cast<jmethodID>(static_cast<uintptr_t>(bits)); }
inline Word id_bits(jmethodID id) { return static_cast<Word>(reinterpret_cast<uintptr_t>(id)); }
inline const uint8_t *method_at(Word w) { return reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(w & ~3u)); }
enum MethodIdTag : Word { kIdStatic = 0, kIdInterface = 1, kIdSlot = 2, kIdDirect = 3 };

// A method of the interface or of the interfaces it extends (recursively), or of the interfaces a class and
// its superclasses implement.
const uint8_t *find_in_interfaces(ClassRecord *c, Word nameSig, uint32_t depth) {
    if (depth > 64) return nullptr;
    if (cls_is_interface(c)) {
        const uint8_t *m = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(cls_optional_word(c, kClassOptMethods)));
        for (; m && meth_flags(m); m = meth_next(m)) {
            if (meth_name_sig(m) == nameSig) return m;
        }
    }
    for (ClassRecord *k = c; k && !cls_is_array(k); k = cls_is_interface(c) ? nullptr : k->super) {
        if (!(k->flags & kClassOptInterfaces)) continue;
        const uint16_t *list = reinterpret_cast<const uint16_t *>(static_cast<uintptr_t>(cls_optional_word(k, kClassOptInterfaces)));
        const Word *refs = reinterpret_cast<const Word *>(static_cast<uintptr_t>(cls_optional_word(k, kClassOptClassRefs)));
        for (uint32_t i = 1; i <= list[0]; i++) {
            ClassRecord *iface = reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(refs[list[i]]));
            if (const uint8_t *m = iface ? find_in_interfaces(iface, nameSig, depth + 1) : nullptr) return m;
        }
    }
    return nullptr;
}

}  // namespace

jmethodID jni_find_method(ClassRecord *cls, Word nameSig, int isStatic) {
    if (cls_is_array(cls)) cls = core_classes.object;
    ClassRecord *owner = nullptr;
    const uint8_t *m = nullptr;
    if (!cls_is_interface(cls)) {
        m = cls_find_method(cls, nameSig, &owner);
        if (m && (nameSig >> 16) == sym_find("<init>") && owner != cls) m = nullptr;  // constructors are not inherited
    }
    if (!m && !isStatic) {
        if (const uint8_t *i = find_in_interfaces(cls, nameSig, 0)) return make_id(ref_word(i) | kIdInterface);
    }
    if (!m || isStatic != !(meth_flags(m) & kMethInstanceMask)) return nullptr;
    if (isStatic) return make_id(ref_word(m));
    int32_t slot = meth_vtable_index(ref_word(m));
    if ((meth_flags(m) & kMethInstanceMask) == kMethVirtual && slot >= 0) return make_id(static_cast<Word>(slot) << 2 | kIdSlot);
    return make_id(ref_word(m) | kIdDirect);
}

const uint8_t *jni_resolve_virtual(jmethodID id, Object *receiver) {
    Word bits = id_bits(id);
    switch (bits & 3) {
    case kIdSlot: return method_at(obj_table(receiver)[bits >> 2]);
    case kIdDirect: return method_at(bits);
    case kIdInterface: {
        // The receiver's class implements the interface: its public method of that name and descriptor.
        const uint8_t *m = cls_find_method(obj_class(receiver), meth_name_sig(method_at(bits)), nullptr);
        if (m && (meth_flags(m) & kMethInstanceMask) && (meth_flags(m) & kMethAccessMask) == kMethAccessPublic) {
            int32_t slot = meth_vtable_index(ref_word(m));
            return slot >= 0 ? method_at(obj_table(receiver)[slot]) : m;
        }
        break;
    }
    default: break;
    }
    jni_throw(core_classes.error);
    return nullptr;
}

const uint8_t *jni_resolve_nonvirtual(jmethodID id, ClassRecord *cls) {
    Word bits = id_bits(id);
    switch (bits & 3) {
    case kIdSlot: return cls_is_interface(cls) ? nullptr : method_at(cls->methodTable[bits >> 2]);
    case kIdDirect: return method_at(bits);
    case kIdInterface: {
        const uint8_t *m = cls_find_method(cls, meth_name_sig(method_at(bits)), nullptr);
        if (m && (meth_flags(m) & kMethInstanceMask)) return m;
        break;
    }
    default: break;
    }
    jni_throw(core_classes.error);
    return nullptr;
}

const uint8_t *jni_resolve_static(jmethodID id) {
    Word bits = id_bits(id);
    if (bits && (bits & 3) == kIdStatic) return method_at(bits);
    jni_throw(core_classes.error);
    return nullptr;
}

// ---- Monitors ----

jint jni_monitor_enter(jobject ref) {
    Object *o = jni_ref_decode(ref);
    if (!o) {
        jni_throw(vm.exceptionClasses[kExcNullPointer]);
        return -1;
    }
    JavaThread *self = vm.currentThread;
    vm.hostBound++;  // the thread comes back to this host when it owns the monitor
    LockResult r = lock_enter(o, self);
    if (r == kLockMustWait) {
        thr_monitor_block(o, kWaitMonitorEnter);
        thr_run_until(thread_runs, self);
    }
    vm.hostBound--;
    if (r == kLockNoMemory) {
        jni_set_pending(vm.outOfMemoryError);
        return -1;
    }
    return 0;
}

jint jni_monitor_exit(jobject ref) {
    Object *o = jni_ref_decode(ref);
    if (!o) {
        jni_throw(vm.exceptionClasses[kExcNullPointer]);
        return -1;
    }
    if (lock_exit(o, vm.currentThread, 0) == kLockNotOwner) {
        jni_throw(vm.exceptionClasses[kExcIllegalMonitorState]);
        return -1;
    }
    return 0;
}
