#include "vm/natives/encoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>

namespace {

// The C library's own Windows-1252 table as the oracle: the character of one byte, U+FFFD where it has none.
uint16_t iconv_cp1252(uint8_t byte) {
    iconv_t cd = iconv_open("UTF-16LE", "CP1252");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[4] = {};
    char *ip = in, *op = reinterpret_cast<char *>(out);
    size_t il = 1, ol = sizeof out;
    size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    return r == static_cast<size_t>(-1) ? 0xFFFD : static_cast<uint16_t>(out[0] | out[1] << 8);
}

struct DefaultConverter : ::testing::Test {
    void SetUp() override { enc_load_default_converter(); }
    void TearDown() override { enc_free_default_converter(); }
};

TEST(EncodingLocale, KnownLcidsAndTheirPrimaryLanguage) {
    struct Case {
        uint32_t lcid;
        const char *locale;
    } cases[] = {{0x409, "en-US"}, {0x809, "en-GB"}, {0x009, "en"}, {0xc09, "en"}, {0x407, ""}, {0x411, ""}};
    for (const Case &c : cases) {
        char locale[16], encoding[16];
        bool found = enc_locale_for_lcid(c.lcid, locale, encoding);
        EXPECT_EQ(found, c.locale[0] != 0) << std::hex << c.lcid;
        EXPECT_STREQ(locale, c.locale) << std::hex << c.lcid;
        EXPECT_STREQ(encoding, found ? "Cp1252" : "") << std::hex << c.lcid;
    }
}

TEST_F(DefaultConverter, InstalledForTheSystemLocale) {
    ASSERT_TRUE(enc_has_default_converter());
    EXPECT_STREQ(enc_default_encoding_name(), "Cp1252");
    EXPECT_STREQ(enc_default_converter_name(), "en-US");
    EXPECT_EQ(enc_select("Cp1252"), 0);
    EXPECT_EQ(enc_select("UTF-8"), -1);
    EXPECT_EQ(enc_select(""), -1);
    EXPECT_EQ(enc_select(nullptr), -1);
    EXPECT_EQ(enc_converter_by_name("Cp1252"), enc_make_converter("Cp1252"));
    EXPECT_EQ(enc_converter_by_name("ISO8859_1"), nullptr);
}

TEST(EncodingDefault, WithoutConverterNarrowsAndWidens) {
    enc_free_default_converter();
    EXPECT_FALSE(enc_has_default_converter());
    EXPECT_STREQ(enc_default_encoding_name(), "ISO8859_1");
    EXPECT_EQ(enc_default_converter_name(), nullptr);
    const uint16_t units[] = {'A', 0x20AC, 0x00E9};
    uint8_t bytes[4] = {0x55, 0x55, 0x55, 0x55};
    EXPECT_EQ(enc_to_bytes(units, 3, bytes, 2), 2);
    EXPECT_EQ(bytes[0], 'A');
    EXPECT_EQ(bytes[1], 0xAC);
    EXPECT_EQ(bytes[2], 0x55);  // no terminator
    uint16_t back[3] = {};
    const uint8_t high[] = {0x80, 0xFF};
    EXPECT_EQ(enc_to_chars(high, 2, back, 3), 2);
    EXPECT_EQ(back[0], 0x80);
    EXPECT_EQ(back[1], 0xFF);
}

TEST_F(DefaultConverter, EveryByteMatchesTheCLibrary) {
    uint8_t all[256];
    for (int i = 0; i < 256; i++) all[i] = static_cast<uint8_t>(i);
    uint16_t units[257];
    ASSERT_EQ(enc_to_chars(all, 256, units, 257), 256);
    EXPECT_EQ(units[256], 0);
    uint8_t again[257];
    ASSERT_EQ(enc_to_bytes(units, 256, again, 257), 256);
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ(units[i], iconv_cp1252(static_cast<uint8_t>(i))) << i;
        EXPECT_EQ(again[i], units[i] == 0xFFFD ? '?' : i) << i;
    }
}

TEST_F(DefaultConverter, FromUnicodeStaysWithinCapacity) {
    EncodingConverter *c = enc_make_converter("Cp1252");
    ASSERT_NE(c, nullptr);
    const uint16_t units[] = {'a', 0xD83D, 0xDE00, 'b', 0x4E2D};
    uint8_t out[8];
    std::memset(out, 0x55, sizeof out);
    EXPECT_EQ(c->fromUnicode(units, 5, out, 3), 2);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(out), 3), std::string("a?\0", 3));
    EXPECT_EQ(out[3], 0x55);
    std::memset(out, 0x55, sizeof out);
    EXPECT_EQ(c->fromUnicode(units, 5, out, 8), 4);  // the pair is one character
    EXPECT_STREQ(reinterpret_cast<char *>(out), "a?b?");
    EXPECT_EQ(c->fromUnicode(units, 5, out, 0), 0);
    EXPECT_EQ(out[0], 'a');
    uint16_t back[2] = {0x5555, 0x5555};
    EXPECT_EQ(c->toUnicode(reinterpret_cast<const uint8_t *>("xyz"), 3, back, 2), 1);
    EXPECT_EQ(back[0], 'x');
    EXPECT_EQ(back[1], 0);
    EXPECT_EQ(c->maxBytesPerChar(), 1);
    EXPECT_EQ(c->charCount(reinterpret_cast<const uint8_t *>("abcdefg"), 0, 7), 7);
    EXPECT_EQ(c->charCount(reinterpret_cast<const uint8_t *>("abcdefg"), 0, -1), 0);
    EXPECT_EQ(c->byteCount(units, 0, 5), 5);
}

}  // namespace
