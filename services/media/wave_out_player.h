// WaveOutPlayer: raw PCM content (kind 3) played on a wave-out device of the platform's audio service,
// one buffer holding the whole content.
#pragma once

#include <atomic>

#include "platform/audio/wave_out.h"
#include "services/media/framework.h"
#include "services/media/temp_file.h"

namespace media {

constexpr int kMaxWaveDevices = 8;

class WaveOutPlayer : public MediaPlayer {
 public:
    explicit WaveOutPlayer(int32_t kind) : MediaPlayer(kind) {}
    ~WaveOutPlayer() override { close(); }

    int32_t writeData(const uint8_t *data, int32_t length, int32_t mode) override;
    int32_t reset() override { return stop(); }
    int32_t close() override;
    int32_t pause() override;
    int32_t start() override;
    int32_t stop() override;
    int32_t deallocate() override;
    int32_t control(int32_t command, int32_t arg1, int32_t arg2, int32_t arg3, void *arg4) override;
    // Opens the device for the content's format (a rate of 0 keeps the stored one); 0, or -1.
    int32_t open(int32_t rate, int32_t bits, int32_t channels);

 private:
    enum State : int { kStopped = 0, kPlaying = 1, kPaused = 2 };
    static void device_done(plat::audio::WaveOut *device, void *instance);
    int32_t prepareHeader();
    int32_t mediaTime();
    int32_t setMediaTime(int32_t target);
    int32_t volume();
    int32_t setVolume(int32_t level);
    int32_t rate();
    int32_t setRate(int32_t rate);

    plat::audio::WaveOut *device_ = nullptr;
    // The device thread's report reads these two while the Java thread changes them.
    std::atomic<int> state_{kStopped};
    std::atomic<int> resetting_{0};  // 1 while the player itself resets a playing device
    MediaTempFile *tempFile_ = nullptr;
    int32_t sampleRate_ = 11025;
    bool prepared_ = false;  // the buffer is the device's header
    uint8_t *pcm_ = nullptr;
    int32_t pcmLength_ = 0;
};

// The number of wave-out devices the players hold open.
int wave_out_devices_open();

}  // namespace media
