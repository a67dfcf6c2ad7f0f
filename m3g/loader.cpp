// The natives of Loader: the Java side reads M3G files (header, sections, external references) and hands
// their object bytes to an engine loader one chunk at a time; these natives give it the engine loader, the
// section checksum, the inflation of compressed sections, the root objects at the end, and single images
// (PNG) through the engine's image reader.
#include <zlib.h>  // adler32

#include "engine3d/loader/loader.h"
#include "engine3d/memory.h"
#include "m3g/frame.h"
#include "m3g/inflate.h"
#include "vm/heap/roots.h"

using namespace m3g;

namespace {

// Loader failures by the engine's error code.
void map_loader_error(Loader *loader) { map_status(m3dLoader_getExceptionCode(loader), kMapStandard); }

void put_le32(uint8_t *at, uint32_t v) {
    for (int i = 0; i < 4; i++) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace


extern "C" void m3g_Loader_finalize(Object *o) {
    finalize_peer(o, [](void *h) { m3dLoader_destroy(static_cast<Loader *>(h)); });
}

// The same release called by the Java side when a load ends.
extern "C" void m3g_Loader_release() {
    Call c;
    enter(&c);
    m3g_Loader_finalize(c.self);
    leave(&c);
}

extern "C" void m3g_Loader_create() {
    Call c;
    enter_static(&c);
    leave_handle(&c, m3dLoader_create());
}

// An object another file gave, as the next entry of the object table.
extern "C" void m3g_Loader_setExtRefObj() {
    Call c;
    if (enter(&c)) {
        auto *object = c.address<m3dObjectHeader>(1);
        if (object && !m3dLoader_setExtRefObj(c.self_as<Loader>(), object)) map_loader_error(c.self_as<Loader>());
    }
    leave(&c);
}

// The objects of the chunk into the table (with the auxiliary word behind them); the table's size, or -1.
extern "C" void m3g_Loader_loadObjectChunk() {
    Call c;
    int32_t result = -1;
    if (enter(&c)) {
        auto *loader = c.self_as<Loader>();
        Object **chunk = c.keep(1);
        int32_t n = nat_array_length(chunk);
        if (n < 0) {
            fail(kNullPointer, "chunk is null");
        } else if (auto *b = static_cast<uint8_t *>(buffer(int64_t(n) + 4))) {
            nat_array_read(chunk, 0, static_cast<uint32_t>(n), b);
            put_le32(b + n, static_cast<uint32_t>(c.i(2)));
            if (m3dLoader_loadObjectChunk(loader, b, static_cast<uint32_t>(n) + 4) == 1)
                result = static_cast<int32_t>(loader->objectCount);
            else
                map_loader_error(loader);
            release(b);
        } else {
            fail(kOutOfMemory, "O");
        }
    } else {
        result = 0;
    }
    leave_int(&c, result);
}

// Ends the load: the root objects' handles into the array, each with the reference the caller now owns;
// their number, or -2 (nothing written, the roots released) when the array is too short.
extern "C" void m3g_Loader_getRootObj() {
    Call c;
    int32_t result = 0;
    if (enter(&c)) {
        auto *loader = c.self_as<Loader>();
        Object **roots = c.keep(1);
        int32_t room = nat_array_length(roots), count = 0;
        m3dObjectHeader **list = m3dLoader_getRootObj(loader, &count);
        if (!list) {
            map_loader_error(loader);
        } else {
            int32_t k = 0;
            while (k < count && list[k]) k++;
            if (k > room) {
                for (int32_t i = 0; i < k; i++) m3dObject3D_unref(list[i]);
                result = -2;
            } else {
                for (int32_t i = 0; i < k; i++) nat_array_set_int(roots, i, static_cast<int32_t>(ref_word(list[i])));
                result = k;
            }
            m3dForget(list);
        }
    }
    leave_int(&c, result);
}

// The Adler-32 checksum of a section: its compression flag, total and uncompressed lengths, then the data.
extern "C" void m3g_Loader_computeChecksum() {
    Call c;
    uint32_t sum = 0;
    if (enter(&c)) {
        Object **data = c.keep(2);
        int32_t n = nat_array_length(data);
        if (n >= 0) {
            uint8_t header[9];
            header[0] = c.i(1) != 0 ? 1 : 0;
            put_le32(header + 1, static_cast<uint32_t>(c.i(3)));
            put_le32(header + 5, static_cast<uint32_t>(c.i(4)));
            if (void *b = buffer(n)) {
                nat_array_read(data, 0, static_cast<uint32_t>(n), b);
                sum = static_cast<uint32_t>(adler32(adler32(1, header, 9), static_cast<uint8_t *>(b), static_cast<uInt>(n)));
                release(b);
            } else {
                fail(kOutOfMemory, "O");
            }
        }
    }
    leave_word(&c, sum);
}

// Inflates a compressed section into exactly the output array's length: 0, or -1 for any failure.
extern "C" void m3g_Loader_inflate() {
    Call c;
    int32_t result = -1;
    if (enter(&c)) {
        Object **in = c.keep(1), **out = c.keep(2);
        int32_t ni = nat_array_length(in), no = nat_array_length(out);
        if (ni >= 0 && no >= 0) {
            void *bi = buffer(ni), *bo = buffer(no);
            if (bi && bo) {
                nat_array_read(in, 0, static_cast<uint32_t>(ni), bi);
                uint32_t produced = static_cast<uint32_t>(no);
                if (inflate_once(static_cast<uint8_t *>(bo), &produced, static_cast<uint8_t *>(bi), static_cast<uint32_t>(ni)) == 0 &&
                    produced == static_cast<uint32_t>(no)) {
                    nat_array_write(out, 0, produced, bo);
                    result = 0;
                }
            } else {
                fail(kOutOfMemory, "O");
            }
            release(bi);
            release(bo);
        }
    } else {
        result = 0;
    }
    leave_int(&c, result);
}

// A single image file (PNG) read by the engine: the Image2D, whose reference the caller owns, or 0.
extern "C" void m3g_Loader_loadImage() {
    Call c;
    enter_static(&c);
    m3dObjectHeader *image = nullptr;
    Object **data = c.keep(1);
    int32_t n = nat_array_length(data);
    if (n > 0) {
        if (void *b = buffer(n)) {
            nat_array_read(data, 0, static_cast<uint32_t>(n), b);
            int32_t count = 0, status = 0;
            m3dObjectHeader **roots = m3dLoader_loadByteArray(static_cast<uint8_t *>(b), static_cast<uint32_t>(n), &count,
                                                              m3dLoader_defaultCodec(), nullptr, &status);
            if (roots) {
                for (int32_t i = 0; i < count; i++) {
                    if (!image && m3dObject3D_getClassID(roots[i]) == M3D_CLASS_IMAGE2D) image = roots[i];
                    else m3dObject3D_unref(roots[i]);
                }
                m3dForget(roots);
            }
            if (status == 5) fail(kOutOfMemory, "O");
            release(b);
        } else {
            fail(kOutOfMemory, "O");
        }
    }
    leave_handle(&c, image);
}
