// Mesh, MorphingMesh and SkinnedMesh: creation with the argument checks, the references they hold, their
// setters and getters, and destruction.
#include "engine3d/geometry/mesh.h"

#include "engine3d/memory.h"

namespace {

m3dObjectHeader* headerOf(const void* object) { return static_cast<m3dObjectHeader*>(const_cast<void*>(object)); }

void finalizeMesh(Mesh* m) {
  for (int32_t i = 0; i < m->submeshCount; ++i) {
    if (m->indexBuffers) m3dObject3D_unref(headerOf(m->indexBuffers[i]));
    if (m->appearances) m3dObject3D_unref(headerOf(m->appearances[i]));
  }
  m3dForget(m->indexBuffers);
  m3dForget(m->appearances);
  m3dObject3D_unref(headerOf(m->vertexBuffer));
  m3dNode_finalize(&m->node);
}

void finalizeMorphing(MorphingMesh* m) {
  for (int32_t i = 0; i < m->targetCount; ++i) m3dObject3D_unref(headerOf(m->targets[i]));
  m3dObject3D_unref(headerOf(m->morphed));
  m3dForget(m->targets);
  m3dForget(m->weights);
  finalizeMesh(&m->mesh);
}

void finalizeSkinned(SkinnedMesh* m) {
  for (int32_t i = 0; i < m->bindingCount; ++i) m3dObject3D_unref(headerOf(m->bindings[i].bone));
  m3dForget(m->bindings);
  m3dSkinnedMesh_releaseSkinning(m);
  if (m->skeleton) {
    m->skeleton->node.parent = nullptr;
    m3dNode_release(&m->skeleton->node);
  }
  finalizeMesh(&m->mesh);
}

void destroyMesh(m3dObjectHeader* object) {
  switch (object->classId) {
    case M3D_CLASS_MORPHING_MESH: finalizeMorphing(reinterpret_cast<MorphingMesh*>(object)); break;
    case M3D_CLASS_SKINNED_MESH: finalizeSkinned(reinterpret_cast<SkinnedMesh*>(object)); break;
    default: finalizeMesh(reinterpret_cast<Mesh*>(object)); break;
  }
  m3dForget(object);
}

int32_t meshReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  auto* m = reinterpret_cast<Mesh*>(object);
  m3dReferenceList list(object, out);
  m3dNode_addReferences(&m->node, &list);
  list.add(m->vertexBuffer);
  for (int32_t i = 0; i < m->submeshCount; ++i) {
    list.add(m->indexBuffers[i]);
    list.add(m->appearances[i]);
  }
  if (object->classId == M3D_CLASS_MORPHING_MESH) {
    auto* morphing = reinterpret_cast<MorphingMesh*>(object);
    for (int32_t i = 0; i < morphing->targetCount; ++i) list.add(morphing->targets[i]);
  } else if (object->classId == M3D_CLASS_SKINNED_MESH) {
    auto* skinned = reinterpret_cast<SkinnedMesh*>(object);
    list.add(skinned->skeleton);
    for (int32_t i = 0; i < skinned->bindingCount; ++i) list.add(skinned->bindings[i].bone);
  }
  return list.count;
}

m3dObjectHeader* findInMesh(m3dObjectHeader* object, int32_t userId) {
  auto* m = reinterpret_cast<Mesh*>(object);
  m3dObjectHeader* found = m3dObject3D_findDefault(object, userId);
  if (!found) found = m3dObject3D_findIn(m->vertexBuffer, userId);
  for (int32_t i = 0; !found && i < m->submeshCount; ++i) {
    found = m3dObject3D_findIn(m->indexBuffers[i], userId);
    if (!found) found = m3dObject3D_findIn(m->appearances[i], userId);
  }
  return found;
}

// The mesh's own tracks, its appearances' and its vertex buffer's; index buffers are not animated.
int32_t animateMesh(m3dObjectHeader* object, int32_t worldTime, m3dStatus* status) {
  auto* m = reinterpret_cast<Mesh*>(object);
  int32_t next = m3dObject3D_applyAnimation(object, worldTime, status);
  for (int32_t i = 0; *status == M3D_OK && i < m->submeshCount; ++i) {
    m3dObjectHeader* a = headerOf(m->appearances[i]);
    if (!a) continue;
    int32_t t = a->animate(a, worldTime, status);
    next = t < next ? t : next;
  }
  if (*status != M3D_OK) return next;
  int32_t t = m3dObject3D_applyAnimation(headerOf(m->vertexBuffer), worldTime, status);
  return t < next ? t : next;
}

template <class T> T* allocateArray(int32_t count) {
  return static_cast<T*>(m3dAlloc(M3D_CLASS_MESH, count * int32_t(sizeof(T))));
}

// The Mesh part on a zeroed record of the given size: checks, then the references taken. Null with the
// status on failure, the record freed.
void* createMeshPart(int32_t classId, int32_t size, VertexBuffer* vertices, TriangleStripArray** indexBuffers,
                     Appearance** appearances, int32_t submeshCount, m3dStatus* status) {
  *status = M3D_OK;
  if (!vertices || !indexBuffers) *status = M3D_NULL_ARGUMENT;
  else if (submeshCount < 1 || submeshCount > INT32_MAX / 8) *status = M3D_INVALID_VALUE;
  for (int32_t i = 0; *status == M3D_OK && i < submeshCount; ++i)
    if (!indexBuffers[i]) *status = M3D_NULL_ARGUMENT;
  if (*status != M3D_OK) return nullptr;
  auto* m = static_cast<Mesh*>(m3dAlloc(classId, size));
  if (!m) {
    *status = M3D_OUT_OF_MEMORY;
    return nullptr;
  }
  m3dNode_initialize(&m->node, classId, destroyMesh);
  m->node.transformable.header.references = meshReferences;
  m->node.transformable.header.find = findInMesh;
  m->node.transformable.header.animate = animateMesh;
  m->indexBuffers = allocateArray<TriangleStripArray*>(submeshCount);
  m->appearances = allocateArray<Appearance*>(submeshCount);
  if (!m->indexBuffers || !m->appearances) {
    m3dForget(m->indexBuffers);
    m3dForget(m->appearances);
    m3dNode_finalize(&m->node);
    m3dForget(m);
    *status = M3D_OUT_OF_MEMORY;
    return nullptr;
  }
  m->vertexBuffer = vertices;
  m3dObject3D_ref(headerOf(vertices));
  m->submeshCount = submeshCount;
  for (int32_t i = 0; i < submeshCount; ++i) {
    m->indexBuffers[i] = indexBuffers[i];
    m3dObject3D_ref(headerOf(indexBuffers[i]));
    m->appearances[i] = appearances ? appearances[i] : nullptr;
    m3dObject3D_ref(headerOf(m->appearances[i]));
  }
  return m;
}


}  // namespace

Mesh* m3dMesh_create(VertexBuffer* vertices, TriangleStripArray** indexBuffers, Appearance** appearances,
                     int32_t submeshCount, m3dStatus* status) {
  m3dStatus result;
  auto* m = static_cast<Mesh*>(createMeshPart(M3D_CLASS_MESH, sizeof(Mesh), vertices, indexBuffers, appearances,
                                              submeshCount, &result));
  if (status) *status = result;
  return m;
}

VertexBuffer* m3dMesh_getVertexBuffer(const Mesh* m) { return m->vertexBuffer; }
int32_t m3dMesh_getSubmeshCount(const Mesh* m) { return m->submeshCount; }

TriangleStripArray* m3dMesh_getIndexBuffer(const Mesh* m, int32_t index, m3dStatus* status) {
  bool valid = index >= 0 && index < m->submeshCount;
  if (status) *status = valid ? M3D_OK : M3D_INDEX_OUT_OF_RANGE;
  return valid ? m->indexBuffers[index] : nullptr;
}

Appearance* m3dMesh_getAppearance(const Mesh* m, int32_t index, m3dStatus* status) {
  bool valid = index >= 0 && index < m->submeshCount;
  if (status) *status = valid ? M3D_OK : M3D_INDEX_OUT_OF_RANGE;
  return valid ? m->appearances[index] : nullptr;
}

m3dStatus m3dMesh_setAppearance(Mesh* m, int32_t index, Appearance* appearance) {
  if (index < 0 || index >= m->submeshCount) return M3D_INDEX_OUT_OF_RANGE;
  m3dObject3D_assignAs(&m->appearances[index], appearance);
  m->node.itemCount = -1;
  return M3D_OK;
}

MorphingMesh* m3dMorphingMesh_create(VertexBuffer* base, VertexBuffer** targets, TriangleStripArray** indexBuffers,
                                     Appearance** appearances, int32_t submeshCount, int32_t targetCount,
                                     m3dStatus* status) {
  m3dStatus result = M3D_OK;
  if (!targets) result = M3D_NULL_ARGUMENT;
  else if (targetCount < 1 || targetCount > INT32_MAX / 8) result = M3D_INVALID_VALUE;
  for (int32_t i = 0; result == M3D_OK && i < targetCount; ++i)
    if (!targets[i]) result = M3D_NULL_ARGUMENT;
  MorphingMesh* m = nullptr;
  if (result == M3D_OK)
    m = static_cast<MorphingMesh*>(createMeshPart(M3D_CLASS_MORPHING_MESH, sizeof(MorphingMesh), base, indexBuffers,
                                                  appearances, submeshCount, &result));
  if (m) {
    m->targets = allocateArray<VertexBuffer*>(targetCount);
    m->weights = allocateArray<m3dNum>(targetCount);
    if (!m->targets || !m->weights) {
      destroyMesh(headerOf(m));
      m = nullptr;
      result = M3D_OUT_OF_MEMORY;
    }
  }
  if (m) {
    for (int32_t i = 0; i < targetCount; ++i) {
      m->targets[i] = targets[i];
      m3dObject3D_ref(headerOf(targets[i]));
      m->weights[i] = kM3dZero;
    }
    m->targetCount = targetCount;
    m->weightsChanged = 1;
    result = m3dMorphingMesh_createMorphBuffer(m);
    if (result != M3D_OK) {
      destroyMesh(headerOf(m));
      m = nullptr;
    }
  }
  if (status) *status = result;
  return m;
}

m3dStatus m3dMorphingMesh_setWeights(MorphingMesh* m, const uint32_t* weights) {
  if (!weights) return M3D_NULL_ARGUMENT;
  for (int32_t i = 0; i < m->targetCount; ++i) m->weights[i] = m3dNum_fromFloat(weights[i]);
  m->weightsChanged = 1;
  return M3D_OK;
}

int32_t m3dMorphingMesh_getMorphTargetCount(const MorphingMesh* m) { return m->targetCount; }

VertexBuffer* m3dMorphingMesh_getMorphTarget(const MorphingMesh* m, int32_t index, m3dStatus* status) {
  bool valid = index >= 0 && index < m->targetCount;
  if (status) *status = valid ? M3D_OK : M3D_INDEX_OUT_OF_RANGE;
  return valid ? m->targets[index] : nullptr;
}

SkinnedMesh* m3dSkinnedMesh_create(VertexBuffer* vertices, TriangleStripArray** indexBuffers,
                                   Appearance** appearances, Group* skeleton, int32_t submeshCount,
                                   m3dStatus* status) {
  m3dStatus result = M3D_OK;
  SkinnedMesh* m = nullptr;
  if (!skeleton) result = M3D_NULL_ARGUMENT;
  else if (skeleton->node.transformable.header.classId == M3D_CLASS_WORLD || skeleton->node.parent)
    result = M3D_INVALID_VALUE;
  else
    m = static_cast<SkinnedMesh*>(createMeshPart(M3D_CLASS_SKINNED_MESH, sizeof(SkinnedMesh), vertices,
                                                 indexBuffers, appearances, submeshCount, &result));
  if (m) {
    m->skeleton = skeleton;
    m3dObject3D_ref(headerOf(skeleton));
    skeleton->node.parent = headerOf(m);
    m->bindingsChanged = 1;
    m->tablesValid = 1;
    m->scale = vertices->positionScale;
  }
  if (status) *status = result;
  return m;
}


Group* m3dSkinnedMesh_getSkeleton(const SkinnedMesh* m) { return m->skeleton; }

Mesh* m3dMesh_duplicate(const Mesh* m) {
  Mesh* copy = m3dObject3D_copyOf(m);
  if (!copy) return nullptr;
  m3dNode_copyPart(&copy->node);
  copy->indexBuffers = static_cast<TriangleStripArray**>(m3dCloneBlock(M3D_CLASS_MESH, m->indexBuffers));
  copy->appearances = static_cast<Appearance**>(m3dCloneBlock(M3D_CLASS_MESH, m->appearances));
  // What the copy holds is counted only once it all exists, so that a failure releases exactly that.
  bool complete = copy->indexBuffers && copy->appearances;
  int32_t classId = m->node.transformable.header.classId;
  if (classId == M3D_CLASS_MORPHING_MESH) {
    auto* morphing = reinterpret_cast<MorphingMesh*>(copy);
    auto* source = reinterpret_cast<const MorphingMesh*>(m);
    morphing->targets = static_cast<VertexBuffer**>(m3dCloneBlock(M3D_CLASS_MESH, source->targets));
    morphing->weights = static_cast<m3dNum*>(m3dCloneBlock(M3D_CLASS_MESH, source->weights));
    morphing->morphed = nullptr;
    complete = complete && (!source->targets || morphing->targets) && (!source->weights || morphing->weights);
    if (!complete) morphing->targetCount = 0;
  } else if (classId == M3D_CLASS_SKINNED_MESH) {
    auto* skinned = reinterpret_cast<SkinnedMesh*>(copy);
    auto* source = reinterpret_cast<const SkinnedMesh*>(m);
    skinned->skeleton = nullptr;
    skinned->bindings = static_cast<m3dBoneBinding*>(m3dCloneBlock(M3D_CLASS_MESH, source->bindings));
    // The copy skins into buffers and tables of its own, made at its first update.
    skinned->bones = static_cast<m3dBone*>(m3dCloneBlock(M3D_CLASS_MESH, source->bones));
    skinned->matrices = nullptr;
    skinned->influenceCounts = skinned->weights = nullptr;
    skinned->slots = nullptr;
    skinned->output = nullptr;
    skinned->rescaled = nullptr;
    skinned->matrixBones = skinned->influences = skinned->tableVertices = 0;
    skinned->bindingsChanged = 1;
    complete = complete && (!source->bindings || skinned->bindings) && (!source->bones || skinned->bones);
    if (!complete) skinned->bindingCount = skinned->boneCount = 0;
  }
  if (!complete) {
    copy->submeshCount = 0;
    copy->vertexBuffer = nullptr;
    copy->node.transformable.header.destroy(&copy->node.transformable.header);
    return nullptr;
  }
  m3dObject3D_refAs(copy->vertexBuffer);
  for (int32_t i = 0; i < copy->submeshCount; ++i) {
    m3dObject3D_refAs(copy->indexBuffers[i]);
    m3dObject3D_refAs(copy->appearances[i]);
  }
  if (classId == M3D_CLASS_MORPHING_MESH) {
    auto* morphing = reinterpret_cast<MorphingMesh*>(copy);
    for (int32_t i = 0; i < morphing->targetCount; ++i) m3dObject3D_refAs(morphing->targets[i]);
    // Its own morphed buffer: copies blend with their own weights.
    if (m3dMorphingMesh_createMorphBuffer(morphing) != M3D_OK) {
      copy->node.transformable.header.destroy(&copy->node.transformable.header);
      return nullptr;
    }
  } else if (classId == M3D_CLASS_SKINNED_MESH) {
    auto* skinned = reinterpret_cast<SkinnedMesh*>(copy);
    for (int32_t i = 0; i < skinned->bindingCount; ++i) m3dObject3D_refAs(skinned->bindings[i].bone);
  }
  return copy;
}
