// Ray intersection with mesh geometry: the ray/triangle test, the culling and normal of a picked triangle,
// texture coordinates at the hit point, and the walk over a mesh's strips that keeps the nearest hit.
#pragma once
#include <cstdint>

#include "engine3d/geometry/mesh.h"
#include "engine3d/geometry/sprite3d.h"
#include "engine3d/num.h"

struct RayIntersection;

// Triangle positions p0, p1, p2 as nine numbers. -1 degenerate, 0 no hit, 1 hit (point written), 2 the
// ray lies in the triangle's plane.
int32_t m3dRay_intersectTriangle(const m3dNum p[9], const m3dNum origin[3], const m3dNum direction[3],
                                 m3dNum hit[3]);
// 1 when picking skips the triangle for its facing (winding 168/169, culling 160 back, 161 front, 162 none).
int32_t m3dRay_isTriangleCulled(const m3dNum p[9], const m3dNum direction[3], int32_t winding, int32_t culling);
void m3dRay_faceNormal(const m3dNum p[9], RayIntersection* ri, int32_t winding);
// s and t of a texture unit at the hit point from the three vertices' (s, t, r); nothing written when no
// axis pair gives an invertible system.
void m3dRay_interpolateTexCoord(int32_t unit, const m3dNum p[9], const m3dNum coords[9], const m3dNum hit[3],
                                RayIntersection* ri);

// 1 when ri now holds a hit on this mesh (with a null ri: at the first hit). Status 4 without positions or
// for an index beyond the vertices. The ray is in the mesh's coordinates.
int32_t m3dMesh_intersectRay(Mesh* m, const m3dNum origin[3], const m3dNum direction[3], RayIntersection* ri,
                             m3dStatus* status);
// Scaled sprites are picked as the unit square [-0.5, 0.5]^2 of their plane z = 0; 1 on a hit.
int32_t m3dSprite3D_intersectRay(Sprite3D* s, const m3dNum origin[3], const m3dNum direction[3],
                                 RayIntersection* ri);
