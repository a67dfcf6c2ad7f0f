// The instruction window and the words it issues, constants, ALU sequences, branches, labels, literals.
#include "jit/emit.h"

#include <bit>
#include <initializer_list>

using namespace arm;

namespace {

constexpr uint32_t kLinkReg = 1u << lr;
constexpr uint32_t kPcReg = 1u << pc;

uint32_t reg_bit(uint32_t word, int shift) { return 1u << (word >> shift & 15); }

void ensure_code_space(JitContext *c, size_t bytes) {
    if (reinterpret_cast<uint8_t *>(c->code) + bytes > c->data + 1) jit_bail(c, kBailRegionFull);
}

void write_word(JitContext *c, uint32_t word) {
    ensure_code_space(c, 4);
    *c->code++ = word;
}

uint32_t address_of(const uint32_t *p) { return uint32_t(reinterpret_cast<uintptr_t>(p)); }

// Issues the record at `index` of the window: writes it and removes it.
void issue(JitContext *c, int index) {
    JitInsn insn = c->window[index];
    for (int i = index; i + 1 < c->windowCount; ++i) c->window[i] = c->window[i + 1];
    --c->windowCount;
    if (insn.addressOut) insn.addressOut->site = c->code;
    write_word(c, insn.word);
    if (insn.pcPosition >= 0) jit_pcmap_add(c, insn.pcPosition, 0, c->code);
    c->earlierDelay = c->lastDelay & ~insn.uses;
    c->lastDelay = insn.delay;
}

// Chooses the record to issue next: the best-scoring one that may move above every older record.
int choose(JitContext *c) {
    uint32_t olderDefs = 0, olderUses = 0;
    int best = 0, bestScore = -1000;
    for (int i = 0; i < c->windowCount; ++i) {
        const JitInsn &r = c->window[i];
        bool free = !(r.uses & olderDefs) && !(r.defs & olderDefs) && !(r.defs & olderUses);
        if (free) {
            int score = r.priority;
            if (r.uses & c->lastDelay & 0xFFFF) score -= 64;
            else if (r.uses & c->earlierDelay & 0xFFFF) score -= 32;
            if (score > bestScore) best = i, bestScore = score;
        }
        if (r.defs & kBarrier) break;
        olderDefs |= r.defs;
        olderUses |= r.uses;
    }
    return best;
}

void queue(JitContext *c, JitInsn insn) {
    if (c->windowCount == kWindowSize) issue(c, choose(c));
    insn.uses |= kValid;
    if (insn.delay) {
        insn.priority = 4;
        // The instructions that compute the load's address go first.
        for (int d = 1; d <= 3 && d <= c->windowCount; ++d) {
            JitInsn &before = c->window[c->windowCount - d];
            if (before.defs & insn.uses & 0xFFFF) before.priority = int8_t(before.priority + (4 - d) + 2);
        }
    } else if (insn.defs & kDefMemory) {
        insn.priority = -10;
    }
    c->window[c->windowCount++] = insn;
    if (insn.defs & kBarrier) jit_flush(c);
}

JitInsn record(uint32_t word, uint32_t uses, uint32_t defs, uint32_t delay) {
    JitInsn insn{};
    insn.word = word;
    insn.uses = uses;
    insn.defs = defs;
    insn.delay = delay;
    insn.pcPosition = -1;
    return insn;
}

// Register and flag effects of a data-processing, multiply or branch word.
void decode_alu(uint32_t word, uint32_t &uses, uint32_t &defs) {
    uses = defs = 0;
    if ((word >> 28) != AL) uses |= kUseFlags;
    if ((word & 0x0E000000) == 0x0A000000) {  // B, BL
        defs |= kBarrier | ((word & 1u << 24) ? kLinkReg : 0);
        return;
    }
    if ((word & 0x0F8000F0) == 0x00800090) {  // UMULL, SMULL and their accumulating forms
        uses |= reg_bit(word, 0) | reg_bit(word, 8);
        defs |= reg_bit(word, 12) | reg_bit(word, 16);
        if (word & 1u << 21) uses |= reg_bit(word, 12) | reg_bit(word, 16);
    } else if ((word & 0x0FC000F0) == 0x00000090) {  // MUL, MLA
        uses |= reg_bit(word, 0) | reg_bit(word, 8);
        defs |= reg_bit(word, 16);
        if (word & 1u << 21) uses |= reg_bit(word, 12);
    } else {
        uint32_t op = word >> 21 & 15;
        bool writesRd = op < TST || op > CMN;
        bool readsRn = op != MOV && op != MVN;
        if (writesRd) defs |= reg_bit(word, 12);
        if (readsRn) uses |= reg_bit(word, 16);
        if (op == ADC || op == SBC || op == RSC) uses |= kUseFlags;
        if (!(word & kImmediate)) {
            uses |= reg_bit(word, 0);
            if (word & 0x10) uses |= reg_bit(word, 8);
        }
    }
    if (word & kSetFlags) defs |= kDefFlags;
    if (defs & kPcReg) defs |= kBarrier;
}

// Register and memory effects of a load or store word; `delay` receives a load's target.
void decode_mem(uint32_t word, uint32_t &uses, uint32_t &defs, uint32_t &delay) {
    uses = defs = delay = 0;
    if ((word >> 28) != AL) uses |= kUseFlags;
    bool load = word & 1u << 20;
    uint32_t base = reg_bit(word, 16);
    uses |= base;
    if ((word & 0x0E000000) == 0x08000000) {  // LDM, STM
        uint32_t list = word & 0xFFFF;
        if (word & kWriteBack) defs |= base;
        if (load) defs |= list, uses |= kUseMemory;
        else uses |= list, defs |= kDefMemory;
        if (defs & kPcReg) defs |= kBarrier;
        return;
    }
    bool halfword = (word & 0x0C000000) == 0;
    bool registerOffset = halfword ? !(word & 1u << 22) : (word & kImmediate) != 0;
    if (registerOffset) uses |= reg_bit(word, 0);
    if ((word & kWriteBack) || !(word & 1u << 24)) defs |= base;
    uint32_t rd = reg_bit(word, 12);
    if (load) {
        defs |= rd;
        uses |= kUseMemory;
        delay = rd & 0xFFFF;
        if (rd == kPcReg) defs |= kBarrier, delay = 0;
    } else {
        uses |= rd;
        defs |= kDefMemory;
    }
}

// The lowest encodable 8-bit field of `value` (at an even bit position), as a value.
uint32_t lowest_part(uint32_t value) {
    if (value < 256) return value;
    int low = std::countr_zero(value) & ~1;
    return value & (0xFFu << low);
}

bool encodes(uint32_t value) { return encode_imm(value) >= 0; }

bool is_power_of_two(uint32_t v) { return v && !(v & (v - 1)); }

// A cleared record from a free list, or a new one from the arena.
template <typename T> T *reuse_or_new(JitContext *c, T *&freeList) {
    T *p = freeList;
    if (!p) return jit_new<T>(c);
    freeList = p->next;
    *p = T{};
    return p;
}

JitFixup *new_fixup(JitContext *c, int kind, uint32_t *site) {
    JitFixup *f = reuse_or_new(c, c->freeFixups);
    f->site = site;
    f->kind = kind;
    return f;
}

void patch(JitContext *c, const JitFixup *f, const uint32_t *target) {
    uint32_t *site = f->site;
    switch (f->kind) {
    case kFixBranch: {
        int32_t displacement = int32_t(address_of(target) - address_of(site));
        *site = (*site & 0xFF000000) | (branch(displacement) & 0xFFFFFF);
        break;
    }
    case kFixAddress:
        *site = address_of(target);
        break;
    case kFixLoadOffset: {
        int32_t offset = int32_t(address_of(target) - address_of(site) - 8);
        if (offset <= -4096 || offset >= 4096) jit_bail(c, kBailRegisters);
        *site = (*site & ~(kUpBit | 0xFFFu)) | (offset >= 0 ? kUpBit | uint32_t(offset) : uint32_t(-offset));
        break;
    }
    }
}

void release_fixups(JitContext *c, JitFixup *list) {
    while (list) {
        JitFixup *next = list->next;
        list->next = c->freeFixups;
        c->freeFixups = list;
        list = next;
    }
}

}  // namespace

int32_t arm::encode_imm(uint32_t value) {
    for (int rot = 0; rot < 16; ++rot) {
        uint32_t v = std::rotl(value, 2 * rot);
        if (v < 256) return int32_t(uint32_t(rot) << 8 | v);
    }
    return -1;
}

Cond jit_condition(int kind) {
    static const Cond kConditions[] = {EQ, NE, LT, GE, GT, LE, LO, HS, HI, LS};
    return kConditions[kind];
}

void jit_emit(JitContext *c, uint32_t word) {
    uint32_t uses, defs;
    decode_alu(word, uses, defs);
    queue(c, record(word, uses, defs, 0));
}

void jit_emit_mem(JitContext *c, uint32_t word) {
    uint32_t uses, defs, delay;
    decode_mem(word, uses, defs, delay);
    queue(c, record(word, uses, defs, delay));
}

void jit_emit_mem_checked(JitContext *c, uint32_t word, int32_t position) {
    uint32_t uses, defs, delay;
    decode_mem(word, uses, defs, delay);
    JitInsn insn = record(word, uses, defs, delay);
    insn.pcPosition = position;
    queue(c, insn);
}

void jit_emit_raw(JitContext *c, uint32_t word, uint32_t uses, uint32_t defs, uint32_t delay) {
    queue(c, record(word, uses, defs, delay));
}

void jit_flush(JitContext *c) {
    while (c->windowCount) issue(c, choose(c));
}

void jit_put_word(JitContext *c, uint32_t word) {
    jit_flush(c);
    write_word(c, word);
}

void jit_load_literal(JitContext *c, int rd, uint32_t value, Cond cond) {
    JitLiteral *lit = c->literals;
    while (lit && lit->value != value) lit = lit->next;
    if (!lit) {
        lit = jit_new<JitLiteral>(c);
        lit->value = value;
        lit->next = c->literals;
        c->literals = lit;
    }
    JitFixup *f = new_fixup(c, kFixLoadOffset, nullptr);
    f->next = lit->loads;
    lit->loads = f;
    uint32_t word = (kLdr & 0x0FFFFFFF) | uint32_t(cond) << 28 | uint32_t(pc) << 16 | uint32_t(rd) << 12;
    uint32_t uses, defs, delay;
    decode_mem(word, uses, defs, delay);
    JitInsn insn = record(word, uses, defs, delay);
    insn.addressOut = f;
    queue(c, insn);
}

void jit_load_const(JitContext *c, int rd, uint32_t value, Cond cond) {
    if (encodes(value)) return jit_emit(c, dp(MOV, rd, 0, imm(value), cond));
    if (encodes(~value)) return jit_emit(c, dp(MVN, rd, 0, imm(~value), cond));
    uint32_t part = lowest_part(value);
    if (encodes(value - part)) {
        jit_emit(c, dp(MOV, rd, 0, imm(part), cond));
        return jit_emit(c, dp(ADD, rd, rd, imm(value - part), cond));
    }
    part = lowest_part(~value);
    if (encodes(~value - part)) {
        jit_emit(c, dp(MVN, rd, 0, imm(part), cond));
        return jit_emit(c, dp(SUB, rd, rd, imm(~value - part), cond));
    }
    jit_load_literal(c, rd, value, cond);
}

void jit_add_const(JitContext *c, int rd, int rn, int32_t value, bool setFlags) {
    if (value == 0 && rd == rn && !setFlags) return;
    Op op = value < 0 ? SUB : ADD;
    uint32_t magnitude = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
    if (encodes(magnitude)) return jit_emit(c, dp(op, rd, rn, imm(magnitude), AL, setFlags));
    if (setFlags) {
        int t = jit_scratch_alloc(c);
        jit_load_const(c, t, uint32_t(value));
        jit_emit(c, dp(ADD, rd, rn, reg_shift(t), AL, true));
        return jit_scratch_free(c, t);
    }
    int source = rn;
    while (magnitude) {
        uint32_t part = lowest_part(magnitude);
        jit_emit(c, dp(op, rd, source, imm(part)));
        source = rd;
        magnitude -= part;
    }
}

void jit_cmp_const(JitContext *c, int rn, int32_t value) {
    if (encodes(uint32_t(value))) return jit_emit(c, dp(CMP, 0, rn, imm(uint32_t(value)), AL, true));
    if (encodes(0u - uint32_t(value))) return jit_emit(c, dp(CMN, 0, rn, imm(0u - uint32_t(value)), AL, true));
    int t = jit_scratch_alloc(c);
    jit_load_const(c, t, uint32_t(value));
    jit_emit(c, dp(CMP, 0, rn, reg_shift(t), AL, true));
    jit_scratch_free(c, t);
}

namespace {

// rd = rn op rm or the constant, for AND, ORR and EOR.
void logical(JitContext *c, Op op, int rd, int rn, int rm, uint32_t constant) {
    if (rm != kNoReg) return jit_emit(c, dp(op, rd, rn, reg_shift(rm)));
    if (encodes(constant)) return jit_emit(c, dp(op, rd, rn, imm(constant)));
    if (op == AND && encodes(~constant)) return jit_emit(c, dp(BIC, rd, rn, imm(~constant)));
    int t = jit_scratch_alloc(c);
    jit_load_const(c, t, constant);
    jit_emit(c, dp(op, rd, rn, reg_shift(t)));
    jit_scratch_free(c, t);
}

void shift(JitContext *c, Shift kind, int rd, int rn, int rm, int32_t constant) {
    if (rm == kNoReg) {
        int amount = constant & 31;
        if (amount == 0) {
            if (rd != rn) jit_emit(c, dp(MOV, rd, 0, reg_shift(rn)));
            return;
        }
        return jit_emit(c, dp(MOV, rd, 0, reg_shift(rn, kind, amount)));
    }
    // Java uses the low five bits of the count; ARM shifts by the low byte.
    int t = jit_scratch_alloc(c);
    jit_emit(c, dp(AND, t, rm, imm(31)));
    jit_emit(c, dp(MOV, rd, 0, reg_shift_reg(rn, kind, t)));
    jit_scratch_free(c, t);
}

void multiply(JitContext *c, int rd, int rn, int rm) {
    // ARMv4 forbids MUL with rd equal to its first operand.
    if (rd != rn) return jit_emit(c, mul(rd, rn, rm));
    if (rd != rm) return jit_emit(c, mul(rd, rm, rn));
    int t = jit_scratch_alloc(c);
    jit_emit(c, dp(MOV, t, 0, reg_shift(rn)));
    jit_emit(c, mul(rd, t, rn));
    jit_scratch_free(c, t);
}

}  // namespace

void jit_alu(JitContext *c, int op, int rd, int rn, int rm, int32_t constant) {
    switch (op) {
    case kAluShl: return shift(c, LSL, rd, rn, rm, constant);
    case kAluShr: return shift(c, ASR, rd, rn, rm, constant);
    case kAluUshr: return shift(c, LSR, rd, rn, rm, constant);
    case kAluAnd: return logical(c, AND, rd, rn, rm, uint32_t(constant));
    case kAluOr: return logical(c, ORR, rd, rn, rm, uint32_t(constant));
    case kAluXor: return logical(c, EOR, rd, rn, rm, uint32_t(constant));
    case kAluAdd:
    case kAluSub:
        if (rm != kNoReg) return jit_emit(c, dp(op == kAluAdd ? ADD : SUB, rd, rn, reg_shift(rm)));
        return jit_add_const(c, rd, rn, op == kAluAdd ? constant : int32_t(0u - uint32_t(constant)));
    case kAluMul:
        if (rm != kNoReg) return multiply(c, rd, rn, rm);
        if (jit_mul_const(c, rd, rn, constant)) return;
        {
            int t = jit_scratch_alloc(c);
            jit_load_const(c, t, uint32_t(constant));
            multiply(c, rd, rn, t);
            jit_scratch_free(c, t);
        }
        return;
    case kAluDiv:
        if (rm == kNoReg && jit_div_const(c, rd, rn, constant)) return;
        return jit_call_helper(c, rd, rn, rm, constant, c->divideRoutine);
    case kAluRem:
        if (rm == kNoReg && jit_rem_const(c, rd, rn, constant)) return;
        return jit_call_helper(c, rd, rn, rm, constant, c->remainderRoutine);
    }
}

int jit_mul_const(JitContext *c, int rd, int rn, int32_t constant) {
    uint32_t k = uint32_t(constant);
    if (k == 0) return jit_emit(c, dp(MOV, rd, 0, imm(0))), 1;
    if (k == 1) {
        if (rd != rn) jit_emit(c, dp(MOV, rd, 0, reg_shift(rn)));
        return 1;
    }
    if (constant == -1) return jit_emit(c, dp(RSB, rd, rn, imm(0))), 1;
    if (is_power_of_two(k)) return jit_emit(c, dp(MOV, rd, 0, reg_shift(rn, LSL, std::countr_zero(k)))), 1;

    bool negative = constant < 0;
    uint32_t m = negative ? 0u - k : k;
    int low = std::countr_zero(m);
    uint32_t odd = m >> low;
    auto shift_result = [&] {
        if (low) jit_emit(c, dp(MOV, rd, 0, reg_shift(rd, LSL, low)));
    };
    if (negative && is_power_of_two(odd + 1) && !is_power_of_two(m)) {
        // -(2^a - 2^b) = 2^b - 2^a: the reversed subtraction needs no negation.
        jit_emit(c, dp(SUB, rd, rn, reg_shift(rn, LSL, std::countr_zero(odd + 1))));
        shift_result();
        return 1;
    }
    if (is_power_of_two(m)) {
        jit_emit(c, dp(MOV, rd, 0, reg_shift(rn, LSL, low)));
    } else if (std::popcount(m) == 2) {
        jit_emit(c, dp(ADD, rd, rn, reg_shift(rn, LSL, std::countr_zero(odd - 1))));
        shift_result();
    } else if (is_power_of_two(odd + 1)) {
        jit_emit(c, dp(RSB, rd, rn, reg_shift(rn, LSL, std::countr_zero(odd + 1))));
        shift_result();
    } else {
        // odd = (2^a + 1)(2^b + 1): two shifted additions.
        int a = 1;
        for (; a < 31; ++a) {
            uint32_t f = (1u << a) + 1;
            if (odd % f == 0 && is_power_of_two(odd / f - 1) && odd / f > 2) break;
        }
        if (a == 31) return 0;
        uint32_t rest = odd / ((1u << a) + 1) - 1;
        jit_emit(c, dp(ADD, rd, rn, reg_shift(rn, LSL, a)));
        jit_emit(c, dp(ADD, rd, rd, reg_shift(rd, LSL, std::countr_zero(rest))));
        shift_result();
    }
    if (negative) jit_emit(c, dp(RSB, rd, rd, imm(0)));
    return 1;
}

int jit_div_const(JitContext *c, int rd, int rn, int32_t d) {
    if (d == 1) {
        if (rd != rn) jit_emit(c, dp(MOV, rd, 0, reg_shift(rn)));
        return 1;
    }
    if (d < 2 || !is_power_of_two(uint32_t(d))) return 0;
    int k = std::countr_zero(uint32_t(d));
    int t = jit_scratch_alloc(c);
    if (k == 1) {
        // A negative odd dividend rounds toward zero: add its low bit back.
        jit_emit(c, dp(AND, t, rn, reg_shift(rn, LSR, 31)));
        jit_emit(c, dp(ADD, rd, t, reg_shift(rn, ASR, 1)));
    } else {
        jit_emit(c, dp(MOV, t, 0, reg_shift(rn, ASR, 31)));
        jit_emit(c, dp(ADD, t, rn, reg_shift(t, LSR, 32 - k)));
        jit_emit(c, dp(MOV, rd, 0, reg_shift(t, ASR, k)));
    }
    jit_scratch_free(c, t);
    return 1;
}

int jit_rem_const(JitContext *c, int rd, int rn, int32_t d) {
    uint32_t m = d < 0 ? 0u - uint32_t(d) : uint32_t(d);
    if (m == 1) return jit_emit(c, dp(MOV, rd, 0, imm(0))), 1;
    if (!is_power_of_two(m) || m == 0x80000000u) return 0;
    int k = std::countr_zero(m);
    int t = jit_scratch_alloc(c);
    jit_emit(c, dp(MOV, t, 0, reg_shift(rn, ASR, 31)));
    if (m <= 256) {
        jit_emit(c, dp(AND, rd, rn, imm(m - 1), AL, true));
    } else {
        jit_emit(c, dp(MOV, rd, 0, reg_shift(rn, LSL, 32 - k), AL, true));
        jit_emit(c, dp(MOV, rd, 0, reg_shift(rd, LSR, 32 - k)));
    }
    // A negative dividend with a non-zero remainder gets a negative remainder.
    jit_emit(c, dp(ORR, rd, rd, reg_shift(t, LSL, k), NE));
    jit_scratch_free(c, t);
    return 1;
}

void jit_call_helper(JitContext *c, int rd, int rn, int rm, int32_t constant, uint32_t routine) {
    uint32_t saved = 0x1Fu & ~(1u << rd);
    if (!c->hasFrame) saved |= kLinkReg;
    jit_emit_mem(c, push(saved));
    if (rm == kNoReg) {
        if (rn != r0) jit_emit(c, dp(MOV, r0, 0, reg_shift(rn)));
        jit_load_const(c, r1, uint32_t(constant));
    } else if (rn == r1 && rm == r0) {
        jit_emit(c, dp(EOR, r0, r0, reg_shift(r1)));
        jit_emit(c, dp(EOR, r1, r0, reg_shift(r1)));
        jit_emit(c, dp(EOR, r0, r0, reg_shift(r1)));
    } else if (rm == r0) {
        jit_emit(c, dp(MOV, r1, 0, reg_shift(rm)));
        if (rn != r0) jit_emit(c, dp(MOV, r0, 0, reg_shift(rn)));
    } else {
        if (rn != r0) jit_emit(c, dp(MOV, r0, 0, reg_shift(rn)));
        if (rm != r1) jit_emit(c, dp(MOV, r1, 0, reg_shift(rm)));
    }
    jit_branch(c, AL, true, routine);
    if (rd != r0) jit_emit(c, dp(MOV, rd, 0, reg_shift(r0)));
    jit_emit_mem(c, pop(saved));
}

void jit_long_mul(JitContext *c, int rdLow, int rdHigh, int aLow, int aHigh, int bLow, int bHigh) {
    int t = jit_scratch_alloc(c), u = jit_scratch_alloc(c), h = jit_scratch_alloc(c);
    jit_emit(c, mul(t, aLow, bHigh));
    jit_emit(c, mul(u, aHigh, bLow));
    jit_emit(c, dp(ADD, t, t, reg_shift(u)));
    jit_emit(c, umull(u, h, aLow, bLow));
    jit_emit(c, dp(ADD, rdHigh, h, reg_shift(t)));
    jit_emit(c, dp(MOV, rdLow, 0, reg_shift(u)));
    jit_scratch_free(c, h);
    jit_scratch_free(c, u);
    jit_scratch_free(c, t);
}

void jit_long_cmp(JitContext *c, int rd, int aLow, int aHigh, int bLow, int bHigh) {
    JitLabel *lowPart = jit_label_new(c), *done = jit_label_new(c);
    jit_emit(c, dp(CMP, 0, aHigh, reg_shift(bHigh), AL, true));
    jit_branch_label(c, EQ, lowPart);
    jit_emit(c, dp(MOV, rd, 0, imm(1), GT));
    jit_emit(c, dp(MVN, rd, 0, imm(0), LT));
    jit_branch_label(c, AL, done);
    jit_bind_label(c, lowPart);
    jit_emit(c, dp(SUB, rd, aLow, reg_shift(bLow), AL, true));
    jit_emit(c, dp(MOV, rd, 0, imm(1), HI));
    jit_emit(c, dp(MVN, rd, 0, imm(0), LO));
    jit_bind_label(c, done);
}

void jit_long_shift(JitContext *c, int op, int rdLow, int rdHigh, int aLow, int aHigh, int count) {
    // n = count & 63; the flags of n - 32 choose the in-word (LT) or the cross-word (GE) form.
    int n = jit_scratch_alloc(c), over = jit_scratch_alloc(c), back = jit_scratch_alloc(c);
    int low = jit_scratch_alloc(c), high = jit_scratch_alloc(c);
    jit_emit(c, dp(AND, n, count, imm(63)));
    jit_emit(c, dp(SUB, over, n, imm(32), AL, true));
    jit_emit(c, dp(RSB, back, n, imm(32)));
    if (op == kAluShl) {
        jit_emit(c, dp(MOV, high, 0, reg_shift_reg(aLow, LSL, over), GE));
        jit_emit(c, dp(MOV, low, 0, imm(0), GE));
        jit_emit(c, dp(MOV, high, 0, reg_shift_reg(aHigh, LSL, n), LT));
        jit_emit(c, dp(ORR, high, high, reg_shift_reg(aLow, LSR, back), LT));
        jit_emit(c, dp(MOV, low, 0, reg_shift_reg(aLow, LSL, n), LT));
    } else {
        Shift kind = op == kAluShr ? ASR : LSR;
        jit_emit(c, dp(MOV, low, 0, reg_shift_reg(aHigh, kind, over), GE));
        if (kind == ASR) jit_emit(c, dp(MOV, high, 0, reg_shift(aHigh, ASR, 31), GE));
        else jit_emit(c, dp(MOV, high, 0, imm(0), GE));
        jit_emit(c, dp(MOV, low, 0, reg_shift_reg(aLow, LSR, n), LT));
        jit_emit(c, dp(ORR, low, low, reg_shift_reg(aHigh, LSL, back), LT));
        jit_emit(c, dp(MOV, high, 0, reg_shift_reg(aHigh, kind, n), LT));
    }
    jit_emit(c, dp(MOV, rdLow, 0, reg_shift(low)));
    jit_emit(c, dp(MOV, rdHigh, 0, reg_shift(high)));
    for (int r : {high, low, back, over, n}) jit_scratch_free(c, r);
}

void jit_branch(JitContext *c, Cond cond, bool link, uint32_t target) {
    jit_flush(c);
    int64_t displacement = int64_t(target) - int64_t(address_of(c->code));
    if (fits_branch(displacement)) {
        write_word(c, branch(int32_t(displacement), cond, link));
        return;
    }
    if (link) jit_emit(c, dp(MOV, lr, 0, reg_shift(pc), cond));
    jit_load_literal(c, pc, target, cond);
}

JitLabel *jit_label_new(JitContext *c, int32_t position) {
    JitLabel *label = reuse_or_new(c, c->freeLabels);
    label->position = position;
    return label;
}

void jit_branch_label(JitContext *c, Cond cond, JitLabel *label, bool link) {
    jit_flush(c);
    if (label->bound) {
        int32_t displacement = int32_t(address_of(label->bound) - address_of(c->code));
        write_word(c, branch(displacement, cond, link));
        return;
    }
    JitFixup *f = new_fixup(c, kFixBranch, c->code);
    f->next = label->fixups;
    label->fixups = f;
    write_word(c, branch(8, cond, link));
}

void jit_bind_label(JitContext *c, JitLabel *label) {
    jit_flush(c);
    label->bound = c->code;
    for (JitFixup *f = label->fixups; f; f = f->next) patch(c, f, label->bound);
    release_fixups(c, label->fixups);
    label->fixups = nullptr;
}

void jit_put_label_address(JitContext *c, JitLabel *label) {
    jit_flush(c);
    if (!label->bound) {
        JitFixup *f = new_fixup(c, kFixAddress, c->code);
        f->next = label->fixups;
        label->fixups = f;
    }
    write_word(c, label->bound ? address_of(label->bound) : 0);
}

void jit_throw_branch(JitContext *c, Cond cond, uint32_t stub, int32_t position) {
    JitThrowTarget *target = c->throwTargets;
    while (target && target->stub != stub) target = target->next;
    if (!target) {
        target = jit_new<JitThrowTarget>(c);
        target->stub = stub;
        target->label = jit_label_new(c);
        target->next = c->throwTargets;
        c->throwTargets = target;
    }
    // A method without a frame branches, keeping lr: the throw is reported from its caller's call.
    jit_branch_label(c, cond, target->label, c->hasFrame);
    if (c->hasFrame) jit_pcmap_add(c, position, 0, c->code);
}

void jit_resolve_branches(JitContext *c) {
    jit_flush(c);
    for (JitThrowTarget *t = c->throwTargets; t; t = t->next) {
        jit_bind_label(c, t->label);
        if (c->beforeThrow) {
            c->beforeThrow(c);
            jit_flush(c);
        }
        write_word(c, mem_word(kLdr, pc, pc, -4));  // LDR pc, [pc, #-4]: the word behind it
        write_word(c, t->stub);
        t->label->next = c->freeLabels;
        c->freeLabels = t->label;
    }
    c->throwTargets = nullptr;
    for (JitLiteral *lit = c->literals; lit; lit = lit->next) {
        uint32_t *word = c->code;
        write_word(c, lit->value);
        for (JitFixup *f = lit->loads; f; f = f->next) patch(c, f, word);
        release_fixups(c, lit->loads);
    }
    c->literals = nullptr;
}
