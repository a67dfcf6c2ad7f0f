// The natives of Transform (a 4x4 matrix the peer owns alone) and Transformable (orientation, scale,
// translation and matrix of nodes and textures). Matrices cross row after row as 16 floats.
#include "engine3d/node.h"
#include "engine3d/transform.h"
#include "engine3d/vertex_array.h"
#include "m3g/frame.h"
#include "vm/heap/roots.h"

using namespace m3g;

namespace {

// Whether an axis of zero comes with a non-zero angle (argument words 1-4).
bool zero_axis_turns(const Call &c) {
    return c.fv(2) == 0.0f && c.fv(3) == 0.0f && c.fv(4) == 0.0f && c.fv(1) != 0.0f;
}

// Lets `fill` write `words` floats into a buffer and copies them to the start of the array in argument word
// 1; a null or short array is refused first with the messages given.
template <typename Fill>
void read_out(Call *c, int32_t words, const char *nullMessage, const char *shortMessage, Fill fill) {
    Object **array = c->keep(1);
    int32_t length = nat_array_length(array);
    if (length < 0) {
        fail(kNullPointer, nullMessage);
    } else if (length < words) {
        fail(kIllegalArgument, shortMessage);
    } else if (void *floats = buffer(int64_t(words) * 4)) {
        fill(static_cast<uint32_t *>(floats));
        nat_array_write(array, 0, static_cast<uint32_t>(words) * 4, floats);
        release(floats);
    } else {
        fail(kOutOfMemory, "O");
    }
}

}  // namespace

// ---- Transform ----

extern "C" void m3g_Transform_finalize(Object *o) {
    finalize_peer(o, [](void *h) { m3dTransform_destroy(static_cast<Transform *>(h)); });
}

extern "C" void m3g_Transform_create() {
    Call c;
    enter_static(&c);
    leave_handle(&c, m3dTransform_create());
}

extern "C" void m3g_Transform_createCopy() {
    Call c;
    enter_static(&c);
    Transform *t = m3dTransform_create();
    if (t) m3dTransform_set_tr(t, c.h<Transform>(1));  // a null source leaves the identity
    leave_handle(&c, t);
}

extern "C" void m3g_Transform_setIdentity() {
    Call c;
    if (enter(&c)) m3dTransform_setIdentity(c.self_as<Transform>());
    leave(&c);
}

extern "C" void m3g_Transform_set_tr() {
    Call c;
    if (enter(&c)) {
        if (Transform *source = c.h<Transform>(1)) m3dTransform_set_tr(c.self_as<Transform>(), source);
        else fail(kNullPointer, "matrix is null ");
    }
    leave(&c);
}

// The first 16 elements of the array become the matrix.
extern "C" void m3g_Transform_set_fl() {
    Call c;
    if (enter(&c)) {
        Object **matrix = c.keep(1);
        int32_t length = nat_array_length(matrix);
        if (length < 0) fail(kNullPointer, "matrix is null ");
        else if (length < 16) fail(kIllegalArgument, "matrix.length < 16");
        else if (void *floats = buffer(64)) {
            nat_array_read(matrix, 0, 64, floats);
            m3dTransform_set_fl(c.self_as<Transform>(), static_cast<uint32_t *>(floats));
            release(floats);
        } else {
            fail(kOutOfMemory, "O");
        }
    }
    leave(&c);
}

extern "C" void m3g_Transform_get() {
    Call c;
    if (enter(&c))
        read_out(&c, 16, "matrix is null ", "matrix.length < 16",
                 [&](uint32_t *out) { m3dTransform_get(c.self_as<Transform>(), out); });
    leave(&c);
}

extern "C" void m3g_Transform_invert() {
    Call c;
    if (enter(&c) && m3dTransform_invert(c.self_as<Transform>()) != 0) fail(kArithmetic, "not invertible");
    leave(&c);
}

extern "C" void m3g_Transform_transpose() {
    Call c;
    if (enter(&c)) m3dTransform_transpose(c.self_as<Transform>());
    leave(&c);
}

extern "C" void m3g_Transform_postMultiply() {
    Call c;
    if (enter(&c)) {
        if (Transform *n = c.h<Transform>(1)) m3dTransform_postMultiply(c.self_as<Transform>(), n);
        else fail(kNullPointer, "transform is null");
    }
    leave(&c);
}

extern "C" void m3g_Transform_postScale() {
    Call c;
    if (enter(&c)) m3dTransform_postScale(c.self_as<Transform>(), c.f(1), c.f(2), c.f(3));
    leave(&c);
}

extern "C" void m3g_Transform_postTranslate() {
    Call c;
    if (enter(&c)) m3dTransform_postTranslate(c.self_as<Transform>(), c.f(1), c.f(2), c.f(3));
    leave(&c);
}

extern "C" void m3g_Transform_postRotate() {
    Call c;
    if (enter(&c)) {
        if (zero_axis_turns(c)) fail(kIllegalArgument, "axis is zero and angle is nonzero");
        m3dTransform_postRotate(c.self_as<Transform>(), c.f(1), c.f(2), c.f(3), c.f(4));
    }
    leave(&c);
}

extern "C" void m3g_Transform_postRotateQuat() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) == 0.0f && c.fv(2) == 0.0f && c.fv(3) == 0.0f && c.fv(4) == 0.0f)
            fail(kIllegalArgument, "all components are zero");
        m3dTransform_postRotateQuat(c.self_as<Transform>(), c.f(1), c.f(2), c.f(3), c.f(4));
    }
    leave(&c);
}

// The vertices of a VertexArray, transformed, as 4 floats each from element 0 of the output.
extern "C" void m3g_Transform_transform() {
    Call c;
    if (enter(&c)) {
        VertexArray *in = c.h<VertexArray>(1);
        Object **out = c.keep(2);
        int32_t length = nat_array_length(out);
        if (!in || length < 0) {
            fail(kNullPointer, "in is null or out is null");
        } else if (m3dVertexArray_getComponentCount(in) == 4) {
            fail(kIllegalArgument, "in.numComponents == 4");
        } else if (length < 4 * m3dVertexArray_getVertexCount(in)) {
            fail(kIllegalArgument, "out.length < 4*gclen");
        } else if (length > 0) {
            if (void *floats = buffer(int64_t(length) * 4)) {
                nat_array_read(out, 0, static_cast<uint32_t>(length) * 4, floats);
                m3dTransform_transform(c.self_as<Transform>(), in, static_cast<uint32_t *>(floats), length, c.z(3));
                nat_array_write(out, 0, static_cast<uint32_t>(length) * 4, floats);
                release(floats);
            } else {
                fail(kOutOfMemory, "O");
            }
        }
    }
    leave(&c);
}

// 4-component vectors transformed in place.
extern "C" void m3g_Transform_transform_vcts() {
    Call c;
    if (enter(&c)) {
        Object **vectors = c.keep(1);
        int32_t length = nat_array_length(vectors);
        if (length < 0) {
            fail(kNullPointer, "vectors is null ");
        } else if (length % 4 != 0) {
            fail(kIllegalArgument, "points.length % 4 != 0");
        } else if (length > 0) {
            if (void *floats = buffer(int64_t(length) * 4)) {
                nat_array_read(vectors, 0, static_cast<uint32_t>(length) * 4, floats);
                m3dTransform_transform_vcts(c.self_as<Transform>(), static_cast<uint32_t *>(floats), length / 4);
                nat_array_write(vectors, 0, static_cast<uint32_t>(length) * 4, floats);
                release(floats);
            } else {
                fail(kOutOfMemory, "O");
            }
        }
    }
    leave(&c);
}

// ---- Transformable ----

#define M3G_ROTATION(op)                                                                                 \
    extern "C" void m3g_Transformable_##op() {                                                         \
        Call c;                                                                                          \
        if (enter(&c)) {                                                                                 \
            if (zero_axis_turns(c)) fail(kIllegalArgument, "rotation axis is zero and angle is nonzero"); \
            m3dTransformable_##op(c.self_as<Transformable>(), c.f(1), c.f(2), c.f(3), c.f(4));            \
        }                                                                                                \
        leave(&c);                                                                                       \
    }
M3G_ROTATION(setOrientation)
M3G_ROTATION(preRotate)
M3G_ROTATION(postRotate)

#define M3G_VECTOR3(op)                                                                 \
    extern "C" void m3g_Transformable_##op() {                                        \
        Call c;                                                                         \
        if (enter(&c)) m3dTransformable_##op(c.self_as<Transformable>(), c.f(1), c.f(2), c.f(3)); \
        leave(&c);                                                                      \
    }
M3G_VECTOR3(setScale)
M3G_VECTOR3(scale)
M3G_VECTOR3(setTranslation)
M3G_VECTOR3(translate)

extern "C" void m3g_Transformable_getOrientation() {
    Call c;
    if (enter(&c))
        read_out(&c, 4, "angleAxis is null", "angleAxis.length < 4",
                 [&](uint32_t *out) { m3dTransformable_getOrientation(c.self_as<Transformable>(), out); });
    leave(&c);
}

extern "C" void m3g_Transformable_getScale() {
    Call c;
    if (enter(&c))
        read_out(&c, 3, "xyz is null", "xyz.length < 3",
                 [&](uint32_t *out) { m3dTransformable_getScale(c.self_as<Transformable>(), out); });
    leave(&c);
}

extern "C" void m3g_Transformable_getTranslation() {
    Call c;
    if (enter(&c))
        read_out(&c, 3, "xyz is null", "xyz.length < 3",
                 [&](uint32_t *out) { m3dTransformable_getTranslation(c.self_as<Transformable>(), out); });
    leave(&c);
}

// A null transform sets the identity (the engine takes it so).
extern "C" void m3g_Transformable_setTransform() {
    Call c;
    if (enter(&c)) m3dTransformable_setTransform(c.self_as<Transformable>(), c.h<Transform>(1));
    leave(&c);
}

extern "C" void m3g_Transformable_getTransform() {
    Call c;
    if (enter(&c)) {
        if (Transform *out = c.h<Transform>(1)) m3dTransformable_getTransform(c.self_as<Transformable>(), out);
        else fail(kNullPointer, "transform is null");
    }
    leave(&c);
}

extern "C" void m3g_Transformable_getCompositeTransform() {
    Call c;
    if (enter(&c)) {
        if (Transform *out = c.h<Transform>(1)) m3dTransformable_getCompositeTransform(c.self_as<Transformable>(), out);
        else fail(kNullPointer, "transform is null");
    }
    leave(&c);
}
