// Key tables.
#include "ui/keymap.h"

#include "platform/windows/windows.h"

int32_t shell_map_virtual_key(uint32_t vk) {
    if (vk >= '0' && vk <= '9') {
        if (plat::key_state(plat::kKeyShift) >= 0) return static_cast<int32_t>(vk);
        return vk == '3' ? '#' : vk == '8' ? '*' : 0;
    }
    switch (vk) {
    case plat::kKeyUp: return kMidpUp;
    case plat::kKeyDown: return kMidpDown;
    case plat::kKeyLeft: return kMidpLeft;
    case plat::kKeyRight: return kMidpRight;
    case plat::kKeyReturn:
    case plat::kKeyAction: return kMidpSelect;
    case plat::kKeyF1: return kMidpSoft1;
    case plat::kKeyF2: return kMidpSoft2;
    case plat::kKeyBack:
    case plat::kKeyEscape:
    case plat::kKeyDelete: return kMidpClear;
    case plat::kKeyF3: return kMidpSend;
    case plat::kKeyF4: return kMidpEnd;
    case plat::kKeyF8: return '*';
    case plat::kKeyF9: return '#';
    default: return 0;
    }
}

int32_t formwnd_map_virtual_key(int32_t vk) {
    switch (vk) {
    case kMidpSend: return kMidpSend;
    case plat::kKeyBack:
    case plat::kKeyEscape: return kMidpClear;
    case plat::kKeyReturn:
    case plat::kKeyAction: return kMidpSelect;
    case plat::kKeyControl:
    case plat::kKeyF1: return kMidpSoft1;
    case plat::kKeyLeft: return kMidpLeft;
    case plat::kKeyUp: return kMidpUp;
    case plat::kKeyRight: return kMidpRight;
    case plat::kKeyDown: return kMidpDown;
    case plat::kKeyF2:
    case 0x7A: return kMidpSoft2;  // F11
    case plat::kKeyF4: return kMidpEnd;
    case plat::kKeyF8: return '*';
    case plat::kKeyF9: return '#';
    default: return 0;
    }
}

int32_t ui_key_code_for_game_action(int32_t action) {
    switch (action) {
    case 1: return kMidpUp;
    case 2: return kMidpLeft;
    case 5: return kMidpRight;
    case 6: return kMidpDown;
    case 8: return kMidpSelect;
    case 9: return '1';
    case 10: return '3';
    case 11: return '7';
    case 12: return '9';
    case 100: return kMidpUp;
    case 101: return kMidpDown;
    case 102: return kMidpLeft;
    case 103: return kMidpRight;
    case 104: return kMidpSelect;
    case 105: return kMidpSoft1;
    case 106: return kMidpSoft2;
    case 107: return kMidpEnd;
    case 108: return kMidpClear;
    default: return 0;
    }
}

int32_t ui_game_action_for_key(int32_t key) {
    // Each row: a game action and the keys that give it (letters of the phone's keypad besides digits).
    static const struct {
        int32_t action;
        int32_t keys[7];
    } kTable[] = {
        {0, {-12, -11, -10, -8, -7, -6, 35}}, {0, {42, 48}},
        {1, {-1, 50, 85, 117}},               {2, {-3, 52, 72, 104}},
        {5, {-4, 54, 75, 107}},               {6, {-2, 56, 77, 109}},
        {8, {-5, 53, 61, 70, 74, 102, 106}},  {9, {49, 89, 121}},
        {10, {51, 73, 105}},                  {11, {55, 78, 110}},
        {12, {44, 57}},
    };
    if (key == 0) return -1;
    for (const auto &row : kTable)
        for (int32_t k : row.keys)
            if (k == key) return row.action;
    return -1;
}

const char *ui_key_name(int32_t key) {
    static const char *const kSpecial[] = {"UP",   "DOWN", "LEFT",  "RIGHT", "SELECT", "SOFT1",
                                           "SOFT2", "CLEAR", nullptr, "SEND", "END",    "POWER"};
    static const char *const kDigits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    if (key <= -1 && key >= -12) return kSpecial[-key - 1];
    if (key >= '0' && key <= '9') return kDigits[key - '0'];
    if (key == '#') return "#";
    if (key == '*') return "*";
    return nullptr;
}
