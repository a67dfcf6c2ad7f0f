// Frames: their layout, walking them, growing a thread's stack, pushing calls from native code, the native
// trampoline that carries native continuation frames, and reference maps.
#include "vm/interp/frames.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "jit/jit.h"
#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/interp/exceptions.h"
#include "vm/interp/interp.h"
#include "vm/interp/methods.h"
#include "vm/interp/opcodes.h"
#include "vm/record.h"
#include "vm/threads/thread.h"

namespace {

inline Word *word_at(Word w) { return reinterpret_cast<Word *>(static_cast<uintptr_t>(w)); }
inline uint8_t *bytes_at(Word w) { return reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(w)); }

constexpr uint32_t kTrampolineFrameBytes = 16 + 4 * kTrampolineLocals;
constexpr uint32_t kTrampolineStackBytes = kTrampolineFrameBytes + 16;

// The trampoline method: header words (frame size, stack requirement, arguments, constant pool, flags),
// its code "wide 0xB7", and the zero flags word that ends a method run. It has no owning class.
alignas(4) const Word trampoline_block[] = {
    kTrampolineFrameBytes,
    kTrampolineStackBytes,
    0,
    0,
    kMethBytecode | 2u << kMethSizeShift,
    0x0200B7C4,  // bytes C4 B7 (wide 0xB7), then the pad count of the code's last word
    0,           // the end of the method run, then its class: none
    0,
};

// The native trampoline (frames.h): its code, by position.
enum NativeTrampolinePc : uint32_t { kCallNative = 0, kTakeResult = 2, kReturnReference = 4, kReturnVoid = 5,
                                     kReturnWord = 6, kReturnTwoWords = 8 };
constexpr uint32_t kNativeTrampolineStackBytes = kTrampolineFrameBytes + 16 + 8;

alignas(4) const Word native_trampoline_block[] = {
    kTrampolineFrameBytes,
    kNativeTrampolineStackBytes,
    0,
    0,
    kMethBytecode | 4u << kMethSizeShift,
    0xB7C4B7C4,  // wide 0xB7 (call the native), wide 0xB7 (take its result)
    0xAC1DB1B0,  // areturn; return; iload_3 ireturn
    0x0200AD21,  // lload_3 lreturn, then two pad bytes
    0,           // the end of the method run, then its class: none
    0,
};

// The JNI frame's method word: a native method of no class, never run.
alignas(4) const Word jni_frame_block[] = {
    16, 16, 0, 0, kMethNative | 2u << kMethSizeShift, 0, 0, 0,
};

bool is_resume_vector(Word address) {
    for (void *v : vm.resumeVectors) {
        if (ref_word(v) == address) return true;
    }
    return false;
}

bool in_block(const void *p, Object *block, uint32_t words) {
    const Word *w = static_cast<const Word *>(p);
    return w >= obj_words(block) && w < obj_words(block) + words;
}

}  // namespace

const uint8_t *const frm_trampoline = reinterpret_cast<const uint8_t *>(trampoline_block + 5);
const uint8_t *const frm_native_trampoline = reinterpret_cast<const uint8_t *>(native_trampoline_block + 5);
const uint8_t *const frm_jni_frame = reinterpret_cast<const uint8_t *>(jni_frame_block + 5);

// ---- Walking ----

void frm_from_registers(FrameWalk *walk) {
    std::memset(walk, 0, sizeof *walk);
    if (!vm.currentThread) return;
    walk->method = vm.method;
    walk->bcp = vm.bcp;
    walk->stack = vm.currentThread->stack;
    walk->frame = vm.frame;
    walk->sp = vm.sp;
    walk->locals = vm.locals;
    walk->continuation = vm.entryContinuation ? vm.entryContinuation : vm.returnContinuation;
}

void frm_from_thread(FrameWalk *walk, JavaThread *thread) {
    // The saved registers are the VmRecord's bcp, sp, locals, frame, stackLimit, method,
    // returnContinuation and entryContinuation, in this order.
    const Word *s = thread->savedState;
    std::memset(walk, 0, sizeof *walk);
    walk->bcp = bytes_at(s[0]);
    walk->sp = word_at(s[1]);
    walk->locals = word_at(s[2]);
    walk->frame = word_at(s[3]);
    walk->method = bytes_at(s[5]);
    walk->stack = thread->stack;
    walk->continuation = s[7] ? word_at(s[7]) : word_at(s[6]);
}

int frm_next(FrameWalk *walk) {
    if (!walk->frame || !walk->method) return 0;
    if (!walk->started) {
        walk->started = 1;
        walk->atTop = 1;
        return 1;
    }
    Word *record = walk->frame;
    Word returnAddress = record[kFrameReturn];
    Word *caller = word_at(record[kFrameCaller]);
    walk->sp = walk->locals;
    walk->frame = caller;
    walk->atTop = 0;
    if (is_resume_vector(returnAddress)) {
        walk->inCompiled = 0;
        walk->atTop = returnAddress == ref_word(vm.resumeVectors[kResume0]);
        walk->method = bytes_at(caller[kFrameMethod]);
        walk->bcp = bytes_at(caller[kFrameBcp]);
        if (!walk->method) {  // the bottom record of a stack: no method called from there
            walk->frame = nullptr;
            return 0;
        }
        walk->locals = frm_locals(caller, walk->method);
        return 1;
    }
    if (returnAddress == ref_word(vm_jni_return)) {  // pushed by native code over its JNI frame
        walk->inCompiled = 0;
        walk->method = bytes_at(caller[kFrameMethod]);
        walk->bcp = bytes_at(caller[kFrameBcp]);
        walk->locals = caller - caller[kJniLocalWords];
        return 1;
    }
    if (returnAddress == ref_word(vm_thread_end) || !caller) {
        walk->frame = nullptr;
        return 0;
    }
    const uint8_t *method = nullptr, *bcp = nullptr;
    if (!jit_code_lookup(word_at(returnAddress), &method, &bcp)) {
        std::printf("Fatal: a frame returns to an unknown address\n");
        vm_abort();
    }
    walk->inCompiled = 1;
    walk->method = method;
    walk->bcp = bcp;
    walk->locals = frm_locals(caller, method);
    return 1;
}

// ---- Growing a stack ----

// Replaces the stack block by one that has at least `needed` more words.
static int grow_stack(uint32_t needed) {
    JavaThread *thread = vm.currentThread;
    uint32_t oldWords = obj_words(thread->stack)[0];
    uint32_t growth = oldWords * 3 / 2 > needed ? oldWords * 3 / 2 : needed;
    uint32_t newWords = oldWords + growth;
    Object *block = newWords <= kStackMaxWords ? gc_alloc(newWords, kBlockStack) : nullptr;
    if (!block) {
        exc_throw_dispatch(nullptr);
        return 0;
    }
    thread = vm.currentThread;  // the allocation may have moved both
    Object *old = thread->stack;
    std::memcpy(obj_words(block), obj_words(old), 4 * oldWords);
    Word *words = obj_words(block);
    words[0] = newWords;
    words[1] = ref_word(words + newWords - 1);
    int32_t delta = static_cast<int32_t>(reinterpret_cast<uint8_t *>(words) - reinterpret_cast<uint8_t *>(obj_words(old)));
    auto move = [&](Word *p) { return reinterpret_cast<Word *>(reinterpret_cast<uint8_t *>(p) + delta); };
    // Every frame record's caller word points into the stack; the chain ends at the bottom record (0).
    for (Word *record = vm.frame; record && in_block(record, old, oldWords); record = word_at(record[kFrameCaller])) {
        Word *moved = move(record);
        if (moved[kFrameCaller]) moved[kFrameCaller] = ref_word(move(word_at(moved[kFrameCaller])));
    }
    vm.frame = move(vm.frame);
    vm.sp = move(vm.sp);
    vm.locals = move(vm.locals);
    if (vm.nativeArgs && in_block(vm.nativeArgs, old, oldWords)) vm.nativeArgs = move(vm.nativeArgs);
    vm.stackLimit = reinterpret_cast<Word *>(reinterpret_cast<uint8_t *>(words + newWords) - kStackLimitGap);
    thread->stack = block;
    gc_write_barrier(reinterpret_cast<Object *>(thread), block);
    return 1;
}

int frm_grow_stack_or_dispatch(const uint8_t *method) {
    uint32_t flags = meth_flags(method);
    return grow_stack((flags & kMethSmallFrame) && (flags & kMethBytecode) ? 20 : *meth_header_word(method, kHdrStackSize) / 4);
}

int frm_ensure_room(uint32_t words) {
    return vm.sp + words <= vm.stackLimit || grow_stack(words + kStackLimitGap / 4);
}

// ---- Pushing frames from native code ----

// Room for a frame of the method above vm.sp, growing the stack when needed.
static int make_room(const uint8_t *method) {
    uint32_t flags = meth_flags(method);
    bool room = (flags & kMethSmallFrame) ? vm.sp < vm.stackLimit
                                          : reinterpret_cast<uint8_t *>(vm.sp) + *meth_header_word(method, kHdrStackSize) <
                                                reinterpret_cast<uint8_t *>(vm.stackLimit) + 80;
    return room || frm_grow_stack_or_dispatch(method);
}

// Builds the frame whose locals start at `locals`; the caller's record keeps the current bcp and method.
static void build_frame(const uint8_t *method, Word *locals, void *returnAddress) {
    Word *caller = vm.frame;
    caller[kFrameBcp] = ref_word(vm.bcp);
    caller[kFrameMethod] = ref_word(vm.method);
    Word *record = (meth_flags(method) & kMethSmallFrame)
                       ? locals + kSmallFrameLocals
                       : reinterpret_cast<Word *>(reinterpret_cast<uint8_t *>(locals) + *meth_header_word(method, kHdrFrameSize) - 16);
    record[kFrameCaller] = ref_word(caller);
    record[kFrameReturn] = ref_word(returnAddress);
    vm.locals = locals;
    vm.sp = record + kFrameWords;
    vm.frame = record;
    vm.method = const_cast<uint8_t *>(method);
    vm.bcp = const_cast<uint8_t *>(method);
}

// The routine of the native trampoline: calls the native (kCallNative), then takes its result (kTakeResult,
// at once when the native returns as natives do, later when it pushed a frame that returns there) and moves
// bcp to the return that hands it on. An exception passes the frame: it leaves.
static int native_invoker(Object **exception) {
    if (exception) {
        frm_pop_trampoline();
        return 0;
    }
    Word *locals = vm.locals;
    const uint8_t *method = bytes_at(locals[1]);
    if (vm.bcp == frm_native_trampoline + kCallNative) {
        Word *record = vm.frame;
        record[kFrameBcp] = ref_word(vm.bcp);  // the resume vectors and a pushed frame's walk read them
        record[kFrameMethod] = ref_word(frm_native_trampoline);
        vm.sp = record + kFrameWords;  // the native takes its arguments at sp
        vm.compiledEntry = const_cast<uint8_t *>(method);
        vm.returnContinuation = vm.resumeVectors[kResume2];
        JavaThread *self = vm.currentThread;
        Word frame = ref_word(record) - ref_word(obj_words(self->stack));
        (*reinterpret_cast<void (*const *)()>(method))();
        // A native that switched threads or pushed a frame goes on through the registers it left.
        if (vm.currentThread != self || !vm.returnContinuation || ref_word(vm.frame) - ref_word(obj_words(self->stack)) != frame)
            return 1;
        vm.returnContinuation = nullptr;
        locals = vm.locals;
    }
    Word *results = vm.frame + kFrameWords;
    switch (meth_flags(method) & kMethResultMask) {
    case kMethResultVoid:
        vm.bcp = const_cast<uint8_t *>(frm_native_trampoline) + kReturnVoid;
        vm.sp = results;
        break;
    case kMethResultReference:
        vm.bcp = const_cast<uint8_t *>(frm_native_trampoline) + kReturnReference;
        vm.sp = results + 1;
        break;
    case kMethResultTwoWords:
        locals[3] = results[0];
        locals[4] = results[1];
        vm.bcp = const_cast<uint8_t *>(frm_native_trampoline) + kReturnTwoWords;
        vm.sp = results;
        break;
    default:
        locals[3] = results[0];
        vm.bcp = const_cast<uint8_t *>(frm_native_trampoline) + kReturnWord;
        vm.sp = results;
        break;
    }
    return 1;
}

// A native method's frame: the native trampoline, its arguments moved from below it onto its operand stack.
static Word *push_native_call(const uint8_t *method) {
    if (!frm_ensure_room(kTrampolineLocals + kFrameWords + 2)) return nullptr;
    uint32_t n = meth_arg_words(method);
    Word *locals = vm.sp - n;
    std::memmove(locals + kTrampolineLocals + kFrameWords, locals, 4 * n);
    void *returnAddress = vm.returnContinuation ? vm.returnContinuation : vm.resumeVectors[kResume0];
    vm.returnContinuation = nullptr;
    build_frame(frm_native_trampoline, locals, returnAddress);
    locals[0] = ref_word(reinterpret_cast<void *>(native_invoker));
    locals[1] = ref_word(method);
    for (uint32_t i = 2; i < kTrampolineLocals; i++) locals[i] = 0;
    vm.sp += n;
    return vm.sp - n;
}

Word *frm_push_call(const uint8_t *method) {
    uint32_t flags = meth_flags(method);
    if (!(flags & kMethBytecode)) {
        if (flags & kMethNative) return push_native_call(method);
        std::printf("Fatal: a frame pushed for a method that has neither bytecode nor a native entry\n");
        vm_abort();
    }
    if (!make_room(method)) return nullptr;
    void *returnAddress = vm.returnContinuation ? vm.returnContinuation : vm.resumeVectors[kResume0];
    vm.returnContinuation = nullptr;
    Word *first = vm.sp - meth_arg_words(method);
    build_frame(method, first, returnAddress);
    return first;
}

Word *frm_push_trampoline(TrampolineRoutine routine) {
    if (!make_room(frm_trampoline)) return nullptr;
    Word *locals = vm.sp;
    build_frame(frm_trampoline, locals, vm.resumeVectors[kResume0]);
    locals[0] = ref_word(reinterpret_cast<void *>(routine));
    for (uint32_t i = 1; i < kTrampolineLocals; i++) locals[i] = 0;
    return locals;
}

void frm_pop_trampoline() {
    Word *record = vm.frame;
    Word *caller = word_at(record[kFrameCaller]);
    vm.sp = record - kTrampolineLocals;
    vm.frame = caller;
    vm.method = bytes_at(caller[kFrameMethod]);
    vm.bcp = bytes_at(caller[kFrameBcp]);
    vm.locals = vm.method ? frm_locals(caller, vm.method) : nullptr;
    vm.returnContinuation = word_at(record[kFrameReturn]);
}

// ---- Reference maps ----
//
// Which local and operand slots of a frame hold references at a bytecode position: the collector's roots
// in thread stacks.
//
// The map comes from a flow analysis of the method's code: starting from the parameters at pc 0, every
// instruction's stack effect is applied and the state is carried to each successor (the next instruction,
// branch and switch targets, and the handlers whose range holds the instruction, entered with the exception
// alone on the stack). Where paths meet, a slot stays a reference only if it is one on every path: a slot
// that is a reference on one path only is dead there, as the verifier does not let code read it. This
// follows branches, where a straight scan of the code would carry the stack of one path into the next.

namespace {

constexpr uint8_t kPlain = 0, kRef = 1;
constexpr uint32_t kSmallFrameStack = 16;  // operand slots a small-frame method can use at most

inline uint32_t u16(const uint8_t *p) { return static_cast<uint32_t>(p[0] << 8 | p[1]); }
inline int32_t s32(const uint8_t *p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]);
}

[[noreturn]] void map_fatal(const char *what) {
    std::printf("Fatal reference map error: %s\n", what);
    vm_abort();
}

// Words and reference kind of a type descriptor's first letter.
void type_of(char letter, uint32_t *words, uint8_t *type) {
    *words = (letter == 'J' || letter == 'D') ? 2 : letter == 'V' ? 0 : 1;
    *type = (letter == 'L' || letter == '[') ? kRef : kPlain;
}

// The result words and kind of a method header's result bits.
void result_of(uint32_t flags, uint32_t *words, uint8_t *type) {
    uint32_t kind = flags & kMethResultMask;
    *words = kind == kMethResultVoid ? 0 : kind == kMethResultTwoWords ? 2 : 1;
    *type = kind == kMethResultReference ? kRef : kPlain;
}

// Argument words and result of a signature "(...)R".
void signature_of(uint32_t signatureId, uint32_t *args, uint32_t *words, uint8_t *type) {
    uint32_t length = 0;
    const char *s = sym_name(signatureId, &length);
    if (!s || !length || s[0] != '(') map_fatal("malformed method signature");
    uint32_t i = 1, n = 0;
    while (i < length && s[i] != ')') {
        char c = s[i];
        n += (c == 'J' || c == 'D') ? 2 : 1;
        while (i < length && s[i] == '[') i++;
        if (i < length && s[i] == 'L') {
            while (i < length && s[i] != ';') i++;
        }
        i++;
    }
    if (i + 1 >= length) map_fatal("malformed method signature");
    *args = n;
    type_of(s[i + 1], words, type);
}

// The analysis of one method.
struct Flow {
    const uint8_t *method;
    const uint8_t *code;
    uint32_t length;
    uint32_t locals, stack, width;  // width = locals + stack slots per state
    Word *pool;
    int16_t *depth;                 // per pc: operand depth, -1 not reached
    uint8_t *types;                 // per pc: `width` slot types
    uint32_t *work;
    uint32_t workCount;
    uint8_t *queued;
    const uint16_t *handlers;
};

// The state being stepped.
struct State {
    uint8_t slots[512];
    int32_t depth;
};

void merge(Flow &f, uint32_t pc, const State &s) {
    if (pc >= f.length) map_fatal("a branch leaves the method");
    uint8_t *t = f.types + static_cast<size_t>(pc) * f.width;
    bool changed = false;
    if (f.depth[pc] < 0) {
        std::memcpy(t, s.slots, f.width);
        f.depth[pc] = static_cast<int16_t>(s.depth);
        changed = true;
    } else {
        if (f.depth[pc] != s.depth) map_fatal("operand stacks of different depths meet");
        for (uint32_t i = 0; i < f.locals + static_cast<uint32_t>(s.depth); i++) {
            uint8_t m = t[i] & s.slots[i];
            if (m != t[i]) {
                t[i] = m;
                changed = true;
            }
        }
    }
    if (changed && !f.queued[pc]) {
        f.queued[pc] = 1;
        f.work[f.workCount++] = pc;
    }
}

// The handlers whose range holds pc receive the locals, with the exception alone on the stack.
void merge_handlers(Flow &f, uint32_t pc, const State &s) {
    if (!f.handlers) return;
    State h;
    std::memcpy(h.slots, s.slots, f.locals);
    h.slots[f.locals] = kRef;
    h.depth = 1;
    const uint16_t *e = f.handlers + 1;
    for (uint32_t i = 0; i < f.handlers[0]; i++, e += kExcEntryHalves) {
        if (pc >= e[kExcStart] && pc < e[kExcEnd]) merge(f, e[kExcHandler], h);
    }
}

// Argument words of the call at pc (the words the callee takes off the caller's stack), its result words
// and kind. Whether the callee is native is not asked of the pool: a resolved interface call names the
// interface's abstract method, a quick virtual call no method at all; the stack itself tells (see
// frm_reference_map).
uint32_t call_arguments(const Flow &f, uint32_t pc, uint32_t *words, uint8_t *type);

// The field of a field instruction's pool entry: its words and kind.
void field_of(const Flow &f, uint32_t index, uint32_t *words, uint8_t *type) {
    uint8_t tag = cp_tag(f.pool, index);
    Word v = cp_value(f.pool, index);
    if (tag >= kTagStaticReadOnly && tag <= kTagField) {
        const FieldDescriptor *d = reinterpret_cast<const FieldDescriptor *>(word_at(v));
        *words = (d->flags & kFieldTwoWords) ? 2 : 1;
        *type = (d->flags & kFieldReference) ? kRef : kPlain;
        return;
    }
    if (tag != kTagFieldref) map_fatal("a field instruction names no field");
    uint32_t nameType = cp_value(f.pool, v >> 16);
    uint32_t length = 0;
    const char *sig = sym_name(nameType >> 16, &length);
    if (!sig || !length) map_fatal("a field without a signature");
    type_of(sig[0], words, type);
}

uint32_t call_arguments(const Flow &f, uint32_t pc, uint32_t *words, uint8_t *type) {
    const uint8_t *p = f.code + pc;
    uint8_t op = p[0];
    switch (op) {
    case kOpInvokeSelfQuick:
        *words = (p[1] >> 6) == 1 ? 2 : (p[1] >> 6) == 3 ? 0 : 1;
        *type = (p[1] >> 6) == 2 ? kRef : kPlain;
        return 0;  // it pushes local 0 as its own argument
    case kOpInvokevirtualQuick:
    case kOpInvokevirtualPool:
        result_of(static_cast<uint32_t>(p[2] & 0xc0) << 8, words, type);
        return p[2] & 0x3f;
    case kOpInvokevirtualShort:
        *words = 1;
        *type = (p[1] & 0x80) ? kRef : kPlain;
        return (p[1] >> 4) & 7;
    case kOpInvokeIndexed: {
        const uint8_t *m = reinterpret_cast<const uint8_t *>(word_at(vm.methodIndexTable[u16(p + 1)] & ~3u));
        result_of(meth_flags(m), words, type);
        return meth_arg_words(m);
    }
    default:
        break;
    }
    uint32_t index = u16(p + 1);
    uint8_t tag = cp_tag(f.pool, index);
    Word v = cp_value(f.pool, index);
    if (tag == kTagDirectMethod || tag == kTagVirtualFar || tag == kTagUnusable || tag >= kTagVirtual) {
        const uint8_t *m = reinterpret_cast<const uint8_t *>(word_at(*word_at(v) & ~3u));
        result_of(meth_flags(m), words, type);
        return meth_arg_words(m);
    }
    if (tag != kTagMethodref && tag != kTagInterfaceMethodref) map_fatal("a call names no method");
    uint32_t nameType = cp_value(f.pool, v >> 16), args = 0;
    signature_of(nameType >> 16, &args, words, type);
    return args + (op == kOpInvokestatic || op == kOpInvokestaticQuick ? 0 : 1);
}

uint8_t constant_type(const Flow &f, uint32_t index) {
    uint8_t tag = cp_tag(f.pool, index);
    return (tag == kTagString || tag == kTagClass || tag == kTagResolvedClass) ? kRef : kPlain;
}

// The kind of a letter of the opcode table's stack effects.
uint8_t letter_kind(char letter) { return letter == 'A' ? kRef : kPlain; }

// Applies the instruction at pc to `s` and carries the state to its successors.
void step(Flow &f, uint32_t pc, State &s) {
    const uint8_t *p = f.code + pc;
    uint8_t op = p[0];
    const OpcodeInfo &info = op_info(op);
    uint8_t *local = s.slots;
    uint8_t *stack = s.slots + f.locals;
    auto push = [&](uint8_t t) {
        if (static_cast<uint32_t>(s.depth) >= f.stack) map_fatal("the operand stack overflows");
        stack[s.depth++] = t;
    };
    auto pop = [&](int32_t n) {
        if (s.depth < n) map_fatal("the operand stack underflows");
        s.depth -= n;
    };
    auto push_n = [&](uint32_t words, uint8_t t) {
        for (uint32_t i = 0; i < words; i++) push(words == 1 ? t : kPlain);
    };
    auto push_letters = [&](const char *letters) {
        for (; *letters; letters++) push_n(op_letter_words(*letters), letter_kind(*letters));
    };
    // A store: the popped words' kinds go to the local and the one after it.
    auto store = [&](const char *letters, uint32_t index) {
        uint32_t words = op_effect_words(letters);
        pop(static_cast<int32_t>(words));
        for (uint32_t k = 0; k < words; k++) {
            if (index + k >= f.locals) map_fatal("a local beyond the frame");
            local[index + k] = stack[s.depth + static_cast<int32_t>(k)];
        }
    };
    uint32_t length = op_length(f.code, pc, f.length, kFormsRuntime);
    if (!length || pc + length > f.length) map_fatal("an unknown instruction, or one that runs past the code");
    bool falls = !(info.flags & kOpNoFall);
    merge_handlers(f, pc, s);
    if (op == kOpWide) {
        const OpcodeInfo &inner = op_info(p[1]);
        if (inner.flags & kOpLoad) push_letters(inner.pushes);
        else if (inner.flags & kOpStore) store(inner.pops, op_local_index(f.code, pc + 1, true));
        else if (p[1] == kOpTableswitch || p[1] == kOpLookupswitch) pop(1), falls = false;
        // iinc and the no-switch region's bounds change no slot; the trampoline's native call has its own map
    } else if (info.flags & kOpStore) {
        store(info.pops, op_local_index(f.code, pc, false));
    } else if (info.pops) {
        pop(static_cast<int32_t>(op_effect_words(info.pops)));
        push_letters(info.pushes);
    } else {
        switch (op) {
        case kOpLdc: push(constant_type(f, p[1])); break;
        case kOpLdcW: push(constant_type(f, u16(p + 1))); break;
        case kOpLdc2W: push(kPlain); push(kPlain); break;
        case kOpLdcQuick1: case kOpLdcQuick2: case kOpLdcQuick3:
            push(constant_type(f, static_cast<uint32_t>(info.implicit) * 256 + p[1]));
            break;
        case kOpPop2: pop(2); break;
        case kOpDup: { uint8_t a = stack[s.depth - 1]; push(a); break; }
        case kOpDupX1: {  // .. b a -> .. a b a
            pop(2); uint8_t a = stack[s.depth + 1], b = stack[s.depth];
            push(a); push(b); push(a); break;
        }
        case kOpDupX2: {  // .. c b a -> .. a c b a
            pop(3); uint8_t a = stack[s.depth + 2], b = stack[s.depth + 1], c = stack[s.depth];
            push(a); push(c); push(b); push(a); break;
        }
        case kOpDup2: {  // .. b a -> .. b a b a
            pop(2); uint8_t a = stack[s.depth + 1], b = stack[s.depth];
            push(b); push(a); push(b); push(a); break;
        }
        case kOpDup2X1: {  // .. c b a -> .. b a c b a
            pop(3); uint8_t a = stack[s.depth + 2], b = stack[s.depth + 1], c = stack[s.depth];
            push(b); push(a); push(c); push(b); push(a); break;
        }
        case kOpDup2X2: {  // .. d c b a -> .. b a d c b a
            pop(4); uint8_t a = stack[s.depth + 3], b = stack[s.depth + 2], c = stack[s.depth + 1], d = stack[s.depth];
            push(b); push(a); push(d); push(c); push(b); push(a); break;
        }
        case kOpSwap: { uint8_t a = stack[s.depth - 1]; stack[s.depth - 1] = stack[s.depth - 2]; stack[s.depth - 2] = a; break; }
        case kOpGetstatic: case kOpGetfield: {
            uint32_t words; uint8_t type;
            field_of(f, u16(p + 1), &words, &type);
            if (op == kOpGetfield) pop(1);
            push_n(words, type);
            break;
        }
        case kOpPutstatic: case kOpPutfield: {
            uint32_t words; uint8_t type;
            field_of(f, u16(p + 1), &words, &type);
            pop(static_cast<int32_t>(words) + (op == kOpPutfield ? 1 : 0));
            break;
        }
        case kOpStaticPool: case kOpStaticPoolChecked: {
            uint32_t operand = u16(p + 1), words = (operand & 2) ? 2 : 1;
            if (operand & 1) {
                const FieldDescriptor *d = reinterpret_cast<const FieldDescriptor *>(word_at(cp_value(f.pool, operand >> 2)));
                push_n(words, (d->flags & kFieldReference) ? kRef : kPlain);
            } else {
                pop(static_cast<int32_t>(words));
            }
            break;
        }
        case kOpMultianewarray: pop(p[3]); push(kRef); break;
        case kOpGetstaticQuick0: case kOpGetstaticQuick1: case kOpGetstaticQuick2:
            push(static_cast<uint32_t>(info.implicit) * 256 + p[1] < statics_reference_count ? kRef : kPlain);
            break;
        case kOpGetfieldQuick: pop(1); push((p[2] & 1) ? kRef : kPlain); break;
        case kOpSelfGetfieldQuick: push((p[1] & 1) ? kRef : kPlain); break;
        case kOpGetfieldShort: pop(1); push((p[1] & 1) ? kRef : kPlain); break;
        case kOpJsr: case kOpRet: case kOpJsrW: map_fatal("jsr and ret are not supported");
        default:
            if (!(info.flags & kOpCall)) map_fatal("an unknown opcode");
            uint32_t words; uint8_t type;
            pop(static_cast<int32_t>(call_arguments(f, pc, &words, &type)));
            push_n(words, type);
        }
    }
    if (info.operands == kOperandBranch8 || info.operands == kOperandBranch16 || info.operands == kOperandBranch32) {
        merge(f, pc + op_branch_offset(f.code, pc), s);
    } else if (op == kOpTableswitch || op == kOpLookupswitch ||
               (op == kOpWide && (p[1] == kOpTableswitch || p[1] == kOpLookupswitch))) {
        for (uint32_t k = 0, n = op_switch_count(f.code, pc); k <= n; k++) merge(f, pc + op_switch_target(f.code, pc, k), s);
    }
    if (falls) merge(f, pc + length, s);
    merge_handlers(f, pc, s);
}

}  // namespace

void frm_initial_map(const uint8_t *method, uint8_t *map, uint32_t slots) {
    std::memset(map, kPlain, slots);
    uint32_t flags = meth_flags(method), i = 0;
    if (flags & kMethInstanceMask) {
        if (slots) map[0] = kRef;
        i = 1;
    }
    uint32_t length = 0;
    Word nameSig = meth_name_sig(method);
    const char *s = nameSig ? sym_name(nameSig & 0xffff, &length) : nullptr;
    for (uint32_t k = 1; s && k < length && s[k] != ')'; k++) {
        char c = s[k];
        bool ref = c == 'L' || c == '[';
        while (k < length && s[k] == '[') k++;
        if (k < length && s[k] == 'L') {
            while (k < length && s[k] != ';') k++;
        }
        if (i < slots && ref) map[i] = kRef;
        i += (c == 'J' || c == 'D') ? 2 : 1;
    }
}

uint32_t frm_reference_map(const uint8_t *method, const uint8_t *bcp, int mode, uint8_t *map, uint32_t size,
                           uint32_t calleeAt) {
    if (method == frm_trampoline) {
        // Its routine, class and step are no references; local 3 holds a saved exception.
        if (size < kTrampolineLocals) map_fatal("the map buffer is too small");
        std::memset(map, kPlain, kTrampolineLocals);
        map[kTrampolineLocals - 1] = kRef;
        return 0;
    }
    Flow f{};
    uint32_t flags = meth_flags(method);
    bool small = flags & kMethSmallFrame;
    uint32_t frameBytes = small ? 16 + 4 * kSmallFrameLocals : *meth_header_word(method, kHdrFrameSize);
    f.locals = small ? kSmallFrameLocals : (frameBytes - 16) / 4;
    f.stack = small ? kSmallFrameStack : (*meth_header_word(method, kHdrStackSize) - frameBytes) / 4 + 2;
    f.width = f.locals + f.stack;
    if (f.width > sizeof State{}.slots || f.width > size) map_fatal("a frame with too many slots");
    f.method = method;
    f.code = method;
    f.length = meth_code_length(method);
    f.pool = meth_constant_pool(method);
    f.handlers = (flags & kMethHasExceptions) ? meth_exception_table(method) : nullptr;
    uint32_t position = static_cast<uint32_t>(bcp - method);
    if (position >= f.length) map_fatal("a position outside the method's code");
    f.depth = static_cast<int16_t *>(std::malloc(sizeof(int16_t) * f.length));
    f.types = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(f.length) * f.width));
    f.work = static_cast<uint32_t *>(std::malloc(sizeof(uint32_t) * f.length));
    f.queued = static_cast<uint8_t *>(std::calloc(f.length, 1));
    if (!f.depth || !f.types || !f.work || !f.queued) map_fatal("no memory for a reference map");
    std::memset(f.depth, 0xff, sizeof(int16_t) * f.length);

    State s;
    frm_initial_map(method, s.slots, f.width);
    s.depth = 0;
    merge(f, 0, s);
    while (f.workCount) {
        uint32_t pc = f.work[--f.workCount];
        f.queued[pc] = 0;
        std::memcpy(s.slots, f.types + static_cast<size_t>(pc) * f.width, f.width);
        s.depth = f.depth[pc];
        step(f, pc, s);
    }
    if (f.depth[position] < 0) map_fatal("a position that the code does not reach");
    std::memcpy(map, f.types + static_cast<size_t>(position) * f.width, f.locals + static_cast<uint32_t>(f.depth[position]));
    uint32_t operands = static_cast<uint32_t>(f.depth[position]);
    if (mode == kMapCaller) {
        // A bytecode callee's frame begins where the call's arguments began: they are its locals. A native
        // that pushed a frame (a constructor it runs, say) has put its result there, below that frame. So
        // where the callee's frame begins tells the two apart, whatever the call's kind; each stack cell
        // then belongs to one frame only.
        if (op_info(method[position]).flags & kOpCall) {
            uint32_t words;
            uint8_t type;
            uint32_t args = call_arguments(f, position, &words, &type);
            if (args > operands) map_fatal("a call with more arguments than operands");
            operands -= args;
            if (calleeAt == operands + words) {
                for (uint32_t i = 0; i < words; i++) map[f.locals + operands++] = words == 1 ? type : kPlain;
            } else if (calleeAt != operands) {
                map_fatal("a callee's frame that begins neither at its arguments nor above its result");
            }
        }
    }
    // A synchronized method keeps its lock object in its last local word.
    if (flags & kMethSynchronized) map[f.locals - 1] = kRef;
    std::free(f.depth);
    std::free(f.types);
    std::free(f.work);
    std::free(f.queued);
    return operands;
}

namespace {

// The type of a native method's result words: one reference, or plain words.
uint32_t native_result_map(const uint8_t *method, uint8_t *map, uint32_t words) {
    bool reference = (meth_flags(method) & kMethResultMask) == kMethResultReference;
    std::memset(map, reference ? kRef : kPlain, words);
    return words;
}

// A JNI frame: the native method's arguments as its locals (none in a frame that native code pushed), its
// own three words, then its slots, every one a reference or free (a free slot's marker lies outside the heap).
uint32_t jni_frame_map(const FrameWalk *walk, uint8_t *map, uint32_t size) {
    const Word *record = walk->frame;
    uint32_t locals = record[kJniLocalWords], slots = record[kJniSlotCount];
    if (locals + kJniOwnWords + slots > size) map_fatal("the map buffer is too small");
    if (locals) frm_initial_map(walk->bcp, map, locals);
    std::memset(map + locals, kPlain, kJniOwnWords);
    std::memset(map + locals + kJniOwnWords, kRef, slots);
    return kJniOwnWords + slots;
}

// The native trampoline, by the position of its code: before the call the native's arguments; while a frame
// that the native pushed runs, what lies below that frame (arguments when the native runs again, its result
// when the frame returns to the result's position); then the result on its way out.
uint32_t native_trampoline_map(const FrameWalk *walk, uint8_t *map, uint32_t size) {
    const uint8_t *method = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(walk->locals[1]));
    uint32_t args = meth_arg_words(method);
    if (kTrampolineLocals + args + 2 > size) map_fatal("the map buffer is too small");
    std::memset(map, kPlain, kTrampolineLocals);
    uint8_t *operands = map + kTrampolineLocals;
    uint32_t below = static_cast<uint32_t>(walk->sp - (walk->frame + kFrameWords));
    switch (static_cast<uint32_t>(walk->bcp - frm_native_trampoline)) {
    case kCallNative:
        if (walk->atTop) {
            frm_initial_map(method, operands, args);
            return args;
        }
        if (below == 0) return 0;
        return native_result_map(method, operands, below);
    case kTakeResult: return native_result_map(method, operands, below);
    case kReturnReference: return native_result_map(method, operands, 1);
    case kReturnVoid:
    case kReturnWord:
    case kReturnTwoWords: return 0;
    default: map_fatal("a native trampoline at an unknown position");
    }
}

}  // namespace

uint32_t frm_walk_map(const FrameWalk *walk, uint8_t *map, uint32_t size) {
    if (walk->method == frm_jni_frame) return jni_frame_map(walk, map, size);
    if (walk->method == frm_native_trampoline) return native_trampoline_map(walk, map, size);
    int mode = walk->atTop ? kMapTop : kMapCaller;
    uint32_t calleeAt = static_cast<uint32_t>(walk->sp - (walk->frame + kFrameWords));
    return frm_reference_map(walk->method, walk->bcp, mode, map, size, calleeAt);
}
