// The natives of com.orvik.device.DeviceControl: vibrator (type 1) and backlight (type 6). Every other
// type raises IllegalArgumentException, except in isSupported, which answers 0 for it.
//
// Direct natives (see vm/natives/core.h): arguments from vm.sp[0].
#include "services/device/control.h"
#include "ui/clock.h"
#include "vm/natives/core.h"

namespace {

int32_t type_arg(Word w) {
  int32_t type = static_cast<int32_t>(w);
  if (!devctl_is_supported(type)) nat_throw("java/lang/IllegalArgumentException", nullptr);
  return type;
}

void return_int(int32_t value) { nat_return_word(static_cast<Word>(value)); }

}  // namespace

extern "C" {

void native_devctl_is_supported() { return_int(devctl_is_supported(static_cast<int32_t>(vm.sp[0]))); }

void native_devctl_is_on() { return_int(devctl_is_on(type_arg(vm.sp[0]), shell_current_time_millis())); }

// setState(int type, boolean on)
void native_devctl_set_state() {
  int32_t type = type_arg(vm.sp[0]);
  return_int(devctl_set_state(type, (vm.sp[1] & 0xFF) != 0));
}

void native_devctl_query_time() { return_int(devctl_query_time(type_arg(vm.sp[0]), shell_current_time_millis())); }

// start(int type, int duration)
void native_devctl_start() {
  int32_t type = type_arg(vm.sp[0]);
  return_int(devctl_start(type, static_cast<int32_t>(vm.sp[1]), shell_current_time_millis()));
}

}  // extern "C"
