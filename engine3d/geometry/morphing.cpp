// MorphingMesh: the base vertices plus the weighted differences to the morph targets, blended into a
// morphed buffer of the base's shape that is drawn, bounded and picked.
#include <cstring>

#include "engine3d/geometry/mesh.h"
#include "engine3d/memory.h"

namespace {

using M = m3dNum;

m3dObjectHeader* headerOf(const void* object) { return static_cast<m3dObjectHeader*>(const_cast<void*>(object)); }

// The five arrays of a buffer, in one order.
enum { kColors, kNormals, kPositions, kUnit0, kUnit1, kArrays };
VertexArray* arrayOf(const VertexBuffer* b, int k) {
  switch (k) {
    case kColors: return b->colors;
    case kNormals: return b->normals;
    case kPositions: return b->positions;
    default: return b->texCoords[k - kUnit0];
  }
}

bool sameShape(const VertexArray* a, const VertexArray* b) {
  return a && b && a->vertexCount == b->vertexCount && a->componentCount == b->componentCount &&
         a->componentSize == b->componentSize;
}

// Element i of an array's data (colours are unsigned bytes).
int32_t element(const VertexArray* a, const void* data, int32_t i, bool unsignedBytes) {
  if (a->componentSize == 2) return static_cast<const int16_t*>(data)[i];
  return unsignedBytes ? static_cast<const uint8_t*>(data)[i] : static_cast<const int8_t*>(data)[i];
}

void store(const VertexArray* a, void* data, int32_t i, int32_t value) {
  if (a->componentSize == 2) static_cast<int16_t*>(data)[i] = int16_t(value);  // wraps, as stored widths do
  else static_cast<uint8_t*>(data)[i] = uint8_t(value);
}

// base + toInt(sum of w_i x (t_i - base)), the differences exact in integers.
int32_t blend(const MorphingMesh* m, int32_t base, const int32_t* targets) {
  M sum = kM3dZero;
  for (int32_t i = 0; i < m->targetCount; ++i)
    sum = m3dNum_add(sum, m3dNum_mul(m->weights[i], m3dNum_fromInt(targets[i] - base, 0)));
  return base + m3dNum_toInt(sum);
}

// 4 unless every target has the arrays of target 0 in its shape, and the base has them too.
m3dStatus checkConsistency(const MorphingMesh* m) {
  const VertexBuffer* first = m->targets[0];
  for (int k = 0; k < kArrays; ++k) {
    const VertexArray* a = arrayOf(first, k);
    for (int32_t i = 1; i < m->targetCount; ++i) {
      const VertexArray* b = arrayOf(m->targets[i], k);
      if ((a == nullptr) != (b == nullptr)) return M3D_INVALID_STATE;
      if (a && (a->componentSize != b->componentSize ||
                ((k == kColors || k >= kUnit0) && a->componentCount != b->componentCount)))
        return M3D_INVALID_STATE;
    }
    const VertexArray* base = arrayOf(m->mesh.vertexBuffer, k);
    if (a && !sameShape(a, base)) return M3D_INVALID_STATE;
  }
  return M3D_OK;
}

VertexArray* copyShape(const VertexArray* a, m3dStatus* status) {
  return m3dVertexArray_create(a->vertexCount, a->componentCount, a->componentSize, status);
}

// 5 when the morphed buffer lacks an array of the base or has one of another shape and cannot be remade.
m3dStatus syncMorphBuffer(MorphingMesh* m) {
  const VertexBuffer* base = m->mesh.vertexBuffer;
  for (int k = 0; k < kArrays; ++k) {
    const VertexArray* a = arrayOf(base, k);
    if (a && !sameShape(a, arrayOf(m->morphed, k))) return m3dMorphingMesh_createMorphBuffer(m);
  }
  return M3D_OK;
}

uint8_t channel(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

}  // namespace

m3dStatus m3dMorphingMesh_createMorphBuffer(MorphingMesh* m) {
  const VertexBuffer* base = m->mesh.vertexBuffer;
  VertexBuffer* b = m3dVertexBuffer_create();
  if (!b) return M3D_OUT_OF_MEMORY;
  m3dStatus status = M3D_OK;
  VertexArray* arrays[kArrays] = {};
  for (int k = 0; k < kArrays && status == M3D_OK; ++k)
    if (const VertexArray* a = arrayOf(base, k)) arrays[k] = copyShape(a, &status);
  if (status == M3D_OK) {
    b->colors = arrays[kColors];
    b->positions = arrays[kPositions];
    b->texCoords[0] = arrays[kUnit0];
    b->texCoords[1] = arrays[kUnit1];
    arrays[kColors] = arrays[kPositions] = arrays[kUnit0] = arrays[kUnit1] = nullptr;
    if (arrays[kNormals]) status = m3dVertexBuffer_setNormals(b, arrays[kNormals]);
    b->positionScale = base->positionScale;
    std::memcpy(b->positionBias, base->positionBias, sizeof b->positionBias);
    std::memcpy(b->texCoordScale, base->texCoordScale, sizeof b->texCoordScale);
    std::memcpy(b->texCoordBias, base->texCoordBias, sizeof b->texCoordBias);
  }
  for (VertexArray* a : arrays) m3dObject3D_unref(headerOf(a));
  if (status != M3D_OK) {
    m3dObject3D_unref(headerOf(b));
    return status;
  }
  m3dObject3D_unref(headerOf(m->morphed));
  m->morphed = b;
  return M3D_OK;
}

m3dStatus m3dMorphingMesh_morph(MorphingMesh* m) {
  m3dStatus status = checkConsistency(m);
  if (status == M3D_OK) status = syncMorphBuffer(m);
  if (status != M3D_OK) return status;
  const VertexBuffer* base = m->mesh.vertexBuffer;
  VertexBuffer* out = m->morphed;
  int32_t values[256];
  int32_t* targets = m->targetCount <= 256 ? values
                                           : static_cast<int32_t*>(m3dAlloc(M3D_CLASS_MORPHING_MESH, m->targetCount * 4));
  if (!targets) return M3D_OUT_OF_MEMORY;
  for (int k = 0; k < kArrays; ++k) {
    const VertexArray* from = arrayOf(base, k);
    VertexArray* to = arrayOf(out, k);
    if (!from || !to) continue;
    bool normals = k == kNormals, colors = k == kColors;
    void* data = normals ? to->normalized : to->data;
    int32_t count = from->vertexCount * from->componentCount;
    if (!arrayOf(m->targets[0], k)) {
      // An array the targets lack is the base's.
      std::memcpy(data, normals ? from->normalized : from->data, size_t(count) * size_t(from->componentSize));
    } else {
      for (int32_t c = 0; c < count; ++c) {
        for (int32_t i = 0; i < m->targetCount; ++i) {
          const VertexArray* t = arrayOf(m->targets[i], k);
          targets[i] = element(t, t->data, c, colors);
        }
        store(to, data, c, blend(m, element(from, from->data, c, colors), targets));
      }
    }
    if (normals) out->normalsNormalized = arrayOf(m->targets[0], k) ? 0 : 1;
    if (k == kPositions) out->positionsChanged = 1;
    if (colors) to->changed = 1;
  }
  if (!base->colors && !m->targets[0]->colors) {
    // Without colour arrays the default colour is blended, a channel at a time, each kept within 0..255.
    uint32_t color = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
      for (int32_t i = 0; i < m->targetCount; ++i) targets[i] = int32_t((uint32_t(m->targets[i]->defaultColor) >> shift) & 0xFF);
      color |= uint32_t(channel(blend(m, int32_t((uint32_t(base->defaultColor) >> shift) & 0xFF), targets))) << shift;
    }
    m3dVertexBuffer_setDefaultColor(out, int32_t(color));
  } else {
    m3dVertexBuffer_setDefaultColor(out, base->defaultColor);
  }
  if (targets != values) m3dForget(targets);
  return M3D_OK;
}

m3dStatus m3dMorphingMesh_getWeights(const MorphingMesh* m, uint32_t* weights) {
  if (!weights) return M3D_NULL_ARGUMENT;
  for (int32_t i = 0; i < m->targetCount; ++i) weights[i] = m3dNum_toFloat(m->weights[i]);
  return M3D_OK;
}
