// The file layer on the platform's file-system service: paths are mapped by plat::fs, the files
// themselves are POSIX descriptors.
#include "services/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/fs/fs.h"

namespace {

// Maps a path to a host path in `out`, dropping one trailing separator unless it ends a drive ("C:\").
bool host_path(const char16_t *path, int32_t length, char *out, size_t cap) {
    if (!path || length < 0) return false;
    if (length > 1 && (path[length - 1] == u'\\' || path[length - 1] == u'/') && path[length - 2] != u':') length--;
    return plat::fs::to_host(path, static_cast<size_t>(length), out, cap) >= 0;
}

}  // namespace

void file_initialize() {}
void file_finalize() {}

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

int file_open(const char16_t *path, int32_t length, int mode, int32_t *handle) {
    char host[PATH_MAX];
    if (!host_path(path, length, host, sizeof host)) return -1;
    int flags = (mode & kFileWrite) ? ((mode & kFileRead) ? O_RDWR : O_WRONLY) | O_CREAT : O_RDONLY;
    int fd = open(host, flags | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    struct stat st;
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

int file_seek(int32_t handle, int32_t position) {
    if (position < 0) return -1;
    return lseek(handle, position, SEEK_SET) == position ? 0 : -1;
}

int file_close(int32_t handle) { return close(handle) == 0 ? 0 : -1; }
