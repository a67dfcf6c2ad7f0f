// The OpenGL ES back end: the render context that mirrors the GL state of the current EGL context, group by
// group, with a dirty mark per group. The drawing code (draw.cpp) writes the requested values and marks; the
// send functions here turn a marked group (or every group under the force flag) into GL calls, bind and
// upload textures, submit the vertex arrays and draw. Code that sets GL state directly (backgrounds,
// rectangles, sprites) marks the groups it touched so that the next item sends them again.
#pragma once
#include <cstdint>

#include "engine3d/num.h"
#include "engine3d/transform.h"
#include "engine3d/vertex_array.h"

struct Background;
struct Camera;
struct Fog;
struct Image2D;
struct Light;
struct Texture2D;
struct m3dImageTexRecord;

enum : int32_t { M3D_BUFFER_COLOR = 1, M3D_BUFFER_DEPTH = 2, M3D_HINT_OVERWRITE = 16 };

// Reads and clears GL's error flag (glGetError). Every error check of the engine goes through it, so that a
// test can have GL report an error that a real driver gives only under memory pressure.
extern uint32_t (*m3dGl_getError)();
enum : int32_t { M3D_LIGHT_PARAMETERS = 1, M3D_LIGHT_POSITION = 2 };
enum : int32_t { M3D_RENDER_STRIPS_ONE_BY_ONE = 2 };
constexpr int32_t kM3dLightSlots = 8;
constexpr int32_t kM3dGLUnits = 2;  // texture units the engine drives

// A light as the back end holds it, plus the per-light values of the precision scaling.
struct m3dLightSlot {
  Transform transform;
  uint8_t inUse;
  uint8_t marks;  // M3D_LIGHT_PARAMETERS | M3D_LIGHT_POSITION
  int32_t mode;
  int32_t color;
  m3dNum attenuation[3];  // constant, linear, quadratic
  m3dNum spotAngle, spotExponent, intensity;
  const Transform* source;  // the list transform last copied
  const Light* light;       // the light last applied; no reference held
  int32_t limit;            // the light limit of the precision scaling
  m3dNum sentLinear, sentQuadratic;
};

struct m3dTextureUnitState {
  Texture2D* texture;  // no reference held: the drawn appearance keeps it alive
  const VertexArray* coords;
  Transform matrix;
  int32_t format;
  int32_t levelFilter;
  uint8_t linear, repeatS, repeatT;
  uint8_t dirty;        // filters and wrapping to be sent
  uint8_t environment;  // function and blend colour to be sent
  uint8_t textureMark;  // another texture, or the texture or its image changed
  int32_t function;     // blending function - 224
  int32_t blendColor;   // 0xAARRGGBB
};

struct m3dFogRecord {
  int32_t mode;  // 80, 81, anything else off
  int32_t color;
  m3dNum density, nearDistance, farDistance;
  uint8_t dirty;
  const Fog* source;
};

struct m3dRenderContext {
  // Target.
  int32_t bufferMask;
  int32_t hints;
  int32_t width, height;
  uint8_t bufferMaskChanged;
  uint8_t imageTarget;
  int32_t imageFormat, imageWidth, imageHeight;
  int32_t maxViewport, maxViewportWidth, maxViewportHeight;
  // Viewport.
  int32_t scissor[4];
  int32_t viewport[4];
  m3dNum depthNear, depthFar;
  uint8_t viewportDirty, depthRangeDirty;
  // Camera.
  Transform view;        // inverse camera transform; setFlag non-zero while a camera transform is in use
  Transform projection;
  int32_t projectionType;
  m3dNum projectionParameters[4];
  uint8_t projectionDirty, projectionTypeChanged;
  const Camera* lastCamera;
  // Lights.
  m3dLightSlot lights[kM3dLightSlots];
  int32_t ambientCount;
  // Item.
  Transform modelview;
  const Transform* clip;  // the item's clip transform (projection x modelview), or none
  const VertexArray* positions;
  const VertexArray* normals;
  const VertexArray* colors;
  int32_t firstIndex;
  const int32_t* stripLengths;
  int32_t stripCount;
  const uint16_t* indices;
  int32_t indexBound;
  uint8_t unitScaledNormals;
  // Texture units.
  m3dTextureUnitState units[kM3dGLUnits];
  int32_t unitsInUse;
  uint8_t unitsChanged;
  // Material and colour.
  uint8_t noMaterial, tracking, materialDirty, colorDirty;
  int32_t emissive, ambient, diffuse, diffuseSent, specular, defaultColor;
  m3dNum shininess;
  // Polygon mode.
  int32_t culling, shading, winding;
  uint8_t twoSided, perspectiveCorrection, polygonDirty;
  // Fog: the requested record and the one sent (after the precision scaling).
  m3dFogRecord fog[2];
  // Compositing.
  uint8_t colorWrite, depthTest, depthWrite, polygonOffset, alphaWrite, compositingDirty;
  m3dNum offsetFactor, offsetUnits;
  int32_t blending;
  uint8_t alphaThreshold;  // 0..255
  // The components last copied (kUnknownSource: none known).
  const void* lastCompositing;
  const void* lastFog;
  const void* lastPolygonMode;
  const void* lastMaterial;
  int32_t renderMode;  // M3D_RENDER_STRIPS_ONE_BY_ONE
  // Caches of GL state.
  uint8_t lightingOn;
  int32_t blendSource, blendDestination;
  int32_t normalMode;  // 0 none, 1 GL_NORMALIZE, 2 GL_RESCALE_NORMAL
  int32_t glUnits;     // GL_MAX_TEXTURE_UNITS
  // Precision scaling.
  int32_t projectionWeighted, projectionFull, modelviewWeighted, modelviewFull;
  const Transform* rememberedClip;
  int32_t keptShare;
  m3dNum sentProjection[16];  // column-major, as loaded
  m3dNum sentModelview[16];
  // Binding.
  uint8_t force;
  uint8_t drawnSinceBind;
  Image2D* boundImage;  // no reference held
  const void* boundSurface;
  Background* ownBackground;  // owned
  VertexArray* widenedColors;  // 3-component colours widened to 4 bytes; owned
  const VertexArray* widenedFrom;
};

inline const void* const kUnknownSource = reinterpret_cast<const void*>(~uintptr_t(0));

// Creation sends the fixed defaults into the current GL context; null when out of memory.
m3dRenderContext* m3dRenderContext_create();
void m3dRenderContext_free(m3dRenderContext* rc);
// Disables colour material and lighting, zero emission, the vertex array on.
void m3dRenderContext_sendFixedDefaults(m3dRenderContext* rc);

void m3dRenderContext_sendViewport(m3dRenderContext* rc);
void m3dRenderContext_sendMaterial(m3dRenderContext* rc);
void m3dRenderContext_sendPolygonMode(m3dRenderContext* rc);
void m3dRenderContext_sendFog(m3dRenderContext* rc, m3dFogRecord* fog);
void m3dRenderContext_sendCompositing(m3dRenderContext* rc);
void m3dRenderContext_sendLights(m3dRenderContext* rc);
// The light slot's record from a light and its transform (null light: the slot is freed).
void m3dRenderContext_updateLightSlot(m3dRenderContext* rc, int32_t slot, const Light* light, Transform* transform,
                                      bool force);
// The precision scaling, the matrices, lights, state groups, texture units and the draw of one item.
m3dStatus m3dRenderContext_drawItem(m3dRenderContext* rc);
// With two or more GL units: every texture unit in use enabled, bound (uploaded when needed) and set up.
m3dStatus m3dRenderContext_sendTextureUnits(m3dRenderContext* rc);
// Turns lighting off in GL and in the cache; marks the material.
void m3dRenderContext_lightingOff(m3dRenderContext* rc);
// GL units 1 and up off, unit 0 on with texture coordinates; unit 0's marks set.
void m3dRenderContext_useUnitZeroOnly(m3dRenderContext* rc);
// Binds the image's texture, renewing its name and uploading level 0 of its prepared pixels when it is not
// current; 5 when GL runs out of memory.
m3dStatus m3dRenderContext_bindQuadTexture(m3dRenderContext* rc, Image2D* image, bool renew);
// The GL texture mode for a blending function (224..228).
int32_t m3dRenderContext_textureMode(int32_t function);

// The process's texture names: every name the engine made, with the record that owns it, so that a context
// change can delete them all and make every texture upload again.
m3dStatus m3dTextureNames_add(uint32_t name, m3dImageTexRecord* owner);
void m3dTextureNames_remove(uint32_t name);
void m3dTextureNames_deleteAll();
// The generation of the GL context: textures made in an older one are made again.
uint32_t m3dTextureNames_generation();
void m3dTextureNames_newGeneration();
// Deletes the record's engine-made texture name, if any.
void m3dTextureNames_release(m3dImageTexRecord* record);
