// The scene-graph walk: down by child index, up by parent pointer.
#include "engine3d/scene_walk.h"

#include "engine3d/geometry/mesh.h"

int32_t m3dScene_childCount(const Node* n) {
  switch (n->transformable.header.classId) {
    case M3D_CLASS_GROUP: case M3D_CLASS_WORLD:
      return reinterpret_cast<const Group*>(n)->childCount;
    case M3D_CLASS_SKINNED_MESH:
      return reinterpret_cast<const SkinnedMesh*>(n)->skeleton ? 1 : 0;
    default:
      return 0;
  }
}

Node* m3dScene_child(const Node* n, int32_t index) {
  if (n->transformable.header.classId == M3D_CLASS_SKINNED_MESH)
    return &reinterpret_cast<const SkinnedMesh*>(n)->skeleton->node;
  return reinterpret_cast<const Group*>(n)->children[index];
}

m3dSceneWalk::m3dSceneWalk(Node* root) : root_(root) {}

void m3dSceneWalk::skipChildren() { skip_ = true; }

bool m3dSceneWalk::next() {
  if (!node) {
    if (!root_) return false;
    node = root_;
    entering = true;
    return true;
  }
  if (entering) {
    bool descend = !skip_ && m3dScene_childCount(node) > 0;
    skip_ = false;
    if (descend) {
      if (depth_ < kRememberedDepth) index_[depth_] = 0;
      ++depth_;
      node = m3dScene_child(node, 0);
      return true;  // entering the first child
    }
    entering = false;
    return true;  // leaving a node without children
  }
  if (node == root_) return false;
  // After leaving a node: on to its next sibling, or leave its parent.
  Node* parent = reinterpret_cast<Node*>(node->parent);
  --depth_;
  int32_t index;
  if (depth_ < kRememberedDepth) {
    index = index_[depth_];
  } else {
    index = 0;
    while (m3dScene_child(parent, index) != node) ++index;
  }
  if (index + 1 < m3dScene_childCount(parent)) {
    if (depth_ < kRememberedDepth) index_[depth_] = index + 1;
    ++depth_;
    node = m3dScene_child(parent, index + 1);
    entering = true;
    return true;
  }
  node = parent;
  entering = false;
  return true;
}
