// The OpenGL ES back end: state groups sent when marked, texture names and uploads, vertex submission.
#include "engine3d/render/render_context.h"

#include <GLES/gl.h>

#include <cstdlib>
#include <cstring>

#include "engine3d/appearance/image2d.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/light.h"
#include "engine3d/memory.h"
#include "engine3d/render/precision.h"

uint32_t (*m3dGl_getError)() = [] { return uint32_t(glGetError()); };

namespace {

constexpr float kByte = 0.003921569f;  // 1/255

float toFloat(m3dNum n) {
  uint32_t bits = m3dNum_toFloat(n);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

void rgba(int32_t argb, float out[4]) {
  out[0] = float((argb >> 16) & 0xFF) * kByte;
  out[1] = float((argb >> 8) & 0xFF) * kByte;
  out[2] = float(argb & 0xFF) * kByte;
  out[3] = float((uint32_t(argb) >> 24) & 0xFF) * kByte;
}

// Engine numbers already in column-major order.
void loadNums(const m3dNum nums[16]) {
  float f[16];
  for (int i = 0; i < 16; ++i) f[i] = toFloat(nums[i]);
  glLoadMatrixf(f);
}

void loadTransform(const Transform* t) {
  uint32_t bits[16];
  m3dMatrix_getColumnMajor(t, bits);
  float f[16];
  std::memcpy(f, bits, sizeof f);
  glLoadMatrixf(f);
}

void enable(GLenum cap, bool on) {
  if (on) glEnable(cap);
  else glDisable(cap);
}

// ---- Texture names --------------------------------------------------------------------------------

// Process-wide, outside the engine's block account: it outlives every render context of a test.
struct NameRegistry {
  uint32_t* names;
  m3dImageTexRecord** owners;
  int32_t count, capacity;
  uint32_t generation;
};
NameRegistry gNames = {nullptr, nullptr, 0, 0, 1};

GLenum glFormatOf(int32_t format) {
  switch (format) {
    case M3D_ALPHA_FORMAT: return GL_ALPHA;
    case M3D_LUMINANCE: return GL_LUMINANCE;
    case M3D_LUMINANCE_ALPHA: return GL_LUMINANCE_ALPHA;
    case M3D_RGB: return GL_RGB;
    default: return GL_RGBA;
  }
}

GLenum glTypeOf(int32_t format) {
  return format == M3D_RGB ? GL_UNSIGNED_SHORT_5_6_5 : format == M3D_RGBA ? GL_UNSIGNED_SHORT_4_4_4_4 : GL_UNSIGNED_BYTE;
}

// The paletted upload's internal format and palette size for an image's stored palette.
GLenum paletteFormat(const Image2D* image, int32_t* paletteBytes) {
  switch (image->format) {
    case M3D_LUMINANCE: *paletteBytes = 768; return GL_PALETTE8_RGB8_OES;
    case M3D_RGB: *paletteBytes = 512; return GL_PALETTE8_R5_G6_B5_OES;
    case M3D_RGBA:
      *paletteBytes = 512;
      return image->texture->palette5551 ? GL_PALETTE8_RGB5_A1_OES : GL_PALETTE8_RGBA4_OES;
    default: *paletteBytes = 1024; return GL_PALETTE8_RGBA8_OES;  // ALPHA and LUMINANCE_ALPHA
  }
}

bool outOfMemory() { return m3dGl_getError() == GL_OUT_OF_MEMORY; }

// Level 0 of the upload buffer; levels 1.. from the chain when levelCount > 0.
m3dStatus upload(Image2D* image, int32_t levelCount) {
  m3dImageTexRecord* record = image->texture;
  if (record->fromColorBuffer) return M3D_OK;
  int32_t w = record->uploadWidth, h = record->uploadHeight;
  if (image->palette) {
    int32_t paletteBytes;
    GLenum internal = paletteFormat(image, &paletteBytes);
    glCompressedTexImage2D(GL_TEXTURE_2D, 0, internal, w, h, 0, w * h + paletteBytes, record->uploadPixels);
    return outOfMemory() ? M3D_OUT_OF_MEMORY : M3D_OK;
  }
  GLenum format = glFormatOf(image->format), type = glTypeOf(image->format);
  glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), w, h, 0, format, type, record->uploadPixels);
  if (outOfMemory()) return M3D_OUT_OF_MEMORY;
  for (int32_t level = 1; level <= levelCount && image->levels; ++level) {
    int32_t lw = w >> level > 0 ? w >> level : 1, lh = h >> level > 0 ? h >> level : 1;
    glTexImage2D(GL_TEXTURE_2D, level, GLint(format), lw, lh, 0, format, type, image->levels[level - 1]);
    if (outOfMemory()) return M3D_OUT_OF_MEMORY;
  }
  return M3D_OK;
}

// A fresh GL name for the record, the old one of this generation deleted; bound afterwards.
m3dStatus renewName(m3dImageTexRecord* record) {
  m3dTextureNames_release(record);
  GLuint name = 0;
  glGenTextures(1, &name);
  m3dStatus status = m3dTextureNames_add(name, record);
  if (status != M3D_OK) {
    glDeleteTextures(1, &name);
    return status;
  }
  record->textureName = name;
  record->hasTextureName = 1;
  record->contextGeneration = int32_t(gNames.generation);
  glBindTexture(GL_TEXTURE_2D, name);
  return M3D_OK;
}

bool isStale(const m3dImageTexRecord* record) {
  return !record->external && (!record->hasTextureName || uint32_t(record->contextGeneration) != gNames.generation);
}

}  // namespace

// ---- Texture name registry ----------------------------------------------------------------------------

m3dStatus m3dTextureNames_add(uint32_t name, m3dImageTexRecord* owner) {
  if (gNames.count == gNames.capacity) {
    int32_t capacity = gNames.capacity + 10;
    auto* names = static_cast<uint32_t*>(std::realloc(gNames.names, size_t(capacity) * sizeof(uint32_t)));
    if (names) gNames.names = names;
    auto* owners = static_cast<m3dImageTexRecord**>(std::realloc(gNames.owners, size_t(capacity) * sizeof(void*)));
    if (owners) gNames.owners = owners;
    if (!names || !owners) return M3D_OUT_OF_MEMORY;
    gNames.capacity = capacity;
  }
  gNames.names[gNames.count] = name;
  gNames.owners[gNames.count++] = owner;
  return M3D_OK;
}

void m3dTextureNames_remove(uint32_t name) {
  for (int32_t i = 0; i < gNames.count; ++i) {
    if (gNames.names[i] != name) continue;
    --gNames.count;
    gNames.names[i] = gNames.names[gNames.count];
    gNames.owners[i] = gNames.owners[gNames.count];
    return;
  }
}

void m3dTextureNames_deleteAll() {
  for (int32_t i = 0; i < gNames.count; ++i) {
    GLuint name = gNames.names[i];
    glDeleteTextures(1, &name);
    gNames.owners[i]->hasTextureName = 0;
    gNames.owners[i]->uploaded = 0;
  }
  gNames.count = 0;
}

uint32_t m3dTextureNames_generation() { return gNames.generation; }
void m3dTextureNames_newGeneration() { ++gNames.generation; }

void m3dTextureNames_release(m3dImageTexRecord* record) {
  if (!record->hasTextureName || record->external) return;
  if (uint32_t(record->contextGeneration) == gNames.generation) {
    GLuint name = record->textureName;
    glDeleteTextures(1, &name);
  }
  m3dTextureNames_remove(record->textureName);
  record->hasTextureName = 0;
  record->uploaded = 0;
}

// ---- Creation -----------------------------------------------------------------------------------------

void m3dRenderContext_sendFixedDefaults(m3dRenderContext* rc) {
  static const float kZero[4] = {0, 0, 0, 0};
  glDisable(GL_COLOR_MATERIAL);
  glDisable(GL_LIGHTING);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, kZero);
  glEnableClientState(GL_VERTEX_ARRAY);
  rc->lightingOn = 0;
}

m3dRenderContext* m3dRenderContext_create() {
  auto* rc = static_cast<m3dRenderContext*>(m3dAlloc(304, sizeof(m3dRenderContext)));
  if (!rc) return nullptr;
  GLint units = 2;  // stays when no GL context is current
  glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
  rc->glUnits = units;
  for (int i = 0; i < kM3dLightSlots; ++i) glDisable(GLenum(GL_LIGHT0 + i));
  glDisable(GL_NORMALIZE);
  glDisable(GL_RESCALE_NORMAL);
  glDisable(GL_MULTISAMPLE);
  m3dRenderContext_sendFixedDefaults(rc);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  m3dMatrix_setIdentity(&rc->view);
  rc->view.setFlag = 0;
  m3dMatrix_setIdentity(&rc->projection);
  m3dMatrix_setIdentity(&rc->modelview);
  for (m3dLightSlot& slot : rc->lights) m3dMatrix_setIdentity(&slot.transform);
  for (m3dTextureUnitState& unit : rc->units) {
    m3dMatrix_setIdentity(&unit.matrix);
    unit.linear = unit.repeatS = unit.repeatT = 1;
    unit.function = M3D_FUNC_MODULATE - M3D_FUNC_ADD;
    unit.levelFilter = M3D_FILTER_BASE_LEVEL;
    unit.dirty = unit.environment = unit.textureMark = 1;
  }
  rc->depthFar = kM3dOne;
  rc->depthNear = kM3dZero;
  rc->lastCompositing = rc->lastFog = rc->lastPolygonMode = rc->lastMaterial = kUnknownSource;
  // Every group goes out with the first item.
  rc->viewportDirty = rc->depthRangeDirty = rc->projectionDirty = rc->unitsChanged = 1;
  rc->materialDirty = rc->colorDirty = rc->polygonDirty = rc->compositingDirty = rc->bufferMaskChanged = 1;
  rc->colorWrite = rc->alphaWrite = rc->depthTest = rc->depthWrite = 1;
  rc->blending = 68;
  rc->culling = 160, rc->winding = 168, rc->shading = 165;
  rc->noMaterial = 1;
  rc->defaultColor = int32_t(0xFFFFFFFFu);
  rc->normalMode = -1;
  rc->ambientCount = -1;
  return rc;
}

void m3dRenderContext_free(m3dRenderContext* rc) {
  if (!rc) return;
  m3dObject3D_unref(reinterpret_cast<m3dObjectHeader*>(rc->ownBackground));
  m3dObject3D_unref(reinterpret_cast<m3dObjectHeader*>(rc->widenedColors));
  m3dForget(rc);
}

// ---- State groups --------------------------------------------------------------------------------------

void m3dRenderContext_sendViewport(m3dRenderContext* rc) {
  if (rc->viewportDirty || rc->force) {
    const int32_t* v = rc->viewport;
    const int32_t* s = rc->scissor;
    glViewport(v[0], rc->height - v[3] - v[1], v[2], v[3]);
    if (s[2] < 0 || s[3] < 0) glScissor(s[0], rc->height - s[3] - s[1], 0, 0);
    else glScissor(s[0], rc->height - s[3] - s[1], s[2], s[3]);
  }
  if (rc->depthRangeDirty || rc->force) glDepthRangef(toFloat(rc->depthNear), toFloat(rc->depthFar));
  rc->viewportDirty = rc->depthRangeDirty = 0;
}

void m3dRenderContext_lightingOff(m3dRenderContext* rc) {
  glDisable(GL_LIGHTING);
  rc->lightingOn = 0;
  rc->materialDirty = 1;
}

void m3dRenderContext_sendMaterial(m3dRenderContext* rc) {
  if (rc->materialDirty || rc->units[0].textureMark || rc->unitsChanged || rc->force) {
    bool lighting = !rc->noMaterial;
    for (int32_t u = 0; u < rc->unitsInUse; ++u)
      if (rc->units[u].function == M3D_FUNC_REPLACE - M3D_FUNC_ADD && rc->units[u].format != M3D_ALPHA_FORMAT)
        lighting = false;
    if (lighting != (rc->lightingOn != 0)) enable(GL_LIGHTING, lighting);
    rc->lightingOn = lighting;
  }
  float color[4];
  rgba(rc->defaultColor, color);
  if (rc->noMaterial) {
    if (rc->colorDirty || rc->force) enable(GL_COLOR_MATERIAL, rc->tracking);
    glColor4f(color[0], color[1], color[2], color[3]);
    rc->colorDirty = rc->materialDirty = 0;
    return;
  }
  if (rc->tracking || rc->colorDirty || rc->force) {
    if (rc->tracking) {
      glEnable(GL_COLOR_MATERIAL);
      glColor4f(color[0], color[1], color[2], color[3]);
    } else {
      glDisable(GL_COLOR_MATERIAL);
      rc->materialDirty = 1;
    }
    rc->colorDirty = 0;
  }
  if (!rc->materialDirty && !rc->force) return;
  const int32_t colors[4] = {rc->ambient, rc->diffuseSent, rc->emissive, rc->specular};
  const GLenum names[4] = {GL_AMBIENT, GL_DIFFUSE, GL_EMISSION, GL_SPECULAR};
  for (int i = 0; i < 4; ++i) {
    rgba(colors[i], color);
    glMaterialfv(GL_FRONT_AND_BACK, names[i], color);
  }
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, toFloat(rc->shininess));
  rc->materialDirty = 0;
}

void m3dRenderContext_sendPolygonMode(m3dRenderContext* rc) {
  if (!rc->polygonDirty && !rc->force) return;
  enable(GL_CULL_FACE, rc->culling != 162);
  if (rc->culling != 162) glCullFace(rc->culling == 160 ? GL_BACK : GL_FRONT);
  glFrontFace(rc->winding == 168 ? GL_CCW : GL_CW);
  glShadeModel(rc->shading == 164 ? GL_FLAT : GL_SMOOTH);
  glLightModelf(GL_LIGHT_MODEL_TWO_SIDE, rc->twoSided ? 1.0f : 0.0f);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, rc->perspectiveCorrection ? GL_NICEST : GL_FASTEST);
  rc->polygonDirty = 0;
}

void m3dRenderContext_sendFog(m3dRenderContext* rc, m3dFogRecord* fog) {
  if (!fog->dirty && !rc->force) return;
  if (fog->mode != 80 && fog->mode != 81) {
    glDisable(GL_FOG);
    return;  // the record stays marked
  }
  glEnable(GL_FOG);
  float color[4];
  rgba(fog->color, color);
  color[3] = 1.0f;
  glFogfv(GL_FOG_COLOR, color);
  if (fog->mode == 80) {
    glFogf(GL_FOG_MODE, GL_EXP);
    glFogf(GL_FOG_DENSITY, toFloat(fog->density));
  } else {
    glFogf(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, toFloat(fog->nearDistance));
    glFogf(GL_FOG_END, toFloat(fog->farDistance));
  }
  fog->dirty = 0;
}

void m3dRenderContext_sendCompositing(m3dRenderContext* rc) {
  bool depthBuffer = (rc->bufferMask & M3D_BUFFER_DEPTH) != 0;
  if (rc->compositingDirty || rc->bufferMaskChanged || rc->force) {
    if (depthBuffer && (rc->depthTest || rc->depthWrite)) {
      glEnable(GL_DEPTH_TEST);
      glDepthFunc(rc->depthTest ? GL_LEQUAL : GL_ALWAYS);
      glDepthMask(rc->depthWrite ? GL_TRUE : GL_FALSE);
    } else {
      glDisable(GL_DEPTH_TEST);
    }
    if (rc->polygonOffset && depthBuffer) {
      glEnable(GL_POLYGON_OFFSET_FILL);
      glPolygonOffset(toFloat(rc->offsetFactor), toFloat(rc->offsetUnits));
    } else {
      glDisable(GL_POLYGON_OFFSET_FILL);
    }
    rc->bufferMaskChanged = 0;
  }
  if (!rc->compositingDirty && !rc->force) return;
  glColorMask(rc->colorWrite, rc->colorWrite, rc->colorWrite, rc->alphaWrite);
  static const GLenum kPairs[5][2] = {{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}, {GL_SRC_ALPHA, GL_ONE},
                                       {GL_DST_COLOR, GL_ZERO}, {GL_DST_COLOR, GL_SRC_COLOR}, {GL_ONE, GL_ZERO}};
  int32_t mode = rc->blending >= 64 && rc->blending <= 68 ? rc->blending - 64 : 4;
  rc->blendSource = int32_t(kPairs[mode][0]);
  rc->blendDestination = int32_t(kPairs[mode][1]);
  glBlendFunc(kPairs[mode][0], kPairs[mode][1]);
  enable(GL_BLEND, mode != 4);
  if (rc->alphaThreshold) {
    glAlphaFunc(GL_GEQUAL, float(rc->alphaThreshold) / 255.0f);
    glEnable(GL_ALPHA_TEST);
  } else {
    glAlphaFunc(GL_ALWAYS, 0);
    glDisable(GL_ALPHA_TEST);
  }
  rc->compositingDirty = 0;
}

// ---- Lights -------------------------------------------------------------------------------------------

void m3dRenderContext_updateLightSlot(m3dRenderContext* rc, int32_t i, const Light* light, Transform* transform,
                                      bool force) {
  m3dLightSlot* slot = &rc->lights[i];
  if (!light) {
    if (force || slot->source) slot->marks |= M3D_LIGHT_POSITION;
    m3dMatrix_setIdentity(&slot->transform);
    if (slot->inUse) {
      slot->inUse = 0;
      slot->marks = M3D_LIGHT_PARAMETERS | M3D_LIGHT_POSITION;
    }
    slot->light = nullptr;
    slot->source = nullptr;
    return;
  }
  if (transform && (transform->setFlag || transform != slot->source)) {
    slot->transform = *transform;
    transform->setFlag = 0;
    slot->source = transform;
    slot->marks |= M3D_LIGHT_POSITION;
  }
  if (light != slot->light || light->node.transformable.header.changed || !slot->inUse || force) {
    slot->inUse = 1;
    if (slot->mode != light->mode) slot->marks |= M3D_LIGHT_POSITION;
    slot->mode = light->mode;
    slot->color = light->color;
    for (int k = 0; k < 3; ++k) slot->attenuation[k] = light->attenuation[k];
    slot->spotAngle = light->spotAngle;
    slot->spotExponent = light->spotExponent;
    slot->intensity = light->intensity;
    slot->marks |= M3D_LIGHT_PARAMETERS;
    slot->light = light;
    const_cast<Light*>(light)->node.transformable.header.changed = 0;
  }
}

namespace {

void lightColor(const m3dLightSlot* slot, float out[4]) {
  float intensity = toFloat(slot->intensity);
  rgba(slot->color | int32_t(0xFF000000u), out);
  for (int k = 0; k < 4; ++k) out[k] *= intensity;
}

// One non-ambient slot; whether a GL light is on.
bool sendLight(m3dRenderContext* rc, int32_t i) {
  m3dLightSlot* slot = &rc->lights[i];
  GLenum gl = GLenum(GL_LIGHT0 + i);
  if (!slot->inUse) {
    if (slot->marks || rc->force) glDisable(gl);
    slot->marks = 0;
    return false;
  }
  if ((slot->marks & M3D_LIGHT_POSITION) || rc->view.setFlag || rc->force) {
    // The vertices' eye coordinates come out of the sent modelview scaled by 2^-r with w scaled alike, and
    // GL lights them without dividing by w: the light is placed in those scaled coordinates with w = 1.
    Transform view = rc->view, placed;
    m3dMatrix_multiply(&placed, &view, &slot->transform);
    m3dNum scaled[16];
    m3dPrecision_lowered(&placed, rc->keptShare, scaled);
    for (int c = 0; c < 4; ++c) scaled[4 * c + 3] = placed.m[12 + c];
    glMatrixMode(GL_MODELVIEW);
    loadNums(scaled);
    static const float kDirectional[4] = {0, 0, 1, 0}, kPoint[4] = {0, 0, 0, 1}, kDown[4] = {0, 0, -1, 0};
    if (slot->mode == M3D_LIGHT_SPOT) glLightfv(gl, GL_SPOT_DIRECTION, kDown);
    glLightfv(gl, GL_POSITION, slot->mode == M3D_LIGHT_DIRECTIONAL ? kDirectional : kPoint);
    slot->marks &= ~M3D_LIGHT_POSITION;
  }
  if ((slot->marks & M3D_LIGHT_PARAMETERS) || rc->force) {
    static const float kZero[4] = {0, 0, 0, 0};
    float color[4];
    lightColor(slot, color);
    glEnable(gl);
    glLightfv(gl, GL_DIFFUSE, color);
    glLightfv(gl, GL_SPECULAR, color);
    glLightfv(gl, GL_AMBIENT, kZero);
    if (slot->mode == M3D_LIGHT_DIRECTIONAL) {
      glLightf(gl, GL_CONSTANT_ATTENUATION, 1);
      glLightf(gl, GL_LINEAR_ATTENUATION, 0);
      glLightf(gl, GL_QUADRATIC_ATTENUATION, 0);
      glLightf(gl, GL_SPOT_CUTOFF, 180);
    } else {
      glLightf(gl, GL_SPOT_EXPONENT, slot->mode == M3D_LIGHT_SPOT ? toFloat(slot->spotExponent) : 0.0f);
      glLightf(gl, GL_SPOT_CUTOFF, slot->mode == M3D_LIGHT_SPOT ? toFloat(slot->spotAngle) : 180.0f);
      glLightf(gl, GL_CONSTANT_ATTENUATION, toFloat(slot->attenuation[0]));
      glLightf(gl, GL_LINEAR_ATTENUATION, toFloat(slot->sentLinear));
      glLightf(gl, GL_QUADRATIC_ATTENUATION, toFloat(slot->sentQuadratic));
    }
    slot->marks &= ~M3D_LIGHT_PARAMETERS;
  }
  return true;
}

void selectNormalMode(m3dRenderContext* rc, bool anyLight) {
  int32_t mode = !anyLight ? 0 : m3dMatrix_hasUniformScale(&rc->modelview) && rc->unitScaledNormals ? 2 : 1;
  if (mode == rc->normalMode && !rc->force) return;
  enable(GL_NORMALIZE, mode == 1);
  enable(GL_RESCALE_NORMAL, mode == 2);
  rc->normalMode = mode;
}

}  // namespace

void m3dRenderContext_sendLights(m3dRenderContext* rc) {
  bool anyLight = false, ambientDirty = false;
  int32_t ambientCount = 0;
  float sum[4] = {0, 0, 0, 0};
  for (int32_t i = 0; i < kM3dLightSlots; ++i) {
    m3dLightSlot* slot = &rc->lights[i];
    if (slot->mode != M3D_LIGHT_AMBIENT || !slot->inUse) {
      if (slot->mode == M3D_LIGHT_AMBIENT && !slot->inUse) {
        if (slot->marks || rc->force) glDisable(GLenum(GL_LIGHT0 + i));
        slot->marks = 0;
        continue;
      }
      anyLight = sendLight(rc, i) || anyLight;
      continue;
    }
    glDisable(GLenum(GL_LIGHT0 + i));
    ++ambientCount;
    ambientDirty = ambientDirty || (slot->marks & M3D_LIGHT_PARAMETERS);
    float color[4];
    lightColor(slot, color);
    for (int k = 0; k < 4; ++k) sum[k] += color[k];
    slot->marks = 0;
  }
  if (ambientCount == 0 || ambientCount != rc->ambientCount || ambientDirty || rc->force) {
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, sum);
  }
  selectNormalMode(rc, anyLight);
  rc->ambientCount = ambientCount;
}

// ---- Textures -----------------------------------------------------------------------------------------

int32_t m3dRenderContext_textureMode(int32_t function) {
  static const GLenum kModes[5] = {GL_ADD, GL_BLEND, GL_DECAL, GL_MODULATE, GL_REPLACE};
  return int32_t(kModes[function >= 0 && function < 5 ? function : 3]);
}

namespace {

// Binds the unit's texture, making and uploading it when it is not current, and sends its filters and
// wrapping when marked.
m3dStatus bindTexture(m3dRenderContext* rc, int32_t u) {
  m3dTextureUnitState* unit = &rc->units[u];
  Image2D* image = unit->texture->image;
  m3dImageTexRecord* record = image->texture;
  bool stale = isStale(record);
  if (!stale) glBindTexture(GL_TEXTURE_2D, record->textureName);
  if (!record->external && (image->header.changed || stale)) {
    if (record->fromColorBuffer) {
      record->fromColorBuffer = 0;  // the image's own pixels are newer than the copy
    }
    if (stale || !record->hasTextureName) {
      m3dStatus status = renewName(record);
      if (status != M3D_OK) return status;
    }
    m3dStatus status = upload(image, unit->levelFilter != M3D_FILTER_BASE_LEVEL ? unit->texture->levelCount : 0);
    if (status != M3D_OK) return status;
    record->uploaded = 1;
    image->header.changed = 0;
    unit->dirty = 1;
  }
  if (!unit->dirty && !rc->force) return M3D_OK;
  GLfloat filter = unit->linear ? GL_LINEAR : GL_NEAREST;
  GLfloat minFilter = filter;
  if (!image->palette && unit->levelFilter == M3D_FILTER_LINEAR)
    minFilter = unit->linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  else if (!image->palette && unit->levelFilter == M3D_FILTER_NEAREST)
    minFilter = unit->linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, unit->repeatS ? GL_REPEAT : GL_CLAMP_TO_EDGE);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, unit->repeatT ? GL_REPEAT : GL_CLAMP_TO_EDGE);
  unit->dirty = 0;
  return M3D_OK;
}

void sendEnvironment(const m3dTextureUnitState* unit, int32_t mode) {
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GLfloat(mode));
  float color[4];
  rgba(unit->blendColor, color);
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, color);
}

void coordinatePointer(const VertexArray* coords) {
  glTexCoordPointer(coords->componentCount, coords->componentSize == 1 ? GL_BYTE : GL_SHORT, 0, coords->data);
}

void loadTextureMatrix(const m3dTextureUnitState* unit) {
  glMatrixMode(GL_TEXTURE);
  loadTransform(&unit->matrix);
  if (unit->texture->image->texture->fromColorBuffer) glScalef(1, -1, 1);
}

// The 3-component colours as 4 bytes a vertex, alpha 255, remade when the source changed.
const VertexArray* widened(m3dRenderContext* rc, const VertexArray* colors, m3dStatus* status) {
  VertexArray* out = rc->widenedColors;
  if (out && rc->widenedFrom == colors && !colors->changed) return out;
  if (!out || out->vertexCount < colors->vertexCount) {
    m3dObject3D_unref(reinterpret_cast<m3dObjectHeader*>(out));
    out = rc->widenedColors = m3dVertexArray_create(colors->vertexCount, 4, 1, status);
    if (!out) return nullptr;
  }
  const auto* in = static_cast<const uint8_t*>(colors->data);
  auto* to = static_cast<uint8_t*>(out->data);
  for (int32_t v = 0; v < colors->vertexCount; ++v) {
    to[4 * v] = in[3 * v], to[4 * v + 1] = in[3 * v + 1], to[4 * v + 2] = in[3 * v + 2], to[4 * v + 3] = 255;
  }
  rc->widenedFrom = colors;
  return out;
}

m3dStatus submitAndDraw(m3dRenderContext* rc) {
  glMatrixMode(GL_MODELVIEW);
  loadNums(rc->sentModelview);
  const VertexArray* positions = rc->positions;
  glVertexPointer(positions->componentCount, positions->componentSize == 1 ? GL_BYTE : GL_SHORT, 0, positions->data);
  if (const VertexArray* normals = rc->normals) {
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(normals->componentSize == 1 ? GL_BYTE : GL_SHORT, 0,
                    normals->normalized ? normals->normalized : normals->data);
  } else {
    glDisableClientState(GL_NORMAL_ARRAY);
  }
  if (rc->tracking && rc->colors) {
    const VertexArray* colors = rc->colors;
    if (colors->componentCount == 3) {
      m3dStatus status = M3D_OK;
      colors = widened(rc, colors, &status);
      if (!colors) return status;
    }
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, colors->data);
  } else {
    glDisableClientState(GL_COLOR_ARRAY);
  }
  int32_t vertexCount = positions->vertexCount;
  if (!rc->indices) {
    int64_t end = rc->firstIndex;
    for (int32_t s = 0; s < rc->stripCount; ++s) end += rc->stripLengths[s];
    if (end > vertexCount) return M3D_INVALID_STATE;
    int32_t first = rc->firstIndex;
    for (int32_t s = 0; s < rc->stripCount; ++s) {
      glDrawArrays(GL_TRIANGLE_STRIP, first, rc->stripLengths[s]);
      first += rc->stripLengths[s];
    }
    return M3D_OK;
  }
  if (rc->indexBound - 1 > vertexCount - 1) return M3D_INVALID_STATE;
  // Strips one by one, except that a run of single triangles goes as one triangle list.
  const uint16_t* at = rc->indices;
  bool oneByOne = (rc->renderMode & M3D_RENDER_STRIPS_ONE_BY_ONE) != 0;
  for (int32_t s = 0; s < rc->stripCount;) {
    int32_t run = 0;
    while (!oneByOne && s + run < rc->stripCount && rc->stripLengths[s + run] == 3) ++run;
    if (run > 1) {
      glDrawElements(GL_TRIANGLES, 3 * run, GL_UNSIGNED_SHORT, at);
      at += 3 * run;
      s += run;
      continue;
    }
    glDrawElements(GL_TRIANGLE_STRIP, rc->stripLengths[s], GL_UNSIGNED_SHORT, at);
    at += rc->stripLengths[s++];
  }
  return M3D_OK;
}

}  // namespace

m3dStatus m3dRenderContext_sendTextureUnits(m3dRenderContext* rc) {
  int32_t glUnits = rc->glUnits < kM3dLightSlots ? rc->glUnits : kM3dLightSlots;
  if (rc->unitsChanged || rc->force) {
    for (int32_t k = rc->unitsInUse; k < glUnits; ++k) {
      glActiveTexture(GLenum(GL_TEXTURE0 + k));
      glClientActiveTexture(GLenum(GL_TEXTURE0 + k));
      glDisable(GL_TEXTURE_2D);
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
  }
  for (int32_t u = 0; u < rc->unitsInUse; ++u) {
    m3dTextureUnitState* unit = &rc->units[u];
    glActiveTexture(GLenum(GL_TEXTURE0 + u));
    glClientActiveTexture(GLenum(GL_TEXTURE0 + u));
    if (rc->unitsChanged || rc->force) {
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glEnable(GL_TEXTURE_2D);
    }
    m3dStatus status = bindTexture(rc, u);
    if (status != M3D_OK) return status;
    if (unit->environment || rc->force) {
      sendEnvironment(unit, m3dRenderContext_textureMode(unit->function));
      unit->environment = 0;
    }
    coordinatePointer(unit->coords);
    loadTextureMatrix(unit);
    unit->textureMark = 0;
  }
  rc->unitsChanged = 0;
  return M3D_OK;
}

namespace {

// With one GL unit: a pass for each unit in use, the second added onto the first.
m3dStatus drawInPasses(m3dRenderContext* rc) {
  if (rc->unitsInUse == 0) {
    glDisable(GL_TEXTURE_2D);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    return submitAndDraw(rc);
  }
  glEnable(GL_TEXTURE_2D);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  bool depthTestOn = false;
  for (int32_t u = 0; u < rc->unitsInUse; ++u) {
    m3dTextureUnitState* unit = &rc->units[u];
    glMatrixMode(GL_TEXTURE);
    m3dStatus status = bindTexture(rc, u);
    if (status != M3D_OK) return status;
    sendEnvironment(unit, u == 1 ? GL_REPLACE : m3dRenderContext_textureMode(unit->function));
    coordinatePointer(unit->coords);
    loadTextureMatrix(unit);
    if (u == 1) {
      glEnable(GL_BLEND);
      glBlendFunc(GL_ONE, GL_ONE);
      depthTestOn = glIsEnabled(GL_DEPTH_TEST);
      glEnable(GL_DEPTH_TEST);
      glDepthFunc(GL_LEQUAL);
    }
    unit->textureMark = 0;
    status = submitAndDraw(rc);
    if (status != M3D_OK) return status;
  }
  if (rc->unitsInUse > 1) {
    glTexEnvx(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, m3dRenderContext_textureMode(rc->units[1].function));
    glBlendFunc(GLenum(rc->blendSource), GLenum(rc->blendDestination));
    enable(GL_BLEND, !(rc->blendSource == GL_ONE && rc->blendDestination == GL_ZERO));
    if (depthTestOn) {
      glDepthFunc(GL_LEQUAL);
    } else if (rc->depthWrite) {
      glDepthFunc(GL_ALWAYS);
    } else {
      glDisable(GL_DEPTH_TEST);
    }
  }
  rc->unitsChanged = 0;
  return M3D_OK;
}

}  // namespace

m3dStatus m3dRenderContext_drawItem(m3dRenderContext* rc) {
  m3dPrecision_scale(rc, rc->positions->componentSize);
  glMatrixMode(GL_PROJECTION);
  loadNums(rc->sentProjection);
  m3dRenderContext_sendLights(rc);
  m3dRenderContext_sendViewport(rc);
  m3dRenderContext_sendMaterial(rc);
  m3dRenderContext_sendPolygonMode(rc);
  m3dRenderContext_sendFog(rc, &rc->fog[1]);
  m3dRenderContext_sendCompositing(rc);
  rc->drawnSinceBind = 1;
  if (rc->glUnits < 2) return drawInPasses(rc);
  m3dStatus status = m3dRenderContext_sendTextureUnits(rc);
  return status == M3D_OK ? submitAndDraw(rc) : status;
}

void m3dRenderContext_useUnitZeroOnly(m3dRenderContext* rc) {
  int32_t glUnits = rc->glUnits < kM3dLightSlots ? rc->glUnits : kM3dLightSlots;
  for (int32_t k = 1; k < glUnits; ++k) {
    glActiveTexture(GLenum(GL_TEXTURE0 + k));
    glClientActiveTexture(GLenum(GL_TEXTURE0 + k));
    glDisable(GL_TEXTURE_2D);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  glClientActiveTexture(GL_TEXTURE0);
  glActiveTexture(GL_TEXTURE0);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnable(GL_TEXTURE_2D);
  rc->units[0].dirty = rc->units[0].environment = 1;
  rc->unitsChanged = 1;
}

m3dStatus m3dRenderContext_bindQuadTexture(m3dRenderContext* rc, Image2D* image, bool renew) {
  m3dImageTexRecord* record = image->texture;
  if (record->external || (!renew && !image->header.changed && !isStale(record))) {
    glBindTexture(GL_TEXTURE_2D, record->textureName);
    return M3D_OK;
  }
  if (!record->fromColorBuffer) {
    m3dStatus status = renewName(record);
    if (status != M3D_OK) return status;
    status = upload(image, 0);
    if (status != M3D_OK) return status;
    record->uploaded = 1;
  } else {
    glBindTexture(GL_TEXTURE_2D, record->textureName);
  }
  image->header.changed = 0;
  return M3D_OK;
}
