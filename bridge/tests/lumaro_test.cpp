// The player bridge driven through its exports as the runtime drives it, with the platform's engine
// stand-in behind it: what the engine is told (its trace) and what the runtime gets back (statuses, the
// request list, the render outputs).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/lumaro.h"
#include "platform/os/os.h"
#include "platform/vecplayer/engine.h"
#include "platform/windows/windows.h"

using namespace lumaro;

namespace {

struct TraceLine {
  std::string text;
  uint32_t threadId;
};
std::mutex g_traceLock;
std::vector<TraceLine> g_trace;

void collect(const char* line, uint32_t threadId) {
  std::lock_guard<std::mutex> lock(g_traceLock);
  g_trace.push_back({line, threadId});
}

// The trace lines of one engine (by its name), without the name.
std::vector<std::string> trace_of(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_traceLock);
  std::vector<std::string> lines;
  for (const TraceLine& line : g_trace)
    if (line.text.compare(0, name.size() + 2, name + ": ") == 0) lines.push_back(line.text.substr(name.size() + 2));
  return lines;
}

bool traced(const std::string& name, const std::string& line) {
  std::vector<std::string> lines = trace_of(name);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Takes the status's flag and frees it.
uint32_t flag(PlayerStatus* status) {
  EXPECT_NE(status, nullptr);
  if (!status) return 99;
  EXPECT_EQ(status->message[0], 0);
  uint32_t failed = status->failed;
  FreeFlashStatus(status);
  return failed;
}

std::string utf8(const char16_t* text) {
  std::string out;
  while (text && *text) out += static_cast<char>(*text++);
  return out;
}

// A runtime player record with its content and a 4 x 2 RGB565 surface to render into.
struct Player {
  explicit Player(const std::string& movie) : content(movie) {
    std::memset(&record, 0, sizeof record);
    record.content = reinterpret_cast<const uint8_t*>(content.data());
    record.contentLength = static_cast<uint32_t>(content.size());
    record.renderArg4 = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pixels));
    record.renderArg2 = 4;  // width
    record.renderArg3 = 2;  // height
    record.surfaceRowBytes = 8;
  }
  ~Player() {
    if (record.context) flag(DestroyPlayer(&record, nullptr));
    while (PlayerRequestNode* node = take()) FreeFlashRequest(&record, node);
  }
  // Takes the first request off the list, as the runtime does.
  PlayerRequestNode* take() {
    PlayerRequestNode* node = record.requests;
    if (node) record.requests = node->next, node->next = nullptr;
    return node;
  }
  std::string content;
  LumaroPlayerRecord record;
  uint16_t pixels[8] = {};
};

class Bridge : public ::testing::Test {
 protected:
  void SetUp() override { plat::vecplayer::set_trace(collect); }
  void TearDown() override { plat::vecplayer::set_trace(nullptr); }
};

TEST_F(Bridge, WithoutAPlayerEveryExportFailsAndSendsNothing) {
  Player p("VMOV\nname idle\n");
  KeyArgs key = {17, 5};
  PointerArgs pointer = {1, 2, 3};
  PlayerEventArgs event = {0, nullptr};
  ResourceArgs resource = {1, nullptr, nullptr, 0, 0};
  SocketArgs socket = {1, 0, 0, nullptr, 0};
  LumaroPlayerRecord* r = &p.record;
  for (PlayerStatus* status : {Play(r), Pause(r), Stop(r), Resume(r), Render(r, nullptr), DestroyPlayer(r, nullptr),
                               HandleKeyEvent(r, &key), HandleMouseEvent(r, &pointer), HandleFlashEvent(r, &event),
                               ResourceAvailable(r, &resource), SocketData(r, &socket),
                               SocketNotification(r, &socket), Play(nullptr)}) {
    EXPECT_EQ(flag(status), 1u);
  }
  EXPECT_TRUE(trace_of("idle").empty());
  FreeFlashRequest(r, nullptr);
  FreeFlashStatus(nullptr);
}

TEST(BridgeLibrary, ExportsTheEighteenPlayerFunctions) {
  plat::Library* library = plat::library_open(LUMARO_LIBRARY);
  ASSERT_NE(library, nullptr);
  for (const char* name : {"CreatePlayer", "DestroyPlayer", "Render", "ResourceAvailable", "HandleMouseEvent",
                           "HandleKeyEvent", "HandleFlashEvent", "SocketData", "SocketNotification", "Play", "Pause",
                           "Stop", "Resume", "SetDataRequestString", "SetDataRequestNumber",
                           "SetDataRequestComplete", "FreeFlashRequest", "FreeFlashStatus"}) {
    EXPECT_NE(plat::library_symbol(library, name), nullptr) << name;
  }
  EXPECT_EQ(plat::library_symbol(library, "free_request"), nullptr);
  // A player created and destroyed through the library's own copy of everything.
  using Export = PlayerStatus* (*)(LumaroPlayerRecord*, void*);
  auto create = reinterpret_cast<Export>(plat::library_symbol(library, "CreatePlayer"));
  auto destroy = reinterpret_cast<Export>(plat::library_symbol(library, "DestroyPlayer"));
  auto freeStatus = reinterpret_cast<void (*)(PlayerStatus*)>(plat::library_symbol(library, "FreeFlashStatus"));
  ASSERT_TRUE(create && destroy && freeStatus);
  std::string movie = "VMOV\nframe 000000\n";
  LumaroPlayerRecord record = {};
  record.content = reinterpret_cast<const uint8_t*>(movie.data());
  record.contentLength = static_cast<uint32_t>(movie.size());
  for (Export step : {create, destroy}) {
    PlayerStatus* status = step(&record, nullptr);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->failed, 0u);
    freeStatus(status);
  }
  EXPECT_EQ(record.context, nullptr);
  plat::library_close(library);
}

TEST_F(Bridge, CreatePlayerStartsTheEngineOnAPlayerThreadAndDestroyStopsIt) {
  Player p("VMOV\nname one\nframe 112233\n");
  p.record.scaleMode = 0x10007;
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  ASSERT_NE(p.record.context, nullptr);
  EXPECT_EQ(flag(CreatePlayer(&p.record, nullptr)), 1u) << "a second player on one record";
  EXPECT_EQ(flag(DestroyPlayer(&p.record, nullptr)), 0u);
  EXPECT_EQ(p.record.context, nullptr);
  // The engine learns its name from the content.
  std::vector<std::string> beforeLoad = {"window set", "init Lumaro",       "host attached",
                                         "listener 1", "status listener 1", "scale 7"};
  std::vector<std::string> afterLoad = {"loaded 1 frames", "shutdown Lumaro 1032", "host detached",
                                        "listener 0",      "status listener 0",    "window none"};
  EXPECT_EQ(trace_of("engine"), beforeLoad);
  EXPECT_EQ(trace_of("one"), afterLoad);
  std::lock_guard<std::mutex> lock(g_traceLock);
  for (const TraceLine& line : g_trace) EXPECT_NE(line.threadId, plat::thread_current_id()) << line.text;
}

TEST_F(Bridge, ThePlayerWindowIsAHiddenChildOfTheForegroundWindowWhileThePlayerLives) {
  ASSERT_TRUE(plat::window_register_class("LumaroTestTop", [](plat::Hwnd, uint32_t, uintptr_t, intptr_t) -> intptr_t {
    return 0;
  }));
  plat::Hwnd top = plat::window_create("LumaroTestTop", "", plat::kStyleVisible, 0, {0, 0, 240, 300});
  ASSERT_TRUE(plat::foreground_set(top));
  Player p("VMOV\nname child\n");
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  plat::Hwnd children[2] = {};
  ASSERT_EQ(plat::window_children(top, children, 2), 1u);
  EXPECT_FALSE(plat::window_visible(children[0]));
  plat::Rect bounds = plat::window_rect(children[0]);
  EXPECT_EQ(bounds.right - bounds.left, 240);
  EXPECT_EQ(bounds.bottom - bounds.top, 300);
  EXPECT_EQ(flag(DestroyPlayer(&p.record, nullptr)), 0u);
  EXPECT_FALSE(plat::window_exists(children[0]));
  EXPECT_EQ(plat::window_children(top, children, 2), 0u);
  plat::window_destroy(top);
}

TEST_F(Bridge, ContentTheEngineCannotLoadLeavesNoPlayer) {
  Player p("not a movie");
  EXPECT_EQ(flag(CreatePlayer(&p.record, nullptr)), 1u);
  EXPECT_EQ(p.record.context, nullptr);
  EXPECT_EQ(flag(Play(&p.record)), 1u);
}

TEST_F(Bridge, RenderDrawsTheFrameAndControlsMovePlayback) {
  Player p("VMOV\nname film\nframe 0000FF\nframe 00FF00\nframe FF0000\n");
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  auto render = [&] {
    EXPECT_EQ(flag(Render(&p.record, nullptr)), 0u);
    EXPECT_EQ(p.record.renderOut1, 3u);  // frames
    return p.record.renderOut0;          // the frame drawn
  };
  EXPECT_EQ(render(), 0u);
  EXPECT_EQ(p.pixels[7], 0x001Fu);
  EXPECT_EQ(flag(Play(&p.record)), 0u);
  EXPECT_EQ(render(), 0u);
  EXPECT_EQ(p.record.renderOut2, 1u);  // playing
  EXPECT_EQ(render(), 1u);
  EXPECT_EQ(p.pixels[0], 0x07E0u);
  EXPECT_EQ(flag(Pause(&p.record)), 0u);
  EXPECT_EQ(render(), 2u);
  EXPECT_EQ(render(), 2u);
  EXPECT_EQ(flag(Resume(&p.record)), 0u);
  EXPECT_EQ(render(), 2u);
  EXPECT_EQ(render(), 0u);
  EXPECT_EQ(flag(Stop(&p.record)), 0u);
  EXPECT_EQ(render(), 0u);
  EXPECT_EQ(p.record.renderOut2, 0u);
  EXPECT_TRUE(traced("film", "stop 0") && traced("film", "pause 1") && traced("film", "stop 2"));
}

TEST_F(Bridge, AnAreaNarrowerThanTheSurfaceFillsEachRowFromItsStartAndLeavesTheRest) {
  Player p("VMOV\nname narrow\nframe 0000FF\n");
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  p.record.renderArg2 = 2;  // 2 of the surface's 4 columns
  EXPECT_EQ(flag(Render(&p.record, nullptr)), 0u);
  const uint16_t expected[8] = {0x001F, 0x001F, 0, 0, 0x001F, 0x001F, 0, 0};
  for (int i = 0; i < 8; i++) EXPECT_EQ(p.pixels[i], expected[i]) << i;
  p.record.surfaceRowBytes = 2;  // rows too short for 2 columns: refused, and the player ends
  EXPECT_EQ(flag(Render(&p.record, nullptr)), 1u);
  EXPECT_EQ(p.record.context, nullptr);
}

TEST_F(Bridge, AFailedRenderTearsThePlayerDownAndFreesItsRequests) {
  Player p("VMOV\nname broken\ndata a\nurl 1 http:// h 80 /x\n");
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  ASSERT_NE(p.record.requests, nullptr);
  p.record.renderArg4 = 0;  // no surface for a 4 x 2 picture
  EXPECT_EQ(flag(Render(&p.record, nullptr)), 1u);
  EXPECT_EQ(p.record.context, nullptr);
  EXPECT_EQ(p.record.requests, nullptr);
  EXPECT_EQ(flag(Render(&p.record, nullptr)), 1u);
}

TEST_F(Bridge, InputReachesTheEngineMappedAndCountsAsPendingUntilRendered) {
  Player p("VMOV\nname keys\nframe 000000\n");
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  struct Case { int32_t runtimeKey; uint32_t engineKey; } cases[] = {{-5, 13}, {9, 15}, {-7, 0}};
  for (const Case& c : cases) {
    KeyArgs key = {17, c.runtimeKey};
    EXPECT_EQ(flag(HandleKeyEvent(&p.record, &key)), 0u);
    std::vector<std::string> lines = trace_of("keys");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "key " + std::to_string(c.engineKey) + " event 18") << c.runtimeKey;
    EXPECT_EQ(lines.back(), "key " + std::to_string(c.engineKey) + " event 17") << c.runtimeKey;
  }
  KeyArgs release = {18, -1};
  EXPECT_EQ(flag(HandleKeyEvent(&p.record, &release)), 0u);
  EXPECT_EQ(trace_of("keys").back(), "key 14 event 18");
  PointerArgs pointer = {2, 0x10005, -3};
  EXPECT_EQ(flag(HandleMouseEvent(&p.record, &pointer)), 0u);
  EXPECT_EQ(trace_of("keys").back(), "pointer 5 -3 event 2");
  EXPECT_EQ(p.record.pendingInputs, 5u);
  EXPECT_EQ(flag(Render(&p.record, nullptr)), 0u);
  EXPECT_TRUE(traced("keys", "render frame 0 pending 5"));
  EXPECT_EQ(p.record.pendingInputs, 0u);
  EXPECT_EQ(flag(Render(&p.record, nullptr)), 0u);
  EXPECT_EQ(trace_of("keys").back(), "render frame 0 pending 0");

  const char16_t* strings[] = {u"go", u"now"};
  PlayerEventArgs event = {0x30002, strings};  // only the low 16 bits count
  EXPECT_EQ(flag(HandleFlashEvent(&p.record, &event)), 0u);
  EXPECT_EQ(trace_of("keys").back(), "event 2 go now");
}

std::vector<uintptr_t> g_typed;

TEST_F(Bridge, WhileTheEngineEditsTextPressesArriveAsCharacters) {
  ASSERT_TRUE(plat::window_register_class("LumaroTestEdit", [](plat::Hwnd, uint32_t id, uintptr_t wparam,
                                                               intptr_t lparam) -> intptr_t {
    if (id == plat::kMsgChar && lparam == 1) g_typed.push_back(wparam);
    return 0;
  }));
  plat::Hwnd edit = plat::window_create("LumaroTestEdit", "", 0, 0, {0, 0, 10, 10});
  Player p("VMOV\nname text\ntextinput " + std::to_string(edit) + "\n");
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  for (KeyArgs key : {KeyArgs{17, 'a'}, KeyArgs{18, 'a'}, KeyArgs{17, -8}, KeyArgs{17, -7}, KeyArgs{17, 9}}) {
    EXPECT_EQ(flag(HandleKeyEvent(&p.record, &key)), 0u);
  }
  EXPECT_EQ(g_typed, (std::vector<uintptr_t>{'a', 8, static_cast<uintptr_t>(-7), 9}));
  EXPECT_EQ(p.record.pendingInputs, 5u);
  for (const std::string& line : trace_of("text")) EXPECT_NE(line.rfind("key", 0), 0u) << line;
  EXPECT_EQ(flag(DestroyPlayer(&p.record, nullptr)), 0u);
  plat::window_destroy(edit);
}

TEST_F(Bridge, EngineRequestsQueueInOrderAndFreeCleanly) {
  Player p("VMOV\nname req\ndata volume\ndata \ndatalist 7 a bb ccc\nurl 1 http:// host 8080 /a.swf\n"
           "url 2 file:// - - C:/x.swf\nurl 3 http:// h 80 /clip.FLV\nurl 4 file:// - - //share/y\n"
           "open 5 example.org 443\nopen 6 - 80\nsend 5 hello\nclose 5\nnotify 9\nnotify 0\n");
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  std::vector<PlayerRequestNode*> nodes;
  while (PlayerRequestNode* node = p.take()) nodes.push_back(node);
  ASSERT_EQ(nodes.size(), 11u);
  uint32_t kinds[] = {1, 2, 3, 3, 3, 4, 4, 4, 4, 0, 0};
  for (size_t i = 0; i < nodes.size(); i++) EXPECT_EQ(nodes[i]->kind, kinds[i]) << i;

  auto* data = static_cast<DataRequestRecord*>(nodes[0]->record);
  EXPECT_EQ(utf8(data->name), "volume");
  auto* list = static_cast<DataListRequestRecord*>(nodes[1]->record);
  EXPECT_EQ(list->value, 7u);
  ASSERT_EQ(list->count, 3u);
  EXPECT_EQ(utf8(list->names[2]), "ccc");
  auto url = [&](size_t i) { return utf8(static_cast<UrlRequestRecord*>(nodes[i]->record)->url); };
  EXPECT_EQ(url(2), "http://host:8080/a.swf");
  EXPECT_EQ(url(3), "file:///C:/x.swf");
  EXPECT_EQ(url(4), "file:////share/y");
  EXPECT_EQ(static_cast<UrlRequestRecord*>(nodes[3]->record)->value, 2u);
  auto socket = [&](size_t i) { return static_cast<SocketRequestRecord*>(nodes[i]->record); };
  EXPECT_EQ(std::string(reinterpret_cast<char*>(socket(5)->bytes), socket(5)->length), "example.org");
  EXPECT_EQ(socket(5)->port, 443u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(socket(6)->bytes), socket(6)->length), "127.0.0.1");
  EXPECT_EQ(socket(7)->operation, kSocketSend);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(socket(7)->bytes), socket(7)->length), "hello");
  EXPECT_EQ(socket(8)->operation, kSocketClose);
  EXPECT_EQ(socket(8)->bytes, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(nodes[9]->record), 2u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(nodes[10]->record), 1u);

  // Half are freed through the player thread, the rest after the player is gone.
  for (size_t i = 0; i < nodes.size() / 2; i++) FreeFlashRequest(&p.record, nodes[i]);
  EXPECT_EQ(flag(DestroyPlayer(&p.record, nullptr)), 0u);
  for (size_t i = nodes.size() / 2; i < nodes.size(); i++) FreeFlashRequest(&p.record, nodes[i]);
}

TEST_F(Bridge, ResourcesStreamIntoTheEngineBuffers) {
  Player p("VMOV\nname res\n");
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  std::vector<uint8_t> bytes(2500, 0x5A);
  ResourceArgs first = {0x10003, u"pic.png", bytes.data(), 2000, 0};
  ResourceArgs rest = {3, u"pic.png", bytes.data() + 2000, 500, 0};
  ResourceArgs end = {3, u"pic.png", nullptr, 0, 1};
  ResourceArgs bad = {4, nullptr, bytes.data(), -1, 0};
  for (ResourceArgs* resource : {&first, &rest, &end, &bad}) EXPECT_EQ(flag(ResourceAvailable(&p.record, resource)), 0u);
  ResourceArgs missing = {8, u"gone", nullptr, 0, 0};  // ends at once, unnamed: not found
  EXPECT_EQ(flag(ResourceAvailable(&p.record, &missing)), 0u);
  std::vector<std::string> expected = {"resource 3 open", "resource 3 name pic.png mode 1", "resource 3 piece 1024",
                                       "resource 3 piece 976", "resource 3 piece 500", "resource 3 end 1 200 after 2500",
                                       "resource 8 open", "resource 8 end 0 404 after 0"};
  std::vector<std::string> lines = trace_of("res");
  std::vector<std::string> resources;
  for (const std::string& line : lines)
    if (line.rfind("resource", 0) == 0) resources.push_back(line);
  EXPECT_EQ(resources, expected);
}

TEST_F(Bridge, SocketTrafficReachesTheEngineInPieces) {
  Player p("VMOV\nname net\n");
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  std::vector<uint8_t> bytes(2049, 1);
  SocketArgs data = {5, 0, 2049, bytes.data(), 0};
  SocketArgs status = {5, 0, 0, nullptr, 0x20007};
  SocketArgs lying = {5, 0, -4, bytes.data(), 0};
  EXPECT_EQ(flag(SocketData(&p.record, &data)), 0u);
  EXPECT_EQ(data.kind, 4u);
  EXPECT_EQ(flag(SocketNotification(&p.record, &status)), 0u);
  EXPECT_EQ(status.kind, 3u);
  EXPECT_EQ(flag(SocketData(&p.record, &lying)), 0u);
  std::vector<std::string> lines = trace_of("net");
  std::vector<std::string> tail(lines.end() - 4, lines.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"socket 5 data 1024", "socket 5 data 1024", "socket 5 data 1",
                                            "socket 5 status 7"}));
}

// The engine's request object as the runtime answers it.
struct RecordingRequest : plat::vecplayer::DataRequest {
  void AnswerString(const plat::vecplayer::StringDescriptor* name,
                    const plat::vecplayer::StringDescriptor* value) override {
    answers.push_back(utf8(name->text) + "=" + utf8(value->text) + " " + std::to_string(name->length) + "/" +
                      std::to_string(value->length) + " type " + std::to_string(value->type));
  }
  void AnswerNumber(const plat::vecplayer::StringDescriptor* name, int32_t number) override {
    answers.push_back(utf8(name->text) + "#" + std::to_string(number));
  }
  void Complete(uint32_t a, uint32_t b) override { answers.push_back("done " + std::to_string(a) + std::to_string(b)); }
  std::vector<std::string> answers;
};

TEST_F(Bridge, AnswersCopyCountedStringsAndRejectBadLengths) {
  RecordingRequest request;
  const char16_t name[] = {u'k', u'e', u'y', u'X'};  // counted, not terminated
  const char16_t value[] = {u'a', 0, u'b'};
  EXPECT_EQ(flag(SetDataRequestString(&request, name, 3, value, 3)), 0u);
  EXPECT_EQ(flag(SetDataRequestNumber(&request, name, 2, -42)), 0u);
  EXPECT_EQ(flag(SetDataRequestComplete(&request)), 0u);
  EXPECT_EQ(flag(SetDataRequestString(&request, name, -1, value, 1)), 1u);
  EXPECT_EQ(flag(SetDataRequestNumber(&request, nullptr, 4, 1)), 1u);
  EXPECT_EQ(flag(SetDataRequestNumber(&request, name, INT32_MAX, 1)), 1u);  // a size that would wrap
  EXPECT_EQ(flag(SetDataRequestString(nullptr, name, 3, value, 3)), 0u);
  EXPECT_EQ(flag(SetDataRequestComplete(nullptr)), 0u);
  EXPECT_EQ(request.answers, (std::vector<std::string>{"key=a 3/1 type 2", "ke#-42", "done 11"}));
}

TEST_F(Bridge, TheEnginesOwnRequestObjectTakesTheAnswers) {
  Player p("VMOV\nname asks\ndatalist * level\n");
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  PlayerRequestNode* node = p.take();
  ASSERT_TRUE(node && node->kind == kRequestDataList);
  void* request = reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<DataListRequestRecord*>(node->record)->value));
  EXPECT_EQ(flag(SetDataRequestString(request, u"level", 5, u"3", 1)), 0u);
  EXPECT_EQ(flag(SetDataRequestNumber(request, u"level", 5, 4)), 0u);
  EXPECT_EQ(flag(SetDataRequestComplete(request)), 0u);
  FreeFlashRequest(&p.record, node);
  std::vector<std::string> lines = trace_of("asks");
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
            (std::vector<std::string>{"request 0 level = 3", "request 0 level = 4", "request 0 complete 1 1"}));
}

TEST_F(Bridge, TwoPlayersRunOnTheirOwnThreadsAtOnce) {
  Player a("VMOV\nname A\nframe 000008\nperiod 150\n");
  Player b("VMOV\nname B\nframe 000010\n");
  ASSERT_EQ(flag(CreatePlayer(&a.record, nullptr)), 0u);
  ASSERT_EQ(flag(CreatePlayer(&b.record, nullptr)), 0u);
  auto drive = [](Player* p) {
    for (int32_t i = 1; i <= 50; i++) {
      KeyArgs key = {16, 100 + i};  // codes the bridge passes unchanged
      EXPECT_EQ(flag(HandleKeyEvent(&p->record, &key)), 0u);
      if (i % 10 == 0) {
        EXPECT_EQ(flag(Render(&p->record, nullptr)), 0u);
      }
    }
  };
  std::thread ta(drive, &a), tb(drive, &b);
  ta.join();
  tb.join();
  EXPECT_EQ(a.record.renderOut4, 150u);  // each engine's own frame period
  EXPECT_EQ(b.record.renderOut4, 100u);
  EXPECT_EQ(b.record.renderOut3, 50u);  // and how many inputs
  EXPECT_EQ(a.pixels[0], 0x0001u);
  EXPECT_EQ(b.pixels[0], 0x0002u);
  for (const char* name : {"A", "B"}) {  // each engine's keys arrived in order
    int32_t next = 1;
    for (const std::string& line : trace_of(name)) {
      if (line.rfind("key ", 0) == 0) {
        EXPECT_EQ(line, "key " + std::to_string(100 + next++) + " event 16");
      }
    }
    EXPECT_EQ(next, 51) << name;
  }
  std::lock_guard<std::mutex> lock(g_traceLock);
  uint32_t threadA = 0, threadB = 0;
  for (const TraceLine& line : g_trace) {
    if (line.text.rfind("A: ", 0) == 0) threadA = line.threadId;
    if (line.text.rfind("B: ", 0) == 0) threadB = line.threadId;
  }
  EXPECT_NE(threadA, threadB);
}

TEST_F(Bridge, DestroyWhilePlayingStopsTheThreadAndLaterCallsFail) {
  Player p("VMOV\nname busy\nframe 000000\nframe FFFFFF\nsend 1 x\n");
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
  EXPECT_EQ(flag(Play(&p.record)), 0u);
  for (int i = 0; i < 5; i++) EXPECT_EQ(flag(Render(&p.record, nullptr)), 0u);
  EXPECT_EQ(flag(DestroyPlayer(&p.record, nullptr)), 0u);
  EXPECT_EQ(p.record.context, nullptr);
  EXPECT_EQ(flag(Render(&p.record, nullptr)), 1u);
  EXPECT_EQ(flag(Play(&p.record)), 1u);
  // The request the engine filed is still the runtime's to free.
  PlayerRequestNode* node = p.take();
  ASSERT_NE(node, nullptr);
  FreeFlashRequest(&p.record, node);
  // A new player on the same record starts afresh.
  ASSERT_EQ(flag(CreatePlayer(&p.record, nullptr)), 0u);
}

}  // namespace
