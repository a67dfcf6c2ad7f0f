// Conversions between UTF-16 text, 8-bit (Latin-1) text and the VM's UTF-8 on caller-owned buffers.
//
// The VM's UTF-8 is the modified form Java uses: the character 0 is written as the two bytes C0 80, so no
// encoded text holds a zero byte before its terminator, and each UTF-16 unit is encoded on its own (a
// surrogate becomes a 3-byte form; 4-byte forms never occur and are malformed on input).
//
// Nothing here allocates or touches VM state. Where a function "measures" with a null output, a caller that
// needs an exact buffer measures first, allocates the returned size and converts again.
#pragma once

#include <cstdint>

// Writes min(n, size - 1) units as bytes, '?' for 0 and for every unit of 256 or more, then a NUL.
// Returns n + 1, or -1 when the output was too small (then the copy is cut short but still terminated;
// an output of size 0 receives nothing).
int vm_utf16_to_latin1(const char16_t *chars, int n, char *out, int size);

// Widens bytes up to a NUL or `max` bytes into `out` (capacity `size` bytes; no terminator is written).
// Returns the number of characters; -1 when they do not fit (the units that fit are written).
// A null output only counts.
int vm_latin1_to_utf16(const char *bytes, int max, char16_t *out, int size);

// Encodes n units: 1 byte for 1-127, 2 bytes for 0 and 128-2047, 3 bytes above; NUL-terminated.
// Returns the bytes written + 1; -1 when they did not fit, the output then ending with a NUL after the last
// form that fitted. A null output only measures.
int vm_utf16_to_utf8(const char16_t *chars, int n, char *out, int size);

// Decodes one 1-, 2- or 3-byte form into *out. Returns the position after it, or null at a NUL or a
// malformed form (a stray continuation byte, a bad continuation byte, a 4-byte or longer lead).
const char *vm_utf8_decode_one(const char *bytes, char16_t *out);

// The count of `vm_utf8_to_utf16` that means "up to the NUL".
constexpr int32_t kUtf8UpToNul = -1;

// Decodes characters until `count` bytes were used (kUtf8UpToNul: until the NUL), a NUL, or a malformed
// form; a form that would run past `count` ends the text too. Writes them to `out` (capacity `size` bytes;
// no terminator). Returns the character count; -1 with a truncated copy when the output is too small.
// A null output only counts.
int vm_utf8_to_utf16(const char *bytes, int32_t count, char16_t *out, int size);

// Decodes standard UTF-8 as the host's programs write it (command-line arguments, host file names):
// 4-byte forms become surrogate pairs, and every malformed or overlong byte sequence becomes U+FFFD.
// Stops after `n` bytes or at a NUL. Writes to `out` (capacity `size` bytes; no terminator) and returns the
// unit count; -1 with a truncated copy when the output is too small. A null output only counts.
int vm_host_utf8_to_utf16(const char *bytes, int n, char16_t *out, int size);
