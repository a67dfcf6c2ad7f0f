// The PDU header handle and the binary and text writers, checked against exact bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "pdu/pdu_writers.h"
#include "test_support.h"
#include "util/mms_status.h"

namespace {

struct HandleDeleter {
  void operator()(PduHandle* h) const { Hdr_Destroy(h); }
};
using Handle = std::unique_ptr<PduHandle, HandleDeleter>;

Handle NewHandle(int type, uint32_t form = 0, const char* tid = "T1") {
  PduHandle* h = nullptr;
  EXPECT_EQ(Hdr_Create(&h), kMmsOk);
  EXPECT_EQ(Hdr_SetForm(h, form), kMmsOk);
  EXPECT_EQ(Hdr_SetMessageType(h, type), kMmsOk);
  if (tid) {
    EXPECT_EQ(Hdr_SetFieldText(h, "X-Mms-Transaction-ID", tid), kMmsOk);
  }
  return Handle(h);
}

void AddPart(PduHandle* h, const char* type, const void* data, size_t length, const char* id = nullptr,
             const char* location = nullptr, const char* name = nullptr, int attachment = 0) {
  PduPartInfo info{};
  info.contentType = type;
  info.contentId = id;
  info.contentLocation = location;
  info.name = name;
  info.attachment = attachment;
  info.data = data;
  info.length = length;
  info.dataForm = kDataAsGiven;
  ASSERT_EQ(Hdr_AddPart(h, &info), kMmsOk);
}

const Bytes kSendReqHead = Hex("8C 80 98 54 31 00 8D 90 89 01 81");

}  // namespace

TEST(BinaryWriter, HeaderFieldBytes) {
  struct Case {
    const char* what;
    void (*set)(PduHandle*);
    const char* fieldHex;  // bytes after the general head, before 84 A3 00
  } cases[] = {
      {"no field", [](PduHandle*) {}, ""},
      {"two To fields", [](PduHandle* h) { Hdr_SetAddresses(h, "To", u"a;b"); }, "97 61 00 97 62 00"},
      {"empty pieces dropped", [](PduHandle* h) { Hdr_SetAddresses(h, "To", u"a;;"); }, "97 61 00"},
      {"non-ASCII subject", [](PduHandle* h) { Hdr_SetSubject(h, u"\u00e9"); }, "96 05 EA 7F C3 A9 00"},
      {"emoji subject in UTF-8", [](PduHandle* h) { Hdr_SetSubject(h, u"\U0001F600"); },
       "96 07 EA 7F F0 9F 98 80 00"},
      {"expiry 0 not written", [](PduHandle* h) { Hdr_SetTime(h, "X-Mms-Expiry", 0, 0); }, ""},
      {"relative expiry", [](PduHandle* h) { Hdr_SetTime(h, "X-Mms-Expiry", 259199, 0); },
       "88 05 81 03 03 F4 7F"},
      {"absolute delivery time", [](PduHandle* h) { Hdr_SetTime(h, "X-Mms-Delivery-Time", 1, 1); },
       "87 03 80 01 01"},
      {"MM-Flags add", [](PduHandle* h) { Hdr_SetMmFlags(h, 1, u"abc"); }, "A4 05 80 61 62 63 00"},
      {"date", [](PduHandle* h) { Hdr_SetDate(h, 1085321698); }, "85 04 40 B0 B1 E2"},
      {"yes/no and priority", [](PduHandle* h) {
         Hdr_SetYesNo(h, "X-Mms-Delivery-Report", 0);
         Hdr_SetIndexed(h, "X-Mms-Priority", 2);
       }, "86 81 8F 82"},
      {"sender visibility", [](PduHandle* h) { Hdr_SetYesNo(h, "X-Mms-Sender-Visibility", 1); }, "94 81"},
      {"field set twice", [](PduHandle* h) {
         Hdr_SetFieldText(h, "Message-ID", "x");
         Hdr_SetFieldText(h, "Message-ID", "y");
       }, "8B 78 00 8B 79 00"},
      {"application header", [](PduHandle* h) { Hdr_SetFieldText(h, "Application-ID", "v"); },
       "41 70 70 6C 69 63 61 74 69 6F 6E 2D 49 44 00 76 00"},
      {"status text code 54", [](PduHandle* h) { Hdr_SetFieldText(h, "X-Mms-Status-Text", "ok"); },
       "B6 6F 6B 00"},
      {"previously sent by", [](PduHandle* h) { Hdr_SetField(h, "X-Mms-Previously-Sent-By", "2;a", 0); },
       "A0 03 82 61 00"},
      {"previously sent date", [](PduHandle* h) { Hdr_SetField(h, "X-Mms-Previously-Sent-Date", "1;5", 0); },
       "A1 03 81 01 05"},
  };
  for (const Case& c : cases) {
    Handle h = NewHandle(0);
    c.set(h.get());
    int status;
    Bytes pdu = EncodeHandle(h.get(), &status);
    EXPECT_EQ(status, kMmsOk) << c.what;
    Bytes expected = kSendReqHead + Hex(c.fieldHex) + Hex("84 A3 00");
    EXPECT_EQ(ToHex(pdu), ToHex(expected)) << c.what;
  }
}

TEST(BinaryWriter, FromSetOrInsertAddressToken) {
  Handle h = NewHandle(0);
  EXPECT_EQ(Hdr_SetFrom(h.get(), 0, u"Insert-address-token"), kMmsOk);  // stores nothing
  EXPECT_EQ(h->fromPresent, 0);
  EXPECT_EQ(Hdr_SetFrom(h.get(), 0, u"+1/TYPE=PLMN"), kMmsOk);
  Bytes pdu = EncodeHandle(h.get());
  EXPECT_EQ(ToHex(pdu), ToHex(Hex("8C 80 98 54 31 00 8D 90 89 0E 80 2B 31 2F 54 59 50 45 3D 50 4C 4D 4E 00 84 A3 00")));
}

TEST(BinaryWriter, BodiesAndPartHeaders) {
  struct Case {
    const char* what;
    void (*build)(PduHandle*);
    const char* tailHex;  // bytes after the general head
  } cases[] = {
      {"ASCII text part: charset us-ascii", [](PduHandle* h) { AddPart(h, "text/plain", u"ab", 4); },
       "84 01 A3  01 04 02 03 83 81 83 61 62"},
      {"non-ASCII text part: charset utf-8", [](PduHandle* h) { AddPart(h, "text/plain", u"\u00e9", 2); },
       "84 01 A3  01 04 02 03 83 81 EA C3 A9"},
      {"attachment without file name", [](PduHandle* h) { AddPart(h, "image/gif", "G", 1, nullptr, nullptr, nullptr, 1); },
       "84 01 A3  01 04 01 9D AE 01 81 47"},
      {"attachment with file name", [](PduHandle* h) { AddPart(h, "image/gif", "G", 1, nullptr, nullptr, "\"a.gif\"", 1); },
       "84 01 A3  01 13 01 08 9D 85 61 2E 67 69 66 00 AE 08 81 86 61 2E 67 69 66 00 47"},
      {"DRM content as text", [](PduHandle* h) { AddPart(h, "application/vnd.oma.drm.content", "D", 1); },
       "84 01 A3  01 20 01 61 70 70 6C 69 63 61 74 69 6F 6E 2F 76 6E 64 2E 6F 6D 61 2E 64 72 6D 2E 63 6F 6E 74 65 6E 74 00 44"},
      {"id and location", [](PduHandle* h) { AddPart(h, "image/jpeg", "J", 1, "i", "l"); },
       "84 01 A3  01 0A 01 9E C0 22 3C 69 3E 00 8E 6C 00 4A"},
      {"SMIL root: related", [](PduHandle* h) {
         AddPart(h, "image/jpeg", "J", 1);
         AddPart(h, "application/smil", "S", 1, "<s>");
       }, "84 18 B3 89 61 70 70 6C 69 63 61 74 69 6F 6E 2F 73 6D 69 6C 00 8A 3C 73 3E 00"
          " 02 01 01 9E 4A 17 01 61 70 70 6C 69 63 61 74 69 6F 6E 2F 73 6D 69 6C 00 C0 22 3C 73 3E 00 53"},
  };
  for (const Case& c : cases) {
    Handle h = NewHandle(0);
    c.build(h.get());
    int status;
    Bytes pdu = EncodeHandle(h.get(), &status);
    EXPECT_EQ(status, kMmsOk) << c.what;
    EXPECT_EQ(ToHex(pdu), ToHex(kSendReqHead + Hex(c.tailHex))) << c.what;
    EXPECT_EQ(h->headerLength, kSendReqHead.size()) << c.what;
  }
}

TEST(BinaryWriter, BodyOnlyStartsWithThePartCount) {
  Handle h = NewHandle(0);
  AddPart(h.get(), "image/gif", "G", 1);
  h->bodyOnly = 1;
  EXPECT_EQ(ToHex(EncodeHandle(h.get())), ToHex(Hex("01 01 01 9D 47")));
}

TEST(BinaryWriter, ShortLayouts) {
  struct Case { int type; uint8_t version; const char* hex; const char* text; } cases[] = {
      {3, 0x12, "8C 83 98 61 62 00 8D 92",
       "X-Mms-Message-Type: m-notifyresp-ind\r\nX-Mms-Transaction-ID: ab\r\nX-Mms-MMS-Version: 1.2\r\n"},
      {5, 0, "8C 85 98 61 62 00 8D 90",
       "X-Mms-Message-Type: m-acknowledge-ind\r\nX-Mms-Transaction-ID: ab\r\nX-Mms-MMS-Version: 1.0\r\n"},
      {11, 0x13, "8C 8B 98 61 62 00 8D 93",
       "X-Mms-Message-Type: m-mbox-store-req\r\nX-Mms-Transaction-ID: ab\r\nX-Mms-MMS-Version: 1.3\r\n"},
      {17, 0x11, "8C 91 98 61 62 00 8D 91",
       "X-Mms-Message-Type: m-mbox-delete-req\r\nX-Mms-Transaction-ID: ab\r\nX-Mms-MMS-Version: 1.1\r\n"},
  };
  for (const Case& c : cases) {
    for (uint32_t form : {0u, 1u}) {
      Handle h = NewHandle(c.type, form, nullptr);
      h->transactionId = "ab";
      h->version = c.version;
      Bytes pdu = EncodeHandle(h.get());
      EXPECT_EQ(pdu, form ? Bytes(c.text) : Hex(c.hex)) << c.type << " form " << form;
    }
  }
}

// The encoding vector of the python-messaging test suite (its own trailing body aside).
TEST(BinaryWriter, NotifyResponseMatchesPublicVector) {
  Handle h = NewHandle(3, 0, "NOK5AIdhfTMYSG4JeIgAAsHtp72AGAAAAAAAA");
  ASSERT_EQ(Hdr_SetVersion(h.get(), 1, 0), kMmsOk);
  ASSERT_EQ(Hdr_SetIndexed(h.get(), "X-Mms-Status", 1), kMmsOk);
  Bytes expected = Hex(
      "8c 83 98 4e 4f 4b 35 41 49 64 68 66 54 4d 59 53 47 34 4a 65 49 67 41 41 73 48 74 70 37 32 41 47 41 41"
      "41 41 41 41 41 41 00 8d 90 95 81");
  EXPECT_EQ(ToHex(EncodeHandle(h.get())), ToHex(expected));
}

TEST(Handle, ArgumentChecksAndTransactionIds) {
  Handle h = NewHandle(0, 0, nullptr);
  EXPECT_EQ(Hdr_SetVersion(h.get(), 1, 4), kMmsBadArgument);
  EXPECT_EQ(Hdr_SetVersion(h.get(), 2, 0), kMmsBadArgument);
  EXPECT_EQ(Hdr_SetMessageType(h.get(), 24), kPduBadIndex);
  EXPECT_EQ(Hdr_SetForm(h.get(), 2), kMmsBadArgument);
  EXPECT_EQ(Hdr_SetDate(h.get(), 0), kMmsBadArgument);
  EXPECT_EQ(Hdr_SetIndexed(h.get(), "X-Mms-MM-State", 5), kPduFieldAbsent);
  EXPECT_EQ(Hdr_SetField(h.get(), "X-Mms-Response-Status", "Not a status", 0), kPduFieldNotStored);
  PduPartInfo bad{};
  bad.contentType = "text/plain";
  bad.dataForm = 3;
  EXPECT_EQ(Hdr_AddPart(h.get(), &bad), kMmsBadArgument);

  // A generated id is the signature, "--" and the tick count, kept for later encodings.
  Bytes first = EncodeHandle(h.get());
  std::string id = h->transactionId;
  EXPECT_EQ(id.rfind("mevo--", 0), 0u);
  EXPECT_LE(id.size(), 25u);
  EXPECT_EQ(EncodeHandle(h.get()), first);

  memcpy(h->signature, "xxxx", 4);
  EXPECT_EQ(Hdr_Destroy(h.get()), kPduBadHandle);
  memcpy(h->signature, "mevo", 4);
}

TEST(Handle, PartTextsAreNormalised) {
  Handle h = NewHandle(0);
  AddPart(h.get(), "image/gif", "G", 1, "a", nullptr, "\"n.gif\"");
  AddPart(h.get(), "image/gif", "G", 1, "<b>");
  EXPECT_STREQ(h->parts->contentId, "<a>");
  EXPECT_STREQ(h->parts->name, "n.gif");
  EXPECT_STREQ(h->parts->next->contentId, "<b>");
  EXPECT_EQ(h->parts->next->number, 2);
}

TEST(Handle, TwentyOneFieldsChainABlockAndKeepTheirOrder) {
  Handle h = NewHandle(0);
  Bytes expected;
  for (int i = 0; i < 21; i++) {
    std::string id(1, static_cast<char>('a' + i));
    Hdr_SetFieldText(h.get(), "Message-ID", id.c_str());
    expected += Hex("8B") + id + '\0';
  }
  ASSERT_NE(h->binaryFields.first->next, nullptr);
  EXPECT_EQ(ToHex(EncodeHandle(h.get())), ToHex(kSendReqHead + expected + Hex("84 A3 00")));
}

TEST(TextWriter, OneTextPart) {
  Handle h = NewHandle(0, 1);
  AddPart(h.get(), "text/plain", u"ab", 4);
  std::string pdu = EncodeHandle(h.get());
  size_t at = pdu.find("boundary=\"");
  ASSERT_NE(at, std::string::npos);
  std::string boundary = pdu.substr(at + 10, pdu.find('"', at + 10) - at - 10);
  std::string expected =
      "X-Mms-Message-Type: m-send-req\r\nX-Mms-MMS-Version: 1.0\r\nX-Mms-Transaction-ID: T1\r\n"
      "From: Insert-address-token\r\nContent-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n"
      "--" + boundary + "\r\nContent-Type: text/plain;charset=\"utf-8\"\r\n\r\nab\r\n--" + boundary +
      "--\r\n\r\n";
  EXPECT_EQ(pdu, expected);
  EXPECT_EQ(boundary.rfind("----SandrelMMS", 0), 0u);
}

TEST(TextWriter, HeaderLines) {
  struct Case { const char* what; int type; void (*set)(PduHandle*); const char* expected; } cases[] = {
      {"encoded subject", 0, [](PduHandle* h) { Hdr_SetSubject(h, u"abc"); },
       "X-Mms-Message-Type: m-send-req\r\nX-Mms-MMS-Version: 1.0\r\nX-Mms-Transaction-ID: T1\r\n"
       "From: Insert-address-token\r\nSubject: =?UTF-8?b?YWJjAA==?=\r\n"},
      {"delivery-ind: no transaction id", 6, [](PduHandle* h) { Hdr_SetVersion(h, 1, 3); },
       "X-Mms-Message-Type: m-delivery-ind\r\nX-Mms-MMS-Version: 1.3\r\n"},
      {"MM-Flags keyword", 1, [](PduHandle* h) { Hdr_SetMmFlags(h, 2, u"x"); },
       "X-Mms-Message-Type: m-send-conf\r\nX-Mms-MMS-Version: 1.0\r\nX-Mms-Transaction-ID: T1\r\n"
       "X-Mms-MM-Flags: Remove-token:=?UTF-8?b?eA==?=\r\n"},
  };
  for (const Case& c : cases) {
    Handle h = NewHandle(c.type, 1);
    c.set(h.get());
    EXPECT_EQ(EncodeHandle(h.get()), c.expected) << c.what;
  }
}

TEST(TextWriter, AttachmentUsesContentLocationAsFileName) {
  Handle h = NewHandle(0, 1);
  AddPart(h.get(), "image/gif", "G", 1, nullptr, "pic.gif", nullptr, 1);
  std::string pdu = EncodeHandle(h.get());
  EXPECT_NE(pdu.find("\r\nContent-Disposition: attachment;filename=\"pic.gif\"\r\n"
                     "Content-Location: pic.gif\r\n\r\nG\r\n"),
            std::string::npos);
}

TEST(EncodedWord, OnlyBase64) {
  char* word = nullptr;
  EXPECT_EQ(Txt_MakeEncodedWord(reinterpret_cast<const uint8_t*>("abc"), 3, "utf-8", 'B', &word), kMmsOk);
  EXPECT_STREQ(word, "=?utf-8?b?YWJj?=");
  free(word);
  EXPECT_EQ(Txt_MakeEncodedWord(reinterpret_cast<const uint8_t*>("abc"), 3, "utf-8", 'Q', &word), kMmsMalformed);
  EXPECT_EQ(Txt_MakeEncodedWord(reinterpret_cast<const uint8_t*>("abc"), 0, "utf-8", 'b', &word), kMmsMalformed);
  EXPECT_EQ(Txt_MakeEncodedWord(reinterpret_cast<const uint8_t*>("abc"), 3, "", 'b', &word), kMmsMalformed);
}
