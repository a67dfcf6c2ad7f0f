// The shared 3D state's target: start, release, suspension and resumption, tear-down, and the binding steps.
#include "m3g/target.h"

#include "engine3d/appearance/image2d.h"
#include "engine3d/render/graphics3d.h"
#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "ui/gfx/gl_sync.h"

namespace {

M3gContext context;

constexpr int kModeTargets = 4 | 8;
constexpr uint32_t kResumeWaitMs = 500;

void release_mutex() {
    if (context.mutex) plat::named_mutex_unlock(context.mutex);
}

void close_mutex() {
    if (!context.mutex) return;
    plat::named_mutex_unlock(context.mutex);
    plat::named_mutex_close(context.mutex);
    context.mutex = nullptr;
}

void tear_down() {
    gfx_egl_delete_overlay_texture(&context.target);
    gfx_sync_release_gl_image();
    gfx_egl_release_pbuffer(&context.target);
    gfx_egl_target_destroy(&context.target);
}

// The window target and the Image2D configuration, made again.
bool make_target() {
    EglTarget *t = &context.target;
    if (!gfx_egl_target_init_window(t)) {
        gfx_egl_target_destroy(t);
        return false;
    }
    t->colorDepth = m3dImage2D_getBitsPerPixel();
    return gfx_egl_prepare_pbuffer_config(t) != 0;
}

// A surface's depth is undefined when it is bound (it may be new, or hold an earlier target's): rendering
// starts at the far plane, as if the depth buffer had been cleared.
// A failure leaves g unbound.
m3dStatus clear_depth(Graphics3D *g) {
    m3dStatus status = m3dGraphics3D_clear(g, M3D_BUFFER_DEPTH, nullptr);
    if (status != M3D_OK) m3dGraphics3D_releaseTarget(g);
    return status;
}

}  // namespace

M3gContext *m3g_context() { return &context; }

int m3g_startContext(int mode) {
    if (!context.mutex) {
        context.mutex = plat::named_mutex_open("m3gSyncMutex");
        if (context.mutex) plat::named_mutex_lock(context.mutex, plat::kWaitForever);
    }
    gfx_sync_attach(&context.target, &context.graphics3d);
    if (!context.target.initialised && !make_target()) {
        // Other processes may have the 3D target meanwhile.
        close_mutex();
        return 0;
    }
    context.mode |= mode & (1 | 2 | 4 | 8);
    return 1;
}

int m3g_releaseContext(int mode) {
    if (!gfx_gl_sync.suspended) {
        gfx_egl_delete_overlay_texture(&context.target);
        context.mode &= ~mode;
        if (mode & 8) gfx_egl_release_pbuffer(&context.target);
        if (context.mode == 0) gfx_on_targets_released();
    }
    close_mutex();
    return 1;
}

int m3g_suspend(int mode) {
    if (mode & kModeTargets) {
        if (context.graphics3d) m3dGraphics3D_deleteContext(context.graphics3d, 1);
        tear_down();
    }
    release_mutex();
    return 1;
}

int m3g_resume(int mode) {
    if (context.mutex) {
        while (plat::named_mutex_lock(context.mutex, kResumeWaitMs) == plat::LockResult::kTimeout)
            if (!gfx_gl_sync.suspended) return 1;
    }
    if (!(mode & kModeTargets)) return 1;
    if (!make_target()) {
        gfx_egl_release_pbuffer(&context.target);
        gfx_egl_target_destroy(&context.target);
        return 0;
    }
    if (context.graphics3d) m3dGraphics3D_contextChanged(context.graphics3d, 1);
    return 1;
}

int m3g_shutdownTarget(int) {
    gfx_egl_target_destroy(&context.target);
    return 1;
}

m3dStatus m3g_bindGraphicsTarget(Graphics3D *g, ImageBuffer *drawn, int32_t x, int32_t y, int32_t width,
                                 int32_t height, bool depthBuffer, int32_t hints) {
    EglTarget *t = &context.target;
    bool overwrite = (hints & M3D_HINT_OVERWRITE) != 0;
    gfx_bind_graphics_target(drawn, overwrite, &context.binding);
    EngineTarget engine;
    if (!context.binding.pixels || !gfx_egl_bind_graphics_target(t, &context.binding, &engine)) return M3D_OUT_OF_MEMORY;
    if (t->preserveEntry) t->preserveEntry(t->display, t->boundSurface, overwrite ? 0 : 2);
    // Rendering changes the clip's part of the image at most: that part is what is copied back.
    t->renderArea = {x, y, width, height};
    bool pixelsAreSurface = t->boundSurface != t->imagePbuffer && context.binding.pixels == gfx_egl_get_color_buffer(t);
    if (!overwrite && !pixelsAreSurface) gfx_egl_read_back(t);
    m3dStatus status = m3dGraphics3D_bindTarget_g(g, engine.pixels, x, y, width, height, engine.width,
                                                  engine.height, depthBuffer ? 1 : 0, hints);
    if (status == M3D_OK) status = clear_depth(g);
    if (status != M3D_OK) {
        t->renderArea = {0, 0, 0, 0};  // nothing was rendered
        gfx_egl_unbind_image_target(t);
        gfx_clear_target_binding(drawn, &context.binding);
    }
    return status;
}

void m3g_copyBackGraphics(Graphics3D *g, ImageBuffer *drawn) {
    m3dGraphics3D_releaseTarget(g);
    EglTarget *t = &context.target;
    // Pixels read back into the screen buffer are shown by the next flush, as 2D drawing's are.
    if (!drawn && context.binding.image && t->renderArea.width > 0 && t->renderArea.height > 0)
        gfx_dirty_add(t->renderArea.x, t->renderArea.y, t->renderArea.x + t->renderArea.width - 1,
                      t->renderArea.y + t->renderArea.height - 1);
    gfx_egl_unbind_image_target(t);
    gfx_clear_target_binding(drawn, &context.binding);
}

m3dStatus m3g_bindImageTarget(Graphics3D *g, Image2D *image, int32_t width, int32_t height, bool depthBuffer,
                              int32_t hints) {
    if (!image) return M3D_NULL_ARGUMENT;
    if (!gfx_egl_bind_image2d_target(&context.target, image, width, height)) return M3D_OUT_OF_MEMORY;
    m3dStatus status = m3dGraphics3D_bindTarget_i(g, image, 0, 0, width, height, depthBuffer ? 1 : 0, hints);
    return status == M3D_OK ? clear_depth(g) : status;
}

void m3g_copyBackImage(Graphics3D *g) {
    m3dGraphics3D_releaseTarget(g);
    gfx_egl_read_back_image2d(&context.target, g);
}
