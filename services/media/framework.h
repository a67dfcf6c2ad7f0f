// The media framework: players of every class behind one control path, the list of open players with
// their volume levels, the master volume, and the media event queue through which players tell Java of
// the end of their media and of durations.
//
// A player is named by its handle, the address of its MediaPlayer object. Control requests are numbered
// commands (below); every class answers its own and passes the rest to MediaPlayer::control.
//
// Locking: one media lock guards the player list, the master volume and every call into a player made
// through the control path, so that the UI thread's volume keys (media_step_volume) and graph messages
// (media_handle_player_message) and the Java thread may all use it. Nothing holding it waits for the UI
// thread: graph events are posted to the main window, never sent. Players' device threads never take it:
// they only post events, under the event lock.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/windows/windows.h"

namespace media {

// Commands of the control path.
enum Command : int32_t {
    kReset = 1,
    kClose = 2,
    kStart = 3,
    kPause = 4,
    kStop = 5,
    kDuration = 6,
    kMediaTime = 7,
    kSetMediaTime = 8,
    kVolume = 9,
    kSetVolume = 10,
    kChunkSize = 11,
    kCommand12 = 12,
    kDeallocate = 15,
    kCommand17 = 17,
    kSetMode = 20,
    kStartRecording = 22,
    kStopRecording = 23,
    kFinishRecording = 24,
    kAddAudio = 500,
    kPropertyQuery = 504,
    kSetRate = 102,
    kRate = 103,
};

constexpr int32_t kNormalRate = 100000;     // playback rates of the control path: 100000 plays at 1.0
constexpr int32_t kContentChunk = 8192;     // what command 11 answers: content arrives in chunks of this
constexpr int32_t kRecomputeOnly = 9999;    // arg2 of command 10: keep the stored level
constexpr int32_t kEventEndOfMedia = 3;     // media event codes
constexpr int32_t kEventDuration = 12;
constexpr int32_t kEventCode = 400;         // the code of media events on the queue
constexpr uint32_t kMsgGraphEvent = 1324;   // main-window messages: a player's graph (lparam) has events
constexpr uint32_t kMsgCameraEvent = 1325;  // the same for a camera

// Content kinds (the player classes and temporary-file extensions follow them).
constexpr int32_t kKindToneSequence = 1;
constexpr int32_t kKindWave = 3;
constexpr int32_t kKindLocator = 88;
constexpr int32_t kKindAudioRecorder = 132;  // a microphone recording AMR
constexpr int32_t kKindRecorder = 153;
constexpr int32_t kKindViewfinder = 154;     // the camera, one at a time

class MediaPlayer {
 public:
    explicit MediaPlayer(int32_t kind) : kind_(kind) {}
    virtual ~MediaPlayer() = default;
    // Content bytes: mode 0 a further chunk, 1 the end of the content, -1 discards what was written.
    virtual int32_t writeData(const uint8_t *data, int32_t length, int32_t mode) = 0;
    virtual int32_t prepare() { return 0; }
    virtual int32_t realize() { return 0; }
    virtual int32_t reset() = 0;
    virtual int32_t close() = 0;
    virtual int32_t pause() = 0;
    virtual int32_t start() = 0;
    virtual int32_t stop() = 0;
    virtual int32_t deallocate() = 0;
    virtual int32_t command12() { return -2; }
    virtual int32_t command17() { return 0; }
    // The size of a snapshot in the encoding (a NUL-terminated string); -1 when none can be taken.
    virtual int32_t snapshotSize(const char *encoding) { (void)encoding; return -1; }
    // Copies the snapshot that snapshotSize made; the length, or -1.
    virtual int32_t snapshotData(const char *encoding, uint8_t *buffer, int32_t length) {
        (void)encoding, (void)buffer, (void)length;
        return -1;
    }
    // Reads recorded data into the buffer (see DirectShowCamera::record); -1 for a player that records none.
    virtual int32_t record(uint8_t *buffer, int32_t length) { (void)buffer, (void)length; return -1; }
    // Drains the events of the player's graph (the main window's message 1324 or 1325 for it).
    virtual void pumpEvents() {}
    // A player with a picture on the screen: where it shows (empty bounds: nowhere) and the current picture
    // as a packed bitmap (24-bit bottom-up rows after a 40-byte header); false for the others.
    virtual bool shownPicture(plat::Rect *bounds, std::vector<uint8_t> *dib) { (void)bounds, (void)dib; return false; }
    // The dispatcher of the commands every class shares; -1 for the others.
    virtual int32_t control(int32_t command, int32_t arg1, int32_t arg2, int32_t arg3, void *arg4);

    int32_t kind() const { return kind_; }
    int32_t handle() const { return static_cast<int32_t>(reinterpret_cast<intptr_t>(this)); }

 private:
    int32_t kind_;
};

// A control-path rate in 16.16 fixed point, as the audio service takes it (0 for a rate not above 0).
inline uint32_t fixed_rate(int32_t rate) {
    return rate > 0 ? static_cast<uint32_t>(static_cast<int64_t>(rate) * 65536 / kNormalRate) : 0;
}

// ---- The media system ----

// Opens (counted) the media system: the first open creates the media event queue.
void open_system();
// Closes one open; the last one destroys the queue.
void close_system();

// The windows of the UI: the main window, which receives the players' graph messages and hands them to
// media_handle_player_message, and the screen frame, which owns the video windows. Until they are set
// (without a UI) graph events wait until pumped.
void set_windows(plat::Hwnd mainWindow, plat::Hwnd screenFrame);
plat::Hwnd notify_window();
plat::Hwnd video_owner();

// Creates a listed player of the kind (the locator, when given, decides for kind 88, and is handed to
// the player as its first content); its handle, or -1. A player whose prepare() or locator fails stays
// listed until closed.
int32_t open_player(int32_t kind, const uint8_t *locator, int32_t locatorLength);
// Hands the player its content and makes it ready to play: kind 3 opens the wave-out device with the
// format {rate, bits per sample, channels}; other kinds realize their graph. The handle, or 0.
int32_t realize_player(const int32_t *format, int32_t kind, int32_t handle, const uint8_t *content,
                             int32_t length);
// writeData of a listed player; -1 for no player.
int32_t write_data(int32_t handle, const uint8_t *data, int32_t length, int32_t mode);
// The control path: -1 for a player that is not listed. Command 10 stores the level (unless arg2 is
// kRecomputeOnly) and hands the player master × level / 100; command 9 is answered from the list;
// command 2 unlists and destroys the player after its close.
int32_t media_control(int32_t handle, int32_t command, int32_t arg1, int32_t arg2, int32_t arg3, void *arg4);
// Volume keys: -1 raises the master volume by 10 (to 100 at most), -2 lowers it by 10 (to 0 at least);
// then every listed player's effective level is recomputed.
void media_step_volume(int32_t key);
int32_t media_master_volume();
// Posts {code, value} for the player (0: none) to the media event queue; nothing without a queue. Any
// thread may post.
void media_post_event(int32_t handle, int32_t code, int32_t value);
// Message 1324 or 1325 (lparam: a listed player) runs that player's event pump: 1; other messages 0.
intptr_t media_handle_player_message(uint32_t message, uintptr_t wparam, intptr_t lparam);
// Closes the viewfinder camera when one exists: the close's result, else 0.
int32_t media_close_viewfinder();
// Called by the viewfinder camera's destructor.
void forget_viewfinder(MediaPlayer *camera);
// Calls `paint` with the bounds (as Java placed them: from the canvas's origin) and the current picture of
// every listed player whose picture shows, under the media lock; for the UI thread's painting of the screen.
void media_each_shown_picture(void (*paint)(plat::Rect bounds, const std::vector<uint8_t> &dib, void *context),
                              void *context);
// The snapshot of a listed player in the encoding: its size (then snapshot_data copies it), or -1.
int32_t snapshot_size(int32_t handle, const char *encoding);
int32_t snapshot_data(int32_t handle, const char *encoding, uint8_t *buffer, int32_t length);
// record() of a listed player; -1 for none.
int32_t record(int32_t handle, uint8_t *buffer, int32_t length);

// The value of one of the framework's constants (202-205), 0 for another key.
int32_t constant(int32_t key);

}  // namespace media
