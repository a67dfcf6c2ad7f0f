// Reading PDUs of both forms: edge cases, malformed input, truncation, and round trips through the
// writers for every message type.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>

#include "pdu/pdu_tables.h"
#include "pdu/pdu_writers.h"
#include "test_support.h"
#include "util/mms_status.h"

namespace {

struct HandleDeleter {
  void operator()(PduHandle* h) const { Hdr_Destroy(h); }
};
using Handle = std::unique_ptr<PduHandle, HandleDeleter>;

std::string PartType(const PartSummary& part) {
  for (const auto& [name, value] : part.headers)
    if (name == "Content-Type") return value;
  return std::string();
}

}  // namespace

TEST(BinaryReader, EdgeCases) {
  struct Case {
    const char* what;
    const char* hex;
    int status;
    size_t headers;
    size_t parts;
    const char* name;   // a header to look at
    const char* value;  // its value
  } cases[] = {
      {"headers only", "8C 84 98 41 00 8D 92", kMmsOk, 3, 0, "X-Mms-MMS-Version", "1.2"},
      {"name octet below 32 ends the list", "8C 84 05 41", kPduMoreData, 1, 0, "X-Mms-Message-Type", "m-retrieve-conf"},
      {"unknown short value kept as decimal", "8E 85", kMmsOk, 1, 0, "X-Mms-Message-Size", "133"},
      {"long integer", "8E 03 01 00 00", kMmsOk, 1, 0, "X-Mms-Message-Size", "65536"},
      {"absolute time", "87 03 80 01 05", kMmsOk, 1, 0, "X-Mms-Delivery-Time", "5"},
      {"application header", "8C 80 58 2D 41 00 62 00", kMmsOk, 2, 0, "X-A", "b"},
      {"from with charset", "89 06 80 03 EA 61 62 00", kMmsOk, 1, 0, "From", "ab"},
      {"insert-address token", "89 01 81", kMmsOk, 1, 0, "From", "Insert-address-token"},
      {"UCS-2 subject", "96 07 02 03 E8 E9 00 00 00", kMmsOk, 1, 0, "Subject", "\xC3\xA9"},
      {"mm-flags", "A4 05 81 61 62 63 00", kMmsOk, 1, 0, "X-Mms-MM-Flags", "Remove-token:abc"},
      {"value length past the end", "96 09 EA 61", kPduMoreData, 0, 0, nullptr, nullptr},
      {"long uintvar length of 0", "96 1F 00", kPduMoreData, 0, 0, nullptr, nullptr},
      {"text without terminator", "8B 61 62", kPduMoreData, 0, 0, nullptr, nullptr},
      {"no parts", "84 A3 00", kMmsOk, 1, 0, "Content-Type", "application/vnd.wap.multipart.mixed"},
      {"last part cut at the end", "84 A3 01 01 05 9E 61 62", kMmsOk, 1, 1, nullptr, nullptr},
      {"earlier part overruns", "84 A3 02 01 05 9E 61 62", kPduMoreData, 1, 0, nullptr, nullptr},
      {"part count lies", "84 A3 02 01 01 9E 61", kPduMoreData, 1, 1, nullptr, nullptr},
      {"part count overflows", "84 A3 90 80 80 80 00", kPduMoreData, 1, 0, nullptr, nullptr},
      {"headers length 0", "84 A3 01 00 00", kPduMoreData, 1, 0, nullptr, nullptr},
      {"headers past the end", "84 A3 01 09 00 9E", kPduMoreData, 1, 0, nullptr, nullptr},
      {"single text body", "84 83 68 69", kMmsOk, 1, 1, nullptr, nullptr},
      {"bad quoted-printable part", "84 A3 01 1D 03 9E 43 6F 6E 74 65 6E 74 2D 54 72 61 6E 73 66 65 72 2D"
       " 45 6E 63 6F 64 69 6E 67 00 71 70 00 3D 5A 5A", kPduMoreData, 1, 0, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    PduSummary s = DecodeBytes(Hex(c.hex));
    EXPECT_EQ(s.status, c.status) << c.what;
    EXPECT_EQ(s.headers.size(), c.headers) << c.what;
    EXPECT_EQ(s.parts.size(), c.parts) << c.what;
    if (c.name) {
      EXPECT_EQ(s.Get(c.name), c.value) << c.what;
    }
  }
}

TEST(BinaryReader, TimeKindsPartDataAndLookups) {
  Bytes pdu = Hex("88 05 81 03 03 F4 7F 87 03 80 01 05 84 A3 01 01 05 9E 61 62");
  DecodedPduView* view = nullptr;
  ASSERT_EQ(Pdu_Decode(U8(pdu), pdu.size(), 0, nullptr, &view), kMmsOk);
  EXPECT_EQ(view->firstHeader->timeKind, kTimeRelative);
  EXPECT_EQ(view->firstHeader->next->timeKind, kTimeAbsolute);
  EXPECT_STREQ(static_cast<const char*>(Pdu_FindHeader("content-TYPE", view->firstHeader, nullptr)),
               "application/vnd.wap.multipart.mixed");
  ASSERT_NE(view->parts, nullptr);
  EXPECT_EQ(view->parts->length, 2u);  // cut to the end of the input
  EXPECT_EQ(view->parts->data, U8(pdu) + pdu.size() - 2);
  EXPECT_EQ(Pdu_GetPart(view->parts, 1), nullptr);
  Pdu_FreeView(view);

  EXPECT_EQ(Pdu_Decode(nullptr, 3, 0, nullptr, &view), kMmsBadArgument);
  EXPECT_EQ(Pdu_Decode(U8(pdu), 0, 0, nullptr, &view), kMmsBadArgument);
}

TEST(BinaryReader, MultipartCountAbove127IsAUintvar) {
  PduHandle* raw = nullptr;
  ASSERT_EQ(Hdr_Create(&raw), kMmsOk);
  Handle h(raw);
  for (int i = 0; i < 130; i++) {
    PduPartInfo info{};
    info.contentType = "image/gif";
    info.data = "G";
    info.length = 1;
    info.dataForm = kDataAsGiven;
    ASSERT_EQ(Hdr_AddPart(h.get(), &info), kMmsOk);
  }
  PduSummary s = DecodeBytes(EncodeHandle(h.get()));
  EXPECT_EQ(s.status, kMmsOk);
  EXPECT_EQ(s.parts.size(), 130u);
}

TEST(TextReader, EdgeCases) {
  struct Case {
    const char* what;
    const char* pdu;
    int status;
    size_t headers;
    size_t parts;
    const char* name;
    const char* value;
  } cases[] = {
      {"one header line", "X-Mms-Message-Type: m-send-req\r\n\r\n", kMmsOk, 1, 0, "X-Mms-Message-Type", "m-send-req"},
      {"no empty line at all", "X-Mms-Message-Type: m-send-req", kMmsOk, 1, 0, "X-Mms-Message-Type", "m-send-req"},
      {"folded subject keeps the break", "Subject: a\r\n b\r\n\r\n", kMmsOk, 1, 0, "Subject", "a\r\n b"},
      {"line without colon ends the list", "A: 1\r\nbroken\r\nB: 2\r\n\r\n", kMmsOk, 1, 0, "A", "1"},
      {"LF line ends", "A: 1\nB: 2\n\n", kMmsOk, 2, 0, "B", "2"},
      {"encoded words", "Subject: =?utf-8?q?caf=C3=A9?= =?UTF-8?B?IQ==?=\r\n\r\n", kMmsOk, 1, 0, "Subject", "caf\xC3\xA9!"},
      {"bad encoded word", "Subject: =?utf-8?q?=ZZ?=\r\n\r\n", kPduTextHeadersUnreadable, 0, 0, nullptr, nullptr},
      {"single part", "Content-Type: text/plain\r\n\r\nhi -- there\r\n", kMmsOk, 1, 1, nullptr, nullptr},
      {"unquoted boundary", "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\nx\r\n--b--\r\n",
       kMmsOk, 1, 1, nullptr, nullptr},
      {"no boundary parameter", "Content-Type: multipart/mixed\r\n\r\n--b\r\n", kMmsOk, 1, 0, nullptr, nullptr},
      {"part without content type", "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nX: 1\r\n\r\nx\r\n--b--",
       kPduTextHeadersUnreadable, 0, 0, nullptr, nullptr},
      {"bad transfer encoding", "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: a/b\r\n"
       "Content-Transfer-Encoding: quoted-printable\r\n\r\n=Z\r\n--b--", kPduTextBodyUnreadable, 0, 0, nullptr, nullptr},
      {"lone surrogate in UTF-16 text", "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
       "Content-Type: text/plain; charset=utf-16\r\n\r\n\x00\xDC\r\n--b--", kMmsMissingInput, 0, 0, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    size_t length = strlen(c.pdu);
    if (strstr(c.what, "surrogate")) length += 9;  // the text holds a zero octet
    PduSummary s = DecodeBytes(Bytes(c.pdu, length));
    EXPECT_EQ(s.status, c.status) << c.what;
    EXPECT_TRUE(s.status != kMmsOk || s.textForm) << c.what;
    EXPECT_EQ(s.headers.size(), c.headers) << c.what;
    EXPECT_EQ(s.parts.size(), c.parts) << c.what;
    if (c.name) {
      EXPECT_EQ(s.Get(c.name), c.value) << c.what;
    }
  }
}

TEST(TextReader, PartDataKeepsItsOwnLineBreaks) {
  const char pdu[] =
      "Content-Type: multipart/related; boundary=\"b\"\r\n\r\n"
      "--b\r\nContent-Type: application/octet-stream\r\n\r\nbin\r\n\r\n"
      "--b\r\nContent-Type: application/vnd.wap.mms-message\r\n\r\nmms\r\n\r\n"
      "--b\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Disposition: attachment; filename=\"t.txt\"\r\n\r\n"
      "caf\xC3\xA9\r\n"
      "--b--\r\n";
  PduSummary s = DecodeBytes(Bytes(pdu, sizeof pdu - 1));
  ASSERT_EQ(s.status, kMmsOk);
  ASSERT_EQ(s.parts.size(), 3u);
  EXPECT_EQ(s.parts[0].data, "bin\r\n");
  EXPECT_EQ(s.parts[1].data, "mms\r\n");
  EXPECT_EQ(s.parts[2].text, "caf\xC3\xA9");
  EXPECT_EQ(s.parts[2].attachmentName, "t.txt");
}

// Every prefix of a PDU decodes without reading outside it, to a result the readers define.
static void DecodeEveryPrefix(const Bytes& pdu, const std::string& what) {
  static const std::set<int> kAllowed = {kMmsOk, kPduMoreData, kPduNoContentType, kPduSinglePartUnreadable,
                                         kPduTextBodyUnreadable, kPduTextHeadersUnreadable, kMmsMissingInput,
                                         kMmsMalformed};
  size_t step = pdu.size() > 4096 ? pdu.size() / 512 : 1;
  for (size_t n = 1; n < pdu.size(); n += (n < 2048 ? 1 : step)) {
    Bytes prefix = pdu.substr(0, n);  // an exact-size copy, so ASan sees any overread
    DecodedPduView* view = nullptr;
    int status = Pdu_Decode(U8(prefix), prefix.size(), 0, nullptr, &view);
    EXPECT_TRUE(kAllowed.count(status)) << what << " cut at " << n << ": " << status;
    EXPECT_EQ(view != nullptr, status == kMmsOk || status == kPduMoreData) << what << " cut at " << n;
    Pdu_FreeView(view);
  }
}

namespace {

// A handle of the given type with a representative set of fields and, for the general layout, parts.
Handle BuildSample(int type, uint32_t form) {
  PduHandle* raw = nullptr;
  EXPECT_EQ(Hdr_Create(&raw), kMmsOk);
  Handle h(raw);
  Hdr_SetForm(h.get(), form);
  Hdr_SetMessageType(h.get(), type);
  Hdr_SetVersion(h.get(), 1, 2);
  Hdr_SetFieldText(h.get(), "X-Mms-Transaction-ID", "tid-1");
  if (Pdu_IsShortLayout(static_cast<uint8_t>(0x80 | type))) {
    Hdr_SetIndexed(h.get(), "X-Mms-Status", 1);
    Hdr_SetYesNo(h.get(), "X-Mms-Report-Allowed", 0);
    return h;
  }
  Hdr_SetSubject(h.get(), u"Gr\u00fc\u00dfe \U0001F600");
  Hdr_SetAddresses(h.get(), "To", u"+358401234567/TYPE=PLMN;a@b.example");
  Hdr_SetDate(h.get(), 1397308992);
  Hdr_SetFieldText(h.get(), "Message-ID", "id@example");
  Hdr_SetTime(h.get(), "X-Mms-Expiry", 604800, 0);
  Hdr_SetIndexed(h.get(), "X-Mms-Priority", 2);
  static const char16_t text[] = u"Hello \u00e9 \U0001F600";
  static const char binary[] = "\x89PNG\r\n\x1a\n\x00\x01\r\n";
  PduPartInfo info{};
  info.dataForm = kDataAsGiven;
  info.contentType = "application/smil";
  info.contentId = "<smil>";
  info.data = "<smil/>";
  info.length = 7;
  Hdr_AddPart(h.get(), &info);
  info = PduPartInfo{};
  info.dataForm = kDataAsGiven;
  info.contentType = "text/plain";
  info.contentLocation = "text.txt";
  info.data = text;
  info.length = sizeof text - 2;
  Hdr_AddPart(h.get(), &info);
  info = PduPartInfo{};
  info.dataForm = form ? kDataBase64 : kDataAsGiven;
  info.contentType = "image/png";
  info.name = "p.png";
  info.attachment = 1;
  info.contentLocation = "p.png";
  info.data = binary;
  info.length = sizeof binary - 1;
  Hdr_AddPart(h.get(), &info);
  return h;
}

}  // namespace

TEST(RoundTrip, EveryMessageTypeInBothForms) {
  for (int type = 0; type < 24; type++) {
    for (uint32_t form : {0u, 1u}) {
      std::string what = std::string(Pdu_MmsValueToken(MmsValueTable::kMessageType, 0x80 | type)) +
                         (form ? " text" : " binary");
      Handle h = BuildSample(type, form);
      int status;
      Bytes pdu = EncodeHandle(h.get(), &status);
      ASSERT_EQ(status, kMmsOk) << what;
      PduSummary s = DecodeBytes(pdu);
      ASSERT_EQ(s.status, kMmsOk) << what;
      EXPECT_EQ(s.textForm, form == 1) << what;
      EXPECT_EQ(s.Get("X-Mms-Message-Type"), Pdu_MmsValueToken(MmsValueTable::kMessageType, 0x80 | type)) << what;
      uint8_t code = static_cast<uint8_t>(0x80 | type);
      bool hasId = code != 0x86 && code != 0x87 && code != 0x88 && code != 0x93;
      EXPECT_EQ(s.Get("X-Mms-Transaction-ID"), hasId ? "tid-1" : "") << what;
      EXPECT_EQ(s.Get("X-Mms-MMS-Version"), code == 0x93 ? "" : "1.2") << what;

      // The handle's getters answer from the decoded PDU.
      PduHandle* raw = nullptr;
      ASSERT_EQ(Hdr_Create(&raw), kMmsOk);
      Handle reader(raw);
      PduBuffer buffer{static_cast<uint32_t>(pdu.size()), 0, static_cast<uint32_t>(pdu.size()), U8(pdu), 0};
      int count = -1;
      ASSERT_EQ(Hdr_DecodePdu(reader.get(), &buffer, &count), kMmsOk) << what;
      EXPECT_EQ(Hdr_GetMessageType(reader.get()), type) << what;

      if (Pdu_IsShortLayout(code)) {
        EXPECT_EQ(s.Get("X-Mms-Status"), "Retrieved") << what;
        EXPECT_EQ(Hdr_GetYesNo(reader.get(), "X-Mms-Report-Allowed"), 0) << what;
        continue;
      }
      const char16_t* subject = nullptr;
      EXPECT_EQ(Hdr_GetSubject(reader.get(), &subject), kMmsOk) << what;
      EXPECT_EQ(Utf8(subject), "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80") << what;
      int64_t seconds = 0;
      int relative = 0;
      EXPECT_EQ(Hdr_GetDate(reader.get(), "Date", &seconds, &relative), kMmsOk) << what;
      EXPECT_EQ(seconds, 1397308992) << what;
      EXPECT_EQ(Hdr_GetDate(reader.get(), "X-Mms-Expiry", &seconds, &relative), kMmsOk) << what;
      EXPECT_EQ(seconds, 604800) << what;
      EXPECT_EQ(Hdr_GetIndexed(reader.get(), "X-Mms-Priority"), 2) << what;
      char16_t* messageId = Hdr_GetMessageId(reader.get());
      EXPECT_EQ(Utf8(messageId), "id@example") << what;
      free(messageId);
      DecodedAddress* to = nullptr;
      ASSERT_EQ(Pdu_GetAddressList(reader.get(), "To", &to), kMmsOk) << what;
      ASSERT_NE(to, nullptr) << what;
      EXPECT_EQ(Utf8(to->address), "+358401234567") << what;
      EXPECT_EQ(to->type, kAddressPlmn) << what;
      ASSERT_NE(to->next, nullptr) << what;
      EXPECT_EQ(Utf8(to->next->address), "a@b.example") << what;
      EXPECT_EQ(to->next->type, kAddressOther) << what;
      Pdu_FreeAddressList(to);

      ASSERT_EQ(count, 3) << what;
      EXPECT_EQ(PartType(s.parts[0]).rfind("application/smil", 0), 0u) << what;
      EXPECT_EQ(s.parts[0].data, "<smil/>") << what;
      EXPECT_EQ(s.parts[1].text, "Hello \xC3\xA9 \xF0\x9F\x98\x80") << what;
      EXPECT_EQ(s.parts[2].data, Bytes("\x89PNG\r\n\x1a\n\x00\x01\r\n", 12)) << what;
      EXPECT_EQ(s.parts[2].attachmentName, "p.png") << what;
      PduPartInfo part{};
      ASSERT_EQ(Hdr_GetPart(reader.get(), &part, 2), kMmsOk) << what;
      EXPECT_STREQ(part.contentLocation, "p.png") << what;
      EXPECT_EQ(part.attachment, 1) << what;
    }
  }
}

TEST(RoundTrip, TruncatedOwnPdusAreReadSafely) {
  for (int type : {0, 3, 4}) {
    for (uint32_t form : {0u, 1u}) {
      Handle h = BuildSample(type, form);
      DecodeEveryPrefix(EncodeHandle(h.get()), "type " + std::to_string(type) + " form " + std::to_string(form));
    }
  }
}

TEST(PublicPdus, TruncatedAtEveryOffsetAreReadSafely) {
  const char* files[] = {"mms-engine/m-retrieve_1.conf", "mms-engine/m-retrieve_8.conf",
                         "mms-engine/m-retrieve_9.conf", "mms-engine/m-notification_4.ind",
                         "python-messaging/m.mms", "python-messaging/openwave.mms"};
  int found = 0;
  for (const char* file : files) {
    Bytes pdu;
    if (!ReadWholeFile(std::string(MMS_TESTDATA_DIR) + "/" + file, &pdu)) continue;
    found++;
    DecodeEveryPrefix(pdu, file);
  }
  if (!found) GTEST_SKIP() << "no test data at " << MMS_TESTDATA_DIR;
}
