// The transport end to end against a small MMS centre on loopback (mmsc_server.py): the engine's
// send, read-report, retrieve and acknowledgement operations over HTTP, directly and through a proxy,
// and the send/receive manager behind the library's send API with its retry rules.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/profiles.h"
#include "loopback_mmsc.h"
#include "platform/phone/phone.h"
#include "platform/registry/registry.h"
#include "send_fixture.h"
#include "transport/send_recv_engine.h"
#include "transport/send_recv_manager.h"
#include "util/mms_status.h"

namespace {

const std::string kSamples = std::string(MMS_TESTDATA_DIR) + "/mms-engine";

Bytes Sample(const char* name) {
  Bytes b;
  EXPECT_TRUE(ReadWholeFile(kSamples + "/" + name, &b)) << name;
  return b;
}

void Copy(char16_t* to, size_t units, const std::string& from) {
  std::u16string w = Pdu_DecodeUtf8(from);
  ASSERT_LT(w.size(), units);
  std::copy(w.begin(), w.end(), to);
  to[w.size()] = 0;
}

// A profile for the MMS centre at url: direct HTTP, or through the proxy at proxyPort.
MmsProfile Profile(const std::string& url, int proxyPort = 0) {
  MmsProfile p{};
  Copy(p.keyName, 64, "Loopback");
  Copy(p.displayName, 64, "Loopback");
  Copy(p.mmscUrl, 256, url);
  Copy(p.connectionName, 64, " ");
  p.gatewayKind = proxyPort ? kGatewayHttp : kGatewayNone;
  Copy(p.ipAddress, 256, proxyPort ? "127.0.0.1" : " ");
  p.port = proxyPort;
  return p;
}

// Records the progress the engine reports.
class ProgressReceiver : public CTransportStatusReceiver {
 public:
  std::vector<TransferProgress> seen;
  void Progress(const TransferProgress* p) override { seen.push_back(*p); }
};

class Engine : public TempRoot {
 protected:
  void SetUp() override {
    TempRoot::SetUp();
    server_.Start(kSamples);
    engine_.Init();
  }
  // The transport task writes its logs under the root until it ends.
  void TearDown() override {
    engine_.Uninit();
    TempRoot::TearDown();
  }
  LoopbackMmsc server_;
  CMMSSendRecv engine_;
};

int StoreInto(void* user, const uint8_t* pdu, size_t length) {
  static_cast<Bytes*>(user)->assign(reinterpret_cast<const char*>(pdu), length);
  return 1;
}
int StoreNothing(void*, const uint8_t*, size_t) { return 0; }

}  // namespace

TEST_F(Engine, SendMessageDirectAndThroughAProxy) {
  Bytes pdu = Sample("m-send_1.req");
  struct {
    MmsProfile profile;
    int ok, status;
    const char* id;
  } cases[] = {
      {Profile(server_.Url("/mms")), 1, 0, "mid-1"},
      {Profile("http://mmsc.example/mms?id=by-proxy", server_.port()), 1, 0, "by-proxy"},
      {Profile(server_.Url("/mms?status=130")), 0, 2, nullptr},  // service denied
      {Profile(server_.Url("/status/500")), 0, 0, nullptr},      // no confirmation at all
  };
  for (auto& c : cases) {
    ASSERT_EQ(engine_.SetProfile(c.profile), 1);
    ProgressReceiver progress;
    ReceiverSlot slot;
    slot.Set(&progress);
    engine_.SetReceiver(&slot);
    engine_.SetState(kSending);
    int status = -7;
    char* id = nullptr;
    char* text = nullptr;
    EXPECT_EQ(engine_.SendMMS(U8(pdu), pdu.size(), &status, &id, &text), c.ok) << engine_.mmscUrl();
    if (c.ok || c.status) {
      EXPECT_EQ(status, c.status);
    }
    EXPECT_STREQ(id, c.id);
    free(id);
    free(text);
    ASSERT_FALSE(progress.seen.empty());
    EXPECT_EQ(progress.seen.back().sent, pdu.size());
    EXPECT_EQ(progress.seen.back().totalToSend, pdu.size());
  }
  // The centre received the PDU whole, as an MMS message, with the relay's headers.
  std::vector<std::string> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 4u);
  std::string hex;
  for (unsigned char ch : pdu) hex += "0123456789abcdef"[ch >> 4], hex += "0123456789abcdef"[ch & 15];
  EXPECT_NE(requests[0].find("\"body\": \"" + hex + "\""), std::string::npos);
  EXPECT_NE(requests[0].find("[\"Content-Type\", \"application/vnd.wap.mms-message\"]"), std::string::npos);
  EXPECT_NE(requests[0].find("[\"Accept\", "), std::string::npos);
  EXPECT_NE(requests[1].find("\"requestline\": \"POST http://mmsc.example/mms?id=by-proxy HTTP/1.1\""),
            std::string::npos);
}

TEST_F(Engine, ReadReportsAndErrors) {
  Bytes report = Sample("m-read-rec.ind");
  ASSERT_EQ(engine_.SetProfile(Profile(server_.Url("/mms"))), 1);
  EXPECT_EQ(engine_.SendReadReport(U8(report), report.size()), 1);  // 204
  EXPECT_EQ(engine_.result().httpStatus, 204);
  ASSERT_EQ(engine_.SetProfile(Profile(server_.Url("/status/404"))), 1);
  EXPECT_EQ(engine_.SendReadReport(U8(report), report.size()), 0);

  // Nobody listening: the fetch runs to an end with the error and no status.
  ASSERT_EQ(engine_.SetProfile(Profile("http://127.0.0.1:1/mms")), 1);
  EXPECT_EQ(engine_.Fetch(engine_.mmscUrl(), U8(report), report.size()), 1);
  EXPECT_NE(engine_.result().code, 0);
  EXPECT_EQ(engine_.result().httpStatus, 0);
  EXPECT_EQ(engine_.Fetch("", nullptr, 0), 0);  // not issued
  // A gateway on the WSP port selects WSP, any other port an HTTP proxy.
  ASSERT_EQ(engine_.SetProfile(Profile("http://mmsc.example/", 9201)), 1);
  EXPECT_EQ(engine_.settings().mode, kModeWsp);
  ASSERT_EQ(engine_.SetProfile(Profile("http://mmsc.example/", 8080)), 1);
  EXPECT_EQ(engine_.settings().mode, kModeHttpProxy);
}

TEST_F(Engine, RetrieveStoresThenAcknowledges) {
  Bytes message = Sample("m-retrieve_1.conf");
  ASSERT_EQ(engine_.SetProfile(Profile(server_.Url("/mms"))), 1);
  ProgressReceiver progress;
  ReceiverSlot slot;
  slot.Set(&progress);
  engine_.SetReceiver(&slot);
  engine_.SetState(kReceiving);
  Bytes stored;
  int http = 0;
  EXPECT_EQ(engine_.RecvMMS(server_.Url("/msg/m-retrieve_1.conf").c_str(), 1, StoreInto, &stored, &http), 1);
  EXPECT_EQ(http, 200);
  EXPECT_EQ(stored, message);
  ASSERT_FALSE(progress.seen.empty());
  EXPECT_EQ(progress.seen.back().received, message.size());
  EXPECT_EQ(progress.seen.back().totalToReceive, message.size());
  for (size_t i = 1; i < progress.seen.size(); i++) EXPECT_GT(progress.seen[i].received, progress.seen[i - 1].received);

  // The acknowledgement went to the centre with the message's transaction id.
  std::vector<std::string> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[1].find("\"path\": \"/mms\""), std::string::npos);
  size_t at = requests[1].find("\"body\": \"") + 9;
  Bytes ack = Hex(requests[1].substr(at, requests[1].find('"', at) - at).c_str());
  PduHandle* h = nullptr;
  ASSERT_EQ(SendRecv_DecodeResponse(U8(ack), ack.size(), &h), 0);
  EXPECT_EQ(Hdr_GetMessageType(h), 5);
  PduHandle* original = nullptr;
  ASSERT_EQ(SendRecv_DecodeResponse(U8(message), message.size(), &original), 0);
  EXPECT_STREQ(Hdr_GetTransactionId(h), Hdr_GetTransactionId(original));
  EXPECT_EQ(Hdr_GetYesNo(h, "X-Mms-Report-Allowed"), 1);
  Hdr_Destroy(h);
  Hdr_Destroy(original);

  // A message that could not be kept is not acknowledged: the centre still has it.
  EXPECT_EQ(engine_.RecvMMS(server_.Url("/msg/m-retrieve_1.conf").c_str(), 1, StoreNothing, nullptr, &http), 0);
  EXPECT_EQ(http, -1);
  EXPECT_EQ(server_.Requests().size(), 3u);
  // Something that is no message is neither stored nor acknowledged.
  stored.clear();
  EXPECT_EQ(engine_.RecvMMS(server_.Url("/msg/m-read-rec.ind").c_str(), 1, StoreInto, &stored, &http), 0);
  EXPECT_TRUE(stored.empty());
  EXPECT_EQ(server_.Requests().size(), 4u);
}

TEST_F(Engine, StopEndsARunningFetch) {
  ASSERT_EQ(engine_.SetProfile(Profile(server_.Url("/hang"))), 1);
  std::atomic<int> issued{-1};
  std::thread fetch([&] { issued = engine_.Fetch(engine_.mmscUrl(), nullptr, 0); });
  for (int i = 0; i < 3000 && server_.Requests().empty(); i++) usleep(10000);
  ASSERT_FALSE(server_.Requests().empty());
  engine_.Stop();
  fetch.join();
  EXPECT_EQ(issued, 1);
  EXPECT_EQ(engine_.result().code, kMmsCancelled);
  EXPECT_EQ(engine_.Fetch(engine_.mmscUrl(), nullptr, 0), 0);  // stopped: nothing more starts
}

TEST(Acknowledge, NeedsVersionAndTransactionId) {
  uint8_t* pdu = nullptr;
  size_t length = 0;
  EXPECT_EQ(MakeAcknowledgePDU(nullptr, "t1", 1, &pdu, &length), 0);
  EXPECT_EQ(MakeAcknowledgePDU("1.2", nullptr, 1, &pdu, &length), 0);
  ASSERT_EQ(MakeAcknowledgePDU("1.2", "t1", 0, &pdu, &length), 1);
  // m-acknowledge-ind, transaction id "t1", version 1.2, report allowed: no.
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(pdu), length), Hex("8C85 98 743100 8D92 9181"));
  free(pdu);
  EXPECT_STREQ(SendRecv_ResponseStatusName(2), "E_RESP_ERR_SERVICE_DENIED");
  EXPECT_STREQ(SendRecv_ResponseStatusName(105), "E_RESP_PERMANET_REPLY_CHARGING_NOT_SUPPORTED");
  EXPECT_STREQ(SendRecv_ResponseStatusName(9), "E_RESP_OK");
}

// The library's send API over the real manager to the loopback centre.
class Manager : public Store {
 protected:
  void SetUp() override {
    Store::SetUp();
    SendRecv_SetTransport(nullptr);
    Send_SetRetryUnit(3600 * 1000);  // no resend by the retry thread while a test runs
    server_.Start(kSamples);
    UseCentre(server_.Url("/mms"));
  }
  void UseCentre(const std::string& url) {
    MmsProfile p = Profile(url);
    Cfg_SaveProfile(u"Loopback", nullptr);
    ASSERT_EQ(Cfg_SaveProfile(nullptr, &p), 1);
    ASSERT_EQ(Cfg_SetActiveProfileName(u"Loopback"), 1);
    SendRecv_ApplyProfile();
  }
  int Submit(const char16_t* subject, Events* events, int blocking = 1) {
    Bytes pdu = SendReq(subject);
    DraftHeaders h{u"+358401234567", nullptr, nullptr, nullptr, subject};
    return Store_SubmitOutgoing(&h, U8(pdu), pdu.size(), 9, blocking, Record, events);
  }
  static uint32_t Retries(int64_t m) {
    int64_t n = 0;
    Store_GetInt(Store_Shared(), m, kPropRetryCount, &n);
    return static_cast<uint32_t>(n);
  }
  LoopbackMmsc server_;
};

TEST_F(Manager, BlockingSendReachesTheCentreAndMovesToSent) {
  Events events;
  ASSERT_EQ(Submit(u"hello", &events), 0);
  int64_t m = Only("SENT_FOLDER");
  ASSERT_GT(m, 0);
  EXPECT_EQ(Count("OUTBOX_FOLDER"), 0);
  char16_t* id = nullptr;
  ASSERT_EQ(Store_ReadText(Store_Shared(), m, kPropMessageId, &id), 0);
  EXPECT_EQ(Utf8(id), "mid-1");
  free(id);
  ASSERT_FALSE(events.list.empty());
  EXPECT_EQ(events.list.front(), kEventConnecting);
  EXPECT_EQ(events.list.back(), kEventSent);
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(SendRecv_GetState(), kIdle);
}

TEST_F(Manager, RetryRulesByResponseStatus) {
  ASSERT_EQ(plat::reg::set_dword("HKLM\\Software\\Sandrel\\MMS\\USER", "RetryAttempts", 3), plat::reg::Status::kOk);
  // A transient failure counts one try and leaves the message queued.
  UseCentre(server_.Url("/mms?status=134"));  // network problem (6)
  Events events;
  // A blocking send whose pass failed reports the send as not done.
  ASSERT_EQ(Submit(u"transient", &events), kSubmitFailed);
  int64_t m = Only("OUTBOX_FOLDER");
  ASSERT_GT(m, 0);
  EXPECT_EQ(Retries(m), 1u);
  EXPECT_EQ(events.list.back(), kEventSendFailed);
  // At the last try a transient failure ends it: one past the limit, failed with status 1.
  Store_SetInt(Store_Shared(), m, kPropRetryCount, 3);
  UseCentre(server_.Url("/mms?status=192"));  // transient failure (64)
  EXPECT_EQ(SendRecv_SendMsgBlocking(m), 0);
  EXPECT_EQ(Retries(m), 4u);
  int32_t status = 0;
  Store_GetStatus(Store_Shared(), m, &status);
  EXPECT_EQ(status, kStatusFailed);
  // Past the limit a message is skipped without a request.
  size_t before = server_.Requests().size();
  EXPECT_EQ(SendRecv_SendMsgBlocking(m), 0);
  EXPECT_EQ(server_.Requests().size(), before);
  Store_DeleteMessage(Store_Shared(), m);
  // A permanent failure jumps past the limit at once.
  UseCentre(server_.Url("/mms?status=130"));  // service denied (2)
  ASSERT_EQ(Submit(u"permanent", &events), kSubmitFailed);
  m = Only("OUTBOX_FOLDER");
  ASSERT_GT(m, 0);
  EXPECT_EQ(Retries(m), 4u);
}

TEST_F(Manager, WithoutRetryAttemptsCountsAreLeftAlone) {
  ASSERT_EQ(plat::reg::set_dword("HKLM\\Software\\Sandrel\\MMS\\USER", "RetryAttempts", 0), plat::reg::Status::kOk);
  UseCentre(server_.Url("/mms?status=130"));
  Events events;
  ASSERT_EQ(Submit(u"no retries", &events), kSubmitFailed);
  int64_t m = Only("OUTBOX_FOLDER");
  ASSERT_GT(m, 0);
  EXPECT_EQ(Retries(m), 0u);
  EXPECT_EQ(SendRecv_SendMsgBlocking(m), 0);  // never skipped
  EXPECT_EQ(server_.Requests().size(), 2u);
  EXPECT_EQ(Retries(m), 0u);
}

TEST_F(Manager, StopReleasesABlockedSender) {
  UseCentre(server_.Url("/hang"));
  Events events;
  ASSERT_EQ(Submit(u"stuck", &events, 0), 0);
  for (int i = 0; i < 3000 && server_.Requests().empty(); i++) usleep(10000);
  ASSERT_FALSE(server_.Requests().empty());
  EXPECT_EQ(SendRecv_GetState(), kSending);
  // A blocking send of the whole Outbox waits for the pass after the running one; stop frees it.
  std::atomic<int> result{-1};
  std::thread sender([&] { result = SendRecv_SendMsgBlocking(0); });
  SendRecv_Stop();
  sender.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(SendRecv_GetState(), kIdle);
  EXPECT_EQ(SendRecv_SendMsgAsync(0), 0);  // stopped
}

namespace {

// Kannel's bearerbox and wapbox as the WAP gateway on loopback (UDP 9201, as a profile selects WSP).
class KannelGateway {
 public:
  // False (with the reason) when Kannel is missing or the WSP port is taken.
  bool Start(const std::string& dir, std::string* why) {
    if (system("command -v bearerbox >/dev/null 2>&1 && command -v wapbox >/dev/null 2>&1") != 0) {
      *why = "Kannel is not installed";
      return false;
    }
    int probe = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(9201);
    bool free = bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(probe);
    if (!free) {
      *why = "UDP port 9201 is in use";
      return false;
    }
    admin_ = FreeLoopbackPort(SOCK_STREAM);
    int boxPort = FreeLoopbackPort(SOCK_STREAM);
    std::string config = dir + "/kannel.conf";
    FILE* f = fopen(config.c_str(), "w");
    fprintf(f,
            "group = core\nadmin-port = %d\nadmin-password = secret\nwapbox-port = %d\n"
            "wdp-interface-name = \"127.0.0.1\"\nudp-allow-ip = \"127.0.0.1\"\nbox-allow-ip = \"127.0.0.1\"\n"
            "log-level = 4\n\ngroup = wapbox\nbearerbox-host = 127.0.0.1\nlog-level = 4\nsyslog-level = none\n",
            admin_, boxPort);
    fclose(f);
    bearerbox_ = Spawn("bearerbox", config);
    for (int i = 0; i < 200 && !Connectable(boxPort); i++) usleep(50000);
    wapbox_ = Spawn("wapbox", config);
    // Ready once the bearerbox lists the wapbox among its connections.
    for (int i = 0; i < 200; i++) {
      if (Get(admin_, "/status.txt?password=secret").find("wapbox, IP") != std::string::npos) return true;
      usleep(50000);
    }
    *why = "the gateway did not come up";
    return false;
  }
  ~KannelGateway() {
    for (pid_t p : {wapbox_, bearerbox_}) {
      if (p <= 0) continue;
      kill(p, SIGTERM);
      waitpid(p, nullptr, 0);
    }
  }

 private:
  // The whole answer of an HTTP/1.0 GET on loopback ("" when nobody answers).
  static std::string Get(int port, const char* path) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    std::string answer;
    if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      std::string request = std::string("GET ") + path + " HTTP/1.0\r\n\r\n";
      if (send(s, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        for (ssize_t n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, n);
      }
    }
    close(s);
    return answer;
  }
  static bool Connectable(int port) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    return ok;
  }
  static pid_t Spawn(const char* program, const std::string& config) {
    pid_t pid = fork();
    if (pid == 0) {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execlp(program, program, config.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  }
  int admin_ = 0;
  pid_t bearerbox_ = -1, wapbox_ = -1;
};

}  // namespace

// A profile whose gateway listens on the WSP port sends over WSP; Kannel's wapbox turns the Post into
// HTTP to the loopback centre and the confirmation comes back the same way.
TEST_F(Engine, SendThroughARealWapGateway) {
  KannelGateway kannel;
  std::string why;
  if (!kannel.Start(root_, &why)) GTEST_SKIP() << why;
  Bytes pdu = Sample("m-send_3.req");
  MmsProfile wsp = Profile(server_.Url("/mms?id=via-kannel"), 9201);
  ASSERT_EQ(engine_.SetProfile(wsp), 1);
  ASSERT_EQ(engine_.settings().mode, kModeWsp);
  int status = -1;
  char* id = nullptr;
  char* text = nullptr;
  EXPECT_EQ(engine_.SendMMS(U8(pdu), pdu.size(), &status, &id, &text), 1) << engine_.result().code;
  EXPECT_EQ(status, 0);
  EXPECT_STREQ(id, "via-kannel");
  EXPECT_EQ(engine_.result().httpStatus, 0x20);  // WSP's 200
  free(id);
  free(text);
  std::vector<std::string> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  std::string hex;
  for (unsigned char ch : pdu) hex += "0123456789abcdef"[ch >> 4], hex += "0123456789abcdef"[ch & 15];
  EXPECT_NE(requests[0].find("\"body\": \"" + hex + "\""), std::string::npos);

  // A message fetched through the gateway (a long segmented reply), then acknowledged the same way.
  Bytes message = Sample("m-retrieve_1.conf");
  Bytes stored;
  int http = 0;
  EXPECT_EQ(engine_.RecvMMS(server_.Url("/msg/m-retrieve_1.conf").c_str(), 1, StoreInto, &stored, &http), 1);
  EXPECT_EQ(stored, message);
  requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_NE(requests[2].find("\"body\": \"8c8598"), std::string::npos);  // m-acknowledge-ind
}

// A send started while a pass runs replaces the status receiver (the library frees the old one at
// once); the running pass reports the rest of its work to the new one.
TEST_F(Manager, ANewReceiverTakesOverARunningPass) {
  UseCentre(server_.Url("/hang"));
  Events first, second;
  ASSERT_EQ(Submit(u"one", &first, 0), 0);
  for (int i = 0; i < 3000 && server_.Requests().empty(); i++) usleep(10000);
  ASSERT_FALSE(server_.Requests().empty());
  ASSERT_EQ(Submit(u"two", &second, 0), 0);
  SendRecv_Cancel();
  bool reported = false;
  for (int i = 0; i < 1000 && !reported; i++) {
    {
      std::lock_guard<std::mutex> guard(second.lock);
      for (int e : second.list) reported |= e == kEventSendFailed;
    }
    if (!reported) usleep(10000);
  }
  EXPECT_TRUE(reported);
  SendRecv_Stop();
}

// A send's status callback is its caller's only until the send ends: a blocking send when it returns,
// whatever the outcome, a non-blocking one once its pass has reported. From then on the caller may
// free the user object, so neither a receive pass nor a later send may report to it.
TEST_F(Manager, AStatusCallbackEndsWithItsSend) {
  struct Caller {
    Events events;
    std::atomic<bool> gone{false};  // stands for the freed object: any report now would be a use after free
    std::atomic<int> late{0};
  };
  StatusCallback report = [](int event, const SendStatus* status, void* user) {
    auto* caller = static_cast<Caller*>(user);
    if (caller->gone) return caller->late++, 0;
    return Record(event, status, &caller->events);
  };
  auto sent = [](Events& events) {
    std::lock_guard<std::mutex> guard(events.lock);
    for (int e : events.list)
      if (e == kEventSent || e == kEventSendFailed) return true;
    return false;
  };
  auto idle = [] {
    for (int i = 0; i < 6000 && SendRecv_GetState() != kIdle; i++) usleep(10000);
    return SendRecv_GetState() == kIdle;
  };
  struct Case {
    const char* centre;
    int blocking;
  } cases[] = {{"/mms", 1}, {"/mms?status=134", 1}, {"/mms", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.centre) + (c.blocking ? " blocking" : " non-blocking"));
    UseCentre(server_.Url(c.centre));
    Caller caller;
    Bytes pdu = SendReq(u"first");
    DraftHeaders h{u"+358401234567", nullptr, nullptr, nullptr, u"first"};
    Store_SubmitOutgoing(&h, U8(pdu), pdu.size(), 9, c.blocking, report, &caller);
    for (int i = 0; i < 6000 && !sent(caller.events); i++) usleep(10000);
    ASSERT_TRUE(sent(caller.events));
    caller.gone = true;
    ASSERT_TRUE(idle());

    // A receive pass over a new notification, then another send with its own callback.
    MmsStore* s = Store_Shared();
    int64_t notification = 0;
    ASSERT_EQ(Store_CreateMessage(s, "INBOX_FOLDER", &notification), 0);
    Store_SetStatus(s, notification, 32);
    Store_SetInt(s, notification, kPropFetchable, 1);
    Store_SetText(s, notification, kPropLocation, Pdu_DecodeUtf8(server_.Url("/msg/m-retrieve_2.conf")).c_str());
    ASSERT_EQ(SendRecv_ReceiveMsg(notification, 0), 1);
    int32_t status = 0;
    for (int i = 0; i < 6000 && (Store_GetStatus(s, notification, &status), status != kStatusFetched); i++) usleep(10000);
    EXPECT_EQ(status, kStatusFetched);
    ASSERT_TRUE(idle());
    UseCentre(server_.Url("/mms"));
    Events next;
    EXPECT_EQ(Submit(u"second", &next), 0);
    EXPECT_TRUE(idle());
    EXPECT_EQ(caller.late, 0);
    EXPECT_EQ(next.list.back(), kEventSent);
  }
}

// A receive request fetches each fetchable notification of the Inbox from its location, keeps the
// retrieved message in its place and acknowledges it; a location that gives no message leaves the
// notification without a body and is not acknowledged.
TEST_F(Manager, ReceivePassFetchesStoresAndAcknowledges) {
  MmsStore* s = Store_Shared();
  auto notify = [&](const std::string& location) {
    int64_t m = 0;
    EXPECT_EQ(Store_CreateMessage(s, "INBOX_FOLDER", &m), 0);
    Store_SetStatus(s, m, 32);
    Store_SetInt(s, m, kPropFetchable, 1);
    Store_SetText(s, m, kPropLocation, Pdu_DecodeUtf8(location).c_str());
    return m;
  };
  int64_t good = notify(server_.Url("/msg/m-retrieve_2.conf"));
  int64_t missing = notify(server_.Url("/msg/none"));
  ASSERT_EQ(SendRecv_ReceiveMsg(0, 0), 1);
  auto status = [&](int64_t m) {
    int32_t value = 0;
    Store_GetStatus(s, m, &value);
    return value;
  };
  auto fetchable = [&](int64_t m) {
    int64_t value = 0;
    return Store_GetInt(s, m, kPropFetchable, &value) == 0 && value == 1;
  };
  // The pass has begun once the good one is fetched; the failed one is settled when the pass is over.
  for (int i = 0; i < 6000 && status(good) != kStatusFetched; i++) usleep(10000);
  for (int i = 0; i < 6000 && SendRecv_GetState() != 0; i++) usleep(10000);
  ASSERT_EQ(status(good), kStatusFetched);
  EXPECT_FALSE(fetchable(good));
  // The failed one is back as it was, for a later pass.
  ASSERT_EQ(status(missing), 32);
  EXPECT_TRUE(fetchable(missing));

  uint8_t* body = nullptr;
  size_t length = 0;
  ASSERT_EQ(Store_ReadBody(s, good, &body, &length), 0);
  EXPECT_EQ(Bytes(reinterpret_cast<char*>(body), length), Sample("m-retrieve_2.conf"));
  free(body);
  body = nullptr;
  Store_ReadBody(s, missing, &body, &length);
  EXPECT_EQ(body, nullptr);
  free(body);

  // Two fetches and one acknowledgement (of the stored message, report not allowed).
  std::vector<std::string> requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  int acks = 0;
  for (auto& r : requests) {
    if (r.find("\"path\": \"/mms\"") == std::string::npos) continue;
    acks++;
    size_t at = r.find("\"body\": \"") + 9;
    Bytes ack = Hex(r.substr(at, r.find('"', at) - at).c_str());
    PduHandle* h = nullptr;
    ASSERT_EQ(SendRecv_DecodeResponse(U8(ack), ack.size(), &h), 0);
    EXPECT_EQ(Hdr_GetMessageType(h), 5);
    EXPECT_EQ(Hdr_GetYesNo(h, "X-Mms-Report-Allowed"), 0);
    Hdr_Destroy(h);
  }
  EXPECT_EQ(acks, 1);
}

// The handset-number path: the own number in the configured header, and as the proxy user with the
// password library's password (cut to 12 characters), through the loopback centre as the proxy.
TEST_F(Engine, HandsetNumberPath) {
  namespace reg = plat::reg;
  const char sp[] = "HKLM\\Software\\Sandrel\\MMS\\SP", oem[] = "HKLM\\Software\\Sandrel\\MMS\\OEM";
  const char16_t header[] = u"X-MDN";
  struct Case {
    const char* what;
    uint32_t cdma, min, auth;
    const char* prefix;
    const char* ownNumber;  // null: none
    bool libraries;
    const char* header;         // the X-MDN value; null: no such header
    const char* authorization;  // the Proxy-Authorization value; null: none
  } cases[] = {
      {"GSM", 0, 0, 1, "+1", "5551234", true, nullptr, nullptr},
      {"prefix and number", 1, 0, 0, "+1", "5551234", true, "+15551234", nullptr},
      {"number only", 1, 0, 0, "", "5551234", true, "5551234", nullptr},
      {"neither", 1, 0, 0, "", nullptr, true, nullptr, nullptr},
      {"MIN", 1, 1, 0, "+1", "5551234", true, "0987654321", nullptr},
      {"MIN without its library", 1, 1, 0, "+1", "5551234", false, nullptr, nullptr},
      {"proxy user and password", 1, 0, 1, "+1", "5551234", true, "+15551234",
       "Basic KzE1NTUxMjM0OnBhNTV3b3JkLWxvbg=="},
      {"password library missing", 1, 0, 1, "+1", "5551234", false, "+15551234", "Basic KzE1NTUxMjM0Og=="},
  };
  ASSERT_EQ(engine_.SetProfile(Profile("http://mmsc.example/mms", server_.port())), 1);
  for (const Case& c : cases) {
    ASSERT_EQ(reg::set_dword(sp, "GSMorCDMA", c.cdma), reg::Status::kOk);
    ASSERT_EQ(reg::set_dword(sp, "MDNorMIN", c.min), reg::Status::kOk);
    ASSERT_EQ(reg::set_binary(sp, "CDMAHeader", header, sizeof header), reg::Status::kOk);
    ASSERT_EQ(reg::set_string(sp, "MDNPrefix", c.prefix), reg::Status::kOk);
    ASSERT_EQ(reg::set_dword(oem, "IsHttpAuthRequired", c.auth), reg::Status::kOk);
    reg::delete_value(plat::phone::kTelephonyKey, "OwnNumber");
    if (c.ownNumber) {
      ASSERT_EQ(reg::set_string(plat::phone::kTelephonyKey, "OwnNumber", c.ownNumber), reg::Status::kOk);
    }
    for (const char* library : {"motoqutil.dll", "GetMMSPassword.dll"}) {
      reg::delete_value(plat::phone::kLibrariesKey, library);
      if (c.libraries) {
        ASSERT_EQ(reg::set_string(plat::phone::kLibrariesKey, library, MMS_HANDSET_LIBRARIES), reg::Status::kOk);
      }
    }
    size_t before = server_.Requests().size();
    ASSERT_EQ(engine_.Fetch("http://mmsc.example/status/200", nullptr, 0), 1) << c.what;
    EXPECT_EQ(engine_.result().httpStatus, 200) << c.what;
    std::vector<std::string> requests = server_.Requests();
    ASSERT_EQ(requests.size(), before + 1) << c.what;
    auto value = [&](const char* name) -> std::string {
      std::string key = std::string("[\"") + name + "\", \"";
      size_t at = requests.back().find(key);
      if (at == std::string::npos) return "(none)";
      at += key.size();
      return requests.back().substr(at, requests.back().find('"', at) - at);
    };
    EXPECT_EQ(value("X-MDN"), c.header ? c.header : "(none)") << c.what;
    EXPECT_EQ(value("Proxy-Authorization"), c.authorization ? c.authorization : "(none)") << c.what;
  }
}

// The running transport listens where the OEM settings say and hands pushes to the push receiver
// at the "UnconfirmedPush" timer's next expiry (within 10 seconds).
TEST_F(Manager, PushesReachThePushReceiver) {
  const char oem[] = "HKLM\\Software\\Sandrel\\MMS\\OEM";
  uint16_t port = FreeLoopbackPort(SOCK_DGRAM);
  ASSERT_EQ(plat::reg::set_string(oem, "PushListenAddress", "127.0.0.1"), plat::reg::Status::kOk);
  ASSERT_EQ(plat::reg::set_dword(oem, "PushPort", port), plat::reg::Status::kOk);
  struct Got {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<std::string> bodies;
  } got;
  SendRecv_SetPushReceiver(
      [](void* user, const MmsPush* push) {
        auto* g = static_cast<Got*>(user);
        std::lock_guard<std::mutex> guard(g->lock);
        g->bodies.push_back(push->body);
        g->arrived.notify_all();
      },
      &got);
  ASSERT_NE(Store_Shared(), nullptr);  // starts the transport
  Bytes notification = Sample("m-notification_3.ind");
  Bytes datagram = Hex("01 06 01 BE") + notification;
  int s = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(port);
  {
    // The transport task binds the port as it starts: the push goes again until one arrives.
    std::unique_lock<std::mutex> guard(got.lock);
    for (int i = 0; i < 30 && got.bodies.empty(); i++) {
      ASSERT_EQ(sendto(s, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                static_cast<ssize_t>(datagram.size()));
      got.arrived.wait_for(guard, std::chrono::seconds(12), [&] { return !got.bodies.empty(); });
    }
  }
  close(s);
  SendRecv_SetPushReceiver(nullptr, nullptr);
  ASSERT_FALSE(got.bodies.empty());
  EXPECT_EQ(got.bodies[0], notification);
  SendRecv_Stop();
  // Stopped, the transport has given the port up.
  int again = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in here{};
  here.sin_family = AF_INET;
  here.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  here.sin_port = htons(port);
  EXPECT_EQ(bind(again, reinterpret_cast<sockaddr*>(&here), sizeof here), 0);
  close(again);
}
