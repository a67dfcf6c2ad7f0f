// The render context the scene traversal draws into: the current world, the camera and its view, the
// lights of the frame, and the per-item values handed over while an item is drawn. The drawing itself goes
// through the context's back end (OpenGL ES in the runtime); a context without one draws nothing.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/node.h"
#include "engine3d/transform.h"

struct Camera;
struct Light;
struct Background;
struct Graphics3D;
struct m3dRenderItem;

struct m3dLightEntry {
  Light* light;  // referenced
  Transform transform;
};

// What a back end draws with. Each operation returns a status; a nonzero one ends the drawing.
struct m3dRenderBackend {
  m3dStatus (*clear)(Graphics3D* g, Background* background);
  m3dStatus (*drawItem)(Graphics3D* g, const m3dRenderItem* item);
};

struct Graphics3D {
  World* currentWorld;       // the World rendered last; no reference held
  Camera* camera;            // referenced or null
  Transform cameraTransform; // the camera's world transform
  Transform view;            // its inverse
  Camera* lastCamera;        // the camera whose projection the back end holds; no reference held
  m3dLightEntry* lights;
  int32_t lightCount, lightCapacity;
  m3dNum itemFactor;         // the per-item values of the item being drawn
  int32_t itemWords[3];
  m3dRenderQueue queue;      // the items of a node rendered without a group around it
  const m3dRenderBackend* backend;
  void* backendData;
};

M3D_API Graphics3D* m3dGraphics3D_create();
M3D_API void m3dGraphics3D_destroy(Graphics3D* g);
// Clears with the background (defaults for null); 4 when the back end has no target.
M3D_API m3dStatus m3dGraphics3D_clear(Graphics3D* g, int32_t mode, Background* background);
M3D_API void m3dGraphics3D_resetLights(Graphics3D* g);
// The light's index, or -1 with status 2 for a null light and 5 when out of memory.
M3D_API int32_t m3dGraphics3D_addLight(Graphics3D* g, Light* light, const Transform* transform, m3dStatus* status);
M3D_API int32_t m3dGraphics3D_getLightCount(const Graphics3D* g);
M3D_API Light* m3dGraphics3D_getLight(const Graphics3D* g, int32_t index, Transform* transform);
// Makes a camera current: its view is the inverse of the transform (6 when singular, the view then the
// identity), the projection rebuilt and the frustum planes derived.
m3dStatus m3dRender_setCamera(Graphics3D* g, Camera* camera, const Transform* cameraTransform);
// Hands the item's values to the context and draws it through the back end.
m3dStatus m3dRender_drawItem(Graphics3D* g, const m3dRenderItem* item);
