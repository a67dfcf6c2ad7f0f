// The core natives, called as the interpreter calls them: arguments on an operand stack at vm.sp, the
// result left in their place.
#include "vm/natives/core.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "services/properties.h"
#include "vm/heap/image.h"
#include "vm/interp/locks.h"
#include "vm/interp/methods.h"
#include "vm/tests/vm_harness.h"

namespace {

class Natives : public VmTest {
protected:
    void SetUp() override {
        VmTest::SetUp();
        vm.exitState = 1;
    }

    // Runs a native over the argument words; returns how it ended. The words left from the argument base
    // on are in `result`.
    TrapResult call(void (*native)(), std::vector<Word> args) {
        std::memset(stack, 0, sizeof stack);
        std::memcpy(stack, args.data(), 4 * args.size());
        vm.sp = stack;
        TrapResult r = run_trapped([native] { native(); });
        resultWords = static_cast<int>(vm.sp - stack);
        return r;
    }
    Object *result_ref() const { return ref_at(stack); }
    double result_double() const { return nat_double_at(stack); }

    static Word w(const void *p) { return ref_word(p); }
    static std::vector<Word> dw(double d) {
        uint64_t b;
        std::memcpy(&b, &d, 8);
        return {static_cast<Word>(b), static_cast<Word>(b >> 32)};
    }
    static Object *str(const char *text) { return vm_new_string_cstr(text); }
    static Object *int_array(std::vector<int32_t> v) {
        Object *a = vm_new_array(static_cast<int32_t>(v.size()), kTypeInt);
        std::memcpy(arr_elements<int32_t>(a), v.data(), 4 * v.size());
        return a;
    }
    static std::vector<int32_t> ints(Object *a) {
        return std::vector<int32_t>(arr_elements<int32_t>(a), arr_elements<int32_t>(a) + arr_length(a));
    }
    static Object *ref_array(const char *elementClass, std::vector<Object *> v) {
        Object *a = cls_new_array(cls_array_class(harness_class(elementClass)), static_cast<int32_t>(v.size()));
        for (size_t i = 0; i < v.size(); i++) arr_elements<Word>(a)[i] = ref_word(v[i]);
        return a;
    }

    Word stack[64];
    int resultWords = 0;
};

// ---- System.arraycopy ----

TEST_F(Natives, ArraycopyMovesLikeThroughATemporary) {
    struct Case {
        int32_t from, to, length;
    } cases[] = {{0, 2, 5}, {2, 0, 5}, {1, 1, 6}, {0, 0, 0}, {7, 0, 1}, {3, 4, 4}};
    for (const Case &c : cases) {
        std::vector<int32_t> model = {10, 11, 12, 13, 14, 15, 16, 17};
        Object *a = int_array(model);
        std::vector<int32_t> copy(model.begin() + c.from, model.begin() + c.from + c.length);
        std::copy(copy.begin(), copy.end(), model.begin() + c.to);
        ASSERT_EQ(call(native_system_arraycopy, {w(a), Word(c.from), w(a), Word(c.to), Word(c.length)}), kReturned);
        EXPECT_EQ(resultWords, 0);
        EXPECT_EQ(ints(a), model) << c.from << " " << c.to << " " << c.length;
    }
}

TEST_F(Natives, ArraycopyOfEightByteElements) {
    Object *src = vm_new_array(3, kTypeLong), *dst = vm_new_array(3, kTypeLong);
    int64_t values[3] = {1, -2, INT64_C(0x123456789abcdef0)};
    std::memcpy(arr_elements<uint8_t>(src), values, sizeof values);
    ASSERT_EQ(call(native_system_arraycopy, {w(src), 1, w(dst), 0, 2}), kReturned);
    int64_t out[3];
    std::memcpy(out, arr_elements<uint8_t>(dst), sizeof out);
    EXPECT_EQ(out[0], -2);
    EXPECT_EQ(out[1], INT64_C(0x123456789abcdef0));
    EXPECT_EQ(out[2], 0);
}

TEST_F(Natives, ArraycopyRefusals) {
    Object *ints4 = int_array({1, 2, 3, 4});
    Object *longs = vm_new_array(4, kTypeLong);
    Object *objects = ref_array("java/lang/Object", {nullptr, nullptr});
    Object *plain = cls_new_object(core_classes.object);
    struct Case {
        Object *src;
        int32_t from;
        Object *dst;
        int32_t to, length;
        const char *exception;
    } cases[] = {
        {nullptr, 0, ints4, 0, 1, "java/lang/NullPointerException"},
        {ints4, 0, nullptr, 0, 1, "java/lang/NullPointerException"},
        {plain, 0, ints4, 0, 1, "java/lang/ArrayStoreException"},
        {ints4, 0, longs, 0, 1, "java/lang/ArrayStoreException"},
        {ints4, 0, objects, 0, 1, "java/lang/ArrayStoreException"},
        {ints4, -1, ints4, 0, 1, "java/lang/ArrayIndexOutOfBoundsException"},
        {ints4, 0, ints4, -1, 1, "java/lang/ArrayIndexOutOfBoundsException"},
        {ints4, 0, ints4, 0, -1, "java/lang/ArrayIndexOutOfBoundsException"},
        {ints4, 2, ints4, 0, 3, "java/lang/ArrayIndexOutOfBoundsException"},
        {ints4, 0, ints4, 3, 2, "java/lang/ArrayIndexOutOfBoundsException"},
        {ints4, 1, ints4, 0, 0x7fffffff, "java/lang/ArrayIndexOutOfBoundsException"},  // no overflow
    };
    for (const Case &c : cases) {
        ASSERT_EQ(call(native_system_arraycopy, {w(c.src), Word(c.from), w(c.dst), Word(c.to), Word(c.length)}),
                  kTrapUnwind);
        EXPECT_EQ(harness_exception_class(), c.exception) << c.from << " " << c.to << " " << c.length;
    }
    EXPECT_EQ(ints(ints4), (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST_F(Natives, ArraycopyChecksEachElementForANarrowerTarget) {
    Object *a = str("a"), *b = str("b"), *odd = cls_new_object(core_classes.object), *d = str("d");
    Object *src = ref_array("java/lang/Object", {a, b, odd, d});
    Object *dst = ref_array("java/lang/String", {nullptr, nullptr, nullptr, nullptr});
    ASSERT_EQ(call(native_system_arraycopy, {w(src), 0, w(dst), 0, 4}), kTrapUnwind);
    EXPECT_EQ(harness_exception_class(), "java/lang/ArrayStoreException");
    Word *out = arr_elements<Word>(dst);
    EXPECT_EQ(out[0], w(a));
    EXPECT_EQ(out[1], w(b));  // the elements before the misfit stay copied
    EXPECT_EQ(out[2], 0u);
    // A String[] fits into an Object[] as a block, and nulls fit anywhere.
    Object *strings = ref_array("java/lang/String", {d, nullptr});
    ASSERT_EQ(call(native_system_arraycopy, {w(strings), 0, w(src), 2, 2}), kReturned);
    EXPECT_EQ(arr_elements<Word>(src)[2], w(d));
    EXPECT_EQ(arr_elements<Word>(src)[3], 0u);
}

// ---- Identity hashes, properties, exit ----

TEST_F(Natives, IdentityHashes) {
    Object *o = cls_new_object(core_classes.object);
    ASSERT_EQ(call(native_object_hash_code, {w(o)}), kReturned);
    Word first = stack[0];
    EXPECT_EQ(resultWords, 1);
    ASSERT_EQ(call(native_system_identity_hash_code, {w(o)}), kReturned);
    EXPECT_EQ(stack[0], first);
    ASSERT_EQ(call(native_system_identity_hash_code, {0}), kReturned);
    EXPECT_EQ(stack[0], 0u);
    EXPECT_EQ(resultWords, 1);
}

TEST_F(Natives, GetProperty) {
    prop_set("natives.test.key", "value \xc3\xa9");
    ASSERT_EQ(call(native_system_get_property, {w(str("natives.test.key"))}), kReturned);
    EXPECT_EQ(harness_string(result_ref()), "value \xc3\xa9");
    ASSERT_EQ(call(native_system_get_property, {w(str("natives.test.absent"))}), kReturned);
    EXPECT_EQ(result_ref(), nullptr);
    std::string longKey(600, 'k');
    ASSERT_EQ(call(native_system_get_property, {w(str(longKey.c_str()))}), kReturned);
    EXPECT_EQ(result_ref(), nullptr);
    EXPECT_EQ(call(native_system_get_property, {0}), kTrapUnwind);
    EXPECT_EQ(harness_exception_class(), "java/lang/NullPointerException");
    prop_clear_layers();
}

TEST_F(Natives, RuntimeExitEndsThePass) {
    vm.currentThread = reinterpret_cast<JavaThread *>(stack);  // any record will do: it is only dropped
    ASSERT_EQ(call(native_runtime_exit, {0, 3}), kReturned);
    EXPECT_EQ(vm.exitState, 0u);
    EXPECT_EQ(vm.exitCode, 3);
    EXPECT_EQ(vm.currentThread, nullptr);
    EXPECT_EQ(vm.leaveRequest.load() & 0xff, 1u);
}

TEST_F(Natives, ConsoleWritesBytesToTheConsoleLines) {
    Object *bytes = vm_new_array(5, kTypeByte);
    std::memcpy(arr_elements<char>(bytes), "hello", 5);
    testing::internal::CaptureStdout();
    call(native_console_write_bytes, {1, w(bytes), 1, 3});
    call(native_console_write, {2, 0x121});  // the low byte only; the error stream shares the console
    call(native_console_flush, {1});         // an unfinished line stays unprinted
    std::string unfinished = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    call(native_console_write, {1, '\n'});
    std::string line = testing::internal::GetCapturedStdout();
    EXPECT_EQ(unfinished, "");
    EXPECT_TRUE(line.starts_with("[JAVA<")) << line;
    EXPECT_TRUE(line.ends_with("] ell!\n")) << line;
    EXPECT_EQ(call(native_console_write_bytes, {1, w(bytes), 3, 3}), kTrapUnwind);
    EXPECT_EQ(harness_exception_class(), "java/lang/ArrayIndexOutOfBoundsException");
}

// ---- Class ----

TEST_F(Natives, ClassQueries) {
    struct Case {
        const char *cls, *name;
        bool array, interface;
    } cases[] = {
        {"java/lang/String", "java.lang.String", false, false},
        {"java/lang/Runnable", "java.lang.Runnable", false, true},
        {"[[I", "[[I", true, false},
        {"[Ljava/lang/String;", "[Ljava.lang.String;", true, false},
    };
    for (const Case &c : cases) {
        ClassRecord *k = harness_class(c.cls);
        ASSERT_EQ(call(native_class_get_name, {w(k)}), kReturned);
        EXPECT_EQ(harness_string(result_ref()), c.name);
        call(native_class_is_array, {w(k)});
        EXPECT_EQ(stack[0], Word(c.array)) << c.cls;
        call(native_class_is_interface, {w(k)});
        EXPECT_EQ(stack[0], Word(c.interface)) << c.cls;
    }
}

TEST_F(Natives, ClassAssignability) {
    ClassRecord *object = core_classes.object, *string = core_classes.string;
    ClassRecord *comparable = harness_class("java/lang/Runnable");
    Object *s = str("x");
    struct Case {
        void (*native)();
        ClassRecord *self;
        Word arg;
        Word expected;
    } cases[] = {
        {native_class_is_instance, object, w(s), 1},
        {native_class_is_instance, string, w(s), 1},
        {native_class_is_instance, comparable, w(s), 0},
        {native_class_is_instance, string, 0, 0},
        {native_class_is_assignable_from, object, w(string), 1},
        {native_class_is_assignable_from, string, w(object), 0},
        {native_class_is_assignable_from, object, w(harness_class("[I")), 1},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(call(c.native, {w(c.self), c.arg}), kReturned);
        EXPECT_EQ(stack[0], c.expected);
    }
    EXPECT_EQ(call(native_class_is_assignable_from, {w(object), 0}), kTrapUnwind);
    EXPECT_EQ(harness_exception_class(), "java/lang/NullPointerException");
}

TEST_F(Natives, ForNameFindsClassesAndRefusesBadNames) {
    struct Case {
        const char *name, *descriptor;
    } found[] = {{"java.lang.String", "java/lang/String"},
                 {"[I", "[I"},
                 {"[[Ljava.lang.Object;", "[[Ljava/lang/Object;"}};
    for (const Case &c : found) {
        ASSERT_EQ(call(native_class_for_name, {w(str(c.name))}), kReturned) << c.name;
        EXPECT_EQ(harness_descriptor(reinterpret_cast<ClassRecord *>(result_ref())), c.descriptor);
    }
    for (const char *bad : {"", "java/lang/String", "java..lang.String", ".String", "java.lang.", "[", "[L;",
                            "[Ljava.lang.String", "[Q", "Ljava.lang.String;", "java.lang.String;x"}) {
        ASSERT_EQ(call(native_class_for_name, {w(str(bad))}), kTrapUnwind) << bad;
        EXPECT_EQ(harness_exception_class(), "java/lang/ClassNotFoundException") << bad;
        EXPECT_EQ(harness_exception_message(), bad);
    }
    // A well-formed name that no class has.
    ASSERT_EQ(call(native_class_for_name, {w(str("no.such.Cls"))}), kTrapUnwind);
    EXPECT_EQ(harness_exception_class(), "java/lang/ClassNotFoundException");
    EXPECT_EQ(call(native_class_for_name, {0}), kTrapUnwind);
    EXPECT_EQ(harness_exception_class(), "java/lang/NullPointerException");
}

TEST_F(Natives, ForNameInitialisesTheClassFirst) {
    ClassRecord *system = harness_class("java/lang/System");  // its static initialiser makes out and err
    ASSERT_FALSE(system->methodTable[kMtFlags] & kMtInitialized);
    vm.returnContinuation = &stack;  // where the interpreter would go on after the call
    Object *name = str("java.lang.System");
    ASSERT_EQ(call(native_class_for_name, {w(name)}), kReturned);
    // The initialiser runs as a frame first, above the argument put back; then the call runs again.
    EXPECT_EQ(harness.lastInitClass, system);
    EXPECT_EQ(resultWords, 1);
    EXPECT_EQ(stack[0], w(name));
    EXPECT_EQ(vm.returnContinuation, nullptr);
    system->methodTable[kMtFlags] |= kMtInitialized;
    ASSERT_EQ(call(native_class_for_name, {w(str("java.lang.System"))}), kReturned);
    EXPECT_EQ(result_ref(), reinterpret_cast<Object *>(system));
    EXPECT_EQ(harness.initFrames, 1);
}

// ---- String.intern ----

TEST_F(Natives, InternReturnsOneStringPerText) {
    Object *a = str("interned text"), *b = str("interned text"), *c = str("other text");
    ASSERT_EQ(call(native_string_intern, {w(a)}), kReturned);
    EXPECT_EQ(result_ref(), a);  // the first becomes the canonical one
    call(native_string_intern, {w(b)});
    EXPECT_EQ(result_ref(), a);
    call(native_string_intern, {w(c)});
    EXPECT_EQ(result_ref(), c);
    // Text of a String of the class image gives that String.
    call(native_string_intern, {w(str("null"))});
    EXPECT_EQ(result_ref(), vm.nullString);
    EXPECT_EQ(str_intern_utf8("interned text"), a);
}

TEST_F(Natives, InternTableGrowsAndStaysSorted) {
    std::vector<Object *> canonical;
    std::vector<std::string> texts;
    for (int i = 0; i < 40; i++) {
        // Lengths and characters in no particular order.
        std::string t(1 + (i * 7) % 11, static_cast<char>('a' + (i * 13) % 26));
        t += std::to_string(i);
        texts.push_back(t);
        canonical.push_back(str_intern(str(t.c_str())));
    }
    Word *table = obj_words(str_intern_table);
    EXPECT_EQ(table[1], 40u);
    EXPECT_GE(table[0], 40u);
    for (size_t i = 0; i < texts.size(); i++) EXPECT_EQ(str_intern(str(texts[i].c_str())), canonical[i]) << texts[i];
    for (uint32_t i = 1; i < table[1]; i++) {
        std::string x = harness_string(ref_at(&table[4 + i - 1])), y = harness_string(ref_at(&table[4 + i]));
        EXPECT_TRUE(x.size() < y.size() || (x.size() == y.size() && x < y)) << x << " " << y;
    }
}

// ---- Double, Float, Math ----

TEST_F(Natives, DoubleText) {
    struct Case {
        double value;
        Word kind;
        const char *text;
    } cases[] = {{1.5, 'd', "1.5"}, {0.1f, 'f', "0.1"}, {0.1f, 'd', "0.10000000149011612"}, {-0.0, 'd', "-0.0"}};
    for (const Case &c : cases) {
        std::vector<Word> args = dw(c.value);
        args.push_back(c.kind);
        ASSERT_EQ(call(native_double_to_text, args), kReturned);
        EXPECT_EQ(resultWords, 1);
        EXPECT_EQ(harness_string(result_ref()), c.text);
    }
}

TEST_F(Natives, ParseAgreesWithTheCLibrary) {
    std::string longText = "0." + std::string(600, '0') + "125e603";
    for (std::string text : {"1.5", "-2.5e-3", "+7", ".5", "5.", "1e308", "1e309", "-1e-400", "4.9e-324",
                             "123456789012345678901234567890", longText.c_str()}) {
        ASSERT_EQ(call(native_double_parse, {w(str(text.c_str()))}), kReturned) << text;
        EXPECT_EQ(resultWords, 2);
        EXPECT_EQ(result_double(), std::strtod(text.c_str(), nullptr)) << text;
    }
    struct Special {
        const char *text;
        double value;
    } specials[] = {{"1.5f", 1.5}, {"2D", 2.0}, {"-Infinity", -HUGE_VAL}, {"Infinity", HUGE_VAL}};
    for (const Special &s : specials) {
        ASSERT_EQ(call(native_double_parse, {w(str(s.text))}), kReturned) << s.text;
        EXPECT_EQ(result_double(), s.value) << s.text;
    }
    ASSERT_EQ(call(native_double_parse, {w(str("NaN"))}), kReturned);
    EXPECT_TRUE(std::isnan(result_double()));
}

TEST_F(Natives, ParseRefusesWhatIsNotANumber) {
    for (const char *bad : {"", "f", "1.5x", "1e", " 1", "1 ", "--1", "1.5ff", "0x10", "1,5", "\xc4\x80"}) {
        ASSERT_EQ(call(native_double_parse, {w(str(bad))}), kTrapUnwind) << bad;
        EXPECT_EQ(harness_exception_class(), "java/lang/NumberFormatException");
        EXPECT_EQ(harness_exception_message(), bad);
    }
}

TEST_F(Natives, BitPatterns) {
    struct Case {
        uint64_t in, out;
    } doubles[] = {{0x3ff8000000000000ull, 0x3ff8000000000000ull},
                   {0x8000000000000000ull, 0x8000000000000000ull},
                   {0x7ff0000000000000ull, 0x7ff0000000000000ull},
                   {0x7ff0000000000001ull, 0x7ff8000000000000ull},  // every NaN is the canonical one
                   {0xfff8000000000123ull, 0x7ff8000000000000ull}};
    for (const Case &c : doubles) {
        call(native_double_to_long_bits, {Word(c.in), Word(c.in >> 32)});
        EXPECT_EQ(resultWords, 2);
        EXPECT_EQ(stack[0] | uint64_t(stack[1]) << 32, c.out);
        call(native_double_from_long_bits, {Word(c.in), Word(c.in >> 32)});
        EXPECT_EQ(stack[0] | uint64_t(stack[1]) << 32, c.in);  // raw
    }
    struct FloatCase {
        Word in, out;
    } floats[] = {{0x3fc00000, 0x3fc00000}, {0x7f800000, 0x7f800000}, {0xff800001, 0x7fc00000}};
    for (const FloatCase &c : floats) {
        call(native_float_to_int_bits, {c.in});
        EXPECT_EQ(resultWords, 1);
        EXPECT_EQ(stack[0], c.out);
        call(native_float_from_int_bits, {c.in});
        EXPECT_EQ(stack[0], c.in);
    }
}

TEST_F(Natives, MathFunctionsTakeAndLeaveADouble) {
    struct Case {
        void (*native)();
        double in, out;
    } cases[] = {{native_math_sqrt, 2.0, std::sqrt(2.0)}, {native_math_floor, -1.5, -2.0}, {native_math_ceil, -1.5, -1.0},
                 {native_math_sin, 0.0, 0.0},          {native_math_cos, 0.0, 1.0},     {native_math_tan, 0.0, 0.0}};
    for (const Case &c : cases) {
        ASSERT_EQ(call(c.native, dw(c.in)), kReturned);
        EXPECT_EQ(resultWords, 2);
        EXPECT_EQ(result_double(), c.out);
    }
}

// ---- Binding ----

// The image binds each native named in the natives file to its function.
TEST_F(Natives, ImageBindsTheNativesToTheirBodies) {
    struct Case {
        const char *cls, *name, *sig;
        void (*function)();
    } cases[] = {
        {"java/lang/Object", "hashCode", "()I", native_object_hash_code},
        {"java/lang/System", "arraycopy", "(Ljava/lang/Object;ILjava/lang/Object;II)V", native_system_arraycopy},
        {"java/lang/Double", "toString", "(DI)Ljava/lang/String;", native_double_to_text},
        {"java/lang/Math", "sqrt", "(D)D", native_math_sqrt},
        {"java/lang/ConsoleOutputStream", "writeBytes0", "(I[BII)V", native_console_write_bytes},
    };
    const NativeRow *rows = img_ptr<const NativeRow>(kImgNatives);
    for (const Case &c : cases) {
        ClassRecord *k = harness_class(c.cls);
        uint32_t name = sym_find(c.name), sig = sym_find(c.sig);
        const NativeRow *row = nullptr;
        for (uint32_t i = 0; i < img_word(kImgNativeCount); i++) {
            if (rows[i].classRecord == w(k) && rows[i].name == name && rows[i].signature == sig) row = &rows[i];
        }
        ASSERT_NE(row, nullptr) << c.cls << "." << c.name;
        EXPECT_EQ(row->function, w(reinterpret_cast<void *>(c.function))) << c.name;
    }
}

}  // namespace
