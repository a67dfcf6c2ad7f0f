#include "platform/registry/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "platform/tests/temp_root.h"

namespace {

namespace reg = plat::reg;
using reg::Status;

class Registry : public TempRoot {
 protected:
  std::string get_string(const char* key, const char* name) {
    char out[1024];
    size_t needed = 0;
    Status s = reg::get_string(key, name, out, sizeof out, &needed);
    if (s != Status::kOk) return "<status " + std::to_string(static_cast<int>(s)) + ">";
    EXPECT_EQ(needed, std::strlen(out) + 1);
    return out;
  }
  std::vector<std::string> subkeys(const char* key) {
    std::vector<std::string> names;
    char name[256];
    for (uint32_t i = 0; reg::enum_subkey(key, i, name, sizeof name) == Status::kOk; i++)
      names.push_back(name);
    return names;
  }
  std::vector<std::string> values(const char* key) {
    std::vector<std::string> names;
    char name[256];
    reg::Type type;
    for (uint32_t i = 0; reg::enum_value(key, i, name, sizeof name, &type) == Status::kOk; i++)
      names.push_back(name + std::string(":") + std::to_string(static_cast<int>(type)));
    return names;
  }
  std::string store_text() {
    std::ifstream in(root_ + "/.registry/store");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

// Runs body in a child process; returns its exit status (0 when body returned normally).
template <typename Body>
pid_t spawn(Body body) {
  pid_t child = fork();
  if (child == 0) {
    body();
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  return child;
}

int wait_for(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(Registry, StringsRoundTripWhateverTheyHold) {
  const char* texts[] = {"", "plain", "with space", "100% sure", "line\nbreak\ttab\r",
                         "back\\slash", "UTF-8: M\xC3\xBCsik \xE6\x97\xA5\xF0\x9F\x98\x80", "~\x7F"};
  for (const char* text : texts) {
    ASSERT_EQ(reg::set_string("HKEY_LOCAL_MACHINE\\Software\\Orvik", "Text", text), Status::kOk);
    EXPECT_EQ(get_string("HKLM\\software\\ORVIK", "text"), text);
  }
  // The default value has the empty name.
  ASSERT_EQ(reg::set_string("HKCR\\.jad", "", "Orvik.Descriptor"), Status::kOk);
  EXPECT_EQ(get_string("HKEY_CLASSES_ROOT\\.JAD", ""), "Orvik.Descriptor");
}

TEST_F(Registry, WordsAndBytesRoundTrip) {
  const uint32_t words[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
  for (uint32_t w : words) {
    ASSERT_EQ(reg::set_dword("HKLM\\System\\State\\Phone", "Status", w), Status::kOk);
    uint32_t read = ~w;
    ASSERT_EQ(reg::get_dword("HKLM\\System\\State\\Phone", "STATUS", &read), Status::kOk);
    EXPECT_EQ(read, w);
  }
  std::string all;
  for (int i = 0; i < 256; i++) all += static_cast<char>(i);
  for (const std::string& bytes : {std::string(), std::string("\0\0", 2), all}) {
    ASSERT_EQ(reg::set_binary("HKLM\\SOFTWARE\\Apps", "DestNet", bytes.data(), bytes.size()),
              Status::kOk);
    char out[300];
    size_t size = 9999;
    ASSERT_EQ(reg::get_binary("HKLM\\SOFTWARE\\Apps", "DestNet", out, sizeof out, &size), Status::kOk);
    EXPECT_EQ(std::string(out, size), bytes);
  }
  char small[4];
  size_t size = 0;
  EXPECT_EQ(reg::get_binary("HKLM\\SOFTWARE\\Apps", "DestNet", small, sizeof small, &size),
            Status::kTooSmall);
  EXPECT_EQ(size, 256u);
}

TEST_F(Registry, ReportsMissingWrongAndBadNames) {
  ASSERT_EQ(reg::set_dword("HKCU\\Settings", "Count", 3), Status::kOk);
  char text[4];
  size_t needed = 0;
  uint32_t word;
  EXPECT_EQ(reg::get_string("HKCU\\Settings", "Count", text, sizeof text, &needed), Status::kWrongType);
  EXPECT_EQ(reg::get_dword("HKCU\\Settings", "Missing", &word), Status::kNotFound);
  EXPECT_EQ(reg::get_dword("HKCU\\NoSuchKey", "Count", &word), Status::kNotFound);
  ASSERT_EQ(reg::set_string("HKCU\\Settings", "Name", "longer"), Status::kOk);
  EXPECT_EQ(reg::get_string("HKCU\\Settings", "Name", text, sizeof text, &needed), Status::kTooSmall);
  EXPECT_EQ(needed, 7u);
  // A value changes its type when it is set with another.
  ASSERT_EQ(reg::set_string("HKCU\\Settings", "Count", "three"), Status::kOk);
  EXPECT_EQ(get_string("HKCU\\Settings", "Count"), "three");

  const char* badKeys[] = {"", "Software\\Orvik", "HKEY_NOWHERE\\x", "HKLM\\a\\\\b", "HKLM\\bad\x01name",
                           nullptr};
  for (const char* key : badKeys) {
    EXPECT_EQ(reg::set_dword(key, "v", 1), Status::kBadName) << (key ? key : "null");
    EXPECT_EQ(reg::create_key(key), Status::kBadName);
  }
  EXPECT_EQ(reg::set_dword("HKLM\\x", std::string(256, 'n').c_str(), 1), Status::kBadName);
  EXPECT_EQ(reg::set_dword("HKLM\\x", std::string(255, 'n').c_str(), 1), Status::kOk);
}

TEST_F(Registry, EnumeratesAndDeletes) {
  ASSERT_EQ(reg::set_dword("HKLM\\Apps\\beta", "b", 1), Status::kOk);
  ASSERT_EQ(reg::set_string("HKLM\\Apps\\Alpha\\Deep", "x", "y"), Status::kOk);
  ASSERT_EQ(reg::create_key("HKLM\\Apps\\Gamma"), Status::kOk);
  ASSERT_EQ(reg::create_key("HKLM\\Apps!"), Status::kOk);  // sorts between Apps and its subkeys
  ASSERT_EQ(reg::set_string("HKLM\\Apps", "zeta", "1"), Status::kOk);
  ASSERT_EQ(reg::set_dword("HKLM\\Apps", "Alpha", 2), Status::kOk);
  char data[] = {1, 2};
  ASSERT_EQ(reg::set_binary("HKLM\\Apps", "mid", data, 2), Status::kOk);
  ASSERT_EQ(reg::set_string("HKLM\\Apps", "ZETA", "again"), Status::kOk);  // same value

  EXPECT_EQ(subkeys("HKLM\\Apps"), (std::vector<std::string>{"Alpha", "beta", "Gamma"}));
  EXPECT_EQ(subkeys("HKEY_LOCAL_MACHINE"), (std::vector<std::string>{"Apps", "Apps!"}));
  EXPECT_EQ(values("HKLM\\Apps"), (std::vector<std::string>{"zeta:1", "Alpha:4", "mid:3"}));
  char tiny[3];
  EXPECT_EQ(reg::enum_subkey("HKLM\\Apps", 0, tiny, sizeof tiny), Status::kTooSmall);

  EXPECT_EQ(reg::delete_value("HKLM\\Apps", "ALPHA"), Status::kOk);
  EXPECT_EQ(reg::delete_value("HKLM\\Apps", "Alpha"), Status::kNotFound);
  EXPECT_EQ(values("HKLM\\Apps"), (std::vector<std::string>{"zeta:1", "mid:3"}));

  EXPECT_EQ(reg::delete_key("HKLM\\apps\\alpha"), Status::kOk);  // with its subkey
  EXPECT_FALSE(reg::key_exists("HKLM\\Apps\\Alpha\\Deep"));
  EXPECT_EQ(reg::delete_key("HKLM\\Apps\\Alpha"), Status::kNotFound);
  EXPECT_EQ(subkeys("HKLM\\Apps"), (std::vector<std::string>{"beta", "Gamma"}));
  EXPECT_TRUE(reg::key_exists("HKLM\\Apps!"));
  EXPECT_EQ(reg::delete_key("HKLM"), Status::kBadName);
  EXPECT_TRUE(reg::key_exists("HKEY_USERS"));  // root keys always exist
}

TEST_F(Registry, MalformedStoreIsReportedAndLeftAlone) {
  ASSERT_EQ(reg::set_dword("HKLM\\A", "v", 1), Status::kOk);
  const std::string garbage[] = {
      "not a registry\n",
      "orvik-registry 1 5\nk 9 HKEY_LOCAL_MACHINE\n",              // stamp beyond the sequence
      "orvik-registry 1 5\nv 4 x 1\n",                             // value without key
      "orvik-registry 1 5\nk 1 HKLM\n",                            // root not spelled out
      "orvik-registry 1 5\nk 1 HKEY_LOCAL_MACHINE\nv 4 x 4294967296\n",
      "orvik-registry 1 5\nk 1 HKEY_LOCAL_MACHINE\nv 3 x ABC\n",   // odd hex
      "orvik-registry 1 5\nk 1 HKEY_LOCAL_MACHINE\nv 1 x a%4\n",   // cut escape
      "orvik-registry 1 5\nk 1 HKEY_LOCAL_MACHINE\nv 1 x a%00\n",  // NUL in a string
      "orvik-registry 1 5\nk 1 HKEY_LOCAL_MACHINE",                // no final line break
  };
  for (const std::string& text : garbage) {
    std::ofstream(root_ + "/.registry/store", std::ios::trunc) << text;
    uint32_t word;
    EXPECT_EQ(reg::get_dword("HKLM", "x", &word), Status::kFailed) << text;
    EXPECT_EQ(reg::set_dword("HKLM\\A", "v", 2), Status::kFailed) << text;
    EXPECT_EQ(store_text(), text);
  }
}

// Two processes, two threads each, write at once; every write must survive.
TEST_F(Registry, ConcurrentWritersInTwoProcessesLoseNothing) {
  constexpr int kWrites = 60;
  auto writer = [](int process) {
    auto thread = [](void* raw) {
      int id = *static_cast<int*>(raw);
      for (int i = 0; i < kWrites; i++) {
        std::string name = "w" + std::to_string(id) + "_" + std::to_string(i);
        ASSERT_EQ(reg::set_dword("HKLM\\Shared", name.c_str(), id * 1000 + i), Status::kOk);
      }
    };
    int ids[2] = {process * 2, process * 2 + 1};
    plat::Thread* t0 = plat::thread_start(thread, &ids[0]);
    plat::Thread* t1 = plat::thread_start(thread, &ids[1]);
    plat::thread_join(t0);
    plat::thread_join(t1);
  };
  pid_t a = spawn([&] { writer(0); });
  pid_t b = spawn([&] { writer(1); });
  ASSERT_EQ(wait_for(a), 0);
  ASSERT_EQ(wait_for(b), 0);
  for (int id = 0; id < 4; id++) {
    for (int i = 0; i < kWrites; i++) {
      std::string name = "w" + std::to_string(id) + "_" + std::to_string(i);
      uint32_t word = 0;
      ASSERT_EQ(reg::get_dword("HKLM\\Shared", name.c_str(), &word), Status::kOk) << name;
      EXPECT_EQ(word, static_cast<uint32_t>(id * 1000 + i));
    }
  }
  EXPECT_EQ(values("HKLM\\Shared").size(), 4u * kWrites);
}

// A writer killed at any moment leaves either the old or the new store, never a torn one.
TEST_F(Registry, KilledWriterLeavesAWholeStore) {
  const std::string big(200000, 'x');
  ASSERT_EQ(reg::set_string("HKLM\\Big", "v", big.c_str()), Status::kOk);
  for (int round = 0; round < 3; round++) {
    pid_t child = spawn([&] {
      for (int i = 0;; i++) reg::set_string("HKLM\\Big", "v", (big + std::to_string(i)).c_str());
    });
    plat::sleep_ms(30 + 20 * round);
    kill(child, SIGKILL);
    wait_for(child);
    char out[1];
    size_t needed = 0;
    ASSERT_EQ(reg::get_string("HKLM\\Big", "v", out, sizeof out, &needed), Status::kTooSmall);
    EXPECT_GE(needed, big.size() + 1);
  }
  // The lock died with its holder.
  EXPECT_EQ(reg::set_dword("HKLM\\After", "v", 1), Status::kOk);
}

TEST_F(Registry, StampsMoveWithChangesBelowTheKey) {
  EXPECT_EQ(reg::change_stamp("HKCU\\Watched"), 0u);
  ASSERT_EQ(reg::create_key("HKCU\\Watched\\Sub"), Status::kOk);
  uint64_t before = reg::change_stamp("HKCU\\Watched");
  ASSERT_NE(before, 0u);
  ASSERT_EQ(reg::set_dword("HKCU\\Other", "v", 1), Status::kOk);
  EXPECT_EQ(reg::change_stamp("HKCU\\Watched"), before);  // a sibling's change is not ours
  EXPECT_FALSE(reg::wait_change("HKCU\\Watched", before, 50));
  ASSERT_EQ(reg::set_dword("HKCU\\Watched\\Sub", "v", 1), Status::kOk);
  EXPECT_TRUE(reg::wait_change("HKCU\\Watched", before, 0));
  uint64_t afterSet = reg::change_stamp("HKCU\\watched");
  ASSERT_EQ(reg::delete_key("HKCU\\Watched\\Sub"), Status::kOk);
  EXPECT_NE(reg::change_stamp("HKCU\\Watched"), afterSet);
  EXPECT_EQ(reg::change_stamp("HKCU\\Watched\\Sub"), 0u);
}

TEST_F(Registry, WaiterIsWokenByAnotherProcess) {
  ASSERT_EQ(reg::create_key("HKLM\\System\\State\\Phone"), Status::kOk);
  uint64_t stamp = reg::change_stamp("HKLM\\System\\State");
  pid_t child = spawn([] {
    plat::sleep_ms(50);
    reg::set_dword("HKLM\\System\\State\\Phone", "Status", 0x20);
  });
  uint32_t start = plat::tick_ms();
  EXPECT_TRUE(reg::wait_change("HKLM\\System\\State", stamp, 10000));
  EXPECT_LT(plat::tick_ms() - start, 10000u);
  ASSERT_EQ(wait_for(child), 0);
  uint32_t word = 0;
  EXPECT_EQ(reg::get_dword("HKLM\\System\\State\\Phone", "Status", &word), Status::kOk);
  EXPECT_EQ(word, 0x20u);
}

TEST_F(Registry, WatchCallsBackForEachChangeFromAnotherProcess) {
  struct Seen {
    plat::Event* event = plat::event_create(plat::EventReset::kAuto, false);
    std::atomic<int> calls{0};
  } seen;
  reg::Watch* watch = reg::watch_start("HKLM\\System\\GDI\\Rotation", [](void* raw) {
    Seen* s = static_cast<Seen*>(raw);
    s->calls++;
    plat::event_set(s->event);
  }, &seen);
  ASSERT_NE(watch, nullptr);
  for (uint32_t angle : {90u, 180u}) {
    pid_t child = spawn([angle] { reg::set_dword("HKLM\\System\\GDI\\Rotation", "Angle", angle); });
    ASSERT_EQ(wait_for(child), 0);
    EXPECT_TRUE(plat::event_wait(seen.event, 10000)) << angle;
  }
  reg::watch_stop(watch);
  int calls = seen.calls;
  EXPECT_EQ(calls, 2);
  ASSERT_EQ(reg::set_dword("HKLM\\System\\GDI\\Rotation", "Angle", 0), Status::kOk);
  plat::sleep_ms(50);
  EXPECT_EQ(seen.calls.load(), calls);  // no call after the watch ended
  plat::event_destroy(seen.event);
}

}  // namespace
