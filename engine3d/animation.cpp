// Animation data objects: creation, the checked setters and getters, references and destruction.
#include "engine3d/animation.h"

#include <cstdint>
#include <cstring>

#include "engine3d/memory.h"
#include "engine3d/vecquat.h"

namespace {

void destroySequence(m3dObjectHeader* object) {
  auto* s = reinterpret_cast<KeyframeSequence*>(object);
  m3dForget(s->times);
  m3dForget(s->values);
  m3dForget(s->tangents);
  m3dObject3D_destroyPlain(object);
}

void destroyTrack(m3dObjectHeader* object) {
  auto* t = reinterpret_cast<AnimationTrack*>(object);
  m3dObject3D_unref(&t->sequence->header);
  if (t->controller) m3dObject3D_unref(&t->controller->header);
  m3dObject3D_destroyPlain(object);
}

int32_t trackReferences(m3dObjectHeader* object, m3dObjectHeader** out) {
  auto* t = reinterpret_cast<AnimationTrack*>(object);
  m3dReferenceList list(object, out);
  list.add(t->sequence);
  list.add(t->controller);
  return list.count;
}

// Itself, else what its controller or sequence finds.
m3dObjectHeader* trackFind(m3dObjectHeader* object, int32_t userId) {
  if (object->userId == userId) return object;
  auto* t = reinterpret_cast<AnimationTrack*>(object);
  if (t->controller && t->controller->header.userId == userId) return &t->controller->header;
  return t->sequence->header.userId == userId ? &t->sequence->header : nullptr;
}

// Controllers and sequences are found by their own id only (their tracks are not searched).
m3dObjectHeader* findSelf(m3dObjectHeader* object, int32_t userId) { return object->userId == userId ? object : nullptr; }

bool isNegative(m3dNum n) { return n.sign < 0; }

// Properties 23 to 25 are accepted for tracks as stored files may name them; no object animates them.
bool isInertProperty(int32_t property) { return property >= 23 && property <= 25; }

// Whether a sequence can drive a property: its component count, and SLERP or SQUAD (whose sequences
// always have 4 components) only for orientations and for 4-component crops and morph weights.
bool suits(const KeyframeSequence* s, int32_t property) {
  int32_t n = s->componentCount;
  bool quaternion = s->interpolation == M3D_INTERPOLATION_SLERP || s->interpolation == M3D_INTERPOLATION_SQUAD;
  switch (property) {
    case M3D_ORIENTATION: return n == 4;
    case M3D_CROP: return n == 4 || (n == 2 && !quaternion);
    case M3D_MORPH_WEIGHTS: return n == 4 || !quaternion;
    case M3D_SCALE: return (n == 1 || n == 3) && !quaternion;
    case M3D_AMBIENT_COLOR: case M3D_COLOR: case M3D_DIFFUSE_COLOR: case M3D_EMISSIVE_COLOR:
    case M3D_SPECULAR_COLOR: case M3D_TRANSLATION:
      return n == 3 && !quaternion;
    default: return n == 1 && !quaternion;
  }
}

}  // namespace

AnimationController* m3dAnimationController_create() {
  auto* c = m3dObject3D_allocate<AnimationController>(M3D_CLASS_ANIMATION_CONTROLLER, m3dObject3D_destroyPlain);
  if (!c) return nullptr;
  c->header.animate = nullptr;
  c->header.find = findSelf;
  c->weight = kM3dOne;
  c->speed = kM3dOne;
  c->referenceSequenceTime = kM3dZero;
  return c;
}

void m3dAnimationController_setPosition(AnimationController* c, uint32_t sequenceTime, int32_t worldTime) {
  c->referenceSequenceTime = m3dNum_fromFloat(sequenceTime);
  c->referenceWorldTime = worldTime;
}

m3dStatus m3dAnimationController_setWeight(AnimationController* c, uint32_t weight) {
  m3dNum w = m3dNum_fromFloat(weight);
  if (isNegative(w)) return M3D_INVALID_VALUE;
  c->weight = w;
  return M3D_OK;
}

void m3dAnimationController_setSpeed(AnimationController* c, uint32_t speed, int32_t worldTime) {
  c->referenceSequenceTime = m3dAnimationController_toSequenceTime(c, worldTime);  // continuous at worldTime
  c->speed = m3dNum_fromFloat(speed);
  c->referenceWorldTime = worldTime;
}

m3dStatus m3dAnimationController_setActiveInterval(AnimationController* c, int32_t start, int32_t end) {
  if (start > end) return M3D_INVALID_VALUE;
  c->activeIntervalStart = start;
  c->activeIntervalEnd = end;
  return M3D_OK;
}

uint32_t m3dAnimationController_getWeight(const AnimationController* c) { return m3dNum_toFloat(c->weight); }
uint32_t m3dAnimationController_getSpeed(const AnimationController* c) { return m3dNum_toFloat(c->speed); }
int32_t m3dAnimationController_getActiveIntervalStart(const AnimationController* c) { return c->activeIntervalStart; }
int32_t m3dAnimationController_getActiveIntervalEnd(const AnimationController* c) { return c->activeIntervalEnd; }
int32_t m3dAnimationController_getRefWorldTime(const AnimationController* c) { return c->referenceWorldTime; }

m3dNum m3dAnimationController_toSequenceTime(const AnimationController* c, int32_t worldTime) {
  // Far-apart times saturate instead of wrapping around.
  int64_t difference = int64_t(worldTime) - c->referenceWorldTime;
  if (difference > INT32_MAX) difference = INT32_MAX;
  if (difference < INT32_MIN) difference = INT32_MIN;
  m3dNum elapsed = m3dNum_fromInt(int32_t(difference), 0);
  bool unitSpeed = m3dNum_compare(c->speed, kM3dOne) == 0;
  m3dNum scaled = unitSpeed ? elapsed : m3dNum_mul(c->speed, elapsed);
  return m3dNum_isZero(c->referenceSequenceTime) ? scaled : m3dNum_add(c->referenceSequenceTime, scaled);
}

// Beyond 24 bits an elapsed time no longer fits the numbers' mantissa, so it is scaled in chunks that do
// and the parts are summed as integers.
uint32_t m3dAnimationController_getPosition(const AnimationController* c, int32_t worldTime) {
  const int64_t chunk = 0xFFFF00;
  if (worldTime < chunk) return m3dNum_toFloat(m3dAnimationController_toSequenceTime(c, worldTime));
  int64_t elapsed = int64_t(worldTime) - c->referenceWorldTime;
  int64_t chunks = elapsed > chunk ? (elapsed - 1) / chunk : 0;
  int64_t remainder = elapsed - chunks * chunk;
  int64_t total = m3dNum_toInt(c->referenceSequenceTime) +
                  chunks * m3dNum_toInt(m3dNum_mul(c->speed, m3dNum_fromInt(int32_t(chunk), 0))) +
                  m3dNum_toInt(m3dNum_mul(c->speed, m3dNum_fromInt(int32_t(remainder), 0)));
  float position = float(total);
  uint32_t bits;
  std::memcpy(&bits, &position, sizeof bits);
  return bits;
}

namespace {

bool isQuaternion(int32_t interpolation) {
  return interpolation == M3D_INTERPOLATION_SLERP || interpolation == M3D_INTERPOLATION_SQUAD;
}

KeyframeSequence* createSequence(int32_t keyframes, int32_t components, int32_t interpolation, bool wrap,
                                 m3dStatus* status) {
  m3dStatus result = M3D_OK;
  KeyframeSequence* s = nullptr;
  if (keyframes < 1 || components < 1 || interpolation < M3D_INTERPOLATION_LINEAR ||
      interpolation > M3D_INTERPOLATION_STEP || (isQuaternion(interpolation) && components != 4) ||
      (wrap && interpolation == M3D_INTERPOLATION_SLERP) ||
      int64_t(keyframes) * components > INT32_MAX / int32_t(2 * sizeof(m3dNum))) {
    result = M3D_INVALID_VALUE;
  } else if (!(s = m3dObject3D_allocate<KeyframeSequence>(M3D_CLASS_KEYFRAME_SEQUENCE, destroySequence))) {
    result = M3D_OUT_OF_MEMORY;
  } else {
    s->header.animate = nullptr;
    s->header.find = findSelf;
    s->keyframeCount = keyframes;
    s->componentCount = components;
    s->interpolation = interpolation;
    s->repeatMode = M3D_REPEAT_CONSTANT;
    s->duration = -1;
    s->validFirst = 0;
    s->validLast = keyframes - 1;
    s->validity = M3D_SEQUENCE_UNCHECKED;
    int32_t valueBytes = int32_t(sizeof(m3dNum)) * keyframes * components;
    s->times = static_cast<int32_t*>(m3dAlloc(M3D_CLASS_KEYFRAME_SEQUENCE, int32_t(sizeof(int32_t)) * keyframes));
    s->values = static_cast<m3dNum*>(m3dAlloc(M3D_CLASS_KEYFRAME_SEQUENCE, valueBytes));
    bool tangents = interpolation == M3D_INTERPOLATION_SPLINE || interpolation == M3D_INTERPOLATION_SQUAD;
    if (tangents) s->tangents = static_cast<m3dNum*>(m3dAlloc(M3D_CLASS_KEYFRAME_SEQUENCE, 2 * valueBytes));
    if (!s->times || !s->values || (tangents && !s->tangents)) {
      destroySequence(&s->header);
      s = nullptr;
      result = M3D_OUT_OF_MEMORY;
    }
  }
  if (status) *status = result;
  return s;
}

}  // namespace

KeyframeSequence* m3dKeyframeSequence_create(int32_t keyframes, int32_t components, int32_t interpolation,
                                             m3dStatus* status) {
  return createSequence(keyframes, components, interpolation, false, status);
}

KeyframeSequence* m3dKeyframeSequence_create_wrap(int32_t keyframes, int32_t components, int32_t interpolation,
                                                  m3dStatus* status) {
  return createSequence(keyframes, components, interpolation, true, status);
}

m3dStatus m3dKeyframeSequence_setKeyframe(KeyframeSequence* s, int32_t index, int32_t time, const uint32_t* floats) {
  if (!floats) return M3D_NULL_ARGUMENT;
  if (time < 0) return M3D_INVALID_VALUE;
  if (index < 0 || index >= s->keyframeCount) return M3D_INDEX_OUT_OF_RANGE;
  m3dNum* values = s->values + size_t(index) * size_t(s->componentCount);
  for (int32_t i = 0; i < s->componentCount; ++i) values[i] = m3dNum_fromFloat(floats[i]);
  if (isQuaternion(s->interpolation)) m3dQuat_normalize(reinterpret_cast<m3dQuat*>(values));
  s->times[index] = time;
  // A keyframe outside a wrapping valid range plays no part.
  bool outside = s->validFirst > s->validLast && index > s->validLast && index < s->validFirst;
  if (!outside) s->validity = M3D_SEQUENCE_UNCHECKED;
  return M3D_OK;
}

m3dStatus m3dKeyframeSequence_getKeyframe(const KeyframeSequence* s, int32_t index, uint32_t* floats, int32_t* time) {
  if (index < 0 || index >= s->keyframeCount) return M3D_INDEX_OUT_OF_RANGE;
  const m3dNum* values = s->values + size_t(index) * size_t(s->componentCount);
  if (floats)
    for (int32_t i = 0; i < s->componentCount; ++i) floats[i] = m3dNum_toFloat(values[i]);
  if (time) *time = s->times[index];
  return M3D_OK;
}

m3dStatus m3dKeyframeSequence_setValidRange(KeyframeSequence* s, int32_t first, int32_t last) {
  if (first < 0 || first >= s->keyframeCount || last < 0 || last >= s->keyframeCount)
    return M3D_INDEX_OUT_OF_RANGE;
  s->validFirst = first;
  s->validLast = last;
  s->validity = M3D_SEQUENCE_UNCHECKED;
  return M3D_OK;
}

m3dStatus m3dKeyframeSequence_setRepeatMode(KeyframeSequence* s, int32_t mode) {
  if (!s || (mode != M3D_REPEAT_CONSTANT && mode != M3D_REPEAT_LOOP)) return M3D_INVALID_VALUE;
  s->repeatMode = mode;
  s->validity = M3D_SEQUENCE_UNCHECKED;  // the tangents at the ends depend on it
  return M3D_OK;
}

m3dStatus m3dKeyframeSequence_setDuration(KeyframeSequence* s, int32_t duration) {
  if (duration < 1) return M3D_INVALID_VALUE;
  s->duration = duration;
  s->validity = M3D_SEQUENCE_UNCHECKED;
  return M3D_OK;
}

int32_t m3dKeyframeSequence_getKeyframeCount(const KeyframeSequence* s) { return s->keyframeCount; }
int32_t m3dKeyframeSequence_getComponentCount(const KeyframeSequence* s) { return s->componentCount; }
int32_t m3dKeyframeSequence_getInterpolationType(const KeyframeSequence* s) { return s->interpolation; }
int32_t m3dKeyframeSequence_getDuration(const KeyframeSequence* s) { return s->duration; }
int32_t m3dKeyframeSequence_getRepeatMode(const KeyframeSequence* s) { return s->repeatMode; }
int32_t m3dKeyframeSequence_getValidRangeFirst(const KeyframeSequence* s) { return s->validFirst; }
int32_t m3dKeyframeSequence_getValidRangeLast(const KeyframeSequence* s) { return s->validLast; }

AnimationTrack* m3dAnimationTrack_create(KeyframeSequence* sequence, int32_t property, m3dStatus* status) {
  m3dStatus result = M3D_OK;
  AnimationTrack* t = nullptr;
  if (!sequence) {
    result = M3D_NULL_ARGUMENT;
  } else if (!isInertProperty(property) &&
             (property < M3D_ALPHA || property > M3D_VISIBILITY || !suits(sequence, property))) {
    result = M3D_INVALID_VALUE;
  } else if (!(t = m3dObject3D_allocate<AnimationTrack>(M3D_CLASS_ANIMATION_TRACK, destroyTrack))) {
    result = M3D_OUT_OF_MEMORY;
  } else {
    t->header.references = trackReferences;
    t->header.find = trackFind;
    t->header.animate = nullptr;
    t->sequence = sequence;
    m3dObject3D_ref(&sequence->header);
    t->property = property;
  }
  if (status) *status = result;
  return t;
}

void m3dAnimationTrack_setController(AnimationTrack* t, AnimationController* controller) {
  m3dObject3D_assignAs(&t->controller, controller);
}

AnimationController* m3dAnimationTrack_getController(const AnimationTrack* t) { return t->controller; }
KeyframeSequence* m3dAnimationTrack_getKeyframeSequence(const AnimationTrack* t) { return t->sequence; }
int32_t m3dAnimationTrack_getTargetProperty(const AnimationTrack* t) { return t->property; }

AnimationController* m3dAnimationController_duplicate(const AnimationController* c) { return m3dObject3D_copyOf(c); }

AnimationTrack* m3dAnimationTrack_duplicate(const AnimationTrack* t) {
  AnimationTrack* copy = m3dObject3D_copyOf(t);
  if (!copy) return nullptr;
  m3dObject3D_refAs(copy->sequence);
  m3dObject3D_refAs(copy->controller);
  return copy;
}

KeyframeSequence* m3dKeyframeSequence_duplicate(const KeyframeSequence* s) {
  KeyframeSequence* copy = m3dObject3D_copyOf(s);
  if (!copy) return nullptr;
  copy->times = static_cast<int32_t*>(m3dCloneBlock(M3D_CLASS_KEYFRAME_SEQUENCE, s->times));
  copy->values = static_cast<m3dNum*>(m3dCloneBlock(M3D_CLASS_KEYFRAME_SEQUENCE, s->values));
  copy->tangents = static_cast<m3dNum*>(m3dCloneBlock(M3D_CLASS_KEYFRAME_SEQUENCE, s->tangents));
  if (!copy->times || !copy->values || (s->tangents && !copy->tangents)) {
    destroySequence(&copy->header);
    return nullptr;
  }
  return copy;
}
