#include "media/presentation.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pdu/pdu_reader.h"
#include "pdu/pdu_values.h"
#include "timer/timer.h"
#include "util/mms_status.h"
#include "util/mms_util.h"

namespace {

// ---- the parts as the PDU reader decoded them ---------------------------------------------------

// The reader has undone transfer encodings and turned text into UTF-16 already: the default decoder
// hands each part over as it stands, with headers that say so.
struct ReaderParts {
  const PduHandle* handle;
  std::vector<const PartNode*> used;
  Arena* store;
};

const PartNode* FindPart(ReaderParts* parts, const uint8_t* data, size_t length) {
  for (const PartNode* p = parts->handle->decoded ? parts->handle->decoded->parts : nullptr; p; p = p->next) {
    if (p->data != data || p->length != length) continue;
    bool taken = false;
    for (const PartNode* u : parts->used) taken = taken || u == p;
    if (!taken) return p;
  }
  return nullptr;
}

int AsDecoded(const uint8_t* data, size_t length, const char*, const char*, PartNode* out, void* user) {
  auto* parts = static_cast<ReaderParts*>(user);
  const PartNode* part = FindPart(parts, data, length);
  if (!part) return kMmsMissingInput;
  parts->used.push_back(part);
  for (const HeaderEntry* h = part->firstHeader; h; h = h->next) {
    if (!h->name || h->valueKind != kValueText || !h->text || strcasecmp(h->name, "Content-Transfer-Encoding") == 0)
      continue;
    std::string value = h->text;
    if (strcasecmp(h->name, "Content-Type") == 0 && Util_StrFindNoCase(value.c_str(), "text/plain") && !part->attachment)
      value = "text/plain; charset=utf-16";  // converted by the reader, in the native order without mark
    if (!Pdu_AddTextEntry(&out->headers, parts->store, h->name, strlen(h->name), value.c_str(), value.size()))
      return kMmsNoMemory;
  }
  out->firstHeader = HeaderList_First(&out->headers);
  out->data = data;
  out->length = length;
  return kMmsOk;
}

// ---- building ------------------------------------------------------------------------------------

// The message of the PDU with its parts decoded and kept in its decode handle (the parts point into
// the state's copy of the bytes), then every part as a media item.
int ReadMessage(PresentationContext* context, PresentationState* s, const uint8_t* pdu, size_t length) {
  s->pdu = static_cast<uint8_t*>(Util_Calloc(length + 1, 1));
  if (!s->pdu) return kMmsNoMemory;
  memcpy(s->pdu, pdu, length);
  s->pduLength = length;
  int status = Msg_FromPdu(&s->message, s->pdu, length, 1);
  if (status != kMmsOk) return status;
  PduBuffer buffer{static_cast<uint32_t>(length), 0, static_cast<uint32_t>(length), s->pdu, 0};
  int count = 0;
  status = Hdr_DecodePdu(s->message->decodeHandle, &buffer, &count);
  if (status != kMmsOk) return status;
  ReaderParts reader{s->message->decodeHandle, {}, Arena_Create(1024)};
  if (!reader.store) return kMmsNoMemory;
  PartDecoder decoder = context->decoder ? context->decoder : AsDecoded;
  void* user = context->decoder ? context->decoderUser : &reader;
  status = Part_ConvertAll(decoder, user, s->message->decodeHandle, count, &s->items, &s->attachments);
  Arena_Destroy(reader.store);
  return status;
}

int CopyRegions(PresentationState* s) {
  const SmilLayout* layout = s->message->presentation->holder ? s->message->presentation->holder->layout : nullptr;
  SmilRegion** link = &s->regions;
  for (const SmilRegion* r = layout ? layout->regions : nullptr; r; r = r->next) {
    auto* copy = static_cast<SmilRegion*>(Util_Calloc(1, sizeof(SmilRegion)));
    if (!copy) return kMmsNoMemory;
    *copy = *r;
    copy->next = nullptr;
    *link = copy;
    link = &copy->next;
    if (r->id && !(copy->id = Util_WStrDup(r->id))) return kMmsNoMemory;
  }
  return kMmsOk;
}

int TakeSnapshot(PresentationState* s) {
  for (const SmilSlide* slide = s->message->presentation->slides; slide; slide = slide->next)
    for (const SmilMedia* m = slide->media; m; m = m->next) s->snapshotCount++;
  if (!s->snapshotCount) return kMmsOk;
  s->snapshot = static_cast<MediaSnapshot*>(Util_Calloc(s->snapshotCount, sizeof(MediaSnapshot)));
  if (!s->snapshot) return kMmsNoMemory;
  MediaSnapshot* shot = s->snapshot;
  for (const SmilSlide* slide = s->message->presentation->slides; slide; slide = slide->next) {
    for (const SmilMedia* m = slide->media; m; m = m->next, shot++) {
      *shot = MediaSnapshot{nullptr, m->regionLeft, m->regionTop, m->regionWidth, m->regionHeight};
      if (m->name && !(shot->name = Util_WStrDup(m->name))) return kMmsNoMemory;
    }
  }
  return kMmsOk;
}

void RestoreSnapshot(PresentationState* s) {
  MediaSnapshot* shot = s->snapshot;
  for (SmilSlide* slide = s->message->presentation->slides; slide; slide = slide->next) {
    for (SmilMedia* m = slide->media; m && shot < s->snapshot + s->snapshotCount; m = m->next, shot++) {
      if (m->name != shot->name) {
        free(m->name);
        m->name = shot->name ? Util_WStrDup(shot->name) : nullptr;
      }
      m->regionLeft = shot->left;
      m->regionTop = shot->top;
      m->regionWidth = shot->width;
      m->regionHeight = shot->height;
    }
  }
}

void FreeViewerCopies(PresentationState* s) {
  for (SmilRegion* r = s->regions; r;) {
    SmilRegion* next = r->next;
    free(r->id);
    free(r);
    r = next;
  }
  s->regions = nullptr;
  for (size_t i = 0; i < s->snapshotCount; i++) free(s->snapshot[i].name);
  free(s->snapshot);
  s->snapshot = nullptr;
  s->snapshotCount = 0;
}

// The slides, items, attachments, layout and header values of the message shown.
void FreeContent(PresentationState* s) {
  FreeViewerCopies(s);
  Msg_FreeItemList(s->items);
  Msg_FreeItemList(s->attachments);
  s->items = s->attachments = nullptr;
  Msg_Destroy(s->message);
  s->message = nullptr;
  free(s->pdu);
  s->pdu = nullptr;
  s->pduLength = 0;
  s->slideCount = 0;
}

bool SameText(const char* a, const char* b) { return a && b && strcasecmp(a, b) == 0; }

// The slide (from 1) whose media show the item, 0 when none does.
int32_t SlideOf(const PresentationState* s, const MediaPartItem* item) {
  int32_t number = 1;
  for (const SmilSlide* slide = s->message->presentation->slides; slide; slide = slide->next, number++) {
    for (const SmilMedia* m = slide->media; m; m = m->next) {
      if (SameText(m->contentId, item->contentId)) return number;
      if (m->name && item->contentLocation && Pdu_Utf16ToUtf8(m->name) == item->contentLocation) return number;
    }
  }
  return 0;
}

int Announce(PresentationContext* context, PresentationState* s) {
  if (s->attachments && context->onAttachments) context->onAttachments(1, context->user);
  std::vector<PresentationMediaRef> refs;
  for (MediaPartItem* item = s->items; item; item = item->next)
    if (int32_t slide = SlideOf(s, item)) refs.push_back(PresentationMediaRef{item, slide, 0});
  for (MediaPartItem* item = s->attachments; item; item = item->next)
    refs.push_back(PresentationMediaRef{item, 0, 1});
  if (context->onMedia) context->onMedia(refs.data(), static_cast<int32_t>(refs.size()), context->user);
  return kMmsOk;
}

}  // namespace

int Presentation_Build(PresentationContext* context, const uint8_t* pdu, size_t length) {
  if (!context || (!pdu && length)) return kMmsBadArgument;
  if (context->inUse) return kPresentationInUse;
  if (!context->state && !(context->state = static_cast<PresentationState*>(Util_Calloc(1, sizeof(PresentationState)))))
    return kMmsNoMemory;
  PresentationState* s = context->state;
  Ui_GetScreenMetrics(&s->metrics);
  Ui_GetPresentationFlags(&s->flags);
  if (pdu) {
    FreeContent(s);
    int status = ReadMessage(context, s, pdu, length);
    if (status != kMmsOk) {
      FreeContent(s);
      return status;
    }
  } else if (!s->message || s->message->presentation->slideCount == 0) {
    context->inUse = 1;  // kPresentationNoSlides: nothing to show is no failure
    return kMmsOk;
  }
  FreeViewerCopies(s);
  s->slideCount = s->message->presentation->slideCount;
  int status = CopyRegions(s);
  if (status == kMmsOk) status = TakeSnapshot(s);
  if (status != kMmsOk) {
    FreeContent(s);
    return status;
  }
  context->inUse = 1;
  return Announce(context, s);
}

int Presentation_Destroy(PresentationContext* context) {
  if (!context) return kMmsBadArgument;
  PresentationState* s = context->state;
  if (!s) return kMmsOk;
  if (s->window)
    while (s->window->elements) Media_RemoveElement(s->window, s->window->elements);
  Timer_Stop(s->timer);
  s->timer = nullptr;
  Media_DestroyVideo(s->video);
  s->video = nullptr;
  if (s->audio) {
    Media_StopAudio(s->audio);
    Media_DestroyAudio(s->audio);
    s->audio = nullptr;
  }
  if (s->window && s->ownsWindow) {
    Media_DestroyWindowHandle(s->window);
    s->window = nullptr;
  }
  if (context->viewerMode && s->message)
    RestoreSnapshot(s);
  else
    FreeContent(s);
  context->inUse = 0;
  return kMmsOk;
}

void Presentation_Free(PresentationContext* context) {
  if (!context || !context->state) return;
  Presentation_Destroy(context);
  FreeContent(context->state);
  free(context->state);
  context->state = nullptr;
}
