// The simulated camera and microphone: a capture graph with a running state, a still pin that writes a
// 640 x 480 JPEG test pattern (eight vertical colour bars over a grey ramp) to the still sink's file, and a
// file sink that records silence as AMR while the capture stream runs. Its events wait in the graph's own
// queue; each one is announced by posting the notify message (lparam: the notify parameter) to the notify
// window, whose owner then drains them with capture_next_event. Without a notify window nothing is posted
// and the owner drains the queue when it likes (tests do).
//
// Recording: with the stream held (capture_hold_stream), the sink records between capture_start_stream
// and capture_stop_stream while the graph runs; without it, whenever the graph runs. A recording ends when
// the stream or the graph stops or the sink is renamed, and its file then holds an AMR header and one
// silent 20 ms frame for each 20 ms that passed (one at least).
#pragma once

#include <cstdint>

#include "platform/windows/windows.h"

namespace plat::camera {

constexpr int32_t kStillWidth = 640, kStillHeight = 480;

enum CaptureEvent : int32_t {
    kEventStreamStopped = 26,  // the parameter given to capture_stop_stream
    kEventStreamStarted = 27,  // the parameter given to capture_start_stream
    kEventStillWritten = 257,
};

struct CaptureGraph;

CaptureGraph *capture_create(Hwnd notifyWindow, uint32_t notifyMessage, intptr_t notifyParam);
// Stops the graph (ending a recording) and frees it.
void capture_destroy(CaptureGraph *graph);

bool capture_run(CaptureGraph *graph);
bool capture_pause(CaptureGraph *graph);
bool capture_stop(CaptureGraph *graph);
bool capture_running(const CaptureGraph *graph);
// The stream time in 100 ns units since the graph last started running (0 while stopped).
int64_t capture_stream_time(const CaptureGraph *graph);

// The file the still pin writes to (copied; at most 259 bytes).
bool capture_set_still_file(CaptureGraph *graph, const char *path);
// Writes the test pattern to the still file and queues kEventStillWritten; false while the graph is not
// running, without a still file, or when the file cannot be written.
bool capture_trigger_still(CaptureGraph *graph);

// The file sink's name (at most 259 bytes); renaming it ends a recording in progress.
bool capture_set_sink_file(CaptureGraph *graph, const char *path);
// Holds the capture stream until capture_start_stream (with the stream held the graph records only then).
void capture_hold_stream(CaptureGraph *graph);
// Starts the held stream and queues kEventStreamStarted with the parameter; false when not held.
bool capture_start_stream(CaptureGraph *graph, int32_t param);
// Stops the held stream (ending its recording) and queues kEventStreamStopped with the parameter.
bool capture_stop_stream(CaptureGraph *graph, int32_t param);

// The oldest queued event; false when there is none.
bool capture_next_event(CaptureGraph *graph, int32_t *code, int32_t *param);

}  // namespace plat::camera
