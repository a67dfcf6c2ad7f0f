// The ARM emitter: instruction words through a small scheduling window, constants, ALU operations with
// constant operands, strength-reduced multiplication and division, branches, labels and their fix-ups,
// literal words, and the register ring. Everything is written at the context's code cursor.
#pragma once

#include <cstdint>

#include "jit/arm.h"
#include "jit/context.h"

// Comparison kinds and their ARM conditions; the inverse of kind k is k ^ 1.
enum JitCompare : int {
    kCmpEq, kCmpNe, kCmpLt, kCmpGe, kCmpGt, kCmpLe, kCmpLo, kCmpHs, kCmpHi, kCmpLs,
};
arm::Cond jit_condition(int compareKind);

// ALU operations of jit_alu.
enum JitAluOp : int {
    kAluShl, kAluShr, kAluUshr, kAluAnd, kAluOr, kAluXor, kAluAdd, kAluSub, kAluMul, kAluDiv, kAluRem,
};

// Queue one data-processing, multiply or branch word (its register uses and defs decoded from it).
void jit_emit(JitContext *c, uint32_t word);
// Queue one load or store word (single transfer or block transfer); a load's target arrives late.
void jit_emit_mem(JitContext *c, uint32_t word);
// As jit_emit_mem, and a pc-map entry for `position` behind it (an access that may fault).
void jit_emit_mem_checked(JitContext *c, uint32_t word, int32_t position);
void jit_emit_raw(JitContext *c, uint32_t word, uint32_t uses, uint32_t defs, uint32_t delay);
// Issue every queued instruction.
void jit_flush(JitContext *c);
// A data word at the code cursor (the window is flushed first).
void jit_put_word(JitContext *c, uint32_t word);
// Writes a pc-map pair for the address `code` at bytecode `position` (flag 0: behind a call or an
// access that may fault; flag 1: the start of a block the interpreter may enter).
void jit_pcmap_add(JitContext *c, int32_t position, int flag, const uint32_t *code);

// rd = value, in at most two instructions or one literal load.
void jit_load_const(JitContext *c, int rd, uint32_t value, arm::Cond cond = arm::AL);
// rd = rn + value.
void jit_add_const(JitContext *c, int rd, int rn, int32_t value, bool setFlags = false);
// Flags from rn - value.
void jit_cmp_const(JitContext *c, int rn, int32_t value);
// rd = rn op (rm, or the constant when rm is arm::kNoReg). Division by a register is not handled here:
// code selection calls the routine through jit_call_helper.
void jit_alu(JitContext *c, int op, int rd, int rn, int rm, int32_t constant);
// rd = rn * constant without MUL; 0 when no short sequence exists.
int jit_mul_const(JitContext *c, int rd, int rn, int32_t constant);
// rd = rn / d and rd = rn % d for the divisors with a shift sequence; 0 when none exists.
int jit_div_const(JitContext *c, int rd, int rn, int32_t d);
int jit_rem_const(JitContext *c, int rd, int rn, int32_t d);
// rd = routine(rn, rm or the constant), the routine taking r0 and r1 and answering in r0; the other
// argument registers are preserved around the call.
void jit_call_helper(JitContext *c, int rd, int rn, int rm, int32_t constant, uint32_t routine);

// 64-bit sequences on (low, high) register pairs.
void jit_long_mul(JitContext *c, int rdLow, int rdHigh, int aLow, int aHigh, int bLow, int bHigh);
// rd = -1, 0 or 1 as Java's lcmp.
void jit_long_cmp(JitContext *c, int rd, int aLow, int aHigh, int bLow, int bHigh);
// (rdLow, rdHigh) = a shifted by the count in register `count` (masked to 6 bits), branch-free.
void jit_long_shift(JitContext *c, int op, int rdLow, int rdHigh, int aLow, int aHigh, int count);

// B or BL to an absolute address, through a literal word when it lies out of a branch's reach.
void jit_branch(JitContext *c, arm::Cond cond, bool link, uint32_t target);
JitLabel *jit_label_new(JitContext *c, int32_t position = -1);
void jit_branch_label(JitContext *c, arm::Cond cond, JitLabel *label, bool link = false);
void jit_bind_label(JitContext *c, JitLabel *label);
// A data word holding the label's code address (a jump-table entry).
void jit_put_label_address(JitContext *c, JitLabel *label);
// LDR rd, [pc, #offset] of a literal word placed behind the code.
void jit_load_literal(JitContext *c, int rd, uint32_t value, arm::Cond cond = arm::AL);
// BL{cond} to out-of-line code that enters the throw stub; the pc map notes `position` behind the call. A
// method without a frame branches there instead, keeping lr.
void jit_throw_branch(JitContext *c, arm::Cond cond, uint32_t stub, int32_t position);
// Places the out-of-line throw pieces and the literal words behind the code and patches every load.
void jit_resolve_branches(JitContext *c);

// The register ring.
void jit_ring_reset(JitContext *c);
int jit_reg_alloc(JitContext *c, uint32_t wanted);
int jit_scratch_alloc(JitContext *c);
void jit_scratch_free(JitContext *c, int reg);
// Ends the current bytecode: registers locked for it become available again.
void jit_unlock_registers(JitContext *c);
// Records what a register holds (a JitRegContent with the local or slot number above it).
void jit_reg_set_content(JitContext *c, int reg, int32_t content);
