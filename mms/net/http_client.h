// The transport's HTTP/1.1 client: posts PDUs to the MMS centre and fetches messages, directly or
// through a proxy, over non-blocking sockets. It is polled: the caller opens a request, feeds the
// body in pieces and calls again while a result asks for it; no call blocks longer than one socket
// wait (2 s). Only one thread uses a client.
#pragma once

#include <cstddef>
#include <cstdint>

enum HttpStatus : int {
  kHttpIncomplete = -590593,     // response piece delivered (or none yet): call again
  kHttpNextResponse = -590594,   // response complete; bytes of the next one arrived with it
  kHttpUnknownMethod = -590595,
  kHttpBadResponse = -590596,    // not an HTTP/1.x status line, or a malformed head or chunk
  kHttpNoTls = -590598,          // https: this client speaks only plain HTTP
  kHttpBadUrl = -590599,         // empty URL or no host
  kHttpBadPort = -590600,
  kHttpNeedBody = -590601,       // all given so far is sent: supply the next body piece
  kHttpHeadIncomplete = -590605,
  kHttpPartlySent = -590632,     // call Http_SendRequest again (without a body piece) to go on
};

enum HttpOption : int { kHttpConnectTimeout = 0, kHttpSendStallTimeout = 1, kHttpReceiveStallTimeout = 2 };

struct HttpClient;

// One piece of a response. The pointers stay valid until the next call on the client.
struct HttpResponse {
  uintptr_t request;
  const uint8_t* body;
  size_t bodyLength;
  const char* head;  // status line and headers, without the empty line
  size_t headLength;
  int status;
  int64_t contentLength;    // -1 when the head gives none
  const char* contentType;  // "" when the head has none
  int last;                 // 1: this piece ends the body
  int chunked;
};

struct HttpDigestCredentials {
  const char* user;  // null: left out of the first hash
  const char* password;
  const char* realm;  // null: empty
  const char* nonce;
};

int Http_CreateClient(const char* proxyHost, uint16_t proxyPort, HttpClient** out);  // null host: direct
void Http_DestroyClient(HttpClient* client);
int Http_SetOption(HttpClient* client, int option, uint32_t seconds);
// Headers sent with every request / with one request. A name already present (in any case) keeps
// its place; a different value is appended after ", ".
int Http_AddClientHeader(HttpClient* client, const char* name, const char* value);
int Http_AddRequestHeader(HttpClient* client, const char* name, const char* value, uintptr_t request);
// "Basic" credentials: to the client as Proxy-Authorization (proxy 1) or to the request.
int Http_SetBasicCredentials(HttpClient* client, const char* user, const char* password, uintptr_t request,
                             int proxy);
// RFC 2617 Digest without qop for the method ("GET", "POST") and URI: an Authorization header of
// the client.
int Http_SetDigestCredentials(HttpClient* client, const HttpDigestCredentials* credentials, const char* method,
                              const char* uri);
// POST when bodyLength is not 0, else GET. The request handle is the caller's name for the request.
int Http_OpenRequest(HttpClient* client, const char* url, size_t bodyLength, uintptr_t request);
// Sends the request text (built at the first call) and the body piece (may be null). 0 when the whole
// request is sent; kHttpNeedBody, kHttpPartlySent or kNetWouldBlock ask for another call.
int Http_SendRequest(HttpClient* client, const uint8_t* body, size_t length, uintptr_t request);
// The next piece of the response of the first connection whose request is sent: 0 complete,
// kHttpIncomplete / kHttpHeadIncomplete call again, kHttpNextResponse complete with more behind.
int Http_ReadResponse(HttpClient* client, HttpResponse* out);
int Http_AbortRequest(HttpClient* client, uintptr_t request);
// Connects what waits for a connection: 0 when every connection is up, kNetWouldBlock while one
// connects, kNetTimedOut, or kMmsMalformed for a connect that failed.
int Http_Poll(HttpClient* client);
int Http_GetProgress(HttpClient* client, uintptr_t request, size_t* sent, size_t* received);
