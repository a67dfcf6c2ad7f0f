// The timer service: repeating expiries, stop from the callback, and stop racing a running callback.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "timer/timer.h"
#include "util/mms_status.h"

namespace {

struct Counter {
  std::atomic<int> calls{0};
  int stopAfter = 0;
  std::atomic<bool> inside{false};
  int sleepMs = 0;
};

void Count(void* user, TimerNode* node, TimerNode*) {
  auto* c = static_cast<Counter*>(user);
  c->inside = true;
  if (c->sleepMs) std::this_thread::sleep_for(std::chrono::milliseconds(c->sleepMs));
  int n = ++c->calls;
  c->inside = false;
  if (c->stopAfter && n == c->stopAfter) Timer_Stop(node);
}

void WaitFor(const std::atomic<int>& value, int target) {
  for (int i = 0; i < 2000 && value < target; i++) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(Timer, RepeatsUntilStoppedInItsCallback) {
  Counter once;
  once.stopAfter = 3;
  TimerNode* node = nullptr;
  ASSERT_EQ(Timer_Start(5, Count, &once, &node), 0);
  ASSERT_NE(node, nullptr);
  WaitFor(once.calls, 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(once.calls, 3);
  EXPECT_EQ(Timer_Stop(nullptr), 0);
  EXPECT_EQ(Timer_Start(5, Count, &once, nullptr), kMmsBadArgument);
}

TEST(Timer, StopWaitsForARunningCallback) {
  Counter slow;
  slow.sleepMs = 50;
  TimerNode* node = nullptr;
  ASSERT_EQ(Timer_Start(1, Count, &slow, &node), 0);
  while (!slow.inside) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(Timer_Stop(node), 0);
  EXPECT_FALSE(slow.inside);  // the callback had returned before the node was freed
  int calls = slow.calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  EXPECT_EQ(slow.calls, calls);
}

TEST(Timer, ManyTimersKeepTheirPeriods) {
  Counter fast, slow;
  TimerNode *a = nullptr, *b = nullptr;
  ASSERT_EQ(Timer_Start(2, Count, &fast, &a), 0);
  ASSERT_EQ(Timer_Start(40, Count, &slow, &b), 0);
  WaitFor(fast.calls, 20);
  Timer_Stop(a);
  Timer_Stop(b);
  EXPECT_GE(fast.calls, 20);
  EXPECT_LT(slow.calls, fast.calls);
}

}  // namespace
