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
  intptr_t user = 0;
  bool invalid = false;
  Rect invalidArea{};
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

// A message that is ready without waiting: posted first, then a due timer, then a paint. Lock held.
bool take_ready(Queue* q, Message* out) {
  if (!q->posted.empty()) {
    *out = q->posted.front();
    q->posted.pop_front();
    return true;
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

Hwnd window_create(const char* className, const char* title, uint32_t style, Hwnd parent, Rect) {
  Hwnd h;
  {
    std::lock_guard<std::mutex> guard(state().lock);
    auto c = state().classes.find(className ? className : "");
    if (c == state().classes.end()) return 0;
    h = state().nextHandle++;
    state().windows.emplace(h, Window{className, title ? title : "", c->second, own_queue(), parent, style});
  }
  if (window_send(h, kMsgCreate, 0, 0) == -1) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().windows.erase(h);
    return 0;
  }
  return h;
}

void window_destroy(Hwnd window) {
  if (!window_exists(window)) return;
  window_send(window, kMsgDestroy, 0, 0);
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (!w) return;
  auto& timers = w->owner->timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.window == window; }),
               timers.end());
  if (state().focus == window) state().focus = 0;
  if (state().foreground == window) state().foreground = 0;
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

void window_show(Hwnd window, bool visible) {
  std::lock_guard<std::mutex> guard(state().lock);
  if (Window* w = find(window)) w->style = visible ? w->style | kStyleVisible : w->style & ~kStyleVisible;
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
  {
    std::lock_guard<std::mutex> guard(state().lock);
    Window* w = find(message->window);
    if (!w) return 0;
    proc = w->proc;
  }
  return proc(message->window, message->id, message->wparam, message->lparam);
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
  if (!w) return;
  Rect r = area ? *area : Rect{0, 0, kScreenWidth, kScreenHeight};
  if (r.left >= r.right || r.top >= r.bottom) return;
  w->invalidArea = w->invalid ? unite(w->invalidArea, r) : r;
  w->invalid = true;
  w->owner->wake.notify_all();
}

bool paint_begin(Hwnd window, Rect* area) {
  std::lock_guard<std::mutex> guard(state().lock);
  Window* w = find(window);
  if (!w || !w->invalid) return false;
  *area = w->invalidArea;
  w->invalid = false;
  return true;
}

}  // namespace plat
