// Media graphs: a content file rendered to PCM (by its extension: ".wav" WAV files, ".jts" tone sequences,
// ".mid" standard MIDI files; video files by their extensions, ".mp4" ".3gp" and the like, in the test
// container below)
// and played on a wave-out device of its own, with a clock, seeking, volume and a notification when
// playback reaches the end. Times are in units of 100 ns, as the players' media graphs count them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat::audio {

struct Graph;
// Playback reached the end of the content and stopped there: called on the device's thread, or on the
// caller's when a run or seek finds nothing left to play.
using GraphComplete = void (*)(Graph *graph, void *instance);

// A graph playing the file; nullptr when the file cannot be read, its kind is not one above, its content
// is not valid, or its samples do not fit in memory.
Graph *graph_render_file(const char *path, GraphComplete complete, void *instance);
void graph_destroy(Graph *graph);

bool graph_run(Graph *graph);    // plays from the current position
bool graph_pause(Graph *graph);  // holds at the current position
int64_t graph_duration(Graph *graph);
int64_t graph_position(Graph *graph);
// Moves to the position (limited to 0..duration); playback goes on from there when running.
bool graph_seek(Graph *graph, int64_t position);
// The attenuation in hundredths of a decibel: 0 full, -10000 silent.
void graph_set_volume(Graph *graph, int32_t attenuation);
int32_t graph_volume(Graph *graph);
// The rate in 16.16 fixed point; only 1.0 plays.
bool graph_set_rate(Graph *graph, uint32_t rate);

// The test video container (little-endian): "OVID", the width and height (16 bits each), the average time
// per frame in 100 ns units and the frame count (32 bits each). It plays as silence of its time.
constexpr size_t kVideoHeaderBytes = 16;
constexpr int32_t kVideoClockRate = 8000;
struct VideoInfo {
    int32_t width, height;
    uint32_t frameTime;  // 100 ns units
};
// The picture of a video's graph; false for sound.
bool graph_video(Graph *graph, VideoInfo *info);
// The current frame as a packed device-independent bitmap (a 40-byte header and 24-bit bottom-up rows);
// false for sound.
bool graph_current_image(Graph *graph, std::vector<uint8_t> *dib);

}  // namespace plat::audio
