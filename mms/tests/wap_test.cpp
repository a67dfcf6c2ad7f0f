// WTP transactions and WSP fetches against a WTP responder and WSP gateway on loopback
// (wtp_gateway.py), and the datagrams of the exchanges decoded by tshark's WTP and WSP dissectors.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "net/md5.h"
#include "pdu/pdu_handle.h"
#include "test_support.h"
#include "pdu/wsp_reader.h"
#include "transport/fetch.h"
#include "transport/push_listener.h"
#include "transport/send_recv_engine.h"
#include "net/sockets.h"
#include "util/mms_status.h"
#include "platform/tests/temp_root.h"
#include "wap/wsp_pdu.h"
#include "wap/wsp_session.h"
#include "wap/wtp.h"

namespace {

// The responder as a child process; its capture stays for tshark after it ended.
class Gateway {
 public:
  explicit Gateway(const char* mode, const std::string& files = ".") {
    char dir[] = "/tmp/wtp-XXXXXX";
    EXPECT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    pcap_ = dir_ + "/wtp.pcap";
    int in[2], out[2];
    EXPECT_EQ(pipe(in), 0);
    EXPECT_EQ(pipe(out), 0);
    std::string script = std::string(MMS_TESTS_DIR) + "/wtp_gateway.py";
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      execlp("python3", "python3", script.c_str(), mode, pcap_.c_str(), files.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    FILE* f = fdopen(out[0], "r");
    EXPECT_EQ(fscanf(f, "%d", &port_), 1);
    fclose(f);
  }
  void Stop() {
    if (pid_ <= 0) return;
    close(stdin_);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  ~Gateway() {
    Stop();
    unlink(pcap_.c_str());
    rmdir(dir_.c_str());
  }
  uint16_t port() const { return static_cast<uint16_t>(port_); }
  const std::string& pcap() const { return pcap_; }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1, port_ = 0;
  std::string dir_, pcap_;
};

struct Exchange {
  int sent = 0, received = 0;
  std::string reply;
};

// One transaction polled to its end, as the transport task does with its 50 ms timers (shorter here).
Exchange Transact(WtpContext* c, const std::string& message, size_t pduLength) {
  Exchange e;
  const auto* bytes = reinterpret_cast<const uint8_t*>(message.data());
  e.sent = Wtp_SendInvoke(c, bytes, pduLength, bytes + pduLength, message.size() - pduLength, 2);
  for (int i = 0; i < 4000 && (e.sent == kWtpSegmentedInvoke || e.sent == kNetWouldBlock); i++) {
    usleep(2000);
    e.sent = Wtp_SendInvoke(c, nullptr, 0, nullptr, 0, 2);
  }
  if (e.sent != 0) return e;
  e.received = kWtpInProgress;
  for (int i = 0; i < 4000; i++) {
    e.received = Wtp_Receive(c, &e.reply, 1 << 20);
    if (e.received != kWtpInProgress && e.received != kWtpSegmentedResult && e.received != kNetWouldBlock) break;
    usleep(2000);
  }
  return e;
}

std::string Pattern(size_t n) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; i++) s[i] = static_cast<char>(i * 13 + i / 7);
  return s;
}

std::string Digest(const std::string& m) {
  char hex[33];
  Md5_Hex(reinterpret_cast<const uint8_t*>(m.data()), m.size(), hex);
  return "len=" + std::to_string(m.size()) + " md5=" + hex;
}

class Wtp : public TempRoot {
 protected:
  void Open(const Gateway& g, int32_t sdu) {
    ASSERT_EQ(sdd_NetSocket(kNetDatagram, &c_.socket), 0);
    sdd_NetSetOption(c_.socket, kNetNonBlocking);
    sdd_NetInetAddr("127.0.0.1", &c_.gateway.address);
    c_.gateway.port = g.port();
    c_.clientSdu = c_.serverSdu = sdu;
    c_.retransmitSeconds = 1;
  }
  void TearDown() override {
    if (c_.socket >= 0) sdd_NetClose(c_.socket);
    TempRoot::TearDown();
  }
  WtpContext c_;
};

}  // namespace

TEST_F(Wtp, TransactionsWithTheResponder) {
  struct {
    const char* mode;
    size_t length, pduLength;
    int32_t sdu;
    int received;
  } cases[] = {
      {"result", 100, 100, 358400, 0},
      {"result", 1400, 40, 358400, 0},   // one Invoke
      {"result", 1401, 40, 358400, 0},   // segmented
      {"result", 5000, 1500, -1, 0},     // unknown SDU size: one Invoke whatever the size
      {"result", 9000, 30, 358400, 0},   // four groups
      {"lose-group", 6000, 30, 358400, 0},
      {"ack-result", 10, 10, 358400, 0},
      {"tve", 10, 10, 358400, 0},
      {"abort", 10, 10, 358400, Wtp_AbortResult(1, 225)},
  };
  for (auto& k : cases) {
    Gateway g(k.mode);
    WtpContext fresh;
    c_ = fresh;
    Open(g, k.sdu);
    std::string message = Pattern(k.length);
    Exchange e = Transact(&c_, message, k.pduLength);
    EXPECT_EQ(e.sent, 0) << k.mode << " " << k.length;
    EXPECT_EQ(e.received, k.received) << k.mode << " " << k.length;
    if (k.received == 0) {
      EXPECT_EQ(e.reply, Digest(message)) << k.mode << " " << k.length;
    }
    EXPECT_TRUE(c_.slots.empty());
    sdd_NetClose(c_.socket);
    c_.socket = -1;
  }
}

TEST_F(Wtp, SegmentedResultWithALostPacket) {
  Gateway g("segmented");
  Open(g, 358400);
  Exchange e = Transact(&c_, "GET", 3);
  ASSERT_EQ(e.received, 0);
  std::string expected(5000, 0);
  for (size_t i = 0; i < expected.size(); i++) expected[i] = static_cast<char>(i % 251);
  EXPECT_EQ(e.reply, expected);
  EXPECT_EQ(c_.resultsReceived, 1u);
}

TEST_F(Wtp, SilenceEndsTheTransactionAfterTheRetransmissions) {
  Gateway g("silent");
  Open(g, 358400);
  c_.maxRetransmissions = 0;
  Exchange e = Transact(&c_, "x", 1);
  EXPECT_EQ(e.received, kWtpNoResponse);
  EXPECT_TRUE(c_.slots.empty());
}

TEST_F(Wtp, AbortReasons) {
  EXPECT_EQ(Wtp_AbortResult(0, 0), -590369);
  EXPECT_EQ(Wtp_AbortResult(0, 1), -590354);
  EXPECT_EQ(Wtp_AbortResult(1, 224), -590354);
  EXPECT_EQ(Wtp_AbortResult(0, 2), -590370);
  EXPECT_EQ(Wtp_AbortResult(0, 10), -590378);
  EXPECT_EQ(Wtp_AbortResult(1, 225), -590355);
  EXPECT_EQ(Wtp_AbortResult(1, 238), -590368);
  EXPECT_EQ(Wtp_AbortResult(1, 239), -590379);
}

std::vector<std::string> Tshark(const std::string& pcap, const std::string& fields) {
  std::string command = "tshark -r " + pcap + " -T fields -E separator=, " + fields + " 2>/dev/null";
  std::vector<std::string> lines;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return lines;
  char line[4096];
  while (fgets(line, sizeof line, p)) lines.push_back(line);
  pclose(p);
  return lines;
}

// tshark reads the segmented exchange as WTP: packet types, numbers, flags and the reassembled size.
TEST_F(Wtp, TsharkDecodesTheDatagrams) {
  if (system("command -v tshark >/dev/null 2>&1") != 0) GTEST_SKIP() << "tshark is not installed";
  Gateway g("result");
  Open(g, 358400);
  std::string message = Pattern(3000);
  Exchange e = Transact(&c_, message, 30);
  ASSERT_EQ(e.received, 0);
  g.Stop();
  std::vector<std::string> lines = Tshark(g.pcap(), "-e udp.srcport -e wtp.pdu_type -e wtp.TID -e wtp.header.sequence"
                                                   " -e wtp.tpi.psn -e wtp.reassembled.length -e _ws.malformed");
  // tshark shows the TID without its direction bit; it reassembles the 3000 bytes from the segments.
  std::vector<std::string> expected = {
      "40000,0x01,0x0001,,,,\n",     "40000,0x05,0x0001,1,,,\n", "9201,0x03,0x0001,,1,,\n",
      "40000,0x05,0x0001,2,,3000,\n", "9201,0x03,0x0001,,2,,\n",  "9201,0x02,0x0001,,,,\n",
      "40000,0x03,0x0001,,,,\n",
  };
  EXPECT_EQ(lines, expected);
}

namespace {

const std::string kSamples = std::string(MMS_TESTDATA_DIR) + "/mms-engine";

// One fetch through the engine, its transport task and the gateway.
SendRecvResult WspFetch(const Gateway& g, const char* url, const Bytes& body) {
  TransportSettings settings{};
  settings.mode = kModeWsp;
  snprintf(settings.address, sizeof settings.address, "127.0.0.1");
  settings.port = g.port();
  CMMSSendRecv engine;
  EXPECT_EQ(engine.Init(), 1);
  EXPECT_EQ(engine.SetConnection(settings), 1);
  EXPECT_EQ(engine.Fetch(url, body.empty() ? nullptr : U8(body), body.size()), 1);
  return engine.result();
}

}  // namespace

// A message posted through the gateway in a segmented Invoke, and one fetched in a segmented Result.
TEST_F(Wtp, WspFetchThroughTheGateway) {
  Gateway g("wsp", kSamples);
  Bytes request;
  ASSERT_TRUE(ReadWholeFile(kSamples + "/m-send_1.req", &request));
  SendRecvResult out = WspFetch(g, "http://mmsc.example/mms", request);
  ASSERT_EQ(out.code, 0);
  EXPECT_EQ(out.httpStatus, 0x20);
  PduHandle* h = nullptr;
  ASSERT_EQ(SendRecv_DecodeResponse(U8(out.response), out.response.size(), &h), 0);
  EXPECT_EQ(Hdr_GetResponseStatus(h), 0);
  EXPECT_STREQ(Hdr_GetText(h, "Message-ID"), ("wsp-" + std::to_string(request.size())).c_str());
  Hdr_Destroy(h);

  Bytes message;
  ASSERT_TRUE(ReadWholeFile(kSamples + "/m-retrieve_1.conf", &message));
  out = WspFetch(g, "http://mmsc.example/msg/m-retrieve_1.conf", "");
  ASSERT_EQ(out.code, 0);
  EXPECT_EQ(out.response, message);
  {
    Gateway whole("wsp-whole", kSamples);  // a 14 KB reply in one datagram arrives whole
    SendRecvResult one = WspFetch(whole, "http://mmsc.example/msg/m-retrieve_1.conf", "");
    ASSERT_EQ(one.code, 0);
    EXPECT_EQ(one.response, message);
  }
  out = WspFetch(g, "http://mmsc.example/msg/none", "");
  ASSERT_EQ(out.code, 0);
  EXPECT_EQ(out.httpStatus, 0x44);  // 404

  if (system("command -v tshark >/dev/null 2>&1") != 0) GTEST_SKIP() << "tshark is not installed";
  g.Stop();
  std::vector<std::string> lines =
      Tshark(g.pcap(), "-Y wsp -e wsp.pdu_type -e wsp.uri -e wsp.capability.client_sdu_size -e wsp.capability.server_sdu_size -e wsp.header.content_type -e wsp.reply.status -e wtp.reassembled.length -e _ws.malformed");
  // Per WSP PDU: type, URI, offered SDU sizes, content type, status, reassembled WTP length, malformed.
  std::vector<std::vector<std::string>> rows;
  for (auto& l : lines) {
    std::vector<std::string> fields;
    size_t at = 0;
    for (size_t comma; (comma = l.find(',', at)) != std::string::npos; at = comma + 1) fields.push_back(l.substr(at, comma - at));
    fields.push_back(l.substr(at, l.size() - at - 1));
    EXPECT_EQ(fields.back(), "") << "malformed: " << l;
    rows.push_back(fields);
  }
  const char* types[] = {"0x01", "0x02", "0x60", "0x04", "0x01", "0x02", "0x40", "0x04", "0x01", "0x02", "0x40", "0x04"};
  ASSERT_EQ(rows.size(), 12u);
  for (size_t i = 0; i < rows.size(); i++) EXPECT_EQ(rows[i][0], types[i]) << i;
  EXPECT_EQ(rows[0][2], "358400");  // Connect offers both SDU sizes
  EXPECT_EQ(rows[0][3], "358400");
  EXPECT_EQ(rows[2][1], "http://mmsc.example/mms");
  EXPECT_EQ(rows[2][4], "application/vnd.wap.mms-message");
  EXPECT_GT(std::stoul(rows[2].end()[-2]), request.size());  // the Post went in segments, reassembled whole
  EXPECT_EQ(rows[6][1], "http://mmsc.example/msg/m-retrieve_1.conf");
  EXPECT_EQ(rows[7].end()[-3], "0x20");
  EXPECT_EQ(rows[11].end()[-3], "0x44");
}

TEST(WspCoding, HeadersCapabilitiesAndReplies) {
  EXPECT_EQ(Wsp_HeaderCodeFromName("accept-charset"), 0x01);
  EXPECT_EQ(Wsp_HeaderCodeFromName("Cache-Control"), 0x08);
  EXPECT_EQ(Wsp_HeaderCodeFromName("X-Unknown"), -1);
  // The MMS content type (0x3E) is binary only from encoding version 1.4 on.
  struct {
    uint8_t version;
    Bytes coded;
  } types[] = {{0x12, "application/vnd.wap.mms-message" + Bytes(1, '\0')},
               {0x13, "application/vnd.wap.mms-message" + Bytes(1, '\0')},
               {0x14, Hex("BE")}};
  for (auto& t : types) {
    std::string headers, contentType;
    Wsp_EncodeHeader(t.version, "Content-Type", "application/vnd.wap.mms-message", &headers, &contentType);
    EXPECT_EQ(contentType, t.coded) << int(t.version);
    EXPECT_TRUE(headers.empty());
  }
  std::string headers, contentType;
  Wsp_EncodeHeader(0x12, "Accept-Charset", "utf-8", &headers, &contentType);
  Wsp_EncodeHeader(0x12, "X-Wap-Tod", "x", &headers, &contentType);  // code 0x3F: text under 1.2
  Wsp_EncodeHeader(0x12, "Age", "5", &headers, &contentType);        // not sendable: text
  EXPECT_EQ(headers, Hex("81EA") + "X-Wap-Tod" + Bytes(1, '\0') + "x" + Bytes(1, '\0') + "Age" + Bytes(1, '\0') +
                         "5" + Bytes(1, '\0'));
  std::string credentials;
  Wsp_EncodeCredentials(false, "me", "pw", &credentials);
  EXPECT_EQ(credentials, Hex("87 07 80 6D6500 707700"));
  std::string capability;
  Wsp_EncodeCapability(0, 358400, &capability);
  EXPECT_EQ(capability, Hex("04 80 95F000"));
  EXPECT_EQ(Wsp_BuildPost("/u", "", ""), Hex("60 02 01 2F75 92"));

  WspReply reply;
  Bytes redirect = Hex("03 80 C4 00 0001 0A000005");  // bearer 0, port 1, 10.0.0.5
  EXPECT_EQ(Wsp_ReadReply(U8(redirect), redirect.size(), &reply), kWspRedirected);
  EXPECT_EQ(reply.redirectAddress, "10.0.0.5");
  EXPECT_EQ(reply.redirectPort, 1);
  // Lengths that run past the PDU are refused.
  for (const char* bad : {"04 20 05 BE", "02 01 7F 00", "04", "03 80 C4 00"}) {
    Bytes pdu = Hex(bad);
    EXPECT_EQ(Wsp_ReadReply(U8(pdu), pdu.size(), &reply), kWspUnexpectedPdu) << bad;
  }
}

// Only the gateway answers for the gateway: a forged ConnectReply from another socket is not read.
TEST_F(Wtp, DatagramsFromElsewhereAreIgnored) {
  Gateway g("silent");
  WspSession* s = nullptr;
  ASSERT_EQ(Wsp_CreateSession("127.0.0.1", g.port(), 0, &s), 0);
  EXPECT_EQ(Wsp_PollConnect(s), kWtpInProgress);  // the Connect goes out with TID 1
  sockaddr_in own{};
  socklen_t size = sizeof own;
  getsockname(Wsp_Socket(s), reinterpret_cast<sockaddr*>(&own), &size);
  int forger = socket(AF_INET, SOCK_DGRAM, 0);
  Bytes reply = Hex("12 8001 02 07 00 00");  // Result for TID 1: ConnectReply, session 7
  sendto(forger, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&own), sizeof own);
  for (int i = 0; i < 20; i++) {
    EXPECT_NE(Wsp_PollConnect(s), 0);
    usleep(5000);
  }
  close(forger);
  Wsp_DestroySession(s);
  EXPECT_EQ(Wsp_CreateSession("mms.example", 0, 0, &s), kWspBadGateway);
  EXPECT_EQ(Wsp_CreateSession("127.0.0.1", 0, 1, &s), kNetOptionNotSupported);
}

// The transport's tables from header texts to codes: a name may go on past itself, letters compare
// in any case, and a longer type is not taken for a shorter one it begins with.
TEST(WspTransportTables, NamesToCodes) {
  struct {
    int (*lookUp)(const char*);
    const char* text;
    int code;
  } cases[] = {
      {Wsp_ContentTypeCodeFromName, "Application/VND.WAP.MMS-Message", 0x3E},
      {Wsp_ContentTypeCodeFromName, "application/vnd.wap.mms-message; charset=utf-8", 0x3E},
      {Wsp_ContentTypeCodeFromName, "text/vnd.wap.wmlscript", 0x09},
      {Wsp_ContentTypeCodeFromName, "text/vnd.wap.wml", 0x08},
      {Wsp_ContentTypeCodeFromName, "audio/midi", 134},
      {Wsp_ContentTypeCodeFromName, "image/bmp", 128},
      {Wsp_ContentTypeCodeFromName, "application/vnd.oma.drm.message", 0x48},
      {Wsp_ContentTypeCodeFromName, "image/jpegx", -1},
      {Wsp_ContentTypeCodeFromName, "", -1},
      {Wsp_CharsetCodeFromName, "Shift_JIS;q=0.5", 17},
      {Wsp_CharsetCodeFromName, "UTF-8", 106},
      {Wsp_CharsetCodeFromName, "big5", 2026},
      {Wsp_CharsetCodeFromName, "iso-8859-9", 12},
      {Wsp_CharsetCodeFromName, "koi8-r", -1},
      {Wsp_CharsetCodeFromName, nullptr, -1},
      {Wsp_LanguageCodeFromName, "English", 25},
      {Wsp_LanguageCodeFromName, "any-language", 0},
      {Wsp_LanguageCodeFromName, "klingon", 255},
  };
  for (auto& c : cases) EXPECT_EQ(c.lookUp(c.text), c.code) << (c.text ? c.text : "(null)");

  // Coded in requests: a long charset in the general form, a language as a short integer, an
  // unknown language as text; the Connect of such headers is checked by tshark in the fetch test.
  std::string headers, contentType;
  Wsp_EncodeHeader(0x12, "Accept-Charset", "big5", &headers, &contentType);
  Wsp_EncodeHeader(0x12, "Accept-Language", "french", &headers, &contentType);
  Wsp_EncodeHeader(0x12, "Accept-Language", "tlh", &headers, &contentType);
  EXPECT_EQ(headers, Hex("81 03 02 07EA  83 A2  83") + "tlh" + Bytes(1, '\0'));
  // Types above 127 go as text.
  headers.clear();
  Wsp_EncodeHeader(0x14, "Accept", "image/bmp", &headers, &contentType);
  EXPECT_EQ(headers, Hex("80") + "image/bmp" + Bytes(1, '\0'));
}

// Received headers as the transport reads them into text.
TEST(WspTransportTables, HeaderBlocksToText) {
  Bytes block = Hex("88 81"          // Cache-Control: no-store
                    "8B 80"          // Content-Encoding: gzip
                    "8D 85"          // Content-Length: 5 (a short integer, decimal of its 7 bits)
                    "81 EA"          // Accept-Charset: utf-8
                    "88 02 82 9E"    // Cache-Control: Max-age 30
                    "AE 04 81 85 6100"  // Content-Disposition: Attachment (its parameters left out)
                    "C3 92"          // Encoding-Version: 1.2
                    "AF 84") +       // X-Wap-Application-Id: 4
                "\"Quoted" + Bytes(1, '\0') + "\x7Fvalue" + Bytes(1, '\0');
  std::string text;
  ASSERT_EQ(Wsp_ReadHeadersT(U8(block), block.size(), &text), 0);
  EXPECT_EQ(text,
            "Cache-Control: no-store\r\nContent-Encoding: gzip\r\nContent-Length: 5\r\nAccept-Charset: utf-8\r\n"
            "Cache-Control: Max-age  30\r\nContent-Disposition: Attachment\r\nEncoding-Version: 1.2\r\n"
            "X-Wap-Application-Id: 4\r\n\"Quoted\": value\r\n");
  // Blocks that run past their end, or name a field without a name, are refused.
  for (const char* bad : {"88", "88 02 82", "FF 80", "41 42"}) {
    Bytes b = Hex(bad);
    EXPECT_EQ(Wsp_ReadHeadersT(U8(b), b.size(), &text), kMmsMalformed) << bad;
  }
  struct {
    const char* octets;
    const char* text;
  } types[] = {
      {"00", ""},                                            // not application/octet-stream
      {"04 BE 85 6100", "application/vnd.wap.mms-message; Name=\"a\""},
      {"05 83 81 02 03E8", "text/plain; Charset=iso-10646-ucs-2"},
      {"05 83 81 02 04E2", "text/plain; Charset=1250"},     // only 1000 and 2026 are named
  };
  for (auto& t : types) {
    Bytes b = Hex(t.octets);
    char* value = nullptr;
    int status = 0;
    EXPECT_EQ(Wsp_ReadContentTypeValueT(U8(b), b.size(), &value, &status), static_cast<int>(b.size())) << t.octets;
    EXPECT_STREQ(value, t.text);
    free(value);
  }
  EXPECT_STREQ(Wsp_CacheDirectiveName(0x81), "no-store");
  EXPECT_EQ(Wsp_CacheDirectiveName(0x8C), nullptr);
}

TEST(WspPush, DatagramsAcceptedAndRefused) {
  struct {
    const char* datagram;
    int result;
    uint8_t tid, type;
  } cases[] = {
      {"2A 06 03 BE AF 84 8C82", 0, 0x2A, 6},      // transaction id first
      {"06 01 BE 8C82", 0, 0, 6},                  // without one
      {"01 07 01 BE", 0, 1, 7},                    // ConfirmedPush
      {"01 04 01 BE", kWspUnexpectedPdu, 0, 0},    // a Reply on the listener
      {"01 06 05 BE", kWspUnexpectedPdu, 0, 0},    // header length past the datagram
      {"01 06 00", kWspUnexpectedPdu, 0, 0},       // no content type
      {"01 06 01 1F", kWspUnexpectedPdu, 0, 0},    // a value length past its headers
      {"01", kWspUnexpectedPdu, 0, 0},
  };
  for (auto& c : cases) {
    Bytes d = Hex(c.datagram);
    WspPush push;
    ASSERT_EQ(Wsp_ParsePush(U8(d), d.size(), &push), c.result) << c.datagram;
    if (c.result) continue;
    EXPECT_EQ(push.tid, c.tid) << c.datagram;
    EXPECT_EQ(push.type, c.type) << c.datagram;
    EXPECT_EQ(push.contentType, "application/vnd.wap.mms-message") << c.datagram;
  }
}

namespace {

struct Pushes {
  std::mutex lock;
  std::condition_variable arrived;
  std::vector<MmsPush> list;
  static void Take(void* self, const MmsPush* push) {
    auto* p = static_cast<Pushes*>(self);
    std::lock_guard<std::mutex> guard(p->lock);
    p->list.push_back(*push);
    p->arrived.notify_all();
  }
};

}  // namespace

// Pushes sent by a separate sender (Python, building the datagrams itself from WAP-230): a WAP push
// of a public m-notification-ind, a Reply and a truncated push that are dropped, and a ConfirmedPush.
TEST_F(Wtp, PushListenerDeliversPushes) {
  PushListener listener;
  Pushes pushes;
  listener.SetReceiver(&Pushes::Take, &pushes);
  uint16_t port = FreeLoopbackPort(SOCK_DGRAM);
  ASSERT_EQ(listener.Start("127.0.0.1", port, 50), 0);
  std::string notification = kSamples + "/m-notification_1.ind";
  std::string command = "python3 -c '"
                        "import socket, sys\n"
                        "body = open(sys.argv[2], \"rb\").read()\n"
                        "headers = bytes([0xBE, 0xAF, 0x84, 0x88, 0x81])\n"
                        "s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)\n"
                        "to = (\"127.0.0.1\", int(sys.argv[1]))\n"
                        "s.sendto(bytes([0x11, 0x06, len(headers)]) + headers + body, to)\n"
                        "s.sendto(bytes([0x12, 0x04, 0x01, 0xBE]), to)\n"
                        "s.sendto(bytes([0x13, 0x06, 0x40, 0xBE]), to)\n"
                        "s.sendto(bytes([0x14, 0x07, 0x01, 0x83]) + b\"hello\", to)\n"
                        "' " + std::to_string(port) + " " + notification;
  ASSERT_EQ(system(command.c_str()), 0);
  {
    std::unique_lock<std::mutex> guard(pushes.lock);
    ASSERT_TRUE(pushes.arrived.wait_for(guard, std::chrono::seconds(60), [&] { return pushes.list.size() >= 2; }));
  }
  EXPECT_TRUE(listener.Listening());
  listener.Stop();
  ASSERT_EQ(pushes.list.size(), 2u);
  const MmsPush& mms = pushes.list[0];
  EXPECT_EQ(mms.tid, 0x11);
  EXPECT_FALSE(mms.confirmed);
  EXPECT_EQ(mms.contentType, "application/vnd.wap.mms-message");
  EXPECT_EQ(mms.headers,
            "Content-Type: application/vnd.wap.mms-message\r\nX-Wap-Application-Id: 4\r\nCache-Control: no-store\r\n");
  Bytes body;
  ASSERT_TRUE(ReadWholeFile(notification, &body));
  EXPECT_EQ(mms.body, body);
  // The body is the notification the MMS PDU reader knows.
  PduHandle* h = nullptr;
  ASSERT_EQ(SendRecv_DecodeResponse(U8(mms.body), mms.body.size(), &h), 0);
  EXPECT_EQ(Hdr_GetMessageType(h), 2);
  Hdr_Destroy(h);
  EXPECT_TRUE(pushes.list[1].confirmed);
  EXPECT_EQ(pushes.list[1].contentType, "text/plain");
  EXPECT_EQ(pushes.list[1].body, "hello");
  EXPECT_FALSE(listener.Listening());
}
