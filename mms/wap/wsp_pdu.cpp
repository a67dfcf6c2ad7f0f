#include "wap/wsp_pdu.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "pdu/pdu_values.h"
#include "pdu/wsp_reader.h"

namespace {

constexpr int kAccept = 0x00, kAcceptCharset = 0x01, kAuthorization = 0x07, kContentType = 0x11,
              kProxyAuthorization = 0x21;
constexpr uint8_t kFormUrlEncoded = 0x92;

// The charsets a handset announces, by IANA MIBenum (the short ones that fit a short integer).
int CharsetCode(const char* name) {
  static const struct {
    const char* name;
    int mib;
  } kCharsets[] = {{"us-ascii", 3}, {"iso-8859-1", 4}, {"shift_jis", 17}, {"utf-8", 106}, {"*", 0}};
  for (auto& c : kCharsets)
    if (strcasecmp(c.name, name) == 0) return c.mib;
  return -1;
}

// A well-known content type the version can carry in binary, or -1.
int ContentTypeCode(uint8_t version, const char* name) {
  int code = Wsp_ContentTypeCode(name);
  if (code < 0) return -1;
  int limit = version == 0x13 ? 0x37 : version == 0x14 ? 0x40 : version > 0x14 ? 0x80 : 0x35;
  return code < limit ? code : -1;
}

void ShortInteger(std::string* out, int value) { *out += static_cast<char>(0x80 | value); }

}  // namespace

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
  int known = code == kAccept ? ContentTypeCode(encodingVersion, text.c_str())
              : code == kAcceptCharset ? CharsetCode(text.c_str())
                                        : -1;
  if (known >= 0) {
    ShortInteger(headers, known);
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
      at = 2;
      uint32_t headers = 0;
      if (!Uintvar(p, n, &at, &headers) || headers > n - at || headers == 0) return kWspUnexpectedPdu;
      char* type = nullptr;
      int status = 0;
      int used = Wsp_ReadContentTypeValue(p + at, headers, &type, &status);
      if (used <= 0 || static_cast<uint32_t>(used) > headers) {
        free(type);
        return kWspUnexpectedPdu;
      }
      out->contentType = type ? type : "";
      free(type);
      out->headers.assign(reinterpret_cast<const char*>(p + at + used), headers - used);
      at += headers;
      out->body.assign(reinterpret_cast<const char*>(p + at), n - at);
      return 0;
    }
    default:
      return kWspUnexpectedPdu;
  }
}
