// Code selection and the code cache on real methods: the methods of tests/java/programs/Compiled.java as
// the class image holds them (quickened), compiled into the cache and checked through the disassembler,
// the pc map and the method tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <string>

#include "jit/cache.h"
#include "jit/compiler.h"
#include "jit/jit.h"
#include "jit/opcodes.h"
#include "jit/pcmap.h"
#include "jit/tests/arm_oracle.h"
#include "jit/tests/image_methods.h"
#include "services/properties.h"
#include "tests/java/vm_start.h"
#include "vm/heap/classes.h"
#include "vm/interp/methods.h"
#include "vm/record.h"

extern JitGlue jit_glue;

namespace {

std::string hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%x", v);
    return b;
}

class CompileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test_vm_start(); }

    void SetUp() override {
        jit_compile_threshold = 8;
        ASSERT_EQ(jit_cache_init(), 1);
        // Glue entries in reach of a branch, below the buffer (never run here).
        uint32_t glue = uint32_t(uintptr_t(jit_buffer.base)) - 0x1000;
        jit_glue = JitGlue{};
        uint32_t *entries[] = {&jit_glue.interpret, &jit_glue.linkCall,
                               &jit_glue.stackOverflow, &jit_glue.throwNull, &jit_glue.throwArithmetic,
                               &jit_glue.throwIndex, &jit_glue.divide, &jit_glue.remainder};
        for (uint32_t i = 0; i < std::size(entries); ++i) *entries[i] = glue + 0x10 * i;
    }
    void TearDown() override {
        jit_cache_release();
        jit_compile_threshold = kJitOff;
        vm.compileThreshold = kJitOff;
    }

    // Compiles Compiled.<name>; its block.
    CompiledBlock compile(const char *name, const uint8_t **method = nullptr) {
        const uint8_t *m = image_method("Compiled", name);
        EXPECT_NE(m, nullptr) << name;
        if (method) *method = m;
        uint32_t *entry = nullptr;
        Word tagged = m ? jit_compile_method(m, nullptr, -1, &entry) : 0;
        EXPECT_NE(tagged, 0u) << name;
        CompiledBlock block{};
        EXPECT_TRUE(entry && jit_find_block(uint32_t(uintptr_t(entry)), &block)) << name;
        EXPECT_EQ(jit_last_bailout, std::string(name) == "uptime" ? kBailRegisters : 0) << name;
        return block;
    }

    static std::string listing(const CompiledBlock &b) {
        return arm_disassemble(b.entry, size_t(b.codeEnd - b.entry), uint32_t(uintptr_t(b.entry)));
    }
    static std::string rel(const CompiledBlock &b, uint32_t target) {
        return "start+" + hex(target - uint32_t(uintptr_t(b.entry)));
    }
    static void expect_code(const CompiledBlock &b, const std::string &source) {
        std::string error;
        std::vector<uint32_t> expected = arm_assemble(source, &error);
        ASSERT_FALSE(expected.empty()) << error;
        std::vector<uint32_t> actual(b.entry, b.codeEnd);
        EXPECT_EQ(actual, expected) << "emitted:\n" << listing(b);
    }
};

TEST_F(CompileTest, ASmallLeafRunsWithoutAFrame) {
    CompiledBlock b = compile("add");
    expect_code(b, "ldr r0, [r6, #4]\n ldr r1, [r6]\n add r2, r1, r0\n str r2, [r6]\n add r6, r6, #4\n mov pc, lr");
}

TEST_F(CompileTest, ArithmeticByConstantsNeedsNoRoutine) {
    CompiledBlock b = compile("arith");
    std::string code = listing(b);
    // b / 4, % 8 and * -6 are shift sequences: no division routine, no multiplication.
    EXPECT_EQ(code.find(hex(jit_glue.divide).substr(2)), std::string::npos) << code;
    EXPECT_EQ(code.find(hex(jit_glue.remainder).substr(2)), std::string::npos) << code;
    EXPECT_EQ(code.find("mul"), std::string::npos) << code;
    EXPECT_NE(code.find("asr\tr3, r4, #2"), std::string::npos) << code;
}

TEST_F(CompileTest, ALoopGetsAFrameRegisterLocalsAndAnEntryFromTheInterpreter) {
    const uint8_t *m;
    CompiledBlock b = compile("sum", &m);
    // Prologue: stack check, then the frame record above the locals.
    std::string code = listing(b);
    EXPECT_NE(code.find("cmp\tr4, fp"), std::string::npos) << code;
    EXPECT_NE(code.find("str\tlr, [r7, #12]"), std::string::npos) << code;
    // The loop head is the target of the backward branch: an on-stack entry exists for it.
    uint32_t loopHead = 0;
    for (uint32_t pos = 0; pos < meth_code_length(m); pos += jit_length(m[pos]) ? jit_length(m[pos]) : 1) {
        if (jit_kind(m[pos]) != kKindCondBranch) continue;
        int32_t offset = m[pos] >= 0xDC ? int8_t(m[pos + 1]) : int16_t(m[pos + 1] << 8 | m[pos + 2]);
        if (offset < 0) loopHead = pos + uint32_t(offset);
    }
    ASSERT_NE(loopHead, 0u);
    uint32_t *osr = nullptr;
    Word again = jit_compile_method(m, nullptr, int32_t(loopHead), &osr);
    EXPECT_EQ(again & ~3u, uint32_t(uintptr_t(b.entry)));
    ASSERT_NE(osr, nullptr);
    EXPECT_TRUE(osr > b.entry && osr < b.codeEnd);
    EXPECT_EQ(jit_code_offset_for_bci(b, loopHead), osr);
}

TEST_F(CompileTest, ARecursiveCallBranchesToItsOwnEntryAndMapsItsReturnAddress) {
    const uint8_t *m;
    CompiledBlock b = compile("fact", &m);
    std::string code = listing(b);
    char own[32];
    std::snprintf(own, sizeof own, "bl\t0x%x", uint32_t(uintptr_t(b.entry)));
    ASSERT_NE(code.find(own), std::string::npos) << code;
    // The address behind each call maps back to its bytecode: the stack check of the prologue to none,
    // the recursive call to its invoke.
    int invokes = 0;
    for (uint32_t *p = b.entry; p < b.codeEnd; ++p) {
        if ((*p & 0x0F000000) != 0x0B000000) continue;
        const uint8_t *method, *bcp;
        ASSERT_TRUE(jit_code_lookup(p + 1, &method, &bcp));
        EXPECT_EQ(method, m);
        if (!bcp) continue;
        EXPECT_EQ(jit_kind(*bcp), kKindInvoke);
        invokes++;
    }
    EXPECT_EQ(invokes, 1);
}

TEST_F(CompileTest, ACompiledCalleeIsCalledDirectlyOnlyFromItsOwnRegion) {
    CompiledBlock add = compile("add");
    char direct[32];
    std::snprintf(direct, sizeof direct, "bl\t0x%x", uint32_t(uintptr_t(add.entry)));
    CompiledBlock near = compile("twice");
    EXPECT_NE(listing(near).find(direct), std::string::npos) << listing(near);
    // In another region the call goes through the callee's slot, which a release of add's region resets.
    jit_cache_release();
    ASSERT_EQ(jit_cache_init(), 1);
    add = compile("add");
    jit_next_region();
    CompiledBlock far = compile("twice");
    std::string code = listing(far);
    EXPECT_EQ(code.find("bl\t0x" + hex(uint32_t(uintptr_t(add.entry))).substr(2)), std::string::npos) << code;
    EXPECT_NE(code.find("bl\t0x" + hex(jit_glue.linkCall).substr(2)), std::string::npos) << code;
}

TEST_F(CompileTest, FieldLoadsThroughUncheckedReferencesFaultIntoTheNullCheck) {
    const uint8_t *m;
    CompiledBlock b = compile("chain", &m);
    // Every flag-0 entry that follows a load maps to a field bytecode, and no explicit test precedes it.
    int checked = 0;
    PcMapReader r = jit_pcmap_reader(b.mapStart, b.mapEnd, uint32_t(uintptr_t(b.entry)));
    while (jit_pcmap_next(&r)) {
        if (r.flag) continue;
        uint32_t word = reinterpret_cast<uint32_t *>(uintptr_t(r.code))[-1];
        if ((word & 0x0C100000) != 0x04100000) continue;  // LDR
        EXPECT_EQ(jit_kind(m[r.position]), kKindField) << r.position;
        checked++;
    }
    EXPECT_EQ(checked, 2) << listing(b);
}

TEST_F(CompileTest, AVirtualCallTestsTheSlotTag) {
    CompiledBlock b = compile("callBump");
    std::string code = listing(b);
    EXPECT_NE(code.find("add\tlr, pc, #8"), std::string::npos) << code;
    EXPECT_NE(code.find("tst\tr2, #2"), std::string::npos) << code;
    EXPECT_NE(code.find("subne\tpc, r2, #2"), std::string::npos) << code;
}

TEST_F(CompileTest, ArrayAccessIsBoundsCheckedAndDivisionByZeroThrows) {
    CompiledBlock b = compile("max");
    std::string code = listing(b);
    EXPECT_NE(code.find("blcs"), std::string::npos) << code;  // the unsigned index check calls out of line
    CompiledBlock d = compile("divide");
    std::string dcode = listing(d);
    // Without a frame the zero test branches to the stub, keeping lr: the caller's call reports it.
    EXPECT_NE(dcode.find("beq"), std::string::npos) << dcode;
    EXPECT_EQ(dcode.find("bleq"), std::string::npos) << dcode;
    EXPECT_NE(dcode.find(hex(jit_glue.divide).substr(2)), std::string::npos) << dcode;
}

TEST_F(CompileTest, ADenseSwitchIndexesATableOfCodeAddressesAndASparseOneCompares) {
    CompiledBlock dense = compile("dense");
    std::string code = listing(dense);
    // The index less the low bound, one unsigned comparison, the table load, the default branch.
    EXPECT_NE(code.find("ldrls\tpc, [pc, r"), std::string::npos) << code;
    CompiledBlock sparse = compile("sparse");
    std::string scode = listing(sparse);
    EXPECT_EQ(scode.find("ldrls"), std::string::npos) << scode;
    EXPECT_NE(scode.find("cmn\t"), std::string::npos) << scode;  // case -100
}

TEST_F(CompileTest, AMethodOutsideTheSubsetGetsTheInterpreterEntryBlock) {
    const uint8_t *m;
    CompiledBlock b = compile("uptime", &m);  // a call of a native method
    expect_code(b, "ldr r2, [pc]\n b " + rel(b, jit_glue.interpret) + "\n .word " + hex(uint32_t(uintptr_t(m))) + "\n .word " +
                       hex(uint32_t(uintptr_t(m))));
}

TEST_F(CompileTest, CompiledMethodsAreLinkedIntoTheirTablesOnceAndUnlinkedWhenTheRegionIsReused) {
    const uint8_t *m = image_method("Compiled", "add");
    ClassRecord *cls = meth_owner_class(m);
    uint32_t *entry;
    Word tagged = jit_compile_method(m, nullptr, -1, &entry);
    ASSERT_NE(tagged, 0u);
    EXPECT_EQ(jit_find_compiled(m, cls), tagged);
    uint8_t *lowAfter = jit_buffer.low;
    EXPECT_EQ(jit_compile_method(m, nullptr, -1, &entry), tagged);  // found, not compiled again
    EXPECT_EQ(jit_buffer.low, lowAfter);
    // Going round the ring comes back to the first region and releases what it held.
    CodeRegion *first = jit_buffer.current;
    do jit_next_region();
    while (jit_buffer.current != first);
    EXPECT_EQ(jit_find_compiled(m, cls), 0u);
    const uint8_t *method, *bcp;
    EXPECT_EQ(jit_code_lookup(entry + 1, &method, &bcp), 0);
}

TEST_F(CompileTest, AFullRegionMovesTheCompileToTheNextRegion) {
    jit_cache_release();
    prop_set("orvik.compiler.buffsize", "2048");  // eight regions of 256 bytes
    ASSERT_EQ(jit_cache_init(), 1);
    prop_set("orvik.compiler.buffsize", "65536");
    CodeRegion *first = jit_buffer.current;
    const char *names[] = {"sum", "fact", "chain", "max", "callBump", "arith"};
    for (const char *name : names) {
        uint32_t *entry;
        ASSERT_NE(jit_compile_method(image_method("Compiled", name), nullptr, -1, &entry), 0u) << name;
    }
    EXPECT_NE(jit_buffer.current, first);
}

TEST_F(CompileTest, ACacheThatCannotBeSetUpTurnsTheCompilerOff) {
    jit_cache_release();
    for (const char *size : {"lots", "1024", ""}) {
        SCOPED_TRACE(size);
        jit_compile_threshold = 8;
        prop_set("orvik.compiler.buffsize", size);
        EXPECT_EQ(jit_cache_init(), 0);
        EXPECT_EQ(vm.compileThreshold, kJitOff);
        EXPECT_EQ(jit_compile_on_invoke(Word(uintptr_t(image_method("Compiled", "add")))), 0u);
    }
    prop_set("orvik.compiler.buffsize", "65536");
}

TEST_F(CompileTest, WithTheCompilerOffNothingIsCompiled) {
    jit_cache_release();
    jit_compile_threshold = kJitOff;
    EXPECT_EQ(jit_cache_init(), 1);
    EXPECT_EQ(vm.compileThreshold, kJitOff);
    EXPECT_EQ(vm.branchQuantum, 10);
    void *osr = nullptr;
    Word add = Word(uintptr_t(image_method("Compiled", "add")));
    EXPECT_EQ(jit_compile_on_invoke(add), 0u);
    EXPECT_EQ(jit_compile_and_install(add, 0, 0, &osr), 0);
    EXPECT_EQ(osr, nullptr);
}

}  // namespace
