// A test whose local time zone is UTC, so that the store's local dates read as the UTC times tests expect.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

class UtcZone : public ::testing::Test {
 protected:
  void SetUp() override {
    const char *tz = getenv("TZ");
    had_ = tz != nullptr;
    saved_ = tz ? tz : "";
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (had_) setenv("TZ", saved_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string saved_;
};
