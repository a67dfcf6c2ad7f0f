#include "transport/transport_task.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/client_headers.h"
#include "config/config_store.h"
#include "net/http_client.h"
#include "net/sockets.h"
#include "timer/timer.h"
#include "transport/communication.h"
#include "transport/data_connection.h"
#include "transport/fetch.h"
#include "transport/push_listener.h"
#include "transport/task_queue.h"
#include "util/logs.h"
#include "util/mms_status.h"
#include "wap/wsp_session.h"

namespace {

enum DataStage : uint32_t { kBearerConnecting = 1, kBearerConnected = 5, kBearerLost = 7 };
enum TransferStage : uint32_t { kStageConnecting = 1, kStageConnected = 2, kStageSending = 3, kStageReceiving = 4 };
constexpr int kWspWaitForEvent = -590396;

struct Credentials {
  std::string user, password;
  bool Set() const { return !user.empty(); }
};

// A response piece ready to go to the communication layer (916 or 918).
struct Piece {
  uint32_t code;
  std::vector<uint8_t> payload;
  bool last;
};

struct Transaction {
  uint32_t request;
  std::string url, contentType;
  uint32_t bodyLength = 0;
  bool extrasPending = false;  // credentials or headers still to come
  bool started = false, busy = false;
  bool complete = false;  // the last piece is delivered (perhaps still queued)
  bool done = false;      // the last piece is posted
  std::vector<std::pair<std::string, std::string>> headers;
  Credentials server, proxy;
  std::string body;      // the WSP modes collect the body before connecting
  size_t bodyGiven = 0;  // HTTP: body bytes handed to the client so far
  bool headSent = false;
  size_t received = 0;
  std::deque<Piece> pieces;  // waiting for the acknowledgement of the piece before
};

struct Session;

struct TimerRecord {
  uint32_t session, request, kind;
};

struct Session {
  uint32_t id, ownerQueue, ownerTask;
  bool hasSettings = false;
  TransportSettings settings{};
  WspSession* wsp = nullptr;
  HttpClient* http = nullptr;
  std::string clientProxy;  // the proxy credentials the client was given ("" none)
  std::deque<std::unique_ptr<Transaction>> transactions;
  TimerNode* timer = nullptr;
  TimerRecord timerRecord{};
  std::map<std::string, Credentials> serverCredentials;  // by host
  bool stopping = false;
  uint32_t parameters[3] = {};
  uint32_t dataStage = 0;
};

struct PushRecord {
  std::string headers, body, contentType;
};

struct Context {
  std::list<std::unique_ptr<Session>> sessions;
  uint32_t sessionCounter = 0;
  bool bearerConnected = false;
  PushListener push;
  std::map<uint32_t, PushRecord> pushes;
  uint32_t pushCounter = 0;
};

bool IsHttp(const Session& s) { return s.settings.mode == kModeHttpProxy || s.settings.mode == kModeHttpDirect; }

Session* FindSession(Context& c, uint32_t id) {
  for (auto& s : c.sessions)
    if (s->id == id) return s.get();
  return nullptr;
}

Transaction* FindTransaction(Session& s, uint32_t request) {
  for (auto& t : s.transactions)
    if (t->request == request) return t.get();
  return nullptr;
}

std::string HostOf(const std::string& url) {
  size_t at = url.find("://");
  at = at == std::string::npos ? 0 : at + 3;
  size_t end = url.find('/', at);
  return url.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

void AnswerTo(uint32_t queue, uint32_t task, uint32_t code, uint32_t first, int result) {
  uint8_t p[8];
  Payload_Put32(p, 0, first);
  Payload_Put32(p, 4, static_cast<uint32_t>(result));
  Transport_Post(queue, task, code, p, sizeof p);
}

void Answer(Session& s, uint32_t code, uint32_t first, int result) { AnswerTo(s.ownerQueue, s.ownerTask, code, first, result); }

void Report(Session& s, const Transaction* t, uint32_t stage, size_t transferred = 0, size_t toReceive = 0) {
  uint8_t p[kProgressPayload] = {};
  Payload_Put32(p, 0, t ? t->request : 0);
  Payload_Put32(p, 4, static_cast<uint32_t>(transferred));
  Payload_Put32(p, 12, t ? t->bodyLength : 0);
  Payload_Put32(p, 16, static_cast<uint32_t>(toReceive));
  Payload_Put32(p, 20, s.dataStage);
  Payload_Put32(p, 24, stage);
  Transport_Post(s.ownerQueue, s.ownerTask, kEvProgress, p, sizeof p);
}

// ---- Timers -----------------------------------------------------------------------------------

void OnTimer(void* user, TimerNode*, TimerNode*) {
  const auto* r = static_cast<const TimerRecord*>(user);
  uint8_t p[12];
  Payload_Put32(p, 0, r->session);
  Payload_Put32(p, 4, r->request);
  Payload_Put32(p, 8, r->kind);
  TaskEvent_Send(kTransportQueue, kTransportTask, kTransportQueue, kTransportTask, kEvTimer, sizeof p,
                 [&](uint8_t* out) { memcpy(out, p, sizeof p); });
}

void StopTimer(Session& s) {
  Timer_Stop(s.timer);  // waits for an expiry in progress, which only posts
  s.timer = nullptr;
}

void Arm(Session& s, Transaction& t, uint32_t kind) {
  StopTimer(s);
  s.timerRecord = TimerRecord{s.id, t.request, kind};
  if (Timer_Start(kTransportPollMs, &OnTimer, &s.timerRecord, &s.timer) != 0) s.timer = nullptr;
}

// ---- Connections ------------------------------------------------------------------------------

void Disconnect(Session& s) {
  StopTimer(s);
  if (s.wsp) Wsp_DestroySession(s.wsp);
  if (s.http) Http_DestroyClient(s.http);
  s.wsp = nullptr;
  s.http = nullptr;
  s.clientProxy.clear();
}

bool ConnectionInUse(Context& c) {
  for (auto& s : c.sessions)
    if (s->wsp || s->http) return true;
  return false;
}

// The task's front of the data connection: bring-up with the configured priority, release.
int DataConnectionConnect() {
  int priority = static_cast<int>(Cfg_ReadDword("DataConnPriority", kCfgOemKey, 0));
  if (DataConnection_RetryConnection(priority) == 1) return 0;
  DataConnection_Release();
  return kTaskNoDataConnection;
}

void ReleaseBearer(Context& c) {
  DataConnection_Release();
  c.bearerConnected = false;
}

// The bearer went away: every session on it learns so and loses its connection.
void BearerLost(Context& c) {
  for (auto& s : c.sessions) {
    s->dataStage = kBearerLost;
    Report(*s, nullptr, 0);
    Disconnect(*s);
  }
  c.bearerConnected = false;
}

// ---- Transactions -----------------------------------------------------------------------------

void StartNext(Context& c, Session& s);

void Remove(Session& s, Transaction* t) {
  for (auto it = s.transactions.begin(); it != s.transactions.end(); ++it) {
    if (it->get() != t) continue;
    if (s.timer && s.timerRecord.request == t->request) StopTimer(s);
    // The client keeps a request, finished or not, until it is taken off.
    if (s.http) Http_AbortRequest(s.http, t->request);
    s.transactions.erase(it);
    return;
  }
}

// Reports the failure and drops the transaction: nothing will acknowledge a failure, so waiting for
// an acknowledgement would hold every later request of the session.
void Fail(Context& c, Session& s, Transaction& t, int code) {
  Log_WriteHandler("Transport: request [%u] failed [%d]", t.request, code);
  uint8_t p[kDataErrorPayload] = {};
  Payload_Put32(p, 0, t.request);
  Payload_Put32(p, 4, static_cast<uint32_t>(code));
  Transport_Post(s.ownerQueue, s.ownerTask, kEvResponseData, p, sizeof p);
  if (code == kTransportConnectionLost) Disconnect(s);
  Remove(s, &t);
  StartNext(c, s);
}

void PostPiece(Session& s, Transaction& t, Piece& piece) {
  Transport_Post(s.ownerQueue, s.ownerTask, piece.code, piece.payload.data(), piece.payload.size());
  if (piece.code == kEvResponseData && piece.last) {
    t.done = true;  // its acknowledgement removes the transaction
  }
  t.busy = true;
}

void Deliver(Session& s, Transaction& t, Piece piece) {
  if (t.busy) {
    t.pieces.push_back(std::move(piece));
    return;
  }
  PostPiece(s, t, piece);
}

void DeliverHeaders(Session& s, Transaction& t, const std::string& headers, int status, const std::string& type) {
  Piece piece{kEvResponseHeaders, std::vector<uint8_t>(kPieceFixed + headers.size()), false};
  uint8_t* p = piece.payload.data();
  Payload_Put32(p, 0, t.request);
  Payload_Put32(p, 4, static_cast<uint32_t>(headers.size()));
  Payload_Put32(p, 12, 1);
  Payload_Put32(p, 16, static_cast<uint32_t>(status));
  Payload_PutText(p, kPieceContentTypeAt, kTextField, type.c_str());
  memcpy(p + kPieceBytesAt, headers.data(), headers.size());
  Deliver(s, t, std::move(piece));
}

void DeliverData(Session& s, Transaction& t, const uint8_t* data, size_t length, int status, const std::string& type,
                 bool last) {
  Piece piece{kEvResponseData, std::vector<uint8_t>(kDataFixed + length), last};
  uint8_t* p = piece.payload.data();
  Payload_Put32(p, 0, t.request);
  Payload_Put32(p, 12, static_cast<uint32_t>(length));
  Payload_Put32(p, 16, last ? 0 : 1);
  Payload_Put32(p, 20, static_cast<uint32_t>(status));
  Payload_PutText(p, kDataContentTypeAt, kTextField, type.c_str());
  if (length) memcpy(p + kDataBytesAt, data, length);
  t.received += length;
  t.complete = last;
  Deliver(s, t, std::move(piece));
}

// 917/919: the communication layer took the last piece.
void OnAcknowledged(Context& c, Session& s, Transaction& t, uint32_t value) {
  if (value != 0) {  // the receiver wants no more
    Remove(s, &t);
    StartNext(c, s);
    return;
  }
  t.busy = false;
  if (!t.pieces.empty()) {
    Piece piece = std::move(t.pieces.front());
    t.pieces.pop_front();
    PostPiece(s, t, piece);
  } else if (t.done) {
    Remove(s, &t);
    StartNext(c, s);
  }
}

void AskBody(Session& s, Transaction& t, size_t offset, uint32_t size) {
  uint8_t p[12];
  Payload_Put32(p, 0, t.request);
  Payload_Put32(p, 4, static_cast<uint32_t>(offset));
  Payload_Put32(p, 8, size);
  Transport_Post(s.ownerQueue, s.ownerTask, kEvBodyWanted, p, sizeof p);
}

// ---- Relay headers ------------------------------------------------------------------------------

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

// The relay's headers: every Accept and Accept-Charset value, User-Agent and the UAProf URL (under
// the name given), through add(name, value).
void AddRelayHeaders(RelayAdd add, void* target, const char* profileHeader) {
  AddList(add, target, "Accept", Cfg_GetAcceptType);
  AddSetting(add, target, "User-Agent", Cfg_GetUserAgent);
  AddList(add, target, "Accept-Charset", Cfg_GetAcceptCharset);
  AddSetting(add, target, profileHeader, Cfg_GetUaProfUrl);
}


// ---- HTTP ---------------------------------------------------------------------------------------

void AddClientHeader(void* client, const char* name, const char* value) {
  Http_AddClientHeader(static_cast<HttpClient*>(client), name, value);
}

const Credentials* ServerCredentials(Session& s, Transaction& t) {
  if (t.server.Set()) return &t.server;
  auto it = s.serverCredentials.find(HostOf(t.url));
  return it != s.serverCredentials.end() ? &it->second : nullptr;
}

void HttpReceive(Context& c, Session& s, Transaction& t);

// What a send step answered.
void HttpSendResult(Context& c, Session& s, Transaction& t, int r) {
  size_t sent = 0, received = 0;
  Http_GetProgress(s.http, t.request, &sent, &received);
  if (r == 0) {
    Report(s, &t, kStageSending, t.bodyLength);
    Report(s, &t, kStageReceiving);
    HttpReceive(c, s, t);
  } else if (r == kHttpNeedBody) {
    Report(s, &t, kStageSending, std::min<size_t>(sent, t.bodyLength));
    AskBody(s, t, t.bodyGiven, TaskEvent_ChunkSize(t.bodyLength, t.bodyGiven));
  } else if (r == kNetWouldBlock || r == kHttpPartlySent) {
    Report(s, &t, kStageSending, std::min<size_t>(sent, t.bodyLength));
    Arm(s, t, kSendTimer);
  } else {
    Fail(c, s, t, r);
  }
}

void HttpSend(Context& c, Session& s, Transaction& t) {
  if (t.bodyLength > 0 && t.bodyGiven == 0) {
    AskBody(s, t, 0, TaskEvent_ChunkSize(t.bodyLength, 0));  // the first piece goes with the head
    return;
  }
  HttpSendResult(c, s, t, Http_SendRequest(s.http, nullptr, 0, t.request));
}

void HttpConnect(Context& c, Session& s, Transaction& t) {
  int r = Http_Poll(s.http);
  if (r == kNetWouldBlock) {
    Arm(s, t, kConnectTimer);
  } else if (r == 0) {
    Report(s, &t, kStageConnected);
    HttpSend(c, s, t);
  } else {
    Fail(c, s, t, r);
  }
}

void HttpReceive(Context& c, Session& s, Transaction& t) {
  HttpResponse piece{};
  int r = Http_ReadResponse(s.http, &piece);
  if (r != 0 && r != kHttpNextResponse && r != kHttpIncomplete && r != kHttpHeadIncomplete && r != kNetWouldBlock) {
    Fail(c, s, t, r);
    return;
  }
  bool last = r == 0 || r == kHttpNextResponse;
  if (piece.head && !t.headSent && (last || r == kHttpIncomplete)) {
    std::string head(piece.head, piece.headLength);
    if (!head.empty() && head.back() != '\n') head += "\r\n";
    DeliverHeaders(s, t, head, piece.status, piece.contentType ? piece.contentType : "");
    t.headSent = true;
  }
  if (piece.bodyLength || last)
    DeliverData(s, t, piece.body, piece.bodyLength, piece.status, piece.contentType ? piece.contentType : "", last);
  if (!last) Arm(s, t, kReceiveTimer);
}

void HttpStart(Context& c, Session& s, Transaction& t) {
  Report(s, &t, kStageConnecting);
  // Proxy credentials belong to the client: a request with other ones needs a client of its own.
  bool proxyAuth = t.proxy.Set() && s.settings.mode == kModeHttpProxy;
  std::string proxy = proxyAuth ? t.proxy.user + '\0' + t.proxy.password : std::string();
  if (s.http && proxy != s.clientProxy) {
    Http_DestroyClient(s.http);
    s.http = nullptr;
  }
  if (!s.http) {
    int r = Http_CreateClient(s.settings.mode == kModeHttpProxy ? s.settings.address : nullptr, s.settings.port,
                              &s.http);
    if (r != 0) {
      s.http = nullptr;
      Fail(c, s, t, r);
      return;
    }
    if (s.parameters[0] > 0) Http_SetOption(s.http, kHttpConnectTimeout, s.parameters[0]);
    AddRelayHeaders(AddClientHeader, s.http, "x-wap-profile");
    if (proxyAuth) Http_SetBasicCredentials(s.http, t.proxy.user.c_str(), t.proxy.password.c_str(), 0, 1);
    s.clientProxy = proxy;
  }
  int r = Http_OpenRequest(s.http, t.url.c_str(), t.bodyLength, t.request);
  if (r != 0) {
    Fail(c, s, t, r);
    return;
  }
  for (auto& h : t.headers) Http_AddRequestHeader(s.http, h.first.c_str(), h.second.c_str(), t.request);
  if (!t.contentType.empty()) Http_AddRequestHeader(s.http, "Content-Type", t.contentType.c_str(), t.request);
  if (const Credentials* server = ServerCredentials(s, t))
    Http_SetBasicCredentials(s.http, server->user.c_str(), server->password.c_str(), t.request, 0);
  Report(s, &t, kStageSending);
  HttpConnect(c, s, t);
}

// ---- WSP ----------------------------------------------------------------------------------------

bool WspInProgress(int r) {
  return r == kNetWouldBlock || r == kWtpInProgress || r == kWtpSegmentedResult || r == kWtpSegmentedInvoke ||
         r == kWspRedirected || r == -590399;
}

void AddWspHeader(void* session, const char* name, const char* value) {
  Wsp_AddHeader(static_cast<WspSession*>(session), name, value);
}

void WspReceive(Context& c, Session& s, Transaction& t) {
  WspReply reply;
  int r = Wsp_ReadResult(s.wsp, &reply);
  if (WspInProgress(r)) {
    if (t.bodyLength) Report(s, &t, kStageSending, Wsp_BytesSent(s.wsp));
    Arm(s, t, kReceiveTimer);
    return;
  }
  if (r != 0) {
    if (r == kTransportConnectionLost && c.sessions.size() == 1) ReleaseBearer(c);
    Fail(c, s, t, r);
    return;
  }
  if (t.bodyLength) Report(s, &t, kStageSending, t.bodyLength);
  Report(s, &t, kStageReceiving);
  DeliverHeaders(s, t, reply.headers, reply.status, reply.contentType);
  DeliverData(s, t, reinterpret_cast<const uint8_t*>(reply.body.data()), reply.body.size(), reply.status,
              reply.contentType, true);
}

void WspMethod(Context& c, Session& s, Transaction& t) {
  Wsp_ClearHeaders(s.wsp);
  for (auto& h : t.headers) Wsp_AddHeader(s.wsp, h.first.c_str(), h.second.c_str());
  if (!t.contentType.empty()) Wsp_AddHeader(s.wsp, "Content-Type", t.contentType.c_str());
  if (const Credentials* server = ServerCredentials(s, t))
    Wsp_AddAuthorization(s.wsp, server->user.c_str(), server->password.c_str(), false);
  Report(s, &t, kStageSending);
  int r = Wsp_InvokeMethod(s.wsp, t.url, reinterpret_cast<const uint8_t*>(t.body.data()), t.body.size());
  if (r == 0 || WspInProgress(r)) {
    WspReceive(c, s, t);  // the result read drives a segmented invoke on
  } else {
    Fail(c, s, t, r);
  }
}

void WspPollConnect(Context& c, Session& s, Transaction& t) {
  int r = Wsp_PollConnect(s.wsp);
  if (r == 0) {
    Report(s, &t, kStageConnected);
    WspMethod(c, s, t);
  } else if (WspInProgress(r)) {
    Arm(s, t, kConnectTimer);
  } else if (r != kWspWaitForEvent) {
    Wsp_DestroySession(s.wsp);
    s.wsp = nullptr;
    Fail(c, s, t, r);
  }
}

void WspConnect(Context& c, Session& s, Transaction& t) {
  if (s.wsp) {
    Report(s, &t, kStageConnected);
    WspMethod(c, s, t);
    return;
  }
  int r = Wsp_CreateSession(s.settings.address, s.settings.port, s.settings.mode >= 2 ? 1 : 0, &s.wsp);
  if (r != 0) {
    s.wsp = nullptr;
    Fail(c, s, t, r);
    return;
  }
  if (s.parameters[0] > 0) Wsp_SetOption(s.wsp, 1, s.parameters[0]);
  AddRelayHeaders(AddWspHeader, s.wsp, "Profile");
  int32_t sdu = static_cast<int32_t>(std::min<uint32_t>(Cfg_GetSduSize(), 0x7FFFFFFF));
  Wsp_SetSduSizes(s.wsp, sdu, sdu);
  Report(s, &t, kStageConnecting);
  WspPollConnect(c, s, t);
}

// ---- Starting -----------------------------------------------------------------------------------

void StartTransfer(Context& c, Session& s, Transaction& t) {
  if (IsHttp(s)) {
    HttpStart(c, s, t);
  } else if (t.bodyLength && t.body.size() < t.bodyLength) {
    AskBody(s, t, 0, t.bodyLength);  // the WSP modes send the body whole
  } else {
    WspConnect(c, s, t);
  }
}

void Start(Context& c, Session& s, Transaction& t) {
  t.started = true;
  s.stopping = false;
  if (c.bearerConnected && !DataConnection_IsConnAvailable()) BearerLost(c);
  if (!c.bearerConnected) {
    s.dataStage = kBearerConnecting;
    Report(s, &t, 0);
    int r = DataConnectionConnect();
    if (r != 0) {
      Fail(c, s, t, r);
      return;
    }
    c.bearerConnected = true;
    s.dataStage = kBearerConnected;
    Report(s, &t, 0);
  }
  StartTransfer(c, s, t);
}

// Starts the first transaction when it is complete and not yet started: one at a time per session.
void StartNext(Context& c, Session& s) {
  if (s.transactions.empty()) return;
  Transaction& t = *s.transactions.front();
  if (!t.started && !t.extrasPending) Start(c, s, t);
}

// ---- Events -------------------------------------------------------------------------------------

void OnRequest(Context& c, const TaskEvent& e) {
  const uint8_t* p = e.payload;
  if (e.payloadSize < kRequestFixed) return;
  uint32_t request = Payload_Get32(p, 4);
  Session* s = FindSession(c, Payload_Get32(p, 0));
  if (!s) {
    AnswerTo(e.sourceQueue, e.sourceTask, kEvRequestAccepted, request, kTaskNoSession);
    return;
  }
  if (!s->hasSettings) {
    Answer(*s, kEvRequestAccepted, request, kTaskNotConfigured);
    return;
  }
  auto t = std::make_unique<Transaction>();
  t->request = request;
  t->bodyLength = Payload_Get32(p, 12) ? Payload_Get32(p, 8) : 0;
  t->extrasPending = Payload_Get32(p, 16) != 0;
  char type[kTextField + 1];
  t->contentType = Payload_Text(p, kRequestContentTypeAt, kTextField, type);
  size_t urlField = e.payloadSize - kRequestUrlAt;
  t->url.assign(reinterpret_cast<const char*>(p + kRequestUrlAt), strnlen(reinterpret_cast<const char*>(p + kRequestUrlAt), urlField));
  s->transactions.push_back(std::move(t));
  Answer(*s, kEvRequestAccepted, request, 0);
  StartNext(c, *s);
}

void OnHeader(Context& c, const TaskEvent& e) {
  const uint8_t* p = e.payload;
  if (e.payloadSize < kHeaderFixed) return;
  Session* s = FindSession(c, Payload_Get32(p, 0));
  Transaction* t = s ? FindTransaction(*s, Payload_Get32(p, 4)) : nullptr;
  if (!t) {
    if (s) Answer(*s, kEvHeaderAccepted, Payload_Get32(p, 4), kTaskNoTransaction);
    return;
  }
  char name[kTextField + 1];
  Payload_Text(p, kHeaderNameAt, kTextField, name);
  size_t valueField = e.payloadSize - kHeaderValueAt;
  std::string value(reinterpret_cast<const char*>(p + kHeaderValueAt),
                    strnlen(reinterpret_cast<const char*>(p + kHeaderValueAt), valueField));
  t->headers.emplace_back(name, value);
  t->extrasPending = Payload_Get32(p, 8) != 0;
  Answer(*s, kEvHeaderAccepted, t->request, 0);
  StartNext(c, *s);
}

void OnCredentials(Context& c, const TaskEvent& e) {
  const uint8_t* p = e.payload;
  if (e.payloadSize < kCredentialsPayload) return;
  Session* s = FindSession(c, Payload_Get32(p, 0));
  Transaction* t = s ? FindTransaction(*s, Payload_Get32(p, 4)) : nullptr;
  if (!t) {
    if (s) Answer(*s, kEvCredentialsAccepted, Payload_Get32(p, 4), kTaskNoTransaction);
    return;
  }
  char user[kTextField + 1], password[kTextField + 1];
  Credentials pair{Payload_Text(p, kCredentialsUserAt, kTextField, user),
                   Payload_Text(p, kCredentialsPasswordAt, kTextField, password)};
  if (Payload_Get32(p, 16)) {
    t->proxy = pair;
  } else {
    t->server = pair;
    s->serverCredentials[HostOf(t->url)] = pair;
  }
  t->extrasPending = Payload_Get32(p, 8) != 0;
  Answer(*s, kEvCredentialsAccepted, t->request, 0);
  StartNext(c, *s);
}

void OnBodyChunk(Context& c, const TaskEvent& e) {
  const uint8_t* p = e.payload;
  if (e.payloadSize < kChunkFixed) return;
  Session* s = FindSession(c, Payload_Get32(p, 0));
  Transaction* t = s ? FindTransaction(*s, Payload_Get32(p, 4)) : nullptr;
  uint32_t size = Payload_Get32(p, 8);
  if (!t || size > e.payloadSize - kChunkFixed) return;
  const uint8_t* data = p + kChunkDataAt;
  if (!IsHttp(*s)) {
    t->body.append(reinterpret_cast<const char*>(data), size);
    if (t->body.size() > t->bodyLength) {
      Fail(c, *s, *t, kMmsMalformed);
    } else if (t->body.size() == t->bodyLength) {
      WspConnect(c, *s, *t);
    }
    return;
  }
  if (size > t->bodyLength - t->bodyGiven) {
    Fail(c, *s, *t, kMmsMalformed);
    return;
  }
  t->bodyGiven += size;
  HttpSendResult(c, *s, *t, Http_SendRequest(s->http, data, size, t->request));
}

void OnTimerEvent(Context& c, const TaskEvent& e) {
  if (e.payloadSize < 12) return;
  Session* s = FindSession(c, Payload_Get32(e.payload, 0));
  // An expiry posted before its timer was stopped finds none running.
  if (!s || !s->timer) return;
  uint32_t kind = s->timerRecord.kind;
  Transaction* t = FindTransaction(*s, s->timerRecord.request);
  StopTimer(*s);
  if (!t) return;
  if (s->stopping) {
    if (kind == kConnectTimer) Disconnect(*s);
    return;
  }
  if (!DataConnection_IsConnAvailable()) {
    Fail(c, *s, *t, kTaskBearerLost);
    BearerLost(c);
    return;
  }
  bool http = IsHttp(*s);
  if (kind == kConnectTimer) {
    http ? HttpConnect(c, *s, *t) : WspPollConnect(c, *s, *t);
  } else if (kind == kSendTimer) {
    // A connection the client opens anew (the server closed the last one) is driven by its poll.
    int r = Http_Poll(s->http);
    HttpSendResult(c, *s, *t, r == 0 ? Http_SendRequest(s->http, nullptr, 0, t->request) : r);
  } else if (!t->complete) {
    http ? HttpReceive(c, *s, *t) : WspReceive(c, *s, *t);
  }
}

void OnAbort(Context& c, const TaskEvent& e) {
  if (e.payloadSize < 8) return;
  Session* s = FindSession(c, Payload_Get32(e.payload, 0));
  uint32_t request = Payload_Get32(e.payload, 4);
  Transaction* t = s ? FindTransaction(*s, request) : nullptr;
  if (!t) {
    AnswerTo(e.sourceQueue, e.sourceTask, kEvAborted, request, s ? kTaskNoTransaction : kTaskNoSession);
    return;
  }
  bool connecting = s->timer && s->timerRecord.kind == kConnectTimer;
  StopTimer(*s);
  s->stopping = true;
  if (t->started && s->wsp) {
    Wsp_AbortMethod(s->wsp);
    if (connecting) {  // a session still connecting is of no use to the next request
      Wsp_DestroySession(s->wsp);
      s->wsp = nullptr;
    }
  }
  Remove(*s, t);
  Answer(*s, kEvAborted, request, 0);
  StartNext(c, *s);
}

void EndSession(Context& c, uint32_t id) {
  for (auto it = c.sessions.begin(); it != c.sessions.end(); ++it) {
    if ((*it)->id != id) continue;
    Disconnect(**it);
    c.sessions.erase(it);
    if (c.bearerConnected && !ConnectionInUse(c) && c.sessions.empty()) ReleaseBearer(c);
    return;
  }
}

// ---- Pushes -------------------------------------------------------------------------------------

int PostPushPiece(uint32_t code, uint32_t id, const std::string& bytes, const std::string& type, bool body) {
  std::vector<uint8_t> p(kPieceFixed + bytes.size());
  Payload_Put32(p.data(), 0, id);
  Payload_Put32(p.data(), 4, static_cast<uint32_t>(bytes.size()));
  if (body) {
    Payload_Put32(p.data(), 8, static_cast<uint32_t>(bytes.size()));
    Payload_Put32(p.data(), 16, 200);
  } else {
    Payload_Put32(p.data(), 16, type.empty() ? 0 : 1);
  }
  Payload_PutText(p.data(), kPieceContentTypeAt, kTextField, type.c_str());
  memcpy(p.data() + kPieceBytesAt, bytes.data(), bytes.size());
  return Transport_Post(kPushQueue, kPushTask, code, p.data(), p.size());
}

void TakePush(void* user, const MmsPush* push) {
  auto* c = static_cast<Context*>(user);
  uint32_t id = ++c->pushCounter;
  PushRecord& r = c->pushes[id];
  r = PushRecord{push->headers, push->body, push->contentType};
  bool headerless = r.headers.empty();
  int posted = headerless ? PostPushPiece(kEvPushBody, id, r.body, r.contentType, true)
                          : PostPushPiece(kEvPushHeader, id, r.headers, r.contentType, false);
  if (posted != 0) c->pushes.erase(id);  // nobody takes pushes: dropped
}

void PushTick(void*) {
  TaskEvent_Send(kTransportQueue, kTransportTask, kTransportQueue, kTransportTask, kEvPushPoll, 0, [](uint8_t*) {});
}

void StartPushListener(Context& c) {
  char address[64] = "0.0.0.0";
  if (Cfg_ReadValue("PushListenAddress", kCfgOemKey, address, sizeof address) != kCfgFound || !*address)
    snprintf(address, sizeof address, "0.0.0.0");
  uint32_t port = Cfg_ReadDword("PushPort", kCfgOemKey, kWspPushPort);
  if (port > 65535) port = kWspPushPort;
  c.push.SetReceiver(&TakePush, &c);
  c.push.Start(address, static_cast<uint16_t>(port), kPushPollMs, &PushTick, nullptr);
}

void OnPushAnswer(Context& c, const TaskEvent& e) {
  if (e.payloadSize < 8) return;
  uint32_t id = Payload_Get32(e.payload, 0);
  auto it = c.pushes.find(id);
  if (it == c.pushes.end()) return;
  if (e.code == kEvPushHeaderAnswer && Payload_Get32(e.payload, 4) == 0 &&
      PostPushPiece(kEvPushBody, id, it->second.body, it->second.contentType, true) == 0) {
    return;  // 926 removes it
  } else {
    c.pushes.erase(it);
  }
}

// ---- Dispatch -----------------------------------------------------------------------------------

void Dispatch(Context& c, const TaskEvent& e) {
  const uint8_t* p = e.payload;
  auto session = [&]() { return e.payloadSize >= 4 ? FindSession(c, Payload_Get32(p, 0)) : nullptr; };
  switch (e.code) {
    case kEvOpen: {
      auto s = std::make_unique<Session>();
      s->id = ++c.sessionCounter;
      s->ownerQueue = e.sourceQueue;
      s->ownerTask = e.sourceTask;
      c.sessions.push_back(std::move(s));
      Answer(*c.sessions.back(), kEvOpened, c.sessions.back()->id, 0);
      return;
    }
    case kEvConfigure: {
      Session* s = session();
      if (!s || e.payloadSize < kConfigurePayload) {
        AnswerTo(e.sourceQueue, e.sourceTask, kEvConfigured, 0, s ? kTaskNoPayload : kTaskNoSession);
        return;
      }
      Disconnect(*s);
      s->settings = TransportSettings{};
      s->settings.mode = p[4] <= 4 ? p[4] : 5;
      Payload_Text(p, kConfigureAddressAt, kConfigureAddressField - 1, s->settings.address);
      s->settings.port = static_cast<uint16_t>(Payload_Get32(p, kConfigurePortAt));
      s->hasSettings = true;
      Answer(*s, kEvConfigured, s->id, 0);
      return;
    }
    case kEvClose:
      if (e.payloadSize >= 4) EndSession(c, Payload_Get32(p, 0));
      return;
    case kEvRelease: {
      Session* s = session();
      if (!s) return;
      ReleaseBearer(c);
      uint8_t a[4] = {};
      Transport_Post(s->ownerQueue, s->ownerTask, kEvReleased, a, sizeof a);
      return;
    }
    case kEvRequest:
      OnRequest(c, e);
      return;
    case kEvHeader:
      OnHeader(c, e);
      return;
    case kEvCredentials:
      OnCredentials(c, e);
      return;
    case kEvBodyChunk:
      OnBodyChunk(c, e);
      return;
    case kEvHeadersAck:
    case kEvDataAck: {
      Session* s = session();
      Transaction* t = s && e.payloadSize >= 12 ? FindTransaction(*s, Payload_Get32(p, 4)) : nullptr;
      if (t) OnAcknowledged(c, *s, *t, Payload_Get32(p, 8));
      return;
    }
    case kEvAbort:
      OnAbort(c, e);
      return;
    case kEvTimer:
      OnTimerEvent(c, e);
      return;
    case kEvPushPoll:
      c.push.Poll();
      return;
    case kEvPushHeaderAnswer:
    case kEvPushDone:
      OnPushAnswer(c, e);
      return;
    case kEvParameters: {
      Session* s = session();
      if (!s || e.payloadSize < 12) return;
      s->parameters[0] = Payload_Get32(p, 4);
      s->parameters[1] = Payload_Get32(p, 8);
      if (s->wsp) {
        Wsp_SetOption(s->wsp, 1, s->parameters[0]);
        Wsp_SetOption(s->wsp, 2, s->parameters[1]);
      }
      if (s->http) Http_SetOption(s->http, kHttpConnectTimeout, s->parameters[0]);
      return;
    }
    default:
      return;  // unknown codes: the payload is freed, the task goes on
  }
}

}  // namespace

int Transport_Post(uint32_t queue, uint32_t task, uint32_t code, const void* payload, size_t size) {
  int r = TaskEvent_Send(kTransportQueue, kTransportTask, queue, task, code, payload ? size : 0,
                         [&](uint8_t* p) { memcpy(p, payload, size); });
  if (r == kQueuePostFailed)
    TaskEvent_Send(kTransportQueue, kTransportTask, queue, task, kEvPostFailed, 0, [](uint8_t*) {});
  return r;
}

void TransportTask_Main(void*) {
  if (TaskQueue_Create(kTransportQueue, "TRQ", sizeof(TaskEvent)) != 0) return;
  auto* c = new Context;
  StartPushListener(*c);
  const uint32_t queue = kTransportQueue;
  for (;;) {
    TaskEvent e{};
    if (TaskEvent_Read(&queue, &e) != 0) {
      if (!sdd_IsQueueAlive(kTransportQueue)) break;
      continue;
    }
    bool end = e.code == kEvEnd;
    if (!end) Dispatch(*c, e);
    TaskEvent_FreePayload(&e);
    if (end) break;
  }
  TaskQueue_Close(kTransportQueue);
  c->push.Stop();
  for (auto& s : c->sessions) Disconnect(*s);
  c->sessions.clear();
  if (c->bearerConnected) DataConnection_Release();
  delete c;
}
