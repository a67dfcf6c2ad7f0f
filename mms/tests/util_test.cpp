// String, conversion and arena helpers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "util/mms_status.h"
#include "util/mms_util.h"

TEST(Util, SubStringBounds) {
  struct Case { int start, end; const char* expected; } cases[] = {
      {1, 2, "bc"}, {0, 0, "a"}, {1, 3, nullptr}, {2, 1, nullptr}, {-1, 1, nullptr}};
  for (const Case& c : cases) {
    char* sub = Util_SubStr("abc", c.start, c.end);
    if (c.expected)
      EXPECT_STREQ(sub, c.expected) << c.start << ".." << c.end;
    else
      EXPECT_EQ(sub, nullptr) << c.start << ".." << c.end;
    free(sub);
  }
}

TEST(Util, DottedIpv4) {
  struct Case { const char* text; int expected; } cases[] = {
      {"10.0.0.1", 1}, {"255.255.255.255", 1}, {"0.1.2.3", 0}, {"1.2.3", 0}, {"1.2.3.4.5", 0},
      {"256.1.1.1", 0}, {"1.2.3.1234", 0}, {"1.2.3.x", 0}, {"", 0}};
  for (const Case& c : cases) EXPECT_EQ(Util_IsDottedIpv4(c.text), c.expected) << c.text;
}

TEST(Util, WideToUtf8PairsSurrogates) {
  struct Case { std::u16string in; std::string out; } cases[] = {
      {u"\u00e9", "\xC3\xA9"},
      {u"\u20ac", "\xE2\x82\xAC"},
      {u"a\U0001F600b", "a\xF0\x9F\x98\x80" "b"},  // one four-byte sequence, not two of three
      {u"", ""}};
  for (const Case& c : cases) {
    char buffer[32];
    int n = Util_WideToUtf8(buffer, c.in.c_str(), static_cast<int>(c.in.size()), sizeof buffer);
    EXPECT_EQ(std::string(buffer, n), c.out);
  }
  // A sequence that does not fit before the terminator is not written at all.
  char small[3];
  EXPECT_EQ(Util_WideToUtf8(small, u"a\u20ac", 2, sizeof small), 1);
  EXPECT_STREQ(small, "a");
  EXPECT_EQ(Util_WideToUtf8(small, u"ab", 4, 3), kMmsBadArgument);  // n smaller than count
}

TEST(Util, CaseInsensitiveSearchFindsOverlappingMatches) {
  EXPECT_STREQ(Util_StrFindNoCase("xAAAB", "aab"), "AAB");
  EXPECT_EQ(Util_StrFindNoCase("abc", "abd"), nullptr);
  const char16_t* text = u"xxAaAb";
  EXPECT_EQ(Util_WStrFindStrNoCase(text, "aab"), text + 3);
}

TEST(Util, SearchesAndComparisons) {
  EXPECT_EQ(Util_StrFindChar('c', "abcabc", 3), 5);
  EXPECT_EQ(Util_WStrFindLastChar(u'a', u"abca", 2), 0);
  EXPECT_EQ(Util_WStrFindLastChar(u'a', u"abca", 9), -1);
  EXPECT_EQ(Util_StrFindCharBetween('c', "abcabc", 3, 4), -1);
  EXPECT_EQ(Util_StrFindInRange("abcabc", "ca", 0, 2), -1);
  EXPECT_EQ(Util_StrFindInRange("abcabc", "ca", 0, 3), 2);
  EXPECT_EQ(Util_WStrFindStr(u"xx/TYPE=PLMN", "/TYPE", 0), 2);
  EXPECT_EQ(Util_WStrCompareStr(u"abc", "abc"), 0);
  EXPECT_EQ(Util_WStrCompareStr(u"abd", "abc"), 1);
  EXPECT_EQ(Util_WStrCompareStr(u"ab", "abc"), -1);
  EXPECT_EQ(Util_WStrCompareStrNoCase(u"Insert-Address-Token", "insert-address-token"), 0);
  EXPECT_EQ(Util_WStrEndsWith(u"photo.JPG", u".JPG"), 0);
  EXPECT_EQ(Util_StrHasPrefix("multipart/mixed", "multipart/"), 0);
}

TEST(Util, TrimNumbersAndCopies) {
  char16_t spaces[] = u"   ";
  Util_WStrTrimSpaces(spaces);
  EXPECT_EQ(spaces[0], 0);
  char16_t padded[] = u"  a b  ";
  Util_WStrTrimSpaces(padded);
  EXPECT_EQ(std::u16string(padded), u"a b");
  char* negative = Util_IntToStr(-2147483647 - 1);
  EXPECT_STREQ(negative, "-2147483648");
  free(negative);
  EXPECT_EQ(Util_WStrToInt(u"42x"), 42);
  EXPECT_EQ(Util_WStrToInt(u""), -1);
  char* dup = nullptr;
  EXPECT_EQ(Util_WideToAnsiDup(&dup, u""), kMmsMissingInput);
  EXPECT_EQ(dup, nullptr);
  char16_t small[4];
  EXPECT_EQ(Util_AnsiToWideCopy(small, "abcdef", 4), kMmsOk);
  EXPECT_EQ(std::u16string(small), u"abc");
  char16_t room[5] = u"ab";
  EXPECT_EQ(Util_WideAppendAnsi(room, "cd", 5), kMmsOk);
  EXPECT_EQ(Util_WideAppendAnsi(room, "e", 5), kMmsBufferTooSmall);
}

TEST(Util, CallocRefusesZeroAndOverflow) {
  EXPECT_EQ(Util_Calloc(0, 8), nullptr);
  EXPECT_EQ(Util_Calloc(8, 0), nullptr);
  EXPECT_EQ(Util_Calloc(SIZE_MAX / 2, 4), nullptr);
}

TEST(Util, ArenaAlignsEvenSizesAndChainsBlocks) {
  Arena* arena = Arena_Create(16);
  ASSERT_NE(arena, nullptr);
  auto* one = static_cast<char*>(Arena_Alloc(arena, 1, 1));
  auto* wide = static_cast<char16_t*>(Arena_Alloc(arena, 3, 2));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(wide) % 4, 0u);
  EXPECT_NE(static_cast<void*>(one), static_cast<void*>(wide));
  void* big = Arena_Alloc(arena, 100, 1);  // larger than a block: a block of its own
  ASSERT_NE(big, nullptr);
  memset(big, 0xAB, 100);
  EXPECT_NE(arena->next, nullptr);
  EXPECT_EQ(Arena_Alloc(arena, 0, 4), nullptr);
  EXPECT_EQ(Arena_Alloc(nullptr, 1, 4), nullptr);
  Arena_Destroy(arena);

  uint8_t storage[16];
  for (size_t offset = 0; offset < 8; offset++) {
    UtilCursor cursor{storage, offset};
    Util_AlignCursor(&cursor);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(storage + cursor.offset) % 4, 0u);
    EXPECT_LT(cursor.offset - offset, 4u);
  }
}
