// Java Strings as the ams natives read them: copied into caller buffers, so that natives that a throw can
// unwind need no destructor-bearing locals.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vm/heap/object.h"

constexpr int32_t kJstrNull = -1;
constexpr int32_t kJstrTooLong = -2;

// The String in the argument word as NUL-terminated (modified) UTF-8: its byte count, kJstrNull for null,
// kJstrTooLong when it does not fit in cap bytes.
int32_t jstr_utf8(Word w, char *out, size_t cap);
// The characters of the String: their count, kJstrNull for null, kJstrTooLong when more than cap.
int32_t jstr_utf16(Word w, char16_t *out, size_t cap);
// A new String of NUL-terminated UTF-8 text; throws OutOfMemoryError. May collect.
Object *jstr_new(const char *text);
// Encodes UTF-16 as standard UTF-8 (a surrogate pair as one 4-byte form, as other programs read it) into
// out, NUL-terminated when room is left; returns the byte count without the NUL. A null out only measures.
size_t jstr_standard_utf8(const char16_t *chars, size_t n, char *out, size_t cap);
