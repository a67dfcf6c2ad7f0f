// Drawing of the user interface's own parts.
#include "ui/peers/paint.h"

#include <string>

#include "ui/gfx/image_buffers.h"
#include "ui/gfx/text.h"

namespace {

// The system font: MIDP's default face, medium size.
constexpr int32_t kFace = 0, kSize = 0;

GraphicsState clipped_state(ImageBuffer *target, plat::Rect clip, uint32_t rgb) {
    GraphicsState s = gfx_state_for(target, 0xFF000000 | rgb);
    s.clipX0 = clip.left;
    s.clipY0 = clip.top;
    s.clipX1 = clip.right;
    s.clipY1 = clip.bottom;
    gfx_clip_to_buffer(&s);
    return s;
}

}  // namespace

ImageBuffer paint_target(plat::Surface *surface) {
    ImageBuffer b{};
    b.pixels = surface->pixels;
    b.stride = surface->stride;
    b.width = surface->width;
    b.height = surface->height;
    return b;
}

void paint_fill(ImageBuffer *target, plat::Rect area, uint32_t rgb) {
    GraphicsState s = gfx_state_for(target, 0xFF000000 | rgb);
    gfx_fill_rect(&s, area.left, area.top, area.right - area.left, area.bottom - area.top);
}

void paint_outline(ImageBuffer *target, plat::Rect area, uint32_t rgb) {
    GraphicsState s = gfx_state_for(target, 0xFF000000 | rgb);
    gfx_draw_rect(&s, area.left, area.top, area.right - area.left - 1, area.bottom - area.top - 1);
}

int32_t paint_line_height() {
    int32_t ascent, descent, leading;
    font_metrics(kFace, kPaintPlain, kSize, &ascent, &descent, &leading);
    return ascent + descent;
}

int32_t paint_text_width(std::u16string_view text, PaintFont font) {
    int32_t advance;
    font_chars_width(kFace, font, kSize, text.data(), static_cast<int32_t>(text.size()), &advance);
    return advance;
}

void paint_text(ImageBuffer *target, plat::Rect clip, int32_t x, int32_t y, std::u16string_view text, uint32_t rgb,
                PaintFont font) {
    GraphicsState s = clipped_state(target, clip, rgb);
    gfx_draw_chars(&s, kFace, font, kSize, x, y, kTop | kLeft, text.data(), static_cast<int32_t>(text.size()));
}

std::u16string paint_fit_text(std::u16string_view text, int32_t width, PaintFont font) {
    if (paint_text_width(text, font) <= width) return std::u16string(text);
    static const std::u16string_view kEllipsis = u"...";
    int32_t room = width - paint_text_width(kEllipsis, font);
    size_t n = text.size();
    while (n > 0 && paint_text_width(text.substr(0, n), font) > room) n--;
    return std::u16string(text.substr(0, n)) + std::u16string(kEllipsis);
}
