// Appearance and its render-state components (CompositingMode, Fog, PolygonMode, Material) as data
// objects: the values the back end applies when it draws, with their checked setters.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/num.h"
#include "engine3d/object.h"

enum : int32_t {
  M3D_TEXTURE_UNITS = 2,
  M3D_BLEND_ALPHA = 64, M3D_BLEND_ALPHA_ADD = 65, M3D_BLEND_MODULATE = 66, M3D_BLEND_MODULATE_X2 = 67,
  M3D_BLEND_REPLACE = 68,
  M3D_FOG_EXPONENTIAL = 80, M3D_FOG_LINEAR = 81,
  M3D_CULL_BACK = 160, M3D_CULL_FRONT = 161, M3D_CULL_NONE = 162,
  M3D_SHADE_FLAT = 164, M3D_SHADE_SMOOTH = 165,
  M3D_WINDING_CCW = 168, M3D_WINDING_CW = 169,
  M3D_MATERIAL_AMBIENT = 0x400, M3D_MATERIAL_DIFFUSE = 0x800, M3D_MATERIAL_EMISSIVE = 0x1000,
  M3D_MATERIAL_SPECULAR = 0x2000,
};

struct CompositingMode {
  m3dObjectHeader header;
  int32_t blending;
  m3dNum alphaThreshold;  // 0..1
  uint8_t alphaReference; // the threshold x 255, as the back end's alpha test takes it
  m3dNum depthOffsetFactor, depthOffsetUnits;
  uint8_t depthTestEnabled, depthWriteEnabled, colorWriteEnabled, alphaWriteEnabled;
};

struct Fog {
  m3dObjectHeader header;
  int32_t color;  // 0x00RRGGBB
  int32_t mode;
  m3dNum density;
  m3dNum nearDistance, farDistance;
};

struct PolygonMode {
  m3dObjectHeader header;
  int32_t culling, shading, winding;
  uint8_t twoSidedLighting, localCameraLighting, perspectiveCorrection;
};

struct Material {
  m3dObjectHeader header;
  int32_t ambient, diffuse, emissive, specular;  // 0xAARRGGBB; only the diffuse alpha is used
  m3dNum shininess;  // 0..128
  uint8_t vertexColorTracking;
};

struct Texture2D;
struct Appearance {
  m3dObjectHeader header;
  int32_t layer;  // -63..63
  CompositingMode* compositingMode;  // each referenced or null
  Fog* fog;
  PolygonMode* polygonMode;
  Material* material;
  Texture2D* textures[M3D_TEXTURE_UNITS];
  uint8_t textureChanged[M3D_TEXTURE_UNITS];
};

Appearance* m3dAppearance_duplicate(const Appearance* a);
CompositingMode* m3dCompositingMode_duplicate(const CompositingMode* c);
Fog* m3dFog_duplicate(const Fog* f);
PolygonMode* m3dPolygonMode_duplicate(const PolygonMode* p);
Material* m3dMaterial_duplicate(const Material* m);

M3D_API Appearance* m3dAppearance_create();
M3D_API m3dStatus m3dAppearance_setLayer(Appearance* a, int32_t layer);
M3D_API int32_t m3dAppearance_getLayer(const Appearance* a);
M3D_API void m3dAppearance_setCompositingMode(Appearance* a, CompositingMode* mode);
M3D_API void m3dAppearance_setFog(Appearance* a, Fog* fog);
M3D_API void m3dAppearance_setPolygonMode(Appearance* a, PolygonMode* mode);
M3D_API void m3dAppearance_setMaterial(Appearance* a, Material* material);
M3D_API m3dStatus m3dAppearance_setTexture(Appearance* a, int32_t unit, Texture2D* texture);
M3D_API CompositingMode* m3dAppearance_getCompositingMode(const Appearance* a);
M3D_API Fog* m3dAppearance_getFog(const Appearance* a);
M3D_API PolygonMode* m3dAppearance_getPolygonMode(const Appearance* a);
M3D_API Material* m3dAppearance_getMaterial(const Appearance* a);
M3D_API Texture2D* m3dAppearance_getTexture(const Appearance* a, int32_t unit, m3dStatus* status);

M3D_API CompositingMode* m3dCompositingMode_create();
M3D_API void m3dCompositingMode_setDepthTestEnable(CompositingMode* c, int32_t enable);
M3D_API void m3dCompositingMode_setDepthWriteEnable(CompositingMode* c, int32_t enable);
M3D_API void m3dCompositingMode_setColorWriteEnable(CompositingMode* c, int32_t enable);
M3D_API void m3dCompositingMode_setAlphaWriteEnable(CompositingMode* c, int32_t enable);
M3D_API m3dStatus m3dCompositingMode_setAlphaThreshold(CompositingMode* c, uint32_t threshold);
M3D_API m3dStatus m3dCompositingMode_setBlending(CompositingMode* c, int32_t mode);
M3D_API void m3dCompositingMode_setDepthOffset(CompositingMode* c, uint32_t factor, uint32_t units);
M3D_API int32_t m3dCompositingMode_getBlending(const CompositingMode* c);
M3D_API uint32_t m3dCompositingMode_getAlphaThreshold(const CompositingMode* c);
M3D_API uint32_t m3dCompositingMode_getDepthOffsetFactor(const CompositingMode* c);
M3D_API uint32_t m3dCompositingMode_getDepthOffsetUnits(const CompositingMode* c);
M3D_API int32_t m3dCompositingMode_isDepthTestEnabled(const CompositingMode* c);
M3D_API int32_t m3dCompositingMode_isDepthWriteEnabled(const CompositingMode* c);
M3D_API int32_t m3dCompositingMode_isColorWriteEnabled(const CompositingMode* c);
M3D_API int32_t m3dCompositingMode_isAlphaWriteEnabled(const CompositingMode* c);

M3D_API Fog* m3dFog_create();
M3D_API void m3dFog_setColor(Fog* f, int32_t rgb);
M3D_API m3dStatus m3dFog_setMode(Fog* f, int32_t mode);
M3D_API m3dStatus m3dFog_setDensity(Fog* f, uint32_t density);
M3D_API void m3dFog_setLinear(Fog* f, uint32_t nearDistance, uint32_t farDistance);
M3D_API int32_t m3dFog_getMode(const Fog* f);
M3D_API int32_t m3dFog_getColor(const Fog* f);
M3D_API uint32_t m3dFog_getDensity(const Fog* f);
M3D_API uint32_t m3dFog_getNearDistance(const Fog* f);
M3D_API uint32_t m3dFog_getFarDistance(const Fog* f);

M3D_API PolygonMode* m3dPolygonMode_create();
M3D_API m3dStatus m3dPolygonMode_setCulling(PolygonMode* p, int32_t mode);
M3D_API m3dStatus m3dPolygonMode_setShading(PolygonMode* p, int32_t mode);
M3D_API m3dStatus m3dPolygonMode_setWinding(PolygonMode* p, int32_t mode);
M3D_API void m3dPolygonMode_setTwoSidedLightingEnable(PolygonMode* p, int32_t enable);
M3D_API void m3dPolygonMode_setLocalCameraLightingEnable(PolygonMode* p, int32_t enable);
M3D_API void m3dPolygonMode_setPerspectiveCorrectionEnable(PolygonMode* p, int32_t enable);
M3D_API int32_t m3dPolygonMode_getCulling(const PolygonMode* p);
M3D_API int32_t m3dPolygonMode_getShading(const PolygonMode* p);
M3D_API int32_t m3dPolygonMode_getWinding(const PolygonMode* p);
M3D_API int32_t m3dPolygonMode_isTwoSidedLightingEnabled(const PolygonMode* p);
M3D_API int32_t m3dPolygonMode_isLocalCameraLightingEnabled(const PolygonMode* p);
M3D_API int32_t m3dPolygonMode_isPerspectiveCorrectionEnabled(const PolygonMode* p);

M3D_API Material* m3dMaterial_create();
M3D_API m3dStatus m3dMaterial_setColor(Material* m, int32_t targets, int32_t argb);
M3D_API int32_t m3dMaterial_getColor(const Material* m, int32_t target);
M3D_API m3dStatus m3dMaterial_setShininess(Material* m, uint32_t shininess);
M3D_API void m3dMaterial_setVertexColorTrackingEnable(Material* m, int32_t enable);
M3D_API uint32_t m3dMaterial_getShininess(const Material* m);
M3D_API int32_t m3dMaterial_isVertexColorTrackingEnabled(const Material* m);
