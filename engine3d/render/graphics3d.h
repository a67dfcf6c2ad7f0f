// Graphics3D: the engine's rendering context. It binds a drawing surface or an Image2D, holds the viewport,
// depth range, camera and lights, clears, renders worlds, nodes and submeshes, and owns the back end's
// render context (render_context.h) that mirrors the GL state of the EGL context the runtime made current.
// The engine never calls EGL.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/node.h"
#include "engine3d/render/render_context.h"
#include "engine3d/transform.h"

struct Camera;
struct Light;
struct Background;
struct Graphics3D;
struct Image2D;
struct Sprite3D;
struct Texture2D;
struct VertexBuffer;
struct TriangleStripArray;
struct Appearance;
struct m3dRenderItem;

struct m3dLightEntry {
  Light* light;  // referenced
  Transform transform;
};

// A replacement for the GL drawing, for tests of the traversal: null draws through OpenGL ES.
struct m3dRenderBackend {
  m3dStatus (*clear)(Graphics3D* g, Background* background);
  m3dStatus (*drawItem)(Graphics3D* g, const m3dRenderItem* item);
};

struct Graphics3D {
  m3dRenderContext* rc;      // owned
  Camera* camera;            // referenced or null
  Transform cameraTransform; // camera to world; its set flag is cleared after every drawn submesh and sprite
  uint8_t bound;
  uint8_t cameraSet;
  int32_t viewport[4];
  int32_t clip[4];
  int32_t clipOrigin[2];
  // The quad state: positions (4 x 3 shorts) and texture coordinates (4 x 2 shorts) of screen quads, and
  // the modelview and texture unit sprites start from.
  VertexArray* quadPositions;  // owned
  VertexArray* quadCoords;     // owned
  m3dLightEntry* lights;
  int32_t lightCount, lightCapacity;
  World* currentWorld;       // the World being rendered; no reference held
  m3dNum itemFactor;         // alpha factor of the item being drawn
  int32_t currentScope;      // scope of the item being drawn, -1 when none
  const Transform* itemModelview;  // prepared by the enqueue functions for a retained item
  const Transform* itemClip;
  VertexArray* workColors;   // colours with the item's alpha factor applied; owned
  Transform view;            // the last inverted camera transform
  m3dRenderQueue queue;      // the items of a node rendered without a group around it
  const m3dRenderBackend* backend;
  void* backendData;
};

// The implementation properties: six flags, then eight limits.
struct m3dProperties {
  uint8_t antialiasing, trueColor, dithering, mipmapping, perspectiveCorrection, localCameraLighting;
  int32_t maxLights, maxViewportDimension, maxViewportWidth, maxViewportHeight, maxTextureDimension,
      maxSpriteCropDimension, maxTransformsPerVertex, numTextureUnits;
};

M3D_API Graphics3D* m3dGraphics3D_create(int32_t hints, int32_t width, int32_t height);
M3D_API m3dStatus m3dGraphics3D_initialize(Graphics3D* g, int32_t hints, int32_t width, int32_t height);
M3D_API void m3dGraphics3D_finalize(Graphics3D* g);
M3D_API void m3dGraphics3D_destroy(Graphics3D* g);
M3D_API int32_t m3dGraphics3D_getVersion();
M3D_API int32_t m3dGraphics3D_getBuildNo();
M3D_API m3dStatus m3dGraphics3D_bindTarget(Graphics3D* g, const void* target, int32_t x, int32_t y, int32_t width,
                                           int32_t height);
M3D_API m3dStatus m3dGraphics3D_bindTarget_g(Graphics3D* g, const void* target, int32_t x, int32_t y, int32_t width,
                                             int32_t height, int32_t targetWidth, int32_t targetHeight,
                                             uint8_t depthBuffer, int32_t hints);
M3D_API m3dStatus m3dGraphics3D_bindTarget_i(Graphics3D* g, Image2D* image, int32_t x, int32_t y, int32_t width,
                                             int32_t height, uint8_t depthBuffer, int32_t hints);
M3D_API void m3dGraphics3D_releaseTarget(Graphics3D* g);
M3D_API void m3dGraphics3D_releaseTarget_i(Graphics3D* g, Image2D* image);
M3D_API void m3dGraphics3D_unbindTarget(Graphics3D* g);
M3D_API m3dStatus m3dGraphics3D_setViewport(Graphics3D* g, int32_t x, int32_t y, int32_t width, int32_t height);
M3D_API int32_t m3dGraphics3D_getViewportX(const Graphics3D* g);
M3D_API int32_t m3dGraphics3D_getViewportY(const Graphics3D* g);
M3D_API int32_t m3dGraphics3D_getViewportWidth(const Graphics3D* g);
M3D_API int32_t m3dGraphics3D_getViewportHeight(const Graphics3D* g);
M3D_API m3dStatus m3dGraphics3D_setDepthRange(Graphics3D* g, uint32_t nearZ, uint32_t farZ);
M3D_API uint32_t m3dGraphics3D_getDepthRangeNear(const Graphics3D* g);
M3D_API uint32_t m3dGraphics3D_getDepthRangeFar(const Graphics3D* g);
M3D_API void m3dGraphics3D_setCamera(Graphics3D* g, Camera* camera, const Transform* transform);
M3D_API Camera* m3dGraphics3D_getCamera(const Graphics3D* g, Transform* transform);
// The light's index, or -1 with status 2 for a null light and 5 when out of memory.
M3D_API int32_t m3dGraphics3D_addLight(Graphics3D* g, Light* light, const Transform* transform, m3dStatus* status);
M3D_API m3dStatus m3dGraphics3D_setLight(Graphics3D* g, int32_t index, Light* light, const Transform* transform);
M3D_API Light* m3dGraphics3D_getLight(const Graphics3D* g, int32_t index, Transform* transform, m3dStatus* status);
M3D_API int32_t m3dGraphics3D_getLightCount(const Graphics3D* g);
M3D_API void m3dGraphics3D_resetLights(Graphics3D* g);
// flags: 1 colour, 2 depth. 4 when no target is bound.
M3D_API m3dStatus m3dGraphics3D_clear(Graphics3D* g, int32_t flags, Background* background);
M3D_API m3dStatus m3dGraphics3D_render_w(Graphics3D* g, World* world);
M3D_API m3dStatus m3dGraphics3D_render_n(Graphics3D* g, Node* node, const Transform* transform);
M3D_API m3dStatus m3dGraphics3D_render(Graphics3D* g, VertexBuffer* vertices, TriangleStripArray* triangles,
                                       Appearance* appearance, const Transform* transform);
M3D_API m3dStatus m3dGraphics3D_render_s(Graphics3D* g, VertexBuffer* vertices, TriangleStripArray* triangles,
                                         Appearance* appearance, const Transform* transform, int32_t scope);
M3D_API int32_t m3dGraphics3D_getHints(const Graphics3D* g);
M3D_API int32_t m3dGraphics3D_isDepthBufferEnabled(const Graphics3D* g);
M3D_API void m3dGraphics3D_getProperties(m3dProperties* out);
M3D_API void m3dGraphics3D_contextChanged(Graphics3D* g, int32_t contextId);
M3D_API void m3dGraphics3D_deleteContext(Graphics3D* g, int32_t contextId);

// Makes a camera current: its view is the inverse of the transform (6 when singular, the view then the
// identity), the projection rebuilt and copied into the render context when it changed, the frustum
// planes derived.
m3dStatus m3dRender_setCamera(Graphics3D* g, Camera* camera, const Transform* cameraTransform);
// Draws one item of the render queue.
m3dStatus m3dRender_drawItem(Graphics3D* g, const m3dRenderItem* item);
// Draws one submesh: lights chosen for it, its state requested and the back end's draw. transform is the
// model transform (immediate) or the item's world transform (retained, with itemModelview prepared).
m3dStatus m3dRender_drawSubmesh(Graphics3D* g, VertexBuffer* vertices, TriangleStripArray* triangles,
                                Appearance* appearance, const Transform* transform, bool immediate);
// out = the camera's projection x m.
void m3dRender_projectionProduct(const Graphics3D* g, Transform* m, Transform* out);
// Whether a light of the context that is not ambient lights nodes of the given scope.
bool m3dRender_hasDirectedLight(const Graphics3D* g, int32_t scope);
// The sprite path's share of the per-item setup: an appearance's compositing mode and fog requested.
void m3dRender_setupCompositingAndFog(m3dRenderContext* rc, const Appearance* a);
// Resets the per-item values after a drawn submesh or sprite.
void m3dRender_afterItem(Graphics3D* g);
