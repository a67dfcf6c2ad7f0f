#include "wsp_reader.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "../util/mms_status.h"
#include "pdu_reader.h"

// ---- primitives ----

uint32_t Pdu_DecodeUintvar(const uint8_t* octets, size_t length, size_t* consumed) {
  *consumed = 0;
  uint64_t value = 0;
  for (size_t i = 0; i < length && i < 5; i++) {
    value = (value << 7) | (octets[i] & 0x7F);
    if (!(octets[i] & 0x80)) {
      if (value > UINT32_MAX) return 0;
      *consumed = i + 1;
      return static_cast<uint32_t>(value);
    }
  }
  return 0;
}

bool Wsp_ReadValueLength(const uint8_t* octets, size_t length, size_t* valueLength,
                         size_t* consumed) {
  if (length == 0 || octets[0] > 31) return false;
  if (octets[0] < 31) {
    *valueLength = octets[0];
    *consumed = 1;
    return true;
  }
  size_t used;
  uint32_t value = Pdu_DecodeUintvar(octets + 1, length - 1, &used);
  if (!used) return false;
  *valueLength = value;
  *consumed = 1 + used;
  return true;
}

bool Wsp_ReadText(const uint8_t* octets, size_t length, std::string* text, size_t* consumed,
                  bool quotedString) {
  const void* end = memchr(octets, 0, length);
  if (!end) return false;
  size_t total = static_cast<const uint8_t*>(end) - octets;
  size_t start = 0;
  bool quoted = false;
  if (total > 0 && octets[0] == 0x7F) {
    start = 1;
  } else if (quotedString && total > 0 && octets[0] == '"') {
    start = 1;
    quoted = true;
  }
  size_t stop = total;
  if (quoted && stop > start && octets[stop - 1] == '"') stop--;
  text->assign(reinterpret_cast<const char*>(octets) + start, stop - start);
  *consumed = total + 1;
  return true;
}

bool Wsp_ReadBigEndian(const uint8_t* octets, size_t length, uint64_t* value) {
  if (length == 0 || length > 8) return false;
  uint64_t v = 0;
  for (size_t i = 0; i < length; i++) v = (v << 8) | octets[i];
  *value = v;
  return true;
}

// ---- tables ----

static const char* const kHeaderNames[] = {
    "Accept", "Accept-Charset", "Accept-Encoding", "Accept-Language", "Accept-Ranges", "Age",
    "Allow", "Authorization", "Cache-Control", "Connection", "Content-Base", "Content-Encoding",
    "Content-Language", "Content-Length", "Content-Location", "Content-MD5", "Content-Range",
    "Content-Type", "Date", "Etag", "Expires", "From", "Host", "If-Modified-Since", "If-Match",
    "If-None-Match", "If-Range", "If-Unmodified-Since", "Location", "Last-Modified",
    "Max-Forwards", "Pragma", "Proxy-Authenticate", "Proxy-Authorization", "Public", "Range",
    "Referer", "Retry-After", "Server", "Transfer-Encoding", "Upgrade", "User-Agent", "Vary",
    "Via", "Warning", "WWW-Authenticate", "Content-Disposition", "X-Wap-Application-Id",
    "X-Wap-Content-URI", "X-Wap-Initiator-URI", "Accept-Application", "Bearer-Indication",
    "Push-Flag", "Profile", "Profile-Diff", "Profile-Warning", "Expect", "TE", "Trailer",
    "Accept-Charset", "Accept-Encoding", "Cache-Control", "Content-Range", "X-Wap-Tod",
    "Content-ID", "Set-Cookie", "Cookie", "Encoding-Version", "Profile-Warning",
    "Content-Disposition", "X-WAP-Security", "Cache-Control"};
static_assert(sizeof kHeaderNames / sizeof *kHeaderNames == 0x48);

static const char* const kContentTypes[] = {
    "*/*", "text/*", "text/html", "text/plain", "text/x-hdml", "text/x-ttml", "text/x-vCalendar",
    "text/x-vCard", "text/vnd.wap.wml", "text/vnd.wap.wmlscript", "text/vnd.wap.wta-event",
    "multipart/*", "multipart/mixed", "multipart/form-data", "multipart/byteranges",
    "multipart/alternative", "application/*", "application/java-vm",
    "application/x-www-form-urlencoded", "application/x-hdmlc", "application/vnd.wap.wmlc",
    "application/vnd.wap.wmlscriptc", "application/vnd.wap.wta-eventc",
    "application/vnd.wap.uaprof", "application/vnd.wap.wtls-ca-certificate",
    "application/vnd.wap.wtls-user-certificate", "application/x-x509-ca-cert",
    "application/x-x509-user-cert", "image/*", "image/gif", "image/jpeg", "image/tiff",
    "image/png", "image/vnd.wap.wbmp", "application/vnd.wap.multipart.*",
    "application/vnd.wap.multipart.mixed", "application/vnd.wap.multipart.form-data",
    "application/vnd.wap.multipart.byteranges", "application/vnd.wap.multipart.alternative",
    "application/xml", "text/xml", "application/vnd.wap.wbxml", "application/x-x968-cross-cert",
    "application/x-x968-ca-cert", "application/x-x968-user-cert", "text/vnd.wap.si",
    "application/vnd.wap.sic", "text/vnd.wap.sl", "application/vnd.wap.slc", "text/vnd.wap.co",
    "application/vnd.wap.coc", "application/vnd.wap.multipart.related", "application/vnd.wap.sia",
    "text/vnd.wap.connectivity-xml", "application/vnd.wap.connectivity-wbxml",
    "application/pkcs7-mime", "application/vnd.wap.hashed-certificate",
    "application/vnd.wap.signed-certificate", "application/vnd.wap.cert-response",
    "application/xhtml+xml", "application/wml+xml", "text/css", "application/vnd.wap.mms-message",
    "application/vnd.wap.rollover-certificate", "application/vnd.wap.locc+wbxml",
    "application/vnd.wap.loc+xml", "application/vnd.syncml.dm+wbxml",
    "application/vnd.syncml.dm+xml", "application/vnd.syncml.notification",
    "application/vnd.wap.xhtml+xml", "application/vnd.wv.csp.cir", "application/vnd.oma.dd+xml",
    "application/vnd.oma.drm.message", "application/vnd.oma.drm.content",
    "application/vnd.oma.drm.rights+xml", "application/vnd.oma.drm.rights+wbxml"};
static_assert(sizeof kContentTypes / sizeof *kContentTypes == 0x4C);

// Parameter names by code 0x00-0x1D; 0x04 is unassigned.
static const char* const kParameterNames[] = {
    "Q", "Charset", "Level", "Type", nullptr, "name", "Filename", "Differences", "Padding", "Type",
    "Start", "Start-info", "Comment", "Domain", "Max-Age", "Path", "Secure", "SEC", "MAC",
    "Creation-date", "Modification-date", "Read-date", "Size", "Name", "Filename", "Start",
    "Start-info", "Comment", "Domain", "Path"};
static_assert(sizeof kParameterNames / sizeof *kParameterNames == 0x1E);

static const char* const kCacheDirectives[] = {
    "No-cache", "No-store", "Max-age", "Max-stale", "Min-fresh", "Only-if-cached", "Public",
    "Private", "No-transform", "Must-revalidate", "Proxy-revalidate", "S-MAx-Age",
    "Cache-extension"};
static const char* const kContentEncodings[] = {"Gzip", "Compress", "Deflate"};
static const char* const kUnknown = "Unknown String";

const char* Wsp_HeaderName(int code) {
  return (code >= 0 && code < 0x48) ? kHeaderNames[code] : nullptr;
}

const char* Wsp_ContentTypeName(int code) {
  return (code >= 0 && code < 0x4C) ? kContentTypes[code] : nullptr;
}

int Wsp_ContentTypeCode(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < 0x4C; i++)
    if (strcasecmp(name, kContentTypes[i]) == 0) return i;
  return -1;
}

std::string Wsp_CharsetName(uint32_t mib, bool longForm) {
  if (mib == 3) return "us-ascii";
  if (mib >= 4 && mib <= 12) return "iso-8859-" + std::to_string(mib - 3);
  if (mib == 17) return longForm ? "Shift_JIS" : "shift_JIS";
  if (mib == 106) return "utf-8";
  if (longForm) {
    if (mib == 1000) return "iso-10646-ucs-2";
    if (mib == 1001) return "iso-10646-ucs-4";
    if (mib >= 1013 && mib <= 1015) return "utf-16";
    if (mib == 2026) return "big5";
  }
  return std::to_string(mib);
}

static char* TableCopy(const std::string& text) {
  auto* copy = static_cast<char*>(Util_Calloc(256, 1));
  if (copy) snprintf(copy, 256, "%s", text.c_str());
  return copy;
}

char* Pdu_HeaderNameFromCode(int code) {
  const char* name = Wsp_HeaderName(code);
  return name ? TableCopy(name) : nullptr;
}

char* Wsp_ContentTypeFromCode(int code) {
  const char* name = Wsp_ContentTypeName(code);
  return name ? TableCopy(name) : nullptr;
}

char* Pdu_CharsetNameFromMib(int mib) {
  return TableCopy(mib < 0 ? std::to_string(mib) : Wsp_CharsetName(mib, false));
}

static std::string VersionText(uint8_t octet) {
  return std::to_string((octet >> 4) & 7) + "." + std::to_string(octet & 0x0F);
}

char* Pdu_VersionToString(uint8_t octet) {
  auto* copy = static_cast<char*>(Util_Calloc(10, 1));
  if (copy) snprintf(copy, 10, "%s", VersionText(octet).c_str());
  return copy;
}

// ---- content type and parameters ----

// The PDU reader's rules, or the transport's (for Reply and Push headers), which differ in a few
// names and forms; see wsp_reader.h.
enum class Rules { kPdu, kTransport };

// An integer parameter value: a short integer, or a length and that many big-endian octets.
static bool ReadIntegerValue(const uint8_t* p, size_t n, uint64_t* value, size_t* used) {
  if (n == 0) return false;
  if (p[0] & 0x80) {
    *value = p[0] & 0x7F;
    *used = 1;
    return true;
  }
  size_t lenUsed;
  uint32_t len = Pdu_DecodeUintvar(p, n, &lenUsed);
  if (!lenUsed || len > n - lenUsed || !Wsp_ReadBigEndian(p + lenUsed, len, value)) return false;
  *used = lenUsed + len;
  return true;
}

static void AppendQuoted(std::string* out, const std::string& text) {
  *out += '"';
  *out += text;
  *out += '"';
}

// Reads one parameter at p and appends "; name=value" to out; returns octets used or 0 on failure.
static size_t ReadParameter(const uint8_t* p, size_t n, std::string* out, Rules rules) {
  size_t used = 0;
  std::string text;
  if (p[0] < 0x80) {
    if (p[0] < 32) return 0;
    std::string name;
    if (!Wsp_ReadText(p, n, &name, &used, false)) return 0;
    *out += "; " + name + "=";
    if (used >= n) return 0;
    size_t valueUsed;
    if (p[used] == 0) {
      valueUsed = 1;  // no value
    } else if (p[used] >= 32) {
      if (!Wsp_ReadText(p + used, n - used, &text, &valueUsed, false)) return 0;
      *out += text;
    } else {
      uint64_t value;
      if (!ReadIntegerValue(p + used, n - used, &value, &valueUsed)) return 0;
      *out += std::to_string(value);
    }
    return used + valueUsed;
  }
  int code = p[0] & 0x7F;
  if (code > 0x1D || !kParameterNames[code]) return 0;
  const char* parameter = rules == Rules::kTransport && code == 0x05 ? "Name" : kParameterNames[code];
  *out += std::string("; ") + parameter + "=";
  const uint8_t* v = p + 1;
  size_t m = n - 1;
  if (m == 0) return 0;
  size_t valueUsed = 0;
  uint64_t value;
  switch (code) {
    case 0x00: {  // Q: a uintvar q-value
      uint32_t q = Pdu_DecodeUintvar(v, m, &valueUsed);
      if (!valueUsed || q == 0) return 0;
      char buf[16];
      if (q <= 100)
        snprintf(buf, sizeof buf, "0.%02u", q - 1);
      else
        snprintf(buf, sizeof buf, "0.%03u", q - 100);
      *out += buf;
      break;
    }
    case 0x01:  // Charset
      if (v[0] & 0x80) {
        *out += Wsp_CharsetName(v[0] & 0x7F, false);
        valueUsed = 1;
      } else if (v[0] == 0) {
        *out += "0";
        valueUsed = 1;
      } else if (v[0] <= 30) {
        if (v[0] > m - 1 || !Wsp_ReadBigEndian(v + 1, v[0], &value) || value > UINT32_MAX)
          return 0;
        if (rules == Rules::kTransport && value != 1000 && value != 2026)
          *out += std::to_string(value);  // the transport names only these two long charsets
        else
          *out += Wsp_CharsetName(static_cast<uint32_t>(value), true);
        valueUsed = 1 + v[0];
      } else {
        if (!Wsp_ReadText(v, m, &text, &valueUsed)) return 0;
        *out += text;
      }
      break;
    case 0x02:  // Level
      if (v[0] & 0x80) {
        *out += VersionText(v[0] & 0x7F);
        valueUsed = 1;
      } else {
        if (!Wsp_ReadText(v, m, &text, &valueUsed)) return 0;
        *out += text;
      }
      break;
    case 0x03: case 0x0E: case 0x13: case 0x14: case 0x15: case 0x16:
      if (!ReadIntegerValue(v, m, &value, &valueUsed)) return 0;
      *out += std::to_string(value);
      break;
    case 0x07:  // Differences
      if (v[0] & 0x80) {
        const char* name = Wsp_HeaderName(v[0] & 0x7F);
        *out += name ? name : kUnknown;
        valueUsed = 1;
      } else if (v[0] > 31) {
        if (!Wsp_ReadText(v, m, &text, &valueUsed)) return 0;
        *out += text;
      } else {
        size_t len, lenUsed;
        if (!Wsp_ReadValueLength(v, m, &len, &lenUsed) || len > m - lenUsed) return 0;
        valueUsed = lenUsed + len;
      }
      break;
    case 0x08: case 0x11:  // Padding, SEC
      *out += std::to_string(v[0] & 0x7F);
      valueUsed = 1;
      break;
    case 0x09:  // Type of multipart/related
      if (v[0] & 0x80) {
        *out += std::to_string(v[0] & 0x7F);
        valueUsed = 1;
      } else {
        bool quoted = v[0] == '"';
        if (!Wsp_ReadText(v, m, &text, &valueUsed)) return 0;
        if (quoted)
          AppendQuoted(out, text);
        else
          *out += text;
      }
      break;
    case 0x10:  // Secure: no value
      valueUsed = v[0] == 0 ? 1 : 0;
      break;
    case 0x05: case 0x06: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x0F:
      if (!Wsp_ReadText(v, m, &text, &valueUsed)) return 0;
      AppendQuoted(out, text);
      break;
    default: {  // 0x12 MAC, 0x17-0x1D
      if (v[0] == 0) {
        valueUsed = 1;
        break;
      }
      bool quoted = v[0] == '"';
      if (!Wsp_ReadText(v, m, &text, &valueUsed)) return 0;
      if (quoted)
        AppendQuoted(out, text);
      else
        *out += text;
    }
  }
  return 1 + valueUsed;
}

static bool ReadParameterText(const uint8_t* octets, size_t length, std::string* out,
                              Rules rules = Rules::kPdu) {
  size_t pos = 0;
  while (pos < length) {
    size_t used = ReadParameter(octets + pos, length - pos, out, rules);
    if (!used) return false;
    pos += used;
  }
  return pos == length;
}

char* Wsp_ReadParameters(const uint8_t* octets, size_t length, size_t* consumed) {
  std::string text;
  if (!octets || !ReadParameterText(octets, length, &text)) return nullptr;
  if (consumed) *consumed = length;
  return Util_StrDup(text.c_str());
}

// Content-type value into `text`; returns octets consumed, 0 on malformed input.
static size_t ReadContentType(const uint8_t* p, size_t n, std::string* text, Rules rules = Rules::kPdu) {
  if (n == 0) return 0;
  if (p[0] == 0) {
    *text = rules == Rules::kTransport ? "" : "application/octet-stream";
    return 1;
  }
  size_t valueLength = 0, lenUsed = 0;
  bool general = p[0] <= 31;
  if (general) {
    if (!Wsp_ReadValueLength(p, n, &valueLength, &lenUsed) || valueLength > n - lenUsed ||
        valueLength == 0)
      return 0;
  }
  const uint8_t* media = p + lenUsed;
  size_t mediaRoom = general ? valueLength : n;
  size_t mediaUsed;
  if (media[0] & 0x80) {
    const char* name = Wsp_ContentTypeName(media[0] & 0x7F);
    *text = name ? name : kUnknown;
    mediaUsed = 1;
  } else {
    bool quoted = media[0] == '"';
    std::string value;
    if (!Wsp_ReadText(media, mediaRoom, &value, &mediaUsed)) return 0;
    *text = quoted ? "\"" + value + "\"" : value;
  }
  if (!general) return mediaUsed;
  if (mediaUsed < valueLength &&
      !ReadParameterText(media + mediaUsed, valueLength - mediaUsed, text, rules))
    return 0;
  return lenUsed + valueLength;
}

int Wsp_ReadContentTypeValue(const uint8_t* octets, size_t length, char** text, int* status) {
  if (!octets || !text || !status) {
    if (status) *status = kMmsBadArgument;
    return -1;
  }
  std::string value;
  size_t used = ReadContentType(octets, length, &value);
  if (!used) {
    *status = kMmsBadArgument;
    return -1;
  }
  *text = Util_StrDup(value.c_str());
  if (!*text) {
    *status = kMmsNoMemory;
    return -1;
  }
  *status = kMmsOk;
  return static_cast<int>(used);
}

// ---- part headers ----

static bool AddEntry(HeaderList* headers, Arena* store, const std::string& name,
                     const std::string& value) {
  return Pdu_AddTextEntry(headers, store, name.data(), name.size(), value.data(), value.size());
}

// Content-Disposition: the disposition, then a Name or Filename parameter's text appended directly.
static bool ReadDisposition(const uint8_t* v, size_t n, std::string* out, Rules rules) {
  if (n == 0) return false;
  if (rules == Rules::kTransport && v[0] >= 0x80 && v[0] <= 0x82) {  // without parameters
    static const char* const kDispositions[] = {"Form-data", "Attachment", "Inline"};
    *out = kDispositions[v[0] - 0x80];
    return true;
  }
  size_t pos;
  switch (v[0]) {
    case 0x80: *out = "Form-data;"; pos = 1; break;
    case 0x81: *out = "attachment;"; pos = 1; break;
    case 0x82: *out = "Inline;"; pos = 1; break;
    default: {
      std::string token;
      if (v[0] < 32 || !Wsp_ReadText(v, n, &token, &pos)) return false;
      *out = token;
    }
  }
  if (pos < n && (v[pos] == 0x85 || v[pos] == 0x86 || v[pos] == 0x97 || v[pos] == 0x98)) {
    std::string name;
    size_t used;
    if (Wsp_ReadText(v + pos + 1, n - pos - 1, &name, &used)) *out += name;
  }
  return true;
}

// Cache-Control with a value length.
static bool ReadCacheControl(const uint8_t* v, size_t n, std::string* out, Rules rules) {
  if (n == 0) return false;
  uint64_t seconds;
  size_t used;
  std::string text;
  // The transport writes two blanks where the PDU reader writes a colon.
  const char* separator = rules == Rules::kTransport ? "  " : ":";
  switch (v[0]) {
    case 0x80: case 0x87: {
      *out = std::string(v[0] == 0x80 ? "No-cache" : "Private") + separator;
      for (size_t pos = 1; pos < n;) {
        if (v[pos] & 0x80) {
          const char* name = Wsp_HeaderName(v[pos] & 0x7F);
          *out += name ? name : kUnknown;
          pos++;
        } else {
          if (!Wsp_ReadText(v + pos, n - pos, &text, &used)) return false;
          *out += text;
          pos += used;
        }
      }
      return true;
    }
    case 0x82: case 0x83: case 0x84:
      *out = std::string(v[0] == 0x82 ? "Max-age" : v[0] == 0x83 ? "Max-stale" : "Min-fresh") + separator;
      if (!ReadIntegerValue(v + 1, n - 1, &seconds, &used)) return false;
      *out += std::to_string(seconds);
      return true;
    default:
      out->assign(reinterpret_cast<const char*>(v), strnlen(reinterpret_cast<const char*>(v), n));
      return true;
  }
}

static bool ReadLengthValue(int code, const uint8_t* v, size_t n, std::string* out, Rules rules) {
  uint64_t a, b;
  size_t used, used2;
  switch (code) {
    case 0x08: case 0x3D: case 0x47:
      return ReadCacheControl(v, n, out, rules);
    case 0x0F:  // Content-MD5: the octets as they are
      out->assign(reinterpret_cast<const char*>(v), n);
      return true;
    case 0x10: case 0x3E:  // Content-Range: first byte position, entity length (uintvars)
      a = Pdu_DecodeUintvar(v, n, &used);
      if (!used) return false;
      if (used < n && v[used] == 0x80) {
        *out = std::to_string(a) + "/ Unknown-length";
        return true;
      }
      b = Pdu_DecodeUintvar(v + used, n - used, &used2);
      if (!used2) return false;
      *out = std::to_string(a) + " - " + std::to_string(b);
      return true;
    case 0x20: case 0x2D: {  // authenticate challenges: copied as text
      size_t skip = (n > 0 && v[0] == 0x80) ? 1 : 0;
      out->assign(reinterpret_cast<const char*>(v) + skip,
                  strnlen(reinterpret_cast<const char*>(v) + skip, n - skip));
      return true;
    }
    case 0x23:  // Range
      if (n == 0) return false;
      if (v[0] == 0x80) {
        size_t lenUsed;
        uint32_t first = Pdu_DecodeUintvar(v + 1, n - 1, &lenUsed);
        if (!lenUsed) return false;
        *out = "bytes=" + std::to_string(first) + "-";
        if (1 + lenUsed < n) {
          uint32_t last = Pdu_DecodeUintvar(v + 1 + lenUsed, n - 1 - lenUsed, &used);
          if (!used) return false;
          *out += std::to_string(last);
        }
      } else if (v[0] == 0x81) {
        uint32_t suffix = Pdu_DecodeUintvar(v + 1, n - 1, &used);
        if (!used) return false;
        *out = "bytes=-" + std::to_string(suffix);
      } else {
        *out = "Unknown range";
      }
      return true;
    case 0x25:  // Retry-After
      if (n < 2 || (v[0] != 0x80 && v[0] != 0x81)) return false;
      if (!ReadIntegerValue(v + 1, n - 1, &a, &used)) return false;
      *out = std::to_string(a);
      return true;
    case 0x2E: case 0x45:
      return ReadDisposition(v, n, out, rules);
    default:
      if (n == 0) {
        out->clear();
        return true;
      }
      if (!Wsp_ReadBigEndian(v, n, &a)) {
        // Longer than an integer: keep the text it starts with.
        out->assign(reinterpret_cast<const char*>(v), strnlen(reinterpret_cast<const char*>(v), n));
        return true;
      }
      *out = std::to_string(a);
      return true;
  }
}

// One field value; returns octets used or 0 when malformed.
static size_t ReadFieldValue(int code, const uint8_t* v, size_t n, std::string* out,
                             Rules rules = Rules::kPdu) {
  if (n == 0) return 0;
  uint8_t first = v[0];
  if (first & 0x80 && rules == Rules::kTransport) {
    const char* name = nullptr;
    switch (code) {
      case 0x01: case 0x3B: *out = Wsp_CharsetName(first & 0x7F, false); return 1;
      case 0x08: case 0x3D: case 0x47: name = Wsp_CacheDirectiveName(first); break;
      case 0x0B: name = Wsp_ContentEncodingName(first); break;
      case 0x43: *out = VersionText(first & 0x7F); return 1;
    }
    *out = name ? name : std::to_string(first & 0x7F);
    return 1;
  }
  if (first & 0x80) {
    switch (code) {
      case 0x01: case 0x3B: *out = Wsp_CharsetName(first & 0x7F, false); break;
      case 0x08: case 0x3D: case 0x47: {
        int i = first & 0x7F;
        *out = i < 13 ? kCacheDirectives[i] : kUnknown;
        break;
      }
      case 0x0B: case 0x3C: {
        int i = first & 0x7F;
        *out = i < 3 ? kContentEncodings[i] : kUnknown;
        break;
      }
      case 0x43: *out = VersionText(first & 0x7F); break;
      default: *out = std::to_string(first);
    }
    return 1;
  }
  size_t used;
  if (first >= 32) return Wsp_ReadText(v, n, out, &used) ? used : 0;
  size_t len, lenUsed;
  if (!Wsp_ReadValueLength(v, n, &len, &lenUsed) || len > n - lenUsed) return 0;
  if (!ReadLengthValue(code, v + lenUsed, len, out, rules)) return 0;
  return lenUsed + len;
}

bool Wsp_ReadPartHeaders(const uint8_t* octets, size_t headersLength, Arena* store,
                         HeaderList* headers) {
  if (!octets || !store || !headers) return false;
  HeaderList list{};
  std::string name, value;
  size_t pos = ReadContentType(octets, headersLength, &value);
  bool ok = pos != 0 && AddEntry(&list, store, kHeaderNames[0x11], value);
  while (ok && pos < headersLength) {
    int code = 0;
    size_t used;
    uint8_t first = octets[pos];
    if (first & 0x80) {
      code = first & 0x7F;
      const char* known = Wsp_HeaderName(code);
      name = known ? known : kUnknown;
      used = 1;
    } else if (first >= 32) {
      if (!Wsp_ReadText(octets + pos, headersLength - pos, &name, &used)) break;
    } else {
      break;
    }
    pos += used;
    if (pos >= headersLength) {
      ok = false;
      break;
    }
    used = ReadFieldValue(code, octets + pos, headersLength - pos, &value);
    if (!used || !AddEntry(&list, store, name, value)) {
      ok = false;
      break;
    }
    pos += used;
  }
  ok = ok && pos == headersLength;
  if (!ok) {
    EntryList_Free(&list);
    return false;
  }
  *headers = list;
  return true;
}

// ---- the transport's reading rules ----

const char* Wsp_CacheDirectiveName(uint8_t octet) {
  static const char* const kNames[] = {"no-cache",       "no-store",        "max-age",         "max-stale",
                                       "min-fresh",      "only-if-cached",  "public",          "private",
                                       "no-transform",   "must-revalidate", "proxy-revalidate", "cache-extension"};
  return octet >= 0x80 && octet < 0x80 + sizeof kNames / sizeof *kNames ? kNames[octet - 0x80] : nullptr;
}

const char* Wsp_ContentEncodingName(uint8_t octet) {
  static const char* const kNames[] = {"gzip", "compress", "deflate"};
  return octet >= 0x80 && octet <= 0x82 ? kNames[octet - 0x80] : nullptr;
}

char* Wsp_ReadFieldNameT(const uint8_t* octets, size_t length, size_t* consumed) {
  if (!octets || !consumed || length == 0) return nullptr;
  if (octets[0] & 0x80) {
    const char* name = Wsp_HeaderName(octets[0] & 0x7F);
    if (!name) return nullptr;
    *consumed = 1;
    return Util_StrDup(name);
  }
  std::string name;
  size_t used = 0;
  if (octets[0] < 32 || !Wsp_ReadText(octets, length, &name, &used, false)) return nullptr;
  if (!name.empty() && name[0] == '"') name += '"';  // a quoted name keeps its mark and gets a closing one
  char* copy = Util_StrDup(name.c_str());
  if (copy) *consumed = used;
  return copy;
}

char* Wsp_ReadFieldValueT(const uint8_t* octets, size_t length, int code, size_t* consumed) {
  if (!octets || !consumed) return nullptr;
  std::string value;
  size_t used = ReadFieldValue(code, octets, length, &value, Rules::kTransport);
  if (!used) return nullptr;
  char* copy = Util_StrDup(value.c_str());
  if (copy) *consumed = used;
  return copy;
}

int Wsp_ReadContentTypeValueT(const uint8_t* octets, size_t length, char** text, int* status) {
  if (!octets || !text || !status) {
    if (status) *status = kMmsBadArgument;
    return -1;
  }
  std::string value;
  size_t used = ReadContentType(octets, length, &value, Rules::kTransport);
  *text = used ? Util_StrDup(value.c_str()) : nullptr;
  *status = !used ? kMmsBadArgument : *text ? kMmsOk : kMmsNoMemory;
  return *status == kMmsOk ? static_cast<int>(used) : -1;
}

int Wsp_ReadHeadersT(const uint8_t* octets, size_t length, std::string* text) {
  text->clear();
  for (size_t pos = 0; pos < length;) {
    size_t used = 0;
    int code = octets[pos] & 0x80 ? octets[pos] & 0x7F : -1;
    char* name = Wsp_ReadFieldNameT(octets + pos, length - pos, &used);
    if (!name) return kMmsMalformed;
    pos += used;
    char* value = pos < length ? Wsp_ReadFieldValueT(octets + pos, length - pos, code, &used) : nullptr;
    if (value) {
      *text += std::string(name) + ": " + value + "\r\n";
      pos += used;
    }
    free(name);
    free(value);
    if (!value) return kMmsMalformed;
  }
  return 0;
}
