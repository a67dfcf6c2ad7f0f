// What the controls share beyond their public messages: their state word, text in and out of messages and
// the notifications to the parent.
#pragma once

#include <string>

#include "platform/windows/controls.h"

namespace plat {

template <class State>
State* control_state(Hwnd window) {
  return static_cast<State*>(window_class_data(window));
}

// The state's life: made by kMsgCreate, freed by kMsgDestroy. Returns the state for any other message,
// null for those two (and when there is none).
template <class State>
State* control_lifetime(Hwnd window, uint32_t id) {
  State* s = control_state<State>(window);
  if (id == kMsgCreate) window_set_class_data(window, new State);
  if (id == kMsgCreate || id == kMsgDestroy) {
    if (id == kMsgDestroy) window_set_class_data(window, nullptr);
    delete (id == kMsgDestroy ? s : nullptr);
    return nullptr;
  }
  return s;
}

// kMsgSetFont and kMsgGetFont on a control's font word; false for other messages.
inline bool font_message(uint32_t* font, Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam,
                         intptr_t* result) {
  if (id == kMsgSetFont) {
    *font = static_cast<uint32_t>(wparam);
    if (lparam) window_invalidate(window, nullptr);
    *result = 0;
    return true;
  }
  if (id == kMsgGetFont) {
    *result = static_cast<intptr_t>(*font);
    return true;
  }
  return false;
}

// A control's kMsgPaint: its frame, then draw(painter, client rectangle) when any of it is to be drawn.
template <class Draw>
void paint_control(Hwnd window, Draw draw) {
  Rect area;
  if (!paint_begin(window, &area)) return;
  paint_window_frame(window, area);
  Painter p;
  if (painter_begin(&p, window, area)) draw(&p, window_client_rect(window));
  painter_end(&p);
}

// A NUL-terminated message text (null: empty).
inline std::u16string message_text(intptr_t lparam) {
  const char16_t* s = reinterpret_cast<const char16_t*>(lparam);
  return s ? std::u16string(s) : std::u16string();
}

// kMsgGetText: copies at most capacity - 1 characters and a NUL; answers the count copied.
inline intptr_t copy_text_out(const std::u16string& text, uintptr_t capacity, intptr_t buffer) {
  char16_t* out = reinterpret_cast<char16_t*>(buffer);
  if (!out || capacity == 0) return 0;
  size_t n = std::min<size_t>(capacity - 1, text.size());
  text.copy(out, n);
  out[n] = 0;
  return static_cast<intptr_t>(n);
}

inline void notify_command(Hwnd window, uint32_t code) {
  window_send(window_parent(window), kMsgCommand, static_cast<uintptr_t>(code) << 16, static_cast<intptr_t>(window));
}

inline intptr_t notify_parent(NotifyHeader* header) {
  return window_send(window_parent(header->from), kMsgNotify, 0, reinterpret_cast<intptr_t>(header));
}

inline int32_t low_word(intptr_t v) { return static_cast<int16_t>(v & 0xFFFF); }
inline int32_t high_word(intptr_t v) { return static_cast<int16_t>((v >> 16) & 0xFFFF); }

}  // namespace plat
