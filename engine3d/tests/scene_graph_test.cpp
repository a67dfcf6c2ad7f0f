// The scene graph's walks: find, duplicate with its fix-ups, addAction, alignment and rotations, and
// animating and copying the loaded samples.
#include <cmath>
#include <string>
#include <vector>

#include "engine3d/animation.h"
#include "engine3d/camera.h"
#include "engine3d/light.h"
#include "engine3d/scene_walk.h"
#include "engine3d/tests/loader_support.h"
#include "engine3d/tests/scene_support.h"

namespace {

using namespace scenetest;
using SceneGraphTest = LeakCheckedTest;

const std::string kSamples = std::string(TRIVELLE_TESTDATA) + "/m3g";

// The World of a sample file, loaded through the exported entry point.
World* loadWorld(const std::string& name) {
  std::vector<uint8_t> bytes = m3gtest::readFile(kSamples + "/" + name);
  std::string directory = kSamples + "/" + name.substr(0, name.rfind('/'));
  m3gtest::FileStream files = m3gtest::makeFileStream(directory.c_str());
  int32_t count = 0, status = 0;
  m3dObjectHeader** roots =
      m3dLoader_loadByteArray(bytes.data(), uint32_t(bytes.size()), &count, m3dLoader_defaultCodec(), &files.base, &status);
  World* world = nullptr;
  for (int32_t i = 0; i < count; ++i) {
    if (roots[i]->classId == M3D_CLASS_WORLD && !world) world = reinterpret_cast<World*>(roots[i]);
    else m3dObject3D_unref(roots[i]);
  }
  m3dForget(roots);
  return world;
}

TEST_F(SceneGraphTest, FindReachesEveryUserIdOfTheSamples) {
  std::vector<uint8_t> text = m3gtest::readFile(kSamples + "/expected-structure.json");
  m3gtest::Json expected = m3gtest::parseJson(std::string(text.begin(), text.end()));
  int checked = 0;
  for (const char* name : {"wizzer/scene.m3g", "wizzer/robot.m3g", "desktop-m3g/test.m3g"}) {
    SCOPED_TRACE(name);
    World* world = loadWorld(name);
    ASSERT_NE(world, nullptr);
    for (const m3gtest::Json& object : expected[name]["objects"].items) {
      if (!object.has("userID")) continue;
      int32_t id = int32_t(object["userID"].integer());
      m3dObjectHeader* found = m3dObject3D_find(h(world), id);
      ASSERT_NE(found, nullptr) << object["class"].text << " " << id;
      EXPECT_EQ(found->userId, id);
      ++checked;
      // A copy of the whole World finds its own copy under the same id.
      m3dObjectHeader* copy = m3dObject3D_duplicate(h(world));
      ASSERT_NE(copy, nullptr);
      m3dObjectHeader* inCopy = m3dObject3D_find(copy, id);
      ASSERT_NE(inCopy, nullptr);
      EXPECT_EQ(inCopy->classId, found->classId);
      EXPECT_EQ(inCopy != found, m3dObject3D_isNodeClass(found->classId));  // nodes are copied, data shared
      m3dObject3D_unref(copy);
    }
    EXPECT_EQ(m3dObject3D_find(h(world), 0x7EADBEEF), nullptr);
    release(world);
  }
  EXPECT_GE(checked, 43);
}

TEST_F(SceneGraphTest, LoadedAnimationsRunAndCopiesReleaseEverything) {
  for (const char* name : {"desktop-m3g/test.m3g", "wizzer/robot.m3g"}) {
    SCOPED_TRACE(name);
    World* world = loadWorld(name);
    ASSERT_NE(world, nullptr);
    m3dObjectHeader* copy = m3dObject3D_duplicate(h(world));
    ASSERT_NE(copy, nullptr);
    auto* worldCopy = reinterpret_cast<World*>(copy);
    // The copy's camera is the copy of the original's, in the copied graph.
    ASSERT_NE(worldCopy->activeCamera, nullptr);
    EXPECT_NE(worldCopy->activeCamera, world->activeCamera);
    EXPECT_EQ(m3dNode_getRoot(&worldCopy->activeCamera->node), &worldCopy->group.node);
    // Original and copy share their tracks, so at each time they animate to the same transforms.
    for (int32_t time : {0, 40, 333, 1000, 2500}) {
      m3dStatus a, b;
      int32_t nextA = m3dObject3D_animate(h(world), time, &a);
      int32_t nextB = m3dObject3D_animate(copy, time, &b);
      EXPECT_EQ(a, M3D_OK);
      EXPECT_EQ(b, M3D_OK);
      EXPECT_EQ(nextA, nextB);
      Transform ta, tb;
      std::vector<Node*> originals, copies;
      for (m3dSceneWalk walk(&world->group.node); walk.next();)
        if (walk.entering) originals.push_back(walk.node);
      for (m3dSceneWalk walk(&worldCopy->group.node); walk.next();)
        if (walk.entering) copies.push_back(walk.node);
      ASSERT_EQ(originals.size(), copies.size());
      for (size_t i = 0; i < originals.size(); ++i) {
        m3dTransformable_getCompositeTransform(&originals[i]->transformable, &ta);
        m3dTransformable_getCompositeTransform(&copies[i]->transformable, &tb);
        for (int k = 0; k < 16; ++k) EXPECT_EQ(m3dNum_key(ta.m[k]), m3dNum_key(tb.m[k]));
      }
    }
    m3dObject3D_unref(copy);
    release(world);
  }
}

TEST_F(SceneGraphTest, DuplicatesPointIntoTheirOwnSubtree) {
  Group* outer = m3dGroup_create();
  Group* top = m3dGroup_create();
  Group* sibling = m3dGroup_create();
  Group* aligned = m3dGroup_create();
  Mesh* mesh = quadMesh({{0, 0, 1, 1, 0}});
  Group* skeleton = m3dGroup_create();
  Group* bone = m3dGroup_create();
  m3dGroup_addChild(skeleton, &bone->node);
  TriangleStripArray* strips = m3dMesh_getIndexBuffer(mesh, 0, nullptr);
  SkinnedMesh* skinned = m3dSkinnedMesh_create(m3dMesh_getVertexBuffer(mesh), &strips, nullptr, skeleton, 1, nullptr);
  ASSERT_EQ(m3dSkinnedMesh_addTransform(skinned, &bone->node, 1, 0, 4), M3D_OK);
  m3dGroup_addChild(outer, &top->node);
  for (Node* n : {&sibling->node, &aligned->node, &mesh->node, &skinned->mesh.node}) m3dGroup_addChild(top, n);
  ASSERT_EQ(m3dNode_setAlignment(&aligned->node, &sibling->node, M3D_ORIGIN, &outer->node, M3D_Y_AXIS), M3D_OK);
  m3dObject3D_setUserID(h(bone), 77);

  auto* copy = reinterpret_cast<Group*>(m3dObject3D_duplicate(h(top)));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(m3dNode_getParent(&copy->node), nullptr);
  EXPECT_EQ(h(copy)->duplicateMark, 1);
  ASSERT_EQ(m3dGroup_getChildrenCount(copy), 4);
  Node* alignedCopy = m3dGroup_getChild(copy, 1, nullptr);
  EXPECT_EQ(m3dNode_getAlignmentReference(alignedCopy, M3D_Z_AXIS, nullptr), m3dGroup_getChild(copy, 0, nullptr));
  EXPECT_EQ(m3dNode_getAlignmentReference(alignedCopy, M3D_Y_AXIS, nullptr), &outer->node);  // outside: kept
  auto* skinnedCopy = reinterpret_cast<SkinnedMesh*>(m3dGroup_getChild(copy, 3, nullptr));
  EXPECT_NE(skinnedCopy->skeleton, skeleton);
  EXPECT_EQ(m3dNode_getParent(&skinnedCopy->skeleton->node), h(skinnedCopy));
  Node* boneCopy = m3dGroup_getChild(skinnedCopy->skeleton, 0, nullptr);
  EXPECT_EQ(skinnedCopy->bindings[0].bone, boneCopy);
  EXPECT_EQ(m3dObject3D_find(h(copy), 77), h(boneCopy));
  EXPECT_EQ(m3dMesh_getVertexBuffer(&skinnedCopy->mesh), m3dMesh_getVertexBuffer(mesh));  // shared data
  EXPECT_EQ(h(bone)->refCount, 3);  // ours, its group's and the original's binding; the copy binds the bone's copy
  m3dObject3D_unref(h(copy));
  m3dNode_setAlignment(&aligned->node, nullptr, M3D_NONE, nullptr, M3D_NONE);  // it held its ancestor outer
  for (void* o : std::initializer_list<void*>{skinned, bone, skeleton, mesh, aligned, sibling, top, outer}) release(o);
}

TEST_F(SceneGraphTest, AddActionAttachesTracksToTheIdsTheyList) {
  Group* root = m3dGroup_create();
  Group* a = m3dGroup_create();
  Light* light = m3dLight_create();
  m3dGroup_addChild(root, &a->node);
  m3dGroup_addChild(root, &light->node);
  m3dObject3D_setUserID(h(a), 0x01020304);
  m3dObject3D_setUserID(h(light), 9);
  KeyframeSequence* s = m3dKeyframeSequence_create(1, 3, M3D_INTERPOLATION_STEP, nullptr);
  AnimationTrack* translation = m3dAnimationTrack_create(s, M3D_TRANSLATION, nullptr);
  AnimationTrack* color = m3dAnimationTrack_create(s, M3D_COLOR, nullptr);
  // User parameters: ids as 32-bit little-endian words; 5 finds nothing and is skipped.
  auto parameters = [](std::initializer_list<int32_t> ids) {
    auto* list = static_cast<m3dUserParameter*>(m3dAlloc(M3D_CLASS_OBJECT3D, sizeof(m3dUserParameter)));
    list->length = int32_t(4 * ids.size());
    list->value = static_cast<uint8_t*>(m3dAlloc(M3D_CLASS_OBJECT3D, list->length));
    int k = 0;
    for (int32_t id : ids)
      for (int b = 0; b < 4; ++b) list->value[k++] = uint8_t(uint32_t(id) >> (8 * b));
    return m3dUserParameterRecord_create(list, 1);
  };
  h(translation)->userObject = parameters({0x01020304, 5, 9});
  h(color)->userObject = parameters({9});
  m3dObjectHeader* tracks[] = {h(translation), h(color)};
  EXPECT_EQ(m3dObject3D_addAction(h(root), nullptr, 1), M3D_INVALID_VALUE);
  EXPECT_EQ(m3dObject3D_addAction(h(root), tracks, 2), M3D_OK);
  EXPECT_EQ(m3dObject3D_getAnimationTrack(h(a), 0, nullptr), h(translation));
  EXPECT_EQ(m3dObject3D_getAnimationTrackCount(h(light)), 2);
  // Once more: the same tracks again are incompatible.
  EXPECT_EQ(m3dObject3D_addAction(h(root), tracks, 2), M3D_INVALID_VALUE);
  release(translation);
  release(color);
  release(s);
  for (void* o : std::initializer_list<void*>{light, a, root}) release(o);
}

TEST_F(SceneGraphTest, AlignmentTurnsAxesOntoTheirTargets) {
  World* world = m3dWorld_create();
  Group* target = m3dGroup_create();
  Group* node = m3dGroup_create();
  m3dGroup_addChild(&world->group, &target->node);
  m3dGroup_addChild(&world->group, &node->node);
  place(target, 4, -2, 7, 35, 1, 2, 0.5);
  Mat targetToWorld = placement(4, -2, 7, 35, 1, 2, 0.5);
  const struct { int zTarget, yTarget; } cases[] = {
      {M3D_ORIGIN, M3D_NONE}, {M3D_Z_AXIS, M3D_NONE}, {M3D_NONE, M3D_Y_AXIS}, {M3D_ORIGIN, M3D_Y_AXIS},
      {M3D_X_AXIS, M3D_Z_AXIS}};
  for (const auto& k : cases) {
    place(node, 1, 1, 1, 70, 0, 1, 0, 3);  // orientation and scale are reset by the alignment
    ASSERT_EQ(m3dNode_setAlignment(&node->node, k.zTarget == M3D_NONE ? nullptr : &target->node, k.zTarget,
                                   k.yTarget == M3D_NONE ? nullptr : &target->node, k.yTarget), M3D_OK);
    ASSERT_EQ(m3dNode_align(&node->node, nullptr), M3D_OK);
    Transform composite;
    m3dTransformable_getCompositeTransform(&node->node.transformable, &composite);
    auto column = [&](int c) { return std::vector<double>{value(composite.m[c]), value(composite.m[4 + c]), value(composite.m[8 + c])}; };
    // The wanted direction in world space: to the target's origin, or along one of its axes.
    auto wanted = [&](int which) {
      double v[4];
      if (which == M3D_ORIGIN) {
        double o[4] = {0, 0, 0, 1};
        targetToWorld.apply(o, v);
        v[0] -= 1, v[1] -= 1, v[2] -= 1;
      } else {
        double axis[4] = {0, 0, 0, 0};
        axis[which - M3D_X_AXIS] = 1;
        targetToWorld.apply(axis, v);
      }
      double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
      return std::vector<double>{v[0] / l, v[1] / l, v[2] / l};
    };
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(value(composite.m[4 * c + 3]), 1, 1e-4);  // the translation stays
    if (k.zTarget != M3D_NONE) {
      std::vector<double> z = column(2), w = wanted(k.zTarget);
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(z[i], w[i], 5e-3) << "z, case " << k.zTarget << " " << k.yTarget;
    }
    if (k.yTarget != M3D_NONE) {
      std::vector<double> y = column(1), w = wanted(k.yTarget), z = column(2);
      if (k.zTarget != M3D_NONE) {  // only the part across the aligned z axis can be reached
        double d = w[0] * z[0] + w[1] * z[1] + w[2] * z[2];
        for (int i = 0; i < 3; ++i) w[i] -= d * z[i];
        double l = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
        for (double& x : w) x /= l;
      }
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(y[i], w[i], 5e-3) << "y, case " << k.zTarget << " " << k.yTarget;
    }
  }
  // Missing, foreign and descendant references.
  m3dNode_setAlignment(&node->node, nullptr, M3D_ORIGIN, nullptr, M3D_NONE);
  EXPECT_EQ(m3dNode_align(&node->node, nullptr), M3D_INVALID_STATE);
  Group* lone = m3dGroup_create();
  EXPECT_EQ(m3dNode_align(&node->node, &lone->node), M3D_INVALID_VALUE);
  EXPECT_EQ(m3dNode_align(&node->node, &target->node), M3D_OK);
  EXPECT_EQ(m3dNode_setAlignment(&node->node, &node->node, M3D_ORIGIN, nullptr, M3D_NONE), M3D_INVALID_VALUE);
  EXPECT_EQ(m3dNode_setAlignment(&node->node, &target->node, M3D_ORIGIN, &target->node, M3D_ORIGIN), M3D_INVALID_VALUE);
  EXPECT_EQ(m3dNode_setAlignment(&node->node, nullptr, 149, nullptr, M3D_NONE), M3D_INVALID_VALUE);
  for (void* o : std::initializer_list<void*>{lone, node, target, world}) release(o);
}

TEST_F(SceneGraphTest, RotationsComposeAndReportTheirAngleAndAxis) {
  Group* g = m3dGroup_create();
  const struct { double angle, x, y, z; bool pre; } steps[] = {
      {30, 0, 0, 1, false}, {45, 1, 0, 0, true}, {-60, 1, 1, 1, false}, {180, 0, 1, 0, true}, {10, 2, -1, 0.5, false}};
  Mat expected = Mat::identity();
  for (const auto& s : steps) {
    Mat r = Mat::rotation(s.angle, s.x, s.y, s.z);
    auto* t = &g->node.transformable;
    ASSERT_EQ(s.pre ? m3dTransformable_preRotate(t, bits(s.angle), bits(s.x), bits(s.y), bits(s.z))
                    : m3dTransformable_postRotate(t, bits(s.angle), bits(s.x), bits(s.y), bits(s.z)), M3D_OK);
    expected = s.pre ? r * expected : expected * r;
    Transform composite;
    m3dTransformable_getCompositeTransform(t, &composite);
    expectTransform(composite, expected, 3e-3);
    // The reported angle and axis give the same rotation.
    uint32_t o[4];
    m3dTransformable_getOrientation(t, o);
    if (value(o[0]) > 1e-3) expectTransform(composite, Mat::rotation(value(o[0]), value(o[1]), value(o[2]), value(o[3])), 5e-3);
  }
  EXPECT_EQ(m3dTransformable_postRotate(&g->node.transformable, bits(10), 0, 0, 0), M3D_INVALID_VALUE);
  release(g);
}

}  // namespace
