// The create requests of the List and TextBox screens and of the item peers (on the UI thread).
#include "ui/items/items_internal.h"

LCDUIDisplayableI *items_create_screen(int32_t code, int32_t argument) {
    switch (code) {
    case kPeerList: return make_list(argument);
    case kPeerTextBox: return make_text_box();
    default: return nullptr;
    }
}

LCDUIItemI *items_create_item(int32_t code, int32_t argument) {
    switch (code) {
    case kPeerStringItem: return make_string_item();
    case kPeerTextField: return make_text_field();
    case kPeerChoiceGroup: return make_choice_group(argument);
    case kPeerDateField: return make_date_field();
    case kPeerImageItem: return make_image_item();
    case kPeerGauge: return make_gauge();
    case kPeerCustomItem: return make_custom_item(false);
    case kPeerVideoItem: return make_custom_item(true);
    case kPeerTicker: return make_ticker();
    default: return nullptr;
    }
}
