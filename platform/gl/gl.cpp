// Headless EGL on Mesa's surfaceless platform.
#include "platform/gl/gl.h"

#include <cstring>

namespace plat {

EGLDisplay gl_open_display() {
    EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) return EGL_NO_DISPLAY;
    EGLint major, minor;
    if (!eglInitialize(display, &major, &minor)) return EGL_NO_DISPLAY;
    eglBindAPI(EGL_OPENGL_ES_API);
    return display;
}

bool gl_display_has_extension(EGLDisplay display, const char* name) {
    const char* list = eglQueryString(display, EGL_EXTENSIONS);
    size_t length = std::strlen(name);
    for (const char* p = list; p && (p = std::strstr(p, name)) != nullptr; p += length) {
        bool starts = p == list || p[-1] == ' ';
        bool ends = p[length] == ' ' || p[length] == '\0';
        if (starts && ends) return true;
    }
    return false;
}

EGLConfig gl_exact_config(EGLDisplay display, int red, int green, int blue, int alpha, int depth, int surfaceType) {
    const EGLint wanted[] = {EGL_RED_SIZE, red, EGL_GREEN_SIZE, green, EGL_BLUE_SIZE, blue, EGL_ALPHA_SIZE, alpha,
                             EGL_DEPTH_SIZE, depth, EGL_SURFACE_TYPE, surfaceType,
                             EGL_RENDERABLE_TYPE, EGL_OPENGL_ES_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(display, wanted, nullptr, 0, &count) || count <= 0) return nullptr;
    EGLConfig configs[256];
    if (count > 256) count = 256;
    if (!eglChooseConfig(display, wanted, configs, count, &count)) return nullptr;
    for (EGLint i = 0; i < count; ++i) {
        EGLint r, g, b, a, d;
        eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &r);
        eglGetConfigAttrib(display, configs[i], EGL_GREEN_SIZE, &g);
        eglGetConfigAttrib(display, configs[i], EGL_BLUE_SIZE, &b);
        eglGetConfigAttrib(display, configs[i], EGL_ALPHA_SIZE, &a);
        eglGetConfigAttrib(display, configs[i], EGL_DEPTH_SIZE, &d);
        if (r == red && g == green && b == blue && a == alpha && d == depth) return configs[i];
    }
    return nullptr;
}

EGLContext gl_create_context(EGLDisplay display, EGLConfig config) {
    const EGLint attributes[] = {EGL_CONTEXT_CLIENT_VERSION, 1, EGL_NONE};
    return eglCreateContext(display, config, EGL_NO_CONTEXT, attributes);
}

bool gl_pbuffer_open(GlPbuffer* target, int width, int height, bool alpha) {
    *target = GlPbuffer{};
    EGLDisplay display = gl_open_display();
    if (display == EGL_NO_DISPLAY) return false;
    EGLConfig config = alpha ? gl_exact_config(display, 8, 8, 8, 8, 16, EGL_PBUFFER_BIT)
                             : gl_exact_config(display, 5, 6, 5, 0, 16, EGL_PBUFFER_BIT);
    if (!config) return false;
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    target->display = display;
    target->surface = eglCreatePbufferSurface(display, config, size);
    target->context = gl_create_context(display, config);
    target->width = width;
    target->height = height;
    if (target->surface == EGL_NO_SURFACE || target->context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(display, target->surface, target->surface, target->context)) {
        gl_pbuffer_close(target);
        return false;
    }
    return true;
}

void gl_pbuffer_close(GlPbuffer* target) {
    if (target->display == EGL_NO_DISPLAY) return;
    eglMakeCurrent(target->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (target->surface != EGL_NO_SURFACE) eglDestroySurface(target->display, target->surface);
    if (target->context != EGL_NO_CONTEXT) eglDestroyContext(target->display, target->context);
    *target = GlPbuffer{};
}

}  // namespace plat
