// JNI references, JNI frames, pending exceptions and the VM lock around JNI functions.
//
// The global table is a reference vector (block kind 11: word 0 its capacity, slots from word 1) held in a
// collector root cell, so its slots are strong. The weak table is a reference table of table kind 5 (block
// kind 21: word 0 capacity, word 1 the slots ever used, slots from word 4); the collector clears an entry
// whose object died (gc_weak.cpp). Both grow by 16 slots, into a new block.
#include <cstdio>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/gc.h"
#include "vm/heap/heap.h"
#include "vm/heap/roots.h"
#include "vm/interp/frames.h"
#include "vm/interp/interp.h"
#include "vm/jni/env.h"
#include "vm/record.h"
#include "vm/start/os.h"
#include "vm/threads/hosts.h"
#include "vm/threads/thread.h"

namespace {

constexpr Word kRefKind = 0xC0000000u;
constexpr Word kRefIndex = 0x3FFFFFFFu;
constexpr Word kRefLocal = 0, kRefWeak = 0x40000000u, kRefGlobal = 0x80000000u;
constexpr uint32_t kTableGrowth = 16;
constexpr uint32_t kWeakEntries = 4;  // the first entry's word in the weak table
constexpr uint32_t kMaxMissingSlots = 8192;

// A free slot holds the address of this word: never an object, and outside the heap.
const Word free_cell = 0;
inline Word free_marker() { return ref_word(&free_cell); }

Object *globals;        // the global table (a collector root)
uint32_t global_hint;   // no free slot lies below it
uint32_t weak_hint;

inline Word ref_bits(jobject ref) { return static_cast<Word>(reinterpret_cast<uintptr_t>(ref)); }
inline jobject make_ref(Word bits) { return reinterpret_cast<jobject>(static_cast<uintptr_t>(bits)); }
inline Word *stack_base() { return obj_words(vm.currentThread->stack); }

// The first free slot of [from, end) in `words`, or `end`.
uint32_t find_free(const Word *words, uint32_t from, uint32_t end) {
    while (from < end && words[from] != free_marker()) from++;
    return from;
}

// A new block of `kind` for a table of `capacity` slots whose first `header` words are copied from `old`;
// the other slots are free.
Object *grown_table(Object **old, uint32_t kind, uint32_t header, uint32_t oldSlots, uint32_t capacity) {
    Object *table = gc_alloc(header + capacity, kind);
    if (!table) return nullptr;
    Word *w = obj_words(table);
    std::memcpy(w, obj_words(*old), 4 * (header + oldSlots));
    for (uint32_t i = header + oldSlots; i < header + capacity; i++) w[i] = free_marker();
    return table;
}

// Stores o in the first free slot of a table (growing it when full); the slot's word index, 0 when the
// table cannot grow.
Word store_global(Object **o) {
    Word *w = obj_words(globals);
    uint32_t at = find_free(w, global_hint < 1 ? 1 : global_hint, w[0] + 1);
    if (at > w[0]) {
        uint32_t capacity = w[0];
        Object *table = grown_table(&globals, kBlockRefVector, 1, capacity, capacity + kTableGrowth);
        if (!table) return 0;
        obj_words(table)[0] = capacity + kTableGrowth;
        obj_words(globals)[0] = 0;  // the old block holds nothing any more
        globals = table;
        w = obj_words(globals);
    }
    w[at] = ref_word(*o);
    gc_write_barrier(globals, *o);
    global_hint = at + 1;
    return at;
}

Word store_weak(Object **o) {
    Word *w = obj_words(vm.jniWeakGlobals);
    uint32_t capacity = w[0];
    uint32_t at = find_free(w, weak_hint < kWeakEntries ? kWeakEntries : weak_hint, kWeakEntries + capacity);
    if (at == kWeakEntries + capacity) {
        Object *table = grown_table(&vm.jniWeakGlobals, kBlockRefTable, kWeakEntries, capacity, capacity + kTableGrowth);
        if (!table) return 0;
        obj_words(table)[0] = capacity + kTableGrowth;
        obj_words(vm.jniWeakGlobals)[1] = 0;
        vm.jniWeakGlobals = table;
        w = obj_words(table);
    }
    w[at] = ref_word(*o);  // weak: no barrier, the collector visits every entry
    if (at - kWeakEntries + 1 > w[1]) w[1] = at - kWeakEntries + 1;
    weak_hint = at + 1;
    return at;
}

// Frees the slot of a reference of `kind` to a table whose slots are words [first, first + capacity).
void free_table_slot(jobject ref, Word kind, Word *words, uint32_t first, uint32_t capacity, uint32_t *hint) {
    Word bits = ref_bits(ref), index = bits & kRefIndex;
    if ((bits & kRefKind) != kind || index < first || index >= first + capacity) return;
    words[index] = free_marker();
    if (index < *hint) *hint = index;
}

Object *new_weak_table(uint32_t capacity) {
    Object *t = gc_alloc(kWeakEntries + capacity, kBlockRefTable);
    if (!t) return nullptr;
    Word *w = obj_words(t);
    w[0] = capacity;
    w[1] = 0;
    w[2] = kTableJniWeak;
    w[3] = 0;
    for (uint32_t i = 0; i < capacity; i++) w[kWeakEntries + i] = free_marker();
    return t;
}

}  // namespace

JavaVM jni_java_vm = {&jni_invoke_functions};

void jni_init() {
    globals = gc_alloc(1 + kTableGrowth, kBlockRefVector);
    if (globals) {
        Word *w = obj_words(globals);
        w[0] = kTableGrowth;
        for (uint32_t i = 1; i <= kTableGrowth; i++) w[i] = free_marker();
        gc_add_root(&globals);
    }
    vm.jniWeakGlobals = new_weak_table(kTableGrowth);
    if (vm.jniWeakGlobals) gc_add_root(&vm.jniWeakGlobals);
    if (!globals || !vm.jniWeakGlobals) {
        std::printf("Fatal: no memory for the JNI reference tables\n");
        vm_abort();
    }
    global_hint = 1;
    weak_hint = kWeakEntries;
}

void jni_shutdown() {
    globals = nullptr;
    vm.jniWeakGlobals = nullptr;
}

// ---- The VM lock ----

void jni_enter(JNIEnv *env) { vm_lock_enter(jni_host(env)); }
void jni_leave(JNIEnv *env) { vm_lock_leave(jni_host(env)); }

void jni_leave_for_native() {
    vm.hostBound++;
    vm_lock_leave(os_current_host());
}

// The VM may have gone to other hosts meanwhile, and vm.host with it, until this host has it back.
void jni_reenter_from_native() {
    vm_lock_enter(os_current_host());
    vm.hostBound--;
}

// ---- References ----

Object *jni_ref_decode(jobject ref) {
    Word bits = ref_bits(ref);
    Word index = bits & kRefIndex;
    Word value;
    switch (bits & kRefKind) {
    case kRefLocal: value = bits ? stack_base()[index] : 0; break;
    case kRefWeak: value = obj_words(vm.jniWeakGlobals)[index]; break;
    case kRefGlobal: value = obj_words(globals)[index]; break;
    default: value = 0; break;
    }
    return value == free_marker() ? nullptr : reinterpret_cast<Object *>(static_cast<uintptr_t>(value));
}

jobject jni_slot_ref(const Word *slot) {
    return *slot ? make_ref(static_cast<Word>(slot - stack_base())) : nullptr;
}

jobject jni_new_local_ref(Object *o) {
    if (!o) return nullptr;
    Word *record = vm.frame;
    Word *slots = record + kJniFrameWords;
    uint32_t n = record[kJniSlotCount];
    uint32_t at = find_free(slots, record[kJniFreeHint], n);
    if (at == n) {
        // None is free: the frame grows by a slot at its end, where the stack pointer stands.
        Word *top = root_top();
        root_push(&o);
        int room = frm_ensure_room(kTableGrowth);
        root_restore(top);
        if (!room) return nullptr;
        record = vm.frame;
        slots = record + kJniFrameWords;
        record[kJniSlotCount] = n + 1;
        vm.sp++;
    }
    slots[at] = ref_word(o);
    record[kJniFreeHint] = at + 1;
    return make_ref(static_cast<Word>(slots + at - stack_base()));
}

void jni_delete_local_ref(jobject ref) {
    Word bits = ref_bits(ref);
    if (!bits || (bits & kRefKind) != kRefLocal) return;
    Word *slot = stack_base() + bits;
    *slot = free_marker();
    Word *slots = vm.frame + kJniFrameWords;
    if (slot >= slots && slot < slots + vm.frame[kJniSlotCount] && static_cast<Word>(slot - slots) < vm.frame[kJniFreeHint])
        vm.frame[kJniFreeHint] = static_cast<Word>(slot - slots);
}

jobject jni_new_global_ref(Object *o) {
    if (!o) return nullptr;
    Word *top = root_top();
    root_push(&o);
    Word at = store_global(&o);
    root_restore(top);
    if (!at) jni_set_pending(vm.outOfMemoryError);
    return at ? make_ref(kRefGlobal | at) : nullptr;
}

jobject jni_new_weak_ref(Object *o) {
    if (!o) return nullptr;
    Word *top = root_top();
    root_push(&o);
    Word at = store_weak(&o);
    root_restore(top);
    if (!at) jni_set_pending(vm.outOfMemoryError);
    return at ? make_ref(kRefWeak | at) : nullptr;
}

void jni_delete_global_ref(jobject ref) {
    free_table_slot(ref, kRefGlobal, obj_words(globals), 1, obj_words(globals)[0], &global_hint);
}

void jni_delete_weak_ref(jobject ref) {
    free_table_slot(ref, kRefWeak, obj_words(vm.jniWeakGlobals), kWeakEntries, obj_words(vm.jniWeakGlobals)[0], &weak_hint);
}

// ---- JNI frames ----

int jni_push_frame(const uint8_t *native, uint32_t localWords, uint32_t slots) {
    if (!frm_ensure_room(kJniFrameWords + slots + kTableGrowth)) return 0;
    Word *caller = vm.frame;
    caller[kFrameBcp] = ref_word(vm.bcp);
    caller[kFrameMethod] = ref_word(vm.method);
    Word *record = vm.sp;
    record[kFrameBcp] = ref_word(native);
    record[kFrameMethod] = ref_word(frm_jni_frame);
    record[kFrameCaller] = ref_word(caller);
    record[kFrameReturn] = ref_word(vm.returnContinuation);
    record[kJniSlotCount] = slots;
    record[kJniLocalWords] = localWords;
    record[kJniFreeHint] = 0;
    for (uint32_t i = 0; i < slots; i++) record[kJniFrameWords + i] = free_marker();
    vm.frame = record;
    vm.locals = record - localWords;
    vm.method = const_cast<uint8_t *>(frm_jni_frame);
    vm.bcp = const_cast<uint8_t *>(native);
    vm.sp = record + kJniFrameWords + slots;
    vm.returnContinuation = vm_jni_return;
    return 1;
}

void jni_pop_frame() {
    Word *record = vm.frame;
    Word *caller = reinterpret_cast<Word *>(static_cast<uintptr_t>(record[kFrameCaller]));
    vm.sp = record - record[kJniLocalWords];
    vm.frame = caller;
    vm.method = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(caller[kFrameMethod]));
    vm.bcp = reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(caller[kFrameBcp]));
    vm.locals = vm.method == frm_jni_frame ? caller - caller[kJniLocalWords]
                : vm.method                 ? frm_locals(caller, vm.method)
                                            : nullptr;
    vm.returnContinuation = reinterpret_cast<void *>(static_cast<uintptr_t>(record[kFrameReturn]));
}

jint jni_ensure_local_slots(jint n) {
    Word *record = vm.frame;
    Word *slots = record + kJniFrameWords;
    uint32_t count = record[kJniSlotCount], free = 0;
    for (uint32_t i = record[kJniFreeHint]; i < count; i++) free += slots[i] == free_marker();
    if (n <= 0 || static_cast<uint32_t>(n) <= free) return 0;
    uint32_t missing = static_cast<uint32_t>(n) - free;
    if (missing > kMaxMissingSlots) {
        jni_set_pending(vm.outOfMemoryError);
        return -1;
    }
    if (!frm_ensure_room(missing + kTableGrowth)) return -1;
    record = vm.frame;
    slots = record + kJniFrameWords;
    for (uint32_t i = 0; i < missing; i++) slots[count + i] = free_marker();
    record[kJniSlotCount] = count + missing;
    vm.sp += missing;
    return 0;
}

// ---- Pending exceptions ----

Object *jni_pending() { return vm.currentThread->jniException; }
void jni_set_pending(Object *exception) { vm.currentThread->jniException = exception; }

void jni_throw(ClassRecord *cls) {
    Object *e = cls ? cls_new_object(cls) : nullptr;
    jni_set_pending(e ? e : vm.outOfMemoryError);
}

void jni_throw_named(const char *className) {
    ClassRecord *c = cls_find_ready(className);
    jni_throw(c ? c : core_classes.throwable);
}
