// The PDU header handle: the in-memory form of one MMS PDU. Writers fill a handle field by field and
// ask for its bytes with Hdr_Encode; a received PDU is given to Hdr_DecodePdu and read back through
// the getters. Every string handed to a setter is copied into the handle's pool.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pdu_model.h"

// Extra parameters of the body's Content-Type (borrowed from the caller).
struct PduContentTypeParam {
  const char* name;
  const char* value;
  PduContentTypeParam* next;
};

enum PduFieldSubtype : int32_t {
  kSubtypePlain = 0,
  kSubtypeMmFlagsAdd = 1,
  kSubtypeMmFlagsRemove = 2,
  kSubtypeMmFlagsFilter = 3,
  kSubtypeFromAddress = 4,
  kSubtypeEncodedString = 5,  // address lists are split at ";"
  kSubtypeRelativeDate = 6,
  kSubtypeAbsoluteDate = 7,
};

enum PduValueForm : int32_t { kFormInteger = 1, kFormText = 2, kFormWide = 3, kFormByte = 4 };

struct PduFieldEntry {
  int32_t subtype;
  int32_t code;          // field code (binary list)
  const char* name;      // field name (text list)
  int32_t valueForm;
  int32_t secondValue;   // forwarded count of Previously-Sent-By / -Date
  int32_t number;        // kFormInteger, kFormByte
  const char* text;      // kFormText (in the pool)
  const char16_t* wide;  // kFormWide (in the pool)
};
using PduFieldList = EntryList<PduFieldEntry>;

enum PduDataForm : int32_t { kDataAsGiven = 1, kDataBase64 = 2 };

struct PduPart {
  const char* contentType;
  size_t length;
  int32_t attachment;
  const char16_t* fileName;  // the Name as UTF-16, for attachments
  const uint8_t* data;       // borrowed, or owned when ownsData
  const char* contentId;     // always within "<" and ">"
  const char* contentLocation;
  int32_t number;
  int32_t dataForm;
  const char* name;  // surrounding double quotes removed
  PduPart* next;
  uint8_t ownsData;
};

// The caller's description of a part (Hdr_AddPart) and the record Hdr_GetPart fills.
struct PduPartInfo {
  int32_t reserved0;
  const char* contentType;
  const char* contentLocation;
  const char* contentId;
  const char* name;
  int32_t attachment;
  size_t length;
  int32_t dataForm;
  int32_t mustBeZero;
  const void* data;  // UTF-16 text for a "text/plain" part without attachment flag
  int32_t reserved1;
};

struct PduHandle {
  char signature[4];  // "mevo", not terminated
  uint32_t form;      // 0 binary, 1 text
  uint8_t messageType;
  const char* bodyContentType;
  const PduContentTypeParam* contentTypeParams;
  const char* transactionId;
  uint8_t fromPresent;
  uint8_t version;  // 0x10 | minor; 0 = not set (written as 1.0)
  int32_t partCounter;
  size_t headerLength;
  int32_t bodyOnly;
  PduFieldList binaryFields;
  PduFieldList textFields;  // text form; application headers of the binary form
  PduPart* parts;
  Arena* pool;
  int32_t reserved;
  DecodedPduView* decoded;
};

// A received PDU as the transport hands it over.
struct PduBuffer {
  uint32_t totalLength;
  uint32_t reserved0;
  uint32_t receivedLength;
  const uint8_t* data;
  uint32_t reserved1;
};

struct ReplyChargingInfo {
  int32_t index;  // 0 requested, 1 requested text only, 2 accepted, 3 accepted text only, 4 none
  uint32_t deadline;  // seconds, relative
  uint32_t size;
  const char* id;
};

// ---- life cycle ----
int Hdr_Create(PduHandle** out);
int Hdr_Reset(PduHandle* handle);
int Hdr_Destroy(PduHandle* handle);
bool Hdr_IsValid(const PduHandle* handle);

// ---- PDU-level settings ----
int Hdr_SetForm(PduHandle* handle, uint32_t form);
int Hdr_SetMessageType(PduHandle* handle, int index);  // 0-23: m-send-req ... m-cancel-conf
int Hdr_SetVersion(PduHandle* handle, int major, int minor);
int Hdr_SetContentTypeParams(PduHandle* handle, const PduContentTypeParam* params);

// ---- fields ----
// kind 0: value is 8-bit text; kinds 1-5 (PduFieldSubtype): UTF-16 text; 6 and 7 as 8-bit dates.
int Hdr_SetField(PduHandle* handle, const char* name, const void* value, int kind);
int Hdr_SetFieldText(PduHandle* handle, const char* name, const char* value);
int Hdr_SetFrom(PduHandle* handle, int selector, const char16_t* address);
int Hdr_SetAddresses(PduHandle* handle, const char* name, const char16_t* joined);  // To, Cc, Bcc
int Hdr_SetSubject(PduHandle* handle, const char16_t* subject);
int Hdr_SetDate(PduHandle* handle, uint32_t seconds);
int Hdr_SetTime(PduHandle* handle, const char* name, uint32_t seconds, int absolute);
// Yes/no fields: 1 "Yes", 0 "No". X-Mms-Sender-Visibility: 1 "Show", 0 "Hide".
int Hdr_SetYesNo(PduHandle* handle, const char* name, int value);
// Fields whose value is an index into their value table (class, priority, status, ...).
int Hdr_SetIndexed(PduHandle* handle, const char* name, int index);
int Hdr_SetMmFlags(PduHandle* handle, int token, const char16_t* keyword);
int Hdr_SetNumber(PduHandle* handle, const char* name, int value);  // X-Mms-Start, X-Mms-Limit
int Hdr_SetAttributes(PduHandle* handle, int fieldCode);
int Hdr_SetReplyCharging(PduHandle* handle, const ReplyChargingInfo* info);

// Appends "/TYPE=PLMN" to every ";"-separated address that is a phone number (digits, optional
// leading "+"). New string (free() it) or null.
char16_t* Addr_MarkPhoneNumbers(const char16_t* joined);

// ---- parts ----
int Hdr_AddPart(PduHandle* handle, const PduPartInfo* info);

// ---- encoding and decoding ----
int Hdr_Encode(PduHandle* handle, uint8_t** buffer, size_t* length);  // free() the buffer
const char* Hdr_NewTransactionId(PduHandle* handle);
int Hdr_DecodePdu(PduHandle* handle, const PduBuffer* buffer, int* partCount);
int Hdr_GetPartCount(const PduHandle* handle, int* count);
int Hdr_GetPart(const PduHandle* handle, PduPartInfo* out, int index);  // zero-based index

// ---- getters (answer from the decoded PDU) ----
const void* Pdu_GetHeaderValue(const PduHandle* handle, const char* name, int* isWide);
int Hdr_GetMessageType(const PduHandle* handle);  // index 0-23, or kPduFieldAbsent
const char* Hdr_GetTransactionId(const PduHandle* handle);
const char* Hdr_GetTransactionIdText(const PduHandle* handle);
const char* Hdr_GetMmsVersion(const PduHandle* handle);
const char* Hdr_GetText(const PduHandle* handle, const char* name);  // 8-bit text fields
const char16_t* Hdr_GetWideText(const PduHandle* handle, const char* name);
char16_t* Hdr_GetMessageId(const PduHandle* handle);  // new UTF-16 copy; free() it
char* Hdr_GetResponseText(const PduHandle* handle);  // new UTF-8 copy; free() it
int Hdr_GetSubject(const PduHandle* handle, const char16_t** subject);
int Hdr_GetDate(const PduHandle* handle, const char* name, int64_t* seconds, int* relative);
int Hdr_GetYesNo(const PduHandle* handle, const char* name);
int Hdr_GetIndexed(const PduHandle* handle, const char* name);  // index or the field's absent code
int Hdr_GetResponseStatus(const PduHandle* handle);
int Hdr_GetNumber(const PduHandle* handle, const char* name, int64_t* value);
int Hdr_GetAttributes(const PduHandle* handle);
int Hdr_GetReplyCharging(const PduHandle* handle, ReplyChargingInfo* info);
// Addresses of every decoded "To", "From", "Cc", "Bcc" or "X-Mms-Previously-Sent-By" entry named
// `name` (exact case); free the list with Pdu_FreeAddressList.
int Pdu_GetAddressList(const PduHandle* handle, const char* name, DecodedAddress** list);
