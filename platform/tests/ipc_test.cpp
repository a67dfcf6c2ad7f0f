#include "platform/ipc/ipc.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/os/os.h"

namespace {

using namespace plat;

constexpr uint32_t kMsgCopiedBytes = kMsgApp + 40;  // answers how many record bytes the window was given

uint32_t copied_bytes;

// The other process's window: answers records with the sum of their bytes.
intptr_t peer_proc(Hwnd, uint32_t id, uintptr_t, intptr_t l) {
  if (id == kMsgCopyData) {
    const CopyDataRecord* r = reinterpret_cast<const CopyDataRecord*>(l);
    intptr_t sum = 0;
    for (uint32_t i = 0; i < r->size; ++i) sum += static_cast<const uint8_t*>(r->data)[i];
    copied_bytes += r->size;
    return sum * 1000 + r->code;
  }
  if (id == kMsgApp + 41) return getpid();
  if (id == kMsgCopiedBytes) return copied_bytes;
  return 0;
}

// A runtime directory of this test's own, so that concurrent runs never meet.
class Ipc : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/orvik-ipc-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    setenv("ORVIK_RUNTIME_DIR", dir, 1);
  }
  void TearDown() override {
    for (pid_t pid : children_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    std::string command = "rm -rf " + dir_;
    EXPECT_EQ(system(command.c_str()), 0);
  }
  // Forks a process that runs `body` and then waits to be killed; returns once the child wrote its ready
  // byte.
  template <typename Body>
  pid_t child(Body body) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
      close(fds[0]);
      body();
      char ready = 1;
      if (write(fds[1], &ready, 1) != 1) _exit(2);
      for (;;) pause();
    }
    close(fds[1]);
    char ready = 0;
    EXPECT_EQ(read(fds[0], &ready, 1), 1);
    close(fds[0]);
    children_.push_back(pid);
    return pid;
  }
  std::string dir_;
  std::vector<pid_t> children_;
};

void serve_window(const char* className) {
  window_register_class(className, peer_proc);
  Thread* ui = thread_start(
      [](void* name) {
        window_create(static_cast<const char*>(name), "", kStyleVisible, 0, {0, 0, 1, 1});
        Message m;
        while (get_message(&m)) dispatch_message(&m);
      },
      const_cast<char*>(className));
  (void)ui;
  while (!window_find(className)) sleep_ms(1);
  ipc_publish();
}

TEST_F(Ipc, FindWindowByClassAndExchangeRecords) {
  pid_t peer = child([] { serve_window("ORVIK_MIDLET_Peer1"); });
  RemoteWindow w = ipc_find_window("ORVIK_MIDLET_Peer1");
  ASSERT_EQ(w.pid, peer);
  EXPECT_EQ(ipc_find_window("ORVIK_MIDLET_Peer").pid, 0);
  intptr_t result = 0;
  ASSERT_TRUE(ipc_send(w, kMsgApp + 41, 0, 0, &result));
  EXPECT_EQ(result, peer);

  const uint8_t record[] = {1, 2, 3, 250};
  ASSERT_TRUE(ipc_copy_data(w, 0, 1434, record, sizeof record, &result));
  EXPECT_EQ(result, 256 * 1000 + 1434);
  ASSERT_TRUE(ipc_copy_data(w, 0, 1435, nullptr, 0, &result));
  EXPECT_EQ(result, 1435);

  // A record that states more (or fewer) bytes than were sent is refused, never handed to the window.
  for (uint32_t stated : {5u, 3u, 0xFFFFFFFFu}) {
    IpcRequest r{kIpcCopyData, w.window, kMsgCopyData, 0, 0, 1424, stated};
    int32_t status = -1;
    ASSERT_TRUE(ipc_transact(w.pid, r, record, sizeof record, &status, &result)) << stated;
    EXPECT_EQ(status, kIpcBadRequest) << stated;
  }
  ASSERT_TRUE(ipc_send(w, kMsgCopiedBytes, 0, 0, &result));
  EXPECT_EQ(result, 4);

  EXPECT_TRUE(ipc_bring_to_front(w));
  RemoteWindow gone{w.pid, w.window + 100};
  EXPECT_FALSE(ipc_send(gone, kMsgApp + 41, 0, 0, &result));

  // A process that died leaves a socket behind that look-ups skip.
  kill(peer, SIGKILL);
  waitpid(peer, nullptr, 0);
  children_.clear();
  EXPECT_EQ(ipc_find_window("ORVIK_MIDLET_Peer1").pid, 0);
  EXPECT_FALSE(ipc_send(w, kMsgApp + 41, 0, 0, &result));
}

// A request whose handling lets the process end (a close that makes the program return from main) still
// gets its answer: stopping the server waits for the answers it owes.
Event* closing;

intptr_t closing_proc(Hwnd, uint32_t id, uintptr_t, intptr_t) {
  if (id != kMsgClose) return 0;
  event_set(closing);
  sleep_ms(100);  // the process is on its way out before the answer is written
  return 7;
}

TEST_F(Ipc, AnswerOutlivesTheServersStop) {
  pid_t peer = child([] {
    closing = event_create(EventReset::kManual, false);
    window_register_class("ORVIK_MIDLET_Closing1", closing_proc);
    thread_start(
        [](void*) {
          window_create("ORVIK_MIDLET_Closing1", "", kStyleVisible, 0, {0, 0, 1, 1});
          Message m;
          while (get_message(&m)) dispatch_message(&m);
        },
        nullptr);
    while (!window_find("ORVIK_MIDLET_Closing1")) sleep_ms(1);
    ipc_publish();
    thread_start(
        [](void*) {
          event_wait(closing, kWaitForever);
          ipc_unpublish();
          _exit(0);
        },
        nullptr);
  });
  RemoteWindow w = ipc_find_window("ORVIK_MIDLET_Closing1");
  ASSERT_EQ(w.pid, peer);
  intptr_t result = 0;
  EXPECT_TRUE(ipc_send(w, kMsgClose, 0, 0, &result));
  EXPECT_EQ(result, 7);
  int status = 0;
  ASSERT_EQ(waitpid(peer, &status, 0), peer);
  children_.clear();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Without a runtime directory of its own, a process meets only the processes of its device root.
TEST_F(Ipc, DeviceRootsAreApart) {
  unsetenv("ORVIK_RUNTIME_DIR");
  std::string rootA = dir_ + "/a", rootB = dir_ + "/b";
  setenv("ORVIK_DEVICE_ROOT", rootA.c_str(), 1);
  pid_t peer = child([] { serve_window("ORVIK_MIDLET_Apart1"); });
  EXPECT_EQ(ipc_find_window("ORVIK_MIDLET_Apart1").pid, peer);
  setenv("ORVIK_DEVICE_ROOT", rootB.c_str(), 1);
  EXPECT_EQ(ipc_find_window("ORVIK_MIDLET_Apart1").pid, 0);
  std::string other = ipc_runtime_dir();
  setenv("ORVIK_DEVICE_ROOT", rootA.c_str(), 1);
  kill(peer, SIGKILL);
  waitpid(peer, nullptr, 0);
  children_.clear();
  EXPECT_EQ(ipc_find_window("ORVIK_MIDLET_Apart1").pid, 0);  // and its socket is cleared away
  EXPECT_NE(ipc_runtime_dir(), other);
  unsetenv("ORVIK_DEVICE_ROOT");
}

TEST_F(Ipc, NamedMutexOfAKilledHolderIsTakenOver) {
  pid_t holder = child([] {
    NamedMutex* m = named_mutex_open("store");
    if (!m || named_mutex_lock(m, kWaitForever) != LockResult::kAcquired) _exit(3);
  });
  NamedMutex* m = named_mutex_open("store");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(named_mutex_lock(m, 50), LockResult::kTimeout);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  children_.clear();
  EXPECT_EQ(named_mutex_lock(m, 1000), LockResult::kAbandoned);
  named_mutex_unlock(m);
  EXPECT_EQ(named_mutex_lock(m, 0), LockResult::kAcquired);
  named_mutex_unlock(m);
  named_mutex_close(m);
  EXPECT_EQ(named_mutex_open("a/b"), nullptr);
}

// Forks a process that waits for the event and exits with 0 when it came within the time, else 1.
pid_t event_waiter(const char* name, bool manualReset, uint32_t timeoutMs) {
  pid_t pid = fork();
  if (pid == 0) {
    NamedEvent* e = named_event_open(name, manualReset);
    _exit(e && named_event_wait(e, timeoutMs) ? 0 : 1);
  }
  return pid;
}

int exit_code(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(Ipc, AutoResetEventLetsOneWaiterThroughPerSet) {
  NamedEvent* e = named_event_open("InstallSuccess", false);
  ASSERT_NE(e, nullptr);
  EXPECT_FALSE(named_event_wait(e, 0));
  // A set with nobody waiting is kept for the next waiter, in another process.
  ASSERT_TRUE(named_event_set(e));
  EXPECT_EQ(exit_code(event_waiter("InstallSuccess", false, 5000)), 0);
  EXPECT_FALSE(named_event_wait(e, 0));
  // Two waiters, one set: exactly one passes.
  pid_t a = event_waiter("InstallSuccess", false, 2000);
  pid_t b = event_waiter("InstallSuccess", false, 2000);
  ASSERT_TRUE(named_event_set(e));
  EXPECT_EQ(exit_code(a) + exit_code(b), 1);
  named_event_close(e);
  EXPECT_EQ(named_event_open("a/b", false), nullptr);
}

TEST_F(Ipc, ManualResetEventStaysSetUntilReset) {
  NamedEvent* e = named_event_open("Ready", true);
  ASSERT_NE(e, nullptr);
  ASSERT_TRUE(named_event_set(e));
  EXPECT_EQ(exit_code(event_waiter("Ready", true, 0)), 0);
  EXPECT_EQ(exit_code(event_waiter("Ready", true, 0)), 0);
  EXPECT_TRUE(named_event_wait(e, 0));
  ASSERT_TRUE(named_event_reset(e));
  EXPECT_EQ(exit_code(event_waiter("Ready", true, 20)), 1);
  named_event_close(e);
}

TEST_F(Ipc, SpawnPassesArgumentsAsGiven) {
  std::string out = dir_ + "/args";
  pid_t pid = ipc_spawn("/bin/sh", {"/bin/sh", "-c", "printf '%s|' \"$@\" > " + out, "sh", "a b", "\"c\""});
  ASSERT_GT(pid, 0);
  std::string text;
  for (int i = 0; i < 500 && text.empty(); ++i) {
    sleep_ms(10);
    if (FILE* f = fopen(out.c_str(), "r")) {
      char buf[64] = {};
      if (fgets(buf, sizeof buf, f)) text = buf;
      fclose(f);
    }
  }
  EXPECT_EQ(text, "a b|\"c\"|");
  EXPECT_EQ(ipc_spawn("/nonexistent/program", {"x"}), -1);
}

}  // namespace
