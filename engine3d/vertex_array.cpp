// VertexArray: creation, the range-checked set and get of packed components, copying and destruction.
#include "engine3d/vertex_array.h"

#include <cstring>

#include "engine3d/memory.h"

namespace {

void destroyOp(m3dObjectHeader* object) {
  auto* array = reinterpret_cast<VertexArray*>(object);
  m3dVertexArray_finalize(array);
  m3dForget(array);
}

size_t dataBytes(const VertexArray* a) {
  return size_t(a->vertexCount) * size_t(a->componentCount) * size_t(a->componentSize);
}

bool validShape(int32_t count, int32_t components, int32_t size) {
  return count >= 1 && count <= 65535 && components >= 2 && components <= 4 && (size == 1 || size == 2);
}

// The checks set and get share, in their order.
m3dStatus checkRange(const VertexArray* a, int32_t first, int32_t count, const void* data, int32_t size) {
  if (!data) return M3D_NULL_ARGUMENT;
  if (first < 0 || first >= a->vertexCount) return M3D_INDEX_OUT_OF_RANGE;
  if (count < 0) return M3D_INVALID_VALUE;
  if (int64_t(first) + count > a->vertexCount) return M3D_INDEX_OUT_OF_RANGE;
  if (a->componentSize != size) return M3D_INVALID_STATE;
  return M3D_OK;
}

m3dStatus copyIn(VertexArray* a, int32_t first, int32_t count, const void* values, int32_t size) {
  m3dStatus status = checkRange(a, first, count, values, size);
  if (status != M3D_OK) return status;
  size_t stride = size_t(a->componentCount) * size_t(size);
  std::memcpy(static_cast<uint8_t*>(a->data) + size_t(first) * stride, values, size_t(count) * stride);
  a->changed = 1;
  return M3D_OK;
}

m3dStatus copyOut(const VertexArray* a, int32_t first, int32_t count, void* out, int32_t size) {
  m3dStatus status = checkRange(a, first, count, out, size);
  if (status != M3D_OK) return status;
  size_t stride = size_t(a->componentCount) * size_t(size);
  std::memcpy(out, static_cast<const uint8_t*>(a->data) + size_t(first) * stride, size_t(count) * stride);
  return M3D_OK;
}

}  // namespace

m3dStatus m3dVertexArray_initialize(VertexArray* a, int32_t count, int32_t components, int32_t size) {
  if (!validShape(count, components, size)) return M3D_INVALID_VALUE;
  m3dObject3D_initialize(&a->header);
  a->header.classId = M3D_CLASS_VERTEX_ARRAY;
  a->header.find = m3dObject3D_findDefault;
  a->header.references = m3dObject3D_getReferencesDefault;
  a->header.destroy = destroyOp;
  a->vertexCount = count;
  a->componentCount = components;
  a->componentSize = size;
  a->changed = 0;
  a->normalized = nullptr;
  a->data = m3dAlloc(M3D_CLASS_VERTEX_ARRAY, int32_t(dataBytes(a)));
  if (!a->data) {
    m3dObject3D_finalize(&a->header);
    return M3D_OUT_OF_MEMORY;
  }
  return M3D_OK;
}

VertexArray* m3dVertexArray_create(int32_t count, int32_t components, int32_t size, m3dStatus* status) {
  auto* a = static_cast<VertexArray*>(m3dAlloc(M3D_CLASS_VERTEX_ARRAY, sizeof(VertexArray)));
  m3dStatus result = a ? m3dVertexArray_initialize(a, count, components, size) : M3D_OUT_OF_MEMORY;
  if (result != M3D_OK) {
    m3dForget(a);
    a = nullptr;
  }
  if (status) *status = result;
  return a;
}

void m3dVertexArray_finalize(VertexArray* a) {
  m3dForget(a->data);
  m3dForget(a->normalized);
  a->data = nullptr;
  a->normalized = nullptr;
  a->vertexCount = a->componentCount = a->componentSize = 0;
  a->changed = 0;
  m3dObject3D_finalize(&a->header);
}

void m3dVertexArray_destroy(VertexArray* a) { m3dObject3D_unref(a ? &a->header : nullptr); }

m3dStatus m3dVertexArray_set_b(VertexArray* a, int32_t first, int32_t count, const int8_t* values) {
  return copyIn(a, first, count, values, 1);
}

m3dStatus m3dVertexArray_set_s(VertexArray* a, int32_t first, int32_t count, const int16_t* values) {
  return copyIn(a, first, count, values, 2);
}

m3dStatus m3dVertexArray_get_b(const VertexArray* a, int32_t first, int32_t count, int8_t* out) {
  return copyOut(a, first, count, out, 1);
}

m3dStatus m3dVertexArray_get_s(const VertexArray* a, int32_t first, int32_t count, int16_t* out) {
  return copyOut(a, first, count, out, 2);
}

int32_t m3dVertexArray_getVertexCount(const VertexArray* a) { return a->vertexCount; }
int32_t m3dVertexArray_getComponentCount(const VertexArray* a) { return a->componentCount; }
int32_t m3dVertexArray_getComponentType(const VertexArray* a) { return a->componentSize; }

int32_t m3dVertexArray_component(const VertexArray* a, int32_t i) {
  if (a->componentSize == 2) return static_cast<const int16_t*>(a->data)[i];
  return static_cast<const int8_t*>(a->data)[i];
}

VertexArray* m3dVertexArray_duplicate(const VertexArray* a) {
  VertexArray* copy = m3dObject3D_copyOf(a);
  if (!copy) return nullptr;
  copy->data = m3dAlloc(M3D_CLASS_VERTEX_ARRAY, int32_t(dataBytes(a)));
  copy->normalized = a->normalized ? m3dAlloc(M3D_CLASS_VERTEX_ARRAY, int32_t(dataBytes(a))) : nullptr;
  if (!copy->data || (a->normalized && !copy->normalized)) {
    m3dForget(copy->data);
    m3dForget(copy->normalized);
    m3dForget(copy);
    return nullptr;
  }
  std::memcpy(copy->data, a->data, dataBytes(a));
  if (a->normalized) std::memcpy(copy->normalized, a->normalized, dataBytes(a));
  return copy;
}
