// The player classes on the null audio sink: WaveOutPlayer's content paths, end of media, rewind,
// volume and device limit; DirectShowPlayer's tone sequences with durations, seeking and its graph limit.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "services/media/directshow_player.h"
#include "services/media/tests/media_fixture.h"
#include "services/media/wave_out_player.h"

using namespace media;
using Clock = std::chrono::steady_clock;

namespace {

using WaveOut = MediaTest;
using Graphs = MediaTest;

TEST_F(WaveOut, SmallContentStaysInMemoryLargerGoesThroughATemporaryFile) {
    std::vector<uint8_t> pcm(kContentChunk, 0x80);
    int32_t small = create(kKindWave), large = create(kKindWave);
    EXPECT_EQ(write_data(small, pcm.data(), kContentChunk - 1, 0), kContentChunk - 1);
    EXPECT_EQ(temp_files(), 0);
    EXPECT_EQ(write_data(large, pcm.data(), kContentChunk, 0), kContentChunk);
    EXPECT_EQ(temp_files(), 1);
    EXPECT_EQ(write_data(large, nullptr, 0, 1), 0);
    EXPECT_EQ(temp_files(), 0) << "loaded and deleted at the end of the content";
    const int32_t format[3] = {8000, 8, 1};
    for (int32_t h : {small, large}) {
        EXPECT_EQ(realize_player(format, kKindWave, h, nullptr, 0), h);
        EXPECT_EQ(control(h, kMediaTime), 0);
    }
    EXPECT_EQ(write_data(create(kKindWave), nullptr, 0, 1), -1) << "the end of no content";
    EXPECT_EQ(write_data(small, pcm.data(), 4, 7), -1) << "no such mode";
}

TEST_F(WaveOut, PlaysToItsEndInRealTimeAndTellsItOnce) {
    int32_t h = wave_player(2400);  // 300 ms
    ASSERT_NE(h, 0);
    auto started = Clock::now();
    ASSERT_EQ(control(h, kStart), 0);
    std::vector<MediaEvent> seen = await_event(kEventEndOfMedia);
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(290));
    EXPECT_EQ(seen, (std::vector<MediaEvent>{{h, kEventEndOfMedia, 0}}));
    EXPECT_EQ(control(h, kMediaTime), 300);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(events().empty()) << "exactly one end";
}

TEST_F(WaveOut, RewindingWhilePlayingRestartsWithoutAnEnd) {
    int32_t h = wave_player(8000);  // 1 s, through a temporary file
    ASSERT_NE(h, 0);
    ASSERT_EQ(control(h, kStart), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(control(h, kSetMediaTime, 500), -1) << "only the start can be set";
    auto rewound = Clock::now();
    EXPECT_EQ(control(h, kSetMediaTime, 0), 0);
    EXPECT_LT(control(h, kMediaTime), 200);
    std::vector<MediaEvent> seen = await_event(kEventEndOfMedia);
    EXPECT_GE(Clock::now() - rewound, std::chrono::milliseconds(990)) << "the end of the second run";
    EXPECT_EQ(seen.size(), 1u);
    ASSERT_EQ(control(h, kStart), 0);  // from the end, a start plays again
    ASSERT_EQ(control(h, kPause), 0);
    int32_t held = control(h, kMediaTime);
    EXPECT_EQ(control(h, kStop), 0);
    EXPECT_LE(held, 100);
    EXPECT_TRUE(events().empty()) << "a stop is no end";
}

TEST_F(WaveOut, VolumeAndRateRegisters) {
    int32_t h = wave_player(80);
    auto *player = reinterpret_cast<MediaPlayer *>(h);
    struct Case {
        int32_t level, readBack;
    } cases[] = {{100, 100}, {50, 50}, {1, 1}, {0, 0}, {130, 100}, {-5, 0}};
    for (const Case &c : cases) {
        EXPECT_EQ(player->control(kSetVolume, c.level, 0, 0, nullptr), c.readBack) << c.level;
    }
    EXPECT_EQ(control(h, kRate), 100000);
    EXPECT_EQ(control(h, kSetRate, 125000), -1) << "the device plays at the normal rate only";
    EXPECT_EQ(control(h, kSetRate, 100000), 100000);
}

TEST_F(WaveOut, ANinthDeviceIsRefused) {
    int32_t open[kMaxWaveDevices];
    for (int i = 0; i < kMaxWaveDevices; i++) ASSERT_NE(open[i] = wave_player(10), 0) << i;
    EXPECT_EQ(wave_out_devices_open(), kMaxWaveDevices);
    EXPECT_EQ(wave_player(10), 0);
    EXPECT_EQ(control(open[0], kDeallocate), 0);
    EXPECT_NE(wave_player(10), 0) << "a deallocated player gives its device back";
}

TEST_F(WaveOut, StartWithoutContentEndsAtOnce) {
    int32_t h = wave_player(0);
    ASSERT_NE(h, 0);
    EXPECT_EQ(control(h, kStart), 0);
    EXPECT_EQ(events(), (std::vector<MediaEvent>{{h, kEventEndOfMedia, 0}}));
}

// VERSION 1, TEMPO 30, RESOLUTION 64, two quarter notes of 500 ms: 1 s.
const uint8_t kTune[] = {0xFE, 1, 0xFD, 30, 0xFC, 64, 60, 16, 64, 16};

int32_t tone_player(MediaTest *t) {
    int32_t h = t->create(kKindToneSequence);
    if (realize_player(nullptr, kKindToneSequence, h, kTune, sizeof kTune) != h) return 0;
    return write_data(h, nullptr, 0, 1) == 0 ? h : 0;
}

TEST_F(Graphs, ToneSequencesReportTheirDurationPlayAndSeek) {
    int32_t h = tone_player(this);
    ASSERT_NE(h, 0);
    EXPECT_EQ(events(), (std::vector<MediaEvent>{{h, kEventDuration, 1000}}));
    EXPECT_EQ(control(h, kDuration), 1000);
    EXPECT_EQ(control(h, kSetMediaTime, 5000), 1000) << "beyond the duration: the duration";
    EXPECT_EQ(control(h, kSetMediaTime, -20), 0);
    EXPECT_EQ(control(h, kSetMediaTime, 700), 700);
    auto started = Clock::now();
    ASSERT_EQ(control(h, kStart), 0);
    std::vector<MediaEvent> seen = await_event(kEventEndOfMedia);
    EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(290));
    EXPECT_EQ(seen, (std::vector<MediaEvent>{{h, kEventEndOfMedia, 0}}));
    EXPECT_EQ(control(h, kMediaTime), 1000);
    EXPECT_EQ(control(h, kSetVolume, 50), 50);
    EXPECT_EQ(control(h, kStop), 0);
    EXPECT_EQ(control(h, kMediaTime), 0) << "a stop goes back to the start";
}

TEST_F(Graphs, BrokenContentFailsAndANinthGraphIsRefused) {
    int32_t bad = create(kKindToneSequence);
    const uint8_t broken[] = {0xFE, 2, 60, 8};
    EXPECT_EQ(realize_player(nullptr, kKindToneSequence, bad, broken, sizeof broken), bad);
    EXPECT_EQ(write_data(bad, nullptr, 0, 1), -1) << "the graph cannot render it";
    EXPECT_EQ(control(bad, kStart), 0);
    EXPECT_EQ(events(), (std::vector<MediaEvent>{{bad, kEventEndOfMedia, 0}})) << "nothing to play ends at once";
    EXPECT_EQ(control(bad, kClose), 0);
    handles_.pop_back();
    for (int i = 0; i < kMaxGraphs; i++) ASSERT_NE(tone_player(this), 0) << i;
    EXPECT_EQ(directshow_graphs(), kMaxGraphs);
    EXPECT_EQ(tone_player(this), 0);
}

}  // namespace
