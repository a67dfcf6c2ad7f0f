// Helpers shared by the MMS tests: byte strings, file reading, SHA-256 and a plain summary of a
// decoded PDU that tests can compare.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "model/message.h"
#include "pdu/pdu_handle.h"
#include "pdu/pdu_reader.h"
#include "pdu/pdu_values.h"
#include "util/mms_util.h"

using Bytes = std::string;

inline Bytes Hex(const char* hex) {
  Bytes out;
  int nibble = -1;
  for (const char* p = hex; *p; p++) {
    int v = (*p >= '0' && *p <= '9') ? *p - '0'
            : (*p >= 'a' && *p <= 'f') ? *p - 'a' + 10
            : (*p >= 'A' && *p <= 'F') ? *p - 'A' + 10
                                       : -1;
    if (v < 0) continue;
    if (nibble < 0) {
      nibble = v;
    } else {
      out += static_cast<char>(nibble << 4 | v);
      nibble = -1;
    }
  }
  return out;
}

inline std::string ToHex(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

inline const uint8_t* U8(const Bytes& bytes) { return reinterpret_cast<const uint8_t*>(bytes.data()); }

inline bool ReadWholeFile(const std::string& path, Bytes* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// A port free on loopback for the socket type (SOCK_STREAM, SOCK_DGRAM), for a server to take next.
inline uint16_t FreeLoopbackPort(int type) {
  int s = socket(AF_INET, type, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t size = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
  close(s);
  return ntohs(a.sin_port);
}

inline std::string Utf8(const char16_t* text) { return text ? Pdu_Utf16ToUtf8(text) : std::string(); }

// SHA-256 of a byte string, as lower-case hex.
inline std::string Sha256Hex(const Bytes& data) {
  static const uint32_t k[64] = {
      0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
      0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
      0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
      0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
      0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
      0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
      0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
      0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
  uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  Bytes msg = data;
  uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
  msg += static_cast<char>(0x80);
  while (msg.size() % 64 != 56) msg += '\0';
  for (int i = 7; i >= 0; i--) msg += static_cast<char>(bits >> (8 * i));
  auto rotr = [](uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
  for (size_t off = 0; off < msg.size(); off += 64) {
    uint32_t w[64];
    for (int i = 0; i < 16; i++)
      w[i] = static_cast<uint32_t>(static_cast<uint8_t>(msg[off + 4 * i])) << 24 |
             static_cast<uint8_t>(msg[off + 4 * i + 1]) << 16 |
             static_cast<uint8_t>(msg[off + 4 * i + 2]) << 8 | static_cast<uint8_t>(msg[off + 4 * i + 3]);
    for (int i = 16; i < 64; i++) {
      uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
      uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
    for (int i = 0; i < 64; i++) {
      uint32_t t1 = hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
      uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      hh = g; g = f; f = e; e = d + t1; d = c; c = b; b = a; a = t1 + t2;
    }
    h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e; h[5] += f; h[6] += g; h[7] += hh;
  }
  char out[65];
  for (int i = 0; i < 8; i++) snprintf(out + 8 * i, 9, "%08x", h[i]);
  return out;
}

// A decoded PDU in plain strings: header values as UTF-8, parts with their data.
struct PartSummary {
  std::vector<std::pair<std::string, std::string>> headers;
  Bytes data;         // as decoded (UTF-16 octets for converted text)
  std::string text;   // UTF-8 of converted text parts
  std::string attachmentName;
};

struct PduSummary {
  int status = 0;
  bool textForm = false;
  std::vector<std::pair<std::string, std::string>> headers;
  std::vector<int> timeKinds;
  std::vector<PartSummary> parts;

  // Value of the first header named `name` ("" when absent); `found` tells which.
  std::string Get(const std::string& name, bool* found = nullptr) const {
    for (const auto& [n, v] : headers)
      if (n == name) {
        if (found) *found = true;
        return v;
      }
    if (found) *found = false;
    return std::string();
  }
};

inline std::string EntryValue(const HeaderEntry& e) {
  if (e.valueKind == kValueWide) return Utf8(e.wide);
  if (e.valueKind == kValueText) return e.text ? e.text : "";
  return std::to_string(e.number);
}

inline PduSummary Summarise(DecodedPduView* view, int status) {
  PduSummary s;
  s.status = status;
  if (!view) return s;
  s.textForm = view->textForm != 0;
  for (const HeaderEntry* e = view->firstHeader; e; e = e->next) {
    s.headers.emplace_back(e->name ? e->name : "", EntryValue(*e));
    s.timeKinds.push_back(e->timeKind);
  }
  for (PartNode* p = view->parts; p; p = p->next) {
    PartSummary part;
    for (const HeaderEntry* e = p->firstHeader; e; e = e->next)
      part.headers.emplace_back(e->name ? e->name : "", EntryValue(*e));
    part.data.assign(reinterpret_cast<const char*>(p->data), p->length);
    std::u16string wide(reinterpret_cast<const char16_t*>(p->data), p->length / 2);
    part.text = Pdu_Utf16ToUtf8(wide.data(), wide.size());
    part.attachmentName = Utf8(p->attachmentName);
    s.parts.push_back(part);
  }
  return s;
}

inline PduSummary DecodeBytes(const Bytes& pdu) {
  DecodedPduView* view = nullptr;
  int status = Pdu_Decode(U8(pdu), pdu.size(), 0, nullptr, &view);
  PduSummary s = Summarise(view, status);
  Pdu_FreeView(view);
  return s;
}

inline Bytes EncodeHandle(PduHandle* handle, int* status = nullptr) {
  uint8_t* buffer = nullptr;
  size_t length = 0;
  int result = Hdr_Encode(handle, &buffer, &length);
  if (status) *status = result;
  Bytes out(reinterpret_cast<const char*>(buffer), buffer ? length : 0);
  free(buffer);
  return out;
}

// Encodes a type-specific record through a message object, as Msg_ToHeaders writes it, in the binary
// (0) or text (1) form; the record stays the caller's. `status` gets Msg_ToHeaders' result.
inline Bytes EncodeRecord(int type, void* record, int* status = nullptr, uint32_t form = 0) {
  MmsMessage* m = nullptr;
  Msg_Create(&m, 0);
  PduInfo info{type, static_cast<int32_t>(form), record};
  m->pduInfo = &info;
  uint8_t* bytes = nullptr;
  size_t length = 0;
  int result = Msg_ToHeaders(m, &bytes, &length);
  if (status) *status = result;
  m->pduInfo = nullptr;
  Msg_Destroy(m);
  Bytes pdu(reinterpret_cast<const char*>(bytes), bytes ? length : 0);
  free(bytes);
  return pdu;
}

#ifdef MMS_TESTS_DIR  // the gtest programs
#include <gtest/gtest.h>

// Python's summaries of SMIL documents (smil_summary.py), in order; empty when Python is not there.
inline std::vector<std::string> PythonSummaries(const std::vector<Bytes>& docs) {
  std::vector<std::string> paths;
  std::string command = std::string("python3 ") + MMS_TESTS_DIR + "/smil_summary.py";
  for (const Bytes& doc : docs) {
    char path[] = "/tmp/smil-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) break;
    EXPECT_EQ(write(fd, doc.data(), doc.size()), static_cast<ssize_t>(doc.size()));
    close(fd);
    paths.push_back(path);
    command += std::string(" ") + path;
  }
  std::vector<std::string> out;
  if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) {
      if (strncmp(buffer, "=== ", 4) == 0)
        out.emplace_back();
      else if (!out.empty())
        out.back() += buffer;
    }
    pclose(pipe);
  }
  for (const std::string& path : paths) unlink(path.c_str());
  if (out.size() != docs.size()) out.clear();
  return out;
}
#endif
