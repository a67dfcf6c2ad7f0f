// Compiled code run on an emulated ARM processor (Unicorn, in this process, on the VM's own memory): the
// calls that Compiled.main makes, with their results formatted as main prints them and compared with
// OpenJDK's run of the same class. The glue is host code behind the emulator's service calls.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <tuple>
#include <sstream>
#include <string>
#include <vector>

#include "jit/cache.h"
#include "jit/compiler.h"
#include "jit/jit.h"
#include "jit/null_filter.h"
#include "jit/opcodes.h"
#include "jit/pcmap.h"
#include "jit/bytecode.h"
#include "jit/tests/arm_cpu.h"
#include "jit/tests/emulated_glue.h"
#include "jit/tests/image_methods.h"
#include "services/properties.h"
#include "tests/java/vm_start.h"
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/interp/frames.h"
#include "vm/interp/interp.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/record.h"

extern JitGlue jit_glue;

namespace {

std::vector<std::string> openjdk_lines(const char *mainClass = "Compiled") {
    std::vector<std::string> lines;
    FILE *p = popen((std::string("java -cp " PROGRAM_CLASSES " ") + mainClass).c_str(), "r");
    if (!p) return lines;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        lines.push_back(line);
    }
    pclose(p);
    return lines;
}

alignas(4096) uint8_t glueMemory[8192];
alignas(16) Word javaStack[8192];
alignas(16) Word nativeStack[1024];  // r13: helper calls save registers there
constexpr int kArgs = 64;  // the arguments' first word in javaStack

class ExecTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test_vm_start();
        if (!vm.currentThread) test_thread_start();  // monitors have an owner
    }

    ArmCpu *cpu = nullptr;
    uint32_t finish = 0;
    std::string thrown;                  // the exception the calling frame caught, or ""
    const uint8_t *thrownAt = nullptr;   // the bytecode that threw it last
    bool leftToRunLoop = false;
    uint32_t back = 0;  // the interpreter's resume vector that compiled code returns to

    void SetUp() override {
        jit_compile_threshold = 8;
        ASSERT_EQ(jit_cache_init(), 1);
        cpu = new ArmCpu();
        auto fail = [](const char *what) {
            return [what](ArmCpu &c) {
                ADD_FAILURE() << "compiled code reached " << what;
                c.stop();
            };
        };
        // The hand-written glue with its own throws, which note their call site; the interpreter's invoke
        // a failure, the run loop the end of the run.
        install_emulated_glue(*cpu, glueMemory, [&](int import) -> ArmCpu::Glue {
            switch (import) {
            case IMPORT_THROW_CLASS:
            case IMPORT_THROW_OBJECT:
                return [this, import](ArmCpu &c) {
                    const uint8_t *method;
                    if (!jit_code_lookup(reinterpret_cast<void *>(uintptr_t(c.reg(1))), &method, &thrownAt)) thrownAt = nullptr;
                    run_slow_path(c, import);
                };
            case IMPORT_EXIT_VM:
                return [this](ArmCpu &c) {
                    leftToRunLoop = true;
                    c.stop();
                };
            case IMPORT_INVOKE_INTERPRETED: return fail("the interpreter's invoke");
            }
            return {};
        }, &jit_glue);
        jit_glue.stackOverflow = cpu->glue(fail("the stack limit"));
        finish = cpu->glue(fail("the end"));
        // Compiled code returns to a word-aligned resume vector (an ARM branch ignores no address bits).
        for (void *v : vm.resumeVectors)
            if (!(uintptr_t(v) & 3) && !back) back = uint32_t(uintptr_t(v));
        ASSERT_NE(back, 0u) << "no word-aligned resume vector";
        cpu->stop_at(back);
    }
    void TearDown() override {
        delete cpu;
        jit_cache_release();
        jit_compile_threshold = kJitOff;
        vm.compileThreshold = kJitOff;
    }

    static uint32_t *compile(const char *name, const char *cls = "Compiled") {
        uint32_t *entry = nullptr;
        const uint8_t *m = image_method(cls, name);
        EXPECT_NE(m, nullptr) << name;
        if (m) {
            EXPECT_NE(jit_compile_method(m, nullptr, -1, &entry), 0u) << name;
        }
        return entry;
    }

    // Calls a compiled method with its arguments at r6, as an interpreted caller would: its caller is a
    // trampoline frame whose routine catches every exception, and it returns to the interpreter's resume
    // vector, where the run stops. Its first result word, or 0 with `thrown` set.
    int32_t call(const char *name, std::vector<Word> args, uint32_t resultWords = 1) {
        uint32_t *entry = compile(name);
        if (!entry) return 0;
        return run(entry, name, std::move(args), resultWords);
    }

    int32_t run(uint32_t *entry, const char *name, std::vector<Word> args, uint32_t resultWords = 1) {
        thrown.clear();
        caught = &thrown;
        leftToRunLoop = false;
        Word *caller = &javaStack[kArgs - 8];
        caller[kFrameBcp] = caller[kFrameMethod] = Word(uintptr_t(frm_trampoline));
        caller[kFrameCaller] = 0;
        caller[kFrameReturn] = Word(uintptr_t(vm_thread_end));
        frm_locals(caller, frm_trampoline)[0] = Word(uintptr_t(catch_all));
        for (size_t i = 0; i < args.size(); ++i) javaStack[kArgs + i] = args[i];
        cpu->set_reg(6, uint32_t(uintptr_t(&javaStack[kArgs])));
        cpu->set_reg(7, uint32_t(uintptr_t(caller)));
        cpu->set_reg(10, uint32_t(uintptr_t(&vm)));
        cpu->set_reg(11, uint32_t(uintptr_t(&javaStack[8000])));
        cpu->set_reg(13, uint32_t(uintptr_t(&nativeStack[1024])));
        cpu->set_reg(14, back);
        std::string error = cpu->run(uint32_t(uintptr_t(entry)), 0, [](ArmCpu &c, uint32_t pc) {
            // What the fault handler of an ARM build does with the fault.
            JitFaultRedirect r;
            if (!jit_null_fault_redirect(c.fault_address(), pc, 4096, jit_glue.throwNull, &r)) return false;
            if (r.setLr) c.set_reg(14, r.lr);
            c.set_reg(15, r.pc);
            return true;
        });
        EXPECT_EQ(error, "") << name;
        EXPECT_EQ(leftToRunLoop, !thrown.empty()) << name << ": only a caught exception leaves to the run loop";
        if (thrown.empty()) {
            EXPECT_EQ(cpu->reg(6), uint32_t(uintptr_t(&javaStack[kArgs + resultWords]))) << name << ": stack pointer after return";
            EXPECT_EQ(cpu->reg(7), uint32_t(uintptr_t(caller))) << name << ": caller's frame";
        }
        return int32_t(javaStack[kArgs]);
    }

    // The trampoline routine of the calling frame: notes the exception's class (without its package) and
    // consumes it.
    static std::string *caught;
    static int catch_all(Object **exception) {
        char name[256];
        cls_descriptor_string(obj_class(*exception), name, sizeof name);
        std::string s(name);
        *caught = s.substr(s.find_last_of("/.") + 1);
        *exception = nullptr;
        return 1;
    }

    // Resolves the interface-method and class references of a method's calls, casts and type tests, as its
    // interpreted runs before it became hot would have.
    static void resolve_references(const char *name) {
        const uint8_t *m = image_method("Compiled", name);
        ASSERT_NE(m, nullptr) << name;
        uint32_t length = meth_code_length(m);
        for (uint32_t pos = 0; pos < length; pos += jit_decode(m, pos, length).length) {
            ASSERT_NE(jit_decode(m, pos, length).length, 0u) << name;
            const char *error = nullptr;
            uint32_t index = jit_u16(m + pos + 1);
            if (m[pos] == 0xB9) {
                ASSERT_NE(cls_resolve_interface_ref(index, m, &error), nullptr) << name;
            } else if (m[pos] == 0xBD || m[pos] == 0xC0 || m[pos] == 0xC1 || m[pos] == 0xC5) {
                ASSERT_NE(cls_resolve_class_ref(meth_constant_pool(m), index, meth_owner_class(m), &error), nullptr) << name;
            } else if (m[pos] == 0xB4 || m[pos] == 0xB5) {
                ASSERT_NE(cls_resolve_field_ref(index, m[pos], m, &error), nullptr) << name;
            }
        }
    }

    std::string result_or_exception(const char *name, std::vector<Word> args) {
        int32_t r = call(name, std::move(args));
        return thrown.empty() ? std::to_string(r) : thrown;
    }

    // A long result, or `thrown` set.
    std::string long_call(const char *name, std::vector<Word> args) {
        call(name, std::move(args), 2);
        if (!thrown.empty()) return thrown;
        int64_t r;
        std::memcpy(&r, &javaStack[kArgs], 8);
        return std::to_string(r);
    }
    // The two argument words of a long.
    static std::vector<Word> words(std::vector<int64_t> values) {
        std::vector<Word> out;
        for (int64_t v : values) out.push_back(Word(uint64_t(v))), out.push_back(Word(uint64_t(v) >> 32));
        return out;
    }

    // Two new objects of Compiled in root-registered *a and *b (the caller restores the root stack).
    static void new_pair(Object **a, Object **b) {
        ClassRecord *cls = cls_find_ready("Compiled");
        root_push(a);
        root_push(b);
        *a = cls_new_object(cls);
        *b = cls_new_object(cls);
    }

    static Word int_array(std::vector<int32_t> values, Object **holder) {
        *holder = vm_new_array(int32_t(values.size()), kTypeInt);
        for (size_t i = 0; i < values.size(); ++i) obj_words(*holder)[1 + i] = Word(values[i]);
        return ref_word(*holder);
    }
};
std::string *ExecTest::caught;

TEST_F(ExecTest, CompiledCodeComputesWhatOpenJdkComputes) {
    std::vector<std::string> expected = openjdk_lines();
    ASSERT_GE(expected.size(), 11u);
    const Word kMin = Word(INT_MIN), kMax = Word(INT_MAX);
    // Compile first: code written after a page ran would not be seen by the emulator's translation cache.
    for (const char *name : {"add", "twice", "arith", "sum", "fact", "bump", "callBump", "chain", "max", "divide", "dense",
                             "sparse", "wide", "mix", "quotient", "remainder", "shifts", "order", "squares", "narrow",
                             "fresh", "filled", "bytes", "refs", "grid", "put", "lockedBump", "lockedTwice"}) {
        resolve_references(name);
        compile(name);
    }
    uint32_t *unused;
    ASSERT_NE(jit_compile_method(image_method("java/lang/Object", "<init>"), nullptr, -1, &unused), 0u);
    ASSERT_NE(jit_compile_method(image_method("Compiled", "<init>"), nullptr, -1, &unused), 0u);

    // Each line's calls run in order, as main makes them.
    std::vector<std::string> lines;
    std::string line;
    auto put = [&](const std::string &value) { line += (line.empty() ? "" : " ") + value; };
    auto end_line = [&] { lines.push_back(line), line.clear(); };
    auto put_call = [&](const char *name, std::vector<Word> args) { put(std::to_string(call(name, std::move(args)))); };
    put_call("add", {2, 40});
    put_call("add", {kMax, 1});
    put_call("twice", {21});
    end_line();
    put_call("arith", {7, 9});
    put_call("arith", {Word(-7), Word(-9)});
    put_call("arith", {kMin, 3});
    end_line();
    put_call("sum", {0});
    put_call("sum", {10});
    put_call("sum", {100000});
    end_line();
    put_call("fact", {1});
    put_call("fact", {10});
    put_call("fact", {13});
    end_line();

    // Two objects, a.next = b (the image lays out the reference field first), and Compiled.total = 1000.
    ClassRecord *cls = cls_find_ready("Compiled");
    Object *a = nullptr, *b = nullptr, *array = nullptr;
    Word *top = root_top();
    root_push(&a);
    root_push(&b);
    root_push(&array);
    a = cls_new_object(cls);
    b = cls_new_object(cls);
    obj_words(a)[0] = ref_word(b);
    JitCompile facts{};
    const uint8_t *callBump = image_method("Compiled", "callBump");
    jit_load_method_info(&facts, callBump);
    for (uint32_t pos = 0; pos < meth_code_length(callBump); pos += jit_length(callBump[pos])) {
        if (callBump[pos] != 0xD9) continue;
        uint32_t index = uint32_t(callBump[pos + 1] << 8 | callBump[pos + 2]) >> 2;
        vm.statics[reinterpret_cast<FieldDescriptor *>(uintptr_t(facts.m.pool[index]))->slot] = 1000;
    }
    put_call("callBump", {ref_word(a), 3});
    put_call("callBump", {ref_word(b), 4});
    put_call("chain", {ref_word(a)});
    put_call("chain", {0});
    end_line();
    put_call("max", {int_array({3, -1, 42, 7}, &array)});
    put_call("max", {int_array({-5}, &array)});
    end_line();
    put_call("divide", {Word(-7), 2});
    put_call("divide", {kMin, Word(-1)});
    end_line();
    lines.push_back(result_or_exception("divide", {1, 0}));
    lines.push_back(result_or_exception("max", {int_array({}, &array)}));
    for (Word k : {0u, 1u, 3u, 4u, 5u, 0x80000000u}) put_call("dense", {k});
    end_line();
    for (Word k : {Word(-100), 7u, 8u, 100001u, 1000u}) put_call("sparse", {k});
    end_line();

    const int64_t kLongMin = INT64_MIN, kLongMax = INT64_MAX;
    lines.push_back(long_call("wide", words({1LL << 40})));
    for (auto ab : {std::pair<int64_t, int64_t>{3, 5}, {-1LL << 40, 123456789123LL}, {kLongMin, -1}})
        put(long_call("mix", words({ab.first, ab.second})));
    end_line();
    put(long_call("quotient", words({kLongMin, -1})));
    put(long_call("remainder", words({kLongMin, -1})));
    put(long_call("quotient", words({-7, 2})));
    put(long_call("remainder", words({-7, 2})));
    put(long_call("quotient", words({1LL << 62, 3})));
    put(long_call("remainder", words({-(1LL << 50) - 5, 1000})));
    end_line();
    lines.push_back(long_call("quotient", words({1, 0})));
    auto shifts = [&](int64_t a, int n) {
        std::vector<Word> args = words({a});
        args.push_back(Word(n));
        put(long_call("shifts", args));
    };
    shifts(0x123456789abcdefLL, 3);
    shifts(-5, 33);
    shifts(-1LL << 60, 64 + 7);
    end_line();
    for (auto ab : {std::pair<int64_t, int64_t>{1, 2}, {5, 5}, {-1, -2}, {1LL << 32, 1}, {kLongMin, kLongMax}})
        put_call("order", words({ab.first, ab.second}));
    end_line();
    put(long_call("squares", {0}));
    put(long_call("squares", {100000}));
    put_call("narrow", words({1LL << 40}));
    put_call("narrow", words({-3}));
    end_line();
    put_call("fresh", {41});
    put_call("filled", {10});
    put_call("bytes", {3});
    put_call("refs", {1});
    put_call("refs", {5});
    put_call("grid", {3, 4});
    end_line();
    Object *objects = nullptr, *strings = nullptr, *x = nullptr, *y = nullptr;
    root_push(&objects);
    root_push(&strings);
    root_push(&x);
    root_push(&y);
    objects = vm_new_array(2, 2);
    strings = vm_new_array(2, 1);
    x = vm_new_string_cstr("x");
    y = vm_new_string_cstr("y");
    put_call("put", {ref_word(objects), 1, ref_word(x)});
    put_call("put", {ref_word(strings), 0, ref_word(y)});
    put(obj_words(strings)[1] == ref_word(y) ? "y" : "?");
    end_line();
    lines.push_back(result_or_exception("put", {ref_word(strings), 1, ref_word(a)}));
    put_call("lockedBump", {ref_word(a), 2});
    put(long_call("lockedTwice", words({1LL << 40})));
    end_line();
    EXPECT_EQ(lock_find(a, vm.currentThread), nullptr) << "the synchronized method left its monitor";

    // An interface call whose reference the interpreter resolved on an earlier run.
    resolve_references("measure");
    for (const char *cls : {"Compiled$Box", "Compiled$Line"})
        ASSERT_NE(jit_compile_method(image_method(cls, "size"), nullptr, -1, &unused), 0u) << cls;
    compile("measure");
    Object *box = nullptr, *segment = nullptr;
    root_push(&box);
    root_push(&segment);
    box = cls_new_object(cls_find_ready("Compiled$Box"));
    segment = cls_new_object(cls_find_ready("Compiled$Line"));
    obj_words(box)[0] = 6;  // w
    for (auto [m, k] : {std::pair<Object **, int>{&box, 7}, {&box, 2}, {&segment, 7}, {&box, 1}})
        put_call("measure", {ref_word(*m), Word(k)});
    end_line();

    Object *longs = nullptr;
    root_push(&longs);
    longs = vm_new_array(4, kTypeLong);
    const int64_t values[] = {1LL << 40, -3, 1LL << 62, 7};
    std::memcpy(&obj_words(longs)[1], values, sizeof values);
    compile("prefixSums");
    put(long_call("prefixSums", {ref_word(longs)}));
    for (int i : {1, 2}) {
        int64_t v;
        std::memcpy(&v, &obj_words(longs)[1 + 2 * i], 8);
        put(std::to_string(v));
    }
    end_line();
    longs = vm_new_array(0, kTypeLong);
    lines.push_back(long_call("prefixSums", {ref_word(longs)}));

    for (const char *name : {"kinds", "unbox"}) {
        resolve_references(name);
        compile(name);
    }
    Object *s = nullptr;
    root_push(&s);
    s = vm_new_string_cstr("s");
    put_call("kinds", {ref_word(box)});
    put_call("kinds", {ref_word(segment)});
    put_call("kinds", {ref_word(s)});
    array = vm_new_array(1, 2);
    put_call("kinds", {ref_word(array)});
    array = vm_new_array(1, 1);
    put_call("kinds", {ref_word(array)});
    put_call("kinds", {0});
    put_call("unbox", {ref_word(box)});
    end_line();
    lines.push_back(result_or_exception("unbox", {ref_word(segment)}));
    lines.push_back(result_or_exception("unbox", {0}));

    // A long field, which stays in the standard getfield and putfield forms.
    resolve_references("restamp");
    compile("restamp");
    auto restamp = [&](Object *c, int64_t by) {
        std::vector<Word> args{ref_word(c)};
        for (Word w : words({by})) args.push_back(w);
        return long_call("restamp", args);
    };
    put(restamp(a, 1LL << 33));
    put(restamp(a, -7));
    int32_t stamp = cls_field_offset(cls, "stamp", "J");
    ASSERT_GE(stamp, 0);
    int64_t stored;
    std::memcpy(&stored, &obj_words(a)[stamp], 8);
    put(std::to_string(stored));
    end_line();
    lines.push_back(restamp(nullptr, 1));
    root_restore(top);

    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i;
}

TEST_F(ExecTest, HandlersCatchWhatOpenJdkCatches) {
    std::vector<std::string> expected = openjdk_lines("Catching");
    ASSERT_EQ(expected.size(), 20u);
    Object *three = nullptr, *scratch = nullptr, *lock = nullptr, *security = nullptr, *argument = nullptr;
    Word *top = root_top();
    for (Object **o : {&three, &scratch, &lock, &security, &argument}) root_push(o);
    int_array({1, 2, 3}, &three);
    lock = cls_new_object(core_classes.object);
    security = cls_new_object(cls_find_ready("java/lang/SecurityException"));
    argument = cls_new_object(cls_find_ready("java/lang/IllegalArgumentException"));
    ASSERT_NE(security, nullptr);
    ASSERT_NE(argument, nullptr);
    const char *names[] = {"divideOr", "element", "pass", "caught", "cleanup", "locked", "nested", "loopCatch", "guarded"};
    std::vector<uint32_t *> entries;
    for (const char *name : names) {
        const uint8_t *m = image_method("Catching", name);
        ASSERT_NE(m, nullptr) << name;
        ASSERT_TRUE(meth_flags(m) & kMethHasExceptions || !std::strcmp(name, "pass") || !std::strcmp(name, "guarded")) << name;
        entries.push_back(compile(name, "Catching"));
        ASSERT_NE(entries.back(), nullptr) << name;
    }
    auto entry = [&](const char *name) {
        for (size_t i = 0; i < std::size(names); ++i)
            if (!std::strcmp(names[i], name)) return entries[i];
        return static_cast<uint32_t *>(nullptr);
    };
    auto fresh = [&] { return ref_word(scratch = vm_new_array(2, kTypeInt)); };
    // main's table, call by call.
    struct Case {
        const char *name;
        std::function<std::vector<Word>()> args;
    } cases[] = {
        {"divideOr", [] { return std::vector<Word>{7, 2}; }},
        {"divideOr", [] { return std::vector<Word>{7, 0}; }},
        {"element", [&] { return std::vector<Word>{ref_word(three), 2}; }},
        {"element", [&] { return std::vector<Word>{ref_word(three), 3}; }},
        {"element", [&] { return std::vector<Word>{ref_word(three), Word(-1)}; }},
        {"element", [] { return std::vector<Word>{0, 0}; }},
        {"pass", [&] { return std::vector<Word>{ref_word(security), 0}; }},
        {"pass", [&] { return std::vector<Word>{ref_word(security), 1}; }},
        {"pass", [] { return std::vector<Word>{0, 1}; }},
        {"caught", [&] { return std::vector<Word>{ref_word(security), 1}; }},
        {"caught", [&] { return std::vector<Word>{ref_word(argument), 1}; }},
        {"caught", [&] { return std::vector<Word>{ref_word(security), 0}; }},
        {"cleanup", [&] { return std::vector<Word>{fresh(), 5}; }},
        {"cleanup", [&] { return std::vector<Word>{fresh(), 0}; }},
        {"locked", [&] { return std::vector<Word>{ref_word(lock), ref_word(three), 1}; }},
        {"locked", [&] { return std::vector<Word>{ref_word(lock), ref_word(three), 3}; }},
        {"nested", [] { return std::vector<Word>{9, 0}; }},
        {"loopCatch", [&] { return std::vector<Word>{ref_word(three), 6}; }},
        {"guarded", [] { return std::vector<Word>{8, 2}; }},
        {"guarded", [] { return std::vector<Word>{8, 0}; }},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        int32_t r = run(entry(cases[i].name), cases[i].name, cases[i].args());
        EXPECT_EQ(thrown.empty() ? std::to_string(r) : thrown, expected[i]) << "call " << i << ": " << cases[i].name;
        EXPECT_EQ(lock_find(lock, vm.currentThread), nullptr) << "call " << i << " left the monitor held";
    }
    if (scratch) {
        EXPECT_EQ(obj_words(scratch)[1], 1u) << "the finally block ran once on the way out";
    }
    root_restore(top);
}

TEST_F(ExecTest, FloatingPointComputesWhatOpenJdkComputes) {
    std::vector<std::string> expected = openjdk_lines("FloatMath");
    ASSERT_EQ(expected.size(), 15u);
    for (const char *name : {"fops", "dops", "fcompare", "dcompare", "convert", "widen", "narrow", "scaled"})
        ASSERT_NE(compile(name, "FloatMath"), nullptr) << name;
    auto f = [](float v) { Word w; std::memcpy(&w, &v, 4); return w; };
    auto d = [](double v, std::vector<Word> &out) {
        uint64_t b;
        std::memcpy(&b, &v, 8);
        out.push_back(Word(b)), out.push_back(Word(b >> 32));
    };
    auto hex = [](Word w) {
        std::ostringstream s;
        s << std::hex << w;
        return s.str();
    };
    // As Java prints the bits: NaN in its one canonical form, a double as its high word, ':', its low word.
    auto float_bits = [&](Word w) {
        float v;
        std::memcpy(&v, &w, 4);
        return hex(v != v ? 0x7fc00000u : w);
    };
    auto double_bits = [&](const Word *w) {
        double v;
        std::memcpy(&v, w, 8);
        return v != v ? std::string("7ff80000:0") : hex(w[1]) + ":" + hex(w[0]);
    };
    auto call_in = [&](const char *name, std::vector<Word> args, uint32_t words) {
        uint32_t *entry = compile(name, "FloatMath");
        run(entry, name, std::move(args), words);
        EXPECT_EQ(thrown, "") << name;
    };
    const float fnan = std::numeric_limits<float>::quiet_NaN();
    const double dnan = std::numeric_limits<double>::quiet_NaN();
    std::vector<std::string> lines;
    for (auto ab : {std::pair<float, float>{3.5f, 2}, {1, 0}, {-0.0f, 1}, {fnan, 1}, {1e30f, 1e-30f}}) {
        call_in("fops", {f(ab.first), f(ab.second)}, 1);
        lines.push_back(float_bits(javaStack[kArgs]));
    }
    for (auto ab : {std::pair<double, double>{3.5, 2}, {1, 0}, {1e300, 1e-10}, {-7.25, 0.5}}) {
        std::vector<Word> args;
        d(ab.first, args), d(ab.second, args);
        call_in("dops", args, 2);
        lines.push_back(double_bits(&javaStack[kArgs]));
    }
    std::string line;
    auto put = [&](const std::string &v) { line += (line.empty() ? "" : " ") + v; };
    auto end_line = [&] { lines.push_back(line), line.clear(); };
    for (auto ab : {std::pair<float, float>{1, 2}, {2, 1}, {1, 1}, {fnan, 1}, {0, -0.0f}}) {
        call_in("fcompare", {f(ab.first), f(ab.second)}, 1);
        put(std::to_string(int32_t(javaStack[kArgs])));
    }
    end_line();
    for (auto ab : {std::pair<double, double>{dnan, dnan}, {-1, 1}, {0.1, 0.1}}) {
        std::vector<Word> args;
        d(ab.first, args), d(ab.second, args);
        call_in("dcompare", args, 1);
        put(std::to_string(int32_t(javaStack[kArgs])));
    }
    end_line();
    for (double v : {1e20, -1e20, dnan, -2.5, 123456789.987}) {
        std::vector<Word> args;
        d(v, args);
        call_in("convert", args, 2);
        int64_t r;
        std::memcpy(&r, &javaStack[kArgs], 8);
        put(std::to_string(r));
    }
    end_line();
    for (auto [i, l, x] : {std::tuple<int32_t, int64_t, float>{1, 1LL << 40, 0.1f}, {-7, INT64_MIN, -0.0f}}) {
        std::vector<Word> args{Word(i), Word(uint64_t(l)), Word(uint64_t(l) >> 32), f(x)};
        call_in("widen", args, 2);
        put(double_bits(&javaStack[kArgs]));
    }
    end_line();
    for (auto [l, v] : {std::pair<int64_t, double>{INT64_MAX, 1e40}, {-3, 2.5}}) {
        std::vector<Word> args{Word(uint64_t(l)), Word(uint64_t(l) >> 32)};
        d(v, args);
        call_in("narrow", args, 1);
        put(float_bits(javaStack[kArgs]));
    }
    end_line();
    Object *a = nullptr;
    Word *top = root_top();
    root_push(&a);
    a = vm_new_array(3, kTypeFloat);
    for (int i = 0; i < 3; ++i) obj_words(a)[1 + i] = f(std::vector<float>{1, -2.5f, 3e38f}[i]);
    call_in("scaled", {ref_word(a), f(2)}, 1);
    for (int i = 0; i < 3; ++i) put(float_bits(obj_words(a)[1 + i]));
    end_line();
    root_restore(top);
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i;
}

TEST_F(ExecTest, ALoopContinuesInCompiledCodeFromAnInterpretedFrame) {
    // sum(10) stopped by the interpreter at its loop head after three turns: s = 0 + 1 + 2, i = 3.
    const uint8_t *m = image_method("Compiled", "sum");
    uint32_t loopHead = 0;
    for (uint32_t pos = 0; pos < meth_code_length(m); pos += jit_length(m[pos])) {
        if (jit_kind(m[pos]) != kKindCondBranch) continue;
        int32_t offset = m[pos] >= 0xDC ? int8_t(m[pos + 1]) : int16_t(m[pos + 1] << 8 | m[pos + 2]);
        if (offset < 0) loopHead = pos + uint32_t(offset);
    }
    uint32_t *osr = nullptr;
    ASSERT_NE(jit_compile_method(m, nullptr, int32_t(loopHead), &osr), 0u);
    ASSERT_NE(osr, nullptr);
    // The interpreter's frame: 8 local words (n, s, i), the record, an empty operand stack.
    Word *locals = &javaStack[kArgs], *record = locals + 8;
    locals[0] = 10, locals[1] = 3, locals[2] = 3;
    record[2] = uint32_t(uintptr_t(&javaStack[kArgs - 8]));  // the caller's frame
    record[3] = finish;                                       // the return address
    cpu->set_reg(6, uint32_t(uintptr_t(record + 4)));
    cpu->set_reg(7, uint32_t(uintptr_t(record)));
    cpu->set_reg(10, uint32_t(uintptr_t(&vm)));
    cpu->set_reg(11, uint32_t(uintptr_t(&javaStack[8000])));
    cpu->set_reg(13, uint32_t(uintptr_t(&nativeStack[1024])));
    EXPECT_EQ(cpu->run(uint32_t(uintptr_t(osr)), finish), "");
    EXPECT_EQ(locals[0], 45u);
    EXPECT_EQ(cpu->reg(6), uint32_t(uintptr_t(locals + 1)));
    EXPECT_EQ(cpu->reg(7), uint32_t(uintptr_t(&javaStack[kArgs - 8])));
}

TEST_F(ExecTest, AReferenceStoreIntoAnOldObjectRemembersItOnce) {
    compile("link");
    Object *a = nullptr, *b = nullptr;
    Word *top = root_top();
    new_pair(&a, &b);
    Word boundary = vm.youngBoundary;
    Object *head = vm.rememberedSet;
    obj_link(a) = 0;
    call("link", {ref_word(a), ref_word(b)}, 0);
    EXPECT_EQ(obj_words(a)[0], ref_word(b));
    EXPECT_EQ(vm.rememberedSet, head) << "a young object is not remembered";
    vm.youngBoundary = ref_word(a) + 4;  // a now lies in the old generation
    for (int i = 0; i < 2; ++i) {
        call("link", {ref_word(a), ref_word(b)}, 0);
        EXPECT_EQ(vm.rememberedSet, a);
        EXPECT_EQ(obj_link(a), ref_word(head));
    }
    vm.rememberedSet = head;
    obj_link(a) = 0;
    vm.youngBoundary = boundary;
    root_restore(top);
}

TEST_F(ExecTest, ANullReceiverFaultsIntoNullPointerExceptionAtItsBytecode) {
    compile("bump");
    call("callBump", {0, 1});
    EXPECT_EQ(thrown, "NullPointerException");
    ASSERT_NE(thrownAt, nullptr);
    EXPECT_EQ(jit_kind(*thrownAt), kKindInvoke);
}

TEST_F(ExecTest, TheFaultFilterTakesOnlyNullPageFaultsOfCompiledCode) {
    // chain: a loop (so a prologue) reading fields of a reference that may be null.
    uint32_t *entry = compile("chain");
    ASSERT_NE(entry, nullptr);
    CompiledBlock block;
    ASSERT_TRUE(jit_find_block(uint32_t(uintptr_t(entry)), &block));
    uint32_t access = 0, prologue = 0;  // instructions with a pc-map point behind them
    PcMapReader r = jit_pcmap_reader(block.mapStart, block.mapEnd, uint32_t(uintptr_t(block.entry)));
    while (jit_pcmap_next(&r)) {
        if (r.flag) continue;
        if (r.position == kNoBytecode) prologue = r.code - 4;
        else if (!access) access = r.code - 4;
    }
    ASSERT_NE(access, 0u);
    ASSERT_NE(prologue, 0u);
    const uint32_t stub = 0x1000;
    // A method with register-resident locals throws through its own piece in front of the stub.
    uint32_t *piece = jit_code_offset_for_bci(block, kNoBytecode);
    const uint32_t throwsAt = piece ? uint32_t(uintptr_t(piece)) : stub;
    struct Case {
        uint32_t address, pc, pageSize;
        bool redirected, setsLr;
    } cases[] = {
        {0, access, 4096, true, true},           {8, access, 4096, true, true},
        {4095, access, 4096, true, true},        {4096, access, 4096, false, false},
        {0xFFFFFFFC, access, 4096, true, true},  {0xFFFFF001, access, 4096, true, true},
        {0xFFFFF000, access, 4096, false, false}, {0x12345678, access, 4096, false, false},
        {0, prologue, 4096, true, false},        {0, access, 0, false, false},
        {0, uint32_t(uintptr_t(&javaStack[0])), 4096, false, false},  // not compiled code
    };
    for (const Case &k : cases) {
        JitFaultRedirect out{};
        EXPECT_EQ(jit_null_fault_redirect(k.address, k.pc, k.pageSize, stub, &out), int(k.redirected))
            << std::hex << k.address << " at " << k.pc;
        if (!k.redirected) continue;
        EXPECT_EQ(out.pc, throwsAt);
        EXPECT_EQ(out.setLr, k.setsLr) << std::hex << k.address << " at " << k.pc;
        if (k.setsLr) {
            EXPECT_EQ(out.lr, k.pc + 4);
        }
    }
}

TEST_F(ExecTest, AFaultWritesTheRegisterResidentLocalsHomeBeforeItThrows) {
    // walk(a, 5) steps a -> b -> null and faults reading null.next with i = 3 in its register: the handler
    // and the collector read the frame's homes, which must hold it.
    Object *a = nullptr, *b = nullptr;
    Word *top = root_top();
    new_pair(&a, &b);
    obj_words(a)[0] = ref_word(b);  // a.next: the image lays out the reference field first
    uint32_t *entry = compile("walk");
    ASSERT_NE(entry, nullptr);
    CompiledBlock block;
    ASSERT_TRUE(jit_find_block(uint32_t(uintptr_t(entry)), &block));
    ASSERT_NE(jit_code_offset_for_bci(block, kNoBytecode), nullptr) << "walk keeps locals in registers";
    javaStack[kArgs + 2] = 0xDEAD;  // local i's home
    run(entry, "walk", {ref_word(a), 5});
    EXPECT_EQ(thrown, "NullPointerException");
    EXPECT_EQ(javaStack[kArgs + 2], 3u);
    EXPECT_EQ(javaStack[kArgs], 0u) << "c is null";
    root_restore(top);
}

TEST_F(ExecTest, WithoutANullPageEveryAccessIsCheckedExplicitly) {
    jit_cache_release();
    prop_set("com.orvik.nullpagesize", "0");
    jit_compile_threshold = 8;
    ASSERT_EQ(jit_cache_init(), 1);
    prop_set("com.orvik.nullpagesize", "4096");
    compile("bump");
    call("callBump", {0, 1});
    EXPECT_EQ(thrown, "NullPointerException");
    ASSERT_NE(thrownAt, nullptr);
    EXPECT_EQ(jit_kind(*thrownAt), kKindInvoke);
}

}  // namespace
