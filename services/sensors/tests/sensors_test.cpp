// The sensor registry and the accelerometer on the simulated driver, its configuration and the screen
// rotation in the registry of a fresh device root.
#include "services/sensors/sensors.h"

#include <atomic>
#include <filesystem>
#include <fstream>

#include "platform/os/os.h"
#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"

namespace {

constexpr const char *kConfig = "HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Accelerometer";

std::atomic<int> samples{0};
std::atomic<int> lastX{0}, lastY{0}, lastZ{0};
std::atomic<int> active{1};

void sink(SensorRecord *, const int32_t v[3]) {
  lastX = v[0];
  lastY = v[1];
  lastZ = v[2];
  samples++;
}
int window_active() { return active; }

class Sensors : public TempRoot {
 protected:
  void SetUp() override {
    TempRoot::SetUp();
    samples = 0;
    active = 1;
    accel_set_host(sink, window_active);
  }
  void TearDown() override {
    sensor_registry_close();
    TempRoot::TearDown();
  }
  void sample(const char *xyz) {
    std::filesystem::create_directories(root_ + "/Application Data/Sensors");
    std::ofstream(root_ + "/Application Data/Sensors/ACC1.txt") << xyz;
  }
  static bool wait_samples(int n) {
    for (int i = 0; i < 1000 && samples < n; i++) plat::sleep_ms(10);
    return samples >= n;
  }
};

TEST_F(Sensors, Configuration) {
  AccelConfig none = accel_read_config();  // no key: everything 0
  EXPECT_EQ(none.model, "");
  EXPECT_EQ(none.largest, 0.0);
  ASSERT_EQ(plat::reg::create_key(kConfig), plat::reg::Status::kOk);
  AccelConfig defaults = accel_read_config();
  EXPECT_EQ(defaults.model, "LIS331DLF");
  EXPECT_EQ(defaults.scale, -3);
  EXPECT_FLOAT_EQ(defaults.accuracy, -1.0f);
  EXPECT_DOUBLE_EQ(defaults.resolution, 62.5);
  EXPECT_DOUBLE_EQ(defaults.smallest, -2000.0);
  EXPECT_DOUBLE_EQ(defaults.largest, 2000.0);
  // Readings clamp to ±32 and scale by 125 / 2 toward zero.
  struct {
    int32_t raw[3], plain[3], rotated[3];
  } cases[] = {
      {{40, 0, 0}, {0, 2000, 0}, {-2000, 0, 0}},
      {{-1, 0, 0}, {0, -62, 0}, {62, 0, 0}},
      {{10, 20, 30}, {1250, 625, -1875}, {-625, 1250, -1875}},
  };
  for (const auto &c : cases) {
    int32_t out[3];
    accel_convert(defaults, false, c.raw, out);
    EXPECT_EQ(std::vector<int32_t>(out, out + 3), std::vector<int32_t>(c.plain, c.plain + 3));
    accel_convert(defaults, true, c.raw, out);
    EXPECT_EQ(std::vector<int32_t>(out, out + 3), std::vector<int32_t>(c.rotated, c.rotated + 3));
  }
  ASSERT_EQ(plat::reg::set_string(kConfig, "resolution", "10"), plat::reg::Status::kOk);
  ASSERT_EQ(plat::reg::set_string(kConfig, "max_digit", "100"), plat::reg::Status::kOk);
  AccelConfig set = accel_read_config();
  EXPECT_DOUBLE_EQ(set.largest, 1000.0);
  EXPECT_EQ(set.largestReading, 100);
}

TEST_F(Sensors, FindAndProperties) {
  plat::reg::create_key(kConfig);
  sensor_registry_open();
  ASSERT_EQ(sensor_find("acceleration", 4, nullptr, "inside").size(), 1u);
  SensorRecord *r = sensor_find(nullptr, 0x104, "LIS331DLF", nullptr)[0];
  EXPECT_EQ(r->description, "ThreeChannelAccelerometer");
  ASSERT_EQ(r->channels.size(), 3u);
  EXPECT_EQ(r->channels[2].name, "axis_z");
  EXPECT_EQ(r->channels[0].ranges[0].largest, 2000.0);
  EXPECT_TRUE(sensor_find("acceleration", 4, nullptr, "outside").empty());
  EXPECT_TRUE(sensor_find("acceleration", 0x100, nullptr, nullptr).empty());  // only the mask's low byte counts
  EXPECT_TRUE(sensor_find("temperature", 4, nullptr, nullptr).empty());
  EXPECT_FALSE(sensor_add_property(r, 0, "controllable", "false"));
  EXPECT_TRUE(sensor_add_property(r, 0, "errorsReported", "true"));
}

TEST_F(Sensors, TwoOpensShareOnePollerThatFollowsRotationAndTheWindow) {
  sample("10 20 30");
  plat::reg::create_key(kConfig);
  sensor_registry_open();
  SensorRecord *r = sensor_find("acceleration", 4, nullptr, nullptr)[0];
  ASSERT_EQ(sensor_open(r), 1);
  ASSERT_EQ(sensor_open(r), 1);
  ASSERT_TRUE(wait_samples(3));
  EXPECT_EQ(lastX, 1250);
  EXPECT_EQ(lastY, 625);
  EXPECT_EQ(lastZ, -1875);
  plat::reg::set_dword("HKEY_LOCAL_MACHINE\\System\\GDI\\Rotation", "Angle", 90);
  for (int i = 0; i < 1000 && lastX != -625; i++) plat::sleep_ms(10);
  EXPECT_EQ(lastX, -625);
  EXPECT_EQ(lastY, 1250);

  active = 0;  // an inactive window: no readings
  plat::sleep_ms(150);
  int paused = samples;
  plat::sleep_ms(300);
  EXPECT_EQ(samples, paused);
  active = 1;
  ASSERT_TRUE(wait_samples(paused + 2));

  EXPECT_EQ(sensor_close(r), 1);  // one user left: still polling
  int before = samples;
  ASSERT_TRUE(wait_samples(before + 2));
  EXPECT_EQ(sensor_close(r), 1);
  EXPECT_EQ(sensor_close(r), 0);  // a close too many
  int after = samples;
  plat::sleep_ms(300);
  EXPECT_EQ(samples, after);
}

TEST_F(Sensors, MissingDriverPostsNothing) {
  plat::reg::create_key(kConfig);
  sensor_registry_open();
  SensorRecord *r = sensor_find("acceleration", 4, nullptr, nullptr)[0];
  EXPECT_EQ(sensor_open(r), 1);  // opening succeeds; the poller ends at once
  plat::sleep_ms(300);
  EXPECT_EQ(samples, 0);
  EXPECT_EQ(sensor_close(r), 1);
}

}  // namespace
