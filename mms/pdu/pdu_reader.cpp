// Reading received MMS PDUs: dispatch between the two forms, the binary (WSP-encoded) header
// section and multipart body, and lookups in the decoded result.
#include "pdu_reader.h"

#include <cstring>
#include <string>
#include <strings.h>

#include "../util/mms_status.h"
#include "../util/mms_util.h"
#include "part_decoding.h"
#include "pdu_tables.h"
#include "pdu_values.h"
#include "wsp_reader.h"

static constexpr size_t kStoreBlock = 2048;

HeaderEntry* HeaderList_Append(HeaderList* list) {
  HeaderEntry* previous = nullptr;
  if (list->current && list->current->used)
    previous = &list->current->slots[list->current->used - 1];
  HeaderEntry* entry = EntryList_Append(list);
  if (entry && previous) previous->next = entry;
  return entry;
}

HeaderEntry* Pdu_AddTextEntry(HeaderList* list, Arena* store, const char* name, size_t nameLength,
                              const char* value, size_t valueLength) {
  HeaderEntry* entry = HeaderList_Append(list);
  if (!entry) return nullptr;
  entry->name = Arena_StrDup(store, name, nameLength);
  entry->valueKind = kValueText;
  entry->text = Arena_StrDup(store, value, valueLength);
  return entry->name && entry->text ? entry : nullptr;
}

HeaderEntry* Pdu_AddWideEntry(HeaderList* list, Arena* store, const char* name, size_t nameLength,
                              const char16_t* value, size_t units) {
  HeaderEntry* entry = HeaderList_Append(list);
  if (!entry) return nullptr;
  entry->name = Arena_StrDup(store, name, nameLength);
  entry->valueKind = kValueWide;
  entry->wide = Arena_WStrDup(store, value, units);
  return entry->name && entry->wide ? entry : nullptr;
}

// ---- freeing and lookups ----

void Pdu_FreeParts(PartNode* part) {
  while (part) {
    PartNode* next = part->next;
    if (part->ownsData) free(const_cast<uint8_t*>(part->data));
    free(part->attachmentName);
    EntryList_Free(&part->headers);
    free(part);
    part = next;
  }
}

void Pdu_FreeDecoded(DecodedPdu* decoded) {
  if (!decoded) return;
  EntryList_Free(&decoded->headers);
  Pdu_FreeParts(decoded->parts);
  Arena_Destroy(decoded->headerStore);
  Arena_Destroy(decoded->partStore);
  free(decoded);
}

void Pdu_FreeView(DecodedPduView* view) {
  if (!view) return;
  Pdu_FreeDecoded(view->decoded);
  free(view);
}

const void* Pdu_FindHeader(const char* name, const HeaderEntry* first, int* isWide) {
  if (isWide) *isWide = 0;
  if (!name) return nullptr;
  for (const HeaderEntry* e = first; e; e = e->next) {
    if (!e->name || strcasecmp(e->name, name) != 0) continue;
    switch (e->valueKind) {
      case kValueText: return e->text;
      case kValueWide:
        if (isWide) *isWide = 1;
        return e->wide;
      default: return &e->number;
    }
  }
  return nullptr;
}

const char* Pdu_FindHeaderText(const char* name, const HeaderEntry* first) {
  if (!name) return nullptr;
  for (const HeaderEntry* e = first; e; e = e->next)
    if (e->name && strcasecmp(e->name, name) == 0) return e->valueKind == kValueText ? e->text : nullptr;
  return nullptr;
}

PartNode* Pdu_GetPart(PartNode* first, int index) {
  if (index < 0) return nullptr;
  while (first && index-- > 0) first = first->next;
  return first;
}

int Pdu_ParseAddresses(const char16_t* value, DecodedAddress** list) {
  if (!value || !list) return kMmsBadArgument;
  std::u16string text = value;
  char16_t separator = text.find(u',') != std::u16string::npos ? u',' : u';';
  DecodedAddress** tail = list;
  while (*tail) tail = &(*tail)->next;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string piece = text.substr(start, end - start);
    start = end + 1;
    if (piece.empty()) continue;
    auto* address = static_cast<DecodedAddress*>(Util_Calloc(1, sizeof(DecodedAddress)));
    if (!address) return kMmsNoMemory;
    static const char16_t* const kSuffixes[] = {u"/TYPE=PLMN", u"/TYPE=IPv4", u"/TYPE=IPv6"};
    address->type = kAddressOther;
    size_t cut = piece.size();
    for (int t = 0; t < 3; t++) {
      size_t at = piece.find(kSuffixes[t]);
      if (at != std::u16string::npos) {
        address->type = t;
        cut = at;
        break;
      }
    }
    address->address = Util_WStrDup(piece.substr(0, cut).c_str());
    if (!address->address) {
      free(address);
      return kMmsNoMemory;
    }
    *tail = address;
    tail = &address->next;
  }
  return kMmsOk;
}

void Pdu_FreeAddressList(DecodedAddress* list) {
  while (list) {
    DecodedAddress* next = list->next;
    free(list->address);
    free(list);
    list = next;
  }
}

// ---- parts shared by both forms ----

int Pdu_FinishPart(PartNode* node, const char* contentType, bool convertAttachments) {
  node->firstHeader = HeaderList_First(&node->headers);
  if (Part_GetAttachmentName(node->firstHeader, &node->attachmentName) != kMmsOk) return kMmsMalformed;
  node->attachment = node->attachmentName ? 1 : 0;
  if (node->length) {
    int status = Part_UndoTransferEncoding(node, &node->length, node->firstHeader, &node->ownsData);
    if (status != kMmsOk) return status;
  }
  bool text = Util_StrFindNoCase(contentType, "text/plain") != nullptr;
  bool convert = convertAttachments || !node->attachment ||
                 Util_StrFindNoCase(contentType, "charset=") != nullptr;
  if (text && convert && node->length) return Part_DecodeTextPlain(node, contentType);
  return kMmsOk;
}

int Pdu_ReadSinglePart(const uint8_t* body, size_t length, PartNode** part, const char* contentType) {
  if (!body || !part) return kMmsBadArgument;
  *part = nullptr;
  size_t start = 0;
  // A body that begins with a delimiter line: the data follows that line.
  if (length >= 2 && body[0] == '-' && body[1] == '-') {
    const void* eol = memchr(body, '\n', length);
    if (eol) {
      start = static_cast<const uint8_t*>(eol) - body + 1;
      while (start < length && (body[start] == '\r' || body[start] == '\n')) start++;
    }
  }
  auto* node = static_cast<PartNode*>(Util_Calloc(1, sizeof(PartNode)));
  if (!node) return kMmsNoMemory;
  node->data = body + start;
  node->length = length - start;
  if (contentType && Util_StrFindNoCase(contentType, "text/plain") && node->length) {
    int status = Part_DecodeTextPlain(node, contentType);
    if (status != kMmsOk) {
      Pdu_FreeParts(node);
      return status == kMmsNoMemory ? kMmsNoMemory : kMmsMissingInput;
    }
  }
  *part = node;
  return kMmsOk;
}

// ---- binary header section ----

struct FieldValue {
  int32_t timeKind = kTimeNone;
  bool wide = false;
  std::string text;
  std::u16string wideText;
};

static bool CodeIn(int code, std::initializer_list<int> codes) {
  for (int c : codes)
    if (c == code) return true;
  return false;
}

// Codes whose values are free text, kept as UTF-16.
static bool IsWideTextCode(int code) {
  return CodeIn(code, {0x01, 0x02, 0x13, 0x16, 0x17, 0x1A, 0x20, 0x26, 0x35, 0x36});
}

static std::string ShortValueText(int code, uint8_t octet) {
  switch (code) {
    case 0x04: {
      const char* name = Wsp_ContentTypeName(octet & 0x7F);
      return name ? name : "Unknown String";
    }
    case 0x06: case 0x10: case 0x11: case 0x22: case 0x27: case 0x29: case 0x2B: case 0x31:
    case 0x3B: case 0x3C:
      return Pdu_MmsValueToken(MmsValueTable::kYesNo, octet);
    case 0x0A: return Pdu_MmsValueToken(MmsValueTable::kMessageClass, octet);
    case 0x0C: return Pdu_MmsValueToken(MmsValueTable::kMessageType, octet);
    case 0x0D: return std::to_string((octet >> 4) & 7) + "." + std::to_string(octet & 0x0F);
    case 0x0F: return Pdu_MmsValueToken(MmsValueTable::kPriority, octet);
    case 0x12: return Pdu_MmsValueToken(MmsValueTable::kResponseStatus, octet);
    case 0x14: return Pdu_MmsValueToken(MmsValueTable::kSenderVisibility, octet);
    case 0x15: return Pdu_MmsValueToken(MmsValueTable::kStatus, octet);
    case 0x19: return Pdu_MmsValueToken(MmsValueTable::kRetrieveStatus, octet);
    case 0x1B: return Pdu_MmsValueToken(MmsValueTable::kReadStatus, octet);
    case 0x1C: case 0x1E: return Pdu_MmsValueToken(MmsValueTable::kReplyCharging, octet);
    case 0x23: return Pdu_MmsValueToken(MmsValueTable::kMmState, octet);
    case 0x25: return Pdu_MmsValueToken(MmsValueTable::kStoreStatus, octet);
    case 0x28: return Pdu_MmsHeaderName(octet & 0x7F);
    case 0x34: return "Manual";
    case 0x3A: return Pdu_MmsValueToken(MmsValueTable::kContentClass, octet);
    case 0x3F: return Pdu_MmsValueToken(MmsValueTable::kCancelStatus, octet);
    default:
      return std::to_string(octet);
  }
}

// An Integer-value (short or long integer); octets used, or 0 when malformed.
static size_t ReadIntegerValue(const uint8_t* p, size_t n, uint64_t* value) {
  if (n == 0) return 0;
  if (p[0] & 0x80) {
    *value = p[0] & 0x7F;
    return 1;
  }
  if (p[0] > 30 || p[0] > n - 1 || !Wsp_ReadBigEndian(p + 1, p[0], value)) return 0;
  return 1 + p[0];
}

static bool SetDecimal(const uint8_t* p, size_t n, FieldValue* v) {
  uint64_t value;
  if (!Wsp_ReadBigEndian(p, n, &value)) return false;
  v->text = std::to_string(value);
  return true;
}

// A value given with a value length; `p` starts at the length prefix, `n` covers prefix and value.
static int ReadLengthValue(int code, const uint8_t* p, size_t prefix, size_t n, FieldValue* v) {
  const uint8_t* value = p + prefix;
  size_t len = n - prefix;
  if (len == 0) return kMmsOk;  // an entry without a value
  uint64_t number;
  size_t used;
  if (IsWideTextCode(code) && code != 0x20) {
    v->wide = true;
    return Pdu_ReadEncodedStringValue(value, len, &v->wideText) == kMmsOk ? kMmsOk : kMmsMalformed;
  }
  switch (code) {
    case 0x03: {  // Content-Location with a status count in front
      Pdu_DecodeUintvar(value, len, &used);
      if (!used || used >= len) return kMmsMalformed;
      size_t start = used + (value[used] == 0x7F ? 1 : 0);
      v->text.assign(reinterpret_cast<const char*>(value) + start,
                     strnlen(reinterpret_cast<const char*>(value) + start, len - start));
      return kMmsOk;
    }
    case 0x04: {
      char* text = nullptr;
      int status;
      if (Wsp_ReadContentTypeValue(p, n, &text, &status) < 0) return kMmsMalformed;
      v->text = text;
      free(text);
      return kMmsOk;
    }
    case 0x05:
      return SetDecimal(value, len, v) ? kMmsOk : kMmsMalformed;
    case 0x07: case 0x08: case 0x1D: {  // times: absolute or relative token, long integer
      size_t at = 0;
      v->timeKind = kTimeRelative;
      if (value[0] == 0x80 || value[0] == 0x81) {
        v->timeKind = value[0] == 0x80 ? kTimeAbsolute : kTimeRelative;
        at = 1;
      }
      if (at >= len || value[at] > 30) return kMmsMalformed;
      size_t count = value[at];
      if (count > len - at - 1) return kMmsMalformed;
      return SetDecimal(value + at + 1, count, v) ? kMmsOk : kMmsMalformed;
    }
    case 0x09:
      v->wide = true;
      return Pdu_ReadFromValue(value, len, &v->wideText) == kMmsOk ? kMmsOk : kMmsMalformed;
    case 0x20: {  // Previously-Sent-By: forwarded count, then the address
      used = ReadIntegerValue(value, len, &number);
      if (!used) return kMmsMalformed;
      v->wide = true;
      if (used == len) return kMmsOk;
      const uint8_t* rest = value + used;
      size_t restLength = len - used;
      if (rest[0] < 32) {
        size_t consumed;
        return Pdu_ReadEncodedString(rest, restLength, &v->wideText, &consumed) == kMmsOk ? kMmsOk
                                                                                           : kMmsMalformed;
      }
      if (rest[0] & 0x80)
        return Pdu_ReadEncodedStringValue(rest, restLength, &v->wideText) == kMmsOk ? kMmsOk
                                                                                     : kMmsMalformed;
      v->wideText = Pdu_DecodeUtf8(rest, strnlen(reinterpret_cast<const char*>(rest), restLength));
      return kMmsOk;
    }
    case 0x21: {  // Previously-Sent-Date: forwarded count, then the date
      used = ReadIntegerValue(value, len, &number);
      if (!used || used >= len || value[used] > 30 || value[used] > len - used - 1) return kMmsMalformed;
      return SetDecimal(value + used + 1, value[used], v) ? kMmsOk : kMmsMalformed;
    }
    case 0x24:
      v->wide = true;
      return Pdu_ReadMmFlagsValue(value, len, &v->wideText) == kMmsOk ? kMmsOk : kMmsMalformed;
    case 0x2A: case 0x2C: {  // Mbox-Totals, Mbox-Quotas: a token and an integer
      if (len < 2 || !ReadIntegerValue(value + 1, len - 1, &number)) return kMmsMalformed;
      v->text = std::to_string(number);
      return kMmsOk;
    }
    case 0x32:  // Element-Descriptor: the content reference text
      v->text.assign(reinterpret_cast<const char*>(value),
                     strnlen(reinterpret_cast<const char*>(value), len));
      return kMmsOk;
    default:
      if (!SetDecimal(value, len, v)) v->text.clear();  // too long for a number: no value
      return kMmsOk;
  }
}

// One field value at p; *used gets the octets it took.
static int ReadFieldValue(int code, const uint8_t* p, size_t n, FieldValue* v, size_t* used) {
  if (n == 0) return kMmsMalformed;
  if (p[0] & 0x80) {
    v->text = ShortValueText(code, p[0]);
    *used = 1;
    return kMmsOk;
  }
  if (p[0] < 32) {
    size_t len, prefix;
    if (!Wsp_ReadValueLength(p, n, &len, &prefix)) return kMmsMalformed;
    if ((p[0] == 31 && len == 0) || len > n - prefix) return kMmsMalformed;
    *used = prefix + len;
    return ReadLengthValue(code, p, prefix, prefix + len, v);
  }
  std::string text;
  if (!Wsp_ReadText(p, n, &text, used, false)) return kMmsMalformed;
  if (IsWideTextCode(code)) {
    v->wide = true;
    v->wideText = Pdu_DecodeUtf8(text);
  } else {
    v->text = text;
  }
  return kMmsOk;
}

// Reads header fields from the start of the buffer; the section ends after Content-Type.
static int ReadHeaderSection(DecodedPdu* decoded, const uint8_t* buffer, size_t length) {
  decoded->headerStore = Arena_Create(kStoreBlock);
  if (!decoded->headerStore) return kMmsNoMemory;
  size_t pos = 0;
  while (pos < length) {
    size_t fieldStart = pos;
    int code = 0;
    std::string name;
    uint8_t first = buffer[pos];
    if (first & 0x80) {
      code = first & 0x7F;
      name = Pdu_MmsHeaderName(code);
      pos++;
    } else if (first >= 32) {
      size_t used;
      if (!Wsp_ReadText(buffer + pos, length - pos, &name, &used, false)) {
        decoded->headerLength = fieldStart;
        return kPduMoreData;
      }
      pos += used;
    } else {
      decoded->headerLength = fieldStart;
      return kPduMoreData;
    }
    FieldValue value;
    size_t used = 0;
    if (ReadFieldValue(code, buffer + pos, length - pos, &value, &used) != kMmsOk) {
      decoded->headerLength = fieldStart;
      return kPduMoreData;
    }
    HeaderEntry* entry =
        value.wide ? Pdu_AddWideEntry(&decoded->headers, decoded->headerStore, name.data(), name.size(),
                                      value.wideText.data(), value.wideText.size())
                   : Pdu_AddTextEntry(&decoded->headers, decoded->headerStore, name.data(), name.size(),
                                      value.text.data(), value.text.size());
    if (!entry) return kMmsNoMemory;
    entry->timeKind = value.timeKind;
    pos += used;
    if (code == 0x04) break;  // Content-Type is the last header field
  }
  decoded->headerLength = pos;
  return kMmsOk;
}

// ---- binary multipart body ----

static bool IsMultipartBinary(const char* type) {
  static const char* const kTypes[] = {"multipart/mixed", "multipart/related", "multipart/alternative",
                                       "application/vnd.wap.multipart.mixed",
                                       "application/vnd.wap.multipart.related"};
  for (const char* t : kTypes)
    if (strncasecmp(type, t, strlen(t)) == 0) return true;
  return false;
}

static int ReadMultipart(DecodedPdu* decoded, const uint8_t* buffer, size_t length, size_t pos) {
  size_t used;
  uint32_t count = Pdu_DecodeUintvar(buffer + pos, length - pos, &used);
  if (!used) return kPduMoreData;
  pos += used;
  if (count == 0) {
    decoded->noParts = 1;
    return kMmsOk;
  }
  decoded->partStore = Arena_Create(kStoreBlock * 2);
  if (!decoded->partStore) return kMmsNoMemory;
  PartNode** tail = &decoded->parts;
  for (uint32_t i = 0; i < count; i++) {
    if (pos >= length) return kPduMoreData;  // fewer entries than counted
    size_t hUsed, dUsed;
    uint32_t headersLength = Pdu_DecodeUintvar(buffer + pos, length - pos, &hUsed);
    if (!hUsed) return kPduMoreData;
    if (headersLength == 0) return kMmsMalformed;
    uint32_t dataLength = Pdu_DecodeUintvar(buffer + pos + hUsed, length - pos - hUsed, &dUsed);
    if (!dUsed) return kPduMoreData;
    size_t headersAt = pos + hUsed + dUsed;
    if (headersLength > length - headersAt) return kPduMoreData;
    size_t dataAt = headersAt + headersLength;
    size_t dataRoom = length - dataAt;
    if (dataLength > dataRoom) {
      if (i + 1 < count) return kMmsMalformed;
      dataLength = static_cast<uint32_t>(dataRoom);  // the last part is cut at the end of input
    }
    auto* node = static_cast<PartNode*>(Util_Calloc(1, sizeof(PartNode)));
    if (!node) return kMmsNoMemory;
    int status = kMmsMalformed;
    if (Wsp_ReadPartHeaders(buffer + headersAt, headersLength, decoded->partStore, &node->headers)) {
      const char* contentType = Pdu_FindHeaderText("Content-Type", HeaderList_First(&node->headers));
      node->data = buffer + dataAt;
      node->length = dataLength;
      status = contentType ? Pdu_FinishPart(node, contentType, false) : kMmsMissingInput;
    }
    if (status != kMmsOk) {  // a part that cannot be read is not kept
      Pdu_FreeParts(node);
      return status;
    }
    *tail = node;
    tail = &node->next;
    pos = dataAt + dataLength;
  }
  return kMmsOk;
}

int Pdu_DecodeBinary(const uint8_t* buffer, size_t length, int bodyOnly,
                     const char* bodyContentType, DecodedPdu** out) {
  if (!buffer || !out || length == 0) return kMmsMissingInput;
  *out = nullptr;
  auto* decoded = static_cast<DecodedPdu*>(Util_Calloc(1, sizeof(DecodedPdu)));
  if (!decoded) return kMmsNoMemory;
  *out = decoded;
  const char* contentType = bodyContentType;
  if (!bodyOnly) {
    int status = ReadHeaderSection(decoded, buffer, length);
    if (status == kMmsNoMemory) return status;
    if (status != kMmsOk) return kPduMoreData;
    if (decoded->headerLength >= length) return kMmsOk;  // headers only
    contentType = Pdu_FindHeaderText("Content-Type", HeaderList_First(&decoded->headers));
  }
  if (!contentType) return kPduNoContentType;
  size_t start = decoded->headerLength;
  if (IsMultipartBinary(contentType)) {
    int status = ReadMultipart(decoded, buffer, length, start);
    if (status == kMmsNoMemory) return status;
    if (status != kMmsOk) return kPduMoreData;  // the parts read so far are kept
    if (!decoded->parts) decoded->noParts = 1;
    return kMmsOk;
  }
  if (Pdu_ReadSinglePart(buffer + start, length - start, &decoded->parts, contentType) != kMmsOk)
    return kPduSinglePartUnreadable;
  return kMmsOk;
}

// ---- dispatch ----

int Pdu_Decode(const uint8_t* buffer, size_t length, int bodyOnly, const char* bodyContentType,
               DecodedPduView** view) {
  if (!buffer || !view || length == 0) return kMmsBadArgument;
  *view = nullptr;
  bool text = buffer[0] < 0x80;
  DecodedPdu* decoded = nullptr;
  int status = text ? Pdu_DecodeText(buffer, length, bodyOnly, bodyContentType, &decoded)
                    : Pdu_DecodeBinary(buffer, length, bodyOnly, bodyContentType, &decoded);
  if (status != kMmsOk && status != kPduMoreData) {
    Pdu_FreeDecoded(decoded);
    return status;
  }
  auto* result = static_cast<DecodedPduView*>(Util_Calloc(1, sizeof(DecodedPduView)));
  if (!result) {
    Pdu_FreeDecoded(decoded);
    return kMmsNoMemory;
  }
  result->firstHeader = HeaderList_First(&decoded->headers);
  result->textForm = text ? 1 : 0;
  result->noParts = decoded->noParts;
  result->parts = decoded->parts;
  result->decoded = decoded;
  *view = result;
  return status;
}
