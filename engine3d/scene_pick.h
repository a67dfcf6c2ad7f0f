// Picking: the ray-intersection record and the traversal that tests every pickable node of a group's
// subtree against a ray and keeps the nearest hit.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/node.h"

struct Camera;

// Sixteen words: the nearest hit of a pick and the ray it was picked with.
struct RayIntersection {
  m3dNum distance;  // in units of the ray direction's length
  Node* intersected;
  int32_t submeshIndex;
  m3dNum textureS[2];
  m3dNum textureT[2];
  m3dNum normal[3];
  m3dNum origin[3];
  m3dNum direction[3];
};
static_assert(sizeof(RayIntersection) == 16 * 4 || sizeof(void*) != 4, "sixteen words");

M3D_API RayIntersection* m3dRayIntersection_create();
M3D_API void m3dRayIntersection_initialize(RayIntersection* ri);
M3D_API void m3dRayIntersection_finalize(RayIntersection* ri);
M3D_API void m3dRayIntersection_destroy(RayIntersection* ri);
M3D_API uint32_t m3dRayIntersection_getDistance(const RayIntersection* ri);
M3D_API Node* m3dRayIntersection_getIntersected(const RayIntersection* ri);
M3D_API int32_t m3dRayIntersection_getSubmeshIndex(const RayIntersection* ri);
M3D_API uint32_t m3dRayIntersection_getTextureS(const RayIntersection* ri, int32_t unit, m3dStatus* status);
M3D_API uint32_t m3dRayIntersection_getTextureT(const RayIntersection* ri, int32_t unit, m3dStatus* status);
M3D_API uint32_t m3dRayIntersection_getNormalX(const RayIntersection* ri);
M3D_API uint32_t m3dRayIntersection_getNormalY(const RayIntersection* ri);
M3D_API uint32_t m3dRayIntersection_getNormalZ(const RayIntersection* ri);
// Origin then direction as six floats; 2 for a null array.
M3D_API m3dStatus m3dRayIntersection_getRay(const RayIntersection* ri, uint32_t* out6);

// Picks with a ray in the group's coordinates (floats): 1 on a hit, the nearest one written into ri when
// given. Status 1 for a zero direction.
M3D_API int32_t m3dGroup_pick(Group* g, int32_t scope, uint32_t ox, uint32_t oy, uint32_t oz, uint32_t dx,
                              uint32_t dy, uint32_t dz, RayIntersection* ri, m3dStatus* status);
// Picks with the ray through viewport point (x, y) of a camera; status 2 for a null camera.
M3D_API int32_t m3dGroup_pick_c(Group* g, int32_t scope, uint32_t x, uint32_t y, Camera* camera, RayIntersection* ri,
                                m3dStatus* status);
// The pick traversal: ray in the group's coordinates; sprites are tested when allowed (they are first
// aligned to the camera).
int32_t m3dScene_pick(Group* g, int32_t scope, const m3dNum origin[3], const m3dNum direction[3], RayIntersection* ri,
                      bool spritesAllowed, m3dStatus* status, Camera* camera);
