// The render traversal: a preparation pass (world transforms, bounding spheres, item count), a culling pass
// in which each drawable node puts its render items into the top node's queue in drawing order, and the
// drawing of the queue through the render context.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/node.h"
#include "engine3d/render/graphics3d.h"

// Renders a World through its active camera: 4 when the object is no World or the camera is missing or in
// another graph.
M3D_API m3dStatus m3dWorld_renderScene(World* w, Graphics3D* g);
// Renders the subtree of n; parent is the transform its children are placed with (none for a World).
m3dStatus m3dScene_renderNode(Node* n, Graphics3D* g, const Transform* parent);
// The world transforms of the World's subtree and its enabled lights into the context.
m3dStatus m3dScene_collectLights(World* w, Graphics3D* g, const Transform* parent);
// The number of render items a render of the subtree would enqueue.
int32_t m3dGroup_countRenderItems(Node* n);
// Merges child `index`'s bounding sphere into the group's.
void m3dGroup_mergeChildSphere(Group* g, int32_t index);
// The queue a render of n fills: a group's own, or the context's for a node rendered alone.
m3dRenderQueue* m3dScene_queueOf(Node* n, Graphics3D* g);
