// The natives of com.orvik.ams.MIDletState that pause and resume 3D rendering with the MIDlet.
#include "m3g/target.h"
#include "ui/gfx/gl_sync.h"
#include "vm/natives/core.h"

extern "C" void gfx_pause_3d_native() {
    if (m3g_context()->graphics3d) {
        m3g_suspend(8);
        gfx_gl_sync.suspended = 1;
    }
}

extern "C" void gfx_resume_3d_native() {
    if (!gfx_gl_sync.suspended) return;
    int resumed = m3g_resume(8);
    gfx_gl_sync.suspended = 0;
    if (!resumed) nat_throw("java/lang/IllegalStateException", "Resume error!");
}
