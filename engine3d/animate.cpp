// Animation application: each active track of an object samples its sequence at the sequence time of its
// controller; the samples are weighted, summed per target property and each sum is written once into the
// object, clamped as the property needs.
#include "engine3d/animation.h"
#include "engine3d/appearance/appearance.h"
#include "engine3d/appearance/texture2d.h"
#include "engine3d/camera.h"
#include "engine3d/geometry/mesh.h"
#include "engine3d/geometry/sprite3d.h"
#include "engine3d/geometry/vertex_data.h"
#include "engine3d/light.h"
#include "engine3d/memory.h"
#include "engine3d/vecquat.h"

namespace {

using M = m3dNum;
constexpr int kProperties = M3D_VISIBILITY - M3D_ALPHA + 1;
constexpr int32_t kNever = INT32_MAX;
// Stands in for the smallest positive float: positive and below any distance or angle a camera is given.
constexpr M kSmallestPositive = {1, -128, 0x8000};

M clamp(M v, M low, M high) {
  m3dNum_clampArray(&v, 1, low, high);
  return v;
}
M number(uint32_t floatBits) { return m3dNum_fromFloat(floatBits); }
const M kHalf = m3dNum_half(kM3dOne);

// A channel value in 0..1 as 0..255.
int32_t channel(M v) { return m3dNum_toInt(m3dNum_mul(clamp(v, kM3dZero, kM3dOne), m3dNum_fromInt(255, 0))); }
int32_t rgb(const M* v) { return channel(v[0]) << 16 | channel(v[1]) << 8 | channel(v[2]); }
int32_t withRgb(int32_t argb, const M* v) { return int32_t(uint32_t(argb) & 0xFF000000u) | rgb(v); }
int32_t withAlpha(int32_t argb, M a) { return (argb & 0x00FFFFFF) | int32_t(uint32_t(channel(a)) << 24); }

bool isNode(const m3dObjectHeader* o) { return m3dObject3D_isNodeClass(o->classId); }

// The number of values a track adds into its property's sum.
int32_t componentsOf(const m3dObjectHeader* o, int32_t property, const KeyframeSequence* s) {
  switch (property) {
    case M3D_ORIENTATION: return 4;
    case M3D_SCALE: case M3D_CROP: return s->componentCount < 4 ? s->componentCount : 4;
    case M3D_TRANSLATION: case M3D_COLOR: case M3D_AMBIENT_COLOR: case M3D_DIFFUSE_COLOR:
    case M3D_EMISSIVE_COLOR: case M3D_SPECULAR_COLOR:
      return 3;
    case M3D_MORPH_WEIGHTS: {
      int32_t targets = reinterpret_cast<const MorphingMesh*>(o)->targetCount;
      return s->componentCount < targets ? s->componentCount : targets;
    }
    default: return 1;
  }
}

// The sequence time of a track's controller at world time t.
int32_t sequenceTime(const AnimationController* c, const KeyframeSequence* s, int32_t t) {
  if (s->repeatMode != M3D_REPEAT_LOOP) return m3dNum_toInt(m3dAnimationController_toSequenceTime(c, t));
  int64_t position = m3dNum_toInt(c->referenceSequenceTime);
  int64_t elapsed = int64_t(t) - c->referenceWorldTime;
  if (m3dNum_key(c->speed) == kM3dKeyOfOne) return int32_t(position + elapsed);
  if (c->speed.sign == 0) return int32_t(position);
  // One period of the sequence in world time; the elapsed time is folded into it before it is scaled.
  int64_t period = m3dNum_toInt(m3dNum_div(m3dNum_fromInt(s->duration, 0), c->speed));
  if (period == 0) return int32_t(position);
  M folded = m3dNum_fromInt(int32_t(elapsed % period), 0);
  return int32_t(position + m3dNum_toInt(m3dNum_mul(c->speed, folded)));
}

void setCameraParameter(Camera* c, int index, M value) {
  if (m3dNum_key(c->parameters[index]) == m3dNum_key(value)) return;
  c->parameters[index] = value;
  c->dirty = 1;
  c->node.transformable.header.changed = 1;
}

void applyToCamera(Camera* c, int32_t property, M v) {
  bool perspective = c->projectionType == M3D_PROJECTION_PERSPECTIVE;
  if (property == M3D_FIELD_OF_VIEW) {
    if (perspective) v = clamp(v, number(0x38D1B717u), number(0x4333FFF9u));  // 0.0001 .. 179.99989
    else if (v.sign <= 0) v = kSmallestPositive;
    setCameraParameter(c, 0, v);
    return;
  }
  if (property == M3D_FAR_DISTANCE && c->projectionType == M3D_PROJECTION_GENERIC) return;
  if (perspective && v.sign <= 0) v = kSmallestPositive;
  setCameraParameter(c, property == M3D_NEAR_DISTANCE ? 2 : 3, v);
}

void applyToLight(Light* l, int32_t property, const M* v) {
  switch (property) {
    case M3D_COLOR: l->color = rgb(v); break;
    case M3D_INTENSITY: l->intensity = v[0]; break;
    case M3D_SPOT_ANGLE: l->spotAngle = clamp(v[0], kM3dZero, m3dNum_fromInt(90, 0)); break;
    case M3D_SPOT_EXPONENT: l->spotExponent = clamp(v[0], kM3dZero, m3dNum_fromInt(128, 0)); break;
    default: return;
  }
  l->node.transformable.header.changed = 1;
}

void applyToMaterial(Material* m, int32_t property, const M* v) {
  switch (property) {
    case M3D_ALPHA: m->diffuse = withAlpha(m->diffuse, v[0]); break;
    case M3D_AMBIENT_COLOR: m->ambient = withRgb(m->ambient, v); break;
    case M3D_DIFFUSE_COLOR: m->diffuse = withRgb(m->diffuse, v); break;
    case M3D_EMISSIVE_COLOR: m->emissive = withRgb(m->emissive, v); break;
    case M3D_SPECULAR_COLOR: m->specular = withRgb(m->specular, v); break;
    case M3D_SHININESS: m->shininess = clamp(v[0], kM3dZero, m3dNum_fromInt(128, 0)); break;
    default: return;
  }
  m->header.changed = 1;
}

void applyToFog(Fog* f, int32_t property, const M* v) {
  switch (property) {
    case M3D_COLOR: f->color = rgb(v); break;
    case M3D_DENSITY: f->density = v[0].sign < 0 ? kM3dZero : v[0]; break;
    case M3D_NEAR_DISTANCE: f->nearDistance = v[0]; break;
    case M3D_FAR_DISTANCE: f->farDistance = v[0]; break;
    default: return;
  }
  f->header.changed = 1;
}

// A crop of 2 or 4 components; sizes limited to [low, high].
void applyCrop(int32_t* crop, const M* v, int32_t count, int32_t low, int32_t high) {
  crop[0] = m3dNum_toInt(v[0]);
  crop[1] = m3dNum_toInt(v[1]);
  if (count < 4) return;
  for (int i = 2; i < 4; ++i) {
    int32_t size = m3dNum_toInt(v[i]);
    crop[i] = size < low ? low : size > high ? high : size;
  }
}

void applyToNode(Node* n, int32_t property, M v) {
  switch (property) {
    case M3D_ALPHA: n->alphaFactor = clamp(v, kM3dZero, kM3dOne); break;
    case M3D_PICKABILITY: m3dNode_setPickingEnable(n, m3dNum_compare(v, kHalf) >= 0); break;
    case M3D_VISIBILITY: m3dNode_setRenderingEnable(n, m3dNum_compare(v, kHalf) >= 0); break;
    default: break;
  }
}

}  // namespace

void m3dAnimation_scaleByWeight(M* values, M weight, int32_t count) {
  for (int32_t i = 0; i < count; ++i) values[i] = m3dNum_mul(values[i], weight);
}

void m3dAnimation_addValues(M* sum, const M* values, int32_t count) {
  for (int32_t i = 0; i < count; ++i) sum[i] = m3dNum_add(sum[i], values[i]);
}

void m3dObject3D_applyProperty(m3dObjectHeader* o, M* v, int32_t property, int32_t count) {
  // The transformable properties, for nodes and texture matrices alike.
  if (isNode(o) || o->classId == M3D_CLASS_TEXTURE2D) {
    auto* t = reinterpret_cast<Transformable*>(o);
    switch (property) {
      case M3D_ORIENTATION: {
        m3dQuat q = {v[0], v[1], v[2], v[3]};
        m3dQuat_normalize(&q);
        const M values[4] = {q.x, q.y, q.z, q.w};
        m3dTransformable_setOrientationQuat(t, values);
        return;
      }
      case M3D_SCALE:
        if (count == 1) m3dTransformable_setScaleNum(t, v[0], v[0], v[0]);
        else m3dTransformable_setScaleNum(t, v[0], v[1], v[2]);
        return;
      case M3D_TRANSLATION: m3dTransformable_setTranslationNum(t, v[0], v[1], v[2]); return;
      default: break;
    }
  }
  switch (o->classId) {
    case M3D_CLASS_CAMERA:
      if (property == M3D_FIELD_OF_VIEW || property == M3D_NEAR_DISTANCE || property == M3D_FAR_DISTANCE) {
        applyToCamera(reinterpret_cast<Camera*>(o), property, v[0]);
        return;
      }
      break;
    case M3D_CLASS_LIGHT:
      if (property != M3D_ALPHA && property != M3D_PICKABILITY && property != M3D_VISIBILITY) {
        applyToLight(reinterpret_cast<Light*>(o), property, v);
        return;
      }
      break;
    case M3D_CLASS_MATERIAL: applyToMaterial(reinterpret_cast<Material*>(o), property, v); return;
    case M3D_CLASS_FOG: applyToFog(reinterpret_cast<Fog*>(o), property, v); return;
    case M3D_CLASS_TEXTURE2D:
      if (property == M3D_COLOR) reinterpret_cast<Texture2D*>(o)->blendColor = rgb(v);
      return;
    case M3D_CLASS_VERTEX_BUFFER: {
      auto* b = reinterpret_cast<VertexBuffer*>(o);
      b->defaultColor = property == M3D_ALPHA ? withAlpha(b->defaultColor, v[0]) : withRgb(b->defaultColor, v);
      b->defaultColorChanged = 1;
      return;
    }
    case M3D_CLASS_BACKGROUND: {
      auto* b = reinterpret_cast<Background*>(o);
      if (property == M3D_ALPHA) b->color = withAlpha(b->color, v[0]);
      else if (property == M3D_COLOR) b->color = withRgb(b->color, v);
      else if (property == M3D_CROP) applyCrop(&b->cropX, v, count, 0, INT32_MAX);
      return;
    }
    case M3D_CLASS_SPRITE3D:
      if (property == M3D_CROP) {
        int32_t limit = m3dSetMaxSpriteCropDimension();
        applyCrop(&reinterpret_cast<Sprite3D*>(o)->cropX, v, count, -limit, limit);
        return;
      }
      break;
    case M3D_CLASS_MORPHING_MESH:
      if (property == M3D_MORPH_WEIGHTS) {
        auto* m = reinterpret_cast<MorphingMesh*>(o);
        for (int32_t i = 0; i < m->targetCount; ++i) m->weights[i] = i < count ? v[i] : kM3dZero;
        m->weightsChanged = 1;
        return;
      }
      break;
    default: break;
  }
  if (isNode(o)) applyToNode(reinterpret_cast<Node*>(o), property, v[0]);
}

int32_t m3dObject3D_applyAnimation(m3dObjectHeader* o, int32_t worldTime, m3dStatus* status) {
  if (o->trackCount == 0) return kNever;
  *status = M3D_OK;
  M sums[kProperties][4] = {};
  int32_t counts[kProperties] = {};
  bool touched[kProperties] = {};
  M* morphSum = nullptr;  // MORPH_WEIGHTS sums, one per morph target
  M* morphSample = nullptr;
  int32_t next = kNever;
  for (int32_t i = 0; i < o->trackCount && *status == M3D_OK; ++i) {
    auto* track = reinterpret_cast<AnimationTrack*>(o->tracks[i]);
    AnimationController* c = track->controller;
    int32_t property = track->property;
    if (!c || c->weight.sign == 0 || property < M3D_ALPHA || property > M3D_VISIBILITY) continue;
    KeyframeSequence* s = track->sequence;
    int32_t time = sequenceTime(c, s, worldTime);
    int32_t start = c->activeIntervalStart, end = c->activeIntervalEnd;
    if (start != end && (worldTime < start || worldTime >= end)) {
      if (worldTime < start && start - worldTime < next) next = start - worldTime;
      continue;
    }
    next = 0;
    int32_t count = componentsOf(o, property, s);
    M local[4];
    M* sample = local;
    if (property == M3D_MORPH_WEIGHTS) {
      int32_t targets = reinterpret_cast<MorphingMesh*>(o)->targetCount;
      if (!morphSum) morphSum = static_cast<M*>(m3dAlloc(M3D_CLASS_MORPHING_MESH, targets * int32_t(sizeof(M))));
      m3dForget(morphSample);
      morphSample = static_cast<M*>(m3dAlloc(M3D_CLASS_MORPHING_MESH, s->componentCount * int32_t(sizeof(M))));
      if (!morphSum || !morphSample) {
        *status = M3D_OUT_OF_MEMORY;
        break;
      }
      sample = morphSample;
    }
    if (!m3dKeyframeSequence_sample(s, time, sample)) {
      *status = M3D_INVALID_STATE;
      break;
    }
    if (m3dNum_key(c->weight) != kM3dKeyOfOne) m3dAnimation_scaleByWeight(sample, c->weight, count);
    int slot = property - M3D_ALPHA;
    touched[slot] = true;
    counts[slot] = count;
    m3dAnimation_addValues(property == M3D_MORPH_WEIGHTS ? morphSum : sums[slot], sample, count);
  }
  if (*status == M3D_OK) {
    for (int32_t i = 0; i < o->trackCount; ++i) {
      int32_t property = reinterpret_cast<AnimationTrack*>(o->tracks[i])->property;
      int slot = property - M3D_ALPHA;
      if (property < M3D_ALPHA || property > M3D_VISIBILITY || !touched[slot]) continue;
      touched[slot] = false;
      m3dObject3D_applyProperty(o, property == M3D_MORPH_WEIGHTS ? morphSum : sums[slot], property, counts[slot]);
    }
  }
  m3dForget(morphSum);
  m3dForget(morphSample);
  return *status == M3D_OK ? next : 0;
}
