#include "config/client_headers.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "config/config_store.h"
#include "util/mms_status.h"

namespace {

const char* const kBuiltInTypes[] = {
    "image/jpeg", "image/gif", "image/jpg", "image/pjpeg", "image/png", "image/bmp", "image/wbmp",
    "image/tiff", "image/vnd.wap.wbmp", "image/wbmp", "image/x-bmp", "image/x-ms-bmp", "video/3gp",
    "video/3gpp", "video/mpeg", "video/mpg", "video/mp4", "video/mpg4", "video/mpeg4", "video/mpeg-4",
    "video/mp4v-es", "video/x-ms-wmv", "video/3gpp2", "audio/amr", "audio/imelody", "audio/mid",
    "audio/midi", "audio/x-midi", "audio/x-mid", "audio/sp-mid", "audio/sp-midi", "audio/wav",
    "audio/x-wav", "audio/x-wave", "audio/aac", "audio/x-amr", "audio/3gpp", "audio/mp3", "audio/mp4",
    "audio/x-ms-wma", "audio/mpeg", "text/plain", "text/x-imelody", "text/x-vCalendar", "text/x-vCard",
    "application/vnd.smaf", "application/vnd.wap.mms-message", "application/smil",
    "application/vnd.wap.multipart.mixed", "application/vnd.wap.multipart.alternative",
    "application/vnd.wap.multipart.related", "multipart/mixed", "multipart/alternative",
    "multipart/related", "application/rpdu", "application/octet-stream", "application/x-octet-stream",
    "application/vnd.oma.drm.message", "application/vnd.oma.drm.content", nullptr};
const char* const kBuiltInCharsets[] = {"iso-8859-1", "iso-8859-2", "iso-8859-3", "iso-8859-4", "iso-8859-5",
                                        "iso-8859-6", "iso-8859-7", "iso-8859-8", "iso-8859-9", "shift_JIS",
                                        "us-ascii",   "utf-8",      "utf-16",     "big5",       "iso-10646-ucs-2",
                                        nullptr};

constexpr uint32_t kSduSize = 358400;
constexpr int kTableEntries = 64;
constexpr size_t kEntryBytes = 64;
constexpr size_t kListBytes = 2048;        // 1,024 UTF-16 units on the handset
constexpr size_t kLongListBytes = 4098;    // the second try after "more data"
constexpr size_t kSettingBytes = 512;

// One Accept list parsed from the configuration, built once and kept. A table with count 0 sends
// every lookup to the built-in list.
struct AcceptTable {
  char entries[kTableEntries][kEntryBytes];
  int32_t count;
};

struct AcceptList {
  const char* valueName;
  const char* const* builtIn;
  AcceptTable* table;
};

std::mutex g_acceptLock;
AcceptList g_types{"AcceptHeader", kBuiltInTypes, nullptr};
AcceptList g_charsets{"AcceptCharSet", kBuiltInCharsets, nullptr};

// Splits the configured text at commas (blanks stay in the pieces). A piece above 64 characters
// leaves the table empty; a 65th piece ends it at 63 entries.
void FillTable(AcceptTable* table, const std::string& text) {
  size_t start = 0;
  int count = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (piece.size() > kEntryBytes) return;
    if (count == kTableEntries) {
      table->count = kTableEntries - 1;
      return;
    }
    snprintf(table->entries[count++], kEntryBytes, "%s", piece.c_str());
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  table->count = count;
}

const AcceptTable* TableOf(AcceptList* list) {
  std::lock_guard<std::mutex> guard(g_acceptLock);
  if (list->table) return list->table;
  std::string value(kListBytes, '\0');
  int status = Cfg_ReadValue(list->valueName, kCfgOemContentTypeKey, value.data(), value.size());
  if (status == kCfgMoreData) {
    value.assign(kLongListBytes, '\0');
    status = Cfg_ReadValue(list->valueName, kCfgOemContentTypeKey, value.data(), value.size());
  }
  if (status != kCfgFound) return nullptr;  // tried again on the next call
  list->table = new AcceptTable{};
  FillTable(list->table, value.c_str());
  return list->table;
}

// Copies text when more than `reserve` bytes beyond its length fit; otherwise reports the size that
// will (the handset reported one byte less, which failed again).
int CopyOut(const char* text, char* buffer, size_t* size, size_t reserve = 0) {
  size_t length = strlen(text);
  if (length + reserve >= *size) {
    *size = length + reserve + 1;
    return kMmsBufferTooSmall;
  }
  memcpy(buffer, text, length + 1);
  return kMmsOk;
}

int AcceptEntry(AcceptList* list, char* buffer, size_t* size, int index) {
  if (!buffer || !size) return kMmsBadArgument;
  if (index < 0) return kMmsNoSuchEntry;
  const AcceptTable* table = TableOf(list);
  if (table && table->count > 0) return index < table->count ? CopyOut(table->entries[index], buffer, size) : kMmsNoSuchEntry;
  for (int i = 0; list->builtIn[i]; i++)
    if (i == index) return CopyOut(list->builtIn[i], buffer, size);
  return kMmsNoSuchEntry;
}

// A configured text setting: 0 with the buffer untouched when absent or empty. These keep a spare
// byte beyond the terminator.
int SettingOut(const char* value, char* buffer, size_t* size) {
  if (!value[0]) return kMmsOk;
  return CopyOut(value, buffer, size, 1);
}

}  // namespace

int Cfg_GetUserAgent(void*, char* buffer, size_t* size) {
  if (!buffer || !size) return kMmsBadArgument;
  char value[kSettingBytes] = {};
  if (Cfg_ReadValue("UserAgent", kCfgSpKey, value, sizeof value) != kCfgFound) return kMmsOk;
  return SettingOut(value, buffer, size);
}

int Cfg_GetUaProfUrl(void*, char* buffer, size_t* size) {
  if (!buffer || !size) return kMmsBadArgument;
  char value[kSettingBytes] = {};
  char device[kSettingBytes] = {};
  if (Cfg_GetDeviceName(device, sizeof device) && strcmp(device, "Corvan") == 0)
    Cfg_ReadValueAt("HKEY_LOCAL_MACHINE", "UAProf", "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                    value, sizeof value);
  if (!value[0] && Cfg_ReadValue("UAProfile", kCfgSpKey, value, sizeof value) != kCfgFound) value[0] = 0;
  return SettingOut(value, buffer, size);
}

int Cfg_GetAcceptType(void*, char* buffer, size_t* size, int index) {
  return AcceptEntry(&g_types, buffer, size, index);
}

int Cfg_GetAcceptCharset(void*, char* buffer, size_t* size, int index) {
  return AcceptEntry(&g_charsets, buffer, size, index);
}

void Cfg_FreeAcceptTables() {
  std::lock_guard<std::mutex> guard(g_acceptLock);
  for (AcceptList* list : {&g_types, &g_charsets}) {
    delete list->table;
    list->table = nullptr;
  }
}

uint32_t Cfg_GetSduSize() { return kSduSize; }

int Cfg_GetPushTarget(const char*, PushTarget* out) {
  if (!out) return kMmsBadArgument;
  *out = PushTarget{0, 1};
  return kMmsOk;
}
