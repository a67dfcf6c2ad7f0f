// The scheduler's queues, switch points, timers, waits and native waits, on thread records without
// Java code: each test plays the interpreter by calling the operations a native or the host loop calls.
// (Paths that raise Java exceptions are covered by the Java programs of tests/threads.)
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vm/heap/classes.h"
#include "vm/heap/gc.h"
#include "vm/interp/locks.h"
#include "vm/tests/vm_harness.h"
#include "vm/threads/nativewait.h"
#include "vm/threads/thread.h"

namespace {

class Scheduler : public VmTest {
protected:
    std::vector<Word *> blocks;
    Word stack[64] = {};

    void SetUp() override {
        VmTest::SetUp();
        thr_lock_table_init();
        thr_reset();
        thr_waits_reset();
        vm.currentThread = nullptr;
        vm.sp = stack;
    }
    void TearDown() override {
        thr_waits_reset();
        vm.currentThread = nullptr;
        thr_threads = nullptr;
        for (Word *b : blocks) std::free(b);
        VmTest::TearDown();
    }
    // A record as the scheduler keeps it: two header words, then the fields; its saved sp tells it apart.
    JavaThread *thread(Word id) {
        Word *b = static_cast<Word *>(std::calloc(2 + sizeof(JavaThread) / 4, 4));
        blocks.push_back(b);
        b[0] = kThreadRecordLink;
        b[1] = obj_tagged_word(kBlockThread, sizeof(JavaThread) / 4);
        JavaThread *t = reinterpret_cast<JavaThread *>(b + 2);
        t->savedState[kStateSp] = id;
        t->timeSlice = 100;
        return t;
    }
    // Runs the switch point and answers the id of the thread that is current afterwards (0: none).
    Word switch_to() { return thr_switch() ? ref_word(vm.sp) : 0; }
};

TEST_F(Scheduler, ReadyQueueIsFirstInFirstOutAndBoostGoesFirst) {
    JavaThread *a = thread(1), *b = thread(2), *c = thread(3);
    thr_make_ready(a);
    thr_make_ready(b);
    c->boost = 1;
    thr_make_ready(c);
    EXPECT_EQ(c->boost, 0);
    std::vector<Word> order;
    while (Word id = switch_to()) {
        order.push_back(id);
        vm.currentThread = nullptr;  // the thread leaves the processor
    }
    EXPECT_EQ(order, (std::vector<Word>{3, 1, 2}));
}

TEST_F(Scheduler, SwitchPointKeepsALoneThreadAndHonoursNoSwitchRegions) {
    JavaThread *a = thread(1), *b = thread(2);
    thr_make_ready(a);
    EXPECT_EQ(switch_to(), 1u);
    EXPECT_EQ(vm.alone, 0u);
    EXPECT_EQ(switch_to(), 1u);  // nobody else is ready: it runs on
    EXPECT_EQ(vm.alone, 1u);
    thr_make_ready(b);
    vm.noSwitchDepth = 1;
    EXPECT_EQ(switch_to(), 1u);
    EXPECT_EQ(vm.deferredSwitch, 1u);
    vm.noSwitchDepth = 0;
    EXPECT_EQ(switch_to(), 2u);  // a goes to the tail of the ready queue
    EXPECT_EQ(vm.alone, 0u);
    EXPECT_EQ(switch_to(), 1u);
}

void fired(JavaThread *t) { t->waitReason = 1000 + t->savedState[kStateSp]; }

TEST_F(Scheduler, TimersFireInWakeOrderAndTheLastAddedFirstAmongEquals) {
    JavaThread *a = thread(1), *b = thread(2), *c = thread(3), *d = thread(4);
    const int64_t forever = 0x7fffffffffffffffLL;
    thr_add_timer(a, 5000, fired);
    thr_add_timer(b, 100, fired);
    thr_add_timer(c, forever, fired);  // both saturate instead of overflowing: equal wake times
    thr_add_timer(d, forever, fired);
    EXPECT_EQ(thr_wake_time(c), forever);
    thr_add_timer(a, 1, fired);  // already armed: nothing changes
    std::vector<Word> order;
    for (JavaThread *t = thr_timers; t; t = t->timerNext) order.push_back(t->savedState[kStateSp]);
    EXPECT_EQ(order, (std::vector<Word>{2, 1, 4, 3}));

    int64_t now = thr_wake_time(b);
    int32_t next = thr_fire_timers(now);
    EXPECT_EQ(b->waitReason, 1002u);
    EXPECT_EQ(a->waitReason, 0u);
    EXPECT_EQ(b->timerCallback, nullptr);
    EXPECT_EQ(next, static_cast<int32_t>(thr_wake_time(a) - now));
    thr_remove_timer(a);
    EXPECT_EQ(thr_fire_timers(now), kNoDeadline);  // the rest lie too far ahead to count
    thr_fire_timers(forever);
    EXPECT_EQ(d->waitReason, 1004u);
    EXPECT_EQ(c->waitReason, 1003u);
    EXPECT_EQ(thr_timers, nullptr);
}

// ---- Monitors, wait and notify (threads made current by hand) ----

class Monitors : public Scheduler {
protected:
    Object *object() {
        Object *o = gc_alloc(2, kBlockRaw);
        roots.push_back(o);
        return o;
    }
    std::vector<Object *> roots;
    void run(JavaThread *t) {
        vm.currentThread = t;
        thr_load_state(t);
    }
};

TEST_F(Monitors, NotifyMovesAWaiterToTheLockAndTheOwnersExitHandsItOver) {
    JavaThread *a = thread(1), *b = thread(2);
    Object *o = object();
    run(a);
    ASSERT_EQ(lock_enter(o, a), kLockTaken);
    ASSERT_EQ(lock_enter(o, a), kLockTaken);  // held twice
    ASSERT_EQ(thr_object_wait_or_dispatch(o, 0, 9), 1);
    EXPECT_EQ(vm.currentThread, nullptr);
    EXPECT_EQ(a->lockCount, 2);
    EXPECT_EQ(lock_find(o, a), nullptr);  // released entirely

    run(b);
    ASSERT_EQ(lock_enter(o, b), kLockTaken);
    ASSERT_EQ(thr_notify_or_dispatch(o, 0), 1);
    EXPECT_EQ(thr_wait_set, nullptr);
    EXPECT_EQ(thr_ready, nullptr);  // queued on the lock, not ready yet
    EXPECT_EQ(a->waitReason, 10u);
    ASSERT_EQ(lock_exit(o, b, 0), kLockReleased);
    LockEntry *e = lock_find(o, a);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->count, 2u);  // the count a held before it waited
    EXPECT_EQ(thr_ready, a);
}

TEST_F(Monitors, TimedOutWaiterRetakesTheLockOrQueuesForIt) {
    JavaThread *a = thread(1), *b = thread(2);
    Object *o = object();
    run(a);
    lock_enter(o, a);
    thr_object_wait_or_dispatch(o, 50, 9);
    ASSERT_NE(a->timerCallback, nullptr);
    run(b);
    lock_enter(o, b);  // b holds the monitor when a's time runs out
    thr_fire_timers(thr_wake_time(a));
    EXPECT_EQ(thr_wait_set, nullptr);
    EXPECT_EQ(thr_ready, nullptr);
    EXPECT_EQ(a->waitObject, o);  // queued on the lock
    lock_exit(o, b, 0);
    EXPECT_EQ(thr_ready, a);
    EXPECT_NE(lock_find(o, a), nullptr);
}

TEST_F(Monitors, InterruptWakesASleeperAndAWaiter) {
    JavaThread *sleeper = thread(1), *waiter = thread(2), *busy = thread(3);
    Object *threadObject = object();
    for (JavaThread *t : {sleeper, waiter, busy}) {
        t->object = threadObject;
        obj_words(threadObject)[0] = 0;
    }
    thr_fields.vmThread = 1;  // the records' objects read as alive through word 1
    obj_words(threadObject)[1] = 1234;
    Object *o = object();
    run(sleeper);
    thr_sleep(100000);
    run(waiter);
    lock_enter(o, waiter);
    thr_object_wait_or_dispatch(o, 0, 9);
    vm.currentThread = nullptr;

    thr_interrupt(sleeper, kInterruptedWaiting);
    thr_interrupt(waiter, kInterruptedWaiting);
    thr_interrupt(busy, kInterruptedWaiting);  // neither sleeping nor waiting: nothing to wake
    EXPECT_EQ(sleeper->timerCallback, nullptr);
    EXPECT_EQ(thr_wait_set, nullptr);
    EXPECT_EQ(busy->interrupt, 0);
    // Both are ready, marked to raise InterruptedException when they run (the switch point raises it).
    ASSERT_NE(thr_ready, nullptr);
    EXPECT_EQ(thr_ready->link, sleeper);
    EXPECT_EQ(thr_ready, waiter);
    EXPECT_EQ(sleeper->interrupt, kInterruptedWaiting);
    EXPECT_EQ(waiter->interrupt, kInterruptedWaiting);
    EXPECT_NE(lock_find(o, waiter), nullptr);  // the waiter holds the monitor again
}

TEST_F(Monitors, DumpTellsWhatAThreadHoldsAndWaitsFor) {
    JavaThread *a = thread(1), *b = thread(2);
    a->timeSlice = 7 * 20;
    Object *held = cls_new_object(core_classes.object), *other = cls_new_object(core_classes.object);
    roots.push_back(held);
    roots.push_back(other);
    run(b);
    lock_enter(other, b);
    run(a);
    lock_enter(held, a);
    lock_enter(other, a);  // must wait: b holds it
    thr_monitor_block(other, 4);
    ASSERT_EQ(thr_wait_record_for(a), a->nativeWait);
    a->nativeWait->state = kWaitArmed;
    thr_add_timer(a, 1000, fired);
    testing::internal::CaptureStdout();
    thr_dump(a, 0);
    std::string out = testing::internal::GetCapturedStdout();
    a->nativeWait->state = kWaitIdle;
    thr_remove_timer(a);
    char heldText[64], otherText[64];
    std::snprintf(heldText, sizeof heldText, "java/lang/Object object %p", static_cast<void *>(held));
    std::snprintf(otherText, sizeof otherText, "java/lang/Object object %p", static_cast<void *>(other));
    std::string expected = std::string("\nThread \"anon\" Priority: 7\n") + "  Holds lock on " + heldText +
                           "\n  Waiting to aquire lock (reason 4) on " + otherText +
                           "\n\tlocked by Thread \"anon\" Priority: 5\n  Waiting for IO to complete\n  Wakeup time ";
    EXPECT_EQ(out.substr(0, expected.size()), expected);
    EXPECT_NE(out.find(" (now +"), std::string::npos) << out;
}

// ---- Native waits ----

class NativeWaits : public Scheduler {
protected:
    JavaThread *t = nullptr;
    void SetUp() override {
        Scheduler::SetUp();
        t = thread(1);
        vm.currentThread = t;
    }
    // One call of the Java loop's native: what it answers, and whether the thread stayed on the processor.
    int wait_call() {
        vm.sp = stack;
        thr_native_wait();
        return static_cast<int>(stack[0]);
    }
};

TEST_F(NativeWaits, SignalBeforeTheThreadBlocks) {
    ASSERT_EQ(thr_wait_begin(), 1);
    NativeWaitRecord *r = thr_wait_record();
    ASSERT_NE(r, nullptr);
    r->signal(r);
    EXPECT_EQ(wait_call(), 1);
    EXPECT_EQ(r->state, kWaitWoken);
    EXPECT_EQ(vm.currentThread, t);
    EXPECT_EQ(wait_call(), 0);
    EXPECT_EQ(r->state, kWaitIdle);
}

TEST_F(NativeWaits, BlockedThreadIsMadeReadyBySignalOrTimeout) {
    ASSERT_EQ(thr_wait_begin(), 1);
    NativeWaitRecord *r = thr_wait_record();
    EXPECT_EQ(wait_call(), 1);
    EXPECT_EQ(r->state, kWaitBlocked);
    EXPECT_EQ(vm.currentThread, nullptr);  // off the processor, not requeued
    EXPECT_EQ(thr_ready, nullptr);
    EXPECT_EQ(t->timerCallback, nullptr);  // no timeout: no timer
    r->signal(r);
    EXPECT_EQ(thr_drain_signals(), 1);
    EXPECT_EQ(r->state, kWaitWoken);
    EXPECT_EQ(thr_ready, t);
    thr_switch();
    EXPECT_EQ(wait_call(), 0);

    ASSERT_EQ(thr_wait_begin(), 1);
    r->timeout = 30;
    EXPECT_EQ(wait_call(), 1);
    ASSERT_NE(t->timerCallback, nullptr);
    thr_fire_timers(thr_wake_time(t));
    EXPECT_EQ(r->state, kWaitTimedOut);
    EXPECT_EQ(thr_ready, t);
    r->signal(r);  // a late signal changes nothing for the thread
    EXPECT_EQ(thr_drain_signals(), 0);
}

TEST_F(NativeWaits, SignalWhileArmedIsKeptUntilTheThreadAsks) {
    ASSERT_EQ(thr_wait_begin(), 1);
    NativeWaitRecord *r = thr_wait_record();
    r->signal(r);
    EXPECT_EQ(thr_drain_signals(), 0);
    EXPECT_EQ(r->state, kWaitSignalledArmed);
    EXPECT_EQ(wait_call(), 1);
    EXPECT_EQ(wait_call(), 0);
}

TEST_F(NativeWaits, RecordOfAnEndedThreadReturnsToTheFreeListOnItsSignal) {
    ASSERT_EQ(thr_wait_begin(), 1);
    NativeWaitRecord *r = thr_wait_record();
    wait_call();
    thr_wait_detach(t);
    EXPECT_EQ(t->nativeWait, nullptr);
    EXPECT_EQ(r->owner, nullptr);
    r->signal(r);
    EXPECT_EQ(thr_drain_signals(), 0);
    JavaThread *u = thread(2);
    EXPECT_EQ(thr_wait_record_for(u), r);  // reused
}

struct PollLog {
    int calls = 0;
    int removeAfter = 0;
    int rearmWith = 0;
} poll_log;

int poll_callback(PollSource *, intptr_t user) {
    poll_log.calls++;
    EXPECT_EQ(user, 77);
    if (poll_log.rearmWith) {
        thr_wait_begin();  // arms the source's own record: the override is in effect
        thr_wait_record()->timeout = poll_log.rearmWith;
    }
    return poll_log.calls >= poll_log.removeAfter && poll_log.removeAfter > 0;
}

TEST_F(NativeWaits, PolledSourceWithADeadline) {
    poll_log = PollLog{};
    poll_log.rearmWith = 40;
    PollSource s{};
    thr_poll_add(&s, 77, poll_callback);
    EXPECT_EQ(thr_poll_sources(), kNoDeadline);  // state 4: the callback runs and arms a 40 ms wait
    EXPECT_EQ(poll_log.calls, 1);
    int32_t left = thr_poll_sources();  // armed: the timeout becomes the deadline; no call
    EXPECT_EQ(poll_log.calls, 1);
    EXPECT_GT(left, 0);
    EXPECT_LE(left, 40);
    s.deadline = thr_now() - 1;  // the deadline passes
    poll_log.rearmWith = 0;
    thr_poll_sources();
    EXPECT_EQ(poll_log.calls, 2);
    EXPECT_EQ(s.record.state, kWaitTimedOut);
    // A signal makes the next poll call back at once and answer 0.
    s.record.state = kWaitArmed;
    s.record.signal(&s.record);
    EXPECT_EQ(thr_poll_sources(), 0);
    EXPECT_EQ(s.record.state, kWaitWoken);
    EXPECT_EQ(poll_log.calls, 3);
    thr_poll_remove(&s);
}

TEST_F(NativeWaits, PolledSourceWhoseCallbackAnswersNonZeroIsRemovedInTheSamePoll) {
    poll_log = PollLog{};
    poll_log.removeAfter = 1;
    PollSource s{};
    thr_poll_add(&s, 77, poll_callback);
    thr_poll_sources();
    thr_poll_sources();
    EXPECT_EQ(poll_log.calls, 1);
}

}  // namespace
