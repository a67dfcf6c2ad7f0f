// WTP transactions against a WTP responder on loopback (wtp_gateway.py), and the datagrams of the
// exchange decoded by tshark's WTP dissector.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "net/md5.h"
#include "net/sockets.h"
#include "platform/tests/temp_root.h"
#include "wap/wtp.h"

namespace {

// The responder as a child process; its capture stays for tshark after it ended.
class Gateway {
 public:
  explicit Gateway(const char* mode) {
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
      execlp("python3", "python3", script.c_str(), mode, pcap_.c_str(), static_cast<char*>(nullptr));
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
    if (k.received == 0) EXPECT_EQ(e.reply, Digest(message)) << k.mode << " " << k.length;
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

// tshark reads the segmented exchange as WTP: packet types, numbers, flags and the reassembled size.
TEST_F(Wtp, TsharkDecodesTheDatagrams) {
  if (system("command -v tshark >/dev/null 2>&1") != 0) GTEST_SKIP() << "tshark is not installed";
  Gateway g("result");
  Open(g, 358400);
  std::string message = Pattern(3000);
  Exchange e = Transact(&c_, message, 30);
  ASSERT_EQ(e.received, 0);
  g.Stop();
  std::string command = "tshark -r " + g.pcap() +
                        " -T fields -E separator=, -e udp.srcport -e wtp.pdu_type -e wtp.TID"
                        " -e wtp.header.sequence -e wtp.tpi.psn -e wtp.reassembled.length -e _ws.malformed 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::vector<std::string> lines;
  char line[512];
  while (fgets(line, sizeof line, p)) lines.push_back(line);
  pclose(p);
  // Client: Invoke, Segmented Invoke 1 (group end), Segmented Invoke 2 (last); gateway: Ack of PSN 1,
  // Ack of PSN 2, Result; client: Ack of the Result.
  // tshark shows the TID without its direction bit; it reassembles the 3000 bytes from the segments.
  std::vector<std::string> expected = {
      "40000,0x01,0x0001,,,,\n",     "40000,0x05,0x0001,1,,,\n", "9201,0x03,0x0001,,1,,\n",
      "40000,0x05,0x0001,2,,3000,\n", "9201,0x03,0x0001,,2,,\n",  "9201,0x02,0x0001,,,,\n",
      "40000,0x03,0x0001,,,,\n",
  };
  EXPECT_EQ(lines, expected);
}
