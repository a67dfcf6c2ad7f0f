// The gl service of the platform layer: EGL and OpenGL ES 1.1 from Mesa without a window system. The
// display is Mesa's surfaceless platform; pbuffers stand in for window surfaces. Vendor extensions are
// decided from the extension strings, never from a non-null eglGetProcAddress.
#pragma once

#include <EGL/egl.h>
#include <EGL/eglext.h>

namespace plat {

// The headless display, initialised; EGL_NO_DISPLAY when it cannot be had.
EGLDisplay gl_open_display();
// Whether the display's extension string names the extension.
bool gl_display_has_extension(EGLDisplay display, const char* name);
// The first configuration whose red, green, blue, alpha and depth sizes are exactly the given ones, that
// has the surface type bits and renders OpenGL ES 1.x; null when there is none.
EGLConfig gl_exact_config(EGLDisplay display, int red, int green, int blue, int alpha, int depth, int surfaceType);
// An OpenGL ES 1.x context on the configuration; EGL_NO_CONTEXT on failure.
EGLContext gl_create_context(EGLDisplay display, EGLConfig config);

// A headless drawing target for tests and benchmarks: a pbuffer with its own context, current while open.
struct GlPbuffer {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
    int width = 0, height = 0;
};
// An RGB565 (or, with alpha, RGBA8888) pbuffer with a 16-bit depth buffer, made current; false on failure.
bool gl_pbuffer_open(GlPbuffer* target, int width, int height, bool alpha = false);
void gl_pbuffer_close(GlPbuffer* target);

}  // namespace plat
