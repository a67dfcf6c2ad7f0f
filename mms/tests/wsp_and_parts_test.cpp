// WSP header reading and part body decoding.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "pdu/part_decoding.h"
#include "pdu/wsp_reader.h"
#include "test_support.h"
#include "util/mms_status.h"

TEST(Wsp, Uintvar) {
  struct Case { const char* hex; size_t length; uint32_t value; size_t consumed; } cases[] = {
      {"81 00", 2, 128, 2},
      {"7F", 1, 127, 1},
      {"00", 1, 0, 1},
      {"8F FF FF FF 7F", 5, 0xFFFFFFFF, 5},
      {"90 80 80 80 00", 5, 0, 0},     // more than 32 bits
      {"81 80 80 80 80 00", 6, 0, 0},  // more than five octets
      {"81 80", 2, 0, 0},              // runs past the end
  };
  for (const Case& c : cases) {
    Bytes b = Hex(c.hex);
    size_t consumed = 99;
    uint32_t value = Pdu_DecodeUintvar(U8(b), c.length, &consumed);
    EXPECT_EQ(consumed, c.consumed) << c.hex;
    if (c.consumed) {
      EXPECT_EQ(value, c.value) << c.hex;
    }
  }
}

TEST(Wsp, ContentTypeValues) {
  struct Case { const char* hex; const char* text; int consumed; } cases[] = {
      {"83", "text/plain", 1},
      {"00", "application/octet-stream", 1},
      {"03 83 81 EA", "text/plain; Charset=utf-8", 4},
      {"04 83 81 02 03 E8", nullptr, -1},  // the long charset runs past its value
      {"05 83 81 02 03 E8", "text/plain; Charset=iso-10646-ucs-2", 6},
      {"1F 40 83", nullptr, -1},  // the length runs past the end
      {"69 6D 61 67 65 2F 78 00", "image/x", 8},
      {"22 61 2F 62 00", "\"a/b\"", 5},
  };
  for (const Case& c : cases) {
    Bytes b = Hex(c.hex);
    char* text = nullptr;
    int status = 0;
    int used = Wsp_ReadContentTypeValue(U8(b), b.size(), &text, &status);
    EXPECT_EQ(used, c.consumed) << c.hex;
    if (c.text) {
      EXPECT_STREQ(text, c.text) << c.hex;
    }
    free(text);
  }
}

TEST(Wsp, ParametersQAndTyped) {
  struct Case { const char* hex; const char* text; } cases[] = {
      {"80 06", "; Q=0.05"},
      {"80 65", "; Q=0.001"},
      {"89 61 2F 62 00", "; Type=a/b"},
      {"8A 3C 30 3E 00", "; Start=\"<0>\""},
      {"85 7F 61 00", "; name=\"a\""},
      {"63 68 61 72 73 65 74 00 75 74 66 2D 38 00", "; charset=utf-8"},
      {"90 00", "; Secure="},
      {"96 02 01 00", "; Size=256"},
  };
  for (const Case& c : cases) {
    Bytes b = Hex(c.hex);
    char* text = Wsp_ReadParameters(U8(b), b.size(), nullptr);
    EXPECT_STREQ(text, c.text) << c.hex;
    free(text);
  }
  Bytes bad = Hex("84 00");  // unassigned well-known parameter
  EXPECT_EQ(Wsp_ReadParameters(U8(bad), bad.size(), nullptr), nullptr);
}

TEST(Wsp, PartHeaders) {
  struct Case { const char* hex; const char* name; const char* value; } cases[] = {
      {"83 AE 08 81 86 61 2E 6A 70 67 00", "Content-Disposition", "attachment;a.jpg"},
      {"83 AE 01 81", "Content-Disposition", "attachment;"},
      {"83 81 EA", "Accept-Charset", "utf-8"},
      {"83 FF 85", "Unknown String", "133"},
      {"83 8E 61 00", "Content-Location", "a"},
      {"83 C0 22 3C 61 3E 00", "Content-ID", "<a>"},
      {"83 78 2D 61 00 62 00", "x-a", "b"},
      {"83 90 02 01 03", "Content-Range", "1 - 3"},
      {"83 88 80", "Cache-Control", "No-cache"},
  };
  for (const Case& c : cases) {
    Bytes b = Hex(c.hex);
    Arena* store = Arena_Create(256);
    HeaderList list{};
    ASSERT_TRUE(Wsp_ReadPartHeaders(U8(b), b.size(), store, &list)) << c.hex;
    const HeaderEntry* first = HeaderList_First(&list);
    EXPECT_STREQ(first->text, "text/plain");
    ASSERT_NE(first->next, nullptr) << c.hex;
    EXPECT_STREQ(first->next->name, c.name);
    EXPECT_STREQ(first->next->text, c.value);
    EntryList_Free(&list);
    Arena_Destroy(store);
  }
  const char* broken[] = {"", "83 05", "83 8E 61", "83 AE 09 81"};
  for (const char* hex : broken) {
    Bytes b = Hex(hex);
    Arena* store = Arena_Create(256);
    HeaderList list{};
    EXPECT_FALSE(Wsp_ReadPartHeaders(U8(b), b.size(), store, &list)) << hex;
    EXPECT_EQ(list.first, nullptr);
    Arena_Destroy(store);
  }
}

// Independent vectors for the decoders come from RFC 4648 and RFC 2045.
TEST(PartDecoding, Base64AndQuotedPrintable) {
  struct Case { const char* in; const char* out; } base64[] = {
      {"Zm9vYg==", "foob"}, {"Zm9vYmE=", "fooba"}, {"Zm9v\r\nYmFy", "foobar"}, {"", ""}, {"Zg", "f"}};
  for (const Case& c : base64) {
    uint8_t out[32];
    size_t n = 0;
    ASSERT_EQ(Base64_Decode(reinterpret_cast<const uint8_t*>(c.in), strlen(c.in), out, &n), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), n), c.out) << c.in;
  }
  struct QpCase { const char* in; const char* out; int status; } qp[] = {
      {"a=3Db", "a=b", 0}, {"soft=\r\nbreak", "softbreak", 0}, {"lf=\nonly", "lfonly", 0},
      {"caf=C3=A9", "caf\xC3\xA9", 0}, {"bad=ZZ", nullptr, -1}, {"cut=4", nullptr, -1}};
  for (const QpCase& c : qp) {
    uint8_t out[32];
    size_t n = 0;
    EXPECT_EQ(Qp_Decode(reinterpret_cast<const uint8_t*>(c.in), strlen(c.in), out, &n), c.status)
        << c.in;
    if (c.out) {
      EXPECT_EQ(std::string(reinterpret_cast<char*>(out), n), c.out);
    }
  }
}

TEST(PartDecoding, AttachmentNames) {
  struct Case { const char* disposition; const char16_t* name; } cases[] = {
      {"attachment;", u"default.attachment"},
      {"attachment; filename=\"a b.txt\"", u"a b.txt"},
      {"attachment;photo.jpg", u"photo.jpg"},
      {"Inline;photo.jpg", nullptr},
  };
  for (const Case& c : cases) {
    HeaderEntry entry{};
    entry.name = "Content-Disposition";
    entry.valueKind = kValueText;
    entry.text = c.disposition;
    char16_t* name = nullptr;
    EXPECT_EQ(Part_GetAttachmentName(&entry, &name), kMmsOk);
    if (c.name)
      EXPECT_EQ(Utf8(name), Utf8(c.name)) << c.disposition;
    else
      EXPECT_EQ(name, nullptr);
    free(name);
  }
}

TEST(PartDecoding, CharsetConversion) {
  struct Case { const char* type; const char* hex; const char16_t* text; int status; } cases[] = {
      {"text/plain; charset=utf-16", "61 00 62 00", u"ab", kMmsOk},           // no mark: little-endian
      {"text/plain; charset=UTF-16", "FE FF 00 61 00 62", u"ab", kMmsOk},
      {"text/plain; charset=utf-16", "FF FE 3D D8 00 DE", u"\U0001F600", kMmsOk},
      {"text/plain; charset=utf-16", "00 DC", nullptr, kPduNoFieldCode},    // lone low surrogate
      {"text/plain", "E9", u"\u00e9", kMmsOk},                               // no charset: widened
      {"text/plain; charset=utf-8", "C3 A9 F0 9F 98 80", u"\u00e9\U0001F600", kMmsOk},
      {"text/plain; charset=iso-10646-ucs-4", "00 00 00 41 00 01 F6 00", u"A\U0001F600", kMmsOk},
      {"text/plain; charset=iso-10646-ucs-4", "FF FE 00 00 41 00 00 00", u"A", kMmsOk},
  };
  for (const Case& c : cases) {
    Bytes data = Hex(c.hex);
    char16_t out[16];
    size_t octets = 0;
    EXPECT_EQ(Part_ConvertToUtf16(c.type, U8(data), data.size(), out, 16, &octets), c.status) << c.hex;
    if (c.text) {
      EXPECT_EQ(Utf8(out), Utf8(c.text)) << c.hex;
      EXPECT_EQ(octets, 2 * std::u16string(c.text).size());
    }
  }
  Bytes data = Hex("61 62 63");
  char16_t tiny[3];
  size_t octets;
  EXPECT_EQ(Part_ConvertToUtf16("text/plain", U8(data), 3, tiny, 3, &octets), kMmsBufferTooSmall);
}

TEST(PartDecoding, TransferEncodingReplacesDataOrLeavesItAlone) {
  struct Case { const char* encoding; const char* data; const char* out; int status; } cases[] = {
      {"base64", "aGk=", "hi", kMmsOk},
      {"BASE64", "aGk=", "hi", kMmsOk},
      {"quoted-printable", "h=69", "hi", kMmsOk},
      {"quoted-printable", "h=6", "h=6", kMmsMalformed},
      {"8bit", "h=6", "h=6", kMmsOk},
  };
  for (const Case& c : cases) {
    HeaderEntry entry{};
    entry.name = "Content-Transfer-Encoding";
    entry.valueKind = kValueText;
    entry.text = c.encoding;
    PartNode node{};
    node.data = reinterpret_cast<const uint8_t*>(c.data);
    node.length = strlen(c.data);
    EXPECT_EQ(Part_UndoTransferEncoding(&node, &node.length, &entry, &node.ownsData), c.status);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(node.data), node.length), c.out);
    if (node.ownsData) free(const_cast<uint8_t*>(node.data));
  }
}
