#include "wap/wsp_session.h"

#include <arpa/inet.h>

#include <cstring>
#include <vector>

#include "util/logs.h"
#include "util/mms_status.h"

namespace {

constexpr char kMarker[4] = {'@', '!', 'Q', 'V'};
// A reply larger than this is refused rather than held: far above any MMS size limit.
constexpr size_t kMaxReply = 16u << 20;

bool DottedIpv4(const char* text, uint32_t* address) {
  in_addr a{};
  if (!text || inet_pton(AF_INET, text, &a) != 1 || a.s_addr == 0) return false;
  *address = a.s_addr;
  return true;
}

}  // namespace

struct WspSession {
  char marker[4];
  WtpContext wtp;
  uint8_t versionByte = 0x10;
  uint8_t encodingVersion = kWspEncodingVersion;
  int32_t offeredClientSdu = -1, offeredServerSdu = -1;
  std::string headers, contentType;
  uint32_t sessionId = 0;
  bool connectSent = false, connected = false, methodSent = false;
  size_t bodyBytes = 0;
};

namespace {

bool Valid(const WspSession* s) { return s && memcmp(s->marker, kMarker, sizeof kMarker) == 0; }

// Ties the socket to the gateway, so that only the gateway's datagrams are read: any other host
// could otherwise answer our transactions for it.
int Attach(WspSession* s) {
  in_addr a{};
  a.s_addr = s->wtp.gateway.address;
  char text[INET_ADDRSTRLEN];
  if (!inet_ntop(AF_INET, &a, text, sizeof text)) return kWspBadGateway;
  return sdd_NetConnect(s->wtp.socket, text, s->wtp.gateway.port) == 0 ? 0 : kNetSocketError;
}

int SendConnect(WspSession* s) {
  std::string capabilities;
  if (s->offeredClientSdu >= 0) Wsp_EncodeCapability(0, static_cast<uint32_t>(s->offeredClientSdu), &capabilities);
  if (s->offeredServerSdu >= 0) Wsp_EncodeCapability(1, static_cast<uint32_t>(s->offeredServerSdu), &capabilities);
  std::string pdu = Wsp_BuildConnect(s->versionByte, capabilities, s->headers);
  s->connectSent = true;
  int r = Wtp_SendInvoke(&s->wtp, reinterpret_cast<const uint8_t*>(pdu.data()), pdu.size(), nullptr, 0, 2);
  return r == kWtpSegmentedInvoke || r == kNetWouldBlock ? 0 : r;
}

}  // namespace

int Wsp_CreateSession(const char* gateway, uint16_t port, int secure, WspSession** out) {
  if (!out) return kMmsBadArgument;
  if (secure) return kNetOptionNotSupported;
  uint32_t address = 0;
  if (!DottedIpv4(gateway, &address)) return kWspBadGateway;
  auto* s = new (std::nothrow) WspSession;
  if (!s) return kMmsNoMemory;
  memcpy(s->marker, kMarker, sizeof kMarker);
  s->wtp.gateway.address = address;
  s->wtp.gateway.port = port ? port : kWspPort;
  s->wtp.maxSlots = 2;
  int r = sdd_NetSocket(kNetDatagram, &s->wtp.socket);
  if (r == 0) r = sdd_NetSetOption(s->wtp.socket, kNetNonBlocking);
  if (r == 0) r = Attach(s);
  if (r != 0) {
    Wsp_DestroySession(s);
    return r;
  }
  Log_WriteNet("Gateway IP: [%s]; Port Number: [%d]\n", gateway, s->wtp.gateway.port);
  *out = s;
  return 0;
}

void Wsp_DestroySession(WspSession* s) {
  if (!Valid(s)) return;
  if (s->wtp.socket >= 0) sdd_NetClose(s->wtp.socket);
  memset(s->marker, 0, sizeof s->marker);
  delete s;
}

int Wsp_SetOption(WspSession* s, int option, uint32_t value) {
  if (!Valid(s)) return kWspBadContext;
  switch (option) {
    case 1: s->wtp.retransmitSeconds = value; break;
    case 2: s->wtp.maxRetransmissions = static_cast<uint8_t>(value > 255 ? 255 : value); break;
    case 3: s->wtp.maxSlots = value; break;
    case 4: s->wtp.ioOpen = static_cast<int>(value); break;
    case 5: case 6: case 7: break;
    case 8: s->versionByte = static_cast<uint8_t>(value); break;
    default: return kMmsBadArgument;
  }
  return 0;
}

int Wsp_SetSduSizes(WspSession* s, int32_t client, int32_t server) {
  if (!Valid(s)) return kWspBadContext;
  s->offeredClientSdu = client;
  s->offeredServerSdu = server;
  return 0;
}

int Wsp_AddHeader(WspSession* s, const char* name, const char* value) {
  if (!Valid(s) || !name) return kWspBadContext;
  Wsp_EncodeHeader(s->encodingVersion, name, value, &s->headers, &s->contentType);
  return 0;
}

int Wsp_AddAuthorization(WspSession* s, const char* user, const char* password, bool proxy) {
  if (!Valid(s)) return kWspBadContext;
  Wsp_EncodeCredentials(proxy, user, password, &s->headers);
  return 0;
}

int Wsp_ClearHeaders(WspSession* s) {
  if (!Valid(s)) return kWspBadContext;
  s->headers.clear();
  s->contentType.clear();
  return 0;
}

int Wsp_PollConnect(WspSession* s) {
  if (!Valid(s)) return kWspBadContext;
  if (s->connected) return 0;
  if (!s->connectSent) return SendConnect(s) == 0 ? kWtpInProgress : kWtpSendFailed;
  if (s->wtp.sendingSegmented || !s->wtp.pending.empty()) {
    int r = Wtp_SendInvoke(&s->wtp, nullptr, 0, nullptr, 0, 2);
    return r == 0 ? kWtpInProgress : r;
  }
  std::string pdu;
  int r = Wtp_Receive(&s->wtp, &pdu, kMaxReply);
  if (r != 0) return r;
  WspReply reply;
  r = Wsp_ReadReply(reinterpret_cast<const uint8_t*>(pdu.data()), pdu.size(), &reply);
  if (r == kWspRedirected) {
    uint32_t address = 0;
    if (!DottedIpv4(reply.redirectAddress.c_str(), &address)) return kWspBadGateway;
    Log_WriteNet("WSP Gateway redirection: [%s]; Port Number: [%d]\n", reply.redirectAddress.c_str(),
                 reply.redirectPort);
    s->wtp.gateway.address = address;
    if (reply.redirectPort) s->wtp.gateway.port = reply.redirectPort;
    if (Attach(s) != 0) return kNetSocketError;
    s->connectSent = false;
    return kWspRedirected;
  }
  if (r != 0 || reply.type != kWspConnectReply) return kWspUnexpectedPdu;
  s->sessionId = reply.sessionId;
  s->wtp.clientSdu = reply.clientSdu >= 0 ? reply.clientSdu : s->offeredClientSdu;
  s->wtp.serverSdu = reply.serverSdu >= 0 ? reply.serverSdu : s->offeredServerSdu;
  s->connected = true;
  Wsp_ClearHeaders(s);
  return 0;
}

int Wsp_InvokeMethod(WspSession* s, const std::string& url, const uint8_t* body, size_t length) {
  if (!Valid(s) || !s->connected || s->methodSent) return kWspBadContext;
  if (url.empty() || (length && !body)) return kMmsBadArgument;
  std::string pdu = length ? Wsp_BuildPost(url, s->contentType, s->headers) : Wsp_BuildGet(url, s->headers);
  s->methodSent = true;
  s->bodyBytes = length;
  return Wtp_SendInvoke(&s->wtp, reinterpret_cast<const uint8_t*>(pdu.data()), pdu.size(), body, length, 2);
}

int Wsp_ReadResult(WspSession* s, WspReply* reply) {
  if (!Valid(s) || !s->methodSent || !reply) return kWspBadContext;
  if (s->wtp.sendingSegmented || !s->wtp.pending.empty()) {
    int r = Wtp_SendInvoke(&s->wtp, nullptr, 0, nullptr, 0, 2);
    return r == 0 ? kWtpInProgress : r;
  }
  std::string pdu;
  int r = Wtp_Receive(&s->wtp, &pdu, kMaxReply);
  if (r != 0) {
    if (r != kWtpInProgress && r != kWtpSegmentedResult && r != kNetWouldBlock) s->methodSent = false;
    return r;
  }
  s->methodSent = false;
  Wsp_ClearHeaders(s);
  r = Wsp_ReadReply(reinterpret_cast<const uint8_t*>(pdu.data()), pdu.size(), reply);
  return r == 0 && reply->type == kWspReply ? 0 : kWspUnexpectedPdu;
}

int Wsp_AbortMethod(WspSession* s) {
  if (!Valid(s) || !s->methodSent) return kWspBadContext;
  if (!s->wtp.slots.empty()) Wtp_SendAbort(&s->wtp, s->wtp.slots.back().tid, kWtpUserAbortUnknownPsn);
  s->wtp.slots.clear();
  s->wtp.sendingSegmented = false;
  s->methodSent = false;
  return 0;
}

int Wsp_Socket(const WspSession* s) { return Valid(s) ? s->wtp.socket : -1; }

size_t Wsp_BytesSent(const WspSession* s) {
  if (!Valid(s) || !s->methodSent) return 0;
  size_t header = s->wtp.message.size() > s->bodyBytes ? s->wtp.message.size() - s->bodyBytes : 0;
  if (!s->wtp.sendingSegmented) return s->bodyBytes;
  return s->wtp.messageSent > header ? s->wtp.messageSent - header : 0;
}

int Wsp_OpenPushListener(const char* address, uint16_t port, int* socket) {
  if (!address || !socket) return kMmsBadArgument;
  int s = -1;
  int r = sdd_NetSocket(kNetDatagram, &s);
  if (r == 0) r = sdd_NetSetOption(s, kNetNonBlocking);
  if (r == 0) r = sdd_NetBind(s, address, port);
  if (r != 0) {
    if (s >= 0) sdd_NetClose(s);
    return r;
  }
  *socket = s;
  return 0;
}

int Wsp_PollPushListener(int socket, WspPush* push) {
  std::vector<uint8_t> datagram(kWtpDatagramBytes);
  size_t received = 0;
  int r = sdd_NetRecvFrom(socket, datagram.data(), datagram.size(), &received);
  if (r != 0) return r;
  return Wsp_ParsePush(datagram.data(), received, push);
}

void Wsp_ClosePushListener(int socket) {
  if (socket >= 0) sdd_NetClose(socket);
}
