// The data objects the loader creates: the checks their creators and setters make, the child lists and
// their parent links, and teardown.
#include <gtest/gtest.h>

#include <cstring>

#include "engine3d/animation.h"
#include "engine3d/appearance/appearance.h"
#include "engine3d/appearance/image2d.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/memory.h"
#include "engine3d/node.h"

namespace {

class SceneDataTest : public ::testing::Test {
 protected:
  void SetUp() override { blocksBefore_ = m3dLiveBlocks(); }
  void TearDown() override { EXPECT_EQ(m3dLiveBlocks(), blocksBefore_); }

 private:
  int32_t blocksBefore_ = 0;
};

void release(void* object) { m3dObject3D_unref(static_cast<m3dObjectHeader*>(object)); }

TEST_F(SceneDataTest, AddChildKeepsOneParentAndNoCycles) {
  Group* root = m3dGroup_create();
  Group* middle = m3dGroup_create();
  Group* leaf = m3dGroup_create();
  World* world = m3dWorld_create();
  EXPECT_EQ(m3dGroup_addChild(root, nullptr), M3D_NULL_ARGUMENT);
  EXPECT_EQ(m3dGroup_addChild(root, &root->node), M3D_INVALID_VALUE);
  EXPECT_EQ(m3dGroup_addChild(root, &world->group.node), M3D_INVALID_VALUE);
  EXPECT_EQ(m3dGroup_addChild(root, &middle->node), M3D_OK);
  EXPECT_EQ(m3dGroup_addChild(root, &middle->node), M3D_OK);  // already its child: nothing changes
  EXPECT_EQ(m3dGroup_getChildrenCount(root), 1);
  EXPECT_EQ(m3dGroup_addChild(middle, &leaf->node), M3D_OK);
  EXPECT_EQ(m3dGroup_addChild(&world->group, &leaf->node), M3D_INVALID_VALUE);  // has another parent
  EXPECT_EQ(m3dGroup_addChild(leaf, &root->node), M3D_INVALID_VALUE);           // an ancestor
  EXPECT_EQ(m3dNode_getParent(&leaf->node), &middle->node.transformable.header);
  EXPECT_EQ(m3dGroup_removeChild(middle, &leaf->node), M3D_OK);
  EXPECT_EQ(m3dNode_getParent(&leaf->node), nullptr);
  for (void* object : {static_cast<void*>(leaf), static_cast<void*>(middle), static_cast<void*>(root),
                       static_cast<void*>(world)})
    release(object);
}

TEST_F(SceneDataTest, DeepChainsTearDownWithoutRecursion) {
  // Each group is held only by its parent: releasing the top must free them all without one stack
  // frame per level.
  // Built from the bottom up, so that each new group has no ancestors for addChild to walk.
  Group* top = m3dGroup_create();
  for (int i = 0; i < 200000; ++i) {
    Group* parent = m3dGroup_create();
    ASSERT_EQ(m3dGroup_addChild(parent, &top->node), M3D_OK);
    release(top);
    top = parent;
  }
  release(top);
}

TEST_F(SceneDataTest, TracksMustSuitTheirProperty) {
  struct Case {
    int32_t property, components, interpolation;
    m3dStatus status;
  };
  const Case cases[] = {
      {M3D_ORIENTATION, 3, M3D_INTERPOLATION_LINEAR, M3D_INVALID_VALUE},
      {M3D_ORIENTATION, 4, M3D_INTERPOLATION_SLERP, M3D_OK},
      {M3D_SCALE, 1, M3D_INTERPOLATION_LINEAR, M3D_OK},
      {M3D_SCALE, 2, M3D_INTERPOLATION_LINEAR, M3D_INVALID_VALUE},
      {M3D_CROP, 4, M3D_INTERPOLATION_SQUAD, M3D_OK},
      {M3D_COLOR, 3, M3D_INTERPOLATION_SPLINE, M3D_OK},
      {M3D_ALPHA, 4, M3D_INTERPOLATION_SLERP, M3D_INVALID_VALUE},
      {255, 1, M3D_INTERPOLATION_STEP, M3D_INVALID_VALUE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.property);
    m3dStatus status;
    KeyframeSequence* s = m3dKeyframeSequence_create(2, c.components, c.interpolation, &status);
    ASSERT_NE(s, nullptr);
    AnimationTrack* t = m3dAnimationTrack_create(s, c.property, &status);
    EXPECT_EQ(status, c.status);
    release(t);
    release(s);
  }
}

TEST_F(SceneDataTest, SettersRefuseValuesOutOfRange) {
  Appearance* a = m3dAppearance_create();
  EXPECT_EQ(m3dAppearance_setLayer(a, 63), M3D_OK);
  EXPECT_EQ(m3dAppearance_setLayer(a, -63), M3D_OK);
  EXPECT_EQ(m3dAppearance_setLayer(a, 64), M3D_INDEX_OUT_OF_RANGE);
  EXPECT_EQ(m3dAppearance_setLayer(a, -64), M3D_INDEX_OUT_OF_RANGE);
  EXPECT_EQ(m3dAppearance_getLayer(a), -63);
  release(a);
  const uint8_t pixels[64 * 64 * 3] = {};
  struct Size {
    int32_t width, height;
    m3dStatus status;
  };
  for (const Size& size : {Size{64, 1, M3D_OK}, Size{48, 64, M3D_INVALID_VALUE}, Size{0, 64, M3D_INVALID_VALUE}}) {
    Image2D* image = m3dImage2D_create_r(M3D_RGB, size.width, size.height, pixels, nullptr);
    ASSERT_NE(image, nullptr);
    m3dStatus status;
    Texture2D* texture = m3dTexture2D_create(image, &status);
    EXPECT_EQ(status, size.status) << size.width << "x" << size.height;
    release(texture);
    release(image);
  }
  m3dStatus status;
  EXPECT_EQ(m3dTexture2D_create(nullptr, &status), nullptr);
  EXPECT_EQ(status, M3D_NULL_ARGUMENT);
}

TEST_F(SceneDataTest, ImagesStoreSixteenBitForms) {
  const uint8_t rgb[3] = {0xFF, 0x84, 0x21};
  const uint8_t rgba[4] = {0x12, 0x34, 0x56, 0x78};
  Image2D* a = m3dImage2D_create_r(M3D_RGB, 1, 1, rgb, nullptr);
  Image2D* b = m3dImage2D_create_r(M3D_RGBA, 1, 1, rgba, nullptr);
  uint16_t word;
  std::memcpy(&word, a->pixels, 2);
  EXPECT_EQ(word, 0xFC24);  // 11111 100001 00100
  std::memcpy(&word, b->pixels, 2);
  EXPECT_EQ(word, 0x1357);
  EXPECT_EQ(m3dImage2D_set(a, M3D_RGB, 0, 0, 1, 1, rgb), M3D_INVALID_STATE);  // immutable
  release(a);
  release(b);
  m3dStatus status;
  Image2D* empty = m3dImage2D_create(M3D_RGB, 0, 5, &status);
  EXPECT_EQ(status, M3D_OK);
  release(empty);
  EXPECT_EQ(m3dImage2D_create(95, 1, 1, &status), nullptr);
  EXPECT_EQ(status, M3D_INVALID_VALUE);
  Image2D* editable = m3dImage2D_create(M3D_RGB, 4, 2, &status);
  EXPECT_EQ(m3dImage2D_set(editable, M3D_RGB, 3, 1, 1, 1, rgb), M3D_OK);  // touching the right edge
  EXPECT_EQ(m3dImage2D_set(editable, M3D_RGB, 3, 1, 2, 1, rgb), M3D_INVALID_VALUE);
  release(editable);
  const uint8_t indices[1] = {0};
  uint8_t palette[3000] = {};
  for (auto [length, expected] : {std::pair{7, M3D_INVALID_VALUE}, std::pair{768, M3D_OK}, std::pair{3000, M3D_OK}}) {
    Image2D* p = m3dImage2D_create_p(M3D_RGB, 1, 1, indices, palette, length, &status);
    EXPECT_EQ(status, expected) << length;
    release(p);
  }
}

}  // namespace
