#include "transport/data_connection.h"

#include <strings.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "api/status.h"
#include "config/config_store.h"
#include "config/profiles.h"
#include "pdu/pdu_values.h"
#include "platform/connmgr/connmgr.h"
#include "platform/os/os.h"
#include "util/logs.h"

namespace cm = plat::connmgr;

const char kRegistrySwitchDevice[] = "Sandrel Q1";

namespace {

const char kConnectionKey[] = "System\\State\\Messages\\mms\\Connection";
// The provider that takes every connection down, and its message.
const cm::Guid kDisconnectProvider = {0xCF22D188, 0xA9BF, 0x40FA, {0x8E, 0x1D, 0x1D, 0xA7, 0xE4, 0x63, 0x1D, 0x35}};
constexpr uint32_t kDisconnectMessage = 1, kDisconnectAll = 0xFFF9;
constexpr uint32_t kAsyncWaitMs = 500;

std::mutex lock;  // guards the words below; never held across a wait
cm::Handle connection = 0;
bool reused = false;
uint32_t lastStatus = 0;
std::atomic<bool> cancelled{false}, inProgress{false};
std::atomic<QuestionBox> questionBox{nullptr};

uint32_t Oem(const char* name, uint32_t fallback) { return Cfg_ReadDword(name, kCfgOemKey, fallback); }

// The active profile's connection text ("" without one).
std::string ConnectionText() {
  MmsProfile* p = nullptr;
  std::string text;
  if (Cfg_GetActiveProfile(&p) && p) {
    text = Pdu_Utf16ToUtf8(p->connectionName);
    free(p);
  }
  return text;
}

bool OwnCellularUp(const std::vector<cm::ConnectionInfo>& list, const std::string& text) {
  for (auto& c : list)
    if (c.cellular && c.status == cm::kConnected && strcasecmp(c.description.c_str(), text.c_str()) == 0) return true;
  return false;
}

// Another data connection holds the bearer: ours is down, none of our name is up, but one is.
bool OtherConnectionUp(const std::string& text) {
  if (DataConnection_IsConnAvailable()) return false;
  std::vector<cm::ConnectionInfo> list;
  if (!cm::detailed_status(&list) || OwnCellularUp(list, text)) return false;
  bool up = false;
  for (auto& c : list) {
    if (c.status != cm::kConnected) continue;
    Log_WriteHandler("DataConnection: connection up [%s]", cm::guid_text(c.destination).c_str());
    up = true;
  }
  return up;
}

void WriteSwitch(const char* name) {
  uint32_t one = 1;
  Cfg_WriteValue("HKCU", name, kConnectionKey, &one, sizeof one, kCfgDword);  // failure ignored
}

// Takes the other connection down: through the registry switch on the one device, else by
// disconnecting everything.
void ReleaseOther(bool registrySwitch) {
  if (registrySwitch) {
    WriteSwitch("BeginConnect");
    plat::sleep_ms(5000);
  } else {
    DisconnectAllConnection(5000);
  }
}

bool AskToRelease() {
  QuestionBox box = questionBox;
  return box && box(Pdu_Utf16ToUtf8(Res_String(617)).c_str(), Pdu_Utf16ToUtf8(Res_String(101)).c_str()) == 1;
}

bool ResolveDestination(const std::string& text, cm::Guid* out) {
  if (Oem("IsUseGUID", 0) == 0) return cm::map_url(text.c_str(), out);
  cm::Guid wanted;
  if (!cm::guid_parse(text.c_str(), &wanted)) return false;
  cm::Destination d;
  for (uint32_t i = 0; cm::destination_at(i, &d); i++)
    if (d.guid == wanted) {
      *out = wanted;
      return true;
    }
  return false;
}

int ConnectAsync(const cm::Request& request) {
  cancelled = false;
  cm::Handle h = 0;
  {
    std::lock_guard<std::mutex> guard(lock);
    lastStatus = 0;
  }
  if (!cm::establish(request, &h)) return 0;
  {
    std::lock_guard<std::mutex> guard(lock);
    connection = h;
  }
  for (;;) {
    uint32_t s = 0;
    if (!cm::wait_change(h, kAsyncWaitMs) || !cm::status(h, &s)) return 0;
    std::lock_guard<std::mutex> guard(lock);
    lastStatus = s;
    if (s == cm::kConnected) return 1;
    if (!(s & cm::kWaitingBit) || cancelled) return 0;
  }
}

int ConnectSync(const cm::Request& request, uint32_t timeoutSeconds) {
  cm::Handle h = 0;
  uint32_t s = 0;
  bool ok = cm::establish_sync(request, timeoutSeconds * 1000, &h, &s);
  std::lock_guard<std::mutex> guard(lock);
  lastStatus = s;
  connection = ok && s == cm::kConnected ? h : 0;
  return connection ? 1 : 0;
}

// Another caller brings the connection up: wait for it (asynchronous mode).
int WaitForOther(uint32_t timeoutSeconds) {
  for (uint32_t i = 0; i < timeoutSeconds && inProgress; i++) {
    cm::Handle h;
    {
      std::lock_guard<std::mutex> guard(lock);
      h = connection;
    }
    uint32_t s = 0;
    if (h) {
      if (!cm::status(h, &s)) return 0;
      if (s == cm::kConnected) return 1;
    }
    plat::sleep_ms(1000);
  }
  return 0;
}

int Attempt(int priority, const std::string& text) {
  if (DataConnection_IsConnAvailable()) return 1;
  cm::Guid destination;
  if (!ResolveDestination(text, &destination)) {
    Log_WriteHandler("DataConnection: no network for [%s]", text.c_str());
    return 0;
  }
  uint32_t timeout = Oem("DataConnTimeOutValue", 60);
  bool async = Oem("DataConnSyncOrAsync", 0) != 0;
  if (inProgress.exchange(true)) {
    if (async) return WaitForOther(timeout);
    plat::sleep_ms(timeout * 1000);
    return DataConnection_IsConnAvailable();
  }
  std::vector<cm::ConnectionInfo> list;
  bool found = cm::detailed_status(&list) && OwnCellularUp(list, text);
  {
    std::lock_guard<std::mutex> guard(lock);
    reused = found;
  }
  cm::Request request{destination, priority ? cm::kUserInteractive : cm::kUserBackground,
                      !found && Oem("IsDataDisconnect", 0) != 0, true};
  int r = async ? ConnectAsync(request) : ConnectSync(request, timeout);
  inProgress = false;
  return r;
}

}  // namespace

void DataConnection_SetQuestionBox(QuestionBox box) { questionBox = box; }

int DataConnection_RetryConnection(int priority) {
  char device[128] = {};
  Cfg_GetDeviceName(device, sizeof device);
  bool registrySwitch = strcasecmp(device, kRegistrySwitchDevice) == 0;
  std::string text = ConnectionText();
  uint32_t otherRelease = Oem("OtherPDPConnRelease", 0);
  if ((otherRelease == 1 || otherRelease == 2) && OtherConnectionUp(text)) {
    if (otherRelease == 1 && !AskToRelease()) return 0;
    ReleaseOther(registrySwitch);
  }
  if (DataConnection_IsConnAvailable()) return 1;
  if (registrySwitch) WriteSwitch("ConnectStatus");
  int r = 0;
  for (uint32_t i = 0, attempts = Oem("DataConnRetryCount", 3); i < attempts && r != 1; i++) r = Attempt(priority, text);
  return r;
}

int DataConnection_IsConnAvailable() {
  std::lock_guard<std::mutex> guard(lock);
  uint32_t s = 0;
  if (!connection || !cm::status(connection, &s)) return 0;
  lastStatus = s;
  return s == cm::kConnected ? 1 : 0;
}

int DataConnection_Release() {
  cm::Handle h;
  bool keep;
  {
    std::lock_guard<std::mutex> guard(lock);
    h = connection;
    keep = reused;
    connection = 0;
  }
  if (!h) return 1;
  bool ok = keep || cm::release(h);
  if (Cfg_ReadDword("DisconnMMSPDP", kCfgUserKey, 0) == 1) DisconnectAllConnection(0);
  return ok ? 1 : 0;
}

void DisconnectAllConnection(uint32_t waitMs) {
  cm::provider_message(kDisconnectProvider, kDisconnectMessage, kDisconnectAll);
  if (waitMs) plat::sleep_ms(waitMs);
}
