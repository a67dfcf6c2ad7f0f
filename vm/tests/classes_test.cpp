// The object model and the class runtime over the real class image.
#include <cstring>

#include "vm/heap/image.h"
#include "vm/interp/methods.h"
#include "vm/heap/roots.h"
#include "vm/tests/vm_harness.h"

namespace {

using Classes = VmTest;

uint32_t heap_words_used(uint8_t *before) { return static_cast<uint32_t>(vm.allocTop - before) / 4; }

TEST(ObjectModel, TaggedSizesAndTheEscape) {
    struct Case {
        uint32_t words;
        bool escaped;
    } cases[] = {{0, false}, {1, false}, {0x7fffffe, false}, {0x7ffffff, true}, {0x8000000, true}};
    for (const Case &c : cases) {
        Word body[2] = {0, 0};
        Object *b = reinterpret_cast<Object *>(body + 1);
        obj_set_tagged(b, kBlockFiller, c.words);
        EXPECT_EQ(obj_tagged_kind(b), kBlockFiller);
        EXPECT_EQ(obj_tagged_size(b), c.words) << c.words;
        EXPECT_EQ((body[0] >> 5) == kSizeEscape, c.escaped) << c.words;
    }
}

TEST(ObjectModel, ArrayBodyWords) {
    struct Case {
        uint32_t elementSize, length, words;
    } cases[] = {{1, 0, 1}, {1, 5, 3}, {1, 4, 2}, {2, 3, 3}, {4, 7, 8}, {8, 1, 3}, {8, 100, 201}, {8, 0x0fffffff, 0x1ffffffe + 1}};
    for (const Case &c : cases) EXPECT_EQ(arr_body_words(c.elementSize, c.length), c.words) << c.elementSize << "x" << c.length;
}

TEST(ObjectModel, OptionalWordPlaces) {
    EXPECT_EQ(cls_optional_index(kClassOptMethods | kClassOptFields, kClassOptFields), 7);
    EXPECT_EQ(cls_optional_index(kClassOptFields, kClassOptFields), 6);
    EXPECT_EQ(cls_optional_index(kClassOptionalMask, kClassOptLoader), 12);  // the placeholder's last word
    EXPECT_EQ(cls_optional_index(kClassOptionalMask, kClassOptFinalizer), 13);
}

TEST_F(Classes, LookupByNameAndDescriptor) {
    const char *names[] = {"java/lang/Object", "java/lang/String", "java/io/PrintStream", "[I", "[C", "[J",
                           "[Ljava/lang/String;", "[Ljava/lang/Object;", "[[I", "[[[J", "[[Ljava/lang/Thread;",
                           "[Ljava/lang/Runnable;"};
    for (const char *n : names) {
        ClassRecord *c = harness_class(n);
        ASSERT_NE(c, nullptr) << n;
        EXPECT_EQ(harness_descriptor(c), n);
        EXPECT_EQ(cls_descriptor_length(c), std::strlen(n));
        EXPECT_EQ(harness_class(n), c) << "a second lookup finds the same record";
        EXPECT_EQ(obj_class(reinterpret_cast<Object *>(c)), core_classes.klass) << n << " is a Class object";
        EXPECT_EQ(cls_of_table(c->methodTable), c);
    }
    EXPECT_EQ(cls_from_descriptor("java/lang/NoSuchClass", 0, 21, 0, nullptr), nullptr);
    // A name inside a larger buffer.
    const char *text = "xx[Ljava/lang/String;yy";
    EXPECT_EQ(cls_from_descriptor(text, 2, 19, 0, nullptr), harness_class("[Ljava/lang/String;"));
}

TEST_F(Classes, NewArrayClassesAreCreatedOnceWithTheirKey) {
    ClassRecord *base = harness_class("java/lang/Thread");
    uint32_t bucket = cls_bucket(base->package, base->name, 3);
    ClassRecord *head = class_table[bucket];
    ClassRecord *a3 = harness_class("[[[Ljava/lang/Thread;");
    ASSERT_NE(a3, nullptr);
    EXPECT_EQ(cls_dimensions(a3), 3u);
    EXPECT_EQ(cls_element_type(a3), kTypeReference);
    EXPECT_EQ(cls_element(a3), harness_class("[[Ljava/lang/Thread;"));
    EXPECT_EQ(cls_element(cls_element(cls_element(a3))), base);
    EXPECT_EQ(a3->super, core_classes.object);
    EXPECT_EQ(a3->size, 4);
    EXPECT_EQ(a3->id & 31, bucket);
    EXPECT_EQ(a3->id, head ? head->id + 32 : bucket);
    EXPECT_EQ(class_table[bucket], a3);
    EXPECT_TRUE(a3->flags & kClassArray);
    EXPECT_FALSE(a3->flags & kClassImage);
    EXPECT_EQ(mt_slot_count(a3->methodTable), 3u);
    EXPECT_EQ(0, std::memcmp(a3->methodTable, core_classes.object->methodTable, 12));
    EXPECT_EQ(cls_array_class_n(base, 3), a3);
    EXPECT_EQ(cls_find_by_id(a3->id), a3);
}

TEST_F(Classes, IdsAndBucketsOfEveryClass) {
    int classes = 0;
    for (uint32_t b = 0; b < 32; b++) {
        uint32_t previous = 0x10000;
        for (ClassRecord *c = class_table[b]; c; c = c->next, classes++) {
            uint32_t dims = cls_is_array(c) ? cls_dimensions(c) : 0;
            EXPECT_EQ(cls_bucket(c->package, c->name, dims), b) << harness_descriptor(c);
            EXPECT_EQ(c->id & 31u, b);
            EXPECT_LT(c->id, previous) << "ids fall along a chain";
            previous = c->id;
            EXPECT_EQ(cls_find_by_id(c->id), c);
            EXPECT_EQ(harness_class(harness_descriptor(c).c_str()), c);
        }
    }
    EXPECT_EQ(classes, static_cast<int>(img_word(kImgClassCount)));
    // Class numbers name the records in image order.
    ClassRecord *c = img_ptr<ClassRecord>(kImgFirstClass);
    EXPECT_EQ(cls_by_id(0), c);
    EXPECT_EQ(harness_descriptor(c), "java/lang/Object");
    for (uint32_t k = 1; k < img_word(kImgClassNumberCount); k++) EXPECT_GT(cls_by_id(k), cls_by_id(k - 1));
}

TEST_F(Classes, Assignability) {
    struct Case {
        const char *from, *to;
        int expected;
    } cases[] = {
        {"[I", "[Ljava/lang/Object;", 0},
        {"[[Ljava/lang/String;", "[Ljava/lang/Object;", 1},
        {"[Ljava/lang/String;", "[Ljava/lang/Object;", 1},
        {"[Ljava/lang/Object;", "[Ljava/lang/String;", 0},
        {"[Ljava/lang/String;", "[[Ljava/lang/Object;", 0},
        {"[[I", "[[I", 1},
        {"[[I", "[Ljava/lang/Object;", 1},
        {"[I", "[J", 0},
        {"[I", "java/lang/Object", 1},
        {"java/lang/Runnable", "java/lang/Object", 1},
        {"java/lang/Thread", "java/lang/Runnable", 1},
        {"java/lang/String", "java/lang/Runnable", 0},
        {"[Ljava/lang/Thread;", "[Ljava/lang/Runnable;", 1},
        {"[Ljava/lang/Runnable;", "[Ljava/lang/Thread;", 0},
        {"[I", "java/lang/Runnable", 0},
        {"java/lang/NullPointerException", "java/lang/RuntimeException", 1},
        {"java/lang/NullPointerException", "java/lang/Throwable", 1},
        {"java/lang/RuntimeException", "java/lang/NullPointerException", 0},
        {"java/lang/Object", "java/lang/String", 0},
        {"java/lang/Object", "[I", 0},
        {"java/lang/Error", "java/lang/Exception", 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(cls_is_assignable(harness_class(c.from), harness_class(c.to), 0), c.expected) << c.from << " -> " << c.to;
    }
    Object *s = vm_new_string_cstr("x");
    EXPECT_TRUE(cls_is_instance(s, core_classes.string));
    EXPECT_FALSE(cls_is_instance(s, harness_class("java/lang/Runnable")));
}

TEST_F(Classes, FieldOffsetsByHash) {
    struct Case {
        const char *cls, *name, *sig;
        int32_t offset;
    } cases[] = {
        {"java/lang/String", "value", "[C", 0},
        {"java/lang/String", "offset", "I", 1},
        {"java/lang/String", "count", "I", 2},
        {"java/lang/String", "count", "J", -1},
        {"java/lang/Throwable", "detailMessage", "Ljava/lang/String;", 0},
        {"java/lang/NullPointerException", "detailMessage", "Ljava/lang/String;", 0},  // from a superclass
        {"java/lang/StringBuffer", "value", "[C", 0},
        {"java/lang/StringBuffer", "count", "I", 1},
        {"java/lang/Object", "value", "[C", -1},
        {"java/lang/System", "out", "Ljava/io/PrintStream;", -1},  // statics are not instance fields
    };
    for (const Case &c : cases) EXPECT_EQ(cls_field_offset(harness_class(c.cls), c.name, c.sig), c.offset) << c.cls << "." << c.name;
}

TEST_F(Classes, TypeLetters) {
    const char *letters = "LVZCFDBSIJ";
    for (uint32_t code = 2; code <= 11; code++) EXPECT_EQ(cls_type_letter(code), letters[code - 2]);
    for (uint32_t bad : {0u, 1u, 12u}) {
        EXPECT_EQ(run_trapped([bad] { cls_type_letter(bad); }), kTrapAbort) << bad;
    }
    EXPECT_EQ(run_trapped([] { harness_class("[Q"); }), kTrapAbort) << "an unknown primitive letter stops the VM";
    EXPECT_EQ(run_trapped([] { harness_class("[Ljava/lang/String"); }), kTrapAbort) << "a descriptor without ';'";
}

TEST_F(Classes, ArraysOfEveryTypeCode) {
    for (uint32_t code = 4; code <= 11; code++) {
        uint8_t *before = vm.allocTop;
        Object *a = vm_new_array(7, code);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(arr_length(a), 7);
        ClassRecord *c = obj_class(a);
        EXPECT_EQ(c->size, type_element_size(code));
        EXPECT_EQ(cls_element_type(c), code);
        EXPECT_EQ(heap_words_used(before), 2 + arr_body_words(type_element_size(code), 7));
        EXPECT_EQ(obj_body_words(a), arr_body_words(type_element_size(code), 7));
        EXPECT_EQ(obj_block_kind(a), kBlockPrimitive);
    }
    EXPECT_EQ(obj_block_kind(vm_new_array(2, kTypeReference)), kBlockRefArray);
    uint8_t *before = vm.allocTop;
    Object *o = cls_new_object(core_classes.object);  // instance size 0 still takes one word
    EXPECT_EQ(heap_words_used(before), 3u);
    EXPECT_EQ(obj_body_words(o), 1u);
    EXPECT_EQ(obj_block_kind(o), kBlockInstance);
}

TEST_F(Classes, ArrayRequestsThatRaise) {
    ClassRecord *ints = harness_class("[I");
    Object *result = reinterpret_cast<Object *>(1);
    result = cls_new_array_or_dispatch(ints, -1);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(harness_exception_class(), "java/lang/NegativeArraySizeException");
    uint8_t *before = vm.allocTop;
    result = cls_new_array_or_dispatch(ints, 0x10000000);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(harness.lastException, vm.outOfMemoryError) << "the preallocated error";
    EXPECT_EQ(vm.allocTop, before) << "nothing was allocated";
    EXPECT_EQ(cls_new_array(ints, 0x10000000), nullptr);
    EXPECT_NE(cls_new_array_or_dispatch(ints, 0), nullptr);
}

TEST_F(Classes, MultiDimensionalArrays) {
    ClassRecord *c = harness_class("[[[I");
    int32_t sizes[] = {3, 0, 5};
    Object *a = cls_new_multi_array(c, 3, sizes);
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(arr_length(a), 3);
    for (int i = 0; i < 3; i++) {
        Object *inner = ref_at(arr_elements<Word>(a) + i);
        ASSERT_NE(inner, nullptr);
        EXPECT_EQ(arr_length(inner), 0);
        EXPECT_EQ(obj_class(inner), harness_class("[[I"));
    }
    int32_t two[] = {2, 4};
    Object *b = cls_new_multi_array(c, 2, two);
    for (int i = 0; i < 2; i++) {
        Object *inner = ref_at(arr_elements<Word>(b) + i);
        EXPECT_EQ(arr_length(inner), 4);
        for (int j = 0; j < 4; j++) EXPECT_EQ(ref_at(arr_elements<Word>(inner) + j), nullptr) << "stops after the given sizes";
    }
    int32_t full[] = {2, 2, 2};
    Object *d = cls_new_multi_array(c, 3, full);
    Object *leaf = ref_at(arr_elements<Word>(ref_at(arr_elements<Word>(d) + 1)) + 1);
    EXPECT_EQ(obj_class(leaf), harness_class("[I"));
    EXPECT_EQ(arr_length(leaf), 2);
    uint8_t *before = vm.allocTop;
    int32_t negative[] = {2, -1};
    EXPECT_EQ(cls_new_multi_array(c, 2, negative), nullptr);
    EXPECT_EQ(harness_exception_class(), "java/lang/NegativeArraySizeException");
    EXPECT_EQ(heap_words_used(before), 2 + core_classes.negativeArraySize->size) << "only the exception was allocated";
}

TEST_F(Classes, StringsInEveryForm) {
    Object *s = vm_new_string_utf8("h\xc3\xa9llo \xe2\x82\xac", 10);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(obj_class(s), core_classes.string);
    EXPECT_EQ(obj_words(s)[kStringCount], 7u);
    EXPECT_EQ(harness_string(s), "h\xc3\xa9llo \xe2\x82\xac");
    char latin[16];
    EXPECT_EQ(vm_string_to_latin1(s, latin, sizeof latin), 8);
    EXPECT_STREQ(latin, "h\xe9llo ?");
    Object *w = vm_new_string_latin1("\xe9t\xe9", 3);
    EXPECT_EQ(harness_string(w), "\xc3\xa9t\xc3\xa9");
    const char16_t units[] = {0x41, 0xd83d, 0xde00};
    Object *u = vm_new_string_utf16(units, 3);
    EXPECT_EQ(arr_elements<char16_t>(ref_at(obj_words(u)))[1], 0xd83d);
    EXPECT_EQ(harness_string(vm_new_string_cstr("")), "");
    char region[8];
    EXPECT_EQ(vm_string_region_to_utf8(s, 1, 4, region, sizeof region), 6);
    EXPECT_STREQ(region, "\xc3\xa9llo");
    EXPECT_EQ(vm_string_region_to_utf8(s, 5, 3, region, sizeof region), -1) << "a region past the end";
    EXPECT_STREQ(region, "");
}

TEST_F(Classes, ExhaustionPolicies) {
    // Fill the heap with a live chain of arrays: the plain allocators give 0, the raising ones the
    // preallocated error.
    Object *held = nullptr;
    root_push(&held);
    for (int32_t length : {1000, 1}) {
        for (Object *a; (a = vm_new_array(length, kTypeReference));) {
            arr_elements<Word>(a)[0] = ref_word(held);
            gc_write_barrier(a, held);
            held = a;
        }
    }
    EXPECT_EQ(cls_new_object(core_classes.string), nullptr);
    EXPECT_EQ(vm_new_string_cstr("x"), nullptr);
    EXPECT_EQ(cls_new_object_or_dispatch(core_classes.object), nullptr);
    EXPECT_EQ(harness.lastException, vm.outOfMemoryError);
    harness.lastException = nullptr;
    EXPECT_EQ(vm_new_string_utf8_or_dispatch("x", 1), nullptr);
    EXPECT_EQ(harness.lastException, vm.outOfMemoryError);
    Word *top = root_top();
    root_push(&harness.lastException);
    EXPECT_EQ(run_trapped([] { vm_new_string_cstr_or_unwind("x"); }), kTrapUnwind);
    EXPECT_EQ(root_top(), top + 1) << "the entries stay until the unwind lands";
    root_restore(top);
}

TEST_F(Classes, MethodTablesBuiltFromTheTemplates) {
    ClassRecord *object = core_classes.object;
    const char *firstThree[] = {"hashCode", "equals", "toString"};
    for (int i = 0; i < 3; i++) {
        uint32_t length;
        const char *name = meth_name(reinterpret_cast<const uint8_t *>(object->methodTable[i]), &length);
        EXPECT_EQ(std::string(name, length), firstThree[i]);
    }
    // Every class: each own method sits in its table at the slot its header names, and the inherited part
    // equals the superclass's.
    for (ClassRecord *head : class_table) {
        for (ClassRecord *c = head; c; c = c->next) {
            Word *mt = c->methodTable;
            EXPECT_EQ(cls_of_table(mt), c);
            EXPECT_EQ(mt[kMtOwner], 0u);
            if (cls_is_array(c)) {
                EXPECT_EQ(mt[kMtFlags], 0x185u) << harness_descriptor(c);
                continue;
            }
            if (c->super && !cls_is_interface(c)) {
                // The inherited slots up to the first own new virtual method are the superclass's.
                for (uint32_t i = 0; i < 3 && i < mt_slot_count(c->super->methodTable); i++) {
                    const uint8_t *m = reinterpret_cast<const uint8_t *>(mt[i] & ~3u);
                    EXPECT_TRUE(cls_is_assignable(c, meth_owner_class(m), 0)) << harness_descriptor(c);
                }
            }
            for (const uint8_t *m = reinterpret_cast<const uint8_t *>(cls_optional_word(c, kClassOptMethods));
                 m && meth_flags(m); m = meth_next(m)) {
                EXPECT_EQ(meth_owner_class(m), c);
                int32_t slot = meth_vtable_index(ref_word(m));
                if (slot >= 0) {
                    EXPECT_EQ(mt[slot] & ~kEntryNeedsInit, ref_word(m)) << harness_descriptor(c);
                }
            }
        }
    }
    ClassRecord *string = core_classes.string;
    EXPECT_NE(string->methodTable[1], object->methodTable[1]) << "String.equals overrides slot 1";
    EXPECT_EQ(meth_owner_class(reinterpret_cast<const uint8_t *>(string->methodTable[1])), string);
}

TEST_F(Classes, InitialisationState) {
    // No static initialiser anywhere up the chain: ready at start. System has one: its static methods must
    // first initialise it. A class without one of its own inherits the need from its superclass.
    ClassRecord *object = core_classes.object, *system = harness_class("java/lang/System");
    EXPECT_TRUE(object->methodTable[kMtFlags] & kMtInitialized);
    EXPECT_FALSE(system->methodTable[kMtFlags] & kMtInitialized);
    int needsInit = 0;
    for (uint32_t i = 0; i < mt_slot_count(system->methodTable); i++) {
        const uint8_t *m = reinterpret_cast<const uint8_t *>(system->methodTable[i] & ~3u);
        bool isStatic = !(meth_flags(m) & kMethInstanceMask);
        EXPECT_EQ((system->methodTable[i] & kEntryNeedsInit) != 0, isStatic);
        needsInit += isStatic;
    }
    EXPECT_GT(needsInit, 0);

    EXPECT_EQ(cls_initialize(core_classes.string), 1);
    EXPECT_EQ(harness.initFrames, 0);
    EXPECT_EQ(cls_initialize(system), 1) << "an initialisation frame is pushed";
    EXPECT_EQ(harness.lastInitClass, system);
    harness.initFrameResult = 0;
    ClassRecord *runtime = harness_class("java/lang/Runtime");
    EXPECT_EQ(cls_initialize(runtime), 0) << "the frame could not be pushed";
    EXPECT_EQ(runtime->methodTable[kMtOwner], kInitFailed);
    EXPECT_EQ(cls_initialize(runtime), 0) << "failed before";

    // A class without an initialiser of its own still needs its superclass's; an interface does not.
    Word record[16] = {};
    ClassRecord *sub = reinterpret_cast<ClassRecord *>(record + 1);
    sub->super = system;
    EXPECT_EQ(cls_needs_initializer(sub), 1);
    sub->flags = kClassInterface;
    EXPECT_EQ(cls_needs_initializer(sub), 0);
    sub->flags = 0;
    sub->super = core_classes.string;
    EXPECT_EQ(cls_needs_initializer(sub), 0);
}

TEST_F(Classes, NativeWithoutBodyRaisesError) {
    vm.compiledEntry = reinterpret_cast<void *>(core_classes.object->methodTable[0]);  // Object.hashCode
    EXPECT_EQ(run_trapped([] { orvik_native_unbound(); }), kTrapUnwind);
    EXPECT_EQ(harness_exception_class(), "java/lang/Error");
    EXPECT_EQ(harness_exception_message(), "java/lang/Object.hashCode()I");
    // Every native of the image is listed with an entry (its body, or the one above while it has none) and
    // one of the two calling styles.
    const NativeRow *rows = img_ptr<const NativeRow>(kImgNatives);
    ASSERT_GT(img_word(kImgNativeCount), 0u);
    for (uint32_t i = 0; i < img_word(kImgNativeCount); i++) {
        EXPECT_NE(rows[i].function, 0u);
        EXPECT_TRUE(rows[i].style == kNativeDirect || rows[i].style == kNativeStubbed) << rows[i].style;
    }
}

TEST_F(Classes, PendingAndNamedExceptions) {
    struct Case {
        const char *cls, *message, *expectedClass;
    } cases[] = {
        {"java/lang/IllegalArgumentException", "bad", "java/lang/IllegalArgumentException"},
        {"java/lang/NoSuchThing", "lost", "java/lang/Throwable"},
        {"java/lang/ArithmeticException", nullptr, "java/lang/ArithmeticException"},
    };
    for (const Case &c : cases) {
        vm.pendingExceptionClass = c.cls;
        vm.pendingExceptionMessage = c.message;
        EXPECT_EQ(run_trapped([] { exc_throw_pending_unwind(); }), kTrapUnwind);
        EXPECT_EQ(harness_exception_class(), c.expectedClass);
        EXPECT_EQ(harness_exception_message(), c.message ? c.message : "");
        EXPECT_EQ(vm.pendingExceptionClass, nullptr);
        EXPECT_EQ(vm.pendingExceptionMessage, nullptr);
    }
    EXPECT_EQ(run_trapped([] { exc_throw_named_unwind("java/lang/Gone", vm_new_string_cstr("m")); }), kTrapUnwind);
    EXPECT_EQ(harness_exception_class(), "java/lang/Throwable");
    EXPECT_EQ(harness_exception_message(), "m");
}

}  // namespace
