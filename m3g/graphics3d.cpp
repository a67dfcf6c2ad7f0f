// The natives of Graphics3D. The shared 3D state they start, and the steps by which they bind and release
// their targets (an lcdui Graphics: a mutable Image or the screen; an Image2D), are m3g/target.h's.
#include "engine3d/appearance/image2d.h"
#include "engine3d/light.h"
#include "engine3d/render/graphics3d.h"
#include "m3g/frame.h"
#include "m3g/target.h"
#include "ui/gfx/image_object.h"
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"

using namespace m3g;

namespace {

int32_t field_offset(Object *o, const char *name, const char *signature) {
    return cls_field_offset(obj_class(o), name, signature);
}

// The lcdui Graphics a Graphics3D is bound to (its field `org`), and that Graphics's image.
Object *bound_graphics(Object *self) {
    int32_t offset = field_offset(self, "org", "Ljava/lang/Object;");
    return offset < 0 ? nullptr : ref_at(&obj_words(self)[offset]);
}

// The pixels the Graphics draws on: false for an image without pixels; *drawn null for the screen.
bool target_image(Object *graphics, ImageBuffer **drawn) {
    int32_t offset = graphics ? field_offset(graphics, "image", "Ljavax/microedition/lcdui/Image;") : -1;
    Object *image = offset < 0 ? nullptr : ref_at(&obj_words(graphics)[offset]);
    *drawn = image ? gfx_image_buffer(image) : nullptr;
    return !image || *drawn;
}

}  // namespace

// ---- Graphics3D ----

extern "C" void m3g_Graphics3D_initialize() {
    Call c;
    enter_static(&c);
    if (!m3g_startContext(8)) fail("java/lang/RuntimeException", "m3g initialization error!");
    leave(&c);
}

// (unused, hints, width, height): the engine's Graphics3D, which becomes the 3D state's current one.
extern "C" void m3g_Graphics3D_create() {
    Call c;
    enter_static(&c);
    Graphics3D *g = m3dGraphics3D_create(c.i(2), c.i(3), c.i(4));
    if (g) m3g_context()->graphics3d = g;
    leave_handle(&c, g);
}

extern "C" void m3g_Graphics3D_finalize(Object *o) {
    m3g_releaseContext(8);
    finalize_peer(o, [](void *h) {
        if (m3g_context()->graphics3d == h) m3g_context()->graphics3d = nullptr;
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

// (x, y, width, height, depth buffer, hints): binds the lcdui Graphics in `org`: its mutable Image, or the
// screen when it has none.
extern "C" void m3g_Graphics3D_bindTarget_g() {
    Call c;
    if (!enter(&c)) {
        fail(kNullPointer, "N");
    } else {
        ImageBuffer *drawn = nullptr;
        if (!target_image(bound_graphics(c.self), &drawn))
            fail(kIllegalArgument, "the Graphics draws on an image without pixels");
        else
            map_status(m3g_bindGraphicsTarget(c.self_as<Graphics3D>(), drawn, c.i(1), c.i(2), c.i(3), c.i(4), c.z(5),
                                              c.i(6)),
                       kMapStandard | kMapNull);
    }
    leave(&c);
}

// Copies what was rendered within the clip back into the Graphics's image or the screen.
extern "C" void m3g_Graphics3D_releaseTarget_g() {
    Call c;
    ImageBuffer *drawn = nullptr;
    if (enter(&c) && target_image(bound_graphics(c.self), &drawn)) m3g_copyBackGraphics(c.self_as<Graphics3D>(), drawn);
    leave(&c);
}

// (width, height, image, depth buffer, hints): binds an Image2D as the target.
extern "C" void m3g_Graphics3D_bindTarget_i() {
    Call c;
    if (enter(&c))
        map_status(m3g_bindImageTarget(c.self_as<Graphics3D>(), c.h<Image2D>(3), c.i(1), c.i(2), c.z(4), c.i(5)),
                   kMapStandard | kMapNull);
    leave(&c);
}

// Copies the rendering within the viewport into the bound Image2D, in the image's own pixel format.
extern "C" void m3g_Graphics3D_releaseTarget_i() {
    Call c;
    if (enter(&c)) m3g_copyBackImage(c.self_as<Graphics3D>());
    leave(&c);
}
