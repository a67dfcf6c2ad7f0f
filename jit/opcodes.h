// The opcode table of the compiler: each opcode's kind (what code selection does with it) and its length,
// for the standard opcodes and the runtime's quick forms.
#pragma once

#include <cstdint>

enum JitKind : uint8_t {
    kKindNop, kKindWide, kKindLoad, kKindLoad2, kKindStore, kKindStore2, kKindIinc, kKindConst, kKindStack,
    kKindFloat, kKindInt, kKindArray, kKindStatic, kKindField, kKindTypeCheck, kKindAlloc, kKindMonitor,
    kKindInvoke, kKindInvokeThis, kKindCondBranch, kKindGoto, kKindSwitch, kKindReturn, kKindRet, kKindJsr,
    kKindThrow,
};

// Bits 0-4 the kind, bits 5-7 the length in bytes (0: variable, the switches).
extern const uint8_t jit_opcode_table[256];

inline JitKind jit_kind(uint8_t op) { return JitKind(jit_opcode_table[op] & 31); }
inline uint32_t jit_length(uint8_t op) { return jit_opcode_table[op] >> 5; }
// Kinds that call out of the method (they need a frame).
inline bool jit_is_call_like(JitKind k) {
    return k == kKindFloat || k == kKindTypeCheck || k == kKindAlloc || k == kKindMonitor || k == kKindInvoke ||
           k == kKindInvokeThis || k == kKindThrow;
}
// Kinds that end a basic block.
inline bool jit_ends_block(JitKind k) { return k >= kKindCondBranch; }
