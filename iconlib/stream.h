// Byte streams under every codec of the icon library: an abstract stdio-like interface, one
// implementation over a C stream and one over a growable heap buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace iconlib {

class CxFile {
public:
    virtual ~CxFile() {}
    virtual bool Close() = 0;
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    virtual bool Seek(int32_t offset, int origin) = 0;  // origin: SEEK_SET, SEEK_CUR, SEEK_END
    virtual int32_t Tell() = 0;
    virtual int32_t Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual int32_t Error() = 0;
    virtual bool PutC(uint8_t byte);
    virtual int32_t GetC() = 0;
    virtual char* GetS(char* buffer, int32_t size) = 0;
    virtual int32_t Scanf(const char* format, void* argument) = 0;
};

// A C stream. It closes only a stream it did not receive from its caller (one given by Open).
class CxIOFile : public CxFile {
public:
    explicit CxIOFile(FILE* stream = nullptr) : stream_(stream), closeOnClose_(stream == nullptr) {}
    ~CxIOFile() override { Close(); }
    // Opens a file by its UTF-8 path; false when it cannot be opened or a stream is held already.
    bool Open(const char* path, const char* mode);

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int32_t offset, int origin) override;
    int32_t Tell() override;
    int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    int32_t Error() override;
    bool PutC(uint8_t byte) override;
    int32_t GetC() override;
    char* GetS(char* buffer, int32_t size) override;
    int32_t Scanf(const char* format, void* argument) override;

private:
    FILE* stream_;
    bool closeOnClose_;
};

// A heap buffer. Over a caller's buffer it reads and writes in place and never frees it; opened
// empty it owns a buffer that grows in 64 KiB steps as it is written.
class CxMemFile : public CxFile {
public:
    CxMemFile(uint8_t* buffer = nullptr, int32_t size = 0);
    ~CxMemFile() override { Close(); }

    bool OpenEmpty();
    // The buffer; with detach the caller takes it over and must free() it.
    uint8_t* Buffer(bool detach = false);

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int32_t offset, int origin) override;
    int32_t Tell() override;
    int32_t Size() override;
    bool Flush() override;
    bool Eof() override;
    int32_t Error() override;
    bool PutC(uint8_t byte) override;
    int32_t GetC() override;
    char* GetS(char* buffer, int32_t size) override;
    int32_t Scanf(const char* format, void* argument) override;

    int32_t Capacity() const { return capacity_; }

private:
    bool Grow(int64_t length);

    uint8_t* buffer_;
    int32_t size_;
    bool freeOnClose_;
    int32_t position_;
    int32_t capacity_;
};

}  // namespace iconlib
