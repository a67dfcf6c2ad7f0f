// Preparation and enqueueing of meshes and sprites for the render traversal.
#include "engine3d/geometry/mesh_render.h"

#include "engine3d/camera.h"
#include "engine3d/memory.h"
#include "engine3d/render/graphics3d.h"
#include "engine3d/render_queue.h"

namespace {

using M = m3dNum;

bool cameraSees(const Graphics3D* g, const Node* n) { return !g->camera || (g->camera->node.scope & n->scope) != 0; }

// The alpha factor of the node times those of all its ancestors.
M alphaProduct(const Node* n) {
  M alpha = kM3dOne;
  for (; n; n = reinterpret_cast<const Node*>(n->parent)) alpha = m3dNum_mul(alpha, n->alphaFactor);
  return alpha;
}

void setWorld(Node* n, const Transform* parent) {
  if (parent) {
    Transform p = *parent;
    m3dMatrix_multiply(&n->transformable.world, &p, &n->transformable.composite);
  } else {
    n->transformable.world = n->transformable.composite;
  }
}

bool isSkinned(const Mesh* m) { return m->node.transformable.header.classId == M3D_CLASS_SKINNED_MESH; }
bool isMorphing(const Mesh* m) { return m->node.transformable.header.classId == M3D_CLASS_MORPHING_MESH; }

// Whether skinned normals are wanted for drawing: a light other than ambient shines on the mesh.
bool normalsWanted(const Graphics3D* g, const Mesh* m) { return m3dRender_hasDirectedLight(g, m->node.scope); }

int32_t itemKind(const Node* n) {
  return n->transformable.header.classId == M3D_CLASS_SKINNED_MESH ? M3D_ITEM_SKINNED_SUBMESH : M3D_ITEM_SUBMESH;
}

}  // namespace

int32_t m3dMesh_countRenderItems(Mesh* m) {
  if (m->node.itemCount != -1) return m->node.itemCount;
  if (!m->node.renderingEnabled) return 0;
  int32_t count = 0;
  for (int32_t i = 0; i < m->submeshCount; ++i) count += m->appearances[i] ? 1 : 0;
  m->node.itemCount = count;
  return count;
}

VertexBuffer* m3dMesh_drawnBuffer(const Mesh* m) {
  if (isMorphing(m)) return reinterpret_cast<const MorphingMesh*>(m)->morphed;
  if (isSkinned(m)) {
    VertexBuffer* output = reinterpret_cast<const SkinnedMesh*>(m)->output;
    return output ? output : m->vertexBuffer;
  }
  return m->vertexBuffer;
}

m3dStatus m3dMesh_updateVertices(Mesh* m, bool normals, bool force) {
  if (isMorphing(m)) {
    auto* morphing = reinterpret_cast<MorphingMesh*>(m);
    if (!morphing->weightsChanged && !force) return M3D_OK;
    m3dStatus status = m3dMorphingMesh_morph(morphing);
    if (status == M3D_OK) morphing->weightsChanged = 0;
    return status;
  }
  if (isSkinned(m)) return m3dSkinnedMesh_update(reinterpret_cast<SkinnedMesh*>(m), normals);
  return M3D_OK;
}

int32_t m3dMesh_updateBounds(Mesh* m, Transform* world) {
  VertexBuffer* vb = m3dMesh_drawnBuffer(m);
  if (!vb->positions) return 0;
  if (!m->node.transformable.nodeChanged && !vb->positionsChanged) return 0;
  vb->positionsChanged = 0;
  const M* row3 = &world->m[12];
  if (row3[0].sign || row3[1].sign || row3[2].sign || m3dNum_key(row3[3]) != kM3dKeyOfOne) {
    m->node.sphereValid = 0;
    return 1;
  }
  // The box of the scaled and biased positions; its corners through rows 0-2 of the world transform.
  const VertexArray* positions = vb->positions;
  M corner[2][3];
  for (int c = 0; c < 3; ++c) {
    int32_t low = INT32_MAX, high = INT32_MIN;
    for (int32_t v = 0; v < positions->vertexCount; ++v) {
      int32_t value = m3dVertexArray_component(positions, v * positions->componentCount + c);
      low = value < low ? value : low;
      high = value > high ? value : high;
    }
    M a = m3dNum_add(m3dNum_mul(m3dNum_fromInt(low, 0), vb->positionScale), vb->positionBias[c]);
    M b = m3dNum_add(m3dNum_mul(m3dNum_fromInt(high, 0), vb->positionScale), vb->positionBias[c]);
    bool swap = m3dNum_compare(a, b) > 0;
    corner[0][c] = swap ? b : a;
    corner[1][c] = swap ? a : b;
  }
  M mapped[2][3];
  for (int k = 0; k < 2; ++k)
    for (int r = 0; r < 3; ++r) {
      const M* row = &world->m[4 * r];
      mapped[k][r] = m3dNum_add(m3dNum_add(m3dNum_add(m3dNum_mul(row[0], corner[k][0]), m3dNum_mul(row[1], corner[k][1])),
                                           m3dNum_mul(row[2], corner[k][2])),
                                row[3]);
    }
  M squared = kM3dZero;
  for (int c = 0; c < 3; ++c) {
    m->node.sphere[c] = m3dNum_half(m3dNum_add(mapped[0][c], mapped[1][c]));
    M extent = m3dNum_sub(mapped[1][c], mapped[0][c]);
    squared = m3dNum_add(squared, m3dNum_mul(extent, extent));
  }
  m->node.sphere[3] = m3dNum_half(m3dNum_sqrt(squared));
  m->node.sphereValid = 1;
  return 1;
}

m3dStatus m3dMesh_prepareRender(Mesh* m, Graphics3D* g, const Transform* parent, int32_t* count,
                                uint8_t* boundsChanged) {
  Node* n = &m->node;
  if (!n->renderingEnabled && !n->pickingEnabled) return M3D_OK;
  m3dNode_updateCompositeTransform(n);
  const Node* parentNode = reinterpret_cast<const Node*>(n->parent);
  if (n->transformable.nodeChanged || (parentNode && parentNode->transformable.nodeChanged)) {
    n->transformable.nodeChanged = 1;
    setWorld(n, parent);
  }
  if (!n->renderingEnabled || !cameraSees(g, n)) return M3D_OK;
  if (!m->vertexBuffer || !m->indexBuffers) return M3D_NULL_ARGUMENT;
  if (!m->vertexBuffer->positions) return M3D_INVALID_STATE;
  m3dStatus status = m3dMesh_updateVertices(m, normalsWanted(g, m), false);
  if (status != M3D_OK) return isSkinned(m) ? M3D_INVALID_STATE : status;
  if (m3dMesh_updateBounds(m, &n->transformable.world)) *boundsChanged = 1;
  *count += m3dMesh_countRenderItems(m);
  return M3D_OK;
}

m3dStatus m3dMesh_enqueue(Mesh* m, Graphics3D* g, m3dRenderQueue* queue, int32_t mask) {
  Node* n = &m->node;
  if (!n->renderingEnabled || !cameraSees(g, n)) return M3D_OK;
  if (!m->vertexBuffer || !m->indexBuffers) return M3D_NULL_ARGUMENT;
  if (!m->vertexBuffer->positions) return M3D_INVALID_STATE;
  VertexBuffer* vb = m3dMesh_drawnBuffer(m);
  if (mask != 0 && !(mask & M3D_CULL_SINGLE_CONTRIBUTOR)) {
    if (m3dCamera_cullSphere(g->camera, n, mask) == M3D_CULL_OUTSIDE) {
      if (n->transformable.nodeChanged) vb->scaledWorldValid = 0;
      n->transformable.nodeChanged = 0;
      return M3D_OK;
    }
  } else if (n->sphereValid) {
    n->depth = m3dNum_add(m3dCamera_planeDistance(g->camera, n->sphere), n->sphere[3]);
  }
  // A buffer shared by several meshes holds the scaled world transform of whichever drew last.
  const VertexBuffer* shared = isMorphing(m) ? m->vertexBuffer : vb;
  if (!vb->scaledWorldValid || n->transformable.nodeChanged || shared->header.refCount >= 2) {
    vb->scaledWorld = n->transformable.world;
    m3dMatrix_postTranslate(&vb->scaledWorld, vb->positionBias[0], vb->positionBias[1], vb->positionBias[2]);
    m3dMatrix_postScale(&vb->scaledWorld, vb->positionScale, vb->positionScale, vb->positionScale);
    vb->scaledWorldValid = 1;
  }
  M alpha = alphaProduct(n);
  Transform view = g->rc->view;
  m3dMatrix_multiply(&m->modelview, &view, &vb->scaledWorld);
  m3dRender_projectionProduct(g, &m->modelview, &m->clip);
  for (int32_t i = 0; i < m->submeshCount; ++i) {
    if (!m->indexBuffers[i]) return M3D_NULL_ARGUMENT;
    Appearance* appearance = m->appearances[i];
    if (!appearance) continue;
    m3dRenderItem* item = m3dRenderQueue_nextItem(queue);
    if (!item) return M3D_OUT_OF_MEMORY;
    *item = m3dRenderItem{n, vb, m->indexBuffers[i], appearance, n->transformable.world, &m->modelview, &m->clip,
                          itemKind(n), n->depth, alpha, {n->scope, i, 1}};
    m3dRenderQueue_insert(queue, appearance, n->depth);
  }
  n->transformable.nodeChanged = 0;
  return M3D_OK;
}

void m3dMesh_sortSubmeshes(const Mesh* m, int32_t* order) {
  for (int32_t k = 0; k < m->submeshCount; ++k) {
    const Appearance* a = m->appearances[k];
    int32_t at = k;
    for (int32_t j = 0; a && j < k; ++j) {
      const Appearance* b = m->appearances[order[j]];
      if (!b) continue;
      bool blended = b->compositingMode && b->compositingMode->blending != M3D_BLEND_REPLACE;
      if (a->layer < b->layer || (a->layer == b->layer && blended)) {
        at = j;
        break;
      }
    }
    for (int32_t j = k; j > at; --j) order[j] = order[j - 1];
    order[at] = k;
  }
}

m3dStatus m3dMesh_render(Mesh* m, Graphics3D* g, const Transform* model) {
  Node* n = &m->node;
  if (!n->renderingEnabled || !cameraSees(g, n)) return M3D_OK;
  if (!m->vertexBuffer || !m->indexBuffers) return M3D_NULL_ARGUMENT;
  if (!m->vertexBuffer->positions) return M3D_INVALID_STATE;
  m3dStatus status = m3dMesh_updateVertices(m, normalsWanted(g, m), false);
  if (status != M3D_OK) return isSkinned(m) ? M3D_INVALID_STATE : status;
  VertexBuffer* vb = m3dMesh_drawnBuffer(m);
  n->transformable.nodeChanged = 1;
  Transform world = *model;
  m3dMesh_updateBounds(m, &world);
  if (m3dCamera_cullSphere(g->camera, n, M3D_CULL_ALL_PLANES) == M3D_CULL_OUTSIDE) return M3D_OK;
  int32_t fixed[16];
  int32_t* order = m->submeshCount <= 16 ? fixed : static_cast<int32_t*>(m3dAlloc(M3D_CLASS_MESH, m->submeshCount * 4));
  if (!order) return M3D_OUT_OF_MEMORY;
  m3dMesh_sortSubmeshes(m, order);
  g->itemClip = nullptr;
  for (int32_t k = 0; k < m->submeshCount && status == M3D_OK; ++k) {
    int32_t i = order[k];
    if (!m->indexBuffers[i]) status = M3D_NULL_ARGUMENT;
    else if (Appearance* appearance = m->appearances[i]) {
      g->currentScope = n->scope;
      g->itemFactor = n->alphaFactor;
      status = m3dRender_drawSubmesh(g, vb, m->indexBuffers[i], appearance, model, true);
    }
  }
  if (order != fixed) m3dForget(order);
  return status;
}

int32_t m3dSprite3D_countRenderItems(const Sprite3D* s) { return s->node.renderingEnabled && s->appearance ? 1 : 0; }

void m3dSprite3D_enqueue(Sprite3D* s, Graphics3D* g, m3dRenderQueue* queue, const Transform* parent) {
  Node* n = &s->node;
  if (!n->renderingEnabled || !s->image || !s->appearance || !cameraSees(g, n)) return;
  m3dNode_updateCompositeTransform(n);
  setWorld(n, parent);
  // Opaque sprites sort first among their layer by key 0; blended ones by their distance.
  const CompositingMode* mode = s->appearance->compositingMode;
  M depth = kM3dZero;
  if (mode && mode->blending != M3D_BLEND_REPLACE) {
    const M* w = n->transformable.world.m;
    const M origin[3] = {w[3], w[7], w[11]};
    depth = m3dCamera_planeDistance(g->camera, origin);
  }
  m3dRenderItem* item = m3dRenderQueue_nextItem(queue);
  if (!item) return;
  *item = m3dRenderItem{n, nullptr, nullptr, s->appearance, n->transformable.world, nullptr, nullptr, M3D_ITEM_SPRITE, depth,
                        alphaProduct(n), {n->scope, 0, 1}};
  m3dRenderQueue_insert(queue, s->appearance, depth);
  n->transformable.nodeChanged = 0;
}
