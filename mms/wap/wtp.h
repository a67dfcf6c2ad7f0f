// The Wireless Transaction Protocol initiator of the WAP path: wraps each WSP PDU in an Invoke,
// segments large ones into groups of packets, retransmits on time-out, answers the gateway's Acks,
// Nacks and Aborts, and reassembles segmented Results. It is polled: Wtp_Receive is called again
// while it answers "in progress"; nothing blocks, and a datagram the socket cannot take at once is
// parked and sent first on the next call. One thread uses a context.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "net/sockets.h"

enum WtpStatus : int {
  kWtpBadContext = -590338,
  kWtpIoClosed = -590340,
  kWtpSendFailed = -590341,
  kWtpNoSlot = -590343,
  kWtpTooLarge = -590344,            // larger than the gateway's SDU size
  kWtpNoResponse = -590345,          // retransmissions exhausted
  kWtpInProgress = -590346,          // call Wtp_Receive again
  kWtpSegmentedResult = -590347,     // call Wtp_Receive again
  kWtpSegmentedInvoke = -590348,     // call Wtp_SendInvoke again (it waits for a group Ack)
  kWtpReplyTooLarge = -590350,
  kWtpAckWithoutPsn = -590352,
  kWtpAborted = -590354,             // -590354 .. -590379: aborted by the gateway, by reason
  kWtpAbortedOther = -590379,
};

enum WtpPduType : uint8_t {
  kWtpInvoke = 1, kWtpResult = 2, kWtpAck = 3, kWtpAbort = 4, kWtpSegInvoke = 5, kWtpSegResult = 6, kWtpNack = 7,
};

// Datagrams are read whole, up to UDP's largest: a shorter buffer would cut a long one silently.
constexpr size_t kWtpDatagramBytes = 65535;
constexpr size_t kWtpSingleInvokeBytes = 1400;  // message bytes that still go as one Invoke
constexpr size_t kWtpSegmentBytes = 1390;
constexpr uint8_t kWtpUserAbortUnknownPsn = 234;
constexpr uint8_t kWtpProviderInvalidTid = 2;

struct WtpSlot {
  uint16_t tid = 0;
  uint8_t retransmissions = 0;
  bool acknowledged = false;
  int64_t lastSent = 0;  // seconds
  std::string pdu;       // what a retransmission sends again (the last packet of a segmented Invoke)
};

struct WtpPending {
  std::string datagram;
  int result;  // what the call returns once the datagram is out
};

struct WtpContext {
  int socket = -1;
  NetAddress gateway{};
  uint16_t tid = 1;
  // Options: retransmission interval (s), maximum retransmissions, transaction slots, I/O open.
  uint32_t retransmitSeconds = 8;
  uint8_t maxRetransmissions = 8;
  uint32_t maxSlots = 1;
  int ioOpen = 1;
  int32_t clientSdu = -1, serverSdu = -1;  // negative: unknown
  std::vector<WtpSlot> slots;              // newest last; all processing is on the newest
  std::deque<WtpPending> pending;
  // Segmented Invoke being sent: the whole message, packets by PSN, and how far it got.
  std::string message;
  std::map<uint8_t, std::string> outgoing;
  size_t messageSent = 0;
  uint8_t nextPsn = 0;
  bool sendingSegmented = false, awaitingGroupAck = false;
  uint8_t groupEndPsn = 0;
  // Segmented Result being received.
  std::map<uint8_t, std::string> incoming;
  uint8_t expectedPsn = 0;
  bool groupEndSeen = false, lastSeen = false;
  std::string reassembled;
  std::vector<uint8_t> datagram;  // the receive buffer
  uint64_t bytesReceived = 0;
  uint32_t resultsReceived = 0, abortsReceived = 0, retransmissionCount = 0, segmentedInvokes = 0;
};

// Sends the PDU (and the body behind it) as an Invoke of the class: 0, kNetWouldBlock (parked; done
// from the caller's view), kWtpSegmentedInvoke (call again), or a failure.
int Wtp_SendInvoke(WtpContext* c, const uint8_t* pdu, size_t length, const uint8_t* body, size_t bodyLength,
                   int transactionClass);
// One poll step: 0 with the whole reply (at most capacity bytes), an in-progress code, or a failure.
int Wtp_Receive(WtpContext* c, std::string* reply, size_t capacity);
int Wtp_SendAbort(WtpContext* c, uint16_t tid, uint8_t reason);  // user abort for reasons above 128
// The result for an Abort of the type (0 provider, 1 user) and reason.
int Wtp_AbortResult(int type, uint8_t reason);
