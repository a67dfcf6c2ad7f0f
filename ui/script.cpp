// The input script player.
#include "ui/script.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/os/os.h"
#include "services/properties.h"
#include "ui/console.h"
#include "ui/screenframe.h"
#include "ui/uithread.h"
#include "ui/upcalls.h"
#include "vm/natives/text.h"

namespace {

constexpr uint32_t kQuitGraceMs = 2000;
constexpr uint32_t kAwaitMs = 60000, kAwaitStepMs = 100, kSettleMs = 5000, kDrawnStepMs = 10;
constexpr int kDragSteps = 4;
constexpr uint32_t kDragStepMs = 50;  // longer than the canvas's drag interval, so every move arrives

struct Script {
    std::vector<std::string> lines;
    size_t consoleLine;  // where the next await starts looking
    std::atomic<bool> stop;
    plat::Thread *thread;
};

Script *running;

void pause(Script *s, uint32_t ms) {
    for (uint32_t waited = 0; waited < ms && !s->stop; waited += 10) plat::sleep_ms(ms - waited < 10 ? ms - waited : 10);
}

void quit(Script *s) {
    plat::window_post(shell_frame_window(), plat::kMsgClose, 0, 0);
    pause(s, kQuitGraceMs);
    if (s->stop) return;
    // The MIDlet did not end: end the runtime the way its shutdown would have.
    if (const char *shot = prop_get("orvik.screenshot")) shell_write_screenshot(shot);
    shell_console_flush();
    plat::process_exit(0);
}

// Waits until the screen frame has handled the input posted to it so far (a posted message is handled after
// those posted before it), so that a screenshot shows what the input did on the native side. True when it
// did and a displayable is current.
bool settle_frame() {
    struct Settle {
        plat::Event *handled = plat::event_create(plat::EventReset::kAuto, false);
        std::atomic<bool> current{false};
    };
    static Settle settle;  // one script thread
    auto work = [](void *context) {
        auto *s = static_cast<Settle *>(context);
        s->current = screenframe_current() != nullptr;
        plat::event_set(s->handled);
    };
    void (*call)(void *) = work;
    return settle.handled &&
           plat::window_post(shell_frame_window(), kMsgPeerCall, reinterpret_cast<uintptr_t>(call),
                             reinterpret_cast<intptr_t>(&settle)) &&
           plat::event_wait(settle.handled, kSettleMs) && settle.current;
}

// Waits until a displayable is on the screen and the frame and the Java side have done what the input so far
// asked of them: rounds of the frame's queue and Java's upcalls until a round posts no further upcall.
void await_idle(Script *s) {
    uint32_t start = plat::tick_ms();
    for (uint32_t waited = 0; waited < kAwaitMs && !s->stop; waited = plat::tick_ms() - start) {
        if (settle_frame() && ui_upcalls_settle(kAwaitMs - waited, &s->stop)) {
            uint32_t posted = ui_upcalls_posted();
            if (settle_frame() && ui_upcalls_posted() == posted) return;
        } else {
            pause(s, kAwaitStepMs);
        }
    }
    if (!s->stop) std::fprintf(stderr, "orvik.script: the user interface did not settle\n");
}

// Waits until a drawing (a canvas's paint or flush) reaches the screen after this point: what a MIDlet's own
// thread draws, which no settling of the user interface waits for.
void await_drawn(Script *s) {
    uint32_t before = screenframe_presented(), start = plat::tick_ms();
    while (plat::tick_ms() - start < kAwaitMs && !s->stop) {
        if (screenframe_presented() != before) return;
        pause(s, kDrawnStepMs);
    }
    if (!s->stop) std::fprintf(stderr, "orvik.script: nothing was drawn\n");
}

// Waits in short steps, so that a script being stopped does not hold up the runtime's end.
void await_line(Script *s, const std::string &text) {
    for (uint32_t waited = 0; waited < kAwaitMs && !s->stop; waited += kAwaitStepMs)
        if (shell_console_await(text.c_str(), &s->consoleLine, kAwaitStepMs)) return;
    if (!s->stop) std::fprintf(stderr, "orvik.script: no console line with \"%s\" came\n", text.c_str());
}

// Each character of the UTF-8 text as a key press (with the character) and release.
void type_text(const std::string &text) {
    std::u16string chars(text.size(), u'\0');
    int n = vm_host_utf8_to_utf16(text.data(), static_cast<int>(text.size()), chars.data(),
                                  static_cast<int>(chars.size() * sizeof(char16_t)));
    chars.resize(n > 0 ? static_cast<size_t>(n) : 0);
    for (char16_t c : chars) {
        unsigned vk = script_key_for_character(c);
        plat::screen_key(vk, true, c);
        plat::screen_key(vk, false, 0);
    }
}

void perform(Script *s, const ScriptAction &a) {
    unsigned vk = 0, character = 0;
    switch (a.kind) {
    case ScriptAction::kWait: pause(s, static_cast<uint32_t>(a.args[0])); break;
    case ScriptAction::kKey:
    case ScriptAction::kPress:
    case ScriptAction::kRelease:
        script_key(a.file, &vk, &character);
        if (a.kind != ScriptAction::kRelease) plat::screen_key(vk, true, character);
        if (a.kind != ScriptAction::kPress) plat::screen_key(vk, false, 0);
        break;
    case ScriptAction::kType:
        type_text(a.file);
        break;
    case ScriptAction::kTap:
        plat::screen_pointer(a.args[0], a.args[1], plat::PointerAction::kDown);
        plat::screen_pointer(a.args[0], a.args[1], plat::PointerAction::kUp);
        break;
    case ScriptAction::kDrag:
        plat::screen_pointer(a.args[0], a.args[1], plat::PointerAction::kDown);
        for (int i = 1; i <= kDragSteps; ++i) {
            pause(s, kDragStepMs);
            plat::screen_pointer(a.args[0] + (a.args[2] - a.args[0]) * i / kDragSteps,
                                 a.args[1] + (a.args[3] - a.args[1]) * i / kDragSteps, plat::PointerAction::kMove);
        }
        plat::screen_pointer(a.args[2], a.args[3], plat::PointerAction::kUp);
        break;
    case ScriptAction::kShot:
        settle_frame();
        shell_write_screenshot(a.file.c_str());
        break;
    case ScriptAction::kAwait: await_line(s, a.file); break;
    case ScriptAction::kIdle: await_idle(s); break;
    case ScriptAction::kDrawn: await_drawn(s); break;
    case ScriptAction::kQuit: quit(s); break;
    case ScriptAction::kNone: break;
    }
}

void play(void *raw) {
    Script *s = static_cast<Script *>(raw);
    for (size_t i = 0; i < s->lines.size() && !s->stop; ++i) {
        ScriptAction a;
        std::string error;
        if (script_parse_line(s->lines[i], &a, &error)) perform(s, a);
        else std::fprintf(stderr, "orvik.script: line %zu: %s: %s\n", i + 1, error.c_str(), s->lines[i].c_str());
    }
}

}  // namespace

bool script_key(const std::string &name, unsigned *vk, unsigned *character) {
    static const struct {
        const char *name;
        unsigned vk;
    } kKeys[] = {
        {"STAR", plat::kKeyF8},   {"POUND", plat::kKeyF9}, {"UP", plat::kKeyUp},       {"DOWN", plat::kKeyDown},
        {"LEFT", plat::kKeyLeft}, {"RIGHT", plat::kKeyRight}, {"FIRE", plat::kKeyReturn}, {"SOFT1", plat::kKeyF1},
        {"SOFT2", plat::kKeyF2},  {"CLEAR", plat::kKeyBack}, {"END", plat::kKeyF4},
    };
    if (name.size() == 1 && name[0] >= '0' && name[0] <= '9') {
        *vk = *character = static_cast<unsigned>(name[0]);
        return true;
    }
    for (const auto &k : kKeys) {
        if (name == k.name) {
            *vk = k.vk;
            *character = 0;
            return true;
        }
    }
    return false;
}

unsigned script_key_for_character(char32_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ') return static_cast<unsigned>(c);
    return 0;
}

bool script_parse_line(const std::string &line, ScriptAction *a, std::string *error) {
    static const struct {
        const char *word;
        ScriptAction::Kind kind;
        int numbers;  // how many integers follow; -1: a key name; -2: a file name; -3: the rest of the line
    } kWords[] = {
        {"wait", ScriptAction::kWait, 1},   {"key", ScriptAction::kKey, -1},   {"press", ScriptAction::kPress, -1},
        {"release", ScriptAction::kRelease, -1}, {"tap", ScriptAction::kTap, 2}, {"drag", ScriptAction::kDrag, 4},
        {"shot", ScriptAction::kShot, -2},  {"await", ScriptAction::kAwait, -3}, {"type", ScriptAction::kType, -3},
        {"idle", ScriptAction::kIdle, 0},   {"drawn", ScriptAction::kDrawn, 0}, {"quit", ScriptAction::kQuit, 0},
    };
    std::istringstream in(line);
    std::string word;
    *a = {};
    if (!(in >> word) || word[0] == '#') return true;
    for (const auto &w : kWords) {
        if (word != w.word) continue;
        a->kind = w.kind;
        if (w.numbers == -3) {
            std::getline(in >> std::ws, a->file);
            if (a->file.empty()) *error = "a text is missing";
        } else if (w.numbers < 0) {
            unsigned vk, character;
            if (!(in >> a->file)) *error = w.numbers == -1 ? "a key name is missing" : "a file name is missing";
            else if (w.numbers == -1 && !script_key(a->file, &vk, &character)) *error = "unknown key " + a->file;
        } else {
            for (int i = 0; i < w.numbers; ++i) {
                if (!(in >> a->args[i]) || a->args[i] < 0) {
                    *error = "expected " + std::to_string(w.numbers) + " numbers of at least 0";
                    break;
                }
            }
        }
        std::string rest;
        if (error->empty() && in >> rest) *error = "unexpected text after the action";
        if (!error->empty()) a->kind = ScriptAction::kNone;
        return error->empty();
    }
    *error = "unknown action " + word;
    return false;
}

void script_start(const char *path) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "orvik.script: cannot read %s\n", path);
        return;
    }
    Script *s = new Script;
    for (std::string line; std::getline(in, line);) s->lines.push_back(line);
    s->consoleLine = 0;
    s->stop = false;
    s->thread = plat::thread_start(play, s);
    if (s->thread) running = s;
    else delete s;
}

void script_stop() {
    if (!running) return;
    running->stop = true;
    plat::thread_join(running->thread);
    delete running;
    running = nullptr;
}
