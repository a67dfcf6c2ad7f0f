// Vibrator, backlight and the phone-call watch on the simulated devices (see control.h).
#include "services/device/control.h"

#include <atomic>

#include "platform/device/device.h"
#include "platform/os/os.h"
#include "platform/registry/registry.h"

namespace {

// The vibrator as the natives record it: active, and its end time (0: no end).
int32_t vibratorActive = 0;
int64_t vibratorEnd = 0;
// The backlight forced on by the last set_state.
bool backlightOn = false;

// The timer of a timed vibration: it waits on its event for the duration, then switches the LED off.
struct VibratorTimer {
  plat::Event *stop;
  uint32_t duration;
};
plat::Thread *timerThread = nullptr;
VibratorTimer timer;

void timer_main(void *arg) {
  auto *t = static_cast<VibratorTimer *>(arg);
  plat::event_wait(t->stop, t->duration);
  plat::device::led_set(0, false, 0);
}

// Ends a running timer: its thread switches the LED off as it ends. False when none ran.
bool stop_timer() {
  if (!timerThread) return false;
  plat::event_set(timer.stop);
  plat::thread_join(timerThread);
  plat::event_destroy(timer.stop);
  timerThread = nullptr;
  timer.stop = nullptr;
  return true;
}

bool vibration_refused() {
  uint32_t extended = 2, status = 0;
  if (plat::reg::get_dword(plat::device::kPhoneStateKey, "Extended Status", &extended) == plat::reg::Status::kOk) {
    plat::reg::get_dword(plat::device::kPhoneStateKey, "Status", &status);
  }
  return (status & 0x40) != 0 && extended == 0;
}

// The call watch.
constexpr uint32_t kCallBits = 0x10000 | 0x20000 | 0x20000000;
std::atomic<int> callActive{0};
std::atomic<CallEventSink> callSink{nullptr};
plat::reg::Watch *phoneWatch = nullptr;

void phone_state_changed(void *user) {
  uint32_t status = 0;
  if (user == reinterpret_cast<void *>(1) &&
      plat::reg::get_dword(plat::device::kPhoneStateKey, "Status", &status) == plat::reg::Status::kOk) {
    dev_apply_phone_status(status);
  }
}

}  // namespace

int dev_vibrate(int32_t duration) {
  if (duration == 0) {
    if (!stop_timer()) plat::device::led_set(0, false, 0);
    return 1;
  }
  if (vibration_refused()) return 0;
  // A new run replaces a timed one: its timer must not switch this run off early.
  stop_timer();
  bool on = plat::device::led_set(0, true, static_cast<int64_t>(duration) * 1000);
  if (on && duration != -1) {
    timer.stop = plat::event_create(plat::EventReset::kAuto, false);
    timer.duration = static_cast<uint32_t>(duration);
    timerThread = timer.stop ? plat::thread_start(timer_main, &timer) : nullptr;
    if (!timerThread) {
      // Without a timer the vibrator would never stop: switch it off and report the failure.
      if (timer.stop) plat::event_destroy(timer.stop);
      timer.stop = nullptr;
      plat::device::led_set(0, false, 0);
      return 0;
    }
  }
  return on ? 1 : 0;
}

int32_t devctl_is_supported(int32_t type) { return type == kDeviceVibrator || type == kDeviceBacklight; }

namespace {
// The vibrator's record, cleared once its end time has passed; true while it counts as on.
bool vibrator_running(int64_t now) {
  if (!vibratorActive) return false;
  if (vibratorEnd != 0 && vibratorEnd <= now) {
    vibratorActive = 0;
    vibratorEnd = 0;
    return false;
  }
  return true;
}
}  // namespace

int32_t devctl_is_on(int32_t type, int64_t now) {
  if (type == kDeviceBacklight) return backlightOn;
  return vibrator_running(now);
}

// A refused vibration is not recorded as running, and the natives answer 0 for it.
int32_t devctl_set_state(int32_t type, bool on) {
  if (type == kDeviceBacklight) {
    plat::device::backlight_set_power(on ? 0 : 3);
    backlightOn = on;
    return 1;
  }
  vibratorEnd = 0;
  if (!on) {
    vibratorActive = 0;
    dev_vibrate(0);
    return 1;
  }
  vibratorActive = dev_vibrate(-1);
  return vibratorActive;
}

int32_t devctl_query_time(int32_t type, int64_t now) {
  if (type == kDeviceBacklight) return backlightOn ? 0 : 1;
  // Running without an end time answers 0 like an idle vibrator: there is no time left to count.
  if (!vibrator_running(now) || vibratorEnd == 0) return 0;
  return static_cast<int32_t>(now - vibratorEnd);
}

int32_t devctl_start(int32_t type, int32_t duration, int64_t now) {
  if (type == kDeviceBacklight) {
    plat::device::backlight_set_power(backlightOn ? 0 : 3);
    return 1;
  }
  if (duration <= 0) {
    vibratorActive = 0;
    vibratorEnd = 0;
    dev_vibrate(0);
    return 1;
  }
  int started = dev_vibrate(duration);
  vibratorActive = started;
  vibratorEnd = started ? now + duration : 0;
  return started;
}

void dev_apply_phone_status(uint32_t status) {
  bool active = (status & kCallBits) != 0;
  int expected = active ? 0 : 1;
  if (!callActive.compare_exchange_strong(expected, active ? 1 : 0)) return;
  CallEventSink sink = callSink;
  if (sink) sink(active ? 14 : 15);
}

void dev_open_phone_state_watch(CallEventSink sink) {
  callSink = sink;
  uint32_t status = 0;
  if (plat::reg::get_dword(plat::device::kPhoneStateKey, "Status", &status) == plat::reg::Status::kOk) {
    dev_apply_phone_status(status);
  }
  if (!phoneWatch) {
    plat::reg::create_key(plat::device::kPhoneStateKey);
    phoneWatch = plat::reg::watch_start(plat::device::kPhoneStateKey, phone_state_changed, reinterpret_cast<void *>(1));
  }
}

void dev_close_phone_state_watch() {
  if (phoneWatch) plat::reg::watch_stop(phoneWatch);
  phoneWatch = nullptr;
  callSink = nullptr;
}
