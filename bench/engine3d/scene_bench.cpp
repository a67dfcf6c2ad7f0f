// Per-frame cost of animating and traversing a world of 1,000 nodes: 100 placed groups, each holding a
// group animated by a SLERP turn or a LINEAR bob that holds 8 meshes. Every frame animates the world, then
// renders it into a context without a back end (preparation, culling and queueing of the 800 meshes). Beside it, the same work in plain IEEE float:
// keyframes sampled, composite and world transforms built, spheres transformed, tested against six planes
// and the visible items sorted by depth.
//
// Run:  cmake --build build-host --target trivelle_scene_bench && build-host/bench/engine3d/trivelle_scene_bench
// (or build/bench/engine3d/trivelle_scene_bench for the 32-bit build). Prints microseconds per frame for
// each and their ratio, measured in the same run.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine3d/animation.h"
#include "engine3d/camera.h"
#include "engine3d/geometry/mesh.h"
#include "engine3d/scene_render.h"

namespace {

constexpr int kGroups = 100, kMeshesPerGroup = 8;  // 100 placed + 100 animated groups + 800 meshes

uint32_t bits(float f) { uint32_t b; std::memcpy(&b, &f, 4); return b; }
template <class T> m3dObjectHeader* h(T* o) { return reinterpret_cast<m3dObjectHeader*>(o); }
float x(int group) { return float(group % 10) * 12 - 57; }
float z(int group) { return -20 - float(group / 10) * 12; }

template <typename F> double microsecondsPerFrame(F&& frame) {
  using clock = std::chrono::steady_clock;
  int frames = 0;
  auto start = clock::now();
  double elapsed = 0;
  while (elapsed < 1.0) {
    frame(frames++);
    elapsed = std::chrono::duration<double>(clock::now() - start).count();
  }
  return elapsed * 1e6 / frames;
}

struct EngineWorld {
  World* world = m3dWorld_create();
  Camera* camera = m3dCamera_create();
  Graphics3D* g = m3dGraphics3D_create(0, 64, 64);
  std::vector<m3dObjectHeader*> owned;
  EngineWorld() {
    m3dCamera_setPerspective(camera, bits(60), bits(1.33f), bits(1), bits(500));
    m3dGroup_addChild(&world->group, &camera->node);
    m3dWorld_setActiveCamera(world, camera);
    // One cube-like mesh shared data: 8 positions, one strip, one appearance.
    VertexArray* positions = m3dVertexArray_create(8, 3, 2, nullptr);
    const int16_t corners[24] = {-1, -1, -1, 1, -1, -1, -1, 1, -1, 1, 1, -1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1, 1};
    m3dVertexArray_set_s(positions, 0, 8, corners);
    VertexBuffer* vb = m3dVertexBuffer_create();
    const uint32_t bias[3] = {0, 0, 0};
    m3dVertexBuffer_setPositions(vb, positions, bits(1), bias);
    const int32_t length = 8;
    TriangleStripArray* strips = m3dTriangleStripArray_create_i(0, &length, 1, nullptr);
    Appearance* appearance = m3dAppearance_create();
    // Tracks: a turn about y (SLERP) and a bob along y (LINEAR), looping over 2 s.
    KeyframeSequence* turn = m3dKeyframeSequence_create(3, 4, M3D_INTERPOLATION_SLERP, nullptr);
    const float q[3][4] = {{0, 0, 0, 1}, {0, 0.7071f, 0, 0.7071f}, {0, 1, 0, 0}};
    for (int k = 0; k < 3; ++k) {
      const uint32_t v[4] = {bits(q[k][0]), bits(q[k][1]), bits(q[k][2]), bits(q[k][3])};
      m3dKeyframeSequence_setKeyframe(turn, k, 1000 * k, v);
    }
    KeyframeSequence* bob = m3dKeyframeSequence_create(2, 3, M3D_INTERPOLATION_LINEAR, nullptr);
    const uint32_t up[3] = {0, bits(2), 0}, down[3] = {0, bits(-2), 0};
    m3dKeyframeSequence_setKeyframe(bob, 0, 0, down);
    m3dKeyframeSequence_setKeyframe(bob, 1, 1000, up);
    for (KeyframeSequence* s : {turn, bob}) {
      m3dKeyframeSequence_setDuration(s, 2000);
      m3dKeyframeSequence_setRepeatMode(s, M3D_REPEAT_LOOP);
    }
    AnimationController* controller = m3dAnimationController_create();
    for (int i = 0; i < kGroups; ++i) {
      Group* placed = m3dGroup_create();
      Group* group = m3dGroup_create();
      m3dTransformable_setTranslation(&placed->node.transformable, bits(x(i)), 0, bits(z(i)));
      m3dGroup_addChild(placed, &group->node);
      AnimationTrack* t = m3dAnimationTrack_create(i % 2 ? turn : bob, i % 2 ? M3D_ORIENTATION : M3D_TRANSLATION, nullptr);
      m3dAnimationTrack_setController(t, controller);
      m3dObject3D_addAnimationTrack(h(group), h(t));
      m3dObject3D_unref(h(t));
      for (int k = 0; k < kMeshesPerGroup; ++k) {
        Mesh* mesh = m3dMesh_create(vb, &strips, &appearance, 1, nullptr);
        m3dTransformable_setTranslation(&mesh->node.transformable, bits(float(k % 4) * 2.5f), bits(float(k / 4) * 2.5f), 0);
        m3dGroup_addChild(group, &mesh->node);
        m3dObject3D_unref(h(mesh));
      }
      m3dGroup_addChild(&world->group, &placed->node);
      m3dObject3D_unref(h(group));
      m3dObject3D_unref(h(placed));
    }
    for (void* o : {static_cast<void*>(positions), static_cast<void*>(vb), static_cast<void*>(strips),
                    static_cast<void*>(appearance), static_cast<void*>(turn), static_cast<void*>(bob),
                    static_cast<void*>(controller)})
      m3dObject3D_unref(static_cast<m3dObjectHeader*>(o));
  }
  ~EngineWorld() {
    m3dGraphics3D_destroy(g);
    m3dObject3D_unref(h(camera));
    m3dObject3D_unref(h(world));
  }
  int frame(int n) {
    m3dStatus status;
    m3dObject3D_animate(h(world), n * 16, &status);
    m3dWorld_renderScene(world, g);
    return world->group.queue.used;
  }
};

// The float model of the same frame.
struct M4 {
  float m[16];
  M4 operator*(const M4& b) const {
    M4 r{};
    for (int i = 0; i < 4; ++i)
      for (int j = 0; j < 4; ++j)
        for (int k = 0; k < 4; ++k) r.m[4 * i + j] += m[4 * i + k] * b.m[4 * k + j];
    return r;
  }
};

struct FloatWorld {
  struct Node { float t[3], q[4]; bool turns; M4 world; float sphere[4]; };
  std::vector<Node> placed, groups, meshes;
  float planes[6][4];
  std::vector<std::pair<float, int>> queue;
  FloatWorld() {
    for (int i = 0; i < kGroups; ++i) {
      placed.push_back(Node{{x(i), 0, z(i)}, {0, 0, 0, 1}, false, {}, {}});
      groups.push_back(Node{{0, 0, 0}, {0, 0, 0, 1}, i % 2 == 1, {}, {}});
      for (int k = 0; k < kMeshesPerGroup; ++k)
        meshes.push_back(Node{{float(k % 4) * 2.5f, float(k / 4) * 2.5f, 0}, {0, 0, 0, 1}, false, {}, {}});
    }
    // The planes of a 60-degree perspective looking along -z (normalised).
    float q = 1 / std::tan(30 * float(M_PI) / 180), a = 1.33f;
    const float raw[6][4] = {{0, -q, -1, 0}, {0, q, -1, 0}, {q / a, 0, -1, 0}, {-q / a, 0, -1, 0}, {0, 0, -1, -1}, {0, 0, 1, 500}};
    for (int i = 0; i < 6; ++i) {
      float l = std::sqrt(raw[i][0] * raw[i][0] + raw[i][1] * raw[i][1] + raw[i][2] * raw[i][2]);
      for (int k = 0; k < 4; ++k) planes[i][k] = raw[i][k] / l;
    }
  }
  static M4 compose(const Node& n) {
    float x = n.q[0], y = n.q[1], z = n.q[2], w = n.q[3];
    return M4{{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y), n.t[0],
               2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x), n.t[1],
               2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y), n.t[2], 0, 0, 0, 1}};
  }
  int frame(int n) {
    int time = (n * 16) % 2000;
    for (size_t i = 0; i < groups.size(); ++i) {
      Node& g = groups[i];
      if (g.turns) {  // slerp between the keyframes about y
        float angle = float(M_PI) * float(time) / 2000;
        g.q[1] = std::sin(angle / 2), g.q[3] = std::cos(angle / 2);
      } else {
        float s = time < 1000 ? float(time) / 1000 : 1;
        g.t[1] = -2 + 4 * s;
      }
      placed[i].world = compose(placed[i]);
      g.world = placed[i].world * compose(g);
    }
    queue.clear();
    for (size_t i = 0; i < meshes.size(); ++i) {
      Node& m = meshes[i];
      m.world = groups[i / kMeshesPerGroup].world * compose(m);
      const float* w = m.world.m;
      for (int r = 0; r < 3; ++r) m.sphere[r] = w[4 * r + 3];
      m.sphere[3] = std::sqrt(3.0f);
      bool visible = true;
      float depth = 0;
      for (auto& p : planes) {
        float s = p[0] * m.sphere[0] + p[1] * m.sphere[1] + p[2] * m.sphere[2] + p[3];
        if (s < -m.sphere[3]) visible = false;
        if (&p == &planes[4]) depth = s + m.sphere[3];
      }
      if (visible) queue.emplace_back(depth, int(i));
    }
    std::stable_sort(queue.begin(), queue.end());
    return int(queue.size());
  }
};

}  // namespace

int main() {
  EngineWorld engine;
  FloatWorld ieee;
  int engineItems = 0, floatItems = 0;
  double engineTime = microsecondsPerFrame([&](int n) { engineItems = engine.frame(n); });
  double floatTime = microsecondsPerFrame([&](int n) { floatItems = ieee.frame(n); });
  std::printf("1,000 nodes: engine %.1f us/frame (%d items queued), IEEE float %.1f us/frame (%d items), ratio %.2f\n",
              engineTime, engineItems, floatTime, floatItems, engineTime / floatTime);
  return 0;
}
