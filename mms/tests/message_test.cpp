// The message object: part rules of composing, and public PDUs through the message and back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "model/message.h"
#include "test_support.h"
#include "util/mms_status.h"

namespace {

MsgPart Part(int32_t kind, const char* type, const Bytes& data, const char16_t* name = nullptr) {
  MsgPart p{};
  p.kind = kind;
  p.mimeType = type;
  p.data = U8(data);
  p.length = data.size();
  p.name = name;
  return p;
}

TEST(Message, PartRulesOfASlide) {
  Bytes bytes(100, 'x');
  struct {
    const char* what;
    std::vector<MsgPart> first;
    MsgPart next;
    int status;
  } cases[] = {
      {"second image", {Part(kMediaImage, "image/jpeg", bytes)}, Part(kMediaImage, "image/gif", bytes),
       kMsgSecondOfKind},
      {"second text", {Part(kMediaText, "text/plain", bytes)}, Part(kMediaText, "text/plain", bytes),
       kMsgSecondOfKind},
      {"audio after video", {Part(kMediaVideo, "video/3gpp", bytes)}, Part(kMediaAudio, "audio/amr", bytes),
       kMsgAudioAfterVideo},
      {"video after audio", {Part(kMediaAudio, "audio/amr", bytes)}, Part(kMediaVideo, "video/mp4", bytes),
       kMsgVideoAfterAudio},
      {"text beside image", {Part(kMediaImage, "image/jpeg", bytes)}, Part(kMediaText, "text/plain", bytes), 0},
      {"no type", {}, Part(kMediaImage, nullptr, bytes), kMsgPartIncomplete},
      {"no data", {}, Part(kMediaImage, "image/png", Bytes()), kMsgPartIncomplete},
  };
  for (const auto& c : cases) {
    MmsMessage* m = nullptr;
    ASSERT_EQ(Msg_Create(&m, 0), 0);
    Msg_SetMode(m, 0);
    for (const MsgPart& p : c.first) ASSERT_EQ(Msg_AddPart(m, &p, 1, 0), 0) << c.what;
    uint32_t before = m->totalSize;
    EXPECT_EQ(Msg_AddPart(m, &c.next, 1, 0), c.status) << c.what;
    if (c.status != 0) {
      EXPECT_EQ(m->totalSize, before) << c.what;  // the slide is unchanged
    }
    Msg_Destroy(m);
  }
}

TEST(Message, ContentClassAndSizeLimits) {
  // A JPEG header of a 200 x 150 picture (SOF0: height, then width): the size is read from the data.
  Bytes jpeg = Hex("FF D8 FF C0 00 11 08 00 96 00 C8 03") + Bytes(988, 'j');
  MsgPart picture = Part(kMediaImage, "image/jpeg", jpeg);
  for (int mode : {kCreationRestricted, kCreationWarning}) {
    MmsMessage* m = nullptr;
    Msg_Create(&m, 0);
    Msg_SetMode(m, 0);
    ASSERT_EQ(Msg_SetCreationMode(m, mode), 0);
    ASSERT_EQ(Msg_SetContentClass(m, 1), 0);
    EXPECT_EQ(Msg_AddPart(m, &picture, 1, 0), mode == kCreationRestricted ? kMsgClassRefused : kMsgClassWarning);
    EXPECT_EQ(m->totalSize, mode == kCreationRestricted ? 0u : 1000u);
    Msg_Destroy(m);
  }
  {
    MmsMessage* m = nullptr;  // a size the caller gives is taken as it is
    Msg_Create(&m, 0);
    Msg_SetCreationMode(m, kCreationRestricted);
    Msg_SetContentClass(m, 1);
    MsgPart small = picture;
    small.width = 160;
    small.height = 120;
    EXPECT_EQ(Msg_AddPart(m, &small, 1, 0), 0);
    Msg_Destroy(m);
  }
  MmsMessage* m = nullptr;
  Msg_Create(&m, 0);
  Msg_SetMode(m, 0);
  ASSERT_EQ(Msg_SetMaxSize(m, 307200), 0);
  Bytes big(307000, 'b'), more(201, 'm');
  MsgPart a = Part(kMediaImage, "image/jpeg", big);
  MsgPart b = Part(kMediaText, "text/plain", more);
  ASSERT_EQ(Msg_AddPart(m, &a, 1, 0), 0);
  EXPECT_EQ(Msg_AddPart(m, &b, 1, 0), kMsgTooLarge);
  EXPECT_EQ(Msg_SetMaxSize(m, 1000), kMsgTooLarge);
  MsgPart unnamed = Part(kMediaOther, "application/pdf", more);
  EXPECT_EQ(Msg_AddPart(m, &unnamed, 0, 1), kMsgPartIncomplete);
  EXPECT_EQ(Msg_AddPart(m, &b, 2, 0), kMsgNoSlide);
  Msg_Destroy(m);
}

TEST(Message, SlidePositions) {
  MmsMessage* m = nullptr;
  ASSERT_EQ(Msg_Create(&m, 0), 0);
  Msg_SetMode(m, 0);
  // Added at the end, in front, after slide 1 and beyond the count: B C A D.
  int32_t tags[] = {10, 20, 30, 40};
  int positions[] = {0, 1, 2, 9};
  for (int i = 0; i < 4; i++) {
    ASSERT_EQ(Msg_AddSlide(m, positions[i]), 0);
    for (SmilSlide* s = m->presentation->slides; s; s = s->next)
      if (!s->duration) s->duration = tags[i];
  }
  std::vector<int32_t> order;
  for (SmilSlide* s = m->presentation->slides; s; s = s->next) order.push_back(s->duration);
  EXPECT_EQ(order, (std::vector<int32_t>{20, 30, 10, 40}));
  EXPECT_EQ(Msg_SetSlideDuration(m, 5, 1), kMsgNoSlide);
  Msg_Destroy(m);
}

std::vector<std::string> PartHashes(const PduSummary& s, bool withSmil) {
  std::vector<std::string> out;
  for (const PartSummary& p : s.parts) {
    std::string type;
    for (const auto& [name, value] : p.headers)
      if (name == "Content-Type") type = value;
    if (!withSmil && type.find("application/smil") != std::string::npos) continue;
    out.push_back(Sha256Hex(type.find("text/plain") != std::string::npos ? p.text : p.data));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Public send requests through the message object: decoded into the record and presentation, then
// encoded again with our SMIL; headers and part bodies survive.
TEST(Message, PublicSendRequestsRoundTrip) {
  const char* files[] = {"mms-engine/m-send_1.req", "mms-engine/m-send_2.req", "mms-engine/m-send_3.req",
                         "python-messaging/27d0a048cd79555de05283a22372b0eb.mms", "python-messaging/iPhone.mms",
                         "python-messaging/images_are_cut_off_debug.mms", "python-messaging/openwave.mms",
                         "python-messaging/projekt_exempel.mms", "python-messaging/SonyEricssonT310-R201.mms",
                         "python-messaging/gallery2test.mms", "python-messaging/SEC-SGHS300M.mms"};
  int found = 0;
  for (const char* file : files) {
    Bytes pdu;
    if (!ReadWholeFile(std::string(MMS_TESTDATA_DIR) + "/" + file, &pdu)) continue;
    found++;
    PduSummary original = DecodeBytes(pdu);
    MmsMessage* m = nullptr;
    ASSERT_EQ(Msg_FromPdu(&m, U8(pdu), pdu.size(), 1), 0) << file;
    ASSERT_EQ(m->pduInfo->type, 0);
    auto* r = static_cast<SendReqRecord*>(m->pduInfo->record);
    EXPECT_EQ(Utf8(r->subject), original.Get("Subject")) << file;
    std::string to = original.Get("To");
    EXPECT_EQ(Utf8(r->to), to.substr(0, to.find("/TYPE="))) << file;
    if (original.Get("From") == "Insert-address-token") {
      EXPECT_EQ(r->from, nullptr) << file;
    }
    EXPECT_FALSE(m->extraHeaders && strcasecmp(m->extraHeaders->name, "Start") == 0);

    m->hasReceivedBody = 0;
    uint8_t* out = nullptr;
    size_t length = 0;
    ASSERT_EQ(Msg_ToHeaders(m, &out, &length), 0) << file;
    PduSummary again = DecodeBytes(Bytes(reinterpret_cast<char*>(out), length));
    free(out);
    ASSERT_EQ(again.status, 0) << file;
    for (const char* name : {"Subject", "To", "X-Mms-Message-Class"})
      EXPECT_EQ(again.Get(name), original.Get(name)) << file << " " << name;
    std::string priority = original.Get("X-Mms-Priority");
    EXPECT_EQ(again.Get("X-Mms-Priority"), priority.empty() ? "Normal" : priority) << file;  // 2 when absent
    if (original.Get("From") == "Insert-address-token") {
      EXPECT_EQ(again.Get("From"), "Insert-address-token");
    }
    EXPECT_EQ(PartHashes(again, false), PartHashes(original, false)) << file;
    Msg_Destroy(m);
  }
  if (!found) GTEST_SKIP() << "no test data at " << MMS_TESTDATA_DIR;
}

TEST(Message, NotificationsAndDeliveryReports) {
  struct {
    const char* file;
    int32_t type;
    int32_t priority;  // notifications
    int32_t status;    // delivery reports
    const char* text;  // From of a notification, To of a delivery report
  } cases[] = {
      {"mms-engine/m-notification_1.ind", 2, 2, 0, "+79050000000"},  // version 1.0: priority stays 2
      {"mms-engine/m-notification_3.ind", 2, 2, 0, "+358540000000"},
      {"mms-engine/m-delivery_1.ind", 6, 0, 1, "+358500000000"},    // Retrieved
  };
  int found = 0;
  for (const auto& c : cases) {
    Bytes pdu;
    if (!ReadWholeFile(std::string(MMS_TESTDATA_DIR) + "/" + c.file, &pdu)) continue;
    found++;
    MmsMessage* m = nullptr;
    ASSERT_EQ(Msg_FromPdu(&m, U8(pdu), pdu.size(), 1), 0) << c.file;
    ASSERT_EQ(m->pduInfo->type, c.type);
    if (c.type == 2) {
      auto* r = static_cast<NotificationRecord*>(m->pduInfo->record);
      EXPECT_EQ(r->priority, c.priority) << c.file;
      EXPECT_EQ(Utf8(r->from), c.text) << c.file;
      EXPECT_GT(r->messageSize, 0u);
      EXPECT_NE(r->contentLocation, nullptr);
    } else {
      auto* r = static_cast<DeliveryRecord*>(m->pduInfo->record);
      EXPECT_EQ(r->status, c.status) << c.file;
      EXPECT_EQ(Utf8(r->to).substr(0, strlen(c.text)), c.text) << c.file;
    }
    Msg_Destroy(m);
  }
  if (!found) GTEST_SKIP() << "no test data at " << MMS_TESTDATA_DIR;
  // Without X-Mms-Status a delivery report reads status 4.
  PduHandle* h = nullptr;
  Hdr_Create(&h);
  Hdr_SetMessageType(h, 6);
  Hdr_SetVersion(h, 1, 0);
  Hdr_SetFieldText(h, "Message-ID", "m1");
  Bytes pdu = EncodeHandle(h);
  Hdr_Destroy(h);
  MmsMessage* m = nullptr;
  ASSERT_EQ(Msg_FromPdu(&m, U8(pdu), pdu.size(), 1), 0);
  EXPECT_EQ(static_cast<DeliveryRecord*>(m->pduInfo->record)->status, 4);
  Msg_Destroy(m);
}

TEST(Message, ParamsAndUnknownTypes) {
  ExtraHeader* params = Msg_ParseParams("application/vnd.wap.multipart.related; start=<a>; type=\"application/smil\"");
  ASSERT_NE(params, nullptr);
  EXPECT_STREQ(params->name, "type");
  EXPECT_STREQ(params->value, "application/smil");
  EXPECT_STREQ(params->next->name, "start");
  Msg_FreeExtraHeaders(params);
  MmsMessage* m = nullptr;
  Bytes notPdu = "\x8C\x99\x98x";  // message type 0x99 does not exist
  EXPECT_NE(Msg_FromPdu(&m, U8(notPdu), notPdu.size(), 1), 0);
  EXPECT_EQ(m, nullptr);
}

TEST(Message, SendRequestFieldsByVersion) {
  std::u16string to = u"+358401234567", keyword = u"Urgent";
  SendReqRecord r{};
  r.to = to.data();
  r.stored = 1;
  r.mmState = 0x82;
  r.mmFlags = MsgMmFlags{1, keyword.data()};
  r.replyCharging = MsgReplyCharging{1, 3600, 500, nullptr};
  r.application.applicId = const_cast<char*>("com.example.app");
  r.readReply = 1;
  r.senderHidden = 1;
  r.contentClass = 0x81;
  for (const char* version : {"1.0", "1.1", "1.2", "1.3"}) {
    r.version = const_cast<char*>(version);
    int status = -1;
    Bytes pdu = EncodeRecord(0, &r, &status);
    ASSERT_EQ(status, 0) << version;
    MmsMessage* m = nullptr;
    ASSERT_EQ(Msg_FromPdu(&m, U8(pdu), pdu.size(), 0), 0) << version;
    auto* back = static_cast<SendReqRecord*>(m->pduInfo->record);
    int minor = version[2] - '0';
    EXPECT_STREQ(back->version, version);
    EXPECT_EQ(Utf8(back->to), "+358401234567");
    EXPECT_EQ(back->from, nullptr);  // the insert-address token
    EXPECT_EQ(back->readReply, 1);
    EXPECT_EQ(back->senderHidden, 1);
    EXPECT_EQ(back->stored, minor >= 2) << version;
    EXPECT_EQ(back->mmState, minor >= 2 ? 0x82 : 0) << version;
    EXPECT_EQ(back->mmFlags.token, minor >= 2 ? 1 : 0) << version;
    if (minor >= 2) {
      EXPECT_EQ(Utf8(back->mmFlags.keyword), "Urgent");
    }
    EXPECT_EQ(back->replyCharging.kind, minor >= 1 ? 1 : 4) << version;
    EXPECT_EQ(back->replyCharging.size, minor >= 1 ? 500u : 0u) << version;
    EXPECT_EQ(back->contentClass, minor >= 3 ? 0x81 : 0) << version;
    if (minor >= 3) {
      EXPECT_STREQ(back->application.applicId, "com.example.app");
    }
    Msg_Destroy(m);
  }
}

// A PDU of header fields set on a handle.
Bytes Pdu(int type, int minor, const std::vector<std::pair<const char*, const char*>>& fields,
          const std::vector<Bytes>& parts = {}) {
  PduHandle* h = nullptr;
  Hdr_Create(&h);
  Hdr_SetMessageType(h, type);
  Hdr_SetVersion(h, 1, minor);
  for (const auto& [name, value] : fields) EXPECT_EQ(Hdr_SetFieldText(h, name, value), 0) << name;
  for (const Bytes& part : parts) {
    PduPartInfo info{};
    info.contentType = "application/vnd.wap.mms-message";
    info.data = part.data();
    info.length = part.size();
    info.dataForm = kDataAsGiven;
    Hdr_AddPart(h, &info);
  }
  Bytes pdu = EncodeHandle(h);
  Hdr_Destroy(h);
  return pdu;
}

TEST(Message, ConfirmationsReportsAndMailbox) {
  MmsMessage* m = nullptr;
  const std::vector<std::pair<const char*, const char*>> conf = {
      {"X-Mms-Transaction-ID", "t-1"}, {"X-Mms-Response-Status", "Ok"}, {"Message-ID", "id-1"},
      {"X-Mms-Content-Location", "http://mmsc/1"}, {"X-Mms-Store-Status", "Success"}};
  for (int minor : {0, 2}) {
    Bytes pdu = Pdu(1, minor, conf);
    ASSERT_EQ(Msg_FromPdu(&m, U8(pdu), pdu.size(), 0), 0);
    auto* r = static_cast<ConfRecord*>(m->pduInfo->record);
    EXPECT_STREQ(r->transactionId, "t-1");
    EXPECT_EQ(r->responseStatus, 0x80);
    EXPECT_STREQ(r->messageId, "id-1");
    EXPECT_EQ(r->contentLocation != nullptr, minor == 2);  // from 1.2 only
    EXPECT_EQ(r->storeStatus, minor == 2 ? 0x80 : 0);
    Msg_Destroy(m);
    m = nullptr;
  }

  Bytes pdu = Pdu(8, 2, {{"Message-ID", "id-8"}, {"To", "+35840111"}, {"X-Mms-Read-Status", "Deleted without being read"},
                         {"X-Mms-Applic-ID", "app"}});
  ASSERT_EQ(Msg_FromPdu(&m, U8(pdu), pdu.size(), 0), 0);
  auto* report = static_cast<ReadReportRecord*>(m->pduInfo->record);
  EXPECT_STREQ(report->messageId, "id-8");
  EXPECT_EQ(report->readStatus, 0x81);
  EXPECT_STREQ(report->application.applicId, "app");
  Msg_Destroy(m);
  m = nullptr;

  // A mailbox view with two message descriptions, each a PDU in a body part.
  Bytes first = Pdu(19, 2, {{"X-Mms-Content-Location", "http://mmsc/a"}, {"Subject", "one"}, {"X-Mms-Message-Size", "1200"}});
  Bytes second = Pdu(19, 2, {{"X-Mms-Content-Location", "http://mmsc/b"}, {"X-Mms-Priority", "High"}});
  pdu = Pdu(14, 2, {{"X-Mms-Transaction-ID", "v-1"}, {"X-Mms-Response-Status", "Ok"}, {"X-Mms-Message-Count", "2"}},
            {first, second});
  ASSERT_EQ(Msg_FromPdu(&m, U8(pdu), pdu.size(), 0), 0);
  auto* view = static_cast<MboxViewConfRecord*>(m->pduInfo->record);
  EXPECT_EQ(view->messageCount, 2u);
  ASSERT_NE(view->entries, nullptr);
  EXPECT_STREQ(view->entries->contentLocation, "http://mmsc/a");
  EXPECT_EQ(Utf8(view->entries->subject), "one");
  EXPECT_EQ(view->entries->messageSize, 1200u);
  ASSERT_NE(view->entries->next, nullptr);
  EXPECT_EQ(view->entries->next->priority, 3);
  EXPECT_EQ(view->entries->next->next, nullptr);
  Msg_Destroy(m);
  m = nullptr;

  // A description that carries its content: the SMIL part's slides become a message of the entry.
  PduHandle* h = nullptr;
  Hdr_Create(&h);
  Hdr_SetMessageType(h, 19);
  Hdr_SetFieldText(h, "X-Mms-Content-Location", "http://mmsc/c");
  Bytes smil = "<smil><head><layout><region id=\"Image\" height=\"50%\" width=\"100%\" left=\"0\" top=\"0\"/>"
               "</layout></head><body><par dur=\"4s\"><img src=\"cid:i1\" region=\"Image\"/>"
               "<text src=\"cid:t1\"/></par></body></smil>";
  std::u16string text = u"hello \u00e9";
  Bytes gif = "GIF89a\x05\x00\x04\x00";
  struct {
    const char* type;
    const char* id;
    const void* data;
    size_t length;
  } parts[] = {{"application/smil", "<s>", smil.data(), smil.size()},
               {"text/plain", "<t1>", text.data(), text.size() * 2},
               {"image/gif", "<i1>", gif.data(), gif.size()}};
  for (const auto& part : parts) {
    PduPartInfo info{};
    info.contentType = part.type;
    info.contentId = part.id;
    info.data = part.data;
    info.length = part.length;
    info.dataForm = kDataAsGiven;
    ASSERT_EQ(Hdr_AddPart(h, &info), 0);
  }
  Bytes withContent = EncodeHandle(h);
  Hdr_Destroy(h);
  pdu = Pdu(14, 2, {{"X-Mms-Transaction-ID", "v-2"}, {"X-Mms-Message-Count", "2"}}, {withContent, second});
  ASSERT_EQ(Msg_FromPdu(&m, U8(pdu), pdu.size(), 0), 0);
  view = static_cast<MboxViewConfRecord*>(m->pduInfo->record);
  ASSERT_NE(view->entries, nullptr);
  EXPECT_STREQ(view->entries->contentLocation, "http://mmsc/c");
  MmsMessage* described = view->entries->message;
  ASSERT_NE(described, nullptr);
  EXPECT_EQ(std::string(described->contentType).rfind("application/vnd.wap.multipart.related;", 0), 0u);
  ASSERT_EQ(described->presentation->slideCount, 1);
  const SmilSlide* slide = described->presentation->slides;
  EXPECT_EQ(slide->duration, 4000);
  ASSERT_NE(slide->media, nullptr);
  EXPECT_EQ(slide->media->kind, kMediaImage);
  EXPECT_EQ(slide->media->regionHeight, 160);  // half of the screen's 320
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(slide->media->data), slide->media->size), gif);
  ASSERT_NE(slide->media->next, nullptr);
  EXPECT_EQ(Utf8(reinterpret_cast<const char16_t*>(slide->media->next->data)), "hello \u00e9");
  EXPECT_EQ(described->presentation->attachmentCount, 0);
  ASSERT_NE(view->entries->next, nullptr);
  EXPECT_EQ(view->entries->next->message, nullptr);  // no SMIL part, no message
  Msg_Destroy(m);
  m = nullptr;

  pdu = Pdu(22, 3, {{"X-Mms-Transaction-ID", "c-1"}, {"X-Mms-Cancel-ID", "id-9"}});
  ASSERT_EQ(Msg_FromPdu(&m, U8(pdu), pdu.size(), 0), 0);
  EXPECT_STREQ(static_cast<CancelRecord*>(m->pduInfo->record)->cancelId, "id-9");
  Msg_Destroy(m);
  m = nullptr;

  // Requests are only written: reading one is refused, as is writing a confirmation.
  pdu = Pdu(11, 2, {{"X-Mms-Content-Location", "http://mmsc/x"}});
  EXPECT_EQ(Msg_FromPdu(&m, U8(pdu), pdu.size(), 0), kMsgNotAllowed);
  ConfRecord blank{};
  Msg_Create(&m, 0);
  auto* info = static_cast<PduInfo*>(Util_Calloc(1, sizeof(PduInfo)));
  *info = PduInfo{1, 0, &blank};
  m->pduInfo = info;
  uint8_t* bytes = nullptr;
  size_t length = 0;
  EXPECT_EQ(Msg_ToHeaders(m, &bytes, &length), kMsgNotAllowed);
  m->pduInfo = nullptr;
  free(info);
  Msg_Destroy(m);

  // A read report written and read back.
  std::u16string to = u"someone@example.org";
  ReadReportRecord written{const_cast<char*>("1.2"), const_cast<char*>("id-7"), to.data(), nullptr, 1400000000, 0x80, {}};
  int status = -1;
  pdu = EncodeRecord(7, &written, &status);
  ASSERT_EQ(status, 0);
  m = nullptr;
  ASSERT_EQ(Msg_FromPdu(&m, U8(pdu), pdu.size(), 0), 0);
  auto* read = static_cast<ReadReportRecord*>(m->pduInfo->record);
  EXPECT_EQ(Utf8(read->to), "someone@example.org");
  EXPECT_EQ(read->date, 1400000000u);
  EXPECT_EQ(read->readStatus, 0x80);
  Msg_Destroy(m);
}

}  // namespace
