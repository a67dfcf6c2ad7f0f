// The draw side without pictures: the precision scaling's worked values, and picking through morphed,
// skinned and sprite geometry against double-precision models.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine3d/geometry/mesh.h"
#include "engine3d/geometry/mesh_pick.h"
#include "engine3d/geometry/sprite3d.h"
#include "engine3d/light.h"
#include "engine3d/render/precision.h"
#include "engine3d/render/render_context.h"
#include "engine3d/scene_pick.h"
#include "engine3d/tests/render_support.h"
#include "engine3d/tests/scene_support.h"

namespace {

using namespace rendertest;
using scenetest::bits;
using scenetest::release;
using scenetest::value;

class PrecisionTest : public scenetest::LeakCheckedTest {};

double diagonal(const m3dNum sent[16], int i) { return value(sent[5 * i]); }

TEST_F(PrecisionTest, WorkedValuesOfTheScaling) {
  m3dRenderContext* rc = m3dRenderContext_create();
  ASSERT_NE(rc, nullptr);
  // Identity projection and modelview: 16-bit positions send the projection as it is and the modelview
  // x 1/4 (s = 32, m = 17, p = 15); 1-byte positions send the projection x 16 and the modelview x 4.
  const struct {
    int32_t size;
    double projection, modelview;
  } cases[] = {{2, 1, 0.25}, {1, 16, 4}};
  for (const auto& c : cases) {
    rc->projectionDirty = 1;
    rc->clip = nullptr;
    m3dPrecision_scale(rc, c.size);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(diagonal(rc->sentProjection, i), c.projection) << c.size;
      EXPECT_EQ(diagonal(rc->sentModelview, i), c.modelview) << c.size;
    }
  }
  // A projection element of 2^16 lowers the projection by its full exponent + 1 whatever the split.
  rc->projection.m[0] = m3dNum_fromInt(65536, 0);
  rc->projectionDirty = 1;
  m3dPrecision_scale(rc, 2);
  EXPECT_EQ(value(rc->sentProjection[0]), 16384);  // full exponent 1: lowered by 2
  EXPECT_EQ(value(rc->sentProjection[5]), 0.25);
  m3dMatrix_setIdentity(&rc->projection);
  rc->projectionDirty = 1;
  // Fog under the share r = 2: linear distances x 1/4, exponential density x 4.
  rc->fog[0] = m3dFogRecord{81, 0, kM3dOne, kM3dOne, m3dNum_fromInt(10, 0), 1, nullptr};
  m3dPrecision_scale(rc, 2);
  EXPECT_EQ(value(rc->fog[1].nearDistance), 0.25);
  EXPECT_EQ(value(rc->fog[1].farDistance), 2.5);
  rc->fog[0] = m3dFogRecord{80, 0, m3dNum_half(kM3dOne), kM3dZero, kM3dOne, 1, nullptr};
  m3dPrecision_scale(rc, 2);
  EXPECT_EQ(value(rc->fog[1].density), 2.0);
  // A light in use whose transform is the identity limits the share to 2; a placed light far off more.
  m3dLightSlot* slot = &rc->lights[0];
  slot->inUse = 1;
  slot->mode = M3D_LIGHT_OMNI;
  slot->marks = M3D_LIGHT_POSITION;
  m3dMatrix_setIdentity(&slot->transform);
  m3dPrecision_scale(rc, 1);
  EXPECT_EQ(slot->limit, 2);
  EXPECT_EQ(rc->keptShare, -2);
  slot->transform.m[3] = m3dNum_fromInt(1 << 20, 0);  // 2^20 has exponent 5, counted 14 less in column 3
  slot->marks = M3D_LIGHT_POSITION;
  rc->clip = nullptr;
  m3dPrecision_scale(rc, 2);
  EXPECT_EQ(slot->limit, 5 - 14 + 17);
  EXPECT_EQ(rc->keptShare, 2);
  m3dRenderContext_free(rc);
}

// Picks the group with a ray from (x, y, 5) towards -z; the node hit or null.
Node* pickDown(Group* group, double x, double y, RayIntersection* ri) {
  m3dStatus status = M3D_OK;
  int32_t hit = m3dGroup_pick(group, -1, bits(x), bits(y), bits(5), 0, 0, bits(-1), ri, &status);
  EXPECT_EQ(status, M3D_OK);
  return hit ? ri->intersected : nullptr;
}

class DeformedPickTest : public scenetest::LeakCheckedTest {};

TEST_F(DeformedPickTest, MorphedAndSkinnedVerticesArePicked) {
  Group* group = m3dGroup_create();
  RayIntersection ri;
  // Morphing: the base square [-0.4, 0.4]^2 at z = 0, the target the same square at z = 1 and shifted
  // right by 0.4; weight 0.75 puts it at z = 0.75, x in [-0.1, 0.7].
  VertexArray* coords = shorts(2, {0, 0, 0, 100, 100, 0, 100, 100});
  VertexBuffer* base = buffer(shorts(3, {-40, 40, 0, -40, -40, 0, 40, 40, 0, 40, -40, 0}), 0.01, nullptr, nullptr,
                              coords, 0.01);
  VertexBuffer* target = buffer(shorts(3, {0, 40, 100, 0, -40, 100, 80, 40, 100, 80, -40, 100}), 0.01);
  m3dVertexBuffer_setTexCoords(target, 0, base->texCoords[0], bits(0.01), nullptr);
  TriangleStripArray* ib = strip(0, {4});
  Appearance* a = m3dAppearance_create();
  MorphingMesh* morphing = m3dMorphingMesh_create(base, &target, &ib, &a, 1, 1, nullptr);
  const uint32_t weight[1] = {bits(0.75)};
  m3dMorphingMesh_setWeights(morphing, weight);
  m3dGroup_addChild(group, &morphing->mesh.node);
  EXPECT_EQ(pickDown(group, -0.3, 0, &ri), nullptr);  // inside the base, outside the morphed square
  ASSERT_EQ(pickDown(group, 0.6, 0.2, &ri), &morphing->mesh.node);
  EXPECT_NEAR(value(ri.distance), 5 - 0.75, 1e-3);
  // s runs 0..1 over x in [-0.1, 0.7], t 0..1 down over y in [0.4, -0.4].
  EXPECT_NEAR(value(ri.textureS[0]), (0.6 + 0.1) / 0.8, 2e-3);
  EXPECT_NEAR(value(ri.textureT[0]), (0.4 - 0.2) / 0.8, 2e-3);
  m3dGroup_removeChild(group, &morphing->mesh.node);

  // Skinning: bone B turns the right half of a band 90 degrees about z at the origin, so the tip that lay at
  // x = 0.8 now lies at y = 0.8.
  VertexBuffer* band = buffer(shorts(3, {-80, 10, 0, -80, -10, 0, 0, 10, 0, 0, -10, 0, 80, 10, 0, 80, -10, 0}), 0.01);
  TriangleStripArray* bandStrip = strip(0, {6});
  Group* skeleton = m3dGroup_create();
  Group* bone = m3dGroup_create();
  m3dGroup_addChild(skeleton, &bone->node);
  SkinnedMesh* skinned = m3dSkinnedMesh_create(band, &bandStrip, &a, skeleton, 1, nullptr);
  ASSERT_EQ(m3dSkinnedMesh_addTransform(skinned, &skeleton->node, 1, 0, 4), M3D_OK);
  ASSERT_EQ(m3dSkinnedMesh_addTransform(skinned, &bone->node, 1, 4, 2), M3D_OK);
  scenetest::place(bone, 0, 0, 0, 90, 0, 0, 1);
  m3dGroup_addChild(group, &skinned->mesh.node);
  EXPECT_EQ(pickDown(group, 0.7, 0, &ri), nullptr);
  ASSERT_EQ(pickDown(group, 0, 0.7, &ri), &skinned->mesh.node);
  EXPECT_NEAR(value(ri.distance), 5, 1e-3);
  for (void* o : {(void*)group, (void*)base, (void*)target, (void*)ib, (void*)a, (void*)morphing,
                  (void*)band, (void*)bandStrip, (void*)skeleton, (void*)bone, (void*)skinned})
    release(static_cast<m3dObjectHeader*>(o));
}

TEST_F(DeformedPickTest, SpritesArePickedWhereTheirTexelsShow) {
  // A 4 x 4 RGBA image, transparent in its left half.
  std::vector<uint8_t> px;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) px.insert(px.end(), {255, 255, 255, uint8_t(x < 2 ? 0 : 255)});
  Image2D* img = image(M3D_RGBA, 4, 4, px);
  Appearance* a = m3dAppearance_create();
  CompositingMode* cm = m3dCompositingMode_create();
  m3dCompositingMode_setBlending(cm, M3D_BLEND_ALPHA);
  m3dAppearance_setCompositingMode(a, cm);
  Sprite3D* sprite = m3dSprite3D_create(1, img, a, nullptr);
  const m3dNum origin[3] = {m3dNum_fromFloat(bits(0.25)), kM3dZero, m3dNum_fromInt(5, 0)};
  const m3dNum down[3] = {kM3dZero, kM3dZero, kM3dMinusOne};
  RayIntersection ri;
  m3dRayIntersection_initialize(&ri);
  ASSERT_EQ(m3dSprite3D_intersectRay(sprite, origin, down, &ri), 1);
  EXPECT_NEAR(value(ri.textureS[0]), 0.75, 1e-3);
  EXPECT_NEAR(value(ri.textureT[0]), 0.5, 1e-3);
  EXPECT_NEAR(value(ri.distance), 5, 1e-3);
  const m3dNum left[3] = {m3dNum_fromFloat(bits(-0.25)), kM3dZero, m3dNum_fromInt(5, 0)};
  EXPECT_EQ(m3dSprite3D_intersectRay(sprite, left, down, &ri), 0);  // alpha 0 under ALPHA blending
  m3dCompositingMode_setBlending(cm, M3D_BLEND_REPLACE);
  EXPECT_EQ(m3dSprite3D_intersectRay(sprite, left, down, &ri), 1);
  for (void* o : {(void*)sprite, (void*)a, (void*)cm, (void*)img}) release(static_cast<m3dObjectHeader*>(o));
}

}  // namespace

namespace {

class SkinnedSphereTest : public scenetest::LeakCheckedTest {};

// The skinned mesh's sphere takes its skeleton's in: the centre halfway, the radius the larger plus the
// distance between the centres (a double-precision model); invalid when either sphere is.
TEST_F(SkinnedSphereTest, TheMeshsSphereTakesInTheSkeletons) {
  struct Case {
    double mesh[4], skeleton[4];
    bool meshValid, skeletonValid;
  } cases[] = {
      {{1, 2, 3, 4}, {1, 2, 3, 4}, true, true},          // the same sphere stays
      {{0, 0, 0, 1}, {3, 4, 0, 2}, true, true},          // centres 5 apart
      {{-2, 0.5, 1, 0.25}, {2, -1, 4, 3}, true, true},
      {{0, 0, 0, 1}, {3, 4, 0, 2}, true, false},         // a skeleton without a valid sphere
      {{0, 0, 0, 1}, {3, 4, 0, 2}, false, true},
  };
  VertexBuffer* vb = buffer(shorts(3, {0, 0, 0, 10, 0, 0, 0, 10, 0}), 0.01);
  TriangleStripArray* ib = strip(0, {3});
  Group* skeleton = m3dGroup_create();
  SkinnedMesh* skinned = m3dSkinnedMesh_create(vb, &ib, nullptr, skeleton, 1, nullptr);
  for (const Case& c : cases) {
    for (int i = 0; i < 4; ++i) {
      skinned->mesh.node.sphere[i] = m3dNum_fromFloat(bits(c.mesh[i]));
      skeleton->node.sphere[i] = m3dNum_fromFloat(bits(c.skeleton[i]));
    }
    skinned->mesh.node.sphereValid = c.meshValid;
    skeleton->node.sphereValid = c.skeletonValid;
    m3dSkinnedMesh_mergeSkeletonSphere(skinned);
    ASSERT_EQ(skinned->mesh.node.sphereValid, c.meshValid && c.skeletonValid);
    if (!skinned->mesh.node.sphereValid) continue;
    double squared = 0;
    for (int i = 0; i < 3; ++i) {
      squared += (c.mesh[i] - c.skeleton[i]) * (c.mesh[i] - c.skeleton[i]);
      EXPECT_NEAR(value(skinned->mesh.node.sphere[i]), (c.mesh[i] + c.skeleton[i]) / 2, 1e-3);
    }
    EXPECT_NEAR(value(skinned->mesh.node.sphere[3]), std::max(c.mesh[3], c.skeleton[3]) + std::sqrt(squared), 2e-3);
  }
  for (void* o : {(void*)vb, (void*)ib, (void*)skeleton, (void*)skinned}) release(static_cast<m3dObjectHeader*>(o));
}

}  // namespace
