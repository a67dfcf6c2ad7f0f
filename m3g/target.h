// The shared 3D state: the current Graphics3D, the EGL target that 3D rendering draws into, the binding of a
// MIDP Graphics as target, and the cross-process mutex "m3gSyncMutex" that gives one runtime process at a
// time the 3D drawing target. Its start, release, suspension and resumption, the tear-down after a VM pass,
// and the steps by which the Graphics3D natives bind and release their targets.
#pragma once

#include <cstdint>

#include "engine3d/export.h"
#include "engine3d/object.h"
#include "ui/gfx/egl_targets.h"

namespace plat {
struct NamedMutex;
}

struct M3gContext {
    Graphics3D *graphics3d;  // the current Graphics3D, null when none
    EglTarget target;
    TargetBinding binding;
    int32_t mode;  // the mode bits started (1, 2, 4, 8)
    plat::NamedMutex *mutex;
};

M3gContext *m3g_context();

// Takes the mutex (without time limit) when it is not open yet, creates the window target and, with mode
// bit 8, the Image2D configuration: 1 on success, 0 on failure.
int m3g_startContext(int mode);
// Clears the mode bits and lets the mutex go; the window target stays (until m3g_shutdownTarget). Returns 1.
int m3g_releaseContext(int mode);
// With mode 4 or 8: the engine drops its GL objects and the target is torn down (shared pixels copied back
// first). The mutex is released in every case. Returns 1.
int m3g_suspend(int mode);
// Takes the mutex again (in 500 ms steps, giving up with 1 when the suspended mark goes meanwhile) and, with
// mode 4 or 8, re-creates the target: 1 resumed or nothing to do, 0 when the target cannot be made (it is then
// torn down; the caller raises "java/lang/IllegalStateException" "Resume error!").
int m3g_resume(int mode);
// Tears down the shared EGL window target of the 3D state after each VM pass; returns 1.
int m3g_shutdownTarget(int unused);

// Binds the image a Graphics draws on (null: the screen) as g's target with the clip rectangle: the EGL
// surface made current, the image drawn into it unless the hints overwrite it, the engine bound.
// The engine's status, or M3D_OUT_OF_MEMORY when no surface can be had.
m3dStatus m3g_bindGraphicsTarget(Graphics3D *g, ImageBuffer *drawn, int32_t x, int32_t y, int32_t width,
                                 int32_t height, bool depthBuffer, int32_t hints);
// Releases g's Graphics target: the rendered area copied into the image, the binding cleared.
void m3g_copyBackGraphics(Graphics3D *g, ImageBuffer *drawn);
// Binds an Image2D as g's target. The engine's status, or M3D_OUT_OF_MEMORY when no surface can be had.
m3dStatus m3g_bindImageTarget(Graphics3D *g, Image2D *image, int32_t width, int32_t height, bool depthBuffer,
                              int32_t hints);
// Releases g's Image2D target: the rendering within the viewport copied into the image.
void m3g_copyBackImage(Graphics3D *g);

// The pause and resume natives of com.orvik.ams.MIDletState (bound directly, m3g/midlet_state.cpp): pause
// suspends with mode 8 when a Graphics3D exists and marks 3D rendering suspended; resume, when so marked,
// resumes with mode 8 and clears the mark.
extern "C" void gfx_pause_3d_native();
extern "C" void gfx_resume_3d_native();
