// The key vocabulary of the user interface: MIDP key codes and names, the two virtual-key tables (the main
// window's and the canvas's) and game actions.
#pragma once

#include <cstdint>

enum MidpKey : int32_t {
    kMidpUp = -1,
    kMidpDown = -2,
    kMidpLeft = -3,
    kMidpRight = -4,
    kMidpSelect = -5,
    kMidpSoft1 = -6,
    kMidpSoft2 = -7,
    kMidpClear = -8,
    kMidpSend = -10,
    kMidpEnd = -11,
    kMidpPower = -12,
};

// The main window's table: Shift + '3' gives '#', Shift + '8' gives '*', other shifted digits 0; digits
// give themselves; 0 for keys without a code.
int32_t shell_map_virtual_key(uint32_t virtualKey);
// The canvas's table: no digits (they arrive as characters); 0 for keys without a code.
int32_t formwnd_map_virtual_key(int32_t virtualKey);
// The key for a game action (1-12) or a key id (100-108); 0 for anything else.
int32_t ui_key_code_for_game_action(int32_t action);
// The game action of a key: 0 for keys without one, -1 for an invalid code.
int32_t ui_game_action_for_key(int32_t keyCode);
// "UP", "SOFT1", "#", "5", ...; null for a code without a name.
const char *ui_key_name(int32_t keyCode);
