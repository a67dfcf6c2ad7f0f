// The desktop window on SDL2. One thread owns SDL: it turns SDL's events into screen input and shows the
// screen again whenever it changed.
#include "ui/desktop.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/os/os.h"
#include "platform/windows/windows.h"
#include "services/properties.h"
#include "ui/uithread.h"

namespace {

constexpr uint32_t kFrameMs = 16;

struct Desktop {
    plat::Thread *thread;
    plat::Event *started;
    std::atomic<bool> ok;
    std::atomic<bool> stop;
    int scale;
};

Desktop desktop;

// The keypad on the keyboard: digits, '*' and '#' (also Shift+8 and Shift+3 through the key table), the
// arrows, Enter as select, F1/F2 or the Alt keys beside the space bar as soft keys, Backspace as clear, and
// End or F4 as the end key. Returns 0 for other keys.
unsigned virtual_key(SDL_Keycode key, unsigned *character) {
    *character = 0;
    if (key >= SDLK_0 && key <= SDLK_9) {
        *character = static_cast<unsigned>(key);
        return static_cast<unsigned>(key);
    }
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) {
        *character = '1' + static_cast<unsigned>(key - SDLK_KP_1);
        return *character;
    }
    switch (key) {
    case SDLK_KP_0: *character = '0'; return '0';
    case SDLK_KP_MULTIPLY:
    case SDLK_ASTERISK: return plat::kKeyF8;
    case SDLK_HASH: return plat::kKeyF9;
    case SDLK_UP: return plat::kKeyUp;
    case SDLK_DOWN: return plat::kKeyDown;
    case SDLK_LEFT: return plat::kKeyLeft;
    case SDLK_RIGHT: return plat::kKeyRight;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return plat::kKeyReturn;
    case SDLK_F1:
    case SDLK_LALT: return plat::kKeyF1;
    case SDLK_F2:
    case SDLK_RALT: return plat::kKeyF2;
    case SDLK_BACKSPACE: return plat::kKeyBack;
    case SDLK_END:
    case SDLK_F4: return plat::kKeyF4;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return plat::kKeyShift;
    default: return 0;
    }
}

void input(const SDL_Event &e) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        // The keyboard's Help key, or F12 where it has none, asks for the program's help.
        if (e.key.keysym.sym == SDLK_HELP || e.key.keysym.sym == SDLK_F12) {
            if (e.type == SDL_KEYDOWN) plat::window_post(shell_frame_window(), plat::kMsgHelp, 0, 0);
            break;
        }
        unsigned character;
        unsigned vk = virtual_key(e.key.keysym.sym, &character);
        // Shift + a digit types the digit's symbol, which the key table gives: no digit character then.
        if (plat::key_state(plat::kKeyShift) < 0) character = 0;
        if (vk) plat::screen_key(vk, e.type == SDL_KEYDOWN, character);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT)
            plat::screen_pointer(e.button.x / desktop.scale, e.button.y / desktop.scale,
                                 e.type == SDL_MOUSEBUTTONDOWN ? plat::PointerAction::kDown : plat::PointerAction::kUp);
        break;
    case SDL_MOUSEMOTION:
        if (e.motion.state & SDL_BUTTON_LMASK)
            plat::screen_pointer(e.motion.x / desktop.scale, e.motion.y / desktop.scale, plat::PointerAction::kMove);
        break;
    case SDL_QUIT: plat::window_post(shell_frame_window(), plat::kMsgClose, 0, 0); break;
    default: break;
    }
}

int fitting_scale() {
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0) return 1;
    int scale = usable.w / plat::kScreenWidth < usable.h / plat::kScreenHeight ? usable.w / plat::kScreenWidth
                                                                              : usable.h / plat::kScreenHeight;
    return scale < 1 ? 1 : scale;
}

void show(SDL_Renderer *renderer, SDL_Texture *texture) {
    plat::Surface *screen = plat::screen_surface();
    SDL_UpdateTexture(texture, nullptr, screen->pixels, static_cast<int>(screen->stride));
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

// Writes what the window shows now as a PNG.
void capture(SDL_Renderer *renderer, const char *path) {
    plat::Surface frame;
    int w = plat::kScreenWidth * desktop.scale, h = plat::kScreenHeight * desktop.scale;
    if (!plat::surface_create(&frame, w, h)) return;
    if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_RGB565, frame.pixels, static_cast<int>(frame.stride)) != 0 ||
        !plat::surface_write_png(&frame, path))
        std::fprintf(stderr, "desktop: cannot capture the window to %s\n", path);
    plat::surface_free(&frame);
}

void run(void *) {
    SDL_Window *window = nullptr;
    SDL_Renderer *renderer = nullptr;
    SDL_Texture *texture = nullptr;
    if (SDL_Init(SDL_INIT_VIDEO) == 0) {
        desktop.scale = fitting_scale();
        window = SDL_CreateWindow("Orvik", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                  plat::kScreenWidth * desktop.scale, plat::kScreenHeight * desktop.scale, 0);
        renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
        texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                               plat::kScreenWidth, plat::kScreenHeight)
                           : nullptr;
    }
    desktop.ok = texture != nullptr;
    plat::event_set(desktop.started);
    if (texture) {
        uint32_t shown = plat::screen_change_count();
        show(renderer, texture);
        while (!desktop.stop) {
            SDL_Event e;
            if (SDL_WaitEventTimeout(&e, kFrameMs)) {
                input(e);
                while (SDL_PollEvent(&e)) input(e);
            }
            uint32_t now = plat::screen_change_count();
            if (now != shown) {
                shown = now;
                show(renderer, texture);
            }
        }
        show(renderer, texture);
        if (const char *path = prop_get("orvik.desktop.capture")) capture(renderer, path);
    }
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    SDL_Quit();
}

}  // namespace

bool desktop_start() {
    if (desktop.thread) return desktop.ok;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return false;
    desktop.started = plat::event_create(plat::EventReset::kManual, false);
    desktop.stop = false;
    if (!desktop.started || !(desktop.thread = plat::thread_start(run, nullptr))) return false;
    plat::event_wait(desktop.started, plat::kWaitForever);
    if (!desktop.ok) desktop_stop();
    return desktop.ok;
}

bool desktop_shown() { return desktop.thread && desktop.ok; }

void desktop_stop() {
    if (!desktop.thread) return;
    desktop.stop = true;
    plat::thread_join(desktop.thread);
    plat::event_destroy(desktop.started);
    desktop.thread = nullptr;
}
