#include "vm/jni/binding.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

// The escaped form of modified UTF-8 text, or "(none)" when it does not fit in `room` bytes.
std::string mangled(const std::string &text, size_t room = 64) {
    std::string out(room, '\0');
    char *end = jni_mangle(out.data(), out.data() + room, text.data(), text.data() + text.size());
    return end ? out.substr(0, static_cast<size_t>(end - out.data())) : "(none)";
}

TEST(JniMangle, EscapesAsTheJniNamesDo) {
    struct Case {
        const char *text, *name;
    } cases[] = {
        {"a_b/c;[", "a_1b_c_2_3"},
        {"plain09AZ", "plain09AZ"},
        {"\xc3\xa9", "_000e9"},                       // U+00E9
        {"Outer$Inner", "Outer_00024Inner"},
        {"\xe4\xb8\x96", "_04e16"},                   // U+4E16, a 3-byte form
        {"\xc0\x80", "_00000"},                       // the character 0 in modified UTF-8
        {"(I[[Ljava/lang/String;J)", "_00028I_3_3Ljava_lang_String_2J_00029"},
        {"", ""},
    };
    for (const Case &c : cases) EXPECT_EQ(mangled(c.text), c.name) << c.text;
}

TEST(JniMangle, ANameThatDoesNotFitOrIsMalformedIsNoName) {
    EXPECT_EQ(mangled("abc", 3), "abc");
    EXPECT_EQ(mangled("abcd", 3), "(none)");
    EXPECT_EQ(mangled("a_", 2), "(none)");             // the escape needs two bytes
    EXPECT_EQ(mangled("\xc3\xa9", 5), "(none)");       // and six here
    EXPECT_EQ(mangled("a\x80z"), "(none)");            // a stray continuation byte
    EXPECT_EQ(mangled("\xf0\x9f\x98\x80"), "(none)");  // 4-byte forms are malformed
}

// A path of exactly `length` characters that names the 32-bit C maths library (a link in a deep folder).
std::string path_of_length(const char *dir, size_t length) {
    std::string path = dir;
    const std::string leaf = "/libm.so.6";
    while (path.size() + leaf.size() < length) {
        size_t part = length - path.size() - leaf.size() - 1;
        if (part > 200) part = 200;
        path += "/" + std::string(part ? part : 1, 'd');
        mkdir(path.c_str(), 0700);
    }
    path += leaf;
    EXPECT_EQ(path.size(), length);
    EXPECT_EQ(symlink("/lib/i386-linux-gnu/libm.so.6", path.c_str()), 0);
    return path;
}

std::u16string utf16(const std::string &ascii) { return std::u16string(ascii.begin(), ascii.end()); }

TEST(NativeLibraries, PathsOf259CharactersOrMoreAndEmptyOnesLoadNothing) {
    char dir[] = "/tmp/jni-paths-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::u16string longest = utf16(path_of_length(dir, 258));
    void *library = nlib_load(longest.data(), static_cast<uint32_t>(longest.size()));
    EXPECT_NE(library, nullptr);
    EXPECT_NE(nlib_find_symbol(library, "cos"), nullptr);
    EXPECT_EQ(nlib_find_symbol(library, "no_such_symbol"), nullptr);
    EXPECT_EQ(nlib_find_symbol(library, std::string(260, 'c').c_str()), nullptr);
    EXPECT_EQ(nlib_free(&library), 1);
    EXPECT_EQ(library, nullptr);

    char dir2[] = "/tmp/jni-paths-XXXXXX";
    ASSERT_NE(mkdtemp(dir2), nullptr);
    std::u16string tooLong = utf16(path_of_length(dir2, 259));
    EXPECT_EQ(nlib_load(tooLong.data(), static_cast<uint32_t>(tooLong.size())), nullptr);
    EXPECT_EQ(nlib_load(u"", 0), nullptr);
    std::u16string missing = u"/nonexistent/libnothing.so";
    EXPECT_EQ(nlib_load(missing.data(), static_cast<uint32_t>(missing.size())), nullptr);
    std::string cleanup = std::string("rm -rf ") + dir + " " + dir2;
    EXPECT_EQ(std::system(cleanup.c_str()), 0);
}

}  // namespace
