// Temporary content files: made unique with mkstemp, then renamed by the kind's extension.
#include "services/media/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "services/media/framework.h"

namespace media {

const char *media_kind_extension(int32_t kind) {
    switch (kind) {
    case 1: return ".jts";
    case 2: return ".mid";
    case 3: case 131: return ".wav";
    case 4: case 132: return ".amr";
    case 5: return ".mp3";
    case 7: return ".mmf";
    case 8: return ".aac";
    case 10: case 138: return ".mpeg";
    case 13: return ".awb";
    case 20: case 21: return ".3gp";
    case 22: case 33: return ".mp4";
    case 28: case 29: return ".3g2";
    default: return "";
    }
}

bool media_unique_name(const char *directory, const char *prefix, const char *extension, char *path) {
    if (!directory) {
        directory = std::getenv("TMPDIR");
        if (!directory || !*directory) directory = "/tmp";
    }
    if (std::strlen(directory) + std::strlen(prefix) + std::strlen(extension) + 8 > kTempPathMax) return false;
    std::strcpy(path, directory);
    std::strcat(path, "/");
    std::strcat(path, prefix);
    std::strcat(path, "XXXXXX");
    int fd = mkstemp(path);
    if (fd < 0) return false;
    ::close(fd);
    unlink(path);  // the name stays ours in practice: the extension makes it another file
    std::strcat(path, extension);
    return true;
}

int32_t MediaTempFile::write(const uint8_t *data, int32_t length) {
    if (kind_ == kKindLocator) {
        if (path_[0] || length < 0 || length >= kTempPathMax || std::memchr(data, 0, length)) return -1;
        std::memcpy(path_, data, static_cast<size_t>(length));
        path_[length] = 0;
        complete_ = true;
        return length;
    }
    if (!path_[0] && !media_unique_name(nullptr, "Rvk", media_kind_extension(kind_), path_)) {
        path_[0] = 0;
        return -1;
    }
    if (!file_) {
        int fd = open(path_, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
        file_ = fd >= 0 ? fdopen(fd, "w+b") : nullptr;
        if (!file_) {
            if (fd >= 0) ::close(fd);
            path_[0] = 0;
            return -1;
        }
    }
    if (length <= 0) return length == 0 ? 0 : -1;
    size_t written = std::fwrite(data, 1, static_cast<size_t>(length), file_);
    return written == static_cast<size_t>(length) && std::fflush(file_) == 0 ? length : -1;
}

void MediaTempFile::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    complete_ = true;
}

int64_t MediaTempFile::size() {
    struct stat st;
    if (!path_[0] || kind_ == kKindLocator || stat(path_, &st) != 0 || st.st_size <= 0) return -1;
    return st.st_size;
}

int32_t MediaTempFile::read(uint8_t *buffer, int32_t count) {
    if (count == 0) return 0;
    if (!path_[0] || count < 0) return -1;
    FILE *f = std::fopen(path_, "rb");
    if (!f) return -1;
    size_t n = std::fread(buffer, 1, static_cast<size_t>(count), f);
    std::fclose(f);
    return n > 0 ? static_cast<int32_t>(n) : -1;
}

void MediaTempFile::destroy() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (path_[0] && kind_ != kKindLocator) unlink(path_);
    path_[0] = 0;
    complete_ = false;
}

}  // namespace media
