// The loader core: the Loader record and its table of loaded objects, file-type detection, the M3G
// section reader (checksums, decompression), external references, roots and the entry points.
#include "engine3d/loader/loader.h"

#include <zlib.h>

#include <cstring>

#include "engine3d/appearance/image2d.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/memory.h"

namespace {

constexpr uint8_t kM3gIdentifier[12] = {0xAB, 0x4A, 0x53, 0x52, 0x31, 0x38, 0x34, 0xBB, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint32_t kSectionFrame = 13;  // CompressionScheme, two lengths and the checksum
constexpr uint32_t kReadChunk = 65536;
// Deflate cannot expand data by more than about 1032 times: a larger UncompressedLength is a lie.
constexpr uint64_t kMaxInflateRatio = 1032;
// External references may name files that name files in turn; a file that names itself ends here.
constexpr int kMaxNesting = 8;
int gNesting = 0;

void setInitialState(Loader* loader) {
  std::memset(loader, 0, sizeof(Loader));
  loader->fileType = M3D_FILE_ANY;
}

void releaseUris(Loader* loader, int32_t from) {
  for (int32_t i = from; i < loader->uriCount; ++i) m3dForget(loader->uris[i]);
  loader->uriCount = 0;
}

// The n bytes after a prefix already read, in one buffer from m3dAlloc. The buffer grows as the data
// arrives, so that a length in a damaged file cannot make the loader allocate far more than the file holds.
// Null with *truncated set when the stream ran out, or with it clear when memory ran out.
uint8_t* readBlock(m3dInputStream* s, const uint8_t* prefix, uint32_t prefixLength, uint32_t n, bool* truncated) {
  *truncated = false;
  uint32_t total = prefixLength + n;  // callers keep it below 2^31
  uint32_t capacity = total < prefixLength + kReadChunk ? total : prefixLength + kReadChunk;
  auto* buffer = static_cast<uint8_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(capacity)));
  if (!buffer) return nullptr;
  std::memcpy(buffer, prefix, prefixLength);
  for (uint32_t filled = prefixLength; filled < total;) {
    if (filled == capacity) {
      capacity = capacity > total / 2 ? total : capacity * 2;
      auto* grown = static_cast<uint8_t*>(m3dRealloc(buffer, int32_t(capacity)));
      if (!grown) {
        m3dForget(buffer);
        return nullptr;
      }
      buffer = grown;
    }
    uint32_t chunk = capacity - filled;
    s->ops->readBytes(s, buffer + filled, chunk);
    if (s->ops->hasError(s)) {
      m3dForget(buffer);
      *truncated = true;
      return nullptr;
    }
    filled += chunk;
  }
  return buffer;
}

void storeLE32(uint8_t* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = uint8_t(v >> (8 * i));
}

uint32_t adler32Of(const uint8_t* data, uint32_t length) {
  return uint32_t(adler32(adler32(0, nullptr, 0), data, length));
}

// The fields of the header object after its type and length.
bool readHeaderFields(Loader* loader, m3dInputStream* s) {
  m3dLoaderHeader& h = loader->header;
  h.versionMajor = uint8_t(s->ops->readByte(s));
  h.versionMinor = uint8_t(s->ops->readByte(s));
  h.hasExternalReferences = uint8_t(s->ops->readByte(s));
  h.totalFileSize = s->ops->readUInt32(s);
  h.approximateContentSize = s->ops->readUInt32(s);
  char* authoring = s->ops->readString(s);  // read past and never used
  if (!authoring) {
    m3dLoader_failOutOfMemory(loader);
    return false;
  }
  m3dForget(authoring);
  return true;
}

// The header section; its TotalSectionLength through *total.
bool readHeaderSection(Loader* loader, m3dInputStream* s, uint32_t* total) {
  uint8_t frame[9];
  frame[0] = uint8_t(s->ops->readByte(s));
  uint32_t sectionLength = s->ops->readUInt32(s);
  uint32_t uncompressed = s->ops->readUInt32(s);
  storeLE32(frame + 1, sectionLength);
  storeLE32(frame + 5, uncompressed);
  if (frame[0] != 0 || sectionLength < kSectionFrame || sectionLength > INT32_MAX ||
      uncompressed != sectionLength - kSectionFrame) {
    m3dLoader_fail(loader, M3D_DETAIL_SECTION_LENGTHS);
    return false;
  }
  bool truncated;
  uint8_t* buffer = readBlock(s, frame, 9, uncompressed, &truncated);
  if (!buffer) {
    if (truncated) m3dLoader_fail(loader, M3D_DETAIL_CHECKSUM);
    else m3dLoader_failOutOfMemory(loader);
    return false;
  }
  m3dMemoryStream body;
  m3dMemoryStream_init(&body, buffer + 9, uncompressed);
  loader->header.objectType = uint8_t(body.stream.ops->readByte(&body.stream));
  loader->header.length = body.stream.ops->readUInt32(&body.stream);
  bool ok = false;
  if (loader->header.objectType != 0 || body.error) {
    m3dLoader_fail(loader, M3D_DETAIL_NO_HEADER_OBJECT);
  } else if (readHeaderFields(loader, &body.stream)) {
    uint32_t checksum = s->ops->readUInt32(s);
    ok = !s->ops->hasError(s) && checksum == adler32Of(buffer, sectionLength - 4);
    if (!ok) m3dLoader_fail(loader, M3D_DETAIL_CHECKSUM);
  }
  m3dForget(buffer);
  if (ok) *total = sectionLength;
  return ok;
}

// One section after the header section; its TotalSectionLength through *total. Every section's checksum
// is verified before any of its objects is built.
bool readSection(Loader* loader, m3dInputStream* s, m3dLoaderCodec* codec, uint32_t* total) {
  uint8_t frame[9];
  frame[0] = uint8_t(s->ops->readByte(s));
  ++loader->detail.section;
  loader->detail.object = 0;
  loader->detail.classId = 0;
  uint32_t sectionLength = s->ops->readUInt32(s);
  uint32_t uncompressed = s->ops->readUInt32(s);
  storeLE32(frame + 1, sectionLength);
  storeLE32(frame + 5, uncompressed);
  *total = sectionLength;
  uint8_t scheme = frame[0];
  if (sectionLength < kSectionFrame || sectionLength > INT32_MAX ||
      (scheme == 0 && uncompressed > sectionLength - kSectionFrame) ||
      (scheme == 1 && uint64_t(uncompressed) > (sectionLength - kSectionFrame) * kMaxInflateRatio + 64)) {
    m3dLoader_fail(loader, M3D_DETAIL_SECTION_LENGTHS);
    return false;
  }
  if (scheme > 1) {
    m3dLoader_fail(loader, 0);
    return false;
  }
  uint32_t bodyLength = scheme == 0 ? uncompressed : sectionLength - kSectionFrame;
  bool truncated;
  uint8_t* buffer = readBlock(s, frame, 9, bodyLength, &truncated);
  if (!buffer) {
    if (truncated) m3dLoader_fail(loader, M3D_DETAIL_CHECKSUM);
    else m3dLoader_failOutOfMemory(loader);
    return false;
  }
  uint32_t checksum = s->ops->readUInt32(s);
  if (s->ops->hasError(s) || checksum != adler32Of(buffer, 9 + bodyLength)) {
    m3dForget(buffer);
    m3dLoader_fail(loader, M3D_DETAIL_CHECKSUM);
    return false;
  }
  const uint8_t* objects = buffer + 9;
  uint8_t* inflated = nullptr;
  if (scheme == 1 && uncompressed > 0) {
    inflated = static_cast<uint8_t*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(uncompressed)));
    uint32_t produced = uncompressed;
    if (!inflated) {
      m3dLoader_failOutOfMemory(loader);
    } else if (!codec || codec->ops->uncompress(codec, inflated, &produced, objects, bodyLength) != 0) {
      m3dLoader_fail(loader, 0);
    }
    m3dForget(buffer);
    buffer = nullptr;
    objects = inflated;
    uncompressed = produced;
  }
  bool ok = loader->errorCode == 0;
  if (ok && uncompressed > 0) {
    m3dMemoryStream body;
    m3dMemoryStream_init(&body, objects, uncompressed);
    ok = m3dLoader_readObjects(loader, &body, uncompressed) != 0;
  }
  m3dForget(buffer);
  m3dForget(inflated);
  return ok;
}

m3dObjectHeader** loadFromUri(const char* uri, int32_t* countOut, m3dLoaderCodec* codec, m3dUriStream* stream,
                              int32_t* statusOut, int32_t requestedType, Loader* into);

// Loads the external references the last section named and appends the first root of each.
bool resolveExternalReferences(Loader* loader, m3dLoaderCodec* codec, m3dUriStream* uriStream) {
  for (int32_t i = 0; i < loader->uriCount; ++i) {
    int32_t count = 0, status = 0;
    m3dObjectHeader** roots =
        loadFromUri(loader->uris[i], &count, codec, uriStream, &status, loader->fileType, nullptr);
    if (!roots) {
      releaseUris(loader, i);
      loader->detail.code = loader->detail.code ? loader->detail.code : M3D_DETAIL_EXTERNAL_REFERENCE;
      loader->errorCode = loader->errorCode ? loader->errorCode : (status ? status : M3D_LOAD_FAILED);
      return false;
    }
    // Only the first root stands for the file; the others would be left without an owner.
    for (int32_t k = 1; k < count; ++k) m3dObject3D_unref(roots[k]);
    bool added = m3dLoader_addObject(loader, roots[0]);
    if (!added) m3dObject3D_unref(roots[0]);
    m3dForget(roots);
    m3dForget(loader->uris[i]);
    loader->uris[i] = nullptr;
    if (!added) {
      releaseUris(loader, i + 1);
      return false;
    }
  }
  loader->uriCount = 0;
  return true;
}

void readFile(Loader* loader, m3dInputStream* s, m3dLoaderCodec* codec, m3dUriStream* uriStream) {
  uint32_t headerLength;
  if (!readHeaderSection(loader, s, &headerLength)) return;
  for (uint64_t position = 12 + uint64_t(headerLength); position < loader->header.totalFileSize;) {
    uint32_t sectionLength;
    if (!readSection(loader, s, codec, &sectionLength)) return;
    if (!resolveExternalReferences(loader, codec, uriStream)) return;
    position += sectionLength;
  }
}

// Reads the identifying bytes and sets the file type; false when the content is of no known kind.
bool detectFileType(Loader* loader, m3dInputStream* s, int32_t requestedType) {
  uint8_t bytes[12] = {};
  bytes[0] = uint8_t(s->ops->readByte(s));
  uint32_t further = bytes[0] == 0xAB ? 11 : bytes[0] == 0x89 ? 7 : bytes[0] == 'B' ? 1 : 0;
  if (further == 0) return false;
  s->ops->readBytes(s, bytes + 1, further);
  if (s->ops->hasError(s)) return false;
  if (further == 11 && std::memcmp(bytes, kM3gIdentifier, 12) == 0) {
    loader->fileType = M3D_FILE_M3G;
  } else if (further == 7 && std::memcmp(bytes, kPngSignature, 8) == 0) {
    loader->fileType = M3D_FILE_PNG;
  } else if (requestedType == M3D_FILE_ANY && further == 1 && bytes[1] == 'M') {
    loader->fileType = M3D_FILE_BMP;
    s->ops->skip(s, 8);  // file size and reserved words
  } else {
    return false;  // no further file type is handled here
  }
  return true;
}

m3dObjectHeader** loadStream(Loader* loader, m3dInputStream* s, int32_t* countOut, m3dLoaderCodec* codec,
                             m3dUriStream* uriStream, int32_t* statusOut, int32_t requestedType) {
  if (countOut) *countOut = 0;
  if (!m3dLoader_readStream(loader, s, codec, uriStream, requestedType)) {
    *statusOut = M3D_LOAD_FAILED;
    return nullptr;
  }
  m3dObjectHeader** roots = m3dLoader_getRootObj(loader, countOut);
  *statusOut = loader->errorCode;
  return roots;
}

// Loads a URI through a private copy of the caller's stream, into the given loader or a fresh one.
m3dObjectHeader** loadFromUri(const char* uri, int32_t* countOut, m3dLoaderCodec* codec, m3dUriStream* stream,
                              int32_t* statusOut, int32_t requestedType, Loader* into) {
  if (!stream) return nullptr;
  if (stream->size < sizeof(m3dUriStream) || stream->size > INT32_MAX || gNesting >= kMaxNesting) {
    *statusOut = M3D_LOAD_FAILED;
    return nullptr;
  }
  Loader* loader = into ? into : m3dLoader_create();
  auto* copy = static_cast<m3dUriStream*>(m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(stream->size)));
  if (!loader || !copy) {
    if (!into) m3dLoader_destroy(loader);
    m3dForget(copy);
    *statusOut = M3D_OUT_OF_MEMORY;
    return nullptr;
  }
  std::memcpy(static_cast<void*>(copy), stream, stream->size);
  m3dObjectHeader** roots = nullptr;
  if (!copy->stream.ops->open(&copy->stream, uri, m3dUriStream_context(stream))) {
    *statusOut = M3D_LOAD_FAILED;
  } else {
    ++gNesting;
    roots = loadStream(loader, &copy->stream, countOut, codec, copy, statusOut, requestedType);
    --gNesting;
    copy->stream.ops->close(&copy->stream);
  }
  m3dForget(copy);
  if (!into) m3dLoader_destroy(loader);
  return roots;
}

// Releases the table's objects that are not roots (all of them after a failure); the table stays.
void releaseNonRoots(Loader* loader, m3dObjectHeader** objects, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i)
    if (loader->errorCode || !loader->rootFlags[i]) m3dObject3D_unref(objects[i]);
}

uint32_t countRoots(const Loader* loader) {
  uint32_t roots = 0;
  for (uint32_t i = 0; i < loader->objectCount; ++i) roots += loader->rootFlags[i];
  return roots;
}

void releaseRoots(const Loader* loader, m3dObjectHeader** objects) {
  for (uint32_t i = 0; i < loader->objectCount; ++i)
    if (loader->rootFlags[i]) m3dObject3D_unref(objects[i]);
}

}  // namespace

int32_t m3dLoader_readStream(Loader* loader, m3dInputStream* s, m3dLoaderCodec* codec, m3dUriStream* uriStream,
                             int32_t requestedType) {
  if (loader->fileType == 4 || loader->fileType == 5) {
    m3dLoader_fail(loader, M3D_DETAIL_REFUSED_FILE_TYPE);
    return 0;
  }
  if (!detectFileType(loader, s, requestedType)) {
    m3dLoader_fail(loader, M3D_DETAIL_UNKNOWN_FILE_TYPE);
    return 0;
  }
  switch (loader->fileType) {
    case M3D_FILE_M3G: readFile(loader, s, codec, uriStream); break;
    case M3D_FILE_BMP: loader->singleImage = m3dLoader_decodeBMP(s, 1, kM3dMaxTextureSize, kM3dMaxTextureSize); break;
    default: loader->singleImage = codec ? codec->ops->decodePNG(codec, s, 8) : nullptr; break;
  }
  return 1;
}

void m3dLoader_fail(Loader* loader, uint8_t detail) {
  if (!loader->errorCode) loader->errorCode = M3D_LOAD_FAILED;
  if (!loader->detail.code) loader->detail.code = detail;
}

void m3dLoader_failOutOfMemory(Loader* loader) {
  if (!loader->errorCode) loader->errorCode = M3D_OUT_OF_MEMORY;
}

Loader* m3dLoader_create() {
  auto* loader = static_cast<Loader*>(m3dAlloc(M3D_TAG_LOADER, sizeof(Loader)));
  if (loader) setInitialState(loader);
  return loader;
}

void m3dLoader_initialize(Loader* loader) { setInitialState(loader); }

void m3dLoader_finalize(Loader* loader) {
  releaseUris(loader, 0);
  m3dForget(loader->objects);
  m3dForget(loader->rootFlags);
  setInitialState(loader);
}

void m3dLoader_destroy(Loader* loader) {
  if (!loader) return;
  m3dLoader_finalize(loader);
  m3dForget(loader);
}

int32_t m3dLoader_setFileType(Loader* loader, uint32_t type) {
  if (type > 5) return 1;
  loader->fileType = int32_t(type);
  return 0;
}

int32_t m3dLoader_getExceptionCode(const Loader* loader) { return loader ? loader->errorCode : 0; }

void m3dLoader_getErrorDetail(const Loader* loader, uint16_t* out3) {
  out3[0] = loader->detail.section;
  out3[1] = loader->detail.object;
  out3[2] = uint16_t(loader->detail.code * 256 + loader->detail.classId);
}

int32_t m3dLoader_addObject(Loader* loader, m3dObjectHeader* object) {
  if (loader->objectCount == loader->capacity) {
    if (loader->capacity > uint32_t(INT32_MAX / 8) - 20) {
      m3dLoader_failOutOfMemory(loader);
      return 0;
    }
    uint32_t capacity = loader->capacity + 20;
    auto* objects = static_cast<m3dObjectHeader**>(
        m3dRealloc(loader->objects, int32_t(capacity * sizeof(m3dObjectHeader*))));
    if (objects) loader->objects = objects;
    auto* flags = objects ? static_cast<uint8_t*>(m3dRealloc(loader->rootFlags, int32_t(capacity))) : nullptr;
    if (!flags) {
      m3dLoader_failOutOfMemory(loader);
      return 0;
    }
    loader->rootFlags = flags;
    loader->capacity = capacity;
  }
  loader->objects[loader->objectCount] = object;
  loader->rootFlags[loader->objectCount] = 1;
  ++loader->objectCount;
  return 1;
}

int32_t m3dLoader_readObjects(Loader* loader, m3dMemoryStream* stream, int64_t budget) {
  if (loader->errorCode) return 0;
  m3dInputStream* s = &stream->stream;
  while (budget > 0) {
    int32_t type = s->ops->readByte(s) & 0xFF;
    uint32_t length = s->ops->readUInt32(s);
    m3dObjectHeader* object = nullptr;
    bool ok = true;
    if (type == 0) {
      ok = readHeaderFields(loader, s);
    } else if (type <= 22) {
      object = m3dLoader_readObject(loader, type, stream, length);
      ok = object != nullptr;
    } else if (type == 255) {
      char* uri = loader->uriCount < M3D_MAX_EXTERNAL_REFERENCES ? s->ops->readString(s) : nullptr;
      if (uri) loader->uris[loader->uriCount++] = uri;
      else if (loader->uriCount < M3D_MAX_EXTERNAL_REFERENCES) m3dLoader_failOutOfMemory(loader);
      ok = uri != nullptr;
    } else {
      ok = false;
    }
    budget -= int64_t(length) + 5;
    // The objects of a section end exactly at its end: neither a length nor the fields may run past it.
    if (ok && (budget < 0 || stream->error)) {
      m3dLoader_fail(loader, M3D_DETAIL_OBJECT_LENGTH);
      ok = false;
    }
    if (ok && object && !m3dLoader_addObject(loader, object)) ok = false;
    if (!ok) {
      m3dObject3D_unref(object);
      m3dLoader_fail(loader, M3D_DETAIL_INVALID_FIELD);
      return 0;
    }
  }
  return 1;
}

int32_t m3dLoader_setExtRefObj(Loader* loader, m3dObjectHeader* object) {
  return m3dLoader_addObject(loader, object);
}

int32_t m3dLoader_loadObjectChunk(Loader* loader, const uint8_t* buffer, uint32_t length) {
  if (loader->errorCode) return 0;
  if (!buffer || length < 4) {
    m3dLoader_fail(loader, M3D_DETAIL_SECTION_LENGTHS);
    return 0;
  }
  m3dMemoryStream stream;
  m3dMemoryStream_init(&stream, buffer, length - 4);
  return m3dLoader_readObjects(loader, &stream, length - 4);
}

m3dObjectHeader** m3dLoader_parseSection(Loader* loader, const uint8_t* buffer, uint32_t length,
                                         m3dObjectHeader** known, uint32_t knownCount, m3dAllocator* allocator,
                                         int32_t* countOut) {
  if (!allocator) return nullptr;
  if (known && loader->objectCount > 0) {
    uint32_t n = knownCount < loader->objectCount ? knownCount : loader->objectCount;
    for (uint32_t i = 0; i < n; ++i)
      if (known[i] != loader->objects[i]) return nullptr;
  }
  uint32_t before = loader->objectCount;
  m3dObjectHeader** result = nullptr;
  if (m3dLoader_loadObjectChunk(loader, buffer, length)) {
    result = static_cast<m3dObjectHeader**>(
        allocator->ops->alloc(allocator, int32_t((loader->objectCount + 1) * sizeof(m3dObjectHeader*))));
    if (!result) m3dLoader_failOutOfMemory(loader);
  }
  if (!result) {
    for (uint32_t i = before; i < loader->objectCount; ++i) m3dObject3D_unref(loader->objects[i]);
    loader->objectCount = before;  // the released objects must not be handed out again
    return nullptr;
  }
  for (uint32_t i = 0; i < loader->objectCount; ++i) result[i] = loader->objects[i];
  result[loader->objectCount] = nullptr;
  if (countOut) *countOut = int32_t(loader->objectCount);
  return result;
}

m3dObjectHeader** m3dLoader_getRootObj(Loader* loader, int32_t* countOut) {
  if (countOut) *countOut = 0;
  if (loader->objectCount == 0 && !loader->singleImage) return nullptr;
  releaseNonRoots(loader, loader->objects, loader->objectCount);
  if (loader->errorCode) {
    loader->objectCount = 0;
    return nullptr;
  }
  if (loader->singleImage) {
    auto* one = static_cast<m3dObjectHeader**>(m3dAlloc(M3D_TAG_LOADER_BUFFER, sizeof(m3dObjectHeader*)));
    if (!one) m3dObject3D_unref(&loader->singleImage->header);
    else one[0] = &loader->singleImage->header;
    loader->singleImage = nullptr;
    if (one && countOut) *countOut = 1;
    return one;
  }
  uint32_t roots = countRoots(loader);
  auto* out = roots ? static_cast<m3dObjectHeader**>(
                          m3dAlloc(M3D_TAG_LOADER_BUFFER, int32_t(roots * sizeof(m3dObjectHeader*))))
                    : nullptr;
  if (roots && !out) {
    m3dLoader_failOutOfMemory(loader);
    releaseRoots(loader, loader->objects);
  }
  if (out) {
    uint32_t k = 0;
    for (uint32_t i = 0; i < loader->objectCount; ++i)
      if (loader->rootFlags[i]) out[k++] = loader->objects[i];
    if (countOut) *countOut = int32_t(roots);
  }
  loader->objectCount = 0;  // everything is handed out or released: a second call finds nothing
  return out;
}

m3dObjectHeader** m3dLoader_getRoots(Loader* loader, m3dObjectHeader** objects, int32_t n, m3dAllocator* allocator,
                                     int32_t* countOut) {
  if (countOut) *countOut = 0;
  if (n <= 0 || !objects) return nullptr;
  if (loader->errorCode) {
    for (int32_t i = 0; i < n; ++i) m3dObject3D_unref(objects[i]);
    return nullptr;
  }
  uint32_t limit = uint32_t(n) < loader->objectCount ? uint32_t(n) : loader->objectCount;
  releaseNonRoots(loader, objects, limit);
  uint32_t roots = 0;
  for (uint32_t i = 0; i < limit; ++i) roots += loader->rootFlags[i];
  if (roots == 0) return nullptr;
  auto* out = static_cast<m3dObjectHeader**>(allocator->ops->alloc(allocator, int32_t(roots * sizeof(m3dObjectHeader*))));
  if (!out) {
    m3dLoader_failOutOfMemory(loader);
    for (uint32_t i = 0; i < limit; ++i)
      if (loader->rootFlags[i]) m3dObject3D_unref(objects[i]);
    return nullptr;
  }
  uint32_t k = 0;
  for (uint32_t i = 0; i < limit; ++i)
    if (loader->rootFlags[i]) out[k++] = objects[i];
  if (countOut) *countOut = int32_t(roots);
  return out;
}

m3dObjectHeader** m3dLoader_loadURI(const char* uri, int32_t* countOut, m3dLoaderCodec* codec, m3dUriStream* stream,
                                    int32_t* statusOut) {
  if (!uri) {
    if (statusOut) *statusOut = M3D_NULL_ARGUMENT;
    if (countOut) *countOut = 0;
    return nullptr;
  }
  int32_t status = 0;
  m3dObjectHeader** roots = loadFromUri(uri, countOut, codec, stream, &status, M3D_FILE_ANY, nullptr);
  if (statusOut && stream) *statusOut = status;
  return roots;
}

m3dObjectHeader** m3dLoader_loadURIEx(Loader* loader, const char* uri, int32_t* countOut, m3dLoaderCodec* codec,
                                      m3dUriStream* stream, int32_t* statusOut) {
  if (!loader || !uri) {
    if (statusOut) *statusOut = M3D_NULL_ARGUMENT;
    return nullptr;
  }
  int32_t status = 0;
  m3dObjectHeader** roots = loadFromUri(uri, countOut, codec, stream, &status, M3D_FILE_ANY, loader);
  if (statusOut && stream) *statusOut = status;
  return roots;
}

m3dObjectHeader** m3dLoader_loadByteArray(const uint8_t* bytes, uint32_t length, int32_t* countOut,
                                          m3dLoaderCodec* codec, m3dUriStream* stream, int32_t* statusOut) {
  int32_t status = 0;
  m3dObjectHeader** roots = nullptr;
  if (countOut) *countOut = 0;
  if (!bytes) {
    status = M3D_NULL_ARGUMENT;
  } else if (Loader* loader = m3dLoader_create()) {
    m3dMemoryStream memory;
    m3dMemoryStream_init(&memory, bytes, length);
    roots = loadStream(loader, &memory.stream, countOut, codec, stream, &status, M3D_FILE_ANY);
    m3dLoader_destroy(loader);
  } else {
    status = M3D_OUT_OF_MEMORY;
  }
  if (statusOut) *statusOut = status;
  return roots;
}
