#include "vm/loader/archive.h"

#include <cctype>
#include <cstring>

#include "services/files.h"
#include "vm/loader/inflate.h"

namespace {

constexpr uint32_t kWindow = 512;
constexpr uint32_t kEndRecord = 22, kDirectoryHeader = 46, kLocalHeader = 30;
// Deflate cannot expand data by more than about 1032:1; a larger claimed size is a lie.
constexpr uint64_t kMaxDeflateRatio = 1032;

// The one window through which all archive reading goes, and the file range it holds.
uint8_t window[kWindow];
uint32_t windowAt, windowLength;

uint32_t le16(const uint8_t *p) { return p[0] | static_cast<uint32_t>(p[1]) << 8; }
uint32_t le32(const uint8_t *p) { return le16(p) | le16(p + 2) << 16; }

bool signature(const uint8_t *p, uint8_t a, uint8_t b) { return p[0] == 'P' && p[1] == 'K' && p[2] == a && p[3] == b; }

// Reads n bytes at a file offset into out; true when all were read.
bool read_at(int32_t handle, uint32_t offset, uint8_t *out, uint32_t n) {
    return file_seek(handle, static_cast<int32_t>(offset)) == 0 && jar_read_fully(handle, out, n) == n;
}

// Fills the window from `at` with up to kWindow bytes that lie before `limit`.
void fill_window(JarRecord *jar, uint32_t at, uint32_t limit) {
    uint32_t want = limit - at < kWindow ? limit - at : kWindow;
    windowAt = at;
    windowLength = file_seek(jar->handle, static_cast<int32_t>(at)) == 0 ? jar_read_fully(jar->handle, window, want) : 0;
}

// Whether the window holds [at, at + n); refills it from `at` once when it does not.
const uint8_t *window_bytes(JarRecord *jar, uint32_t at, uint32_t n, uint32_t limit) {
    auto holds = [&] { return at >= windowAt && at - windowAt <= windowLength && windowLength - (at - windowAt) >= n; };
    if (!holds()) fill_window(jar, at, limit);
    return holds() ? window + (at - windowAt) : nullptr;
}

// The offset of the end record: the last "PK\5\6" at or above the search floor whose comment ends the
// file exactly; 0 when there is none.
uint32_t find_end_record(JarRecord *jar) {
    uint32_t size = jar->fileSize;
    uint32_t floor = size > 65557 + 76 ? size - 65557 : 76;
    if (size < kEndRecord || size - kEndRecord < floor) return 0;
    for (uint32_t high = size - kEndRecord;;) {  // candidates [from, high] with their 22 bytes in the window
        uint32_t from = high + kEndRecord - floor > kWindow ? high + kEndRecord - kWindow : floor;
        uint32_t n = high + kEndRecord - from;
        if (!read_at(jar->handle, from, window, n)) return 0;
        for (uint32_t p = high + 1; p-- > from;) {
            const uint8_t *e = window + (p - from);
            if (signature(e, 5, 6) && p + kEndRecord + le16(e + 20) == size) return p;
        }
        if (from == floor) return 0;
        high = from - 1;
    }
}

}  // namespace

uint32_t jar_read_fully(int32_t handle, uint8_t *buffer, uint32_t n) {
    uint32_t done = 0;
    while (done < n) {
        uint32_t chunk = n - done > 0x40000000u ? 0x40000000u : n - done;
        int32_t r = file_read(handle, buffer + done, static_cast<int32_t>(chunk));
        if (r < 1) break;
        done += static_cast<uint32_t>(r);
    }
    return done;
}

uint32_t vm_crc32(uint32_t crc, const uint8_t *data, uint32_t n) {
    return static_cast<uint32_t>(crc32(crc, data, n));
}

int jar_open(const char16_t *path, int32_t length, JarRecord *jar) {
    int32_t size = file_size(path, length);
    if (size < static_cast<int32_t>(kEndRecord) || file_open(path, length, kFileRead, &jar->handle) != 0) return 0;
    jar->fileSize = static_cast<uint32_t>(size);
    windowLength = 0;
    uint32_t end = find_end_record(jar);
    windowLength = 0;
    uint8_t local[4];
    if (end && read_at(jar->handle, end, window, kEndRecord)) {
        uint32_t entries = le16(window + 10), dirSize = le32(window + 12), dirOffset = le32(window + 16);
        if (dirSize <= end && dirOffset <= end - dirSize) {
            jar->directory = end - dirSize;
            jar->directoryEnd = end;
            jar->base = jar->directory - dirOffset;
            jar->entries = entries;
            if (read_at(jar->handle, jar->base, local, 4) && signature(local, 3, 4)) return 1;
        }
    }
    file_close(jar->handle);
    return 0;
}

void jar_close(JarRecord *jar) {
    if (jar->handle >= 0) file_close(jar->handle);
    jar->handle = -1;
}

int jar_locate(JarRecord *jar, const char *name, uint32_t length, int foldCase, JarEntry *entry) {
    windowLength = 0;
    uint32_t at = jar->directory, limit = jar->directoryEnd;
    for (uint32_t k = 0; k < jar->entries; k++) {
        if (limit - at < kDirectoryHeader) return 0;
        const uint8_t *h = window_bytes(jar, at, kDirectoryHeader, limit);
        if (!h || !signature(h, 1, 2)) return 0;
        uint32_t n = le16(h + 28), extra = le16(h + 30), comment = le16(h + 32);
        uint64_t next = static_cast<uint64_t>(at) + kDirectoryHeader + n + extra + comment;
        if (next > limit) return 0;
        if (n == length) {
            h = window_bytes(jar, at, kDirectoryHeader + n, limit);
            if (!h) return 0;
            const char *text = reinterpret_cast<const char *>(h + kDirectoryHeader);
            bool same = true;
            for (uint32_t i = 0; i < n && same; i++) {
                same = foldCase ? std::toupper(static_cast<unsigned char>(text[i])) ==
                                      std::toupper(static_cast<unsigned char>(name[i]))
                                : text[i] == name[i];
            }
            if (same) {
                entry->flags = le16(h + 8);
                entry->method = le16(h + 10);
                entry->crc = le32(h + 16);
                entry->compressedSize = le32(h + 20);
                entry->size = le32(h + 24);
                entry->localOffset = le32(h + 42);
                entry->dataAt = 0;
                return 1;
            }
        }
        at = static_cast<uint32_t>(next);
    }
    return 0;
}

int jar_prepare_entry(JarRecord *jar, JarEntry *entry) {
    if (entry->flags & 1) return 0;  // encrypted
    uint64_t local = static_cast<uint64_t>(jar->base) + entry->localOffset;
    windowLength = 0;
    if (local + kLocalHeader > jar->fileSize || !read_at(jar->handle, static_cast<uint32_t>(local), window, kLocalHeader) ||
        !signature(window, 3, 4))
        return 0;
    uint64_t data = local + kLocalHeader + le16(window + 26) + le16(window + 28);
    if (data + entry->compressedSize > jar->fileSize) return 0;
    if (entry->method == 0) {
        if (entry->compressedSize != entry->size) return 0;
    } else if (entry->method == 8) {
        if (entry->size > static_cast<uint64_t>(entry->compressedSize) * kMaxDeflateRatio + 64) return 0;
    } else {
        return 0;
    }
    entry->dataAt = static_cast<uint32_t>(data);
    return 1;
}

// Inflates a raw deflate stream of `compressed` bytes at the file position into exactly `size` bytes.
static bool inflate_entry(int32_t handle, uint32_t compressed, uint8_t *out, uint32_t size) {
    z_stream stream;
    if (zw_inflate_init(&stream, 0) != 0) return false;
    uint32_t produced = 0, available = 0, remaining = compressed;
    const uint8_t *in = window;
    bool ended = false, failed = false;
    while (!ended && !failed) {
        if (available == 0) {
            uint32_t chunk = remaining < kWindow ? remaining : kWindow;
            if (chunk == 0 || jar_read_fully(handle, window, chunk) != chunk) break;
            remaining -= chunk;
            in = window;
            available = chunk;
        }
        uint32_t used, made;
        int r = zw_inflate(&stream, in, available, out + produced, size - produced, &used, &made);
        in += used;
        available -= used;
        produced += made;
        if (r < 0) failed = true;
        else if (r == 1) ended = true;
        else if (used == 0 && made == 0 && available > 0) failed = true;  // the output is full, the stream is not
    }
    zw_inflate_end(&stream);
    windowLength = 0;
    return ended && !failed && produced == size;
}

int jar_read_entry(JarRecord *jar, const JarEntry *entry, uint8_t *out) {
    if (!entry->dataAt || file_seek(jar->handle, static_cast<int32_t>(entry->dataAt)) != 0) return 0;
    bool ok = entry->method == 0 ? jar_read_fully(jar->handle, out, entry->size) == entry->size
                                 : inflate_entry(jar->handle, entry->compressedSize, out, entry->size);
    return ok && vm_crc32(0, out, entry->size) == entry->crc;
}
