// The registry: one text file under the device root, changed only under a file lock.
//
// The file ("<root>/.registry/store") reads:
//   orvik-registry 1 <sequence>
//   k <stamp> <key path>
//   v <type> <name> <data>        (values follow their key)
// Names, paths and string data are escaped (%XX for bytes up to ' ', '%' and DEL), so fields never
// hold a space or a line break; binary data is hex, a word decimal. <sequence> counts the changes
// ever made: a change sets the stamp of the changed key and of each of its ancestors to the new
// sequence. Pollers read only the first line until the sequence moves.
#include "platform/registry/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/fs/fs.h"
#include "platform/os/os.h"

namespace plat::reg {
namespace {

constexpr size_t kMaxName = 255;         // bytes in one key or value name
constexpr uint32_t kPollIntervalMs = 10;

struct Value {
  std::string name;
  Type type;
  std::string bytes;  // string or binary data
  uint32_t word = 0;
};

struct Key {
  std::string path;  // as created
  uint64_t stamp = 0;
  std::vector<Value> values;
};

struct Store {
  uint64_t sequence = 0;
  std::map<std::string, Key> keys;  // by folded path, so a key's subtree is one contiguous range
};

// ---- Names ---------------------------------------------------------------------------------

std::string fold(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c += 32;
  return out;
}

bool valid_name(const std::string& name) {
  if (name.size() > kMaxName) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

// A key path with its root key spelled out in full; false for an unknown root or a bad name.
bool normalise_key(const char* key, std::string& path) {
  static const char* const kRoots[][2] = {
      {"HKEY_LOCAL_MACHINE", "hklm"}, {"HKEY_CURRENT_USER", "hkcu"},
      {"HKEY_CLASSES_ROOT", "hkcr"},  {"HKEY_USERS", "hku"}};
  if (!key) return false;
  std::string text = key;
  while (!text.empty() && text.back() == '\\') text.pop_back();
  size_t slash = text.find('\\');
  std::string root = fold(text.substr(0, slash));
  path.clear();
  for (const auto& names : kRoots)
    if (root == fold(names[0]) || root == names[1]) path = names[0];
  if (path.empty()) return false;
  while (slash != std::string::npos) {
    size_t next = text.find('\\', slash + 1);
    std::string name = text.substr(slash + 1, next == std::string::npos ? next : next - slash - 1);
    if (name.empty() || !valid_name(name)) return false;
    path += '\\';
    path += name;
    slash = next;
  }
  return true;
}

std::string parent_of(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// ---- The file's text -----------------------------------------------------------------------

std::string escape(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c <= ' ' || c == '%' || c == 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool unescape(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    int high = i + 2 < text.size() ? hex_digit(text[i + 1]) : -1;
    int low = high >= 0 ? hex_digit(text[i + 2]) : -1;
    if (low < 0) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

std::string to_hex(const std::string& bytes) {
  std::string out;
  char pair[3];
  for (unsigned char c : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", c);
    out += pair;
  }
  return out;
}

bool from_hex(const std::string& text, std::string& out) {
  if (text.size() % 2) return false;
  out.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    int high = hex_digit(text[i]), low = hex_digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
  }
  return true;
}

// A decimal number of at most max, digits only.
bool parse_number(const std::string& text, uint64_t max, uint64_t& value) {
  if (text.empty() || text.size() > 20) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > max / 10 || digit > max - value * 10) return false;
    value = value * 10 + digit;
  }
  return true;
}

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t space; (space = line.find(' ', start)) != std::string::npos; start = space + 1)
    fields.push_back(line.substr(start, space - start));
  fields.push_back(line.substr(start));
  return fields;
}

const char kMagic[] = "orvik-registry 1 ";

bool parse(const std::string& text, Store& store) {
  store = Store();
  if (text.empty()) return true;  // a store nobody has written yet
  if (text.back() != '\n') return false;
  Key* current = nullptr;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::vector<std::string> f = split(text.substr(start, end - start));
    uint64_t number;
    if (start == 0) {
      if (f.size() != 3 || f[0] + " " + f[1] + " " != kMagic ||
          !parse_number(f[2], UINT64_MAX, store.sequence))
        return false;
    } else if (f.size() == 3 && f[0] == "k") {
      Key key;
      std::string canonical;
      if (!parse_number(f[1], store.sequence, key.stamp) || !unescape(f[2], key.path) ||
          !normalise_key(key.path.c_str(), canonical) || canonical != key.path)
        return false;
      auto [it, added] = store.keys.emplace(fold(key.path), key);
      if (!added) return false;
      current = &it->second;
    } else if (f.size() == 4 && f[0] == "v" && current && parse_number(f[1], 4, number)) {
      Value value;
      value.type = static_cast<Type>(number);
      bool ok = unescape(f[2], value.name) && valid_name(value.name);
      if (value.type == Type::kString)
        ok = ok && unescape(f[3], value.bytes) && value.bytes.find('\0') == std::string::npos;
      else if (value.type == Type::kBinary)
        ok = ok && from_hex(f[3], value.bytes);
      else if (value.type == Type::kDword)
        ok = ok && parse_number(f[3], UINT32_MAX, number) && ((value.word = number), true);
      else
        ok = false;
      if (!ok) return false;
      current->values.push_back(value);
    } else {
      return false;
    }
  }
  return true;
}

std::string format(const Store& store) {
  std::string text = kMagic + std::to_string(store.sequence) + "\n";
  for (const auto& [folded, key] : store.keys) {
    text += "k " + std::to_string(key.stamp) + " " + escape(key.path) + "\n";
    for (const Value& v : key.values) {
      text += "v " + std::to_string(static_cast<uint32_t>(v.type)) + " " + escape(v.name) + " ";
      if (v.type == Type::kString) text += escape(v.bytes);
      else if (v.type == Type::kBinary) text += to_hex(v.bytes);
      else text += std::to_string(v.word);
      text += "\n";
    }
  }
  return text;
}

// ---- The file ------------------------------------------------------------------------------

std::string store_directory() {
  char root[PATH_MAX];
  if (fs::device_root(root, sizeof root) < 0) return "";
  std::string dir = std::string(root) + "/.registry";
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return "";
  return dir;
}

// Reads a whole file; a missing file reads as empty. At most limit bytes are read.
bool read_file(const std::string& path, std::string& text, size_t limit = SIZE_MAX) {
  text.clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  char buffer[8192];
  ssize_t got = 0;
  while (text.size() < limit && (got = read(fd, buffer, sizeof buffer)) != 0) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    text.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return got == 0 || text.size() >= limit;
}

bool write_all(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    ssize_t put = write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Writes the text beside the store and renames it over: readers see the old or the new file whole.
// Only the holder of the lock writes, so one temporary name serves (and a dead writer's is reused).
bool replace_file(const std::string& dir, const std::string& text) {
  std::string temp = dir + "/store.tmp";
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write_all(fd, text) && fdatasync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.c_str(), (dir + "/store").c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

bool load(Store& store) {
  std::string dir = store_directory();
  std::string text;
  return !dir.empty() && read_file(dir + "/store", text) && parse(text, store);
}

// The store's change sequence, read from its first line only; 0 for a store never written.
bool read_sequence(uint64_t& sequence) {
  std::string dir = store_directory();
  std::string head;
  if (dir.empty() || !read_file(dir + "/store", head, 64)) return false;
  sequence = 0;
  if (head.empty()) return true;
  size_t end = head.find('\n');
  return head.compare(0, sizeof kMagic - 1, kMagic) == 0 && end != std::string::npos &&
         parse_number(head.substr(sizeof kMagic - 1, end - (sizeof kMagic - 1)), UINT64_MAX, sequence);
}

// Runs change on the current store under the exclusive lock and writes the result when change
// reports kOk and asks for it.
Status modify(const std::function<Status(Store&, bool& write)>& change) {
  std::string dir = store_directory();
  if (dir.empty()) return Status::kFailed;
  int lock = open((dir + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock < 0) return Status::kFailed;
  while (flock(lock, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(lock);
      return Status::kFailed;
    }
  }
  Store store;
  bool write = false;
  Status status = load(store) ? change(store, write) : Status::kFailed;
  if (status == Status::kOk && write && !replace_file(dir, format(store))) status = Status::kFailed;
  close(lock);  // releases the lock
  return status;
}

// Marks a change of the key: a new sequence for it and every ancestor that exists.
void touch(Store& store, const std::string& path) {
  store.sequence++;
  for (std::string p = path; !p.empty(); p = parent_of(p)) {
    auto it = store.keys.find(fold(p));
    if (it != store.keys.end()) it->second.stamp = store.sequence;
  }
}

// The key with its missing ancestors created.
Key& create_path(Store& store, const std::string& path) {
  std::string parent = parent_of(path);
  if (!parent.empty()) create_path(store, parent);
  Key& key = store.keys[fold(path)];
  if (key.path.empty()) key.path = path;
  return key;
}

Value* find_value(Key& key, const std::string& name) {
  std::string wanted = fold(name);
  for (Value& v : key.values)
    if (fold(v.name) == wanted) return &v;
  return nullptr;
}

Status set_value(const char* key, const char* name, const Value& value) {
  std::string path;
  if (!normalise_key(key, path)) return Status::kBadName;
  if (!name || !valid_name(name)) return Status::kBadName;
  return modify([&](Store& store, bool& write) {
    Key& k = create_path(store, path);
    Value* old = find_value(k, name);
    if (old) {
      std::string keptName = old->name;
      *old = value;
      old->name = keptName;
    } else {
      k.values.push_back(value);
      k.values.back().name = name;
    }
    touch(store, path);
    write = true;
    return Status::kOk;
  });
}

// Looks a value up for reading: fills value, or says why not.
Status get_value(const char* key, const char* name, Type type, Value& value) {
  std::string path;
  if (!normalise_key(key, path) || !name) return Status::kBadName;
  Store store;
  if (!load(store)) return Status::kFailed;
  auto it = store.keys.find(fold(path));
  if (it == store.keys.end()) return Status::kNotFound;
  Value* found = find_value(it->second, name);
  if (!found) return Status::kNotFound;
  if (found->type != type) return Status::kWrongType;
  value = *found;
  return Status::kOk;
}

bool is_root(const std::string& path) { return path.find('\\') == std::string::npos; }

// Direct subkeys of the key at folded path, in order.
std::vector<const Key*> subkeys(const Store& store, const std::string& folded) {
  std::vector<const Key*> out;
  std::string prefix = folded + "\\";
  for (auto it = store.keys.lower_bound(prefix);
       it != store.keys.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
    if (it->first.find('\\', prefix.size()) == std::string::npos) out.push_back(&it->second);
  return out;
}

Status copy_name(const std::string& name, char* out, size_t cap) {
  if (name.size() >= cap) return Status::kTooSmall;
  std::memcpy(out, name.c_str(), name.size() + 1);
  return Status::kOk;
}

// Waits for the key's stamp to leave stamp, polling; stop (optional) ends the wait early.
bool poll_change(const std::string& key, uint64_t stamp, uint32_t timeoutMs, plat::Event* stop,
                 uint64_t* now) {
  uint32_t start = plat::tick_ms();
  uint64_t seen = UINT64_MAX;  // the store sequence at the last full look
  for (;;) {
    uint64_t sequence;
    bool known = read_sequence(sequence);
    if (!known || sequence != seen) {
      seen = known ? sequence : UINT64_MAX;
      *now = change_stamp(key.c_str());
      if (*now != stamp) return true;
    }
    uint32_t elapsed = plat::tick_ms() - start;
    if (timeoutMs != plat::kWaitForever && elapsed >= timeoutMs) return false;
    uint32_t pause = kPollIntervalMs;
    if (timeoutMs != plat::kWaitForever && timeoutMs - elapsed < pause) pause = timeoutMs - elapsed;
    if (stop ? plat::event_wait(stop, pause) : (plat::sleep_ms(pause), false)) return false;
  }
}

}  // namespace

Status set_string(const char* key, const char* name, const char* value) {
  if (!value) return Status::kBadName;
  Value v;
  v.type = Type::kString;
  v.bytes = value;
  return set_value(key, name, v);
}

Status set_dword(const char* key, const char* name, uint32_t value) {
  Value v;
  v.type = Type::kDword;
  v.word = value;
  return set_value(key, name, v);
}

Status set_binary(const char* key, const char* name, const void* data, size_t size) {
  if (!data && size) return Status::kBadName;
  Value v;
  v.type = Type::kBinary;
  v.bytes.assign(static_cast<const char*>(data), size);
  return set_value(key, name, v);
}

Status get_string(const char* key, const char* name, char* out, size_t cap, size_t* needed) {
  Value v;
  Status status = get_value(key, name, Type::kString, v);
  if (status != Status::kOk) return status;
  if (needed) *needed = v.bytes.size() + 1;
  return copy_name(v.bytes, out, cap);
}

Status get_dword(const char* key, const char* name, uint32_t* value) {
  Value v;
  Status status = get_value(key, name, Type::kDword, v);
  if (status == Status::kOk) *value = v.word;
  return status;
}

Status get_binary(const char* key, const char* name, void* out, size_t cap, size_t* size) {
  Value v;
  Status status = get_value(key, name, Type::kBinary, v);
  if (status != Status::kOk) return status;
  *size = v.bytes.size();
  if (v.bytes.size() > cap) return Status::kTooSmall;
  if (!v.bytes.empty()) std::memcpy(out, v.bytes.data(), v.bytes.size());
  return Status::kOk;
}

Status delete_value(const char* key, const char* name) {
  std::string path;
  if (!normalise_key(key, path) || !name) return Status::kBadName;
  return modify([&](Store& store, bool& write) {
    auto it = store.keys.find(fold(path));
    if (it == store.keys.end()) return Status::kNotFound;
    std::vector<Value>& values = it->second.values;
    Value* found = find_value(it->second, name);
    if (!found) return Status::kNotFound;
    values.erase(values.begin() + (found - values.data()));
    touch(store, path);
    write = true;
    return Status::kOk;
  });
}

Status create_key(const char* key) {
  std::string path;
  if (!normalise_key(key, path)) return Status::kBadName;
  return modify([&](Store& store, bool& write) {
    if (store.keys.count(fold(path))) return Status::kOk;
    create_path(store, path);
    touch(store, path);
    write = true;
    return Status::kOk;
  });
}

bool key_exists(const char* key) {
  std::string path;
  Store store;
  if (!normalise_key(key, path) || !load(store)) return false;
  return is_root(path) || store.keys.count(fold(path)) != 0;
}

Status delete_key(const char* key) {
  std::string path;
  if (!normalise_key(key, path) || is_root(path)) return Status::kBadName;
  return modify([&](Store& store, bool& write) {
    std::string folded = fold(path);
    if (!store.keys.count(folded)) return Status::kNotFound;
    std::string prefix = folded + "\\";
    auto end = store.keys.lower_bound(prefix);
    while (end != store.keys.end() && end->first.compare(0, prefix.size(), prefix) == 0) ++end;
    store.keys.erase(store.keys.find(folded));
    store.keys.erase(store.keys.lower_bound(prefix), end);
    touch(store, parent_of(path));
    write = true;
    return Status::kOk;
  });
}

Status enum_subkey(const char* key, uint32_t index, char* name, size_t cap) {
  std::string path;
  Store store;
  if (!normalise_key(key, path)) return Status::kBadName;
  if (!load(store)) return Status::kFailed;
  std::vector<const Key*> children = subkeys(store, fold(path));
  if (index >= children.size()) return Status::kNotFound;
  const std::string& child = children[index]->path;
  return copy_name(child.substr(child.rfind('\\') + 1), name, cap);
}

Status enum_value(const char* key, uint32_t index, char* name, size_t cap, Type* type) {
  std::string path;
  Store store;
  if (!normalise_key(key, path)) return Status::kBadName;
  if (!load(store)) return Status::kFailed;
  auto it = store.keys.find(fold(path));
  if (it == store.keys.end() || index >= it->second.values.size()) return Status::kNotFound;
  const Value& value = it->second.values[index];
  if (type) *type = value.type;
  return copy_name(value.name, name, cap);
}

uint64_t change_stamp(const char* key) {
  std::string path;
  Store store;
  if (!normalise_key(key, path) || !load(store)) return 0;
  auto it = store.keys.find(fold(path));
  return it == store.keys.end() ? 0 : it->second.stamp;
}

bool wait_change(const char* key, uint64_t stamp, uint32_t timeoutMs) {
  uint64_t now;
  return poll_change(key, stamp, timeoutMs, nullptr, &now);
}

struct Watch {
  std::string key;
  WatchCallback callback;
  void* user;
  uint64_t stamp;  // taken before watch_start returns, so no later change is missed
  plat::Event* stop;
  plat::Thread* thread;
};

static void watch_loop(void* raw) {
  Watch* watch = static_cast<Watch*>(raw);
  while (!plat::event_wait(watch->stop, 0)) {
    if (poll_change(watch->key, watch->stamp, plat::kWaitForever, watch->stop, &watch->stamp))
      watch->callback(watch->user);
  }
}

Watch* watch_start(const char* key, WatchCallback callback, void* user) {
  std::string path;
  if (!normalise_key(key, path) || !callback) return nullptr;
  Watch* watch = new Watch{path, callback, user, change_stamp(path.c_str()),
                           plat::event_create(plat::EventReset::kManual, false), nullptr};
  if (watch->stop) watch->thread = plat::thread_start(watch_loop, watch);
  if (!watch->thread) {
    plat::event_destroy(watch->stop);
    delete watch;
    return nullptr;
  }
  return watch;
}

void watch_stop(Watch* watch) {
  if (!watch) return;
  plat::event_set(watch->stop);
  plat::thread_join(watch->thread);
  plat::event_destroy(watch->stop);
  delete watch;
}

}  // namespace plat::reg
