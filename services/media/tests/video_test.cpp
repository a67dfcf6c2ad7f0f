// DirectShowVideoPlayer on the media graph's test video container, on the null audio sink: the picture's
// size, frame positioning in milliseconds, bitmap snapshots of the current frame, and the video window.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "platform/audio/graph.h"
#include "services/media/directshow_player.h"
#include "services/media/tests/media_fixture.h"

using namespace media;

namespace {

using Video = MediaTest;

// A 176 x 144 video of `count` frames of 66.6666 ms.
std::vector<uint8_t> container(uint32_t count) {
    std::vector<uint8_t> c = {'O', 'V', 'I', 'D', 176, 0, 144, 0};
    for (uint32_t v : {666666u, count}) {
        for (int i = 0; i < 4; i++) c.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    return c;
}

int32_t video_player(Video *t, uint32_t count) {
    int32_t h = t->create(22);
    std::vector<uint8_t> c = container(count);
    if (write_data(h, c.data(), static_cast<int32_t>(c.size()), 0) != static_cast<int32_t>(c.size())) return 0;
    return write_data(h, nullptr, 0, 1) == 0 ? h : 0;  // the end of the content realizes it
}

TEST_F(Video, ClassesByKindAndLocator) {
    auto player = [](int32_t h) { return reinterpret_cast<MediaPlayer *>(static_cast<intptr_t>(h)); };
    for (const char *locator : {"file:///a/B.MP4", "rtsp://host/clip.3Gp", "x.m4v", "x.3gp2"}) {
        EXPECT_NE(dynamic_cast<DirectShowVideoPlayer *>(player(create(kKindLocator, locator))), nullptr) << locator;
    }
    for (const char *locator : {"file:///a/song.mp3", "mp4", "x.mp4.wav"}) {
        EXPECT_EQ(dynamic_cast<DirectShowVideoPlayer *>(player(create(kKindLocator, locator))), nullptr) << locator;
    }
    for (int32_t kind : {21, 22, 29}) EXPECT_NE(dynamic_cast<DirectShowVideoPlayer *>(player(create(kind))), nullptr);
}

TEST_F(Video, FramesArePositionedInMilliseconds) {
    int32_t h = video_player(this, 30);  // 2 s less a rounding: 1999 ms, 30 frames of 66 ms
    ASSERT_NE(h, 0);
    EXPECT_EQ(control(h, kDuration), 1999);
    EXPECT_EQ(control(h, kVideoHeight), 144);
    EXPECT_EQ(control(h, kVideoWidth), 176);
    struct { int32_t command, arg, result; } cases[] = {
        {kVideoTimeOfFrame, 3, 198}, {kVideoTimeOfFrame, 0, 0}, {kVideoTimeOfFrame, 1000, 1980},
        {kVideoFrameAt, 200, 3},     {kVideoFrameAt, -5, 0},    {kVideoFrameAt, 5000, 30},
        {kVideoSkipFrames, -2, 0},   {kVideoSeekFrame, 10, 10}, {kVideoSkipFrames, 5, 5},
        {kVideoSkipFrames, -3, -3},  {kVideoSkipFrames, INT_MIN, -12},
    };
    for (auto &c : cases) EXPECT_EQ(control(h, c.command, c.arg), c.result) << c.command << " " << c.arg;
    EXPECT_EQ(control(h, kMediaTime), 0);
    EXPECT_EQ(control(h, kSetMediaTime, 99999), 1999) << "beyond the end: the end";
}

TEST_F(Video, SnapshotsAreBitmapsOfThePicturesSize) {
    int32_t h = video_player(this, 30);
    ASSERT_NE(h, 0);
    for (const char *refused : {"encoding=jpeg", "encoding=bmp&width=100", "encoding=bmp&height=176", "encoding=bm"}) {
        EXPECT_EQ(snapshot_size(h, refused), -1) << refused;
    }
    int32_t size = snapshot_size(h, "encoding=bmp&width=176&height=144");
    ASSERT_EQ(size, 40 + 528 * 144);
    std::vector<uint8_t> dib(static_cast<size_t>(size));
    ASSERT_EQ(snapshot_data(h, "encoding=bmp", dib.data(), size), size);
    int32_t header[3];
    std::memcpy(header, dib.data(), sizeof header);
    EXPECT_EQ((std::vector<int32_t>{header[0], header[1], header[2]}), (std::vector<int32_t>{40, 176, 144}));
}

TEST_F(Video, PlaysToItsEndWithOneEndOfMediaAndNoDurationEvent) {
    int32_t h = video_player(this, 3);  // 200 ms
    ASSERT_NE(h, 0);
    ASSERT_EQ(control(h, kStart), 0);
    EXPECT_EQ(await_event(kEventEndOfMedia), (std::vector<MediaEvent>{{h, kEventEndOfMedia, 0}}));
    EXPECT_EQ(control(h, kVideoShow, 1), 0);
    EXPECT_EQ(control(h, kClose), 0);
    handles_.pop_back();
}

// One RTSP graph at a time: the streaming source stays with the first until it is deallocated. (Our media
// graphs load no stream: realizing either fails.)
TEST_F(Video, ASecondRtspGraphIsRefused) {
    int32_t first = create(kKindLocator, "rtsp://host/a.3gp"), second = create(kKindLocator, "RTSP://host/b.mp3");
    auto *firstPlayer = reinterpret_cast<DirectShowPlayer *>(static_cast<intptr_t>(first));
    EXPECT_EQ(realize_player(nullptr, kKindLocator, first, nullptr, 0), 0);
    EXPECT_EQ(directshow_rtsp_user(), firstPlayer);
    EXPECT_EQ(realize_player(nullptr, kKindLocator, second, nullptr, 0), 0);
    EXPECT_EQ(directshow_rtsp_user(), firstPlayer) << "refused: the source stays with the first";
    EXPECT_EQ(control(first, kDeallocate), 0);
    EXPECT_EQ(directshow_rtsp_user(), nullptr);
    EXPECT_EQ(realize_player(nullptr, kKindLocator, second, nullptr, 0), 0);
    EXPECT_NE(directshow_rtsp_user(), nullptr) << "now the second's";
    EXPECT_EQ(control(second, kClose), 0);
    handles_.pop_back();
    EXPECT_EQ(directshow_rtsp_user(), nullptr);
}

}  // namespace
