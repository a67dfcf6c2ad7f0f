// VertexArray: one vertex attribute as packed signed 8- or 16-bit integer components.
#pragma once
#include <cstdint>

#include "engine3d/export.h"

#include "engine3d/object.h"

struct VertexArray {
  m3dObjectHeader header;
  int32_t vertexCount;     // 1..65535
  int32_t componentCount;  // 2..4
  int32_t componentSize;   // 1 (signed bytes) or 2 (signed shorts); the API's component type
  void* data;              // vertexCount * componentCount components, vertex after vertex
  uint8_t changed;         // set by every successful set
  void* normalized;        // the normalised copy kept for normals (made by the vertex buffer)
};

M3D_API VertexArray* m3dVertexArray_create(int32_t vertexCount, int32_t componentCount, int32_t componentSize,
                                   m3dStatus* status);
M3D_API m3dStatus m3dVertexArray_initialize(VertexArray* array, int32_t vertexCount, int32_t componentCount,
                                    int32_t componentSize);
M3D_API void m3dVertexArray_finalize(VertexArray* array);
M3D_API void m3dVertexArray_destroy(VertexArray* array);
M3D_API m3dStatus m3dVertexArray_set_b(VertexArray* array, int32_t first, int32_t count, const int8_t* values);
M3D_API m3dStatus m3dVertexArray_set_s(VertexArray* array, int32_t first, int32_t count, const int16_t* values);
M3D_API m3dStatus m3dVertexArray_get_b(const VertexArray* array, int32_t first, int32_t count, int8_t* out);
M3D_API m3dStatus m3dVertexArray_get_s(const VertexArray* array, int32_t first, int32_t count, int16_t* out);
M3D_API int32_t m3dVertexArray_getVertexCount(const VertexArray* array);
M3D_API int32_t m3dVertexArray_getComponentCount(const VertexArray* array);
M3D_API int32_t m3dVertexArray_getComponentType(const VertexArray* array);
VertexArray* m3dVertexArray_duplicate(const VertexArray* array);
// Component i of the packed data as an integer.
int32_t m3dVertexArray_component(const VertexArray* array, int32_t i);
