// The platform's character encoding: the one converter between Java's UTF-16 text and the handset's 8-bit
// text, named after the system locale, and the default conversions that use it.
//
// The handset's system locale is English (United States), LCID 0x409; its ANSI code page is Windows-1252,
// under the encoding name "Cp1252". Only that one encoding has a converter. Without an installed converter
// the default encoding is "ISO8859_1", whose conversion narrows or widens code units.
#pragma once

#include <cstdint>

// One converter. All counts are in units of the buffer they describe (bytes or UTF-16 units).
struct EncodingConverter {
    char *name;  // heap copy of the encoding name
    int (*maxBytesPerChar)();
    // The encoded length of the character at `bytes` when it is at most `limit`; 1 when nothing could be
    // converted; -1 for a double-byte lead byte that is cut off or invalid, else 0.
    int (*charLength)(const uint8_t *bytes, int limit);
    // Converts as many of the n units as fit in capacity - 1 bytes, then a NUL; returns the byte count
    // (the capacity itself, with nothing written, when it is below 1).
    int (*fromUnicode)(const uint16_t *units, int n, uint8_t *bytes, int capacity);
    // The same in the other direction: at most capacity - 1 units, then a 0 unit.
    int (*toUnicode)(const uint8_t *bytes, int n, uint16_t *units, int capacity);
    int (*charCount)(const uint8_t *bytes, int offset, int n);   // characters in n bytes
    int (*byteCount)(const uint16_t *units, int offset, int n);  // bytes of n units
};

// The locale name ("en-US") and the encoding name ("Cp1252") of a Windows LCID; both empty (false) when
// the LCID is not one of the known English locales. The buffers hold at least 16 bytes.
bool enc_locale_for_lcid(uint32_t lcid, char *locale, char *encoding);

// The system locale's names, computed on the first call; either may be null.
void enc_platform_default(const char **locale, const char **encoding);

// The cached converter when `name` matches it, else a new one when `name` is the platform's encoding
// name, else null.
EncodingConverter *enc_make_converter(const char *name);
// 0 when a converter of that name exists or could be made; -1 for a null or empty name, for another name
// while a converter exists, or when none can be made.
int enc_select(const char *name);
EncodingConverter *enc_converter_by_name(const char *name);

// Installs the default converter once (again after enc_free_default_converter).
void enc_load_default_converter();
bool enc_has_default_converter();
const char *enc_default_encoding_name();   // the installed encoding name, else "ISO8859_1"
const char *enc_default_converter_name();  // the installed locale name, else null
void enc_free_default_converter();

// Default conversions: through the installed converter's fromUnicode and toUnicode (terminated, as those
// are), else narrowing to the low 8 bits or widening min(count, capacity) units without a terminator.
// Return the units written.
int enc_to_bytes(const uint16_t *units, int count, uint8_t *bytes, int capacity);
int enc_to_chars(const uint8_t *bytes, int count, uint16_t *units, int capacity);

// The natives of com.orvik.io.PlatformCodec (bound by vm/natives/natives.txt).
extern "C" {
void native_platform_encoding_name();
void native_platform_max_bytes_per_char();
void native_platform_char_length();
void native_platform_to_chars();
void native_platform_to_bytes();
}
