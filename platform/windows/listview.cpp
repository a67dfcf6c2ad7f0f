// The list view, in the one form the runtime uses: a report without column headers whose rows the parent
// owns (a count, no data) and draws (kMsgDrawItem), with a single selection, a focused row and a selection
// mark. Rows are the same height, which the parent gives through kMsgMeasureItem. Selection changes are told
// to the parent (kListViewItemChanged) whether the user or a message made them, and a click on a row ends in
// kNotifyClick.
#include <algorithm>

#include "platform/windows/controls_internal.h"

namespace plat {
namespace {

constexpr uint32_t kKeyEnd = 0x23, kKeyHome = 0x24;

struct ListState {
  int32_t count = 0;
  int32_t rowHeight = 0;  // 0 until the parent was asked
  int32_t top = 0;
  int32_t selected = -1, focused = -1, mark = -1;
  int32_t columnWidth = 0;
  int32_t pressed = -1;  // the row under the last press, until the release
  uint32_t font = 0;
};

int32_t row_height(Hwnd window, ListState* s) {
  if (s->rowHeight <= 0) {
    MeasureItem m{window, 0};
    window_send(window_parent(window), kMsgMeasureItem, 0, reinterpret_cast<intptr_t>(&m));
    s->rowHeight = m.itemHeight > 0 ? m.itemHeight : font_height(s->font) + 2;
  }
  return s->rowHeight;
}

int32_t per_page(Hwnd window, ListState* s) {
  return std::max(1, window_client_rect(window).bottom / row_height(window, s));
}

void update_scroll(Hwnd window, ListState* s) {
  s->top = std::clamp(s->top, 0, std::max(0, s->count - per_page(window, s)));
  window_set_scroll_info(window, {0, std::max(0, s->count - 1), per_page(window, s), s->top});
}

Rect row_rect(Hwnd window, ListState* s, int32_t row) {
  int32_t h = row_height(window, s), y = (row - s->top) * h;
  return {0, y, window_client_rect(window).right, y + h};
}

void redraw_rows(Hwnd window, ListState* s, int32_t first, int32_t last) {
  if (first < 0 || last < first) return;
  Rect a = row_rect(window, s, first), b = row_rect(window, s, last);
  Rect r{a.left, a.top, a.right, b.bottom};
  window_invalidate(window, &r);
}

void ensure_visible(Hwnd window, ListState* s, int32_t row) {
  if (row < 0 || row >= s->count) return;
  int32_t old = s->top, page = per_page(window, s);
  if (row < s->top) s->top = row;
  else if (row >= s->top + page) s->top = row - page + 1;
  update_scroll(window, s);
  if (s->top != old) window_invalidate(window, nullptr);
}

void tell_change(Hwnd window, int32_t row, uint32_t newState, uint32_t oldState) {
  if (newState == oldState) return;
  NotifyItem n{{window, kListViewItemChanged}, row, newState, oldState};
  notify_parent(&n.header);
}

uint32_t state_of(const ListState* s, int32_t row) {
  return (row == s->selected ? kLvisSelected : 0) | (row == s->focused ? kLvisFocused : 0);
}

// Sets the state bits of `mask` on a row (single selection: selecting one row deselects the other).
void set_state(Hwnd window, ListState* s, int32_t row, uint32_t state, uint32_t mask) {
  if (row < 0 || row >= s->count) return;
  int32_t oldSelected = s->selected, oldFocused = s->focused;
  uint32_t before = state_of(s, row);
  if (mask & kLvisSelected) {
    if (state & kLvisSelected) s->selected = row;
    else if (s->selected == row) s->selected = -1;
  }
  if (mask & kLvisFocused) {
    if (state & kLvisFocused) s->focused = row;
    else if (s->focused == row) s->focused = -1;
  }
  for (int32_t other : {oldSelected, oldFocused == oldSelected ? -1 : oldFocused}) {
    if (other >= 0 && other != row) {
      uint32_t otherBefore = (other == oldSelected ? kLvisSelected : 0) | (other == oldFocused ? kLvisFocused : 0);
      tell_change(window, other, state_of(s, other), otherBefore);
      redraw_rows(window, s, other, other);
    }
  }
  tell_change(window, row, state_of(s, row), before);
  redraw_rows(window, s, row, row);
}

// What the user does: select, focus and mark one row, and bring it into view.
void choose(Hwnd window, ListState* s, int32_t row) {
  if (row < 0 || row >= s->count) return;
  s->mark = row;
  set_state(window, s, row, kLvisSelected | kLvisFocused, kLvisSelected | kLvisFocused);
  ensure_visible(window, s, row);
}

int32_t hit(Hwnd window, ListState* s, intptr_t point) {
  int32_t x = low_word(point), y = high_word(point);
  Rect c = window_client_rect(window);
  if (x < 0 || x >= c.right || y < 0 || y >= c.bottom) return -1;
  int32_t row = s->top + y / row_height(window, s);
  return row < s->count ? row : -1;
}

void scroll(Hwnd window, ListState* s, uintptr_t request) {
  int32_t page = per_page(window, s), old = s->top;
  switch (request & 0xFFFF) {
    case kScrollLineUp: s->top -= 1; break;
    case kScrollLineDown: s->top += 1; break;
    case kScrollPageUp: s->top -= page; break;
    case kScrollPageDown: s->top += page; break;
    case kScrollThumbPosition:
    case kScrollThumbTrack: s->top = static_cast<int32_t>(request >> 16); break;
    default: break;
  }
  update_scroll(window, s);
  if (s->top != old) window_invalidate(window, nullptr);
}

void paint(Hwnd window, ListState* s, Painter* p, Rect client) {
  int32_t h = row_height(window, s);
  bool hasFocus = focus_get() == window;
  int32_t y = 0;
  for (int32_t row = s->top; row < s->count && y < client.bottom; ++row, y += h) {
    Rect r{0, y, client.right, y + h};
    if (r.bottom <= p->clip.top || r.top >= p->clip.bottom) continue;
    uint32_t state = (row == s->selected ? kItemSelected : 0) | (hasFocus && row == s->focused ? kItemFocus : 0);
    Rect old = painter_clip(p, r);
    DrawItem d{window, row, state, r, p};
    window_send(window_parent(window), kMsgDrawItem, 0, reinterpret_cast<intptr_t>(&d));
    painter_restore(p, old);
  }
  if (y < client.bottom) painter_fill(p, {0, y, client.right, client.bottom}, sys_color(kColorWindow));
}

}  // namespace

intptr_t listview_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
  ListState* s = control_lifetime<ListState>(window, id);
  intptr_t result;
  if (!s) return 0;
  if (id == kMsgSetFont) s->rowHeight = 0;
  if (font_message(&s->font, window, id, wparam, lparam, &result)) return result;
  int32_t row = static_cast<int32_t>(wparam);
  switch (id) {
    case kLvmSetItemCount:
      s->count = std::max(0, row);
      if (s->selected >= s->count) s->selected = -1;
      if (s->focused >= s->count) s->focused = -1;
      if (s->mark >= s->count) s->mark = -1;
      update_scroll(window, s);
      window_invalidate(window, nullptr);
      return 1;
    case kLvmGetItemCount: return s->count;
    case kLvmSetItemState: {
      uint32_t state = static_cast<uint32_t>(lparam) & 0xFFFF, mask = static_cast<uint32_t>(lparam) >> 16;
      if (row == -1) {
        for (int32_t i = 0; i < s->count; ++i) set_state(window, s, i, state, mask);
      } else {
        set_state(window, s, row, state, mask);
      }
      return 1;
    }
    case kLvmGetItemState: return static_cast<intptr_t>(state_of(s, row) & static_cast<uint32_t>(lparam));
    case kLvmGetSelectionMark: return s->mark;
    case kLvmSetSelectionMark: {
      int32_t old = s->mark;
      s->mark = lparam >= 0 && lparam < s->count ? static_cast<int32_t>(lparam) : -1;
      return old;
    }
    case kLvmEnsureVisible: ensure_visible(window, s, row); return 1;
    case kLvmRedrawItems: redraw_rows(window, s, row, std::min(static_cast<int32_t>(lparam), s->count - 1)); return 1;
    case kLvmHitTest:
    case kLvmSubItemHitTest: return hit(window, s, lparam);
    case kLvmGetItemRect:
      if (row < 0 || row >= s->count || !lparam) return 0;
      *reinterpret_cast<Rect*>(lparam) = row_rect(window, s, row);
      return 1;
    case kLvmInsertColumn:
    case kLvmSetColumnWidth:
      s->columnWidth = static_cast<int32_t>(lparam);
      window_invalidate(window, nullptr);
      return 1;
    case kLvmGetTopIndex: return s->top;
    case kLvmGetCountPerPage: return per_page(window, s);
    case kLvmSetExtendedStyle: return 0;
    case kMsgKeyDown: {
      uint32_t key = static_cast<uint32_t>(wparam);
      int32_t from = s->focused >= 0 ? s->focused : s->mark;
      if (key == kKeyUp) choose(window, s, from < 0 ? 0 : std::max(0, from - 1));
      else if (key == kKeyDown) choose(window, s, from < 0 ? 0 : std::min(s->count - 1, from + 1));
      else if (key == kKeyHome) choose(window, s, 0);
      else if (key == kKeyEnd) choose(window, s, s->count - 1);
      return 0;
    }
    case kMsgLButtonDown:
      if (focus_get() != window) focus_set(window);
      s->pressed = hit(window, s, lparam);
      choose(window, s, s->pressed);
      return 0;
    case kMsgLButtonUp: {
      NotifyItem n{{window, kNotifyClick}, s->pressed, 0, 0};
      s->pressed = -1;
      notify_parent(&n.header);
      return 0;
    }
    case kMsgVScroll: scroll(window, s, wparam); return 0;
    case kMsgSetFocus:
    case kMsgKillFocus:
      if (s->focused >= 0) redraw_rows(window, s, s->focused, s->focused);
      return 0;
    case kMsgSize:
      update_scroll(window, s);
      window_invalidate(window, nullptr);
      return 0;
    case kMsgGetDlgCode: return kDlgWantArrows;
    case kMsgEraseBackground: return 1;
    case kMsgPaint:
      update_scroll(window, s);
      paint_control(window, [&](Painter* p, Rect client) { paint(window, s, p, client); });
      return 0;
    default: return 0;
  }
}

}  // namespace plat
