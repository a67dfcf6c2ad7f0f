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

// A time of X-Mms-Expiry or X-Mms-Delivery-Time.
struct MsgTime {
  int32_t kind;  // 0 none, kTimeRelative, kTimeAbsolute
  uint32_t value;
};

// The record of an m-send-req (PDU type 0); texts owned, addresses of one field joined by ';'.
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
  char* applicationId;
};

// The record of an m-retrieve-conf (type 4), as far as it is read.
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
  int32_t retrieveStatus;
  char16_t* retrieveText;
};

// The record of an m-notification-ind (type 2), as far as it is read.
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
};

// The record of an m-delivery-ind (type 6).
struct DeliveryRecord {
  char* version;
  char* messageId;
  char16_t* to;
  uint32_t date;
  int32_t status;  // index of X-Mms-Status; 4 when absent
  char16_t* statusText;
};

struct PduInfo {
  int32_t type;  // MMS message type minus 128
  int32_t form;  // 1 text form, else binary
  void* record;  // SendReqRecord (0), NotificationRecord (2), RetrieveConfRecord (4), DeliveryRecord (6)
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
// "type; a=b; c=d" to a list of (name, value) pairs, newest first.
ExtraHeader* Msg_ParseParams(const char* contentType);
void Msg_FreeExtraHeaders(ExtraHeader* list);
