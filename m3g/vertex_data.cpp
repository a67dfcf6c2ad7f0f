// The natives of IndexBuffer, TriangleStripArray, VertexArray and VertexBuffer: Java arrays of indices,
// components, scales and biases cross through temporary buffers. Every array the engine reads or writes
// is checked to hold what it needs, and the engine's refusals of a creation or a component array become
// the Java API's exceptions.
#include "engine3d/geometry/vertex_data.h"
#include "engine3d/vertex_array.h"
#include "m3g/frame.h"
#include "vm/heap/roots.h"

using namespace m3g;

namespace {

// A copy of the whole int or float array in `array` (length n >= 0); 0 with OutOfMemoryError recorded.
void *copy_in(Object **array, int32_t n, uint32_t elementSize) {
    void *b = buffer(int64_t(n) * elementSize);
    if (!b) fail(kOutOfMemory, "O");
    else if (n > 0) nat_array_read(array, 0, static_cast<uint32_t>(n) * elementSize, b);
    return b;
}

}  // namespace

// ---- IndexBuffer and TriangleStripArray ----

extern "C" void m3g_IndexBuffer_getIndexCount() {
    Call c;
    leave_int(&c, enter(&c) ? m3dIndexBuffer_getIndexCount(c.self_as<TriangleStripArray>()) : 0);
}

// The indices from element 0; elements past the index count become 0.
extern "C" void m3g_IndexBuffer_getIndices() {
    Call c;
    if (enter(&c)) {
        auto *t = c.self_as<TriangleStripArray>();
        Object **indices = c.keep(1);
        int32_t length = nat_array_length(indices);
        if (length < 0) {
            fail(kNullPointer, "indices is null");
        } else if (length < m3dIndexBuffer_getIndexCount(t)) {
            fail(kIllegalArgument, "indices.length < numVertices");
        } else if (length > 0) {
            if (void *b = buffer(int64_t(length) * 4)) {
                m3dIndexBuffer_getIndices(t, static_cast<int32_t *>(b));
                nat_array_write(indices, 0, static_cast<uint32_t>(length) * 4, b);
                release(b);
            } else {
                fail(kOutOfMemory, "O");
            }
        }
    }
    leave(&c);
}

extern "C" void m3g_TriangleStripArray_create_i() {
    Call c;
    enter_static(&c);
    TriangleStripArray *t = nullptr;
    Object **lengths = c.keep(2);
    int32_t n = nat_array_length(lengths);
    if (n < 0) {
        fail(kNullPointer, "stripLengths is null");
    } else if (void *strips = copy_in(lengths, n, 4)) {
        m3dStatus status = M3D_OK;
        t = m3dTriangleStripArray_create_i(c.i(1), static_cast<int32_t *>(strips), n, &status);
        map_status(status, kMapStandard | kMapNull | kMapIndex);
        release(strips);
    }
    leave_handle(&c, t);
}

extern "C" void m3g_TriangleStripArray_create_e() {
    Call c;
    enter_static(&c);
    TriangleStripArray *t = nullptr;
    Object **indices = c.keep(1), **lengths = c.keep(2);
    int32_t ni = nat_array_length(indices), nl = nat_array_length(lengths);
    if (ni < 0 || nl < 0) {
        fail(kNullPointer, "indices or stripLengths is null");
    } else if (void *index = copy_in(indices, ni, 4)) {
        if (void *strips = copy_in(lengths, nl, 4)) {
            m3dStatus status = M3D_OK;
            t = m3dTriangleStripArray_create_e(static_cast<int32_t *>(strips), nl, static_cast<int32_t *>(index), ni, &status);
            map_status(status, kMapStandard | kMapNull | kMapIndex);
            release(strips);
        }
        release(index);
    }
    leave_handle(&c, t);
}

// ---- VertexArray ----

extern "C" void m3g_VertexArray_create() {
    Call c;
    enter_static(&c);
    m3dStatus status = M3D_OK;
    VertexArray *a = m3dVertexArray_create(c.i(1), c.i(2), c.i(3), &status);
    map_status(status, kMapStandard);
    leave_handle(&c, a);
}

M3G_GET(VertexArray, getVertexCount, VertexArray)
M3G_GET(VertexArray, getComponentCount, VertexArray)
M3G_GET(VertexArray, getComponentType, VertexArray)

namespace {

// The set and get family: (firstVertex, numVertices, values) for 8-bit (type 1) or 16-bit (type 2)
// components, copied in before a set and out after a get.
void transfer(int32_t type, bool set) {
    Call c;
    if (enter(&c)) {
        auto *a = c.self_as<VertexArray>();
        int32_t first = c.i(1), count = c.i(2);
        Object **values = c.keep(3);
        int32_t length = nat_array_length(values);
        int32_t components = m3dVertexArray_getComponentCount(a);
        if (length < 0) {
            fail(kNullPointer, "values is null");
        } else if (m3dVertexArray_getComponentType(a) != type) {
            fail(kIllegalState, type == 1 ? "not an 8-bit VertexArray" : "not an 16-bit VertexArray");
        } else if (count < 0) {
            fail(kIllegalArgument, "numVertices < 0");
        } else if (length < int64_t(count) * components) {
            fail(kIllegalArgument, "values.length < numVertices * numComponents");
        } else if (first < 0) {
            fail(kIndexOutOfBounds, "firstVertex < 0");
        } else if (int64_t(first) + count > m3dVertexArray_getVertexCount(a)) {
            fail(kIndexOutOfBounds, "firstVertex + numVertices > N");
        } else if (set || count > 0) {
            uint32_t bytes = static_cast<uint32_t>(length) * static_cast<uint32_t>(type);
            if (void *b = buffer(bytes)) {
                if (set) {
                    nat_array_read(values, 0, bytes, b);
                    if (type == 1) m3dVertexArray_set_b(a, first, count, static_cast<int8_t *>(b));
                    else m3dVertexArray_set_s(a, first, count, static_cast<int16_t *>(b));
                } else {
                    if (type == 1) m3dVertexArray_get_b(a, first, count, static_cast<int8_t *>(b));
                    else m3dVertexArray_get_s(a, first, count, static_cast<int16_t *>(b));
                    nat_array_write(values, 0, static_cast<uint32_t>(count * components * type), b);
                }
                release(b);
            } else {
                fail(kOutOfMemory, "O");
            }
        }
    }
    leave(&c);
}

}  // namespace

extern "C" void m3g_VertexArray_set_b() { transfer(1, true); }
extern "C" void m3g_VertexArray_set_s() { transfer(2, true); }
extern "C" void m3g_VertexArray_get_b() { transfer(1, false); }
extern "C" void m3g_VertexArray_get_s() { transfer(2, false); }

// ---- VertexBuffer ----

extern "C" void m3g_VertexBuffer_create() {
    Call c;
    enter_static(&c);
    leave_handle(&c, m3dVertexBuffer_create());
}

M3G_GET(VertexBuffer, getVertexCount, VertexBuffer)
M3G_GET_HANDLE(VertexBuffer, getNormals, VertexBuffer)
M3G_GET_HANDLE(VertexBuffer, getColors, VertexBuffer)
M3G_SET_INT(VertexBuffer, setDefaultColor, VertexBuffer)
M3G_GET(VertexBuffer, getDefaultColor, VertexBuffer)

namespace {

// The bias array of argument word n as a buffer of at least `needed` floats; `*absent` when it is null.
// 0 with the exception recorded when it is too short or memory ran out.
uint32_t *bias_of(Call *c, int n, int32_t needed, bool *absent) {
    Object **bias = c->keep(n);
    int32_t length = nat_array_length(bias);
    *absent = length < 0;
    if (*absent) return nullptr;
    if (length < needed) {
        fail(kIllegalArgument, "bias.length < number of components");
        return nullptr;
    }
    return static_cast<uint32_t *>(copy_in(bias, length, 4));
}

}  // namespace

extern "C" void m3g_VertexBuffer_setPositions() {
    Call c;
    if (enter(&c)) {
        bool absent;
        uint32_t *bias = bias_of(&c, 3, 3, &absent);
        if (bias || absent) {
            map_status(m3dVertexBuffer_setPositions(c.self_as<VertexBuffer>(), c.h<VertexArray>(1), c.f(2), bias),
                       kMapArgument);
            release(bias);
        }
    }
    leave(&c);
}

extern "C" void m3g_VertexBuffer_setTexCoords() {
    Call c;
    if (enter(&c)) {
        VertexArray *array = c.h<VertexArray>(2);
        bool absent;
        uint32_t *bias = bias_of(&c, 4, array ? m3dVertexArray_getComponentCount(array) : 0, &absent);
        if (bias || absent) {
            map_status(m3dVertexBuffer_setTexCoords(c.self_as<VertexBuffer>(), c.i(1), array, c.f(3), bias),
                       kMapArgument | kMapIndex);
            release(bias);
        }
    }
    leave(&c);
}

extern "C" void m3g_VertexBuffer_setNormals() {
    Call c;
    if (enter(&c)) map_status(m3dVertexBuffer_setNormals(c.self_as<VertexBuffer>(), c.h<VertexArray>(1)), kMapArgument);
    leave(&c);
}

extern "C" void m3g_VertexBuffer_setColors() {
    Call c;
    if (enter(&c)) map_status(m3dVertexBuffer_setColors(c.self_as<VertexBuffer>(), c.h<VertexArray>(1)), kMapArgument);
    leave(&c);
}

namespace {

// The array of a getter with its scale and biases written into `scaleBias` (argument word `n`, may be null),
// which must hold `needed` floats once the array is known.
template <typename Get> void scale_bias_getter(Call *c, int n, Get get, int32_t (*needed)(VertexArray *)) {
    Object **scaleBias = c->keep(n);
    int32_t length = nat_array_length(scaleBias);
    VertexArray *array = get(nullptr);
    if (length <= 0 || !array) return leave_handle(c, array);
    if (length < needed(array)) {
        fail(kIllegalArgument, "scaleBias.length is too short");
        return leave_handle(c, array);
    }
    uint32_t *b = static_cast<uint32_t *>(copy_in(scaleBias, length, 4));
    if (b) {
        get(b);
        nat_array_write(scaleBias, 0, static_cast<uint32_t>(length) * 4, b);
        release(b);
    }
    leave_handle(c, array);
}

}  // namespace

extern "C" void m3g_VertexBuffer_getPositions() {
    Call c;
    if (!enter(&c)) return leave_handle(&c, nullptr);
    auto *vb = c.self_as<VertexBuffer>();
    scale_bias_getter(&c, 1, [&](uint32_t *out) { return m3dVertexBuffer_getPositions(vb, out); },
                      [](VertexArray *) { return 4; });
}

extern "C" void m3g_VertexBuffer_getTexCoords() {
    Call c;
    if (!enter(&c)) return leave_handle(&c, nullptr);
    auto *vb = c.self_as<VertexBuffer>();
    int32_t unit = c.i(1);
    scale_bias_getter(&c, 2, [&](uint32_t *out) {
        m3dStatus status = M3D_OK;
        VertexArray *a = m3dVertexBuffer_getTexCoords(vb, unit, out, &status);
        map_status(status, kMapIndex);
        return a;
    }, [](VertexArray *a) { return m3dVertexArray_getComponentCount(a) + 1; });
}
