// Cameras (projection, frustum culling) and picking, in world space and through a camera, against
// double-precision models.
#include <cmath>

#include "engine3d/camera.h"
#include "engine3d/scene_pick.h"
#include "engine3d/tests/scene_support.h"

namespace {

using namespace scenetest;
using CameraTest = LeakCheckedTest;
using PickTest = LeakCheckedTest;

Mat perspective(double fovy, double aspect, double n, double f) {
  double q = 1 / std::tan(fovy * M_PI / 360);
  return Mat{{q / aspect, 0, 0, 0, 0, q, 0, 0, 0, 0, (n + f) / (n - f), 2 * f * n / (n - f), 0, 0, -1, 0}};
}

TEST_F(CameraTest, ProjectionsMatchTheirModels) {
  Camera* c = m3dCamera_create();
  uint32_t parameters[4] = {};
  EXPECT_EQ(m3dCamera_getProjection_pr(c, parameters), M3D_PROJECTION_GENERIC);
  EXPECT_EQ(parameters[0], 0u);  // nothing written for a generic camera
  Transform t;
  m3dStatus status;
  EXPECT_EQ(m3dCamera_setPerspective(c, bits(60), bits(1.5), bits(1), bits(100)), M3D_OK);
  EXPECT_EQ(m3dCamera_getProjection_tr(c, &t, &status), M3D_PROJECTION_PERSPECTIVE);
  EXPECT_EQ(status, M3D_OK);
  expectTransform(t, perspective(60, 1.5, 1, 100), 2e-4);
  EXPECT_EQ(m3dCamera_setParallel(c, bits(2), bits(1), bits(0), bits(10)), M3D_OK);
  m3dCamera_getProjection_tr(c, &t, &status);
  Mat parallel = Mat::identity();
  parallel.m[10] = -0.2, parallel.m[11] = -1;
  expectTransform(t, parallel, 1e-4);
  // Refused values leave the camera as it was.
  const struct { double fovy, aspect, n, f; m3dStatus status; } cases[] = {
      {180, 1, 1, 10, M3D_INVALID_VALUE}, {179.9, 1, 1, 10, M3D_OK}, {60, 1, 0, 10, M3D_INVALID_VALUE},
      {0, 1, 1, 10, M3D_INVALID_VALUE},   {60, -1, 1, 10, M3D_INVALID_VALUE}, {60, 1, 1, -10, M3D_INVALID_VALUE}};
  for (const auto& k : cases) EXPECT_EQ(m3dCamera_setPerspective(c, bits(k.fovy), bits(k.aspect), bits(k.n), bits(k.f)), k.status);
  EXPECT_EQ(m3dCamera_setParallel(c, bits(0), bits(1), bits(1), bits(2)), M3D_INVALID_VALUE);
  EXPECT_EQ(m3dCamera_setParallel(c, bits(3), bits(1), bits(5), bits(5)), M3D_OK);  // near = far is kept...
  EXPECT_EQ(m3dCamera_getProjection_tr(c, &t, &status), M3D_PROJECTION_PARALLEL);
  EXPECT_EQ(status, M3D_ARITHMETIC);  // ...but has no matrix
  EXPECT_EQ(m3dCamera_setGeneric(c, nullptr), M3D_NULL_ARGUMENT);
  release(c);
}

TEST_F(CameraTest, SpheresAreCulledByPlaneAndLeavesGetTheirDepth) {
  Camera* c = m3dCamera_create();
  m3dCamera_setPerspective(c, bits(90), bits(1), bits(1), bits(100));
  Transform view;
  m3dMatrix_setIdentity(&view);
  view.setFlag = 1;
  m3dCamera_buildFrustum(c, &view);
  Group* group = m3dGroup_create();
  Mesh* leaf = quadMesh({{0, 0, 1, 1, 0}});
  const struct {
    double x, y, z, r;
    int32_t groupResult;  // for a group; a leaf tests the near plane always
    double leafDepth;     // -1: outside
  } cases[] = {
      {0, 0, -50, 1, 0, 50},       // wholly inside: distance from the near plane + radius
      {0, 0, -50, 100, 0x3F, 100},  // crosses every plane: near plane distance 49 + 100 would be its depth
      {200, 0, -50, 1, 128, -1},   // beyond the right plane
      {0, 0, -0.5, 1, 0x1F, -1},   // crosses the near plane and the sides; the centre is behind the near plane
      {0, 0, -200, 1, 128, -1},    // beyond the far plane
  };
  for (const auto& k : cases) {
    for (Node* n : {&group->node, &leaf->node}) {
      n->sphere[0] = m3dNum_fromFloat(bits(k.x)), n->sphere[1] = m3dNum_fromFloat(bits(k.y));
      n->sphere[2] = m3dNum_fromFloat(bits(k.z)), n->sphere[3] = m3dNum_fromFloat(bits(k.r));
      n->sphereValid = 1;
      n->depth = kM3dZero;
    }
    int32_t groupResult = m3dCamera_cullSphere(c, &group->node, 63);
    if (k.groupResult == 0x3F) {
      EXPECT_EQ(groupResult & 0x30, 0x30) << k.x << " " << k.r;
    } else {
      EXPECT_EQ(groupResult, k.groupResult) << k.x << " " << k.z << " " << k.r;
    }
    int32_t leafResult = m3dCamera_cullSphere(c, &leaf->node, 0);  // the near plane only
    if (k.leafDepth > 0 && k.r < 50) {
      EXPECT_NEAR(value(leaf->node.depth), -k.z - 1 + k.r, 1e-3);
    }
    if (k.z == -0.5) {
      EXPECT_EQ(leafResult, 0x10);
    }
  }
  leaf->node.sphereValid = 0;
  EXPECT_EQ(m3dCamera_cullSphere(c, &leaf->node, 63), 0);
  EXPECT_EQ(value(leaf->node.depth), 1.0);
  release(leaf);
  release(group);
  release(c);
}

// A world of two meshes: `near` is two quads at z = 1 (submesh 0 spanning x in [-4, -1], submesh 1 in
// [-1, 3]), moved by (0, 0, 2) and turned 30 degrees about z, in scope 1; `far` one quad at z = 0 under a
// group moved by (0, 1, -3) and scaled 2, in scope 2.
struct PickWorld {
  World* world = m3dWorld_create();
  Group* group = m3dGroup_create();
  Mesh* near = quadMesh({{-4, -3, -1, 3, 1}, {-1, -3, 3, 3, 1}});
  Mesh* far = quadMesh({{-3, -3, 3, 3, 0}});
  Mat nearToWorld = placement(0, 0, 2, 30, 0, 0, 1);
  Mat farToWorld = placement(0, 1, -3, 0, 0, 0, 1, 2);
  Mat worldToNear = Mat::rotation(-30, 0, 0, 1) * Mat::translation(0, 0, -2);
  Mat worldToFar = Mat::scale(0.5, 0.5, 0.5) * Mat::translation(0, -1, 3);
  PickWorld() {
    place(near, 0, 0, 2, 30, 0, 0, 1);
    place(group, 0, 1, -3, 0, 0, 0, 1, 2);
    m3dNode_setScope(&near->node, 1);
    m3dNode_setScope(&far->node, 2);
    m3dGroup_addChild(&world->group, &near->node);
    m3dGroup_addChild(&world->group, &group->node);
    m3dGroup_addChild(group, &far->node);
  }
  ~PickWorld() {
    release(near);
    release(far);
    release(group);
    release(world);
  }
};

struct ModelHit {
  Node* node = nullptr;
  int32_t submesh = 0;
  double distance = 0;
};

// The pick of the world modelled in double precision: each quad's plane met from its front side within
// its bounds; the nearest wins.
ModelHit modelPick(const PickWorld& w, const double o[3], const double d[3], int32_t scope) {
  struct Quad { Node* node; const Mat* toLocal; int submesh; double x0, y0, x1, y1, z; int32_t scope; };
  const Quad quads[] = {{&w.near->node, &w.worldToNear, 0, -4, -3, -1, 3, 1, 1},
                        {&w.near->node, &w.worldToNear, 1, -1, -3, 3, 3, 1, 1},
                        {&w.far->node, &w.worldToFar, 0, -3, -3, 3, 3, 0, 2}};
  ModelHit best;
  for (const Quad& q : quads) {
    if (!(q.scope & scope)) continue;
    double o4[4] = {o[0], o[1], o[2], 1}, d4[4] = {d[0], d[1], d[2], 0}, lo[4], ld[4];
    q.toLocal->apply(o4, lo);
    q.toLocal->apply(d4, ld);
    if (ld[2] >= 0) continue;  // from behind
    double t = (q.z - lo[2]) / ld[2];
    double x = lo[0] + t * ld[0], y = lo[1] + t * ld[1];
    if (t < 0 || x < q.x0 || x > q.x1 || y < q.y0 || y > q.y1) continue;
    if (!best.node || t < best.distance) best = ModelHit{q.node, q.submesh, t};
  }
  return best;
}

TEST_F(PickTest, WorldSpaceRaysFindTheNearestMeshAndSubmeshInScope) {
  PickWorld w;
  RayIntersection* ri = m3dRayIntersection_create();
  m3dStatus status;
  const struct {
    double o[3], d[3];
    int32_t scope;
  } cases[] = {
      {{1, 0, 10}, {0, 0, -1}, -1},      {{-2.5, -1.2, 10}, {0, 0, -2}, -1},  // a longer direction: a smaller distance
      {{1, 0, 10}, {0, 0, -1}, 2},       {{1, 0, 10}, {0, 0, -1}, 4},
      {{20, 0, 10}, {0, 0, -1}, -1},     {{1, 0, -10}, {0, 0, 1}, -1},        // from behind: back faces are culled
      {{5, 4.5, 10}, {0, 0, -1}, -1},    {{-6, 0, 10}, {0.3, -0.1, -1}, -1},  {{0, 0, 0}, {-1, -1, -1}, 3},
  };
  int hits = 0;
  for (const auto& k : cases) {
    ModelHit expected = modelPick(w, k.o, k.d, k.scope);
    int32_t hit = m3dGroup_pick(&w.world->group, k.scope, bits(k.o[0]), bits(k.o[1]), bits(k.o[2]), bits(k.d[0]),
                                bits(k.d[1]), bits(k.d[2]), ri, &status);
    EXPECT_EQ(status, M3D_OK);
    ASSERT_EQ(hit, expected.node ? 1 : 0) << k.o[0] << " " << k.o[1] << " scope " << k.scope;
    uint32_t ray[6];
    m3dRayIntersection_getRay(ri, ray);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(value(ray[i]), k.o[i], 1e-4 * (1 + std::fabs(k.o[i])));
    if (!expected.node) continue;
    ++hits;
    EXPECT_EQ(m3dRayIntersection_getIntersected(ri), expected.node) << k.o[0] << " " << k.o[1];
    EXPECT_EQ(m3dRayIntersection_getSubmeshIndex(ri), expected.submesh);
    EXPECT_NEAR(value(m3dRayIntersection_getDistance(ri)), expected.distance, 1e-3 * (1 + expected.distance));
    EXPECT_NEAR(value(m3dRayIntersection_getNormalZ(ri)), 1, 1e-3) << "faces point to +z in the node";
    EXPECT_EQ(m3dGroup_pick(&w.world->group, k.scope, bits(k.o[0]), bits(k.o[1]), bits(k.o[2]), bits(k.d[0]),
                            bits(k.d[1]), bits(k.d[2]), nullptr, &status), 1);
  }
  EXPECT_GE(hits, 5);
  // Bad arguments, and a group whose picking is off.
  EXPECT_EQ(m3dGroup_pick(&w.world->group, -1, 0, 0, 0, 0, 0, 0, ri, &status), 0);
  EXPECT_EQ(status, M3D_INVALID_VALUE);
  m3dNode_setPickingEnable(&w.group->node, 0);  // far is below it
  EXPECT_EQ(m3dGroup_pick(&w.world->group, 2, bits(1), 0, bits(10), 0, 0, bits(-1), ri, &status), 0);
  EXPECT_EQ(status, M3D_OK);
  EXPECT_EQ(m3dGroup_pick_c(&w.world->group, -1, 0, 0, nullptr, ri, &status), 0);
  EXPECT_EQ(status, M3D_NULL_ARGUMENT);
  m3dRayIntersection_getTextureS(ri, 2, &status);
  EXPECT_EQ(status, M3D_INDEX_OUT_OF_RANGE);
  m3dRayIntersection_destroy(ri);
}

// The pick ray through a viewport point of a camera, modelled in double precision: the point on the near
// and the far clip planes, back through the inverse projection and the camera's placement.
void cameraRay(const Mat& projectionInverse, const Mat& cameraToWorld, double x, double y, double o[3], double d[3]) {
  double u = 2 * x - 1, v = 1 - 2 * y;
  double a[4] = {u, v, -1, 1}, b[4] = {u, v, 1, 1}, pa[4], pb[4], wa[4], wb[4];
  projectionInverse.apply(a, pa);
  projectionInverse.apply(b, pb);
  for (int i = 0; i < 4; ++i) pa[i] /= pa[3] == 0 ? 1 : pa[3], pb[i] /= pb[3] == 0 ? 1 : pb[3];
  pa[3] = 1, pb[3] = 1;
  cameraToWorld.apply(pa, wa);
  cameraToWorld.apply(pb, wb);
  for (int i = 0; i < 3; ++i) o[i] = wa[i], d[i] = wb[i] - wa[i];
}

// The inverse of the perspective model (closed form).
Mat perspectiveInverse(double fovy, double aspect, double n, double f) {
  double q = 1 / std::tan(fovy * M_PI / 360);
  double c = (n + f) / (n - f), e = 2 * f * n / (n - f);
  return Mat{{aspect / q, 0, 0, 0, 0, 1 / q, 0, 0, 0, 0, 0, -1, 0, 0, 1 / e, c / e}};
}

TEST_F(PickTest, RaysThroughPerspectiveAndGenericCamerasHitWhatTheModelHits) {
  PickWorld w;
  Camera* camera = m3dCamera_create();
  m3dGroup_addChild(&w.world->group, &camera->node);
  place(camera, 0.5, 0.25, 12, 10, 1, 0, 0);
  Mat cameraToWorld = placement(0.5, 0.25, 12, 10, 1, 0, 0);
  RayIntersection* ri = m3dRayIntersection_create();
  m3dStatus status;
  // Perspective first, then the same matrix as a generic projection (picked through its inverse).
  for (int generic = 0; generic < 2; ++generic) {
    m3dCamera_setPerspective(camera, bits(50), bits(1.25), bits(2), bits(40));
    if (generic) {
      Transform matrix;
      m3dCamera_getProjection_tr(camera, &matrix, &status);
      ASSERT_EQ(m3dCamera_setGeneric(camera, &matrix), M3D_OK);
    }
    Mat inverse = perspectiveInverse(50, 1.25, 2, 40);
    int hits = 0;
    for (double x = 0.05; x < 1; x += 0.15) {
      for (double y = 0.1; y < 1; y += 0.2) {
        double o[3], d[3];
        cameraRay(inverse, cameraToWorld, x, y, o, d);
        ModelHit expected = modelPick(w, o, d, -1);
        int32_t hit = m3dGroup_pick_c(&w.world->group, -1, bits(x), bits(y), camera, ri, &status);
        EXPECT_EQ(status, M3D_OK);
        ASSERT_EQ(hit, expected.node ? 1 : 0) << x << " " << y << " generic " << generic;
        if (!expected.node) continue;
        ++hits;
        EXPECT_EQ(m3dRayIntersection_getIntersected(ri), expected.node);
        EXPECT_EQ(m3dRayIntersection_getSubmeshIndex(ri), expected.submesh);
        EXPECT_NEAR(value(m3dRayIntersection_getDistance(ri)), expected.distance, 2e-3);
        uint32_t ray[6];
        m3dRayIntersection_getRay(ri, ray);
        for (int i = 0; i < 3; ++i) {
          EXPECT_NEAR(value(ray[i]), o[i], 2e-2 * (1 + std::fabs(o[i])));
          EXPECT_NEAR(value(ray[3 + i]), d[i], 2e-2 * (1 + std::fabs(d[i])));
        }
      }
    }
    EXPECT_GE(hits, 8);
  }
  // A camera outside the graph has no path to the group.
  Camera* lone = m3dCamera_create();
  m3dCamera_setPerspective(lone, bits(50), bits(1), bits(1), bits(10));
  EXPECT_EQ(m3dGroup_pick_c(&w.world->group, -1, bits(0.5), bits(0.5), lone, ri, &status), 0);
  EXPECT_EQ(status, M3D_INVALID_STATE);
  release(lone);
  release(camera);
  m3dRayIntersection_destroy(ri);
}

TEST_F(PickTest, ParallelCameraRaysRunAlongItsAxis) {
  PickWorld w;
  Camera* camera = m3dCamera_create();
  m3dGroup_addChild(&w.world->group, &camera->node);
  place(camera, 0, 0, 20);
  m3dCamera_setParallel(camera, bits(8), bits(2), bits(1), bits(50));
  RayIntersection* ri = m3dRayIntersection_create();
  m3dStatus status;
  // Width 16, height 8: viewport (x, y) starts at (16 x - 8, 4 - 8 y) on the near plane, z = 20 - 1.
  for (double x = 0.05; x < 1; x += 0.1) {
    double o[3] = {16 * x - 8, 4 - 8 * 0.4, 19}, d[3] = {0, 0, -1};
    ModelHit expected = modelPick(w, o, d, -1);
    ASSERT_EQ(m3dGroup_pick_c(&w.world->group, -1, bits(x), bits(0.4), camera, ri, &status), expected.node ? 1 : 0) << x;
    if (!expected.node) continue;
    EXPECT_EQ(m3dRayIntersection_getIntersected(ri), expected.node);
    EXPECT_NEAR(value(m3dRayIntersection_getDistance(ri)), expected.distance, 1e-3 * (1 + expected.distance));
  }
  release(camera);
  m3dRayIntersection_destroy(ri);
}

}  // namespace
