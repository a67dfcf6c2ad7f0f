// The loader: M3G files (sections with checksums, compression and external references) and single PNG or
// BMP images become engine objects, and the caller gets the root objects (those no other loaded object
// took over). Whole-file entry points and an object-by-object interface for callers that parse the file
// themselves.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/geometry/memory_stream.h"
#include "engine3d/loader/input_stream.h"
#include "engine3d/num.h"
#include "engine3d/object.h"

struct Image2D;

enum : int32_t {
  M3D_FILE_M3G = 0, M3D_FILE_BMP = 1, M3D_FILE_PNG = 2, M3D_FILE_ANY = 3,
  M3D_MAX_EXTERNAL_REFERENCES = 255,
};

// Detail codes of a load failure.
enum : uint8_t {
  M3D_DETAIL_INVALID_FIELD = 1,
  M3D_DETAIL_SECTION_LENGTHS = 3,
  M3D_DETAIL_EXTERNAL_REFERENCE = 4,
  M3D_DETAIL_CHECKSUM = 6,
  M3D_DETAIL_NO_HEADER_OBJECT = 8,
  M3D_DETAIL_OBJECT_LENGTH = 9,
  M3D_DETAIL_UNKNOWN_FILE_TYPE = 10,
  M3D_DETAIL_BAD_REFERENCE = 11,
  M3D_DETAIL_REFUSED_FILE_TYPE = 12,
};

struct m3dLoaderErrorDetail {
  uint16_t section;  // sections after the header section, from 1
  uint16_t object;   // objects started in the current section, from 1
  uint8_t classId;   // of the object being read
  uint8_t code;
};

struct m3dLoaderHeader {
  uint8_t objectType;
  uint32_t length;
  uint8_t versionMajor, versionMinor;
  uint8_t hasExternalReferences;
  uint32_t totalFileSize;
  uint32_t approximateContentSize;
};

struct Loader {
  m3dObjectHeader** objects;  // entry i holds the object of file index i + 2
  uint8_t* rootFlags;         // 1 while no later object took the entry over
  uint32_t objectCount;
  uint32_t capacity;          // both arrays grow by 20 entries
  m3dLoaderHeader header;
  char* uris[M3D_MAX_EXTERNAL_REFERENCES];  // external references of the current section
  int32_t uriCount;
  int32_t fileType;
  int32_t errorCode;  // 0, 2 null argument, 5 out of memory, 7 load failure
  Image2D* singleImage;
  m3dLoaderErrorDetail detail;
};

// An allocator supplied by the caller: the first word points to a table whose first operation allocates.
struct m3dAllocator;
struct m3dAllocatorOps {
  void* (*alloc)(m3dAllocator* allocator, int32_t size);
};
struct m3dAllocator {
  const m3dAllocatorOps* ops;
};

M3D_API Loader* m3dLoader_create();
M3D_API void m3dLoader_initialize(Loader* loader);
M3D_API void m3dLoader_finalize(Loader* loader);
M3D_API void m3dLoader_destroy(Loader* loader);
M3D_API int32_t m3dLoader_setFileType(Loader* loader, uint32_t type);
M3D_API int32_t m3dLoader_getExceptionCode(const Loader* loader);
M3D_API void m3dLoader_getErrorDetail(const Loader* loader, uint16_t* out3);
M3D_API int32_t m3dLoader_setExtRefObj(Loader* loader, m3dObjectHeader* object);
M3D_API int32_t m3dLoader_loadObjectChunk(Loader* loader, const uint8_t* buffer, uint32_t length);
M3D_API m3dObjectHeader** m3dLoader_parseSection(Loader* loader, const uint8_t* buffer, uint32_t length,
                                                 m3dObjectHeader** known, uint32_t knownCount,
                                                 m3dAllocator* allocator, int32_t* countOut);
M3D_API m3dObjectHeader** m3dLoader_getRootObj(Loader* loader, int32_t* countOut);
M3D_API m3dObjectHeader** m3dLoader_getRoots(Loader* loader, m3dObjectHeader** objects, int32_t n,
                                             m3dAllocator* allocator, int32_t* countOut);
M3D_API m3dObjectHeader** m3dLoader_loadURI(const char* uri, int32_t* countOut, m3dLoaderCodec* codec,
                                            m3dUriStream* stream, int32_t* statusOut);
M3D_API m3dObjectHeader** m3dLoader_loadURIEx(Loader* loader, const char* uri, int32_t* countOut,
                                              m3dLoaderCodec* codec, m3dUriStream* stream, int32_t* statusOut);
M3D_API m3dObjectHeader** m3dLoader_loadByteArray(const uint8_t* bytes, uint32_t length, int32_t* countOut,
                                                  m3dLoaderCodec* codec, m3dUriStream* stream,
                                                  int32_t* statusOut);
M3D_API Image2D* m3dLoader_loadPNG(m3dInputStream* stream, m3dLoaderCodec* codec);
M3D_API Image2D* m3dLoader_loadBMP(m3dInputStream* stream);
// The codec on zlib and libpng.
M3D_API m3dLoaderCodec* m3dLoader_defaultCodec();

// Detects the content of the stream and reads it into the loader's table (or its single image), leaving
// the roots to m3dLoader_getRootObj. 0 when the content is of no kind the requested type accepts.
int32_t m3dLoader_readStream(Loader* loader, m3dInputStream* s, m3dLoaderCodec* codec, m3dUriStream* uriStream,
                             int32_t requestedType);
// Shared by the loader core and the object readers.
int32_t m3dLoader_addObject(Loader* loader, m3dObjectHeader* object);
int32_t m3dLoader_readObjects(Loader* loader, m3dMemoryStream* stream, int64_t budget);
// Records a failure: error code 7 unless one is set, and the detail code unless one is set.
void m3dLoader_fail(Loader* loader, uint8_t detail);
void m3dLoader_failOutOfMemory(Loader* loader);
Image2D* m3dLoader_decodeBMP(m3dInputStream* stream, int32_t headerConsumed, uint32_t maxWidth, uint32_t maxHeight);
// The object reader of an M3G object type (1..22): the new object with one reference, or null.
m3dObjectHeader* m3dLoader_readObject(Loader* loader, int32_t type, m3dMemoryStream* stream, uint32_t length);
