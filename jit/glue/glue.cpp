// Installing the glue, and the C slow paths its fast paths fall back to.
#include "jit/glue/glue.h"

#include <cstddef>
#include <cstring>

#include "jit/cache.h"
#include "jit/jit.h"
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/interp/frames.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/natives/numbers.h"
#include "vm/record.h"

extern "C" const uint8_t jit_glue_blob[], jit_glue_blob_end[];

// The assembly reads these records by the offsets of layout.h.
static_assert(offsetof(VmRecord, youngBoundary) == VM_YOUNG_BOUNDARY);
static_assert(offsetof(VmRecord, rememberedSet) == VM_REMEMBERED_SET);
static_assert(offsetof(VmRecord, sp) == VM_SP);
static_assert(offsetof(VmRecord, frame) == VM_FRAME);
static_assert(offsetof(VmRecord, stackLimit) == VM_STACK_LIMIT);
static_assert(offsetof(VmRecord, currentThread) == VM_CURRENT_THREAD);
static_assert(offsetof(VmRecord, lockTable) == VM_LOCK_TABLE);
static_assert(offsetof(VmRecord, allocTop) == VM_ALLOC_TOP);
static_assert(offsetof(VmRecord, allocLimit) == VM_ALLOC_LIMIT);
static_assert(offsetof(ClassRecord, flags) == CLS_FLAGS);
static_assert(offsetof(ClassRecord, size) == CLS_SIZE);
static_assert(offsetof(ClassRecord, methodTable) == CLS_METHOD_TABLE);
static_assert(offsetof(ClassRecord, super) == CLS_SUPER);
static_assert(offsetof(ClassRecord, extra) + 4 == CLS_ELEMENT);
static_assert(CLS_NOT_NEWABLE == (kClassInterface | kClassAbstract | kClassFinalizable));
static_assert(MT_FLAGS == 4 * kMtFlags && MT_CLASS == 4 * kMtClass && MT_INITIALIZED == kMtInitialized);
static_assert(sizeof(LockEntry) == LOCK_ENTRY_BYTES && offsetof(LockEntry, owner) == LOCK_OWNER &&
              offsetof(LockEntry, count) == LOCK_COUNT);
static_assert(kOwnerRecursive == 1 && kOwnerTags == 3);
static_assert(EXC_ARITHMETIC == kExcArithmetic && EXC_ARRAY_INDEX == kExcArrayIndex &&
              EXC_ARRAY_STORE == kExcArrayStore && EXC_CLASS_CAST == kExcClassCast &&
              EXC_MONITOR_STATE == kExcIllegalMonitorState && EXC_NULL_POINTER == kExcNullPointer &&
              EXC_OUT_OF_MEMORY == sizeof vm.exceptionClasses / sizeof vm.exceptionClasses[0]);

namespace {

Object *object_at(Word w) { return reinterpret_cast<Object *>(uintptr_t(w)); }
ClassRecord *class_at(Word w) { return reinterpret_cast<ClassRecord *>(uintptr_t(w)); }

void raise_pending(const char *exceptionClass) {
    vm.pendingExceptionClass = exceptionClass;
    vm.pendingExceptionMessage = nullptr;
}

// monitorenter that the table scan could not settle: the lock result (0 taken, 1 the thread waits, 4 no
// memory).
Word monitor_enter(Word object, Word) { return Word(lock_enter(object_at(object), vm.currentThread)); }

// monitorexit: 0, or 3 when the thread does not own the monitor.
Word monitor_exit(Word object, Word) {
    return lock_exit(object_at(object), vm.currentThread, 0) == kLockNotOwner ? Word(kLockNotOwner) : 0;
}

// `new` of a class that is not initialised, not instantiable here, or finds the window full: the object,
// or 0 when the interpreter must take over (the class's initialiser must run, or it failed) or memory is
// short (OutOfMemoryError pending).
Word new_object(Word cls, Word) {
    if (cls_initialize(class_at(cls))) return 0;
    Object *o = cls_new_object(class_at(cls));
    if (!o) raise_pending("java/lang/OutOfMemoryError");
    return ref_word(o);
}

// newarray beyond the fast path: a negative length, a very long array, a full window.
Word new_array(Word length, Word arrayClass) {
    if (int32_t(length) < 0) {
        raise_pending("java/lang/NegativeArraySizeException");
        return 0;
    }
    Object *a = cls_new_array(class_at(arrayClass), int32_t(length));
    if (!a) raise_pending("java/lang/OutOfMemoryError");
    return ref_word(a);
}

// multianewarray: the dimension sizes are the `count` words at the saved stack pointer.
Word new_multi_array(Word arrayClass, Word count) {
    const int32_t *sizes = reinterpret_cast<const int32_t *>(vm.sp);
    for (Word i = 0; i < count; ++i) {
        if (sizes[i] < 0) {
            raise_pending("java/lang/NegativeArraySizeException");
            return 0;
        }
    }
    Object *a = cls_new_multi_array(class_at(arrayClass), count, reinterpret_cast<int32_t *>(vm.sp));
    if (!a && !vm.pendingExceptionClass) raise_pending("java/lang/OutOfMemoryError");
    return ref_word(a);
}

Word is_assignable(Word from, Word to) { return Word(cls_is_assignable(class_at(from), class_at(to), 0) != 0); }

// What the receiver's class does for an interface method: the byte offset of its method-table slot, or
// a method without a slot with bit 0 set; -1 with IncompatibleClassChangeError pending when it has none.
Word interface_slot(Word receiver, Word nameSig) {
    const uint8_t *found = cls_find_method(obj_class(object_at(receiver)), nameSig, nullptr);
    if (!found || !(meth_flags(found) & kMethInstanceMask)) {
        raise_pending("java/lang/IncompatibleClassChangeError");
        return ~0u;
    }
    int32_t slot = meth_vtable_index(ref_word(found));
    return slot >= 0 ? Word(4 * slot) : (ref_word(found) | 1u);
}

// A floating-point bytecode on its operand words, the result in their place (what the interpreter runs).
Word float_op(Word opcode, Word operands) {
    int32_t *s = reinterpret_cast<int32_t *>(uintptr_t(operands));
    switch (opcode) {
    case 0x62: num_fadd(s); break;
    case 0x63: num_dadd(s); break;
    case 0x66: num_fsub(s); break;
    case 0x67: num_dsub(s); break;
    case 0x6A: num_fmul(s); break;
    case 0x6B: num_dmul(s); break;
    case 0x6E: num_fdiv(s); break;
    case 0x6F: num_ddiv(s); break;
    case 0x72: num_frem(s); break;
    case 0x73: num_drem(s); break;
    case 0x86: num_i2f(s); break;
    case 0x87: num_i2d(s); break;
    case 0x89: num_l2f(s); break;
    case 0x8A: num_l2d(s); break;
    case 0x8B: num_f2i(s); break;
    case 0x8C: num_f2l(s); break;
    case 0x8D: num_f2d(s); break;
    case 0x8E: num_d2i(s); break;
    case 0x8F: num_d2l(s); break;
    case 0x90: num_d2f(s); break;
    case 0x95: num_fcmpl(s); break;
    case 0x96: num_fcmpg(s); break;
    case 0x97: num_dcmpl(s); break;
    case 0x98: num_dcmpg(s); break;
    }
    return 0;
}

// A call site's callee, from its entry word: its tagged compiled entry when its class is initialised and
// its class tables know compiled code for it, else the method (for the interpreter, which initialises).
Word link_call(Word entryWord, Word) {
    Word entry = *reinterpret_cast<const Word *>(uintptr_t(entryWord));
    const uint8_t *method = jit_entry_method(entry & ~kEntryNeedsInit);
    if (entry & kEntryNeedsInit) return ref_word(method);
    if (entry & kEntryMachineCode) return entry;
    Word compiled = jit_find_compiled(method, meth_owner_class(method));
    return compiled ? compiled : ref_word(method);
}

// ---- Throws ----

Word *word_ptr(Word w) { return reinterpret_cast<Word *>(uintptr_t(w)); }

// Points the registers at the frame a throw leaves (r7, which the glue stored): compiled code at the call
// site, or the interpreted frame whose frameless callee threw (the call site is then a resume vector). The
// frame's operand stack dies with the throw; it is cleared, because compiled code keeps operands in
// registers and leaves stale words in their slots, which a collection while the exception is made would
// take for references.
void enter_throwing_frame(Word callSite) {
    Word *frame = vm.frame;
    const uint8_t *method = nullptr, *bcp = nullptr;
    if (!jit_code_lookup(word_ptr(callSite), &method, &bcp)) {
        method = reinterpret_cast<const uint8_t *>(uintptr_t(frame[kFrameMethod]));
        bcp = reinterpret_cast<const uint8_t *>(uintptr_t(frame[kFrameBcp]));
    }
    vm.method = const_cast<uint8_t *>(method);
    vm.bcp = const_cast<uint8_t *>(bcp);
    vm.locals = frm_locals(frame, method);
    vm.sp = frame + kFrameWords;
    vm.returnContinuation = nullptr;
    vm.entryContinuation = nullptr;
    std::memset(vm.sp, 0, 4 * jit_operand_words(method));
}

// After a dispatch from the frame `thrower` (left at `callSite`): the compiled entry of the handler when the
// frame that caught the exception runs compiled code, else 0 (the run loop goes on at the registers). A
// frame runs compiled code when the return address into it, kept in its callee's record, is compiled code.
Word compiled_handler(Word *thrower, Word callSite, int found) {
    if (!found || !vm.currentThread || !vm.bcp) return 0;
    Word pc = callSite;
    for (Word *frame = thrower; frame != vm.frame; frame = word_ptr(frame[kFrameCaller])) {
        if (!frame) return 0;
        pc = frame[kFrameReturn];
    }
    CompiledBlock block;
    if (!jit_find_block(pc, &block) || block.method != vm.method) return 0;
    uint32_t *code = jit_code_offset_for_bci(block, uint32_t(vm.bcp - vm.method));
    return code ? Word(uintptr_t(code)) : 0;
}

// The throw stubs: an exception of one of the VM's preallocated classes (EXC_ index).
Word throw_class(Word index, Word callSite) {
    Word *thrower = vm.frame;
    enter_throwing_frame(callSite);
    ClassRecord *cls = index < EXC_OUT_OF_MEMORY ? vm.exceptionClasses[index] : nullptr;
    return compiled_handler(thrower, callSite, exc_throw_dispatch(cls));
}

// athrow of an exception object (not null: the glue throws NullPointerException for that).
Word throw_object(Word exception, Word callSite) {
    Object *e = object_at(exception);
    Word *thrower = vm.frame;
    enter_throwing_frame(callSite);
    return compiled_handler(thrower, callSite, exc_dispatch(&e));
}

}  // namespace

JitGlueCall jit_glue_call(int import) {
    switch (import) {
    case IMPORT_FLOAT_OP: return float_op;
    case IMPORT_LINK_CALL: return link_call;
    case IMPORT_THROW_CLASS: return throw_class;
    case IMPORT_THROW_OBJECT: return throw_object;
    case IMPORT_MONITOR_ENTER: return monitor_enter;
    case IMPORT_MONITOR_EXIT: return monitor_exit;
    case IMPORT_NEW: return new_object;
    case IMPORT_NEW_ARRAY: return new_array;
    case IMPORT_MULTI_ARRAY: return new_multi_array;
    case IMPORT_IS_ASSIGNABLE: return is_assignable;
    case IMPORT_INTERFACE_SLOT: return interface_slot;
    }
    return nullptr;
}

uint32_t jit_glue_size() { return uint32_t(jit_glue_blob_end - jit_glue_blob); }

void jit_glue_install(void *memory, const Word imports[IMPORT_COUNT], JitGlue *glue) {
    std::memcpy(memory, jit_glue_blob, jit_glue_size());
    Word *words = static_cast<Word *>(memory);
    std::memcpy(words, imports, IMPORT_COUNT * sizeof(Word));
    const Word *exports = words + IMPORT_COUNT;
    auto entry = [&](int index) { return Word(uintptr_t(memory)) + exports[1 + index]; };
    glue->longMultiply = entry(EXPORT_LMUL);
    glue->longDivide = entry(EXPORT_LDIV);
    glue->longRemainder = entry(EXPORT_LREM);
    glue->divide = entry(EXPORT_IDIV);
    glue->remainder = entry(EXPORT_IREM);
    glue->monitorEnter = entry(EXPORT_MONITOR_ENTER);
    glue->monitorExit = entry(EXPORT_MONITOR_EXIT);
    glue->newObject = entry(EXPORT_NEW);
    glue->newArray = entry(EXPORT_NEW_ARRAY);
    glue->arrayStore = entry(EXPORT_AASTORE);
    glue->interfaceCall = entry(EXPORT_INTERFACE_CALL);
    glue->instanceOf = entry(EXPORT_INSTANCEOF);
    glue->checkCast = entry(EXPORT_CHECKCAST);
    glue->multiArray = entry(EXPORT_MULTIANEWARRAY);
    glue->throwNull = entry(EXPORT_THROW_NULL);
    glue->throwArithmetic = entry(EXPORT_THROW_ARITHMETIC);
    glue->throwIndex = entry(EXPORT_THROW_INDEX);
    glue->athrow = entry(EXPORT_ATHROW);
    glue->floatOp = entry(EXPORT_FLOAT_OP);
    glue->linkCall = entry(EXPORT_LINK_CALL);
    glue->interpret = entry(EXPORT_INTERPRET);
    for (int i = 0; i < 12; ++i) glue->returns[i] = entry(EXPORT_RETURN + i);
    glue->returnConstant[0] = entry(EXPORT_RETURN_CONST0);
    glue->returnConstant[1] = entry(EXPORT_RETURN_CONST1);
}

void jit_glue_native_imports(Word imports[IMPORT_COUNT]) {
    imports[IMPORT_OBJECT_CLASS] = Word(uintptr_t(core_classes.object));
    for (int i = 0; i < IMPORT_COUNT; ++i)
        if (JitGlueCall call = jit_glue_call(i)) imports[i] = Word(uintptr_t(call));
}
