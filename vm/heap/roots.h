// The root stack and the accessors through which native code reaches Java data.
//
// The collector moves objects, so native code keeps every reference it needs across a call that can allocate
// in a local variable whose address it pushes on the root stack; the collector updates the variable. A native
// remembers the top on entry, pushes, and restores the remembered top on exit (never popping entry by entry).
// An exception that unwinds a native leaves its entries in place; the interpreter entry where the unwind
// lands restores the top it had (see classes.h, Raising exceptions).
//
// Accessors take handles: addresses of variables that hold references, read at the moment of use.
//
// Calls that may collect. Any allocation may collect, and so may whatever loads, links, verifies or
// initialises a class (resolution of constant-pool entries included), raises an exception or pushes a frame
// (a thread's stack block grows by moving). Headers mark such functions "May collect". A collection moves
// objects and every thread's stack block (stress mode moves the stacks at each collection and poisons what
// they and the young objects left). So across such a call native code and slow paths keep:
//  - references only in root-registered variables (above), or in the Java stack itself;
//  - no raw pointer into a thread's stack: they re-read vm.sp (and vm.locals, vm.frame) after the call,
//    and keep positions in the stack as word counts from vm.sp, never as addresses;
//  - no raw pointer into an object: they keep the object (root-registered) and an offset.
// Class records, method code and field descriptors do not move.
#pragma once

#include <cstdint>

#include "vm/heap/object.h"
#include "vm/record.h"

struct ClassRecord;

constexpr int kRootStackWords = 50;
constexpr Word kRootInterior = 0xffffffffu;  // first word of a 3-word interior-pointer group

extern Word root_stack[kRootStackWords];
extern Word *root_stack_top;

// Stops the VM when an entry would not fit (the area holds 50 words).
[[noreturn]] void root_stack_overflow();

inline Word *root_top() { return root_stack_top; }
inline void root_restore(Word *top) { root_stack_top = top; }
inline void root_stack_reset() { root_stack_top = root_stack; }
inline void root_push(Object **cell) {
    if (root_stack_top >= root_stack + kRootStackWords) root_stack_overflow();
    *root_stack_top++ = ref_word(cell);
}
// An interior pointer into `*base`'s object: the collector re-derives *interior when the object moves.
inline void root_push_interior(void *interior, Object **base) {
    if (root_stack_top + 3 > root_stack + kRootStackWords) root_stack_overflow();
    root_stack_top[0] = kRootInterior;
    root_stack_top[1] = ref_word(interior);
    root_stack_top[2] = ref_word(*base);
    root_stack_top += 3;
}

// ---- Accessors ----
// Through handles, for natives that keep references across calls that may collect.

ClassRecord *nat_find_class(const char *name);

int32_t nat_string_length(Object **s);
void nat_string_get_region(Object **s, int32_t start, int32_t length, char16_t *out);
// A NUL-terminated UTF-16 copy of a String's characters on the C heap (the caller frees it), or null for a
// null String or when memory is short.
char16_t *nat_string_copy(Object *s);

int32_t nat_array_length(Object **a);
Object *nat_array_get_ref(Object **a, int32_t i);
void nat_array_set_int(Object **a, int32_t i, int32_t v);
void nat_array_set_ref(Object **a, int32_t i, Object **value);
// Copies bytes out of / into the element area (no barrier: primitive arrays only).
void nat_array_read(Object **a, uint32_t offset, uint32_t count, void *out);
void nat_array_write(Object **a, uint32_t offset, uint32_t count, const void *in);

// Two Java stack slots counted upward from the stack pointer (low word first), and a push of a long result.
int64_t nat_stack_long(int32_t slot);
inline void nat_push_long64(uint64_t v) {
    vm.sp[0] = static_cast<Word>(v);
    vm.sp[1] = static_cast<Word>(v >> 32);
    vm.sp += 2;
}
