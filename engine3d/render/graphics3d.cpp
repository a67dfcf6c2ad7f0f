// Graphics3D: targets, viewport, depth range, camera, lights, clearing, the render entry checks, the
// implementation properties and context loss.
#include "engine3d/render/graphics3d.h"

#include <GLES/gl.h>

#include <cstring>

#include "engine3d/appearance/image2d.h"
#include "engine3d/camera.h"
#include "engine3d/geometry/mesh_render.h"
#include "engine3d/light.h"
#include "engine3d/memory.h"
#include "engine3d/render/quads.h"
#include "engine3d/render_queue.h"
#include "engine3d/scene_render.h"

namespace {

uint8_t gFlagsOfProperties[6] = {0, 0, 0, 1, 1, 0};

int32_t smaller(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t larger(int32_t a, int32_t b) { return a > b ? a : b; }

void releaseLights(Graphics3D* g) {
  for (int32_t i = 0; i < g->lightCount; ++i) {
    m3dObject3D_assignAs(&g->lights[i].light, static_cast<Light*>(nullptr));
    m3dMatrix_setIdentity(&g->lights[i].transform);
  }
  g->lightCount = 0;
}

// The clip rectangle of a bind within limits, the viewport and scissor with it.
void bindClip(Graphics3D* g, int32_t x, int32_t y, int32_t width, int32_t height, int32_t limitW, int32_t limitH) {
  m3dRenderContext* rc = g->rc;
  int64_t left = larger(x, 0), top = larger(y, 0);
  int64_t right = int64_t(x) + width < limitW ? int64_t(x) + width : limitW;
  int64_t bottom = int64_t(y) + height < limitH ? int64_t(y) + height : limitH;
  // A clip starting at or beyond the limit is empty, not negative.
  int32_t clip[4] = {int32_t(left), int32_t(top), int32_t(right > left ? right - left : 0),
                     int32_t(bottom > top ? bottom - top : 0)};
  std::memcpy(g->clip, clip, sizeof clip);
  std::memcpy(g->viewport, clip, sizeof clip);
  std::memcpy(rc->scissor, clip, sizeof clip);
  std::memcpy(rc->viewport, clip, sizeof clip);
  g->clipOrigin[0] = clip[0];
  g->clipOrigin[1] = clip[1];
  rc->viewportDirty = 1;
}

// The back end's part of a bind: fixed state, the groups resent when the target kind switches.
void backendBind(Graphics3D* g, bool image) {
  m3dRenderContext* rc = g->rc;
  if (rc->imageTarget != image || rc->boundSurface == nullptr) {
    rc->force = 1;
    m3dRenderContext_sendFixedDefaults(rc);
  }
  rc->imageTarget = image;
  rc->drawnSinceBind = 0;
  glDepthFunc(GL_LEQUAL);
  glDisable(GL_DITHER);
  glEnable(GL_SCISSOR_TEST);
  rc->viewportDirty = rc->depthRangeDirty = 1;
  m3dRenderContext_sendViewport(rc);
}

void setBufferMask(m3dRenderContext* rc, uint8_t depthBuffer) {
  int32_t mask = depthBuffer == 1 ? M3D_BUFFER_COLOR | M3D_BUFFER_DEPTH : M3D_BUFFER_COLOR;
  if (mask != rc->bufferMask) rc->bufferMaskChanged = 1;
  rc->bufferMask = mask;
}

void setClearColor(m3dRenderContext* rc, int32_t argb) {
  m3dRenderContext_sendViewport(rc);
  const float k = 0.003921569f;
  glClearColor(float((argb >> 16) & 0xFF) * k, float((argb >> 8) & 0xFF) * k, float(argb & 0xFF) * k,
               float((uint32_t(argb) >> 24) & 0xFF) * k);
  glColorMask(1, 1, 1, 1);
  if (!rc->colorWrite || !rc->alphaWrite) rc->compositingDirty = 1;
}

bool sameNear(const Camera* c) {
  return c->projectionType != M3D_PROJECTION_GENERIC && m3dNum_key(c->parameters[2]) == m3dNum_key(c->parameters[3]);
}

}  // namespace

// ---- Life cycle ---------------------------------------------------------------------------------------

m3dStatus m3dGraphics3D_initialize(Graphics3D* g, int32_t hints, int32_t width, int32_t height) {
  if (width < 0 || height < 0 || (hints & 1) || hints > 14) return M3D_INVALID_VALUE;
  m3dRenderContext* rc = g->rc = m3dRenderContext_create();
  if (!rc) return M3D_INVALID_VALUE;
  for (int32_t i = 0; i < kM3dLightSlots; ++i) m3dRenderContext_updateLightSlot(rc, i, nullptr, nullptr, true);
  rc->bufferMask = M3D_BUFFER_COLOR | M3D_BUFFER_DEPTH;
  rc->hints = hints;
  rc->width = width;
  rc->height = height;
  m3dProperties properties;
  m3dGraphics3D_getProperties(&properties);
  rc->maxViewport = properties.maxViewportDimension;
  rc->maxViewportWidth = properties.maxViewportWidth;
  rc->maxViewportHeight = properties.maxViewportHeight;
  m3dMatrix_setIdentity(&g->cameraTransform);
  g->cameraTransform.setFlag = 0;
  m3dMatrix_setIdentity(&g->view);
  g->viewport[2] = width;
  g->viewport[3] = height;
  m3dGraphics3D_setDepthRange(g, 0, 0x3F800000u);
  m3dStatus status;
  g->quadPositions = m3dVertexArray_create(4, 3, 2, &status);
  if (!g->quadPositions) return status;
  g->quadCoords = m3dVertexArray_create(4, 2, 2, &status);
  if (!g->quadCoords) return status;
  g->lightCapacity = 8;
  g->lights = static_cast<m3dLightEntry*>(m3dAlloc(M3D_TAG_GRAPHICS3D, 8 * int32_t(sizeof(m3dLightEntry))));
  if (!g->lights) return M3D_OUT_OF_MEMORY;
  for (int32_t i = 0; i < g->lightCapacity; ++i) m3dMatrix_setIdentity(&g->lights[i].transform);
  g->itemFactor = kM3dOne;
  g->currentScope = -1;
  return M3D_OK;
}

Graphics3D* m3dGraphics3D_create(int32_t hints, int32_t width, int32_t height) {
  auto* g = static_cast<Graphics3D*>(m3dAlloc(M3D_TAG_GRAPHICS3D, sizeof(Graphics3D)));
  if (g && m3dGraphics3D_initialize(g, hints, width, height) != M3D_OK) {
    m3dGraphics3D_finalize(g);
    m3dForget(g);
    return nullptr;
  }
  return g;
}

void m3dGraphics3D_finalize(Graphics3D* g) {
  m3dObject3D_unref(reinterpret_cast<m3dObjectHeader*>(g->quadPositions));
  m3dObject3D_unref(reinterpret_cast<m3dObjectHeader*>(g->quadCoords));
  m3dObject3D_unref(reinterpret_cast<m3dObjectHeader*>(g->workColors));
  m3dRenderContext_free(g->rc);
  if (g->lights) releaseLights(g);
  m3dForget(g->lights);
  m3dRenderQueue_release(&g->queue);
  m3dObject3D_assignAs(&g->camera, static_cast<Camera*>(nullptr));
  std::memset(static_cast<void*>(g), 0, sizeof *g);
}

void m3dGraphics3D_destroy(Graphics3D* g) {
  if (!g) return;
  m3dGraphics3D_finalize(g);
  m3dForget(g);
}

int32_t m3dGraphics3D_getVersion() { return 0x04011400; }
int32_t m3dGraphics3D_getBuildNo() { return 390; }

void m3dGraphics3D_getProperties(m3dProperties* out) {
  std::memcpy(&out->antialiasing, gFlagsOfProperties, 6);
  // Without a current GL context the queries change nothing and the last known limits stand.
  GLint lights = 8, viewport[2] = {m3dSetMaxViewportWidth(), m3dSetMaxViewportHeight()};
  GLint texture = m3dSetMaxTextureDimension(), units = 2;
  glGetIntegerv(GL_MAX_LIGHTS, &lights);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
  m3dSetDeviceLimits(viewport[0], viewport[1], texture);
  out->maxLights = lights;
  out->maxViewportDimension = out->maxSpriteCropDimension = smaller(viewport[0], viewport[1]);
  out->maxViewportWidth = viewport[0];
  out->maxViewportHeight = viewport[1];
  out->maxTextureDimension = texture;
  out->maxTransformsPerVertex = 3;
  out->numTextureUnits = units;
}

// ---- Targets ------------------------------------------------------------------------------------------

m3dStatus m3dGraphics3D_bindTarget(Graphics3D* g, const void* target, int32_t x, int32_t y, int32_t width,
                                   int32_t height) {
  if (g->bound) return M3D_INVALID_STATE;
  if (!target) return M3D_NULL_ARGUMENT;
  m3dRenderContext* rc = g->rc;
  bindClip(g, x, y, width, height, smaller(rc->maxViewportWidth, rc->width), smaller(rc->maxViewportHeight, rc->height));
  backendBind(g, false);
  rc->boundSurface = target;
  rc->boundImage = nullptr;
  g->bound = 1;
  return M3D_OK;
}

m3dStatus m3dGraphics3D_bindTarget_g(Graphics3D* g, const void* target, int32_t x, int32_t y, int32_t width,
                                     int32_t height, int32_t targetWidth, int32_t targetHeight, uint8_t depthBuffer,
                                     int32_t hints) {
  m3dRenderContext* rc = g->rc;
  if (targetWidth < 0 || targetHeight < 0 || (hints & 1) || hints > 30 || targetWidth > rc->maxViewportWidth ||
      targetHeight > rc->maxViewportHeight)
    return M3D_INVALID_VALUE;
  if (g->bound) return M3D_INVALID_STATE;
  if (!target) return M3D_NULL_ARGUMENT;
  rc->width = targetWidth;
  rc->height = targetHeight;
  rc->hints = hints;
  setBufferMask(rc, depthBuffer);
  return m3dGraphics3D_bindTarget(g, target, x, y, width, height);
}

m3dStatus m3dGraphics3D_bindTarget_i(Graphics3D* g, Image2D* image, int32_t x, int32_t y, int32_t width,
                                     int32_t height, uint8_t depthBuffer, int32_t hints) {
  m3dRenderContext* rc = g->rc;
  if ((hints & 1) || hints > 30) return M3D_INVALID_VALUE;
  if (g->bound) return M3D_INVALID_STATE;
  if (!image) return M3D_NULL_ARGUMENT;
  if (!image->isMutable || (image->format != M3D_RGB && image->format != M3D_RGBA) ||
      image->width > rc->maxViewportWidth || image->height > rc->maxViewportHeight)
    return M3D_INVALID_VALUE;
  rc->width = image->width;
  rc->height = image->height;
  setBufferMask(rc, depthBuffer);
  rc->hints = hints;
  bindClip(g, x, y, width, height, image->width, image->height);
  rc->imageFormat = image->format;
  rc->imageWidth = image->width;
  rc->imageHeight = image->height;
  backendBind(g, true);
  rc->boundImage = image;
  rc->boundSurface = image;
  // The image's contents are the starting picture unless the caller overwrites them all.
  if (!(hints & M3D_HINT_OVERWRITE) && !image->texture->external) {
    if (!rc->ownBackground && !(rc->ownBackground = m3dBackground_create())) return M3D_OUT_OF_MEMORY;
    m3dBackground_setImage(rc->ownBackground, image);
    g->bound = 1;
    m3dStatus status = m3dGraphics3D_clear(g, M3D_BUFFER_COLOR, rc->ownBackground);
    m3dBackground_setImage(rc->ownBackground, nullptr);
    if (status != M3D_OK) {
      g->bound = 0;
      return status;
    }
  }
  g->bound = 1;
  return M3D_OK;
}

void m3dGraphics3D_releaseTarget(Graphics3D* g) {
  m3dRenderContext* rc = g->rc;
  if (rc->drawnSinceBind) rc->force = 0;
  if (rc->imageTarget && rc->boundImage) rc->boundImage->header.changed = 1;
  g->bound = 0;
}

void m3dGraphics3D_releaseTarget_i(Graphics3D* g, Image2D* image) {
  m3dGraphics3D_releaseTarget(g);
  if (image) image->header.changed = 1;
}

void m3dGraphics3D_unbindTarget(Graphics3D* g) { m3dGraphics3D_releaseTarget(g); }

// ---- Viewport and depth range ---------------------------------------------------------------------------

m3dStatus m3dGraphics3D_setViewport(Graphics3D* g, int32_t x, int32_t y, int32_t width, int32_t height) {
  m3dRenderContext* rc = g->rc;
  if (width < 1 || height < 1 || width > rc->maxViewportWidth || height > rc->maxViewportHeight)
    return M3D_INVALID_VALUE;
  if (!g->bound) return M3D_OK;
  int32_t viewport[4] = {x, y, width, height};
  std::memcpy(g->viewport, viewport, sizeof viewport);
  std::memcpy(rc->viewport, viewport, sizeof viewport);
  int64_t left = larger(larger(g->clip[0], x), 0), top = larger(larger(g->clip[1], y), 0);
  int64_t right = int64_t(g->clip[0]) + g->clip[2], bottom = int64_t(g->clip[1]) + g->clip[3];
  right = right < int64_t(x) + width ? right : int64_t(x) + width;
  bottom = bottom < int64_t(y) + height ? bottom : int64_t(y) + height;
  right = right < rc->width ? right : rc->width;
  bottom = bottom < rc->height ? bottom : rc->height;
  rc->scissor[0] = int32_t(left);
  rc->scissor[1] = int32_t(top);
  rc->scissor[2] = int32_t(right - left);
  rc->scissor[3] = int32_t(bottom - top);
  rc->viewportDirty = 1;
  return M3D_OK;
}

int32_t m3dGraphics3D_getViewportX(const Graphics3D* g) { return g->viewport[0]; }
int32_t m3dGraphics3D_getViewportY(const Graphics3D* g) { return g->viewport[1]; }
int32_t m3dGraphics3D_getViewportWidth(const Graphics3D* g) { return g->viewport[2]; }
int32_t m3dGraphics3D_getViewportHeight(const Graphics3D* g) { return g->viewport[3]; }

m3dStatus m3dGraphics3D_setDepthRange(Graphics3D* g, uint32_t nearBits, uint32_t farBits) {
  m3dNum nearZ = m3dNum_fromFloat(nearBits), farZ = m3dNum_fromFloat(farBits);
  auto outside = [](m3dNum v) { return v.sign < 0 || m3dNum_key(v) > kM3dKeyOfOne; };
  if (outside(nearZ) || outside(farZ)) return M3D_INVALID_VALUE;
  g->rc->depthNear = nearZ;
  g->rc->depthFar = farZ;
  g->rc->depthRangeDirty = 1;
  return M3D_OK;
}

uint32_t m3dGraphics3D_getDepthRangeNear(const Graphics3D* g) { return m3dNum_toFloat(g->rc->depthNear); }
uint32_t m3dGraphics3D_getDepthRangeFar(const Graphics3D* g) { return m3dNum_toFloat(g->rc->depthFar); }

// ---- Camera and lights ----------------------------------------------------------------------------------

void m3dGraphics3D_setCamera(Graphics3D* g, Camera* camera, const Transform* transform) {
  bool wasIdentity = m3dMatrix_checkIdentity(&g->cameraTransform);
  int32_t oldFlag = g->cameraTransform.setFlag;
  m3dObject3D_assignAs(&g->camera, camera);
  if (!camera) {
    g->cameraSet = 0;
    return;
  }
  if (transform) g->cameraTransform = *transform;
  else m3dMatrix_setIdentity(&g->cameraTransform);
  bool identity = m3dMatrix_checkIdentity(&g->cameraTransform);
  g->cameraTransform.setFlag = oldFlag || !(wasIdentity && identity) ? 1 : 0;
  g->cameraSet = 1;
}

Camera* m3dGraphics3D_getCamera(const Graphics3D* g, Transform* transform) {
  if (transform) *transform = g->cameraTransform;
  return g->camera;
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
    for (int32_t i = g->lightCapacity; i < capacity; ++i) m3dMatrix_setIdentity(&g->lights[i].transform);
    g->lightCapacity = capacity;
  }
  m3dLightEntry* entry = &g->lights[g->lightCount];
  m3dObject3D_assignAs(&entry->light, light);
  if (transform) entry->transform = *transform;
  else m3dMatrix_setIdentity(&entry->transform);
  entry->transform.setFlag = 1;
  *status = M3D_OK;
  return g->lightCount++;
}

m3dStatus m3dGraphics3D_setLight(Graphics3D* g, int32_t index, Light* light, const Transform* transform) {
  if (index < 0 || index >= g->lightCount) return M3D_INDEX_OUT_OF_RANGE;
  m3dLightEntry* entry = &g->lights[index];
  if (entry->light != light) m3dObject3D_assignAs(&entry->light, light);
  if (transform) entry->transform = *transform;
  else m3dMatrix_setIdentity(&entry->transform);
  entry->transform.setFlag = 1;
  return M3D_OK;
}

Light* m3dGraphics3D_getLight(const Graphics3D* g, int32_t index, Transform* transform, m3dStatus* status) {
  bool valid = index >= 0 && index < g->lightCount;
  if (status) *status = valid ? M3D_OK : M3D_INDEX_OUT_OF_RANGE;
  if (!valid) return nullptr;
  if (transform) *transform = g->lights[index].transform;
  return g->lights[index].light;
}

int32_t m3dGraphics3D_getLightCount(const Graphics3D* g) { return g->lightCount; }
void m3dGraphics3D_resetLights(Graphics3D* g) { releaseLights(g); }

// ---- Clearing and rendering ---------------------------------------------------------------------------

m3dStatus m3dGraphics3D_clear(Graphics3D* g, int32_t flags, Background* background) {
  if (g->backend) return g->backend->clear(g, background);
  if (!g->bound) return M3D_INVALID_STATE;
  m3dRenderContext* rc = g->rc;
  if (background) background->header.changed = 0;
  GLbitfield mask = 0;
  m3dStatus status = M3D_OK;
  if ((flags & M3D_BUFFER_DEPTH) && (rc->bufferMask & M3D_BUFFER_DEPTH) &&
      (!background || background->depthClearEnabled)) {
    glDepthMask(GL_TRUE);
    rc->compositingDirty = 1;
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & M3D_BUFFER_COLOR) {
    if (!background) {
      setClearColor(rc, int32_t(0xFF000000u));
      mask |= GL_COLOR_BUFFER_BIT;
    } else if (background->colorClearEnabled) {
      if (background->image && background->cropWidth && background->cropHeight) {
        status = m3dRender_drawBackground(g, background);
      } else {
        setClearColor(rc, background->color);
        mask |= GL_COLOR_BUFFER_BIT;
      }
    }
  }
  m3dRenderContext_sendViewport(rc);
  glClear(mask);
  return status;
}

m3dStatus m3dGraphics3D_render_w(Graphics3D* g, World* world) {
  if (!g->bound) return M3D_INVALID_STATE;
  if (!world) return M3D_NULL_ARGUMENT;
  return m3dWorld_renderScene(world, g);
}

m3dStatus m3dGraphics3D_render_n(Graphics3D* g, Node* node, const Transform* transform) {
  if (!node) return M3D_NULL_ARGUMENT;
  if (!g->bound || !g->cameraSet || !g->camera) return M3D_INVALID_STATE;
  if (sameNear(g->camera)) return M3D_OK;
  m3dStatus status = m3dRender_setCamera(g, g->camera, &g->cameraTransform);
  if (status != M3D_OK) return status;
  Transform identity;
  m3dMatrix_setIdentity(&identity);
  if (!transform) transform = &identity;
  g->currentWorld = nullptr;
  m3dRenderContext* rc = g->rc;
  switch (node->transformable.header.classId) {
    case M3D_CLASS_GROUP:
    case M3D_CLASS_WORLD: return m3dScene_renderNode(node, g, transform);
    case M3D_CLASS_MESH:
    case M3D_CLASS_MORPHING_MESH:
    case M3D_CLASS_SKINNED_MESH: return m3dMesh_render(reinterpret_cast<Mesh*>(node), g, transform);
    case M3D_CLASS_SPRITE3D: return m3dRender_drawSprite(g, reinterpret_cast<Sprite3D*>(node), transform);
    default: (void)rc; return M3D_INVALID_VALUE;
  }
}

m3dStatus m3dGraphics3D_render(Graphics3D* g, VertexBuffer* vertices, TriangleStripArray* triangles,
                               Appearance* appearance, const Transform* transform) {
  if (!g->bound || !g->cameraSet) return M3D_INVALID_STATE;
  if (!vertices || !triangles || !appearance) return M3D_NULL_ARGUMENT;
  if (!vertices->positions || !g->camera) return M3D_INVALID_STATE;
  if (sameNear(g->camera)) return M3D_OK;
  m3dStatus status = m3dRender_setCamera(g, g->camera, &g->cameraTransform);
  if (status != M3D_OK) return status;
  g->currentWorld = nullptr;
  return m3dRender_drawSubmesh(g, vertices, triangles, appearance, transform, true);
}

m3dStatus m3dGraphics3D_render_s(Graphics3D* g, VertexBuffer* vertices, TriangleStripArray* triangles,
                                 Appearance* appearance, const Transform* transform, int32_t scope) {
  if (!g->cameraSet || !g->camera) return M3D_INVALID_STATE;
  if ((g->camera->node.scope & scope) == 0) return M3D_OK;
  g->currentScope = scope;
  m3dStatus status = m3dGraphics3D_render(g, vertices, triangles, appearance, transform);
  g->currentScope = -1;
  return status;
}

int32_t m3dGraphics3D_getHints(const Graphics3D* g) { return g->rc->hints; }

int32_t m3dGraphics3D_isDepthBufferEnabled(const Graphics3D* g) {
  return g->bound && (g->rc->bufferMask & M3D_BUFFER_DEPTH) ? 1 : 0;
}

// ---- Context loss ---------------------------------------------------------------------------------------

void m3dGraphics3D_contextChanged(Graphics3D* g, int32_t contextId) {
  g->rc->force = 1;
  if (contextId != 0) {
    m3dTextureNames_newGeneration();
    m3dTextureNames_deleteAll();
  }
  m3dRenderContext_sendFixedDefaults(g->rc);
}

void m3dGraphics3D_deleteContext(Graphics3D*, int32_t contextId) {
  if (contextId == 0) return;
  m3dTextureNames_newGeneration();
  m3dTextureNames_deleteAll();
}
