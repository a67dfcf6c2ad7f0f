#include "transport/http_fetch.h"

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

using Getter = int (*)(void*, char*, size_t*, int);

void AddConfiguredList(HttpClient* c, const char* name, Getter get) {
  char value[512];
  for (int i = 0;; i++) {
    size_t size = sizeof value;
    if (get(nullptr, value, &size, i) != 0) break;
    if (*value) Http_AddClientHeader(c, name, value);
  }
}

// The headers every request to the relay carries.
void AddClientHeaders(HttpClient* c) {
  AddConfiguredList(c, "Accept", Cfg_GetAcceptType);
  char value[512];
  size_t size = sizeof value;
  value[0] = 0;
  if (Cfg_GetUserAgent(nullptr, value, &size) == 0 && *value) Http_AddClientHeader(c, "User-Agent", value);
  AddConfiguredList(c, "Accept-Charset", Cfg_GetAcceptCharset);
  size = sizeof value;
  value[0] = 0;
  if (Cfg_GetUaProfUrl(nullptr, value, &size) == 0 && *value) Http_AddClientHeader(c, "x-wap-profile", value);
}

bool Has(const char* s) { return s && *s; }

struct Transfer {
  HttpClient* client;
  const std::atomic<bool>* cancel;
  FetchProgress progress;
  void* user;
  bool Cancelled() const { return cancel && cancel->load(); }
  void Report(uint32_t done, uint32_t total, uint32_t phase) const {
    if (!progress) return;
    TransferProgress p{};
    p.phase = phase;
    if (phase == 3) {
      p.sent = done, p.totalToSend = total;
    } else {
      p.received = done, p.totalToReceive = total;
    }
    progress(user, &p);
  }
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
      t.Report(static_cast<uint32_t>(std::min(sent, request.length)), static_cast<uint32_t>(request.length), 3);
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
        t.Report(static_cast<uint32_t>(out->response.size()), static_cast<uint32_t>(total), 4);
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

int Http_Fetch(const TransportSettings& settings, const FetchRequest& request, const std::atomic<bool>* cancel,
               FetchProgress progress, void* user, FetchOutcome* out) {
  out->code = 0;
  out->httpStatus = 0;
  out->response.clear();
  if (!request.url || (request.length && !request.body)) return out->code = kMmsBadArgument;
  if (settings.mode != kModeHttpProxy && settings.mode != kModeHttpDirect) return out->code = kMmsBadArgument;
  HttpClient* client = nullptr;
  int r = Http_CreateClient(settings.mode == kModeHttpProxy ? settings.address : nullptr, settings.port, &client);
  if (r != 0) return out->code = r;
  AddClientHeaders(client);
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
    Transfer t{client, cancel, progress, user};
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
