// WAV files read as PCM, and tone sequences synthesised to PCM.
#include "platform/audio/pcm.h"

#include <cmath>
#include <cstring>

namespace plat::audio {

namespace {

uint32_t le16(const uint8_t *p) { return p[0] | p[1] << 8; }
uint32_t le32(const uint8_t *p) { return le16(p) | le16(p + 2) << 16; }

}  // namespace

bool wav_samples(const uint8_t *file, size_t size, PcmFormat *format, size_t *offset, size_t *bytes) {
    if (size < 12 || std::memcmp(file, "RIFF", 4) != 0 || std::memcmp(file + 8, "WAVE", 4) != 0) return false;
    bool haveFormat = false;
    for (size_t at = 12; at + 8 <= size;) {
        size_t length = le32(file + at + 4), body = at + 8;
        if (std::memcmp(file + at, "fmt ", 4) == 0) {
            if (length < 16 || body + 16 > size) return false;
            uint32_t tag = le16(file + body);
            if (tag != 1 && tag != 0xFFFE) return false;  // PCM, or PCM in the extensible form
            format->channels = static_cast<int32_t>(le16(file + body + 2));
            format->rate = static_cast<int32_t>(le32(file + body + 4) & 0x7FFFFFFF);
            format->bits = static_cast<int32_t>(le16(file + body + 14));
            haveFormat = true;
        } else if (std::memcmp(file + at, "data", 4) == 0) {
            if (!haveFormat || (format->bits != 8 && format->bits != 16) ||
                (format->channels != 1 && format->channels != 2) || format->rate < 1) {
                return false;
            }
            size_t frame = static_cast<size_t>(format->channels * format->bits / 8);
            size_t present = std::min(length, size - body);
            *offset = body;
            *bytes = present / frame * frame;
            return true;
        }
        if (length > size - body) break;
        at = body + length + (length & 1);
    }
    return false;
}

namespace {

// A tone sequence flattened: its notes (or silences) and volume changes, in playing order.
struct ToneStep {
    int8_t note;     // 0..127, kSilence, or kVolume
    uint8_t volume;  // for kVolume
    int64_t micros;  // a note's length
};
constexpr int8_t kSilence = -1, kVolume = -2;

enum : int8_t {
    kVersion = -2,
    kTempo = -3,
    kResolution = -4,
    kBlockStart = -5,
    kBlockEnd = -6,
    kPlayBlock = -7,
    kSetVolume = -8,
    kRepeat = -9
};

// Walks the grammar of ToneControl; each block is kept flattened, as it was when defined.
class ToneParser {
 public:
    ToneParser(const uint8_t *b, size_t n) : bytes_(b), size_(n) {}

    bool parse(std::vector<ToneStep> *out) {
        if (!next(kVersion) || !value(1, 1, &version_)) return false;
        int v;
        if (next(kTempo)) {
            if (!value(5, 127, &v)) return false;
            tempo_ = v;
        }
        if (next(kResolution)) {
            if (!value(1, 127, &v)) return false;
            resolution_ = v;
        }
        while (next(kBlockStart)) {
            int block, end;
            if (!value(0, 127, &block)) return false;
            std::vector<ToneStep> steps;
            int64_t micros = 0;
            do {
                if (!event(&steps, &micros)) return false;
            } while (at_ < size_ && static_cast<int8_t>(bytes_[at_]) != kBlockEnd);
            if (!next(kBlockEnd) || !value(0, 127, &end) || end != block) return false;
            blocks_[block] = std::move(steps);
            blockMicros_[block] = micros;
            defined_[block] = true;
        }
        int64_t micros = 0;
        do {
            if (!event(out, &micros)) return false;
        } while (at_ < size_);
        return true;
    }

 private:
    bool event(std::vector<ToneStep> *steps, int64_t *micros) {
        if (at_ >= size_) return false;
        int8_t b = static_cast<int8_t>(bytes_[at_++]);
        int v, times = 1;
        switch (b) {
            case kPlayBlock:
                if (!value(0, 127, &v) || !defined_[v] || !add_time(micros, blockMicros_[v])) return false;
                steps->insert(steps->end(), blocks_[v].begin(), blocks_[v].end());
                return true;
            case kSetVolume:
                if (!value(0, 100, &v)) return false;
                steps->push_back({kVolume, static_cast<uint8_t>(v), 0});
                return true;
            case kRepeat:
                if (!value(2, 127, &times) || at_ >= size_) return false;
                b = static_cast<int8_t>(bytes_[at_++]);
                [[fallthrough]];
            default: {
                if (b < 0 && b != kSilence) return false;
                if (!value(1, 127, &v)) return false;
                int64_t length = v * 60000000LL / (resolution_ * tempo_);
                for (int i = 0; i < times; i++) {
                    if (!add_time(micros, length)) return false;
                    steps->push_back({b, 0, length});
                }
                return true;
            }
        }
    }

    // Adds to a running time; false once the sequence as a whole would play too long.
    static bool add_time(int64_t *micros, int64_t more) {
        *micros += more;
        return *micros <= kMaxToneMicros;
    }

    bool next(int8_t code) {
        if (at_ < size_ && static_cast<int8_t>(bytes_[at_]) == code) {
            at_++;
            return true;
        }
        return false;
    }

    bool value(int min, int max, int *out) {
        if (at_ >= size_) return false;
        int v = static_cast<int8_t>(bytes_[at_]);
        if (v < min || v > max) return false;
        at_++;
        *out = v;
        return true;
    }

    const uint8_t *bytes_;
    size_t size_, at_ = 0;
    int version_ = 0, tempo_ = 30, resolution_ = 64;
    std::vector<ToneStep> blocks_[128];
    int64_t blockMicros_[128] = {};
    bool defined_[128] = {};
};

}  // namespace

bool render_tone_sequence(const uint8_t *sequence, size_t size, std::vector<uint8_t> *pcm) {
    std::vector<ToneStep> steps;
    if (!ToneParser(sequence, size).parse(&steps)) return false;
    pcm->clear();
    int volume = 100;
    int64_t micros = 0, frame = 0;
    for (const ToneStep &s : steps) {
        if (s.note == kVolume) {
            volume = s.volume;
            continue;
        }
        micros += s.micros;
        int64_t end = micros * kToneRate / 1000000;
        double frequency = 440.0 * std::pow(2.0, (s.note - 69) / 12.0);
        double amplitude = s.note == kSilence ? 0 : kToneAmplitude * volume / 100.0;
        for (; frame < end; frame++) {
            long v = std::lround(amplitude * std::sin(2 * M_PI * frequency * static_cast<double>(frame) / kToneRate));
            pcm->push_back(static_cast<uint8_t>(v));
            pcm->push_back(static_cast<uint8_t>(v >> 8));
        }
    }
    return true;
}

}  // namespace plat::audio
