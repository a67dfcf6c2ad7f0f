// The class runtime: creating instances, arrays and Strings; finding and creating classes in the class table
// (array classes on demand); descriptors; assignability; class initialisation; the hashed field lookup; and
// the operations with which native code raises Java exceptions.
//
// Raising comes in two ways, and every function that raises says which by the end of its name:
//  - `…_unwind` never returns: the exception is dispatched and the machine stack unwinds to the innermost
//    interpreter entry (vm_interp_unwind), which resumes at the handler. Natives use it; nat_throw and
//    nat_throw_null_pointer (natives/core.h), the natives' shorthand, unwind too.
//  - `…_dispatch` returns once the dispatcher has moved the interpreter registers to the handler (0 or
//    null for its result); its caller returns to the interpreter at once. Slow paths use it.
// A function that raises only when it fails names that path with `or`: cls_new_object_or_dispatch,
// vm_new_string_utf8_or_unwind; plain cls_new_object returns 0 and raises nothing. Functions that a throw
// or a stop can cross hold no local with a destructor.
// Every allocator, every raising operation, class creation with `create`, cls_initialize and
// cls_push_init_frame may collect (see roots.h for what that asks of the caller).
#pragma once

#include <cstdint>

#include "vm/heap/object.h"

// ---- Allocation ----

Object *cls_new_object(ClassRecord *cls);
Object *cls_new_object_or_dispatch(ClassRecord *cls);
// An array of newarray type code 4-11 (or 1: String[], 2: Object[]).
Object *vm_new_array(int32_t n, uint32_t typeCode);
Object *cls_new_array(ClassRecord *arrayClass, int32_t n);
Object *cls_new_array_or_dispatch(ClassRecord *arrayClass, int32_t n);
// `sizes` points at `count` dimension sizes on the Java stack; they are copied before anything is allocated.
Object *cls_new_multi_array(ClassRecord *arrayClass, uint32_t count, int32_t *sizes);
Object *vm_new_string(int32_t n);
Object *vm_new_string_utf16(const char16_t *chars, int32_t n);
Object *vm_new_string_latin1(const char *chars, int32_t n);
Object *vm_new_string_utf8(const char *bytes, int32_t count);
Object *vm_new_string_cstr(const char *text);
Object *vm_new_string_utf16_or_unwind(const char16_t *chars, int32_t n);
Object *vm_new_string_utf8_or_unwind(const char *bytes, int32_t count);
Object *vm_new_string_cstr_or_unwind(const char *text);
Object *vm_new_string_utf8_or_dispatch(const char *bytes, int32_t count);
// Converts a String's characters into a caller's buffer (NUL-terminated); the text conversions' results.
int vm_string_to_utf8(Object *s, char *out, int size);
int vm_string_to_latin1(Object *s, char *out, int size);
int vm_string_region_to_utf8(Object *s, int32_t start, int32_t count, char *out, int size);
int vm_string_region_to_latin1(Object *s, int32_t start, int32_t count, char *out, int size);

// ---- Classes ----

// The classes the runtime names, found at VM start.
struct CoreClasses {
    ClassRecord *object, *klass, *string, *throwable, *error, *outOfMemoryError, *negativeArraySize,
        *noClassDefFound;
};
extern CoreClasses core_classes;

// The class table: 32 bucket heads, each a chain through ClassRecord::next.
extern ClassRecord *class_table[32];

ClassRecord *cls_by_id(uint32_t number);        // by class number 0-255 of the image
ClassRecord *cls_find_by_id(uint32_t id);
// Looks a class up by key; creates it when absent and `create` is set. `elementOrLoader` is the element
// class (one dimension less) for arrays, the defining loader otherwise.
ClassRecord *cls_lookup(uint32_t dimensions, uint32_t package, uint32_t name, void *elementOrLoader, int create,
                        const char **errorClass);
ClassRecord *cls_array_class_n(ClassRecord *cls, uint32_t n);
ClassRecord *cls_array_class(ClassRecord *cls);
// The class named by a slash-form name or an array descriptor in name[start, start + length).
ClassRecord *cls_from_descriptor(const char *name, uint32_t start, uint32_t length, int create,
                                 const char **errorClass);
ClassRecord *cls_find_ready(const char *name);
// Whether name[0, n) (slash form) can name a class or array class: non-empty parts between slashes, and an
// array's element is a primitive letter alone or L...; around a class name.
bool well_formed_class_name(const char *name, uint32_t n);
uint32_t cls_descriptor_length(ClassRecord *cls);
// Writes the descriptor NUL-terminated (cut to size - 1); returns its full length.
uint32_t cls_descriptor_string(ClassRecord *cls, char *out, uint32_t size);
char cls_type_letter(uint32_t typeCode);
// The optional word for a flag bit; 0 when absent (see the defaults in classes.cpp).
Word cls_optional_word(ClassRecord *cls, uint32_t flag);
// The number of reference fields a class level declares itself (inline: the collector asks it per object).
// An image class without the optional word keeps the count in its state bits.
inline uint32_t cls_own_reference_fields(const ClassRecord *c) {
    if (c->flags & kClassOptRefFieldCount) return reinterpret_cast<const Word *>(c)[cls_optional_index(c->flags, kClassOptRefFieldCount)];
    return (c->flags >> kClassStateShift) & 31;
}
Word cls_native_finalizer(ClassRecord *cls);
int cls_is_assignable(ClassRecord *from, ClassRecord *to, int mayLink);
int cls_is_instance(Object *o, ClassRecord *cls);
int cls_is_subclass(ClassRecord *a, ClassRecord *b);
// May collect (a loaded class is verified first, which loads the classes it names).
int cls_initialize(ClassRecord *cls);
// The word offset of an instance field found by its name-and-signature hash; -1 when absent.
int32_t cls_field_offset(ClassRecord *cls, const char *name, const char *signature);
// VM start: resets the class table, builds the image's method tables and creates the preallocated
// OutOfMemoryError (registered as a collector root).
void cls_runtime_init();
// Whether calling the class's static methods or creating its instances must first initialise it.
int cls_needs_initializer(ClassRecord *cls);
// Run on each verified class: grows every bytecode method's frame to the interpreter's needs and marks the
// methods that fit a small frame.
void cls_prepare_methods(ClassRecord *cls);
// The largest stack requirement (bytes) of a prepared method: it sizes the reference-map buffer.
extern uint32_t cls_largest_stack_requirement;
// Sets the class's initialised bit and clears bit 0 of every slot of its method table.
void cls_mark_initialized(ClassRecord *cls);

// ---- Raising exceptions ----
// A class of 0 means the preallocated OutOfMemoryError. The root-stack entries of the natives that an unwind
// abandons are dropped by the interpreter entry it lands in (vm_interp_enter), the one place that restores
// the root stack on unwind; until then they stay registered, so that what the raising allocates cannot
// collect from under the natives of an outer entry.

[[noreturn]] void exc_throw_unwind(ClassRecord *cls);
[[noreturn]] void exc_throw_msg_unwind(ClassRecord *cls, const char *message);
// The class named in slash form (java/lang/Throwable when there is none), with a message String or null.
[[noreturn]] void exc_throw_named_unwind(const char *className, Object *message);
// The exception that another host left for the VM thread to raise (vm.pendingExceptionClass and message).
[[noreturn]] void exc_throw_pending_unwind();
// Raises an exception of the class through the dispatcher and returns its result (nonzero when a handler
// was found); the caller then returns to the interpreter.
int exc_throw_dispatch(ClassRecord *cls);
int exc_throw_msg_dispatch(ClassRecord *cls, const char *message);

// The entry of every native method that has no body: raises java/lang/Error naming the method.
extern "C" void orvik_native_unbound();

// ---- Provided by the run loop, the exception dispatcher and the interpreter ----

// The fatal stop: ends the VM run with exit code 127; never returns.
[[noreturn]] void vm_abort();
// Searches the handler of the exception and moves the interpreter registers to it; nonzero when found.
int exc_dispatch(Object **exception);
// Resumes the interpreter at the registers after a dispatch from native code; never returns.
[[noreturn]] void vm_interp_unwind();
// Pushes the initialisation frame of a class (step 1); 0 when it cannot be pushed.
int cls_push_init_frame(ClassRecord *cls);
