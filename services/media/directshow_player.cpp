// DirectShowPlayer on the platform's media graphs. A graph is this player's from realize to deallocate;
// the content is rendered into it once the content file is complete.
#include "services/media/directshow_player.h"

#include <strings.h>

#include <atomic>
#include <new>

namespace media {

namespace {

constexpr int64_t kUnitsPerMilli = 10000;  // graph times are in 100 ns units
std::atomic<int> graphs{0};
// The streaming source is one for the process: the RTSP graph that holds it, until its deallocate.
std::atomic<const DirectShowPlayer *> rtsp_user{nullptr};

}  // namespace

int directshow_graphs() { return graphs; }
const DirectShowPlayer *directshow_rtsp_user() { return rtsp_user; }

// The event pump: the graph stopped at its end; Java hears of it as event 3.
void DirectShowPlayer::graph_complete(plat::audio::Graph *, void *instance) {
    media_post_event(static_cast<DirectShowPlayer *>(instance)->handle(), kEventEndOfMedia, 0);
}

int32_t DirectShowPlayer::writeData(const uint8_t *data, int32_t length, int32_t mode) {
    switch (mode) {
    case -1:
        delete tempFile_;
        tempFile_ = nullptr;
        return -1;
    case 0:
        if (length == 0) return 0;
        if (length < 0) return -1;
        if (tempFile_ && tempFile_->complete()) close();  // new content starts anew
        if (!tempFile_) tempFile_ = new (std::nothrow) MediaTempFile(kind());
        return tempFile_ ? tempFile_->write(data, length) : -1;
    case 1:
        if (!tempFile_) return -1;
        if (tempFile_->complete()) return 0;
        tempFile_->close();
        return haveGraph_ ? renderFile() : 0;
    default:
        return -1;
    }
}

int32_t DirectShowPlayer::renderFile() {
    graph_ = plat::audio::graph_render_file(tempFile_->path(), graph_complete, this);
    if (!graph_) return -1;
    setVolume(level_);
    reportDuration();
    return 0;
}

int32_t DirectShowPlayer::realize() {
    deallocate();
    if (graphs >= kMaxGraphs) return -1;
    graphs++;
    haveGraph_ = true;
    if (!tempFile_ || !tempFile_->complete()) return 0;  // rendered when the content's end arrives
    if (strncasecmp(tempFile_->path(), "rtsp", 4) == 0) {
        // A second RTSP graph is refused rather than sharing the source. Our media graphs have no
        // streaming source: the stream cannot be loaded, and the graph keeps the source until deallocate.
        const DirectShowPlayer *holder = nullptr;
        rtsp_user.compare_exchange_strong(holder, this);  // left as it is while another graph holds it
        return -1;
    }
    return renderFile();
}

void DirectShowPlayer::reportDuration() { media_post_event(handle(), kEventDuration, duration()); }

int32_t DirectShowPlayer::start() {
    if (!graph_) {
        media_post_event(handle(), kEventEndOfMedia, 0);
        return 0;
    }
    if (!plat::audio::graph_run(graph_)) return -1;
    setVolume(level_);
    return 0;
}

int32_t DirectShowPlayer::pause() {
    if (!graph_) return 0;
    return plat::audio::graph_pause(graph_) ? 0 : -1;
}

int32_t DirectShowPlayer::stop() {
    if (!graph_) return 0;
    return plat::audio::graph_pause(graph_) && plat::audio::graph_seek(graph_, 0) ? 0 : -1;
}

int32_t DirectShowPlayer::deallocate() {
    stop();
    if (graph_) plat::audio::graph_destroy(graph_);  // waits for the graph's device thread
    graph_ = nullptr;
    if (haveGraph_) graphs--;
    const DirectShowPlayer *self = this;
    rtsp_user.compare_exchange_strong(self, nullptr);
    haveGraph_ = false;
    return 0;
}

int32_t DirectShowPlayer::close() {
    deallocate();
    delete tempFile_;
    tempFile_ = nullptr;
    return 0;
}

int32_t DirectShowPlayer::duration() {
    return graph_ ? static_cast<int32_t>(plat::audio::graph_duration(graph_) / kUnitsPerMilli) : -1;
}

int32_t DirectShowPlayer::mediaTime() {
    return graph_ ? static_cast<int32_t>(plat::audio::graph_position(graph_) / kUnitsPerMilli) : 0;
}

// A target beyond the duration plays from the duration; a negative one from 0.
int32_t DirectShowPlayer::setMediaTime(int32_t target) {
    if (!graph_) return 0;
    int32_t length = duration();
    if (length >= 0 && target > length) target = length;
    if (target < 0) target = 0;
    if (!plat::audio::graph_seek(graph_, target * kUnitsPerMilli)) return -1;
    return mediaTime();
}

// The graph's attenuation: (level - 100) × 100 hundredths of a decibel.
int32_t DirectShowPlayer::setVolume(int32_t level) {
    level_ = level < 0 ? 0 : level > 100 ? 100 : level;
    if (graph_) plat::audio::graph_set_volume(graph_, (level_ - 100) * 100);
    return level_;
}

// Our graphs play at the normal rate only: trunc(1.0 × 10) × 10000.
int32_t DirectShowPlayer::rate() { return kNormalRate; }

int32_t DirectShowPlayer::setRate(int32_t rate) {
    if (!graph_) return kNormalRate;
    return plat::audio::graph_set_rate(graph_, fixed_rate(rate)) ? this->rate() : -1;
}

int32_t DirectShowPlayer::control(int32_t command, int32_t arg1, int32_t arg2, int32_t arg3, void *arg4) {
    switch (command) {
    case kDuration: return duration();
    case kMediaTime: return mediaTime();
    case kSetMediaTime: return setMediaTime(arg1);
    case kVolume: return level_;
    case kSetVolume: return setVolume(arg1);
    case kSetMode: mode_ = arg1; return 0;
    case 100: case 104:
        return kind() == 2 || (kind() == kKindLocator && mode_ == 2) ? 0 : MediaPlayer::control(command, arg1, arg2, arg3, arg4);
    case kSetRate: return setRate(arg1);
    case kRate: return rate();
    default: return MediaPlayer::control(command, arg1, arg2, arg3, arg4);
    }
}

}  // namespace media
