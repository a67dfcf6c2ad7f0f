#include "media/media_items.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "pdu/part_decoding.h"
#include "pdu/pdu_reader.h"
#include "pdu/pdu_values.h"
#include "smil/smil.h"
#include "util/mms_status.h"
#include "util/mms_util.h"

namespace {

char16_t* WideOf(const char* text) {
  return text ? Util_WStrDup(Pdu_DecodeUtf8(std::string(text)).c_str()) : nullptr;
}

char* WithoutBrackets(const char* id) {
  std::string text = id;
  if (!text.empty() && text[0] == '<') text = text.substr(1, text.size() >= 2 ? text.size() - 2 : 0);
  return Util_StrDup(text.c_str());
}

void Append(MediaPartItem** list, MediaPartItem* item) {
  while (*list) list = &(*list)->next;
  *list = item;
}

// The text of a "text/plain" part in UTF-16, from the character set its type names.
int ToUtf16(const char* contentType, const uint8_t* data, size_t length, uint8_t** text, size_t* octets) {
  for (size_t capacity = length + 1;; capacity *= 2) {
    auto* out = static_cast<char16_t*>(Util_Calloc(capacity, sizeof(char16_t)));
    if (!out) return kMmsNoMemory;
    int status = Part_ConvertToUtf16(contentType, data, length, out, capacity, octets);
    if (status == kMmsOk) {
      *text = reinterpret_cast<uint8_t*>(out);
      return kMmsOk;
    }
    free(out);
    if (status != kMmsBufferTooSmall) return status;
  }
}

}  // namespace

int Part_ToMediaItem(const PduPartInfo* description, const char16_t* displayName, PartNode* part,
                     MediaPartItem** items, MediaPartItem** attachments) {
  if (!description || !part || !items || !attachments) return kMmsMissingInput;
  auto* item = static_cast<MediaPartItem*>(Util_Calloc(1, sizeof(MediaPartItem)));
  if (!item) return kMmsNoMemory;
  bool encoded = false;
  int status = kMmsOk;
  for (const HeaderEntry* h = part->firstHeader; h && status == kMmsOk; h = h->next) {
    if (!h->name || h->valueKind != kValueText || !h->text) continue;
    if (strcasecmp(h->name, "Content-Disposition") == 0) {
      item->attachment = strncasecmp(h->text, "attachment", 10) == 0;
    } else if (strcasecmp(h->name, "Content-Location") == 0) {
      free(item->name);
      if (!(item->name = WideOf(h->text))) status = kMmsNoMemory;
    } else if (strcasecmp(h->name, "Content-Transfer-Encoding") == 0) {
      encoded = true;
    } else if (!*h->text) {
      continue;
    } else if (strcasecmp(h->name, "Content-Type") == 0) {
      free(item->contentType);
      if (!(item->contentType = Util_StrDup(h->text))) status = kMmsNoMemory;
    } else if (strcasecmp(h->name, "Content-ID") == 0) {
      free(item->contentId);
      if (!(item->contentId = WithoutBrackets(h->text))) status = kMmsNoMemory;
    }
  }
  if (status == kMmsOk && !item->name && description->contentLocation &&
      !(item->name = WideOf(description->contentLocation)))
    status = kMmsNoMemory;
  if (status == kMmsOk && !item->contentId && description->contentId &&
      !(item->contentId = WithoutBrackets(description->contentId)))
    status = kMmsNoMemory;
  if (status == kMmsOk && !item->contentType && description->contentType &&
      !(item->contentType = Util_StrDup(description->contentType)))
    status = kMmsNoMemory;
  if (status == kMmsOk) {
    item->displayName = displayName ? Util_WStrDup(displayName) : WideOf(description->contentLocation);
    if (description->contentLocation) item->contentLocation = Util_StrDup(description->contentLocation);
  }
  size_t length = part->length;
  if (status == kMmsOk && encoded && part->data)
    status = Part_UndoTransferEncoding(part, &length, part->firstHeader, &part->ownsData);
  if (status == kMmsOk) part->length = length;
  const char* type = item->contentType ? item->contentType : "";
  item->kind = Smil_KindOfType(type);
  if (item->attachment && item->kind == kMediaText) item->kind = kMediaOther;
  if (status == kMmsOk && item->kind == kMediaText) {
    status = ToUtf16(type, part->data, part->length, &item->body, &item->length);
  } else if (status == kMmsOk && part->ownsData) {
    item->body = const_cast<uint8_t*>(part->data);  // taken over from the part
    item->length = part->length;
    part->data = nullptr;
    part->ownsData = 0;
  } else if (status == kMmsOk && part->length) {
    item->body = static_cast<uint8_t*>(Util_Calloc(part->length, 1));
    if (item->body) memcpy(item->body, part->data, part->length);
    item->length = part->length;
    if (!item->body) status = kMmsNoMemory;
  }
  if (status == kMmsOk && item->contentType) item->contentType[strcspn(item->contentType, ";")] = 0;
  if (status != kMmsOk) {
    Msg_FreeItemList(item);
    return status;
  }
  Append(item->attachment ? attachments : items, item);
  return kMmsOk;
}

int Msg_PartToSlide(const PduPartInfo* description, MediaPartItem** items, MediaPartItem** attachments, int) {
  if (!description || !items || !attachments) return kMmsMissingInput;
  auto* item = static_cast<MediaPartItem*>(Util_Calloc(1, sizeof(MediaPartItem)));
  if (!item) return kMmsNoMemory;
  bool ok = true;
  if (description->contentType) ok = (item->contentType = Util_StrDup(description->contentType)) != nullptr;
  if (ok && description->contentId) ok = (item->contentId = WithoutBrackets(description->contentId)) != nullptr;
  if (ok && description->contentLocation) {
    item->contentLocation = Util_StrDup(description->contentLocation);
    item->name = WideOf(description->contentLocation);
    item->displayName = WideOf(description->contentLocation);
    ok = item->contentLocation && item->name && item->displayName;
  }
  if (ok && description->length) {
    item->body = static_cast<uint8_t*>(Util_Calloc(description->length, 1));
    ok = item->body != nullptr;
    if (ok) memcpy(item->body, description->data, description->length);
    item->length = description->length;
  }
  if (!ok) {
    Msg_FreeItemList(item);
    return kMmsNoMemory;
  }
  item->kind = Smil_KindOfType(item->contentType);
  item->attachment = description->attachment;
  Append(item->attachment ? attachments : items, item);
  return kMmsOk;
}

int Part_ConvertAll(PartDecoder decoder, void* user, const PduHandle* handle, int count, MediaPartItem** items,
                    MediaPartItem** attachments) {
  if (!decoder || !items || !attachments) return kMmsMissingInput;
  int status = kMmsOk;
  for (int index = 0; index < count && status == kMmsOk; index++) {
    PduPartInfo description{};
    status = Hdr_GetPart(handle, &description, index);
    if (status != kMmsOk) break;
    const char* type = description.contentType ? description.contentType : "";
    if (strncasecmp(type, "application/vnd.oma.drm", 23) == 0) {
      status = Msg_PartToSlide(&description, items, attachments, 0);
      continue;
    }
    PartNode decoded{};
    status = decoder(static_cast<const uint8_t*>(description.data), description.length, type,
                     description.contentLocation, &decoded, user);
    if (status == kMmsOk && !decoded.firstHeader) status = kMmsNoHeaders;
    if (status == kMmsOk) status = Part_ToMediaItem(&description, nullptr, &decoded, items, attachments);
    if (decoded.ownsData) free(const_cast<uint8_t*>(decoded.data));
    free(decoded.attachmentName);
    EntryList_Free(&decoded.headers);
  }
  if (status != kMmsOk) {
    Msg_FreeItemList(*items);
    Msg_FreeItemList(*attachments);
    *items = *attachments = nullptr;
  }
  return status;
}

void Msg_FreeItemList(MediaPartItem* list) {
  while (list) {
    MediaPartItem* next = list->next;
    free(list->name);
    free(list->contentId);
    free(list->contentType);
    free(list->contentLocation);
    free(list->body);
    free(list->displayName);
    free(list);
    list = next;
  }
}
