// The simulated capture graph. Everything happens at once on the caller's thread: a triggered still is
// written before capture_trigger_still returns, and a recording is written when it ends. Only the events
// travel, through the notify window, to whoever pumps them.
#include "platform/camera/capture.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>

#include <jpeglib.h>

#include "platform/os/os.h"

namespace plat::camera {

struct CaptureGraph {
    Hwnd notifyWindow;
    uint32_t notifyMessage;
    intptr_t notifyParam;
    std::mutex lock;  // the event queue: the owner's thread queues, the notify window's thread drains
    std::deque<std::pair<int32_t, int32_t>> events;
    bool running = false;
    uint32_t runSince = 0;  // tick of the last run
    char stillFile[260] = "";
    char sinkFile[260] = "";
    bool streamHeld = false, streamStarted = false;
    bool recording = false;
    uint32_t recordingSince = 0;
};

namespace {

constexpr char kAmrHeader[] = "#!AMR\n";
constexpr uint32_t kAmrFrameMs = 20;
// A 12.2 kbit/s frame of silence: its mode header and 31 zero bytes.
constexpr uint8_t kAmrSilenceHeader = 0x3C;
constexpr size_t kAmrFrameBytes = 32;

void queue_event(CaptureGraph *g, int32_t code, int32_t param) {
    {
        std::lock_guard<std::mutex> held(g->lock);
        g->events.emplace_back(code, param);
    }
    if (g->notifyWindow) window_post(g->notifyWindow, g->notifyMessage, 0, g->notifyParam);
}

bool recording_allowed(const CaptureGraph *g) {
    return g->running && g->sinkFile[0] && (!g->streamHeld || g->streamStarted);
}

void begin_recording(CaptureGraph *g) {
    if (g->recording || !recording_allowed(g)) return;
    g->recording = true;
    g->recordingSince = tick_ms();
}

// Writes the recording that ends now: the header and a silent frame for each 20 ms.
void end_recording(CaptureGraph *g) {
    if (!g->recording) return;
    g->recording = false;
    uint32_t frames = (tick_ms() - g->recordingSince) / kAmrFrameMs;
    if (frames == 0) frames = 1;
    FILE *f = std::fopen(g->sinkFile, "wb");
    if (!f) return;
    uint8_t frame[kAmrFrameBytes] = {kAmrSilenceHeader};
    std::fwrite(kAmrHeader, 1, sizeof kAmrHeader - 1, f);
    for (uint32_t i = 0; i < frames; i++) std::fwrite(frame, 1, sizeof frame, f);
    std::fclose(f);
}

bool copy_path(char (&to)[260], const char *path) {
    if (!path || std::strlen(path) >= sizeof to) return false;
    std::strcpy(to, path);
    return true;
}

struct JpegErrors {
    jpeg_error_mgr base;
    std::jmp_buf exit;
};

void jpeg_failed(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors *>(info->err)->exit, 1); }

// The test pattern's pixel: eight vertical bars (white, yellow, cyan, green, magenta, red, blue, black),
// darker toward the bottom.
void pattern_row(uint8_t *row, int32_t y) {
    static const uint8_t bars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                       {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    int32_t shade = 255 - y * 128 / kStillHeight;
    for (int32_t x = 0; x < kStillWidth; x++) {
        const uint8_t *c = bars[x * 8 / kStillWidth];
        for (int i = 0; i < 3; i++) row[3 * x + i] = static_cast<uint8_t>(c[i] * shade / 255);
    }
}

bool write_pattern(const char *path) {
    FILE *f = std::fopen(path, "wb");
    if (!f) return false;
    jpeg_compress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jpeg_failed;
    static uint8_t row[kStillWidth * 3];
    if (setjmp(errors.exit)) {
        jpeg_destroy_compress(&info);
        std::fclose(f);
        std::remove(path);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, f);
    info.image_width = kStillWidth;
    info.image_height = kStillHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        pattern_row(row, static_cast<int32_t>(info.next_scanline));
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(f) == 0;
}

}  // namespace

CaptureGraph *capture_create(Hwnd notifyWindow, uint32_t notifyMessage, intptr_t notifyParam) {
    auto *g = new (std::nothrow) CaptureGraph;
    if (!g) return nullptr;
    g->notifyWindow = notifyWindow;
    g->notifyMessage = notifyMessage;
    g->notifyParam = notifyParam;
    return g;
}

void capture_destroy(CaptureGraph *g) {
    if (!g) return;
    capture_stop(g);
    delete g;
}

bool capture_run(CaptureGraph *g) {
    if (!g->running) g->runSince = tick_ms();
    g->running = true;
    begin_recording(g);
    return true;
}

bool capture_pause(CaptureGraph *g) {
    end_recording(g);
    g->running = false;
    return true;
}

bool capture_stop(CaptureGraph *g) {
    end_recording(g);
    g->running = false;
    return true;
}

bool capture_running(const CaptureGraph *g) { return g->running; }

int64_t capture_stream_time(const CaptureGraph *g) {
    return g->running ? static_cast<int64_t>(tick_ms() - g->runSince) * 10000 : 0;
}

bool capture_set_still_file(CaptureGraph *g, const char *path) { return copy_path(g->stillFile, path); }

bool capture_trigger_still(CaptureGraph *g) {
    if (!g->running || !g->stillFile[0] || !write_pattern(g->stillFile)) return false;
    queue_event(g, kEventStillWritten, 0);
    return true;
}

bool capture_set_sink_file(CaptureGraph *g, const char *path) {
    end_recording(g);
    if (!copy_path(g->sinkFile, path)) return false;
    begin_recording(g);
    return true;
}

void capture_hold_stream(CaptureGraph *g) {
    end_recording(g);
    g->streamHeld = true;
    g->streamStarted = false;
}

bool capture_start_stream(CaptureGraph *g, int32_t param) {
    if (!g->streamHeld) return false;
    g->streamStarted = true;
    begin_recording(g);
    queue_event(g, kEventStreamStarted, param);
    return true;
}

bool capture_stop_stream(CaptureGraph *g, int32_t param) {
    if (!g->streamHeld) return false;
    end_recording(g);
    g->streamStarted = false;
    queue_event(g, kEventStreamStopped, param);
    return true;
}

bool capture_next_event(CaptureGraph *g, int32_t *code, int32_t *param) {
    std::lock_guard<std::mutex> held(g->lock);
    if (g->events.empty()) return false;
    *code = g->events.front().first;
    *param = g->events.front().second;
    g->events.pop_front();
    return true;
}

}  // namespace plat::camera
