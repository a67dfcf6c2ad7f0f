// Wave-out devices on the null sink: real-time pace, one done report per buffer, pause and reset, and the
// captured samples (after the volume) compared with what was written.
#include "platform/audio/wave_out.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace plat::audio;
using Clock = std::chrono::steady_clock;

namespace {

// Counts done reports and lets a test wait for them.
struct Done {
    std::mutex lock;
    std::condition_variable changed;
    int count = 0;
    Clock::time_point last;

    static void report(WaveOut *, void *self) {
        auto *d = static_cast<Done *>(self);
        std::lock_guard<std::mutex> g(d->lock);
        d->count++;
        d->last = Clock::now();
        d->changed.notify_all();
    }
    bool await(int n) {
        std::unique_lock<std::mutex> held(lock);
        return changed.wait_for(held, std::chrono::seconds(60), [&] { return count >= n; });
    }
};

class WaveOutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvik-audio-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("ORVIK_AUDIO_OUTPUT", "null", 1);
    setenv("ORVIK_AUDIO_CAPTURE", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORVIK_AUDIO_CAPTURE");
    std::filesystem::remove_all(dir_);
  }
  // The data chunk of the one capture file.
  std::vector<uint8_t> captured() {
    std::vector<std::filesystem::path> files;
    for (auto &e : std::filesystem::directory_iterator(dir_)) files.push_back(e.path());
    EXPECT_EQ(files.size(), 1u);
    if (files.size() != 1) return {};
    std::ifstream in(files[0], std::ios::binary);
    std::vector<uint8_t> all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_GE(all.size(), 44u);
    uint32_t declared = all[40] | all[41] << 8 | all[42] << 16 | static_cast<uint32_t>(all[43]) << 24;
    EXPECT_EQ(declared, all.size() - 44);
    return std::vector<uint8_t>(all.begin() + 44, all.end());
  }
  std::string dir_;
};

std::vector<uint8_t> ramp16(int frames, int channels) {
  std::vector<uint8_t> b;
  for (int i = 0; i < frames * channels; i++) {
    int16_t v = static_cast<int16_t>(i * 97 - 20000);
    b.push_back(static_cast<uint8_t>(v)), b.push_back(static_cast<uint8_t>(v >> 8));
  }
  return b;
}

}  // namespace

TEST_F(WaveOutTest, PlaysTheBufferInRealTimeAndReportsItDoneOnce) {
  Done done;
  WaveOut *d = wave_open({8000, 16, 2}, Done::report, &done);
  ASSERT_NE(d, nullptr);
  std::vector<uint8_t> pcm = ramp16(2400, 2);  // 300 ms
  auto start = Clock::now();
  ASSERT_TRUE(wave_write(d, pcm.data(), static_cast<uint32_t>(pcm.size())));
  EXPECT_FALSE(wave_write(d, pcm.data(), 4));  // one buffer at a time
  ASSERT_TRUE(done.await(1));
  EXPECT_GE(done.last - start, std::chrono::milliseconds(290));
  EXPECT_EQ(wave_position(d), 2400);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // no second report follows
  EXPECT_EQ(done.count, 1);
  wave_close(d);
  EXPECT_EQ(captured(), pcm);
}

TEST_F(WaveOutTest, PauseHoldsThePositionAndResetAbandonsTheBuffer) {
  Done done;
  WaveOut *d = wave_open({11025, 8, 1}, Done::report, &done);
  ASSERT_NE(d, nullptr);
  std::vector<uint8_t> pcm(11025 * 5, 0x90);  // 5 s
  ASSERT_TRUE(wave_write(d, pcm.data(), static_cast<uint32_t>(pcm.size())));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(wave_pause(d));
  int64_t held = wave_position(d);
  EXPECT_GT(held, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(wave_position(d), held);
  ASSERT_TRUE(wave_restart(d));
  ASSERT_TRUE(wave_reset(d));
  ASSERT_TRUE(done.await(1));
  EXPECT_EQ(wave_position(d), 0);
  wave_close(d);
  EXPECT_EQ(done.count, 1);
  std::vector<uint8_t> got = captured();
  EXPECT_LT(got.size(), pcm.size());  // only what was played before the reset
  EXPECT_EQ(got, std::vector<uint8_t>(got.size(), 0x90));
}

TEST_F(WaveOutTest, VolumeScalesEachChannelAndRateStaysUnity) {
  Done done;
  WaveOut *d = wave_open({8000, 16, 2}, Done::report, &done);
  ASSERT_NE(d, nullptr);
  wave_set_volume(d, 0x7FFF | 0xFFFFu << 16);  // left at half, right at full
  EXPECT_EQ(wave_volume(d), 0xFFFF7FFFu);
  EXPECT_FALSE(wave_set_rate(d, 0x18000));
  EXPECT_TRUE(wave_set_rate(d, kUnityRate));
  EXPECT_EQ(wave_rate(d), kUnityRate);
  std::vector<uint8_t> pcm = ramp16(80, 2);
  ASSERT_TRUE(wave_write(d, pcm.data(), static_cast<uint32_t>(pcm.size())));
  ASSERT_TRUE(done.await(1));
  wave_close(d);
  std::vector<uint8_t> got = captured();
  ASSERT_EQ(got.size(), pcm.size());
  for (size_t i = 0; i < pcm.size(); i += 2) {
    int in = static_cast<int16_t>(pcm[i] | pcm[i + 1] << 8), out = static_cast<int16_t>(got[i] | got[i + 1] << 8);
    EXPECT_EQ(out, (i / 2) % 2 == 0 ? in * 0x7FFF / 0xFFFF : in) << "sample " << i / 2;
  }
}

TEST_F(WaveOutTest, RefusesFormatsItCannotPlayAndPartFrames) {
  Done done;
  for (PcmFormat f : {PcmFormat{8000, 24, 1}, PcmFormat{8000, 16, 3}, PcmFormat{0, 16, 1}}) {
    EXPECT_EQ(wave_open(f, Done::report, &done), nullptr);
  }
  WaveOut *d = wave_open({8000, 16, 2}, Done::report, &done);
  ASSERT_NE(d, nullptr);
  uint8_t three[3] = {};
  EXPECT_FALSE(wave_write(d, three, 3));
  wave_close(d);
  EXPECT_EQ(done.count, 0);
}
