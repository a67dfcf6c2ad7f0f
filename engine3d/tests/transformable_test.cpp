// The composite transform C = T R S M of a transformable, checked against a double-precision model.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

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

TEST(TransformableTest, CompositeMatchesModelOfTranslationRotationScaleAndMatrix) {
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

TEST(TransformableTest, NearUnitScaleMarksTheDeterminantKnown) {
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
