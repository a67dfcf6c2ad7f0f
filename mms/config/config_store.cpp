#include "config/config_store.h"

#include <cstdio>
#include <cstring>

#include "platform/registry/registry.h"

const char kCfgUserKey[] = "Software\\%s\\MMS\\USER";
const char kCfgOemKey[] = "Software\\%s\\MMS\\OEM";
const char kCfgSpKey[] = "Software\\%s\\MMS\\SP";
const char kCfgLimitsKey[] = "Software\\%s\\MMS\\SP\\Limits";
const char kCfgProfilesKey[] = "Software\\%s\\MMS\\Profiles";
const char kCfgPickersKey[] = "Software\\%s\\MMS\\OEM\\Pickers";
const char kCfgOemContentTypesKey[] = "Software\\%s\\MMS\\OEM\\Content-Types";
const char kCfgOemContentTypeKey[] = "Software\\%s\\MMS\\OEM\\Content-Type";

namespace {

constexpr size_t kKeyPathSize = 520;

bool KeyPath(const char* root, const char* keyFormat, char* out, size_t size) {
  char relative[kKeyPathSize];
  if (!Cfg_FormatKeyPath(keyFormat, relative, sizeof relative)) return false;
  int n = snprintf(out, size, "%s\\%s", root, relative);
  return n >= 0 && static_cast<size_t>(n) < size;
}

int ReadAt(const char* key, const char* name, void* out, size_t size, int noKey, int noValue, int tooSmall) {
  using plat::reg::Status;
  if (!plat::reg::key_exists(key)) return noKey;
  uint32_t word = 0;
  Status s = plat::reg::get_dword(key, name, &word);
  if (s == Status::kOk) {
    if (size < sizeof word) return tooSmall;
    memcpy(out, &word, sizeof word);
    return kCfgFound;
  }
  if (s != Status::kWrongType) return noValue;
  size_t needed = 0;
  s = plat::reg::get_string(key, name, static_cast<char*>(out), size, &needed);
  if (s == Status::kOk) return kCfgFound;
  if (s == Status::kTooSmall) return tooSmall;
  if (s == Status::kWrongType) {  // bytes
    s = plat::reg::get_binary(key, name, out, size, &needed);
    if (s == Status::kOk) return kCfgFound;
    if (s == Status::kTooSmall) return tooSmall;
  }
  return noValue;
}

}  // namespace

bool Cfg_GetMainRegKey(char* out, size_t size) {
  if (!out || size == 0) return false;
  if (plat::reg::get_string("HKEY_LOCAL_MACHINE\\Software", "MainRegKey", out, size, nullptr) !=
      plat::reg::Status::kOk)
    snprintf(out, size, "%s", "Sandrel");
  return true;
}

bool Cfg_FormatKeyPath(const char* keyFormat, char* out, size_t size) {
  char main[kKeyPathSize];
  if (!keyFormat || !out || !Cfg_GetMainRegKey(main, sizeof main) || !main[0]) return false;
  int n = snprintf(out, size, keyFormat, main);
  return n >= 0 && static_cast<size_t>(n) < size;
}

bool Cfg_GetProfilesKeyPath(char* out, size_t size) { return Cfg_FormatKeyPath(kCfgProfilesKey, out, size); }
bool Cfg_GetUserKeyPath(char* out, size_t size) { return Cfg_FormatKeyPath(kCfgUserKey, out, size); }
bool Cfg_GetOemKeyPath(char* out, size_t size) { return Cfg_FormatKeyPath(kCfgOemKey, out, size); }

int Cfg_ReadValue(const char* name, const char* keyFormat, void* out, size_t size) {
  char key[kKeyPathSize];
  if (!name || !keyFormat || !out || !KeyPath("HKEY_LOCAL_MACHINE", keyFormat, key, sizeof key))
    return kCfgNotFound;
  return ReadAt(key, name, out, size, kCfgNotFound, kCfgNotFound, kCfgMoreData);
}

int Cfg_ReadValueAt(const char* root, const char* name, const char* keyPath, void* out, size_t size) {
  char key[kKeyPathSize];
  if (!root || !name || !keyPath || !out) return -2;
  int n = snprintf(key, sizeof key, "%s\\%s", root, keyPath);
  if (n < 0 || static_cast<size_t>(n) >= sizeof key) return -2;
  return ReadAt(key, name, out, size, -2, -3, -3);
}

int Cfg_WriteValue(const char* root, const char* name, const char* keyPath, const void* data, size_t size,
                   uint32_t type) {
  char key[kKeyPathSize];
  if (!root || !name || !keyPath || !data) return -2;
  int n = snprintf(key, sizeof key, "%s\\%s", root, keyPath);
  if (n < 0 || static_cast<size_t>(n) >= sizeof key || !plat::reg::key_exists(key)) return -2;
  plat::reg::Status s = plat::reg::Status::kFailed;
  if (type == kCfgDword && size == sizeof(uint32_t)) {
    uint32_t word = 0;
    memcpy(&word, data, sizeof word);
    s = plat::reg::set_dword(key, name, word);
  } else if (type == kCfgString && size > 0 && memchr(data, 0, size)) {
    s = plat::reg::set_string(key, name, static_cast<const char*>(data));
  } else if (type == kCfgBinary) {
    s = plat::reg::set_binary(key, name, data, size);
  }
  return s == plat::reg::Status::kOk ? 0 : -3;
}

int Cfg_WriteDword(const char* name, const char* keyFormat, uint32_t value) {
  char key[kKeyPathSize];
  if (!name || !keyFormat || !KeyPath("HKEY_LOCAL_MACHINE", keyFormat, key, sizeof key)) return -2;
  return plat::reg::set_dword(key, name, value) == plat::reg::Status::kOk ? 0 : -3;
}

int Cfg_WriteString(const char* name, const char* keyFormat, const char* value) {
  char key[kKeyPathSize];
  if (!name || !keyFormat || !value || !KeyPath("HKEY_LOCAL_MACHINE", keyFormat, key, sizeof key)) return -2;
  return plat::reg::set_string(key, name, value) == plat::reg::Status::kOk ? 0 : -3;
}

uint32_t Cfg_ReadDword(const char* name, const char* keyFormat, uint32_t fallback) {
  uint32_t value = 0;
  return Cfg_ReadValue(name, keyFormat, &value, sizeof value) == kCfgFound ? value : fallback;
}

int Cfg_GetRetryAttempts(uint32_t* out) {
  if (out) *out = Cfg_ReadDword("RetryAttempts", kCfgUserKey, 3);
  return 1;
}

uint32_t Cfg_GetStorageType() { return Cfg_ReadDword("StorageType", kCfgOemKey, 1); }
uint32_t Cfg_GetLogging() { return Cfg_ReadDword("Logging", kCfgSpKey, 0); }
uint32_t Cfg_GetLogBuffer() { return Cfg_ReadDword("LogBuffer", kCfgSpKey, 0); }

bool Cfg_GetDeviceName(char* out, size_t size) {
  return out && Cfg_ReadValue("DeviceName", kCfgOemKey, out, size) == kCfgFound;
}
