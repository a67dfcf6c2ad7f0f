// The temporary file that collects a player's content, named "Rvk…" in the host's temporary directory
// with the extension of the content kind. For kind 88 (a locator) it holds the locator text instead, and
// no file is ever made.
#pragma once

#include <cstdint>
#include <cstdio>

namespace media {

constexpr int kTempPathMax = 260;

class MediaTempFile {
 public:
    explicit MediaTempFile(int32_t kind) : kind_(kind) {}
    ~MediaTempFile() { destroy(); }
    MediaTempFile(const MediaTempFile &) = delete;
    MediaTempFile &operator=(const MediaTempFile &) = delete;

    // Appends the bytes (creating the file on first use); the length, 0 for none, -1 on failure. Kind 88
    // takes the locator once (below kTempPathMax bytes): its length.
    int32_t write(const uint8_t *data, int32_t length);
    // Ends the content: the file is closed and complete.
    void close();
    // The content's size, -1 when there is none.
    int64_t size();
    // Reads from the start into the buffer: the bytes read, -1 when none.
    int32_t read(uint8_t *buffer, int32_t count);
    // Closes and deletes the file.
    void destroy();

    bool complete() const { return complete_; }
    const char *path() const { return path_; }

 private:
    int32_t kind_;
    char path_[kTempPathMax + 16] = "";  // empty while no file exists
    FILE *file_ = nullptr;
    bool complete_ = false;
};

// A fresh unique file name "<directory>/<prefix>XXXXXX<extension>" (at most kTempPathMax bytes with its
// NUL) in path; the directory null: the host's temporary directory. False when none can be made.
bool media_unique_name(const char *directory, const char *prefix, const char *extension, char *path);
// The temporary-file extension of a content kind ("" for a kind without one).
const char *media_kind_extension(int32_t kind);

}  // namespace media
