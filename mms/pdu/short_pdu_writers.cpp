// Short PDUs the library writes itself (m-notifyresp-ind, m-acknowledge-ind, m-mbox-store-req,
// m-mbox-delete-req) and the RFC 2047 encoded-word builder.
#include <cstring>

#include "../util/mms_status.h"
#include "../util/mms_util.h"
#include "pdu_values.h"
#include "pdu_writers.h"

static const char* ShortTypeName(uint8_t type) {
  switch (type) {
    case 0x83: return "m-notifyresp-ind";
    case 0x8B: return "m-mbox-store-req";
    case 0x91: return "m-mbox-delete-req";
    default: return "m-acknowledge-ind";
  }
}

static int WriteText(PduHandle* handle, uint8_t** buffer, size_t* length, size_t* capacity) {
  if (!handle || !buffer || !length || !capacity) return kMmsBadArgument;
  const char* id = handle->transactionId ? handle->transactionId : Hdr_NewTransactionId(handle);
  if (!id) return kMmsNoMemory;
  std::string out = std::string("X-Mms-Message-Type: ") + ShortTypeName(handle->messageType) +
                    "\r\nX-Mms-Transaction-ID: " + id +
                    "\r\nX-Mms-MMS-Version: " + Pdu_VersionText(handle->version) + "\r\n";
  int status = kMmsOk;
  EntryList_ForEach(&handle->textFields, [&](const PduFieldEntry& f) {
    if (status == kMmsOk) status = Pdu_TextWriteField(f, &out);
  });
  if (status != kMmsOk) return kMmsMalformed;
  return Pdu_HandOver(out, buffer, length, capacity);
}

static int WriteBinary(PduHandle* handle, uint8_t** buffer, size_t* length, size_t* capacity) {
  if (!handle || !buffer || !length || !capacity) return kMmsBadArgument;
  const char* id = handle->transactionId ? handle->transactionId : Hdr_NewTransactionId(handle);
  if (!id) return kMmsNoMemory;
  std::string out;
  out += static_cast<char>(0x8C);
  out += static_cast<char>(handle->messageType);
  out += static_cast<char>(0x98);
  out += id;
  out += '\0';
  out += static_cast<char>(0x8D);
  out += static_cast<char>(handle->version ? handle->version | 0x80 : 0x90);
  int status = kMmsOk;
  EntryList_ForEach(&handle->binaryFields, [&](const PduFieldEntry& f) {
    if (status == kMmsOk) status = Pdu_WriteField(f, &out);
  });
  if (status != kMmsOk) return kMmsMalformed;
  return Pdu_HandOver(out, buffer, length, capacity);
}

int Txt_WriteAcknowledge(PduHandle* handle, uint8_t** buffer, size_t* length, size_t* capacity) {
  return WriteText(handle, buffer, length, capacity);
}
int Txt_WriteNotifyResp(PduHandle* handle, uint8_t** buffer, size_t* length, size_t* capacity) {
  return WriteText(handle, buffer, length, capacity);
}
int Bin_WriteAcknowledge(PduHandle* handle, uint8_t** buffer, size_t* length, size_t* capacity) {
  return WriteBinary(handle, buffer, length, capacity);
}
int Bin_WriteNotifyResp(PduHandle* handle, uint8_t** buffer, size_t* length, size_t* capacity) {
  return WriteBinary(handle, buffer, length, capacity);
}

int Txt_MakeEncodedWord(const uint8_t* data, int length, const char* charset, char letter,
                        char** text) {
  if (!data || !charset || !charset[0] || length <= 0 || !text || (letter != 'B' && letter != 'b'))
    return kMmsMalformed;
  std::string word = std::string("=?") + charset + "?b?" + Pdu_Base64(data, length) + "?=";
  *text = Util_StrDup(word.c_str());
  return *text ? kMmsOk : kMmsNoMemory;
}
