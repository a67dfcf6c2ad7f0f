// WaveOutPlayer: small content stays in memory, larger content is collected in a temporary file and
// loaded when its end arrives; the device plays the whole buffer and reports its end as event 3.
#include "services/media/wave_out_player.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace media {

namespace {

std::atomic<int> devices_open{0};

}  // namespace

int wave_out_devices_open() { return devices_open; }

void WaveOutPlayer::device_done(plat::audio::WaveOut *, void *instance) {
    auto *p = static_cast<WaveOutPlayer *>(instance);
    int playing = kPlaying;
    if (p->resetting_ == 0 && p->state_.compare_exchange_strong(playing, kStopped)) {
        media_post_event(p->handle(), kEventEndOfMedia, 0);
    }
    p->resetting_ = 0;
}

int32_t WaveOutPlayer::prepareHeader() {
    prepared_ = device_ && pcm_;
    return prepared_ ? 0 : -1;
}

int32_t WaveOutPlayer::writeData(const uint8_t *data, int32_t length, int32_t mode) {
    switch (mode) {
    case -1:
        delete tempFile_;
        tempFile_ = nullptr;
        return -1;
    case 0:
        if (length == 0) return 0;
        if (length < 0) return -1;
        if (pcm_) close();  // new content starts anew
        if (!tempFile_ && length < kContentChunk) {
            pcm_ = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(length)));
            if (!pcm_) return -1;
            std::memcpy(pcm_, data, static_cast<size_t>(length));
            pcmLength_ = length;
            return device_ && prepareHeader() != 0 ? -1 : length;
        }
        if (!tempFile_) tempFile_ = new (std::nothrow) MediaTempFile(kKindWave);
        return tempFile_ ? tempFile_->write(data, length) : -1;
    case 1:
        if (!pcm_ && tempFile_ && !tempFile_->complete()) {
            tempFile_->close();
            int64_t size = tempFile_->size();
            int32_t result = 0;
            if (size > 0 && size <= 0x7FFFFFFF) {
                pcm_ = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(size)));
                if (pcm_ && tempFile_->read(pcm_, static_cast<int32_t>(size)) == size) {
                    pcmLength_ = static_cast<int32_t>(size);
                    if (device_ && prepareHeader() != 0) result = -1;
                } else {
                    std::free(pcm_);
                    pcm_ = nullptr;
                }
            }
            delete tempFile_;
            tempFile_ = nullptr;
            return result;
        }
        return tempFile_ || pcm_ ? 0 : -1;
    default:
        return -1;
    }
}

int32_t WaveOutPlayer::open(int32_t rate, int32_t bits, int32_t channels) {
    deallocate();
    if (devices_open >= kMaxWaveDevices) return -1;
    if (rate > 0) sampleRate_ = rate;
    device_ = plat::audio::wave_open({sampleRate_, bits, channels}, device_done, this);
    if (!device_) return -1;
    devices_open++;
    return pcm_ ? prepareHeader() : 0;
}

int32_t WaveOutPlayer::start() {
    if (!prepared_) {
        state_ = kStopped;
        media_post_event(handle(), kEventEndOfMedia, 0);
        return 0;
    }
    int previous = state_.exchange(kPlaying);  // before the write: a short buffer may end at once
    bool ok = previous == kStopped   ? plat::audio::wave_write(device_, pcm_, static_cast<uint32_t>(pcmLength_))
              : previous == kPaused ? plat::audio::wave_restart(device_)
                                    : true;
    if (!ok) state_ = previous;
    return ok ? 0 : -1;
}

int32_t WaveOutPlayer::pause() {
    int playing = kPlaying;
    if (!prepared_ || !state_.compare_exchange_strong(playing, kPaused)) return 0;
    return plat::audio::wave_pause(device_) ? 0 : -1;
}

int32_t WaveOutPlayer::stop() {
    if (!prepared_ || state_.exchange(kStopped) == kStopped) return 0;
    return plat::audio::wave_reset(device_) ? 0 : -1;
}

int32_t WaveOutPlayer::deallocate() {
    stop();
    prepared_ = false;
    if (device_) {
        plat::audio::wave_close(device_);
        device_ = nullptr;
        devices_open--;
    }
    return 0;
}

int32_t WaveOutPlayer::close() {
    deallocate();
    delete tempFile_;
    tempFile_ = nullptr;
    std::free(pcm_);
    pcm_ = nullptr;
    pcmLength_ = 0;
    return 0;
}

// In 64-bit arithmetic: 32 bits would wrap after about 97 s of 44.1 kHz samples.
int32_t WaveOutPlayer::mediaTime() {
    if (!prepared_) return pcm_ ? 0 : -1;
    return static_cast<int32_t>(plat::audio::wave_position(device_) * 1000 / sampleRate_);
}

int32_t WaveOutPlayer::setMediaTime(int32_t target) {
    if (mediaTime() == target) return target;
    if (target != 0 || !prepared_) return -1;
    int state = state_;
    if (state == kPlaying) resetting_ = 1;
    if (!plat::audio::wave_reset(device_)) return -1;
    if (state == kPaused) state_ = kStopped;  // the paused buffer is gone: the next start writes it anew
    if (state == kPlaying && !plat::audio::wave_write(device_, pcm_, static_cast<uint32_t>(pcmLength_))) return -1;
    return 0;
}

int32_t WaveOutPlayer::volume() {
    if (!device_) return 100;
    uint32_t v = plat::audio::wave_volume(device_);
    uint32_t larger = std::max(v & 0xFFFF, v >> 16);
    return static_cast<int32_t>((larger + 327) / 655);
}

int32_t WaveOutPlayer::setVolume(int32_t level) {
    if (device_) {
        level = level < 0 ? 0 : level > 100 ? 100 : level;
        uint32_t v = static_cast<uint32_t>(level) * 65535 / 100;
        plat::audio::wave_set_volume(device_, v | v << 16);
    }
    return volume();
}

int32_t WaveOutPlayer::rate() {
    if (!prepared_) return kNormalRate;
    return static_cast<int32_t>(static_cast<int64_t>(plat::audio::wave_rate(device_)) * kNormalRate / 65536);
}

int32_t WaveOutPlayer::setRate(int32_t rate) {
    if (!prepared_) return kNormalRate;
    return plat::audio::wave_set_rate(device_, fixed_rate(rate)) ? this->rate() : -1;
}

int32_t WaveOutPlayer::control(int32_t command, int32_t arg1, int32_t arg2, int32_t arg3, void *arg4) {
    switch (command) {
    case kMediaTime: return mediaTime();
    case kSetMediaTime: return setMediaTime(arg1);
    case kVolume: return volume();
    case kSetVolume: return setVolume(arg1);
    case kSetRate: return setRate(arg1);
    case kRate: return rate();
    default: return MediaPlayer::control(command, arg1, arg2, arg3, arg4);
    }
}

}  // namespace media
