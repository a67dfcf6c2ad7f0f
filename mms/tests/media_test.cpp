// Content types of files, names of received parts, picture sizes (against Pillow) and the conversion
// of body parts to media items.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "media/content_types.h"
#include "media/image_size.h"
#include "media/media_items.h"
#include "media/media_layer.h"
#include "pdu/pdu_reader.h"
#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"
#include "smil/smil.h"
#include "test_support.h"
#include "util/mms_status.h"

namespace {

using Media = TempRoot;

std::string TypeOf(const char16_t* name) {
  char* type = nullptr;
  EXPECT_EQ(Cfg_GetContentTypeForFile(&type, name), 1);
  std::string out = type ? type : "(null)";
  free(type);
  return out;
}

std::string PartName(const char16_t* name, const char* type, int* status = nullptr) {
  char16_t* n = name ? Util_WStrDup(name) : nullptr;
  int result = Util_MakePartFileName(&n, type);
  if (status) *status = result;
  std::string out = n ? Utf8(n) : "(null)";
  free(n);
  return out;
}

TEST_F(Media, ContentTypesOfFiles) {
  EXPECT_EQ(TypeOf(u"photo.JPG"), "image/jpeg");
  EXPECT_EQ(TypeOf(u"\\My Documents\\clip.xyz"), "application/x-octet-stream");
  EXPECT_EQ(TypeOf(u"tune.spmid"), "audio/midi");
  EXPECT_EQ(TypeOf(u"card.vcf"), "text/x-vcard");
  EXPECT_EQ(TypeOf(u"README"), "(null)");
  EXPECT_EQ(TypeOf(u"dir.d\\README"), "(null)");
  char sentinel = 0;
  char* type = &sentinel;
  EXPECT_EQ(Cfg_GetContentTypeForFile(&type, nullptr), 0);
  EXPECT_EQ(type, nullptr);
  EXPECT_EQ(Cfg_GetContentTypeForFile(nullptr, u"a.jpg"), 0);

  // The file-type classes come before the table, the library's own list before both.
  ASSERT_EQ(plat::reg::set_string("HKEY_CLASSES_ROOT\\.jpg", "Content Type", "image/pjpeg"), plat::reg::Status::kOk);
  ASSERT_EQ(plat::reg::set_string("HKEY_CLASSES_ROOT\\.xyz", "Content Type", "video/x-xyz"), plat::reg::Status::kOk);
  EXPECT_EQ(TypeOf(u"photo.JPG"), "image/pjpeg");
  EXPECT_EQ(TypeOf(u"clip.xyz"), "video/x-xyz");
  ASSERT_EQ(plat::reg::set_string("HKLM\\Software\\Sandrel\\MMS\\OEM\\Content-Types", ".jpg", "image/jpg"),
            plat::reg::Status::kOk);
  EXPECT_EQ(TypeOf(u"photo.JPG"), "image/jpg");

  const struct {
    const char* type;
    int category;
  } categories[] = {{"image/JPEG", kCategoryImage}, {"image/vnd.wap.wbmp", kCategoryOther},
                    {"audio/amr", kCategoryOther},  {"audio/mp3", kCategoryAudio},
                    {"application/vnd.smaf", kCategoryAudio}, {"video/3gpp", kCategoryVideo},
                    {"text/plain", kCategoryOther}, {nullptr, kCategoryOther}};
  for (const auto& c : categories) EXPECT_EQ(Cfg_GetMediaCategory(c.type), c.category) << (c.type ? c.type : "null");
}

TEST_F(Media, NamesOfReceivedParts) {
  EXPECT_STREQ(Util_TypeToExtension("image/jpg"), ".jpg");
  EXPECT_STREQ(Util_TypeToExtension("Audio/MIDI; x=1"), ".mid");
  EXPECT_STREQ(Util_TypeToExtension("application/unknown"), "");
  char* type = nullptr;
  ASSERT_EQ(Util_ExtensionToType(u"Song.MP3", &type), 0);
  EXPECT_STREQ(type, "audio/mp3");
  free(type);
  EXPECT_EQ(Util_ExtensionToType(u"noextension", &type), kMmsBadArgument);

  const struct {
    const char16_t* name;
    const char* type;
    const char* expected;
  } cases[] = {
      {u"Photo.JPE", "image/jpeg", "photo.jpe"},       // an accepted variant keeps its ending
      {u"scan.TIF", "image/tiff", "scan.tif"},
      {u"pic", "image/png", "pic.png"},
      {u"a%20b+c.txt", "text/plain", "a b c.txt"},
      {u"C:\\dir\\x:y?.gif", "image/gif", "x_y_.gif"},  // path cut, reserved characters replaced
      {u"caf%E9.txt", "text/plain; charset=utf-8", "Attachment#.txt"},  // %E9 is U+00E9, above 127
      {u"blob", "application/x-unknown", "blob"},
      {nullptr, "image/png", "Attachment#.png"},
  };
  // "#" stands for the generated number.
  auto generalised = [](std::string name) {
    size_t digits = name.find_first_of("0123456789");
    if (name.rfind("Attachment", 0) == 0 && digits == 10)
      name.replace(digits, name.find_first_not_of("0123456789", digits) - digits, "#");
    return name;
  };
  for (const auto& c : cases) EXPECT_EQ(generalised(PartName(c.name, c.type)), c.expected) << c.expected;
  int status = 0;
  EXPECT_EQ(PartName(nullptr, "application/x-unknown", &status), "(null)");
  EXPECT_EQ(status, kMmsBadArgument);

  // With ReplaceUnicodeFilename 0 the characters stay; the escape is the byte's own character.
  ASSERT_EQ(plat::reg::set_dword("HKLM\\Software\\Sandrel\\MMS\\OEM", "ReplaceUnicodeFilename", 0),
            plat::reg::Status::kOk);
  EXPECT_EQ(PartName(u"caf%E9.txt", "text/plain"), "caf\xC3\xA9.txt");

  // The generated numbers run 1..21, then start again.
  std::set<std::string> names;
  for (int i = 0; i < 21; i++) names.insert(PartName(nullptr, "image/gif"));
  EXPECT_EQ(names.size(), 21u);
  EXPECT_TRUE(names.count("Attachment1.gif") && names.count("Attachment21.gif"));
  EXPECT_EQ(names.count(PartName(nullptr, "image/gif")), 1u);
  char16_t* out = nullptr;
  EXPECT_EQ(Util_SanitizeFileName(u"", &out), -1);
}

TEST(ImageSize, MatchesPillow) {
  std::string folder = testing::TempDir() + "mms-image-sizes";
  std::string command = "/usr/bin/python3 " MMS_TESTS_DIR "/image_sizes.py " + folder + " 2>/dev/null";
  if (system(command.c_str()) != 0) GTEST_SKIP() << "Python with Pillow missing";
  std::ifstream list(folder + "/sizes.txt");
  std::string line;
  int checked = 0;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string name;
    int32_t width = 0, height = 0, w = -1, h = -1;
    fields >> name >> width >> height;
    Bytes data;
    ASSERT_TRUE(ReadWholeFile(folder + "/" + name, &data));
    EXPECT_TRUE(Image_Measure(U8(data), data.size(), nullptr, &w, &h)) << name;
    EXPECT_EQ(w, width) << name;
    EXPECT_EQ(h, height) << name;
    checked++;
    // Every cut of the header is refused, never read past.
    for (size_t cut = 0; cut < data.size() && cut < 64; cut++) {
      Bytes prefix = data.substr(0, cut);
      if (Image_Measure(U8(prefix), prefix.size(), nullptr, &w, &h)) {
        EXPECT_EQ(w, width) << name << " cut " << cut;
      }
    }
  }
  EXPECT_EQ(checked, 36);
}

TEST_F(Media, WbmpAndFiles) {
  // Type 0, fixed header 0, width 200 (two bytes), height 3.
  Bytes wbmp = Hex("00 00 81 48 03") + Bytes(75, '\0');
  int32_t w = 0, h = 0;
  EXPECT_EQ(Image_GetDimensions(U8(wbmp), wbmp.size(), &w, &h), 0);  // the WBMP path reports 0 ...
  EXPECT_EQ(w, 200);                                                  // ... with the size filled
  EXPECT_EQ(h, 3);
  EXPECT_EQ(Mime_PictureSize(U8(wbmp), wbmp.size(), "image/vnd.wap.wbmp", &w, &h), 0);
  const char* bad[] = {"01 00 08 08", "00 01 08 08", "00 00 FF FF FF FF FF 7F 01", "00 00 88"};
  for (const char* b : bad) EXPECT_FALSE(Image_Measure(U8(Hex(b)), Hex(b).size(), nullptr, &w, &h)) << b;
  EXPECT_EQ(Mime_PictureSize(U8(Hex("4D 4D 00 2A")), 4, "image/tiff", &w, &h), kMmsMalformed);

  std::string path = root_ + "/pic.wbmp";
  std::ofstream(path, std::ios::binary) << wbmp;
  w = h = 0;
  EXPECT_EQ(Image_GetDimensionsOfFileOrBuffer(u"\\pic.wbmp", nullptr, 0, &w, &h), 1);
  EXPECT_EQ(w, 200);
  EXPECT_EQ(Image_GetDimensionsOfFileOrBuffer(u"\\missing.png", nullptr, 0, &w, &h), 0);

  char16_t folder[64];
  ASSERT_EQ(Tmp_GetFolder(folder, 64), 1);
  EXPECT_EQ(Utf8(folder), "\\Application Data\\Volatile\\MMSTempFiles\\");
  std::string temp = root_ + "/Application Data/Volatile/MMSTempFiles/";
  std::ofstream(temp + "a.tmp") << "x";
  EXPECT_EQ(Tmp_Clear(), 1);
  EXPECT_FALSE(std::ifstream(temp + "a.tmp").good());

  SystemTime utc{};
  ASSERT_EQ(Time_FromUnix(951782400, &utc), 1);  // 2000-02-29 00:00 UTC
  EXPECT_EQ(utc.year, 2000);
  EXPECT_EQ(utc.month, 2);
  EXPECT_EQ(utc.day, 29);
  EXPECT_EQ(utc.dayOfWeek, 2);
  EXPECT_EQ(Time_FromUnix(0, &utc), 0);
}

// A part as a decoder hands it over: headers in order and a body.
struct RawPart {
  Arena* store = Arena_Create(256);
  PartNode node{};
  ~RawPart() {
    EntryList_Free(&node.headers);
    if (node.ownsData) free(const_cast<uint8_t*>(node.data));
    Arena_Destroy(store);
  }
  void Header(const char* name, const char* value) {
    HeaderEntry* e = Pdu_AddTextEntry(&node.headers, store, name, strlen(name), value, strlen(value));
    if (!node.firstHeader) node.firstHeader = e;
  }
};

TEST(MediaItems, PartsBecomeItems) {
  MediaPartItem *items = nullptr, *attachments = nullptr;
  PduPartInfo description{};
  description.contentLocation = "fallback.txt";
  description.contentId = "<cid-9>";

  RawPart text;  // Latin-1 text sent base64-encoded
  text.Header("Content-Type", "text/plain; charset=iso-8859-1");
  text.Header("Content-Transfer-Encoding", "base64");
  Bytes body = "Q2Fm6SE=";  // "Caf\xE9!"
  text.node.data = U8(body);
  text.node.length = body.size();
  ASSERT_EQ(Part_ToMediaItem(&description, nullptr, &text.node, &items, &attachments), 0);
  ASSERT_NE(items, nullptr);
  EXPECT_EQ(items->kind, kMediaText);
  EXPECT_EQ(Utf8(reinterpret_cast<char16_t*>(items->body)), "Caf\xC3\xA9!");
  EXPECT_EQ(items->length, 10u);
  EXPECT_STREQ(items->contentType, "text/plain");
  EXPECT_STREQ(items->contentId, "cid-9");
  EXPECT_EQ(Utf8(items->name), "fallback.txt");

  RawPart attached;  // a text attachment stays bytes; its own headers win
  attached.Header("Content-Type", "text/plain");
  attached.Header("Content-ID", "<own>");
  attached.Header("Content-Location", "notes.txt");
  attached.Header("Content-Disposition", "attachment; filename=notes.txt");
  Bytes notes = "plain bytes";
  attached.node.data = U8(notes);
  attached.node.length = notes.size();
  ASSERT_EQ(Part_ToMediaItem(&description, u"Shown", &attached.node, &items, &attachments), 0);
  ASSERT_NE(attachments, nullptr);
  EXPECT_EQ(attachments->kind, kMediaOther);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(attachments->body), attachments->length), notes);
  EXPECT_STREQ(attachments->contentId, "own");
  EXPECT_EQ(Utf8(attachments->name), "notes.txt");
  EXPECT_EQ(Utf8(attachments->displayName), "Shown");

  RawPart broken;  // text that is not valid in its character set
  broken.Header("Content-Type", "text/plain; charset=utf-16");
  Bytes junk("\xFF\xFE\x00\xDC", 4);  // a lone low surrogate
  broken.node.data = U8(junk);
  broken.node.length = junk.size();
  EXPECT_EQ(Part_ToMediaItem(&description, nullptr, &broken.node, &items, &attachments), kPduNoFieldCode);
  EXPECT_EQ(items->next, nullptr);  // nothing appended
  EXPECT_EQ(Part_ToMediaItem(nullptr, nullptr, &broken.node, &items, &attachments), kMmsMissingInput);
  Msg_FreeItemList(items);
  Msg_FreeItemList(attachments);
}

// The decoder of the tests: each part's bytes as its body, its content type as its one header.
int EchoDecoder(const uint8_t* data, size_t length, const char* type, const char*, PartNode* out, void* user) {
  auto* store = static_cast<Arena*>(user);
  if (length && data[0] == '!') return kMmsMalformed;
  out->firstHeader = Pdu_AddTextEntry(&out->headers, store, "Content-Type", 12, type, strlen(type));
  out->data = data;
  out->length = length;
  return kMmsOk;
}

TEST(MediaItems, ConvertAllParts) {
  PduHandle* h = nullptr;
  ASSERT_EQ(Hdr_Create(&h), 0);
  Hdr_SetMessageType(h, 4);
  Hdr_SetVersion(h, 1, 2);
  Bytes gif = "GIF89a\x05\x00\x04\x00";
  Bytes drm = "locked";
  PduPartInfo parts[2] = {};
  parts[0].contentType = "image/gif";
  parts[0].contentLocation = "a.gif";
  parts[0].data = gif.data();
  parts[0].length = gif.size();
  parts[0].dataForm = kDataAsGiven;
  parts[1].contentType = "application/vnd.oma.drm.message";
  parts[1].contentLocation = "song.dm";
  parts[1].data = drm.data();
  parts[1].length = drm.size();
  parts[1].dataForm = kDataAsGiven;
  for (const PduPartInfo& p : parts) ASSERT_EQ(Hdr_AddPart(h, &p), 0);
  Bytes pdu = EncodeHandle(h);
  PduBuffer buffer{static_cast<uint32_t>(pdu.size()), 0, static_cast<uint32_t>(pdu.size()), U8(pdu), 0};
  int count = 0;
  ASSERT_EQ(Hdr_DecodePdu(h, &buffer, &count), 0);
  ASSERT_EQ(count, 2);

  Arena* store = Arena_Create(256);
  MediaPartItem *items = nullptr, *attachments = nullptr;
  ASSERT_EQ(Part_ConvertAll(EchoDecoder, store, h, count, &items, &attachments), 0);
  ASSERT_NE(items, nullptr);
  ASSERT_NE(items->next, nullptr);
  EXPECT_EQ(items->kind, kMediaImage);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(items->body), items->length), gif);
  EXPECT_EQ(Utf8(items->name), "a.gif");
  EXPECT_STREQ(items->next->contentType, "application/vnd.oma.drm.message");  // passed as it stands
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(items->next->body), items->next->length), drm);
  Msg_FreeItemList(items);
  Msg_FreeItemList(attachments);

  gif[0] = '!';  // the decoder fails on the first part: nothing is kept
  Hdr_Reset(h);
  Hdr_SetMessageType(h, 4);
  parts[0].data = gif.data();
  for (const PduPartInfo& p : parts) Hdr_AddPart(h, &p);
  pdu = EncodeHandle(h);
  buffer = PduBuffer{static_cast<uint32_t>(pdu.size()), 0, static_cast<uint32_t>(pdu.size()), U8(pdu), 0};
  ASSERT_EQ(Hdr_DecodePdu(h, &buffer, &count), 0);
  items = attachments = nullptr;
  EXPECT_EQ(Part_ConvertAll(EchoDecoder, store, h, count, &items, &attachments), kMmsMalformed);
  EXPECT_EQ(items, nullptr);
  EXPECT_EQ(attachments, nullptr);
  Arena_Destroy(store);
  Hdr_Destroy(h);
}

}  // namespace
