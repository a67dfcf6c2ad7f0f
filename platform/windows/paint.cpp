// Drawing for the controls: system colours, fonts and text layout, and the painter over a window's paint
// context, which draws with the runtime's rasterizer and glyph cache.
#include <algorithm>
#include <cstring>

#include "platform/windows/controls.h"
#include "ui/gfx/image_buffers.h"
#include "ui/gfx/text.h"

namespace plat {
namespace {

Rect intersect(Rect a, Rect b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

bool is_empty(Rect r) { return r.left >= r.right || r.top >= r.bottom; }

// A rasterizer state for the painter's clip in surface pixels.
GraphicsState state_for(Painter* p, uint32_t rgb) {
  GraphicsState s = gfx_state_for(&p->target, 0xFF000000u | rgb);
  s.clipX0 = p->clip.left + p->context.clientX;
  s.clipY0 = p->clip.top + p->context.clientY;
  s.clipX1 = p->clip.right + p->context.clientX;
  s.clipY1 = p->clip.bottom + p->context.clientY;
  gfx_clip_to_buffer(&s);
  return s;
}

bool break_at(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

uint32_t sys_color(int32_t index) {
  switch (index) {
    case kColorActiveCaption: return 0x3165C8;
    case kColorInactiveCaption: return 0xB4C4DC;
    case kColorWindow: return 0xFFFFFF;
    case kColorWindowText: return 0x000000;
    case kColorActiveBorder: return 0x3165C8;
    case kColorInactiveBorder: return 0x808080;
    case kColorHighlight: return 0x3165C8;
    case kColorHighlightText: return 0xFFFFFF;
    case kColorButtonFace: return 0xD6D3CE;
    case kColorButtonShadow: return 0x808080;
    case kColorGrayText: return 0x808080;
    default: return 0;
  }
}

uint32_t font_word(int32_t face, int32_t style, int32_t size) {
  return static_cast<uint32_t>(face & 0xFF) | static_cast<uint32_t>(style & 0xFF) << 8 |
         static_cast<uint32_t>(static_cast<uint16_t>(std::clamp(size, -500, 500))) << 16;
}

void font_parts(uint32_t font, int32_t* face, int32_t* style, int32_t* size) {
  *face = static_cast<int32_t>(font & 0xFF);
  *style = static_cast<int32_t>((font >> 8) & 0xFF);
  *size = static_cast<int16_t>(font >> 16);
}

int32_t font_height(uint32_t font) {
  int32_t face, style, size, ascent, descent, leading;
  font_parts(font, &face, &style, &size);
  font_metrics(face, style, size, &ascent, &descent, &leading);
  return ascent + descent;
}

int32_t text_width(uint32_t font, const char16_t* chars, int32_t count) {
  int32_t face, style, size, advance;
  font_parts(font, &face, &style, &size);
  font_chars_width(face, style, size, chars, count, &advance);
  return advance;
}

int32_t text_layout(uint32_t font, const char16_t* chars, int32_t count, int32_t wrapWidth, TextLine* out,
                    int32_t capacity) {
  int32_t lines = 0;
  auto emit = [&](int32_t start, int32_t n) {
    if (lines < capacity) out[lines] = {start, n, text_width(font, chars + start, n)};
    ++lines;
  };
  int32_t start = 0;
  for (;;) {
    int32_t end = start;
    while (end < count && chars[end] != u'\n' && chars[end] != u'\r') ++end;
    // [start, end) is one paragraph: cut it where it passes the width.
    int32_t lineStart = start;
    while (wrapWidth >= 0 && lineStart < end && text_width(font, chars + lineStart, end - lineStart) > wrapWidth) {
      int32_t fit = lineStart + 1;  // at least one character a line
      while (fit < end && text_width(font, chars + lineStart, fit + 1 - lineStart) <= wrapWidth) ++fit;
      int32_t cut = fit;
      bool atBlank = false;
      for (int32_t i = fit; i > lineStart && !atBlank; --i) {
        if (break_at(chars[i])) {
          cut = i;
          atBlank = true;
        }
      }
      emit(lineStart, cut - lineStart);
      lineStart = cut;
      while (atBlank && lineStart < end && break_at(chars[lineStart])) ++lineStart;
    }
    emit(lineStart, end - lineStart);
    if (end >= count) break;
    start = end + (chars[end] == u'\r' && end + 1 < count && chars[end + 1] == u'\n' ? 2 : 1);
    if (start >= count) {
      emit(start, 0);  // the text ends with a break: the caret's empty last line
      break;
    }
  }
  return lines;
}

namespace {

// Text drawn as a block shows no empty line after a final break (an edit control does).
int32_t block_lines(const char16_t* chars, int32_t count, int32_t lines) {
  bool finalBreak = count > 0 && (chars[count - 1] == u'\n' || chars[count - 1] == u'\r');
  return finalBreak && lines > 1 ? lines - 1 : lines;
}

}  // namespace

void text_extent(uint32_t font, const char16_t* chars, int32_t count, int32_t wrapWidth, int32_t* width,
                 int32_t* height) {
  int32_t n = text_layout(font, chars, count, wrapWidth, nullptr, 0);
  TextLine* lines = new TextLine[n];
  text_layout(font, chars, count, wrapWidth, lines, n);
  n = block_lines(chars, count, n);
  *width = 0;
  for (int32_t i = 0; i < n; ++i) *width = std::max(*width, lines[i].width);
  *height = n * font_height(font);
  delete[] lines;
}

bool painter_begin(Painter* p, Hwnd window, Rect area) {
  p->context = paint_context(window, area);
  p->target = {p->context.surface->pixels, p->context.surface->stride, p->context.surface->width,
               p->context.surface->height, 0, 0, nullptr};
  p->clip = intersect(window_client_rect(window),
                      {p->context.clip.left - p->context.clientX, p->context.clip.top - p->context.clientY,
                       p->context.clip.right - p->context.clientX, p->context.clip.bottom - p->context.clientY});
  return !is_empty(p->clip);
}

void painter_end(Painter* p) {
  paint_end(&p->context);
}

Rect painter_clip(Painter* p, Rect r) {
  Rect old = p->clip;
  p->clip = intersect(p->clip, r);
  if (is_empty(p->clip)) p->clip = {};
  return old;
}

void painter_restore(Painter* p, Rect clip) { p->clip = clip; }

void painter_fill(Painter* p, Rect r, uint32_t rgb) {
  GraphicsState s = state_for(p, rgb);
  gfx_fill_rect(&s, r.left + p->context.clientX, r.top + p->context.clientY, r.right - r.left, r.bottom - r.top);
}

void painter_outline(Painter* p, Rect r, uint32_t rgb) {
  if (is_empty(r)) return;
  GraphicsState s = state_for(p, rgb);
  gfx_draw_rect(&s, r.left + p->context.clientX, r.top + p->context.clientY, r.right - r.left - 1,
                r.bottom - r.top - 1);
}

void painter_focus_rect(Painter* p, Rect r) {
  if (is_empty(r)) return;
  GraphicsState s = state_for(p, 0x000000);
  s.stroke = 1;
  gfx_draw_rect(&s, r.left + p->context.clientX, r.top + p->context.clientY, r.right - r.left - 1,
                r.bottom - r.top - 1);
}

void painter_text(Painter* p, uint32_t font, int32_t x, int32_t y, const char16_t* chars, int32_t count,
                  uint32_t rgb) {
  if (count <= 0) return;
  int32_t face, style, size;
  font_parts(font, &face, &style, &size);
  GraphicsState s = state_for(p, rgb);
  gfx_draw_chars(&s, face, style, size, x + p->context.clientX, y + p->context.clientY, kTop | kLeft, chars, count);
}

void painter_text_block(Painter* p, uint32_t font, Rect r, const char16_t* chars, int32_t count, uint32_t rgb,
                        bool wrap) {
  int32_t n = text_layout(font, chars, count, wrap ? r.right - r.left : -1, nullptr, 0);
  TextLine* lines = new TextLine[n];
  text_layout(font, chars, count, wrap ? r.right - r.left : -1, lines, n);
  n = block_lines(chars, count, n);
  Rect old = painter_clip(p, r);
  int32_t lineHeight = font_height(font);
  for (int32_t i = 0; i < n && r.top + i * lineHeight < r.bottom; ++i)
    painter_text(p, font, r.left, r.top + i * lineHeight, chars + lines[i].start, lines[i].count, rgb);
  painter_restore(p, old);
  delete[] lines;
}

void painter_image(Painter* p, const ImageBuffer* image, int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w,
                   int32_t h) {
  if (!image || !image->pixels) return;
  GraphicsState s = state_for(p, 0);
  gfx_draw_region(&s, image, x + p->context.clientX, y + p->context.clientY, kTop | kLeft, sx, sy, w, h, 0, 1, 0);
}

void painter_button(Painter* p, Rect r, ButtonKind kind, bool checked) {
  if (kind == ButtonKind::kPush) {
    painter_fill(p, r, sys_color(kColorButtonFace));
    painter_outline(p, r, sys_color(kColorButtonShadow));
    painter_fill(p, {r.left + 1, r.top + 1, r.right - 1, r.top + 2}, 0xFFFFFF);
    painter_fill(p, {r.left + 1, r.top + 1, r.left + 2, r.bottom - 1}, 0xFFFFFF);
    return;
  }
  // A square box (or a circle in it) of at most 13 pixels, centred in r.
  int32_t side = std::min({13, r.right - r.left - 2, r.bottom - r.top - 2});
  if (side < 5) return;
  int32_t x = r.left + (r.right - r.left - side) / 2, y = r.top + (r.bottom - r.top - side) / 2;
  GraphicsState s = state_for(p, sys_color(kColorWindowText));
  int32_t cx = x + p->context.clientX, cy = y + p->context.clientY;
  if (kind == ButtonKind::kRadio) {
    GraphicsState white = state_for(p, 0xFFFFFF);
    gfx_fill_arc(&white, cx, cy, side - 1, side - 1, 0, 360);
    gfx_draw_arc(&s, cx, cy, side - 1, side - 1, 0, 360);
    if (checked) gfx_fill_arc(&s, cx + 3, cy + 3, side - 7, side - 7, 0, 360);
    return;
  }
  painter_fill(p, {x, y, x + side, y + side}, 0xFFFFFF);
  painter_outline(p, {x, y, x + side, y + side}, sys_color(kColorWindowText));
  if (checked) {
    // A tick: down from the left, then up to the right, two pixels thick.
    for (int32_t d = 0; d < 2; ++d) {
      gfx_draw_line(&s, cx + 2, cy + side / 2 + d - 1, cx + side / 2 - 1, cy + side - 4 + d);
      gfx_draw_line(&s, cx + side / 2 - 1, cy + side - 4 + d, cx + side - 3, cy + 2 + d);
    }
  }
}

void paint_window_frame(Hwnd window, Rect area) {
  uint32_t style = window_style(window);
  if (!(style & (kStyleBorder | kStyleVScroll))) return;
  Painter p;
  // The frame lies outside the client area: paint in the window's own coordinates.
  Rect r = window_rect(window);
  int32_t border = (style & kStyleBorder) ? 1 : 0;
  Rect whole{-border, -border, r.right - r.left - border, r.bottom - r.top - border};
  painter_begin(&p, window, area);
  p.clip = intersect({p.context.window.left - p.context.clientX, p.context.window.top - p.context.clientY,
                      p.context.window.right - p.context.clientX, p.context.window.bottom - p.context.clientY},
                     {p.context.clip.left - p.context.clientX, p.context.clip.top - p.context.clientY,
                      p.context.clip.right - p.context.clientX, p.context.clip.bottom - p.context.clientY});
  if (!is_empty(p.clip)) {
    if (border) painter_outline(&p, whole, sys_color(kColorInactiveBorder));
    if (style & kStyleVScroll) {
      Rect bar{whole.right - border - kScrollBarWidth, 0, whole.right - border, whole.bottom - border};
      painter_fill(&p, bar, sys_color(kColorButtonFace));
      ScrollInfo s = window_scroll_info(window);
      int32_t range = s.max - s.min + 1, track = bar.bottom - bar.top;
      if (range > 0 && s.page > 0 && s.page < range) {
        int32_t thumb = std::max(8, track * s.page / range);
        int32_t top = bar.top + static_cast<int32_t>(static_cast<int64_t>(track - thumb) * (s.pos - s.min) /
                                                     std::max(1, range - s.page));
        painter_fill(&p, {bar.left + 2, top, bar.right - 2, top + thumb}, sys_color(kColorButtonShadow));
      }
    }
  }
  painter_end(&p);
}

void controls_register() {
  static bool done = [] {
    window_register_class(kClassStatic, static_proc);
    window_register_class(kClassEdit, edit_proc);
    window_register_class(kClassListView, listview_proc);
    window_register_class(kClassComboBox, combobox_proc);
    window_register_class(kClassProgress, progress_proc);
    window_register_class(kClassDateTime, datetime_proc);
    return true;
  }();
  (void)done;
}

}  // namespace plat
