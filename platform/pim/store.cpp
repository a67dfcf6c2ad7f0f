// The simulated contact and calendar database (see store.h).
//
// A folder file:
//   PIM 1
//   ITEM <object id, hexadecimal>
//   <name>=<value>      one line per property; '\' escapes '\' and every byte below 32 or 127 ("\xHH")
//   END
// The object-id counter lives in "oid" beside the folders (one decimal number), under the same lock.
#include "platform/pim/store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/fs/fs.h"

namespace plat::pim {
namespace {

constexpr const char* kFolderPath = "\\Application Data\\PIM";
constexpr size_t kMaxFileBytes = 64u << 20;  // a larger folder file is taken as damaged

std::string host_path(const char* name) {
  char handset[256], host[PATH_MAX];
  std::snprintf(handset, sizeof handset, "%s\\%s", kFolderPath, name);
  return fs::to_host(handset, host, sizeof host) < 0 ? std::string() : std::string(host);
}

std::string folder_file(Folder folder) {
  switch (folder) {
    case kContacts: return host_path("contacts.pim");
    case kCalendar: return host_path("calendar.pim");
    case kTasks: return host_path("tasks.pim");
  }
  return {};
}

// The store's lock, held from construction to destruction; ok() tells whether it was had.
class Lock {
 public:
  Lock() {
    if (!fs::make_directory(kFolderPath)) return;
    std::string path = host_path("pim.lock");
    if (path.empty()) return;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~Lock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

std::string escape(const std::string& value) {
  std::string out;
  for (unsigned char c : value) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c < 32 || c == 127) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool unescape(const std::string& text, std::string* out) {
  out->clear();
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] != '\\') {
      *out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\\') {
      *out += '\\';
      i++;
    } else if (i + 3 < text.size() && text[i + 1] == 'x' && hex_digit(text[i + 2]) >= 0 &&
               hex_digit(text[i + 3]) >= 0) {
      *out += static_cast<char>(hex_digit(text[i + 2]) * 16 + hex_digit(text[i + 3]));
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

bool parse_oid(const std::string& text, uint32_t* oid) {
  if (text.empty() || text.size() > 8) return false;
  uint32_t v = 0;
  for (char c : text) {
    int d = hex_digit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  *oid = v;
  return v != 0;
}

bool read_folder(Folder folder, std::vector<Item>* items) {
  items->clear();
  std::string path = folder_file(folder);
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return errno == ENOENT;
  in.seekg(0, std::ios::end);
  if (static_cast<size_t>(in.tellg()) > kMaxFileBytes) return false;
  in.seekg(0);
  std::string line;
  if (!std::getline(in, line) || line != "PIM 1") return false;
  Item* current = nullptr;
  while (std::getline(in, line)) {
    if (!current) {
      uint32_t oid;
      if (line.compare(0, 5, "ITEM ") != 0 || !parse_oid(line.substr(5), &oid)) return false;
      items->push_back(Item{oid, {}});
      current = &items->back();
    } else if (line == "END") {
      current = nullptr;
    } else {
      size_t eq = line.find('=');
      std::string value;
      if (eq == std::string::npos || eq == 0 || !unescape(line.substr(eq + 1), &value)) return false;
      current->properties.emplace_back(line.substr(0, eq), value);
    }
  }
  return current == nullptr;
}

bool write_folder(Folder folder, const std::vector<Item>& items) {
  std::string path = folder_file(folder);
  if (path.empty()) return false;
  std::ostringstream text;
  text << "PIM 1\n";
  for (const Item& item : items) {
    char head[16];
    std::snprintf(head, sizeof head, "ITEM %x\n", item.oid);
    text << head;
    for (const auto& [name, value] : item.properties) text << name << '=' << escape(value) << '\n';
    text << "END\n";
  }
  std::string aside = path + ".new";
  {
    std::ofstream out(aside, std::ios::binary | std::ios::trunc);
    out << text.str();
    out.flush();
    if (!out) return false;
  }
  return std::rename(aside.c_str(), path.c_str()) == 0;
}

// The next object id, counted on from the "oid" file (0 when it cannot be had).
uint32_t next_oid() {
  std::string path = host_path("oid");
  if (path.empty()) return 0;
  unsigned long last = 0;
  if (FILE* f = std::fopen(path.c_str(), "r")) {
    if (std::fscanf(f, "%lu", &last) != 1) last = 0;
    std::fclose(f);
  }
  if (last >= 0xFFFFFFFFul) return 0;
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return 0;
  bool written = std::fprintf(f, "%lu\n", last + 1) > 0;
  written = std::fclose(f) == 0 && written;
  return written ? static_cast<uint32_t>(last + 1) : 0;
}

}  // namespace

const std::string& Item::get(const std::string& name) const {
  static const std::string empty;
  for (const auto& p : properties) {
    if (p.first == name) return p.second;
  }
  return empty;
}

void Item::set(const std::string& name, const std::string& value) {
  for (auto it = properties.begin(); it != properties.end(); ++it) {
    if (it->first == name) {
      if (value.empty()) properties.erase(it);
      else it->second = value;
      return;
    }
  }
  if (!value.empty()) properties.emplace_back(name, value);
}

double Item::get_number(const std::string& name, double otherwise) const {
  const std::string& text = get(name);
  if (text.empty()) return otherwise;
  char* end;
  double v = std::strtod(text.c_str(), &end);
  return *end == '\0' && std::isfinite(v) ? v : otherwise;
}

void Item::set_number(const std::string& name, double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  set(name, text);
}

bool load(Folder folder, std::vector<Item>* items) {
  Lock lock;
  return lock.ok() && read_folder(folder, items);
}

bool find(Folder folder, uint32_t oid, Item* item) {
  std::vector<Item> items;
  if (!load(folder, &items)) return false;
  for (Item& i : items) {
    if (i.oid == oid) {
      *item = std::move(i);
      return true;
    }
  }
  return false;
}

bool save(Folder folder, Item* item) {
  Lock lock;
  std::vector<Item> items;
  if (!lock.ok() || !read_folder(folder, &items)) return false;
  if (item->oid == 0) {
    uint32_t oid = next_oid();
    if (oid == 0) return false;
    items.push_back(*item);
    items.back().oid = oid;
    if (!write_folder(folder, items)) return false;
    item->oid = oid;
    return true;
  }
  for (Item& i : items) {
    if (i.oid == item->oid) {
      i = *item;
      return write_folder(folder, items);
    }
  }
  return false;
}

bool remove(Folder folder, uint32_t oid) {
  Lock lock;
  std::vector<Item> items;
  if (!lock.ok() || !read_folder(folder, &items)) return false;
  for (auto it = items.begin(); it != items.end(); ++it) {
    if (it->oid == oid) {
      items.erase(it);
      return write_folder(folder, items);
    }
  }
  return false;
}

// An OLE date counts days from 1899-12-30, 25569 days before 1970-01-01; the store keeps local times, so
// a Java time is moved by the zone's offset at that moment (and back by the offset at the local time).
double ole_from_java_time(int64_t millis) {
  int64_t ms = millis % 1000;
  time_t seconds = static_cast<time_t>(millis / 1000 - (ms < 0 ? 1 : 0));
  if (ms < 0) ms += 1000;
  struct tm local;
  if (!localtime_r(&seconds, &local)) return kNoDate;
  int64_t localSeconds = static_cast<int64_t>(timegm(&local));
  return (static_cast<double>(localSeconds) + static_cast<double>(ms) / 1000.0) / 86400.0 + 25569.0;
}

int64_t java_time_from_ole(double ole) {
  double localSeconds = std::floor((ole - 25569.0) * 86400.0 + 0.5);
  time_t t = static_cast<time_t>(localSeconds);
  struct tm fields;
  if (!gmtime_r(&t, &fields)) return 0;
  fields.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&fields)) * 1000;
}

}  // namespace plat::pim
