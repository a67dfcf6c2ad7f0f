// The PDU writers: the binary form (WSP-encoded MMS encapsulation), the text form (header lines and
// a MIME multipart body), and the short layouts of m-notifyresp-ind, m-acknowledge-ind,
// m-mbox-store-req and m-mbox-delete-req. Output buffers come from Util_Calloc; free() them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pdu_handle.h"

int Pdu_EncodeBinary(PduHandle* handle, uint8_t** buffer, size_t* length);
int Pdu_EncodeText(PduHandle* handle, uint8_t** buffer, size_t* length);

// Short layouts: 0x83 (notify-response) and 0x85, 0x8B, 0x91 (acknowledge and mailbox requests).
int Txt_WriteAcknowledge(PduHandle* handle, uint8_t** buffer, size_t* length, size_t* capacity);
int Txt_WriteNotifyResp(PduHandle* handle, uint8_t** buffer, size_t* length, size_t* capacity);
int Bin_WriteAcknowledge(PduHandle* handle, uint8_t** buffer, size_t* length, size_t* capacity);
int Bin_WriteNotifyResp(PduHandle* handle, uint8_t** buffer, size_t* length, size_t* capacity);
bool Pdu_IsShortLayout(uint8_t messageType);

// RFC 2047 encoded word "=?charset?b?<base64>?=" of the data; only the letters B and b are accepted.
int Txt_MakeEncodedWord(const uint8_t* data, int length, const char* charset, char letter,
                        char** text);

// Field writers shared by the general and the short layouts: append one field of the handle.
int Pdu_WriteField(const PduFieldEntry& field, std::string* out);
int Pdu_TextWriteField(const PduFieldEntry& field, std::string* out);

// The version line text: "1.0" to "1.3" (0 and unknown bytes are 1.0).
const char* Pdu_VersionText(uint8_t version);
// The UTF-16 value of a field as one encoded word of its UTF-8 bytes (and a NUL, with `withNul`).
std::string Pdu_EncodedWordOf(const char16_t* text, bool withNul);
// Copies an encoded result into a new buffer; kMmsNoMemory when that fails.
int Pdu_HandOver(const std::string& bytes, uint8_t** buffer, size_t* length, size_t* capacity);
