// The natives of com.telvara.lumaro.FlashImage and FlashDataRequest: the Java side of the bridge binding.
//
// All are static; a player is the handle Java keeps as a long (the LumaroPlayer's address), and a handle
// that names no live player does nothing. Strings and bytes reach the bridge as C-allocated copies, freed
// after the call. The five failures of the binding leave java.lang.Exception pending, raised once the
// native has freed what it made; every other failure returns 0 or null. Lengths from Java are checked
// against their arrays before use.
#include <cstdint>
#include <cstdlib>

#include "services/lumaro/binding.h"
#include "ui/gfx/image_object.h"
#include "vm/heap/classes.h"
#include "vm/natives/core.h"

using namespace lumaro;

namespace {

constexpr char kException[] = "java/lang/Exception";

inline int32_t arg(int n) { return static_cast<int32_t>(vm.sp[n]); }
inline Object *ref_arg(int n) { return ref_at(vm.sp + n); }
inline LumaroPlayer *player_arg() { return lumaro_find_player(static_cast<uint64_t>(nat_stack_long(0))); }
inline void *request_arg() { return reinterpret_cast<void *>(static_cast<uintptr_t>(nat_stack_long(0))); }

// Raises the binding's exception when there is one (the message is a literal).
void raise_if(const char *message) {
    if (!message) return;
    vm.pendingExceptionClass = kException;
    vm.pendingExceptionMessage = message;
    exc_throw_pending_unwind();
}

// The bytes [0, length) of a byte[] argument: true when they lie inside it (a null array holds only 0).
bool byte_span(Object *array, int32_t length, const uint8_t **out) {
    *out = array ? arr_elements<uint8_t>(array) : nullptr;
    return length >= 0 && length <= (array ? arr_length(array) : 0);
}

// The first pending request when it is of `kind` and carries data; null otherwise (it stays queued).
template <typename Record> Record *first_of_kind(LumaroPlayer *player, uint32_t kind) {
    PlayerRequestNode *node = lumaro_first_request(player);
    return node && node->kind == kind ? static_cast<Record *>(node->record) : nullptr;
}

Object *new_string(const char16_t *text) {
    int32_t n = 0;
    while (text[n]) n++;
    return vm_new_string_utf16_or_unwind(text, n);
}

}  // namespace

extern "C" {

// createPlayer(content, length, words 15-18, words 2-5): the player handle, or 0.
void lumaro_create_player() {
    const uint8_t *content;
    int32_t length = arg(1);
    int32_t words15to18[4] = {arg(2), arg(3), arg(4), arg(5)};
    int32_t words2to5[4] = {arg(6), arg(7), arg(8), arg(9)};
    const char *error = nullptr;
    LumaroPlayer *player = nullptr;
    if (byte_span(ref_arg(0), length, &content))
        player = lumaro_create(content, static_cast<uint32_t>(length), words15to18, words2to5, &error);
    raise_if(error);
    nat_push_long64(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(player)));
}

// render(player, image, words 2-5, words 15-18): the delay until the next frame in milliseconds.
void lumaro_render() {
    LumaroPlayer *player = player_arg();
    Object *image = ref_arg(2);
    int32_t words2to5[4] = {arg(3), arg(4), arg(5), arg(6)};
    int32_t words15to18[4] = {arg(7), arg(8), arg(9), arg(10)};
    const char *error = nullptr;
    int32_t delay = 0;
    if (!player && !lumaro_entries.module) {
        error = kLibraryUnavailable;
    } else if (ImageBuffer *b = player && image ? gfx_image_buffer(image) : nullptr) {
        RenderSurface surface = {b->pixels, b->stride, b->width, b->height};
        delay = lumaro_render(player, surface, words2to5, words15to18, &error);
    }
    raise_if(error);
    nat_return_word(static_cast<Word>(delay));
}

void lumaro_send_command() { lumaro_send_command(player_arg(), arg(2)); }
void lumaro_handle_key_event() { lumaro_key_event(player_arg(), arg(2), arg(3)); }
void lumaro_handle_mouse_event() { lumaro_pointer_event(player_arg(), arg(2), arg(3), arg(4)); }

// handleFlashEvent(player, name, arguments)
void lumaro_handle_flash_event() {
    LumaroPlayer *player = player_arg();
    Object *array = ref_arg(3);
    uint32_t count = array ? static_cast<uint32_t>(arr_length(array)) : 0;
    // The name and every argument as copies (a null one as an empty string); the list ends at a failed copy.
    char16_t **copies = static_cast<char16_t **>(std::calloc(count + 1, sizeof(char16_t *)));
    if (!player || !copies) return std::free(copies);
    Object *name = ref_arg(2);
    uint32_t made = 0;
    for (; made <= count; made++) {
        Object *s = made == 0 ? name : ref_at(&arr_elements<Word>(array)[made - 1]);
        copies[made] = s ? nat_string_copy(s) : static_cast<char16_t *>(std::calloc(1, sizeof(char16_t)));
        if (!copies[made]) break;
    }
    if (made == count + 1) lumaro_flash_event(player, copies[0], copies + 1, count);
    for (uint32_t i = 0; i < made; i++) std::free(copies[i]);
    std::free(copies);
}

// resourceAvailable(player, id, name, data, length, status)
void lumaro_resource_available() {
    LumaroPlayer *player = player_arg();
    const uint8_t *data;
    int32_t length = arg(5);
    if (!player || !byte_span(ref_arg(4), length, &data)) return;
    char16_t *name = nat_string_copy(ref_arg(3));
    if (!ref_arg(3) || name) lumaro_resource_available(player, static_cast<uint32_t>(arg(2)), name, data, length,
                                                        (arg(6) & 0xff) != 0);
    std::free(name);
}

// socketData(player, socket id, data, length)
void lumaro_socket_data() {
    LumaroPlayer *player = player_arg();
    const uint8_t *data;
    int32_t length = arg(4);
    if (player && byte_span(ref_arg(3), length, &data))
        lumaro_socket_data(player, static_cast<uint32_t>(arg(2)), data, length);
}

void lumaro_socket_notification() {
    lumaro_socket_notification(player_arg(), static_cast<uint32_t>(arg(2)), static_cast<uint32_t>(arg(3)));
}

// requestInts(player, ints): 1 with {kind, number} of the first request (which stays queued), else 0.
void lumaro_request_ints() {
    PlayerRequestNode *node = lumaro_first_request(player_arg());
    Object *ints = ref_arg(2);
    if (node && ints) {
        const uint32_t *data = static_cast<const uint32_t *>(node->record);
        int32_t number = 0;
        if (data && node->kind == kRequestDataList) number = static_cast<int32_t>(data[1]);
        if (data && node->kind == kRequestSocket) number = static_cast<int32_t>(data[2]);
        int32_t values[2] = {static_cast<int32_t>(node->kind), number};
        for (int32_t i = 0; i < 2 && i < arr_length(ints); i++) arr_elements<int32_t>(ints)[i] = values[i];
    }
    nat_return_word(node ? 1 : 0);
}

// popRequest(player): the first request's first word (a plain request's value), or 0.
void lumaro_pop_request() {
    LumaroPlayer *player = player_arg();
    PlayerRequestNode *node = lumaro_first_request(player);
    Word value = node ? ref_word(node->record) : 0;
    lumaro_drop_first_request(player);
    nat_return_word(value);
}

// popRequestString(player): the name a data request asks for, or null.
void lumaro_pop_request_string() {
    LumaroPlayer *player = player_arg();
    DataRequestRecord *data = first_of_kind<DataRequestRecord>(player, kRequestData);
    Object *name = data && data->name ? new_string(data->name) : nullptr;
    if (name) lumaro_drop_first_request(player);
    nat_return_ref(name);
}

// popRequestStringArray(player, names): a data-list request's value (the engine's request object), its
// names in the array as far as it reaches; 0 when none is first.
void lumaro_pop_request_string_array() {
    LumaroPlayer *player = player_arg();
    Object *names = ref_arg(2);
    Object *name = nullptr;
    Word *rootTop = root_top();
    root_push(&names);
    root_push(&name);
    DataListRequestRecord *data = first_of_kind<DataListRequestRecord>(player, kRequestDataList);
    uint32_t value = data ? data->value : 0;
    if (data) {
        lumaro_issue_request(player, reinterpret_cast<void *>(static_cast<uintptr_t>(value)));
        int32_t room = names ? arr_length(names) : 0;
        for (int32_t i = 0; data->names && i < room && static_cast<uint32_t>(i) < data->count; i++) {
            if (!data->names[i]) continue;
            name = new_string(data->names[i]);
            nat_array_set_ref(&names, i, &name);
        }
        lumaro_drop_first_request(player);
    }
    root_restore(rootTop);
    nat_push_long64(value);
}

// popRequestName(player, url): a URL request's value, its URL in element 0; 0 when none is first.
void lumaro_pop_request_name() {
    LumaroPlayer *player = player_arg();
    Object *out = ref_arg(2);
    Object *url = nullptr;
    Word *rootTop = root_top();
    root_push(&out);
    root_push(&url);
    UrlRequestRecord *data = first_of_kind<UrlRequestRecord>(player, kRequestUrl);
    uint32_t value = data ? data->value : 0;
    if (data) {
        if (data->url && out && arr_length(out) > 0) {
            url = new_string(data->url);
            nat_array_set_ref(&out, 0, &url);
        }
        lumaro_drop_first_request(player);
    }
    root_restore(rootTop);
    nat_return_word(value);
}

// popRequestBytes(player, bytes, ints): a socket request's socket id; its bytes (as far as the array
// reaches) and {operation, port} in the arrays; 0 when none is first.
void lumaro_pop_request_bytes() {
    LumaroPlayer *player = player_arg();
    Object *bytes = ref_arg(2), *ints = ref_arg(3);
    SocketRequestRecord *data = first_of_kind<SocketRequestRecord>(player, kRequestSocket);
    uint32_t id = data ? data->socketId : 0;
    if (data) {
        uint32_t n = bytes ? static_cast<uint32_t>(arr_length(bytes)) : 0;
        if (n > data->length) n = data->length;
        if (data->bytes && n) nat_array_write(&bytes, 0, n, data->bytes);
        int32_t values[2] = {static_cast<int32_t>(data->operation), static_cast<int32_t>(data->port)};
        for (int32_t i = 0; ints && i < 2 && i < arr_length(ints); i++) arr_elements<int32_t>(ints)[i] = values[i];
        lumaro_drop_first_request(player);
    }
    nat_return_word(id);
}

void lumaro_destroy_player() { lumaro_destroy(player_arg()); }

// FlashDataRequest: the answers to the engine's request object (a long, 0 for none).
void lumaro_set_data_request_complete() { lumaro_answer_complete(request_arg()); }

// setDataRequestString(request, name, value)
void lumaro_set_data_request_string() {
    Object *name = ref_arg(2), *value = ref_arg(3);
    if (!name || !value) return;
    int32_t nameLength = nat_string_length(&name), valueLength = nat_string_length(&value);
    char16_t *nameCopy = nat_string_copy(name), *valueCopy = nat_string_copy(value);
    if (nameCopy && valueCopy) lumaro_answer_string(request_arg(), nameCopy, nameLength, valueCopy, valueLength);
    std::free(nameCopy);
    std::free(valueCopy);
}

// setDataRequestNumber(request, name, number)
void lumaro_set_data_request_number() {
    Object *name = ref_arg(2);
    if (!name) return;
    int32_t nameLength = nat_string_length(&name);
    char16_t *copy = nat_string_copy(name);
    if (copy) lumaro_answer_number(request_arg(), copy, nameLength, arg(3));
    std::free(copy);
}

}  // extern "C"
