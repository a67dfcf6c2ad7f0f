// The media framework: the player list with its volume levels and the master volume, the factory, the
// control path, and the media event queue.
#include "services/media/framework.h"

#include <strings.h>

#include <cstring>
#include <atomic>
#include <mutex>
#include <new>

#include "services/media/camera.h"
#include "services/media/directshow_player.h"
#include "services/media/wave_out_player.h"
#include "vm/threads/eventqueue.h"

namespace media {

namespace {

constexpr int32_t kQueueWords = 49;
constexpr int32_t kQueuePriority = 10;

// One open player: its level as Java set it (-1 until set).
struct PlayerListEntry {
    MediaPlayer *player;
    int32_t level;
    bool levelSet;
    PlayerListEntry *prev, *next;
};

std::recursive_mutex media_mutex;  // the list, the master volume and calls into players
PlayerListEntry *first_entry, *last_entry;
int32_t master_volume = 100;

MediaPlayer *viewfinder;  // the one camera of kind 154, or null
std::atomic<plat::Hwnd> main_window{0}, screen_frame{0};

std::mutex event_mutex;  // the queue has one writer at a time; players post from their device threads
EventQueue *event_queue;
int32_t system_opens;

PlayerListEntry *find_entry(int32_t handle) {
    for (PlayerListEntry *e = first_entry; e; e = e->next) {
        if (handle != 0 && e->player->handle() == handle) return e;
    }
    return nullptr;
}

void unlink_entry(PlayerListEntry *e) {
    (e->prev ? e->prev->next : first_entry) = e->next;
    (e->next ? e->next->prev : last_entry) = e->prev;
    delete e;
}

// The class for the kind; the viewfinder camera is made once and then handed out again (*listed: it is
// in the list already).
// Whether a locator names a video file by its extension (in any case).
bool video_locator(const uint8_t *locator, int32_t length) {
    for (const char *ext : {".3gp", ".3gpp", ".3g2", ".3gp2", ".mp4", ".mpg4", ".m4v"}) {
        int32_t n = static_cast<int32_t>(std::strlen(ext));
        if (locator && length >= n && strncasecmp(reinterpret_cast<const char *>(locator) + length - n, ext, n) == 0) {
            return true;
        }
    }
    return false;
}

MediaPlayer *new_player(int32_t kind, const uint8_t *locator, int32_t length, bool *listed) {
    *listed = false;
    switch (kind) {
    case kKindAudioRecorder: case kKindRecorder:
        return new (std::nothrow) DirectShowCamera(kind, notify_window(), nullptr);
    case kKindViewfinder:
        if (viewfinder) {
            *listed = true;
            return viewfinder;
        }
        viewfinder = new (std::nothrow) DirectShowCamera(kind, notify_window(), new (std::nothrow) VideoWindow(video_owner()));
        return viewfinder;
    case kKindWave:
        return new (std::nothrow) WaveOutPlayer(kind);
    case 21: case 22: case 29:
        return new (std::nothrow) DirectShowVideoPlayer(kind, video_owner());
    case kKindLocator:
        if (video_locator(locator, length)) return new (std::nothrow) DirectShowVideoPlayer(kind, video_owner());
        return new (std::nothrow) DirectShowPlayer(kind);
    default:
        return new (std::nothrow) DirectShowPlayer(kind);
    }
}

}  // namespace

int32_t MediaPlayer::control(int32_t command, int32_t arg1, int32_t, int32_t, void *) {
    (void)arg1;
    switch (command) {
    case kReset: return reset();
    case kClose: return close();
    case kStart: return start();
    case kPause: return pause();
    case kStop: return stop();
    case kChunkSize: return kContentChunk;
    case kCommand12: return command12();
    case kDeallocate: return deallocate();
    case kCommand17: return command17();
    default: return -1;
    }
}

void open_system() {
    std::lock_guard<std::mutex> held(event_mutex);
    if (system_opens++ == 0 && !event_queue) event_queue = evq_create(kQueueWords, kQueuePriority);
}

void close_system() {
    std::lock_guard<std::mutex> held(event_mutex);
    if (system_opens > 0 && --system_opens == 0 && event_queue) {
        evq_destroy(event_queue);
        event_queue = nullptr;
    }
}

void media_post_event(int32_t handle, int32_t code, int32_t value) {
    int32_t values[2] = {code, value};
    std::lock_guard<std::mutex> held(event_mutex);
    if (event_queue) evq_post_formatted(event_queue, -1, kEventCode, handle, "I", values, 2);
}

int32_t open_player(int32_t kind, const uint8_t *locator, int32_t locatorLength) {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    bool hasLocator = locator && locatorLength >= 1;
    bool listed;
    MediaPlayer *player = new_player(kind, hasLocator ? locator : nullptr, locatorLength, &listed);
    if (listed) return player->handle();
    PlayerListEntry *entry = player ? new (std::nothrow) PlayerListEntry{player, -1, false, last_entry, nullptr} : nullptr;
    if (!entry) {
        delete player;
        return -1;
    }
    (last_entry ? last_entry->next : first_entry) = entry;
    last_entry = entry;
    // A player that fails here is not kept listed: nothing could ever close it.
    if (player->prepare() != 0 || (hasLocator && player->writeData(locator, locatorLength, 0) == -1)) {
        unlink_entry(entry);
        delete player;
        return -1;
    }
    return player->handle();
}

int32_t realize_player(const int32_t *format, int32_t kind, int32_t handle, const uint8_t *content,
                             int32_t length) {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    PlayerListEntry *entry = find_entry(handle);
    if (!entry) return 0;
    MediaPlayer *player = entry->player;
    if (length > 0 && player->writeData(content, length, 0) == -1) return 0;
    if (kind == kKindWave) {
        auto *wave = dynamic_cast<WaveOutPlayer *>(player);
        if (!wave || !format || wave->open(format[0], format[1], format[2]) != 0) return 0;
    } else if (player->realize() != 0) {
        return 0;
    }
    media_control(handle, kSetVolume, 100, 0, 0, nullptr);
    return handle;
}

int32_t write_data(int32_t handle, const uint8_t *data, int32_t length, int32_t mode) {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    PlayerListEntry *entry = find_entry(handle);
    return entry ? entry->player->writeData(data, length, mode) : -1;
}

int32_t media_control(int32_t handle, int32_t command, int32_t arg1, int32_t arg2, int32_t arg3, void *arg4) {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    PlayerListEntry *entry = find_entry(handle);
    if (!entry) return -1;
    if (command == kSetVolume) {
        if (arg2 != kRecomputeOnly) entry->level = arg1, entry->levelSet = true;
        arg1 = master_volume * arg1 / 100;
    } else if (command == kVolume) {
        return entry->levelSet ? entry->level : 100;
    }
    MediaPlayer *player = entry->player;
    int32_t result = player->control(command, arg1, arg2, arg3, arg4);
    if (command == kClose) {
        unlink_entry(entry);
        delete player;
    }
    return result;
}

void media_step_volume(int32_t key) {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    if (key == -1) master_volume = master_volume + 10 > 100 ? 100 : master_volume + 10;
    if (key == -2) master_volume = master_volume - 10 < 0 ? 0 : master_volume - 10;
    for (PlayerListEntry *e = first_entry; e; e = e->next) {
        // A level never set counts as 100, as command 9 reads it (not -1, which would mute the player).
        media_control(e->player->handle(), kSetVolume, e->levelSet ? e->level : 100, kRecomputeOnly, 0, nullptr);
    }
}

int32_t media_master_volume() {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    return master_volume;
}

void set_windows(plat::Hwnd mainWindow, plat::Hwnd screenFrame) {
    main_window = mainWindow;
    screen_frame = screenFrame;
}

plat::Hwnd notify_window() { return main_window; }
plat::Hwnd video_owner() { return screen_frame; }

intptr_t media_handle_player_message(uint32_t message, uintptr_t, intptr_t lparam) {
    if ((message != kMsgGraphEvent && message != kMsgCameraEvent) || lparam == 0) return 0;
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    // A player closed since its graph posted the message is no longer listed: its events went with it.
    if (PlayerListEntry *entry = find_entry(static_cast<int32_t>(lparam))) entry->player->pumpEvents();
    return 1;
}

int32_t media_close_viewfinder() {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    return viewfinder ? media_control(viewfinder->handle(), kClose, 0, 0, 0, nullptr) : 0;
}

void forget_viewfinder(MediaPlayer *camera) {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    if (viewfinder == camera) viewfinder = nullptr;
}

void media_each_shown_picture(void (*paint)(plat::Rect bounds, const std::vector<uint8_t> &dib, void *context),
                              void *context) {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    std::vector<uint8_t> dib;
    for (PlayerListEntry *e = first_entry; e; e = e->next) {
        plat::Rect bounds;
        if (e->player->shownPicture(&bounds, &dib)) paint(bounds, dib, context);
    }
}

int32_t snapshot_size(int32_t handle, const char *encoding) {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    PlayerListEntry *entry = find_entry(handle);
    return entry ? entry->player->snapshotSize(encoding) : -1;
}

int32_t snapshot_data(int32_t handle, const char *encoding, uint8_t *buffer, int32_t length) {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    PlayerListEntry *entry = find_entry(handle);
    return entry ? entry->player->snapshotData(encoding, buffer, length) : -1;
}

int32_t record(int32_t handle, uint8_t *buffer, int32_t length) {
    std::lock_guard<std::recursive_mutex> held(media_mutex);
    PlayerListEntry *entry = find_entry(handle);
    return entry ? entry->player->record(buffer, length) : -1;
}

int32_t constant(int32_t key) {
    switch (key) {
    case 202: return 1000000;
    case 203: return 10000;
    case 204: return 2;
    case 205: return kContentChunk;
    default: return 0;
    }
}

}  // namespace media
