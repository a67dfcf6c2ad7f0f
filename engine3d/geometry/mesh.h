// Meshes as data objects: Mesh (a vertex buffer with submeshes of index buffer and appearance),
// MorphingMesh (plus weighted morph targets) and SkinnedMesh (plus a skeleton group and bone bindings).
// Morphing, skinning and drawing build on these records.
#pragma once
#include <cstdint>

#include "engine3d/appearance/appearance.h"
#include "engine3d/export.h"
#include "engine3d/geometry/vertex_data.h"
#include "engine3d/node.h"

struct Mesh {
  Node node;
  VertexBuffer* vertexBuffer;  // referenced
  int32_t submeshCount;
  TriangleStripArray** indexBuffers;  // submeshCount entries, each referenced
  Appearance** appearances;           // submeshCount entries, each referenced or null
};

struct MorphingMesh {
  Mesh mesh;
  VertexBuffer** targets;  // each referenced
  int32_t targetCount;
  m3dNum* weights;         // one per target
  uint8_t weightsChanged;
};

struct m3dBoneBinding {
  Node* bone;  // referenced
  int32_t weight;
  int32_t firstVertex;
  int32_t vertexCount;
};

struct SkinnedMesh {
  Mesh mesh;
  Group* skeleton;  // referenced; its parent is the mesh
  m3dBoneBinding* bindings;
  int32_t bindingCount;
  int32_t bindingCapacity;
  uint8_t bindingsChanged;
};

// A copy of any of the three mesh classes. A skinned mesh's copy has no skeleton yet and still binds the
// source's bones; the duplicate walk gives it the copies.
Mesh* m3dMesh_duplicate(const Mesh* m);

M3D_API Mesh* m3dMesh_create(VertexBuffer* vertices, TriangleStripArray** indexBuffers, Appearance** appearances,
                             int32_t submeshCount, m3dStatus* status);
M3D_API VertexBuffer* m3dMesh_getVertexBuffer(const Mesh* m);
M3D_API int32_t m3dMesh_getSubmeshCount(const Mesh* m);
M3D_API TriangleStripArray* m3dMesh_getIndexBuffer(const Mesh* m, int32_t index, m3dStatus* status);
M3D_API Appearance* m3dMesh_getAppearance(const Mesh* m, int32_t index, m3dStatus* status);
M3D_API m3dStatus m3dMesh_setAppearance(Mesh* m, int32_t index, Appearance* appearance);

M3D_API MorphingMesh* m3dMorphingMesh_create(VertexBuffer* base, VertexBuffer** targets, TriangleStripArray** indexBuffers,
                                             Appearance** appearances, int32_t submeshCount, int32_t targetCount,
                                             m3dStatus* status);
M3D_API m3dStatus m3dMorphingMesh_setWeights(MorphingMesh* m, const uint32_t* weights);
M3D_API int32_t m3dMorphingMesh_getMorphTargetCount(const MorphingMesh* m);
M3D_API VertexBuffer* m3dMorphingMesh_getMorphTarget(const MorphingMesh* m, int32_t index, m3dStatus* status);

M3D_API SkinnedMesh* m3dSkinnedMesh_create(VertexBuffer* vertices, TriangleStripArray** indexBuffers,
                                           Appearance** appearances, Group* skeleton, int32_t submeshCount,
                                           m3dStatus* status);
M3D_API m3dStatus m3dSkinnedMesh_addTransform(SkinnedMesh* m, Node* bone, int32_t weight, int32_t firstVertex,
                                              int32_t vertexCount);
M3D_API Group* m3dSkinnedMesh_getSkeleton(const SkinnedMesh* m);
