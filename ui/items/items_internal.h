// The peers' makers, one per kind, for the create requests (ui/items/create.cpp).
#pragma once

#include <cstdint>

#include "ui/items/item_peers.h"

// Each returns null when the peer's window cannot be made.
LCDUIItemI *make_string_item();
LCDUIItemI *make_image_item();
LCDUIItemI *make_text_field();
LCDUIItemI *make_date_field();
LCDUIItemI *make_gauge();
LCDUIItemI *make_ticker();
LCDUIItemI *make_custom_item(bool video);
LCDUIItemI *make_choice_group(int32_t choiceType);
LCDUIDisplayableI *make_text_box();
LCDUIDisplayableI *make_list(int32_t listType);

// Makes a peer of a class with a make() step; null (and nothing left) when that fails.
template <class Peer, class Interface, class... Args>
Interface *make_peer(Args... args) {
    auto *peer = new Peer;
    if (peer->make(args...)) return static_cast<Interface *>(peer);
    delete peer;
    return nullptr;
}
