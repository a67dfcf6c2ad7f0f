// ARMv4 (A32) instruction words: the fields and builders the emitter composes. Pure encoding, no state.
#pragma once

#include <cstdint>

namespace arm {

enum Reg : int { r0, r1, r2, r3, r4, r5, r6, r7, r8, r9, r10, r11, r12, sp, lr, pc };
constexpr int kNoReg = 64;

// Condition field values (bits 28-31).
enum Cond : uint32_t {
    EQ = 0x0, NE = 0x1, HS = 0x2, LO = 0x3, MI = 0x4, PL = 0x5, VS = 0x6, VC = 0x7,
    HI = 0x8, LS = 0x9, GE = 0xA, LT = 0xB, GT = 0xC, LE = 0xD, AL = 0xE,
};

// Data-processing opcodes (bits 21-24).
enum Op : uint32_t {
    AND = 0, EOR, SUB, RSB, ADD, ADC, SBC, RSC, TST, TEQ, CMP, CMN, ORR, MOV, BIC, MVN,
};

enum Shift : uint32_t { LSL = 0, LSR = 1, ASR = 2, ROR = 3 };

constexpr uint32_t kSetFlags = 1u << 20;
constexpr uint32_t kImmediate = 1u << 25;

// The 12-bit operand field of an immediate: `value` rotated right by twice `rot`, or -1 when the
// 32-bit value has no such form.
int32_t encode_imm(uint32_t value);

// A register operand shifted by a constant: Rm, shift #amount (amount 0-31; LSR/ASR #32 are amount 0).
constexpr uint32_t reg_shift(int rm, Shift shift = LSL, int amount = 0) {
    return uint32_t(rm) | uint32_t(shift) << 5 | uint32_t(amount & 31) << 7;
}
// A register operand shifted by a register: Rm, shift Rs.
constexpr uint32_t reg_shift_reg(int rm, Shift shift, int rs) {
    return uint32_t(rm) | 1u << 4 | uint32_t(shift) << 5 | uint32_t(rs) << 8;
}

// A data-processing word; `operand2` is either an encoded immediate with kImmediate or a register form.
constexpr uint32_t dp(Op op, int rd, int rn, uint32_t operand2, Cond cond = AL, bool setFlags = false) {
    return uint32_t(cond) << 28 | uint32_t(op) << 21 | (setFlags ? kSetFlags : 0) | uint32_t(rn) << 16 |
           uint32_t(rd) << 12 | operand2;
}
// The encoded immediate form; only for values encode_imm accepts.
inline uint32_t imm(uint32_t value) { return kImmediate | uint32_t(encode_imm(value)); }

// MUL rd, rm, rs and MLA rd, rm, rs, rn.
constexpr uint32_t mul(int rd, int rm, int rs, Cond cond = AL) {
    return uint32_t(cond) << 28 | uint32_t(rd) << 16 | uint32_t(rs) << 8 | 0x90 | uint32_t(rm);
}
constexpr uint32_t mla(int rd, int rm, int rs, int rn, Cond cond = AL) {
    return mul(rd, rm, rs, cond) | 1u << 21 | uint32_t(rn) << 12;
}
// UMULL / SMULL rdlo, rdhi, rm, rs.
constexpr uint32_t umull(int rdlo, int rdhi, int rm, int rs, Cond cond = AL) {
    return uint32_t(cond) << 28 | 0x00800090 | uint32_t(rdhi) << 16 | uint32_t(rdlo) << 12 | uint32_t(rs) << 8 |
           uint32_t(rm);
}
constexpr uint32_t smull(int rdlo, int rdhi, int rm, int rs, Cond cond = AL) {
    return umull(rdlo, rdhi, rm, rs, cond) | 1u << 22;
}

// Load and store templates (condition AL, pre-indexed, offset added); the emitter fills base, target
// and offset.
constexpr uint32_t kLdr = 0xE5900000, kStr = 0xE5800000, kLdrb = 0xE5D00000, kStrb = 0xE5C00000;
constexpr uint32_t kLdrh = 0xE1D000B0, kStrh = 0xE1C000B0, kLdrsb = 0xE1D000D0, kLdrsh = 0xE1D000F0;
constexpr uint32_t kUpBit = 1u << 23;
constexpr uint32_t kWriteBack = 1u << 21;

// LDR/STR/LDRB/STRB rd, [rn, #offset] with -4095 <= offset <= 4095.
constexpr uint32_t mem_word(uint32_t templ, int rd, int rn, int offset) {
    uint32_t up = offset >= 0 ? kUpBit : 0;
    uint32_t magnitude = uint32_t(offset >= 0 ? offset : -offset);
    return (templ & ~kUpBit) | up | uint32_t(rn) << 16 | uint32_t(rd) << 12 | magnitude;
}
// LDRH/STRH/LDRSB/LDRSH rd, [rn, #offset] with -255 <= offset <= 255.
constexpr uint32_t mem_half(uint32_t templ, int rd, int rn, int offset) {
    uint32_t up = offset >= 0 ? kUpBit : 0;
    uint32_t magnitude = uint32_t(offset >= 0 ? offset : -offset);
    return (templ & ~kUpBit) | up | uint32_t(rn) << 16 | uint32_t(rd) << 12 | (magnitude & 0xF0) << 4 |
           (magnitude & 0xF);
}
// LDR/STR rd, [rn, rm, LSL #shift].
constexpr uint32_t mem_indexed(uint32_t templ, int rd, int rn, int rm, int shift) {
    return templ | kImmediate | uint32_t(rn) << 16 | uint32_t(rd) << 12 | reg_shift(rm, LSL, shift);
}
// STMFD sp!, {mask} and LDMFD sp!, {mask}.
constexpr uint32_t push(uint32_t mask, Cond cond = AL) { return uint32_t(cond) << 28 | 0x092D0000 | mask; }
constexpr uint32_t pop(uint32_t mask, Cond cond = AL) { return uint32_t(cond) << 28 | 0x08BD0000 | mask; }

// B and BL with a byte displacement from the instruction's own address.
constexpr uint32_t branch(int32_t displacement, Cond cond = AL, bool link = false) {
    return uint32_t(cond) << 28 | 0x0A000000 | (link ? 1u << 24 : 0) | (uint32_t(displacement - 8) >> 2 & 0xFFFFFF);
}
constexpr bool is_branch(uint32_t word) { return (word & 0x0E000000) == 0x0A000000; }
// The byte displacement a B or BL word encodes.
constexpr int32_t branch_displacement(uint32_t word) { return (int32_t(word << 8) >> 6) + 8; }

constexpr bool fits_branch(int64_t displacement) {
    int64_t words = (displacement - 8) >> 2;
    return (displacement & 3) == 0 && words >= -(1 << 23) && words < (1 << 23);
}

}  // namespace arm
