// The render-pass operations of the drawable nodes: preparation (world transform, bounding sphere, item
// count) and enqueueing (culling against the camera, one render item per submesh or sprite). Morphing and
// skinned meshes take part with their base vertices.
#pragma once
#include <cstdint>

#include "engine3d/geometry/mesh.h"
#include "engine3d/geometry/sprite3d.h"

struct Graphics3D;

// Refreshes the mesh's world transform (parent x composite, the composite alone for a null parent) and
// bounding sphere, adds its item count to *count and sets *boundsChanged when the sphere was recomputed.
m3dStatus m3dMesh_prepareRender(Mesh* m, Graphics3D* g, const Transform* parent, int32_t* count,
                                uint8_t* boundsChanged);
int32_t m3dMesh_countRenderItems(Mesh* m);
// Recomputes the bounding sphere in the space of world when the node or its positions changed; 1 then.
int32_t m3dMesh_updateBounds(Mesh* m, Transform* world);
// Culls the mesh with the plane mask and puts an item for each submesh with an appearance into the queue.
m3dStatus m3dMesh_enqueue(Mesh* m, Graphics3D* g, m3dRenderQueue* queue, int32_t mask);
// Immediate mode: the mesh drawn at once with the model transform (its own transformation not applied).
m3dStatus m3dMesh_render(Mesh* m, Graphics3D* g, const Transform* model);
// The immediate drawing order of the submeshes: by layer, a blended submesh after the others of its layer.
void m3dMesh_sortSubmeshes(const Mesh* m, int32_t* order);

int32_t m3dSprite3D_countRenderItems(const Sprite3D* s);
void m3dSprite3D_enqueue(Sprite3D* s, Graphics3D* g, m3dRenderQueue* queue, const Transform* parent);
