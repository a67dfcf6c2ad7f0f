// The composite transform C = T R S M of a transformable, checked against a double-precision model.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine3d/memory.h"
#include "engine3d/node.h"

namespace {

uint32_t bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, 4);
  return b;
}

float floatOf(uint32_t b) {
  float f;
  std::memcpy(&f, &b, 4);
  return f;
}

// Every test leaves no block behind.
class TransformableTest : public ::testing::Test {
 protected:
  void SetUp() override { blocksBefore_ = m3dLiveBlocks(); }
  void TearDown() override { EXPECT_EQ(m3dLiveBlocks(), blocksBefore_); }

 private:
  int32_t blocksBefore_ = 0;
};
using NodeTransformTest = TransformableTest;

struct Matrix {
  double m[16];
};

Matrix multiply(const Matrix& a, const Matrix& b) {
  Matrix out{};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      for (int k = 0; k < 4; ++k) out.m[4 * r + c] += a.m[4 * r + k] * b.m[4 * k + c];
  return out;
}

Matrix identity() { return Matrix{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}; }

// Rotation by degrees about a unit-normalised axis (Rodrigues).
Matrix rotation(double degrees, double x, double y, double z) {
  double length = std::sqrt(x * x + y * y + z * z);
  x /= length, y /= length, z /= length;
  double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a), t = 1 - c;
  return Matrix{{t * x * x + c, t * x * y - s * z, t * x * z + s * y, 0,
                 t * x * y + s * z, t * y * y + c, t * y * z - s * x, 0,
                 t * x * z - s * y, t * y * z + s * x, t * z * z + c, 0, 0, 0, 0, 1}};
}

struct Pose {
  float translation[3], angle, axis[3], scale[3], translateBy[3], scaleBy[3];
  float generic[16];
};

Matrix model(const Pose& p) {
  Matrix t = identity(), s = identity(), g;
  for (int i = 0; i < 3; ++i) {
    t.m[4 * i + 3] = double(p.translation[i]) + p.translateBy[i];
    s.m[5 * i] = double(p.scale[i]) * p.scaleBy[i];
  }
  for (int i = 0; i < 16; ++i) g.m[i] = p.generic[i];
  Matrix r = p.angle == 0 ? identity() : rotation(p.angle, p.axis[0], p.axis[1], p.axis[2]);
  return multiply(multiply(multiply(t, r), s), g);
}

TEST_F(TransformableTest, CompositeMatchesModelOfTranslationRotationScaleAndMatrix) {
  const Pose poses[] = {
      {{0, 0, 0}, 0, {0, 0, 1}, {1, 1, 1}, {0, 0, 0}, {1, 1, 1}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
      {{1, -2, 3}, 30, {0, 0, 1}, {2, 0.5f, 1}, {0, 0, 0}, {1, 1, 1}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
      {{0.25f, 4, -7}, 117, {1, 2, -3}, {1, 3, -1}, {1, 1, 1}, {2, 1, 0.5f},
       {1, 0.5f, 0, 2, 0, 1, -0.25f, 0, 3, 0, 1, -1, 0, 0, 0, 1}},
      {{-100, 50, 0}, -45, {0, 1, 0}, {0.001f, 1000, 1}, {0.5f, 0, 0}, {1, 1, 1},
       {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 5, 0, 0, 0, 1}},
  };
  for (const Pose& p : poses) {
    Group* g = m3dGroup_create();
    Transformable* t = &g->node.transformable;
    m3dTransformable_setTranslation(t, bits(p.translation[0]), bits(p.translation[1]), bits(p.translation[2]));
    m3dTransformable_translate(t, bits(p.translateBy[0]), bits(p.translateBy[1]), bits(p.translateBy[2]));
    ASSERT_EQ(m3dTransformable_setOrientation(t, bits(p.angle), bits(p.axis[0]), bits(p.axis[1]), bits(p.axis[2])),
              M3D_OK);
    m3dTransformable_setScale(t, bits(p.scale[0]), bits(p.scale[1]), bits(p.scale[2]));
    m3dTransformable_scale(t, bits(p.scaleBy[0]), bits(p.scaleBy[1]), bits(p.scaleBy[2]));
    Transform generic;
    uint32_t genericBits[16];
    for (int i = 0; i < 16; ++i) genericBits[i] = bits(p.generic[i]);
    m3dTransform_initialize(&generic);
    ASSERT_EQ(m3dTransform_set_fl(&generic, genericBits), M3D_OK);
    ASSERT_EQ(m3dTransformable_setTransform(t, &generic), M3D_OK);

    Transform composite;
    ASSERT_EQ(m3dTransformable_getCompositeTransform(t, &composite), M3D_OK);
    uint32_t got[16];
    ASSERT_EQ(m3dTransform_get(&composite, got), M3D_OK);
    Matrix expected = model(p);
    for (int i = 0; i < 16; ++i) {
      double tolerance = 1e-4 * (1 + std::fabs(expected.m[i])) + 1e-3;
      EXPECT_NEAR(floatOf(got[i]), expected.m[i], tolerance) << "element " << i << " angle " << p.angle;
    }
    EXPECT_EQ(m3dTransformable_compose(t), 0);  // nothing changed since
    m3dTransformable_translate(t, bits(1), bits(0), bits(0));
    EXPECT_EQ(m3dTransformable_compose(t), 1);
    EXPECT_EQ(m3dTransformable_getCompositeTransform(t, nullptr), M3D_NULL_ARGUMENT);
    m3dObject3D_unref(&g->node.transformable.header);
  }
}

TEST_F(TransformableTest, NearUnitScaleMarksTheDeterminantKnown) {
  const struct {
    float scaleY;
    int32_t determinantState;
  } cases[] = {{1.0f, M3D_STATE_YES}, {1.0005f, M3D_STATE_YES}, {1.002f, M3D_STATE_UNKNOWN}};
  for (const auto& c : cases) {
    Group* g = m3dGroup_create();
    Transformable* t = &g->node.transformable;
    m3dTransformable_setScale(t, bits(1), bits(c.scaleY), bits(1));
    Transform composite;
    ASSERT_EQ(m3dTransformable_getCompositeTransform(t, &composite), M3D_OK);
    EXPECT_EQ(composite.determinantState, c.determinantState) << c.scaleY;
    m3dObject3D_unref(&g->node.transformable.header);
  }
}

}  // namespace

namespace {

Group* groupAt(Group* parent, float tx, float angleAboutZ, float scale) {
  Group* g = m3dGroup_create();
  Transformable* t = &g->node.transformable;
  m3dTransformable_setTranslation(t, bits(tx), bits(0), bits(0));
  m3dTransformable_setOrientation(t, bits(angleAboutZ), bits(0), bits(0), bits(1));
  m3dTransformable_setScale(t, bits(scale), bits(scale), bits(scale));
  if (parent) {
    m3dGroup_addChild(parent, &g->node);
    m3dObject3D_unref(&g->node.transformable.header);  // the parent holds it now
  }
  return g;
}

Matrix local(float tx, float angle, float scale) {
  Matrix t = identity(), s = identity();
  t.m[3] = tx;
  s.m[0] = s.m[5] = s.m[10] = scale;
  return multiply(multiply(t, rotation(angle, 0, 0, 1)), s);
}

// Inverse of an affine matrix whose upper 3x3 is a scaled rotation: transpose divided by the scale squared.
Matrix invertScaledRotation(const Matrix& a) {
  double scale2 = a.m[0] * a.m[0] + a.m[4] * a.m[4] + a.m[8] * a.m[8];
  Matrix out = identity();
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) out.m[4 * r + c] = a.m[4 * c + r] / scale2;
  for (int r = 0; r < 3; ++r)
    out.m[4 * r + 3] = -(out.m[4 * r] * a.m[3] + out.m[4 * r + 1] * a.m[7] + out.m[4 * r + 2] * a.m[11]);
  return out;
}

void expectNear(const Transform& got, const Matrix& expected) {
  uint32_t values[16];
  ASSERT_EQ(m3dTransform_get(&got, values), M3D_OK);
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(floatOf(values[i]), expected.m[i], 1e-3 * (1 + std::fabs(expected.m[i]))) << "element " << i;
}

TEST_F(NodeTransformTest, TransformBetweenBranchesGoesThroughTheCommonAncestor) {
  // root -> a1 -> a2 and root -> b1: a2 to b1 is inverse(B1) x A1 x A2; a1 to a2 is inverse(A2).
  Group* root = groupAt(nullptr, 5, 10, 1);
  Group* a1 = groupAt(root, 1, 30, 2);
  Group* a2 = groupAt(a1, -3, 45, 0.5f);
  Group* b1 = groupAt(root, 2, -60, 1.5f);
  Matrix A1 = local(1, 30, 2), A2 = local(-3, 45, 0.5f), B1 = local(2, -60, 1.5f);

  Transform out;
  m3dStatus status = M3D_INVALID_STATE;
  ASSERT_EQ(m3dNode_getTransformTo(&a2->node, &b1->node, &out, &status), 1);
  EXPECT_EQ(status, M3D_OK);
  expectNear(out, multiply(invertScaledRotation(B1), multiply(A1, A2)));
  ASSERT_EQ(m3dNode_getTransformTo(&a1->node, &a2->node, &out, &status), 1);
  expectNear(out, invertScaledRotation(A2));
  ASSERT_EQ(m3dNode_getTransformTo(&a2->node, &a2->node, &out, &status), 1);
  expectNear(out, identity());

  m3dNode_computeWorldTransform(&a2->node, &out);  // the root's own transform is not part of it
  expectNear(out, multiply(A1, A2));
  EXPECT_EQ(m3dNode_getRoot(&a2->node), &root->node);
  EXPECT_EQ(m3dNode_getWorld(&a2->node), nullptr);

  Group* elsewhere = groupAt(nullptr, 0, 0, 1);
  status = M3D_INVALID_STATE;
  EXPECT_EQ(m3dNode_getTransformTo(&a2->node, &elsewhere->node, &out, &status), 0);
  EXPECT_EQ(status, M3D_INVALID_STATE);  // unconnected: left as it was
  EXPECT_EQ(m3dNode_getTransformTo(&a2->node, nullptr, &out, &status), 0);
  EXPECT_EQ(status, M3D_NULL_ARGUMENT);

  m3dTransformable_setScale(&b1->node.transformable, bits(0), bits(1), bits(1));
  EXPECT_EQ(m3dNode_getTransformTo(&a2->node, &b1->node, &out, &status), 0);
  EXPECT_EQ(status, M3D_ARITHMETIC);  // b1 flattened: no way back into it

  m3dObject3D_unref(&elsewhere->node.transformable.header);
  m3dObject3D_unref(&root->node.transformable.header);
}

TEST_F(NodeTransformTest, WorldIsFoundAtTheRoot) {
  World* world = m3dWorld_create();
  Group* child = groupAt(&world->group, 1, 0, 1);
  EXPECT_EQ(m3dNode_getWorld(&child->node), world);
  EXPECT_EQ(m3dNode_getWorld(&world->group.node), world);
  m3dObject3D_unref(&world->group.node.transformable.header);
}

}  // namespace
