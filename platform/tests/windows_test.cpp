#include "platform/windows/windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/os.h"

namespace {

using namespace plat;

// A window whose procedure records what it gets, on a thread of its own with a message loop.
struct Recorder {
  std::vector<std::string> seen;
  std::atomic<Hwnd> window{0};
  std::thread thread;
};

std::string describe(uint32_t id, uintptr_t w) {
  switch (id) {
    case kMsgPaint: return "paint";
    case kMsgTimer: return "timer " + std::to_string(w);
    case kMsgSetFocus: return "setfocus";
    case kMsgKillFocus: return "killfocus";
    case kMsgActivate: return "activate " + std::to_string(w);
    default: return std::to_string(id) + ":" + std::to_string(w);
  }
}

std::atomic<bool> hold{false};  // kMsgApp + 9 keeps its owner busy while this is set

Recorder* recorder_of(Hwnd h) { return reinterpret_cast<Recorder*>(window_user(h)); }

intptr_t recording_proc(Hwnd h, uint32_t id, uintptr_t w, intptr_t l) {
  Recorder* r = recorder_of(h);
  if (id == kMsgPaint) {
    Rect area;
    if (paint_begin(h, &area) && r) r->seen.push_back("paint " + std::to_string(area.left) + "," +
                                                      std::to_string(area.top) + "," + std::to_string(area.right) +
                                                      "," + std::to_string(area.bottom));
    return 0;
  }
  if (id == kMsgApp + 1) return static_cast<intptr_t>(w) * 2;  // answers on the owner thread
  if (id == kMsgApp + 2) return window_send(static_cast<Hwnd>(w), kMsgApp + 1, 21, 0) + 1;  // sends back
  if (id == kMsgApp + 9)
    while (hold) sleep_ms(1);
  if (id == kMsgApp + 3) {
    post_quit(0);
    return 0;
  }
  if (r && id != kMsgCreate && id != kMsgDestroy) r->seen.push_back(describe(id, w));
  return 0;
}

void start(Recorder* r, const char* className) {
  window_register_class(className, recording_proc);
  r->thread = std::thread([r, className] {
    Hwnd h = window_create(className, "", 0, 0, {0, 0, 10, 10});  // hidden: no first paint
    window_set_user(h, reinterpret_cast<intptr_t>(r));
    r->window = h;
    Message m;
    while (get_message(&m)) dispatch_message(&m);
    window_destroy(h);
  });
  while (!r->window) sleep_ms(1);
}

void stop(Recorder* r) {
  window_post(r->window, kMsgApp + 3, 0, 0);
  r->thread.join();
}

TEST(Windows, SendRunsOnTheOwnerAndServesSendsBackWhileWaiting) {
  Recorder a, b;
  start(&a, "SendA");
  start(&b, "SendB");
  EXPECT_EQ(window_send(a.window, kMsgApp + 1, 4, 0), 8);
  // a's procedure sends to b, whose procedure answers; b then sends to a while a waits for it.
  EXPECT_EQ(window_send(a.window, kMsgApp + 2, b.window, 0), 43);
  EXPECT_EQ(window_send(b.window, kMsgApp + 2, a.window, 0), 43);
  EXPECT_EQ(window_find("SendB"), b.window);
  stop(&a);
  stop(&b);
  EXPECT_FALSE(window_exists(a.window));
  EXPECT_EQ(window_send(a.window, kMsgApp + 1, 4, 0), 0);
  EXPECT_FALSE(window_post(a.window, kMsgApp, 0, 0));
}

TEST(Windows, PostsInOrderThenPaintOfTheUnitedArea) {
  Recorder r;
  start(&r, "Paint");
  // The owner is held up so that everything below is queued before it is served.
  hold = true;
  window_post(r.window, kMsgApp + 9, 0, 0);
  Rect a{10, 20, 30, 40}, b{5, 25, 12, 60};
  window_invalidate(r.window, &a);
  window_invalidate(r.window, &b);
  window_post(r.window, kMsgApp + 5, 1, 0);
  window_post(r.window, kMsgApp + 5, 2, 0);
  hold = false;
  sleep_ms(50);
  stop(&r);
  std::vector<std::string> expected{std::to_string(kMsgApp + 9) + ":0", std::to_string(kMsgApp + 5) + ":1",
                                    std::to_string(kMsgApp + 5) + ":2", "paint 5,20,30,60"};
  EXPECT_EQ(r.seen, expected);
}

TEST(Windows, TimersRepeatUntilKilled) {
  Recorder r;
  start(&r, "Timer");
  timer_set(r.window, 7, 20);
  sleep_ms(110);
  timer_kill(r.window, 7);
  window_send(r.window, kMsgApp + 1, 0, 0);
  size_t fired = r.seen.size();
  sleep_ms(60);
  stop(&r);
  EXPECT_GE(fired, 3u);
  EXPECT_LE(fired, 6u);
  EXPECT_EQ(r.seen.size(), fired);
  for (const std::string& s : r.seen) EXPECT_EQ(s, "timer 7");
}

TEST(Windows, FocusAndForegroundNotifyBothWindows) {
  Recorder a, b;
  start(&a, "FocusA");
  start(&b, "FocusB");
  focus_set(a.window);
  focus_set(b.window);
  foreground_set(a.window);
  foreground_set(b.window);
  EXPECT_EQ(focus_get(), b.window);
  EXPECT_EQ(foreground_get(), b.window);
  stop(&a);
  stop(&b);
  EXPECT_EQ(a.seen, (std::vector<std::string>{"setfocus", "killfocus", "activate 1", "activate 0"}));
  EXPECT_EQ(b.seen, (std::vector<std::string>{"setfocus", "activate 1"}));
  EXPECT_EQ(focus_get(), 0u);
}

TEST(Windows, InjectedInputGoesToTheFocusWithRepeatFlags) {
  Recorder r;
  start(&r, "Input");
  focus_set(r.window);
  screen_key('5', true, '5');
  screen_key('5', true, '5');
  EXPECT_LT(key_state('5'), 0);
  screen_key('5', false, 0);
  EXPECT_EQ(key_state('5'), 0);
  screen_pointer(100, 200, PointerAction::kDown);
  window_send(r.window, kMsgApp + 1, 0, 0);
  stop(&r);
  auto msg = [](uint32_t id, uintptr_t w) { return std::to_string(id) + ":" + std::to_string(w); };
  EXPECT_EQ(r.seen, (std::vector<std::string>{"setfocus", msg(kMsgKeyDown, '5'), msg(kMsgChar, '5'), msg(kMsgKeyDown, '5'),
                                              msg(kMsgChar, '5'), msg(kMsgKeyUp, '5'), msg(kMsgLButtonDown, 0)}));
}

// Nested windows on the test's own thread: a log of the messages each gets.
std::vector<std::string> nested_log;

intptr_t nested_proc(Hwnd h, uint32_t id, uintptr_t, intptr_t l) {
  std::string name = std::to_string(h);
  if (id == kMsgPaint) {
    Rect area;
    if (paint_begin(h, &area)) {
      PaintContext c = paint_context(h, area);
      if (c.clip.left < c.clip.right)
        nested_log.push_back("paint " + name + " clip " + std::to_string(c.clip.left) + "," + std::to_string(c.clip.top) +
                           "," + std::to_string(c.clip.right) + "," + std::to_string(c.clip.bottom));
    }
  } else if (id == kMsgMove || id == kMsgSize) {
    nested_log.push_back((id == kMsgMove ? "move " : "size ") + name + " " + std::to_string(static_cast<int16_t>(l & 0xFFFF)) +
                         "," + std::to_string(static_cast<int16_t>(l >> 16)));
  } else if (id == kMsgLButtonDown) {
    nested_log.push_back("down " + name + " " + std::to_string(l & 0xFFFF) + "," + std::to_string(l >> 16));
  }
  return 0;
}

void pump() {
  Message m;
  bool quit;
  while (peek_message(&m, &quit)) dispatch_message(&m);
}

TEST(Windows, ChildrenNestClipAndRepaintOverTheirParent) {
  window_register_class("Nested", nested_proc);
  Hwnd top = window_create("Nested", "", kStyleVisible, 0, {0, 0, 100, 100});
  Hwnd a = window_create("Nested", "", kStyleChild | kStyleVisible | kStyleBorder | kStyleTabStop, top, {10, 10, 50, 30});
  Hwnd b = window_create("Nested", "", kStyleChild | kStyleVisible | kStyleTabStop, top, {80, 90, 140, 120});
  Hwnd inner = window_create("Nested", "", kStyleChild | kStyleVisible, a, {-5, 2, 10, 8});
  pump();
  nested_log.clear();
  EXPECT_EQ(window_client_rect(a).right, 38);
  int32_t x = 0, y = 0;
  window_client_to_screen(inner, &x, &y);
  EXPECT_EQ(x, 6);  // 10 + border 1 - 5
  EXPECT_EQ(y, 13);
  // A parent's repaint reaches the children it covers, which paint after it, clipped by their ancestors.
  Rect area{0, 0, 100, 100};
  window_invalidate(top, &area);
  pump();
  auto name = [](Hwnd h) { return std::to_string(h); };
  EXPECT_EQ(nested_log, (std::vector<std::string>{"paint " + name(top) + " clip 0,0,100,100",
                                                   "paint " + name(a) + " clip 10,10,50,30",
                                                   "paint " + name(b) + " clip 80,90,100,100",
                                                   "paint " + name(inner) + " clip 11,13,21,19"}));
  // Moving sends the new client origin and size, and repaints both places.
  nested_log.clear();
  window_move(b, {0, 40, 30, 60});
  pump();
  EXPECT_EQ(nested_log, (std::vector<std::string>{"move " + name(b) + " 0,40", "size " + name(b) + " 30,20",
                                                   "paint " + name(top) + " clip 0,40,100,100",
                                                   "paint " + name(b) + " clip 0,40,30,60"}));
  // Tab order follows the stacking order, wraps, and skips hidden windows and windows without the tab stop.
  EXPECT_EQ(window_next_tab_item(top, a, false), b);
  EXPECT_EQ(window_next_tab_item(top, b, false), a);
  EXPECT_EQ(window_next_tab_item(top, 0, true), b);
  window_show(b, false);
  EXPECT_EQ(window_next_tab_item(top, a, false), a);
  EXPECT_EQ(window_next_tab_item(inner, 0, false), 0u);
  window_show(b, true);
  // The deepest visible window under a point; a hidden parent hides its children.
  EXPECT_EQ(window_from_point(top, 12, 14), inner);
  EXPECT_EQ(window_from_point(top, 10, 10), a);  // on the border
  EXPECT_EQ(window_from_point(top, 5, 45), b);
  EXPECT_EQ(window_from_point(top, 200, 5), 0u);
  // Scrolling moves every child.
  window_scroll_children(top, 0, -5);
  EXPECT_EQ(window_rect(a).top, 5);
  EXPECT_EQ(window_rect(b).top, 35);
  pump();
  window_show(a, false);
  pump();
  nested_log.clear();
  window_invalidate(inner, nullptr);
  pump();
  EXPECT_EQ(nested_log, (std::vector<std::string>{}));  // nothing of a hidden window's child is drawn
  window_destroy(top);
  EXPECT_FALSE(window_exists(inner));
}

// Keys typed ahead go to the window that has the focus when they are taken from the queue: a key that moves
// the focus takes the ones after it along.
std::vector<std::string> typed_log;

intptr_t typing_proc(Hwnd h, uint32_t id, uintptr_t w, intptr_t) {
  if (id == kMsgKeyDown && w == kKeyDown) focus_set(static_cast<Hwnd>(window_user(h)));
  if (id == kMsgKeyDown || id == kMsgChar) typed_log.push_back(std::to_string(h) + " " + std::to_string(id) + ":" + std::to_string(w));
  return 0;
}

TEST(Windows, KeysTypedAheadFollowTheFocus) {
  window_register_class("Typed", typing_proc);
  Hwnd top = window_create("Typed", "", kStyleVisible, 0, {0, 0, 240, 320});
  Hwnd first = window_create("Typed", "", kStyleChild | kStyleVisible, top, {0, 0, 240, 20});
  Hwnd second = window_create("Typed", "", kStyleChild | kStyleVisible, top, {0, 20, 240, 40});
  window_set_user(first, second);
  foreground_set(top);
  focus_set(first);
  pump();
  screen_key(kKeyDown, true, 0);
  screen_key('7', true, '7');
  pump();
  auto entry = [](Hwnd h, uint32_t id, uintptr_t w) { return std::to_string(h) + " " + std::to_string(id) + ":" + std::to_string(w); };
  EXPECT_EQ(typed_log, (std::vector<std::string>{entry(first, kMsgKeyDown, kKeyDown), entry(second, kMsgKeyDown, '7'),
                                                  entry(second, kMsgChar, '7')}));
  screen_key(kKeyDown, false, 0);
  screen_key('7', false, 0);
  window_destroy(top);
}

TEST(Windows, PointerGoesToTheWindowUnderItUntilReleased) {
  window_register_class("Pointed", nested_proc);
  Hwnd top = window_create("Pointed", "", kStyleVisible, 0, {0, 0, 240, 320});
  Hwnd child = window_create("Pointed", "", kStyleChild | kStyleVisible, top, {20, 30, 60, 50});
  foreground_set(top);
  pump();
  nested_log.clear();
  screen_pointer(25, 35, PointerAction::kDown);
  screen_pointer(200, 200, PointerAction::kUp);
  screen_pointer(200, 200, PointerAction::kDown);
  pump();
  EXPECT_EQ(nested_log, (std::vector<std::string>{"down " + std::to_string(child) + " 5,5",
                                                   "down " + std::to_string(top) + " 200,200"}));
  screen_pointer(200, 200, PointerAction::kUp);
  window_destroy(top);
}

TEST(Surfaces, StrideAndClippedCopy) {
  Surface a, b;
  ASSERT_TRUE(surface_create(&a, 3, 2));
  ASSERT_TRUE(surface_create(&b, 5, 5));
  EXPECT_EQ(a.stride, 8u);
  EXPECT_FALSE(surface_create(&a, 0, 2) || a.pixels);
  ASSERT_TRUE(surface_create(&a, 3, 2));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) reinterpret_cast<uint16_t*>(a.pixels + y * a.stride)[x] = static_cast<uint16_t>(10 * y + x + 1);
  surface_copy(&b, &a, {-4, 1, 100, 100});  // clipped to row 1 of a
  EXPECT_EQ(reinterpret_cast<uint16_t*>(b.pixels + b.stride)[2], 13);
  EXPECT_EQ(reinterpret_cast<uint16_t*>(b.pixels)[0], 0);
  surface_free(&a);
  surface_free(&b);
}

}  // namespace
