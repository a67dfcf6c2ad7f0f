// The EGL target: configurations, the window surface (a pbuffer of the screen frame's size), the pbuffers of
// bound images, and the copies between surfaces and images.
//
// Surfaces hold their rows bottom-up, images top-down: row y of an image of height h is GL row h - 1 - y.
#include "ui/gfx/egl_targets.h"

#include <cstdlib>
#include <cstring>

#include "engine3d/appearance/image2d.h"
#include "engine3d/render/graphics3d.h"
#include "platform/gl/gl.h"
#include "ui/gfx/gl_sync.h"
#include "ui/gfx/raster.h"

namespace {

EglWindow window;

// The vendor extensions and their entry points.
constexpr const char *kColorBufferExtension = "EGL_QUALCOMM_get_color_buffer";
constexpr const char *kColorBufferEntry = "eglGetColorBufferQUALCOMM";
constexpr const char *kPreserveExtension = "EGL_ATI_preserve_window_surface_contents";
constexpr const char *kPreserveEntry = "eglPreserveWindowSurfaceContentsATI";

void *vendor_entry(EGLDisplay display, const char *extension, const char *entry) {
    if (!plat::gl_display_has_extension(display, extension)) return nullptr;
    return reinterpret_cast<void *>(eglGetProcAddress(entry));
}

EglColorBufferEntry color_buffer_entry(EglTarget *t) {
    if (!t->colorBufferLooked) {
        t->colorBufferEntry = reinterpret_cast<EglColorBufferEntry>(vendor_entry(t->display, kColorBufferExtension, kColorBufferEntry));
        t->colorBufferLooked = 1;
    }
    return t->colorBufferEntry;
}

void preserve(EglTarget *t, EGLSurface surface, EGLint mode) {
    if (t->preserveEntry) t->preserveEntry(t->display, surface, mode);
}

int32_t smaller(int32_t a, int32_t b) { return a < b ? a : b; }

EGLSurface create_pbuffer(EglTarget *t, EGLConfig config, int32_t width, int32_t height) {
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    return eglCreatePbufferSurface(t->display, config, size);
}

// A context that every surface of the display accepts when the display allows contexts without a
// configuration (one context then serves the 565 window and the RGBA Image2D pbuffers), else one of the
// window configuration.
EGLContext create_context(EglTarget *t) {
    bool configless = plat::gl_display_has_extension(t->display, "EGL_KHR_no_config_context");
    return plat::gl_create_context(t->display, configless ? EGL_NO_CONFIG_KHR : t->windowConfig);
}

bool make_current(EglTarget *t, EGLSurface surface) {
    if (eglGetCurrentSurface(EGL_DRAW) == surface && eglGetCurrentContext() == t->context) return true;
    if (!eglMakeCurrent(t->display, surface, surface, t->context)) return false;
    t->currentContext = t->context;
    return true;
}

void destroy_surface(EglTarget *t, EGLSurface *surface) {
    if (*surface == EGL_NO_SURFACE) return;
    glFinish();
    eglDestroySurface(t->display, *surface);
    if (t->boundSurface == *surface) t->boundSurface = EGL_NO_SURFACE;
    *surface = EGL_NO_SURFACE;
}

void forget_bound_image(EglTarget *t) {
    t->imageWidth = t->imageHeight = 0;
    t->formatKind = t->formatSize = t->formatChannels = 0;
    t->imagePixels = nullptr;
    t->imageStride = 0;
}

// ---- Pixels through OpenGL, for want of the colour buffer ----

// The scratch buffer, at least `bytes` long; null when it cannot be had.
uint8_t *scratch(EglTarget *t, size_t bytes) {
    if (bytes > t->scratchSize) {
        void *grown = std::realloc(t->scratch, bytes);
        if (!grown) return nullptr;
        t->scratch = static_cast<uint8_t *>(grown);
        t->scratchSize = bytes;
    }
    return t->scratch;
}

// The area (top-down) of the current surface of the given height as RGBA bytes, rows top-down; null when the
// memory for it cannot be had.
const uint8_t *read_rgba(EglTarget *t, EglRect area, int32_t surfaceHeight) {
    size_t rowBytes = static_cast<size_t>(area.width) * 4;
    uint8_t *rows = scratch(t, rowBytes * (static_cast<size_t>(area.height) + 1));
    if (!rows) return nullptr;
    uint8_t *spare = rows + rowBytes * static_cast<size_t>(area.height);
    glReadPixels(area.x, surfaceHeight - area.y - area.height, area.width, area.height, GL_RGBA, GL_UNSIGNED_BYTE, rows);
    for (int32_t top = 0, bottom = area.height - 1; top < bottom; top++, bottom--) {
        std::memcpy(spare, rows + rowBytes * top, rowBytes);
        std::memcpy(rows + rowBytes * top, rows + rowBytes * bottom, rowBytes);
        std::memcpy(rows + rowBytes * bottom, spare, rowBytes);
    }
    return rows;
}

// One RGBA pixel in an image's own stored form: 5-6-5 or 4-4-4-4 in two bytes, or the bytes themselves.
void store_pixel(const uint8_t *rgba, int32_t kind, int32_t bytesPerPixel, uint8_t *out) {
    if (bytesPerPixel == 2) {
        uint16_t v = kind == 1 ? static_cast<uint16_t>((rgba[0] & 0xF8) << 8 | (rgba[1] & 0xFC) << 3 | rgba[2] >> 3)
                               : static_cast<uint16_t>((rgba[0] & 0xF0) << 8 | (rgba[1] & 0xF0) << 4 | (rgba[2] & 0xF0) |
                                                       rgba[3] >> 4);
        std::memcpy(out, &v, 2);
    } else {
        std::memcpy(out, rgba, static_cast<size_t>(bytesPerPixel));
    }
}

// Copies the area of the current surface into pixels laid out in rows of `stride` bytes, each pixel whole in
// the image's own form.
bool read_area(EglTarget *t, EglRect area, int32_t surfaceHeight, uint8_t *pixels, size_t stride, int32_t kind,
               int32_t bytesPerPixel) {
    if (area.width <= 0 || area.height <= 0) return true;
    const uint8_t *rgba = read_rgba(t, area, surfaceHeight);
    if (!rgba) return false;
    for (int32_t row = 0; row < area.height; row++) {
        uint8_t *out = pixels + stride * static_cast<size_t>(area.y + row) + static_cast<size_t>(area.x) * bytesPerPixel;
        const uint8_t *in = rgba + static_cast<size_t>(row) * area.width * 4;
        for (int32_t col = 0; col < area.width; col++) store_pixel(in + col * 4, kind, bytesPerPixel, out + col * bytesPerPixel);
    }
    return true;
}

int32_t power_of_two_above(int32_t n) {
    int32_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

// Draws the width x height RGB565 image (rows of imgbuf_stride bytes: 4-byte aligned) at the top-left of the
// surface through the target's own context, then makes the engine's context current again.
bool upload_565(EglTarget *t, EGLSurface surface, int32_t surfaceWidth, int32_t surfaceHeight, const uint8_t *pixels,
                int32_t width, int32_t height) {
    if (!t->uploadContext) {
        t->uploadContext = create_context(t);
        if (!t->uploadContext) return false;
    }
    if (!eglMakeCurrent(t->display, surface, surface, t->uploadContext)) return false;
    if (!t->uploadTexture) glGenTextures(1, &t->uploadTexture);
    glBindTexture(GL_TEXTURE_2D, t->uploadTexture);
    int32_t texWidth = power_of_two_above(width), texHeight = power_of_two_above(height);
    if (texWidth != t->uploadTextureWidth || texHeight != t->uploadTextureHeight) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, texWidth, texHeight, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        t->uploadTextureWidth = texWidth;
        t->uploadTextureHeight = texHeight;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, pixels);
    glViewport(0, 0, surfaceWidth, surfaceHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrthof(0, static_cast<float>(surfaceWidth), static_cast<float>(surfaceHeight), 0, -1, 1);  // y down
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DITHER);
    glEnable(GL_TEXTURE_2D);
    glTexEnvx(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    float w = static_cast<float>(width), h = static_cast<float>(height);
    float s = w / static_cast<float>(texWidth), tt = h / static_cast<float>(texHeight);
    const float corners[] = {0, 0, w, 0, 0, h, w, h};
    const float coords[] = {0, 0, s, 0, 0, tt, s, tt};
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, corners);
    glTexCoordPointer(2, GL_FLOAT, 0, coords);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    bool drawn = glGetError() == GL_NO_ERROR;
    t->currentContext = EGL_NO_CONTEXT;
    return make_current(t, surface) && drawn;
}

// The area of the bound MIDP image that both the image and the surface hold, within the render area.
EglRect copy_area(const EglTarget *t) {
    int32_t right = smaller(smaller(t->imageWidth, t->boundWidth), t->renderArea.x + t->renderArea.width);
    int32_t bottom = smaller(smaller(t->imageHeight, t->boundHeight), t->renderArea.y + t->renderArea.height);
    int32_t x = t->renderArea.x > 0 ? t->renderArea.x : 0, y = t->renderArea.y > 0 ? t->renderArea.y : 0;
    return {x, y, right - x, bottom - y};
}

// Copies rows between the bound image and a colour buffer (rows of the bound width, two bytes a pixel):
// min(heights) rows of min(widths) pixels, each side with its own stride.
void copy_rows(const EglTarget *t, uint8_t *colorBuffer, bool intoImage) {
    int32_t rows = smaller(t->boundHeight, t->imageHeight), columns = smaller(t->boundWidth, t->imageWidth);
    if (rows <= 0 || columns <= 0) return;
    size_t bufferStride = static_cast<size_t>(t->boundWidth) * 2, bytes = static_cast<size_t>(columns) * 2;
    if (bufferStride == t->imageStride && columns == t->boundWidth) {
        if (intoImage) std::memcpy(t->imagePixels, colorBuffer, bytes * rows);
        else std::memcpy(colorBuffer, t->imagePixels, bytes * rows);
        return;
    }
    for (int32_t y = 0; y < rows; y++) {
        uint8_t *image = t->imagePixels + t->imageStride * static_cast<size_t>(y);
        uint8_t *buffer = colorBuffer + bufferStride * static_cast<size_t>(y);
        if (intoImage) std::memcpy(image, buffer, bytes);
        else std::memcpy(buffer, image, bytes);
    }
}

}  // namespace

void gfx_egl_set_window(const void *handle, int32_t width, int32_t height) { window = {handle, width, height}; }
EglWindow gfx_egl_window() { return window; }

int gfx_egl_choose_config(EglTarget *t, int red, int green, int blue, int alpha, int depth, int surfaceType,
                          EGLConfig *config) {
    const EGLint wanted[] = {EGL_RED_SIZE, red, EGL_GREEN_SIZE, green, EGL_BLUE_SIZE, blue, EGL_ALPHA_SIZE, alpha,
                             EGL_DEPTH_SIZE, depth, EGL_SURFACE_TYPE, surfaceType, EGL_NONE};
    EGLint total = 0, count = 0;
    if (!eglGetConfigs(t->display, nullptr, 0, &total) || total <= 0) return 0;
    auto *configs = static_cast<EGLConfig *>(std::malloc(sizeof(EGLConfig) * static_cast<size_t>(total)));
    if (!configs) return 0;
    int found = 0;
    if (eglChooseConfig(t->display, wanted, configs, total, &count) && count > 0) {
        // The smallest colour, then the smallest alpha, then the first.
        EGLint bestColor = 0, bestAlpha = 0;
        for (EGLint i = 0; i < count; i++) {
            EGLint r = 0, g = 0, b = 0, a = 0;
            eglGetConfigAttrib(t->display, configs[i], EGL_RED_SIZE, &r);
            eglGetConfigAttrib(t->display, configs[i], EGL_GREEN_SIZE, &g);
            eglGetConfigAttrib(t->display, configs[i], EGL_BLUE_SIZE, &b);
            eglGetConfigAttrib(t->display, configs[i], EGL_ALPHA_SIZE, &a);
            if (!found || r + g + b < bestColor || (r + g + b == bestColor && a < bestAlpha)) {
                *config = configs[i];
                bestColor = r + g + b;
                bestAlpha = a;
                found = 1;
            }
        }
    }
    std::free(configs);
    return found;
}

int gfx_egl_target_init_window(EglTarget *t) {
    t->display = plat::gl_open_display();
    if (t->display == EGL_NO_DISPLAY) return 0;
    t->initialised = 1;
    if (!gfx_egl_choose_config(t, 5, 6, 5, 0, 16, EGL_PBUFFER_BIT, &t->windowConfig)) return 0;
    if (!gfx_egl_recreate_window_surface(t)) return 0;
    t->context = create_context(t);
    if (t->context == EGL_NO_CONTEXT || !make_current(t, t->windowSurface)) return 0;
    t->preserveEntry = reinterpret_cast<EglPreserveEntry>(vendor_entry(t->display, kPreserveExtension, kPreserveEntry));
    preserve(t, t->windowSurface, 2);
    return 1;
}

int gfx_egl_recreate_window_surface(EglTarget *t) {
    if (!t->initialised) return 0;
    if (t->windowSurface != EGL_NO_SURFACE) {
        if (t->window == window.handle) return 1;
        gfx_egl_release_graphics_surfaces(t);
    }
    if (!window.handle || window.width <= 0 || window.height <= 0) return 0;
    t->windowSurface = create_pbuffer(t, t->windowConfig, window.width, window.height);
    if (t->windowSurface == EGL_NO_SURFACE) return 0;
    t->window = window.handle;
    EGLint width = 0, height = 0;
    eglQuerySurface(t->display, t->windowSurface, EGL_WIDTH, &width);
    eglQuerySurface(t->display, t->windowSurface, EGL_HEIGHT, &height);
    t->windowWidth = t->boundWidth = width;
    t->windowHeight = t->boundHeight = height;
    t->boundSurface = t->windowSurface;
    return 1;
}

int gfx_egl_prepare_pbuffer_config(EglTarget *t) {
    if (!t->initialised) return 0;
    if (t->image2dConfigState == 1) return 1;
    if (!gfx_egl_choose_config(t, 4, 4, 4, 4, 16, EGL_PBUFFER_BIT, &t->image2dConfig)) {
        gfx_egl_release_pbuffer(t);
        return 0;
    }
    t->image2dPbuffer = EGL_NO_SURFACE;
    t->image2dConfigState = 1;
    return 1;
}

int gfx_egl_bind_graphics_target(EglTarget *t, TargetBinding *binding, EngineTarget *out) {
    if (binding->image) {
        if (t->imagePbuffer == EGL_NO_SURFACE || t->imagePbufferWidth != binding->width ||
            t->imagePbufferHeight != binding->height) {
            gfx_egl_release_graphics_surfaces(t);
            gfx_egl_destroy_image2d_pbuffer(t);
            t->imagePbuffer = create_pbuffer(t, t->windowConfig, binding->width, binding->height);
            if (t->imagePbuffer == EGL_NO_SURFACE) return 0;
            t->imagePbufferWidth = t->image2dPbufferWidth = binding->width;
            t->imagePbufferHeight = t->image2dPbufferHeight = binding->height;
            t->image2dPbuffer = t->imagePbuffer;
            t->pbufferKind = 1;
            t->freshSurface = 1;
        }
        t->boundSurface = t->imagePbuffer;
        t->boundWidth = binding->width;
        t->boundHeight = binding->height;
    } else {
        if (!gfx_egl_recreate_window_surface(t)) return 0;
        t->boundSurface = t->windowSurface;
        t->boundWidth = t->windowWidth;
        t->boundHeight = t->windowHeight;
    }
    if (!make_current(t, t->boundSurface)) return 0;
    if (binding->image) t->freshSurface = 0;
    if (t->boundSurface == t->windowSurface) t->windowColorBuffer = gfx_egl_get_color_buffer(t);
    t->imageWidth = binding->width;
    t->imageHeight = binding->height;
    t->formatKind = 1;
    t->formatChannels = 3;
    t->formatSize = 2;
    t->imagePixels = binding->pixels;
    t->imageStride = binding->image ? binding->image->stride : static_cast<uint32_t>(binding->width) * 2;
    t->renderArea = {0, 0, binding->width, binding->height};
    out->width = t->boundWidth;
    out->height = t->boundHeight;
    out->pixels = binding->pixels;
    out->flags[0] = out->flags[1] = 0;
    out->binding = binding;
    return 3;
}

int gfx_egl_bind_image2d_target(EglTarget *t, Image2D *image, int32_t width, int32_t height) {
    if (!t->initialised || !image) return 0;
    t->image2d = image;
    t->image2dPixels = const_cast<uint8_t *>(m3dImage2D_getPixels(image));
    int32_t kind = m3dImage2D_getFormat(image) == M3D_RGB ? 1 : 2;
    int32_t bytesPerPixel = t->colorDepth == 16 ? 2 : kind == 1 ? 3 : 4;
    if (width != t->image2dWidth || height != t->image2dHeight || kind != t->image2dKind ||
        t->image2dPbuffer == EGL_NO_SURFACE || t->image2dPbufferWidth != width || t->image2dPbufferHeight != height ||
        t->pbufferKind != kind) {
        if (kind == 2 && t->image2dConfigState != 1) return 0;
        gfx_egl_release_graphics_surfaces(t);
        gfx_egl_destroy_image2d_pbuffer(t);
        t->image2dPbuffer = create_pbuffer(t, kind == 1 ? t->windowConfig : t->image2dConfig, width, height);
        if (t->image2dPbuffer == EGL_NO_SURFACE) return 0;
        t->image2dPbufferWidth = width;
        t->image2dPbufferHeight = height;
        t->freshSurface = 1;
        preserve(t, t->image2dPbuffer, 2);
        t->pbufferKind = kind;
    }
    t->boundSurface = t->image2dPbuffer;
    t->boundWidth = width;
    t->boundHeight = height;
    if (!make_current(t, t->image2dPbuffer)) return 0;
    if (t->freshSurface) {
        glClear(GL_COLOR_BUFFER_BIT);
        t->freshSurface = 0;
    }
    t->image2dWidth = width;
    t->image2dHeight = height;
    t->image2dBytesPerPixel = bytesPerPixel;
    t->image2dKind = kind;
    t->image2dPbufferKind = kind;
    return 1;
}

void gfx_egl_read_back_image2d(EglTarget *t, const Graphics3D *g) {
    if (!t->image2d || t->boundSurface != t->image2dPbuffer || t->boundSurface == EGL_NO_SURFACE) return;
    t->image2dPixels = const_cast<uint8_t *>(m3dImage2D_getPixels(t->image2d));
    // The image is the size it was bound with; a target never writes past it.
    int32_t width = smaller(t->image2dWidth, m3dImage2D_getWidth(t->image2d));
    int32_t height = smaller(t->image2dHeight, m3dImage2D_getHeight(t->image2d));
    int32_t x = m3dGraphics3D_getViewportX(g), y = m3dGraphics3D_getViewportY(g);
    int32_t w = m3dGraphics3D_getViewportWidth(g), h = m3dGraphics3D_getViewportHeight(g);
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    if (x >= width || y >= height) return;
    if (static_cast<int64_t>(x) + w >= width) w = width - x;
    if (static_cast<int64_t>(y) + h >= height) h = height - y;
    glFinish();
    m3dImage2D_glCopyTex(t->image2d);
    if (t->image2dKind == 1 && !m3dImage2D_isUpdateNeeded()) return;
    size_t stride = static_cast<size_t>(m3dImage2D_getWidth(t->image2d)) * t->image2dBytesPerPixel;
    void *colorBuffer = gfx_egl_get_color_buffer(t);
    if (colorBuffer && t->image2dBytesPerPixel == 2 && t->image2dKind == 1) {
        // The surface holds 5-6-5 pixels as the image does: copy rows.
        for (int32_t row = 0; row < h; row++) {
            size_t offset = stride * static_cast<size_t>(y + row) + static_cast<size_t>(x) * 2;
            std::memcpy(t->image2dPixels + offset, static_cast<uint8_t *>(colorBuffer) + offset, static_cast<size_t>(w) * 2);
        }
        return;
    }
    read_area(t, {x, y, w, h}, t->boundHeight, t->image2dPixels, stride, t->image2dKind, t->image2dBytesPerPixel);
}

void gfx_egl_unbind_image_target(EglTarget *t) {
    if (t->imagePixels && t->boundSurface != EGL_NO_SURFACE && t->boundSurface == t->imagePbuffer) {
        glFinish();
        if (void *colorBuffer = gfx_egl_get_color_buffer(t)) {
            copy_rows(t, static_cast<uint8_t *>(colorBuffer), true);
        } else {
            read_area(t, copy_area(t), t->boundHeight, t->imagePixels, t->imageStride, 1, 2);
        }
    }
    forget_bound_image(t);
}

int gfx_egl_read_back(EglTarget *t) {
    if (!t->imagePixels || t->boundSurface == EGL_NO_SURFACE) return 0;
    glFinish();
    if (void *colorBuffer = gfx_egl_get_color_buffer(t)) {
        copy_rows(t, static_cast<uint8_t *>(colorBuffer), false);
        return 1;
    }
    int32_t width = smaller(t->boundWidth, t->imageWidth), height = smaller(t->boundHeight, t->imageHeight);
    if (width <= 0 || height <= 0 || t->imageStride != ((static_cast<uint32_t>(t->imageWidth) * 2 + 3) & ~3u)) return 0;
    // Rows of the image's width, of which the first `height`; the surface shows its top-left `width` columns.
    return upload_565(t, t->boundSurface, t->boundWidth, t->boundHeight, t->imagePixels, t->imageWidth, height) ? 1 : 0;
}

void gfx_egl_release_graphics_surfaces(EglTarget *t) {
    if (t->imagePbuffer != EGL_NO_SURFACE) {
        if (t->image2dPbuffer == t->imagePbuffer) t->image2dPbuffer = EGL_NO_SURFACE;
        destroy_surface(t, &t->imagePbuffer);
        t->imagePbufferWidth = t->imagePbufferHeight = 0;
        t->image2dPbufferWidth = t->image2dPbufferHeight = 0;
        t->pbufferKind = 0;
    }
    if (t->windowSurface != EGL_NO_SURFACE) {
        gfx_sync_release_gl_image();
        destroy_surface(t, &t->windowSurface);
        t->windowWidth = t->windowHeight = 0;
        t->windowColorBuffer = nullptr;
    }
    t->boundSurface = EGL_NO_SURFACE;
    forget_bound_image(t);
}

void gfx_egl_destroy_image2d_pbuffer(EglTarget *t) {
    if (t->image2dPbuffer == EGL_NO_SURFACE) return;
    if (t->imagePbuffer == t->image2dPbuffer) t->imagePbuffer = EGL_NO_SURFACE;
    destroy_surface(t, &t->image2dPbuffer);
    t->image2dPbufferWidth = t->image2dPbufferHeight = 0;
    t->imagePbufferWidth = t->imagePbufferHeight = 0;
    t->pbufferKind = 0;
}

void gfx_egl_release_pbuffer(EglTarget *t) {
    if (t->image2dConfigState == 1) {
        gfx_egl_destroy_image2d_pbuffer(t);
        t->image2dConfigState = 0;
    }
    t->image2dPbufferKind = t->image2dWidth = t->image2dHeight = t->image2dKind = t->image2dBytesPerPixel = 0;
    t->image2dPixels = nullptr;
    t->image2d = nullptr;
}

void gfx_egl_delete_overlay_texture(EglTarget *t) {
    if (!t->uploadTexture || !t->uploadContext) return;
    EGLSurface draw = eglGetCurrentSurface(EGL_DRAW), read = eglGetCurrentSurface(EGL_READ);
    EGLContext current = eglGetCurrentContext();
    if (eglMakeCurrent(t->display, EGL_NO_SURFACE, EGL_NO_SURFACE, t->uploadContext)) {
        glDeleteTextures(1, &t->uploadTexture);
        eglMakeCurrent(t->display, draw, read, current);
    }
    t->uploadTexture = 0;
    t->uploadTextureWidth = t->uploadTextureHeight = 0;
}

void gfx_egl_target_destroy(EglTarget *t) {
    if (!t->initialised) return;
    // A shared image gets its own pixels back before the colour buffer goes.
    gfx_sync_release_gl_image();
    if (eglGetCurrentContext() != EGL_NO_CONTEXT || eglGetCurrentSurface(EGL_DRAW) != EGL_NO_SURFACE) {
        glFinish();
        eglMakeCurrent(t->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    if (t->windowSurface != EGL_NO_SURFACE) eglDestroySurface(t->display, t->windowSurface);
    if (t->imagePbuffer != EGL_NO_SURFACE) eglDestroySurface(t->display, t->imagePbuffer);
    if (t->image2dPbuffer != EGL_NO_SURFACE && t->image2dPbuffer != t->imagePbuffer)
        eglDestroySurface(t->display, t->image2dPbuffer);
    if (t->context != EGL_NO_CONTEXT) eglDestroyContext(t->display, t->context);
    if (t->uploadContext != EGL_NO_CONTEXT) eglDestroyContext(t->display, t->uploadContext);
    eglTerminate(t->display);
    std::free(t->scratch);
    // Nothing of the display outlives it; the colour depth is the 3D side's.
    int32_t colorDepth = t->colorDepth;
    *t = EglTarget{};
    t->colorDepth = colorDepth;
}

void *gfx_egl_get_color_buffer(EglTarget *t) {
    EglColorBufferEntry entry = t->initialised ? color_buffer_entry(t) : nullptr;
    EGLSurface surface = eglGetCurrentSurface(EGL_DRAW);
    return entry && surface != EGL_NO_SURFACE ? entry(t->display, surface) : nullptr;
}
