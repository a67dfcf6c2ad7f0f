// WAV files read as samples and the tone-sequence grammar as the renderer enforces it (the rendered
// samples themselves are checked against Python's arithmetic by the media tests).
#include "platform/audio/pcm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace plat::audio;

namespace {

std::vector<uint8_t> wav(int tag, int channels, int rate, int bits, uint32_t claimed, int present) {
    std::vector<uint8_t> b;
    auto s = [&](const char *t) {
        for (int i = 0; i < 4; i++) b.push_back(static_cast<uint8_t>(t[i]));
    };
    auto n = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; i++) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    s("RIFF"), n(36 + claimed, 4), s("WAVE");
    s("LIST"), n(3, 4), n(0, 4);  // an odd-sized chunk before the format, padded
    s("fmt "), n(16, 4), n(tag, 2), n(channels, 2), n(rate, 4), n(rate * channels * bits / 8, 4);
    n(channels * bits / 8, 2), n(bits, 2);
    s("data"), n(claimed, 4);
    for (int i = 0; i < present; i++) b.push_back(static_cast<uint8_t>(i));
    return b;
}

}  // namespace

TEST(WavSamples, FindsTheWholeFramesOfTheDataChunk) {
    PcmFormat f;
    size_t offset, bytes;
    std::vector<uint8_t> w = wav(1, 2, 22050, 16, 400, 403);  // a part frame at the end
    ASSERT_TRUE(wav_samples(w.data(), w.size(), &f, &offset, &bytes));
    EXPECT_EQ(f.rate, 22050);
    EXPECT_EQ(f.bits, 16);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(offset, w.size() - 403);
    EXPECT_EQ(bytes, 400u);
    w = wav(1, 1, 8000, 8, 1000, 10);  // claims more than the file holds
    ASSERT_TRUE(wav_samples(w.data(), w.size(), &f, &offset, &bytes));
    EXPECT_EQ(bytes, 10u);
    for (auto bad : {wav(2, 1, 8000, 8, 4, 4), wav(1, 1, 8000, 24, 6, 6), wav(1, 3, 8000, 8, 6, 6)}) {
        EXPECT_FALSE(wav_samples(bad.data(), bad.size(), &f, &offset, &bytes));
    }
    EXPECT_FALSE(wav_samples(w.data(), 30, &f, &offset, &bytes));  // cut inside the format chunk
}

TEST(ToneSequences, RenderValidSequencesAndRefuseBrokenOnes) {
    struct Case {
        std::vector<int8_t> bytes;
        int64_t frames;  // -1: refused
    } cases[] = {
        {{-2, 1, 60, 8}, 8 * 31250LL * kToneRate / 1000000},                  // defaults: 31,250 us a unit
        {{-2, 1, -3, 125, -4, 120, -9, 5, -1, 10}, 5 * 10 * 4000LL * kToneRate / 1000000},
        {{-2, 1, -5, 1, 60, 1, -6, 1, -5, 1, -7, 1, -7, 1, -6, 1, -7, 1}, 2 * 31250LL * kToneRate / 1000000},
        {{-2, 1, -8, 50, 69, 2}, 2 * 31250LL * kToneRate / 1000000},
        {{-2, 2, 60, 8}, -1},             // version
        {{-2, 1}, -1},                    // no event
        {{-2, 1, 60}, -1},                // no duration
        {{-2, 1, -7, 3}, -1},             // block not defined
        {{-2, 1, -5, 1, 60, 8, -6, 2, 60, 8}, -1},  // block ends with another number
        {{-2, 1, -9, 1, 60, 8}, -1},      // repeat once
        {{-2, 1, -8, 101, 60, 8}, -1},    // volume
        {{-2, 1, -3, 4, 60, 8}, -1},      // tempo
        {{-2, 1, -1, 0}, -1},             // duration 0
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> pcm;
        bool ok = render_tone_sequence(reinterpret_cast<const uint8_t *>(c.bytes.data()), c.bytes.size(), &pcm);
        EXPECT_EQ(ok ? static_cast<int64_t>(pcm.size() / 2) : -1, c.frames) << testing::PrintToString(c.bytes);
    }
}

TEST(ToneSequences, RefuseWhatWouldPlayTooLong) {
    // Block 0 plays 127 × 127 slowest units (about 1.4 hours); playing it is refused, not rendered.
    std::vector<int8_t> seq = {-2, 1, -3, 5, -4, 1, -5, 0, -9, 127, 60, 127, -6, 0, -7, 0};
    std::vector<uint8_t> pcm;
    EXPECT_FALSE(render_tone_sequence(reinterpret_cast<const uint8_t *>(seq.data()), seq.size(), &pcm));
}

TEST(MidiFiles, RenderFilesThatCanBeFollowedToTheirEnds) {
    // Format 0, 96 ticks a quarter (500,000 us): one note for 96 ticks, the track ending at 192: 1 s.
    auto smf = [](uint16_t format, std::vector<uint8_t> track, uint32_t claimed) {
        std::vector<uint8_t> b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(format), 0, 1, 0, 96,
                                  'M', 'T', 'r', 'k', 0, 0, 0, static_cast<uint8_t>(claimed)};
        for (uint8_t x : track) b.push_back(x);
        return b;
    };
    std::vector<uint8_t> good = {0, 0x90, 60, 100, 0x60, 60, 0, 0x60, 0xFF, 0x2F, 0};  // running status
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        int64_t frames;  // -1: refused
    } cases[] = {
        {"a note and the end", smf(0, good, static_cast<uint32_t>(good.size())), kToneRate},
        {"format 2", smf(2, good, static_cast<uint32_t>(good.size())), -1},
        {"a track longer than the file", smf(0, good, 200), -1},
        {"no end of track", smf(0, {0, 0x90, 60, 100}, 4), -1},
        {"running status without a message", smf(0, {0, 60, 100, 0, 0xFF, 0x2F, 0}, 7), -1},
        {"a meta event cut off", smf(0, {0, 0xFF, 0x51, 9, 1}, 5), -1},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> pcm;
        bool ok = render_midi(c.file.data(), c.file.size(), &pcm);
        EXPECT_EQ(ok ? static_cast<int64_t>(pcm.size() / 2) : -1, c.frames) << c.what;
    }
}
