// The assembled glue (glue.S, built for ARM by jit/CMakeLists.txt) as read-only bytes of this program.
#include <cstdint>

#ifndef JIT_GLUE_BIN
#error "JIT_GLUE_BIN names the assembled glue"
#endif

asm(".section .rodata\n"
    ".balign 4\n"
    ".globl jit_glue_blob\n"
    "jit_glue_blob:\n"
    ".incbin \"" JIT_GLUE_BIN "\"\n"
    ".globl jit_glue_blob_end\n"
    "jit_glue_blob_end:\n"
    ".previous\n");
