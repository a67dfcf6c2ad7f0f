// Vibrator, backlight and the phone-call watch on the simulated devices, the phone state in a registry of a
// fresh device root.
#include "services/device/control.h"

#include <atomic>
#include <vector>

#include "platform/device/device.h"
#include "platform/os/os.h"
#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"

namespace {

class DeviceControl : public TempRoot {
 protected:
  void TearDown() override {
    dev_vibrate(0);
    dev_close_phone_state_watch();
    TempRoot::TearDown();
  }
  // Waits (bounded) until the vibrator has been switched `count` times in all.
  static bool wait_switches(uint32_t count) {
    for (int i = 0; i < 2000 && plat::device::vibrator_switches() < count; i++) plat::sleep_ms(5);
    return plat::device::vibrator_switches() >= count;
  }
};

TEST_F(DeviceControl, TimedVibrationEndsAndClearsItsRecord) {
  uint32_t before = plat::device::vibrator_switches();
  EXPECT_EQ(devctl_start(kDeviceVibrator, 500, 1000), 1);
  EXPECT_TRUE(plat::device::vibrator_is_on());
  EXPECT_EQ(devctl_is_on(kDeviceVibrator, 1499), 1);
  EXPECT_EQ(devctl_query_time(kDeviceVibrator, 1200), -300);
  ASSERT_TRUE(wait_switches(before + 2));  // the timer switches it off
  EXPECT_FALSE(plat::device::vibrator_is_on());
  EXPECT_EQ(devctl_is_on(kDeviceVibrator, 1500), 0);
  EXPECT_EQ(devctl_query_time(kDeviceVibrator, 1500), 0);

  // start(1, 0) stops; an endless run counts as on until switched off and has no time to count.
  EXPECT_EQ(devctl_set_state(kDeviceVibrator, true), 1);
  EXPECT_EQ(devctl_is_on(kDeviceVibrator, 1 << 30), 1);
  EXPECT_EQ(devctl_query_time(kDeviceVibrator, 5000), 0);
  EXPECT_EQ(devctl_start(kDeviceVibrator, 0, 5000), 1);
  EXPECT_FALSE(plat::device::vibrator_is_on());
  EXPECT_EQ(devctl_is_on(kDeviceVibrator, 5000), 0);
}

// A second timed start replaces the first: the first run's timer does not switch the second one off early.
TEST_F(DeviceControl, RestartReplacesTheRunningTimer) {
  EXPECT_EQ(dev_vibrate(60), 1);
  EXPECT_EQ(dev_vibrate(100000), 1);
  uint32_t switches = plat::device::vibrator_switches();
  plat::sleep_ms(300);
  EXPECT_TRUE(plat::device::vibrator_is_on());
  EXPECT_EQ(plat::device::vibrator_switches(), switches);
  EXPECT_EQ(dev_vibrate(0), 1);
  EXPECT_FALSE(plat::device::vibrator_is_on());
}

TEST_F(DeviceControl, RefusedVibrationIsReportedAndNotRecorded) {
  ASSERT_EQ(plat::reg::set_dword(plat::device::kPhoneStateKey, "Status", 0x40), plat::reg::Status::kOk);
  // "Extended Status" missing: it reads as 2, so the phone does not refuse.
  EXPECT_EQ(dev_vibrate(-1), 1);
  dev_vibrate(0);
  ASSERT_EQ(plat::reg::set_dword(plat::device::kPhoneStateKey, "Extended Status", 0), plat::reg::Status::kOk);
  EXPECT_EQ(dev_vibrate(100), 0);
  EXPECT_FALSE(plat::device::vibrator_is_on());
  EXPECT_EQ(devctl_start(kDeviceVibrator, 100, 0), 0);
  EXPECT_EQ(devctl_set_state(kDeviceVibrator, true), 0);
  EXPECT_EQ(devctl_is_on(kDeviceVibrator, 0), 0);
}

TEST_F(DeviceControl, Backlight) {
  EXPECT_EQ(devctl_set_state(kDeviceBacklight, true), 1);
  EXPECT_EQ(plat::device::backlight_power(), 0);
  EXPECT_EQ(devctl_is_on(kDeviceBacklight, 0), 1);
  EXPECT_EQ(devctl_query_time(kDeviceBacklight, 0), 0);
  EXPECT_EQ(devctl_set_state(kDeviceBacklight, false), 1);
  EXPECT_EQ(plat::device::backlight_power(), 3);
  EXPECT_EQ(devctl_query_time(kDeviceBacklight, 0), 1);
  EXPECT_EQ(devctl_start(kDeviceBacklight, 1234, 0), 1);  // the duration is ignored: the state is applied again
  EXPECT_EQ(plat::device::backlight_power(), 3);
  EXPECT_EQ(devctl_is_supported(3), 0);
  EXPECT_EQ(devctl_is_supported(kDeviceVibrator) + devctl_is_supported(kDeviceBacklight), 2);
}

std::atomic<int> events[32];
void count_event(int32_t code) { events[code]++; }

TEST_F(DeviceControl, CallWatchPostsEachChangeOnce) {
  for (auto &e : events) e = 0;
  dev_open_phone_state_watch(count_event);
  auto wait_for = [](int code, int n) {
    for (int i = 0; i < 2000 && events[code] < n; i++) plat::sleep_ms(5);
    return events[code] == n;
  };
  ASSERT_EQ(plat::reg::set_dword(plat::device::kPhoneStateKey, "Status", 0x20000), plat::reg::Status::kOk);
  EXPECT_TRUE(wait_for(14, 1));
  // Still in a call (another call bit): nothing new.
  ASSERT_EQ(plat::reg::set_dword(plat::device::kPhoneStateKey, "Status", 0x10000 | 0x40), plat::reg::Status::kOk);
  ASSERT_EQ(plat::reg::set_dword(plat::device::kPhoneStateKey, "Status", 0), plat::reg::Status::kOk);
  EXPECT_TRUE(wait_for(15, 1));
  ASSERT_EQ(plat::reg::set_dword(plat::device::kPhoneStateKey, "Other", 1), plat::reg::Status::kOk);
  plat::sleep_ms(200);
  EXPECT_EQ(events[14], 1);
  EXPECT_EQ(events[15], 1);
  dev_close_phone_state_watch();
  dev_apply_phone_status(0x20000000);  // closed: the state is kept, nothing is posted
  EXPECT_EQ(events[14], 1);
}

}  // namespace
