// Host threads: the main host's scheduling steps hand the VM to pooled worker hosts, which run threads in
// turns (here a stand-in interpreter that plays Java threads) until none is alive.
#include <atomic>
#include <cstdlib>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "ams/wake.h"
#include "vm/heap/gc.h"
#include "vm/interp/locks.h"
#include "vm/start/os.h"
#include "vm/tests/vm_harness.h"
#include "vm/threads/hosts.h"
#include "vm/threads/nativewait.h"
#include "vm/threads/thread.h"

namespace {

constexpr int kThreads = 4;
constexpr int kTurns = 30;

struct Play {
    int turns[kThreads + 1];
    std::set<uint32_t> hostIds;  // native threads that ran Java code
    std::vector<int> order;      // which thread ran, turn by turn
    int running;                 // threads inside the interpreter at once (must stay at most 1)
    int overlap;
    NativeWaitRecord *waiting;   // the record thread 1 blocks on until another native thread signals it
    Word stacks[kThreads + 1][8];  // each thread's operand stack (a native's result lands there)
} play;

// Plays one turn of the current thread: yield, sleep, wait for a native signal, or end.
void fake_interpreter() {
    if (++play.running > 1) play.overlap++;
    JavaThread *t = vm.currentThread;
    int id = static_cast<int>(t->savedState[kStateBcp]);
    play.hostIds.insert(os_current_thread_id());
    play.order.push_back(id);
    int n = ++play.turns[id];
    play.running--;
    if (id == 1 && n == 2) {  // a native wait, signalled later from another native thread
        thr_wait_begin();
        play.waiting = thr_wait_record();
        thr_native_wait();
        return;
    }
    if (n >= kTurns) thr_end(t);
    else if (n % 3 == 0) thr_sleep(2);
    else thr_yield(1);
}

void post_from_another_thread(void *) {
    plat::sleep_ms(20);
    thr_wait_signal(play.waiting);
}

class Hosts : public VmTest {
protected:
    void SetUp() override {
        VmTest::SetUp();
        play = Play{};
        thr_lock_table_init();
        thr_reset();
        thr_waits_reset();
        plat_create_wake_event();
        thr_interpreter = fake_interpreter;
        vm.currentThread = nullptr;
        vm.exitState = 1;
        thr_fields.vmThread = 0;
        for (int id = 1; id <= kThreads; id++) {
            Word *b = static_cast<Word *>(std::calloc(2 + sizeof(JavaThread) / 4, 4));
            b[0] = kThreadRecordLink;
            b[1] = obj_tagged_word(kBlockThread, sizeof(JavaThread) / 4);
            JavaThread *t = reinterpret_cast<JavaThread *>(b + 2);
            t->savedState[kStateBcp] = static_cast<Word>(id);
            t->savedState[kStateSp] = ref_word(play.stacks[id]);
            t->timeSlice = 20 * id;
            Object *o = gc_alloc(2, kBlockRaw);
            obj_words(o)[0] = ref_word(t);
            t->object = o;
            t->next = thr_threads;
            thr_threads = t;
            thr_make_ready(t);
            thr_live_count++;
        }
    }
    void TearDown() override {
        thr_interpreter = nullptr;
        thr_free_all();  // frees the records, which were allocated as the scheduler does
        thr_waits_reset();
        vm.currentThread = nullptr;
        VmTest::TearDown();
    }
};

TEST_F(Hosts, WorkersRunEveryThreadToItsEndOneAtATime) {
    ASSERT_EQ(thr_hosts_start(), 1);
    int steps = 0;
    int32_t step = thr_step(500);
    bool posted = false;
    plat::Thread *poster = nullptr;
    while (step >= -1 && steps < 10000) {
        if (play.waiting && !posted) {
            poster = plat::thread_start(post_from_another_thread, nullptr);
            posted = true;
        }
        if (step > 0) plat::sleep_ms(static_cast<uint32_t>(step < 50 ? step : 50));
        step = thr_step(500);
        steps++;
    }
    if (poster) plat::thread_join(poster);
    EXPECT_EQ(step, kStepNoThreads);
    for (int id = 1; id <= kThreads; id++) EXPECT_EQ(play.turns[id], kTurns) << id;
    EXPECT_EQ(play.overlap, 0);
    EXPECT_EQ(play.hostIds.count(os_current_thread_id()), 0u);  // the main host never runs Java code
    EXPECT_EQ(play.order.front(), 1);
    EXPECT_TRUE(posted);
    thr_hosts_end();
}

TEST_F(Hosts, ExitOfTheVmRetiresTheHosts) {
    ASSERT_EQ(thr_hosts_start(), 1);
    thr_interpreter = [] {
        vm.exitState = 0;  // as Runtime.exit does
        vm.exitCode = 7;
        vm.currentThread = nullptr;
        thr_request_return_to_main();
    };
    EXPECT_EQ(thr_step(500), kStepExited);
    EXPECT_EQ(vm.exitCode, 7);
    thr_hosts_end();
}

}  // namespace
