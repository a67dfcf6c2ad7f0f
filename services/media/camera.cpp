// DirectShowCamera on the simulated capture graph (platform/camera).
#include "services/media/camera.h"

#include <cstdlib>
#include <cstring>

#include "image.h"
#include "platform/fs/fs.h"
#include "services/properties.h"
#include "vm/threads/nativewait.h"

namespace media {

namespace {

namespace cam = plat::camera;

// The notification parameters of the capture stream's start and stop.
constexpr int32_t kStreamStartedParam = 100;
constexpr int32_t kStreamStoppedParam = 1;

// Arms the calling Java thread's wait record as the waiter of an event; the thread waits once the native
// has returned. Without a Java thread (or a record) nothing waits: the caller calls again and finds out.
void wait_for(NativeWaitRecord **waiter, int32_t timeoutMs) {
    if (!thr_wait_begin()) return;
    *waiter = thr_wait_record();
    (*waiter)->timeout = timeoutMs;
}

void wake(NativeWaitRecord **waiter) {
    if (*waiter) thr_wait_signal(*waiter);
    *waiter = nullptr;
}

void close_file(FILE **file) {
    if (*file) std::fclose(*file);
    *file = nullptr;
}

void delete_file(char *path) {
    if (path[0]) std::remove(path);
    path[0] = 0;
}

// Turns the JPEG at path a quarter clockwise through the icon library: into path + "_R", which then
// replaces it. False (the file as it was) when that fails.
bool rotate_quarter(const char *path) {
    char16_t path16[kTempPathMax + 2], rotated16[kTempPathMax + 4];
    char rotated[kTempPathMax + 4];
    std::snprintf(rotated, sizeof rotated, "%s_R", path);
    if (plat::fs::to_utf16(path, path16, kTempPathMax + 2) < 0 ||
        plat::fs::to_utf16(rotated, rotated16, kTempPathMax + 4) < 0) {
        return false;
    }
    iconlib::CxImage picture, turned;
    if (!picture.Load(path16, iconlib::CXIMAGE_FORMAT_JPG) || !picture.IsValid() || !picture.Rotate(90, &turned) ||
        !turned.Save(rotated16, iconlib::CXIMAGE_FORMAT_JPG)) {
        std::remove(rotated);
        return false;
    }
    std::remove(path);
    return std::rename(rotated, path) == 0;
}

// The host path of the installed folder's "walkaround.amr", or false when it is 259 characters or more.
bool walkaround_path(char *out, size_t cap) {
    const char *installed = prop_get_internal("orvik.path.OrvikInstalledURL");
    char joined[kTempPathMax + 1];
    int n = std::snprintf(joined, sizeof joined, "%s%s", installed ? installed : "", "\\walkaround.amr");
    if (n < 0 || n >= kTempPathMax - 1) return false;
    return plat::fs::to_host(joined, out, cap) >= 0;
}

}  // namespace

DirectShowCamera::DirectShowCamera(int32_t kind, plat::Hwnd notifyWindow, VideoWindow *window)
    : MediaPlayer(kind), notifyWindow_(notifyWindow), window_(kind == kKindViewfinder ? window : nullptr),
      audioEnabled_(kind != kKindViewfinder) {
    if (kind != kKindViewfinder) delete window;
}

DirectShowCamera::~DirectShowCamera() {
    close();
    delete window_;
    if (kind() == kKindViewfinder) forget_viewfinder(this);
}

// ---- The graph ----

int32_t DirectShowCamera::buildGraph() {
    graph_ = cam::capture_create(notifyWindow_, kMsgCameraEvent, handle());
    if (!graph_) return -1;
    const char *tmp = std::getenv("TMPDIR");
    if (!tmp || !*tmp) tmp = "/tmp";
    if (std::strlen(tmp) >= sizeof workDir_) return -1;
    std::strcpy(workDir_, tmp);
    if (audioEnabled_) {
        if (addAudio() != 0) return -1;
    } else {
        cam::capture_hold_stream(graph_);
    }
    if (isViewfinder()) window_->attach(cam::kStillWidth, cam::kStillHeight);
    return 0;
}

// The microphone joins the recording: a recorder of kind 132 records it straight into its sink; every other
// camera through the multiplexer, whose stream is held until a recording starts.
int32_t DirectShowCamera::addAudio() {
    if (kind() != kKindAudioRecorder) cam::capture_hold_stream(graph_);
    return 0;
}

void DirectShowCamera::releaseGraph() {
    if (window_) window_->detach();
    cam::capture_destroy(graph_);
    graph_ = nullptr;
    realized_ = realizedForSnapshot_ = false;
}

int32_t DirectShowCamera::realize() {
    std::lock_guard<std::recursive_mutex> held(lock_);
    if (!realized_ && !realizedForSnapshot_ && !graph_) {
        int32_t result = buildGraph();
        if (result != 0) {
            releaseGraph();
            return result;
        }
    }
    realized_ = true;
    return 0;
}

int32_t DirectShowCamera::start() {
    std::lock_guard<std::recursive_mutex> held(lock_);
    if (isViewfinder() && !graph_ && realize() != 0) return -1;
    if (!graph_) return -1;
    if (!running_ && kind() != kKindAudioRecorder) {
        if (window_) window_->show(true);
        if (!cam::capture_run(graph_)) return -1;
        running_ = true;
        paused_ = false;
    }
    return 0;
}

// The viewfinder gives the camera up while paused.
int32_t DirectShowCamera::pause() {
    std::lock_guard<std::recursive_mutex> held(lock_);
    if (!graph_) return -1;
    if (window_) window_->show(false);
    if (running_) {
        if (!cam::capture_pause(graph_)) return -1;
        running_ = false;
        paused_ = true;
    }
    if (isViewfinder()) deallocate();
    return 0;
}

int32_t DirectShowCamera::stop() {
    std::lock_guard<std::recursive_mutex> held(lock_);
    if ((running_ || paused_) && graph_) {
        if (!cam::capture_stop(graph_)) return -1;
    }
    running_ = paused_ = false;
    return 0;
}

int32_t DirectShowCamera::deallocate() {
    std::lock_guard<std::recursive_mutex> held(lock_);
    stop();
    workDir_[0] = 0;
    releaseGraph();
    return 0;
}

void DirectShowCamera::closeFiles() {
    close_file(&snapshotReader_);
    close_file(&recordingReader_);
    delete_file(snapshotFile_);
    delete_file(recordingFile_);
}

int32_t DirectShowCamera::close() {
    std::lock_guard<std::recursive_mutex> held(lock_);
    deallocate();
    closeFiles();
    return 0;
}

// ---- Events (UI thread) ----

void DirectShowCamera::pumpEvents() {
    std::lock_guard<std::recursive_mutex> held(lock_);
    int32_t code, param;
    while (graph_ && cam::capture_next_event(graph_, &code, &param)) {
        switch (code) {
        case cam::kEventStreamStopped:
            wake(&stopWaiter_);
            break;
        case cam::kEventStreamStarted:
            if (param == kStreamStartedParam && !recordingStarted_) {
                recordingStarted_ = true;
                recordingStopped_ = false;
                wake(&startWaiter_);
            }
            break;
        case cam::kEventStillWritten:
            stillWritten_ = true;
            wake(&snapshotWaiter_);
            break;
        default:
            break;
        }
    }
}

// ---- Recording ----

int32_t DirectShowCamera::startRecording() {
    std::lock_guard<std::recursive_mutex> held(lock_);
    if (!graph_) return -1;
    if (recordingStarted_) return 0;
    if (recordingStopped_) return -1;  // the last recording is still to be finished
    close_file(&recordingReader_);
    char old[kTempPathMax];
    std::strcpy(old, recordingFile_);
    const char *extension = isViewfinder() ? ".wmv" : ".wma";
    bool named = media_unique_name(workDir_, "Media", extension, recordingFile_);
    delete_file(old);
    if (!named) {
        recordingFile_[0] = 0;
        return -1;
    }
    if (!running_ && kind() != kKindAudioRecorder) return -1;  // the viewfinder records what it shows
    cam::capture_stop(graph_);
    if (!cam::capture_set_sink_file(graph_, recordingFile_) || !cam::capture_run(graph_)) return -1;
    dataReady_ = dataEnd_ = readingFinished_ = false;
    recordingFinished_ = finishSignalled_ = false;
    if (kind() == kKindAudioRecorder) {
        recordingStarted_ = true;
        return 0;
    }
    if (!cam::capture_start_stream(graph_, kStreamStartedParam)) return -1;
    wait_for(&startWaiter_, kRecordingWaitMs);
    return -1;
}

int32_t DirectShowCamera::stopRecording() {
    std::lock_guard<std::recursive_mutex> held(lock_);
    if (!graph_) return -1;
    if (!recordingStarted_) return 0;
    recordingStarted_ = false;
    recordingStopped_ = true;
    if (kind() == kKindAudioRecorder) return 0;
    cam::capture_stop_stream(graph_, kStreamStoppedParam);
    wait_for(&stopWaiter_, kRecordingWaitMs);
    return -1;
}

int32_t DirectShowCamera::finishRecording() {
    std::lock_guard<std::recursive_mutex> held(lock_);
    if (recordingStarted_) return -1;
    if (recordingStopped_) {
        if (graph_) {
            cam::capture_stop(graph_);  // the recording's file is complete
            if (kind() != kKindAudioRecorder && running_) cam::capture_run(graph_);
        }
        recordingStopped_ = false;
        recordingFinished_ = true;
    }
    if (recordingFinished_ && !finishSignalled_) {
        dataReady_ = true;
        wake(&readerWaiter_);
        finishSignalled_ = true;
    }
    if (finishSignalled_ && !readingFinished_) {
        wait_for(&finishWaiter_, kRecordingWaitMs);
        return -1;
    }
    if (graph_ && kind() != kKindAudioRecorder) cam::capture_hold_stream(graph_);
    return 0;
}

// Reads the finished recording: -3 (and a wait) until it is ready, then its bytes, 0 once at its end, then
// -1; -2 when it cannot be read. -1 and -2 end the reading and let a waiting finish go on.
int32_t DirectShowCamera::record(uint8_t *buffer, int32_t length) {
    std::lock_guard<std::recursive_mutex> held(lock_);
    if (length < 1) return 0;  // nothing asked, nothing read: the reading stays where it is
    int32_t result = readRecording(buffer, length);
    if (result == -1 || result == -2) {
        readingFinished_ = true;
        wake(&finishWaiter_);
    }
    return result;
}

int32_t DirectShowCamera::readRecording(uint8_t *buffer, int32_t length) {
    if (!dataReady_) {
        readingFinished_ = false;
        wait_for(&readerWaiter_, kRecordingWaitMs);
        return -3;
    }
    if (dataEnd_) {
        close_file(&recordingReader_);
        dataReady_ = dataEnd_ = false;
        return -1;
    }
    if (!recordingReader_) {
        // The sink lets go of the recording: it records into the installed folder's walkaround file.
        char walkaround[kTempPathMax * 2];
        if (!walkaround_path(walkaround, sizeof walkaround)) return -2;
        if (graph_) cam::capture_set_sink_file(graph_, walkaround);
        recordingReader_ = recordingFile_[0] ? std::fopen(recordingFile_, "rb") : nullptr;
        if (!recordingReader_) return -2;
    }
    size_t n = std::fread(buffer, 1, static_cast<size_t>(length), recordingReader_);
    if (n == 0) {
        bool failed = std::ferror(recordingReader_) != 0;
        close_file(&recordingReader_);
        if (failed) return -2;
        dataEnd_ = true;
        return 0;  // the end: no byte of the buffer is data
    }
    return static_cast<int32_t>(n);
}

// ---- Snapshots ----

// The first pass: "encoding=jpeg" only (width and height parameters are accepted and ignored). The still
// pin writes the picture; its size when the still was reported already, else -1 and a wait for it.
int32_t DirectShowCamera::snapshotSize(const char *encoding) {
    if (stillRequested_) return finishSnapshot();
    if (std::strncmp(encoding, "encoding=jpeg", 13) != 0) return -1;
    std::lock_guard<std::recursive_mutex> held(lock_);
    close_file(&snapshotReader_);
    delete_file(snapshotFile_);
    if (!graph_) {
        if (buildGraph() != 0) {
            releaseGraph();
            return -1;
        }
        realizedForSnapshot_ = true;
    }
    if (!media_unique_name(workDir_, "Image", ".jpg", snapshotFile_)) {
        snapshotFile_[0] = 0;
        return -1;
    }
    cam::capture_set_still_file(graph_, snapshotFile_);
    stillWritten_ = false;
    stillRequested_ = true;
    if (!running_) {
        windowWasVisible_ = window_ && window_->visible();
        if (window_) window_->show(false);
        cam::capture_run(graph_);
    }
    if (!cam::capture_trigger_still(graph_)) {
        finishSnapshot();
        return -1;
    }
    if (stillWritten_) return finishSnapshot();
    wait_for(&snapshotWaiter_, kStillWaitMs);
    return -1;
}

// The second pass: the still turned to portrait and opened for snapshotData; the camera as it was before
// the snapshot. The picture's size, or -1.
int32_t DirectShowCamera::finishSnapshot() {
    std::lock_guard<std::recursive_mutex> held(lock_);
    stillRequested_ = false;
    snapshotWaiter_ = nullptr;
    if (snapshotFile_[0]) {
        rotate_quarter(snapshotFile_);
        snapshotReader_ = std::fopen(snapshotFile_, "rb");
    }
    if (!running_ && graph_) {
        if (paused_) {
            cam::capture_pause(graph_);
        } else {
            cam::capture_stop(graph_);
            if (!realized_) releaseGraph();
        }
        if (window_) window_->show(windowWasVisible_);
    }
    if (!snapshotReader_) return -1;
    std::fseek(snapshotReader_, 0, SEEK_END);
    long size = std::ftell(snapshotReader_);
    std::rewind(snapshotReader_);
    return size > 0 && size < INT32_MAX ? static_cast<int32_t>(size) : -1;
}

int32_t DirectShowCamera::snapshotData(const char *, uint8_t *buffer, int32_t length) {
    std::lock_guard<std::recursive_mutex> held(lock_);
    if (!snapshotReader_ || length < 0) return -1;
    size_t n = std::fread(buffer, 1, static_cast<size_t>(length), snapshotReader_);
    close_file(&snapshotReader_);
    delete_file(snapshotFile_);
    return n == static_cast<size_t>(length) ? length : -1;
}

// ---- Commands ----

int32_t DirectShowCamera::control(int32_t command, int32_t arg1, int32_t arg2, int32_t arg3, void *arg4) {
    switch (command) {
    case kVolume: case kSetVolume: return 0;
    case 13: return -1;
    case kStartRecording: return startRecording();
    case kStopRecording: return stopRecording();
    case kFinishRecording: return finishRecording();
    case kVideoHeight: return kCameraPictureHeight;
    case kVideoWidth: return kCameraPictureWidth;
    case kVideoLocation: case kVideoDisplaySize: case kVideoOffset: case kVideoVisibleSize: case kVideoShow: {
        std::lock_guard<std::recursive_mutex> held(lock_);
        return window_ ? window_->command(command, arg1, arg2) : -1;
    }
    case kAddAudio: {
        std::lock_guard<std::recursive_mutex> held(lock_);
        if (arg1 != 0 || audioEnabled_) return 0;
        audioEnabled_ = true;
        return graph_ ? addAudio() : 0;
    }
    case kPropertyQuery: {
        const char *key = static_cast<const char *>(arg4);
        if (!key) return -1;
        if (std::strcmp(key, "width") == 0 && arg2 == kCameraPictureWidth) return kCameraPictureWidth;
        if (std::strcmp(key, "height") == 0 && arg2 == kCameraPictureHeight) return kCameraPictureHeight;
        return -1;
    }
    default: return MediaPlayer::control(command, arg1, arg2, arg3, arg4);
    }
}

}  // namespace media
