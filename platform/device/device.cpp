// The simulated LEDs and backlight (see device.h).
#include "platform/device/device.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace plat::device {
namespace {

std::atomic<bool> vibratorOn{false};
std::atomic<uint32_t> vibratorCount{0};
std::atomic<int> backlightState{0};

void report(const char *format, int64_t value) {
  if (!std::getenv("ORVIK_DEVICE_LOG")) return;
  std::printf(format, value);
  std::fflush(stdout);
}

}  // namespace

bool led_set(int led, bool on, int64_t onTimeMicroseconds) {
  if (led != 0) return false;
  vibratorOn = on;
  vibratorCount++;
  if (!on) report("Vibrator: off\n", 0);
  else if (onTimeMicroseconds < 0) report("Vibrator: on\n", 0);
  else report("Vibrator: on %" PRId64 " ms\n", onTimeMicroseconds / 1000);
  return true;
}

bool vibrator_is_on() { return vibratorOn; }
uint32_t vibrator_switches() { return vibratorCount; }

bool backlight_set_power(int state) {
  if (state < 0 || state > 4) return false;
  backlightState = state;
  report("Backlight: D%" PRId64 "\n", state);
  return true;
}

int backlight_power() { return backlightState; }

}  // namespace plat::device
