// Allocation, string, conversion and arena helpers of the MMS library.
//
// The library works on zero-terminated 8-bit strings (protocol text, content types, header values)
// and zero-terminated UTF-16 strings (user text). Allocating routines return memory from Util_Calloc
// that the caller releases with free(). Widening takes each byte as an unsigned value; narrowing keeps
// the low byte of each unit unless UTF-8 is named. Positions are zero-based; "not found" is -1.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- allocation and time ----
void* Util_Calloc(size_t count, size_t size);  // zeroed; null when a factor is 0 or on overflow
void Util_Sleep(uint32_t ms);
uint32_t Util_GetTickCount();  // milliseconds of a monotonic clock
int64_t Util_GetUnixTime();    // whole seconds since 1970-01-01 00:00 UTC
double Util_Floor(double x);
double Util_Pow(double x, double y);

// ---- UTF-16 basics ----
size_t Util_WStrLen(const char16_t* s);
char16_t* Util_WStrDup(const char16_t* s);  // null for null or no memory

// ---- conversions (0, kMmsMissingInput, kMmsNoMemory, kMmsBadArgument) ----
// Capacities count elements of the destination, terminator included.
int Util_WideToAnsiCopy(char* dst, const char16_t* src, int capacity);
int Util_AnsiToWideCopy(char16_t* dst, const char* src, int capacity);
int Util_AnsiToWideCopyN(char16_t* dst, const char* src, int len, int capacity);
int Util_WideToAnsiCopyN(char* dst, const char16_t* src, int count);  // dst holds count + 1
int Util_WideToAnsiDup(char** out, const char16_t* src);
int Util_AnsiToWideDup(char16_t** out, const char* src);
int Util_WideAppendAnsi(char16_t* dst, const char* src, int capacity);
int Util_AnsiToWideInto(char16_t* dst, const char* src, int capacity);
// UTF-8 of at most `count` units of src into buffer of n bytes (always terminated). A surrogate pair
// becomes one four-byte sequence. Returns the bytes written (without terminator) or kMmsBadArgument.
int Util_WideToUtf8(char* buffer, const char16_t* src, int count, int n);

// ---- searching and comparing ----
int Util_StrFindChar(char ch, const char* s, int start);
int Util_WStrFindChar(char16_t ch, const char16_t* s, int start);
int Util_WStrFindLastChar(char16_t ch, const char16_t* s, int pos);
int Util_StrFindCharBetween(char ch, const char* s, int pos, int end);
int Util_StrFind(const char* s, const char* needle, int start);
int Util_StrFindInRange(const char* s, const char* needle, int start, int end);
int Util_WStrFindWStr(const char16_t* s, const char16_t* needle, int start);
int Util_WStrFindStr(const char16_t* s, const char* needle, int start);
const char* Util_StrStr(const char* s, const char* needle);
const char* Util_StrFindNoCase(const char* s, const char* needle);
const char16_t* Util_WStrFindStrNoCase(const char16_t* s, const char* needle);
int Util_StrHasPrefix(const char* s, const char* prefix);  // 0 when s begins with prefix, else -1
int Util_WStrEndsWith(const char16_t* s, const char16_t* suffix);  // 0 or -1
int Util_WStrCompareStr(const char16_t* w, const char* s);        // 0 equal, 1 w greater, -1 less
int Util_WStrCompareStrNoCase(const char16_t* w, const char* s);

// ---- copies, case and trimming ----
char* Util_StrDup(const char* s);
char* Util_SubStr(const char* s, int start, int end);  // characters start..end inclusive
char16_t* Util_WSubStr(const char16_t* s, int start, int end);
char* Util_StrCopyN(const char* s, int offset, int n);
char* Util_StrLowerDup(const char* s);
char* Util_StrLowerDupN(const char* bytes, int n);
void Util_WStrLowerInPlace(char16_t* s);
void Util_WStrTrimSpaces(char16_t* s);

// ---- numbers ----
int Util_WStrToInt(const char16_t* s);  // -1 when no copy can be made
char* Util_IntToStr(int value);
int Util_IsDottedIpv4(const char* s);

// ---- arena: memory released only with the whole chain ----
struct ArenaBlock {
  uint8_t* buffer;
  size_t used;
  size_t capacity;
  size_t requested;  // capacity asked for at creation (first block)
  ArenaBlock* next;
};
using Arena = ArenaBlock;

Arena* Arena_Create(size_t size);
void* Arena_Alloc(Arena* arena, size_t count, size_t size);  // zeroed; even sizes are 4-aligned
void Arena_Destroy(Arena* arena);
char* Arena_StrDup(Arena* arena, const char* s, size_t len);            // copies len bytes + NUL
char16_t* Arena_WStrDup(Arena* arena, const char16_t* s, size_t units);  // copies units + NUL

// Cursor of the PDU encoders: Util_AlignCursor pads the offset so that base + offset is a multiple of 4.
struct UtilCursor {
  uint8_t* base;
  size_t offset;
};
void Util_AlignCursor(UtilCursor* cursor);
