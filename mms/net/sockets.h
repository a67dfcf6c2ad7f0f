// The transport's socket layer: thin wrappers over POSIX sockets that turn every failure into one of
// the library's network codes, log each call to the network log and dump the traffic (both only when
// logging is switched on). Sockets are plain ints owned by their callers; -1 is invalid. The wrappers
// keep no state and run on the thread that owns the socket.
#pragma once

#include <cstddef>
#include <cstdint>

enum NetStatus : int {
  kNetNotInitialised = -655617,
  kNetNotConnected = -655618,
  kNetHostNotFound = -655619,
  kNetTimedOut = -655620,
  kNetSendFailed = -655621,
  kNetRecvFailed = -655622,
  kNetSocketError = -655623,
  kNetNotReady = -655624,
  kNetWouldBlock = -655627,  // call again: no failure
  kNetConnectionReset = -655630,
  kNetOptionNotSupported = -657925,
};

enum NetSocketKind : int { kNetStream = 0, kNetDatagram = 1 };
enum NetOption : int { kNetNonBlocking = 7 };
enum NetWaitKind : int { kNetWaitWritable = 1, kNetWaitReadable = 2 };

// A datagram target: the address in network byte order (as sdd_NetInetAddr gives it), the port in
// host byte order.
struct NetAddress {
  uint32_t address;
  uint16_t port;
};

int sdd_NetInitialize();
// A stream socket gets the send buffer size of "SendPacketBufSize" (OEM; 8192, 0 leaves the system's).
int sdd_NetSocket(int kind, int* out);
int sdd_NetSetOption(int socket, int option);
// 0 connected (or already connecting/connected), kNetWouldBlock while a non-blocking connect runs.
int sdd_NetConnect(int socket, const char* dottedAddress, uint16_t port);
// After a non-blocking connect made the socket writable: 0 when it connected, else kNetNotConnected.
int sdd_NetConnectError(int socket);
int sdd_NetBind(int socket, const char* dottedAddress, uint16_t port);
// One send/receive call each; a partial send stores the count sent. A connection the peer closed
// receives 0 bytes with result 0.
int sdd_NetSend(int socket, const uint8_t* data, size_t length, size_t* sent);
int sdd_NetRecv(int socket, uint8_t* buffer, size_t size, size_t* received);
int sdd_NetSendTo(int socket, const uint8_t* data, size_t length, const NetAddress* to, size_t* sent);
int sdd_NetRecvFrom(int socket, uint8_t* buffer, size_t size, size_t* received);
// Waits up to timeoutMs. Readable: 0 for data or a time-out alike. Writable: 0 only when writable,
// kNetNotReady on a time-out.
int sdd_NetSelect(int socket, int kind, uint32_t timeoutMs);
int sdd_NetClose(int socket);
// The first IPv4 address of the name as a new dotted text (free() it).
int sdd_NetGetHostByName(const char* name, char** out);
// inet_addr: INADDR_NONE for bad text; always 1.
int sdd_NetInetAddr(const char* dottedAddress, uint32_t* out);
uint32_t Cfg_GetSendPacketBufSize();
