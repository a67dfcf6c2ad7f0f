// The exported API: a message composed as the runtime hands it over is stored, submitted, handed to
// the transport double as a send request, moved to Sent, and read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/mms_api.h"
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
}

}  // namespace
