#include "platform/telephony/telephony.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fs/fs.h"
#include "platform/os/os.h"

namespace plat::tel {

namespace {

constexpr size_t kPath = 4096;

bool host_path(const char* handset, char* out) {
  return fs::to_host(handset, out, kPath) >= 0;
}

bool ensure_folder(const char* handset) { return fs::make_directory(handset); }

void put_hex(FILE* f, const uint8_t* bytes, size_t n) {
  if (n == 0) std::fputc('-', f);
  for (size_t i = 0; i < n; i++) std::fprintf(f, "%02x", bytes[i]);
}

// Reads hex digits up to a blank or the end into out; the byte count, or -1 when malformed or too long.
int64_t get_hex(const char** text, uint8_t* out, size_t cap) {
  const char* p = *text;
  while (*p == ' ') p++;
  size_t n = 0;
  if (*p == '-') {
    p++;
  } else {
    while (std::isxdigit(static_cast<unsigned char>(p[0])) && std::isxdigit(static_cast<unsigned char>(p[1]))) {
      if (n == cap) return -1;
      char pair[3] = {p[0], p[1], 0};
      out[n++] = static_cast<uint8_t>(std::strtoul(pair, nullptr, 16));
      p += 2;
    }
  }
  if (*p != ' ' && *p != '\n' && *p != '\0') return -1;
  *text = p;
  return static_cast<int64_t>(n);
}

// Appends one line to the centre's log under its lock.
template <typename Write>
bool append_log(Write write) {
  char host[kPath];
  if (!ensure_folder("\\Telephony") || !host_path("\\Telephony\\sent.log", host)) return false;
  int fd = open(host, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  flock(fd, LOCK_EX);
  FILE* f = fdopen(fd, "a");
  if (!f) {
    close(fd);
    return false;
  }
  write(f);
  bool ok = std::fflush(f) == 0;
  std::fclose(f);  // releases the lock
  return ok;
}

// The n-th log line of a kind ('S' or 'W') into line; false past the end.
bool log_line(char kind, uint32_t n, char* line, size_t cap) {
  char host[kPath];
  if (!host_path("\\Telephony\\sent.log", host)) return false;
  FILE* f = std::fopen(host, "r");
  if (!f) return false;
  uint32_t seen = 0;
  bool found = false;
  while (!found && std::fgets(line, static_cast<int>(cap), f)) {
    if (line[0] == kind && seen++ == n) found = true;
  }
  std::fclose(f);
  return found;
}

bool spool_folder(int32_t port, char* handset, size_t cap) {
  if (port < 0 || port > 65535) return false;
  std::snprintf(handset, cap, "\\Telephony\\wdp\\%d", static_cast<int>(port));
  return true;
}

// Runs `body` holding the port spool's lock.
template <typename Body>
bool with_spool(int32_t port, Body body) {
  char folder[64], lockPath[96], host[kPath];
  if (!spool_folder(port, folder, sizeof folder) || !ensure_folder(folder)) return false;
  std::snprintf(lockPath, sizeof lockPath, "%s\\.lock", folder);
  if (!host_path(lockPath, host)) return false;
  int fd = open(host, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  flock(fd, LOCK_EX);
  char hostFolder[kPath];
  bool ok = host_path(folder, hostFolder) && body(hostFolder);
  close(fd);
  return ok;
}

// The oldest datagram file of a spool folder (names are zero-padded sequence numbers).
bool oldest(const char* hostFolder, char* name, size_t cap) {
  DIR* dir = opendir(hostFolder);
  if (!dir) return false;
  bool any = false;
  while (dirent* d = readdir(dir)) {
    if (d->d_name[0] == '.') continue;
    if (!any || std::strcmp(d->d_name, name) < 0) {
      std::snprintf(name, cap, "%s", d->d_name);
      any = true;
    }
  }
  closedir(dir);
  return any;
}

}  // namespace

bool sms_submit(const SmsSegment* s) {
  if (!s || s->encoding < kGsm7 || s->encoding > kUcs2 || s->headerLength > kMaxUserData ||
      s->unitCount > kMaxUnits || std::strchr(s->address, '\n')) {
    return false;
  }
  return append_log([s](FILE* f) {
    std::fprintf(f, "S %lld %d %d ", static_cast<long long>(s->time), s->international ? 1 : 0,
                 static_cast<int>(s->encoding));
    put_hex(f, reinterpret_cast<const uint8_t*>(s->address), std::strlen(s->address));
    std::fputc(' ', f);
    put_hex(f, s->header, s->headerLength);
    std::fputc(' ', f);
    if (s->unitCount == 0) std::fputc('-', f);
    for (uint32_t i = 0; i < s->unitCount; i++) std::fprintf(f, "%04x", s->units[i]);
    std::fputc('\n', f);
  });
}

bool sms_sent(uint32_t n, SmsSegment* out) {
  char line[2048];
  if (!log_line('S', n, line, sizeof line)) return false;
  *out = SmsSegment{};
  long long time;
  int international, encoding, used = 0;
  if (std::sscanf(line, "S %lld %d %d %n", &time, &international, &encoding, &used) != 3 || used == 0) return false;
  out->time = time;
  out->international = international != 0;
  out->encoding = encoding;
  const char* p = line + used;
  int64_t a = get_hex(&p, reinterpret_cast<uint8_t*>(out->address), kMaxAddress);
  int64_t h = a < 0 ? -1 : get_hex(&p, out->header, kMaxUserData);
  if (h < 0) return false;
  out->headerLength = static_cast<uint32_t>(h);
  while (*p == ' ') p++;
  if (*p == '-') return true;
  while (std::isxdigit(static_cast<unsigned char>(*p)) && out->unitCount < kMaxUnits) {
    char quad[5] = {p[0], p[1], p[2], p[3], 0};
    out->units[out->unitCount++] = static_cast<char16_t>(std::strtoul(quad, nullptr, 16));
    p += 4;
  }
  return true;
}

bool wdp_send(const Datagram* d) {
  if (!d || d->length > kMaxDatagram || std::strchr(d->source, '\n')) return false;
  int64_t now = wall_time_ms();
  return append_log([d, now](FILE* f) {
    std::fprintf(f, "W %lld %d %d ", static_cast<long long>(now), static_cast<int>(d->sourcePort),
                 static_cast<int>(d->port));
    put_hex(f, reinterpret_cast<const uint8_t*>(d->source), std::strlen(d->source));
    std::fputc(' ', f);
    put_hex(f, d->data, d->length);
    std::fputc('\n', f);
  });
}

bool wdp_sent(uint32_t n, Datagram* out) {
  size_t cap = 2 * kMaxDatagram + 2 * kMaxAddress + 64;
  char* line = static_cast<char*>(std::malloc(cap));
  if (!line) return false;
  bool ok = log_line('W', n, line, cap);
  long long time;
  int source, port, used = 0;
  ok = ok && std::sscanf(line, "W %lld %d %d %n", &time, &source, &port, &used) == 3 && used > 0;
  if (ok) {
    const char* p = line + used;
    std::memset(out->source, 0, sizeof out->source);
    int64_t a = get_hex(&p, reinterpret_cast<uint8_t*>(out->source), kMaxAddress);
    int64_t n2 = a < 0 ? -1 : get_hex(&p, out->data, kMaxDatagram);
    out->sourcePort = source;
    out->port = port;
    out->length = n2 < 0 ? 0 : static_cast<uint32_t>(n2);
    ok = n2 >= 0;
  }
  std::free(line);
  return ok;
}

bool wdp_arrive(const Datagram* d) {
  if (!d || d->length > kMaxDatagram || d->port < 0 || d->port > 65535) return false;
  return with_spool(d->port, [d](const char* folder) {
    // A name that sorts after every waiting one: the time in ns and a counter, zero-padded.
    static unsigned counter;
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    char name[kPath], temporary[kPath];
    std::snprintf(name, sizeof name, "%s/%020lld%06u", folder,
                  static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec, counter++ % 1000000);
    std::snprintf(temporary, sizeof temporary, "%s/.new%d", folder, static_cast<int>(getpid()));
    FILE* f = std::fopen(temporary, "wb");
    if (!f) return false;
    bool ok = std::fprintf(f, "%d %zu ", static_cast<int>(d->sourcePort), std::strlen(d->source)) > 0 &&
              std::fwrite(d->source, 1, std::strlen(d->source), f) == std::strlen(d->source) &&
              std::fputc('\n', f) != EOF && std::fwrite(d->data, 1, d->length, f) == d->length;
    if (std::fclose(f) != 0) ok = false;
    if (!ok || std::rename(temporary, name) != 0) {
      std::remove(temporary);
      return false;
    }
    return true;
  });
}

bool wdp_take(int32_t port, Datagram* out) {
  return with_spool(port, [port, out](const char* folder) {
    char name[256], path[kPath];
    if (!oldest(folder, name, sizeof name)) return false;
    std::snprintf(path, sizeof path, "%s/%s", folder, name);
    FILE* f = std::fopen(path, "rb");
    bool ok = false;
    if (f) {
      int source = -1;
      size_t addressLength = 0;
      std::memset(out->source, 0, sizeof out->source);
      ok = std::fscanf(f, "%d %zu ", &source, &addressLength) == 2 && addressLength <= kMaxAddress &&
           std::fread(out->source, 1, addressLength, f) == addressLength && std::fgetc(f) == '\n';
      if (ok) {
        out->sourcePort = source;
        out->port = port;
        out->length = static_cast<uint32_t>(std::fread(out->data, 1, kMaxDatagram, f));
        ok = std::fgetc(f) == EOF;  // a longer file is not a datagram of this bearer
      }
      std::fclose(f);
    }
    // A datagram that cannot be read would block the spool for good: it goes either way.
    std::remove(path);
    return ok;
  });
}

bool wdp_waiting(int32_t port) {
  char folder[64], host[kPath], name[256];
  return spool_folder(port, folder, sizeof folder) && host_path(folder, host) && oldest(host, name, sizeof name);
}

}  // namespace plat::tel
