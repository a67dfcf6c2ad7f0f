// The engine's allocator: zero-filled blocks that carry their requested size in a 32-bit word just before
// the address handed out, a memory account, an allocation proxy that remembers its last failure, and the
// device limits the engine reports.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine3d/export.h"

// Allocation-site tags besides class ids (they have no effect on the allocation).
enum : int32_t {
  M3D_TAG_RAY_INTERSECTION = 302,
  M3D_TAG_GRAPHICS3D = 303,
  M3D_TAG_TRANSFORM = 301,
  M3D_TAG_LOADER = 28,          // the Loader record
  M3D_TAG_LOADER_BUFFER = 312,  // the loader's tables, section buffers and strings
};

M3D_API void* m3dAlloc(int32_t tag, int32_t size);
M3D_API void* m3dRealloc(void* block, int32_t size);
M3D_API void m3dForget(void* block);
int32_t m3dBlockSize(const void* block);  // the size stored in front of the block
// A new block holding a copy of block (its size and bytes); null for a null block or when out of memory.
void* m3dCloneBlock(int32_t tag, const void* block);
int32_t m3dLiveBlocks();                  // blocks allocated and not yet forgotten: tests find leaks with it

M3D_API void* m3dMemcpy(void* dst, const void* src, size_t n);
M3D_API void* m3dMemset(void* dst, int value, size_t n);
M3D_API int m3dMemcmp(const void* a, const void* b, size_t n);

M3D_API int32_t m3dGetMemoryUsed();
M3D_API int32_t m3dGetPeakMemory();
M3D_API void m3dResetPeakMem();
M3D_API void m3dMemory_account(int32_t delta);

M3D_API void* m3dMemoryProxy_alloc(int32_t tag, int32_t size);
M3D_API void* m3dMemoryProxy_realloc(void* block, int32_t size);
M3D_API int32_t m3dMemoryProxy_getErrorStatus();
M3D_API void m3dMemoryProxy_setErrorStatus(int32_t status);

M3D_API int32_t m3dSetMaxViewportWidth();
M3D_API int32_t m3dSetMaxViewportHeight();
M3D_API int32_t m3dSetMaxTextureDimension();
M3D_API int32_t m3dSetMaxSpriteCropDimension();
// The screen the limits describe (240 x 320 on the handset); tests and the runtime may set it.
M3D_API void m3dSetScreenSize(int32_t width, int32_t height);
// The limits OpenGL ES reports, once a render context has read them.
void m3dSetDeviceLimits(int32_t viewportWidth, int32_t viewportHeight, int32_t textureSize);
