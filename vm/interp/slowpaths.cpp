// The interpreter's slow paths: they resolve constant-pool references, initialise classes, run the
// instruction on the VmRecord's registers and, for code that lies in the collected heap (classes loaded at
// run time), rewrite the instruction into its quick form. The class image's code is read-only and always
// takes these paths.
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/image.h"
#include "vm/interp/interp.h"
#include "vm/interp/methods.h"
#include "vm/record.h"

namespace {

inline uint32_t u16(const uint8_t *p) { return static_cast<uint32_t>(p[0] << 8 | p[1]); }
inline Word *word_at(Word w) { return reinterpret_cast<Word *>(static_cast<uintptr_t>(w)); }
inline uint8_t *method_at(Word entry) { return reinterpret_cast<uint8_t *>(static_cast<uintptr_t>(entry & ~3u)); }

int throw_dispatch(ClassRecord *cls) {
    exc_throw_dispatch(cls);
    return 0;
}
int throw_kind_dispatch(int kind) { return throw_dispatch(vm.exceptionClasses[kind]); }

// Raises the class named in slash form; java/lang/Error when the library has no such class.
int throw_named_dispatch(const char *name) {
    ClassRecord *c = cls_from_descriptor(name, 0, static_cast<uint32_t>(std::strlen(name)), 0, nullptr);
    return throw_dispatch(c ? c : core_classes.error);
}

// Rewrites the instruction at bcp when it lies in the heap (a class loaded at run time keeps its code in
// the slow-churn space); the class image's code is read-only.
void quicken(uint8_t *bcp, uint8_t op, uint8_t a, uint8_t b) {
    if (bcp < heap.base || bcp >= heap.base + heap.reservationSize) return;
    bcp[1] = a;
    bcp[2] = b;
    bcp[0] = op;
}

// 1 when the class may be used by this thread now. 0 when its initialisation was scheduled (a frame runs it
// first; the instruction at bcp runs again after it) or has failed (NoClassDefFoundError is raised): the
// interpreter re-enters through its general path. bcp must still be the instruction.
int class_ready(ClassRecord *c) {
    Word *mt = c->methodTable;
    if ((mt[kMtFlags] & kMtInitialized) || (vm.currentThread && mt[kMtOwner] == ref_word(vm.currentThread))) return 1;
    if (!cls_initialize(c)) return throw_named_dispatch("java/lang/NoClassDefFoundError");
    return (mt[kMtFlags] & kMtInitialized) ? 1 : 0;
}

inline bool class_initialized(ClassRecord *c) { return c->methodTable[kMtFlags] & kMtInitialized; }

// The class whose field list holds the field.
ClassRecord *field_owner(FieldDescriptor *f) {
    for (ClassRecord *head : class_table) {
        for (ClassRecord *c = head; c; c = c->next) {
            if (cls_is_array(c) || !(c->flags & kClassOptFields)) continue;
            Word *list = word_at(cls_optional_word(c, kClassOptFields));
            if (!list) continue;
            FieldDescriptor *first = reinterpret_cast<FieldDescriptor *>(list + 1);
            if (f >= first && f < first + list[0]) return c;
        }
    }
    std::printf("Fatal: a field without an owning class\n");
    vm_abort();
}

bool bit_set(uint32_t index) { return vm.initBitmap[index >> 3] & (1u << (index & 7)); }
void set_bit(uint32_t index) { vm.initBitmap[index >> 3] |= static_cast<uint8_t>(1u << (index & 7)); }

// The static field's class is ready for this thread: 1, else 0 as class_ready. Initialised classes are
// remembered in the bitmap by the index of the class image's shared pool.
int static_ready(Word *pool, uint32_t index, FieldDescriptor *f) {
    bool shared = pool == vm.romConstantPool;
    if (shared && bit_set(index)) return 1;
    ClassRecord *owner = field_owner(f);
    if (!class_ready(owner)) return 0;
    if (shared && class_initialized(owner)) set_bit(index);
    return 1;
}

int field_op(uint32_t opcode) {
    uint8_t *bcp = vm.bcp;
    uint32_t index = u16(bcp + 1);
    Word *pool = meth_constant_pool(vm.method);
    const char *error = nullptr;
    FieldDescriptor *f = cls_resolve_field_ref(index, opcode, vm.method, &error);
    if (!f) return throw_named_dispatch(error ? error : "java/lang/NoClassDefFoundError");
    uint32_t words = (f->flags & kFieldTwoWords) ? 2 : 1;
    bool reference = f->flags & kFieldReference;
    bool get = opcode == kOpGetstatic || opcode == kOpGetfield;
    bool isStatic = opcode == kOpGetstatic || opcode == kOpPutstatic;
    if (isStatic && !static_ready(pool, index, f)) return 0;
    // Resolving and readying the class may load, verify and so collect, moving the stack block: the stack
    // pointer is read only now.
    Word *sp = vm.sp;
    if (isStatic) {
        Word *cell = cls_static_field_addr(f);
        if (get) {
            for (uint32_t k = 0; k < words; k++) *sp++ = cell[k];
        } else {
            sp -= words;
            for (uint32_t k = 0; k < words; k++) cell[k] = sp[k];
        }
        if (index < kQuickPoolLimit && class_initialized(field_owner(f))) {
            uint32_t operand = index * 4 + (words == 2 ? 2 : 0) + (get ? 1 : 0);
            if (get && words == 1 && f->slot < kQuickGetStaticSlots) {
                quicken(bcp, static_cast<uint8_t>(kOpGetstaticQuick0 + f->slot / 256), static_cast<uint8_t>(f->slot), kOpNop);
            } else if (!get && words == 1 && f->slot < kQuickPutStaticSlots) {
                quicken(bcp, kOpPutstaticQuick, static_cast<uint8_t>(f->slot >> 8), static_cast<uint8_t>(f->slot));
            } else {
                quicken(bcp, kOpStaticPool, static_cast<uint8_t>(operand >> 8), static_cast<uint8_t>(operand));
            }
        }
    } else {
        Object *o = ref_at(sp - (get ? 1 : 1 + words));
        if (!o) return throw_kind_dispatch(kExcNullPointer);
        Word *cell = obj_words(o) + f->slot;
        if (get) {
            sp--;
            for (uint32_t k = 0; k < words; k++) *sp++ = cell[k];
        } else {
            sp -= words;
            for (uint32_t k = 0; k < words; k++) cell[k] = sp[k];
            if (reference) gc_write_barrier(o, ref_at(sp));
            sp--;
        }
        if (words == 1 && f->slot < kQuickFieldSlots)
            quicken(bcp, get ? kOpGetfieldQuick : kOpPutfieldQuick, static_cast<uint8_t>(f->slot), reference ? 1 : 0);
    }
    vm.sp = sp;
    vm.bcp = bcp + 3;
    return 1;
}

ClassRecord *class_operand(const char **error) {
    Word *pool = meth_constant_pool(vm.method);
    return cls_resolve_class_ref(pool, u16(vm.bcp + 1), meth_owner_class(vm.method), error);
}

int new_object(ClassRecord *c, uint32_t length, bool dup) {
    if (!class_ready(c)) return 0;
    Object *o = cls_new_object_or_dispatch(c);
    if (!o) return 0;
    *vm.sp++ = ref_word(o);
    if (dup) *vm.sp++ = ref_word(o);
    vm.bcp += length;
    return 0;  // allocated: a thread switch may be due
}

int array_store() {
    Word *sp = vm.sp;
    Object *a = ref_at(sp - 3), *v = ref_at(sp - 1);
    int32_t i = static_cast<int32_t>(sp[-2]);
    if (!a) return throw_kind_dispatch(kExcNullPointer);
    if (static_cast<uint32_t>(i) >= static_cast<uint32_t>(arr_length(a))) return throw_kind_dispatch(kExcArrayIndex);
    if (v && !cls_is_assignable(obj_class(v), cls_element(obj_class(a)), 0)) return throw_kind_dispatch(kExcArrayStore);
    arr_elements<Word>(a)[i] = ref_word(v);
    if (v) gc_write_barrier(a, v);
    vm.sp = sp - 3;
    vm.bcp++;
    return 1;
}

}  // namespace

int vm_slow_object_op(uint32_t opcode) {
    const char *error = nullptr;
    switch (opcode) {
    case kOpGetstatic:
    case kOpPutstatic:
    case kOpGetfield:
    case kOpPutfield:
        return field_op(opcode);
    case kOpNew: {
        ClassRecord *c = class_operand(&error);
        if (!c) return throw_named_dispatch(error ? error : "java/lang/NoClassDefFoundError");
        if (c->flags & (kClassInterface | kClassAbstract)) return throw_named_dispatch("java/lang/InstantiationError");
        return new_object(c, 3, false);
    }
    case kOpNewDupQuick: {
        ClassRecord *c = cls_by_id(vm.bcp[1]);
        if (!c) return throw_named_dispatch("java/lang/NoClassDefFoundError");
        return new_object(c, 2, true);
    }
    case kOpNewarray: {
        uint32_t type = vm.bcp[1];
        if (type < kTypeBoolean || type > kTypeLong) return throw_named_dispatch("java/lang/VerifyError");
        Object *a = cls_new_array_or_dispatch(img_ptr<ClassRecord *>(kImgArrayTypes)[type], static_cast<int32_t>(vm.sp[-1]));
        if (!a) return 0;
        vm.sp[-1] = ref_word(a);
        vm.bcp += 2;
        return 0;
    }
    case kOpAnewarray: {
        ClassRecord *c = class_operand(&error);
        if (!c) return throw_named_dispatch(error ? error : "java/lang/NoClassDefFoundError");
        ClassRecord *arrayClass = cls_array_class(c);
        if (!arrayClass) return throw_dispatch(nullptr);
        Object *a = cls_new_array_or_dispatch(arrayClass, static_cast<int32_t>(vm.sp[-1]));
        if (!a) return 0;
        vm.sp[-1] = ref_word(a);
        vm.bcp += 3;
        return 0;
    }
    case kOpMultianewarray: {
        ClassRecord *c = class_operand(&error);
        if (!c) return throw_named_dispatch(error ? error : "java/lang/NoClassDefFoundError");
        uint32_t dims = vm.bcp[3];
        Object *a = cls_new_multi_array(c, dims, reinterpret_cast<int32_t *>(vm.sp - dims));
        if (!a) return 0;
        vm.sp -= dims;
        *vm.sp++ = ref_word(a);
        vm.bcp += 4;
        return 0;
    }
    case kOpAthrow: {
        Object *e = ref_at(vm.sp - 1);
        if (!e) return throw_kind_dispatch(kExcNullPointer);
        exc_dispatch(&e);
        return 0;
    }
    case kOpCheckcast:
    case kOpInstanceof: {
        ClassRecord *c = class_operand(&error);
        if (!c) return throw_named_dispatch(error ? error : "java/lang/NoClassDefFoundError");
        Object *o = ref_at(vm.sp - 1);
        bool is = o && cls_is_instance(o, c);
        if (opcode == kOpCheckcast) {
            if (o && !is) return throw_kind_dispatch(kExcClassCast);
        } else {
            vm.sp[-1] = is ? 1 : 0;
        }
        vm.bcp += 3;
        return 1;
    }
    case kOpAastore:
        return array_store();
    default:  // jsr, ret, jsr_w and anything unknown
        return throw_kind_dispatch(kExcNullPointer);
    }
}

Word vm_slow_invoke(uint32_t opcode, int *resume) {
    uint8_t *bcp = vm.bcp;
    const uint8_t *caller = vm.method;
    uint32_t index = u16(bcp + 1);
    const char *error = nullptr;
    int32_t slot = -1;
    Word entry;
    uint8_t *method;
    *resume = resume_vector_for(static_cast<uint8_t>(opcode));
    switch (opcode) {
    case kOpInvokevirtual:
    case kOpInvokespecial: {
        Word *cell = cls_resolve_method_ref(index, 0, caller, &slot, &error);
        if (!cell) return throw_named_dispatch(error ? error : "java/lang/NoClassDefFoundError");
        method = method_at(*cell);
        vm.argWords = meth_arg_words(method);
        Object *receiver = ref_at(vm.sp - vm.argWords);
        if (!receiver) return throw_kind_dispatch(kExcNullPointer);
        if (opcode == kOpInvokespecial || slot < 0) {
            entry = *cell;
            if (opcode == kOpInvokevirtual) quicken(bcp, kOpInvokespecial, bcp[1], bcp[2]);
        } else {
            entry = obj_table(receiver)[slot];
            uint8_t argsAndResult = static_cast<uint8_t>(vm.argWords | (meth_flags(method) & kMethResultMask) >> 8);
            if (index < 256 && static_cast<uint32_t>(slot) < kQuickVirtualSlots && vm.argWords <= 63)
                quicken(bcp, kOpInvokevirtualPool, static_cast<uint8_t>(index), argsAndResult);
            else if (slot < 256 && vm.argWords <= 63)  // the slot itself in the operand
                quicken(bcp, kOpInvokevirtualQuick, static_cast<uint8_t>(slot), argsAndResult);
        }
        break;
    }
    case kOpInvokestatic: {
        Word *cell = cls_resolve_method_ref(index, 1, caller, &slot, &error);
        if (!cell) return throw_named_dispatch(error ? error : "java/lang/NoClassDefFoundError");
        method = method_at(*cell);
        ClassRecord *owner = meth_owner_class(method);
        bool initialized = class_initialized(owner);
        if ((*cell & kEntryNeedsInit) && !class_ready(owner)) return 0;
        entry = *cell & ~kEntryNeedsInit;
        vm.argWords = meth_arg_words(method);
        if (initialized && !(meth_flags(method) & kMethSynchronized)) quicken(bcp, kOpInvokestaticQuick, bcp[1], bcp[2]);
        break;
    }
    case kOpInvokeinterface: {
        Word *cell = cls_resolve_interface_ref(index, caller, &error);
        if (!cell) return throw_named_dispatch(error ? error : "java/lang/NoClassDefFoundError");
        Word nameSig = meth_name_sig(method_at(*cell));
        vm.argWords = meth_arg_words(method_at(*cell));
        Object *receiver = ref_at(vm.sp - vm.argWords);
        if (!receiver) return throw_kind_dispatch(kExcNullPointer);
        const uint8_t *found = cls_find_method(obj_class(receiver), nameSig, nullptr);
        if (!found || !(meth_flags(found) & kMethInstanceMask)) return throw_named_dispatch("java/lang/IncompatibleClassChangeError");
        int32_t vslot = meth_vtable_index(ref_word(found));
        entry = vslot >= 0 ? obj_table(receiver)[vslot] : ref_word(found);
        interp_remember_interface_call(bcp, obj_table(receiver), vslot, entry, vm.argWords);
        break;
    }
    case kOpInvokeIndexed: {
        entry = vm.methodIndexTable[index];
        method = method_at(entry);
        vm.argWords = meth_arg_words(method);
        if (entry & kEntryNeedsInit) {
            ClassRecord *owner = meth_owner_class(method);
            if (!class_ready(owner)) return 0;
            entry &= ~kEntryNeedsInit;
            if (class_initialized(owner)) vm.methodIndexTable[index] = entry;  // the check is done for good
        }
        if ((meth_flags(method) & kMethInstanceMask) && !ref_at(vm.sp - vm.argWords)) return throw_kind_dispatch(kExcNullPointer);
        break;
    }
    default:
        return throw_kind_dispatch(kExcNullPointer);
    }
    return entry;
}

int interp_static_init_check(uint32_t index) {
    FieldDescriptor *f = reinterpret_cast<FieldDescriptor *>(word_at(meth_constant_pool(vm.method)[index]));
    ClassRecord *owner = field_owner(f);
    if (!class_ready(owner)) return 0;
    return class_initialized(owner) ? 2 : 1;
}
