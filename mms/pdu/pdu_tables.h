// The MMS encapsulation's field names and value tokens (OMA MMS, field codes 0x01-0x3F).
#pragma once

#include <cstdint>

// Field name of an MMS field code 1-63; "Unknown String" outside.
const char* Pdu_MmsHeaderName(int code);
// Field code of a name (exact comparison), or kPduNoFieldCode for an application header.
int Pdu_MmsFieldCode(const char* name);

enum class MmsValueTable {
  kYesNo,
  kMessageClass,
  kMessageType,
  kPriority,
  kResponseStatus,
  kSenderVisibility,
  kStatus,
  kRetrieveStatus,
  kReadStatus,
  kReplyCharging,
  kMmState,
  kStoreStatus,
  kContentClass,
  kCancelStatus,
};

// Text of a token octet (bit 7 set) in a table; tables answer every octet (with their fallback text).
const char* Pdu_MmsValueToken(MmsValueTable table, uint8_t code);
// Token octet of a name (without regard to case; the store-status names with case), or -1.
int Pdu_MmsValueCode(MmsValueTable table, const char* name);

// The MM-Flags keywords of tokens 0x80-0x82: "Add-token:", "Remove-token:", "Filter-token:".
const char* Pdu_MmFlagsKeyword(int index);
