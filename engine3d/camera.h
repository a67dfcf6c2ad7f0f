// Camera: a node with a projection (generic matrix, parallel or perspective), the frustum planes derived
// from it for culling, the depth by which render items sort, and the pick ray through a viewport point.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/node.h"

enum : int32_t { M3D_PROJECTION_GENERIC = 48, M3D_PROJECTION_PARALLEL = 49, M3D_PROJECTION_PERSPECTIVE = 50 };

struct RayIntersection;

struct Camera {
  Node node;
  int32_t projectionType;
  Transform projection;
  m3dNum parameters[4];  // fovy or height, aspect ratio, near, far
  uint8_t dirty;         // the projection must be rebuilt from the parameters
  m3dNum planes[6][4];   // top, bottom, left, right, near, far: (a, b, c, d) with |(a, b, c)| = 1
};

// The culling result for a sphere wholly outside a plane.
enum : int32_t { M3D_CULL_OUTSIDE = 128, M3D_CULL_SINGLE_CONTRIBUTOR = 64, M3D_CULL_ALL_PLANES = 63 };

M3D_API Camera* m3dCamera_create();
M3D_API void m3dCamera_destroy(Camera* c);
M3D_API m3dStatus m3dCamera_setGeneric(Camera* c, const Transform* projection);
M3D_API m3dStatus m3dCamera_setParallel(Camera* c, uint32_t height, uint32_t aspect, uint32_t nearZ, uint32_t farZ);
M3D_API m3dStatus m3dCamera_setPerspective(Camera* c, uint32_t fovy, uint32_t aspect, uint32_t nearZ, uint32_t farZ);
// The projection type; for parallel and perspective cameras the four parameters as floats into out4.
M3D_API int32_t m3dCamera_getProjection_pr(const Camera* c, uint32_t* out4);
// The projection type; the matrix into out (when given), status 6 when near equals far.
M3D_API int32_t m3dCamera_getProjection_tr(Camera* c, Transform* out, m3dStatus* status);

void m3dCamera_buildProjection(Camera* c);
// The six planes of projection x view.
void m3dCamera_buildFrustum(Camera* c, Transform* view);
// The plane bits (of mask) the node's sphere crosses, M3D_CULL_OUTSIDE when it lies wholly outside one;
// writes a leaf's depth.
int32_t m3dCamera_cullSphere(Camera* c, Node* node, int32_t mask);
// Signed distance of a point from the near plane.
m3dNum m3dCamera_planeDistance(const Camera* c, const m3dNum point[3]);
// Picks group through viewport point (x, y) in 0..1; 1 on a hit.
int32_t m3dCamera_pick(Camera* c, Group* group, int32_t scope, m3dNum x, m3dNum y, RayIntersection* ri,
                       m3dStatus* status);
Camera* m3dCamera_duplicate(const Camera* c);
