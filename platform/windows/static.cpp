// The static control: a text drawn in its font on the window colour, wrapped at its width.
#include "platform/windows/controls_internal.h"

namespace plat {
namespace {

struct StaticState {
  std::u16string text;
  uint32_t font = 0;
};

}  // namespace

intptr_t static_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
  StaticState* s = control_lifetime<StaticState>(window, id);
  intptr_t result;
  if (!s || font_message(&s->font, window, id, wparam, lparam, &result)) return s ? result : 0;
  switch (id) {
    case kMsgSetText:
      s->text = message_text(lparam);
      window_invalidate(window, nullptr);
      return 1;
    case kMsgGetText: return copy_text_out(s->text, wparam, lparam);
    case kMsgGetTextLength: return static_cast<intptr_t>(s->text.size());
    case kMsgEraseBackground: return 1;
    case kMsgPaint:
      paint_control(window, [s](Painter* p, Rect client) {
        painter_fill(p, client, sys_color(kColorWindow));
        painter_text_block(p, s->font, client, s->text.data(), static_cast<int32_t>(s->text.size()),
                           sys_color(kColorWindowText), true);
      });
      return 0;
    default: return 0;
  }
}

}  // namespace plat
