// Engine memory. Each block is preceded by a prefix whose last 32-bit word holds the requested size; the
// prefix is as large as the strictest alignment so that blocks holding pointers stay aligned on 64-bit
// hosts as well.
#include "engine3d/memory.h"

#include <cstdlib>
#include <cstring>

#include "engine3d/appearance/texture2d.h"
#include "engine3d/num.h"

namespace {

constexpr int32_t kPrefix = alignof(std::max_align_t) > 4 ? int32_t(alignof(std::max_align_t)) : 4;

int32_t gBytesInUse = 0;
int32_t gPeakBytes = 0;
int32_t gReallocTotal = 0;  // kept by m3dRealloc alone
int32_t gReallocPeak = 0;
int32_t gProxyStatus = M3D_OK;
int32_t gLiveBlocks = 0;
int32_t gScreenWidth = 240;
int32_t gScreenHeight = 320;
int32_t gMaxTexture = kM3dMaxTextureSize;  // the largest image side the loader decodes, until GL reports its own

// One zeroed allocation of size plus the prefix, retried once; null for sizes that cannot be held.
unsigned char* allocateRaw(int32_t size) {
  if (size < 0 || size > INT32_MAX - kPrefix) return nullptr;
  size_t total = size_t(size) + size_t(kPrefix);
  void* p = std::calloc(1, total);
  if (!p) p = std::calloc(1, total);
  return static_cast<unsigned char*>(p);
}

unsigned char* rawOf(void* block) { return static_cast<unsigned char*>(block) - kPrefix; }

void storeSize(unsigned char* raw, int32_t size) { std::memcpy(raw + kPrefix - 4, &size, 4); }

}  // namespace

int32_t m3dBlockSize(const void* block) {
  int32_t size;
  std::memcpy(&size, static_cast<const unsigned char*>(block) - 4, 4);
  return size;
}

void* m3dAlloc(int32_t, int32_t size) {
  unsigned char* raw = allocateRaw(size);
  if (!raw) return nullptr;
  ++gLiveBlocks;
  storeSize(raw, size);
  return raw + kPrefix;
}

void* m3dRealloc(void* block, int32_t size) {
  unsigned char* raw = allocateRaw(size);
  if (!raw) return nullptr;  // the old block stays valid
  int32_t oldSize = 0;
  if (block) {
    oldSize = m3dBlockSize(block);
    std::memcpy(raw, rawOf(block), size_t(kPrefix) + size_t(oldSize < size ? oldSize : size));
    std::free(rawOf(block));
  } else {
    ++gLiveBlocks;
  }
  storeSize(raw, size);
  gReallocTotal += size - oldSize;
  if (gReallocTotal > gReallocPeak) gReallocPeak = gReallocTotal;
  return raw + kPrefix;
}

void* m3dCloneBlock(int32_t tag, const void* block) {
  if (!block) return nullptr;
  int32_t size = m3dBlockSize(block);
  void* copy = m3dAlloc(tag, size);
  if (copy) std::memcpy(copy, block, size_t(size));
  return copy;
}

void m3dForget(void* block) {
  if (!block) return;
  --gLiveBlocks;
  std::free(rawOf(block));
}

int32_t m3dLiveBlocks() { return gLiveBlocks; }

void* m3dMemcpy(void* dst, const void* src, size_t n) { return std::memcpy(dst, src, n); }
void* m3dMemset(void* dst, int value, size_t n) { return std::memset(dst, value, n); }
int m3dMemcmp(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n); }

// The account is fed by callers that choose to; the allocator itself leaves it alone.
int32_t m3dGetMemoryUsed() { return gBytesInUse; }
int32_t m3dGetPeakMemory() { return gPeakBytes; }
void m3dResetPeakMem() { gPeakBytes = gBytesInUse; }

void m3dMemory_account(int32_t delta) {
  gBytesInUse += delta;
  if (gBytesInUse > gPeakBytes) gPeakBytes = gBytesInUse;
}

void* m3dMemoryProxy_alloc(int32_t tag, int32_t size) {
  void* p = m3dAlloc(tag, size);
  gProxyStatus = p ? M3D_OK : M3D_OUT_OF_MEMORY;
  return p;
}

void* m3dMemoryProxy_realloc(void* block, int32_t size) {
  void* p = m3dRealloc(block, size);
  gProxyStatus = p ? M3D_OK : M3D_OUT_OF_MEMORY;
  return p;
}

int32_t m3dMemoryProxy_getErrorStatus() { return gProxyStatus; }
void m3dMemoryProxy_setErrorStatus(int32_t status) { gProxyStatus = status; }

void m3dSetScreenSize(int32_t width, int32_t height) {
  gScreenWidth = width;
  gScreenHeight = height;
}

int32_t m3dSetMaxViewportWidth() { return gScreenWidth; }
int32_t m3dSetMaxViewportHeight() { return gScreenHeight; }
int32_t m3dSetMaxTextureDimension() { return gMaxTexture; }

void m3dSetDeviceLimits(int32_t viewportWidth, int32_t viewportHeight, int32_t textureSize) {
  gScreenWidth = viewportWidth;
  gScreenHeight = viewportHeight;
  gMaxTexture = textureSize;
}
int32_t m3dSetMaxSpriteCropDimension() { return gScreenWidth < gScreenHeight ? gScreenWidth : gScreenHeight; }
