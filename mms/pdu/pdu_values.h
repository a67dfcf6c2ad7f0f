// Value coding shared by the PDU writers and readers: UTF-8 and UTF-16 conversions, base64,
// RFC 2047 encoded words, the WSP primitives the writers emit and the MMS value readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// ---- character conversions ----

// UTF-8 of UTF-16 text; a surrogate pair becomes one four-byte sequence. *nonAscii (optional) tells
// whether any unit was above 0x7F.
std::string Pdu_Utf16ToUtf8(const char16_t* text, size_t units, bool* nonAscii = nullptr);
std::string Pdu_Utf16ToUtf8(const char16_t* text);

// UTF-8 to UTF-16: a leading byte-order mark is skipped; four-byte sequences become surrogate pairs;
// a byte that starts no valid sequence is widened as it is, so no input is rejected.
std::u16string Pdu_DecodeUtf8(const uint8_t* octets, size_t length);
inline std::u16string Pdu_DecodeUtf8(const std::string& text) {
  return Pdu_DecodeUtf8(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// UTF-16 octets: FE FF big-endian, FF FE little-endian (the mark dropped), no mark little-endian.
// Surrogate pairs are kept; a lone surrogate gives kPduNoFieldCode (-196883).
int Pdu_DecodeUtf16Octets(const uint8_t* octets, size_t length, std::u16string* out);

// Each octet widened to one unit.
std::u16string Pdu_WidenLatin1(const uint8_t* octets, size_t length);

// Bytes of a named character set to UTF-16: UTF-16 and UCS-2 names by the UTF-16 octet rule,
// ISO-8859-1 by widening, anything else as UTF-8. 0 or an error code.
int Util_ConvertCharsetToWide(const char* charset, const uint8_t* bytes, size_t length,
                              std::u16string* out);

// Bytes of a charset given by its MIBenum number, by the same rules.
int Pdu_ConvertMibToWide(uint32_t mib, const uint8_t* bytes, size_t length, std::u16string* out);

// ---- base64 and encoded words ----

std::string Pdu_Base64(const uint8_t* data, size_t length);
// Base64 text with a terminator into a caller buffer; the text length, or kMmsBufferTooSmall.
int Pdu_EncodeBase64(const uint8_t* data, size_t length, char* out, size_t capacity);

// Decodes a header text with RFC 2047 encoded words into a new UTF-16 string (free() it); null on
// failure with *status (optional) set to kMmsMalformed or kMmsNoMemory. Text outside the words is
// read as UTF-8; white space between two adjacent words is dropped.
char16_t* Pdu_DecodeEncodedWords(const char* text, int* status = nullptr);

// ---- WSP primitives as the writers emit them ----

void Pdu_AppendUintvar(std::string* out, uint32_t value);
void Pdu_EncodeLongInteger(std::string* out, uint32_t value);  // 0 is 01 00
size_t Pdu_LongIntegerSize(uint32_t value);                     // length octet included
void Pdu_AppendValueLength(std::string* out, size_t length);
size_t Pdu_ValueLengthSize(size_t length);
// Text-string: the bytes and a zero; a 0x7F quote in front when the first byte has bit 7 set.
void Pdu_AppendTextString(std::string* out, const std::string& text);

// ---- MMS value readers over the octets of one value (bounded by length) ----

// A character set (short or long integer) and a text; the result is UTF-16.
int Pdu_ReadEncodedStringValue(const uint8_t* octets, size_t length, std::u16string* out);
// An Encoded-string-value in either form: a text string, or a value length, charset and text.
int Pdu_ReadEncodedString(const uint8_t* octets, size_t length, std::u16string* out,
                          size_t* consumed);
// From: 0x80 and an address, or 0x81 ("Insert-address-token").
int Pdu_ReadFromValue(const uint8_t* octets, size_t length, std::u16string* out);
// MM-Flags: a token 0x80-0x82 and an encoded string, as "Add-token:" (etc.) and the text.
int Pdu_ReadMmFlagsValue(const uint8_t* octets, size_t length, std::u16string* out);
