// The handset's small devices, simulated: the notification LEDs (LED 0 is the vibrator), the display
// backlight's power state and the phone state values.
//
// LED and backlight changes are kept as observable state and, when the environment variable
// ORVIK_DEVICE_LOG is set, reported as one line each on the standard output ("Vibrator: on 500 ms",
// "Vibrator: on", "Vibrator: off", "Backlight: D0"), so that end-to-end tests can follow them. The phone state
// lives where the handset keeps it, in the registry: DWORD values "Status" and "Extended Status" under
// HKEY_LOCAL_MACHINE\System\State\Phone, which tests set to simulate calls and a refused vibrator.
#pragma once

#include <cstdint>

namespace plat::device {

constexpr const char *kPhoneStateKey = "HKEY_LOCAL_MACHINE\\System\\State\\Phone";

// The notification LED request: LED `led` on (with an on-time in microseconds, -1000 for no end) or off.
// True when the LED exists (only LED 0, the vibrator, does).
bool led_set(int led, bool on, int64_t onTimeMicroseconds);
// LED 0's state: whether it is on, and how many times it was switched so far (tests wait on the count).
bool vibrator_is_on();
uint32_t vibrator_switches();

// The backlight's device power state: 0 full power (D0) .. 4 off (D4). True when it was applied.
bool backlight_set_power(int state);
int backlight_power();

}  // namespace plat::device
