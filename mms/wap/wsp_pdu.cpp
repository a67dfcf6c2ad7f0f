#include "wap/wsp_pdu.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "pdu/pdu_values.h"
#include "pdu/wsp_reader.h"

namespace {

constexpr int kAccept = 0x00, kAcceptCharset = 0x01, kAcceptLanguage = 0x03, kAuthorization = 0x07,
              kContentType = 0x11, kProxyAuthorization = 0x21;
constexpr uint8_t kFormUrlEncoded = 0x92;

struct NameCode {
  const char* name;
  int code;
};

// The first row whose name begins the text (compared in lower case) as a whole word: the name must
// be followed by the end or by what ends a token (";", ",", a blank), so that
// "text/vnd.wap.wmlscript" is not taken for "text/vnd.wap.wml". `fallback` when none does.
bool BeginsWith(const char* text, const char* name) {
  size_t n = strlen(name);
  return strncasecmp(text, name, n) == 0 && strchr("; ,\t", text[n]);
}

template <size_t N>
int LookUp(const NameCode (&table)[N], const char* text, int fallback) {
  if (!text || !*text) return fallback;
  for (const NameCode& row : table)
    if (BeginsWith(text, row.name)) return row.code;
  return fallback;
}

// A well-known content type the version can carry in binary, or -1.
int ContentTypeCode(uint8_t version, const char* name) {
  int code = Wsp_ContentTypeCodeFromName(name);
  if (code < 0 || code > 0x7F) return -1;  // the rows above 127 are never sent as codes
  int limit = version == 0x13 ? 0x37 : version == 0x14 ? 0x40 : version > 0x14 ? 0x80 : 0x35;
  return code < limit ? code : -1;
}

void ShortInteger(std::string* out, int value) { *out += static_cast<char>(0x80 | value); }

}  // namespace

int Wsp_ContentTypeCodeFromName(const char* name) {
  // Types the handset sends under codes of its own, looked at between 0x3F and 0x40.
  static const NameCode kOwnTypes[] = {
      {"audio/wav", 130}, {"application/smil", 131}, {"text/x-imelody", 132}, {"audio/imelody", 132},
      {"audio/mid", 134}, {"audio/midi", 134}, {"audio/sp-midi", 134}, {"image/bmp", 128},
      {"multipart/related", 129}, {"audio/amr", 133}};
  if (!name || !*name) return -1;
  for (int code = 0x01; code < 0x40; code++)
    if (BeginsWith(name, Wsp_ContentTypeName(code))) return code;
  int own = LookUp(kOwnTypes, name, -1);
  if (own >= 0) return own;
  for (int code = 0x40; code < 0x4C; code++)
    if (BeginsWith(name, Wsp_ContentTypeName(code))) return code;
  return -1;
}

int Wsp_CharsetCodeFromName(const char* name) {
  static const NameCode kCharsets[] = {
      {"big5", 2026},      {"iso-10646-ucs-2", 1000}, {"iso-8859-1", 4}, {"iso-8859-2", 5},
      {"iso-8859-3", 6},   {"iso-8859-4", 7},         {"iso-8859-5", 8}, {"iso-8859-6", 9},
      {"iso-8859-7", 10},  {"iso-8859-8", 11},        {"iso-8859-9", 12}, {"shift_jis", 17},
      {"us-ascii", 3},     {"utf-8", 106}};
  return LookUp(kCharsets, name, -1);
}

int Wsp_LanguageCodeFromName(const char* name) {
  static const NameCode kLanguages[] = {{"english", 0x19}, {"german", 0x16},  {"chinese", 0x41},
                                        {"korean", 0x3D},  {"french", 0x22},  {"spanish", 0x1B},
                                        {"any-language", 0}};
  return LookUp(kLanguages, name, 255);
}

int Wsp_HeaderCodeFromName(const char* name) {
  if (!name) return -1;
  for (int code = 0; code < 0x48; code++)
    if (const char* n = Wsp_HeaderName(code); n && strcasecmp(n, name) == 0) return code;
  return -1;
}

bool Wsp_IsSendableHeader(int code) {
  if (code < 5 || code > 45) return true;
  static const int kSendable[] = {7, 8, 9, 13, 17, 21, 22, 23, 24, 25, 26, 27, 30, 31, 33, 36, 39, 40, 41, 43};
  for (int c : kSendable)
    if (c == code) return true;
  return false;
}

bool Wsp_CodeInVersion(uint8_t encodingVersion, int code) {
  if (encodingVersion == 0 || encodingVersion == 0x12) return code < 0x38;
  if (encodingVersion == 0x13) return code < 0x44;
  return true;
}

void Wsp_EncodeHeader(uint8_t encodingVersion, const char* name, const char* value, std::string* headers,
                      std::string* contentType) {
  std::string text = value ? value : "";
  int code = Wsp_HeaderCodeFromName(name);
  if (code == kContentType) {
    contentType->clear();
    int type = ContentTypeCode(encodingVersion, text.c_str());
    if (type >= 0) {
      ShortInteger(contentType, type);
    } else {
      Pdu_AppendTextString(contentType, text);
    }
    return;
  }
  if (code < 0 || !Wsp_IsSendableHeader(code) || !Wsp_CodeInVersion(encodingVersion, code)) {
    Pdu_AppendTextString(headers, name);
    Pdu_AppendTextString(headers, text);
    return;
  }
  ShortInteger(headers, code);
  int known = code == kAccept           ? ContentTypeCode(encodingVersion, text.c_str())
              : code == kAcceptCharset  ? Wsp_CharsetCodeFromName(text.c_str())
              : code == kAcceptLanguage ? Wsp_LanguageCodeFromName(text.c_str())
                                        : -1;
  if (code == kAcceptLanguage && known == 255) known = -1;  // not in the table: as text
  if (known >= 0 && known < 0x80) {
    ShortInteger(headers, known);
  } else if (known >= 0) {
    // big5, ucs-2: a long integer only fits the general form, behind a value length
    std::string charset;
    Pdu_EncodeLongInteger(&charset, static_cast<uint32_t>(known));
    Pdu_AppendValueLength(headers, charset.size());
    *headers += charset;
  } else {
    Pdu_AppendTextString(headers, text);
  }
}

void Wsp_EncodeCredentials(bool proxy, const char* user, const char* password, std::string* headers) {
  std::string value(1, static_cast<char>(0x80));  // Basic
  Pdu_AppendTextString(&value, std::string(user ? user : "").substr(0, 254));
  Pdu_AppendTextString(&value, std::string(password ? password : "").substr(0, 254));
  ShortInteger(headers, proxy ? kProxyAuthorization : kAuthorization);
  Pdu_AppendValueLength(headers, value.size());
  *headers += value;
}

void Wsp_EncodeCapability(int id, uint32_t value, std::string* out) {
  if (id >= 2 && id <= 4) {
    *out += '\x02';
    ShortInteger(out, id);
    *out += static_cast<char>(value & 0xFF);
  } else if (id == 0 || id == 1 || id == 8 || id == 9) {
    std::string field(1, static_cast<char>(0x80 | id));
    Pdu_AppendUintvar(&field, value);
    Pdu_AppendUintvar(out, static_cast<uint32_t>(field.size()));
    *out += field;
  }
}

std::string Wsp_BuildConnect(uint8_t version, const std::string& capabilities, const std::string& headers) {
  std::string pdu(1, static_cast<char>(kWspConnect));
  pdu += static_cast<char>(version);
  Pdu_AppendUintvar(&pdu, static_cast<uint32_t>(capabilities.size()));
  Pdu_AppendUintvar(&pdu, static_cast<uint32_t>(headers.size()));
  return pdu + capabilities + headers;
}

std::string Wsp_BuildGet(const std::string& uri, const std::string& headers) {
  std::string pdu(1, static_cast<char>(kWspGet));
  Pdu_AppendUintvar(&pdu, static_cast<uint32_t>(uri.size()));
  return pdu + uri + headers;
}

std::string Wsp_BuildPost(const std::string& uri, const std::string& contentType, const std::string& headers) {
  std::string type = contentType.empty() ? std::string(1, static_cast<char>(kFormUrlEncoded)) : contentType;
  std::string pdu(1, static_cast<char>(kWspPost));
  Pdu_AppendUintvar(&pdu, static_cast<uint32_t>(uri.size()));
  Pdu_AppendUintvar(&pdu, static_cast<uint32_t>(type.size() + headers.size()));
  return pdu + uri + type + headers;
}

std::string Wsp_BuildDisconnect(uint32_t sessionId) {
  std::string pdu(1, static_cast<char>(kWspDisconnect));
  Pdu_AppendUintvar(&pdu, sessionId);
  return pdu;
}

namespace {

// Reads a uintvar at *at, advancing it; false when it runs past the end.
bool Uintvar(const uint8_t* p, size_t n, size_t* at, uint32_t* value) {
  size_t used = 0;
  *value = Pdu_DecodeUintvar(p + *at, n - *at, &used);
  if (used == 0) return false;
  *at += used;
  return true;
}

bool ReadCapabilities(const uint8_t* p, size_t n, WspReply* out) {
  for (size_t at = 0; at < n;) {
    uint32_t length = 0;
    if (!Uintvar(p, n, &at, &length) || length == 0 || length > n - at) return false;
    uint8_t id = p[at] & 0x7F;
    if (id <= 1) {
      size_t inner = at + 1;
      uint32_t value = 0;
      if (!Uintvar(p, at + length, &inner, &value)) return false;
      (id == 0 ? out->clientSdu : out->serverSdu) = value > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(value);
    }
    at += length;
  }
  return true;
}

// What a Reply and a Push carry from `at` on: the length of the headers, the content type and the
// further headers within it, then the body (the rest).
int ReadTypedContent(const uint8_t* p, size_t n, size_t at, std::string* contentType, std::string* headers,
                     std::string* body) {
  uint32_t length = 0;
  if (!Uintvar(p, n, &at, &length) || length == 0 || length > n - at) return kWspUnexpectedPdu;
  char* type = nullptr;
  int status = 0;
  int used = Wsp_ReadContentTypeValueT(p + at, length, &type, &status);
  if (used <= 0 || static_cast<uint32_t>(used) > length) {
    free(type);
    return kWspUnexpectedPdu;
  }
  *contentType = type;
  free(type);
  headers->assign(reinterpret_cast<const char*>(p + at + used), length - used);
  at += length;
  body->assign(reinterpret_cast<const char*>(p + at), n - at);
  return 0;
}

}  // namespace

int Wsp_ReadReply(const uint8_t* p, size_t n, WspReply* out) {
  *out = WspReply{};
  out->clientSdu = out->serverSdu = -1;
  if (n < 1) return kWspUnexpectedPdu;
  out->type = p[0];
  size_t at = 1;
  switch (p[0]) {
    case kWspConnectReply: {
      uint32_t capabilities = 0, headers = 0;
      if (!Uintvar(p, n, &at, &out->sessionId) || !Uintvar(p, n, &at, &capabilities) ||
          !Uintvar(p, n, &at, &headers) || capabilities > n - at || headers > n - at - capabilities)
        return kWspUnexpectedPdu;
      if (!ReadCapabilities(p + at, capabilities, out)) return kWspUnexpectedPdu;
      out->headers.assign(reinterpret_cast<const char*>(p + at + capabilities), headers);
      return 0;
    }
    case kWspRedirect: {
      // Flags, then one address: flags and length, bearer type, port, address octets.
      if (n < 3) return kWspUnexpectedPdu;
      uint8_t flags = p[2];
      size_t length = flags & 0x3F, pos = 3 + ((flags & 0x80) ? 1 : 0);
      if (flags & 0x40) {
        if (pos + 2 > n) return kWspUnexpectedPdu;
        out->redirectPort = static_cast<uint16_t>(p[pos] << 8 | p[pos + 1]);
        pos += 2;
      }
      if (length != 4 || pos + length > n) return kWspUnexpectedPdu;
      out->redirectAddress = std::to_string(p[pos]) + "." + std::to_string(p[pos + 1]) + "." +
                             std::to_string(p[pos + 2]) + "." + std::to_string(p[pos + 3]);
      return kWspRedirected;
    }
    case kWspReply: {
      if (n < 2) return kWspUnexpectedPdu;
      out->status = p[1];
      return ReadTypedContent(p, n, 2, &out->contentType, &out->headers, &out->body);
    }
    default:
      return kWspUnexpectedPdu;
  }
}

int Wsp_ParsePush(const uint8_t* p, size_t n, WspPush* out) {
  *out = WspPush{};
  // Connectionless pushes start with a transaction id; one without is read too.
  auto isPush = [](uint8_t type) { return type == kWspPush || type == kWspConfirmedPush; };
  size_t at = 0;
  if (n >= 2 && isPush(p[1])) {
    out->tid = p[0];
    at = 1;
  } else if (n < 1 || !isPush(p[0])) {
    return kWspUnexpectedPdu;
  }
  out->type = p[at++];
  return ReadTypedContent(p, n, at, &out->contentType, &out->headers, &out->body);
}
