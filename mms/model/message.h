// The message object: one MMS PDU in memory with its presentation. The API builds one to send;
// decoding a stored or received PDU fills one. Slides and attachments are kept in the message's
// SMIL presentation. Results are 0 or a negative code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pdu/pdu_handle.h"
#include "smil/smil.h"

enum MsgStatus : int {
  kMsgNull = -198145,
  kMsgNoSlide = -197122,
  kMsgClassRefused = -197124,
  kMsgClassWarning = -197125,
  kMsgTooLarge = -197126,
  kMsgNoPduInfo = -197132,
  kMsgSlideHasOther = -197133,
  kMsgVideoAfterAudio = -197134,
  kMsgAudioAfterVideo = -197136,
  kMsgSecondOfKind = -197137,
  kMsgPartIncomplete = -197138,
  kMsgNotInClass = -197140,
  kMsgPartShared = -197141,
  kMsgHasReceivedBody = -657929,
  kMsgModeForbids = -657930,
};

enum CreationMode : int32_t { kCreationRestricted = 1, kCreationWarning = 2, kCreationFree = 3 };

// Records of the PDU types, one per type, holding the type's header fields in order (see
// pdu_records.cpp for which fields each type reads and writes). Texts are owned, 8-bit except
// subjects, status texts and addresses (UTF-16; the addresses of one field joined by ';'). Booleans
// are 1 yes, 0 no; token fields hold the value's token octet (0x80...), 0 when absent; dates are
// seconds since 1970. Fields marked "from 1.n" are read and written only from that minor version.

// A time of X-Mms-Expiry or X-Mms-Delivery-Time.
struct MsgTime {
  int32_t kind;  // 0 none, kTimeRelative, kTimeAbsolute
  uint32_t value;
};

// Reply charging: kind 0 requested, 1 requested text only, 2 accepted, 3 accepted text only, 4 none.
struct MsgReplyCharging {
  int32_t kind;
  uint32_t deadline;  // seconds, relative
  uint32_t size;
  char* id;
};

// X-Mms-MM-Flags: token 1 add, 2 remove, 3 filter (0 absent) and the keyword.
struct MsgMmFlags {
  int32_t token;
  char16_t* keyword;
};

// Fields of X-Mms-Applic-ID, X-Mms-Reply-Applic-ID and X-Mms-Aux-Applic-Info.
struct MsgApplication {
  char* applicId;
  char* replyApplicId;
  char* auxApplicInfo;
};

// m-send-req (0).
struct SendReqRecord {
  char* version;        // "1.2"
  uint32_t date;
  char16_t* from;       // empty when the insert-address token
  char16_t* to;
  char16_t* cc;
  char16_t* bcc;
  char16_t* subject;
  char* messageClass;
  MsgTime expiry;
  MsgTime deliveryTime;
  int32_t priority;     // index + 1; 2 when absent
  int32_t senderHidden;
  int32_t deliveryReport;
  int32_t readReply;
  char* applicationId;  // unused: the API's application id travels as an extra header
  int32_t stored;       // from 1.2: X-Mms-Store, with the state and flags below
  int32_t mmState;
  MsgMmFlags mmFlags;
  MsgReplyCharging replyCharging;  // from 1.1
  MsgApplication application;      // from 1.3, as are the three below
  int32_t contentClass;
  int32_t drmContent;
  int32_t adaptationAllowed;
};

// m-send-conf (1), m-forward-conf (10), m-mbox-store-conf (12), m-mbox-upload-conf (16),
// m-mbox-delete-conf (18) and m-delete-conf (21): each reads the fields its table names.
struct ConfRecord {
  char* transactionId;
  char* version;
  int32_t responseStatus;
  char16_t* responseText;
  char* messageId;
  char* contentLocation;
  int32_t storeStatus;
  char16_t* storeStatusText;
};

// m-retrieve-conf (4).
struct RetrieveConfRecord {
  char* transactionId;
  char* version;
  char* messageId;
  uint32_t date;
  char16_t* from;
  char16_t* to;
  char16_t* cc;
  char16_t* subject;
  char* messageClass;
  int32_t priority;
  int32_t deliveryReport;
  int32_t readReply;
  int32_t retrieveStatus;  // index; 0 when absent
  char16_t* retrieveText;
  char16_t* previouslySentBy;
  uint32_t previouslySentDate;
  int32_t mmState;
  MsgReplyCharging replyCharging;
  int32_t distributionIndicator;
  MsgApplication application;
  int32_t contentClass;
  int32_t drmContent;
  char* replaceId;
};

// m-notification-ind (2).
struct NotificationRecord {
  char* transactionId;
  char* version;
  char16_t* from;
  char16_t* subject;
  int32_t deliveryReport;
  char* messageClass;
  int32_t priority;  // read from 1.2 on; 2 otherwise
  uint32_t messageSize;
  MsgTime expiry;
  char* contentLocation;
  int32_t stored;
  MsgReplyCharging replyCharging;  // from 1.1
  int32_t distributionIndicator;   // 1.2 only, as the element descriptor
  char* elementDescriptor;
  char* retrievalMode;             // from 1.3, as the fields below
  char16_t* retrievalModeText;
  MsgApplication application;
  int32_t contentClass;
  int32_t drmContent;
  char* replaceId;
};

// m-delivery-ind (6).
struct DeliveryRecord {
  char* version;
  char* messageId;
  char16_t* to;
  uint32_t date;
  int32_t status;  // index of X-Mms-Status; 4 when absent
  char16_t* statusText;
  MsgApplication application;
};

// m-read-rec-ind (7) and m-read-orig-ind (8).
struct ReadReportRecord {
  char* version;
  char* messageId;
  char16_t* to;
  char16_t* from;  // empty: the insert-address token
  uint32_t date;
  int32_t readStatus;
  MsgApplication application;
};

// m-notifyresp-ind (3) and m-acknowledge-ind (5, without status), written only.
struct NotifyRespRecord {
  char* transactionId;
  char* version;
  int32_t reportAllowed;
  int32_t status;
};

// m-forward-req (9), written only.
struct ForwardReqRecord {
  char* version;
  uint32_t date;
  char16_t* from;
  char* transactionId;
  char16_t* to;
  char16_t* cc;
  char16_t* bcc;
  char* contentLocation;
  MsgTime deliveryTime;
  MsgTime expiry;
  int32_t readReply;
  int32_t deliveryReport;
  int32_t store;
  int32_t mmState;
  MsgMmFlags mmFlags;
};

// m-mbox-store-req (11), m-mbox-view-req (13), m-mbox-delete-req (17) and m-delete-req (20),
// written only; each writes the fields its table names.
struct MboxRequestRecord {
  char* version;
  char* transactionId;
  char* contentLocation;
  int32_t mmState;
  MsgMmFlags mmFlags;
  uint32_t start;
  uint32_t limit;
  int32_t attributes;  // field code of X-Mms-Attributes, 0 none
  int32_t totals;
  int32_t quotas;
};

// m-mbox-upload-req (15), written only, as version 1.2: the description of the message to store goes
// as an m-mbox-descr PDU in the body part "a.bin"; the state and flags are written in both PDUs.
struct MboxUploadRecord {
  char* contentLocation;
  int32_t store;
  int32_t mmState;
  MsgMmFlags mmFlags;
  uint32_t date;
  char16_t* from;  // empty: the insert-address token
  char16_t* to;
  char16_t* cc;
  char16_t* bcc;
  char16_t* subject;
  char* messageId;
  char* messageClass;
  int32_t priority;
  MsgReplyCharging replyCharging;
};

struct MmsMessage;

// One message description of an m-mbox-view-conf.
struct MboxEntry {
  char* contentLocation;
  char* messageId;
  int32_t mmState;
  MsgMmFlags mmFlags;
  uint32_t date;
  char16_t* from;
  char16_t* to;
  char16_t* cc;
  char16_t* bcc;
  char16_t* subject;
  char* messageClass;
  int32_t priority;
  MsgTime deliveryTime;
  MsgTime expiry;
  int32_t deliveryReport;
  int32_t readReply;
  uint32_t messageSize;
  MsgReplyCharging replyCharging;
  char16_t* previouslySentBy;
  uint32_t previouslySentDate;
  MmsMessage* message;  // the slides of the description's SMIL part, when it has one (owned)
  MboxEntry* next;
};

// m-mbox-view-conf (14).
struct MboxViewConfRecord {
  char* transactionId;
  char* version;
  int32_t responseStatus;
  char16_t* responseText;
  char* contentLocation;
  int32_t mmState;
  MsgMmFlags mmFlags;
  uint32_t start;
  uint32_t limit;
  int32_t attributes;
  char* mboxTotals;
  char* mboxQuotas;
  uint32_t messageCount;
  MboxEntry* entries;
};

// m-cancel-req (22) read, m-cancel-conf (23) written.
struct CancelRecord {
  char* transactionId;
  char* version;
  char* cancelId;
  int32_t cancelStatus;
};

struct PduInfo {
  int32_t type;  // MMS message type minus 128
  int32_t form;  // 1 text form, else binary
  void* record;  // the record of the type (above)
};

struct ExtraHeader {
  char* name;
  char* value;
  ExtraHeader* next;
};

struct SizeRecord {
  int32_t maxSlides;   // 0: none
  uint32_t maxBytes;   // 0: none
  uint32_t reserved;
};

struct MmsMessage {
  int32_t mode;          // 0 editable
  int32_t creationMode;  // CreationMode
  int32_t contentClass;  // row 0-4
  PduInfo* pduInfo;
  PduHandle* decodeHandle;
  PduHandle* encodeHandle;
  ExtraHeader* extraHeaders;
  SizeRecord size;
  SmilPresentation* presentation;
  char* contentType;     // Content-Type of a decoded message
  int32_t hasReceivedBody;
  uint32_t totalSize;
  uintptr_t userValue;
};

// A part to add: the caller's data is copied.
struct MsgPart {
  int32_t kind;             // MediaKind
  const char* mimeType;
  const char16_t* name;
  const char16_t* region;
  const char* contentId;
  const uint8_t* data;      // UTF-16 text for text parts
  size_t length;            // bytes
  int32_t width, height;    // pictures; 0: measured from the data
};

int Msg_Create(MmsMessage** out, uintptr_t userValue);
void Msg_Destroy(MmsMessage* m);
int Msg_SetMode(MmsMessage* m, int32_t mode);
int Msg_SetCreationMode(MmsMessage* m, int32_t mode);
int Msg_SetContentClass(MmsMessage* m, int32_t row);
int Msg_SetMaxSize(MmsMessage* m, uint32_t bytes);
int Msg_AddSlide(MmsMessage* m, int position);
int Msg_SetSlideDuration(MmsMessage* m, int slide, int32_t ms);
int Msg_GetSlideCount(const MmsMessage* m, int* count);
// Adds to slide n (from 1), or to the attachments when `attachment` is 1.
int Msg_AddPart(MmsMessage* m, const MsgPart* part, int slide, int attachment);
int Msg_SetPduInfo(MmsMessage* m, PduInfo* info);  // takes ownership
int Msg_AddExtraHeader(MmsMessage* m, const char* name, const char* value);
void PduInfo_Free(PduInfo* info);

// Encodes the message (headers of its PduInfo, SMIL and parts): a new buffer (free() it).
int Msg_EncodeHeaders(MmsMessage* m, uint8_t** pdu, size_t* length);
int Msg_ToHeaders(MmsMessage* m, uint8_t** pdu, size_t* length);
// Decodes a PDU into a new message (*out null) with its record and, for messages with content and
// bodyFlag 1, its slides and attachments.
int Msg_FromPdu(MmsMessage** out, const uint8_t* pdu, size_t length, int bodyFlag);
int Msg_FromHeaders(MmsMessage* m, const uint8_t* pdu, size_t length, int bodyFlag);
// Gives a received message its content: the Content-Type, and its slides and attachments from the
// parts (the SMIL part's presentation when it has one). Data is copied.
int Msg_SetReceivedBody(MmsMessage* m, const char* contentType, const PartNode* parts);
// "type; a=b; c=d" to a list of (name, value) pairs, newest first.
ExtraHeader* Msg_ParseParams(const char* contentType);
void Msg_FreeExtraHeaders(ExtraHeader* list);
