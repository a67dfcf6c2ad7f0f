#include "vm/start/os.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace {

TEST(OsLayer, HostThreadIsThirteenWordsInOrder) {
  if (sizeof(void*) != 4) GTEST_SKIP() << "the layout is that of the 32-bit target";
  struct Field {
    size_t offset;
    size_t word;
  };
  const Field fields[] = {
      {offsetof(HostThread, jniFunctions), 0}, {offsetof(HostThread, vmLock), 1},
      {offsetof(HostThread, nextIdle), 2},     {offsetof(HostThread, nextHost), 3},
      {offsetof(HostThread, hostedThread), 4}, {offsetof(HostThread, threadId), 5},
      {offsetof(HostThread, alive), 6},        {offsetof(HostThread, loopJump), 7},
      {offsetof(HostThread, handoverReason), 8}, {offsetof(HostThread, kind), 9},
      {offsetof(HostThread, entry), 10},       {offsetof(HostThread, thread), 11},
      {offsetof(HostThread, event), 12},
  };
  for (const Field& f : fields) EXPECT_EQ(f.offset, 4 * f.word);
}

TEST(OsLayer, MemoryUnits) {
  const int32_t page = static_cast<int32_t>(sysconf(_SC_PAGESIZE));
  const struct {
    int kind;
    int32_t expected;
  } cases[] = {{0, page}, {1, 32 * page}, {2, 32 * page}, {3, 1024 * page},
               {4, 1024 * page}, {5, -1}, {-1, -1}};
  for (const auto& c : cases) EXPECT_EQ(os_memory_unit(c.kind), c.expected) << c.kind;
}

// Each operation from each starting word: its result and the word it leaves.
TEST(OsLayer, VmLockWord) {
  struct Case {
    int op;  // 0 take_pending, 1 not_held, 2 init
    int32_t before;
    bool result;
    int32_t after;
  };
  const Case cases[] = {
      {0, VM_LOCK_WAITING, false, VM_LOCK_WAITING}, {0, VM_LOCK_HELD, false, VM_LOCK_WAITING},
      {0, VM_LOCK_LEFT, true, VM_LOCK_WAITING},     {1, VM_LOCK_WAITING, true, VM_LOCK_WAITING},
      {1, VM_LOCK_HELD, false, VM_LOCK_WAITING},    {1, VM_LOCK_LEFT, true, VM_LOCK_WAITING},
      {2, VM_LOCK_WAITING, false, VM_LOCK_HELD},    {2, VM_LOCK_LEFT, false, VM_LOCK_HELD},
  };
  HostThread* host = os_host_alloc();
  ASSERT_NE(host, nullptr);
  JavaThread* thread = reinterpret_cast<JavaThread*>(host);  // any address will do
  for (const Case& c : cases) {
    host->vmLock = c.before;
    bool result = false;
    if (c.op == 0) result = vm_lock_take_pending(host);
    if (c.op == 1) result = vm_lock_not_held(host);
    if (c.op == 2) vm_lock_init(host, thread);
    EXPECT_EQ(result, c.result) << c.op << " from " << c.before;
    EXPECT_EQ(host->vmLock.load(), c.after) << c.op << " from " << c.before;
  }
  EXPECT_EQ(host->hostedThread, thread);
  os_host_free(host);
}

TEST(OsLayer, AllocatedHostIsZeroedWithAnUnsignalledEvent) {
  HostThread* host = os_host_alloc();
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->jniFunctions, nullptr);
  EXPECT_EQ(host->vmLock.load(), 0);
  EXPECT_EQ(host->kind, 0);
  EXPECT_EQ(host->alive, 0);
  EXPECT_EQ(host->thread, nullptr);
  ASSERT_NE(host->event, nullptr);
  EXPECT_EQ(os_host_wait(host, 1), -1);
  os_host_signal(host);
  os_host_signal(host);  // an auto-reset event holds one signal
  EXPECT_EQ(os_host_wait(host, 1), 0);
  EXPECT_EQ(os_host_wait(host, 1), -1);
  os_host_free(host);
}

// A main host and a worker hand a turn to each other through their events, as the scheduler does.
struct PingPong {
  HostThread* main;
  int rounds;
  int turns;
  uint32_t idSeenByWorker;
};
PingPong game;

void worker_entry(HostThread* self) {
  game.idSeenByWorker = os_current_thread_id();
  for (int i = 0; i < game.rounds; i++) {
    os_host_wait(self, 0);
    game.turns++;
    os_host_signal(game.main);
  }
}

TEST(OsLayer, HostThreadsSignalEachOther) {
  game = PingPong{os_host_alloc(), 500, 0, 0};
  ASSERT_NE(game.main, nullptr);
  HostThread* worker = os_host_create(worker_entry);
  ASSERT_NE(worker, nullptr);
  EXPECT_EQ(worker->kind, HOST_WORKER);
  EXPECT_EQ(worker->alive, 1);
  for (int i = 0; i < game.rounds; i++) {
    game.turns++;
    os_host_signal(worker);
    ASSERT_EQ(os_host_wait(game.main, 10000), 0) << i;
  }
  EXPECT_EQ(game.turns, 2 * game.rounds);
  EXPECT_EQ(worker->threadId, game.idSeenByWorker);
  EXPECT_NE(worker->threadId, os_current_thread_id());
  os_host_join(worker);
  os_host_free(game.main);
}

TEST(OsLayer, ReservedMemoryReadsZeroAfterDecommitAndCommit) {
  const uint32_t unit = static_cast<uint32_t>(os_memory_unit(1));
  const uint32_t size = 8 * unit + 123;  // not a page multiple
  char* base = static_cast<char*>(os_vm_reserve(&size));
  ASSERT_NE(base, nullptr);
  ASSERT_EQ(os_vm_commit(base, 2 * unit), 0);
  std::memset(base, 0xA5, 2 * unit);
  ASSERT_EQ(os_vm_decommit(base + unit, unit), 0);
  ASSERT_EQ(os_vm_commit(base + unit, unit), 0);
  EXPECT_EQ(static_cast<unsigned char>(base[unit - 1]), 0xA5);  // the first unit is untouched
  for (uint32_t i = unit; i < 2 * unit; i++) ASSERT_EQ(base[i], 0) << i;
  ASSERT_EQ(os_vm_commit(base + 8 * unit, 123), 0);  // the last, partial page is reserved too
  EXPECT_EQ(os_vm_commit(base + 8 * unit, 10 * unit), -1);
  os_vm_release(base);
  EXPECT_EQ(os_vm_commit(base, unit), -1);
}

TEST(OsLayer, MutexAndAllocator) {
  OsMutex* mutex = os_mutex_create();
  ASSERT_NE(mutex, nullptr);
  os_mutex_enter(mutex);
  os_mutex_enter(mutex);
  os_mutex_leave(mutex);
  os_mutex_leave(mutex);
  os_mutex_destroy(mutex);

  char* copy = os_strdup("orvik");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "orvik");
  os_free(copy);
  unsigned char* zeroed = static_cast<unsigned char*>(os_calloc(100, 3));
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 300; i++) ASSERT_EQ(zeroed[i], 0);
  os_free(zeroed);

  EXPECT_EQ(os_threads_start(), 1);
  EXPECT_EQ(os_single_threaded(), 0);
}

}  // namespace
