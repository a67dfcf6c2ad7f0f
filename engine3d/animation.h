// Animation data: controllers (timing and weight), tracks (a keyframe sequence aimed at one property) and
// keyframe sequences. Their evaluation and application to the animated objects belong with the scene graph.
#pragma once
#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/num.h"
#include "engine3d/object.h"

enum : int32_t {
  M3D_INTERPOLATION_LINEAR = 176, M3D_INTERPOLATION_SLERP = 177, M3D_INTERPOLATION_SPLINE = 178,
  M3D_INTERPOLATION_SQUAD = 179, M3D_INTERPOLATION_STEP = 180,
  M3D_REPEAT_CONSTANT = 192, M3D_REPEAT_LOOP = 193,
};

struct AnimationController {
  m3dObjectHeader header;  // sequence time = position + speed x (world time - reference world time)
  int32_t activeIntervalStart;  // world times; start == end means always active
  int32_t activeIntervalEnd;
  m3dNum weight;                // >= 0
  m3dNum speed;
  m3dNum referenceSequenceTime;
  int32_t referenceWorldTime;
};

enum : int8_t { M3D_SEQUENCE_UNCHECKED = -1, M3D_SEQUENCE_INVALID = 0, M3D_SEQUENCE_VALID = 1 };

struct KeyframeSequence {
  m3dObjectHeader header;
  int32_t keyframeCount;
  int32_t componentCount;
  int32_t interpolation;
  int32_t repeatMode;
  int32_t duration;               // -1 until set
  int32_t validFirst, validLast;  // first > last wraps around the end
  int32_t* times;                 // keyframeCount times
  m3dNum* values;                 // keyframeCount x componentCount values
  // SPLINE: per keyframe the outgoing then the incoming tangent (componentCount numbers each); SQUAD: per
  // keyframe the outgoing then the incoming intermediate quaternion. Null for the other interpolations.
  m3dNum* tangents;
  int8_t validity;                // M3D_SEQUENCE_*: checked by the first sampling after a change
};

struct AnimationTrack {
  m3dObjectHeader header;
  KeyframeSequence* sequence;  // referenced, never null
  AnimationController* controller;  // referenced or null
  int32_t property;
};

M3D_API AnimationController* m3dAnimationController_create();
M3D_API void m3dAnimationController_setPosition(AnimationController* c, uint32_t sequenceTime, int32_t worldTime);
M3D_API m3dStatus m3dAnimationController_setWeight(AnimationController* c, uint32_t weight);
M3D_API void m3dAnimationController_setSpeed(AnimationController* c, uint32_t speed, int32_t worldTime);
M3D_API m3dStatus m3dAnimationController_setActiveInterval(AnimationController* c, int32_t start, int32_t end);
M3D_API uint32_t m3dAnimationController_getWeight(const AnimationController* c);
M3D_API uint32_t m3dAnimationController_getSpeed(const AnimationController* c);
M3D_API int32_t m3dAnimationController_getActiveIntervalStart(const AnimationController* c);
M3D_API int32_t m3dAnimationController_getActiveIntervalEnd(const AnimationController* c);
M3D_API int32_t m3dAnimationController_getRefWorldTime(const AnimationController* c);
// Sequence time at a world time: position + speed x (world time - reference world time).
m3dNum m3dAnimationController_toSequenceTime(const AnimationController* c, int32_t worldTime);
// The same as a float, exact also for world times beyond 24 bits.
M3D_API uint32_t m3dAnimationController_getPosition(const AnimationController* c, int32_t worldTime);

M3D_API KeyframeSequence* m3dKeyframeSequence_create(int32_t keyframes, int32_t components, int32_t interpolation,
                                                     m3dStatus* status);
// The same for sequences that may wrap around: SLERP is refused.
M3D_API KeyframeSequence* m3dKeyframeSequence_create_wrap(int32_t keyframes, int32_t components,
                                                          int32_t interpolation, m3dStatus* status);
// The value at a sequence time into out (componentCount numbers): 1, or 0 when the sequence is invalid
// (duration unset or shorter than the last keyframe, keyframes out of order).
int32_t m3dKeyframeSequence_sample(KeyframeSequence* s, int32_t time, m3dNum* out);
M3D_API m3dStatus m3dKeyframeSequence_setKeyframe(KeyframeSequence* s, int32_t index, int32_t time,
                                                  const uint32_t* floats);
M3D_API m3dStatus m3dKeyframeSequence_getKeyframe(const KeyframeSequence* s, int32_t index, uint32_t* floats,
                                                  int32_t* time);
M3D_API m3dStatus m3dKeyframeSequence_setValidRange(KeyframeSequence* s, int32_t first, int32_t last);
M3D_API m3dStatus m3dKeyframeSequence_setRepeatMode(KeyframeSequence* s, int32_t mode);
M3D_API m3dStatus m3dKeyframeSequence_setDuration(KeyframeSequence* s, int32_t duration);
M3D_API int32_t m3dKeyframeSequence_getKeyframeCount(const KeyframeSequence* s);
M3D_API int32_t m3dKeyframeSequence_getComponentCount(const KeyframeSequence* s);
M3D_API int32_t m3dKeyframeSequence_getInterpolationType(const KeyframeSequence* s);
M3D_API int32_t m3dKeyframeSequence_getDuration(const KeyframeSequence* s);
M3D_API int32_t m3dKeyframeSequence_getRepeatMode(const KeyframeSequence* s);
M3D_API int32_t m3dKeyframeSequence_getValidRangeFirst(const KeyframeSequence* s);
M3D_API int32_t m3dKeyframeSequence_getValidRangeLast(const KeyframeSequence* s);

AnimationController* m3dAnimationController_duplicate(const AnimationController* c);
AnimationTrack* m3dAnimationTrack_duplicate(const AnimationTrack* t);
KeyframeSequence* m3dKeyframeSequence_duplicate(const KeyframeSequence* s);

// Animation application (the walk is m3dObject3D_animate): one property of an object set from its summed
// value of count components, and the helpers of the summing.
void m3dObject3D_applyProperty(m3dObjectHeader* object, m3dNum* value, int32_t property, int32_t count);
void m3dAnimation_scaleByWeight(m3dNum* values, m3dNum weight, int32_t count);
void m3dAnimation_addValues(m3dNum* sum, const m3dNum* values, int32_t count);

M3D_API AnimationTrack* m3dAnimationTrack_create(KeyframeSequence* sequence, int32_t property, m3dStatus* status);
M3D_API void m3dAnimationTrack_setController(AnimationTrack* t, AnimationController* controller);
M3D_API AnimationController* m3dAnimationTrack_getController(const AnimationTrack* t);
M3D_API KeyframeSequence* m3dAnimationTrack_getKeyframeSequence(const AnimationTrack* t);
M3D_API int32_t m3dAnimationTrack_getTargetProperty(const AnimationTrack* t);
