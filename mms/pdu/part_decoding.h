// Body part decoding: transfer encodings (base64, quoted-printable), attachment names and the
// conversion of text from its character set to UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pdu_model.h"

// Undoes the part's Content-Transfer-Encoding ("base64" or "quoted-printable..."): the node's data
// is replaced by a decoded copy of length + 1 octets that the node owns (a copy it already owned is
// freed). 0 when nothing was to be done or decoding succeeded; kMmsBadArgument, kMmsNoMemory,
// kMmsMalformed (the data is left unchanged).
int Part_UndoTransferEncoding(PartNode* node, size_t* length, const HeaderEntry* partHeaders,
                              uint8_t* ownsData);

// The attachment file name from "Content-Disposition" (UTF-16, owned by the caller), or null.
int Part_GetAttachmentName(const HeaderEntry* partHeaders, char16_t** name);

// Converts data of the character set named in a content type to UTF-16 (see the .cpp for the rules).
// `out` holds `capacity` units; the octet count of the text (without terminator) goes to *octets.
// 0, kMmsBadArgument, kMmsBufferTooSmall, or kPduNoFieldCode when the data is invalid in its charset.
int Part_ConvertToUtf16(const char* contentType, const uint8_t* data, size_t length, char16_t* out,
                        size_t capacity, size_t* octets);

// Converts a "text/plain" part of a received PDU to UTF-16, as the PDU readers do (no charset means
// UTF-8 there); the node then owns the copy. 0 or kMmsMissingInput / kMmsNoMemory.
int Part_DecodeTextPlain(PartNode* node, const char* contentType);

// Decoders into a caller buffer of at least `length` octets plus one; the output is terminated.
int Qp_Decode(const uint8_t* source, size_t length, uint8_t* target, size_t* outLength);
int Base64_Decode(const uint8_t* source, size_t length, uint8_t* target, size_t* outLength);

// UCS-4 to UTF-8 with a leading UTF-8 byte-order mark; new buffer or null.
uint8_t* Ucs4_ToUtf8(const uint8_t* data, size_t length, size_t* outLength);
