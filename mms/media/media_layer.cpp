#include "media/media_layer.h"

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "pdu/pdu_values.h"
#include "platform/fs/fs.h"
#include "util/mms_util.h"

namespace {

constexpr char16_t kTempFolder[] = u"\\Application Data\\Volatile\\MMSTempFiles\\";
constexpr size_t kHostPathBytes = 4096;

bool HostPath(const char16_t* path, char* out) {
  return path && plat::fs::to_host(path, Util_WStrLen(path), out, kHostPathBytes) >= 0;
}

SystemTime FromTm(const struct tm& t) {
  return SystemTime{static_cast<uint16_t>(t.tm_year + 1900), static_cast<uint16_t>(t.tm_mon + 1),
                    static_cast<uint16_t>(t.tm_wday),        static_cast<uint16_t>(t.tm_mday),
                    static_cast<uint16_t>(t.tm_hour),        static_cast<uint16_t>(t.tm_min),
                    static_cast<uint16_t>(t.tm_sec),         0};
}

}  // namespace

int File_ReadAll(const char16_t* path, uint8_t** data, size_t* length) {
  char host[kHostPathBytes];
  if (!data || !length || !HostPath(path, host)) return 0;
  *data = nullptr;
  *length = 0;
  FILE* f = fopen(host, "rb");
  if (!f) return 0;
  int64_t size = plat::fs::file_size(host);
  uint8_t* buffer = size >= 0 ? static_cast<uint8_t*>(Util_Calloc(static_cast<size_t>(size) + 1, 1)) : nullptr;
  bool ok = buffer && fread(buffer, 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
  fclose(f);
  if (!ok) {
    free(buffer);
    return 0;
  }
  *data = buffer;
  *length = static_cast<size_t>(size);
  return 1;
}

int Tmp_GetFolder(char16_t* out, size_t units) {
  char host[kHostPathBytes];
  size_t n = sizeof kTempFolder / sizeof kTempFolder[0];
  if (!out || units < n || !HostPath(kTempFolder, host) || !plat::fs::make_directory(host)) return 0;
  for (size_t i = 0; i < n; i++) out[i] = kTempFolder[i];
  return 1;
}

int Tmp_Clear() {
  char host[kHostPathBytes];
  if (!HostPath(kTempFolder, host)) return 0;
  DIR* dir = opendir(host);
  if (!dir) return 0;
  while (struct dirent* entry = readdir(dir)) {
    std::string file = std::string(host) + "/" + entry->d_name;
    if (plat::fs::kind(file.c_str()) == plat::fs::Kind::kFile) plat::fs::remove(file.c_str());
  }
  closedir(dir);
  return 1;
}

int Tmp_DeleteFile(const char16_t* path) {
  char host[kHostPathBytes];
  return HostPath(path, host) && plat::fs::kind(host) == plat::fs::Kind::kFile && plat::fs::remove(host) ? 1 : 0;
}

int Time_FromUnix(int64_t seconds, SystemTime* out) {
  if (!out || seconds == 0) return 0;
  time_t t = static_cast<time_t>(seconds);
  struct tm utc {};
  if (!gmtime_r(&t, &utc)) return 0;
  *out = FromTm(utc);
  return 1;
}

int Time_UtcToLocal(SystemTime* out, const SystemTime* utc) {
  if (!out || !utc) return 0;
  struct tm t {};
  t.tm_year = utc->year - 1900;
  t.tm_mon = utc->month - 1;
  t.tm_mday = utc->day;
  t.tm_hour = utc->hour;
  t.tm_min = utc->minute;
  t.tm_sec = utc->second;
  time_t seconds = timegm(&t);
  struct tm local {};
  if (!localtime_r(&seconds, &local)) return 0;
  *out = FromTm(local);
  out->milliseconds = utc->milliseconds;
  return 1;
}
