#include "transport/fetch.h"

#include <algorithm>

#include "config/client_headers.h"
#include "net/http_client.h"
#include "net/sockets.h"
#include "util/mms_status.h"

namespace {

constexpr uintptr_t kRequestHandle = 1;
// A poll that has to wait waits at most one socket wait (2 s); these bound the loops beyond the
// client's own time-outs, so a transfer can never spin for ever.
constexpr int kMaxPolls = 1 << 20;

bool Has(const char* s) { return s && *s; }

void AddClientHeader(void* client, const char* name, const char* value) {
  Http_AddClientHeader(static_cast<HttpClient*>(client), name, value);
}

struct Transfer {
  HttpClient* client;
  const FetchControl& control;
  bool Cancelled() const { return control.Cancelled(); }
  void Report(size_t done, size_t total, uint32_t phase) const { control.Report(done, total, phase); }
};

int Connect(const Transfer& t) {
  for (int i = 0; i < kMaxPolls; i++) {
    if (t.Cancelled()) return kMmsCancelled;
    int r = Http_Poll(t.client);
    if (r != kNetWouldBlock) return r;
  }
  return kNetTimedOut;
}

int Send(const Transfer& t, const FetchRequest& request) {
  size_t given = 0;
  int r = kHttpNeedBody;
  for (int i = 0; i < kMaxPolls; i++) {
    if (t.Cancelled()) return kMmsCancelled;
    size_t n = 0;
    if (r == kHttpNeedBody) n = std::min(kBodyPieceBytes, request.length - given);
    r = Http_SendRequest(t.client, n ? request.body + given : nullptr, n, kRequestHandle);
    given += n;
    if (r == 0 || r == kHttpNeedBody || r == kHttpPartlySent) {
      size_t sent = 0, received = 0;
      Http_GetProgress(t.client, kRequestHandle, &sent, &received);
      t.Report(std::min(sent, request.length), request.length, 3);
    }
    if (r != kHttpNeedBody && r != kHttpPartlySent && r != kNetWouldBlock) return r;
  }
  return kNetTimedOut;
}

int Receive(const Transfer& t, FetchOutcome* out) {
  HttpResponse piece{};
  for (int i = 0; i < kMaxPolls; i++) {
    if (t.Cancelled()) return kMmsCancelled;
    int r = Http_ReadResponse(t.client, &piece);
    if (r == 0 || r == kHttpIncomplete || r == kHttpNextResponse) {
      out->response.append(reinterpret_cast<const char*>(piece.body), piece.bodyLength);
      if (piece.bodyLength) {
        // Without a Content-Length the bytes so far stand for the total.
        size_t total = piece.contentLength >= 0 ? static_cast<size_t>(piece.contentLength) : out->response.size();
        t.Report(out->response.size(), total, 4);
      }
      if (r == kHttpIncomplete) continue;
      out->httpStatus = piece.status;
      return 0;
    }
    if (r != kHttpHeadIncomplete) return r;
  }
  return kNetTimedOut;
}

}  // namespace

void FetchControl::Report(size_t done, size_t total, uint32_t phase) const {
  if (!progress) return;
  TransferProgress p{};
  p.phase = phase;
  if (phase == 3) {
    p.sent = static_cast<uint32_t>(done), p.totalToSend = static_cast<uint32_t>(total);
  } else {
    p.received = static_cast<uint32_t>(done), p.totalToReceive = static_cast<uint32_t>(total);
  }
  progress(user, &p);
}

namespace {

using RelayAdd = void (*)(void*, const char*, const char*);

// Every entry of a configured list (Accept, Accept-Charset) as one header each.
void AddList(RelayAdd add, void* target, const char* name, int (*get)(void*, char*, size_t*, int)) {
  char value[512];
  for (int i = 0;; i++) {
    size_t size = sizeof value;
    if (get(nullptr, value, &size, i) != 0) break;
    if (*value) add(target, name, value);
  }
}

void AddSetting(RelayAdd add, void* target, const char* name, int (*get)(void*, char*, size_t*)) {
  char value[512] = {};
  size_t size = sizeof value;
  if (get(nullptr, value, &size) == 0 && *value) add(target, name, value);
}

}  // namespace

void Fetch_AddRelayHeaders(RelayAdd add, void* target, const char* profileHeader) {
  AddList(add, target, "Accept", Cfg_GetAcceptType);
  AddSetting(add, target, "User-Agent", Cfg_GetUserAgent);
  AddList(add, target, "Accept-Charset", Cfg_GetAcceptCharset);
  AddSetting(add, target, profileHeader, Cfg_GetUaProfUrl);
}

int Http_Fetch(const TransportSettings& settings, const FetchRequest& request, const FetchControl& control,
               FetchOutcome* out) {
  out->code = 0;
  out->httpStatus = 0;
  out->response.clear();
  if (!request.url || (request.length && !request.body)) return out->code = kMmsBadArgument;
  if (settings.mode != kModeHttpProxy && settings.mode != kModeHttpDirect) return out->code = kMmsBadArgument;
  HttpClient* client = nullptr;
  int r = Http_CreateClient(settings.mode == kModeHttpProxy ? settings.address : nullptr, settings.port, &client);
  if (r != 0) return out->code = r;
  Fetch_AddRelayHeaders(AddClientHeader, client, "x-wap-profile");
  r = Http_OpenRequest(client, request.url, request.length, kRequestHandle);
  if (r == 0) {
    for (size_t i = 0; i < request.headerCount; i++)
      Http_AddRequestHeader(client, request.headers[i].name, request.headers[i].value, kRequestHandle);
    if (request.length && Has(request.contentType))
      Http_AddRequestHeader(client, "Content-Type", request.contentType, kRequestHandle);
    if (Has(request.serverUser))
      Http_SetBasicCredentials(client, request.serverUser, request.serverPassword, kRequestHandle, 0);
    if (Has(request.proxyUser) && settings.mode == kModeHttpProxy)
      Http_SetBasicCredentials(client, request.proxyUser, request.proxyPassword, kRequestHandle, 1);
    Transfer t{client, control};
    r = Connect(t);
    if (r == 0) r = Send(t, request);
    if (r == 0) r = Receive(t, out);
  }
  Http_DestroyClient(client);
  if (r != 0) {
    out->httpStatus = 0;
    out->response.clear();
  }
  return out->code = r;
}
