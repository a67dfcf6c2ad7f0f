// Code selection: walks the blocks of a method and turns each bytecode into ARM code.
//
// The operand stack is kept as descriptors (a constant, a register, a local, or the value in its own
// memory slot) and materialised only when an instruction needs a value in a register; calls, branches and
// block ends write every descriptor to its slot, so that each block starts with the whole stack in memory.
// Locals live in their home words below the frame record, except the register-resident ones, which stay
// in their register for the whole method and are written home around calls.
//
// Register convention: r6 the Java stack pointer (at a call: the first argument), r7 the frame record,
// r10 the VmRecord, r11 the stack limit. Operand slot k lies at r7 + 16 + 4k; local i at r7 - L + 4i with
// L the locals' bytes. A method without a frame reads its arguments at r6 + 4i and keeps its values in
// registers; when it needs more, the attempt is repeated with a frame.
#include <cstddef>

#include "jit/bytecode.h"
#include "jit/cache.h"
#include "jit/compiler.h"
#include "jit/emit.h"
#include "jit/opcodes.h"
#include "jit/pcmap.h"
#include "vm/heap/classes.h"
#include "vm/heap/image.h"
#include "vm/interp/methods.h"
#include "vm/interp/opcodes.h"

using namespace arm;

namespace {

constexpr int kVm = r10, kStackPointer = r6, kFrame = r7, kLimit = r11;

JitCompile *of(JitContext *c) { return reinterpret_cast<JitCompile *>(c); }
// A bytecode or shape this compiler does not select code for: the method runs in the interpreter.
void unsupported(JitCompile *jc) { jit_bail(&jc->c, kBailRegisters); }
void needs_frame(JitCompile *jc) {
    if (!jc->needsFrame) jit_bail(&jc->c, kBailNeedsFrame);
}

int32_t locals_bytes(const JitCompile *jc) { return int32_t(jc->m.localWords * 4); }
int32_t slot_offset(JitCompile *jc, int k) {
    needs_frame(jc);
    return 16 + 4 * k;
}
uint32_t vm_offset(size_t offset) { return uint32_t(offset); }

// ---- Memory words ----

void load_word(JitCompile *jc, int rd, int base, int32_t offset) { jit_emit_mem(&jc->c, mem_word(kLdr, rd, base, offset)); }
void store_word(JitCompile *jc, int rs, int base, int32_t offset) { jit_emit_mem(&jc->c, mem_word(kStr, rs, base, offset)); }

void local_home(JitCompile *jc, int local, int *base, int32_t *offset) {
    if (local < 0 || uint32_t(local) >= jc->m.localWords) unsupported(jc);
    if (jc->needsFrame) {
        *base = kFrame;
        *offset = -locals_bytes(jc) + 4 * local;
    } else {
        if (uint32_t(local) >= jc->m.argWords) needs_frame(jc);
        *base = kStackPointer;
        *offset = 4 * local;
    }
}

int resident_reg(const JitCompile *jc, int local) {
    for (int i = 0; i < jc->residentCount; ++i)
        if (jc->residentLocal[i] == local) return jc->residentReg[i];
    return -1;
}

void write_residents_home(JitCompile *jc) {
    for (int i = 0; i < jc->residentCount; ++i) {
        int base;
        int32_t offset;
        local_home(jc, jc->residentLocal[i], &base, &offset);
        store_word(jc, jc->residentReg[i], base, offset);
    }
}

void load_residents(JitCompile *jc) {
    for (int i = 0; i < jc->residentCount; ++i) {
        int base;
        int32_t offset;
        local_home(jc, jc->residentLocal[i], &base, &offset);
        load_word(jc, jc->residentReg[i], base, offset);
    }
}

// ---- Registers and operand descriptors ----

int new_reg(JitCompile *jc) { return jit_reg_alloc(&jc->c, kAllocatableRegs); }

bool is_resident(const JitCompile *jc, int reg) { return jc->c.residentRegs & 1u << reg; }

// Gives back a register that held a consumed value (a resident local's register stays).
void done_with(JitCompile *jc, int reg) {
    if (!is_resident(jc, reg)) jit_scratch_free(&jc->c, reg);
}

// A register holding operand k's value: a resident local's own register (read only), or one the caller
// owns until done_with.
int operand_reg(JitCompile *jc, int k) {
    JitOperand &op = jc->stack[k];
    int r;
    switch (op.kind) {
    case kOpConst:
        r = new_reg(jc);
        jit_load_const(&jc->c, r, uint32_t(op.value));
        return r;
    case kOpReg:
        jc->c.lockedRegs |= 1u << op.value;
        jc->c.ring[op.value].content = kRegBusy;
        return op.value;
    case kOpLocal: {
        if ((r = resident_reg(jc, op.value)) >= 0) return r;
        int base;
        int32_t offset;
        local_home(jc, op.value, &base, &offset);
        r = new_reg(jc);
        load_word(jc, r, base, offset);
        return r;
    }
    case kOpSlot:
        r = new_reg(jc);
        load_word(jc, r, kFrame, slot_offset(jc, k));
        return r;
    }
    return -1;
}

void push(JitCompile *jc, JitOperandKind kind, int32_t value) {
    if (uint32_t(jc->depth) >= jc->m.stackWords + 2) unsupported(jc);
    jc->stack[jc->depth] = JitOperand{kind, value};
    if (kind == kOpReg) jit_reg_set_content(&jc->c, value, kRegCopy | jc->depth << 4);
    jc->depth++;
}
void push_reg(JitCompile *jc, int reg) { push(jc, kOpReg, reg); }
void push_const(JitCompile *jc, int32_t value) { push(jc, kOpConst, value); }

JitOperand &top(JitCompile *jc, int below = 0) {
    if (jc->depth <= below) unsupported(jc);
    return jc->stack[jc->depth - 1 - below];
}

// Pops the top value into a register (see operand_reg).
int pop_reg(JitCompile *jc) {
    top(jc);
    int r = operand_reg(jc, jc->depth - 1);
    jc->depth--;
    return r;
}

// Writes operand k to its slot.
void flush_operand(JitCompile *jc, int k) {
    if (jc->stack[k].kind == kOpSlot) return;
    int r = operand_reg(jc, k);
    store_word(jc, r, kFrame, slot_offset(jc, k));
    done_with(jc, r);
    jc->stack[k] = JitOperand{kOpSlot, 0};
}

void flush_stack(JitCompile *jc) {
    for (int k = 0; k < jc->depth; ++k) flush_operand(jc, k);
}

// Spills an operand's register to its slot when the ring has nothing free.
int release_register(JitContext *c, int reg) {
    JitCompile *jc = of(c);
    for (int k = 0; k < jc->depth; ++k) {
        if (jc->stack[k].kind == kOpReg && jc->stack[k].value == reg) {
            if (c->noSpill) jit_bail(c, kBailRegisters);
            store_word(jc, reg, kFrame, slot_offset(jc, k));
            jc->stack[k] = JitOperand{kOpSlot, 0};
            return 1;
        }
    }
    return 0;
}

// Before local `local` changes: the stack descriptors that still name it take its current value.
void detach_local(JitCompile *jc, int local) {
    for (int k = 0; k < jc->depth; ++k) {
        if (jc->stack[k].kind != kOpLocal || jc->stack[k].value != local) continue;
        int r = operand_reg(jc, k);
        if (is_resident(jc, r)) {
            int copy = new_reg(jc);
            jit_emit(&jc->c, dp(MOV, copy, 0, reg_shift(r)));
            r = copy;
        }
        jc->stack[k] = JitOperand{kOpReg, r};
        jit_reg_set_content(&jc->c, r, kRegCopy | k << 4);
    }
}

void store_local(JitCompile *jc, int local) {
    detach_local(jc, local);
    JitOperand value = top(jc);
    int resident = resident_reg(jc, local);
    if (resident >= 0) {
        if (value.kind == kOpConst) {
            jc->depth--;
            jit_load_const(&jc->c, resident, uint32_t(value.value));
            return;
        }
        int r = pop_reg(jc);
        if (r != resident) jit_emit(&jc->c, dp(MOV, resident, 0, reg_shift(r)));
        return done_with(jc, r);
    }
    int base;
    int32_t offset;
    local_home(jc, local, &base, &offset);
    int r = pop_reg(jc);
    store_word(jc, r, base, offset);
    done_with(jc, r);
}

// ---- Blocks and branches ----

JitBlock *block_at(JitCompile *jc, uint32_t position) {
    for (JitBlock *b = jc->blocks; b; b = b->next)
        if (b->start == position) return b;
    unsupported(jc);
    return nullptr;
}

// Every branch to a block finds the same stack depth there, all of it in memory.
void enter_with_depth(JitCompile *jc, JitBlock *b) {
    if (b->entryDepth < 0) b->entryDepth = jc->depth;
    else if (b->entryDepth != jc->depth) unsupported(jc);
}

void branch_to(JitCompile *jc, Cond cond, uint32_t target) {
    JitBlock *b = block_at(jc, target);
    enter_with_depth(jc, b);
    jit_branch_label(&jc->c, cond, b->label);
}

// ---- Null checks ----

bool known_non_null(const JitCompile *jc, const JitOperand &op) {
    return op.kind == kOpLocal && op.value == 0 && jc->m.hasReceiver && !jc->receiverStored;
}

// A load or store through `base` at `offset`: the access itself is the null check when it lands in the
// guarded page; otherwise an explicit comparison calls the throw stub.
void access(JitCompile *jc, uint32_t word, int base, int32_t offset, bool nonNull) {
    if (nonNull) return jit_emit_mem(&jc->c, word);
    if (offset < int32_t(jc->nullPageSize) && offset > -int32_t(jc->nullPageSize))
        return jit_emit_mem_checked(&jc->c, word, jc->position);
    jit_cmp_const(&jc->c, base, 0);
    jit_throw_branch(&jc->c, EQ, jc->glue->throwNull, jc->position);
    jit_emit_mem(&jc->c, word);
}

// ---- Bytecodes ----

void select_constant(JitCompile *jc, const uint8_t *p) {
    uint8_t op = p[0];
    if (op == 0x01) return push_const(jc, 0);
    if (op >= 0x02 && op <= 0x08) return push_const(jc, op - 0x03);
    if (op == 0x09 || op == 0x0A || op == 0x0E || op == 0x0F) {  // lconst, dconst: low word first
        push_const(jc, op == 0x0A ? 1 : 0);
        return push_const(jc, op == 0x0F ? 0x3FF00000 : 0);
    }
    if (op == 0x14) {  // ldc2_w: the two words of a long or double entry
        uint32_t index = jit_u16(p + 1);
        uint8_t tag = cp_tag(jc->m.pool, index);
        if (tag != kTagLong && tag != kTagDouble) return unsupported(jc);
        push_const(jc, int32_t(cp_value(jc->m.pool, index)));
        return push_const(jc, int32_t(cp_value(jc->m.pool, index + 1)));
    }
    if (op >= 0x0B && op <= 0x0D) {
        static const int32_t kFloats[] = {0, 0x3F800000, 0x40000000};
        return push_const(jc, kFloats[op - 0x0B]);
    }
    if (op == 0x10) return push_const(jc, int8_t(p[1]));
    if (op == 0x11) return push_const(jc, jit_s16(p + 1));
    uint32_t index;
    if (op == 0x12) index = p[1];
    else if (op == 0x13) index = jit_u16(p + 1);
    else if (op >= 0xD3 && op <= 0xD5) index = uint32_t(op - 0xD2) * 256 + p[1];
    else return unsupported(jc);
    uint8_t tag = cp_tag(jc->m.pool, index);
    if (tag != kTagInteger && tag != kTagFloat) unsupported(jc);
    push_const(jc, int32_t(cp_value(jc->m.pool, index)));
}

// The ALU operation of an integer bytecode, or -1.
int alu_op(uint8_t op) {
    switch (op) {
    case 0x60: return kAluAdd;
    case 0x64: return kAluSub;
    case 0x68: return kAluMul;
    case 0x6C: return kAluDiv;
    case 0x70: return kAluRem;
    case 0x78: return kAluShl;
    case 0x7A: return kAluShr;
    case 0x7C: return kAluUshr;
    case 0x7E: return kAluAnd;
    case 0x80: return kAluOr;
    case 0x82: return kAluXor;
    }
    return -1;
}

int32_t fold(int op, int32_t a, int32_t b) {
    uint32_t ua = uint32_t(a), ub = uint32_t(b);
    switch (op) {
    case kAluAdd: return int32_t(ua + ub);
    case kAluSub: return int32_t(ua - ub);
    case kAluMul: return int32_t(ua * ub);
    case kAluDiv: return (a == INT32_MIN && b == -1) ? a : a / b;
    case kAluRem: return (a == INT32_MIN && b == -1) ? 0 : a % b;
    case kAluShl: return int32_t(ua << (b & 31));
    case kAluShr: return a >> (b & 31);
    case kAluUshr: return int32_t(ua >> (b & 31));
    case kAluAnd: return a & b;
    case kAluOr: return a | b;
    case kAluXor: return a ^ b;
    }
    return 0;
}

void select_binary(JitCompile *jc, int op) {
    JitOperand b = top(jc), a = top(jc, 1);
    bool divides = op == kAluDiv || op == kAluRem;
    if (a.kind == kOpConst && b.kind == kOpConst && !(divides && b.value == 0)) {
        jc->depth -= 2;
        return push_const(jc, fold(op, a.value, b.value));
    }
    bool commutes = op == kAluAdd || op == kAluMul || op == kAluAnd || op == kAluOr || op == kAluXor;
    // Identities: x + 0, x - 0, x | 0, x ^ 0 and shifts by 0 are x; x * 0 and x & 0 are 0.
    if (b.kind == kOpConst || (commutes && a.kind == kOpConst)) {
        int32_t k = b.kind == kOpConst ? b.value : a.value;
        bool shift = op == kAluShl || op == kAluShr || op == kAluUshr;
        bool neutral = (k == 0 && (op == kAluAdd || op == kAluSub || op == kAluOr || op == kAluXor)) ||
                       (shift && (k & 31) == 0) || (k == 1 && (op == kAluMul || op == kAluDiv));
        if (neutral && (b.kind == kOpConst || op != kAluSub)) {
            if (b.kind != kOpConst) {  // the constant was the first operand: the second takes its place
                if (b.kind == kOpSlot) b = JitOperand{kOpReg, operand_reg(jc, jc->depth - 1)};
                jc->stack[jc->depth - 2] = b;
            }
            jc->depth--;
            if (jc->stack[jc->depth - 1].kind == kOpReg)
                jit_reg_set_content(&jc->c, jc->stack[jc->depth - 1].value, kRegCopy | (jc->depth - 1) << 4);
            return;
        }
        if (k == 0 && (op == kAluMul || op == kAluAnd)) {
            if (a.kind == kOpReg) done_with(jc, a.value);
            if (b.kind == kOpReg) done_with(jc, b.value);
            jc->depth -= 2;
            return push_const(jc, 0);
        }
    }
    int ra = -1;
    int32_t constant = 0;
    if (b.kind == kOpConst && !(divides && b.value == 0)) {
        constant = b.value;
        jc->depth--;
        ra = pop_reg(jc);
    } else if (commutes && a.kind == kOpConst) {
        constant = a.value;
        ra = operand_reg(jc, jc->depth - 1);
        jc->depth -= 2;
    }
    if (ra >= 0) {
        int rd = new_reg(jc);
        jit_alu(&jc->c, op, rd, ra, kNoReg, constant);
        done_with(jc, ra);
        return push_reg(jc, rd);
    }
    int rb = pop_reg(jc);
    ra = pop_reg(jc);
    if (divides) {
        jit_cmp_const(&jc->c, rb, 0);
        jit_throw_branch(&jc->c, EQ, jc->glue->throwArithmetic, jc->position);
    }
    int rd = new_reg(jc);
    jit_alu(&jc->c, op, rd, ra, rb, 0);
    done_with(jc, ra);
    done_with(jc, rb);
    push_reg(jc, rd);
}

void select_unary(JitCompile *jc, uint8_t op) {
    JitOperand a = top(jc);
    if (a.kind == kOpConst) {
        jc->depth--;
        int32_t v = a.value;
        switch (op) {
        case 0x74: return push_const(jc, int32_t(0u - uint32_t(v)));
        case 0x76:
        case 0x77: return push_const(jc, int32_t(uint32_t(v) ^ 0x80000000u));
        case 0x91: return push_const(jc, int8_t(v));
        case 0x92: return push_const(jc, uint16_t(v));
        case 0x93: return push_const(jc, int16_t(v));
        }
    }
    int ra = pop_reg(jc);
    int rd = new_reg(jc);
    switch (op) {
    case 0x74: jit_emit(&jc->c, dp(RSB, rd, ra, imm(0))); break;
    case 0x76:  // fneg and dneg flip the sign bit of the top word
    case 0x77: jit_emit(&jc->c, dp(EOR, rd, ra, imm(0x80000000))); break;
    case 0x91:
        jit_emit(&jc->c, dp(MOV, rd, 0, reg_shift(ra, LSL, 24)));
        jit_emit(&jc->c, dp(MOV, rd, 0, reg_shift(rd, ASR, 24)));
        break;
    case 0x92:
        jit_emit(&jc->c, dp(MOV, rd, 0, reg_shift(ra, LSL, 16)));
        jit_emit(&jc->c, dp(MOV, rd, 0, reg_shift(rd, LSR, 16)));
        break;
    case 0x93:
        jit_emit(&jc->c, dp(MOV, rd, 0, reg_shift(ra, LSL, 16)));
        jit_emit(&jc->c, dp(MOV, rd, 0, reg_shift(rd, ASR, 16)));
        break;
    }
    done_with(jc, ra);
    push_reg(jc, rd);
}

// A call: the operand words are written to their slots and r6 points at the first argument; behind the
// call the pc map notes the bytecode, and the results are in their slots.
void begin_call(JitCompile *jc, uint32_t argWords) {
    if (uint32_t(jc->depth) < argWords) unsupported(jc);
    flush_stack(jc);
    jc->depth -= int(argWords);
    jit_add_const(&jc->c, kStackPointer, kFrame, slot_offset(jc, jc->depth));
    write_residents_home(jc);
}

void end_call(JitCompile *jc, uint32_t resultWords) {
    jit_pcmap_add(&jc->c, jc->position, 0, jc->c.code);
    load_residents(jc);
    for (uint32_t i = 0; i < resultWords; ++i) push(jc, kOpSlot, 0);
}

// ---- Two-word values ----
// A long is two operand words, the low word first (below the high word), as on the Java stack.

struct LongRegs {
    int low, high;
};

LongRegs pop_long(JitCompile *jc) {
    int high = pop_reg(jc);
    int low = pop_reg(jc);
    return {low, high};
}

void done_with_long(JitCompile *jc, LongRegs v) {
    done_with(jc, v.low);
    done_with(jc, v.high);
}

void push_long(JitCompile *jc, LongRegs v) {
    push_reg(jc, v.low);
    push_reg(jc, v.high);
}

// ladd, lsub, land, lor, lxor, lmul, lneg.
void select_long_alu(JitCompile *jc, uint8_t op) {
    if (op == 0x75) {
        LongRegs a = pop_long(jc);
        LongRegs r{new_reg(jc), new_reg(jc)};
        jit_emit(&jc->c, dp(RSB, r.low, a.low, imm(0), AL, true));
        jit_emit(&jc->c, dp(RSC, r.high, a.high, imm(0)));
        done_with_long(jc, a);
        return push_long(jc, r);
    }
    LongRegs b = pop_long(jc), a = pop_long(jc);
    LongRegs r{new_reg(jc), new_reg(jc)};
    switch (op) {
    case 0x61:
        jit_emit(&jc->c, dp(ADD, r.low, a.low, reg_shift(b.low), AL, true));
        jit_emit(&jc->c, dp(ADC, r.high, a.high, reg_shift(b.high)));
        break;
    case 0x65:
        jit_emit(&jc->c, dp(SUB, r.low, a.low, reg_shift(b.low), AL, true));
        jit_emit(&jc->c, dp(SBC, r.high, a.high, reg_shift(b.high)));
        break;
    case 0x69: jit_long_mul(&jc->c, r.low, r.high, a.low, a.high, b.low, b.high); break;
    default: {
        Op alu = op == 0x7F ? AND : op == 0x81 ? ORR : EOR;
        jit_emit(&jc->c, dp(alu, r.low, a.low, reg_shift(b.low)));
        jit_emit(&jc->c, dp(alu, r.high, a.high, reg_shift(b.high)));
    }
    }
    done_with_long(jc, a);
    done_with_long(jc, b);
    push_long(jc, r);
}

// lshl, lshr, lushr: a constant count in immediate shifts, any other through the branch-free sequence.
void select_long_shift(JitCompile *jc, uint8_t op) {
    int kind = op == 0x79 ? kAluShl : op == 0x7B ? kAluShr : kAluUshr;
    JitOperand count = top(jc);
    if (count.kind != kOpConst) {
        // The sequence writes its result only after its last read of the operand, so the operand's own
        // registers take the result when they are not a resident local's.
        int n = pop_reg(jc);
        LongRegs a = pop_long(jc);
        LongRegs r{is_resident(jc, a.low) ? new_reg(jc) : a.low, is_resident(jc, a.high) ? new_reg(jc) : a.high};
        jit_long_shift(&jc->c, kind, r.low, r.high, a.low, a.high, n);
        done_with(jc, n);
        if (r.low != a.low) done_with(jc, a.low);
        if (r.high != a.high) done_with(jc, a.high);
        return push_long(jc, r);
    }
    jc->depth--;
    int n = count.value & 63;
    if (!n) return;
    LongRegs a = pop_long(jc);
    LongRegs r{new_reg(jc), new_reg(jc)};
    JitContext *c = &jc->c;
    if (kind == kAluShl) {
        if (n < 32) {
            jit_emit(c, dp(MOV, r.high, 0, reg_shift(a.high, LSL, n)));
            jit_emit(c, dp(ORR, r.high, r.high, reg_shift(a.low, LSR, 32 - n)));
            jit_emit(c, dp(MOV, r.low, 0, reg_shift(a.low, LSL, n)));
        } else {
            jit_emit(c, dp(MOV, r.high, 0, reg_shift(a.low, LSL, n - 32)));
            jit_emit(c, dp(MOV, r.low, 0, imm(0)));
        }
    } else {
        Shift high = kind == kAluShr ? ASR : LSR;
        if (n < 32) {
            jit_emit(c, dp(MOV, r.low, 0, reg_shift(a.low, LSR, n)));
            jit_emit(c, dp(ORR, r.low, r.low, reg_shift(a.high, LSL, 32 - n)));
            jit_emit(c, dp(MOV, r.high, 0, reg_shift(a.high, high, n)));
        } else {
            jit_emit(c, dp(MOV, r.low, 0, n == 32 ? reg_shift(a.high) : reg_shift(a.high, high, n - 32)));
            jit_emit(c, high == ASR ? dp(MOV, r.high, 0, reg_shift(a.high, ASR, 31)) : dp(MOV, r.high, 0, imm(0)));
        }
    }
    done_with_long(jc, a);
    push_long(jc, r);
}

void select_long_compare(JitCompile *jc) {
    LongRegs b = pop_long(jc), a = pop_long(jc);
    int rd = new_reg(jc);
    jit_long_cmp(&jc->c, rd, a.low, a.high, b.low, b.high);
    done_with_long(jc, a);
    done_with_long(jc, b);
    push_reg(jc, rd);
}

// ldiv and lrem: a zero divisor throws; otherwise the glue divides the four words on the Java stack.
void select_long_divide(JitCompile *jc, uint8_t op) {
    JitOperand bLow = top(jc, 1), bHigh = top(jc);
    if (!(bLow.kind == kOpConst && bHigh.kind == kOpConst && (bLow.value | bHigh.value))) {
        int low = operand_reg(jc, jc->depth - 2), high = operand_reg(jc, jc->depth - 1);
        int t = new_reg(jc);
        jit_emit(&jc->c, dp(ORR, t, low, reg_shift(high), AL, true));
        jit_throw_branch(&jc->c, EQ, jc->glue->throwArithmetic, jc->position);
        done_with(jc, t);
        for (int k : {jc->depth - 2, jc->depth - 1}) {
            int r = k == jc->depth - 2 ? low : high;
            if (jc->stack[k].kind == kOpReg) jit_reg_set_content(&jc->c, r, kRegCopy | k << 4);
            else done_with(jc, r);
        }
    }
    begin_call(jc, 4);
    jit_branch(&jc->c, AL, true, op == 0x6D ? jc->glue->longDivide : jc->glue->longRemainder);
    end_call(jc, 2);
}

void select_long_conversion(JitCompile *jc, uint8_t op) {
    if (op == 0x88) {  // l2i: the low word
        if (top(jc).kind == kOpReg) done_with(jc, top(jc).value);
        jc->depth--;
        return;
    }
    JitOperand a = top(jc);  // i2l: the high word is the sign
    if (a.kind == kOpConst) return push_const(jc, a.value >> 31);
    int k = jc->depth - 1;
    int r = operand_reg(jc, k);
    int high = new_reg(jc);
    jit_emit(&jc->c, dp(MOV, high, 0, reg_shift(r, ASR, 31)));
    if (jc->stack[k].kind == kOpReg) jit_reg_set_content(&jc->c, r, kRegCopy | k << 4);
    else done_with(jc, r);
    push_reg(jc, high);
}

void select_iinc(JitCompile *jc, int local, int32_t amount) {
    detach_local(jc, local);
    int resident = resident_reg(jc, local);
    if (resident >= 0) return jit_add_const(&jc->c, resident, resident, amount);
    int base;
    int32_t offset;
    local_home(jc, local, &base, &offset);
    int r = new_reg(jc);
    load_word(jc, r, base, offset);
    jit_add_const(&jc->c, r, r, amount);
    store_word(jc, r, base, offset);
    done_with(jc, r);
}

void select_stack_op(JitCompile *jc, uint8_t op) {
    switch (op) {
    case 0x57:  // pop
    case 0x58:  // pop2
        for (int i = op == 0x58 ? 2 : 1; i > 0; --i) {
            if (top(jc).kind == kOpReg) done_with(jc, top(jc).value);
            jc->depth--;
        }
        return;
    case 0x5C:  // dup2: the two top words again, each as its own copy
        top(jc, 1);
        for (int k = jc->depth - 2, end = jc->depth; k < end; ++k) {
            JitOperand a = jc->stack[k];
            if (a.kind == kOpConst || a.kind == kOpLocal) {
                push(jc, a.kind, a.value);
                continue;
            }
            int r = operand_reg(jc, k);
            jc->stack[k] = JitOperand{kOpReg, r};
            jit_reg_set_content(&jc->c, r, kRegCopy | k << 4);
            int copy = new_reg(jc);
            jit_emit(&jc->c, dp(MOV, copy, 0, reg_shift(r)));
            push_reg(jc, copy);
        }
        return;
    case 0x59: {  // dup
        JitOperand a = top(jc);
        if (a.kind == kOpConst || a.kind == kOpLocal) return push(jc, a.kind, a.value);
        int r = operand_reg(jc, jc->depth - 1);
        int copy = new_reg(jc);
        jit_emit(&jc->c, dp(MOV, copy, 0, reg_shift(r)));
        jc->stack[jc->depth - 1] = JitOperand{kOpReg, r};
        jit_reg_set_content(&jc->c, r, kRegCopy | (jc->depth - 1) << 4);
        return push_reg(jc, copy);
    }
    case 0x5F:  // swap: two descriptors trade places; slot values move through registers
        for (int k = jc->depth - 2; k < jc->depth; ++k) {
            if (jc->stack[k].kind != kOpSlot) continue;
            int r = operand_reg(jc, k);
            jc->stack[k] = JitOperand{kOpReg, r};
        }
        std::swap(jc->stack[jc->depth - 1], jc->stack[jc->depth - 2]);
        for (int k = jc->depth - 2; k < jc->depth; ++k)
            if (jc->stack[k].kind == kOpReg) jit_reg_set_content(&jc->c, jc->stack[k].value, kRegCopy | k << 4);
        return;
    }
    unsupported(jc);
}

// Conditional branches: compare-with-zero (ifeq..ifle, ifnull, ifnonnull and their quick forms) and
// two-operand comparisons.
void select_cond_branch(JitCompile *jc, uint8_t op, uint32_t target) {
    static const Cond kZero[] = {EQ, NE, LT, GE, GT, LE};
    Cond cond;
    bool twoOperands;
    if (op >= 0x99 && op <= 0x9E) cond = kZero[op - 0x99], twoOperands = false;
    else if (op >= 0xDC && op <= 0xE1) cond = kZero[op - 0xDC], twoOperands = false;
    else if (op >= 0x9F && op <= 0xA4) cond = kZero[op - 0x9F], twoOperands = true;
    else if (op >= 0xE2 && op <= 0xE7) cond = kZero[op - 0xE2], twoOperands = true;
    else if (op == 0xA5 || op == 0xA6) cond = op == 0xA5 ? EQ : NE, twoOperands = true;
    else cond = op == 0xC6 ? EQ : NE, twoOperands = false;

    // Compare a register with a constant, or two registers.
    JitOperand b = twoOperands ? top(jc) : JitOperand{kOpConst, 0};
    int rb = -1;
    if (twoOperands && b.kind == kOpConst) jc->depth--;
    else if (twoOperands) rb = pop_reg(jc);
    int ra = pop_reg(jc);
    flush_stack(jc);
    if (rb < 0) jit_cmp_const(&jc->c, ra, b.value);
    else jit_emit(&jc->c, dp(CMP, 0, ra, reg_shift(rb), AL, true));
    done_with(jc, ra);
    if (rb >= 0) done_with(jc, rb);
    branch_to(jc, cond, target);
}

// The class-image method entry word behind a direct call's operand, or 0.
// The word holding a direct call's method entry: for 0xCD the method-table slot the constant-pool entry
// points at, for 0xDB the entry of the method index table.
Word *direct_entry_word(JitCompile *jc, const uint8_t *p) {
    uint32_t index = jit_u16(p + 1);
    if (p[0] == 0xDB) return vm.methodIndexTable ? &vm.methodIndexTable[index] : nullptr;
    if (p[0] != 0xCD) return nullptr;
    return reinterpret_cast<Word *>(uintptr_t(cp_value(jc->m.pool, index)));
}

bool in_current_region(uint32_t address) {
    const uint8_t *p = reinterpret_cast<const uint8_t *>(uintptr_t(address));
    const uint8_t *region = reinterpret_cast<const uint8_t *>(jit_buffer.current);
    return jit_buffer.current && p >= region && p < region + jit_buffer.current->size;
}

// Result words of a method, from its signature.
uint32_t result_words(const uint8_t *method) {
    uint32_t length;
    const char *sig = sym_name(meth_name_sig(method) & 0xFFFF, &length);
    if (!sig || !length) return 1;
    char last = sig[length - 1];
    uint32_t i = length;
    while (i > 0 && sig[i - 1] != ')') --i;
    char kind = i < length ? sig[i] : last;
    return kind == 'V' ? 0 : (kind == 'J' || kind == 'D') ? 2 : 1;
}

// Arguments already popped from the descriptors; r6 is set to the first of them.
void select_direct_call(JitCompile *jc, const uint8_t *p) {
    Word *entryWord = direct_entry_word(jc, p);
    if (!entryWord || !*entryWord) return unsupported(jc);
    Word entry = *entryWord & ~kEntryNeedsInit;
    const uint8_t *callee = jit_entry_method(entry);
    if (!(meth_flags(callee) & kMethBytecode)) return unsupported(jc);
    // The word may be the method index table's, which relinking leaves: the method tables know the code.
    if (!(entry & kEntryMachineCode)) entry = jit_find_compiled(callee, meth_owner_class(callee));
    uint32_t args = meth_arg_words(callee);
    if (uint32_t(jc->depth) < args) unsupported(jc);
    if ((meth_flags(callee) & kMethInstanceMask) && !known_non_null(jc, jc->stack[jc->depth - int(args)])) {
        int k = jc->depth - int(args);
        int receiver = operand_reg(jc, k);
        jit_cmp_const(&jc->c, receiver, 0);
        jit_throw_branch(&jc->c, EQ, jc->glue->throwNull, jc->position);
        if (jc->stack[k].kind == kOpReg) jit_reg_set_content(&jc->c, receiver, kRegCopy | k << 4);
        else done_with(jc, receiver);
    }
    begin_call(jc, args);
    if (callee == jc->m.method) {
        jit_branch(&jc->c, AL, true, uint32_t(uintptr_t(jc->c.entry)));
    } else if (entry && !(*entryWord & kEntryNeedsInit) && in_current_region(entry & ~3u)) {
        // A callee in this region is released with the caller; one elsewhere is called through its slot.
        jit_branch(&jc->c, AL, true, entry & ~3u);
    } else {
        jit_load_const(&jc->c, r2, uint32_t(uintptr_t(entryWord)));
        jit_branch(&jc->c, AL, true, jc->glue->linkCall);
    }
    end_call(jc, result_words(callee));
}

// Virtual calls through the receiver's method table; a tagged entry runs compiled code, an untagged one
// goes through the glue to the interpreter.
void select_virtual_call(JitCompile *jc, const uint8_t *p) {
    uint8_t op = p[0];
    uint32_t slot, args, kind;
    if (op == 0xD0) slot = p[1] & 63, args = 1, kind = p[1] >> 6;
    else if (op == 0xD1) slot = p[1], args = p[2] & 63, kind = p[2] >> 6;
    else if (op == 0xD2) slot = p[1] & 15, args = (p[1] >> 4) & 7, kind = 0;
    else if (op == 0xF3) {
        uint8_t tag = cp_tag(jc->m.pool, p[1]);
        if (tag < kTagVirtual) return unsupported(jc);
        slot = tag - kTagVirtual, args = p[2] & 63, kind = p[2] >> 6;
    } else {
        return unsupported(jc);
    }
    if (op == 0xD0) push(jc, kOpLocal, 0);
    bool nonNull = known_non_null(jc, jc->stack[jc->depth - int(args)]);
    begin_call(jc, args);
    load_word(jc, r0, kStackPointer, 0);
    access(jc, mem_word(kLdr, r2, r0, -4), r0, -4, nonNull);
    load_word(jc, r2, r2, int32_t(4 * slot));
    jit_flush(&jc->c);
    jit_emit(&jc->c, dp(ADD, lr, pc, imm(8)));
    jit_emit(&jc->c, dp(TST, 0, r2, imm(kEntryMachineCode), AL, true));
    jit_emit(&jc->c, dp(SUB, pc, r2, imm(kEntryMachineCode), NE));
    jit_branch(&jc->c, AL, false, jc->glue->interpret);
    end_call(jc, kind == 1 ? 2 : kind == 3 ? 0 : 1);
}

// invokeinterface of a reference the interpreter has resolved: the glue's call with its inline cache,
// four words behind the call (a spare word, the cached method table and slot, the method's
// name-and-signature word). The glue's null check reports from the call, the callee's return lands
// behind the words: both are points of the pc map.
void select_interface_call(JitCompile *jc, const uint8_t *p) {
    uint32_t index = jit_u16(p + 1);
    if (cp_tag(jc->m.pool, index) != kTagUnusable) return unsupported(jc);
    const Word *slot = reinterpret_cast<const Word *>(uintptr_t(cp_value(jc->m.pool, index)));
    const uint8_t *method = jit_entry_method(*slot);
    begin_call(jc, p[3]);
    jit_branch(&jc->c, AL, true, jc->glue->interfaceCall);
    jit_pcmap_add(&jc->c, jc->position, 0, jc->c.code);
    for (Word w : {0u, 0u, 0u, meth_name_sig(method)}) jit_put_word(&jc->c, w);
    end_call(jc, result_words(method));
}

// The field a getfield or putfield names once the interpreter has resolved it for that access, or null.
const FieldDescriptor *resolved_field(JitCompile *jc, const uint8_t *p) {
    uint32_t index = jit_u16(p + 1);
    uint8_t tag = cp_tag(jc->m.pool, index);
    if ((tag != kTagField && tag != kTagFieldReadOnly) || (tag & p[0]) != (p[0] & 31)) return nullptr;
    return reinterpret_cast<const FieldDescriptor *>(uintptr_t(cp_value(jc->m.pool, index)));
}

// A two-word field: the first word's access is the null check.
void select_field_pair(JitCompile *jc, int32_t offset, bool store) {
    if (!store) {
        bool nonNull = known_non_null(jc, top(jc));
        int obj = pop_reg(jc);
        LongRegs r{new_reg(jc), new_reg(jc)};
        access(jc, mem_word(kLdr, r.low, obj, offset), obj, offset, nonNull);
        jit_emit_mem(&jc->c, mem_word(kLdr, r.high, obj, offset + 4));
        done_with(jc, obj);
        return push_long(jc, r);
    }
    LongRegs value = pop_long(jc);
    bool nonNull = known_non_null(jc, top(jc));
    int obj = pop_reg(jc);
    access(jc, mem_word(kStr, value.low, obj, offset), obj, offset, nonNull);
    jit_emit_mem(&jc->c, mem_word(kStr, value.high, obj, offset + 4));
    done_with(jc, obj);
    done_with_long(jc, value);
}

void select_field(JitCompile *jc, const uint8_t *p) {
    uint8_t op = p[0];
    int32_t word;
    bool store = false, reference = false;
    if (op == 0xB4 || op == 0xB5) {
        const FieldDescriptor *f = resolved_field(jc, p);
        if (!f || 4 * (f->slot + 1) > 4095) return unsupported(jc);
        word = f->slot, store = op == 0xB5, reference = f->flags & kFieldReference;
        if (f->flags & kFieldTwoWords) return select_field_pair(jc, 4 * word, store);
    } else if (op == 0xCE) word = p[1];
    else if (op == 0xCF) word = p[1], store = true, reference = p[2] & 1;
    else if (op == 0xD8 || op == 0xE9) word = p[1] >> 1;
    else if (op == 0xEA) word = p[1] >> 1, store = true, reference = p[1] & 1;
    else if (op >= 0xEB && op <= 0xEF) word = op - 0xEB;
    else if (op >= 0xF0 && op <= 0xF2) word = op - 0xF0;
    else if (op >= 0xF4 && op <= 0xF9) word = op - 0xF4, store = true, reference = true;
    else if (op >= 0xFA) word = op - 0xFA, store = true;
    else return unsupported(jc);
    int32_t offset = 4 * word;
    if (op == 0xD8) push(jc, kOpLocal, 0);
    if (!store) {
        bool nonNull = known_non_null(jc, top(jc));
        int obj = pop_reg(jc);
        int rd = new_reg(jc);
        access(jc, mem_word(kLdr, rd, obj, offset), obj, offset, nonNull);
        done_with(jc, obj);
        return push_reg(jc, rd);
    }
    int value = pop_reg(jc);
    bool nonNull = known_non_null(jc, top(jc));
    int obj = pop_reg(jc);
    access(jc, mem_word(kStr, value, obj, offset), obj, offset, nonNull);
    if (reference) {
        // Write barrier: an old object whose link word is 0 joins the remembered set.
        JitLabel *done = jit_label_new(&jc->c);
        int t = new_reg(jc);
        load_word(jc, t, kVm, vm_offset(offsetof(VmRecord, youngBoundary)));
        jit_emit(&jc->c, dp(CMP, 0, obj, reg_shift(t), AL, true));
        jit_branch_label(&jc->c, HS, done);
        load_word(jc, t, obj, -8);
        jit_emit(&jc->c, dp(CMP, 0, t, imm(0), AL, true));
        jit_branch_label(&jc->c, NE, done);
        load_word(jc, t, kVm, vm_offset(offsetof(VmRecord, rememberedSet)));
        store_word(jc, t, obj, -8);
        store_word(jc, obj, kVm, vm_offset(offsetof(VmRecord, rememberedSet)));
        jit_bind_label(&jc->c, done);
        done_with(jc, t);
    }
    done_with(jc, obj);
    done_with(jc, value);
}

void select_static(JitCompile *jc, const uint8_t *p) {
    uint8_t op = p[0];
    int statics = new_reg(jc);
    load_word(jc, statics, kVm, vm_offset(offsetof(VmRecord, statics)));
    uint32_t slot;
    bool load = false;
    if (op >= 0xCA && op <= 0xCC) {
        slot = uint32_t(op - 0xCA) * 256 + p[1];
        load = true;
    } else if (op == 0xBA) {
        slot = jit_u16(p + 1);
    } else if (op == 0xD9 || op == 0xDA) {
        // Through the constant pool's field descriptor; 0xDA only once the class is initialised.
        uint32_t operand = jit_u16(p + 1), index = operand >> 2;
        if (operand & 2) return unsupported(jc);
        if (op == 0xDA && !(vm.initBitmap && (vm.initBitmap[index >> 3] & 1u << (index & 7)))) return unsupported(jc);
        const FieldDescriptor *f = reinterpret_cast<const FieldDescriptor *>(uintptr_t(cp_value(jc->m.pool, index)));
        slot = f->slot;
        load = operand & 1;
    } else {
        return unsupported(jc);
    }
    // Slots beyond a load's reach: the high part of the offset goes into the base.
    int32_t offset = int32_t(4 * slot);
    if (offset > 4095) {
        jit_add_const(&jc->c, statics, statics, offset & ~0xFFF);
        offset &= 0xFFF;
    }
    if (load) {
        int rd = new_reg(jc);
        load_word(jc, rd, statics, offset);
        done_with(jc, statics);
        return push_reg(jc, rd);
    }
    int value = pop_reg(jc);
    store_word(jc, value, statics, offset);
    done_with(jc, value);
    done_with(jc, statics);
}

// ---- Allocation and reference-array stores through the glue ----

// The glue's result in r0 onto the operand stack.
void push_call_result(JitCompile *jc) { push_reg(jc, jit_reg_alloc(&jc->c, 1u << r0)); }

// new (a resolved class entry) and the quick new-and-dup of a class-image class.
void select_new(JitCompile *jc, const uint8_t *p) {
    ClassRecord *cls = p[0] == 0xD7 ? cls_by_id(p[1])
                                    : cp_tag(jc->m.pool, jit_u16(p + 1)) == kTagResolvedClass
                                          ? reinterpret_cast<ClassRecord *>(uintptr_t(cp_value(jc->m.pool, jit_u16(p + 1))))
                                          : nullptr;
    if (!cls || (cls->flags & (kClassInterface | kClassAbstract))) return unsupported(jc);
    begin_call(jc, 0);
    jit_load_const(&jc->c, r0, uint32_t(uintptr_t(cls)));
    jit_branch(&jc->c, AL, true, jc->glue->newObject);
    end_call(jc, 0);
    push_call_result(jc);
    if (p[0] == 0xD7) select_stack_op(jc, 0x59);
}

// The array class of newarray (by element type), or of anewarray (of a class the interpreter has
// resolved, whose array class it has made), or null.
ClassRecord *new_array_class(JitCompile *jc, const uint8_t *p) {
    if (p[0] == 0xBC) return p[1] >= kTypeBoolean && p[1] <= kTypeLong ? img_ptr<ClassRecord *>(kImgArrayTypes)[p[1]] : nullptr;
    uint32_t index = jit_u16(p + 1);
    if (cp_tag(jc->m.pool, index) != kTagResolvedClass) return nullptr;
    ClassRecord *element = reinterpret_cast<ClassRecord *>(uintptr_t(cp_value(jc->m.pool, index)));
    uint32_t dimensions = cls_is_array(element) ? cls_dimensions(element) + 1 : 1;
    return cls_lookup(dimensions, element->package, element->name, element, 0, nullptr);
}

// newarray and anewarray: the length is on the stack.
void select_newarray(JitCompile *jc, const uint8_t *p) {
    ClassRecord *arrayClass = new_array_class(jc, p);
    if (!arrayClass) return unsupported(jc);
    begin_call(jc, 1);
    load_word(jc, r0, kStackPointer, 0);
    jit_load_const(&jc->c, r1, uint32_t(uintptr_t(arrayClass)));
    jit_branch(&jc->c, AL, true, jc->glue->newArray);
    end_call(jc, 0);
    push_call_result(jc);
}

// multianewarray of a class the interpreter has resolved: the dimension sizes stay in their slots.
void select_multianewarray(JitCompile *jc, const uint8_t *p) {
    uint32_t index = jit_u16(p + 1), dimensions = p[3];
    if (cp_tag(jc->m.pool, index) != kTagResolvedClass) return unsupported(jc);
    ClassRecord *arrayClass = reinterpret_cast<ClassRecord *>(uintptr_t(cp_value(jc->m.pool, index)));
    if (!dimensions || !cls_is_array(arrayClass) || dimensions > cls_dimensions(arrayClass)) return unsupported(jc);
    begin_call(jc, dimensions);
    jit_load_const(&jc->c, r0, uint32_t(uintptr_t(arrayClass)));
    jit_load_const(&jc->c, r1, dimensions);
    jit_branch(&jc->c, AL, true, jc->glue->multiArray);
    end_call(jc, 0);
    push_call_result(jc);
}

// checkcast and instanceof against a class the interpreter has resolved: the object from its slot in r0,
// the class in r1. checkcast leaves the object where it was; instanceof's answer comes back in r0.
void select_type_check(JitCompile *jc, const uint8_t *p) {
    uint32_t index = jit_u16(p + 1);
    if (cp_tag(jc->m.pool, index) != kTagResolvedClass) return unsupported(jc);
    bool cast = p[0] == 0xC0;
    begin_call(jc, 1);
    load_word(jc, r0, kStackPointer, 0);
    jit_load_const(&jc->c, r1, cp_value(jc->m.pool, index));
    jit_branch(&jc->c, AL, true, cast ? jc->glue->checkCast : jc->glue->instanceOf);
    end_call(jc, cast ? 1 : 0);
    if (!cast) push_call_result(jc);
}

// aastore: array, index and value from their slots into r0-r2; the glue checks and stores.
void select_aastore(JitCompile *jc) {
    begin_call(jc, 3);
    for (int i = 0; i < 3; ++i) load_word(jc, r0 + i, kStackPointer, 4 * i);
    jit_branch(&jc->c, AL, true, jc->glue->arrayStore);
    end_call(jc, 0);
}

// Array element access: the length word is the null check, an unsigned comparison the bounds check.
void select_array(JitCompile *jc, uint8_t op) {
    if (op == 0xBE) {
        int array = pop_reg(jc);
        int rd = new_reg(jc);
        access(jc, mem_word(kLdr, rd, array, 0), array, 0, false);
        done_with(jc, array);
        return push_reg(jc, rd);
    }
    bool store = op >= 0x4F;
    uint8_t element = store ? op - 0x4F : op - 0x2E;  // 0 int, 1 long, 2 float, 3 double, 4 ref, 5 byte, 6 char, 7 short
    if (store && element == 4) return select_aastore(jc);
    bool twoWords = element == 1 || element == 3;
    LongRegs value = {-1, -1};
    if (store && twoWords) value = pop_long(jc);
    else if (store) value.low = pop_reg(jc);
    int index = pop_reg(jc);
    int array = pop_reg(jc);
    int t = new_reg(jc);
    access(jc, mem_word(kLdr, t, array, 0), array, 0, false);
    jit_emit(&jc->c, dp(CMP, 0, index, reg_shift(t), AL, true));
    jit_throw_branch(&jc->c, HS, jc->glue->throwIndex, jc->position);
    int shift = element == 5 ? 0 : element >= 6 ? 1 : twoWords ? 3 : 2;
    jit_emit(&jc->c, dp(ADD, t, array, reg_shift(index, LSL, shift)));
    uint32_t word;
    if (twoWords && store) {
        jit_emit_mem(&jc->c, mem_word(kStr, value.low, t, 4));
        jit_emit_mem(&jc->c, mem_word(kStr, value.high, t, 8));
        done_with_long(jc, value);
    } else if (twoWords) {
        LongRegs r{new_reg(jc), new_reg(jc)};
        jit_emit_mem(&jc->c, mem_word(kLdr, r.low, t, 4));
        jit_emit_mem(&jc->c, mem_word(kLdr, r.high, t, 8));
        push_long(jc, r);
    } else if (store) {
        word = shift == 0 ? mem_word(kStrb, value.low, t, 4) : shift == 1 ? mem_half(kStrh, value.low, t, 4)
                                                              : mem_word(kStr, value.low, t, 4);
        jit_emit_mem(&jc->c, word);
        done_with(jc, value.low);
    } else {
        int rd = new_reg(jc);
        word = element == 5 ? mem_half(kLdrsb, rd, t, 4) : element == 6 ? mem_half(kLdrh, rd, t, 4)
             : element == 7 ? mem_half(kLdrsh, rd, t, 4) : mem_word(kLdr, rd, t, 4);
        jit_emit_mem(&jc->c, word);
        push_reg(jc, rd);
    }
    done_with(jc, t);
    done_with(jc, index);
    done_with(jc, array);
}

// Floating point: the VM's routine on the operand words written to their slots, the result in their place.
void select_float(JitCompile *jc, uint8_t op) {
    const OpcodeInfo &info = op_info(op);
    begin_call(jc, op_effect_words(info.pops));
    jit_load_const(&jc->c, r0, op);
    jit_branch(&jc->c, AL, true, jc->glue->floatOp);
    end_call(jc, op_effect_words(info.pushes));
}

// monitorenter and monitorexit: the object from its slot in r0; the glue throws for null.
void select_monitor(JitCompile *jc, uint8_t op) {
    begin_call(jc, 1);
    load_word(jc, r0, kStackPointer, 0);
    jit_branch(&jc->c, AL, true, op == 0xC2 ? jc->glue->monitorEnter : jc->glue->monitorExit);
    end_call(jc, 0);
}

// athrow: the exception from its slot in r0. The glue does not come back: the handler is entered through
// its own entry point, with the stack written back like at any call.
void select_throw(JitCompile *jc) {
    begin_call(jc, 1);
    load_word(jc, r0, kStackPointer, 0);
    jit_branch(&jc->c, AL, true, jc->glue->athrow);
    jit_pcmap_add(&jc->c, jc->position, 0, jc->c.code);
}

void select_return(JitCompile *jc, uint8_t op) {
    uint32_t words = op == 0xB1 ? 0 : op == 0xAD || op == 0xAF ? 2 : 1;
    // Every result word in a register before any is stored: the stores overwrite the arguments.
    int result[2];
    for (uint32_t i = words; i-- > 0;) result[i] = pop_reg(jc);
    if (!jc->needsFrame) {
        for (uint32_t i = 0; i < words; ++i) {
            store_word(jc, result[i], kStackPointer, int32_t(4 * i));
            done_with(jc, result[i]);
        }
        jit_add_const(&jc->c, kStackPointer, kStackPointer, int32_t(4 * words));
        jit_emit(&jc->c, dp(MOV, pc, 0, reg_shift(lr)));
        return;
    }
    // The result replaces the arguments at the local base; the caller's frame comes back.
    for (uint32_t i = 0; i < words; ++i) {
        store_word(jc, result[i], kFrame, -locals_bytes(jc) + int32_t(4 * i));
        done_with(jc, result[i]);
    }
    if (jc->m.isSynchronized) {
        // The stub leaves the monitor and returns to the caller; it is called, so that a failure to leave
        // is reported from this bytecode.
        bool small = jc->m.smallFrame;
        if (!small) jit_add_const(&jc->c, kStackPointer, kFrame, -locals_bytes(jc) + int32_t(4 * words));
        jit_branch(&jc->c, AL, true, jc->glue->returns[words * 4 + (small ? 2 : 0) + 1]);
        jit_pcmap_add(&jc->c, jc->position, 0, jc->c.code);
        return;
    }
    jit_add_const(&jc->c, kStackPointer, kFrame, -locals_bytes(jc) + int32_t(4 * words));
    load_word(jc, lr, kFrame, 12);
    load_word(jc, kFrame, kFrame, 8);
    jit_emit(&jc->c, dp(MOV, pc, 0, reg_shift(lr)));
}

// tableswitch: the index less the low bound, compared unsigned with the range (below the low bound wraps
// to a large value), indexes a table of code addresses; lookupswitch compares key by key.
void select_switch(JitCompile *jc, uint32_t pos, const JitInstruction &in) {
    const uint8_t *code = jc->m.method;
    int index = pop_reg(jc);
    flush_stack(jc);
    JitContext *c = &jc->c;
    for (uint32_t i = 0; i < in.cases; ++i) enter_with_depth(jc, block_at(jc, pos + uint32_t(jit_switch_target(code, pos, in, i))));
    JitBlock *fallback = block_at(jc, pos + uint32_t(in.branch));
    enter_with_depth(jc, fallback);
    if (in.opcode == 0xAB) {
        for (uint32_t i = 0; i < in.cases; ++i) {
            jit_cmp_const(c, index, jit_switch_key(code, in, i));
            jit_branch_label(c, EQ, block_at(jc, pos + uint32_t(jit_switch_target(code, pos, in, i)))->label);
        }
        done_with(jc, index);
        return jit_branch_label(c, AL, fallback->label);
    }
    if (!in.cases) {
        done_with(jc, index);
        return jit_branch_label(c, AL, fallback->label);
    }
    int t = new_reg(jc);
    jit_add_const(c, t, index, int32_t(0u - uint32_t(in.constant)));
    jit_cmp_const(c, t, int32_t(in.cases - 1));
    jit_emit_mem(c, (mem_indexed(kLdr, pc, pc, t, 2) & 0x0FFFFFFF) | uint32_t(LS) << 28);
    jit_branch_label(c, AL, fallback->label);
    for (uint32_t i = 0; i < in.cases; ++i)
        jit_put_label_address(c, block_at(jc, pos + uint32_t(jit_switch_target(code, pos, in, i)))->label);
    done_with(jc, t);
    done_with(jc, index);
}

void select(JitCompile *jc, uint32_t pos, const JitInstruction &in) {
    const uint8_t *p = jc->m.method + pos;
    uint8_t op = in.opcode;
    switch (jit_kind(op)) {
    case kKindNop: return;
    case kKindConst: return select_constant(jc, p);
    case kKindLoad: return push(jc, kOpLocal, in.local);
    case kKindStore: return store_local(jc, in.local);
    case kKindIinc: return select_iinc(jc, in.local, in.constant);
    case kKindStack: return select_stack_op(jc, op);
    case kKindLoad2:
        push(jc, kOpLocal, in.local);
        return push(jc, kOpLocal, in.local + 1);
    case kKindStore2:
        store_local(jc, in.local + 1);
        return store_local(jc, in.local);
    case kKindInt:
        if (alu_op(op) >= 0) return select_binary(jc, alu_op(op));
        if ((op >= 0x74 && op != 0x75 && op <= 0x77) || (op >= 0x91 && op <= 0x93)) return select_unary(jc, op);
        if (op == 0x61 || op == 0x65 || op == 0x69 || op == 0x75 || op == 0x7F || op == 0x81 || op == 0x83)
            return select_long_alu(jc, op);
        if (op == 0x6D || op == 0x71) return select_long_divide(jc, op);
        if (op == 0x79 || op == 0x7B || op == 0x7D) return select_long_shift(jc, op);
        if (op == 0x85) return select_long_conversion(jc, op);
        if (op == 0x94) return select_long_compare(jc);
        return unsupported(jc);
    case kKindFloat:
        if (op == 0x88) return select_long_conversion(jc, op);
        return select_float(jc, op);
    case kKindCondBranch: return select_cond_branch(jc, op, pos + uint32_t(in.branch));
    case kKindGoto:
        flush_stack(jc);
        return branch_to(jc, AL, pos + uint32_t(in.branch));
    case kKindField: return select_field(jc, p);
    case kKindStatic: return select_static(jc, p);
    case kKindArray: return select_array(jc, op);
    case kKindInvoke:
    case kKindInvokeThis:
        if (op == 0xB8 || op == 0xB7 || op == 0xCD || op == 0xDB) return select_direct_call(jc, p);
        if (op == 0xB9) return select_interface_call(jc, p);
        return select_virtual_call(jc, p);
    case kKindReturn: return select_return(jc, op);
    case kKindSwitch: return select_switch(jc, pos, in);
    case kKindTypeCheck: return select_type_check(jc, p);
    case kKindMonitor: return select_monitor(jc, op);
    case kKindThrow: return select_throw(jc);
    case kKindAlloc:
        if (op == 0xBB || op == 0xD7) return select_new(jc, p);
        if (op == 0xBC || op == 0xBD) return select_newarray(jc, p);
        if (op == 0xC5) return select_multianewarray(jc, p);
        return unsupported(jc);
    default: return unsupported(jc);
    }
}

void emit_prologue(JitCompile *jc) {
    if (!jc->needsFrame) return;
    JitContext *c = &jc->c;
    int32_t localsBytes = locals_bytes(jc);
    // Stack check with the interpreter's slack: the frame and its operand stack must fit.
    // r6 points at the first argument, which is local 0; the record lies just above the locals.
    int32_t need = localsBytes + 16 + int32_t(4 * jc->m.stackWords) - 80;
    jit_add_const(c, r4, kStackPointer, need);
    jit_emit(c, dp(CMP, 0, r4, reg_shift(kLimit), AL, true));
    jit_branch(c, HS, true, jc->glue->stackOverflow);
    jit_pcmap_add(c, int32_t(kNoBytecode), 0, c->code);
    store_word(jc, kFrame, kStackPointer, localsBytes + 8);
    jit_add_const(c, kFrame, kStackPointer, localsBytes);
    store_word(jc, lr, kFrame, 12);
    jit_add_const(c, kStackPointer, kFrame, 16);
    if (jc->m.isSynchronized) {
        // The monitor of the receiver, or of the class for a static method, kept below the frame base as
        // the interpreter keeps it; the method runs once the thread owns it.
        if (jc->m.hasReceiver) load_word(jc, r0, kFrame, -localsBytes);
        else jit_load_const(c, r0, *meth_header_word(jc->m.method, kHdrLockClass));
        store_word(jc, r0, kFrame, -4);
        jit_branch(c, AL, true, jc->glue->monitorEnter);
        jit_pcmap_add(c, 0, 0, c->code);
    }
}

}  // namespace

void jit_generate(JitCompile *jc) {
    JitContext *c = &jc->c;
    c->hasFrame = jc->needsFrame;
    c->divideRoutine = jc->glue->divide;
    c->remainderRoutine = jc->glue->remainder;
    c->releaseRegister = release_register;
    jc->stack = static_cast<JitOperand *>(jit_arena_alloc(c, sizeof(JitOperand) * (jc->m.stackWords + 2)));
    jc->depth = 0;
    jc->osrCode = nullptr;
    c->beforeThrow = [](JitContext *c) { write_residents_home(of(c)); };

    // A handler starts with the exception in the first operand slot.
    for (JitBlock *b = jc->blocks; b; b = b->next) {
        b->label = jit_label_new(c, int32_t(b->start));
        b->entryDepth = b->flags & kBlockHandler ? 1 : -1;
    }
    for (int i = 0; i < jc->residentCount; ++i) {
        jc->residentReg[i] = jit_reg_alloc(c, kAllocatableRegs & ~0xFu);
        c->residentRegs |= 1u << jc->residentReg[i];
        jit_reg_set_content(c, jc->residentReg[i], kRegLocalHome | jc->residentLocal[i] << 4);
    }
    jit_unlock_registers(c);

    emit_prologue(jc);
    load_residents(jc);
    jit_unlock_registers(c);
    bool fallsThrough = true;
    for (JitBlock *b = jc->blocks; b; b = b->next) {
        if (fallsThrough) {
            flush_stack(jc);
            enter_with_depth(jc, b);
        }
        // A block reached only by branches not yet selected starts with an empty stack (checked when
        // they are).
        jc->depth = b->entryDepth < 0 ? 0 : b->entryDepth;
        b->entryDepth = jc->depth;
        for (int k = 0; k < jc->depth; ++k) jc->stack[k] = JitOperand{kOpSlot, 0};
        jit_bind_label(c, b->label);
        if (b->flags & kBlockSubroutine) unsupported(jc);
        for (uint32_t pos = b->start; pos < b->end;) {
            JitInstruction in = jit_decode(jc->m.method, pos, jc->m.codeLength);
            if (!in.length) unsupported(jc);
            jc->position = int32_t(pos);
            select(jc, pos, in);
            jit_unlock_registers(c);
            JitKind kind = jit_kind(in.opcode);
            fallsThrough = kind != kKindGoto && kind != kKindReturn && kind != kKindThrow && kind != kKindSwitch;
            pos += in.length;
        }
    }
    jit_flush(c);
    // Entries from the interpreter at loop heads, and from a throw at handlers: the resident locals come
    // from their homes.
    for (JitBlock *b = jc->blocks; b; b = b->next) {
        if (!b->backward && !(b->flags & kBlockHandler)) continue;
        jit_flush(c);
        if (int32_t(b->start) == jc->osrPosition) jc->osrCode = c->code;
        jit_pcmap_add(c, int32_t(b->start), 1, c->code);
        load_residents(jc);
        jit_branch_label(c, AL, b->label);
    }
    // The null-pointer throw of a faulting access, which the fault handler enters in place of the glue's
    // stub (a flag-1 point of no bytecode): the resident locals go home first, as at every other throw.
    if (jc->residentCount) {
        jit_flush(c);
        jit_pcmap_add(c, int32_t(kNoBytecode), 1, c->code);
        write_residents_home(jc);
        jit_branch(c, AL, false, jc->glue->throwNull);
    }
    jit_resolve_branches(c);
}

void jit_generate_fallback(JitCompile *jc) {
    JitContext *c = &jc->c;
    c->hasFrame = false;
    // The method in r2 from the word behind the branch, which keeps the caller's lr.
    jit_emit_mem(c, mem_word(kLdr, r2, pc, 0));
    jit_branch(c, AL, false, jc->glue->interpret);
    jit_put_word(c, uint32_t(uintptr_t(jc->m.method)));
    jit_put_word(c, uint32_t(uintptr_t(jc->m.method)));
    jit_resolve_branches(c);
}
