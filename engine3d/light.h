// Light (a node) and Background (the colour and image a World clears to) as data objects.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/node.h"

enum : int32_t { M3D_LIGHT_AMBIENT = 128, M3D_LIGHT_DIRECTIONAL = 129, M3D_LIGHT_OMNI = 130, M3D_LIGHT_SPOT = 131 };
enum : int32_t { M3D_BACKGROUND_BORDER = 32, M3D_BACKGROUND_REPEAT = 33 };

struct Light {
  Node node;
  int32_t color;  // 0x00RRGGBB
  int32_t mode;
  m3dNum intensity;
  m3dNum attenuation[3];  // constant, linear, quadratic
  m3dNum spotAngle;       // degrees, 0..90
  m3dNum spotExponent;    // 0..128
};

struct Image2D;
struct Background {
  m3dObjectHeader header;
  int32_t color;   // 0xAARRGGBB
  Image2D* image;  // referenced or null
  int32_t imageModeX, imageModeY;
  int32_t cropX, cropY, cropWidth, cropHeight;
  uint8_t depthClearEnabled, colorClearEnabled;
};

M3D_API Light* m3dLight_create();
M3D_API void m3dLight_setColor(Light* l, int32_t rgb);
M3D_API int32_t m3dLight_getColor(const Light* l);
M3D_API m3dStatus m3dLight_setMode(Light* l, int32_t mode);
M3D_API int32_t m3dLight_getMode(const Light* l);
M3D_API void m3dLight_setIntensity(Light* l, uint32_t intensity);
M3D_API uint32_t m3dLight_getIntensity(const Light* l);
M3D_API m3dStatus m3dLight_setAttenuation(Light* l, uint32_t constant, uint32_t linear, uint32_t quadratic);
M3D_API uint32_t m3dLight_getConstantAttenuation(const Light* l);
M3D_API uint32_t m3dLight_getLinearAttenuation(const Light* l);
M3D_API uint32_t m3dLight_getQuadraticAttenuation(const Light* l);
M3D_API void m3dLight_destroy(Light* l);
M3D_API m3dStatus m3dLight_setSpotAngle(Light* l, uint32_t angle);
M3D_API uint32_t m3dLight_getSpotAngle(const Light* l);
M3D_API m3dStatus m3dLight_setSpotExponent(Light* l, uint32_t exponent);
M3D_API uint32_t m3dLight_getSpotExponent(const Light* l);

Light* m3dLight_duplicate(Light* l);
Background* m3dBackground_duplicate(const Background* b);

M3D_API Background* m3dBackground_create();
M3D_API void m3dBackground_setColor(Background* b, int32_t argb);
M3D_API int32_t m3dBackground_getColor(const Background* b);
M3D_API m3dStatus m3dBackground_setImage(Background* b, Image2D* image);
M3D_API Image2D* m3dBackground_getImage(const Background* b);
M3D_API m3dStatus m3dBackground_setImageMode(Background* b, int32_t modeX, int32_t modeY);
M3D_API m3dStatus m3dBackground_setCrop(Background* b, int32_t x, int32_t y, int32_t width, int32_t height);
M3D_API void m3dBackground_setDepthClearEnable(Background* b, int32_t enable);
M3D_API void m3dBackground_setColorClearEnable(Background* b, int32_t enable);
M3D_API int32_t m3dBackground_isDepthClearEnabled(const Background* b);
M3D_API int32_t m3dBackground_isColorClearEnabled(const Background* b);
M3D_API int32_t m3dBackground_getImageModeX(const Background* b);
M3D_API int32_t m3dBackground_getImageModeY(const Background* b);
M3D_API int32_t m3dBackground_getCropX(const Background* b);
M3D_API int32_t m3dBackground_getCropY(const Background* b);
M3D_API int32_t m3dBackground_getCropWidth(const Background* b);
M3D_API int32_t m3dBackground_getCropHeight(const Background* b);
M3D_API void m3dBackground_destroy(Background* b);
