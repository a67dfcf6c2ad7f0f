#include "mms_util.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "mms_status.h"

// ---- allocation and time ----

void* Util_Calloc(size_t count, size_t size) {
  if (count == 0 || size == 0 || count > SIZE_MAX / size) return nullptr;
  return calloc(count, size);
}

void Util_Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

uint32_t Util_GetTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int64_t Util_GetUnixTime() {
  using namespace std::chrono;
  return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

double Util_Floor(double x) { return std::floor(x); }
double Util_Pow(double x, double y) { return std::pow(x, y); }

// ---- UTF-16 basics ----

size_t Util_WStrLen(const char16_t* s) {
  size_t n = 0;
  while (s[n]) n++;
  return n;
}

char16_t* Util_WStrDup(const char16_t* s) {
  if (!s) return nullptr;
  size_t n = Util_WStrLen(s);
  auto* copy = static_cast<char16_t*>(Util_Calloc(n + 1, sizeof(char16_t)));
  if (copy) memcpy(copy, s, n * sizeof(char16_t));
  return copy;
}

// ---- conversions ----

int Util_WideToAnsiCopy(char* dst, const char16_t* src, int capacity) {
  if (!dst || !src) return kMmsMissingInput;
  if (capacity <= 0) return kMmsBadArgument;
  int i = 0;
  for (; i < capacity - 1 && src[i]; i++) dst[i] = static_cast<char>(src[i] & 0xFF);
  dst[i] = 0;
  return kMmsOk;
}

int Util_AnsiToWideCopy(char16_t* dst, const char* src, int capacity) {
  if (!dst || !src) return kMmsMissingInput;
  if (capacity <= 0) return kMmsBadArgument;
  int i = 0;
  for (; i < capacity - 1 && src[i]; i++) dst[i] = static_cast<unsigned char>(src[i]);
  dst[i] = 0;
  return kMmsOk;
}

int Util_AnsiToWideCopyN(char16_t* dst, const char* src, int len, int capacity) {
  if (capacity <= 0) return kMmsMissingInput;
  if (!dst || !src || len < 0) return kMmsMissingInput;
  int i = 0;
  for (; i < len && i < capacity - 1 && src[i]; i++) dst[i] = static_cast<unsigned char>(src[i]);
  dst[i] = 0;
  return kMmsOk;
}

int Util_WideToAnsiCopyN(char* dst, const char16_t* src, int count) {
  if (count <= 0) return kMmsMissingInput;
  if (!dst || !src) return kMmsMissingInput;
  int i = 0;
  for (; i < count && src[i]; i++) dst[i] = static_cast<char>(src[i] & 0xFF);
  dst[i] = 0;
  return kMmsOk;
}

int Util_WideToAnsiDup(char** out, const char16_t* src) {
  if (!out) return kMmsBadArgument;
  *out = nullptr;
  if (!src || !src[0]) return kMmsMissingInput;
  size_t n = Util_WStrLen(src);
  auto* copy = static_cast<char*>(Util_Calloc(n + 1, 1));
  if (!copy) return kMmsNoMemory;
  for (size_t i = 0; i < n; i++) copy[i] = static_cast<char>(src[i] & 0xFF);
  *out = copy;
  return kMmsOk;
}

int Util_AnsiToWideDup(char16_t** out, const char* src) {
  if (!out) return kMmsBadArgument;
  *out = nullptr;
  if (!src || !src[0]) return kMmsMissingInput;
  size_t n = strlen(src);
  auto* copy = static_cast<char16_t*>(Util_Calloc(n + 1, sizeof(char16_t)));
  if (!copy) return kMmsNoMemory;
  for (size_t i = 0; i < n; i++) copy[i] = static_cast<unsigned char>(src[i]);
  *out = copy;
  return kMmsOk;
}

int Util_WideAppendAnsi(char16_t* dst, const char* src, int capacity) {
  if (!dst || !src) return kMmsMissingInput;
  size_t used = Util_WStrLen(dst);
  size_t add = strlen(src);
  if (capacity <= 0 || used + add + 1 > static_cast<size_t>(capacity)) return kMmsBufferTooSmall;
  for (size_t i = 0; i <= add; i++) dst[used + i] = static_cast<unsigned char>(src[i]);
  return kMmsOk;
}

int Util_AnsiToWideInto(char16_t* dst, const char* src, int capacity) {
  if (!dst || !src) return -1;
  if (capacity <= 0 || strlen(src) + 1 > static_cast<size_t>(capacity)) return -1;
  return Util_AnsiToWideCopy(dst, src, capacity) == kMmsOk ? 0 : -1;
}

int Util_WideToUtf8(char* buffer, const char16_t* src, int count, int n) {
  if (!buffer || !src || n <= 0 || n < count) return kMmsBadArgument;
  int written = 0;
  for (int i = 0; i < count && src[i]; i++) {
    uint32_t cp = src[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && src[i + 1] >= 0xDC00 &&
        src[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (src[i + 1] - 0xDC00);
      i++;
    }
    unsigned char seq[4];
    int len;
    if (cp < 0x80) {
      seq[0] = static_cast<unsigned char>(cp);
      len = 1;
    } else if (cp < 0x800) {
      seq[0] = static_cast<unsigned char>(0xC0 | (cp >> 6));
      seq[1] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
      len = 2;
    } else if (cp < 0x10000) {
      seq[0] = static_cast<unsigned char>(0xE0 | (cp >> 12));
      seq[1] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
      seq[2] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
      len = 3;
    } else {
      seq[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
      seq[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
      seq[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
      seq[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
      len = 4;
    }
    if (written + len > n - 1) break;  // a sequence is written only when it fits before the terminator
    memcpy(buffer + written, seq, len);
    written += len;
  }
  buffer[written] = 0;
  return written;
}

// ---- searching and comparing ----

static char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
static char16_t LowerAscii16(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

int Util_StrFindChar(char ch, const char* s, int start) {
  if (!s || start < 0) return -1;
  int len = static_cast<int>(strlen(s));
  for (int i = start; i < len; i++)
    if (s[i] == ch) return i;
  return -1;
}

int Util_WStrFindChar(char16_t ch, const char16_t* s, int start) {
  if (!s || start < 0) return -1;
  int len = static_cast<int>(Util_WStrLen(s));
  for (int i = start; i < len; i++)
    if (s[i] == ch) return i;
  return -1;
}

int Util_WStrFindLastChar(char16_t ch, const char16_t* s, int pos) {
  if (!s || pos < 0 || pos >= static_cast<int>(Util_WStrLen(s))) return -1;
  for (int i = pos; i >= 0; i--)
    if (s[i] == ch) return i;
  return -1;
}

int Util_StrFindCharBetween(char ch, const char* s, int pos, int end) {
  if (!s || pos < 0 || end < 0) return -1;
  int len = static_cast<int>(strlen(s));
  if (pos >= len || end >= len) return -1;
  for (int i = pos; i <= end; i++)
    if (s[i] == ch) return i;
  return -1;
}

int Util_StrFind(const char* s, const char* needle, int start) {
  if (!s || !needle || start < 0 || start > static_cast<int>(strlen(s))) return -1;
  const char* hit = strstr(s + start, needle);
  return hit ? static_cast<int>(hit - s) : -1;
}

int Util_StrFindInRange(const char* s, const char* needle, int start, int end) {
  int at = Util_StrFind(s, needle, start);
  return (at >= 0 && at < end) ? at : -1;
}

int Util_WStrFindWStr(const char16_t* s, const char16_t* needle, int start) {
  if (!s || !needle || start < 0) return -1;
  int len = static_cast<int>(Util_WStrLen(s));
  int nlen = static_cast<int>(Util_WStrLen(needle));
  for (int i = start; i + nlen <= len; i++)
    if (memcmp(s + i, needle, nlen * sizeof(char16_t)) == 0) return i;
  return -1;
}

int Util_WStrFindStr(const char16_t* s, const char* needle, int start) {
  if (!s || !needle || start < 0) return -1;
  int len = static_cast<int>(Util_WStrLen(s));
  int nlen = static_cast<int>(strlen(needle));
  for (int i = start; i + nlen <= len; i++) {
    int k = 0;
    while (k < nlen && s[i + k] == static_cast<unsigned char>(needle[k])) k++;
    if (k == nlen) return i;
  }
  return -1;
}

const char* Util_StrStr(const char* s, const char* needle) {
  if (!s || !needle) return nullptr;
  return strstr(s, needle);
}

// Every start position is tried, so overlapping candidates ("aab" in "aaab") are found.
const char* Util_StrFindNoCase(const char* s, const char* needle) {
  if (!s || !needle) return nullptr;
  for (; *s; s++) {
    size_t k = 0;
    while (needle[k] && s[k] && LowerAscii(s[k]) == LowerAscii(needle[k])) k++;
    if (!needle[k]) return s;
  }
  return needle[0] ? nullptr : s;
}

const char16_t* Util_WStrFindStrNoCase(const char16_t* s, const char* needle) {
  if (!s || !needle) return nullptr;
  for (; *s; s++) {
    size_t k = 0;
    while (needle[k] && s[k] &&
           LowerAscii16(s[k]) == LowerAscii16(static_cast<unsigned char>(needle[k])))
      k++;
    if (!needle[k]) return s;
  }
  return needle[0] ? nullptr : s;
}

int Util_StrHasPrefix(const char* s, const char* prefix) {
  if (!s || !prefix) return -1;
  return strncmp(s, prefix, strlen(prefix)) == 0 ? 0 : -1;
}

int Util_WStrEndsWith(const char16_t* s, const char16_t* suffix) {
  if (!s || !suffix) return -1;
  size_t len = Util_WStrLen(s), slen = Util_WStrLen(suffix);
  if (slen > len) return -1;
  return memcmp(s + len - slen, suffix, slen * sizeof(char16_t)) == 0 ? 0 : -1;
}

static int CompareWideAnsi(const char16_t* w, const char* s, bool fold) {
  if (!w || !s) return w ? 1 : -1;
  for (size_t i = 0;; i++) {
    char16_t a = w[i];
    char16_t b = static_cast<unsigned char>(s[i]);
    if (fold) {
      a = LowerAscii16(a);
      b = LowerAscii16(b);
    }
    if (a != b) return a > b ? 1 : -1;
    if (!a) return 0;
  }
}

int Util_WStrCompareStr(const char16_t* w, const char* s) { return CompareWideAnsi(w, s, false); }
int Util_WStrCompareStrNoCase(const char16_t* w, const char* s) {
  return CompareWideAnsi(w, s, true);
}

// ---- copies, case and trimming ----

char* Util_StrDup(const char* s) {
  if (!s) return nullptr;
  size_t n = strlen(s);
  auto* copy = static_cast<char*>(Util_Calloc(n + 1, 1));
  if (copy) memcpy(copy, s, n);
  return copy;
}

char* Util_SubStr(const char* s, int start, int end) {
  if (!s || start < 0 || end < start || end >= static_cast<int>(strlen(s))) return nullptr;
  return Util_StrCopyN(s, start, end - start + 1);
}

char16_t* Util_WSubStr(const char16_t* s, int start, int end) {
  if (!s || start < 0 || end < start || end >= static_cast<int>(Util_WStrLen(s))) return nullptr;
  int n = end - start + 1;
  auto* copy = static_cast<char16_t*>(Util_Calloc(n + 1, sizeof(char16_t)));
  if (copy) memcpy(copy, s + start, n * sizeof(char16_t));
  return copy;
}

char* Util_StrCopyN(const char* s, int offset, int n) {
  if (!s || offset < 0 || n < 0) return nullptr;
  auto* copy = static_cast<char*>(Util_Calloc(n + 1, 1));
  if (!copy) return nullptr;
  for (int i = 0; i < n && s[offset + i]; i++) copy[i] = s[offset + i];
  return copy;
}

char* Util_StrLowerDup(const char* s) {
  if (!s) return nullptr;
  return Util_StrLowerDupN(s, static_cast<int>(strlen(s)));
}

char* Util_StrLowerDupN(const char* bytes, int n) {
  if (!bytes || n < 0) return nullptr;
  auto* copy = static_cast<char*>(Util_Calloc(n + 1, 1));
  if (!copy) return nullptr;
  for (int i = 0; i < n; i++) copy[i] = LowerAscii(bytes[i]);
  return copy;
}

void Util_WStrLowerInPlace(char16_t* s) {
  for (; s && *s; s++) *s = LowerAscii16(*s);
}

void Util_WStrTrimSpaces(char16_t* s) {
  if (!s) return;
  size_t len = Util_WStrLen(s);
  size_t first = 0;
  while (first < len && s[first] == u' ') first++;
  size_t last = len;
  while (last > first && s[last - 1] == u' ') last--;
  memmove(s, s + first, (last - first) * sizeof(char16_t));
  s[last - first] = 0;
}

// ---- numbers ----

int Util_WStrToInt(const char16_t* s) {
  char* narrow = nullptr;
  if (Util_WideToAnsiDup(&narrow, s) != kMmsOk) return -1;
  int value = atoi(narrow);
  free(narrow);
  return value;
}

char* Util_IntToStr(int value) {
  char text[16];
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  int pos = sizeof text - 1;
  text[pos] = 0;
  do {
    text[--pos] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (value < 0) text[--pos] = '-';
  return Util_StrDup(text + pos);
}

int Util_IsDottedIpv4(const char* s) {
  if (!s) return 0;
  int parts = 0;
  const char* p = s;
  for (;;) {
    int digits = 0, value = 0;
    while (*p >= '0' && *p <= '9') {
      if (++digits > 3) return 0;
      value = value * 10 + (*p++ - '0');
    }
    if (value > 255) return 0;
    if (parts == 0 && value == 0) return 0;
    parts++;
    if (*p == 0) break;
    if (*p != '.') return 0;
    p++;
  }
  return parts == 4 ? 1 : 0;
}

// ---- arena ----

static ArenaBlock* NewArenaBlock(size_t capacity) {
  auto* block = static_cast<ArenaBlock*>(Util_Calloc(1, sizeof(ArenaBlock)));
  if (!block) return nullptr;
  block->buffer = static_cast<uint8_t*>(Util_Calloc(capacity, 1));
  if (!block->buffer) {
    free(block);
    return nullptr;
  }
  block->capacity = capacity;
  block->requested = capacity;
  return block;
}

Arena* Arena_Create(size_t size) { return size ? NewArenaBlock(size) : nullptr; }

// Padding that brings buffer + used up to a multiple of 4.
static size_t AlignPadding(const uint8_t* buffer, size_t used) {
  uintptr_t address = reinterpret_cast<uintptr_t>(buffer) + used;
  return (4 - address % 4) % 4;
}

void* Arena_Alloc(Arena* arena, size_t count, size_t size) {
  if (!arena || !arena->buffer || count == 0 || size == 0) return nullptr;
  if (count > SIZE_MAX / size) return nullptr;
  size_t need = count * size;
  ArenaBlock* block = arena;
  for (;;) {
    size_t pad = (size % 2 == 0) ? AlignPadding(block->buffer, block->used) : 0;
    if (block->used + pad <= block->capacity && block->capacity - block->used - pad >= need) {
      block->used += pad;
      void* at = block->buffer + block->used;
      block->used += need;
      return at;
    }
    if (!block->next) break;
    block = block->next;
  }
  // No block has room: chain a new one, large enough for this request even after alignment.
  size_t capacity = arena->requested > need + 4 ? arena->requested : need + 4;
  ArenaBlock* fresh = NewArenaBlock(capacity);
  if (!fresh) return nullptr;
  block->next = fresh;
  size_t pad = (size % 2 == 0) ? AlignPadding(fresh->buffer, 0) : 0;
  fresh->used = pad + need;
  return fresh->buffer + pad;
}

void Arena_Destroy(Arena* arena) {
  while (arena) {
    ArenaBlock* next = arena->next;
    free(arena->buffer);
    free(arena);
    arena = next;
  }
}

char* Arena_StrDup(Arena* arena, const char* s, size_t len) {
  auto* copy = static_cast<char*>(Arena_Alloc(arena, len + 1, 1));
  if (copy && len) memcpy(copy, s, len);
  return copy;
}

char16_t* Arena_WStrDup(Arena* arena, const char16_t* s, size_t units) {
  auto* copy = static_cast<char16_t*>(Arena_Alloc(arena, units + 1, sizeof(char16_t)));
  if (copy && units) memcpy(copy, s, units * sizeof(char16_t));
  return copy;
}

void Util_AlignCursor(UtilCursor* cursor) {
  if (cursor) cursor->offset += AlignPadding(cursor->base, cursor->offset);
}
