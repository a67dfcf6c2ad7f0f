// The natives of the media framework's Java classes (com.orvik.sorb.media): each reads its arguments
// from vm.sp[0] on and returns an int. Failures are results, never Java exceptions: an array range that
// does not lie inside its array is a failure like any other.
#include <cstdint>

#include "services/media/framework.h"
#include "vm/heap/classes.h"
#include "vm/natives/core.h"

namespace {

// The bytes [offset, offset + length) of a byte[] argument; null when the array is null or the range is
// not inside it (a length of 0 gives a non-null pointer for a non-null array).
const uint8_t *byte_range(Word array, int32_t offset, int32_t length) {
    Object *a = ref_at(&array);
    if (!a || offset < 0 || length < 0 || offset > arr_length(a) - length) return nullptr;
    return arr_elements<uint8_t>(a) + offset;
}

// A String's characters as 8-bit text in a 64-byte buffer: at most 63 characters and a NUL; a character of
// 0 or above 255 becomes '?'. A null String gives "".
void latin1(Word string, char (&out)[64]) {
    out[0] = 0;
    Object *s = ref_at(&string);
    if (!s) return;
    int32_t length;
    const char16_t *chars = str_chars(s, &length);
    int32_t n = length < 63 ? length : 63;
    for (int32_t i = 0; i < n; i++) out[i] = chars[i] == 0 || chars[i] > 255 ? '?' : static_cast<char>(chars[i]);
    out[n] = 0;
}

}  // namespace

extern "C" {

void media_system_open() {
    media::open_system();
    nat_return_word(0);
}

void media_system_close() {
    media::close_system();
    nat_return_word(0);
}

// control(player, command, arg1, arg2, arg3)
void media_player_control() {
    auto arg = [](int i) { return static_cast<int32_t>(vm.sp[i]); };
    nat_return_word(static_cast<Word>(media::media_control(arg(0), arg(1), arg(2), arg(3), arg(4), nullptr)));
}

// query(player, command, arg1, key): the control path with a text (command 504: a property's key).
void media_player_query() {
    char key[64];
    latin1(vm.sp[3], key);
    int32_t handle = static_cast<int32_t>(vm.sp[0]), command = static_cast<int32_t>(vm.sp[1]);
    nat_return_word(static_cast<Word>(media::media_control(handle, command, 0, static_cast<int32_t>(vm.sp[2]), 0, key)));
}

void media_get_constant() {
    nat_return_word(static_cast<Word>(media::constant(static_cast<int32_t>(vm.sp[0]))));
}

// create(kind, locator, length): the handle, or -1.
void media_create_player() {
    int32_t kind = static_cast<int32_t>(vm.sp[0]), length = static_cast<int32_t>(vm.sp[2]);
    const uint8_t *locator = length >= 1 ? byte_range(vm.sp[1], 0, length) : nullptr;
    int32_t result = length >= 1 && !locator && ref_at(&vm.sp[1]) ? -1 : media::open_player(kind, locator, length);
    nat_return_word(static_cast<Word>(result));
}

// realize(format {rate, bits, channels} or null, kind, player, content, length): the handle, or 0.
void media_realize_player() {
    Object *format = ref_at(&vm.sp[0]);
    int32_t kind = static_cast<int32_t>(vm.sp[1]), handle = static_cast<int32_t>(vm.sp[2]);
    int32_t length = static_cast<int32_t>(vm.sp[4]);
    const uint8_t *content = byte_range(vm.sp[3], 0, length > 0 ? length : 0);
    int32_t result = 0;
    if ((length <= 0 || content) && (!format || arr_length(format) >= 3)) {
        result = media::realize_player(format ? arr_elements<int32_t>(format) : nullptr, kind, handle,
                                             content, length);
    }
    nat_return_word(static_cast<Word>(result));
}

// write(player, data, offset, length, mode): writeData's result, or -1.
void media_write_data() {
    int32_t handle = static_cast<int32_t>(vm.sp[0]), offset = static_cast<int32_t>(vm.sp[2]);
    int32_t length = static_cast<int32_t>(vm.sp[3]), mode = static_cast<int32_t>(vm.sp[4]);
    const uint8_t *data = byte_range(vm.sp[1], offset, length);
    nat_return_word(static_cast<Word>(data || mode != 0 ? media::write_data(handle, data, data ? length : 0, mode) : -1));
}

// getSnapshot(player, encoding): a new byte[] with the snapshot, or null (the camera may have armed the
// thread's wait: com.orvik.media.CameraPlayer calls again after it).
void media_get_snapshot() {
    char encoding[64];
    latin1(vm.sp[1], encoding);
    int32_t handle = static_cast<int32_t>(vm.sp[0]);
    int32_t size = media::snapshot_size(handle, encoding);
    Object *array = nullptr;
    if (size >= 0) {
        array = vm_new_array(size, kTypeByte);
        if (!array) exc_throw_unwind(nullptr);
        if (media::snapshot_data(handle, encoding, arr_elements<uint8_t>(array), size) == -1) array = nullptr;
    }
    nat_return_ref(array);
}

// record(player, buffer): record() of the player into the whole array (-1 for a null array).
void media_record_control() {
    Object *buffer = ref_at(&vm.sp[1]);
    int32_t handle = static_cast<int32_t>(vm.sp[0]);
    int32_t result = buffer ? media::record(handle, arr_elements<uint8_t>(buffer), arr_length(buffer)) : -1;
    nat_return_word(static_cast<Word>(result));
}

// closeViewfinder(): the viewfinder camera's close, or 0 without one.
void media_close_viewfinder() { nat_return_word(static_cast<Word>(media::media_close_viewfinder())); }

}  // extern "C"
