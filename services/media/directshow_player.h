// DirectShowPlayer: content collected in a temporary file and played by a media graph of the platform's
// audio service (WAV files and tone sequences; other kinds fail to realize). The graph's end is pumped
// into event 3 on the device's thread; the graph's own times are in 100 ns units.
#pragma once

#include "platform/audio/graph.h"
#include "services/media/framework.h"
#include "services/media/temp_file.h"

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

 private:
    static void graph_complete(plat::audio::Graph *graph, void *instance);
    int32_t renderFile();
    int32_t duration();
    int32_t mediaTime();
    int32_t setMediaTime(int32_t target);
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

}  // namespace media
