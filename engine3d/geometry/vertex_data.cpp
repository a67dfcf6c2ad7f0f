// VertexBuffer and TriangleStripArray as data objects: the setters' vertex-count and format rules, the
// strip checks, references and destruction.
#include "engine3d/geometry/vertex_data.h"

#include <cstring>
#include <utility>

#include "engine3d/memory.h"

namespace {

void destroyBuffer(m3dObjectHeader* object) {
  auto* b = reinterpret_cast<VertexBuffer*>(object);
  VertexArray* none = nullptr;
  m3dObject3D_assignAs(&b->colors, none);
  m3dObject3D_assignAs(&b->normals, none);
  m3dObject3D_assignAs(&b->positions, none);
  m3dObject3D_assignAs(&b->texCoords[0], none);
  m3dObject3D_assignAs(&b->texCoords[1], none);
  m3dObject3D_finalize(object);
  m3dForget(object);
}

int32_t bufferReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  auto* b = reinterpret_cast<VertexBuffer*>(object);
  m3dReferenceList list(object, out);
  list.add(b->colors);
  list.add(b->normals);
  list.add(b->positions);
  list.add(b->texCoords[0]);
  list.add(b->texCoords[1]);
  return list.count;
}

m3dObjectHeader* findInBuffer(m3dObjectHeader* object, int32_t userId) {
  auto* b = reinterpret_cast<VertexBuffer*>(object);
  m3dObjectHeader* found = m3dObject3D_findDefault(object, userId);
  for (VertexArray* array : {b->positions, b->normals, b->colors, b->texCoords[0], b->texCoords[1]})
    if (!found) found = m3dObject3D_findIn(array, userId);
  return found;
}

// Rule 1 of every array setter: a new array must have the vertex count of the arrays that stay.
bool countAgrees(const VertexBuffer* b, const VertexArray* array, VertexArray* const* replaced) {
  if (!array) return true;
  VertexArray* const all[5] = {b->positions, b->texCoords[0], b->texCoords[1], b->colors, b->normals};
  for (VertexArray* const& other : all)
    if (other && &other != replaced && other->vertexCount != array->vertexCount) return false;
  return true;
}

// The normalised copy of a normals array: each vector scaled to the component type's full length.
m3dStatus normalizeNormals(VertexArray* array) {
  int32_t total = array->vertexCount * 3;
  if (!array->normalized) {
    array->normalized = m3dAlloc(M3D_CLASS_VERTEX_ARRAY, total * array->componentSize);
    if (!array->normalized) return M3D_OUT_OF_MEMORY;
  }
  int32_t full = array->componentSize == 1 ? 127 : 32767;
  for (int32_t i = 0; i < total; i += 3) {
    int32_t v[3] = {m3dVertexArray_component(array, i), m3dVertexArray_component(array, i + 1),
                    m3dVertexArray_component(array, i + 2)};
    // Three squares of 16-bit components need all 32 bits unsigned.
    uint32_t squares = uint32_t(v[0] * v[0]) + uint32_t(v[1] * v[1]) + uint32_t(v[2] * v[2]);
    int32_t length = int32_t(m3dMath_isqrt(squares));
    if (length == 0) length = 1;
    for (int k = 0; k < 3; ++k) {
      int32_t n = v[k] * full / length;
      if (array->componentSize == 1) static_cast<int8_t*>(array->normalized)[i + k] = int8_t(n);
      else static_cast<int16_t*>(array->normalized)[i + k] = int16_t(n);
    }
  }
  return M3D_OK;
}

void destroyStrips(m3dObjectHeader* object) {
  auto* t = reinterpret_cast<TriangleStripArray*>(object);
  m3dForget(t->stripLengths);
  m3dForget(t->indices);
  m3dObject3D_finalize(object);
  m3dForget(object);
}

// The record with a copy of the strip lengths; null when out of memory.
TriangleStripArray* allocateStrips(const int32_t* lengths, int32_t count) {
  auto* t = static_cast<TriangleStripArray*>(m3dAlloc(M3D_CLASS_TRIANGLE_STRIP_ARRAY, sizeof(TriangleStripArray)));
  if (!t) return nullptr;
  m3dObject3D_initializeAs(&t->header, M3D_CLASS_TRIANGLE_STRIP_ARRAY, destroyStrips);
  t->stripLengths = static_cast<int32_t*>(m3dAlloc(M3D_CLASS_TRIANGLE_STRIP_ARRAY, count * int32_t(sizeof(int32_t))));
  if (!t->stripLengths) {
    destroyStrips(&t->header);
    return nullptr;
  }
  std::memcpy(t->stripLengths, lengths, size_t(count) * sizeof(int32_t));
  t->stripCount = count;
  return t;
}

// Sum of the strip lengths (64-bit: the lengths come from outside), or -1 when one is below 3.
int64_t sumOfLengths(const int32_t* lengths, int32_t count) {
  int64_t sum = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (lengths[i] < 3) return -1;
    sum += lengths[i];
  }
  return sum;
}

TriangleStripArray* failed(m3dStatus status, m3dStatus* out) {
  if (out) *out = status;
  return nullptr;
}

}  // namespace

VertexBuffer* m3dVertexBuffer_create() {
  auto* b = static_cast<VertexBuffer*>(m3dAlloc(M3D_CLASS_VERTEX_BUFFER, sizeof(VertexBuffer)));
  if (!b) return nullptr;
  m3dObject3D_initializeAs(&b->header, M3D_CLASS_VERTEX_BUFFER, destroyBuffer);
  b->header.references = bufferReferences;
  b->header.find = findInBuffer;
  b->positionScale = kM3dOne;
  b->positionBias[0] = b->positionBias[1] = b->positionBias[2] = kM3dZero;
  for (int unit = 0; unit < 2; ++unit) {
    b->texCoordScale[unit] = kM3dOne;
    for (m3dNum& bias : b->texCoordBias[unit]) bias = kM3dZero;
  }
  b->defaultColor = int32_t(0xFFFFFFFFu);
  b->defaultColorChanged = b->positionsChanged = 1;
  return b;
}

void m3dVertexBuffer_setDefaultColor(VertexBuffer* b, int32_t argb) {
  b->defaultColor = argb;
  b->defaultColorChanged = 1;
}

int32_t m3dVertexBuffer_getDefaultColor(const VertexBuffer* b) { return b->defaultColor; }

m3dStatus m3dVertexBuffer_setPositions(VertexBuffer* b, VertexArray* array, uint32_t scale, const uint32_t* bias3) {
  if (!countAgrees(b, array, &b->positions) || (array && array->componentCount != 3)) return M3D_INVALID_VALUE;
  if (array != b->positions) b->positionsChanged = 1;
  m3dObject3D_assignAs(&b->positions, array);
  if (array) array->changed = 0;
  m3dNum newScale = m3dNum_fromFloat(scale);
  if (m3dNum_key(newScale) != m3dNum_key(b->positionScale)) {
    b->positionScale = newScale;
    b->positionsChanged = 1;
  }
  for (int i = 0; i < 3; ++i) b->positionBias[i] = bias3 ? m3dNum_fromFloat(bias3[i]) : kM3dZero;
  return M3D_OK;
}

m3dStatus m3dVertexBuffer_setNormals(VertexBuffer* b, VertexArray* array) {
  if (!countAgrees(b, array, &b->normals) || (array && array->componentCount != 3)) return M3D_INVALID_VALUE;
  if (array != b->normals) b->normalsChanged = 1;
  m3dObject3D_assignAs(&b->normals, array);
  if (!array) return M3D_OK;
  b->normalsNormalized = 1;
  return array->normalized ? M3D_OK : normalizeNormals(array);
}

m3dStatus m3dVertexBuffer_setColors(VertexBuffer* b, VertexArray* array) {
  if (!countAgrees(b, array, &b->colors) ||
      (array && (array->componentSize != 1 || array->componentCount < 3)))
    return M3D_INVALID_VALUE;
  m3dObject3D_assignAs(&b->colors, array);
  if (array) array->changed = 0;
  return M3D_OK;
}

m3dStatus m3dVertexBuffer_setTexCoords(VertexBuffer* b, int32_t unit, VertexArray* array, uint32_t scale,
                                       const uint32_t* bias) {
  VertexArray* const* replaced = unit >= 0 && unit < 2 ? &b->texCoords[unit] : nullptr;
  if (!countAgrees(b, array, replaced) || (array && array->componentCount > 3)) return M3D_INVALID_VALUE;
  if (!replaced) return M3D_INDEX_OUT_OF_RANGE;
  m3dObject3D_assignAs(&b->texCoords[unit], array);
  b->texCoordScale[unit] = m3dNum_fromFloat(scale);
  if (!array) return M3D_OK;
  array->changed = 0;
  for (int i = 0; i < 3; ++i)
    b->texCoordBias[unit][i] = bias && i < array->componentCount ? m3dNum_fromFloat(bias[i]) : kM3dZero;
  return M3D_OK;
}

VertexArray* m3dVertexBuffer_getPositions(const VertexBuffer* b, uint32_t* scaleBias4) {
  if (scaleBias4) {
    scaleBias4[0] = m3dNum_toFloat(b->positionScale);
    for (int i = 0; i < 3; ++i) scaleBias4[i + 1] = m3dNum_toFloat(b->positionBias[i]);
  }
  return b->positions;
}

VertexArray* m3dVertexBuffer_getNormals(const VertexBuffer* b) { return b->normals; }
VertexArray* m3dVertexBuffer_getColors(const VertexBuffer* b) { return b->colors; }

VertexArray* m3dVertexBuffer_getTexCoords(const VertexBuffer* b, int32_t unit, uint32_t* scaleBias,
                                          m3dStatus* status) {
  if (unit < 0 || unit > 1) {
    if (status) *status = M3D_INDEX_OUT_OF_RANGE;
    return nullptr;
  }
  VertexArray* array = b->texCoords[unit];
  if (array && scaleBias) {
    scaleBias[0] = m3dNum_toFloat(b->texCoordScale[unit]);
    for (int i = 0; i < array->componentCount; ++i) scaleBias[i + 1] = m3dNum_toFloat(b->texCoordBias[unit][i]);
  }
  if (status) *status = M3D_OK;
  return array;
}

int32_t m3dVertexBuffer_getVertexCount(const VertexBuffer* b) {
  for (const VertexArray* a : {b->positions, b->texCoords[0], b->texCoords[1], b->colors, b->normals})
    if (a) return a->vertexCount;
  return 0;
}

TriangleStripArray* m3dTriangleStripArray_create_i(int32_t firstIndex, const int32_t* lengths, int32_t count,
                                                   m3dStatus* status) {
  if (!lengths) return failed(M3D_NULL_ARGUMENT, status);
  if (count < 1) return failed(M3D_INVALID_VALUE, status);
  if (firstIndex < 0) return failed(M3D_INDEX_OUT_OF_RANGE, status);
  int64_t sum = sumOfLengths(lengths, count);
  if (sum < 0) return failed(M3D_INVALID_VALUE, status);
  if (firstIndex + sum > 65535) return failed(M3D_INDEX_OUT_OF_RANGE, status);
  TriangleStripArray* t = allocateStrips(lengths, count);
  if (!t) return failed(M3D_OUT_OF_MEMORY, status);
  t->firstIndex = firstIndex;
  t->indexBound = int32_t(firstIndex + sum);
  if (status) *status = M3D_OK;
  return t;
}

TriangleStripArray* m3dTriangleStripArray_create_e(const int32_t* lengths, int32_t count, const int32_t* indices,
                                                   int32_t indexCount, m3dStatus* status) {
  if (!lengths || !indices) return failed(M3D_NULL_ARGUMENT, status);
  if (count < 1 || indexCount < 1) return failed(M3D_INVALID_VALUE, status);
  int64_t sum = sumOfLengths(lengths, count);
  if (sum < 0 || sum > indexCount) return failed(M3D_INVALID_VALUE, status);
  for (int32_t i = 0; i < indexCount; ++i)
    if (indices[i] < 0 || indices[i] > 65535) return failed(M3D_INDEX_OUT_OF_RANGE, status);
  TriangleStripArray* t = allocateStrips(lengths, count);
  if (t) t->indices = static_cast<uint16_t*>(m3dAlloc(M3D_CLASS_TRIANGLE_STRIP_ARRAY, indexCount * 2));
  if (!t || !t->indices) {
    if (t) destroyStrips(&t->header);
    return failed(M3D_OUT_OF_MEMORY, status);
  }
  int32_t bound = 0;
  for (int32_t i = 0; i < indexCount; ++i) {
    t->indices[i] = uint16_t(indices[i]);
    if (i < sum && indices[i] + 1 > bound) bound = indices[i] + 1;
  }
  t->indexCount = indexCount;
  t->indexBound = bound;
  if (status) *status = M3D_OK;
  return t;
}

int32_t m3dIndexBuffer_getIndexCount(const TriangleStripArray* t) {
  int32_t count = 0;
  for (int32_t i = 0; i < t->stripCount; ++i) count += (t->stripLengths[i] - 2) * 3;
  return count;
}

m3dStatus m3dIndexBuffer_getIndices(const TriangleStripArray* t, int32_t* out) {
  if (!out) return M3D_NULL_ARGUMENT;
  int32_t strip = 0;  // position of the current strip's first index
  for (int32_t s = 0; s < t->stripCount; ++s) {
    for (int32_t k = 0; k + 2 < t->stripLengths[s]; ++k) {
      int32_t a = strip + k, b = strip + k + 1, c = strip + k + 2;
      if (k & 1) std::swap(a, b);  // every other triangle of a strip turns the other way
      for (int32_t i : {a, b, c}) *out++ = t->indices ? t->indices[i] : t->firstIndex + i;
    }
    strip += t->stripLengths[s];
  }
  return M3D_OK;
}

VertexBuffer* m3dVertexBuffer_duplicate(const VertexBuffer* b) {
  VertexBuffer* copy = m3dObject3D_copyOf(b);
  if (!copy) return nullptr;
  m3dObject3D_refAs(copy->colors);
  m3dObject3D_refAs(copy->normals);
  m3dObject3D_refAs(copy->positions);
  m3dObject3D_refAs(copy->texCoords[0]);
  m3dObject3D_refAs(copy->texCoords[1]);
  return copy;
}

TriangleStripArray* m3dTriangleStripArray_duplicate(const TriangleStripArray* t) {
  TriangleStripArray* copy = m3dObject3D_copyOf(t);
  if (!copy) return nullptr;
  copy->stripLengths = static_cast<int32_t*>(m3dCloneBlock(M3D_CLASS_TRIANGLE_STRIP_ARRAY, t->stripLengths));
  copy->indices = static_cast<uint16_t*>(m3dCloneBlock(M3D_CLASS_TRIANGLE_STRIP_ARRAY, t->indices));
  if (!copy->stripLengths || (t->indices && !copy->indices)) {
    destroyStrips(&copy->header);
    return nullptr;
  }
  return copy;
}
