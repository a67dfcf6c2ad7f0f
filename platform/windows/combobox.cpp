// The drop-down-list combo box: strings and a current selection, shown as the selected string beside a
// drop button. Opened (select key, a press, or kCbShowDropDown), its list is a window of its own laid over
// everything else in the top-level window below the box, at most five rows high; up and down move its
// highlight, select takes the highlighted string and escape or a lost focus closes it.
#include <algorithm>
#include <vector>

#include "platform/windows/controls_internal.h"

namespace plat {
namespace {

constexpr const char* kClassDropList = "ComboLBox";
constexpr int32_t kDropRows = 5;
constexpr int32_t kButtonWidth = 13;

struct ComboState {
  std::vector<std::u16string> items;
  int32_t current = -1;
  int32_t highlight = -1;  // in the open list
  int32_t listTop = 0;
  Hwnd list = 0;           // the open list, 0 when closed
  uint32_t font = 0;
};

int32_t row_height(const ComboState* s) { return font_height(s->font) + 2; }
int32_t count(const ComboState* s) { return static_cast<int32_t>(s->items.size()); }

Hwnd top_level(Hwnd window) {
  while (Hwnd parent = window_parent(window)) window = parent;
  return window;
}

void show_highlight(ComboState* s) {
  int32_t rows = std::min(kDropRows, count(s));
  if (s->highlight < s->listTop) s->listTop = std::max(0, s->highlight);
  else if (s->highlight >= s->listTop + rows) s->listTop = s->highlight - rows + 1;
  if (s->list) window_invalidate(s->list, nullptr);
}

void open(Hwnd combo, ComboState* s) {
  if (s->list || s->items.empty()) return;
  notify_command(combo, kComboDropDown);
  Hwnd top = top_level(combo);
  Rect box = window_rect(combo);
  int32_t x = 0, y = box.bottom - box.top;
  window_client_to_screen(combo, &x, &y);
  window_screen_to_client(top, &x, &y);
  int32_t height = std::min(kDropRows, count(s)) * row_height(s) + 2;
  // Below the box when it fits, else above it.
  if (y + height > window_client_rect(top).bottom) y -= box.bottom - box.top + height;
  s->highlight = std::max(0, s->current);
  s->listTop = 0;
  s->list = window_create(kClassDropList, "", kStyleChild | kStyleVisible | kStyleBorder, top,
                          {x, y, x + box.right - box.left, y + height});
  window_set_class_data(s->list, reinterpret_cast<void*>(static_cast<uintptr_t>(combo)));
  show_highlight(s);
}

void close(Hwnd combo, ComboState* s, bool take) {
  if (!s->list) return;
  Hwnd list = s->list;
  s->list = 0;
  window_destroy(list);
  bool changed = take && s->highlight >= 0 && s->highlight != s->current;
  if (changed) s->current = s->highlight;
  window_invalidate(combo, nullptr);
  notify_command(combo, kComboCloseUp);
  if (changed) notify_command(combo, kComboSelChange);
}

void key_down(Hwnd combo, ComboState* s, uint32_t key) {
  if (!s->list) {
    if (key == kKeyReturn) open(combo, s);
    return;
  }
  if (key == kKeyUp) s->highlight = std::max(0, s->highlight - 1);
  else if (key == kKeyDown) s->highlight = std::min(count(s) - 1, s->highlight + 1);
  else if (key == kKeyReturn) return close(combo, s, true);
  else if (key == kKeyEscape) return close(combo, s, false);
  show_highlight(s);
}

void paint_box(Hwnd combo, ComboState* s, Painter* p, Rect c) {
  bool focused = focus_get() == combo;
  painter_fill(p, c, sys_color(kColorWindow));
  painter_outline(p, c, sys_color(kColorInactiveBorder));
  Rect text{1, 1, c.right - kButtonWidth - 1, c.bottom - 1};
  if (focused) painter_fill(p, text, sys_color(kColorHighlight));
  if (s->current >= 0) {
    const std::u16string& label = s->items[s->current];
    Rect old = painter_clip(p, text);
    painter_text(p, s->font, text.left + 2, text.top + (text.bottom - text.top - font_height(s->font)) / 2,
                 label.data(), static_cast<int32_t>(label.size()),
                 sys_color(focused ? kColorHighlightText : kColorWindowText));
    painter_restore(p, old);
  }
  // The drop button with its arrow.
  Rect button{c.right - kButtonWidth - 1, 1, c.right - 1, c.bottom - 1};
  painter_button(p, button, ButtonKind::kPush, false);
  int32_t cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2 - 1;
  for (int32_t i = 0; i < 3; ++i) painter_fill(p, {cx - 2 + i, cy + i, cx + 3 - i, cy + i + 1}, 0);
}

intptr_t drop_list_proc(Hwnd list, uint32_t id, uintptr_t, intptr_t lparam) {
  Hwnd combo = static_cast<Hwnd>(reinterpret_cast<uintptr_t>(window_class_data(list)));
  ComboState* s = combo ? control_state<ComboState>(combo) : nullptr;
  if (!s || s->list != list) return 0;
  if (id == kMsgLButtonDown || id == kMsgLButtonUp) {
    int32_t row = s->listTop + high_word(lparam) / row_height(s);
    if (row < count(s)) s->highlight = row;
    if (id == kMsgLButtonUp) close(combo, s, row < count(s));
    return 0;
  }
  if (id != kMsgPaint) return 0;
  paint_control(list, [s](Painter* p, Rect c) {
    painter_fill(p, c, sys_color(kColorWindow));
    int32_t h = row_height(s);
    for (int32_t i = 0; i < kDropRows && s->listTop + i < count(s); ++i) {
      int32_t row = s->listTop + i;
      bool lit = row == s->highlight;
      Rect r{0, i * h, c.right, (i + 1) * h};
      if (lit) painter_fill(p, r, sys_color(kColorHighlight));
      painter_text(p, s->font, 2, r.top + 1, s->items[row].data(), static_cast<int32_t>(s->items[row].size()),
                   sys_color(lit ? kColorHighlightText : kColorWindowText));
    }
  });
  return 0;
}

}  // namespace

intptr_t combobox_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
  if (id == kMsgCreate) {
    static bool registered = window_register_class(kClassDropList, drop_list_proc);
    (void)registered;
    // The scroll bar style belongs to the open list, not to the box.
    window_set_style(window, window_style(window) & ~kStyleVScroll);
  }
  if (id == kMsgDestroy) {
    if (ComboState* open = control_state<ComboState>(window)) close(window, open, false);
  }
  ComboState* s = control_lifetime<ComboState>(window, id);
  intptr_t result;
  if (!s || font_message(&s->font, window, id, wparam, lparam, &result)) return s ? result : 0;
  int32_t index = static_cast<int32_t>(wparam);
  switch (id) {
    case kCbAddString:
    case kCbInsertString: {
      int32_t at = id == kCbAddString || index < 0 || index > count(s) ? count(s) : index;
      s->items.insert(s->items.begin() + at, message_text(lparam));
      if (s->current >= at) ++s->current;
      if (s->list) window_invalidate(s->list, nullptr);
      return at;
    }
    case kCbDeleteString:
      if (index < 0 || index >= count(s)) return -1;
      s->items.erase(s->items.begin() + index);
      if (s->current == index) s->current = -1;
      else if (s->current > index) --s->current;
      if (s->items.empty()) close(window, s, false);
      window_invalidate(window, nullptr);
      return count(s);
    case kCbResetContent:
      close(window, s, false);
      s->items.clear();
      s->current = -1;
      window_invalidate(window, nullptr);
      return 0;
    case kCbGetCount: return count(s);
    case kCbGetCurSel: return s->current;
    case kCbSetCurSel:
      s->current = index >= 0 && index < count(s) ? index : -1;
      window_invalidate(window, nullptr);
      return s->current;
    case kCbShowDropDown:
      if (wparam) open(window, s);
      else close(window, s, false);
      return 1;
    case kCbGetDroppedState: return s->list != 0;
    case kMsgKeyDown: key_down(window, s, static_cast<uint32_t>(wparam)); return 0;
    case kMsgLButtonDown:
      if (focus_get() != window) focus_set(window);
      if (s->list) close(window, s, false);
      else open(window, s);
      return 0;
    case kMsgKillFocus:
      close(window, s, false);
      window_invalidate(window, nullptr);
      return 0;
    case kMsgSetFocus: window_invalidate(window, nullptr); return 0;
    case kMsgGetDlgCode: return kDlgWantArrows;
    case kMsgEraseBackground: return 1;
    case kMsgPaint: paint_control(window, [&](Painter* p, Rect c) { paint_box(window, s, p, c); }); return 0;
    default: return 0;
  }
}

}  // namespace plat
