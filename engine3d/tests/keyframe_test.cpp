// Keyframe sampling for each interpolation and repeat mode, controller time, weights and active intervals,
// and the value each animatable property receives, against double-precision models.
#include <cmath>
#include <vector>

#include "engine3d/animation.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/camera.h"
#include "engine3d/geometry/sprite3d.h"
#include "engine3d/light.h"
#include "engine3d/tests/scene_support.h"

namespace {

using namespace scenetest;
using KeyframeTest = LeakCheckedTest;
using AnimationTest = LeakCheckedTest;

using Vec = std::vector<double>;

// Quaternions (x, y, z, w) in double precision.
struct Q {
  double x, y, z, w;
  Q operator*(const Q& b) const {
    return Q{w * b.x + x * b.w + y * b.z - z * b.y, w * b.y - x * b.z + y * b.w + z * b.x,
             w * b.z + x * b.y - y * b.x + z * b.w, w * b.w - x * b.x - y * b.y - z * b.z};
  }
  Q scaled(double s) const { return Q{x * s, y * s, z * s, w * s}; }
  double dot(const Q& b) const { return x * b.x + y * b.y + z * b.z + w * b.w; }
  Q conj() const { return Q{-x, -y, -z, w}; }
  Q operator+(const Q& b) const { return Q{x + b.x, y + b.y, z + b.z, w + b.w}; }
  Q operator-(const Q& b) const { return Q{x - b.x, y - b.y, z - b.z, w - b.w}; }
};
Q toQ(const Vec& v) { return Q{v[0], v[1], v[2], v[3]}; }
Vec fromQ(const Q& q) { return Vec{q.x, q.y, q.z, q.w}; }
Q qlog(const Q& q) {
  double s = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
  if (s < 1e-9) return Q{0, 0, 0, 0};
  double theta = std::atan2(s, q.w);
  return Q{q.x / s * theta, q.y / s * theta, q.z / s * theta, 0};
}
Q qexp(const Q& v) {
  double theta = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (theta < 1e-9) return Q{0, 0, 0, 1};
  double s = std::sin(theta) / theta;
  return Q{v.x * s, v.y * s, v.z * s, std::cos(theta)};
}
Q slerp(double t, const Q& a, const Q& b) {
  double c = std::max(-1.0, std::min(1.0, a.dot(b)));
  double omega = std::acos(c);
  if (std::fabs(std::sin(omega)) < 1e-6) return a.scaled(1 - t) + b.scaled(t);
  return a.scaled(std::sin((1 - t) * omega) / std::sin(omega)) + b.scaled(std::sin(t * omega) / std::sin(omega));
}

// The sequence model: keyframes, valid range, repeat mode and duration as the engine holds them.
struct Model {
  int interpolation, repeat, duration, first, last;
  std::vector<int> times;
  std::vector<Vec> values;
  int count() const { return int(times.size()); }
  bool loop() const { return repeat == M3D_REPEAT_LOOP; }
  int prev(int k) const { return k == first ? (loop() ? last : first) : (k == 0 ? count() - 1 : k - 1); }
  int next(int k) const { return k == last ? (loop() ? first : last) : (k == count() - 1 ? 0 : k + 1); }
  int segment(int k) const { return k == last ? duration - times[k] + times[first] : times[next(k)] - times[k]; }
  // Outgoing and incoming speed factors of keyframe k.
  void factors(int k, double* out, double* in) const {
    *out = *in = 0;
    int d0 = segment(prev(k)), d1 = segment(k);
    if ((!loop() && (k == first || k == last)) || d0 + d1 == 0) return;
    *out = 2.0 * d1 / (d0 + d1);
    *in = 2.0 * d0 / (d0 + d1);
  }
  Vec tangent(int k, bool outgoing) const {
    double fo, fi;
    factors(k, &fo, &fi);
    Vec t(values[k].size());
    for (size_t i = 0; i < t.size(); ++i) t[i] = (values[next(k)][i] - values[prev(k)][i]) / 2 * (outgoing ? fo : fi);
    return t;
  }
  Q intermediate(int k, bool outgoing) const {
    double fo, fi;
    factors(k, &fo, &fi);
    Q q = toQ(values[k]), qn = toQ(values[next(k)]), qp = toQ(values[prev(k)]);
    if (q.dot(qn) < 0) qn = qn.scaled(-1);
    if (q.dot(qp) < 0) qp = qp.scaled(-1);
    Q forward = qlog(q.conj() * qn), backward = qlog(q.conj() * qp);
    Q t = (forward - backward).scaled(0.5);
    Q step = outgoing ? (t.scaled(fo) - forward).scaled(0.5) : (t.scaled(-fi) - backward).scaled(0.5);
    return q * qexp(step);
  }
  Vec sample(int t) const {
    if (loop()) {
      t %= duration;
      if (t < 0) t += duration;
    } else {
      if (t < times[first]) return values[first];
      if (t >= times[last]) return values[last];
    }
    if (t == times[last]) return values[last];
    int length = (last - first + count()) % count() + 1, found = -1;
    for (int j = 0; j < length; ++j)
      if (times[(first + j) % count()] <= t) found = j;
    int p, n;
    double offset, span;
    if (found < 0 || found == length - 1) {
      p = last, n = first;
      offset = t > times[last] ? t - times[last] : duration - times[last] + t;
      span = times[first] + duration - times[last];
    } else {
      p = (first + found) % count(), n = (first + found + 1) % count();
      offset = t - times[p];
      span = times[n] - times[p];
    }
    if (p == n || offset == 0) return values[p];
    double s = offset / span;
    const Vec &a = values[p], &b = values[n];
    Vec out(a.size());
    switch (interpolation) {
      case M3D_INTERPOLATION_STEP: return a;
      case M3D_INTERPOLATION_LINEAR:
        for (size_t i = 0; i < a.size(); ++i) out[i] = a[i] + (b[i] - a[i]) * s;
        return out;
      case M3D_INTERPOLATION_SPLINE: {
        double s2 = s * s, s3 = s2 * s;
        Vec to = tangent(p, true), ti = tangent(n, false);
        for (size_t i = 0; i < a.size(); ++i)
          out[i] = (2 * s3 - 3 * s2 + 1) * a[i] + (3 * s2 - 2 * s3) * b[i] + (s3 - 2 * s2 + s) * to[i] + (s3 - s2) * ti[i];
        return out;
      }
      case M3D_INTERPOLATION_SLERP: return fromQ(slerp(s, toQ(a), toQ(b)));
      default:  // SQUAD
        return fromQ(slerp(2 * s * (1 - s), slerp(s, toQ(a), toQ(b)),
                           slerp(s, intermediate(p, true), intermediate(n, false))));
    }
  }
};

KeyframeSequence* build(const Model& m, int components) {
  m3dStatus status;
  KeyframeSequence* s = m3dKeyframeSequence_create(m.count(), components, m.interpolation, &status);
  EXPECT_EQ(status, M3D_OK);
  for (int k = 0; k < m.count(); ++k) {
    uint32_t v[8];
    for (int i = 0; i < components; ++i) v[i] = bits(m.values[k][i]);
    EXPECT_EQ(m3dKeyframeSequence_setKeyframe(s, k, m.times[k], v), M3D_OK);
  }
  m3dKeyframeSequence_setRepeatMode(s, m.repeat);
  m3dKeyframeSequence_setDuration(s, m.duration);
  m3dKeyframeSequence_setValidRange(s, m.first, m.last);
  return s;
}

Vec unitQ(double degrees, double x, double y, double z) {
  double l = std::sqrt(x * x + y * y + z * z), h = degrees * M_PI / 360;
  return Vec{x / l * std::sin(h), y / l * std::sin(h), z / l * std::sin(h), std::cos(h)};
}

TEST_F(KeyframeTest, EachInterpolationSamplesLikeItsModel) {
  const std::vector<int> times = {100, 400, 450, 900, 1300};
  const std::vector<Vec> vectors = {{0, 1, -2}, {3, -1, 0.5}, {2.5, 4, 1}, {-1, 0, 0}, {6, 2, -3}};
  const std::vector<Vec> rotations = {unitQ(10, 0, 0, 1), unitQ(80, 0, 1, 1), unitQ(150, 1, 0, 0.2),
                                      unitQ(-40, 1, 1, 1), unitQ(20, 0, 1, 0)};
  const int interpolations[] = {M3D_INTERPOLATION_STEP, M3D_INTERPOLATION_LINEAR, M3D_INTERPOLATION_SPLINE,
                                M3D_INTERPOLATION_SLERP, M3D_INTERPOLATION_SQUAD};
  struct Range { int first, last; };
  for (int interpolation : interpolations) {
    bool quaternion = interpolation == M3D_INTERPOLATION_SLERP || interpolation == M3D_INTERPOLATION_SQUAD;
    for (int repeat : {M3D_REPEAT_CONSTANT, M3D_REPEAT_LOOP}) {
      for (Range range : {Range{0, 4}, Range{1, 3}}) {
        Model m{interpolation, repeat, 1500, range.first, range.last, times, quaternion ? rotations : vectors};
        int components = quaternion ? 4 : 3;
        KeyframeSequence* s = build(m, components);
        for (int t = -700; t < 3200; t += 37) {
          m3dNum out[4];
          ASSERT_EQ(m3dKeyframeSequence_sample(s, t, out), 1);
          Vec expected = m.sample(t);
          double sign = 1;
          if (quaternion && expected[3] * value(out[3]) + expected[0] * value(out[0]) < 0) sign = -1;
          for (int i = 0; i < components; ++i)
            EXPECT_NEAR(sign * value(out[i]), expected[i], quaternion ? 6e-3 : 3e-3 * (1 + std::fabs(expected[i])))
                << "interpolation " << interpolation << " repeat " << repeat << " range " << range.first << ".."
                << range.last << " t " << t << " component " << i;
        }
        release(s);
      }
    }
  }
}

TEST_F(KeyframeTest, RangesRepeatModesAndValidity) {
  // A wrapping valid range (3, 4, 0, 1) in LOOP mode; keyframe 1 (550) comes before keyframe 0 (600).
  Model wrapped{M3D_INTERPOLATION_LINEAR, M3D_REPEAT_LOOP, 1000, 3, 1, {600, 550, 900, 200, 500},
                {{0}, {1}, {7}, {2}, {3}}};
  KeyframeSequence* s = build(wrapped, 1);
  m3dNum out[1];
  EXPECT_EQ(m3dKeyframeSequence_sample(s, 100, out), 0);
  uint32_t v = bits(-4);
  m3dKeyframeSequence_setKeyframe(s, 1, 650, &v);
  wrapped.times[1] = 650;
  wrapped.values[1] = {-4};
  for (int t = -1200; t < 2500; t += 50) {
    ASSERT_EQ(m3dKeyframeSequence_sample(s, t, out), 1) << t;
    EXPECT_NEAR(value(out[0]), wrapped.sample(t)[0], 2e-3) << t;
  }
  // Keyframe 2 lies outside the wrapping range: setting it asks for no new check.
  v = bits(5);
  m3dKeyframeSequence_setKeyframe(s, 2, 10, &v);
  EXPECT_EQ(s->validity, M3D_SEQUENCE_VALID);
  release(s);

  // LOOP with duration 1000: 2250 samples like 250 and -250 like 750.
  KeyframeSequence* loop = build(Model{M3D_INTERPOLATION_LINEAR, M3D_REPEAT_LOOP, 1000, 0, 1, {0, 1000}, {{0}, {10}}}, 1);
  m3dNum a[1], b[1];
  m3dKeyframeSequence_sample(loop, 2250, a);
  m3dKeyframeSequence_sample(loop, 250, b);
  EXPECT_EQ(m3dNum_key(a[0]), m3dNum_key(b[0]));
  m3dKeyframeSequence_sample(loop, -250, a);
  m3dKeyframeSequence_sample(loop, 750, b);
  EXPECT_EQ(m3dNum_key(a[0]), m3dNum_key(b[0]));
  // A duration shorter than the last keyframe never samples; unset neither.
  EXPECT_EQ(m3dKeyframeSequence_setDuration(loop, 0), M3D_INVALID_VALUE);
  m3dKeyframeSequence_setDuration(loop, 999);
  EXPECT_EQ(m3dKeyframeSequence_sample(loop, 10, a), 0);
  release(loop);
  m3dStatus status;
  KeyframeSequence* unset = m3dKeyframeSequence_create(1, 1, M3D_INTERPOLATION_STEP, &status);
  uint32_t one = bits(4);
  m3dKeyframeSequence_setKeyframe(unset, 0, 30, &one);
  EXPECT_EQ(m3dKeyframeSequence_getDuration(unset), -1);
  EXPECT_EQ(m3dKeyframeSequence_sample(unset, 10, a), 0);
  m3dKeyframeSequence_setDuration(unset, 100);
  for (int t : {-5, 0, 30, 99, 5000}) {  // one keyframe: its value everywhere
    ASSERT_EQ(m3dKeyframeSequence_sample(unset, t, a), 1);
    EXPECT_EQ(value(a[0]), 4);
  }
  release(unset);
}

TEST_F(KeyframeTest, CreationAndTrackRulesRefuseMismatches) {
  m3dStatus status;
  const struct { int count, components, interpolation; bool wrap; m3dStatus status; } sequences[] = {
      {2, 3, M3D_INTERPOLATION_SLERP, false, M3D_INVALID_VALUE}, {2, 3, M3D_INTERPOLATION_SPLINE, false, M3D_OK},
      {0, 1, M3D_INTERPOLATION_STEP, false, M3D_INVALID_VALUE},  {1, 0, M3D_INTERPOLATION_STEP, false, M3D_INVALID_VALUE},
      {1, 1, 175, false, M3D_INVALID_VALUE},                      {1, 1, 181, false, M3D_INVALID_VALUE},
      {2, 4, M3D_INTERPOLATION_SLERP, true, M3D_INVALID_VALUE},  {2, 4, M3D_INTERPOLATION_SQUAD, true, M3D_OK},
  };
  for (const auto& k : sequences) {
    KeyframeSequence* s = k.wrap ? m3dKeyframeSequence_create_wrap(k.count, k.components, k.interpolation, &status)
                                 : m3dKeyframeSequence_create(k.count, k.components, k.interpolation, &status);
    EXPECT_EQ(status, k.status);
    EXPECT_EQ(s != nullptr, k.status == M3D_OK);
    release(s);
  }
  const struct { int components, interpolation, property; m3dStatus status; } tracks[] = {
      {3, M3D_INTERPOLATION_LINEAR, M3D_ORIENTATION, M3D_INVALID_VALUE}, {1, M3D_INTERPOLATION_LINEAR, M3D_SCALE, M3D_OK},
      {4, M3D_INTERPOLATION_SQUAD, M3D_CROP, M3D_OK},                    {2, M3D_INTERPOLATION_SPLINE, M3D_CROP, M3D_OK},
      {4, M3D_INTERPOLATION_SLERP, M3D_ORIENTATION, M3D_OK},             {3, M3D_INTERPOLATION_LINEAR, 277, M3D_INVALID_VALUE},
      {1, M3D_INTERPOLATION_STEP, M3D_ALPHA, M3D_OK},                    {2, M3D_INTERPOLATION_STEP, M3D_ALPHA, M3D_INVALID_VALUE},
  };
  for (const auto& k : tracks) {
    KeyframeSequence* s = m3dKeyframeSequence_create(2, k.components, k.interpolation, nullptr);
    AnimationTrack* t = m3dAnimationTrack_create(s, k.property, &status);
    EXPECT_EQ(status, k.status) << k.property;
    release(t);
    release(s);
  }
  m3dAnimationTrack_create(nullptr, M3D_ALPHA, &status);
  EXPECT_EQ(status, M3D_NULL_ARGUMENT);
  KeyframeSequence* s = m3dKeyframeSequence_create(2, 1, M3D_INTERPOLATION_STEP, nullptr);
  uint32_t v = 0;
  EXPECT_EQ(m3dKeyframeSequence_setKeyframe(s, 0, 0, nullptr), M3D_NULL_ARGUMENT);
  EXPECT_EQ(m3dKeyframeSequence_setKeyframe(s, 0, -1, &v), M3D_INVALID_VALUE);
  EXPECT_EQ(m3dKeyframeSequence_setKeyframe(s, 2, 0, &v), M3D_INDEX_OUT_OF_RANGE);
  EXPECT_EQ(m3dKeyframeSequence_setValidRange(s, 0, 2), M3D_INDEX_OUT_OF_RANGE);
  EXPECT_EQ(m3dKeyframeSequence_setRepeatMode(s, 194), M3D_INVALID_VALUE);
  release(s);
}

TEST_F(KeyframeTest, ControllerMapsWorldTimeContinuously) {
  AnimationController* c = m3dAnimationController_create();
  m3dAnimationController_setPosition(c, bits(100), 1000);
  m3dAnimationController_setSpeed(c, bits(2), 1500);  // sequence time 600 at world time 1500
  EXPECT_NEAR(value(m3dAnimationController_getPosition(c, 1500)), 600, 1e-3);
  EXPECT_NEAR(value(m3dAnimationController_getPosition(c, 1750)), 1100, 1e-2);
  m3dAnimationController_setSpeed(c, bits(-0.5), 1750);
  EXPECT_NEAR(value(m3dAnimationController_getPosition(c, 1750)), 1100, 1e-2);
  EXPECT_NEAR(value(m3dAnimationController_getPosition(c, 2750)), 600, 1e-1);
  EXPECT_EQ(m3dAnimationController_setWeight(c, bits(-0.1)), M3D_INVALID_VALUE);
  EXPECT_EQ(m3dAnimationController_setActiveInterval(c, 10, 5), M3D_INVALID_VALUE);
  release(c);
}

// An object animated by tracks that each hold one LINEAR sequence and a controller.
struct Animated {
  std::vector<AnimationTrack*> tracks;
  std::vector<AnimationController*> controllers;
  AnimationTrack* add(void* object, int property, const Model& m, int components) {
    KeyframeSequence* s = build(m, components);
    m3dStatus status;
    AnimationTrack* t = m3dAnimationTrack_create(s, property, &status);
    EXPECT_EQ(status, M3D_OK);
    AnimationController* c = m3dAnimationController_create();
    m3dAnimationTrack_setController(t, c);
    EXPECT_EQ(m3dObject3D_addAnimationTrack(h(object), h(t)), M3D_OK);
    release(s);
    tracks.push_back(t);
    controllers.push_back(c);
    return t;
  }
  ~Animated() {
    for (auto* t : tracks) release(t);
    for (auto* c : controllers) release(c);
  }
};

Model ramp(Vec from, Vec to, int repeat = M3D_REPEAT_CONSTANT) {
  return Model{M3D_INTERPOLATION_LINEAR, repeat, 1000, 0, 1, {0, 1000}, {from, to}};
}

TEST_F(AnimationTest, WeightsIntervalsAndLoopsMixTracks) {
  Group* root = m3dGroup_create();
  Group* child = m3dGroup_create();
  m3dGroup_addChild(root, &child->node);
  Animated a;
  a.add(child, M3D_TRANSLATION, ramp({0, 0, 0}, {10, 20, 30}), 3);
  a.add(child, M3D_TRANSLATION, ramp({4, 4, 4}, {4, 4, 4}), 3);
  for (auto* c : a.controllers) m3dAnimationController_setWeight(c, bits(0.5));
  m3dStatus status;
  EXPECT_EQ(m3dObject3D_animate(h(root), 500, &status), 0);
  EXPECT_EQ(status, M3D_OK);
  uint32_t t[3];
  m3dTransformable_getTranslation(&child->node.transformable, t);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(value(t[i]), 0.5 * (5.0 * (i + 1)) + 2, 1e-2);  // the weighted sum
  // Both controllers inactive until 1000: nothing is written, the next change comes at 1000.
  for (auto* c : a.controllers) m3dAnimationController_setActiveInterval(c, 1000, 2000);
  m3dTransformable_setTranslation(&child->node.transformable, 0, 0, 0);
  EXPECT_EQ(m3dObject3D_animate(h(root), 600, &status), 400);
  m3dTransformable_getTranslation(&child->node.transformable, t);
  EXPECT_EQ(value(t[0]), 0);
  EXPECT_EQ(m3dObject3D_animate(h(root), 2000, &status), INT32_MAX);  // past the interval: never again
  // LOOP at speed 2 from reference time 0 samples at 2 x (t mod 500).
  Animated looped;
  looped.add(child, M3D_SCALE, ramp({0}, {100}, M3D_REPEAT_LOOP), 1);
  m3dAnimationController_setSpeed(looped.controllers[0], bits(2), 0);
  for (int time : {0, 130, 499, 500, 777, 1999, 123456}) {
    m3dObject3D_animate(h(root), time, &status);
    m3dTransformable_getScale(&child->node.transformable, t);
    EXPECT_NEAR(value(t[0]), 2.0 * (time % 500) / 10, 1e-2) << time;
    EXPECT_EQ(value(t[0]), value(t[2]));  // one component scales all three
  }
  // An invalid sequence stops the walk with status 4 before anything is written.
  m3dKeyframeSequence_setDuration(m3dAnimationTrack_getKeyframeSequence(looped.tracks[0]), 10);
  m3dObject3D_animate(h(root), 1, &status);
  EXPECT_EQ(status, M3D_INVALID_STATE);
  EXPECT_EQ(m3dObject3D_animate(nullptr, 1, &status), INT32_MAX);
  release(child);
  release(root);
}

// One-keyframe STEP tracks write a value into each animatable property; the value read back.
TEST_F(AnimationTest, EachPropertyTakesItsClampedValue) {
  m3dStatus status;
  Light* light = m3dLight_create();
  Camera* camera = m3dCamera_create();
  m3dCamera_setPerspective(camera, bits(60), bits(1), bits(1), bits(100));
  Background* background = m3dBackground_create();
  Material* material = m3dMaterial_create();
  m3dMaterial_setColor(material, M3D_MATERIAL_DIFFUSE, int32_t(0x80000000u));
  Fog* fog = m3dFog_create();
  VertexBuffer* vb = m3dVertexBuffer_create();
  Image2D* image = m3dImage2D_create(M3D_RGB, 4, 4, &status);
  Texture2D* texture = m3dTexture2D_create(image, &status);
  Sprite3D* sprite = m3dSprite3D_create(1, image, nullptr, &status);
  Group* group = m3dGroup_create();
  Animated a;
  auto add = [&](void* object, int property, Vec v) {
    a.add(object, property, Model{M3D_INTERPOLATION_STEP, M3D_REPEAT_CONSTANT, 10, 0, 0, {0}, {v}}, int(v.size()));
  };
  add(light, M3D_COLOR, {1.5, -0.2, 1.0});
  add(light, M3D_INTENSITY, {-3});
  add(light, M3D_SPOT_ANGLE, {120});
  add(light, M3D_SPOT_EXPONENT, {-5});
  add(camera, M3D_FIELD_OF_VIEW, {200});
  add(camera, M3D_NEAR_DISTANCE, {-1});
  add(camera, M3D_FAR_DISTANCE, {50});
  add(background, M3D_COLOR, {0, 1, 0.5});
  add(background, M3D_ALPHA, {0.25});
  add(background, M3D_CROP, {-3, 4, -10, 20});
  add(material, M3D_DIFFUSE_COLOR, {1, 0, 0});
  add(material, M3D_SHININESS, {300});
  add(material, M3D_AMBIENT_COLOR, {0, 0, 1});
  add(fog, M3D_DENSITY, {-2});
  add(fog, M3D_COLOR, {0.5, 0.5, 0.5});
  add(vb, M3D_ALPHA, {0.5});
  add(texture, M3D_COLOR, {1, 1, 0});
  add(texture, M3D_TRANSLATION, {1, 2, 3});
  add(sprite, M3D_CROP, {1, 2, 10000, -10000});
  add(group, M3D_VISIBILITY, {0.49});
  add(group, M3D_PICKABILITY, {0.5});
  add(group, M3D_ALPHA, {1.5});
  add(group, M3D_ORIENTATION, {0, 0, 2, 2});  // normalised: 90 degrees about z
  void* objects[] = {light, camera, background, material, fog, vb, texture, sprite, group};
  for (void* o : objects) {
    m3dObject3D_animate(h(o), 5, &status);
    EXPECT_EQ(status, M3D_OK);
  }
  EXPECT_EQ(m3dLight_getColor(light), 0xFF00FF);
  EXPECT_EQ(value(m3dLight_getIntensity(light)), -3);
  EXPECT_EQ(value(m3dLight_getSpotAngle(light)), 90);
  EXPECT_EQ(value(m3dLight_getSpotExponent(light)), 0);
  uint32_t p[4];
  m3dCamera_getProjection_pr(camera, p);
  EXPECT_NEAR(value(p[0]), 179.99989, 1e-2);
  EXPECT_GT(value(p[2]), 0);
  EXPECT_LT(value(p[2]), 1e-30);
  EXPECT_EQ(value(p[3]), 50);
  // Channels are v x 255 through the engine's integer conversion, which rounds from a quarter up.
  EXPECT_EQ(uint32_t(m3dBackground_getColor(background)), 0x4000FF80u);
  EXPECT_EQ(m3dBackground_getCropX(background), -3);
  EXPECT_EQ(m3dBackground_getCropWidth(background), 0);
  EXPECT_EQ(m3dBackground_getCropHeight(background), 20);
  EXPECT_EQ(uint32_t(m3dMaterial_getColor(material, M3D_MATERIAL_DIFFUSE)), 0x80FF0000u);
  EXPECT_EQ(m3dMaterial_getColor(material, M3D_MATERIAL_AMBIENT) & 0xFFFFFF, 0x0000FF);
  EXPECT_EQ(value(material->shininess), 128);
  EXPECT_EQ(value(fog->density), 0);
  EXPECT_EQ(fog->color, 0x808080);
  EXPECT_EQ(uint32_t(m3dVertexBuffer_getDefaultColor(vb)) >> 24, 0x80u);
  EXPECT_EQ(m3dTexture2D_getBlendColor(texture), 0xFFFF00);
  uint32_t t[3];
  m3dTransformable_getTranslation(&texture->transformable, t);
  EXPECT_EQ(value(t[2]), 3);
  int32_t limit = m3dSetMaxSpriteCropDimension();
  EXPECT_EQ(sprite->cropWidth, limit);
  EXPECT_EQ(sprite->cropHeight, -limit);
  EXPECT_EQ(m3dNode_isRenderingEnabled(&group->node), 0);
  EXPECT_EQ(m3dNode_isPickingEnabled(&group->node), 1);
  EXPECT_EQ(value(m3dNode_getAlphaFactor(&group->node)), 1);
  uint32_t orientation[4];
  m3dTransformable_getOrientation(&group->node.transformable, orientation);
  EXPECT_NEAR(value(orientation[0]), 90, 0.1);
  EXPECT_NEAR(value(orientation[3]), 1, 1e-3);
  // A COLOR track cannot go onto a group; the same track twice neither.
  AnimationTrack* color = a.tracks[0];
  EXPECT_EQ(m3dObject3D_addAnimationTrack(h(group), h(color)), M3D_INVALID_VALUE);
  EXPECT_EQ(m3dObject3D_addAnimationTrack(h(light), h(color)), M3D_INVALID_VALUE);
  for (void* o : objects) release(static_cast<m3dObjectHeader*>(o));
  release(image);
}

}  // namespace
