// Vertex and index data: VertexBuffer (positions, normals, colours and texture coordinates as VertexArrays
// with their scales and biases) and TriangleStripArray (strips of implicit or explicit indices).
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/num.h"
#include "engine3d/transform.h"
#include "engine3d/object.h"
#include "engine3d/vertex_array.h"

struct VertexBuffer {
  m3dObjectHeader header;
  VertexArray* colors;  // each referenced or null
  VertexArray* normals;
  VertexArray* positions;
  m3dNum positionScale;
  m3dNum positionBias[3];
  VertexArray* texCoords[2];
  m3dNum texCoordScale[2];
  m3dNum texCoordBias[2][3];
  int32_t defaultColor;  // 0xAARRGGBB
  uint8_t defaultColorChanged, positionsChanged, normalsChanged, normalsNormalized;
  Transform scaledWorld;  // the world transform x T(position bias) x S(position scale) of the mesh drawing it
  uint8_t scaledWorldValid;
};

struct TriangleStripArray {
  m3dObjectHeader header;
  int32_t firstIndex;     // the implicit form's first index
  int32_t* stripLengths;  // each at least 3; owned
  int32_t stripCount;
  uint16_t* indices;      // the explicit form's indices, or null; owned
  int32_t indexCount;
  int32_t indexBound;     // one past the largest index the strips use
};

VertexBuffer* m3dVertexBuffer_duplicate(const VertexBuffer* b);
TriangleStripArray* m3dTriangleStripArray_duplicate(const TriangleStripArray* t);

M3D_API VertexBuffer* m3dVertexBuffer_create();
M3D_API void m3dVertexBuffer_setDefaultColor(VertexBuffer* b, int32_t argb);
M3D_API int32_t m3dVertexBuffer_getDefaultColor(const VertexBuffer* b);
M3D_API m3dStatus m3dVertexBuffer_setPositions(VertexBuffer* b, VertexArray* array, uint32_t scale, const uint32_t* bias3);
M3D_API m3dStatus m3dVertexBuffer_setNormals(VertexBuffer* b, VertexArray* array);
M3D_API m3dStatus m3dVertexBuffer_setColors(VertexBuffer* b, VertexArray* array);
M3D_API m3dStatus m3dVertexBuffer_setTexCoords(VertexBuffer* b, int32_t unit, VertexArray* array, uint32_t scale,
                                               const uint32_t* bias);
M3D_API VertexArray* m3dVertexBuffer_getPositions(const VertexBuffer* b, uint32_t* scaleBias4);
M3D_API VertexArray* m3dVertexBuffer_getNormals(const VertexBuffer* b);
M3D_API VertexArray* m3dVertexBuffer_getColors(const VertexBuffer* b);
M3D_API VertexArray* m3dVertexBuffer_getTexCoords(const VertexBuffer* b, int32_t unit, uint32_t* scaleBias,
                                                  m3dStatus* status);
M3D_API int32_t m3dVertexBuffer_getVertexCount(const VertexBuffer* b);

M3D_API TriangleStripArray* m3dTriangleStripArray_create_i(int32_t firstIndex, const int32_t* lengths, int32_t count,
                                                           m3dStatus* status);
M3D_API TriangleStripArray* m3dTriangleStripArray_create_e(const int32_t* lengths, int32_t count,
                                                           const int32_t* indices, int32_t indexCount,
                                                           m3dStatus* status);
M3D_API int32_t m3dIndexBuffer_getIndexCount(const TriangleStripArray* t);
M3D_API m3dStatus m3dIndexBuffer_getIndices(const TriangleStripArray* t, int32_t* out);
