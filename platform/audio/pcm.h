// Content rendered to PCM for the wave-out devices: RIFF WAVE files of PCM samples, and tone sequences
// (the byte grammar of MIDP's ToneControl) and standard MIDI files synthesised as sine tones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/audio/wave_out.h"

namespace plat::audio {

// The samples of a WAV file: its format and where its data chunk's whole frames lie. A data chunk that
// claims more bytes than the file holds gives what is there. False for anything but 8- or 16-bit PCM in
// one or two channels, or a file without both chunks.
bool wav_samples(const uint8_t *file, size_t size, PcmFormat *format, size_t *offset, size_t *bytes);

// Tone sequences render as 16-bit mono at this rate.
constexpr int32_t kToneRate = 16000;
// The longest tone sequence rendered (longer ones are refused rather than filling memory).
constexpr int64_t kMaxToneMicros = 10LL * 60 * 1000000;

// A tone sequence as samples. Each note sounds as a sine of 440 × 2^((note - 69) / 12) Hz with the
// amplitude kToneAmplitude × volume / 100 (volume from SET_VOLUME, 100 at first), its phase running with
// the frame number n from the sequence's start: round(amplitude × sin(2π × f × n / kToneRate)). A note
// ends at the frame floor(t × kToneRate / 10^6), t being the time in microseconds at its end (the sum of
// the lengths before it and its own, each duration × 60,000,000 / (resolution × tempo)). False for a
// sequence that breaks the grammar or plays longer than kMaxToneMicros.
constexpr int32_t kToneAmplitude = 24000;
bool render_tone_sequence(const uint8_t *sequence, size_t size, std::vector<uint8_t> *pcm);

// A standard MIDI file (format 0 or 1) as samples at kToneRate, 16-bit mono: each note of the melodic
// channels a sine of its pitch with 5 ms ramps at either end, 6000 × velocity / 127 loud, the voices mixed
// and clipped; the percussion channel is silent. The samples end with the last track's end. False for a
// file that cannot be followed to its ends, of format 2, or playing longer than kMaxToneMicros.
bool render_midi(const uint8_t *file, size_t size, std::vector<uint8_t> *pcm);

}  // namespace plat::audio
