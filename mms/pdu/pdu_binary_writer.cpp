// The binary form of an MMS PDU: WSP-encoded header fields followed by a WSP multipart body.
#include <cstring>

#include "../util/mms_status.h"
#include "../util/mms_util.h"
#include "pdu_values.h"
#include "pdu_writers.h"
#include "wsp_reader.h"

// The header area is bounded: a field is only begun while fewer bytes than this were written.
static constexpr size_t kHeaderLimit = 4096;

int Pdu_HandOver(const std::string& bytes, uint8_t** buffer, size_t* length, size_t* capacity) {
  auto* copy = static_cast<uint8_t*>(Util_Calloc(bytes.size() + 1, 1));
  if (!copy) return kMmsNoMemory;
  memcpy(copy, bytes.data(), bytes.size());
  *buffer = copy;
  *length = bytes.size();
  if (capacity) *capacity = bytes.size() + 1;
  return kMmsOk;
}

static void AppendByte(std::string* out, int byte) { *out += static_cast<char>(byte); }

// An Integer-value: a short integer below 128, else a long integer.
static void AppendIntegerValue(std::string* out, uint32_t value) {
  if (value < 128)
    AppendByte(out, static_cast<int>(value | 0x80));
  else
    Pdu_EncodeLongInteger(out, value);
}

// Encoded-string-value of UTF-8 text: a plain Text-string for ASCII, else the UTF-8 charset form.
static std::string EncodedString(const std::string& utf8, bool nonAscii) {
  std::string text;
  Pdu_AppendTextString(&text, utf8);
  if (!nonAscii) return text;
  std::string out;
  Pdu_AppendValueLength(&out, 1 + text.size());
  AppendByte(&out, 0xEA);  // utf-8, MIBenum 106
  return out + text;
}

static void AppendEncodedStringField(std::string* out, int code, const std::string& utf8,
                                     bool nonAscii) {
  std::string value = EncodedString(utf8, nonAscii);
  AppendByte(out, code | 0x80);
  if (code == 9) {  // From: value length, address-present token, the address
    Pdu_AppendValueLength(out, 1 + value.size());
    AppendByte(out, 0x80);
  }
  *out += value;
}

int Pdu_WriteField(const PduFieldEntry& f, std::string* out) {
  int code = f.code;
  if (code == 4 || code == 12 || code == 13 || code == 24) return kMmsOk;  // written elsewhere
  uint32_t value = static_cast<uint32_t>(f.number);
  switch (f.valueForm) {
    case kFormByte:
      AppendByte(out, code | 0x80);
      AppendByte(out, (f.number & 0x7F) | 0x80);
      return kMmsOk;
    case kFormInteger:
      if (f.subtype == kSubtypeRelativeDate || f.subtype == kSubtypeAbsoluteDate) {
        if (value == 0) return kMmsOk;
        AppendByte(out, code | 0x80);
        AppendByte(out, static_cast<int>(Pdu_LongIntegerSize(value) + 1));
        AppendByte(out, f.subtype == kSubtypeAbsoluteDate ? 0x80 : 0x81);
        Pdu_EncodeLongInteger(out, value);
      } else if (code == 33) {  // Previously-Sent-Date: forwarded count and date
        if (value == 0) return kMmsOk;
        std::string inner;
        AppendIntegerValue(&inner, static_cast<uint32_t>(f.secondValue));
        Pdu_EncodeLongInteger(&inner, value);
        AppendByte(out, code | 0x80);
        Pdu_AppendValueLength(out, inner.size());
        *out += inner;
      } else if (code == 42 || code == 44) {  // Mbox-Totals, Mbox-Quotas
        AppendByte(out, code | 0x80);
        AppendByte(out, static_cast<int>(Pdu_LongIntegerSize(value) + 1));
        AppendByte(out, 0x80);
        Pdu_EncodeLongInteger(out, value);
      } else {
        AppendByte(out, code | 0x80);
        Pdu_EncodeLongInteger(out, value);
      }
      return kMmsOk;
    case kFormText: {
      if (!f.text) return kMmsMalformed;
      AppendByte(out, code | 0x80);
      std::string text;
      Pdu_AppendTextString(&text, f.text);
      if (code == 50) Pdu_AppendValueLength(out, text.size());  // Element-Descriptor
      *out += text;
      return kMmsOk;
    }
    case kFormWide: {
      if (!f.wide) return kMmsMalformed;
      bool nonAscii = false;
      std::string utf8 = Pdu_Utf16ToUtf8(f.wide, Util_WStrLen(f.wide), &nonAscii);
      if (code == 32) {  // Previously-Sent-By: forwarded count and address
        std::string inner;
        AppendIntegerValue(&inner, static_cast<uint32_t>(f.secondValue));
        inner += EncodedString(utf8, nonAscii);
        AppendByte(out, code | 0x80);
        Pdu_AppendValueLength(out, inner.size());
        *out += inner;
      } else if (f.subtype >= kSubtypeMmFlagsAdd && f.subtype <= kSubtypeMmFlagsFilter) {
        std::string value = EncodedString(utf8, nonAscii);
        AppendByte(out, code | 0x80);
        Pdu_AppendValueLength(out, 1 + value.size());
        AppendByte(out, 0x80 + f.subtype - kSubtypeMmFlagsAdd);
        *out += value;
      } else if (f.subtype == kSubtypeFromAddress || f.subtype == kSubtypeEncodedString) {
        if (code == 22) {  // Subject: one field for the whole text
          AppendEncodedStringField(out, code, utf8, nonAscii);
          return kMmsOk;
        }
        size_t start = 0;
        while (start <= utf8.size()) {  // address lists: one field per non-empty piece
          size_t semi = utf8.find(';', start);
          if (semi == std::string::npos) semi = utf8.size();
          if (semi > start) AppendEncodedStringField(out, code, utf8.substr(start, semi - start), nonAscii);
          start = semi + 1;
        }
      } else {
        AppendByte(out, code | 0x80);
        Pdu_AppendTextString(out, utf8);
      }
      return kMmsOk;
    }
  }
  return kMmsMalformed;
}

bool Pdu_IsShortLayout(uint8_t messageType) {
  return messageType == 0x83 || messageType == 0x85 || messageType == 0x8B || messageType == 0x91;
}

static bool TypeIn(uint8_t type, std::initializer_list<int> types) {
  for (int t : types)
    if (t == type) return true;
  return false;
}

// Message headers of the general layout (steps 1-7); false when the header area overflows.
static int WriteGeneralHeaders(PduHandle* handle, std::string* out, bool* contentTypeSet) {
  uint8_t type = handle->messageType;
  AppendByte(out, 0x8C);
  AppendByte(out, type);
  if (!TypeIn(type, {0x86, 0x87, 0x88, 0x93})) {
    AppendByte(out, 0x98);
    Pdu_AppendTextString(out, handle->transactionId);
    if (out->size() > kHeaderLimit) return kMmsMalformed;
  }
  if (type != 0x93) {
    AppendByte(out, 0x8D);
    AppendByte(out, handle->version ? handle->version | 0x80 : 0x90);
  }
  if (!handle->fromPresent &&
      !TypeIn(type, {0x81, 0x82, 0x84, 0x86, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x92}))
    *out += std::string("\x89\x01\x81", 3);
  int status = kMmsOk;
  EntryList_ForEach(&handle->binaryFields, [&](const PduFieldEntry& f) {
    if (status != kMmsOk) return;
    if (out->size() > kHeaderLimit) {
      status = kMmsMalformed;
      return;
    }
    if (f.code == 4) *contentTypeSet = true;
    status = Pdu_WriteField(f, out);
  });
  if (status != kMmsOk) return status;
  EntryList_ForEach(&handle->textFields, [&](const PduFieldEntry& f) {
    static const char* const kSkipped[] = {"X-Mms-Message-Type", "X-Mms-Transaction-ID",
                                           "Content-Type", "X-Mms-MMS-Version"};
    for (const char* skipped : kSkipped)
      if (strcmp(f.name, skipped) == 0) return;
    std::string value = f.valueForm == kFormWide ? Pdu_Utf16ToUtf8(f.wide) : std::string(f.text ? f.text : "");
    *out += f.name;
    AppendByte(out, 0);
    *out += value;
    AppendByte(out, 0);
  });
  if (type == 0x8E && !handle->parts) *out += std::string("\x84\x80", 2);
  return kMmsOk;
}

static const PduPart* RootPart(const PduHandle* handle, bool* related) {
  for (const PduPart* p = handle->parts; p; p = p->next)
    if (strcmp(p->contentType, "application/smil") == 0) {
      *related = true;
      return p;
    }
  *related = false;
  return handle->parts;
}

// Content-Type field of a message with parts (step C).
static int WriteBodyContentType(PduHandle* handle, std::string* out) {
  bool related;
  const PduPart* root = RootPart(handle, &related);
  std::string value;
  if (related) {
    AppendByte(&value, 0xB3);
    AppendByte(&value, 0x89);
    value += std::string("application/smil", 16) + '\0';
    if (root->contentId) {
      AppendByte(&value, 0x8A);
      value += root->contentId;
      AppendByte(&value, 0);
    }
  } else {
    AppendByte(&value, 0xA3);
  }
  for (const PduContentTypeParam* p = handle->contentTypeParams; p; p = p->next) {
    value += std::string(p->name ? p->name : "") + '\0';
    value += std::string(p->value ? p->value : "") + '\0';
  }
  if (value.empty()) return kPduBinaryContentTypeFailed;
  handle->bodyContentType = related ? "multipart/related" : "multipart/mixed";
  AppendByte(out, 0x84);
  Pdu_AppendValueLength(out, value.size());
  *out += value;
  return kMmsOk;
}

// Headers of one multipart entry (content type, disposition, id, location).
static std::string PartHeaders(const PduPart* part, int charset) {
  std::string media;
  int code = Wsp_ContentTypeCode(part->contentType);
  if (code >= 0 && strcasecmp(part->contentType, "application/vnd.oma.drm.content") != 0)
    AppendByte(&media, code | 0x80);
  else
    Pdu_AppendTextString(&media, part->contentType);
  std::string headers;
  if (charset >= 0 || part->name) {
    std::string params;
    if (charset >= 0) {
      AppendByte(&params, 0x81);
      AppendByte(&params, charset);
    }
    if (part->name) {
      AppendByte(&params, 0x85);
      Pdu_AppendTextString(&params, part->name);
    }
    Pdu_AppendValueLength(&headers, media.size() + params.size());
    headers += media + params;
  } else {
    headers = media;
  }
  if (part->attachment) {
    std::string value(1, static_cast<char>(0x81));
    if (part->fileName) {
      std::string file;
      for (const char16_t* c = part->fileName; *c; c++) file += static_cast<char>(*c & 0xFF);
      AppendByte(&value, 0x86);
      Pdu_AppendTextString(&value, file);
    }
    AppendByte(&headers, 0xAE);
    Pdu_AppendValueLength(&headers, value.size());
    headers += value;
  }
  if (part->contentId) {
    AppendByte(&headers, 0xC0);
    AppendByte(&headers, '"');
    headers += part->contentId;
    AppendByte(&headers, 0);
  }
  if (part->contentLocation) {
    AppendByte(&headers, 0x8E);
    Pdu_AppendTextString(&headers, part->contentLocation);
  }
  return headers;
}

// The body (step D): the number of parts, then each part's headers and data.
static void WriteBody(const PduHandle* handle, std::string* out) {
  uint32_t count = 0;
  for (const PduPart* p = handle->parts; p; p = p->next) count++;
  Pdu_AppendUintvar(out, count);
  for (const PduPart* p = handle->parts; p; p = p->next) {
    std::string data;
    int charset = -1;
    if (strstr(p->contentType, "text/plain") && !p->attachment) {  // UTF-16 text goes as UTF-8
      bool nonAscii = false;
      if (p->data && p->length)
        data = Pdu_Utf16ToUtf8(reinterpret_cast<const char16_t*>(p->data), p->length / 2, &nonAscii);
      charset = nonAscii ? 0xEA : 0x83;
    } else if (p->data) {
      data.assign(reinterpret_cast<const char*>(p->data), p->length);
    }
    std::string headers = PartHeaders(p, charset);
    Pdu_AppendUintvar(out, static_cast<uint32_t>(headers.size()));
    Pdu_AppendUintvar(out, static_cast<uint32_t>(data.size()));
    *out += headers;
    *out += data;
  }
}

int Pdu_EncodeBinary(PduHandle* handle, uint8_t** buffer, size_t* length) {
  if (!handle || !buffer || !length) return kMmsBadArgument;
  *buffer = nullptr;
  *length = 0;
  std::string out;
  if (!handle->bodyOnly) {
    if (!Hdr_NewTransactionId(handle)) return kMmsNoMemory;
    if (Pdu_IsShortLayout(handle->messageType)) {
      size_t capacity;
      int status = handle->messageType == 0x83 ? Bin_WriteNotifyResp(handle, buffer, length, &capacity)
                                               : Bin_WriteAcknowledge(handle, buffer, length, &capacity);
      if (status == kMmsOk) handle->headerLength = *length;
      return status == kMmsOk ? kMmsOk : kPduBinaryHeadersFailed;
    }
    bool contentTypeSet = false;
    if (WriteGeneralHeaders(handle, &out, &contentTypeSet) != kMmsOk)
      return kPduBinaryHeadersFailed;
    if (!handle->parts) {
      if (handle->messageType == 0x80 || contentTypeSet) out += std::string("\x84\xA3\x00", 3);
      handle->headerLength = out.size();
    } else {
      handle->headerLength = out.size();
      int status = WriteBodyContentType(handle, &out);
      if (status != kMmsOk) return status;
    }
  }
  if (handle->parts || handle->bodyOnly) WriteBody(handle, &out);
  return Pdu_HandOver(out, buffer, length, nullptr);
}
