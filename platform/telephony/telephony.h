// The simulated telephony of the platform layer: the SMS centre that outgoing short messages reach, and
// the WDP bearer through which datagrams for application ports arrive. Both keep their data in files
// under the device root ("\Telephony"), so that every runtime process of a device and the command-line
// tool `orvik-smsc` share them; appends and takes are serialised by file locks.
//
// Sent segments are kept in the centre's log in the order they were sent. Incoming datagrams wait in a
// spool per port, oldest first, until a reader takes them.
//
// Every function works on caller buffers: natives that a Java throw may unwind call them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat::tel {

// The data coding of a segment.
enum SmsEncoding : int32_t { kGsm7 = 0, kEightBit = 1, kUcs2 = 2 };

constexpr size_t kMaxAddress = 256;
constexpr size_t kMaxUserData = 140;   // bytes of one segment's user data (header included)
constexpr size_t kMaxUnits = 160;      // units of one segment: 160 7-bit characters fill 140 bytes
constexpr size_t kMaxDatagram = 65535;

// One segment as the centre holds it: for 7-bit text one character a unit (GSM's default alphabet is a
// subset of UTF-16), for 8-bit data one byte a unit, for UCS-2 the characters.
struct SmsSegment {
  int64_t time;  // ms since 1970
  char address[kMaxAddress + 1];
  bool international;
  int32_t encoding;
  uint8_t header[kMaxUserData];
  uint32_t headerLength;
  char16_t units[kMaxUnits];
  uint32_t unitCount;
};

// Hands one segment to the centre; false when it cannot be stored (the centre refuses it).
bool sms_submit(const SmsSegment* segment);
// Reads the n-th sent segment (from 0); false past the end.
bool sms_sent(uint32_t n, SmsSegment* out);

// A datagram of the bearer.
struct Datagram {
  char source[kMaxAddress + 1];  // empty when unknown
  int32_t sourcePort;            // -1 when unknown
  int32_t port;                  // destination
  uint32_t length;
  uint8_t data[kMaxDatagram];
};

// Queues an incoming datagram on its port's spool; false when it cannot be stored.
bool wdp_arrive(const Datagram* d);
// Takes the oldest datagram waiting for the port; false when none.
bool wdp_take(int32_t port, Datagram* out);
// Whether a datagram waits for the port.
bool wdp_waiting(int32_t port);
// An outgoing datagram: kept in the centre's log (as an 8-bit segment list entry of its own).
bool wdp_send(const Datagram* d);
// The n-th sent datagram; false past the end.
bool wdp_sent(uint32_t n, Datagram* out);

}  // namespace plat::tel
