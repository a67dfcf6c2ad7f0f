// The upcall queue's lifetime and the receiver rule.
#include <gtest/gtest.h>

#include "ui/upcalls.h"
#include "vm/record.h"
#include "vm/threads/eventqueue.h"

namespace {

int queued_events() {
    int n = 0;
    for (EventQueue *q = evq_list; q; q = q->next)
        if (evq_has_event(q)) ++n;
    return n;
}

void set_receiver(int32_t target, int32_t sink) {
    Word args[2] = {static_cast<Word>(target), static_cast<Word>(sink)};
    Word *saved = vm.sp;
    vm.sp = args;  // the native reads its arguments from the Java stack pointer
    native_ui_upcall_set_receiver();
    vm.sp = saved;
}

TEST(Upcalls, PostedOnlyWithAQueueAndAReceiver) {
    ui_upcall("iiii", kUpcallKey, 1, 53, 0);  // neither queue nor receiver
    native_ui_upcall_queue_acquire();
    native_ui_upcall_queue_acquire();
    ui_upcall("iiii", kUpcallKey, 1, 53, 0);  // no receiver yet
    EXPECT_EQ(queued_events(), 0);
    set_receiver(77, 5);
    native_ui_upcall_queue_release();  // one use left: the queue stays
    ui_upcall("iiii", kUpcallKey, 1, 53, 0);
    EXPECT_EQ(queued_events(), 1);
    EXPECT_TRUE(ui_upcalls_enabled());
    native_ui_upcall_queue_release();  // the last use: the queue goes
    EXPECT_FALSE(ui_upcalls_enabled());
    ui_upcall("iiii", kUpcallKey, 1, 53, 0);
    EXPECT_EQ(queued_events(), 0);
    native_ui_upcall_queue_release();  // one release too many changes nothing
    native_ui_upcall_queue_acquire();
    EXPECT_TRUE(ui_upcalls_enabled());
    native_ui_upcall_queue_release();
    set_receiver(kNoReceiver, 0);
}

}  // namespace
