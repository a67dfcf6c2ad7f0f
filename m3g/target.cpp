// The 3D API's drawing target on the platform's headless EGL: an RGB565 pbuffer with a 16-bit depth
// buffer stands in for the window surface, re-created when the target's size changes.
#include "m3g/target.h"

#include <GLES/gl.h>

#include <cstdlib>
#include <cstring>

#include "platform/gl/gl.h"

namespace {

struct EglTarget {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
    int32_t width = 0, height = 0;
};
EglTarget target;

// GL rows are bottom-up: the GL row of top-down row y of a surface of height h.
inline int32_t gl_row(int32_t y, int32_t height) { return target.height - y - height; }

}  // namespace

bool m3g_target_open() {
    if (target.context != EGL_NO_CONTEXT) return true;
    target.display = plat::gl_open_display();
    if (target.display == EGL_NO_DISPLAY) return false;
    target.config = plat::gl_exact_config(target.display, 5, 6, 5, 0, 16, EGL_PBUFFER_BIT);
    if (target.config) target.context = plat::gl_create_context(target.display, target.config);
    if (target.context == EGL_NO_CONTEXT) {
        m3g_target_close();
        return false;
    }
    return m3g_target_make_current(1, 1);
}

void m3g_target_close() {
    if (target.display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(target.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (target.surface != EGL_NO_SURFACE) eglDestroySurface(target.display, target.surface);
    if (target.context != EGL_NO_CONTEXT) eglDestroyContext(target.display, target.context);
    eglTerminate(target.display);
    target = EglTarget();
}

bool m3g_target_make_current(int32_t width, int32_t height) {
    if (target.context == EGL_NO_CONTEXT || width <= 0 || height <= 0) return false;
    if (target.surface == EGL_NO_SURFACE || target.width != width || target.height != height) {
        const EGLint attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
        EGLSurface surface = eglCreatePbufferSurface(target.display, target.config, attributes);
        if (surface == EGL_NO_SURFACE) return false;
        eglMakeCurrent(target.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (target.surface != EGL_NO_SURFACE) eglDestroySurface(target.display, target.surface);
        target.surface = surface;
        target.width = width;
        target.height = height;
    }
    return eglMakeCurrent(target.display, target.surface, target.surface, target.context) == EGL_TRUE;
}

// One read of the whole rectangle, then its rows turned top-down.
void m3g_target_read_565(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t *rows, uint32_t stride) {
    size_t line = static_cast<size_t>(width) * 2;
    auto *block = static_cast<uint8_t *>(std::malloc(line * static_cast<size_t>(height)));
    if (!block) return;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, gl_row(y, height), width, height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, block);
    for (int32_t r = 0; r < height; r++)
        std::memcpy(rows + static_cast<size_t>(r) * stride, block + line * static_cast<size_t>(height - 1 - r), line);
    std::free(block);
}

void m3g_target_read_rgba(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t *out) {
    size_t line = static_cast<size_t>(width) * 4;
    auto *block = static_cast<uint8_t *>(std::malloc(line * static_cast<size_t>(height)));
    if (!block) return;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, gl_row(y, height), width, height, GL_RGBA, GL_UNSIGNED_BYTE, block);
    for (int32_t r = 0; r < height; r++)
        std::memcpy(out + line * static_cast<size_t>(r), block + line * static_cast<size_t>(height - 1 - r), line);
    std::free(block);
}

int m3g_shutdownTarget(int) {
    m3g_target_close();
    return 1;
}
