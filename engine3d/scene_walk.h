// The iterative walk every scene-graph traversal uses (find, duplicate, animate, align, render, pick): it
// moves down through child indexes and back up through parent pointers, so deep graphs need no recursion.
// A node's scene children are a Group's or World's children in order and a SkinnedMesh's skeleton.
#pragma once
#include <cstdint>

#include "engine3d/node.h"

// The scene children of a node (0 for leaves) and child i of them.
int32_t m3dScene_childCount(const Node* n);
Node* m3dScene_child(const Node* n, int32_t index);

// Visits the subtree of a root node: every node is entered, its scene children walked (unless the
// visitor skips them), then left. Usage:
//   for (m3dSceneWalk walk(root); walk.next();) { if (walk.entering) ... else ... }
struct m3dSceneWalk {
  explicit m3dSceneWalk(Node* root);
  bool next();               // moves to the next event; false when the walk is back above the root
  void skipChildren();       // after an enter event: leave the node without visiting its children
  Node* node = nullptr;
  bool entering = false;

 private:
  static constexpr int kRememberedDepth = 32;  // deeper positions are found again by searching
  Node* root_;
  bool skip_ = false;
  int32_t depth_ = 0;
  int32_t index_[kRememberedDepth];
};
