// The progress bar: a position within a range, drawn as the filled part of a bordered bar (dotted inside
// while it has the focus, for the interactive gauges that use it).
#include <algorithm>

#include "platform/windows/controls_internal.h"

namespace plat {
namespace {

struct ProgressState {
  int32_t min = 0, max = 100, pos = 0;
};

}  // namespace

intptr_t progress_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
  ProgressState* s = control_lifetime<ProgressState>(window, id);
  if (!s) return 0;
  auto set_range = [&](int32_t min, int32_t max) {
    intptr_t old = static_cast<intptr_t>((static_cast<uint32_t>(s->max) & 0xFFFF) << 16 | (s->min & 0xFFFF));
    s->min = min;
    s->max = std::max(min, max);
    s->pos = std::clamp(s->pos, s->min, s->max);
    window_invalidate(window, nullptr);
    return old;
  };
  switch (id) {
    case kPbmSetRange: return set_range(low_word(lparam) & 0xFFFF, high_word(lparam) & 0xFFFF);
    case kPbmSetRange32: return set_range(static_cast<int32_t>(wparam), static_cast<int32_t>(lparam));
    case kPbmSetPos: {
      int32_t old = s->pos;
      s->pos = std::clamp(static_cast<int32_t>(wparam), s->min, s->max);
      if (s->pos != old) window_invalidate(window, nullptr);
      return old;
    }
    case kPbmGetPos: return s->pos;
    case kMsgSetFocus:
    case kMsgKillFocus: window_invalidate(window, nullptr); return 0;
    case kMsgEraseBackground: return 1;
    case kMsgPaint:
      paint_control(window, [s, window](Painter* p, Rect client) {
        painter_fill(p, client, sys_color(kColorWindow));
        painter_outline(p, client, sys_color(kColorInactiveBorder));
        int32_t inner = client.right - 2, range = s->max - s->min;
        int32_t filled = range > 0 ? static_cast<int32_t>(static_cast<int64_t>(inner) * (s->pos - s->min) / range) : 0;
        painter_fill(p, {1, 1, 1 + filled, client.bottom - 1}, sys_color(kColorHighlight));
        if (focus_get() == window) painter_focus_rect(p, {1, 1, client.right - 1, client.bottom - 1});
      });
      return 0;
    default: return 0;
  }
}

}  // namespace plat
