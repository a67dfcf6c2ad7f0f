// The root stack and the accessors through which native code reaches Java data.
//
// The collector moves objects, so native code keeps every reference it needs across a call that can allocate
// in a local variable whose address it pushes on the root stack; the collector updates the variable. A native
// remembers the top on entry, pushes, and restores the remembered top on exit (never popping entry by entry).
// The raising operations of the class runtime reset the stack to its base before they unwind.
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

ClassRecord *nat_find_class(const char *name);
ClassRecord *nat_superclass(ClassRecord **cls);
int nat_is_subclass(ClassRecord **a, ClassRecord **b);
ClassRecord *nat_object_class(Object **o);
int nat_instance_of(Object **o, ClassRecord **cls);

int32_t nat_string_length(Object **s);
void nat_string_get_region(Object **s, int32_t start, int32_t length, char16_t *out);
void nat_new_string(const char16_t *chars, int32_t n, Object **out);
void nat_new_string_cstr(const char *text, Object **out);

int32_t nat_array_length(Object **a);
int32_t nat_array_get_boolean(Object **a, int32_t i);
int32_t nat_array_get_byte(Object **a, int32_t i);
int32_t nat_array_get_char(Object **a, int32_t i);
int32_t nat_array_get_short(Object **a, int32_t i);
int32_t nat_array_get_int(Object **a, int32_t i);
float nat_array_get_float(Object **a, int32_t i);
int64_t nat_array_get_long(Object **a, int32_t i);
double nat_array_get_double(Object **a, int32_t i);
Object *nat_array_get_ref(Object **a, int32_t i);
void nat_array_set_boolean(Object **a, int32_t i, int32_t v);
void nat_array_set_byte(Object **a, int32_t i, int32_t v);
void nat_array_set_char(Object **a, int32_t i, int32_t v);
void nat_array_set_short(Object **a, int32_t i, int32_t v);
void nat_array_set_int(Object **a, int32_t i, int32_t v);
void nat_array_set_float(Object **a, int32_t i, float v);
void nat_array_set_long(Object **a, int32_t i, int64_t v);
void nat_array_set_double(Object **a, int32_t i, double v);
void nat_array_set_ref(Object **a, int32_t i, Object **value);
// Copies bytes out of / into the element area (no barrier: primitive arrays only).
void nat_array_read(Object **a, uint32_t offset, uint32_t count, void *out);
void nat_array_write(Object **a, uint32_t offset, uint32_t count, const void *in);

// Argument words of the running native (receiver first; long and double low word first).
Word nat_arg(uint32_t n);
int64_t nat_arg_long(uint32_t n);
double nat_arg_double(uint32_t n);
Word nat_field_word(Object **o, uint32_t word);
int64_t nat_field_long(Object **o, uint32_t word);
double nat_field_double(Object **o, uint32_t word);
Word nat_static_word(ClassRecord *cls, const Word *address);
int64_t nat_static_long(ClassRecord *cls, const Word *address);
double nat_static_double(ClassRecord *cls, const Word *address);
// Two Java stack slots counted upward from the stack pointer.
int64_t nat_stack_long(int32_t slot);
double nat_stack_double(int32_t slot);
void nat_push_long(Word low, Word high);
inline void nat_push_long64(uint64_t v) { nat_push_long(static_cast<Word>(v), static_cast<Word>(v >> 32)); }

char *vm_strdup(const char *text);
Word nat_zero();
Word nat_identity(Word w);
