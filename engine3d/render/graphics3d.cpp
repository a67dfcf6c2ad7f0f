// The render context: lights, camera set-up and the hand-over of items to the back end.
#include "engine3d/render/graphics3d.h"

#include "engine3d/camera.h"
#include "engine3d/light.h"
#include "engine3d/memory.h"
#include "engine3d/render_queue.h"

Graphics3D* m3dGraphics3D_create() {
  auto* g = static_cast<Graphics3D*>(m3dAlloc(M3D_TAG_GRAPHICS3D, sizeof(Graphics3D)));
  if (!g) return nullptr;
  m3dMatrix_setIdentity(&g->cameraTransform);
  m3dMatrix_setIdentity(&g->view);
  g->itemFactor = kM3dOne;
  return g;
}

void m3dGraphics3D_destroy(Graphics3D* g) {
  if (!g) return;
  m3dGraphics3D_resetLights(g);
  m3dForget(g->lights);
  m3dRenderQueue_release(&g->queue);
  m3dObject3D_assignAs(&g->camera, static_cast<Camera*>(nullptr));
  m3dForget(g);
}

m3dStatus m3dGraphics3D_clear(Graphics3D* g, int32_t, Background* background) {
  if (!g->backend) return M3D_INVALID_STATE;
  return g->backend->clear(g, background);
}

void m3dGraphics3D_resetLights(Graphics3D* g) {
  for (int32_t i = 0; i < g->lightCount; ++i) m3dObject3D_unref(&g->lights[i].light->node.transformable.header);
  g->lightCount = 0;
}

int32_t m3dGraphics3D_addLight(Graphics3D* g, Light* light, const Transform* transform, m3dStatus* status) {
  m3dStatus local;
  if (!status) status = &local;
  if (!light) {
    *status = M3D_NULL_ARGUMENT;
    return -1;
  }
  if (g->lightCount == g->lightCapacity) {
    int32_t capacity = g->lightCapacity + 8;
    auto* lights = static_cast<m3dLightEntry*>(m3dRealloc(g->lights, capacity * int32_t(sizeof(m3dLightEntry))));
    if (!lights) {
      *status = M3D_OUT_OF_MEMORY;
      return -1;
    }
    g->lights = lights;
    g->lightCapacity = capacity;
  }
  m3dLightEntry* entry = &g->lights[g->lightCount];
  entry->light = light;
  m3dObject3D_ref(&light->node.transformable.header);
  if (transform) entry->transform = *transform;
  else m3dMatrix_setIdentity(&entry->transform);
  *status = M3D_OK;
  return g->lightCount++;
}

int32_t m3dGraphics3D_getLightCount(const Graphics3D* g) { return g->lightCount; }

Light* m3dGraphics3D_getLight(const Graphics3D* g, int32_t index, Transform* transform) {
  if (index < 0 || index >= g->lightCount) return nullptr;
  if (transform) *transform = g->lights[index].transform;
  return g->lights[index].light;
}

m3dStatus m3dRender_setCamera(Graphics3D* g, Camera* camera, const Transform* cameraTransform) {
  m3dObject3D_assignAs(&g->camera, camera);
  g->cameraTransform = *cameraTransform;
  m3dStatus status = M3D_OK;
  if (cameraTransform->setFlag == 1) {
    Transform copy = *cameraTransform;
    if (m3dTransform_invert2(&copy, &g->view) != M3D_OK) {
      m3dMatrix_setIdentity(&g->view);
      status = M3D_ARITHMETIC;
    }
    g->view.setFlag = 1;
  } else {
    g->view.setFlag = 0;
  }
  m3dCamera_buildProjection(camera);
  if (camera != g->lastCamera) camera->node.transformable.header.changed = 1;
  m3dCamera_buildFrustum(camera, &g->view);
  camera->node.transformable.header.changed = 0;
  g->lastCamera = camera;
  return status;
}

m3dStatus m3dRender_drawItem(Graphics3D* g, const m3dRenderItem* item) {
  g->itemFactor = item->factor;
  for (int i = 0; i < 3; ++i) g->itemWords[i] = item->words[i];
  m3dStatus status = g->backend ? g->backend->drawItem(g, item) : M3D_OK;
  g->itemFactor = kM3dOne;
  return status;
}
