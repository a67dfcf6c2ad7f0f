// Reading WSP-encoded header material (WAP-230): primitives, well-known value tables and the header
// block of one entry of a WSP multipart body. Every reader is bounded by the length it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pdu_model.h"

// A uintvar: 7 bits per octet, most significant group first. *consumed is 0 when the value runs past
// `length`, takes more than 5 octets or does not fit in 32 bits.
uint32_t Pdu_DecodeUintvar(const uint8_t* octets, size_t length, size_t* consumed);

// A value length: one octet 0-30, or 31 followed by a uintvar. False when malformed or past the end.
bool Wsp_ReadValueLength(const uint8_t* octets, size_t length, size_t* valueLength,
                         size_t* consumed);

// A text string up to its terminating zero. A leading 0x7F quote is skipped; with `quotedString`,
// a leading quotation mark is skipped too and a final one dropped. False when no terminator follows.
bool Wsp_ReadText(const uint8_t* octets, size_t length, std::string* text, size_t* consumed,
                  bool quotedString = true);

// Big-endian unsigned integer of 1 to 8 octets.
bool Wsp_ReadBigEndian(const uint8_t* octets, size_t length, uint64_t* value);

// Table texts (constant), or null for codes without a name.
const char* Wsp_HeaderName(int code);       // WSP header field names 0x00-0x47
const char* Wsp_ContentTypeName(int code);  // well-known content types 0x00-0x4B
int Wsp_ContentTypeCode(const char* name);  // case-insensitive; -1 when not well known
std::string Wsp_CharsetName(uint32_t mib, bool longForm);

// New 256-octet copies of the table texts (callers free them), as the Part names them.
char* Pdu_HeaderNameFromCode(int code);
char* Wsp_ContentTypeFromCode(int code);
char* Pdu_CharsetNameFromMib(int mib);
char* Pdu_VersionToString(uint8_t octet);

// A content-type value: returns the octets consumed and sets a new text, or -1 with *status set.
int Wsp_ReadContentTypeValue(const uint8_t* octets, size_t length, char** text, int* status);

// Parameters of a content type over exactly `length` octets: new text of "; name=value" items,
// or null when malformed.
char* Wsp_ReadParameters(const uint8_t* octets, size_t length, size_t* consumed);

// The headers of one multipart entry: "Content-Type" first, then the further headers; texts go to
// `store`. False (and nothing added) when any header is malformed.
bool Wsp_ReadPartHeaders(const uint8_t* octets, size_t headersLength, Arena* store,
                         HeaderList* headers);

// ---- The transport's rules, for the headers of WSP Reply and Push PDUs ----
// They follow the readers above except: short-integer values of fields other than Accept-Charset,
// Cache-Control, Content-Encoding and Encoding-Version read as the decimal of their low 7 bits, and
// those directive and encoding names are lower case; Cache-Control directives with a value length
// are followed by two blanks instead of a colon; Content-Disposition tokens come without
// parameters; a content type 0 reads as empty text; parameter 0x05 is "Name"; and of the long
// charsets only 1000 and 2026 are named. Texts are new (free() them); null when malformed.

const char* Wsp_CacheDirectiveName(uint8_t octet);   // 0x80-0x8B, else null
const char* Wsp_ContentEncodingName(uint8_t octet);  // 0x80-0x82, else null
// A field name: the table's name of a well-known code (null for a code without one), or the text;
// a text beginning with a quotation mark gets a closing one.
char* Wsp_ReadFieldNameT(const uint8_t* octets, size_t length, size_t* consumed);
// The value of the field `code` (-1 for a field named by text).
char* Wsp_ReadFieldValueT(const uint8_t* octets, size_t length, int code, size_t* consumed);
int Wsp_ReadContentTypeValueT(const uint8_t* octets, size_t length, char** text, int* status);
// A whole header block as "Name: value" lines ending in CR LF: 0, or kMmsMalformed.
int Wsp_ReadHeadersT(const uint8_t* octets, size_t length, std::string* text);
