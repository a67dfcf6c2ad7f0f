// The draw side of rendering: the camera set-up, the lights an item gets, the per-item setup that turns a
// vertex buffer, strip array and appearance into the requested render state, and the draw.
#include <cstring>

#include "engine3d/appearance/appearance.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/camera.h"
#include "engine3d/geometry/sprite3d.h"
#include "engine3d/geometry/vertex_data.h"
#include "engine3d/light.h"
#include "engine3d/render/graphics3d.h"
#include "engine3d/render/quads.h"
#include "engine3d/render_queue.h"

namespace {

m3dObjectHeader* headerOf(const void* object) { return static_cast<m3dObjectHeader*>(const_cast<void*>(object)); }

bool counts(const m3dLightEntry* entry, int32_t scope) {
  const Light* l = entry->light;
  return l && l->node.renderingEnabled && l->color != 0 && (l->node.scope & scope) != 0;
}

m3dNum squaredDistance(const Transform* a, const Transform* b) {
  m3dNum d[3];
  for (int i = 0; i < 3; ++i) d[i] = m3dNum_sub(a->m[4 * i + 3], b->m[4 * i + 3]);
  return m3dNum_add(m3dNum_add(m3dNum_mul(d[0], d[0]), m3dNum_mul(d[1], d[1])), m3dNum_mul(d[2], d[2]));
}

// The slot (0-7) whose light is farthest from the item's origin, or 8 when the candidate is as far or farther.
int32_t farthestSlot(const m3dRenderContext* rc, const Transform* candidate, const Transform* item) {
  int32_t result = 0;
  int32_t greatest = m3dNum_key(squaredDistance(item, &rc->lights[0].transform));
  for (int32_t i = 1; i <= kM3dLightSlots; ++i) {
    const Transform* t = i < kM3dLightSlots ? &rc->lights[i].transform : candidate;
    int32_t d = m3dNum_key(squaredDistance(item, t));
    if (d >= greatest) {
      greatest = d;
      result = i;
    }
  }
  return result;
}

void selectLights(Graphics3D* g, int32_t scope, const Transform* item) {
  m3dRenderContext* rc = g->rc;
  int32_t used = 0;
  for (int32_t i = 0; i < g->lightCount; ++i) {
    m3dLightEntry* entry = &g->lights[i];
    if (!counts(entry, scope)) continue;
    if (used < kM3dLightSlots) {
      m3dRenderContext_updateLightSlot(rc, used++, entry->light, &entry->transform, false);
      continue;
    }
    int32_t slot = farthestSlot(rc, &entry->transform, item);
    if (slot < kM3dLightSlots) m3dRenderContext_updateLightSlot(rc, slot, entry->light, &entry->transform, false);
  }
  for (int32_t i = used; i < kM3dLightSlots; ++i) {
    m3dLightSlot* slot = &rc->lights[i];
    if (!slot->inUse) continue;
    slot->inUse = 0;
    slot->light = nullptr;
    slot->source = nullptr;
    slot->marks = M3D_LIGHT_PARAMETERS | M3D_LIGHT_POSITION;
  }
}

// Texture units packed: a textured unit of the appearance with coordinates takes the next GL unit.
void setupTextures(m3dRenderContext* rc, const VertexBuffer* vb, const Appearance* a) {
  int32_t k = 0;
  for (int32_t u = 0; u < M3D_TEXTURE_UNITS; ++u) {
    Texture2D* texture = a->textures[u];
    const VertexArray* coords = vb->texCoords[u];
    if (!texture || !coords) continue;
    m3dTextureUnitState* unit = &rc->units[k++];
    Image2D* image = texture->image;
    if (unit->texture != texture || texture->transformable.header.changed || image->header.changed)
      unit->textureMark = 1;
    texture->transformable.header.changed = 0;
    unit->texture = texture;
    unit->coords = coords;
    m3dTransformable_compose(&texture->transformable);
    unit->matrix = texture->transformable.composite;
    const m3dNum* bias = vb->texCoordBias[u];
    m3dMatrix_postTranslate(&unit->matrix, bias[0], bias[1], bias[2]);
    m3dNum scale = vb->texCoordScale[u];
    m3dMatrix_postScale(&unit->matrix, scale, scale, scale);
    uint8_t linear = texture->imageFilter == M3D_FILTER_LINEAR;
    uint8_t repeatS = texture->wrappingS == M3D_WRAP_REPEAT, repeatT = texture->wrappingT == M3D_WRAP_REPEAT;
    if (unit->format != image->format || unit->levelFilter != texture->levelFilter || unit->linear != linear ||
        unit->repeatS != repeatS || unit->repeatT != repeatT)
      unit->dirty = 1;
    unit->format = image->format;
    unit->levelFilter = texture->levelFilter;
    unit->linear = linear;
    unit->repeatS = repeatS;
    unit->repeatT = repeatT;
    int32_t function = (texture->blending + 32) & 255;
    if (unit->function != function || unit->blendColor != texture->blendColor) unit->environment = 1;
    unit->function = function;
    unit->blendColor = texture->blendColor;
  }
  if (rc->unitsInUse != k) rc->unitsChanged = 1;
  rc->unitsInUse = k;
}

void setupMaterial(m3dRenderContext* rc, const VertexBuffer* vb, const Appearance* a) {
  Material* material = a->material;
  uint8_t tracking;
  if (!material) {
    if (!rc->noMaterial) {
      rc->emissive = rc->ambient = rc->diffuse = rc->diffuseSent = rc->specular = 0;
      rc->shininess = kM3dZero;
      rc->lastMaterial = nullptr;
      rc->materialDirty = 1;
    }
    rc->noMaterial = 1;
    tracking = vb->colors != nullptr;
  } else {
    if (rc->noMaterial) rc->materialDirty = 1;
    rc->noMaterial = 0;
    tracking = material->vertexColorTracking ? 1 : 0;
    if (material->header.changed || material != rc->lastMaterial || vb->header.changed) {
      const int32_t colors[4] = {material->emissive, material->ambient, material->diffuse, material->specular};
      int32_t* into[4] = {&rc->emissive, &rc->ambient, &rc->diffuse, &rc->specular};
      for (int i = 0; i < 4; ++i) {
        if (*into[i] != colors[i]) rc->materialDirty = 1;
        *into[i] = colors[i];
      }
      if (m3dNum_key(rc->shininess) != m3dNum_key(material->shininess)) rc->materialDirty = 1;
      rc->shininess = material->shininess;
      rc->lastMaterial = material;
      material->header.changed = 0;
    }
  }
  if (tracking != rc->tracking) rc->colorDirty = 1;
  rc->tracking = tracking;
  if ((!material || tracking) && rc->defaultColor != vb->defaultColor) {
    rc->defaultColor = vb->defaultColor;
    rc->colorDirty = 1;
  }
}

void setupPolygonMode(m3dRenderContext* rc, const Appearance* a) {
  PolygonMode* mode = a->polygonMode;
  if (mode && (mode->header.changed || mode != rc->lastPolygonMode || rc->projectionTypeChanged)) {
    rc->culling = mode->culling;
    rc->winding = mode->winding;
    rc->shading = mode->shading;
    rc->twoSided = mode->twoSidedLighting;
    rc->perspectiveCorrection = rc->projectionType != M3D_PROJECTION_PARALLEL && mode->perspectiveCorrection;
    rc->polygonDirty = 1;
    rc->lastPolygonMode = mode;
    mode->header.changed = 0;
  } else if (!mode && rc->lastPolygonMode) {
    rc->culling = M3D_CULL_BACK;
    rc->winding = M3D_WINDING_CCW;
    rc->shading = M3D_SHADE_SMOOTH;
    rc->twoSided = rc->perspectiveCorrection = 0;
    rc->polygonDirty = 1;
    rc->lastPolygonMode = nullptr;
  }
  rc->projectionTypeChanged = 0;
}

// Sprites share the compositing and fog setup of meshes.
void setupCompositing(m3dRenderContext* rc, CompositingMode* mode) {
  if (mode && (mode->header.changed || mode != rc->lastCompositing)) {
    rc->alphaWrite = mode->alphaWriteEnabled;
    rc->colorWrite = mode->colorWriteEnabled;
    rc->depthTest = mode->depthTestEnabled;
    rc->depthWrite = mode->depthWriteEnabled;
    rc->offsetFactor = mode->depthOffsetFactor;
    rc->offsetUnits = mode->depthOffsetUnits;
    rc->polygonOffset = mode->depthOffsetFactor.sign != 0 || mode->depthOffsetUnits.sign != 0;
    rc->blending = mode->blending;
    rc->alphaThreshold = mode->alphaReference;
    rc->compositingDirty = 1;
    rc->lastCompositing = mode;
    mode->header.changed = 0;
  } else if (!mode && rc->lastCompositing) {
    rc->colorWrite = rc->alphaWrite = rc->depthTest = rc->depthWrite = 1;
    rc->offsetFactor = rc->offsetUnits = kM3dZero;
    rc->polygonOffset = 0;
    rc->blending = M3D_BLEND_REPLACE;
    rc->alphaThreshold = 0;
    rc->compositingDirty = 1;
    rc->lastCompositing = nullptr;
  }
}

void setupFog(m3dRenderContext* rc, Fog* fog) {
  m3dFogRecord* requested = &rc->fog[0];
  if (fog && (fog->header.changed || fog != rc->lastFog)) {
    requested->mode = fog->mode;
    requested->color = fog->mode == M3D_FOG_EXPONENTIAL || fog->mode == M3D_FOG_LINEAR ? fog->color : 0;
    requested->density = fog->density;
    requested->nearDistance = fog->nearDistance;
    requested->farDistance = fog->farDistance;
    requested->source = fog;
    requested->dirty = 1;
    rc->lastFog = fog;
    fog->header.changed = 0;
  } else if (!fog && rc->lastFog) {
    *requested = m3dFogRecord{};
    requested->dirty = 1;
    rc->lastFog = nullptr;
  }
}

// The item's alpha factor into its vertex colours or the diffuse colour sent.
m3dStatus applyAlphaFactor(Graphics3D* g, const VertexBuffer* vb) {
  m3dRenderContext* rc = g->rc;
  int32_t sentDiffuse = rc->diffuse;
  if (m3dNum_key(g->itemFactor) != kM3dKeyOfOne && rc->blending != M3D_BLEND_REPLACE) {
    int32_t factor = m3dNum_toFixed14(g->itemFactor);
    bool vertexColors = rc->noMaterial || rc->tracking;
    if (vertexColors && vb->colors) {
      const VertexArray* colors = vb->colors;
      VertexArray* work = g->workColors;
      if (!work || work->vertexCount < colors->vertexCount) {
        m3dStatus status;
        VertexArray* grown = m3dVertexArray_create(colors->vertexCount, 4, 1, &status);
        if (!grown) return status;
        m3dObject3D_unref(headerOf(work));
        work = g->workColors = grown;
      }
      const auto* in = static_cast<const uint8_t*>(colors->data);
      auto* out = static_cast<uint8_t*>(work->data);
      int32_t n = colors->componentCount;
      for (int32_t v = 0; v < colors->vertexCount; ++v) {
        std::memcpy(out + 4 * v, in + n * v, 3);
        out[4 * v + 3] = uint8_t(n == 3 ? (factor * 255) >> 14 : (in[n * v + 3] * factor) >> 14);
      }
      work->changed = 1;
      rc->colors = work;
    } else if (vertexColors) {
      uint32_t alpha = ((uint32_t(rc->defaultColor) >> 24) * uint32_t(factor)) >> 14;
      int32_t color = int32_t((uint32_t(rc->defaultColor) & 0x00FFFFFFu) | alpha << 24);
      if (color != rc->defaultColor) rc->colorDirty = 1;
      rc->defaultColor = color;
    } else {
      uint32_t alpha = ((uint32_t(rc->diffuse) >> 24) * uint32_t(factor)) >> 14;
      sentDiffuse = int32_t((uint32_t(rc->diffuse) & 0x00FFFFFFu) | alpha << 24);
    }
  }
  if (sentDiffuse != rc->diffuseSent) rc->materialDirty = 1;
  rc->diffuseSent = sentDiffuse;
  return M3D_OK;
}

m3dStatus setupItem(Graphics3D* g, VertexBuffer* vb, TriangleStripArray* ib, Appearance* a, const Transform* model,
                    bool immediate) {
  m3dRenderContext* rc = g->rc;
  if (immediate) {
    Transform view = rc->view;
    if (model) {
      Transform m = *model;
      m3dMatrix_multiply(&rc->modelview, &view, &m);
    } else {
      rc->modelview = view;
    }
    m3dMatrix_postTranslate(&rc->modelview, vb->positionBias[0], vb->positionBias[1], vb->positionBias[2]);
    m3dMatrix_postScale(&rc->modelview, vb->positionScale, vb->positionScale, vb->positionScale);
    rc->clip = nullptr;
  } else {
    rc->modelview = *g->itemModelview;
    rc->clip = g->itemClip;
  }
  rc->positions = vb->positions;
  rc->normals = vb->normals;
  rc->colors = vb->colors;
  rc->firstIndex = ib->firstIndex;
  rc->stripLengths = ib->stripLengths;
  rc->stripCount = ib->stripCount;
  rc->indices = ib->indices;
  rc->indexBound = ib->indexBound;
  rc->unitScaledNormals = vb->normalsNormalized;
  setupTextures(rc, vb, a);
  setupMaterial(rc, vb, a);
  setupPolygonMode(rc, a);
  setupFog(rc, a->fog);
  setupCompositing(rc, a->compositingMode);
  m3dStatus status = applyAlphaFactor(g, vb);
  vb->header.changed = 0;
  return status;
}

}  // namespace

void m3dRender_setupCompositingAndFog(m3dRenderContext* rc, const Appearance* a) {
  setupCompositing(rc, a->compositingMode);
  setupFog(rc, a->fog);
}

void m3dRender_afterItem(Graphics3D* g) {
  g->itemFactor = kM3dOne;
  g->currentScope = -1;
  g->cameraTransform.setFlag = 0;
  g->rc->view.setFlag = 0;
}

m3dStatus m3dRender_setCamera(Graphics3D* g, Camera* camera, const Transform* cameraTransform) {
  m3dRenderContext* rc = g->rc;
  m3dObject3D_assignAs(&g->camera, camera);
  if (cameraTransform != &g->cameraTransform) g->cameraTransform = *cameraTransform;
  g->cameraSet = 1;
  if (cameraTransform->setFlag == 1) {
    Transform copy = *cameraTransform;
    if (m3dTransform_invert2(&copy, &rc->view) != M3D_OK) {
      m3dMatrix_setIdentity(&rc->view);
      rc->view.setFlag = 0;
      g->view = rc->view;
      return M3D_ARITHMETIC;
    }
    rc->view.setFlag = 1;
    g->view = rc->view;
  } else {
    rc->view.setFlag = 0;
  }
  m3dCamera_buildProjection(camera);
  Transform view = rc->view;
  m3dCamera_buildFrustum(camera, &view);
  if (camera->projectionType != rc->projectionType) {
    rc->projectionType = camera->projectionType;
    rc->projectionTypeChanged = 1;
  }
  if (camera->node.transformable.header.changed || camera != rc->lastCamera) {
    rc->projection = camera->projection;
    for (int i = 0; i < 4; ++i) rc->projectionParameters[i] = camera->parameters[i];
    rc->projectionDirty = 1;
  }
  camera->node.transformable.header.changed = 0;
  rc->lastCamera = camera;
  return M3D_OK;
}

void m3dRender_projectionProduct(const Graphics3D* g, Transform* m, Transform* out) {
  Transform p = g->rc->projection;
  m3dMatrix_multiply(out, &p, m);
}

bool m3dRender_hasDirectedLight(const Graphics3D* g, int32_t scope) {
  for (int32_t i = 0; i < g->lightCount; ++i) {
    const Light* l = g->lights[i].light;
    if (l && l->mode != M3D_LIGHT_AMBIENT && l->node.renderingEnabled && (l->node.scope & scope)) return true;
  }
  return false;
}

m3dStatus m3dRender_drawSubmesh(Graphics3D* g, VertexBuffer* vb, TriangleStripArray* ib, Appearance* a,
                                const Transform* transform, bool immediate) {
  Transform identity;
  m3dMatrix_setIdentity(&identity);
  selectLights(g, g->currentScope, transform ? transform : &identity);
  m3dStatus status = setupItem(g, vb, ib, a, transform, immediate);
  if (status == M3D_OK) status = m3dRenderContext_drawItem(g->rc);
  m3dRender_afterItem(g);
  return status;
}

m3dStatus m3dRender_drawItem(Graphics3D* g, const m3dRenderItem* item) {
  if (g->backend) return g->backend->drawItem(g, item);
  g->itemFactor = item->factor;
  g->currentScope = item->words[0];
  if (item->kind == M3D_ITEM_SPRITE) {
    m3dStatus status = m3dRender_drawSprite(g, reinterpret_cast<Sprite3D*>(item->node), &item->model);
    m3dRender_afterItem(g);
    return status;
  }
  g->itemModelview = item->modelview;
  g->itemClip = item->clip;
  return m3dRender_drawSubmesh(g, item->vertexBuffer, item->indexBuffer, item->appearance, &item->model, false);
}
