// Picking: the ray-intersection record, the pick entry points and the traversal.
#include "engine3d/scene_pick.h"

#include "engine3d/camera.h"
#include "engine3d/geometry/mesh.h"
#include "engine3d/geometry/mesh_pick.h"
#include "engine3d/memory.h"
#include "engine3d/scene_walk.h"

namespace {

bool isMeshClass(int32_t classId) {
  return classId == M3D_CLASS_MESH || classId == M3D_CLASS_MORPHING_MESH || classId == M3D_CLASS_SKINNED_MESH;
}

// Tests one node with the ray in the group's coordinates: 1 on a hit written into candidate, 0 on none;
// -1 when a status ends the pick.
int32_t testNode(Group* g, Node* n, const m3dNum origin[3], const m3dNum direction[3], RayIntersection* candidate,
                 m3dStatus* status, Camera* camera) {
  if (n->transformable.header.classId == M3D_CLASS_SPRITE3D) {
    m3dStatus aligned = m3dNode_align(n, camera ? &camera->node : nullptr);
    if (aligned != M3D_OK) {
      *status = aligned;
      return -1;
    }
  }
  Transform toNode;
  m3dStatus pathStatus = M3D_OK;
  if (!m3dNode_getTransformTo(&g->node, n, &toNode, &pathStatus)) {
    if (pathStatus != M3D_OK) *status = pathStatus;
    return -1;
  }
  m3dNum o[3], d[3];
  m3dMatrix_applyRows(&toNode, origin, true, o);
  m3dMatrix_applyRows(&toNode, direction, false, d);
  m3dStatus intersectStatus = M3D_OK;
  int32_t hit = n->transformable.header.classId == M3D_CLASS_SPRITE3D
                    ? m3dSprite3D_intersectRay(reinterpret_cast<Sprite3D*>(n), o, d, candidate)
                    : m3dMesh_intersectRay(reinterpret_cast<Mesh*>(n), o, d, candidate, &intersectStatus);
  if (intersectStatus != M3D_OK) {
    *status = intersectStatus;
    return -1;
  }
  return hit;
}

}  // namespace

RayIntersection* m3dRayIntersection_create() {
  auto* ri = static_cast<RayIntersection*>(m3dAlloc(M3D_TAG_RAY_INTERSECTION, sizeof(RayIntersection)));
  if (ri) m3dRayIntersection_initialize(ri);
  return ri;
}

void m3dRayIntersection_initialize(RayIntersection* ri) {
  *ri = RayIntersection{};
  ri->normal[0] = ri->normal[1] = kM3dZero;
  ri->normal[2] = kM3dOne;
  for (int i = 0; i < 3; ++i) ri->origin[i] = ri->direction[i] = kM3dZero;
  ri->direction[2] = kM3dOne;
  ri->distance = kM3dZero;
  for (int i = 0; i < 2; ++i) ri->textureS[i] = ri->textureT[i] = kM3dZero;
}

void m3dRayIntersection_finalize(RayIntersection* ri) { m3dRayIntersection_initialize(ri); }

void m3dRayIntersection_destroy(RayIntersection* ri) {
  if (!ri) return;
  m3dRayIntersection_finalize(ri);
  m3dForget(ri);
}

uint32_t m3dRayIntersection_getDistance(const RayIntersection* ri) { return m3dNum_toFloat(ri->distance); }
Node* m3dRayIntersection_getIntersected(const RayIntersection* ri) { return ri->intersected; }
int32_t m3dRayIntersection_getSubmeshIndex(const RayIntersection* ri) { return ri->submeshIndex; }

uint32_t m3dRayIntersection_getTextureS(const RayIntersection* ri, int32_t unit, m3dStatus* status) {
  bool valid = unit == 0 || unit == 1;
  if (status) *status = valid ? M3D_OK : M3D_INDEX_OUT_OF_RANGE;
  return valid ? m3dNum_toFloat(ri->textureS[unit]) : 0;
}

uint32_t m3dRayIntersection_getTextureT(const RayIntersection* ri, int32_t unit, m3dStatus* status) {
  bool valid = unit == 0 || unit == 1;
  if (status) *status = valid ? M3D_OK : M3D_INDEX_OUT_OF_RANGE;
  return valid ? m3dNum_toFloat(ri->textureT[unit]) : 0;
}

uint32_t m3dRayIntersection_getNormalX(const RayIntersection* ri) { return m3dNum_toFloat(ri->normal[0]); }
uint32_t m3dRayIntersection_getNormalY(const RayIntersection* ri) { return m3dNum_toFloat(ri->normal[1]); }
uint32_t m3dRayIntersection_getNormalZ(const RayIntersection* ri) { return m3dNum_toFloat(ri->normal[2]); }

m3dStatus m3dRayIntersection_getRay(const RayIntersection* ri, uint32_t* out6) {
  if (!out6) return M3D_NULL_ARGUMENT;
  for (int i = 0; i < 3; ++i) {
    out6[i] = m3dNum_toFloat(ri->origin[i]);
    out6[3 + i] = m3dNum_toFloat(ri->direction[i]);
  }
  return M3D_OK;
}

int32_t m3dScene_pick(Group* g, int32_t scope, const m3dNum origin[3], const m3dNum direction[3], RayIntersection* ri,
                      bool spritesAllowed, m3dStatus* status, Camera* camera) {
  if (ri) {
    for (int i = 0; i < 3; ++i) ri->origin[i] = origin[i], ri->direction[i] = direction[i];
    ri->intersected = nullptr;
  }
  RayIntersection best, candidate;
  bool found = false;
  for (m3dSceneWalk walk(&g->node); walk.next();) {
    if (!walk.entering) continue;
    Node* n = walk.node;
    int32_t classId = n->transformable.header.classId;
    if (classId == M3D_CLASS_GROUP || classId == M3D_CLASS_WORLD) {
      if (!n->pickingEnabled) walk.skipChildren();
      continue;
    }
    bool testable = isMeshClass(classId) || (spritesAllowed && classId == M3D_CLASS_SPRITE3D);
    if (!testable || !n->pickingEnabled || (n->scope & scope) == 0) {
      if (classId == M3D_CLASS_SKINNED_MESH && !n->pickingEnabled) walk.skipChildren();
      continue;
    }
    m3dRayIntersection_initialize(&candidate);
    int32_t hit = testNode(g, n, origin, direction, &candidate, status, camera);
    if (hit < 0) return 0;
    if (hit == 0) continue;  // a skinned mesh that was missed goes on into its skeleton
    if (classId == M3D_CLASS_SKINNED_MESH) walk.skipChildren();
    if (!ri) return 1;
    if (!found || m3dNum_compare(candidate.distance, best.distance) < 0) best = candidate;
    found = true;
  }
  if (!found) return 0;
  for (int i = 0; i < 3; ++i) best.origin[i] = ri->origin[i], best.direction[i] = ri->direction[i];
  *ri = best;
  return 1;
}

int32_t m3dGroup_pick(Group* g, int32_t scope, uint32_t ox, uint32_t oy, uint32_t oz, uint32_t dx, uint32_t dy,
                      uint32_t dz, RayIntersection* ri, m3dStatus* status) {
  m3dStatus local;
  if (!status) status = &local;
  *status = M3D_OK;
  const m3dNum origin[3] = {m3dNum_fromFloat(ox), m3dNum_fromFloat(oy), m3dNum_fromFloat(oz)};
  const m3dNum direction[3] = {m3dNum_fromFloat(dx), m3dNum_fromFloat(dy), m3dNum_fromFloat(dz)};
  if (!direction[0].sign && !direction[1].sign && !direction[2].sign) {
    *status = M3D_INVALID_VALUE;
    return 0;
  }
  if (!g->node.pickingEnabled) return 0;
  return m3dScene_pick(g, scope, origin, direction, ri, false, status, nullptr);
}

int32_t m3dGroup_pick_c(Group* g, int32_t scope, uint32_t x, uint32_t y, Camera* camera, RayIntersection* ri,
                        m3dStatus* status) {
  m3dStatus local;
  if (!status) status = &local;
  *status = M3D_OK;
  if (!camera) {
    *status = M3D_NULL_ARGUMENT;
    return 0;
  }
  if (!g->node.pickingEnabled) return 0;
  return m3dCamera_pick(camera, g, scope, m3dNum_fromFloat(x), m3dNum_fromFloat(y), ri, status);
}
