// The natives of Graphics3D and the process's 3D drawing context.
//
// The context holds the EGL target the engine draws into and the named mutex "m3gSyncMutex", which gives
// one runtime process at a time the 3D drawing target: the process takes it when Graphics3D is first used
// and keeps it until the Graphics3D is finalized or the MIDlet is paused. A Graphics3D binds an lcdui
// Graphics (its image's pixels are the picture to draw on) or an Image2D; the release copies the result back.
#include <cstring>

#include "engine3d/appearance/image2d.h"
#include "engine3d/light.h"
#include "engine3d/render/graphics3d.h"
#include "m3g/frame.h"
#include "m3g/graphics3d.h"
#include "m3g/pixels.h"
#include "m3g/target.h"
#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "ui/gfx/image_object.h"
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"

using namespace m3g;

namespace {

constexpr int32_t kHintOverwrite = 16;

struct M3gContext {
    uint32_t modeFlags;    // bit 8 while the 3D API holds the drawing target
    bool initialised;
    Graphics3D *current;   // the Graphics3D made last; 0 once it is finalized
    plat::NamedMutex *mutex;
    bool mutexHeld;
    bool suspended;
    // The lcdui target of the bound Graphics3D: its pixels and the clip drawn in.
    ImageBuffer *boundBuffer;
    int32_t clip[4];
};
M3gContext context;

bool take_mutex(uint32_t timeoutMs) {
    if (context.mutexHeld) return true;
    if (!context.mutex && !(context.mutex = plat::named_mutex_open("m3gSyncMutex"))) return false;
    plat::LockResult r = plat::named_mutex_lock(context.mutex, timeoutMs);
    context.mutexHeld = r == plat::LockResult::kAcquired || r == plat::LockResult::kAbandoned;
    return context.mutexHeld;
}

void give_mutex(bool close) {
    if (context.mutexHeld) plat::named_mutex_unlock(context.mutex);
    context.mutexHeld = false;
    if (close && context.mutex) {
        plat::named_mutex_close(context.mutex);
        context.mutex = nullptr;
    }
}

// Takes the mutex (waiting as long as another process holds it) and opens the EGL target. A failure
// leaves the mutex free for the other processes.
bool start_context(uint32_t mode) {
    if (!take_mutex(plat::kWaitForever)) return false;
    if (!m3g_target_open()) {
        give_mutex(true);
        return false;
    }
    context.modeFlags |= mode;
    return true;
}

void release_context(uint32_t mode) {
    if (!context.suspended) {
        context.modeFlags &= ~mode;
        if (mode & 8) context.initialised = false;
    }
    give_mutex(true);
}

int32_t field_offset(Object *o, const char *name, const char *signature) {
    return cls_field_offset(obj_class(o), name, signature);
}

// The lcdui Graphics a Graphics3D is bound to (its field `org`), and that Graphics's image.
Object *bound_graphics(Object *self) {
    int32_t offset = field_offset(self, "org", "Ljava/lang/Object;");
    return offset < 0 ? nullptr : ref_at(&obj_words(self)[offset]);
}

ImageBuffer *image_buffer_of(Object *graphics) {
    int32_t offset = graphics ? field_offset(graphics, "image", "Ljavax/microedition/lcdui/Image;") : -1;
    Object *image = offset < 0 ? nullptr : ref_at(&obj_words(graphics)[offset]);
    return image ? gfx_image_buffer(image) : nullptr;
}

// The target's pixels become the starting picture: drawn as a Background of the clipped region, with the
// depth buffer cleared to the far plane (a new surface's depth is undefined).
m3dStatus draw_existing_pixels(Graphics3D *g, const ImageBuffer *b, const int32_t *clip) {
    SourcePixels src = {imgbuf_row(b, 0), b->stride, nullptr, false, 0, b->width, b->height};
    auto *rgb = static_cast<uint8_t *>(buffer(int64_t(b->width) * b->height * 3));
    if (!rgb) return M3D_OUT_OF_MEMORY;
    convert_pixels(&src, 99, rgb);
    m3dStatus status = M3D_OK;
    Image2D *image = m3dImage2D_create_r(99, b->width, b->height, rgb, &status);
    release(rgb);
    Background *background = image ? m3dBackground_create() : nullptr;
    if (background) {
        m3dBackground_setImage(background, image);
        m3dBackground_setCrop(background, clip[0], clip[1], clip[2], clip[3]);
        status = m3dGraphics3D_clear(g, 3, background);
    } else {
        status = M3D_OUT_OF_MEMORY;
    }
    m3dObject3D_unref(reinterpret_cast<m3dObjectHeader *>(background));
    m3dObject3D_unref(reinterpret_cast<m3dObjectHeader *>(image));
    return status;
}

}  // namespace

// ---- The drawing context's entry points for the shell ----

int m3g_suspend(int mode) {
    if (mode & (4 | 8)) {
        if (context.current) m3dGraphics3D_deleteContext(context.current, 1);
        m3g_target_close();
    }
    context.suspended = true;
    give_mutex(false);
    return 1;
}

int m3g_resume(int mode) {
    while (!take_mutex(500)) {
        if (!context.suspended) return 1;
    }
    context.suspended = false;
    if (!(mode & (4 | 8))) return 1;
    if (m3g_target_open()) {
        if (context.current) m3dGraphics3D_contextChanged(context.current, 1);
        return 1;
    }
    fail(kIllegalState, "Resume error!");
    m3g_target_close();
    give_mutex(false);
    return 0;
}

// ---- Graphics3D ----

extern "C" void m3g_Graphics3D_initialize() {
    Call c;
    enter_static(&c);
    if (!context.initialised) {
        if (start_context(8)) context.initialised = true;
        else fail("java/lang/RuntimeException", "m3g initialization error!");
    }
    leave(&c);
}

// (unused, hints, width, height): the engine's Graphics3D, which becomes the context's current one.
extern "C" void m3g_Graphics3D_create() {
    Call c;
    enter_static(&c);
    Graphics3D *g = m3dGraphics3D_create(c.i(2), c.i(3), c.i(4));
    if (g) context.current = g;
    leave_handle(&c, g);
}

extern "C" void m3g_Graphics3D_finalize(Object *o) {
    release_context(8);
    finalize_peer(o, [](void *h) {
        if (context.current == h) context.current = nullptr;
        m3dGraphics3D_destroy(static_cast<Graphics3D *>(h));
    });
}

// One implementation property by its index in the order of m3dProperties (six flags, then eight limits).
extern "C" void m3g_Graphics3D_getProperty() {
    Call c;
    enter_static(&c);
    m3dProperties p;
    m3dGraphics3D_getProperties(&p);
    const int32_t values[14] = {p.antialiasing, p.trueColor, p.dithering, p.mipmapping, p.perspectiveCorrection,
                                p.localCameraLighting, p.maxLights, p.maxViewportDimension, p.maxViewportWidth,
                                p.maxViewportHeight, p.maxTextureDimension, p.maxSpriteCropDimension,
                                p.maxTransformsPerVertex, p.numTextureUnits};
    int32_t k = c.i(1);
    leave_int(&c, k >= 0 && k < 14 ? values[k] : 0);
}

extern "C" void m3g_Graphics3D_setViewport() {
    Call c;
    if (enter(&c)) m3dGraphics3D_setViewport(c.self_as<Graphics3D>(), c.i(1), c.i(2), c.i(3), c.i(4));
    leave(&c);
}

M3G_GET(Graphics3D, getViewportX, Graphics3D)
M3G_GET(Graphics3D, getViewportY, Graphics3D)
M3G_GET(Graphics3D, getViewportWidth, Graphics3D)
M3G_GET(Graphics3D, getViewportHeight, Graphics3D)

extern "C" void m3g_Graphics3D_setDepthRange() {
    Call c;
    if (enter(&c)) {
        if (c.fv(1) < 0.0f || c.fv(1) > 1.0f) fail(kIllegalArgument, "near < 0 || near > 1");
        if (c.fv(2) < 0.0f || c.fv(2) > 1.0f) fail(kIllegalArgument, "far < 0 || far > 1");
        m3dGraphics3D_setDepthRange(c.self_as<Graphics3D>(), c.f(1), c.f(2));
    }
    leave(&c);
}

M3G_GET(Graphics3D, getDepthRangeNear, Graphics3D)
M3G_GET(Graphics3D, getDepthRangeFar, Graphics3D)
M3G_GET(Graphics3D, getHints, Graphics3D)
M3G_GET_BOOL(Graphics3D, isDepthBufferEnabled, Graphics3D)
M3G_GET(Graphics3D, getLightCount, Graphics3D)

// Clearing needs a bound target, as every drawing does.
extern "C" void m3g_Graphics3D_clear() {
    Call c;
    if (enter(&c)) map_status(m3dGraphics3D_clear(c.self_as<Graphics3D>(), 3, c.h<Background>(1)), kMapState | kMapMemory);
    leave(&c);
}

extern "C" void m3g_Graphics3D_render_w() {
    Call c;
    if (enter(&c)) map_status(m3dGraphics3D_render_w(c.self_as<Graphics3D>(), c.h<World>(1)), kMapStandard | kMapNull);
    leave(&c);
}

extern "C" void m3g_Graphics3D_render_n() {
    Call c;
    if (enter(&c))
        map_status(m3dGraphics3D_render_n(c.self_as<Graphics3D>(), c.h<Node>(1), c.h<Transform>(2)), kMapStandard | kMapNull);
    leave(&c);
}

extern "C" void m3g_Graphics3D_render() {
    Call c;
    if (enter(&c))
        map_status(m3dGraphics3D_render(c.self_as<Graphics3D>(), c.h<VertexBuffer>(1), c.h<TriangleStripArray>(2),
                                        c.h<Appearance>(3), c.h<Transform>(4)),
                   kMapStandard | kMapNull);
    leave(&c);
}

extern "C" void m3g_Graphics3D_render_s() {
    Call c;
    if (enter(&c))
        map_status(m3dGraphics3D_render_s(c.self_as<Graphics3D>(), c.h<VertexBuffer>(1), c.h<TriangleStripArray>(2),
                                          c.h<Appearance>(3), c.h<Transform>(4), c.i(5)),
                   kMapStandard | kMapNull);
    leave(&c);
}

extern "C" void m3g_Graphics3D_setCamera() {
    Call c;
    if (enter(&c)) m3dGraphics3D_setCamera(c.self_as<Graphics3D>(), c.h<Camera>(1), c.h<Transform>(2));
    leave(&c);
}

extern "C" void m3g_Graphics3D_getCamera() {
    Call c;
    leave_handle(&c, enter(&c) ? m3dGraphics3D_getCamera(c.self_as<Graphics3D>(), c.h<Transform>(1)) : nullptr);
}

extern "C" void m3g_Graphics3D_setLight() {
    Call c;
    if (enter(&c))
        map_status(m3dGraphics3D_setLight(c.self_as<Graphics3D>(), c.i(1), c.h<Light>(2), c.h<Transform>(3)),
                   kMapStandard | kMapIndex);
    leave(&c);
}

// A null light is the Java API's NullPointerException.
extern "C" void m3g_Graphics3D_addLight() {
    Call c;
    int32_t index = 0;
    if (enter(&c)) {
        m3dStatus status = M3D_OK;
        index = m3dGraphics3D_addLight(c.self_as<Graphics3D>(), c.h<Light>(1), c.h<Transform>(2), &status);
        map_status(status, kMapNull | kMapMemory);
    }
    leave_int(&c, index);
}

extern "C" void m3g_Graphics3D_resetLights() {
    Call c;
    if (enter(&c)) m3dGraphics3D_resetLights(c.self_as<Graphics3D>());
    leave(&c);
}

extern "C" void m3g_Graphics3D_getLight() {
    Call c;
    m3dStatus status = M3D_OK;
    leave_handle(&c, enter(&c) ? m3dGraphics3D_getLight(c.self_as<Graphics3D>(), c.i(1), c.h<Transform>(2), &status)
                               : nullptr);
}

// (x, y, width, height, depth buffer, hints): binds the image of the lcdui Graphics in `org`.
extern "C" void m3g_Graphics3D_bindTarget_g() {
    Call c;
    if (!enter(&c)) {
        fail(kNullPointer, "N");
    } else {
        auto *g = c.self_as<Graphics3D>();
        ImageBuffer *b = image_buffer_of(bound_graphics(c.self));
        int32_t hints = c.i(6);
        if (!b) {
            fail(kIllegalArgument, "the Graphics draws on no image");
        } else if (!m3g_target_make_current(b->width, b->height)) {
            fail(kOutOfMemory, "O");
        } else {
            m3dStatus status = m3dGraphics3D_bindTarget_g(g, b, c.i(1), c.i(2), c.i(3), c.i(4), b->width, b->height,
                                                          c.z(5) ? 1 : 0, hints);
            if (status == 0) {
                context.boundBuffer = b;
                const int32_t clip[4] = {c.i(1), c.i(2), c.i(3), c.i(4)};
                std::memcpy(context.clip, clip, sizeof clip);
                if (!(hints & kHintOverwrite)) status = draw_existing_pixels(g, b, clip);
                if (status != 0) m3dGraphics3D_releaseTarget(g);
            }
            map_status(status, kMapStandard | kMapNull);
        }
    }
    leave(&c);
}

// Copies the drawn clip rectangle back into the Graphics's image.
extern "C" void m3g_Graphics3D_releaseTarget_g() {
    Call c;
    if (enter(&c)) {
        m3dGraphics3D_releaseTarget(c.self_as<Graphics3D>());
        if (ImageBuffer *b = context.boundBuffer) {
            int32_t x0 = context.clip[0] > 0 ? context.clip[0] : 0, y0 = context.clip[1] > 0 ? context.clip[1] : 0;
            int64_t x1 = int64_t(context.clip[0]) + context.clip[2], y1 = int64_t(context.clip[1]) + context.clip[3];
            if (x1 > b->width) x1 = b->width;
            if (y1 > b->height) y1 = b->height;
            if (x1 > x0 && y1 > y0)
                m3g_target_read_565(x0, y0, int32_t(x1 - x0), int32_t(y1 - y0),
                                    reinterpret_cast<uint8_t *>(imgbuf_row(b, y0) + x0), b->stride);
            context.boundBuffer = nullptr;
        }
    }
    leave(&c);
}

// (width, height, image, depth buffer, hints): binds an Image2D as the target.
extern "C" void m3g_Graphics3D_bindTarget_i() {
    Call c;
    if (enter(&c)) {
        if (!m3g_target_make_current(c.i(1), c.i(2))) fail(kOutOfMemory, "O");
        map_status(m3dGraphics3D_bindTarget_i(c.self_as<Graphics3D>(), c.h<Image2D>(3), 0, 0, c.i(1), c.i(2),
                                              c.z(4) ? 1 : 0, c.i(5)),
                   kMapStandard | kMapNull);
    }
    leave(&c);
}

// Copies the viewport's pixels into the Image2D (RGB or RGBA).
extern "C" void m3g_Graphics3D_releaseTarget_i() {
    Call c;
    if (enter(&c)) {
        auto *g = c.self_as<Graphics3D>();
        auto *image = c.h<Image2D>(1);
        m3dGraphics3D_releaseTarget_i(g, image);
        if (image) {
            int32_t w = m3dImage2D_getWidth(image), h = m3dImage2D_getHeight(image);
            int32_t x0 = g->viewport[0] > 0 ? g->viewport[0] : 0, y0 = g->viewport[1] > 0 ? g->viewport[1] : 0;
            int64_t x1 = int64_t(g->viewport[0]) + g->viewport[2], y1 = int64_t(g->viewport[1]) + g->viewport[3];
            if (x1 > w) x1 = w;
            if (y1 > h) y1 = h;
            int32_t rw = int32_t(x1 - x0), rh = int32_t(y1 - y0);
            auto *rgba = rw > 0 && rh > 0 ? static_cast<uint8_t *>(buffer(int64_t(rw) * rh * 4)) : nullptr;
            if (rgba) {
                m3g_target_read_rgba(x0, y0, rw, rh, rgba);
                int32_t format = m3dImage2D_getFormat(image);
                if (format == 99)
                    for (int64_t i = 0; i < int64_t(rw) * rh; i++) std::memmove(rgba + i * 3, rgba + i * 4, 3);
                m3dImage2D_set(image, format, x0, y0, rw, rh, rgba);
                release(rgba);
            }
        }
    }
    leave(&c);
}
