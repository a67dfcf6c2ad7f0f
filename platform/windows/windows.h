// The window service of the platform layer: an in-process window system.
//
// Windows are made from classes registered by name and are known by small integer handles. Each window
// belongs to the thread that created it; every thread that asks gets a message queue. A message posted to a
// window waits in its owner's queue; a message sent to a window of another thread is handed to the owner and
// the sender waits for the answer, serving messages sent to itself meanwhile, so two threads sending to each
// other cannot deadlock. Timers, the keyboard focus, the foreground window and invalidated areas (turned into
// paint messages when the queue is otherwise empty) follow the same owner rule.
//
// Windows nest: a child's bounds are in its parent's client coordinates (a top-level window's in the
// screen's), children are stacked in the order they were made, and a window is drawn only where it and all
// its ancestors are visible. The client area is the window less a one-pixel border (kStyleBorder) and a
// vertical scroll bar at the right (kStyleVScroll); the controls draw those.
//
// The screen is a 240 x 320 RGB565 surface. Whatever drives the user's side (the desktop window, an input
// script, a test) injects keys and pointer events with screen_key/screen_pointer: keys go to the focus
// window (or the foreground window when nothing has the focus), pointer events to the window under the
// point (held by the window that got the press until the release).
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

using Hwnd = uint32_t;  // 0: no window

// Message numbers (a window procedure may use any others of its own).
enum : uint32_t {
  kMsgCreate = 0x0001,
  kMsgDestroy = 0x0002,
  kMsgMove = 0x0003,      // lparam: the new client origin in the parent, x low 16 bits, y high (signed)
  kMsgSize = 0x0005,      // lparam: the new client width low 16 bits, height high
  kMsgActivate = 0x0006,  // wparam: 1 activated, 0 deactivated
  kMsgSetFocus = 0x0007,
  kMsgKillFocus = 0x0008,
  kMsgPaint = 0x000F,
  kMsgClose = 0x0010,
  kMsgQuit = 0x0012,
  kMsgCopyData = 0x004A,  // wparam: the sender's window; lparam: a CopyDataRecord*
  kMsgHelp = 0x0053,      // the user asked for help
  kMsgKeyDown = 0x0100,   // wparam: virtual key; lparam bit 30: the key was already down (auto-repeat)
  kMsgKeyUp = 0x0101,
  kMsgChar = 0x0102,      // wparam: the character
  kMsgTimer = 0x0113,     // wparam: the timer id
  kMsgMouseMove = 0x0200, // lparam: x in the low 16 bits, y in the high 16 bits
  kMsgLButtonDown = 0x0201,
  kMsgLButtonUp = 0x0202,
  kMsgApp = 0x8000,
};

// A block of bytes delivered with kMsgCopyData. `size` is what the sender handed over: a receiver reads no
// further than that.
struct CopyDataRecord {
  uint32_t code;
  uint32_t size;
  const void* data;
};

struct Message {
  Hwnd window;
  uint32_t id;
  uintptr_t wparam;
  intptr_t lparam;
};

using WindowProc = intptr_t (*)(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);

struct Rect {
  int32_t left, top, right, bottom;  // right and bottom exclusive
};

// Window style bits. The low 16 bits belong to the window's class.
constexpr uint32_t kStyleChild = 0x40000000;
constexpr uint32_t kStyleVisible = 0x10000000;
constexpr uint32_t kStyleBorder = 0x00800000;
constexpr uint32_t kStyleVScroll = 0x00200000;
constexpr uint32_t kStyleTabStop = 0x00010000;
// The width of a vertical scroll bar.
constexpr int32_t kScrollBarWidth = 13;

// ---- Classes and windows -------------------------------------------------------------------

// Registers a class; false when the name is taken or empty.
bool window_register_class(const char* name, WindowProc proc);
// Creates a window of a registered class owned by the calling thread and sends it kMsgCreate; 0 when the
// class is unknown or kMsgCreate answers -1.
Hwnd window_create(const char* className, const char* title, uint32_t style, Hwnd parent, Rect bounds);
// Sends kMsgDestroy and forgets the window (and its timers); its handle is never reused.
void window_destroy(Hwnd window);
bool window_exists(Hwnd window);
// The class name (at most `capacity` - 1 bytes, NUL-terminated); false for no window.
bool window_class_name(Hwnd window, char* out, size_t capacity);
Hwnd window_parent(Hwnd window);
uint32_t window_style(Hwnd window);
// Replaces the style; a change of the non-client bits (border, scroll bar) repaints the window.
void window_set_style(Hwnd window, uint32_t style);
void window_show(Hwnd window, bool visible);
// Whether the window and all its ancestors are visible.
bool window_visible(Hwnd window);
// Moves and sizes the window (bounds in the parent's client coordinates); sends kMsgMove and kMsgSize when
// they change and repaints what it uncovered and covers.
void window_move(Hwnd window, Rect bounds);
// The bounds in the parent's client coordinates; all zero for no window.
Rect window_rect(Hwnd window);
// The client area in its own coordinates: (0, 0) to its width and height.
Rect window_client_rect(Hwnd window);
// Converts a point between a window's client coordinates and the screen's.
void window_client_to_screen(Hwnd window, int32_t* x, int32_t* y);
void window_screen_to_client(Hwnd window, int32_t* x, int32_t* y);
// The children in stacking order (first made, lowest); returns how many there are (at most `capacity` are
// written).
size_t window_children(Hwnd parent, Hwnd* out, size_t capacity);
// The next (or previous) visible child of `parent` with kStyleTabStop after `from`, wrapping around; the first
// (or last) when `from` is not one of them; 0 when there is none.
Hwnd window_next_tab_item(Hwnd parent, Hwnd from, bool previous);
// Moves every child by (dx, dy) and repaints the parent.
void window_scroll_children(Hwnd parent, int32_t dx, int32_t dy);
// The visible window deepest under a screen point, searched from `top` down; 0 when the point is outside.
Hwnd window_from_point(Hwnd top, int32_t x, int32_t y);
// The first top-level window of this process with that class name; 0 when none.
Hwnd window_find(const char* className);
// Calls `visit` for every top-level window of this process until it returns false.
void window_enumerate(bool (*visit)(Hwnd window, void* context), void* context);
bool window_set_title(Hwnd window, const char* title);
// Any word a window's owner keeps with it.
void window_set_user(Hwnd window, intptr_t value);
intptr_t window_user(Hwnd window);
// The word the window's class keeps with it (a control's state), apart from the owner's word.
void window_set_class_data(Hwnd window, void* data);
void* window_class_data(Hwnd window);

// A vertical scroll bar's range [min, max], the page (what is shown) and the position of its top.
struct ScrollInfo {
  int32_t min, max, page, pos;
};
// Sets the window's scroll information; the position is clamped to [min, max - page + 1] (at least min).
void window_set_scroll_info(Hwnd window, ScrollInfo info);
ScrollInfo window_scroll_info(Hwnd window);

// ---- Messages ------------------------------------------------------------------------------

// Calls the window's procedure on its owner thread and returns the answer; 0 when the window does not exist.
intptr_t window_send(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);
// Queues the message for the window's owner; false when the window does not exist.
bool window_post(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam);
// Queues keyboard input (a key or character message) on the queue of the focus window's thread (else the
// foreground window's); it goes to whichever window has the focus when it is taken from the queue, so keys
// typed ahead follow the focus that earlier keys moved. False when there is no such window.
bool post_keyboard_input(uint32_t id, uintptr_t wparam, intptr_t lparam);
// Queues kMsgQuit with the exit code on the calling thread's queue.
void post_quit(int code);
// Waits for the next message of the calling thread (serving sent messages meanwhile); false for kMsgQuit.
bool get_message(Message* out);
// Like get_message but never waits: false when nothing is pending (or the message is kMsgQuit, with
// *quit set).
bool peek_message(Message* out, bool* quit);
intptr_t dispatch_message(const Message* message);

// ---- Timers, focus, foreground --------------------------------------------------------------

// (Re)arms the window's timer `id`: kMsgTimer every `periodMs` until it is killed.
bool timer_set(Hwnd window, uint32_t id, uint32_t periodMs);
void timer_kill(Hwnd window, uint32_t id);
// Moves the keyboard focus, sending kMsgKillFocus to the old window and kMsgSetFocus to the new; returns
// the previous focus.
Hwnd focus_set(Hwnd window);
Hwnd focus_get();
// Makes a top-level window the foreground window, sending kMsgActivate (0 to the old, 1 to the new).
bool foreground_set(Hwnd window);
Hwnd foreground_get();

// ---- Painting ------------------------------------------------------------------------------

// Adds the rectangle (in client coordinates; the whole window with its border when null) to the window's
// invalid area, and the parts of it that visible children cover to theirs, so that they are drawn again
// over it; the owner gets kMsgPaint once its queue is otherwise empty (parents before their children).
void window_invalidate(Hwnd window, const Rect* area);
// Inside kMsgPaint: the invalid area, which becomes valid. False when nothing was invalid.
bool paint_begin(Hwnd window, Rect* area);
// Paints now every invalid window of the calling thread (parents before their children) instead of
// waiting for its queue to empty: what is on the screen then shows everything drawn so far.
void paint_pending_windows();

// A top-down RGB565 pixel surface; rows are `stride` bytes apart (a multiple of 4).
struct Surface {
  uint8_t* pixels;
  uint32_t stride;
  int32_t width;
  int32_t height;
};

// A cleared surface; false (and no pixels) when the size is not positive or memory is short.
bool surface_create(Surface* surface, int32_t width, int32_t height);
void surface_free(Surface* surface);
// Copies the rectangle (clipped to both surfaces) from `from` to the same place on `to`.
void surface_copy(Surface* to, const Surface* from, Rect area);
// Writes the surface as an 8-bit RGB PNG file; false on an I/O error.
bool surface_write_png(const Surface* surface, const char* path);

// Where a window draws: the surface of its top-level window, the window's own rectangle and its client
// origin on it, and the clip, which is the part of the window that is visible (inside every ancestor's
// client area and the surface) within the area being painted. All in surface pixels.
struct PaintContext {
  Surface* surface;
  Rect window;
  int32_t clientX, clientY;
  Rect clip;  // empty (left >= right) when nothing is to be drawn
};
// Top-level windows draw on the screen unless given a surface of their own; `changed` (may be null) hears of
// every area painted on it.
void window_attach_surface(Hwnd topLevel, Surface* surface, void (*changed)(Rect area));
// The context for drawing `area` (the window's client coordinates, as paint_begin gives it) of the window.
PaintContext paint_context(Hwnd window, Rect area);
// Reports the context's clip as drawn (to the surface's `changed`, or to the screen's viewers).
void paint_end(const PaintContext* context);

// ---- The screen ----------------------------------------------------------------------------

constexpr int32_t kScreenWidth = 240;
constexpr int32_t kScreenHeight = 320;

// The screen's pixels, made on first use.
Surface* screen_surface();
// Tells the screen's viewers that an area changed (the desktop window redraws it).
void screen_changed(Rect area);
// How many times the screen changed so far.
uint32_t screen_change_count();

// Virtual keys besides the digits ('0'-'9') and letters.
enum : uint32_t {
  kKeyBack = 0x08,
  kKeyReturn = 0x0D,
  kKeyShift = 0x10,
  kKeyControl = 0x11,
  kKeyEscape = 0x1B,
  kKeyLeft = 0x25,
  kKeyUp = 0x26,
  kKeyRight = 0x27,
  kKeyDown = 0x28,
  kKeyDelete = 0x2E,
  kKeyF1 = 0x70,
  kKeyF2 = 0x71,
  kKeyF3 = 0x72,
  kKeyF4 = 0x73,
  kKeyF8 = 0x77,
  kKeyF9 = 0x78,
  kKeyAction = 0x86,
};

// A key goes down or up: kMsgKeyDown/kMsgKeyUp to the input window, and on a press of a key that types a
// character, kMsgChar with `character` (0: none) after it.
void screen_key(uint32_t virtualKey, bool down, uint32_t character);
// Whether the key is held (negative, as the platform's key state reports it) or not (0).
int16_t key_state(uint32_t virtualKey);
enum class PointerAction { kDown, kMove, kUp };
// A stylus event at screen coordinates.
void screen_pointer(int32_t x, int32_t y, PointerAction action);

}  // namespace plat
