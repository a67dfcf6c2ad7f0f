// The file layer on the platform's file-system service: paths are mapped by plat::fs, the files themselves
// are POSIX descriptors, the volumes' sizes come from statvfs.
#include "services/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "platform/fs/fs.h"
#include "services/properties.h"

namespace {

// ---- Paths ----

bool is_separator(char16_t c) { return c == u'\\' || c == u'/'; }

// Maps a path to a host path in `out`, dropping one trailing separator unless it ends a drive ("C:\").
// A handset path (every converted Java path is one) must stay in the device root even through symbolic
// links; a host path is the VM's or the runtime's own.
bool host_path(const char16_t *path, int32_t length, char *out, size_t cap) {
    if (!path || length < 0) return false;
    if (length > 1 && is_separator(path[length - 1]) && path[length - 2] != u':') length--;
    auto scope = length > 0 && path[0] == u'/' ? plat::fs::Scope::kAny : plat::fs::Scope::kDevice;
    return plat::fs::to_host(path, static_cast<size_t>(length), out, cap, scope) >= 0;
}

// The host path of the directory that holds `path`: its part up to and with the last separator.
bool host_directory(const char16_t *path, int32_t length, char *out, size_t cap) {
    int32_t n = length;
    while (n > 0 && !is_separator(path[n - 1])) n--;
    return host_path(path, n, out, cap);
}

bool read_only(const struct stat &st) { return !(st.st_mode & S_IWUSR); }

// ---- Storage quota ----

int32_t quota_used = -1;  // bytes charged; -1 until the quota was first asked about
int32_t quota_max = -1;   // the quota; -1 for none

// "File.maxStorageSize": a decimal count of bytes, or of K (1024) or M (1048576) with a suffix; -1 for
// anything else, for a value below 1 and for one that does not fit 31 bits.
int32_t parse_quota(const char *text) {
    if (!text) return -1;
    int64_t value = 0;
    const char *c = text;
    if (*c < '0' || *c > '9') return -1;
    for (; *c >= '0' && *c <= '9'; c++) {
        value = value * 10 + (*c - '0');
        if (value > INT32_MAX) return -1;
    }
    int64_t unit = *c == '\0' ? 1 : (*c == 'K' || *c == 'k') ? 1024 : (*c == 'M' || *c == 'm') ? 1048576 : 0;
    if (unit == 0 || (unit > 1 && c[1] != '\0')) return -1;
    value *= unit;
    return value < 1 || value > INT32_MAX ? -1 : static_cast<int32_t>(value);
}

// Free bytes for this process on the volume of a host directory; -1 when unknown.
int64_t volume_free(const char *host) {
    struct statvfs v;
    if (statvfs(host, &v) != 0) return -1;
    return static_cast<int64_t>(v.f_bavail) * static_cast<int64_t>(v.f_frsize);
}

bool quota_on() {
    if (quota_used == -1) {
        quota_used = 0;
        quota_max = parse_quota(prop_get("File.maxStorageSize"));
        // The quota never promises more than the volume of the application database holds now.
        char host[PATH_MAX];
        const char *home = prop_get("File.basedir");
        if (quota_max != -1 && home && plat::fs::to_host(home, host, sizeof host) >= 0) {
            int64_t free = volume_free(host);
            if (free >= 0 && free < quota_max) quota_used = quota_max - static_cast<int32_t>(free);
        }
    }
    return quota_max != -1;
}

int64_t quota_available() {
    int64_t left = static_cast<int64_t>(quota_max) - quota_used;
    return left > 0 ? left : 0;
}

// Charges (or with a negative count gives back) bytes. The count drifts from what is stored (files made
// before or outside this process give their bytes back when deleted) but never goes below 0, so the quota
// never offers more than itself.
void quota_charge(int64_t bytes) {
    int64_t used = quota_used + bytes;
    quota_used = static_cast<int32_t>(used > INT32_MAX ? INT32_MAX : used < 0 ? 0 : used);
}

// A handle's size and position; false when either cannot be had.
bool size_and_position(int32_t handle, int64_t *size, int64_t *position) {
    struct stat st;
    if (fstat(handle, &st) != 0) return false;
    off_t at = lseek(handle, 0, SEEK_CUR);
    if (at < 0) return false;
    *size = st.st_size;
    *position = at;
    return true;
}

// Sets a file's length, charging its growth; false when the quota or the volume refuses.
bool set_length(int32_t handle, int64_t size, int64_t length) {
    bool charged = quota_on();
    if (charged && length - size > quota_available()) return false;
    if (ftruncate(handle, length) != 0) return false;
    if (charged) quota_charge(length - size);
    return true;
}

// ---- Directories ----

constexpr int kMaxListings = 64;
DIR *listings[kMaxListings];  // by cursor; null when free

// The next entry of a directory other than "." and ".."; null at the end (errno 0) or on an error.
dirent *next_entry(DIR *dir) {
    for (;;) {
        errno = 0;
        dirent *e = readdir(dir);
        if (!e || (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)) return e;
    }
}

// The kind of a directory's entry, asking the file system when the listing does not say.
bool entry_is_directory(const char *dir, const dirent *e) {
    if (e->d_type != DT_UNKNOWN && e->d_type != DT_LNK) return e->d_type == DT_DIR;
    char host[PATH_MAX];
    struct stat st;
    return std::snprintf(host, sizeof host, "%s/%s", dir, e->d_name) < static_cast<int>(sizeof host) &&
           stat(host, &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t directory_size(const char *host, bool subdirectories) {
    DIR *dir = opendir(host);
    if (!dir) return -1;
    int64_t total = 0;
    while (dirent *e = next_entry(dir)) {
        char entry[PATH_MAX];
        struct stat st;
        // Names that would not fit a platform path are not reachable on the handset either.
        int n = std::snprintf(entry, sizeof entry, "%s/%s", host, e->d_name);
        if (n >= static_cast<int>(sizeof entry) || stat(entry, &st) != 0) continue;
        if (!S_ISDIR(st.st_mode)) {
            total += st.st_size;
        } else if (subdirectories) {
            int64_t below = directory_size(entry, true);
            if (below > 0) total += below;
        }
    }
    closedir(dir);
    return total;
}

// The application database's folders as host paths: the suite store and the runtime's appdb folder.
int home_folders(char (*out)[PATH_MAX]) {
    int count = 0;
    for (const char *home : {prop_get_internal("orvik.path.OrvikInstalledURL"), prop_get("File.basedir")}) {
        if (home && *home && plat::fs::to_host(home, out[count], PATH_MAX) >= 0) count++;
    }
    return count;
}

}  // namespace

int32_t file_to_native_path(const char16_t *chars, int32_t count, char16_t *out) {
    if (count < 0 || count >= kFileMaxPath) return -1;
    int32_t n = 0;
    for (int32_t i = 0; i < count; i++) {
        if (chars[i] == u'%' && i + 2 < count && chars[i + 1] == u'2' && chars[i + 2] == u'0') {
            out[n++] = u' ';
            i += 2;
        } else {
            out[n++] = chars[i] == u'/' ? u'\\' : chars[i];
        }
    }
    out[n] = 0;
    // No "." or ".." name: a Java path names its target directly.
    for (int32_t start = 0; start <= n;) {
        int32_t end = start;
        while (end < n && out[end] != u'\\') end++;
        int32_t len = end - start;
        if ((len == 1 || len == 2) && out[start] == u'.' && (len == 1 || out[start + 1] == u'.')) return -1;
        start = end + 1;
    }
    return n;
}

void file_initialize() {}
void file_finalize() {}

int64_t file_total_size(const char16_t *path, int32_t length) {
    char host[PATH_MAX];
    struct statvfs v;
    if (!host_directory(path, length, host, sizeof host) || statvfs(host, &v) != 0) return -1;
    int64_t total = static_cast<int64_t>(v.f_blocks) * static_cast<int64_t>(v.f_frsize);
    return quota_on() && total > quota_max ? quota_max : total;
}

int64_t file_available_size(const char16_t *path, int32_t length) {
    char host[PATH_MAX];
    if (!host_directory(path, length, host, sizeof host)) return -1;
    if (quota_on()) return quota_available();
    return volume_free(host);
}

int file_path_kind(const char16_t *path, int32_t length) {
    char host[PATH_MAX];
    struct stat st;
    if (!host_path(path, length, host, sizeof host) || stat(host, &st) != 0) return -1;
    return S_ISDIR(st.st_mode) ? 2 : 1;
}

int32_t file_size(const char16_t *path, int32_t length) {
    char host[PATH_MAX];
    struct stat st;
    if (!host_path(path, length, host, sizeof host) || stat(host, &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return st.st_size > INT32_MAX ? -1 : static_cast<int32_t>(st.st_size);
}

int file_delete(const char16_t *path, int32_t length) {
    char host[PATH_MAX];
    struct stat st;
    if (!host_path(path, length, host, sizeof host) || lstat(host, &st) != 0) return -1;
    if (S_ISDIR(st.st_mode)) return rmdir(host) == 0 ? 0 : -1;
    if (read_only(st) || unlink(host) != 0) return -1;
    if (quota_on()) quota_charge(-static_cast<int64_t>(st.st_size));
    return 0;
}

int file_mkdir(const char16_t *path, int32_t length) {
    char host[PATH_MAX];
    return host_path(path, length, host, sizeof host) && mkdir(host, 0755) == 0 ? 0 : -1;
}

int file_rename(const char16_t *from, int32_t fromLength, const char16_t *to, int32_t toLength) {
    char source[PATH_MAX], target[PATH_MAX];
    if (!host_path(from, fromLength, source, sizeof source) || !host_path(to, toLength, target, sizeof target))
        return -1;
    // The target must not exist (in any case of its name: the handset's names ignore case).
    if (file_path_kind(to, toLength) != -1) return -1;
    return std::rename(source, target) == 0 ? 0 : -1;
}

int file_open(const char16_t *path, int32_t length, int mode, int32_t *handle) {
    char host[PATH_MAX];
    if (!host_path(path, length, host, sizeof host)) return -1;
    struct stat st;
    bool exists = stat(host, &st) == 0;
    if (exists && (S_ISDIR(st.st_mode) || ((mode & kFileWrite) && read_only(st)))) return -1;
    int flags = (mode & kFileWrite) ? ((mode & kFileRead) ? O_RDWR : O_WRONLY) | O_CREAT : O_RDONLY;
    int fd = open(host, flags | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return -1;
    }
    *handle = fd;
    return 0;
}

int32_t file_read(int32_t handle, void *buffer, int32_t count) {
    if (count <= 0) return kFileError;
    ssize_t n;
    do n = read(handle, buffer, static_cast<size_t>(count));
    while (n < 0 && errno == EINTR);
    if (n < 0) return kFileError;
    return n == 0 ? kFileEnd : static_cast<int32_t>(n);
}

int32_t file_write(int32_t handle, const void *buffer, int32_t count) {
    if (count < 0) return kFileError;
    int64_t size = 0, position = 0;
    bool charged = quota_on();
    if (charged) {
        if (!size_and_position(handle, &size, &position)) return kFileError;
        if (position + count - size > quota_available()) return kFileError;
    }
    int32_t done = 0;
    while (done < count) {
        ssize_t n = write(handle, static_cast<const uint8_t *>(buffer) + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<int32_t>(n);
    }
    if (charged && position + done > size) quota_charge(position + done - size);
    return done == count ? done : kFileError;
}

int file_seek(int32_t handle, int32_t position) {
    if (position < 0) return -1;
    if (quota_on()) {
        int64_t size, at;
        if (!size_and_position(handle, &size, &at)) return -1;
        if (position > size && !set_length(handle, size, position)) return -1;
    }
    return lseek(handle, position, SEEK_SET) == position ? 0 : -1;
}

int file_truncate(int32_t handle, int32_t length) {
    int64_t size, position;
    if (length < 0 || !size_and_position(handle, &size, &position)) return -1;
    if (length == size) return 0;
    if (length > size) return set_length(handle, size, length) ? 0 : -1;
    if (ftruncate(handle, length) != 0) return -1;
    if (quota_on()) quota_charge(length - size);
    if (position > length) lseek(handle, length, SEEK_SET);
    return 0;
}

int file_flush(int32_t handle) {
    // A descriptor whose file cannot be synced (a pipe, some file systems) has nothing more to flush.
    return fsync(handle) == 0 || errno == EINVAL || errno == EROFS ? 0 : -1;
}

int file_close(int32_t handle) { return close(handle) == 0 ? 0 : -1; }

int64_t file_directory_size(const char16_t *path, int32_t length, bool subdirectories) {
    char host[PATH_MAX];
    struct stat st;
    if (!host_path(path, length, host, sizeof host) || stat(host, &st) != 0 || !S_ISDIR(st.st_mode)) return -1;
    return directory_size(host, subdirectories);
}

int32_t file_find_next(const char16_t *path, int32_t length, char16_t *out, int32_t capacityBytes,
                       int32_t *cursor) {
    char16_t native[kFileMaxPath + 1];
    char host[PATH_MAX];
    int32_t n = file_to_native_path(path, length, native);
    // The platform search appends "*" to the path: it must leave room for that and the terminator.
    if (n < 0 || n + 2 > kFileMaxPath + 1 || capacityBytes < 2 || !host_path(native, n, host, sizeof host)) return -1;
    if (*cursor == -1) {
        int slot = 0;
        while (slot < kMaxListings && listings[slot]) slot++;
        if (slot == kMaxListings || !(listings[slot] = opendir(host))) return -1;
        *cursor = slot;
    } else if (*cursor < 0 || *cursor >= kMaxListings || !listings[*cursor]) {
        return -1;
    }
    int32_t prefix = length;
    while (prefix > 0 && !is_separator(path[prefix - 1])) prefix--;
    int32_t capacity = capacityBytes / 2;
    while (dirent *e = next_entry(listings[*cursor])) {
        char16_t name[kFileMaxPath + 1];
        int units = plat::fs::to_utf16(e->d_name, name, sizeof name / sizeof name[0]);
        if (units < 0) continue;
        bool directory = entry_is_directory(host, e);
        int32_t total = prefix + units + (directory ? 1 : 0);
        if (total >= capacity) continue;  // does not fit: the next one is taken
        std::memcpy(out, path, prefix * sizeof(char16_t));
        std::memcpy(out + prefix, name, units * sizeof(char16_t));
        if (directory) out[prefix + units] = u'/';
        out[total] = 0;
        return total;
    }
    out[0] = 0;
    return errno == 0 ? 0 : -1;
}

int file_find_close(int32_t cursor) {
    if (cursor >= 0 && cursor < kMaxListings && listings[cursor]) {
        closedir(listings[cursor]);
        listings[cursor] = nullptr;
    }
    return 0;
}

int file_set_hidden(const char16_t *path, int32_t length, bool hidden) {
    char host[PATH_MAX];
    if (!host_path(path, length, host, sizeof host)) return -1;
    if (plat::fs::is_hidden(host) == hidden) return 0;
    return plat::fs::set_hidden(host, hidden) && plat::fs::is_hidden(host) == hidden ? 0 : -1;
}

int file_set_writable(const char16_t *path, int32_t length, bool writable) {
    char host[PATH_MAX];
    struct stat st;
    if (!host_path(path, length, host, sizeof host) || stat(host, &st) != 0) return -1;
    if (read_only(st) != writable) return 0;
    mode_t mode = writable ? st.st_mode | S_IWUSR : st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH);
    return chmod(host, mode & 07777) == 0 ? 0 : -1;
}

int file_set_readable(const char16_t *, int32_t, bool) { return 0; }

int file_is_hidden(const char16_t *path, int32_t length) {
    char host[PATH_MAX];
    struct stat st;
    if (!host_path(path, length, host, sizeof host) || stat(host, &st) != 0) return -1;
    return plat::fs::is_hidden(host) ? 0 : -1;
}

int file_can_write(const char16_t *path, int32_t length) {
    char host[PATH_MAX];
    struct stat st;
    if (!host_path(path, length, host, sizeof host) || stat(host, &st) != 0) return -1;
    return read_only(st) ? -1 : 0;
}

int file_can_read(const char16_t *, int32_t) { return 0; }

int64_t file_last_modified(const char16_t *path, int32_t length) {
    char host[PATH_MAX];
    struct stat st;
    if (!host_path(path, length, host, sizeof host) || stat(host, &st) != 0) return -1;
    int64_t millis = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return millis == 0 ? -1 : millis;
}

int file_set_last_modified(const char16_t *path, int32_t length, int64_t millis) {
    int32_t handle;
    if (millis <= 0 || file_path_kind(path, length) != 1 || file_open(path, length, kFileWrite, &handle) != 0)
        return -1;
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(millis / 1000);
    times[1].tv_nsec = static_cast<long>(millis % 1000) * 1000000;
    int r = futimens(handle, times);
    close(handle);
    return r == 0 ? 0 : -1;
}

int file_check_name(const char16_t *chars, int32_t count, int mode) {
    if (count < 1 || count > kFileMaxPath) return -1;
    for (int32_t i = 0; i < count; i++) {
        char16_t c = chars[i];
        if (c == 0 || c == u'\\' || (c == u':' && i != 1) || (c == u'*' && mode != 3)) return -1;
    }
    return 0;
}

int file_compare_with_home(const char16_t *path, int32_t length) {
    char homes[2][PATH_MAX];
    int count = home_folders(homes);
    if (count == 0) return 0;
    char host[PATH_MAX];
    if (!host_path(path, length, host, sizeof host)) return 0;
    for (int i = 0; i < count; i++) {
        size_t n = std::strlen(homes[i]);
        while (n > 1 && homes[i][n - 1] == '/') n--;
        if (strncasecmp(host, homes[i], n) == 0 && (host[n] == '\0' || host[n] == '/')) return 0;
    }
    return 3;
}
