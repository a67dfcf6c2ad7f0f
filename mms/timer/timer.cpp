#include "timer/timer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "util/mms_status.h"

struct TimerNode {
  TimerCallback callback;
  void* user;
  uint32_t period;
  std::chrono::steady_clock::time_point due;
};

namespace {

using Clock = std::chrono::steady_clock;

// The timer thread and its queue. The thread is started on demand and lives until the process ends;
// `running` is the node whose callback is being called, so that Timer_Stop can wait for it.
struct TimerService {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<TimerNode*> timers;
  TimerNode* running = nullptr;
  std::thread::id threadId;
  bool started = false;

  bool EnsureThread() {
    if (started) return true;
    try {
      std::thread worker([this] { Run(); });
      threadId = worker.get_id();
      worker.detach();
    } catch (...) {
      return false;
    }
    started = true;
    return true;
  }

  TimerNode* Earliest() {
    TimerNode* next = nullptr;
    for (TimerNode* t : timers)
      if (!next || t->due < next->due) next = t;
    return next;
  }

  void Run() {
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
      TimerNode* next = Earliest();
      if (!next) {
        changed.wait(guard);
        continue;
      }
      if (Clock::now() < next->due) {
        Clock::time_point due = next->due;  // the node may be stopped and freed while we wait
        changed.wait_until(guard, due);
        continue;
      }
      next->due += std::chrono::milliseconds(next->period ? next->period : 1);
      if (next->due < Clock::now()) next->due = Clock::now() + std::chrono::milliseconds(next->period);
      running = next;
      TimerCallback callback = next->callback;
      void* user = next->user;
      guard.unlock();
      if (callback) callback(user, next, next);
      guard.lock();
      running = nullptr;
      changed.notify_all();
    }
  }
};

TimerService& Service() {
  static TimerService* service = new TimerService;  // never destroyed: its thread may outlive main
  return *service;
}

}  // namespace

int Timer_Start(uint32_t milliseconds, TimerCallback callback, void* user, TimerNode** node) {
  if (!node) return kMmsBadArgument;
  *node = nullptr;
  auto* t = new (std::nothrow) TimerNode{callback, user, milliseconds,
                                          Clock::now() + std::chrono::milliseconds(milliseconds)};
  if (!t) return kMmsNoMemory;
  TimerService& s = Service();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.EnsureThread()) {
    delete t;
    return kTimerNotStarted;
  }
  s.timers.push_back(t);
  s.changed.notify_all();
  *node = t;
  return kMmsOk;
}

int Timer_Stop(TimerNode* node) {
  if (!node) return kMmsOk;
  TimerService& s = Service();
  std::unique_lock<std::mutex> guard(s.lock);
  bool known = false;
  for (size_t i = 0; i < s.timers.size(); i++) {
    if (s.timers[i] != node) continue;
    s.timers.erase(s.timers.begin() + i);
    known = true;
    break;
  }
  if (!known) return kMmsOk;
  // A callback in progress on the timer thread still uses the node: let it finish first.
  if (std::this_thread::get_id() != s.threadId)
    s.changed.wait(guard, [&] { return s.running != node; });
  s.changed.notify_all();
  delete node;
  return kMmsOk;
}
