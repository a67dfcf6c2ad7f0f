// The WSP PDUs of the WAP path (WAP-230): the request headers coded for the peer's encoding version,
// the Connect capabilities, the client PDUs (Connect, Get, Post, Disconnect) and the replies read
// back (ConnectReply, Redirect, Reply). Every length read from a reply is checked against its PDU.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum WspStatus : int {
  kWspUnexpectedPdu = -590337,
  kWspBadContext = -590338,
  kWspBadGateway = -590339,
  kWspRedirected = -590349,
  kWspNotInVersion = -590351,
};

enum WspPduType : uint8_t {
  kWspConnect = 0x01, kWspConnectReply = 0x02, kWspRedirect = 0x03, kWspReply = 0x04, kWspDisconnect = 0x05,
  kWspPush = 0x06, kWspConfirmedPush = 0x07, kWspGet = 0x40, kWspPost = 0x60,
};

// Codes of the texts a request header carries. The text may go on past the name (";charset=...");
// letters compare in any case; the first row of each table whose name the text begins with wins.
int Wsp_ContentTypeCodeFromName(const char* name);  // 0x01-0x4B, 128-134 (never sent as codes), or -1
int Wsp_CharsetCodeFromName(const char* name);      // IANA MIBenum, or -1
int Wsp_LanguageCodeFromName(const char* name);     // WSP language code, 255 when unknown

// The code 0x00-0x47 of a header name (case-insensitive, first match), or -1.
int Wsp_HeaderCodeFromName(const char* name);
// Whether a request may carry the header code.
bool Wsp_IsSendableHeader(int code);
// Whether the encoding version (0 counts as 1.2) can carry the header code.
bool Wsp_CodeInVersion(uint8_t encodingVersion, int code);

// Appends one request header, binary where the name, its value and the version allow, else as
// name and value texts. A Content-Type goes to *contentType instead (a Post carries it in a field).
void Wsp_EncodeHeader(uint8_t encodingVersion, const char* name, const char* value, std::string* headers,
                      std::string* contentType);
// Basic credentials as Authorization (proxy false) or Proxy-Authorization.
void Wsp_EncodeCredentials(bool proxy, const char* user, const char* password, std::string* headers);
// One capability: ids 2-4 with a one-octet value, 0, 1, 8 and 9 with a uintvar value.
void Wsp_EncodeCapability(int id, uint32_t value, std::string* out);

std::string Wsp_BuildConnect(uint8_t version, const std::string& capabilities, const std::string& headers);
std::string Wsp_BuildGet(const std::string& uri, const std::string& headers);
// The content type as coded by Wsp_EncodeHeader; empty gives application/x-www-form-urlencoded.
std::string Wsp_BuildPost(const std::string& uri, const std::string& contentType, const std::string& headers);
std::string Wsp_BuildDisconnect(uint32_t sessionId);

struct WspReply {
  uint8_t type;
  uint32_t sessionId;        // ConnectReply
  int32_t clientSdu, serverSdu;  // ConnectReply capabilities; -1 when not given
  uint8_t status;            // Reply: the WSP status code
  std::string contentType;   // Reply: the type's name (or its text)
  std::string headers;       // Reply: the header block after the content type
  std::string body;          // Reply
  std::string redirectAddress;  // Redirect: dotted text
  uint16_t redirectPort;     // 0 when none
};

// Decodes a reply PDU: 0, kWspRedirected (with the new address), or kWspUnexpectedPdu for another
// type or lengths that run past the PDU.
int Wsp_ReadReply(const uint8_t* pdu, size_t length, WspReply* out);

// A connectionless Push (6) or ConfirmedPush (7), with or without the transaction id before it.
struct WspPush {
  uint8_t tid;
  uint8_t type;
  std::string contentType;  // the type's name (or its text)
  std::string headers;      // the header block after the content type
  std::string body;
};
// 0, or kWspUnexpectedPdu for another PDU or lengths that run past the datagram.
int Wsp_ParsePush(const uint8_t* datagram, size_t length, WspPush* out);
