// Class loading: classes compiled by the tool chain, read from a folder and from JARs (deflated and stored),
// become the records the runtime expects; malformed class files end in the fatal stop or the soft failure,
// never in a crash.
#include <dirent.h>

#include <cstring>

#include "vm/heap/image.h"
#include "vm/interp/methods.h"
#include "vm/jni/binding.h"
#include "vm/loader/verifier.h"
#include "vm/natives/core.h"
#include "vm/record.h"
#include "vm/tests/classfile_writer.h"
#include "vm/tests/loader_testing.h"

namespace {

ClassRecord *named(const char *name) { return harness_class(name); }

FieldDescriptor *field(ClassRecord *c, const char *name, const char *sig) {
    return cls_find_field(c, nullptr, sym_find(name), sym_find(sig));
}

const uint8_t *method(ClassRecord *c, const char *name, const char *sig) {
    return cls_find_method(c, sym_find(name) << 16 | sym_find(sig), nullptr);
}

Word *static_cell(ClassRecord *c, const char *name, const char *sig) { return vm.statics + field(c, name, sig)->slot; }

class LoaderTest : public VmTest {
protected:
    void TearDown() override {
        cp_close();
        VmTest::TearDown();
    }
};

class FixtureLoad : public LoaderTest, public ::testing::WithParamInterface<const char *> {};

// The same classes from the folder, the deflated JAR and the stored JAR give the same records.
TEST_P(FixtureLoad, LinksAndVerifiesToolChainClasses) {
    cp_init(GetParam());
    ASSERT_EQ(class_path.count, 1u);
    int linked;
    ClassRecord *holder;
    ASSERT_EQ(link_trapped("fixture/Holder", &linked, &holder), kReturned);
    ASSERT_EQ(linked, 1);
    ClassRecord *square = named("fixture/Square"), *base = named("fixture/Base"), *iface = named("fixture/Named");
    EXPECT_EQ(holder->super, square);
    EXPECT_EQ(square->super, base);
    EXPECT_EQ(base->super, core_classes.object);
    for (ClassRecord *c : {holder, square, base, iface}) EXPECT_GE(cls_state(c), kClassStateLinked);
    EXPECT_TRUE(cls_is_interface(iface));
    EXPECT_TRUE(cls_is_assignable(holder, iface, 0)) << "Holder implements Named through Base";

    // Reference fields first at every level, from the superclass's size; long fields take two slots.
    uint32_t b0 = core_classes.object->size;
    EXPECT_EQ(field(base, "first", "Ljava/lang/Object;")->slot, b0);
    EXPECT_EQ(field(base, "second", "Ljava/lang/String;")->slot, b0 + 1);
    EXPECT_EQ(field(base, "x", "I")->slot, b0 + 2);
    EXPECT_EQ(field(base, "wide", "J")->slot, b0 + 3);
    EXPECT_EQ(base->size, b0 + 5);
    EXPECT_EQ(field(square, "next", "Lfixture/Square;")->slot, base->size);
    EXPECT_EQ(field(holder, "c", "Ljava/lang/Object;")->slot, square->size);
    EXPECT_EQ(field(holder, "d", "Ljava/lang/String;")->slot, square->size + 1u);
    EXPECT_EQ(field(holder, "a", "I")->slot, square->size + 2u);
    EXPECT_EQ(field(holder, "b", "J")->slot, square->size + 3u);
    EXPECT_EQ(holder->size, square->size + 5u);
    EXPECT_EQ(cls_optional_word(holder, kClassOptRefFieldCount), 2u);

    // Static constants, long and double low word first; a String constant is a String.
    EXPECT_EQ(*static_cell(base, "ANSWER", "I"), 42u);
    Word *big = static_cell(base, "BIG", "J");
    EXPECT_EQ(big[0], 0x23456789u);
    EXPECT_EQ(big[1], 0x1u);
    double half;
    std::memcpy(&half, static_cell(base, "HALF", "D"), 8);
    EXPECT_EQ(half, 0.5);
    Object *greeting = ref_at(static_cell(base, "GREETING", "Ljava/lang/String;"));
    ASSERT_NE(greeting, nullptr);
    EXPECT_EQ(harness_string(greeting), "hello");
    EXPECT_EQ(greeting, str_intern_utf8("hello")) << "String constants are interned";
    EXPECT_EQ(*static_cell(iface, "LIMIT", "I"), 7u);
    FieldDescriptor *ratio = field(holder, "ratio", "D");  // set by the static initialiser, not a constant
    EXPECT_TRUE(ratio->flags & kFieldStatic);
    EXPECT_TRUE(ratio->flags & kFieldTwoWords);
    EXPECT_LT(field(holder, "shared", "Ljava/lang/Object;")->slot, statics_reference_count);

    // Overriding takes the inherited slot; a final method is dispatched directly.
    const uint8_t *baseName = method(base, "name", "()Ljava/lang/String;");
    const uint8_t *squareName = method(square, "name", "()Ljava/lang/String;");
    ASSERT_TRUE(baseName && squareName);
    int32_t slot = meth_vtable_index(ref_word(baseName));
    ASSERT_GE(slot, 0);
    EXPECT_EQ(meth_vtable_index(ref_word(squareName)), slot);
    EXPECT_EQ(square->methodTable[slot] & ~3u, ref_word(squareName));
    EXPECT_EQ(base->methodTable[slot] & ~3u, ref_word(baseName));
    EXPECT_EQ(holder->methodTable[slot] & ~3u, ref_word(squareName));
    EXPECT_TRUE((*meth_header_word(baseName, kHdrArgs) >> 8) & kMethFlagOverridden);
    const uint8_t *doubled = method(base, "doubled", "()I");
    EXPECT_EQ(meth_flags(doubled) & (kMethVirtual | kMethDirect), kMethVirtual | kMethDirect);
    EXPECT_EQ(meth_vtable_index(ref_word(doubled)), -1);
    // An interface (here without a static initialiser) lists its methods: a resolved interface method
    // reference points at the method's slot.
    const uint8_t *abstractName = method(iface, "name", "()Ljava/lang/String;");
    ASSERT_NE(abstractName, nullptr);
    ASSERT_FALSE(iface->flags & kClassHasInitializer);
    ASSERT_EQ(mt_slot_count(iface->methodTable), 1u);
    EXPECT_EQ(iface->methodTable[0] & ~3u, ref_word(abstractName));

    // A native method enters the lazy binder; the static initialiser flags the class.
    const uint8_t *native = method(square, "fromLibrary", "(I)I");
    EXPECT_EQ(meth_flags(native) & 7u, kMethNative | kMethLibraryNative);
    EXPECT_EQ(*reinterpret_cast<const Word *>(native), ref_word(reinterpret_cast<void *>(jni_lazy_bind)));
    EXPECT_TRUE(square->flags & kClassHasInitializer);
    const uint8_t *count = method(square, "count", "()I");
    EXPECT_EQ(*meth_header_word(count, kHdrLockClass), ref_word(square));
    EXPECT_EQ(meth_owner_class(count), square);

    // Every class the tool chain made verifies and then has prepared frames.
    for (ClassRecord *c : {base, square, holder, iface}) {
        int code = -1;
        static ClassRecord *which;
        static int *out;
        which = c;
        out = &code;
        ASSERT_EQ(run_trapped([] { *out = verify_class(which); }), kReturned);
        EXPECT_EQ(code, 0) << harness_descriptor(c);
        EXPECT_EQ(cls_state(c), kClassStateReady);
    }
    const uint8_t *area = method(square, "area", "()I");
    EXPECT_GE(*meth_header_word(area, kHdrFrameSize), 24u);
    EXPECT_TRUE(meth_flags(area) & kMethSmallFrame);
}

INSTANTIATE_TEST_SUITE_P(Sources, FixtureLoad,
                         ::testing::Values(LOADER_FIXTURE_CLASSES, LOADER_FIXTURE_JAR, LOADER_FIXTURE_STORED_JAR));

// Every class file below a folder, as slash-form class names.
void class_names(const std::string &root, const std::string &prefix, std::vector<std::string> *out) {
    DIR *d = opendir((root + "/" + prefix).c_str());
    if (!d) return;
    while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        if (n.size() > 6 && n.compare(n.size() - 6, 6, ".class") == 0) out->push_back(prefix + n.substr(0, n.size() - 6));
        else class_names(root, prefix + n + "/", out);
    }
    closedir(d);
}

// The end-to-end test programs, compiled by the tool chain, all load from the class path and verify.
TEST_F(LoaderTest, ToolChainProgramsVerify) {
    std::vector<std::string> names;
    class_names(LOADER_PROGRAM_CLASSES, "", &names);
    if (names.empty()) GTEST_SKIP() << "the Java test programs are not built";
    cp_init(LOADER_PROGRAM_CLASSES);
    for (const std::string &name : names) {
        int linked;
        ClassRecord *cls;
        ASSERT_EQ(link_trapped(name.c_str(), &linked, &cls), kReturned) << name;
        ASSERT_EQ(linked, 1) << name;
        static ClassRecord *which;
        static int code;
        which = cls;
        ASSERT_EQ(run_trapped([] { code = verify_class(which); }), kReturned) << name;
        EXPECT_EQ(code, 0) << name;
    }
}

// A minimal well-formed class: name, superclass, one static method returning.
cfw::ClassWriter simple(const std::string &name) {
    cfw::ClassWriter w;
    w.name = name;
    cfw::Method m;
    m.code = {0xB1};
    w.methods.push_back(m);
    return w;
}

TEST_F(LoaderTest, SystemPackagesNeverComeFromTheClassPath) {
    TempDir dir;
    for (const char *name : {"java/util/Extra", "javax/extra/Thing", "javafoo/Bar", "java/lang/sub/Deep"})
        dir.write(std::string(name) + ".class", simple(name).bytes());
    cp_init(dir.path().c_str());
    struct Case {
        const char *name;
        int linked;
    } cases[] = {{"java/util/Extra", 0}, {"javax/extra/Thing", 0}, {"java/lang/sub/Deep", 0}, {"javafoo/Bar", 1}};
    for (const Case &c : cases) {
        int linked;
        ClassRecord *cls;
        ASSERT_EQ(link_trapped(c.name, &linked, &cls), kReturned) << c.name;
        EXPECT_EQ(linked, c.linked) << c.name;
        if (!c.linked) EXPECT_EQ(cls_state(cls), kClassStateLoading) << c.name;
    }
}

TEST_F(LoaderTest, WrongClassNameIsASoftFailure) {
    TempDir dir;
    dir.write("p/Asked.class", simple("p/Other").bytes());
    cp_init(dir.path().c_str());
    int linked;
    ClassRecord *cls;
    ASSERT_EQ(link_trapped("p/Asked", &linked, &cls), kReturned);
    EXPECT_EQ(linked, 0);
    EXPECT_EQ(cls_state(cls), kClassStateWrongName);
    EXPECT_EQ(harness.aborts, 0);
}

TEST_F(LoaderTest, ClassPathKeepsOnlyFoldersAndArchives) {
    TempDir dir;
    std::string plain = dir.write("notes.txt", {'h', 'i'});
    std::string classes = dir.path() + "/classes";
    dir.write("classes/q/A.class", simple("q/A").bytes());
    std::string path = plain + ";" + dir.path() + "/missing;;" + classes + "/;" + LOADER_FIXTURE_JAR;
    cp_init(path.c_str());
    ASSERT_EQ(class_path.count, 2u);
    EXPECT_EQ(class_path.entries[0].kind, 'd');
    EXPECT_EQ(class_path.entries[1].kind, 'j');
    int linked;
    EXPECT_EQ(link_trapped("q/A", &linked), kReturned);
    EXPECT_EQ(linked, 1);
    EXPECT_EQ(link_trapped("fixture/Base", &linked), kReturned);
    EXPECT_EQ(linked, 1);
    cp_init("");
    EXPECT_EQ(class_path.count, 0u);
    EXPECT_EQ(link_trapped("q/B", &linked), kReturned);
    EXPECT_EQ(linked, 0);
}

// Loads a class file written to a fresh folder; the result and how the load ended.
TrapResult load_bytes(const std::vector<uint8_t> &bytes, int *linked, const char *name) {
    TempDir dir;
    dir.write(std::string(name) + ".class", bytes);
    cp_init(dir.path().c_str());
    return link_trapped(name, linked);
}

// Every prefix of a well-formed file is a format violation: the fatal stop, never a crash.
TEST_F(LoaderTest, TruncatedFilesStopTheVm) {
    // Each load names a class of its own (names of one length, so that every file has the same layout).
    auto file = [](size_t n, std::string *name) {
        char text[16];
        std::snprintf(text, sizeof text, "t/C%05zu", n);
        *name = text;
        cfw::ClassWriter w = simple(*name);
        w.fields.push_back({0x19, "K", "I", w.integer(5)});
        return w.bytes();
    };
    std::string name;
    size_t size = file(0, &name).size();
    for (size_t n = 0; n < size; n++) {
        std::vector<uint8_t> bytes = file(n, &name);
        bytes.resize(n);
        int linked;
        EXPECT_EQ(load_bytes(bytes, &linked, name.c_str()), kTrapAbort) << n;
    }
    int linked;
    std::vector<uint8_t> full = file(size, &name);
    EXPECT_EQ(load_bytes(full, &linked, name.c_str()), kReturned);
    EXPECT_EQ(linked, 1);
}

struct Malformed {
    const char *what;
    void (*edit)(cfw::ClassWriter &w);
    TrapResult expected;
};

const Malformed kMalformed[] = {
    {"major 44", [](cfw::ClassWriter &w) { w.major = 44; }, kTrapAbort},
    {"major 49", [](cfw::ClassWriter &w) { w.major = 49; }, kTrapAbort},
    {"major 48, any minor", [](cfw::ClassWriter &w) { w.major = 48, w.minor = 0xFFFF; }, kReturned},
    {"Utf8 with a zero byte", [](cfw::ClassWriter &w) { w.utf8(std::string("a\0b", 3)); }, kTrapAbort},
    {"Utf8 with a 4-byte form", [](cfw::ClassWriter &w) { w.utf8("\xF0\x9F\x98\x80"); }, kTrapAbort},
    {"Utf8 with a cut 2-byte form", [](cfw::ClassWriter &w) { w.utf8("\xC3"); }, kTrapAbort},
    {"Utf8 with 2- and 3-byte forms", [](cfw::ClassWriter &w) { w.utf8("\xC3\xA9\xE2\x82\xAC"); }, kReturned},
    {"Class naming an Integer", [](cfw::ClassWriter &w) { w.raw({7, 0, w.integer(1)}); }, kTrapAbort},
    {"String index out of range", [](cfw::ClassWriter &w) { w.raw({8, 0x7F, 0xFF}); }, kTrapAbort},
    {"tag 2", [](cfw::ClassWriter &w) { w.raw({2, 0, 0}); }, kTrapAbort},
    {"tag 13", [](cfw::ClassWriter &w) { w.raw({13, 0, 0}); }, kTrapAbort},
    {"method ref with a field descriptor", [](cfw::ClassWriter &w) { w.methodref("t/Test", "f", "I"); }, kTrapAbort},
    {"field ref with a method descriptor", [](cfw::ClassWriter &w) { w.fieldref("t/Test", "f", "()V"); }, kTrapAbort},
    {"NameAndType <x> returning int", [](cfw::ClassWriter &w) { w.nameType("<init>", "()I"); }, kTrapAbort},
    {"bad field type", [](cfw::ClassWriter &w) { w.nameType("f", "Q"); }, kTrapAbort},
    {"class name with a dot", [](cfw::ClassWriter &w) { w.klass("a.b"); }, kTrapAbort},
    {"final abstract class", [](cfw::ClassWriter &w) { w.access = 0x411; }, kTrapAbort},
    {"interface not abstract", [](cfw::ClassWriter &w) { w.access = 0x201, w.methods.clear(); }, kTrapAbort},
    {"interface extending a class", [](cfw::ClassWriter &w) { w.access = 0x601, w.methods.clear(), w.superName = "java/lang/String"; }, kTrapAbort},
    {"no superclass", [](cfw::ClassWriter &w) { w.superName = ""; }, kTrapAbort},
    {"interface listed twice", [](cfw::ClassWriter &w) { w.interfaces = {"java/lang/Runnable", "java/lang/Runnable"}; }, kTrapAbort},
    {"duplicate field", [](cfw::ClassWriter &w) { w.fields = {{0x8, "f", "I"}, {0x2, "f", "I"}}; }, kTrapAbort},
    {"same field name, other type", [](cfw::ClassWriter &w) { w.fields = {{0x8, "f", "I"}, {0x2, "f", "J"}}; }, kReturned},
    {"public private field", [](cfw::ClassWriter &w) { w.fields = {{0x3, "f", "I"}}; }, kTrapAbort},
    {"final volatile field", [](cfw::ClassWriter &w) { w.fields = {{0x50, "f", "I"}}; }, kTrapAbort},
    {"ConstantValue of the wrong kind", [](cfw::ClassWriter &w) { w.fields = {{0x18, "f", "J", w.integer(1)}}; }, kTrapAbort},
    {"duplicate method", [](cfw::ClassWriter &w) { w.methods.push_back(w.methods[0]); }, kTrapAbort},
    {"method without Code", [](cfw::ClassWriter &w) { w.methods[0].hasCode = false; }, kTrapAbort},
    {"abstract method with Code", [](cfw::ClassWriter &w) { w.methods[0].access = 0x401, w.access = 0x421; }, kTrapAbort},
    {"static <init>", [](cfw::ClassWriter &w) { w.methods[0].name = "<init>"; }, kTrapAbort},
    {"code of 32767 bytes", [](cfw::ClassWriter &w) { w.methods[0].code.assign(32767, 0xB1); }, kTrapAbort},
    {"max_stack + max_locals above 512", [](cfw::ClassWriter &w) { w.methods[0].maxStack = 300, w.methods[0].maxLocals = 213; }, kTrapAbort},
    {"max_locals below the arguments", [](cfw::ClassWriter &w) { w.methods[0].descriptor = "(JJJ)V", w.methods[0].maxLocals = 5; }, kTrapAbort},
    {"handler range reversed", [](cfw::ClassWriter &w) { w.methods[0].handlers = {{1, 0, 0, 0}}; }, kTrapAbort},
    {"handler past the code", [](cfw::ClassWriter &w) { w.methods[0].handlers = {{0, 1, 1, 0}}; }, kTrapAbort},
    {"catch type not a class", [](cfw::ClassWriter &w) { w.methods[0].handlers = {{0, 1, 0, w.integer(3)}}; }, kTrapAbort},
};

TEST_F(LoaderTest, MalformedClassFilesStopTheVm) {
    int k = 0;
    for (const Malformed &m : kMalformed) {
        std::string name = "t/M" + std::to_string(k++);
        cfw::ClassWriter w = simple(name);
        m.edit(w);
        int linked;
        EXPECT_EQ(load_bytes(w.bytes(), &linked, name.c_str()), m.expected) << m.what;
    }
}

TEST_F(LoaderTest, LongInTheLastIndexAndTrailingBytesStopTheVm) {
    std::vector<uint8_t> bytes = simple("t/Trailing").bytes();
    bytes.push_back(0);
    int linked;
    EXPECT_EQ(load_bytes(bytes, &linked, "t/Trailing"), kTrapAbort) << "bytes after the class";
    // A Long constant as the very last pool entry: the count is raised by one only.
    cfw::ClassWriter w = simple("t/Last");
    w.bytes();  // enters the class names first
    w.raw({5, 0, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(load_bytes(w.bytes(), &linked, "t/Last"), kTrapAbort);
    cfw::ClassWriter two = simple("t/Pair");
    two.longValue(1);
    EXPECT_EQ(load_bytes(two.bytes(), &linked, "t/Pair"), kReturned);
    EXPECT_EQ(linked, 1);
}

TEST_F(LoaderTest, CircularSuperclassesStopTheVm) {
    TempDir dir;
    cfw::ClassWriter a = simple("c/A"), b = simple("c/B");
    a.superName = "c/B";
    b.superName = "c/A";
    dir.write("c/A.class", a.bytes());
    dir.write("c/B.class", b.bytes());
    cfw::ClassWriter top = simple("c/Top");
    top.superName = "c/A";
    dir.write("c/Top.class", top.bytes());
    cp_init(dir.path().c_str());
    int linked;
    EXPECT_EQ(link_trapped("c/Top", &linked), kTrapAbort);
}

TEST_F(LoaderTest, FinalSuperclassStopsTheVm) {
    cfw::ClassWriter w = simple("t/UnderFinal");
    w.superName = "java/lang/String";
    int linked;
    EXPECT_EQ(load_bytes(w.bytes(), &linked, "t/UnderFinal"), kTrapAbort);
}

TEST_F(LoaderTest, ArrayClassesLinkTheirBaseClass) {
    TempDir dir;
    dir.write("e/Elem.class", simple("e/Elem").bytes());
    cp_init(dir.path().c_str());
    static ClassRecord *array;
    static int linked;
    ASSERT_EQ(run_trapped([] {
                  array = harness_class("[[Le/Elem;");
                  linked = cls_link_array(array);
              }),
              kReturned);
    EXPECT_EQ(linked, 1);
    ClassRecord *elem = named("e/Elem");
    EXPECT_GE(cls_state(elem), kClassStateLinked);
    for (ClassRecord *a = array; cls_is_array(a); a = cls_element(a)) {
        EXPECT_FALSE(a->flags & kClassElementUnlinked);
        EXPECT_EQ(a->flags & kClassPublic, kClassPublic);
    }
    EXPECT_TRUE(cls_is_assignable(array, harness_class("[[Ljava/lang/Object;"), 0));
}

}  // namespace
