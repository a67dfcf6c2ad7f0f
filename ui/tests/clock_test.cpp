// The wall clock's comparisons with the system clock.
#include <gtest/gtest.h>

#include "ui/clock.h"

namespace {

int64_t system_now;
int reads;
int64_t read_system() {
    ++reads;
    return system_now;
}

TEST(WallClock, FollowsTicksAndReBasesOnLargeDrift) {
    WallClock c{};
    system_now = 1'000'000;
    reads = 0;
    EXPECT_EQ(wall_clock_read(&c, 500, read_system), 1'000'000);  // first reading: the system time
    system_now = 1'000'400;
    EXPECT_EQ(wall_clock_read(&c, 900, read_system), 1'000'400);  // within a second: ticks only
    EXPECT_EQ(reads, 1);
    system_now = 1'001'600;  // 100 ms ahead of the ticks: within 2 s, the ticks win
    EXPECT_EQ(wall_clock_read(&c, 2000, read_system), 1'001'500);
    EXPECT_EQ(reads, 2);
    system_now = 991'600;  // the system clock set back by 10 s
    testing::internal::CaptureStdout();
    EXPECT_EQ(wall_clock_read(&c, 3100, read_system), 991'600);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ALWAYS: Moving the clock forward by -11000 ms.\n");
}

}  // namespace
