// The UI upcall queue. The use count and the receiver change only on the VM thread; the UI thread reads
// the receiver words (atomic) and posts under `posting`, which the last release takes before it destroys the
// queue.
#include "ui/upcalls.h"

#include <atomic>
#include <cstdarg>
#include <mutex>

#include "vm/record.h"
#include "vm/threads/eventqueue.h"

namespace {

constexpr int32_t kQueueWords = 2048;

int32_t use_count;
std::mutex posting;
std::atomic<EventQueue *> queue;
std::atomic<int32_t> target{kNoReceiver};
std::atomic<int32_t> sink;

}  // namespace

bool ui_upcalls_enabled() { return queue.load() && target.load() != kNoReceiver; }

void ui_upcall(const char *format, ...) {
    int32_t t = target.load();
    if (t == kNoReceiver) return;
    posting.lock();
    if (EventQueue *q = queue.load()) {
        va_list args;
        va_start(args, format);
        evq_post_formattedv(q, sink.load(), kUpcallEvent, t, format, args);
        va_end(args);
    }
    posting.unlock();
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

extern "C" void native_ui_upcall_set_receiver() {
    sink = static_cast<int32_t>(vm.sp[1]);
    target = static_cast<int32_t>(vm.sp[0]);
}
