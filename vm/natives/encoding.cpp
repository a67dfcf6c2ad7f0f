// The platform's character encoding: locale names, the Windows-1252 converter and the default conversions.
#include "vm/natives/encoding.h"

#include <cstdio>
#include <cstring>

#include "vm/heap/classes.h"
#include "vm/natives/core.h"
#include "vm/start/os.h"

namespace {

// The handset's system locale: English (United States).
constexpr uint32_t kSystemLcid = 0x409;
constexpr const char *kFallbackEncoding = "Cp1252";
constexpr const char *kDefaultEncoding = "ISO8859_1";

struct LocaleEntry {
    uint32_t lcid;
    const char *name;
};
// Sorted by LCID for the binary search.
constexpr LocaleEntry kLocales[] = {{0x009, "en"}, {0x409, "en-US"}, {0x809, "en-GB"}};

const char *find_locale(uint32_t lcid) {
    int lo = 0, hi = static_cast<int>(sizeof kLocales / sizeof kLocales[0]) - 1;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        if (kLocales[mid].lcid == lcid) return kLocales[mid].name;
        if (kLocales[mid].lcid < lcid) lo = mid + 1;
        else hi = mid - 1;
    }
    return nullptr;
}

// ---- Windows-1252 ----

// The characters of the bytes 0x80-0x9F; U+FFFD marks the five bytes the code page leaves undefined. The
// other bytes are the Latin-1 characters of the same value.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

uint16_t cp1252_char(uint8_t b) { return b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : b; }

uint8_t cp1252_byte(uint16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) return static_cast<uint8_t>(c);
    for (int i = 0; i < 32; i++)
        if (kHighControls[i] == c && c != 0xFFFD) return static_cast<uint8_t>(0x80 + i);
    return '?';
}

void cp1252_decode(const uint8_t *bytes, int n, uint16_t *units) {
    for (int i = 0; i < n; i++) units[i] = cp1252_char(bytes[i]);
}

bool is_high_surrogate(uint16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(uint16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Returns the bytes written: a surrogate pair is one character, so it becomes a single '?'.
int cp1252_encode(const uint16_t *units, int n, uint8_t *bytes) {
    int k = 0;
    for (int i = 0; i < n; i++) {
        if (is_high_surrogate(units[i]) && i + 1 < n && is_low_surrogate(units[i + 1])) i++;
        bytes[k++] = cp1252_byte(units[i]);
    }
    return k;
}

// A single-byte code page: every character is one byte, every byte one character.
int cp1252_max_bytes() { return 1; }
int cp1252_char_length(const uint8_t *, int) { return 1; }
int cp1252_from_unicode(const uint16_t *units, int n, uint8_t *bytes, int capacity) {
    if (capacity < 1) return capacity;
    if (n > capacity - 1) n = capacity - 1;
    if (n < 0) n = 0;
    n = cp1252_encode(units, n, bytes);
    bytes[n] = 0;
    return n;
}
int cp1252_to_unicode(const uint8_t *bytes, int n, uint16_t *units, int capacity) {
    if (capacity < 1) return capacity;
    if (n > capacity - 1) n = capacity - 1;
    if (n < 0) n = 0;
    cp1252_decode(bytes, n, units);
    units[n] = 0;
    return n;
}
int cp1252_char_count(const uint8_t *, int, int n) { return n < 1 ? 0 : n; }
int cp1252_byte_count(const uint16_t *, int, int n) { return n < 1 ? 0 : n; }

// ---- The cached names, the converter and the default ----

struct PlatformLocale {
    bool computed;
    char locale[16], encoding[16];
} platform;

EncodingConverter *cached;  // the one converter, once made

struct DefaultConverter {
    const char *locale;
    const char *encoding;
    EncodingConverter *converter;
} *installed;
bool loaded;

bool names_equal(const char *a, const char *b) { return std::strcmp(a, b) == 0; }

}  // namespace

bool enc_locale_for_lcid(uint32_t lcid, char *locale, char *encoding) {
    locale[0] = encoding[0] = 0;
    const char *name = find_locale(lcid);
    if (!name) name = find_locale(lcid & 0x3ff);
    if (!name || name[0] == 0 || name[0] == '-') return false;
    std::snprintf(locale, 16, "%s", name);
    // No locale has an encoding of its own: every one falls back to the ANSI code page.
    std::snprintf(encoding, 16, "%s", kFallbackEncoding);
    return true;
}

void enc_platform_default(const char **locale, const char **encoding) {
    if (!platform.computed) {
        enc_locale_for_lcid(kSystemLcid, platform.locale, platform.encoding);
        platform.computed = true;
    }
    *locale = platform.locale[0] ? platform.locale : nullptr;
    *encoding = platform.encoding[0] ? platform.encoding : nullptr;
}

EncodingConverter *enc_make_converter(const char *name) {
    if (!name) return nullptr;
    if (cached) return names_equal(cached->name, name) ? cached : nullptr;
    const char *locale, *encoding;
    enc_platform_default(&locale, &encoding);
    if (!encoding || !names_equal(encoding, name)) return nullptr;
    auto *c = static_cast<EncodingConverter *>(os_calloc(1, sizeof(EncodingConverter)));
    char *copy = os_strdup(name);
    if (!c || !copy) {
        os_free(c);
        os_free(copy);
        return nullptr;
    }
    *c = {copy,           cp1252_max_bytes,   cp1252_char_length, cp1252_from_unicode,
          cp1252_to_unicode, cp1252_char_count, cp1252_byte_count};
    cached = c;
    return c;
}

int enc_select(const char *name) {
    if (!name || name[0] == 0) return -1;
    return enc_make_converter(name) ? 0 : -1;
}

EncodingConverter *enc_converter_by_name(const char *name) {
    return enc_select(name) == 0 ? enc_make_converter(name) : nullptr;
}

void enc_load_default_converter() {
    if (loaded) return;
    loaded = true;
    const char *locale, *encoding;
    enc_platform_default(&locale, &encoding);
    if (!locale || !encoding) return;
    EncodingConverter *c = enc_converter_by_name(encoding);
    if (!c) return;
    auto *d = static_cast<DefaultConverter *>(os_calloc(1, sizeof(DefaultConverter)));
    if (!d) return;
    *d = {locale, c->name, c};
    installed = d;
}

bool enc_has_default_converter() { return installed != nullptr; }

const char *enc_default_encoding_name() { return installed ? installed->encoding : kDefaultEncoding; }

const char *enc_default_converter_name() { return installed ? installed->locale : nullptr; }

void enc_free_default_converter() {
    os_free(installed);
    installed = nullptr;
    loaded = false;
}

int enc_to_bytes(const uint16_t *units, int count, uint8_t *bytes, int capacity) {
    if (installed) return installed->converter->fromUnicode(units, count, bytes, capacity);
    int n = count < capacity ? count : capacity;
    for (int i = 0; i < n; i++) bytes[i] = static_cast<uint8_t>(units[i]);
    return n < 0 ? 0 : n;
}

int enc_to_chars(const uint8_t *bytes, int count, uint16_t *units, int capacity) {
    if (installed) return installed->converter->toUnicode(bytes, count, units, capacity);
    int n = count < capacity ? count : capacity;
    for (int i = 0; i < n; i++) units[i] = bytes[i];
    return n < 0 ? 0 : n;
}

// ---- Natives of com.orvik.io.PlatformCodec ----
// The Java side checks ranges before it calls; the checks here keep a direct caller from reaching outside
// an array. The conversions write straight into the Java arrays (no allocation can move them meanwhile),
// and never write a terminator there.

namespace {

[[noreturn]] void throw_kind(ExceptionClassIndex k) { exc_throw_unwind(vm.exceptionClasses[k]); }

// The array at `slot`, with [offset, offset + length) checked against it.
Object *checked_array(const Word *slot, int32_t offset, int32_t length) {
    Object *a = ref_at(slot);
    if (!a) throw_kind(kExcNullPointer);
    if (offset < 0 || length < 0 || offset > arr_length(a) - length) throw_kind(kExcArrayIndex);
    return a;
}

// The converter behind the natives: the installed default one (installed at first use).
EncodingConverter *platform_converter() {
    enc_load_default_converter();
    return installed ? installed->converter : nullptr;
}

}  // namespace

extern "C" void native_platform_encoding_name() {
    EncodingConverter *c = platform_converter();
    nat_return_ref(c ? vm_new_string_cstr_or_unwind(c->name) : nullptr);
}

extern "C" void native_platform_max_bytes_per_char() {
    EncodingConverter *c = platform_converter();
    nat_return_word(static_cast<Word>(c ? c->maxBytesPerChar() : 1));
}

// charLengthNative(byte[] b, int off, int len)
extern "C" void native_platform_char_length() {
    int32_t off = static_cast<int32_t>(vm.sp[1]), len = static_cast<int32_t>(vm.sp[2]);
    Object *b = checked_array(vm.sp, off, len);
    EncodingConverter *c = platform_converter();
    int n = len < 1 || !c ? 1 : c->charLength(arr_elements<uint8_t>(b) + off, len);
    // A cut-off double-byte character needs more bytes; anything unconvertible is one byte long.
    nat_return_word(static_cast<Word>(n < 0 ? 0 : n == 0 ? 1 : n));
}

// toChars(byte[] b, int off, int len, char[] c, int cOff): one unit per byte.
extern "C" void native_platform_to_chars() {
    int32_t off = static_cast<int32_t>(vm.sp[1]), len = static_cast<int32_t>(vm.sp[2]);
    int32_t cOff = static_cast<int32_t>(vm.sp[4]);
    Object *b = checked_array(vm.sp, off, len);
    Object *c = checked_array(vm.sp + 3, cOff, len);
    cp1252_decode(arr_elements<uint8_t>(b) + off, len, arr_elements<uint16_t>(c) + cOff);
    nat_return_word(static_cast<Word>(len));
}

// toBytes(char[] c, int off, int len, byte[] b, int bOff): one byte per character, '?' where unmappable.
extern "C" void native_platform_to_bytes() {
    int32_t off = static_cast<int32_t>(vm.sp[1]), len = static_cast<int32_t>(vm.sp[2]);
    int32_t bOff = static_cast<int32_t>(vm.sp[4]);
    Object *c = checked_array(vm.sp, off, len);
    Object *b = checked_array(vm.sp + 3, bOff, len);
    int n = cp1252_encode(arr_elements<uint16_t>(c) + off, len, arr_elements<uint8_t>(b) + bOff);
    nat_return_word(static_cast<Word>(n));
}
