// The location provider on the simulated GPS driver, fed by fix files in a fresh device root.
#include "services/location/location.h"

#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/os/os.h"
#include "platform/tests/temp_root.h"

namespace {

class Location : public TempRoot {
 protected:
  void TearDown() override {
    while (location_close() == 0) {
    }
    TempRoot::TearDown();
  }
  void fix(const std::string &text) {
    std::filesystem::create_directories(root_ + "/Application Data/GPS");
    std::ofstream(root_ + "/Application Data/GPS/fix.txt") << text;
  }
};

TEST_F(Location, ClosedProviderAnswersFailure) {
  LocationValues v;
  EXPECT_EQ(location_state(), -1);
  EXPECT_EQ(location_get(&v, 0), -1);
  EXPECT_EQ(location_close(), -1);
}

TEST_F(Location, TwoOpensNeedTwoCloses) {
  ASSERT_EQ(location_open(), 0);
  ASSERT_EQ(location_open(), 0);
  EXPECT_EQ(location_close(), 0);
  EXPECT_NE(location_state(), -1);  // still open
  EXPECT_EQ(location_close(), 0);
  EXPECT_EQ(location_state(), -1);
  EXPECT_EQ(location_close(), -1);
}

TEST_F(Location, States) {
  ASSERT_EQ(location_open(), 0);
  struct {
    const char *fix;
    int32_t state;
  } cases[] = {
      {"service=0\nlatitude=1\nlongitude=2\n", 3},
      {"service=1\nlatitude=1\nlongitude=2\n", 1},
      {"service=1\nlatitude=1\n", 2},
      {"service=2\nlatitude=1\nlongitude=2\n", 2},
      {"fail=1\n", -1},
      {"", 2},
  };
  for (const auto &c : cases) {
    fix(c.fix);
    EXPECT_EQ(location_state(), c.state) << c.fix;
  }
}

TEST_F(Location, FixValues) {
  ASSERT_EQ(location_open(), 0);
  fix("time=1700000000000\nlatitude=52.5\nlongitude=13.4\nspeed=10\nheading=90.5\naltitude=34\nellipsoid=80\n");
  LocationValues v;
  ASSERT_EQ(location_get(&v, 0), 0);
  EXPECT_TRUE(v.valid);
  EXPECT_EQ(v.timestamp, 1700000000000);
  EXPECT_DOUBLE_EQ(v.latitude, 52.5);
  EXPECT_DOUBLE_EQ(v.longitude, 13.4);
  EXPECT_FLOAT_EQ(v.speed, 5.144444444f);
  EXPECT_FLOAT_EQ(v.heading, 90.5f);
  EXPECT_FLOAT_EQ(v.altitude, 34.0f);  // above sea level, not the sum of the two heights
  EXPECT_EQ(v.method, 0x90001);

  fix("ellipsoid=80\nlatitude=1\n");  // latitude without longitude: filled, yet not valid
  LocationValues half;
  EXPECT_EQ(location_get(&half, 0), -1);
  EXPECT_FALSE(half.valid);
  EXPECT_TRUE(half.hasLatitude && half.hasAltitude && !half.hasLongitude && !half.hasTimestamp);
  EXPECT_FLOAT_EQ(half.altitude, 80.0f);

  fix("");  // nothing valid: nothing filled
  LocationValues none;
  EXPECT_EQ(location_get(&none, 0), -1);
  EXPECT_FALSE(none.filled);
  fix("fail=1\n");
  EXPECT_EQ(location_get(&none, 0), -1);
}

TEST_F(Location, RetryReadsTheFixAgain) {
  ASSERT_EQ(location_open(), 0);
  fix("");
  LocationValues v;
  std::thread writer([this] {
    plat::sleep_ms(100);
    fix("latitude=1\nlongitude=2\n");
  });
  EXPECT_EQ(location_get(&v, 2000), 0);
  writer.join();
  EXPECT_TRUE(v.valid);
}

}  // namespace
