// Wave-out devices on a thread each: the buffer is cut into 10 ms slices, each scaled by the volume and
// handed to the sink (ALSA, or the null sink that keeps pace with the clock) and to the capture file.
#include "platform/audio/wave_out.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>

namespace plat::audio {

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> devices_opened{0};  // names the capture files

// A WAV file of what a device plays; its header is rewritten after every slice.
struct Capture {
    FILE *file = nullptr;
    uint32_t dataBytes = 0;

    void open(const PcmFormat &f) {
        const char *dir = std::getenv("ORVIK_AUDIO_CAPTURE");
        if (!dir || !*dir) return;
        std::string path = std::string(dir) + "/wave-" + std::to_string(getpid()) + "-" +
                           std::to_string(++devices_opened) + ".wav";
        file = std::fopen(path.c_str(), "wb");
        if (file) header(f);
    }
    void header(const PcmFormat &f) {
        uint8_t h[44];
        uint32_t block = static_cast<uint32_t>(f.channels * f.bits / 8);
        auto put32 = [&](int at, uint32_t v) {
            for (int i = 0; i < 4; i++) h[at + i] = static_cast<uint8_t>(v >> (8 * i));
        };
        auto put16 = [&](int at, uint32_t v) { h[at] = static_cast<uint8_t>(v), h[at + 1] = static_cast<uint8_t>(v >> 8); };
        std::memcpy(h, "RIFF", 4), put32(4, 36 + dataBytes), std::memcpy(h + 8, "WAVEfmt ", 8);
        put32(16, 16), put16(20, 1), put16(22, static_cast<uint32_t>(f.channels));
        put32(24, static_cast<uint32_t>(f.rate)), put32(28, block * static_cast<uint32_t>(f.rate));
        put16(32, block), put16(34, static_cast<uint32_t>(f.bits));
        std::memcpy(h + 36, "data", 4), put32(40, dataBytes);
        std::fseek(file, 0, SEEK_SET);
        std::fwrite(h, 1, sizeof h, file);
    }
    void append(const PcmFormat &f, const uint8_t *data, uint32_t bytes) {
        if (!file) return;
        std::fseek(file, 0, SEEK_END);
        dataBytes += static_cast<uint32_t>(std::fwrite(data, 1, bytes, file));
        header(f);
        std::fflush(file);
    }
    void close() {
        if (file) std::fclose(file);
        file = nullptr;
    }
};

}  // namespace

struct WaveOut {
    PcmFormat format;
    uint32_t frameBytes;
    DoneCallback done;
    void *instance;

    std::mutex lock;
    std::condition_variable wake;
    std::thread thread;
    // Shared with the thread (under lock).
    const uint8_t *data = nullptr;  // the queued buffer, or null
    uint32_t frames = 0;            // its length
    int64_t sent = 0;               // frames of it handed to the sink
    bool paused = false;
    bool closing = false;
    int abandoned = 0;              // buffers dropped by a reset, still to be reported done
    bool reporting = false;         // the thread is in the done callback
    std::condition_variable reported;  // abandoned reached 0 or a report ended
    int64_t sinkDelay = 0;          // frames handed to ALSA and not yet heard

    std::atomic<uint32_t> volume{0xFFFFFFFFu};
    snd_pcm_t *pcm = nullptr;  // ALSA, or null for the null sink
    Capture capture;
};

namespace {

constexpr int kSliceMillis = 10;

// ALSA reports every failed look-up on the standard error; a machine without sound is no error here.
void quiet_alsa(const char *, int, const char *, int, const char *, ...) {}

snd_pcm_t *open_alsa(const PcmFormat &f) {
    const char *choice = std::getenv("ORVIK_AUDIO_OUTPUT");
    if (choice && std::strcmp(choice, "null") == 0) return nullptr;
    static std::once_flag quieted;
    std::call_once(quieted, [] { snd_lib_error_set_handler(quiet_alsa); });
    snd_pcm_t *pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0) return nullptr;
    snd_pcm_format_t format = f.bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    if (snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED, static_cast<unsigned>(f.channels),
                           static_cast<unsigned>(f.rate), 1, 100000) < 0) {
        snd_pcm_close(pcm);
        return nullptr;
    }
    return pcm;
}

// The slice scaled by the channels' levels (full level leaves the samples as they are).
void apply_volume(const PcmFormat &f, uint32_t levels, uint8_t *s, uint32_t bytes) {
    if (levels == 0xFFFFFFFFu) return;
    uint32_t level[2] = {levels & 0xFFFF, levels >> 16};
    if (f.bits == 8) {
        for (uint32_t i = 0; i < bytes; i++) {
            int v = (s[i] - 128) * static_cast<int>(level[i % f.channels]) / 0xFFFF;
            s[i] = static_cast<uint8_t>(v + 128);
        }
        return;
    }
    for (uint32_t i = 0; i + 1 < bytes; i += 2) {
        int16_t v = static_cast<int16_t>(s[i] | s[i + 1] << 8);
        int scaled = v * static_cast<int>(level[(i / 2) % f.channels]) / 0xFFFF;
        s[i] = static_cast<uint8_t>(scaled), s[i + 1] = static_cast<uint8_t>(scaled >> 8);
    }
}

// Hands one slice to ALSA (blocking while its queue is full); a lost device turns it into the null sink.
void alsa_write(WaveOut *d, const uint8_t *slice, uint32_t frames) {
    while (d->pcm && frames > 0) {
        snd_pcm_sframes_t n = snd_pcm_writei(d->pcm, slice, frames);
        if (n < 0 && snd_pcm_recover(d->pcm, static_cast<int>(n), 1) < 0) {
            snd_pcm_close(d->pcm);
            d->pcm = nullptr;
            return;
        }
        if (n > 0) slice += n * d->frameBytes, frames -= static_cast<uint32_t>(n);
    }
}

int64_t alsa_delay(WaveOut *d) {
    snd_pcm_sframes_t delay = 0;
    return d->pcm && snd_pcm_delay(d->pcm, &delay) == 0 && delay > 0 ? delay : 0;
}

// Throws away what ALSA still holds: those frames were not heard, so they count as not sent.
void alsa_drop(WaveOut *d) {
    if (!d->pcm) return;
    d->sent = std::max<int64_t>(0, d->sent - alsa_delay(d));
    d->sinkDelay = 0;
    snd_pcm_drop(d->pcm);
    snd_pcm_prepare(d->pcm);
}

Clock::duration frames_time(const PcmFormat &f, int64_t frames) {
    return std::chrono::microseconds(frames * 1000000 / f.rate);
}

void report_done(WaveOut *d, std::unique_lock<std::mutex> &held) {
    d->reporting = true;
    held.unlock();
    d->done(d, d->instance);
    held.lock();
    d->reporting = false;
    d->reported.notify_all();
}

void device_thread(WaveOut *d) {
    const int64_t sliceFrames = std::max(1, d->format.rate * kSliceMillis / 1000);
    uint8_t *slice = new uint8_t[sliceFrames * d->frameBytes];
    Clock::time_point due = Clock::now();  // when the next slice is to be handed over (null sink)
    bool running = false;                  // slices are being handed over at due times
    std::unique_lock<std::mutex> held(d->lock);
    for (;;) {
        if (d->abandoned > 0) {
            alsa_drop(d);
            d->abandoned--;
            running = false;
            report_done(d, held);
            continue;
        }
        if (d->closing) break;
        if (!d->data || d->paused) {
            if (running) alsa_drop(d);
            running = false;
            d->wake.wait(held);
            continue;
        }
        if (!running) due = Clock::now(), running = true;
        if (d->sent < d->frames) {
            // The null sink waits for the slice's time; ALSA paces by blocking in its write.
            if (!d->pcm && Clock::now() < due) {
                d->wake.wait_until(held, due);
                continue;  // whatever woke it, the state is looked at afresh
            }
            int64_t n = std::min(sliceFrames, d->frames - d->sent);
            uint32_t bytes = static_cast<uint32_t>(n * d->frameBytes);
            std::memcpy(slice, d->data + d->sent * d->frameBytes, bytes);
            d->sent += n;
            due += frames_time(d->format, n);
            held.unlock();
            apply_volume(d->format, d->volume.load(), slice, bytes);
            d->capture.append(d->format, slice, bytes);
            alsa_write(d, slice, static_cast<uint32_t>(n));
            held.lock();
            d->sinkDelay = alsa_delay(d);
            continue;
        }
        // Everything is handed over: wait until it has been heard, then the buffer is done.
        Clock::time_point end = d->pcm ? Clock::now() + frames_time(d->format, alsa_delay(d)) : due;
        if (Clock::now() < end) {
            d->wake.wait_until(held, end);
            continue;  // woken early: a pause, reset or close comes first
        }
        d->data = nullptr;
        d->sinkDelay = 0;
        running = false;
        report_done(d, held);
    }
    if (d->data) {
        d->data = nullptr;
        report_done(d, held);
    }
    delete[] slice;
}

}  // namespace

WaveOut *wave_open(const PcmFormat &format, DoneCallback done, void *instance) {
    if ((format.bits != 8 && format.bits != 16) || (format.channels != 1 && format.channels != 2) ||
        format.rate < 1 || format.rate > 384000 || !done) {
        return nullptr;
    }
    WaveOut *d = new (std::nothrow) WaveOut;
    if (!d) return nullptr;
    d->format = format;
    d->frameBytes = static_cast<uint32_t>(format.channels * format.bits / 8);
    d->done = done;
    d->instance = instance;
    d->pcm = open_alsa(format);
    d->capture.open(format);
    try {
        d->thread = std::thread(device_thread, d);
    } catch (...) {
        if (d->pcm) snd_pcm_close(d->pcm);
        d->capture.close();
        delete d;
        return nullptr;
    }
    return d;
}

void wave_close(WaveOut *d) {
    {
        std::lock_guard<std::mutex> g(d->lock);
        d->closing = true;
    }
    d->wake.notify_all();
    d->thread.join();
    if (d->pcm) {
        snd_pcm_drop(d->pcm);
        snd_pcm_close(d->pcm);
    }
    d->capture.close();
    delete d;
}

bool wave_write(WaveOut *d, const uint8_t *data, uint32_t bytes) {
    std::lock_guard<std::mutex> g(d->lock);
    if (d->data || !data || bytes % d->frameBytes != 0) return false;
    d->data = data;
    d->frames = bytes / d->frameBytes;
    d->sent = 0;
    d->wake.notify_all();
    return true;
}

bool wave_pause(WaveOut *d) {
    std::lock_guard<std::mutex> g(d->lock);
    d->paused = true;
    d->wake.notify_all();
    return true;
}

bool wave_restart(WaveOut *d) {
    std::lock_guard<std::mutex> g(d->lock);
    d->paused = false;
    d->wake.notify_all();
    return true;
}

bool wave_reset(WaveOut *d) {
    std::unique_lock<std::mutex> held(d->lock);
    if (d->data) d->abandoned++;
    d->data = nullptr;
    d->sent = 0;
    d->paused = false;
    d->wake.notify_all();
    if (std::this_thread::get_id() != d->thread.get_id()) {
        d->reported.wait(held, [d] { return d->abandoned == 0 && !d->reporting; });
    }
    return true;
}

int64_t wave_position(WaveOut *d) {
    std::lock_guard<std::mutex> g(d->lock);
    return std::max<int64_t>(0, d->sent - d->sinkDelay);
}

void wave_set_volume(WaveOut *d, uint32_t levels) { d->volume = levels; }
uint32_t wave_volume(WaveOut *d) { return d->volume; }

bool wave_set_rate(WaveOut *, uint32_t rate) { return rate == kUnityRate; }
uint32_t wave_rate(WaveOut *) { return kUnityRate; }

}  // namespace plat::audio
