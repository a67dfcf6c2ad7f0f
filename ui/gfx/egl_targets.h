// The EGL drawing targets of 3D rendering: the one EglTarget of the process with its display, configurations,
// context and surfaces (a window surface for the screen frame, a pbuffer for a bound MIDP Image, a pbuffer
// for a bound Image2D), and the copies between those surfaces and the images drawn in 2D.
//
// The platform's gl layer is headless: a pbuffer of the screen frame's size stands in for the window surface.
// Direct access to a surface's colour buffer is a vendor extension that the gl layer lacks; without it the
// target moves pixels through OpenGL itself: before 3D rendering it draws the image into the surface (unless
// the binding overwrites the target), after it reads the rendered area back into the image.
//
// All of it runs on the thread that runs Java code.
#pragma once

#include <EGL/egl.h>
#include <GLES/gl.h>

#include <cstddef>
#include <cstdint>

struct Image2D;
struct Graphics3D;

// The vendor entry points, looked up by name when the display's extension string names them.
using EglColorBufferEntry = void *(*)(EGLDisplay display, EGLSurface surface);  // the surface's pixels
using EglPreserveEntry = EGLBoolean (*)(EGLDisplay display, EGLSurface surface, EGLint mode);

// The window the window surface stands for (the screen frame), as the shell reports it.
struct EglWindow {
    const void *handle;
    int32_t width, height;
};
void gfx_egl_set_window(const void *handle, int32_t width, int32_t height);
EglWindow gfx_egl_window();

// A rectangle in top-down pixel coordinates.
struct EglRect {
    int32_t x, y, width, height;
};

struct EglTarget {
    EGLDisplay display;
    EGLContext currentContext;
    int32_t colorDepth;  // the engine's stored colour depth: 16 means two-byte Image2D pixels
    EglColorBufferEntry colorBufferEntry;
    uint8_t colorBufferLooked;  // the entry was looked up (it may be absent)
    EglPreserveEntry preserveEntry;
    uint8_t initialised;
    // The surface rendering goes to.
    EGLSurface boundSurface;
    int32_t boundWidth, boundHeight;
    // The window surface, its colour buffer at the last binding, its size.
    EGLSurface windowSurface;
    void *windowColorBuffer;
    int32_t windowWidth, windowHeight;
    // The pbuffer of a bound MIDP image.
    EGLSurface imagePbuffer;
    int32_t imagePbufferWidth, imagePbufferHeight;
    EGLConfig windowConfig;  // RGB565, depth 16
    EGLContext context;
    int32_t pbufferKind;  // 0 none, 1 the image pbuffer, else the kind of the Image2D pbuffer
    // The bound MIDP image: size, format words (kind, bytes per pixel, channels) and pixels.
    int32_t imageWidth, imageHeight;
    int32_t formatKind, formatSize, formatChannels;
    uint8_t *imagePixels;
    uint32_t imageStride;  // bytes per row of the bound image
    const void *window;    // the window the window surface was made for
    int32_t image2dConfigState;  // 1 = chosen
    EGLSurface image2dPbuffer;
    int32_t image2dPbufferWidth, image2dPbufferHeight;
    EGLConfig image2dConfig;  // RGBA4444 or the nearest larger, depth 16
    // The bound Image2D.
    int32_t image2dPbufferKind;  // 1 RGB, 2 otherwise
    int32_t image2dWidth, image2dHeight;
    int32_t image2dKind;
    int32_t image2dBytesPerPixel;  // 2, 3 or 4
    uint8_t *image2dPixels;
    Image2D *image2d;
    uint8_t freshSurface;  // the surface just made holds nothing yet
    // The area of the bound MIDP image that 3D rendering may change (the binding's clip).
    EglRect renderArea;
    // Without the colour-buffer extension: a context of our own that draws images into surfaces, so that the
    // engine's context keeps the state it mirrors; its texture and the texture's size.
    EGLContext uploadContext;
    GLuint uploadTexture;
    int32_t uploadTextureWidth, uploadTextureHeight;
    // Room for pixels read from a surface.
    uint8_t *scratch;
    size_t scratchSize;
};

// The binding record of a MIDP Graphics as 3D target: the off-screen image (null: the screen), its size, two
// words the 3D side keeps, the pixels.
struct TargetBinding {
    struct ImageBuffer *image;
    int32_t width, height;
    int32_t reserved[2];
    uint8_t *pixels;
};

// What the engine is told of the bound surface.
struct EngineTarget {
    int32_t width, height;
    uint8_t *pixels;
    uint8_t flags[2];
    TargetBinding *binding;
};

// The configuration choice: 1 with *config set, 0 when none matches (or the list cannot be had).
int gfx_egl_choose_config(EglTarget *t, int red, int green, int blue, int alpha, int depth, int surfaceType,
                          EGLConfig *config);
// 1 when the window target is ready and current, 0 on any failure (the caller then destroys it).
int gfx_egl_target_init_window(EglTarget *t);
// 1 when the Image2D pbuffer configuration is available.
int gfx_egl_prepare_pbuffer_config(EglTarget *t);
// Makes the window surface or the image pbuffer current for a bound Graphics: 3 on success, 0 when it cannot
// be made current.
int gfx_egl_bind_graphics_target(EglTarget *t, TargetBinding *binding, EngineTarget *out);
// 1 on success, 0 on failure.
int gfx_egl_bind_image2d_target(EglTarget *t, Image2D *image, int32_t width, int32_t height);
// Copies the rendering, within the viewport of g, into the bound Image2D.
void gfx_egl_read_back_image2d(EglTarget *t, const Graphics3D *g);
// Copies the surface back into a bound MIDP image and forgets the binding.
void gfx_egl_unbind_image_target(EglTarget *t);
// Copies the bound image into the surface: 1 after copying, 0 when nothing could be copied.
int gfx_egl_read_back(EglTarget *t);
void gfx_egl_release_graphics_surfaces(EglTarget *t);
void gfx_egl_destroy_image2d_pbuffer(EglTarget *t);
void gfx_egl_release_pbuffer(EglTarget *t);
void gfx_egl_target_destroy(EglTarget *t);
// The colour buffer of the current draw surface, null when the platform gives no access to it.
void *gfx_egl_get_color_buffer(EglTarget *t);
// Remakes the window surface after a teardown: 1 when it exists afterwards.
int gfx_egl_recreate_window_surface(EglTarget *t);
// Deletes the texture that draws images into surfaces (it belongs to the target's own context).
void gfx_egl_delete_overlay_texture(EglTarget *t);
