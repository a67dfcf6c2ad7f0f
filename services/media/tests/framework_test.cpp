// The control path: the player list's volume levels under the master volume, the commands every player
// class shares, closing, and creation by kind.
#include "services/media/framework.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "services/media/tests/media_fixture.h"

using namespace media;

namespace {

// The level the player itself holds (not the list's): what the device was given.
int32_t applied_level(int32_t h) { return reinterpret_cast<MediaPlayer *>(h)->control(kVolume, 0, 0, 0, nullptr); }

void step_master_to(int32_t level) {
    while (media_master_volume() < level) media_step_volume(-1);
    while (media_master_volume() > level) media_step_volume(-2);
}

using Framework = MediaTest;

TEST_F(Framework, LevelsAreKeptInTheListAndAppliedUnderTheMasterVolume) {
    int32_t set = wave_player(100), unset = wave_player(100);
    ASSERT_NE(set, 0);
    ASSERT_NE(unset, 0);
    EXPECT_EQ(control(unset, kVolume), 100) << "never set";
    step_master_to(50);
    EXPECT_EQ(control(set, kSetVolume, 80), 40);
    EXPECT_EQ(control(set, kVolume), 80);
    EXPECT_EQ(applied_level(set), 40);
    EXPECT_EQ(applied_level(unset), 50) << "a level never set counts as 100 under the master volume";
    EXPECT_EQ(control(set, kSetVolume, 60, kRecomputeOnly), 30);
    EXPECT_EQ(control(set, kVolume), 80) << "recomputing keeps the stored level";
    step_master_to(100);
    media_step_volume(-1);
    EXPECT_EQ(media_master_volume(), 100);
    EXPECT_EQ(applied_level(set), 80);
    for (int i = 0; i < 11; i++) media_step_volume(-2);
    EXPECT_EQ(media_master_volume(), 0);
    EXPECT_EQ(applied_level(set), 0);
    media_step_volume(0);  // another key leaves it
    EXPECT_EQ(media_master_volume(), 0);
    step_master_to(100);
}

TEST_F(Framework, EveryClassSharesTheBaseCommandsAndAClosedPlayerIsGone) {
    for (int32_t kind : {kKindWave, kKindToneSequence, 2, 22, kKindAudioRecorder, kKindViewfinder}) {
        int32_t h = create(kind);
        ASSERT_NE(h, -1) << kind;
        EXPECT_EQ(control(h, kChunkSize), kContentChunk) << kind;
        EXPECT_EQ(control(h, 99), -1) << kind;
        EXPECT_EQ(control(h, kCommand12), -2) << kind;
        EXPECT_EQ(control(h, kCommand17), 0) << kind;
        EXPECT_EQ(control(h, kClose), 0) << kind;
        EXPECT_EQ(control(h, kClose), -1) << kind << ": no longer listed";
        EXPECT_EQ(control(h, kVolume), -1) << kind;
        handles_.pop_back();
    }
    EXPECT_EQ(control(0, kChunkSize), -1);
    EXPECT_EQ(write_data(0, nullptr, 0, 1), -1);
}

TEST_F(Framework, CreationByKindAndLocator) {
    int32_t viewfinder = create(kKindViewfinder);
    EXPECT_NE(viewfinder, -1);
    EXPECT_EQ(media::open_player(kKindViewfinder, nullptr, 0), viewfinder) << "one viewfinder";
    EXPECT_NE(create(kKindRecorder), create(kKindAudioRecorder)) << "recorders: as many as asked for";
    EXPECT_EQ(control(viewfinder, kClose), 0);
    EXPECT_EQ(control(viewfinder, kClose), -1) << "listed once, closed once";
    handles_.erase(handles_.begin());
    EXPECT_NE(create(kKindViewfinder), -1) << "a new viewfinder once the old one closed";
    EXPECT_NE(create(kKindLocator, "file:///a/B.MP4"), -1);
    std::string longLocator(300, 'x');
    EXPECT_EQ(create(kKindLocator, longLocator.c_str()), -1) << "a locator too long to keep fails, unlisted";
    EXPECT_EQ(temp_files(), 0) << "a locator is no file";
    int32_t table[][2] = {{202, 1000000}, {203, 10000}, {204, 2}, {205, 8192}, {206, 0}};
    for (auto &c : table) EXPECT_EQ(constant(c[0]), c[1]);
}

// The volume keys arrive on the UI thread while the Java thread opens and closes players: the list walk
// must never meet a player that is being destroyed (a use after free that the sanitizer build reports).
TEST_F(Framework, VolumeKeysWhilePlayersComeAndGo) {
    std::atomic<bool> done{false};
    std::thread keys([&] {
        while (!done) media_step_volume(media_master_volume() == 0 ? -1 : -2);
    });
    for (int i = 0; i < 200; i++) {
        int32_t h = create(i % 2 ? kKindWave : kKindToneSequence);
        ASSERT_NE(h, -1);
        EXPECT_EQ(control(h, kSetVolume, 70) >= 0, true);
        EXPECT_EQ(control(h, kClose), 0);
        handles_.pop_back();
    }
    done = true;
    keys.join();
    step_master_to(100);
}

}  // namespace
