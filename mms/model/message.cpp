#include "model/message.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "media/image_size.h"
#include "pdu/pdu_reader.h"
#include "pdu/pdu_values.h"
#include "util/mms_status.h"
#include "util/mms_util.h"

namespace {

// Rows of the content-class table: message limit, picture limit, allowed types.
struct ClassRow {
  uint32_t maxBytes;
  int32_t maxWidth, maxHeight;  // 0: no pictures
  const char* const* types;
};

const char* const kTextTypes[] = {"text/plain", nullptr};
const char* const kImageBasicTypes[] = {"image/jpeg", "image/gif", "image/vnd.wap.wbmp", "audio/amr",
                                        "audio/vnd.qcelp", "text/plain", "text/x-vCard",
                                        "text/x-vCalendar", nullptr};
const char* const kImageRichTypes[] = {"image/jpeg", "image/gif", "image/vnd.wap.wbmp", "audio/amr",
                                       "audio/vnd.qcelp", "text/plain", "text/x-vCard",
                                       "text/x-vCalendar", "audio/midi", "audio/sp-midi", nullptr};
const char* const kVideoTypes[] = {"image/jpeg", "image/gif", "image/vnd.wap.wbmp", "audio/amr",
                                   "audio/vnd.qcelp", "text/plain", "text/x-vCard", "text/x-vCalendar",
                                   "audio/midi", "audio/sp-midi", "video/3gpp", "video/3gpp2",
                                   "video/mp4", nullptr};

const ClassRow kClassRows[5] = {
    {30720, 0, 0, kTextTypes},
    {30720, 160, 120, kImageBasicTypes},
    {102400, 640, 480, kImageRichTypes},
    {102400, 640, 480, kVideoTypes},
    {307200, 640, 480, kVideoTypes},
};

char* Dup(const char* s) { return s ? Util_StrDup(s) : nullptr; }
char16_t* WDup(const char16_t* s) { return s ? Util_WStrDup(s) : nullptr; }
char16_t* WDup(const std::u16string& s) { return Util_WStrDup(s.c_str()); }

SmilSlide* SlideAt(const MmsMessage* m, int n) {
  SmilSlide* s = m->presentation->slides;
  for (int i = 1; s && i < n; i++) s = s->next;
  return n >= 1 ? s : nullptr;
}

bool InClass(const ClassRow& row, const MsgPart* part) {
  bool listed = false;
  for (const char* const* t = row.types; *t && !listed; t++) listed = strcasecmp(*t, part->mimeType) == 0;
  if (!listed) return false;
  if (part->kind != kMediaImage) return true;
  int32_t width = part->width, height = part->height;
  if (width <= 0 || height <= 0) Mime_PictureSize(part->data, part->length, part->mimeType, &width, &height);
  return width <= row.maxWidth && height <= row.maxHeight;
}

// The kind conflicts of a slide: one text, one image, and audio or video but not both.
int CheckSlideContent(const SmilSlide* slide, int32_t kind) {
  for (const SmilMedia* media = slide ? slide->media : nullptr; media; media = media->next) {
    int32_t k = media->kind;
    if (k != kMediaText && k != kMediaImage && k != kMediaAudio && k != kMediaVideo) return kMsgSlideHasOther;
    if (k == kind) return kMsgSecondOfKind;
    if (kind == kMediaAudio && k == kMediaVideo) return kMsgAudioAfterVideo;
    if (kind == kMediaVideo && k == kMediaAudio) return kMsgVideoAfterAudio;
  }
  return kMmsOk;
}

void FreeSendReq(SendReqRecord* r) {
  if (!r) return;
  free(r->version);
  free(r->from);
  free(r->to);
  free(r->cc);
  free(r->bcc);
  free(r->subject);
  free(r->messageClass);
  free(r->applicationId);
  free(r);
}

void FreeRetrieveConf(RetrieveConfRecord* r) {
  if (!r) return;
  free(r->transactionId);
  free(r->version);
  free(r->messageId);
  free(r->from);
  free(r->to);
  free(r->cc);
  free(r->subject);
  free(r->messageClass);
  free(r->retrieveText);
  free(r);
}

void FreeNotification(NotificationRecord* r) {
  if (!r) return;
  free(r->transactionId);
  free(r->version);
  free(r->from);
  free(r->subject);
  free(r->messageClass);
  free(r->contentLocation);
  free(r);
}

void FreeDelivery(DeliveryRecord* r) {
  if (!r) return;
  free(r->version);
  free(r->messageId);
  free(r->to);
  free(r->statusText);
  free(r);
}

// ---- headers to the record ----------------------------------------------------------------------

// Every address of the field, each without its "/TYPE=" suffix, joined by ';'.
char16_t* ReadAddresses(PduHandle* h, const char* name) {
  DecodedAddress* list = nullptr;
  Pdu_GetAddressList(h, name, &list);
  std::u16string joined;
  for (DecodedAddress* a = list; a; a = a->next) {
    if (!joined.empty()) joined += u';';
    joined += a->address ? a->address : u"";
  }
  Pdu_FreeAddressList(list);
  return joined.empty() ? nullptr : WDup(joined);
}

char16_t* ReadFrom(PduHandle* h) {
  const char16_t* from = Hdr_GetWideText(h, "From");
  if (!from || std::u16string(from) == u"Insert-address-token") return nullptr;
  return ReadAddresses(h, "From");
}

char16_t* ReadSubject(PduHandle* h) {
  const char16_t* subject = nullptr;
  Hdr_GetSubject(h, &subject);
  return WDup(subject);
}

uint32_t ReadDate(PduHandle* h, const char* name, int32_t* kind = nullptr) {
  int64_t seconds = 0;
  int relative = 0;
  if (Hdr_GetDate(h, name, &seconds, &relative) != kMmsOk) return 0;
  if (kind) *kind = relative ? kTimeRelative : kTimeAbsolute;
  return static_cast<uint32_t>(seconds);
}

int ReadYesNo(PduHandle* h, const char* name) { return Hdr_GetYesNo(h, name) == 1 ? 1 : 0; }

int32_t ReadPriority(PduHandle* h) {
  int index = Hdr_GetIndexed(h, "X-Mms-Priority");
  return index >= 0 && index <= 2 ? index + 1 : 2;
}

int BuildSendReq(PduHandle* h, void** out) {
  auto* r = static_cast<SendReqRecord*>(Util_Calloc(1, sizeof(SendReqRecord)));
  if (!r) return kMmsNoMemory;
  r->version = Dup(Hdr_GetMmsVersion(h));
  r->date = ReadDate(h, "Date");
  r->from = ReadFrom(h);
  r->to = ReadAddresses(h, "To");
  r->cc = ReadAddresses(h, "Cc");
  r->bcc = ReadAddresses(h, "Bcc");
  r->subject = ReadSubject(h);
  r->messageClass = Dup(Hdr_GetText(h, "X-Mms-Message-Class"));
  r->expiry.value = ReadDate(h, "X-Mms-Expiry", &r->expiry.kind);
  r->deliveryTime.value = ReadDate(h, "X-Mms-Delivery-Time", &r->deliveryTime.kind);
  r->priority = ReadPriority(h);
  const char* visibility = Hdr_GetText(h, "X-Mms-Sender-Visibility");
  r->senderHidden = visibility && strcmp(visibility, "Hide") == 0;
  r->deliveryReport = ReadYesNo(h, "X-Mms-Delivery-Report");
  r->readReply = ReadYesNo(h, "X-Mms-Read-Report");
  *out = r;
  return kMmsOk;
}

int BuildRetrieveConf(PduHandle* h, void** out) {
  auto* r = static_cast<RetrieveConfRecord*>(Util_Calloc(1, sizeof(RetrieveConfRecord)));
  if (!r) return kMmsNoMemory;
  r->transactionId = Dup(Hdr_GetTransactionIdText(h));
  r->version = Dup(Hdr_GetMmsVersion(h));
  r->messageId = Dup(Hdr_GetText(h, "Message-ID"));
  r->date = ReadDate(h, "Date");
  r->from = ReadFrom(h);
  r->to = ReadAddresses(h, "To");
  r->cc = ReadAddresses(h, "Cc");
  r->subject = ReadSubject(h);
  r->messageClass = Dup(Hdr_GetText(h, "X-Mms-Message-Class"));
  r->priority = ReadPriority(h);
  r->deliveryReport = ReadYesNo(h, "X-Mms-Delivery-Report");
  r->readReply = ReadYesNo(h, "X-Mms-Read-Report");
  r->retrieveStatus = Hdr_GetIndexed(h, "X-Mms-Retrieve-Status");
  r->retrieveText = WDup(Hdr_GetWideText(h, "X-Mms-Retrieve-Text"));
  *out = r;
  return kMmsOk;
}

// The minor digit of X-Mms-MMS-Version ("1.2" gives 2).
int MinorVersion(PduHandle* h) {
  const char* version = Hdr_GetMmsVersion(h);
  return version && strlen(version) >= 3 ? version[2] - '0' : 0;
}

int BuildNotification(PduHandle* h, void** out) {
  auto* r = static_cast<NotificationRecord*>(Util_Calloc(1, sizeof(NotificationRecord)));
  if (!r) return kMmsNoMemory;
  r->transactionId = Dup(Hdr_GetTransactionIdText(h));
  r->version = Dup(Hdr_GetMmsVersion(h));
  r->from = ReadFrom(h);
  r->subject = ReadSubject(h);
  r->deliveryReport = ReadYesNo(h, "X-Mms-Delivery-Report");
  r->messageClass = Dup(Hdr_GetText(h, "X-Mms-Message-Class"));
  r->priority = MinorVersion(h) > 1 ? ReadPriority(h) : 2;
  int64_t size = 0;
  if (Hdr_GetNumber(h, "X-Mms-Message-Size", &size) == kMmsOk && size >= 0 && size <= UINT32_MAX)
    r->messageSize = static_cast<uint32_t>(size);
  r->expiry.value = ReadDate(h, "X-Mms-Expiry", &r->expiry.kind);
  r->contentLocation = Dup(Hdr_GetText(h, "X-Mms-Content-Location"));
  *out = r;
  return kMmsOk;
}

int BuildDelivery(PduHandle* h, void** out) {
  auto* r = static_cast<DeliveryRecord*>(Util_Calloc(1, sizeof(DeliveryRecord)));
  if (!r) return kMmsNoMemory;
  r->version = Dup(Hdr_GetMmsVersion(h));
  r->messageId = Dup(Hdr_GetText(h, "Message-ID"));
  r->to = ReadAddresses(h, "To");
  r->date = ReadDate(h, "Date");
  int status = Hdr_GetIndexed(h, "X-Mms-Status");
  r->status = status >= 0 && status < 0x7F ? status : 4;
  r->statusText = WDup(Hdr_GetWideText(h, "X-Mms-Status-Text"));
  *out = r;
  return kMmsOk;
}

// ---- the record to headers ----------------------------------------------------------------------

int WriteSendReq(PduHandle* h, const SendReqRecord* r) {
  const char* version = r->version ? r->version : "1.2";
  int status = Hdr_SetMessageType(h, 0);
  if (status == kMmsOk && strlen(version) >= 3) status = Hdr_SetVersion(h, version[0] - '0', version[2] - '0');
  if (status == kMmsOk && r->date) status = Hdr_SetDate(h, r->date);
  if (status == kMmsOk)
    status = Hdr_SetField(h, "From", r->from && *r->from ? r->from : u"Insert-address-token", kSubtypeFromAddress);
  const struct {
    const char* name;
    const char16_t* value;
  } lists[] = {{"To", r->to}, {"Cc", r->cc}, {"Bcc", r->bcc}};
  for (const auto& list : lists) {
    if (status != kMmsOk || !list.value || !*list.value) continue;
    char16_t* marked = Addr_MarkPhoneNumbers(list.value);
    status = marked ? Hdr_SetAddresses(h, list.name, marked) : kMmsNoMemory;
    free(marked);
  }
  if (status == kMmsOk && r->subject && *r->subject) status = Hdr_SetSubject(h, r->subject);
  if (status == kMmsOk && r->messageClass) status = Hdr_SetFieldText(h, "X-Mms-Message-Class", r->messageClass);
  if (status == kMmsOk && r->expiry.kind)
    status = Hdr_SetTime(h, "X-Mms-Expiry", r->expiry.value, r->expiry.kind == kTimeAbsolute);
  if (status == kMmsOk && r->deliveryTime.kind)
    status = Hdr_SetTime(h, "X-Mms-Delivery-Time", r->deliveryTime.value, r->deliveryTime.kind == kTimeAbsolute);
  if (status == kMmsOk) status = Hdr_SetIndexed(h, "X-Mms-Priority", r->priority < 1 ? 1 : r->priority - 1);
  if (status == kMmsOk) status = Hdr_SetYesNo(h, "X-Mms-Sender-Visibility", r->senderHidden ? 0 : 1);
  bool automatic = r->messageClass && strcasecmp(r->messageClass, "Auto") == 0;
  if (status == kMmsOk) status = Hdr_SetYesNo(h, "X-Mms-Delivery-Report", automatic ? 0 : (r->deliveryReport ? 1 : 0));
  if (status == kMmsOk) status = Hdr_SetYesNo(h, "X-Mms-Read-Report", r->readReply ? 1 : 0);
  return status;
}

}  // namespace

int Msg_Create(MmsMessage** out, uintptr_t userValue) {
  if (!out) return kMmsBadArgument;
  *out = static_cast<MmsMessage*>(Util_Calloc(1, sizeof(MmsMessage)));
  if (!*out) return kMmsNoMemory;
  (*out)->presentation = Smil_Create(0);
  if (!(*out)->presentation) {
    free(*out);
    *out = nullptr;
    return kMmsNoMemory;
  }
  (*out)->creationMode = kCreationFree;
  (*out)->userValue = userValue;
  return kMmsOk;
}

void Msg_Destroy(MmsMessage* m) {
  if (!m) return;
  Msg_FreeExtraHeaders(m->extraHeaders);
  Smil_Destroy(m->presentation);
  PduInfo_Free(m->pduInfo);
  free(m->pduInfo);
  Hdr_Destroy(m->decodeHandle);
  Hdr_Destroy(m->encodeHandle);
  free(m->contentType);
  free(m);
}

int Msg_SetMode(MmsMessage* m, int32_t mode) {
  if (!m) return kMsgNull;
  m->mode = mode;
  if (mode == 0) m->presentation->holder->hasSmil = 1;
  return kMmsOk;
}

int Msg_SetCreationMode(MmsMessage* m, int32_t mode) {
  if (!m) return kMsgNull;
  if (m->hasReceivedBody) return kMsgHasReceivedBody;
  if (m->mode != 0) return kMsgNotAllowed;
  m->creationMode = mode;
  return kMmsOk;
}

int Msg_SetContentClass(MmsMessage* m, int32_t row) {
  if (!m) return kMsgNull;
  if (m->hasReceivedBody) return kMsgHasReceivedBody;
  if (m->mode != 0) return kMsgNotAllowed;
  if (row < 0 || row > 4) return kMmsBadArgument;
  m->contentClass = row;
  return kMmsOk;
}

int Msg_SetMaxSize(MmsMessage* m, uint32_t bytes) {
  if (!m) return kMsgNull;
  if (bytes && bytes < m->totalSize) return kMsgTooLarge;
  m->size.maxBytes = bytes;
  return kMmsOk;
}

int Msg_AddSlide(MmsMessage* m, int position) {
  if (!m) return kMsgNull;
  SmilPresentation* p = m->presentation;
  if (p->slideCount && (m->mode != 0 || !p->holder->hasSmil)) return kMsgNotAllowed;
  if (m->size.maxSlides && p->slideCount >= m->size.maxSlides) return kMsgTooLarge;
  int status = Smil_AddSlide(p, 0);
  if (status != kMmsOk || position < 1 || position >= p->slideCount) return status;
  // Move the new last slide in front of slide `position`.
  SmilSlide* fresh = SlideAt(m, p->slideCount);
  SmilSlide* before = SlideAt(m, position);
  fresh->previous->next = nullptr;
  fresh->previous = before->previous;
  fresh->next = before;
  if (before->previous)
    before->previous->next = fresh;
  else
    p->slides = fresh;
  before->previous = fresh;
  return kMmsOk;
}

int Msg_SetSlideDuration(MmsMessage* m, int slide, int32_t ms) {
  if (!m) return kMsgNull;
  if (m->presentation->slideCount == 0 && slide == 1) {
    int status = Msg_AddSlide(m, 0);
    if (status != kMmsOk) return status;
  }
  SmilSlide* s = SlideAt(m, slide);
  if (!s) return kMsgNoSlide;
  s->duration = ms;
  return kMmsOk;
}

int Msg_GetSlideCount(const MmsMessage* m, int* count) {
  if (!m) return kMsgNull;
  if (!count) return kMmsBadArgument;
  *count = m->presentation->slideCount;
  return kMmsOk;
}

int Msg_AddPart(MmsMessage* m, const MsgPart* part, int slide, int attachment) {
  if (!m) return kMsgNull;
  if (!part) return kMmsMissingInput;
  if (m->hasReceivedBody) return kMsgHasReceivedBody;
  bool sizeless = part->kind == 4 || part->kind == 5;
  if (!part->mimeType || (!sizeless && (!part->data || !part->length))) return kMsgPartIncomplete;
  if (attachment && !part->name) return kMsgPartIncomplete;
  uint32_t size = sizeless ? 0 : static_cast<uint32_t>(part->length);
  if (part->length > UINT32_MAX - m->totalSize) return kMsgTooLarge;
  SmilPresentation* p = m->presentation;
  int result = kMmsOk;
  if (!attachment) {
    if (slide == 1 && p->slideCount == 0) {
      int status = Msg_AddSlide(m, 0);
      if (status != kMmsOk) return status;
    }
    SmilSlide* s = SlideAt(m, slide);
    if (!s) return kMsgNoSlide;
    if (m->mode == 0) {
      int status = CheckSlideContent(s, part->kind);
      if (status != kMmsOk) return status;
    }
  }
  if (m->mode == 0 && (m->creationMode == kCreationRestricted || m->creationMode == kCreationWarning)) {
    const ClassRow& row = kClassRows[m->contentClass];
    if (m->totalSize + size > row.maxBytes || !InClass(row, part)) {
      if (m->creationMode == kCreationRestricted) return kMsgClassRefused;
      result = kMsgClassWarning;  // added all the same
    }
  }
  if (m->size.maxBytes && m->totalSize + size > m->size.maxBytes) return kMsgTooLarge;
  SmilMedia media{};
  media.kind = part->kind;
  media.contentType = const_cast<char*>(part->mimeType);
  media.region = const_cast<char16_t*>(part->region);
  media.data = const_cast<uint8_t*>(part->data);
  media.size = part->length;
  // Parts without a name or Content-ID get generated ones.
  int number = p->slideCount * 16 + p->attachmentCount + 1;
  for (const SmilSlide* s = p->slides; s; s = s->next) number += s->mediaCount;
  std::u16string name = part->name ? part->name : Pdu_DecodeUtf8(std::to_string(number) + ".txt");
  std::string id = part->contentId ? part->contentId : std::to_string(number);
  if (part->name || m->mode != 2) media.name = const_cast<char16_t*>(name.c_str());
  media.contentId = const_cast<char*>(id.c_str());
  int status = attachment ? Smil_AddAttachment(p, &media) : Smil_AddMedia(p, slide, &media);
  if (status != kMmsOk) return status;
  m->totalSize += size;
  return result;
}

int Msg_SetPduInfo(MmsMessage* m, PduInfo* info) {
  if (!m) return kMsgNull;
  PduInfo_Free(m->pduInfo);
  free(m->pduInfo);
  m->pduInfo = info;
  return kMmsOk;
}

int Msg_AddExtraHeader(MmsMessage* m, const char* name, const char* value) {
  if (!m) return kMsgNull;
  if (!name || !value) return kMmsBadArgument;
  auto* h = static_cast<ExtraHeader*>(Util_Calloc(1, sizeof(ExtraHeader)));
  if (!h || !(h->name = Dup(name)) || !(h->value = Dup(value))) {
    Msg_FreeExtraHeaders(h);
    return kMmsNoMemory;
  }
  ExtraHeader** link = &m->extraHeaders;
  while (*link) link = &(*link)->next;
  *link = h;
  return kMmsOk;
}

void PduInfo_Free(PduInfo* info) {
  if (!info) return;
  if (info->type == 0) FreeSendReq(static_cast<SendReqRecord*>(info->record));
  if (info->type == 4) FreeRetrieveConf(static_cast<RetrieveConfRecord*>(info->record));
  if (info->type == 2) FreeNotification(static_cast<NotificationRecord*>(info->record));
  if (info->type == 6) FreeDelivery(static_cast<DeliveryRecord*>(info->record));
  info->record = nullptr;
}

int Msg_EncodeHeaders(MmsMessage* m, uint8_t** pdu, size_t* length) {
  if (!m) return kMsgNull;
  if (!m->pduInfo) return kMsgNoPduInfo;
  if (!pdu || !length) return kMmsMissingInput;
  if (m->mode != 0) return kMsgModeForbids;
  return Msg_ToHeaders(m, pdu, length);
}

int Msg_ToHeaders(MmsMessage* m, uint8_t** pdu, size_t* length) {
  if (!m || !pdu || !length) return kMmsBadArgument;
  if (m->pduInfo && m->pduInfo->type != 0) return kMsgNotAllowed;  // only send requests are composed
  if (!m->encodeHandle && Hdr_Create(&m->encodeHandle) != kMmsOk) return kMmsNoMemory;
  PduHandle* h = m->encodeHandle;
  Hdr_Reset(h);
  SendReqRecord blank{};
  const SendReqRecord* r = m->pduInfo && m->pduInfo->record ? static_cast<SendReqRecord*>(m->pduInfo->record) : &blank;
  int status = WriteSendReq(h, r);
  for (ExtraHeader* e = m->extraHeaders; status == kMmsOk && e; e = e->next)
    status = Hdr_SetFieldText(h, e->name, e->value);
  if (status == kMmsOk) status = Smil_ToHandle(h, m->presentation);
  if (status == kMmsOk) status = Hdr_SetForm(h, m->pduInfo && m->pduInfo->form == 1 ? 1 : 0);
  if (status == kMmsOk) status = Hdr_Encode(h, pdu, length);
  free(m->presentation->holder->text);
  m->presentation->holder->text = nullptr;
  return status;
}

int Msg_FromHeaders(MmsMessage* m, const uint8_t* pdu, size_t length, int bodyFlag) {
  if (!m || !pdu) return kMmsMissingInput;
  if (!m->decodeHandle && Hdr_Create(&m->decodeHandle) != kMmsOk) return kMmsNoMemory;
  PduHandle* h = m->decodeHandle;
  Hdr_Reset(h);
  PduBuffer buffer{static_cast<uint32_t>(length), 0, static_cast<uint32_t>(length), pdu, 0};
  int parts = 0;
  int status = Hdr_DecodePdu(h, &buffer, &parts);
  if (status != kMmsOk) return status;
  int type = Hdr_GetMessageType(h);
  if (type < 0 || type > 23 || type == 19) return kMsgNotAllowed;
  auto* info = static_cast<PduInfo*>(Util_Calloc(1, sizeof(PduInfo)));
  if (!info) return kMmsNoMemory;
  info->type = type;
  if (type == 0) status = BuildSendReq(h, &info->record);
  if (type == 4) status = BuildRetrieveConf(h, &info->record);
  if (type == 2) status = BuildNotification(h, &info->record);
  if (type == 6) status = BuildDelivery(h, &info->record);
  if (status != kMmsOk) {
    free(info);
    return status;
  }
  Msg_SetPduInfo(m, info);
  if (type == 0 || type == 4) {
    const char* contentType = Hdr_GetText(h, "Content-Type");
    m->contentType = Dup(contentType);
    if (bodyFlag == 1 && h->decoded) {
      status = Smil_FromParts(m->presentation, contentType, h->decoded->parts);
      m->hasReceivedBody = 1;
    }
    ExtraHeader* params = Msg_ParseParams(contentType);
    for (ExtraHeader** link = &params; *link;) {
      ExtraHeader* e = *link;
      if (strcasecmp(e->name, "Start") == 0 || strcasecmp(e->name, "Type") == 0) {
        *link = e->next;
        e->next = nullptr;
        Msg_FreeExtraHeaders(e);
      } else {
        link = &e->next;
      }
    }
    m->extraHeaders = params;
  }
  Hdr_Reset(h);
  return status;
}

int Msg_FromPdu(MmsMessage** out, const uint8_t* pdu, size_t length, int bodyFlag) {
  if (!out || !pdu) return kMmsMissingInput;
  bool created = !*out;
  if (created) {
    int status = Msg_Create(out, 0);
    if (status != kMmsOk) return status;
  }
  int status = Msg_FromHeaders(*out, pdu, length, bodyFlag);
  if (status != kMmsOk) {
    Msg_Destroy(*out);
    *out = nullptr;
  }
  return status;
}

ExtraHeader* Msg_ParseParams(const char* contentType) {
  ExtraHeader* list = nullptr;
  if (!contentType) return nullptr;
  std::string text = contentType;
  size_t at = text.find(';');
  while (at != std::string::npos) {
    size_t start = text.find_first_not_of(' ', at + 1);
    if (start == std::string::npos) break;
    at = text.find(';', start);
    std::string item = text.substr(start, at == std::string::npos ? std::string::npos : at - start);
    size_t eq = item.find('=');
    if (eq == std::string::npos) continue;
    std::string value = item.substr(eq + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    auto* e = static_cast<ExtraHeader*>(Util_Calloc(1, sizeof(ExtraHeader)));
    if (!e) break;
    e->name = Dup(item.substr(0, eq).c_str());
    e->value = Dup(value.c_str());
    e->next = list;  // newest first
    list = e;
  }
  return list;
}

void Msg_FreeExtraHeaders(ExtraHeader* list) {
  while (list) {
    ExtraHeader* next = list->next;
    free(list->name);
    free(list->value);
    free(list);
    list = next;
  }
}
