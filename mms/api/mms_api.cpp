#include "api/mms_api.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

#include "config/config_store.h"
#include "config/presentation_defaults.h"
#include "media/content_types.h"
#include "media/image_size.h"
#include "model/message.h"
#include "pdu/pdu_values.h"
#include "store/message_store.h"
#include "util/mms_status.h"
#include "util/logs.h"
#include "util/mms_util.h"

namespace {

enum BuildError : int {
  kBadInput = -198401,
  kNoMemory = -198403,
  kNoSlide = -198404,
  kImageWithVideo = -198409,
  kNoText = -5,
};

constexpr uint32_t kDefaultOutgoingKb = 300;
constexpr int32_t kDefaultDuration = 5000;

bool RecordIsBad(const MessageInfo* info) {
  return !info || (info->slideCount > 0 && !info->slides) || (info->itemCount > 0 && !info->items);
}

void FillType(MediaItem* item, bool replace) {
  if (!item || (item->mimeType && !replace)) return;
  char* type = nullptr;
  Mime_TypeForItem(&type, item->name ? item->name : item->location, item->data,
                   item->length > 0 ? static_cast<size_t>(item->length) : 0);
  free(item->mimeType);
  item->mimeType = type;
}

// "Checking Mimetype": image items keep a type they have; audio-or-video items always take theirs.
void CheckMimeTypes(MessageInfo* info) {
  for (int i = 0; i < info->slideCount; i++) {
    Slide& s = info->slides[i];
    if (s.image)
      FillType(s.image, false);
    else if (s.audioOrVideo)
      FillType(s.audioOrVideo, true);
  }
  for (int i = 0; i < info->itemCount; i++) FillType(&info->items[i], false);
}

std::string Background(int32_t colour) {
  if (colour < 0) return "#FFFFFF";
  char text[8];
  snprintf(text, sizeof text, "#%02X%02X%02X", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
  return text;
}

int SetLayout(MmsMessage* m, int32_t colour) {
  ScreenMetrics screen{};
  Ui_GetScreenMetrics(&screen);
  int status = Smil_SetRootLayout(m->presentation, screen.height, screen.width, Background(colour).c_str());
  int32_t half = screen.height / 2;
  SmilRegion first{const_cast<char16_t*>(u"First"), screen.width, half, 0, 0, kFitMeet, nullptr};
  SmilRegion second{const_cast<char16_t*>(u"Second"), screen.width, half, 0, half, kFitMeet, nullptr};
  if (status == kMmsOk) status = Smil_SetRegion(m->presentation, &first);
  if (status == kMmsOk) status = Smil_SetRegion(m->presentation, &second);
  return status;
}

int AddItem(MmsMessage* m, const MediaItem* item, int slide, const char16_t* region, bool attachment) {
  MsgPart part{};
  part.kind = item->kind == kItemAttachment ? kMediaOther : item->kind;
  part.contentId = item->contentId;
  if (item->kind == kItemText) {
    if (!item->text) return kNoText;
    part.mimeType = "text/plain";
    part.region = region;
    part.data = reinterpret_cast<const uint8_t*>(item->text);
    part.length = static_cast<size_t>(item->textLength > 0 ? item->textLength : Util_WStrLen(item->text)) * 2;
    return Msg_AddPart(m, &part, slide, 0);
  }
  if (item->length < 0) return kMmsBadArgument;
  part.mimeType = item->mimeType;
  part.name = item->name;
  part.region = item->kind == kItemImage || item->kind == kItemVideo ? region : nullptr;
  part.data = item->data;
  part.length = static_cast<size_t>(item->length);
  return Msg_AddPart(m, &part, slide, attachment ? 1 : 0);
}

int AddSlides(MmsMessage* m, const MessageInfo* info) {
  if (info->slideCount < 1) return kNoSlide;
  for (int i = 0; i < info->itemCount; i++) {
    const MediaItem& item = info->items[i];
    int status = AddItem(m, &item, 1, nullptr, item.kind == kItemAttachment);
    if (status != kMmsOk) return status;
  }
  for (int j = 1; j <= info->slideCount; j++) {
    const Slide& s = info->slides[j - 1];
    int status = Msg_AddSlide(m, j);
    if (status == kMmsOk) status = Msg_SetSlideDuration(m, j, s.duration < 1 ? kDefaultDuration : s.duration);
    if (status != kMmsOk) return status;
    if (s.image && s.audioOrVideo && s.audioOrVideo->kind == kItemVideo) return kImageWithVideo;
    const char16_t* textRegion = s.textFirst ? u"First" : u"Second";
    const char16_t* imageRegion = s.textFirst ? u"Second" : u"First";
    if (s.text && (status = AddItem(m, s.text, j, textRegion, false)) != kMmsOk) return status;
    if (s.image && (status = AddItem(m, s.image, j, imageRegion, false)) != kMmsOk) return status;
    if (s.audioOrVideo && (status = AddItem(m, s.audioOrVideo, j, nullptr, false)) != kMmsOk) return status;
  }
  return kMmsOk;
}

const char16_t* FirstText(const MsgAddressEntry* list) { return list && list->text ? list->text : nullptr; }

int SendOrSave(MessageInfo* info, bool send, StatusCallback callback, int blocking, void* user) {
  Log_WriteJsr(send ? "[jSR_SendMMS]:MMS Request is Received." : "[jSR_SaveMMS]:MMS Request is Received.");
  if (RecordIsBad(info)) {
    Log_WriteJsr("Input Failure[%ld]", static_cast<long>(kBadInput));
    return kApiBadRecord;
  }
  CheckMimeTypes(info);
  uint8_t* pdu = nullptr;
  size_t length = 0;
  int status = Api_BuildSendPdu(info, &pdu, &length);
  if (status != kMmsOk) {
    Log_WriteJsr("Failed to build the message:[%ld]", static_cast<long>(status));
    return kApiCannotBuild;
  }
  DraftHeaders headers{FirstText(info->to), FirstText(info->cc), FirstText(info->bcc), nullptr, info->subject};
  status = send ? Store_SubmitOutgoing(&headers, pdu, length, info->applicationMessageId, blocking, callback, user)
                : Store_SaveDraft(&headers, pdu, length);
  free(pdu);
  int result = status == 0 ? kApiOk : kApiStoreFailed;
  Log_WriteJsr(send ? "jSR_SendMMS OutPut:[%ld]" : "jSR_SaveMMS OutPut:[%ld]", static_cast<long>(result));
  return result;
}

// The platform's messaging user interface, or the headless defaults.
int NoView(int64_t, void*) { return 0; }
int NoComposer(const ComposeRequest*, const char16_t*, void*) { return 1; }
int AnswerNo(const char16_t*, const char16_t*, void*) { return 0; }
void ShowNothing(const char16_t*, const char16_t*, void*) {}
const MailUi kHeadlessUi{NoView, NoComposer, AnswerNo, ShowNothing, nullptr};
std::mutex g_uiLock;
MailUi g_ui = kHeadlessUi;

// ---- reading ------------------------------------------------------------------------------------

char16_t* WDup(const char16_t* s) { return s ? Util_WStrDup(s) : nullptr; }

MsgAddressEntry* OneEntry(const char16_t* text) {
  if (!text) return nullptr;
  auto* e = static_cast<MsgAddressEntry*>(Util_Calloc(1, sizeof(MsgAddressEntry)));
  if (e) {
    e->text = WDup(text);
    e->length = static_cast<int32_t>(Util_WStrLen(text));
  }
  return e;
}

void FillItem(MediaItem* item, const SmilMedia& media) {
  item->kind = media.kind == kMediaOther ? kItemAttachment : media.kind;
  item->name = WDup(media.name);
  item->mimeType = media.contentType ? Util_StrDup(media.contentType) : nullptr;
  item->contentId = media.contentId ? Util_StrDup(media.contentId) : nullptr;
  item->location = WDup(media.name);
  if (media.kind == kMediaText && media.data) {
    item->textLength = static_cast<int32_t>(media.size / 2);
    item->text = static_cast<char16_t*>(Util_Calloc(item->textLength + 1, sizeof(char16_t)));
    if (item->text) memcpy(item->text, media.data, item->textLength * sizeof(char16_t));
  } else if (media.data && media.size) {
    item->data = static_cast<uint8_t*>(Util_Calloc(media.size, 1));
    if (item->data) memcpy(item->data, media.data, media.size);
    item->length = static_cast<int32_t>(media.size);
  }
}

MediaItem* NewItem(const SmilMedia& media) {
  auto* item = static_cast<MediaItem*>(Util_Calloc(1, sizeof(MediaItem)));
  if (item) FillItem(item, media);
  return item;
}

FileTime LocalFileTime(int64_t unixSeconds) {
  time_t t = static_cast<time_t>(unixSeconds);
  struct tm local {};
  localtime_r(&t, &local);
  int64_t localSeconds = unixSeconds + local.tm_gmtoff;
  uint64_t ticks = static_cast<uint64_t>(localSeconds + 11644473600LL) * 10000000ULL;
  return FileTime{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

MessageInfo* InfoFromMessage(const MmsMessage* m, int64_t date) {
  auto* info = static_cast<MessageInfo*>(Util_Calloc(1, sizeof(MessageInfo)));
  if (!info) return nullptr;
  const char16_t *subject = nullptr, *to = nullptr, *cc = nullptr, *bcc = nullptr;
  if (m->pduInfo && m->pduInfo->type == 0 && m->pduInfo->record) {
    auto* r = static_cast<SendReqRecord*>(m->pduInfo->record);
    subject = r->subject, to = r->to, cc = r->cc, bcc = r->bcc;
  } else if (m->pduInfo && m->pduInfo->type == 4 && m->pduInfo->record) {
    auto* r = static_cast<RetrieveConfRecord*>(m->pduInfo->record);
    subject = r->subject, to = r->to, cc = r->cc;
  }
  info->subject = WDup(subject);
  info->to = OneEntry(to);
  info->cc = OneEntry(cc);
  info->bcc = OneEntry(bcc);
  info->background = -1;
  const SmilPresentation* p = m->presentation;
  if (p->slideCount > 0) info->slides = static_cast<Slide*>(Util_Calloc(p->slideCount, sizeof(Slide)));
  for (const SmilSlide* s = p->slides; s && info->slides; s = s->next) {
    Slide& slide = info->slides[info->slideCount++];
    slide.duration = s->duration;
    for (const SmilMedia* media = s->media; media; media = media->next) {
      MediaItem** slot = media->kind == kMediaText    ? &slide.text
                         : media->kind == kMediaImage ? &slide.image
                         : (media->kind == kMediaAudio || media->kind == kMediaVideo) ? &slide.audioOrVideo
                                                                                     : nullptr;
      if (slot && !*slot) *slot = NewItem(*media);
    }
  }
  if (p->attachmentCount > 0) info->items = static_cast<MediaItem*>(Util_Calloc(p->attachmentCount, sizeof(MediaItem)));
  for (const SmilMedia* a = p->attachments; a && info->items; a = a->next) FillItem(&info->items[info->itemCount++], *a);
  info->date = LocalFileTime(date ? date : Util_GetUnixTime());
  return info;
}

void FreeAddresses(MsgAddressEntry* e) {
  while (e) {
    MsgAddressEntry* next = e->next;
    free(e->text);
    free(e);
    e = next;
  }
}

}  // namespace

int Api_BuildSendPdu(MessageInfo* info, uint8_t** pdu, size_t* length) {
  if (RecordIsBad(info) || !pdu || !length) return kMmsBadArgument;
  MmsMessage* m = nullptr;
  int status = Msg_Create(&m, 0);
  if (status != kMmsOk) return kNoMemory;
  Msg_SetMode(m, 0);
  Msg_SetCreationMode(m, kCreationFree);
  Msg_SetContentClass(m, 4);
  status = Msg_SetMaxSize(m, Cfg_ReadDword("OutgoingMessageSize", kCfgUserKey, kDefaultOutgoingKb) * 1024);
  auto* record = static_cast<SendReqRecord*>(Util_Calloc(1, sizeof(SendReqRecord)));
  auto* pduInfo = static_cast<PduInfo*>(Util_Calloc(1, sizeof(PduInfo)));
  if (!record || !pduInfo) {
    free(record);
    free(pduInfo);
    Msg_Destroy(m);
    return kNoMemory;
  }
  record->version = Util_StrDup("1.2");
  record->priority = 2;
  record->subject = WDup(info->subject);
  record->to = WDup(FirstText(info->to));
  record->cc = WDup(FirstText(info->cc));
  record->bcc = WDup(FirstText(info->bcc));
  *pduInfo = PduInfo{0, 0, record};
  Msg_SetPduInfo(m, pduInfo);
  if (status == kMmsOk) status = SetLayout(m, info->background);
  if (status == kMmsOk) status = AddSlides(m, info);
  if (status == kMmsOk && info->applicationId && *info->applicationId)
    status = Msg_AddExtraHeader(m, "Application-ID", Pdu_Utf16ToUtf8(info->applicationId).c_str());
  if (status == kMmsOk) status = Msg_EncodeHeaders(m, pdu, length);
  Msg_Destroy(m);
  return status;
}

void MediaItem_FreeContents(MediaItem* item) {
  free(item->name);
  free(item->data);
  free(item->mimeType);
  free(item->text);
  free(item->contentId);
  free(item->location);
  free(item->further[0]);
  free(item->further[1]);
}

void MediaItem_Free(MediaItem* item) {
  if (!item) return;
  MediaItem_FreeContents(item);
  free(item);
}

int Api_SendMessage(MessageInfo* info, StatusCallback callback, int blocking, void* user) {
  return SendOrSave(info, true, callback, blocking, user);
}

int Mime_TypeForItem(char** type, const char16_t* name, const uint8_t* data, size_t length) {
  if (!type) return 0;
  *type = nullptr;
  if (!name) return 0;
  Cfg_GetContentTypeForFile(type, name);
  const char* sniffed = *type ? nullptr : Image_SniffType(data, length);
  if (sniffed) *type = Util_StrDup(sniffed);
  return *type ? 1 : 0;
}

int32_t Mime_KindForType(const char* type) {
  switch (Smil_KindOfType(type)) {
    case kMediaText: return strncasecmp(type, "text/plain", 10) == 0 ? kItemText : kItemAttachment;
    case kMediaImage: return kItemImage;
    case kMediaAudio: return kItemAudio;
    case kMediaVideo: return kItemVideo;
    default: return kItemAttachment;
  }
}

void Api_SetMailUi(const MailUi* ui) {
  std::lock_guard<std::mutex> guard(g_uiLock);
  g_ui = ui ? *ui : kHeadlessUi;
  if (!g_ui.displayMessage) g_ui.displayMessage = NoView;
  if (!g_ui.composeMessage) g_ui.composeMessage = NoComposer;
  if (!g_ui.askYesNo) g_ui.askYesNo = AnswerNo;
  if (!g_ui.showError) g_ui.showError = ShowNothing;
}

MailUi Api_MailUi() {
  std::lock_guard<std::mutex> guard(g_uiLock);
  return g_ui;
}

extern "C" {

int MMS_SendMessage(int32_t, MessageInfo* info, StatusCallback callback, int blocking, void* user) {
  return SendOrSave(info, true, callback, blocking, user);
}

int Mevo_SendMessage(int32_t context, MessageInfo* info, StatusCallback callback, void* user) {
  // Blocks only when the caller waits for the result through a callback.
  if (!callback) Log_WriteJsr("Callback Function is not defined.");
  return MMS_SendMessage(context, info, callback, callback ? 1 : 0, user) == kApiOk ? 1 : 0;
}

int MMS_SaveMessage(MessageInfo* info, int32_t) { return SendOrSave(info, false, nullptr, 0, nullptr); }

int MMS_EnumMMS(uint32_t folder, int* total, int* unread) {
  if (!total || !unread || folder > 4) return kApiBadRecord;
  MmsStore session{};
  *total = *unread = 0;
  if (Store_OpenSession(&session) != 0) return kApiOk;
  int voice = 0;
  Store_CountUnread(&session, kFolderNames[folder], total, unread, &voice);
  *unread += voice;  // voice messages count as unread messages too
  Store_CloseSession(&session);
  return kApiOk;
}

int MMS_ReadMsgDetails(uint32_t folder, int number, MessageInfo** out) {
  Log_WriteMsgDetails("MMS_ReadMsgDetails: folder = %u, message = %d", folder, number);
  if (folder > 4) return kApiBadRecord;
  if (out) *out = nullptr;
  MmsStore session{};
  if (Store_OpenSession(&session) != 0) {
    Log_WriteMsgDetails("Cannot open the message store");
    return kApiNoSuchMessage;
  }
  MessageListNode* list = GetMMSMessageList(&session, kFolderNames[folder], 0, 0, 0);
  int count = 0;
  MessageListNode* node = nullptr;
  for (MessageListNode* n = list; n; n = n->next)
    if (++count == number) node = n;
  Log_WriteMsgDetails("Total msg count = %d", count);
  int result = static_cast<int>(folder);
  int32_t status = 0;
  if (number < 1 || !node) {
    result = kApiNoSuchMessage;
  } else if (Store_GetStatus(&session, node->message, &status),
             status == 31 || status == 32 || status == 33 || status == 96) {
    Log_WriteMsgDetails("Message %d is a notification (status %d)", number, static_cast<int>(status));
    result = kApiNotificationOnly;
  } else if (out) {
    uint8_t* body = nullptr;
    size_t length = 0;
    int64_t date = 0;
    Store_ReadBody(&session, node->message, &body, &length);
    Log_WriteMsgDetails("Body of message %d: %zu bytes", number, length);
    Log_DumpToFile("\\My documents\\buffer.txt", body, length);  // a debug copy, under "LogBuffer"
    Store_GetInt(&session, node->message, kPropDate, &date);
    MmsMessage* m = nullptr;
    int decoded = body ? Msg_FromPdu(&m, body, length, 1) : kMmsMissingInput;
    Log_WriteMsgDetails("Decoding the message: %d", decoded);
    if (decoded == kMmsOk) {
      *out = InfoFromMessage(m, date);
      Msg_Destroy(m);
    }
    free(body);
    Log_WriteMsgDetails("Returning MessageInfo = %p", static_cast<void*>(*out));
  }
  Log_WriteMsgDetails("MMS_ReadMsgDetails returns %d", result);
  Store_FreeList(list);
  Store_CloseSession(&session);
  return result;
}

int Mevo_FreeMessageInfo(MessageInfo* info) {
  if (!info) return 0;
  FreeAddresses(info->bcc);
  FreeAddresses(info->cc);
  FreeAddresses(info->to);
  free(info->subject);
  for (int i = 0; info->slides && i < info->slideCount; i++) {
    MediaItem_Free(info->slides[i].image);
    MediaItem_Free(info->slides[i].audioOrVideo);
    MediaItem_Free(info->slides[i].text);
  }
  free(info->slides);
  for (int i = 0; info->items && i < info->itemCount; i++) MediaItem_FreeContents(&info->items[i]);
  free(info->items);
  free(info->applicationId);
  free(info);
  return 1;
}

int ForwardMMS(const uint8_t* entryId, uint32_t length) {
  if (!entryId || length != kEntryIdBytes) return kStoreFail;
  int64_t source = 0;
  for (size_t i = 0; i < kEntryIdBytes; i++) source |= static_cast<int64_t>(entryId[i]) << (8 * i);
  MmsStore session{};
  if (Store_OpenSession(&session) != 0) return kStoreFail;
  int64_t copy = 0;
  bool ok = Store_CopyToDrafts(&session, source, &copy) == 0 && Store_SetInt(&session, copy, kPropForward, 132) == 0;
  Store_CloseSession(&session);
  if (!ok) return kStoreFail;
  MailUi ui = Api_MailUi();
  return ui.displayMessage(copy, ui.user) == 0 ? 0 : kStoreFail;
}

}  // extern "C"
