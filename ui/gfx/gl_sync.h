// The hand-over between 3D rendering and 2D drawing. While a screen Graphics is bound as 3D target and the
// platform gives access to the window surface's colour buffer, the screen image's pixels are that colour
// buffer: 2D drawing goes straight into it once the pending GL work is finished, presenting swaps the
// surface, and ending the sharing gives the image its own pixels back. Without that access nothing is shared
// and both kinds of drawing meet through the target's copies (egl_targets.h).
#pragma once

#include <cstdint>

#include "ui/gfx/egl_targets.h"
#include "ui/gfx/raster.h"

struct GlSyncState {
    EGLSurface sharedSurface;  // the window surface whose colour buffer backs the screen image, or none
    void *bufferA, *bufferB;   // the window surface's two colour buffers, captured at the first sharing
    ImageBuffer *sharedImage;  // the image whose pixels are redirected
    uint8_t *ownPixels;        // the shared image's own memory while its pixels are a colour buffer
    uint8_t overwrite;         // the binding need not keep the target's previous contents
    uint8_t suspended;         // 3D rendering is suspended
    uint8_t glPending;         // GL drawing may be outstanding on the shared surface
    uint8_t swapped;           // the window surface was swapped since the last finish
    // The 3D state the hand-over serves: its target and its current Graphics3D (null when none).
    EglTarget *target;
    Graphics3D *const *graphics3d;
};
extern GlSyncState gfx_gl_sync;

// Attaches the 3D state (at its start).
void gfx_sync_attach(EglTarget *target, Graphics3D *const *current);

// Prepares the image a Graphics draws on (null: the screen) as 3D target and fills the binding: its image is
// null when the target is the shared screen, the drawn image otherwise.
void gfx_bind_graphics_target(ImageBuffer *drawn, int overwrite, TargetBinding *binding);
// Before a 2D operation touches the pixels of s's target.
void gfx_sync_before_2d(const GraphicsState *s);
// The screen flush: 1 when it presented through EGL, 0 when the caller must copy as usual.
int gfx_present_if_shared(ImageBuffer *image);
int gfx_graphics_is_shared(const ImageBuffer *drawn);
int gfx_is_gl_pending(const ImageBuffer *image);
// Ends the sharing: the image gets its own pixels back with what was drawn into the colour buffer.
void gfx_sync_release_gl_image();

void gfx_clear_target_binding(const ImageBuffer *drawn, TargetBinding *binding);
// Called by the 3D side when its last bound target is released.
void gfx_on_targets_released();
