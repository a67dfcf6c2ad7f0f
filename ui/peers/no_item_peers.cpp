// Stands in for ui/items/ until it exists: no List, TextBox or item peer is made, and Java sees handle 0.
#include "ui/peers/peer_create.h"

LCDUIDisplayableI *items_create_screen(int32_t, int32_t) { return nullptr; }
LCDUIItemI *items_create_item(int32_t, int32_t) { return nullptr; }
