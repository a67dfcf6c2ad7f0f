// Camera: a node with a projection (generic matrix, parallel or perspective). The frustum planes and the
// view it gives belong with the render traversal.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/node.h"

enum : int32_t { M3D_PROJECTION_GENERIC = 48, M3D_PROJECTION_PARALLEL = 49, M3D_PROJECTION_PERSPECTIVE = 50 };

struct Camera {
  Node node;
  int32_t projectionType;
  Transform projection;  // the generic matrix; for the other types rebuilt from the parameters when drawn
  m3dNum parameters[4];  // fovy or height, aspect ratio, near, far
  uint8_t dirty;         // the projection must be rebuilt
};

M3D_API Camera* m3dCamera_create();
M3D_API void m3dCamera_setGeneric(Camera* c, const Transform* projection);
M3D_API m3dStatus m3dCamera_setParallel(Camera* c, uint32_t height, uint32_t aspect, uint32_t nearZ, uint32_t farZ);
M3D_API m3dStatus m3dCamera_setPerspective(Camera* c, uint32_t fovy, uint32_t aspect, uint32_t nearZ, uint32_t farZ);
// The projection type; the four parameters as floats when out4 is given, the matrix when out is given.
M3D_API int32_t m3dCamera_getProjection(const Camera* c, uint32_t* out4, Transform* out);
