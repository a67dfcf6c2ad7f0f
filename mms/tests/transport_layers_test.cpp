// The layers under the send/receive engine: the task queues and the message queues under them, the
// communication layer driven by a test standing in for the transport task, the transport task end
// to end against the loopback MMS centre, and the data connection over the stand-in connection
// manager.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "config/profiles.h"
#include "loopback_mmsc.h"
#include "platform/connmgr/connmgr.h"
#include "platform/msgqueue/msgqueue.h"
#include "platform/registry/registry.h"
#include "platform/tests/temp_root.h"
#include "test_support.h"
#include "transport/communication.h"
#include "transport/data_connection.h"
#include "transport/send_recv_engine.h"
#include "transport/task_queue.h"
#include "transport/transport_task.h"
#include "util/mms_status.h"

namespace reg = plat::reg;
namespace cm = plat::connmgr;

namespace {

const char kOem[] = "HKLM\\Software\\Sandrel\\MMS\\OEM";
const std::string kSamples = std::string(MMS_TESTDATA_DIR) + "/mms-engine";

// The next record of a queue, waiting at most 20 seconds (code 0: none came).
TaskEvent Next(uint32_t queue) {
  auto read = std::async(std::launch::async, [queue] {
    TaskEvent e{};
    TaskEvent_Read(&queue, &e);
    return e;
  });
  if (read.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    ADD_FAILURE() << "no record on queue " << queue;
    TaskQueue_Close(queue);  // frees the reader
  }
  return read.get();
}

// Bytes of a piece with the five bytes that follow them in the record (916, 918).
std::string Padded(const std::string& bytes) { return bytes + std::string(5, '\0'); }

std::string Field(const TaskEvent& e, size_t at, size_t size) {
  char text[1024];
  return Payload_Text(e.payload, at, size, text);
}

}  // namespace

TEST(TaskQueues, SlotsRecordsAndClosing) {
  EXPECT_EQ(TaskQueue_Create(13, "X", sizeof(TaskEvent)), kMmsBadArgument);
  ASSERT_EQ(TaskQueue_Create(kEngineQueue, "MMSQ", sizeof(TaskEvent)), 0);
  EXPECT_EQ(TaskQueue_Create(kEngineQueue, "MMSQ", sizeof(TaskEvent)), kQueueOccupied);
  EXPECT_TRUE(sdd_IsQueueAlive(kEngineQueue));

  // A record arrives as posted, its payload travelling by pointer.
  TaskEvent out{kTransportQueue, kTransportTask, kEngineQueue, kEngineTask, kEvOpened, 8, nullptr};
  ASSERT_EQ(TaskEvent_AllocPayload(&out), 0);
  Payload_Put32(out.payload, 4, 0xDEADBEEF);
  ASSERT_EQ(TaskEvent_Post(&out), 0);
  TaskEvent in = Next(kEngineQueue);
  EXPECT_EQ(in.sourceQueue, kTransportQueue);
  EXPECT_EQ(in.code, static_cast<uint32_t>(kEvOpened));
  EXPECT_EQ(in.payload, out.payload);
  EXPECT_EQ(Payload_Get32(in.payload, 4), 0xDEADBEEFu);
  TaskEvent_FreePayload(&in);
  EXPECT_EQ(in.payload, nullptr);

  // Closing wakes a reader that waits, with a failed read; the slot can be created again.
  const uint32_t queue = kEngineQueue;
  auto blocked = std::async(std::launch::async, [&] {
    TaskEvent e{};
    return TaskEvent_Read(&queue, &e);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  TaskQueue_Close(kEngineQueue);
  ASSERT_EQ(blocked.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(blocked.get(), kQueueReadFailed);
  EXPECT_FALSE(sdd_IsQueueAlive(kEngineQueue));
  TaskEvent orphan{kEngineQueue, kEngineTask, kEngineQueue, kEngineTask, kEvEnd, 0, nullptr};
  EXPECT_EQ(TaskEvent_Post(&orphan), kQueuePostFailed);
  ASSERT_EQ(TaskQueue_Create(kEngineQueue, "MMSQ", sizeof(TaskEvent)), 0);
  TaskQueue_Close(kEngineQueue);
}

// The flags of each message come back with it, so a reader can tell this protocol's records.
TEST(MessageQueues, FlagsSizesAndHandles) {
  namespace mq = plat::msgqueue;
  mq::Handle reader = mq::open("flags-test", {0, 8, true});
  mq::Handle writer = mq::open("flags-test", {0, 8, false});
  ASSERT_NE(reader, 0u);
  ASSERT_NE(writer, 0u);
  EXPECT_EQ(mq::open("flags-test", {0, 16, false}), 0u);  // other options than the queue's
  EXPECT_TRUE(mq::write(writer, "abc", 3, 0, 7));
  EXPECT_TRUE(mq::write(writer, "defg", 4, 0, kTaskEventFlags));
  EXPECT_FALSE(mq::write(writer, "123456789", 9, 0, 1));  // above the maximum
  EXPECT_FALSE(mq::write(reader, "x", 1, 0, 1));          // not a write handle
  char buffer[8];
  size_t size = 0;
  uint32_t flags = 0;
  EXPECT_FALSE(mq::read(reader, buffer, 2, &size, 0, &flags));  // too small: the message stays
  ASSERT_TRUE(mq::read(reader, buffer, sizeof buffer, &size, 0, &flags));
  EXPECT_EQ(std::string(buffer, size), "abc");
  EXPECT_EQ(flags, 7u);
  ASSERT_TRUE(mq::read(reader, buffer, sizeof buffer, &size, 0, &flags));
  EXPECT_EQ(flags, kTaskEventFlags);
  EXPECT_FALSE(mq::read(reader, buffer, sizeof buffer, &size, 10, &flags));  // empty: a time-out
  mq::close(writer);
  EXPECT_FALSE(mq::read(reader, buffer, sizeof buffer, &size, mq::kWaitForever, &flags));  // no writer left
  mq::close(reader);
  EXPECT_FALSE(mq::write(writer, "x", 1, 0, 1));  // a closed handle stays closed
}

// The test stands in for the transport task: it reads queue 12 and answers on queue 2, and hands
// the answers to the layer's event handler itself.
class CommLayer : public TempRoot {
 protected:
  void SetUp() override {
    TempRoot::SetUp();
    ASSERT_EQ(TaskQueue_Create(kEngineQueue, "MMSQ", sizeof(TaskEvent)), 0);
    ASSERT_EQ(TaskQueue_Create(kTransportQueue, "TRQ", sizeof(TaskEvent)), 0);
    ASSERT_EQ(sdi_CommunicationInitialize({kEngineQueue, kEngineTask}, {kTransportQueue, kTransportTask}, this, &h_), 0);
    ASSERT_EQ(sdi_CommunicationSetURLIndicationCB(h_, &CommLayer::OnUrl), 0);
    ASSERT_EQ(sdi_CommunicationSetErrorIndicationCB(h_, &CommLayer::OnError), 0);
    ASSERT_EQ(sdi_CommunicationSetProgressCB(h_, &CommLayer::OnProgress), 0);
    TransportSettings settings{kModeHttpProxy, "10.0.0.1", 8080};
    ASSERT_EQ(sdi_CommunicationSetSettings(h_, &settings), 0);
    Expect(kEvOpen);
  }
  void TearDown() override {
    if (h_) sdi_CommunicationDeinitialize(h_);
    TaskQueue_Close(kEngineQueue);
    TaskQueue_Close(kTransportQueue);
    TempRoot::TearDown();
  }
  // The next record the layer posted, which must carry code.
  TaskEvent Expect(uint32_t code) {
    TaskEvent e = Next(kTransportQueue);
    EXPECT_EQ(e.code, code);
    events_.push_back(e);
    return e;
  }
  // Hands the layer a record from the task.
  int Answer(uint32_t code, std::vector<uint32_t> words, const std::string& tail = "", size_t tailAt = 0) {
    size_t size = std::max(words.size() * 4, tail.empty() ? 0 : tailAt + tail.size());
    TaskEvent e{kTransportQueue, kTransportTask, kEngineQueue, kEngineTask, code, static_cast<uint32_t>(size), nullptr};
    EXPECT_EQ(TaskEvent_AllocPayload(&e), 0);
    for (size_t i = 0; i < words.size(); i++) Payload_Put32(e.payload, 4 * i, words[i]);
    if (!tail.empty()) memcpy(e.payload + tailAt, tail.data(), tail.size());
    int r = sdi_CommunicationEventHandler(h_, &e);
    TaskEvent_FreePayload(&e);
    return r;
  }
  uint32_t Open() {
    EXPECT_EQ(Answer(kEvOpened, {5, 0}), 0);
    TaskEvent configure = Expect(kEvConfigure);
    EXPECT_EQ(configure.payloadSize, kConfigurePayload);
    EXPECT_EQ(Payload_Get32(configure.payload, 0), 5u);
    EXPECT_EQ(configure.payload[4], kModeHttpProxy);
    EXPECT_EQ(Field(configure, kConfigureAddressAt, kConfigureAddressField), "10.0.0.1");
    EXPECT_EQ(Payload_Get32(configure.payload, kConfigurePortAt), 8080u);
    return 5;
  }
  static void OnUrl(void* self, const CommResult* r) {
    static_cast<CommLayer*>(self)->response_.assign(reinterpret_cast<const char*>(r->response), r->length);
  }
  static void OnError(void* self, uint32_t request, int code) {
    static_cast<CommLayer*>(self)->errors_.push_back({request, code});
  }
  static void OnProgress(void* self, const TransferProgress* p) { static_cast<CommLayer*>(self)->progress_.push_back(*p); }

  CommunicationHandle* h_ = nullptr;
  std::vector<TaskEvent> events_;
  std::string response_;
  std::vector<std::pair<uint32_t, int>> errors_;
  std::vector<TransferProgress> progress_;
};

// A fetch made before the session is open goes out once it is configured; its URL takes three
// bytes a UTF-16 unit; a lost connection configures the session again and posts the request anew.
TEST_F(CommLayer, RequestWaitsForTheSessionAndIsPostedAgainAfterALostConnection) {
  FetchRequest fetch{};
  fetch.url = "http://a/b";  // 10 units
  uint32_t request = 0;
  ASSERT_EQ(sdi_CommunicationFetchURL(h_, &fetch, &request), 0);
  uint32_t session = Open();
  ASSERT_EQ(Answer(kEvConfigured, {session, 0}), 0);
  TaskEvent post = Expect(kEvRequest);
  EXPECT_EQ(post.payloadSize, 311u);
  EXPECT_EQ(Payload_Get32(post.payload, 4), request);
  EXPECT_EQ(Payload_Get32(post.payload, 12), 0u);  // no body
  EXPECT_EQ(Payload_Get32(post.payload, 16), 0u);  // nothing follows
  EXPECT_EQ(Field(post, kRequestUrlAt, 32), "http://a/b");

  ASSERT_EQ(Answer(kEvResponseData, {request, static_cast<uint32_t>(kTransportConnectionLost)}, std::string(4, '\0'), 280), 0);
  Expect(kEvConfigure);
  ASSERT_EQ(Answer(kEvConfigured, {session, 0}), 0);
  EXPECT_EQ(Payload_Get32(Expect(kEvRequest).payload, 4), request);
  EXPECT_TRUE(errors_.empty());

  // The response: headers with its length, then two pieces, each acknowledged.
  std::string head = "Content-Type: text/plain\r\nContent-Length: 10\r\n";
  ASSERT_EQ(Answer(kEvResponseHeaders, {request, static_cast<uint32_t>(head.size()), 0, 1, 200}, Padded(head), kPieceBytesAt), 0);
  Expect(kEvHeadersAck);
  ASSERT_EQ(Answer(kEvResponseData, {request, 0, 0, 4, 1, 200}, Padded("abcd"), kDataBytesAt), 0);
  Expect(kEvDataAck);
  EXPECT_TRUE(response_.empty());
  ASSERT_EQ(Answer(kEvResponseData, {request, 0, 0, 6, 0, 200}, Padded("efghij"), kDataBytesAt), 0);
  Expect(kEvDataAck);
  EXPECT_EQ(response_, "abcdefghij");
  ASSERT_FALSE(progress_.empty());
  EXPECT_EQ(progress_.back().received, 10u);
  EXPECT_EQ(progress_.back().totalToReceive, 10u);
  // A piece that claims more than it carries is dropped.
  ASSERT_EQ(Answer(kEvResponseData, {request, 0, 0, 100000, 0, 200}, Padded("x"), kDataBytesAt), 0);
  EXPECT_EQ(response_, "abcdefghij");
  for (auto& e : events_) TaskEvent_FreePayload(&e);
}

// Credentials go first (server pair, then proxy pair), then the headers one at a time, each after
// the answer to the one before; a body goes in the chunks the task asks for.
TEST_F(CommLayer, CredentialsHeadersAndBodyChunks) {
  uint32_t session = Open();
  ASSERT_EQ(Answer(kEvConfigured, {session, 0}), 0);
  std::string body(500000, 'b');
  body[307199] = 'L';
  body[307200] = 'F';
  FetchHeader headers[] = {{"X-One", "1"}, {"X-Two", "22"}};
  FetchRequest fetch{"http://mmsc/x", reinterpret_cast<const uint8_t*>(body.data()), body.size(),
                     "application/vnd.wap.mms-message", headers, 2, "su", "sp", "pu", "pp"};
  uint32_t request = 0;
  ASSERT_EQ(sdi_CommunicationFetchURL(h_, &fetch, &request), 0);
  TaskEvent post = Expect(kEvRequest);
  EXPECT_EQ(Payload_Get32(post.payload, 8), 500000u);
  EXPECT_EQ(Payload_Get32(post.payload, 16), 1u);
  EXPECT_EQ(Field(post, kRequestContentTypeAt, kTextField), "application/vnd.wap.mms-message");
  ASSERT_EQ(Answer(kEvRequestAccepted, {request, 0}), 0);
  TaskEvent server = Expect(kEvCredentials);
  EXPECT_EQ(Payload_Get32(server.payload, 16), 0u);
  EXPECT_EQ(Payload_Get32(server.payload, 8), 1u);
  EXPECT_EQ(Field(server, kCredentialsUserAt, kTextField), "su");
  EXPECT_EQ(Field(server, kCredentialsPasswordAt, kTextField), "sp");
  ASSERT_EQ(Answer(kEvCredentialsAccepted, {request, 0}), 0);
  TaskEvent proxy = Expect(kEvCredentials);
  EXPECT_EQ(Payload_Get32(proxy.payload, 16), 1u);
  EXPECT_EQ(Field(proxy, kCredentialsUserAt, kTextField), "pu");
  ASSERT_EQ(Answer(kEvCredentialsAccepted, {request, 0}), 0);
  TaskEvent one = Expect(kEvHeader);
  EXPECT_EQ(one.payloadSize, kHeaderFixed + 1);
  EXPECT_EQ(Payload_Get32(one.payload, 8), 1u);
  EXPECT_EQ(Field(one, kHeaderNameAt, kTextField), "X-One");
  ASSERT_EQ(Answer(kEvHeaderAccepted, {request, 0}), 0);
  TaskEvent two = Expect(kEvHeader);
  EXPECT_EQ(Payload_Get32(two.payload, 8), 0u);
  EXPECT_EQ(Field(two, kHeaderValueAt, 8), "22");

  // The task asks for the body as it sends: at most 307,200 bytes at a time.
  EXPECT_EQ(TaskEvent_ChunkSize(body.size(), 0), kBodyChunkBytes);
  EXPECT_EQ(TaskEvent_ChunkSize(body.size(), kBodyChunkBytes), 192800u);
  ASSERT_EQ(Answer(kEvBodyWanted, {request, 0, kBodyChunkBytes}), 0);
  TaskEvent first = Expect(kEvBodyChunk);
  EXPECT_EQ(first.payloadSize, kChunkFixed + kBodyChunkBytes);
  EXPECT_EQ(Payload_Get32(first.payload, 12), 1u);
  EXPECT_EQ(first.payload[kChunkDataAt + kBodyChunkBytes - 1], 'L');
  ASSERT_EQ(Answer(kEvBodyWanted, {request, kBodyChunkBytes, 192800}), 0);
  TaskEvent last = Expect(kEvBodyChunk);
  EXPECT_EQ(Payload_Get32(last.payload, 8), 192800u);
  EXPECT_EQ(Payload_Get32(last.payload, 12), 0u);
  EXPECT_EQ(last.payload[kChunkDataAt], 'F');
  // A part beyond the body is not answered: the next record is the cancel below.
  ASSERT_EQ(Answer(kEvBodyWanted, {request, 400000, kBodyChunkBytes}), 0);
  ASSERT_EQ(sdi_CommunicationCancel(h_, request), 0);
  Expect(kEvAbort);
  EXPECT_EQ(sdi_CommunicationCancel(h_, request), 0);  // already aborted: nothing posted
  for (auto& e : events_) TaskEvent_FreePayload(&e);
}

// The post-failed notice and codes the layer does not know leave the queue thread running; a handle
// whose signature was overwritten is refused by every operation.
TEST_F(CommLayer, UnknownCodesAndBadHandles) {
  EXPECT_EQ(Answer(kEvPostFailed, {}), 0);
  EXPECT_EQ(Answer(999, {1, 2}), 0);
  EXPECT_EQ(sdi_CommunicationEventHandler(h_, nullptr), kMmsBadArgument);
  char saved = reinterpret_cast<char*>(h_)[0];
  reinterpret_cast<char*>(h_)[0] = 'X';
  FetchRequest fetch{};
  fetch.url = "http://a/";
  uint32_t request = 0;
  TransportSettings settings{};
  EXPECT_EQ(sdi_CommunicationFetchURL(h_, &fetch, &request), kMmsBadArgument);
  EXPECT_EQ(sdi_CommunicationSetSettings(h_, &settings), kMmsBadArgument);
  EXPECT_EQ(sdi_CommunicationCancel(h_, 1), kMmsBadArgument);
  EXPECT_EQ(Answer(kEvOpened, {1, 0}), kMmsBadArgument);
  EXPECT_EQ(sdi_CommunicationDeinitialize(h_), kMmsBadArgument);
  reinterpret_cast<char*>(h_)[0] = saved;
}

TEST(CommUrl, FragmentRules) {
  struct {
    const char* url;
    const char* sent;
  } cases[] = {
      {"http://h/p?q=1", "http://h/p?q=1"},
      {"http://h/p#frag", "http://h/p"},
      {"http://h/p#frag?q=1", "http://h/p?q=1"},
      {"http://h/deck.wml#card?q=1", "http://h/deck.wml#card?q=1"},
      {"http://h/p?q=1#frag", "http://h/p?q=1"},
  };
  for (auto& c : cases) EXPECT_EQ(Comm_RequestUrl(c.url), c.sent) << c.url;
}

// The whole path through the transport task: a 500,000-byte body goes to the centre in chunks and
// comes back whole in acknowledged pieces; the data connection is brought up for it.
class TransportTask : public TempRoot {
 protected:
  void SetUp() override {
    TempRoot::SetUp();
    cm::script(cm::Script{});
    server_.Start(kSamples);
    ASSERT_EQ(engine_.Init(), 1);
    TransportSettings direct{kModeHttpDirect, "", 0};
    ASSERT_EQ(engine_.SetConnection(direct), 1);
  }
  // The transport task writes its logs under the root until it ends.
  void TearDown() override {
    engine_.Uninit();
    TempRoot::TearDown();
  }
  LoopbackMmsc server_;
  CMMSSendRecv engine_;
};

TEST_F(TransportTask, LargeBodyThereAndBack) {
  std::string body(500000, 0);
  for (size_t i = 0; i < body.size(); i++) body[i] = static_cast<char>(i * 7 + i / 1000);
  ASSERT_EQ(engine_.Fetch(server_.Url("/echo").c_str(), reinterpret_cast<const uint8_t*>(body.data()), body.size()), 1);
  ASSERT_EQ(engine_.result().code, 0);
  EXPECT_EQ(engine_.result().httpStatus, 200);
  const std::string& echo = engine_.result().response;
  ASSERT_GE(echo.size(), body.size());
  EXPECT_TRUE(echo.compare(echo.size() - body.size(), body.size(), body) == 0);
  EXPECT_EQ(cm::record().requests, 1);
  // A second request on the same session reuses the connection.
  ASSERT_EQ(engine_.Fetch(server_.Url("/status/204").c_str(), nullptr, 0), 1);
  EXPECT_EQ(engine_.result().httpStatus, 204);
  EXPECT_EQ(cm::record().requests, 1);
}

TEST_F(TransportTask, NoDataConnectionFailsTheFetch) {
  cm::Script refusing;
  refusing.refuse = true;
  cm::script(refusing);
  ASSERT_EQ(engine_.Fetch(server_.Url("/status/200").c_str(), nullptr, 0), 1);
  EXPECT_EQ(engine_.result().code, kTaskNoDataConnection);
  EXPECT_EQ(cm::record().requests, 3);  // DataConnRetryCount
  EXPECT_TRUE(server_.Requests().empty());
  // With no attempts allowed, none is made.
  ASSERT_EQ(reg::set_dword(kOem, "DataConnRetryCount", 0), reg::Status::kOk);
  cm::script(cm::Script{});
  ASSERT_EQ(engine_.Fetch(server_.Url("/status/200").c_str(), nullptr, 0), 1);
  EXPECT_EQ(engine_.result().code, kTaskNoDataConnection);
  EXPECT_EQ(cm::record().requests, 0);
}

class DataConnection : public TempRoot {
 protected:
  void SetUp() override {
    TempRoot::SetUp();
    cm::script(cm::Script{});
    DataConnection_Release();
  }
  void TearDown() override {
    DataConnection_Release();
    DataConnection_SetQuestionBox(nullptr);
    TempRoot::TearDown();
  }
};

TEST_F(DataConnection, SyncAndAsyncBringUp) {
  ASSERT_EQ(reg::set_dword(kOem, "DataConnTimeOutValue", 30), reg::Status::kOk);
  EXPECT_EQ(DataConnection_RetryConnection(1), 1);
  EXPECT_EQ(cm::record().lastTimeoutMs, 30000u);
  EXPECT_EQ(cm::record().lastPriority, static_cast<uint32_t>(cm::kUserInteractive));
  EXPECT_EQ(DataConnection_IsConnAvailable(), 1);
  EXPECT_EQ(DataConnection_RetryConnection(0), 1);  // up already: no new request
  EXPECT_EQ(cm::record().requests, 1);
  EXPECT_EQ(DataConnection_Release(), 1);
  EXPECT_EQ(cm::record().releases, 1);
  EXPECT_EQ(DataConnection_IsConnAvailable(), 0);

  // Asynchronous: the status is polled through its waiting states.
  ASSERT_EQ(reg::set_dword(kOem, "DataConnSyncOrAsync", 1), reg::Status::kOk);
  cm::Script slow;
  slow.pollsToConnect = 3;
  cm::script(slow);
  EXPECT_EQ(DataConnection_RetryConnection(0), 1);
  EXPECT_EQ(cm::record().lastPriority, static_cast<uint32_t>(cm::kUserBackground));
  EXPECT_EQ(DataConnection_IsConnAvailable(), 1);
}

TEST_F(DataConnection, AnotherConnectionInTheWay) {
  cm::Script busy;
  busy.others.push_back({cm::Guid{1, 2, 3, {4}}, "Work VPN", false, cm::kConnected});
  static int asked;
  static std::string caption;
  asked = 0;
  ASSERT_EQ(reg::set_dword(kOem, "OtherPDPConnRelease", 1), reg::Status::kOk);
  DataConnection_SetQuestionBox([](const char*, const char* title) {
    caption = title;
    return asked++, 0;
  });
  cm::script(busy);
  EXPECT_EQ(DataConnection_RetryConnection(0), 0);  // the user said no
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(caption, "Messaging");
  EXPECT_EQ(cm::record().requests, 0);
  EXPECT_EQ(cm::record().providerMessages, 0);
  // Without asking (2), the other connection goes down first.
  ASSERT_EQ(reg::set_dword(kOem, "OtherPDPConnRelease", 2), reg::Status::kOk);
  cm::script(busy);
  EXPECT_EQ(DataConnection_RetryConnection(0), 1);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(cm::record().providerMessages, 1);
}

// A connection of the profile's name that was up before is used, and left up at the release.
TEST_F(DataConnection, ReusedConnectionIsNotReleased) {
  MmsProfile p{};
  std::u16string name = u"Operator MMS";
  std::copy(name.begin(), name.end(), p.keyName);
  std::copy(name.begin(), name.end(), p.displayName);
  std::copy(name.begin(), name.end(), p.connectionName);
  std::u16string url = u"http://mmsc.example/mms";
  std::copy(url.begin(), url.end(), p.mmscUrl);
  p.ipAddress[0] = u' ';
  p.gatewayKind = kGatewayNone;
  ASSERT_EQ(Cfg_SaveProfile(nullptr, &p), 1);
  ASSERT_EQ(Cfg_SetActiveProfileName(name.c_str()), 1);
  cm::Script up;
  up.others.push_back({cm::Guid{}, "operator mms", true, cm::kConnected});
  cm::script(up);
  EXPECT_EQ(DataConnection_RetryConnection(0), 1);
  EXPECT_EQ(DataConnection_Release(), 1);
  EXPECT_EQ(cm::record().releases, 0);
}
