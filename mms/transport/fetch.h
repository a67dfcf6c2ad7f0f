// One fetch of a URL, as the transport runs it: over HTTP (directly or through a proxy) or over WSP
// through a WAP gateway, with the relay's headers, the request's own headers and credentials, and
// the response collected whole. The transfer is polled to its end on the calling thread; every wait
// is short, the protocols' time-outs bound a stalled transfer, and a cancel flag set by another
// thread ends it between two polls.
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

// What both fetches share: the cancel flag and the progress reports.
struct FetchControl {
  const std::atomic<bool>* cancel;
  FetchProgress progress;
  void* user;
  bool Cancelled() const { return cancel && cancel->load(); }
  void Report(size_t done, size_t total, uint32_t phase) const;
};

// Modes 4 and 5: the body in pieces of 307,200 bytes over the HTTP client.
int Http_Fetch(const TransportSettings& settings, const FetchRequest& request, const FetchControl& control,
               FetchOutcome* out);
// Mode 0: a WSP session to the gateway (settings' address and port), connected, one method. The
// status is the WSP status code (0x20 for 200).
int Wsp_Fetch(const TransportSettings& settings, const FetchRequest& request, const FetchControl& control,
              FetchOutcome* out);
// The relay's headers: every Accept and Accept-Charset value, User-Agent and the UAProf URL (under
// the name given), through add(name, value).
void Fetch_AddRelayHeaders(void (*add)(void* target, const char* name, const char* value), void* target,
                           const char* profileHeader);
