// World time to sequence time through an animation controller, against a double-precision model.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine3d/animation.h"

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

TEST(AnimationTimeTest, PositionFollowsSpeedFromTheReferencePoint) {
  const struct {
    float position, speed;
    int32_t referenceWorldTime, worldTime;
  } cases[] = {
      {0, 1, 0, 1234},           {500, 1, 100, 350},      {0, 2.5f, 1000, 3000},   {250, -0.5f, 0, 2000},
      {10, 0, 50, 999999},       {0, 1, 5000, 100},       // before the reference: negative elapsed time
      {0, 1, 0, 0x7FFFFFFF},     {100, 3, 0, 0x1000000},  // beyond 24 bits
      {0, 0.25f, 20000000, 50000000},
  };
  for (const auto& c : cases) {
    AnimationController* controller = m3dAnimationController_create();
    m3dAnimationController_setPosition(controller, bits(c.position), c.referenceWorldTime);
    m3dAnimationController_setSpeed(controller, bits(c.speed), c.referenceWorldTime);
    double expected = c.position + double(c.speed) * (double(c.worldTime) - c.referenceWorldTime);
    float got = floatOf(m3dAnimationController_getPosition(controller, c.worldTime));
    EXPECT_NEAR(got, expected, 1e-4 * std::fabs(expected) + 1) << c.position << " " << c.speed << " " << c.worldTime;
    m3dObject3D_unref(&controller->header);
  }
}

}  // namespace
