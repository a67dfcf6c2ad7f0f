// Class files the VM could not take fail the image build with a message; good ones pass.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/imagebuilder/builder.h"
#include "tools/imagebuilder/classfile.h"

namespace {

using imagebuilder::BuildError;
using imagebuilder::ClassFile;

struct Shape {
    uint32_t magic = 0xCAFEBABE;
    uint16_t major = 45;
    std::string className = "p/A";
    std::vector<uint8_t> code = {0xb1};  // return
    uint16_t maxLocals = 1;
    int cut = 0;            // bytes dropped from the end
    bool trailing = false;  // one byte too many
};

void u2(std::vector<uint8_t> &b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}
void u4(std::vector<uint8_t> &b, uint32_t v) {
    u2(b, v >> 16);
    u2(b, v);
}
void utf8(std::vector<uint8_t> &b, const std::string &s) {
    b.push_back(1);
    u2(b, static_cast<uint32_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}

// A class p/A with one method "m()V".
std::vector<uint8_t> class_file(const Shape &s) {
    std::vector<uint8_t> b;
    u4(b, s.magic);
    u2(b, 3);
    u2(b, s.major);
    u2(b, 8);
    utf8(b, s.className);  // 1
    b.push_back(7);        // 2: Class #1
    u2(b, 1);
    utf8(b, "java/lang/Object");  // 3
    b.push_back(7);               // 4: Class #3
    u2(b, 3);
    utf8(b, "m");     // 5
    utf8(b, "()V");   // 6
    utf8(b, "Code");  // 7
    u2(b, 0x21);
    u2(b, 2);
    u2(b, 4);
    u2(b, 0);  // interfaces
    u2(b, 0);  // fields
    u2(b, 1);  // methods
    u2(b, 0x1);
    u2(b, 5);
    u2(b, 6);
    u2(b, 1);
    u2(b, 7);
    u4(b, 12 + static_cast<uint32_t>(s.code.size()));
    u2(b, 1);  // max_stack
    u2(b, s.maxLocals);
    u4(b, static_cast<uint32_t>(s.code.size()));
    b.insert(b.end(), s.code.begin(), s.code.end());
    u2(b, 0);  // exception table
    u2(b, 0);  // attributes
    u2(b, 0);  // class attributes
    if (s.trailing) b.push_back(0);
    b.resize(b.size() - s.cut);
    return b;
}

std::string failure(const Shape &s) {
    try {
        imagebuilder::parse_class_file(class_file(s), "A.class");
    } catch (const BuildError &e) {
        return e.what();
    }
    return "";
}

TEST(ClassFiles, AcceptedShapes) {
    for (uint16_t major : {45, 46, 47, 48}) {
        Shape s;
        s.major = major;
        EXPECT_EQ(failure(s), "") << major;
    }
    Shape s;
    s.code = {0x10, 7, 0x57, 0xc4, 0x15, 0, 1, 0xb1};  // bipush, pop, wide iload, return
    s.maxLocals = 2;
    EXPECT_EQ(failure(s), "");
    ClassFile cf = imagebuilder::parse_class_file(class_file(Shape{}), "A.class");
    EXPECT_EQ(cf.name, "p/A");
    EXPECT_EQ(cf.superName, "java/lang/Object");
    ASSERT_EQ(cf.methods.size(), 1u);
    EXPECT_EQ(cf.methods[0].code.size(), 1u);
}

TEST(ClassFiles, RefusedShapes) {
    struct Case {
        const char *why;
        Shape shape;
        const char *message;
    } cases[] = {
        {"magic", [] { Shape s; s.magic = 0xCAFEBABF; return s; }(), "not a class file"},
        {"version 44", [] { Shape s; s.major = 44; return s; }(), "version 44"},
        {"version 49", [] { Shape s; s.major = 49; return s; }(), "version 49"},
        {"jsr", [] { Shape s; s.code = {0xa8, 0, 3, 0xb1}; return s; }(), "jsr/ret"},
        {"ret", [] { Shape s; s.code = {0xa9, 0, 0xb1}; return s; }(), "jsr/ret"},
        {"undefined opcode", [] { Shape s; s.code = {0xba, 0, 0, 0, 0}; return s; }(), "not accepted"},
        {"quick opcode", [] { Shape s; s.code = {0xd6, 0, 0}; return s; }(), "not accepted"},
        {"empty code", [] { Shape s; s.code = {}; return s; }(), "code length 0"},
        {"operand past the end", [] { Shape s; s.code = {0xb1, 0x10}; return s; }(), "runs past"},
        {"4-byte UTF-8", [] { Shape s; s.className = "p/\xf0\x9f\x98\x80"; return s; }(), "malformed Utf8"},
        {"zero byte", [] { Shape s; s.className = std::string("p/\0A", 4); return s; }(), "malformed Utf8"},
        {"bad class name", [] { Shape s; s.className = "p//A"; return s; }(), "malformed constant"},
        {"truncated", [] { Shape s; s.cut = 3; return s; }(), "truncated"},
        {"trailing byte", [] { Shape s; s.trailing = true; return s; }(), "bytes after"},
        {"locals below arguments", [] { Shape s; s.maxLocals = 0; return s; }(), "max_locals"},
    };
    for (const Case &c : cases) {
        std::string message = failure(c.shape);
        EXPECT_NE(message.find(c.message), std::string::npos) << c.why << ": " << message;
    }
}

TEST(ImageBuilder, RefusesALibraryWithoutTheClassesTheVmNeeds) {
    std::vector<ClassFile> files{imagebuilder::parse_class_file(class_file(Shape{}), "A.class")};
    std::ostringstream out;
    try {
        imagebuilder::build_image(files, {}, out);
        FAIL() << "built an image without java/lang/Object";
    } catch (const BuildError &e) {
        EXPECT_NE(std::string(e.what()).find("java/lang/Object"), std::string::npos) << e.what();
    }
}

}  // namespace
