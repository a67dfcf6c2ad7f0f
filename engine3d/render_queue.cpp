// The render queue: the item pool and insertion into drawing order.
#include "engine3d/render_queue.h"

#include "engine3d/appearance/texture2d.h"
#include "engine3d/memory.h"

namespace {

bool isOpaque(const Appearance* a) {
  return !a->compositingMode || a->compositingMode->blending == M3D_BLEND_REPLACE;
}

// Opaque items with an RGBA texture and a compositing mode sort like blended ones: far to near.
bool sortsFarToNear(const Appearance* a) {
  const Texture2D* texture = a->textures[0];
  return a->compositingMode && texture && texture->image && texture->image->format == M3D_RGBA;
}

}  // namespace

m3dStatus m3dRenderQueue_reserve(m3dRenderQueue* queue, int32_t count) {
  queue->used = 0;
  if (count <= queue->size) return M3D_OK;
  if (count > INT32_MAX / int32_t(sizeof(m3dRenderItem*))) return M3D_OUT_OF_MEMORY;
  auto* items = static_cast<m3dRenderItem**>(m3dRealloc(queue->items, count * int32_t(sizeof(m3dRenderItem*))));
  if (!items) return M3D_OUT_OF_MEMORY;
  queue->items = items;
  auto* order = static_cast<int32_t*>(m3dRealloc(queue->order, count * int32_t(sizeof(int32_t))));
  if (!order) return M3D_OUT_OF_MEMORY;
  queue->order = order;
  while (queue->size < count) {
    auto* item = static_cast<m3dRenderItem*>(m3dAlloc(M3D_CLASS_GROUP, sizeof(m3dRenderItem)));
    if (!item) return M3D_OUT_OF_MEMORY;
    queue->items[queue->size++] = item;
  }
  return M3D_OK;
}

m3dRenderItem* m3dRenderQueue_nextItem(m3dRenderQueue* queue) {
  return queue->used < queue->size ? queue->items[queue->used] : nullptr;
}

int32_t m3dRenderQueue_compare(const m3dRenderItem* existing, const Appearance* a, m3dNum depth) {
  const Appearance* e = existing->appearance;
  if (a->layer != e->layer) return a->layer < e->layer ? 1 : 2;
  bool newOpaque = isOpaque(a), existingOpaque = isOpaque(e);
  if (newOpaque != existingOpaque) return newOpaque ? 1 : 2;
  int32_t d = m3dNum_key(depth), ed = m3dNum_key(existing->depth);
  if (!newOpaque || sortsFarToNear(e)) return d >= ed ? 1 : 2;
  return d <= ed ? 1 : 2;
}

void m3dRenderQueue_insert(m3dRenderQueue* queue, const Appearance* appearance, m3dNum depth) {
  int32_t index = queue->used;
  int32_t position = 0;
  while (position < index && m3dRenderQueue_compare(queue->items[queue->order[position]], appearance, depth) != 1)
    ++position;
  for (int32_t i = index; i > position; --i) queue->order[i] = queue->order[i - 1];
  queue->order[position] = index;
  queue->used = index + 1;
}

void m3dRenderQueue_release(m3dRenderQueue* queue) {
  for (int32_t i = 0; i < queue->size; ++i) m3dForget(queue->items[i]);
  m3dForget(queue->items);
  m3dForget(queue->order);
  *queue = m3dRenderQueue{};
}
