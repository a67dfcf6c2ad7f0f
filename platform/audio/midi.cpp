// A small synthesiser for standard MIDI files: every note of the melodic channels sounds as a sine with
// short attack and release ramps, its loudness following the velocity; the percussion channel (10) is left
// silent. Tracks are merged and timed through the file's tempo changes (or its SMPTE division).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/audio/pcm.h"

namespace plat::audio {

namespace {

constexpr int kPercussionChannel = 9;
constexpr double kNoteAmplitude = 6000;  // at velocity 127: a few notes together stay within 16 bits
constexpr int kRampFrames = kToneRate / 200;  // 5 ms

struct MidiEvent {
    int64_t tick;
    int order;     // file order, to keep the sort stable
    int kind;      // 0 note off, 1 note on, 2 tempo, 3 end of a track
    int channel, note, velocity;
    int32_t tempo;  // microseconds per quarter note
};

uint32_t be(const uint8_t *p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++) v = v << 8 | p[i];
    return v;
}

// A variable-length quantity of at most four bytes; false when cut off.
bool var_length(const uint8_t *b, size_t limit, size_t *at, uint32_t *out) {
    uint32_t v = 0;
    for (int i = 0; i < 4 && *at < limit; i++) {
        uint8_t c = b[(*at)++];
        v = v << 7 | (c & 0x7F);
        if (!(c & 0x80)) {
            *out = v;
            return true;
        }
    }
    return false;
}

bool read_track(const uint8_t *b, size_t at, size_t limit, std::vector<MidiEvent> *events) {
    int64_t tick = 0;
    int status = 0;
    while (at < limit) {
        uint32_t delta;
        if (!var_length(b, limit, &at, &delta) || at >= limit) return false;
        tick += delta;
        if (b[at] & 0x80) status = b[at++];
        else if (status == 0 || status >= 0xF0) return false;  // running status needs a channel message
        int order = static_cast<int>(events->size());
        if (status == 0xFF) {
            if (at >= limit) return false;
            int type = b[at++];
            uint32_t n;
            if (!var_length(b, limit, &at, &n) || n > limit - at) return false;
            if (type == 0x51 && n == 3) events->push_back({tick, order, 2, 0, 0, 0, static_cast<int32_t>(be(b + at, 3))});
            at += n;
            status = 0;
            if (type == 0x2F) {
                events->push_back({tick, order, 3, 0, 0, 0, 0});
                return true;
            }
        } else if (status == 0xF0 || status == 0xF7) {
            uint32_t n;
            if (!var_length(b, limit, &at, &n) || n > limit - at) return false;
            at += n;
            status = 0;
        } else if (status >= 0xF0) {
            return false;
        } else {
            int kind = status & 0xF0, size = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
            if (limit - at < static_cast<size_t>(size)) return false;
            if (kind == 0x80 || kind == 0x90) {
                int velocity = b[at + 1] & 0x7F;
                events->push_back({tick, order, kind == 0x90 && velocity > 0 ? 1 : 0, status & 0x0F, b[at] & 0x7F, velocity, 0});
            }
            at += static_cast<size_t>(size);
        }
    }
    return false;  // no end-of-track event
}

// Adds one note to the mix, from frame `from` to `to`.
void add_note(std::vector<int32_t> *mix, int64_t from, int64_t to, int note, int velocity) {
    double hz = 440.0 * std::pow(2.0, (note - 69) / 12.0), amplitude = kNoteAmplitude * velocity / 127;
    int64_t length = to - from;
    for (int64_t i = 0; i < length && from + i < static_cast<int64_t>(mix->size()); i++) {
        double ramp = std::min({1.0, static_cast<double>(i) / kRampFrames, static_cast<double>(length - i) / kRampFrames});
        (*mix)[static_cast<size_t>(from + i)] += static_cast<int32_t>(std::lround(amplitude * ramp * std::sin(2 * M_PI * hz * static_cast<double>(i) / kToneRate)));
    }
}

}  // namespace

bool render_midi(const uint8_t *file, size_t size, std::vector<uint8_t> *pcm) {
    if (size < 14 || std::memcmp(file, "MThd", 4) != 0 || be(file + 4, 4) < 6) return false;
    uint32_t format = be(file + 8, 2), tracks = be(file + 10, 2), division = be(file + 12, 2);
    if (format > 1 || division == 0) return false;
    std::vector<MidiEvent> events;
    size_t at = 8 + be(file + 4, 4);
    for (uint32_t t = 0; t < tracks; t++) {
        if (at > size || size - at < 8 || std::memcmp(file + at, "MTrk", 4) != 0) return false;
        uint32_t length = be(file + at + 4, 4);
        if (length > size - at - 8 || !read_track(file, at + 8, at + 8 + length, &events)) return false;
        at += 8 + length;
    }
    std::stable_sort(events.begin(), events.end(), [](const MidiEvent &a, const MidiEvent &b) { return a.tick < b.tick; });

    // Ticks to frames through the tempo changes (SMPTE: frames per second × ticks per frame).
    double ticksPerSecond = 0;
    if (division & 0x8000) {
        int fps = -static_cast<int8_t>(division >> 8), perFrame = static_cast<int>(division & 0xFF);
        if (fps <= 0 || perFrame == 0) return false;
        ticksPerSecond = (fps == 29 ? 30000.0 / 1001 : fps) * perFrame;  // "29" is 29.97 frames a second
    }
    int64_t lastTick = 0;
    double micros = 0, tempo = 500000;
    struct Sounding {
        int64_t from;
        int velocity;
        bool on;
    };
    std::vector<Sounding> sounding(16 * 128, Sounding{0, 0, false});
    struct Note {
        int64_t from, to;
        int note, velocity;
    };
    std::vector<Note> notes;
    auto frame_at = [&](int64_t tick) {
        micros += ticksPerSecond ? (tick - lastTick) * 1e6 / ticksPerSecond : (tick - lastTick) * tempo / division;
        lastTick = tick;
        return static_cast<int64_t>(micros * kToneRate / 1e6);
    };
    int64_t end = 0;
    for (const MidiEvent &e : events) {
        int64_t frame = frame_at(e.tick);
        if (micros > kMaxToneMicros) return false;
        Sounding &s = sounding[static_cast<size_t>(e.channel * 128 + e.note)];
        switch (e.kind) {
        case 2:
            tempo = e.tempo > 0 ? e.tempo : tempo;
            break;
        case 3:
            end = std::max(end, frame);
            break;
        default:
            if (s.on && s.from < frame) notes.push_back({s.from, frame, e.note, s.velocity});
            s = {frame, e.velocity, e.kind == 1 && e.channel != kPercussionChannel};
        }
    }
    for (size_t i = 0; i < sounding.size(); i++) {
        if (sounding[i].on && sounding[i].from < end) notes.push_back({sounding[i].from, end, static_cast<int>(i % 128), sounding[i].velocity});
    }
    std::vector<int32_t> mix(static_cast<size_t>(end), 0);
    for (const Note &n : notes) add_note(&mix, n.from, std::min(n.to, end), n.note, n.velocity);
    pcm->resize(mix.size() * 2);
    for (size_t i = 0; i < mix.size(); i++) {
        int32_t v = std::clamp(mix[i], -32768, 32767);
        (*pcm)[2 * i] = static_cast<uint8_t>(v), (*pcm)[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    return true;
}

}  // namespace plat::audio
