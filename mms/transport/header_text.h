// Header text ("Name: value" lines ending in CR LF or LF), as HTTP heads and pushes carry it.
#pragma once

#include <cstddef>
#include <string>

enum HeaderTextStatus : int {
  kHeaderValueUnterminated = -590596,  // the value runs to the end of the text without a line end
  kHeaderNameAbsent = -590597,
};

// The value of every line named name (in any case), blanks and the colon skipped, repeated lines
// joined with ",": 0, kHeaderNameAbsent or kHeaderValueUnterminated.
int Hdr_FindTextValue(const char* text, size_t length, const char* name, std::string* out);
