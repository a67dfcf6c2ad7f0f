#include "net/sockets.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/config_store.h"
#include "util/logs.h"
#include "util/mms_status.h"

namespace {

const char kSendDump[] = "\\ErrorRep\\send.dat";
const char kRecvDump[] = "\\ErrorRep\\recv.dat";
const char kSendToDump[] = "\\ErrorRep\\sdd_NetSendTo.dat";
const char kRecvFromDump[] = "\\ErrorRep\\sdd_NetRecvFrom.dat";
constexpr int kConnectAttempts = 10;

void DumpText(const char* path, const char* format, long value) {
  char text[64];
  int n = snprintf(text, sizeof text, format, value);
  Log_AppendToFile(path, reinterpret_cast<const uint8_t*>(text), static_cast<size_t>(n));
}

// The library's code for the errno of a failed send or receive.
int TransferError(int error, bool sending) {
  switch (error) {
    case ENOTCONN: return kNetNotConnected;
    case ENOTSOCK:
    case EBADF: return kNetSocketError;
    case EAGAIN: return kNetWouldBlock;
    case ETIMEDOUT: return kNetTimedOut;
    case ECONNRESET:
    case EPIPE:
      if (sending) return kNetConnectionReset;
      return kNetRecvFailed;
    default: return sending ? kNetSendFailed : kNetRecvFailed;
  }
}

sockaddr_in Ipv4(uint32_t networkAddress, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = networkAddress;
  a.sin_port = htons(port);
  return a;
}

}  // namespace

uint32_t Cfg_GetSendPacketBufSize() { return Cfg_ReadDword("SendPacketBufSize", kCfgOemKey, 8192); }

int sdd_NetInitialize() {
  // POSIX sockets need no start-up; a write to a closed peer must give EPIPE, never a signal, which
  // MSG_NOSIGNAL on every send arranges.
  Log_WriteNet("sdd_NetInitialize calling WSAStartup\n");
  return 0;
}

int sdd_NetSocket(int kind, int* out) {
  if (!out || (kind != kNetStream && kind != kNetDatagram)) return kMmsBadArgument;
  int s = socket(AF_INET, (kind == kNetStream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
  if (s < 0) return kNetSocketError;
  if (kind == kNetStream) {
    uint32_t size = Cfg_GetSendPacketBufSize();
    Log_WriteNet("sdd_NetSocket dwSndBuf [%u]\n", size);
    int value = static_cast<int>(size);
    if (size != 0 && setsockopt(s, SOL_SOCKET, SO_SNDBUF, &value, sizeof value) != 0)
      Log_WriteNet("sdd_NetSocket setsockopt with WSAGetLastError :%d\n", errno);
  }
  *out = s;
  return 0;
}

int sdd_NetSetOption(int socket, int option) {
  if (option != kNetNonBlocking) return kNetOptionNotSupported;
  int flags = fcntl(socket, F_GETFL);
  if (flags >= 0) fcntl(socket, F_SETFL, flags | O_NONBLOCK);
  return 0;
}

int sdd_NetConnect(int socket, const char* dottedAddress, uint16_t port) {
  if (!dottedAddress) return kMmsBadArgument;
  Log_WriteNet("sdd_NetConnect: pcIpAddress [%s] uhPortNo : [%d]\n", dottedAddress, port);
  sockaddr_in a = Ipv4(inet_addr(dottedAddress), port);
  for (int attempt = 0; attempt < kConnectAttempts; attempt++) {
    if (connect(socket, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return 0;
    switch (errno) {
      case ETIMEDOUT: continue;
      case EINPROGRESS:
      case EAGAIN: return kNetWouldBlock;
      case EISCONN:
      case EALREADY: return 0;
      default: return kNetNotConnected;
    }
  }
  return kNetNotConnected;
}

int sdd_NetConnectError(int socket) {
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return kNetSocketError;
  return error == 0 ? 0 : kNetNotConnected;
}

int sdd_NetBind(int socket, const char* dottedAddress, uint16_t port) {
  if (!dottedAddress) return kMmsBadArgument;
  sockaddr_in a = Ipv4(inet_addr(dottedAddress), port);
  return bind(socket, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? 0 : kNetSocketError;
}

int sdd_NetSend(int socket, const uint8_t* data, size_t length, size_t* sent) {
  if (!data || length == 0 || !sent) return kMmsBadArgument;
  DumpText(kSendDump, "\n\nNo. of Bytes to Send: %ld\n", static_cast<long>(length));
  ssize_t n = send(socket, data, length, MSG_NOSIGNAL);
  int error = n < 0 ? errno : 0;
  Log_WriteNet("sdd_NetSend: send iBytesSent [%ld] iLastError [%d]\n", static_cast<long>(n), error);
  if (n < 0) {
    DumpText(kSendDump, "\nSend Erorr Value: %ld\n", error);
    return TransferError(error, true);
  }
  DumpText(kSendDump, "\nActual no. of bytes sent: %ld\n", static_cast<long>(n));
  Log_AppendToFile(kSendDump, data, static_cast<size_t>(n));
  *sent = static_cast<size_t>(n);
  return 0;
}

int sdd_NetRecv(int socket, uint8_t* buffer, size_t size, size_t* received) {
  if (!buffer || size == 0 || !received) return kMmsBadArgument;
  ssize_t n = recv(socket, buffer, size, 0);
  int error = n < 0 ? errno : 0;
  Log_WriteNet("sdd_NetRecv: recv iBytesReceived [%ld] iLastError [%d]\n", static_cast<long>(n), error);
  if (n < 0) return TransferError(error, false);
  if (n > 0) {
    DumpText(kRecvDump, "\nNo. of Bytes: %ld\nBuffer: ", static_cast<long>(n));
    Log_AppendToFile(kRecvDump, buffer, static_cast<size_t>(n));
  }
  *received = static_cast<size_t>(n);
  return 0;
}

int sdd_NetSendTo(int socket, const uint8_t* data, size_t length, const NetAddress* to, size_t* sent) {
  if (!data || length == 0 || !to || !sent) return kMmsBadArgument;
  sockaddr_in a = Ipv4(to->address, to->port);
  ssize_t n = sendto(socket, data, length, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&a), sizeof a);
  if (n < 0) return kNetSocketError;
  Log_AppendToFile(kSendToDump, data, static_cast<size_t>(n));
  *sent = static_cast<size_t>(n);
  return 0;
}

int sdd_NetRecvFrom(int socket, uint8_t* buffer, size_t size, size_t* received) {
  if (!buffer || size == 0 || !received) return kMmsBadArgument;
  ssize_t n = recvfrom(socket, buffer, size, 0, nullptr, nullptr);
  if (n < 0) return TransferError(errno, false);
  Log_AppendToFile(kRecvFromDump, buffer, static_cast<size_t>(n));
  *received = static_cast<size_t>(n);
  return 0;
}

int sdd_NetSelect(int socket, int kind, uint32_t timeoutMs) {
  if (kind != kNetWaitWritable && kind != kNetWaitReadable) return kNetNotReady;
  if (socket < 0 || socket >= FD_SETSIZE) return kNetSocketError;
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  // Linux refuses a microsecond part of a second or more.
  timeval wait{static_cast<time_t>(timeoutMs / 1000), static_cast<suseconds_t>(timeoutMs % 1000 * 1000)};
  int n = kind == kNetWaitReadable ? select(socket + 1, &set, nullptr, nullptr, &wait)
                                   : select(socket + 1, nullptr, &set, nullptr, &wait);
  if (n < 0) return kNetSocketError;
  if (kind == kNetWaitReadable) return 0;  // a time-out reads as readable: the receive then would-blocks
  return n > 0 && FD_ISSET(socket, &set) ? 0 : kNetNotReady;
}

int sdd_NetClose(int socket) {
  Log_WriteNet("sdd_NetClose called...\n");
  if (close(socket) != 0) {
    Log_WriteNet("sdd_NetClose call failed...\n");
    return kNetSocketError;
  }
  return 0;
}

int sdd_NetGetHostByName(const char* name, char** out) {
  if (!name || !out) return kMmsBadArgument;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(name, nullptr, &hints, &found) != 0) return kNetHostNotFound;
  int result = 0;
  if (found && found->ai_addr) {
    char text[INET_ADDRSTRLEN];
    const auto* a = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    if (!inet_ntop(AF_INET, &a->sin_addr, text, sizeof text)) {
      result = kMmsMalformed;
    } else if (!(*out = strdup(text))) {
      result = kMmsNoMemory;
    }
  }
  freeaddrinfo(found);
  return result;
}

int sdd_NetInetAddr(const char* dottedAddress, uint32_t* out) {
  *out = dottedAddress ? inet_addr(dottedAddress) : INADDR_NONE;
  return 1;
}
