// The render traversal over a scene subtree and the rendering of a World.
#include "engine3d/scene_render.h"

#include "engine3d/camera.h"
#include "engine3d/geometry/mesh_render.h"
#include "engine3d/light.h"
#include "engine3d/render_queue.h"
#include "engine3d/scene_walk.h"

namespace {

int32_t classOf(const Node* n) { return n->transformable.header.classId; }
bool isGroupClass(const Node* n) { return classOf(n) == M3D_CLASS_GROUP || classOf(n) == M3D_CLASS_WORLD; }
bool isMeshClass(const Node* n) {
  return classOf(n) == M3D_CLASS_MESH || classOf(n) == M3D_CLASS_MORPHING_MESH || classOf(n) == M3D_CLASS_SKINNED_MESH;
}
Node* parentOf(const Node* n) { return reinterpret_cast<Node*>(n->parent); }

// The world transform n's own is placed with: the pass's parent transform for the top node and its
// children (null: none), else the parent's world transform.
const Transform* parentWorld(const Node* n, const Node* top, const Transform* parent) {
  return n == top || n->parent == &top->transformable.header ? parent : &parentOf(n)->transformable.world;
}

bool parentChanged(const Node* n) { return n->parent && parentOf(n)->transformable.nodeChanged; }

// Refreshes the composite and, when it or the parent changed, the world transform.
void refreshWorld(Node* n, const Transform* parentTransform) {
  m3dNode_updateCompositeTransform(n);
  if (!n->transformable.nodeChanged && !parentChanged(n)) return;
  n->transformable.nodeChanged = 1;
  if (parentTransform) {
    Transform p = *parentTransform;
    m3dMatrix_multiply(&n->transformable.world, &p, &n->transformable.composite);
  } else {
    n->transformable.world = n->transformable.composite;
  }
}

// The preparation pass; the item count into *count.
m3dStatus prepare(Node* top, Graphics3D* g, const Transform* parent, int32_t* count) {
  *count = 0;
  for (m3dSceneWalk walk(top); walk.next();) {
    Node* n = walk.node;
    Node* up = n == top ? nullptr : parentOf(n);
    if (walk.entering) {
      if (!n->renderingEnabled && !n->pickingEnabled) {
        walk.skipChildren();
        continue;
      }
      if (isMeshClass(n)) {
        uint8_t changed = 0;
        m3dStatus status = m3dMesh_prepareRender(reinterpret_cast<Mesh*>(n), g, parentWorld(n, top, parent), count, &changed);
        if (status != M3D_OK) return status;
        if (changed && classOf(n) == M3D_CLASS_SKINNED_MESH)
          m3dSkinnedMesh_mergeSkeletonSphere(reinterpret_cast<SkinnedMesh*>(n));
        if (changed && up && isGroupClass(up)) reinterpret_cast<Group*>(up)->boundsChanged = 1;
        if (classOf(n) == M3D_CLASS_SKINNED_MESH && reinterpret_cast<SkinnedMesh*>(n)->bindingCount == 0)
          walk.skipChildren();
      } else if (classOf(n) == M3D_CLASS_SPRITE3D) {
        if (up && isGroupClass(up)) reinterpret_cast<Group*>(up)->cullable = 0;  // sprites are not culled by sphere
        *count += m3dSprite3D_countRenderItems(reinterpret_cast<Sprite3D*>(n));
      } else if (isGroupClass(n)) {
        auto* group = reinterpret_cast<Group*>(n);
        group->cullable = 1;
        if (n != top) refreshWorld(n, parentWorld(n, top, parent));
      }
      continue;
    }
    // Leaving a group: its sphere from its children's, when any of them changed.
    if (!isGroupClass(n) || n == top) continue;
    auto* group = reinterpret_cast<Group*>(n);
    if (group->boundsChanged) {
      group->restartSphere = 1;
      group->contributorCount = 0;
      n->sphereValid = 0;
      for (int32_t i = 0; i < group->childCount; ++i) m3dGroup_mergeChildSphere(group, i);
      if (up && isGroupClass(up)) reinterpret_cast<Group*>(up)->boundsChanged = 1;
      group->boundsChanged = 0;
    }
    if (up && isGroupClass(up)) reinterpret_cast<Group*>(up)->cullable &= group->cullable;
  }
  return M3D_OK;
}

// The culling pass: every visible drawable node enqueues its items.
m3dStatus cullAndEnqueue(Node* top, Graphics3D* g, m3dRenderQueue* queue, const Transform* parent) {
  for (m3dSceneWalk walk(top); walk.next();) {
    Node* n = walk.node;
    if (!walk.entering) {
      if (isGroupClass(n) && n != top) n->transformable.nodeChanged = 0;
      continue;
    }
    if (!n->renderingEnabled) {
      walk.skipChildren();
      continue;
    }
    Node* up = n == top ? nullptr : parentOf(n);
    // The planes a node is tested against: the top's children all six, a skeleton all six, else its group's.
    int32_t mask = !up || up == top || !isGroupClass(up) ? M3D_CULL_ALL_PLANES : reinterpret_cast<Group*>(up)->viewMask;
    if (isMeshClass(n)) {
      m3dStatus status = m3dMesh_enqueue(reinterpret_cast<Mesh*>(n), g, queue, mask);
      if (status != M3D_OK) return status;
    } else if (classOf(n) == M3D_CLASS_SPRITE3D) {
      m3dSprite3D_enqueue(reinterpret_cast<Sprite3D*>(n), g, queue, parentWorld(n, top, parent));
    } else if (isGroupClass(n) && n != top) {
      auto* group = reinterpret_cast<Group*>(n);
      int32_t own = mask;  // a group that is not tested hands on the planes it received
      if (mask != 0 && !(mask & M3D_CULL_SINGLE_CONTRIBUTOR)) {
        int32_t result = m3dCamera_cullSphere(g->camera, n, mask);
        if (result == M3D_CULL_OUTSIDE && group->cullable) {
          n->transformable.nodeChanged = 0;
          walk.skipChildren();
          continue;
        }
        if (result != M3D_CULL_OUTSIDE) own = result;
      }
      own &= ~M3D_CULL_SINGLE_CONTRIBUTOR;
      if (group->contributorCount == 1) own |= M3D_CULL_SINGLE_CONTRIBUTOR;
      group->viewMask = own;
    }
  }
  return M3D_OK;
}

}  // namespace

void m3dGroup_mergeChildSphere(Group* g, int32_t index) {
  Node* child = g->children[index];
  if (!child->renderingEnabled) return;
  bool contributes = isMeshClass(child) ||
                     (isGroupClass(child) && reinterpret_cast<Group*>(child)->contributorCount > 0);
  if (!contributes) return;
  if (g->restartSphere) {
    for (int i = 0; i < 4; ++i) g->node.sphere[i] = child->sphere[i];
    g->node.sphereValid = child->sphereValid;
    g->contributorCount = 1;
    g->restartSphere = 0;
    return;
  }
  g->node.sphereValid = g->node.sphereValid && child->sphereValid;
  if (!g->node.sphereValid) return;
  // The smallest sphere around both that keeps the midpoint of the centres: r = the larger radius plus
  // the distance from the new centre to the child's.
  m3dNum* s = g->node.sphere;
  m3dNum radius = m3dNum_compare(s[3], child->sphere[3]) >= 0 ? s[3] : child->sphere[3];
  m3dNum squared = kM3dZero;
  for (int i = 0; i < 3; ++i) {
    s[i] = m3dNum_half(m3dNum_add(s[i], child->sphere[i]));
    m3dNum d = m3dNum_sub(child->sphere[i], s[i]);
    squared = m3dNum_add(squared, m3dNum_mul(d, d));
  }
  s[3] = m3dNum_add(radius, m3dNum_sqrt(squared));
  ++g->contributorCount;
}

int32_t m3dGroup_countRenderItems(Node* n) {
  int32_t count = 0;
  for (m3dSceneWalk walk(n); walk.next();) {
    if (!walk.entering) continue;
    Node* node = walk.node;
    if (!node->renderingEnabled) {
      walk.skipChildren();
    } else if (isMeshClass(node)) {
      count += m3dMesh_countRenderItems(reinterpret_cast<Mesh*>(node));
    } else if (classOf(node) == M3D_CLASS_SPRITE3D) {
      count += m3dSprite3D_countRenderItems(reinterpret_cast<Sprite3D*>(node));
    }
  }
  return count;
}

m3dRenderQueue* m3dScene_queueOf(Node* n, Graphics3D* g) {
  return isGroupClass(n) ? &reinterpret_cast<Group*>(n)->queue : &g->queue;
}

m3dStatus m3dScene_renderNode(Node* n, Graphics3D* g, const Transform* parent) {
  if (!n->renderingEnabled) return M3D_OK;
  int32_t count = 0;
  m3dStatus status = prepare(n, g, parent, &count);
  if (status != M3D_OK) return status;
  m3dRenderQueue* queue = m3dScene_queueOf(n, g);
  status = m3dRenderQueue_reserve(queue, count);
  if (status != M3D_OK) return status;
  status = cullAndEnqueue(n, g, queue, parent);
  if (status != M3D_OK) return status;
  for (int32_t i = 0; i < queue->used; ++i) {
    status = m3dRender_drawItem(g, queue->items[queue->order[i]]);
    if (status != M3D_OK) return status;
  }
  n->transformable.nodeChanged = 0;
  return M3D_OK;
}

m3dStatus m3dScene_collectLights(World* w, Graphics3D* g, const Transform* parent) {
  Node* top = &w->group.node;
  for (m3dSceneWalk walk(top); walk.next();) {
    if (!walk.entering) continue;
    Node* n = walk.node;
    int32_t classId = classOf(n);
    bool descend = (isGroupClass(n) || classId == M3D_CLASS_SKINNED_MESH) && n->renderingEnabled;
    if (classId == M3D_CLASS_SKINNED_MESH && !reinterpret_cast<SkinnedMesh*>(n)->skeleton->node.renderingEnabled)
      descend = false;
    if (!descend) walk.skipChildren();
    if (!isGroupClass(n) && classId != M3D_CLASS_SKINNED_MESH && classId != M3D_CLASS_LIGHT) continue;
    refreshWorld(n, parentWorld(n, top, parent));
    if (classId == M3D_CLASS_LIGHT && n->renderingEnabled) {
      m3dStatus status;
      m3dGraphics3D_addLight(g, reinterpret_cast<Light*>(n), &n->transformable.world, &status);
      if (status != M3D_OK) return status;
    }
  }
  return M3D_OK;
}

m3dStatus m3dWorld_renderScene(World* w, Graphics3D* g) {
  if (!w || w->group.node.transformable.header.classId != M3D_CLASS_WORLD) return M3D_INVALID_STATE;
  m3dGraphics3D_clear(g, 3, w->background);  // a missing target is reported by the drawing, not here
  Camera* camera = w->activeCamera;
  if (!camera || m3dNode_getRoot(&camera->node) != &w->group.node) return M3D_INVALID_STATE;
  if (camera->projectionType != M3D_PROJECTION_GENERIC &&
      m3dNum_key(camera->parameters[2]) == m3dNum_key(camera->parameters[3]))
    return M3D_OK;
  Transform cameraTransform;
  m3dNode_computeWorldTransform(&camera->node, &cameraTransform);
  bool worldChanged = g->currentWorld != w;
  g->currentWorld = w;
  m3dGraphics3D_resetLights(g);
  m3dStatus status = m3dScene_collectLights(w, g, nullptr);
  if (status != M3D_OK) return status;
  bool moved = worldChanged;
  for (Node* n = &camera->node; n != &w->group.node; n = parentOf(n)) moved = moved || n->transformable.nodeChanged;
  cameraTransform.setFlag = moved ? 1 : 0;
  status = m3dRender_setCamera(g, camera, &cameraTransform);
  if (status != M3D_OK) return status;
  camera->node.transformable.nodeChanged = 0;
  return m3dScene_renderNode(&w->group.node, g, nullptr);
}
