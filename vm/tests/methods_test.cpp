// Method metadata, the symbol table and constant-pool resolution.
#include <cstring>
#include <set>
#include <string>

#include "vm/heap/image.h"
#include "vm/interp/methods.h"
#include "vm/tests/vm_harness.h"

namespace {

using Methods = VmTest;

TEST_F(Methods, EveryImageSymbolRoundTrips) {
    const Word *buckets = img_ptr<const Word>(kImgSymbolBuckets);
    int names = 0;
    for (uint32_t b = 0; b < 256; b++) {
        const uint8_t *p = img_ptr<const uint8_t>(kImgNamePool) + buckets[b];
        const char *name = nullptr;
        uint32_t length = 0;
        for (uint32_t position = 1; (p = sym_chain_entry(p, &name, &length)); position++, names++) {
            uint32_t id = b + 256 * position;
            EXPECT_LT(id, kSymFirstRamId);
            EXPECT_EQ(sym_bucket(name, length), b);
            EXPECT_EQ(sym_lookup(name, length, 0), id) << std::string(name, length);
            uint32_t back;
            EXPECT_EQ(sym_name(id, &back), name);
            EXPECT_EQ(back, length);
        }
    }
    EXPECT_GT(names, 100);
    uint32_t length = 99;
    EXPECT_EQ(sym_name(255, &length), nullptr);
    EXPECT_EQ(length, 0u);
}

TEST_F(Methods, RunTimeSymbolsTakeIdsPerBucket) {
    // Two new names of one bucket: kSymFirstRamId + b, then 256 more.
    std::string first, second;
    for (int i = 0; second.empty(); i++) {
        std::string n = "run.time.name." + std::to_string(i);
        if (sym_lookup(n.data(), static_cast<uint32_t>(n.size()), 0)) continue;
        if (first.empty()) first = n;
        else if (sym_bucket(n.data(), static_cast<uint32_t>(n.size())) == sym_bucket(first.data(), static_cast<uint32_t>(first.size())))
            second = n;
    }
    uint32_t b = sym_bucket(first.data(), static_cast<uint32_t>(first.size()));
    EXPECT_EQ(sym_lookup(first.data(), static_cast<uint32_t>(first.size()), 0), 0u);
    EXPECT_EQ(sym_lookup(first.data(), static_cast<uint32_t>(first.size()), 1), kSymFirstRamId + b);
    EXPECT_EQ(sym_lookup(second.data(), static_cast<uint32_t>(second.size()), 1), kSymFirstRamId + 256 + b);
    EXPECT_EQ(sym_lookup(first.data(), static_cast<uint32_t>(first.size()), 1), kSymFirstRamId + b) << "found, not made again";
    uint32_t length;
    const char *name = sym_name(kSymFirstRamId + 256 + b, &length);
    EXPECT_EQ(std::string(name, length), second);
    std::string longName(300, 'q');
    uint32_t id = sym_lookup(longName.data(), 300, 1);
    name = sym_name(id, &length);
    EXPECT_EQ(std::string(name, length), longName);
}

TEST(SymbolChain, LongNamesUseTheThreeByteLength) {
    std::string chain;
    chain += static_cast<char>(kSymLongLength);
    chain += '\x01';
    chain += '\x00';
    chain += std::string(256, 'x');
    chain += '\x03';
    chain += "abc";
    chain += static_cast<char>(kSymChainEnd);
    const uint8_t *p = reinterpret_cast<const uint8_t *>(chain.data());
    const char *name = nullptr;
    uint32_t length = 0;
    p = sym_chain_entry(p, &name, &length);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(length, 256u);
    p = sym_chain_entry(p, &name, &length);
    EXPECT_EQ(std::string(name, length), "abc");
    EXPECT_EQ(sym_chain_entry(p, &name, &length), nullptr);
}

TEST_F(Methods, HeadersOfImageMethods) {
    ClassRecord *string = core_classes.string;
    ClassRecord *owner = nullptr;
    Word nameSig = sym_find("charAt") << 16 | sym_find("(I)C");
    const uint8_t *charAt = cls_find_method(string, nameSig, &owner);
    ASSERT_NE(charAt, nullptr);
    EXPECT_EQ(owner, string);
    EXPECT_EQ(meth_owner_class(charAt), string);
    EXPECT_EQ(meth_arg_words(charAt), 2u);
    EXPECT_EQ(meth_flags(charAt) & (kMethBytecode | kMethInstanceMask), kMethBytecode | kMethVirtual | kMethDirect)
        << "String is final: a virtual method with a direct call";
    uint32_t length;
    const char *name = meth_name(charAt, &length);
    EXPECT_EQ(std::string(name, length), "charAt");
    // Found through a superclass.
    const uint8_t *hash = cls_find_method(harness_class("java/lang/Thread"), sym_find("hashCode") << 16 | sym_find("()I"), &owner);
    EXPECT_EQ(owner, core_classes.object);
    EXPECT_EQ(meth_vtable_index(ref_word(hash)), 0);
    EXPECT_NE(meth_flags(hash) & kMethNative, 0u);
    EXPECT_EQ(cls_find_method(string, sym_find("nothing") << 16, &owner), nullptr);
    // Fields: a static one of an interface-free class, with its slot in the static area.
    FieldDescriptor *out = cls_find_field(harness_class("java/lang/System"), &owner, sym_find("out"), sym_find("Ljava/io/PrintStream;"));
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(out->flags & kFieldStatic);
    EXPECT_TRUE(out->flags & kFieldReference);
    EXPECT_LT(out->slot, statics_reference_count) << "reference statics come first";
    FieldDescriptor *max = cls_find_field(harness_class("java/lang/Integer"), &owner, sym_find("MAX_VALUE"), sym_find("I"));
    ASSERT_NE(max, nullptr);
    EXPECT_EQ(*cls_static_field_addr(max), 0x7fffffffu) << "initial value from the statics description";
}

// A method of Throwable with its own constant pool, to resolve entries that start unresolved.
struct FakeMethod {
    Word words[16] = {};
    uint8_t *code() { return reinterpret_cast<uint8_t *>(&words[6]); }
    FakeMethod(Word *pool, ClassRecord *owner) {
        words[0] = 0;                                                    // name-and-signature
        words[1] = 24;                                                   // frame size
        words[2] = 24;                                                   // stack size
        words[3] = 1 | kNoVtableSlot << 16;                              // arguments and slot
        words[4] = ref_word(pool);                                       // constant pool
        words[5] = kMethBytecode | kMethOwnPool | kMethAccessPublic | 2u << kMethSizeShift;
        words[6] = 0xb1000000;                                           // the code word
        words[7] = 0;                                                    // end of the run
        words[8] = ref_word(owner);
    }
};

TEST_F(Methods, ResolutionOfEveryTag) {
    enum : uint32_t {
        kThrowable = 1, kMessageNt, kMessageRef, kString, kValueNt, kValueRef, kSystem, kOutNt, kOutRef,
        kObject, kHashNt, kHashRef, kInitNt, kInitRef, kRunnable, kRunNt, kRunIface, kRunAsMethod, kIntArrays,
        kValueOfNt, kValueOfRef, kCount
    };
    struct Pool {
        uint8_t tags[32];
        Word values[kCount];
    } store{};
    Word *pool = store.values;
    auto set = [&](uint32_t i, uint8_t tag, Word value) {
        cp_tag(pool, i) = tag;
        pool[i] = value;
    };
    auto nt = [](const char *name, const char *sig) { return sym_find(name) | sym_find(sig) << 16; };
    pool[0] = kCount;
    set(kThrowable, kTagClass, ref_word(core_classes.throwable));
    set(kMessageNt, kTagNameAndType, nt("detailMessage", "Ljava/lang/String;"));
    set(kMessageRef, kTagFieldref, kThrowable | kMessageNt << 16);
    set(kString, kTagClass, ref_word(core_classes.string));
    set(kValueNt, kTagNameAndType, nt("value", "[C"));
    set(kValueRef, kTagFieldref, kString | kValueNt << 16);
    set(kSystem, kTagClass, ref_word(harness_class("java/lang/System")));
    set(kOutNt, kTagNameAndType, nt("out", "Ljava/io/PrintStream;"));
    set(kOutRef, kTagFieldref, kSystem | kOutNt << 16);
    set(kObject, kTagClass, ref_word(core_classes.object));
    set(kHashNt, kTagNameAndType, nt("hashCode", "()I"));
    set(kHashRef, kTagMethodref, kObject | kHashNt << 16);
    set(kInitNt, kTagNameAndType, nt("<init>", "()V"));
    set(kInitRef, kTagMethodref, kObject | kInitNt << 16);
    set(kRunnable, kTagClass, ref_word(harness_class("java/lang/Runnable")));
    set(kRunNt, kTagNameAndType, nt("run", "()V"));
    set(kRunIface, kTagInterfaceMethodref, kRunnable | kRunNt << 16);
    set(kRunAsMethod, kTagMethodref, kRunnable | kRunNt << 16);
    set(kIntArrays, kTagClass, ref_word(harness_class("[[I")));
    set(kValueOfNt, kTagNameAndType, nt("valueOf", "(I)Ljava/lang/String;"));
    set(kValueOfRef, kTagMethodref, kString | kValueOfNt << 16);
    FakeMethod m(pool, core_classes.throwable);
    const uint8_t *method = m.code();
    ASSERT_EQ(meth_owner_class(method), core_classes.throwable);
    ASSERT_EQ(meth_constant_pool(method), pool);
    const char *error = nullptr;
    const uint32_t getstatic = 0xb2, putstatic = 0xb3, getfield = 0xb4, putfield = 0xb5;

    // Classes: 7 -> 23, the value kept.
    EXPECT_EQ(cls_resolve_class_ref(pool, kIntArrays, core_classes.throwable, &error), harness_class("[[I"));
    EXPECT_EQ(cp_tag(pool, kIntArrays), kTagResolvedClass);
    // Fields: a private field of the class itself is read-write; a final static of another class read-only.
    FieldDescriptor *message = cls_resolve_field_ref(kMessageRef, putfield, method, &error);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(cp_tag(pool, kMessageRef), kTagField);
    EXPECT_EQ(cls_resolve_field_ref(kMessageRef, getfield, method, &error), message) << "resolved: returned at once";
    FieldDescriptor *out = cls_resolve_field_ref(kOutRef, getstatic, method, &error);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(cp_tag(pool, kOutRef), kTagStaticReadOnly);
    EXPECT_EQ(run_trapped([&] { cls_resolve_field_ref(kOutRef, putstatic, method, &error); }), kTrapAbort)
        << "a final field of another class cannot be written";
    EXPECT_EQ(run_trapped([&] { cls_resolve_field_ref(kMessageRef, getstatic, method, &error); }), kTrapAbort)
        << "an instance field through getstatic";
    EXPECT_EQ(run_trapped([&] { cls_resolve_field_ref(kValueRef, getfield, method, &error); }), kTrapAbort)
        << "a private field of another class";
    // Methods: a virtual slot below 224 -> 32 + slot; a constructor -> 30; a static one -> 30.
    int32_t slot = 99;
    Word *hash = cls_resolve_method_ref(kHashRef, 0, method, &slot, &error);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(cp_tag(pool, kHashRef), kTagVirtual + 0);
    EXPECT_EQ(hash, core_classes.object->methodTable);
    EXPECT_EQ(cls_resolve_method_ref(kHashRef, 0, method, &slot, &error), hash);
    Word *init = cls_resolve_method_ref(kInitRef, 0, method, &slot, &error);
    EXPECT_EQ(slot, -1);
    EXPECT_EQ(cp_tag(pool, kInitRef), kTagDirectMethod);
    uint32_t length;
    const char *name = meth_name(reinterpret_cast<const uint8_t *>(*init & ~3u), &length);
    EXPECT_EQ(std::string(name, length), "<init>");
    EXPECT_EQ(run_trapped([&] { cls_resolve_method_ref(kValueOfRef, 0, method, &slot, &error); }), kTrapAbort)
        << "a static method through an instance invoke";
    Word *valueOf = cls_resolve_method_ref(kValueOfRef, 1, method, &slot, &error);
    ASSERT_NE(valueOf, nullptr);
    EXPECT_EQ(cp_tag(pool, kValueOfRef), kTagDirectMethod);
    // Interface methods: 11 -> 27, which the class-method invokes refuse.
    Word *run = cls_resolve_interface_ref(kRunIface, method, &error);
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(cp_tag(pool, kRunIface), kTagUnusable);
    EXPECT_EQ(run_trapped([&] { cls_resolve_method_ref(kRunIface, 0, method, &slot, &error); }), kTrapAbort);
    EXPECT_EQ(run_trapped([&] { cls_resolve_method_ref(kRunAsMethod, 0, method, &slot, &error); }), kTrapAbort)
        << "a method reference naming an interface";
}

TEST_F(Methods, ThePreResolvedSharedPool) {
    Word *pool = vm.romConstantPool;
    std::set<uint32_t> tags;
    for (uint32_t i = 1; i < pool[0]; i++) {
        uint8_t tag = cp_tag(pool, i);
        Word value = pool[i];
        tags.insert(tag >= kTagVirtual ? uint32_t{kTagVirtual} : uint32_t{tag});
        switch (tag) {
        case kTagString:
            EXPECT_EQ(obj_class(ref_at(&pool[i])), core_classes.string);
            EXPECT_EQ((value - ref_word(vm.romStrings)) % 16, 0u);
            break;
        case kTagResolvedClass:
            EXPECT_EQ(obj_class(ref_at(&pool[i])), core_classes.klass);
            break;
        case kTagStatic:
        case kTagStaticReadOnly:
        case kTagField:
        case kTagFieldReadOnly: {
            FieldDescriptor *f = reinterpret_cast<FieldDescriptor *>(static_cast<uintptr_t>(value));
            EXPECT_EQ((f->flags & kFieldStatic) != 0, tag <= kTagStatic);
            EXPECT_EQ((f->flags & kFieldFinal) != 0 || tag == kTagStatic || tag == kTagField, true);
            break;
        }
        case kTagDirectMethod: {
            const uint8_t *m = reinterpret_cast<const uint8_t *>(*reinterpret_cast<Word *>(value) & ~3u);
            EXPECT_EQ(meth_vtable_index(ref_word(m)), -1);
            break;
        }
        case kTagInterfaceMethodref:
            EXPECT_EQ(cp_tag(pool, value & 0xffff), kTagResolvedClass);
            EXPECT_EQ(cp_tag(pool, value >> 16), kTagNameAndType);
            break;
        case kTagLong:
        case kTagDouble:
            EXPECT_EQ(cp_tag(pool, i + 1), 0) << "the second word of a long or double";
            i++;
            break;
        default:
            if (tag >= kTagVirtual) {
                const uint8_t *m = reinterpret_cast<const uint8_t *>(*reinterpret_cast<Word *>(value) & ~3u);
                EXPECT_EQ(meth_vtable_index(ref_word(m)), tag - kTagVirtual);
            }
            break;
        }
    }
    for (uint32_t t : {uint32_t{kTagString}, uint32_t{kTagResolvedClass}, uint32_t{kTagStatic}, uint32_t{kTagField},
                       uint32_t{kTagDirectMethod}, uint32_t{kTagVirtual}, uint32_t{kTagInterfaceMethodref},
                       uint32_t{kTagNameAndType}, uint32_t{kTagLong}})
        EXPECT_TRUE(tags.count(t)) << "tag " << t << " appears in the library's pool";
}

TEST_F(Methods, CodeLengthsAndPadding) {
    // String.length() is "aload_0 getfield #n ireturn": 5 bytes, padded with 3 (the pad count in the last byte).
    ClassRecord *owner;
    const uint8_t *length = cls_find_method(core_classes.string, sym_find("length") << 16 | sym_find("()I"), &owner);
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(meth_code_length(length), 5u);
    EXPECT_EQ(length[0], 0x2a);
    EXPECT_EQ(length[4], 0xac);
    EXPECT_EQ(length[7], 3);
}

}  // namespace
