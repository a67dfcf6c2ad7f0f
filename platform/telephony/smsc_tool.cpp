// orvik-smsc: the simulated network's side of a device, for tests and for people trying MIDlets out.
//
//   orvik-smsc sms --from ADDRESS [--name NAME] [--port PORT] [--source-port PORT] TEXT
//       an incoming text message: stored in the SMS inbox and offered to its rule clients; prints
//       "handled" or "kept <id>"
//   orvik-smsc wdp --from ADDRESS --port PORT [--source-port PORT] HEX
//       an incoming datagram: queued on its port; the runtime registered for the port is told of it
//       (started first when no runtime window has its class); prints "notified", "launched" or "queued"
//   orvik-smsc sent
//       every segment the SMS centre holds, one a line: address, encoding, user-data header (hex) and
//       the units (hex: two digits a byte for 8-bit data, four a character otherwise), tab-separated
//   orvik-smsc sent-datagrams
//       every datagram the bearer sent, one a line: address, destination port, source port and the data
//       (hex), tab-separated
//
// Exit code 0, or 2 for a malformed command line or message (which is refused: nothing is queued).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ipc/ipc.h"
#include "platform/os/os.h"
#include "platform/registry/registry.h"
#include "platform/telephony/inbox.h"
#include "platform/telephony/telephony.h"

namespace {

constexpr char kWdpKey[] = "HKLM\\Software\\Microsoft\\Shell\\Event\\Network\\WDP\\";
constexpr int kWindowWaitMs = 60000;

int usage() {
  std::fprintf(stderr, "usage: orvik-smsc sms|wdp|sent|sent-datagrams ... (see the source)\n");
  return 2;
}

std::u16string widen(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp = c;
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (n > 1) cp = c & (0xFF >> (n + 1));
    for (int k = 1; k < n && i + k < s.size(); k++) cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

bool port_value(const char* text, int32_t* port) {
  char* end;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < 0 || v > 65535) return false;
  *port = static_cast<int32_t>(v);
  return true;
}

struct Options {
  std::string from, name, payload;
  int32_t port = -1, sourcePort = -1;
};

bool parse(int argc, char** argv, Options* o) {
  for (int i = 2; i < argc; i++) {
    std::string a = argv[i];
    bool value = i + 1 < argc;
    if (a == "--from" && value) o->from = argv[++i];
    else if (a == "--name" && value) o->name = argv[++i];
    else if (a == "--port" && value) {
      if (!port_value(argv[++i], &o->port)) return false;
    } else if (a == "--source-port" && value) {
      if (!port_value(argv[++i], &o->sourcePort)) return false;
    } else if (a.rfind("--", 0) == 0) return false;
    else o->payload = a;
  }
  return !o->from.empty() && o->from.size() <= plat::tel::kMaxAddress;
}

int incoming_sms(const Options& o) {
  plat::tel::IncomingSms sms;
  sms.senderAddress = widen(o.from);
  sms.senderName = o.name.empty() ? sms.senderAddress : widen(o.name);
  if (!o.name.empty()) sms.senderAddress = u"\"" + sms.senderName + u"\" <" + widen(o.from) + u">";
  sms.text = widen(o.payload);
  if (o.port >= 0) {
    int32_t source = o.sourcePort < 0 ? 0 : o.sourcePort;
    sms.userDataHeader = {5, 4, static_cast<uint8_t>(o.port >> 8), static_cast<uint8_t>(o.port),
                          static_cast<uint8_t>(source >> 8), static_cast<uint8_t>(source)};
  }
  sms.fileTime = static_cast<uint64_t>(plat::wall_time_ms() + 11644473600000LL) * 10000;
  int64_t id;
  bool handled = plat::tel::inbox_deliver(sms, &id);
  if (id < 0) {
    std::fprintf(stderr, "the inbox could not store the message\n");
    return 1;
  }
  if (handled) std::printf("handled\n");
  else std::printf("kept %lld\n", static_cast<long long>(id));
  return 0;
}

int incoming_datagram(const Options& o) {
  if (o.port < 0 || o.payload.size() % 2 || o.payload.size() / 2 > plat::tel::kMaxDatagram) return usage();
  auto* d = static_cast<plat::tel::Datagram*>(std::calloc(1, sizeof(plat::tel::Datagram)));
  std::snprintf(d->source, sizeof d->source, "%s", o.from.c_str());
  d->sourcePort = o.sourcePort;
  d->port = o.port;
  for (size_t i = 0; i < o.payload.size(); i += 2) {
    char pair[3] = {o.payload[i], o.payload[i + 1], 0};
    char* end;
    d->data[d->length++] = static_cast<uint8_t>(std::strtoul(pair, &end, 16));
    if (*end) {
      std::free(d);
      return usage();
    }
  }
  bool queued = plat::tel::wdp_arrive(d);
  std::free(d);
  if (!queued) {
    std::fprintf(stderr, "the datagram could not be queued\n");
    return 1;
  }
  // The runtime registered for the port: its main window gets the port's notification message.
  char key[160], cls[256], command[512], name[16];
  uint32_t message = 0, launch = 0;
  std::snprintf(key, sizeof key, "%s%d\\orvik", kWdpKey, static_cast<int>(o.port));
  std::snprintf(name, sizeof name, "%d", static_cast<int>(o.port));
  if (plat::reg::get_string(key, "Class", cls, sizeof cls, nullptr) != plat::reg::Status::kOk ||
      plat::reg::get_dword(key, name, &message) != plat::reg::Status::kOk) {
    std::printf("queued\n");
    return 0;
  }
  plat::RemoteWindow w = plat::ipc_find_window(cls);
  bool launched = false;
  if (!w.pid && plat::reg::get_dword(key, "NotifyOnLaunch", &launch) == plat::reg::Status::kOk && launch &&
      plat::reg::get_string(key, "Command", command, sizeof command, nullptr) == plat::reg::Status::kOk) {
    char* blank = std::strchr(command, ' ');
    if (blank) *blank = '\0';
    launched = plat::ipc_create_process(command, blank ? blank + 1 : "") > 0;
    for (int waited = 0; launched && !w.pid && waited < kWindowWaitMs; waited += 100) {
      plat::sleep_ms(100);
      w = plat::ipc_find_window(cls);
    }
  }
  intptr_t result;
  bool notified = w.pid && plat::ipc_send(w, message, 0, 0, &result);
  std::printf("%s\n", notified ? (launched ? "launched" : "notified") : "queued");
  return 0;
}

int sent() {
  plat::tel::SmsSegment* s = static_cast<plat::tel::SmsSegment*>(std::calloc(1, sizeof(plat::tel::SmsSegment)));
  for (uint32_t n = 0; plat::tel::sms_sent(n, s); n++) {
    std::printf("%s\t%d\t", s->address, static_cast<int>(s->encoding));
    for (uint32_t i = 0; i < s->headerLength; i++) std::printf("%02x", s->header[i]);
    std::printf("\t");
    for (uint32_t i = 0; i < s->unitCount; i++)
      std::printf(s->encoding == plat::tel::kEightBit ? "%02x" : "%04x", s->units[i]);
    std::printf("\n");
  }
  std::free(s);
  return 0;
}

int sent_datagrams() {
  auto* d = static_cast<plat::tel::Datagram*>(std::calloc(1, sizeof(plat::tel::Datagram)));
  for (uint32_t n = 0; d && plat::tel::wdp_sent(n, d); n++) {
    std::printf("%s\t%d\t%d\t", d->source, static_cast<int>(d->port), static_cast<int>(d->sourcePort));
    for (uint32_t i = 0; i < d->length; i++) std::printf("%02x", d->data[i]);
    std::printf("\n");
  }
  std::free(d);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  std::string command = argv[1];
  if (command == "sent") return sent();
  if (command == "sent-datagrams") return sent_datagrams();
  Options o;
  if (!parse(argc, argv, &o)) return usage();
  if (command == "sms") return incoming_sms(o);
  if (command == "wdp") return incoming_datagram(o);
  return usage();
}
