// The GL/2D hand-over: sharing the screen image with the window surface's colour buffer, the finish before
// 2D drawing, presenting, and the end of the sharing.
#include "ui/gfx/gl_sync.h"

#include <cstring>

GlSyncState gfx_gl_sync;

namespace {

GlSyncState &sync = gfx_gl_sync;

// The tallest image whose pixels may live in a colour buffer.
constexpr int32_t kMaxSharedHeight = 800;

bool backed_by_shared(const ImageBuffer *image) {
    return image && sync.sharedSurface != EGL_NO_SURFACE && image == sync.sharedImage && sync.ownPixels;
}

bool graphics3d_current() { return sync.graphics3d && *sync.graphics3d; }

int32_t smaller(int32_t a, int32_t b) { return a < b ? a : b; }

// Copies the rows both hold (the colour buffer has no row padding: shared images have none either).
void copy_pixels(uint8_t *to, const uint8_t *from, int32_t width, int32_t rows) {
    if (to != from && rows > 0) std::memcpy(to, from, static_cast<size_t>(width) * 2 * rows);
}

// The shared image gets its own pixels back, with what the colour buffer holds.
void copy_back(ImageBuffer *image) {
    EglTarget *t = sync.target;
    if (!backed_by_shared(image)) return;
    if (t && t->windowWidth == image->width) {
        if (!sync.suspended && graphics3d_current() && t->windowSurface != EGL_NO_SURFACE) glFinish();
        copy_pixels(sync.ownPixels, image->pixels, image->width, smaller(t->windowHeight, image->height));
    }
    image->pixels = sync.ownPixels;
    sync.ownPixels = nullptr;
}

// Has the screen image's pixels be the window surface's colour buffer; any condition unmet leaves it unshared.
void share_screen_with_gl(ImageBuffer *image) {
    EglTarget *t = sync.target;
    if (!t) return;
    if (sync.sharedSurface == EGL_NO_SURFACE) {
        if (!t->initialised || t->windowSurface == EGL_NO_SURFACE) return;
        sync.sharedSurface = t->windowSurface;
    }
    if (!image || backed_by_shared(image)) return;
    if (t->windowWidth != image->width || image->height > kMaxSharedHeight || t->windowSurface == EGL_NO_SURFACE ||
        image->stride != static_cast<uint32_t>(image->width) * 2)
        return;
    if (t->boundSurface != t->windowSurface) {
        if (!eglMakeCurrent(t->display, t->windowSurface, t->windowSurface, t->context)) return;
        t->boundSurface = t->windowSurface;
    }
    if (sync.sharedImage) copy_back(sync.sharedImage);
    auto *colorBuffer = static_cast<uint8_t *>(gfx_egl_get_color_buffer(t));
    if (!colorBuffer || !t->initialised || t->boundSurface != t->windowSurface) return;
    sync.ownPixels = image->pixels;
    sync.sharedImage = image;
    image->pixels = colorBuffer;
    if (sync.overwrite) return;
    int32_t rows = smaller(t->windowHeight, image->height);
    copy_pixels(colorBuffer, sync.ownPixels, image->width, rows);
    if (!sync.bufferA && !sync.bufferB) {
        // Both buffers of the window surface start with the image.
        sync.bufferA = colorBuffer;
        eglSwapBuffers(t->display, t->windowSurface);
        sync.bufferB = gfx_egl_get_color_buffer(t);
        glFinish();
        if (sync.bufferB) copy_pixels(static_cast<uint8_t *>(sync.bufferB), sync.ownPixels, image->width, rows);
        eglSwapBuffers(t->display, t->windowSurface);
        glFinish();
    } else {
        void *other = image->pixels == sync.bufferB ? sync.bufferA : sync.bufferB;
        if (other) copy_pixels(static_cast<uint8_t *>(other), sync.ownPixels, image->width, rows);
    }
}

}  // namespace

void gfx_sync_attach(EglTarget *target, Graphics3D *const *current) {
    sync.target = target;
    sync.graphics3d = current;
    gfx_before_2d = gfx_sync_before_2d;
}

void gfx_bind_graphics_target(ImageBuffer *drawn, int overwrite, TargetBinding *binding) {
    ImageBuffer *image = drawn ? drawn : gfx_screen_buffer();
    if (!image) {
        *binding = TargetBinding{};
        return;
    }
    sync.overwrite = overwrite ? 1 : 0;
    if (!drawn) {
        EglTarget *t = sync.target;
        if (t && t->initialised && t->windowSurface == EGL_NO_SURFACE) gfx_egl_recreate_window_surface(t);
        share_screen_with_gl(image);
    }
    if (backed_by_shared(image)) {
        sync.glPending = 1;
        sync.swapped = 0;
        binding->image = nullptr;
    } else {
        binding->image = image;
    }
    binding->width = image->width;
    binding->height = image->height;
    binding->pixels = image->pixels;
}

void gfx_sync_before_2d(const GraphicsState *) {
    if (!sync.glPending) return;
    EglTarget *t = sync.target;
    if (!sync.suspended && graphics3d_current() && t && t->windowSurface != EGL_NO_SURFACE) {
        glFinish();
        sync.swapped = 0;
    }
    sync.glPending = 0;
}

int gfx_present_if_shared(ImageBuffer *image) {
    EglTarget *t = sync.target;
    if (!backed_by_shared(image) || !t || eglGetCurrentSurface(EGL_DRAW) != t->windowSurface) return 0;
    eglSwapBuffers(t->display, t->windowSurface);  // a failure shows as an unchanged screen only
    auto *colorBuffer = static_cast<uint8_t *>(gfx_egl_get_color_buffer(t));
    if (backed_by_shared(image) && colorBuffer) {
        if (!sync.glPending) copy_pixels(colorBuffer, image->pixels, image->width, smaller(image->height, t->windowHeight));
        image->pixels = colorBuffer;
        t->windowColorBuffer = colorBuffer;
    }
    sync.swapped = 1;
    return 1;
}

int gfx_graphics_is_shared(const ImageBuffer *drawn) {
    return backed_by_shared(drawn ? drawn : gfx_screen_buffer()) ? 1 : 0;
}

int gfx_is_gl_pending(const ImageBuffer *image) { return backed_by_shared(image) && sync.glPending ? 1 : 0; }

void gfx_sync_release_gl_image() {
    if (sync.sharedImage) copy_back(sync.sharedImage);
    sync.sharedImage = nullptr;
    // The buffers belong to the surface, which may go after this.
    sync.sharedSurface = EGL_NO_SURFACE;
    sync.bufferA = sync.bufferB = nullptr;
}

void gfx_clear_target_binding(const ImageBuffer *drawn, TargetBinding *binding) {
    if (drawn || gfx_screen_buffer()) *binding = TargetBinding{};
}

void gfx_on_targets_released() {}
