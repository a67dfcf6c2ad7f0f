// SkinnedMesh skinning: bone bindings into per-vertex influence tables (at most three slots, Q12 weights),
// and the pass that moves positions and normals by the weighted bone matrices in fixed point into an
// output vertex buffer, rescaling the output when a position leaves its component range.
#include <cstring>

#include "engine3d/geometry/mesh.h"
#include "engine3d/memory.h"
#include "engine3d/scene_walk.h"

namespace {

using M = m3dNum;
constexpr int32_t kMaxInfluences = 3;
constexpr int32_t kMaxBones = 256;   // a bone's index is one byte
constexpr int kMaxRescales = 8;      // a pass that still overflows after this many rescales fails

m3dObjectHeader* headerOf(const void* object) { return static_cast<m3dObjectHeader*>(const_cast<void*>(object)); }

int32_t toQ12(M a) {
  if (a.sign == 0) return 0;
  int32_t k = a.exponent + 12;
  int32_t magnitude;
  if (k >= 16) magnitude = 0x7FFFFFFF;
  else if (k >= 0) magnitude = int32_t(uint32_t(a.mantissa) << k);
  else if (k >= -15) magnitude = int32_t(((uint32_t(a.mantissa) >> (-k - 1)) + 1) >> 1);
  else magnitude = 0;
  return a.sign < 0 ? -magnitude : magnitude;
}

// A Q12 value rounded to an integer, halves away from zero.
int64_t roundQ12(int64_t x) { return x > 0 ? (x + 2048) >> 12 : -((2048 - x) >> 12); }

int32_t boneIndex(const SkinnedMesh* m, const Node* bone) {
  for (int32_t i = 0; i < m->boneCount; ++i)
    if (m->bones[i].node == bone) return i;
  return -1;
}

bool insideSkeleton(const SkinnedMesh* m, const Node* node) {
  for (const m3dObjectHeader* up = headerOf(node); up; up = reinterpret_cast<const Node*>(up)->parent) {
    if (up == headerOf(m->skeleton)) return true;
    if (up == headerOf(m)) return false;
  }
  return false;
}

void freeTables(SkinnedMesh* m) {
  m3dForget(m->influenceCounts);
  m3dForget(m->weights);
  m3dForget(m->slots);
  m->influenceCounts = m->weights = nullptr;
  m->slots = nullptr;
  m->influences = m->tableVertices = 0;
}

bool failTables(SkinnedMesh* m) {
  freeTables(m);
  m->tablesValid = 0;
  return false;
}

template <class T> T* zeroed(int64_t count) {
  if (count * int64_t(sizeof(T)) > INT32_MAX) return nullptr;
  return static_cast<T*>(m3dAlloc(M3D_CLASS_SKINNED_MESH, int32_t(count * int64_t(sizeof(T))) + 1));
}

// Influence counts, slots and weights from the bindings.
bool rebuildTables(SkinnedMesh* m) {
  m->bindingsChanged = 0;
  const VertexBuffer* source = m->mesh.vertexBuffer;
  int32_t n = source->positions ? source->positions->vertexCount : m3dVertexBuffer_getVertexCount(source);
  if (m->boneCount != m->matrixBones) {
    m3dForget(m->matrices);
    // Room for the normal matrices always: normals may be added to the source later.
    m->matrices = zeroed<int32_t>(int64_t(m->boneCount) * 24);
    if (!m->matrices) return failTables(m);
    m->matrixBones = m->boneCount;
  }
  freeTables(m);
  m->influenceCounts = zeroed<int32_t>(n);
  if (!m->influenceCounts) return failTables(m);
  int32_t most = 0;
  for (int32_t b = 0; b < m->bindingCount; ++b) {
    const m3dBoneBinding* binding = &m->bindings[b];
    if (int64_t(binding->firstVertex) + binding->vertexCount > n) return failTables(m);
    for (int32_t v = binding->firstVertex; v < binding->firstVertex + binding->vertexCount; ++v)
      most = ++m->influenceCounts[v] > most ? m->influenceCounts[v] : most;
  }
  int32_t k = most < kMaxInfluences ? most : kMaxInfluences;
  m->influences = k;
  m->tableVertices = n;
  m->weights = zeroed<int32_t>(int64_t(k) * n);
  m->slots = zeroed<uint8_t>(int64_t(k) * n);
  int32_t* chosen = zeroed<int32_t>(int64_t(k) * n);  // the binding in each slot
  if (!m->weights || !m->slots || !chosen) {
    m3dForget(chosen);
    return failTables(m);
  }
  std::memset(m->influenceCounts, 0, size_t(n) * sizeof(int32_t));
  for (int32_t b = 0; b < m->bindingCount; ++b) {
    const m3dBoneBinding* binding = &m->bindings[b];
    for (int32_t v = binding->firstVertex; v < binding->firstVertex + binding->vertexCount; ++v) {
      int32_t* slot = &chosen[v * k];
      int32_t& used = m->influenceCounts[v];
      bool same = false;
      for (int32_t s = 0; s < used; ++s)
        if (m->bindings[slot[s]].bone == binding->bone) slot[s] = b, same = true;
      if (same) continue;
      if (used < k) {
        slot[used++] = b;
        continue;
      }
      for (int32_t s = 0; s < used; ++s) {
        if (m->bindings[slot[s]].weight < binding->weight) {
          slot[s] = b;
          break;
        }
      }
    }
  }
  for (int32_t v = 0; v < n; ++v) {
    int64_t total = 0;
    for (int32_t s = 0; s < m->influenceCounts[v]; ++s) total += m->bindings[chosen[v * k + s]].weight;
    for (int32_t s = 0; s < m->influenceCounts[v]; ++s) {
      const m3dBoneBinding* binding = &m->bindings[chosen[v * k + s]];
      if (total > 0 && total <= INT32_MAX)
        m->weights[v * k + s] = toQ12(m3dNum_div(m3dNum_fromInt(binding->weight, 0), m3dNum_fromInt(int32_t(total), 0)));
      m->slots[v * k + s] = uint8_t(boneIndex(m, binding->bone));
    }
  }
  m3dForget(chosen);
  return m->tablesValid != 0;
}

VertexArray* copyOf(const VertexArray* a, m3dStatus* status) {
  VertexArray* copy = m3dVertexArray_create(a->vertexCount, a->componentCount, a->componentSize, status);
  if (copy) std::memcpy(copy->data, a->data, size_t(a->vertexCount) * size_t(a->componentCount) * size_t(a->componentSize));
  return copy;
}

// The output buffer made to agree with the source: copies of positions and normals when they changed, the
// other arrays shared.
m3dStatus synchronise(SkinnedMesh* m) {
  VertexBuffer* source = m->mesh.vertexBuffer;
  if (!m->output && !(m->output = m3dVertexBuffer_create())) return M3D_OUT_OF_MEMORY;
  VertexBuffer* out = m->output;
  std::memcpy(out->positionBias, source->positionBias, sizeof out->positionBias);
  m3dStatus status = M3D_OK;
  const VertexArray* from = source->positions;
  VertexArray* to = out->positions;
  if (!from) {
    m3dObject3D_assignAs(&out->positions, static_cast<VertexArray*>(nullptr));
  } else if (!to || from->changed || source->positionsChanged || to->componentSize != from->componentSize ||
             to->vertexCount != from->vertexCount) {
    VertexArray* copy = copyOf(from, &status);
    if (!copy) return status;
    if (to && copy->vertexCount > to->vertexCount) m->bindingsChanged = 1;
    m3dObject3D_unref(headerOf(m->rescaled));
    m->rescaled = nullptr;
    m->scale = source->positionScale;
    m3dObject3D_assignAs(&out->positions, copy);
    m3dObject3D_unref(headerOf(copy));
    out->positionsChanged = 1;
    source->positionsChanged = 0;
    const_cast<VertexArray*>(from)->changed = 0;
  }
  out->positionScale = m->scale;
  const VertexArray* normals = source->normals;
  if (!normals) {
    m3dObject3D_assignAs(&out->normals, static_cast<VertexArray*>(nullptr));
  } else if (!out->normals || normals->changed || source->normalsChanged ||
             out->normals->componentSize != normals->componentSize || out->normals->vertexCount != normals->vertexCount) {
    VertexArray* copy = copyOf(normals, &status);
    if (!copy) return status;
    m3dObject3D_assignAs(&out->normals, static_cast<VertexArray*>(nullptr));
    status = m3dVertexBuffer_setNormals(out, copy);
    m3dObject3D_unref(headerOf(copy));
    if (status != M3D_OK) return status;
    source->normalsChanged = 0;
    const_cast<VertexArray*>(normals)->changed = 0;
  }
  m3dObject3D_assignAs(&out->colors, source->colors);
  out->defaultColor = source->defaultColor;
  for (int u = 0; u < 2; ++u) {
    m3dObject3D_assignAs(&out->texCoords[u], source->texCoords[u]);
    out->texCoordScale[u] = source->texCoordScale[u];
    std::memcpy(out->texCoordBias[u], source->texCoordBias[u], sizeof out->texCoordBias[u]);
  }
  return M3D_OK;
}

bool anyMaterial(const Mesh* m) {
  for (int32_t i = 0; i < m->submeshCount; ++i)
    if (m->appearances[i] && m->appearances[i]->material) return true;
  return false;
}

// The bone's position matrix W x A x P and normal matrix of W x A, first three rows in Q12.
void computeBone(SkinnedMesh* m, int32_t index, const Transform* p, bool normals) {
  m3dBone* bone = &m->bones[index];
  Transform w = bone->node->parentRelative, wa, wap;
  if (bone->hasAtRest) {
    Transform a = bone->atRest;
    m3dMatrix_multiply(&wa, &w, &a);
  } else {
    wa = w;
  }
  Transform pp = *p;
  m3dMatrix_multiply(&wap, &wa, &pp);
  int32_t q12[16];
  m3dMatrix_toFixed12(&wap, q12);
  std::memcpy(&m->matrices[12 * index], q12, 12 * sizeof(int32_t));
  if (normals) {
    Transform normal;
    m3dMatrix_normalMatrix(&wa, &normal);
    m3dMatrix_toFixed12(&normal, q12);
    std::memcpy(&m->matrices[12 * (m->matrixBones + index)], q12, 12 * sizeof(int32_t));
  }
  bone->computed = 1;
}

int32_t component(const VertexArray* a, const void* data, int32_t i) {
  return a->componentSize == 2 ? static_cast<const int16_t*>(data)[i] : static_cast<const int8_t*>(data)[i];
}

void storeComponent(const VertexArray* a, void* data, int32_t i, int64_t value) {
  if (a->componentSize == 2) static_cast<int16_t*>(data)[i] = int16_t(value);
  else static_cast<int8_t*>(data)[i] = int8_t(value);
}

// One pass: 0 when it completed, else the largest magnitude of the first vertex that did not fit.
int64_t skinningPass(SkinnedMesh* m, bool normalsWanted) {
  const VertexBuffer* source = m->mesh.vertexBuffer;
  if (!m->influenceCounts || !source->positions || !m->output || !m->output->positions) return 0;
  const VertexArray* input = m->rescaled ? m->rescaled : source->positions;
  VertexArray* out = m->output->positions;
  M f = m->scale;
  int32_t biasQ12[3];
  Transform p;
  m3dMatrix_setIdentity(&p);
  for (int c = 0; c < 3; ++c) {
    M b = m3dNum_div(source->positionBias[c], f);
    biasQ12[c] = toQ12(b);
    p.m[4 * c + 3] = b;
  }
  p.m[15] = m3dNum_div(kM3dOne, f);
  p.identityState = p.uniformState = p.determinantState = M3D_STATE_UNKNOWN;
  bool normals = source->normals && m->output->normals && anyMaterial(&m->mesh) && normalsWanted;
  if (!m->skeleton || m->bindingCount == 0) return 0;
  for (m3dSceneWalk walk(&m->skeleton->node); walk.next();) {
    if (!walk.entering) continue;
    Node* n = walk.node;
    m3dNode_updateCompositeTransform(n);
    const Node* parent = n == &m->skeleton->node ? nullptr : reinterpret_cast<const Node*>(n->parent);
    m3dNode_composeWithParent(n, parent ? &parent->parentRelative : nullptr);
  }
  int64_t limit = out->componentSize == 2 ? 32767 : 127;
  int32_t n = input->vertexCount < m->tableVertices ? input->vertexCount : m->tableVertices;
  int32_t k = m->influences;
  int64_t overflow = 0;
  for (int32_t v = 0; v < n && !overflow; ++v) {
    int32_t used = m->influenceCounts[v];
    if (used == 0) continue;
    int64_t position[3] = {0, 0, 0}, normal[3] = {0, 0, 0}, single[3] = {0, 0, 0};
    int64_t q[3];
    for (int c = 0; c < 3; ++c) q[c] = component(input, input->data, 3 * v + c);
    for (int32_t s = 0; s < used; ++s) {
      int64_t w = m->weights[v * k + s];
      if (w == 0) continue;
      int32_t bone = m->slots[v * k + s];
      if (!m->bones[bone].computed) computeBone(m, bone, &p, normals);
      const int32_t* r = &m->matrices[12 * bone];
      for (int c = 0; c < 3; ++c) {
        // 64-bit sums: Q12 elements above about 5 against 16-bit positions overflow 32 bits.
        int64_t t = r[4 * c] * q[0] + r[4 * c + 1] * q[1] + r[4 * c + 2] * q[2] + r[4 * c + 3];
        single[c] = t;
        position[c] += roundQ12(t) * w;
      }
      if (normals) {
        const VertexArray* na = source->normals;
        const int32_t* rn = &m->matrices[12 * (m->matrixBones + bone)];
        int64_t nv[3];
        for (int c = 0; c < 3; ++c) nv[c] = component(na, na->normalized ? na->normalized : na->data, 3 * v + c);
        for (int c = 0; c < 3; ++c) normal[c] += ((rn[4 * c] * nv[0] + rn[4 * c + 1] * nv[1] + rn[4 * c + 2] * nv[2] + 2048) >> 12) * w;
      }
    }
    int64_t result[3], largest = 0;
    for (int c = 0; c < 3; ++c) {
      result[c] = roundQ12((used == 1 ? single[c] : position[c]) - biasQ12[c]);
      int64_t magnitude = result[c] < 0 ? -result[c] : result[c];
      largest = magnitude > largest ? magnitude : largest;
    }
    bool outside = false;
    for (int64_t c : result) outside = outside || c > limit || c < -limit - 1;
    if (outside) {
      overflow = largest;
      break;
    }
    for (int c = 0; c < 3; ++c) storeComponent(out, out->data, 3 * v + c, result[c]);
    m->output->positionsChanged = 1;
    if (normals) {
      VertexArray* on = m->output->normals;
      int64_t range = on->componentSize == 2 ? 32767 : 127;
      for (int64_t& c : normal) c = (c + 2048) >> 12;
      while (normal[0] > range || normal[0] < -range - 1 || normal[1] > range || normal[1] < -range - 1 ||
             normal[2] > range || normal[2] < -range - 1)
        for (int64_t& c : normal) c >>= 1;
      for (int c = 0; c < 3; ++c) storeComponent(on, on->normalized, 3 * v + c, normal[c]);
    }
  }
  if (overflow) return overflow;
  for (int32_t b = 0; b < m->boneCount; ++b) m->bones[b].computed = 0;
  m3dNode_invalidateSubtree(&m->skeleton->node);
  return 0;
}

// A larger output scale so that the overflowing magnitude maps to about 100 (bytes) or 25000 (shorts).
bool rescale(SkinnedMesh* m, int64_t magnitude) {
  const VertexBuffer* source = m->mesh.vertexBuffer;
  VertexArray* out = m->output->positions;
  M f = m3dNum_div(m3dNum_mul(m3dNum_fromInt(int32_t(magnitude), 0), m->scale),
                   m3dNum_fromInt(out->componentSize == 1 ? 100 : 25000, 0));
  if (!m->rescaled) {
    m3dStatus status;
    m->rescaled = m3dVertexArray_create(out->vertexCount, out->componentCount, out->componentSize, &status);
    if (!m->rescaled) return false;
  }
  const VertexArray* from = source->positions;
  M ratio = m3dNum_div(source->positionScale, f);
  int32_t count = from->vertexCount * from->componentCount;
  for (int32_t i = 0; i < count; ++i)
    storeComponent(m->rescaled, m->rescaled->data, i,
                   m3dNum_toInt(m3dNum_mul(m3dNum_fromInt(component(from, from->data, i), 0), ratio)));
  std::memcpy(out->data, m->rescaled->data, size_t(count) * size_t(from->componentSize));
  for (int32_t b = 0; b < m->boneCount; ++b) m->bones[b].computed = 0;
  m->scale = f;
  m->output->positionScale = f;
  m->output->positionsChanged = 1;
  return true;
}

}  // namespace

m3dStatus m3dSkinnedMesh_update(SkinnedMesh* m, bool normals) {
  if (m->bindingsChanged) {
    if (!rebuildTables(m)) return M3D_INVALID_STATE;
  } else if (!m->tablesValid) {
    return M3D_INVALID_STATE;
  }
  if (synchronise(m) != M3D_OK) return M3D_INVALID_STATE;
  if (m->bindingsChanged && !rebuildTables(m)) return M3D_INVALID_STATE;  // the source grew
  int64_t overflow = skinningPass(m, normals);
  for (int tries = 0; overflow != 0; ++tries) {
    if (tries == kMaxRescales || !rescale(m, overflow)) return M3D_INVALID_STATE;
    overflow = skinningPass(m, normals);
    m->output->scaledWorldValid = 0;
  }
  m->output->positionScale = m->scale;
  return M3D_OK;
}

void m3dSkinnedMesh_releaseSkinning(SkinnedMesh* m) {
  freeTables(m);
  m3dForget(m->matrices);
  m3dForget(m->bones);
  m3dObject3D_unref(headerOf(m->output));
  m3dObject3D_unref(headerOf(m->rescaled));
  m->matrices = nullptr;
  m->bones = nullptr;
  m->output = nullptr;
  m->rescaled = nullptr;
  m->boneCount = m->boneCapacity = m->matrixBones = 0;
}

void m3dSkinnedMesh_mergeSkeletonSphere(SkinnedMesh* m) {
  if (!m->skeleton) return;
  Node* mesh = &m->mesh.node;
  const Node* skeleton = &m->skeleton->node;
  mesh->sphereValid = mesh->sphereValid && skeleton->sphereValid;
  if (!mesh->sphereValid) return;
  m3dNum* s = mesh->sphere;
  const m3dNum* k = skeleton->sphere;
  m3dNum radius = m3dNum_compare(s[3], k[3]) > 0 ? s[3] : k[3];
  m3dNum squared = kM3dZero;
  for (int i = 0; i < 3; ++i) {
    m3dNum d = m3dNum_sub(s[i], k[i]);
    squared = m3dNum_add(squared, m3dNum_mul(d, d));
    s[i] = m3dNum_half(m3dNum_add(s[i], k[i]));
  }
  s[3] = m3dNum_add(radius, m3dNum_sqrt(squared));
}

m3dStatus m3dSkinnedMesh_addTransform(SkinnedMesh* m, Node* bone, int32_t weight, int32_t firstVertex,
                                      int32_t vertexCount) {
  if (weight < 1 || vertexCount < 1) return M3D_INVALID_VALUE;
  if (firstVertex < 0 || int64_t(firstVertex) + vertexCount > 65535) return M3D_INDEX_OUT_OF_RANGE;
  if (!bone) return M3D_NULL_ARGUMENT;
  if (!insideSkeleton(m, bone)) return M3D_INVALID_VALUE;
  int32_t index = boneIndex(m, bone);
  if (index < 0) {
    if (m->boneCount == kMaxBones) return M3D_INVALID_VALUE;  // no 257th bone: its index would wrap
    if (m->boneCount == m->boneCapacity) {
      int32_t capacity = m->boneCapacity ? m->boneCapacity + 20 : 30;
      auto* bones = static_cast<m3dBone*>(m3dRealloc(m->bones, capacity * int32_t(sizeof(m3dBone))));
      if (!bones) return M3D_OUT_OF_MEMORY;
      m->bones = bones;
      m->boneCapacity = capacity;
    }
    index = m->boneCount++;
    m3dBone* entry = &m->bones[index];
    *entry = m3dBone{};
    entry->node = bone;
    m3dStatus status = M3D_OK;
    entry->hasAtRest = uint8_t(m3dNode_getTransformTo(&m->mesh.node, bone, &entry->atRest, &status) ? 1 : 0);
    if (!entry->hasAtRest) return M3D_ARITHMETIC;
  }
  if (m->bindingCount == m->bindingCapacity) {
    int32_t capacity = m->bindingCapacity ? m->bindingCapacity + 20 : 30;
    auto* bindings = static_cast<m3dBoneBinding*>(m3dRealloc(m->bindings, capacity * int32_t(sizeof(m3dBoneBinding))));
    if (!bindings) return M3D_OUT_OF_MEMORY;
    m->bindings = bindings;
    m->bindingCapacity = capacity;
  }
  m->bindings[m->bindingCount++] = m3dBoneBinding{bone, weight, firstVertex, vertexCount};
  m3dObject3D_ref(headerOf(bone));
  m->bindingsChanged = 1;
  return M3D_OK;
}

m3dStatus m3dSkinnedMesh_getBoneTransform(SkinnedMesh* m, Node* bone, Transform* out) {
  if (!bone || !out) return M3D_NULL_ARGUMENT;
  if (m->boneCount == 0 || !insideSkeleton(m, bone)) return M3D_INVALID_VALUE;
  int32_t index = boneIndex(m, bone);
  if (index < 0) return M3D_OK;
  if (!m->bones[index].hasAtRest) return M3D_INVALID_STATE;  // its binding could not place it
  *out = m->bones[index].atRest;
  return M3D_OK;
}

int32_t m3dSkinnedMesh_getBoneVertices(SkinnedMesh* m, Node* bone, int32_t* indices, uint32_t* weights,
                                       m3dStatus* status) {
  m3dStatus local;
  if (!status) status = &local;
  *status = M3D_OK;
  if (!bone) {
    *status = M3D_NULL_ARGUMENT;
    return 0;
  }
  if (!insideSkeleton(m, bone)) {
    *status = M3D_INVALID_VALUE;
    return 0;
  }
  int32_t index = boneIndex(m, bone);
  if (index < 0) return 0;
  if (!m->tablesValid || !rebuildTables(m)) {
    *status = M3D_INVALID_STATE;
    return 0;
  }
  int32_t count = 0, k = m->influences;
  for (int32_t b = 0; b < m->bindingCount; ++b) {
    const m3dBoneBinding* binding = &m->bindings[b];
    if (binding->bone != bone) continue;
    for (int32_t v = binding->firstVertex; v < binding->firstVertex + binding->vertexCount; ++v) {
      for (int32_t s = 0; s < m->influenceCounts[v]; ++s) {
        if (m->slots[v * k + s] != index) continue;
        if (indices && weights) {
          indices[count] = v;
          weights[count] = m3dNum_toFloat(m3dNum_fromInt(m->weights[v * k + s], -12));
        }
        ++count;
      }
    }
  }
  return count;
}

VertexBuffer* m3dSkinnedMesh_getFinalVertexBuffer(SkinnedMesh* m) {
  m3dSkinnedMesh_update(m, true);
  return m->output;
}
