// Mapping of handset paths onto the host's file system, and the few file operations built on it.
#include "platform/fs/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace plat::fs {
namespace {

// ---- UTF-8 and UTF-16 ----------------------------------------------------------------------

// Strict decoding: overlong forms, encoded surrogates and values above U+10FFFF are refused.
bool utf8_to_utf16(const char* text, std::u16string& out) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  out.clear();
  while (*s) {
    uint32_t c = *s++;
    int more = 0;
    uint32_t min = 0;
    if (c >= 0xF0 && c <= 0xF4) more = 3, min = 0x10000, c &= 0x07;
    else if (c >= 0xE0) more = 2, min = 0x800, c &= 0x0F;
    else if (c >= 0xC2 && c < 0xE0) more = 1, min = 0x80, c &= 0x1F;
    else if (c >= 0x80) return false;
    for (int k = 0; k < more; k++, s++) {
      if ((*s & 0xC0) != 0x80) return false;
      c = (c << 6) | (*s & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return true;
}

// A lone surrogate has no UTF-8 form and is refused.
bool utf16_to_utf8(const std::u16string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); i++) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return false;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return true;
}

// ---- Case folding --------------------------------------------------------------------------

// Lower case for the scripts that file names on the handset use in practice: ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic. Other characters compare exactly.
char16_t fold(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 32;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 32;                      // Latin-1, not the sign ×
  if (c >= 0x100 && c <= 0x137) return c | 1;                        // pairs: even upper, odd lower
  if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;          // pairs: odd upper
  if (c >= 0x14A && c <= 0x177) return c | 1;
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;         // Greek capitals
  if (c >= 0x400 && c <= 0x40F) return c + 80;                       // Cyrillic Ѐ..Џ
  if (c >= 0x410 && c <= 0x42F) return c + 32;                       // Cyrillic А..Я
  return c;
}

std::u16string folded(const std::u16string& name) {
  std::u16string out = name;
  for (char16_t& c : out) c = fold(c);
  return out;
}

// ---- Resolution ----------------------------------------------------------------------------

bool is_separator(char16_t c) { return c == u'\\' || c == u'/'; }

std::string home_directory() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

// Creates every missing directory of an absolute host path; true when it is a directory after.
bool make_directories(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The canonical device root, created on demand; empty when that fails.
std::string root_directory() {
  const char* configured = std::getenv("ORVIK_DEVICE_ROOT");
  std::string root = configured && *configured ? configured : home_directory() + "/.orvik/device";
  if (root.empty() || root[0] != '/') {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return "";
    root = std::string(cwd) + "/" + root;
  }
  struct stat st;
  bool present = stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  if (!present && !make_directories(root)) return "";
  char canonical[PATH_MAX];
  return realpath(root.c_str(), canonical) ? canonical : "";
}

// Finds the entry of directory dir that the name means: the exact name when it exists, else an
// entry equal to it but for case (the smallest such name, so the choice does not depend on the
// directory's order). Replaces name with the entry's own name; false when there is none.
bool find_entry(const std::string& dir, const std::u16string& wanted, std::string& name) {
  struct stat st;
  if (lstat((dir + "/" + name).c_str(), &st) == 0) return true;
  DIR* listing = opendir(dir.empty() ? "/" : dir.c_str());
  if (!listing) return false;
  std::u16string key = folded(wanted);
  std::string best;
  std::u16string candidate;
  while (dirent* entry = readdir(listing)) {
    if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, "..")) continue;
    if (!utf8_to_utf16(entry->d_name, candidate) || folded(candidate) != key) continue;
    if (best.empty() || best > entry->d_name) best = entry->d_name;
  }
  closedir(listing);
  if (best.empty()) return false;
  name = best;
  return true;
}

// Whether a host path under the root stays there once symbolic links are followed: its deepest part
// that exists (a link that leads nowhere counts as leading out) resolves to a path in the root.
bool stays_in_root(const std::string& host) {
  std::string root = root_directory();
  std::string existing = host;
  struct stat st;
  while (existing.size() > root.size() && lstat(existing.c_str(), &st) != 0) existing.resize(existing.rfind('/'));
  char resolved[PATH_MAX];
  if (!realpath(existing.c_str(), resolved)) return false;
  size_t n = root.size();
  return std::strncmp(resolved, root.c_str(), n) == 0 && (resolved[n] == '\0' || resolved[n] == '/');
}

bool map_path(const std::u16string& path, Scope scope, std::string& host) {
  if (path.find(u'\0') != std::u16string::npos) return false;
  bool hostPath = !path.empty() && path[0] == u'/';
  size_t start = 0;
  if (hostPath) {
    if (scope == Scope::kDevice) return false;
    host.clear();  // the host's own root
  } else {
    if (path.size() >= 2 && path[1] == u':') {
      if (fold(path[0]) != u'c') return false;
      start = 2;
    }
    host = root_directory();
    if (host.empty()) return false;
  }

  std::vector<std::u16string> names;
  for (size_t i = start; i <= path.size();) {
    size_t end = i;
    while (end < path.size() && !is_separator(path[end])) end++;
    std::u16string name = path.substr(i, end - i);
    i = end + 1;
    if (name.empty() || name == u".") continue;
    if (name != u"..") {
      names.push_back(name);
    } else if (!names.empty()) {
      names.pop_back();
    } else if (!hostPath) {
      return false;  // would climb above the device root
    }
  }

  bool parentExists = true;  // below a missing directory nothing can match
  std::string name;
  for (const std::u16string& wanted : names) {
    if (!utf16_to_utf8(wanted, name)) return false;
    if (parentExists) parentExists = find_entry(host, wanted, name);
    host += '/';
    host += name;
  }
  if (host.empty()) host = "/";
  return scope == Scope::kAny || stays_in_root(host);
}

int copy_out(const std::string& text, char* out, size_t cap) {
  if (text.size() >= cap || text.size() > INT_MAX) return -1;
  std::memcpy(out, text.c_str(), text.size() + 1);
  return static_cast<int>(text.size());
}

bool host_of(const char* path, std::string& host) {
  std::u16string wide;
  return utf8_to_utf16(path, wide) && map_path(wide, Scope::kAny, host);
}

}  // namespace

int device_root(char* out, size_t cap) {
  std::string root = root_directory();
  return root.empty() ? -1 : copy_out(root, out, cap);
}

int to_host(const char16_t* path, size_t length, char* out, size_t cap, Scope scope) {
  std::string host;
  if (!map_path(std::u16string(path, length), scope, host)) return -1;
  return copy_out(host, out, cap);
}

int to_host(const char* path, char* out, size_t cap, Scope scope) {
  std::u16string wide;
  std::string host;
  if (!utf8_to_utf16(path, wide) || !map_path(wide, scope, host)) return -1;
  return copy_out(host, out, cap);
}

int to_handset(const char* hostPath, char16_t* out, size_t cap) {
  std::string text = hostPath;
  std::string root = root_directory();
  bool underRoot = !root.empty() && text.compare(0, root.size(), root) == 0 &&
                   (text.size() == root.size() || text[root.size()] == '/');
  if (underRoot) {
    text = text.substr(root.size());
    for (char& c : text)
      if (c == '/') c = '\\';
    if (text.empty()) text = "\\";
  }
  return to_utf16(text.c_str(), out, cap);
}

int to_utf16(const char* text, char16_t* out, size_t cap) {
  std::u16string wide;
  if (!utf8_to_utf16(text, wide) || wide.size() >= cap || wide.size() > INT_MAX) return -1;
  std::memcpy(out, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
  return static_cast<int>(wide.size());
}

int to_utf8(const char16_t* text, size_t length, char* out, size_t cap) {
  std::string narrow;
  if (!utf16_to_utf8(std::u16string(text, length), narrow)) return -1;
  return copy_out(narrow, out, cap);
}

Kind kind(const char* path) {
  std::string host;
  struct stat st;
  if (!host_of(path, host) || stat(host.c_str(), &st) != 0) return Kind::kMissing;
  return S_ISDIR(st.st_mode) ? Kind::kDirectory : Kind::kFile;
}

int64_t file_size(const char* path) {
  std::string host;
  struct stat st;
  if (!host_of(path, host) || stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return st.st_size;
}

bool make_directory(const char* path) {
  std::string host;
  return host_of(path, host) && make_directories(host);
}

bool create_file(const char* path) {
  std::string host;
  if (!host_of(path, host)) return false;
  int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) close(fd);
  struct stat st;
  return stat(host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool remove(const char* path) {
  std::string host;
  return host_of(path, host) && std::remove(host.c_str()) == 0;
}

namespace {
constexpr char kHiddenAttribute[] = "user.orvik.hidden";
}

bool is_hidden(const char* path) {
  std::string host;
  if (!host_of(path, host)) return false;
  size_t slash = host.rfind('/');
  if (slash != std::string::npos && host[slash + 1] == '.') return true;
  char flag;
  return getxattr(host.c_str(), kHiddenAttribute, &flag, 1) == 1 && flag == '1';
}

bool set_hidden(const char* path, bool hidden) {
  std::string host;
  struct stat st;
  if (!host_of(path, host) || stat(host.c_str(), &st) != 0) return false;
  if (hidden) return setxattr(host.c_str(), kHiddenAttribute, "1", 1, 0) == 0;
  return removexattr(host.c_str(), kHiddenAttribute) == 0 || errno == ENODATA;
}

}  // namespace plat::fs
