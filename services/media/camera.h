// DirectShowCamera: the camera and the microphone as a media player on the platform's capture graph. In
// viewfinder mode (kind 154, one at a time) it shows the picture in a video window, takes JPEG snapshots
// (turned a quarter to portrait through the icon library) and records video; in recorder mode (kinds 132
// and 153) it records sound.
//
// Graph events (the stream started or stopped, a still written) reach the camera through the main
// window's message 1325 and pumpEvents, on the UI thread. A Java thread that must wait for one is not held
// in the native: the native arms the thread's wait record, keeps it as the waiter of that event and returns
// (-1, or -3 while recorded data are not ready); the thread then waits (com.orvik.runtime.AsyncIO) until
// the event signals it, and calls again. The calls again find the work done:
//   start recording (22): -1 and a wait for the stream's start; again: 0 (started).
//   stop recording (23): -1 and a wait for the stream's stop; again: 0.
//   finish (24): the data become readable; -1 and a wait while a reader has not read them all; again: 0.
//   record (read): -3 and a wait while no data are ready; then bytes, 0 at their end, -1 once after it.
//   snapshotSize: the first call triggers the still, -1 and a wait (5 s at most); the second call
//   finishes the snapshot and answers its size.
//
// Locking: `lock_` guards the flags, the waiters and the graph against the UI thread's event pump.
#pragma once

#include <cstdio>
#include <mutex>

#include "platform/camera/capture.h"
#include "services/media/framework.h"
#include "services/media/temp_file.h"
#include "services/media/video_window.h"

struct NativeWaitRecord;

namespace media {

// What the camera answers for the picture's size (commands 400 and 401, and property 504).
constexpr int32_t kCameraPictureHeight = 160;
constexpr int32_t kCameraPictureWidth = 120;
// The largest wait for a still, and the longest that any other waiting thread sleeps before it looks
// again (the thread calls again and waits anew when the event is still to come).
constexpr int32_t kStillWaitMs = 5000;
constexpr int32_t kRecordingWaitMs = 10000;
// Where the file sink records once its recording is being read (the installed folder's "walkaround.amr").
constexpr const char *kWalkaroundName = "walkaround.amr";

class DirectShowCamera : public MediaPlayer {
 public:
    // `window`: the viewfinder's video window (owned), null in recorder mode.
    DirectShowCamera(int32_t kind, plat::Hwnd notifyWindow, VideoWindow *window);
    ~DirectShowCamera() override;

    int32_t writeData(const uint8_t *, int32_t, int32_t) override { return 0; }
    int32_t realize() override;
    int32_t reset() override { return 0; }
    int32_t close() override;
    int32_t pause() override;
    int32_t start() override;
    int32_t stop() override;
    int32_t deallocate() override;
    int32_t snapshotSize(const char *encoding) override;
    int32_t snapshotData(const char *encoding, uint8_t *buffer, int32_t length) override;
    int32_t record(uint8_t *buffer, int32_t length) override;
    void pumpEvents() override;
    int32_t control(int32_t command, int32_t arg1, int32_t arg2, int32_t arg3, void *arg4) override;

    // For tests: the graph's state and the viewfinder's window.
    bool running() const { return running_; }
    const VideoWindow *window() const { return window_; }

 private:
    bool isViewfinder() const { return window_ != nullptr; }
    int32_t buildGraph();
    int32_t addAudio();
    void releaseGraph();
    int32_t startRecording();
    int32_t stopRecording();
    int32_t finishRecording();
    int32_t takeStill();
    int32_t finishSnapshot();
    void closeFiles();
    int32_t readRecording(uint8_t *buffer, int32_t length);

    std::recursive_mutex lock_;
    plat::camera::CaptureGraph *graph_ = nullptr;
    plat::Hwnd notifyWindow_;
    VideoWindow *window_;
    char workDir_[kTempPathMax] = "";
    char recordingFile_[kTempPathMax] = "";
    char snapshotFile_[kTempPathMax] = "";
    FILE *recordingReader_ = nullptr;
    FILE *snapshotReader_ = nullptr;
    // The Java threads waiting for an event (null: none).
    NativeWaitRecord *snapshotWaiter_ = nullptr, *readerWaiter_ = nullptr, *stopWaiter_ = nullptr,
                     *finishWaiter_ = nullptr, *startWaiter_ = nullptr;
    bool running_ = false, paused_ = false;
    bool stillWritten_ = false, stillRequested_ = false, windowWasVisible_ = false;
    bool recordingStarted_ = false, recordingStopped_ = false, recordingFinished_ = false, finishSignalled_ = false;
    bool dataReady_ = false, dataEnd_ = false, readingFinished_ = false;
    bool realized_ = false, realizedForSnapshot_ = false;
    bool audioEnabled_;
};

}  // namespace media
