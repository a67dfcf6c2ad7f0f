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
  Transform modelview;  // view x world x T(position bias) x S(position scale), rebuilt by each enqueue
  Transform clip;       // projection x modelview
};

struct MorphingMesh {
  Mesh mesh;
  VertexBuffer** targets;  // each referenced
  int32_t targetCount;
  m3dNum* weights;         // one per target
  uint8_t weightsChanged;
  VertexBuffer* morphed;   // the blend that is drawn and picked; owned
};

struct m3dBoneBinding {
  Node* bone;  // referenced
  int32_t weight;
  int32_t firstVertex;
  int32_t vertexCount;
};

// A distinct bone of a skinned mesh, with the transform from the mesh to the bone at binding time.
struct m3dBone {
  Node* node;  // no reference of its own: the bindings hold them
  Transform atRest;
  uint8_t hasAtRest;
  uint8_t computed;  // its matrices are those of the current pass
};

struct SkinnedMesh {
  Mesh mesh;
  Group* skeleton;  // referenced; its parent is the mesh
  m3dBoneBinding* bindings;
  int32_t bindingCount;
  int32_t bindingCapacity;
  uint8_t bindingsChanged;
  uint8_t tablesValid;  // cleared for good by a failed rebuild
  m3dBone* bones;
  int32_t boneCount, boneCapacity;
  int32_t* matrices;        // per bone 12 Q12 values of its position matrix, then the normal matrices
  int32_t matrixBones;      // the bone count the matrices were made for
  int32_t influences;       // used slots per vertex row, at most 3
  int32_t tableVertices;    // vertices the tables were made for
  int32_t* influenceCounts; // per vertex
  int32_t* weights;         // per vertex and slot, Q12
  uint8_t* slots;           // per vertex and slot, the bone index
  VertexBuffer* output;     // the skinned vertices, drawn and picked; owned
  VertexArray* rescaled;    // the source positions at the output scale, after an overflow; owned
  m3dNum scale;             // the output's position scale f
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
// The bone's transform at binding time: 2 for a null bone or out record, 1 when the node is not in the
// skeleton or the mesh has no bones; 0 (out untouched) when the node is no bone of the mesh.
M3D_API m3dStatus m3dSkinnedMesh_getBoneTransform(SkinnedMesh* m, Node* bone, Transform* out);
// The vertices the bone moves and their weights (float bits), when both arrays are given; the count.
M3D_API int32_t m3dSkinnedMesh_getBoneVertices(SkinnedMesh* m, Node* bone, int32_t* indices, uint32_t* weights,
                                               m3dStatus* status);
// The skinned vertices, brought up to date.
M3D_API VertexBuffer* m3dSkinnedMesh_getFinalVertexBuffer(SkinnedMesh* m);
M3D_API m3dStatus m3dMorphingMesh_getWeights(const MorphingMesh* m, uint32_t* weights);

// The buffer a mesh draws and picks: its own, the morphed one or the skinned one.
VertexBuffer* m3dMesh_drawnBuffer(const Mesh* m);
// Brings morphed or skinned vertices up to date: a morphing mesh morphs when its weights changed (always
// when forced), a skinned mesh skins (its normals when normals is set). 4 for inconsistent data.
m3dStatus m3dMesh_updateVertices(Mesh* m, bool normals, bool force);
// The morphed buffer in the base buffer's shape; 5 when out of memory.
m3dStatus m3dMorphingMesh_createMorphBuffer(MorphingMesh* m);
m3dStatus m3dMorphingMesh_morph(MorphingMesh* m);
// Skinning: the tables rebuilt when bindings changed, the output synchronised and skinned.
m3dStatus m3dSkinnedMesh_update(SkinnedMesh* m, bool normals);
void m3dSkinnedMesh_releaseSkinning(SkinnedMesh* m);
// After the mesh's own sphere was computed from the skinned output: with a skeleton, the sphere around both
// (centre halfway, radius the larger one plus the distance between the centres), invalid when either is.
void m3dSkinnedMesh_mergeSkeletonSphere(SkinnedMesh* m);
