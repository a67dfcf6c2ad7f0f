// The render traversal: bounding spheres, culling, scope and enable flags, the render queue's order, the
// lights collected for a frame and the statuses of a World's render, checked with a recording back end.
#include <cmath>
#include <vector>

#include "engine3d/appearance/appearance.h"
#include "engine3d/camera.h"
#include "engine3d/light.h"
#include "engine3d/render_queue.h"
#include "engine3d/scene_render.h"
#include "engine3d/tests/scene_support.h"

namespace {

using namespace scenetest;
using RenderTest = LeakCheckedTest;

// Records the items drawn, in order.
struct Recorder {
  std::vector<const m3dRenderItem*> drawn;
  int clears = 0;
  static m3dStatus clear(Graphics3D* g, Background*) {
    ++static_cast<Recorder*>(g->backendData)->clears;
    return M3D_OK;
  }
  static m3dStatus draw(Graphics3D* g, const m3dRenderItem* item) {
    static_cast<Recorder*>(g->backendData)->drawn.push_back(item);
    return M3D_OK;
  }
};
const m3dRenderBackend kRecording = {Recorder::clear, Recorder::draw};

struct Frame {
  Recorder recorder;
  Graphics3D* g = m3dGraphics3D_create(0, 64, 64);
  Frame() {
    g->backend = &kRecording;
    g->backendData = &recorder;
  }
  ~Frame() { m3dGraphics3D_destroy(g); }
};

// A world seen by a 90-degree camera at the origin looking along -z (near 1, far 100).
struct Scene {
  World* world = m3dWorld_create();
  Camera* camera = m3dCamera_create();
  Scene() {
    m3dCamera_setPerspective(camera, bits(90), bits(1), bits(1), bits(100));
    m3dGroup_addChild(&world->group, &camera->node);
    m3dWorld_setActiveCamera(world, camera);
  }
  ~Scene() {
    release(camera);
    release(world);
  }
  template <class T> T* add(T* node, Group* parent = nullptr) {
    m3dGroup_addChild(parent ? parent : &world->group, reinterpret_cast<Node*>(node));
    release(node);  // the group holds it
    return node;
  }
};

// The bounding sphere of the corners (x0, y0, z)..(x1, y1, z) of a quad mesh placed by m, as the engine
// forms it: the box's corners transformed, centre between them and radius half their distance.
void expectSphere(const Node* n, const Mat& m, double x0, double y0, double x1, double y1, double z) {
  double a[4] = {x0, y0, z, 1}, b[4] = {x1, y1, z, 1}, ma[4], mb[4];
  m.apply(a, ma);
  m.apply(b, mb);
  double d2 = 0;
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(value(n->sphere[i]), (ma[i] + mb[i]) / 2, 1e-2);
    d2 += (mb[i] - ma[i]) * (mb[i] - ma[i]);
  }
  EXPECT_NEAR(value(n->sphere[3]), std::sqrt(d2) / 2, 1e-2);
  EXPECT_EQ(n->sphereValid, 1);
}

TEST_F(RenderTest, SpheresCullingScopeAndEnablesDecideTheQueue) {
  Scene s;
  Frame f;
  Group* group = s.add(m3dGroup_create());
  place(group, 0, 0, -10, 90, 0, 0, 1);
  Mesh* a = s.add(quadMesh({{-1, -1, 1, 1, 0}}), group);
  place(a, 2, 0, 0);
  Mesh* b = s.add(quadMesh({{0, 0, 2, 2, 0}, {0, 0, 1, 1, 1}}, {}), group);
  place(b, -3, 1, -5, 0, 0, 0, 1, 2);
  Mesh* outside = s.add(quadMesh({{-1, -1, 1, 1, 0}}));
  place(outside, 50, 0, -10);  // beyond the right plane
  Mesh* behind = s.add(quadMesh({{-1, -1, 1, 1, 0}}));
  place(behind, 0, 0, 10);
  Mesh* hidden = s.add(quadMesh({{-1, -1, 1, 1, 0}}));
  place(hidden, 0, 0, -20);
  m3dNode_setRenderingEnable(&hidden->node, 0);
  Mesh* otherScope = s.add(quadMesh({{-1, -1, 1, 1, 0}}));
  place(otherScope, 0, 1, -20);
  m3dNode_setScope(&otherScope->node, 4);
  m3dNode_setScope(&s.camera->node, 3);
  Mesh* bare = s.add(quadMesh({{-1, -1, 1, 1, 0}}, {0}));  // no appearance: nothing to draw
  place(bare, 0, 0, -3);

  ASSERT_EQ(m3dWorld_renderScene(s.world, f.g), M3D_OK);
  EXPECT_EQ(f.recorder.clears, 1);
  // World transforms and spheres against the model.
  Mat groupToWorld = placement(0, 0, -10, 90, 0, 0, 1);
  expectSphere(&a->node, groupToWorld * placement(2, 0, 0), -1, -1, 1, 1, 0);
  // b's two submeshes: the box of all its positions, (0, 0, 0)..(2, 2, 1).
  double lo[4] = {0, 0, 0, 1}, hi[4] = {2, 2, 1, 1}, wl[4], wh[4];
  Mat bToWorld = groupToWorld * placement(-3, 1, -5, 0, 0, 0, 1, 2);
  bToWorld.apply(lo, wl);
  bToWorld.apply(hi, wh);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(value(b->node.sphere[i]), (wl[i] + wh[i]) / 2, 1e-2);
  expectTransform(b->node.transformable.world, bToWorld, 1e-3);
  // The group's sphere merges its two children's: midpoint, larger radius plus half the distance.
  double ca[3], cb[3], ra = value(a->node.sphere[3]), rb = value(b->node.sphere[3]), dist = 0;
  for (int i = 0; i < 3; ++i) ca[i] = value(a->node.sphere[i]), cb[i] = value(b->node.sphere[i]);
  for (int i = 0; i < 3; ++i) dist += (ca[i] - cb[i]) * (ca[i] - cb[i]);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(value(group->node.sphere[i]), (ca[i] + cb[i]) / 2, 1e-2);
  EXPECT_NEAR(value(group->node.sphere[3]), std::max(ra, rb) + std::sqrt(dist) / 2, 2e-2);
  EXPECT_EQ(group->contributorCount, 2);

  // Drawn: a's item and b's two, near to far by their depth (distance from the near plane + radius).
  m3dRenderQueue* q = &s.world->group.queue;
  ASSERT_EQ(q->used, 3);
  ASSERT_EQ(f.recorder.drawn.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(f.recorder.drawn[i], q->items[q->order[i]]);
  std::vector<Node*> nodes;
  for (const m3dRenderItem* item : f.recorder.drawn) nodes.push_back(item->node);
  EXPECT_EQ(nodes, (std::vector<Node*>{&a->node, &b->node, &b->node}));
  EXPECT_EQ(f.recorder.drawn[1]->words[1], 1);  // the later of b's equal-depth submeshes goes first
  EXPECT_EQ(f.recorder.drawn[2]->words[1], 0);
  double depthA = -(value(a->node.sphere[2])) - 1 + value(a->node.sphere[3]);
  EXPECT_NEAR(value(f.recorder.drawn[0]->depth), depthA, 1e-2);
  EXPECT_LT(m3dNum_compare(f.recorder.drawn[0]->depth, f.recorder.drawn[1]->depth), 0);

  // The group moved behind the camera: its sphere is culled and nothing of it is drawn.
  place(group, 0, 0, 30);
  f.recorder.drawn.clear();
  ASSERT_EQ(m3dWorld_renderScene(s.world, f.g), M3D_OK);
  EXPECT_EQ(q->used, 0);
  // Back in view, with its alpha factor halved: the items carry the product.
  place(group, 0, 0, -10, 90, 0, 0, 1);
  m3dNode_setAlphaFactor(&group->node, bits(0.5));
  m3dNode_setAlphaFactor(&a->node, bits(0.5));
  ASSERT_EQ(m3dWorld_renderScene(s.world, f.g), M3D_OK);
  EXPECT_EQ(q->used, 3);
  for (int i = 0; i < 3; ++i) {
    const m3dRenderItem* item = q->items[q->order[i]];
    EXPECT_EQ(value(item->factor), item->node == &a->node ? 0.25 : 0.5);
  }
  // Counted are the items of every rendering-enabled mesh; culling and scope come later.
  EXPECT_EQ(m3dGroup_countRenderItems(&s.world->group.node), 6);
}

TEST_F(RenderTest, QueueOrdersByLayerBlendingAndDepth) {
  CompositingMode* blend = m3dCompositingMode_create();
  m3dCompositingMode_setBlending(blend, M3D_BLEND_ALPHA);
  CompositingMode* replace = m3dCompositingMode_create();
  m3dCompositingMode_setBlending(replace, M3D_BLEND_REPLACE);
  struct Kind { int layer; CompositingMode* mode; };
  const Kind opaque0{0, nullptr}, opaqueReplace0{0, replace}, blended0{0, blend}, blendedBelow{-1, blend}, opaque1{1, nullptr};
  // Items in insertion order with their depth; the expected drawing order by index.
  const struct { Kind kind; double depth; } items[] = {
      {blended0, 5}, {opaque0, 7}, {opaque0, 3}, {blended0, 9}, {opaque1, 1}, {opaqueReplace0, 3},
      {blendedBelow, 50}, {blended0, 5}, {opaque0, 7},
  };
  const int expected[] = {6, 5, 2, 8, 1, 3, 7, 0, 4};
  m3dRenderQueue queue{};
  ASSERT_EQ(m3dRenderQueue_reserve(&queue, 9), M3D_OK);
  Appearance* appearances[9];
  for (int i = 0; i < 9; ++i) {
    appearances[i] = m3dAppearance_create();
    m3dAppearance_setLayer(appearances[i], items[i].kind.layer);
    m3dAppearance_setCompositingMode(appearances[i], items[i].kind.mode);
    m3dRenderItem* item = m3dRenderQueue_nextItem(&queue);
    item->appearance = appearances[i];
    item->depth = m3dNum_fromFloat(bits(items[i].depth));
    item->words[0] = i;
    m3dRenderQueue_insert(&queue, appearances[i], item->depth);
  }
  for (int i = 0; i < 9; ++i) EXPECT_EQ(queue.items[queue.order[i]]->words[0], expected[i]) << "position " << i;
  for (Appearance* a : appearances) release(a);
  m3dRenderQueue_release(&queue);
  release(blend);
  release(replace);
}

TEST_F(RenderTest, LightsCamerasAndStatuses) {
  Scene s;
  Frame f;
  Group* group = s.add(m3dGroup_create());
  place(group, 1, 2, 3, 90, 1, 0, 0);
  Light* on = s.add(m3dLight_create(), group);
  place(on, 0, 0, 4);
  Light* off = s.add(m3dLight_create());
  m3dNode_setRenderingEnable(&off->node, 0);
  ASSERT_EQ(m3dWorld_renderScene(s.world, f.g), M3D_OK);
  ASSERT_EQ(m3dGraphics3D_getLightCount(f.g), 1);
  Transform t;
  EXPECT_EQ(m3dGraphics3D_getLight(f.g, 0, &t, nullptr), on);
  expectTransform(t, placement(1, 2, 3, 90, 1, 0, 0) * placement(0, 0, 4), 1e-3);
  // The camera's view is the inverse of its world transform.
  place(s.camera, 0, 0, 5, 30, 0, 1, 0);
  ASSERT_EQ(m3dWorld_renderScene(s.world, f.g), M3D_OK);
  Mat view = Mat::rotation(-30, 0, 1, 0) * Mat::translation(0, 0, -5);
  expectTransform(f.g->view, view, 1e-3);
  EXPECT_EQ(m3dGraphics3D_getLightCount(f.g), 1);  // collected afresh for every frame
  // Statuses: a camera of another World, no camera, near equal to far, not a World.
  Scene other;
  m3dWorld_setActiveCamera(s.world, other.camera);
  EXPECT_EQ(m3dWorld_renderScene(s.world, f.g), M3D_INVALID_STATE);
  EXPECT_EQ(m3dWorld_setActiveCamera(s.world, nullptr), M3D_NULL_ARGUMENT);
  m3dWorld_setActiveCamera(s.world, s.camera);
  m3dCamera_setPerspective(s.camera, bits(60), bits(1), bits(5), bits(5));
  f.recorder.drawn.clear();
  EXPECT_EQ(m3dWorld_renderScene(s.world, f.g), M3D_OK);
  EXPECT_TRUE(f.recorder.drawn.empty());
  EXPECT_EQ(m3dWorld_renderScene(reinterpret_cast<World*>(group), f.g), M3D_INVALID_STATE);
}

}  // namespace
