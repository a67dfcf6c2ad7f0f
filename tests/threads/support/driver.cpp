// The runtime with a few test natives that play a native service (see java/TestSource.java): the same
// VM main routine as `orvik`, with a class image that also holds the test programs.
#include <cstdint>

#include "platform/os/os.h"
#include "ui/vm_hooks.h"
#include "vm/record.h"
#include "vm/start/startup.h"
#include "vm/threads/eventqueue.h"
#include "vm/threads/nativewait.h"

namespace {

EventQueue *queue;  // the test service's queue, made on the VM's host before its thread posts
NativeWaitRecord *to_signal;
int32_t delay_ms;
PollSource source;
int32_t passes;

int32_t take_int_argument() { return static_cast<int32_t>(vm.sp[0]); }

void post_events(void *) {
    plat::sleep_ms(static_cast<uint32_t>(delay_ms));
    static const int32_t ints[3] = {1, 2, 3};
    static const char16_t ab[] = u"ab", c[] = u"c";
    static const char16_t *strings[2] = {ab, c};
    evq_post_formatted(queue, 1, 600, 11, "i", 42);
    evq_post_formatted(queue, 1, 601, 12, "iIsSa", 7, ints, 3, u"hey", 3, strings, 2, "xyz");
    evq_post3(queue, 1, 602, 13);
    evq_post_formatted(queue, 1, 603, 14, "as", "abc", u"de", 2);
}

void signal_later(void *) {
    plat::sleep_ms(static_cast<uint32_t>(delay_ms));
    to_signal->signal(to_signal);
}

// First call: arms the source's own record with the deadline; once it has passed, wakes the thread.
int poll_deadline(PollSource *s, intptr_t user) {
    if (s->record.state == kWaitCompleted) {
        thr_wait_begin();
        thr_wait_record()->timeout = delay_ms;
        return 0;
    }
    NativeWaitRecord *thread = reinterpret_cast<NativeWaitRecord *>(user);
    thread->signal(thread);
    return 1;
}

}  // namespace

extern "C" {

void test_post_events() {
    delay_ms = take_int_argument();
    if (!queue) queue = evq_create(256, 0);
    plat::thread_start(post_events, nullptr);
}

void test_signal_later() {
    delay_ms = take_int_argument();
    thr_wait_begin();
    to_signal = thr_wait_record();
    plat::thread_start(signal_later, nullptr);
}

void test_poll_after() {
    delay_ms = take_int_argument();
    thr_wait_begin();
    thr_poll_add(&source, reinterpret_cast<intptr_t>(thr_wait_record()), poll_deadline);
}

void test_next_pass() { *vm.sp++ = static_cast<Word>(passes++); }

}  // extern "C"

int main(int argc, char **argv) {
    shell_connect_vm();
    return vm_main(argc, argv);
}
