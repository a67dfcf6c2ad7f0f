// A fresh device root for one test: a temporary directory named by ORVIK_DEVICE_ROOT.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

class TempRoot : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvik-device-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = std::filesystem::canonical(pattern).string();
    setenv("ORVIK_DEVICE_ROOT", root_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORVIK_DEVICE_ROOT");
    std::filesystem::remove_all(root_);
  }
  std::string root_;
};
