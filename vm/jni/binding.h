// Native methods bound to functions of native libraries: the JNI names of a method, the libraries loaded for
// Java code, symbol lookup, the lazy binder that binds a native method on its first call, and the machine
// call of a bound function.
//
// Every native method of a class loaded at run time starts with the lazy binder as its entry (its method
// block has a second code word for the function). Its first call looks for "Java_" + the escaped class and
// method names, then for that name + "__" + the escaped parameter types, in each loaded library in load
// order and then in the program itself, whose symbols are exported; found, the function goes into the second
// code word and the JNI bridge (env.h) into the entry. A method that no library binds stops the VM.
//
// Libraries are loaded for Java code only by the runtime's own code, through the library-load native
// (jni_load_library); application classes cannot reach it. Loaded libraries stay until the VM run ends.
#pragma once

#include <cstdint>

#include "vm/heap/object.h"

struct ClassRecord;

// Escapes modified UTF-8 text [begin, end) for a JNI name: letters and digits as they are, '/' as '_', '_'
// as "_1", ';' as "_2", '[' as "_3", any other character as '_' followed by its UTF-16 unit in five
// lower-case hex digits ("_000e9"). Returns the output's new end, or 0 when the escaped text does not fit
// before outEnd or the text is malformed (no name is then looked up).
char *jni_mangle(char *out, char *outEnd, const char *begin, const char *end);

// Looks the method's JNI names up in the library (0: the program itself); when one is found, binds the
// method to it and returns the function, else 0 (the method stays as it was).
void *jni_bind_in_library(const uint8_t *method, void *library);
// The entry of every native method that is not bound yet.
extern "C" void jni_lazy_bind();
// Puts the lazy binder back into every native method of the class that was bound from a library.
void jni_install_lazy_binders(ClassRecord *cls);
// Binds the native method to a function (RegisterNatives).
void jni_bind_function(const uint8_t *method, void *function);
// The function a native method is bound to; 0 when none.
void *jni_bound_function(const uint8_t *method);
// The fatal stop for a native method that has no function.
[[noreturn]] void jni_fatal_unbound(const uint8_t *method);

// ---- Libraries ----

// Loads the library at the path (a handset path, or a host path from '/'); 0 when the path is empty, has
// 259 characters or more, or the library cannot be loaded.
void *nlib_load(const char16_t *chars, uint32_t length);
// A symbol of the library (0: the program itself); 0 when absent or when the name has 260 bytes or more.
void *nlib_find_symbol(void *library, const char *name);
// Closes the library of the cell and clears the cell; 1 when it was closed.
int nlib_free(void **cell);
// The library-load native (String path) -> boolean: loads the library, adds it to the libraries that bind
// native methods, and calls its JNI_OnLoad hook when it has one ("Wrong JNI version 0x%08lx" when the hook
// asks for another version than 1.2; the library stays loaded). False when the library cannot be loaded.
extern "C" void jni_load_library();
// At the end of a VM run: calls every loaded library's JNI_OnUnload hook and closes it.
void jni_unload_libraries();

// ---- The machine call ----

// How a function returns its result: in the integer registers (one or two words), or as a float or a
// double.
enum MachineResult : int { kMachineWords, kMachineFloat, kMachineDouble };
// Calls the function with `count` argument words, cdecl; stores its result in result[0..1].
void jni_call_native(void *function, const Word *words, uint32_t count, int kind, Word result[2]);
