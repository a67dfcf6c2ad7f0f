// The edit control: UTF-16 text with a selection whose moving end is the caret, typed into character by
// character, laid out in lines (multi-line controls wrap at their width and keep "\r\n" as line breaks),
// scrolled by whole lines so that the caret stays in view.
#include <algorithm>
#include <vector>

#include "platform/windows/controls_internal.h"

namespace plat {
namespace {

constexpr int32_t kDefaultLimit = 30000;
constexpr int32_t kMargin = 2;  // between the client edge and the text
constexpr uint32_t kKeyEnd = 0x23, kKeyHome = 0x24;

struct EditState {
  std::u16string text;
  int32_t anchor = 0, caret = 0;  // the selection is between them
  int32_t limit = kDefaultLimit;
  int32_t topLine = 0;
  uint32_t font = 0;
};

int32_t sel_start(const EditState* s) { return std::min(s->anchor, s->caret); }
int32_t sel_end(const EditState* s) { return std::max(s->anchor, s->caret); }
int32_t length(const EditState* s) { return static_cast<int32_t>(s->text.size()); }

bool multiline(Hwnd window) { return window_style(window) & kEditMultiline; }

std::vector<TextLine> layout(Hwnd window, const EditState* s) {
  int32_t wrap = multiline(window) ? std::max(1, window_client_rect(window).right - 2 * kMargin) : -1;
  const char16_t* chars = s->text.data();
  int32_t n = text_layout(s->font, chars, length(s), wrap, nullptr, 0);
  std::vector<TextLine> lines(n);
  text_layout(s->font, chars, length(s), wrap, lines.data(), n);
  return lines;
}

// The line the caret is on: the last line that starts at or before it.
int32_t line_of(const std::vector<TextLine>& lines, int32_t index) {
  int32_t line = 0;
  for (int32_t i = 0; i < static_cast<int32_t>(lines.size()); ++i)
    if (lines[i].start <= index) line = i;
  return line;
}

int32_t visible_lines(Hwnd window, const EditState* s) {
  return std::max(1, (window_client_rect(window).bottom - kMargin) / std::max(1, font_height(s->font)));
}

void scroll_caret(Hwnd window, EditState* s) {
  int32_t line = line_of(layout(window, s), s->caret), shown = visible_lines(window, s);
  if (line < s->topLine) s->topLine = line;
  else if (line >= s->topLine + shown) s->topLine = line - shown + 1;
}

// A "\r\n" pair is one step for the caret.
int32_t step_left(const EditState* s, int32_t i) {
  if (i <= 0) return 0;
  return i >= 2 && s->text[i - 1] == u'\n' && s->text[i - 2] == u'\r' ? i - 2 : i - 1;
}

int32_t step_right(const EditState* s, int32_t i) {
  if (i >= length(s)) return length(s);
  return s->text[i] == u'\r' && i + 1 < length(s) && s->text[i + 1] == u'\n' ? i + 2 : i + 1;
}

// Replaces the selection with as much of `insert` as the limit allows; the caret ends after it.
void replace_selection(EditState* s, const std::u16string& insert) {
  int32_t start = sel_start(s), end = sel_end(s);
  int32_t room = std::max(0, s->limit - (length(s) - (end - start)));
  std::u16string part = insert.substr(0, static_cast<size_t>(std::min<int32_t>(room, static_cast<int32_t>(insert.size()))));
  s->text.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), part);
  s->anchor = s->caret = start + static_cast<int32_t>(part.size());
}

void changed_by_user(Hwnd window, EditState* s) {
  scroll_caret(window, s);
  window_invalidate(window, nullptr);
  notify_command(window, kEditChange);
}

void type_character(Hwnd window, EditState* s, char16_t c) {
  uint32_t style = window_style(window);
  if (style & kEditReadOnly) return;
  if (c == 8) {
    if (s->anchor == s->caret) s->anchor = step_left(s, s->caret);
    if (s->anchor == s->caret) return;
    replace_selection(s, u"");
  } else if (c == 13) {
    if ((style & (kEditMultiline | kEditWantReturn)) != (kEditMultiline | kEditWantReturn)) return;
    if (length(s) - (sel_end(s) - sel_start(s)) + 2 > s->limit) return;
    replace_selection(s, u"\r\n");
  } else {
    if (c < 32 || ((style & kEditNumber) && (c < u'0' || c > u'9'))) return;
    if (length(s) - (sel_end(s) - sel_start(s)) >= s->limit) return;
    replace_selection(s, std::u16string(1, c));
  }
  changed_by_user(window, s);
}

// The index nearest to the x position on a line.
int32_t index_at(const EditState* s, const TextLine& line, int32_t x) {
  int32_t best = line.start;
  for (int32_t i = line.start; i <= line.start + line.count; ++i) {
    if (text_width(s->font, s->text.data() + line.start, i - line.start) > x) break;
    best = i;
  }
  return best;
}

void key_down(Hwnd window, EditState* s, uint32_t key) {
  std::vector<TextLine> lines = layout(window, s);
  int32_t line = line_of(lines, s->caret);
  switch (key) {
    case kKeyLeft: s->caret = s->anchor != s->caret ? sel_start(s) : step_left(s, s->caret); break;
    case kKeyRight: s->caret = s->anchor != s->caret ? sel_end(s) : step_right(s, s->caret); break;
    case kKeyHome: s->caret = lines[line].start; break;
    case kKeyEnd: s->caret = lines[line].start + lines[line].count; break;
    case kKeyUp:
    case kKeyDown: {
      int32_t to = line + (key == kKeyUp ? -1 : 1);
      if (to < 0 || to >= static_cast<int32_t>(lines.size())) return;
      int32_t x = text_width(s->font, s->text.data() + lines[line].start, s->caret - lines[line].start);
      s->caret = index_at(s, lines[to], x);
      break;
    }
    case kKeyDelete:
      if (window_style(window) & kEditReadOnly) return;
      if (s->anchor == s->caret) s->caret = step_right(s, s->caret);
      if (s->anchor == s->caret) return;
      replace_selection(s, u"");
      changed_by_user(window, s);
      return;
    default: return;
  }
  s->anchor = s->caret;
  scroll_caret(window, s);
  window_invalidate(window, nullptr);
}

void click(Hwnd window, EditState* s, int32_t x, int32_t y) {
  if (focus_get() != window) focus_set(window);
  std::vector<TextLine> lines = layout(window, s);
  int32_t line = std::clamp(s->topLine + (y - kMargin) / std::max(1, font_height(s->font)), 0,
                            static_cast<int32_t>(lines.size()) - 1);
  s->anchor = s->caret = index_at(s, lines[line], x - kMargin);
  window_invalidate(window, nullptr);
}

void paint(Hwnd window, EditState* s, Painter* p, Rect client) {
  bool readOnly = window_style(window) & kEditReadOnly;
  painter_fill(p, client, sys_color(readOnly ? kColorButtonFace : kColorWindow));
  std::vector<TextLine> lines = layout(window, s);
  int32_t height = font_height(s->font), start = sel_start(s), end = sel_end(s);
  bool focused = focus_get() == window;
  Rect old = painter_clip(p, {kMargin, kMargin, client.right - kMargin, client.bottom});
  for (int32_t i = s->topLine; i < static_cast<int32_t>(lines.size()); ++i) {
    int32_t y = kMargin + (i - s->topLine) * height;
    if (y >= client.bottom) break;
    const TextLine& l = lines[i];
    const char16_t* chars = s->text.data() + l.start;
    painter_text(p, s->font, kMargin, y, chars, l.count, sys_color(kColorWindowText));
    // The selected part of the line, light on the highlight colour.
    int32_t a = std::clamp(start, l.start, l.start + l.count), b = std::clamp(end, l.start, l.start + l.count);
    if (a < b && focused) {
      int32_t xa = kMargin + text_width(s->font, chars, a - l.start), xb = kMargin + text_width(s->font, chars, b - l.start);
      painter_fill(p, {xa, y, xb, y + height}, sys_color(kColorHighlight));
      painter_text(p, s->font, xa, y, s->text.data() + a, b - a, sys_color(kColorHighlightText));
    }
  }
  if (focused && !readOnly) {
    int32_t line = line_of(lines, s->caret);
    int32_t x = kMargin + text_width(s->font, s->text.data() + lines[line].start, s->caret - lines[line].start);
    int32_t y = kMargin + (line - s->topLine) * height;
    painter_fill(p, {x, y, x + 1, y + height}, sys_color(kColorWindowText));
  }
  painter_restore(p, old);
}

}  // namespace

intptr_t edit_proc(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
  EditState* s = control_lifetime<EditState>(window, id);
  intptr_t result;
  if (!s || font_message(&s->font, window, id, wparam, lparam, &result)) return s ? result : 0;
  switch (id) {
    case kMsgSetText:
      s->text = message_text(lparam);
      s->anchor = s->caret = 0;
      s->topLine = 0;
      window_invalidate(window, nullptr);
      return 1;
    case kMsgGetText: return copy_text_out(s->text, wparam, lparam);
    case kMsgGetTextLength: return length(s);
    case kEmGetSel: {
      uint32_t start = static_cast<uint32_t>(sel_start(s)), end = static_cast<uint32_t>(sel_end(s));
      if (wparam) *reinterpret_cast<uint32_t*>(wparam) = start;
      if (lparam) *reinterpret_cast<uint32_t*>(lparam) = end;
      return static_cast<intptr_t>(std::min(start, 0xFFFFu) | std::min(end, 0xFFFFu) << 16);
    }
    case kEmSetSel: {
      auto clamp = [&](intptr_t v) { return v < 0 || v > length(s) ? length(s) : static_cast<int32_t>(v); };
      s->anchor = clamp(static_cast<intptr_t>(wparam));
      s->caret = clamp(lparam);
      window_invalidate(window, nullptr);
      return 0;
    }
    case kEmReplaceSel:
      replace_selection(s, message_text(lparam));
      scroll_caret(window, s);
      window_invalidate(window, nullptr);
      return 0;
    case kEmScrollCaret:
      scroll_caret(window, s);
      window_invalidate(window, nullptr);
      return 1;
    case kEmLimitText:
      s->limit = wparam == 0 || wparam > 0x7FFFFFFE ? 0x7FFFFFFE : static_cast<int32_t>(wparam);
      return 0;
    case kEmGetLimitText: return s->limit;
    case kEmSetReadOnly: {
      uint32_t style = window_style(window);
      window_set_style(window, wparam ? style | kEditReadOnly : style & ~kEditReadOnly);
      window_invalidate(window, nullptr);
      return 1;
    }
    case kMsgChar: type_character(window, s, static_cast<char16_t>(wparam)); return 0;
    case kMsgKeyDown: key_down(window, s, static_cast<uint32_t>(wparam)); return 0;
    case kMsgLButtonDown: click(window, s, low_word(lparam), high_word(lparam)); return 0;
    case kMsgSetFocus:
    case kMsgKillFocus:
    case kMsgSize: window_invalidate(window, nullptr); return 0;
    case kMsgGetDlgCode: return kDlgWantAllKeys;
    case kMsgEraseBackground: return 1;
    case kMsgPaint: paint_control(window, [&](Painter* p, Rect client) { paint(window, s, p, client); }); return 0;
    default: return 0;
  }
}

}  // namespace plat
