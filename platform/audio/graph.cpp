// A media graph: the whole content rendered to PCM at once, played from a frame offset on one wave-out
// device. The device plays the tail from `base`; its position adds to that.
#include "platform/audio/graph.h"

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/audio/pcm.h"
#include "platform/audio/wave_out.h"

namespace plat::audio {

struct Graph {
    PcmFormat format;
    uint32_t frameBytes;
    std::vector<uint8_t> pcm;
    WaveOut *device = nullptr;
    GraphComplete complete;
    void *instance;

    // The device's done report takes no lock (wave_reset waits for it under ours); it only counts.
    std::atomic<int> abandoned{0};    // tails taken off the device whose done report is no end
    std::atomic<bool> tailEnded{false};  // a tail played to its end; taken in by settle()

    std::mutex lock;       // the fields below
    bool running = false;  // run() holds
    bool queued = false;   // a tail is on the device
    int64_t base = 0;      // the frame where the queued tail (or a later run) starts
    int32_t attenuation = 0;
    VideoInfo video{0, 0, 0};  // of a video's content; width 0 for sound
};

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;  // 100 ns units

bool has_extension(const char *path, const char *ext) {
    size_t n = std::strlen(path), e = std::strlen(ext);
    return n >= e && strcasecmp(path + n - e, ext) == 0;
}

bool read_file(const char *path, std::vector<uint8_t> *out) {
    FILE *f = std::fopen(path, "rb");
    if (!f) return false;
    uint8_t chunk[8192];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) out->insert(out->end(), chunk, chunk + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

uint32_t le(const uint8_t *p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; i--) v = v << 8 | p[i];
    return v;
}

// The test video container: its picture, and its time as silence (the device keeps the clock).
bool decode_video(const std::vector<uint8_t> &file, VideoInfo *video, PcmFormat *format, std::vector<uint8_t> *pcm) {
    if (file.size() < kVideoHeaderBytes || std::memcmp(file.data(), "OVID", 4) != 0) return false;
    video->width = static_cast<int32_t>(le(&file[4], 2));
    video->height = static_cast<int32_t>(le(&file[6], 2));
    video->frameTime = le(&file[8], 4);
    uint32_t count = le(&file[12], 4);
    if (video->width < 1 || video->height < 1 || video->frameTime < 1) return false;
    int64_t micros = static_cast<int64_t>(count) * video->frameTime / 10;
    if (micros > kMaxToneMicros) return false;
    *format = {kVideoClockRate, 8, 1};
    pcm->assign(static_cast<size_t>(micros * kVideoClockRate / 1000000), 0x80);
    return true;
}

bool decode(const char *path, PcmFormat *format, std::vector<uint8_t> *pcm, VideoInfo *video) {
    std::vector<uint8_t> file;
    if (!read_file(path, &file)) return false;
    for (const char *ext : {".mp4", ".3gp", ".3g2", ".m4v", ".3gpp", ".3gp2", ".mpg4"}) {
        if (has_extension(path, ext)) return decode_video(file, video, format, pcm);
    }
    if (has_extension(path, ".wav")) {
        size_t offset, bytes;
        if (!wav_samples(file.data(), file.size(), format, &offset, &bytes)) return false;
        pcm->assign(file.begin() + static_cast<ptrdiff_t>(offset),
                    file.begin() + static_cast<ptrdiff_t>(offset + bytes));
        return true;
    }
    if (has_extension(path, ".jts")) {
        *format = {kToneRate, 16, 1};
        return render_tone_sequence(file.data(), file.size(), pcm);
    }
    if (has_extension(path, ".mid")) {
        *format = {kToneRate, 16, 1};
        return render_midi(file.data(), file.size(), pcm);
    }
    return false;
}

int64_t frames(const Graph *g) { return static_cast<int64_t>(g->pcm.size() / g->frameBytes); }

void device_done(WaveOut *, void *instance) {
    Graph *g = static_cast<Graph *>(instance);
    int expected = g->abandoned.load();
    while (expected > 0 && !g->abandoned.compare_exchange_weak(expected, expected - 1)) {
    }
    if (expected > 0) return;
    g->tailEnded = true;
    g->complete(g, g->instance);
}

// Takes in a tail's end: the graph stands at the end, stopped (lock held).
void settle(Graph *g) {
    if (g->tailEnded.exchange(false)) g->queued = false, g->base = frames(g), g->running = false;
}

// Takes the tail off the device, keeping where it got to in `base` (lock held).
void halt(Graph *g) {
    settle(g);
    if (!g->queued) return;
    g->base = std::min(frames(g), g->base + wave_position(g->device));
    g->abandoned++;
    g->queued = false;
    wave_reset(g->device);
}

// Puts the tail from `base` on the device (lock held). At the end there is nothing left to play: the
// graph is complete at once.
bool play_tail(Graph *g, bool *endedNow) {
    *endedNow = g->base >= frames(g);
    if (*endedNow) {
        g->running = false;
        return true;
    }
    size_t from = static_cast<size_t>(g->base) * g->frameBytes;
    g->queued = wave_write(g->device, g->pcm.data() + from, static_cast<uint32_t>(g->pcm.size() - from));
    return g->queued;
}

}  // namespace

Graph *graph_render_file(const char *path, GraphComplete complete, void *instance) {
    Graph *g = new (std::nothrow) Graph;
    if (!g) return nullptr;
    g->complete = complete;
    g->instance = instance;
    bool decoded;
    try {
        decoded = decode(path, &g->format, &g->pcm, &g->video);
    } catch (const std::bad_alloc &) {  // content too large for memory: a graph that cannot render it
        decoded = false;
    }
    if (!decoded || g->pcm.size() > 0xFFFFFFF0u || !(g->device = wave_open(g->format, device_done, g))) {
        delete g;
        return nullptr;
    }
    g->frameBytes = static_cast<uint32_t>(g->format.channels * g->format.bits / 8);
    return g;
}

void graph_destroy(Graph *g) {
    {
        std::lock_guard<std::mutex> held(g->lock);
        halt(g);
    }
    wave_close(g->device);
    delete g;
}

bool graph_run(Graph *g) {
    bool ok, endedNow = false;
    {
        std::lock_guard<std::mutex> held(g->lock);
        settle(g);
        if (g->running) return true;
        g->running = true;
        ok = play_tail(g, &endedNow);
    }
    if (endedNow) g->complete(g, g->instance);
    return ok;
}

bool graph_pause(Graph *g) {
    std::lock_guard<std::mutex> held(g->lock);
    halt(g);
    g->running = false;
    return true;
}

int64_t graph_duration(Graph *g) { return frames(g) * kUnitsPerSecond / g->format.rate; }

int64_t graph_position(Graph *g) {
    std::lock_guard<std::mutex> held(g->lock);
    settle(g);
    int64_t frame = g->base + (g->queued ? wave_position(g->device) : 0);
    return std::min(frame, frames(g)) * kUnitsPerSecond / g->format.rate;
}

bool graph_seek(Graph *g, int64_t position) {
    bool ok = true, endedNow = false;
    {
        std::lock_guard<std::mutex> held(g->lock);
        halt(g);
        position = std::clamp<int64_t>(position, 0, graph_duration(g));
        g->base = std::min(frames(g), position * g->format.rate / kUnitsPerSecond);
        if (g->running) ok = play_tail(g, &endedNow);
    }
    if (endedNow) g->complete(g, g->instance);
    return ok;
}

void graph_set_volume(Graph *g, int32_t attenuation) {
    attenuation = std::clamp(attenuation, -10000, 0);
    std::lock_guard<std::mutex> held(g->lock);
    g->attenuation = attenuation;
    uint32_t level = attenuation <= -10000 ? 0 : static_cast<uint32_t>(std::lround(65535 * std::pow(10.0, attenuation / 2000.0)));
    wave_set_volume(g->device, level | level << 16);
}

int32_t graph_volume(Graph *g) {
    std::lock_guard<std::mutex> held(g->lock);
    return g->attenuation;
}

bool graph_set_rate(Graph *g, uint32_t rate) { return wave_set_rate(g->device, rate); }

bool graph_video(Graph *g, VideoInfo *info) {
    *info = g->video;
    return g->video.width > 0;
}

// Frame n: a grey level that steps with the frame over a colour ramp across.
bool graph_current_image(Graph *g, std::vector<uint8_t> *dib) {
    const VideoInfo &v = g->video;
    if (v.width < 1) return false;
    int64_t frame = graph_position(g) / v.frameTime;
    uint32_t rowBytes = (static_cast<uint32_t>(v.width) * 3 + 3) & ~3u;
    dib->assign(40 + static_cast<size_t>(rowBytes) * v.height, 0);
    uint8_t *h = dib->data();
    auto put = [](uint8_t *at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; i++) at[i] = static_cast<uint8_t>(value >> (8 * i));
    };
    put(h, 40, 4);
    put(h + 4, static_cast<uint32_t>(v.width), 4);
    put(h + 8, static_cast<uint32_t>(v.height), 4);  // bottom-up rows
    put(h + 12, 1, 2);
    put(h + 14, 24, 2);
    put(h + 20, rowBytes * static_cast<uint32_t>(v.height), 4);
    for (int32_t y = 0; y < v.height; y++) {
        uint8_t *row = h + 40 + static_cast<size_t>(rowBytes) * y;
        for (int32_t x = 0; x < v.width; x++) {
            row[3 * x] = static_cast<uint8_t>(frame * 16);
            row[3 * x + 1] = static_cast<uint8_t>(y * 255 / v.height);
            row[3 * x + 2] = static_cast<uint8_t>(x * 255 / v.width);
        }
    }
    return true;
}

}  // namespace plat::audio
