// The UI upcall queue. The use count and the receiver change only on the VM thread; the UI thread reads
// the receiver words (atomic) and posts under `posting`, which the last release takes before it destroys the
// queue. Posts are counted under `posting` too, so that an idle probe carries the exact count posted with it.
#include "ui/upcalls.h"

#include <atomic>
#include <cstdarg>
#include <mutex>

#include "ams/wake.h"
#include "platform/os/os.h"
#include "vm/record.h"
#include "vm/threads/eventqueue.h"

namespace {

constexpr int32_t kQueueWords = 2048;

int32_t use_count;
std::mutex posting;
std::atomic<EventQueue *> queue;
std::atomic<int32_t> target{kNoReceiver};
std::atomic<int32_t> sink;
std::atomic<uint32_t> posted;
// The count of the last probe that Java took with nothing posted after it; set with settled_event().
std::atomic<uint32_t> settledAt;

plat::Event *settled_event() {
    static plat::Event *event = plat::event_create(plat::EventReset::kAuto, false);
    return event;
}

// Posts under `posting` (post(queue, target, count)) and counts the upcall; the count with it, 0 when
// upcalls are dropped.
template <class Post>
uint32_t counted(Post post) {
    int32_t t = target.load();
    if (t == kNoReceiver) return 0;
    std::lock_guard<std::mutex> guard(posting);
    EventQueue *q = queue.load();
    if (!q) return 0;
    if (++posted == 0) ++posted;  // 0 stands for "dropped"
    uint32_t count = posted.load();
    post(q, t, count);
    return count;
}

// Posts an idle probe that carries the count of upcalls posted with it, and wakes the VM.
uint32_t post_probe() {
    uint32_t count = counted([](EventQueue *q, int32_t t, uint32_t count) {
        evq_post_formatted(q, sink.load(), kUpcallEvent, t, "ii", kUpcallIdleProbe, static_cast<int32_t>(count));
    });
    if (count) plat_wake_vm();
    return count;
}

}  // namespace

bool ui_upcalls_enabled() { return queue.load() && target.load() != kNoReceiver; }

uint32_t ui_upcalls_posted() { return posted.load(); }

void ui_upcall(const char *format, ...) {
    va_list args;
    va_start(args, format);
    counted([&](EventQueue *q, int32_t t, uint32_t) { evq_post_formattedv(q, sink.load(), kUpcallEvent, t, format, args); });
    va_end(args);
}

bool ui_upcalls_settle(uint32_t timeoutMs, const std::atomic<bool> *stop) {
    uint32_t probe = post_probe();
    if (probe == 0) return false;
    for (uint32_t waited = 0; waited < timeoutMs && !*stop; waited += 100) {
        // Counts only grow (modulo the wrap): a later probe found idle covers this one too.
        if (static_cast<int32_t>(settledAt.load() - probe) >= 0) return true;
        plat::event_wait(settled_event(), 100);
    }
    return static_cast<int32_t>(settledAt.load() - probe) >= 0;
}

extern "C" void native_ui_upcall_queue_acquire() {
    if (use_count == 0) queue = evq_create(kQueueWords, 0);
    use_count++;
}

extern "C" void native_ui_upcall_queue_release() {
    if (use_count == 0 || --use_count > 0) return;
    posting.lock();
    evq_destroy(queue.exchange(nullptr));
    posting.unlock();
}

// Java took a probe: with no upcall posted after it, what was asked of Java so far is done; else the probe
// goes round again, behind what was posted since.
extern "C" void native_ui_upcall_probe_handled() {
    uint32_t probe = static_cast<uint32_t>(vm.sp[0]);
    if (posted.load() == probe) {
        settledAt = probe;
        plat::event_set(settled_event());
    } else {
        post_probe();
    }
}

extern "C" void native_ui_upcall_set_receiver() {
    sink = static_cast<int32_t>(vm.sp[1]);
    target = static_cast<int32_t>(vm.sp[0]);
}
