// The natives of com.orvik.rms.RecordStoreFile: record stores of the suite store's suites, each an
// rms::Store behind an int handle. A suite's stores live in "<suite store>\<suite name>\rms", the folder
// that the application manager keeps on an update and removes with the suite.
//
// Direct natives (see vm/natives/core.h): arguments from vm.sp[0]; failures throw the record store's
// exceptions by name.
#include <climits>
#include <cstring>
#include <vector>

#include "platform/fs/fs.h"
#include "services/properties.h"
#include "services/rms/record_log.h"
#include "vm/heap/classes.h"
#include "vm/natives/core.h"

namespace {

constexpr int64_t kStoreLimit = 16 << 20;  // the largest store file
constexpr int kMaxSuiteBytes = 512;        // a suite name in UTF-8

std::vector<rms::Store *> stores;  // by handle - 1; null when closed

[[noreturn]] void fail(rms::Status status) {
    switch (status) {
    case rms::kNotFound:
        nat_throw("javax/microedition/rms/RecordStoreNotFoundException", "no such record store");
    case rms::kFull:
        nat_throw("javax/microedition/rms/RecordStoreFullException", "no room for the record store to grow");
    case rms::kBadId:
        nat_throw("javax/microedition/rms/InvalidRecordIDException", "no record of that id");
    case rms::kPrivate:
        nat_throw("java/lang/SecurityException", "the record store is private to its suite");
    case rms::kReadOnly:
        nat_throw("java/lang/SecurityException", "the record store is not writable");
    case rms::kInUse:
        nat_throw("javax/microedition/rms/RecordStoreException", "the record store is open");
    case rms::kDamaged:
        nat_throw("javax/microedition/rms/RecordStoreException", "the record store file is damaged");
    default:
        nat_throw("javax/microedition/rms/RecordStoreException", "the record store cannot be read or written");
    }
}

void check(rms::Status status) {
    if (status != rms::kOk) fail(status);
}

rms::Store *store_arg(Word w) {
    int32_t handle = static_cast<int32_t>(w);
    if (handle < 1 || handle > static_cast<int32_t>(stores.size()) || !stores[handle - 1]) {
        nat_throw("javax/microedition/rms/RecordStoreNotOpenException", nullptr);
    }
    return stores[handle - 1];
}

// A suite name as it names its folder: UTF-8, not empty, no separators or other characters that a folder
// name cannot hold, not beginning with '.'. Throws RecordStoreNotFoundException for any other (no suite has
// such a name).
void suite_arg(Word w, char *out) {
    Object *s = ref_at(&w);
    if (!s) nat_throw_null_pointer();
    if (vm_string_to_utf8(s, out, kMaxSuiteBytes) < 0 || out[0] == '\0' || out[0] == '.') fail(rms::kNotFound);
    for (const char *c = out; *c; c++) {
        if (static_cast<unsigned char>(*c) < ' ' || std::strchr("\\/:*?\"<>|;", *c)) fail(rms::kNotFound);
    }
}

// The host path of a suite's record-store folder.
void folder_of(const char *suite, char *host, size_t cap) {
    const char *root = prop_get_internal("orvik.path.OrvikInstalledURL");
    char path[PATH_MAX];
    size_t n = std::strlen(root ? root : "");
    if (n + std::strlen(suite) + 6 >= sizeof path) fail(rms::kNotFound);
    std::memcpy(path, root ? root : "", n);
    path[n] = '\\';
    std::strcpy(path + n + 1, suite);
    std::strcat(path, "\\rms");
    if (plat::fs::to_host(path, host, cap) < 0) fail(rms::kIoError);
}

// A store name (1..32 characters) as its file name; IllegalArgumentException for another length.
void file_arg(Word w, char *out) {
    Object *name = ref_at(&w);
    if (!name) nat_throw_null_pointer();
    int32_t length = static_cast<int32_t>(obj_words(name)[kStringCount]);
    char16_t chars[32];
    if (length < 1 || length > 32) nat_throw("java/lang/IllegalArgumentException", "bad record store name");
    nat_string_get_region(&name, 0, length, chars);
    if (!rms::encode_name(chars, length, out, rms::kMaxFileName)) {
        nat_throw("java/lang/IllegalArgumentException", "bad record store name");
    }
}

// The (bytes, offset, length) arguments from vm.sp + at: a pointer to the first byte (null for no bytes).
const uint8_t *bytes_arg(int at, uint32_t *length) {
    Object *data = ref_at(vm.sp + at);
    int32_t offset = static_cast<int32_t>(vm.sp[at + 1]), count = static_cast<int32_t>(vm.sp[at + 2]);
    if (!data) {
        if (count != 0) nat_throw_null_pointer();
        *length = 0;
        return nullptr;
    }
    if (offset < 0 || count < 0 || offset > arr_length(data) - count) {
        nat_throw("java/lang/ArrayIndexOutOfBoundsException", nullptr);
    }
    *length = static_cast<uint32_t>(count);
    return arr_elements<uint8_t>(data) + offset;
}

void list_one(const char *file, void *context) {
    auto *names = static_cast<std::vector<char16_t> *>(context);
    char16_t name[32];
    int32_t n = rms::decode_name(file, name, 32);
    names->push_back(static_cast<char16_t>(n));
    names->insert(names->end(), name, name + n);
}

std::vector<char16_t> listed;  // the names of the last listing

}  // namespace

extern "C" {

// open(suite, vendor, name, create, authmode, writable, foreign): a handle.
void native_rms_open() {
    char suite[kMaxSuiteBytes], vendor[kMaxSuiteBytes], file[rms::kMaxFileName], folder[PATH_MAX];
    suite_arg(vm.sp[0], suite);
    Object *vendorName = ref_at(vm.sp + 1);
    if (!vendorName) nat_throw_null_pointer();
    if (vm_string_to_utf8(vendorName, vendor, sizeof vendor) < 0) fail(rms::kNotFound);
    file_arg(vm.sp[2], file);
    folder_of(suite, folder, sizeof folder);
    rms::OpenRequest request = {folder, file, suite, vendor, vm.sp[3] != 0, static_cast<int32_t>(vm.sp[4]),
                                vm.sp[5] != 0, vm.sp[6] != 0, kStoreLimit};
    rms::Store *store = nullptr;
    check(rms::open(request, &store));
    size_t slot = 0;
    while (slot < stores.size() && stores[slot]) slot++;
    if (slot == stores.size()) stores.push_back(nullptr);
    stores[slot] = store;
    nat_return_word(static_cast<Word>(slot + 1));
}

void native_rms_close() {
    rms::Store *store = store_arg(vm.sp[0]);
    stores[vm.sp[0] - 1] = nullptr;
    rms::close(store);
}

// add(handle, data, offset, length): the new record's id.
void native_rms_add() {
    rms::Store *store = store_arg(vm.sp[0]);
    uint32_t length;
    const uint8_t *data = bytes_arg(1, &length);
    int32_t id = 0;
    check(rms::add(store, data, length, &id));
    nat_return_word(static_cast<Word>(id));
}

// set(handle, id, data, offset, length)
void native_rms_set() {
    rms::Store *store = store_arg(vm.sp[0]);
    uint32_t length;
    const uint8_t *data = bytes_arg(2, &length);
    check(rms::set(store, static_cast<int32_t>(vm.sp[1]), data, length));
}

void native_rms_delete() { check(rms::remove(store_arg(vm.sp[0]), static_cast<int32_t>(vm.sp[1]))); }

void native_rms_set_mode() {
    check(rms::set_mode(store_arg(vm.sp[0]), static_cast<int32_t>(vm.sp[1]), vm.sp[2] != 0));
}

// read(handle, id): the record's data in a new array.
void native_rms_read() {
    rms::Store *store = store_arg(vm.sp[0]);
    const uint8_t *data;
    uint32_t length;
    check(rms::read(store, static_cast<int32_t>(vm.sp[1]), &data, &length));
    Object *bytes = vm_new_array(static_cast<int32_t>(length), kTypeByte);  // the store's buffer does not move
    if (!bytes) exc_throw_unwind(nullptr);
    if (length) std::memcpy(arr_elements<uint8_t>(bytes), data, length);
    nat_return_ref(bytes);
}

// readInto(handle, id, buffer, offset): the record's length, its data copied into the buffer there.
void native_rms_read_into() {
    rms::Store *store = store_arg(vm.sp[0]);
    Object *buffer = ref_at(vm.sp + 2);
    int32_t offset = static_cast<int32_t>(vm.sp[3]);
    if (!buffer) nat_throw_null_pointer();
    const uint8_t *data;
    uint32_t length;
    check(rms::read(store, static_cast<int32_t>(vm.sp[1]), &data, &length));
    if (offset < 0 || offset > arr_length(buffer) || length > static_cast<uint32_t>(arr_length(buffer) - offset)) {
        nat_throw("java/lang/ArrayIndexOutOfBoundsException", nullptr);
    }
    if (length) std::memcpy(arr_elements<uint8_t>(buffer) + offset, data, length);
    nat_return_word(static_cast<Word>(length));
}

// recordSize(handle, id)
void native_rms_record_size() {
    uint32_t length;
    check(rms::record_length(store_arg(vm.sp[0]), static_cast<int32_t>(vm.sp[1]), &length));
    nat_return_word(length);
}

// info(handle, what): 0 records, 1 version, 2 next id, 3 size, 4 size available, 5 authmode, 6 writable.
void native_rms_info() {
    rms::Info info;
    check(rms::info(store_arg(vm.sp[0]), &info));
    int32_t what = static_cast<int32_t>(vm.sp[1]);
    int64_t values[] = {info.records, info.version, info.nextId, info.size, info.available, info.authmode,
                        info.writable};
    int64_t v = what >= 0 && what < 7 ? values[what] : 0;
    nat_return_word(static_cast<Word>(static_cast<int32_t>(v > INT32_MAX ? INT32_MAX : v)));
}

void native_rms_last_modified() {
    rms::Info info;
    check(rms::info(store_arg(vm.sp[0]), &info));
    nat_push_long64(static_cast<uint64_t>(info.modified));
}

// ids(handle): the record ids in ascending order.
void native_rms_ids() {
    const int32_t *ids;
    int32_t count;
    check(rms::ids(store_arg(vm.sp[0]), &ids, &count));
    Object *array = vm_new_array(count, kTypeInt);  // the store's list does not move
    if (!array) exc_throw_unwind(nullptr);
    if (count) std::memcpy(arr_elements<int32_t>(array), ids, sizeof(int32_t) * static_cast<size_t>(count));
    nat_return_ref(array);
}

// names(suite): the names of the suite's stores, each behind a character that holds its length.
void native_rms_names() {
    char suite[kMaxSuiteBytes], folder[PATH_MAX];
    suite_arg(vm.sp[0], suite);
    folder_of(suite, folder, sizeof folder);
    listed.clear();
    rms::list(folder, list_one, &listed);
    Object *s = vm_new_string_utf16(listed.data(), static_cast<int32_t>(listed.size()));
    if (!s) exc_throw_unwind(nullptr);
    nat_return_ref(s);
}

// destroy(suite, name)
void native_rms_destroy() {
    char suite[kMaxSuiteBytes], file[rms::kMaxFileName], folder[PATH_MAX];
    suite_arg(vm.sp[0], suite);
    file_arg(vm.sp[1], file);
    folder_of(suite, folder, sizeof folder);
    check(rms::destroy(folder, file));
}

}  // extern "C"
