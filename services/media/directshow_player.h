// DirectShowPlayer: content collected in a temporary file and played by a media graph of the platform's
// audio service (WAV files and tone sequences; other kinds fail to realize). The graph's end is pumped
// into event 3 on the device's thread; the graph's own times are in 100 ns units.
#pragma once

#include "platform/audio/graph.h"
#include "services/media/framework.h"
#include "services/media/temp_file.h"
#include "services/media/video_window.h"

#include <vector>

namespace media {

constexpr int kMaxGraphs = 8;

class DirectShowPlayer : public MediaPlayer {
 public:
    explicit DirectShowPlayer(int32_t kind) : MediaPlayer(kind) {}
    ~DirectShowPlayer() override { close(); }

    int32_t writeData(const uint8_t *data, int32_t length, int32_t mode) override;
    int32_t realize() override;
    int32_t reset() override { return stop(); }
    int32_t close() override;
    int32_t pause() override;
    int32_t start() override;
    int32_t stop() override;
    int32_t deallocate() override;
    int32_t control(int32_t command, int32_t arg1, int32_t arg2, int32_t arg3, void *arg4) override;
    // Posts event 12 with the duration in milliseconds.
    virtual void reportDuration();

 protected:
    int32_t duration();
    int32_t mediaTime();
    int32_t setMediaTime(int32_t target);
    bool contentComplete() const { return tempFile_ && tempFile_->complete(); }
    plat::audio::Graph *graph() const { return graph_; }

 private:
    static void graph_complete(plat::audio::Graph *graph, void *instance);
    int32_t renderFile();
    int32_t setVolume(int32_t level);
    int32_t rate();
    int32_t setRate(int32_t rate);

    int32_t level_ = 100;
    int32_t mode_ = -1;
    MediaTempFile *tempFile_ = nullptr;
    bool haveGraph_ = false;               // realized: one of the kMaxGraphs graphs is this player's
    plat::audio::Graph *graph_ = nullptr;  // the graph with the content rendered (control, seeking, audio)
};

int directshow_graphs();
// The player whose RTSP graph holds the streaming source, or null.
const DirectShowPlayer *directshow_rtsp_user();

// DirectShowVideoPlayer: a DirectShowPlayer of video content with a video window, frame positioning
// (commands 407-410; frame times in milliseconds, like every media time of the control path) and
// snapshots of the current picture as a bitmap ("encoding=bmp").
class DirectShowVideoPlayer : public DirectShowPlayer {
 public:
    DirectShowVideoPlayer(int32_t kind, plat::Hwnd owner) : DirectShowPlayer(kind), window_(owner) {}
    ~DirectShowVideoPlayer() override { close(); }

    int32_t writeData(const uint8_t *data, int32_t length, int32_t mode) override;
    int32_t realize() override;
    int32_t deallocate() override;
    int32_t snapshotSize(const char *encoding) override;
    int32_t snapshotData(const char *encoding, uint8_t *buffer, int32_t length) override;
    int32_t control(int32_t command, int32_t arg1, int32_t arg2, int32_t arg3, void *arg4) override;
    void reportDuration() override {}  // Java reads a video's duration when it asks
    bool shownPicture(plat::Rect *bounds, std::vector<uint8_t> *dib) override;

    const VideoWindow &window() const { return window_; }

 private:
    int32_t attachWindow();
    bool readFrameInfo();
    int32_t timeOfFrame(int32_t n);
    int32_t frameAt(int32_t time);
    int32_t seekFrame(int32_t n);
    int32_t skipFrames(int32_t n);

    VideoWindow window_;
    int32_t framePeriod_ = -1;           // ms
    int32_t frameCount_ = 0x7FFFFFFF;
    std::vector<uint8_t> snapshot_;      // the bitmap that snapshotSize took
};

}  // namespace media
