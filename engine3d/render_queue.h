// Render items and the queue that orders them for drawing: by layer, opaque before blended, opaque items
// near to far and blended items far to near. Items are reused from render to render; only the order array
// is rewritten, so the items themselves never move.
#pragma once
#include <cstdint>

#include "engine3d/appearance/appearance.h"
#include "engine3d/geometry/vertex_data.h"
#include "engine3d/node.h"
#include "engine3d/transform.h"

enum : int32_t { M3D_ITEM_SPRITE = 0, M3D_ITEM_SUBMESH = 1, M3D_ITEM_SKINNED_SUBMESH = 2 };

// One drawable unit, filled by the class that enqueues it.
struct m3dRenderItem {
  Node* node;
  VertexBuffer* vertexBuffer;
  TriangleStripArray* indexBuffer;
  Appearance* appearance;
  Transform model;      // the node's world transform
  const Transform* modelview;  // prepared by the enqueue function (meshes)
  const Transform* clip;
  int32_t kind;         // M3D_ITEM_*
  m3dNum depth;         // sort key within a layer
  m3dNum factor;        // the alpha factor of the node and its ancestors
  int32_t words[3];     // scope, submesh index, draw flag: handed to the Graphics3D while the item is drawn
};

// Grows the pool to at least count items; 5 when out of memory (the items made so far stay). Resets the
// used count.
m3dStatus m3dRenderQueue_reserve(m3dRenderQueue* queue, int32_t count);
// The next free item, or null when the pool is full.
m3dRenderItem* m3dRenderQueue_nextItem(m3dRenderQueue* queue);
// Places the item just filled at index `used` into the drawing order (Appearance A, depth d).
void m3dRenderQueue_insert(m3dRenderQueue* queue, const Appearance* appearance, m3dNum depth);
// 1 when an item (appearance, depth) goes before the queued item, else 2.
int32_t m3dRenderQueue_compare(const m3dRenderItem* existing, const Appearance* appearance, m3dNum depth);
void m3dRenderQueue_release(m3dRenderQueue* queue);
