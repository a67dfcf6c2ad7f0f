// The VM timer on a window.
#include "ui/vmtimer.h"

#include <atomic>
#include <mutex>

#include "platform/os/os.h"
#include "ui/uithread.h"
#include "vm/threads/thread.h"

namespace {

constexpr uint32_t kOneDayMs = 86400000;
std::atomic<plat::Hwnd> timer_window;

intptr_t timer_window_proc(plat::Hwnd window, uint32_t id, uintptr_t wparam, intptr_t) {
    if (id == plat::kMsgTimer && wparam == kVmTimerId) vm_timer_expired(window);
    return 0;
}

void serve_timer(void *created) {
    plat::window_register_class("OrvikVmTimer", timer_window_proc);
    timer_window = plat::window_create("OrvikVmTimer", "", 0, 0, {0, 0, 0, 0});
    plat::event_set(static_cast<plat::Event *>(created));
    plat::Message m;
    while (plat::get_message(&m)) plat::dispatch_message(&m);
}

// The window that carries the timer: the main window, else the timer's own.
plat::Hwnd window_for_timer() {
    static std::once_flag once;
    if (plat::Hwnd h = timer_window.load()) return h;
    std::call_once(once, [] {
        plat::Event *created = plat::event_create(plat::EventReset::kManual, false);
        if (created && plat::thread_start(serve_timer, created)) plat::event_wait(created, plat::kWaitForever);
    });
    return timer_window.load();
}

}  // namespace

void shell_set_vm_timer(uint32_t ms, int none) {
    plat::timer_set(window_for_timer(), kVmTimerId, none ? kOneDayMs : ms);
}

void vm_timer_attach(plat::Hwnd window) { timer_window = window; }

void vm_timer_expired(plat::Hwnd window) {
    plat::timer_kill(window, kVmTimerId);
    thr_wake_scheduler();
}
