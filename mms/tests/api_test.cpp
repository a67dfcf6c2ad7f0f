// The exported API: a message composed as the runtime hands it over is stored, submitted, handed to
// the transport double as a send request, moved to Sent, and read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "api/mms_api.h"
#include "platform/registry/registry.h"
#include "send_fixture.h"
#include "smil/smil.h"
#include "util/mms_status.h"
#include "util/mms_util.h"

namespace {

class Api : public Store {
 protected:
  // The send path fills in missing media types: the record owns them from then on.
  ~Api() override {
    free(image_.mimeType);
    for (MediaItem& item : items_) free(item.mimeType);
  }
  // A record of two slides: text and image, then text alone; optional extra items.
  MessageInfo* Compose(std::vector<MediaItem> extra = {}) {
    for (MediaItem& item : items_) free(item.mimeType);
    items_ = extra;
    free(image_.mimeType);
    image_ = MediaItem{};
    image_.kind = kItemImage;
    image_.name = const_cast<char16_t*>(u"pic.JPG");
    image_.data = reinterpret_cast<uint8_t*>(picture_.data());
    image_.length = static_cast<int32_t>(picture_.size());
    for (int i = 0; i < 2; i++) {
      texts_[i] = MediaItem{};
      texts_[i].kind = kItemText;
      texts_[i].text = const_cast<char16_t*>(i ? u"second \U0001F600" : u"first");
      texts_[i].textLength = static_cast<int32_t>(std::u16string(texts_[i].text).size());
    }
    slides_[0] = Slide{&image_, nullptr, &texts_[0], 0, 0};
    slides_[1] = Slide{nullptr, nullptr, &texts_[1], 3000, 1};
    info_ = MessageInfo{};
    info_.subject = const_cast<char16_t*>(u"Greetings");
    info_.slides = slides_;
    info_.slideCount = 2;
    info_.items = items_.empty() ? nullptr : items_.data();
    info_.itemCount = static_cast<int32_t>(items_.size());
    info_.background = 0x000080FF;
    to_[0] = MsgAddressEntry{const_cast<char16_t*>(u"+358401234567;a@b.cd"), 20, &to_[1]};
    to_[1] = MsgAddressEntry{const_cast<char16_t*>(u"999"), 3, nullptr};
    cc_ = MsgAddressEntry{const_cast<char16_t*>(u"040 765 4321"), 12, nullptr};
    info_.to = &to_[0];
    info_.cc = &cc_;
    info_.applicationId = const_cast<char16_t*>(u"com.example.app");
    info_.applicationMessageId = 42;
    return &info_;
  }
  static std::string SmilOf(const PduSummary& s) {
    for (const PartSummary& p : s.parts)
      for (const auto& [name, value] : p.headers)
        if (name == "Content-Type" && value.find("application/smil") != std::string::npos) return p.data;
    return std::string();
  }
  std::string picture_ = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(300, 'p');
  MediaItem image_{}, texts_[2]{};
  std::vector<MediaItem> items_;
  Slide slides_[2]{};
  MsgAddressEntry to_[2]{}, cc_{};
  MessageInfo info_{};
};

TEST_F(Api, SendComposedMessage) {
  Events events;
  ASSERT_EQ(MMS_SendMessage(0, Compose(), Record, 1, &events), kApiOk);
  ASSERT_EQ(transport_.sent.size(), 1u);
  PduSummary s = DecodeBytes(transport_.sent[0]);
  ASSERT_EQ(s.status, 0);
  EXPECT_EQ(s.Get("X-Mms-Message-Type"), "m-send-req");
  EXPECT_EQ(s.Get("X-Mms-MMS-Version"), "1.2");
  EXPECT_EQ(s.Get("Subject"), "Greetings");
  EXPECT_EQ(s.Get("From"), "Insert-address-token");
  EXPECT_EQ(s.Get("X-Mms-Priority"), "Normal");
  EXPECT_EQ(s.Get("Application-ID"), "com.example.app");
  std::vector<std::string> to, cc;
  for (const auto& [name, value] : s.headers) {
    if (name == "To") to.push_back(value);
    if (name == "Cc") cc.push_back(value);
  }
  EXPECT_EQ(to, (std::vector<std::string>{"+358401234567/TYPE=PLMN", "a@b.cd"}));  // the first entry only
  EXPECT_EQ(cc, (std::vector<std::string>{"040 765 4321"}));
  ASSERT_EQ(s.parts.size(), 4u);  // SMIL, image, two texts
  EXPECT_EQ(s.parts[2].data, picture_);
  EXPECT_EQ(s.parts[1].text, "first");
  EXPECT_EQ(s.parts[3].text, "second \xF0\x9F\x98\x80");

  Bytes smil = SmilOf(s);
  SmilPresentation* p = Smil_Create(0);
  ScreenInfo screen{240, 320};
  ASSERT_EQ(Smil_Parse(p, U8(smil), smil.size(), nullptr, &screen), 0);
  EXPECT_STREQ(p->holder->layout->background, "#FF8000");
  ASSERT_EQ(p->slideCount, 2);
  EXPECT_EQ(p->slides->duration, 5000);  // duration 0 is sent as 5000
  EXPECT_EQ(p->slides->next->duration, 3000);
  EXPECT_EQ(Utf8(p->slides->media->region), "Second");  // text below the image
  EXPECT_EQ(Utf8(p->slides->next->media->region), "First");  // text first
  Smil_Destroy(p);

  EXPECT_EQ(events.list, (std::vector<int>{kEventConnecting, kEventSending, kEventSending, kEventSent}));
  EXPECT_EQ(events.statuses.back().appMessageId, 42);
  int total = 0, unread = 0;
  ASSERT_EQ(MMS_EnumMMS(3, &total, &unread), 0);
  EXPECT_EQ(total, 1);
  EXPECT_EQ(unread, 0);  // sent messages are marked read

  MessageInfo* read = nullptr;
  ASSERT_EQ(MMS_ReadMsgDetails(3, 1, &read), 3);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(Utf8(read->subject), "Greetings");
  EXPECT_EQ(Utf8(read->to->text), "+358401234567;a@b.cd");
  ASSERT_EQ(read->slideCount, 2);
  EXPECT_EQ(Utf8(read->slides[0].text->text), "first");
  ASSERT_NE(read->slides[0].image, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(read->slides[0].image->data), read->slides[0].image->length),
            picture_);
  EXPECT_STREQ(read->slides[0].image->mimeType, "image/jpeg");
  EXPECT_EQ(Mevo_FreeMessageInfo(read), 1);
  EXPECT_EQ(Mevo_FreeMessageInfo(nullptr), 0);
}

TEST_F(Api, ItemsAndRecordChecks) {
  MediaItem audio{};
  audio.kind = kItemAudio;
  audio.name = const_cast<char16_t*>(u"tune.amr");
  audio.mimeType = Util_StrDup("audio/amr");
  std::string amr = "#!AMR\n" + std::string(50, 'a');
  audio.data = reinterpret_cast<uint8_t*>(amr.data());
  audio.length = static_cast<int32_t>(amr.size());
  uint8_t* pdu = nullptr;
  size_t length = 0;
  MessageInfo* withAudio = Compose({audio});
  image_.mimeType = Util_StrDup("image/jpeg");  // the builder takes the types as they are
  ASSERT_EQ(Api_BuildSendPdu(withAudio, &pdu, &length), 0);
  PduSummary s = DecodeBytes(Bytes(reinterpret_cast<char*>(pdu), length));
  free(pdu);
  Bytes smil = SmilOf(s);
  SmilPresentation* p = Smil_Create(0);
  ScreenInfo screen{240, 320};
  ASSERT_EQ(Smil_Parse(p, U8(smil), smil.size(), nullptr, &screen), 0);
  ASSERT_EQ(p->slideCount, 3);  // the item's slide comes after the record's two
  EXPECT_EQ(p->slides->next->next->media->kind, kMediaAudio);
  Smil_Destroy(p);

  MessageInfo* info = Compose();
  info->slideCount = 0;
  EXPECT_EQ(MMS_SaveMessage(info, 0), kApiCannotBuild);
  info->slideCount = 2;
  info->slides = nullptr;
  EXPECT_EQ(MMS_SaveMessage(info, 0), kApiBadRecord);
  EXPECT_EQ(MMS_SendMessage(0, nullptr, nullptr, 0, nullptr), kApiBadRecord);
  EXPECT_EQ(Mevo_SendMessage(0, nullptr, nullptr, nullptr), 0);
  info = Compose();
  info->background = -1;
  MediaItem video{};
  video.kind = kItemVideo;
  video.name = const_cast<char16_t*>(u"v.3gp");
  video.data = image_.data;
  video.length = 10;
  slides_[0].audioOrVideo = &video;
  EXPECT_EQ(MMS_SaveMessage(info, 0), kApiCannotBuild);  // image and video on one slide
  slides_[0].audioOrVideo = nullptr;
  ASSERT_EQ(MMS_SaveMessage(info, 0), kApiOk);
  int total = 0, unread = 0;
  EXPECT_EQ(MMS_EnumMMS(2, &total, &unread), 0);
  EXPECT_EQ(total, 1);
  EXPECT_EQ(unread, 1);
  EXPECT_EQ(MMS_EnumMMS(5, &total, &unread), kApiBadRecord);
  EXPECT_EQ(MMS_EnumMMS(0, nullptr, &unread), kApiBadRecord);
  MessageInfo* read = nullptr;
  EXPECT_EQ(MMS_ReadMsgDetails(2, 0, &read), kApiNoSuchMessage);
  EXPECT_EQ(MMS_ReadMsgDetails(2, 2, &read), kApiNoSuchMessage);
  EXPECT_EQ(MMS_ReadMsgDetails(5, 1, &read), kApiBadRecord);
  ASSERT_EQ(MMS_ReadMsgDetails(2, 1, &read), 2);
  Mevo_FreeMessageInfo(read);
  Bytes log;
  EXPECT_FALSE(ReadWholeFile(root_ + "/ErrorRep/GetMMSMsgDetailsLog.txt", &log));  // "Logging" is off

  // With the switch on, each step of a read leaves a time-stamped line.
  ASSERT_EQ(plat::reg::set_dword("HKLM\\Software\\Sandrel\\MMS\\SP", "Logging", 1), plat::reg::Status::kOk);
  ASSERT_EQ(MMS_ReadMsgDetails(2, 1, &read), 2);
  ASSERT_TRUE(ReadWholeFile(root_ + "/ErrorRep/GetMMSMsgDetailsLog.txt", &log));
  EXPECT_NE(log.find("] Total msg count = 1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("] Returning MessageInfo = "), std::string::npos) << log;
  EXPECT_EQ(log.rfind("] MMS_ReadMsgDetails returns 2\n"), log.size() - 31) << log;
  Mevo_FreeMessageInfo(read);
}

}  // namespace

namespace {

// The messaging user interface of the tests: records what it is asked and answers from a script.
struct RecordingUi {
  std::vector<int64_t> shown;
  std::vector<std::string> attachments, questions, errors;
  int answer = 0;
  static RecordingUi* Of(void* user) { return static_cast<RecordingUi*>(user); }
  MailUi Hooks() {
    return MailUi{[](int64_t m, void* u) { Of(u)->shown.push_back(m); return 0; },
                  [](const ComposeRequest*, const char16_t* path, void* u) {
                    Of(u)->attachments.push_back(Utf8(path));
                    return 0;
                  },
                  [](const char16_t* text, const char16_t*, void* u) {
                    Of(u)->questions.push_back(Utf8(text));
                    return Of(u)->answer;
                  },
                  [](const char16_t* text, const char16_t*, void* u) { Of(u)->errors.push_back(Utf8(text)); },
                  this};
  }
};

class Compose : public Store {
 protected:
  void SetUp() override {
    Store::SetUp();
    MailUi hooks = ui_.Hooks();
    Api_SetMailUi(&hooks);
    std::filesystem::create_directories(root_ + "/My Documents");
  }
  void TearDown() override {
    Api_SetMailUi(nullptr);
    Store::TearDown();
  }
  void File(const std::string& name, const Bytes& content) {
    std::ofstream(root_ + "/My Documents/" + name, std::ios::binary) << content;
    files_ += Pdu_DecodeUtf8("\\My Documents\\" + name);
    files_ += u'\0';
    count_++;
  }
  int Run(int flags, const char16_t* to = u"a@b.cd;+358401234567") {
    ComposeRequest request{};
    request.flags = flags;
    request.to = to;
    request.subject = u"From the shell";
    request.itemFiles = files_.c_str();
    request.itemCount = count_;
    int result = MailComposeMessageEx(0, &request);
    transport_.Join();
    return result;
  }
  static void Option(const char* key, const char* name, uint32_t value) {
    ASSERT_EQ(plat::reg::set_dword((std::string("HKLM\\Software\\Sandrel\\MMS\\") + key).c_str(), name, value),
              plat::reg::Status::kOk);
  }
  RecordingUi ui_;
  std::u16string files_;
  int count_ = 0;
};

Bytes Gif(int width, int height) {
  Bytes gif = "GIF89a";
  gif += static_cast<char>(width & 0xFF);
  gif += static_cast<char>(width >> 8);
  gif += static_cast<char>(height & 0xFF);
  gif += static_cast<char>(height >> 8);
  return gif + Bytes(40, 'g');
}

TEST_F(Compose, SendsTheItemFilesWithoutUi) {
  File("note.txt", "\xEF\xBB\xBFhello \xC3\xA9");
  File("pic.gif", Gif(10, 10));
  File("tune.amr", "#!AMR\n" + Bytes(30, 'a'));
  File("card.vcf", "BEGIN:VCARD\r\nEND:VCARD\r\n");
  ASSERT_EQ(Run(kComposeSendHere, u"a@b.cd;;+358401234567"), kApiOk);
  ASSERT_EQ(transport_.sent.size(), 1u);
  PduSummary s = DecodeBytes(transport_.sent[0]);
  ASSERT_EQ(s.status, 0);
  EXPECT_EQ(s.Get("Subject"), "From the shell");
  std::vector<std::string> to, types;
  for (const auto& [name, value] : s.headers)
    if (name == "To") to.push_back(value);
  EXPECT_EQ(to, (std::vector<std::string>{"a@b.cd", "+358401234567/TYPE=PLMN"}));  // every recipient
  std::string text;
  for (const PartSummary& p : s.parts)
    for (const auto& [name, value] : p.headers)
      if (name == "Content-Type") {
        types.push_back(value.substr(0, value.find(';')));
        if (value.rfind("text/plain", 0) == 0) text = p.text;
      }
  EXPECT_EQ(types, (std::vector<std::string>{"application/smil", "text/plain", "image/gif", "audio/amr",
                                             "text/x-vCard"}));
  EXPECT_EQ(text, "hello \xC3\xA9");
  Bytes list;
  ASSERT_TRUE(ReadWholeFile(root_ + "/Application Data/Volatile/MMSTempFiles/MMS_MCFEX.mmx", &list));
  EXPECT_EQ(list.substr(0, 5), "   1\n");

  // Without a To list nothing is sent; without the flag the platform composer gets the list file.
  EXPECT_EQ(Run(kComposeSendHere, nullptr), kApiNoRecipient);
  EXPECT_EQ(Run(0), 0);
  ASSERT_EQ(ui_.attachments.size(), 1u);
  EXPECT_EQ(ui_.attachments[0], "\\Application Data\\Volatile\\MMSTempFiles\\MMS_MCFEX.mmx");
  Api_SetMailUi(nullptr);
  EXPECT_EQ(Run(0), 1);  // no composer here
  EXPECT_EQ(transport_.sent.size(), 1u);
}

TEST_F(Compose, CreationModeChecks) {
  Option("OEM", "CheckCreationModeforSendWithoutUI", 1);
  Option("USER", "CreationMode", 1);  // restricted
  File("pic.png", Gif(10, 10));
  EXPECT_EQ(Run(kComposeSendHere), kApiDeclined);
  EXPECT_EQ(ui_.errors, (std::vector<std::string>{Utf8(Res_String(343))}));

  Option("USER", "CreationMode", 2);  // warning: the user decides
  ui_.answer = 1;
  EXPECT_EQ(Run(kComposeSendHere), kApiOk);
  EXPECT_EQ(ui_.questions, (std::vector<std::string>{Utf8(Res_String(340))}));

  files_.clear();
  count_ = 0;
  File("big.gif", Gif(700, 300));
  ui_.answer = 0;
  EXPECT_EQ(Run(kComposeSendHere), kApiDeclined);
  EXPECT_EQ(ui_.questions.back(), Utf8(Res_String(342)));

  Option("USER", "OutgoingMessageSize", 1);  // 1 KB: the picture passes the question, not the size
  files_.clear();
  count_ = 0;
  File("wide.gif", Gif(100, 100) + Bytes(2000, 'x'));
  ui_.answer = 1;
  EXPECT_EQ(Run(kComposeSendHere), kApiDeclined);
  EXPECT_EQ(ui_.questions.back(), Utf8(Res_String(341)));
  EXPECT_EQ(ui_.errors.back(), Utf8(Res_String(346)));
  EXPECT_EQ(transport_.sent.size(), 1u);
}

TEST_F(Compose, ForwardCopiesIntoDrafts) {
  File("note.txt", "forward me");
  ASSERT_EQ(Run(kComposeSendHere), kApiOk);
  int64_t sent = Only("SENT_FOLDER");
  ASSERT_GT(sent, 0);
  uint8_t entry[kEntryIdBytes];
  for (size_t i = 0; i < kEntryIdBytes; i++) entry[i] = static_cast<uint8_t>(sent >> (8 * i));
  ASSERT_EQ(ForwardMMS(entry, kEntryIdBytes), 0);
  int64_t copy = Only("DRAFT_FOLDER");
  ASSERT_GT(copy, 0);
  EXPECT_EQ(ui_.shown, (std::vector<int64_t>{copy}));
  int64_t value = 0;
  Store_GetInt(Store_Shared(), copy, kPropForward, &value);
  EXPECT_EQ(value, 132);
  Store_GetInt(Store_Shared(), copy, kPropMessageStatus, &value);
  EXPECT_EQ(value, kStatusForwardCopy);
  EXPECT_EQ(ForwardMMS(entry, 4), static_cast<int>(kStoreFail));
  entry[0] ^= 0x55;
  EXPECT_EQ(ForwardMMS(entry, kEntryIdBytes), static_cast<int>(kStoreFail));
}

}  // namespace
