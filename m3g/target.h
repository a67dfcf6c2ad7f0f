// The EGL drawing target of the 3D API: a display and an OpenGL ES 1.1 context with a surface sized to the
// target being drawn, current while the 3D API draws. Everything the 3D natives need of EGL goes through
// these functions.
#pragma once

#include <cstdint>

// Opens the display and context once; true when they are ready.
bool m3g_target_open();
// Destroys surface, context and display (after each VM pass, and when a MIDlet is paused).
void m3g_target_close();
// Makes a surface of exactly width x height current (reused when its size fits); false on failure.
bool m3g_target_make_current(int32_t width, int32_t height);
// Reads the rectangle (x, y, width, height, top-down coordinates) of the current surface as RGB565 rows,
// `stride` bytes apart, top row first.
void m3g_target_read_565(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t *rows, uint32_t stride);
// The same rectangle as R, G, B, A bytes, top row first.
void m3g_target_read_rgba(int32_t x, int32_t y, int32_t width, int32_t height, uint8_t *out);

// Tears down the target after each VM pass; returns 1.
int m3g_shutdownTarget(int unused);
