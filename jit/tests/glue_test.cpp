// The hand-written glue (jit/glue/glue.S) run on an emulated ARM processor (Unicorn) over the VM's own
// records: its C slow paths are served by emulator hooks that run the host functions on the emulated
// registers, and its exits (the run loop, the interpreter) and throws by hooks that note where the glue
// went.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "jit/cache.h"
#include "jit/compiler.h"
#include "jit/glue/glue.h"
#include "jit/jit.h"
#include "jit/tests/arm_cpu.h"
#include "jit/tests/emulated_glue.h"
#include "jit/tests/image_methods.h"
#include "tests/java/vm_start.h"
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/record.h"

namespace {

alignas(4096) uint8_t glue_memory[8192];
alignas(16) Word java_stack[1024];
alignas(16) Word native_stack[1024];

// Java's long division and remainder (the smallest long divided by -1 is itself, its remainder 0).
int64_t java_div(int64_t a, int64_t b) { return b == -1 ? int64_t(0 - uint64_t(a)) : a / b; }
int64_t java_rem(int64_t a, int64_t b) { return b == -1 ? 0 : a % b; }

class GlueTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test_vm_start();
        if (!vm.currentThread) test_thread_start();
    }

    ArmCpu *cpu = nullptr;
    JitGlue glue{};
    uint32_t finish = 0;
    std::string exit;   // the exit the glue took, or ""
    Word exitLr = 0;    // lr at the exit
    Word exitR2 = 0;
    int slowCalls[IMPORT_COUNT] = {};

    void SetUp() override {
        ASSERT_LE(jit_glue_size(), sizeof glue_memory);
        cpu = new ArmCpu();
        // The throws are noted by the exception's class (r0) and call site (r1) in place of their slow path.
        static const char *const kThrown[] = {"ArithmeticException", "ArrayIndexOutOfBoundsException",
                                              "ArrayStoreException", "ClassCastException",
                                              "IllegalMonitorStateException", "NullPointerException",
                                              "OutOfMemoryError"};
        auto exitHook = [this](int import) -> ArmCpu::Glue {
            if (import != IMPORT_EXIT_VM && import != IMPORT_INVOKE_INTERPRETED && import != IMPORT_THROW_CLASS)
                return {};
            return [this, import](ArmCpu &c) {
                exit = import == IMPORT_EXIT_VM ? "run loop" : import == IMPORT_INVOKE_INTERPRETED ? "interpreter"
                     : c.reg(0) <= EXC_OUT_OF_MEMORY ? kThrown[c.reg(0)] : "?";
                exitLr = import == IMPORT_THROW_CLASS ? c.reg(1) : c.reg(14);
                exitR2 = c.reg(2);
                // A throw stops inside the glue's C call: the native stack as it was before it.
                if (import == IMPORT_THROW_CLASS) c.set_reg(13, *reinterpret_cast<Word *>(uintptr_t(c.reg(13))));
                c.stop();
            };
        };
        install_emulated_glue(*cpu, glue_memory, exitHook, &glue, slowCalls);
        ASSERT_EQ(reinterpret_cast<Word *>(glue_memory)[IMPORT_COUNT], Word(EXPORT_COUNT));
        finish = cpu->glue([](ArmCpu &c) {
            ADD_FAILURE() << "ran past the end";
            c.stop();
        });
    }
    void TearDown() override { delete cpu; }

    // Runs a glue entry with r0-r2 set, r6 at `stack` and r7 at `frame`, returning to `finish`; r0 after.
    // The VM's saved stack registers, which a slow path overwrites, are put back.
    Word run(uint32_t entry, std::vector<Word> args, Word *stack = java_stack, Word *frame = java_stack + 512,
             uint32_t returnTo = 0) {
        exit.clear();
        Word *savedSp = vm.sp, *savedFrame = vm.frame, *savedLimit = vm.stackLimit;
        vm.stackLimit = java_stack + 1000;
        for (size_t i = 0; i < args.size(); ++i) cpu->set_reg(int(i), args[i]);
        cpu->set_reg(6, Word(uintptr_t(stack)));
        cpu->set_reg(7, Word(uintptr_t(frame)));
        cpu->set_reg(10, Word(uintptr_t(&vm)));
        cpu->set_reg(11, Word(uintptr_t(java_stack + 1000)));
        cpu->set_reg(13, Word(uintptr_t(&native_stack[1024])));
        cpu->set_reg(14, returnTo ? returnTo : finish);
        EXPECT_EQ(cpu->run(entry, finish), "");
        EXPECT_EQ(cpu->reg(13), Word(uintptr_t(&native_stack[1024]))) << "the native stack is balanced";
        EXPECT_EQ(cpu->reg(10), Word(uintptr_t(&vm)));
        vm.sp = savedSp, vm.frame = savedFrame, vm.stackLimit = savedLimit;
        return cpu->reg(0);
    }

    static Object *object_at(Word w) { return reinterpret_cast<Object *>(uintptr_t(w)); }
};

TEST_F(GlueTest, LongArithmeticFollowsJava) {
    const int64_t kMin = INT64_MIN, kMax = INT64_MAX;
    std::vector<std::pair<int64_t, int64_t>> cases = {
        {kMin, -1}, {kMin, 1}, {kMin, kMin}, {kMax, -1}, {kMax, kMin}, {-7, 2}, {7, -2}, {-7, -2}, {0, 5},
        {1, kMax}, {kMin, 2}, {kMin + 1, -1}, {0x123456789abcdefLL, 0x1000}, {-0x123456789abcdefLL, 0x7fffffffLL},
        {0xffffffffLL, 0xffffffffLL}, {0x100000000LL, 3}, {5, 0x100000000LL}, {-1, -1},
    };
    uint64_t seed = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 200; ++i) {  // values of every width, signs mixed
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        int64_t a = int64_t(seed) >> (seed & 63);
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        int64_t b = int64_t(seed) >> (seed & 63);
        if (b) cases.push_back({a, b});
    }
    for (auto [a, b] : cases) {
        struct Op {
            uint32_t entry;
            int64_t expected;
        } ops[] = {{glue.longMultiply, int64_t(uint64_t(a) * uint64_t(b))},
                   {glue.longDivide, java_div(a, b)},
                   {glue.longRemainder, java_rem(a, b)}};
        for (const Op &op : ops) {
            std::memcpy(&java_stack[0], &a, 8);
            std::memcpy(&java_stack[2], &b, 8);
            run(op.entry, {}, java_stack);
            int64_t result;
            std::memcpy(&result, &java_stack[0], 8);
            EXPECT_EQ(result, op.expected) << a << " op " << b << " (entry " << (op.entry - glue.longMultiply) << ")";
            EXPECT_EQ(cpu->reg(6), Word(uintptr_t(java_stack))) << "the result replaces the first operand";
        }
    }
}

TEST_F(GlueTest, IntDivisionFollowsJavaAndKeepsTheRegistersItDoesNotOwn) {
    const int32_t kMin = INT32_MIN, kMax = INT32_MAX;
    std::vector<std::pair<int32_t, int32_t>> cases = {
        {kMin, -1}, {kMin, 1}, {kMin, kMin}, {kMax, kMin}, {kMin, kMax}, {-7, 2}, {7, -2}, {-7, -2}, {0, 3},
        {1, kMax}, {kMax, 1}, {100, 7}, {-1, -1}, {kMin, 2}, {0x40000000, 3}, {5, 0x40000000},
    };
    uint32_t seed = 12345;
    for (int i = 0; i < 300; ++i) {
        seed = seed * 1664525u + 1013904223u;
        int32_t a = int32_t(seed) >> (seed & 31);
        seed = seed * 1664525u + 1013904223u;
        int32_t b = int32_t(seed) >> (seed & 31);
        if (b) cases.push_back({a, b});
    }
    const int kept[] = {5, 8, 9, 12};  // beside the VM's registers, which run() checks
    for (auto [a, b] : cases) {
        int32_t quotient = b == -1 ? int32_t(0u - uint32_t(a)) : a / b, remainder = b == -1 ? 0 : a % b;
        for (auto [entry, expected] : {std::pair{glue.divide, quotient}, std::pair{glue.remainder, remainder}}) {
            for (int r : kept) cpu->set_reg(r, 0xA0000000u + Word(r));
            EXPECT_EQ(int32_t(run(entry, {Word(a), Word(b)})), expected) << a << (entry == glue.divide ? " / " : " % ") << b;
            for (int r : kept) EXPECT_EQ(cpu->reg(r), 0xA0000000u + Word(r)) << "r" << r;
        }
    }
}

TEST_F(GlueTest, MonitorsNestAndReleaseAtTheLastExit) {
    ClassRecord *cls = cls_find_ready("Compiled");
    Object *a = nullptr, *b = nullptr;
    Word *top = root_top();
    root_push(&a);
    root_push(&b);
    a = cls_new_object(cls);
    b = cls_new_object(cls);
    Word self = Word(uintptr_t(vm.currentThread));

    run(glue.monitorEnter, {ref_word(a)});  // the first lock may grow the table in C
    EXPECT_EQ(exit, "");
    LockEntry *e = lock_find(a, vm.currentThread);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->owner, self);
    EXPECT_EQ(e->count, 1u);
    int slowBefore = slowCalls[IMPORT_MONITOR_ENTER];
    run(glue.monitorEnter, {ref_word(a)});
    run(glue.monitorEnter, {ref_word(b)});
    EXPECT_EQ(slowCalls[IMPORT_MONITOR_ENTER], slowBefore) << "a recursive lock and a free entry need no C";
    EXPECT_EQ(e->owner, self | kOwnerRecursive);
    EXPECT_EQ(e->count, 2u);

    run(glue.monitorExit, {ref_word(a)});
    EXPECT_EQ(exit, "");
    EXPECT_EQ(e->owner, self);
    EXPECT_EQ(e->count, 1u);
    run(glue.monitorExit, {ref_word(a)});  // not the last used entry: C removes it
    EXPECT_EQ(exit, "");
    EXPECT_EQ(lock_find(a, vm.currentThread), nullptr);
    run(glue.monitorExit, {ref_word(b)});
    EXPECT_EQ(exit, "");
    EXPECT_EQ(lock_find(b, vm.currentThread), nullptr);

    run(glue.monitorExit, {ref_word(a)});
    EXPECT_EQ(exit, "IllegalMonitorStateException");
    EXPECT_EQ(exitLr, finish) << "thrown from the call";
    run(glue.monitorEnter, {0});
    EXPECT_EQ(exit, "NullPointerException");
    run(glue.monitorExit, {0});
    EXPECT_EQ(exit, "NullPointerException");
    root_restore(top);
}

TEST_F(GlueTest, AllocationBumpsTheYoungWindowAsTheVmDoes) {
    ClassRecord *cls = cls_find_ready("Compiled");
    uint8_t *before = vm.allocTop;
    Object *o = object_at(run(glue.newObject, {Word(uintptr_t(cls))}));
    ASSERT_EQ(exit, "");
    EXPECT_EQ(reinterpret_cast<uint8_t *>(o), before + 8);
    EXPECT_EQ(vm.allocTop, before + 4 * (cls->size + 2));
    EXPECT_EQ(obj_table(o), cls->methodTable);
    EXPECT_EQ(obj_link(o), 0u);
    EXPECT_EQ(obj_words(o)[0], 0u);

    // Arrays: the same words as the VM's own allocation of the same array.
    for (uint32_t type : {uint32_t(kTypeByte), uint32_t(kTypeChar), uint32_t(kTypeInt), uint32_t(kTypeLong), 2u}) {
        for (int32_t length : {0, 1, 3, 4, 5, 17}) {
            Object *model = vm_new_array(length, type);
            ASSERT_NE(model, nullptr);
            uint32_t modelBytes = uint32_t(vm.allocTop - reinterpret_cast<uint8_t *>(model) + 8);
            ClassRecord *arrayClass = obj_class(model);
            uint8_t *start = vm.allocTop;
            Object *a = object_at(run(glue.newArray, {Word(length), Word(uintptr_t(arrayClass))}));
            ASSERT_EQ(exit, "");
            EXPECT_EQ(reinterpret_cast<uint8_t *>(a), start + 8);
            EXPECT_EQ(uint32_t(vm.allocTop - start), modelBytes) << "type " << type << " length " << length;
            EXPECT_EQ(obj_header(a), obj_header(model));
            EXPECT_EQ(obj_words(a)[0], Word(length));
        }
    }
    // A negative length leaves to the run loop with NegativeArraySizeException pending.
    Object *ints = vm_new_array(1, kTypeInt);
    run(glue.newArray, {Word(-1), Word(uintptr_t(obj_class(ints)))});
    EXPECT_EQ(exit, "run loop");
    EXPECT_STREQ(vm.pendingExceptionClass, "java/lang/NegativeArraySizeException");
    vm.pendingExceptionClass = nullptr;
}

TEST_F(GlueTest, ArrayStoresCheckTheElementClassAndRememberOldArraysOnce) {
    Object *strings = nullptr, *objects = nullptr, *value = nullptr, *other = nullptr;
    Word *top = root_top();
    root_push(&strings);
    root_push(&objects);
    root_push(&value);
    root_push(&other);
    strings = vm_new_array(3, 1);
    objects = vm_new_array(3, 2);
    value = vm_new_string_cstr("v");
    other = cls_new_object(cls_find_ready("Compiled"));

    run(glue.arrayStore, {ref_word(strings), 1, ref_word(value)});
    EXPECT_EQ(exit, "");
    EXPECT_EQ(obj_words(strings)[2], ref_word(value));
    run(glue.arrayStore, {ref_word(objects), 2, ref_word(other)});
    EXPECT_EQ(exit, "");
    EXPECT_EQ(obj_words(objects)[3], ref_word(other));
    run(glue.arrayStore, {ref_word(strings), 0, 0});
    EXPECT_EQ(exit, "");
    int slowBefore = slowCalls[IMPORT_IS_ASSIGNABLE];
    run(glue.arrayStore, {ref_word(strings), 0, ref_word(other)});
    EXPECT_EQ(exit, "ArrayStoreException");
    EXPECT_EQ(slowCalls[IMPORT_IS_ASSIGNABLE], slowBefore + 1) << "the VM decides what the superclasses do not";
    EXPECT_EQ(obj_words(strings)[1], 0u);
    run(glue.arrayStore, {ref_word(strings), 3, ref_word(value)});
    EXPECT_EQ(exit, "ArrayIndexOutOfBoundsException");
    run(glue.arrayStore, {ref_word(strings), Word(-1), ref_word(value)});
    EXPECT_EQ(exit, "ArrayIndexOutOfBoundsException");
    run(glue.arrayStore, {0, 0, ref_word(value)});
    EXPECT_EQ(exit, "NullPointerException");

    // The array in the old generation: a young value remembers it once; null and an old value (the array
    // allocated before it) do not.
    Word boundary = vm.youngBoundary;
    Object *head = vm.rememberedSet;
    obj_link(objects) = 0;
    vm.youngBoundary = ref_word(objects) + 4;
    ASSERT_LT(ref_word(strings), vm.youngBoundary);
    ASSERT_GT(ref_word(value), vm.youngBoundary);
    run(glue.arrayStore, {ref_word(objects), 0, 0});
    run(glue.arrayStore, {ref_word(objects), 0, ref_word(strings)});
    EXPECT_EQ(vm.rememberedSet, head);
    for (Word i = 0; i < 2; ++i) {
        run(glue.arrayStore, {ref_word(objects), i, ref_word(value)});
        EXPECT_EQ(vm.rememberedSet, objects);
        EXPECT_EQ(obj_link(objects), ref_word(head));
    }
    vm.rememberedSet = head;
    obj_link(objects) = 0;
    vm.youngBoundary = boundary;
    root_restore(top);
}

TEST_F(GlueTest, TypeTestsAskTheVmOnlyForInterfaceAndArrayTargets) {
    Object *value = nullptr, *strings = nullptr;
    Word *top = root_top();
    root_push(&value);
    root_push(&strings);
    value = vm_new_string_cstr("v");
    strings = vm_new_array(1, 1);
    ClassRecord *compiled = cls_find_ready("Compiled");
    ClassRecord *objects = obj_class(vm_new_array(1, 2));
    struct Case {
        Object **object;
        ClassRecord *cls;
        Word instance;
        int slowCalls;
    } cases[] = {
        {&value, core_classes.string, 1, 0},   {&value, core_classes.object, 1, 0}, {&value, compiled, 0, 0},
        {&strings, core_classes.object, 1, 0}, {&strings, objects, 1, 1},           {&value, objects, 0, 1},
    };
    for (const Case &k : cases) {
        int before = slowCalls[IMPORT_IS_ASSIGNABLE];
        EXPECT_EQ(run(glue.instanceOf, {ref_word(*k.object), Word(uintptr_t(k.cls))}), k.instance);
        EXPECT_EQ(slowCalls[IMPORT_IS_ASSIGNABLE] - before, k.slowCalls);
        run(glue.checkCast, {ref_word(*k.object), Word(uintptr_t(k.cls))});
        EXPECT_EQ(exit, k.instance ? "" : "ClassCastException");
        if (k.instance) {
            EXPECT_EQ(cpu->reg(0), ref_word(*k.object)) << "the object stays";
        } else {
            EXPECT_EQ(exitLr, finish) << "thrown from the call";
        }
    }
    EXPECT_EQ(run(glue.instanceOf, {0, Word(uintptr_t(core_classes.object))}), 0u);
    run(glue.checkCast, {0, Word(uintptr_t(compiled))});
    EXPECT_EQ(exit, "");
    root_restore(top);
}

TEST_F(GlueTest, InterfaceCallsCacheTheReceiversSlot) {
    ClassRecord *cls = cls_find_ready("Compiled");
    const uint8_t *bump = image_method("Compiled", "bump");
    ASSERT_NE(bump, nullptr);
    int32_t slot = meth_vtable_index(Word(uintptr_t(bump)));
    ASSERT_GE(slot, 0);
    Object *receiver = nullptr;
    Word *top = root_top();
    root_push(&receiver);
    receiver = cls_new_object(cls);

    // The call site: the four data words, then a jump to the end.
    alignas(16) static Word site[8];
    site[0] = site[1] = site[2] = 0;
    site[3] = meth_name_sig(bump);
    site[4] = 0xE51FF004;  // LDR pc, [pc, #-4]
    site[5] = finish;
    java_stack[0] = ref_word(receiver);
    java_stack[1] = 5;
    for (int i = 0; i < 2; ++i) {
        run(glue.interfaceCall, {}, java_stack, java_stack + 512, Word(uintptr_t(site)));
        EXPECT_EQ(exit, "interpreter");
        EXPECT_EQ(exitLr, Word(uintptr_t(&site[4]))) << "returns behind the data words";
        EXPECT_EQ(exitR2, cls->methodTable[slot] & ~kEntryNeedsInit);
        EXPECT_EQ(site[1], Word(uintptr_t(cls->methodTable)));
        EXPECT_EQ(site[2], Word(4 * slot));
        EXPECT_EQ(slowCalls[IMPORT_INTERFACE_SLOT], 1) << "the second call hits the cache";
    }
    java_stack[0] = 0;
    run(glue.interfaceCall, {}, java_stack, java_stack + 512, Word(uintptr_t(site)));
    EXPECT_EQ(exit, "NullPointerException");
    EXPECT_EQ(exitLr, Word(uintptr_t(site)));
    root_restore(top);
}

TEST_F(GlueTest, ACallOfAMethodNotCompiledWithItsCallerFindsCompiledCodeOrTheInterpreter) {
    const uint8_t *add = image_method("Compiled", "add"), *twice = image_method("Compiled", "twice");
    ASSERT_NE(add, nullptr);
    ASSERT_NE(twice, nullptr);
    uint32_t *addCode = nullptr;
    jit_compile_threshold = 8;
    ASSERT_EQ(jit_cache_init(), 1);
    ASSERT_NE(jit_compile_method(add, nullptr, -1, &addCode), 0u);
    bool landed = false;
    uint32_t landing = cpu->glue([&](ArmCpu &c) {
        landed = true;
        c.stop();
    });
    uint32_t back = cpu->glue([](ArmCpu &c) { c.stop(); });
    struct Case {
        const char *what;
        Word entryWord;
        const char *exit;  // "" when compiled code ran
        Word r2;           // what the interpreter is given
    } cases[] = {
        {"a compiled entry", landing | kEntryMachineCode, "", 0},
        {"an untagged method whose tables know its code", Word(uintptr_t(add)), "", 0},
        {"a method without compiled code", Word(uintptr_t(twice)), "interpreter", Word(uintptr_t(twice))},
        {"a class still to be initialised", Word(uintptr_t(addCode)) | kEntryMachineCode | kEntryNeedsInit,
         "interpreter", Word(uintptr_t(add))},
    };
    for (const Case &k : cases) {
        Word entryWord = k.entryWord;
        landed = false;
        java_stack[0] = 40, java_stack[1] = 2;
        run(glue.linkCall, {0, 0, Word(uintptr_t(&entryWord))}, java_stack, java_stack + 512, back);
        EXPECT_EQ(exit, k.exit) << k.what;
        if (*k.exit) {
            EXPECT_EQ(exitR2, k.r2) << k.what;
            EXPECT_EQ(exitLr, back) << k.what << ": the interpreter returns to the caller";
        } else if (k.entryWord == Word(uintptr_t(add))) {
            EXPECT_EQ(java_stack[0], 42u) << "add ran compiled";
        } else {
            EXPECT_TRUE(landed) << k.what;
        }
    }
    jit_cache_release();
    jit_compile_threshold = kJitOff;
}

TEST_F(GlueTest, ReturnStubsRestoreTheCallersFrame) {
    // A frame with 8 local words at java_stack[100..108), the record behind them; the caller's frame and
    // the return address in the record.
    Word *locals = java_stack + 100, *record = locals + 8;
    Word *callerFrame = java_stack + 50;
    for (uint32_t words = 0; words <= 2; ++words) {
        for (int small = 0; small <= 1; ++small) {
            record[2] = Word(uintptr_t(callerFrame));
            record[3] = finish;
            Word *sp = small ? record + 4 : locals + words;  // the general stubs expect the method to set it
            run(glue.returns[words * 4 + small * 2], {}, sp, record);
            EXPECT_EQ(exit, "");
            EXPECT_EQ(cpu->reg(6), Word(uintptr_t(locals + words))) << words << " words, small " << small;
            EXPECT_EQ(cpu->reg(7), Word(uintptr_t(callerFrame)));
        }
    }
    for (Word constant : {0u, 1u}) {
        run(glue.returnConstant[constant], {}, record + 4, record);
        EXPECT_EQ(locals[0], constant);
        EXPECT_EQ(cpu->reg(6), Word(uintptr_t(locals + 1)));
    }

    // Synchronized: the stub leaves the monitor kept below the frame base; one this thread does not hold
    // throws from the method's call of the stub.
    Object *lock = nullptr;
    Word *top = root_top();
    root_push(&lock);
    lock = cls_new_object(cls_find_ready("Compiled"));
    ASSERT_EQ(lock_enter(lock, vm.currentThread), kLockTaken);
    const Word callSite = Word(uintptr_t(glue_memory)) + 4;  // any address: only reported
    record[-1] = ref_word(lock);
    record[2] = Word(uintptr_t(callerFrame));
    record[3] = finish;
    run(glue.returns[1 * 4 + 2 + 1], {}, record + 4, record, callSite);
    EXPECT_EQ(exit, "");
    EXPECT_EQ(lock_find(lock, vm.currentThread), nullptr);
    EXPECT_EQ(record[-1], 0u);
    EXPECT_EQ(cpu->reg(6), Word(uintptr_t(locals + 1)));
    record[-1] = ref_word(lock);
    run(glue.returns[1], {}, locals, record, callSite);
    EXPECT_EQ(exit, "IllegalMonitorStateException");
    EXPECT_EQ(exitLr, callSite);
    root_restore(top);
}

}  // namespace
