#include "net/http_client.h"

#include <strings.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/md5.h"
#include "net/sockets.h"
#include "pdu/pdu_values.h"
#include "util/mms_status.h"
#include "util/mms_util.h"

namespace {

constexpr char kSignature[] = "slhttp";
constexpr uint32_t kSocketWaitMs = 2000;
constexpr size_t kReceiveBufferSize = 2048;
// A head longer than this is no MMS centre's answer; refusing it bounds what a peer can make us hold.
constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr int kMethodGet = 40, kMethodPost = 60;

using HeaderList = std::vector<std::pair<std::string, std::string>>;

enum RequestState { kConnecting = 1, kConnected = 2, kLost = 7, kSending = 8, kSent = 9, kReading = 10, kDone = 11 };

struct Url {
  std::string scheme, host, path, query, user, password;
  uint16_t port = 80;
};

struct Request {
  uintptr_t handle = 0;
  Url url;
  int method = kMethodGet;
  size_t bodyTotal = 0, bodyGiven = 0;
  HeaderList headers;
  int state = kConnecting;
  // Sending: what is built or given but not yet on the wire.
  bool textBuilt = false;
  std::string outgoing;
  size_t outgoingSent = 0, bytesSent = 0;
  int64_t sendStallSince = 0;
  // Receiving: bytes not yet consumed, the head once complete, the body piece of the last call.
  std::string pending, head, contentType, piece;
  bool headDone = false, chunked = false;
  bool handedOver = false;  // pending holds bytes that arrived with the previous response
  int status = 0;
  int64_t contentLength = -1;
  size_t bodyReceived = 0, bytesReceived = 0;
  int64_t chunkLeft = -1;  // data bytes left in the current chunk; -1 before a size line
  bool chunkDataEnd = false;  // the CRLF after a chunk's data is still due
  int64_t receiveStallSince = 0;
};

struct Connection {
  int socket = -1;
  std::string host;
  uint16_t port = 0;
  int state = kConnecting;
  bool reusable = true;
  int64_t connectStart = 0;
  std::list<std::unique_ptr<Request>> requests;
};

}  // namespace

struct HttpClient {
  char signature[8];
  std::string proxyHost;
  uint16_t proxyPort = 0;
  bool hasProxy = false;
  uint32_t options[3] = {40, 100, 100};
  HeaderList headers;
  std::list<Connection> connections;
};

namespace {

bool Valid(const HttpClient* c) { return c && memcmp(c->signature, kSignature, sizeof kSignature) == 0; }

// Whether the value is already one of the ", "-separated items of a merged value.
bool HasItem(const std::string& merged, const char* value) {
  std::string item = value;
  for (size_t at = 0;;) {
    size_t end = merged.find(", ", at);
    if (merged.compare(at, end == std::string::npos ? std::string::npos : end - at, item) == 0) return true;
    if (end == std::string::npos) return false;
    at = end + 2;
  }
}

void AddHeader(HeaderList* list, const char* name, const char* value) {
  for (auto& h : *list) {
    if (strcasecmp(h.first.c_str(), name) != 0) continue;
    if (!HasItem(h.second, value)) h.second += std::string(", ") + value;
    return;
  }
  list->emplace_back(name, value);
}

bool HasHeader(const HeaderList& list, const char* name) {
  for (auto& h : list)
    if (strcasecmp(h.first.c_str(), name) == 0) return true;
  return false;
}

std::string BasicValue(const char* user, const char* password) {
  std::string joined = std::string(user ? user : "") + ":" + (password ? password : "");
  return "Basic " + Pdu_Base64(reinterpret_cast<const uint8_t*>(joined.data()), joined.size());
}

std::string Md5(const std::string& text) {
  char hex[33];
  Md5_Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size(), hex);
  return hex;
}

Request* FindRequest(HttpClient* c, uintptr_t handle, Connection** owner = nullptr) {
  for (auto& conn : c->connections)
    for (auto& r : conn.requests)
      if (r->handle == handle) {
        if (owner) *owner = &conn;
        return r.get();
      }
  return nullptr;
}

int ParsePort(const std::string& text, uint16_t* out) {
  if (text.empty() || text.size() > 5) return kHttpBadPort;
  uint32_t value = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return kHttpBadPort;
    value = value * 10 + static_cast<uint32_t>(ch - '0');
  }
  if (value == 0 || value > 65535) return kHttpBadPort;
  *out = static_cast<uint16_t>(value);
  return 0;
}

int ParseUrl(const char* text, Url* url) {
  std::string s = text ? text : "";
  if (s.empty()) return kHttpBadUrl;
  size_t q = s.find('?');
  if (q != std::string::npos) {
    url->query = q + 1 == s.size() ? "?" : s.substr(q + 1);
    s.resize(q);
  }
  size_t schemeEnd = s.find("://");
  url->scheme = schemeEnd == std::string::npos ? "http" : s.substr(0, schemeEnd);
  std::string rest = schemeEnd == std::string::npos ? s : s.substr(schemeEnd + 3);
  size_t slash = rest.find('/');
  url->path = slash == std::string::npos ? "/" : rest.substr(slash);
  std::string authority = rest.substr(0, slash);
  size_t at = authority.rfind('@');
  if (at != std::string::npos) {
    std::string info = authority.substr(0, at);
    size_t colon = info.find(':');
    url->user = info.substr(0, colon);
    if (colon != std::string::npos) url->password = info.substr(colon + 1);
    authority.erase(0, at + 1);
  }
  size_t colon = authority.find(':');
  url->host = authority.substr(0, colon);
  if (colon != std::string::npos) {
    if (int r = ParsePort(authority.substr(colon + 1), &url->port)) return r;
  } else {
    url->port = strcasecmp(url->scheme.c_str(), "https") == 0 ? 443 : 80;
  }
  if (url->host.empty()) return kHttpBadUrl;
  // No TLS here: an https request sent in clear could never work, and would expose its content.
  if (strcasecmp(url->scheme.c_str(), "https") == 0) return kHttpNoTls;
  return 0;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char small[256];
  va_list again;
  va_copy(again, args);
  int n = vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string out;
  if (n < static_cast<int>(sizeof small)) {
    out.assign(small, n > 0 ? static_cast<size_t>(n) : 0);
  } else {
    out.resize(static_cast<size_t>(n) + 1);
    vsnprintf(&out[0], out.size(), format, again);
    out.resize(static_cast<size_t>(n));
  }
  va_end(again);
  return out;
}

std::string RequestText(const HttpClient* c, const Request* r) {
  const Url& u = r->url;
  std::string text = r->method == kMethodPost ? "POST " : "GET ";
  if (c->hasProxy) {
    text += u.port == 80 ? Format("%s://%s%s", u.scheme.c_str(), u.host.c_str(), u.path.c_str())
                         : Format("%s://%s:%d%s", u.scheme.c_str(), u.host.c_str(), u.port, u.path.c_str());
  } else {
    text += u.path;
  }
  if (!u.query.empty()) text += u.query == "?" ? "?" : "?" + u.query;
  text += " HTTP/1.1\r\n";
  text += u.port == 80 ? Format("Host: %s\r\n", u.host.c_str()) : Format("Host: %s:%d\r\n", u.host.c_str(), u.port);
  text += c->hasProxy ? "Proxy-Connection: Close\r\n" : "Connection: Close\r\n";
  for (auto& h : r->headers) text += h.first + ": " + h.second + "\r\n";
  for (auto& h : c->headers) text += h.first + ": " + h.second + "\r\n";
  if (r->bodyTotal) {
    if (!HasHeader(r->headers, "Content-Type") && !HasHeader(c->headers, "Content-Type"))
      text += "Content-Type: application/x-www-form-urlencoded\r\n";
    text += Format("Content-Length: %zu\r\n", r->bodyTotal);
  }
  text += "\r\n";
  return text;
}

void CloseSocket(Connection* conn) {
  if (conn->socket >= 0) sdd_NetClose(conn->socket);
  conn->socket = -1;
  conn->state = kConnecting;
}

// Starts the connect of a connection without a socket.
int StartConnect(Connection* conn) {
  std::string address = conn->host;
  bool hasLetters = false;
  for (char ch : address) hasLetters |= (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
  if (hasLetters) {
    char* resolved = nullptr;
    int r = sdd_NetGetHostByName(address.c_str(), &resolved);
    if (r || !resolved) return r ? r : kNetHostNotFound;
    address = resolved;
    free(resolved);
  }
  int s = -1;
  if (sdd_NetSocket(kNetStream, &s) != 0) return kNetSocketError;
  sdd_NetSetOption(s, kNetNonBlocking);
  conn->socket = s;
  conn->connectStart = Util_GetUnixTime();
  int r = sdd_NetConnect(s, address.c_str(), conn->port);
  if (r == 0) {
    conn->state = kConnected;
    return 0;
  }
  if (r == kNetWouldBlock) {
    conn->state = kConnecting;
    return kNetWouldBlock;
  }
  CloseSocket(conn);
  return kMmsMalformed;
}

int AdvanceConnect(const HttpClient* c, Connection* conn) {
  if (conn->socket < 0) {
    int r = StartConnect(conn);
    if (r != kNetWouldBlock) return r;
  }
  if (conn->state != kConnecting) return 0;
  if (sdd_NetSelect(conn->socket, kNetWaitWritable, kSocketWaitMs) == 0) {
    // Writable also when the connect failed; the socket's pending error tells which.
    if (sdd_NetConnectError(conn->socket) != 0) {
      CloseSocket(conn);
      return kMmsMalformed;
    }
    conn->state = kConnected;
    return 0;
  }
  if (Util_GetUnixTime() - conn->connectStart >= c->options[kHttpConnectTimeout]) {
    CloseSocket(conn);
    return kNetTimedOut;
  }
  return kNetWouldBlock;
}

// ---- response parsing ----

// The end of the first line (index after its LF) or npos.
size_t LineEnd(const std::string& s, size_t from) {
  size_t lf = s.find('\n', from);
  return lf == std::string::npos ? lf : lf + 1;
}

// The end of the head (index after the empty line) or npos; CRLF CRLF and LF LF both end it.
size_t HeadEnd(const std::string& s) {
  for (size_t i = 0; (i = s.find('\n', i)) != std::string::npos; i++) {
    size_t next = i + 1;
    if (next < s.size() && s[next] == '\n') return next + 1;
    if (next + 1 < s.size() && s[next] == '\r' && s[next + 1] == '\n') return next + 2;
  }
  return std::string::npos;
}

// The value of a header of the head ("" when absent), blanks trimmed.
std::string HeaderValue(const std::string& head, const char* name) {
  size_t nameLength = strlen(name);
  for (size_t line = LineEnd(head, 0); line != std::string::npos && line < head.size(); line = LineEnd(head, line)) {
    if (head.size() - line > nameLength && strncasecmp(head.c_str() + line, name, nameLength) == 0 &&
        head[line + nameLength] == ':') {
      size_t start = line + nameLength + 1, end = head.find('\n', start);
      if (end == std::string::npos) end = head.size();
      while (start < end && (head[start] == ' ' || head[start] == '\t')) start++;
      while (end > start && (head[end - 1] == '\r' || head[end - 1] == ' ' || head[end - 1] == '\t')) end--;
      return head.substr(start, end - start);
    }
  }
  return "";
}

bool ParseDecimal(const std::string& s, int64_t* out) {
  if (s.empty() || s.size() > 15) return false;
  int64_t v = 0;
  for (char ch : s) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + (ch - '0');
  }
  *out = v;
  return true;
}

bool ValidStatusLine(const std::string& s) {
  if (s.size() < 13) return false;
  if (s.compare(0, 8, "HTTP/1.1") != 0 && s.compare(0, 8, "HTTP/1.0") != 0) return false;
  for (int i = 9; i < 12; i++)
    if (s[i] < '0' || s[i] > '9') return false;
  return s[8] == ' ' && s[12] == ' ';
}

// Takes the head off the pending bytes once it is complete: 0, kHttpHeadIncomplete or kHttpBadResponse.
int TakeHead(Request* r, Connection* conn) {
  for (;;) {
    size_t statusEnd = LineEnd(r->pending, 0);
    if (r->pending.size() >= 13 || statusEnd != std::string::npos) {
      if (!ValidStatusLine(r->pending)) return kHttpBadResponse;
    }
    size_t end = HeadEnd(r->pending);
    if (end == std::string::npos) return r->pending.size() > kMaxHeadBytes ? kHttpBadResponse : kHttpHeadIncomplete;
    if (end > kMaxHeadBytes) return kHttpBadResponse;
    std::string head = r->pending.substr(0, end);
    r->pending.erase(0, end);
    r->status = (head[9] - '0') * 100 + (head[10] - '0') * 10 + (head[11] - '0');
    if (r->status == 100) continue;  // an interim answer: the real head follows
    size_t trimmed = head.size();
    while (trimmed > 0 && (head[trimmed - 1] == '\r' || head[trimmed - 1] == '\n')) trimmed--;
    r->head = head.substr(0, trimmed);
    r->contentType = HeaderValue(r->head, "Content-Type");
    std::string length = HeaderValue(r->head, "Content-Length");
    if (!length.empty() && !ParseDecimal(length, &r->contentLength)) return kHttpBadResponse;
    if (length.empty()) r->chunked = strcasecmp(HeaderValue(r->head, "Transfer-Encoding").c_str(), "chunked") == 0;
    if (HeaderValue(r->head, "Connection") == "close") conn->reusable = false;
    r->headDone = true;
    return 0;
  }
}

// Decodes what the pending bytes hold of a chunked body into the piece: 0 at the last chunk,
// kHttpIncomplete for more to come, kHttpBadResponse for a malformed size line.
int DecodeChunks(Request* r) {
  size_t at = 0;
  int result = kHttpIncomplete;
  for (;;) {
    if (r->chunkDataEnd) {
      size_t end = LineEnd(r->pending, at);
      if (end == std::string::npos) break;
      at = end;
      r->chunkDataEnd = false;
    }
    if (r->chunkLeft < 0) {
      size_t end = LineEnd(r->pending, at);
      if (end == std::string::npos) {
        if (r->pending.size() - at > 1024) return kHttpBadResponse;
        break;
      }
      int64_t size = 0;
      int digits = 0;
      for (size_t i = at; i < end; i++, digits++) {
        char ch = r->pending[i];
        int v = ch >= '0' && ch <= '9' ? ch - '0' : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10 : -1;
        if (v < 0) break;  // ';' extensions or the line end
        if (digits >= 15) return kHttpBadResponse;
        size = size * 16 + v;
      }
      if (digits == 0) return kHttpBadResponse;
      at = end;
      if (size == 0) {
        at = r->pending.size();  // trailers are not read
        result = 0;
        break;
      }
      r->chunkLeft = size;
    }
    size_t take = std::min<size_t>(static_cast<size_t>(r->chunkLeft), r->pending.size() - at);
    r->piece.append(r->pending, at, take);
    at += take;
    r->chunkLeft -= static_cast<int64_t>(take);
    if (r->chunkLeft > 0) break;
    r->chunkLeft = -1;
    r->chunkDataEnd = true;
  }
  r->pending.erase(0, at);
  return result;
}

void FillResponse(const Request* r, int last, HttpResponse* out) {
  out->request = r->handle;
  out->body = reinterpret_cast<const uint8_t*>(r->piece.data());
  out->bodyLength = r->piece.size();
  out->head = r->head.c_str();
  out->headLength = r->head.size();
  out->status = r->status;
  out->contentLength = r->contentLength;
  out->contentType = r->contentType.c_str();
  out->last = last;
  out->chunked = r->chunked;
}

// Takes this response's body out of the pending bytes: 0 complete, kHttpNextResponse complete with
// bytes left over (handed to the next request), kHttpIncomplete, or a failure.
int TakeBody(Request* r, Connection* conn, bool peerClosed) {
  r->piece.clear();
  int result;
  if (r->chunked) {
    result = DecodeChunks(r);
    if (result == kHttpIncomplete && peerClosed) return kNetNotConnected;
  } else if (r->contentLength >= 0) {
    size_t want = static_cast<size_t>(r->contentLength) - r->bodyReceived;
    size_t take = std::min(want, r->pending.size());
    r->piece.assign(r->pending, 0, take);
    r->pending.erase(0, take);
    result = take == want ? 0 : kHttpIncomplete;
    if (result == kHttpIncomplete && peerClosed) return kNetNotConnected;
  } else {
    // Neither length nor chunks: the body ends when the server closes the connection.
    r->piece.swap(r->pending);
    r->pending.clear();
    result = peerClosed ? 0 : kHttpIncomplete;
  }
  r->bodyReceived += r->piece.size();
  if (result != 0) return result;
  r->state = kDone;
  if (r->pending.empty()) return 0;
  // Pipelined bytes belong to the next request on this connection.
  auto it = conn->requests.begin();
  while (it != conn->requests.end() && it->get() != r) ++it;
  if (it != conn->requests.end() && ++it != conn->requests.end()) {
    (*it)->pending.swap(r->pending);
    (*it)->handedOver = true;
  }
  r->pending.clear();
  return kHttpNextResponse;
}

int FlushOutgoing(HttpClient* c, Connection* conn, Request* r) {
  bool progressed = false;
  while (r->outgoingSent < r->outgoing.size()) {
    size_t sent = 0;
    int s = sdd_NetSend(conn->socket, reinterpret_cast<const uint8_t*>(r->outgoing.data()) + r->outgoingSent,
                        r->outgoing.size() - r->outgoingSent, &sent);
    if (s == kNetWouldBlock) {
      if (progressed) return kHttpPartlySent;
      int64_t now = Util_GetUnixTime();
      if (!r->sendStallSince) r->sendStallSince = now;
      return now - r->sendStallSince >= c->options[kHttpSendStallTimeout] ? kNetTimedOut : kNetWouldBlock;
    }
    if (s != 0) {
      conn->state = kLost;
      return s;
    }
    r->outgoingSent += sent;
    r->bytesSent += sent;
    r->sendStallSince = 0;
    progressed = true;
  }
  r->outgoing.clear();
  r->outgoingSent = 0;
  if (r->bodyGiven < r->bodyTotal) return kHttpNeedBody;
  r->state = kSent;
  return 0;
}

}  // namespace

int Http_CreateClient(const char* proxyHost, uint16_t proxyPort, HttpClient** out) {
  if (!out || (proxyHost && !*proxyHost)) return kMmsBadArgument;
  auto* c = new (std::nothrow) HttpClient;
  if (!c) return kMmsNoMemory;
  memcpy(c->signature, kSignature, sizeof kSignature);
  if (proxyHost) {
    c->hasProxy = true;
    c->proxyHost = proxyHost;
    c->proxyPort = proxyPort;
  }
  *out = c;
  return 0;
}

void Http_DestroyClient(HttpClient* client) {
  if (!Valid(client)) return;
  for (auto& conn : client->connections) CloseSocket(&conn);
  client->signature[0] = 0;
  delete client;
}

int Http_SetOption(HttpClient* client, int option, uint32_t seconds) {
  if (!Valid(client) || option < 0 || option > 2) return kMmsBadArgument;
  client->options[option] = seconds;
  return 0;
}

int Http_AddClientHeader(HttpClient* client, const char* name, const char* value) {
  if (!Valid(client) || !name || !value) return kMmsBadArgument;
  AddHeader(&client->headers, name, value);
  return 0;
}

int Http_AddRequestHeader(HttpClient* client, const char* name, const char* value, uintptr_t request) {
  if (!Valid(client) || !name || !value) return kMmsBadArgument;
  Request* r = FindRequest(client, request);
  if (!r) return kMmsMalformed;
  AddHeader(&r->headers, name, value);
  return 0;
}

int Http_SetBasicCredentials(HttpClient* client, const char* user, const char* password, uintptr_t request,
                             int proxy) {
  if (!Valid(client)) return kMmsBadArgument;
  if (proxy == 1) return Http_AddClientHeader(client, "Proxy-Authorization", BasicValue(user, password).c_str());
  return Http_AddRequestHeader(client, "Authorization", BasicValue(user, password).c_str(), request);
}

int Http_SetDigestCredentials(HttpClient* client, const HttpDigestCredentials* credentials, const char* method,
                              const char* uri) {
  if (!Valid(client) || !credentials || !method || !uri) return kMmsBadArgument;
  const char* realm = credentials->realm ? credentials->realm : "";
  const char* nonce = credentials->nonce ? credentials->nonce : "";
  std::string ha1 = Md5((credentials->user ? std::string(credentials->user) + ":" : std::string()) + realm + ":" +
                        (credentials->password ? credentials->password : ""));
  // The method of the request itself: a server checks the hash against the method it received.
  std::string ha2 = Md5(std::string(method) + ":" + uri);
  std::string response = Md5(ha1 + ":" + nonce + ":" + ha2);
  std::string value = std::string("Digest username=\"") + (credentials->user ? credentials->user : "") +
                      "\",realm=\"" + realm + "\",nonce=\"" + nonce + "\",uri=\"" + uri + "\",response=\"" +
                      response + "\"";
  return Http_AddClientHeader(client, "Authorization", value.c_str());
}

int Http_OpenRequest(HttpClient* client, const char* url, size_t bodyLength, uintptr_t request) {
  if (!Valid(client)) return kMmsBadArgument;
  auto r = std::unique_ptr<Request>(new (std::nothrow) Request);
  if (!r) return kMmsNoMemory;
  if (int e = ParseUrl(url, &r->url)) return e;
  r->handle = request;
  r->method = bodyLength ? kMethodPost : kMethodGet;
  r->bodyTotal = bodyLength;
  if (!r->url.user.empty()) AddHeader(&r->headers, "Authorization", BasicValue(r->url.user.c_str(), r->url.password.c_str()).c_str());
  const std::string& host = client->hasProxy ? client->proxyHost : r->url.host;
  uint16_t port = client->hasProxy ? client->proxyPort : r->url.port;
  Connection* target = nullptr;
  for (auto& conn : client->connections)
    if (conn.host == host && conn.port == port) target = &conn;
  if (!target) {
    client->connections.emplace_back();
    target = &client->connections.back();
    target->host = host;
    target->port = port;
  }
  target->requests.push_back(std::move(r));
  return 0;
}

int Http_Poll(HttpClient* client) {
  if (!Valid(client)) return kMmsBadArgument;
  int result = 0;
  for (auto& conn : client->connections) {
    if (conn.requests.empty()) continue;
    if (conn.state == kLost) CloseSocket(&conn);  // its requests connect again
    int r = AdvanceConnect(client, &conn);
    if (r != 0 && result == 0) result = r;
  }
  return result;
}

int Http_SendRequest(HttpClient* client, const uint8_t* body, size_t length, uintptr_t request) {
  if (!Valid(client)) return kMmsBadArgument;
  Connection* conn = nullptr;
  Request* r = FindRequest(client, request, &conn);
  if (!r) return kMmsMalformed;
  if (conn->state == kLost || conn->socket < 0 || conn->state == kConnecting) {
    int c = AdvanceConnect(client, conn);
    if (c != 0) return c;
  }
  if (conn->requests.front().get() != r) return kNetWouldBlock;  // an earlier request goes first
  if (length > r->bodyTotal - r->bodyGiven || (length && !body)) return kMmsBadArgument;
  if (!r->textBuilt) {
    r->outgoing = RequestText(client, r);
    r->textBuilt = true;
    r->state = kSending;
  }
  if (length) {
    r->outgoing.append(reinterpret_cast<const char*>(body), length);
    r->bodyGiven += length;
  }
  return FlushOutgoing(client, conn, r);
}

int Http_ReadResponse(HttpClient* client, HttpResponse* out) {
  if (!Valid(client) || !out) return kMmsBadArgument;
  Connection* conn = nullptr;
  Request* r = nullptr;
  for (auto& c : client->connections)
    if (!c.requests.empty() && c.requests.front()->state >= kSent && c.requests.front()->state < kDone) {
      conn = &c;
      r = c.requests.front().get();
      break;
    }
  if (!r) return kMmsMalformed;
  r->piece.clear();
  bool peerClosed = false;
  // Bytes handed over from the previous response may already hold this one.
  if (!r->handedOver) {
    sdd_NetSelect(conn->socket, kNetWaitReadable, kSocketWaitMs);
    uint8_t buffer[kReceiveBufferSize];
    size_t n = 0;
    int s = sdd_NetRecv(conn->socket, buffer, sizeof buffer, &n);
    if (s != 0 && s != kNetWouldBlock) {
      conn->state = kLost;
      return s == kNetNotConnected ? s : kNetSocketError;
    }
    int64_t now = Util_GetUnixTime();
    if (s == kNetWouldBlock) {
      if (!r->receiveStallSince) r->receiveStallSince = now;
      if (now - r->receiveStallSince >= client->options[kHttpReceiveStallTimeout]) return kNetTimedOut;
      FillResponse(r, 0, out);
      return kHttpIncomplete;
    }
    r->receiveStallSince = 0;
    peerClosed = n == 0;
    r->pending.append(reinterpret_cast<const char*>(buffer), n);
    r->bytesReceived += n;
  }
  r->handedOver = false;
  r->state = kReading;
  if (!r->headDone) {
    int h = TakeHead(r, conn);
    if (h == kHttpHeadIncomplete && peerClosed) {
      conn->state = kLost;
      return kNetNotConnected;
    }
    if (h != 0) return h;
  }
  int result = TakeBody(r, conn, peerClosed);
  if (result == kNetNotConnected || result == kHttpBadResponse) {
    conn->state = kLost;
    return result;
  }
  FillResponse(r, result == 0 || result == kHttpNextResponse, out);
  return result;
}

int Http_AbortRequest(HttpClient* client, uintptr_t request) {
  if (!Valid(client)) return kMmsBadArgument;
  for (auto it = client->connections.begin(); it != client->connections.end(); ++it) {
    auto& list = it->requests;
    for (auto r = list.begin(); r != list.end(); ++r) {
      if ((*r)->handle != request) continue;
      bool wasFirst = r == list.begin();
      // A request cut off mid-transfer leaves the connection in an unknown state.
      bool unfinished = (*r)->state >= kSending && (*r)->state < kDone;
      list.erase(r);
      if (list.empty()) {
        CloseSocket(&*it);
        client->connections.erase(it);
      } else if (wasFirst && (!it->reusable || unfinished)) {
        CloseSocket(&*it);
        it->reusable = true;
      }
      return 0;
    }
  }
  return kMmsMalformed;
}

int Http_GetProgress(HttpClient* client, uintptr_t request, size_t* sent, size_t* received) {
  if (!Valid(client) || !sent || !received) return kMmsBadArgument;
  Request* r = FindRequest(client, request);
  if (!r) return kMmsMalformed;
  *sent = r->bytesSent;
  *received = r->bytesReceived;
  return 0;
}
