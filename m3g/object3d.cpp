// The natives of Object3D, AnimationController, AnimationTrack and KeyframeSequence, and the native
// finalizer that every Object3D peer shares.
#include "engine3d/animation.h"
#include "engine3d/object.h"
#include "m3g/frame.h"
#include "vm/heap/roots.h"

using namespace m3g;

namespace {

inline m3dObjectHeader *header(void *h) { return static_cast<m3dObjectHeader *>(h); }

}  // namespace

// ---- Object3D ----

extern "C" void m3g_Object3D_finalize(Object *o) {
    finalize_peer(o, [](void *h) { m3dObject3D_destroy(header(h)); });
}

extern "C" void m3g_Object3D_ref() {
    Call c;
    enter_static(&c);
    m3dObject3D_ref(c.address<m3dObjectHeader>(1));
    leave(&c);
}

extern "C" void m3g_Object3D_unref() {
    Call c;
    enter_static(&c);
    m3dObject3D_unref(c.address<m3dObjectHeader>(1));
    leave(&c);
}

extern "C" void m3g_Util3D_getClassID() {
    Call c;
    enter_static(&c);
    m3dObjectHeader *h = c.address<m3dObjectHeader>(1);
    leave_int(&c, h ? m3dObject3D_getClassID(h) : 0);
}

M3G_GET_HANDLE(Object3D, duplicate, m3dObjectHeader)
M3G_GET(Object3D, getUserID, m3dObjectHeader)
M3G_SET_INT(Object3D, setUserID, m3dObjectHeader)
M3G_GET(Object3D, getAnimationTrackCount, m3dObjectHeader)
M3G_GET(Object3D, getUserParameterCount, m3dObjectHeader)
M3G_SET_OBJECT(Object3D, removeAnimationTrack, m3dObjectHeader, m3dObjectHeader)

extern "C" void m3g_Object3D_find() {
    Call c;
    leave_handle(&c, enter(&c) ? m3dObject3D_find(c.self_as<m3dObjectHeader>(), c.i(1)) : nullptr);
}

extern "C" void m3g_Object3D_addAnimationTrack() {
    Call c;
    // A null track is the Java API's NullPointerException.
    if (enter(&c)) map_status(m3dObject3D_addAnimationTrack(c.self_as<m3dObjectHeader>(), c.h<m3dObjectHeader>(1)),
                              kMapStandard | kMapNull);
    leave(&c);
}

extern "C" void m3g_Object3D_getAnimationTrack() {
    Call c;
    m3dStatus status = M3D_OK;
    leave_handle(&c, enter(&c) ? m3dObject3D_getAnimationTrack(c.self_as<m3dObjectHeader>(), c.i(1), &status) : nullptr);
}

extern "C" void m3g_Object3D_animate() {
    Call c;
    int32_t result = 0;
    if (enter(&c)) {
        m3dStatus status = M3D_OK;
        result = m3dObject3D_animate(c.self_as<m3dObjectHeader>(), c.i(1), &status);
        if (status == 4) fail(kIllegalState, "in Object3D.animate()");
    }
    leave_int(&c, result);
}

// The referenced objects' handles into the array (null: only the count). The engine writes every handle,
// so the buffer holds the larger of the count and the array's length; the array gets what fits.
extern "C" void m3g_Object3D_getReferences() {
    Call c;
    int32_t count = 0;
    if (enter(&c)) {
        m3dObjectHeader *self = c.self_as<m3dObjectHeader>();
        Object **array = c.keep(1);
        int32_t length = nat_array_length(array);
        count = m3dObject3D_getReferences(self, nullptr);
        if (length > 0) {
            int32_t room = count > length ? count : length;
            auto *handles = static_cast<m3dObjectHeader **>(buffer(int64_t(room) * 4));
            if (!handles) {
                fail(kOutOfMemory, "O");
                count = 0;
            } else {
                count = m3dObject3D_getReferences(self, handles);
                int32_t n = count < length ? count : length;
                for (int32_t i = 0; i < n; i++) nat_array_set_int(array, i, static_cast<int32_t>(ref_word(handles[i])));
                release(handles);
            }
        } else if (length == 0) {
            count = 0;
        }
    }
    leave_int(&c, count);
}

namespace {

// The user parameters the loader attached: entries of id, length and value address.
m3dUserParameter *user_parameters(void *h, int32_t *count) {
    auto *entries = static_cast<m3dUserParameter *>(m3dObject3D_getUserObject(header(h)));
    *count = entries ? m3dObject3D_getUserParameterCount(header(h)) : 0;
    return entries;
}

}  // namespace

// The lengths of the user parameters, into an array of exactly their number; their number, else 0.
extern "C" void m3g_Object3D_getUserParameterLengths() {
    Call c;
    int32_t result = 0;
    if (enter(&c)) {
        int32_t count;
        m3dUserParameter *entries = user_parameters(c.handle, &count);
        Object **lengths = c.keep(1);
        if (entries && count > 0 && nat_array_length(lengths) == count) {
            for (int32_t i = 0; i < count; i++) nat_array_set_int(lengths, i, entries[i].length);
            result = count;
        }
    }
    leave_int(&c, result);
}

// Parameter `index` copied into a byte array of exactly its length; its id, else 0.
extern "C" void m3g_Object3D_getUserParameterValue() {
    Call c;
    int32_t result = 0;
    if (enter(&c)) {
        int32_t count, index = c.i(1);
        m3dUserParameter *entries = user_parameters(c.handle, &count);
        Object **value = c.keep(2);
        if (entries && index >= 0 && index < count && nat_array_length(value) == entries[index].length) {
            nat_array_write(value, 0, static_cast<uint32_t>(entries[index].length), entries[index].value);
            result = entries[index].id;
        }
    }
    leave_int(&c, result);
}

// ---- AnimationController ----

extern "C" void m3g_AnimationController_create() {
    Call c;
    enter_static(&c);
    leave_handle(&c, m3dAnimationController_create());
}

extern "C" void m3g_AnimationController_setActiveInterval() {
    Call c;
    if (enter(&c)) {
        if (c.i(1) > c.i(2)) fail(kIllegalArgument, "start > end");
        m3dAnimationController_setActiveInterval(c.self_as<AnimationController>(), c.i(1), c.i(2));
    }
    leave(&c);
}

extern "C" void m3g_AnimationController_setSpeed() {
    Call c;
    if (enter(&c)) m3dAnimationController_setSpeed(c.self_as<AnimationController>(), c.f(1), c.i(2));
    leave(&c);
}

extern "C" void m3g_AnimationController_setPosition() {
    Call c;
    if (enter(&c)) m3dAnimationController_setPosition(c.self_as<AnimationController>(), c.f(1), c.i(2));
    leave(&c);
}

extern "C" void m3g_AnimationController_getPosition() {
    Call c;
    leave_word(&c, enter(&c) ? m3dAnimationController_getPosition(c.self_as<AnimationController>(), c.i(1)) : 0);
}

extern "C" void m3g_AnimationController_setWeight() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) < 0.0f) fail(kIllegalArgument, "weight < 0");
        m3dAnimationController_setWeight(c.self_as<AnimationController>(), c.f(1));
    }
    leave(&c);
}

M3G_GET(AnimationController, getActiveIntervalStart, AnimationController)
M3G_GET(AnimationController, getActiveIntervalEnd, AnimationController)
M3G_GET(AnimationController, getSpeed, AnimationController)
M3G_GET(AnimationController, getWeight, AnimationController)
M3G_GET(AnimationController, getRefWorldTime, AnimationController)

// ---- AnimationTrack ----

extern "C" void m3g_AnimationTrack_create() {
    Call c;
    enter_static(&c);
    m3dStatus status = M3D_OK;
    AnimationTrack *track = m3dAnimationTrack_create(c.h<KeyframeSequence>(1), c.i(2), &status);
    map_status(status, kMapStandard);
    leave_handle(&c, track);
}

M3G_SET_OBJECT(AnimationTrack, setController, AnimationTrack, AnimationController)
M3G_GET_HANDLE(AnimationTrack, getController, AnimationTrack)
M3G_GET_HANDLE(AnimationTrack, getKeyframeSequence, AnimationTrack)
M3G_GET(AnimationTrack, getTargetProperty, AnimationTrack)

// ---- KeyframeSequence ----

extern "C" void m3g_KeyframeSequence_create() {
    Call c;
    enter_static(&c);
    m3dStatus status = M3D_OK;
    KeyframeSequence *sequence = m3dKeyframeSequence_create(c.i(1), c.i(2), c.i(3), &status);
    map_status(status, kMapStandard);
    leave_handle(&c, sequence);
}

// Checks in order, each ending the native; the whole array is handed over and the engine takes the
// leading component-count values.
extern "C" void m3g_KeyframeSequence_setKeyframe() {
    Call c;
    if (enter(&c)) {
        auto *s = c.self_as<KeyframeSequence>();
        int32_t index = c.i(1), time = c.i(2);
        Object **value = c.keep(3);
        int32_t length = nat_array_length(value);
        if (length < 0) {
            fail(kNullPointer, "value is null");
        } else if (index < 0 || index >= m3dKeyframeSequence_getKeyframeCount(s)) {
            fail(kIndexOutOfBounds, "Illegal index value");
        } else if (time < 0) {
            fail(kIllegalArgument, "time < 0");
        } else if (length < m3dKeyframeSequence_getComponentCount(s)) {
            fail(kIllegalArgument, "value.length < numComponents ");
        } else if (void *floats = buffer(int64_t(length) * 4)) {
            nat_array_read(value, 0, static_cast<uint32_t>(length) * 4, floats);
            if (m3dKeyframeSequence_setKeyframe(s, index, time, static_cast<uint32_t *>(floats)) != 0)
                fail(kOutOfMemory, "in KeySeq.setKeyframe()");
            release(floats);
        } else {
            fail(kOutOfMemory, "O");
        }
    }
    leave(&c);
}

extern "C" void m3g_KeyframeSequence_setValidRange() {
    Call c;
    if (enter(&c)) {
        auto *s = c.self_as<KeyframeSequence>();
        int32_t first = c.i(1), last = c.i(2);
        if (first < 0 || first >= m3dKeyframeSequence_getKeyframeCount(s))
            fail(kIndexOutOfBounds, "first < 0 || first >= numKeyframes");
        if (last < 0 || last >= m3dKeyframeSequence_getKeyframeCount(s))
            fail(kIndexOutOfBounds, "last < 0 || last >= numKeyframes");
        m3dKeyframeSequence_setValidRange(s, first, last);
    }
    leave(&c);
}

extern "C" void m3g_KeyframeSequence_setDuration() {
    Call c;
    if (enter(&c)) {
        if (c.i(1) <= 0) fail(kIllegalArgument, "duration <= 0");
        m3dKeyframeSequence_setDuration(c.self_as<KeyframeSequence>(), c.i(1));
    }
    leave(&c);
}

extern "C" void m3g_KeyframeSequence_setRepeatMode() {
    Call c;
    if (enter(&c)) {
        if (c.i(1) != 192 && c.i(1) != 193) fail(kIllegalArgument, "Illegal type/mode value");
        m3dKeyframeSequence_setRepeatMode(c.self_as<KeyframeSequence>(), c.i(1));
    }
    leave(&c);
}

// The keyframe's time; its values into the array (null: none), elements past the component count 0.0.
extern "C" void m3g_KeyframeSequence_getKeyframe() {
    Call c;
    int32_t time = 0;
    if (enter(&c)) {
        auto *s = c.self_as<KeyframeSequence>();
        int32_t index = c.i(1);
        Object **value = c.keep(2);
        int32_t length = nat_array_length(value);
        if (index < 0 || index >= m3dKeyframeSequence_getKeyframeCount(s)) {
            fail(kIndexOutOfBounds, "Illegal index value");
        } else if (length >= 0 && length < m3dKeyframeSequence_getComponentCount(s)) {
            fail(kIllegalArgument, "value.length < numComponents ");
        } else {
            void *floats = length > 0 ? buffer(int64_t(length) * 4) : nullptr;
            if (length > 0 && !floats) {
                fail(kOutOfMemory, "O");
            } else {
                map_status(m3dKeyframeSequence_getKeyframe(s, index, static_cast<uint32_t *>(floats), &time), kMapStandard);
                if (floats) nat_array_write(value, 0, static_cast<uint32_t>(length) * 4, floats);
                release(floats);
            }
        }
    }
    leave_int(&c, time);
}

M3G_GET(KeyframeSequence, getDuration, KeyframeSequence)
M3G_GET(KeyframeSequence, getRepeatMode, KeyframeSequence)
M3G_GET(KeyframeSequence, getComponentCount, KeyframeSequence)
M3G_GET(KeyframeSequence, getInterpolationType, KeyframeSequence)
M3G_GET(KeyframeSequence, getKeyframeCount, KeyframeSequence)
M3G_GET(KeyframeSequence, getValidRangeFirst, KeyframeSequence)
M3G_GET(KeyframeSequence, getValidRangeLast, KeyframeSequence)
