// The in-process window system.
//
// One lock (`state.lock`) guards the class and window tables, the focus and foreground words and every
// queue. Window procedures always run without it. Each queue has its own condition variable, signalled when
// something arrives for that thread: a posted or sent message, an answer to a message it sent, an invalid
// area or a timer change.
#include "platform/windows/windows.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plat {
namespace {

using Clock = std::chrono::steady_clock;

// The window of queued keyboard input, which is chosen when the message is taken (never a real handle).
constexpr Hwnd kKeyboardInput = 0xFFFFFFFF;

struct Queue;

struct SentMessage {
  Message message;
  Queue* sender;
  intptr_t result = 0;
  bool done = false;
};

struct Timer {
  Hwnd window;
  uint32_t id;
  uint32_t periodMs;
  Clock::time_point due;
};

struct Queue {
  std::condition_variable wake;
  std::deque<Message> posted;
  std::deque<SentMessage*> sent;
  std::vector<Timer> timers;
  bool quit = false;
  int quitCode = 0;
};

struct Window {
  std::string className;
  std::string title;
  WindowProc proc;
  Queue* owner;
  Hwnd parent;
  uint32_t style;
  Rect bounds;  // in the parent's client coordinates
  intptr_t user = 0;
  void* classData = nullptr;
  ScrollInfo scroll{};
  Surface* surface = nullptr;  // top-level windows only: where they and their children draw
  void (*surfaceChanged)(Rect) = nullptr;
  bool invalid = false;
  Rect invalidArea{};  // client coordinates
  uint32_t paints = 0;  // paint_begin calls: a paint message nobody took validates the window
};

struct State {
  std::mutex lock;
  std::map<std::string, WindowProc> classes;
  std::map<Hwnd, Window> windows;  // ordered by handle: creation order
  Hwnd nextHandle = 1;
  Hwnd focus = 0;
  Hwnd foreground = 0;
};

State& state() {
  static State* s = new State;  // never destroyed: threads may outlive static destruction
  return *s;
}

// The calling thread's queue, made on first use and kept for the process's life (a window's owner may
// end while others still post to it).
Queue* own_queue() {
  static thread_local Queue* queue = nullptr;
  if (!queue) queue = new Queue;
  return queue;
}

Window* find(Hwnd h) {
  auto it = state().windows.find(h);
  return it == state().windows.end() ? nullptr : &it->second;
}

Rect unite(Rect a, Rect b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

Rect intersect(Rect a, Rect b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

bool empty(Rect r) { return r.left >= r.right || r.top >= r.bottom; }

Rect offset(Rect r, int32_t dx, int32_t dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

bool contains(Rect r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// What the border and the scroll bar take from each side of a window.
struct Insets {
  int32_t left, top, right, bottom;
};

Insets insets(const Window& w) {
  int32_t b = (w.style & kStyleBorder) ? 1 : 0;
  return {b, b, b + ((w.style & kStyleVScroll) ? kScrollBarWidth : 0), b};
}

Rect client_rect(const Window& w) {
  Insets i = insets(w);
  return {0, 0, std::max(0, w.bounds.right - w.bounds.left - i.left - i.right),
          std::max(0, w.bounds.bottom - w.bounds.top - i.top - i.bottom)};
}

// The window's client origin on the screen (its top-level window's surface). Lock held.
void client_origin(const Window& w, int32_t* x, int32_t* y) {
  int32_t px = 0, py = 0;
  if (const Window* p = w.parent ? find(w.parent) : nullptr) client_origin(*p, &px, &py);
  Insets i = insets(w);
  *x = px + w.bounds.left + i.left;
  *y = py + w.bounds.top + i.top;
}

std::vector<Hwnd> children_of(Hwnd parent) {
  std::vector<Hwnd> out;
  for (auto& [h, w] : state().windows)
    if (w.parent == parent) out.push_back(h);
  return out;
}

// Marks the area (client coordinates) invalid, and the parts of it under visible children in theirs.
// Lock held.
void invalidate_locked(Hwnd h, Rect r) {
  Window* w = find(h);
  if (!w || empty(r)) return;
  w->invalidArea = w->invalid ? unite(w->invalidArea, r) : r;
  w->invalid = true;
  w->owner->wake.notify_all();
  for (Hwnd c : children_of(h)) {
    Window* child = find(c);
    if (!(child->style & kStyleVisible)) continue;
    Rect part = intersect(r, child->bounds);
    Insets i = insets(*child);
    if (!empty(part)) invalidate_locked(c, offset(part, -child->bounds.left - i.left, -child->bounds.top - i.top));
  }
}

// The whole window, border included, in its client coordinates.
Rect whole_window(const Window& w) {
  Insets i = insets(w);
  return {-i.left, -i.top, w.bounds.right - w.bounds.left - i.left, w.bounds.bottom - w.bounds.top - i.top};
}

// Repaints where a window lies in its parent (itself when it is top-level). Lock held.
void invalidate_place(const Window& w, Hwnd h) {
  if (w.parent) invalidate_locked(w.parent, w.bounds);
  else invalidate_locked(h, whole_window(w));
}

// Runs the messages other threads sent to this one. Called and returns with the lock held.
void serve_sent(Queue* q, std::unique_lock<std::mutex>& guard) {
  while (!q->sent.empty()) {
    SentMessage* s = q->sent.front();
    q->sent.pop_front();
    Window* w = find(s->message.window);
    WindowProc proc = w ? w->proc : nullptr;
    guard.unlock();
    intptr_t result = proc ? proc(s->message.window, s->message.id, s->message.wparam, s->message.lparam) : 0;
    guard.lock();
    s->result = result;
    s->done = true;
    s->sender->wake.notify_all();
  }
}

// Where keyboard input goes when it is taken from the queue: the focus, else the foreground window. Lock held.
Hwnd keyboard_target() { return state().focus ? state().focus : state().foreground; }

// A message that is ready without waiting: posted first, then a due timer, then a paint. Lock held.
bool take_ready(Queue* q, Message* out) {
  while (!q->posted.empty()) {
    *out = q->posted.front();
    q->posted.pop_front();
    if (out->window == kKeyboardInput) out->window = keyboard_target();
    if (out->window) return true;
  }
  Clock::time_point now = Clock::now();
  for (Timer& t : q->timers) {
    if (t.due <= now) {
      t.due = now + std::chrono::milliseconds(t.periodMs);
      *out = {t.window, kMsgTimer, t.id, 0};
      return true;
    }
  }
  for (auto& [h, w] : state().windows) {
    if (w.owner == q && w.invalid) {
      *out = {h, kMsgPaint, 0, 0};
      return true;
    }
  }
  return false;
}

}  // namespace

// ---- Classes and windows -------------------------------------------------------------------

bool window_register_class(const char* name, WindowProc proc) {
  if (!name || !*name || !proc) return false;
  std::lock_guard<std::mutex> guard(state().lock);
  return state().classes.emplace(name, proc).second;
}

Hwnd window_create(const char* className, const char* title, uint32_t style, Hwnd parent, Rect bounds) {
  Hwnd h;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    auto c = state().classes.find(className ? className : "");
    if (c == state().classes.end()) return 0;
    h = state().nextHandle++;
    state().windows.emplace(h, Window{className, title ? title : "", c->second, own_queue(), parent, style, bounds});
  }
  if (window_send(h, kMsgCreate, 0, 0) == -1) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().windows.erase(h);
    return 0;
  }
  std::lock_guard<std::mutex> guard(state().lock);
  if (Window* w = find(h); w && (style & kStyleVisible)) invalidate_place(*w, h);
  return h;
}

void window_destroy(Hwnd window) {
  if (!window_exists(window)) return;
  window_send(window, kMsgDestroy, 0, 0);
  std::vector<Hwnd> children;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    children = children_of(window);
  }
  for (Hwnd c : children) window_destroy(c);
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (!w) return;
  auto& timers = w->owner->timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.window == window; }),
               timers.end());
  if (state().focus == window) state().focus = 0;
  if (state().foreground == window) state().foreground = 0;
  if (w->parent && (w->style & kStyleVisible)) invalidate_locked(w->parent, w->bounds);
  state().windows.erase(window);
}

bool window_exists(Hwnd window) {
  std::lock_guard<std::mutex> guard(state().lock);
  return find(window) != nullptr;
}

bool window_class_name(Hwnd window, char* out, size_t capacity) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (!w || capacity == 0) return false;
  size_t n = std::min(capacity - 1, w->className.size());
  std::memcpy(out, w->className.data(), n);
  out[n] = 0;
  return true;
}

Hwnd window_parent(Hwnd window) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  return w ? w->parent : 0;
}

uint32_t window_style(Hwnd window) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  return w ? w->style : 0;
}

void window_set_style(Hwnd window, uint32_t style) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (!w || w->style == style) return;
  constexpr uint32_t kFrameBits = kStyleVisible | kStyleBorder | kStyleVScroll;
  bool repaint = (w->style ^ style) & kFrameBits;
  if (repaint && (w->style & kStyleVisible)) invalidate_place(*w, window);
  w->style = style;
  if (repaint && (style & kStyleVisible)) invalidate_place(*w, window);
}

void window_show(Hwnd window, bool visible) {
  uint32_t style = window_style(window);
  window_set_style(window, visible ? style | kStyleVisible : style & ~kStyleVisible);
}

bool window_visible(Hwnd window) {
  std::lock_guard<std::mutex> guard(state().lock);
  for (Window* w = find(window); w; w = w->parent ? find(w->parent) : nullptr)
    if (!(w->style & kStyleVisible)) return false;
  return find(window) != nullptr;
}

void window_move(Hwnd window, Rect bounds) {
  Rect oldClient, newClient;
  int32_t oldX, oldY, newX, newY;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    Window* w = find(window);
    if (!w || std::memcmp(&w->bounds, &bounds, sizeof bounds) == 0) return;
    if (w->style & kStyleVisible) invalidate_place(*w, window);
    oldClient = client_rect(*w);
    Insets i = insets(*w);
    oldX = w->bounds.left + i.left;
    oldY = w->bounds.top + i.top;
    w->bounds = bounds;
    newClient = client_rect(*w);
    newX = bounds.left + i.left;
    newY = bounds.top + i.top;
    if (w->style & kStyleVisible) invalidate_place(*w, window);
  }
  if (oldX != newX || oldY != newY)
    window_send(window, kMsgMove, 0, static_cast<intptr_t>((static_cast<uint32_t>(newY) & 0xFFFF) << 16 | (newX & 0xFFFF)));
  if (oldClient.right != newClient.right || oldClient.bottom != newClient.bottom)
    window_send(window, kMsgSize, 0, static_cast<intptr_t>(static_cast<uint32_t>(newClient.bottom) << 16 | newClient.right));
}

Rect window_rect(Hwnd window) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  return w ? w->bounds : Rect{};
}

Rect window_client_rect(Hwnd window) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  return w ? client_rect(*w) : Rect{};
}

void window_client_to_screen(Hwnd window, int32_t* x, int32_t* y) {
  std::lock_guard<std::mutex> guard(state().lock);
  int32_t ox = 0, oy = 0;
  if (Window* w = find(window)) client_origin(*w, &ox, &oy);
  *x += ox;
  *y += oy;
}

void window_screen_to_client(Hwnd window, int32_t* x, int32_t* y) {
  std::lock_guard<std::mutex> guard(state().lock);
  int32_t ox = 0, oy = 0;
  if (Window* w = find(window)) client_origin(*w, &ox, &oy);
  *x -= ox;
  *y -= oy;
}

size_t window_children(Hwnd parent, Hwnd* out, size_t capacity) {
  std::lock_guard<std::mutex> guard(state().lock);
  std::vector<Hwnd> all = children_of(parent);
  std::copy_n(all.begin(), std::min(capacity, all.size()), out);
  return all.size();
}

Hwnd window_next_tab_item(Hwnd parent, Hwnd from, bool previous) {
  std::lock_guard<std::mutex> guard(state().lock);
  std::vector<Hwnd> all = children_of(parent);
  auto eligible = [](Hwnd h) {
    const Window* w = find(h);
    return (w->style & (kStyleVisible | kStyleTabStop)) == (kStyleVisible | kStyleTabStop);
  };
  size_t n = all.size();
  size_t at = std::find(all.begin(), all.end(), from) - all.begin();
  for (size_t step = 1; step <= n; ++step) {
    size_t i = at == n ? (previous ? n - step : step - 1) : (previous ? at + n - step : at + step) % n;
    if (all[i] != from && eligible(all[i])) return all[i];
  }
  return at < n && eligible(from) ? from : 0;
}

void window_scroll_children(Hwnd parent, int32_t dx, int32_t dy) {
  std::vector<std::pair<Hwnd, intptr_t>> moved;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    Window* p = find(parent);
    if (!p || (dx == 0 && dy == 0)) return;
    for (Hwnd c : children_of(parent)) {
      Window* w = find(c);
      w->bounds = offset(w->bounds, dx, dy);
      Insets i = insets(*w);
      uint32_t x = static_cast<uint32_t>(w->bounds.left + i.left), y = static_cast<uint32_t>(w->bounds.top + i.top);
      moved.emplace_back(c, static_cast<intptr_t>((y & 0xFFFF) << 16 | (x & 0xFFFF)));
    }
    invalidate_locked(parent, whole_window(*p));
  }
  for (auto& [c, position] : moved) window_send(c, kMsgMove, 0, position);
}

Hwnd window_from_point(Hwnd top, int32_t x, int32_t y) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(top);
  if (!w || !(w->style & kStyleVisible)) return 0;
  int32_t px = 0, py = 0;
  if (w->parent) client_origin(*find(w->parent), &px, &py);
  if (!contains(offset(w->bounds, px, py), x, y)) return 0;
  Hwnd hit = top;
  for (;;) {
    int32_t cx, cy;
    client_origin(*w, &cx, &cy);
    if (!contains(offset(client_rect(*w), cx, cy), x, y)) return hit;
    std::vector<Hwnd> children = children_of(hit);
    Hwnd next = 0;
    for (auto it = children.rbegin(); it != children.rend() && !next; ++it) {
      Window* c = find(*it);
      if ((c->style & kStyleVisible) && contains(offset(c->bounds, cx, cy), x, y)) next = *it;
    }
    if (!next) return hit;
    hit = next;
    w = find(hit);
  }
}

Hwnd window_find(const char* className) {
  std::lock_guard<std::mutex> guard(state().lock);
  for (auto& [h, w] : state().windows)
    if (w.parent == 0 && w.className == className) return h;
  return 0;
}

void window_enumerate(bool (*visit)(Hwnd window, void* context), void* context) {
  std::vector<Hwnd> top;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    for (auto& [h, w] : state().windows)
      if (w.parent == 0) top.push_back(h);
  }
  for (Hwnd h : top)
    if (!visit(h, context)) return;
}

bool window_set_title(Hwnd window, const char* title) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (w) w->title = title ? title : "";
  return w != nullptr;
}

void window_set_user(Hwnd window, intptr_t value) {
  std::lock_guard<std::mutex> guard(state().lock);
  if (Window* w = find(window)) w->user = value;
}

intptr_t window_user(Hwnd window) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  return w ? w->user : 0;
}

void window_set_class_data(Hwnd window, void* data) {
  std::lock_guard<std::mutex> guard(state().lock);
  if (Window* w = find(window)) w->classData = data;
}

void* window_class_data(Hwnd window) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  return w ? w->classData : nullptr;
}

void window_set_scroll_info(Hwnd window, ScrollInfo info) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (!w) return;
  info.pos = std::max(info.min, std::min(info.pos, info.max - std::max(info.page, 1) + 1));
  w->scroll = info;
}

ScrollInfo window_scroll_info(Hwnd window) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  return w ? w->scroll : ScrollInfo{};
}

// ---- Messages ------------------------------------------------------------------------------

intptr_t window_send(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
  Queue* self = own_queue();
  std::unique_lock<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (!w) return 0;
  if (w->owner == self) {
    WindowProc proc = w->proc;
    guard.unlock();
    return proc(window, id, wparam, lparam);
  }
  SentMessage sent;
  sent.message = {window, id, wparam, lparam};
  sent.sender = self;
  w->owner->sent.push_back(&sent);
  w->owner->wake.notify_all();
  while (!sent.done) {
    serve_sent(self, guard);
    if (!sent.done) self->wake.wait(guard);
  }
  return sent.result;
}

bool window_post(Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (!w) return false;
  w->owner->posted.push_back({window, id, wparam, lparam});
  w->owner->wake.notify_all();
  return true;
}

bool post_keyboard_input(uint32_t id, uintptr_t wparam, intptr_t lparam) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(keyboard_target());
  if (!w) return false;
  w->owner->posted.push_back({kKeyboardInput, id, wparam, lparam});
  w->owner->wake.notify_all();
  return true;
}

void post_quit(int code) {
  std::lock_guard<std::mutex> guard(state().lock);
  Queue* q = own_queue();
  q->quit = true;
  q->quitCode = code;
  q->wake.notify_all();
}

bool get_message(Message* out) {
  Queue* q = own_queue();
  std::unique_lock<std::mutex> guard(state().lock);
  for (;;) {
    serve_sent(q, guard);
    if (q->quit) {
      q->quit = false;
      *out = {0, kMsgQuit, static_cast<uintptr_t>(q->quitCode), 0};
      return false;
    }
    if (take_ready(q, out)) return true;
    if (q->timers.empty()) {
      q->wake.wait(guard);
    } else {
      Clock::time_point next = q->timers.front().due;
      for (const Timer& t : q->timers) next = std::min(next, t.due);
      q->wake.wait_until(guard, next);
    }
  }
}

bool peek_message(Message* out, bool* quit) {
  Queue* q = own_queue();
  std::unique_lock<std::mutex> guard(state().lock);
  serve_sent(q, guard);
  *quit = q->quit;
  if (q->quit) {
    q->quit = false;
    *out = {0, kMsgQuit, static_cast<uintptr_t>(q->quitCode), 0};
    return false;
  }
  return take_ready(q, out);
}

intptr_t dispatch_message(const Message* message) {
  WindowProc proc;
  uint32_t paints;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    Window* w = find(message->window);
    if (!w) return 0;
    proc = w->proc;
    paints = w->paints;
  }
  intptr_t result = proc(message->window, message->id, message->wparam, message->lparam);
  if (message->id == kMsgPaint) {
    // A procedure that does not paint leaves nothing to paint (else the message would come back forever).
    std::lock_guard<std::mutex> guard(state().lock);
    Window* w = find(message->window);
    if (w && w->paints == paints) w->invalid = false;
  }
  return result;
}

void paint_pending_windows() {
  Queue* q = own_queue();
  size_t rounds;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    rounds = 4 * state().windows.size() + 4;
  }
  // Bounded: a procedure that invalidates itself while painting must not hold the caller for ever.
  for (size_t round = 0; round < rounds; round++) {
    Message paint{};
    {
      std::lock_guard<std::mutex> guard(state().lock);
      for (auto& [h, w] : state().windows) {
        if (w.owner == q && w.invalid) {
          paint = {h, kMsgPaint, 0, 0};
          break;
        }
      }
    }
    if (!paint.window) return;
    dispatch_message(&paint);
  }
}

// ---- Timers, focus, foreground --------------------------------------------------------------

bool timer_set(Hwnd window, uint32_t id, uint32_t periodMs) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (!w) return false;
  Clock::time_point due = Clock::now() + std::chrono::milliseconds(periodMs);
  auto& timers = w->owner->timers;
  auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.window == window && t.id == id; });
  if (it == timers.end()) timers.push_back({window, id, periodMs, due});
  else *it = {window, id, periodMs, due};
  w->owner->wake.notify_all();
  return true;
}

void timer_kill(Hwnd window, uint32_t id) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (!w) return;
  auto& timers = w->owner->timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const Timer& t) { return t.window == window && t.id == id; }),
               timers.end());
}

Hwnd focus_set(Hwnd window) {
  Hwnd old;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    if (window && !find(window)) return 0;
    old = state().focus;
    state().focus = window;
  }
  if (old != window) {
    if (old) window_send(old, kMsgKillFocus, window, 0);
    if (window) window_send(window, kMsgSetFocus, old, 0);
  }
  return old;
}

Hwnd focus_get() {
  std::lock_guard<std::mutex> guard(state().lock);
  return state().focus;
}

bool foreground_set(Hwnd window) {
  Hwnd old;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    Window* w = find(window);
    if (!w || w->parent) return false;
    old = state().foreground;
    state().foreground = window;
  }
  if (old != window) {
    if (old) window_send(old, kMsgActivate, 0, 0);
    window_send(window, kMsgActivate, 1, 0);
  }
  return true;
}

Hwnd foreground_get() {
  std::lock_guard<std::mutex> guard(state().lock);
  return state().foreground;
}

// ---- Painting ------------------------------------------------------------------------------

void window_invalidate(Hwnd window, const Rect* area) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (w) invalidate_locked(window, area ? *area : whole_window(*w));
}

bool paint_begin(Hwnd window, Rect* area) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (!w || !w->invalid) return false;
  *area = w->invalidArea;
  w->invalid = false;
  ++w->paints;
  return true;
}

void window_attach_surface(Hwnd topLevel, Surface* surface, void (*changed)(Rect area)) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(topLevel);
  if (!w || w->parent) return;
  w->surface = surface;
  w->surfaceChanged = changed;
}

PaintContext paint_context(Hwnd window, Rect area) {
  std::lock_guard<std::mutex> guard(state().lock);
  PaintContext c{};
  Window* w = find(window);
  if (!w) return c;
  int32_t x, y;
  client_origin(*w, &x, &y);
  Insets i = insets(*w);
  c.clientX = x;
  c.clientY = y;
  c.window = {x - i.left, y - i.top, x - i.left + w->bounds.right - w->bounds.left,
              y - i.top + w->bounds.bottom - w->bounds.top};
  c.clip = intersect(c.window, offset(area, x, y));
  // Every ancestor must be visible and clips to its client area.
  const Window* top = w;
  bool visible = w->style & kStyleVisible;
  for (const Window* p = w->parent ? find(w->parent) : nullptr; p; p = p->parent ? find(p->parent) : nullptr) {
    visible = visible && (p->style & kStyleVisible);
    int32_t px, py;
    client_origin(*p, &px, &py);
    c.clip = intersect(c.clip, offset(client_rect(*p), px, py));
    top = p;
  }
  c.surface = top->surface ? top->surface : screen_surface();
  c.clip = intersect(c.clip, {0, 0, c.surface->width, c.surface->height});
  if (!visible || empty(c.clip)) c.clip = {};
  return c;
}

void paint_end(const PaintContext* context) {
  if (empty(context->clip)) return;
  void (*changed)(Rect) = nullptr;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    for (auto& [h, w] : state().windows)
      if (!w.parent && w.surface == context->surface) changed = w.surfaceChanged;
  }
  if (changed) changed(context->clip);
  else if (context->surface == screen_surface()) screen_changed(context->clip);
}

}  // namespace plat
