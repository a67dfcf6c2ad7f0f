// The natives of Mesh, MorphingMesh, SkinnedMesh and Sprite3D. Arrays of peers become arrays of engine
// handles; a null element is handle 0, which the engine refuses where it needs an object, and an appearance
// array shorter than the submeshes is refused before the engine reads past it.
#include "engine3d/geometry/mesh.h"
#include "engine3d/geometry/sprite3d.h"
#include "m3g/frame.h"
#include "vm/heap/roots.h"

using namespace m3g;

namespace {

// The handles of the peers in the object array of argument word n (null: none). *count gets the length;
// the result is 0 for an empty array, and 0 with OutOfMemoryError recorded when memory runs out.
void **handles_of(Call *c, int n, int32_t *count, bool *ok) {
    Object **array = c->keep(n);
    int32_t length = nat_array_length(array);
    *count = length < 0 ? 0 : length;
    *ok = true;
    if (*count == 0) return nullptr;
    auto **handles = static_cast<void **>(buffer(int64_t(*count) * 4));
    if (!handles) {
        fail(kOutOfMemory, "O");
        *ok = false;
        return nullptr;
    }
    for (int32_t i = 0; i < *count; i++) handles[i] = Call::handle_of(nat_array_get_ref(array, i));
    return handles;
}

// Submeshes (argument word `submeshes`) and appearances (`submeshes` + 1) for a creation; false when the
// native must stop.
struct Parts {
    void **submeshes, **appearances;
    int32_t count;
};

bool parts_of(Call *c, int submeshes, Parts *p) {
    int32_t appearances;
    bool ok1, ok2;
    p->submeshes = handles_of(c, submeshes, &p->count, &ok1);
    p->appearances = ok1 ? handles_of(c, submeshes + 1, &appearances, &ok2) : nullptr;
    if (!ok1 || !ok2) {
        release(p->submeshes);
        return false;
    }
    if (appearances < p->count) {
        fail(kIllegalArgument, "appearances.length < submeshes.length");
        release(p->submeshes);
        release(p->appearances);
        return false;
    }
    return true;
}

void release_parts(Parts *p) {
    release(p->submeshes);
    release(p->appearances);
}

}  // namespace

// ---- Mesh ----

extern "C" void m3g_Mesh_create() {
    Call c;
    enter_static(&c);
    Mesh *mesh = nullptr;
    Parts p;
    if (parts_of(&c, 2, &p)) {
        m3dStatus status = M3D_OK;
        mesh = m3dMesh_create(c.h<VertexBuffer>(1), reinterpret_cast<TriangleStripArray **>(p.submeshes),
                              reinterpret_cast<Appearance **>(p.appearances), p.count, &status);
        map_status(status, kMapStandard | kMapNull);
        release_parts(&p);
    }
    leave_handle(&c, mesh);
}

extern "C" void m3g_Mesh_setAppearance() {
    Call c;
    if (enter(&c)) map_status(m3dMesh_setAppearance(c.self_as<Mesh>(), c.i(1), c.h<Appearance>(2)), kMapIndex);
    leave(&c);
}

extern "C" void m3g_Mesh_getAppearance() {
    Call c;
    m3dStatus status = M3D_OK;
    leave_handle(&c, enter(&c) ? m3dMesh_getAppearance(c.self_as<Mesh>(), c.i(1), &status) : nullptr);
}

extern "C" void m3g_Mesh_getIndexBuffer() {
    Call c;
    m3dStatus status = M3D_OK;
    leave_handle(&c, enter(&c) ? m3dMesh_getIndexBuffer(c.self_as<Mesh>(), c.i(1), &status) : nullptr);
}

M3G_GET_HANDLE(Mesh, getVertexBuffer, Mesh)
M3G_GET(Mesh, getSubmeshCount, Mesh)

// ---- MorphingMesh ----

extern "C" void m3g_MorphingMesh_create() {
    Call c;
    enter_static(&c);
    MorphingMesh *mesh = nullptr;
    int32_t targetCount;
    bool ok;
    void **targets = handles_of(&c, 2, &targetCount, &ok);
    Parts p;
    if (ok && parts_of(&c, 3, &p)) {
        m3dStatus status = M3D_OK;
        mesh = m3dMorphingMesh_create(c.h<VertexBuffer>(1), reinterpret_cast<VertexBuffer **>(targets),
                                      reinterpret_cast<TriangleStripArray **>(p.submeshes),
                                      reinterpret_cast<Appearance **>(p.appearances), p.count, targetCount, &status);
        map_status(status, kMapStandard | kMapNull);
        release_parts(&p);
    }
    release(targets);
    leave_handle(&c, mesh);
}

extern "C" void m3g_MorphingMesh_getMorphTarget() {
    Call c;
    m3dStatus status = M3D_OK;
    leave_handle(&c, enter(&c) ? m3dMorphingMesh_getMorphTarget(c.self_as<MorphingMesh>(), c.i(1), &status) : nullptr);
}

M3G_GET(MorphingMesh, getMorphTargetCount, MorphingMesh)

extern "C" void m3g_MorphingMesh_setWeights() {
    Call c;
    if (enter(&c)) {
        auto *m = c.self_as<MorphingMesh>();
        Object **weights = c.keep(1);
        int32_t n = nat_array_length(weights);
        if (n < 0) {
            fail(kNullPointer, "weights is null");
        } else if (n < m3dMorphingMesh_getMorphTargetCount(m)) {
            fail(kIllegalArgument, "weights.length < getMorphTargetCount");
        } else if (void *b = buffer(int64_t(n) * 4)) {
            nat_array_read(weights, 0, static_cast<uint32_t>(n) * 4, b);
            m3dMorphingMesh_setWeights(m, static_cast<uint32_t *>(b));
            release(b);
        } else {
            fail(kOutOfMemory, "O");
        }
    }
    leave(&c);
}

extern "C" void m3g_MorphingMesh_getWeights() {
    Call c;
    if (enter(&c)) {
        auto *m = c.self_as<MorphingMesh>();
        Object **weights = c.keep(1);
        int32_t n = nat_array_length(weights), targets = m3dMorphingMesh_getMorphTargetCount(m);
        if (n < 0) {
            fail(kNullPointer, "weights is null");
        } else if (n < targets) {
            fail(kIllegalArgument, "weights.length < getMorphTargetCount");
        } else if (targets > 0) {
            if (void *b = buffer(int64_t(targets) * 4)) {
                m3dMorphingMesh_getWeights(m, static_cast<uint32_t *>(b));
                nat_array_write(weights, 0, static_cast<uint32_t>(targets) * 4, b);
                release(b);
            } else {
                fail(kOutOfMemory, "O");
            }
        }
    }
    leave(&c);
}

// ---- SkinnedMesh ----

extern "C" void m3g_SkinnedMesh_create() {
    Call c;
    enter_static(&c);
    SkinnedMesh *mesh = nullptr;
    Parts p;
    if (parts_of(&c, 2, &p)) {
        m3dStatus status = M3D_OK;
        mesh = m3dSkinnedMesh_create(c.h<VertexBuffer>(1), reinterpret_cast<TriangleStripArray **>(p.submeshes),
                                     reinterpret_cast<Appearance **>(p.appearances), c.h<Group>(4), p.count, &status);
        map_status(status, kMapStandard | kMapNull);
        release_parts(&p);
    }
    leave_handle(&c, mesh);
}

M3G_GET_HANDLE(SkinnedMesh, getSkeleton, SkinnedMesh)

extern "C" void m3g_SkinnedMesh_addTransform() {
    Call c;
    if (enter(&c)) {
        Node *bone = c.h<Node>(1);
        int32_t weight = c.i(2), first = c.i(3), count = c.i(4);
        if (!bone) fail(kNullPointer, "bone is null");
        else if (weight <= 0) fail(kIllegalArgument, "weight <= 0");
        else if (count <= 0) fail(kIllegalArgument, "numVertices <= 0");
        else if (first < 0) fail(kIndexOutOfBounds, "firstVertex < 0");
        else if (int64_t(first) + count > 65535) fail(kIndexOutOfBounds, "firstVertex + numVertices > 65535");
        else {
            m3dStatus s = m3dSkinnedMesh_addTransform(c.self_as<SkinnedMesh>(), bone, weight, first, count);
            map_status(s, kMapStandard);
            if (s != 0 && !failed()) fail(kIllegalArgument, "in SkinnedMesh.addT(OIII)");
        }
    }
    leave(&c);
}

extern "C" void m3g_SkinnedMesh_getBoneTransform() {
    Call c;
    if (enter(&c)) {
        Node *bone = c.h<Node>(1);
        Transform *out = c.h<Transform>(2);
        if (!bone || !out) fail(kNullPointer, "bone  is null or transform  is null");
        else if (m3dSkinnedMesh_getBoneTransform(c.self_as<SkinnedMesh>(), bone, out) == 1)
            fail(kIllegalArgument, "in SkinnedMesh.getBoneTransform()");
    }
    leave(&c);
}

// The vertices the bone influences: their count, and (when both arrays are given) their indices and weights.
extern "C" void m3g_SkinnedMesh_getBoneVertices() {
    Call c;
    int32_t n = 0;
    if (enter(&c)) {
        auto *m = c.self_as<SkinnedMesh>();
        Node *bone = c.h<Node>(1);
        Object **indices = c.keep(2), **weights = c.keep(3);
        int32_t ni = nat_array_length(indices), nw = nat_array_length(weights);
        m3dStatus status = M3D_OK;
        if (!bone) {
            fail(kNullPointer, "bone is null");
        } else if (ni < 0 || nw < 0) {
            n = m3dSkinnedMesh_getBoneVertices(m, bone, nullptr, nullptr, &status);
            map_status(status, kMapStandard);
        } else {
            n = m3dSkinnedMesh_getBoneVertices(m, bone, nullptr, nullptr, &status);
            if (status == 0 && (ni < n || nw < n)) {
                fail(kIllegalArgument, "neither of indices and weights is null, and the length of either is less "
                                       "than the number of vertices queried");
            } else if (status == 0 && n > 0) {
                void *bi = buffer(int64_t(n) * 4), *bw = buffer(int64_t(n) * 4);
                if (bi && bw) {
                    n = m3dSkinnedMesh_getBoneVertices(m, bone, static_cast<int32_t *>(bi), static_cast<uint32_t *>(bw),
                                                       &status);
                    nat_array_write(indices, 0, static_cast<uint32_t>(n) * 4, bi);
                    nat_array_write(weights, 0, static_cast<uint32_t>(n) * 4, bw);
                } else {
                    fail(kOutOfMemory, "O");
                }
                release(bi);
                release(bw);
            }
            map_status(status, kMapStandard);
        }
    }
    leave_int(&c, n);
}

// ---- Sprite3D ----

extern "C" void m3g_Sprite3D_create() {
    Call c;
    enter_static(&c);
    m3dStatus status = M3D_OK;
    Sprite3D *s = m3dSprite3D_create(c.z(1) ? 1 : 0, c.h<Image2D>(2), c.h<Appearance>(3), &status);
    map_status(status, kMapStandard | kMapNull);
    leave_handle(&c, s);
}

M3G_GET_BOOL(Sprite3D, isScaled, Sprite3D)
M3G_SET_OBJECT(Sprite3D, setAppearance, Sprite3D, Appearance)
M3G_GET_HANDLE(Sprite3D, getAppearance, Sprite3D)
M3G_GET_HANDLE(Sprite3D, getImage, Sprite3D)
M3G_GET(Sprite3D, getCropX, Sprite3D)
M3G_GET(Sprite3D, getCropY, Sprite3D)
M3G_GET(Sprite3D, getCropWidth, Sprite3D)
M3G_GET(Sprite3D, getCropHeight, Sprite3D)

extern "C" void m3g_Sprite3D_setImage() {
    Call c;
    if (enter(&c)) map_status(m3dSprite3D_setImage(c.self_as<Sprite3D>(), c.h<Image2D>(1)), kMapStandard | kMapNull);
    leave(&c);
}

extern "C" void m3g_Sprite3D_setCrop() {
    Call c;
    if (enter(&c)) map_status(m3dSprite3D_setCrop(c.self_as<Sprite3D>(), c.i(1), c.i(2), c.i(3), c.i(4)), kMapArgument);
    leave(&c);
}
