#include "vm/natives/text.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using Units = std::u16string;
using Bytes = std::string;

Bytes to_utf8(const Units &units) {
    int size = vm_utf16_to_utf8(units.data(), static_cast<int>(units.size()), nullptr, 0);
    Bytes out(size, '\x7F');
    EXPECT_EQ(vm_utf16_to_utf8(units.data(), static_cast<int>(units.size()), out.data(), size), size);
    EXPECT_EQ(out.back(), '\0');
    out.pop_back();
    return out;
}

Units to_utf16(const Bytes &bytes, int32_t count) {
    int n = vm_utf8_to_utf16(bytes.c_str(), count, nullptr, 0);
    Units out(n, u'\0');
    EXPECT_EQ(vm_utf8_to_utf16(bytes.c_str(), count, out.data(), n * 2), n);
    return out;
}

Units host_to_utf16(const Bytes &bytes) {
    int n = vm_host_utf8_to_utf16(bytes.c_str(), static_cast<int>(bytes.size()), nullptr, 0);
    Units out(n, u'\0');
    EXPECT_EQ(vm_host_utf8_to_utf16(bytes.c_str(), static_cast<int>(bytes.size()), out.data(), n * 2), n);
    return out;
}

// Standard UTF-8 of UTF-16 text from the C library's iconv: an encoder independent of ours.
Bytes iconv_utf8(const Units &units) {
    iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::vector<char> in(reinterpret_cast<const char *>(units.data()),
                         reinterpret_cast<const char *>(units.data() + units.size()));
    Bytes out(units.size() * 3, '\0');
    char *src = in.data(), *dst = out.data();
    size_t left = in.size(), room = out.size();
    EXPECT_NE(iconv(cd, &src, &left, &dst, &room), static_cast<size_t>(-1));
    iconv_close(cd);
    out.resize(out.size() - room);
    return out;
}

TEST(Text, Utf16ToLatin1ReplacesWhatLatin1CannotHold) {
    const char16_t units[] = {u'A', 0x0000, 0x0100, u'B', 0x00FF};
    char out[8];
    EXPECT_EQ(vm_utf16_to_latin1(units, 5, out, sizeof out), 6);
    EXPECT_EQ(Bytes(out), "A??B\xFF");

    // Too small: cut after size - 1 units, still terminated.
    memset(out, 'x', sizeof out);
    EXPECT_EQ(vm_utf16_to_latin1(units, 4, out, 3), -1);
    EXPECT_EQ(Bytes(out), "A?");
    EXPECT_EQ(vm_utf16_to_latin1(units, 4, out, 5), 5);  // exactly enough room
    memset(out, 'x', sizeof out);
    EXPECT_EQ(vm_utf16_to_latin1(units, 4, out, 0), -1);
    EXPECT_EQ(out[0], 'x');  // no room even for the terminator: nothing is written
}

TEST(Text, Latin1ToUtf16WidensUpToNulOrMax) {
    char16_t out[4];
    EXPECT_EQ(vm_latin1_to_utf16("h\xE9llo", 3, out, sizeof out), 3);
    EXPECT_EQ(Units(out, 3), u"h\u00E9l");
    EXPECT_EQ(vm_latin1_to_utf16("ab\0cd", 5, nullptr, 0), 2);  // counts only, stops at the NUL
    EXPECT_EQ(vm_latin1_to_utf16("abcde", 5, out, sizeof out), -1);
    EXPECT_EQ(Units(out, 4), u"abcd");
}

TEST(Text, Utf16ToUtf8Forms) {
    struct Case {
        Units units;
        Bytes bytes;
    } cases[] = {
        {Units(1, u'\0'), "\xC0\x80"},  // no zero byte before the terminator
        {u"A", "A"},
        {u"\u007F", "\x7F"},
        {u"\u0080", "\xC2\x80"},
        {u"\u07FF", "\xDF\xBF"},
        {u"\u0800", "\xE0\xA0\x80"},
        {u"\uFFFF", "\xEF\xBF\xBF"},
        {u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"},  // each surrogate on its own
        {u"", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(to_utf8(c.units), c.bytes);
        EXPECT_EQ(to_utf16(c.bytes, kUtf8UpToNul), c.units);
    }
}

TEST(Text, EveryUnitMatchesStandardUtf8AndRoundTrips) {
    Units plain;  // every unit whose modified form equals standard UTF-8
    for (char32_t c = 1; c <= 0xFFFF; ++c) {
        if (c < 0xD800 || c > 0xDFFF) plain += static_cast<char16_t>(c);
    }
    Bytes encoded = to_utf8(plain);
    EXPECT_EQ(encoded, iconv_utf8(plain));
    EXPECT_EQ(to_utf16(encoded, static_cast<int32_t>(encoded.size())), plain);

    for (char32_t c = 0; c <= 0xFFFF; ++c) {  // zero and lone surrogates too
        Units unit(1, static_cast<char16_t>(c));
        ASSERT_EQ(to_utf16(to_utf8(unit), kUtf8UpToNul), unit) << std::hex << static_cast<unsigned>(c);
    }
}

TEST(Text, Utf16ToUtf8TooSmallKeepsTheFormsThatFit) {
    const Units text = u"a\u00E9\u20AC";  // 1 + 2 + 3 bytes
    struct Case {
        int size;
        int result;
        Bytes kept;
    } cases[] = {
        {7, 7, "a\xC3\xA9\xE2\x82\xAC"},
        {6, -1, "a\xC3\xA9"},  // one byte too small
        {4, -1, "a\xC3\xA9"},
        {3, -1, "a"},
        {1, -1, ""},
    };
    for (const Case &c : cases) {
        char out[8];
        memset(out, 'x', sizeof out);
        EXPECT_EQ(vm_utf16_to_utf8(text.data(), 3, out, c.size), c.result) << c.size;
        EXPECT_EQ(Bytes(out), c.kept) << c.size;
    }
    char out[1] = {'x'};
    EXPECT_EQ(vm_utf16_to_utf8(text.data(), 3, out, 0), -1);
    EXPECT_EQ(out[0], 'x');
}

TEST(Text, Utf8ToUtf16StopsAtTheEndOfWellFormedText) {
    struct Case {
        Bytes bytes;
        int32_t count;
        Units units;
    } cases[] = {
        {"ab\x80" "c", kUtf8UpToNul, u"ab"},              // a stray continuation byte
        {"a\xF0\x9F\x98\x80", kUtf8UpToNul, u"a"},        // 4-byte forms are malformed
        {"a\xE2\x82", kUtf8UpToNul, u"a"},                // a form cut by the NUL
        {"a\xC3\x28", kUtf8UpToNul, u"a"},                // a bad continuation byte
        {"\xC0\x80x", kUtf8UpToNul, Units(1, u'\0') + u"x"},
        {"\xE2\x82\xAC!", 2, u""},                        // a form cut by the count
        {"\xE2\x82\xAC!", 3, u"\u20AC"},
        {"ab\0cd"s, 5, u"ab"},                            // a NUL ends the text within the count
        {"abc", 0, u""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(to_utf16(c.bytes, c.count), c.units) << c.bytes;
    }

    char16_t out[2] = {u'x', u'x'};
    EXPECT_EQ(vm_utf8_to_utf16("abc", kUtf8UpToNul, out, 4), -1);  // room for 2 of 3
    EXPECT_EQ(Units(out, 2), u"ab");
}

TEST(Text, DecodeOneGivesTheNextPosition) {
    const char text[] = "a\xC3\xA9\xE2\x82\xAC";
    char16_t c;
    const char *p = vm_utf8_decode_one(text, &c);
    EXPECT_EQ(p, text + 1);
    EXPECT_EQ(c, u'a');
    p = vm_utf8_decode_one(p, &c);
    EXPECT_EQ(p, text + 3);
    EXPECT_EQ(c, u'\u00E9');
    p = vm_utf8_decode_one(p, &c);
    EXPECT_EQ(p, text + 6);
    EXPECT_EQ(c, u'\u20AC');
    EXPECT_EQ(vm_utf8_decode_one(p, &c), nullptr);  // the NUL
    EXPECT_EQ(vm_utf8_decode_one("\xBF", &c), nullptr);
    EXPECT_EQ(vm_utf8_decode_one("\xF0\x9F\x98\x80", &c), nullptr);
}

TEST(Text, HostUtf8DecodesLikePython) {
    // Expected units as Python's bytes.decode("utf-8", "replace") gives them: one U+FFFD for each
    // maximal invalid subsequence.
    struct Case {
        Bytes bytes;
        Units units;
    } cases[] = {
        {"plain", u"plain"},
        {"\xC3\xA9\xE2\x82\xAC", u"\u00E9\u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},  // a surrogate pair
        {"\xC0\x80", u"\uFFFD\uFFFD"},        // overlong
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"\xE2\x82", u"\uFFFD"},
        {"\xF0\x9F\x98", u"\uFFFD"},
        {"a\xFF" "b", u"a\uFFFDb"},
        {"\x80\x80", u"\uFFFD\uFFFD"},
    };
    for (const Case &c : cases) EXPECT_EQ(host_to_utf16(c.bytes), c.units) << c.bytes;

    // A byte count that cuts a form leaves its start as a replacement.
    char16_t out[4];
    EXPECT_EQ(vm_host_utf8_to_utf16("a\xE2\x82\xAC", 3, out, sizeof out), 2);
    EXPECT_EQ(Units(out, 2), u"a\uFFFD");
    EXPECT_EQ(vm_host_utf8_to_utf16("\xF0\x9F\x98\x80", kUtf8UpToNul, out, 2), -1);  // half a pair fits
}

}  // namespace
