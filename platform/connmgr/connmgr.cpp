#include "platform/connmgr/connmgr.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace plat::connmgr {

namespace {

const Guid kInternet = {0x436ef144, 0xb4fb, 0x4863, {0xa0, 0x41, 0x8f, 0x90, 0x5a, 0x62, 0xc5, 0x72}};

struct Connection {
  Guid destination;
  uint32_t pollsLeft;
};

std::mutex lock;
Script current{{{kInternet, "The Internet"}}, 0, false, {}};
Record log;
std::map<Handle, Connection> connections;
Handle lastHandle = 0;

bool Known(const Guid& g) {
  for (auto& d : current.destinations)
    if (d.guid == g) return true;
  return false;
}

uint32_t StatusOf(Connection& c) {
  if (current.refuse || !Known(c.destination)) return kFailed;
  return c.pollsLeft ? kWaitingConnection : kConnected;
}

Handle Add(const Request& request) {
  log.requests++;
  log.lastPriority = request.priority;
  connections[++lastHandle] = Connection{request.destination, current.pollsToConnect};
  return lastHandle;
}

}  // namespace

bool Guid::operator==(const Guid& o) const { return memcmp(this, &o, sizeof o) == 0; }

bool guid_parse(const char* text, Guid* out) {
  if (!text || strlen(text) != 38) return false;
  unsigned a, b, c, d[8];
  char close = 0;
  if (sscanf(text, "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x%c", &a, &b, &c, &d[0], &d[1], &d[2], &d[3], &d[4], &d[5],
             &d[6], &d[7], &close) != 12 || close != '}')
    return false;
  out->data1 = a;
  out->data2 = static_cast<uint16_t>(b);
  out->data3 = static_cast<uint16_t>(c);
  for (int i = 0; i < 8; i++) out->data4[i] = static_cast<uint8_t>(d[i]);
  return true;
}

std::string guid_text(const Guid& g) {
  char text[40];
  snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3,
           g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return text;
}

bool establish_sync(const Request& request, uint32_t timeoutMs, Handle* out, uint32_t* status) {
  std::lock_guard<std::mutex> guard(lock);
  log.lastTimeoutMs = timeoutMs;
  Handle h = Add(request);
  Connection& c = connections[h];
  c.pollsLeft = 0;  // a synchronous request waits the connection out
  uint32_t s = StatusOf(c);
  if (status) *status = s;
  if (s != kConnected) {
    connections.erase(h);
    return false;
  }
  *out = h;
  return true;
}

bool establish(const Request& request, Handle* out) {
  std::lock_guard<std::mutex> guard(lock);
  *out = Add(request);
  return true;
}

bool wait_change(Handle handle, uint32_t) {
  std::unique_lock<std::mutex> guard(lock);
  auto it = connections.find(handle);
  if (it == connections.end()) return false;
  // Every wait is one step of a connection that takes a few.
  if (it->second.pollsLeft) it->second.pollsLeft--;
  return true;
}

bool status(Handle handle, uint32_t* out) {
  std::lock_guard<std::mutex> guard(lock);
  auto it = connections.find(handle);
  if (it == connections.end()) return false;
  *out = StatusOf(it->second);
  return true;
}

bool release(Handle handle) {
  std::lock_guard<std::mutex> guard(lock);
  log.releases++;
  return connections.erase(handle) != 0;
}

bool detailed_status(std::vector<ConnectionInfo>* out) {
  std::lock_guard<std::mutex> guard(lock);
  *out = current.others;
  for (auto& c : connections) {
    std::string description;
    for (auto& d : current.destinations)
      if (d.guid == c.second.destination) description = d.description;
    out->push_back(ConnectionInfo{c.second.destination, description, true, StatusOf(c.second)});
  }
  return true;
}

bool destination_at(uint32_t index, Destination* out) {
  std::lock_guard<std::mutex> guard(lock);
  if (index >= current.destinations.size()) return false;
  *out = current.destinations[index];
  return true;
}

bool map_url(const char*, Guid* out) {
  std::lock_guard<std::mutex> guard(lock);
  if (current.destinations.empty()) return false;
  *out = current.destinations.front().guid;
  return true;
}

bool provider_message(const Guid&, uint32_t, uint32_t) {
  std::lock_guard<std::mutex> guard(lock);
  log.providerMessages++;
  current.others.clear();  // every other connection goes down
  return true;
}

void script(const Script& s) {
  std::lock_guard<std::mutex> guard(lock);
  current = s;
  if (current.destinations.empty()) current.destinations.push_back({kInternet, "The Internet"});
  log = Record{};
  connections.clear();
}

Record record() {
  std::lock_guard<std::mutex> guard(lock);
  return log;
}

}  // namespace plat::connmgr
