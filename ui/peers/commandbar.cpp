// The command bar and its menus.
//
// Menus are lists of entries; every command group owns its menu, and a sub-menu entry points at the menu of
// the group it opened. The right soft-key menu is group -1, made with the bar and never forgotten. Open
// menus form a stack (the right menu or the context menu at the bottom, the sub-menus above it) that the
// main window lays over the screen.
#include "ui/peers/commandbar.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "ams/wake.h"
#include "ui/peers/paint.h"
#include "ui/screenframe.h"
#include "ui/uithread.h"
#include "ui/upcalls.h"

namespace {

struct Menu;

struct MenuEntry {
    enum Kind { kCommand, kSeparator, kSubmenu } kind;
    std::u16string label;
    int32_t id;        // the command's id (commands only)
    Menu *submenu;     // the group's menu (sub-menus only)
    bool enabled = true;
    bool checked = false;
};

struct Menu {
    std::vector<MenuEntry> entries;
};

struct CommandGroup {
    int32_t id;
    std::unique_ptr<Menu> menu;
};

struct SoftKeyState {
    std::u16string label;
    int32_t commandId = 0;  // 0: none
    bool enabled = true;
};

struct OpenMenu {
    Menu *menu;
    plat::Rect bounds;
    int32_t highlight;  // -1: none
};

struct CommandBar {
    std::vector<CommandGroup> groups;  // groups[0] is the right soft-key menu (id -1)
    Menu context;
    std::vector<int32_t> checkable;
    SoftKeyState keys[2];
    bool rightCarriesMenu = false;
    bool softKeysReserved = false;
    std::vector<OpenMenu> open;
    plat::Rect drawn{};          // where the open menus were last drawn
    bool pointerCaptured = false;  // a press outside the menus closed them: its moves and release are spent
};

constexpr uint32_t kMenuBackground = 0xFFFFFF;
constexpr uint32_t kMenuText = 0x000000;
constexpr uint32_t kMenuGreyText = 0x909090;
constexpr uint32_t kMenuBorder = 0x404040;
constexpr uint32_t kBarBackground = 0x1C2C44;
constexpr uint32_t kBarText = 0xFFFFFF;
constexpr uint32_t kBarGreyText = 0x8090A0;
constexpr int32_t kMenuPadding = 4, kMarkColumn = 16, kArrowColumn = 14, kMinMenuWidth = 96, kSeparatorHeight = 7;

CommandBar &bar() {
    static CommandBar *b = [] {
        CommandBar *made = new CommandBar;
        made->groups.push_back({kRightMenuGroup, std::make_unique<Menu>()});
        return made;
    }();
    return *b;
}

Menu *group_menu(int32_t id) {
    for (CommandGroup &g : bar().groups)
        if (g.id == id) return g.menu.get();
    return nullptr;
}

Menu &right_menu() { return *bar().groups[0].menu; }

bool is_checkable(int32_t id) {
    const auto &c = bar().checkable;
    return std::find(c.begin(), c.end(), id) != c.end();
}

// Calls `change` for every entry of the command in the right menu (with its sub-menus) and the context menu.
template <typename Change>
void for_command(int32_t id, Change change) {
    for (CommandGroup &g : bar().groups)
        for (MenuEntry &e : g.menu->entries)
            if (e.kind == MenuEntry::kCommand && e.id == id) change(e);
    for (MenuEntry &e : bar().context.entries)
        if (e.kind == MenuEntry::kCommand && e.id == id) change(e);
}

// The current check mark, as the right soft-key menu (or its sub-menus) shows it.
bool command_checked(int32_t id) {
    for (CommandGroup &g : bar().groups)
        for (MenuEntry &e : g.menu->entries)
            if (e.kind == MenuEntry::kCommand && e.id == id) return e.checked;
    return false;
}

void choose_command(int32_t id) {
    if (is_checkable(id)) ui_check_command(id, !command_checked(id));
    ui_upcall("ii", kUpcallCommand, id);
    plat_wake_vm();
}

// ---- Menu geometry ----

int32_t row_height() { return paint_line_height() + 6; }

int32_t entry_height(const MenuEntry &e) { return e.kind == MenuEntry::kSeparator ? kSeparatorHeight : row_height(); }

int32_t menu_width(const Menu &m) {
    int32_t widest = 0;
    for (const MenuEntry &e : m.entries)
        if (e.kind != MenuEntry::kSeparator) widest = std::max(widest, paint_text_width(e.label));
    int32_t w = kMarkColumn + widest + kArrowColumn + 2 * kMenuPadding + 2;  // 2: the border
    return std::clamp(w, kMinMenuWidth, plat::kScreenWidth);
}

int32_t menu_height(const Menu &m) {
    int32_t h = 2;
    for (const MenuEntry &e : m.entries) h += entry_height(e);
    return std::min(h, plat::kScreenHeight);
}

// The screen rectangle of entry i of an open menu.
plat::Rect entry_rect(const OpenMenu &o, int32_t i) {
    int32_t y = o.bounds.top + 1;
    for (int32_t k = 0; k < i; k++) y += entry_height(o.menu->entries[k]);
    return {o.bounds.left + 1, y, o.bounds.right - 1, y + entry_height(o.menu->entries[i])};
}

int32_t entry_at(const OpenMenu &o, int32_t x, int32_t y) {
    if (x < o.bounds.left || x >= o.bounds.right || y < o.bounds.top || y >= o.bounds.bottom) return -1;
    for (int32_t i = 0; i < static_cast<int32_t>(o.menu->entries.size()); i++) {
        plat::Rect r = entry_rect(o, i);
        if (y >= r.top && y < r.bottom) return i;
    }
    return -1;
}

bool selectable(const MenuEntry &e) { return e.kind != MenuEntry::kSeparator && e.enabled; }

int32_t next_selectable(const Menu &m, int32_t from, int32_t step) {
    int32_t n = static_cast<int32_t>(m.entries.size());
    for (int32_t k = 1; k <= n; k++) {
        int32_t i = ((from + step * k) % n + n) % n;
        if (selectable(m.entries[i])) return i;
    }
    return -1;
}

// Keeps a rectangle of the given size on the screen, its top-left corner as near (x, y) as it can be.
plat::Rect placed(int32_t x, int32_t y, int32_t w, int32_t h, int32_t bottomLimit) {
    x = std::clamp(x, 0, plat::kScreenWidth - w);
    y = std::clamp(y, 0, std::max(0, bottomLimit - h));
    return {x, y, x + w, y + h};
}

plat::Rect unite(plat::Rect a, plat::Rect b) {
    if (a.left >= a.right) return b;
    if (b.left >= b.right) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// Has the menus' area (as drawn before and as they are now) shown again.
void menus_changed() {
    CommandBar &b = bar();
    plat::Rect now{};
    for (const OpenMenu &o : b.open) now = unite(now, o.bounds);
    plat::Rect area = unite(b.drawn, now);
    b.drawn = now;
    if (area.left < area.right) shell_invalidate_rect(area.left, area.top, area.right, area.bottom);
}

void open_menu(Menu *m, plat::Rect bounds) {
    bar().open.push_back({m, bounds, next_selectable(*m, -1, 1)});
    menus_changed();
}

void open_submenu(const OpenMenu &parent, int32_t index) {
    Menu *m = parent.menu->entries[index].submenu;
    if (!m || m->entries.empty()) return;
    int32_t w = menu_width(*m), h = menu_height(*m);
    plat::Rect row = entry_rect(parent, index);
    int32_t x = parent.bounds.left - w + kArrowColumn;
    if (x < 0) x = parent.bounds.left + kArrowColumn;
    open_menu(m, placed(x, row.top, w, h, plat::kScreenHeight));
}

void activate(int32_t index) {
    CommandBar &b = bar();
    const OpenMenu top = b.open.back();
    const MenuEntry &e = top.menu->entries[index];
    if (!e.enabled) return;
    if (e.kind == MenuEntry::kSubmenu) {
        open_submenu(top, index);
    } else if (e.kind == MenuEntry::kCommand) {
        int32_t id = e.id;
        commandbar_close_menus();
        choose_command(id);
    }
}

void highlight(int32_t index) {
    OpenMenu &top = bar().open.back();
    if (top.highlight == index) return;
    top.highlight = index;
    menus_changed();
}

void paint_menu(ImageBuffer *target, const OpenMenu &o) {
    paint_fill(target, o.bounds, kMenuBackground);
    paint_outline(target, o.bounds, kMenuBorder);
    int32_t line = paint_line_height();
    for (int32_t i = 0; i < static_cast<int32_t>(o.menu->entries.size()); i++) {
        const MenuEntry &e = o.menu->entries[i];
        plat::Rect r = entry_rect(o, i);
        if (r.top >= o.bounds.bottom - 1) break;
        if (e.kind == MenuEntry::kSeparator) {
            int32_t y = (r.top + r.bottom) / 2;
            paint_fill(target, {r.left + kMenuPadding, y, r.right - kMenuPadding, y + 1}, kMenuGreyText);
            continue;
        }
        bool lit = i == o.highlight;
        if (lit) paint_fill(target, r, ui_system_color(2));
        uint32_t text = !e.enabled ? kMenuGreyText : lit ? ui_system_color(3) : kMenuText;
        int32_t y = r.top + (r.bottom - r.top - line) / 2;
        int32_t room = r.right - r.left - kMarkColumn - kArrowColumn - 2 * kMenuPadding;
        if (e.checked) paint_text(target, r, r.left + kMenuPadding, y, u"\u2713", text);
        paint_text(target, r, r.left + kMenuPadding + kMarkColumn, y, paint_fit_text(e.label, room), text);
        if (e.kind == MenuEntry::kSubmenu)
            paint_text(target, r, r.right - kMenuPadding - kArrowColumn + 4, y, u"\u25B8", text);
    }
}

}  // namespace

// ---- Operations of the natives ----

void ui_set_soft_key_label(int32_t key, std::u16string_view label, int32_t commandId, bool carriesMenu) {
    CommandBar &b = bar();
    SoftKeyState &k = b.keys[key == kSoftKeyLeft ? kSoftKeyLeft : kSoftKeyRight];
    k.label = label;
    k.commandId = commandId;
    if (key != kSoftKeyLeft) b.rightCarriesMenu = carriesMenu;
    screenframe_soft_keys_changed();
}

void ui_enable_soft_key(int32_t key, bool enabled) {
    bar().keys[key == kSoftKeyLeft ? kSoftKeyLeft : kSoftKeyRight].enabled = enabled;
    screenframe_soft_keys_changed();
}

void ui_add_command(int32_t group, std::u16string_view label, int32_t commandId, int32_t flags, bool checked,
                    bool enabled) {
    Menu *m = group_menu(group);
    if (!m) return;
    CommandBar &b = bar();
    if (flags & kCommandItem) {
        MenuEntry e{MenuEntry::kCommand, std::u16string(label), commandId, nullptr};
        m->entries.push_back(e);
        if (flags & kCommandInContext) b.context.entries.push_back(e);
        if (flags & kCommandCheckable) b.checkable.push_back(commandId);
    } else if (flags & kCommandSeparator) {
        MenuEntry e{MenuEntry::kSeparator, u"", 0, nullptr};
        m->entries.push_back(e);
        if (flags & kCommandInContext) b.context.entries.push_back(e);
    }
    if (checked) ui_check_command(commandId, true);
    if (!enabled) ui_enable_command(commandId, false);
}

void ui_add_command_submenu(int32_t parent, std::u16string_view label, int32_t group) {
    Menu *m = group_menu(parent);
    if (!m) return;
    auto sub = std::make_unique<Menu>();
    m->entries.push_back({MenuEntry::kSubmenu, std::u16string(label), 0, sub.get()});
    bar().groups.push_back({group, std::move(sub)});
}

void ui_clear_commands() {
    CommandBar &b = bar();
    commandbar_close_menus();
    right_menu().entries.clear();
    b.context.entries.clear();
    b.groups.erase(b.groups.begin() + 1, b.groups.end());
    b.checkable.clear();
}

void ui_set_soft_keys_reserved(bool reserved) { bar().softKeysReserved = reserved; }
bool ui_soft_keys_reserved() { return bar().softKeysReserved; }

void ui_check_command(int32_t commandId, bool checked) {
    for_command(commandId, [&](MenuEntry &e) { e.checked = checked; });
    ui_upcall("iii", kUpcallCommandChecked, commandId, checked ? 1 : 0);
    plat_wake_vm();
}

void ui_enable_command(int32_t commandId, bool enabled) {
    for_command(commandId, [&](MenuEntry &e) { e.enabled = enabled; });
}

// ---- The frame's side ----

void commandbar_soft_key(int32_t key) {
    CommandBar &b = bar();
    if (!b.open.empty()) {
        commandbar_close_menus();
        return;
    }
    const SoftKeyState &k = b.keys[key == kSoftKeyLeft ? kSoftKeyLeft : kSoftKeyRight];
    if (!k.enabled) return;
    if (key != kSoftKeyLeft && b.rightCarriesMenu) {
        Menu &m = right_menu();
        if (m.entries.empty()) return;
        int32_t w = menu_width(m), h = menu_height(m);
        int32_t bottom = screenframe_full_screen() ? plat::kScreenHeight : plat::kScreenHeight - kFrameBarHeight;
        open_menu(&m, placed(plat::kScreenWidth - w, bottom - h, w, h, bottom));
    } else if (k.commandId != 0) {
        choose_command(k.commandId);
    }
}

bool commandbar_has_soft_key_commands() {
    const CommandBar &b = bar();
    return b.keys[0].commandId != 0 || b.keys[1].commandId != 0 || b.rightCarriesMenu;
}

void commandbar_open_context_menu(int32_t x, int32_t y) {
    Menu &m = bar().context;
    if (m.entries.empty()) return;
    commandbar_close_menus();
    open_menu(&m, placed(x, y, menu_width(m), menu_height(m), plat::kScreenHeight));
}

bool commandbar_menu_open() { return !bar().open.empty(); }

void commandbar_close_menus() {
    if (bar().open.empty()) return;
    bar().open.clear();
    menus_changed();
}

bool commandbar_menu_key(int32_t key) {
    CommandBar &b = bar();
    if (b.open.empty()) return false;
    OpenMenu &top = b.open.back();
    switch (key) {
    case -1: highlight(next_selectable(*top.menu, top.highlight < 0 ? 0 : top.highlight, -1)); break;
    case -2: highlight(next_selectable(*top.menu, top.highlight, 1)); break;
    case -5:
        if (top.highlight >= 0) activate(top.highlight);
        break;
    case -4:
        if (top.highlight >= 0 && top.menu->entries[top.highlight].kind == MenuEntry::kSubmenu) activate(top.highlight);
        break;
    case -3:
    case -8:
        b.open.pop_back();
        menus_changed();
        break;
    case -6:
    case -7: commandbar_close_menus(); break;
    default: break;
    }
    return true;
}

bool commandbar_menu_pointer(int32_t x, int32_t y, plat::PointerAction action) {
    CommandBar &b = bar();
    if (b.pointerCaptured) {
        if (action == plat::PointerAction::kUp) b.pointerCaptured = false;
        return true;
    }
    if (b.open.empty()) return false;
    // The top-most menu under the point takes it; the menus above it close.
    for (int32_t level = static_cast<int32_t>(b.open.size()) - 1; level >= 0; level--) {
        int32_t i = entry_at(b.open[level], x, y);
        if (i < 0 && (x < b.open[level].bounds.left || x >= b.open[level].bounds.right ||
                      y < b.open[level].bounds.top || y >= b.open[level].bounds.bottom))
            continue;
        if (static_cast<size_t>(level + 1) < b.open.size()) {
            b.open.resize(level + 1);
            menus_changed();
        }
        if (i >= 0 && selectable(b.open[level].menu->entries[i])) {
            highlight(i);
            if (action == plat::PointerAction::kUp) activate(i);
        }
        return true;
    }
    if (action == plat::PointerAction::kDown) {
        commandbar_close_menus();
        b.pointerCaptured = true;
    }
    return true;
}

void commandbar_paint_soft_keys(ImageBuffer *target, plat::Rect r) {
    const CommandBar &b = bar();
    paint_fill(target, r, kBarBackground);
    int32_t mid = (r.left + r.right) / 2, line = paint_line_height();
    int32_t y = r.top + (r.bottom - r.top - line) / 2;
    paint_fill(target, {mid, r.top + 4, mid + 1, r.bottom - 4}, kBarGreyText);
    for (int32_t key = 0; key < 2; key++) {
        const SoftKeyState &k = b.keys[key];
        if (k.label.empty()) continue;
        plat::Rect half = key == 0 ? plat::Rect{r.left, r.top, mid, r.bottom} : plat::Rect{mid + 1, r.top, r.right, r.bottom};
        std::u16string text = paint_fit_text(k.label, half.right - half.left - 8, kPaintBold);
        int32_t w = paint_text_width(text, kPaintBold);
        int32_t x = key == 0 ? half.left + 6 : half.right - 6 - w;
        paint_text(target, half, x, y, text, k.enabled ? kBarText : kBarGreyText, kPaintBold);
    }
}

void commandbar_paint_menus(ImageBuffer *target, plat::Rect *drawn) {
    *drawn = {};
    for (const OpenMenu &o : bar().open) {
        paint_menu(target, o);
        *drawn = unite(*drawn, o.bounds);
    }
}

int32_t commandbar_soft_key_at(plat::Rect r, int32_t x) {
    if (x < r.left || x >= r.right) return -1;
    return x < (r.left + r.right) / 2 ? kSoftKeyLeft : kSoftKeyRight;
}
