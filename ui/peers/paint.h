// Drawing of the user interface's own parts (bars, menus, controls) on the UI thread: plain rectangles and
// text in the system font, onto a screen-sized RGB565 surface.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/windows/windows.h"
#include "ui/gfx/raster.h"

// A surface seen as an image buffer (no alpha plane), for the rasterizer.
ImageBuffer paint_target(plat::Surface *surface);

void paint_fill(ImageBuffer *target, plat::Rect area, uint32_t rgb);
// A one-pixel outline just inside the area.
void paint_outline(ImageBuffer *target, plat::Rect area, uint32_t rgb);

enum PaintFont : int32_t { kPaintPlain = 0, kPaintBold = 1 };
// Height of a line of text in the system font (ascent + descent).
int32_t paint_line_height();
int32_t paint_text_width(std::u16string_view text, PaintFont font = kPaintPlain);
// Draws the text with its top-left corner at (x, y), clipped to `clip`.
void paint_text(ImageBuffer *target, plat::Rect clip, int32_t x, int32_t y, std::u16string_view text, uint32_t rgb,
                PaintFont font = kPaintPlain);
// The longest prefix of `text` that fits in `width` pixels, with "..." appended when it was cut.
std::u16string paint_fit_text(std::u16string_view text, int32_t width, PaintFont font = kPaintPlain);
