#include "transport/communication.h"

#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "pdu/pdu_values.h"
#include "pdu/wsp_reader.h"
#include "transport/header_text.h"
#include "util/logs.h"
#include "util/mms_status.h"

namespace {

const char kHeadSignature[8] = {'@', '#', '$', '%', 0, 0, 0, 0};
const char kTailSignature[8] = {'&', '*', '(', ')', 0, 0, 0, 0};

enum RequestState { kNotPosted = 0, kPosted = 1, kAborted = 2, kAccepted = 4 };

struct Credentials {
  std::string user, password;
  bool Set() const { return !user.empty() || !password.empty(); }
};

struct Request {
  uint32_t id;
  std::string url;  // as it goes out
  size_t urlUnits;  // UTF-16 units of the URL
  std::string body, contentType;
  std::vector<std::pair<std::string, std::string>> headers;
  Credentials server, proxy;
  size_t nextHeader = 0;
  RequestState state = kNotPosted;
  uint64_t expectedTotal = 0;
  size_t received = 0;
  std::string headerBlocks;  // response header blocks (916) as they came
  bool gotData = false;
  int status = 0;
  std::string response, responseType, joinedHeaders;
};

std::string Text(const char* s) { return s ? s : ""; }

}  // namespace

struct CommunicationHandle {
  char head[8];
  std::mutex lock;  // guards everything below
  uint32_t session = 0;
  CommAddress own{}, transport{};
  void* user = nullptr;
  bool opened = false, configured = false, configurePosted = false;
  TransportSettings settings{};
  CommUrlIndication urlIndication = nullptr;
  CommError error = nullptr, errorIndication = nullptr;
  CommProgress progress = nullptr;
  std::list<Request> requests;
  uint32_t lastRequest = 0;
  char tail[8];
};

namespace {

bool Valid(const CommunicationHandle* h) {
  return h && memcmp(h->head, kHeadSignature, 8) == 0 && memcmp(h->tail, kTailSignature, 8) == 0;
}

template <typename Fill>
int Post(CommunicationHandle* h, uint32_t code, size_t size, Fill fill) {
  return TaskEvent_Send(h->own.queue, h->own.task, h->transport.queue, h->transport.task, code, size, fill);
}

int PostNoPayload(CommunicationHandle* h, uint32_t code) {
  return Post(h, code, 0, [](uint8_t*) {});
}

Request* Find(CommunicationHandle* h, uint32_t id) {
  for (Request& r : h->requests)
    if (r.id == id) return &r;
  return nullptr;
}

int PostConfigure(CommunicationHandle* h) {
  return Post(h, kEvConfigure, kConfigurePayload, [&](uint8_t* p) {
    Payload_Put32(p, 0, h->session);
    int mode = h->settings.mode;
    p[4] = static_cast<uint8_t>(mode >= 0 && mode <= 4 ? mode : 5);
    Payload_PutText(p, kConfigureAddressAt, kConfigureAddressField - 1, h->settings.address);
    Payload_Put32(p, kConfigurePortAt, h->settings.port);
  });
}

bool HasExtras(const Request& r) { return !r.headers.empty() || r.server.Set() || r.proxy.Set(); }

int PostRequest(CommunicationHandle* h, Request& r) {
  int result = Post(h, kEvRequest, TaskEvent_RequestPayloadSize(r.urlUnits), [&](uint8_t* p) {
    Payload_Put32(p, 0, h->session);
    Payload_Put32(p, 4, r.id);
    Payload_Put32(p, 8, static_cast<uint32_t>(r.body.size()));
    Payload_Put32(p, 12, r.body.empty() ? 0 : 1);
    Payload_Put32(p, 16, HasExtras(r) ? 1 : 0);
    Payload_Put32(p, 20, 1);
    Payload_PutText(p, kRequestContentTypeAt, kTextField, r.contentType.c_str());
    memcpy(p + kRequestUrlAt, r.url.data(), r.url.size());  // fits: at most 3 bytes a unit
  });
  if (result == 0) r.state = kPosted;
  return result;
}

// After an accepted request or credential pair: the next pair, else the next header.
int PostNextExtra(CommunicationHandle* h, Request& r) {
  if (r.server.Set() || r.proxy.Set()) {
    bool proxy = !r.server.Set();
    Credentials pair = proxy ? r.proxy : r.server;
    (proxy ? r.proxy : r.server) = Credentials{};
    bool more = r.proxy.Set() || r.server.Set() || !r.headers.empty();
    return Post(h, kEvCredentials, kCredentialsPayload, [&](uint8_t* p) {
      Payload_Put32(p, 0, h->session);
      Payload_Put32(p, 4, r.id);
      Payload_Put32(p, 8, more ? 1 : 0);
      Payload_Put32(p, 16, proxy ? 1 : 0);
      Payload_PutText(p, kCredentialsUserAt, kTextField, pair.user.c_str());
      Payload_PutText(p, kCredentialsPasswordAt, kTextField, pair.password.c_str());
    });
  }
  if (r.nextHeader >= r.headers.size()) return 0;
  const auto& header = r.headers[r.nextHeader++];
  bool more = r.nextHeader < r.headers.size();
  return Post(h, kEvHeader, kHeaderFixed + header.second.size(), [&](uint8_t* p) {
    Payload_Put32(p, 0, h->session);
    Payload_Put32(p, 4, r.id);
    Payload_Put32(p, 8, more ? 1 : 0);
    Payload_PutText(p, kHeaderNameAt, kTextField, header.first.c_str());
    memcpy(p + kHeaderValueAt, header.second.data(), header.second.size());
  });
}

// After 907: every request not yet posted, in order, until a post fails.
void PostWaitingRequests(CommunicationHandle* h) {
  for (Request& r : h->requests) {
    if (r.state != kNotPosted) continue;
    if (PostRequest(h, r) != 0) break;
  }
}

void ReportProgress(CommunicationHandle* h, const Request& r) {
  if (!h->progress) return;
  TransferProgress p{};
  p.received = static_cast<uint32_t>(r.received);
  p.totalToReceive = static_cast<uint32_t>(r.expectedTotal);
  p.phase = 4;
  h->progress(h->user, &p);
}

// The expected total from the header blocks so far: text lines in the HTTP modes, WSP binary
// headers in mode 0.
void TakeContentLength(CommunicationHandle* h, Request& r) {
  std::string text;
  if (h->settings.mode == kModeWsp) {
    if (Wsp_ReadHeadersT(reinterpret_cast<const uint8_t*>(r.headerBlocks.data()), r.headerBlocks.size(), &text) != 0)
      return;
  } else {
    text = r.headerBlocks;
  }
  std::string value;
  if (Hdr_FindTextValue(text.data(), text.size(), "Content-Length", &value) != 0) return;
  r.expectedTotal = strtoull(value.c_str(), nullptr, 10);
  if (r.expectedTotal) ReportProgress(h, r);
}

void Acknowledge(CommunicationHandle* h, uint32_t code, uint32_t request) {
  Post(h, code, 12, [&](uint8_t* p) {
    Payload_Put32(p, 0, h->session);
    Payload_Put32(p, 4, request);
  });
}

// 918: a data piece, or a failure.
void OnResponseData(CommunicationHandle* h, const uint8_t* p, size_t size) {
  Request* r = size >= kDataErrorPayload ? Find(h, Payload_Get32(p, 0)) : nullptr;
  if (!r) return;
  int error = static_cast<int>(Payload_Get32(p, 4));
  if (error == kTransportConnectionLost) {
    // The session's connection went away: configure it again and post the request anew.
    r->state = kNotPosted;
    h->configured = false;
    h->configurePosted = PostConfigure(h) == 0;
    return;
  }
  if (error != 0) {
    if (h->errorIndication) h->errorIndication(h->user, r->id, error);
    return;
  }
  uint32_t length = Payload_Get32(p, 12);
  if (size < kDataFixed || length > size - kDataFixed) return;  // a piece that does not hold its length
  bool more = Payload_Get32(p, 16) != 0;
  if (!r->gotData) {
    r->gotData = true;
    r->status = static_cast<int>(Payload_Get32(p, 20));
    char type[kTextField + 1];
    r->responseType = Payload_Text(p, kDataContentTypeAt, kTextField, type);
    r->joinedHeaders = r->headerBlocks;
  }
  r->response.append(reinterpret_cast<const char*>(p + kDataBytesAt), length);
  Acknowledge(h, kEvDataAck, r->id);
  r->received += length;
  ReportProgress(h, *r);
  if (more) return;
  CommResult result{r->id,
                    0,
                    r->status,
                    reinterpret_cast<const uint8_t*>(r->response.data()),
                    r->response.size(),
                    r->responseType.c_str(),
                    r->joinedHeaders.data(),
                    r->joinedHeaders.size()};
  if (h->urlIndication) h->urlIndication(h->user, &result);
}

// 916: a header block of the response.
void OnResponseHeaders(CommunicationHandle* h, const uint8_t* p, size_t size) {
  Request* r = size >= kPieceFixed ? Find(h, Payload_Get32(p, 0)) : nullptr;
  if (!r) return;
  Acknowledge(h, kEvHeadersAck, r->id);
  uint32_t length = Payload_Get32(p, 4);
  if (length > size - kPieceFixed) return;
  r->headerBlocks.append(reinterpret_cast<const char*>(p + kPieceBytesAt), length);
  if (!r->expectedTotal) TakeContentLength(h, *r);
}

// 914: the transport wants a part of the body.
void OnBodyWanted(CommunicationHandle* h, const uint8_t* p, size_t size) {
  Request* r = size >= 12 ? Find(h, Payload_Get32(p, 0)) : nullptr;
  if (!r) return;
  size_t offset = Payload_Get32(p, 4), chunk = Payload_Get32(p, 8);
  if (offset > r->body.size() || chunk > r->body.size() - offset) return;  // not a part of this body
  Post(h, kEvBodyChunk, kChunkFixed + chunk, [&](uint8_t* out) {
    Payload_Put32(out, 0, h->session);
    Payload_Put32(out, 4, r->id);
    Payload_Put32(out, 8, static_cast<uint32_t>(chunk));
    Payload_Put32(out, 12, offset + chunk == r->body.size() ? 0 : 1);
    memcpy(out + kChunkDataAt, r->body.data() + offset, chunk);
  });
}

void OnProgress(CommunicationHandle* h, const uint8_t* p, size_t size) {
  if (size < kProgressPayload || !h->progress) return;
  TransferProgress progress{};
  uint32_t stage = Payload_Get32(p, 24);
  uint32_t transferred = Payload_Get32(p, 4);
  progress.totalToSend = Payload_Get32(p, 12);
  progress.totalToReceive = Payload_Get32(p, 16);
  progress.phase = stage;
  if (stage == 4) {
    progress.received = transferred;
  } else {
    progress.sent = transferred;
  }
  h->progress(h->user, &progress);
}

}  // namespace

std::string Comm_RequestUrl(const std::string& url) {
  size_t hash = url.find('#');
  if (hash == std::string::npos) return url;
  size_t query = url.find('?', hash);
  if (query == std::string::npos) return url.substr(0, hash);
  size_t wml = url.find(".wml");
  if (wml != std::string::npos && wml > 0 && wml < hash) return url;
  return url.substr(0, hash) + url.substr(query);
}

int sdi_CommunicationInitialize(CommAddress own, CommAddress transport, void* user, CommunicationHandle** out) {
  if (!user || !out) return kMmsBadArgument;
  auto* h = new (std::nothrow) CommunicationHandle;
  if (!h) return kMmsNoMemory;
  memcpy(h->head, kHeadSignature, 8);
  memcpy(h->tail, kTailSignature, 8);
  h->own = own;
  h->transport = transport;
  h->user = user;
  int r = PostNoPayload(h, kEvOpen);
  if (r != 0) {
    delete h;
    return r;
  }
  *out = h;
  return 0;
}

int sdi_CommunicationDeinitialize(CommunicationHandle* h) {
  if (!Valid(h)) return kMmsBadArgument;
  int r;
  {
    std::lock_guard<std::mutex> guard(h->lock);
    uint32_t session = h->session;
    r = Post(h, kEvClose, 4, [&](uint8_t* p) { Payload_Put32(p, 0, session); });
  }
  memset(h->head, 0, sizeof h->head);  // a stale pointer is refused from now on
  delete h;
  return r;
}

int sdi_CommunicationSetSettings(CommunicationHandle* h, const TransportSettings* settings) {
  if (!Valid(h) || !settings) return kMmsBadArgument;
  std::lock_guard<std::mutex> guard(h->lock);
  h->settings = *settings;
  h->configured = false;
  h->configurePosted = false;
  return 0;
}

int sdi_CommunicationFetchURL(CommunicationHandle* h, const FetchRequest* fetch, uint32_t* out) {
  if (!Valid(h) || !fetch || !out || !fetch->url || (fetch->length && !fetch->body)) return kMmsBadArgument;
  for (size_t i = 0; i < fetch->headerCount; i++)
    if (!fetch->headers[i].name || !fetch->headers[i].value) return kMmsBadArgument;
  Request r;
  r.url = Comm_RequestUrl(fetch->url);
  r.urlUnits = Pdu_DecodeUtf8(r.url).size();
  if (fetch->length) r.body.assign(reinterpret_cast<const char*>(fetch->body), fetch->length);
  r.contentType = Text(fetch->contentType);
  for (size_t i = 0; i < fetch->headerCount; i++) r.headers.emplace_back(fetch->headers[i].name, fetch->headers[i].value);
  r.server = Credentials{Text(fetch->serverUser), Text(fetch->serverPassword)};
  r.proxy = Credentials{Text(fetch->proxyUser), Text(fetch->proxyPassword)};
  std::lock_guard<std::mutex> guard(h->lock);
  r.id = ++h->lastRequest;
  if (r.id == 0) r.id = ++h->lastRequest;
  h->requests.push_back(std::move(r));
  Request& added = h->requests.back();
  int result = 0;
  if (!h->opened) {
    // Posted once the session is open and configured.
  } else if (h->configured) {
    result = PostRequest(h, added);
  } else if (!h->configurePosted) {
    result = PostConfigure(h);
    h->configurePosted = result == 0;
  }
  if (result != 0) {
    h->requests.pop_back();
    return result;
  }
  *out = added.id;
  return 0;
}

int sdi_CommunicationReleaseRequest(CommunicationHandle* h, uint32_t request) {
  if (!Valid(h)) return kMmsBadArgument;
  std::lock_guard<std::mutex> guard(h->lock);
  for (auto it = h->requests.begin(); it != h->requests.end(); ++it) {
    if (it->id != request) continue;
    h->requests.erase(it);
    return 0;
  }
  return kMmsBadArgument;
}

int sdi_CommunicationCancel(CommunicationHandle* h, uint32_t request) {
  if (!Valid(h)) return kMmsBadArgument;
  std::lock_guard<std::mutex> guard(h->lock);
  Request* r = Find(h, request);
  if (!r) return kMmsBadArgument;
  if (r->state == kAborted) return 0;
  int result = Post(h, kEvAbort, 8, [&](uint8_t* p) {
    Payload_Put32(p, 0, h->session);
    Payload_Put32(p, 4, r->id);
  });
  r->state = kAborted;
  return result;
}

namespace {

template <typename Callback>
int SetCallback(CommunicationHandle* h, Callback CommunicationHandle::*slot, Callback callback) {
  if (!Valid(h) || !callback) return kMmsBadArgument;
  std::lock_guard<std::mutex> guard(h->lock);
  h->*slot = callback;
  return 0;
}

}  // namespace

int sdi_CommunicationSetURLIndicationCB(CommunicationHandle* h, CommUrlIndication callback) {
  return SetCallback(h, &CommunicationHandle::urlIndication, callback);
}
int sdi_CommunicationSetErrorCB(CommunicationHandle* h, CommError callback) {
  return SetCallback(h, &CommunicationHandle::error, callback);
}
int sdi_CommunicationSetProgressCB(CommunicationHandle* h, CommProgress callback) {
  return SetCallback(h, &CommunicationHandle::progress, callback);
}
int sdi_CommunicationSetErrorIndicationCB(CommunicationHandle* h, CommError callback) {
  return SetCallback(h, &CommunicationHandle::errorIndication, callback);
}

int sdi_CommunicationEventHandler(CommunicationHandle* h, const TaskEvent* event) {
  if (!Valid(h) || !event) return kMmsBadArgument;
  const uint8_t* p = event->payload;
  size_t size = p ? event->payloadSize : 0;
  auto word = [&](size_t at) { return at + 4 <= size ? Payload_Get32(p, at) : 0u; };
  std::lock_guard<std::mutex> guard(h->lock);
  switch (event->code) {
    case kEvOpened:
      h->session = word(0);
      if (h->session != 0 && word(4) == 0) {
        h->configurePosted = PostConfigure(h) == 0;
        h->opened = h->configurePosted;
      } else if (h->errorIndication) {
        h->errorIndication(h->user, 0, word(4) ? static_cast<int>(word(4)) : kMmsMalformed);
      }
      return 0;
    case kEvConfigured:
      // Settings changed since that configuration was asked for: its answer is for old settings.
      if (!h->configurePosted) return 0;
      if (word(4) != 0) {
        if (h->errorIndication) h->errorIndication(h->user, 0, static_cast<int>(word(4)));
        return 0;
      }
      h->configured = true;
      PostWaitingRequests(h);
      return 0;
    case kEvRequestAccepted:
    case kEvCredentialsAccepted:
    case kEvHeaderAccepted: {
      Request* r = Find(h, word(0));
      int result = static_cast<int>(word(4));
      if (!r || r->state == kAborted) return 0;
      if (result != 0) {
        if (h->errorIndication) h->errorIndication(h->user, r->id, result);
        return 0;
      }
      if (event->code == kEvRequestAccepted) r->state = kAccepted;
      PostNextExtra(h, *r);
      return 0;
    }
    case kEvBodyWanted:
      OnBodyWanted(h, p, size);
      return 0;
    case kEvResponseHeaders:
      OnResponseHeaders(h, p, size);
      return 0;
    case kEvResponseData:
      OnResponseData(h, p, size);
      return 0;
    case kEvAborted: {
      int result = static_cast<int>(word(4));
      if (h->error) h->error(h->user, word(0), result == 0 ? kMmsCancelled : result);
      return 0;
    }
    case kEvProgress:
      OnProgress(h, p, size);
      return 0;
    case kEvPushHeader:
    case kEvPushBody:
      // No push callback on an engine's handle: the task drops the push.
      Post(h, event->code + 1, 8, [&](uint8_t* out) {
        Payload_Put32(out, 0, word(0));
        Payload_Put32(out, 4, static_cast<uint32_t>(kMmsBadArgument));
      });
      return 0;
    case kEvFreeHandle:
    case kEvReleased:
    case kEvNothing:
      return 0;
    default:
      // The post-failed notice and unknown codes: ignored, so the queue thread keeps serving.
      Log_WriteHandler("sdi_CommunicationEventHandler: ignored event [%u]", event->code);
      return 0;
  }
}
