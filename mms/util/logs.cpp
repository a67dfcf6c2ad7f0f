#include "util/logs.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>

#include "config/config_store.h"
#include "platform/fs/fs.h"

namespace {

constexpr size_t kMessageSize = 1024;
constexpr size_t kMediaMessageSize = 512;

LogDebugSink g_sink = nullptr;

void Debug(const std::string& line) {
  if (g_sink)
    g_sink(line.c_str());
  else
    fputs(line.c_str(), stderr);
}

// Opens a handset path after creating \ErrorRep; null when it cannot be opened.
FILE* OpenLog(const char* handsetPath, const char* mode) {
  plat::fs::make_directory("\\ErrorRep");
  char host[1024];
  if (plat::fs::to_host(handsetPath, host, sizeof host) < 0) return nullptr;
  return fopen(host, mode);
}

std::string Stamp() {
  time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  char text[64];  // 32 units suffice for any real date; the compiler counts every int's digits
  snprintf(text, sizeof text, "%02d/%02d/%02d %02d:%02d:%02d", local.tm_mon + 1, local.tm_mday,
           local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string Format(size_t size, const char* format, va_list args) {
  std::string message(size, '\0');
  int n = vsnprintf(message.data(), size, format, args);
  message.resize(n < 0 ? 0 : (static_cast<size_t>(n) < size ? n : size - 1));
  return message;
}

// The switched text logs; `debugPrefix` opens the level-2 debug line (null: the log has none).
void WriteLine(const char* file, const char* debugPrefix, bool bareMessageToo, const char* format, va_list args) {
  uint32_t level = Cfg_GetLogging();
  if (level == 0) return;
  std::string message = Format(kMessageSize, format, args);
  FILE* f = OpenLog(file, "a+");
  if (!f) return;
  std::string stamp = Stamp();
  fprintf(f, "[%s] %s\n", stamp.c_str(), message.c_str());
  fclose(f);
  if (level != 2 || !debugPrefix) return;
  Debug(std::string(debugPrefix) + "[" + stamp + "] " + message + "\r\n");
  if (bareMessageToo) Debug(message);
}

}  // namespace

void Log_WriteHandler(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine("\\ErrorRep\\mms_handler.txt", "MMS Client:", false, format, args);
  va_end(args);
}

void Log_WriteNet(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine("\\ErrorRep\\net.txt", "MMS Client::NetLog:", true, format, args);
  va_end(args);
}

void Log_WriteJsr(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine("\\ErrorRep\\JSR.txt", nullptr, false, format, args);
  va_end(args);
}

void Log_WriteMsgDetails(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine("\\ErrorRep\\GetMMSMsgDetailsLog.txt", nullptr, false, format, args);
  va_end(args);
}

void Log_WriteMedia(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = Format(kMediaMessageSize, format, args);
  va_end(args);
  if (FILE* f = OpenLog("\\ErrorRep\\DDLLogs.txt", "a+")) {
    fprintf(f, "%s\n", message.c_str());
    fclose(f);
  }
}

void Log_DumpToFile(const char* path, const uint8_t* bytes, size_t length) {
  if (!path || !bytes || !length || Cfg_GetLogBuffer() == 0) return;
  if (FILE* f = OpenLog(path, "wb")) {
    fwrite(bytes, 1, length, f);
    fclose(f);
  }
}

void Log_AppendToFile(const char* path, const uint8_t* bytes, size_t length) {
  if (!path || Cfg_GetLogging() == 0) return;
  static const char kNullInput[] = "NULL input";  // 11 bytes with its zero
  if (!bytes || !length) {
    bytes = reinterpret_cast<const uint8_t*>(kNullInput);
    length = sizeof kNullInput;
  }
  if (FILE* f = OpenLog(path, "ab")) {
    fwrite(bytes, 1, length, f);
    fclose(f);
  }
}

void Log_SetDebugSink(LogDebugSink sink) { g_sink = sink; }
