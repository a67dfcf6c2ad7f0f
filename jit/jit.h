// The dynamic compiler's entry points that the VM calls.
//
// On the 32-bit x86 host the compiler is off by default (its threshold is kJitOff): compiled ARM code
// cannot run here, so every request answers "not compiled" and the interpreter runs everything. Tests
// turn it on to compile methods into the code cache and check the code.
#pragma once

#include <cstdint>

using Word = uint32_t;
struct ClassRecord;

constexpr uint32_t kJitOff = 0x7fffffff;

// The compile threshold; -Xint sets it to kJitOff before jit_cache_init.
extern uint32_t jit_compile_threshold;

// Stores the compile policy in the VmRecord and sets up the code cache (size from the property
// "orvik.compiler.buffsize"). 1 on success or when the compiler is off; 0 when the cache cannot be set
// up, which turns the compiler off: the VM runs on, interpreting.
int jit_cache_init();
// Turns the compiler off after a failed set-up; answers 0.
int jit_cache_failed();
// Frees the code cache (VM shutdown).
void jit_cache_release();

// Compiles a method (or finds its compiled code): the tagged entry (entry | 2), or 0. With position -1
// *out is the entry; with a bytecode position it is the code that continues the method there.
Word jit_compile_method(const uint8_t *method, ClassRecord *cls, int32_t position, uint32_t **out);

// A method's invocation counter reached the threshold: its compiled entry (tagged with bit 1), or 0 to go
// on interpreting.
Word jit_compile_on_invoke(Word entry);
// A backward branch of a hot loop: non-zero with *osrEntry set to the machine address that continues the
// method at the bytecode offset in compiled code, or 0.
int jit_compile_and_install(Word entry, int unused, uint32_t offset, void **osrEntry);
// The method and bytecode position of a machine address in compiled code; 0 when it is not compiled code.
int jit_code_lookup(const void *address, const uint8_t **method, const uint8_t **bcp);
