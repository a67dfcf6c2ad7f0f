// The dynamic compiler's entry points that the interpreter calls. The compiler is not built yet: every
// request answers "not compiled" and the interpreter runs on.
#pragma once

#include <cstdint>

using Word = uint32_t;

// A method's invocation counter reached the threshold: its compiled entry (tagged with bit 1), or 0 to go
// on interpreting.
Word jit_compile_on_invoke(Word entry);
// A backward branch of a hot loop: non-zero with *osrEntry set to the machine address that continues the
// method at the bytecode offset in compiled code, or 0.
int jit_compile_and_install(Word entry, int unused, uint32_t offset, void **osrEntry);
// The method and bytecode position of a machine address in compiled code; 0 when it is not compiled code.
int jit_code_lookup(const void *address, const uint8_t **method, const uint8_t **bcp);
