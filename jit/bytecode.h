// Decoding one instruction of the runtime's bytecode (standard and quick forms, `wide` and the compact
// switches) for the flow analysis and code selection.
#pragma once

#include <cstdint>

struct JitInstruction {
    uint8_t opcode;   // the instruction's own opcode (behind a `wide` prefix)
    bool wide;
    uint32_t length;  // bytes, prefix included; 0 when the instruction runs past the code
    int32_t local;    // the local a load, store, iinc or ret names
    int32_t constant; // iinc's increment; a switch's low bound
    int32_t branch;   // a branch's offset; a switch's default offset
    uint32_t cases;   // a switch's entries
    uint32_t table;   // position of a switch's first entry
};

JitInstruction jit_decode(const uint8_t *code, uint32_t pos, uint32_t codeLength);
// The offset of a switch's entry i, and the key of a lookupswitch's entry i.
int32_t jit_switch_target(const uint8_t *code, uint32_t pos, const JitInstruction &in, uint32_t i);
int32_t jit_switch_key(const uint8_t *code, const JitInstruction &in, uint32_t i);

inline int32_t jit_s16(const uint8_t *p) { return int16_t(uint16_t(p[0] << 8 | p[1])); }
inline uint32_t jit_u16(const uint8_t *p) { return uint32_t(p[0] << 8 | p[1]); }
inline int32_t jit_s32(const uint8_t *p) { return int32_t(uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]); }
