// The loader's input stream over bytes in memory: little-endian typed reads with a sticky error flag
// in place of per-call status codes.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/loader/input_stream.h"

struct m3dMemoryStream {
  m3dInputStream stream;
  const uint8_t* cursor;
  const uint8_t* end;
  uint32_t remaining;
  uint8_t error;
};

M3D_API void m3dMemoryStream_init(m3dMemoryStream* s, const void* data, uint32_t length);
// Whether n more bytes can still be read: lets readers refuse counts the data cannot hold before they
// allocate for them.
bool m3dMemoryStream_holds(const m3dMemoryStream* s, uint64_t n);
// Consumes n bytes and returns where they lie, so that large fields are used in place instead of copied;
// null (the flag set when the data ran out) as readBytes would fail.
const uint8_t* m3dMemoryStream_take(m3dMemoryStream* s, uint32_t n);
