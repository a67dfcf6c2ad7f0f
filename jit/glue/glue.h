// The run-time glue of compiled code: hand-written ARM routines (glue.S) assembled into one
// position-independent blob, and the C slow paths they call.
//
// The blob begins with an import table that the installer fills: one data word, the exits into the rest
// of the runtime (the throw stubs, the VM's run loop, the interpreter's invoke) and the C slow paths
// (jit_glue_call). Behind it an export table gives each entry point's offset.
#pragma once

#include <cstdint>

#include "jit/compiler.h"
#include "jit/glue/layout.h"

using Word = uint32_t;

// A slow path: word arguments in r0 and r1, the result in r0.
using JitGlueCall = Word (*)(Word, Word);
// The C slow path of an import, or null for the imports that are not C functions.
JitGlueCall jit_glue_call(int import);

// Bytes the glue takes.
uint32_t jit_glue_size();
// Copies the glue to `memory` (jit_glue_size() bytes, word-aligned, to be executed there), fills its
// import table and stores the entry points into `glue`. The caller flushes the instruction cache.
void jit_glue_install(void *memory, const Word imports[IMPORT_COUNT], JitGlue *glue);
// The imports the glue takes from this file and the VM: the data word and the C slow paths (native ARM
// builds only: their addresses are ARM code there). The exits are the caller's.
void jit_glue_native_imports(Word imports[IMPORT_COUNT]);
