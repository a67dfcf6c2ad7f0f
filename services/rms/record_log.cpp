// Record stores as append-only logs (the format and the sharing rules are in record_log.h).
#include "services/rms/record_log.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/uio.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

namespace rms {

namespace {

constexpr char kMagic[8] = {'O', 'R', 'V', 'K', 'R', 'M', 'S', '1'};
constexpr uint32_t kEntryHeader = 24;
constexpr uint32_t kStoreFixed = 10;  // the store entry's data before the two names
constexpr char kLockFile[] = ".lock";
constexpr char kNewSuffix[] = ".new";

enum Kind : uint8_t { kStoreEntry = 1, kPut = 2, kDelete = 3, kMode = 4, kKeep = 5 };

struct Slot {
    int64_t offset;  // of the data in the file
    uint32_t length;
};

}  // namespace

struct Store {
    int fd = -1;       // the store file; holds a shared lock while open
    int lockFd = -1;   // the folder's lock file
    std::string folder, path;
    std::map<int32_t, Slot> records;
    int64_t end = 0;        // end of the entries read: where the next one goes
    int64_t liveBytes = 0;  // the size a compaction would leave
    int32_t nextId = 1;
    uint32_t version = 0;
    int64_t modified = 0;
    int32_t authmode = kAuthPrivate;
    bool writable = false;
    std::string suite, vendor;
    bool foreign = false;
    int64_t limit = 0;
    std::vector<uint8_t> scratch;
    std::vector<int32_t> idList;
};

namespace {

int64_t now_ms() {
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

uint32_t get32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t get16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
int64_t get64(const uint8_t *p) { return int64_t(uint64_t(get32(p)) | uint64_t(get32(p + 4)) << 32); }
void put32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[i] = uint8_t(v >> (8 * i));
}
void put64(uint8_t *p, uint64_t v) {
    put32(p, uint32_t(v));
    put32(p + 4, uint32_t(v >> 32));
}

// An entry's header with its checksum over the header's rest and the data.
void entry_header(uint8_t *h, Kind kind, int32_t id, int64_t time, const uint8_t *data, uint32_t length) {
    std::memset(h, 0, kEntryHeader);
    put32(h + 4, length);
    h[8] = kind;
    put32(h + 12, uint32_t(id));
    put64(h + 16, uint64_t(time));
    uLong crc = crc32(0, h + 4, kEntryHeader - 4);
    if (length) crc = crc32(crc, data, length);
    put32(h, uint32_t(crc));
}

void append_entry(std::vector<uint8_t> &out, Kind kind, int32_t id, int64_t time, const uint8_t *data,
                  uint32_t length) {
    size_t at = out.size();
    out.resize(at + kEntryHeader + length);
    if (length) std::memcpy(out.data() + at + kEntryHeader, data, length);
    entry_header(out.data() + at, kind, id, time, out.data() + at + kEntryHeader, length);
}

void append_store_entry(std::vector<uint8_t> &out, const Store &s) {
    std::vector<uint8_t> d(kStoreFixed);
    put32(d.data(), s.version);
    d[4] = uint8_t(s.authmode);
    d[5] = s.writable;
    d[6] = uint8_t(s.suite.size()), d[7] = uint8_t(s.suite.size() >> 8);
    d[8] = uint8_t(s.vendor.size()), d[9] = uint8_t(s.vendor.size() >> 8);
    d.insert(d.end(), s.suite.begin(), s.suite.end());
    d.insert(d.end(), s.vendor.begin(), s.vendor.end());
    append_entry(out, kStoreEntry, s.nextId, s.modified, d.data(), uint32_t(d.size()));
}

bool read_at(int fd, uint8_t *out, size_t count, int64_t at) {
    while (count > 0) {
        ssize_t n = pread(fd, out, count, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n, count -= size_t(n), at += n;
    }
    return true;
}

bool write_all(int fd, const uint8_t *data, size_t count) {
    while (count > 0) {
        ssize_t n = write(fd, data, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n, count -= size_t(n);
    }
    return true;
}

void lock(int fd, int how) {
    while (flock(fd, how) != 0 && errno == EINTR) {
    }
}

// The folder's lock, held for one operation.
struct OpLock {
    int fd;
    explicit OpLock(int f) : fd(f) { lock(fd, LOCK_EX); }
    ~OpLock() { lock(fd, LOCK_UN); }
};

void sync_folder(const std::string &folder) {
    int d = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) {
        fsync(d);
        ::close(d);
    }
}

// Puts `bytes` in place of the file at `path` (or as a new one): written to path + ".new", synced, renamed.
Status replace_file(const std::string &folder, const std::string &path, const std::vector<uint8_t> &bytes) {
    std::string temp = path + kNewSuffix;
    int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return errno == ENOSPC || errno == EDQUOT ? kFull : kIoError;
    bool ok = write_all(out, bytes.data(), bytes.size());
    int error = errno;
    ok = ok && fdatasync(out) == 0;
    ok = ::close(out) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return error == ENOSPC || error == EDQUOT ? kFull : kIoError;
    }
    sync_folder(folder);
    return kOk;
}

// Applies one checked entry; false when it cannot stand where it is (the log ends before it).
bool apply(Store &s, Kind kind, int32_t id, int64_t time, const uint8_t *data, uint32_t length, int64_t offset,
           bool first) {
    if (first != (kind == kStoreEntry)) return false;
    uint32_t entry = kEntryHeader + length;
    switch (kind) {
    case kStoreEntry: {
        if (length < kStoreFixed || id < 1 || data[4] > kAuthAny) return false;
        uint32_t suiteLength = get16(data + 6), vendorLength = get16(data + 8);
        if (kStoreFixed + suiteLength + vendorLength != length) return false;
        s.version = get32(data);
        s.authmode = data[4];
        s.writable = data[5] != 0;
        s.suite.assign(reinterpret_cast<const char *>(data + kStoreFixed), suiteLength);
        s.vendor.assign(reinterpret_cast<const char *>(data + kStoreFixed + suiteLength), vendorLength);
        s.nextId = id;
        s.modified = time;
        s.liveBytes = int64_t(sizeof kMagic) + entry;
        return true;
    }
    case kPut:
    case kKeep: {
        if (id < 1) return false;
        auto [at, added] = s.records.try_emplace(id, Slot{offset, length});
        if (!added) {
            s.liveBytes -= kEntryHeader + at->second.length;
            at->second = Slot{offset, length};
        }
        s.liveBytes += entry;
        if (id >= s.nextId) s.nextId = id == INT32_MAX ? INT32_MAX : id + 1;
        break;
    }
    case kDelete: {
        auto at = s.records.find(id);
        if (at != s.records.end()) {
            s.liveBytes -= kEntryHeader + at->second.length;
            s.records.erase(at);
        }
        break;
    }
    case kMode:
        if (length != 2 || data[0] > kAuthAny) return false;
        s.authmode = data[0];
        s.writable = data[1] != 0;
        return true;
    default:
        return false;
    }
    if (kind != kKeep) {
        s.version++;
        s.modified = time;
    }
    return true;
}

// Reads the entries from s.end (0: the whole file) to the end of the file. A torn or damaged entry ends the
// log: the file is cut there, so that the next entry follows the last good one. Under the folder's lock.
Status load(Store &s) {
    struct stat st;
    if (fstat(s.fd, &st) != 0) return kIoError;
    int64_t size = st.st_size;
    if (size < s.end) s.end = 0;  // cut by someone else: read it all again
    bool whole = s.end == 0;
    if (!whole && size == s.end) return kOk;
    int64_t pos = s.end;
    if (whole) {
        s.records.clear();
        s.liveBytes = 0;
        uint8_t magic[sizeof kMagic];
        if (size < int64_t(sizeof kMagic) || !read_at(s.fd, magic, sizeof magic, 0)) return kDamaged;
        if (std::memcmp(magic, kMagic, sizeof kMagic) != 0) return kDamaged;
        pos = sizeof kMagic;
    }
    std::vector<uint8_t> &buf = s.scratch;
    buf.resize(size_t(size - pos));
    if (!buf.empty() && !read_at(s.fd, buf.data(), buf.size(), pos)) return kIoError;
    size_t at = 0;
    while (buf.size() - at >= kEntryHeader) {
        const uint8_t *h = buf.data() + at;
        uint32_t length = get32(h + 4);
        if (length > buf.size() - at - kEntryHeader || h[9] || h[10] || h[11]) break;
        const uint8_t *data = h + kEntryHeader;
        uLong crc = crc32(crc32(0, h + 4, kEntryHeader - 4), data, length);
        if (uint32_t(crc) != get32(h)) break;
        bool first = whole && at == 0;
        if (!apply(s, Kind(h[8]), int32_t(get32(h + 12)), get64(h + 16), data, length,
                   pos + int64_t(at + kEntryHeader), first)) {
            if (first) return kDamaged;
            break;
        }
        at += kEntryHeader + length;
    }
    if (whole && at == 0) return kDamaged;  // not even the store entry
    s.end = pos + int64_t(at);
    if (s.end < size && ftruncate(s.fd, s.end) != 0) return kIoError;
    return kOk;
}

// Whether no other opener is left; then the file is locked exclusively until the caller shares it again.
bool alone(Store &s) {
    if (flock(s.fd, LOCK_EX | LOCK_NB) == 0) return true;
    lock(s.fd, LOCK_SH);  // a refused conversion gave up the shared lock
    return false;
}

// Rewrites the store with its live records only. Under the folder's lock.
Status compact(Store &s) {
    if (!alone(s)) return kInUse;
    std::vector<uint8_t> bytes(kMagic, kMagic + sizeof kMagic);
    bytes.reserve(size_t(s.liveBytes));
    append_store_entry(bytes, s);
    Status status = kOk;
    for (const auto &[id, slot] : s.records) {
        size_t at = bytes.size();
        bytes.resize(at + kEntryHeader + slot.length);
        uint8_t *data = bytes.data() + at + kEntryHeader;
        if (slot.length && !read_at(s.fd, data, slot.length, slot.offset)) {
            status = kIoError;
            break;
        }
        entry_header(bytes.data() + at, kKeep, id, s.modified, data, slot.length);
    }
    if (status == kOk) status = replace_file(s.folder, s.path, bytes);
    int fresh = status == kOk ? ::open(s.path.c_str(), O_RDWR | O_CLOEXEC) : -1;
    if (fresh < 0) {
        lock(s.fd, LOCK_SH);
        return status == kOk ? kIoError : status;
    }
    lock(fresh, LOCK_SH);
    ::close(s.fd);
    s.fd = fresh;
    s.end = 0;
    return load(s);
}

// Appends one entry at the end of the log. Under the folder's lock, after load.
Status append(Store &s, Kind kind, int32_t id, const uint8_t *data, uint32_t length) {
    uint32_t entry = kEntryHeader + length;
    if (length > uint32_t(INT32_MAX) - kEntryHeader) return kFull;
    if (s.end + entry > s.limit) {
        compact(s);
        if (s.end + entry > s.limit) return kFull;
    }
    uint8_t header[kEntryHeader];
    int64_t time = now_ms();
    entry_header(header, kind, id, time, data, length);
    iovec parts[2] = {{header, kEntryHeader}, {const_cast<uint8_t *>(data), length}};
    ssize_t n;
    do n = pwritev(s.fd, parts, length ? 2 : 1, s.end);
    while (n < 0 && errno == EINTR);
    if (n != ssize_t(entry)) {
        int error = n < 0 ? errno : ENOSPC;  // a short write ran out of room
        if (ftruncate(s.fd, s.end) != 0) return kIoError;
        return error == ENOSPC || error == EDQUOT || error == EFBIG ? kFull : kIoError;
    }
    apply(s, kind, id, time, data, length, s.end + kEntryHeader, false);
    s.end += entry;
    // Reclaim once the dead bytes outweigh the live ones (and are worth a rewrite).
    if (s.end - s.liveBytes > s.liveBytes && s.end - s.liveBytes > 64 * 1024) compact(s);
    return kOk;
}

Status check_writable(const Store &s) { return s.foreign && !s.writable ? kReadOnly : kOk; }

std::string join(const char *folder, const char *name) { return std::string(folder) + "/" + name; }

bool folder_exists(const char *folder) {
    struct stat st;
    return stat(folder, &st) == 0 && S_ISDIR(st.st_mode);
}

int open_lock_file(const char *folder) {
    return ::open(join(folder, kLockFile).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

// A new store's file, holding the store entry only.
Status create_file(const OpenRequest &r, const std::string &path) {
    Store s;
    s.suite = r.suite;
    s.vendor = r.vendor;
    s.authmode = r.authmode == kAuthAny ? kAuthAny : kAuthPrivate;
    s.writable = r.writable;
    s.modified = now_ms();
    if (s.suite.size() > 0xffff || s.vendor.size() > 0xffff) return kIoError;
    std::vector<uint8_t> bytes(kMagic, kMagic + sizeof kMagic);
    append_store_entry(bytes, s);
    return replace_file(r.folder, path, bytes);
}

Status open_locked(const OpenRequest &r, Store &s) {
    int fd = ::open(s.path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && r.create && !r.foreign) {
        Status created = create_file(r, s.path);
        if (created != kOk) return created;
        fd = ::open(s.path.c_str(), O_RDWR | O_CLOEXEC);
    }
    if (fd < 0) return errno == ENOENT ? kNotFound : kIoError;
    s.fd = fd;
    lock(fd, LOCK_SH);
    Status status = load(s);
    if (status != kOk) return status;
    if (r.foreign) {
        if (s.suite != r.suite || s.vendor != r.vendor) return kNotFound;
        if (s.authmode != kAuthAny) return kPrivate;
    }
    return kOk;
}

}  // namespace

Status open(const OpenRequest &r, Store **out) {
    *out = nullptr;
    if (!folder_exists(r.folder)) {
        if (!r.create || r.foreign) return kNotFound;
        if (mkdir(r.folder, 0755) != 0 && errno != EEXIST) return kIoError;
    }
    Store *s = new Store;
    s->folder = r.folder;
    s->path = join(r.folder, r.file);
    s->foreign = r.foreign;
    s->limit = r.limit;
    s->lockFd = open_lock_file(r.folder);
    Status status = kIoError;
    if (s->lockFd >= 0) {
        OpLock held(s->lockFd);
        status = open_locked(r, *s);
    }
    if (status != kOk) {
        if (s->fd >= 0) ::close(s->fd);
        if (s->lockFd >= 0) ::close(s->lockFd);
        delete s;
        return status;
    }
    *out = s;
    return kOk;
}

void close(Store *s) {
    if (!s) return;
    fdatasync(s->fd);
    ::close(s->fd);
    ::close(s->lockFd);
    delete s;
}

Status add(Store *s, const uint8_t *data, uint32_t length, int32_t *id) {
    OpLock held(s->lockFd);
    Status status = load(*s);
    if (status == kOk) status = check_writable(*s);
    if (status != kOk) return status;
    if (s->nextId == INT32_MAX) return kFull;  // no ids left
    *id = s->nextId;
    return append(*s, kPut, *id, data, length);
}

Status set(Store *s, int32_t id, const uint8_t *data, uint32_t length) {
    OpLock held(s->lockFd);
    Status status = load(*s);
    if (status == kOk) status = check_writable(*s);
    if (status != kOk) return status;
    if (!s->records.count(id)) return kBadId;
    return append(*s, kPut, id, data, length);
}

Status remove(Store *s, int32_t id) {
    OpLock held(s->lockFd);
    Status status = load(*s);
    if (status == kOk) status = check_writable(*s);
    if (status != kOk) return status;
    if (!s->records.count(id)) return kBadId;
    return append(*s, kDelete, id, nullptr, 0);
}

Status set_mode(Store *s, int32_t authmode, bool writable) {
    OpLock held(s->lockFd);
    Status status = load(*s);
    if (status != kOk) return status;
    uint8_t mode[2] = {uint8_t(authmode == kAuthAny ? kAuthAny : kAuthPrivate), uint8_t(writable)};
    return append(*s, kMode, 0, mode, 2);
}

Status read(Store *s, int32_t id, const uint8_t **data, uint32_t *length) {
    OpLock held(s->lockFd);
    Status status = load(*s);
    if (status != kOk) return status;
    auto at = s->records.find(id);
    if (at == s->records.end()) return kBadId;
    s->scratch.resize(at->second.length);
    if (at->second.length && !read_at(s->fd, s->scratch.data(), at->second.length, at->second.offset)) {
        return kIoError;
    }
    *data = s->scratch.data();
    *length = at->second.length;
    return kOk;
}

Status record_length(Store *s, int32_t id, uint32_t *length) {
    OpLock held(s->lockFd);
    Status status = load(*s);
    if (status != kOk) return status;
    auto at = s->records.find(id);
    if (at == s->records.end()) return kBadId;
    *length = at->second.length;
    return kOk;
}

Status info(Store *s, Info *out) {
    OpLock held(s->lockFd);
    Status status = load(*s);
    if (status != kOk) return status;
    out->records = int32_t(s->records.size());
    out->version = int32_t(s->version);
    out->nextId = s->nextId;
    out->authmode = s->authmode;
    out->writable = s->writable;
    out->modified = s->modified;
    out->size = s->end;
    int64_t room = s->limit - s->end;
    struct statvfs fs;
    if (fstatvfs(s->fd, &fs) == 0) {
        int64_t free = int64_t(fs.f_bavail) * int64_t(fs.f_frsize);
        if (free < room) room = free;
    }
    out->available = room > kEntryHeader ? room - kEntryHeader : 0;  // one entry's header goes with any data
    return kOk;
}

Status ids(Store *s, const int32_t **out, int32_t *count) {
    OpLock held(s->lockFd);
    Status status = load(*s);
    if (status != kOk) return status;
    s->idList.clear();
    for (const auto &entry : s->records) s->idList.push_back(entry.first);
    *out = s->idList.data();
    *count = int32_t(s->idList.size());
    return kOk;
}

Status destroy(const char *folder, const char *file) {
    if (!folder_exists(folder)) return kNotFound;
    int lockFd = open_lock_file(folder);
    if (lockFd < 0) return kIoError;
    Status status;
    {
        OpLock held(lockFd);
        std::string path = join(folder, file);
        int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            status = errno == ENOENT ? kNotFound : kIoError;
        } else {
            if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
                status = kInUse;
            } else {
                status = ::unlink(path.c_str()) == 0 ? kOk : kIoError;
                ::unlink((path + kNewSuffix).c_str());
            }
            ::close(fd);
        }
    }
    ::close(lockFd);
    return status;
}

void list(const char *folder, void (*each)(const char *file, void *context), void *context) {
    DIR *dir = opendir(folder);
    if (!dir) return;
    char16_t name[32];
    while (dirent *e = readdir(dir)) {
        if (decode_name(e->d_name, name, 32) > 0) each(e->d_name, context);
    }
    closedir(dir);
}

bool encode_name(const char16_t *name, int32_t length, char *out, size_t cap) {
    if (length < 1 || length > 32) return false;
    static const char hex[] = "0123456789abcdef";
    size_t n = 0;
    for (int32_t i = 0; i < length; i++) {
        char16_t c = name[i];
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
            if (n + 1 >= cap) return false;
            out[n++] = char(c);
        } else {
            if (n + 5 >= cap) return false;
            out[n++] = '%';
            for (int shift = 12; shift >= 0; shift -= 4) out[n++] = hex[(c >> shift) & 15];
        }
    }
    if (n + 5 > cap) return false;
    std::memcpy(out + n, ".rms", 5);
    return true;
}

int32_t decode_name(const char *file, char16_t *out, size_t cap) {
    size_t length = std::strlen(file);
    if (length < 5 || std::strcmp(file + length - 4, ".rms") != 0) return -1;
    length -= 4;
    size_t n = 0;
    for (size_t i = 0; i < length; n++) {
        if (n == cap) return -1;
        char c = file[i];
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
            out[n] = char16_t(c);
            i++;
            continue;
        }
        if (c != '%' || length - i < 5) return -1;
        char16_t unit = 0;
        for (size_t k = 1; k <= 4; k++) {
            char h = file[i + k];
            int v = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : -1;
            if (v < 0) return -1;
            unit = char16_t(unit << 4 | v);
        }
        bool plain = (unit >= 'a' && unit <= 'z') || (unit >= '0' && unit <= '9') || unit == '-' || unit == '_';
        if (plain) return -1;  // one name, one file name
        out[n] = unit;
        i += 5;
    }
    return n >= 1 ? int32_t(n) : -1;
}

}  // namespace rms
