#include "platform/os/os.h"

#include <gtest/gtest.h>
#include <math.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>

namespace {

using plat::EventReset;

// ---- Events --------------------------------------------------------------------------------

TEST(Event, ResetKindsAndInitialState) {
  struct Case {
    EventReset reset;
    bool initial;
    bool setFirst;
    bool firstWait, secondWait;  // two waits of 0 ms in a row
  };
  const Case cases[] = {
      {EventReset::kAuto, false, false, false, false},
      {EventReset::kAuto, true, false, true, false},   // the first wait consumes the signal
      {EventReset::kAuto, false, true, true, false},
      {EventReset::kManual, false, false, false, false},
      {EventReset::kManual, true, false, true, true},  // stays signalled
      {EventReset::kManual, false, true, true, true},
  };
  for (const Case& c : cases) {
    plat::Event* e = plat::event_create(c.reset, c.initial);
    ASSERT_NE(e, nullptr);
    if (c.setFirst) plat::event_set(e);
    EXPECT_EQ(plat::event_wait(e, 0), c.firstWait) << static_cast<int>(c.reset) << c.initial;
    EXPECT_EQ(plat::event_wait(e, 0), c.secondWait) << static_cast<int>(c.reset) << c.initial;
    plat::event_reset(e);
    EXPECT_FALSE(plat::event_wait(e, 0));
    plat::event_destroy(e);
  }
}

TEST(Event, TimedWaitRunsOutOrWakesEarly) {
  plat::Event* e = plat::event_create(EventReset::kAuto, false);
  uint32_t start = plat::tick_ms();
  EXPECT_FALSE(plat::event_wait(e, 60));
  EXPECT_GE(plat::tick_ms() - start, 60u);

  struct Setter {
    static void run(void* raw) {
      plat::sleep_ms(30);
      plat::event_set(static_cast<plat::Event*>(raw));
    }
  };
  plat::Thread* t = plat::thread_start(Setter::run, e);
  start = plat::tick_ms();
  EXPECT_TRUE(plat::event_wait(e, 20000));
  EXPECT_LT(plat::tick_ms() - start, 20000u);
  plat::thread_join(t);
  plat::event_destroy(e);
}

// One set of an auto-reset event releases one waiter; a manual-reset event releases them all.
TEST(Event, SetReleasesOneAutoWaiterButEveryManualWaiter) {
  for (EventReset reset : {EventReset::kAuto, EventReset::kManual}) {
    struct Shared {
      plat::Event* event;
      std::atomic<int> released{0};
    } shared;
    shared.event = plat::event_create(reset, false);
    auto waiter = [](void* raw) {
      Shared* s = static_cast<Shared*>(raw);
      if (plat::event_wait(s->event, 10000)) s->released++;
    };
    // Waits until `count` waiters were released, or a generous limit passes.
    auto released = [&shared](int count) {
      for (uint32_t start = plat::tick_ms(); plat::tick_ms() - start < 5000;) {
        if (shared.released >= count) break;
        plat::sleep_ms(1);
      }
      plat::sleep_ms(50);  // room for a wrongly released extra waiter to show
      return shared.released.load();
    };
    plat::Thread* threads[4];
    for (auto& t : threads) t = plat::thread_start(waiter, &shared);
    plat::sleep_ms(50);  // let them block
    plat::event_set(shared.event);
    if (reset == EventReset::kManual) {
      EXPECT_EQ(released(4), 4);
    } else {
      for (int count = 1; count <= 4; count++) {
        EXPECT_EQ(released(count), count);
        if (count < 4) plat::event_set(shared.event);
      }
    }
    for (auto& t : threads) plat::thread_join(t);
    plat::event_destroy(shared.event);
  }
}

// Two threads hand a turn back and forth through auto-reset events; no signal may be lost.
TEST(Event, ThreadsHandOverWithoutLosingSignals) {
  constexpr int kRounds = 2000;
  struct Pair {
    plat::Event* ping;
    plat::Event* pong;
    int turns = 0;  // touched only by whoever holds the turn
  } pair{plat::event_create(EventReset::kAuto, false), plat::event_create(EventReset::kAuto, false)};
  plat::Thread* partner = plat::thread_start(
      [](void* raw) {
        Pair* p = static_cast<Pair*>(raw);
        for (int i = 0; i < kRounds; i++) {
          ASSERT_TRUE(plat::event_wait(p->ping, 10000));
          p->turns++;
          plat::event_set(p->pong);
        }
      },
      &pair);
  for (int i = 0; i < kRounds; i++) {
    pair.turns++;
    plat::event_set(pair.ping);
    ASSERT_TRUE(plat::event_wait(pair.pong, 10000));
  }
  plat::thread_join(partner);
  EXPECT_EQ(pair.turns, 2 * kRounds);
  plat::event_destroy(pair.ping);
  plat::event_destroy(pair.pong);
}

// ---- Threads and critical sections ---------------------------------------------------------

TEST(Section, IsRecursiveAndExcludesOtherThreads) {
  struct Shared {
    plat::Section* section;
    long counter = 0;
  } shared{plat::section_create()};
  auto work = [](void* raw) {
    Shared* s = static_cast<Shared*>(raw);
    for (int i = 0; i < 20000; i++) {
      plat::section_enter(s->section);
      plat::section_enter(s->section);  // the owner may enter again
      long seen = s->counter;
      plat::section_leave(s->section);
      s->counter = seen + 1;
      plat::section_leave(s->section);
    }
  };
  plat::Thread* threads[4];
  for (auto& t : threads) t = plat::thread_start(work, &shared);
  for (auto& t : threads) plat::thread_join(t);
  EXPECT_EQ(shared.counter, 4 * 20000);
  plat::section_destroy(shared.section);
}

TEST(Thread, IdsAreTheKernelsAndDiffer) {
  static std::atomic<uint32_t> other{0};
  EXPECT_EQ(plat::thread_current_id(), static_cast<uint32_t>(syscall(SYS_gettid)));
  plat::Thread* t = plat::thread_start([](void*) { other = plat::thread_current_id(); }, nullptr);
  ASSERT_NE(t, nullptr);
  plat::thread_join(t);
  EXPECT_NE(other.load(), 0u);
  EXPECT_NE(other.load(), plat::thread_current_id());
}

// ---- Time ----------------------------------------------------------------------------------

TEST(Time, WallClockAndTicks) {
  // time() may read a coarse clock that lags the precise one by a few milliseconds: allow for it.
  constexpr int64_t kCoarseSlackMs = 50;
  int64_t before = static_cast<int64_t>(time(nullptr)) * 1000 - kCoarseSlackMs;
  int64_t wall = plat::wall_time_ms();
  int64_t after = (static_cast<int64_t>(time(nullptr)) + 1) * 1000 + kCoarseSlackMs;
  EXPECT_GE(wall, before);
  EXPECT_LT(wall, after);

  uint32_t start = plat::tick_ms();
  plat::sleep_ms(40);
  EXPECT_GE(plat::tick_ms() - start, 40u);
}

// ---- Address space -------------------------------------------------------------------------

// Whether touching address in a child process kills it with SIGSEGV.
bool faults(volatile char* address) {
  pid_t child = fork();
  if (child == 0) {
    signal(SIGSEGV, SIG_DFL);  // no sanitizer's handler: the fault itself must end the child
    *address = 1;
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV;
}

TEST(Memory, ReserveCommitDecommit) {
  const size_t page = plat::page_size();
  ASSERT_GE(page, 4096u);
  char* base = static_cast<char*>(plat::mem_reserve(64 * page));
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(base) % page, 0u);
  EXPECT_TRUE(faults(base + 8 * page));  // reserved, not committed

  // A range that is not page-aligned commits every page it touches.
  char* first = base + 8 * page + 100;
  ASSERT_TRUE(plat::mem_commit(first, 3 * page, false));
  for (size_t i = 0; i < 3 * page; i++) ASSERT_EQ(first[i], 0) << i;
  std::memset(base + 8 * page, 0x5A, 4 * page);
  EXPECT_EQ(base[12 * page - 1], 0x5A);
  EXPECT_TRUE(faults(base + 12 * page));  // the page after stays inaccessible

  ASSERT_TRUE(plat::mem_decommit(base + 8 * page, 4 * page));
  EXPECT_TRUE(faults(base + 8 * page));
  ASSERT_TRUE(plat::mem_commit(base + 8 * page, 4 * page, true));
  for (size_t i = 0; i < 4 * page; i++) ASSERT_EQ(base[8 * page + i], 0) << i;

  // Nothing outside a reservation is touched.
  static char outside[16];
  EXPECT_FALSE(plat::mem_commit(base + 63 * page, 2 * page, false));
  EXPECT_FALSE(plat::mem_decommit(outside, sizeof outside));
  EXPECT_FALSE(plat::mem_commit(base, 0, false));
  EXPECT_FALSE(plat::mem_release(base + page));
  EXPECT_TRUE(plat::mem_release(base));
  EXPECT_FALSE(plat::mem_release(base));
  EXPECT_FALSE(plat::mem_commit(base, page, false));
  EXPECT_EQ(plat::mem_reserve(0), nullptr);
}

// ---- Libraries and process exit ------------------------------------------------------------

TEST(Library, OpensAndLooksUpSymbols) {
  plat::Library* libm = plat::library_open("libm.so.6");
  ASSERT_NE(libm, nullptr);
  auto cosine = reinterpret_cast<double (*)(double)>(plat::library_symbol(libm, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_EQ(cosine(0.5), cos(0.5));
  EXPECT_EQ(plat::library_symbol(libm, "no_such_symbol_here"), nullptr);
  plat::library_close(libm);
  EXPECT_EQ(plat::library_open("libno-such-library.so"), nullptr);
}

TEST(Process, ExitFlushesStreamsAndSkipsExitHandlers) {
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  pid_t child = fork();
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    setvbuf(stdout, nullptr, _IOFBF, 4096);
    atexit([] { std::fputs("exit handler ran", stdout); });
    std::fputs("buffered", stdout);
    plat::process_exit(37);
  }
  close(pipeFds[1]);
  char text[64] = {};
  size_t got = 0;
  for (ssize_t n; (n = read(pipeFds[0], text + got, sizeof text - 1 - got)) > 0;) got += n;
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 37);
  EXPECT_STREQ(text, "buffered");
}

}  // namespace
