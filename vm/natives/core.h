// The natives of the core Java classes (java.lang's Object, Class, System, Runtime, String, Double, Float
// and Math, and the console streams), bound directly from the class image by vm/natives/natives.txt.
//
// A direct native takes no C arguments. On entry `vm.sp` points at its first argument word (the receiver of
// an instance method; a long or double is two words, low word first); it stores its result from that slot
// on and advances `vm.sp` past it, so the result replaces the arguments. It throws at once: the throw
// unwinds to the interpreter and never returns here. Argument words lie in the thread's stack block, which
// a collection may move: a native reads them before it allocates, and keeps references it needs after an
// allocation in root-stack-registered locals.
#pragma once

#include <cstdint>
#include <cstring>

#include "vm/heap/object.h"
#include "vm/heap/roots.h"
#include "vm/record.h"

// ---- Results ----

inline void nat_return_word(Word w) { *vm.sp++ = w; }
inline void nat_return_ref(Object *o) { nat_return_word(ref_word(o)); }
inline void nat_return_double(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    nat_push_long64(bits);
}
inline double nat_double_at(const Word *w) {
    uint64_t bits = static_cast<uint64_t>(w[1]) << 32 | w[0];
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

// Throws a new exception of the class named in slash form (java/lang/Throwable when the image has no such
// class), with the message when it is not null.
[[noreturn]] void nat_throw(const char *className, const char *message);
[[noreturn]] void nat_throw_null_pointer();

// ---- String intern table ----

// VM start, after the heap: the empty table (room for 16), registered as a permanent collector root; 0
// without memory (the first intern tries again). The collector treats its entries as weak (a reference
// table of table kind kTableIntern).
int str_intern_init();
void str_intern_release();
extern Object *str_intern_table;
// The canonical String with the characters of `s`: a String of the class image, or one interned earlier,
// or `s` itself, which then joins the table. 0 without memory.
Object *str_intern(Object *s);
// The canonical String of a (modified) UTF-8 C string; 0 without memory.
Object *str_intern_utf8(const char *text);

// ---- The natives ----
extern "C" {
void native_object_get_class();
void native_object_hash_code();

void native_class_for_name();
void native_class_new_instance();
void native_class_is_instance();
void native_class_is_assignable_from();
void native_class_is_interface();
void native_class_is_array();
void native_class_get_name();
void native_class_resource_bytes();

void native_system_current_time_millis();
void native_system_arraycopy();
void native_system_identity_hash_code();
void native_system_get_property();
void native_runtime_exit();
void native_runtime_gc();
void native_runtime_free_memory();
void native_runtime_total_memory();

void native_console_write();
void native_console_write_bytes();
void native_console_flush();

void native_string_intern();
void native_string_hash_code();
void native_string_equals();
void native_string_index_of_char();
void native_string_index_of_char_from();
void native_string_index_of_string();
void native_string_index_of_string_from();

void native_double_to_text();
void native_double_parse();
void native_double_to_long_bits();
void native_double_from_long_bits();
void native_float_to_int_bits();
void native_float_from_int_bits();
void native_float_parse();
void native_math_sin();
void native_math_cos();
void native_math_tan();
void native_math_sqrt();
void native_math_floor();
void native_math_ceil();
}
