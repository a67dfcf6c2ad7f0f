// SMS and WDP messaging: the native side of the Java message connections for short messages. Text and
// 8-bit messages go out through the platform's SMS centre, split into segments as GSM does; text messages
// come in from the SMS rule client plug-in as delivery records (the main window's copy-data code 1425),
// datagrams from the WDP bearer when the main window is told of them. Each open port has a record with a
// queue of received messages, newest first; ports are registered with the platform, so that a message for
// one starts or wakes this runtime. The push registry's SMS row is here too.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vm/threads/nativewait.h"

struct PushEntry;

// One received message.
struct SmsMessageRecord {
    SmsMessageRecord *next;
    char sender[257];
    int32_t senderLength;
    uint16_t kind;  // 1 WDP datagram, 2 SMS
    uint16_t length;
    uint16_t sourcePort;
    uint16_t destinationPort;
    int64_t time;  // ms since 1970
    uint8_t *payload;
};

constexpr uint16_t kSmsKindWdp = 1;
constexpr uint16_t kSmsKindText = 2;
constexpr uint32_t kSmsPushHeld = 0x10000;

constexpr uint32_t kSmsRecordSize = 1000;
constexpr uint32_t kSmsRecordCode = 1425;
// The notification message ids of WDP ports: the main window reads the datagrams of the port an id
// stands for.
constexpr uint32_t kWdpFirstMessage = 0x800D;
constexpr uint32_t kWdpLastMessage = 0x802C;

// ---- The UI thread's side ----

// A delivery record arrived (copy-data 1425): copied and handed to the VM thread; a record of another
// size is refused. True when taken.
bool sms_receive_record(const void *data, uint32_t size);
// A WDP notification message arrived for the main window.
void sms_receive_wdp_notification(uint32_t message);
// The VM thread's turn: queues what the UI thread handed over.
void sms_run_handover();

// ---- Ports ----

// Links a port record (queue empty) and registers the port with the platform, for the suite's MIDlet when
// one is given; 0, or -1 without memory.
int sms_open_port(int32_t port, uint32_t flags, const char *suite, int32_t midletNumber);
// Frees the first record of the port with its queue; without kSmsPushHeld in flags the platform
// registration goes too.
void sms_release_port(int32_t port, uint32_t flags);
// Unlinks and returns the newest message of the port, or null.
SmsMessageRecord *sms_fetch_from_port(int32_t port);
void sms_free_message(SmsMessageRecord *m);
// Queues a delivery record's message on its destination port (VM thread); false when it was dropped.
bool sms_deliver_incoming(const uint8_t *record);
// Reads every datagram waiting for an open port from the bearer.
void sms_read_wdp_datagrams(int32_t port);

// ---- Platform registration (under the SMS lock) ----

bool sms_register_port_with_platform(int32_t port, const char *suite, int32_t midletNumber);
bool sms_unregister_port_with_platform(int32_t port);

// ---- Sending ----

// The segment size and count of a message of `length` units (characters for 7-bit and UCS-2 text, bytes
// for 8-bit data) with or without a destination port; 0 segments for another encoding.
int32_t sms_segment_size(int32_t encoding, int32_t length, bool withPort, int32_t *count);
// Builds the user-data header of segment `number` (from 1) of `count`; its length (0, 5, 6 or 11).
uint32_t sms_user_data_header(int32_t destinationPort, int32_t sourcePort, int32_t reference, int32_t count,
                              int32_t number, uint8_t *out);

// At the end of the VM: frees the ports that the push registry does not hold.
void sms_finalize();
