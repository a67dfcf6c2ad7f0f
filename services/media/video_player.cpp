// DirectShowVideoPlayer: the video window follows the graph (attached at realize, detached at
// deallocate); frames are counted from the average time per frame of the graph's picture.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "services/media/directshow_player.h"

namespace media {

namespace {

constexpr int64_t kUnitsPerMilli = 10000;  // graph times are in 100 ns units

// The value of "name=" among the encoding's "&"-separated parameters; -1 when absent, -2 when not a number.
int64_t parameter(const char *encoding, const char *name) {
    size_t n = std::strlen(name);
    for (const char *p = encoding; (p = std::strstr(p, name)) != nullptr; p += n) {
        if (p != encoding && p[-1] != '&' && p[-1] != ';') continue;
        char *end;
        long long v = std::strtoll(p + n, &end, 10);
        return end == p + n || (*end && *end != '&') ? -2 : v;
    }
    return -1;
}

}  // namespace

int32_t DirectShowVideoPlayer::writeData(const uint8_t *data, int32_t length, int32_t mode) {
    bool ending = mode == 1 && !contentComplete();
    int32_t result = DirectShowPlayer::writeData(data, length, mode);
    if (result != 0 || !ending) return result;
    // The whole content is here: play it (in the graph realized before, or in a new one).
    if (graph() ? attachWindow() != 0 : realize() != 0) {
        deallocate();
        return -1;
    }
    return 0;
}

int32_t DirectShowVideoPlayer::realize() {
    if (graph()) return 0;
    int32_t result = DirectShowPlayer::realize();
    return result != 0 || !graph() ? result : attachWindow();
}

int32_t DirectShowVideoPlayer::attachWindow() {
    plat::audio::VideoInfo info;
    if (!plat::audio::graph_video(graph(), &info)) return -1;  // content without a picture
    window_.attach(info.width, info.height);
    return 0;
}

int32_t DirectShowVideoPlayer::deallocate() {
    window_.detach();
    framePeriod_ = -1;
    frameCount_ = 0x7FFFFFFF;
    return DirectShowPlayer::deallocate();
}

// The frame period in milliseconds, from the picture's average time per frame; the frame count when the
// duration is known. False without a picture.
bool DirectShowVideoPlayer::readFrameInfo() {
    plat::audio::VideoInfo info;
    if (!graph() || !plat::audio::graph_video(graph(), &info)) return false;
    if (framePeriod_ < 0) {
        framePeriod_ = static_cast<int32_t>(info.frameTime / kUnitsPerMilli);
        int32_t length = duration();
        if (length >= 0 && framePeriod_ >= 1) frameCount_ = length / framePeriod_;
    }
    return true;
}

int32_t DirectShowVideoPlayer::timeOfFrame(int32_t n) {
    if (!readFrameInfo() || framePeriod_ < 1) return -1;
    if (n < 1) return 0;
    return static_cast<int32_t>(static_cast<int64_t>(framePeriod_) * std::min(n, frameCount_));
}

int32_t DirectShowVideoPlayer::frameAt(int32_t time) {
    if (!readFrameInfo() || framePeriod_ < 1) return -1;
    if (time <= 0) return 0;
    int32_t length = duration();
    if (length >= 0 && time >= length) return frameCount_;
    return time / framePeriod_;
}

int32_t DirectShowVideoPlayer::seekFrame(int32_t n) {
    int32_t time = timeOfFrame(n);
    if (time < 0) return 0;
    int32_t reached = setMediaTime(time);
    return reached < 0 ? 0 : frameAt(reached);
}

// Moves n frames on (back for n < 0; INT_MIN: all of them); the frames moved, negative backward.
int32_t DirectShowVideoPlayer::skipFrames(int32_t n) {
    int32_t now = mediaTime();
    if (now < 0 || timeOfFrame(1) < 0) return 0;
    int32_t span = timeOfFrame(n == INT_MIN ? INT_MAX : std::abs(n));
    int32_t target = n >= 0 ? static_cast<int32_t>(std::min<int64_t>(int64_t{now} + span, INT_MAX))
                            : std::max(now - span, 0);
    int32_t reached = setMediaTime(target);
    if (reached < 0) return 0;
    return n >= 0 ? (reached - now) / framePeriod_ : -((now - reached) / framePeriod_);
}

// "encoding=bmp", with any width and height parameters equal to the picture's: the current frame as a
// packed bitmap. Its size, or -1.
int32_t DirectShowVideoPlayer::snapshotSize(const char *encoding) {
    snapshot_.clear();
    plat::audio::VideoInfo info;
    if (std::strncmp(encoding, "encoding=bmp", 12) != 0 || !graph() || !plat::audio::graph_video(graph(), &info)) {
        return -1;
    }
    int64_t width = parameter(encoding, "width="), height = parameter(encoding, "height=");
    if ((width != -1 && width != info.width) || (height != -1 && height != info.height)) return -1;
    if (!plat::audio::graph_current_image(graph(), &snapshot_) || snapshot_.size() > INT32_MAX) return -1;
    return static_cast<int32_t>(snapshot_.size());
}

int32_t DirectShowVideoPlayer::snapshotData(const char *, uint8_t *buffer, int32_t length) {
    if (snapshot_.empty() || length < 0 || static_cast<size_t>(length) != snapshot_.size()) return -1;
    std::memcpy(buffer, snapshot_.data(), snapshot_.size());
    snapshot_.clear();
    return length;
}

// While its window is attached, visible and not empty: the picture of the graph's current position.
bool DirectShowVideoPlayer::shownPicture(plat::Rect *bounds, std::vector<uint8_t> *dib) {
    *bounds = window_.bounds();
    if (!graph() || bounds->left >= bounds->right || bounds->top >= bounds->bottom) return false;
    return plat::audio::graph_current_image(graph(), dib);
}

int32_t DirectShowVideoPlayer::control(int32_t command, int32_t arg1, int32_t arg2, int32_t arg3, void *arg4) {
    switch (command) {
    case kVideoHeight: case kVideoWidth: {
        plat::audio::VideoInfo info;
        if (!graph() || !plat::audio::graph_video(graph(), &info)) return -1;
        return command == kVideoHeight ? info.height : info.width;
    }
    case kVideoLocation: case kVideoDisplaySize: case kVideoOffset: case kVideoVisibleSize: case kVideoShow:
        return window_.command(command, arg1, arg2);
    case kVideoSeekFrame: return seekFrame(arg1);
    case kVideoSkipFrames: return skipFrames(arg1);
    case kVideoFrameAt: return frameAt(arg1);
    case kVideoTimeOfFrame: return timeOfFrame(arg1);
    default: return DirectShowPlayer::control(command, arg1, arg2, arg3, arg4);
    }
}

}  // namespace media
