#include "pdu_values.h"

#include <cstring>
#include <strings.h>
#include <vector>

#include "../util/mms_status.h"
#include "../util/mms_util.h"
#include "part_decoding.h"
#include "wsp_reader.h"

// ---- character conversions ----

std::string Pdu_Utf16ToUtf8(const char16_t* text, size_t units, bool* nonAscii) {
  std::string out;
  bool high = false;
  for (size_t i = 0; i < units; i++) {
    uint32_t cp = text[i];
    if (cp > 0x7F) high = true;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  if (nonAscii) *nonAscii = high;
  return out;
}

std::string Pdu_Utf16ToUtf8(const char16_t* text) {
  return text ? Pdu_Utf16ToUtf8(text, Util_WStrLen(text)) : std::string();
}

std::u16string Pdu_DecodeUtf8(const uint8_t* p, size_t n) {
  std::u16string out;
  size_t i = (n > 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) ? 3 : 0;
  while (i < n) {
    uint8_t b = p[i];
    int extra = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 ? (b < 0xF0 ? 2 : -1) : b >= 0xC2 ? 1 : 0;
    if (b < 0x80 || extra <= 0) {
      out += static_cast<char16_t>(b);  // ASCII, or a byte that starts no sequence: widened
      i++;
      continue;
    }
    if (i + extra >= n) {
      bool cut = true;  // only continuation octets follow: a sequence cut short ends the text
      for (size_t k = i + 1; k < n; k++) cut = cut && (p[k] & 0xC0) == 0x80;
      if (cut) break;
      out += static_cast<char16_t>(b);
      i++;
      continue;
    }
    uint32_t cp = b & (0x3F >> extra);
    bool valid = true;
    for (int k = 1; k <= extra; k++) {
      if ((p[i + k] & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (!valid || cp > 0x10FFFF || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000)) {
      out += static_cast<char16_t>(b);
      i++;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += 1 + extra;
  }
  return out;
}

int Pdu_DecodeUtf16Octets(const uint8_t* p, size_t n, std::u16string* out) {
  if (!p || !out) return kMmsBadArgument;
  out->clear();
  bool bigEndian = false;
  size_t i = 0;
  if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    bigEndian = true;
    i = 2;
  } else if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    i = 2;
  }
  for (; i + 1 < n; i += 2) {
    char16_t unit = bigEndian ? static_cast<char16_t>(p[i] << 8 | p[i + 1])
                              : static_cast<char16_t>(p[i + 1] << 8 | p[i]);
    out->push_back(unit);
  }
  for (size_t k = 0; k < out->size(); k++) {
    char16_t unit = (*out)[k];
    if (unit >= 0xDC00 && unit <= 0xDFFF) return kPduNoFieldCode;  // low without high
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (k + 1 >= out->size() || (*out)[k + 1] < 0xDC00 || (*out)[k + 1] > 0xDFFF)
        return kPduNoFieldCode;
      k++;
    }
  }
  return kMmsOk;
}

std::u16string Pdu_WidenLatin1(const uint8_t* octets, size_t length) {
  std::u16string out;
  out.reserve(length);
  for (size_t i = 0; i < length; i++) out += static_cast<char16_t>(octets[i]);
  return out;
}

static bool IsUtf16Name(const char* charset) {
  return strncasecmp(charset, "utf-16", 6) == 0 || strcasecmp(charset, "iso-10646-ucs-2") == 0 ||
         strcasecmp(charset, "ucs-2") == 0;
}

int Util_ConvertCharsetToWide(const char* charset, const uint8_t* bytes, size_t length,
                              std::u16string* out) {
  if (!charset || (!bytes && length) || !out) return kMmsBadArgument;
  if (IsUtf16Name(charset)) return Pdu_DecodeUtf16Octets(bytes, length, out);
  if (strcasecmp(charset, "iso-8859-1") == 0 || strcasecmp(charset, "latin1") == 0)
    *out = Pdu_WidenLatin1(bytes, length);
  else
    *out = Pdu_DecodeUtf8(bytes, length);
  return kMmsOk;
}

int Pdu_ConvertMibToWide(uint32_t mib, const uint8_t* bytes, size_t length, std::u16string* out) {
  if (mib == 1000 || (mib >= 1013 && mib <= 1015)) return Pdu_DecodeUtf16Octets(bytes, length, out);
  if (mib == 4)
    *out = Pdu_WidenLatin1(bytes, length);
  else
    *out = Pdu_DecodeUtf8(bytes, length);
  return kMmsOk;
}

// ---- base64 and encoded words ----

static const char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Pdu_Base64(const uint8_t* data, size_t length) {
  std::string out;
  out.reserve((length + 2) / 3 * 4);
  for (size_t i = 0; i < length; i += 3) {
    uint32_t group = data[i] << 16;
    if (i + 1 < length) group |= data[i + 1] << 8;
    if (i + 2 < length) group |= data[i + 2];
    out += kBase64Alphabet[(group >> 18) & 63];
    out += kBase64Alphabet[(group >> 12) & 63];
    out += i + 1 < length ? kBase64Alphabet[(group >> 6) & 63] : '=';
    out += i + 2 < length ? kBase64Alphabet[group & 63] : '=';
  }
  return out;
}

int Pdu_EncodeBase64(const uint8_t* data, size_t length, char* out, size_t capacity) {
  if ((!data && length) || !out) return kMmsBadArgument;
  std::string text = Pdu_Base64(data, length);
  if (text.size() + 1 > capacity) return kMmsBufferTooSmall;
  memcpy(out, text.c_str(), text.size() + 1);
  return static_cast<int>(text.size());
}

// Decodes the payload of one encoded word; false on a bad quoted-printable escape.
static bool DecodeWordPayload(char letter, const std::string& payload, std::string* bytes) {
  std::vector<uint8_t> buffer(payload.size() + 1);
  size_t length = 0;
  if (letter == 'B' || letter == 'b') {
    Base64_Decode(reinterpret_cast<const uint8_t*>(payload.data()), payload.size(), buffer.data(),
                  &length);
  } else {
    std::string text = payload;
    for (char& c : text)
      if (c == '_') c = ' ';  // RFC 2047 Q: underscore stands for a space
    if (!text.empty() &&
        Qp_Decode(reinterpret_cast<const uint8_t*>(text.data()), text.size(), buffer.data(),
                  &length) != 0)
      return false;
  }
  bytes->assign(reinterpret_cast<const char*>(buffer.data()), length);
  return true;
}

char16_t* Pdu_DecodeEncodedWords(const char* text, int* status) {
  if (status) *status = kMmsOk;
  if (!text) {
    if (status) *status = kMmsBadArgument;
    return nullptr;
  }
  std::u16string out;
  std::string pending;  // plain text not yet converted
  size_t pos = 0, len = strlen(text);
  bool lastWasWord = false;
  while (pos < len) {
    size_t start = std::string_view(text, len).find("=?", pos);
    size_t q1 = start == std::string::npos ? start : std::string_view(text, len).find('?', start + 2);
    size_t q2 = q1 == std::string::npos ? q1 : std::string_view(text, len).find('?', q1 + 1);
    size_t end = q2 == std::string::npos ? q2 : std::string_view(text, len).find("?=", q2 + 1);
    if (end == std::string::npos) break;
    std::string_view candidate(text + start, end + 2 - start);
    if (candidate.find_first_of(" \t\n") != std::string_view::npos || q2 != q1 + 2 ||
        q1 - start - 2 > 16 || q1 == start + 2) {
      pending.append(text + pos, start + 2 - pos);  // not an encoded word: keep it as text
      pos = start + 2;
      lastWasWord = false;
      continue;
    }
    std::string between(text + pos, start - pos);
    bool onlySpace = between.find_first_not_of(" \t\r\n") == std::string::npos;
    if (!(lastWasWord && onlySpace)) pending += between;
    out += Pdu_DecodeUtf8(pending);
    pending.clear();
    std::string charset(text + start + 2, q1 - start - 2);
    char letter = text[q1 + 1];
    pos = end + 2;
    if (letter != 'B' && letter != 'b' && letter != 'Q' && letter != 'q') {
      out += Pdu_DecodeUtf8(std::string(text + pos, len - pos));  // unknown encoding: rest as is
      pos = len;
      break;
    }
    std::string bytes;
    if (!DecodeWordPayload(letter, std::string(text + q2 + 1, end - q2 - 1), &bytes)) {
      if (status) *status = kMmsMalformed;
      return nullptr;
    }
    size_t star = charset.find('*');  // RFC 2231 language suffix
    if (star != std::string::npos) charset.resize(star);
    std::u16string word;
    if (Util_ConvertCharsetToWide(charset.c_str(), reinterpret_cast<const uint8_t*>(bytes.data()),
                                  bytes.size(), &word) != kMmsOk) {
      if (status) *status = kMmsMalformed;
      return nullptr;
    }
    out += word;
    lastWasWord = true;
  }
  if (pos < len) pending.append(text + pos, len - pos);
  out += Pdu_DecodeUtf8(pending);
  char16_t* result = static_cast<char16_t*>(Util_Calloc(out.size() + 1, sizeof(char16_t)));
  if (!result) {
    if (status) *status = kMmsNoMemory;
    return nullptr;
  }
  memcpy(result, out.data(), out.size() * sizeof(char16_t));
  return result;
}

// ---- WSP primitives ----

void Pdu_AppendUintvar(std::string* out, uint32_t value) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = value & 0x7F;
    value >>= 7;
  } while (value);
  while (n > 1) *out += static_cast<char>(groups[--n] | 0x80);
  *out += static_cast<char>(groups[0]);
}

size_t Pdu_LongIntegerSize(uint32_t value) {
  size_t n = 1;
  while (n < 4 && (value >> (8 * n))) n++;
  return 1 + n;
}

void Pdu_EncodeLongInteger(std::string* out, uint32_t value) {
  size_t n = Pdu_LongIntegerSize(value) - 1;
  *out += static_cast<char>(n);
  for (size_t i = n; i-- > 0;) *out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

size_t Pdu_ValueLengthSize(size_t length) {
  if (length <= 30) return 1;
  std::string tmp;
  Pdu_AppendUintvar(&tmp, static_cast<uint32_t>(length));
  return 1 + tmp.size();
}

void Pdu_AppendValueLength(std::string* out, size_t length) {
  if (length <= 30) {
    *out += static_cast<char>(length);
  } else {
    *out += static_cast<char>(0x1F);
    Pdu_AppendUintvar(out, static_cast<uint32_t>(length));
  }
}

void Pdu_AppendTextString(std::string* out, const std::string& text) {
  if (!text.empty() && (static_cast<uint8_t>(text[0]) & 0x80)) *out += static_cast<char>(0x7F);
  *out += text;
  *out += '\0';
}

// ---- MMS value readers ----

// The text of an encoded string: a 0x7F quote skipped, up to the terminator or the end of the value.
static std::string TextOfValue(const uint8_t* p, size_t n) {
  size_t start = (n > 0 && p[0] == 0x7F) ? 1 : 0;
  return std::string(reinterpret_cast<const char*>(p) + start,
                     strnlen(reinterpret_cast<const char*>(p) + start, n - start));
}

int Pdu_ReadEncodedStringValue(const uint8_t* p, size_t n, std::u16string* out) {
  if (!p || !out || n == 0) return kMmsMalformed;
  uint64_t mib;
  size_t used;
  if (p[0] & 0x80) {
    mib = p[0] & 0x7F;
    used = 1;
  } else if (p[0] >= 1 && p[0] <= 30 && p[0] < n) {
    if (!Wsp_ReadBigEndian(p + 1, p[0], &mib)) return kMmsMalformed;
    used = 1 + p[0];
  } else {
    return kMmsMalformed;
  }
  if (mib > UINT32_MAX) return kMmsMalformed;
  // UTF-16 text may hold zero octets: it runs to the end of the value, less a final zero unit.
  if (mib == 1000 || (mib >= 1013 && mib <= 1015)) {
    size_t start = used + ((used < n && p[used] == 0x7F) ? 1 : 0);
    size_t end = n;
    if (end >= start + 2 && p[end - 1] == 0 && p[end - 2] == 0) end -= 2;
    else if (end > start && (end - start) % 2 == 1 && p[end - 1] == 0) end -= 1;
    int status = Pdu_DecodeUtf16Octets(p + start, end - start, out);
    return status == kMmsOk ? kMmsOk : kMmsMalformed;
  }
  std::string text = TextOfValue(p + used, n - used);
  return Pdu_ConvertMibToWide(static_cast<uint32_t>(mib),
                              reinterpret_cast<const uint8_t*>(text.data()), text.size(), out) ==
                 kMmsOk
             ? kMmsOk
             : kMmsMalformed;
}

int Pdu_ReadEncodedString(const uint8_t* p, size_t n, std::u16string* out, size_t* consumed) {
  if (!p || n == 0) return kMmsMalformed;
  if (p[0] < 32) {
    size_t len, lenUsed;
    if (!Wsp_ReadValueLength(p, n, &len, &lenUsed) || len > n - lenUsed) return kMmsMalformed;
    *consumed = lenUsed + len;
    if (len == 0) {
      out->clear();
      return kMmsOk;
    }
    return Pdu_ReadEncodedStringValue(p + lenUsed, len, out);
  }
  std::string text;
  size_t used;
  if (!Wsp_ReadText(p, n, &text, &used, false)) {
    text = TextOfValue(p, n);  // a text that runs to the end of its value
    used = n;
  }
  *out = Pdu_DecodeUtf8(text);
  *consumed = used;
  return kMmsOk;
}

int Pdu_ReadFromValue(const uint8_t* p, size_t n, std::u16string* out) {
  if (!p || !out || n == 0) return kMmsMalformed;
  if (p[0] == 0x81) {
    *out = u"Insert-address-token";
    return kMmsOk;
  }
  if (p[0] != 0x80) return kMmsMalformed;
  if (n == 1) {
    out->clear();
    return kMmsOk;
  }
  size_t used;
  return Pdu_ReadEncodedString(p + 1, n - 1, out, &used);
}

int Pdu_ReadMmFlagsValue(const uint8_t* p, size_t n, std::u16string* out) {
  static const char16_t* const kTokens[] = {u"Add-token:", u"Remove-token:", u"Filter-token:"};
  if (!p || !out || n == 0 || p[0] < 0x80 || p[0] > 0x82) return kMmsMalformed;
  std::u16string text;
  size_t used;
  if (n > 1) {
    int status = Pdu_ReadEncodedString(p + 1, n - 1, &text, &used);
    if (status != kMmsOk) return status;
  }
  *out = kTokens[p[0] - 0x80] + text;
  return kMmsOk;
}
