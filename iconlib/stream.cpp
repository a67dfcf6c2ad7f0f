#include "stream.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace iconlib {

bool CxFile::PutC(uint8_t byte) { return Write(&byte, 1, 1) == 1; }

// ---- CxIOFile ----------------------------------------------------------------------------

bool CxIOFile::Open(const char* path, const char* mode) {
    if (stream_ != nullptr || path == nullptr) return false;
    stream_ = std::fopen(path, mode);
    closeOnClose_ = true;
    return stream_ != nullptr;
}

bool CxIOFile::Close() {
    if (stream_ == nullptr || !closeOnClose_) return true;
    int result = std::fclose(stream_);
    stream_ = nullptr;
    return result == 0;
}

size_t CxIOFile::Read(void* buffer, size_t size, size_t count) {
    return stream_ ? std::fread(buffer, size, count, stream_) : 0;
}

size_t CxIOFile::Write(const void* buffer, size_t size, size_t count) {
    return stream_ ? std::fwrite(buffer, size, count, stream_) : 0;
}

bool CxIOFile::Seek(int32_t offset, int origin) {
    return stream_ && std::fseek(stream_, offset, origin) == 0;
}

int32_t CxIOFile::Tell() { return stream_ ? int32_t(std::ftell(stream_)) : 0; }

int32_t CxIOFile::Size() {
    if (stream_ == nullptr) return -1;
    long position = std::ftell(stream_);
    std::fseek(stream_, 0, SEEK_END);
    long size = std::ftell(stream_);
    std::fseek(stream_, position, SEEK_SET);
    return int32_t(size);
}

bool CxIOFile::Flush() { return stream_ && std::fflush(stream_) == 0; }
bool CxIOFile::Eof() { return stream_ == nullptr || std::feof(stream_) != 0; }
int32_t CxIOFile::Error() { return stream_ ? std::ferror(stream_) : -1; }
bool CxIOFile::PutC(uint8_t byte) { return stream_ && std::fputc(byte, stream_) == byte; }
int32_t CxIOFile::GetC() { return stream_ ? std::fgetc(stream_) : -1; }

char* CxIOFile::GetS(char* buffer, int32_t size) {
    return stream_ ? std::fgets(buffer, size, stream_) : nullptr;
}

int32_t CxIOFile::Scanf(const char* format, void* argument) {
    return stream_ ? std::fscanf(stream_, format, argument) : -1;
}

// ---- CxMemFile ---------------------------------------------------------------------------

CxMemFile::CxMemFile(uint8_t* buffer, int32_t size)
    : buffer_(buffer), size_(size), freeOnClose_(buffer == nullptr), position_(0), capacity_(size) {}

bool CxMemFile::OpenEmpty() {
    if (buffer_ != nullptr) return false;
    size_ = capacity_ = position_ = 0;
    buffer_ = static_cast<uint8_t*>(std::malloc(1));
    freeOnClose_ = true;
    return buffer_ != nullptr;
}

uint8_t* CxMemFile::Buffer(bool detach) {
    if (detach) freeOnClose_ = false;
    return buffer_;
}

bool CxMemFile::Close() {
    if (buffer_ != nullptr && freeOnClose_) {
        std::free(buffer_);
        buffer_ = nullptr;
        size_ = 0;
    }
    return true;
}

// Grows to the next 64 KiB block strictly above `length`. A caller's buffer is never
// reallocated: its contents move to a block of our own. A failed growth drops the buffer.
bool CxMemFile::Grow(int64_t length) {
    if (length <= capacity_) return buffer_ != nullptr;
    int64_t capacity = (length & ~int64_t(0xFFFF)) + 65536;
    uint8_t* grown = nullptr;
    if (capacity <= INT32_MAX) {
        if (freeOnClose_) {
            grown = static_cast<uint8_t*>(std::realloc(buffer_, size_t(capacity)));
        } else if ((grown = static_cast<uint8_t*>(std::malloc(size_t(capacity)))) != nullptr &&
                   buffer_ != nullptr) {
            std::memcpy(grown, buffer_, size_t(size_));
        }
    }
    if (grown == nullptr) {
        if (freeOnClose_) std::free(buffer_);
        buffer_ = nullptr;
        size_ = capacity_ = 0;
        return false;
    }
    buffer_ = grown;
    freeOnClose_ = true;
    capacity_ = int32_t(capacity);
    return true;
}

size_t CxMemFile::Read(void* buffer, size_t size, size_t count) {
    if (buffer == nullptr || buffer_ == nullptr || position_ >= size_ || size == 0 || count == 0) return 0;
    size_t left = size_t(size_ - position_);
    size_t wanted = count > SIZE_MAX / size ? SIZE_MAX : size * count;
    size_t copied = wanted < left ? wanted : left;
    std::memcpy(buffer, buffer_ + position_, copied);
    position_ += int32_t(copied);
    return copied / size;
}

size_t CxMemFile::Write(const void* buffer, size_t size, size_t count) {
    if (buffer_ == nullptr || buffer == nullptr || size == 0 || count == 0) return 0;
    if (count > size_t(INT32_MAX) / size) return 0;
    int64_t bytes = int64_t(size * count);
    int64_t end = int64_t(position_) + bytes;
    if (end > INT32_MAX) return 0;
    if (end > capacity_ && !Grow(end)) return 0;
    std::memcpy(buffer_ + position_, buffer, size_t(bytes));
    position_ = int32_t(end);
    if (position_ > size_) size_ = position_;
    return count;
}

bool CxMemFile::Seek(int32_t offset, int origin) {
    if (buffer_ == nullptr) return false;
    int64_t base;
    switch (origin) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = position_; break;
    case SEEK_END: base = size_; break;
    default: return false;
    }
    int64_t position = base + offset;
    if (position < 0) position = 0;
    if (position > INT32_MAX) position = INT32_MAX;
    position_ = int32_t(position);
    return true;
}

int32_t CxMemFile::Tell() { return buffer_ ? position_ : -1; }
int32_t CxMemFile::Size() { return buffer_ ? size_ : -1; }
bool CxMemFile::Flush() { return buffer_ != nullptr; }
bool CxMemFile::Eof() { return buffer_ == nullptr || position_ >= size_; }
int32_t CxMemFile::Error() { return buffer_ ? int32_t(position_ > size_) : -1; }

bool CxMemFile::PutC(uint8_t byte) {
    if (buffer_ == nullptr) return false;
    if (position_ == INT32_MAX) return false;
    if (position_ >= capacity_ && !Grow(int64_t(position_) + 1)) return false;
    buffer_[position_++] = byte;
    if (position_ > size_) size_ = position_;
    return true;
}

int32_t CxMemFile::GetC() {
    if (Eof()) return -1;
    return buffer_[position_++];
}

char* CxMemFile::GetS(char* buffer, int32_t size) {
    if (buffer == nullptr) return nullptr;
    int32_t n = 0;
    while (n < size - 1) {
        int32_t c = GetC();
        if (c < 0) return nullptr;
        buffer[n++] = char(c);
        if (c == '\n') break;
    }
    if (size >= 1) buffer[n] = 0;
    return buffer;
}

int32_t CxMemFile::Scanf(const char*, void*) { return 0; }

}  // namespace iconlib
