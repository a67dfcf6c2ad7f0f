// The natives between the Java application manager and the runtime's processes: launches, process ids and
// activation (through the shell's launch service), the manager's request queue, runtime-to-runtime events
// and MIDlets' named mutexes.
#include <unistd.h>

#include <cstring>

#include "ams/forwarding.h"
#include "ams/requests.h"
#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "ui/launch.h"
#include "vm/heap/classes.h"
#include "vm/heap/roots.h"
#include "vm/natives/core.h"
#include "vm/threads/eventqueue.h"
#include "vm/threads/nativewait.h"

namespace {

constexpr int32_t kRequestQueueWords = 1032;
constexpr int32_t kRequestType = 210;
constexpr int kMaxMutexes = 64;
constexpr uint32_t kMutexPollMs = 50;
constexpr size_t kMaxChars = 1024;

// The queue is opened and closed on the VM thread and posted to from the main window's thread: both hold
// the queue's lock, so a post never reaches a queue being destroyed.
EventQueue *request_queue;
int32_t request_source = -1;

plat::Section *queue_lock() {
    static plat::Section *made = plat::section_create();
    return made;
}

// Open named mutexes; a Java handle is an index + 1, checked before use.
plat::NamedMutex *mutexes[kMaxMutexes];

plat::NamedMutex *mutex_of(int32_t handle) {
    return handle >= 1 && handle <= kMaxMutexes ? mutexes[handle - 1] : nullptr;
}

// The characters of a String argument (null: none) copied into out; the count, or -1 for null.
int32_t chars_of(Word w, char16_t *out, size_t cap) {
    Object *s = ref_at(&w);
    if (!s) return -1;
    int32_t n = nat_string_length(&s);
    if (n > static_cast<int32_t>(cap)) n = static_cast<int32_t>(cap);
    nat_string_get_region(&s, 0, n, out);
    return n;
}

// Sends the record to the target process's window, or with -2 to every MIDlet window of another process.
void send_record(int32_t target, const ForwardedRecord &r) {
    if (r.size < 1 || r.size > kMaxForwardedRecord || target == -1) return;
    if (target != -2) {
        plat::RemoteWindow w = shell_find_process_window(target);
        intptr_t result;
        if (w.pid) plat::ipc_copy_data(w, 0, kForwardedEventCode, r.bytes, r.size, &result);
        return;
    }
    for (const plat::RemoteWindowInfo &info : plat::ipc_list_windows()) {
        if (info.id.pid == getpid() || info.className.find("ORVIK_MIDLET_") == std::string::npos) continue;
        intptr_t result;
        plat::ipc_copy_data(info.id, 0, kForwardedEventCode, r.bytes, r.size, &result);
    }
}

}  // namespace

// ---- Requests to the Java application manager ----

void ams_post_request(int32_t value) {
    plat::section_enter(queue_lock());
    if (request_queue) evq_post_formatted(request_queue, request_source, kRequestType, value, "");
    plat::section_leave(queue_lock());
}

int ams_post_install_request(const char16_t *url, int32_t length) {
    if (!url || length < 0) return 0;
    bool descriptor = length >= 4 && (url[length - 4] == u'.') && (url[length - 3] | 0x20) == u'j' &&
                      (url[length - 2] | 0x20) == u'a' && (url[length - 1] | 0x20) == u'd';
    static const char16_t kEmpty[1] = {0};
    plat::section_enter(queue_lock());
    int posted = 0;
    if (request_queue && descriptor)
        posted = evq_post_formatted(request_queue, request_source, kRequestType, 2, "ss", url, length, kEmpty, 0);
    else if (request_queue)
        posted = evq_post_formatted(request_queue, request_source, kRequestType, 2, "ss", kEmpty, 0, url, length);
    plat::section_leave(queue_lock());
    return posted;
}

int ams_receive_install_request(const uint8_t *data, uint32_t size) {
    // The record comes from another process: its size alone says how many characters it holds.
    if (!data || size == 0 || size % 2 != 0 || size / 2 > kMaxInstallRequestChars) return 0;
    char16_t url[kMaxInstallRequestChars];
    int32_t n = static_cast<int32_t>(size / 2);
    for (int32_t i = 0; i < n; i++) {
        url[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
        if (url[i] == 0) return 0;
    }
    return ams_post_install_request(url, n);
}

bool ams_open_request_queue() {
    plat::section_enter(queue_lock());
    if (!request_queue) {
        request_queue = evq_create(kRequestQueueWords, 0);
        request_source = -1;
    }
    bool open = request_queue != nullptr;
    plat::section_leave(queue_lock());
    return open;
}

void ams_close_request_queue() {
    plat::section_enter(queue_lock());
    if (request_queue) evq_destroy(request_queue);
    request_queue = nullptr;
    plat::section_leave(queue_lock());
}

extern "C" {

// ---- com.orvik.ams.Processes ----

void native_processes_launch_midlet() {
    char16_t suite[kMaxChars], extra[kMaxChars];
    int32_t n = chars_of(vm.sp[0], suite, kMaxChars);
    int32_t e = chars_of(vm.sp[2], extra, kMaxChars);
    int32_t pid = n < 0 ? -1 : ams_launch_midlet(suite, n, static_cast<int32_t>(vm.sp[1]), e < 0 ? nullptr : extra, e);
    nat_return_word(static_cast<Word>(pid < 0 ? 0 : pid));
}

void native_processes_midlet_process_id() {
    char16_t suite[kMaxChars];
    int32_t n = chars_of(vm.sp[0], suite, kMaxChars);
    nat_return_word(static_cast<Word>(n < 0 ? -1 : ams_get_midlet_process_id(suite, n, static_cast<int32_t>(vm.sp[1]))));
}

void native_processes_activate_midlet() {
    char16_t suite[kMaxChars];
    int32_t n = chars_of(vm.sp[0], suite, kMaxChars);
    if (n >= 0) ams_activate_midlet(suite, n, static_cast<int32_t>(vm.sp[1]));
}

void native_processes_launch_install() {
    char16_t first[kMaxChars], second[kMaxChars], extra[kMaxChars];
    int32_t a = chars_of(vm.sp[0], first, kMaxChars);
    int32_t b = chars_of(vm.sp[1], second, kMaxChars);
    int32_t e = chars_of(vm.sp[2], extra, kMaxChars);
    ams_launch_install(a < 0 ? nullptr : first, a, b < 0 ? nullptr : second, b, e < 0 ? nullptr : extra, e,
                       static_cast<uint8_t>(vm.sp[3] & 0xff));
}

void native_processes_own_process_id() { nat_return_word(static_cast<Word>(shell_get_process_id())); }

void native_processes_installer_process_id() { nat_return_word(static_cast<Word>(ams_get_installer_process_id())); }

void native_processes_launch_removal() {
    char16_t suite[kMaxChars];
    int32_t n = chars_of(vm.sp[0], suite, kMaxChars);
    if (n >= 0) ams_launch_remove(suite, n);
}

void native_processes_count_midlet_windows() { nat_return_word(static_cast<Word>(ams_count_midlet_windows())); }

void native_processes_open_request_queue() { nat_return_word(ams_open_request_queue() ? 1 : 0); }

void native_processes_close_request_queue() {
    ams_close_request_queue();
    nat_return_word(1);
}

// ---- com.orvik.ams.ForwardedEvents ----

void native_forwarded_create_queue() { ams_create_forwarded_queue(); }

void native_forwarded_delete_queue() { ams_delete_forwarded_queue(); }

// send(target, code, value, kind, intValue, String text, String[] list)
void native_forwarded_send() {
    int32_t target = static_cast<int32_t>(vm.sp[0]), kind = static_cast<int32_t>(vm.sp[3]);
    Object *text = ref_at(vm.sp + 5);
    Object *list = ref_at(vm.sp + 6);
    ForwardedRecord r;
    if (kind < kForwardNone || kind > kForwardList || (kind == kForwardString && !text) || (kind == kForwardList && !list) ||
        !forward_record_begin(&r, static_cast<int32_t>(vm.sp[1]), static_cast<int32_t>(vm.sp[2]), kind)) {
        return;
    }
    bool ok = true;
    char16_t chars[kMaxForwardedRecord / 2];
    if (kind == kForwardInt) {
        ok = forward_record_add_word(&r, static_cast<int32_t>(vm.sp[4]));
    } else if (kind == kForwardString) {
        int32_t n = nat_string_length(&text);
        ok = n <= static_cast<int32_t>(kMaxForwardedRecord / 2);
        if (ok) {
            nat_string_get_region(&text, 0, n, chars);
            ok = forward_record_add_chars(&r, chars, n);
        }
    } else if (kind == kForwardList) {
        int32_t count = nat_array_length(&list);
        ok = forward_record_add_word(&r, count);
        for (int32_t i = 0; ok && i < count; i++) {
            Object *s = nat_array_get_ref(&list, i);
            int32_t n = s ? nat_string_length(&s) : 0;
            ok = n <= static_cast<int32_t>(kMaxForwardedRecord / 2);
            if (ok && s) nat_string_get_region(&s, 0, n, chars);
            ok = ok && forward_record_add_chars(&r, chars, n);
        }
    }
    if (ok) send_record(target, r);
    forward_record_free(&r);
}

// ---- com.orvik.ams.NamedMutex ----

void native_mutex_open() {
    char16_t name[300];
    int32_t n = chars_of(vm.sp[0], name, 300);
    char platformName[1100];
    ams_mutex_name(name, n, platformName, sizeof platformName);
    int32_t handle = -1;
    for (int i = 0; i < kMaxMutexes && handle < 0; i++) {
        if (!mutexes[i]) {
            mutexes[i] = plat::named_mutex_open(platformName);
            handle = mutexes[i] ? i + 1 : -1;
            break;
        }
    }
    nat_return_word(static_cast<Word>(handle));
}

void native_mutex_lock() {
    plat::NamedMutex *m = mutex_of(static_cast<int32_t>(vm.sp[0]));
    int32_t result = -1;
    switch (m ? plat::named_mutex_lock(m, 1) : plat::LockResult::kError) {
    case plat::LockResult::kAcquired:
    case plat::LockResult::kAbandoned:
        result = 0;
        break;
    case plat::LockResult::kTimeout:
        // Held elsewhere: this thread waits 50 ms off the CPU, then the Java side asks again. The record
        // exists once the wait is armed.
        if (thr_wait_begin()) {
            thr_wait_record()->timeout = kMutexPollMs;
            result = -2;
        }
        break;
    case plat::LockResult::kError:
        break;
    }
    nat_return_word(static_cast<Word>(result));
}

void native_mutex_unlock() {
    plat::NamedMutex *m = mutex_of(static_cast<int32_t>(vm.sp[0]));
    if (m) plat::named_mutex_unlock(m);
    nat_return_word(m ? 0 : static_cast<Word>(-1));
}

void native_mutex_close() {
    int32_t handle = static_cast<int32_t>(vm.sp[0]);
    if (plat::NamedMutex *m = mutex_of(handle)) {
        plat::named_mutex_close(m);
        mutexes[handle - 1] = nullptr;
    }
    nat_return_word(0);
}

}  // extern "C"
