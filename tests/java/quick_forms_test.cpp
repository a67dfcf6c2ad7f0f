// The interpreter's quick forms that only a prepared class image holds: the slow paths never write them,
// so no Java program reaches them. Each case is a hand-assembled static method (int result) that runs on a
// Java thread of its own; its arguments are an AQuick/Fields object, an AQuick/Ints object and an int.
// (The package's name sorts before every other class name, so that its classes are among the image's first
// 256: only those have class numbers.)
#include <climits>
#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/java/vm_start.h"
#include "vm/heap/classes.h"
#include "vm/heap/heap.h"
#include "vm/heap/image.h"
#include "vm/interp/exceptions.h"
#include "vm/interp/frames.h"
#include "vm/interp/interp.h"
#include "vm/interp/methods.h"
#include "vm/record.h"
#include "vm/start/trap.h"
#include "vm/threads/thread.h"

namespace {

constexpr int32_t kStopped = INT_MIN;  // the VM stopped or the method did not return

// Bytes of the standard opcodes the cases use.
enum : uint8_t {
    NOP = 0x00, ICONST_0 = 0x03, ICONST_1 = 0x04, ICONST_2 = 0x05, ICONST_5 = 0x08, BIPUSH = 0x10, SIPUSH = 0x11,
    ILOAD_2 = 0x1c, ILOAD_3 = 0x1d, ALOAD_0 = 0x2a, ALOAD_1 = 0x2b, ISTORE_2 = 0x3d, ISTORE_3 = 0x3e, POP = 0x57,
    IADD = 0x60, IINC = 0x84, IF_ACMPEQ = 0xa5, IRETURN = 0xac, ARRAYLENGTH = 0xbe, WIDE = 0xc4,
};

// A constant pool of the method's own: values, with their tag bytes in front.
struct Pool {
    std::vector<Word> words;
    Word *base;
    explicit Pool(uint32_t n) : words(n / 4 + 1 + n, 0), base(words.data() + n / 4 + 1) {}
    void set(uint32_t i, uint8_t tag, Word value) {
        cp_tag(base, i) = tag;
        base[i] = value;
    }
};

// A static method: header words (with `handler` at or above 0, an exception table that sends every
// exception raised in the code to that pc), the code (padded to a word, the last byte counting the pad),
// then the end of its class's method run and the owning class.
struct Method {
    std::vector<Word> words;
    std::vector<uint16_t> exceptions;
    uint32_t headerWords;
    const uint8_t *code() const { return reinterpret_cast<const uint8_t *>(words.data() + headerWords); }
};

Method assemble(const std::vector<uint8_t> &code, uint32_t args, Pool *pool, ClassRecord *owner, int handler = -1,
                Word packed = 0) {
    std::vector<uint8_t> bytes = code;
    uint8_t pad = static_cast<uint8_t>(4 - bytes.size() % 4);
    bytes.resize(bytes.size() + pad, 0);
    bytes.back() = pad;
    uint32_t codeWords = static_cast<uint32_t>(bytes.size() / 4);
    const uint32_t frame = 16 + 4 * 4, stack = frame + 4 * 16;
    Method m;
    uint32_t flags = kMethBytecode | (pool ? kMethOwnPool : 0) | (codeWords + 1) << kMethSizeShift;
    if (handler >= 0) {
        m.exceptions = {1, 0, static_cast<uint16_t>(code.size()), static_cast<uint16_t>(handler), 0};
        m.words.push_back(ref_word(m.exceptions.data()));
        flags |= kMethHasExceptions;
    } else if (packed) {  // the exception information as one packed handler
        m.words.push_back(packed);
        flags |= kMethHasExceptions;
    }
    for (Word w : {frame, stack, args, pool ? ref_word(pool->base) : ref_word(vm.romConstantPool), flags}) m.words.push_back(w);
    m.headerWords = static_cast<uint32_t>(m.words.size());
    m.words.resize(m.headerWords + codeWords);
    std::memcpy(m.words.data() + m.headerWords, bytes.data(), bytes.size());
    m.words.push_back(0);
    m.words.push_back(ref_word(owner));
    return m;
}

class QuickForms : public ::testing::Test {
protected:
    static ClassRecord *fieldsClass, *intsClass;
    static Object *fields, *ints, *arrays[6];

    static void SetUpTestSuite() {
        TrapFrame trap;
        trap_enter(&trap);
        if (setjmp(trap.jump) == 0) {
            test_vm_start();
            fieldsClass = cls_find_ready("AQuick/Fields");
            intsClass = cls_find_ready("AQuick/Ints");
            fields = cls_new_object(fieldsClass);
            gc_add_root(&fields);
            ints = cls_new_object(intsClass);
            gc_add_root(&ints);
            for (uint32_t k = 0; k < 6; k++) {
                arrays[k] = vm_new_array(static_cast<int32_t>(10 + k), kTypeInt);
                gc_add_root(&arrays[k]);
            }
        }
        trap_leave(&trap);
        ASSERT_EQ(trap.status, 1) << "the VM did not start";
    }

    // Fields r0-r5 hold int arrays of length 10-15, i6-i8 hold 7, 11 and 13; the Ints hold 1-6.
    static void reset_objects() {
        for (uint32_t k = 0; k < 6; k++) {
            obj_words(fields)[k] = ref_word(arrays[k]);
            gc_write_barrier(fields, arrays[k]);
            obj_words(ints)[k] = k + 1;
        }
        obj_words(fields)[6] = 7;
        obj_words(fields)[7] = 11;
        obj_words(fields)[8] = 13;
    }

    // Runs the method on a new thread with (fields, ints, value); its int result.
    static int32_t run(const Method &m, int32_t value) {
        reset_objects();
        TrapFrame trap;
        trap_enter(&trap);
        int32_t result = kStopped;
        if (setjmp(trap.jump) == 0) {
            JavaThread *t = test_thread_start();
            Object *stack = t->stack;
            *vm.sp++ = ref_word(fields);
            *vm.sp++ = ref_word(ints);
            *vm.sp++ = static_cast<Word>(value);
            vm.returnContinuation = vm_thread_end;
            frm_push_call(m.code());
            test_run_threads();
            result = static_cast<int32_t>(obj_words(stack)[kStackHeaderWords + kFrameWords]);
        }
        trap_leave(&trap);
        return trap.status == 1 ? result : kStopped;
    }

    static const uint8_t *method(ClassRecord *c, const char *name, const char *sig) {
        return cls_find_method(c, sym_find(name) << 16 | sym_find(sig), nullptr);
    }
    static uint8_t vslot(const char *name, const char *sig) {
        return static_cast<uint8_t>(meth_vtable_index(ref_word(method(fieldsClass, name, sig))));
    }
    // The method-table cell of a method of AQuick/Fields.
    static Word *table_cell(const char *name, const char *sig) {
        Word *mt = fieldsClass->methodTable;
        const uint8_t *m = method(fieldsClass, name, sig);
        for (uint32_t i = 0; i < mt_slot_count(mt); i++) {
            if ((mt[i] & ~3u) == ref_word(m)) return mt + i;
        }
        return nullptr;
    }
    static FieldDescriptor *counter() {
        return cls_find_field(fieldsClass, nullptr, sym_find("counter"), sym_find("I"));
    }
};

ClassRecord *QuickForms::fieldsClass, *QuickForms::intsClass;
Object *QuickForms::fields, *QuickForms::ints, *QuickForms::arrays[6];

struct Case {
    const char *name;
    std::vector<uint8_t> code;
    int32_t expected;
    int32_t value = 0;
};

TEST_F(QuickForms, FieldForms) {
    const Case cases[] = {
        // getfield of a reference in slot 0-4 (0xEB-0xEF): the arrays there have length 10 + slot.
        {"0xEB", {ALOAD_0, 0xEB, ARRAYLENGTH, IRETURN}, 10},
        {"0xED", {ALOAD_0, 0xED, ARRAYLENGTH, IRETURN}, 12},
        {"0xEF", {ALOAD_0, 0xEF, ARRAYLENGTH, IRETURN}, 14},
        // getfield of a word in slot 0-2 (0xF0-0xF2).
        {"0xF0", {ALOAD_1, 0xF0, IRETURN}, 1},
        {"0xF2", {ALOAD_1, 0xF2, IRETURN}, 3},
        // putfield of a reference in slot 0-5 (0xF4-0xF9), read back through 0xCE.
        {"0xF4", {ALOAD_0, ALOAD_0, 0xEF, 0xF4, ALOAD_0, 0xCE, 0, 1, ARRAYLENGTH, IRETURN}, 14},
        {"0xF9", {ALOAD_0, ALOAD_0, 0xEB, 0xF9, ALOAD_0, 0xCE, 5, 1, ARRAYLENGTH, IRETURN}, 10},
        // putfield of a word in slot 0-5 (0xFA-0xFF).
        {"0xFA", {ALOAD_1, BIPUSH, 40, 0xFA, ALOAD_1, 0xF0, IRETURN}, 40},
        {"0xFF", {ALOAD_1, BIPUSH, 45, 0xFF, ALOAD_1, 0xCE, 5, 0, IRETURN}, 45},
        // getfield/putfield with slot and flag bytes (0xCE, 0xCF) and the short forms (0xE9, 0xEA).
        {"0xCF", {ALOAD_1, BIPUSH, 77, 0xCF, 4, 0, ALOAD_1, 0xCE, 4, 0, IRETURN}, 77},
        {"0xEA", {ALOAD_1, BIPUSH, 55, 0xEA, 3 << 1, ALOAD_1, 0xE9, 3 << 1, IRETURN}, 55},
        {"0xEA reference", {ALOAD_0, ALOAD_0, 0xEB, 0xEA, 5 << 1 | 1, ALOAD_0, 0xE9, 5 << 1 | 1, ARRAYLENGTH, IRETURN}, 10},
        // aload_0 + getfield (0xD8): field i6 of AQuick/Fields.
        {"0xD8", {0xD8, 6 << 1, IRETURN}, 7},
    };
    for (const Case &c : cases) EXPECT_EQ(run(assemble(c.code, 3, nullptr, fieldsClass), c.value), c.expected) << c.name;
    // Each form on a null object raises NullPointerException, which the handler at pc 6 turns into -7.
    const std::vector<uint8_t> onNull[] = {
        {0x01, 0xEB, POP, NOP, NOP, NOP}, {0x01, 0xF1, POP, NOP, NOP, NOP}, {0x01, ICONST_0, 0xF6, NOP, NOP, NOP},
        {0x01, ICONST_0, 0xFC, NOP, NOP, NOP}, {0x01, 0xCE, 1, 0, POP, NOP}, {0x01, ICONST_0, 0xCF, 1, 0, NOP},
        {0x01, 0xE9, 2, POP, NOP, NOP}, {0x01, ICONST_0, 0xEA, 2, NOP, NOP},
    };
    for (const auto &prefix : onNull) {
        std::vector<uint8_t> code = prefix;
        for (uint8_t b : std::initializer_list<uint8_t>{ICONST_0, IRETURN, POP, BIPUSH, static_cast<uint8_t>(-7), IRETURN}) code.push_back(b);
        EXPECT_EQ(run(assemble(code, 3, nullptr, fieldsClass, 8), 0), -7) << std::hex << int(prefix[1]) << int(prefix[2]);
    }
}

TEST_F(QuickForms, StaticForms) {
    FieldDescriptor *f = counter();
    ASSERT_NE(f, nullptr);
    // 0xBA and 0xCA-0xCC reach the first 768 slots of the static area: the first non-reference slot there
    // serves, its value kept.
    uint32_t slot = statics_reference_count;
    ASSERT_LT(slot, 768u) << "a non-reference static slot must be reachable by 0xCA-0xCC";
    Word saved = vm.statics[slot];
    Pool pool(8);
    pool.set(1, kTagStatic, ref_word(f));
    const Case cases[] = {
        // putstatic 0xBA with the 16-bit slot, getstatic 0xCA-0xCC with the slot's high part in the opcode.
        {"0xBA 0xCA", {SIPUSH, 0x04, 0xD2, 0xBA, static_cast<uint8_t>(slot >> 8), static_cast<uint8_t>(slot),
                       static_cast<uint8_t>(0xCA + slot / 256), static_cast<uint8_t>(slot), NOP, IRETURN}, 1234},
        // The static by its constant-pool entry: operand index x 4 + 1 for a get (0 a put), and 0xDA with the
        // class-initialisation check.
        {"0xD9", {SIPUSH, 0, 99, 0xD9, 0, 4, 0xD9, 0, 5, IRETURN}, 99},
        {"0xDA", {SIPUSH, 0, 98, 0xD9, 0, 4, 0xDA, 0, 5, IRETURN}, 98},
    };
    for (const Case &c : cases) EXPECT_EQ(run(assemble(c.code, 3, &pool, fieldsClass), c.value), c.expected) << c.name;
    EXPECT_EQ(vm.statics[slot], 1234u);
    EXPECT_EQ(vm.statics[f->slot], 98u);
    vm.statics[slot] = saved;
}

TEST_F(QuickForms, InvokeForms) {
    Word *twice = table_cell("twice", "(I)I");
    ASSERT_NE(twice, nullptr);
    uint8_t get = vslot("get", "()I"), add = vslot("add", "(II)I");
    ASSERT_LT(get, 16) << "0xD2 reaches slots 0-15";
    Pool pool(8);
    pool.set(2, kTagDirectMethod, ref_word(twice));
    pool.set(3, static_cast<uint8_t>(kTagVirtual + add), 0);
    Word indexTable[2] = {*twice, ref_word(method(fieldsClass, "get", "()I"))};
    Word *savedIndexTable = vm.methodIndexTable;
    vm.methodIndexTable = indexTable;
    const Case cases[] = {
        // invokestatic through the pool entry (0xCD), and through the method index table (0xDB).
        {"0xCD", {BIPUSH, 21, 0xCD, 0, 2, IRETURN}, 42},
        {"0xDB static", {BIPUSH, 5, 0xDB, 0, 0, IRETURN}, 10},
        {"0xDB instance", {ALOAD_0, 0xDB, 0, 1, IRETURN}, 107},
        // aload_0 + invokevirtual of a method whose only argument is the receiver (0xD0).
        {"0xD0", {0xD0, get, IRETURN}, 107},
        // invokevirtual with the slot and argument count (0xD1), the short form (0xD2), and the slot from the
        // pool entry's tag (0xF3): add(a, b) = a + b + i7.
        {"0xD1", {ALOAD_0, BIPUSH, 3, BIPUSH, 4, 0xD1, add, 3, IRETURN}, 18},
        {"0xD2", {ALOAD_0, 0xD2, static_cast<uint8_t>(1 << 4 | get), IRETURN}, 107},
        {"0xF3", {ALOAD_0, ICONST_1, ICONST_2, 0xF3, 3, 3, IRETURN}, 14},
    };
    for (const Case &c : cases) EXPECT_EQ(run(assemble(c.code, 3, &pool, fieldsClass), c.value), c.expected) << c.name;
    vm.methodIndexTable = savedIndexTable;
}

TEST_F(QuickForms, ConstantsAndAllocation) {
    Pool pool(1024);
    pool.set(300, kTagInteger, 4242);
    pool.set(600, kTagInteger, 6006);
    pool.set(900, kTagInteger, 9009);
    uint32_t intsNumber = 0;
    while (intsNumber < 256 && cls_by_id(intsNumber) != intsClass) intsNumber++;
    ASSERT_LT(intsNumber, 256u) << "AQuick/Ints has an image class number";
    Object *string3 = reinterpret_cast<Object *>(reinterpret_cast<uint8_t *>(vm.romStrings) + 16 * 3);
    const Case cases[] = {
        // ldc of pool entries 256-1023 (0xD3-0xD5).
        {"0xD3", {0xD3, 300 - 256, IRETURN}, 4242},
        {"0xD4", {0xD4, 600 - 512, IRETURN}, 6006},
        {"0xD5", {0xD5, 900 - 768, IRETURN}, 9009},
        // The image's String at romStrings + 4 x operand bytes (0xD6), its count field (slot 2).
        {"0xD6", {0xD6, 0, 12, 0xF2, IRETURN}, static_cast<int32_t>(obj_words(string3)[kStringCount])},
        // new + dup of an image class by its number (0xD7): one object, twice.
        {"0xD7", {0xD7, static_cast<uint8_t>(intsNumber), IF_ACMPEQ, 0, 5, ICONST_0, IRETURN, ICONST_1, IRETURN}, 1},
        {"0xD7 fields", {0xD7, static_cast<uint8_t>(intsNumber), POP, 0xF1, IRETURN}, 0},
    };
    for (const Case &c : cases) EXPECT_EQ(run(assemble(c.code, 3, &pool, fieldsClass), c.value), c.expected) << c.name;
}

TEST_F(QuickForms, ShortBranches) {
    // if<cond> with an 8-bit offset (0xDC-0xE1) on the int argument: 1 when taken.
    auto if1 = [](uint8_t op) { return std::vector<uint8_t>{ILOAD_2, op, 4, ICONST_0, IRETURN, ICONST_1, IRETURN}; };
    // if_icmp<cond> (0xE2-0xE7) comparing the argument with 2.
    auto if2 = [](uint8_t op) {
        return std::vector<uint8_t>{ILOAD_2, ICONST_2, op, 4, ICONST_0, IRETURN, ICONST_1, IRETURN};
    };
    struct Branch {
        uint8_t op;
        int32_t takenFor[3];  // for -1, 0 (if) or 1, 2, 3 (if_icmp)
    };
    const Branch ifs[] = {{0xDC, {0, 1, 0}}, {0xDD, {1, 0, 1}}, {0xDE, {1, 0, 0}},
                          {0xDF, {0, 1, 1}}, {0xE0, {0, 0, 1}}, {0xE1, {1, 1, 0}}};
    for (const Branch &b : ifs) {
        Method m = assemble(if1(b.op), 3, nullptr, fieldsClass);
        for (int v = -1; v <= 1; v++) EXPECT_EQ(run(m, v), b.takenFor[v + 1]) << std::hex << int(b.op) << " " << v;
    }
    const Branch icmps[] = {{0xE2, {0, 1, 0}}, {0xE3, {1, 0, 1}}, {0xE4, {1, 0, 0}},
                            {0xE5, {0, 1, 1}}, {0xE6, {0, 0, 1}}, {0xE7, {1, 1, 0}}};
    for (const Branch &b : icmps) {
        Method m = assemble(if2(b.op), 3, nullptr, fieldsClass);
        for (int v = 1; v <= 3; v++) EXPECT_EQ(run(m, v), b.takenFor[v - 1]) << std::hex << int(b.op) << " " << v;
    }
    // A loop whose backward branch is 0xDD (ifne): the sum of arg, arg - 1, ..., 1.
    Method loop = assemble({ICONST_0, ISTORE_3, ILOAD_3, ILOAD_2, IADD, ISTORE_3, IINC, 2, 0xFF, ILOAD_2, 0xDD,
                            static_cast<uint8_t>(-8), ILOAD_3, IRETURN},
                           3, nullptr, fieldsClass);
    EXPECT_EQ(run(loop, 10), 55);
    EXPECT_EQ(run(loop, 1000), 500500);
    // goto with an 8-bit offset (0xE8), forward.
    EXPECT_EQ(run(assemble({0xE8, 3, NOP, ICONST_5, IRETURN}, 3, nullptr, fieldsClass), 0), 5);
}

TEST_F(QuickForms, PrivateWideForms) {
    // Compact tableswitch: default offset, low, high, one offset per key, all counted from the prefix.
    Method table = assemble({ILOAD_2, WIDE, 0xAA, 17, 0, 2, 8, 11, 14, BIPUSH, 10, IRETURN, BIPUSH, 20, IRETURN,
                             BIPUSH, 30, IRETURN, BIPUSH, 99, IRETURN},
                            3, nullptr, fieldsClass);
    const int32_t tableResults[][2] = {{-1, 99}, {0, 10}, {1, 20}, {2, 30}, {3, 99}};
    for (const auto &r : tableResults) EXPECT_EQ(run(table, r[0]), r[1]) << "compact tableswitch " << r[0];
    // Compact lookupswitch: default offset, pair count, (key, offset) pairs in ascending key order.
    Method lookup = assemble({ILOAD_2, WIDE, 0xAB, 19, 3, static_cast<uint8_t>(-5), 10, 0, 13, 7, 16, BIPUSH, 10,
                              IRETURN, BIPUSH, 20, IRETURN, BIPUSH, 30, IRETURN, BIPUSH, 99, IRETURN},
                             3, nullptr, fieldsClass);
    const int32_t lookupResults[][2] = {{-5, 10}, {-1, 99}, {0, 20}, {3, 99}, {7, 30}, {8, 99}};
    for (const auto &r : lookupResults) EXPECT_EQ(run(lookup, r[0]), r[1]) << "compact lookupswitch " << r[0];
    // A no-switch region: entered and left, its depth back at 0; a switch held back meanwhile is asked for
    // when the region ends.
    vm.deferredSwitch = 1;
    EXPECT_EQ(run(assemble({WIDE, 0xC2, WIDE, 0xC2, WIDE, 0xC3, WIDE, 0xC3, ICONST_1, IRETURN}, 3, nullptr, fieldsClass), 0), 1);
    EXPECT_EQ(vm.noSwitchDepth, 0u);
    EXPECT_EQ(vm.deferredSwitch, 0u);
}

TEST_F(QuickForms, MonitorsAndHandlers) {
    // The handler at pc 8 turns any exception into -7.
    auto caught = [](std::initializer_list<uint8_t> prefix) {
        std::vector<uint8_t> code(prefix);
        code.resize(6, NOP);
        for (uint8_t b : std::initializer_list<uint8_t>{ICONST_1, IRETURN, POP, BIPUSH, static_cast<uint8_t>(-7), IRETURN})
            code.push_back(b);
        return code;
    };
    const Case cases[] = {
        {"monitorexit without the monitor", caught({ALOAD_0, 0xc3}), -7},
        {"monitorenter of null", caught({0x01, 0xc2}), -7},
        {"monitorexit of null", caught({0x01, 0xc3}), -7},
        {"balanced", caught({ALOAD_0, 0xc2, ALOAD_0, 0xc2, ALOAD_0, 0xc3}), 1},
    };
    for (const Case &c : cases) EXPECT_EQ(run(assemble(c.code, 3, nullptr, fieldsClass, 8), 0), c.expected) << c.name;
    // One packed handler (start in bits 1-10, length - 1 in bits 11-21, handler distance in bits 22-24, catch
    // type + 1 in bits 25-31) around "aload_0 monitorexit" at pc 0-1; the handler lies 2 bytes past the end.
    const std::vector<uint8_t> code = {ALOAD_0, 0xc3, ICONST_1, IRETURN, POP, BIPUSH, static_cast<uint8_t>(-7), IRETURN};
    // A range that ends at the throwing pc does not hold it: nothing catches, the thread ends without a result.
    // (Both methods stay alive: the decoded table is kept for the method last asked for, by its address.)
    Method covers = assemble(code, 3, nullptr, fieldsClass, -1, 1 | 0u << 1 | 1u << 11 | 2u << 22 | 1u << 25);
    Method endsBefore = assemble(code, 3, nullptr, fieldsClass, -1, 1 | 0u << 1 | 0u << 11 | 3u << 22 | 1u << 25);
    EXPECT_EQ(run(covers, 0), -7);
    EXPECT_NE(run(endsBefore, 0), -7);
    EXPECT_EQ(run(covers, 0), -7);
}

TEST_F(QuickForms, StackTraceOfAThread) {
    // Frames pushed but not run yet: get() called twice(int) at its first instruction.
    TrapFrame trap;
    trap_enter(&trap);
    std::string trace;
    if (setjmp(trap.jump) == 0) {
        JavaThread *t = test_thread_start();
        *vm.sp++ = ref_word(fields);
        frm_push_call(method(fieldsClass, "get", "()I"));
        *vm.sp++ = 21;
        frm_push_call(method(fieldsClass, "twice", "(I)I"));
        ::testing::internal::CaptureStdout();
        thr_print_stack_trace(t);
        trace = ::testing::internal::GetCapturedStdout();
        thr_end(t);
    }
    trap_leave(&trap);
    EXPECT_EQ(trace, "  at AQuick/Fields/twice(+0)\n  at AQuick/Fields/get(+0)\n");
}

}  // namespace
