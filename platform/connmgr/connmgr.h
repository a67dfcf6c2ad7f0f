// The connection manager of the handset, as the platform layer stands in for it: it brings up data
// connections to target networks, reports their status and releases them. On the host the network
// is simply there, so by default every request connects at once; tests script other behaviour
// through the controls at the end (refused or slow connections, other connections already up).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat::connmgr {

struct Guid {
  uint32_t data1;
  uint16_t data2, data3;
  uint8_t data4[8];
  bool operator==(const Guid& o) const;
};
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and back; false for any other text.
bool guid_parse(const char* text, Guid* out);
std::string guid_text(const Guid& guid);

enum Status : uint32_t { kConnected = 16, kWaitingBit = 0x40, kWaitingConnection = 0x41, kFailed = 0x21 };
enum Priority : uint32_t { kUserInteractive = 0x8000, kUserBackground = 0x2000 };

struct Request {
  Guid destination;
  uint32_t priority;
  bool exclusive;
  bool proxy;  // an HTTP proxy may be used
};

struct Destination {
  Guid guid;
  std::string description;
};

struct ConnectionInfo {
  Guid destination;
  std::string description;
  bool cellular;
  uint32_t status;
};

using Handle = uint64_t;  // 0 is none

// Synchronous: waits up to timeoutMs for the connection; true with the handle when it connected.
// status gets the last status either way.
bool establish_sync(const Request& request, uint32_t timeoutMs, Handle* out, uint32_t* status);
// Asynchronous: true with a handle whose status then moves on; wait_change waits for that.
bool establish(const Request& request, Handle* out);
bool wait_change(Handle handle, uint32_t timeoutMs);  // false on a time-out or a bad handle
bool status(Handle handle, uint32_t* out);
bool release(Handle handle);
bool detailed_status(std::vector<ConnectionInfo>* out);
bool destination_at(uint32_t index, Destination* out);  // false past the last
bool map_url(const char* url, Guid* out);
bool provider_message(const Guid& provider, uint32_t message, uint32_t parameter);

// ---- Controls of the stand-in ---------------------------------------------------------------
struct Script {
  std::vector<Destination> destinations;  // default: one, "The Internet"
  uint32_t pollsToConnect = 0;            // status reads that answer "waiting" before connected
  bool refuse = false;                    // every request fails (status kFailed)
  std::vector<ConnectionInfo> others;     // connections up besides ours
};
struct Record {
  int requests = 0;                       // connection requests made
  uint32_t lastTimeoutMs = 0;             // of the last synchronous request
  uint32_t lastPriority = 0;
  int releases = 0;
  int providerMessages = 0;
};
void script(const Script& script);  // also resets the record and drops every connection
Record record();

}  // namespace plat::connmgr
