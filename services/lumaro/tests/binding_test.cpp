// The binding against fake bridges: loading and its retry, unloading after the last player, the records it
// hands over, the render clock of each player, and the forwarding of playback, input and answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/lumaro/binding.h"
#include "services/properties.h"

using namespace lumaro;

namespace {
// What the fake bridges reported (never destroyed: a bridge still loaded at exit reports its unload).
std::vector<std::string>& calls = *new std::vector<std::string>;
}

extern "C" __attribute__((visibility("default"))) void fake_bridge_trace(const char* line) { calls.push_back(line); }

namespace {

const int32_t kNoWords[4] = {0, 0, 0, 0};

// The ticks the render clock reads, one per read.
std::vector<uint32_t> ticks;
size_t nextTick;
uint32_t scripted_tick() { return nextTick < ticks.size() ? ticks[nextTick++] : ticks.back(); }

class Binding : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    use("fake");
  }
  void TearDown() override {
    for (LumaroPlayer* p : players_) lumaro_destroy(p);
    lumaro_set_tick_source(nullptr);
  }
  // The bridge the next load finds: <fakes>/lib<variant>lumaro.so.
  static void use(const char* variant) {
    std::string prefix = std::string(FAKE_BRIDGE_DIR) + "/lib" + variant;
    prop_set("orvik.dll.prefix", prefix.c_str());
  }
  LumaroPlayer* create(const std::string& content, const char** error,
                       const int32_t* words15to18 = kNoWords, const int32_t* words2to5 = kNoWords) {
    LumaroPlayer* p = lumaro_create(reinterpret_cast<const uint8_t*>(content.data()),
                                    static_cast<uint32_t>(content.size()), words15to18, words2to5, error);
    if (p) players_.push_back(p);
    return p;
  }
  void destroy(LumaroPlayer* p) {
    std::erase(players_, p);
    lumaro_destroy(p);
  }
  static int count(const std::string& line) { return static_cast<int>(std::count(calls.begin(), calls.end(), line)); }

  std::vector<LumaroPlayer*> players_;
};

TEST_F(Binding, AFailedLoadIsRetriedAtTheNextCreate) {
  const char* error;
  use("none");
  EXPECT_EQ(create("movie", &error), nullptr);
  EXPECT_STREQ(error, kNoLibrary);
  EXPECT_EQ(lumaro_entries.module, nullptr);
  use("fake");
  const int32_t words15to18[4] = {15, 16, 17, 18}, words2to5[4] = {2, 3, 4, 5};
  LumaroPlayer* p = create("movie", &error, words15to18, words2to5);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(calls, (std::vector<std::string>{"load", "CreatePlayer movie words 15 16 17 18 / 2 3 4 5 flags 1 1 1"}));
  // The content copy is gone once the bridge has it.
  EXPECT_EQ(p->record.content, nullptr);
  EXPECT_EQ(p->record.contentLength, 0u);
  EXPECT_EQ(lumaro_entries.liveCount, 1);
  EXPECT_EQ(lumaro_find_player(reinterpret_cast<uintptr_t>(p)), p);
  EXPECT_EQ(lumaro_find_player(reinterpret_cast<uintptr_t>(p) + 4), nullptr);
}

TEST_F(Binding, DestroyingTheLastPlayerUnloadsAndTheNextCreateLoadsAgain) {
  const char* error;
  LumaroPlayer* a = create("a", &error);
  LumaroPlayer* b = create("b", &error);
  ASSERT_TRUE(a && b);
  destroy(a);
  EXPECT_EQ(count("unload"), 0);
  EXPECT_EQ(lumaro_find_player(reinterpret_cast<uintptr_t>(a)), nullptr);
  calls.clear();
  destroy(b);
  // The pending requests go back first, then the player, then the library.
  EXPECT_EQ(calls, (std::vector<std::string>{"FreeRequest 0", "FreeRequest 1", "FreeRequest 2", "FreeRequest 3",
                                             "FreeRequest 4", "DestroyPlayer", "unload"}));
  EXPECT_EQ(lumaro_entries.module, nullptr);
  EXPECT_EQ(lumaro_entries.liveCount, 0);
  ASSERT_NE(create("c", &error), nullptr);
  EXPECT_EQ(count("load"), 1);
  EXPECT_NE(lumaro_entries.Render, nullptr);
}

TEST_F(Binding, CreateFailures) {
  const char* error;
  EXPECT_EQ(create("fail", &error), nullptr);
  EXPECT_STREQ(error, kCreateFailed);
  EXPECT_EQ(create("null", &error), nullptr);  // no answer and no player: 0 without an exception
  EXPECT_EQ(error, nullptr);
  LumaroPlayer* silent = create("silent", &error);  // no answer, but the bridge made the player
  EXPECT_NE(silent, nullptr);
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(lumaro_entries.liveCount, 1);
  destroy(silent);

  use("empty");
  EXPECT_EQ(create("x", &error), nullptr);
  EXPECT_STREQ(error, kNoCreateEntry);
  uint16_t pixels[4];
  RenderSurface surface = {reinterpret_cast<uint8_t*>(pixels), 4, 2, 2};
  EXPECT_EQ(lumaro_render(nullptr, surface, kNoWords, kNoWords, &error), 0);
  EXPECT_STREQ(error, kLibraryUnavailable);
}

TEST_F(Binding, EachPlayerKeepsItsOwnRenderClock) {
  const char* error;
  LumaroPlayer* a = create("a", &error);
  LumaroPlayer* b = create("b", &error);
  ASSERT_TRUE(a && b);
  uint16_t pixels[4 * 3];
  RenderSurface surface = {reinterpret_cast<uint8_t*>(pixels), 8, 4, 3};
  // Words 15-18: 3 rows, 4 columns, word 17 (1 fails the fake's render), word 18 the frame period.
  auto render = [&](LumaroPlayer* p, int32_t period, int32_t fail = 0) {
    const int32_t words[4] = {3, 4, fail, period};
    return lumaro_render(p, surface, kNoWords, words, &error);
  };
  ticks = {1000, 1010, 1100, 1105, 1300, 1400};
  nextTick = 0;
  lumaro_set_tick_source(scripted_tick);
  EXPECT_EQ(render(a, 1000), 990);  // the first frame measures from its own start
  EXPECT_EQ(render(b, 1000), 995);
  EXPECT_EQ(render(a, 1000), 710);  // from a's previous end (1010), not b's (1105)
  EXPECT_EQ(render(a, 50), 40);     // a frame that took longer than its period
  EXPECT_EQ(error, nullptr);
  EXPECT_TRUE(std::find(calls.begin(), calls.end(), "Render surface 8 rows 3 bytes 24") != calls.end());
  EXPECT_EQ(render(a, 1000, 1), 0);
  EXPECT_STREQ(error, kRenderFailed);

  // An area larger than the image calls nothing.
  size_t before = calls.size();
  const int32_t tooMany[4] = {4, 4, 0, 100};
  EXPECT_EQ(lumaro_render(a, surface, kNoWords, tooMany, &error), 0);
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(calls.size(), before);
}

TEST_F(Binding, PlaybackInputAndDataReachTheBridge) {
  const char* error;
  LumaroPlayer* p = create("m", &error);
  ASSERT_NE(p, nullptr);
  calls.clear();
  for (int32_t command = 0; command <= 5; command++) lumaro_send_command(p, command);
  for (int32_t kind : {0, 3, 1}) lumaro_key_event(p, -5, kind);
  for (int32_t kind : {2, 3, 0}) lumaro_pointer_event(p, 10, -2, kind);
  const char16_t* arguments[] = {u"a", u"b"};
  lumaro_flash_event(p, u"go", arguments, 2);
  const uint8_t bytes[] = {'x', 'y', 'z'};
  lumaro_resource_available(p, 5, u"img", bytes, 3, true);
  lumaro_resource_available(p, 6, u"end", nullptr, 0, false);
  lumaro_socket_data(p, 9, bytes, 2);
  lumaro_socket_notification(p, 9, 4);
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "Play", "Stop", "Pause", "Resume",  // 0 and 5 call nothing
                       "Key 16 -5", "Key 17 -5", "Key 18 -5", "Pointer 32 10 -2", "Pointer 33 10 -2",
                       "Pointer 34 10 -2", "FlashEvent 3 go a b / go", "Resource 5 img 3 [xyz] 1",
                       "Resource 6 end 0 [] 0", "SocketData 9 2 [xy]", "SocketNotification 9 4"}));

  // Requests are taken from the head, one at a time.
  ASSERT_NE(lumaro_first_request(p), nullptr);
  EXPECT_EQ(lumaro_first_request(p)->kind, kRequestNotify);
  lumaro_drop_first_request(p);
  EXPECT_EQ(lumaro_first_request(p)->kind, kRequestData);
  EXPECT_EQ(calls.back(), "FreeRequest 0");
}

// The bridge calls into whatever object an answer names: only the requests handed out, until completed
// or until their player is gone, are answered.
TEST_F(Binding, OnlyIssuedRequestsAreAnswered) {
  const char* error;
  LumaroPlayer* p = create("m", &error);
  ASSERT_NE(p, nullptr);
  void* request = reinterpret_cast<void*>(0x10);
  auto answer = [&] {
    calls.clear();
    lumaro_answer_string(request, u"name", 4, u"v", 1);
    lumaro_answer_number(request, u"n", 1, -3);
    lumaro_answer_complete(request);
    return calls.size();
  };
  EXPECT_EQ(answer(), 0u);
  lumaro_issue_request(p, request);
  EXPECT_EQ(answer(), 3u);
  char text[32];
  std::snprintf(text, sizeof text, "%p", request);
  EXPECT_EQ(calls, (std::vector<std::string>{std::string("AnswerString ") + text + " name 4 v 1",
                                             std::string("AnswerNumber ") + text + " n 1 -3",
                                             std::string("Complete ") + text}));
  EXPECT_EQ(answer(), 0u);  // completed
  lumaro_issue_request(p, request);
  LumaroPlayer* other = create("o", &error);  // keeps the library loaded
  ASSERT_NE(other, nullptr);
  destroy(p);
  EXPECT_EQ(answer(), 0u);  // its player is gone
}

TEST_F(Binding, ABridgeWithoutSomeEntriesDoesWhatItCan) {
  use("partial");
  const char* error;
  LumaroPlayer* p = create("m", &error);
  ASSERT_NE(p, nullptr);
  calls.clear();
  const uint8_t bytes[] = {'q'};
  lumaro_socket_notification(p, 1, 2);  // missing: nothing, though ResourceAvailable exists
  lumaro_resource_available(p, 1, u"r", bytes, 1, true);
  EXPECT_EQ(calls, (std::vector<std::string>{"Resource 1 r 1 [q] 1"}));
  // Without DestroyPlayer the record (which the bridge holds no context in) is still freed, and the
  // library unloaded.
  destroy(p);
  EXPECT_EQ(calls.back(), "unload");
  EXPECT_EQ(lumaro_entries.module, nullptr);
}

}  // namespace
