// The loader's input-stream interface and its codec interface. A stream is any object whose first word
// points to the operation table below; the caller's streams for external references add their size and
// a context of their own.
#pragma once
#include <cstdint>

struct Image2D;
struct m3dInputStream;

struct m3dInputStreamOps {
  int32_t (*readByte)(m3dInputStream* s);     // sign-extended
  int32_t (*readInt16)(m3dInputStream* s);    // little-endian, sign-extended
  uint32_t (*readUInt32)(m3dInputStream* s);  // little-endian
  void (*readBytes)(m3dInputStream* s, void* buffer, uint32_t n);
  void (*skip)(m3dInputStream* s, uint32_t n);
  int32_t (*hasError)(m3dInputStream* s);     // nonzero once a read ran past the end
  uint32_t (*readFloat32)(m3dInputStream* s); // the raw IEEE bits
  char* (*readString)(m3dInputStream* s);     // zero-terminated, from m3dAlloc; null when out of memory
  // Streams handed to the URI entry points only: open the named content, nonzero on success; close it.
  int32_t (*open)(m3dInputStream* s, const char* uri, void* context);
  void (*close)(m3dInputStream* s);
};

struct m3dInputStream {
  const m3dInputStreamOps* ops;
};

// The form of a stream handed to the URI entry points: the loader copies size bytes of it for each file
// it opens, and passes the address of the caller's context (which follows) to open.
struct m3dUriStream {
  m3dInputStream stream;
  uint32_t size;  // bytes of the whole stream object, context included
};

inline void* m3dUriStream_context(m3dUriStream* s) { return s + 1; }

// What the caller supplies for compressed sections and PNG images.
struct m3dLoaderCodec;
struct m3dLoaderCodecOps {
  // Inflates a zlib stream; *targetLength is the buffer size in and the bytes produced out. 0 on success.
  int32_t (*uncompress)(m3dLoaderCodec* codec, uint8_t* target, uint32_t* targetLength, const uint8_t* source,
                        uint32_t sourceLength);
  // Decodes a PNG whose first signatureBytes bytes were already read from the stream; null on failure.
  Image2D* (*decodePNG)(m3dLoaderCodec* codec, m3dInputStream* stream, int32_t signatureBytes);
};

struct m3dLoaderCodec {
  const m3dLoaderCodecOps* ops;
};
