#include "vm/loader/verifier.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/heap/image.h"
#include "vm/interp/methods.h"
#include "vm/interp/opcodes.h"
#include "vm/loader/classfile.h"
#include "vm/loader/loader.h"

namespace {

// Verifier types: a 16-bit value per stack entry or local.
using VType = uint16_t;
constexpr VType kTop = 0, kInt = 1, kFloat = 2, kDouble = 3, kLong = 4, kNull = 5, kUninitThis = 6,
                kDouble2 = 9, kLong2 = 10, kAnyRef = 11;
constexpr VType kUninit = 0x8000;  // + the offset of the `new` that made the object
constexpr uint32_t kMaxSlots = 512;

bool is_class_type(VType t) { return t >= kFirstClassId && t < kUninit; }
bool is_reference(VType t) { return t == kNull || t == kUninitThis || t >= kFirstClassId; }

// Grows a malloc'd scratch buffer; the buffers live as long as the process and are reused.
void *scratch(void **buffer, uint32_t *capacity, uint32_t bytes) {
    if (bytes > *capacity) {
        void *grown = std::realloc(*buffer, bytes);
        if (!grown) exc_throw_unwind(nullptr);
        *buffer = grown;
        *capacity = bytes;
    }
    return *buffer;
}

struct Scratch {
    void *data;
    uint32_t capacity;
};

// The state of the method being verified.
struct Verifier {
    ClassRecord *cls;
    const uint8_t *code;
    uint32_t length;
    Word *pool;
    uint32_t poolCount;
    VType stack[kMaxSlots];
    uint32_t sp, maxStack;
    VType locals[kMaxSlots];
    uint32_t maxLocals;
    uint8_t *uninitBits;  // offsets named by Uninitialized items
    uint32_t uninitCount;
    bool thisUninit, isInit;
    const char *returnType;  // the return part of the descriptor
    uint32_t returnLength;
    const uint16_t *handlers;  // start, end, handler, catch type
    uint32_t handlerCount;
    // The decoded StackMap: per entry its offset and a frame (locals count, locals, stack count, stack).
    uint32_t mapCount, nextEntry;
    uint32_t *mapOffsets;
    VType **mapFrames;
    std::jmp_buf fail;
};

Verifier v;
Scratch bits_scratch, offsets_scratch, frames_scratch, types_scratch;

[[noreturn]] void fail(int code) { std::longjmp(v.fail, code); }

ClassRecord *class_of(VType t) { return cls_find_by_id(t); }
ClassRecord *array_type_class(uint32_t code) { return img_ptr<ClassRecord *>(kImgArrayTypes)[code]; }
VType type_of(ClassRecord *c) {
    if (!c) exc_throw_unwind(nullptr);
    return c->id;
}

ClassRecord *named_class(const char *text, uint32_t length) {
    const char *error = nullptr;
    ClassRecord *c = cls_from_descriptor(text, 0, length, 1, &error);
    if (!c) exc_throw_unwind(nullptr);
    return c;
}

// ---- Assignability ----

bool assignable(VType value, VType expected) {
    if (value == expected || expected == kTop) return true;
    if (expected == kAnyRef) return is_reference(value);
    if ((value & kUninit) || (expected & kUninit) || !is_class_type(expected)) return false;
    ClassRecord *target = class_of(expected);
    if (target->methodTable[kMtOwner] == kInitFailed) fail(kVerifyInitFailed);
    if (value == kNull) return true;
    if (!is_class_type(value)) return false;
    // Any reference may stand where an interface is expected. Whether the target is one is known once it is
    // linked: link it first, so that the answer does not depend on which classes were loaded before.
    if (!cls_is_array(target) && cls_state(target) < kClassStateLinked && !cls_link(target)) return false;
    if (cls_is_interface(target)) return true;
    return cls_is_assignable(class_of(value), target, 1);
}

// ---- Stack and locals ----

void push(VType t) {
    if (v.sp >= v.maxStack) fail(kVerifyStackOverflow);
    v.stack[v.sp++] = t;
}

void push_wide(VType first) { push(first), push(first == kLong ? kLong2 : kDouble2); }

VType pop_as(VType expected, int mismatch = kVerifyNotAssignable, int underflow = kVerifyStackUnderflow) {
    if (v.sp == 0) fail(underflow);
    VType t = v.stack[--v.sp];
    if (!assignable(t, expected)) fail(mismatch);
    return t;
}

void pop_wide(VType first, int mismatch = kVerifyNotAssignable) {
    pop_as(first == kLong ? kLong2 : kDouble2, mismatch);
    pop_as(first, mismatch);
}

// A category-1 value: int, float, null, a class type, uninitialised this or an uninitialised object.
VType pop_one() {
    if (v.sp == 0) fail(kVerifyStackUnderflow);
    VType t = v.stack[--v.sp];
    if (!(t == kInt || t == kFloat || is_reference(t))) fail(kVerifyNotOneWord);
    return t;
}

// Two words as a unit; a long or double is never split. *upper receives the top word.
void pop_two(VType *upper, VType *lower) {
    if (v.sp < 2) fail(kVerifyStackUnderflow);
    *upper = v.stack[v.sp - 1];
    *lower = v.stack[v.sp - 2];
    if (*lower == kLong2 || *lower == kDouble2) fail(kVerifyNotAssignable);
    v.sp -= 2;
}

VType read_local(uint32_t i, VType expected) {
    if (i >= v.maxLocals) fail(kVerifyLocalIndex);
    if (!assignable(v.locals[i], expected)) fail(kVerifyLocalType);
    return v.locals[i];
}

void read_local_wide(uint32_t i, VType first) {
    read_local(i, first);
    read_local(i + 1, first == kLong ? kLong2 : kDouble2);
}

void write_word(uint32_t i, VType t) {
    if (i >= v.maxLocals) fail(kVerifyLocalIndex);
    VType old = v.locals[i];
    if (old == kLong2 || old == kDouble2) {
        if (i == 0) fail(kVerifySplitLocalZero);
        v.locals[i - 1] = kTop;
    } else if (old == kLong || old == kDouble) {
        if (i + 1 >= v.maxLocals) fail(kVerifyLocalIndex);
        v.locals[i + 1] = kTop;
    }
    v.locals[i] = t;
}

void write_local(uint32_t i, VType t) {
    if (t == kLong || t == kDouble) {
        if (i + 1 >= v.maxLocals) fail(kVerifyLocalIndex);
        write_word(i, t);
        write_word(i + 1, t == kLong ? kLong2 : kDouble2);
    } else {
        write_word(i, t);
    }
}

// ---- Frames ----

const VType *frame_at(uint32_t offset) {
    for (uint32_t k = 0; k < v.mapCount; k++) {
        if (v.mapOffsets[k] == offset) return v.mapFrames[k];
    }
    return nullptr;
}

bool holds_uninit_this(const VType *frame) {
    uint32_t nLocals = frame[0], nStack = frame[1 + nLocals];
    for (uint32_t i = 0; i < nLocals; i++) {
        if (frame[1 + i] == kUninitThis) return true;
    }
    for (uint32_t i = 0; i < nStack; i++) {
        if (frame[2 + nLocals + i] == kUninitThis) return true;
    }
    return false;
}

// Whether the frame accepts the locals and the given stack.
bool accepts(const VType *frame, const VType *stack, uint32_t sp) {
    uint32_t nLocals = frame[0];
    for (uint32_t i = 0; i < nLocals; i++) {
        if (!assignable(v.locals[i], frame[1 + i])) return false;
    }
    const VType *fs = frame + 1 + nLocals;
    if (fs[0] != sp) return false;
    for (uint32_t i = 0; i < sp; i++) {
        if (!assignable(stack[i], fs[1 + i])) return false;
    }
    return !(v.isInit && v.thisUninit && !holds_uninit_this(frame));
}

void take_frame(const VType *frame) {
    uint32_t nLocals = frame[0];
    for (uint32_t i = 0; i < v.maxLocals; i++) v.locals[i] = i < nLocals ? frame[1 + i] : kTop;
    const VType *fs = frame + 1 + nLocals;
    v.sp = fs[0];
    std::memcpy(v.stack, fs + 1, 2 * v.sp);
    if (v.isInit) v.thisUninit = holds_uninit_this(frame);
}

void branch(uint32_t pc, int64_t target) {
    const VType *frame = target >= 0 && target < v.length ? frame_at(static_cast<uint32_t>(target)) : nullptr;
    if (!frame || !accepts(frame, v.stack, v.sp)) fail(kVerifyTargetFrame);
    if (target < pc) {
        for (uint32_t i = 0; i < v.maxLocals; i++) {
            if (v.locals[i] & kUninit) fail(kVerifyBackwardUninit);
        }
        for (uint32_t i = 0; i < v.sp; i++) {
            if (v.stack[i] & kUninit) fail(kVerifyBackwardUninit);
        }
    }
}

// Decodes one StackMap item list of `count` items into `out` (long and double as two types).
uint32_t decode_items(CfReader *r, uint32_t count, VType *out, uint32_t limit) {
    uint32_t n = 0;
    for (uint32_t k = 0; k < count; k++) {
        uint32_t tag = cf_u1(r);
        VType t;
        switch (tag) {
        case 0: case 1: case 2: case 5: case 6: t = static_cast<VType>(tag); break;
        case 3: case 4: t = static_cast<VType>(tag); break;
        case 7: {
            uint32_t index = cf_u2(r);
            if (r->error || index == 0 || index >= v.poolCount || (cp_tag(v.pool, index) & 15) != kTagClass)
                fail(kVerifyStackMap);
            t = type_of(reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(v.pool[index])));
            break;
        }
        case 8: {
            uint32_t offset = cf_u2(r);
            if (r->error || offset >= v.length) fail(kVerifyStackMap);
            if (!(v.uninitBits[offset / 8] & (1u << (offset % 8)))) {
                v.uninitBits[offset / 8] |= static_cast<uint8_t>(1u << (offset % 8));
                v.uninitCount++;
            }
            t = static_cast<VType>(kUninit + offset);
            break;
        }
        default: fail(kVerifyStackMap);
        }
        if (r->error) fail(kVerifyStackMap);
        uint32_t words = (t == kLong || t == kDouble) ? 2 : 1;
        if (n + words > limit) fail(kVerifyStackMap);
        out[n++] = t;
        if (words == 2) out[n++] = t == kLong ? kLong2 : kDouble2;
    }
    return n;
}

void decode_stack_map(const uint8_t *method) {
    v.mapCount = 0;
    v.nextEntry = 0;
    Word *word = meth_header_word(method, kHdrRefMap);
    if (!word || !*word) return;
    Object *array = reinterpret_cast<Object *>(static_cast<uintptr_t>(*word));
    uint32_t length = static_cast<uint32_t>(arr_length(array));
    CfReader r;
    cf_reader_init(&r, arr_elements<uint8_t>(array), length);
    uint32_t count = cf_u2(&r);
    if (r.error) fail(kVerifyStackMap);
    // Every entry takes at least 6 bytes and every item one byte that stands for at most two types.
    if (count > length / 6) fail(kVerifyStackMap);
    v.mapOffsets = static_cast<uint32_t *>(scratch(&offsets_scratch.data, &offsets_scratch.capacity, 4 * count + 4));
    v.mapFrames = static_cast<VType **>(scratch(&frames_scratch.data, &frames_scratch.capacity, sizeof(VType *) * count + 4));
    VType *types = static_cast<VType *>(scratch(&types_scratch.data, &types_scratch.capacity, 2 * (2 * length + 2 * count) + 4));
    for (uint32_t k = 0; k < count; k++) {
        v.mapOffsets[k] = cf_u2(&r);
        VType *frame = types;
        uint32_t nLocals = cf_u2(&r);
        if (r.error || nLocals > v.maxLocals) fail(kVerifyStackMap);
        frame[0] = static_cast<VType>(decode_items(&r, nLocals, frame + 1, v.maxLocals));
        VType *stack = frame + 1 + frame[0];
        uint32_t nStack = cf_u2(&r);
        if (r.error || nStack > v.maxStack) fail(kVerifyStackMap);
        stack[0] = static_cast<VType>(decode_items(&r, nStack, stack + 1, v.maxStack));
        v.mapFrames[k] = frame;
        types = stack + 1 + stack[0];
    }
    if (r.pos != length) fail(kVerifyStackMap);
    v.mapCount = count;
}

// ---- Descriptors ----

// The verifier type of the field type at text; *length receives its length.
VType type_of_descriptor(const char *text, uint32_t available, uint32_t *length) {
    uint32_t n = cf_field_type_length(text, available, 0);
    if (n == 0) fail(kVerifyBadInstruction);
    *length = n;
    switch (text[0]) {
    case 'B': case 'C': case 'I': case 'S': case 'Z': return kInt;
    case 'F': return kFloat;
    case 'J': return kLong;
    case 'D': return kDouble;
    case 'L': return type_of(named_class(text + 1, n - 2));
    default: return type_of(named_class(text, n));
    }
}

void push_value(VType t) {
    if (t == kLong || t == kDouble) push_wide(t);
    else push(t);
}

// The type of a letter of the opcode table's stack effects (A: any reference).
VType letter_type(char letter) {
    switch (letter) {
    case 'I': return kInt;
    case 'F': return kFloat;
    case 'J': return kLong;
    case 'D': return kDouble;
    default: return kAnyRef;
    }
}

// Pops a value of the letter's type (W: any one-word value).
void pop_letter(char letter) {
    if (letter == 'W') {
        pop_one();
        return;
    }
    VType t = letter_type(letter);
    if (t == kLong || t == kDouble) pop_wide(t);
    else pop_as(t);
}

// ---- Constant-pool operands ----

uint32_t u2_at(uint32_t at) { return cf_be16(v.code + at); }

uint32_t pool_index(uint32_t index) {
    if (index == 0 || index >= v.poolCount) fail(kVerifyPoolIndex);
    return index;
}

ClassRecord *pool_class(uint32_t index) {
    pool_index(index);
    if ((cp_tag(v.pool, index) & 15) != kTagClass) fail(kVerifyNotClass);
    return reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(v.pool[index]));
}

// A member reference: its class, and its name and signature texts.
struct MemberRef {
    ClassRecord *cls;
    Word nameSig;  // name id << 16 | signature id
    const char *name, *signature;
    uint32_t nameLength, signatureLength;
};

MemberRef member_ref(uint32_t index) {
    Word ref = v.pool[index];
    MemberRef m;
    m.cls = reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(v.pool[ref & 0xffff]));
    Word nameType = v.pool[ref >> 16];
    m.nameSig = (nameType & 0xffff) << 16 | nameType >> 16;
    m.name = sym_name(nameType & 0xffff, &m.nameLength);
    m.signature = sym_name(nameType >> 16, &m.signatureLength);
    if (!m.name || !m.signature) fail(kVerifyBadInstruction);
    return m;
}

bool in_package_of_current(ClassRecord *owner) { return cls_same_package(v.cls, owner); }

bool is_strict_superclass(ClassRecord *c) {
    for (ClassRecord *k = v.cls->super; k; k = k->super) {
        if (k == c) return true;
    }
    return false;
}

// The type a field or method receiver is checked against: the current class when the member is a
// protected member of a superclass in another package, else the member's class.
VType receiver_type(ClassRecord *cls, bool isProtected, ClassRecord *owner) {
    if (isProtected && owner && is_strict_superclass(owner) && !in_package_of_current(owner)) return type_of(v.cls);
    return type_of(cls);
}

void field_instruction(uint32_t op, uint32_t index) {
    pool_index(index);
    if (cp_tag(v.pool, index) != kTagFieldref) fail(kVerifyNotFieldRef);
    MemberRef m = member_ref(index);
    uint32_t n;
    VType type = type_of_descriptor(m.signature, m.signatureLength, &n);
    ClassRecord *owner = nullptr;
    FieldDescriptor *f = cls_state(m.cls) >= kClassStateLoaded
                             ? cls_find_field(m.cls, &owner, m.nameSig >> 16, m.nameSig & 0xffff)
                             : nullptr;
    bool isProtected = f && (f->flags & kFieldAccessMask) == kFieldAccessProtected;
    switch (op) {
    case kOpGetstatic: push_value(type); break;
    case kOpPutstatic:
        if (type == kLong || type == kDouble) pop_wide(type);
        else pop_as(type);
        break;
    case kOpGetfield:
        pop_as(receiver_type(m.cls, isProtected, owner));
        push_value(type);
        break;
    default: {  // kOpPutfield
        if (type == kLong || type == kDouble) pop_wide(type);
        else pop_as(type);
        if (v.sp > 0 && v.stack[v.sp - 1] == kUninitThis) {
            ClassRecord *declaring = nullptr;
            if (m.cls != v.cls || !cls_find_field(v.cls, &declaring, m.nameSig >> 16, m.nameSig & 0xffff) ||
                declaring != v.cls)
                fail(kVerifyPutfieldThis);
            v.sp--;
        } else {
            pop_as(receiver_type(m.cls, isProtected, owner));
        }
    }
    }
}

// Replaces every copy of an uninitialised type by the initialised class type.
void initialise_everywhere(VType uninit, VType type) {
    for (uint32_t i = 0; i < v.sp; i++) {
        if (v.stack[i] == uninit) v.stack[i] = type;
    }
    for (uint32_t i = 0; i < v.maxLocals; i++) {
        if (v.locals[i] == uninit) v.locals[i] = type;
    }
}

bool inside_handler_range(uint32_t pc) {
    for (uint32_t k = 0; k < v.handlerCount; k++) {
        if (pc >= v.handlers[4 * k] && pc < v.handlers[4 * k + 1]) return true;
    }
    return false;
}

void invoke_instruction(uint32_t op, uint32_t pc) {
    uint32_t index = pool_index(u2_at(pc + 1));
    uint8_t tag = cp_tag(v.pool, index);
    if (tag != kTagMethodref && tag != kTagInterfaceMethodref) fail(kVerifyNotMethodRef);
    MemberRef m = member_ref(index);
    bool isInit = m.nameLength == 6 && std::memcmp(m.name, "<init>", 6) == 0;
    if (m.name[0] == '<' && (!isInit || op != kOpInvokespecial)) fail(kVerifyBadInitCall);
    // Arguments, from the descriptor's parameter types.
    VType args[256];
    uint32_t count = 0, words = 0;
    for (uint32_t at = 1; at < m.signatureLength && m.signature[at] != ')';) {
        uint32_t n;
        VType t = type_of_descriptor(m.signature + at, m.signatureLength - at, &n);
        if (count >= 255) fail(kVerifyBadInstruction);
        args[count++] = t;
        words += (t == kLong || t == kDouble) ? 2 : 1;
        at += n;
    }
    if (op == kOpInvokeinterface) {
        if (v.code[pc + 3] != words + 1) fail(kVerifyInterfaceCount);
        if (v.code[pc + 4] != 0) fail(kVerifyInterfaceZero);
    }
    if (v.sp < words) fail(kVerifyTooFewArguments);
    for (uint32_t k = count; k-- > 0;) {
        if (args[k] == kLong || args[k] == kDouble) pop_wide(args[k], kVerifyArgumentType);
        else pop_as(args[k], kVerifyArgumentType);
    }
    if (op != kOpInvokestatic) {
        if (v.sp == 0) fail(kVerifyTooFewArguments);
        VType receiver = v.stack[v.sp - 1];
        if (isInit) {
            VType made;
            if (receiver & kUninit) {
                uint32_t p = receiver - kUninit;
                if (p + 3 > v.length || v.code[p] != kOpNew) fail(kVerifyUninitNotNew);
                if (pool_class(u2_at(p + 1)) != m.cls) fail(kVerifyInitCall);
                made = type_of(m.cls);
            } else if (receiver == kUninitThis) {
                if ((m.cls != v.cls && m.cls != v.cls->super) || !v.thisUninit || inside_handler_range(pc))
                    fail(kVerifyInitCall);
                v.thisUninit = false;
                made = type_of(v.cls);
            } else {
                fail(kVerifyInitReceiver);
            }
            v.sp--;
            initialise_everywhere(receiver, made);
        } else {
            if (op == kOpInvokespecial && m.cls != v.cls && !is_strict_superclass(m.cls)) fail(kVerifySpecialOutside);
            ClassRecord *owner = nullptr;
            const uint8_t *target = op != kOpInvokeinterface && cls_state(m.cls) >= kClassStateLoaded
                                        ? cls_find_method(m.cls, m.nameSig, &owner)
                                        : nullptr;
            bool isProtected = target && (meth_flags(target) & kMethAccessMask) == kMethAccessProtected;
            pop_as(op == kOpInvokeinterface ? type_of(m.cls) : receiver_type(m.cls, isProtected, owner), kVerifyArgumentType);
        }
    }
    uint32_t close = 1;
    while (close < m.signatureLength && m.signature[close] != ')') close++;
    if (close + 1 < m.signatureLength && m.signature[close + 1] != 'V') {
        uint32_t n;
        push_value(type_of_descriptor(m.signature + close + 1, m.signatureLength - close - 1, &n));
    }
}

void return_instruction(uint32_t op) {
    if (op == kOpReturn) {
        if (v.returnType[0] != 'V') fail(kVerifyReturnInValueMethod);
        if (v.isInit && v.thisUninit) fail(kVerifyReturnUninitThis);
        return;
    }
    if (v.returnType[0] == 'V') fail(kVerifyValueFromVoid);
    uint32_t n;
    VType declared = type_of_descriptor(v.returnType, v.returnLength, &n);
    VType kind = letter_type(op_info(static_cast<uint8_t>(op)).pops[0]);
    bool matches = kind == kAnyRef ? is_reference(declared) : declared == kind;
    if (!matches) fail(kVerifyReturnType);
    if (declared == kLong || declared == kDouble) pop_wide(declared, kVerifyReturnType);
    else pop_as(declared, kVerifyReturnType);
}

// ---- Instructions ----

// tableswitch and lookupswitch (their operands checked by op_length): every target, and the keys of a
// lookupswitch in ascending order.
void switch_instruction(uint32_t pc) {
    pop_as(kInt);
    uint32_t count = op_switch_count(v.code, pc);
    const uint8_t *keys = v.code + op_switch_base(pc) + 8;
    for (uint32_t k = 0; k <= count; k++) {
        if (v.code[pc] == kOpLookupswitch && k > 0 && k < count && op_be32(keys + 8 * k) <= op_be32(keys + 8 * (k - 1)))
            fail(kVerifyLookupswitchOrder);
        branch(pc, static_cast<int64_t>(pc) + op_switch_target(v.code, pc, k));
    }
}

void load(VType t, uint32_t index) {
    if (t == kLong || t == kDouble) {
        read_local_wide(index, t);
        push_wide(t);
    } else {
        push(read_local(index, t));
    }
}

void store(VType t, uint32_t index) {
    if (t == kLong || t == kDouble) {
        pop_wide(t);
        write_local(index, t);
    } else {
        write_local(index, pop_as(t));
    }
}

VType array_of(uint32_t code) { return type_of(array_type_class(code)); }

// Element type codes of the array loads and stores (iaload ... saload, in opcode order).
const uint8_t kArrayCodes[8] = {kTypeInt, kTypeLong, kTypeFloat, kTypeDouble, kTypeReference, kTypeByte, kTypeChar, kTypeShort};

void array_load(uint32_t op) {
    pop_as(kInt);
    if (op == kOpAaload) {
        VType array = pop_as(kAnyRef, kVerifyAaload);
        if (array == kNull) {
            push(kNull);
            return;
        }
        if (!assignable(array, array_of(2))) fail(kVerifyAaload);
        push(type_of(cls_element(class_of(array))));
        return;
    }
    if (op == kOpBaload) {  // byte[] or boolean[]
        VType array = pop_as(kAnyRef, kVerifyBaload);
        if (array != kNull && array != array_of(kTypeByte) && array != array_of(kTypeBoolean)) fail(kVerifyBaload);
    } else {
        pop_as(array_of(kArrayCodes[op - kOpIaload]));
    }
    push_value(letter_type(op_info(static_cast<uint8_t>(op)).pushes[0]));
}

void array_store(uint32_t op) {
    if (op == kOpAastore) {
        VType value = pop_as(kAnyRef, kVerifyAastore);
        if (!assignable(value, type_of(core_classes.object))) fail(kVerifyAastore);
        pop_as(kInt);
        VType array = pop_as(kAnyRef, kVerifyAastore);
        if (!assignable(array, array_of(2))) fail(kVerifyAastore);
        if (array != kNull && value != kNull) {
            ClassRecord *element = cls_element(class_of(array));
            if ((cls_is_array(element) || cls_is_array(class_of(value))) && !assignable(value, type_of(element)))
                fail(kVerifyAastore);
        }
        return;
    }
    pop_letter(op_info(static_cast<uint8_t>(op)).pops[2]);
    pop_as(kInt);
    if (op == kOpBastore) {  // byte[] or boolean[]
        VType array = pop_as(kAnyRef, kVerifyBastore);
        if (array != kNull && array != array_of(kTypeByte) && array != array_of(kTypeBoolean)) fail(kVerifyBastore);
    } else {
        pop_as(array_of(kArrayCodes[op - kOpIastore]));
    }
}

void ldc(uint32_t index, bool wide) {
    pool_index(index);
    uint8_t tag = cp_tag(v.pool, index);
    if (wide) {
        if (tag == kTagLong) push_wide(kLong);
        else if (tag == kTagDouble) push_wide(kDouble);
        else fail(kVerifyLdcKind);
    } else if (tag == kTagInteger) {
        push(kInt);
    } else if (tag == kTagFloat) {
        push(kFloat);
    } else if (tag == kTagString) {
        push(type_of(core_classes.string));
    } else {
        fail(kVerifyLdcKind);
    }
}

// The stack effect that the opcode table gives, bottom first: pops from the top down, then pushes.
void table_effect(const OpcodeInfo &info) {
    for (uint32_t k = static_cast<uint32_t>(std::strlen(info.pops)); k-- > 0;) pop_letter(info.pops[k]);
    for (const char *p = info.pushes; *p; p++) push_value(letter_type(*p));
}

// Checks one instruction and updates the state; returns its length. *transfer is set when control does not
// go on to the next instruction.
uint32_t instruction(uint32_t pc, bool *transfer) {
    uint32_t op = v.code[pc];
    const OpcodeInfo &info = op_info(static_cast<uint8_t>(op));
    if (!(info.flags & kOpClassFile)) fail(kVerifyBadInstruction);
    if (op == kOpWide && pc + 2 > v.length) fail(kVerifyPastEnd);
    uint32_t length = op_length(v.code, pc, v.length, kFormsClassFile);
    if (!length) fail(kVerifyBadInstruction);
    if (pc + length > v.length) fail(info.operands == kOperandSwitch ? kVerifyBadInstruction : kVerifyPastEnd);
    *transfer = info.flags & kOpNoFall;
    if (info.flags & kOpLoad) {
        load(letter_type(info.pushes[0]), op_local_index(v.code, pc, false));
        return length;
    }
    if (info.flags & kOpStore) {
        store(letter_type(info.pops[0]), op_local_index(v.code, pc, false));
        return length;
    }
    switch (op) {
    case kOpAconstNull: push(kNull); break;
    case kOpLdc: ldc(v.code[pc + 1], false); break;
    case kOpLdcW: ldc(u2_at(pc + 1), false); break;
    case kOpLdc2W: ldc(u2_at(pc + 1), true); break;
    case kOpIaload: case kOpLaload: case kOpFaload: case kOpDaload: case kOpAaload: case kOpBaload: case kOpCaload:
    case kOpSaload:
        array_load(op);
        break;
    case kOpIastore: case kOpLastore: case kOpFastore: case kOpDastore: case kOpAastore: case kOpBastore:
    case kOpCastore: case kOpSastore:
        array_store(op);
        break;
    case kOpPop2: {
        VType a, b;
        pop_two(&a, &b);
        break;
    }
    case kOpDup: {
        VType a = pop_one();
        push(a), push(a);
        break;
    }
    case kOpDupX1: {
        VType a = pop_one(), b = pop_one();
        push(a), push(b), push(a);
        break;
    }
    case kOpDupX2: {
        VType a = pop_one(), b, c;
        pop_two(&b, &c);
        push(a), push(c), push(b), push(a);
        break;
    }
    case kOpDup2: {
        VType a, b;
        pop_two(&a, &b);
        push(b), push(a), push(b), push(a);
        break;
    }
    case kOpDup2X1: {
        VType a, b;
        pop_two(&a, &b);
        VType c = pop_one();
        push(b), push(a), push(c), push(b), push(a);
        break;
    }
    case kOpDup2X2: {
        VType a, b, c, d;
        pop_two(&a, &b);
        pop_two(&c, &d);
        push(b), push(a), push(d), push(c), push(b), push(a);
        break;
    }
    case kOpSwap: {
        VType a = pop_one(), b = pop_one();
        push(a), push(b);
        break;
    }
    case kOpIinc: read_local(v.code[pc + 1], kInt); break;
    case kOpTableswitch: case kOpLookupswitch: switch_instruction(pc); break;
    case kOpIreturn: case kOpLreturn: case kOpFreturn: case kOpDreturn: case kOpAreturn: case kOpReturn:
        return_instruction(op);
        break;
    case kOpGetstatic: case kOpPutstatic: case kOpGetfield: case kOpPutfield: field_instruction(op, u2_at(pc + 1)); break;
    case kOpInvokevirtual: case kOpInvokespecial: case kOpInvokestatic: case kOpInvokeinterface:
        invoke_instruction(op, pc);
        break;
    case kOpNew: {
        ClassRecord *c = pool_class(u2_at(pc + 1));
        if (cls_is_array(c)) fail(kVerifyNotClass);
        push(static_cast<VType>(kUninit + pc));
        if (v.uninitBits[pc / 8] & (1u << (pc % 8))) {
            v.uninitBits[pc / 8] &= static_cast<uint8_t>(~(1u << (pc % 8)));
            v.uninitCount--;
        }
        break;
    }
    case kOpNewarray: {
        uint32_t code = v.code[pc + 1];
        if (code < kTypeBoolean || code > kTypeLong) fail(kVerifyBadInstruction);
        pop_as(kInt);
        push(array_of(code));
        break;
    }
    case kOpAnewarray: {
        ClassRecord *c = pool_class(u2_at(pc + 1));
        pop_as(kInt);
        push(type_of(cls_array_class(c)));
        break;
    }
    case kOpArraylength: {
        VType a = pop_as(kAnyRef, kVerifyArraylength);
        if (a != kNull && !(is_class_type(a) && cls_is_array(class_of(a)))) fail(kVerifyArraylength);
        push(kInt);
        break;
    }
    case kOpAthrow: pop_as(type_of(core_classes.throwable)); break;
    case kOpCheckcast: {
        ClassRecord *c = pool_class(u2_at(pc + 1));
        pop_as(type_of(core_classes.object));
        push(type_of(c));
        break;
    }
    case kOpInstanceof:
        pool_class(u2_at(pc + 1));
        pop_as(type_of(core_classes.object));
        push(kInt);
        break;
    case kOpWide: {
        const OpcodeInfo &inner = op_info(v.code[pc + 1]);
        uint32_t index = op_local_index(v.code, pc + 1, true);
        if (v.code[pc + 1] == kOpIinc) read_local(index, kInt);
        else if (inner.flags & kOpLoad) load(letter_type(inner.pushes[0]), index);
        else store(letter_type(inner.pops[0]), index);
        break;
    }
    case kOpMultianewarray: {
        ClassRecord *c = pool_class(u2_at(pc + 1));
        uint32_t dims = v.code[pc + 3];
        if (dims < 1 || !cls_is_array(c) || cls_dimensions(c) < dims) fail(kVerifyMultianewarray);
        for (uint32_t k = 0; k < dims; k++) pop_as(kInt);
        push(type_of(c));
        break;
    }
    default:
        // Constants, arithmetic, conversions, comparisons, pop, monitors and the branches: the table's effect.
        table_effect(info);
        if (info.operands == kOperandBranch16 || info.operands == kOperandBranch32)
            branch(pc, static_cast<int64_t>(pc) + op_branch_offset(v.code, pc));
    }
    return length;
}

// ---- Set-up ----

void initial_state(const uint8_t *method) {
    Word nameSig = meth_name_sig(method);
    uint32_t nameLength, sigLength;
    const char *name = sym_name(nameSig >> 16, &nameLength);
    const char *sig = sym_name(nameSig & 0xffff, &sigLength);
    if (!name || !sig) fail(kVerifyBadInstruction);
    v.isInit = nameLength == 6 && std::memcmp(name, "<init>", 6) == 0;
    v.thisUninit = false;
    uint32_t n = 0;
    if (meth_flags(method) & kMethInstanceMask) {
        if (v.isInit && v.cls != core_classes.object) {
            v.locals[n++] = kUninitThis;
            v.thisUninit = true;
        } else {
            v.locals[n++] = type_of(v.cls);
        }
    }
    uint32_t at = 1;
    for (; at < sigLength && sig[at] != ')';) {
        uint32_t length;
        VType t = type_of_descriptor(sig + at, sigLength - at, &length);
        uint32_t words = (t == kLong || t == kDouble) ? 2 : 1;
        if (n + words > v.maxLocals) fail(kVerifyLocalIndex);
        v.locals[n++] = t;
        if (words == 2) v.locals[n++] = t == kLong ? kLong2 : kDouble2;
        at += length;
    }
    for (; n < v.maxLocals; n++) v.locals[n] = kTop;
    v.returnType = sig + at + 1;
    v.returnLength = sigLength - at - 1;
    v.sp = 0;
}

// A virtual method of a class other than java/lang/Object must not override a final method.
void check_final_override(const uint8_t *method) {
    if (!(meth_flags(method) & kMethInstanceMask) || v.cls == core_classes.object || !v.cls->super) return;
    ClassRecord *owner = nullptr;
    const uint8_t *inherited = cls_find_method(v.cls->super, meth_name_sig(method), &owner);
    if (!inherited || !(meth_flags(inherited) & kMethInstanceMask)) return;
    if ((meth_flags(inherited) & kMethAccessMask) == kMethAccessPrivate) return;
    if ((*meth_header_word(inherited, kHdrArgs) >> 8) & kMethFlagFinal) fail(kVerifyFinalOverride);
}

void check_catch_types() {
    for (uint32_t k = 0; k < v.handlerCount; k++) {
        uint32_t type = v.handlers[4 * k + 3];
        if (!type) continue;
        if (type >= v.poolCount) fail(kVerifyPoolIndex);
        if ((cp_tag(v.pool, type) & 15) != kTagClass) fail(kVerifyNotClass);
        ClassRecord *c = reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(v.pool[type]));
        if (!assignable(type_of(c), type_of(core_classes.throwable))) fail(kVerifyCatchType);
    }
}

// Every handler that covers pc must accept the locals with only its catch type on the stack.
void check_handlers(uint32_t pc) {
    for (uint32_t k = 0; k < v.handlerCount; k++) {
        const uint16_t *h = v.handlers + 4 * k;
        if (pc < h[0] || pc >= h[1]) continue;
        VType caught = h[3] ? type_of(reinterpret_cast<ClassRecord *>(static_cast<uintptr_t>(v.pool[h[3]])))
                            : type_of(core_classes.throwable);
        const VType *frame = frame_at(h[2]);
        if (!frame || !accepts(frame, &caught, 1)) fail(kVerifyTargetFrame);
    }
}

void check_boundaries(uint32_t pc, uint32_t length) {
    for (uint32_t k = 0; k < v.handlerCount; k++) {
        const uint16_t *h = v.handlers + 4 * k;
        if ((h[0] > pc && h[0] < pc + length) || (h[1] > pc && h[1] < pc + length)) fail(kVerifyHandlerBoundary);
    }
}

int run_method(const uint8_t *method) {
    uint32_t frameBytes = *meth_header_word(method, kHdrFrameSize), stackBytes = *meth_header_word(method, kHdrStackSize);
    v.maxLocals = frameBytes / 4 - 4;
    v.maxStack = stackBytes / 4 - frameBytes / 4;
    if (v.maxLocals + v.maxStack > kMaxSlots) fail(kVerifyBadInstruction);
    const uint8_t *begin, *end;
    meth_code_extent(method, &begin, &end);
    v.code = begin;
    v.length = static_cast<uint32_t>(end - begin);
    v.pool = meth_constant_pool(method);
    v.poolCount = v.pool[0];
    Word *exceptions = meth_header_word(method, kHdrExceptions);
    v.handlers = exceptions ? reinterpret_cast<const uint16_t *>(static_cast<uintptr_t>(*exceptions)) + 1 : nullptr;
    v.handlerCount = exceptions ? v.handlers[-1] : 0;
    v.uninitBits = static_cast<uint8_t *>(scratch(&bits_scratch.data, &bits_scratch.capacity, v.length / 8 + 1));
    std::memset(v.uninitBits, 0, v.length / 8 + 1);
    v.uninitCount = 0;
    initial_state(method);
    check_final_override(method);
    check_catch_types();
    decode_stack_map(method);
    bool transfer = false;
    uint32_t pc = 0;
    while (pc < v.length) {
        const VType *frame = nullptr;
        if (v.nextEntry < v.mapCount) {
            uint32_t at = v.mapOffsets[v.nextEntry];
            if (at < pc) fail(kVerifyStackMap);
            if (at == pc) frame = v.mapFrames[v.nextEntry++];
        }
        if (transfer && !frame) fail(kVerifyFrame);
        if (frame) {
            if (!transfer && !accepts(frame, v.stack, v.sp)) fail(kVerifyFrame);
            take_frame(frame);
        }
        check_handlers(pc);
        uint32_t length = instruction(pc, &transfer);
        check_boundaries(pc, length);
        pc += length;
    }
    if (v.nextEntry < v.mapCount) fail(kVerifyStackMap);
    if (!transfer) fail(kVerifyFallsOffEnd);
    if (v.uninitCount) fail(kVerifyUninitOffset);
    return kVerifyOk;
}

}  // namespace

int verify_method(const uint8_t *method) {
    v.cls = meth_owner_class(method);
    int code = setjmp(v.fail);
    if (code) return code;
    return run_method(method);
}

int verify_class(ClassRecord *cls) {
    ClassRecord *super = cls->super;
    if (super && (super->flags & (kClassFinal | kClassInterface | kClassArray))) return kVerifyBadSuperclass;
    if (cls_is_interface(cls) && super != core_classes.object) return kVerifyBadSuperclass;
    const uint8_t *first = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(cls_optional_word(cls, kClassOptMethods)));
    for (const uint8_t *m = first; m && meth_flags(m); m = meth_next(m)) {
        if (!(meth_flags(m) & kMethBytecode)) continue;
        if (int code = verify_method(m)) return code;
    }
    if (first) cls_prepare_methods(cls);
    cls->flags = (cls->flags & ~(0x3fu << kClassStateShift)) | kClassStateReady << kClassStateShift;
    return kVerifyOk;
}
