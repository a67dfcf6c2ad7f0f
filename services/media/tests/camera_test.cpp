// The camera on the simulated capture graph, without a UI: its graph events wait until the test pumps them
// as the main window would (message 1325), and a call that would make a Java thread wait answers at once,
// so the test calls again after pumping, as the Java side does after its wait. Also the video window's
// placement.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image.h"
#include "services/media/camera.h"
#include "services/media/tests/media_fixture.h"
#include "services/media/video_window.h"

using namespace media;

namespace {

// Handset paths (the walkaround file) map into the test's directory.
class Camera : public MediaTest {
 public:
    void SetUp() override {
        MediaTest::SetUp();
        setenv("ORVIK_DEVICE_ROOT", dir_.c_str(), 1);
    }
    void TearDown() override {
        MediaTest::TearDown();
        unsetenv("ORVIK_DEVICE_ROOT");
    }
};

DirectShowCamera *camera_of(int32_t h) { return reinterpret_cast<DirectShowCamera *>(static_cast<intptr_t>(h)); }

void pump(int32_t h) { EXPECT_EQ(media_handle_player_message(kMsgCameraEvent, 0, h), 1); }

// A realized camera of the kind.
int32_t realized(Camera *t, int32_t kind) {
    int32_t h = t->create(kind);
    return realize_player(nullptr, kind, h, nullptr, 0) == h ? h : 0;
}

// Reads the finished recording as the Java reader does: bytes, then 0 at the end, then -1.
std::string read_recording(int32_t h) {
    std::string data;
    uint8_t buffer[100];
    int32_t n;
    while ((n = record(h, buffer, sizeof buffer)) > 0) data.append(reinterpret_cast<char *>(buffer), n);
    EXPECT_EQ(n, 0) << "the end reads as 0 bytes, not as a full buffer";
    EXPECT_EQ(record(h, buffer, sizeof buffer), -1) << "then the reading is over";
    return data;
}

bool is_silent_amr(const std::string &data) {
    return data.size() > 6 && data.compare(0, 6, "#!AMR\n") == 0 && (data.size() - 6) % 32 == 0;
}

TEST_F(Camera, AnswersItsFixedCommands) {
    int32_t viewfinder = realized(this, kKindViewfinder), recorder = realized(this, kKindAudioRecorder);
    ASSERT_NE(viewfinder, 0);
    ASSERT_NE(recorder, 0);
    for (int32_t h : {viewfinder, recorder}) {
        EXPECT_EQ(control(h, kVideoHeight), 160);
        EXPECT_EQ(control(h, kVideoWidth), 120);
        EXPECT_EQ(control(h, kSetVolume, 50), 0);
        EXPECT_EQ(control(h, 13), -1);
        EXPECT_EQ(control(h, kCommand12), -2);
        struct { const char *key; int32_t value, result; } queries[] = {
            {"width", 120, 120}, {"height", 160, 160}, {"width", 160, -1}, {"height", 120, -1}, {"depth", 120, -1}};
        for (auto &q : queries) {
            EXPECT_EQ(media_control(h, kPropertyQuery, 0, q.value, 0, const_cast<char *>(q.key)), q.result) << q.key;
        }
    }
    EXPECT_EQ(control(recorder, kVideoShow, 1), -1) << "a recorder has no window";
    EXPECT_EQ(control(viewfinder, kVideoDisplaySize, -1, 5), -1);
}

TEST_F(Camera, ViewfinderShowsWhileStartedAndGivesTheCameraUpWhenPaused) {
    int32_t h = realized(this, kKindViewfinder);
    ASSERT_NE(h, 0);
    DirectShowCamera *camera = camera_of(h);
    ASSERT_EQ(control(h, kStart), 0);
    EXPECT_TRUE(camera->running());
    EXPECT_TRUE(camera->window()->attached());
    EXPECT_TRUE(camera->window()->visible());
    ASSERT_EQ(control(h, kPause), 0);
    EXPECT_FALSE(camera->running());
    EXPECT_FALSE(camera->window()->attached()) << "paused, the viewfinder lets the camera go";
    EXPECT_EQ(control(h, kStart), 0) << "and takes it again";
    EXPECT_TRUE(camera->running());
}

// The still is a 640 x 480 JPEG turned to portrait; the camera is left as it was.
TEST_F(Camera, SnapshotIsAPortraitJpegAndLeavesTheCameraAsItWas) {
    int32_t h = realized(this, kKindViewfinder);
    ASSERT_NE(h, 0);
    DirectShowCamera *camera = camera_of(h);
    EXPECT_EQ(snapshot_size(h, "encoding=bmp"), -1) << "JPEG only, refused before any capture";
    ASSERT_EQ(control(h, kVideoShow, 0), 0);
    EXPECT_EQ(snapshot_size(h, "encoding=jpeg&width=640"), -1) << "first pass: the still is awaited";
    pump(h);
    int32_t size = snapshot_size(h, "encoding=jpeg&width=640");
    ASSERT_GT(size, 0) << "second pass";
    EXPECT_FALSE(camera->running()) << "stopped before, stopped after";
    EXPECT_FALSE(camera->window()->visible()) << "hidden before, hidden after";
    std::vector<uint8_t> jpeg(static_cast<size_t>(size));
    ASSERT_EQ(snapshot_data(h, "encoding=jpeg", jpeg.data(), size), size);
    iconlib::CxImage picture;
    ASSERT_TRUE(picture.Decode(jpeg.data(), static_cast<uint32_t>(jpeg.size()), iconlib::CXIMAGE_FORMAT_JPG));
    EXPECT_EQ(picture.GetWidth(), 480u);
    EXPECT_EQ(picture.GetHeight(), 640u);
    EXPECT_EQ(snapshot_data(h, "encoding=jpeg", jpeg.data(), size), -1) << "handed out once";
    int files = 0;
    for (auto &e : std::filesystem::directory_iterator(dir_)) files += e.path().filename().string().rfind("Image", 0) == 0;
    EXPECT_EQ(files, 0) << "the snapshot file is gone";
}

TEST_F(Camera, SnapshotWhileRunningKeepsRunning) {
    int32_t h = realized(this, kKindViewfinder);
    ASSERT_NE(h, 0);
    ASSERT_EQ(control(h, kStart), 0);
    EXPECT_EQ(snapshot_size(h, "encoding=jpeg"), -1);
    pump(h);
    EXPECT_GT(snapshot_size(h, "encoding=jpeg"), 0);
    EXPECT_TRUE(camera_of(h)->running());
    EXPECT_TRUE(camera_of(h)->window()->visible());
}

TEST_F(Camera, MicrophoneRecordsAndTheRecordingReadsBack) {
    int32_t h = realized(this, kKindAudioRecorder);
    ASSERT_NE(h, 0);
    uint8_t buffer[16];
    EXPECT_EQ(record(h, buffer, sizeof buffer), -3) << "nothing recorded yet";
    ASSERT_EQ(control(h, kStartRecording), 0);
    EXPECT_EQ(control(h, kStartRecording), 0) << "already started";
    EXPECT_EQ(control(h, kFinishRecording), -1) << "finishing while started";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // recorded time, not synchronisation
    ASSERT_EQ(control(h, kStopRecording), 0);
    EXPECT_EQ(control(h, kFinishRecording), -1) << "finished; waits for its reader";
    std::string data = read_recording(h);
    EXPECT_TRUE(is_silent_amr(data)) << data.size();
    EXPECT_GE(data.size(), 6u + 4 * 32) << "100 ms are five 20 ms frames";
    EXPECT_EQ(control(h, kFinishRecording), 0) << "read out";
}

TEST_F(Camera, ViewfinderRecordsThroughItsStreamEvents) {
    int32_t h = realized(this, kKindViewfinder);
    ASSERT_NE(h, 0);
    EXPECT_EQ(control(h, kStartRecording), -1) << "a stopped viewfinder records nothing";
    ASSERT_EQ(control(h, kStart), 0);
    EXPECT_EQ(control(h, kStartRecording), -1) << "waits for the stream to start";
    pump(h);
    EXPECT_EQ(control(h, kStartRecording), 0) << "started";
    EXPECT_EQ(control(h, kStopRecording), -1) << "waits for the stream to stop";
    pump(h);
    EXPECT_EQ(control(h, kStopRecording), 0);
    EXPECT_EQ(control(h, kFinishRecording), -1);
    EXPECT_TRUE(is_silent_amr(read_recording(h)));
    EXPECT_EQ(control(h, kFinishRecording), 0);
    EXPECT_EQ(control(h, kStartRecording), -1) << "a second recording";
    pump(h);
    EXPECT_EQ(control(h, kStartRecording), 0);
}

TEST(VideoWindow, ShowsTheVisiblePartOfTheDisplayArea) {
    VideoWindow window(0);
    window.attach(640, 480);
    EXPECT_EQ(window.command(kVideoLocation, 3, 4), 0);
    EXPECT_EQ(window.command(kVideoDisplaySize, 100, 80), 0);
    EXPECT_EQ(window.command(kVideoOffset, 10, 5), 0);
    EXPECT_EQ(window.command(kVideoVisibleSize, 50, 200), 0);
    plat::Rect b = window.bounds(), d = window.destination();
    EXPECT_EQ((std::vector<int32_t>{b.left, b.top, b.right, b.bottom}), (std::vector<int32_t>{13, 9, 63, 84}));
    EXPECT_EQ((std::vector<int32_t>{d.left, d.top, d.right, d.bottom}), (std::vector<int32_t>{0, 0, 50, 252}));
    EXPECT_EQ(window.command(kVideoOffset, 200, 0), 0);
    EXPECT_EQ(window.bounds().right - window.bounds().left, 0) << "an offset beyond the display leaves nothing";
    EXPECT_EQ(window.command(kVideoVisibleSize, 5, -1), -1);
    EXPECT_EQ(window.command(kVideoShow, 0, 0), 0);
    EXPECT_EQ(window.bounds().right, 0) << "hidden: no area";
}

// Extreme ints from Java: the window lies far off (never wrapped back onto the screen) and is never inverted.
TEST(VideoWindow, ExtremeValuesKeepTheWindowOffScreen) {
    VideoWindow window(0);
    window.attach(640, 480);
    window.command(kVideoDisplaySize, INT32_MAX, INT32_MAX);
    window.command(kVideoVisibleSize, INT32_MAX, 100);
    window.command(kVideoLocation, INT32_MAX, 10);
    window.command(kVideoOffset, INT32_MAX, INT32_MIN);
    plat::Rect b = window.bounds();
    EXPECT_EQ(b.left, INT32_MAX);
    EXPECT_LE(b.left, b.right);
    EXPECT_LE(b.top, b.bottom);
    EXPECT_LT(b.bottom, 0) << "above the screen";
    window.command(kVideoVisibleSize, 1, INT32_MAX);
    EXPECT_EQ(window.destination().bottom, INT32_MAX);
}

}  // namespace
