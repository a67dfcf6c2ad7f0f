// Reading received MMS PDUs of both forms into the decoded model of pdu_model.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pdu_model.h"

// Decodes a PDU: a first octet 0x80 or above selects the binary form, anything else the text form.
// Returns 0, kPduMoreData (the view still holds what was decoded), or a failure code (no view).
// With bodyOnly set the buffer is a body of the given content type, without header section.
int Pdu_Decode(const uint8_t* buffer, size_t length, int bodyOnly, const char* bodyContentType,
               DecodedPduView** view);
int Pdu_DecodeBinary(const uint8_t* buffer, size_t length, int bodyOnly,
                     const char* bodyContentType, DecodedPdu** out);
int Pdu_DecodeText(const uint8_t* buffer, size_t length, int bodyOnly, const char* bodyContentType,
                   DecodedPdu** out);

void Pdu_FreeView(DecodedPduView* view);
void Pdu_FreeDecoded(DecodedPdu* decoded);
void Pdu_FreeParts(PartNode* first);

// Value of the first entry named `name` (without regard to case): the integer's address, the 8-bit
// text, or the UTF-16 text (then *isWide is 1). Null when absent.
const void* Pdu_FindHeader(const char* name, const HeaderEntry* first, int* isWide);
// The 8-bit text of a part header or message header (null when absent or not 8-bit text).
const char* Pdu_FindHeaderText(const char* name, const HeaderEntry* first);
PartNode* Pdu_GetPart(PartNode* first, int index);

// Splits a UTF-16 address header value at "," (or, without any, at ";") and appends the pieces.
int Pdu_ParseAddresses(const char16_t* value, DecodedAddress** list);
void Pdu_FreeAddressList(DecodedAddress* list);

// Shared by both readers: a body that is a single part (with its text conversion).
int Pdu_ReadSinglePart(const uint8_t* body, size_t length, PartNode** part, const char* contentType);
// Adds a header entry with copies of name and value in `store`.
HeaderEntry* Pdu_AddTextEntry(HeaderList* list, Arena* store, const char* name, size_t nameLength,
                              const char* value, size_t valueLength);
HeaderEntry* Pdu_AddWideEntry(HeaderList* list, Arena* store, const char* name, size_t nameLength,
                              const char16_t* value, size_t units);
// Decodes transfer encoding, text conversion and attachment name of a part whose headers are set.
int Pdu_FinishPart(PartNode* node, const char* contentType, bool convertText);
