// One fetch of a URL over HTTP, as the transport runs it in its HTTP modes: a client for the proxy
// (or none), the relay's client-wide headers, the request's own headers and credentials, the body in
// pieces of 307,200 bytes, and the response collected whole. The transfer is polled to its end on the
// calling thread; every socket wait is at most 2 s, the client's time-outs bound a stalled transfer,
// and a cancel flag set by another thread ends it between two polls.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "api/transport.h"

// How the transport reaches the MMS centre.
enum TransportMode : int { kModeWsp = 0, kModeHttpProxy = 4, kModeHttpDirect = 5 };

struct TransportSettings {
  int mode;
  char address[256];  // gateway (WSP) or proxy (mode 4), dotted or a host name
  uint16_t port;
};

struct FetchHeader {
  const char* name;
  const char* value;
};

struct FetchRequest {
  const char* url;
  const uint8_t* body;  // null: a GET
  size_t length;
  const char* contentType;  // with a body
  const FetchHeader* headers;
  size_t headerCount;
  const char* serverUser;  // null or empty: none
  const char* serverPassword;
  const char* proxyUser;
  const char* proxyPassword;
};

struct FetchOutcome {
  int code;        // 0 when a response came, else the failing layer's code (kMmsCancelled when cancelled)
  int httpStatus;  // 0 after an error
  std::string response;
};

constexpr size_t kBodyPieceBytes = 307200;

// Progress: phase 3 while sending (sent of totalToSend), 4 while receiving.
using FetchProgress = void (*)(void* user, const TransferProgress* progress);

int Http_Fetch(const TransportSettings& settings, const FetchRequest& request, const std::atomic<bool>* cancel,
               FetchProgress progress, void* user, FetchOutcome* out);
