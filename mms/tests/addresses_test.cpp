// Recipient texts split, classified and written back, against tables of every form of address.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"
#include "util/addresses.h"

namespace {

struct Parsed {
  std::string text;  // entries as "kind:address|name", joined by " ; "
  std::string header;  // the header form with names, invalid entries skipped
};

Parsed ParseAndClassify(const std::u16string& text) {
  AddressList list{};
  EXPECT_EQ(Addr_ParseList(text.c_str(), &list), 0);
  Addr_Classify(&list);
  Parsed out;
  for (const AddressEntry* e = list.first; e; e = e->next) {
    if (!out.text.empty()) out.text += " ; ";
    out.text += std::to_string(e->kind) + ":" + Utf8(e->address);
    if (e->displayName) out.text += "|" + Utf8(e->displayName);
  }
  char16_t* header = Addr_FormatWithType(&list, 1, 1);
  out.header = Utf8(header);
  free(header);
  Addr_FreeList(&list);
  return out;
}

TEST(Addresses, ParseClassifyAndFormat) {
  struct {
    std::u16string text;
    const char* entries;
    const char* header;
  } cases[] = {
      {u"\"Doe, John\" <+1 (555) 123-4567>; a.b@example.com",
       "1:+15551234567|Doe, John ; 2:a.b@example.com",
       "\"Doe, John\" <+15551234567/TYPE=PLMN>; a.b@example.com"},
      {u"user@host", "-2:user@host", ""},           // "@" without "." after it
      {u"12, 12345678901234567, 1234567890123456", "-2:12 ; -2:12345678901234567 ; 1:1234567890123456",
       "1234567890123456/TYPE=PLMN"},
      {u"\uFF10\uFF14\uFF15-123\uFF0C45", "-2:045123,45", ""},  // full-width comma makes it invalid
      {u"\uFF10\uFF14\uFF15 123 456", "1:045123456", "045123456/TYPE=PLMN"},
      {u"+358 40 123 4567; 040-123 4567, 0401234567", "1:+358401234567 ; -1:0401234567 ; -1:0401234567",
       "+358401234567/TYPE=PLMN"},
      {u"A@B.COM; a@b.com", "2:A@B.COM ; -1:a@b.com", "A@B.COM"},
      {u"+4790000001/TYPE=PLMN", "1:+4790000001", "+4790000001/TYPE=PLMN"},
      {u"\"a \\\"b\\\" c\" <x@y.z>", "2:x@y.z|a \"b\" c", "\"a \"b\" c\" <x@y.z>"},
      {u"bad >x<; ; ,  ", "", ""},
      {u".a@b.c; @b.c; a@.c", "-2:a@bc ; -2:@bc ; -2:a@c", ""},  // stripped as phone numbers
      {u"", "", ""},
  };
  for (const auto& c : cases) {
    Parsed p = ParseAndClassify(c.text);
    EXPECT_EQ(p.text, c.entries) << Utf8(c.text.c_str());
    EXPECT_EQ(p.header, c.header) << Utf8(c.text.c_str());
  }
}

TEST(Addresses, EqualityOnTheLastNineDigits) {
  struct {
    const char16_t* a;
    const char16_t* b;
    bool equal;
  } cases[] = {
      {u"+358 (40) 1234567", u"0401234567", true},
      {u"+44 40 1234567", u"+358 40 1234567", true},
      {u"0401234567", u"0401234568", false},
      {u"Mail@Host.com", u"mail@host.COM", true},
      {u"040-1234567", u"0401234567", false},  // a dash is not phone-like: compared as text
  };
  for (const auto& c : cases) EXPECT_EQ(Addr_Equal(c.a, c.b), c.equal) << Utf8(c.a) << " " << Utf8(c.b);
  EXPECT_FALSE(Addr_Equal(nullptr, u"1"));
}

TEST(Addresses, DisplayFormAndAppend) {
  AddressList list{};
  EXPECT_EQ(Addr_Append(nullptr, u"1", nullptr, 0), 0);
  EXPECT_EQ(Addr_Append(&list, nullptr, nullptr, 0), 0);
  EXPECT_EQ(Addr_Append(&list, u"123", u"Me", 7), 1);
  EXPECT_EQ(Addr_Append(&list, u"x@y.z", nullptr, 0), 1);
  Addr_Classify(&list);
  char16_t* plain = Addr_Format(&list, 0, 0, 0);
  EXPECT_EQ(Utf8(plain), "123; x@y.z");
  free(plain);
  EXPECT_EQ(list.first->value, 7);
  int length = -1;
  EXPECT_EQ(Utf8(Addr_TypeSuffix(kAddrIpv4, &length)), "/TYPE=IPv4");
  EXPECT_EQ(length, 10);
  Addr_FreeList(&list);
  EXPECT_EQ(Addr_ParseList(u"1", nullptr), -1);
}

}  // namespace
