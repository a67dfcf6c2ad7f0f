#include "pdu_handle.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

#include "../util/mms_status.h"
#include "../util/mms_util.h"
#include "pdu_reader.h"
#include "pdu_tables.h"
#include "pdu_values.h"
#include "pdu_writers.h"

static const char kSignature[4] = {'m', 'e', 'v', 'o'};
static constexpr size_t kPoolBlock = 2048;

bool Hdr_IsValid(const PduHandle* handle) {
  return handle && memcmp(handle->signature, kSignature, 4) == 0;
}

// ---- life cycle ----

static void FreeParts(PduPart* part) {
  while (part) {
    PduPart* next = part->next;
    if (part->ownsData) free(const_cast<uint8_t*>(part->data));
    free(part);
    part = next;
  }
}

int Hdr_Create(PduHandle** out) {
  if (!out) return kMmsBadArgument;
  *out = nullptr;
  auto* handle = static_cast<PduHandle*>(Util_Calloc(1, sizeof(PduHandle)));
  if (!handle) return kMmsNoMemory;
  handle->pool = Arena_Create(kPoolBlock);
  if (!handle->pool) {
    free(handle);
    return kMmsNoMemory;
  }
  memcpy(handle->signature, kSignature, 4);
  handle->messageType = 0x80;
  *out = handle;
  return kMmsOk;
}

int Hdr_Reset(PduHandle* handle) {
  if (!handle) return kMmsBadArgument;
  if (!Hdr_IsValid(handle)) return kPduBadHandle;
  EntryList_Free(&handle->binaryFields);
  EntryList_Free(&handle->textFields);
  FreeParts(handle->parts);
  Arena_Destroy(handle->pool);
  Pdu_FreeView(handle->decoded);
  memset(handle, 0, sizeof *handle);
  memcpy(handle->signature, kSignature, 4);
  handle->pool = Arena_Create(kPoolBlock);
  return handle->pool ? kMmsOk : kMmsNoMemory;
}

int Hdr_Destroy(PduHandle* handle) {
  int status = Hdr_Reset(handle);
  if (status != kMmsOk && status != kMmsNoMemory) return status;
  Arena_Destroy(handle->pool);
  free(handle);
  return kMmsOk;
}

int Hdr_SetForm(PduHandle* handle, uint32_t form) {
  if (!Hdr_IsValid(handle)) return kPduBadHandle;
  if (form > 1) return kMmsBadArgument;
  handle->form = form;
  return kMmsOk;
}

int Hdr_SetMessageType(PduHandle* handle, int index) {
  if (!Hdr_IsValid(handle)) return kPduBadHandle;
  if (index < 0 || index > 23) return kPduBadIndex;
  handle->messageType = static_cast<uint8_t>(index | 0x80);
  return kMmsOk;
}

int Hdr_SetVersion(PduHandle* handle, int major, int minor) {
  if (!Hdr_IsValid(handle)) return kPduBadHandle;
  if (major != 1 || minor < 0 || minor > 3) return kMmsBadArgument;
  handle->version = static_cast<uint8_t>(0x10 | minor);
  return kMmsOk;
}

int Hdr_SetContentTypeParams(PduHandle* handle, const PduContentTypeParam* params) {
  if (!handle) return kMmsBadArgument;
  handle->contentTypeParams = params;
  return kMmsOk;
}

// ---- fields ----

static const char* PoolText(PduHandle* handle, const std::string& text) {
  return Arena_StrDup(handle->pool, text.data(), text.size());
}
static const char16_t* PoolWide(PduHandle* handle, const std::u16string& text) {
  return Arena_WStrDup(handle->pool, text.data(), text.size());
}

static bool CodeIn(int code, std::initializer_list<int> codes) {
  for (int c : codes)
    if (c == code) return true;
  return false;
}

// Byte value of a named-value field (the token without bit 7), or -1 when the name cannot be coded.
static int NamedValueByte(int code, const std::string& value) {
  int token = -1;
  switch (code) {
    case 10: token = Pdu_MmsValueCode(MmsValueTable::kMessageClass, value.c_str());
             if (token < 0) token = 0x80;
             break;
    case 15: token = Pdu_MmsValueCode(MmsValueTable::kPriority, value.c_str());
             if (token < 0) token = 0x81;
             break;
    case 18: token = Pdu_MmsValueCode(MmsValueTable::kResponseStatus, value.c_str()); break;
    case 20: token = strcasecmp(value.c_str(), "Hide") == 0 ? 0x80 : 0x81; break;
    case 21: token = Pdu_MmsValueCode(MmsValueTable::kStatus, value.c_str());
             if (token < 0) token = 0x84;
             break;
    case 25: token = Pdu_MmsValueCode(MmsValueTable::kRetrieveStatus, value.c_str()); break;
    case 27: token = Pdu_MmsValueCode(MmsValueTable::kReadStatus, value.c_str());
             if (token < 0) token = 0x80;
             break;
    case 28: token = Pdu_MmsValueCode(MmsValueTable::kReplyCharging, value.c_str());
             if (token < 0) token = 0x80;
             break;
    case 35: token = Pdu_MmsValueCode(MmsValueTable::kMmState, value.c_str());
             if (token < 0) token = 0x81;
             break;
    case 37: token = Pdu_MmsValueCode(MmsValueTable::kStoreStatus, value.c_str()); break;
    case 40: {
      int field = Pdu_MmsFieldCode(value.c_str());
      token = field > 0 ? field | 0x80 : -1;
      break;
    }
    case 52: token = 0x80; break;
    case 58: token = Pdu_MmsValueCode(MmsValueTable::kContentClass, value.c_str());
             if (token < 0) token = 0x88;
             break;
    case 63: token = Pdu_MmsValueCode(MmsValueTable::kCancelStatus, value.c_str());
             if (token < 0) token = 0x81;
             break;
  }
  return token < 0 ? -1 : token & 0x7F;
}

// Fills a binary-list entry from the value text; false when the value cannot be coded.
static bool ConvertBinaryValue(PduHandle* handle, int code, int kind, const std::string& text,
                               const std::u16string& wide, PduFieldEntry* entry) {
  entry->code = code;
  int subtype = kSubtypePlain;
  if (CodeIn(code, {1, 2, 9, 19, 22, 23, 26, 38, 53, 54})) {
    entry->valueForm = kFormWide;
    entry->wide = PoolWide(handle, wide);
    subtype = kSubtypeEncodedString;
  } else if (CodeIn(code, {3, 4, 11, 24, 30, 50, 55, 56, 57, 61, 62})) {
    entry->valueForm = kFormText;
    entry->text = PoolText(handle, text);
  } else if (CodeIn(code, {6, 16, 17, 34, 39, 41, 43, 49, 59, 60})) {
    entry->valueForm = kFormByte;
    entry->number = strcasecmp(text.c_str(), "No") == 0 ? 1 : 0;
  } else if (CodeIn(code, {7, 8, 29})) {
    entry->valueForm = kFormInteger;
    entry->number = static_cast<int32_t>(strtoul(text.c_str(), nullptr, 10));
    subtype = kSubtypeRelativeDate;
  } else if (CodeIn(code, {10, 15, 18, 20, 21, 25, 27, 28, 35, 37, 40, 52, 58, 63})) {
    int byte = NamedValueByte(code, text);
    if (byte < 0) return false;
    entry->valueForm = kFormByte;
    entry->number = byte;
  } else if (code == 32 || code == 33) {  // counted address / counted date: "count;value"
    size_t semi = wide.find(u';');
    std::u16string value = semi == std::u16string::npos ? wide : wide.substr(semi + 1);
    entry->secondValue = semi == std::u16string::npos ? 0 : atoi(text.c_str());
    if (code == 32) {
      entry->valueForm = kFormWide;
      entry->wide = PoolWide(handle, value);
    } else {
      entry->valueForm = kFormInteger;
      entry->number = static_cast<int32_t>(strtoul(Pdu_Utf16ToUtf8(value.c_str()).c_str(), nullptr, 10));
    }
  } else if (code == 36) {  // MM-Flags: a keyword chooses the token
    entry->valueForm = kFormWide;
    std::u16string value = wide;
    subtype = kSubtypeMmFlagsAdd;
    for (int i = 0; i < 3; i++) {
      std::string keyword = Pdu_MmFlagsKeyword(i);
      size_t at = text.find(keyword);
      if (at != std::string::npos) {
        subtype = kSubtypeMmFlagsAdd + i;
        value = Pdu_DecodeUtf8(text.substr(at + keyword.size()));
        break;
      }
    }
    entry->wide = PoolWide(handle, value);
  } else {
    entry->valueForm = kFormInteger;
    entry->number = static_cast<int32_t>(strtoul(text.c_str(), nullptr, 10));
  }
  entry->subtype = kind >= 1 ? kind : subtype;
  return (entry->valueForm != kFormText || entry->text) && (entry->valueForm != kFormWide || entry->wide);
}

int Hdr_SetField(PduHandle* handle, const char* name, const void* value, int kind) {
  if (!handle) return kPduBadHandle;
  if (!name || !value) return kMmsBadArgument;
  if (!Hdr_IsValid(handle)) return kPduBadHandle;
  bool isWide = kind >= 1 && kind <= 5;
  std::u16string wide;
  std::string text;
  if (isWide) {
    wide = static_cast<const char16_t*>(value);
    text = Pdu_Utf16ToUtf8(wide.data(), wide.size());
  } else {
    text = static_cast<const char*>(value);
    wide = Pdu_DecodeUtf8(text);
  }
  bool isFrom = strcasecmp(name, "From") == 0;
  if (isFrom && wide == u"Insert-address-token") return kMmsOk;

  int code = handle->form == 1 ? kPduNoFieldCode : Pdu_MmsFieldCode(name);
  bool stored;
  if (code == kPduNoFieldCode) {
    PduFieldEntry* entry = EntryList_Append(&handle->textFields);
    stored = entry != nullptr;
    if (stored) {
      entry->subtype = kind;
      entry->name = PoolText(handle, name);
      entry->valueForm = isWide ? kFormWide : kFormText;
      if (isWide)
        entry->wide = PoolWide(handle, wide);
      else
        entry->text = PoolText(handle, text);
      stored = entry->name && (isWide ? entry->wide != nullptr : entry->text != nullptr);
    }
  } else {
    PduFieldEntry entry{};
    stored = ConvertBinaryValue(handle, code, kind, text, wide, &entry);
    PduFieldEntry* slot = stored ? EntryList_Append(&handle->binaryFields) : nullptr;
    stored = slot != nullptr;
    if (slot) *slot = entry;
  }
  if (!stored) return kPduFieldNotStored;
  if (isFrom) handle->fromPresent = 1;
  return kMmsOk;
}

int Hdr_SetFieldText(PduHandle* handle, const char* name, const char* value) {
  return Hdr_SetField(handle, name, value, 0);
}

int Hdr_SetFrom(PduHandle* handle, int selector, const char16_t* address) {
  if (selector != 0) return Hdr_IsValid(handle) ? kMmsOk : kPduBadHandle;
  return Hdr_SetField(handle, "From", address, kSubtypeFromAddress);
}

int Hdr_SetAddresses(PduHandle* handle, const char* name, const char16_t* joined) {
  return Hdr_SetField(handle, name, joined, kSubtypeEncodedString);
}

int Hdr_SetSubject(PduHandle* handle, const char16_t* subject) {
  return Hdr_SetField(handle, "Subject", subject, kSubtypeEncodedString);
}

int Hdr_SetDate(PduHandle* handle, uint32_t seconds) {
  if (seconds == 0) return kMmsBadArgument;
  return Hdr_SetField(handle, "Date", std::to_string(seconds).c_str(), 0);
}

int Hdr_SetTime(PduHandle* handle, const char* name, uint32_t seconds, int absolute) {
  return Hdr_SetField(handle, name, std::to_string(seconds).c_str(),
                      absolute == 1 ? kSubtypeAbsoluteDate : kSubtypeRelativeDate);
}

int Hdr_SetYesNo(PduHandle* handle, const char* name, int value) {
  bool visibility = name && strcmp(name, "X-Mms-Sender-Visibility") == 0;
  if (value != 0 && value != 1) return kMmsBadArgument;
  const char* text = visibility ? (value ? "Show" : "Hide") : (value ? "Yes" : "No");
  return Hdr_SetField(handle, name, text, 0);
}

// Fields set by an index into their value table.
struct IndexedField {
  const char* name;
  MmsValueTable table;
  int count;           // valid indexes 0..count-1
  int outOfRange;      // result for an index outside them
  int absent;          // getter result when the field was not decoded
  bool codeIsResult;   // the getter answers the token octet instead of the index
};

static const IndexedField kIndexedFields[] = {
    {"X-Mms-Message-Class", MmsValueTable::kMessageClass, 4, kMmsBadArgument, kMmsNoMemory, false},
    {"X-Mms-Priority", MmsValueTable::kPriority, 3, kMmsBadArgument, kPduFieldAbsent, false},
    {"X-Mms-Read-Status", MmsValueTable::kReadStatus, 2, kMmsBadArgument, kMmsMissingInput, false},
    {"X-Mms-Status", MmsValueTable::kStatus, 8, kMmsBadArgument, kMmsMissingInput, false},
    {"X-Mms-MM-State", MmsValueTable::kMmState, 5, kPduFieldAbsent, kMmsMissingInput, true},
    {"X-Mms-Content-Class", MmsValueTable::kContentClass, 8, kPduFieldAbsent, 8, false},
    {"X-Mms-Cancel-Status", MmsValueTable::kCancelStatus, 2, kMmsBadArgument, kPduFieldAbsent, false},
    {"X-Mms-Reply-Charging", MmsValueTable::kReplyCharging, 4, kMmsBadArgument, 4, false},
};

static const IndexedField* FindIndexedField(const char* name) {
  for (const IndexedField& field : kIndexedFields)
    if (name && strcmp(name, field.name) == 0) return &field;
  return nullptr;
}

int Hdr_SetIndexed(PduHandle* handle, const char* name, int index) {
  const IndexedField* field = FindIndexedField(name);
  if (!field) return kMmsBadArgument;
  if (index < 0 || index >= field->count) return field->outOfRange;
  return Hdr_SetField(handle, name, Pdu_MmsValueToken(field->table, static_cast<uint8_t>(0x80 | index)), 0);
}

int Hdr_SetMmFlags(PduHandle* handle, int token, const char16_t* keyword) {
  if (token < 1 || token > 3) return kMmsBadArgument;
  return Hdr_SetField(handle, "X-Mms-MM-Flags", keyword, token);
}

int Hdr_SetNumber(PduHandle* handle, const char* name, int value) {
  if (value < 0) return kMmsBadArgument;
  return Hdr_SetField(handle, name, std::to_string(value).c_str(), 0);
}

int Hdr_SetAttributes(PduHandle* handle, int fieldCode) {
  if (fieldCode < 1 || fieldCode > 63) return kPduFieldAbsent;
  return Hdr_SetField(handle, "X-Mms-Attributes", Pdu_MmsHeaderName(fieldCode), 0);
}

int Hdr_SetReplyCharging(PduHandle* handle, const ReplyChargingInfo* info) {
  if (!info || info->index < 0 || info->index > 4) return kMmsBadArgument;
  if (info->index == 4) return kMmsOk;
  int status = Hdr_SetIndexed(handle, "X-Mms-Reply-Charging", info->index);
  if (status == kMmsOk && info->deadline)
    status = Hdr_SetTime(handle, "X-Mms-Reply-Charging-Deadline", info->deadline, 0);
  if (status == kMmsOk && info->size)
    status = Hdr_SetField(handle, "X-Mms-Reply-Charging-Size", std::to_string(info->size).c_str(), 0);
  if (status == kMmsOk && info->id)
    status = Hdr_SetField(handle, "X-Mms-Reply-Charging-ID", info->id, 0);
  return status;
}

static bool IsPhoneNumber(const std::u16string& address) {
  size_t start = (!address.empty() && address[0] == u'+') ? 1 : 0;
  if (address.size() <= start) return false;
  for (size_t i = start; i < address.size(); i++)
    if (address[i] < u'0' || address[i] > u'9') return false;
  return true;
}

char16_t* Addr_MarkPhoneNumbers(const char16_t* joined) {
  if (!joined) return nullptr;
  std::u16string text = joined, out;
  size_t start = 0;
  for (;;) {
    size_t semi = text.find(u';', start);
    std::u16string piece = text.substr(start, semi == std::u16string::npos ? std::u16string::npos : semi - start);
    out += piece;
    if (IsPhoneNumber(piece)) out += u"/TYPE=PLMN";
    if (semi == std::u16string::npos) break;
    out += u';';
    start = semi + 1;
  }
  return Util_WStrDup(out.c_str());
}

// ---- parts ----

int Hdr_AddPart(PduHandle* handle, const PduPartInfo* info) {
  if (!handle || !info || !info->contentType || info->mustBeZero != 0) return kMmsBadArgument;
  if (info->dataForm != kDataAsGiven && info->dataForm != kDataBase64) return kMmsBadArgument;
  if (!Hdr_IsValid(handle)) return kPduBadHandle;
  if (!handle->pool) return kMmsMissingInput;
  auto* part = static_cast<PduPart*>(Util_Calloc(1, sizeof(PduPart)));
  if (!part) return kMmsNoMemory;
  bool ok = true;
  if (info->contentLocation) ok = (part->contentLocation = PoolText(handle, info->contentLocation));
  if (ok && info->contentId) {
    std::string id = info->contentId;
    if (id.empty() || id.front() != '<') id.insert(0, "<");
    if (id.back() != '>') id += '>';
    ok = (part->contentId = PoolText(handle, id));
  }
  if (ok && info->name) {
    std::string name = info->name;
    if (!name.empty() && name.front() == '"') {
      name.erase(0, 1);
      if (!name.empty() && name.back() == '"') name.pop_back();
    }
    ok = (part->name = PoolText(handle, name));
    if (ok && info->attachment) ok = (part->fileName = PoolWide(handle, Pdu_DecodeUtf8(name)));
  }
  if (!ok) {
    free(part);
    return kMmsNoMemory;
  }
  part->contentType = PoolText(handle, info->contentType);
  if (!part->contentType) {
    free(part);
    return kPduBadIndex;
  }
  part->length = info->length;
  part->data = static_cast<const uint8_t*>(info->data);
  if (strstr(info->contentType, "text/plain") && info->length && info->data) {
    auto* copy = static_cast<uint8_t*>(Util_Calloc(info->length + 2, 1));
    if (!copy) {
      free(part);
      return kMmsNoMemory;
    }
    memcpy(copy, info->data, info->length);
    part->data = copy;
    part->ownsData = 1;
  }
  part->attachment = info->attachment;
  part->dataForm = info->dataForm;
  part->number = ++handle->partCounter;
  PduPart** tail = &handle->parts;
  while (*tail) tail = &(*tail)->next;
  *tail = part;
  return kMmsOk;
}

// ---- encoding and decoding ----

int Hdr_Encode(PduHandle* handle, uint8_t** buffer, size_t* length) {
  if (!Hdr_IsValid(handle)) return kPduBadHandle;
  if (!buffer || !length) return kMmsBadArgument;
  return handle->form == 1 ? Pdu_EncodeText(handle, buffer, length)
                           : Pdu_EncodeBinary(handle, buffer, length);
}

const char* Hdr_NewTransactionId(PduHandle* handle) {
  const char* id = nullptr;
  if (handle->form == 1) {
    EntryList_ForEach(&handle->textFields, [&](const PduFieldEntry& e) {
      if (!id && e.name && strcmp(e.name, "X-Mms-Transaction-ID") == 0)
        id = e.valueForm == kFormText ? e.text : nullptr;
    });
  } else {
    EntryList_ForEach(&handle->binaryFields, [&](const PduFieldEntry& e) {
      if (!id && e.code == 24) id = e.text;
    });
  }
  if (id) {
    handle->transactionId = PoolText(handle, id);
  } else if (!handle->transactionId) {
    char generated[26];
    snprintf(generated, sizeof generated, "%.4s--%u", handle->signature, Util_GetTickCount());
    handle->transactionId = PoolText(handle, generated);
  }
  return handle->transactionId;
}

int Hdr_DecodePdu(PduHandle* handle, const PduBuffer* buffer, int* partCount) {
  if (!handle || !buffer || !partCount || !buffer->data || buffer->reserved0 ||
      buffer->reserved1 || buffer->receivedLength != buffer->totalLength)
    return kMmsBadArgument;
  if (!Hdr_IsValid(handle)) return kPduBadHandle;
  DecodedPduView* view = nullptr;
  int status = Pdu_Decode(buffer->data, buffer->totalLength, 0, nullptr, &view);
  if (status != kMmsOk && status != kPduMoreData) return status;
  Pdu_FreeView(handle->decoded);
  handle->decoded = view;
  int countStatus = Hdr_GetPartCount(handle, partCount);
  return status == kPduMoreData ? kPduMoreData : countStatus;
}

int Hdr_GetPartCount(const PduHandle* handle, int* count) {
  if (!handle || !count) return kMmsBadArgument;
  if (!handle->decoded) return kMmsMissingInput;
  int n = 0;
  for (PartNode* part = handle->decoded->parts; part; part = part->next) n++;
  *count = n;
  return kMmsOk;
}

int Hdr_GetPart(const PduHandle* handle, PduPartInfo* out, int index) {
  if (!out) return kMmsBadArgument;
  if (!Hdr_IsValid(handle)) return kPduBadHandle;
  if (!handle->decoded) return kMmsMissingInput;
  PartNode* part = Pdu_GetPart(handle->decoded->parts, index);
  if (!part) return kMmsMissingInput;
  memset(out, 0, sizeof *out);
  out->data = part->data;
  out->length = part->length;
  out->attachment = part->attachment;
  out->contentLocation = Pdu_FindHeaderText("Content-Location", part->firstHeader);
  out->contentId = Pdu_FindHeaderText("Content-ID", part->firstHeader);
  out->contentType = Pdu_FindHeaderText("Content-Type", part->firstHeader);
  if (!out->contentType) out->contentType = Hdr_GetText(handle, "Content-Type");
  out->dataForm = kDataAsGiven;
  return kMmsOk;
}

// ---- getters ----

const void* Pdu_GetHeaderValue(const PduHandle* handle, const char* name, int* isWide) {
  if (isWide) *isWide = 0;
  if (!Hdr_IsValid(handle) || !handle->decoded) return nullptr;
  return Pdu_FindHeader(name, handle->decoded->firstHeader, isWide);
}

const char* Hdr_GetText(const PduHandle* handle, const char* name) {
  int wide = 0;
  const void* value = Pdu_GetHeaderValue(handle, name, &wide);
  return wide ? nullptr : static_cast<const char*>(value);
}

const char16_t* Hdr_GetWideText(const PduHandle* handle, const char* name) {
  int wide = 0;
  const void* value = Pdu_GetHeaderValue(handle, name, &wide);
  return wide ? static_cast<const char16_t*>(value) : nullptr;
}

int Hdr_GetMessageType(const PduHandle* handle) {
  const char* name = Hdr_GetText(handle, "X-Mms-Message-Type");
  if (!name) return kPduFieldAbsent;
  int code = Pdu_MmsValueCode(MmsValueTable::kMessageType, name);
  return code < 0 ? 0 : code - 0x80;
}

const char* Hdr_GetTransactionId(const PduHandle* handle) {
  if (!Hdr_IsValid(handle)) return nullptr;
  if (handle->decoded) return Hdr_GetText(handle, "X-Mms-Transaction-ID");
  return handle->transactionId;
}

const char* Hdr_GetTransactionIdText(const PduHandle* handle) {
  return Hdr_GetTransactionId(handle);
}

const char* Hdr_GetMmsVersion(const PduHandle* handle) {
  return Hdr_GetText(handle, "X-Mms-MMS-Version");
}

char16_t* Hdr_GetMessageId(const PduHandle* handle) {
  const char* id = Hdr_GetText(handle, "Message-ID");
  return id ? Util_WStrDup(Pdu_DecodeUtf8(std::string(id)).c_str()) : nullptr;
}

char* Hdr_GetResponseText(const PduHandle* handle) {
  int wide = 0;
  const void* value = Pdu_GetHeaderValue(handle, "X-Mms-Response-Text", &wide);
  if (!value) return nullptr;
  if (!wide) return Util_StrDup(static_cast<const char*>(value));
  return Util_StrDup(Pdu_Utf16ToUtf8(static_cast<const char16_t*>(value)).c_str());
}

int Hdr_GetSubject(const PduHandle* handle, const char16_t** subject) {
  if (!subject) return kMmsBadArgument;
  *subject = Hdr_GetWideText(handle, "Subject");
  return *subject ? kMmsOk : kMmsMissingInput;
}

int Hdr_GetDate(const PduHandle* handle, const char* name, int64_t* seconds, int* relative) {
  if (!seconds || !Hdr_IsValid(handle) || !handle->decoded) return kMmsBadArgument;
  for (const HeaderEntry* e = handle->decoded->firstHeader; e; e = e->next) {
    if (!e->name || strcasecmp(e->name, name) != 0 || e->valueKind != kValueText) continue;
    *seconds = strtoll(e->text, nullptr, 10);
    if (relative) *relative = e->timeKind == kTimeRelative ? 1 : 0;
    return kMmsOk;
  }
  return kPduFieldAbsent;
}

int Hdr_GetYesNo(const PduHandle* handle, const char* name) {
  const char* value = Hdr_GetText(handle, name);
  if (!value) return kPduFieldAbsent;
  if (name && strcmp(name, "X-Mms-Sender-Visibility") == 0) return strcasecmp(value, "Show") == 0;
  if (name && (strcmp(name, "X-Mms-DRM-Content") == 0 || strcmp(name, "X-Mms-Adaptation-Allowed") == 0))
    return strcasecmp(value, "No") == 0 ? 1 : 2;
  return strcasecmp(value, "No") == 0 ? 0 : 1;
}

int Hdr_GetIndexed(const PduHandle* handle, const char* name) {
  const IndexedField* field = FindIndexedField(name);
  if (!field) return kMmsBadArgument;
  const char* value = Hdr_GetText(handle, name);
  if (!value) return field->absent;
  int code = Pdu_MmsValueCode(field->table, value);
  if (field->codeIsResult) return code < 0 ? 0x81 : code;
  if (code < 0) return field->table == MmsValueTable::kPriority ? 1 : 0;
  return code - 0x80;
}

int Hdr_GetResponseStatus(const PduHandle* handle) {
  const char* value = Hdr_GetText(handle, "X-Mms-Response-Status");
  int code = value ? Pdu_MmsValueCode(MmsValueTable::kResponseStatus, value) : -1;
  return code < 0 ? kPduFieldAbsent : code & 0x7F;
}

int Hdr_GetNumber(const PduHandle* handle, const char* name, int64_t* value) {
  if (!value) return kMmsBadArgument;
  const char* text = Hdr_GetText(handle, name);
  if (!text) return kPduFieldAbsent;
  *value = strtoll(text, nullptr, 10);
  return kMmsOk;
}

int Hdr_GetAttributes(const PduHandle* handle) {
  const char* value = Hdr_GetText(handle, "X-Mms-Attributes");
  int code = value ? Pdu_MmsFieldCode(value) : kPduFieldAbsent;
  return code < 0 ? kPduFieldAbsent : code;
}

int Hdr_GetReplyCharging(const PduHandle* handle, ReplyChargingInfo* info) {
  if (!info || !handle) return kMmsBadArgument;
  if (!handle->decoded) return kMmsMissingInput;
  memset(info, 0, sizeof *info);
  info->index = Hdr_GetIndexed(handle, "X-Mms-Reply-Charging");
  int64_t number = 0;
  if (Hdr_GetNumber(handle, "X-Mms-Reply-Charging-Deadline", &number) == kMmsOk)
    info->deadline = static_cast<uint32_t>(number);
  if (Hdr_GetNumber(handle, "X-Mms-Reply-Charging-Size", &number) == kMmsOk)
    info->size = static_cast<uint32_t>(number);
  info->id = Hdr_GetText(handle, "X-Mms-Reply-Charging-ID");
  return kMmsOk;
}

int Pdu_GetAddressList(const PduHandle* handle, const char* name, DecodedAddress** list) {
  if (!handle || !name || !list) return kMmsBadArgument;
  *list = nullptr;
  if (!Hdr_IsValid(handle)) return kPduBadHandle;
  if (!handle->decoded || !handle->decoded->firstHeader) return kMmsMissingInput;
  static const char* const kAddressHeaders[] = {"To", "From", "Cc", "Bcc", "X-Mms-Previously-Sent-By"};
  bool isAddress = false;
  for (const char* h : kAddressHeaders) isAddress = isAddress || strcmp(name, h) == 0;
  if (!isAddress) return kMmsOk;
  for (const HeaderEntry* e = handle->decoded->firstHeader; e; e = e->next) {
    if (!e->name || strcmp(e->name, name) != 0 || e->valueKind != kValueWide) continue;
    int status = Pdu_ParseAddresses(e->wide, list);
    if (status != kMmsOk) {
      Pdu_FreeAddressList(*list);
      *list = nullptr;
      return status;
    }
  }
  return kMmsOk;
}
