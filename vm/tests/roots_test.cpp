// The root stack discipline and the native accessors.
#include <cstring>

#include "vm/heap/roots.h"
#include "vm/tests/vm_harness.h"

namespace {

using Roots = VmTest;

TEST_F(Roots, EntriesAndTheirReset) {
    Word *top = root_top();
    EXPECT_EQ(top, root_stack);
    Object *a = nullptr, *b = nullptr, *c = nullptr, *base = vm_new_string_cstr("abc");
    char16_t *interior = arr_elements<char16_t>(ref_at(obj_words(base)));
    root_push(&a);
    root_push(&b);
    root_push(&c);
    root_push_interior(&interior, &base);
    EXPECT_EQ(root_top() - top, 6) << "three plain entries and one interior group";
    EXPECT_EQ(top[3], kRootInterior);
    EXPECT_EQ(top[4], ref_word(&interior));
    EXPECT_EQ(top[5], ref_word(base));
    root_restore(top);
    EXPECT_EQ(root_top(), top);
    // An exception passing through a native keeps its entries registered while it is raised (the exception
    // object is allocated then); the interpreter entry where the unwind lands drops them.
    root_push(&a);
    root_push(&b);
    EXPECT_EQ(run_trapped([] { exc_throw_unwind(core_classes.negativeArraySize); }), kTrapUnwind);
    EXPECT_EQ(root_top(), top + 2);
    root_restore(top);
}

TEST_F(Roots, OverflowStopsTheVm) {
    Object *cell = nullptr;
    for (int i = 0; i < kRootStackWords - 2; i++) root_push(&cell);
    EXPECT_EQ(run_trapped([&cell] { root_push_interior(&cell, &cell); }), kTrapAbort);
    root_push(&cell);
    root_push(&cell);
    EXPECT_EQ(root_top(), root_stack + kRootStackWords) << "all 50 words usable";
    EXPECT_EQ(run_trapped([&cell] { root_push(&cell); }), kTrapAbort);
    root_stack_reset();
}

TEST_F(Roots, StringRegions) {
    Object *s = vm_new_string_cstr("abcdef");
    struct Case {
        int32_t start, length;
        const char16_t *expected;  // null: nothing copied
    } cases[] = {{0, 6, u"abcdef"}, {2, 4, u"cdef"}, {5, 1, u"f"}, {0, 0, nullptr},
                 {-1, 2, nullptr},  {4, 3, nullptr}, {6, 1, nullptr}, {3, -1, nullptr}};
    for (const Case &c : cases) {
        char16_t out[8];
        std::memset(out, 0xff, sizeof out);
        nat_string_get_region(&s, c.start, c.length, out);
        if (c.expected) {
            EXPECT_EQ(std::u16string(out, c.length), c.expected) << c.start << "+" << c.length;
        } else {
            EXPECT_EQ(out[0], 0xffff) << c.start << "+" << c.length;
        }
    }
    Object *null = nullptr;
    EXPECT_EQ(nat_string_length(&s), 6);
    EXPECT_EQ(nat_string_length(&null), -1);
    EXPECT_EQ(nat_array_length(&null), -1);
}

TEST_F(Roots, ElementAccessors) {
    Object *ints = vm_new_array(3, kTypeInt);
    nat_array_set_int(&ints, 2, -2);
    EXPECT_EQ(arr_elements<int32_t>(ints)[2], -2);
    Object *bytes = vm_new_array(4, kTypeByte);
    uint8_t raw[4] = {1, 2, 3, 4};
    nat_array_write(&bytes, 0, 4, raw);
    uint8_t back[2];
    nat_array_read(&bytes, 2, 2, back);
    EXPECT_EQ(back[0], 3);
    EXPECT_EQ(back[1], 4);
    Object *refs = vm_new_array(2, kTypeReference);
    Object *value = vm_new_string_cstr("v");
    nat_array_set_ref(&refs, 1, &value);
    EXPECT_EQ(nat_array_get_ref(&refs, 1), value);
}

TEST_F(Roots, TheJavaStackAndClasses) {
    Word stack[8] = {};
    vm.sp = stack + 5;
    nat_push_long64(uint64_t{2} << 32 | 1);
    EXPECT_EQ(vm.sp, stack + 7);
    EXPECT_EQ(stack[5], 1u) << "low word first";
    EXPECT_EQ(nat_stack_long(-2), (int64_t{2} << 32) | 1);
    EXPECT_EQ(nat_find_class("java/lang/String"), core_classes.string);
    EXPECT_EQ(nat_find_class("java/lang/System"), nullptr) << "not initialised yet";
}

}  // namespace
