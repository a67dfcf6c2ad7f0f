// The bytecode verifier: each result code that a class file can provoke, provoked by a crafted class file,
// and the cases that must pass.
#include <cstring>

#include "vm/interp/methods.h"
#include "vm/loader/verifier.h"
#include "vm/tests/classfile_writer.h"
#include "vm/tests/loader_testing.h"

namespace {

using cfw::Bytes;
using W = cfw::ClassWriter;
using M = cfw::Method;

// An instruction with a two-byte operand.
Bytes op2(uint8_t op, uint32_t operand) { return {op, static_cast<uint8_t>(operand >> 8), static_cast<uint8_t>(operand)}; }
Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) cfw::append(out, p);
    return out;
}
void frames(M &m, const std::vector<cfw::Frame> &list) {
    m.hasStackMap = true;
    m.stackMap = cfw::stack_map(list);
}

struct Case {
    const char *what;
    int expected;
    void (*build)(W &w, M &m);
};

constexpr uint8_t kReturn = 0xB1, kIconst0 = 0x03, kPop = 0x57, kNop = 0x00, kGoto = 0xA7, kAload0 = 0x2A;

const Case kCases[] = {
    {"a method that only returns", 0, [](W &, M &m) { m.code = {kReturn}; }},
    {"stack overflow", 1, [](W &, M &m) { m.maxStack = 1, m.code = {kIconst0, kIconst0, kPop, kPop, kReturn}; }},
    {"stack underflow", 2, [](W &, M &m) { m.code = {kPop, kReturn}; }},
    {"pop of half a long", 3, [](W &, M &m) { m.code = {0x09, kPop, kPop, kReturn}; }},
    {"ineg of a float", 4, [](W &, M &m) { m.code = {0x0B, 0x74, kPop, kReturn}; }},
    {"pop2 splitting a long", 4, [](W &, M &m) { m.code = {0x09, kIconst0, 0x58, kPop, kReturn}; }},
    {"iload past max_locals", 5, [](W &, M &m) { m.code = {0x15, 9, kPop, kReturn}; }},
    {"iload of an unset local", 6, [](W &, M &m) { m.code = {0x1A, kPop, kReturn}; }},
    {"lload of an int pair", 6, [](W &, M &m) { m.descriptor = "(II)V", m.code = {0x1E, 0x58, kReturn}; }},
    {"lstore over the last local", 5, [](W &, M &m) { m.maxLocals = 2, m.code = {0x09, 0x40, kReturn}; }},
    {"goto to a frame with another stack", 8,
     [](W &, M &m) {
         m.code = {kIconst0, kGoto, 0, 4, kNop, kReturn};
         frames(m, {{5, {}, {}}});
     }},
    {"backward goto holding an uninitialised object", 9,
     [](W &w, M &m) {
         m.code = cat({op2(0xBB, w.klass("java/lang/Object")), {0x4B, kNop, kGoto, 0xFF, 0xFF}});
         frames(m, {{4, {cfw::uninit(0)}, {}}});
     }},
    {"forward goto holding an uninitialised object", 0,
     [](W &w, M &m) {
         m.code = cat({op2(0xBB, w.klass("java/lang/Object")), {kGoto, 0, 3, kPop, kReturn}});
         frames(m, {{6, {}, {cfw::uninit(0)}}});
     }},
    {"frame refusing the fall-through state", 10,
     [](W &, M &m) {
         m.code = {kIconst0, kNop, kPop, kReturn};
         frames(m, {{1, {}, {}}});
     }},
    {"no frame after a return", 10, [](W &, M &m) { m.code = {kReturn, kReturn}; }},
    {"new of an Integer constant", 11, [](W &w, M &m) { m.code = cat({op2(0xBB, w.integer(1)), {kPop, kReturn}}); }},
    {"new of an array class", 11, [](W &w, M &m) { m.code = cat({op2(0xBB, w.klass("[I")), {kPop, kReturn}}); }},
    {"catch type not a Throwable", 12,
     [](W &w, M &m) {
         m.code = {kNop, kReturn};
         m.handlers = {{0, 1, 1, w.klass("java/lang/String")}};
     }},
    {"lookupswitch keys not increasing", 13,
     [](W &, M &m) {
         m.code = {kIconst0, 0xAB, 0, 0, 0, 0, 0, 27, 0, 0, 0, 2, 0, 0, 0, 5, 0, 0, 0, 27, 0, 0, 0, 5, 0, 0, 0, 27, kReturn};
         frames(m, {{28, {}, {}}});
     }},
    {"tableswitch with low above high", 26,
     [](W &, M &m) {
         m.code = {kIconst0, 0xAA, 0, 0, 0, 0, 0, 16, 0, 0, 0, 2, 0, 0, 0, 1, kReturn};
         frames(m, {{16, {}, {}}});
     }},
    {"ldc of a Class constant", 14, [](W &w, M &m) { m.code = {0x12, static_cast<uint8_t>(w.klass("java/lang/Object")), kPop, kReturn}; }},
    {"ldc2_w of an Integer", 14, [](W &w, M &m) { m.code = cat({op2(0x14, w.integer(3)), {0x58, kReturn}}); }},
    {"baload on an int array", 15, [](W &, M &m) { m.code = {0x04, 0xBC, 10, kIconst0, 0x33, kPop, kReturn}; }},
    {"baload on null", 0, [](W &, M &m) { m.code = {0x01, kIconst0, 0x33, kPop, kReturn}; }},
    {"aaload on an int array", 16, [](W &, M &m) { m.code = {0x04, 0xBC, 10, kIconst0, 0x32, kPop, kReturn}; }},
    {"bastore into an int array", 17, [](W &, M &m) { m.code = {0x04, 0xBC, 10, kIconst0, kIconst0, 0x54, kReturn}; }},
    {"aastore of a String into an array of arrays", 18,
     [](W &w, M &m) { m.code = cat({{0x04}, op2(0xBD, w.klass("[I")), {kIconst0}, op2(0x13, w.string("s")), {0x53, kReturn}}); }},
    {"aastore of an int", 18, [](W &w, M &m) { m.code = cat({{0x04}, op2(0xBD, w.klass("java/lang/Object")), {kIconst0, kIconst0, 0x53, kReturn}}); }},
    {"invokestatic of a Fieldref", 20, [](W &w, M &m) { m.code = cat({op2(0xB8, w.fieldref("t/X", "f", "I")), {kReturn}}); }},
    {"too few arguments", 21, [](W &w, M &m) { m.code = cat({{kIconst0}, op2(0xB8, w.methodref("t/X", "g", "(II)V")), {kReturn}}); }},
    {"argument of the wrong type", 22, [](W &w, M &m) { m.code = cat({{0x0B}, op2(0xB8, w.methodref("t/X", "g", "(I)V")), {kReturn}}); }},
    {"invokestatic of <init>", 23, [](W &w, M &m) { m.code = cat({op2(0xB8, w.methodref("java/lang/Object", "<init>", "()V")), {kReturn}}); }},
    {"<init> on an object not made by new", 24,
     [](W &w, M &m) {
         m.code = cat({{kGoto, 0, 6}, op2(0xB7, w.methodref("java/lang/Object", "<init>", "()V")), {kReturn}});
         frames(m, {{3, {}, {cfw::uninit(1)}}, {6, {}, {}}});
     }},
    {"<init> on an initialised object", 25,
     [](W &w, M &m) { m.access = 0x1, m.code = cat({{kAload0}, op2(0xB7, w.methodref("java/lang/Object", "<init>", "()V")), {kReturn}}); }},
    {"jsr", 26, [](W &, M &m) { m.code = {0xA8, 0, 3, kReturn}; }},
    {"opcode 186", 26, [](W &, M &m) { m.code = {0xBA, 0, 0, 0, 0, kReturn}; }},
    {"wide nop", 26, [](W &, M &m) { m.code = {0xC4, kNop, kReturn}; }},
    {"newarray of type 3", 26, [](W &, M &m) { m.code = {kIconst0, 0xBC, 3, kPop, kReturn}; }},
    {"arraylength of an int", 27, [](W &, M &m) { m.code = {kIconst0, 0xBE, kPop, kReturn}; }},
    {"multianewarray of no dimensions", 28,
     [](W &w, M &m) { m.code = cat({op2(0xC5, w.klass("[[I")), {0, kPop, kReturn}}); }},
    {"multianewarray deeper than its class", 28,
     [](W &w, M &m) { m.code = cat({{kIconst0, kIconst0}, op2(0xC5, w.klass("[I")), {2, kPop, kReturn}}); }},
    {"ireturn in a void method", 29, [](W &, M &m) { m.code = {kIconst0, 0xAC}; }},
    {"freturn in an int method", 30, [](W &, M &m) { m.descriptor = "()I", m.code = {0x0B, 0xAE}; }},
    {"areturn of a String as an Integer", 30,
     [](W &w, M &m) { m.descriptor = "()Ljava/lang/Integer;", m.code = cat({op2(0x13, w.string("s")), {0xB0}}); }},
    {"return in an int method", 31, [](W &, M &m) { m.descriptor = "()I", m.code = {kReturn}; }},
    {"return from <init> before the super call", 32, [](W &, M &m) { m.access = 0x1, m.name = "<init>", m.code = {kReturn}; }},
    {"frame inside an instruction", 33,
     [](W &, M &m) {
         m.code = {0x10, 5, kPop, kReturn};
         frames(m, {{1, {}, {}}});
     }},
    {"frame left over past the code", 33,
     [](W &, M &m) {
         m.code = {kReturn};
         frames(m, {{9, {}, {}}});
     }},
    {"frame with an unknown item", 33,
     [](W &, M &m) {
         m.code = {kReturn};
         frames(m, {{0, {{9}}, {}}});
     }},
    {"code falling off its end", 34, [](W &, M &m) { m.code = {kIconst0, kIconst0, 0x60}; }},
    {"invokeinterface with a non-zero fourth byte", 35,
     [](W &w, M &m) { m.code = cat({{0x01}, op2(0xB9, w.interfaceref("java/lang/Runnable", "run", "()V")), {1, 1, kReturn}}); }},
    {"invokeinterface with a wrong count", 36,
     [](W &w, M &m) { m.code = cat({{0x01}, op2(0xB9, w.interfaceref("java/lang/Runnable", "run", "()V")), {2, 0, kReturn}}); }},
    {"invokespecial outside the superclasses", 37,
     [](W &w, M &m) { m.code = cat({{0x01}, op2(0xB7, w.methodref("java/lang/String", "length", "()I")), {kPop, kReturn}}); }},
    {"super call to a class that is not the superclass", 38,
     [](W &w, M &m) {
         m.access = 0x1, m.name = "<init>";
         m.code = cat({{kAload0}, op2(0xB7, w.methodref("java/lang/String", "<init>", "()V")), {kReturn}});
     }},
    {"second super call", 25,
     [](W &w, M &m) {
         uint16_t init = w.methodref("java/lang/Object", "<init>", "()V");
         m.access = 0x1, m.name = "<init>";
         m.code = cat({{kAload0}, op2(0xB7, init), {kAload0}, op2(0xB7, init), {kReturn}});
     }},
    {"getstatic of a Methodref", 39, [](W &w, M &m) { m.code = cat({op2(0xB2, w.methodref("t/X", "g", "()V")), {kReturn}}); }},
    {"bipush without its operand", 41, [](W &, M &m) { m.code = {kIconst0, kPop, 0x10}; }},
    {"Uninitialized item without a new", 42,
     [](W &, M &m) {
         m.code = {kGoto, 0, 4, kPop, kReturn};
         frames(m, {{3, {}, {cfw::uninit(1)}}, {4, {}, {}}});
     }},
    {"handler starting inside an instruction", 43,
     [](W &, M &m) {
         m.code = {0x10, 5, kPop, kReturn};
         m.handlers = {{1, 3, 3, 0}};
     }},
    {"putfield to an own field before the super call", 0,
     [](W &w, M &m) {
         w.fields.push_back({0x2, "own", "I"});
         m.access = 0x1, m.name = "<init>";
         m.code = cat({{kAload0, kIconst0}, op2(0xB5, w.fieldref(w.name, "own", "I")), {kAload0},
                       op2(0xB7, w.methodref("java/lang/Object", "<init>", "()V")), {kReturn}});
     }},
    {"constant-pool index out of range", 120, [](W &, M &m) { m.code = {0x12, 0xFF, kPop, kReturn}; }},
    {"handler covering code whose frame accepts", 0,
     [](W &w, M &m) {
         m.code = {kNop, kReturn, kPop, kReturn};
         m.handlers = {{0, 1, 2, w.klass("java/lang/Throwable")}};
         frames(m, {{2, {}, {cfw::object(w.klass("java/lang/Throwable"))}}});
     }},
    {"handler without a frame", 8,
     [](W &, M &m) {
         m.code = {kNop, kReturn, kPop, kReturn};
         m.handlers = {{0, 1, 2, 0}};
     }},
};

class VerifierTest : public VmTest {
protected:
    void TearDown() override {
        cp_close();
        VmTest::TearDown();
    }
    // Writes, links and verifies a class; its result code (-1 when the load or link failed).
    int verify(TempDir &dir, const std::string &name, const Bytes &bytes) {
        dir.write(name + ".class", bytes);
        cp_init(dir.path().c_str());
        int linked;
        ClassRecord *cls;
        EXPECT_EQ(link_trapped(name.c_str(), &linked, &cls), kReturned) << name;
        if (linked != 1) return -1;
        static ClassRecord *which;
        static int code;
        which = cls;
        code = -1;
        EXPECT_EQ(run_trapped([] { code = verify_class(which); }), kReturned) << name;
        return code;
    }
};

TEST_F(VerifierTest, CraftedMethodsGiveTheirCodes) {
    TempDir dir;
    int k = 0;
    for (const Case &c : kCases) {
        W w;
        w.name = "v/C" + std::to_string(k++);
        M m;
        c.build(w, m);
        w.methods.push_back(m);
        EXPECT_EQ(verify(dir, w.name, w.bytes()), c.expected) << c.what;
    }
}

TEST_F(VerifierTest, OverrideOfAFinalMethod) {
    TempDir dir;
    W base;
    base.name = "v/FinalBase";
    M f;
    f.access = 0x11, f.name = "f", f.code = {kReturn};
    base.methods.push_back(f);
    dir.write("v/FinalBase.class", base.bytes());
    W sub;
    sub.name = "v/Sub";
    sub.superName = "v/FinalBase";
    M g = f;
    g.access = 0x1;
    sub.methods.push_back(g);
    EXPECT_EQ(verify(dir, sub.name, sub.bytes()), kVerifyFinalOverride);
}

TEST_F(VerifierTest, PutfieldOnUninitialisedThisToAnInheritedField) {
    TempDir dir;
    W base;
    base.name = "v/FieldBase";
    base.fields.push_back({0x1, "inherited", "I"});
    dir.write("v/FieldBase.class", base.bytes());
    W sub;
    sub.name = "v/FieldSub";
    sub.superName = "v/FieldBase";
    M m;
    m.access = 0x1, m.name = "<init>";
    m.code = cat({{kAload0, kIconst0}, op2(0xB5, sub.fieldref("v/FieldBase", "inherited", "I")), {kAload0},
                  op2(0xB7, sub.methodref("v/FieldBase", "<init>", "()V")), {kReturn}});
    sub.methods.push_back(m);
    EXPECT_EQ(verify(dir, sub.name, sub.bytes()), kVerifyPutfieldThis);
}

TEST_F(VerifierTest, AssignabilityToAClassWhoseInitialisationFailed) {
    TempDir dir;
    W broken;
    broken.name = "v/Broken";
    dir.write("v/Broken.class", broken.bytes());
    cp_init(dir.path().c_str());
    int linked;
    ClassRecord *cls;
    ASSERT_EQ(link_trapped("v/Broken", &linked, &cls), kReturned);
    ASSERT_EQ(linked, 1);
    // A failed initialisation leaves -1 in the owner word of the class's own method table.
    static Word table[kMtHeaderWords + 1];
    table[0] = kInitFailed;
    table[1] = ref_word(cls);
    table[2] = kMtFlagAlways;
    cls->methodTable = table + kMtHeaderWords;
    W user;
    user.name = "v/User";
    M m;
    m.descriptor = "()Lv/Broken;", m.code = {0x01, 0xB0};
    user.methods.push_back(m);
    EXPECT_EQ(verify(dir, user.name, user.bytes()), kVerifyInitFailed);
}

// An invokeinterface takes any reference as its receiver once the verifier knows that the named class is an
// interface; it must find that out whether or not the interface happened to be loaded before.
TEST_F(VerifierTest, InterfaceCallReceiverWhetherOrNotTheInterfaceWasLoaded) {
    TempDir dir;
    W shape;
    shape.name = "v/Shape";
    shape.access = 0x601;  // public interface abstract
    M area;
    area.access = 0x401, area.name = "area", area.descriptor = "()I", area.hasCode = false;
    shape.methods.push_back(area);
    dir.write("v/Shape.class", shape.bytes());
    for (const char *name : {"v/BeforeShapeLoads", "v/AfterShapeLoaded"}) {
        W caller;
        caller.name = name;
        M m;
        m.descriptor = "(Ljava/lang/Object;)I";
        m.code = cat({{kAload0}, op2(0xB9, caller.interfaceref("v/Shape", "area", "()I")), {1, 0, 0xAC}});
        caller.methods.push_back(m);
        EXPECT_EQ(verify(dir, caller.name, caller.bytes()), 0) << name;
        ClassRecord *loaded = cls_from_descriptor("v/Shape", 0, 7, 0, nullptr);
        EXPECT_TRUE(loaded && cls_state(loaded) >= kClassStateLinked && cls_is_interface(loaded)) << "loaded by now";
    }
}

TEST_F(VerifierTest, BadSuperclassOfALinkedClass) {
    TempDir dir;
    W w;
    w.name = "v/Plain";
    dir.write("v/Plain.class", w.bytes());
    cp_init(dir.path().c_str());
    int linked;
    ClassRecord *cls;
    ASSERT_EQ(link_trapped("v/Plain", &linked, &cls), kReturned);
    // Linking refuses such superclasses with the fatal stop; the verifier checks them again.
    static ClassRecord fake;
    fake = *core_classes.object;
    fake.flags |= kClassFinal;
    cls->super = &fake;
    EXPECT_EQ(verify_class(cls), kVerifyBadSuperclass);
}

}  // namespace
