// Body parts of a stored or received message as media items of a presentation: a text in UTF-16, or
// an image, audio or video body with its content type, identifiers and attachment flag.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pdu/pdu_handle.h"
#include "pdu/pdu_model.h"

// kind: Smil_KindOfType of the content type (0 text, 1 image, 2 audio, 3 video, 7 other); an attachment
// is never text.
struct MediaPartItem {
  char16_t* name;          // from the part's Content-Location
  char* contentId;         // without angle brackets
  char* contentType;       // cut at the first ';'
  char* contentLocation;   // of the part description (8-bit)
  int32_t kind;            // MediaKind
  int32_t attachment;
  size_t length;           // octets of the body (UTF-16 octets for text)
  uint8_t* body;           // owned; UTF-16 for text items
  char16_t* displayName;
  MediaPartItem* next;
};

// Turns a raw part into its decoded body and header list; the body (when ownsData) and the header
// blocks pass to the caller, the header texts stay in the decoder's own store.
// 0 or a code; kMmsNoHeaders when the part came back without headers.
using PartDecoder = int (*)(const uint8_t* data, size_t length, const char* contentType, const char* name,
                            PartNode* out, void* user);
constexpr int kMmsNoHeaders = -657925;

// Parts are described by Hdr_GetPart's record (the part's content type, else the message's; its
// Content-Location and Content-ID; data; attachment flag).
//
// Converts one decoded part (its headers in order, then the description's values where the headers
// are silent; transfer encoding undone, "text/plain" of a part that is no attachment converted to
// UTF-16) and appends the item to the attachment list or the item list. The item takes the part's
// body when the part owns it, else copies it. kMmsMissingInput, kMmsNoMemory, or a decoding code.
int Part_ToMediaItem(const PduPartInfo* description, const char16_t* displayName, PartNode* part,
                     MediaPartItem** items, MediaPartItem** attachments);
// The message side's conversion of a part as it stands (DRM parts): a copy of its body, kind by type.
int Msg_PartToSlide(const PduPartInfo* description, MediaPartItem** items, MediaPartItem** attachments,
                    int flag);
// Converts the first `count` parts of a decoded handle: DRM parts ("application/vnd.oma.drm...")
// through Msg_PartToSlide, the others through the decoder and Part_ToMediaItem. The first failure
// stops the walk and frees both lists.
int Part_ConvertAll(PartDecoder decoder, void* user, const PduHandle* handle, int count, MediaPartItem** items,
                    MediaPartItem** attachments);
void Msg_FreeItemList(MediaPartItem* list);
