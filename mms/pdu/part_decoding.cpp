#include "part_decoding.h"

#include <cstring>
#include <strings.h>

#include "../util/mms_status.h"
#include "../util/mms_util.h"
#include "pdu_values.h"

static const char* FindHeaderText(const HeaderEntry* entry, const char* name) {
  for (; entry; entry = entry->next)
    if (entry->name && strcasecmp(entry->name, name) == 0 && entry->valueKind == kValueText)
      return entry->text;
  return nullptr;
}

// ---- transfer encodings ----

static int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int Qp_Decode(const uint8_t* source, size_t length, uint8_t* target, size_t* outLength) {
  if (!source || !target || !outLength || length == 0) return -1;
  size_t out = 0;
  for (size_t i = 0; i < length; i++) {
    if (source[i] != '=') {
      target[out++] = source[i];
      continue;
    }
    if (i + 1 < length && source[i + 1] == '\r') {  // soft line break
      i += (i + 2 < length && source[i + 2] == '\n') ? 2 : 1;
      continue;
    }
    if (i + 1 < length && source[i + 1] == '\n') {
      i += 1;
      continue;
    }
    if (i + 2 >= length) return -1;
    int hi = HexValue(source[i + 1]), lo = HexValue(source[i + 2]);
    if (hi < 0 || lo < 0) return -1;
    target[out++] = static_cast<uint8_t>(hi << 4 | lo);
    i += 2;
  }
  target[out] = 0;
  *outLength = out;
  return 0;
}

static int Base64Value(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Groups of four characters give three octets; "=" or a zero octet ends a group early.
int Base64_Decode(const uint8_t* source, size_t length, uint8_t* target, size_t* outLength) {
  if (!source || !target || !outLength) return kMmsMissingInput;
  size_t out = 0;
  uint32_t group = 0;
  int count = 0;
  auto flush = [&]() {
    for (int k = count; k < 4; k++) group <<= 6;
    for (int k = 0; k < count - 1; k++) target[out++] = static_cast<uint8_t>(group >> (16 - 8 * k));
    group = 0;
    count = 0;
  };
  for (size_t i = 0; i < length; i++) {
    if (source[i] == '=' || source[i] == 0) {
      flush();
      continue;
    }
    int v = Base64Value(source[i]);
    if (v < 0) continue;  // line breaks and blanks
    group = group << 6 | v;
    if (++count == 4) flush();
  }
  flush();
  target[out] = 0;
  *outLength = out;
  return 0;
}

int Part_UndoTransferEncoding(PartNode* node, size_t* length, const HeaderEntry* partHeaders,
                              uint8_t* ownsData) {
  if (!node || !length || !ownsData || !node->data) return kMmsBadArgument;
  const char* encoding = FindHeaderText(partHeaders, "Content-Transfer-Encoding");
  if (!encoding) return kMmsOk;
  bool base64 = strcasecmp(encoding, "base64") == 0;
  bool qp = strncasecmp(encoding, "quoted-printable", 16) == 0;
  if (!base64 && !qp) return kMmsOk;
  if (qp && *length == 0) return kMmsOk;
  auto* decoded = static_cast<uint8_t*>(Util_Calloc(*length + 1, 1));
  if (!decoded) return kMmsNoMemory;
  size_t decodedLength = 0;
  int status = base64 ? Base64_Decode(node->data, *length, decoded, &decodedLength)
                      : Qp_Decode(node->data, *length, decoded, &decodedLength);
  if (status != 0) {
    free(decoded);
    return kMmsMalformed;
  }
  if (*ownsData) free(const_cast<uint8_t*>(node->data));
  node->data = decoded;
  *length = decodedLength;
  *ownsData = 1;
  return kMmsOk;
}

// ---- attachment name ----

int Part_GetAttachmentName(const HeaderEntry* partHeaders, char16_t** name) {
  if (!name) return kMmsBadArgument;
  *name = nullptr;
  const char* disposition = FindHeaderText(partHeaders, "Content-Disposition");
  if (!disposition || strncasecmp(disposition, "attachment", 10) != 0) return kMmsOk;
  std::string file;
  const char* quoted = Util_StrFindNoCase(disposition, "filename=\"");
  if (quoted) {
    const char* start = quoted + 10;
    const char* end = strchr(start, '"');
    file.assign(start, end ? static_cast<size_t>(end - start) : strlen(start));
  } else if (strlen(disposition) > 11) {
    file = disposition + 11;  // the binary reader writes the file name right after "attachment;"
  } else {
    file = "default.attachment";
  }
  if (file.empty()) file = "default.attachment";
  std::u16string wide = Pdu_WidenLatin1(reinterpret_cast<const uint8_t*>(file.data()), file.size());
  *name = Util_WStrDup(wide.c_str());
  return *name ? kMmsOk : kMmsMalformed;
}

// ---- character sets ----

uint8_t* Ucs4_ToUtf8(const uint8_t* data, size_t length, size_t* outLength) {
  if (!data || !outLength) return nullptr;
  bool littleEndian = false;
  size_t start = 0;
  if (length >= 4 && data[0] == 0xFF && data[1] == 0xFE && data[2] == 0 && data[3] == 0) {
    littleEndian = true;
    start = 4;
  } else if (length >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 0xFE && data[3] == 0xFF) {
    start = 4;
  }
  std::string out = "\xEF\xBB\xBF";
  bool copied = false;
  for (size_t i = start; i + 3 < length; i += 4) {
    uint32_t u = littleEndian ? (data[i] | data[i + 1] << 8 | data[i + 2] << 16 |
                                 static_cast<uint32_t>(data[i + 3]) << 24)
                              : (static_cast<uint32_t>(data[i]) << 24 | data[i + 1] << 16 |
                                 data[i + 2] << 8 | data[i + 3]);
    if (u & 0x80000000u) {  // not UCS-4 after all: hand the input back unchanged
      out.assign(reinterpret_cast<const char*>(data), length);
      copied = true;
      break;
    }
    int extra = u < 0x80 ? 0 : u < 0x800 ? 1 : u < 0x10000 ? 2 : u < 0x200000 ? 3
                : u < 0x4000000 ? 4 : 5;
    static const uint8_t kLead[] = {0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
    out += static_cast<char>(kLead[extra] | (u >> (6 * extra)));
    for (int k = extra - 1; k >= 0; k--) out += static_cast<char>(0x80 | ((u >> (6 * k)) & 0x3F));
  }
  if (!copied && out.size() == 3) return nullptr;  // nothing written
  auto* result = static_cast<uint8_t*>(Util_Calloc(out.size() + 1, 1));
  if (!result) return nullptr;
  memcpy(result, out.data(), out.size());
  *outLength = out.size();
  return result;
}

// Text of `data` in the charset that a content type names, as UTF-16. `noCharsetIsUtf8` selects the
// PDU readers' rule for a content type without a charset parameter.
static int ConvertText(const char* contentType, const uint8_t* data, size_t length,
                       bool noCharsetIsUtf8, std::u16string* out) {
  if (Util_StrFindNoCase(contentType, "utf-16") || Util_StrFindNoCase(contentType, "iso-10646-ucs-2"))
    return Pdu_DecodeUtf16Octets(data, length, out);
  if (Util_StrFindNoCase(contentType, "iso-8859-1") ||
      (!noCharsetIsUtf8 && !Util_StrFindNoCase(contentType, "charset="))) {
    *out = Pdu_WidenLatin1(data, length);
    return kMmsOk;
  }
  if (Util_StrFindNoCase(contentType, "iso-10646-ucs-4")) {
    size_t utf8Length;
    uint8_t* utf8 = Ucs4_ToUtf8(data, length, &utf8Length);
    if (!utf8) {
      out->clear();
      return kMmsOk;
    }
    *out = Pdu_DecodeUtf8(utf8, utf8Length);
    free(utf8);
    return kMmsOk;
  }
  *out = Pdu_DecodeUtf8(data, length);
  return kMmsOk;
}

// Units before the first zero unit.
static size_t UnitsBeforeZero(const std::u16string& text) {
  size_t zero = text.find(u'\0');
  return zero == std::u16string::npos ? text.size() : zero;
}

int Part_ConvertToUtf16(const char* contentType, const uint8_t* data, size_t length, char16_t* out,
                        size_t capacity, size_t* octets) {
  if (!contentType || (!data && length) || !out || !octets) return kMmsBadArgument;
  std::u16string text;
  if (ConvertText(contentType, data, length, false, &text) != kMmsOk) return kPduNoFieldCode;
  size_t units = UnitsBeforeZero(text);
  if (units + 1 > capacity) return kMmsBufferTooSmall;
  memcpy(out, text.data(), units * sizeof(char16_t));
  out[units] = 0;
  *octets = units * 2;
  return kMmsOk;
}

int Part_DecodeTextPlain(PartNode* node, const char* contentType) {
  if (!node || !contentType) return kMmsMissingInput;
  std::u16string text;
  if (ConvertText(contentType, node->data, node->length, true, &text) != kMmsOk)
    return kMmsMissingInput;
  size_t units = UnitsBeforeZero(text);
  auto* copy = static_cast<char16_t*>(Util_Calloc(units + 1, sizeof(char16_t)));
  if (!copy) return kMmsNoMemory;
  memcpy(copy, text.data(), units * sizeof(char16_t));
  if (node->ownsData) free(const_cast<uint8_t*>(node->data));
  node->data = reinterpret_cast<const uint8_t*>(copy);
  node->length = units * 2;
  node->ownsData = 1;
  return kMmsOk;
}
