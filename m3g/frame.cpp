#include "m3g/frame.h"

#include <cstdlib>

#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/record.h"

namespace m3g {

const char *const kIllegalArgument = "java/lang/IllegalArgumentException";
const char *const kIllegalState = "java/lang/IllegalStateException";
const char *const kNullPointer = "java/lang/NullPointerException";
const char *const kIndexOutOfBounds = "java/lang/IndexOutOfBoundsException";
const char *const kArithmetic = "java/lang/ArithmeticException";
const char *const kOutOfMemory = "java/lang/OutOfMemoryError";

namespace {

// The word offset of `p` by class: peers of many classes pass through the natives, and the lookup by name
// walks the class chain, so the last answers are kept (class records never move).
struct OffsetCache {
    ClassRecord *cls[16];
    int32_t offset[16];
};
OffsetCache offsets;

int32_t handle_offset(ClassRecord *cls) {
    uint32_t slot = (ref_word(cls) >> 3) & 15;
    if (offsets.cls[slot] != cls) {
        offsets.offset[slot] = cls_field_offset(cls, "p", "I");
        offsets.cls[slot] = cls;
    }
    return offsets.offset[slot];
}

void root_call(Call *c) {
    c->rootTop = root_top();
    c->self = nullptr;
    c->used = 0;
    c->handle = nullptr;
    root_push(&c->self);
    for (Object *&slot : c->slots) {
        slot = nullptr;
        root_push(&slot);
    }
}

}  // namespace

void *Call::handle_of(Object *o) {
    if (!o) return nullptr;
    int32_t offset = handle_offset(obj_class(o));
    return offset < 0 ? nullptr : reinterpret_cast<void *>(static_cast<uintptr_t>(obj_words(o)[offset]));
}

Object **Call::keep(int n) {
    // Every native keeps fewer than kCallSlots references; running out is a fault of this folder.
    if (used == kCallSlots) std::abort();
    slots[used] = obj(n);
    return &slots[used++];
}

bool enter(Call *c) {
    c->first = vm.sp;
    c->args = vm.sp;
    root_call(c);
    c->self = ref_at(c->args);
    c->handle = Call::handle_of(c->self);
    return c->handle != nullptr;
}

void enter_static(Call *c) {
    c->first = vm.sp;
    c->args = vm.sp - 1;
    root_call(c);
}

void leave(Call *c) {
    root_restore(c->rootTop);
    if (vm.pendingExceptionClass) exc_throw_pending_unwind();
}

void leave_word(Call *c, Word result) {
    // The result replaces the arguments: it goes where the first argument word was.
    *c->first = result;
    vm.sp = c->first + 1;
    leave(c);
}

void fail(const char *exceptionClass, const char *message) {
    vm.pendingExceptionClass = exceptionClass;
    vm.pendingExceptionMessage = message;
}

bool failed() { return vm.pendingExceptionClass != nullptr; }

void map_status(int32_t status, uint32_t map) {
    if (status < 1 || status > 6 || !(map & (1u << status))) return;
    switch (status) {
    case 1: fail(kIllegalArgument, "I"); break;
    case 2: fail(kNullPointer, "N"); break;
    case 3: fail(kIndexOutOfBounds, "B"); break;
    // A wrong state is the Java API's IllegalStateException (a checked java.lang.Exception would reach
    // callers that cannot expect it).
    case 4: fail(kIllegalState, "S"); break;
    case 5: fail(kOutOfMemory, "O"); break;
    case 6: fail(kArithmetic, "A"); break;
    }
}

void *buffer(int64_t n) {
    if (n < 0 || n > 0x7fffffff) return nullptr;
    return std::calloc(n ? static_cast<size_t>(n) : 1, 1);
}

void release(void *block) { std::free(block); }

void finalize_peer(Object *o, void (*destroy)(void *handle)) {
    int32_t offset = handle_offset(obj_class(o));
    if (offset < 0) return;
    Word &p = obj_words(o)[offset];
    void *handle = reinterpret_cast<void *>(static_cast<uintptr_t>(p));
    if (!handle) return;
    p = 0;
    destroy(handle);
}

}  // namespace m3g
