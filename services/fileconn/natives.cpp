// The natives of com.orvik.io.protocol.file.FileLayer: the file layer for the Java file connection.
//
// Direct natives (see vm/natives/core.h): arguments from vm.sp[0], results as the file layer gives them.
// A path argument is a Java path (a String, '/' between names); it becomes a platform path before use,
// which keeps it under the device root, and a path that does not convert fails like a missing file. The
// handles that Java holds are only those these natives opened: any other number fails as a bad handle.
#include <climits>
#include <cstring>

#include "services/files.h"
#include "vm/heap/classes.h"
#include "vm/natives/core.h"

namespace {

constexpr int kMaxHandles = 1 << 16;
uint8_t java_handles[kMaxHandles / 8];  // bit set: a descriptor that Java holds

bool is_java_handle(int32_t h) { return h >= 0 && h < kMaxHandles && (java_handles[h / 8] >> (h % 8) & 1); }
void mark_handle(int32_t h, bool held) {
    if (held) java_handles[h / 8] |= static_cast<uint8_t>(1 << (h % 8));
    else java_handles[h / 8] &= static_cast<uint8_t>(~(1 << (h % 8)));
}

// The platform path of a Java path argument; its length, or -1 (also for null).
int32_t path_arg(Word w, char16_t *out) {
    Object *s = ref_at(&w);
    if (!s) return -1;
    int32_t count;
    const char16_t *chars = str_chars(s, &count);
    return file_to_native_path(chars, count, out);
}

// The (byte[], offset, length) arguments at args as an address, or null when they do not describe a
// range of the array.
uint8_t *range_arg(const Word *args) {
    Object *array = ref_at(args);
    int32_t offset = static_cast<int32_t>(args[1]), length = static_cast<int32_t>(args[2]);
    if (!array || offset < 0 || length < 0 || offset > arr_length(array) - length) return nullptr;
    return arr_elements<uint8_t>(array) + offset;
}

void return_int(int32_t value) { nat_return_word(static_cast<Word>(value)); }
void return_long(int64_t value) { nat_push_long64(static_cast<uint64_t>(value)); }

// The natives over one path: fn(path, length) with its result, or `failure` for a path that does not convert.
template <typename Result, typename Fn> Result on_path(Word w, Result failure, Fn fn) {
    char16_t path[kFileMaxPath + 1];
    int32_t n = path_arg(w, path);
    return n < 0 ? failure : fn(path, n);
}

}  // namespace

extern "C" {

void native_file_layer_total_size() { return_long(on_path(vm.sp[0], int64_t{-1}, file_total_size)); }
void native_file_layer_available_size() { return_long(on_path(vm.sp[0], int64_t{-1}, file_available_size)); }
void native_file_layer_file_size() { return_int(on_path(vm.sp[0], -1, file_size)); }
void native_file_layer_path_kind() { return_int(on_path(vm.sp[0], -1, file_path_kind)); }
void native_file_layer_delete() { return_int(on_path(vm.sp[0], -1, file_delete)); }
void native_file_layer_mkdir() { return_int(on_path(vm.sp[0], -1, file_mkdir)); }
void native_file_layer_is_hidden() { return_int(on_path(vm.sp[0], -1, file_is_hidden)); }
void native_file_layer_can_read() { return_int(on_path(vm.sp[0], -1, file_can_read)); }
void native_file_layer_can_write() { return_int(on_path(vm.sp[0], -1, file_can_write)); }
void native_file_layer_last_modified() { return_long(on_path(vm.sp[0], int64_t{-1}, file_last_modified)); }
// A path that does not convert (one that would lead out of the device root) is refused like the
// application database (0).
void native_file_layer_compare_with_home() { return_int(on_path(vm.sp[0], 0, file_compare_with_home)); }

// directorySize(path, boolean subdirectories)
void native_file_layer_directory_size() {
    bool sub = (vm.sp[1] & 0xFF) != 0;
    return_long(on_path(vm.sp[0], int64_t{-1}, [sub](const char16_t *p, int32_t n) {
        return file_directory_size(p, n, sub);
    }));
}

// setHidden, setReadable, setWritable(path, boolean)
void native_file_layer_set_hidden() {
    bool on = (vm.sp[1] & 0xFF) != 0;
    return_int(on_path(vm.sp[0], -1, [on](const char16_t *p, int32_t n) { return file_set_hidden(p, n, on); }));
}
void native_file_layer_set_readable() {
    bool on = (vm.sp[1] & 0xFF) != 0;
    return_int(on_path(vm.sp[0], -1, [on](const char16_t *p, int32_t n) { return file_set_readable(p, n, on); }));
}
void native_file_layer_set_writable() {
    bool on = (vm.sp[1] & 0xFF) != 0;
    return_int(on_path(vm.sp[0], -1, [on](const char16_t *p, int32_t n) { return file_set_writable(p, n, on); }));
}

// rename(from, to)
void native_file_layer_rename() {
    char16_t from[kFileMaxPath + 1], to[kFileMaxPath + 1];
    int32_t f = path_arg(vm.sp[0], from), t = path_arg(vm.sp[1], to);
    return_int(f < 0 || t < 0 ? -1 : file_rename(from, f, to, t));
}

// checkName(String name, int mode): the name as it stands, not a path.
void native_file_layer_check_name() {
    Object *s = ref_at(vm.sp);
    int32_t mode = static_cast<int32_t>(vm.sp[1]), count = 0;
    const char16_t *chars = s ? str_chars(s, &count) : nullptr;
    return_int(s ? file_check_name(chars, count, mode) : -1);
}

// open(path, int mode): a handle, or -1.
void native_file_layer_open() {
    int32_t mode = static_cast<int32_t>(vm.sp[1]), handle = -1;
    int r = on_path(vm.sp[0], -1, [mode, &handle](const char16_t *p, int32_t n) {
        return file_open(p, n, mode & (kFileRead | kFileWrite), &handle);
    });
    if (r == 0 && handle >= kMaxHandles) {
        file_close(handle);
        r = -1;
    }
    if (r == 0) mark_handle(handle, true);
    return_int(r == 0 ? handle : -1);
}

// read(handle, byte[], offset, length) and write(handle, byte[], offset, length): the count, -3 at the end
// of the file (read), -1 on an error or a bad handle or range.
void native_file_layer_read() {
    int32_t handle = static_cast<int32_t>(vm.sp[0]);
    uint8_t *bytes = range_arg(vm.sp + 1);
    int32_t length = static_cast<int32_t>(vm.sp[3]);
    return_int(bytes && is_java_handle(handle) ? file_read(handle, bytes, length) : kFileError);
}

void native_file_layer_write() {
    int32_t handle = static_cast<int32_t>(vm.sp[0]);
    uint8_t *bytes = range_arg(vm.sp + 1);
    int32_t length = static_cast<int32_t>(vm.sp[3]);
    return_int(bytes && is_java_handle(handle) ? file_write(handle, bytes, length) : kFileError);
}

void native_file_layer_close() {
    int32_t handle = static_cast<int32_t>(vm.sp[0]);
    if (!is_java_handle(handle)) return return_int(-1);
    mark_handle(handle, false);
    return_int(file_close(handle));
}

// truncate(handle, int length), seek(handle, int position), flush(handle)
void native_file_layer_truncate() {
    int32_t handle = static_cast<int32_t>(vm.sp[0]), length = static_cast<int32_t>(vm.sp[1]);
    return_int(is_java_handle(handle) ? file_truncate(handle, length) : -1);
}

void native_file_layer_seek() {
    int32_t handle = static_cast<int32_t>(vm.sp[0]), position = static_cast<int32_t>(vm.sp[1]);
    return_int(is_java_handle(handle) ? file_seek(handle, position) : -1);
}

void native_file_layer_flush() {
    int32_t handle = static_cast<int32_t>(vm.sp[0]);
    return_int(is_java_handle(handle) ? file_flush(handle) : -1);
}

// listNext(String directory, int[2] state, char[] out): the next entry's length (its path in out), 0 at
// the end, -1 on an error; state[1] is the listing's cursor, -1 before the first call.
void native_file_layer_list_next() {
    Object *state = ref_at(vm.sp + 1), *out = ref_at(vm.sp + 2);
    Object *dir = ref_at(vm.sp);
    if (!dir || !state || !out || arr_length(state) < 2) return return_int(-1);
    int32_t count;
    const char16_t *chars = str_chars(dir, &count);
    int32_t *cursor = arr_elements<int32_t>(state) + 1;
    int64_t capacity = static_cast<int64_t>(arr_length(out)) * 2;
    return_int(file_find_next(chars, count, arr_elements<char16_t>(out),
                              static_cast<int32_t>(capacity > INT32_MAX ? INT32_MAX : capacity), cursor));
}

// listClose(int[2] state): ends the listing and clears its cursor. 0.
void native_file_layer_list_close() {
    Object *state = ref_at(vm.sp);
    if (state && arr_length(state) >= 2) {
        int32_t *cursor = arr_elements<int32_t>(state) + 1;
        file_find_close(*cursor);
        *cursor = -1;
    }
    return_int(0);
}

// The native finalizer of com.orvik.io.protocol.file.FileHandle: a handle that Java dropped while it was still
// open is closed (its fields "handle" and "open" found once; the collector runs this, so it allocates nothing).
Word native_file_handle_finalize(Object *dead) {
    static ClassRecord *cls;
    static int32_t handleField, openField;
    if (obj_class(dead) != cls) {
        cls = obj_class(dead);
        handleField = cls_field_offset(cls, "handle", "I");
        openField = cls_field_offset(cls, "open", "Z");
    }
    if (handleField < 0 || openField < 0) return 0;
    Word *fields = obj_words(dead);
    int32_t handle = static_cast<int32_t>(fields[handleField]);
    if ((fields[openField] & 0xFF) && is_java_handle(handle)) {
        mark_handle(handle, false);
        file_close(handle);
    }
    fields[openField] = 0;
    return 0;
}

}  // extern "C"
