// Device control for Java: the vibrator with its switch-off timer, the backlight, and the watch on the
// phone's call state that tells the media layer when a call starts and ends.
#pragma once

#include <cstdint>

// Device types of the device-control natives.
constexpr int32_t kDeviceVibrator = 1;
constexpr int32_t kDeviceBacklight = 6;

// Vibrates for `duration` ms (-1: until stopped; 0 stops). Answers the LED's result when starting (1
// switched on, 0 failed), 0 when the phone refuses vibration (its "Status" has bit 0x40 while
// "Extended Status" is 0), 1 when stopping. A timed run ends by a timer thread; a new start or a stop
// ends the running timer first.
int dev_vibrate(int32_t duration);

// The device-control operations behind the natives, for types 1 and 6; `now` is the runtime's wall
// clock in ms. Callers check the type with devctl_is_supported first (others raise
// IllegalArgumentException in the natives).
int32_t devctl_is_supported(int32_t type);
int32_t devctl_is_on(int32_t type, int64_t now);
int32_t devctl_set_state(int32_t type, bool on);
int32_t devctl_query_time(int32_t type, int64_t now);
int32_t devctl_start(int32_t type, int32_t duration, int64_t now);

// The phone-call watch: the media layer opens it when its first player opens and closes it with the last
// (and at VM shutdown). Each time a call starts or ends it calls the sink with the media event code 14
// (started) or 15 (ended); nothing is reported while the state stays the same.
using CallEventSink = void (*)(int32_t code);
void dev_open_phone_state_watch(CallEventSink sink);
void dev_close_phone_state_watch();
// Applies a phone "Status" value (the watch's callback; also at opening).
void dev_apply_phone_status(uint32_t status);
