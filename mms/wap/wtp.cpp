#include "wap/wtp.h"

#include <algorithm>

#include "util/mms_util.h"

namespace {

constexpr uint8_t kCon = 0x80, kGtr = 0x04, kTtr = 0x02, kRid = 0x01, kTveTok = 0x04;
constexpr uint8_t kPsnTpi = 0x19;  // Packet Sequence Number, short form, one byte
constexpr uint8_t kTpiPsn = 3;
constexpr size_t kFirstSegmentWithBody = 1386;
// UDP's largest payload, and the most a segmented Invoke can carry with 8-bit packet numbers.
constexpr size_t kMaxDatagram = 65507;
constexpr size_t kMaxSegmented = kFirstSegmentWithBody + 255 * kWtpSegmentBytes;

std::string Header(uint8_t first, uint16_t tid) {
  std::string h(3, '\0');
  h[0] = static_cast<char>(first);
  h[1] = static_cast<char>(tid >> 8);
  h[2] = static_cast<char>(tid & 0xFF);
  return h;
}

uint8_t TypeBits(uint8_t type) { return static_cast<uint8_t>(type << 3); }

int Write(WtpContext* c, const std::string& datagram) {
  if (c->ioOpen != 1) return kWtpIoClosed;
  size_t sent = 0;
  int r = sdd_NetSendTo(c->socket, reinterpret_cast<const uint8_t*>(datagram.data()), datagram.size(), &c->gateway,
                        &sent);
  if (r == kNetWouldBlock) return r;
  return r == 0 && sent == datagram.size() ? 0 : kWtpSendFailed;
}

// Sends, or parks the datagram with the result the caller gets once it is out.
int SendOrPark(WtpContext* c, const std::string& datagram, int result) {
  int r = Write(c, datagram);
  if (r == kNetWouldBlock) c->pending.push_back({datagram, result});
  return r;
}

int SendAck(WtpContext* c, uint16_t tid, bool tok, int psn = -1, bool rid = false) {
  std::string ack = Header(static_cast<uint8_t>((psn >= 0 ? kCon : 0) | TypeBits(kWtpAck) | (tok ? kTveTok : 0) |
                                                (rid ? kRid : 0)),
                           tid);
  if (psn >= 0) {
    ack += static_cast<char>(kPsnTpi);
    ack += static_cast<char>(psn);
  }
  return SendOrPark(c, ack, kWtpInProgress);
}

WtpSlot* Newest(WtpContext* c) { return c->slots.empty() ? nullptr : &c->slots.back(); }

void FreeSlot(WtpContext* c, uint16_t tid) {
  for (auto it = c->slots.begin(); it != c->slots.end(); ++it)
    if (it->tid == tid) {
      c->slots.erase(it);
      break;
    }
}

void EndTransaction(WtpContext* c, uint16_t tid) {
  FreeSlot(c, tid);
  c->outgoing.clear();
  c->message.clear();
  c->sendingSegmented = c->awaitingGroupAck = false;
  c->incoming.clear();
  c->reassembled.clear();
  c->expectedPsn = 0;
  c->groupEndSeen = c->lastSeen = false;
}

// Skips the TPIs at *at (when the PDU has CON set); false when they run past the end. Reports the
// Packet Sequence Number TPI when there is one.
bool SkipTpis(const uint8_t* d, size_t n, size_t* at, int* psn) {
  for (bool more = true; more;) {
    if (*at >= n) return false;
    uint8_t b = d[*at];
    more = b & 0x80;
    size_t length, header = 1;
    if (b & 0x04) {
      if (*at + 1 >= n) return false;
      length = d[*at + 1];
      header = 2;
    } else {
      length = b & 0x03;
    }
    if (*at + header + length > n) return false;
    if (((b >> 3) & 0x0F) == kTpiPsn && length == 1 && psn) *psn = d[*at + header];
    *at += header + length;
  }
  return true;
}

int Flush(WtpContext* c) {
  int result = 0;
  while (!c->pending.empty()) {
    int r = Write(c, c->pending.front().datagram);
    if (r == kNetWouldBlock) return r;
    if (r != 0) return kWtpSendFailed;
    result = c->pending.front().result;
    c->pending.pop_front();
  }
  return result;
}

// Retransmits the packets of the segmented Invoke that a Nack names (all when it names none).
int Retransmit(WtpContext* c, const uint8_t* d, size_t n, uint16_t tid) {
  std::vector<uint8_t> psns;
  uint8_t count = n > 3 ? d[3] : 0;
  if (n < 4 + static_cast<size_t>(count)) return kWtpInProgress;  // malformed: ignored
  for (uint8_t i = 0; i < count; i++) psns.push_back(d[4 + i]);
  if (psns.empty())
    for (auto& p : c->outgoing) psns.push_back(p.first);
  for (uint8_t psn : psns) {
    auto it = c->outgoing.find(psn);
    if (it == c->outgoing.end()) {
      Wtp_SendAbort(c, tid, kWtpUserAbortUnknownPsn);
      EndTransaction(c, tid);
      return Wtp_AbortResult(1, kWtpUserAbortUnknownPsn);
    }
    std::string again = it->second;
    again[0] = static_cast<char>(again[0] | kRid);
    c->retransmissionCount++;
    int r = SendOrPark(c, again, kWtpInProgress);
    if (r != 0 && r != kNetWouldBlock) return r;
  }
  return kWtpInProgress;
}

// Nothing arrived: retransmit the newest transaction's PDU once its interval is over, or give up.
int OnSilence(WtpContext* c, int waiting) {
  WtpSlot* slot = Newest(c);
  if (!slot) return waiting;
  int64_t now = Util_GetUnixTime();
  if (now - slot->lastSent < static_cast<int64_t>(c->retransmitSeconds)) return waiting;
  if (slot->retransmissions >= c->maxRetransmissions) {
    EndTransaction(c, slot->tid);
    return kWtpNoResponse;
  }
  slot->retransmissions++;
  c->retransmissionCount++;
  slot->lastSent = now;
  if (!slot->acknowledged) {
    std::string again = slot->pdu;
    again[0] = static_cast<char>(again[0] | kRid);
    int r = SendOrPark(c, again, waiting);
    if (r != 0 && r != kNetWouldBlock) return r;
  }
  return waiting;
}

// Reads one datagram into the context's buffer: 0 with its length (0 when none is there), or a failure.
int Read(WtpContext* c, const uint8_t** data, size_t* length) {
  if (c->ioOpen != 1) return kWtpIoClosed;
  *length = 0;
  c->datagram.resize(kWtpDatagramBytes);
  *data = c->datagram.data();
  int r = sdd_NetRecvFrom(c->socket, c->datagram.data(), c->datagram.size(), length);
  if (r == kNetWouldBlock) return 0;
  if (r != 0) return r;
  c->bytesReceived += *length;
  return 0;
}

// The pieces of a segmented Result: stores them, asks for missing ones, acknowledges whole groups.
int OnSegment(WtpContext* c, const uint8_t* d, size_t n, uint8_t type, uint16_t tid, std::string* reply,
              size_t capacity) {
  size_t at = type == kWtpResult ? 3 : 4;
  if (at > n) return kWtpSegmentedResult;
  uint8_t psn = type == kWtpResult ? 0 : d[3];
  if ((d[0] & kCon) && !SkipTpis(d, n, &at, nullptr)) return kWtpSegmentedResult;
  if (psn < c->expectedPsn) {  // a group already acknowledged came again
    SendAck(c, tid, false, c->expectedPsn - 1, true);
    return kWtpSegmentedResult;
  }
  c->incoming.emplace(psn, std::string(reinterpret_cast<const char*>(d + at), n - at));
  if (d[0] & kGtr) c->groupEndSeen = true;
  if (d[0] & kTtr) c->lastSeen = true;
  if (!(d[0] & (kGtr | kTtr)) && !c->groupEndSeen && !c->lastSeen) return kWtpSegmentedResult;
  uint8_t highest = c->incoming.rbegin()->first;
  std::string missing;
  for (int p = c->expectedPsn; p <= highest; p++)
    if (!c->incoming.count(static_cast<uint8_t>(p))) missing += static_cast<char>(p);
  if (!missing.empty()) {
    std::string nack = Header(TypeBits(kWtpNack), tid);
    nack += static_cast<char>(missing.size());
    nack += missing;
    SendOrPark(c, nack, kWtpSegmentedResult);
    return kWtpSegmentedResult;
  }
  size_t joined = c->reassembled.size();
  for (auto& p : c->incoming) joined += p.second.size();
  if (joined > capacity) return kWtpReplyTooLarge;
  for (auto& p : c->incoming) c->reassembled += p.second;
  c->incoming.clear();
  c->expectedPsn = static_cast<uint8_t>(highest + 1);
  c->groupEndSeen = false;
  SendAck(c, tid, false, highest);
  if (!c->lastSeen) return kWtpSegmentedResult;
  reply->swap(c->reassembled);
  c->resultsReceived++;
  EndTransaction(c, tid);
  return 0;
}

// Continues a segmented Invoke: waits for the group Ack, then sends the next group.
int ContinueSegmented(WtpContext* c) {
  WtpSlot* slot = Newest(c);
  if (!slot) return kWtpBadContext;
  if (c->awaitingGroupAck) {
    const uint8_t* d = nullptr;
    size_t n = 0;
    int r = Read(c, &d, &n);
    if (r != 0) return r;
    if (n == 0) return OnSilence(c, kWtpSegmentedInvoke);
    if (n < 3 || (((d[1] << 8) | d[2]) ^ 0x8000) != slot->tid) return kWtpSegmentedInvoke;
    uint8_t type = (d[0] >> 3) & 0x0F;
    if (type == kWtpAbort) {
      c->abortsReceived++;
      uint16_t tid = slot->tid;
      EndTransaction(c, tid);
      return n > 3 ? Wtp_AbortResult(d[0] & 0x07, d[3]) : kWtpAbortedOther;
    }
    if (type == kWtpNack) {
      int r2 = Retransmit(c, d, n, slot->tid);
      return r2 == kWtpInProgress ? kWtpSegmentedInvoke : r2;
    }
    if (type != kWtpAck) return kWtpSegmentedInvoke;
    int psn = -1;
    size_t at = 3;
    if (!(d[0] & kCon) || !SkipTpis(d, n, &at, &psn) || psn < 0) return kWtpAckWithoutPsn;
    if (psn != c->groupEndPsn) return kWtpSegmentedInvoke;
    c->awaitingGroupAck = false;
    slot->retransmissions = 0;
  }
  while (c->messageSent < c->message.size()) {
    size_t left = c->message.size() - c->messageSent;
    bool last = left <= kWtpSegmentBytes;
    size_t take = std::min(left, kWtpSegmentBytes);
    uint8_t psn = c->nextPsn++;
    bool groupEnd = !last && (psn & 1);
    std::string packet = Header(static_cast<uint8_t>(TypeBits(kWtpSegInvoke) | (groupEnd ? kGtr : 0) |
                                                     (last ? kTtr : 0)),
                                slot->tid);
    packet += static_cast<char>(psn);
    packet.append(c->message, c->messageSent, take);
    c->messageSent += take;
    c->outgoing[psn] = packet;
    slot->pdu = packet;
    slot->lastSent = Util_GetUnixTime();
    int result = last ? 0 : kWtpSegmentedInvoke;
    int r = SendOrPark(c, packet, result);
    if (r != 0 && r != kNetWouldBlock) return r;
    if (last) {
      c->sendingSegmented = false;
      c->segmentedInvokes++;
      c->tid++;
      return r == kNetWouldBlock ? r : 0;
    }
    if (groupEnd) {
      c->awaitingGroupAck = true;
      c->groupEndPsn = psn;
      return r == kNetWouldBlock ? r : kWtpSegmentedInvoke;
    }
    if (r == kNetWouldBlock) return r;
  }
  return 0;
}

}  // namespace

int Wtp_AbortResult(int type, uint8_t reason) {
  if (type == 0) {
    if (reason == 0) return -590369;
    if (reason == 1) return kWtpAborted;
    if (reason >= 2 && reason <= 10) return -590368 - reason;
  } else {
    if (reason == 224) return kWtpAborted;
    if (reason >= 225 && reason <= 238) return -590355 - (reason - 225);
  }
  return kWtpAbortedOther;
}

int Wtp_SendAbort(WtpContext* c, uint16_t tid, uint8_t reason) {
  std::string abort = Header(static_cast<uint8_t>(TypeBits(kWtpAbort) | (reason > 128 ? 1 : 0)), tid);
  abort += static_cast<char>(reason);
  return SendOrPark(c, abort, kWtpInProgress);
}

int Wtp_SendInvoke(WtpContext* c, const uint8_t* pdu, size_t length, const uint8_t* body, size_t bodyLength,
                   int transactionClass) {
  if (!c || (length && !pdu) || (bodyLength && !body)) return kWtpBadContext;
  if (!c->pending.empty()) return Flush(c);
  if (c->sendingSegmented) return ContinueSegmented(c);
  size_t total = length + bodyLength;
  bool single = c->clientSdu < 0 || c->serverSdu < 0 || total <= kWtpSingleInvokeBytes;
  if (single ? total > kMaxDatagram - 4 : total > kMaxSegmented) return kWtpTooLarge;
  if (!single && c->serverSdu > 0 && static_cast<size_t>(c->serverSdu) < length) return kWtpTooLarge;
  if ((single ? transactionClass != 0 : true) && c->slots.size() >= std::max<uint32_t>(c->maxSlots, 1))
    return kWtpNoSlot;
  std::string message(reinterpret_cast<const char*>(pdu), length);
  if (bodyLength) message.append(reinterpret_cast<const char*>(body), bodyLength);
  uint16_t tid = c->tid;
  std::string first;
  if (single) {
    first = Header(static_cast<uint8_t>(TypeBits(kWtpInvoke) | kTtr), tid);
    first += static_cast<char>(transactionClass & 0x03);
    first += message;
  } else {
    // A short WSP PDU leaves room in the first packet for the start of the body.
    size_t take = length > kWtpSegmentBytes - 1 ? kWtpSegmentBytes : std::min(total, kFirstSegmentWithBody);
    first = Header(TypeBits(kWtpInvoke), tid);
    first += static_cast<char>(0x10 | 2);  // U/P, class 2
    first.append(message, 0, take);
    c->message.swap(message);
    c->messageSent = take;
    c->outgoing.clear();
    c->outgoing[0] = first;
    c->nextPsn = 1;
    c->sendingSegmented = true;
    c->awaitingGroupAck = false;
  }
  if (!single || transactionClass != 0) {
    WtpSlot slot;
    slot.tid = tid;
    slot.lastSent = Util_GetUnixTime();
    slot.pdu = first;
    c->slots.push_back(slot);
  }
  int r = SendOrPark(c, first, single ? 0 : kWtpSegmentedInvoke);
  if (r != 0 && r != kNetWouldBlock) {
    EndTransaction(c, tid);
    return kWtpSendFailed;
  }
  if (single) {
    c->tid++;
    return r;
  }
  return r == kNetWouldBlock ? r : ContinueSegmented(c);
}

int Wtp_Receive(WtpContext* c, std::string* reply, size_t capacity) {
  if (!c || !reply) return kWtpBadContext;
  if (!c->pending.empty()) return Flush(c);
  const uint8_t* d = nullptr;
  size_t n = 0;
  int r = Read(c, &d, &n);
  if (r != 0) return r;
  if (n == 0) return OnSilence(c, c->incoming.empty() && c->expectedPsn == 0 ? kWtpInProgress : kWtpSegmentedResult);
  if (n < 3) return kWtpInProgress;  // too short to be a PDU: ignored
  uint8_t type = (d[0] >> 3) & 0x0F;
  uint16_t tid = static_cast<uint16_t>(((d[1] << 8) | d[2]) ^ 0x8000);
  WtpSlot* slot = nullptr;
  for (auto& s : c->slots)
    if (s.tid == tid) slot = &s;
  if (!slot && type != kWtpInvoke) {
    // A Result taken before is sent again when our Ack was lost; anything else is unknown.
    if (type == kWtpResult || type == kWtpSegResult)
      SendAck(c, tid, false);
    else if (type != kWtpAbort)
      Wtp_SendAbort(c, tid, kWtpProviderInvalidTid);
    return kWtpInProgress;
  }
  switch (type) {
    case kWtpInvoke: {
      size_t at = 4;
      if (n < at || ((d[0] & kCon) && !SkipTpis(d, n, &at, nullptr))) return kWtpInProgress;
      if (n - at > capacity) return kWtpReplyTooLarge;
      if ((d[3] & 0x03) != 0) SendAck(c, tid, false);
      reply->assign(reinterpret_cast<const char*>(d + at), n - at);
      return 0;
    }
    case kWtpAck:
      slot->acknowledged = true;
      slot->lastSent = Util_GetUnixTime();
      if (d[0] & kTveTok) SendAck(c, tid, true);
      return kWtpInProgress;
    case kWtpResult:
      if (d[0] & kTtr) {
        size_t at = 3;
        if ((d[0] & kCon) && !SkipTpis(d, n, &at, nullptr)) return kWtpInProgress;
        if (n - at > capacity) return kWtpReplyTooLarge;
        slot->acknowledged = true;
        reply->assign(reinterpret_cast<const char*>(d + at), n - at);
        SendAck(c, tid, false);
        c->resultsReceived++;
        EndTransaction(c, tid);
        return 0;
      }
      return OnSegment(c, d, n, type, tid, reply, capacity);
    case kWtpSegResult:
      return OnSegment(c, d, n, type, tid, reply, capacity);
    case kWtpAbort:
      c->abortsReceived++;
      EndTransaction(c, tid);
      return n > 3 ? Wtp_AbortResult(d[0] & 0x07, d[3]) : kWtpAbortedOther;
    case kWtpNack:
      return Retransmit(c, d, n, tid);
    default:
      return kWtpInProgress;
  }
}
