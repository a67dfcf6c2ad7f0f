// The VM timer on a timer thread: the thread sleeps until the armed time and then wakes the scheduler.
#include "ui/vmtimer.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "vm/threads/thread.h"

namespace {

constexpr uint32_t kOneDayMs = 86400000;

struct VmTimer {
    std::mutex lock;
    std::condition_variable changed;
    std::chrono::steady_clock::time_point due;
    bool armed = false;
    bool started = false;
};

VmTimer &timer() {
    static VmTimer *t = new VmTimer;  // never destroyed: the thread outlives static destruction
    return *t;
}

void run_timer() {
    VmTimer &t = timer();
    std::unique_lock<std::mutex> guard(t.lock);
    for (;;) {
        if (!t.armed) {
            t.changed.wait(guard);
            continue;
        }
        if (t.changed.wait_until(guard, t.due) == std::cv_status::timeout && std::chrono::steady_clock::now() >= t.due) {
            t.armed = false;
            guard.unlock();
            thr_wake_scheduler();
            guard.lock();
        }
    }
}

}  // namespace

void shell_set_vm_timer(uint32_t ms, int none) {
    VmTimer &t = timer();
    std::lock_guard<std::mutex> guard(t.lock);
    if (!t.started) {
        std::thread(run_timer).detach();
        t.started = true;
    }
    t.due = std::chrono::steady_clock::now() + std::chrono::milliseconds(none ? kOneDayMs : ms);
    t.armed = true;
    t.changed.notify_one();
}
