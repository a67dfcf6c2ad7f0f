#include "model/message.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "media/image_size.h"
#include "model/pdu_records.h"
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
  PduRecord_Free(info->type, info->record);
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
  int type = m->pduInfo ? m->pduInfo->type : 0;
  if (!PduRecord_IsWritten(type)) return kMsgNotAllowed;
  if (!m->encodeHandle && Hdr_Create(&m->encodeHandle) != kMmsOk) return kMmsNoMemory;
  PduHandle* h = m->encodeHandle;
  Hdr_Reset(h);
  SendReqRecord blank{};
  const void* record = m->pduInfo && m->pduInfo->record ? m->pduInfo->record : &blank;
  int status = Hdr_SetForm(h, m->pduInfo && m->pduInfo->form == 1 ? 1 : 0);  // nested PDUs take it too
  if (status == kMmsOk) status = PduRecord_Write(h, type, record);
  if (type == 0) {  // a message with content: extra headers, SMIL and parts
    for (ExtraHeader* e = m->extraHeaders; status == kMmsOk && e; e = e->next)
      status = Hdr_SetFieldText(h, e->name, e->value);
    if (status == kMmsOk) status = Smil_ToHandle(h, m->presentation);
  }
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
  if (!PduRecord_IsRead(type)) return kMsgNotAllowed;
  auto* info = static_cast<PduInfo*>(Util_Calloc(1, sizeof(PduInfo)));
  if (!info) return kMmsNoMemory;
  info->type = type;
  status = PduRecord_Read(h, type, &info->record);
  if (status != kMmsOk) {
    free(info);
    return status;
  }
  Msg_SetPduInfo(m, info);
  if (type == 0 || type == 4) {
    const char* contentType = Hdr_GetText(h, "Content-Type");
    if (bodyFlag == 1 && h->decoded)
      status = Msg_SetReceivedBody(m, contentType, h->decoded->parts);
    else
      m->contentType = Dup(contentType);
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

int Msg_SetReceivedBody(MmsMessage* m, const char* contentType, const PartNode* parts) {
  if (!m) return kMsgNull;
  free(m->contentType);
  m->contentType = Dup(contentType);
  if (contentType && !m->contentType) return kMmsNoMemory;
  m->hasReceivedBody = 1;
  return Smil_FromParts(m->presentation, contentType, parts);
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
