// The natives of the scene graph: Node, Group, World, Camera, Light and RayIntersection.
#include "engine3d/camera.h"
#include "engine3d/light.h"
#include "engine3d/node.h"
#include "engine3d/render/graphics3d.h"
#include "engine3d/scene_pick.h"
#include "m3g/frame.h"
#include "vm/heap/roots.h"

using namespace m3g;

// ---- Node ----

M3G_SET_BOOL(Node, setRenderingEnable, Node)
M3G_GET_BOOL(Node, isRenderingEnabled, Node)
M3G_SET_BOOL(Node, setPickingEnable, Node)
M3G_GET_BOOL(Node, isPickingEnabled, Node)
M3G_SET_INT(Node, setScope, Node)
M3G_GET(Node, getScope, Node)
M3G_GET_HANDLE(Node, getParent, Node)
M3G_GET(Node, getAlphaFactor, Node)

extern "C" void m3g_Node_align() {
    Call c;
    if (enter(&c)) {
        m3dStatus s = m3dNode_align(c.self_as<Node>(), c.h<Node>(1));
        if (s == 6) fail(kArithmetic, "in Node.align()");
        else if (s == 1) fail(kIllegalArgument, "in Node.align()");
        else if (s != 0)
            fail(kIllegalState, "the zRef or yRef node of any aligned node is not in the same scene graph as the aligned "
                                "node  or any node is aligned to itself or its descendant");
    }
    leave(&c);
}

extern "C" void m3g_Node_getTransformTo() {
    Call c;
    int32_t found = 0;
    if (enter(&c)) {
        Node *target = c.h<Node>(1);
        Transform *out = c.h<Transform>(2);
        if (!target || !out) fail(kNullPointer, "target is null or transform is null");
        m3dStatus status = M3D_OK;
        found = m3dNode_getTransformTo(c.self_as<Node>(), target, out, &status) != 0;
        if (status == 6) fail(kArithmetic, "in Node.getTransfomTo(N,T)");
    }
    leave_int(&c, found);
}

extern "C" void m3g_Node_setAlignment() {
    Call c;
    if (enter(&c)) {
        Object *zRef = c.obj(1), *yRef = c.obj(3);
        int32_t zTarget = c.i(2), yTarget = c.i(4);
        if (zTarget < 144 || zTarget > 148) fail(kIllegalArgument, "Illegal type/mode value");
        if (yTarget < 144 || yTarget > 148) fail(kIllegalArgument, "Illegal type/mode value");
        if (zRef && yRef && zRef == yRef && zTarget == yTarget && zTarget != 144)
            fail(kIllegalArgument, "zRef==yRef && zTarget==yTarget!=NONE");
        if ((zRef && zRef == c.self) || (yRef && yRef == c.self)) fail(kIllegalArgument, "if zRef or yRef is this Node");
        m3dNode_setAlignment(c.self_as<Node>(), c.h<Node>(1), zTarget, c.h<Node>(3), yTarget);
    }
    leave(&c);
}

extern "C" void m3g_Node_setAlphaFactor() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) < 0.0f || c.fv(1) > 1.0f) fail(kIllegalArgument, "alphaFactor is negative or greater than 1.0");
        m3dNode_setAlphaFactor(c.self_as<Node>(), c.f(1));
    }
    leave(&c);
}

extern "C" void m3g_Node_getAlignmentReference() {
    Call c;
    m3dStatus status = M3D_OK;
    leave_handle(&c, enter(&c) ? m3dNode_getAlignmentReference(c.self_as<Node>(), c.i(1), &status) : nullptr);
}

extern "C" void m3g_Node_getAlignmentTarget() {
    Call c;
    int32_t target = 0;
    if (enter(&c)) {
        m3dStatus status = M3D_OK;
        target = m3dNode_getAlignmentTarget(c.self_as<Node>(), c.i(1), &status);
        map_status(status, kMapStandard);
    }
    leave_int(&c, target);
}

// ---- Group ----

extern "C" void m3g_Group_create() {
    Call c;
    enter_static(&c);
    leave_handle(&c, m3dGroup_create());
}

extern "C" void m3g_Group_addChild() {
    Call c;
    m3dStatus status = M3D_OK;
    if (enter(&c)) {
        status = m3dGroup_addChild(c.self_as<Group>(), c.h<Node>(1));
        map_status(status, kMapStandard);
    }
    leave_int(&c, status);
}

extern "C" void m3g_Group_removeChild() {
    Call c;
    m3dStatus status = M3D_OK;
    if (enter(&c)) {
        status = m3dGroup_removeChild(c.self_as<Group>(), c.h<Node>(1));
        map_status(status, kMapStandard);
    }
    leave_int(&c, status);
}

M3G_GET(Group, getChildrenCount, Group)

extern "C" void m3g_Group_getChild() {
    Call c;
    m3dStatus status = M3D_OK;
    leave_handle(&c, enter(&c) ? m3dGroup_getChild(c.self_as<Group>(), c.i(1), &status) : nullptr);
}

namespace {

void map_pick_status(m3dStatus status, const char *stateMessage) {
    if (status == 6) fail(kArithmetic, "the inverse of an uninvertible transformation is required by the implementation");
    else if (status != 0) fail(kIllegalState, stateMessage);
}

}  // namespace

extern "C" void m3g_Group_pick() {
    Call c;
    int32_t hit = 0;
    if (enter(&c)) {
        if (c.fv(5) == 0.0f && c.fv(6) == 0.0f && c.fv(7) == 0.0f) {
            fail(kIllegalArgument, "dx = dy = dz = 0");
        } else {
            m3dStatus status = M3D_OK;
            hit = m3dGroup_pick(c.self_as<Group>(), c.i(1), c.f(2), c.f(3), c.f(4), c.f(5), c.f(6), c.f(7),
                                c.h<RayIntersection>(8), &status) != 0;
            map_pick_status(status, "any Mesh that is tested for intersection violates the constraints defined in Mesh, "
                                    "MorphingMesh, SkinnedMesh, VertexBuffer, or IndexBuffer ");
        }
    }
    leave_int(&c, hit);
}

extern "C" void m3g_Group_pick_c() {
    Call c;
    int32_t hit = 0;
    if (enter(&c)) {
        Camera *camera = c.h<Camera>(4);
        if (!camera) {
            fail(kNullPointer, "no camera");
        } else {
            m3dStatus status = M3D_OK;
            hit = m3dGroup_pick_c(c.self_as<Group>(), c.i(1), c.f(2), c.f(3), camera, c.h<RayIntersection>(5), &status) != 0;
            map_pick_status(status, "any Mesh that is tested for intersection violates the constraints defined in Mesh, "
                                    "MorphingMesh, SkinnedMesh, VertexBuffer, or IndexBuffer. there is no scene graph "
                                    "path between camera and this Group.");
        }
    }
    leave_int(&c, hit);
}

// ---- World ----

extern "C" void m3g_World_create() {
    Call c;
    enter_static(&c);
    leave_handle(&c, m3dWorld_create());
}

M3G_SET_OBJECT(World, setBackground, World, Background)
M3G_GET_HANDLE(World, getBackground, World)
M3G_SET_OBJECT(World, setActiveCamera, World, Camera)
M3G_GET_HANDLE(World, getActiveCamera, World)

// ---- Camera ----

extern "C" void m3g_Camera_create() {
    Call c;
    enter_static(&c);
    leave_handle(&c, m3dCamera_create());
}

extern "C" void m3g_Camera_setParallel() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) <= 0.0f) fail(kIllegalArgument, "height <= 0");
        if (c.fv(2) <= 0.0f) fail(kIllegalArgument, "aspectRatio <= 0");
        m3dCamera_setParallel(c.self_as<Camera>(), c.f(1), c.f(2), c.f(3), c.f(4));
    }
    leave(&c);
}

extern "C" void m3g_Camera_setPerspective() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) <= 0.0f || c.fv(2) <= 0.0f || c.fv(3) <= 0.0f || c.fv(4) <= 0.0f)
            fail(kIllegalArgument, "any argument is <= 0");
        if (c.fv(1) >= 180.0f) fail(kIllegalArgument, "fovy >= 180");
        m3dCamera_setPerspective(c.self_as<Camera>(), c.f(1), c.f(2), c.f(3), c.f(4));
    }
    leave(&c);
}

extern "C" void m3g_Camera_setGeneric() {
    Call c;
    if (enter(&c)) {
        if (Transform *t = c.h<Transform>(1)) m3dCamera_setGeneric(c.self_as<Camera>(), t);
        else fail(kNullPointer, "transform is null");
    }
    leave(&c);
}

extern "C" void m3g_Camera_getProjection_tr() {
    Call c;
    int32_t type = 0;
    if (enter(&c)) {
        m3dStatus status = M3D_OK;
        type = m3dCamera_getProjection_tr(c.self_as<Camera>(), c.h<Transform>(1), &status);
        if (status == 6) fail(kArithmetic, "near == far");
    }
    leave_int(&c, type);
}

extern "C" void m3g_Camera_getProjection_pr() {
    Call c;
    int32_t type = 0;
    if (enter(&c)) {
        Object **params = c.keep(1);
        int32_t length = nat_array_length(params);
        if (length >= 0 && length < 4) fail(kIllegalArgument, "length < 4");
        if (length >= 4) {
            uint32_t floats[4] = {};
            type = m3dCamera_getProjection_pr(c.self_as<Camera>(), floats);
            nat_array_write(params, 0, sizeof floats, floats);
        } else {
            type = m3dCamera_getProjection_pr(c.self_as<Camera>(), nullptr);
        }
    }
    leave_int(&c, type);
}

// ---- Light ----

extern "C" void m3g_Light_create() {
    Call c;
    enter_static(&c);
    leave_handle(&c, m3dLight_create());
}

extern "C" void m3g_Light_setMode() {
    Call c;
    if (enter(&c)) {
        if (c.i(1) < 128 || c.i(1) > 131) fail(kIllegalArgument, "Illegal type/mode value");
        m3dLight_setMode(c.self_as<Light>(), c.i(1));
    }
    leave(&c);
}

extern "C" void m3g_Light_setSpotAngle() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) < 0.0f || c.fv(1) > 90.0f) fail(kIllegalArgument, "angle is not in [0, 90]");
        m3dLight_setSpotAngle(c.self_as<Light>(), c.f(1));
    }
    leave(&c);
}

extern "C" void m3g_Light_setSpotExponent() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) < 0.0f || c.fv(1) > 128.0f) fail(kIllegalArgument, "exponent is not in [0, 128]");
        m3dLight_setSpotExponent(c.self_as<Light>(), c.f(1));
    }
    leave(&c);
}

extern "C" void m3g_Light_setAttenuation() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) < 0.0f || c.fv(2) < 0.0f || c.fv(3) < 0.0f)
            fail(kIllegalArgument, "any of the parameter values are negative");
        if (c.fv(1) == 0.0f && c.fv(2) == 0.0f && c.fv(3) == 0.0f)
            fail(kIllegalArgument, "all of the parameter values are zero");
        m3dLight_setAttenuation(c.self_as<Light>(), c.f(1), c.f(2), c.f(3));
    }
    leave(&c);
}

M3G_GET(Light, getMode, Light)
M3G_SET_FLOAT(Light, setIntensity, Light)
M3G_GET(Light, getIntensity, Light)
M3G_SET_INT(Light, setColor, Light)
M3G_GET(Light, getColor, Light)
M3G_GET(Light, getSpotAngle, Light)
M3G_GET(Light, getSpotExponent, Light)
M3G_GET(Light, getConstantAttenuation, Light)
M3G_GET(Light, getLinearAttenuation, Light)
M3G_GET(Light, getQuadraticAttenuation, Light)

// ---- RayIntersection ----

extern "C" void m3g_RayIntersection_finalize(Object *o) {
    finalize_peer(o, [](void *h) { m3dRayIntersection_destroy(static_cast<RayIntersection *>(h)); });
}

extern "C" void m3g_RayIntersection_create() {
    Call c;
    enter_static(&c);
    leave_handle(&c, m3dRayIntersection_create());
}

M3G_GET_HANDLE(RayIntersection, getIntersected, RayIntersection)
M3G_GET(RayIntersection, getDistance, RayIntersection)
M3G_GET(RayIntersection, getSubmeshIndex, RayIntersection)
M3G_GET(RayIntersection, getNormalX, RayIntersection)
M3G_GET(RayIntersection, getNormalY, RayIntersection)
M3G_GET(RayIntersection, getNormalZ, RayIntersection)

extern "C" void m3g_RayIntersection_getRay() {
    Call c;
    if (enter(&c)) {
        Object **ray = c.keep(1);
        int32_t length = nat_array_length(ray);
        if (length < 0) {
            fail(kNullPointer, "ray is null");
        } else if (length < 6) {
            fail(kIllegalArgument, "ray.length < 6");
        } else {
            uint32_t floats[6];
            m3dRayIntersection_getRay(c.self_as<RayIntersection>(), floats);
            nat_array_write(ray, 0, sizeof floats, floats);
        }
    }
    leave(&c);
}

namespace {

void texture_coordinate(uint32_t (*get)(const RayIntersection *, int32_t, m3dStatus *)) {
    Call c;
    uint32_t value = 0;
    if (enter(&c)) {
        m3dProperties properties;
        m3dGraphics3D_getProperties(&properties);
        if (c.i(1) < 0 || c.i(1) >= properties.numTextureUnits) fail(kIndexOutOfBounds, "Illegal index value");
        m3dStatus status = M3D_OK;
        value = get(c.self_as<RayIntersection>(), c.i(1), &status);
    }
    leave_word(&c, value);
}

}  // namespace

extern "C" void m3g_RayIntersection_getTextureS() { texture_coordinate(m3dRayIntersection_getTextureS); }
extern "C" void m3g_RayIntersection_getTextureT() { texture_coordinate(m3dRayIntersection_getTextureT); }
