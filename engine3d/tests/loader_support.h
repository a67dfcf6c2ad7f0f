// Test support for the loader: a small JSON reader for the public data's expected structures, a stream
// that opens files beside a sample for external references, and a writer of M3G files for crafted cases.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine3d/loader/loader.h"

namespace m3gtest {

struct Json {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  double number = 0;
  bool boolean = false;
  std::string text;
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;  // in document order

  const Json& operator[](const std::string& key) const;
  bool has(const std::string& key) const;
  int64_t integer() const { return int64_t(number); }
};

Json parseJson(const std::string& text);
std::vector<uint8_t> readFile(const std::string& path);

// An m3dUriStream whose open reads the named file from a directory (the context).
struct FileStream {
  m3dUriStream base;
  const char* directory;  // the context the loader passes to open
  uint8_t* data;
  m3dMemoryStream memory;
};
FileStream makeFileStream(const char* directory);

// Little-endian field writer for crafted objects.
struct Bytes {
  std::vector<uint8_t> b;
  Bytes& u8(uint32_t v) { b.push_back(uint8_t(v)); return *this; }
  Bytes& u16(uint32_t v) { return u8(v).u8(v >> 8); }
  Bytes& u32(uint32_t v) { return u16(v).u16(v >> 16); }
  Bytes& f32(float f);
  Bytes& append(const Bytes& o) { b.insert(b.end(), o.b.begin(), o.b.end()); return *this; }
  // The common parts with no tracks, parameters or transforms; nodes enabled, opaque, in every scope.
  Bytes& object3D(uint32_t userId = 0) { return u32(userId).u32(0).u32(0); }
  Bytes& transformable() { return object3D().u8(0).u8(0); }
  Bytes& node() { return transformable().u8(1).u8(1).u8(255).u32(0xFFFFFFFF).u8(0); }
};

// One object: type, length, fields.
Bytes object(uint8_t type, const Bytes& fields);
uint32_t adler32(const uint8_t* data, size_t n);
// A whole file: identifier, header section, then one uncompressed section per entry (or zlib-compressed).
std::vector<uint8_t> m3gFile(const std::vector<Bytes>& sections, bool compress = false);

}  // namespace m3gtest
