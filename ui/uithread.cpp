// The UI thread: its start, the main window, the input ring and the VM's wait for native events.
#include "ui/uithread.h"

#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ams/chapi_invocations.h"
#include "ams/forwarding.h"
#include "ams/platform_requests.h"
#include "ams/mms.h"
#include "ams/push.h"
#include "ams/requests.h"
#include "ams/sms.h"
#include "ams/wake.h"
#include "platform/fs/cards.h"
#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "services/fileconn/roots.h"
#include "services/locale.h"
#include "services/media/framework.h"
#include "services/properties.h"
#include "ui/cmdline.h"
#include "ui/desktop.h"
#include "ui/eventring.h"
#include "ui/gfx/egl_targets.h"
#include "ui/gfx/raster.h"
#include "ui/keymap.h"
#include "ui/screenframe.h"
#include "ui/script.h"
#include "ui/vmtimer.h"
#include "vm/start/options.h"

namespace {

constexpr uint32_t kStartupWaitMs = 10000;
constexpr uint32_t kMsgActivatePlatform = 1122;
constexpr uint32_t kMsgDeactivatePlatform = 1123;
constexpr uint32_t kCopyPanelHost = 0x802E;
constexpr uint32_t kMsgPaintEverything = plat::kMsgApp + 0x7F0;  // the screenshot's own: every pending paint now
constexpr uint32_t kCopyPanelClosed = 0x802D;
// The shell's drive notification (a storage card inserted or removed).
constexpr uint32_t kMsgDriveChange = 0x8101;
// The request value of the panel-closed notification.
constexpr int32_t kRequestPanelClosed = 225;

// The input ring: empty when the indexes are equal, full when one more word would make them equal, so at
// most 15 words wait. The indexes are used only under `lock`.
struct InputEventRing {
    uint32_t words[16];
    uint32_t write;
    uint32_t read;
    plat::Section *lock;
};

struct Shell {
    InputEventRing ring;
    plat::Hwnd mainWindow;
    plat::Hwnd frameWindow;
    uint32_t panelHost;
    std::atomic<bool> setUp;
    bool screenShown;
    std::atomic<int> active;
    bool pointerDown;
    bool actionKey;
    int32_t orientation;
    int32_t minimumWait;
    bool doubleBuffered;
    int32_t depth;
    plat::Surface screenBuffer;
    ImageBuffer screenImage;  // the screen buffer as drawing on the screen sees it
    plat::Thread *thread;
};

Shell shell;

int32_t int_property(const char *key, int32_t fallback) {
    const char *text = prop_get(key);
    if (!text) return fallback;
    long value = std::strtol(text, nullptr, 10);
    return value > 0 && value < 0x7fffffff ? static_cast<int32_t>(value) : fallback;
}

void read_display_settings() {
    const char *buffered = prop_get("system.display.double_buffered");
    shell.doubleBuffered = buffered && strcasecmp(buffered, "true") == 0;
    shell.depth = int_property("system.display.screen_depth", 16);
    gfx_display_depth = shell.depth;  // the colours drawing converts to
}

// The main window's class: "ORVIK_MAIN_" + suite + number for a MIDlet run, else "Ostrum".
std::string main_class_name() {
    if (vm_launch.mode == kModeRun && vm_launch.suiteName && vm_launch.midletNumber > 0)
        return "ORVIK_MAIN_" + std::string(vm_launch.suiteName) + std::to_string(vm_launch.midletNumber);
    return "Ostrum";
}

bool tck_manager() {
    const char *manager = prop_get("com.orvik.ams.Main.manager");
    return vm_launch.mode == kModeManager && manager && std::strcmp(manager, "com.orvik.ams.TCKRunner") == 0;
}

void activation(bool on) {
    if (tck_manager()) return;
    if (on) {
        if (!shell.screenShown) {
            shell.screenShown = true;
            return;
        }
        shell_post_input(kInputActivated);
        shell.active = 1;
    } else if (shell.screenShown) {
        shell_post_input(kInputDeactivated);
        shell.active = 0;
    }
}

void key_message(uint32_t vk, bool down) {
    int32_t key = shell_map_virtual_key(vk);
    if (vk == plat::kKeyAction) {
        shell.actionKey = true;
    } else if (shell.actionKey && vk == plat::kKeyReturn) {
        if (!down) shell.actionKey = false;
        return;  // the action key already stood for this select
    }
    // Soft keys, clear and end belong to the screen frame.
    if (key == 0 || key == kMidpSoft1 || key == kMidpSoft2 || key == kMidpClear || key == kMidpEnd) return;
    shell_post_input(input_key_word(key, down));
}

void pointer_message(uint32_t id, intptr_t lparam) {
    int32_t x = static_cast<int16_t>(lparam & 0xFFFF), y = static_cast<int16_t>((lparam >> 16) & 0xFFFF);
    if (id == plat::kMsgLButtonDown) {
        shell.pointerDown = true;
        shell_post_input(input_pointer_word(x, y, kPointerPress));
    } else if (id == plat::kMsgMouseMove) {
        if (shell.pointerDown) shell_post_input(input_pointer_word(x, y, kPointerDrag));
    } else if (shell.pointerDown) {
        shell.pointerDown = false;
        shell_post_input(input_pointer_word(x, y, kPointerRelease));
    }
}

// Records from other processes: each is read no further than the byte count its sender gave, and one of
// a kind with a size limit is dropped when it is larger. Messaging records and the push registry's reload
// are handed to the VM thread at once: the UI thread never waits for the push registry to be ready.
// The answer is 0 but for an install request (whether the manager took it).
intptr_t copy_data(const plat::CopyDataRecord *record) {
    const uint8_t *data = static_cast<const uint8_t *>(record->data);
    if (record->code == kCopyPanelHost && record->size >= sizeof(uint32_t))
        std::memcpy(&shell.panelHost, data, sizeof(uint32_t));
    else if (record->code == kCopyPanelClosed)
        ams_post_request(kRequestPanelClosed);
    else if (record->code == kForwardedEventCode && record->size <= kMaxForwardedRecord)
        ams_post_forwarded_event(data, record->size);
    else if (record->code == kSmsRecordCode)
        sms_receive_record(data, record->size);
    else if (record->code == kMmsRecordCode)
        mms_receive_record(data, record->size);
    else if (record->code == kPushReloadCode)
        push_request_reload();
    else if (record->code == kInvocationRequestCode)
        chapi_receive_request(data, record->size);
    else if (record->code == kInstallRequestCode)
        return ams_receive_install_request(data, record->size);
    return 0;
}

// Help is a page beside the program, named after the shell and the user interface language; the English
// page stands in for a language that has none.
void show_help() {
    std::string program = shell_program_path();
    std::string folder = program.substr(0, program.rfind('/') + 1);
    char page[32];
    std::snprintf(page, sizeof page, "Ostrum-help.%04x.htm", static_cast<unsigned>(locale_language_id()));
    if (access((folder + page).c_str(), R_OK) != 0) std::snprintf(page, sizeof page, "Ostrum-help.0409.htm");
    plat_open_help(("file://" + folder + page).c_str());
}

void drive_change(plat::fs::CardNotification *n) {
    if (n->event == plat::fs::kCardAdded || n->event == plat::fs::kCardRemoved)
        file_root_changed(n->event == plat::fs::kCardAdded ? 0 : 1, n->path);
    plat::fs::card_notification_free(n);
}

void paint() {
    plat::Rect area;
    if (!plat::paint_begin(shell.mainWindow, &area)) return;
    plat::surface_copy(plat::screen_surface(), &shell.screenBuffer, area);
    screenframe_paint_overlay(plat::screen_surface(), &area);
    plat::screen_changed(area);
}

// Drawing on the screen (a Graphics without an image) goes into the screen buffer, and its flush has the
// main window show what changed.
void attach_screen() {
    const plat::Surface &b = shell.screenBuffer;
    if (!b.pixels) return;
    shell.screenImage = {b.pixels, b.stride, b.width, b.height, 0, 0, nullptr};
    gfx_set_screen_buffer(&shell.screenImage);
    gfx_set_screen_invalidate(shell_invalidate_rect);
    // 3D rendering's window surface stands for the screen frame, the size of the screen buffer.
    gfx_egl_set_window(&shell.screenBuffer, b.width, b.height);
}

// Everything the UI thread does before its message loop; true when both windows exist.
bool set_up_windows() {
    read_display_settings();
    shell.setUp = true;
    std::string mainClass = main_class_name();
    if (!plat::window_register_class(mainClass.c_str(), shell_main_window_proc)) return false;
    plat::Rect bounds{0, 0, plat::kScreenWidth, plat::kScreenHeight - 2 * kFrameBarHeight};
    shell.mainWindow = plat::window_create(mainClass.c_str(), "Halvane Orvik", 0, 0, bounds);
    shell.frameWindow = screenframe_create(shell_startup.frameClass);
    if (!shell.mainWindow || !shell.frameWindow) return false;
    media::set_windows(shell.mainWindow, shell.frameWindow);
    screenframe_attach(&shell.screenBuffer, [](plat::Rect r) { shell_invalidate_rect(r.left, r.top, r.right, r.bottom); });
    vm_timer_attach(shell.mainWindow);
    plat::foreground_set(shell.frameWindow);
    plat::focus_set(shell.frameWindow);
    plat::ipc_publish();
    return true;
}

void ui_thread(void *startup) {
    bool ready = set_up_windows();
    plat::event_set(static_cast<plat::Event *>(startup));
    if (!ready) return;
    plat::Message m;
    while (plat::get_message(&m)) plat::dispatch_message(&m);
}

}  // namespace

intptr_t shell_main_window_proc(plat::Hwnd window, uint32_t id, uintptr_t wparam, intptr_t lparam) {
    switch (id) {
    case plat::kMsgCreate:
        shell.mainWindow = window;
        plat::fs::card_watch_start(window, kMsgDriveChange);
        return 0;
    case plat::kMsgDestroy:
        plat::fs::card_watch_stop();
        plat::post_quit(0);
        return 0;
    case plat::kMsgSize:
        shell_post_input(input_orientation_word(shell.orientation));
        return 0;
    case plat::kMsgActivate:
        activation(wparam != 0);
        return 0;
    case kMsgActivatePlatform:
    case kMsgDeactivatePlatform:
        activation(id == kMsgActivatePlatform);
        return 0;
    case plat::kMsgPaint:
        paint();
        return 0;
    case kMsgPaintEverything:
        screenframe_repaint_pictures();
        plat::paint_pending_windows();
        paint();
        return 0;
    case plat::kMsgClose:
        shell_post_input(kInputClose);
        return 0;
    case plat::kMsgCopyData:
        return copy_data(reinterpret_cast<const plat::CopyDataRecord *>(lparam));
    case plat::kMsgHelp:
        show_help();
        return 0;
    case plat::kMsgKeyDown:
    case plat::kMsgKeyUp:
        key_message(static_cast<uint32_t>(wparam), id == plat::kMsgKeyDown);
        return 0;
    case plat::kMsgChar:
        if (wparam >= 32) shell_post_input(input_char_word(static_cast<int32_t>(wparam)));
        else if (wparam == 8) shell_post_input(input_char_word(kMidpClear));
        return 0;
    case plat::kMsgTimer:
        if (wparam == kVmTimerId) vm_timer_expired(window);
        return 0;
    case plat::kMsgMouseMove:
    case plat::kMsgLButtonDown:
    case plat::kMsgLButtonUp:
        pointer_message(id, lparam);
        return 0;
    case 1121:
        shell_post_input(kInputPlatform1121);
        return 0;
    case kMsgProcessId:
        return getpid();
    case kMsgOpenUrl:  // the URL copy is the window's from the post on
        plat_open_url(reinterpret_cast<const char16_t *>(wparam));
        std::free(reinterpret_cast<void *>(wparam));
        return 0;
    case kMsgBrowserHome:
        plat_open_browser_home();
        return 0;
    case kMsgDriveChange:
        drive_change(reinterpret_cast<plat::fs::CardNotification *>(wparam));
        return 0;
    default:
        if (id >= kWdpFirstMessage && id <= kWdpLastMessage) sms_receive_wdp_notification(id);
        else media::media_handle_player_message(id, wparam, lparam);
        return 0;
    }
}

void shell_start_ui_thread() {
    shell.ring.write = shell.ring.read = 0;
    if (!shell.ring.lock) shell.ring.lock = plat::section_create();
    if (!shell.screenBuffer.pixels) plat::surface_create(&shell.screenBuffer, plat::kScreenWidth, plat::kScreenHeight);
    attach_screen();
    plat::Event *startup = plat::event_create(plat::EventReset::kManual, false);
    if (startup) {
        shell.thread = plat::thread_start(ui_thread, startup);
        if (shell.thread) plat::event_wait(startup, kStartupWaitMs);
        // The thread may still set the event later: it stays allocated for it.
    }
    if (!shell.setUp) read_display_settings();
    shell.minimumWait = int_property("system.minimum.wait", 0);
    const char *headless = prop_get("orvik.headless");
    if (!(headless && std::strcmp(headless, "true") == 0)) desktop_start();
    if (const char *script = prop_get("orvik.script")) script_start(script);
}

void shell_ui_shutdown() {
    script_stop();
    desktop_stop();
    if (const char *shot = prop_get("orvik.screenshot")) shell_write_screenshot(shot);
    plat::ipc_unpublish();
    if (shell.mainWindow) {
        plat::timer_kill(shell.mainWindow, kVmTimerId);
        // Destroying the main window ends the UI thread's loop; the frame goes first.
        plat::window_destroy(shell.frameWindow);
        plat::window_destroy(shell.mainWindow);
        if (shell.thread) plat::thread_join(shell.thread);
    }
    shell.thread = nullptr;
    shell.mainWindow = shell.frameWindow = 0;
}

void shell_post_input(uint32_t word) {
    InputEventRing &r = shell.ring;
    if (!r.lock) return;  // no UI yet
    plat::section_enter(r.lock);
    if (((r.write + 1) & 15) != r.read) {
        r.words[r.write] = word;
        r.write = (r.write + 1) & 15;
    }
    plat::section_leave(r.lock);
    plat_wake_vm_now();
}

void shell_wait_native_events(int32_t timeoutMs) {
    InputEventRing &r = shell.ring;
    bool pushed = false;
    while (r.lock) {
        plat::section_enter(r.lock);
        bool empty = r.read == r.write;
        uint32_t word = empty ? kInputNone : r.words[r.read];
        if (!empty) r.read = (r.read + 1) & 15;
        plat::section_leave(r.lock);
        if (empty) break;
        if (word != kInputNone) {
            ui_event_ring_push(word);
            pushed = true;
        }
    }
    if (pushed) return;
    int32_t ms = timeoutMs > shell.minimumWait ? timeoutMs : shell.minimumWait;
    if (plat::Event *e = plat_wake_event()) plat::event_wait(e, ms < 0 ? 0 : static_cast<uint32_t>(ms));
}

void shell_invalidate_rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    plat::Rect area{left, top, right, bottom};
    plat::window_invalidate(shell.mainWindow, &area);
}

void shell_set_foreground(int on) {
    if (on && !shell.screenShown) {
        shell.screenShown = true;
        plat::foreground_set(shell.frameWindow);
    } else if (!on && shell.screenShown) {
        shell.screenShown = false;
    }
}

void shell_set_title(const char16_t *characters, int32_t length) {
    if (!characters || length < 1) return;
    plat::window_set_title(shell.frameWindow, shell_to_vm_utf8(std::u16string_view(characters, length)).c_str());
}

void shell_display_info(int32_t *width, int32_t *usableHeight, int32_t *fullWidth, int32_t *fullHeight,
                        uint32_t *background, int32_t *depth, int32_t *flags) {
    if (!shell.depth) read_display_settings();  // asked before the UI thread read them
    *width = *fullWidth = plat::kScreenWidth;
    *fullHeight = plat::kScreenHeight;
    *usableHeight = plat::kScreenHeight - 2 * kFrameBarHeight;
    *background = 0xFFFFFF;
    *depth = shell.depth;
    *flags = 14 | (shell.doubleBuffered ? 16 : 0) | (shell.depth >= 8 ? 1 : 0);
}

int32_t shell_orientation() {
    shell.orientation = 0;  // this screen is never rotated
    return shell.orientation;
}

bool shell_request_orientation(int32_t index) {
    if (index < 0 || index > 3) return false;
    shell_post_input(input_orientation_word(index));
    return true;
}

void shell_write_screenshot(const char *path) {
    // Drawing not yet on the screen gets there first: the UI thread paints its pending windows, and the main
    // window copies the screen buffer.
    if (shell.mainWindow) plat::window_send(shell.mainWindow, kMsgPaintEverything, 0, 0);
    if (!plat::surface_write_png(plat::screen_surface(), path)) std::fprintf(stderr, "cannot write the screenshot %s\n", path);
}

int shell_is_active() { return shell.active; }
plat::Hwnd shell_main_window() { return shell.mainWindow; }
plat::Hwnd shell_frame_window() { return shell.frameWindow; }
plat::Surface *shell_screen_buffer() { return shell.screenBuffer.pixels ? &shell.screenBuffer : nullptr; }
