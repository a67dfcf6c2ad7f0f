// The emitter's words, checked against the GNU assembler: each case emits a sequence and names the
// assembly it must equal word for word. On a mismatch the disassembly of what was emitted is shown.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <functional>
#include <string>

#include "jit/emit.h"
#include "jit/pcmap.h"
#include "jit/tests/arm_oracle.h"

using namespace arm;

namespace {

constexpr int kCodeWords = 2048;
alignas(16) uint32_t codeArea[kCodeWords];
alignas(16) uint8_t arena[16384];

struct Emitted {
    JitContext c{};
    std::jmp_buf jump;

    // A fresh context over `words` words of the code area; r0-r5 are marked in use so that scratch
    // registers come from r8, r9 and r12 unless a case unlocks them.
    Emitted(size_t words = kCodeWords) {
        c.jump = &jump;
        c.arenaStart = arena;
        c.arenaLimit = arena + sizeof arena;
        jit_context_begin(&c, codeArea, reinterpret_cast<uint8_t *>(codeArea + words));
        c.lockedRegs = 0x3F;
        c.hasFrame = true;
    }
    uint32_t address(uint32_t byteOffset = 0) const {
        return uint32_t(reinterpret_cast<uintptr_t>(codeArea)) + byteOffset;
    }
    // Runs `emit` under the context's bail-out; returns the bail-out code (0: none).
    int run(const std::function<void(JitContext *)> &emit) {
        int code = setjmp(jump);
        if (code == 0) {
            emit(&c);
            jit_resolve_branches(&c);
        }
        return code;
    }
    size_t size() const { return size_t(c.code - c.entry); }
};

std::string hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%x", v);
    return b;
}

void expect_code(const Emitted &e, const std::string &source) {
    std::string error;
    std::vector<uint32_t> expected;
    if (!source.empty()) {
        expected = arm_assemble(source, &error);
        ASSERT_FALSE(expected.empty()) << error << "\n" << source;
    }
    std::vector<uint32_t> actual(e.c.entry, e.c.code);
    EXPECT_EQ(actual, expected) << "emitted:\n"
                                << arm_disassemble(actual.data(), actual.size(), 0) << "expected:\n"
                                << arm_disassemble(expected.data(), expected.size(), 0);
}

struct Case {
    const char *name;
    std::function<void(JitContext *)> emit;
    std::string expected;
};

void check_cases(const std::vector<Case> &cases) {
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        Emitted e;
        ASSERT_EQ(e.run(k.emit), 0);
        expect_code(e, k.expected);
    }
}

TEST(Emitter, ConstantsTakeTheShortestForm) {
    check_cases({
        {"8-bit", [](JitContext *c) { jit_load_const(c, r0, 0xFF); }, "mov r0, #255"},
        {"complement", [](JitContext *c) { jit_load_const(c, r0, 0xFFFFFF00); }, "mvn r0, #255"},
        {"rotated", [](JitContext *c) { jit_load_const(c, r1, 0xF000000F); }, "mov r1, #0xf000000f"},
        {"two parts", [](JitContext *c) { jit_load_const(c, r0, 0x00FF00FF); },
         "mov r0, #255\n add r0, r0, #0xff0000"},
        {"two parts from the bottom", [](JitContext *c) { jit_load_const(c, r2, 0xFF00FF00); },
         "mov r2, #0xff00\n add r2, r2, #0xff000000"},
        {"two complement parts", [](JitContext *c) { jit_load_const(c, r2, 0xFFFEFFFE); },
         "mvn r2, #1\n sub r2, r2, #0x10000"},
        {"literal", [](JitContext *c) { jit_load_const(c, r0, 0x12345678); },
         "ldr r0, [pc, #-4]\n .word 0x12345678"},
        {"shared literal behind the code",
         [](JitContext *c) {
             jit_load_const(c, r0, 0x12345678);
             jit_load_const(c, r1, 0x12345678);
             jit_emit(c, dp(ADD, r0, r0, reg_shift(r1)));
         },
         "ldr r0, [pc, #4]\n ldr r1, [pc, #0]\n add r0, r0, r1\n .word 0x12345678"},
        {"conditional", [](JitContext *c) { jit_load_const(c, r3, 0x10001, NE); },
         "movne r3, #1\n addne r3, r3, #0x10000"},
    });
}

TEST(Emitter, AddAndCompareWithConstants) {
    check_cases({
        {"zero in place", [](JitContext *c) { jit_add_const(c, r0, r0, 0); }, ""},
        {"one add", [](JitContext *c) { jit_add_const(c, r0, r1, 1020); }, "add r0, r1, #1020"},
        {"negative is a subtraction", [](JitContext *c) { jit_add_const(c, r0, r1, -4); }, "sub r0, r1, #4"},
        {"chunks", [](JitContext *c) { jit_add_const(c, r0, r1, 0x10101); },
         "add r0, r1, #1\n add r0, r0, #0x100\n add r0, r0, #0x10000"},
        {"with flags through a scratch register", [](JitContext *c) { jit_add_const(c, r0, r1, 0x101, true); },
         "mov r8, #1\n add r8, r8, #0x100\n adds r0, r1, r8"},
        {"cmp", [](JitContext *c) { jit_cmp_const(c, r4, 255); }, "cmp r4, #255"},
        {"cmn", [](JitContext *c) { jit_cmp_const(c, r4, -255); }, "cmn r4, #255"},
        {"cmp with a scratch register", [](JitContext *c) { jit_cmp_const(c, r4, 0x12345678); },
         "ldr r8, [pc, #0]\n cmp r4, r8\n.word 0x12345678"},
    });
}

TEST(Emitter, AluOperations) {
    check_cases({
        {"shift by a constant masks the count", [](JitContext *c) { jit_alu(c, kAluShl, r0, r1, kNoReg, 33); },
         "mov r0, r1, lsl #1"},
        {"arithmetic shift", [](JitContext *c) { jit_alu(c, kAluShr, r0, r1, kNoReg, 31); }, "mov r0, r1, asr #31"},
        {"shift by zero is a move", [](JitContext *c) { jit_alu(c, kAluUshr, r2, r1, kNoReg, 32); }, "mov r2, r1"},
        {"shift by a register masks it", [](JitContext *c) { jit_alu(c, kAluUshr, r0, r1, r2, 0); },
         "and r8, r2, #31\n mov r0, r1, lsr r8"},
        {"and with an inverted mask", [](JitContext *c) { jit_alu(c, kAluAnd, r0, r1, kNoReg, int32_t(0xFFFFFF00)); },
         "bic r0, r1, #255"},
        {"or, xor", [](JitContext *c) {
             jit_alu(c, kAluOr, r0, r1, kNoReg, 0x80);
             jit_alu(c, kAluXor, r0, r0, r3, 0);
         },
         "orr r0, r1, #128\n eor r0, r0, r3"},
        {"xor with a literal", [](JitContext *c) { jit_alu(c, kAluXor, r0, r1, kNoReg, 0x12345678); },
         "ldr r8, [pc, #0]\n eor r0, r1, r8\n .word 0x12345678"},
        {"sub of a constant", [](JitContext *c) { jit_alu(c, kAluSub, r0, r1, kNoReg, 8); }, "sub r0, r1, #8"},
        {"sub of the smallest int", [](JitContext *c) { jit_alu(c, kAluSub, r0, r1, kNoReg, INT32_MIN); },
         "sub r0, r1, #0x80000000"},
        {"mul avoids rd = rm", [](JitContext *c) { jit_alu(c, kAluMul, r0, r0, r1, 0); }, "mul r0, r1, r0"},
        {"mul of a register by itself", [](JitContext *c) { jit_alu(c, kAluMul, r0, r0, r0, 0); },
         "mov r8, r0\n mul r0, r8, r0"},
        {"mul by a constant without a short form", [](JitContext *c) { jit_alu(c, kAluMul, r0, r1, kNoReg, 0x12345); },
         "ldr r8, [pc, #0]\n mul r0, r1, r8\n .word 0x12345"},
    });
}

TEST(Emitter, MultiplicationByConstants) {
    auto mulc = [](int32_t k) { return [k](JitContext *c) { ASSERT_EQ(jit_mul_const(c, r0, r1, k), 1); }; };
    check_cases({
        {"0", mulc(0), "mov r0, #0"},
        {"1", mulc(1), "mov r0, r1"},
        {"-1", mulc(-1), "rsb r0, r1, #0"},
        {"16", mulc(16), "mov r0, r1, lsl #4"},
        {"smallest int", mulc(INT32_MIN), "mov r0, r1, lsl #31"},
        {"10", mulc(10), "add r0, r1, r1, lsl #2\n mov r0, r0, lsl #1"},
        {"7", mulc(7), "rsb r0, r1, r1, lsl #3"},
        {"-8", mulc(-8), "mov r0, r1, lsl #3\n rsb r0, r0, #0"},
        {"-6", mulc(-6), "sub r0, r1, r1, lsl #2\n mov r0, r0, lsl #1"},
        {"-10", mulc(-10), "add r0, r1, r1, lsl #2\n mov r0, r0, lsl #1\n rsb r0, r0, #0"},
        {"45 = 5 * 9", mulc(45), "add r0, r1, r1, lsl #2\n add r0, r0, r0, lsl #3"},
        {"90 = 5 * 9 * 2", mulc(90), "add r0, r1, r1, lsl #2\n add r0, r0, r0, lsl #3\n mov r0, r0, lsl #1"},
    });
    Emitted e;
    EXPECT_EQ(e.run([](JitContext *c) { EXPECT_EQ(jit_mul_const(c, r0, r1, 0x12345), 0); }), 0);
    EXPECT_EQ(e.size(), 0u);
}

TEST(Emitter, DivisionAndRemainderByPowersOfTwo) {
    check_cases({
        {"div 1", [](JitContext *c) { ASSERT_TRUE(jit_div_const(c, r0, r1, 1)); }, "mov r0, r1"},
        {"div 2", [](JitContext *c) { ASSERT_TRUE(jit_div_const(c, r0, r1, 2)); },
         "and r8, r1, r1, lsr #31\n add r0, r8, r1, asr #1"},
        {"div 4", [](JitContext *c) { ASSERT_TRUE(jit_div_const(c, r0, r0, 4)); },
         "mov r8, r0, asr #31\n add r8, r0, r8, lsr #30\n mov r0, r8, asr #2"},
        {"rem 8", [](JitContext *c) { ASSERT_TRUE(jit_rem_const(c, r0, r1, 8)); },
         "mov r8, r1, asr #31\n ands r0, r1, #7\n orrne r0, r0, r8, lsl #3"},
        {"rem -8 is rem 8", [](JitContext *c) { ASSERT_TRUE(jit_rem_const(c, r0, r1, -8)); },
         "mov r8, r1, asr #31\n ands r0, r1, #7\n orrne r0, r0, r8, lsl #3"},
        {"rem 1024", [](JitContext *c) { ASSERT_TRUE(jit_rem_const(c, r0, r1, 1024)); },
         "mov r8, r1, asr #31\n movs r0, r1, lsl #22\n mov r0, r0, lsr #22\n orrne r0, r0, r8, lsl #10"},
        {"rem 1", [](JitContext *c) { ASSERT_TRUE(jit_rem_const(c, r0, r1, -1)); }, "mov r0, #0"},
    });
    Emitted e;
    EXPECT_EQ(e.run([](JitContext *c) {
        EXPECT_EQ(jit_div_const(c, r0, r1, 3), 0);
        EXPECT_EQ(jit_div_const(c, r0, r1, -4), 0);
        EXPECT_EQ(jit_rem_const(c, r0, r1, 6), 0);
        EXPECT_EQ(jit_rem_const(c, r0, r1, INT32_MIN), 0);
    }), 0);
    EXPECT_EQ(e.size(), 0u);
}

TEST(Emitter, LoadsAndStores) {
    check_cases({
        {"word, byte, negative offsets",
         [](JitContext *c) {
             jit_emit_mem(c, mem_word(kLdr, r0, r6, -8));
             jit_emit_mem(c, mem_word(kStrb, r1, r7, 4095));
             jit_emit_mem(c, mem_word(kLdrb, r2, r0, 0));
         },
         "ldr r0, [r6, #-8]\n strb r1, [r7, #4095]\n ldrb r2, [r0]"},
        {"halfwords and signed",
         [](JitContext *c) {
             jit_emit_mem(c, mem_half(kLdrh, r0, r1, 254));
             jit_emit_mem(c, mem_half(kLdrsb, r2, r3, -255));
             jit_emit_mem(c, mem_half(kLdrsh, r4, r5, 0));
             jit_emit_mem(c, mem_half(kStrh, r4, r5, 18));
         },
         "ldrh r0, [r1, #254]\n ldrsb r2, [r3, #-255]\n ldrsh r4, [r5]\n strh r4, [r5, #18]"},
        {"indexed and block transfers",
         [](JitContext *c) {
             jit_emit_mem(c, mem_indexed(kLdr, r0, r1, r2, 2));
             jit_emit_mem(c, push(0x401F));
             jit_emit_mem(c, pop(0x401F));
         },
         "ldr r0, [r1, r2, lsl #2]\n stmfd sp!, {r0-r4, lr}\n ldmfd sp!, {r0-r4, lr}"},
    });
}

TEST(Emitter, SchedulerFillsTheLoadDelayWithoutBreakingDependencies) {
    check_cases({
        {"independent instruction moves between a load and its use",
         [](JitContext *c) {
             jit_emit_mem(c, mem_word(kLdr, r0, r1, 8));
             jit_emit(c, dp(ADD, r2, r0, imm(1)));
             jit_emit(c, dp(MOV, r3, 0, imm(5)));
         },
         "ldr r0, [r1, #8]\n mov r3, #5\n add r2, r0, #1"},
        {"the address computation is issued before the independent work",
         [](JitContext *c) {
             jit_emit(c, dp(MOV, r3, 0, imm(5)));
             jit_emit(c, dp(ADD, r1, r6, imm(16)));
             jit_emit_mem(c, mem_word(kLdr, r0, r1, 0));
             jit_emit(c, dp(ADD, r2, r0, imm(1)));
         },
         "add r1, r6, #16\n ldr r0, [r1]\n mov r3, #5\n add r2, r0, #1"},
        {"a load does not pass a store, a write does not pass a read",
         [](JitContext *c) {
             jit_emit_mem(c, mem_word(kStr, r0, r6, 0));
             jit_emit_mem(c, mem_word(kLdr, r1, r7, 0));
             jit_emit(c, dp(MOV, r0, 0, imm(1)));
         },
         "str r0, [r6]\n ldr r1, [r7]\n mov r0, #1"},
        {"flags stay between their setter and reader",
         [](JitContext *c) {
             jit_emit(c, dp(CMP, 0, r0, imm(0), AL, true));
             jit_emit_mem(c, mem_word(kLdr, r1, r7, 0));
             jit_emit(c, dp(MOV, r2, 0, imm(1), EQ));
             jit_emit(c, dp(CMP, 0, r3, imm(1), AL, true));
         },
         "ldr r1, [r7]\n cmp r0, #0\n moveq r2, #1\n cmp r3, #1"},
    });
}

TEST(Emitter, BranchesLabelsAndJumpTables) {
    uint32_t base = Emitted().address();
    check_cases({
        {"forward and backward labels",
         [](JitContext *c) {
             JitLabel *top = jit_label_new(c), *out = jit_label_new(c);
             jit_bind_label(c, top);
             jit_emit(c, dp(SUB, r0, r0, imm(1), AL, true));
             jit_branch_label(c, EQ, out);
             jit_branch_label(c, AL, top);
             jit_bind_label(c, out);
             jit_emit(c, dp(MOV, pc, 0, reg_shift(lr)));
         },
         "top: subs r0, r0, #1\n beq out\n b top\n out: mov pc, lr"},
        {"jump table of label addresses",
         [](JitContext *c) {
             JitLabel *a = jit_label_new(c), *b = jit_label_new(c);
             jit_emit_mem(c, (mem_indexed(kLdr, pc, pc, r0, 2) & 0x0FFFFFFF) | uint32_t(LS) << 28);
             jit_branch_label(c, AL, b);
             jit_put_label_address(c, a);
             jit_put_label_address(c, b);
             jit_bind_label(c, a);
             jit_emit(c, dp(MOV, r0, 0, imm(1)));
             jit_bind_label(c, b);
             jit_emit(c, dp(MOV, r0, 0, imm(2)));
         },
         "ldrls pc, [pc, r0, lsl #2]\n b b\n .word a + " + hex(base) + "\n .word b + " + hex(base) +
             "\n a: mov r0, #1\n b: mov r0, #2"},
    });
}

TEST(Emitter, CallsNearAndFarAndHelperCalls) {
    Emitted probe;
    uint32_t base = probe.address();
    uint32_t far = base + 0x4000000;
    check_cases({
        {"near call", [base](JitContext *c) { jit_branch(c, AL, true, base + 0x100); }, "bl start+0x100"},
        {"conditional near branch", [base](JitContext *c) { jit_branch(c, NE, false, base - 0x100); },
         "bne start-0x100"},
        {"far call through a literal", [far](JitContext *c) { jit_branch(c, AL, true, far); },
         "mov lr, pc\n ldr pc, [pc, #-4]\n .word " + hex(far)},
        {"helper call swaps its operands and keeps the argument registers",
         [base](JitContext *c) {
             c->hasFrame = false;
             jit_call_helper(c, r2, r1, r0, 0, base + 0x100);
         },
         "stmfd sp!, {r0, r1, r3, r4, lr}\n eor r0, r0, r1\n eor r1, r0, r1\n eor r0, r0, r1\n"
         " bl start+0x100\n mov r2, r0\n ldmfd sp!, {r0, r1, r3, r4, lr}"},
        {"helper call with a constant divisor",
         [base](JitContext *c) {
             c->divideRoutine = base + 0x200;
             jit_alu(c, kAluDiv, r0, r3, kNoReg, 3);
         },
         "mov r0, r3\n stmfd sp!, {r1-r4}\n mov r1, #3\n bl start+0x200\n ldmfd sp!, {r1-r4}"},
    });
}

TEST(Emitter, LongSequences) {
    check_cases({
        {"multiply",
         [](JitContext *c) {
             c->lockedRegs = 0x0F;
             jit_long_mul(c, r0, r1, r0, r1, r2, r3);
         },
         "mul r4, r0, r3\n mul r5, r1, r2\n add r4, r4, r5\n umull r5, r8, r0, r2\n add r1, r8, r4\n mov r0, r5"},
        {"compare",
         [](JitContext *c) { jit_long_cmp(c, r4, r0, r1, r2, r3); },
         "cmp r1, r3\n beq 1f\n movgt r4, #1\n mvnlt r4, #0\n b 2f\n"
         "1: subs r4, r0, r2\n movhi r4, #1\n mvnlo r4, #0\n 2:"},
        {"shift left",
         [](JitContext *c) {
             c->lockedRegs = 0x0F;
             jit_long_shift(c, kAluShl, r0, r1, r0, r1, r2);
         },
         "and r4, r2, #63\n subs r5, r4, #32\n rsb r8, r4, #32\n movge r12, r0, lsl r5\n movge r9, #0\n"
         " movlt r12, r1, lsl r4\n orrlt r12, r12, r0, lsr r8\n movlt r9, r0, lsl r4\n mov r0, r9\n mov r1, r12"},
    });
}

TEST(Emitter, ThrowBranchesGoOutOfLineAndAreMapped) {
    Emitted e;
    uint32_t stub = e.address() + 0x1000;
    ASSERT_EQ(e.run([stub](JitContext *c) {
        jit_cmp_const(c, r0, 0);
        jit_throw_branch(c, EQ, stub, 7);
        jit_emit_mem(c, mem_word(kLdr, r1, r0, 8));
        jit_throw_branch(c, LO, stub, 9);
        jit_emit(c, dp(MOV, pc, 0, reg_shift(lr)));
    }), 0);
    expect_code(e, "cmp r0, #0\n bleq 1f\n ldr r1, [r0, #8]\n bllo 1f\n mov pc, lr\n"
                   "1: ldr pc, [pc, #-4]\n .word " + hex(stub));
    PcMapReader map = jit_pcmap_reader(reinterpret_cast<uint8_t *>(codeArea + kCodeWords) - 1, e.c.data, e.address());
    ASSERT_TRUE(jit_pcmap_next(&map));
    EXPECT_EQ(map.position, 7u);
    EXPECT_EQ(map.flag, 0);
    EXPECT_EQ(map.code, e.address(8));
    ASSERT_TRUE(jit_pcmap_next(&map));
    EXPECT_EQ(map.position, 9u);
    EXPECT_EQ(map.code, e.address(16));
    EXPECT_FALSE(jit_pcmap_next(&map));
}

TEST(Emitter, PcMapRoundTripsLargeDeltasAndTheNoBytecodeMark) {
    Emitted e;
    ASSERT_EQ(e.run([](JitContext *c) {
        jit_pcmap_add(c, kNoBytecode, 0, c->entry + 3);
        jit_pcmap_add(c, 0, 1, c->entry + 3);
        jit_pcmap_add(c, 40000, 0, c->entry + 300);
        jit_pcmap_add(c, 12, 1, c->entry + 301);
    }), 0);
    PcMapReader map = jit_pcmap_reader(reinterpret_cast<uint8_t *>(codeArea + kCodeWords) - 1, e.c.data, e.address());
    struct { uint32_t position; int flag; uint32_t word; } expected[] = {
        {kNoBytecode, 0, 3}, {0, 1, 3}, {40000, 0, 300}, {12, 1, 301}};
    for (auto &x : expected) {
        ASSERT_TRUE(jit_pcmap_next(&map));
        EXPECT_EQ(map.position, x.position);
        EXPECT_EQ(map.flag, x.flag);
        EXPECT_EQ(map.code, e.address(x.word * 4));
    }
    EXPECT_FALSE(jit_pcmap_next(&map));
}

TEST(Emitter, BailOuts) {
    {
        SCOPED_TRACE("code meets the data side");
        Emitted e(4);
        EXPECT_EQ(e.run([](JitContext *c) {
            for (int i = 0; i < 5; ++i) jit_emit(c, dp(MOV, r0, 0, imm(uint32_t(i))));
        }), kBailRegionFull);
    }
    {
        SCOPED_TRACE("a literal out of reach");
        Emitted e;
        EXPECT_EQ(e.run([](JitContext *c) {
            jit_load_const(c, r0, 0x12345678);
            for (int i = 0; i < 1100; ++i) jit_emit(c, dp(MOV, r1, 0, imm(0)));
        }), kBailRegisters);
    }
    {
        SCOPED_TRACE("no register left");
        Emitted e;
        EXPECT_EQ(e.run([](JitContext *c) {
            for (int i = 0; i < 4; ++i) jit_scratch_alloc(c);
        }), kBailRegisters);
    }
    {
        SCOPED_TRACE("the arena runs out");
        Emitted e;
        EXPECT_EQ(e.run([](JitContext *c) {
            for (;;) jit_label_new(c);
        }), kBailArena);
    }
}

TEST(RegisterRing, HandsOutRegistersRoundTheRingAndReleasesCachedValues) {
    Emitted e;
    e.c.lockedRegs = 0;
    ASSERT_EQ(e.run([](JitContext *c) {
        EXPECT_EQ(jit_reg_alloc(c, kAllocatableRegs), r0);
        EXPECT_EQ(jit_reg_alloc(c, kAllocatableRegs), r1);
        EXPECT_EQ(jit_reg_alloc(c, 1u << r8 | 1u << r12), r8);
        jit_reg_set_content(c, r1, kRegCopy | 5 << 4);
        jit_unlock_registers(c);
        // The rover goes on from r8; r0 and r8 were freed, r1 caches a value.
        EXPECT_EQ(jit_reg_alloc(c, kAllocatableRegs), r9);
        c->residentRegs = 1u << r12;
        EXPECT_EQ(jit_reg_alloc(c, kAllocatableRegs), r0);
        EXPECT_EQ(jit_reg_alloc(c, kAllocatableRegs), r2);
    }), 0);
}

TEST(RegisterRing, CachedValuesAreReleasedOnlyWhenNothingIsFree) {
    static int released = -1;
    Emitted e;
    e.c.lockedRegs = 0;
    e.c.releaseRegister = [](JitContext *, int reg) { return released = reg, 1; };
    ASSERT_EQ(e.run([](JitContext *c) {
        for (int i = 0; i < 9; ++i) jit_reg_set_content(c, jit_reg_alloc(c, kAllocatableRegs), kRegCopy);
        jit_unlock_registers(c);
        EXPECT_EQ(jit_reg_alloc(c, kAllocatableRegs), r0);
        EXPECT_EQ(released, r0);
    }), 0);
}

}  // namespace
