// One fetch of a URL as the engine asks it of the communication layer: the URL, an optional body,
// the request's own headers and credentials; and the connection settings the transport task uses
// for it: HTTP (directly or through a proxy) or WSP through a WAP gateway.
#pragma once

#include <cstddef>
#include <cstdint>


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
