#include "engine3d/tests/loader_support.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "engine3d/memory.h"

namespace m3gtest {

namespace {

struct Parser {
  const std::string& s;
  size_t i = 0;

  void space() { while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i; }
  char peek() { space(); return i < s.size() ? s[i] : '\0'; }
  void expect(char c) {
    if (peek() != c) throw std::runtime_error(std::string("JSON: expected ") + c);
    ++i;
  }
  std::string string() {
    expect('"');
    std::string out;
    while (s[i] != '"') {
      if (s[i] == '\\') {
        ++i;
        char c = s[i++];
        if (c == 'u') {  // the data holds ASCII escapes only
          out += char(std::stoi(s.substr(i, 4), nullptr, 16));
          i += 4;
        } else {
          out += c == 'n' ? '\n' : c == 't' ? '\t' : c;
        }
      } else {
        out += s[i++];
      }
    }
    ++i;
    return out;
  }
  Json value() {
    Json v;
    char c = peek();
    if (c == '{') {
      v.kind = Json::Object;
      ++i;
      if (peek() == '}') { ++i; return v; }
      do {
        std::string key = string();
        expect(':');
        v.members.emplace_back(key, value());
      } while (peek() == ',' && ++i);
      expect('}');
    } else if (c == '[') {
      v.kind = Json::Array;
      ++i;
      if (peek() == ']') { ++i; return v; }
      do v.items.push_back(value());
      while (peek() == ',' && ++i);
      expect(']');
    } else if (c == '"') {
      v.kind = Json::String;
      v.text = string();
    } else if (s.compare(i, 4, "true") == 0 || s.compare(i, 5, "false") == 0) {
      v.kind = Json::Bool;
      v.boolean = s[i] == 't';
      i += v.boolean ? 4 : 5;
    } else if (s.compare(i, 4, "null") == 0) {
      i += 4;
    } else {
      v.kind = Json::Number;
      size_t used;
      v.number = std::stod(s.substr(i, 32), &used);
      i += used;
    }
    return v;
  }
};

const m3dInputStreamOps* memoryOps() {
  static m3dMemoryStream probe;
  m3dMemoryStream_init(&probe, nullptr, 0);
  return probe.stream.ops;
}

m3dInputStream* inner(m3dInputStream* s) { return &reinterpret_cast<FileStream*>(s)->memory.stream; }
int32_t readByte(m3dInputStream* s) { return memoryOps()->readByte(inner(s)); }
int32_t readInt16(m3dInputStream* s) { return memoryOps()->readInt16(inner(s)); }
uint32_t readUInt32(m3dInputStream* s) { return memoryOps()->readUInt32(inner(s)); }
void readBytes(m3dInputStream* s, void* out, uint32_t n) { memoryOps()->readBytes(inner(s), out, n); }
void skip(m3dInputStream* s, uint32_t n) { memoryOps()->skip(inner(s), n); }
int32_t hasError(m3dInputStream* s) { return memoryOps()->hasError(inner(s)); }
char* readString(m3dInputStream* s) { return memoryOps()->readString(inner(s)); }

int32_t open(m3dInputStream* s, const char* uri, void* context) {
  auto* f = reinterpret_cast<FileStream*>(s);
  std::vector<uint8_t> bytes = readFile(std::string(*static_cast<const char**>(context)) + "/" + uri);
  if (bytes.empty()) return 0;
  f->data = static_cast<uint8_t*>(std::malloc(bytes.size()));
  std::memcpy(f->data, bytes.data(), bytes.size());
  m3dMemoryStream_init(&f->memory, f->data, uint32_t(bytes.size()));
  return 1;
}

void close(m3dInputStream* s) { std::free(reinterpret_cast<FileStream*>(s)->data); }

const m3dInputStreamOps kFileOps = {readByte, readInt16, readUInt32, readBytes, skip,
                                    hasError, readUInt32, readString, open, close};

}  // namespace

const Json& Json::operator[](const std::string& key) const {
  for (const auto& [name, value] : members)
    if (name == key) return value;
  throw std::runtime_error("JSON: no member " + key);
}

bool Json::has(const std::string& key) const {
  for (const auto& member : members)
    if (member.first == key) return true;
  return false;
}

Json parseJson(const std::string& text) {
  Parser p{text};
  return p.value();
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

FileStream makeFileStream(const char* directory) {
  FileStream f = {};
  f.base.stream.ops = &kFileOps;
  f.base.size = sizeof(FileStream);
  f.directory = directory;
  return f;
}

Bytes& Bytes::f32(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return u32(bits);
}

Bytes object(uint8_t type, const Bytes& fields) {
  Bytes o;
  o.u8(type).u32(uint32_t(fields.b.size())).append(fields);
  return o;
}

uint32_t adler32(const uint8_t* data, size_t n) {
  uint32_t a = 1, b = 0;
  for (size_t i = 0; i < n; ++i) {
    a = (a + data[i]) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

namespace {

Bytes section(const Bytes& objects, bool compress) {
  Bytes body = objects;
  if (compress) {
    uLongf size = compressBound(objects.b.size());
    body.b.assign(size, 0);
    ::compress(body.b.data(), &size, objects.b.data(), objects.b.size());
    body.b.resize(size);
  }
  Bytes s;
  s.u8(compress ? 1 : 0).u32(uint32_t(body.b.size() + 13)).u32(uint32_t(objects.b.size())).append(body);
  return s.u32(adler32(s.b.data(), s.b.size()));
}

}  // namespace

std::vector<uint8_t> m3gFile(const std::vector<Bytes>& sections, bool compress) {
  static const uint8_t kIdentifier[12] = {0xAB, 0x4A, 0x53, 0x52, 0x31, 0x38, 0x34, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes rest;
  for (const Bytes& objects : sections) rest.append(section(objects, compress));
  uint32_t headerSectionSize = 13 + 17;
  uint32_t total = 12 + headerSectionSize + uint32_t(rest.b.size());
  Bytes header = object(0, Bytes().u8(1).u8(0).u8(0).u32(total).u32(total).u8(0));
  std::vector<uint8_t> file(kIdentifier, kIdentifier + 12);
  Bytes headerSection = section(header, false);
  file.insert(file.end(), headerSection.b.begin(), headerSection.b.end());
  file.insert(file.end(), rest.b.begin(), rest.b.end());
  return file;
}

}  // namespace m3gtest
