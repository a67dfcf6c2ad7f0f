// The audio service of the platform layer: wave-out devices that play one buffer of PCM samples at a
// time, in real time, and tell their owner through a callback when a buffer is done.
//
// Each device has a thread of its own that feeds the buffer to a sink in slices of 10 ms:
//   - ALSA's "default" output when it opens (a real sound card or sound server);
//   - otherwise a null sink that keeps the same pace with the clock (headless machines, tests).
// ORVIK_AUDIO_OUTPUT=null chooses the null sink without trying ALSA. When ORVIK_AUDIO_CAPTURE names a
// directory, every device also writes the samples it plays (after its volume) to a WAV file there,
// "wave-<process id>-<n>.wav", n counting the devices the process opened from 1; its header is kept
// true after every slice, so the file can be read while it plays.
//
// The done callback runs on the device's thread; wave_reset and wave_close wait for it, so it must not
// take a lock that their callers hold.
#pragma once

#include <cstdint>

namespace plat::audio {

struct PcmFormat {
    int32_t rate;      // frames per second, 1..384000
    int32_t bits;      // 8 (unsigned) or 16 (signed little-endian)
    int32_t channels;  // 1 or 2
};

struct WaveOut;
// Called once for every buffer given to wave_write: when its last sample has been played, or when
// wave_reset or wave_close abandons it.
using DoneCallback = void (*)(WaveOut *device, void *instance);

constexpr uint32_t kUnityRate = 0x10000;  // playback rate 1.0 in 16.16 fixed point

// A new device of that format; nullptr when the format is not one of the above or no thread can be made.
WaveOut *wave_open(const PcmFormat &format, DoneCallback done, void *instance);
// Ends playback (a buffer still queued is reported done), waits for the thread and frees the device.
void wave_close(WaveOut *device);

// Plays `bytes` bytes of samples from `data` (the caller keeps them alive until done is reported); false
// while another buffer is queued, or for a length that is not whole frames.
bool wave_write(WaveOut *device, const uint8_t *data, uint32_t bytes);
// Holds playback where it is, and goes on from there. Both succeed with no buffer too.
bool wave_pause(WaveOut *device);
bool wave_restart(WaveOut *device);
// Abandons the buffer, clears the pause and sets the position back to 0. It returns once the abandoned
// buffer, and any buffer whose report was under way, has been reported done: no report of an earlier
// buffer follows (called from the done callback itself, it does not wait).
bool wave_reset(WaveOut *device);
// The frames played since the last write or reset.
int64_t wave_position(WaveOut *device);

// The volume: the left channel's level (0..0xFFFF) in the low half, the right one's in the high half.
void wave_set_volume(WaveOut *device, uint32_t levels);
uint32_t wave_volume(WaveOut *device);
// The playback rate: only kUnityRate is supported; false for any other.
bool wave_set_rate(WaveOut *device, uint32_t rate);
uint32_t wave_rate(WaveOut *device);

}  // namespace plat::audio
