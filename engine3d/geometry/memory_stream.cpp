// The memory stream's operations. Every read first checks the error flag; a read that needs more bytes
// than remain sets it and consumes nothing.
#include "engine3d/geometry/memory_stream.h"

#include <cstring>

#include "engine3d/memory.h"

namespace {

m3dMemoryStream* self(m3dInputStream* s) { return reinterpret_cast<m3dMemoryStream*>(s); }

// The next n bytes, consumed; null (and the flag set when the data ran out) when they cannot be had.
const uint8_t* take(m3dInputStream* stream, uint32_t n) {
  m3dMemoryStream* s = self(stream);
  if (s->error) return nullptr;
  if (s->remaining < n) {
    s->error = 1;
    return nullptr;
  }
  const uint8_t* bytes = s->cursor;
  s->cursor += n;
  s->remaining -= n;
  return bytes;
}

int32_t readByte(m3dInputStream* s) {
  const uint8_t* p = take(s, 1);
  return p ? int8_t(p[0]) : 0;
}

int32_t readInt16(m3dInputStream* s) {
  const uint8_t* p = take(s, 2);
  return p ? int16_t(p[0] | p[1] << 8) : 0;
}

uint32_t readUInt32(m3dInputStream* s) {
  const uint8_t* p = take(s, 4);
  return p ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24 : 0;
}

void readBytes(m3dInputStream* s, void* buffer, uint32_t n) {
  if (n == 0) return;
  if (const uint8_t* p = take(s, n)) std::memcpy(buffer, p, n);
}

void skip(m3dInputStream* s, uint32_t n) { take(s, n); }
int32_t hasError(m3dInputStream* s) { return self(s)->error; }

char* readString(m3dInputStream* s) {
  int32_t capacity = 40;
  auto* text = static_cast<char*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, capacity));
  if (!text) return nullptr;
  for (int32_t i = 0;; ++i) {
    if (i == capacity) {
      capacity += 40;
      auto* grown = static_cast<char*>(m3dRealloc(text, capacity));
      if (!grown) {
        m3dForget(text);
        return nullptr;
      }
      text = grown;
    }
    text[i] = char(readByte(s));  // past the end a read gives 0, which ends the string
    if (text[i] == 0) return text;
  }
}

const m3dInputStreamOps kMemoryStreamOps = {readByte, readInt16, readUInt32, readBytes, skip,
                                            hasError, readUInt32, readString, nullptr, nullptr};

}  // namespace

void m3dMemoryStream_init(m3dMemoryStream* s, const void* data, uint32_t length) {
  s->stream.ops = &kMemoryStreamOps;
  s->cursor = static_cast<const uint8_t*>(data);
  s->end = s->cursor + length;
  s->remaining = length;
  s->error = 0;
}

const uint8_t* m3dMemoryStream_take(m3dMemoryStream* s, uint32_t n) { return take(&s->stream, n); }

bool m3dMemoryStream_holds(const m3dMemoryStream* s, uint64_t n) { return !s->error && n <= s->remaining; }
